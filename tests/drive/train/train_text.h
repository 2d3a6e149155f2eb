// Synthetic train files for the train room's tests.
#pragma once

#include <string>

#include "tools/velt-drive/train/train_file.h"

namespace velt::drive {

// The train a file of the current format gives: `body` follows the header.
inline ReadTrain readText(const std::string& body, const std::string& header = "X2000000") {
    return parseTrain(header + "\n" + body, "t.dat");
}

inline TrainFile trainFrom(const std::string& body) { return readText(body).train; }

}  // namespace velt::drive
