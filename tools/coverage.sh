#!/usr/bin/env bash
# How much of the game the demo level's in-process play runs: builds the
# runtime's test program with gcov's counters in build-coverage/ (build type
# Coverage, unoptimised), runs the play (the DemoPlay tests of
# tests/gamecode/runtime/demo_play_test.cpp) on fresh counters, and prints the share of
# each subsystem's lines it ran, and of each runtime module's
# (tools/coverage.py; the README says how to read the figures).
#
#   bash tools/coverage.sh [-j JOBS] [GTEST_FILTER]
# JOBS defaults to the machine's cores; GTEST_FILTER to 'DemoPlay.*'.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
if [ "${1:-}" = "-j" ]; then
  jobs=$2
  shift 2
fi
filter=${1:-'DemoPlay.*'}

bash tools/setup.sh
cmake -S . -B build-coverage -G Ninja -DCMAKE_BUILD_TYPE=Coverage >/dev/null
cmake --build build-coverage -j "$jobs" --target test_runtime
find build-coverage -name '*.gcda' -delete
build-coverage/tests/test_runtime --gtest_filter="$filter" --gtest_brief=1
python3 tools/coverage.py build-coverage --modules runtime
