// What the explainer's files share: the wording of legacy states, rules,
// places and levels, the checks in force, and a frame as the core ran it.
// Only the explainer includes this.
#pragma once

#include <cstdint>
#include <string>

#include "core/legacy_rules.h"
#include "core/supervision.h"
#include "core/velt.h"
#include "tools/velt-drive/explain/explainer.h"

namespace velt::drive {

namespace explaining {

using legacy::BrakeRule;
using legacy::Request;
using legacy::RequestKind;

// A speed that velt compares with exactly 0: a crawl must not read "0 km/h".
std::string kmhNonZero(double value);

// "demo.drive:23 at 300.0 m"; the start of the run when no line is behind it.
std::string where(const CauseRef& cause);

std::string stateNumber(LegacyState state);  // "1"
const char* stateName(LegacyState state);    // "alarm"
std::string stateText(LegacyState state);    // "legacy state 1 (alarm)"

// The brake rule of a legacy state, in words, from the core's thresholds.
std::string ruleText(LegacyState state, std::int32_t lineType);

// Why a legacy state's rule asks for no brake at `speed`.
std::string releaseText(LegacyState state, std::int32_t lineType, float speed);

// The delay after which a requested legacy state takes effect.
std::int32_t delayOf(LegacyState state);

const char* levelWords(int level);  // "PROTECTION EMERGENCY BRAKE"
const char* levelName(int level);   // "emergency"

// The check of an armed CPP pattern, by the beacon's signal: 0 a stop
// pattern, 2 the 49 km/h variant; any other signal is never supervised.
Check cppCheckOf(std::int32_t cppSignal);

// The signal speed check in force: the line-0 override, or the table.
struct SignalCheckInForce {
    SignalCheckSpeed check;
    bool override;
};
SignalCheckInForce signalCheckOf(const CVelt& v);

inline std::size_t slot(Check check) { return checkSlot(check); }

}  // namespace explaining

// One frame as the core ran it: the state before and after, and the values
// the frame computed, read from the core.
class Explainer::Frame {
public:
    Frame(const FrameRecord& frameRecord, const CVelt& before, const CVelt& after)
        : record(frameRecord),
          b(before),
          a(after),
          values(after.frameValues()),
          velt(before.veltDefined == 1) {}

    const FrameRecord& record;
    const CVelt& b;
    const CVelt& a;
    const FrameValues values;
    const float& speed = values.speed;        // signed, as the core read it
    const float& absSpeed = values.absSpeed;  // as the core's curves take it
    const std::int32_t& time = values.time;
    const double& warnMargin = values.warnMargin;
    bool velt;  // a Velt frame (else a legacy one)

    [[nodiscard]] float curve(double k) const { return brakingCurve(absSpeed, k); }
};

}  // namespace velt::drive
