# Two commands: 'make run' builds and starts the demo, 'make test' builds and
# runs every test. Both first install what is missing (Debian packages).

BUILD ?= build
WERROR ?= OFF
CMAKE_ARGS = -DZARV_WERROR=$(WERROR)

.PHONY: all run test soak build configure deps test-deps screenshots clean

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

test: test-deps configure
	@cmake --build $(BUILD) --parallel
	cd $(BUILD) && ctest --output-on-failure
	@# The unit and renderer tests once more under AddressSanitizer and UBSan.
	@cmake -S . -B $(BUILD)-sanitize $(CMAKE_ARGS) -DZARV_SANITIZE=ON >/dev/null
	@cmake --build $(BUILD)-sanitize --parallel --target field_tests frame_logic_tests render_tests
	cd $(BUILD)-sanitize && ctest --output-on-failure -L unit

# Ten minutes of the input storm, with the resident memory at start and end.
soak: test-deps configure
	@cmake --build $(BUILD) --parallel --target storm_tests
	ZARV_STORM_SECONDS=600 $(BUILD)/tests/storm_tests

screenshots: build
	@tools/install-deps.sh --capture
	tools/capture-screenshots.sh $(BUILD)/zarv docs

clean:
	rm -rf $(BUILD) $(BUILD)-sanitize
