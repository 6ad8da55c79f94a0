# Front door of the project. `make test` is what CI runs.
JOBS   ?= $(shell nproc)
CMAKE  := cmake -G Ninja -S . -Wno-dev
CTEST  := ctest --output-on-failure -j $(JOBS)
FUZZ_SECONDS ?= 30

.PHONY: all deps build demo test test-normal test-asan tsan bench fuzz clean screenshots

all: build

deps:
	@scripts/install-deps.sh

build: deps
	$(CMAKE) -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFW_WERROR=ON
	cmake --build build -j $(JOBS)

# The bundled demo: two simulated OPC servers, the server, the driver under
# the stand-in kernel for 20 seconds (builds only what it needs).
demo: deps
	$(CMAKE) -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFW_WERROR=ON
	cmake --build build -j $(JOBS) --target halvorsten-host Ferrowick_V30 Ferrowick_V30_srv opcsim opcsim-ctl
	build/out/halvorsten-host --demo 20

test-normal: build
	cd build && $(CTEST)

test-asan: deps
	$(CMAKE) -B build-asan -DCMAKE_BUILD_TYPE=Debug -DFW_WERROR=ON -DFW_SANITIZE=address
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 $(CTEST)

# Normal build first, then AddressSanitizer + UndefinedBehaviorSanitizer.
test: test-normal test-asan

tsan: deps
	$(CMAKE) -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DFW_WERROR=ON -DFW_SANITIZE=thread
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 $(CTEST)

bench: deps
	$(CMAKE) -B build-bench -DCMAKE_BUILD_TYPE=Release
	cmake --build build-bench -j $(JOBS)
	scripts/run-benchmarks.sh build-bench

fuzz: deps
	CC=clang CXX=clang++ $(CMAKE) -B build-fuzz -DCMAKE_BUILD_TYPE=Debug -DFW_FUZZ=ON -DFW_SANITIZE=address
	cmake --build build-fuzz -j $(JOBS) --target fuzzers
	scripts/run-fuzzers.sh build-fuzz $(FUZZ_SECONDS)

# One BMP of every standard control (and of the pages later pieces add)
# into build/screenshots/.
screenshots: deps
	$(CMAKE) -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFW_WERROR=ON
	cmake --build build -j $(JOBS) --target ui_screenshots
	FERROWICK_UI=headless build/tests/ui_screenshots build/screenshots

clean:
	rm -rf build build-asan build-tsan build-bench build-fuzz
