#!/usr/bin/env bash
# Installs what the build and the tests need, builds qozcal, and runs the whole
# test suite: the host build (with the Windows builds and the Wine end-to-end
# run), the same suite under AddressSanitizer/UndefinedBehaviorSanitizer, each
# fuzz target for 60 s, and one headless calibration under valgrind.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake g++ make pkg-config
  libgtest-dev
  libsdl2-dev libfreetype-dev libfontconfig-dev libpng-dev fonts-nanum fontconfig
  xvfb xdotool x11-utils imagemagick
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386 icoutils python3
  clang libclang-rt-14-dev valgrind libbenchmark-dev
)

bash scripts/install-packages.sh "${packages[@]}"

jobs=$(nproc)
for preset in host asan; do
  echo "== $preset: configure, build, test"
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$jobs"
  # The Windows builds and the Wine run check Windows executables, which no
  # host sanitizer instruments: they run once, with the host preset.
  exclude=()
  [ "$preset" = host ] || exclude=(-E '^(windows_|wine_)')
  ctest --preset "$preset" -j "$jobs" "${exclude[@]}"
done

echo "== fuzz: each target for 60 s"
bash scripts/fuzz.sh 60

echo "== valgrind: one headless calibration"
bash scripts/valgrind.sh build/host/bin/qozcal
echo "== all tests passed"
