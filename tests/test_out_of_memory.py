"""Running out of memory: every function, on its success and its failure paths, the module's
start-up and a function's first error in a fresh process, with the k-th allocation failing for
k = 1, 2, ... until the call gets through.  Each outcome is a MemoryError (or an error it caused)
or the call's own result; nothing crashes, leaks or stays locked, and the call works again
afterwards."""
import gc
import os
import sys
import textwrap
import traceback

import pygame
import pytest

from models.process import run_python
from models.surfaces import filled_surface
from ralo_ui.fast.shapes import draw
from ralo_ui.fast.shapes import fast_shapes as fs

_testcapi = pytest.importorskip("_testcapi")
if not hasattr(_testcapi, "set_nomemory"):
    pytest.skip("this interpreter cannot make allocations fail", allow_module_level=True)

SIZE = (21, 13)
COLOR = (200, 40, 90, 180)
BAD = (1, 2, 300)      # the colour error: OverflowError, raised once surfaces exist
MOST_ALLOCATIONS = 3000  # far more than any call makes
THROUGH = 8            # the call's own outcome this many times in a row ends the search
ROUNDS = 3             # searches measured for leaks, after one that warms up


def interpreters_own(error):
    """The ways older interpreters report running out of memory themselves: a lock they could not
    allocate, and (before 3.14) a frame for the called lambda they could not push, raised before
    that frame exists, so before our function is reached."""
    if isinstance(error, RuntimeError) and str(error).startswith("can't allocate"):
        return True
    if sys.version_info >= (3, 14) or not isinstance(error, SystemError):
        return False
    frames = traceback.extract_tb(error.__traceback__)
    return str(error) == "error return without exception set" and frames[-1].name == "outcome"


def caused_by_memory(error):
    seen = set()
    while error is not None and id(error) not in seen:
        if isinstance(error, MemoryError) or interpreters_own(error):
            return True
        seen.add(id(error))
        error = error.__cause__ or error.__context__
    return False


def rgba_bytes(surf):
    """The surface's bytes, read inside the failure window: one allocation, where the numpy
    copies of models.surfaces would add many."""
    return pygame.image.tobytes(surf, "RGBA")


def outcome(call):
    """The result of call() and None, or (type, message) of the error it raised and the error."""
    try:
        return call(), None
    except Exception as e:
        return (type(e), str(e)), e


def exhaust(call, prepare=lambda: None, check=lambda: None):
    """Fails allocation k of call() for k = 1, 2, ... until it gets through.  `prepare` runs
    before each try (outside the failure window) and `check` after each."""
    prepare()
    wanted, _ = outcome(call)
    through = 0
    for k in range(1, MOST_ALLOCATIONS):
        prepare()
        _testcapi.set_nomemory(k - 1, k)
        try:
            got, error = outcome(call)
        finally:
            _testcapi.remove_mem_hooks()
        check()
        if got == wanted:
            through += 1
            if through == THROUGH:
                return
            continue
        through = 0
        assert error is not None, f"allocation {k}: {got!r} instead of {wanted!r}"
        assert caused_by_memory(error), f"allocation {k}: {got!r} is not from running out of memory"
    pytest.fail(f"the call never got through in {MOST_ALLOCATIONS} allocations")


def in_place(function, *args):
    """A call on one surface, restored before each try, and the surface's pixels as its result."""
    surf = filled_surface(*SIZE, (10, 20, 30, 255))

    def prepare():
        surf.fill((10, 20, 30, 255))

    def call():
        function(surf, *args)
        return rgba_bytes(surf)

    def check():
        assert not surf.get_locked()

    return call, prepare, check


def cached(front_end, *args):
    """A front end's call with its cache emptied before each try."""
    wrapper = {fs.create_rounded_rect_surface: fs._get_cached_rounded_rect_surface,
               fs.create_outlined_rounded_rect_sdf: fs._get_cached_outlined_rounded_rect_sdf,
               draw.create_shadow_surface: draw._get_cached_shadow_surface}[front_end]
    return lambda: rgba_bytes(front_end(*args)), wrapper.cache_clear


CALLS = {
    "filled": (lambda: rgba_bytes(fs._create_rounded_rect_surface_optimized(SIZE, 5, COLOR)),),
    "filled, bad colour": (lambda: fs._create_rounded_rect_surface_optimized(SIZE, 5, BAD),),
    "filled, transparent": (lambda: rgba_bytes(fs._create_rounded_rect_surface_optimized(SIZE, 5, (1, 2, 3, 0))),),
    "outlined": (lambda: rgba_bytes(fs._create_outlined_rounded_rect_sdf(SIZE, 5, 2.5, COLOR)),),
    "outlined, bad colour": (lambda: fs._create_outlined_rounded_rect_sdf(SIZE, 5, 2.5, BAD),),
    "outlined, bad size": (lambda: fs._create_outlined_rounded_rect_sdf((1,), 5, 2.5, COLOR),),
    "round": in_place(fs.transform_into_rounded_rect, (2, 3, 4, 5)),
    "round, colour": in_place(fs.transform_into_rounded_rect, 6, COLOR),
    "round, bad colour": in_place(fs.transform_into_rounded_rect, 6, BAD),
    "outline": in_place(fs.transform_into_outlined_rounded_rect, [3, 4, 5, 6], 2.0, COLOR),
    "outline, background": in_place(fs.transform_into_outlined_rounded_rect, 5, 2.0, COLOR, (9, 8, 7, 200)),
    "outline, bad background": in_place(fs.transform_into_outlined_rounded_rect, 5, 2.0, COLOR, BAD),
    "filled front end": cached(fs.create_rounded_rect_surface, SIZE, [4, 5, 6, 7], COLOR),
    "filled front end, bad colour": cached(fs.create_rounded_rect_surface, SIZE, 4, BAD),
    "outlined front end": cached(fs.create_outlined_rounded_rect_sdf, SIZE, 5, 1.5, COLOR),
    "outlined front end, bad width": cached(fs.create_outlined_rounded_rect_sdf, SIZE, 5, "wide", COLOR),
    "shadow": (lambda: rgba_bytes(draw._create_shadow_surface(SIZE, (2, 3, 4, 5), 3.5, COLOR, 1)),),
    "shadow, exact coverage": (lambda: rgba_bytes(draw._create_shadow_surface(SIZE, 5, 0, COLOR)),),
    "shadow, bad colour": (lambda: draw._create_shadow_surface(SIZE, 5, 2, BAD),),
    "shadow margin, bad blur": (lambda: draw.shadow_margin(-1),),
    "shadow front end": cached(draw.create_shadow_surface, SIZE, [4, 4, 4, 4], 6, COLOR),
}


@pytest.mark.parametrize("name", CALLS)
def test_every_allocation_of_a_call_may_fail(name):
    call, *hooks = CALLS[name]
    exhaust(call, *hooks)
    # Once warm, further searches leave no allocated block behind: a leak on any failure path
    # would add one per search.
    gc.collect()
    before = sys.getallocatedblocks()
    for _ in range(ROUNDS):
        exhaust(call, *hooks)
    gc.collect()
    assert sys.getallocatedblocks() - before < ROUNDS, "blocks leaked"


# What a fresh process tries with one allocation failing: `attempt()` runs in the failure window;
# `own(error)` tells its outcome without failures (an attempt that returns has it too);
# `lost(error)` an outcome that failures may leave besides MemoryErrors; `again()` is true when
# the module works afterwards.
FRESH = {
    "start-up": """
        def attempt():
            importlib.import_module(NAME)

        def own(error):
            return False

        def lost(error):
            return False

        def again():
            for name in [n for n in sys.modules if n.startswith(NAME)]:
                del sys.modules[name]
            fs = importlib.import_module(NAME)
            return fs.create_rounded_rect_surface((4, 4), (1, 1, 1, 1), (1, 2, 3))
    """,
    "the draw module's start-up": """
        DRAW = "ralo_ui.fast.shapes.draw"

        def attempt():
            importlib.import_module(DRAW)

        def own(error):
            return False

        def lost(error):
            return False

        def again():
            for name in [n for n in sys.modules if n.startswith(DRAW)]:
                del sys.modules[name]
            return importlib.import_module(DRAW).create_shadow_surface((4, 4), (1, 1, 1, 1), 2, (1, 2, 3))
    """,
    # The first error of a function makes its traceback entry's code object; an entry that
    # cannot be made is left out, and the error itself kept.
    "a function's first error": """
        import traceback
        fs = importlib.import_module(NAME)
        FUNCTION = "_create_outlined_rounded_rect_sdf"

        def attempt():
            fs._create_outlined_rounded_rect_sdf((4, 4), 1, 1.0, (1, 2, 300))

        def lost(error):
            return isinstance(error, OverflowError) and str(error) == "value too large to convert to npy_uint8"

        def own(error):
            return lost(error) and traceback.extract_tb(error.__traceback__)[-1].name == f"{NAME}.{FUNCTION}"

        def again():
            try:
                attempt()
            except OverflowError as e:
                return own(e)
    """,
}


@pytest.mark.skipif(sys.version_info < (3, 14), reason="the import machinery of older interpreters loses some "
                    "allocation failures itself (a function returning NULL without an exception)")
@pytest.mark.skipif(not hasattr(os, "fork"), reason="each try is a forked child")
@pytest.mark.parametrize("name", FRESH)
def test_every_allocation_in_a_fresh_process_may_fail(name):
    """In a process of its own: each try forks a fresh child from a parent with the module's
    dependencies loaded, so that every try starts from the same state."""
    code = f"""
        import ctypes, importlib, os, sys, _testcapi
        import functools, numpy, pygame, ralo_ui.core.modules, ralo_ui.fast.shapes
        NAME = "ralo_ui.fast.shapes.fast_shapes"

        def leave(status):
            # The C library's exit: its exit handlers run (an instrumented build writes its
            # counts there), the interpreter's slow finalisation does not.
            sys.stdout.flush()
            ctypes.CDLL(None).exit(status)

        def memory(error):
            while error is not None:
                if isinstance(error, MemoryError):
                    return True
                if isinstance(error, RuntimeError) and str(error).startswith("can't allocate"):
                    return True  # the import machinery's own word for a lock it could not make
                error = error.__cause__ or error.__context__
            return False
        {textwrap.indent(textwrap.dedent(FRESH[name]), " " * 8).strip()}

        def child(k):
            _testcapi.set_nomemory(k - 1, k)
            try:
                attempt()
            except BaseException as e:
                _testcapi.remove_mem_hooks()
                if own(e):
                    leave(0)
                if not (memory(e) or lost(e)):
                    print(k, repr(e), flush=True)
                    leave(3)
                leave(1 if again() else 4)  # and it works again
            _testcapi.remove_mem_hooks()
            leave(0)

        through = 0
        for k in range(1, {MOST_ALLOCATIONS}):
            pid = os.fork()
            if pid == 0:
                child(k)
            status = os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1])
            if status not in (0, 1):
                sys.exit(f"allocation {{k}}: the child ended with {{status}}")
            through = through + 1 if status == 0 else 0
            if through == {THROUGH}:
                print("through after", k)
                break
    """
    out = run_python(code, args=("-W", "ignore"), timeout=300)
    assert out.returncode == 0, out.stdout + out.stderr
    assert out.stdout.startswith("through after"), out.stdout
