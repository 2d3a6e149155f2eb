#!/usr/bin/env python3
"""Tests of scripts/mutate.py: which mutants it makes, where, and whether
their keys stay put when unrelated code moves."""

import argparse
import importlib.util
import os
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
spec = importlib.util.spec_from_file_location("mutate", ROOT / "scripts" / "mutate.py")
mutate = importlib.util.module_from_spec(spec)
sys.dont_write_bytecode = True
spec.loader.exec_module(mutate)

SNIPPET = """#include <cstdint>
// x < y in a comment
static_assert(sizeof(int) == 4, "not a < mutant");
namespace {
constexpr int kTable[3] = {0, 25, 0};
const char* label() { return "a < b"; }
int pick(int a, int b) {
    switch (a) {
        case 1: b += 1; break;
        default: return a + 1;
    }
    return b;
}
void step(int& x, int y) {
    x = y > 1 && y < 9 ? y - 1 : 0;
    x += 2;
    if (y == 0) {
        return;
    }
}
}  // namespace
int use(int& x) {
    step(x, pick(x, 2));
#pragma GCC unroll 4
    for (int i = 0; i < 3; ++i) {
        x += i;
    }
    return kTable[1] + label()[0];
}
"""


def mutants_of(text):
    with tempfile.TemporaryDirectory() as tmp:
        path = Path(tmp) / "snippet.cpp"
        path.write_text(text)
        return mutate.mutants_of_file(mutate.find_clang(), path, "core/snippet.cpp", ["-std=c++17"])


class Generation(unittest.TestCase):
    def test_changes_exactly_the_code_that_runs(self):
        mutants = mutants_of(SNIPPET)
        lines = {m.line for m in mutants}
        # Include, comment, static_assert, string literal, defensive default, pragma.
        self.assertFalse(lines & {1, 2, 3, 6, 10, 24}, sorted(lines))
        on_step = {m.apply(SNIPPET).splitlines()[14].strip() for m in mutants if m.line == 15}
        self.assertEqual(
            on_step,
            {
                "x = y >= 1 && y < 9 ? y - 1 : 0;",
                "x = y <= 1 && y < 9 ? y - 1 : 0;",
                "x = y > 1 || y < 9 ? y - 1 : 0;",
                "x = y > 1 && y <= 9 ? y - 1 : 0;",
                "x = y > 1 && y >= 9 ? y - 1 : 0;",
                "x = y > 1 && y < 9 ? y + 1 : 0;",
                "x = y > 0 && y < 9 ? y - 1 : 0;",
                "x = y > 2 && y < 9 ? y - 1 : 0;",
                "x = y > 1 && y < 8 ? y - 1 : 0;",
                "x = y > 1 && y < 10 ? y - 1 : 0;",
                "x = y > 1 && y < 9 ? y - 0 : 0;",
                "x = y > 1 && y < 9 ? y - 2 : 0;",
                "x = y > 1 && y < 9 ? y - 1 : (-1);",
                "x = y > 1 && y < 9 ? y - 1 : 1;",
                "{}",
            },
        )
        changes = {(m.line, m.change) for m in mutants}
        for expected in [(16, "`+=` -> `-=`"), (18, "remove `return;`"), (5, "`25` -> `26`"), (9, "remove `b += 1;`")]:
            self.assertIn(expected, changes)

    def test_keys_survive_moved_lines_and_tell_identical_lines_apart(self):
        before = {m.key for m in mutants_of(SNIPPET)}
        moved = SNIPPET.replace("namespace {\n", "namespace {\n\n// a new comment\nint unrelated() { return 7; }\n", 1)
        self.assertLessEqual(before, {m.key for m in mutants_of(moved)})

        repeated = SNIPPET + "int again(int y) {\n    if (y == 0) {\n        return 1;\n    }\n    return 0;\n}\n"
        keys = [m.key for m in mutants_of(repeated) if "`if (y == 0) {`" in m.key and "`==` -> `!=`" in m.key]
        self.assertEqual(len(keys), 2)
        self.assertEqual({k.split(" #")[0][-2:] for k in keys}, {"@1", "@2"})

    def test_every_key_is_unique_and_reads_back_as_an_entry(self):
        keys = [m.key for m in mutants_of(SNIPPET)]
        self.assertEqual(len(keys), len(set(keys)))
        for key in keys:
            m = mutate.ENTRY.match(f"{key}: a reason")
            self.assertIsNotNone(m, key)
            self.assertEqual(mutate.canonical_key(m), key)


class Constants(unittest.TestCase):
    def test_shift_keeps_base_and_suffix_and_brackets_negatives(self):
        cases = [
            (mutate.shifted_integer, "25", 1, "26"),
            (mutate.shifted_integer, "0", -1, "(-1)"),
            (mutate.shifted_integer, "0u", -1, None),
            (mutate.shifted_integer, "0x1F", 1, "0x20"),
            (mutate.shifted_integer, "010", 1, "011"),
            (mutate.shifted_integer, "10'000", -1, "9999"),
            (mutate.shifted_float, "68.0F", -1, "67.0F"),
            (mutate.shifted_float, "0.5", -1, "(-0.5)"),
            (mutate.shifted_float, "1e3", 1, "1001.0"),
        ]
        for shift, literal, delta, expected in cases:
            with self.subTest(literal=literal, delta=delta):
                self.assertEqual(shift(literal, delta), expected)


class Entries(unittest.TestCase):
    def test_reads_entries_loosely_spaced_and_names_the_line_of_a_wrong_one(self):
        with tempfile.TemporaryDirectory() as tmp:
            path = Path(tmp) / "list.txt"
            path.write_text(
                "# comment\n\n"
                "core/a.cpp: `x  =  y + 1;` #1 `+` -> `-`:   y is always 0\n"
                "core/a.cpp: `x = y;` #1 remove\n"
                "core/a.cpp: `f();`@2 #1 remove `f();`: f does nothing\n"
            )
            entries, errors = mutate.read_entries(path)
        self.assertEqual([e.key for e in entries],
                         ["core/a.cpp: `x = y + 1;` #1 `+` -> `-`", "core/a.cpp: `f();`@2 #1 remove `f();`"])
        self.assertEqual(entries[0].reason, "y is always 0")
        self.assertEqual(len(errors), 1)
        self.assertIn("list.txt:4: error:", errors[0])


class Building(unittest.TestCase):
    def test_each_mutant_is_built_in_the_workers_copy_which_is_then_restored(self):
        saved = (mutate.WORK, mutate.MIRROR, mutate.BUILD)
        with tempfile.TemporaryDirectory() as tmp:
            mutate.WORK, mutate.MIRROR, mutate.BUILD = Path(tmp), Path(tmp) / "src", Path(tmp) / "build"
            try:
                source = mutate.MIRROR / "core" / "a.cpp"
                source.parent.mkdir(parents=True)
                (mutate.BUILD / "tests").mkdir(parents=True)
                text = "int f(int x) { return x - 1; }\n"
                source.write_text(text)
                # A compiler that copies its source unless it reads BROKEN, and
                # a linker whose test binary fails when the source says x + 1.
                compiler = ["sh", "-c", '! grep -q BROKEN "$0" && cp "$0" "$2"', str(source), "-o", "x"]
                obj = mutate.BUILD / "CMakeFiles" / "velt_core.dir" / "a.o"
                unit = mutate.Unit("core/a.cpp", compiler, obj, Path(tmp), set())
                linker = ["sh", "-c", 'printf "#!/bin/sh\\n! grep -q \\"x + 1\\" %s\\n" "$0" > "$2" && chmod +x "$2"',
                          "../libvelt_core.a", "-o", "velt_unit_tests"]
                worker = mutate.Worker(0, [unit], linker, 10)
                at = text.index("- 1")
                cases = [("+", "killed"), ("-", "survived"), ("BROKEN", "not compiling")]
                for repl, expected in cases:
                    with self.subTest(repl=repl):
                        m = mutate.Mutant("core/a.cpp", at, at + 1, "-", repl, "operator")
                        self.assertEqual(worker.test(m)[0], expected)
                        self.assertEqual((worker.src / "core" / "a.cpp").read_text(), text)
                self.assertEqual(source.read_text(), text)
            finally:
                mutate.WORK, mutate.MIRROR, mutate.BUILD = saved

    def test_the_mirror_follows_the_tree_even_to_an_older_file(self):
        saved = (mutate.ROOT, mutate.MIRROR)
        with tempfile.TemporaryDirectory() as tmp:
            mutate.ROOT, mutate.MIRROR = Path(tmp) / "tree", Path(tmp) / "tree" / "build" / "src"
            try:
                tree = mutate.ROOT
                (tree / "core").mkdir(parents=True)
                for name in ("a.cpp", "b.cpp"):
                    (tree / "core" / name).write_text(f"// {name}\n")
                subprocess.run(["git", "init", "-q", str(tree)], check=True)
                subprocess.run(["git", "-C", str(tree), "add", "core"], check=True)
                mutate.mirror_sources()
                built = time.time()
                (tree / "core" / "a.cpp").write_text("// older, put back\n")
                os.utime(tree / "core" / "a.cpp", (built - 3600, built - 3600))
                (tree / "core" / "b.cpp").unlink()
                mutate.mirror_sources()
                copy = mutate.MIRROR / "core" / "a.cpp"
                self.assertEqual(copy.read_text(), "// older, put back\n")
                self.assertGreaterEqual(copy.stat().st_mtime, built - 1)
                self.assertFalse((mutate.MIRROR / "core" / "b.cpp").exists())
                self.assertFalse((mutate.MIRROR / "build").exists())
            finally:
                mutate.ROOT, mutate.MIRROR = saved


class Report(unittest.TestCase):
    def test_fails_on_unlisted_survivors_stale_entries_and_listed_mutants_now_killed(self):
        m = mutate.Mutant("core/a.cpp", 0, 1, "<", "<=", "operator", 3, 7, "core/a.cpp: `a < b;` #1 `<` -> `<=`")
        listed = {"equivalent": mutate.Entry("eq.txt:4", "core/a.cpp", m.key, "never read")}
        stale = mutate.Entry("eq.txt:9", "core/a.cpp", "core/a.cpp: `gone;` #1 remove `gone;`", "old")
        cases = [  # status, list entry, stale entries, shown as, fails, finding
            ("killed", None, [], "killed", False, None),
            ("survived", None, [], "survived", True, "core/a.cpp:3:7: error: mutant survived"),
            ("survived", "equivalent", [], "equivalent", False, None),
            ("killed", "equivalent", [], "killed", True, "eq.txt:4: error: listed as equivalent, but"),
            ("timeout", "equivalent", [], "timeout", True, "eq.txt:4: error: listed as equivalent, but"),
            ("killed", None, [stale], "killed", True, "eq.txt:9: error: stale entry"),
        ]
        args = argparse.Namespace(files=[], sample=None, seed="0", equivalents=Path("/x/eq.txt"))
        for status, entry, stale_entries, shown, fails, finding in cases:
            with self.subTest(status=status, entry=entry, stale=bool(stale_entries)):
                listed_now = {m.key: listed[entry]} if entry else {}
                run = mutate.Run(args, ["core/a.cpp"], [m], [m], {m.key: (status, "", 1.0)}, listed_now,
                                 stale_entries, 1.0, 2.0, False)
                report = mutate.compose_report(run)
                self.assertEqual(report["failed"], fails)
                self.assertIn(f"\n{shown:<15} core/a.cpp:3:7", report["full"])
                if finding:
                    self.assertIn(finding, report["summary"])


if __name__ == "__main__":
    unittest.main()
