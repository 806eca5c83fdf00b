# The two set-up commands: `make run` and `make test`. Each installs what it
# needs (scripts/install-deps does nothing when all is there), then builds.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = fuzz_frequency_file fuzz_text_reading fuzz_parse_real fuzz_format_real \
               fuzz_parse_integer

.PHONY: all deps configure build run test bench clean test-sanitize fuzz install package \
        check-engines bench-scan

all: build

deps:
	bash scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

# The window, opened in examples/ so its default input "freqini.txt" is
# found; without a display, one default test run as the window would start
# it (clock seed, window defaults), printing the summary.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  cd examples && ../$(BUILD)/app/driftwise; \
	else \
	  cd examples && ../$(BUILD)/app/driftwise run; \
	fi

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer, in
# its own build folder; any finding fails its test, except the leaks of
# system libraries listed in tests/lsan.supp.
test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDRIFTWISE_SANITIZE=ON \
	  -DDRIFTWISE_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_BUILD) -j$(JOBS)
	cd $(SANITIZE_BUILD) && ASAN_OPTIONS=detect_stack_use_after_return=1:strict_string_checks=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j$(JOBS)

# Each fuzz target for FUZZ_SECONDS, starting from its seed corpus; the
# corpus it grows stays in $(FUZZ_BUILD)/corpus, crash inputs in
# $(FUZZ_BUILD)/findings. Needs clang and its runtime (scripts/install-fuzz-deps).
fuzz: deps
	bash scripts/install-fuzz-deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
	  -DDRIFTWISE_FUZZ=ON -DDRIFTWISE_TESTS=OFF -DDRIFTWISE_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target $(FUZZ_TARGETS)
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$t $(FUZZ_BUILD)/findings/$$t || exit 1; \
	  echo "== $$t ($(FUZZ_SECONDS) s)"; \
	  $(FUZZ_BUILD)/tests/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_BUILD)/findings/$$t/ $(FUZZ_BUILD)/corpus/$$t tests/fuzz/corpus/$$t \
	    2>$(FUZZ_BUILD)/findings/$$t/log.txt || { tail -n 40 $(FUZZ_BUILD)/findings/$$t/log.txt; exit 1; }; \
	  grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb|^Done' $(FUZZ_BUILD)/findings/$$t/log.txt; \
	done

# The counts engine against the individual engine: two-sample tests of WC,
# RH and Delta over a grid of runs, 3·10^4 simulations per engine and point
# (a few minutes on two cores). Fails when they disagree beyond chance.
check-engines: build
	cmake --build $(BUILD) -j$(JOBS) --target check_engines
	$(BUILD)/tests/engines/check_engines

bench: build
	$(BUILD)/bench/driftwise_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

# The scan at genome scale: 100000 SNPs at the defaults, and the CPU of a
# 20000-SNP scan with planted outliers against one run of the same size.
bench-scan: build
	bash bench/scan_at_scale.sh $(BUILD)

# The program, its menu entry, icon, manual page and examples under PREFIX
# (DESTDIR, when set, is put before it, as for a staged install).
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package driftwise_<version>_<arch>.deb, in $(BUILD).
package: build
	cd $(BUILD) && cpack -G DEB
	@ls $(BUILD)/driftwise_*.deb

clean:
	rm -rf $(BUILD)
