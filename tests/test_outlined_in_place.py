"""transform_into_outlined_rounded_rect: outlining a caller's surface in place; known pictures,
the failures, and random cases against the numpy model.  How the call gets there: by runs
(test_outlined_in_place_runs.py) and in row order (test_outlined_in_place_rows.py)."""

import random

import numpy as np
import pygame
import pytest

from models.outlined_in_place import assert_same, draw, random_case, random_content
from models.surfaces import filled_surface, pixels, put_pixels
from ralo_ui.fast.shapes import fast_shapes as fs

outline = fs.transform_into_outlined_rounded_rect


# ---------------------------------------------------------------------------
# Known pictures.


def square_frame(corner, edge, second, inside, w=10):
    """A w x w picture: corner pixels, the rest of the border, the second ring, the inside."""
    img = np.empty((w, w, 4), np.uint8)
    img[...] = inside
    img[1:-1, 1:-1][[0, -1]] = second
    img[1:-1, 1:-1][:, [0, -1]] = second
    img[[0, -1]] = edge
    img[:, [0, -1]] = edge
    img[[0, 0, -1, -1], [0, -1, 0, -1]] = corner
    return img


BLUE = (0, 0, 255, 255)


@pytest.mark.parametrize(
    "stroke_width, color, corner, edge, second",
    [
        (2, (255, 0, 0), (255, 0, 0, 202), (255, 0, 0, 255), (255, 0, 0, 255)),
        (1, (255, 0, 0), (255, 0, 0, 255), (255, 0, 0, 255), BLUE),
        # sa = 128/255 in single lies just above the ratio: blue 126.99.. stores as 126.
        (2, (255, 0, 0, 128), (255, 0, 0, 101), (255, 0, 0, 128), (128, 0, 126, 255)),
        # items beyond the fourth are ignored
        (2, (255, 0, 0, 128, "x"), (255, 0, 0, 101), (255, 0, 0, 128), (128, 0, 126, 255)),
    ],
)
def test_square_outline_over_content(stroke_width, color, corner, edge, second):
    surf = filled_surface(10, 10, BLUE)
    assert outline(surf, 0, stroke_width, color) is None
    assert (pixels(surf) == square_frame(corner, edge, second, BLUE)).all()
    assert not surf.get_locked()


ROUND_20 = {
    # pixel: (without background, with background (0, 0, 255) over (10, 20, 30, 40))
    (0, 0): ((0, 0, 255, 0), (10, 20, 30, 0)),
    (3, 0): ((255, 0, 0, 116), (255, 0, 0, 116)),
    (4, 0): ((255, 0, 0, 203), (237, 0, 17, 219)),
    (3, 2): ((204, 0, 50, 255), (204, 0, 50, 255)),
    (2, 10): ((0, 0, 255, 255), (0, 0, 255, 255)),
    (10, 10): ((0, 0, 255, 255), (0, 0, 255, 255)),
}


@pytest.mark.parametrize("with_bg", [False, True])
def test_round_corners(with_bg):
    surf = filled_surface(20, 20, (10, 20, 30, 40) if with_bg else BLUE)
    outline(surf, 6, 2, (255, 0, 0), (0, 0, 255) if with_bg else None)
    img = pixels(surf)
    for xy, expected in ROUND_20.items():
        assert tuple(img[xy]) == expected[with_bg], xy
    if not with_bg:
        assert tuple(img[0, 10]) == tuple(img[1, 10]) == (255, 0, 0, 255)
    # the picture is symmetric in both axes
    assert (img == img[::-1]).all() and (img == img[:, ::-1]).all()


def test_radii_name_corners_clockwise_from_top_left():
    surf = filled_surface(20, 20, BLUE)
    outline(surf, (0, 6, 6, 6), 2, (255, 0, 0))
    img = pixels(surf)
    assert tuple(img[0, 0]) == (255, 0, 0, 202)
    assert img[19, 0, 3] == img[0, 19, 3] == img[19, 19, 3] == 0


def test_clearing_limit_is_formed_in_double():
    # signed_dist of (1, 0) is exactly half_width + 0.5 rounded to single, which
    # lies above the limit in double: the pixel is cleared, not left as it was.
    surf = filled_surface(6, 6, BLUE)
    outline(surf, 4.5, 3.152498960494995, (255, 0, 0))
    img = pixels(surf)
    for xy in [(1, 0), (0, 1), (4, 0), (5, 1), (0, 4), (1, 5), (5, 4), (4, 5)]:
        assert tuple(img[xy]) == (0, 0, 255, 0), xy


def test_transparent_stroke_without_background_changes_nothing():
    surf = filled_surface(20, 20, BLUE)
    outline(surf, 6, 2, (255, 0, 0, 0))
    assert (pixels(surf) == BLUE).all()


def test_transparent_stroke_over_background_draws_background_only():
    surf = filled_surface(10, 10, BLUE)
    outline(surf, 0, 2, (255, 0, 0, 0), (0, 0, 255, 128))
    img = pixels(surf)
    assert (img[..., :2] == 0).all()
    expected = square_frame((0, 0, 0, 37), (0, 0, 0, 64), (0, 0, 0, 128), (0, 0, 0, 128))
    assert (img[..., 3] == expected[..., 3]).all()


@pytest.mark.parametrize("bg", [(0, 0, 255), [0, 0, 255], [0, 0, 255, 255], (0, 0, 255, 255, 9)])
def test_background_forms(bg):
    expected = filled_surface(20, 20, (10, 20, 30, 40))
    outline(expected, 6, 2, (255, 0, 0), (0, 0, 255, 255))
    surf = filled_surface(20, 20, (10, 20, 30, 40))
    outline(surf, 6, 2, (255, 0, 0), background_color=bg)
    assert (pixels(surf) == pixels(expected)).all()


@pytest.mark.parametrize("size", [(0, 0), (0, 7), (7, 0)])
def test_empty_surface(size):
    surf = pygame.Surface(size, pygame.SRCALPHA)
    assert outline(surf, 3, 2, (255, 0, 0), (1, 2, 3)) is None
    assert not surf.get_locked()


# ---------------------------------------------------------------------------
# Failures: nothing written, nothing left locked.


class Sized(pygame.Surface):
    def __init__(self, size, width):
        super().__init__(size, pygame.SRCALPHA)
        self.fill((9, 8, 7, 6))
        self.reported_width = width

    def get_width(self):
        return self.reported_width


class NoLen:
    def __getitem__(self, i):
        return 1


@pytest.mark.parametrize(
    "width, args, exc, message",
    [
        (5, (0, 2, None), TypeError, "object of type 'NoneType' has no len()"),
        (5, (0, 2, (1, 2)), IndexError, "tuple index out of range"),
        (5, (0, 2, ()), IndexError, "tuple index out of range"),
        (5, (0, 2, (1, 2, 3, "x")), TypeError, "an integer is required"),
        (5, (0, 2, (1, 2, 3, 2**40)), OverflowError, "value too large to convert to int"),
        (5, (0, 2, (-1, 2, 3)), OverflowError, "can't convert negative value to npy_uint8"),
        (5, (0, 2, (1, 2, 256)), OverflowError, "value too large to convert to npy_uint8"),
        (5, (0, 2, (1, 2, 3), (1, 2, 256)), OverflowError, "value too large to convert to npy_uint8"),
        (5, (0, 2, (1, 2, 3), (1, 2, 3, -1)), OverflowError,
         "can't convert negative value to npy_uint8"),
        (5, (0, 2, (1, 2, 3), [1, 2]), IndexError, "list index out of range"),
        (5, (0, 2, (1, 2, 3), 7), TypeError, "'int' object is not subscriptable"),
        (5, (0, 2, (1, 2, 3), NoLen()), TypeError, "object of type 'NoLen' has no len()"),
        (5, (object(), 2, (1, 2, 3)), TypeError, "object of type 'object' has no len()"),
        (5, ((1, 2, None, 4), 2, (1, 2, 3)), TypeError, None),
        ("5", (0, 2, (1, 2, 3)), TypeError, "an integer is required"),
        (2**31, (0, 2, (1, 2, 3)), OverflowError, "value too large to convert to int"),
        (6, (0, 2, (1, 2, 3)), ValueError, None),  # reports more columns than its views have
    ],
)
def test_failures_leave_surface_untouched(width, args, exc, message):
    surf = Sized((5, 4), width)
    before = pixels(surf)
    with pytest.raises(exc) as info:
        outline(surf, *args)
    if message is not None:
        assert str(info.value) == message
    assert not surf.get_locked()
    assert (pixels(surf) == before).all()


# ---------------------------------------------------------------------------
# Random cases against the numpy model, bit for bit.


@pytest.mark.parametrize("seed", range(500))
def test_random_cases_match_the_model(seed):
    w, h, radii, stroke_width, color, bg = random_case(random.Random(seed))
    before = random_content(np.random.default_rng(seed), w, h)
    surf = pygame.Surface((w, h), pygame.SRCALPHA)
    if w and h:
        put_pixels(surf, before)
    draw(surf, radii, stroke_width, color, bg)
    assert_same(surf, before, radii, stroke_width, color, bg)


def test_an_empty_surface_of_huge_height_returns_at_once():
    import time
    surf = pygame.Surface((0, 2**31 - 1), pygame.SRCALPHA)
    start = time.perf_counter()
    assert fs.transform_into_outlined_rounded_rect(surf, 3, 2.0, (1, 2, 3)) is None
    assert fs.transform_into_outlined_rounded_rect(surf, 3, 2.0, (1, 2, 3), (4, 5, 6)) is None
    assert time.perf_counter() - start < 1.0  # walking 2^31 empty rows took seconds
    assert not surf.get_locked()
