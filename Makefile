# Two commands for a fresh Debian 12 machine:
#   make run    installs what is missing, builds, starts Kelvory on the embedded database
#   make test   installs what is missing, builds, runs the whole test suite
# and one for the README: make screenshot regenerates its picture, docs/main-window.png
# make package builds the Debian packages kelvory and kelvory-club with dpkg-buildpackage in build-package/
BUILD ?= build
PACKAGE_BUILD ?= build-package
BUILD_TYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=
# clang compiles this code base about two and a half times faster than g++ (measured);
# both build it without a warning.
CXX_COMPILER ?= clang++

.PHONY: deps build run test bench screenshot package clean

deps:
	scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DCMAKE_CXX_COMPILER=$(CXX_COMPILER) $(CMAKE_FLAGS)
	cmake --build $(BUILD)

run: build
	scripts/run-kelvory.sh $(BUILD)/src/kelvory

test: build
	scripts/run-tests.sh $(BUILD)

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
