#include "tools/velt-drive/outcome/outcome.h"

#include <algorithm>
#include <cmath>

#include "core/supervision.h"
#include "tools/velt-drive/explain/check_table.h"
#include "tools/velt-drive/explain/explainer.h"
#include "tools/velt-drive/explain/folding.h"
#include "tools/velt-drive/util/units.h"

namespace velt::drive {

namespace {

// A station counts as the target of a stop this close to it; farther away
// the train stopped for something else.
constexpr double kStationReachM = 500.0;

// A file's name without its directories, as the summary names lines.
std::string baseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

double secondsAt(const FramePoint& at) { return secondsOf(at.elapsedMs); }

// "the emergency brake at 669.1 m (98.3 s) by the CPP stop pattern"
std::string brakeText(const InterventionOutcome& brake) {
    const FramePoint& start = brake.explained.start;
    return std::string(brake.explained.startLevel == 2 ? "emergency brake" : "full-service brake") +
           " at " + metresText(start.positionM) + " (" + secondsText(secondsAt(start), 1) +
           ") by the " + checkName(brake.explained.check);
}

// "12.6 m short of 700.0 m" or "3.1 m past 700.0 m".
std::string against(double positionM, double targetM) {
    const double offset = positionM - targetM;
    return metresText(std::fabs(offset)) + (offset < 0.0 ? " short of " : " past ") +
           metresText(targetM);
}

std::string endText(const FramePoint& last) {
    return "the drive ended at " + metresText(last.positionM) + ", " + kmhText(last.speedKmh, 1) +
           " (" + secondsText(secondsAt(last), 1) + ")";
}

}  // namespace

std::optional<FramePoint> InterventionOutcome::emergency() const {
    if (explained.startLevel == 2) return explained.start;
    if (explained.raisedToEmergency) return explained.emergencyAt;
    return std::nullopt;
}

std::string sourceText(const std::string& file, int line) {
    return (file.empty() ? "line " : file + ":") + std::to_string(line);
}

bool sourceBefore(const std::string& fileA, int lineA, const std::string& fileB, int lineB) {
    return fileA != fileB ? fileA < fileB : lineA < lineB;
}

bool needsInterventions(const Expectation& expectation) {
    using Kind = Expectation::Kind;
    return expectation.kind == Kind::WarningLead ||
           ((expectation.kind == Kind::Never || expectation.kind == Kind::Happens) &&
            expectation.event != Expectation::Event::Warning);
}

bool DriveOutcome::met() const { return failedExpectations() == 0; }

int DriveOutcome::failedExpectations() const {
    return static_cast<int>(std::count_if(expectations.begin(), expectations.end(),
                                          [](const ExpectationResult& r) { return !r.met; }));
}

const InterventionOutcome* DriveOutcome::firstBrake() const {
    for (const InterventionOutcome& i : interventions)
        if (i.brake()) return &i;
    return nullptr;
}

std::optional<FramePoint> DriveOutcome::firstStop() const {
    if (!stops.empty()) return stops.front();
    if (last.speedKmh == 0.0) return last;
    return std::nullopt;
}

OutcomeRecorder::OutcomeRecorder(const Scenario& scenario, const Explainer* explainer)
    : scenario_(scenario), explainer_(explainer) {
    for (const Expectation& e : scenario.expectations) {
        crossings_.push_back({e.positionM, std::nullopt});
        if (e.kind == Expectation::Kind::StopBetween)
            crossings_.push_back({e.untilM, std::nullopt});
    }
    std::sort(crossings_.begin(), crossings_.end(),
              [](const Crossing& a, const Crossing& b) { return a.positionM < b.positionM; });
    warningSlots_[0] = static_cast<std::size_t>(soundSlot(cab::kSoundPatternWarning));
    warningSlots_[1] = static_cast<std::size_t>(soundSlot(cab::kSoundSpbWarning));
}

void OutcomeRecorder::begin(int /*emergencyNotch*/) {
    // A station is a target from the start, placed by the route's line in a
    // route drive and by the scenario's own line otherwise.
    for (const Station& station : scenario_.stations) {
        const bool fromRoute = station.source.line > 0;
        outcome_.targets.push_back({"station " + station.name,
                                    fromRoute ? station.source.line : station.pos.line,
                                    station.positionM, std::nullopt, std::nullopt,
                                    baseName(fromRoute ? station.source.file : scenario_.file)});
        waiting_.push_back(outcome_.targets.size() - 1);
        stationWindowM_.push_back(station.windowM);
    }
}

void OutcomeRecorder::event(const HostEvent& event) {
    if (event.kind == HostEvent::Kind::Jump) jumped_ = true;
}

void OutcomeRecorder::newTargets() {
    if (explainer_ == nullptr) return;
    const std::vector<PatternSpan>& patterns = explainer_->patterns();
    for (; patternsSeen_ < patterns.size(); ++patternsSeen_) {
        const PatternSpan& p = patterns[patternsSeen_];
        if (p.check == Check::Ccp) {
            const RestrictionResult armed{p.armedBy.line, p.targetM,
                                          p.brakesAboveKmh - kCcpDemandMarginKmh, std::nullopt,
                                          p.armedBy.file};
            auto known =
                std::find_if(outcome_.restrictions.begin(), outcome_.restrictions.end(),
                             [&](const RestrictionResult& r) { return r.sameSource(armed); });
            if (known == outcome_.restrictions.end()) {
                outcome_.restrictions.push_back(armed);
                known = outcome_.restrictions.end() - 1;
            }
            restricting_.emplace_back(
                static_cast<std::size_t>(known - outcome_.restrictions.begin()), patternsSeen_);
            continue;
        }
        const bool stop =
            (p.check == Check::CppStop || p.check == Check::Spb) && p.brakesAboveKmh == 0.0;
        if (!stop) continue;
        // A beacon passed again after a jump back aims at the same target.
        TargetResult target{p.check == Check::Spb ? "SPB target" : "CPP target",
                            p.armedBy.line,
                            p.targetM,
                            std::nullopt,
                            std::nullopt,
                            p.armedBy.file};
        if (std::any_of(outcome_.targets.begin(), outcome_.targets.end(),
                        [&](const TargetResult& t) { return t.sameSource(target); }))
            continue;
        outcome_.targets.push_back(std::move(target));
        waiting_.push_back(outcome_.targets.size() - 1);
    }
}

void OutcomeRecorder::finding(const Diagnostic& finding) {
    for (const Diagnostic& known : outcome_.findings)
        if (known.where.file == finding.where.file && known.where.line == finding.where.line &&
            known.where.column == finding.where.column && known.message == finding.message)
            return;
    outcome_.findings.push_back(finding);
}

void OutcomeRecorder::frame(const FrameRecord& frame) {
    const FramePoint at{frame.number, frame.elapsedMs, frame.positionM, frame.speedKmh};
    for (const std::size_t slot : warningSlots_) {
        // A chime plays in the frame its trigger reads 1.
        if (frame.sound[slot] != 1) continue;
        if (!outcome_.firstWarning) outcome_.firstWarning = at;
        if (warnings_.empty() || warnings_.back().frame != at.frame) warnings_.push_back(at);
    }
    newTargets();
    if (!restricting_.empty()) {
        const std::vector<PatternSpan>& patterns = explainer_->patterns();
        std::size_t kept = 0;
        for (const auto& [r, p] : restricting_) {
            if (patterns[p].ended) continue;
            RestrictionResult& restriction = outcome_.restrictions[r];
            if (frame.positionM >= restriction.fromM &&
                (!restriction.highest || frame.speedKmh > restriction.highest->speedKmh))
                restriction.highest = at;
            restricting_[kept++] = {r, p};
        }
        restricting_.resize(kept);
    }
    while (nextCrossing_ < crossings_.size() &&
           frame.positionM >= crossings_[nextCrossing_].positionM)
        crossings_[nextCrossing_++].at = at;
    for (const std::size_t t : waiting_) {
        TargetResult& target = outcome_.targets[t];
        if (!target.reached && frame.positionM >= target.positionM) target.reached = at;
    }
    // A jump puts the train down standing: that is no stop of its own. A
    // train standing at a station as the drive begins (a route's first
    // stop) has stopped there.
    const bool startsAtStation = frame.number == 0 && frame.speedKmh == 0.0;
    if (startsAtStation ||
        (frame.number > 0 && frame.speedKmh == 0.0 && lastSpeed_ != 0.0 && !jumped_)) {
        if (!startsAtStation) outcome_.stops.push_back(at);
        std::size_t kept = 0;
        for (const std::size_t t : waiting_) {
            TargetResult& target = outcome_.targets[t];
            const double offset = frame.positionM - target.positionM;
            const bool station = t < stationWindowM_.size();
            if (startsAtStation && (!station || std::fabs(offset) > stationWindowM_[t])) {
                waiting_[kept++] = t;
            } else if (station && std::fabs(offset) >= kStationReachM) {
                target.reached.reset();
                waiting_[kept++] = t;
            } else if (station && offset < -stationWindowM_[t]) {
                // Stopped short of it, by the protection or a signal: its
                // stop unless the train draws up to the station later.
                target.stop = at;
                waiting_[kept++] = t;
            } else {
                target.stop = at;
            }
        }
        waiting_.resize(kept);
    }
    jumped_ = false;
    lastSpeed_ = frame.speedKmh;
}

void OutcomeRecorder::end(const DriveEnd& end) {
    const FrameRecord& f = end.last;
    outcome_.last = {f.number, f.elapsedMs, f.positionM, f.speedKmh};
    outcome_.endReason = end.reason;
    outcome_.frames = end.frames;
    outcome_.divergence = end.divergence;
    auto& all = outcome_.interventions;
    all.resize(end.interventions.size());
    // Each brake's warning: the first chime after the brake before it let
    // go, up to the frame it began in; chimes while it braked were for it.
    std::optional<std::size_t> afterFrame;
    auto chime = warnings_.begin();
    for (std::size_t i = 0; i < all.size(); ++i) {
        InterventionOutcome& one = all[i];
        one.explained = end.interventions[i];
        if (!one.brake()) continue;
        chime = std::find_if(chime, warnings_.end(), [&](const FramePoint& w) {
            return !afterFrame || w.frame > *afterFrame;
        });
        if (chime != warnings_.end() && chime->frame <= one.explained.start.frame)
            one.warning = *chime;
        afterFrame = one.explained.end.frame;
    }
    foldReapplications();
    judge();
}

void OutcomeRecorder::foldReapplications() {
    auto& all = outcome_.interventions;
    std::vector<Intervention> explained;
    explained.reserve(all.size());
    for (const InterventionOutcome& one : all) explained.push_back(one.explained);
    std::vector<InterventionOutcome> kept;
    for (FoldedIntervention& row : foldInterventions(explained)) {
        // Its warning is the first application's: later ones came while the
        // driver was already being braked for the same check.
        InterventionOutcome one = all[row.first];
        one.explained = std::move(row.intervention);
        one.applications = row.applications;
        kept.push_back(std::move(one));
    }
    all = std::move(kept);
}

const std::optional<FramePoint>& OutcomeRecorder::crossing(double positionM) const {
    for (const Crossing& c : crossings_)
        if (c.positionM == positionM) return c.at;
    static const std::optional<FramePoint> kNever;
    return kNever;
}

void OutcomeRecorder::judge() {
    const DriveOutcome& o = outcome_;
    // Where the train came to a stand: every stop, or the end of a drive in
    // which it never moved.
    std::vector<FramePoint> stands = o.stops;
    if (stands.empty() && o.last.speedKmh == 0.0) stands.push_back(o.last);
    for (const Expectation& e : scenario_.expectations) {
        ExpectationResult r;
        const std::optional<FramePoint>& reached = crossing(e.positionM);
        switch (e.kind) {
            case Expectation::Kind::StopBefore: {
                const auto stand = std::find_if(
                    stands.begin(), stands.end(),
                    [&](const FramePoint& s) { return !reached || s.frame < reached->frame; });
                r.met = !reached && stand != stands.end();
                if (stand != stands.end() && !reached) {
                    r.detail = "stopped at " + metresText(stand->positionM) + ", " +
                               against(stand->positionM, e.positionM);
                } else if (reached) {
                    r.detail = "reached " + metresText(e.positionM) + " at " +
                               kmhText(reached->speedKmh, 1);
                    const auto after = std::find_if(
                        stands.begin(), stands.end(),
                        [&](const FramePoint& s) { return s.frame >= reached->frame; });
                    if (after != stands.end())
                        r.detail += " and stopped at " + metresText(after->positionM) + ", " +
                                    against(after->positionM, e.positionM);
                } else {
                    r.detail = "did not stop: " + endText(o.last);
                }
                break;
            }
            case Expectation::Kind::StopBetween: {
                const auto stand =
                    std::find_if(stands.begin(), stands.end(), [&](const FramePoint& s) {
                        return s.positionM >= e.positionM && s.positionM <= e.untilM;
                    });
                r.met = stand != stands.end();
                if (r.met) {
                    r.detail = "stopped at " + metresText(stand->positionM);
                } else if (!stands.empty()) {
                    r.detail =
                        "stopped at " + metresText(stands.front().positionM) +
                        (stands.size() > 1 ? " first" : "") + ", " +
                        against(stands.front().positionM,
                                stands.front().positionM < e.positionM ? e.positionM : e.untilM);
                } else {
                    r.detail = "did not stop: " + endText(o.last);
                }
                break;
            }
            case Expectation::Kind::Never:
            case Expectation::Kind::Happens: {
                // A full-service brake raised to emergency was a full-service brake first.
                const auto counts = [&](const InterventionOutcome& brake) {
                    return brake.brake() && (e.event == Expectation::Event::Brake ||
                                             (e.event == Expectation::Event::EmergencyBrake &&
                                              brake.explained.level == 2) ||
                                             (e.event == Expectation::Event::ServiceBrake &&
                                              brake.explained.startLevel == 1));
                };
                const auto first =
                    std::find_if(o.interventions.begin(), o.interventions.end(), counts);
                bool happened = first != o.interventions.end();
                if (e.event == Expectation::Event::Warning) {
                    happened = o.firstWarning.has_value();
                    r.detail = happened
                                   ? "first warning at " + metresText(o.firstWarning->positionM) +
                                         " (" + secondsText(secondsAt(*o.firstWarning), 1) + ")"
                                   : "no warning";
                } else if (happened) {
                    const auto n =
                        std::count_if(o.interventions.begin(), o.interventions.end(), counts);
                    r.detail = (n == 1 ? "the " : std::to_string(n) + " times, first the ") +
                               brakeText(*first);
                } else {
                    r.detail = "no " + std::string(e.event == Expectation::Event::Brake
                                                       ? "protection brake"
                                                   : e.event == Expectation::Event::EmergencyBrake
                                                       ? "emergency brake"
                                                       : "full-service brake");
                    if (const InterventionOutcome* brake = o.firstBrake())
                        r.detail +=
                            " (the protection braked otherwise: the " + brakeText(*brake) + ")";
                }
                r.met = e.kind == Expectation::Kind::Never ? !happened : happened;
                break;
            }
            case Expectation::Kind::WarningLead: {
                r.met = true;
                double shortest = -1.0;
                int brakes = 0;
                for (const InterventionOutcome& brake : o.interventions) {
                    if (!brake.brake()) continue;
                    ++brakes;
                    if (!brake.warning) {
                        r.met = false;
                        r.detail = "the " + brakeText(brake) + " came with no warning before it";
                        break;
                    }
                    const double lead =
                        secondsAt(brake.explained.start) - secondsAt(*brake.warning);
                    if (lead < e.seconds) {
                        r.met = false;
                        r.detail = "the " + brakeText(brake) + " came " + secondsText(lead, 1) +
                                   " after the warning at " + metresText(brake.warning->positionM);
                        break;
                    }
                    if (shortest < 0.0 || lead < shortest) shortest = lead;
                }
                if (r.met)
                    r.detail = shortest < 0.0
                                   ? "no protection brake"
                                   : "warned " + secondsText(shortest, 1) +
                                         (brakes > 1 ? " or more" : "") + " before the brake";
                break;
            }
            case Expectation::Kind::SpeedBelow:
            case Expectation::Kind::SpeedAbove: {
                const bool below = e.kind == Expectation::Kind::SpeedBelow;
                if (reached) {
                    r.met = below ? reached->speedKmh < e.speedKmh : reached->speedKmh > e.speedKmh;
                    r.detail = kmhText(reached->speedKmh, 1) + " at " + metresText(e.positionM);
                } else if (!stands.empty()) {
                    // A train that stood still short of the place never ran faster there.
                    r.met = below;
                    r.detail = "stopped at " + metresText(stands.back().positionM) + ", short of " +
                               metresText(e.positionM);
                } else {
                    r.detail = "never reached " + metresText(e.positionM) + ": " + endText(o.last);
                }
                break;
            }
        }
        outcome_.expectations.push_back(std::move(r));
    }
}

std::string describeExpectation(const Expectation& expectation, const ExpectationResult& result) {
    return expectation.text + ": " + result.detail;
}

}  // namespace velt::drive
