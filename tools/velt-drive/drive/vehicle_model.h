// The train that the handles drive: one point mass on a straight, level
// track, integrated once per frame.
//
// Per second of running, in km/h:
//   traction  = acceleration x power / power notches, towards the reverser,
//               nothing with the reverser in neutral or at the maximum speed;
//   brake     = service rate x notch / service notches, or the emergency rate
//               at the emergency notch and above;
//   resistance = resistance at standstill + drag x speed^2.
// Brakes and resistance only slow the train: they never start it moving the
// other way. Speed changes by the net rate times the frame interval; the
// position by the mean of the old and new speeds times the interval.
//
// Only +, -, * and / on doubles, in a fixed order: the 32-bit Windows build
// (SSE2 arithmetic) and the native one compute the same bits.
#pragma once

#include "host/plugin_abi.h"
#include "tools/velt-drive/scenario/scenario.h"

namespace velt::drive {

class VehicleModel {
public:
    VehicleModel(const VehicleParams& params, double positionM, double speedKmh, int reverser);

    // Runs the train for intervalMs under the handles the plug-in returned.
    void step(const HandleCommand& handles, int intervalMs);

    double positionM() const { return positionM_; }
    double speedKmh() const { return speedKmh_; }  // signed: negative backwards

    // Traction current as the host would report it; only its sign matters:
    // positive under power, negative while braking on the move.
    float current(const HandleCommand& handles) const;

private:
    double brakeRate(int notch) const;

    VehicleParams params_;
    double positionM_;
    double speedKmh_;
};

}  // namespace velt::drive
