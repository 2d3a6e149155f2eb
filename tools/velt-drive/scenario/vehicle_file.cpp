#include "tools/velt-drive/scenario/vehicle_file.h"

#include <algorithm>
#include <filesystem>

#include "tools/velt-drive/train/vehicle_spec.h"

namespace velt::drive {

std::string trainPathFrom(const std::string& scenarioFile, const std::string& path) {
    const std::filesystem::path written(path);
    if (written.is_absolute()) return path;
    const std::filesystem::path folder = std::filesystem::path(scenarioFile).parent_path();
    return folder.empty() ? path : (folder / written).lexically_normal().generic_string();
}

namespace {

double fieldValue(const VehicleParams& v, const std::string& field) {
    if (field == "power-notches") return v.powerNotches;
    if (field == "brake-notches") return v.brakeNotches;
    if (field == "service-brake") return v.serviceBrakeKmhS;
    return v.emergencyBrakeKmhS;
}

// Why a `vehicle` line has no say over a loaded train.
std::string fromFileOnly(const std::string& field) {
    if (field == "resistance") return "its #PERFORMANCE gives the running resistance";
    if (field == "cars" || field == "car-length") return "its #CAR gives the cars and their length";
    if (field == "max-speed")
        return "its #ACCELERATION curves say how traction falls off with speed";
    return "its #ACCELERATION gives each power notch's traction";
}

}  // namespace

namespace {

// The field of the file a `vehicle` line takes the place of: no longer a default.
void given(TrainFile& train, const char* section, int index) {
    auto& list = train.defaulted;
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const DefaultedField& f) {
                                  return f.section == section && f.index == index;
                              }),
               list.end());
}

}  // namespace

bool adjustTrain(TrainFile& train, const std::string& field, double value) {
    if (field == "power-notches") {
        train.powerNotches = static_cast<int>(value);
        given(train, "HANDLE", 1);
    } else if (field == "brake-notches") {
        train.brakeNotches = static_cast<int>(value);
        given(train, "HANDLE", 2);
    } else if (field == "service-brake") {
        // The emergency brake is a share of the service deceleration in the
        // file; an emergency rate given on its own line is set after this.
        train.decelerationKmhS = value;
        given(train, "PERFORMANCE", 0);
    } else if (field == "emergency-brake") {
        train.emergencyCylinderKpa = train.serviceCylinderKpa * value / train.decelerationKmhS;
        given(train, "PRESSURE", 1);
    } else {
        return false;
    }
    return true;
}

void vehicleFromTrain(Scenario& scenario) {
    const TrainFile& train = *scenario.train;
    VehicleParams& v = scenario.vehicle;
    v.powerNotches = train.powerNotches;
    // A route places the train's rear and its stop by these.
    v.cars = carCount(train);
    v.carLengthM = train.carLengthM;
    v.brakeNotches = BrakeNumbering(train).serviceNotches();
    v.serviceBrakeKmhS = train.decelerationKmhS;
    v.emergencyBrakeKmhS =
        train.decelerationKmhS * train.emergencyCylinderKpa / train.serviceCylinderKpa;
}

void useTrain(Scenario& scenario, const std::string& path, std::optional<SourcePos> from) {
    ReadTrain read;
    try {
        read = readTrain(path);
    } catch (const DiagnosticError& error) {
        Diagnostic d = error.diagnostic();
        if (from) {
            d.note = "the train this scenario names";
            d.noteWhere = scenario.at(*from);
        }
        throw DiagnosticError(std::move(d));
    }
    for (Diagnostic& warning : read.warnings) scenario.findings.push_back(std::move(warning));
    scenario.train = std::move(read.train);
    // Notch counts and the service rate first: an emergency rate is kept as
    // a share of the service rate.
    for (const int pass : {0, 1})
        for (const VehicleLine& line : scenario.vehicleLines) {
            if ((line.field == "emergency-brake") != (pass == 1)) continue;
            if (adjustTrain(*scenario.train, line.field, fieldValue(scenario.vehicle, line.field)))
                continue;
            if (pass == 0)
                scenario.findings.push_back(scenario.warningAt(
                    line.pos, "'vehicle " + line.field + "' does not change a train read from " +
                                  scenario.train->path + ": " + fromFileOnly(line.field)));
        }
    vehicleFromTrain(scenario);
}

}  // namespace velt::drive
