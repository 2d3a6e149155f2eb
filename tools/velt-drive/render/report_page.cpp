#include "tools/velt-drive/render/report_page.h"

#include "tools/velt-drive/explain/panel_codes.h"
#include "tools/velt-drive/util/number_format.h"
#include "tools/velt-drive/util/svg_text.h"
#include "tools/velt-drive/util/units.h"

namespace velt::drive {

namespace {

std::string seconds(std::int64_t ms) { return secondsText(secondsOf(ms), 3); }

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

std::string dataJson(const CabTimeline& timeline) {
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

constexpr const char* kStyle = R"css(
body { font-family: "DejaVu Sans", Arial, sans-serif; margin: 0 auto; max-width: 1140px;
       padding: 0 16px 40px; color: #1c2833; }
h1 { font-size: 22px; margin: 18px 0 4px; } h2 { font-size: 17px; margin: 26px 0 8px; }
h3 { font-size: 14px; margin: 16px 0 6px; }
pre { background: #f4f6f7; padding: 10px; overflow: auto; font-size: 12px; max-height: 480px; }
table { border-collapse: collapse; font-size: 12px; margin: 4px 0; }
th, td { border: 1px solid #d5d8dc; padding: 3px 7px; text-align: left; vertical-align: top; }
th { background: #eaeded; } td.num { text-align: right; }
#causes { font-size: 13px; padding-left: 24px; } #causes ul { padding-left: 16px; }
tr.seek { cursor: pointer; } tr.seek:hover { background: #fef9e7; }
.plot svg { max-width: 100%; height: auto; border: 1px solid #eee; }
#player { position: sticky; top: 0; background: white; border-bottom: 1px solid #ccc;
          padding: 8px 0; z-index: 2; }
.controls { display: flex; gap: 8px; align-items: center; flex-wrap: wrap; }
.controls button { font-size: 14px; min-width: 36px; }
#slider { flex: 1; min-width: 300px; }
#now { font-family: monospace; font-size: 13px; }
.cab { display: flex; gap: 18px; flex-wrap: wrap; margin-top: 8px; align-items: flex-start; }
.tiles { display: flex; gap: 8px; }
.tile { width: 128px; height: 78px; border-radius: 6px; background: #17202a; color: #f7dc6f;
        padding: 6px; box-sizing: border-box; position: relative; }
.tile .element { font-size: 10px; color: #aab7b8; text-transform: uppercase; }
.tile .code { font-size: 24px; font-weight: bold; font-family: monospace; }
.tile .label { font-size: 11px; line-height: 1.2; }
.tile.blank .code, .tile.blank .label { color: #566573; }
.tile .blink { position: absolute; top: 5px; right: 6px; font-size: 9px; color: #f0b27a; }
.lamps { display: grid; grid-template-columns: repeat(4, auto); gap: 4px 10px; font-size: 11px; }
.lamp { display: flex; align-items: center; gap: 4px; }
.lamp i { width: 13px; height: 13px; border-radius: 50%; background: #d5d8dc; display: inline-block;
          border: 1px solid #999; }
.lamp.on i { background: #f4d03f; box-shadow: 0 0 6px #f4d03f; }
.handles td.differs { background: #fadbd8; font-weight: bold; }
.sounds { font-size: 11px; min-width: 220px; }
.sounds .start { color: #1f618d; font-weight: bold; }
)css";

constexpr const char* kScript = R"js(
"use strict";
const D = JSON.parse(document.getElementById("drive-data").textContent);
const codeLabels = new Map(D.codes.map(c => [c[0] + ":" + c[1], c[2]]));
const $ = id => document.getElementById(id);

function elapsedOf(k) { return D.frameMs > 0 ? k * D.frameMs : Math.floor(k * 1000 / 60); }
// The last entry whose frame is at or before k, in a flat array of `width`.
function lastAtOrBefore(flat, width, k) {
  let lo = 0, hi = flat.length / width - 1, found = -1;
  while (lo <= hi) {
    const mid = (lo + hi) >> 1;
    if (flat[mid * width] <= k) { found = mid; lo = mid + 1; } else { hi = mid - 1; }
  }
  return found;
}
function timeOfDay(k) {
  const a = lastAtOrBefore(D.clock, 3, k) * 3;
  return D.clock[a + 1] + elapsedOf(k) - elapsedOf(D.clock[a]);
}
// A span's value at a time: the display's own blink rule.
function spanAt(track, k) {
  const i = lastAtOrBefore(track, 4, k);
  return i < 0 ? null : { off: track[i * 4 + 1], on: track[i * 4 + 2], half: track[i * 4 + 3] };
}
function valueAt(track, k, t) {
  const s = spanAt(track, k);
  if (!s) return 0;
  if (s.half === 0) return s.on;
  return Math.trunc((t % (2 * s.half)) / s.half) !== 0 ? s.on : s.off;
}
function sampleAt(k) {
  const i = Math.max(0, lastAtOrBefore(D.samples, 3, k));
  return { position: D.samples[i * 3 + 1], speed: D.samples[i * 3 + 2] };
}
function period(half) { return (2 * half / 1000) + " s"; }

const tiles = [20, 21, 22, 23].map(panel => {
  const el = document.createElement("div");
  el.className = "tile"; el.id = "tile-" + panel;
  el.innerHTML = '<div class="element"></div><div class="code"></div><div class="label"></div>' +
                 '<div class="blink"></div>';
  el.querySelector(".element").textContent =
      ({20: "mode", 21: "limit", 22: "target", 23: "aux"})[panel] + " · panel " + panel;
  $("tiles").appendChild(el);
  return { panel, el };
});
const lamps = D.lamps.map(([index, name]) => {
  const el = document.createElement("span");
  el.className = "lamp"; el.id = "lamp-" + index;
  el.innerHTML = "<i></i>";
  el.appendChild(document.createTextNode(name + " (" + index + ")"));
  $("lamps").appendChild(el);
  return { index, el };
});

let frame = 0, playing = false, lastTick = 0, carry = 0;
function show(k) {
  frame = Math.max(0, Math.min(D.frames - 1, k | 0));
  $("slider").value = frame;
  const t = timeOfDay(frame), e = elapsedOf(frame), s = sampleAt(frame);
  $("now").textContent = "frame " + frame + " · " + (e / 1000).toFixed(3) + " s · " +
      new Date(t).toISOString().substr(11, 12) + " · " + s.position.toFixed(1) + " m · " +
      s.speed.toFixed(1) + " km/h";
  for (const { panel, el } of tiles) {
    const code = valueAt(D.panel[panel], frame, t);
    const span = spanAt(D.panel[panel], frame);
    el.dataset.code = code;
    el.classList.toggle("blank", code === 0);
    el.querySelector(".code").textContent = code;
    el.querySelector(".label").textContent = codeLabels.get(panel + ":" + code) || "";
    el.querySelector(".blink").textContent =
        span && span.half ? (span.off ? "alternates " : "blinks ") + period(span.half) : "";
  }
  for (const { index, el } of lamps) {
    const v = valueAt(D.panel[index], frame, t);
    el.dataset.value = v;
    el.classList.toggle("on", v !== 0);
  }
  for (const [name, driver] of [["brake", "driverBrake"], ["power", "driverPower"],
                                ["reverser", "driverReverser"], ["constantSpeed", null]]) {
    const applied = valueAt(D.handles[name], frame, t);
    const cell = $("handle-" + name);
    cell.textContent = applied; cell.dataset.value = applied;
    if (driver) {
      const own = valueAt(D.handles[driver], frame, t);
      const dcell = $("driver-" + name);
      dcell.textContent = own; dcell.dataset.value = own;
      cell.classList.toggle("differs", own !== applied);
    }
  }
  const doors = valueAt(D.handles.doorsClosed, frame, t);
  $("doors").textContent = doors ? "closed" : "open";
  $("doors").dataset.value = doors;
  const starting = [], sounding = [];
  for (const [index, name, loop] of D.sounds) {
    const v = valueAt(D.sound[index], frame, t);
    const before = frame > 0 ? valueAt(D.sound[index], frame - 1, timeOfDay(frame - 1)) : -10000;
    if (loop) {
      if (v === 0 || v === -1200) {
        const text = name + (v === -1200 ? " (attenuated)" : "");
        (before === v ? sounding : starting).push(text);
      }
    } else if (v === 1) {
      starting.push(name);
    }
  }
  $("sounds-start").textContent = starting.length ? starting.join(", ") : "none";
  $("sounds-start").dataset.sounds = starting.join("|");
  $("sounds-on").textContent = sounding.length ? sounding.join(", ") : "none";
  const cursor = $("time-cursor");
  if (cursor) {
    const svg = cursor.ownerSVGElement;
    const x0 = +svg.dataset.x0, x1 = +svg.dataset.x1, t1 = +svg.dataset.t1Ms;
    const x = x0 + (x1 - x0) * Math.min(1, e / t1);
    cursor.setAttribute("x1", x); cursor.setAttribute("x2", x);
  }
}

function step(by) { pause(); show(frame + by); }
function pause() { playing = false; $("play").textContent = "play"; }
function tick(now) {
  if (!playing) return;
  const rate = +$("rate").value;
  if (lastTick) carry += (now - lastTick) * rate;
  lastTick = now;
  let k = frame;
  while (k < D.frames - 1 && elapsedOf(k + 1) - elapsedOf(frame) <= carry) k++;
  if (k !== frame) { carry -= elapsedOf(k) - elapsedOf(frame); show(k); }
  if (frame >= D.frames - 1) { pause(); return; }
  requestAnimationFrame(tick);
}
$("slider").max = D.frames - 1;
$("slider").addEventListener("input", () => { pause(); show(+$("slider").value); });
$("back").addEventListener("click", () => step(-1));
$("forward").addEventListener("click", () => step(1));
$("play").addEventListener("click", () => {
  if (playing) { pause(); return; }
  if (frame >= D.frames - 1) show(0);
  playing = true; lastTick = 0; carry = 0; $("play").textContent = "pause";
  requestAnimationFrame(tick);
});
document.addEventListener("keydown", ev => {
  if (ev.target.tagName === "INPUT" || ev.target.tagName === "SELECT") return;
  if (ev.key === "ArrowRight") step(1);
  if (ev.key === "ArrowLeft") step(-1);
});
for (const row of document.querySelectorAll("tr.seek"))
  row.addEventListener("click", () => { pause(); show(+row.dataset.frame); $("player").scrollIntoView(); });
// The time view: a cursor, and a click moves the player there.
const timeSvg = document.querySelector("#time-plot svg");
if (timeSvg) {
  const line = document.createElementNS("http://www.w3.org/2000/svg", "line");
  line.id = "time-cursor";
  line.setAttribute("y1", 60); line.setAttribute("y2", timeSvg.viewBox.baseVal.height - 20);
  line.setAttribute("stroke", "#c0392b"); line.setAttribute("stroke-width", "1.5");
  timeSvg.appendChild(line);
  timeSvg.addEventListener("click", ev => {
    const box = timeSvg.getBoundingClientRect();
    const x = (ev.clientX - box.left) / box.width * timeSvg.viewBox.baseVal.width;
    const x0 = +timeSvg.dataset.x0, x1 = +timeSvg.dataset.x1, t1 = +timeSvg.dataset.t1Ms;
    const target = Math.max(0, (x - x0) / (x1 - x0)) * t1;
    let lo = 0, hi = D.frames - 1;
    while (lo < hi) { const mid = (lo + hi + 1) >> 1; if (elapsedOf(mid) <= target) lo = mid; else hi = mid - 1; }
    pause(); show(lo);
  });
}
// A link to "#frame=N" (the causes have them) shows that frame.
function frameInHash() { const m = /[#&]frame=(\d+)/.exec(location.hash); return m ? +m[1] : null; }
window.addEventListener("hashchange", () => {
  const k = frameInHash();
  if (k !== null) { pause(); show(k); $("player").scrollIntoView(); }
});
show(frameInHash() ?? 0);
)js";

}  // namespace

std::string renderReportPage(const CabTimeline& timeline, const Report& report, const DriveEnd& end,
                             const PageContent& content) {
    const std::string name = escapeXml(timeline.scenario().name);
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
        "style-src 'unsafe-inline'; script-src 'unsafe-inline'; img-src data:\">\n"
        "<title>velt-drive: " +
        name + "</title>\n<style>" + kStyle + "</style></head><body>\n";
    out += "<h1>velt-drive: " + name + "</h1>\n<p>" +
           escapeXml("Ended at " + seconds(end.last.elapsedMs) + ", " +
                     metresText(end.last.positionM) + ": " + end.reason + ".") +
           "</p>\n";
    out +=
        "<div id=\"player\"><div class=\"controls\">"
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
    out += "<h2>Interventions and their causes</h2>\n";
    if (!end.explained) {
        out +=
            "<p id=\"no-causes\">A black-box drive (--black-box): velt-drive's own core did not "
            "run beside the plug-in, so this page has no causes and no interventions table. The "
            "protection's brakes are still shaded in both plots and shown by the player.</p>\n";
    } else if (end.interventions.empty()) {
        out += "<p id=\"no-interventions\">The protection did not intervene.</p>\n";
    } else {
        out += tableHtml(interventionTable(end.interventions), "interventions") +
               "\n<p>Choose a row to show its start in the player.</p>\n<ol id=\"causes\">";
        for (std::size_t i = 0; i < end.interventions.size(); ++i) {
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
    out += R"(<script type="application/json" id="drive-data">)" + dataJson(timeline) +
           "</script>\n<script>" + kScript + "</script>\n</body></html>\n";
    return out;
}

}  // namespace velt::drive
