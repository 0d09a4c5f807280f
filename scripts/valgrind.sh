#!/usr/bin/env bash
# Replays one whole calibration (examples/calibration.pen) through the
# host-built qozcal, headless on the virtual clock, under valgrind's memcheck:
# any memory error or definite leak fails the run, and so does an exit status
# other than 0 or a debug log without the completion line. Settings, debug
# log and screenshots go to a fresh temporary folder.
#   scripts/valgrind.sh [PATH-TO-QOZCAL]   (default: builds the host preset's)
set -euo pipefail
qozcal=${1:-}
[ -z "$qozcal" ] || qozcal=$(realpath "$qozcal")
cd "$(dirname "$0")/.."
root=$(pwd)

bash "$root/scripts/install-packages.sh" valgrind

if [ -z "$qozcal" ]; then
  cmake --preset host
  cmake --build --preset host --target qozcal -j "$(nproc)"
  qozcal="$root/build/host/bin/qozcal"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
suppressions=()
for file in "$root"/tests/valgrind/*.supp; do
  [ -e "$file" ] && suppressions+=("--suppressions=$file")
done

echo "== valgrind: examples/calibration.pen"
status=0
(cd "$work" &&
  valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite \
    ${suppressions[@]+"${suppressions[@]}"} --log-file=valgrind.log \
    "$qozcal" --headless --virtual-time --script "$root/examples/calibration.pen" \
    --registry registry.reg --debug-log debug.log) || status=$?

if [ "$status" -ne 0 ]; then
  cat "$work/valgrind.log" 2>/dev/null || true
  echo "== valgrind run FAILED: exit status $status"
  exit 1
fi
if ! grep -qs $'^Completes Calibration \\.\\.\\.\\.\\.\\.\\.\\.\\.\\.r$' "$work/debug.log"; then
  echo "== the debug log has no completion line:"
  cat "$work/debug.log" 2>/dev/null || echo "(no debug log was written)"
  exit 1
fi
grep -E 'ERROR SUMMARY|definitely lost' "$work/valgrind.log" | sed 's/^==[0-9]*== //'
echo "== valgrind run passed"
