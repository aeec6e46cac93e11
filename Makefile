# Two commands do all set-up on a fresh Debian 12 machine: `make run` and `make test`. Each target
# installs the Debian packages it needs, and only those (scripts/setup-deps.sh, by group).
# PRESET=ci (and ASAN_PRESET=ci-asan, TSAN_PRESET=ci-tsan, WINDOWS_PRESET=ci-windows) build with warnings as errors, as
# CI does (.ci/run).
PRESET      ?= default
ASAN_PRESET ?= asan
TSAN_PRESET ?= tsan
WINDOWS_PRESET ?= windows
ARGS        ?=
# The build folder of a preset: build for default, build-NAME for the others.
preset_dir   = $(if $(filter default,$(1)),build,build-$(1))
BUILD       := $(call preset_dir,$(PRESET))
WINDOWS_BUILD := $(call preset_dir,$(WINDOWS_PRESET))
# The project's version, as the configured build folder has it.
VERSION      = $(shell sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' $(BUILD)/CMakeCache.txt)

.PHONY: all deps configure build run test test-asan test-tsan windows test-windows package package-windows ci bench fuzz clean

all: build

deps:
	@scripts/setup-deps.sh run

# A build folder made by `make run` or `make build` builds the programs only, without the test
# suites (and needs no test tools); `make test` turns them on, and they stay on.
configure: deps
	@cmake --preset $(PRESET) $(if $(wildcard $(BUILD)/CMakeCache.txt),,-DQUILLOMAR_BUILD_TESTS=OFF) >/dev/null

build: configure
	@cmake --build --preset $(PRESET)

run: build
	./$(BUILD)/bin/quillomar $(ARGS)

test:
	@scripts/setup-deps.sh run test
	@cmake --preset $(PRESET) -DQUILLOMAR_BUILD_TESTS=ON >/dev/null
	@cmake --build --preset $(PRESET)
	@ctest --preset $(PRESET)

test-asan:
	@scripts/setup-deps.sh run test asan
	@cmake --preset $(ASAN_PRESET) >/dev/null
	@cmake --build --preset $(ASAN_PRESET)
	@ctest --preset $(ASAN_PRESET)

# The engine and command-line tests under ThreadSanitizer: extraction shares its work between
# two threads. Only what those tests need is built.
test-tsan:
	@scripts/setup-deps.sh run test asan
	@cmake --preset $(TSAN_PRESET) >/dev/null
	@cmake --build --preset $(TSAN_PRESET)
	@ctest --preset $(TSAN_PRESET)

# 64-bit Windows programs, cross-built with mingw-w64 into build-windows/bin (no extra DLLs needed).
windows:
	@scripts/setup-deps.sh run windows
	@cmake --preset $(WINDOWS_PRESET) >/dev/null
	@cmake --build --preset $(WINDOWS_PRESET)

# The Windows build's tests, run under Wine (a Wine prefix of its own inside the build folder);
# the Linux build is compared with it, and the installer is installed and removed again.
test-windows: build windows
	@scripts/setup-deps.sh package-windows
	@ctest --preset $(WINDOWS_PRESET)

# build/quillomar_VERSION_amd64.deb, checked by lintian (which must report no error).
package: build
	@scripts/setup-deps.sh package
	@cd $(BUILD) && cpack -G DEB
	lintian --fail-on error $(BUILD)/quillomar_$(VERSION)_amd64.deb

# build-windows/quillomar-VERSION-win64.zip and quillomar-VERSION-setup.exe (NSIS).
package-windows: windows
	@scripts/setup-deps.sh package-windows
	@cmake --build --preset $(WINDOWS_PRESET) --target package-windows

# What CI runs: every test with warnings as errors, then again under the sanitizers, then the
# packages.
ci:
	@.ci/run

bench: build
	@scripts/setup-deps.sh bench
	bench/run.sh

# Runs every fuzz target for FUZZ_SECONDS seconds each (clang, libFuzzer, ASan + UBSan).
FUZZ_SECONDS ?= 60
fuzz:
	@scripts/setup-deps.sh run test fuzz
	fuzz/run.sh $(FUZZ_SECONDS)

clean:
	rm -rf build build-asan build-tsan build-ci build-ci-asan build-ci-tsan build-fuzz build-windows build-ci-windows
