#include "tools/velt-drive/render/time_plot.h"

#include "tools/velt-drive/render/plot_layout.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "tools/velt-drive/explain/check_table.h"
#include "tools/velt-drive/explain/folding.h"
#include "tools/velt-drive/explain/panel_codes.h"
#include "tools/velt-drive/util/number_format.h"
#include "tools/velt-drive/util/svg_text.h"
#include "tools/velt-drive/util/units.h"

namespace velt::drive {

namespace {

using layout::kRight;
using layout::kWidth;
using namespace layout::time;

std::string num(double value) { return svgNumber(value); }

// A fill for each display code, so that a change of code shows as a change
// of colour even where the span is too narrow for its number.
std::string codeColour(std::int32_t code) {
    static const char* const kPalette[] = {"#aed6f1", "#a9dfbf", "#f9e79f", "#f5cba7",
                                           "#d7bde2", "#a3e4d7", "#fad7a0", "#d5dbdb"};
    const auto slot = static_cast<std::size_t>((code % 8 + 8) % 8);
    return kPalette[slot];
}

std::string halfPeriodText(std::int32_t halfPeriodMs) {
    return formatPlain(2.0 * halfPeriodMs / 1000.0) + " s";
}

class TimePlot {
public:
    TimePlot(const CabTimeline& timeline, const Report& report, const DriveEnd& end)
        : timeline_(timeline), report_(report), end_(end) {
        tEnd_ = static_cast<double>(std::max<std::int64_t>(timeline.lastElapsedMs(), 1000));
        yHigh_ = layout::speedAxisTop(timeline.topSpeedKmh());
        soundsTop_ = kLanesTop + static_cast<double>(laneCount()) * (kLaneHeight + kLaneGap) + 8;
        height_ = soundsTop_ + kSoundRows * 13 + 16;
    }

    std::string render() {
        header();
        grid();
        speedArea();
        double laneY = kLanesTop;
        const double step = kLaneHeight + kLaneGap;
        for (int panel = kFirstDisplayPanel; panel < kFirstDisplayPanel + kDisplayPanels; ++panel) {
            codeLane(laneY, panel);
            laneY += step;
        }
        for (const CabIndicator& lamp : kCabIndicators) {
            if (lamp.lamp == nullptr) continue;
            lampLane(laneY, std::string(lamp.lamp) + " (" + std::to_string(lamp.index) + ")",
                     timeline_.panel(lamp.index).spans(), "#f4d03f",
                     [](std::int32_t v) { return v != 0 ? "on" : ""; });
            laneY += step;
        }
        lampLane(laneY, "bell (sound 0)", timeline_.sound(cab::kSoundBell).spans(), "#e74c3c",
                 [](std::int32_t v) { return v == 0 ? "ringing" : ""; });
        laneY += step;
        lampLane(laneY, "reminder (sound 2)", timeline_.sound(cab::kSoundStationStop).spans(),
                 "#5dade2", [](std::int32_t v) {
                     return v == 0 ? "sounding" : v == -1200 ? "attenuated" : "";
                 });
        laneY += step;
        doorLane(laneY);
        oneShots();
        out_ += labels_ + "</svg>\n";
        return out_;
    }

private:
    static std::size_t laneCount() { return kDisplayPanels + lampCount() + 3; }

    [[nodiscard]] double x(double elapsedMs) const {
        return kLeft + elapsedMs / tEnd_ * (kRight - kLeft);
    }
    [[nodiscard]] double y(double speed) const {
        return kBottom - speed / yHigh_ * (kBottom - kTop);
    }

    // Where a span ends: where the next begins, or at the last frame.
    [[nodiscard]] double spanEnd(const std::vector<ValueSpan>& spans, std::size_t i) const {
        return i + 1 < spans.size() ? static_cast<double>(spans[i + 1].at.elapsedMs) : tEnd_;
    }

    void text(double px, double py, const std::string& content, const std::string& attributes,
              double size = 11, bool bold = false, const std::string& anchor = "start") {
        placer_.reserve(labelBox(px, py, content, size, bold, anchor));
        out_ += svgText(px, py, content, "text-anchor=\"" + anchor + "\" " + attributes);
    }

    void rect(double x0, double y0, double x1, double y1, const std::string& attributes) {
        out_ += svgRect(x0, y0, std::max(x1 - x0, 0.6), y1 - y0, attributes);
    }

    // A label that takes the first free one of its spots; with `leaderFrom`
    // a dotted line joins it to what it names.
    bool placedLabel(const std::vector<std::pair<double, double>>& spots,
                     const std::string& content, double size, const std::string& attributes,
                     std::optional<std::pair<double, double>> leaderFrom = std::nullopt,
                     bool clearOfSpeed = false) {
        // Each spot right of what it names, then the same spot ending left of
        // it; a spot the speed line runs through, when that matters, is
        // moved out of the picture so that the placer passes it over.
        // A bold label is measured bold, so that it keeps clear of its
        // neighbours and of the right edge.
        const bool bold = attributes.find("font-weight=\"bold\"") != std::string::npos;
        std::vector<Box> boxes;
        for (const auto& [px, py] : spots) {
            boxes.push_back(labelBox(px, py, content, size, bold, "start"));
            boxes.push_back(labelBox(px - 6, py, content, size, bold, "end"));
        }
        if (clearOfSpeed)
            for (Box& box : boxes)
                if (crossesSpeed(box)) box = {-2.0, -2.0, -1.0, -1.0};
        const auto taken = placer_.place(boxes);
        if (!taken) return false;
        const bool left = *taken % 2 == 1;
        const auto [spotX, py] = spots[*taken / 2];
        const double px = left ? spotX - 6 : spotX;
        if (leaderFrom && *taken > 1)
            labels_ += "<line x1=\"" + num(leaderFrom->first) + "\" y1=\"" +
                       num(leaderFrom->second) + "\" x2=\"" + num(px) + "\" y2=\"" +
                       num(py - size * 0.4) + "\" stroke=\"#999\" stroke-dasharray=\"1,2\"/>\n";
        labels_ += "<text x=\"" + num(px) + "\" y=\"" + num(py) + "\" font-size=\"" + num(size) +
                   "\" text-anchor=\"" + (left ? "end" : "start") + "\" " + attributes + ">" +
                   escapeXml(content) + "</text>\n";
        return true;
    }

    void header() {
        out_ += svgOpen(kWidth, height_,
                        " data-x0=\"" + num(kLeft) + "\" data-x1=\"" + num(kRight) +
                            R"(" data-t0-ms="0" data-t1-ms=")" + formatFixed(tEnd_, 0) + "\"");
        out_ += "<defs>";
        for (const std::int32_t half : {250, 500, 1000})
            out_ += "<pattern id=\"blink" + std::to_string(half) +
                    R"(" patternUnits="userSpaceOnUse" width=")" + std::to_string(half / 50) +
                    "\" height=\"20\" patternTransform=\"rotate(35)\"><rect width=\"" +
                    std::to_string(half / 100) +
                    R"(" height="20" fill="white" opacity="0.75"/></pattern>)";
        out_ += R"(<clipPath id="speed-area"><rect x=")" + num(kLeft) + "\" y=\"" + num(kTop) +
                "\" width=\"" + num(kRight - kLeft) + "\" height=\"" + num(kBottom - kTop) +
                "\"/></clipPath></defs>\n";
        text(kLeft, 24, timeline_.scenario().name + ": the cab against time",
             R"(font-size="16" font-weight="bold")", 16, true);
        text(kLeft, 42,
             "ended at " + secondsText(secondsOf(end_.last.elapsedMs), 1) + ", " +
                 metresText(end_.last.positionM) + ": " + end_.reason +
                 "; hatched spans blink, with the period given",
             "fill=\"#444\"");
    }

    void grid() {
        const double step = tickStep(tEnd_ / 1000.0);
        const double bottom = soundsTop_ + kSoundRows * 13;
        for (int i = 0; static_cast<double>(i) * step * 1000.0 <= tEnd_ + 1e-6; ++i) {
            const double tick = static_cast<double>(i) * step;
            const double px = x(tick * 1000.0);
            out_ += "<line x1=\"" + num(px) + "\" y1=\"" + num(kTop) + "\" x2=\"" + num(px) +
                    "\" y2=\"" + num(bottom) + "\" stroke=\"#eee\"/>\n";
            text(px, kBottom + 14, formatPlain(tick), "fill=\"#333\"", 11, false, "middle");
        }
        text(kLeft + (kRight - kLeft) / 2, kBottom + 28, "time since the start (s)",
             "fill=\"#333\"", 11, false, "middle");
        const double speedStep = tickStep(yHigh_);
        for (int i = 0; static_cast<double>(i) * speedStep <= yHigh_ + 1e-9; ++i) {
            const double tick = static_cast<double>(i) * speedStep;
            out_ += "<line x1=\"" + num(kLeft) + "\" y1=\"" + num(y(tick)) + "\" x2=\"" +
                    num(kRight) + "\" y2=\"" + num(y(tick)) + "\" stroke=\"#eee\"/>\n";
            text(kLeft - 6, y(tick) + 4, formatFixed(tick, 0), "fill=\"#333\"", 11, false, "end");
        }
        text(kLeft - 40, kTop + 4, "km/h", "fill=\"#333\"", 11, false, "end");
        rect(kLeft, kTop, kRight, kBottom, R"(fill="none" stroke="#888")");
    }

    void speedArea() {
        // The protection's interventions, named with the check that began
        // them; a black-box drive knows only the brakes the outputs show.
        if (end_.explained) {
            // A brake re-applied over and over is one intervention
            // (explain/folding.h): every application is shaded, the first
            // one labelled with the count.
            const auto& all = end_.interventions;
            const std::vector<FoldedIntervention> folded = foldInterventions(all);
            const std::vector<std::size_t> rows = foldedRows(all);
            for (std::size_t k = 0; k < all.size(); ++k) {
                const FoldedIntervention& row = folded[rows[k]];
                const Intervention& v = row.intervention;
                const char* what = v.level == 2   ? "emergency brake"
                                   : v.level == 1 ? "full-service brake"
                                                  : "power cut";
                // The overspeed cut is its own check: its name says it all.
                const std::string name = v.level == 0
                                             ? std::string(checkName(v.check))
                                             : what + std::string(": ") + checkName(v.check);
                const std::string times =
                    row.applications > 1 ? " (" + std::to_string(row.applications) + " times)" : "";
                intervention(all[k].start, all[k].end, v.level,
                             k != row.first ? std::vector<std::string>{}
                                            : std::vector<std::string>{name + times, what});
            }
        } else {
            for (const BrakeSpan& span : report_.brakes)
                intervention(span.first, span.last, span.emergency ? 2 : 1,
                             {span.emergency ? "emergency brake" : "full-service brake"});
        }
        // The doors open at a stand.
        const auto& doors = timeline_.handle(CabTimeline::kDoorsClosed).spans();
        for (std::size_t i = 0; i < doors.size(); ++i) {
            if (doors[i].on != 0) continue;
            const double x0 = x(static_cast<double>(doors[i].at.elapsedMs));
            rect(x0, kTop, x(spanEnd(doors, i)), kBottom, R"(fill="#5d6d7e" opacity="0.12")");
        }
        // The speed line.
        std::string path = "<path clip-path=\"url(#speed-area)\" fill=\"none\" stroke=\"" +
                           std::string(palette::kSpeed) +
                           "\" "
                           "stroke-width=\"2\" d=\"";
        const auto& samples = timeline_.samples();
        for (std::size_t i = 0; i < samples.size(); ++i)
            path += (i == 0 ? "M" : (samples[i].jump ? " M" : " L")) +
                    num(x(static_cast<double>(samples[i].elapsedMs))) + " " +
                    num(y(samples[i].speedKmh));
        out_ += path + "\"/>\n";
        // Stops, named after the station they are at.
        for (const FramePoint& stop : report_.stops) {
            const double px = x(static_cast<double>(stop.elapsedMs));
            rect(px - 4, kBottom - 8, px + 4, kBottom, "fill=\"black\"");
            placer_.reserve({px - 4, kBottom - 8, px + 4, kBottom});
            std::string name = "stop " + metresText(stop.positionM);
            for (const Station& station : timeline_.scenario().stations)
                if (std::fabs(stop.positionM - station.positionM) <= station.windowM)
                    name.insert(0, station.name + ", ");
            std::vector<std::pair<double, double>> spots;
            spots.reserve(6);
            for (int row = 0; row < 6; ++row) spots.emplace_back(px + 6, kBottom - 12 - 13.0 * row);
            placedLabel(spots, name, 11, "font-weight=\"bold\"", std::make_pair(px, kBottom - 8));
        }
        // What the host reported, as ticks along the top, labelled above.
        for (const Mark& mark : report_.marks) {
            if (mark.kind != Mark::Kind::Beacon && mark.kind != Mark::Kind::Signal) continue;
            const double px = x(static_cast<double>(mark.at.elapsedMs));
            const bool signal = mark.kind == Mark::Kind::Signal;
            out_ += "<line x1=\"" + num(px) + "\" y1=\"" + num(kTop) + "\" x2=\"" + num(px) +
                    "\" y2=\"" + num(kTop + 8) + "\" stroke=\"" +
                    (signal ? palette::kFailed : palette::kBeacon) + "\" stroke-width=\"2\"/>\n";
            std::vector<std::pair<double, double>> spots;
            spots.reserve(3);
            for (int row = 0; row < 3; ++row) spots.emplace_back(px + 2, kTop - 4 - 12.0 * row);
            placedLabel(spots, mark.label, 9.5, "fill=\"" + std::string(palette::kReported) + "\"",
                        std::make_pair(px, kTop));
        }
    }

    // A shaded stretch of the speed area with the first of its names that
    // finds room.
    void intervention(const FramePoint& first, const FramePoint& last, int level,
                      const std::vector<std::string>& names) {
        const double x0 = x(static_cast<double>(first.elapsedMs));
        const double x1 = std::max(x(static_cast<double>(last.elapsedMs)), x0 + 2);
        const std::string colour = level == 2   ? palette::kEmergencyBrake
                                   : level == 1 ? palette::kServiceBrake
                                                : palette::kPowerCut;
        rect(x0, kTop, x1, kBottom, "fill=\"" + colour + R"(" opacity="0.2")");
        std::vector<std::pair<double, double>> spots;
        for (int row = 0; kTop + 14 + 13.0 * row < kBottom - 16; ++row)
            spots.emplace_back(x0 + 3, kTop + 14 + 13.0 * row);
        for (const std::string& name : names)
            if (placedLabel(spots, name, 11, "fill=\"" + colour + R"(" font-weight="bold")",
                            std::nullopt, true))
                return;
    }

    // Whether the speed line runs through a box.
    [[nodiscard]] bool crossesSpeed(const Box& box) const {
        const auto& samples = timeline_.samples();
        for (std::size_t i = 0; i + 1 < samples.size(); ++i) {
            const double ax = x(static_cast<double>(samples[i].elapsedMs));
            const double bx = x(static_cast<double>(samples[i + 1].elapsedMs));
            if (bx < box.left || ax > box.right || samples[i + 1].jump) continue;
            // The piece of the segment over the box, as a range of heights.
            auto at = [&](double px) {
                const double share = bx > ax ? std::clamp((px - ax) / (bx - ax), 0.0, 1.0) : 0.0;
                return y(samples[i].speedKmh +
                         (samples[i + 1].speedKmh - samples[i].speedKmh) * share);
            };
            const double y0 = at(box.left);
            const double y1 = at(box.right);
            if (std::max(y0, y1) >= box.top - 1 && std::min(y0, y1) <= box.bottom + 1) return true;
        }
        return false;
    }

    void laneName(double laneY, const std::string& name) {
        text(kLeft - 6, laneY + 14, name, "fill=\"#333\"", 11, false, "end");
        rect(kLeft, laneY, kRight, laneY + kLaneHeight, R"(fill="#fbfcfc" stroke="#ddd")");
    }

    // Spans narrower than a pixel are drawn together as one grey stretch:
    // at this scale they are a flicker, not something to read.
    template <typename Draw>
    void eachSpan(const std::vector<ValueSpan>& spans, double laneY, Draw draw) {
        double busyFrom = -1.0;
        double busyTo = -1.0;
        auto flush = [&] {
            if (busyFrom >= 0.0)
                rect(busyFrom, laneY + 2, busyTo, laneY + kLaneHeight - 2, "fill=\"#95a5a6\"");
            busyFrom = -1.0;
        };
        for (std::size_t i = 0; i < spans.size(); ++i) {
            const double x0 = x(static_cast<double>(spans[i].at.elapsedMs));
            const double x1 = x(spanEnd(spans, i));
            if (x1 - x0 < 1.0) {
                if (busyFrom < 0.0) busyFrom = x0;
                busyTo = x1;
                continue;
            }
            flush();
            draw(spans[i], x0, x1);
        }
        flush();
    }

    void spanText(double x0, double x1, double laneY, const std::vector<std::string>& choices) {
        for (const std::string& choice : choices) {
            if (textWidth(choice, 10) > x1 - x0 - 4) continue;
            text((x0 + x1) / 2, laneY + 14, choice, R"(font-size="10" fill="#1c2833")", 10, false,
                 "middle");
            return;
        }
    }

    void hatch(double x0, double x1, double laneY, std::int32_t halfPeriodMs) {
        rect(x0, laneY, x1, laneY + kLaneHeight,
             "fill=\"url(#blink" + std::to_string(halfPeriodMs) + ")\"");
    }

    void codeLane(double laneY, int panel) {
        laneName(laneY, std::string(displayElement(panel)) + " (" + std::to_string(panel) + ")");
        eachSpan(timeline_.panel(panel).spans(), laneY,
                 [&](const ValueSpan& span, double x0, double x1) {
                     const std::int32_t shown = span.on != 0 ? span.on : span.off;
                     if (shown == 0) return;
                     rect(x0, laneY, x1, laneY + kLaneHeight,
                          "fill=\"" + codeColour(shown) + R"(" stroke="white")");
                     const PanelCode* entry = findPanelCode(panel, shown);
                     const std::string label = entry != nullptr ? entry->label : "";
                     std::string code = std::to_string(shown);
                     if (span.blinks()) {
                         hatch(x0, x1, laneY, span.halfPeriodMs);
                         const std::string how =
                             (span.off != 0 ? std::to_string(span.off) + "/" +
                                                  std::to_string(span.on) + " alternate "
                                            : code + " blinks ") +
                             halfPeriodText(span.halfPeriodMs);
                         spanText(x0, x1, laneY, {how + ": " + label, how, code});
                     } else {
                         spanText(x0, x1, laneY, {code + ": " + label, code});
                     }
                 });
    }

    template <typename Describe>
    void lampLane(double laneY, const std::string& name, const std::vector<ValueSpan>& spans,
                  const std::string& colour, Describe describe) {
        laneName(laneY, name);
        eachSpan(spans, laneY, [&](const ValueSpan& span, double x0, double x1) {
            const std::string on = describe(span.on);
            const std::string off = describe(span.off);
            const std::string shown = on.empty() ? off : on;
            if (on.empty() && off.empty()) return;
            const bool quiet = shown == "attenuated";
            rect(x0, laneY + 2, x1, laneY + kLaneHeight - 2,
                 "fill=\"" + colour + "\"" + (quiet ? " opacity=\"0.45\"" : ""));
            if (span.blinks()) {
                hatch(x0, x1, laneY, span.halfPeriodMs);
                spanText(x0, x1, laneY, {"blinks " + halfPeriodText(span.halfPeriodMs), ""});
            } else {
                spanText(x0, x1, laneY, {shown});
            }
        });
    }

    void doorLane(double laneY) {
        laneName(laneY, "doors");
        const auto& doors = timeline_.handle(CabTimeline::kDoorsClosed).spans();
        eachSpan(doors, laneY, [&](const ValueSpan& span, double x0, double x1) {
            if (span.on != 0) return;
            rect(x0, laneY + 2, x1, laneY + kLaneHeight - 2, R"(fill="#5d6d7e" opacity="0.6")");
            const double seconds = (x1 - x0) / (kRight - kLeft) * tEnd_ / 1000.0;
            spanText(x0, x1, laneY, {"open " + secondsText(seconds, 1), "open"});
        });
    }

    // Every one-shot sound where it plays, one mark per start; marks at one
    // spot share a label, and labels stack in rows with leaders.
    void oneShots() {
        const double rowY = soundsTop_;
        text(kLeft - 6, rowY + 4, "one-shot sounds", "fill=\"#333\"", 11, false, "end");
        out_ += "<line x1=\"" + num(kLeft) + "\" y1=\"" + num(rowY) + "\" x2=\"" + num(kRight) +
                "\" y2=\"" + num(rowY) + "\" stroke=\"#bbb\"/>\n";
        // A sound that starts again before its label would end is one run,
        // labelled once with its count, as a brake applied again is one
        // span: repeats a few pixels apart would otherwise stack label on
        // label.
        struct Run {
            double px;
            const char* name;
            int starts;
        };
        std::vector<Run> runs;
        for (const CabSound& sound : kCabSounds) {
            if (sound.loop) continue;
            const auto& spans = timeline_.sound(sound.index).spans();
            const std::size_t first = runs.size();
            for (std::size_t i = 0; i < spans.size(); ++i) {
                if (spans[i].on != 1) continue;
                const double px = x(static_cast<double>(spans[i].at.elapsedMs));
                out_ += "<rect x=\"" + num(px - 2) + "\" y=\"" + num(rowY - 3) + "\" width=\"" +
                        num(std::max(x(spanEnd(spans, i)) - px, 1.0) + 4) +
                        R"(" height="6" rx="3" fill=")" + palette::kChime + "\"/>\n";
                const double reach = textWidth(std::string(sound.name) + " (99 times)", 10) + 3;
                if (runs.size() > first && px - runs.back().px < reach)
                    ++runs.back().starts;
                else
                    runs.push_back({px, sound.name, 1});
            }
        }
        // Runs of different sounds at one spot share a label.
        struct Group {
            double px;
            std::string label;
        };
        std::vector<Group> groups;
        for (const Run& run : runs) {
            const std::string label =
                run.name + (run.starts > 1 ? " (" + std::to_string(run.starts) + " times)" : "");
            auto same = std::find_if(groups.begin(), groups.end(), [&](const Group& group) {
                return std::fabs(group.px - run.px) < 3.0;
            });
            if (same == groups.end())
                groups.push_back({run.px, label});
            else if (same->label.find(label) == std::string::npos)
                same->label += ", " + label;
        }
        for (const Group& group : groups) {
            std::vector<std::pair<double, double>> spots;
            spots.reserve(static_cast<int>(kSoundRows));
            for (int row = 0; row < static_cast<int>(kSoundRows); ++row) {
                spots.emplace_back(group.px + 3, rowY + 15 + 13.0 * row);
            }
            placedLabel(spots, group.label, 10, "fill=\"" + std::string(palette::kChimeText) + "\"",
                        std::make_pair(group.px, rowY));
        }
    }

    const CabTimeline& timeline_;
    const Report& report_;
    const DriveEnd& end_;
    double tEnd_ = 1000.0;
    double yHigh_ = 10.0;
    double soundsTop_ = 0.0;
    double height_ = 800.0;
    LabelPlacer placer_{{0.0, 0.0, kWidth - 4, 10000.0}};
    std::string out_;
    std::string labels_;
};

}  // namespace

std::string renderTimePlot(const CabTimeline& timeline, const Report& report, const DriveEnd& end) {
    return TimePlot(timeline, report, end).render();
}

}  // namespace velt::drive
