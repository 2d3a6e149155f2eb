// What the host tells the plug-in about the train (SetVehicleSpec), and how
// it numbers the brake handle between the plug-in and the physical brake.
//
// The host's record is five 32-bit integers: brake notches, power notches,
// ATS notch, B67 notch, cars, in that order (20 bytes). velt reads only the
// first; host/plugin_abi.h keeps the other four, in the same order, as
// `unread[4]`, and pluginSpec() fills them all as the host does.
//
// The brake values the plug-in sees and returns:
//   no hold brake    0 release, 1..N service, N+1 emergency (N declared);
//   hold brake       0 release, 1 hold, 2..N+1 service, N+2 emergency, where
//                    N is the declared count less the hold notch, but 1 when
//                    1 is declared;
//   automatic air    0 release, 1 lap, 2 service, 3 emergency.
// In every case the VehicleSpec's brake notches are the plug-in's full-service
// value, which velt takes as its service brake, and one above is emergency.
#pragma once

#include <string>

#include "host/plugin_abi.h"
#include "tools/velt-drive/train/train_file.h"

namespace velt::drive {

// The VehicleSpec with its fields named, as a summary shows it.
struct HostVehicleSpec {
    int brakeNotches = 0;
    int powerNotches = 0;
    int atsNotch = 0;
    int b67Notch = 0;
    int cars = 0;
};

// The VehicleSpec the host builds from the train.
HostVehicleSpec hostVehicleSpec(const TrainFile& train);

// The record SetVehicleSpec takes.
VehicleSpec pluginSpec(const HostVehicleSpec& spec);

// 0.7 x brake notches rounded half to even, exactly (15 gives 10, 35 gives 24).
int b67NotchFor(int brakeNotches);

enum class BrakeSystem {
    Notched,          // release, service notches, emergency
    NotchedWithHold,  // release, hold, service notches, emergency
    AutomaticAir,     // release, lap, service, emergency
};

// A position of the physical brake handle.
struct BrakePosition {
    enum class Kind { Release, Hold, Lap, Service, Emergency };
    Kind kind = Kind::Release;
    int notch = 0;  // Service: 1 to serviceNotches(); otherwise 0

    bool operator==(const BrakePosition& other) const {
        return kind == other.kind && notch == other.notch;
    }
};

class BrakeNumbering {
public:
    explicit BrakeNumbering(const TrainFile& train);
    // `declaredNotches` as #HANDLE 2 gives them (ignored for the automatic air brake).
    BrakeNumbering(BrakeSystem system, int declaredNotches);

    BrakeSystem system() const { return system_; }
    // Physical service positions: the notches, or 1 for the automatic air brake.
    int serviceNotches() const { return serviceNotches_; }
    // The plug-in's values of full service (the VehicleSpec's brake notches) and emergency.
    int fullServiceValue() const;
    int emergencyValue() const { return fullServiceValue() + 1; }

    // The handle position a plug-in value stands for: below 0 counts as
    // release, above emergency as emergency.
    BrakePosition position(int pluginValue) const;
    // The plug-in value of a position, e.g. of the driver's handle for
    // SetBrake. A position the system does not have (hold without a hold
    // brake, lap on a notched handle) gives release; service notches are
    // kept within 1 to serviceNotches().
    int pluginValue(const BrakePosition& position) const;

    // "release", "hold", "lap", "service 3 of 7", "emergency".
    std::string describe(int pluginValue) const;

private:
    BrakeSystem system_;
    int serviceNotches_;
};

}  // namespace velt::drive
