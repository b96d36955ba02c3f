# Front door of the build: every target configures and builds what it needs.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

# make's own "Entering directory" lines would drown what the build says.
MAKEFLAGS += --no-print-directory

.PHONY: all deps deps-run deps-package configure configure-run build run install package \
	test test-native test-desktop test-m32 test-sanitize bench clean fuzz fuzz-build test-fuzz \
	test-soak test-memcheck

all: build

# What running needs, and what the whole test suite needs.
deps-run:
	@scripts/install-deps run
deps:
	@scripts/install-deps test
deps-package:
	@scripts/install-deps package

# A build tree for running only, unless one is there already: it needs no
# test framework and builds no tests.
configure-run: deps-run
	@test -f $(BUILD)/CMakeCache.txt || \
		cmake -S . -B $(BUILD) -DDUSTGLOW_TESTS=OFF $(CMAKE_FLAGS) >/dev/null

configure: deps
	@cmake -S . -B $(BUILD) -DDUSTGLOW_TESTS=ON $(CMAKE_FLAGS) >/dev/null

build: configure
	@scripts/quiet-build $(BUILD) -j $(JOBS)

# Runs Dustglow where it can be seen: a window when there is a display, else
# the terminal. ARGS="..." passes options, as in ARGS="--record dust.mp4".
# Builds only saverhost and the add-on.
ARGS ?=
run: configure-run
	@scripts/quiet-build $(BUILD) -j $(JOBS) --target saverhost Dustglow
	@$(BUILD)/bin/saverhost $(ARGS)

# Installs saverhost, the kits, the add-on, the dustglow command, the manual
# pages, the screen-saver daemon's settings file and the desktop entry below
# PREFIX (DESTDIR=... stages them below another folder, as packagers do). The
# installed tree runs wherever it is moved.
PREFIX ?= /usr/local
install: configure-run
	@scripts/quiet-build $(BUILD) -j $(JOBS) --target installable
	@cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package, $(BUILD)/dustglow_VERSION_ARCH.deb, from a build of its
# own: optimised, for the /usr prefix, without the tests.
PACKAGE_BUILD = $(BUILD)-package
package: deps-package
	@cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
		-DDUSTGLOW_TESTS=OFF $(CMAKE_FLAGS) >/dev/null
	@scripts/quiet-build $(PACKAGE_BUILD) -j $(JOBS) --target installable
	@mkdir -p $(BUILD)
	@rm -f $(BUILD)/dustglow_*.deb
	@cpack --config $(PACKAGE_BUILD)/CPackConfig.cmake -B $(abspath $(BUILD)) \
		>$(PACKAGE_BUILD)/cpack.log 2>&1 \
		|| { cat $(PACKAGE_BUILD)/cpack.log >&2; exit 1; }
	@echo "package: $$(ls $(BUILD)/dustglow_*.deb)"

# The whole suite: the native build, a soak and memcheck runs of saverhost,
# the 32-bit x86 build, the build under AddressSanitizer and
# UndefinedBehaviorSanitizer, a short run of every fuzz target, Dustglow as a
# desktop's screen saver, and the web page in headless Chromium.
test: test-native test-desktop test-soak test-memcheck test-m32 test-sanitize test-fuzz \
	test-web

test-native: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Dustglow as a desktop's screen saver (tests/desktop): the installed tree
# moved elsewhere, Debian's screen-saver daemon and a locker's way on Xvfb,
# the window under a headless Wayland compositor, the package and lintian.
# As root: the daemons run as an unprivileged user the tests make.
test-desktop: build package
	@$(BUILD)/bin/desktop_test

# SOAK_FRAMES frames of Dustglow at 640x480 headless in the optimised build,
# checked after each for writes outside a bitmap and for growing memory.
SOAK_FRAMES ?= 200000
test-soak: build
	@$(BUILD)/bin/saverhost --soak $(SOAK_FRAMES) --size 640x480

# saverhost under valgrind's memcheck: 500 frames, and views it refuses.
test-memcheck: build
	@scripts/run-memcheck $(BUILD)

# The add-on, the stand-in kits and the unit tests for 32-bit x86 with SSE2
# arithmetic, run under qemu-i386 where the kernel cannot run them itself.
M32_FLAGS = -m32 -msse2 -mfpmath=sse
test-m32: deps
	@cmake -S . -B $(BUILD)-m32 -DDUSTGLOW_HOST=OFF \
		-DDUSTGLOW_GTEST_SOURCE=/usr/src/googletest \
		-DCMAKE_C_FLAGS="$(M32_FLAGS)" -DCMAKE_CXX_FLAGS="$(M32_FLAGS)" \
		-DCMAKE_CROSSCOMPILING_EMULATOR=$(CURDIR)/scripts/run32 >/dev/null
	@scripts/quiet-build $(BUILD)-m32 -j $(JOBS)
	@ctest --test-dir $(BUILD)-m32 --output-on-failure -j $(JOBS)

SANITIZE_FLAGS = -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer
test-sanitize: deps
	@cmake -S . -B $(BUILD)-sanitize -DCMAKE_BUILD_TYPE=Debug \
		-DCMAKE_C_FLAGS="$(SANITIZE_FLAGS)" -DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS)" \
		-DCMAKE_EXE_LINKER_FLAGS="$(SANITIZE_FLAGS)" \
		-DCMAKE_MODULE_LINKER_FLAGS="$(SANITIZE_FLAGS)" \
		-DCMAKE_SHARED_LINKER_FLAGS="$(SANITIZE_FLAGS)" >/dev/null
	@scripts/quiet-build $(BUILD)-sanitize -j $(JOBS)
	@ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
		ctest --test-dir $(BUILD)-sanitize --output-on-failure -j $(JOBS)

# libFuzzer targets, built with clang: the saver through random call
# sequences, saverhost's command line, and the module type note reader.
# `make fuzz` runs each for FUZZ_SECONDS, `make test` for FUZZ_TEST_SECONDS.
FUZZ_SECONDS ?= 300
FUZZ_TEST_SECONDS ?= 20
FUZZ_TARGETS = saver_fuzz options_fuzz module_type_fuzz
fuzz-build: deps
	@CC=clang-14 CXX=clang++-14 cmake -S . -B $(BUILD)-fuzz -DDUSTGLOW_FUZZ=ON -DDUSTGLOW_HOST=ON \
		-DDUSTGLOW_TESTS=OFF >/dev/null
	@scripts/quiet-build $(BUILD)-fuzz -j $(JOBS) --target $(FUZZ_TARGETS)

fuzz: fuzz-build
	@scripts/run-fuzz $(BUILD)-fuzz $(FUZZ_SECONDS)

test-fuzz: fuzz-build
	@FUZZ_SEED=1 scripts/run-fuzz $(BUILD)-fuzz $(FUZZ_TEST_SECONDS)

bench: deps
	@cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DDUSTGLOW_BENCH=ON \
		-DDUSTGLOW_TESTS=OFF >/dev/null
	@scripts/quiet-build $(BUILD)-bench -j $(JOBS)
	@$(BUILD)-bench/bin/dustglow_bench

clean:
	rm -rf $(BUILD) $(BUILD)-bench $(BUILD)-m32 $(BUILD)-sanitize $(BUILD)-fuzz $(BUILD)-package \
		$(WEB_BUILD)

# The web page: the add-on compiled to WebAssembly with Debian's clang and
# wasi-libc, and the page's host (web/), in $(WEB_BUILD)/site; see
# docs/web.md. `make web-serve` serves it on 127.0.0.1.
WEB_BUILD ?= build-web
WEB_PORT ?= 8000
.PHONY: deps-web web web-serve test-web bench-web
deps-web:
	@scripts/install-deps web

web: deps-web
	@cmake -S web -B $(WEB_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/web/wasm32-wasi.cmake >/dev/null
	@scripts/quiet-build $(WEB_BUILD) -j $(JOBS)
	@echo "web: the page is in $(WEB_BUILD)/site; \`make web-serve\` serves it on" \
		"http://127.0.0.1:$(WEB_PORT)/ (WEB_PORT=... for another port), as would any static server"

# Python's http.server on 127.0.0.1 (scripts/serve-web): a port already taken
# is said in one line.
web-serve: web
	@scripts/serve-web $(WEB_BUILD)/site $(WEB_PORT)

# The test's npm packages (puppeteer-core, pngjs) in tests/web/node_modules,
# as package-lock.json pins them: installed when missing or when the lock has
# changed. puppeteer-core brings no browser; the tests run Debian's Chromium.
WEB_TEST_MODULES = tests/web/node_modules/.installed
$(WEB_TEST_MODULES): tests/web/package.json tests/web/package-lock.json | deps
	@cd tests/web && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error
	@touch $@

# The page in headless Chromium against saverhost's frames.
test-web: build web $(WEB_TEST_MODULES)
	@BUILD=$(BUILD) WEB_BUILD=$(WEB_BUILD) node --test tests/web/web.test.js

# The page's figures beside the reference page's and saverhost's, in
# headless Chromium at 1920x1080 (bench/web/web-bench.js; BENCHMARKS.md):
# WEB_BENCH_ROUNDS rounds of WEB_BENCH_SECONDS for each page.
WEB_BENCH_SECONDS ?= 10
WEB_BENCH_ROUNDS ?= 3
bench-web: configure-run web $(WEB_TEST_MODULES)
	@scripts/quiet-build $(BUILD) -j $(JOBS) --target saverhost Dustglow
	@BUILD=$(BUILD) WEB_BUILD=$(WEB_BUILD) node bench/web/web-bench.js $(WEB_BENCH_SECONDS) \
		$(WEB_BENCH_ROUNDS)
