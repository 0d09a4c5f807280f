#!/usr/bin/env bash
# Installs what qozcal needs, builds it and qozcal-listen (the README's
# examples use both) and starts qozcal in a window. Where there
# is no display it replays examples/demo.pen headless instead and shows what
# came out: the debug lines, the settings file and the screenshot.
# Extra arguments go to qozcal when it runs in a window.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

packages=(
  cmake g++ pkg-config libgtest-dev
  libsdl2-dev libx11-dev libfreetype-dev libfontconfig-dev libpng-dev fonts-nanum
  xvfb xdotool x11-utils imagemagick
)
bash "$root/scripts/install-packages.sh" "${packages[@]}"

echo "== building qozcal and qozcal-listen (host preset)"
cmake --preset host
cmake --build --preset host --target qozcal qozcal-listen -j "$(nproc)"
qozcal="$root/build/host/bin/qozcal"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "== starting qozcal in a window (close it or tap 종료 to end)"
  status=0
  "$qozcal" "$@" || status=$?
  # 2 is a usage error or a display that cannot be opened; qozcal has said
  # which. Only the latter falls through to the headless replay.
  if [ "$status" -ne 2 ] || [ $# -gt 0 ]; then exit "$status"; fi
  echo "== no usable display: replaying examples/demo.pen headless instead"
else
  echo "== no display: replaying examples/demo.pen headless"
fi

run="$root/build/demo-$(date +%Y%m%d-%H%M%S)-$$"
mkdir -p "$run"
cd "$run"
"$qozcal" --headless --virtual-time --registry "$run/registry.reg" \
  --debug-log "$run/debug.log" --script "$root/examples/demo.pen"

echo
echo "== debug lines ($run/debug.log)"
cat "$run/debug.log"
echo
echo "== settings file ($run/registry.reg)"
cat "$run/registry.reg"
echo "== screenshot: $run/demo.png"
