"use strict";
let D = JSON.parse(document.getElementById("drive-data").textContent);
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
// Another drive into the player (the audit page has one per signal).
window.veltShowDrive = (data, k, scroll) => {
  pause(); D = data; $("slider").max = D.frames - 1; show(k);
  if (scroll) $("player").scrollIntoView();
};
// A link to "#frame=N" (the causes have them) shows that frame.
function frameInHash() { const m = /[#&]frame=(\d+)/.exec(location.hash); return m ? +m[1] : null; }
window.addEventListener("hashchange", () => {
  const k = frameInHash();
  if (k !== null) { pause(); show(k); $("player").scrollIntoView(); }
});
show(frameInHash() ?? 0);
