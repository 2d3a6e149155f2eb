// Turns the state of velt's own core, before and after each host call and
// each frame, into the explanation of a drive (explanation.h): what the
// protection stored, armed, ignored, requested, warned of and braked for,
// with the check, the numbers it compared and the scenario line behind it.
//
// It decides nothing itself: every change it reports is a change of the
// core's state, and every number it quotes is computed with the core's own
// functions (core/supervision.h, core/legacy_rules.h, core/beacons.h) from
// that state.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/velt.h"
#include "host/entry_points.h"
#include "host/host_calls.h"
#include "tools/velt-drive/drive/drive.h"
#include "tools/velt-drive/drive/explanation.h"
#include "tools/velt-drive/explain/beacon_fates.h"
#include "tools/velt-drive/explain/check_table.h"
#include "tools/velt-drive/scenario/scenario.h"

namespace velt::drive {

class Explainer {
public:
    // What an explanation tells: everything, or (for a sweep of many drives)
    // only the interventions, the patterns and the events that begin,
    // raise and end them, without warnings, sequences and the display.
    enum class Scope { Everything, Interventions };

    explicit Explainer(const Scenario& scenario, Scope scope = Scope::Everything);

    // The host event the following calls come from; null: none.
    void from(const HostEvent* event);

    // A call between frames: the core before it, and after it (with the
    // host's cache as the call left it).
    void call(const HostCall& call, const CVelt& before, const CVelt& after,
              const VehicleCache& cache);

    // A frame: the core before and after it, and the drive's record.
    const CoreFrame& frame(const FrameRecord& record, const CVelt& before, const CVelt& after);

    // Closes what is still open when the drive ends.
    void finish(const FrameRecord& last);

    const std::vector<Intervention>& interventions() const { return interventions_; }
    // Forgets the interventions before `first` (never one still open), for
    // a drive that from here on needs only the later ones: from now on
    // interventions() and the events' indices into it count from `first`.
    // They are set aside, not freed: in a forked copy of a drive, freeing
    // them would have the kernel copy every page they lie on.
    void forgetInterventionsBefore(std::size_t first);
    const std::vector<PatternSpan>& patterns() const { return patterns_; }
    // What became of each beacon line; complete once the drive has finished.
    [[nodiscard]] std::vector<BeaconFate> beaconFates() const { return fates_.finish(); }

private:
    class Frame;
    enum class Span { Cpp, Ccp, Spb };
    static constexpr std::size_t kChecks = kCheckCount;

    // The scenario line of a host event.
    CauseRef causeOf(const HostEvent& event) const;

    void say(EventKind kind, std::string text, const CauseRef& cause = {},
             Check check = Check::None);

    // Calls, by what they touch.
    void restart();
    void intake(const HostCall& call, const CVelt& b, const CVelt& a, float speed);
    void cppBeacon(const CVelt& b, const CVelt& a);
    void speedCheckBeacon(const CVelt& b, const CVelt& a, bool forward);
    void doors(const HostCall& call, const CVelt& b, const CVelt& a);
    void keys(const HostCall& call, const CVelt& b, const CVelt& a, const VehicleCache& cache);
    void legacyRequests(const HostCall& call, const CVelt& b, const CVelt& a,
                        const VehicleCache& cache);

    void openSpan(Span span, Check check, double targetM, double brakesAboveKmh);
    void closeSpan(Span span, double atM);

    // Frames, in the order they are explained.
    void sectionWithoutAspect(const Frame& f);
    void patternsInFrame(const Frame& f);
    void warnings(const Frame& f);
    void demands(const Frame& f);
    void overspeedCut(const Frame& f);
    void legacyStates(const Frame& f);
    void sequences(const Frame& f);
    void display(const Frame& f);
    static bool displayInputsChanged(const CVelt& b, const CVelt& a);

    std::string describeDemand(Check check, const Frame& f, CauseRef& cause) const;
    std::string describeRelease(Check check, const Frame& f) const;
    void beginIntervention(Check check, int level, const std::string& cause, const CauseRef& ref);
    void closeIntervention(int index, const std::string& endedBy);

    const Scenario& scenario_;
    Scope scope_;
    std::string file_;
    CauseRef source_;        // of the calls being explained
    int beaconItem_ = -1;    // the scenario beacon behind them, if one is
    int eventOrdinal_ = -1;  // of their host event among those of this frame
    int eventsThisFrame_ = 0;
    bool delivered_ = false;  // out_ has been handed to the drive
    bool inFrame_ = false;
    bool framesSeen_ = false;
    FramePoint at_;  // the frame being explained (between frames: the last one)

    CoreFrame out_;

    // The scenario lines behind the core's state.
    CauseRef routeBy_, sectionBy_, aspectBy_, cppBy_, ccpBy_, spbBy_, clfBy_;
    CauseRef requestBy_, stateBy_, windowBy_, tripBy_, confirmBy_;
    bool aspectReported_ = false;    // since the run began
    bool sectionBegan_ = false;      // since the last frame
    bool confirmedAtSpeed_ = false;  // the confirm key demanded a brake since the last frame
    std::int32_t windowOpenedMs_ = 0;

    // Pattern spans being drawn, by Span; -1 when none.
    std::array<int, 3> openSpan_{-1, -1, -1};
    std::vector<PatternSpan> patterns_;
    BeaconFates fates_;

    // The demand level each check held after the last frame, by Check.
    std::array<int, kChecks> level_{};
    // Why a check let go, when a call since the last frame did it; by Check.
    std::array<std::string, kChecks> releasedBy_{};
    std::string spbEndedBy_;  // the SPB pattern ended in the last frame
    std::vector<Intervention> interventions_;
    std::vector<std::vector<Intervention>> forgotten_;
    int braking_ = -1;  // the open brake intervention
    int cut_ = -1;      // the open overspeed cut

    // Display elements (mode, limit, target, aux) as last described; they
    // start as a host shows them before the first frame, at 0.
    std::array<std::string, 4> look_{"display mode 0", "display limit 0", "display target 0",
                                     "display aux 0"};
    bool displayShown_ = false;
    bool displayDirty_ = false;  // a call since the display was last described
    std::int32_t patternWarnBefore_ = 0;
    std::int32_t spbWarnBefore_ = 0;
};

}  // namespace velt::drive
