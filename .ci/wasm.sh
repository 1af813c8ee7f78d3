#!/usr/bin/env bash
# The WebAssembly build (wasm32-wasi), run under Node through web/run-wasi.mjs:
# - `make wasm` installs Debian's toolchain when missing and builds build-wasm/lamvis2.wasm
#   (warnings are errors); the module must stay within 250 KB and import only WASI calls;
# - every whole-program case file through the runner, byte for byte, the terminal tests on a
#   pseudo-terminal, and a dialogue whose answers are written one at a time, each only after
#   its prompt (as the browser page writes them). Left out: the Windows-only cases (tests/cases/win32/: the pause's
#   command interpreter named by COMSPEC, Windows' pipes), and cases whose pause runs a
#   command: a module starts no processes, its pause has no command interpreter (none of
#   tests/cases/*.case runs one);
# - the verification cases, whose results must be the native program's;
# - random dialogues, faults included, through the runner against the reference model and
#   the native build.
# Environment: WASM_DIFFERENTIAL_RUNS (default 2000) sets the length of the differential run.
set -euo pipefail
cd "$(dirname "$0")/.."

source .ci/lib.sh
RUNS=${WASM_DIFFERENTIAL_RUNS:-2000}
MAX_MODULE_BYTES=$((250 * 1024))

# The native build (the reference, and the test driver) needs the compiler and GoogleTest.
need "wasm.sh" nodejs:node@18 python3:python3 cmake:cmake g++:g++ \
  libgtest-dev:/usr/include/gtest/gtest.h

make wasm JOBS="$JOBS" WASM_CMAKE_ARGS=-DCMAKE_COMPILE_WARNING_AS_ERROR=ON
module="$PWD/build-wasm/lamvis2.wasm"
runner="node $PWD/web/run-wasi.mjs"

# Size and imports.
size=$(stat -c %s "$module")
echo "lamvis2.wasm: $size bytes, $(gzip -9 -c "$module" | wc -c) gzipped"
if [ "$size" -gt "$MAX_MODULE_BYTES" ]; then
  echo "lamvis2.wasm is larger than $MAX_MODULE_BYTES bytes" >&2
  exit 1
fi
node -e '
  const module = new WebAssembly.Module(require("fs").readFileSync(process.argv[1]));
  const imports = WebAssembly.Module.imports(module).map((i) => i.module + "." + i.name);
  console.log("lamvis2.wasm imports: " + imports.join(" "));
  const foreign = imports.filter((name) => !name.startsWith("wasi_snapshot_preview1."));
  if (foreign.length) { console.error("imports outside WASI: " + foreign.join(" ")); process.exit(1); }
' "$module"

# The native build runs the cases and the terminal tests against the module.
build build -- lamvis2 program_tests lamvis2-kit kit_strength_json

echo "== case files, terminal tests and a dialogue through web/run-wasi.mjs"
LAMVIS2_EMULATOR="$runner" LAMVIS2_PROGRAM="$module" \
  build/program_tests --gtest_filter='Cases/*:Terminal.*:InputProgram.DialogueOneAnswerAtATime'

echo "== the verification cases through web/run-wasi.mjs, against the native results"
python3 verification/verify.py --check --program "$module" --emulator "$runner"

echo "== differential: $RUNS dialogues through web/run-wasi.mjs, the model and build/lamvis2"
python3 tests/model/differential.py --runs "$RUNS" --seed wasm --jobs "$JOBS" --verbose \
  --emulator "$runner" --timeout 60 --also build/lamvis2 "$module"


echo "== the kit's library: strength of the strength cases under Node, byte for byte the native"
cmake --build build-wasm -j "$JOBS" --target kit_strength_json
for c in verification/strength/*.toml; do
  input=$(mktemp)
  { cat "$c"; printf '%%%%\n'; build/lamvis2-kit answers "$c" | build/lamvis2; } >"$input"
  cmp <(build/kit_strength_json <"$input") <(node web/run-wasi.mjs build-wasm/kit/kit_strength_json.wasm <"$input") ||
    { echo "kit_strength_json: $c differs under Node" >&2; rm -f "$input"; exit 1; }
  rm -f "$input"
done
elapsed
