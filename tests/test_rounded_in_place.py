"""Rounding the corners of an existing surface: exact corners, early exits, failures, a float32 model."""
import math
import random
import re

import numpy as np
import pygame
import pytest

import models.corners as cm
from models.corners import mirrored, random_radii
from models.fake_host import FakeSurface, install
from models.surfaces import filled_surface, planes, random_surface
from ralo_ui.fast.shapes import fast_shapes as fs

round_in_place = fs.transform_into_rounded_rect


def surface(w, h, rgb=(40, 50, 60), alpha=200, rng=None):
    return filled_surface(w, h, rgb + (alpha,)) if rng is None else random_surface(rng, w, h)


@pytest.mark.parametrize("radii, color, inside, block", [
    (3, (255, 0, 0), 255, [[0, 0, 86], [0, 171, 255], [86, 255, 255]]),
    (3, None, 200, [[0, 0, 67], [0, 134, 200], [67, 200, 200]]),
    (1, (255, 0, 0), 255, [[21]]),
    (1, None, 200, [[17]]),
    (3, [255, 255, 255, 128], 128, [[0, 0, 43], [0, 85, 128], [43, 128, 128]]),
])
def test_corner_alphas(radii, color, inside, block):
    surf = surface(10, 10)
    assert round_in_place(surf, radii, color) is None
    rgb, alpha = planes(surf)
    expected_rgb = (40, 50, 60) if color is None else tuple(color[:3])
    assert (rgb == expected_rgb).all()
    np.testing.assert_array_equal(alpha, mirrored((10, 10), block, inside))


def test_single_rounding_of_the_distance_sum():
    # m_x * m_x + m_y formed with two roundings would give 53 here.
    surf = surface(39, 39)
    round_in_place(surf, 19.15, (255, 255, 255))
    assert planes(surf)[1][2, 10] == 54


def test_radii_are_clamped_to_half_the_smaller_side():
    big, five = surface(20, 10), surface(20, 10)
    round_in_place(big, (100, math.inf, 1e39, 7), None)
    round_in_place(five, 5, None)
    np.testing.assert_array_equal(planes(big)[1], planes(five)[1])


@pytest.mark.parametrize("radii", [(0, 0, 0, 0), -3, -0.0, (5, 5), (), [1, 2, 3, 4, 5], math.nan,
                                   (math.nan, -1, 0, -math.inf), -math.inf])
def test_nothing_to_cut(host, radii):
    surf = surface(8, 8, rng=np.random.default_rng(1))
    before = planes(surf)
    assert round_in_place(surf, radii) is None
    assert host.views == 0
    for a, b in zip(before, planes(surf)):
        np.testing.assert_array_equal(a, b)

    assert round_in_place(surf, radii, (1, 2, 3, 4)) is None
    assert host.views == 0
    rgb, alpha = planes(surf)
    assert (rgb == (1, 2, 3)).all() and (alpha == 4).all()


# With no corner to cut the colour is filled as it is, before its alpha of 0 is looked at.
@pytest.mark.parametrize("radii, expected", [(3, (0, 0, 0, 0)), (0, (10, 20, 30, 0))])
def test_transparent_color_acquires_no_view(host, radii, expected):
    surf = surface(8, 8)
    assert round_in_place(surf, radii, (10, 20, 30, 0)) is None
    assert host.views == 0
    rgb, alpha = planes(surf)
    assert (rgb == expected[:3]).all() and (alpha == expected[3]).all()


@pytest.mark.parametrize("color, exc, message", [
    ((300, 0, 0), OverflowError, "value too large to convert to npy_uint8"),
    ((0, 0, -1), OverflowError, "can't convert negative value to npy_uint8"),
    ("abc", TypeError, "an integer is required"),
    ("abcd", TypeError, "an integer is required"),
    ((0, 0, 0, 2**31), OverflowError, "value too large to convert to int"),
    (5, TypeError, "object of type 'int' has no len()"),
    ((1, 2), IndexError, "tuple index out of range"),
])
@pytest.mark.parametrize("radii", [3, 0])
def test_color_is_checked_before_filling(host, color, exc, message, radii):
    surf = surface(8, 8)
    with pytest.raises(exc, match="^" + re.escape(message) + "$"):
        round_in_place(surf, radii, color)
    rgb, alpha = planes(surf)
    assert host.views == 0 and (rgb == (40, 50, 60)).all() and (alpha == 200).all()


class Liar(pygame.Surface):
    """A surface that reports a larger size than it has."""

    def get_width(self):
        return super().get_width() + 5


@pytest.mark.parametrize("color", [None, (1, 2, 3)])
def test_reported_size_beyond_the_pixels_is_refused(color):
    surf = Liar((10, 10), pygame.SRCALPHA)
    surf.fill((40, 50, 60, 200))
    with pytest.raises(ValueError):
        round_in_place(surf, 4, color)
    assert not surf.get_locked()
    # Filled already, as a failing view would leave it, but no corner cut.
    assert (np.array(pygame.surfarray.pixels_alpha(surf)) == (200 if color is None else 255)).all()


@pytest.mark.parametrize("seed", range(10))
def test_against_the_model(seed):
    rng = random.Random(seed)
    pixels = np.random.default_rng(seed)
    for _ in range(30):
        w, h = rng.randint(0, 64), rng.randint(0, 64)
        radii = random_radii(rng)
        pick = rng.random()
        if pick < 0.5:
            color, alpha_base = None, None
        else:
            rgb = [rng.randint(0, 255) for _ in range(3)]
            alpha_base = rng.choice([None, 255, rng.randint(1, 254)])
            color = tuple(rgb if alpha_base is None else rgb + [alpha_base])
            alpha_base = 255 if alpha_base is None else alpha_base
        case = (w, h, radii, color)

        surf = surface(w, h, rng=pixels)
        before_rgb, before_alpha = planes(surf)
        assert round_in_place(surf, radii, color) is None
        got_rgb, got_alpha = planes(surf)
        if color is None:
            np.testing.assert_array_equal(got_rgb, before_rgb, err_msg=str(case))
            start = before_alpha
        else:
            assert (got_rgb == color[:3]).all(), case
            start = np.full((w, h), alpha_base, dtype=np.uint8)
        np.testing.assert_array_equal(got_alpha, cm.in_place_alpha(start, radii, alpha_base),
                                      err_msg=str(case))


class Unfillable(pygame.Surface):
    def fill(self, color):
        raise RuntimeError(f"cannot fill with {color}")


@pytest.mark.parametrize("radii, color", [(3, (1, 2, 3)), (0, (1, 2, 3)), (3, (1, 2, 3, 0))],
                         ids=["colour", "no corner", "transparent"])
def test_a_fill_that_raises_stops_the_call(host, radii, color):
    surf = Unfillable((8, 8), pygame.SRCALPHA)
    with pytest.raises(RuntimeError, match=r"^cannot fill with \(1, 2, 3|0, 0, 0, 0"):
        round_in_place(surf, radii, color)
    assert host.views == 0 and not surf.get_locked()


def test_an_alpha_row_of_one_byte(monkeypatch):
    """A view whose alpha row is one byte (column stride 0): every pixel of a row writes that byte
    in turn, so it keeps the last value written, corners of eight and more pixels included."""
    w, h, alpha_base = 30, 26, 250
    radii = (9.5, 12.0, 8.0, 11.25)
    row_bytes = np.full(h, alpha_base, np.uint8)
    alpha = np.lib.stride_tricks.as_strided(row_bytes, (w, h), (0, 1))
    color = np.zeros((w, h, 3), np.uint8)
    install(monkeypatch, lambda s: color, lambda s: alpha)
    round_in_place(FakeSurface(w, h), radii, (1, 2, 3, alpha_base))
    # Per pixel, as on a plane of its own; then the last pixel of each row that is written wins
    # (a written alpha is below alpha_base: an untouched pixel keeps it).
    each = cm.in_place_alpha(np.full((w, h), alpha_base, np.uint8), radii, alpha_base)
    want = np.full(h, alpha_base, np.uint8)
    for y in range(h):
        written = np.flatnonzero(each[:, y] != alpha_base)
        if len(written):
            want[y] = each[written[-1], y]
    np.testing.assert_array_equal(row_bytes, want)


@pytest.mark.parametrize("long_side", ["width", "height"])
def test_four_equal_corners_on_a_side_beyond_exact_floats(monkeypatch, long_side):
    """A side of 2^24 + 3 pixels, rows a plane's width apart, where pixel coordinates no longer
    convert to floats exactly: the far corners are those the model computes, not the mirror
    images of the near ones."""
    n, alpha_base = 2**24 + 3, 200
    w, h = (n, 4) if long_side == "width" else (4, n)
    alpha = np.full((h, w), alpha_base, np.uint8).T
    color = np.lib.stride_tricks.as_strided(np.zeros(3, np.uint8), (w, h, 3), (0, 0, 1), writeable=True)
    install(monkeypatch, lambda s: color, lambda s: alpha)
    surf = FakeSurface(w, h)
    round_in_place(surf, 2, (1, 2, 3, alpha_base))
    assert surf.filled == [(1, 2, 3, alpha_base)]
    np.testing.assert_array_equal(alpha, cm.in_place_alpha(np.full((w, h), alpha_base, np.uint8), 2, alpha_base))
