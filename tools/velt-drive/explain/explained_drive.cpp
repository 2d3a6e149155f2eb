#include "tools/velt-drive/explain/explained_drive.h"

namespace velt::drive {

ExplainedDrive::ExplainedDrive(const Scenario& scenario, const PluginLibrary& library,
                               Explain explain, const RouteDrive* route)
    : scenario_(scenario),
      library_(library),
      explain_(explain),
      route_(route),
      twin_(scenario, library.path(),
            explain == Explain::Interventions ? Explainer::Scope::Interventions
                                              : Explainer::Scope::Everything) {}

DriveEnd ExplainedDrive::run(const std::vector<DriveConsumer*>& consumers) {
    Witness* witness = explain_ == Explain::Nothing ? nullptr : &twin_;
    return runDrive(scenario_, library_.api(), witness, consumers, route_);
}

DriveEnd driveRouteWithStandingTrain(const Scenario& scenario, const RouteTrack& track,
                                     const PluginLibrary& library, int section,
                                     RouteDriver& driver, Explain explain,
                                     const std::vector<DriveConsumer*>& consumers) {
    RouteDrive route;
    route.track = &track;
    if (section >= 0) route.standing.push_back({section, std::nullopt});
    route.driver = &driver;
    route.endWhenProtectionStops = true;
    return ExplainedDrive(scenario, library, explain, &route).run(consumers);
}

}  // namespace velt::drive
