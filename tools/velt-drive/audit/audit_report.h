// What an audit tells: the table on the terminal (findings first), the CSV
// with one row per signal section, and the page: the route as a strip along
// its length with its signals coloured by verdict, its beacons and
// stations, the tables, and the cab player, into which each row puts its
// drive.
#pragma once

#include <string>
#include <vector>

#include "tools/velt-drive/audit/audit.h"

namespace velt::drive {

inline constexpr const char* kAuditCsvHeader =
    "section,position_m,route_line,aspect_behind,approach_kmh,check,stop_position_m,margin_m,"
    "verdict";

// "route.csv:42": where a route element was written, without folders.
std::string routeLine(const SourceLocation& where);

std::string formatAuditTable(const Route& route, const AuditResult& result);
std::string formatAuditCsv(const AuditResult& result);

// One drive in the page's player: its data, and the frame to show first.
struct AuditPlayerDrive {
    std::string data;  // empty: the drive has none
    std::size_t seek = 0;
};

// `drives` holds one entry per signal (SignalResult::drive indexes it),
// then the clear-line drive.
std::string renderAuditPage(const Route& route, const AuditResult& result,
                            const std::vector<AuditPlayerDrive>& drives, const std::string& title);

}  // namespace velt::drive
