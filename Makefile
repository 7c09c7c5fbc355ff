# make demo   build and show Vorlan on the embedded engine
# make test   build, run the test suite, then again under ASan and UBSan
# make bench  run the benchmarks (by hand; never part of the tests)

JOBS ?= 2
BUILD ?= build
ASAN_BUILD ?= build-asan

.PHONY: all setup build demo test test-plain test-asan bench clean

all: build

setup:
	@sh scripts/setup.sh

build: setup
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

demo: build
	@sh scripts/demo.sh $(BUILD)

test-plain: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

test-asan: setup
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVORLAN_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j$(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j$(JOBS)

test: test-plain test-asan

bench: build
	@sh bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
