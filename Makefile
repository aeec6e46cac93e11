# Two commands do all set-up on a fresh Debian 12 machine: `make run` and `make test`.
# PRESET=ci (and ASAN_PRESET=ci-asan) build with warnings as errors, as CI does (.ci/run).
PRESET      ?= default
ASAN_PRESET ?= asan
BUILD       := build
ARGS        ?=

.PHONY: all deps configure build run test test-asan ci bench fuzz clean

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
	rm -rf build build-asan build-ci build-ci-asan build-fuzz
