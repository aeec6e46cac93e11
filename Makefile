# Two commands do all set-up on a fresh Debian 12 machine: `make run` and `make test`.
PRESET ?= default
BUILD  := build
ARGS   ?=

.PHONY: all deps configure build run test test-asan bench fuzz clean

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
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan
	@ctest --preset asan

bench: build
	bench/run.sh

# Runs every fuzz target for FUZZ_SECONDS seconds each (clang, libFuzzer, ASan + UBSan).
FUZZ_SECONDS ?= 60
fuzz: deps
	fuzz/run.sh $(FUZZ_SECONDS)

clean:
	rm -rf build build-asan build-fuzz
