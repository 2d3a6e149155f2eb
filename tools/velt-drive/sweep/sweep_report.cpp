#include "tools/velt-drive/sweep/sweep_report.h"

#include <algorithm>
#include <cmath>

#include "tools/velt-drive/explain/check_table.h"
#include "tools/velt-drive/render/report.h"
#include "tools/velt-drive/util/csv.h"
#include "tools/velt-drive/util/number_format.h"

namespace velt::drive {

namespace {

// Failing drives listed under one expectation before "and N more".
constexpr std::size_t kFailuresShown = 8;

std::string fixed1(double value) { return formatFixed(value, 1); }

std::string levelWord(int level) { return level >= 2 ? "emergency" : "full service"; }

// The stop targets met in any drive, by the file and line that placed them
// (a route drive's stations and signals come from the route file).
std::vector<const TargetResult*> targetColumns(const SweepResult& result) {
    std::vector<const TargetResult*> columns;
    for (const SweepDrive& drive : result.drives)
        for (const TargetResult& t : drive.outcome.targets)
            if (std::none_of(columns.begin(), columns.end(),
                             [&](const TargetResult* c) { return c->sameSource(t); }))
                columns.push_back(&t);
    std::sort(columns.begin(), columns.end(), [](const TargetResult* a, const TargetResult* b) {
        return sourceBefore(a->file, a->line, b->file, b->line);
    });
    return columns;
}

// The CCP restrictions of a sweep by their beacon's file and line, each with
// its speed and where it began (the same in every drive unless the beacon moves).
std::vector<const RestrictionResult*> restrictionColumns(const SweepResult& result) {
    std::vector<const RestrictionResult*> columns;
    for (const SweepDrive& drive : result.drives)
        for (const RestrictionResult& r : drive.outcome.restrictions)
            if (std::none_of(columns.begin(), columns.end(),
                             [&](const RestrictionResult* c) { return c->sameSource(r); }))
                columns.push_back(&r);
    std::sort(columns.begin(), columns.end(),
              [](const RestrictionResult* a, const RestrictionResult* b) {
                  return sourceBefore(a->file, a->line, b->file, b->line);
              });
    return columns;
}

const RestrictionResult* restrictionOf(const SweepDrive& drive, const RestrictionResult& column) {
    for (const RestrictionResult& r : drive.outcome.restrictions)
        if (r.sameSource(column)) return &r;
    return nullptr;
}

// "47.3 (2.3 over) from 1000.0", "43.0 (2.0 under) from 1000.0", "not reached"
std::string restrictionCell(const RestrictionResult* r) {
    if (r == nullptr) return "-";
    const auto margin = r->marginKmh();
    if (!margin) return "not reached";
    return fixed1(r->highest->speedKmh) + " (" + fixed1(std::fabs(*margin)) +
           (*margin < 0.0 ? " over" : " under") + ") from " + fixed1(r->fromM);
}

const TargetResult* targetOf(const SweepDrive& drive, const TargetResult& column) {
    for (const TargetResult& t : drive.outcome.targets)
        if (t.sameSource(column)) return &t;
    return nullptr;
}

// "12.6 short", "3.1 past", "ran past" or "-" where the drive never met it.
std::string targetCell(const TargetResult* target) {
    if (target == nullptr) return "-";
    if (const auto offset = target->offsetM())
        return fixed1(std::fabs(*offset)) + (*offset < 0.0 ? " short" : " past");
    if (target->reached) return "ran past at " + formatFixed(target->reached->speedKmh, 0);
    return "no stop";
}

// Seconds from the first brake's warning chime to the brake.
std::optional<double> warningLead(const DriveOutcome& o) {
    const InterventionOutcome* brake = o.firstBrake();
    if (brake == nullptr || !brake->warning) return std::nullopt;
    return static_cast<double>(brake->explained.start.elapsedMs - brake->warning->elapsedMs) /
           1000.0;
}

std::string warningCell(const DriveOutcome& o) {
    if (o.firstBrake() == nullptr) return "-";
    const auto lead = warningLead(o);
    return lead ? fixed1(*lead) : "none";
}

// How an intervention began, and where it turned to emergency if it did later.
std::string levelText(const InterventionOutcome& one, int decimals) {
    const Intervention& e = one.explained;
    if (!one.brake()) return "power cut at " + formatFixed(e.start.positionM, decimals);
    std::string text = levelWord(e.startLevel) + " at " + formatFixed(e.start.positionM, decimals);
    if (e.startLevel < 2 && e.raisedToEmergency)
        text += ", emergency at " + formatFixed(e.emergencyAt.positionM, decimals);
    return text;
}

// "s.drive:17": the line behind an intervention, in the scenario or its route.
std::string causeLine(const Intervention& e) {
    return e.causeRef.known() ? sourceText(e.causeRef.file, e.causeRef.line) : "-";
}

// An intervention as the summary's table has it, with what its check found:
// "#1 93.400 s 636.0 m 25.0 km/h to 98.300 s 669.1 m, CPP stop pattern,
// emergency, s.drive:5 (stop curve ...), ended by standstill".
std::string interventionText(std::size_t number, const InterventionOutcome& one) {
    // The summary's row, after its "#".
    const TextTable table = interventionTable({one.explained});
    const std::vector<std::string>& c = table.rows.front();
    std::string text = "#" + std::to_string(number) + " " + c[1] + " " + c[2] + " " + c[3] +
                       " to " + c[4] + " " + c[5] + ", " + c[6] + ", " + levelText(one, 1) + ", " +
                       c[8];
    if (!one.explained.cause.empty()) text += " (" + one.explained.cause + ")";
    if (one.applications > 1) text += ", applied " + std::to_string(one.applications) + " times";
    return text + ", ended by " + c[9];
}

std::string expectationCell(const SweepResult& result, const SweepDrive& drive) {
    if (!drive.failure.empty()) return "did not run";
    const std::size_t count = result.base.expectations.size();
    if (count == 0) return "-";
    const int failed = drive.outcome.failedExpectations();
    if (failed == 0) return "met";
    // Which ones: the line and what it expects, as the author wrote it.
    std::string names;
    const auto& verdicts = drive.outcome.expectations;
    for (std::size_t e = 0; e < count && e < verdicts.size(); ++e) {
        if (verdicts[e].met) continue;
        const Expectation& expectation = result.base.expectations[e];
        names += (names.empty() ? "" : "; ") + std::string("line ") +
                 std::to_string(expectation.pos.line) + " '" + expectation.text + "'";
    }
    return "failed: " + names;
}

// A column name from a unit: "km/h/s" -> "kmh_s".
std::string unitSuffix(const std::string& unit) {
    std::string out;
    bool slashSeen = false;
    for (const char c : unit) {
        if (c != '/') {
            out += c;
        } else if (slashSeen) {
            out += '_';
        } else {
            slashSeen = true;
        }
    }
    return out;
}

std::string columnName(const std::string& name) {
    std::string out;
    for (const char c : name) out += (c == ' ' ? '_' : static_cast<char>(std::tolower(c)));
    return out;
}

// A CSV column's stem for a target or restriction: "cpp_target_line5" for
// the scenario's own line, "station_ashby_valley-line.csv_line12" for
// another file's.
std::string columnStem(const SweepResult& result, const std::string& name, const std::string& file,
                       int line) {
    const std::size_t slash = result.base.file.find_last_of("/\\");
    const std::string own =
        slash == std::string::npos ? result.base.file : result.base.file.substr(slash + 1);
    return columnName(name) + (file.empty() || file == own ? "" : "_" + columnName(file)) +
           "_line" + std::to_string(line);
}

std::string pointSeconds(const FramePoint& at) {
    return formatFixed(static_cast<double>(at.elapsedMs) / 1000.0, 3);
}

}  // namespace

std::size_t SweepResult::failedCount() const {
    return static_cast<std::size_t>(std::count_if(
        drives.begin(), drives.end(), [&](const SweepDrive& drive) { return failed(drive); }));
}

std::string SweepResult::valuesText(const SweepDrive& drive) const {
    std::string text;
    for (std::size_t i = 0; i < varies.size(); ++i)
        text +=
            (i == 0 ? "" : ", ") + varies[i].name + " " + formatValue(varies[i], drive.values[i]);
    return text;
}

std::string formatSweepTable(const SweepResult& result) {
    const std::vector<const TargetResult*> targets = targetColumns(result);
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> header = {""};
    for (const Vary& vary : result.varies)
        header.push_back(vary.unit.empty() ? vary.name : vary.name + " " + vary.unit);
    header.emplace_back("stopped at m");
    for (const TargetResult* t : targets)
        header.push_back(t->name + " (" + sourceText(t->file, t->line) + ") m");
    const std::vector<const RestrictionResult*> restrictions = restrictionColumns(result);
    for (const RestrictionResult* r : restrictions)
        header.push_back("highest over CCP " + formatFixed(r->limitKmh, 0) + " km/h (" +
                         sourceText(r->file, r->line) + "), from m");
    header.emplace_back("warned s before");
    header.emplace_back("first intervention, at m");
    header.emplace_back("cause");
    header.emplace_back("interventions");
    header.emplace_back("expectations");
    rows.push_back(header);
    for (const SweepDrive& drive : result.drives) {
        const DriveOutcome& o = drive.outcome;
        std::vector<std::string> row = {result.failed(drive) ? "FAIL" : ""};
        for (std::size_t i = 0; i < result.varies.size(); ++i)
            row.push_back(formatFixed(drive.values[i], result.varies[i].decimals));
        if (!drive.failure.empty()) {
            row.resize(header.size() - 1, "");
            row.push_back(expectationCell(result, drive));
            rows.push_back(row);
            continue;
        }
        const auto stop = o.firstStop();
        row.push_back(stop ? fixed1(stop->positionM) : "no stop");
        for (const TargetResult* t : targets) row.push_back(targetCell(targetOf(drive, *t)));
        for (const RestrictionResult* r : restrictions)
            row.push_back(restrictionCell(restrictionOf(drive, *r)));
        row.push_back(warningCell(o));
        if (o.interventions.empty()) {
            row.insert(row.end(), {"-", "-"});
        } else {
            const InterventionOutcome& first = o.interventions.front();
            row.push_back(std::string(checkName(first.explained.check)) + ": " +
                          levelText(first, 1));
            row.push_back(causeLine(first.explained));
        }
        row.push_back(std::to_string(o.interventions.size()));
        row.push_back(expectationCell(result, drive));
        rows.push_back(row);
    }
    const std::size_t firstIntervention = header.size() - 4;
    std::vector<std::size_t> widths(header.size(), 0);
    for (const auto& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::string& cell = row[c];
            const std::string fill(widths[c] - cell.size(), ' ');
            // Names and words to the left, numbers to the right.
            const bool left = c == 0 || c + 1 == row.size() || &row == &rows.front() ||
                              c == firstIntervention || c == firstIntervention + 1;
            line += (c == 0 ? "" : "  ") + (left ? cell + fill : fill + cell);
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + "\n";
    }
    return out;
}

std::string formatSweepFailures(const SweepResult& result) {
    std::string out;
    const std::vector<Expectation>& expectations = result.base.expectations;
    for (std::size_t e = 0; e < expectations.size(); ++e) {
        std::vector<const SweepDrive*> failing;
        for (const SweepDrive& drive : result.drives)
            if (drive.failure.empty() && !drive.outcome.expectations[e].met)
                failing.push_back(&drive);
        if (failing.empty()) continue;
        Diagnostic failed = diagnosticAt(
            Severity::Error, result.base.at(expectations[e].pos),
            "expectation not met in " + std::to_string(failing.size()) + " of " +
                std::to_string(result.drives.size()) + " drives: " + expectations[e].text);
        for (std::size_t i = 0; i < failing.size() && i < kFailuresShown; ++i)
            failed.moreNotes.push_back(result.valuesText(*failing[i]) + ": " +
                                       failing[i]->outcome.expectations[e].detail);
        if (failing.size() > kFailuresShown)
            failed.moreNotes.push_back("and " + std::to_string(failing.size() - kFailuresShown) +
                                       " more (the table has them all)");
        out += formatDiagnostic(failed);
    }
    for (const SweepDrive& drive : result.drives)
        if (!drive.failure.empty())
            out += "velt-drive sweep: " + result.valuesText(drive) + ": " + drive.failure + "\n";
    return out;
}

std::string formatSweepCsv(const SweepResult& result) {
    const std::vector<const TargetResult*> targets = targetColumns(result);
    std::string out = "drive";
    for (const Vary& vary : result.varies)
        out +=
            "," + csvField(vary.unit.empty() ? vary.name : vary.name + "_" + unitSuffix(vary.unit));
    out += ",stopped_m";
    for (const TargetResult* t : targets) {
        const std::string name = columnStem(result, t->name, t->file, t->line);
        for (const char* column : {"_m", "_offset_m", "_reached_kmh"}) out += "," + name + column;
    }
    const std::vector<const RestrictionResult*> restrictions = restrictionColumns(result);
    for (const RestrictionResult* r : restrictions) {
        const std::string name = columnStem(result, "ccp", r->file, r->line);
        for (const char* column : {"_kmh", "_from_m", "_highest_kmh", "_highest_m"})
            out += "," + name + column;
    }
    out +=
        ",first_warning_s,first_warning_m,first_brake_s,first_brake_m,first_brake,warning_lead_s,"
        "first_check,first_cause_file,first_cause_line,first_cause,interventions_count,"
        "interventions,"
        "expectations_failed,expectations,end_s,end_m,end_kmh,end,failure\n";
    for (std::size_t d = 0; d < result.drives.size(); ++d) {
        const SweepDrive& drive = result.drives[d];
        const DriveOutcome& o = drive.outcome;
        std::vector<std::string> f = {std::to_string(d + 1)};
        for (std::size_t i = 0; i < result.varies.size(); ++i)
            f.push_back(formatFixed(drive.values[i], result.varies[i].decimals));
        const bool ran = drive.failure.empty();
        const auto stop = o.firstStop();
        f.push_back(ran && stop ? formatFixed(stop->positionM, 3) : "");
        for (const TargetResult* t : targets) {
            const TargetResult* target = ran ? targetOf(drive, *t) : nullptr;
            const auto offset = target != nullptr ? target->offsetM() : std::nullopt;
            f.push_back(target != nullptr ? formatFixed(target->positionM, 3) : "");
            f.push_back(offset ? formatFixed(*offset, 3) : "");
            f.push_back(target != nullptr && target->reached
                            ? formatFixed(target->reached->speedKmh, 3)
                            : "");
        }
        for (const RestrictionResult* column : restrictions) {
            const RestrictionResult* r = ran ? restrictionOf(drive, *column) : nullptr;
            f.push_back(r != nullptr ? formatFixed(r->limitKmh, 0) : "");
            f.push_back(r != nullptr ? formatFixed(r->fromM, 3) : "");
            f.push_back(r != nullptr && r->highest ? formatFixed(r->highest->speedKmh, 3) : "");
            f.push_back(r != nullptr && r->highest ? formatFixed(r->highest->positionM, 3) : "");
        }
        const auto& warning = o.firstWarning;
        f.push_back(ran && warning ? pointSeconds(*warning) : "");
        f.push_back(ran && warning ? formatFixed(warning->positionM, 3) : "");
        const InterventionOutcome* brake = ran ? o.firstBrake() : nullptr;
        f.push_back(brake != nullptr ? pointSeconds(brake->explained.start) : "");
        f.push_back(brake != nullptr ? formatFixed(brake->explained.start.positionM, 3) : "");
        f.push_back(brake != nullptr ? levelText(*brake, 3) : "");
        const auto lead = warningLead(o);
        f.push_back(ran && lead ? formatFixed(*lead, 3) : "");
        const Intervention* first =
            ran && !o.interventions.empty() ? &o.interventions.front().explained : nullptr;
        f.emplace_back(first != nullptr ? checkWord(first->check) : "");
        f.push_back(first != nullptr && first->causeRef.known() ? first->causeRef.file : "");
        f.push_back(first != nullptr && first->causeRef.known()
                        ? std::to_string(first->causeRef.line)
                        : "");
        f.push_back(first != nullptr ? first->cause : "");
        f.push_back(ran ? std::to_string(o.interventions.size()) : "");
        std::string rows;
        for (std::size_t i = 0; i < o.interventions.size(); ++i)
            rows += (i == 0 ? "" : " | ") + interventionText(i + 1, o.interventions[i]);
        f.push_back(rows);
        f.push_back(ran ? std::to_string(o.failedExpectations()) : "");
        std::string verdicts;
        for (std::size_t e = 0; ran && e < o.expectations.size(); ++e)
            verdicts += std::string(e == 0 ? "" : "; ") +
                        (o.expectations[e].met ? "met: " : "FAILED: ") +
                        describeExpectation(result.base.expectations[e], o.expectations[e]);
        f.push_back(verdicts);
        f.push_back(ran ? pointSeconds(o.last) : "");
        f.push_back(ran ? formatFixed(o.last.positionM, 3) : "");
        f.push_back(ran ? formatFixed(o.last.speedKmh, 3) : "");
        f.push_back(o.endReason);
        f.push_back(drive.failure);
        for (std::size_t i = 0; i < f.size(); ++i) out += (i == 0 ? "" : ",") + csvField(f[i]);
        out += "\n";
    }
    return out;
}

}  // namespace velt::drive
