# Two commands for a new machine: `make demo` and `make test`.
JOBS ?= $(shell nproc)
PRESETS := native native32 win64 win32

.PHONY: all demo test build deps $(PRESETS) sanitize fuzz fuzz-build bench boot-code clean

all: build

deps:
	@scripts/install-deps.sh

$(PRESETS): deps
	@cmake --preset $@ >/dev/null
	@cmake --build --preset $@ -j $(JOBS)

build: $(PRESETS)

sanitize: deps
	@cmake --preset sanitize >/dev/null
	@cmake --build --preset sanitize -j $(JOBS)

# The libFuzzer targets (clang), built where clang's fuzzer runtime is
# installed; `make fuzz` runs each for FUZZ_SECONDS (FUZZ_TARGETS: some).
FUZZ_SECONDS ?= 600
FUZZ_TARGETS ?=
fuzz-build: deps
	@if scripts/fuzz.sh --available; then \
	  cmake --preset fuzz >/dev/null && cmake --build --preset fuzz -j $(JOBS); \
	else echo "fuzz-build: no clang++-14 with its fuzzer runtime; the fuzz tests will be skipped"; fi

fuzz: fuzz-build
	@scripts/fuzz.sh --seconds $(FUZZ_SECONDS) $(FUZZ_TARGETS)

demo: native
	@scripts/demo.sh build/native/partam

test: build sanitize fuzz-build
	ctest --preset native -j $(JOBS)
	ctest --preset native32 -j $(JOBS)
	ctest --preset sanitize -j $(JOBS)

# Benchmarks against dd and cp on the same images (not part of make test).
bench: native
	@scripts/bench.sh build/native/partam

# The boot code arrays, assembled anew from src/backup/boot_code/*.asm.
boot-code: deps
	@scripts/boot-code.sh

clean:
	rm -rf build
