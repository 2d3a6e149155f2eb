// The seam between the drive and the train it moves: either the scenario's
// simple vehicle (vehicle_model.h), or the author's own train moved by its
// train.dat (train/train_motion.h). The drive asks the same things of both;
// only a loaded train numbers its brake handle the host's way (hold brake,
// automatic air brake), so the driver's notches and the VehicleSpec go
// through here too.
#pragma once

#include <optional>
#include <string>

#include "host/plugin_abi.h"
#include "tools/velt-drive/drive/vehicle_model.h"
#include "tools/velt-drive/scenario/scenario.h"
#include "tools/velt-drive/train/train_motion.h"

namespace velt::drive {

// What SetVehicleSpec tells the plug-in: the host's spec of a loaded train,
// else the scenario's brake notches alone.
VehicleSpec vehicleSpecOf(const Scenario& scenario);

// The plug-in's emergency brake value.
int emergencyValueOf(const Scenario& scenario);

// " (brake notch 9)", and with a loaded train what the host makes of the
// value: " (brake notch 9: emergency)", " (brake notch 8: service 7 of 7)".
std::string brakeNotchWords(const Scenario& scenario, int pluginValue);

class Motion {
public:
    Motion(const Scenario& scenario, double positionM, double speedKmh, int reverser);

    // The plug-in value of the driver's brake notch as a scenario writes it:
    // 0 release, 1 to the service notches, one above that emergency, and
    // kBrakeHold. The same number for the simple vehicle.
    int brakeValue(int driverNotch) const;

    // A drive that starts with a handle applied starts with the train's
    // brake and notches where those handles leave them.
    void settle(const HandleCommand& handles);

    void step(const HandleCommand& handles, int intervalMs);
    double positionM() const;
    double speedKmh() const;
    float current(const HandleCommand& handles) const;

private:
    std::optional<VehicleModel> simple_;
    std::optional<TrainMotion> train_;
};

}  // namespace velt::drive
