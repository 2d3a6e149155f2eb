#include "tools/velt-drive/train/train_motion.h"

#include "tools/velt-drive/train/portable_math.h"

namespace velt::drive {

namespace {

constexpr double kGravityMS2 = 9.80665;
constexpr double kAirDensityKgM3 = 1.225;
// The host's cars are 2.6 m wide and 3.6 m high; the front car meets the
// air with 0.6 of that rectangle, each car behind it adds 0.2.
constexpr double kCarFaceM2 = 2.6 * 3.6;
constexpr double kFrontShare = 0.6;
constexpr double kBehindShare = 0.2;
constexpr double kKmhPerMS = 3.6;
constexpr double kKgPerT = 1000.0;
constexpr double kMsPerS = 1000.0;
// The cylinder moves at 1.5 x its rates; a notched service brake fills at
// 0.3 of that, so that a service application builds up over seconds.
constexpr double kRampFactor = 1.5;
constexpr double kNotchedServiceShare = 0.3;

}  // namespace

double curveAccelerationKmhS(const AccelerationCurve& curve, double speedKmh) {
    const double v = speedKmh < 0.0 ? -speedKmh : speedKmh;
    if (v == 0.0) return curve.a0KmhS;
    if (v < curve.v1Kmh) return curve.a0KmhS + (curve.a1KmhS - curve.a0KmhS) * v / curve.v1Kmh;
    // v1 = 0 leaves no traction once moving (a1 v1 is 0), and v2 >= v1.
    if (curve.v1Kmh == 0.0) return 0.0;
    const double v2 = curve.v2Kmh < curve.v1Kmh ? curve.v1Kmh : curve.v2Kmh;
    if (v < v2) return curve.a1KmhS * curve.v1Kmh / v;
    // a1 v1 v2^(e-1) / v^e, written so that the power is of a ratio at most 1.
    return curve.a1KmhS * curve.v1Kmh / v2 * portablePow(v2 / v, curve.exponent);
}

RunningResistance trainResistance(const TrainFile& train) {
    RunningResistance resistance;
    resistance.rollingKmhS = kGravityMS2 * train.rollingResistance * kKmhPerMS;
    const auto behind = static_cast<double>(carCount(train) - 1);
    const double areaM2 = kFrontShare * kCarFaceM2 + kBehindShare * kCarFaceM2 * behind;
    // 0.5 rho Cd A (v / 3.6)^2 / m in m/s^2, times 3.6 for km/h/s.
    resistance.dragPerKmh2 = 0.5 * kAirDensityKgM3 * train.dragCoefficient * areaM2 /
                             (trainMassT(train) * kKgPerT * kKmhPerMS);
    return resistance;
}

TrainMotion::TrainMotion(const TrainFile& train, double positionM, double speedKmh, int reverser)
    : curves_(train.acceleration),
      numbering_(train),
      powerNotches_(train.powerNotches),
      decelerationKmhS_(train.decelerationKmhS),
      serviceKpa_(train.serviceCylinderKpa),
      emergencyKpa_(train.emergencyCylinderKpa),
      fillKpaS_(train.cylinderFillKpaS),
      releaseKpaS_(train.cylinderReleaseKpaS),
      powerUpDelayS_(train.powerUpDelayS),
      powerDownDelayS_(train.powerDownDelayS),
      brakeUpDelayS_(train.brakeUpDelayS),
      brakeDownDelayS_(train.brakeDownDelayS),
      resistance_(trainResistance(train)),
      lengthM_(trainLengthM(train)),
      positionM_(positionM),
      speedKmh_(reverser < 0 ? -speedKmh : speedKmh) {}

void TrainMotion::NotchLag::follow(int target, double upDelayS, double downDelayS, int intervalMs) {
    if (target != actual) {
        const int towards = target > actual ? 1 : -1;
        if (towards != direction) {
            direction = towards;
            waitedMs = 0.0;
        }
        const double delayMs = (towards > 0 ? upDelayS : downDelayS) * kMsPerS;
        waitedMs = waitedMs + static_cast<double>(intervalMs);
        if (delayMs <= 0.0) actual = target;
        while (actual != target && waitedMs >= delayMs) {
            actual += towards;
            waitedMs = waitedMs - delayMs;
        }
    }
    if (actual == target) set(target);
}

void TrainMotion::NotchLag::set(int notch) {
    actual = notch;
    direction = 0;
    waitedMs = 0.0;
}

int TrainMotion::powerTarget(const HandleCommand& handles) const {
    if (handles.power < 0) return 0;
    return handles.power > powerNotches_ ? powerNotches_ : handles.power;
}

int TrainMotion::serviceTarget(const BrakePosition& position) const {
    switch (position.kind) {
        case BrakePosition::Kind::Service: return position.notch;
        case BrakePosition::Kind::Emergency: return numbering_.serviceNotches();
        default: return 0;
    }
}

void TrainMotion::cylinderTarget(const BrakePosition& position, double& targetKpa,
                                 double& fillKpaS) const {
    fillKpaS = kRampFactor * fillKpaS_;
    if (position.kind == BrakePosition::Kind::Emergency) {
        targetKpa = emergencyKpa_;
        return;
    }
    if (numbering_.system() == BrakeSystem::AutomaticAir) {
        switch (position.kind) {
            case BrakePosition::Kind::Lap: targetKpa = cylinderKpa_; return;
            case BrakePosition::Kind::Service: targetKpa = serviceKpa_; return;
            default: targetKpa = 0.0; return;
        }
    }
    // A notched handle: the service notch in effect, emptied by release and hold alike.
    targetKpa = serviceKpa_ * static_cast<double>(service_.actual) /
                static_cast<double>(numbering_.serviceNotches());
    fillKpaS = kNotchedServiceShare * fillKpaS;
}

double TrainMotion::moveCylinder(double targetKpa, double fillKpaS, double seconds) {
    const double from = cylinderKpa_;
    if (targetKpa == from || seconds <= 0.0) return from;
    const bool filling = targetKpa > from;
    const double rate = filling ? fillKpaS : kRampFactor * releaseKpaS_;
    const double gap = filling ? targetKpa - from : from - targetKpa;
    const double reach = rate * seconds;
    if (reach >= gap) {
        // Reaches the target within the frame: the ramp's mean, then the target.
        const double rampS = gap / rate;
        cylinderKpa_ = targetKpa;
        return ((from + targetKpa) / 2.0 * rampS + targetKpa * (seconds - rampS)) / seconds;
    }
    cylinderKpa_ = filling ? from + reach : from - reach;
    return (from + cylinderKpa_) / 2.0;
}

void TrainMotion::settle(const HandleCommand& handles) {
    power_.set(powerTarget(handles));
    const BrakePosition brake = numbering_.position(handles.brake);
    service_.set(serviceTarget(brake));
    double targetKpa = 0.0;
    double fillKpaS = 0.0;
    cylinderTarget(brake, targetKpa, fillKpaS);
    cylinderKpa_ = targetKpa;
}

void TrainMotion::step(const HandleCommand& handles, int intervalMs) {
    const double seconds = static_cast<double>(intervalMs) / kMsPerS;
    power_.follow(powerTarget(handles), powerUpDelayS_, powerDownDelayS_, intervalMs);
    const BrakePosition brake = numbering_.position(handles.brake);
    if (brake.kind == BrakePosition::Kind::Emergency) {
        service_.set(serviceTarget(brake));
    } else {
        service_.follow(serviceTarget(brake), brakeUpDelayS_, brakeDownDelayS_, intervalMs);
    }
    double targetKpa = 0.0;
    double fillKpaS = 0.0;
    cylinderTarget(brake, targetKpa, fillKpaS);
    const double braking =
        decelerationKmhS_ * moveCylinder(targetKpa, fillKpaS, seconds) / serviceKpa_;

    const int pull = handles.reverser > 0 ? 1 : (handles.reverser < 0 ? -1 : 0);
    // Direction of motion; a standing train moves off the way the reverser points.
    const int heading = speedKmh_ > 0.0 ? 1 : (speedKmh_ < 0.0 ? -1 : pull);
    const double speed = speedKmh_ < 0.0 ? -speedKmh_ : speedKmh_;
    double traction = 0.0;
    const auto notch = static_cast<std::size_t>(power_.actual);
    if (pull != 0 && notch > 0 && notch <= curves_.size())
        traction = curveAccelerationKmhS(curves_[notch - 1], speed);
    const double retarding = braking + resistance_.at(speed);

    double next = speed;
    double metres = 0.0;
    if (heading != 0) {
        const double net = (pull == heading ? traction : -traction) - retarding;
        next = speed + net * seconds;
        if (next < 0.0) {
            // At rest after speed / -net seconds, having run half that at `speed`.
            metres = speed / kKmhPerMS * (speed / -net) / 2.0;
            next = 0.0;
        } else {
            // km/h times ms over 3600 is metres.
            metres = (speed + next) / 2.0 * static_cast<double>(intervalMs) / 3600.0;
        }
    }
    positionM_ = heading < 0 ? positionM_ - metres : positionM_ + metres;
    speedKmh_ = heading < 0 ? -next : next;
}

float TrainMotion::current(const HandleCommand& handles) const {
    if (power_.actual > 0 && handles.reverser != 0)
        return 100.0F * static_cast<float>(power_.actual);
    if (cylinderKpa_ > 0.0 && speedKmh_ != 0.0)
        return -100.0F * static_cast<float>(cylinderKpa_ / serviceKpa_);
    return 0.0F;
}

}  // namespace velt::drive
