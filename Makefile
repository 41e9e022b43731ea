# Quorvane: `make run` builds and starts the program, `make test` builds and runs every test.
# Both install the Debian packages they need first.

BUILD      ?= build
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
# Builds go through ccache when it is there, so a build folder made again (a fresh clone on the same
# machine, say) compiles only what changed.
CCACHE     := $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CMAKE_ARGS += $(CCACHE)
# Line tables (-g1) are all the debug information that backtraces and sanitizer reports read, and
# compiles are a quarter quicker without the rest. CI and the sanitizer and fuzz builds use them.
LINE_TABLES := -DQUORVANE_LINE_TABLES=ON
ifeq ($(CI),true)
CMAKE_ARGS += -DQUORVANE_WERROR=ON $(LINE_TABLES)
endif

.PHONY: all deps configure build run test sanitize tsan fuzz bench package package-test format format-check clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD)/bin && ./quorvane

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Every test under AddressSanitizer and UndefinedBehaviorSanitizer. `make tsan` runs the threaded
# ones (checking, and the model's settings file and clock, which the check threads share) under
# ThreadSanitizer as well.
sanitize: deps
	@cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVANE_SANITIZE=address $(LINE_TABLES) $(CMAKE_ARGS) >/dev/null
	@cmake --build build-asan -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir build-asan --output-on-failure -j $(JOBS)

# die_after_fork=0: tests start programs (QProcess forks a process that has server threads, and the
# child execs at once), which the thread sanitizer otherwise refuses.
tsan: deps
	@cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVANE_SANITIZE=thread $(LINE_TABLES) $(CMAKE_ARGS) >/dev/null
	@cmake --build build-tsan -j $(JOBS) --target quorvane-check \
	  $$(ninja -C build-tsan -t targets all | sed -n -E 's/^((model|check)_[A-Za-z0-9_]+_test): phony$$/\1/p')
	TSAN_OPTIONS="halt_on_error=1 die_after_fork=0 suppressions=$(CURDIR)/tests/tsan.supp" \
	  ctest --test-dir build-tsan --output-on-failure -j $(JOBS) -L '^(model|check)$$'

# Every libFuzzer target, each for a short fixed time.
FUZZ_SECONDS ?= 30
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DQUORVANE_FUZZ=ON -DQUORVANE_TESTS=OFF $(LINE_TABLES) $(CCACHE) >/dev/null
	@cmake --build build-fuzz -j $(JOBS)
	@scripts/run-fuzzers build-fuzz/fuzz $(FUZZ_SECONDS)

bench: deps
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVANE_BENCH=ON $(CCACHE) >/dev/null
	@cmake --build build-bench -j $(JOBS)
	@scripts/run-benchmarks build-bench

# The Debian package, a Release build with Debian's hardening flags: build-package/quorvane_*.deb.
# `make package-test` builds it, checks it with lintian and installs it into a fresh Debian 12 root,
# where it starts both programs as a user; it takes minutes and needs root.
PACKAGE_BUILD ?= build-package
package:
	@scripts/install-deps package
	@export DEB_BUILD_MAINT_OPTIONS=hardening=+all; \
	  cmake -S . -B $(PACKAGE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVANE_TESTS=OFF \
	  -DCMAKE_INSTALL_PREFIX=/usr $(CCACHE) \
	  -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)" >/dev/null
	@cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	@rm -f $(PACKAGE_BUILD)/quorvane_*.deb
	@cd $(PACKAGE_BUILD) && cpack -G DEB >/dev/null
	@ls $(PACKAGE_BUILD)/quorvane_*.deb

package-test: package
	@scripts/package-test $(PACKAGE_BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

# Fails, naming the places, when a source file differs from .clang-format.
format-check: deps
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf build build-asan build-tsan build-fuzz build-bench build-package
