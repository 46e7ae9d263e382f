#!/usr/bin/env bash
# Writes the parser tables of a grammar beside it (NAME_tables.h and
# NAME_tables.cpp for NAME.y): bison describes the automaton, yytables
# compresses it into the engine's tables. Commit the written files; building
# needs no bison.
#   bash tools/yytables/generate.sh path/to/NAME.y [BUILD_DIR]
set -euo pipefail
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 GRAMMAR.y [BUILD_DIR]" >&2
  exit 2
fi
grammar=$1
build=${2:-build}
cmake --build "$build" --target yytables >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bison --xml="$work/automaton.xml" -o "$work/parser.c" "$grammar"
"$build/tools/yytables" "$grammar" "$work/automaton.xml" "$(dirname "$grammar")"
