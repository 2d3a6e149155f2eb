// What a sweep tells its author: a table with one row per drive (on the
// terminal and as CSV), the expectations that failed with each failing
// drive's values, and a plot of where the trains stopped.
#pragma once

#include <string>
#include <vector>

#include "tools/velt-drive/scenario/scenario.h"
#include "tools/velt-drive/sweep/sweep.h"

namespace velt::drive {

struct SweepResult {
    const Scenario& base;
    const std::vector<Vary>& varies;
    const std::vector<SweepDrive>& drives;

    [[nodiscard]] bool failed(const SweepDrive& drive) const {
        return !drive.failure.empty() || !drive.outcome.met();
    }
    [[nodiscard]] std::size_t failedCount() const;
    // "start-speed 120 km/h, emergency-brake 2.5 km/h/s"
    [[nodiscard]] std::string valuesText(const SweepDrive& drive) const;
};

// The terminal table: one row per drive, failed ones marked FAIL.
std::string formatSweepTable(const SweepResult& result);

// Every expectation that failed in some drive, as "file:line:column: error:"
// with a note per failing drive; and drives that could not be run.
std::string formatSweepFailures(const SweepResult& result);

// The table as CSV, one row per drive, with every value of the outcome.
std::string formatSweepCsv(const SweepResult& result);

// The SVG plot: with one varied quantity, the stop position against it with
// the stop targets marked; with two, a grid coloured by the margin to the
// first stop target (or by the stop position where there is none).
std::string renderSweepPlot(const SweepResult& result);

}  // namespace velt::drive
