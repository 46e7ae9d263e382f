#!/usr/bin/env python3
"""Checks what of the include layers the compiler cannot see.

Each library's include path names only its own folders, those of the
libraries below it and services/ (cmake/subsystems.cmake), so an upward
include by base name does not compile, and the tests plant one for every pair
of libraries (tests/CMakeLists.txt, layers_compile_*). Two holes stay open to
the compiler, and this check closes them:

- A path that climbs: "../runtime/entity.h" is found beside the including
  file, "platform/../script/src/script.h" through the platform's own include
  folder. A module of the game or of the platform includes a header of the
  tree only by its base name, as "platform/NAME.h", or below its own folder.
- A header name used twice: the include path would pick one of the two by
  the order of its folders, without a word.
- A header of a library above the including file's, included by its base
  name where the system's include folders hold a header of that name too
  ("menu.h" is also a terminal library's): the compiler takes the system's
  and the include compiles. So every include of a project header's base name
  is held to the layers here as well, whatever the system holds.

The check reads every include as the preprocessor would: "quoted" and
<angled> names, a name given through a macro of the same file, after
comments and across line continuations.

    tools/check_layers.py [source-root]
    tools/check_layers.py [source-root] --plant FILE:TEXT   (acts as if TEXT,
        source lines with \\n between them, ended FILE; shows a fault)
    tools/check_layers.py [source-root] --self-test   (plants each fault
        and fails unless each is found)

Exit status 0 when the tree keeps its layers, 1 with one line per fault.
"""
import argparse
import os
import re
import sys

# The folders of the libraries' modules.
SOURCE_FOLDERS = ("shared/src", "convert/src", "dxcode/src", "gamecode/src", "script/src",
                  "services", "platform")
# The rank of each folder in the layers (cmake/subsystems.cmake): a module
# sees the headers of its own rank and below. The services headers are seen
# from the frame up.
LAYER_RANKS = (("platform", 0), ("shared/src", 1), ("convert/src/math", 2), ("dxcode/src", 3),
               ("gamecode/src/frame", 3), ("services", 3), ("convert/src/models", 4),
               ("gamecode/src/models", 4), ("convert/src/world", 5), ("script/src", 6),
               ("gamecode/src/runtime", 7))
DIRECTIVE = re.compile(r"^[ \t]*#[ \t]*(include|define)\b[ \t]*(.*)$", re.MULTILINE)
MACRO = re.compile(r"^([A-Za-z_]\w*)[ \t]+([\"<].*)$")


def source_files(root):
    """Every .h and .cpp of the libraries' folders, as paths from the root."""
    found = []
    for folder in SOURCE_FOLDERS:
        for directory, _, names in os.walk(os.path.join(root, folder)):
            for name in names:
                if name.endswith((".h", ".cpp")):
                    found.append(os.path.relpath(os.path.join(directory, name), root))
    return sorted(found)


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


def layer_rank(path):
    """The rank of the library whose folder holds `path`."""
    ranks = [rank for folder, rank in LAYER_RANKS if path.startswith(folder + "/")]
    return max(ranks) if ranks else None


def upward_fault(path, name, headers):
    """Why including the project header `name` by its base name breaks the
    layers, or None."""
    header = headers.get(name)
    if "/" in name or not header:
        return None
    own, theirs = layer_rank(path), layer_rank(header)
    if own is None or theirs is None or theirs <= own:
        return None
    return f"{path} includes \"{name}\", a header of a library above its own ({header})"


def include_fault(root, path, form, name):
    """Why the include `name` of `path` passes the compiler but not the
    layers, or None."""
    if form == "?":
        # The platform builds on libraries that name their headers through
        # macros; the game's modules do not.
        if path.startswith("platform/"):
            return None
        return f"{path} includes through the macro {name}, which names no header of its own file"
    if "/" not in name:
        return None
    if name.startswith("platform/") and "/" not in name[len("platform/"):]:
        return None
    own = os.path.dirname(path)
    beside = os.path.normpath(os.path.join(own, name))
    if not name.startswith(("/", "..")) and ".." not in name.split("/"):
        # A header below the including file's own folder is its own; any
        # other path with a folder is a library's or the system's, unless it
        # names a file of the tree.
        if os.path.isfile(os.path.join(root, beside)):
            return None
        if not os.path.isfile(os.path.join(root, os.path.normpath(name))):
            return None
    return (f"{path} includes \"{name}\": a header of the tree is included by its base name "
            "(or as \"platform/NAME.h\"), never by a path that leaves the including folder")


def check(root, planted=None):
    faults = []
    files = source_files(root)
    if planted and planted[0] not in files:
        files.append(planted[0])
    headers = {}
    for path in files:
        if path.endswith(".h"):
            base = os.path.basename(path)
            if base in headers:
                faults.append(f"{path}: header name also used by {headers[base]}")
            else:
                headers[base] = path
    for path in files:
        full = os.path.join(root, path)
        text = open(full, errors="replace").read() if os.path.exists(full) else ""
        if planted and planted[0] == path:
            text += "\n" + planted[1] + "\n"
        for form, included in includes_of(text):
            fault = include_fault(root, path, form, included) or (
                form != "?" and upward_fault(path, included, headers))
            if fault:
                faults.append(fault)
    return faults


# Each fault the compiler lets through, planted in a module and expected
# among the faults.
CLIMBS = "never by a path that leaves the including folder"
PLANTS = [
    ("gamecode/src/frame/input.cpp", '#include "../runtime/entity.h"', CLIMBS),
    ("gamecode/src/frame/input.cpp", '#include "../../../script/src/script.h"', CLIMBS),
    ("gamecode/src/frame/input.cpp", '#include <../runtime/entity.h>', CLIMBS),
    ("gamecode/src/frame/input.cpp", '#define RUNTIME_HEADER "../runtime/entity.h"\n'
     '#include RUNTIME_HEADER', CLIMBS),
    ("gamecode/src/frame/input.cpp", "#include RUNTIME_HEADER", "through the macro RUNTIME_HEADER"),
    ("gamecode/src/frame/input.cpp", '/* the runtime */ #include "../runtime/entity.h"', CLIMBS),
    ("gamecode/src/frame/input.cpp", '#  include \\\n"../runtime/entity.h"', CLIMBS),
    ("services/world_services.h", '#include "../convert/src/models/win_ast.h"', CLIMBS),
    ("platform/win32.cpp", '#include "../gamecode/src/runtime/entity.h"', CLIMBS),
    ("platform/win32.cpp", '#include "platform/../script/src/script.h"', CLIMBS),
    ("platform/win32.cpp", '#define GAME_HEADER "../services/runtime_services.h"\n'
     '#include GAME_HEADER', CLIMBS),
    ("gamecode/src/frame/entity.h", "", "gamecode/src/frame/entity.h: header name also used by"),
    # The system holds a "menu.h" as well: the compiler would take it.
    ("shared/src/debug.cpp", '#include "menu.h"', "a header of a library above its own"),
    ("platform/win32.cpp", '#include <menu.h>', "a header of a library above its own"),
    ("convert/src/math/win_math.cpp", '#include "runtime_services.h"',
     "a header of a library above its own"),
    ("gamecode/src/frame/input.cpp", '#include "entity.h"', "a header of a library above its own"),
]


def self_test(root):
    """0 when the tree passes and every planted fault is found."""
    failures = [f"the tree itself: {fault}" for fault in check(root)]
    for path, text, expected in PLANTS:
        faults = check(root, (path, text))
        if not any(expected in fault for fault in faults):
            failures.append(f"{path} planted with {text!r}: no fault says {expected!r} "
                            f"(faults: {faults})")
    for failure in failures:
        print(failure)
    if not failures:
        print(f"all {len(PLANTS)} planted faults were found")
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser(description="Checks what of the include layers the "
                                     "compiler cannot see.")
    parser.add_argument("root", nargs="?", default=os.path.join(os.path.dirname(__file__), ".."))
    parser.add_argument("--plant", metavar="FILE:TEXT",
                        help="act as if FILE ended with TEXT (\\n between lines)")
    parser.add_argument("--self-test", action="store_true",
                        help="plant each fault and expect each found")
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
