// The compact form in which a drive's outcome travels from the process that
// drove it back to the sweep: numbers as their bytes, texts with their
// length. Written and read by the same executable.
#pragma once

#include <string>

#include "tools/velt-drive/outcome/outcome.h"

namespace velt::drive {

std::string encodeOutcome(const DriveOutcome& outcome);
bool decodeOutcome(const std::string& bytes, DriveOutcome& outcome);

}  // namespace velt::drive
