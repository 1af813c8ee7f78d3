#!/usr/bin/env bash
# Runs each libFuzzer target of a fuzz build for a bounded time and prints its executions
# and coverage. A crash, leak, time-out or broken rule fails the run; its reproducer is kept
# in the artifacts folder and shown.
#
#   fuzz/run_fuzz.sh BUILD_DIR [TARGET...]
#
# FUZZ_SECONDS   seconds per target (default 180)
# FUZZ_ARTIFACTS folder for reproducers (default BUILD_DIR/fuzz-artifacts)
# FUZZ_WORK      folder of the growing corpora, one per target (default BUILD_DIR/fuzz-corpus);
#                the seeds in fuzz/corpus/ are read, never written
# FUZZ_ARGS      further libFuzzer options
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:?usage: run_fuzz.sh BUILD_DIR [TARGET...]}"
shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(format_fuzz input_fuzz dialogue_fuzz results_fuzz case_fuzz)
seconds="${FUZZ_SECONDS:-180}"
artifacts="${FUZZ_ARTIFACTS:-$build/fuzz-artifacts}"
work="${FUZZ_WORK:-$build/fuzz-corpus}"
mkdir -p "$artifacts"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

dictionary() {
  case "$1" in
    format_fuzz) echo "$here/format_fuzz.dict" ;;
    dialogue_fuzz) echo "$here/dialogue_fuzz.dict" ;;
    case_fuzz) echo "$here/case_fuzz.dict" ;;
    *) echo "$here/input.dict" ;;
  esac
}

failed=0
passed=0
failures=0
summary=()
for target in "${targets[@]}"; do
  binary="$build/$target"
  if [ ! -x "$binary" ]; then
    echo "run_fuzz: $binary is missing (build with make fuzz)" >&2
    failed=1
    failures=$((failures + 1))
    continue
  fi
  corpus="$work/$target"
  mkdir -p "$corpus"
  log="$artifacts/$target.log"
  echo "== $target: ${seconds}s"
  # shellcheck disable=SC2086
  "$binary" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -max_len=4096 \
    -print_final_stats=1 -dict="$(dictionary "$target")" \
    -artifact_prefix="$artifacts/$target-" ${FUZZ_ARGS:-} \
    "$corpus" "$here/corpus/$target" >"$log" 2>&1
  status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  coverage=$(grep -E '^#[0-9]+' "$log" | grep -oE 'cov: [0-9]+ ft: [0-9]+' | tail -1)
  line=$(printf '%-14s %12s executions  %s  corpus %s' "$target" "${executions:-?}" \
         "${coverage:-cov: ? ft: ?}" "$(find "$corpus" -type f | wc -l)")
  if [ $status -eq 0 ]; then
    passed=$((passed + 1))
  else
    failed=1
    failures=$((failures + 1))
    line="$line  FAILED (status $status)"
    echo "-- $target failed; the end of its log:"
    tail -60 "$log"
    for reproducer in "$artifacts/$target-"*; do
      [ -f "$reproducer" ] || continue
      echo "-- reproducer $reproducer ($(wc -c <"$reproducer") bytes):"
      od -An -c "$reproducer" | head -40
      echo "   base64: $(base64 -w0 "$reproducer")"
      echo "   rerun: $binary $reproducer"
    done
  fi
  echo "$line"
  summary+=("$line")
done

echo "== fuzzing summary"
printf '%s\n' "${summary[@]}"
echo "fuzz: $passed passed, $failures failed"
exit $failed
