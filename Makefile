# The two commands of the README: `make run` and `make test`. Both install what they need.
BUILD ?= build
JOBS ?= $(shell nproc)
# Each build compiles its sources a batch to a file: on 2 cores a fresh tree builds in about
# half the time, as each batch reads the shared headers once.
UNITY = -DCMAKE_UNITY_BUILD=ON
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCYCLARA_WERROR=ON $(UNITY)

PREFIX ?= /usr/local

.PHONY: all deps linux win64 win32 arm64 sanitize tsan fuzz run demo demo-events install package test soak bench clean

all: linux win64 win32

deps:
	@tools/install-deps

linux: deps
	cmake -S . -B $(BUILD)/linux $(CMAKE_FLAGS)
	cmake --build $(BUILD)/linux -j $(JOBS)

# The Windows serial backend is tested against the Linux build's pty harness.
win64: deps linux
	cmake -S . -B $(BUILD)/win64 $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
	    -DCYCLARA_HOST_BUILD=$(abspath $(BUILD))/linux
	cmake --build $(BUILD)/win64 -j $(JOBS)

# The 32-bit build's tests run under 32-bit wine, where the kernel runs 32-bit programs.
win32: deps linux
	cmake -S . -B $(BUILD)/win32 $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	    -DCYCLARA_HOST_BUILD=$(abspath $(BUILD))/linux
	cmake --build $(BUILD)/win32 -j $(JOBS)

# The core's tests with AddressSanitizer and UBSan, built with clang, and the fuzzers; only
# those are built.
CLANG = CC=clang-14 CXX=clang++-14
SANITIZED_TESTS = measure_test receive_test logger_test resource_test posix_backend_test \
    compare_test soak_test pulse_plan_test
FUZZERS = line_assembler_fuzz receive_thread_fuzz resource_reader_fuzz logger_options_fuzz
sanitize: deps
	$(CLANG) cmake -S . -B $(BUILD)/sanitize -DCMAKE_BUILD_TYPE=Debug -DCYCLARA_WERROR=ON $(UNITY) \
	    -DCYCLARA_SANITIZE=address
	cmake --build $(BUILD)/sanitize -j $(JOBS) --target $(SANITIZED_TESTS) $(FUZZERS)

# The same tests, the windows' open and close, and cyclara-log run as a user runs it, under
# ThreadSanitizer.
tsan: deps
	$(CLANG) cmake -S . -B $(BUILD)/tsan -DCMAKE_BUILD_TYPE=Debug -DCYCLARA_WERROR=ON $(UNITY) \
	    -DCYCLARA_SANITIZE=thread
	cmake --build $(BUILD)/tsan -j $(JOBS) --target $(SANITIZED_TESTS) qt_windows_test \
	    cyclara-log cyclara-sim cyclara_modem

# Each fuzzer for FUZZ_SECONDS from its corpus, which grows in $(BUILD)/fuzz-corpus.
FUZZ_SECONDS ?= 600
fuzz: sanitize
	for fuzzer in $(FUZZERS); do \
	    mkdir -p $(BUILD)/fuzz-corpus/$$fuzzer && \
	    $(BUILD)/sanitize/fuzz/$$fuzzer -max_total_time=$(FUZZ_SECONDS) -close_fd_mask=3 \
	        $(BUILD)/fuzz-corpus/$$fuzzer fuzz/seeds/$$fuzzer || exit 1; \
	done

# cyclara-log and its package for the Raspberry Pi's 64-bit Debian, cross-built; its test runs
# it under qemu-user against the Linux build's simulator.
arm64: deps linux
	cmake -S . -B $(BUILD)/arm64 $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
	    -DCYCLARA_LOGGER_ONLY=ON -DCYCLARA_HOST_BUILD=$(abspath $(BUILD))/linux
	cmake --build $(BUILD)/arm64 -j $(JOBS)

# The program runs from its build folder, so its logs go beside it.
run: linux
	@tools/window run $(BUILD)/linux

# The window against the simulated device, for trying Cyclara without the device.
demo: linux
	@tools/window demo $(BUILD)/linux

# The headless logger and its live page against a simulated excursion below 49.8 Hz.
demo-events: linux
	@tools/demo-events $(BUILD)/linux

# The program, its help page, its desktop entry and its icons under $(PREFIX).
install: linux
	cmake --install $(BUILD)/linux --prefix $(PREFIX)

# The Debian packages of the Linux and arm64 builds and the Windows download, in $(BUILD)/packages.
package: all arm64
	cd $(BUILD)/linux && cpack --config CPackConfig.cmake -B $(abspath $(BUILD))/packages
	cd $(BUILD)/arm64 && cpack --config CPackConfig.cmake -B $(abspath $(BUILD))/packages
	tools/windows-zip $(BUILD) $(BUILD)/packages/cyclara-windows.zip

# One CTest run over the builds, so the run ends with one summary line. Four at a time on two
# cores: the end-to-end tests spend most of their time waiting on real seconds, and check
# counts and order, which a loaded machine does not change.
test: all arm64 sanitize tsan
	printf 'subdirs(linux win64 win32 arm64 sanitize tsan)\n' > $(BUILD)/CTestTestfile.cmake
	ctest --test-dir $(BUILD) --output-on-failure -j 4

# The month unattended at more seeds and longer than make test's one (SOAK_SEEDS, SOAK_DAYS):
# a failure names its seed, and the same seed fails the same way.
SOAK_SEEDS ?= 1 2 3 4 5
SOAK_DAYS ?= 90
soak: linux
	for seed in $(SOAK_SEEDS); do \
	    CYCLARA_SOAK_SEED=$$seed CYCLARA_SOAK_DAYS=$(SOAK_DAYS) $(BUILD)/linux/tests/soak_test || exit 1; \
	done

# Figures, not pass or fail: run on a quiet machine and compare side by side.
bench: linux
	bench/run $(BUILD)/linux docs/benchmarks.md

clean:
	rm -rf $(BUILD)
