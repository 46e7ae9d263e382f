#!/usr/bin/env bash
# Builds the game, writes the demo data tree into demo/ and runs the game
# there (its configuration file and debug.txt land in demo/ too; a
# configuration file from an earlier game is kept).
#   bash tools/play.sh
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target varnock demo_tree -j "$(nproc)"
mkdir -p demo
build/tools/demo_tree demo
cd demo
exec ../build/varnock
