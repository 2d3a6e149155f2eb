#include "tools/velt-drive/render/report.h"

#include <algorithm>
#include <optional>

#include "tools/velt-drive/explain/check_table.h"
#include "tools/velt-drive/scenario/beacons.h"

#include "tools/velt-drive/explain/panel_codes.h"
#include "tools/velt-drive/util/number_format.h"
#include "tools/velt-drive/util/units.h"

namespace velt::drive {

namespace {

// A display value that lasts this long is steady; shorter ones that take
// turns with one other value are a blink (the slowest blink shows each
// value for 1000 ms).
constexpr std::int64_t kSteadyMs = 1100;

using SoundInfo = CabSound;
constexpr const auto& kSounds = kCabSounds;

struct PanelInfo {
    int index;
    const char* name;
};

// The indicators worth a line when they change; 13, 30 to 32, 50 and 255
// follow the others or the driver's own handles.
constexpr PanelInfo kWatchedPanel[] = {
    {10, "legacy lamp normal"}, {11, "legacy lamp check"}, {12, "legacy lamp alarm"},
    {20, "display mode"},       {21, "display limit"},     {22, "display target"},
    {23, "display aux"},        {35, "selector"},          {40, "station-stop lamp"},
    {45, "cab lamp"},           {46, "radio mode"},
};

std::string codeMeaning(int index, int code) {
    const PanelCode* entry = findPanelCode(index, code);
    return entry != nullptr ? entry->label : "";
}

bool isLamp(int index) { return index == 10 || index == 11 || index == 12 || index == 45; }

std::string describeSteady(const PanelInfo& info, int value) {
    if (isLamp(info.index) || info.index == 40)
        return std::string(info.name) + (value != 0 ? " on" : " off");
    std::string text = std::string(info.name) + " " + std::to_string(value);
    const std::string meaning = codeMeaning(info.index, value);
    if (!meaning.empty()) text += " (" + meaning + ")";
    return text;
}

std::string describeBlink(const PanelInfo& info, int a, int b) {
    if (a == 0 || b == 0) {
        const int code = a == 0 ? b : a;
        if (isLamp(info.index) || info.index == 40) return std::string(info.name) + " blinking";
        std::string text = std::string(info.name) + " " + std::to_string(code) + " blinking";
        const std::string meaning = codeMeaning(info.index, code);
        if (!meaning.empty()) text += " (" + meaning + ")";
        return text;
    }
    return std::string(info.name) + " " + std::to_string(a) + "/" + std::to_string(b) +
           " alternating";
}

// Follows one panel index and reports it as a person sees it: steady values
// and blinks, not every flicker.
class PanelWatch {
public:
    using Out = std::vector<std::pair<FramePoint, std::string>>;

    // Without `guessBlinks` every change is a line of its own: for the
    // indicators that never blink, and for a drive explained by velt's own
    // core, which tells the blinking display codes itself.
    PanelWatch(const PanelInfo& info, Out& out, bool guessBlinks)
        : info_(info), out_(&out), committed_(describeSteady(info, 0)), guessBlinks_(guessBlinks) {}

    void frame(const FramePoint& at, int value) {
        if (!guessBlinks_) {
            if (!started_ || value != value_) commit(at, describeSteady(info_, value));
            started_ = true;
            value_ = value;
            return;
        }
        if (!started_) {
            started_ = true;
            begin(at, value);
        } else if (value != value_) {
            if (!long_) shorts_.push_back({value_, start_});
            begin(at, value);
        }
        if (!long_ && at.elapsedMs - start_.elapsedMs >= kSteadyMs) {
            flush();
            commit(start_, describeSteady(info_, value_));
            long_ = true;
        }
    }

    void finish() {
        if (!guessBlinks_ || !started_ || long_) return;
        flush();
        commit(start_, describeSteady(info_, value_));
    }

private:
    struct Segment {
        int value;
        FramePoint start;
    };

    void begin(const FramePoint& at, int value) {
        value_ = value;
        start_ = at;
        long_ = false;
    }

    void flush() {
        std::size_t i = 0;
        while (i < shorts_.size()) {
            if (i + 1 < shorts_.size()) {
                const int a = shorts_[i].value;
                const int b = shorts_[i + 1].value;
                std::size_t j = i + 1;
                while (j + 1 < shorts_.size() &&
                       shorts_[j + 1].value == ((j + 1 - i) % 2 == 0 ? a : b))
                    ++j;
                // The value that follows the run may take its turn too. A
                // blink shows each value at least twice: one short value
                // between two others is a short steady value, not a blink.
                const bool nextFits = value_ == ((j + 1 - i) % 2 == 0 ? a : b);
                if (j - i + 1 + (nextFits ? 1 : 0) >= 4) {
                    commit(shorts_[i].start, describeBlink(info_, a, b));
                    i = j + 1;
                    continue;
                }
            }
            commit(shorts_[i].start, describeSteady(info_, shorts_[i].value));
            ++i;
        }
        shorts_.clear();
    }

    void commit(const FramePoint& at, const std::string& text) {
        if (text == committed_) return;
        committed_ = text;
        out_->push_back({at, text});
    }

    PanelInfo info_;
    Out* out_;
    std::string committed_;
    bool guessBlinks_;
    std::vector<Segment> shorts_;  // a blink in progress; it ends at the next steady value
    bool started_ = false;
    bool long_ = false;
    int value_ = 0;
    FramePoint start_;
};

int protectionLevel(const FrameRecord& frame, int emergencyNotch) {
    const bool bell = frame.soundAt(0) == 0;
    const bool overridden = frame.out.brake != frame.driverBrake;
    if (!bell && !overridden) return 0;
    return frame.out.brake >= emergencyNotch ? 2 : 1;
}

std::string relation(double offset, const std::string& what) {
    const double magnitude = offset < 0.0 ? -offset : offset;
    if (magnitude < 0.05) return "at " + what;
    return metresText(magnitude) + " " + (offset < 0.0 ? "short of " : "past ") + what;
}

std::string pad(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string padRight(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

// A table as text: columns as wide as their widest cell, numbers to the
// right and words to the left; the last column is left ragged.
std::string textTable(const TextTable& table, std::size_t numberColumns) {
    std::vector<std::vector<std::string>> rows{table.columns};
    rows.insert(rows.end(), table.rows.begin(), table.rows.end());
    const std::size_t columns = table.columns.size();
    std::vector<std::size_t> width(columns, 0);
    for (const auto& row : rows)
        for (std::size_t c = 0; c < columns; ++c) width[c] = std::max(width[c], row[c].size());
    std::string out;
    for (const auto& row : rows) {
        std::string line = " ";
        for (std::size_t c = 0; c < columns; ++c) {
            const bool number = c < numberColumns;
            line += " " + (c + 1 == columns
                               ? row[c]
                               : (number ? pad(row[c], width[c]) : padRight(row[c], width[c])));
        }
        out += line + "\n";
    }
    return out;
}

}  // namespace

// Everything the analysis follows from frame to frame.
class Analysis::State {
public:
    struct RankedLine {
        FramePoint at;
        int rank;  // what the host reported comes before what the plug-in did with it
        std::string text;
    };

    explicit State(const Scenario& driven) : scenario(driven) { lastSound.fill(kSoundStopped); }

    // The display elements and the station-stop lamp are told by velt's own
    // core when it runs beside the plug-in; the other indicators never blink.
    void watchPanel(bool byCore) {
        watches.clear();
        watched.clear();
        for (const PanelInfo& info : kWatchedPanel) {
            const bool fromCore = info.index == 40 || (info.index >= 20 && info.index <= 23);
            if (byCore && fromCore) continue;
            watches.emplace_back(info, panelLines, !byCore && fromCore);
            watched.push_back(info.index);
        }
    }

    void say(const FramePoint& at, int rank, std::string text) {
        lines.push_back({at, rank, std::move(text)});
    }

    const Scenario& scenario;
    int emergencyNotch = 0;
    std::vector<RankedLine> lines;
    PanelWatch::Out panelLines;
    std::vector<PanelWatch> watches;
    std::vector<int> watched;        // the panel index of each watch
    std::vector<HostEvent> pending;  // reported before the frame that comes next
    std::array<std::int32_t, kSoundIndices.size()> lastSound{};
    int lastLevel = 0;
    bool lastCut = false;
    double lastSpeed = 0.0;
    bool jumped = false;
    bool explained = false;
};

Analysis::Analysis(const Scenario& scenario)
    : scenario_(scenario), state_(std::make_unique<State>(scenario)) {}

Analysis::~Analysis() = default;

void Analysis::begin(int emergencyNotch) {
    state_->emergencyNotch = emergencyNotch;
    state_->watchPanel(false);
}

void Analysis::event(const HostEvent& event) {
    if (event.kind == HostEvent::Kind::Jump) state_->jumped = true;
    state_->pending.push_back(event);
}

void Analysis::frame(const FrameRecord& frame) {
    State& s = *state_;
    const FramePoint at{frame.number, frame.elapsedMs, frame.positionM, frame.speedKmh};
    if (frame.number == 0 && frame.core != nullptr) {
        s.explained = true;
        s.watchPanel(true);
    }
    // What the host reported, each followed by what velt's own core made of it.
    const std::vector<ExplainedEvent> none;
    const std::vector<ExplainedEvent>& explained =
        frame.core != nullptr ? frame.core->events : none;
    for (std::size_t i = 0; i < s.pending.size(); ++i) {
        HostEvent& event = s.pending[i];
        const Mark::Kind kind = event.kind == HostEvent::Kind::Beacon   ? Mark::Kind::Beacon
                                : event.kind == HostEvent::Kind::Signal ? Mark::Kind::Signal
                                                                        : Mark::Kind::Driver;
        report_.marks.push_back({kind, at, event.text, event.item});
        s.say(at, 0, std::move(event.text));
        for (const ExplainedEvent& e : explained)
            if (e.hostEvent == static_cast<int>(i)) s.say(at, 0, e.text);
    }
    for (const ExplainedEvent& e : explained)
        if (e.hostEvent < 0 || e.hostEvent >= static_cast<int>(s.pending.size()))
            s.say(at, 1, e.text);
    for (const ExplainedEvent& e : explained)
        if (e.intervention >= 0)
            report_.interventionLines.push_back(
                {static_cast<std::size_t>(e.intervention), at, e.text});
    s.pending.clear();

    for (std::size_t w = 0; w < s.watches.size(); ++w)
        s.watches[w].frame(at, frame.panelAt(s.watched[w]));
    for (const SoundInfo& info : kSounds) {
        const auto slot = static_cast<std::size_t>(soundSlot(info.index));
        const std::int32_t value = frame.sound[slot];
        if (value == s.lastSound[slot]) continue;
        s.lastSound[slot] = value;
        if (info.loop) {
            if (info.index == 0 && value == 0) report_.bellRang = true;
            if (value == 0) s.say(at, 1, std::string(info.name) + " on");
            if (value == -1200) s.say(at, 1, std::string(info.name) + " on, attenuated");
            if (value == kSoundStopped) s.say(at, 1, std::string(info.name) + " off");
        } else if (value == 1) {
            s.say(at, 1, info.name);
            const bool warning = isWarningChime(info.index);
            if (info.index != 15)
                report_.marks.push_back(
                    {warning ? Mark::Kind::Warning : Mark::Kind::Chime, at, info.name, info.index});
        }
    }
    const int level = protectionLevel(frame, s.emergencyNotch);
    if (level != s.lastLevel) {
        // Explained, the core's own events have said it with the cause.
        const std::string notch = " (brake notch " + std::to_string(frame.out.brake) + ")";
        if (!s.explained && level == 2) s.say(at, 1, "PROTECTION EMERGENCY BRAKE" + notch);
        if (!s.explained && level == 1) s.say(at, 1, "PROTECTION FULL-SERVICE BRAKE" + notch);
        if (!s.explained && level == 0) s.say(at, 1, "protection brake released");
        if (s.lastLevel == 0) report_.brakes.push_back({at, at, false});
        s.lastLevel = level;
    }
    if (level > 0) {
        report_.brakes.back().last = at;
        if (level == 2) report_.brakes.back().emergency = true;
        if (level == 2) report_.emergencyBrake = true;
        if (level == 1) report_.serviceBrake = true;
    }
    const bool cut = frame.driverPower > 0 && frame.out.power == 0;
    if (cut != s.lastCut) {
        s.say(at, 1,
              cut ? "power cut (driver's notch " + std::to_string(frame.driverPower) + ")"
                  : "power back");
        s.lastCut = cut;
    }
    // A jump puts the train down standing: that is no stop of its own.
    if (frame.number > 0 && frame.speedKmh == 0.0 && s.lastSpeed != 0.0 && !s.jumped) {
        report_.stops.push_back(at);
        report_.marks.push_back({Mark::Kind::Stop, at, "stop", -1});
        std::string text = "train stopped";
        // Where that is against the stop target velt's own core supervised
        // in this frame (only it knows whether a beacon armed one), and
        // against the stations nearby.
        if (frame.core != nullptr && frame.core->stopTarget != Check::None) {
            const double remaining = frame.core->stopTargetRemainingM;
            text += ", " + relation(-remaining,
                                    std::string("the ") +
                                        (frame.core->stopTarget == Check::Spb ? "SPB target"
                                                                              : "CPP stop target") +
                                        " at " + metresText(frame.positionM + remaining));
        }
        for (const Station& station : scenario_.stations) {
            const double offset = frame.positionM - station.positionM;
            if (offset > -500.0 && offset < 500.0)
                text += ", " + relation(offset, "the stopping point of " + station.name);
        }
        s.say(at, 2, text);
    }
    s.jumped = false;
    s.lastSpeed = frame.speedKmh;
}

void Analysis::end(const DriveEnd& /*end*/) {
    State& s = *state_;
    for (PanelWatch& watch : s.watches) watch.finish();
    for (auto& line : s.panelLines) s.say(line.first, 1, std::move(line.second));
    s.panelLines.clear();
    std::stable_sort(
        s.lines.begin(), s.lines.end(), [](const State::RankedLine& a, const State::RankedLine& b) {
            return a.at.frame != b.at.frame ? a.at.frame < b.at.frame : a.rank < b.rank;
        });
    for (State::RankedLine& line : s.lines)
        report_.lines.push_back({line.at, std::move(line.text)});
    s.lines.clear();
    std::stable_sort(report_.marks.begin(), report_.marks.end(),
                     [](const Mark& a, const Mark& b) { return a.at.frame < b.at.frame; });
}

TextTable interventionTable(const std::vector<Intervention>& interventions) {
    TextTable table;
    table.columns = {"#",  "start", "at",    "speed", "end",
                     "at", "check", "level", "cause", "ended by"};
    for (std::size_t i = 0; i < interventions.size(); ++i) {
        const Intervention& v = interventions[i];
        table.rows.push_back(
            {std::to_string(i + 1), secondsText(secondsOf(v.start.elapsedMs), 3),
             metresText(v.start.positionM), kmhText(v.start.speedKmh, 1),
             secondsText(secondsOf(v.end.elapsedMs), 3), metresText(v.end.positionM),
             checkName(v.check),
             v.level == 0 ? "power cut" : (v.level == 2 ? "emergency" : "full service"),
             v.causeRef.known() ? v.causeRef.file + ":" + std::to_string(v.causeRef.line) : "-",
             v.ended ? v.endedBy : "still in force when the drive ended"});
        table.frames.push_back(v.start.frame);
    }
    return table;
}

std::string formatSummary(const Scenario& scenario, const DriveEnd& end, const Report& report) {
    std::string out;
    const VehicleParams& v = scenario.vehicle;
    out += "velt-drive: " + scenario.name + " (" + std::to_string(v.powerNotches) +
           " power notches, " + std::to_string(v.brakeNotches) +
           " brake notches, emergency notch " + std::to_string(v.brakeNotches + 1) + ")\n";
    out += end.explained ? "Explained by velt-drive's own core, which gave the same outputs as the "
                           "plug-in in every frame.\n"
                         : "Black box (--black-box): the plug-in's outputs only, without causes "
                           "and without the check against velt's own core.\n";
    out += "      time   position      speed  event\n";
    for (const ReportLine& line : report.lines) {
        const FramePoint& at = line.at;
        out += pad(formatFixed(static_cast<double>(at.elapsedMs) / 1000.0, 3), 8) + " s " +
               pad(formatFixed(at.positionM, 1), 8) + " m " + pad(formatFixed(at.speedKmh, 1), 5) +
               " km/h  " + line.text + "\n";
    }
    const FrameRecord& last = end.last;
    out += "Ended at " + secondsText(secondsOf(last.elapsedMs), 3) + ", " +
           metresText(last.positionM) + ", " + kmhText(last.speedKmh, 1) + ": " + end.reason +
           ".\n";
    if (report.stops.empty()) {
        out += "The train did not stop.\n";
    } else {
        for (const FramePoint& stop : report.stops)
            out += "Stopped at " + metresText(stop.positionM) + " after " +
                   secondsText(secondsOf(stop.elapsedMs), 3) + ".\n";
    }
    out += std::string("Protection brake: ") +
           (report.emergencyBrake ? "emergency" : (report.serviceBrake ? "full service" : "none")) +
           (report.emergencyBrake && report.serviceBrake ? " and full service" : "") + "; bell " +
           (report.bellRang ? "rang" : "did not ring") + ".\n";
    if (end.explained) {
        if (end.interventions.empty()) {
            out += "Interventions: none.\n";
        } else {
            out += "Interventions:\n" + textTable(interventionTable(end.interventions), 6);
        }
    }
    if (end.actionsDone < scenario.driver.size()) {
        const DriverAction& waiting = scenario.driver[end.actionsDone];
        out += "Driver actions not reached: " +
               std::to_string(scenario.driver.size() - end.actionsDone) + ", from line " +
               std::to_string(waiting.pos.line) + ": " + waiting.text + "\n";
    }
    return out;
}

}  // namespace velt::drive
