#include "tools/velt-drive/audit/audit_recorder.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "tools/velt-drive/render/report_page.h"
#include "tools/velt-drive/sweep/outcome_codec.h"

namespace velt::drive {

namespace {
constexpr std::size_t kPlayerSamples = 512;
}  // namespace

std::string encodeAuditDrive(const AuditDriveRecord& record) {
    const SignalDrive& d = record.drive;
    ByteWriter out;
    out.maybe(d.approach);
    out.maybe(d.passed);
    out.real(d.furthestM);
    out.point(d.last);
    out.number(d.stoppedByProtection ? 1 : 0);
    out.text(d.endReason);
    DriveOutcome interventions;
    interventions.interventions = d.interventions;
    out.text(encodeOutcome(interventions));
    out.text(d.failure);
    out.number(record.beacons.size());
    for (const BeaconEvent& event : record.beacons) {
        out.number(event.beacon);
        out.text(event.text);
    }
    out.number(record.beaconsBefore);
    out.text(record.player);
    out.number(record.playerSeek);
    return out.take();
}

bool decodeAuditDrive(const std::string& bytes, AuditDriveRecord& record) {
    record = AuditDriveRecord{};
    SignalDrive& d = record.drive;
    ByteReader in(bytes);
    d.approach = in.maybe();
    d.passed = in.maybe();
    d.furthestM = in.real();
    d.last = in.point();
    d.stoppedByProtection = in.number() != 0;
    d.endReason = in.text();
    DriveOutcome interventions;
    const bool inner = decodeOutcome(in.text(), interventions);
    d.interventions = std::move(interventions.interventions);
    d.failure = in.text();
    record.beacons.resize(in.count(16));
    for (BeaconEvent& event : record.beacons) {
        event.beacon = static_cast<std::size_t>(in.number());
        event.text = in.text();
    }
    record.beaconsBefore = static_cast<std::size_t>(in.number());
    record.player = in.text();
    record.playerSeek = static_cast<std::size_t>(in.number());
    return inner && in.ok();
}

AuditRecorder::AuditRecorder(const Scenario& scenario, const Explainer* explainer,
                             const BeaconIndex& beacons, AuditWatch watch)
    : scenario_(scenario), beacons_(beacons), watch_(watch), outcome_(scenario, explainer) {}

void AuditRecorder::begin(int emergencyNotch) {
    emergencyNotch_ = emergencyNotch;
    outcome_.begin(emergencyNotch);
}

void AuditRecorder::event(const HostEvent& event) {
    outcome_.event(event);
    frameEvents_.push_back(event);
    if (keeping_) {
        HostEvent moved = event;
        moved.frame -= firstKept_;
        timeline_->event(moved);
    }
}

void AuditRecorder::finding(const Diagnostic& finding) { outcome_.finding(finding); }

void AuditRecorder::frame(const FrameRecord& frame) {
    outcome_.frame(frame);
    SignalDrive& d = record_.drive;
    const FramePoint at{frame.number, frame.elapsedMs, frame.positionM, frame.speedKmh};
    if (frame.number == 0) d.furthestM = frame.positionM;
    d.furthestM = std::max(d.furthestM, frame.positionM);
    if (!d.approach && frame.positionM >= watch_.approachFromM) d.approach = at;
    // The front has passed the beginning of the occupied section.
    if (!d.passed && frame.positionM > watch_.signalM) d.passed = at;
    pastSignalM_ = frame.positionM - watch_.signalM;

    // What velt said in this frame about a beacon the host reported.
    if (frame.core != nullptr)
        for (const ExplainedEvent& e : frame.core->events) {
            if (e.hostEvent < 0 || static_cast<std::size_t>(e.hostEvent) >= frameEvents_.size())
                continue;
            const HostEvent& host = frameEvents_[static_cast<std::size_t>(e.hostEvent)];
            if (host.kind != HostEvent::Kind::Beacon) continue;
            const int beacon = beacons_.find(host.source, host.positionM);
            if (beacon >= 0) record_.beacons.push_back({static_cast<std::size_t>(beacon), e.text});
        }
    frameEvents_.clear();

    // A stand counts once the train has moved: at the start it stands anyway.
    const bool braking = frame.out.brake > frame.driverBrake;
    if (frame.speedKmh != 0.0) moved_ = true;
    if (moved_ && frame.speedKmh == 0.0 && (braking || braking_)) stoppedByProtection_ = true;
    braking_ = braking;

    if (!keeping_ && frame.positionM >= watch_.playerFromM) {
        keeping_ = true;
        firstKept_ = frame.number;
        timeline_ = std::make_unique<CabTimeline>(scenario_);
        // Hundreds of drives share one page: a speed line of a few hundred
        // points each is as much as the player's readout needs.
        timeline_->setSampleLimit(kPlayerSamples);
        timeline_->begin(emergencyNotch_);
    }
    if (keeping_) {
        FrameRecord moved = frame;
        moved.number -= firstKept_;
        moved.elapsedMs = elapsedAtFrame(scenario_.frameMs, moved.number);
        timeline_->frame(moved);
    }
    d.last = at;
}

void AuditRecorder::end(const DriveEnd& end) {
    outcome_.end(end);
    SignalDrive& d = record_.drive;
    d.last = {end.last.number, end.last.elapsedMs, end.last.positionM, end.last.speedKmh};
    d.endReason = end.reason;
    d.stoppedByProtection = stoppedByProtection_;
    for (const InterventionOutcome& i : outcome_.outcome().interventions)
        if (i.explained.end.frame >= watchedFrom_) d.interventions.push_back(i);
    if (!end.divergence.empty()) d.failure = end.divergence;
    if (timeline_) {
        timeline_->end(end);
        record_.player = cabPlayerData(*timeline_);
        for (const InterventionOutcome& i : d.interventions)
            if (i.brake() && i.explained.start.frame >= firstKept_) {
                record_.playerSeek = i.explained.start.frame - firstKept_;
                break;
            }
    }
}

AuditDriveRecord AuditRecorder::take() {
    AuditDriveRecord record = std::move(record_);
    if (beaconsFrom_ > 0) {
        // A handed-off copy keeps the clear line's statements where they
        // lie: freeing thousands of them would have the kernel copy every
        // page they share with the clear line's process.
        const auto from = record.beacons.begin() + static_cast<std::ptrdiff_t>(beaconsFrom_);
        std::vector<BeaconEvent> own(std::make_move_iterator(from),
                                     std::make_move_iterator(record.beacons.end()));
        clearLineBeacons_ = std::move(record.beacons);
        record.beacons = std::move(own);
        record.beaconsBefore = beaconsFrom_;
        beaconsFrom_ = 0;
    }
    return record;
}

}  // namespace velt::drive
