# The two commands of the README: `make run` and `make test`. Both install what is
# missing, configure and build in build/.

BUILD_DIR ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test check package fuzz bench screenshot format clean \
        windows windows-test windows-package windows-qt

all: build

deps:
	@scripts/install-deps

$(BUILD_DIR)/build.ninja: | deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

configure: $(BUILD_DIR)/build.ninja

build: deps configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/bin/kelto examples/dhcpsrv.ini

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The Debian package, in build/, and its checks.
package: build
	cd $(BUILD_DIR) && cpack
	packaging/test-package $$(ls -t $(BUILD_DIR)/kelto_*.deb | head -n 1)

# The tests under AddressSanitizer and UndefinedBehaviorSanitizer, and clang-tidy.
check:
	scripts/check

# Each fuzz target for FUZZ_SECONDS (60 by default), from fuzz/corpus/ and what earlier
# runs found; crashes land in fuzz/findings/.
FUZZ_SECONDS ?= 60
fuzz:
	scripts/install-deps fuzz
	cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DKELTO_BUILD_FUZZERS=ON -DKELTO_BUILD_APP=OFF -DKELTO_BUILD_TESTS=OFF -DKELTO_BUILD_BENCH=OFF
	cmake --build build-fuzz -j $(JOBS)
	mkdir -p fuzz/findings
	for target in scan address health vendors; do \
	    mkdir -p build-fuzz/corpus-$$target && \
	    build-fuzz/fuzz/fuzz_$$target -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	        -artifact_prefix=fuzz/findings/ build-fuzz/corpus-$$target fuzz/corpus/$$target || exit 1; \
	done

# Windows: kelto.exe and kelto-cli.exe, statically linked, cross-built with MinGW-w64
# against the static Qt that scripts/windows-qt provides (unpacked from ../shared/windows,
# or built by make windows-qt); tested under Wine.
WINDOWS_BUILD_DIR ?= build-windows
windows:
	@scripts/install-deps windows
	qt=$$(scripts/windows-qt) && cmake -S . -B $(WINDOWS_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_PREFIX_PATH=$$qt -DQT_HOST_PATH=/usr \
	    -DKELTO_BUILD_BENCH=OFF
	cmake --build $(WINDOWS_BUILD_DIR) -j $(JOBS)

windows-test: build windows
	scripts/windows-test $(WINDOWS_BUILD_DIR) $(BUILD_DIR)

# The portable ZIP and the installer, in build-windows/, and their test under Wine.
windows-package: windows
	cd $(WINDOWS_BUILD_DIR) && cpack
	packaging/test-windows-package $(WINDOWS_BUILD_DIR)

# Builds the static Qt for Windows from Debian's qt6-base source (30-50 minutes).
windows-qt:
	@scripts/install-deps windows
	scripts/windows-qt build

bench: build
	bench/run $(BUILD_DIR)

# The README's pictures of the window, its menu, the health window and the Windows
# installer's page for the server's file, taken under Xvfb.
screenshot: build windows-package
	@scripts/install-deps screenshot
	xvfb-run -a -s "-screen 0 1280x1024x24" $(BUILD_DIR)/bin/kelto-screenshot examples/dhcpsrv.ini \
	    doc/screenshot.png doc/screenshot-menu.png doc/screenshot-health.png
	xvfb-run -a -s "-screen 0 1280x1024x24" scripts/installer-screenshot $(WINDOWS_BUILD_DIR) \
	    $(BUILD_DIR)/bin/kelto-screenshot doc/installer-server-file.png

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD_DIR) build-check build-fuzz $(WINDOWS_BUILD_DIR)
