# Every public target runs in the reference environment (tools/refenv); the
# in-* targets are what runs inside it.
PYTHON ?= python3
BASELINE ?= OFF
BUILD ?= $(if $(filter ON,$(BASELINE)),build/baseline,build/ref)
SHAPES := src/ralo_ui/fast/shapes

.PHONY: demo test test-baseline test-arm64 bench bench-instructions build sanitize wheels in-build in-test in-test-baseline in-demo in-bench in-bench-instructions in-sanitize coverage fuzz

demo:
	tools/refenv $(MAKE) --no-print-directory in-demo
test:
	tools/refenv $(MAKE) --no-print-directory in-test
# The suite again on the baseline kernels (what runs on processors without AVX2).
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

# Builds the extension in place next to its sources, so tests import it from src/.
in-build:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DPython_EXECUTABLE=$$(command -v $(PYTHON)) \
	      -DRALO_UI_BASELINE_KERNELS=$(BASELINE) -DRALO_UI_WERROR=ON >/dev/null
	cmake --build $(BUILD)
	cp $(BUILD)/fast_shapes*.so $(SHAPES)/

in-test: in-build
	PYTHONPATH=src $(PYTHON) -m pytest -q -p no:cacheprovider

in-test-baseline:
	$(MAKE) --no-print-directory in-test BASELINE=ON

in-demo: in-build
	PYTHONPATH=src $(PYTHON) examples/gallery.py

in-bench: in-build
	PYTHONPATH=src $(PYTHON) bench/bench.py

in-bench-instructions: in-build
	PYTHONPATH=src $(PYTHON) bench/bench.py --instructions

# The whole suite against a build with address and undefined-behaviour sanitizers.
in-sanitize:
	tools/sanitize
