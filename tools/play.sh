#!/usr/bin/env bash
# Builds what playing needs (the game and the demo data tree's writer, no
# tests or benchmarks) in build-play/, writes the demo data tree into demo/
# and runs the game there (its configuration file and debug.txt land in
# demo/ too; a configuration file from an earlier game is kept).
#   bash tools/play.sh
#   JOBS=2 bash tools/play.sh   build jobs (default: all cores)
# Playing again builds nothing when nothing changed: the build is configured
# only the first time (ninja configures it again itself when a CMakeLists.txt
# changes).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-play

bash tools/setup.sh play
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNOCK_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target varnock demo_tree -j "${JOBS:-$(nproc)}"
mkdir -p demo
"$build/tools/demo_tree" demo
cd demo
exec "../$build/varnock"
