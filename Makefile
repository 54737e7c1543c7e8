# make run   installs what is missing, builds, and converts the bundled example form
# make test  installs what is missing, builds, and runs every test
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

SECONDS ?= 60
FUZZ_TARGETS = extract_words import_pass
# Each run makes a fresh view database: in memory, file syncs cost nothing.
FUZZ_TMPDIR ?= $(if $(wildcard /dev/shm),/dev/shm,/tmp)

.PHONY: all deps configure build run test sanitize sanitize-thread fuzz fuzz-build format format-check pot clean

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

# The test suite under ThreadSanitizer, without the Qt dialogs, and without
# the Python module, the installed library and the README's commands (which
# use both: an instrumented library cannot be loaded into a program that is
# not).
sanitize-thread: deps
	@cmake -S . -B build-tsan -DCHKIMPORT_SANITIZE_THREAD=ON -DCHKIMPORT_GUI=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build build-tsan -j $(JOBS)
	@cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS) -E '^(python|install|readme)$$'

# Each libFuzzer target for $(SECONDS) seconds, in build-fuzz/ (clang, no Qt).
# New inputs go to build-fuzz/corpus/TARGET; the seeds in fuzz/corpus stay as
# they are. A crash leaves its input in build-fuzz/ and fails the target. An
# input may run a minute under the sanitizers (a field named thousands of
# times makes its merged code grow with every naming): only an input that runs
# ten minutes counts as a hang.
fuzz-build: deps
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCHKIMPORT_FUZZ=ON -DCHKIMPORT_SANITIZE=ON \
	  -DCHKIMPORT_GUI=OFF -DCHKIMPORT_TESTS=OFF -DCHKIMPORT_BENCH=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))

fuzz: fuzz-build
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p build-fuzz/corpus/$$t; \
	  echo "fuzz: $$t for $(SECONDS) s (log in build-fuzz/$$t.log)"; \
	  TMPDIR=$(FUZZ_TMPDIR) build-fuzz/fuzz/fuzz_$$t build-fuzz/corpus/$$t fuzz/corpus/$$t -max_total_time=$(SECONDS) \
	    -timeout=600 -rss_limit_mb=8192 -max_len=16384 -print_final_stats=1 \
	    -artifact_prefix=build-fuzz/$$t- >build-fuzz/$$t.log 2>&1 \
	    || { tail -n 60 build-fuzz/$$t.log; exit 1; }; \
	  grep -E '^stat::(number_of_executed_units|peak_rss_mb)|^Done' build-fuzz/$$t.log; \
	done

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

format-check:
	@clang-format --dry-run -Werror $$(git ls-files '*.cpp' '*.h')

# Refreshes the shipped translation template from the sources.
pot: build
	@cp $(BUILD)/chkimport.pot languages/chkimport.pot

clean:
	@rm -rf $(BUILD) build-asan build-fuzz
