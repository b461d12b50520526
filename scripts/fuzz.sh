#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer (in build-fuzz/), then runs each from its seed
# corpus for a while.  Usage: scripts/fuzz.sh [seconds per target] [target...]
# (default 25 seconds, every target).  New inputs that widen the coverage go
# to build-fuzz/corpus/<target>; an input that breaks a target is saved as
# build-fuzz/artifacts/<target>-crash-... and the script fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-25}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(unpack pack_round_trip patch_file convert)

build=$root/build-fuzz
CC=clang CXX=clang++ "$root/scripts/setup.sh" "$build" -DCASSONIC_FUZZ=ON

declare -A options=(
  [pack_round_trip]="-max_len=65536"
  [convert]="-max_len=16384"
)
mkdir -p "$build/artifacts"
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  log=$build/artifacts/$target.log
  mkdir -p "$corpus"
  echo "== fuzz_$target for ${seconds}s"
  status=0
  # shellcheck disable=SC2086
  "$build/fuzz/fuzz_$target" "$corpus" "$root/fuzz/corpus/$target" \
    -max_total_time="$seconds" -timeout=60 -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$target-" ${options[$target]:-} >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$log"
    echo "fuzz_$target failed (status $status): the input is in $build/artifacts"
    exit 1
  fi
  grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units)' "$log" || true
done
