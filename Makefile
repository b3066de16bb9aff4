# The two commands of the README: `make run` and `make test`.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps configure build run test bench screenshots check-fits check-coverage check-concurrency clean

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@scripts/run-tamsel $(BUILD_DIR)

test: build
	@scripts/check-deps $(BUILD_DIR)
	@ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# Renders the windows of the desktop application offscreen into docs/screenshots, and the
# steps of the first analysis as its test walks through them.
screenshots: configure
	@cmake --build $(BUILD_DIR) --target tamsel-screenshots tamsel_gui_workflow_test -j $(JOBS)
	@QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/gui/tamsel-screenshots docs/screenshots
	@QT_QPA_PLATFORM=offscreen TAMSEL_DATA_DIR=$(CURDIR)/data \
	    TAMSEL_SCREENSHOT_DIR=$(CURDIR)/docs/screenshots \
	    $(BUILD_DIR)/tests/gui/tamsel_gui_workflow_test >/dev/null

bench: deps
	@cmake -S . -B $(BUILD_DIR)-bench -G Ninja -DCMAKE_BUILD_TYPE=Release \
	    -DTAMSEL_BUILD_BENCH=ON -DBUILD_TESTING=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD_DIR)-bench -j $(JOBS)
	@scripts/run-benchmarks $(BUILD_DIR)-bench

# Every index of every bundled data set against the independent likelihood search; prints the
# table of docs/numerics.md.
check-fits: configure
	@cmake --build $(BUILD_DIR) --target tamsel_check_fits -j $(JOBS)
	@TAMSEL_DATA_DIR=$(CURDIR)/data $(BUILD_DIR)/tests/core/models/tamsel_check_fits

# How often the 95 % parameter intervals cover planted parameters (200 replicates of 200
# failures each); prints the table of docs/models.md.
check-coverage: configure
	@cmake --build $(BUILD_DIR) --target tamsel_check_coverage -j $(JOBS)
	@$(BUILD_DIR)/tests/core/prediction/tamsel_check_coverage

# Twenty rounds of concurrent apply, recalibrate, delete and reads on one project, in a file and
# then on a throwaway PostgreSQL server: no set stored twice, no fit lost, no unexplained
# failure, and a clean `tamsel-cli check` after.
check-concurrency: configure
	@cmake --build $(BUILD_DIR) --target tamsel-cli -j $(JOBS)
	@scripts/check-concurrency $(BUILD_DIR)
	@dir=/tmp/tamsel-pg-stress-$$$$; uri=$$(scripts/pg-test-cluster start $$dir) || exit 1; \
	    scripts/check-concurrency $(BUILD_DIR) "$$uri?schema=stress"; status=$$?; \
	    scripts/pg-test-cluster stop $$dir; exit $$status

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-bench $(BUILD_DIR)-asan $(BUILD_DIR)-fuzz
