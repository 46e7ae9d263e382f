#!/usr/bin/env bash
# Builds the project twice and runs every test in each build:
#   build/          the normal build (RelWithDebInfo), all tests
#   build-sanitize/ AddressSanitizer + UndefinedBehaviorSanitizer, all tests
# then builds the fuzz targets with clang and runs each for 15 seconds
# (tools/fuzz.sh, in build-fuzz/). Fails on any failing test, any sanitizer
# report and any fuzz finding.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh
bash tools/check_format.sh

jobs=$(nproc)

# Sanitizer reports abort the test process, so CTest counts them as failures.
# The test programs start from their own defaults, which these add to
# (intercept_tls_get_addr=0, tests/support/sanitizer_options.cpp says why).
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:allocator_may_return_null=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="report_objects=1"

run_build() {
  local dir=$1 type=$2
  echo "== $dir ($type)"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" -DVARNOCK_WERROR=ON >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300
}

run_build build RelWithDebInfo
run_build build-sanitize Sanitize
bash tools/fuzz.sh -t 15
echo "== all tests passed"
