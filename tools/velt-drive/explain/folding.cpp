#include "tools/velt-drive/explain/folding.h"

#include <algorithm>
#include <array>

#include "tools/velt-drive/explain/check_table.h"

namespace velt::drive {

namespace {

bool brakes(const Intervention& v) { return v.level > 0; }

// Its first frame at emergency, if it braked at emergency.
const FramePoint* emergencyOf(const Intervention& v) {
    if (v.startLevel == 2) return &v.start;
    if (v.raisedToEmergency) return &v.emergencyAt;
    return nullptr;
}

}  // namespace

bool reapplies(const Intervention& last, const Intervention& next) {
    return last.ended && last.check == next.check && brakes(last) == brakes(next) &&
           next.start.elapsedMs - last.end.elapsedMs <= kReappliedWithinMs;
}

namespace {

// The fold, and the row each application went to.
std::vector<FoldedIntervention> fold(const std::vector<Intervention>& all,
                                     std::vector<std::size_t>* rowOf) {
    std::vector<FoldedIntervention> rows;
    if (rowOf != nullptr) rowOf->assign(all.size(), 0);
    // The last row of each check: another check's rows may come between.
    std::array<std::size_t, kCheckCount> lastOf{};
    std::array<bool, kCheckCount> seen{};
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Intervention& one = all[i];
        const double low = std::min(one.start.speedKmh, one.end.speedKmh);
        const double high = std::max(one.start.speedKmh, one.end.speedKmh);
        const std::size_t c = checkSlot(one.check);
        if (seen[c] && reapplies(rows[lastOf[c]].intervention, one)) {
            FoldedIntervention& row = rows[lastOf[c]];
            Intervention& into = row.intervention;
            ++row.applications;
            row.lowestKmh = std::min(row.lowestKmh, low);
            row.highestKmh = std::max(row.highestKmh, high);
            if (emergencyOf(into) == nullptr && emergencyOf(one) != nullptr) {
                into.raisedToEmergency = true;
                into.emergencyAt = *emergencyOf(one);
            }
            into.end = one.end;
            into.ended = one.ended;
            into.endedBy = one.endedBy;
            into.level = std::max(into.level, one.level);
            if (rowOf != nullptr) (*rowOf)[i] = lastOf[c];
            continue;
        }
        lastOf[c] = rows.size();
        seen[c] = true;
        if (rowOf != nullptr) (*rowOf)[i] = rows.size();
        rows.push_back({one, i, 1, low, high});
    }
    return rows;
}

}  // namespace

std::vector<FoldedIntervention> foldInterventions(const std::vector<Intervention>& all) {
    return fold(all, nullptr);
}

std::vector<std::size_t> foldedRows(const std::vector<Intervention>& all) {
    std::vector<std::size_t> rowOf;
    fold(all, &rowOf);
    return rowOf;
}

}  // namespace velt::drive
