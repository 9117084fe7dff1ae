"""No function leaks: references and traced memory stay flat over thousands of calls, on success
and on every failure path."""
import collections
import gc
import sys
import tracemalloc
import types
import warnings

import numpy as np
import pygame
import pytest

from models.arguments import IntSubclass
from models.fake_host import FakeSurface, host_registry, refcounts, registry
from models.published import DRAW_FILE, FILE, MODULE_OF, function
from ralo_ui.fast.shapes import fast_shapes as fs

CALLS = 1200        # a multiple of CYCLE
WARMUP = 50
CYCLE = 300         # distinct keys, more than a cache holds: every call misses
BYTES_PER_CALL = 4    # a leaked object of any kind costs more than this on every call

FILLED = "_create_rounded_rect_surface_optimized"
OUTLINED = "_create_outlined_rounded_rect_sdf"
ROUND = "transform_into_rounded_rect"
OUTLINE = "transform_into_outlined_rounded_rect"
CACHED_FILLED = "_get_cached_rounded_rect_surface"
FRONT_FILLED = "create_rounded_rect_surface"
CACHED_OUTLINED = "_get_cached_outlined_rounded_rect_sdf"
FRONT_OUTLINED = "create_outlined_rounded_rect_sdf"

MARGIN = "shadow_margin"
SHADOW = "_create_shadow_surface"
CACHED_SHADOW = "_get_cached_shadow_surface"
FRONT_SHADOW = "create_shadow_surface"
INTO = "rounded_rect"
SHADOW_INTO = "shadow"

TOTALS_ORDER = [FILLED, OUTLINED, ROUND, OUTLINE, CACHED_FILLED, FRONT_FILLED, CACHED_OUTLINED, FRONT_OUTLINED,
                MARGIN, SHADOW, CACHED_SHADOW, FRONT_SHADOW, INTO, SHADOW_INTO]

Color = collections.namedtuple("Colour", "r g b")
SIZE = (12, 10)
RED = (255, 0, 0)


class TupleSubclass(tuple):
    pass


class IntViaSubclass:
    """__int__ returns a strict subclass of int: a DeprecationWarning."""

    def __int__(self):
        return IntSubclass(3)


class Raising:
    def __len__(self):
        return 4

    def __getitem__(self, i):
        raise KeyError(i)


class LyingSurface(FakeSurface):
    """Its get_width() answers `width_value`, or raises it when that is an exception type."""

    def __init__(self, width_value):
        super().__init__(12, 10)
        self.width_value = width_value

    def get_width(self):
        if isinstance(self.width_value, type):
            raise self.width_value("gone")
        return self.width_value


def fail(error, *args):
    def method(surf):
        raise error(*args)  # a new exception each time: a reused one would collect tracebacks
    return method


COLOR_PLANE = np.zeros((12, 10, 3), np.uint8)
ALPHA_PLANE = np.zeros((12, 10), np.uint8)
SMALL_ALPHA = np.zeros((4, 4), np.uint8)
REAL_ALPHA = pygame.surfarray.pixels_alpha

# Registries that break the pixel views, each in its own way, and the error they cause.
VIEW_FAULTS = {
    "colour-view-raises": (lambda: registry(fail(ValueError, "no colour"), REAL_ALPHA), ValueError),
    "alpha-view-raises": (lambda: registry(pygame.surfarray.pixels3d, fail(MemoryError)), MemoryError),
    "colour-view-none": (lambda: registry(lambda s: None, REAL_ALPHA), TypeError),
    "colour-view-rank-2": (lambda: registry(lambda s: ALPHA_PLANE, REAL_ALPHA), ValueError),
    "alpha-view-too-small": (lambda: registry(lambda s: COLOR_PLANE, lambda s: SMALL_ALPHA), ValueError),
    "no-surfarray": (lambda: types.SimpleNamespace(pygame=types.SimpleNamespace(
        Surface=pygame.Surface, SRCALPHA=pygame.SRCALPHA)), AttributeError),
    "md-missing": (None, NameError),
}


SIZE_CYCLE = [(8 + i, 6) for i in range(CYCLE)]


def case(name, fn, args, kwargs=None, error=None, md=False, warn=None, cycle=False):
    """`args` may use "surf" for the surface reused across calls."""
    return pytest.param(fn, args, kwargs or {}, error, md, warn, cycle, id=f"{fn}-{name}")


def failures_of_creating(fn, middle):
    """Rows shared by the functions that make a new surface from (size, *middle, color)."""
    def args(size=SIZE, color=RED):
        return (size, *middle, color)
    rows = [
        # Sizes other than an exact pair of ints: read item by item, the surface made from a
        # size tuple of the function's own.
        case("ok-size-3-items", fn, args(size=(12, 10, 99))),
        case("ok-size-floats", fn, args(size=(12.5, 10.0))),
        case("ok-size-int-subclasses", fn, args(size=(IntSubclass(12), True))),
        case("ok-size-text", fn, args(size=("12", "10"))),
        case("size-tuple-subclass", fn, args(size=TupleSubclass(SIZE)), error=TypeError),
        case("count", fn, args()[:-1], error=TypeError),
        case("keyword-unknown", fn, args(), {"bogus": 1}, error=TypeError),
        case("keyword-twice", fn, args()[:1], {"size": SIZE}, error=TypeError),
        case("size-list", fn, args(size=[12, 10]), error=TypeError),
        case("size-none", fn, args(size=None), error=TypeError),
        case("size-short", fn, args(size=(12,)), error=IndexError),
        case("size-text", fn, args(size=("x", 10)), error=ValueError),
        case("size-overflow", fn, args(size=(2 ** 40, 10)), error=OverflowError),
        case("size-refused-by-pygame", fn, args(size=(-1, 10)), error=pygame.error),
        case("color-namedtuple", fn, args(color=Color(1, 2, 3)), error=TypeError),
        case("color-none", fn, args(color=None), error=TypeError),
        case("alpha-text", fn, args(color=(1, 2, 3, "x")), error=TypeError),
        case("alpha-overflow", fn, args(color=(1, 2, 3, 2 ** 31)), error=OverflowError),
        case("alpha-huge", fn, args(color=(1, 2, 3, 2 ** 90)), error=OverflowError),
    ]
    rows += [case(name, fn, args(), error=error, md=name) for name, (_, error) in VIEW_FAULTS.items()]
    return rows


CASES = [
    # _create_rounded_rect_surface_optimized
    case("ok", FILLED, (SIZE, 3, RED)),
    case("ok-per-corner", FILLED, (SIZE, [3, 0, 2.5, 1], (1, 2, 3, 128))),
    case("ok-transparent", FILLED, (SIZE, 3, (1, 2, 3, 0))),
    case("ok-keywords", FILLED, (), {"size": SIZE, "radii_input": 2, "color": RED}),
    # Each form of radii read its own way: a float, an int subclass, an exact 4-tuple of items
    # of any number type, any other sequence of four, and a sequence of another length.
    case("ok-radius-float", FILLED, (SIZE, 2.5, RED)),
    case("ok-radius-int-subclass", FILLED, (SIZE, IntSubclass(3), RED)),
    case("ok-radii-number-types", FILLED, (SIZE, (np.float32(3.5), 0.5, IntSubclass(2), True), RED)),
    case("ok-radii-tuple-subclass", FILLED, (SIZE, TupleSubclass((3, 0, 2, 1)), RED)),
    case("ok-radii-two", FILLED, (SIZE, (5, 5), RED)),
    case("radius-beyond-float", FILLED, (SIZE, 10 ** 400, RED), error=OverflowError),
    case("radius-float32-scalar", FILLED, (SIZE, np.float32(3), RED), error=TypeError),
    *failures_of_creating(FILLED, (3,)),
    case("radii-no-len", FILLED, (SIZE, object(), RED), error=TypeError),
    case("radii-item-text", FILLED, (SIZE, (1, 2, "x", 4), RED), error=TypeError),
    case("radii-item-raises", FILLED, (SIZE, Raising(), RED), error=KeyError),
    case("color-refused-by-fill", FILLED, (SIZE, 3, ("a", "b", "c")), error=ValueError),

    # _create_outlined_rounded_rect_sdf
    case("ok", OUTLINED, (SIZE, 3, 2.0, (1, 2, 3, 128))),
    case("ok-transparent", OUTLINED, (SIZE, 3, 2.0, (300, 0, 0, 0))),
    case("ok-radius-int-subclass-warning-ignored", OUTLINED, (SIZE, IntViaSubclass(), 2.0, RED), warn="ignore"),
    *failures_of_creating(OUTLINED, (3, 2.0)),
    case("radius-text", OUTLINED, (SIZE, "x", 2.0, RED), error=TypeError),
    case("radius-overflow", OUTLINED, (SIZE, 2 ** 31, 2.0, RED), error=OverflowError),
    case("radius-warning-as-error", OUTLINED, (SIZE, IntViaSubclass(), 2.0, RED), error=DeprecationWarning,
         warn="error"),
    case("width-text", OUTLINED, (SIZE, 3, "x", RED), error=TypeError),
    case("rgb-too-large", OUTLINED, (SIZE, 3, 2.0, (300, 0, 0)), error=OverflowError),
    case("rgb-negative", OUTLINED, (SIZE, 3, 2.0, (0, -1, 0)), error=OverflowError),
    case("rgb-text", OUTLINED, (SIZE, 3, 2.0, (0, 0, "x")), error=TypeError),

    # transform_into_rounded_rect
    case("ok-keep", ROUND, ("surf", 3)),
    case("ok-colour", ROUND, ("surf", (3, 0, 2, 1), (1, 2, 3))),
    case("ok-colour-list", ROUND, ("surf", 3, [1, 2, 3, 128])),
    case("ok-transparent", ROUND, ("surf", 3, (1, 2, 3, 0))),
    case("ok-no-corners", ROUND, ("surf", (5, 5), (1, 2, 3))),
    case("count-few", ROUND, ("surf",), error=TypeError),
    case("count-many", ROUND, ("surf", 3, None, 1), error=TypeError),
    case("keyword-unknown", ROUND, ("surf", 3), {"bogus": 1}, error=TypeError),
    case("surf-plain-object", ROUND, (object(), 3), error=AttributeError),
    case("surf-width-raises", ROUND, (LyingSurface(RuntimeError), 3), error=RuntimeError),
    case("surf-width-text", ROUND, (LyingSurface("12"), 3), error=TypeError),
    case("surf-width-overflow", ROUND, (LyingSurface(2 ** 33), 3), error=OverflowError),
    case("radii-no-len", ROUND, ("surf", object()), error=TypeError),
    case("radii-item-raises", ROUND, ("surf", Raising()), error=KeyError),
    case("color-no-len", ROUND, ("surf", 3, 5), error=TypeError),
    case("color-text", ROUND, ("surf", 3, "abc"), error=TypeError),
    case("rgb-too-large", ROUND, ("surf", 3, (300, 0, 0)), error=OverflowError),
    case("alpha-text", ROUND, ("surf", 3, (1, 2, 3, "x")), error=TypeError),
    case("surf-larger-than-views", ROUND, (FakeSurface(40, 10), 3), error=ValueError, md="alpha-view-too-small"),
    *[case(name, ROUND, ("surf", 3), error=error, md=name) for name, (_, error) in VIEW_FAULTS.items()],

    # transform_into_outlined_rounded_rect
    case("ok", OUTLINE, ("surf", 3, 2.0, RED)),
    case("ok-background", OUTLINE, ("surf", (3, 0, 2, 1), 2.5, (1, 2, 3, 128), (9, 8, 7))),
    case("ok-background-list", OUTLINE, ("surf", 3, 2.0, RED, [9, 8, 7, 100])),
    case("ok-transparent", OUTLINE, ("surf", 3, 2.0, (1, 2, 3, 0))),
    case("count-few", OUTLINE, ("surf", 3, 2.0), error=TypeError),
    case("count-many", OUTLINE, ("surf", 3, 2.0, RED, None, 1), error=TypeError),
    case("keyword-twice", OUTLINE, ("surf", 3, 2.0, RED), {"stroke_width": 1.0}, error=TypeError),
    case("width-text", OUTLINE, ("surf", 3, "x", RED), error=TypeError),
    case("color-list", OUTLINE, ("surf", 3, 2.0, [1, 2, 3]), error=TypeError),
    case("color-none", OUTLINE, ("surf", 3, 2.0, None), error=TypeError),
    case("color-short", OUTLINE, ("surf", 3, 2.0, (1, 2)), error=IndexError),
    case("rgb-negative", OUTLINE, ("surf", 3, 2.0, (-1, 2, 3)), error=OverflowError),
    case("alpha-overflow", OUTLINE, ("surf", 3, 2.0, (1, 2, 3, -2 ** 31 - 1)), error=OverflowError),
    case("background-short", OUTLINE, ("surf", 3, 2.0, RED, (1, 2)), error=IndexError),
    case("background-text", OUTLINE, ("surf", 3, 2.0, RED, (1, "x", 3)), error=TypeError),
    case("background-alpha-too-large", OUTLINE, ("surf", 3, 2.0, RED, (1, 2, 3, 256)), error=OverflowError),
    case("background-no-len", OUTLINE, ("surf", 3, 2.0, RED, 7), error=TypeError),
    case("surf-plain-object", OUTLINE, (object(), 3, 2.0, RED), error=AttributeError),
    case("surf-larger-than-views", OUTLINE, (FakeSurface(12, 30), 3, 2.0, RED), error=ValueError,
         md="alpha-view-too-small"),
    case("radii-item-text", OUTLINE, ("surf", [1, 2, 3, "x"], 2.0, RED), error=TypeError),
    *[case(name, OUTLINE, ("surf", 3, 2.0, RED), error=error, md=name) for name, (_, error) in VIEW_FAULTS.items()],

    # the memoising functions and their front ends
    case("ok-hit", CACHED_FILLED, (SIZE, (3, 3, 3, 3), RED)),
    case("ok-miss", CACHED_FILLED, ("cycle", (3, 3, 3, 3), RED), cycle=True),
    case("radii-number", CACHED_FILLED, (SIZE, 3, RED), error=TypeError),
    case("size-list-unhashable", CACHED_FILLED, ([12, 10], None, RED), error=TypeError),
    case("color-namedtuple", CACHED_FILLED, (SIZE, None, Color(1, 2, 3)), error=TypeError),
    case("color-none", CACHED_FILLED, (SIZE, None, None), error=TypeError),
    case("count", CACHED_FILLED, (SIZE, None), error=TypeError),
    case("ok-hit-list-radii", FRONT_FILLED, (SIZE, [4, 4, 4, 4], RED)),
    case("ok-miss", FRONT_FILLED, ("cycle", [4, 4, 0, 0], RED), cycle=True),
    case("radii-number", FRONT_FILLED, (SIZE, 4, RED), error=TypeError),
    case("size-list-unhashable", FRONT_FILLED, ([12, 10], (4, 4, 4, 4), RED), error=TypeError),
    case("alpha-text", FRONT_FILLED, (SIZE, [4, 4, 4, 4], (1, 2, 3, "x")), error=TypeError),
    case("views-fail", FRONT_FILLED, (SIZE, [4, 4, 4, 4], (1, 2, 3, 9)), error=ValueError,
         md="colour-view-raises"),
    case("count", FRONT_FILLED, (SIZE,), error=TypeError),
    case("ok-hit", CACHED_OUTLINED, (SIZE, 3, 2.0, RED)),
    case("ok-miss", CACHED_OUTLINED, ("cycle", 3, 2.0, RED), cycle=True),
    case("radius-text", CACHED_OUTLINED, (SIZE, "3", 2.0, RED), error=TypeError),
    case("width-text", CACHED_OUTLINED, (SIZE, 3, "2", RED), error=TypeError),
    case("color-list-unhashable", CACHED_OUTLINED, (SIZE, 3, 2.0, [1, 2, 3]), error=TypeError),
    case("rgb-too-large", CACHED_OUTLINED, (SIZE, 3, 2.0, (256, 0, 0)), error=OverflowError),
    case("ok-hit", FRONT_OUTLINED, (SIZE, 3, 2.0, RED)),
    case("ok-miss", FRONT_OUTLINED, ("cycle", 4, 1.5, RED), cycle=True),
    case("color-namedtuple", FRONT_OUTLINED, (SIZE, 3, 2.0, Color(1, 2, 3)), error=TypeError),
    case("radius-overflow", FRONT_OUTLINED, (SIZE, 2 ** 31, 2.0, RED), error=OverflowError),
    case("keyword-unknown", FRONT_OUTLINED, (SIZE, 3, 2.0, RED), {"bogus": 1}, error=TypeError),
    case("views-fail", FRONT_OUTLINED, (SIZE, 3, 2.0, (1, 2, 3, 9)), error=MemoryError, md="alpha-view-raises"),

    # the draw module's shadows
    case("ok", MARGIN, (4.5, 2)),
    case("blur-nan", MARGIN, (float("nan"),), error=ValueError),
    case("spread-text", MARGIN, (1, "x"), error=TypeError),
    case("ok", SHADOW, (SIZE, 3, 2.5, (1, 2, 3, 128))),
    case("ok-blank", SHADOW, (SIZE, 3, 2.5, RED, -20)),
    case("ok-keywords", SHADOW, (), {"size": SIZE, "radii_input": [3, 0, 2, 1], "blur": 0, "color": RED}),
    case("blur-negative", SHADOW, (SIZE, 3, -1, RED), error=ValueError),
    case("spread-infinite", SHADOW, (SIZE, 3, 1, RED, float("inf")), error=ValueError),
    case("size-negative", SHADOW, ((-3, 4), 3, 1, RED), error=ValueError),
    case("size-past-a-surface", SHADOW, (SIZE, 3, 1e9, RED), error=ValueError),
    case("size-short", SHADOW, ((12,), 3, 1, RED), error=IndexError),
    case("alpha-too-large", SHADOW, (SIZE, 3, 1, (1, 2, 3, 256)), error=OverflowError),
    case("radii-item-raises", SHADOW, (SIZE, Raising(), 1, RED), error=KeyError),
    *[case(name, SHADOW, (SIZE, 3, 1.5, RED), error=error, md=name) for name, (_, error) in VIEW_FAULTS.items()],
    case("ok-hit", CACHED_SHADOW, (SIZE, (3, 3, 3, 3), 2, RED, 0)),
    case("ok-miss", CACHED_SHADOW, ("cycle", (3, 3, 3, 3), 2, RED, 1), cycle=True),
    case("color-list-unhashable", CACHED_SHADOW, (SIZE, (3, 3, 3, 3), 2, [1, 2, 3], 0), error=TypeError),
    case("ok-hit-list-radii", FRONT_SHADOW, (SIZE, [3, 3, 3, 3], 2, RED)),
    case("ok-miss", FRONT_SHADOW, ("cycle", [3, 3, 3, 3], 1.5, RED), cycle=True),
    case("blur-negative", FRONT_SHADOW, (SIZE, [3, 3, 3, 3], -2, RED), error=ValueError),
    case("views-fail", FRONT_SHADOW, (SIZE, [3, 3, 3, 3], 2, (1, 2, 3, 9)), error=MemoryError,
         md="alpha-view-raises"),

    # drawing into a surface
    case("ok", INTO, ("surf", RED, (1.5, 2, 8, 6), 0, 3)),
    case("ok-border-translucent", INTO, ("surf", (1, 2, 3, 128), pygame.Rect(1, 2, 8, 6), 2, 3, 0, 1, 2)),
    # A Color goes through md.pygame.Color as a name does; pygame's own parsing of a name grows
    # its traced memory once, at a time of its choosing, so a name would make this case flaky.
    case("ok-color-object", INTO, ("surf", pygame.Color("white"), ((1, 2), (8, 6)))),
    case("ok-color-int", INTO, ("surf", 0x11223344, [1, 2, 8, 6])),
    case("ok-missed", INTO, ("surf", RED, (100, 2, 8, 6))),
    case("color-refused", INTO, ("surf", (1, 2), (1, 2, 8, 6)), error=ValueError),
    case("rect-refused", INTO, ("surf", RED, (1, 2, "x", 6)), error=TypeError),
    case("radius-nan", INTO, ("surf", RED, (1, 2, 8, 6), 0, float("nan")), error=ValueError),
    case("surface-none", INTO, (None, RED, (1, 2, 8, 6)), error=AttributeError),
    case("surface-16-bit", INTO, (pygame.Surface(SIZE, 0, 16), RED, (1, 2, 8, 6)), error=ValueError),
    case("ok", SHADOW_INTO, ("surf", (0, 0, 0, 90), (1.5, 2, 8, 6), 3, 1, 2)),
    case("ok-sharp", SHADOW_INTO, ("surf", RED, (1.5, 2, 8, 6), 0)),
    case("blur-negative", SHADOW_INTO, ("surf", RED, (1, 2, 8, 6), -1), error=ValueError),
    case("rect-refused", SHADOW_INTO, ("surf", RED, None, 1), error=TypeError),
]


TOTALS = {fn: [0, 0, 0, 0] for fn in TOTALS_ORDER}   # function: cases, calls, references, bytes


@pytest.fixture(scope="module")
def traced(figures):
    gc.collect()
    tracemalloc.start()
    # Every failure makes a code object for its traceback entry, named after the function; the
    # interpreter interns that name and drops it again with the code object, which makes its
    # table of interned strings resize now and then.  Holding the names keeps that table still.
    names = [sys.intern(f"{MODULE_OF[fn].__name__}.{fn}") for fn in TOTALS_ORDER] + [sys.intern(FILE),
                                                                                    sys.intern(DRAW_FILE)]
    yield names
    tracemalloc.stop()
    for fn, (cases, calls, refs, grown) in TOTALS.items():
        figures.append(f"leaks: {fn:39} {cases:3} cases, {calls:6} calls: "
                       f"references {refs:+}, traced memory at most {grown:+} B per case")


def watched_objects(*roots):
    """The roots, the items of any tuple, list or dict among them, and their items in turn."""
    seen, out, todo = set(), [], list(roots)
    while todo:
        o = todo.pop()
        if id(o) in seen:
            continue
        seen.add(id(o))
        out.append(o)
        if isinstance(o, (tuple, list)):
            todo.extend(o)
        elif isinstance(o, dict):
            todo.extend(o.values())
    return out


def repeat(call, catch, times):
    for i in range(times):
        try:
            call(i)
        except catch:
            pass


@pytest.mark.parametrize("fn, args, kwargs, error, md, warn, cycle", CASES)
def test_no_growth(traced, fn, args, kwargs, error, md, warn, cycle):
    surf = pygame.Surface(SIZE, pygame.SRCALPHA)
    surf.fill((10, 20, 30, 200))
    if md:
        make = VIEW_FAULTS[md][0]
        with host_registry(make and make(), MODULE_OF[fn]):
            run_case(surf, fn, args, kwargs, error, md, warn, cycle)
    else:
        run_case(surf, fn, args, kwargs, error, md, warn, cycle)
    assert not surf.get_locked()


def run_case(surf, fn, args, kwargs, error, md, warn, cycle):
    args = tuple(surf if a == "surf" else a for a in args)
    f = function(fn)
    if cycle:
        function(fn if fn.startswith("_") else fn.replace("create_", "_get_cached_", 1)).cache_clear()
        calls = [(size, *args[1:]) for size in SIZE_CYCLE]

        def call(i):
            return f(*calls[i % CYCLE])
    else:
        def call(i):
            return f(*args, **kwargs)

    catch = error or ()
    with warnings.catch_warnings():
        warnings.simplefilter(warn or "error")
        # Once, to see that the case does what it says.
        try:
            result = call(0)
        except NotImplementedError as e:
            if error is NotImplementedError:
                raise
            pytest.skip(f"{fn} is not built yet: {e}")
        except catch:
            result = None
        else:
            assert error is None, f"{fn} succeeded, {error.__name__} was expected"
        if isinstance(result, pygame.Surface):
            assert not result.get_locked()
        del result

        module = MODULE_OF[fn]
        watched = watched_objects(f, surf, module.md if md != "md-missing" else None, pygame, args, kwargs,
                                  SIZE_CYCLE if cycle else None, COLOR_PLANE, ALPHA_PLANE, SMALL_ALPHA)
        # The collector stays off: a call that left cyclic garbage behind would show as growth.
        gc.disable()
        try:
            repeat(call, catch, 2 * CYCLE if cycle else WARMUP)  # a cache's table settles in two cycles
            refs_before = refcounts(watched)
            mem_before = tracemalloc.get_traced_memory()[0]
            repeat(call, catch, CALLS)
            mem_growth = tracemalloc.get_traced_memory()[0] - mem_before
            refs_after = refcounts(watched)
        finally:
            gc.enable()

    grown = [(repr(o)[:60], b, a) for o, b, a in zip(watched, refs_before, refs_after) if a != b]
    totals = TOTALS[fn]
    totals[0] += 1
    totals[1] += CALLS
    totals[2] += sum(a - b for _, b, a in grown)
    totals[3] = max(totals[3], mem_growth)
    assert not grown, f"references grew over {CALLS} calls: {grown}"
    assert mem_growth <= BYTES_PER_CALL * CALLS, f"traced memory grew by {mem_growth} B over {CALLS} calls"
