// The options every command takes (the drive, check, sweep and any command
// added later), given before or after the command's name: one home, so that
// a new command gets them by calling addSharedOptions on its subcommand.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace velt::drive {

struct SharedOptions {
    // --train: the author's train.dat, or its folder, for every scenario
    // driven; it replaces a scenario's own `vehicle file`.
    std::string trainPath;
};

inline void addSharedOptions(CLI::App& app, SharedOptions& shared) {
    app.add_option("--train", shared.trainPath,
                   "The vehicle author's train: a train.dat or the train's folder; replaces the "
                   "scenario's vehicle (and its 'vehicle file'), which 'vehicle' lines may adjust");
}

}  // namespace velt::drive
