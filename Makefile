# Two commands: 'make run' builds and starts the demo, 'make test' builds and
# runs every test. Both first install what is missing (Debian packages).

BUILD ?= build
# CMake's own make runs below this one: no "Entering directory" lines from it.
MAKEFLAGS += --no-print-directory
WERROR ?= OFF
CMAKE_ARGS = -DZARV_WERROR=$(WERROR)

.PHONY: all run test fresh-test windows web web-soak web-build arm64 arm64-clean soak bench lint package build configure deps test-deps screenshots icons clean

all: build

deps:
	@tools/install-deps.sh

test-deps:
	@tools/install-deps.sh --test

configure:
	@cmake -S . -B $(BUILD) $(CMAKE_ARGS) >/dev/null

build: deps configure
	@cmake --build $(BUILD) --parallel

run: build
	./$(BUILD)/zarv

test: test-deps
	@cmake -S . -B $(BUILD) $(CMAKE_ARGS) -DZARV_TESTS=ON >/dev/null
	@cmake --build $(BUILD) --parallel
	@# Tests that cannot apply on this display skip themselves: say why.
	@status=0; (cd $(BUILD) && ctest --output-on-failure) || status=$$?; tools/skip-reasons.sh $(BUILD); exit $$status
	@# The unit and renderer tests once more under AddressSanitizer and UBSan.
	@cmake -S . -B $(BUILD)-sanitize $(CMAKE_ARGS) -DZARV_TESTS=ON -DZARV_SANITIZE=ON >/dev/null
	@cmake --build $(BUILD)-sanitize --parallel --target field_tests frame_logic_tests render_tests
	cd $(BUILD)-sanitize && ctest --output-on-failure -L unit

# Ten minutes of the input storm, with the resident memory at start and end.
soak: test-deps
	@cmake -S . -B $(BUILD) $(CMAKE_ARGS) -DZARV_TESTS=ON >/dev/null
	@cmake --build $(BUILD) --parallel --target storm_tests
	ZARV_STORM_SECONDS=600 $(BUILD)/tests/storm_tests

# Frame rate, frame cost, start-up and CPU figures; see docs/performance.md.
bench:
	@tools/install-deps.sh --bench
	@cmake -S . -B $(BUILD) $(CMAKE_ARGS) -DZARV_BENCH=ON >/dev/null
	@cmake --build $(BUILD) --parallel --target field_bench frame_cost run_binary
	bench/run.sh $(BUILD)

# clang-format, clang-tidy and cppcheck over the whole tree.
lint:
	@tools/install-deps.sh --lint
	@cmake -S . -B $(BUILD) $(CMAKE_ARGS) -DZARV_BENCH=ON -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
	@cmake --build $(BUILD) --parallel
	tools/lint.sh $(BUILD)

# The Debian package, build/zarv_1.0_<arch>.deb.
package: build
	@tools/install-deps.sh --package
	cd $(BUILD) && cpack -G DEB

# zarv.exe for 64-bit Windows and build-windows/zarv-1.0-win64.zip, cross-built
# with mingw-w64 and checked under wine.
windows:
	@tools/install-deps.sh --windows
	@cmake -S . -B $(BUILD) $(CMAKE_ARGS) -DZARV_TESTS=ON >/dev/null
	@cmake --build $(BUILD) --parallel --target wine_check
	ZARV_WERROR=$(WERROR) tools/build-windows.sh build-windows $(BUILD)/tests/wine_check

# build-arm64/zarv and build-arm64/zarv_1.0_arm64.deb for Linux on arm64,
# cross-built, then run under qemu-user: full screen, a click, Esc, and its
# frames against this build's under a fixed clock. Changes the system for
# good, and says so first; 'make arm64-clean' takes it back.
arm64:
	@echo "zarv: make arm64 adds the arm64 architecture to dpkg and installs, where missing, the cross"
	@echo "zarv: toolchain (crossbuild-essential-arm64), qemu-user and arm64 freeglut and Mesa beside the"
	@echo "zarv: host's; apt may upgrade the host's Mesa to the suite's newest, which the arm64 one must"
	@echo "zarv: match. 'make arm64-clean' removes them and the architecture again."
	@$(MAKE) build
	@tools/install-deps.sh --arm64
	ZARV_WERROR=$(WERROR) tools/arm64.sh build-arm64 $(BUILD)/zarv

# What 'make arm64' added to the system taken off again, but for the
# host's Mesa, which stays at the version apt moved it to.
arm64-clean:
	tools/arm64-clean.sh

# build-web/zarv.html, the browser build (Debian's emscripten), then its
# test in Chromium, WebKit and Firefox against the desktop renderer's picture.
WEB_ENV = NODE_PATH=/usr/share/nodejs
web: web-build
	/usr/bin/python3 tests/web_test.py build-web/zarv.html $(BUILD)/tests/web_reference

# Ten minutes of the page's input storm in each engine, with frames drawn
# and memory at start, after warm-up and at the end.
web-soak: web-build
	ZARV_STORM_SECONDS=600 /usr/bin/python3 tests/web_test.py --storm build-web/zarv.html $(BUILD)/tests/web_reference

web-build:
	@tools/install-deps.sh --web
	@cmake -S . -B $(BUILD) $(CMAKE_ARGS) -DZARV_TESTS=ON >/dev/null
	@cmake --build $(BUILD) --parallel --target web_reference
	@$(WEB_ENV) emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release $(CMAKE_ARGS) >/dev/null 2>&1
	@$(WEB_ENV) cmake --build build-web --parallel

# The README's commands in a new minimal root of Debian 12 and then of
# Debian 13, as on a fresh machine with nothing but git and make: 'make run'
# on a display until Esc, then 'make package', 'make test' and 'make web'.
# Catches a missing install step of any.
fresh-test:
	@tools/install-deps.sh --fresh
	tools/fresh-test.sh $(BUILD)/fresh-bookworm bookworm
	tools/fresh-test.sh $(BUILD)/fresh-trixie trixie

screenshots: build
	@tools/install-deps.sh --capture
	tools/capture-screenshots.sh $(BUILD)/zarv docs

# The icon's PNG sizes, rendered from data/icons/zarv.svg.
icons:
	@tools/install-deps.sh --capture
	tools/make-icons.sh

clean:
	rm -rf $(BUILD) $(BUILD)-sanitize build-windows build-web build-arm64
