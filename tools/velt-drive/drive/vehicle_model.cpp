#include "tools/velt-drive/drive/vehicle_model.h"

namespace velt::drive {

VehicleModel::VehicleModel(const VehicleParams& params, double positionM, double speedKmh,
                           int reverser)
    : params_(params), positionM_(positionM), speedKmh_(reverser < 0 ? -speedKmh : speedKmh) {}

double VehicleModel::brakeRate(int notch) const {
    if (notch <= 0) return 0.0;
    if (notch > params_.brakeNotches) return params_.emergencyBrakeKmhS;
    return params_.serviceBrakeKmhS * static_cast<double>(notch) /
           static_cast<double>(params_.brakeNotches);
}

void VehicleModel::step(const HandleCommand& handles, int intervalMs) {
    const double seconds = static_cast<double>(intervalMs) / 1000.0;
    const int pull = handles.reverser > 0 ? 1 : (handles.reverser < 0 ? -1 : 0);
    // Direction of motion; a standing train moves off the way the reverser points.
    const int heading = speedKmh_ > 0.0 ? 1 : (speedKmh_ < 0.0 ? -1 : pull);
    const double speed = speedKmh_ < 0.0 ? -speedKmh_ : speedKmh_;

    int notch = handles.power;
    if (notch > params_.powerNotches) notch = params_.powerNotches;
    double traction = 0.0;
    if (pull != 0 && notch > 0 && speed < params_.maxSpeedKmh)
        traction = params_.accelerationKmhS * static_cast<double>(notch) /
                   static_cast<double>(params_.powerNotches);
    const double retarding =
        brakeRate(handles.brake) + params_.resistanceKmhS + params_.dragPerKmh2 * speed * speed;

    double next = speed;
    if (heading != 0) {
        const double along = pull == heading ? traction : -traction;
        next = speed + (along - retarding) * seconds;
        if (next < 0.0) next = 0.0;
        if (along > 0.0 && next > params_.maxSpeedKmh)
            next = speed > params_.maxSpeedKmh ? speed : params_.maxSpeedKmh;
    }
    // km/h times ms over 3600 is metres.
    const double metres = (speed + next) / 2.0 * static_cast<double>(intervalMs) / 3600.0;
    positionM_ = heading < 0 ? positionM_ - metres : positionM_ + metres;
    speedKmh_ = heading < 0 ? -next : next;
}

float VehicleModel::current(const HandleCommand& handles) const {
    if (handles.power > 0 && handles.reverser != 0)
        return 100.0f * static_cast<float>(handles.power);
    if (handles.brake > 0 && speedKmh_ != 0.0) return -100.0f * static_cast<float>(handles.brake);
    return 0.0f;
}

}  // namespace velt::drive
