# A thin layer over CMake: `make run` builds and starts the program, `make test` builds and
# runs every test; both first install, on Debian, the packages they lack (tools/need.sh).
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
PREFIX ?= /usr/local

# Only the build's own progress is shown, not make's "Entering directory" lines.
MAKEFLAGS += --no-print-directory

# What each target needs, as Debian PACKAGE:PROBE (a command, or a file that must exist).
# lamvis2-kit's command line, JSON and case files are Debian's header-only CLI11,
# nlohmann-json and toml++.
NEED_BUILD := cmake:cmake g++:g++ libcli11-dev:/usr/include/CLI/CLI.hpp \
              nlohmann-json3-dev:/usr/include/nlohmann/json.hpp \
              libtomlplusplus-dev:/usr/include/toml++/toml.h
NEED_TEST := $(NEED_BUILD) libgtest-dev:/usr/include/gtest/gtest.h python3:python3
NEED_DIST := $(NEED_BUILD) g++-aarch64-linux-gnu:aarch64-linux-gnu-g++ \
             g++-mingw-w64-x86-64-posix:x86_64-w64-mingw32-g++-posix zip:zip git:git
# The WebAssembly module: clang and its linker, the C++ and C libraries for wasm32-wasi, the
# compiler's run-time library, and wasm-opt.
NEED_WASM := cmake:cmake clang-19:clang++-19 lld-19:wasm-ld-19 \
             nlohmann-json3-dev:/usr/include/nlohmann/json.hpp \
             libtomlplusplus-dev:/usr/include/toml++/toml.h \
             libc++-19-dev-wasm32:/usr/lib/wasm32-wasi/libc++.a \
             libc++abi-19-dev-wasm32:/usr/lib/wasm32-wasi/libc++abi.a \
             libclang-rt-19-dev-wasm32:/usr/lib/llvm-19/lib/clang/19/lib/wasi/libclang_rt.builtins-wasm32.a \
             wasi-libc:/usr/lib/wasm32-wasi/libc.a binaryen:wasm-opt
WASM_BUILD_DIR ?= build-wasm
WASM_CMAKE_ARGS ?=
NEED_WEB := nodejs:node@18 npm:npm binaryen:wasm-opt
# The verification manual: its runner, Chromium to print it to PDF, and the manual's fonts.
NEED_VERIFY := $(NEED_BUILD) python3:python3 chromium:chromium \
               fonts-dejavu-core:/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf

FUZZ_SECONDS ?= 180
FUZZ_BUILD_DIR ?= build-fuzz
FUZZ_TARGETS ?= format_fuzz input_fuzz dialogue_fuzz results_fuzz case_fuzz

WEB_BUILD_DIR ?= build-web

# The Python package's wheel: Debian's Python (with numpy and pandas), its headers, pybind11,
# setuptools, wheel and pip; no other package index is reached.
PYTHON ?= /usr/bin/python3
NEED_WHEEL := $(NEED_BUILD) python3-dev:/usr/include/python3.11/Python.h \
              pybind11-dev:/usr/include/pybind11/pybind11.h \
              python3-setuptools:/usr/lib/python3/dist-packages/setuptools/__init__.py \
              python3-wheel:/usr/lib/python3/dist-packages/wheel/__init__.py \
              python3-pip:/usr/lib/python3/dist-packages/pip/__init__.py \
              python3-numpy:/usr/lib/python3/dist-packages/numpy/__init__.py \
              python3-pandas:/usr/lib/python3/dist-packages/pandas/__init__.py

.PHONY: all configure build run test install dist sanitize bench fuzz wasm web web-page verify wheel clean

all: build

# The configure step's report is kept in the build folder and shown only if it fails.
configure:
	@sh tools/need.sh "make $(or $(MAKECMDGOALS),all)" $(NEED_BUILD)
	@mkdir -p $(BUILD_DIR)
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release >$(BUILD_DIR)/configure.log 2>&1 || \
	  { cat $(BUILD_DIR)/configure.log; exit 1; }

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# Only the program: a new user need not wait for the tests.
run: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target lamvis2 lamvis2-kit
	@$(BUILD_DIR)/lamvis2

test:
	@sh tools/need.sh "make test" $(NEED_TEST)
	@$(MAKE) build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# The program and lamvis2-kit in PREFIX/bin, their manual pages in PREFIX/share/man/man1
# (DESTDIR is honoured).
install: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target lamvis2 lamvis2-kit
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The downloads, built reproducibly into dist/ (packaging/dist.sh tells what they are).
dist:
	@sh tools/need.sh "make dist" $(NEED_DIST)
	@bash packaging/dist.sh

# The verification manual: every case of verification/cases run with the program, read by
# the kit and compared with its reference values; writes $(BUILD_DIR)/verification/
# lamvis2-VERSION-verification.html and .pdf, and fails when a number neither passes nor is
# explained in its case file.
verify: configure
	@sh tools/need.sh "make verify" $(NEED_VERIFY)
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target lamvis2 lamvis2-kit
	@LAMVIS2_BUILD_DIR=$(BUILD_DIR) python3 -m unittest discover -s verification -p 'test_*.py'
	@python3 verification/verify.py --program $(BUILD_DIR)/lamvis2 --kit $(BUILD_DIR)/lamvis2-kit \
	  --build-dir $(BUILD_DIR) --out $(BUILD_DIR)/verification

# The Python package as a wheel, $(BUILD_DIR)/wheel/lamvis2-VERSION-cpXY-cpXY-PLATFORM.whl: the
# kit's library bound as lamvis2._kit and the program it runs, made from the package staged
# by the build (target python-package) with Debian's setuptools, offline. Its time stamps are
# SOURCE_DATE_EPOCH's when set.
wheel: configure
	@sh tools/need.sh "make wheel" $(NEED_WHEEL)
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target python-package
	@rm -rf $(BUILD_DIR)/python/build $(BUILD_DIR)/python/lamvis2.egg-info $(BUILD_DIR)/wheel
	@cd $(BUILD_DIR)/python && $(PYTHON) -m pip wheel --quiet --no-build-isolation --no-deps --no-index \
	  --wheel-dir ../wheel .
	@ls $(BUILD_DIR)/wheel/*.whl

sanitize:
	cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DLAMVIS_SANITIZE=ON
	cmake --build build-sanitize -j $(JOBS)
	ASAN_OPTIONS=handle_sigfpe=0:allow_user_segv_handler=1:detect_leaks=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	ctest --test-dir build-sanitize --output-on-failure -j $(JOBS)

# The whole-process benchmark, then the in-process benchmarks when Google Benchmark is
# installed. Both print figures; neither is a pass-or-fail test.
bench: build
	$(BUILD_DIR)/lamvis_process_bench
	if [ -x $(BUILD_DIR)/lamvis_bench ]; then $(BUILD_DIR)/lamvis_bench; fi

# libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer), each run for
# FUZZ_SECONDS seconds; prints executions and coverage, fails on a crash and keeps its
# reproducer (fuzz/run_fuzz.sh tells where).
fuzz:
	cmake -S . -B $(FUZZ_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	      -DLAMVIS_FUZZ=ON -DLAMVIS_TESTS=OFF $(FUZZ_CMAKE_ARGS)
	cmake --build $(FUZZ_BUILD_DIR) -j $(JOBS) --target $(FUZZ_TARGETS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) fuzz/run_fuzz.sh $(FUZZ_BUILD_DIR) $(FUZZ_TARGETS)

# The WebAssembly module $(WASM_BUILD_DIR)/lamvis2.wasm, with Debian's WebAssembly toolchain.
# It also builds the kit's library (kit/libkit_reader.a) and, from it, the page's module of it
# ($(WASM_BUILD_DIR)/kit.wasm).
wasm:
	@sh tools/need.sh "make wasm" $(NEED_WASM)
	@mkdir -p $(WASM_BUILD_DIR)
	@cmake -S . -B $(WASM_BUILD_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/wasm32-wasi.cmake \
	  -DCMAKE_BUILD_TYPE=Release $(WASM_CMAKE_ARGS) >$(WASM_BUILD_DIR)/configure.log 2>&1 || \
	  { cat $(WASM_BUILD_DIR)/configure.log; exit 1; }
	@cmake --build $(WASM_BUILD_DIR) -j $(JOBS) --target lamvis2 kit_reader kit_wasm

# The browser page: build-web/lamvis2.html, one offline file that runs the module in a
# terminal. The module is transformed so that it can be suspended at a read of standard
# input (asyncify, limited to that import), then bundled with the page's scripts and styles.
# `make web-page` does the same from the module already built. The module's feature section
# is stripped, so the features its compiler uses are named for wasm-opt.
web: wasm
	@$(MAKE) web-page

web-page:
	@sh tools/need.sh "make web" $(NEED_WEB)
	@if [ ! -f web/node_modules/.package-lock.json ] || \
	    [ web/package-lock.json -nt web/node_modules/.package-lock.json ]; then \
	  cd web && npm ci --no-audit --no-fund; fi
	mkdir -p $(WEB_BUILD_DIR)
	wasm-opt --enable-sign-ext --enable-mutable-globals \
	  --asyncify --pass-arg=asyncify-imports@wasi_snapshot_preview1.fd_read -Oz \
	  $(WASM_BUILD_DIR)/lamvis2.wasm -o $(WEB_BUILD_DIR)/lamvis2-asyncify.wasm
	node web/build.mjs $(WEB_BUILD_DIR)/lamvis2-asyncify.wasm $(WASM_BUILD_DIR)/kit.wasm $(WEB_BUILD_DIR)/lamvis2.html

clean:
	rm -rf $(BUILD_DIR) build-sanitize build-fuzz build-dist dist $(WASM_BUILD_DIR) $(WEB_BUILD_DIR)
