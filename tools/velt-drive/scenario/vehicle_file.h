// The author's own train as a scenario's vehicle: `vehicle file PATH` or the
// command line's --train. The train is read by the train room; here it is
// made the drive's vehicle, and the scenario's `vehicle` lines adjust it.
#pragma once

#include <optional>
#include <string>

#include "tools/velt-drive/scenario/scenario.h"
#include "tools/velt-drive/train/train_file.h"

namespace velt::drive {

// `path` as a `vehicle file` line in `scenarioFile` names it: relative to
// the scenario's folder unless it is absolute.
std::string trainPathFrom(const std::string& scenarioFile, const std::string& path);

// Reads the train at `path` into scenario.train and tells its warnings as
// findings. The `vehicle` lines that have a meaning for a train adjust it
// (power-notches and brake-notches the declared counts, service-brake the
// deceleration, emergency-brake the emergency pressure); the others get a
// finding, since the file gives what they describe. Then scenario.vehicle
// holds the train's notches and brake rates. `from` is the `vehicle file`
// line (none: --train). Throws DiagnosticError when the train cannot be
// read, with a note at `from`.
void useTrain(Scenario& scenario, const std::string& path, std::optional<SourcePos> from);

// Sets a `vehicle` field of a loaded train; false for a field the train
// takes from its file alone. Rates in km/h/s.
bool adjustTrain(TrainFile& train, const std::string& field, double value);

// scenario.vehicle's notch counts and brake rates from scenario.train: the
// power notches, the service notches the driver counts (a hold notch or lap
// not among them), the deceleration at full service and at emergency.
void vehicleFromTrain(Scenario& scenario);

}  // namespace velt::drive
