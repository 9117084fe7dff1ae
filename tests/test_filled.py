"""New filled rounded-rectangle surfaces: exact corners, failures, and a float32 model."""
import math
import random
import re

import numpy as np
import pygame
import pytest

import models.corners as cm
from models.arguments import IntSubclass
from models.corners import mirrored, random_radii
from models.fake_host import install
from models.numeric import fma32
from models.surfaces import planes
from ralo_ui.fast.shapes import fast_shapes as fs

make = fs._create_rounded_rect_surface_optimized


@pytest.mark.parametrize("radii, color, block", [
    (3, (255, 0, 0), [[0, 149, 242], [149, 255, 255], [242, 255, 255]]),
    (1, (255, 0, 0), [[202]]),
    (True, (1, 2, 3), [[202]]),
    (2.5, (9, 9, 9), [[43, 194], [194, 255]]),
    # n = 2: pixels (2, 0) and (0, 2) lie outside the square and stay opaque.
    (2.9, (9, 9, 9), [[1, 158], [158, 255]]),
    (3, (10, 20, 30, 128), [[0, 74, 121], [74, 128, 128], [121, 128, 128]]),
])
def test_corner_alphas(radii, color, block):
    surf = make((10, 10), radii, color)
    rgb, alpha = planes(surf)
    np.testing.assert_array_equal(alpha, mirrored((10, 10), block, color[3] if len(color) > 3 else 255))
    assert (rgb == color[:3]).all()


@pytest.mark.parametrize("size, radius, color, pixel, expected", [
    # m_x * m_x + m_y rounded twice instead of once gives 203.
    ((28, 21), 3.652, (255, 255, 255), (0, 2), 202),
    # Coverage taken as 0.5 - signed_dist instead of (r + 0.5) - d gives 3.
    ((47, 55), 7.935354687971834, (255, 255, 255), (1, 2), 2),
    # coverage x alpha truncated from the double product instead of its float rounding
    # (160.99999 up to 161.0) gives 160; no alpha of 1, 128 or 255 shows the difference.
    ((14, 9), (2.171135187149048, 1.2977888584136963, 5.441030979156494, 4.855152130126953),
     (255, 255, 255, 185), (0, 1), 161),
    # The same double rounding in a corner row run eight pixels a step gives 179.
    ((136, 106), (np.float32(47.8193), math.inf, 16, 11.5), (255, 0, 0), (0, 42), 178),
])
def test_rounding_sensitive_pixels(size, radius, color, pixel, expected):
    _, alpha = planes(make(size, radius, color))
    assert alpha[pixel] == expected


@pytest.mark.parametrize("radii", [(0, 0, 0, 0), -4, -0.5, 0.99, (5, 5), (), "abc", [1, 2, 3, 4, 5],
                                   math.nan, (math.nan,) * 4])
def test_square_corners(radii):
    rgb, alpha = planes(make((9, 7), radii, (7, 8, 9, 200)))
    assert (alpha == 200).all() and (rgb == (7, 8, 9)).all()


def test_radii_are_clamped_to_half_the_smaller_side():
    for big in (100, math.inf, (100, 50, 4, 1e30)):
        assert np.array_equal(planes(make((8, 6), big, (1, 1, 1)))[1],
                              planes(make((8, 6), (3, 3, 4, 3), (1, 1, 1)))[1])


def test_one_corner():
    _, one = planes(make((16, 16), (8, 0, 0, 0), (0, 0, 0)))
    _, all4 = planes(make((16, 16), 8, (0, 0, 0)))
    expected = np.full((16, 16), 255, dtype=np.uint8)
    expected[:8, :8] = all4[:8, :8]
    np.testing.assert_array_equal(one, expected)
    assert one[0, 0] == 0


@pytest.mark.parametrize("size", [(10, 10), (0, 5), (3, 0)])
def test_transparent_color_gives_transparent_black(size):
    surf = make(size, 3, (10, 20, 30, 0))
    rgb, alpha = planes(surf)
    assert surf.get_size() == size and not rgb.any() and not alpha.any()


@pytest.mark.parametrize("size, expected", [((10.9, 4.2), (10, 4)), (("12", "8"), (12, 8)),
                                            ((0, 0), (0, 0)), ((1, 64), (1, 64)), ((5, 3, 99), (5, 3)),
                                            # int subclasses: a new pair of exact ints
                                            ((IntSubclass(7), 5), (7, 5)), ((7, True), (7, 1))])
def test_size_conversion(size, expected):
    surf = make(size, 2, (1, 2, 3))
    assert surf.get_size() == expected and surf.get_flags() & pygame.SRCALPHA
    assert not surf.get_locked()


@pytest.mark.parametrize("size, radii, color, exc, message", [
    (None, 3, (1, 2, 3), TypeError, "'NoneType' object is not subscriptable"),
    ((5,), 3, (1, 2, 3), IndexError, "tuple index out of range"),
    ((), 3, (1, 2, 3), IndexError, "tuple index out of range"),
    (("a", 5), 3, (1, 2, 3), ValueError, "invalid literal for int() with base 10: 'a'"),
    ((2**31, 5), 3, (1, 2, 3), OverflowError, "value too large to convert to int"),
    ((5, 4), object(), (1, 2, 3), TypeError, "object of type 'object' has no len()"),
    ((5, 4), (1, 2, "x", 4), (1, 2, 3), TypeError, "must be real number, not str"),
])
def test_failures_before_the_surface(host, size, radii, color, exc, message):
    with pytest.raises(exc, match="^" + re.escape(message) + "$"):
        make(size, radii, color)
    assert host.made == []


@pytest.mark.parametrize("color, exc, message", [
    (None, TypeError, "object of type 'NoneType' has no len()"),
    ((1, 2, 3, "x"), TypeError, "an integer is required"),
    ((1, 2, 3, 2**31), OverflowError, "value too large to convert to int"),
    ((1, 2, 3, 300), ValueError, "invalid color"),
])
def test_color_failures(host, color, exc, message):
    with pytest.raises(exc, match=re.escape(message)):
        make((6, 6), 2, color)
    assert len(host.made) == 1 and host.views == 0


@pytest.mark.parametrize("pixels_alpha, exc", [
    (lambda surf: np.zeros(surf.get_size(), dtype=np.int8), ValueError),   # wrong item type
    (lambda surf: np.zeros((3, 3), dtype=np.uint8), ValueError),          # smaller than the surface
    (lambda surf: None, TypeError),
])
def test_view_failures_release_the_surface(monkeypatch, pixels_alpha, exc):
    recorder = install(monkeypatch, pixels_alpha=pixels_alpha)
    with pytest.raises(exc):
        make((6, 6), 2, (1, 2, 3))
    (surf,) = recorder.made
    assert not surf.get_locked()


def test_negative_strides(monkeypatch):
    backing = np.full((16, 12), 255, dtype=np.uint8)
    install(monkeypatch, pixels_alpha=lambda surf: backing[::-1, ::-1])  # both strides negative
    make((16, 12), (6, 0, 2.5, 4.2), (1, 2, 3))
    np.testing.assert_array_equal(backing[::-1, ::-1], cm.filled_alpha(16, 12, (6, 0, 2.5, 4.2), 255))


def test_model_sum_is_rounded_once():
    # a * b + c lies just below the midpoint of c and the next float, but in
    # double it rounds onto that midpoint, and from there to the wrong side.
    a = np.float32(2**-12 * (1 + 2**-23))
    b = np.float32(2**-12 * (1 - 2**-23))
    c = np.float32(1 + 2**-23)
    assert np.float32(float(a) * float(b) + float(c)) != c
    assert fma32(a, b, c) == c


@pytest.mark.parametrize("seed", range(10))
def test_against_the_model(seed):
    rng = random.Random(seed)
    for _ in range(30):
        w, h = rng.randint(0, 64), rng.randint(0, 64)
        radii = random_radii(rng)
        rgb = tuple(rng.randint(0, 255) for _ in range(3))
        alpha = rng.choice([None, 0, 255, rng.randint(1, 254)])
        color = rgb if alpha is None else rgb + (alpha,)
        alpha = 255 if alpha is None else alpha
        case = (w, h, radii, color)

        got_rgb, got_alpha = planes(make((w, h), radii, color))
        assert got_alpha.shape == (w, h), case
        if alpha == 0:
            assert not got_rgb.any() and not got_alpha.any(), case
            continue
        assert (got_rgb == rgb).all(), case
        np.testing.assert_array_equal(got_alpha, cm.filled_alpha(w, h, radii, alpha), err_msg=str(case))
