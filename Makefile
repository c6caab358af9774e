# The README's two commands. Each first installs what a fresh Debian 12
# machine lacks, then configures, builds and runs.
.PHONY: all deps demo test bench fuzz native win32 asan format

JOBS ?= 2
FUZZ_SECONDS ?= 60

all: test

deps:
	@bash tools/install-deps.sh

native: deps
	@cmake --preset native >/dev/null
	@cmake --build --preset native -j$(JOBS)

win32: deps
	@cmake --preset win32 >/dev/null
	@cmake --build --preset win32 -j$(JOBS)

asan: deps
	@cmake --preset native-asan >/dev/null
	@cmake --build --preset native-asan -j$(JOBS)

test: native win32 asan
	@FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) bash tools/run-tests.sh

demo: native win32
	@bash tools/demo.sh

bench: deps
	@cmake --preset native-release >/dev/null
	@cmake --build --preset native-release -j$(JOBS)
	@bash bench/run.sh build/native-release
	@bash bench/encode.sh build/native-release

fuzz: deps
	@bash tests/fuzz/run_fuzzers.sh $(FUZZ_SECONDS)

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')
