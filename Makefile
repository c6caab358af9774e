# The README's commands. Each first installs what a fresh Debian 12 machine
# lacks, then configures, builds and runs. The package, the zip and an
# install need only the build set of tools/install-deps.sh; test, demo,
# pictures, bench and fuzz install the test set (all of it), which their
# prerequisites inherit.
.PHONY: all deps demo test bench fuzz native win32 asan release install deb dist format pictures

JOBS ?= 2
FUZZ_SECONDS ?= 60
PREFIX ?= /usr/local
DEPS = build
test demo pictures bench fuzz: DEPS = test

all: test

deps:
	@bash tools/install-deps.sh $(DEPS)

native: deps
	@cmake --preset native >/dev/null
	@cmake --build --preset native -j$(JOBS)

win32: deps
	@cmake --preset win32 >/dev/null
	@cmake --build --preset win32 -j$(JOBS)

asan: deps
	@cmake --preset native-asan >/dev/null
	@cmake --build --preset native-asan -j$(JOBS)

# The optimised build: what users run, install and get in the packages.
release: deps
	@cmake --preset native-release >/dev/null
	@cmake --build --preset native-release -j$(JOBS)

install: release win32
	@cmake --install build/native-release --prefix "$(PREFIX)" --strip

# build/packages/lzhsfx_VERSION_ARCH.deb, and lzhsfx-VERSION-win32.zip.
deb: release win32
	@cd build/native-release && cpack -B ../packages
dist: win32
	@cd build/win32 && cpack -B ../packages

test: deps native win32 asan deb dist
	@FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) bash tools/run-tests.sh

# Without a display the demo's pictures go to build/demo/; the tracked ones
# in docs/ change only with make pictures.
demo: deps release win32
	@bash tools/demo.sh

# Every picture in docs/: the README's two with a Western font, and the
# dialog at 96, 120, 144 and 192 DPI as on a Japanese system, with which
# texts a Western system's substitute font cuts.
pictures: deps release win32
	@LZH_PICTURES=docs bash tools/demo.sh
	@bash tools/dpi-pictures.sh

bench: deps release win32
	@bash bench/program_size.sh build/win32/lzhsfx-stub.exe
	@bash bench/run.sh build/native-release
	@bash bench/encode.sh build/native-release

fuzz: deps
	@bash tests/fuzz/run_fuzzers.sh $(FUZZ_SECONDS)

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')
