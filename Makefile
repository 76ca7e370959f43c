# The user's entry points. Everything is built by CMake in build*/ folders.
#   make demo   - install what is missing, build, open the program on a simulated device
#   make run    - the real program, for a plugged-in device
#   make test   - build and run every test headless (plain, sanitized, fuzzed, virtual machine)
#   make bench  - run the benchmarks and print their figures
#   make install [PREFIX=/usr/local]
#   make deb    - the Debian package, checked with lintian (build-deb/)
#   make windows       - cross-build the Windows programs and zip them (build-win/)
#   make test-windows  - run the tests under Wine, the Windows-only checks included

JOBS   ?= $(shell nproc)
PREFIX ?= /usr/local
CMAKE_FLAGS ?=
CTEST  := QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error

.PHONY: all deps build demo run test test-plain test-asan test-tsan test-fuzz test-vm bench install deb clean \
        windows-toolchain windows windows-installer test-windows

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

# Built by dpkg-buildpackage in a copy of the tree; scripts/test-deb installs it into a fresh
# Debian 12 (root and network, so not part of make test).
deb:
	JOBS=$(JOBS) scripts/build-deb

# Windows: cross-compiled with MinGW-w64 against the libraries scripts/windows-toolchain builds
# once per machine (about an hour the first time), and run under Wine.
WIN_VERSION := $(shell sed -n 's/^project.Tolvex_Client VERSION \([0-9]*\.[0-9]*\).*/\1/p' CMakeLists.txt)
WIN_FLAGS := -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release

windows-toolchain:
	@scripts/windows-toolchain

windows: windows-toolchain
	cmake -S . -B build-win $(WIN_FLAGS) $(CMAKE_FLAGS)
	cmake --build build-win -j $(JOBS)
	scripts/windows-bundle build-win $(WIN_VERSION)

# The installer (NSIS): build-win/Tolvex_Client-VERSION-win64-setup.exe from the zip's folder.
windows-installer: windows
	packaging/windows/make-installer build-win/Tolvex_Client-$(WIN_VERSION)-win64 $(WIN_VERSION) \
	  build-win/Tolvex_Client-$(WIN_VERSION)-win64-setup.exe

# Every test that needs no Linux kernel, through Wine, on a virtual X display (the Windows
# platform plugin and the demo's window need one), and the installer's silent install and
# uninstall; and (label wine-vm) the Windows programs against vhid, the Linux build's virtual
# device, in the test virtual machine. One Wine server serves them all; it ends before the
# display does.
test-windows: windows-installer build
	cd build-win && xvfb-run -a -s "-screen 0 1440x900x24" sh -c ' \
	  ../scripts/wine-run --start-server; \
	  QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error; status=$$?; \
	  ../scripts/wine-run --stop-server; exit $$status' 

clean:
	rm -rf build build-asan build-tsan build-fuzz build-win
	rm -rf --one-file-system build-deb
