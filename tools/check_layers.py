#!/usr/bin/env python3
"""Checks that every module includes only what its layer may see.

The subsystems and their modules are those of cmake/subsystems.cmake, in the
order they are declared there (the lowest first); the platform stand-in
(platform/) stands below them all. A module may include the headers of its
own subsystem and of lower ones, and of a higher subsystem only that
subsystem's services header (<name>_services.h). The platform includes
nothing of the game. Every header a module includes must belong to a
subsystem, so a new module that is not listed is found too.

    tools/check_layers.py [source-root]
    tools/check_layers.py [source-root] --plant FILE:HEADER   (self-test: acts
        as if FILE included HEADER; used to show that the check fails)

Exit status 0 when the tree keeps its layers, 1 with one line per fault.
"""
import argparse
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def read_subsystems(root):
    """[(name, [files...])] in declaration order, from cmake/subsystems.cmake."""
    text = open(os.path.join(root, "cmake", "subsystems.cmake")).read()
    text = re.sub(r"#[^\n]*", "", text)
    subsystems = []
    for call in re.finditer(r"varnock_subsystem\(\s*(\w+)(.*?)\)", text, re.DOTALL):
        name, body = call.group(1), call.group(2)
        files, section = [], None
        for word in body.split():
            if word in ("INCLUDES", "SOURCES", "HEADERS", "LIBS"):
                section = word
            elif section in ("SOURCES", "HEADERS"):
                files.append(word)
        subsystems.append((name, files))
    return subsystems


def layer_table(root, subsystems):
    """header base name -> (rank, subsystem, path); file path -> (rank, subsystem)."""
    headers, files, faults = {}, {}, []

    def add_header(path, rank, name):
        base = os.path.basename(path)
        if base in headers and headers[base][2] != path:
            faults.append(f"{path}: header name also used by {headers[base][2]}")
        headers[base] = (rank, name, path)

    for rank, (name, listed) in enumerate(subsystems, start=1):
        for path in listed:
            files[path] = (rank, name)
            if path.endswith(".cpp"):
                header = path[:-4] + ".h"
                if os.path.exists(os.path.join(root, header)):
                    files[header] = (rank, name)
                    add_header(header, rank, name)
            else:
                add_header(path, rank, name)
    for entry in sorted(os.listdir(os.path.join(root, "platform"))):
        if entry.endswith((".h", ".cpp")):
            files["platform/" + entry] = (0, "platform")
    return headers, files, faults


def check(root, planted=None):
    subsystems = read_subsystems(root)
    headers, files, faults = layer_table(root, subsystems)
    for path, (rank, name) in sorted(files.items()):
        full = os.path.join(root, path)
        if not os.path.exists(full):
            faults.append(f"{path}: listed in cmake/subsystems.cmake but missing")
            continue
        included = INCLUDE.findall(open(full, errors="replace").read())
        if planted and planted[0] == path:
            included.append(planted[1])
        for header in included:
            if header.startswith("platform/"):
                continue
            if name == "platform":
                if not os.path.exists(os.path.join(root, "platform", header)):
                    faults.append(f"{path}: the platform includes the game's \"{header}\"")
                continue
            target = headers.get(os.path.basename(header))
            if target is None:
                # A header of the folder that no subsystem lists: a module
                # that is not in the build's architecture.
                folder = os.path.dirname(path)
                if os.path.exists(os.path.join(root, folder, header)):
                    faults.append(f"{path}: includes \"{header}\", which no subsystem lists")
                continue
            target_rank, target_name, target_path = target
            if target_rank <= rank:
                continue
            if os.path.basename(target_path) == f"{target_name}_services.h":
                continue
            faults.append(
                f"{path} ({name}) includes \"{header}\" of the higher subsystem "
                f"{target_name}; a lower subsystem includes only {target_name}_services.h")
    return faults


def main():
    parser = argparse.ArgumentParser(description="Checks the include layers of the tree.")
    parser.add_argument("root", nargs="?", default=os.path.join(os.path.dirname(__file__), ".."))
    parser.add_argument("--plant", metavar="FILE:HEADER",
                        help="act as if FILE included HEADER (to see the check fail)")
    args = parser.parse_args()
    planted = tuple(args.plant.split(":", 1)) if args.plant else None
    faults = check(args.root, planted)
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
