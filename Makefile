# The two commands of the README: `make run` and `make test`. Both install what is
# missing, configure and build in build/.

BUILD_DIR ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test bench screenshot format clean

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

bench: build
	bench/run $(BUILD_DIR)

# The README's picture of the window, taken under Xvfb.
screenshot: build
	xvfb-run -a -s "-screen 0 1280x1024x24" $(BUILD_DIR)/bin/kelto-screenshot examples/dhcpsrv.ini doc/screenshot.png

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD_DIR)
