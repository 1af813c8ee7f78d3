#!/usr/bin/env bash
# Coverage-guided fuzzing in CI: installs clang and its fuzzer and sanitizer run-times if
# they are missing, then runs each libFuzzer target for FUZZ_SECONDS (100) seconds, and the
# whole-dialogue target once more with the software floating-point flags: six runs in the
# ten minutes that five runs of 120 seconds took before the case file target came. A crash, leak, time-out
# or broken rule fails the run; the reproducer is printed and kept in ci-artifacts/fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-100}"
export FUZZ_ARTIFACTS="${FUZZ_ARTIFACTS:-$PWD/ci-artifacts/fuzz}"

source .ci/lib.sh

# clang, then the fuzzer and sanitizer run-times of its version.
need "fuzz.sh" clang:clang++
runtimes="$(clang++ -print-resource-dir)/lib/linux"
need "fuzz.sh" "libclang-rt-$(clang++ -dumpversion | cut -d. -f1)-dev:$runtimes/libclang_rt.fuzzer-$(uname -m).a" \
  "libclang-rt-$(clang++ -dumpversion | cut -d. -f1)-dev:$runtimes/libclang_rt.asan-$(uname -m).a"

# The whole dialogue again with the software floating-point flags (the mode of every
# platform without traps: faults found by the arithmetic itself), in a build of its own.
# Empty FLAG_MODE_CMAKE_ARGS skips it.
FLAG_MODE_CMAKE_ARGS="-DLAMVIS_SOFTWARE_FP_FLAGS=ON"
[ -n "$FLAG_MODE_CMAKE_ARGS" ] || echo "fuzz: no floating-point flag mode in this tree; its dialogue run is skipped"

make fuzz FUZZ_SECONDS="$seconds" JOBS="$JOBS"
if [ -n "$FLAG_MODE_CMAKE_ARGS" ]; then
  make fuzz FUZZ_SECONDS="$seconds" JOBS="$JOBS" FUZZ_BUILD_DIR=build-fuzz-flags FUZZ_TARGETS=dialogue_fuzz \
       FUZZ_CMAKE_ARGS="$FLAG_MODE_CMAKE_ARGS"
fi
