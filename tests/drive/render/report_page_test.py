#!/usr/bin/python3
"""The report page in a real browser: headless Chromium loads the report of a
shipped scenario, the slider is moved to known frames (and stepped by key and
button), and the codes, lamps, handles and starting sounds the page shows
must equal the trace's values at those frames. Also leaves a screenshot of
the page at the demo's emergency brake.

Usage: report_page_test.py TOOL PLUGIN SCENARIO_DIR WORKDIR
Exit code 77 (skipped) only where Chromium or its driver is not installed.
"""
import csv
import os
import shutil
import subprocess
import sys
import tempfile

SKIP = 77
tool, plugin, scenarios, work = sys.argv[1:5]
os.makedirs(work, exist_ok=True)

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
except ImportError:
    print("skipped: python3-selenium is not installed (bash scripts/install-deps.sh installs it)")
    sys.exit(SKIP)
browser = shutil.which("chromium")
driver_path = shutil.which("chromedriver")
if not browser or not driver_path:
    print("skipped: chromium or chromium-driver is not installed "
          "(bash scripts/install-deps.sh installs them)")
    sys.exit(SKIP)

ONE_SHOTS = {1: "bell release chime", 5: "supervision-change chime", 6: "pattern warning chime",
             7: "SPB warning chime", 10: "lamp switch sound", 11: "confirm chime",
             15: "start/stop chime", 21: "buzzer-off sound", 22: "station chime B",
             23: "station chime A", 25: "door chime A", 26: "door chime B"}
failures = []


def check(what, got, expected):
    if str(got) != str(expected):
        failures.append(f"{what}: the page shows {got!r}, the trace has {expected!r}")


def run_scenario(name, *options):
    base = os.path.join(work, os.path.basename(name) + "".join(options))
    subprocess.run([tool, "-q", *options, "--plugin", plugin, "--trace", base + ".csv", "--plot",
                    base + ".svg", "--time-plot", base + "-time.svg", "--report", base + ".html",
                    os.path.join(scenarios, name + ".drive")], check=True,
                   stdout=subprocess.DEVNULL)
    with open(base + ".csv", newline="") as f:
        return base + ".html", list(csv.DictReader(f))


def open_browser():
    options = webdriver.ChromeOptions()
    options.binary_location = browser
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                 "--no-first-run", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--window-size=1200,1000",
                 "--user-data-dir=" + tempfile.mkdtemp(prefix="velt-chromium-")):
        options.add_argument(flag)
    return webdriver.Chrome(service=Service(driver_path), options=options)


def move_slider(page, frame):
    """Sets the range input as a drag does, with the input event it fires."""
    page.execute_script(
        "const s = document.getElementById('slider'); s.value = arguments[0];"
        "s.dispatchEvent(new Event('input', {bubbles: true}));", frame)


READ_PAGE = """
const value = id => document.getElementById(id).dataset;
const shown = {};
for (const p of [20, 21, 22, 23]) shown['panel' + p] = value('tile-' + p).code;
for (const l of [10, 11, 12, 13, 40, 45, 50]) shown['panel' + l] = value('lamp-' + l).value;
for (const [id, column] of [['handle-brake', 'brake'], ['handle-power', 'power'],
    ['handle-reverser', 'reverser'], ['handle-constantSpeed', 'constant_speed'],
    ['driver-brake', 'driver_brake'], ['driver-power', 'driver_power'],
    ['driver-reverser', 'driver_reverser'], ['doors', 'doors_closed']])
  shown[column] = value(id).value;
shown.starting = value('sounds-start').sounds.split('|');
return shown;
"""


def compare(page, name, rows, frame):
    """Reads what the page shows, all in one call, against the trace's row."""
    row = rows[frame]
    shown = page.execute_script(READ_PAGE)
    for column, got in shown.items():
        if column != "starting":
            check(f"{name} frame {frame} {column}", got, row[column])
    for index, sound in ONE_SHOTS.items():
        check(f"{name} frame {frame} sound {index} starts", sound in shown["starting"],
              row[f"sound{index}"] == "1")


def frames_to_check(rows, interesting):
    chosen = {0, len(rows) - 1}
    for k in range(1, len(rows)):  # every change of a display code, and the frame before it
        if any(rows[k][f"panel{p}"] != rows[k - 1][f"panel{p}"] for p in (20, 21, 22, 23)):
            chosen.update({k - 1, k})
    chosen.update(k for k in interesting if 0 <= k < len(rows))
    return sorted(chosen)


def check_causes(page, name, rows):
    """The interventions table holds the summary's rows; a cause's link shows
    the moment it names ("90.233 s, 664.6 m") in the player."""
    summary = page.find_element(By.ID, "summary").text.partition("Interventions:\n")[2]
    printed = [" ".join(line.split()) for line in summary.splitlines()
               if line.split()[:1] and line.split()[0].isdigit()]
    table = page.execute_script("return [...document.querySelectorAll('#interventions tbody tr')]"
                                ".map(r => [...r.cells].map(c => c.textContent).join(' '));")
    check(f"{name}: the interventions table", [" ".join(r.split()) for r in table], printed)
    links = page.find_elements(By.CSS_SELECTOR, "#causes a")
    check(f"{name}: a cause for each intervention", len(links) >= len(table), True)
    for link in links[:2]:
        moment = link.text.split(", ")
        link.click()
        check(f"{name}: the player at {link.text}",
              all(part in page.find_element(By.ID, "now").text for part in moment), True)


page = open_browser()
try:
    # A black-box drive's page says why it has no causes; its player works.
    html, rows = run_scenario("demo", "--black-box")
    page.get("file://" + html)
    check("black box: says it has no causes", [bool(page.find_elements(By.ID, i))
                                               for i in ("no-causes", "interventions")], [True, False])
    move_slider(page, len(rows) // 2)
    compare(page, "black box", rows, len(rows) // 2)
    for name in ("demo", "examples/door-link", "station-stop"):
        html, rows = run_scenario(name)
        page.get("file://" + html)
        emergency = next((k for k, r in enumerate(rows)
                          if r["brake"] != r["driver_brake"] and int(r["brake"]) >= 9), None)
        checked = frames_to_check(rows, range(0, len(rows), 97))
        if len(checked) > 400:
            checked = checked[::len(checked) // 400 + 1]
        for frame in checked:
            move_slider(page, frame)
            compare(page, name, rows, frame)
        # Stepping: the arrow key on the slider and the step button.
        move_slider(page, 100)
        page.find_element(By.ID, "slider").send_keys(Keys.ARROW_RIGHT)
        compare(page, name + " after the arrow key", rows, 101)
        page.find_element(By.ID, "forward").click()
        compare(page, name + " after the step button", rows, 102)
        page.find_element(By.ID, "back").click()
        compare(page, name + " after stepping back", rows, 101)
        print(f"ok: {name}: {len(checked) + 3} frames compared with the trace")
        check_causes(page, name, rows)
        if name == "demo":
            if emergency is None:
                failures.append("demo: no emergency brake in the trace")
            else:
                move_slider(page, emergency)
                compare(page, "demo at the emergency brake", rows, emergency)
                page.execute_script("window.scrollTo(0, 0)")
                shot = os.path.join(work, "report-demo-emergency.png")
                page.save_screenshot(shot)
                print(f"screenshot of the demo's emergency brake (frame {emergency}): {shot}")
finally:
    page.quit()

for failure in failures[:40]:
    print("FAILED:", failure)
print(f"{len(failures)} mismatches" if failures else "all frames match the trace")
sys.exit(1 if failures else 0)
