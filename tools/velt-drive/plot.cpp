#include <algorithm>
#include <cmath>
#include <optional>

#include "core/supervision.h"
#include "tools/velt-drive/beacons.h"
#include "tools/velt-drive/number_format.h"
#include "tools/velt-drive/plot.h"
#include "tools/velt-drive/svg.h"

namespace velt::drive {

namespace {

constexpr double kWidth = 1100.0;
constexpr double kHeight = 720.0;
constexpr double kLeft = 70.0;
constexpr double kRight = kWidth - 30.0;
constexpr double kTop = 92.0;
constexpr double kBottom = 500.0;
constexpr double kStripTop = 545.0;
constexpr double kStripBottom = 670.0;

std::string num(double value) { return formatFixed(value, 1); }

std::string escape(const std::string& text) { return escapeXml(text); }

std::string aspectColour(int aspect) {
    if (aspect == 0) return "#c0392b";
    if (aspect == 1) return "#e4572e";
    if (aspect == 2) return "#f29e4c";
    if (aspect == 3) return "#c9a100";
    return "#2e9e4f";
}

// Keeps labels in a band apart: each label takes the first row in which it
// does not overlap one already placed.
class LabelRows {
public:
    explicit LabelRows(int rows) : used_(static_cast<std::size_t>(rows)) {}
    int place(double from, double to) {
        for (std::size_t row = 0; row < used_.size(); ++row) {
            bool free = true;
            for (const auto& span : used_[row])
                free = free && (to < span.first || from > span.second);
            if (free) {
                used_[row].push_back({from, to});
                return static_cast<int>(row);
            }
        }
        return -1;
    }

private:
    std::vector<std::vector<std::pair<double, double>>> used_;
};

double textWidth(const std::string& text, double size) {
    return static_cast<double>(text.size()) * size * 0.64;
}

}  // namespace

class Plot {
public:
    Plot(const Scenario& scenario, const PlotRecorder& recorded, const Report& report,
         const DriveEnd& end)
        : scenario_(scenario), recorded_(recorded), report_(report), end_(end) {
        double low = recorded.lowM_;
        double high = recorded.highM_;
        const double top = std::max(10.0, recorded.topKmh_);
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
        const double speedStep = tickStep(top * 1.15);
        yHigh_ = std::ceil(top * 1.15 / speedStep) * speedStep;
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
        out_ += "</svg>\n";
        return out_;
    }

private:
    double x(double position) const {
        return kLeft + (position - xLow_) / (xHigh_ - xLow_) * (kRight - kLeft);
    }
    double y(double speed) const { return kBottom - speed / yHigh_ * (kBottom - kTop); }
    double notchY(int notch) const {
        return kStripBottom - static_cast<double>(notch) / static_cast<double>(notchTop_) *
                                  (kStripBottom - kStripTop);
    }

    void text(double px, double py, const std::string& content, const std::string& attributes) {
        out_ += "<text x=\"" + num(px) + "\" y=\"" + num(py) + "\" " + attributes + ">" +
                escape(content) + "</text>\n";
    }

    // A label starting at px, or ending there when it would leave the plot.
    void label(double px, double py, const std::string& content, double size,
               const std::string& attributes) {
        if (px + textWidth(content, size) > kRight) {
            text(px - 4, py, content, "text-anchor=\"end\" " + attributes);
        } else {
            text(px, py, content, attributes);
        }
    }

    void line(double x1, double y1, double x2, double y2, const std::string& attributes) {
        out_ += "<line x1=\"" + num(x1) + "\" y1=\"" + num(y1) + "\" x2=\"" + num(x2) + "\" y2=\"" +
                num(y2) + "\" " + attributes + "/>\n";
    }

    void header() {
        out_ += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(kWidth) +
                "\" height=\"" + num(kHeight) + "\" viewBox=\"0 0 " + num(kWidth) + " " +
                num(kHeight) +
                "\" font-family=\"DejaVu Sans, Arial, sans-serif\" font-size=\"11\">\n";
        out_ += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
        out_ += "<defs><clipPath id=\"area\"><rect x=\"" + num(kLeft) + "\" y=\"" + num(kTop) +
                "\" width=\"" + num(kRight - kLeft) + "\" height=\"" + num(kBottom - kTop) +
                "\"/></clipPath></defs>\n";
        const FrameRecord& last = end_.last;
        text(kLeft, 24, scenario_.name + ": speed against position",
             "font-size=\"16\" font-weight=\"bold\"");
        std::string sub = "ended at " +
                          formatFixed(static_cast<double>(last.elapsedMs) / 1000.0, 1) + " s, " +
                          num(last.positionM) + " m: " + end_.reason;
        if (!report_.stops.empty())
            sub += "; stopped at " + num(report_.stops.back().positionM) + " m";
        text(kLeft, 42, sub, "fill=\"#444\"");
    }

    void grid() {
        const double xStep = tickStep(xHigh_ - xLow_);
        for (double tick = std::ceil(xLow_ / xStep) * xStep; tick <= xHigh_; tick += xStep) {
            line(x(tick), kTop, x(tick), kBottom, "stroke=\"#eee\"");
            line(x(tick), kStripTop, x(tick), kStripBottom, "stroke=\"#eee\"");
            text(x(tick), kBottom + 15, formatFixed(tick, 0),
                 "text-anchor=\"middle\" fill=\"#333\"");
        }
        const double yStep = tickStep(yHigh_);
        for (double tick = 0.0; tick <= yHigh_ + 1e-9; tick += yStep) {
            line(kLeft, y(tick), kRight, y(tick), "stroke=\"#eee\"");
            text(kLeft - 6, y(tick) + 4, formatFixed(tick, 0), "text-anchor=\"end\" fill=\"#333\"");
        }
        out_ += "<rect x=\"" + num(kLeft) + "\" y=\"" + num(kTop) + "\" width=\"" +
                num(kRight - kLeft) + "\" height=\"" + num(kBottom - kTop) +
                "\" fill=\"none\" stroke=\"#888\"/>\n";
        text(kLeft + (kRight - kLeft) / 2, kBottom + 31, "position (m)",
             "text-anchor=\"middle\" fill=\"#333\"");
        text(18, kTop + (kBottom - kTop) / 2, "speed (km/h)",
             "text-anchor=\"middle\" fill=\"#333\" transform=\"rotate(-90 18 " +
                 num(kTop + (kBottom - kTop) / 2) + ")\"");
    }

    void stations() {
        for (const Station& station : scenario_.stations) {
            if (station.positionM < xLow_ || station.positionM > xHigh_) continue;
            const double from = x(std::max(xLow_, station.positionM - station.windowM));
            const double to = x(std::min(xHigh_, station.positionM + station.windowM));
            out_ += "<rect x=\"" + num(from) + "\" y=\"" + num(kBottom - 8) + "\" width=\"" +
                    num(std::max(to - from, 2.0)) +
                    "\" height=\"8\" fill=\"#34495e\" opacity=\"0.5\"/>\n";
            line(x(station.positionM), kBottom - 14, x(station.positionM), kBottom,
                 "stroke=\"#34495e\" stroke-width=\"2\"");
            text(x(station.positionM), kBottom - 18, station.name,
                 "text-anchor=\"middle\" fill=\"#34495e\" font-weight=\"bold\"");
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
            const std::string colour = span.emergency ? "#e74c3c" : "#f39c12";
            out_ += "<rect clip-path=\"url(#area)\" x=\"" + num(from) + "\" y=\"" + num(kTop) +
                    "\" width=\"" + num(to - from) + "\" height=\"" + num(kBottom - kTop) +
                    "\" fill=\"" + colour + "\" opacity=\"0.2\"/>\n";
            // Side by side spans share two rows of labels; a label with no room is left out.
            const std::string name = span.emergency ? "emergency brake" : "full-service brake";
            const double width = textWidth(name, 11);
            const int row =
                brakeRows_.place((from + to) / 2 - width / 2, (from + to) / 2 + width / 2);
            if (row >= 0)
                text((from + to) / 2, kTop + 14 + 13.0 * row, name,
                     "text-anchor=\"middle\" fill=\"" + colour + "\" font-weight=\"bold\"");
        }
    }

    void beaconsAndSignals() {
        LabelRows rows(3);
        for (const Mark& mark : report_.marks) {
            if (mark.kind != Mark::Kind::Beacon) continue;
            const BeaconItem& beacon = scenario_.beacons[static_cast<std::size_t>(mark.item)];
            const double px = x(beacon.positionM);
            line(px, kTop, px, kBottom, "stroke=\"#7f8c8d\" stroke-dasharray=\"3,3\"");
            const std::string label = beaconLabel(beacon);
            // Vertical labels along the bottom, side by side when beacons crowd.
            const int row = rows.place(px - 6, px + 6);
            const double lx = px + 4 + (row > 0 ? 12.0 * row : 0.0);
            text(lx, kBottom - 24, label,
                 "fill=\"#566573\" font-size=\"10\" transform=\"rotate(-90 " + num(lx) + " " +
                     num(kBottom - 24) + ")\"");
        }
        LabelRows signalRows(2);
        for (const Mark& mark : report_.marks) {
            if (mark.kind != Mark::Kind::Signal) continue;
            const int aspect = scenario_.signals[static_cast<std::size_t>(mark.item)].aspect;
            const double px = x(mark.at.positionM);
            const std::string colour = aspectColour(aspect);
            line(px, kTop, px, kBottom,
                 "stroke=\"" + colour + "\" stroke-width=\"2\" opacity=\"0.8\"");
            const std::string label = "aspect " + std::to_string(aspect);
            const int row = std::max(0, signalRows.place(px + 3, px + 3 + textWidth(label, 11)));
            text(px + 3, kTop - 6 - 13.0 * row, label,
                 "fill=\"" + colour + "\" font-weight=\"bold\"");
        }
    }

    void curvePath(const std::vector<std::pair<double, double>>& points,
                   const std::string& colour) {
        if (points.size() < 2) return;
        std::string path = "<path clip-path=\"url(#area)\" fill=\"none\" stroke=\"" + colour +
                           "\" stroke-width=\"1.5\" stroke-dasharray=\"6,4\" d=\"";
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
                points.push_back({position, std::sqrt(floor * floor + kCurveDivisor * remaining)});
            }
            if (pattern.check == Check::Ccp && until > pattern.targetM)
                points.push_back({until, floor});
            const std::string colour = restriction ? "#16a085" : "#8e44ad";
            (restriction ? ccpCurves_ : stopCurves_) = true;
            curvePath(points, colour);
            if (until < pattern.targetM) continue;  // ended before its target
            const double tx = x(pattern.targetM);
            line(tx, y(floor) - 10, tx, y(floor) + (floor > 0 ? 10 : 0),
                 "stroke=\"" + colour + "\" stroke-width=\"3\"");
            const char* name = pattern.check == Check::Ccp   ? "CCP target"
                               : pattern.check == Check::Spb ? "SPB target"
                                                             : "CPP target";
            label(tx + 4, y(floor) - 12, std::string(name) + " " + num(pattern.targetM) + " m", 10,
                  "fill=\"" + colour + "\" font-size=\"10\"");
        }
    }

    void speedLine() {
        std::string path =
            "<path clip-path=\"url(#area)\" fill=\"none\" stroke=\"#1f5fa8\" stroke-width=\"2\" "
            "d=\"";
        double lastX = -1e9, lastY = -1e9;
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

    void marks() {
        LabelRows rows(4);
        for (const Mark& mark : report_.marks) {
            const FramePoint& frame = mark.at;
            const double px = x(frame.positionM);
            const double py = y(std::fabs(frame.speedKmh));
            if (mark.kind == Mark::Kind::Warning) {
                out_ += "<path d=\"M" + num(px) + " " + num(py - 13) +
                        " l-7 12 l14 0 z\" fill=\"#f1c40f\" stroke=\"#b7950b\"/>\n";
                const std::string label = mark.label;
                const int row = rows.place(px - 2, px + textWidth(label, 10));
                if (row >= 0) {
                    const double ly = kTop + 46 + 13.0 * row;
                    line(px, ly + 2, px, py - 14, "stroke=\"#b7950b\" stroke-dasharray=\"1,2\"");
                    this->label(px + 2, ly, label, 10,
                                "fill=\"#9a7d0a\" font-size=\"10\" font-weight=\"bold\"");
                }
            } else if (mark.kind == Mark::Kind::Chime) {
                out_ += "<circle cx=\"" + num(px) + "\" cy=\"" + num(py) +
                        "\" r=\"3.5\" fill=\"#2980b9\" stroke=\"white\"/>\n";
                const int row = rows.place(px - 2, px + textWidth(mark.label, 10));
                if (row >= 0) {
                    const double ly = kTop + 46 + 13.0 * row;
                    line(px, ly + 2, px, py - 4,
                         "stroke=\"#2980b9\" stroke-dasharray=\"1,2\" opacity=\"0.6\"");
                    label(px + 2, ly, mark.label, 10, "fill=\"#2471a3\" font-size=\"10\"");
                }
            } else if (mark.kind == Mark::Kind::Stop) {
                out_ += "<rect x=\"" + num(px - 4) + "\" y=\"" + num(py - 4) +
                        "\" width=\"8\" height=\"8\" fill=\"black\"/>\n";
                label(px + 6, py - 6, "stop " + num(frame.positionM) + " m", 11,
                      "font-weight=\"bold\"");
            }
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
                 "text-anchor=\"end\" fill=\"#333\" font-size=\"10\"");
        }
        text(18, (kStripTop + kStripBottom) / 2, "notch",
             "text-anchor=\"middle\" fill=\"#333\" transform=\"rotate(-90 18 " +
                 num((kStripTop + kStripBottom) / 2) + ")\"");
        text(kLeft, kStripTop - 6,
             "handles applied (solid) and the driver's (dashed): power green, brake red; emergency "
             "notch " +
                 std::to_string(recorded_.emergencyNotch_),
             "fill=\"#444\" font-size=\"10\"");
        stepLine(recorded_.handles_[PlotRecorder::kDriverPower],
                 "stroke=\"#27ae60\" stroke-width=\"1\" stroke-dasharray=\"4,3\"");
        stepLine(recorded_.handles_[PlotRecorder::kDriverBrake],
                 "stroke=\"#c0392b\" stroke-width=\"1\" stroke-dasharray=\"4,3\"");
        stepLine(recorded_.handles_[PlotRecorder::kAppliedPower],
                 "stroke=\"#27ae60\" stroke-width=\"2\" opacity=\"0.8\"");
        stepLine(recorded_.handles_[PlotRecorder::kAppliedBrake],
                 "stroke=\"#c0392b\" stroke-width=\"2\" opacity=\"0.8\"");
    }

    void legend() {
        double lx = kLeft;
        const double ly = kHeight - 18;
        auto item = [&](const std::string& swatch, const std::string& label) {
            out_ +=
                "<g transform=\"translate(" + num(lx) + " " + num(ly) + ")\">" + swatch + "</g>\n";
            text(lx + 22, ly + 4, label, "fill=\"#333\"");
            lx += 30 + textWidth(label, 11);
        };
        item("<line x1=\"0\" y1=\"0\" x2=\"18\" y2=\"0\" stroke=\"#1f5fa8\" stroke-width=\"2\"/>",
             "speed");
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
        item("<rect x=\"0\" y=\"-6\" width=\"18\" height=\"12\" fill=\"#e74c3c\" opacity=\"0.3\"/>",
             "emergency brake");
        item("<rect x=\"0\" y=\"-6\" width=\"18\" height=\"12\" fill=\"#f39c12\" opacity=\"0.3\"/>",
             "full-service brake");
        item("<path d=\"M9 -7 l-7 12 l14 0 z\" fill=\"#f1c40f\" stroke=\"#b7950b\"/>", "warning");
        item("<circle cx=\"9\" cy=\"0\" r=\"3.5\" fill=\"#2980b9\"/>", "chime");
        item("<rect x=\"5\" y=\"-4\" width=\"8\" height=\"8\" fill=\"black\"/>", "stop");
        item(
            "<line x1=\"9\" y1=\"-7\" x2=\"9\" y2=\"7\" stroke=\"#7f8c8d\" "
            "stroke-dasharray=\"3,3\"/>",
            "beacon");
        item("<line x1=\"9\" y1=\"-7\" x2=\"9\" y2=\"7\" stroke=\"#e4572e\" stroke-width=\"2\"/>",
             "signal report");
    }

    const Scenario& scenario_;
    const PlotRecorder& recorded_;
    const Report& report_;
    const DriveEnd& end_;
    double xLow_ = 0.0, xHigh_ = 1.0, yHigh_ = 10.0;
    int notchTop_ = 1;
    LabelRows brakeRows_{2};
    bool stopCurves_ = false;
    bool ccpCurves_ = false;
    std::string out_;
};

PlotRecorder::PlotRecorder(const Scenario& scenario) : scenario_(scenario) {}

void PlotRecorder::begin(int emergencyNotch) { emergencyNotch_ = emergencyNotch; }

void PlotRecorder::event(const HostEvent& event) {
    if (event.kind == HostEvent::Kind::Jump) jumped_ = true;
}

void PlotRecorder::frame(const FrameRecord& frame) {
    const double speed = std::fabs(frame.speedKmh);
    if (speed_.empty()) {
        lowM_ = highM_ = frame.positionM;
    } else {
        lowM_ = std::min(lowM_, frame.positionM);
        highM_ = std::max(highM_, frame.positionM);
    }
    topKmh_ = std::max(topKmh_, speed);
    // The latest frame is always the last point; the one before it stays
    // only if it may be drawn.
    speed_.push_back({frame.positionM, speed, jumped_});
    if (speed_.size() > limit_) thin();
    const int values[kHandleLines] = {frame.driverPower, frame.driverBrake, frame.out.power,
                                      frame.out.brake};
    for (std::size_t i = 0; i < kHandleLines; ++i)
        if (handles_[i].empty() || jumped_ || handles_[i].back().value != values[i])
            handles_[i].push_back({frame.positionM, values[i], jumped_ && !handles_[i].empty()});
    jumped_ = false;
}

// Drops the speed points that would fall within half a pixel of the point
// kept before them at the scale the plot has so far. The plot only grows,
// so they would not be drawn at the end either. Where that keeps too many
// (a speed that swings all day), the next round thins twice as hard.
void PlotRecorder::thin() {
    const double span = std::max(highM_ - lowM_, 100.0) * 1.06;
    const double metresPerPixel = span / (kRight - kLeft) * thinning_;
    const double kmhPerPixel = std::max(10.0, topKmh_) * 1.15 / (kBottom - kTop) * thinning_;
    std::size_t kept = 1;
    for (std::size_t i = 1; i < speed_.size(); ++i) {
        const SpeedPoint& point = speed_[i];
        const SpeedPoint& previous = speed_[kept - 1];
        const bool last = i + 1 == speed_.size();
        if (last || point.jump ||
            std::fabs(point.positionM - previous.positionM) >= 0.5 * metresPerPixel ||
            std::fabs(point.speedKmh - previous.speedKmh) >= 0.5 * kmhPerPixel)
            speed_[kept++] = point;
    }
    speed_.resize(kept);
    if (speed_.size() > limit_ / 2) thinning_ *= 2.0;
}

std::string PlotRecorder::render(const Report& report, const DriveEnd& end) const {
    return Plot(scenario_, *this, report, end).render();
}

}  // namespace velt::drive
