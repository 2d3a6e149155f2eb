#include "tools/velt-drive/explain/beacon_fates.h"

#include "core/beacons.h"
#include "core/cab.h"
#include "tools/velt-drive/explain/explaining.h"
#include "tools/velt-drive/scenario/beacons.h"
#include "tools/velt-drive/util/units.h"

namespace velt::drive {

using namespace explaining;

namespace {

// Whether the core, as a frame begins, supervises what each pattern beacon
// armed: inside a Velt section, and for CPP only where the aspect and the
// beacon's signal give a pattern.
bool cppInForce(const CVelt& v) {
    return isCppStopCase(v.cppActive, v.signalIndex, v.cppSignal) ||
           isCpp49Case(v.cppActive, v.lineType, v.signalIndex, v.cppSignal);
}

std::string cppIdleWhy(const CVelt& v) {
    return "idle: signal " + std::to_string(v.cppSignal) + " under aspect " +
           std::to_string(v.signalIndex) + " on line category " + std::to_string(v.lineType) +
           " gives no CPP pattern";
}

std::string typeName(std::int32_t type) {
    const std::string name = beaconTypeName(type);
    return name.empty() ? "beacon type " + std::to_string(type) : name + " beacon";
}

}  // namespace

BeaconFates::BeaconFates(const Scenario& scenario)
    : scenario_(scenario),
      effective_(scenario.beacons.size(), false),
      armedBy_(scenario.beacons.size()) {
    fates_.reserve(scenario.beacons.size());
    for (std::size_t i = 0; i < scenario.beacons.size(); ++i) {
        const BeaconItem& beacon = scenario.beacons[i];
        BeaconFate fate;
        fate.beacon = i;
        fate.line = beacon.pos.line;
        fate.positionM = beacon.positionM;
        fate.kind = BeaconFateKind::NeverPassed;
        fate.reason = "never passed: the train did not reach " + metresText(beacon.positionM) +
                      " while the drive ran";
        fates_.push_back(std::move(fate));
    }
}

void BeaconFates::settle(std::size_t item, BeaconFateKind kind, std::string reason,
                         const CauseRef& by) {
    if (item >= fates_.size()) return;
    if (kind == BeaconFateKind::TookEffect) effective_[item] = true;
    if (effective_[item]) kind = BeaconFateKind::TookEffect;
    BeaconFate& fate = fates_[item];
    fate.kind = kind;
    fate.reason = kind == BeaconFateKind::TookEffect ? "" : std::move(reason);
    fate.by = by;
}

BeaconFate BeaconFates::unsupervised(const Pending& pending, const std::string& how) const {
    BeaconFate fate;
    if (pending.armedInFrame == frames_) {
        fate.kind = BeaconFateKind::Replaced;
        fate.reason = "never supervised: no frame ran while it was armed" + how;
    } else if (!pending.inSection) {
        fate.kind = BeaconFateKind::OutsideSection;
        fate.reason = "armed outside a Velt section and never supervised inside one" + how;
    } else if (!pending.idleWhy.empty()) {
        fate.kind = BeaconFateKind::Idle;
        fate.reason = pending.idleWhy + how;
    } else {
        fate.kind = BeaconFateKind::Replaced;
        fate.reason = "never supervised" + how;
    }
    return fate;
}

void BeaconFates::endPending(Slot slot, BeaconFateKind kind, const std::string& how,
                             const CauseRef& by) {
    Pending& pending = pending_[slot];
    if (pending.item < 0) return;
    const auto item = static_cast<std::size_t>(pending.item);
    if (kind == BeaconFateKind::DisarmedSameFrame && pending.armedInFrame == frames_) {
        settle(item, kind,
               "disarmed in the same frame by the signal report (" + where(by) +
                   "), which every signal report does to a CPP pattern",
               by);
    } else {
        BeaconFate fate = unsupervised(pending, how);
        settle(item, fate.kind, std::move(fate.reason), by);
    }
    pending = Pending{};
}

void BeaconFates::arm(Slot slot, std::size_t item) {
    pending_[slot] = Pending{static_cast<int>(item), frames_, false, {}};
    armer_[slot] = static_cast<int>(item);
}

void BeaconFates::beacon(std::size_t item, const CauseRef& cause, const CVelt& b, const CVelt& a) {
    if (item >= fates_.size()) return;
    armedBy_[item] = cause;
    const BeaconItem& beacon = scenario_.beacons[item];
    const bool forward = passedMovingForward(*b.pSpeed);
    const std::string standing = "ignored: passed standing or running backwards";
    const auto replaces = [&](Slot slot, const char* verb) {
        endPending(slot, BeaconFateKind::Replaced,
                   std::string("; then ") + verb + " by the " + typeName(beacon.type) + " (" +
                       where(cause) + ")",
                   cause);
    };
    switch (beacon.type) {
        case cab::kBeaconCpp: {
            replaces(kCpp, "replaced");
            // Outside a section the beacon also makes a legacy request.
            const Request request = legacy::requestForBeacon(beacon.signal, b.lineType, *b.pSpeed);
            if (b.veltDefined != 1 && forward && request.kind == RequestKind::kStamped) {
                settle(item, BeaconFateKind::TookEffect, "");
            } else {
                arm(kCpp, item);
            }
            break;
        }
        case cab::kBeaconCcp:
            if (a.ccpActive != 0) {
                replaces(kCcp, "replaced");
                arm(kCcp, item);
            } else if (b.ccpActive != 0) {
                const int armed = armer_[kCcp];
                replaces(kCcp, "cancelled");
                settle(item, BeaconFateKind::Cancelling,
                       "cancels the CCP restriction" +
                           (armed >= 0
                                ? " armed by " + where(armedBy_[static_cast<std::size_t>(armed)])
                                : std::string(" in force")) +
                           " and arms none (optional " + std::to_string(beacon.optional) + ")");
            } else {
                settle(item, BeaconFateKind::CancelsNothing,
                       "cancels nothing: no CCP restriction is armed here, and optional " +
                           std::to_string(beacon.optional) +
                           " (0 or less) arms none; (speed / 5) x 10000 + metres arms one");
            }
            break;
        case cab::kBeaconClf:
            if (a.clfState != ClfState::kOff) {
                replaces(kClf, "replaced");
                arm(kClf, item);
            } else if (b.clfState != ClfState::kOff) {
                const int armed = armer_[kClf];
                replaces(kClf, "switched off");
                settle(item, BeaconFateKind::Cancelling,
                       "switches off the CLF limit" +
                           (armed >= 0
                                ? " armed by " + where(armedBy_[static_cast<std::size_t>(armed)])
                                : std::string(" in force")) +
                           " and arms none (value " + std::to_string(beacon.optional) + ")");
            } else {
                settle(item, BeaconFateKind::CancelsNothing,
                       "switches nothing off: no CLF limit is armed, and value " +
                           std::to_string(beacon.optional) + " arms none (3 to 31 arm one)");
            }
            break;
        case cab::kBeaconSpb:
            if (!forward) {
                settle(item, BeaconFateKind::Ignored, standing);
            } else if (a.spbActive == 0) {
                settle(item, BeaconFateKind::Ignored,
                       "ignored: line category " + std::to_string(b.lineType) +
                           " takes no SPB beacon (only 0 and 2 do)");
            } else {
                replaces(kSpb, "replaced");
                arm(kSpb, item);
            }
            break;
        case cab::kBeaconSpp:
        case cab::kBeaconSpeedCheck:
            if (forward) {
                settle(item, BeaconFateKind::TookEffect, "");
            } else {
                settle(item, BeaconFateKind::Ignored, standing);
            }
            break;
        case cab::kBeaconSection:
        case cab::kBeaconRoute:
        case cab::kBeaconDoorLink:
        case cab::kBeaconKindBlink: settle(item, BeaconFateKind::TookEffect, ""); break;
        default:
            settle(item, BeaconFateKind::Ignored,
                   "ignored: velt does not read beacon type " + std::to_string(beacon.type));
    }
}

void BeaconFates::signal(const CauseRef& cause, const CVelt& b, const CVelt& a) {
    if (b.cppActive != 0 && a.cppActive == 0)
        endPending(kCpp, BeaconFateKind::DisarmedSameFrame,
                   "; then disarmed by the signal report (" + where(cause) + ")", cause);
}

void BeaconFates::frame(const CVelt& b) {
    const bool section = b.veltDefined == 1;
    const bool held[kSlots] = {b.cppActive != 0, b.ccpActive != 0, b.clfState != ClfState::kOff,
                               b.spbActive != 0};
    for (std::size_t slot = 0; slot < kSlots; ++slot) {
        Pending& pending = pending_[slot];
        if (pending.item < 0) continue;
        if (!held[slot]) {
            // Ended by the core itself (an SPB pattern at its target), after
            // a frame that supervised it, or outside a section.
            BeaconFate fate = unsupervised(pending, "");
            settle(static_cast<std::size_t>(pending.item), fate.kind, std::move(fate.reason));
            pending = Pending{};
            continue;
        }
        if (!section) continue;
        pending.inSection = true;
        if (slot == kCpp && !cppInForce(b)) {
            pending.idleWhy = cppIdleWhy(b);
            continue;
        }
        settle(static_cast<std::size_t>(pending.item), BeaconFateKind::TookEffect, "");
        pending = Pending{};
    }
    ++frames_;
}

void BeaconFates::restart() {
    for (int& armer : armer_) armer = -1;
    for (std::size_t slot = 0; slot < kSlots; ++slot)
        endPending(static_cast<Slot>(slot), BeaconFateKind::Replaced, "; then velt was initialized",
                   {});
}

std::vector<BeaconFate> BeaconFates::finish() const {
    std::vector<BeaconFate> fates = fates_;
    for (const Pending& pending : pending_) {
        if (pending.item < 0) continue;
        const auto item = static_cast<std::size_t>(pending.item);
        if (effective_[item]) continue;
        BeaconFate fate = unsupervised(pending, "; still armed when the drive ended");
        fates[item].kind = fate.kind;
        fates[item].reason = std::move(fate.reason);
    }
    return fates;
}

std::vector<Diagnostic> beaconFateFindings(const Scenario& scenario,
                                           const std::vector<BeaconFate>& fates) {
    std::vector<Diagnostic> findings;
    for (const BeaconFate& fate : fates) {
        if (fate.tookEffect()) continue;
        const BeaconItem& beacon = scenario.beacons[fate.beacon];
        const bool intended = fate.kind == BeaconFateKind::Cancelling;
        Diagnostic finding = scenario.warningAt(
            beacon.pos, typeName(beacon.type) + " at " + metresText(beacon.positionM) +
                            (intended ? " " : " never took effect: ") + fate.reason + " [" +
                            beaconFateName(fate.kind) + "]");
        if (intended) finding.severity = Severity::Note;
        if (fate.kind == BeaconFateKind::DisarmedSameFrame)
            finding.help =
                "write the signal line before the beacon line, or place the beacon past the "
                "signal report";
        findings.push_back(std::move(finding));
    }
    return findings;
}

}  // namespace velt::drive
