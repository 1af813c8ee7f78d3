#!/usr/bin/env bash
# The Windows x86-64 build: cross-built with mingw-w64 and tested under wine. Builds the
# program, its unit tests and test drivers for Windows; checks that the program is one
# console executable importing only system libraries; runs the unit tests under wine
# through CTest; runs every whole-program case (and the Windows-only ones) through wine
# from the native test build, the floating-point reports of the Windows driver, the
# verification cases (the native results required), and a differential run against the
# reference model.
# Environment: WINDOWS_DIFFERENTIAL_RUNS (default 300) sets the length of the differential
# run.
set -euo pipefail
cd "$(dirname "$0")/.."

source .ci/lib.sh

need "windows.sh" g++-mingw-w64-x86-64-posix:x86_64-w64-mingw32-g++-posix wine:wine \
  wine64:/usr/lib/wine/wine64 googletest:/usr/src/googletest/CMakeLists.txt python3:python3 \
  libcli11-dev:/usr/include/CLI/CLI.hpp nlohmann-json3-dev:/usr/include/nlohmann/json.hpp libtomlplusplus-dev:/usr/include/toml++/toml.h

BUILD_WIN=${BUILD_WIN:-build-win}
build "$BUILD_WIN" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
program="$PWD/$BUILD_WIN/lamvis2.exe"

# One console executable that imports only the system's own libraries.
headers=$(x86_64-w64-mingw32-objdump -p "$program")
imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | sort -f | tr '\n' ' ')
echo "lamvis2.exe imports: $imports"
for dll in $imports; do
  case "${dll,,}" in
    kernel32.dll|msvcrt.dll) ;;
    *) echo "lamvis2.exe imports $dll, which is not a system library" >&2; exit 1 ;;
  esac
done
grep -q 'Subsystem.*(Windows CUI)' <<<"$headers" ||
  { echo "lamvis2.exe is not a console executable" >&2; exit 1; }

# The native build runs the whole-program cases against the Windows program.
build build

source .ci/wine.sh

# Unit tests under wine (CTest puts the emulator in front of each test).
ctest --test-dir "$BUILD_WIN" --output-on-failure -j "$JOBS"

# Every case file, byte for byte, and the Windows-only ones; the floating-point reports of
# the Windows driver. The tests that need a pseudo-terminal or fork stay native.
again env LAMVIS2_EMULATOR=wine LAMVIS2_PROGRAM="$program" LAMVIS2_CASE_PLATFORM=win32 \
  LAMVIS2_DRIVER_DIR="$PWD/$BUILD_WIN" \
  build/program_tests --gtest_filter='Cases/*:FloatingPointProgram.*-*OnATerminal'

# lamvis2-kit.exe: one console executable of system libraries too; the reader on every case
# output against the page's reader, and compare, run, study and --legacy against direct
# runs, the kit starting the Windows program itself (beside it) under wine.
kit="$PWD/$BUILD_WIN/lamvis2-kit.exe"
for dll in $(x86_64-w64-mingw32-objdump -p "$kit" | sed -n 's/^\s*DLL Name: //p'); do
  case "${dll,,}" in
    kernel32.dll|msvcrt.dll) ;;
    *) echo "lamvis2-kit.exe imports $dll, which is not a system library" >&2; exit 1 ;;
  esac
done
if command -v node >/dev/null; then
  again env KIT_CHECKS_EMULATOR=wine node kit/test/read_cases.mjs "$kit" tests/cases
fi
again env KIT_CHECKS_EMULATOR=wine python3 kit/test/kit_checks.py "$kit" "$program" .
# Strength and envelopes: the Windows kit's output byte for byte the native kit's.
again env KIT_CHECKS_EMULATOR=wine python3 kit/test/strength_same.py build/lamvis2-kit "$kit" .

# The verification cases: the Windows program's results must be the native program's.
again python3 verification/verify.py --check --program "$program" --emulator wine

# Random dialogues through the Windows program and the reference model.
again python3 tests/model/differential.py --emulator wine --timeout 60 --jobs "$JOBS" --seed 10 \
  --runs "${WINDOWS_DIFFERENTIAL_RUNS:-300}" "$program"
elapsed
