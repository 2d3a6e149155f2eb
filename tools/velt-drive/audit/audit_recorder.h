// What the audit keeps of one drive, taken as the drive runs: where the
// train reached the approach and passed the signal, where it ended, the
// interventions (folded as the summary folds them), what velt did with each
// beacon, and the last stretch of the drive for the page's cab player. It
// travels from the drive's process back to the audit as bytes.
#pragma once

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "tools/velt-drive/audit/audit.h"
#include "tools/velt-drive/outcome/outcome.h"
#include "tools/velt-drive/render/cab_timeline.h"

namespace velt::drive {

struct AuditDriveRecord {
    SignalDrive drive;
    std::vector<BeaconEvent> beacons;
    // A drive handed off from the clear line: how many of the clear line's
    // statements about beacons came before, and so are this drive's too.
    std::size_t beaconsBefore = 0;
    std::string player;          // the cab player's data for the stretch kept
    std::size_t playerSeek = 0;  // its frame where velt first braked in it
};

std::string encodeAuditDrive(const AuditDriveRecord& record);
bool decodeAuditDrive(const std::string& bytes, AuditDriveRecord& record);

// The places a recorder watches for. The clear-line drive watches no signal.
struct AuditWatch {
    double approachFromM = std::numeric_limits<double>::infinity();
    double signalM = std::numeric_limits<double>::infinity();
    // The player keeps the drive from where the front reached this.
    double playerFromM = 0.0;
};

// A drive that has velt's brake bring the train to a stand ends there; the
// recorder tells it when that has happened.
class AuditRecorder : public DriveConsumer {
public:
    AuditRecorder(const Scenario& scenario, const Explainer* explainer, const BeaconIndex& beacons,
                  AuditWatch watch);

    void begin(int emergencyNotch) override;
    void event(const HostEvent& event) override;
    void finding(const Diagnostic& finding) override;
    void frame(const FrameRecord& frame) override;
    void end(const DriveEnd& end) override;

    // Watches for another signal from the next frame on (a drive handed off
    // from the clear line), and keeps only the beacons' statements from
    // here on: the clear line reports those before once for all its copies.
    void watch(const AuditWatch& watch) {
        watch_ = watch;
        beaconsFrom_ = record_.beacons.size();
        watchedFrom_ = record_.drive.last.frame;
    }
    // The last frame recorded.
    [[nodiscard]] const FramePoint& last() const { return record_.drive.last; }

    // velt's brake has just brought the train to a stand.
    [[nodiscard]] bool stoppedByProtection() const { return stoppedByProtection_; }
    // The front has run this far past the signal.
    [[nodiscard]] double pastSignalM() const { return pastSignalM_; }

    // Complete once the drive has ended.
    AuditDriveRecord take();

private:
    const Scenario& scenario_;
    const BeaconIndex& beacons_;
    AuditWatch watch_;
    OutcomeRecorder outcome_;
    std::unique_ptr<CabTimeline> timeline_;
    int emergencyNotch_ = 0;
    std::size_t firstKept_ = 0;  // the frame the player's stretch starts at
    bool keeping_ = false;
    std::vector<HostEvent> frameEvents_;  // the host events before this frame
    AuditDriveRecord record_;
    bool braking_ = false;
    bool moved_ = false;
    std::size_t watchedFrom_ = 0;  // interventions that ended before are the clear line's
    std::size_t beaconsFrom_ = 0;  // the beacons' statements before are the clear line's
    // Those statements, set aside unfreed: see take().
    std::vector<BeaconEvent> clearLineBeacons_;
    bool stoppedByProtection_ = false;
    double pastSignalM_ = -std::numeric_limits<double>::infinity();
};

}  // namespace velt::drive
