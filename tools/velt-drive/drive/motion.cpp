#include "tools/velt-drive/drive/motion.h"

namespace velt::drive {

VehicleSpec vehicleSpecOf(const Scenario& scenario) {
    if (scenario.train) return pluginSpec(hostVehicleSpec(*scenario.train));
    VehicleSpec spec{};
    spec.brakeNotches = scenario.vehicle.brakeNotches;
    return spec;
}

int emergencyValueOf(const Scenario& scenario) {
    if (scenario.train) return BrakeNumbering(*scenario.train).emergencyValue();
    return scenario.vehicle.brakeNotches + 1;
}

std::string brakeNotchWords(const Scenario& scenario, int pluginValue) {
    std::string words = " (brake notch " + std::to_string(pluginValue);
    if (scenario.train) words += ": " + BrakeNumbering(*scenario.train).describe(pluginValue);
    return words + ")";
}

Motion::Motion(const Scenario& scenario, double positionM, double speedKmh, int reverser) {
    if (scenario.train) {
        train_.emplace(*scenario.train, positionM, speedKmh, reverser);
    } else {
        simple_.emplace(scenario.vehicle, positionM, speedKmh, reverser);
    }
}

int Motion::brakeValue(int driverNotch) const {
    if (!train_) return driverNotch;
    const BrakeNumbering& numbering = train_->brakeNumbering();
    BrakePosition position;
    if (driverNotch == kBrakeHold) {
        position.kind = BrakePosition::Kind::Hold;
    } else if (driverNotch > numbering.serviceNotches()) {
        position.kind = BrakePosition::Kind::Emergency;
    } else if (driverNotch > 0) {
        position = {BrakePosition::Kind::Service, driverNotch};
    }
    return numbering.pluginValue(position);
}

void Motion::settle(const HandleCommand& handles) {
    if (train_) train_->settle(handles);
}

void Motion::step(const HandleCommand& handles, int intervalMs) {
    if (train_) {
        train_->step(handles, intervalMs);
    } else {
        simple_->step(handles, intervalMs);
    }
}

double Motion::positionM() const { return train_ ? train_->positionM() : simple_->positionM(); }

double Motion::speedKmh() const { return train_ ? train_->speedKmh() : simple_->speedKmh(); }

float Motion::current(const HandleCommand& handles) const {
    return train_ ? train_->current(handles) : simple_->current(handles);
}

}  // namespace velt::drive
