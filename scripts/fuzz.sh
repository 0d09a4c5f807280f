#!/usr/bin/env bash
# Builds the libFuzzer targets (the `fuzz` preset, clang) and runs each one
# for SECONDS (default 60) on a copy of its seed corpus in tests/fuzz/corpus,
# so the committed corpus stays as it is. Fails when a target finds a crash,
# a leak, a time-out or a broken property; the input that did it is kept
# under build/fuzz/findings/.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-60}
targets=(pen_script registry_text wide_format)

packages=(cmake make clang libclang-rt-14-dev)
bash "$root/scripts/install-packages.sh" "${packages[@]}"

cmake --preset fuzz
cmake --build --preset fuzz -j "$(nproc)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
findings="$root/build/fuzz/findings"
failed=()
for target in "${targets[@]}"; do
  mkdir -p "$work/$target/corpus" "$work/$target/artifacts"
  cp "tests/fuzz/corpus/$target/"* "$work/$target/corpus/"
  echo "== fuzzing $target for ${seconds} s"
  # Run inside the copy: pen scripts name shot files relative to it.
  status=0
  (cd "$work/$target" &&
    "$root/build/fuzz/tests/fuzz/${target}_fuzzer" corpus \
      -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
      -print_final_stats=1 -artifact_prefix=artifacts/ >log 2>&1) || status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$work/$target/log"
    mkdir -p "$findings/$target"
    cp "$work/$target/artifacts/"* "$findings/$target/" 2>/dev/null || true
    echo "== $target FAILED (exit status $status); inputs in $findings/$target"
    failed+=("$target")
    continue
  fi
  # The final progress line and statistics: executions, exec/s, coverage.
  grep -E '^#[0-9]+.*DONE' "$work/$target/log" | tail -n 1 || true
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$work/$target/log" || true
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "== fuzzing found faults in: ${failed[*]}"
  exit 1
fi
echo "== fuzzing passed: ${targets[*]}"
