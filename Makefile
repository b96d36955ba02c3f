# Front door of the build: every target configures and builds what it needs.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test bench clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Runs Dustglow headless for ten seconds of frames and keeps the last one.
ARGS ?= --frames 250 --snapshot $(BUILD)/dustglow.png
run: build
	$(BUILD)/bin/saverhost $(ARGS)

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

bench: deps
	@cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DDUSTGLOW_BENCH=ON \
		-DDUSTGLOW_TESTS=OFF >/dev/null
	@cmake --build $(BUILD)-bench -j $(JOBS)
	@$(BUILD)-bench/bin/dustglow_bench

clean:
	rm -rf $(BUILD) $(BUILD)-bench
