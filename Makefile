# Velvo: make run | make test | make package | make bench | make test-asan | make fuzz | make screenshots
BUILD ?= build
JOBS ?= 2
SHELL := /bin/bash

.PHONY: deps configure build run test package bench test-asan fuzz screenshots clean

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: configure
	@cmake --build $(BUILD) -j $(JOBS) --target velvo
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "No display found: Velvo needs a graphical session. Without one, run it on a virtual display: xvfb-run make run" >&2; \
	else $(BUILD)/velvo/velvo; fi

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The Debian package $(BUILD)/velvo_<version>_<arch>.deb, checked by lintian.
package: build
	@cd $(BUILD) && rm -f velvo_*.deb && cpack -G DEB
	@lintian --allow-root --fail-on error $(BUILD)/velvo_*.deb

# Every bench_* program in turn, then one table of all their results.
bench: build
	@log=$(BUILD)/bench/results.txt; : > "$$log"; \
	for b in $(BUILD)/bench/bench_*; do \
	  [ -f "$$b" ] && [ -x "$$b" ] || continue; \
	  echo "BENCH-START|$${b##*/}" >> "$$log"; \
	  QT_QPA_PLATFORM=offscreen "$$b" | tee -a "$$log" | grep --line-buffered -v '^BENCH|'; \
	  echo "BENCH-EXIT|$${b##*/}|$${PIPESTATUS[0]}" >> "$$log"; \
	done; \
	scripts/bench-summary "$$log"

test-asan: deps
	@JOBS=$(JOBS) tests/sanitizer/run_asan.sh build-asan

# Fuzz targets (clang, libFuzzer, ASan + UBSan) in build-fuzz; each runs to
# FUZZ_RUNS executions (default one million) within FUZZ_MAX_SECONDS.
fuzz:
	@scripts/install-deps --fuzz
	@JOBS=$(JOBS) tests/fuzz/run_fuzz.sh build-fuzz

clean:
	@rm -rf $(BUILD) build-asan build-fuzz

screenshots: build
	@rm -rf $(BUILD)/screenshots
	@xvfb-run -a -s "-screen 0 1280x1024x24" $(BUILD)/tests/velvo_screenshots $(BUILD)/screenshots
