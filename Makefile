# Front door: every target delegates to CMake. `make test` and `make demo` install what is
# missing first, so a fresh Debian 12 machine needs nothing else.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
# Seconds each fuzz target runs in `make fuzz`; CI runs `make fuzz-smoke` (20 s each, with a
# fixed seed so the run is repeatable; `make fuzz` seeds at random and explores further).
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build build-asan test test-plain test-asan fuzz fuzz-smoke demo bench package install check-packages clean

all: build

deps:
	tools/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVREL_SANITIZE=ON $(CMAKE_FLAGS)

$(FUZZ_BUILD)/build.ninja:
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DVREL_FUZZ=ON -DVREL_SANITIZE=ON -DVREL_WERROR=OFF $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# ctest runs inside a private network namespace: broadcasts reach only local sockets.
test-plain: build
	tools/netns-run ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: build-asan
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp \
		tools/netns-run ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# libFuzzer targets under ASan and UBSan, each for FUZZ_SECONDS.
fuzz: deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) --target fuzzers -j $(JOBS)
	UBSAN_OPTIONS=print_stacktrace=1 tools/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SECONDS)

fuzz-smoke:
	FUZZ_SEED=1 $(MAKE) fuzz FUZZ_SECONDS=20

test: test-plain test-asan fuzz-smoke

# The three Debian packages (vrel-config, vrel, vrel-sim) land in $(BUILD)/.
package: build
	cmake --build $(BUILD) --target package

# Honours DESTDIR, e.g. make install DESTDIR=/tmp/stage PREFIX=/usr
PREFIX ?= /usr/local
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix $(PREFIX)

# lintian and a look inside each package; CI runs it after the tests.
check-packages: package
	tools/check-packages $(BUILD)

demo: build
	tools/netns-run tools/demo $(BUILD)

# Ten thousand answers against the raw receiver, the command line and the window's presenter;
# BENCH_FLAGS passes options such as --runs 3, --answers 2000 or --case 2 (see vrel-bench).
bench: build
	tools/netns-run $(BUILD)/bin/vrel-bench $(BENCH_FLAGS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
