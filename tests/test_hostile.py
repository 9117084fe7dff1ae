"""Hostile input at every parameter, and hostile pixel arrays behind `md`: only Python
exceptions come out, and no surface stays locked or keeps an array exported.  Each outcome is
checked: an exception must be of a type the function raises for bad arguments, views or
pygame calls, or one that the hostile objects themselves raise; a call whose arguments are all
plain numbers and tuples on pygame's own views must give the models' pixels, bit for bit."""
import collections
import math
import os
import types
import warnings

import numpy as np
import pygame
import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import models.corners as cm
from models.fake_host import FakeSurface, host_registry, refcounts, registry
from models.outlined import assert_outlined
from models.outlined_in_place import assert_same
from models.surfaces import pixels, planes
from ralo_ui.fast.shapes import fast_shapes as fs

# A fixed, moderate run by default; HOSTILE_EXAMPLES=N asks for a longer, random one.
EXAMPLES = int(os.environ.get("HOSTILE_EXAMPLES", 200))
SETTINGS = settings(max_examples=EXAMPLES, deadline=None, database=None,
                    derandomize="HOSTILE_EXAMPLES" not in os.environ,
                    suppress_health_check=[HealthCheck.too_slow, HealthCheck.data_too_large])
ERRORS = [ValueError, TypeError, OverflowError, IndexError, KeyError, ZeroDivisionError, MemoryError,
          RecursionError, pygame.error]
# What the functions raise themselves for bad arguments (binding, conversions, tuple checks,
# indexing, len()), for refused views, and what pygame raises for a size or colour it refuses.
DESCRIBED = (TypeError, ValueError, OverflowError, IndexError, pygame.error)


class IntSub(int):
    """An int subclass whose __int__ answers another value (which int() uses, the integer
    conversion does not)."""

    def __int__(self):
        return 2 ** 40

    __index__ = __int__


class FloatSub(float):
    def __int__(self):
        return 2 ** 40


class Odd:
    """__int__ and __float__ answer `result`, or raise it when it is an exception type."""

    def __init__(self, result):
        self.result = result

    def _answer(self):
        if isinstance(self.result, type):
            raise self.result("odd")
        return self.result

    __int__ = __float__ = _answer

    def __repr__(self):
        return f"Odd({self.result!r})"


SHARED = pygame.Surface((9, 7), pygame.SRCALPHA)


class Reentrant:
    """Its conversions call the module again, on a surface the outer call may be drawing on
    (its views held), and rebind `md` on the way."""

    def __init__(self, value):
        self.value = value

    def __int__(self):
        fs.transform_into_outlined_rounded_rect(SHARED, 2, 1.5, (1, 2, 3), (4, 5, 6, 7))
        fs.transform_into_rounded_rect(SHARED, (2, 0, 1, 3), (7, 8, 9))
        fs.md = fs.md
        return self.value

    def __float__(self):
        return float(self.__int__())

    def __repr__(self):
        return f"Reentrant({self.value!r})"


class Sequence:
    """len() and indexing that lie or raise."""

    def __init__(self, length, items, fail_at):
        self.length, self.items, self.fail_at = length, items, fail_at

    def __len__(self):
        if isinstance(self.length, type):
            raise self.length("len")
        return self.length

    def __getitem__(self, i):
        if i == self.fail_at:
            raise IndexError(i)
        return self.items[i % len(self.items)] if self.items else i

    def __repr__(self):
        return f"Sequence({self.length!r}, {self.items!r}, {self.fail_at!r})"


raising = st.sampled_from(ERRORS)
# Integers whose conversions fail or saturate, but never a size a surface could really take.
big_ints = st.sampled_from([2 ** 31, -2 ** 31 - 1, 2 ** 32, 2 ** 60, -2 ** 60, 2 ** 63, 2 ** 64, -2 ** 64,
                            2 ** 100, -2 ** 100])
edge_floats = st.sampled_from([math.nan, -math.nan, math.inf, -math.inf, 1e300, -1e300, 2.0 ** 31, -2.0 ** 31 - 1,
                               3.4e38, 5e-324, -0.0])
others = st.sampled_from([None, "12", "x", "", b"7", bytearray(b"12"), 3 + 4j, object(), type, print, ..., [], {}])


def numbers(ints):
    odd_results = st.one_of(ints, big_ints, edge_floats, raising, st.builds(IntSub, ints),
                            st.builds(FloatSub, st.floats(-10, 300)), st.sampled_from(["3", None, 2.5]))
    return st.one_of(ints, big_ints, st.builds(IntSub, ints), st.booleans(), st.floats(-10, 300), edge_floats,
                     st.builds(FloatSub, st.floats(-10, 300) | edge_floats), st.builds(Odd, odd_results),
                     st.builds(Reentrant, ints), others)


def sequences(items, max_size=6):
    lying = st.builds(Sequence, st.integers(-3, 8) | big_ints | raising, st.lists(items, max_size=4),
                      st.integers(-1, 5))
    return st.one_of(st.tuples(*[items] * 3), st.tuples(*[items] * 4), st.lists(items, max_size=max_size).map(tuple),
                     st.lists(items, max_size=max_size), lying)


def mostly(plausible, hostile):
    """Three in four draws plausible, so that calls get past their checks to the pixels."""
    return st.sampled_from([plausible] * 3 + [hostile]).flatmap(lambda strategy: strategy)


size_items = numbers(st.integers(-3, 40))      # small enough that any surface made is small
color_items = numbers(st.integers(-2, 300))
anything = numbers(st.integers(-2 ** 40, 2 ** 40))
side = st.integers(0, 24)
byte = st.integers(0, 255)
any_float = st.floats(allow_nan=True, allow_infinity=True)
alpha = st.one_of(byte, st.integers(-2 ** 31, 2 ** 31 - 1))
sizes = mostly(st.tuples(side, side), st.one_of(sequences(size_items).filter(lambda s: not isinstance(s, list)),
                                                size_items))
colors = mostly(st.tuples(byte, byte, byte) | st.tuples(byte, byte, byte, alpha),
                 st.one_of(sequences(color_items), color_items))
radii = mostly(st.one_of(st.floats(-3, 30), st.integers(-3, 30), any_float, st.tuples(*[any_float] * 4),
                         st.lists(st.floats(-3, 30), min_size=4, max_size=4)),
               st.one_of(anything, sequences(anything)))
radius = mostly(st.integers(-3, 30) | st.integers(-2 ** 31, 2 ** 31 - 1), anything)
stroke = mostly(st.floats(-2, 12) | any_float, anything)


@st.composite
def arrays(draw, rank, w, h):
    """Mostly a buffer that could fit a w x h surface; often not quite."""
    ndim = draw(st.sampled_from([rank] * 16 + [0, 1, 2, 3, 4]))
    slack = st.sampled_from([0, 0, 0, 1, 2, -1, -2])
    near = [max(0, w) + draw(slack), max(0, h) + draw(slack), draw(st.sampled_from([3] * 8 + [0, 1, 2, 4])), 2]
    shape = [max(0, min(n, 30)) for n in near[:ndim]]
    dtype = draw(st.sampled_from(["u1"] * 30 + ["i1", "<u2", ">u2", "?", "f4", "S1"]))
    a = np.zeros(shape, dtype)
    for axis in range(ndim):
        if draw(st.integers(0, 3)) == 0:
            a = np.flip(a, axis)
    if ndim >= 2 and draw(st.integers(0, 3)) == 0:
        a = np.swapaxes(a, 0, 1)
    if ndim >= 1 and draw(st.integers(0, 3)) == 0:
        a = np.repeat(a, 2, axis=0)[::2]
    if draw(st.integers(0, 19)) == 0:
        a.flags.writeable = False
    return a


def pixel_source(data, rank, w, h):
    kind = data.draw(st.sampled_from(["array"] * 20 + ["none", "raise", "bytes", "bytearray", "list"]))
    if kind == "array":
        return data.draw(arrays(rank, w, h))
    return {"none": None, "raise": RuntimeError, "bytes": b"\0" * 64, "bytearray": bytearray(64),
            "list": [[0] * 3] * 4}[kind]


def surfarray_function(source):
    if isinstance(source, type):
        def raising_call(surf):
            raise source("surfarray")
        return raising_call
    return lambda surf: source


def fake_md(data, w, h):
    """None (pygame's own views) or a registry handing out odd buffers."""
    if not data.draw(st.booleans(), label="fake md"):
        return None, []
    sources = [pixel_source(data, 3, w, h), pixel_source(data, 2, w, h)]
    md = registry(*map(surfarray_function, sources))
    md.raising = tuple(s for s in sources if isinstance(s, type))
    return md, [s for s in sources if isinstance(s, np.ndarray)]


def small(value):
    return value if isinstance(value, int) and -3 <= value <= 40 else 4


def call_hostile(data, fn, args, real_surfaces, md=None, arrays=()):
    """Runs fn(*args) under `md`; only ordinary exceptions may come out, of a type described for
    these arguments.  Returns the result (None after an exception) and the exception."""
    warn = data.draw(st.sampled_from(["ignore", "error"]), label="warnings")
    error = None
    refs = refcounts(arrays)
    with warnings.catch_warnings():
        warnings.simplefilter(warn)
        try:
            if md is None:
                result = fn(*args)
            else:
                with host_registry(md):
                    result = fn(*args)
        except SystemError:
            raise  # a NULL result without an exception set, or the like: a fault
        except Exception as e:
            OUTCOMES[fn.__name__][type(e).__name__] += 1
            result, error = None, e
        else:
            OUTCOMES[fn.__name__]["returned"] += 1
    if isinstance(result, pygame.Surface):
        real_surfaces = [*real_surfaces, result]
    assert not [s for s in real_surfaces if s.get_locked()]
    assert refcounts(arrays) == refs, "a pixel array is still exported"
    if error is not None:
        allowed = DESCRIBED + raised_by((args, md)) + ((DeprecationWarning,) if warn == "error" else ())
        if md is not None:
            allowed += (BufferError,)  # an exporter's own refusal of a writable buffer
        if fn.__name__.startswith("transform_into_") and not isinstance(args[0], pygame.Surface):
            allowed += (AttributeError,)  # an object without the surface methods pygame or the call use
        assert isinstance(error, allowed), f"{type(error).__name__}: {error}"
    return result, error


def raised_by(value):
    """The exception types that the hostile objects inside `value` raise of their own."""
    if isinstance(value, Odd):
        return (value.result,) if isinstance(value.result, type) else raised_by(value.result)
    if isinstance(value, Sequence):
        return (value.length,) * isinstance(value.length, type) + raised_by(value.items)
    if isinstance(value, types.SimpleNamespace):  # a registry whose surfarray may raise
        return value.raising
    if isinstance(value, (tuple, list)):
        return tuple(t for item in value for t in raised_by(item))
    return (value,) if isinstance(value, type) and issubclass(value, BaseException) else ()


COUNTS = collections.Counter()                       # function: examples run
OUTCOMES = collections.defaultdict(collections.Counter)  # function: results and exceptions
CHECKED = collections.Counter()                      # function: plain examples held to the models


@pytest.fixture(scope="module", autouse=True)
def report(figures):
    yield
    for fn, n in COUNTS.items():
        outcomes = ", ".join(f"{k} {v}" for k, v in OUTCOMES[fn].most_common())
        figures.append(f"hostile: {fn:39} {n:4} examples ({outcomes}), {CHECKED[fn]} held to the models")


def surface_like(data):
    kind = data.draw(st.sampled_from(["alpha"] * 4 + ["shared", "plain", "fake", "fake", "object"]))
    if kind == "shared":
        return SHARED, [SHARED], SHARED.get_size()
    if kind in ("alpha", "plain"):
        size = data.draw(st.tuples(st.integers(0, 24), st.integers(0, 24)))
        surf = pygame.Surface(size, pygame.SRCALPHA) if kind == "alpha" else pygame.Surface(size)
        surf.fill((10, 20, 30, 40))
        return surf, [surf], size
    if kind == "fake":
        # Lying sizes: anything, but never one that is in range and large.
        fake = FakeSurface(data.draw(mostly(side, size_items)), data.draw(mostly(side, size_items)))
        return fake, [], (small(fake.width), small(fake.height))
    return data.draw(anything), [], (4, 4)


# Plain arguments: exact ints, floats and tuples with no hostile object inside, on pygame's own
# views.  What such a call gives is known: the models' pixels, or pygame's refusal of the colour.

def whole(value, low=-2 ** 31, high=2 ** 31 - 1):
    return type(value) is int and low <= value <= high


def number(value):
    return type(value) is float or whole(value, -2 ** 100, 2 ** 100)


def plain_size(size):
    return type(size) is tuple and len(size) >= 2 and all(whole(v, 0, 40) for v in size[:2])


def plain_color(color, alpha=(-2 ** 31, 2 ** 31 - 1)):
    return (type(color) is tuple and len(color) in (3, 4) and all(whole(v, 0, 255) for v in color[:3])
            and (len(color) == 3 or whole(color[3], *alpha)))


def plain_radii(radii, kinds=(tuple, list)):
    """One number, or four in a sequence of one of `kinds`."""
    return number(radii) or (type(radii) in kinds and len(radii) == 4 and all(map(number, radii)))


def on_own_views(surf, md):
    return md is None and type(surf) is pygame.Surface and surf.get_flags() & pygame.SRCALPHA


def alpha_of(color):
    return color[3] if len(color) > 3 else 255


def check_filled(size, radii, color, result, error):
    w, h = size[:2]
    alpha = alpha_of(color)
    if alpha != 0 and not 0 <= alpha <= 255:
        assert isinstance(error, ValueError), error  # pygame's fill refuses the colour
        return
    assert error is None, error
    rgb, got = planes(result)
    if alpha == 0:
        assert not rgb.any() and not got.any()
        return
    assert (rgb == color[:3]).all()
    with np.errstate(all="ignore"):
        np.testing.assert_array_equal(got, cm.filled_alpha(w, h, radii, alpha))


def check_outlined(size, radius, width, color, result, error):
    assert error is None, error
    assert_outlined(tuple(size[:2]), radius, float(width), color, result)


def check_round_in_place(before, surf, radii, color, error):
    rgb, got = planes(surf)
    w, h = surf.get_size()
    with np.errstate(all="ignore"):
        cut = any(r > 0 for r in cm.bounded_in_place(w, h, radii))
        if color is None:
            assert error is None, error
            np.testing.assert_array_equal(rgb, before[..., :3])
            np.testing.assert_array_equal(got, cm.in_place_alpha(before[..., 3], radii))
            return
        alpha = alpha_of(color)
        if cut and alpha == 0:
            assert error is None and not rgb.any() and not got.any(), error
        elif not 0 <= alpha <= 255:
            assert isinstance(error, ValueError), error  # pygame's fill refuses the colour
        else:
            assert error is None, error
            assert (rgb == color[:3]).all()
            np.testing.assert_array_equal(got, cm.in_place_alpha(np.full((w, h), alpha, np.uint8), radii, alpha))


@SETTINGS
@given(st.data())
def test_filled(data):
    size, corner_radii, color = data.draw(sizes), data.draw(radii), data.draw(colors)
    w, h = (small(v) for v in size[:2]) if isinstance(size, tuple) and len(size) >= 2 else (4, 4)
    md, arrays = fake_md(data, w, h)
    outcome = call_hostile(data, fs._create_rounded_rect_surface_optimized, (size, corner_radii, color), [], md,
                           arrays)
    if md is None and plain_size(size) and plain_radii(corner_radii) and plain_color(color):
        check_filled(size, corner_radii, color, *outcome)
        CHECKED["_create_rounded_rect_surface_optimized"] += 1
    COUNTS["_create_rounded_rect_surface_optimized"] += 1


@SETTINGS
@given(st.data())
def test_outlined(data):
    size, corner, width, color = data.draw(sizes), data.draw(radius), data.draw(stroke), data.draw(colors)
    w, h = (small(v) for v in size[:2]) if isinstance(size, tuple) and len(size) >= 2 else (4, 4)
    md, arrays = fake_md(data, w, h)
    outcome = call_hostile(data, fs._create_outlined_rounded_rect_sdf, (size, corner, width, color), [], md, arrays)
    if md is None and plain_size(size) and whole(corner) and number(width) and plain_color(color):
        check_outlined(size, corner, width, color, *outcome)
        CHECKED["_create_outlined_rounded_rect_sdf"] += 1
    COUNTS["_create_outlined_rounded_rect_sdf"] += 1


@SETTINGS
@given(st.data())
def test_round_in_place(data):
    surf, real, (w, h) = surface_like(data)
    corner_radii, color = data.draw(radii), data.draw(st.one_of(st.none(), colors))
    md, arrays = fake_md(data, w, h)
    before = pixels(surf) if on_own_views(surf, md) else None
    result, error = call_hostile(data, fs.transform_into_rounded_rect, (surf, corner_radii, color), real, md,
                                 arrays)
    assert result is None
    if before is not None and plain_radii(corner_radii) and (color is None or plain_color(color)):
        check_round_in_place(before, surf, corner_radii, color, error)
        CHECKED["transform_into_rounded_rect"] += 1
    COUNTS["transform_into_rounded_rect"] += 1


@SETTINGS
@given(st.data())
def test_outline_in_place(data):
    surf, real, (w, h) = surface_like(data)
    args = (surf, data.draw(radii), data.draw(stroke), data.draw(colors), data.draw(st.none() | colors))
    md, arrays = fake_md(data, w, h)
    before = pixels(surf) if on_own_views(surf, md) else None
    result, error = call_hostile(data, fs.transform_into_outlined_rounded_rect, args, real, md, arrays)
    assert result is None
    _, corner_radii, width, color, bg = args
    if (before is not None and plain_radii(corner_radii) and number(width) and plain_color(color)
            and (bg is None or plain_color(bg, alpha=(0, 255)))):
        assert error is None, error
        assert_same(surf, before, corner_radii, float(width), color, bg)
        CHECKED["transform_into_outlined_rounded_rect"] += 1
    COUNTS["transform_into_outlined_rounded_rect"] += 1


FRONT_ENDS = {
    "create_rounded_rect_surface": lambda d: (d.draw(sizes), d.draw(radii), d.draw(colors)),
    "_get_cached_rounded_rect_surface": lambda d: (d.draw(sizes), d.draw(mostly(st.tuples(*[any_float] * 4), radii)),
                                                   d.draw(colors)),
    "create_outlined_rounded_rect_sdf": lambda d: (d.draw(sizes), d.draw(radius), d.draw(stroke), d.draw(colors)),
    "_get_cached_outlined_rounded_rect_sdf": lambda d: (d.draw(sizes), d.draw(radius), d.draw(stroke),
                                                        d.draw(colors)),
}


def check_front_end(name, args, outcome):
    """A plain call through a front end gives the surface its rasteriser gives (or shares one
    made earlier for equal arguments, with the same pixels)."""
    if name.endswith("rounded_rect_surface"):
        size, corner_radii, color = args
        kinds = (tuple, list) if name == "create_rounded_rect_surface" else (tuple,)
        if plain_size(size) and type(corner_radii) in kinds and plain_radii(corner_radii, kinds) and plain_color(
                color):
            check_filled(size, corner_radii, color, *outcome)
            CHECKED[name] += 1
        return
    size, corner, width, color = args
    if plain_size(size) and whole(corner) and number(width) and plain_color(color):
        check_outlined(size, corner, width, color, *outcome)
        CHECKED[name] += 1


@pytest.mark.parametrize("name", FRONT_ENDS)
@settings(SETTINGS, max_examples=EXAMPLES // 2)
@given(data=st.data())
def test_front_ends(name, data):
    args = FRONT_ENDS[name](data)
    count = data.draw(st.sampled_from([0] * 6 + [-1, 1]), label="arguments missing or extra")
    outcome = call_hostile(data, getattr(fs, name), args[:len(args) + count] + (None,) * count, [])
    if count == 0:
        check_front_end(name, args, outcome)
    COUNTS[name] += 1
