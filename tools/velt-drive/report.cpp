#include "tools/velt-drive/report.h"

#include <algorithm>
#include <optional>

#include "tools/velt-drive/number_format.h"

namespace velt::drive {

namespace {

// A display value that lasts this long is steady; shorter ones that take
// turns with one other value are a blink (the slowest blink shows each
// value for 1000 ms).
constexpr std::int64_t kSteadyMs = 1100;

struct SoundInfo {
    int index;
    const char* name;
    bool loop;
};

constexpr SoundInfo kSounds[] = {
    {0, "bell", true},
    {1, "bell release chime", false},
    {2, "station-stop reminder", true},
    {5, "supervision-change chime", false},
    {6, "pattern warning chime", false},
    {7, "SPB warning chime", false},
    {10, "lamp switch sound", false},
    {11, "confirm chime", false},
    {15, "start/stop chime", false},
    {20, "buzzer", true},
    {21, "buzzer-off sound", false},
    {22, "station chime B", false},
    {23, "station chime A", false},
    {25, "door chime A", false},
    {26, "door chime B", false},
    {30, "reverser sound", true},
};

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
    switch (index) {
        case 20:
            if (code == 1) return "legacy supervision, line category 0";
            if (code == 2) return "legacy supervision";
            if (code == 3) return "Velt supervision";
            break;
        case 21:
            if (code == 1) return "overspeed cut";
            if (code == 2) return "stop phase";
            if (code == 27) return "CPP restriction";
            if (code == 28) return "restriction";
            break;
        case 22:
            if (code == 1) return "stop";
            if (code == 28) return "restriction";
            if (code == 29) return "stop phase or door link";
            break;
        case 23:
            if (code == 2) return "legacy alarm";
            if (code == 3) return "legacy alarm, braking";
            if (code == 4) return "legacy check";
            if (code == 5) return "legacy check, braking";
            if (code == 6) return "legacy normal";
            if (code == 7) return "legacy normal, braking";
            if (code == 8 || code == 9) return "pattern warning";
            if (code == 10) return "SPB pattern";
            if (code == 11) return "SPB pattern, emergency";
            if (code >= 14 && code <= 22) return "selector " + std::to_string(code - 14);
            break;
        default: break;
    }
    return "";
}

bool isLamp(int index) { return index == 10 || index == 11 || index == 12 || index == 45; }

std::string describeSteady(const PanelInfo& info, int value) {
    if (isLamp(info.index) || info.index == 40) return std::string(info.name) + (value != 0 ? " on" : " off");
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
    return std::string(info.name) + " " + std::to_string(a) + "/" + std::to_string(b) + " alternating";
}

// Follows one panel index and reports it as a person sees it: steady values
// and blinks, not every flicker.
class PanelWatch {
public:
    PanelWatch(const PanelInfo& info, std::vector<std::pair<std::size_t, std::string>>& out)
        : info_(info), out_(out), committed_(describeSteady(info, 0)) {}

    void frame(std::size_t index, std::int64_t elapsed, int value) {
        if (!started_) {
            started_ = true;
            begin(index, elapsed, value);
        } else if (value != value_) {
            if (!long_) shorts_.push_back({value_, start_});
            begin(index, elapsed, value);
        }
        if (!long_ && elapsed - startMs_ >= kSteadyMs) {
            flush();
            commit(start_, describeSteady(info_, value_));
            long_ = true;
        }
    }

    void finish() {
        if (!started_ || long_) return;
        flush();
        commit(start_, describeSteady(info_, value_));
    }

private:
    struct Segment {
        int value;
        std::size_t start;
    };

    void begin(std::size_t index, std::int64_t elapsed, int value) {
        value_ = value;
        start_ = index;
        startMs_ = elapsed;
        long_ = false;
    }

    void flush() {
        std::size_t i = 0;
        while (i < shorts_.size()) {
            std::size_t j = i;
            if (i + 1 < shorts_.size()) {
                const int a = shorts_[i].value;
                const int b = shorts_[i + 1].value;
                j = i + 1;
                while (j + 1 < shorts_.size() && shorts_[j + 1].value == ((j + 1 - i) % 2 == 0 ? a : b)) ++j;
                // The value that follows the run may take its turn too.
                const bool nextFits = value_ == ((j + 1 - i) % 2 == 0 ? a : b);
                if (j - i + 1 + (nextFits ? 1 : 0) >= 3) {
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

    void commit(std::size_t frame, const std::string& text) {
        if (text == committed_) return;
        committed_ = text;
        out_.push_back({frame, text});
    }

    PanelInfo info_;
    std::vector<std::pair<std::size_t, std::string>>& out_;
    std::string committed_;
    std::vector<Segment> shorts_;
    bool started_ = false;
    bool long_ = false;
    int value_ = 0;
    std::size_t start_ = 0;
    std::int64_t startMs_ = 0;
};

int protectionLevel(const FrameRecord& frame, int emergencyNotch) {
    const bool bell = frame.soundAt(0) == 0;
    const bool overridden = frame.out.brake != frame.driverBrake;
    if (!bell && !overridden) return 0;
    return frame.out.brake >= emergencyNotch ? 2 : 1;
}

double beaconPosition(const Scenario& scenario, int item) {
    return scenario.beacons[static_cast<std::size_t>(item)].positionM;
}

std::string relation(double offset, const std::string& what) {
    const double magnitude = offset < 0.0 ? -offset : offset;
    if (magnitude < 0.05) return "at " + what;
    return formatFixed(magnitude, 1) + " m " + (offset < 0.0 ? "short of " : "past ") + what;
}

std::string pad(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

}  // namespace

std::string soundName(int index) {
    for (const SoundInfo& info : kSounds)
        if (info.index == index) return info.name;
    return "sound " + std::to_string(index);
}

Report analyse(const Scenario& scenario, const DriveResult& drive) {
    Report report;
    // Lines with a rank: what the host reported comes before what the plug-in did with it.
    std::vector<std::pair<std::pair<std::size_t, int>, std::string>> lines;
    auto say = [&](std::size_t frame, int rank, const std::string& text) { lines.push_back({{frame, rank}, text}); };

    for (const HostEvent& event : drive.events) {
        say(event.frame, 0, event.text);
        if (event.kind == HostEvent::Kind::Beacon) {
            report.marks.push_back({Mark::Kind::Beacon, event.frame, event.text, event.item});
        } else if (event.kind == HostEvent::Kind::Signal) {
            report.marks.push_back({Mark::Kind::Signal, event.frame, event.text, event.item});
        } else {
            report.marks.push_back({Mark::Kind::Driver, event.frame, event.text, event.item});
        }
    }

    std::vector<std::pair<std::size_t, std::string>> panelLines;
    std::vector<PanelWatch> watches;
    for (const PanelInfo& info : kWatchedPanel) watches.emplace_back(info, panelLines);

    std::array<std::int32_t, kSoundIndices.size()> lastSound{};
    lastSound.fill(kSoundStopped);
    int lastLevel = 0;
    bool lastCut = false;
    for (std::size_t i = 0; i < drive.frames.size(); ++i) {
        const FrameRecord& frame = drive.frames[i];
        for (PanelWatch& watch : watches) {
            const std::size_t slot = static_cast<std::size_t>(&watch - watches.data());
            watch.frame(i, frame.elapsedMs, frame.panelAt(kWatchedPanel[slot].index));
        }
        for (const SoundInfo& info : kSounds) {
            const auto slot = static_cast<std::size_t>(soundSlot(info.index));
            const std::int32_t value = frame.sound[slot];
            if (value == lastSound[slot]) continue;
            lastSound[slot] = value;
            if (info.loop) {
                if (info.index == 0 && value == 0) report.bellRang = true;
                if (value == 0) say(i, 1, std::string(info.name) + " on");
                if (value == -1200) say(i, 1, std::string(info.name) + " on, attenuated");
                if (value == kSoundStopped) say(i, 1, std::string(info.name) + " off");
            } else if (value == 1) {
                say(i, 1, info.name);
                const bool warning = info.index == 6 || info.index == 7;
                if (info.index != 15)
                    report.marks.push_back({warning ? Mark::Kind::Warning : Mark::Kind::Chime, i, info.name, info.index});
            }
        }
        const int level = protectionLevel(frame, drive.emergencyNotch);
        if (level != lastLevel) {
            if (level == 2) say(i, 1, "PROTECTION EMERGENCY BRAKE (brake notch " + std::to_string(frame.out.brake) + ")");
            if (level == 1) say(i, 1, "PROTECTION FULL-SERVICE BRAKE (brake notch " + std::to_string(frame.out.brake) + ")");
            if (level == 0) say(i, 1, "protection brake released");
            if (lastLevel == 0) report.brakes.push_back({i, i, false});
            lastLevel = level;
        }
        if (level > 0) {
            report.brakes.back().last = i;
            if (level == 2) report.brakes.back().emergency = true;
            if (level == 2) report.emergencyBrake = true;
            if (level == 1) report.serviceBrake = true;
        }
        const bool cut = frame.driverPower > 0 && frame.out.power == 0;
        if (cut != lastCut) {
            say(i, 1, cut ? "power cut (driver's notch " + std::to_string(frame.driverPower) + ")" : "power back");
            lastCut = cut;
        }
        if (i > 0 && frame.speedKmh == 0.0 && drive.frames[i - 1].speedKmh != 0.0) {
            report.stops.push_back(i);
            report.marks.push_back({Mark::Kind::Stop, i, "stop", -1});
            std::string text = "train stopped";
            // Where that is against the last stop target passed and the stations nearby.
            std::optional<std::pair<double, std::string>> target;
            for (const HostEvent& event : drive.events) {
                if (event.frame > i || event.kind != HostEvent::Kind::Beacon) continue;
                const BeaconItem& beacon = scenario.beacons[static_cast<std::size_t>(event.item)];
                if ((beacon.type == 10 && beacon.signal == 0) || beacon.type == 15)
                    target = {beaconPosition(scenario, event.item) + beacon.optional % 10000,
                              beacon.type == 10 ? "the CPP target" : "the SPB target"};
            }
            if (target)
                text += ", " + relation(frame.positionM - target->first,
                                        target->second + " at " + formatFixed(target->first, 1) + " m");
            for (const Station& station : scenario.stations) {
                const double offset = frame.positionM - station.positionM;
                if (offset > -500.0 && offset < 500.0)
                    text += ", " + relation(offset, "the stopping point of " + station.name);
            }
            say(i, 2, text);
        }
    }
    for (PanelWatch& watch : watches) watch.finish();
    for (const auto& line : panelLines) say(line.first, 1, line.second);

    std::stable_sort(lines.begin(), lines.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& line : lines) report.lines.push_back({line.first.first, line.second});
    std::stable_sort(report.marks.begin(), report.marks.end(),
                     [](const Mark& a, const Mark& b) { return a.frame < b.frame; });
    return report;
}

std::string formatSummary(const Scenario& scenario, const DriveResult& drive, const Report& report) {
    std::string out;
    const VehicleParams& v = scenario.vehicle;
    out += "velt-drive: " + scenario.name + " (" + std::to_string(v.powerNotches) + " power notches, " +
           std::to_string(v.brakeNotches) + " brake notches, emergency notch " + std::to_string(drive.emergencyNotch) +
           ")\n";
    out += "      time   position      speed  event\n";
    for (const ReportLine& line : report.lines) {
        const FrameRecord& frame = drive.frames[line.frame];
        out += pad(formatFixed(static_cast<double>(frame.elapsedMs) / 1000.0, 3), 8) + " s " +
               pad(formatFixed(frame.positionM, 1), 8) + " m " + pad(formatFixed(frame.speedKmh, 1), 5) +
               " km/h  " + line.text + "\n";
    }
    const FrameRecord& last = drive.frames.back();
    out += "Ended at " + formatFixed(static_cast<double>(last.elapsedMs) / 1000.0, 3) + " s, " +
           formatFixed(last.positionM, 1) + " m, " + formatFixed(last.speedKmh, 1) + " km/h: " + drive.endReason +
           ".\n";
    if (report.stops.empty()) {
        out += "The train did not stop.\n";
    } else {
        for (std::size_t stop : report.stops) {
            const FrameRecord& frame = drive.frames[stop];
            out += "Stopped at " + formatFixed(frame.positionM, 1) + " m after " +
                   formatFixed(static_cast<double>(frame.elapsedMs) / 1000.0, 3) + " s.\n";
        }
    }
    out += std::string("Protection brake: ") +
           (report.emergencyBrake ? "emergency" : (report.serviceBrake ? "full service" : "none")) +
           (report.emergencyBrake && report.serviceBrake ? " and full service" : "") + "; bell " +
           (report.bellRang ? "rang" : "did not ring") + ".\n";
    if (drive.actionsDone < scenario.driver.size()) {
        const DriverAction& waiting = scenario.driver[drive.actionsDone];
        out += "Driver actions not reached: " + std::to_string(scenario.driver.size() - drive.actionsDone) +
               ", from line " + std::to_string(waiting.pos.line) + ": " + waiting.text + "\n";
    }
    return out;
}

}  // namespace velt::drive
