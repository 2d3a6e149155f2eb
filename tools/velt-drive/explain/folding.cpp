#include "tools/velt-drive/explain/folding.h"

#include <algorithm>

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
    return brakes(last) && brakes(next) && last.ended && last.check == next.check &&
           next.start.elapsedMs - last.end.elapsedMs <= kReappliedWithinMs;
}

std::vector<FoldedIntervention> foldInterventions(const std::vector<Intervention>& all) {
    std::vector<FoldedIntervention> rows;
    std::size_t lastBrake = 0;
    bool anyBrake = false;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Intervention& one = all[i];
        const double low = std::min(one.start.speedKmh, one.end.speedKmh);
        const double high = std::max(one.start.speedKmh, one.end.speedKmh);
        if (anyBrake && reapplies(rows[lastBrake].intervention, one)) {
            FoldedIntervention& row = rows[lastBrake];
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
            continue;
        }
        if (brakes(one)) {
            lastBrake = rows.size();
            anyBrake = true;
        }
        rows.push_back({one, i, 1, low, high});
    }
    return rows;
}

std::vector<std::size_t> foldedRows(const std::vector<FoldedIntervention>& folded,
                                    std::size_t count) {
    std::vector<std::size_t> rows(count, 0);
    // Rows hold their first application; the applications between two
    // brake rows' firsts that are not cut rows belong to the earlier brake.
    std::size_t row = 0;
    std::size_t lastBrakeRow = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (row < folded.size() && folded[row].first == i) {
            rows[i] = row;
            if (folded[row].intervention.level > 0) lastBrakeRow = row;
            ++row;
        } else {
            rows[i] = lastBrakeRow;
        }
    }
    return rows;
}

}  // namespace velt::drive
