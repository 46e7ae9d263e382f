#!/usr/bin/env python3
"""The share of each subsystem's lines that a run of a coverage build ran.

Reads the gcov counters (.gcda) that the run left beside the objects of a
build made with CMAKE_BUILD_TYPE=Coverage, through gcov's JSON output, and
prints for every subsystem library (platform, core, math, frame, models,
world, script, runtime) the lines ran of its executable lines, then the same
for each module of the libraries named with --modules. A module is its .cpp
file: code that a header holds counts for no module. A module that the run
never entered has no counters and counts with none of its lines ran.

usage: coverage.py BUILD_DIRECTORY [--modules runtime ...]
"""
import argparse
import json
import os
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

LIBRARIES = ["platform", "core", "math", "frame", "models", "world", "script", "runtime"]


def library_objects(build, library):
    """The directory that holds the library's objects and notes files."""
    for base in (os.path.join(build, "CMakeFiles"), os.path.join(build, library, "CMakeFiles")):
        directory = os.path.join(base, library + ".dir")
        if os.path.isdir(directory):
            return directory
    return None


def notes_files(directory):
    for root, _, files in os.walk(os.path.abspath(directory)):
        for name in sorted(files):
            if name.endswith(".gcno"):
                yield os.path.join(root, name)


def module_lines(notes):
    """(source path, executable lines, lines ran) of one object's module."""
    source_name = os.path.basename(notes)[:-len(".o.gcno")] if notes.endswith(".o.gcno") \
        else os.path.basename(notes)[:-len(".gcno")]
    result = subprocess.run(["gcov", "--json-format", "--stdout", notes],
                            cwd=os.path.dirname(notes), capture_output=True, text=True)
    if result.returncode != 0 or not result.stdout.strip():
        raise SystemExit("gcov failed on %s: %s" % (notes, result.stderr.strip()))
    total = ran = 0
    path = None
    # gcov prints one JSON document per line, one for each notes file given.
    for document in result.stdout.splitlines():
        if not document.strip():
            continue
        for record in json.loads(document)["files"]:
            if os.path.basename(record["file"]) != source_name:
                continue
            path = record["file"]
            lines = {line["line_number"]: line["count"] for line in record["lines"]}
            total += len(lines)
            ran += sum(1 for count in lines.values() if count > 0)
    return path or source_name, total, ran


def share(ran, total):
    return 100.0 * ran / total if total else 0.0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("build")
    parser.add_argument("--modules", nargs="*", default=["runtime"],
                        help="libraries whose modules are listed one by one")
    args = parser.parse_args()
    table = {}
    with ThreadPoolExecutor(max_workers=4) as pool:
        for library in LIBRARIES:
            directory = library_objects(args.build, library)
            if directory:
                table[library] = list(pool.map(module_lines, notes_files(directory)))
    if not table:
        print("no coverage build in %s (configure with -DCMAKE_BUILD_TYPE=Coverage)" % args.build,
              file=sys.stderr)
        return 1
    print("%-10s %7s %7s %7s" % ("subsystem", "lines", "ran", "share"))
    for library in LIBRARIES:
        if library not in table:
            continue
        total = sum(m[1] for m in table[library])
        ran = sum(m[2] for m in table[library])
        print("%-10s %7d %7d %6.1f%%" % (library, total, ran, share(ran, total)))
    for library in args.modules:
        if library not in table:
            continue
        print("\n%-24s %7s %7s %7s" % (library + " module", "lines", "ran", "share"))
        for path, total, ran in sorted(table[library], key=lambda m: os.path.basename(m[0])):
            print("%-24s %7d %7d %6.1f%%" % (os.path.splitext(os.path.basename(path))[0], total,
                                             ran, share(ran, total)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
