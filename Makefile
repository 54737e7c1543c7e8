# make run   installs what is missing, builds, and converts the bundled example form
# make test  installs what is missing, builds, and runs every test
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test sanitize format format-check pot clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@examples/run $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	@cmake -S . -B build-asan -DCHKIMPORT_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build build-asan -j $(JOBS)
	@cd build-asan && ctest --output-on-failure -j $(JOBS)

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

format-check:
	@clang-format --dry-run -Werror $$(git ls-files '*.cpp' '*.h')

# Refreshes the shipped translation template from the sources.
pot: build
	@cp $(BUILD)/chkimport.pot languages/chkimport.pot

clean:
	@rm -rf $(BUILD) build-asan
