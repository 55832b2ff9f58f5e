# Talvex: `make run` opens the window, `make test` runs every test. Both install what is missing.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test clean check-sanitize check-tsan fuzz fuzz-ci install deb check-install screenshot valgrind \
	check-format

all: build

# Missing Debian packages are installed through apt-get (with sudo when not root); NO_INSTALL=1 skips it.
NO_INSTALL ?=
deps:
ifeq ($(NO_INSTALL),)
	@tools/install-deps
endif

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DTALVEX_WERROR=ON $(CMAKE_FLAGS)

configure: $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/src/main/talvex

test: build
	ctest --test-dir $(BUILD) --output-on-failure

# Every C++ file as .clang-format lays it out (the aligned tables are fenced off).
check-format:
	tools/install-deps clang-format
	clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.h')

# The window and its details window under Xvfb, saved as docs/screenshot.png and docs/details.png.
screenshot: build
	tools/install-deps xdotool
	tools/screenshot $(BUILD)/src/main/talvex docs/screenshot.png docs/details.png

# `make install PREFIX=...` (default /usr/local); `make deb` leaves talvex_VERSION_ARCH.deb in $(BUILD).
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

deb: build
	cd $(BUILD) && cpack -G DEB

# Installs into a temporary prefix and checks the desktop files, man pages and the .deb.
check-install: configure
	tools/check-install $(BUILD)

# The whole test suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
SANITIZE_BUILD ?= build-sanitize
check-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DTALVEX_WERROR=ON -DTALVEX_SANITIZE=ON -DTALVEX_BENCH=OFF \
		-DCMAKE_BUILD_TYPE=Debug
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp:print_suppressions=0 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --test-dir $(SANITIZE_BUILD) --output-on-failure

# The tests that start threads, again under ThreadSanitizer: every window test (the clock worker, the
# live clock, Open Dump's reader, the copy queued behind a measurement, the soak). Only they are built.
# Debian's Qt is not built for the sanitizer: its locks are invisible to it, so what Qt's own threads
# (its thread pool, the D-Bus thread) allocate, copy and free reads as racing. The sanitizer is told
# to judge only what instrumented code does (ignore_noninstrumented_modules): all of Talvex, its
# threads and everything they share are still checked.
TSAN_BUILD ?= build-tsan
check-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DTALVEX_WERROR=ON -DTALVEX_TSAN=ON -DTALVEX_BENCH=OFF
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target $$(ctest --test-dir $(TSAN_BUILD) -N -R '^test_window_' \
		| sed -n 's/^ *Test *#[0-9]*: //p')
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1 \
		ctest --test-dir $(TSAN_BUILD) -R '^test_window_' --output-on-failure

# The window offscreen under valgrind's memcheck: a scripted session and one real start.
valgrind: build
	tools/install-deps valgrind xdotool
	tools/valgrind-window $(BUILD)

# libFuzzer targets (clang): `make fuzz` runs each for FUZZ_SECONDS (default 600), CI for 60.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 600
fuzz: deps
	tools/install-deps clang libclang-rt-14-dev
	CXX=clang++ CC=clang cmake -S . -B $(FUZZ_BUILD) -G Ninja -DTALVEX_FUZZ=ON -DTALVEX_GUI=OFF \
		-DTALVEX_TESTS=OFF -DTALVEX_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	tools/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SECONDS)

fuzz-ci:
	$(MAKE) fuzz FUZZ_SECONDS=60

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
