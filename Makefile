# Quorvane: `make run` builds and starts the program, `make test` builds and runs every test.
# Both install the Debian packages they need first.

BUILD      ?= build
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
ifeq ($(CI),true)
CMAKE_ARGS += -DQUORVANE_WERROR=ON
endif

.PHONY: all deps configure build run test sanitize tsan fuzz bench format format-check clean

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
	@cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVANE_SANITIZE=address $(CMAKE_ARGS) >/dev/null
	@cmake --build build-asan -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir build-asan --output-on-failure -j $(JOBS)

# die_after_fork=0: tests start programs (QProcess forks a process that has server threads, and the
# child execs at once), which the thread sanitizer otherwise refuses.
tsan: deps
	@cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVANE_SANITIZE=thread $(CMAKE_ARGS) >/dev/null
	@cmake --build build-tsan -j $(JOBS) --target quorvane-check \
	  $$(ninja -C build-tsan -t targets all | sed -n -E 's/^((model|check)_[A-Za-z0-9_]+_test): phony$$/\1/p')
	TSAN_OPTIONS="halt_on_error=1 die_after_fork=0 suppressions=$(CURDIR)/tests/tsan.supp" \
	  ctest --test-dir build-tsan --output-on-failure -j $(JOBS) -L '^(model|check)$$'

# Every libFuzzer target, each for a short fixed time.
FUZZ_SECONDS ?= 30
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DQUORVANE_FUZZ=ON -DQUORVANE_TESTS=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS)
	@scripts/run-fuzzers build-fuzz/fuzz $(FUZZ_SECONDS)

bench: deps
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVANE_BENCH=ON >/dev/null
	@cmake --build build-bench -j $(JOBS)
	@scripts/run-benchmarks build-bench

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

# Fails, naming the places, when a source file differs from .clang-format.
format-check:
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf build build-asan build-tsan build-fuzz build-bench
