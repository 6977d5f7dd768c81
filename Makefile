# Velmora — top-level commands. `make run` and `make test` set up a fresh Debian 12 machine.
BUILD   ?= build
JOBS    ?= 2
CMAKE_FLAGS ?=
PREFIX  ?= $(HOME)/.local

.PHONY: run test build deps configure bench fuzz sanitize tsan install package clean

deps:
	@tools/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS) -- --no-print-directory

run: build
	cd $(BUILD)/bin && ./velmora

# Every test, then the library's tests once more under AddressSanitizer + UBSan.
test: build sanitize
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

# The whole suite N times (default 10) beside BUSY busy loops (default 2), as CI's loaded
# machine runs it: prints "P passed, F failed".
N ?= 10
test-repeat: build
	@tools/test-repeat $(BUILD) $(N)

sanitize: configure
	@cmake -S . -B $(BUILD)-asan -DVELMORA_SANITIZE=ON -DVELMORA_BUILD_APP=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(BUILD)-asan -j$(JOBS)
	cd $(BUILD)-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j$(JOBS) -L engine

tsan: configure
	@cmake -S . -B $(BUILD)-tsan -DVELMORA_TSAN=ON -DVELMORA_BUILD_APP=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(BUILD)-tsan -j$(JOBS)
	cd $(BUILD)-tsan && TSAN_OPTIONS="suppressions=$(CURDIR)/tests/support/tsan.supp" ctest --output-on-failure -j$(JOBS) -L engine

bench: configure
	@cmake -S . -B $(BUILD)-bench -DVELMORA_BUILD_BENCH=ON -DVELMORA_BUILD_TESTS=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD)-bench -j$(JOBS)
	@tools/run-benchmarks $(BUILD)-bench

fuzz: configure
	@CC=clang CXX=clang++ cmake -S . -B $(BUILD)-fuzz -DVELMORA_BUILD_FUZZ=ON -DVELMORA_BUILD_APP=ON -DVELMORA_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(BUILD)-fuzz -j$(JOBS)
	@tools/run-fuzzers $(BUILD)-fuzz $(FUZZ_SECONDS)

# An installation under PREFIX (per user by default); the user's files stay in their folders.
install: build
	@tools/install-user $(BUILD) $(PREFIX)

# The Debian package, built from the build directory into it.
package: build
	@cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-tsan $(BUILD)-bench $(BUILD)-fuzz
