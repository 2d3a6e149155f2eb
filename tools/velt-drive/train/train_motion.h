// The train of a train file moved by the handles the plug-in returns: one
// point mass on straight, level track, integrated once per frame, with the
// same interface as velt-drive's simple VehicleModel so that a drive can
// take either.
//
// Per frame, in this order:
//   1. The power and service brake notches in effect move towards the
//      handles one notch at a time, each after #DELAY's delay for that
//      direction. Emergency needs no steps: it applies at once, and the
//      service notch in effect stands at full service under it.
//   2. The brake cylinder moves linearly towards its target: notch n of N
//      is n/N of the service pressure, emergency the emergency pressure,
//      lap holds, release and hold empty it. It fills at 1.5 x #MOVE 4
//      (0.3 of that for a notched service brake) and empties at 1.5 x
//      #MOVE 5. The deceleration is D x pressure / service pressure, taken
//      as its mean over the frame (exact for a linear ramp).
//   3. Traction from the power notch's acceleration curve at the speed the
//      frame starts with, towards the reverser; none in neutral.
//   4. Running resistance: g x the rolling coefficient, plus air drag
//      0.5 rho Cd A v^2 / m (see trainResistance).
// Brakes and resistance only slow the train; a train that stops within a
// frame stops where the deceleration brings it to rest.
//
// Only + - * / on doubles in a fixed order, and the portable power for the
// curve's exponent: the native and both Windows builds compute the same bits.
#pragma once

#include <vector>

#include "host/plugin_abi.h"
#include "tools/velt-drive/train/train_file.h"
#include "tools/velt-drive/train/vehicle_spec.h"

namespace velt::drive {

// One notch's acceleration (km/h/s) at a speed (km/h, either sign).
double curveAccelerationKmhS(const AccelerationCurve& curve, double speedKmh);

// Running resistance on level track as a deceleration: rollingKmhS plus
// dragPerKmh2 x v^2 (v in km/h).
struct RunningResistance {
    double rollingKmhS = 0.0;
    double dragPerKmh2 = 0.0;
    double at(double speedKmh) const { return rollingKmhS + dragPerKmh2 * speedKmh * speedKmh; }
};

// The drag term takes #PERFORMANCE 4 as a dimensionless drag coefficient
// on a frontal area of 0.6 x 2.6 m x 3.6 m for the front car and 0.2 x that
// for each car behind it, in air of 1.225 kg/m^3, over the mass of #CAR.
RunningResistance trainResistance(const TrainFile& train);

class TrainMotion {
public:
    // Standing or running at `speedKmh` (in the reverser's direction) with
    // every handle released and the brake cylinder empty.
    TrainMotion(const TrainFile& train, double positionM, double speedKmh, int reverser);

    // Puts the notches in effect and the brake cylinder where these handles
    // leave them once settled: a drive that starts with a brake applied.
    void settle(const HandleCommand& handles);

    // Runs the train for intervalMs under the handles the plug-in returned
    // (its brake value in the host's numbering for this train).
    void step(const HandleCommand& handles, int intervalMs);

    double positionM() const { return positionM_; }  // the front of the first car
    double speedKmh() const { return speedKmh_; }    // signed: negative backwards

    // Traction current as the host would report it; only its sign matters:
    // positive under power, negative while braking on the move.
    float current(const HandleCommand& handles) const;

    // What the train is doing, for explanations and tests.
    int powerNotchInEffect() const { return power_.actual; }
    int serviceNotchInEffect() const { return service_.actual; }
    double brakeCylinderKpa() const { return cylinderKpa_; }
    double lengthM() const { return lengthM_; }
    const BrakeNumbering& brakeNumbering() const { return numbering_; }

private:
    // A notch in effect that follows its handle one notch per delay.
    struct NotchLag {
        int actual = 0;
        int direction = 0;
        double waitedMs = 0.0;
        void follow(int target, double upDelayS, double downDelayS, int intervalMs);
        void set(int notch);
    };

    int powerTarget(const HandleCommand& handles) const;
    int serviceTarget(const BrakePosition& position) const;
    // The pressure the cylinder moves towards and how fast it fills.
    void cylinderTarget(const BrakePosition& position, double& targetKpa, double& fillKpaS) const;
    // Moves the cylinder for `seconds` and returns its mean pressure over them.
    double moveCylinder(double targetKpa, double fillKpaS, double seconds);

    std::vector<AccelerationCurve> curves_;
    BrakeNumbering numbering_;
    int powerNotches_;
    double decelerationKmhS_;
    double serviceKpa_;
    double emergencyKpa_;
    double fillKpaS_;
    double releaseKpaS_;
    double powerUpDelayS_, powerDownDelayS_, brakeUpDelayS_, brakeDownDelayS_;
    RunningResistance resistance_;
    double lengthM_;

    double positionM_;
    double speedKmh_;
    NotchLag power_;
    NotchLag service_;
    double cylinderKpa_ = 0.0;
};

}  // namespace velt::drive
