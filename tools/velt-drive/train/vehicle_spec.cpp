#include "tools/velt-drive/train/vehicle_spec.h"

#include <algorithm>
#include <cstddef>

namespace velt::drive {

// The host hands the plug-in five integers; the ABI header names the first
// and keeps the other four, in order, as one array.
static_assert(sizeof(VehicleSpec) == 5 * sizeof(std::int32_t));
static_assert(offsetof(VehicleSpec, unread) == sizeof(std::int32_t));
static_assert(sizeof(VehicleSpec::unread) == 4 * sizeof(std::int32_t));

namespace {

constexpr std::size_t kPowerSlot = 0;
constexpr std::size_t kAtsSlot = 1;
constexpr std::size_t kB67Slot = 2;
constexpr std::size_t kCarsSlot = 3;

BrakeSystem systemOf(const TrainFile& train) {
    if (train.brakeType == BrakeType::AutomaticAir) return BrakeSystem::AutomaticAir;
    return holdBrakeInUse(train) ? BrakeSystem::NotchedWithHold : BrakeSystem::Notched;
}

// With a hold brake one declared notch is the hold position, but a single
// declared notch stays a service notch.
int serviceNotchesOf(BrakeSystem system, int declared) {
    switch (system) {
        case BrakeSystem::AutomaticAir: return 1;
        case BrakeSystem::NotchedWithHold: return declared == 1 ? 1 : declared - 1;
        case BrakeSystem::Notched: break;
    }
    return declared;
}

}  // namespace

int b67NotchFor(int brakeNotches) {
    // 0.7 n in tenths: 7n / 10 and its remainder, so that a half is exact.
    const int tenths = 7 * brakeNotches;
    const int whole = tenths / 10;
    const int rest = tenths % 10;
    if (rest > 5 || (rest == 5 && whole % 2 != 0)) return whole + 1;
    return whole;
}

HostVehicleSpec hostVehicleSpec(const TrainFile& train) {
    const BrakeNumbering numbering(train);
    HostVehicleSpec spec;
    spec.brakeNotches = numbering.fullServiceValue();
    spec.powerNotches = train.powerNotches;
    spec.atsNotch = numbering.system() == BrakeSystem::NotchedWithHold ? 2 : 1;
    spec.b67Notch = b67NotchFor(spec.brakeNotches);
    spec.cars = carCount(train);
    return spec;
}

VehicleSpec pluginSpec(const HostVehicleSpec& spec) {
    VehicleSpec record{};
    record.brakeNotches = spec.brakeNotches;
    record.unread[kPowerSlot] = spec.powerNotches;
    record.unread[kAtsSlot] = spec.atsNotch;
    record.unread[kB67Slot] = spec.b67Notch;
    record.unread[kCarsSlot] = spec.cars;
    return record;
}

BrakeNumbering::BrakeNumbering(const TrainFile& train)
    : BrakeNumbering(systemOf(train), train.brakeNotches) {}

BrakeNumbering::BrakeNumbering(BrakeSystem system, int declaredNotches)
    : system_(system), serviceNotches_(serviceNotchesOf(system, std::max(1, declaredNotches))) {}

int BrakeNumbering::fullServiceValue() const {
    switch (system_) {
        case BrakeSystem::AutomaticAir: return 2;
        case BrakeSystem::NotchedWithHold: return serviceNotches_ + 1;
        case BrakeSystem::Notched: break;
    }
    return serviceNotches_;
}

BrakePosition BrakeNumbering::position(int pluginValue) const {
    using Kind = BrakePosition::Kind;
    if (pluginValue <= 0) return {Kind::Release, 0};
    if (pluginValue >= emergencyValue()) return {Kind::Emergency, 0};
    switch (system_) {
        case BrakeSystem::AutomaticAir:
            return pluginValue == 1 ? BrakePosition{Kind::Lap, 0} : BrakePosition{Kind::Service, 1};
        case BrakeSystem::NotchedWithHold:
            return pluginValue == 1 ? BrakePosition{Kind::Hold, 0}
                                    : BrakePosition{Kind::Service, pluginValue - 1};
        case BrakeSystem::Notched: break;
    }
    return {Kind::Service, pluginValue};
}

int BrakeNumbering::pluginValue(const BrakePosition& position) const {
    using Kind = BrakePosition::Kind;
    switch (position.kind) {
        case Kind::Release: return 0;
        case Kind::Hold: return system_ == BrakeSystem::NotchedWithHold ? 1 : 0;
        case Kind::Lap: return system_ == BrakeSystem::AutomaticAir ? 1 : 0;
        case Kind::Emergency: return emergencyValue();
        case Kind::Service: break;
    }
    const int notch = std::clamp(position.notch, 1, serviceNotches_);
    return system_ == BrakeSystem::Notched ? notch : fullServiceValue() - serviceNotches_ + notch;
}

std::string BrakeNumbering::describe(int pluginValue) const {
    const BrakePosition at = position(pluginValue);
    switch (at.kind) {
        case BrakePosition::Kind::Release: return "release";
        case BrakePosition::Kind::Hold: return "hold";
        case BrakePosition::Kind::Lap: return "lap";
        case BrakePosition::Kind::Emergency: return "emergency";
        case BrakePosition::Kind::Service: break;
    }
    if (system_ == BrakeSystem::AutomaticAir) return "service";
    return "service " + std::to_string(at.notch) + " of " + std::to_string(serviceNotches_);
}

}  // namespace velt::drive
