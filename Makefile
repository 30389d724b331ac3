# Quillmar: `make run` and `make test` do all the set-up themselves.
.PHONY: all deps build run test test-unit test-e2e test-asan test-tsan fuzz soak bench deb clean

BUILD      ?= build
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja
STAMP      := .deps-ok
# Debug information as line tables only (function names and lines in every
# backtrace and profile): the builds compile and link faster, which keeps the
# three CI passes within their time.
LINE_TABLES_RELEASE := -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
LINE_TABLES_DEBUG   := -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1
# The ThreadSanitizer pass builds and runs the unit tests and corpus replays;
# TSAN_E2E=ON adds the end-to-end tests (a few minutes more).
TSAN_E2E   ?= OFF

all: build

# Installs whatever Debian packages are missing (idempotent).
deps:
	@bash scripts/deps.sh

$(BUILD)/build.ninja: CMakeLists.txt
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(LINE_TABLES_RELEASE)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# Starts the engine in the foreground on the store at $QUILLMAR_STORE (or the
# default place), creating a default store first when there is none.
run: build
	@bash scripts/run.sh $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

test-unit: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -L unit

test-e2e: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -L e2e

# AddressSanitizer + UndefinedBehaviorSanitizer in a build folder of its own.
test-asan: deps
	cmake -S . -B build-asan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug $(LINE_TABLES_DEBUG) -DQLM_SANITIZE=address -DQLM_BENCH=OFF
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  ctest --output-on-failure -j $(JOBS) --timeout 300

# ThreadSanitizer in another, without the Qt manager and its tests (Qt is not
# instrumented: its own threads would only give noise); every engine, socket
# and protocol test runs, the end-to-end ones with their engines under it.
test-tsan: deps
	cmake -S . -B build-tsan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug $(LINE_TABLES_DEBUG) -DQLM_SANITIZE=thread -DQLM_BENCH=OFF -DQLM_MANAGER=OFF -DQLM_E2E_TESTS=$(TSAN_E2E)
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/tests/tsan.supp \
	  ctest --output-on-failure -j $(JOBS) --timeout 300

# libFuzzer targets over the network parsers, each run for a bounded time
# (FUZZ_SECONDS) on its corpus under tests/fuzz/corpus/.
FUZZ_SECONDS ?= 60
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQLM_FUZZ=ON
	cmake --build build-fuzz -j $(JOBS)
	bash scripts/fuzz.sh build-fuzz $(FUZZ_SECONDS)

# The engine under AddressSanitizer + UndefinedBehaviorSanitizer for
# SOAK_SECONDS (default 10 minutes) of load, bad input and a probe, in a
# network namespace of its own; fails on any sanitizer report, crash, hang,
# slow probe, leak or lost store value.
SOAK_SECONDS ?= 600
soak: deps
	cmake -S . -B build-asan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug $(LINE_TABLES_DEBUG) -DQLM_SANITIZE=address -DQLM_BENCH=OFF
	cmake --build build-asan -j $(JOBS) --target qlmsvr qlmreg
	/usr/bin/python3 soak/soak.py --build build-asan --seconds $(SOAK_SECONDS)

bench: build
	bash scripts/bench.sh $(BUILD)

# The Debian package: build-deb/quillmar_<version>_<arch>.deb, built with
# dpkg-buildpackage from a copy of the tree and checked with lintian.
deb: deps
	JOBS=$(JOBS) bash scripts/deb.sh build-deb

clean:
	rm -rf build build-asan build-tsan build-fuzz build-deb
