"""Argument binding, boundary conversions and tuple checks shared by every published function of
both modules."""
import inspect
import re
import traceback
import warnings

import pygame
import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

from models.arguments import IntSubclass
from models.published import DRAW_FILE, FILE, MODULE_OF, counts, function
from ralo_ui.fast.shapes import draw
from ralo_ui.fast.shapes import fast_shapes as fs

# name: (parameter count, required count), from the modules' own signatures (test_module pins them)
FUNCTIONS = {name: counts(name) for name in MODULE_OF}


def raw(name):
    f = function(name)
    return getattr(f, "__wrapped__", f)  # bypass the cache: hashing comes before binding there


def params(name):
    return raw(name).__code__.co_varnames


def count_message(name, how, bound, given):
    return re.escape(f"{name}() takes {how} {bound} positional argument{'s' * (bound != 1)} ({given} given)")


@pytest.mark.parametrize("name", FUNCTIONS)
def test_wrong_positional_counts(name):
    n, required = FUNCTIONS[name]
    exact = n == required
    with pytest.raises(TypeError, match=count_message(name, "exactly" if exact else "at most", n, n + 1)):
        raw(name)(*range(n + 1))
    few = 1 if required > 1 else 0
    with pytest.raises(TypeError, match=count_message(name, "exactly" if exact else "at least", required, few)):
        raw(name)(*[None] * few)


@pytest.mark.parametrize("name", FUNCTIONS)
def test_missing_keyword_counts_parameters_before_the_gap(name):
    n, required = FUNCTIONS[name]
    names = params(name)
    kwargs = {p: None for p in names[: required - 1]}  # the last required one is missing
    with pytest.raises(TypeError, match=count_message(name, "exactly" if n == required else "at least",
                                                      required, required - 1)):
        raw(name)(**kwargs)


@pytest.mark.parametrize("name", FUNCTIONS)
def test_keyword_errors(name):
    n, _ = FUNCTIONS[name]
    first = params(name)[0]
    with pytest.raises(TypeError, match=re.escape(f"{name}() got multiple values for keyword argument '{first}'")):
        raw(name)(*([None] * n), **{first: None})
    with pytest.raises(TypeError, match=re.escape(f"{name}() got an unexpected keyword argument 'bogus'")):
        raw(name)(*([None] * n), bogus=1)
    # A name given twice, which only the vectorcall protocol can pass.
    last = params(name)[-1]
    testcapi = pytest.importorskip("_testcapi")
    with pytest.raises(TypeError, match=re.escape(f"{name}() got multiple values for keyword argument '{last}'")):
        testcapi.pyobject_vectorcall(raw(name), (None,) * (n + 1), params(name) + (last,))


# ---- the binder against the interpreter's own binding ------------------------------------

class Name(str):
    pass


def filled_surface():
    surf = pygame.Surface((12, 10), pygame.SRCALPHA)
    surf.fill((9, 8, 7, 200))
    return surf


# Makers of argument values by parameter name, fresh for every call (the in-place functions
# change their surface): values the parameter takes, then one it refuses.
VALUES = {
    "surf": [filled_surface, filled_surface, lambda: None],
    "size": [lambda: (12, 10), lambda: (11.5, 9, 1), lambda: [11, 9]],
    "radius": [lambda: 3, lambda: 4.5, lambda: "r"],
    "width": [lambda: 1.5, lambda: 2, lambda: None],
    "stroke_width": [lambda: 2, lambda: 1.25, lambda: "w"],
    "radii_input": [lambda: 4, lambda: (1, 5, 2.5, 0), lambda: [3, 3, 0, 6], lambda: None],
    "radii": [lambda: (1, 5, 2.5, 0), lambda: (4, 4, 4, 4), lambda: [3]],
    "color": [lambda: (200, 100, 50), lambda: (1, 2, 3, 128), lambda: [7]],
    "background_color": [lambda: None, lambda: (5, 6, 7, 8), lambda: (1,)],
    "blur": [lambda: 2, lambda: 0.5, lambda: "b"],
    "spread": [lambda: 0, lambda: -1.5, lambda: None],
    "surface": [lambda: pygame.Surface((12, 10)), filled_surface, lambda: None],
    "rect": [lambda: (1, 2, 8, 6), lambda: pygame.Rect(0, 0, 5, 5), lambda: None],
    **{name: [lambda: 3, lambda: 2.5, lambda: "r"] for name in (
        "border_radius", "border_top_left_radius", "border_top_right_radius", "border_bottom_left_radius",
        "border_bottom_right_radius")},
}
ANY_VALUE = [make for makers in VALUES.values() for make in makers]
# Keyword names other than the parameters' own: unknown ones, a parameter's name as a str
# subclass and as bytes, and names that are not strings.
OTHER_NAMES = ["bogus", "Size", "", Name("color"), b"size", 0, None]

# The interpreter's binding errors and the binder's, by kind (and name, where there is one).
PYTHON_ERRORS = [
    ("count", r"missing \d+ required positional argument"),
    ("count", r"takes (?:from \d+ to )?\d+ positional arguments? but \d+ (?:was|were) given$"),
    ("multiple", r"got multiple values for argument '(.*)'$"),
    ("unexpected", r"got an unexpected keyword argument '(.*?)'"),  # perhaps a suggestion after it
    ("not a string", r"keywords must be strings$"),
]
OUR_ERRORS = [
    ("count", r"takes (?:exactly|at least|at most) \d+ positional arguments? \(\d+ given\)$"),
    ("multiple", r"got multiple values for keyword argument '(.*)'$"),
    ("unexpected", r"got an unexpected keyword argument '(.*)'$"),
    ("not a string", r"keywords must be strings$"),
]


def binding_error(name, error, kinds):
    """(kind, keyword name or None) of a binding TypeError of `name`, given as (type, message),
    or None for any other error."""
    if error[0] is not TypeError:
        return None
    for kind, pattern in kinds:
        m = re.match(re.escape(name) + r"\(\) " + pattern, error[1])
        if m:
            return kind, m.group(1) if m.groups() else None
    return None


def python_twin(f):
    """A Python function with f's signature and defaults, returning its arguments in order."""
    sig = inspect.signature(f)
    namespace = {}
    exec(f"def {f.__name__}{sig}: return ({', '.join(sig.parameters)},)", namespace)
    return namespace[f.__name__]


class Token:
    """Stands for an argument's value until a call is made: never equal to a default."""


def outcome(call, makers, tokens):
    """The result of call(values) and the state of every value after it, the values made
    fresh by makers[token] (anything else, a default, passed as it is); an exception's type and
    message instead of a result."""
    values = {t: makers[t]() for t in tokens if isinstance(t, Token)}
    try:
        result = call([values[t] if isinstance(t, Token) else t for t in tokens])
    except Exception as e:  # compared as type and message
        result = e
    return state(result), {t: state(v) for t, v in values.items()}


def state(value):
    if isinstance(value, pygame.Surface):
        return value.get_size(), pygame.image.tobytes(value, "RGBA")
    if isinstance(value, Exception):
        return type(value), str(value)
    return value


def value_maker(data, param):
    """Mostly a value the parameter takes, else the one it refuses; anything for an argument
    that names no parameter."""
    if param not in VALUES:
        return data.draw(st.sampled_from(ANY_VALUE))
    makers = VALUES[param]
    return data.draw(st.sampled_from(makers[:-1] if data.draw(st.integers(0, 4)) else makers[-1:]))


@st.composite
def keyword_names(draw, names, nargs):
    """Keyword names for a call with nargs positional arguments: any, or more often the names of
    the parameters left, in any order, one perhaps dropped, and up to two repeated or added."""
    anything = st.sampled_from(names + OTHER_NAMES)
    if draw(st.integers(0, 2)) == 0:
        return draw(st.lists(anything, max_size=len(names) + 1))
    # Each name as the parameter's own string, an equal string made at run time, or a str subclass.
    keys = [draw(st.sampled_from([k, "".join(list(k)), Name(k)])) for k in draw(st.permutations(names[nargs:]))]
    if keys and draw(st.integers(0, 3)) == 0:
        del keys[draw(st.integers(0, len(keys) - 1))]
    for _ in range(draw(st.sampled_from([0, 0, 1, 2]))):
        again = keys and draw(st.booleans())
        keys.insert(draw(st.integers(0, len(keys))), draw(st.sampled_from(keys) if again else anything))
    return keys


@pytest.mark.parametrize("protocol", ["vectorcall", "call"])
@pytest.mark.parametrize("name", FUNCTIONS)
@settings(max_examples=50, deadline=None, database=None, derandomize=True,
          suppress_health_check=[HealthCheck.too_slow])
@given(data=st.data())
def test_binding_agrees_with_the_interpreter(name, protocol, data):
    """Any mix of positional arguments and keyword names, as the interpreter binds them for a
    Python function of the same signature: where it fails, a binding TypeError of the same kind
    and name (or of the count); where it binds, the result of the same values by position."""
    f, twin = raw(name), python_twin(raw(name))
    names = list(inspect.signature(f).parameters)
    nargs = data.draw(st.integers(0, len(names) + 2), label="nargs")
    keys = data.draw(keyword_names(names, nargs), label="keywords")
    if protocol == "vectorcall":
        testcapi = pytest.importorskip("_testcapi")
        kwnames = tuple(keys) if keys or data.draw(st.booleans()) else None

        def call(fn):
            return lambda values: testcapi.pyobject_vectorcall(fn, tuple(values), kwnames)
    else:
        keys = list(dict.fromkeys(k for k in keys if isinstance(k, str)))

        def call(fn):
            return lambda values: fn(*values[:nargs], **dict(zip(keys, values[nargs:])))
    targets = names[:nargs] + [None] * (nargs - len(names)) + [k if k in names else None for k in keys]
    tokens = [Token() for _ in targets]
    makers = {token: value_maker(data, t) for token, t in zip(tokens, targets)}

    try:
        bound = call(twin)(tokens)
    except TypeError as e:
        expected = binding_error(name, state(e), PYTHON_ERRORS)
        assert expected is not None, e
        got, _ = outcome(call(f), makers, tokens)
        kind = binding_error(name, got, OUR_ERRORS)
        assert kind is not None and (kind[0] == "count" or kind == expected), (got, expected)
        return
    by_keyword = outcome(call(f), makers, tokens)
    by_position = outcome(lambda values: f(*values), makers, bound)
    assert by_keyword[0] == by_position[0]
    assert {t: by_keyword[1][t] for t in by_position[1]} == by_position[1]


def test_tuple_checks_in_parameter_order_after_conversions():
    f = raw("_get_cached_outlined_rounded_rect_sdf")
    with pytest.raises(OverflowError, match="^value too large to convert to int$"):
        f([], 2**31, "not a number", [])  # the int32 conversion runs first
    with pytest.raises(TypeError, match="must be real number, not str"):
        f([], 3, "x", [])  # then the float conversion
    with pytest.raises(TypeError, match=re.escape("Argument 'size' has incorrect type (expected tuple, got list)")):
        f([], 3, 2, [])
    with pytest.raises(TypeError, match=re.escape("Argument 'color' has incorrect type (expected tuple, got list)")):
        f((), 3, 2, [])
    from collections import namedtuple
    with pytest.raises(TypeError, match=re.escape("(expected tuple, got Size)")):
        f(namedtuple("Size", "w h")(1, 2), 3, 2, ())


class IntLike:
    def __init__(self, value):
        self.value = value

    def __int__(self):
        return self.value


class FakeIndex:
    def __index__(self):
        return 3


class Boom(Exception):
    pass


class Exploding:
    def __int__(self):
        raise Boom


@pytest.mark.parametrize("value, error, message", [
    (2**31, OverflowError, "^value too large to convert to int$"),
    (-2**31 - 1, OverflowError, "^value too large to convert to int$"),
    (2**59, OverflowError, "^value too large to convert to int$"),
    (2**60, OverflowError, "^Python int too large"),
    (-2**80, OverflowError, "^Python int too large"),
    ("7", TypeError, "^an integer is required$"),
    (FakeIndex(), TypeError, "^an integer is required$"),
    (IntLike(2.5), TypeError, re.escape("__int__ returned non-int (type float)")),
    (IntLike(2**40), OverflowError, "^value too large to convert to int$"),
    (Exploding(), Boom, None),
])
def test_int32_conversion_failures(value, error, message):
    with pytest.raises(error, match=message):
        raw("_create_outlined_rounded_rect_sdf")((), value, 1.0, [])


@pytest.mark.parametrize("value", [7.9, -7.9, True, IntSubclass(5), IntLike(-2**31), 2**31 - 1, IntSubclass(-1), IntLike(-1)])
def test_int32_conversion_successes_reach_the_tuple_check(value):
    with pytest.raises(TypeError, match="Argument 'color'"):
        raw("_create_outlined_rounded_rect_sdf")((), value, 1.0, [])


def test_int_subclass_from_int_warns():
    f = raw("_create_outlined_rounded_rect_sdf")
    with pytest.warns(DeprecationWarning, match=re.escape(
            "__int__ returned non-int (type IntSubclass).  The ability to return an instance of a strict subclass of int "
            "is deprecated, and may be removed in a future version of Python.")):
        with pytest.raises(TypeError, match="Argument 'color'"):
            f((), IntLike(IntSubclass(3)), 1.0, [])
    with warnings.catch_warnings():
        warnings.simplefilter("error", DeprecationWarning)
        with pytest.raises(DeprecationWarning):
            f((), IntLike(IntSubclass(3)), 1.0, [])


class FloatLike:
    def __init__(self, value=2.5):
        self.value = value

    def __float__(self):
        return self.value


class MyFloat(float):
    pass


# -1.0 is a value like any other, not a sign of failure.
@pytest.mark.parametrize("value", [2, 1e300, float("nan"), FloatLike(), FakeIndex(), True, MyFloat(-1.0),
                                   FloatLike(-1.0), -1, -1.0])
def test_float32_conversion_accepts_numbers(value):
    with pytest.raises(TypeError, match="Argument 'color'"):
        raw("_create_outlined_rounded_rect_sdf")((), 1, value, [])


@pytest.mark.parametrize("value", ["2", None, [1]])
def test_float32_conversion_refuses_non_numbers(value):
    with pytest.raises(TypeError, match="must be real number"):
        raw("_create_outlined_rounded_rect_sdf")((), 1, value, [])


def test_one_traceback_entry_per_function():
    with pytest.raises(TypeError) as info:
        fs.create_rounded_rect_surface((1, 2), 3, (1, 2, 3))
    entries = traceback.extract_tb(info.value.__traceback__)[1:]
    assert [(e.filename, e.name) for e in entries] == [
        (FILE, "ralo_ui.fast.shapes.fast_shapes.create_rounded_rect_surface"),
        (FILE, "ralo_ui.fast.shapes.fast_shapes._get_cached_rounded_rect_surface"),
    ]
    with pytest.raises(TypeError) as info:
        draw.create_shadow_surface((1, 2), (3, 3, 3, 3), 1, (1, 2, 3), spread="x")
    assert [(e.filename, e.name, e.lineno) for e in traceback.extract_tb(info.value.__traceback__)[1:]] == [
        (DRAW_FILE, "ralo_ui.fast.shapes.draw.create_shadow_surface", 4),
        (DRAW_FILE, "ralo_ui.fast.shapes.draw._get_cached_shadow_surface", 3),
    ]
    with pytest.raises(ValueError) as info:  # the rasteriser's own failure, under the cache
        draw.create_shadow_surface((1, 2), (3, 3, 3, 3), -1, (1, 2, 3))
    assert [e.name for e in traceback.extract_tb(info.value.__traceback__)[1:]][1:] == [
        "ralo_ui.fast.shapes.draw._get_cached_shadow_surface", "ralo_ui.fast.shapes.draw._create_shadow_surface"]


def test_keywords_bind_by_value_as_well_as_by_identity():
    # Names built at run time are equal to the parameters' names but not the same objects.
    name = "".join(["s", "ize"])
    with pytest.raises(TypeError, match=re.escape("Argument 'color' has incorrect type (expected tuple, got list)")):
        raw("_create_outlined_rounded_rect_sdf")(**{name: (), "".join(["radi", "us"]): 1, "width": 1.0, "color": []})
    with pytest.raises(TypeError, match=re.escape("got an unexpected keyword argument 'sizes'")):
        raw("_create_outlined_rounded_rect_sdf")((), 1, 1.0, [], **{name + "s": []})
    with pytest.raises(TypeError, match=re.escape("got an unexpected keyword argument 'colour'")):
        raw("transform_into_rounded_rect")(None, radii_input=3, colour=None)  # after one that fits
    with pytest.raises(TypeError, match=re.escape("got multiple values for keyword argument 'size'")):
        raw("_create_outlined_rounded_rect_sdf")((), 1, 1.0, [], **{name: ()})


def test_keyword_names_through_the_vectorcall_protocol():
    # Names that are not strings: the interpreter refuses them before a call; the vectorcall
    # protocol passes them on.
    import ctypes
    vectorcall = ctypes.pythonapi.PyObject_Vectorcall
    vectorcall.restype = ctypes.py_object
    vectorcall.argtypes = [ctypes.py_object, ctypes.POINTER(ctypes.py_object), ctypes.c_size_t, ctypes.py_object]
    f = raw("transform_into_rounded_rect")
    args = (ctypes.py_object * 3)(None, 3, 4)
    with pytest.raises(TypeError, match=r"^transform_into_rounded_rect\(\) keywords must be strings$"):
        vectorcall(f, args, 2, (5,))
    # An empty tuple of names is no keyword at all.
    surf = pygame.Surface((8, 8), pygame.SRCALPHA)
    surf.fill((1, 2, 3, 255))
    assert vectorcall(f, (ctypes.py_object * 2)(surf, 4), 2, ()) is None
    assert surf.get_at((0, 0)).a == 0 and surf.get_at((4, 4)).a == 255
    message = r"^transform_into_rounded_rect\(\) takes at least 2 positional arguments \(1 given\)$"
    with pytest.raises(TypeError, match=message):
        vectorcall(f, args, 1, ())


@pytest.mark.parametrize("value, error, message", [
    (-2**61, OverflowError, "^Python int too large"),   # beyond the module's own range, below zero
    (2**63, OverflowError, "^Python int too large"),    # beyond a long long
    (-1, TypeError, "Argument 'color'"),                # -1, and no error behind it
])
def test_int32_conversion_at_the_edges(value, error, message):
    with pytest.raises(error, match=message):
        raw("_create_outlined_rounded_rect_sdf")((), value, 1.0, [])


@pytest.mark.parametrize("channel, error, message", [
    (2**64, OverflowError, "^int too big to convert$"),  # the interpreter's own error
    (2**64 - 1, OverflowError, "^value too large to convert to npy_uint8$"),
])
def test_channels_at_the_edges(channel, error, message):
    with pytest.raises(error, match=message):
        fs._create_outlined_rounded_rect_sdf((4, 4), 1, 1.0, (1, channel, 3))


def test_integer_radius_beyond_the_float_range():
    from models.fake_host import FakeSurface
    with pytest.raises(OverflowError, match="^int too large to convert to float$"):
        fs.transform_into_rounded_rect(FakeSurface(), 10**400)


@pytest.mark.parametrize("component, message", [
    (256, "^value too large to convert to npy_uint8$"),
    (2**30 - 1, "^value too large to convert to npy_uint8$"),  # the last one-digit int on 30-bit digits
    (2**30, "^value too large to convert to npy_uint8$"),
    (2**63, "^value too large to convert to npy_uint8$"),
    (-1, "^can't convert negative value to npy_uint8$"),
    (-2**30, "^can't convert negative value to npy_uint8$"),
    (-2**70, "^can't convert negative value to npy_uint8$"),
])
def test_color_components_out_of_range_on_either_side_of_one_digit(component, message):
    surf = pygame.Surface((6, 6), pygame.SRCALPHA)
    surf.fill((9, 9, 9, 9))
    for color in [(0, 0, component), [component, 0, 0], (0, IntSubclass(component), 0)]:
        with pytest.raises(OverflowError, match=message):
            fs.transform_into_rounded_rect(surf, 2, color)
    assert surf.get_at((0, 0)) == (9, 9, 9, 9)  # checked whole before anything is filled
    fs.transform_into_rounded_rect(surf, 0, (255, 0, IntSubclass(128), 255))
    assert surf.get_at((0, 0)) == (255, 0, 128, 255)


class Quad(tuple):
    pass


def test_rounding_color_of_any_sequence_and_int_type():
    """The rounding call takes its colour as any sequence of ints: the pixels of the plain tuple,
    and a short sequence's own IndexError with the surface as it was."""
    def rounded(color):
        surf = pygame.Surface((6, 6), pygame.SRCALPHA)
        surf.fill((9, 9, 9, 9))
        fs.transform_into_rounded_rect(surf, 2, color)
        return pygame.image.tobytes(surf, "RGBA")

    for plain, others in [((10, 20, 30, 128), [[10, 20, 30, 128], Quad((10, 20, 30, IntSubclass(128))),
                                               (IntSubclass(10), 20, 30, 128)]),
                          ((10, 20, 30), [[10, 20, 30], Quad((10, IntSubclass(20), 30))])]:
        assert all(rounded(c) == rounded(plain) for c in others)
    for short, message in [((1, 2), "tuple index out of range"), (Quad((1, 2)), "tuple index out of range"),
                           ([1, 2], "list index out of range")]:
        surf = pygame.Surface((6, 6), pygame.SRCALPHA)
        surf.fill((9, 9, 9, 9))
        with pytest.raises(IndexError, match=f"^{message}$"):
            fs.transform_into_rounded_rect(surf, 2, short)
        assert surf.get_at((0, 0)) == (9, 9, 9, 9)
