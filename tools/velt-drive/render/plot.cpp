#include <algorithm>
#include <cmath>
#include <optional>

#include "core/supervision.h"
#include "tools/velt-drive/render/plot.h"
#include "tools/velt-drive/render/plot_labels.h"
#include "tools/velt-drive/render/plot_layout.h"
#include "tools/velt-drive/scenario/beacons.h"
#include "tools/velt-drive/util/number_format.h"
#include "tools/velt-drive/util/svg_canvas.h"
#include "tools/velt-drive/util/svg_text.h"
#include "tools/velt-drive/util/units.h"

namespace velt::drive {

namespace {

using layout::kRight;
using layout::kWidth;
using namespace layout::position;

std::string num(double value) { return svgNumber(value); }

std::string aspectColour(int aspect) {
    if (aspect == 0) return palette::kFailed;
    if (aspect == 1) return "#e4572e";
    if (aspect == 2) return "#f29e4c";
    if (aspect == 3) return "#c9a100";
    return palette::kMet;
}

// Which labels win a contested spot: what the author most needs to read.
enum Priority {
    kFixed,
    kStopLabel,
    kTargetLabel,
    kStationLabel,
    kSignalLabel,
    kBeaconLabel,
    kBrakeLabel,
    kWarningLabel,
    kChimeLabel
};

struct LabelRequest {
    int priority;
    std::vector<LabelSpot> spots;  // in order of preference
};

}  // namespace

class Plot {
public:
    Plot(const Scenario& scenario, const PlotRecorder& recorded, const Report& report,
         const DriveEnd& end)
        : scenario_(scenario), recorded_(recorded), report_(report), end_(end) {
        double low = recorded.lowM_;
        double high = recorded.highM_;
        // Show what the patterns velt armed aimed at, and the stations near by.
        for (const PatternSpan& pattern : end.patterns)
            if (!pattern.ended || pattern.endedAtM >= pattern.targetM)
                high = std::max(high, pattern.targetM);
        const double span = std::max(high - low, 100.0);
        for (const Station& station : scenario.stations)
            if (station.positionM > low - span * 0.2 && station.positionM < high + span * 0.2)
                high = std::max(high, station.positionM + station.windowM);
        const double margin = std::max(high - low, 100.0) * 0.03;
        xLow_ = low - margin;
        xHigh_ = std::max(high, low + 100.0) + margin;
        yHigh_ = layout::speedAxisTop(recorded.topKmh_);
        notchTop_ = std::max(scenario.vehicle.powerNotches, recorded.emergencyNotch_);
    }

    std::string render() {
        header();
        grid();
        stations();
        brakes();
        beaconsAndSignals();
        curves();
        speedLine();
        marks();
        handleStrip();
        legend();
        placeLabels();
        out_ += "</svg>\n";
        return out_;
    }

private:
    [[nodiscard]] double x(double position) const {
        return kLeft + (position - xLow_) / (xHigh_ - xLow_) * (kRight - kLeft);
    }
    [[nodiscard]] double y(double speed) const {
        return kBottom - speed / yHigh_ * (kBottom - kTop);
    }
    [[nodiscard]] double notchY(int notch) const {
        return kStripBottom - static_cast<double>(notch) / static_cast<double>(notchTop_) *
                                  (kStripBottom - kStripTop);
    }

    // Text that is always drawn where it is: titles, axes, the legend.
    void text(double px, double py, const std::string& content, const std::string& attributes,
              double size = 11, bool bold = false, const std::string& anchor = "start") {
        placer_.reserve(labelBox(px, py, content, size, bold, anchor));
        out_ += svgText(px, py, content, attributes);
    }

    void line(double x1, double y1, double x2, double y2, const std::string& attributes) {
        out_ += svgLine(x1, y1, x2, y2, attributes);
    }

    void request(int priority, std::vector<LabelSpot> spots) {
        requests_.push_back({priority, std::move(spots)});
    }

    // Every label takes the first free spot it has, the most important
    // first; one with no free spot left is not drawn rather than drawn over
    // another.
    void placeLabels() {
        std::stable_sort(
            requests_.begin(), requests_.end(),
            [](const LabelRequest& a, const LabelRequest& b) { return a.priority < b.priority; });
        for (const LabelRequest& request : requests_) {
            std::vector<Box> boxes;
            for (const LabelSpot& candidate : request.spots) {
                boxes.push_back(candidate.box);
                // A beacon label runs along the lines; it must cross none.
                if (request.priority == kBeaconLabel && crossesALine(candidate.box))
                    boxes.back() = {-1.0, -1.0, -1.0, -1.0};
            }
            if (const auto taken = placer_.place(boxes)) out_ += request.spots[*taken].svg;
        }
    }

    [[nodiscard]] bool crossesALine(const Box& box) const {
        return std::any_of(lineXs_.begin(), lineXs_.end(),
                           [&](double lx) { return box.left <= lx + 1 && lx - 1 <= box.right; });
    }

    void header() {
        out_ += svgOpen(kWidth, kHeight);
        out_ += R"(<defs><clipPath id="area"><rect x=")" + num(kLeft) + "\" y=\"" + num(kTop) +
                "\" width=\"" + num(kRight - kLeft) + "\" height=\"" + num(kBottom - kTop) +
                "\"/></clipPath></defs>\n";
        const FrameRecord& last = end_.last;
        text(kLeft, 24, scenario_.name + ": speed against position",
             R"(font-size="16" font-weight="bold")", 16, true);
        std::string sub = "ended at " + secondsText(secondsOf(last.elapsedMs), 1) + ", " +
                          metresText(last.positionM) + ": " + end_.reason;
        if (!report_.stops.empty())
            sub += "; stopped at " + metresText(report_.stops.back().positionM);
        text(kLeft, 42, sub, "fill=\"#444\"");
    }

    void grid() {
        const double xStep = tickStep(xHigh_ - xLow_);
        const auto firstX = static_cast<long long>(std::ceil(xLow_ / xStep));
        for (long long i = firstX; static_cast<double>(i) * xStep <= xHigh_; ++i) {
            const double tick = static_cast<double>(i) * xStep;
            line(x(tick), kTop, x(tick), kBottom, "stroke=\"#eee\"");
            line(x(tick), kStripTop, x(tick), kStripBottom, "stroke=\"#eee\"");
            text(x(tick), kBottom + 15, formatFixed(tick, 0), R"(text-anchor="middle" fill="#333")",
                 11, false, "middle");
        }
        const double yStep = tickStep(yHigh_);
        for (int i = 0; i * yStep <= yHigh_ + 1e-9; ++i) {
            const double tick = i * yStep;
            line(kLeft, y(tick), kRight, y(tick), "stroke=\"#eee\"");
            text(kLeft - 6, y(tick) + 4, formatFixed(tick, 0), R"(text-anchor="end" fill="#333")",
                 11, false, "end");
        }
        out_ +=
            svgRect(kLeft, kTop, kRight - kLeft, kBottom - kTop, R"(fill="none" stroke="#888")");
        text(kLeft + (kRight - kLeft) / 2, kBottom + 28, "position (m)",
             R"(text-anchor="middle" fill="#333")", 11, false, "middle");
        const double mid = kTop + (kBottom - kTop) / 2;
        out_ += svgText(
            18, mid, "speed (km/h)",
            R"(text-anchor="middle" fill="#333" transform="rotate(-90 18 )" + num(mid) + ")\"");
    }

    void stations() {
        for (const Station& station : scenario_.stations) {
            if (station.positionM < xLow_ || station.positionM > xHigh_) continue;
            const double from = x(std::max(xLow_, station.positionM - station.windowM));
            const double to = x(std::min(xHigh_, station.positionM + station.windowM));
            out_ += "<rect x=\"" + num(from) + "\" y=\"" + num(kBottom - 8) + "\" width=\"" +
                    num(std::max(to - from, 2.0)) + R"(" height="8" fill=")" + palette::kStation +
                    "\" opacity=\"0.5\"/>\n";
            const double px = x(station.positionM);
            line(px, kBottom - 14, px, kBottom,
                 "stroke=\"" + std::string(palette::kStation) + R"(" stroke-width="2")");
            const std::string attributes = "fill=\"" + std::string(palette::kStation) + "\"";
            std::vector<LabelSpot> spots;
            for (int row = 0; row <= 8; ++row) {
                const double ly = kBottom - 18 - 14.0 * row;
                const auto leader =
                    row == 0 ? std::nullopt : std::optional(std::make_pair(px, kBottom - 14.0));
                spots.push_back(
                    labelSpot(px, ly, station.name, 11, true, "middle", attributes, leader));
                spots.push_back(labelSpot(px + 4, ly, station.name, 11, true, "start", attributes,
                                          std::make_pair(px, kBottom - 14.0)));
                spots.push_back(labelSpot(px - 4, ly, station.name, 11, true, "end", attributes,
                                          std::make_pair(px, kBottom - 14.0)));
            }
            request(kStationLabel, std::move(spots));
        }
    }

    void brakes() {
        for (const BrakeSpan& span : report_.brakes) {
            double from = x(span.first.positionM);
            double to = x(span.last.positionM);
            if (from > to) std::swap(from, to);
            if (to - from < 3.0) {
                from -= 1.5;
                to += 1.5;
            }
            const std::string colour =
                span.emergency ? palette::kEmergencyBrake : palette::kServiceBrake;
            (span.emergency ? emergencyDrawn_ : serviceDrawn_) = true;
            out_ += "<rect clip-path=\"url(#area)\" x=\"" + num(from) + "\" y=\"" + num(kTop) +
                    "\" width=\"" + num(to - from) + "\" height=\"" + num(kBottom - kTop) +
                    "\" fill=\"" + colour + "\" opacity=\"0.2\"/>\n";
            const std::string name = span.emergency ? "emergency brake" : "full-service brake";
            std::vector<LabelSpot> spots;
            spots.reserve(3);
            for (int row = 0; row < 3; ++row)
                spots.push_back(labelSpot((from + to) / 2, kTop + 14 + 13.0 * row, name, 11, true,
                                          "middle", "fill=\"" + colour + "\""));
            request(kBrakeLabel, std::move(spots));
        }
    }

    // A beacon's label runs up beside its line, never across it: right of
    // the line, else further right or on its left.
    void beaconLabel(double px, const std::string& label) {
        constexpr double kSize = 10.0;
        const double ly = kBottom - 24;
        const double length = textWidth(label, kSize);
        std::vector<LabelSpot> spots;
        for (int column = 0; column < 4; ++column) {
            for (const int side : {1, -1}) {
                // The glyphs lie left of the rotated baseline, by the ascent.
                const double lx = side > 0 ? px + 2 + kSize * 0.82 + 12.0 * column
                                           : px - 2 - kSize * 0.26 - 12.0 * column;
                LabelSpot candidate{{lx - kSize * 0.82, ly - length, lx + kSize * 0.26, ly}, ""};
                if (column > 0)
                    candidate.svg += svgLine(px, ly + 4, lx - side * 3, ly + 4,
                                             "stroke=\"" + std::string(palette::kBeacon) +
                                                 R"(" stroke-dasharray="1,2")");
                candidate.svg += svgText(lx, ly, label,
                                         "fill=\"" + std::string(palette::kReported) +
                                             R"(" font-size="10" transform="rotate(-90 )" +
                                             num(lx) + " " + num(ly) + ")\"");
                spots.push_back(std::move(candidate));
            }
        }
        request(kBeaconLabel, std::move(spots));
    }

    void beaconsAndSignals() {
        for (const Mark& mark : report_.marks) {
            // A route's beacons are many: the summary names each with its line.
            if (mark.kind != Mark::Kind::Beacon || mark.item < 0) continue;
            const BeaconItem& beacon = scenario_.beacons[static_cast<std::size_t>(mark.item)];
            const double px = x(beacon.positionM);
            line(px, kTop, px, kBottom,
                 "stroke=\"" + std::string(palette::kBeacon) + R"(" stroke-dasharray="3,3")");
            lineXs_.push_back(px);
            beaconDrawn_ = true;
            beaconLabel(px, drive::beaconLabel(beacon));
        }
        for (const Mark& mark : report_.marks) {
            if (mark.kind != Mark::Kind::Signal) continue;
            const int aspect = mark.item < 0
                                   ? mark.value
                                   : scenario_.signals[static_cast<std::size_t>(mark.item)].aspect;
            const double px = x(mark.at.positionM);
            const std::string colour = aspectColour(aspect);
            aspectsDrawn_.push_back(aspect);
            lineXs_.push_back(px);
            line(px, kTop, px, kBottom,
                 "stroke=\"" + colour + R"(" stroke-width="2" opacity="0.8")");
            const std::string label = "aspect " + std::to_string(aspect);
            std::vector<LabelSpot> spots;
            // Above the plot, beside the top of the line.
            for (int row = 0; row < 3; ++row) {
                const double ly = kTop - 6 - 13.0 * row;
                const auto from = row == 0 ? std::nullopt : std::optional(std::make_pair(px, kTop));
                spots.push_back(labelSpot(px + 3, ly, label, 11, true, "start",
                                          "fill=\"" + colour + "\"", from, colour));
                spots.push_back(labelSpot(px - 3, ly, label, 11, true, "end",
                                          "fill=\"" + colour + "\"", from, colour));
            }
            request(kSignalLabel, std::move(spots));
        }
    }

    void curvePath(const std::vector<std::pair<double, double>>& points,
                   const std::string& colour) {
        if (points.size() < 2) return;
        std::string path = "<path clip-path=\"url(#area)\" fill=\"none\" stroke=\"" + colour +
                           R"(" stroke-width="1.5" stroke-dasharray="6,4" d=")";
        for (std::size_t i = 0; i < points.size(); ++i)
            path +=
                (i == 0 ? "M" : " L") + num(x(points[i].first)) + " " + num(y(points[i].second));
        out_ += path + "\"/>\n";
    }

    // The braking curve of each pattern velt's own core held, from where it
    // was armed to its target, or to where it ended before; a CCP restriction
    // goes on past its target until it is lifted.
    void curves() {
        for (const PatternSpan& pattern : end_.patterns) {
            const bool restriction = pattern.check != Check::CppStop && pattern.check != Check::Spb;
            const double floor = pattern.brakesAboveKmh;
            const double until = pattern.ended ? pattern.endedAtM : xHigh_;
            const double to = std::min(pattern.targetM, until);
            std::vector<std::pair<double, double>> points;
            const double from = pattern.armedAtM;
            const int samples = 120;
            for (int i = 0; i <= samples && to > from; ++i) {
                const double position = from + (to - from) * static_cast<double>(i) / samples;
                const double remaining = std::max(0.0, pattern.targetM - position);
                points.emplace_back(position, std::sqrt(floor * floor + kCurveDivisor * remaining));
            }
            if (pattern.check == Check::Ccp && until > pattern.targetM)
                points.emplace_back(until, floor);
            const std::string colour = restriction ? "#16a085" : "#8e44ad";
            (restriction ? ccpCurves_ : stopCurves_) = true;
            curvePath(points, colour);
            if (until < pattern.targetM) continue;  // ended before its target
            const double tx = x(pattern.targetM);
            line(tx, y(floor) - 10, tx, y(floor) + (floor > 0 ? 10 : 0),
                 "stroke=\"" + colour + R"(" stroke-width="3")");
            const char* name = pattern.check == Check::Ccp   ? "CCP target"
                               : pattern.check == Check::Spb ? "SPB target"
                                                             : "CPP target";
            request(kTargetLabel,
                    spotsBesidePoint(tx, y(floor) - 6,
                                     std::string(name) + " " + metresText(pattern.targetM), 10,
                                     false, "fill=\"" + colour + "\"", colour));
        }
    }

    void speedLine() {
        std::string path = "<path clip-path=\"url(#area)\" fill=\"none\" stroke=\"" +
                           std::string(palette::kSpeed) +
                           "\" stroke-width=\"2\" "
                           "d=\"";
        double lastX = -1e9;
        double lastY = -1e9;
        const auto& points = recorded_.speed_;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const PlotRecorder::SpeedPoint& point = points[i];
            const double px = x(point.positionM);
            const double py = y(point.speedKmh);
            const bool keep = i == 0 || i + 1 == points.size() || point.jump ||
                              std::fabs(px - lastX) >= 0.5 || std::fabs(py - lastY) >= 0.5;
            if (!keep) continue;
            path += (i == 0 ? "M" : (point.jump ? " M" : " L")) + num(px) + " " + num(py);
            lastX = px;
            lastY = py;
        }
        out_ += path + "\"/>\n";
    }

    // Warnings and chimes are labelled in rows above the speed line, with a
    // leader down to their mark; marks that fall on the same spot share one
    // label instead of stacking copies of it.
    // A bold label is measured bold: near the right edge it then ends left
    // of its mark instead of running past the picture.
    void soundLabel(int priority, double px, double py, const std::string& label,
                    const std::string& colour, const std::string& attributes, bool bold) {
        std::vector<LabelSpot> spots;
        for (int row = 0; row < 8; ++row) {
            const double ly = kTop + 46 + 13.0 * row;
            spots.push_back(labelSpot(px + 2, ly, label, 10, bold, "start", attributes,
                                      std::make_pair(px, py - 5), colour));
            spots.push_back(labelSpot(px - 2, ly, label, 10, bold, "end", attributes,
                                      std::make_pair(px, py - 5), colour));
        }
        request(priority, std::move(spots));
    }

    void marks() {
        struct Group {
            Mark::Kind kind;
            double px, py;
            std::vector<std::string> labels;
        };
        std::vector<Group> groups;
        for (const Mark& mark : report_.marks) {
            const FramePoint& frame = mark.at;
            const double px = x(frame.positionM);
            const double py = y(std::fabs(frame.speedKmh));
            if (mark.kind == Mark::Kind::Warning) {
                warningDrawn_ = true;
                out_ += "<path d=\"M" + num(px) + " " + num(py - 13) +
                        " l-7 12 l14 0 z\" fill=\"#f1c40f\" stroke=\"#b7950b\"/>\n";
            } else if (mark.kind == Mark::Kind::Chime) {
                chimeDrawn_ = true;
                out_ += "<circle cx=\"" + num(px) + "\" cy=\"" + num(py) + R"(" r="3.5" fill=")" +
                        palette::kChime + "\" stroke=\"white\"/>\n";
            } else if (mark.kind == Mark::Kind::Stop) {
                stopDrawn_ = true;
                out_ += "<rect x=\"" + num(px - 4) + "\" y=\"" + num(py - 4) +
                        "\" width=\"8\" height=\"8\" fill=\"black\"/>\n";
                placer_.reserve({px - 4, py - 4, px + 4, py + 4});
                request(kStopLabel, spotsBesidePoint(px, py, "stop " + metresText(frame.positionM),
                                                     11, true, "fill=\"black\"", "#333"));
                continue;
            } else {
                continue;
            }
            Group* same = nullptr;
            for (Group& group : groups)
                if (group.kind == mark.kind && std::fabs(group.px - px) < 4 &&
                    std::fabs(group.py - py) < 8)
                    same = &group;
            if (same == nullptr) {
                groups.push_back({mark.kind, px, py, {}});
                same = &groups.back();
            }
            if (std::find(same->labels.begin(), same->labels.end(), mark.label) ==
                same->labels.end())
                same->labels.push_back(mark.label);
        }
        for (const Group& group : groups) {
            std::string label;
            for (const std::string& part : group.labels)
                label += (label.empty() ? "" : ", ") + part;
            if (group.kind == Mark::Kind::Warning)
                soundLabel(kWarningLabel, group.px, group.py - 8, label, "#b7950b",
                           R"(fill="#9a7d0a")", true);
            else
                soundLabel(kChimeLabel, group.px, group.py, label, palette::kChime,
                           "fill=\"" + std::string(palette::kChimeText) + "\"", false);
        }
    }

    void stepLine(const std::vector<PlotRecorder::Step>& steps, const std::string& attributes) {
        std::string path = "<path fill=\"none\" " + attributes + " d=\"";
        int last = 0;
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const double px = x(steps[i].positionM);
            const int v = steps[i].value;
            if (i == 0 || steps[i].jump) {
                path += (i == 0 ? "M" : " M") + num(px) + " " + num(notchY(v));
            } else {
                path += " L" + num(px) + " " + num(notchY(last)) + " L" + num(px) + " " +
                        num(notchY(v));
            }
            last = v;
        }
        path += " L" + num(x(end_.last.positionM)) + " " + num(notchY(last));
        out_ += path + "\"/>\n";
    }

    void handleStrip() {
        out_ += "<rect x=\"" + num(kLeft) + "\" y=\"" + num(kStripTop) + "\" width=\"" +
                num(kRight - kLeft) + "\" height=\"" + num(kStripBottom - kStripTop) +
                "\" fill=\"none\" stroke=\"#888\"/>\n";
        for (int notch = 0; notch <= notchTop_; ++notch) {
            if (notchTop_ > 6 && notch % 2 != 0 && notch != notchTop_) continue;
            text(kLeft - 6, notchY(notch) + 4, std::to_string(notch),
                 R"(text-anchor="end" fill="#333" font-size="10")", 10, false, "end");
        }
        const double mid = (kStripTop + kStripBottom) / 2;
        out_ += svgText(
            18, mid, "notch",
            R"(text-anchor="middle" fill="#333" transform="rotate(-90 18 )" + num(mid) + ")\"");
        text(kLeft, kStripTop - 3,
             "handles applied (solid) and the driver's (dashed): power green, brake red; emergency "
             "notch " +
                 std::to_string(recorded_.emergencyNotch_),
             R"(fill="#444" font-size="10")", 10);
        stepLine(recorded_.handles_[PlotRecorder::kDriverPower],
                 R"(stroke="#27ae60" stroke-width="1" stroke-dasharray="4,3")");
        stepLine(recorded_.handles_[PlotRecorder::kDriverBrake],
                 R"(stroke="#c0392b" stroke-width="1" stroke-dasharray="4,3")");
        stepLine(recorded_.handles_[PlotRecorder::kAppliedPower],
                 R"(stroke="#27ae60" stroke-width="2" opacity="0.8")");
        stepLine(recorded_.handles_[PlotRecorder::kAppliedBrake],
                 R"(stroke="#c0392b" stroke-width="2" opacity="0.8")");
    }

    // One entry for each kind of thing the plot drew, in the colour it was
    // drawn in; the legend wraps onto a second line when it must.
    void legend() {
        double lx = kLeft;
        double ly = kHeight - 30;
        auto item = [&](const std::string& swatch, const std::string& label) {
            const double width = 30 + textWidth(label, 11);
            if (lx + width > kRight) {
                lx = kLeft;
                ly += 16;
            }
            out_ +=
                "<g transform=\"translate(" + num(lx) + " " + num(ly) + ")\">" + swatch + "</g>\n";
            text(lx + 22, ly + 4, label, "fill=\"#333\"");
            lx += width;
        };
        item(R"(<line x1="0" y1="0" x2="18" y2="0" stroke="#1f5fa8" stroke-width="2"/>)", "speed");
        if (stopCurves_)
            item(
                "<line x1=\"0\" y1=\"0\" x2=\"18\" y2=\"0\" stroke=\"#8e44ad\" "
                "stroke-width=\"1.5\" stroke-dasharray=\"6,4\"/>",
                "stop curve (v\u00b2 = 19.5 d)");
        if (ccpCurves_)
            item(
                "<line x1=\"0\" y1=\"0\" x2=\"18\" y2=\"0\" stroke=\"#16a085\" "
                "stroke-width=\"1.5\" stroke-dasharray=\"6,4\"/>",
                "restriction curve (CCP, CPP 49 km/h)");
        if (emergencyDrawn_)
            item(
                "<rect x=\"0\" y=\"-6\" width=\"18\" height=\"12\" fill=\"#e74c3c\" "
                "opacity=\"0.3\"/>",
                "emergency brake");
        if (serviceDrawn_)
            item(
                "<rect x=\"0\" y=\"-6\" width=\"18\" height=\"12\" fill=\"#f39c12\" "
                "opacity=\"0.3\"/>",
                "full-service brake");
        if (warningDrawn_)
            item(R"(<path d="M9 -7 l-7 12 l14 0 z" fill="#f1c40f" stroke="#b7950b"/>)", "warning");
        if (chimeDrawn_) item(R"(<circle cx="9" cy="0" r="3.5" fill="#2980b9"/>)", "chime");
        if (stopDrawn_) item(R"(<rect x="5" y="-4" width="8" height="8" fill="black"/>)", "stop");
        if (beaconDrawn_)
            item(
                "<line x1=\"9\" y1=\"-7\" x2=\"9\" y2=\"7\" stroke=\"#7f8c8d\" "
                "stroke-dasharray=\"3,3\"/>",
                "beacon");
        std::sort(aspectsDrawn_.begin(), aspectsDrawn_.end());
        aspectsDrawn_.erase(std::unique(aspectsDrawn_.begin(), aspectsDrawn_.end()),
                            aspectsDrawn_.end());
        for (const int aspect : aspectsDrawn_)
            item(R"(<line x1="9" y1="-7" x2="9" y2="7" stroke=")" + aspectColour(aspect) +
                     R"(" stroke-width="2"/>)",
                 "signal aspect " + std::to_string(aspect));
        if (!scenario_.stations.empty())
            item(
                "<rect x=\"0\" y=\"-4\" width=\"18\" height=\"8\" fill=\"#34495e\" "
                "opacity=\"0.5\"/>",
                "station window");
    }

    const Scenario& scenario_;
    const PlotRecorder& recorded_;
    const Report& report_;
    const DriveEnd& end_;
    double xLow_ = 0.0, xHigh_ = 1.0, yHigh_ = 10.0;
    int notchTop_ = 1;
    LabelPlacer placer_{{0.0, 0.0, kWidth - 4, kHeight}};
    std::vector<LabelRequest> requests_;
    std::vector<int> aspectsDrawn_;
    std::vector<double> lineXs_;  // beacon and signal lines across the plot
    bool stopCurves_ = false;
    bool ccpCurves_ = false;
    bool emergencyDrawn_ = false;
    bool serviceDrawn_ = false;
    bool warningDrawn_ = false;
    bool chimeDrawn_ = false;
    bool stopDrawn_ = false;
    bool beaconDrawn_ = false;
    std::string out_;
};

std::string PlotRecorder::render(const Report& report, const DriveEnd& end) const {
    return Plot(scenario_, *this, report, end).render();
}

}  // namespace velt::drive
