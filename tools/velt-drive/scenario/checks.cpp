#include "tools/velt-drive/scenario/checks.h"

#include <algorithm>

#include "tools/velt-drive/scenario/beacons.h"
#include "tools/velt-drive/util/units.h"

namespace velt::drive {

namespace {

class Checker {
public:
    explicit Checker(const Scenario& scenario) : s_(scenario), findings_(scenario.findings) {
        // The train comes only to what lies ahead of where it starts or of
        // a place it jumps to.
        lowestOrigin_ = s_.start.positionM;
        for (const DriverAction& action : s_.driver)
            if (action.kind == DriverAction::Kind::Jump)
                lowestOrigin_ = std::min(lowestOrigin_, action.positionM);
    }

    std::vector<Diagnostic> run() {
        endLines();
        for (const BeaconItem& beacon : s_.beacons) {
            place(beacon.pos, beacon.positionM, "beacon");
            beaconValues(beacon);
        }
        for (const SignalItem& signal : s_.signals) {
            if (signal.trigger.kind == Trigger::Kind::Position) {
                place(signal.pos, signal.trigger.value, "signal report");
            } else {
                timed(signal.pos, signal.trigger, "signal report");
            }
        }
        for (const DriverAction& action : s_.driver) {
            if (action.trigger.kind == Trigger::Kind::Position) {
                place(action.pos, action.trigger.value, "driver action");
            } else {
                timed(action.pos, action.trigger, "driver action");
            }
        }
        for (const Expectation& expectation : s_.expectations) expected(expectation);
        std::stable_sort(findings_.begin(), findings_.end(),
                         [](const Diagnostic& a, const Diagnostic& b) {
                             return a.where.line != b.where.line ? a.where.line < b.where.line
                                                                 : a.where.column < b.where.column;
                         });
        return findings_;
    }

private:
    void say(SourcePos pos, const std::string& text) {
        findings_.push_back(s_.warningAt(pos, text));
    }

    void endLines() {
        const EndCondition& end = s_.end;
        // A route's timetable driver ends the drive at the terminal.
        const bool timetable = !s_.routeFile.empty() && s_.driver.empty();
        if (!end.elapsedMs && !end.positionM && !end.whenStopped && !timetable)
            say({},
                "no 'end' line: the drive ends when the train stands still after the driver's last "
                "action, and after " +
                    secondsText(secondsOf(kDefaultTimeLimitMs)) +
                    " at the latest; add 'end at T s' "
                    "or 'end at X m'");
        if (end.positionM && *end.positionM <= s_.start.positionM)
            say(s_.endPositionPos, "the end position " + metresText(*end.positionM) +
                                       " is not ahead of the start at " +
                                       metresText(s_.start.positionM) +
                                       ": the drive ends at its first frame");
    }

    void place(SourcePos pos, double positionM, const char* what) {
        if (positionM < lowestOrigin_) {
            say(pos, std::string("this ") + what + " at " + metresText(positionM) +
                         " lies behind the start at " + metresText(s_.start.positionM) +
                         ": the train never passes it; place it at " +
                         metresText(s_.start.positionM) + " or ahead");
        } else if (s_.end.positionM && positionM > *s_.end.positionM) {
            say(pos, std::string("this ") + what + " at " + metresText(positionM) +
                         " lies past the end at " + metresText(*s_.end.positionM) +
                         ": the drive ends before the train reaches it");
        }
    }

    void timed(SourcePos pos, const Trigger& trigger, const char* what) {
        if (!s_.end.elapsedMs) return;
        std::int64_t dueMs = -1;
        if (trigger.kind == Trigger::Kind::Elapsed) dueMs = trigger.ms;
        // Before any jump the clock runs from the start time.
        const bool jumps =
            std::any_of(s_.driver.begin(), s_.driver.end(),
                        [](const DriverAction& a) { return a.kind == DriverAction::Kind::Jump; });
        if (trigger.kind == Trigger::Kind::TimeOfDay && !jumps)
            dueMs = trigger.ms - s_.start.timeOfDayMs;
        if (dueMs > *s_.end.elapsedMs)
            say(pos, std::string("this ") + what + " falls due after the end at " +
                         secondsText(secondsOf(*s_.end.elapsedMs)) + ": the drive ends before it");
    }

    // An expectation about a place the train cannot stop short of, or
    // cannot reach before the drive ends, is decided before the drive runs.
    void expected(const Expectation& e) {
        using Kind = Expectation::Kind;
        const bool aboutStop = e.kind == Kind::StopBefore || e.kind == Kind::StopBetween;
        const bool aboutSpeed = e.kind == Kind::SpeedBelow || e.kind == Kind::SpeedAbove;
        if (!aboutStop && !aboutSpeed) return;
        const double start = s_.start.positionM;
        const double farthest = e.kind == Kind::StopBetween ? e.untilM : e.positionM;
        if (aboutStop && farthest <= lowestOrigin_) {
            say(e.pos, "the train starts at " + metresText(start) + ", not short of " +
                           metresText(farthest) + ": this expectation can never be met");
        } else if (aboutSpeed && e.positionM <= lowestOrigin_) {
            say(e.pos, "the train starts at " + metresText(start) + ", at or past " +
                           metresText(e.positionM) + ": the speed is judged at the first frame");
        } else if (s_.end.positionM && e.positionM > *s_.end.positionM) {
            const std::string end = metresText(*s_.end.positionM);
            std::string text = "the drive ends at " + end + ", before the train reaches " +
                               metresText(e.positionM) + ": ";
            if (e.kind == Kind::SpeedAbove) {
                text += "this expectation can never be met";
            } else if (e.kind == Kind::SpeedBelow) {
                text += "this expectation is met only by a train that stops short of " + end;
            } else {
                text += "a train still moving at " + end + " fails this expectation";
            }
            say(e.pos, text);
        }
    }

    void beaconValues(const BeaconItem& beacon) {
        const std::string text = beaconValueFinding(beacon.type, beacon.optional);
        if (!text.empty()) say(beacon.pos, text);
    }

    const Scenario& s_;
    std::vector<Diagnostic> findings_;
    double lowestOrigin_ = 0.0;
};

}  // namespace

std::string beaconValueFinding(std::int32_t type, std::int32_t opt) {
    switch (type) {
        case cab::kBeaconSpp:
        case cab::kBeaconCpp:
        case cab::kBeaconSpeedCheck:
        case cab::kBeaconSpb:
        case cab::kBeaconSection:
        case cab::kBeaconDoorLink:
        case cab::kBeaconKindBlink: break;
        case cab::kBeaconCcp:
            if (opt <= 0)
                return "CCP value " + std::to_string(opt) +
                       " is 0 or less: velt switches the CCP pattern off here "
                       "(which lifts a restriction; "
                       "speed / 5 x 10000 + metres arms one)";
            break;
        case cab::kBeaconClf:
            if (!armsClf(opt))
                return "CLF value " + std::to_string(opt) + " is outside " +
                       std::to_string(kClfLowestCode) + " to " + std::to_string(kClfHighestCode) +
                       ": velt switches the CLF limit off here (3 to 31 arm a "
                       "limit of 15 to 155 km/h)";
            break;
        case cab::kBeaconRoute: {
            const std::int32_t category = lineTypeOfRoute(opt);
            if (category < 0 || category > 2)
                return "route code " + std::to_string(opt) + " selects line category " +
                       std::to_string(category) +
                       ": velt has rules for line categories 0, 1 and 2 only, and applies its "
                       "default rules here";
            break;
        }
        default:
            return "velt ignores beacon type " + std::to_string(type) +
                   "; the types it reads are 1, 10, 11, 12, 13, 15, 20, 21, 22 and 24";
    }
    return "";
}

std::vector<Diagnostic> checkScenario(const Scenario& scenario) { return Checker(scenario).run(); }

}  // namespace velt::drive
