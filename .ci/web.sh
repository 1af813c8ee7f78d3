#!/usr/bin/env bash
# The browser page (web/): `make web` builds build-web/lamvis2.html from the WebAssembly
# module (installing Debian's toolchain, Node.js and binaryen when missing, and the page's
# npm packages from web/package-lock.json), then
# - the unit tests (node --test): the page's reading of results (the kit's library as its
#   WebAssembly module, build-wasm/kit.wasm) on the case files' outputs, the
#   stacking-sequence reader, the line discipline, and the WASI host running the module on
#   every case file; and the kit's module against `lamvis2-kit read --json` on every case
#   file's output (kit/test/read_cases.mjs);
# - the page in headless Chromium (Debian's chromium, driven by playwright-core), opened from
#   disk, with and without the browser's JavaScript promise integration: the README's session
#   typed and pasted against the native program on a pseudo-terminal, the example answer
#   files against `build/lamvis2 < file`, and so every case file of tests/cases, also loaded
#   into the form; the report's tables, plots and CSV files against the printed values, the
#   printed report (PDF, read by pdftotext), copy and paste, bad answer files and bad form
#   fields, Resume, the end-of-input keys, the pause, no network request; the page's numbers
#   against lamvis2-kit's (read, strength, last-ply failure, envelope), case files, and what
#   must never show a stale or misread result; then served over HTTP from this machine. Screenshots (laptop, tablet, phone) and figures go to
#   ci-artifacts/web/;
# - the page in Firefox (Debian's firefox-esr, headless, over WebDriver BiDi) with and without
#   its promise integration, and in WebKit (WebKitGTK's MiniBrowser through WebKitWebDriver,
#   on a virtual X display): the typed session and the example answer files, run and in
#   the form, with the kit's names and values; a case file, its strength and envelope.
set -euo pipefail
cd "$(dirname "$0")/.."

source .ci/lib.sh

need "web.sh" nodejs:node@18 npm:npm python3:python3 cmake:cmake g++:g++ \
  chromium:/usr/bin/chromium firefox-esr:firefox-esr webkit2gtk-driver:WebKitWebDriver \
  xvfb:xvfb-run xauth:xauth poppler-utils:pdftotext

make web JOBS="$JOBS"
build build -- lamvis2 lamvis2-kit

echo "== unit tests (node --test)"
node --test web/test/*.test.mjs
echo "== the kit's WebAssembly module against the command line"
node kit/test/read_cases.mjs build/lamvis2-kit tests/cases build-wasm/kit.wasm

# Each browser's checks run even when those before them failed; the script fails after them.
failed=""
echo "== the page in headless Chromium"
node web/test/browser.mjs build-web/lamvis2.html build/lamvis2 ci-artifacts/web || failed="$failed chromium"

# Firefox is driven over the global WebSocket: Node's own from 22 on, behind a flag in 20, and
# on 18 (Debian 12's) the ws package's, preloaded.
if node -e 'process.exit(typeof WebSocket === "function" ? 0 : 1)'; then
  websocket=()
elif node --experimental-websocket -e 0 2>/dev/null; then
  websocket=(--experimental-websocket)
else
  websocket=(--import "$PWD/.ci/websocket-global.mjs")
fi
echo "== the page in Firefox and WebKit (node $(node --version))"
xvfb-run -a node "${websocket[@]}" web/test/other-browsers.mjs build-web/lamvis2.html build/lamvis2 ||
  failed="$failed firefox/webkit"

elapsed
if [ -n "$failed" ]; then
  echo "web.sh: checks failed in:$failed" >&2
  exit 1
fi
