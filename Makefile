# The two set-up commands: `make run` and `make test`. Each installs what it
# needs (scripts/install-deps does nothing when all is there), then builds.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test bench clean

all: build

deps:
	bash scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

# Until the window exists: one default test on the example input, run as the
# window would start it (clock seed, window defaults), printing the summary.
run: build
	cd examples && ../$(BUILD)/app/driftwise run

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

bench: build
	$(BUILD)/bench/driftwise_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

clean:
	rm -rf $(BUILD)
