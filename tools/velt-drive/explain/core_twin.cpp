#include "tools/velt-drive/explain/core_twin.h"

#include <cstring>
#include <utility>

#include "tools/velt-drive/util/number_format.h"

namespace velt::drive {

namespace {

// What a handle of the result is called in a message.
constexpr const char* kHandleNames[] = {"the brake handle", "the power handle", "the reverser",
                                        "the constant-speed command"};

// The index of the first entry in which two arrays differ, or -1.
int firstDifference(const std::int32_t* a, const std::int32_t* b, int size) {
    if (std::memcmp(a, b, static_cast<std::size_t>(size) * sizeof(std::int32_t)) == 0) return -1;
    for (int i = 0; i < size; ++i)
        if (a[i] != b[i]) return i;
    return -1;
}

}  // namespace

CoreTwin::CoreTwin(const Scenario& scenario, std::string pluginPath, Explainer::Scope scope)
    : explainer_(scenario, scope), pluginPath_(std::move(pluginPath)) {
    // As the library does when it is loaded; the wiring never changes.
    host::attach();
    // The arrays start as the drive's own: every indicator 0, every sound stopped.
    sound_.fill(kSoundStopped);
}

void CoreTwin::startAsLoaded() {
    // A library's statics are zero when it is mapped; attach() wires them.
    host::protection = CVelt{};
    host::vehicleCache = VehicleCache{};
    host::attach();
}

void CoreTwin::call(const HostCall& call) {
    before_ = host::protection;
    makeCall(own_, call);
    explainer_.call(call, before_, host::protection, host::vehicleCache);
}

void CoreTwin::frame(const VehicleState& state, const HandleCommand& pluginHandles,
                     const std::int32_t* pluginPanel, const std::int32_t* pluginSound) {
    before_ = host::protection;
    const HandleCommand own = own_.elapse(state, panel_.data(), sound_.data());
    if (differs_) return;  // the first difference is the one to tell
    const std::int32_t pluginOut[] = {pluginHandles.brake, pluginHandles.power,
                                      pluginHandles.reverser, pluginHandles.constantSpeed};
    const std::int32_t ownOut[] = {own.brake, own.power, own.reverser, own.constantSpeed};
    // Each output in turn, as "the brake handle", "panel[22]" or "sound[6]".
    const auto differ = [&](const std::int32_t* plugin, const std::int32_t* ownValues, int size,
                            const auto& name) {
        const int at = firstDifference(plugin, ownValues, size);
        if (at < 0) return false;
        differs_ = true;
        difference_ = {name(at), plugin[at], ownValues[at]};
        return true;
    };
    const auto indexed = [](const char* array) {
        return [array](int at) { return std::string(array) + "[" + std::to_string(at) + "]"; };
    };
    if (differ(pluginOut, ownOut, 4, [](int at) { return std::string(kHandleNames[at]); })) return;
    if (differ(pluginPanel, panel_.data(), kPanelSize, indexed("panel"))) return;
    differ(pluginSound, sound_.data(), kHostSoundSize, indexed("sound"));
}

const CoreFrame& CoreTwin::explainFrame(const FrameRecord& record) {
    if (differs_ && divergence_.empty()) {
        divergence_ = "frame " + std::to_string(record.number) + " (" +
                      formatFixed(static_cast<double>(record.elapsedMs) / 1000.0, 3) +
                      " s): " + difference_.output + " is " + std::to_string(difference_.plugin) +
                      " from the plug-in " + pluginPath_ + " but " +
                      std::to_string(difference_.own) +
                      " from velt-drive's own core: the library is not the velt this tool was "
                      "built with (build both from the same sources, or run with --black-box to "
                      "drive it without this check)";
    }
    return explainer_.frame(record, before_, host::protection);
}

void CoreTwin::finish(const FrameRecord& last, DriveEnd& end) {
    explainer_.finish(last);
    end.explained = true;
    end.divergence = divergence_;
    end.interventions = explainer_.interventions();
    end.patterns = explainer_.patterns();
    end.beaconFates = explainer_.beaconFates();
}

}  // namespace velt::drive
