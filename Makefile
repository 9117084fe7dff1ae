# Every public target runs in the reference environment (tools/refenv); the
# in-* targets are what runs inside it.
PYTHON ?= python3
BUILD ?= build/ref
SHAPES := src/ralo_ui/fast/shapes

.PHONY: demo test bench build sanitize in-build in-test in-demo in-bench in-sanitize

demo:
	tools/refenv $(MAKE) --no-print-directory in-demo
test:
	tools/refenv $(MAKE) --no-print-directory in-test
bench:
	tools/refenv $(MAKE) --no-print-directory in-bench
build:
	tools/refenv $(MAKE) --no-print-directory in-build
sanitize:
	tools/refenv $(MAKE) --no-print-directory in-sanitize

# Builds the extension in place next to its sources, so tests import it from src/.
in-build:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DPython_EXECUTABLE=$$(command -v $(PYTHON)) >/dev/null
	cmake --build $(BUILD)
	cp $(BUILD)/fast_shapes*.so $(SHAPES)/

in-test: in-build
	PYTHONPATH=src $(PYTHON) -m pytest -q -p no:cacheprovider

in-demo: in-build
	PYTHONPATH=src $(PYTHON) examples/gallery.py

in-bench: in-build
	PYTHONPATH=src $(PYTHON) bench/bench.py

# The whole suite against a build with address and undefined-behaviour sanitizers.
in-sanitize:
	tools/sanitize
