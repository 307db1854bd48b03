# Velkor: the two commands a newcomer needs are `make run` and `make test`.
BUILD   ?= build
JOBS    ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps configure build test check sanitized run package fuzz clean format

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

# What CI runs: make test, then every non-window test (fuzz corpus replays
# included) built with AddressSanitizer and UndefinedBehaviorSanitizer, and again
# with ThreadSanitizer. Window tests stay in the plain build: Qt itself is not
# instrumented.
check: test
	@$(MAKE) --no-print-directory sanitized SANITIZER=address,undefined SAN_BUILD=$(BUILD)-asan
	@$(MAKE) --no-print-directory sanitized SANITIZER=thread SAN_BUILD=$(BUILD)-tsan

sanitized: deps
	cmake -S . -B $(SAN_BUILD) -DVELKOR_SANITIZE=$(SANITIZER) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(SAN_BUILD) -j $(JOBS) --target unit_tests
	cd $(SAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 TSAN_OPTIONS=halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) --timeout 900 -L unit

# Starts Velkor against the bundled publisher simulator (headless: it walks every
# command, with a picture of each under $(BUILD)/run/ and the output on the terminal).
run: deps
	@BUILD=$(BUILD) JOBS=$(JOBS) scripts/run

# A Debian package of the program: $(BUILD)/velkor_<version>_<arch>.deb
package: build
	cd $(BUILD) && cpack -G DEB

# Builds the fuzz targets with clang and the sanitizers (in build-fuzz) and runs each one
# for FUZZ_SECONDS over its corpus; FUZZ_TARGETS and FUZZ_INTO_CORPUS=1: see scripts/fuzz.
FUZZ_SECONDS ?= 60
fuzz: deps
	@FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) scripts/fuzz

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
