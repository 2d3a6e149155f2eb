#include "tools/velt-drive/render/report.h"

#include <algorithm>
#include <optional>

#include "tools/velt-drive/explain/check_table.h"
#include "tools/velt-drive/scenario/beacons.h"

#include "tools/velt-drive/explain/panel_codes.h"
#include "tools/velt-drive/render/value_track.h"
#include "tools/velt-drive/util/number_format.h"
#include "tools/velt-drive/util/units.h"

namespace velt::drive {

namespace {

using SoundInfo = CabSound;
constexpr const auto& kSounds = kCabSounds;

// A code with its tile label: "display limit 9 (45 km/h)".
std::string withLabel(const CabIndicator& info, std::int32_t code) {
    std::string text = std::string(info.name) + " " + std::to_string(code);
    const PanelCode* entry = findPanelCode(info.index, code);
    if (entry != nullptr && !entry->label.empty()) text += " (" + entry->label + ")";
    return text;
}

// A span of an indicator as a person reads it: a lamp on or off, a code,
// a code blinking, or two codes alternating.
std::string describeSpan(const CabIndicator& info, const ValueSpan& span) {
    const bool lamp = info.lamp != nullptr;
    if (!span.blinks()) {
        if (lamp) return std::string(info.name) + (span.on != 0 ? " on" : " off");
        return withLabel(info, span.on);
    }
    if (span.off == 0 || span.on == 0) {
        if (lamp) return std::string(info.name) + " blinking";
        const std::int32_t code = span.on != 0 ? span.on : span.off;
        std::string text = std::string(info.name) + " " + std::to_string(code) + " blinking";
        const PanelCode* entry = findPanelCode(info.index, code);
        if (entry != nullptr && !entry->label.empty()) text += " (" + entry->label + ")";
        return text;
    }
    return std::string(info.name) + " " + std::to_string(span.off) + "/" + std::to_string(span.on) +
           " alternating";
}

int protectionLevel(const FrameRecord& frame, int emergencyNotch) {
    const bool bell = frame.soundAt(cab::kSoundBell) == snd::kLoopFull;
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

std::string formatTextTable(const TextTable& table, std::size_t numberColumns) {
    return textTable(table, numberColumns);
}

// Everything the analysis follows from frame to frame.
class Analysis::State {
public:
    struct RankedLine {
        FramePoint at;
        int rank;  // what the host reported comes before what the plug-in did with it
        std::string text;
    };

    explicit State(const Scenario& driven) : scenario(driven) { lastSound.fill(kSoundStopped); }

    // The indicators a summary tells when they change, each read through the
    // blink detector. The display elements and the station-stop lamp are told
    // by velt's own core when it runs beside the plug-in, and may blink; the
    // other indicators never do.
    void watchPanel(bool byCore) {
        for (const CabIndicator& info : kCabIndicators) {
            if (info.name == nullptr) continue;
            const bool mayBlink = info.element != nullptr || info.index == cab::kPanelStationStop;
            if (byCore && mayBlink) continue;
            watched.push_back(&info);
            tracks.emplace_back(!byCore && mayBlink);
        }
    }

    // Each change the tracks kept, in the order the summary tells them.
    void tellPanel() {
        for (std::size_t w = 0; w < tracks.size(); ++w) {
            tracks[w].finish();
            // A host shows every indicator at 0 before the first frame.
            std::string shown = describeSpan(*watched[w], ValueSpan{});
            for (const ValueSpan& span : tracks[w].spans()) {
                std::string text = describeSpan(*watched[w], span);
                if (text == shown) continue;
                shown = text;
                say(span.at, 1, std::move(text));
            }
        }
    }

    void say(const FramePoint& at, int rank, std::string text) {
        lines.push_back({at, rank, std::move(text)});
    }

    const Scenario& scenario;
    int emergencyNotch = 0;
    std::vector<RankedLine> lines;
    std::vector<const CabIndicator*> watched;
    std::vector<ValueTrack> tracks;  // one for each watched indicator
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

void Analysis::begin(int emergencyNotch) { state_->emergencyNotch = emergencyNotch; }

void Analysis::event(const HostEvent& event) {
    if (event.kind == HostEvent::Kind::Jump) state_->jumped = true;
    state_->pending.push_back(event);
}

void Analysis::frame(const FrameRecord& frame) {
    State& s = *state_;
    const FramePoint at{frame.number, frame.elapsedMs, frame.positionM, frame.speedKmh};
    if (frame.number == 0) {
        s.explained = frame.core != nullptr;
        s.watchPanel(s.explained);
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
        report_.marks.push_back({kind, at, event.text, event.item, event.value});
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

    for (std::size_t w = 0; w < s.tracks.size(); ++w)
        s.tracks[w].add(at, frame.timeMs, frame.panelAt(s.watched[w]->index));
    for (const SoundInfo& info : kSounds) {
        const auto slot = static_cast<std::size_t>(soundSlot(info.index));
        const std::int32_t value = frame.sound[slot];
        if (value == s.lastSound[slot]) continue;
        s.lastSound[slot] = value;
        if (info.loop) {
            if (info.index == cab::kSoundBell && value == snd::kLoopFull) report_.bellRang = true;
            if (value == 0) s.say(at, 1, std::string(info.name) + " on");
            if (value == -1200) s.say(at, 1, std::string(info.name) + " on, attenuated");
            if (value == kSoundStopped) s.say(at, 1, std::string(info.name) + " off");
        } else if (value == 1) {
            s.say(at, 1, info.name);
            const bool warning = isWarningChime(info.index);
            if (info.index != cab::kSoundStartStopChime)
                report_.marks.push_back({warning ? Mark::Kind::Warning : Mark::Kind::Chime, at,
                                         info.name, info.index, 0});
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
        report_.marks.push_back({Mark::Kind::Stop, at, "stop", -1, 0});
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
    s.tellPanel();
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
