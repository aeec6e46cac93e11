# Two commands do all set-up on a fresh Debian 12 machine: `make run` and `make test`.
# PRESET=ci (and ASAN_PRESET=ci-asan, TSAN_PRESET=ci-tsan, WINDOWS_PRESET=ci-windows) build with warnings as errors, as
# CI does (.ci/run).
PRESET      ?= default
ASAN_PRESET ?= asan
TSAN_PRESET ?= tsan
WINDOWS_PRESET ?= windows
BUILD       := build
ARGS        ?=

.PHONY: all deps configure build run test test-asan test-tsan windows test-windows ci bench fuzz clean

all: build

deps:
	@scripts/setup-deps.sh

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET)

run: build
	./$(BUILD)/bin/quillomar $(ARGS)

test: build
	@ctest --preset $(PRESET)

test-asan: deps
	@cmake --preset $(ASAN_PRESET) >/dev/null
	@cmake --build --preset $(ASAN_PRESET)
	@ctest --preset $(ASAN_PRESET)

# The engine and command-line tests under ThreadSanitizer: extraction shares its work between
# two threads. Only what those tests need is built.
test-tsan: deps
	@cmake --preset $(TSAN_PRESET) >/dev/null
	@cmake --build --preset $(TSAN_PRESET)
	@ctest --preset $(TSAN_PRESET)

# 64-bit Windows programs, cross-built with mingw-w64 into build-windows/bin (no extra DLLs needed).
windows: deps
	@cmake --preset $(WINDOWS_PRESET) >/dev/null
	@cmake --build --preset $(WINDOWS_PRESET)

# The Windows build's tests, run under Wine (a Wine prefix of its own inside the build folder);
# the Linux build is compared with it.
test-windows: build windows
	@ctest --preset $(WINDOWS_PRESET)

# What CI runs: every test with warnings as errors, then again under the sanitizers.
ci:
	@.ci/run

bench: build
	bench/run.sh

# Runs every fuzz target for FUZZ_SECONDS seconds each (clang, libFuzzer, ASan + UBSan).
FUZZ_SECONDS ?= 60
fuzz: deps
	fuzz/run.sh $(FUZZ_SECONDS)

clean:
	rm -rf build build-asan build-tsan build-ci build-ci-asan build-ci-tsan build-fuzz build-windows build-ci-windows
