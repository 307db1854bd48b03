# Velkor: the two commands a newcomer needs are `make run` and `make test`.
BUILD   ?= build
JOBS    ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps configure build test run fuzz clean format

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

# Starts Velkor against the bundled publisher simulator (headless: a screenshot
# of the start-up in $(BUILD)/run/startup.png and the output box on the terminal).
run: deps
	@BUILD=$(BUILD) JOBS=$(JOBS) scripts/run

# Builds the fuzz targets with clang and the sanitizers (in build-fuzz) and runs each one
# for FUZZ_SECONDS over its corpus; FUZZ_TARGETS and FUZZ_INTO_CORPUS=1: see scripts/fuzz.
FUZZ_SECONDS ?= 60
fuzz: deps
	@FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) scripts/fuzz

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
