# The commands of the README:
#   make run      installs what is missing, builds and starts CorvaneStudio
#   make check    installs what is missing, builds and runs every test
#   make package  builds the Debian package build/corvane-studio_VERSION_ARCH.deb
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: deps build run check check-asan check-tsan package package-check clean

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

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer.
check-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE="address;undefined"
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j$(JOBS) -LE no-asan

# Threaded tests under ThreadSanitizer.
check-tsan: deps
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=thread
	cmake --build build-tsan -j$(JOBS)
	TSAN_OPTIONS=suppressions=$(CURDIR)/tools/tsan.supp:halt_on_error=1:die_after_fork=0 \
	ctest --test-dir build-tsan --output-on-failure -j$(JOBS) -L threads

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-tsan
