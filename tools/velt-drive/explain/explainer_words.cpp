// The explainer's words: legacy states and rules, places and levels, and
// what a check found when it braked or let go.
#include <cmath>

#include "tools/velt-drive/explain/check_table.h"
#include "tools/velt-drive/explain/explaining.h"
#include "tools/velt-drive/util/units.h"

namespace velt::drive {

namespace explaining {

// A speed that velt compares with exactly 0: a crawl must not read "0 km/h".
std::string kmhNonZero(double value) {
    return value != 0.0 && std::fabs(value) < 0.0005 ? "less than 0.001 km/h" : kmhText(value);
}

// "demo.drive:23 at 300.0 m"; the start of the run when no line is behind it.
std::string where(const CauseRef& cause) {
    if (!cause.known()) return "the start of the run";
    return cause.file + ":" + std::to_string(cause.line) + " at " + metresText(cause.positionM);
}

std::string stateNumber(LegacyState state) { return std::to_string(static_cast<int>(state)); }

const char* stateName(LegacyState state) {
    switch (state) {
        case LegacyState::kNormal: return "normal";
        case LegacyState::kAlarm: return "alarm";
        case LegacyState::kSilencedAlarm: return "silenced alarm";
        case LegacyState::kCheck: return "speed check";
    }
    return "";
}

std::string stateText(LegacyState state) {
    return "legacy state " + stateNumber(state) + " (" + stateName(state) + ")";
}

// The brake rule of a legacy state, in words, from the core's thresholds.
std::string ruleText(LegacyState state, std::int32_t lineType) {
    switch (state) {
        case LegacyState::kAlarm:
        case LegacyState::kSilencedAlarm:
            return "emergency brake above " + kmhText(legacy::kAlarmBrakeAboveKmh) +
                   ", released below " + kmhText(legacy::kAlarmReleaseBelowKmh);
        case LegacyState::kCheck:
            return "full-service brake above " + kmhText(legacy::kCheckBrakeAboveKmh);
        case LegacyState::kNormal: break;
    }
    if (lineType == legacy::kLineType1)
        return "full-service brake above " + kmhText(legacy::kNormalLine1BrakeAboveKmh) +
               ", released below " + kmhText(legacy::kNormalLine1ReleaseBelowKmh);
    return "no brake";
}

// Why a legacy state's rule asks for no brake at `speed`.
std::string releaseText(LegacyState state, std::int32_t lineType, float speed) {
    const std::string at = kmhText(speed);
    switch (state) {
        case LegacyState::kAlarm:
        case LegacyState::kSilencedAlarm:
            return stateText(state) + " releases below " + kmhText(legacy::kAlarmReleaseBelowKmh) +
                   ": the train is at " + at;
        case LegacyState::kCheck:
            return stateText(state) + " brakes only above " + kmhText(legacy::kCheckBrakeAboveKmh) +
                   ": the train is at " + at;
        case LegacyState::kNormal: break;
    }
    if (lineType == legacy::kLineType1)
        return stateText(state) + " releases below " +
               kmhText(legacy::kNormalLine1ReleaseBelowKmh) + ": the train is at " + at;
    return stateText(state) + " does not brake on line category " + std::to_string(lineType);
}

std::int32_t delayOf(LegacyState state) {
    return state == LegacyState::kCheck ? legacy::kCheckDelayMs : legacy::kAlarmDelayMs;
}

const char* levelWords(int level) {
    return level >= 2 ? "PROTECTION EMERGENCY BRAKE" : "PROTECTION FULL-SERVICE BRAKE";
}

const char* levelName(int level) { return level >= 2 ? "emergency" : "full service"; }

// The check of an armed CPP pattern, by the beacon's signal: 0 a stop
// pattern, 2 the 49 km/h variant; any other signal is never supervised.
Check cppCheckOf(std::int32_t cppSignal) {
    if (cppSignal == 0) return Check::CppStop;
    if (cppSignal == 2) return Check::Cpp49;
    return Check::None;
}

SignalCheckInForce signalCheckOf(const CVelt& v) {
    if (overridesSignalOnLineType0(v.lineType, v.cppActive, v.signalIndex, v.cppSignal))
        return {checkKmh(kLineType0OverrideKmh), true};
    return {signalCheckSpeed(v.signalIndex, v.lineType), false};
}

}  // namespace explaining

using namespace explaining;

std::string Explainer::describeDemand(Check check, const Frame& f, CauseRef& cause) const {
    const CVelt& a = f.a;
    const std::string speed = kmhText(f.absSpeed);
    switch (check) {
        case Check::Signal: {
            const SignalCheckInForce inForce = signalCheckOf(a);
            const std::string aspect = "aspect " + std::to_string(a.signalIndex);
            if (inForce.check.kind == SignalCheck::kStop) {
                if (!aspectReported_) {
                    cause = sectionBy_;
                    return "no signal has been reported since the run began, so the section "
                           "supervises aspect 0, a stop aspect: emergency brake while the train "
                           "moves (" +
                           speed + "); section begun by " + where(sectionBy_);
                }
                cause = aspectBy_;
                return aspect + " is a stop aspect: emergency brake while the train moves (" +
                       speed + "); reported by " + where(aspectBy_);
            }
            const double over = static_cast<double>(f.absSpeed) - inForce.check.kmh;
            if (inForce.override) {
                cause = cppBy_;
                return "the CPP beacon with signal 2 lowers " + aspect + " on line category 0 to " +
                       kmhText(inForce.check.kmh) + "; " + speed + " is " + kmhText(over) +
                       " over; beacon " + where(cppBy_);
            }
            cause = aspectBy_;
            return aspect + " on line category " + std::to_string(a.lineType) + " checks " +
                   kmhText(inForce.check.kmh) + "; " + speed + " is " + kmhText(over) +
                   " over; reported by " + where(aspectBy_);
        }
        case Check::CppStop:
            cause = cppBy_;
            if (a.cppPhase == CppPhase::kStopPhase)
                return "in the stop phase " + speed + " is above " +
                       kmhText(kCppStopPhaseLimitKmh) + "; armed by " + where(cppBy_);
            if (a.cppDistance > 0.0F)
                return "stop curve " + metresText(f.curve(kStopCurveK)) +
                       " reached the remaining " + metresText(a.cppDistance) + "; armed by " +
                       where(cppBy_);
            return metresText(-a.cppDistance) + " past the target, moving forward at " + speed +
                   "; armed by " + where(cppBy_);
        case Check::Cpp49:
            cause = cppBy_;
            if (a.cppDistance > 0.0F)
                return "49 km/h curve " + metresText(f.curve(k49CurveK)) +
                       " reached the remaining " + metresText(a.cppDistance) + "; armed by " +
                       where(cppBy_);
            return speed + " past the target is " +
                   kmhText(static_cast<double>(f.absSpeed) - kCpp49Kmh) + " over " +
                   kmhText(kCpp49Kmh) + "; armed by " + where(cppBy_);
        case Check::Ccp: {
            cause = ccpBy_;
            const std::int32_t above = a.ccpSpeed + kCcpDemandMarginKmh;
            const std::string name = "to " + std::to_string(a.ccpSpeed) + " km/h";
            if (a.ccpDistance > 0.0F)
                return name + ", its curve to " + std::to_string(above) + " km/h " +
                       metresText(f.curve(squared(above))) + " reached the remaining " +
                       metresText(a.ccpDistance) + "; armed by " + where(ccpBy_);
            return name + ", " + kmhText(f.speed) + " past the target is " +
                   kmhText(static_cast<double>(f.speed) - above) + " over " +
                   std::to_string(above) + " km/h; armed by " + where(ccpBy_);
        }
        case Check::Spb:
            cause = spbBy_;
            return "kind " + std::to_string(a.spbKind) + ", stop curve " +
                   metresText(f.curve(kStopCurveK)) + " reached the remaining " +
                   metresText(a.spbDistance) + "; armed by " + where(spbBy_);
        case Check::Clf: {
            cause = clfBy_;
            const std::int32_t above = a.clfSpeed + kClfDemandMarginKmh;
            return std::to_string(a.clfSpeed) + " km/h, " + kmhText(f.speed) + " is " +
                   kmhText(static_cast<double>(f.speed) - above) + " over " +
                   std::to_string(above) + " km/h; armed by " + where(clfBy_);
        }
        case Check::Legacy:
            cause = stateBy_;
            return stateText(a.ats1State) + ", " + ruleText(a.ats1State, a.lineType) + ", at " +
                   kmhText(f.speed) + "; " +
                   (stateBy_.known() ? "requested by " + where(stateBy_)
                                     : std::string("in force since the run began"));
        case Check::SpeedCheckTrip:
            cause = tripBy_;
            return "emergency brake above " + kmhText(legacy::kTripBrakeAboveKmh) + " (" +
                   kmhText(f.speed) + ") until velt is initialized; tripped by " + where(tripBy_);
        case Check::ConfirmAtSpeed:
            cause = confirmBy_;
            return "the key was pressed while the train moved, " + where(confirmBy_);
        case Check::None:
        case Check::OverspeedCut: break;
    }
    return "";
}

std::string Explainer::describeRelease(Check check, const Frame& f) const {
    if (!releasedBy_[slot(check)].empty()) return releasedBy_[slot(check)];
    const CVelt& a = f.a;
    const std::string speed = kmhText(f.speed);
    if (!f.velt) {
        // Legacy supervision decides: by the state's rule, else by the trip.
        const BrakeRule state = legacy::stateBrake(a.ats1State, a.lineType, f.speed);
        if (state.decides) return releaseText(a.ats1State, a.lineType, f.speed);
        return "the tripped section brakes only above " + kmhText(legacy::kTripBrakeAboveKmh) +
               ": the train is at " + kmhText(f.speed);
    }
    switch (check) {
        case Check::Signal: {
            const SignalCheckInForce inForce = signalCheckOf(a);
            if (inForce.check.kind == SignalCheck::kStop) return "the train stands";
            if (inForce.check.kind == SignalCheck::kNone)
                return "aspect " + std::to_string(a.signalIndex) +
                       " has no check speed on line category " + std::to_string(a.lineType);
            return kmhText(f.absSpeed) + " is no longer above the check speed " +
                   kmhText(inForce.check.kmh) + " of aspect " + std::to_string(a.signalIndex);
        }
        case Check::CppStop:
            if (!isCppStopCase(a.cppActive, a.signalIndex, a.cppSignal))
                return "aspect " + std::to_string(a.signalIndex) + " gives no CPP stop pattern";
            if (a.cppDistance > 0.0F || a.cppPhase == CppPhase::kStopPhase)
                return "standstill (the CPP stop pattern lets go only at a stand)";
            return f.speed < 0.0F ? "running backwards past the target"
                                  : "standstill past the target";
        case Check::Cpp49:
            if (!isCpp49Case(a.cppActive, a.lineType, a.signalIndex, a.cppSignal))
                return "aspect " + std::to_string(a.signalIndex) + " gives no 49 km/h variant";
            if (a.cppDistance > 0.0F)
                return "the remaining " + metresText(a.cppDistance) +
                       " is beyond the 42 km/h release curve " + metresText(f.curve(k42CurveK));
            return kmhText(f.absSpeed) + " is below " + kmhText(kCpp49ReleaseKmh);
        case Check::Ccp: {
            if (a.ccpActive == 0) return "the CCP pattern was cancelled";
            const std::int32_t to = a.ccpSpeed - kCcpReleaseMarginKmh;
            if (a.ccpDistance > 0.0F)
                return "the remaining " + metresText(a.ccpDistance) +
                       " is beyond the release curve to " + std::to_string(to) + " km/h (" +
                       metresText(f.curve(squared(to))) + ")";
            if (a.lineType == 0) return "standstill past the CCP target";
            return speed + " past the target is no longer above " +
                   std::to_string(a.ccpSpeed + kCcpDemandMarginKmh) + " km/h";
        }
        case Check::Spb:
            if (!spbEndedBy_.empty()) return spbEndedBy_;
            if (f.absSpeed == 0.0F) return "standstill";
            return "the remaining " + metresText(a.spbDistance) +
                   " is beyond the SPB release curve " + metresText(f.curve(kSpbReleaseCurveK));
        case Check::Clf:
            if (a.clfState == ClfState::kOff) return "the CLF limit was switched off";
            return speed + " is below " + std::to_string(a.clfSpeed - kClfReleaseMarginKmh) +
                   " km/h";
        default: break;
    }
    return "the train is at " + speed;
}

}  // namespace velt::drive
