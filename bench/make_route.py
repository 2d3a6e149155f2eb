#!/usr/bin/env python3
"""Writes a route in the host's CSV format for measuring velt-drive on it.

The route is what a route author writes for velt: a main file that sets the
options and includes one file per stretch of line at its offset, each file
`With Track`; signal sections with a CPP beacon before each signal; stations
with their stops, a departure signal held at some, and the station beacons
(SPP reminder, SPB stop, door link, kind-blink delay) before each; CCP
restrictions before each speed limit and CLF limits; the route code where
the line category changes and Velt sections that begin and end; legacy
speed-check pairs outside them; and, if asked, visual commands up to a
number of lines. The same arguments always write the same files.

    bench/make_route.py OUT_DIR [--length-km 100] [--beacons 2000]
        [--sections 400] [--stations 60] [--parts 10] [--lines 0] [--seed 1]

writes OUT_DIR/route.csv and OUT_DIR/parts/partNN.csv.
"""

import argparse
import bisect
import os
import random
import sys
import tempfile

NAMES = ["Ash", "Bel", "Cor", "Dun", "Eld", "Fen", "Gor", "Hal", "Ivy", "Jor", "Kel",
         "Lin", "Mor", "Nes", "Orm", "Pel", "Quin", "Ros", "Sel", "Tor"]
ENDINGS = ["ford", "by", "ham", "ton", "wick", "field", "mouth", "stead", "well", "bridge"]


def time_text(seconds):
    """A time of day as a route writes it: H.MMSS."""
    seconds = int(round(seconds))
    return "%d.%02d%02d" % (seconds // 3600, seconds // 60 % 60, seconds % 60)


def write_atomically(path, text):
    """Writes a whole file or none: a temporary file renamed into place."""
    folder = os.path.dirname(path) or "."
    handle, temporary = tempfile.mkstemp(dir=folder, prefix=".make_route.")
    try:
        with os.fdopen(handle, "w", newline="\n") as out:
            out.write(text)
        os.replace(temporary, path)
    except BaseException:
        os.unlink(temporary)
        raise


class Route:
    def __init__(self, args):
        self.args = args
        self.rng = random.Random(args.seed)
        self.length = args.length_km * 1000.0
        self.items = []  # (position, order, text); order keeps file order at one position
        self.beacons = 0

    def add(self, position, text):
        self.items.append((round(position, 1), len(self.items), text))

    def beacon(self, position, kind, section, data):
        self.add(position, ".Beacon %d;0;%d;%d" % (kind, section, data))
        self.beacons += 1

    def build(self):
        rng = self.rng
        length = self.length
        stations = self.args.stations
        middle = round(length / 2 / 25) * 25

        # The line: category 2 (route code 205) in its first half, category 0
        # (route code 3) in its second; Velt supervision from 200 m to the
        # middle and again from 1 km after it to the end, with legacy
        # supervision between.
        self.beacon(0, 21, 0, 205)
        self.beacon(200, 20, 0, 1)
        self.beacon(middle, 20, 0, 0)
        self.beacon(middle + 10, 21, 0, 3)
        self.beacon(middle + 1000, 20, 0, 1)
        self.add(0, ".Limit 110")

        # Stations, evenly spaced with some jitter; the train starts at the
        # first and ends at the last.
        spacing = length / max(stations - 1, 1)
        stops = []
        for k in range(stations):
            stop = 0.0 if k == 0 else min(length - 100, k * spacing + rng.uniform(-0.1, 0.1) * spacing)
            stops.append(round(stop / 5) * 5)
        clock = 10 * 3600.0
        previous = 0.0
        for k, stop in enumerate(stops):
            name = NAMES[k % len(NAMES)] + ENDINGS[(k * 7) % len(ENDINGS)]
            if k >= len(NAMES):
                name += " %d" % (k // len(NAMES) + 1)
            clock += (stop - previous) / (80 / 3.6)  # about 80 km/h between stations
            previous = stop
            doors = "LRB"[k % 3]
            held = k % 3 == 0 and k + 1 < stations
            if k == 0:
                timing = ";%s" % time_text(clock + 30)
            elif k + 1 == stations:
                timing = "%s;T" % time_text(clock)
            else:
                timing = "%s;%s" % (time_text(clock), time_text(clock + 30))
            clock += 30
            self.add(max(0.0, stop - 120), ".Sta %s;%s;0;%s;%d;0;;20" % (name, timing, doors, held))
            self.add(stop, ".Stop 1;5;5;0")
            if k % 4 == 1:
                self.add(stop - 40, ".Stop 1;5;5;4")  # short trains stop further back
            if held:
                self.add(stop + 60, ".Section 0;2;4")  # the departure signal
            if k > 0:
                category2 = stop < middle
                self.beacon(stop - 600, 1, 0, 1)                 # SPP reminder
                self.beacon(stop - 300, 15, 0, 300)              # SPB stop, kind 0
                if category2:
                    self.beacon(stop - 150, 22, 0, 1)            # door link
                else:
                    self.beacon(stop - 200, 24, 0, 5000)         # kind-blink delay
        self.stops = stops

        # Signal sections; before each signal a CPP beacon naming it (section
        # 1 from where the beacon stands) with its distance, 600 m before it
        # or less where the signal before it is nearer.
        held_count = sum(1 for k in range(stations) if k % 3 == 0 and k + 1 < stations)
        count = max(self.args.sections - held_count, 0)
        step = length / (count + 1)
        for i in range(1, count + 1):
            position = round(i * step / 5) * 5
            kind = rng.random()
            if kind < 0.6:
                self.add(position, ".Section 0;2;4")
            elif kind < 0.85:
                self.add(position, ".Signal -4;;-3")
            else:
                self.add(position, ".Section 0;1;2;3;4")
        self.signals = sorted(p for p, _, text in self.items
                              if text.startswith((".Section", ".Signal")))
        before = 0.0
        for position in self.signals:
            lead = min(600, int((position - before) * 0.8) // 5 * 5)
            if lead >= 50:
                self.beacon(position - lead, 10, 1, lead)
            before = position

        # Speed restrictions: a CCP beacon 800 m before, the limit, and the
        # line speed again after it; a CLF limit now and then.
        restrictions = max(1, int(self.args.length_km // 4))
        for i in range(restrictions):
            start = rng.uniform(2000, length - 2000)
            speed = rng.choice([45, 60, 75, 90])
            self.beacon(start - 800, 12, 0, speed // 5 * 10000 + 800)
            self.add(start, ".Limit %d" % speed)
            self.add(start + 600, ".Limit 110")
            self.beacon(start + 620, 12, 0, 0)
            if i % 3 == 0:
                self.beacon(start + 700, 13, 0, 95 // 5)
                self.beacon(start + 1500, 13, 0, 0)

        # Legacy speed checks between the Velt sections.
        position = middle + 100
        while position < middle + 900:
            self.beacon(position, 11, 0, 0)
            self.beacon(position + 10, 11, 0, 0)
            position += 200

        # More CPP beacons, each naming the next signal with its distance,
        # until the count asked for; a stop-signal beacon (section -1) now
        # and then.
        while self.beacons < self.args.beacons:
            position = round(rng.uniform(300, self.signals[-1] - 50), 1)
            ahead = bisect.bisect_right(self.signals, position)
            if ahead == 0 or self.signals[ahead - 1] == position:
                continue
            distance = int(self.signals[ahead] - position)
            if rng.random() < 0.2:
                self.beacon(position, 10, -1, 10000 + min(distance, 9999))
            else:
                self.beacon(position, 10, 1, min(distance, 9999))
        if self.beacons > self.args.beacons:
            beacon_items = [i for i, item in enumerate(self.items) if item[2].startswith(".Beacon 10;")]
            drop = set(rng.sample(beacon_items, self.beacons - self.args.beacons))
            self.items = [item for i, item in enumerate(self.items) if i not in drop]

    def visual(self, lines):
        """Visual commands (skipped by velt-drive, read like everything else)."""
        rng = self.rng
        kinds = [".FreeObj 0;%d;3;0", ".Pole 0;1;0;0;%d", ".Wall 0;-1;%d", ".Rail 1;3.8;0;%d",
                 ".Curve %d;0", ".Pitch %d", ".Ground %d", ".Back %d"]
        for _ in range(lines):
            self.add(rng.uniform(0, self.length), rng.choice(kinds) % rng.randrange(0, 9))

    def files(self):
        parts = self.args.parts
        part_length = self.length / parts
        bodies = [[] for _ in range(parts)]
        for position, order, text in sorted(self.items):
            k = min(int(position // part_length), parts - 1)
            bodies[k].append("%s, %s" % (format_position(position - k * part_length), text))
        files = {}
        main = [
            "; A bench route for velt-drive written by bench/make_route.py",
            "; (--length-km %g --beacons %d --sections %d --stations %d --parts %d --seed %d)"
            % (self.args.length_km, self.args.beacons, self.args.sections, self.args.stations,
               parts, self.args.seed),
            "Options.UnitOfLength 1",
            "Options.UnitOfSpeed 1",
            "Options.BlockLength 25",
            "Route.Comment A line for measuring velt-drive",
            "Route.Signal(2) 55",
            "Structure.Rail(0) rails/plain.b3d",
            "Structure.Ground(0) ground/grass.b3d",
            "",
        ]
        for k in range(parts):
            name = "parts/part%02d.csv" % (k + 1)
            main.append("$Include(%s:%s)" % (name, format_position(k * part_length)))
            files[name] = "\n".join(["; stretch %d of the line" % (k + 1), "With Track"] + bodies[k]) + "\n"
        files["route.csv"] = "\n".join(main) + "\n"
        return files


def format_position(metres):
    text = "%.1f" % metres
    return text[:-2] if text.endswith(".0") else text


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out", help="the folder to write route.csv and parts/ into")
    parser.add_argument("--length-km", type=float, default=100.0)
    parser.add_argument("--beacons", type=int, default=2000)
    parser.add_argument("--sections", type=int, default=400)
    parser.add_argument("--stations", type=int, default=60)
    parser.add_argument("--parts", type=int, default=10, help="included files, one per stretch")
    parser.add_argument("--lines", type=int, default=0,
                        help="pad with visual commands up to about this many lines in all")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    if args.length_km < 10 or args.stations < 2 or args.parts < 1 or args.beacons < 0:
        parser.error("the route needs at least 10 km, 2 stations and 1 part")

    route = Route(args)
    route.build()
    lines = len(route.items) + 10 + 3 * args.parts  # the main file's lines and each part's
    if args.lines > lines:
        route.visual(args.lines - lines)
    files = route.files()
    os.makedirs(os.path.join(args.out, "parts"), exist_ok=True)
    for name, text in sorted(files.items()):
        write_atomically(os.path.join(args.out, name), text)
    total = sum(text.count("\n") for text in files.values())
    print("%s: %d files, %d lines, %d beacons" % (os.path.join(args.out, "route.csv"), len(files),
                                                  total, args.beacons), file=sys.stderr)


if __name__ == "__main__":
    main()
