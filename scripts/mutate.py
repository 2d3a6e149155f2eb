#!/usr/bin/env python3
"""Mutation testing of the plug-in (core/ and host/) against the unit tests.

Generates first-order mutants from clang's syntax tree of each source file
(relational and equality operators, && and ||, + and -, += and -=, integer
and float constants +-1, removed statements), builds each one into its own
copy of the unit tests and runs them. A mutant the tests still pass is a
survivor: a wrong line the suite would not notice.

Nothing in the working tree is ever written. The sources are mirrored into
build/mutate/src and built there once at -O0; each worker owns a copy of the
mirror (build/mutate/wN/src) in which it writes one mutant at a time,
recompiles only the translation units that see the changed file, links them
with the pristine objects and restores the file. An interrupted run leaves
at worst a mutated file in a worker's copy, which the next run overwrites.

Mutants that cannot change anything the host gets are listed in
tests/mutation/known-equivalent.txt, each with a reason; see
docs/reliability.md for the format.
"""

import argparse
import concurrent.futures
import dataclasses
import json
import os
import random
import re
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
WORK = ROOT / "build" / "mutate"
MIRROR = WORK / "src"
BUILD = WORK / "build"
DEFAULT_EQUIVALENTS = Path("tests/mutation/known-equivalent.txt")

# The plug-in's own code. The export layers (host/native, host/win32) only
# forward and are not linked into the unit tests, so they are not mutated.
SCOPE_DIRS = ("core", "host")
SOURCE_SUFFIXES = (".cpp", ".h")
# Files below those folders that hold no code of the plug-in, with why.
# host/host_calls.h lists the entry points for the programs that call them
# (velt-drive, the fuzz harness): the plug-in compiles it only for its
# static_asserts against the declarations, so a mutant of its call-making
# code could only survive the unit tests, which never call through it.
OUT_OF_SCOPE = {
    "host/host_calls.h": "the list of entry points for their callers; the plug-in only checks it at compile time",
}

OPERATOR_REPLACEMENTS = {
    "<": ("<=", ">="),
    "<=": ("<", ">"),
    ">": (">=", "<="),
    ">=": (">", "<"),
    "==": ("!=",),
    "!=": ("==",),
    "&&": ("||",),
    "||": ("&&",),
    "+": ("-",),
    "-": ("+",),
    "+=": ("-=",),
    "-=": ("+=",),
}

# Statements whose removal still leaves a well-formed function: expressions
# evaluated for their effect. Declarations, returns of a value and breaks
# (whose removal would only fall through into the next label) are kept.
REMOVABLE_EXPRESSIONS = {
    "BinaryOperator",
    "CompoundAssignOperator",
    "CallExpr",
    "CXXMemberCallExpr",
    "CXXOperatorCallExpr",
    "UnaryOperator",
    "ExprWithCleanups",
}

# Code that never runs as a test would see it: compile-time checks, and the
# defensive default of a switch over a closed set of values.
SKIPPED_SUBTREES = {"StaticAssertDecl", "DefaultStmt"}


def fail(message, help_text=None, code=2):
    print(f"mutate: error: {message}", file=sys.stderr)
    if help_text:
        print(f"mutate: help: {help_text}", file=sys.stderr)
    sys.exit(code)


def progress(message):
    print(f"mutate: {message}", file=sys.stderr, flush=True)


def run(argv, cwd=None, timeout=None):
    return subprocess.run(
        argv, cwd=cwd, timeout=timeout, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True
    )


def write_atomically(path, text):
    path.parent.mkdir(parents=True, exist_ok=True)
    fd, tmp = tempfile.mkstemp(dir=path.parent, prefix=f".{path.name}.")
    with os.fdopen(fd, "w") as out:
        out.write(text)
    os.replace(tmp, path)


# ---------------------------------------------------------------- mutants


@dataclasses.dataclass
class Mutant:
    file: str  # relative to the repository root
    start: int  # byte offsets of the replaced text in the original file
    end: int
    orig: str
    repl: str  # text put in its place
    kind: str  # operator, constant or statement
    line: int = 0
    col: int = 0
    key: str = ""

    @property
    def change(self):
        if self.kind == "statement":
            return f"remove `{self.orig}`"
        return f"`{self.orig}` -> `{self.repl}`"

    @property
    def where(self):
        return f"{self.file}:{self.line}:{self.col}"

    def apply(self, text):
        return text[: self.start] + self.repl + text[self.end :]


def collapse(text):
    return " ".join(text.split())


def strip_line_comment(line):
    """The line without a trailing // comment (string literals respected)."""
    quote = None
    i = 0
    while i < len(line):
        c = line[i]
        if quote:
            if c == "\\":
                i += 1
            elif c == quote:
                quote = None
        elif c in "\"'":
            quote = c
        elif line.startswith("//", i):
            return line[:i]
        i += 1
    return line


def skip_space_and_comments(text, i):
    while i < len(text):
        if text[i].isspace():
            i += 1
        elif text.startswith("//", i):
            i = text.find("\n", i)
            if i < 0:
                return len(text)
        elif text.startswith("/*", i):
            i = text.find("*/", i)
            if i < 0:
                return len(text)
            i += 2
        else:
            break
    return i


def in_main_file(loc):
    return isinstance(loc, dict) and "offset" in loc and "includedFrom" not in loc and "spellingLoc" not in loc


def node_span(node):
    """(begin, end) offsets of a node written in the main file, else None."""
    rng = node.get("range", {})
    begin, end = rng.get("begin"), rng.get("end")
    if not (in_main_file(begin) and in_main_file(end)):
        return None
    return begin["offset"], end["offset"] + end.get("tokLen", 0)


INT_LITERAL = re.compile(r"^(0[xX][0-9a-fA-F']+|0[bB][01']+|0[0-7']*|[1-9][0-9']*)([uUlLzZ]*)$")
FLOAT_LITERAL = re.compile(r"^([0-9.eE+\-']+)([fFlL]?)$")


def shifted_integer(text, delta):
    m = INT_LITERAL.match(text)
    if not m:
        return None
    digits, suffix = m.group(1).replace("'", ""), m.group(2)
    if digits[:2] in ("0x", "0X"):
        value, base = int(digits, 16), "hex"
    elif digits[:2] in ("0b", "0B"):
        value, base = int(digits[2:], 2), "bin"
    elif len(digits) > 1 and digits[0] == "0":
        value, base = int(digits, 8), "oct"
    else:
        value, base = int(digits), "dec"
    value += delta
    if value < 0:
        if "u" in suffix.lower():
            return None
        return f"(-{-value}{suffix})"
    if base == "hex":
        return f"0x{value:X}{suffix}"
    if base == "bin":
        return f"0b{value:b}{suffix}"
    if base == "oct":
        return f"0{value:o}{suffix}"
    return f"{value}{suffix}"


def shifted_float(text, delta):
    m = FLOAT_LITERAL.match(text)
    if not m:
        return None
    try:
        value = float(m.group(1).replace("'", "")) + delta
    except ValueError:
        return None
    body = repr(value)
    if "e" not in body and "." not in body:
        body += ".0"
    if value < 0:
        return f"(-{body[1:]}{m.group(2)})"
    return f"{body}{m.group(2)}"


def mutants_of_tree(tree, text, rel):
    found = []

    def add(start, end, repl, kind):
        found.append(Mutant(rel, start, end, text[start:end], repl, kind))

    def operator_at(node):
        inner = node.get("inner", [])
        if len(inner) != 2:
            return None
        lhs, rhs = node_span(inner[0]), node_span(inner[1])
        if not lhs or not rhs:
            return None
        between = text[lhs[1] : rhs[0]]
        op = node["opcode"]
        at = between.rfind(op)
        if at < 0 or collapse(between) != op:
            return None
        return lhs[1] + at

    def removable(stmt):
        kind = stmt.get("kind")
        if kind == "ReturnStmt" and not stmt.get("inner"):
            pass
        elif kind not in REMOVABLE_EXPRESSIONS:
            return
        span = node_span(stmt)
        if not span:
            return
        semi = skip_space_and_comments(text, span[1])
        if semi >= len(text) or text[semi] != ";":
            return
        start, end = span[0], semi + 1
        found.append(Mutant(rel, start, end, collapse(text[start:end]), "{}", "statement"))

    def walk(node):
        if not isinstance(node, dict):
            return
        kind = node.get("kind")
        # Attributes (a loop's unroll count, say) are hints to the compiler.
        if kind in SKIPPED_SUBTREES or node.get("isImplicit") or str(kind).endswith("Attr"):
            return
        if kind in ("BinaryOperator", "CompoundAssignOperator"):
            op = node.get("opcode")
            if op in OPERATOR_REPLACEMENTS:
                at = operator_at(node)
                if at is not None:
                    for repl in OPERATOR_REPLACEMENTS[op]:
                        add(at, at + len(op), repl, "operator")
        elif kind in ("IntegerLiteral", "FloatingLiteral"):
            span = node_span(node)
            if span:
                literal = text[span[0] : span[1]]
                shift = shifted_integer if kind == "IntegerLiteral" else shifted_float
                for delta in (-1, 1):
                    repl = shift(literal, delta)
                    if repl is not None:
                        add(span[0], span[1], repl, "constant")
        if kind == "CompoundStmt":
            for stmt in node.get("inner", []):
                removable(stmt)
        elif kind == "CaseStmt" and node.get("inner"):
            removable(node["inner"][-1])
        for child in node.get("inner", []):
            walk(child)

    walk(tree)
    return found


def assign_keys(mutants, text):
    """Gives each mutant its place-independent key: the file, the text of its
    line without comments, which of the identical lines of the file it is on
    (when there are several), which occurrence of the same text on that line
    it changes, and the change."""
    line_starts = [0] + [i + 1 for i, c in enumerate(text) if c == "\n"]
    lines = text.split("\n")
    normal = [collapse(strip_line_comment(line)) for line in lines]
    seen, line_occurrence = {}, []
    for n in normal:
        seen[n] = seen.get(n, 0) + 1
        line_occurrence.append(seen[n])
    repeated = {n for n, count in seen.items() if count > 1}

    def line_index(offset):
        lo, hi = 0, len(line_starts) - 1
        while lo < hi:
            mid = (lo + hi + 1) // 2
            if line_starts[mid] <= offset:
                lo = mid
            else:
                hi = mid - 1
        return lo

    unique = {}
    for m in mutants:
        unique.setdefault((m.start, m.end, m.repl), m)
    ordered = sorted(unique.values(), key=lambda m: (m.start, m.end, m.repl))
    sites = {}
    for m in ordered:
        idx = line_index(m.start)
        m.line, m.col = idx + 1, m.start - line_starts[idx] + 1
        starts = sites.setdefault((idx, m.kind, m.orig), [])
        if m.start not in starts:
            starts.append(m.start)
        site = starts.index(m.start) + 1
        line_part = f"`{normal[idx]}`"
        if normal[idx] in repeated:
            line_part += f"@{line_occurrence[idx]}"
        m.key = f"{m.file}: {line_part} #{site} {m.change}"
    return ordered


def find_clang():
    for name in ("clang++-14", "clang++-19", "clang++"):
        path = shutil.which(name)
        if path:
            return path
    fail("no clang++ found to read the sources' syntax trees", "run scripts/install-deps.sh")
    return None


def mutants_of_file(clang, path, rel, flags):
    """Every mutant of one source file, read from clang's syntax tree."""
    text = path.read_text()
    argv = [clang, "-x", "c++", *flags, "-fsyntax-only", "-Wno-pragma-once-outside-header"]
    argv += ["-Xclang", "-ast-dump=json", str(path)]
    result = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if result.returncode != 0:
        first = (result.stderr.strip().splitlines() or ["(no message)"])[0]
        fail(f"{rel}: clang could not parse it: {first}", "make sure the file compiles on its own")
    return assign_keys(mutants_of_tree(json.loads(result.stdout), text, rel), text)


def generate(files, flags):
    clang = find_clang()
    return [m for rel in files for m in mutants_of_file(clang, MIRROR / rel, rel, flags)]


# ---------------------------------------------------------- known equivalents

KEY_PATTERN = (
    r"(?P<file>\S+): `(?P<line>[^`]*)`(?:@(?P<lineocc>\d+))? #(?P<site>\d+) "
    r"(?:`(?P<orig>[^`]*)` -> `(?P<repl>[^`]*)`|remove `(?P<stmt>[^`]*)`)"
)
ENTRY = re.compile(r"^" + KEY_PATTERN + r":\s+(?P<reason>\S.*)$")


@dataclasses.dataclass
class Entry:
    where: str  # file:line of the entry
    file: str
    key: str
    reason: str


def canonical_key(m):
    line = f"`{collapse(m['line'])}`" + (f"@{m['lineocc']}" if m["lineocc"] else "")
    if m["stmt"] is not None:
        change = f"remove `{collapse(m['stmt'])}`"
    else:
        change = f"`{m['orig'].strip()}` -> `{m['repl'].strip()}`"
    return f"{m['file']}: {line} #{m['site']} {change}"


def shown_path(path):
    return path.relative_to(ROOT) if path.is_relative_to(ROOT) else path


def read_entries(path):
    """Reads the list of known equivalent mutants: keys, each followed by
    ': REASON'."""
    entries, errors = [], []
    if not path.exists():
        return entries, errors
    for number, raw in enumerate(path.read_text().splitlines(), 1):
        line = raw.strip()
        if not line or line.startswith("#"):
            continue
        m = ENTRY.match(line)
        where = f"{shown_path(path)}:{number}"
        if not m:
            errors.append(
                f"{where}: error: not a mutant key followed by ': REASON'\n"
                f"  help: copy the key from the report's note and add the reason, e.g.\n"
                f"        core/x.cpp: `a = b + 1;` #1 `+` -> `-`: b is always 0 here"
            )
            continue
        entries.append(Entry(where, m["file"], canonical_key(m), m["reason"]))
    return entries, errors


# ------------------------------------------------------------------ builds


def mirror_sources():
    """Copies the tracked and new files of the working tree into the mirror,
    touching only those that differ so the pristine build stays incremental."""
    listed = run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"], cwd=ROOT)
    if listed.returncode != 0:
        fail(f"git ls-files failed in {ROOT}: {listed.stdout.strip()}", "run from a git checkout")
    wanted = set()
    for rel in listed.stdout.split("\0"):
        if not rel or rel.startswith("build/"):
            continue
        src = ROOT / rel
        if not src.is_file():
            continue
        wanted.add(rel)
        dst = MIRROR / rel
        if not dst.exists() or dst.read_bytes() != src.read_bytes():
            dst.parent.mkdir(parents=True, exist_ok=True)
            # A fresh time stamp, whatever the source's: an older file put
            # back in the tree must still be newer than the objects built
            # from the file it replaces.
            shutil.copyfile(src, dst)
    for path in sorted(MIRROR.rglob("*"), reverse=True):
        rel = path.relative_to(MIRROR).as_posix()
        if path.is_file() and rel not in wanted:
            path.unlink()


def configure_and_build():
    if not (BUILD / "CMakeCache.txt").exists():
        progress("configuring the -O0 unit-test build in build/mutate/build")
        result = run(
            [
                "cmake", "-S", str(MIRROR), "-B", str(BUILD), "-G", "Unix Makefiles",
                "-DCMAKE_BUILD_TYPE=Debug", "-DCMAKE_CXX_FLAGS_DEBUG=-O0",
                "-DVELT_BUILD_TOOLS=OFF", "-DVELT_WERROR=OFF", "-DVELT_BUILD_BENCH=OFF",
            ]
        )
        if result.returncode != 0:
            print(result.stdout, file=sys.stderr)
            fail("configuring build/mutate/build failed (output above)")
    progress("building the pristine unit tests")
    result = run(["cmake", "--build", str(BUILD), "--target", "velt_unit_tests", "-j2"])
    if result.returncode != 0:
        print(result.stdout, file=sys.stderr)
        fail("the unmutated sources do not build (output above)", "fix the build before mutating")


@dataclasses.dataclass
class Unit:
    source: str  # relative to the mirror
    argv: list
    obj: Path  # pristine object
    cwd: Path
    headers: set


def without_depfile(argv, dropped_with_value=("-MT", "-MF", "-MQ"), dropped=("-MD", "-MMD")):
    out, skip = [], False
    for arg in argv:
        if skip:
            skip = False
        elif arg in dropped_with_value:
            skip = True
        elif arg not in dropped:
            out.append(arg)
    return out


def without_output_and_depfile(argv):
    return without_depfile(argv, ("-o", "-MT", "-MF", "-MQ"), ("-c", "-MD", "-MMD"))


def read_build():
    commands = json.loads((BUILD / "compile_commands.json").read_text())
    units = []
    for entry in commands:
        argv = shlex.split(entry["command"])
        out = Path(entry["directory"]) / argv[argv.index("-o") + 1]
        if "/velt_core.dir/" not in out.as_posix() and "/velt_unit_tests.dir/" not in out.as_posix():
            continue
        source = Path(entry["file"]).resolve().relative_to(MIRROR.resolve()).as_posix()
        deps = run(without_output_and_depfile(argv) + ["-MM"], cwd=entry["directory"])
        if deps.returncode != 0:
            fail(f"finding the headers of {source} failed: {deps.stdout.strip()}")
        words = deps.stdout.replace("\\\n", " ").split(":", 1)[1].split()
        headers = set()
        for word in words:
            path = (Path(entry["directory"]) / word).resolve()
            if path.is_relative_to(MIRROR.resolve()):
                headers.add(path.relative_to(MIRROR.resolve()).as_posix())
        units.append(Unit(source, argv, out, Path(entry["directory"]), headers))
    link_txt = BUILD / "tests" / "CMakeFiles" / "velt_unit_tests.dir" / "link.txt"
    link = shlex.split(link_txt.read_text())
    return units, link


def precompile_gtest(units):
    """Precompiles <gtest/gtest.h> with the test files' own flags. A mutant
    of a header that every test includes (core/velt.h, core/states.h)
    recompiles every test file, and GoogleTest is most of what each of them
    parses: taken precompiled, such a mutant builds in about half the time.
    The header goes in with -include; should the compiler find the
    precompiled form unusable it reads the header itself, so the result is
    the same either way."""
    test_units = [u for u in units if u.source.startswith("tests/")]
    if not test_units:
        return None
    progress("precompiling gtest/gtest.h for the test files")
    unit = test_units[0]
    header = BUILD / "gtest_pch" / "gtest_pch.hxx"
    header.parent.mkdir(parents=True, exist_ok=True)
    header.write_text("#include <gtest/gtest.h>\n")
    source = str((MIRROR / unit.source).resolve())
    argv = [a for a in without_output_and_depfile(unit.argv) if a != source and not a.endswith(unit.source)]
    result = run(argv + ["-x", "c++-header", str(header), "-o", f"{header}.gch"], cwd=unit.cwd)
    if result.returncode != 0:
        progress("could not precompile gtest/gtest.h; the test files will parse it themselves")
    return header


def ast_flags(units):
    core = next(u for u in units if u.source.startswith("core/"))
    flags = [a for a in core.argv if a.startswith(("-I", "-D", "-std="))]
    return flags


# ----------------------------------------------------------------- workers


class Worker:
    def __init__(self, index, units, link, test_timeout, pch=None):
        self.pch = pch
        self.dir = WORK / f"w{index}"
        self.src = self.dir / "src"
        self.units = units
        self.link = link
        self.test_timeout = test_timeout
        if self.src.exists():
            shutil.rmtree(self.src)
        shutil.copytree(MIRROR, self.src, symlinks=True)
        (self.dir / "obj").mkdir(parents=True, exist_ok=True)

    def relocated(self, argv):
        mirror = str(MIRROR)
        return [a.replace(mirror, str(self.src)) for a in argv]

    def test(self, mutant):
        """Builds and runs one mutant: 'killed', 'timeout', 'survived' or
        'not compiling'."""
        path = self.src / mutant.file
        original = path.read_text()
        affected = [u for u in self.units if u.source == mutant.file or mutant.file in u.headers]
        try:
            path.write_text(mutant.apply(original))
            replaced = {}
            for i, unit in enumerate(affected):
                obj = self.dir / "obj" / f"{i}.o"
                argv = self.relocated(unit.argv)
                argv[argv.index("-o") + 1] = str(obj)
                argv = without_depfile(argv)
                if self.pch and unit.source.startswith("tests/"):
                    argv[1:1] = ["-include", str(self.pch)]
                result = run(argv, cwd=unit.cwd)
                if result.returncode != 0:
                    return "not compiling", first_error(result.stdout)
                replaced[unit.obj.resolve()] = obj
        finally:
            path.write_text(original)
        binary = self.dir / "velt_unit_tests"
        argv = self.link_argv(replaced, binary)
        result = run(argv, cwd=BUILD / "tests")
        if result.returncode != 0:
            return "not compiling", first_error(result.stdout)
        try:
            result = run([str(binary), "--gtest_brief=1"], timeout=self.test_timeout)
        except subprocess.TimeoutExpired:
            return "timeout", f"the tests ran longer than {self.test_timeout:.0f} s"
        if result.returncode != 0:
            failed = re.findall(r"^\[  FAILED  \] (\S+)", result.stdout, re.M)
            return "killed", failed[0] if failed else f"exit status {result.returncode}"
        return "survived", ""

    def link_argv(self, replaced, binary):
        argv = []
        core_objects = sorted(u.obj.resolve() for u in self.units if "/velt_core.dir/" in u.obj.as_posix())
        i = 0
        while i < len(self.link):
            arg = self.link[i]
            if arg == "-o":
                argv += ["-o", str(binary)]
                i += 2
                continue
            if arg.endswith("libvelt_core.a"):
                argv += [str(replaced.get(o, o)) for o in core_objects]
            elif arg.endswith(".o"):
                obj = (BUILD / "tests" / arg).resolve()
                argv.append(str(replaced.get(obj, obj)))
            else:
                argv.append(arg)
            i += 1
        return argv


def first_error(output):
    for line in output.splitlines():
        if "error" in line:
            return line.strip()[:200]
    return (output.strip().splitlines() or [""])[0][:200]


# ------------------------------------------------------------------ report


def duration(seconds):
    seconds = int(round(seconds))
    if seconds < 60:
        return f"{seconds} s"
    if seconds < 3600:
        return f"{seconds // 60} min {seconds % 60:02d} s"
    return f"{seconds // 3600} h {seconds % 3600 // 60:02d} min"


def parse_duration(text):
    m = re.fullmatch(r"(\d+(?:\.\d+)?)([smh]?)", text.strip())
    if not m:
        raise argparse.ArgumentTypeError(f"'{text}' is not a duration such as 240, 90s, 5m or 1h")
    return float(m.group(1)) * {"": 1, "s": 1, "m": 60, "h": 3600}[m.group(2)]


def scope_files(requested):
    everything = sorted(
        p.relative_to(MIRROR).as_posix()
        for d in SCOPE_DIRS
        for p in (MIRROR / d).glob("*")
        if p.suffix in SOURCE_SUFFIXES and p.is_file()
        and p.relative_to(MIRROR).as_posix() not in OUT_OF_SCOPE
    )
    if not requested:
        return everything
    chosen = []
    for item in requested:
        rel = Path(os.path.relpath(Path(item).resolve(), ROOT)).as_posix() if Path(item).is_absolute() else item
        rel = rel.removeprefix("./")
        if rel in OUT_OF_SCOPE:
            fail(f"{item}: not mutated: {OUT_OF_SCOPE[rel]}", "choose a file of the plug-in's own code")
        if rel not in everything:
            fail(
                f"{item}: not a source file of the plug-in that the unit tests build",
                f"choose among: {' '.join(everything)}",
            )
        chosen.append(rel)
    return chosen


def main():
    parser = argparse.ArgumentParser(
        prog="scripts/mutate.sh",
        description="Mutation testing of core/ and host/ against the unit tests.",
    )
    parser.add_argument("files", nargs="*", help="restrict to these files (default: every file of core/ and host/)")
    parser.add_argument("--sample", type=int, metavar="N", help="run N mutants drawn by --seed instead of all")
    parser.add_argument("--seed", default="0", help="seed of the sample, e.g. a commit hash (default 0)")
    parser.add_argument("--time-limit", type=parse_duration, metavar="T", help="start no mutant after T (e.g. 240, 5m, 1h)")
    parser.add_argument("--jobs", "-j", type=int, default=1, help="mutants built and run at once (default 1)")
    parser.add_argument("--equivalents", type=Path, default=DEFAULT_EQUIVALENTS, help="file of known equivalent mutants")
    parser.add_argument("--report", type=Path, default=WORK / "report.txt", help="where the full report goes")
    parser.add_argument("--list", action="store_true", help="list the mutants with their keys and stop")
    args = parser.parse_args()
    if args.jobs < 1:
        parser.error("--jobs must be at least 1")
    if args.sample is not None and args.sample < 1:
        parser.error("--sample must be at least 1")
    started = time.monotonic()

    entries, errors = read_entries(args.equivalents if args.equivalents.is_absolute() else ROOT / args.equivalents)
    first = {}
    for e in entries:
        if e.key in first:
            errors.append(f"{e.where}: error: the same mutant is already listed at {first[e.key].where}")
        first.setdefault(e.key, e)
    if errors:
        print("\n".join(errors), file=sys.stderr)
        fail(f"{len(errors)} wrong entr{'y' if len(errors) == 1 else 'ies'} in the list of known equivalent mutants")

    MIRROR.mkdir(parents=True, exist_ok=True)
    progress("mirroring the sources into build/mutate/src")
    mirror_sources()
    files = scope_files(args.files)
    configure_and_build()
    units, link = read_build()
    # A file no unit-test translation unit sees would only give mutants
    # that survive because they are never compiled.
    seen = {u.source for u in units}.union(*(u.headers for u in units))
    unseen = [f for f in files if f not in seen]
    if unseen and args.files:
        fail(f"{unseen[0]}: not compiled into the unit tests", "choose a file of velt_core or one it includes")
    files = [f for f in files if f in seen]
    progress(f"generating mutants of {len(files)} files")
    mutants = generate(files, ast_flags(units))
    if args.list:
        for m in mutants:
            print(f"{m.where}: {m.key}")
        progress(f"{len(mutants)} mutants")
        return 0

    keys = {m.key for m in mutants}
    listed = {e.key: e for e in entries if e.key in keys}
    stale = [e for e in entries if e.file in files and e.key not in keys]
    if args.sample is not None:
        # Known equivalents can only survive; a sample has better uses for its time.
        candidates = [m for m in mutants if m.key not in listed]
        chosen = random.Random(args.seed).sample(candidates, min(args.sample, len(candidates)))
    else:
        chosen = list(mutants)

    progress("checking that the unmutated unit tests pass")
    baseline_start = time.monotonic()
    baseline = run([str(BUILD / "tests" / "velt_unit_tests"), "--gtest_brief=1"])
    baseline_seconds = time.monotonic() - baseline_start
    if baseline.returncode != 0:
        print(baseline.stdout, file=sys.stderr)
        fail("the unit tests fail without any mutant (output above)", "fix them before mutating")
    # Generous: a mutant that turns a loop endless is the only test run that
    # should ever reach it.
    test_timeout = max(10.0, 20 * baseline_seconds)

    pch = precompile_gtest(units)
    workers = [Worker(i, units, link, test_timeout, pch) for i in range(args.jobs)]
    setup_seconds = time.monotonic() - started
    progress(f"running {len(chosen)} of {len(mutants)} mutants with {args.jobs} job(s)")
    results, stopped_by_limit = run_mutants(chosen, workers, listed, started, args.time_limit)

    report = compose_report(
        Run(args, files, mutants, chosen, results, listed, stale, setup_seconds,
            time.monotonic() - started, stopped_by_limit)
    )
    write_atomically(args.report if args.report.is_absolute() else ROOT / args.report, report["full"])
    print(report["summary"])
    return 1 if report["failed"] else 0


def final_status(status, entry):
    """The status of a mutant once the list of known equivalents is taken
    into account."""
    if status == "survived" and entry:
        return "equivalent"
    return status


def run_mutants(chosen, workers, listed, started, time_limit):
    results, stopped_by_limit = {}, False
    pending, free, in_flight = list(chosen), list(workers), {}
    run_start = time.monotonic()
    with concurrent.futures.ThreadPoolExecutor(max_workers=len(workers)) as pool:
        try:
            while pending or in_flight:
                while pending and free:
                    if time_limit is not None and time.monotonic() - started >= time_limit:
                        stopped_by_limit = True
                        pending.clear()
                        break
                    m, w = pending.pop(0), free.pop()
                    in_flight[pool.submit(timed, w, m)] = (m, w)
                if not in_flight:
                    break
                done, _ = concurrent.futures.wait(in_flight, return_when=concurrent.futures.FIRST_COMPLETED)
                for future in done:
                    m, w = in_flight.pop(future)
                    free.append(w)
                    results[m.key] = future.result()
                    status, _, seconds = results[m.key]
                    n = len(results)
                    eta = (time.monotonic() - run_start) / n * (len(chosen) - n)
                    progress(
                        f"[{n}/{len(chosen)}] {final_status(status, listed.get(m.key)):<15} {m.where} "
                        f"{m.change} ({seconds:.1f} s, about {duration(eta)} left)"
                    )
        except KeyboardInterrupt:
            progress("interrupted: the working tree was never touched; no report written")
            os._exit(130)
    return results, stopped_by_limit


def timed(worker, mutant):
    start = time.monotonic()
    status, detail = worker.test(mutant)
    return status, detail, time.monotonic() - start


@dataclasses.dataclass
class Run:
    args: argparse.Namespace
    files: list
    mutants: list
    chosen: list
    results: dict
    listed: dict
    stale: list
    setup_seconds: float
    total_seconds: float
    stopped_by_limit: bool


def compose_report(r):
    counts = dict.fromkeys(("killed", "timeout", "survived", "equivalent", "not compiling"), 0)
    findings, detail, mutant_seconds = [], [], []
    equivalents = shown_path(r.args.equivalents if r.args.equivalents.is_absolute() else ROOT / r.args.equivalents)
    for m in r.chosen:
        if m.key not in r.results:
            continue
        status, info, seconds = r.results[m.key]
        mutant_seconds.append(seconds)
        entry = r.listed.get(m.key)
        shown = final_status(status, entry)
        counts[shown] += 1
        detail.append(f"{shown:<15} {m.where} {m.change}  {entry.reason if entry else info}  [{seconds:.1f} s]")
        if shown == "survived":
            findings.append(
                f"{m.where}: error: mutant survived: {m.change}\n"
                f"  note: {m.key}\n"
                f"  help: add a test that fails with this change; if no output can ever differ, add the note's\n"
                f"        text followed by ': REASON' to {equivalents}"
            )
        elif entry and status in ("killed", "timeout"):
            findings.append(
                f"{entry.where}: error: listed as equivalent, but the tests kill it ({m.where})\n"
                f"  help: remove the entry"
            )
    for e in r.stale:
        findings.append(
            f"{e.where}: error: stale entry: no mutant of {e.file} matches it\n"
            f"  help: the code changed; remove the entry, or renew it from `scripts/mutate.sh --list {e.file}`"
        )

    scope = "core/ and host/" if not r.args.files else " ".join(r.files)
    what = f"all {len(r.chosen)}" if r.args.sample is None else f"a sample of {len(r.chosen)} (seed {r.args.seed})"
    ran = len(mutant_seconds)
    lines = [
        f"velt mutation report: {len(r.mutants)} mutants of {scope}; ran {what}"
        + (f", stopped by the time limit after {ran}" if r.stopped_by_limit else ""),
        f"  killed {counts['killed'] + counts['timeout']} (timed out {counts['timeout']}), "
        f"survived {counts['survived']}, known equivalent {counts['equivalent']}, "
        f"not compiling {counts['not compiling']}",
        f"  time {duration(r.total_seconds)} (setup {duration(r.setup_seconds)}), "
        + (f"{sum(mutant_seconds) / ran:.1f} s per mutant" if ran else "no mutant run"),
    ]
    summary = "\n".join(lines + findings)
    full = summary + "\n\nevery mutant run: status, place, change, detail or reason, time\n" + "\n".join(detail)
    failed = any(": error: " in f.split("\n", 1)[0] for f in findings)
    return {"summary": summary, "full": full + "\n", "failed": failed}


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: os._exit(143))
    sys.exit(main())
