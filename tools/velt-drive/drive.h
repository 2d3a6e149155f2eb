// The host stand-in: runs a scenario against a loaded plug-in, frame by
// frame, the way a host calls it, and records every frame.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "host/plugin_abi.h"
#include "tools/velt-drive/plugin_library.h"
#include "tools/velt-drive/scenario.h"

namespace velt::drive {

// The panel and sound indices the plug-in writes, in trace column order.
inline constexpr std::array<int, 17> kPanelIndices = {10, 11, 12, 13, 20, 21, 22, 23, 30,
                                                      31, 32, 35, 40, 45, 46, 50, 255};
inline constexpr std::array<int, 16> kSoundIndices = {0, 1, 2, 5, 6, 7, 10, 11, 15, 20, 21, 22, 23, 25, 26, 30};

// A host starts with every sound stopped and every indicator at 0.
inline constexpr std::int32_t kSoundStopped = -10000;

int panelSlot(int index);  // position of a panel index in kPanelIndices, -1 if absent
int soundSlot(int index);

struct FrameRecord {
    std::int32_t timeMs = 0;     // as passed to Elapse
    std::int64_t elapsedMs = 0;  // since the first frame
    double positionM = 0.0;
    double speedKmh = 0.0;  // the model's speed; Elapse gets it as a float
    int driverPower = 0;    // the driver's handles as last reported
    int driverBrake = 0;
    int driverReverser = 0;
    bool doorsClosed = true;
    HandleCommand out{};  // what Elapse returned
    std::array<std::int32_t, kPanelIndices.size()> panel{};
    std::array<std::int32_t, kSoundIndices.size()> sound{};

    std::int32_t panelAt(int index) const { return panel[static_cast<std::size_t>(panelSlot(index))]; }
    std::int32_t soundAt(int index) const { return sound[static_cast<std::size_t>(soundSlot(index))]; }
};

// Something the host told the plug-in, reported before the frame `frame`.
struct HostEvent {
    enum class Kind { Beacon, Signal, Driver, Release };
    Kind kind = Kind::Driver;
    std::size_t frame = 0;
    std::string text;
    int item = -1;  // index into the scenario's beacons, signals or driver actions
};

struct DriveResult {
    std::vector<FrameRecord> frames;
    std::vector<HostEvent> events;
    std::string endReason;
    int maxServiceNotch = 0;
    int emergencyNotch = 0;
    std::size_t actionsDone = 0;  // driver actions whose turn came
};

// Runs the drive: Load, SetVehicleSpec, Initialize, the start state, then
// frames until the end condition; Dispose at the end.
DriveResult runDrive(const Scenario& scenario, const PluginApi& plugin);

}  // namespace velt::drive
