#!/usr/bin/env bash
# Installs what the build and the tests need, builds qozcal, and runs the whole
# test suite: the host build (with the Windows builds and the Wine end-to-end
# run), the same suite under AddressSanitizer/UndefinedBehaviorSanitizer, each
# fuzz target for 60 s, the window's benchmark beside its peer, and one
# headless calibration under valgrind. It ends with what it could not check
# on this machine, and why.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake g++ make pkg-config dpkg-dev groff-base
  libgtest-dev
  libsdl2-dev libx11-dev libfreetype-dev libfontconfig-dev libpng-dev fonts-nanum fontconfig
  xvfb xdotool x11-utils imagemagick
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386 icoutils python3
  clang libclang-rt-14-dev valgrind libbenchmark-dev xinput-calibrator
)

bash scripts/install-packages.sh "${packages[@]}"

# What of the project sits in the shared temporary folders and in the event
# folders (the runtime folder's, and the default one under the state folder);
# the run may add nothing to it.
project_leftovers() {
  local state=${XDG_STATE_HOME:-}
  [[ $state == /* ]] || state=${HOME:-}/.local/state
  find /dev/shm /tmp -mindepth 1 -maxdepth 1 -name 'qozcal*' 2>/dev/null || true
  for folder in ${XDG_RUNTIME_DIR:+"$XDG_RUNTIME_DIR/qozcal"} "$state/qozcal/events"; do
    [ ! -d "$folder" ] || find "$folder" -mindepth 1 -maxdepth 1
  done
}
leftovers_before=$(project_leftovers | sort)

jobs=$(nproc)
for preset in host asan; do
  echo "== $preset: configure, build, test"
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$jobs"
  # The Windows builds and the Wine run check Windows executables, which no
  # host sanitizer instruments: they run once, with the host preset.
  exclude=()
  [ "$preset" = host ] || exclude=(-LE '^windows$')
  ctest --preset "$preset" -j "$jobs" "${exclude[@]}" --output-junit "$PWD/build/$preset/tests.xml"
done

echo "== fuzz: each target for 60 s"
bash scripts/fuzz.sh 60

echo "== bench: the window beside xinput_calibrator --fake (idle, memory, time to map)"
cmake --preset bench
cmake --build --preset bench -j "$jobs"
build/bench/bin/qozcal-bench --benchmark_filter=Window

echo "== valgrind: one headless calibration"
bash scripts/valgrind.sh build/host/bin/qozcal
echo "== leftovers: nothing of the project may remain in /dev/shm, /tmp or the event folder"
added=$(comm -13 <(echo "$leftovers_before") <(project_leftovers | sort))
if [ -n "$added" ]; then
  echo "the tests left behind:"
  echo "$added"
  exit 1
fi
echo "== not checked on this machine"
not_checked=$(python3 scripts/not_checked.py build/host/tests.xml build/asan/tests.xml)
echo "${not_checked:-  nothing: every test ran}"
echo "== all tests passed"
