# Thin wrapper over CMake.
#   make              build every program into build/bin/
#   make test         build everything, run unit and end-to-end tests, then
#                     the unit tests again under ASan and UBSan
#   make run          short demonstration, result files in results/
#   make run P=chi7-xor A="..."   one program (with arguments) in results/
#   make bench        build and run the benchmarks
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)

.PHONY: all test run bench clean configure

all: configure
	cmake --build $(BUILD) -j $(JOBS)

configure:
	@test -f $(BUILD)/CMakeCache.txt || cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

test: all
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@test -f $(ASAN_BUILD)/CMakeCache.txt || cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSUITE_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS) --target unit_tests
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS) -L unit

run: all
	@mkdir -p results
ifdef P
	cd results && ../$(BUILD)/bin/$(P) $(A)
else
	cd results && BIN=../$(BUILD)/bin sh ../tools/demo.sh
endif

bench: configure
	cmake --build $(BUILD) -j $(JOBS) --target benchmarks
	$(BUILD)/bin/benchmarks

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
