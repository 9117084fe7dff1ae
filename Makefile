# Every public target runs in the reference environment (tools/refenv); the
# in-* targets are what runs inside it.
PYTHON ?= python3
BUILD ?= build/ref
SHAPES := src/ralo_ui/fast/shapes

.PHONY: demo test test-baseline test-arm64 bench bench-instructions bench-instructions-check bench-instructions-update bench-readme build sanitize wheels in-build in-test in-test-baseline in-demo in-bench in-bench-instructions in-bench-instructions-check in-bench-instructions-update in-bench-readme in-sanitize coverage fuzz

demo:
	tools/refenv $(MAKE) --no-print-directory in-demo
test:
	tools/refenv $(MAKE) --no-print-directory in-test
# The suite again on the baseline kernels (what runs on processors without AVX2): the same
# build, switched to them by RALO_UI_KERNELS.
test-baseline:
	tools/refenv $(MAKE) --no-print-directory in-test-baseline
# The suite on aarch64 under qemu-user, the extension cross-compiled here (tools/test-arm64).
test-arm64:
	tools/test-arm64
bench:
	tools/refenv $(MAKE) --no-print-directory in-bench
# Instructions per call of small calls under callgrind: builds compare without timing noise.
bench-instructions:
	tools/refenv $(MAKE) --no-print-directory in-bench-instructions
# The instruction budget: fails when a call costs more than 2% over its figure in
# bench/instructions.json; -update rewrites that table from this build, on purpose.
bench-instructions-check:
	tools/refenv $(MAKE) --no-print-directory in-bench-instructions-check
bench-instructions-update:
	tools/refenv $(MAKE) --no-print-directory in-bench-instructions-update
# Rewrites the README's performance figures from the last make bench and bench/instructions.json.
bench-readme:
	tools/refenv $(MAKE) --no-print-directory in-bench-readme
build:
	tools/refenv $(MAKE) --no-print-directory in-build
sanitize:
	tools/refenv $(MAKE) --no-print-directory in-sanitize
# One wheel per supported CPython found here (3.14 from the reference root) into dist/.
wheels:
	tools/build-wheels
# Line and branch coverage of the suite on both kernel paths and of the fuzz corpora (tools/coverage).
coverage:
	tools/refenv tools/coverage
# The raster kernels' fuzz harnesses, about a minute in all (fuzz/run; FUZZ_SCALE=N runs N times longer).
fuzz:
	tools/refenv fuzz/run $(FUZZ_SCALE)

# Builds the extension (CMakePresets.json: release) and copies it next to its sources, so tests
# import it from src/.
in-build:
	cmake --preset release -B $(BUILD) -DPython_EXECUTABLE=$$(command -v $(PYTHON)) >/dev/null
	cmake --build $(BUILD)
	cp $(BUILD)/fast_shapes*.so $(BUILD)/draw*.so $(SHAPES)/

in-test: in-build
	PYTHONPATH=src $(PYTHON) -m pytest -q -p no:cacheprovider

in-test-baseline:
	RALO_UI_KERNELS=baseline $(MAKE) --no-print-directory in-test

in-demo: in-build
	PYTHONPATH=src $(PYTHON) examples/gallery.py

# The peers' environments (tools/bench-peers): skia-python beside this interpreter's packages,
# and pygame-ce in one of its own for the pygame-ce column.
in-bench: in-build
	PYTHONPATH=src RALO_UI_BENCH_CE_PYTHON=$$(tools/bench-peers ce) $$(tools/bench-peers skia) bench/bench.py --json build/bench.json

# The README's performance figures from the last make bench (build/bench.json) and the budget.
in-bench-readme:
	PYTHONPATH=src $(PYTHON) bench/readme.py build/bench.json

in-bench-instructions: in-build
	PYTHONPATH=src $(PYTHON) bench/bench.py --instructions

in-bench-instructions-check: in-build
	PYTHONPATH=src $(PYTHON) bench/bench.py --instructions --check

in-bench-instructions-update: in-build
	PYTHONPATH=src $(PYTHON) bench/bench.py --instructions --update

# The whole suite against a build with address and undefined-behaviour sanitizers.
in-sanitize:
	tools/sanitize
