// velt-drive: runs a scripted drive against the plug-in without the
// simulator, and tells where the train stopped and what the cab showed.
// The commands are in commands/, the stages they run in the rooms below.
#include <cstdio>
#include <exception>
#include <iostream>

#include "tools/velt-drive/commands/command_line.h"
#include "tools/velt-drive/commands/console.h"

int main(int argc, char** argv) {
    using velt::drive::kInternalError;
    using velt::drive::kOutputFailed;
    int status = kInternalError;
    try {
        status = velt::drive::runCommandLine(argc, argv);
    } catch (const std::exception& error) {
        // Out of memory or a library fault: say so rather than abort silently.
        std::cerr << "velt-drive: internal error: " << error.what() << "\n";
        return kInternalError;
    }
    // The summary is an output too: a full disk or a closed pipe behind
    // standard output is not a success.
    if (!std::cout.flush() || std::fflush(stdout) != 0) {
        std::cerr << "velt-drive: cannot write to standard output\n";
        return status == 0 ? kOutputFailed : status;
    }
    return status;
}
