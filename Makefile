# Two commands for a fresh Debian 12 machine:
#   make run    installs what is missing, builds, starts Kelvory on the embedded database
#   make test   installs what is missing, builds, runs the whole test suite (what CI runs)
# and the developer's loop, once a first build is there:
#   make check  builds the test programs and runs them on the embedded database only
# and one for the README: make screenshot regenerates its picture, docs/main-window.png
# make package builds the Debian packages kelvory and kelvory-club with dpkg-buildpackage in build-package/
BUILD ?= build
PACKAGE_BUILD ?= build-package
BUILD_TYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=
# clang compiles this code base faster than g++ (docs/benchmarks.md); both build it
# without a warning.
CXX_COMPILER ?= clang++

.PHONY: deps build run test check bench screenshot package clean

deps:
	scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DCMAKE_CXX_COMPILER=$(CXX_COMPILER) $(CMAKE_FLAGS)
	cmake --build $(BUILD)

run: build
	scripts/run-kelvory.sh $(BUILD)/src/kelvory

test: build
	scripts/run-tests.sh $(BUILD)

# No test server starts (the fixtures are left out: -FA, and their own tests by name), so
# the backend tests run on SQLite alone; what needs a server, an X server or the
# benchmarks is left to make test.
CHECK_EXCLUDE = ^((postgres|cups)_(up|down)|e2e_operator_session|bench_smoke|tst_faults_session|tst_printqueue)$$
check:
	[ -f $(BUILD)/build.ninja ] || $(MAKE) build
	cmake --build $(BUILD) --target kelvory_tests
	cd $(BUILD) && ctest --output-on-failure -j "$$(nproc)" --timeout 300 -FA '.*' -E '$(CHECK_EXCLUDE)'

bench: build
	scripts/run-bench.sh $(BUILD)

screenshot: build
	scripts/screenshot.sh $(BUILD)

# dpkg-buildpackage on debian/, with Debian's compiler and flags; KELVORY_CLUB_SETTINGS=<file>
# gives kelvory-club the club's server (docs/packaging.md).
package: deps
	scripts/build-package.sh $(PACKAGE_BUILD)

clean:
	rm -rf $(BUILD) $(PACKAGE_BUILD)
