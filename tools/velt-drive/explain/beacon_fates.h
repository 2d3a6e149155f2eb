// What became of every beacon of a drive, told by velt's own core: a beacon
// took effect when the core held what it armed in a frame that supervised
// it (or it set, started or cancelled something at once); otherwise its fate
// says why not. Nothing here repeats a rule of the core: each verdict reads
// the core's state before and after the beacon's call and at each frame.
//
// The explainer feeds one of these as the drive runs; a tool that builds its
// own account of a route's beacons can feed one the same way:
//
//   BeaconFates fates(scenario);
//   fates.beacon(item, cause, before, after);  // each SetBeaconData of a scenario beacon
//   fates.signal(cause, before, after);        // each SetSignal
//   fates.frame(before);                       // each frame, with the core as it began
//   std::vector<BeaconFate> all = fates.finish();
#pragma once

#include <cstddef>
#include <vector>

#include "core/velt.h"
#include "tools/velt-drive/drive/explanation.h"
#include "tools/velt-drive/scenario/scenario.h"
#include "tools/velt-drive/util/diagnostic.h"

namespace velt::drive {

class BeaconFates {
public:
    explicit BeaconFates(const Scenario& scenario);

    // The scenario's beacon `item` was passed; `cause` is its line and where
    // the train was. `b` and `a`: the core before and after the call.
    void beacon(std::size_t item, const CauseRef& cause, const CVelt& b, const CVelt& a);
    // A signal report (which disarms any CPP pattern).
    void signal(const CauseRef& cause, const CVelt& b, const CVelt& a);
    // A frame, with the core's state as the frame began to supervise.
    void frame(const CVelt& b);
    // velt was initialized: whatever was armed is gone.
    void restart();

    // One fate per beacon line, in the scenario's order; what is still armed
    // and was never supervised gets its fate here.
    [[nodiscard]] std::vector<BeaconFate> finish() const;

private:
    // A pattern beacon whose pattern the core holds and has not yet
    // supervised.
    struct Pending {
        int item = -1;
        std::size_t armedInFrame = 0;
        bool inSection = false;  // a frame ran inside a Velt section while it was armed
        std::string idleWhy;     // the last reason a frame in a section gave nothing
    };
    enum Slot : std::size_t { kCpp, kCcp, kClf, kSpb, kSlots };

    void settle(std::size_t item, BeaconFateKind kind, std::string reason, const CauseRef& by = {});
    // The pending beacon of `slot` ends unsupervised; `by` ended it.
    void endPending(Slot slot, BeaconFateKind kind, const std::string& how, const CauseRef& by);
    void arm(Slot slot, std::size_t item);
    [[nodiscard]] BeaconFate unsupervised(const Pending& pending, const std::string& how) const;

    const Scenario& scenario_;
    std::vector<BeaconFate> fates_;
    std::vector<bool> effective_;    // once it took effect it stays so (a beacon passed again)
    std::vector<CauseRef> armedBy_;  // by item: its line, for the beacons that end it
    Pending pending_[kSlots];
    int armer_[kSlots] = {-1, -1, -1, -1};  // the beacon whose pattern or limit the core holds
    std::size_t frames_ = 0;
};

// The fates of the beacons that did nothing, as findings: a warning for a
// fate that is more likely a mistake than an intent, a note for a cancel of
// a restriction (the documented way to lift one).
std::vector<Diagnostic> beaconFateFindings(const Scenario& scenario,
                                           const std::vector<BeaconFate>& fates);

}  // namespace velt::drive
