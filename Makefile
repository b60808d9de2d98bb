# Two commands: 'make run' builds and starts the demo, 'make test' builds and
# runs every test. Both first install what is missing (Debian packages).

BUILD ?= build
WERROR ?= OFF
CMAKE_ARGS = -DZARV_WERROR=$(WERROR)

.PHONY: all run test build configure deps test-deps screenshots clean

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

screenshots: build
	@tools/install-deps.sh --capture
	tools/capture-screenshots.sh $(BUILD)/zarv docs

clean:
	rm -rf $(BUILD)
