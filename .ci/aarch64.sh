#!/usr/bin/env bash
# Floating-point fault detection in every mode, and the 64-bit ARM build:
# - natively, a build that detects the faults from the hardware's status flags
#   (-DLAMVIS_FP_FLAGS=ON, the trap build's mode where the traps cannot be enabled) runs every
#   whole-program test, and a differential run compares its bytes with the trap build's
#   (build/, made by `make test` before) and with the reference model;
# - natively, the software-flag build with the generic processor's files (the mode and the
#   processor files of 64-bit ARM; WebAssembly's mode) runs the whole suite, unit tests
#   included, which the cross build does not build, and a differential run;
# - a static aarch64 cross build (software flags; warnings are errors) runs every
#   whole-program case file under qemu-aarch64, byte for byte, the verification cases (the
#   native results required), and a differential run through the emulator; its lamvis2-kit
#   runs the kit's checks under the emulator.
set -euo pipefail
cd "$(dirname "$0")/.."

source .ci/lib.sh
RUNS=${LAMVIS_AARCH64_RUNS:-300}
SOFTWARE_FLAG_RUNS=${LAMVIS_SOFTWARE_FLAG_RUNS:-2000}

need "aarch64.sh" g++-aarch64-linux-gnu:aarch64-linux-gnu-g++ qemu-user:qemu-aarch64 python3:python3 \
  libcli11-dev:/usr/include/CLI/CLI.hpp nlohmann-json3-dev:/usr/include/nlohmann/json.hpp libtomlplusplus-dev:/usr/include/toml++/toml.h

# The trap build, with its test programs.
build build

echo "== flag mode, native"
build build-fpflags -DLAMVIS_FP_FLAGS=ON -- lamvis2 program_tests
build-fpflags/program_tests
python3 tests/model/differential.py --runs "$RUNS" --seed fpflags --jobs "$JOBS" \
  --also build/lamvis2 build-fpflags/lamvis2

echo "== software flags, native"
build build-softflags -DLAMVIS_SOFTWARE_FP_FLAGS=ON -DLAMVIS_ARCH=generic
ctest --test-dir build-softflags --output-on-failure -j "$JOBS"
python3 tests/model/differential.py --runs "$SOFTWARE_FLAG_RUNS" --seed softflags --jobs "$JOBS" \
  --also build/lamvis2 build-softflags/lamvis2

echo "== aarch64 under qemu-aarch64"
build build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux.cmake -DLAMVIS_TESTS=OFF \
  -DCMAKE_CXX_FLAGS=-Werror
LAMVIS2_EMULATOR=qemu-aarch64 LAMVIS2_PROGRAM="$PWD/build-aarch64/lamvis2" \
  build/program_tests --gtest_filter='Cases/*'
python3 verification/verify.py --check --program build-aarch64/lamvis2 --emulator qemu-aarch64
python3 tests/model/differential.py --runs "$RUNS" --seed aarch64 --jobs "$JOBS" \
  --emulator qemu-aarch64 --timeout 60 --also build/lamvis2 build-aarch64/lamvis2

echo "== lamvis2-kit, aarch64 under qemu-aarch64"
# The reader on every case output against the page's reader, and compare, run, study and
# --legacy against direct runs, the kit and the program both under the emulator.
command -v node >/dev/null && KIT_CHECKS_EMULATOR=qemu-aarch64 \
  node kit/test/read_cases.mjs "$PWD/build-aarch64/lamvis2-kit" tests/cases
KIT_CHECKS_EMULATOR=qemu-aarch64 LAMVIS2_EMULATOR=qemu-aarch64 \
  LAMVIS2_PROGRAM="$PWD/build-aarch64/lamvis2" \
  python3 kit/test/kit_checks.py "$PWD/build-aarch64/lamvis2-kit" "$PWD/build-aarch64/lamvis2" .
# Strength and envelopes: the aarch64 kit's output byte for byte the native kit's.
KIT_CHECKS_EMULATOR=qemu-aarch64 LAMVIS2_EMULATOR=qemu-aarch64 \
  LAMVIS2_PROGRAM="$PWD/build-aarch64/lamvis2" \
  python3 kit/test/strength_same.py build/lamvis2-kit "$PWD/build-aarch64/lamvis2-kit" .
elapsed
