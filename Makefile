# The commands of the README:
#   make run      installs what is missing, builds and starts CorvaneStudio
#   make check    installs what is missing, builds and runs every test
#   make package  builds the Debian package build/corvane-studio_VERSION_ARCH.deb
BUILD ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60

# ccache, when installed, keeps rebuilds of the three trees cheap.
LAUNCHER := $(if $(shell command -v ccache 2>/dev/null),-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
export CCACHE_BASEDIR ?= $(CURDIR)
CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(LAUNCHER)

# The sanitizer tree is built with clang so that the fuzz targets, which need
# clang's libFuzzer, come out of the same build. Sanitized trees keep their
# assertions but are optimised a little: their tests run several times faster.
SANITIZED_FLAGS = -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG="-O1 -g" -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" $(LAUNCHER)
ASAN_FLAGS = $(SANITIZED_FLAGS) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	-DCORVANE_SANITIZE="address;undefined"
# Sanitized tests run several times slower: Qt Test's watchdog gets 15 minutes, not 5.
SLOW_ENV = QTEST_FUNCTION_TIMEOUT=900000
ASAN_ENV = $(SLOW_ENV) ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: deps build run check package package-check asan-build check-asan check-tsan fuzz mutants test-ratio clean

deps:
	./tools/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j$(JOBS)

run: build
	$(BUILD)/bin/corvane-studio

check: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

package: build
	cmake --build $(BUILD) --target package

# The package built and checked by lintian.
package-check: build
	./tools/check-package.sh $(BUILD)

asan-build: deps
	cmake -S . -B $(ASAN_BUILD) $(ASAN_FLAGS)
	cmake --build $(ASAN_BUILD) -j$(JOBS)

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer.
check-asan: asan-build
	$(ASAN_ENV) ctest --test-dir $(ASAN_BUILD) --output-on-failure -j$(JOBS) -LE no-asan

# Threaded tests under ThreadSanitizer; only what they need is built.
check-tsan: deps
	cmake -S . -B $(TSAN_BUILD) $(SANITIZED_FLAGS) -DCORVANE_SANITIZE=thread
	cmake --build $(TSAN_BUILD) -j$(JOBS) --target corvane_threads_tests
	$(SLOW_ENV) TSAN_OPTIONS=suppressions=$(CURDIR)/tools/tsan.supp:halt_on_error=1:die_after_fork=0 \
	ctest --test-dir $(TSAN_BUILD) --output-on-failure -j$(JOBS) -L threads

# Every fuzz target for FUZZ_SECONDS seconds each; fails on any finding.
fuzz: asan-build
	$(ASAN_ENV) ./tools/run-fuzz.sh $(ASAN_BUILD) $(FUZZ_SECONDS)

# What the tests catch: each fault of tests/mutants.txt built into a copy of the source in
# build-mutants/ and tested until a test fails. Takes hours; not part of CI.
mutants: deps
	./tools/mutants.py --jobs $(JOBS)

# Lines of the tests against the lines of the program.
test-ratio:
	./tools/test-ratio.sh --each

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) build-mutants
