#include "tools/velt-drive/explain/explained_drive.h"

namespace velt::drive {

ExplainedDrive::ExplainedDrive(const Scenario& scenario, const PluginLibrary& library,
                               Explain explain)
    : scenario_(scenario),
      library_(library),
      explain_(explain),
      twin_(scenario, library.path(),
            explain == Explain::Interventions ? Explainer::Scope::Interventions
                                              : Explainer::Scope::Everything) {}

DriveEnd ExplainedDrive::run(const std::vector<DriveConsumer*>& consumers) {
    Witness* witness = explain_ == Explain::Nothing ? nullptr : &twin_;
    return runDrive(scenario_, library_.api(), witness, consumers);
}

}  // namespace velt::drive
