// One drive of the audit on the route. Placeholder until the route drive
// (a route scenario with a standing train and a driver of its own) is
// merged: every drive fails with this message.
#include <stdexcept>

#include "tools/velt-drive/audit/audit_run.h"

namespace velt::drive {

AuditDriveRecord driveForAudit(const Scenario& /*base*/, const AuditedSignal* /*signal*/,
                               AuditDriver /*driver*/, const PluginLibrary& /*plugin*/) {
    throw std::runtime_error("route drives are not built yet");
}

}  // namespace velt::drive
