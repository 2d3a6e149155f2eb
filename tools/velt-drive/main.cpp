// velt-drive: runs a scripted drive against the plug-in without the
// simulator, and tells where the train stopped and what the cab showed.
// The commands are in commands/, the stages they run in the rooms below.
#include <exception>
#include <iostream>

#include "tools/velt-drive/commands/command_line.h"
#include "tools/velt-drive/commands/console.h"

int main(int argc, char** argv) {
    try {
        return velt::drive::runCommandLine(argc, argv);
    } catch (const std::exception& error) {
        // Out of memory or a library fault: say so rather than abort silently.
        std::cerr << "velt-drive: internal error: " << error.what() << "\n";
        return velt::drive::kRunFailed;
    }
}
