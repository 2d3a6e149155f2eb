#include "tools/velt-drive/render/report.h"

#include <algorithm>
#include <optional>

#include "tools/velt-drive/drive/motion.h"
#include "tools/velt-drive/explain/check_table.h"
#include "tools/velt-drive/explain/folding.h"
#include "tools/velt-drive/scenario/beacons.h"

#include "tools/velt-drive/explain/panel_codes.h"
#include "tools/velt-drive/render/train_summary.h"
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
        const ExplainedEvent* event = nullptr;  // valid only within the frame
        int intervention = -1;
        EventKind kind = EventKind::Pattern;
        bool echo = false;  // a sound or power line that follows the brake
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

    void say(const FramePoint& at, int rank, std::string text, bool echo = false) {
        if (!keepLines) return;
        lines.push_back({at, rank, std::move(text), nullptr, -1, EventKind::Pattern, echo});
    }
    void say(const FramePoint& at, int rank, const ExplainedEvent& e) {
        if (!keepLines) return;
        lines.push_back({at, rank, e.text, nullptr, e.intervention, e.kind});
    }

    const Scenario& scenario;
    int emergencyNotch = 0;
    std::vector<RankedLine> lines;
    bool keepLines = true;
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

void Analysis::withoutLines() { state_->keepLines = false; }
std::size_t Analysis::heldLines() const { return state_->lines.size(); }

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
            if (e.hostEvent == static_cast<int>(i)) s.say(at, 0, e);
    }
    for (const ExplainedEvent& e : explained)
        if (e.hostEvent < 0 || e.hostEvent >= static_cast<int>(s.pending.size())) s.say(at, 1, e);
    for (const ExplainedEvent& e : explained)
        if (e.intervention >= 0)
            report_.interventionLines.push_back(
                {static_cast<std::size_t>(e.intervention), at, e.text, e.kind});
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
            if (value == 0) s.say(at, 1, std::string(info.name) + " on", true);
            if (value == -1200) s.say(at, 1, std::string(info.name) + " on, attenuated", true);
            if (value == kSoundStopped) s.say(at, 1, std::string(info.name) + " off", true);
        } else if (value == 1) {
            // A warning chime while velt already brakes (its pattern warns
            // again once the curve lets go) is no warning of what comes.
            const bool braking = isWarningChime(info.index) && s.lastLevel > 0;
            s.say(at, 1,
                  braking ? std::string(info.name) + " (while the protection brakes)"
                          : std::string(info.name),
                  true);
            const bool warning = isWarningChime(info.index);
            if (info.index != cab::kSoundStartStopChime)
                report_.marks.push_back({warning ? Mark::Kind::Warning : Mark::Kind::Chime, at,
                                         info.name, info.index, 0});
        }
    }
    const int level = protectionLevel(frame, s.emergencyNotch);
    if (level != s.lastLevel) {
        // Explained, the core's own events have said it with the cause.
        const std::string notch = brakeNotchWords(s.scenario, frame.out.brake);
        if (!s.explained && level == 2) s.say(at, 1, "PROTECTION EMERGENCY BRAKE" + notch);
        if (!s.explained && level == 1) s.say(at, 1, "PROTECTION FULL-SERVICE BRAKE" + notch);
        if (!s.explained && level == 0) s.say(at, 1, "protection brake released");
        // A brake applied again within the re-application time goes on the
        // span before, as the folding rule has it (explain/folding.h).
        const bool again =
            !report_.brakes.empty() &&
            at.elapsedMs - report_.brakes.back().last.elapsedMs <= kReappliedWithinMs;
        if (s.lastLevel == 0 && level > 0 && !again) report_.brakes.push_back({at, at, false});
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
        // A cut ends when power comes back, or silently when the driver
        // takes the notch to 0 under it: no power came back then.
        if (cut) {
            s.say(at, 1, "power cut (driver's notch " + std::to_string(frame.driverPower) + ")",
                  true);
        } else if (frame.out.power > 0) {
            s.say(at, 1, "power back", true);
        }
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

namespace {

// "; applied 553 times until 95.2 s, at 44.0 to 46.3 km/h"
std::string applicationsText(const FoldedIntervention& row) {
    return "; applied " + std::to_string(row.applications) + " times until " +
           secondsText(secondsOf(row.intervention.end.elapsedMs), 1) + ", at " +
           formatFixed(row.lowestKmh, 1) + " to " + kmhText(row.highestKmh, 1);
}

}  // namespace

void Analysis::foldLines(const std::vector<Intervention>& interventions) {
    const std::vector<FoldedIntervention> folded = foldInterventions(interventions);
    const std::vector<std::size_t> rows = foldedRows(interventions);
    std::vector<std::size_t> lastOf(folded.size(), 0);
    for (std::size_t i = 0; i < rows.size(); ++i) lastOf[rows[i]] = i;
    // Whether a line about application `i` stays, and whether it is the
    // line that begins its row: the start of the first application and the
    // end of the last stay.
    const auto keeps = [&](std::size_t i, EventKind kind, std::size_t frame, bool& begins) {
        const FoldedIntervention& row = folded[rows[i]];
        const bool ends = kind == EventKind::Release ||
                          (kind == EventKind::PowerCut && frame != interventions[i].start.frame);
        begins =
            !ends && i == row.first && (kind == EventKind::Brake || kind == EventKind::PowerCut);
        if (row.applications == 1) return true;
        return ends ? i == lastOf[rows[i]] : i == row.first;
    };
    // Between a folded brake's first start and its last end, the bell, the
    // chimes and the power cut come and go with every application: they
    // are told at its start and end only.
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    for (const FoldedIntervention& row : folded)
        if (row.applications > 1)
            spans.emplace_back(row.intervention.start.frame, row.intervention.end.frame);
    const auto inside = [&](std::size_t frame) {
        return std::any_of(spans.begin(), spans.end(), [&](const auto& span) {
            return frame > span.first && frame < span.second;
        });
    };
    State& s = *state_;
    std::vector<bool> told(folded.size(), false);
    std::vector<State::RankedLine> kept;
    for (State::RankedLine& line : s.lines) {
        if (line.echo && inside(line.at.frame)) continue;
        bool begins = false;
        if (line.intervention >= 0) {
            const auto i = static_cast<std::size_t>(line.intervention);
            if (i >= rows.size() || !keeps(i, line.kind, line.at.frame, begins)) continue;
            if (folded[rows[i]].applications == 1) begins = false;
            if (begins && !told[rows[i]]) {
                line.text += applicationsText(folded[rows[i]]);
                told[rows[i]] = true;
            }
        }
        kept.push_back(std::move(line));
    }
    s.lines = std::move(kept);
    // So do their marks in the plots, which would pile up label on label.
    report_.marks.erase(std::remove_if(report_.marks.begin(), report_.marks.end(),
                                       [&](const Mark& mark) {
                                           return (mark.kind == Mark::Kind::Chime ||
                                                   mark.kind == Mark::Kind::Warning) &&
                                                  inside(mark.at.frame);
                                       }),
                        report_.marks.end());
    std::vector<InterventionLine> lines;
    for (InterventionLine& line : report_.interventionLines) {
        bool begins = false;
        if (line.intervention >= rows.size() ||
            !keeps(line.intervention, line.kind, line.at.frame, begins))
            continue;
        line.intervention = rows[line.intervention];
        lines.push_back(std::move(line));
    }
    report_.interventionLines = std::move(lines);
}

void Analysis::end(const DriveEnd& end) {
    State& s = *state_;
    s.tellPanel();
    foldLines(end.interventions);
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
    const std::vector<FoldedIntervention> folded = foldInterventions(interventions);
    for (std::size_t i = 0; i < folded.size(); ++i) {
        const FoldedIntervention& row = folded[i];
        const Intervention& v = row.intervention;
        std::string level =
            v.level == 0 ? "power cut" : (v.level == 2 ? "emergency" : "full service");
        if (row.applications > 1)
            level += ", applied " + std::to_string(row.applications) + " times at " +
                     formatFixed(row.lowestKmh, 1) + " to " + kmhText(row.highestKmh, 1);
        table.rows.push_back(
            {std::to_string(i + 1), secondsText(secondsOf(v.start.elapsedMs), 3),
             metresText(v.start.positionM), kmhText(v.start.speedKmh, 1),
             secondsText(secondsOf(v.end.elapsedMs), 3), metresText(v.end.positionM),
             checkName(v.check), level,
             v.causeRef.known() ? v.causeRef.file + ":" + std::to_string(v.causeRef.line) : "-",
             v.ended ? v.endedBy : "still in force when the drive ended"});
        table.frames.push_back(v.start.frame);
    }
    return table;
}

namespace {

// The beacons that did nothing, first, so that an author sees them before
// reading what the drive did without them.
std::string beaconsWithoutEffect(const Scenario& scenario, const std::vector<BeaconFate>& fates) {
    std::string out;
    const std::size_t slash = scenario.file.find_last_of("/\\");
    const std::string file =
        slash == std::string::npos ? scenario.file : scenario.file.substr(slash + 1);
    int count = 0;
    int unpassed = 0;
    int firstUnpassedLine = 0;
    for (const BeaconFate& fate : fates)
        if (fate.kind == BeaconFateKind::NeverPassed && unpassed++ == 0)
            firstUnpassedLine = fate.line;
    for (const BeaconFate& fate : fates) {
        if (fate.tookEffect()) continue;
        ++count;
        // Everything beyond where the drive ended is one line.
        if (fate.kind == BeaconFateKind::NeverPassed && unpassed > 1) {
            if (fate.line == firstUnpassedLine)
                out += "  " + file + ":" + std::to_string(fate.line) + " and " +
                       std::to_string(unpassed - 1) +
                       " beacons after it: never passed, the drive ended before the train "
                       "reached them\n";
            continue;
        }
        const BeaconItem& beacon = scenario.beacons[fate.beacon];
        const std::string name = beaconTypeName(beacon.type);
        out += "  " + file + ":" + std::to_string(fate.line) + " " +
               (name.empty() ? "beacon type " + std::to_string(beacon.type) : name + " beacon") +
               " at " + metresText(fate.positionM) + ": " + fate.reason + "\n";
    }
    if (count == 0) return "";
    return "Beacons that took no effect (" + std::to_string(count) + "):\n" + out;
}

}  // namespace

std::string formatSummary(const Scenario& scenario, const DriveEnd& end, const Report& report) {
    std::string out;
    const VehicleParams& v = scenario.vehicle;
    if (scenario.train) {
        out += "velt-drive: " + scenario.name + " (the train of its train.dat, emergency notch " +
               std::to_string(emergencyValueOf(scenario)) + ")\n" + trainSummary(scenario);
    } else {
        out += "velt-drive: " + scenario.name + " (" + std::to_string(v.powerNotches) +
               " power notches, " + std::to_string(v.brakeNotches) +
               " brake notches, emergency notch " + std::to_string(v.brakeNotches + 1) + ")\n";
    }
    out += end.explained ? "Explained by velt-drive's own core, which gave the same outputs as the "
                           "plug-in in every frame.\n"
                         : "Black box (--black-box): the plug-in's outputs only, without causes "
                           "and without the check against velt's own core.\n";
    out += beaconsWithoutEffect(scenario, end.beaconFates);
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
