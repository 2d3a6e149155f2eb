#include <algorithm>
#include <cmath>
#include <optional>

#include "tools/velt-drive/sweep/sweep_report.h"
#include "tools/velt-drive/util/number_format.h"
#include "tools/velt-drive/util/svg_canvas.h"

namespace velt::drive {

namespace {

constexpr double kWidth = 960.0;
constexpr double kHeight = 600.0;
constexpr double kLeft = 86.0;
constexpr double kRight = kWidth - 40.0;
constexpr double kTop = 84.0;
constexpr double kBottom = kHeight - 76.0;
// A grid keeps room on the right for its colour scale.
constexpr double kGridRight = kWidth - 150.0;

constexpr const char* kMet = palette::kMet;
constexpr const char* kFailed = palette::kFailed;
constexpr const char* kTarget = palette::kStation;

std::string num(double value) { return svgNumber(value); }

// Where the stop of a drive lies, for the plot: the first stand, or where
// the drive ended when the train never stood still.
struct Placed {
    double positionM;
    bool stopped;
};

Placed placeOf(const SweepDrive& drive) {
    const auto stop = drive.outcome.firstStop();
    if (stop) return {stop->positionM, true};
    return {drive.outcome.last.positionM, false};
}

bool placedBefore(const TargetResult& a, const TargetResult& b) {
    return sourceBefore(a.file, a.line, b.file, b.line);
}

// The first stop target any drive met, by file and line: the one the plot
// measures margins to. Null when no drive met one.
const TargetResult* firstTarget(const SweepResult& result) {
    const TargetResult* first = nullptr;
    for (const SweepDrive& drive : result.drives)
        for (const TargetResult& t : drive.outcome.targets)
            if (first == nullptr || placedBefore(t, *first)) first = &t;
    return first;
}

// A drive's result for the target placed where `column` was.
const TargetResult* targetOf(const SweepDrive& drive, const TargetResult& column) {
    for (const TargetResult& t : drive.outcome.targets)
        if (t.sameSource(column)) return &t;
    return nullptr;
}

// From a pale to a strong shade of one hue as `t` goes from 0 to 1.
std::string shade(double t, int r, int g, int b) {
    t = std::clamp(t, 0.0, 1.0);
    const auto mix = [&](int full) {
        return static_cast<int>(std::lround(255.0 - (255.0 - full) * (0.18 + 0.82 * t)));
    };
    static const char kHex[] = "0123456789abcdef";
    std::string out = "#";
    for (const int v : {mix(r), mix(g), mix(b)}) {
        out += kHex[(v >> 4) & 15];
        out += kHex[v & 15];
    }
    return out;
}

class SweepPlot {
public:
    explicit SweepPlot(const SweepResult& result) : r_(result) {}

    std::string render() {
        out_ += svgOpen(kWidth, kHeight);
        if (r_.varies.size() == 1) {
            stops();
        } else {
            grid();
        }
        out_ += "</svg>\n";
        return out_;
    }

private:
    void text(double x, double y, const std::string& content, const std::string& attributes) {
        out_ += svgText(x, y, content, attributes);
    }
    void line(double x1, double y1, double x2, double y2, const std::string& attributes) {
        out_ += svgLine(x1, y1, x2, y2, attributes);
    }
    void rect(double x, double y, double w, double h, const std::string& attributes) {
        out_ += svgRect(x, y, w, h, attributes);
    }

    void title(const std::string& what, const std::string& sub) {
        text(kLeft, 26, r_.base.name + ": " + what, R"(font-size="16" font-weight="bold")");
        const std::size_t failed = r_.failedCount();
        text(kLeft, 45,
             std::to_string(r_.drives.size()) + " drives, " +
                 (failed == 0 ? std::string("every one met its expectations")
                              : std::to_string(failed) + " failed (" +
                                    (r_.varies.size() == 1 ? "in red" : "outlined") + ")") +
                 sub,
             R"(fill="#444")");
    }

    [[nodiscard]] static std::string axisName(const Vary& vary) {
        return vary.unit.empty() ? vary.name : vary.name + " (" + vary.unit + ")";
    }

    // One varied quantity: the stop position against it.
    void stops() {
        const Vary& vary = r_.varies[0];
        const TargetResult* target = firstTarget(r_);
        double xLow = vary.values.front();
        double xHigh = vary.values.front();
        for (const double v : vary.values) {
            xLow = std::min(xLow, v);
            xHigh = std::max(xHigh, v);
        }
        if (xHigh == xLow) {
            xLow -= 1.0;
            xHigh += 1.0;
        }
        const double xPad = (xHigh - xLow) * 0.04;
        xLow -= xPad;
        xHigh += xPad;
        std::optional<double> yLow;
        std::optional<double> yHigh;
        const auto widen = [&](double y) {
            yLow = yLow ? std::min(*yLow, y) : y;
            yHigh = yHigh ? std::max(*yHigh, y) : y;
        };
        for (const SweepDrive& drive : r_.drives) {
            if (!drive.failure.empty()) continue;
            widen(placeOf(drive).positionM);
            for (const TargetResult& t : drive.outcome.targets) widen(t.positionM);
        }
        if (!yLow) {
            yLow = 0.0;
            yHigh = 100.0;
        }
        const double span = std::max(*yHigh - *yLow, 20.0);
        const double yBottom = *yLow - span * 0.08;
        const double yTop = *yHigh + span * 0.12;
        const auto px = [&](double v) {
            return kLeft + (v - xLow) / (xHigh - xLow) * (kRight - kLeft);
        };
        const auto py = [&](double m) {
            return kBottom - (m - yBottom) / (yTop - yBottom) * (kBottom - kTop);
        };
        title("where the train stopped, by " + vary.name,
              target ? "; above the dashed line the train ran past its target" : "");

        for (const double tick : roundTicks(yBottom, yTop)) {
            line(kLeft, py(tick), kRight, py(tick), R"(stroke="#eee")");
            text(kLeft - 6, py(tick) + 4, formatFixed(tick, 0), R"(text-anchor="end" fill="#333")");
        }
        // A few values each get a tick; many get round ones.
        std::vector<double> ticks;
        if (vary.values.size() <= 15) {
            ticks = vary.values;
        } else {
            ticks = roundTicks(xLow, xHigh);
        }
        for (const double tick : ticks) {
            line(px(tick), kTop, px(tick), kBottom, R"(stroke="#eee")");
            text(px(tick), kBottom + 16, formatPlain(tick), R"(text-anchor="middle" fill="#333")");
        }
        rect(kLeft, kTop, kRight - kLeft, kBottom - kTop, R"(fill="none" stroke="#888")");
        text((kLeft + kRight) / 2, kBottom + 36, axisName(vary),
             R"(text-anchor="middle" fill="#333")");
        const double mid = (kTop + kBottom) / 2;
        text(22, mid, "stop position (m)",
             R"(text-anchor="middle" fill="#333" transform="rotate(-90 22 )" + num(mid) + ")\"");

        // Each target as a dashed line through its place in every drive (a
        // moved beacon moves its target), the space past it shaded.
        std::vector<const TargetResult*> placed;
        for (const SweepDrive& drive : r_.drives)
            for (const TargetResult& t : drive.outcome.targets)
                if (std::none_of(placed.begin(), placed.end(),
                                 [&](const TargetResult* p) { return p->sameSource(t); }))
                    placed.push_back(&t);
        std::sort(placed.begin(), placed.end(), [](const TargetResult* a, const TargetResult* b) {
            return placedBefore(*a, *b);
        });
        for (const TargetResult* column : placed) {
            std::string points;
            std::string name;
            double lastX = 0.0;
            double lastY = 0.0;
            std::string past;
            for (const SweepDrive& drive : r_.drives) {
                const TargetResult* t = targetOf(drive, *column);
                if (t == nullptr) continue;
                lastX = px(drive.values[0]);
                lastY = py(t->positionM);
                points += num(lastX);
                points += ',';
                points += num(lastY);
                points += ' ';
                name = t->name + " (" + sourceText(t->file, t->line) + ")";
                if (column == placed.front() && past.empty()) past = num(std::max(kTop, lastY));
            }
            if (column == placed.front()) {
                // The space past the target, from the left edge to the right.
                const std::string left =
                    num(kLeft) + "," + num(kTop) + " " + num(kLeft) + "," + past;
                const std::string right = num(kRight) + "," + num(std::max(kTop, lastY)) + " " +
                                          num(kRight) + "," + num(kTop);
                out_ += R"(<polygon points=")" + left + " ";
                out_ += points;
                out_ += right + R"(" fill=")" + kFailed + "\" opacity=\"0.06\"/>\n";
            }
            out_ += R"(<polyline points=")" + points + R"(" fill="none" stroke=")" + kTarget +
                    "\" stroke-width=\"1.5\" stroke-dasharray=\"6,4\"/>\n";
            text(std::min(lastX, kRight) - 4, lastY - 6, name,
                 std::string(R"(text-anchor="end" fill=")") + kTarget + R"(" font-weight="bold")");
        }

        std::string path;
        for (const SweepDrive& drive : r_.drives) {
            if (!drive.failure.empty()) continue;
            path += num(px(drive.values[0])) + "," + num(py(placeOf(drive).positionM)) + " ";
        }
        out_ += R"(<polyline points=")" + path + "\" fill=\"none\" stroke=\"#aaa\"/>\n";
        for (const SweepDrive& drive : r_.drives) {
            const double x = px(drive.values[0]);
            if (!drive.failure.empty()) {
                text(x, kBottom - 6, "x",
                     std::string(R"(text-anchor="middle" fill=")") + kFailed + R"(")");
                continue;
            }
            const Placed at = placeOf(drive);
            const std::string colour = r_.failed(drive) ? kFailed : kMet;
            const double y = py(at.positionM);
            if (at.stopped) {
                // A train that stopped past its limit is a filled dot; one
                // that only missed a warning or a brake expectation a ring.
                const bool ring = r_.failed(drive) && !overran(drive);
                out_ += R"(<circle cx=")" + num(x) + R"(" cy=")" + num(y) + R"(" r="4" fill=")" +
                        (ring ? std::string("white") : colour) + "\" stroke=\"" + colour +
                        "\" stroke-width=\"1.5\"/>\n";
            } else {
                out_ += R"(<path d="M)" + num(x) + "," + num(y - 6) +
                        R"( l5,9 h-10 z" fill="white" stroke=")" + colour +
                        "\" stroke-width=\"1.5\"/>\n";
            }
        }
        legend1d();
    }

    // Whether a failed drive failed an expectation about where it stopped
    // or how fast it ran, rather than about a warning or a brake.
    [[nodiscard]] bool overran(const SweepDrive& drive) const {
        const auto& verdicts = drive.outcome.expectations;
        const auto& expectations = r_.base.expectations;
        for (std::size_t e = 0; e < verdicts.size() && e < expectations.size(); ++e) {
            using Kind = Expectation::Kind;
            const Kind kind = expectations[e].kind;
            if (!verdicts[e].met && (kind == Kind::StopBefore || kind == Kind::StopBetween ||
                                     kind == Kind::SpeedBelow || kind == Kind::SpeedAbove))
                return true;
        }
        return false;
    }

    void legend1d() {
        const double x = kLeft;
        const double y = kHeight - 14;
        const auto dot = [&](double at, const char* fill, const char* stroke) {
            out_ += std::string(R"(<circle cx=")") + num(x + at + 5) + R"(" cy=")" + num(y - 4) +
                    R"(" r="4" fill=")" + fill + R"(" stroke=")" + stroke +
                    R"(" stroke-width="1.5"/>)" + "\n";
        };
        dot(0, kMet, kMet);
        text(x + 14, y, "stopped, met", R"(fill="#333")");
        dot(110, kFailed, kFailed);
        text(x + 124, y, "overran: a stop or speed expectation failed", R"(fill="#333")");
        dot(395, "white", kFailed);
        text(x + 409, y, "a warning or brake expectation failed", R"(fill="#333")");
        out_ += R"(<path d="M)" + num(x + 660) + "," + num(y - 10) +
                " l5,9 h-10 z\" fill=\"white\" stroke=\"#333\" stroke-width=\"1.5\"/>\n";
        text(x + 670, y, "did not stop: where the drive ended", R"(fill="#333")");
    }

    // Two varied quantities: one cell per drive, coloured by how far short
    // of (green) or past (red) the first stop target the train stopped.
    void grid() {
        const Vary& across = r_.varies[0];
        const Vary& up = r_.varies[1];
        const TargetResult* target = firstTarget(r_);
        const std::size_t columns = across.values.size();
        const std::size_t rows = up.values.size();
        const double cellW = (kGridRight - kLeft) / static_cast<double>(columns);
        const double cellH = (kBottom - kTop) / static_cast<double>(rows);
        title(target ? "stop margin to the target, by " + across.name + " and " + up.name
                     : "where the train stopped, by " + across.name + " and " + up.name,
              "");

        // The scale: the largest margin either side, in whole metres.
        double shortest = 1.0;
        double farthest = 1.0;
        double lowM = 0.0;
        double highM = 1.0;
        bool first = true;
        for (const SweepDrive& drive : r_.drives) {
            if (!drive.failure.empty()) continue;
            if (const auto m = margin(drive, target)) {
                if (*m < 0.0) shortest = std::max(shortest, -*m);
                if (*m > 0.0) farthest = std::max(farthest, *m);
            }
            const double at = placeOf(drive).positionM;
            lowM = first ? at : std::min(lowM, at);
            highM = first ? at : std::max(highM, at);
            first = false;
        }
        const bool showText = cellW >= 40.0 && cellH >= 15.0;
        for (std::size_t d = 0; d < r_.drives.size(); ++d) {
            const SweepDrive& drive = r_.drives[d];
            const std::size_t column = d / rows;
            const std::size_t row = d % rows;
            const double x = kLeft + static_cast<double>(column) * cellW;
            const double y = kBottom - static_cast<double>(row + 1) * cellH;
            std::string fill = "#dddddd";
            std::string label = drive.failure.empty() ? "no stop" : "not run";
            if (drive.failure.empty()) {
                if (target) {
                    if (const auto m = margin(drive, target)) {
                        fill = *m <= 0.0 ? shade(-*m / shortest, 46, 158, 79)
                                         : shade(*m / farthest, 192, 57, 43);
                        label = (*m > 0.0 ? "+" : "") + formatFixed(*m, 1);
                    }
                } else if (placeOf(drive).stopped) {
                    const double at = placeOf(drive).positionM;
                    fill = shade((at - lowM) / std::max(highM - lowM, 1.0), 41, 128, 185);
                    label = formatFixed(at, 0);
                }
            }
            rect(x, y, cellW, cellH, R"(fill=")" + fill + R"(" stroke="white")");
            if (r_.failed(drive))
                rect(x + 1.5, y + 1.5, cellW - 3.0, cellH - 3.0,
                     R"(fill="none" stroke="#222" stroke-width="2")");
            if (showText)
                text(x + cellW / 2, y + cellH / 2 + 4, label,
                     R"(text-anchor="middle" font-size="10" fill="#111")");
        }
        // Ticks at no more than about twelve values along each side.
        const std::size_t everyX = (columns + 11) / 12;
        for (std::size_t c = 0; c < columns; c += everyX)
            text(kLeft + (static_cast<double>(c) + 0.5) * cellW, kBottom + 16,
                 formatFixed(across.values[c], across.decimals),
                 R"(text-anchor="middle" fill="#333")");
        const std::size_t everyY = (rows + 11) / 12;
        for (std::size_t r = 0; r < rows; r += everyY)
            text(kLeft - 6, kBottom - (static_cast<double>(r) + 0.5) * cellH + 4,
                 formatFixed(up.values[r], up.decimals), R"(text-anchor="end" fill="#333")");
        text((kLeft + kGridRight) / 2, kBottom + 36, axisName(across),
             R"(text-anchor="middle" fill="#333")");
        const double mid = (kTop + kBottom) / 2;
        text(22, mid, axisName(up),
             R"(text-anchor="middle" fill="#333" transform="rotate(-90 22 )" + num(mid) + ")\"");
        scale(target, shortest, farthest, lowM, highM);
    }

    static std::optional<double> margin(const SweepDrive& drive, const TargetResult* target) {
        if (!target) return std::nullopt;
        const TargetResult* t = targetOf(drive, *target);
        return t != nullptr ? t->offsetM() : std::nullopt;
    }

    // The colour scale beside the grid, and what an outlined cell means.
    void scale(const TargetResult* target, double shortest, double farthest, double lowM,
               double highM) {
        const double x = kGridRight + 24;
        const double top = kTop + 20;
        const double bottom = kBottom - 70;
        constexpr int kSteps = 20;
        const double h = (bottom - top) / kSteps;
        std::string heading = "stop position (m)";
        std::string high = formatFixed(highM, 0);
        std::string low = formatFixed(lowM, 0);
        for (int i = 0; i < kSteps; ++i) {
            // Top: far past; middle: at the target; bottom: far short.
            const double t = 1.0 - (static_cast<double>(i) + 0.5) / kSteps;
            std::string fill = shade(t, 41, 128, 185);
            if (target)
                fill = t >= 0.5 ? shade((t - 0.5) * 2.0, 192, 57, 43)
                                : shade((0.5 - t) * 2.0, 46, 158, 79);
            rect(x, top + i * h, 18, h + 0.5, R"(fill=")" + fill + R"(")");
        }
        if (target) {
            const TargetResult* named = nullptr;
            for (const SweepDrive& drive : r_.drives)
                if ((named = targetOf(drive, *target)) != nullptr) break;
            heading = "metres past (+) or";
            text(x - 4, top - 22, heading, R"(fill="#333")");
            text(x - 4, top - 9,
                 "short of the " + (named != nullptr ? named->name : std::string("target")),
                 R"(fill="#333")");
            high = "+" + formatFixed(farthest, 0);
            low = "-" + formatFixed(shortest, 0);
            text(x + 24, (top + bottom) / 2 + 4, "0", R"(fill="#333")");
        } else {
            text(x - 4, top - 9, heading, R"(fill="#333")");
        }
        text(x + 24, top + 8, high, R"(fill="#333")");
        text(x + 24, bottom, low, R"(fill="#333")");
        rect(x, bottom + 22, 18, 14, R"(fill="#dddddd")");
        text(x + 24, bottom + 33, "no stop", R"(fill="#333")");
        rect(x, bottom + 44, 18, 14, R"(fill="white" stroke="#222" stroke-width="2")");
        text(x + 24, bottom + 55, "failed", R"(fill="#333")");
    }

    const SweepResult& r_;
    std::string out_;
};

}  // namespace

std::string renderSweepPlot(const SweepResult& result) { return SweepPlot(result).render(); }

}  // namespace velt::drive
