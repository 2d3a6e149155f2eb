#!/usr/bin/env python3
"""The keys of scripts/lint.sh's record of passes.

A file's key is a SHA-256 over everything clang-tidy reads when it checks
that file: its version, every .clang-tidy between the repository root and
the file, the way lint.sh runs it (a test file's second pass with the
analyzer model included), the compile command, and the translation unit
as clang-tidy's own compiler sees it: clang++-14 -E -C, comments and line
markers kept (NOLINT comments and line positions change what is reported),
with __clang_analyzer__ defined as it is for the analyzer. The repository's
own path is written as a placeholder, so a clone elsewhere gets the same
key; the system headers are in the text, so another compiler or library
version gets another key.

    lint_keys.py BUILD_DIR EXTRA_ARGS JOBS FILE:TEST... > keys

prints "KEY FILE" per file, in the order given. FILE:TEST is a file
relative to the repository root and 1 for a test file (two passes), 0 for
the others. A file that does not preprocess gets no line: lint.sh then
checks it and clang-tidy says why.
"""

import concurrent.futures
import hashlib
import json
import shlex
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
MODEL = "tests/support/gtest_analyzer_model.h"
# What changes the meaning of a key: bump when lint.sh runs clang-tidy otherwise.
LINT_MODE = "lint.sh: clang-tidy-14 --quiet -p BUILD; tests: -clang-analyzer-* then clang-analyzer-* with the model"


def tidy_configs(rel):
    parts = []
    folder = (ROOT / rel).parent
    while True:
        config = folder / ".clang-tidy"
        if config.is_file():
            parts.append(f"{config.relative_to(ROOT)}\n{config.read_text()}")
        if folder in (ROOT, folder.parent):
            break
        folder = folder.parent
    return "\n".join(parts)


def compile_arguments(commands, rel):
    """The compile command of one file, without the compiler, its output
    and its dependency-file options."""
    target = str(ROOT / rel)
    for entry in commands:
        if entry["file"] == target:
            argv = entry.get("arguments") or shlex.split(entry["command"])
            # The compiler, and a launcher before it if any: everything up to the first option.
            first_option = next((i for i, a in enumerate(argv) if a.startswith("-")), len(argv))
            out, skip = [], False
            for arg in argv[first_option:]:
                if skip:
                    skip = False
                elif arg in ("-o", "-MF", "-MT", "-MQ"):
                    skip = True
                elif arg not in ("-c", "-MD", "-MMD", target):
                    out.append(arg)
            return entry["directory"], out
    return None, None


def preprocessed(directory, args, rel, extra):
    argv = ["clang++-14", *extra, *args, "-D__clang_analyzer__", "-E", "-C", str(ROOT / rel), "-o", "-"]
    result = subprocess.run(argv, cwd=directory, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=False)
    if result.returncode != 0:
        return None
    return result.stdout


def key_of(commands, extra, version, rel, test):
    directory, args = compile_arguments(commands, rel)
    if args is None:
        return None
    digest = hashlib.sha256()
    root = str(ROOT).encode()
    for part in (version, LINT_MODE, tidy_configs(rel), " ".join(extra), " ".join(args)):
        digest.update(part.encode().replace(root, b"@ROOT@") + b"\0")
    passes = [[]]
    if test:
        passes.append(["-include", str(ROOT / MODEL)])
    for more in passes:
        text = preprocessed(directory, args, rel, extra + more)
        if text is None:
            return None
        digest.update(text.replace(root, b"@ROOT@") + b"\0")
    return digest.hexdigest()


def main():
    if len(sys.argv) < 4:
        sys.exit("usage: lint_keys.py BUILD_DIR EXTRA_ARGS JOBS FILE:TEST...")
    commands = json.loads(((ROOT / sys.argv[1]) / "compile_commands.json").read_text())
    extra = [a.removeprefix("--extra-arg=") for a in shlex.split(sys.argv[2])]
    jobs = int(sys.argv[3])
    files = [item.rsplit(":", 1) for item in sys.argv[4:]]
    # The version line only: the next ones name this machine's processor.
    version = subprocess.run(["clang-tidy-14", "--version"], stdout=subprocess.PIPE, text=True, check=True).stdout
    version = next((line.strip() for line in version.splitlines() if "version" in line), version)
    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        keys = pool.map(lambda f: key_of(commands, extra, version, f[0], f[1] == "1"), files)
        for (rel, _), key in zip(files, keys):
            if key is not None:
                print(key, rel)


if __name__ == "__main__":
    main()
