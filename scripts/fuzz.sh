#!/usr/bin/env bash
# Builds the fuzz targets (clang and libFuzzer, under AddressSanitizer and UndefinedBehavior-
# Sanitizer; the fuzz preset) and runs each for SECONDS (default 60): first every input that once
# made it fail (fuzz/regressions/TARGET), then fuzzing from the seeds (fuzz/corpus/TARGET) and
# from what earlier runs on this machine found (build/fuzz/corpus/TARGET). Prints the executions
# per target. Fails when a target fails; the input that did it is left in build/fuzz/crashes/.
#
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail

seconds="${1:-60}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || ((seconds == 0)); then
  echo "usage: scripts/fuzz.sh [SECONDS]   (seconds per target, default 60)" >&2
  exit 2
fi

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
scripts/install-deps.sh --fuzz

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

targets=(request link_walk sim_walk control conversions recording replay)
declare -A options=(
  [request]="-dict=fuzz/requests.dict -max_len=1100"
  [link_walk]="-max_len=33000"
  [sim_walk]="-max_len=33000"
  [control]="-dict=fuzz/control.dict"
  [conversions]=""
  [recording]=""
  [replay]="-max_len=16"
)
bin=build/fuzz/fuzz
crashes=build/fuzz/crashes
mkdir -p "$crashes"
failed=()
total=0
for target in "${targets[@]}"; do
  found="build/fuzz/corpus/$target"
  log="build/fuzz/$target.log"
  mkdir -p "$found"
  shopt -s nullglob
  regressions=("fuzz/regressions/$target"/*)
  shopt -u nullglob
  if ((${#regressions[@]} > 0)) && ! "$bin/fuzz_$target" "${regressions[@]}" >"$log" 2>&1; then
    echo "fuzz.sh: $target fails on a regression case:" >&2
    tail -n 40 "$log" >&2
    failed+=("$target")
    continue
  fi
  # shellcheck disable=SC2086  # the options are words
  if "$bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$crashes/$target-" ${options[$target]-} "$found" "fuzz/corpus/$target" \
      >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    total=$((total + runs))
    printf '%-12s %12d executions in %ds, %d regression cases\n' "$target" "$runs" "$seconds" \
      "${#regressions[@]}"
  else
    echo "fuzz.sh: $target failed (input kept in $crashes/; copy it to fuzz/regressions/$target/" \
      "once the fault is mended):" >&2
    tail -n 60 "$log" >&2
    failed+=("$target")
  fi
done
printf '%-12s %12d executions\n' "in all" "$total"
if ((${#failed[@]} > 0)); then
  echo "fuzz.sh: failed: ${failed[*]}" >&2
  exit 1
fi
