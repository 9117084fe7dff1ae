"""Outlined rounded-rectangle surfaces: exact pixels, failures, limits and a float32 model."""
from fractions import Fraction

import numpy as np
import pygame
import pytest

from models.fake_host import install
from models.layouts import views
from models.numeric import fma32
from models.outlined import assert_outlined, model
from models.surfaces import planes
from ralo_ui.fast.shapes import fast_shapes as fs

make = fs._create_outlined_rounded_rect_sdf
F = np.float32


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


def test_transparent_color_never_reads_rgb():
    rgb, alpha = planes(make((20, 14), 6, 2.0, (300, "x", None, 0)))
    assert not rgb.any() and not alpha.any()


# ---------------------------------------------------------------------------------------------
# Failures: exact errors, no surface made when the size is bad, none left locked.

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
    assert_outlined(size, radius, width, (40, 50, 60, 200))


def test_radicand_is_rounded_once():
    # Rounding dx * dx before adding dy_sq changes alpha bits here.
    assert_outlined((13, 10), 8, 3.8462939262390137, (116, 46, 109, 72267150))


@pytest.mark.parametrize("layout", ["planar", "planar columns reversed", "channels reversed"])
def test_band_runs_for_other_strides(monkeypatch, layout):
    """Views whose column stride is 1 or -1 take the run-copy path; the bytes must agree."""
    w, h = 23, 17
    color, alpha = views(layout, w, h)
    install(monkeypatch, lambda s: color, lambda s: alpha)
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
    color_strides, alpha_at, alpha_strides = {
        "alpha_on_next_red": ((3, 3 * w, 1), 3, (3, 3 * w)),      # alpha of x is red of x + 1
        "channels_overlap": ((1, w + 2, 1), (w + 2) * h, (1, w)),  # green of x is red of x + 1
        "rows_overlap": ((3, 2 * w, 1), 1, (3, 2 * w)),            # rows share bytes, alpha on green
    }[layout]
    color = np.lib.stride_tricks.as_strided(memory, (w, h, 3), color_strides)
    alpha = np.lib.stride_tricks.as_strided(memory[alpha_at:], (w, h), alpha_strides)
    expected = memory.copy()

    def write(x, y, rgb, a):
        for c in range(3):
            expected[np.dot((x, y, c), color_strides)] = rgb[c]
        expected[alpha_at + np.dot((x, y), alpha_strides)] = a

    install(monkeypatch, lambda s: color, lambda s: alpha)
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
        assert_outlined(*random_case(rng))
