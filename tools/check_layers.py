#!/usr/bin/env python3
"""Checks that every module includes only what its layer may see.

The subsystems and their modules are those of cmake/subsystems.cmake, in the
order they are declared there (the lowest first); the platform stand-in
(platform/) stands below them all. A module may include the headers of its
own subsystem and of lower ones, and of a higher subsystem only that
subsystem's services header (<name>_services.h). The platform includes
nothing of the game. Every header of the game's folders that a module
includes must belong to a subsystem, so a new module that is not listed is
found too.

The compiler keeps most of this already (a subsystem's include path holds
only its own folders, those below it and the services headers), but folders
are shared by several subsystems and a file sees its own folder, so the check
reads every include as the preprocessor would: "quoted" and <angled> names,
a name given through a macro of the same file, after comments and across
line continuations, and paths relative to the including file or the tree's
root (resolved, so "../" and "platform/../" lead where they lead).

    tools/check_layers.py [source-root]
    tools/check_layers.py [source-root] --plant FILE:TEXT   (acts as if TEXT,
        source lines with \\n between them, ended FILE; shows a fault)
    tools/check_layers.py [source-root] --self-test   (plants an upward
        include in every form and fails unless each is found)

Exit status 0 when the tree keeps its layers, 1 with one line per fault.
"""
import argparse
import os
import re
import sys

GAME_FOLDERS = ("shared/", "convert/", "dxcode/", "gamecode/", "script/", "services/")
DIRECTIVE = re.compile(r"^[ \t]*#[ \t]*(include|define)\b[ \t]*(.*)$", re.MULTILINE)
MACRO = re.compile(r"^([A-Za-z_]\w*)[ \t]+([\"<].*)$")


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
    """header base name -> path; file path -> (rank, subsystem); faults."""
    headers, files, faults = {}, {}, []

    def add_header(path):
        base = os.path.basename(path)
        if base in headers and headers[base] != path:
            faults.append(f"{path}: header name also used by {headers[base]}")
        headers[base] = path

    for rank, (name, listed) in enumerate(subsystems, start=1):
        for path in listed:
            files[path] = (rank, name)
            if path.endswith(".cpp"):
                header = path[:-4] + ".h"
                if os.path.exists(os.path.join(root, header)):
                    files[header] = (rank, name)
                    add_header(header)
            else:
                add_header(path)
    for entry in sorted(os.listdir(os.path.join(root, "platform"))):
        if entry.endswith((".h", ".cpp")):
            files["platform/" + entry] = (0, "platform")
    return headers, files, faults


def strip_comments(text):
    """The text with its line continuations joined and every comment made a
    space (a block comment keeps its line ends); string and character
    literals are kept as they stand."""
    text = text.replace("\\\n", "")
    out, i, n = [], 0, len(text)
    while i < n:
        c = text[i]
        if c == "/" and text.startswith("//", i):
            end = text.find("\n", i)
            i = n if end < 0 else end
            out.append(" ")
        elif c == "/" and text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append(" " + "\n" * text.count("\n", i, end))
            i = end
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(text[i:j + 1])
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def includes_of(text):
    """[(form, name)] of every include of the text: form '"' or '<', or
    '?' with the macro's name when it names no header defined in the text."""
    text = strip_comments(text)
    macros, found = {}, []
    for directive, rest in DIRECTIVE.findall(text):
        rest = rest.strip()
        if directive == "define":
            match = MACRO.match(rest)
            if match:
                macros[match.group(1)] = match.group(2).strip()
        else:
            found.append(rest)
    result = []
    for rest in found:
        rest = macros.get(rest, rest)
        if rest.startswith('"') and rest.find('"', 1) > 0:
            result.append(('"', rest[1:rest.find('"', 1)]))
        elif rest.startswith("<") and rest.find(">") > 0:
            result.append(("<", rest[1:rest.find(">")]))
        else:
            result.append(("?", rest))
    return result


def resolve(root, path, form, name, headers):
    """The tree path the include names, or None for a header of the system
    or of a library."""
    candidates = []
    if form == '"':
        candidates.append(os.path.normpath(os.path.join(os.path.dirname(path), name)))
    candidates.append(os.path.normpath(name))
    for candidate in candidates:
        if not candidate.startswith("..") and os.path.isfile(os.path.join(root, candidate)):
            return candidate
    # Found on an include path: a header of the game is known by its name.
    listed = headers.get(os.path.basename(name))
    if listed and (listed == os.path.normpath(name) or listed.endswith("/" + name)):
        return listed
    return None


def check(root, planted=None):
    subsystems = read_subsystems(root)
    headers, files, faults = layer_table(root, subsystems)
    for path, (rank, name) in sorted(files.items()):
        full = os.path.join(root, path)
        if not os.path.exists(full):
            faults.append(f"{path}: listed in cmake/subsystems.cmake but missing")
            continue
        text = open(full, errors="replace").read()
        if planted and planted[0] == path:
            text += "\n" + planted[1] + "\n"
        for form, included in includes_of(text):
            if form == "?":
                # The platform builds on libraries that name their headers
                # through macros; the game's modules do not.
                if name != "platform":
                    faults.append(f"{path} ({name}) includes through the macro {included}, "
                                  "which names no header of its own file")
                continue
            target = resolve(root, path, form, included, headers)
            if target is None:
                continue
            if name == "platform":
                if not target.startswith("platform/"):
                    faults.append(f"{path}: the platform includes the game's \"{target}\"")
                continue
            if target not in files:
                if target.startswith(GAME_FOLDERS + ("platform/",)):
                    faults.append(f"{path}: includes \"{target}\", which no subsystem lists")
                else:
                    faults.append(f"{path}: includes \"{target}\", outside the game's folders")
                continue
            target_rank, target_name = files[target]
            if target_rank <= rank:
                continue
            if os.path.basename(target) == f"{target_name}_services.h":
                continue
            faults.append(
                f"{path} ({name}) includes \"{target}\" of the higher subsystem "
                f"{target_name}; a lower subsystem includes only {target_name}_services.h")
    return faults


# Upward includes in every form the preprocessor takes, each planted in a
# module and expected among the faults.
PLANTS = [
    ("gamecode/src/frame/input.cpp", '#include "entity.h"', '"gamecode/src/runtime/entity.h" of the higher'),
    ("gamecode/src/frame/input.cpp", "#include <entity.h>", '"gamecode/src/runtime/entity.h" of the higher'),
    ("gamecode/src/frame/input.cpp", '#define RUNTIME_HEADER "entity.h"\n#include RUNTIME_HEADER',
     '"gamecode/src/runtime/entity.h" of the higher'),
    ("gamecode/src/frame/input.cpp", "#include RUNTIME_HEADER", "through the macro RUNTIME_HEADER"),
    ("gamecode/src/frame/input.cpp", '/* the runtime */ #include "entity.h"',
     '"gamecode/src/runtime/entity.h" of the higher'),
    ("gamecode/src/frame/input.cpp", '#include /* the runtime */ "entity.h"',
     '"gamecode/src/runtime/entity.h" of the higher'),
    ("gamecode/src/frame/input.cpp", '#  include \\\n"entity.h"', '"gamecode/src/runtime/entity.h" of the higher'),
    ("gamecode/src/frame/input.cpp", '#include "../../../script/src/script.h"',
     '"script/src/script.h" of the higher'),
    ("gamecode/src/frame/input.cpp", '#include "win_entity.h"', '"convert/src/world/win_entity.h" of the higher'),
    ("gamecode/src/frame/input.cpp", '#include "script_imports.h"',
     '"script/src/script_imports.h" of the higher'),
    ("convert/src/models/mow_animate.cpp", '#include "entity_io.h"', '"gamecode/src/runtime/entity_io.h" of the higher'),
    ("platform/win32.cpp", '#include "../gamecode/src/runtime/entity.h"',
     'the platform includes the game\'s "gamecode/src/runtime/entity.h"'),
    ("platform/win32.cpp", '#include "platform/../script/src/script.h"',
     'the platform includes the game\'s "script/src/script.h"'),
    ("platform/win32.cpp", "#include <debug.h>", 'the platform includes the game\'s "shared/src/debug.h"'),
    ("platform/win32.cpp", '#define GAME_HEADER "../services/runtime_services.h"\n#include GAME_HEADER',
     'the platform includes the game\'s "services/runtime_services.h"'),
]


def self_test(root):
    """0 when the tree passes and every planted include is found."""
    failures = [f"the tree itself: {fault}" for fault in check(root)]
    for path, text, expected in PLANTS:
        faults = check(root, (path, text))
        if not any(expected in fault for fault in faults):
            failures.append(f"{path} planted with {text!r}: no fault says {expected!r} "
                            f"(faults: {faults})")
    for failure in failures:
        print(failure)
    if not failures:
        print(f"all {len(PLANTS)} planted includes were found")
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser(description="Checks the include layers of the tree.")
    parser.add_argument("root", nargs="?", default=os.path.join(os.path.dirname(__file__), ".."))
    parser.add_argument("--plant", metavar="FILE:TEXT",
                        help="act as if FILE ended with TEXT (\\n between lines)")
    parser.add_argument("--self-test", action="store_true",
                        help="plant upward includes of every form and expect each found")
    args = parser.parse_args()
    if args.self_test:
        return self_test(args.root)
    planted = None
    if args.plant:
        path, text = args.plant.split(":", 1)
        planted = (path, text.replace("\\n", "\n"))
    faults = check(args.root, planted)
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
