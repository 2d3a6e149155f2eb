// velt-drive audit ROUTE [SCENARIO]: every signal section of a route driven
// with a train standing in it, the clear line, and the beacon ledger.
#pragma once

#include <cstdint>
#include <string>

namespace velt::drive {

struct AuditCommand {
    std::string routePath;
    std::string scenarioPath;  // optional: the vehicle and train to audit with
    std::string driver = "non-reacting";
    std::string tablePath;
    std::string reportPath;
    std::uint64_t seed = 1;
    int jobs = 0;  // 0: one per core
    bool quiet = false;
    bool strict = false;
    std::string trainPath;  // --train
};

int runAuditCommand(const AuditCommand& command, const std::string& pluginPath);

}  // namespace velt::drive
