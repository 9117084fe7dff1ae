"""Outlined rounded-rectangle surfaces: exact pixels, failures, limits and a float32 model."""
import math
import types
from fractions import Fraction

import numpy as np
import pygame
import pytest

from corner_model import fma32
from fake_host import Recorder
from ralo_ui.core import modules
from ralo_ui.fast.shapes import fast_shapes as fs

make = fs._create_outlined_rounded_rect_sdf
F = np.float32


def planes(surf):
    assert not surf.get_locked()
    return np.array(pygame.surfarray.pixels3d(surf)), np.array(pygame.surfarray.pixels_alpha(surf))


# ---------------------------------------------------------------------------------------------
# Independent model of the drawing rule, in numpy float32.

@np.errstate(all="ignore")
def model(w, h, radius, width, color, write=None):
    """(rgb, alpha) arrays indexed [x, y] that the outline rule gives, clipped to the surface.

    `write(x, y, rgb, alpha)`, if given, is also called for every pixel write in the order the
    rule makes them: the bands, then the corner squares, each row by row from the top and
    pixel by pixel from the left."""
    rgb_out = np.zeros((w, h, 3), np.uint8)
    a_out = np.zeros((w, h), np.uint8)
    alpha_base = color[3] if len(color) > 3 else 255
    if alpha_base == 0:
        return rgb_out, a_out
    width = F(width)
    r = radius
    if w < 2 * r:
        r = w // 2
    if h < 2 * r:
        r = h // 2
    hw = F(0.5) * width
    cr = float(r) - float(hw)
    cr = F(cr) if cr > 0 else F(0)
    cx, cy = F((w - 1) * 0.5), F((h - 1) * 0.5)
    clw = F(((float(F(w) - width) - 1.0) - 2.0 * float(cr)) * 0.5)
    clh = F(((float(F(h) - width) - 1.0) - 2.0 * float(cr)) * 0.5)
    if math.isnan(width):
        sw = 0
    elif math.isinf(width):
        sw = 2**31 - 1 if width > 0 else -2**31
    else:
        sw = max(-2**31, min(2**31 - 1, math.ceil(width)))
    cutoff = hw + F(0.5)
    a8 = alpha_base & 0xFF

    def band(x0, x1, y0, y1):
        x0, x1, y0, y1 = max(x0, 0), min(x1, w), max(y0, 0), min(y1, h)
        if x0 < x1 and y0 < y1:
            rgb_out[x0:x1, y0:y1] = color[:3]
            a_out[x0:x1, y0:y1] = a8
            for y in range(y0, y1) if write else ():
                for x in range(x0, x1):
                    write(x, y, color[:3], a8)

    band(r, w - r, 0, sw)
    band(r, w - r, h - sw, h)
    band(0, sw, r, h - r)
    band(w - sw, w, r, h - r)
    box = min(r + sw, w // 2, h // 2)
    if box <= 0:
        return rgb_out, a_out
    for x0, y0 in ((0, 0), (w - box, 0), (0, h - box), (w - box, h - box)):
        xs = np.arange(x0, x0 + box).astype(F)[:, None]
        ys = np.arange(y0, y0 + box).astype(F)[None, :]
        dy = np.broadcast_to(np.abs(ys - cy) - clh, (box, box))
        dyp = np.where(dy > 0, dy, F(0))
        dx = np.broadcast_to(np.abs(xs - cx) - clw, (box, box))
        root = np.sqrt(fma32(dx, dx, dyp * dyp))
        dist = np.where((dx > 0) & (dyp > 0), root, np.where(dyp > dx, dyp, dx))
        larger = np.where(dy > dx, dy, dx)
        sd = (np.where(larger < 0, larger, F(0)) - cr) + dist
        dfe = np.abs(sd)
        af = hw - dfe
        hit = ~(dfe > cutoff) & (af > F(-0.5))
        part = np.trunc(np.nan_to_num((af + F(0.5)) * F(alpha_base))).astype(np.int64) & 0xFF
        alpha = np.where(af >= F(0.5), a8, part)
        sx, sy = slice(x0, x0 + box), slice(y0, y0 + box)
        rgb_out[sx, sy][hit] = color[:3]
        a_out[sx, sy][hit] = alpha[hit]
        for y, x in zip(*np.nonzero(hit.T)) if write else ():
            write(x0 + x, y0 + y, color[:3], alpha[x, y])
    return rgb_out, a_out


def assert_model(size, radius, width, color):
    surf = make(size, radius, width, color)
    assert surf.get_size() == size
    rgb, alpha = planes(surf)
    want_rgb, want_alpha = model(*size, radius, width, color)
    case = (size, radius, width, color)
    np.testing.assert_array_equal(alpha, want_alpha, err_msg=f"alpha of {case}")
    np.testing.assert_array_equal(rgb, want_rgb, err_msg=f"colour of {case}")


def test_fma32_rounds_once():
    rng = np.random.default_rng(7)
    a = rng.standard_normal(300).astype(F) * F(2.0) ** rng.integers(-70, 30, 300).astype(F)
    c = rng.standard_normal(300).astype(F) * F(2.0) ** rng.integers(-140, 60, 300).astype(F)
    # 1 + 2^-11 + 2^-24 is a float32 midpoint; the tiny addend decides the rounding.
    a = np.append(a, [F(1 + 2**-12), F(1 + 2**-12)])
    c = np.append(c, [F(2**-60), F(-(2**-60))])
    for x, z, g in zip(a, c, fma32(a, a, c)):
        exact = Fraction(float(x)) ** 2 + Fraction(float(z))
        err = abs(Fraction(float(g)) - exact)
        for n in (np.nextafter(g, F(-np.inf)), np.nextafter(g, F(np.inf))):
            other = abs(Fraction(float(n)) - exact)
            assert err < other or (err == other and int(g.view(np.uint32)) % 2 == 0)


# ---------------------------------------------------------------------------------------------
# The documented shapes.

def test_stroke_of_two_on_20_by_14():
    rgb, alpha = planes(make((20, 14), 6, 2.0, (10, 20, 30)))
    expect = {(6, 0): 127, (7, 0): 255, (6, 1): 255, (6, 2): 127, (7, 2): 0, (13, 0): 127, (0, 0): 0}
    assert {p: alpha[p] for p in expect} == expect
    assert tuple(rgb[6, 0]) == (10, 20, 30) and tuple(rgb[7, 0]) == (10, 20, 30)
    assert tuple(rgb[7, 2]) == (0, 0, 0) and tuple(rgb[0, 0]) == (0, 0, 0)


@pytest.mark.parametrize("fourth, corner, band", [(128, 64, 128), (256, 128, 0), (-1, 0, 255)])
def test_alpha_item_scales_corners_and_stores_low_bits_on_bands(fourth, corner, band):
    rgb, alpha = planes(make((20, 14), 6, 2.0, (10, 20, 30, fourth)))
    assert (alpha[6, 0], alpha[7, 0]) == (corner, band)
    assert tuple(rgb[7, 0]) == (10, 20, 30)


def test_thin_stroke_meets_corner_squares():
    _, alpha = planes(make((12, 10), 4, 0.5, (1, 2, 3)))
    assert (alpha[5, 0], alpha[6, 0], alpha[4, 0], alpha[4, 1]) == (255, 255, 127, 0)


def test_radius_clamped_to_half_of_each_side_in_turn():
    for big in (10, 2**30, 2**31 - 1):
        np.testing.assert_array_equal(planes(make((9, 7), big, 2.0, (5, 5, 5)))[1],
                                      planes(make((9, 7), 3, 2.0, (5, 5, 5)))[1])


def test_size_items_truncate():
    assert make((100.7, 50), 5, 2.0, (1, 2, 3)).get_size() == (100, 50)


def test_zero_width():
    assert not planes(make((20, 14), 0, 0.0, (9, 9, 9)))[1].any()
    _, alpha = planes(make((20, 14), 6, 0.0, (9, 9, 9)))
    assert alpha.any() and alpha.max() <= 127
    assert not alpha[6:14, 0].any()  # no band


@pytest.mark.parametrize("width", [-0.5, -1.0, -5.0, -np.inf, np.nan])
def test_negative_and_nan_width_draw_no_band(width):
    _, alpha = planes(make((20, 14), 6, width, (9, 9, 9)))
    assert alpha.max() <= 63  # at most the quarter coverage half_width -0.25 allows
    if not width > -1:
        assert not alpha.any()


def test_transparent_colour_never_reads_rgb():
    rgb, alpha = planes(make((20, 14), 6, 2.0, (300, "x", None, 0)))
    assert not rgb.any() and not alpha.any()


# ---------------------------------------------------------------------------------------------
# Failures: exact errors, no surface made when the size is bad, none left locked.

@pytest.fixture
def host(monkeypatch):
    rec = Recorder()
    monkeypatch.setattr(modules, "pygame", rec)
    return rec


@pytest.mark.parametrize("size, color, exc, message, surfaces", [
    (None, (1, 2, 3), TypeError, "'NoneType' object is not subscriptable", 0),
    ((), (1, 2, 3), IndexError, "tuple index out of range", 0),
    ((5,), (1, 2, 3), IndexError, "tuple index out of range", 0),
    (("a", 5), (1, 2, 3), ValueError, "invalid literal for int() with base 10: 'a'", 0),
    ((2**31, 5), (1, 2, 3), OverflowError, "value too large to convert to int", 0),
    ((-1, 5), (1, 2, 3), pygame.error, "Invalid resolution for Surface", 0),
    ((8, 6), None, TypeError, "object of type 'NoneType' has no len()", 1),
    ((8, 6), (1, 2, 3, 2**31), OverflowError, "value too large to convert to int", 1),
    ((8, 6), (1, 2, 3, "x"), TypeError, "an integer is required", 1),
    ((8, 6), (object(), 2, 3), TypeError, "an integer is required", 1),
    ((8, 6), (1, -1, 3), OverflowError, "can't convert negative value to npy_uint8", 1),
    ((8, 6), (300, 0, 0), OverflowError, "value too large to convert to npy_uint8", 1),
    ((8, 6), (1, 2), IndexError, "tuple index out of range", 1),
])
def test_failures(host, size, color, exc, message, surfaces):
    with pytest.raises(exc) as info:
        make(size, 3, 2.0, color)
    assert str(info.value) == message
    assert len(host.made) == surfaces
    assert not any(s.get_locked() for s in host.made)


# ---------------------------------------------------------------------------------------------
# Arguments beyond the drawable range are clipped to the surface; the model clips the same way.

@pytest.mark.parametrize("size, radius, width", [
    ((20, 14), -3, 2.0), ((20, 14), -2**31, 3.0), ((20, 14), 2**31 - 1, 2.5),
    ((20, 14), 6, 15.0), ((20, 14), 6, 1e6), ((20, 14), 0, np.inf), ((20, 14), 3, 3.4e38),
    ((1, 1), 1, 5.0), ((0, 9), 2, 2.0), ((9, 0), 2, 2.0), ((3, 40), 10, 2.0),
])
def test_out_of_range_arguments_clip(size, radius, width):
    assert_model(size, radius, width, (40, 50, 60, 200))


def test_radicand_is_rounded_once():
    # Rounding dx * dx before adding dy_sq changes alpha bits here.
    assert_model((13, 10), 8, 3.8462939262390137, (116, 46, 109, 72267150))


@pytest.mark.parametrize("layout", ["planar", "reversed_x", "c_order"])
def test_band_runs_for_other_strides(monkeypatch, layout):
    """Views whose column stride is 1 or -1 take the run-copy path; the bytes must agree."""
    w, h = 23, 17
    color = np.zeros((3, h, w), np.uint8).transpose(2, 1, 0)  # x stride 1
    alpha = np.zeros((h, w), np.uint8).T
    if layout == "reversed_x":
        color, alpha = color[::-1], alpha[::-1]
    elif layout == "c_order":
        color, alpha = np.zeros((w, h, 3), np.uint8)[:, :, ::-1], np.zeros((w, h), np.uint8)
    rec = Recorder()
    rec.surfarray = types.SimpleNamespace(pixels3d=lambda s: color, pixels_alpha=lambda s: alpha)
    monkeypatch.setattr(modules, "pygame", rec)
    make((w, h), 5, 3.5, (7, 8, 9, 99))
    want_rgb, want_alpha = model(w, h, 5, 3.5, (7, 8, 9, 99))
    np.testing.assert_array_equal(alpha, want_alpha)
    np.testing.assert_array_equal(color, want_rgb)


@pytest.mark.parametrize("layout", ["alpha_on_next_red", "channels_overlap", "rows_overlap"])
def test_views_sharing_bytes_are_written_in_drawing_order(monkeypatch, layout):
    """Where the colour and alpha views share bytes, the last write in drawing order wins:
    bands and corners row by row, pixel by pixel, each pixel colour first, then alpha."""
    w, h = 23, 17
    memory = np.full(3 * w * h + 8, 0x5A, np.uint8)
    colour_strides, alpha_at, alpha_strides = {
        "alpha_on_next_red": ((3, 3 * w, 1), 3, (3, 3 * w)),      # alpha of x is red of x + 1
        "channels_overlap": ((1, w + 2, 1), (w + 2) * h, (1, w)),  # green of x is red of x + 1
        "rows_overlap": ((3, 2 * w, 1), 1, (3, 2 * w)),            # rows share bytes, alpha on green
    }[layout]
    colour = np.lib.stride_tricks.as_strided(memory, (w, h, 3), colour_strides)
    alpha = np.lib.stride_tricks.as_strided(memory[alpha_at:], (w, h), alpha_strides)
    expected = memory.copy()

    def write(x, y, rgb, a):
        for c in range(3):
            expected[np.dot((x, y, c), colour_strides)] = rgb[c]
        expected[alpha_at + np.dot((x, y), alpha_strides)] = a

    rec = Recorder()
    rec.surfarray = types.SimpleNamespace(pixels3d=lambda s: colour, pixels_alpha=lambda s: alpha)
    monkeypatch.setattr(modules, "pygame", rec)
    make((w, h), 5, 3.5, (7, 8, 9, 99))
    model(w, h, 5, 3.5, (7, 8, 9, 99), write)
    np.testing.assert_array_equal(memory, expected)


# ---------------------------------------------------------------------------------------------
# Randomised cases against the model, bit for bit.

def random_case(rng):
    w, h = (int(v) for v in rng.integers(0, 41, 2))
    radius = int(rng.integers(-4, 26))
    kind = rng.integers(4)
    if kind == 0:
        width = float(rng.integers(-2, 12))
    elif kind == 1:
        width = float(rng.integers(-4, 24)) / 2
    else:
        width = float(F(rng.uniform(-2.0, 14.0)))
    rgb = tuple(int(v) for v in rng.integers(0, 256, 3))
    # A large alpha stores low bits of the product, exposing the last bit of the coverage.
    alpha = rng.choice([None, 255, int(rng.integers(1, 256)), int(rng.integers(256, 700)),
                        int(rng.integers(-300, 0)), int(rng.integers(2**20, 2**30))])
    return (w, h), radius, width, rgb if alpha is None else rgb + (int(alpha),)


@pytest.mark.parametrize("seed", range(8))
def test_random_cases_match_model(seed):
    rng = np.random.default_rng(1000 + seed)
    for _ in range(40):
        assert_model(*random_case(rng))
