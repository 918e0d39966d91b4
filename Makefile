# The two commands that do everything: `make run` and `make test`.
# Both install the Debian packages they need first (`make deps`).

PRESETS ?= dev asan tsan
RUN_PRESET ?= release

# Everything the build and the tests use, by Debian package name.
DEPS := cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev \
        libbenchmark-dev libsqlite3-dev sqlite3 libx11-dev libxft-dev \
        libxss-dev fonts-liberation finger fingerd socat iproute2 util-linux \
        mount procps

DEPS += dpkg-dev lintian desktop-file-utils libcap2-bin man-db pngcheck   # make package and tests/package
DEPS += strace   # security tests: strace over the daemon
DEPS += libxi-dev libxrender-dev libxtst-dev pkg-config xvfb trayer openbox xdotool imagemagick   # the X11 driver and its tests
DEPS += xclip   # the X11 driver test reads the clipboard back as another program

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps build test run package format clean fuzz

deps:
	@missing=$$(for p in $(DEPS); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get update -qq && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	fi

# What is installed: the daemon, its hook library and help file, the help
# viewer, the uninstaller and the reg tool (tests and benchmarks are left to
# `make test`).
build: deps
	cmake --preset $(RUN_PRESET) >/dev/null
	cmake --build --preset $(RUN_PRESET) --target vt_installed

test: deps
	@set -e; for p in $(PRESETS); do \
	  echo "=== $$p build"; \
	  cmake --preset $$p >/dev/null; \
	  cmake --build --preset $$p; \
	  echo "=== $$p tests"; \
	  ctest --preset $$p; \
	done

test-%: deps
	cmake --preset $* >/dev/null
	cmake --build --preset $*
	ctest --preset $*

run: build
	@./tools/run-daemon build/$(RUN_PRESET)/out

# The Debian package, build/package/vellumtide_VERSION_ARCH.deb, from the
# optimised build, checked with lintian.
package: deps
	cmake --preset $(RUN_PRESET) >/dev/null
	cmake --build --preset $(RUN_PRESET) --target vt_installed
	@deb=$$(packaging/build-deb build/$(RUN_PRESET) build/package) && \
	  echo "Built $$deb" && \
	  lintian --fail-on error --info "$$deb"

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build

# Every fuzzer of the sanitizer build for FUZZ_SECONDS each (make test runs
# them for a few seconds). New inputs gather in each fuzzer's corpus folder
# in the build tree; a crash input lands in build/asan/tests/fuzz-crashes/.
FUZZ_SECONDS ?= 600
fuzz: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan
	VT_FUZZ_SECONDS=$(FUZZ_SECONDS) ctest --preset asan -L fuzz
