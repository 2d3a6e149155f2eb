// One check braking, letting go and braking again within a second, over and
// over (a driver holding a speed just over a speed check's limit), is one
// intervention to an author, however many times the brake was applied. This
// is the one rule that folds such re-applications: the summary, the
// interventions table, the report page, the time view, the expectations and
// the sweep all read their interventions through it, so they all count the
// same. The events CSV (--events) keeps every single application.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/velt-drive/drive/explanation.h"

namespace velt::drive {

// A brake of the same check this soon after the last one let go is a
// re-application of it.
inline constexpr std::int64_t kReappliedWithinMs = 1000;

struct FoldedIntervention {
    // From the first application's start to the last one's end, at the
    // strongest level any of them reached.
    Intervention intervention;
    std::size_t first = 0;  // its first application among the explanation's interventions
    int applications = 1;
    // The speeds at which its applications began and ended, lowest and highest.
    double lowestKmh = 0.0;
    double highestKmh = 0.0;
};

// Whether `next` re-applies the brake `last` (a brake, not a power cut).
bool reapplies(const Intervention& last, const Intervention& next);

// The explanation's interventions, re-applications folded into the brake
// they repeat; power cuts stay rows of their own, in order.
std::vector<FoldedIntervention> foldInterventions(const std::vector<Intervention>& all);

// For each of the explanation's interventions, the index of its folded row.
std::vector<std::size_t> foldedRows(const std::vector<FoldedIntervention>& folded,
                                    std::size_t count);

}  // namespace velt::drive
