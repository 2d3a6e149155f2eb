// The checks of the protection as velt-drive names them, one row each: the
// name the summary, the plots and the sweep give it, the word of a CSV
// column, and its rank in the merge: of the checks that brake in a frame,
// the explainer names the one that brakes hardest, the first in this rank
// at a tie. Adding a check is a value of Check (drive/explanation.h) and a
// row here.
#pragma once

#include <array>
#include <cstddef>

#include "tools/velt-drive/drive/explanation.h"

namespace velt::drive {

struct CheckInfo {
    Check check;
    const char* name;  // "CPP stop pattern", "legacy ATS"
    const char* word;  // "cpp-stop", "legacy": one word for a CSV column
    int mergeRank;     // 0 first; -1 for what never brakes (none, the overspeed cut)
};

// In the order of Check.
inline constexpr CheckInfo kCheckTable[] = {
    {Check::None, "none", "", -1},
    {Check::Signal, "signal speed check", "signal", 0},
    {Check::CppStop, "CPP stop pattern", "cpp-stop", 1},
    {Check::Cpp49, "CPP 49 km/h variant", "cpp-49", 2},
    {Check::Ccp, "CCP pattern", "ccp", 3},
    {Check::Spb, "SPB pattern", "spb", 5},
    {Check::Clf, "CLF limit", "clf", 4},
    {Check::OverspeedCut, "overspeed power cut", "overspeed-cut", -1},
    {Check::Legacy, "legacy ATS", "legacy", 6},
    {Check::SpeedCheckTrip, "tripped speed-check section", "speed-check-trip", 7},
    {Check::ConfirmAtSpeed, "confirm key at speed in legacy state 1", "confirm-at-speed", 8},
};
inline constexpr std::size_t kCheckCount = std::size(kCheckTable);

constexpr std::size_t checkSlot(Check check) { return static_cast<std::size_t>(check); }
constexpr const CheckInfo& checkInfo(Check check) { return kCheckTable[checkSlot(check)]; }

inline const char* checkName(Check check) { return checkInfo(check).name; }
inline const char* checkWord(Check check) { return checkInfo(check).word; }

namespace detail {
constexpr std::size_t brakingChecks() {
    std::size_t count = 0;
    for (const CheckInfo& info : kCheckTable) count += info.mergeRank >= 0 ? 1 : 0;
    return count;
}
template <std::size_t N>
constexpr std::array<Check, N> mergeOrder() {
    std::array<Check, N> order{};
    for (const CheckInfo& info : kCheckTable)
        if (info.mergeRank >= 0) order[static_cast<std::size_t>(info.mergeRank)] = info.check;
    return order;
}
constexpr bool tableInCheckOrder() {
    for (std::size_t i = 0; i < kCheckCount; ++i)
        if (checkSlot(kCheckTable[i].check) != i) return false;
    return true;
}
}  // namespace detail

static_assert(detail::tableInCheckOrder(), "kCheckTable lists the checks in the order of Check");

// The checks that brake, in merge order.
inline constexpr auto kMergeOrder = detail::mergeOrder<detail::brakingChecks()>();

// "brake", "pattern", ...: an event kind as one word for a CSV column.
const char* eventKindWord(EventKind kind);

}  // namespace velt::drive
