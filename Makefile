# A thin layer over CMake: `make run` builds and starts the program, `make test` builds and
# runs every test.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

FUZZ_SECONDS ?= 180
FUZZ_BUILD_DIR ?= build-fuzz
FUZZ_TARGETS ?= format_fuzz input_fuzz dialogue_fuzz

.PHONY: all configure build run test sanitize bench fuzz clean

all: build

configure:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Only the program: a new user need not wait for the tests.
run: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target lamvis2
	$(BUILD_DIR)/lamvis2

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure

sanitize:
	cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DLAMVIS_SANITIZE=ON
	cmake --build build-sanitize -j $(JOBS)
	ASAN_OPTIONS=handle_sigfpe=0:allow_user_segv_handler=1:detect_leaks=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	ctest --test-dir build-sanitize --output-on-failure

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

clean:
	rm -rf $(BUILD_DIR) build-sanitize build-fuzz
