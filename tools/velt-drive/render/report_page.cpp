#include "tools/velt-drive/render/report_page.h"

// The page's style and script, embedded at build time from report_page.css
// and report_page.js beside this file.
#include "report_page_assets.h"

#include "tools/velt-drive/explain/panel_codes.h"
#include "tools/velt-drive/util/number_format.h"
#include "tools/velt-drive/util/svg_text.h"
#include "tools/velt-drive/util/units.h"

namespace velt::drive {

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '<') {
            out += "\\u003c";  // never "</script>" inside the data
        } else if (byte < 0x20) {
            const char* hex = "0123456789abcdef";
            out += "\\u00";
            out += hex[byte >> 4U];
            out += hex[byte & 0xFU];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

namespace {

std::string seconds(std::int64_t ms) { return secondsText(secondsOf(ms), 3); }

// A track as one flat array: frame, off, on, half period for each span.
std::string spansJson(const ValueTrack& track) {
    std::string out = "[";
    for (const ValueSpan& span : track.spans()) {
        if (out.size() > 1) out += ',';
        out += std::to_string(span.at.frame) + ',' + std::to_string(span.off) + ',' +
               std::to_string(span.on) + ',' + std::to_string(span.halfPeriodMs);
    }
    return out + "]";
}

}  // namespace

std::string cabPlayerData(const CabTimeline& timeline) {
    std::string out = "{\"name\":" + jsonString(timeline.scenario().name);
    out += ",\"frames\":" + std::to_string(timeline.frames());
    out += ",\"frameMs\":" + std::to_string(std::max(timeline.scenario().frameMs, 0));
    out += ",\"emergencyNotch\":" + std::to_string(timeline.emergencyNotch());
    out += ",\"clock\":[";
    for (const auto& anchor : timeline.clock())
        out += (out.back() == '[' ? "" : ",") + std::to_string(anchor.frame) + ',' +
               std::to_string(anchor.timeMs) + ',' + std::to_string(anchor.elapsedMs);
    out += "],\"samples\":[";
    for (const auto& sample : timeline.samples())
        out += (out.back() == '[' ? "" : ",") + std::to_string(sample.frame) + ',' +
               formatFixed(sample.positionM, 1) + ',' + formatFixed(sample.speedKmh, 1);
    out += "],\"panel\":{";
    for (std::size_t i = 0; i < kPanelIndices.size(); ++i)
        out += (i == 0 ? "\"" : ",\"") + std::to_string(kPanelIndices[i]) +
               "\":" + spansJson(timeline.panel(kPanelIndices[i]));
    out += "},\"sound\":{";
    for (std::size_t i = 0; i < kSoundIndices.size(); ++i)
        out += (i == 0 ? "\"" : ",\"") + std::to_string(kSoundIndices[i]) +
               "\":" + spansJson(timeline.sound(kSoundIndices[i]));
    static const char* const kHandleNames[CabTimeline::kHandles] = {
        "driverPower", "driverBrake", "driverReverser", "doorsClosed",
        "brake",       "power",       "reverser",       "constantSpeed"};
    out += "},\"handles\":{";
    for (std::size_t i = 0; i < CabTimeline::kHandles; ++i)
        out += (i == 0 ? "\"" : ",\"") + std::string(kHandleNames[i]) +
               "\":" + spansJson(timeline.handle(static_cast<CabTimeline::Handle>(i)));
    out += "},\"codes\":[";
    for (const PanelCode& code : panelCodes())
        out += (out.back() == '[' ? "" : ",") + std::string("[") + std::to_string(code.panel) +
               ',' + std::to_string(code.code) + ',' + jsonString(code.label) + ']';
    out += "],\"sounds\":[";
    for (const CabSound& sound : kCabSounds)
        out += (out.back() == '[' ? "" : ",") + std::string("[") + std::to_string(sound.index) +
               ',' + jsonString(sound.name) + ',' + (sound.loop ? "true" : "false") + ']';
    out += "],\"lamps\":[";
    for (const CabIndicator& lamp : kCabIndicators)
        if (lamp.lamp != nullptr)
            out += (out.back() == '[' ? "" : ",") + std::string("[") + std::to_string(lamp.index) +
                   ',' + jsonString(lamp.lamp) + ']';
    return out + "]}";
}

std::string cabPlayerMarkup() {
    return "<div id=\"player\"><div class=\"controls\">"
           "<button id=\"back\" title=\"one frame back (\u2190)\">\u25c0 frame</button>"
           "<button id=\"play\" title=\"play or pause\">play</button>"
           "<button id=\"forward\" title=\"one frame on (\u2192)\">frame \u25b6</button>"
           "<input id=\"slider\" type=\"range\" min=\"0\" value=\"0\" step=\"1\" "
           "aria-label=\"frame\">"
           "<select id=\"rate\" title=\"playing speed\"><option value=\"1\">1\u00d7</option>"
           "<option value=\"4\">4\u00d7</option><option value=\"16\">16\u00d7</option>"
           "<option value=\"64\">64\u00d7</option></select></div>"
           "<div id=\"now\"></div><div class=\"cab\"><div class=\"tiles\" id=\"tiles\"></div>"
           "<div class=\"lamps\" id=\"lamps\"></div>"
           "<table class=\"handles\"><tr><th></th><th>applied</th><th>driver's</th></tr>"
           "<tr><th>brake</th><td id=\"handle-brake\"></td><td id=\"driver-brake\"></td></tr>"
           "<tr><th>power</th><td id=\"handle-power\"></td><td id=\"driver-power\"></td></tr>"
           "<tr><th>reverser</th><td id=\"handle-reverser\"></td>"
           "<td id=\"driver-reverser\"></td></tr>"
           "<tr><th>constant speed</th><td id=\"handle-constantSpeed\"></td><td></td></tr>"
           "<tr><th>doors</th><td id=\"doors\" colspan=\"2\"></td></tr></table>"
           "<div class=\"sounds\"><div>starting in this frame: <span class=\"start\" "
           "id=\"sounds-start\"></span></div><div>sounding: <span id=\"sounds-on\"></span>"
           "</div></div></div></div>\n";
}

const char* cabPlayerStyle() { return kReportPageStyle; }
const char* cabPlayerScript() { return kReportPageScript; }

namespace {

std::string tableHtml(const TextTable& table, const std::string& id) {
    std::string out = "<table id=\"" + id + "\"><thead><tr>";
    for (const std::string& column : table.columns) out += "<th>" + escapeXml(column) + "</th>";
    out += "</tr></thead><tbody>";
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        out += "<tr";
        if (r < table.frames.size())
            out += R"( class="seek" data-frame=")" + std::to_string(table.frames[r]) +
                   R"(" title="show this moment in the player")";
        out += ">";
        for (const std::string& cell : table.rows[r]) out += "<td>" + escapeXml(cell) + "</td>";
        out += "</tr>";
    }
    return out + "</tbody></table>";
}

std::string codeTablesHtml() {
    std::string out;
    for (int panel = kFirstDisplayPanel; panel < kFirstDisplayPanel + kDisplayPanels; ++panel) {
        out += "<h3>Panel " + std::to_string(panel) + ": " + displayElement(panel) + "</h3>";
        out +=
            "<table class=\"codes\"><thead><tr><th>code</th><th>tile</th><th>shown when</th>"
            "<th>blinks</th></tr></thead><tbody>";
        for (const PanelCode& code : panelCodes()) {
            if (code.panel != panel) continue;
            out += "<tr><td class=\"num\">" + std::to_string(code.code) + "</td><td>" +
                   escapeXml(code.label) + "</td><td>" + escapeXml(code.meaning) + "</td><td>" +
                   escapeXml(code.blinks.empty() ? "no" : code.blinks) + "</td></tr>";
        }
        out += "</tbody></table>";
    }
    out +=
        "<h3>Lamps</h3><table class=\"codes\"><thead><tr><th>panel</th><th>lamp</th>"
        "<th>values</th></tr></thead><tbody>";
    for (const CabIndicator& lamp : kCabIndicators)
        if (lamp.lamp != nullptr)
            out += "<tr><td class=\"num\">" + std::to_string(lamp.index) + "</td><td>" +
                   escapeXml(lamp.lamp) + "</td><td>0 off, 1 on</td></tr>";
    return out + "</tbody></table>";
}

}  // namespace

std::string renderReportPage(const CabTimeline& timeline, const Report& report, const DriveEnd& end,
                             const PageContent& content) {
    const std::string name = escapeXml(timeline.scenario().name);
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
        "style-src 'unsafe-inline'; script-src 'unsafe-inline'; img-src data:\">\n"
        "<title>velt-drive: " +
        name + "</title>\n<style>\n" + kReportPageStyle + "</style></head><body>\n";
    out += "<h1>velt-drive: " + name + "</h1>\n<p>" +
           escapeXml("Ended at " + seconds(end.last.elapsedMs) + ", " +
                     metresText(end.last.positionM) + ": " + end.reason + ".") +
           "</p>\n";
    out += cabPlayerMarkup();
    out += "<h2>Interventions and their causes</h2>\n";
    if (!end.explained) {
        out +=
            "<p id=\"no-causes\">A black-box drive (--black-box): velt-drive's own core did not "
            "run beside the plug-in, so this page has no causes and no interventions table. The "
            "protection's brakes are still shaded in both plots and shown by the player.</p>\n";
    } else if (end.interventions.empty()) {
        out += "<p id=\"no-interventions\">The protection did not intervene.</p>\n";
    } else {
        const TextTable table = interventionTable(end.interventions);
        out += tableHtml(table, "interventions") +
               "\n<p>Choose a row to show its start in the player.</p>\n<ol id=\"causes\">";
        for (std::size_t i = 0; i < table.rows.size(); ++i) {
            out += "<li><ul>";
            for (const InterventionLine& line : report.interventionLines)
                if (line.intervention == i)
                    out += "<li><a href=\"#frame=" + std::to_string(line.at.frame) + "\">" +
                           seconds(line.at.elapsedMs) + ", " + metresText(line.at.positionM) +
                           "</a>: " + escapeXml(line.text) + "</li>";
            out += "</ul></li>";
        }
        out += "</ol>\n";
    }
    if (!content.stations.rows.empty())
        out += "<h2>Stations</h2>\n" + tableHtml(content.stations, "stations") + "\n";
    out += "<h2>Summary</h2>\n<pre id=\"summary\">" + escapeXml(content.summary) + "</pre>\n";
    out +=
        "<h2>The cab against time</h2>\n<p>Click the view to move the player there.</p>"
        "<div class=\"plot\" id=\"time-plot\">" +
        content.timePlot + "</div>\n";
    out += "<h2>Speed against position</h2>\n<div class=\"plot\" id=\"position-plot\">" +
           content.positionPlot + "</div>\n";
    out +=
        "<h2>Display codes to draw</h2>\n<p>Every code velt can show on the four display "
        "elements, what it means and whether it blinks; each needs an image in the cab. "
        "Blinking codes alternate with 0 (blank) unless said otherwise.</p>\n" +
        codeTablesHtml() + "\n";
    out += R"(<script type="application/json" id="drive-data">)" + cabPlayerData(timeline) +
           "</script>\n<script>\n" + kReportPageScript + "</script>\n</body></html>\n";
    return out;
}

}  // namespace velt::drive
