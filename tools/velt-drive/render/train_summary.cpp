#include "tools/velt-drive/render/train_summary.h"

#include "tools/velt-drive/train/vehicle_spec.h"
#include "tools/velt-drive/util/number_format.h"
#include "tools/velt-drive/util/units.h"

namespace velt::drive {

namespace {

const char* whyWords(DefaultedField::Why why) {
    switch (why) {
        case DefaultedField::Why::Missing: return "not given";
        case DefaultedField::Why::Unreadable: return "not a number";
        case DefaultedField::Why::OutOfRange: return "out of range";
    }
    return "";
}

// The plug-in values of each handle position, in order: "0 release, 1
// hold, 2 to 8 service 1 to 7, 9 emergency".
std::string brakeValues(const BrakeNumbering& numbering) {
    const int full = numbering.fullServiceValue();
    const int first = numbering.pluginValue({BrakePosition::Kind::Service, 1});
    std::string out = "0 release, ";
    if (numbering.system() == BrakeSystem::NotchedWithHold) out += "1 hold, ";
    if (numbering.system() == BrakeSystem::AutomaticAir) out += "1 lap, ";
    if (first == full) {
        out += std::to_string(full) + " service, ";
    } else {
        out += std::to_string(first) + " to " + std::to_string(full) + " service 1 to " +
               std::to_string(numbering.serviceNotches()) + ", ";
    }
    return out + std::to_string(numbering.emergencyValue()) + " emergency";
}

const char* brakeName(const TrainFile& train) {
    if (train.brakeType == BrakeType::AutomaticAir)
        return train.holdBrakeFitted ? "automatic air brake (which switches the hold brake off)"
                                     : "automatic air brake";
    return holdBrakeInUse(train) ? "notched brake with a hold brake" : "notched brake";
}

}  // namespace

std::string trainSummary(const Scenario& scenario) {
    if (!scenario.train) return {};
    const TrainFile& train = *scenario.train;
    const HostVehicleSpec spec = hostVehicleSpec(train);
    const BrakeNumbering numbering(train);
    std::string out = "Vehicle: " + train.path + ", read as " + describeFormat(train.header) + "\n";
    out += "  handles: " + std::to_string(train.powerNotches) + " power notches; " +
           std::to_string(train.brakeNotches) + " brake notches declared, " + brakeName(train) +
           ": " + std::to_string(numbering.serviceNotches()) + " service\n";
    out += "  told the plug-in (SetVehicleSpec): brake notches " +
           std::to_string(spec.brakeNotches) + ", power notches " +
           std::to_string(spec.powerNotches) + ", ATS notch " + std::to_string(spec.atsNotch) +
           ", B67 notch " + std::to_string(spec.b67Notch) + ", cars " + std::to_string(spec.cars) +
           "\n";
    out += "  brake values at the plug-in: " + brakeValues(numbering) + "\n";
    const double emergency =
        train.decelerationKmhS * train.emergencyCylinderKpa / train.serviceCylinderKpa;
    out += "  brakes: " + formatFixed(train.decelerationKmhS, 2) + " km/h/s at full service, " +
           formatFixed(emergency, 2) + " km/h/s emergency\n";
    out += "  cars: " + std::to_string(carCount(train)) + " of " + metresText(train.carLengthM) +
           ", " + metresText(trainLengthM(train)) + " long, " + formatFixed(trainMassT(train), 1) +
           " t\n";
    for (const VehicleLine& line : scenario.vehicleLines) {
        const bool adjusts = line.field == "power-notches" || line.field == "brake-notches" ||
                             line.field == "service-brake" || line.field == "emergency-brake";
        if (adjusts)
            out += "  adjusted by the scenario: vehicle " + line.field + " (line " +
                   std::to_string(line.pos.line) + ")\n";
    }
    for (const DefaultedField& field : train.defaulted) {
        const bool acceleration = field.section == "ACCELERATION";
        out += "  default: #" + field.section + (acceleration ? " notch " : " ") +
               std::to_string(field.index) + " " + field.name + " = " + field.value + " (" +
               whyWords(field.why) + ")\n";
    }
    return out;
}

}  // namespace velt::drive
