# The two set-up commands: `make run` and `make test`.
BUILD ?= build
JOBS  ?= $(shell nproc)
CMAKE_FLAGS ?=
# Card settings of `make run`: Dev1 in service, Dev0 at power-up.
SIM_CONFIG ?= scripts/run-cards.ini

.PHONY: all deps configure build run test bench sanitize sanitize-input tsan deb clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The desktop console on simulated cards; without a display, a short headless
# demo through the script console. Builds the two programs only, not the tests.
run: configure
	cmake --build $(BUILD) -j $(JOBS) --target programs
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ] && [ -x $(BUILD)/src/gui/pemblor ]; then \
	  $(BUILD)/src/gui/pemblor --sim-config $(SIM_CONFIG) $(ARGS); \
	else \
	  echo "No display: running the headless demo (scripts/demo.txt)"; \
	  $(BUILD)/cli/pemblorctl --sim-config $(SIM_CONFIG) $(ARGS) console --script scripts/demo.txt; \
	fi

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; $$b; done

# The Debian package in $(DEB_DIR): built the way Debian builds its own, then
# checked (lintian, an install on this machine, a removal).
DEB_DIR ?= build-deb
deb:
	@bash scripts/install-deps.sh --packaging
	bash scripts/build-deb.sh $(DEB_DIR) $(JOBS)
	bash scripts/check-deb.sh $(DEB_DIR)

# Sanitizer runs (not part of `make test`): AddressSanitizer with
# UndefinedBehaviorSanitizer, and ThreadSanitizer, each in its own tree.
sanitize: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPEMBLOR_BENCH=OFF \
	  -DPEMBLOR_SANITIZE=address,undefined $(CMAKE_FLAGS)
	cmake --build build-asan -j $(JOBS)
	cd build-asan && UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp ctest --output-on-failure -j $(JOBS)

# The hostile-input table and the readers it reaches (scripts, settings,
# replays, outputs that replace files) under AddressSanitizer and
# UndefinedBehaviorSanitizer: pemblorctl and the tests only, in build-asan.
sanitize-input: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPEMBLOR_BENCH=OFF -DPEMBLOR_GUI=OFF \
	  -DPEMBLOR_SANITIZE=address,undefined $(CMAKE_FLAGS)
	cmake --build build-asan -j $(JOBS) --target pemblorctl pemblor_tests
	cd build-asan && UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ASAN_OPTIONS=quarantine_size_mb=16 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp tests/pemblor_tests \
	  --gtest_filter='HostileInput.*:PemblorctlConventions.*:ScriptHost.*:SimReplay.*:SimConfig.*:DeinterlaceFile.*:DataFiles.*:ReplacingFile.*'

tsan: deps
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPEMBLOR_BENCH=OFF -DPEMBLOR_GUI=OFF \
	  -DPEMBLOR_SANITIZE=thread $(CMAKE_FLAGS)
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) build-asan build-tsan $(DEB_DIR)
