# The user's entry points. Everything is built by CMake in build*/ folders.
#   make demo   - install what is missing, build, open the program on a simulated device
#   make run    - the real program, for a plugged-in device
#   make test   - build and run every test headless (plain, sanitized, fuzzed, virtual machine)
#   make bench  - run the benchmarks and print their figures
#   make install [PREFIX=/usr/local]

JOBS   ?= $(shell nproc)
PREFIX ?= /usr/local
CMAKE_FLAGS ?=
CTEST  := QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error

.PHONY: all deps build demo run test test-plain test-asan test-tsan test-fuzz test-vm bench install clean

all: build

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS)

demo: build
	build/bin/Tolvex_Client_demo

run: build
	build/bin/Tolvex_Client

test: test-plain test-asan test-tsan test-fuzz test-vm

test-plain: build
	cd build && $(CTEST) -LE 'vm|fuzz'

test-asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTOLVEX_SANITIZE=address,undefined -DTOLVEX_BUILD_BENCH=OFF
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 $(CTEST) -LE 'vm|fuzz'

test-tsan: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DTOLVEX_SANITIZE=thread -DTOLVEX_BUILD_BENCH=OFF
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/sanitizers/tsan.supp" \
	  $(CTEST) -L threaded

test-fuzz: deps
	cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DTOLVEX_FUZZ=ON -DTOLVEX_BUILD_BENCH=OFF
	cmake --build build-fuzz -j $(JOBS) --target fuzz_codec fuzz_recording
	cd build-fuzz && $(CTEST) -L fuzz

test-vm: build
	cd build && $(CTEST) -L vm

bench: build
	@for b in $$(find build/bin -maxdepth 1 -type f -name 'bench_*' -perm -u+x | sort); do "$$b" || exit 1; done

install: build
	cmake --install build --prefix $(PREFIX)

clean:
	rm -rf build build-asan build-tsan build-fuzz
