#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and play.
# This is the one list of them. Idempotent: apt-get runs only when a package
# is missing.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # platform stand-ins: window, input, GL through Mesa, font, sound
  libsdl2-dev libgl-dev libgl1-mesa-dri libegl1 libegl-mesa0 libfreetype-dev fonts-dejavu-core
  libopenal-dev libsndfile1-dev
  # texture reader
  libpng-dev zlib1g-dev
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
  # fuzzing: clang with libFuzzer and the sanitizer runtimes (tools/fuzz.sh)
  clang libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
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
