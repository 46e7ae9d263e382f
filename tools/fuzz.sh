#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) in build-fuzz/
# and runs each for a while, several at once. Usage:
#
#   bash tools/fuzz.sh [-t SECONDS] [-j PARALLEL] [TARGET...]
#
#   -t  seconds each target runs (default 15)
#   -j  targets run at once (default half the cores)
#   TARGET  names as in tests/fuzz/CMakeLists.txt (default: all)
#
# Each target starts from its corpus, build-fuzz/fuzz/corpus/NAME (kept, so
# runs add up), and its seeds, which the build writes. Inputs that crash,
# leak, hang or break a check are kept in build-fuzz/fuzz/findings/NAME/; the
# whole output of a run is build-fuzz/fuzz/logs/NAME.log. Prints one line per
# target (executions, coverage) and fails when any target found something.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=15
parallel=$(( $(nproc) / 2 > 0 ? $(nproc) / 2 : 1 ))
while getopts "t:j:" option; do
  case $option in
    t) seconds=$OPTARG ;;
    j) parallel=$OPTARG ;;
    *) echo "usage: $0 [-t SECONDS] [-j PARALLEL] [TARGET...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))

build=build-fuzz
out=$build/fuzz
echo "== $build (clang, libFuzzer)"
mkdir -p "$out"
if ! { CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -Wno-dev \
         -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNOCK_FUZZ=ON &&
       cmake --build "$build" --target fuzz -j "$(nproc)"; } >"$out/build.log" 2>&1; then
  tail -40 "$out/build.log"
  echo "fuzz: the build failed (all of it in $out/build.log)"
  exit 1
fi

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(sed -n 's/^varnock_fuzz_target(\([a-z_0-9]*\).*/\1/p' \
    tests/fuzz/CMakeLists.txt)
fi
mkdir -p "$out/logs"

# Findings are what libFuzzer reports; leaks count (LeakSanitizer), and an
# input that runs longer than 10 s is a hang.
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

run_target() {
  local name=$1
  local corpus=$out/corpus/$name findings=$out/findings/$name
  mkdir -p "$corpus" "$findings"
  "$build/tests/fuzz/fuzz_$name" "$corpus" "$build/tests/fuzz/seeds/$name" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/" >"$out/logs/$name.log" 2>&1
}

# At most $parallel targets at once.
declare -A status
declare -A job_of
for name in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do
    wait -n || true
  done
  run_target "$name" &
  job_of[$name]=$!
done
for name in "${targets[@]}"; do
  if wait "${job_of[$name]}"; then status[$name]=ok; else status[$name]=FOUND; fi
done

# One line per target from libFuzzer's final statistics.
failed=0
printf '%-14s %12s %9s %8s %8s %7s  %s\n' target executions exec/s cov ft corpus result
for name in "${targets[@]}"; do
  log=$out/logs/$name.log
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  corp=$(sed -n 's/.* corp: \([0-9]*\).*/\1/p' <<<"$last")
  printf '%-14s %12s %9s %8s %8s %7s  %s\n' "$name" "${runs:-?}" "${rate:-?}" "${cov:-?}" \
    "${ft:-?}" "${corp:-?}" "${status[$name]}"
  if [ "${status[$name]}" != ok ]; then
    failed=1
    grep -E 'ERROR:|fuzz check failed|Test unit written' "$log" | head -5 | sed 's/^/    /'
  fi
done
if [ $failed -ne 0 ]; then
  echo "fuzz: findings above (reproduce: $build/tests/fuzz/fuzz_NAME FILE)"
  exit 1
fi
echo "== fuzz: no findings"
