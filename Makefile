# Thin wrapper over CMake: `make` builds into build/, `make test` builds and runs every test suite.
BUILD_DIR ?= build
SAN_DIR ?= build-sanitize
TSAN_DIR ?= build-tsan
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 5
WIN_DIR ?= build-win32
WIN64_DIR ?= build-win64
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all build test test-sanitize test-thread fuzz demo bench windows test-windows release test-release clean

all: build

build:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The test suites need GoogleTest: installed first when missing (or named, without the rights).
test:
	scripts/install-test-tools.sh
	$(MAKE) build CMAKE_FLAGS="$(CMAKE_FLAGS) -DKESTROVAN_REQUIRE_TESTS=ON"
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# The whole test suite once more under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize:
	scripts/install-test-tools.sh
	cmake -S . -B $(SAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DKESTROVAN_SANITIZE=ON -DKESTROVAN_REQUIRE_TESTS=ON $(CMAKE_FLAGS)
	cmake --build $(SAN_DIR) -j $(JOBS)
	ctest --test-dir $(SAN_DIR) --output-on-failure -j $(JOBS)
	$(MAKE) test-thread CMAKE_FLAGS="$(CMAKE_FLAGS)"

# The calls handed to the library's thread under ThreadSanitizer: the library thread and session
# tests, the NetWeaver binding's, a close the time runs out on in both run kinds, and the
# end-to-end deadline tests through both libraries.
TSAN_TESTS = ^(LibraryThread\.|RfcSession\.|NwRfcBinding\.|DeadlineEndToEnd\.|nwrfc\.DeadlineEndToEnd\.|RunOneSystem\.ACloseTheTime|GlobalListingRun\.ACloseTheTime)
test-thread:
	scripts/install-test-tools.sh
	cmake -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTROVAN_THREAD_SANITIZE=ON -DKESTROVAN_REQUIRE_TESTS=ON $(CMAKE_FLAGS)
	cmake --build $(TSAN_DIR) -j $(JOBS) --target session_tests nwbinding_tests driver_tests e2e_tests
	TSAN_OPTIONS="halt_on_error=1 $(TSAN_OPTIONS)" ctest --test-dir $(TSAN_DIR) --output-on-failure -j $(JOBS) -R '$(TSAN_TESTS)'

# Every fuzz target in $(FUZZ_DIR)/fuzz for FUZZ_SECONDS each, on a scratch copy of its seeds.
fuzz:
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DKESTROVAN_FUZZ=ON -DKESTROVAN_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz_targets
	tests/fuzz/run-fuzz.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD_DIR) $(SAN_DIR) $(TSAN_DIR) $(WIN_DIR) $(WIN64_DIR) $(FUZZ_DIR) build-release-* dist

# Builds the programs the demo runs (not the test suites), then runs the sensor against two
# bundled simulated SAP systems.
demo:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS) --target kestrovan kestrovan-profile sapsim
	BUILD_DIR=$(BUILD_DIR) demo/run-demo.sh

# A global listing run over 1,000 simulated systems: time per system and peak memory.
bench: build
	$(BUILD_DIR)/bench/global_listing_bench $(BENCH_ARGS)

# The Windows console programs, cross-compiled and stripped: build-win32/kestrovan.exe and
# build-win32/kestrovan-profile.exe (32-bit), build-win64/kestrovan.exe and
# build-win64/kestrovan-profile.exe (64-bit, NetWeaver RFC library only), with the stand-ins
# (scripts/install-windows-tools.sh installs the compilers).
windows:
	cmake -S . -B $(WIN_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(WIN_DIR) -j $(JOBS)
	cmake -S . -B $(WIN64_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(WIN64_DIR) -j $(JOBS) --target kestrovan kestrovan-profile sapnwrfc sapnwrfc_incomplete \
	  sapucum_standin icu_standin

# The end-to-end suite once more, against the Windows programs under Wine (32- and 64-bit).
test-windows: windows build
	scripts/test-windows.sh $(BUILD_DIR) $(WIN_DIR) $(WIN64_DIR)

# The packages of the checked-out commit (scripts/make-release.sh): dist/kestrovan-VERSION-windows.zip
# (x86/ and x64/ programs, install guide, sample listing, SHA256SUMS),
# dist/kestrovan-VERSION-linux-x86_64.tar.gz and dist/SHA256SUMS; the same bytes in any clone.
release:
	JOBS=$(JOBS) CMAKE_FLAGS="$(CMAKE_FLAGS)" scripts/make-release.sh

# The release made in two clones of the commit (same bytes), then the Windows package unpacked
# into a Wine prefix and its install guide's commands run against simulated systems.
RELEASE_CHECK_DIR ?= build-release-check
test-release: build windows
	JOBS=$(JOBS) CMAKE_FLAGS="$(CMAKE_FLAGS)" tests/package/test-reproducible.sh $(RELEASE_CHECK_DIR)
	tests/package/test-package.sh $(RELEASE_CHECK_DIR)/kestrovan-$$(sed -n 's/^project(Kestrovan VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)-windows.zip $(BUILD_DIR) $(WIN64_DIR)
