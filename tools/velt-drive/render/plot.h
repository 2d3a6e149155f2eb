// The SVG plot of a drive: speed against position with the protection's
// braking shaded, warnings, chimes, stops, beacons, signals and stations
// marked, the braking curves of the pattern beacons drawn, and the handles
// below.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "tools/velt-drive/drive/drive.h"
#include "tools/velt-drive/render/report.h"
#include "tools/velt-drive/scenario/scenario.h"

namespace velt::drive {

// Records what the plot draws as the drive runs: the speed line, thinned
// where points would overlap, and the handles where they change.
class PlotRecorder : public DriveConsumer {
public:
    explicit PlotRecorder(const Scenario& scenario);

    void begin(int emergencyNotch) override;
    void event(const HostEvent& event) override;
    void frame(const FrameRecord& frame) override;

    // The finished plot, once the drive has ended.
    std::string render(const Report& report, const DriveEnd& end) const;

    // Points kept before the speed line is thinned; tests lower it.
    void setPointLimit(std::size_t limit) { limit_ = limit; }
    std::size_t speedPoints() const { return speed_.size(); }

private:
    friend class Plot;

    struct SpeedPoint {
        double positionM;
        double speedKmh;  // magnitude
        bool jump;        // the line breaks before this point
    };
    struct Step {
        double positionM;
        int value;
        bool jump;
    };
    enum HandleLine : std::size_t {
        kDriverPower,
        kDriverBrake,
        kAppliedPower,
        kAppliedBrake,
        kHandleLines
    };

    void thin();

    const Scenario& scenario_;
    int emergencyNotch_ = 0;
    double lowM_ = 0.0;
    double highM_ = 0.0;
    double topKmh_ = 0.0;
    bool jumped_ = false;
    std::vector<SpeedPoint> speed_;
    std::array<std::vector<Step>, kHandleLines> handles_;
    std::size_t limit_ = 1 << 16;
    double thinning_ = 1.0;
};

}  // namespace velt::drive
