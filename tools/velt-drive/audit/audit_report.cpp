#include "tools/velt-drive/audit/audit_report.h"

#include <algorithm>
#include <cmath>

#include "tools/velt-drive/explain/check_table.h"
#include "tools/velt-drive/render/report.h"
#include "tools/velt-drive/render/report_page.h"
#include "tools/velt-drive/scenario/beacons.h"
#include "tools/velt-drive/util/csv.h"
#include "tools/velt-drive/util/number_format.h"
#include "tools/velt-drive/util/svg_canvas.h"
#include "tools/velt-drive/util/units.h"

namespace velt::drive {

std::string routeLine(const SourceLocation& where) {
    const std::size_t slash = where.file.find_last_of("/\\");
    const std::string file = slash == std::string::npos ? where.file : where.file.substr(slash + 1);
    return where.line > 0 ? file + ":" + std::to_string(where.line) : file;
}

namespace {

std::string maybeFixed(const std::optional<double>& value) {
    return value ? formatFixed(*value, 1) : std::string();
}

std::string beaconName(const RouteBeacon& beacon) {
    const std::string name = beaconTypeName(beacon.type);
    return name.empty() ? "type " + std::to_string(beacon.type) : name;
}

std::string causeLine(const SignalResult& s) {
    return s.causeRef.known() ? s.causeRef.file + ":" + std::to_string(s.causeRef.line) : "";
}

TextTable signalTable(const AuditResult& result) {
    TextTable table;
    table.columns = {"section", "at",     "route line", "behind", "approach",
                     "verdict", "margin", "check",      "why"};
    for (const std::size_t i : findingsFirst(result.signals)) {
        const SignalResult& s = result.signals[i];
        table.rows.push_back({std::to_string(s.signal.section), metresText(s.signal.positionM),
                              routeLine(s.signal.where), std::to_string(s.signal.aspectBehind),
                              s.approachKmh ? kmhText(*s.approachKmh, 1) : "-",
                              verdictWord(s.verdict), s.marginM ? metresText(*s.marginM) : "-",
                              s.check == Check::None ? "-" : checkWord(s.check), s.why});
    }
    return table;
}

std::string clearLineText(const ClearLineResult& clear) {
    if (!clear.ran) return "not driven";
    if (!clear.failure.empty()) return "could not be run: " + clear.failure;
    if (clear.interventions.empty())
        return "no intervention (ended at " + metresText(clear.last.positionM) + ": " +
               clear.endReason + ")";
    return std::to_string(clear.interventions.size()) +
           (clear.interventions.size() == 1 ? " intervention" : " interventions") +
           " on a clear line: velt braked a train that did nothing wrong";
}

std::vector<Intervention> explained(const std::vector<InterventionOutcome>& interventions) {
    std::vector<Intervention> out;
    out.reserve(interventions.size());
    for (const InterventionOutcome& i : interventions) out.push_back(i.explained);
    return out;
}

}  // namespace

std::string formatAuditTable(const Route& route, const AuditResult& result) {
    std::string out = "Signals, findings first:\n" + formatTextTable(signalTable(result), 2);
    out += "\nClear line: " + clearLineText(result.clearLine) + "\n";
    if (!result.clearLine.interventions.empty())
        out += formatTextTable(interventionTable(explained(result.clearLine.interventions)), 6);
    std::size_t unused = 0;
    std::string lines;
    for (const BeaconLedgerRow& row : result.ledger) {
        if (!row.neverUsed()) continue;
        ++unused;
        const RouteBeacon& b = route.beacons[row.beacon];
        lines += "  " + routeLine(b.where) + " " + beaconName(b) + " at " +
                 metresText(b.positionM) + ": " + row.unusedWhy + "\n";
    }
    out += "\nBeacons: " + std::to_string(result.ledger.size() - unused) + " of " +
           std::to_string(result.ledger.size()) + " used by velt";
    out += unused == 0 ? ".\n" : "; never used:\n" + lines;
    return out;
}

std::string formatAuditCsv(const AuditResult& result) {
    std::string out = std::string(kAuditCsvHeader) + "\n";
    for (const SignalResult& s : result.signals) {
        out += std::to_string(s.signal.section) + "," + formatFixed(s.signal.positionM, 1) + "," +
               csvField(routeLine(s.signal.where)) + "," + std::to_string(s.signal.aspectBehind) +
               "," + maybeFixed(s.approachKmh) + "," + checkWord(s.check) + "," +
               maybeFixed(s.stopM) + "," + maybeFixed(s.marginM) + "," + verdictWord(s.verdict) +
               "\n";
    }
    return out;
}

// ---- the page

namespace {

const char* verdictColour(Verdict verdict) {
    switch (verdict) {
        case Verdict::Stopped: return palette::kMet;
        case Verdict::Overran: return palette::kFailed;
        case Verdict::NotReached: return palette::kServiceBrake;
    }
    return palette::kReported;
}

constexpr double kStripWidth = 1080.0;
constexpr double kStripLeft = 40.0;
constexpr double kRowHeight = 74.0;
constexpr int kMaxRows = 12;
constexpr double kMinRowM = 2500.0;

// The route in rows of equal, round length, each a strip: signals above
// the line, coloured by verdict; beacons below it, red when velt never
// used them; stations as labelled bars.
std::string stripSvg(const Route& route, const AuditResult& result) {
    double endM = 1.0;
    for (const RouteSection& s : route.sections) endM = std::max(endM, s.beginM);
    for (const RouteBeacon& b : route.beacons) endM = std::max(endM, b.positionM);
    for (const RouteStation& s : route.stations) endM = std::max(endM, s.positionM);
    // Rows of a round length (1, 2 or 5 times a power of ten), at least
    // 2.5 km each, and no more than kMaxRows of them.
    double rowM = 1000.0;
    for (int k = 0; rowM < std::max(endM / kMaxRows, kMinRowM); ++k)
        rowM *= (k % 3 == 1) ? 2.5 : 2.0;
    const int rows = std::max(1, static_cast<int>(std::ceil((endM + 1.0) / rowM)));
    const double scale = (kStripWidth - kStripLeft - 10.0) / rowM;
    const auto place = [&](double m, double& x, double& y) {
        const int row = std::min(rows - 1, static_cast<int>(m / rowM));
        x = kStripLeft + (m - row * rowM) * scale;
        y = 30.0 + row * kRowHeight;
    };
    std::string out = svgOpen(kStripWidth, rows * kRowHeight + 20.0, R"( id="strip")");
    for (int r = 0; r < rows; ++r) {
        const double y = 30.0 + r * kRowHeight;
        out += svgLine(kStripLeft, y, kStripLeft + rowM * scale, y,
                       R"(stroke="#444" stroke-width="2")");
        out += svgText(kStripLeft - 4.0, y + 4.0, formatPlain(r * rowM / 1000.0) + " km",
                       R"(font-size="10" text-anchor="end" fill="#555")");
    }
    for (const RouteStation& s : route.stations) {
        double x = 0.0;
        double y = 0.0;
        place(s.positionM, x, y);
        out +=
            svgRect(x - 1.5, y - 6.0, 3.0, 12.0, std::string("fill=\"") + palette::kStation + "\"");
        out += svgText(x, y + 34.0, s.name, R"(font-size="9" text-anchor="middle" fill="#34495e")");
    }
    std::vector<bool> unused(route.beacons.size(), false);
    for (const BeaconLedgerRow& row : result.ledger) unused[row.beacon] = row.neverUsed();
    for (std::size_t b = 0; b < route.beacons.size(); ++b) {
        double x = 0.0;
        double y = 0.0;
        place(route.beacons[b].positionM, x, y);
        out += R"(<line class="beacon" x1=")" + svgNumber(x) + R"(" y1=")" + svgNumber(y + 3.0) +
               "\" x2=\"" + svgNumber(x) + "\" y2=\"" + svgNumber(y + 13.0) + "\" stroke=\"" +
               (unused[b] ? palette::kFailed : palette::kBeacon) + "\"><title>" +
               escapeXml(routeLine(route.beacons[b].where) + " " + beaconName(route.beacons[b]) +
                         " at " + metresText(route.beacons[b].positionM) +
                         (unused[b] ? ": never used by velt" : "")) +
               "</title></line>\n";
    }
    for (const SignalResult& s : result.signals) {
        double x = 0.0;
        double y = 0.0;
        place(s.signal.positionM, x, y);
        out += svgLine(x, y, x, y - 12.0, R"(stroke="#444")");
        out += R"(<circle class="signal drive" data-drive=")" + std::to_string(s.drive) +
               "\" data-verdict=\"" + verdictWord(s.verdict) + "\" cx=\"" + svgNumber(x) +
               R"(" cy=")" + svgNumber(y - 16.0) + R"(" r="4.5" fill=")" +
               verdictColour(s.verdict) + "\"><title>" +
               escapeXml("section " + std::to_string(s.signal.section) + " at " +
                         metresText(s.signal.positionM) + " (" + routeLine(s.signal.where) +
                         "): " + verdictWord(s.verdict) + "; " + s.why) +
               "</title></circle>\n";
    }
    return out + "</svg>";
}

std::string cell(const std::string& text, bool number = false) {
    return std::string(number ? "<td class=\"num\">" : "<td>") + escapeXml(text) + "</td>";
}

}  // namespace

std::string renderAuditPage(const Route& route, const AuditResult& result,
                            const std::vector<AuditPlayerDrive>& drives, const std::string& title) {
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
        "style-src 'unsafe-inline'; script-src 'unsafe-inline'; img-src data:\">\n"
        "<title>velt-drive audit: " +
        escapeXml(title) + "</title>\n<style>\n" + cabPlayerStyle() +
        "svg .drive, tr.drive { cursor: pointer; }\ntr.overran td:first-child { border-left: 4px "
        "solid #c0392b; }\ntr.not-reached td:first-child { border-left: 4px solid #f39c12; }\n"
        "tr.unused { background: #fdedec; }\n.key span { margin-right: 14px; }\n"
        "</style></head><body>\n";
    const std::size_t overruns = result.overruns();
    std::size_t notReached = 0;
    for (const SignalResult& s : result.signals) notReached += s.verdict == Verdict::NotReached;
    out += "<h1>velt-drive audit: " + escapeXml(title) + "</h1>\n<p id=\"verdict\">" +
           escapeXml(std::to_string(result.signals.size()) + " signals: " +
                     std::to_string(result.signals.size() - overruns - notReached) + " stopped, " +
                     std::to_string(overruns) + " overran, " + std::to_string(notReached) +
                     " not reached. Clear line: " + clearLineText(result.clearLine) + ".") +
           "</p>\n";
    out +=
        "<h2>The route</h2>\n<p class=\"key\"><span style=\"color:#2e9e4f\">\u25cf stopped</span>"
        "<span style=\"color:#c0392b\">\u25cf overran</span><span style=\"color:#f39c12\">"
        "\u25cf not reached</span><span style=\"color:#7f8c8d\">| beacon</span>"
        "<span style=\"color:#c0392b\">| beacon velt never used</span>"
        "<span style=\"color:#34495e\">\u25ae station</span> Choose a signal or a row to "
        "open its drive in the player.</p>\n<div class=\"plot\">" +
        stripSvg(route, result) + "</div>\n";
    out += "<p id=\"shown-drive\"></p>\n" + cabPlayerMarkup();
    out +=
        "<h2>Signals, findings first</h2>\n<table id=\"signals\"><thead><tr><th>section</th>"
        "<th>at</th><th>route line</th><th>aspect behind</th><th>approach</th><th>verdict</th>"
        "<th>margin</th><th>check</th><th>cause line</th><th>why</th></tr></thead><tbody>";
    for (const std::size_t i : findingsFirst(result.signals)) {
        const SignalResult& s = result.signals[i];
        out += "<tr class=\"drive " + std::string(verdictWord(s.verdict)) + "\" data-drive=\"" +
               std::to_string(s.drive) + "\">" + cell(std::to_string(s.signal.section), true) +
               cell(metresText(s.signal.positionM), true) + cell(routeLine(s.signal.where)) +
               cell(std::to_string(s.signal.aspectBehind), true) +
               cell(s.approachKmh ? kmhText(*s.approachKmh, 1) : "-", true) +
               cell(verdictWord(s.verdict)) + cell(s.marginM ? metresText(*s.marginM) : "-", true) +
               cell(s.check == Check::None ? "-" : checkName(s.check)) + cell(causeLine(s)) +
               cell(s.why) + "</tr>";
    }
    out += "</tbody></table>\n<h2>Clear line</h2>\n<p id=\"clear-line\">" +
           escapeXml(clearLineText(result.clearLine)) + "</p>\n";
    if (!result.clearLine.interventions.empty()) {
        TextTable table = interventionTable(explained(result.clearLine.interventions));
        out += "<table id=\"clear-interventions\"><thead><tr>";
        for (const std::string& c : table.columns) out += "<th>" + escapeXml(c) + "</th>";
        out += "</tr></thead><tbody>";
        for (const auto& row : table.rows) {
            out +=
                R"(<tr class="drive" data-drive=")" + std::to_string(result.signals.size()) + "\">";
            for (const std::string& c : row) out += cell(c);
            out += "</tr>";
        }
        out += "</tbody></table>\n";
    }
    out +=
        "<h2>Beacons</h2>\n<p>What velt did with each beacon across the audit's drives. "
        "Beacons it never used are marked.</p>\n<table id=\"ledger\"><thead><tr><th>route "
        "line</th><th>at</th><th>type</th><th>section</th><th>optional</th><th>passed in"
        "</th><th>what velt did</th></tr></thead><tbody>";
    for (const BeaconLedgerRow& row : result.ledger) {
        const RouteBeacon& b = route.beacons[row.beacon];
        std::string fates;
        for (const LedgerFate& f : row.fates)
            fates += (fates.empty() ? "" : "; ") + f.text + " (" + std::to_string(f.drives) +
                     (f.drives == 1 ? " drive)" : " drives)");
        out += std::string(row.neverUsed() ? "<tr class=\"unused\">" : "<tr>") +
               cell(routeLine(b.where)) + cell(metresText(b.positionM), true) +
               cell(beaconName(b)) + cell(std::to_string(b.section), true) +
               cell(std::to_string(b.optional), true) +
               cell(std::to_string(row.passedIn) + " drives", true) +
               cell(row.neverUsed() ? row.unusedWhy : fates) + "</tr>";
    }
    out += "</tbody></table>\n";
    // Each drive's data, parsed only when its row is chosen.
    std::size_t first = drives.size();
    for (const std::size_t i : findingsFirst(result.signals))
        if (result.signals[i].drive < drives.size() &&
            !drives[result.signals[i].drive].data.empty()) {
            first = result.signals[i].drive;
            break;
        }
    for (std::size_t d = 0; d < drives.size(); ++d) {
        if (drives[d].data.empty()) continue;
        if (first == drives.size()) first = d;
        std::string label = "the clear line";
        for (const SignalResult& s : result.signals)
            if (s.drive == d)
                label = "section " + std::to_string(s.signal.section) + " at " +
                        metresText(s.signal.positionM) + " (" + routeLine(s.signal.where) + "), " +
                        verdictWord(s.verdict) + ": " + s.why;
        out += R"(<script type="application/json" id="drive-)" + std::to_string(d) +
               R"(" data-seek=")" + std::to_string(drives[d].seek) + R"(" data-label=")" +
               escapeXml(label) + "\">" + drives[d].data + "</script>\n";
    }
    if (first < drives.size())
        out += R"(<script type="application/json" id="drive-data">)" + drives[first].data +
               "</script>\n<script>\n" + cabPlayerScript() +
               "function openDrive(id, scroll) {\n"
               "  const data = document.getElementById('drive-' + id);\n"
               "  if (!data) return;\n"
               "  veltShowDrive(JSON.parse(data.textContent), +data.dataset.seek, scroll);\n"
               "  document.getElementById('shown-drive').textContent = 'In the player: ' +"
               " data.dataset.label;\n}\n"
               "for (const el of document.querySelectorAll('.drive'))\n"
               "  el.addEventListener('click', () => openDrive(el.dataset.drive, true));\n"
               "openDrive(" +
               std::to_string(first) + ", false);\n</script>\n";
    return out + "</body></html>\n";
}

}  // namespace velt::drive
