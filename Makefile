# The front door to building, testing and checking the module: `make help` lists every target.
#
# The targets in REFENV_TARGETS run in the reference environment (tools/refenv): called from
# outside it, make enters it and runs the same target there (IN_REFENV=1); in-TARGET runs
# TARGET where make already runs, without entering it again.  The others run here and enter
# the reference environment themselves where they need it.
PYTHON ?= python3
BUILD ?= build/ref
SHAPES := src/ralo_ui/fast/shapes
# The variables their recipes take from the caller, given on make's command line or in the
# environment: the reference environment starts from an empty environment.
PASSED := $(foreach v,BUILD FUZZ_SCALE,$(if $(filter command line environment,$(origin $(v))),$(v)=$($(v))))
REFENV_TARGETS := build test test-baseline demo bench bench-readme bench-instructions \
                  bench-instructions-check bench-instructions-update sanitize coverage fuzz format \
                  check check-format check-portable check-baseline-isa check-raster-core \
                  check-free-threaded check-aarch64 check-cross

.DEFAULT_GOAL := help
.PHONY: help ci test-aarch64 wheels check-workflows $(REFENV_TARGETS)
# Every target builds into or reads the same build folders: one at a time.
.NOTPARALLEL:

help: ## this list
	@awk -F ':.*## ' '/^[a-z%][a-z0-9%-]*:.*## / { sub(/%/, "TARGET", $$1); printf "%-27s%s\n", $$1, $$2 }' \
	    $(firstword $(MAKEFILE_LIST))

ifndef IN_REFENV
$(REFENV_TARGETS):
	tools/refenv $(MAKE) --no-print-directory IN_REFENV=1 $(PASSED) $@
else
# --- building and trying ------------------------------------------------------------------

# CMakePresets.json: release; the module is copied next to its sources, so that tests import
# it from src/.
build: ## builds both extension modules into build/ref and copies them next to their sources
	cmake --preset release -B $(BUILD) -DPython_EXECUTABLE=$$(command -v $(PYTHON)) >/dev/null
	cmake --build $(BUILD)
	cp $(BUILD)/fast_shapes*.so $(BUILD)/draw*.so $(SHAPES)/

demo: build ## renders the shape gallery to build/gallery.png
	PYTHONPATH=src $(PYTHON) examples/gallery.py

# --- the suite ----------------------------------------------------------------------------

# pyright, for the typing test, from a side environment (tools/venv).
test: build ## the whole suite on the processor's kernels
	PATH="$$(dirname "$$(tools/venv pyright)"):$$PATH" PYTHONPATH=src $(PYTHON) -m pytest -q -p no:cacheprovider

# What runs on processors without AVX2: the same build, switched by RALO_UI_KERNELS.
test-baseline: ## the whole suite again on the baseline (non-AVX2) kernels
	RALO_UI_KERNELS=baseline $(MAKE) --no-print-directory test

sanitize: ## the whole suite under address and undefined-behaviour sanitizers
	tools/sanitize

coverage: ## line and branch coverage: the suite on both kernel tables, the fuzz seeds
	tools/coverage

fuzz: ## the raster kernels' fuzz harnesses, a minute (FUZZ_SCALE=N: N times longer)
	fuzz/run $(FUZZ_SCALE)

# --- the quick local checks ---------------------------------------------------------------

check: check-format check-portable check-baseline-isa check-raster-core test test-baseline ## the quick checks: format, portability, baseline ISA, raster core, test, test-baseline

format: ## formats every C++ source with clang-format (tools/format)
	tools/format

check-format: ## fails on C++ sources clang-format would change
	tools/format --check

check-portable: ## only raster/portable.* spell anything compiler- or OS-specific
	tools/check-portable

check-baseline-isa: build ## only the AVX2 units hold AVX instructions, in the release build
	tools/check-baseline-isa

check-raster-core: ## the raster core compiles with no Python or numpy include path
	tools/check-raster-core

check-free-threaded: ## every source compiles for the free-threaded interpreter
	tools/check-free-threaded

check-aarch64: ## every source compiles for aarch64 with Debian's cross compiler
	tools/check-aarch64

check-cross: ## the extension cross-built for macOS, Windows and musl Linux (zig's clang)
	tools/check-cross

# --- performance --------------------------------------------------------------------------

# The peers' environments (tools/venv): skia-python beside this interpreter's packages, and
# pygame-ce in one of its own for the pygame-ce column.
bench: build ## times every call against its floor and peers, into build/bench.json
	PYTHONPATH=src RALO_UI_BENCH_CE_PYTHON=$$(tools/venv ce) $$(tools/venv skia) bench/bench.py --json build/bench.json

bench-readme: ## rewrites the README's figures from build/bench.json and the budget
	PYTHONPATH=src $(PYTHON) bench/readme.py build/bench.json

# Instructions per call of small calls under callgrind: builds compare without timing noise.
bench-instructions: build ## counts instructions per call of a fixed set of calls (callgrind)
	PYTHONPATH=src $(PYTHON) bench/bench.py --instructions

bench-instructions-check: build ## fails when a call costs 2% over its figure in bench/instructions.json
	PYTHONPATH=src $(PYTHON) bench/bench.py --instructions --check

bench-instructions-update: build ## rewrites bench/instructions.json from this build, on purpose
	PYTHONPATH=src $(PYTHON) bench/bench.py --instructions --update
endif

in-%: ## TARGET where make runs, not entering the reference environment again
	$(MAKE) --no-print-directory IN_REFENV=1 $*

# --- outside the reference environment ------------------------------------------------------

test-aarch64: ## the whole suite on aarch64 under qemu-user (cross-compiled; 25 min)
	tools/test-aarch64

wheels: ## one wheel per supported CPython found here into dist/
	tools/build-wheels

check-workflows: ## lints the release workflow, checks its wheel matrix
	tools/check-workflows

ci: ## every step CI runs, in its order (.ci/run)
	.ci/run
