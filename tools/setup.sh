#!/usr/bin/env bash
# Installs the Debian packages the project needs. This is the one list of
# them, in two parts: what building and playing the game needs, and what
# testing, fuzzing and the benchmarks add.
#   bash tools/setup.sh        everything (what tools/test.sh runs)
#   bash tools/setup.sh play   only what tools/play.sh needs
# Idempotent: the package manager is asked once which of them are installed,
# and apt-get runs only when one is missing.
set -euo pipefail

play_packages=(
  # build
  build-essential cmake ninja-build pkg-config
  # platform stand-ins: window, input, GL through Mesa, font, sound
  libsdl2-dev libgl-dev libgl1-mesa-dri libfreetype-dev fonts-dejavu-core
  libopenal-dev libsndfile1-dev
  # texture reader
  libpng-dev zlib1g-dev
  # the game's heap (shared/src/heap.cpp)
  libmimalloc-dev
)

test_packages=(
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # the GL pixel tests draw without a display, through EGL
  libegl1 libegl-mesa0
  # end-to-end tests: a virtual display, input as a person gives it,
  # screenshots, and the driver script; X11 fonts, as a desktop has them, so
  # that the game's message boxes (SDL's, which need a server font) open as
  # a player sees them and the tests answer them (without any font the box's
  # text goes to stderr instead)
  xvfb xauth xdotool x11-apps python3 xfonts-base
  # the grammar-table generator reads bison's XML report
  libexpat1-dev
  # regenerating grammar tables (not needed to build)
  bison
  # the format check of the sources (tools/check_format.sh)
  clang-format-14
  # fuzzing: clang with libFuzzer and the sanitizer runtimes (tools/fuzz.sh)
  clang libclang-rt-14-dev
  # instructions counted by callgrind (tools/idle_instructions.py)
  valgrind
)

case "${1:-all}" in
  play) packages=("${play_packages[@]}") ;;
  all) packages=("${play_packages[@]}" "${test_packages[@]}") ;;
  *)
    echo "usage: setup.sh [play|all]" >&2
    exit 2
    ;;
esac

# One query for all of them: a line for each package dpkg knows, and none
# (only a complaint on stderr) for one it has never seen.
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null |
  awk '$NF == "installed" && $(NF-1) == "ok" { print $1 }' || true)
missing=()
for package in "${packages[@]}"; do
  if ! grep -qxF "$package" <<<"$installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
