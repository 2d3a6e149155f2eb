// The command line of velt-drive: its options and commands, and which of
// the commands (run_command.h, check_command.h, sweep_command.h) it runs.
#pragma once

namespace velt::drive {

// Reads the command line and runs what it asks for; the exit status.
int runCommandLine(int argc, char** argv);

}  // namespace velt::drive
