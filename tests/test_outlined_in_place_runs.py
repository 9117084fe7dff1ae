"""transform_into_outlined_rounded_rect by runs: the same bytes as the per-pixel rule.

Every call with finite, moderate values on a surface of packed 4-byte pixels
takes the run walker, which evaluates the rule only where neighbouring pixels
can differ and paints the rest as runs of equal words.  The cases below hold it
to the numpy model of the rule (models/outlined_in_place.py), or to the
per-pixel loop on separate planes, bit for bit: in every byte order, from every
byte offset, and at the values that send the call back to the per-pixel loop.
"""

import math
import random

import numpy as np
import pygame
import pytest

from models.layouts import ORDERS, surface
from models.outlined_in_place import (assert_same, draw, draw_planar, draw_words, random_color, random_content,
                                      random_radii)
from models.surfaces import pixels, put_pixels


@pytest.mark.parametrize("period", [2, 3])
def test_runs_over_zero_words_beside_drawn_ones(period):
    """A blended run over transparent black between opaque columns: each zero word gets its
    own composite, not the last one the run formed."""
    w, h = 40, 30
    before = np.zeros((w, h, 4), np.uint8)
    before[::period] = (200, 10, 10, 255)
    surf = pygame.Surface((w, h), pygame.SRCALPHA)
    put_pixels(surf, before)
    draw(surf, 6, 4.0, (0, 0, 255, 128), None)
    assert_same(surf, before, 6, 4.0, (0, 0, 255, 128), None)


# Every byte order, and a subsurface whose rows lie further apart than its width.
@pytest.mark.parametrize("layout", [*ORDERS, "subsurface"])
@pytest.mark.parametrize("seed", range(6))
def test_runs_match_the_rule_in_other_layouts(layout, seed):
    rng = random.Random(1000 + seed)
    w, h = rng.randint(30, 120), rng.randint(20, 90)
    radii = random_radii(rng, w, h)
    stroke_width, color = rng.uniform(0.5, 6), random_color(rng)
    bg = None if seed % 2 else (9, 99, 199, rng.randint(0, 255))
    before = random_content(np.random.default_rng(seed), w, h)
    if layout == "subsurface":
        parent = pygame.Surface((w + 7, h + 5), pygame.SRCALPHA)
        parent.fill((1, 2, 3, 4))
        surf = parent.subsurface((3, 2, w, h))
    else:
        parent, surf = None, surface(layout, w, h)
    put_pixels(surf, before)
    outside = None if parent is None else pixels(parent)
    draw(surf, radii, stroke_width, color, bg)
    assert_same(surf, before, radii, stroke_width, color, bg)
    if parent is not None:  # nothing beyond the subsurface is touched
        after = pixels(parent)
        after[3:3 + w, 2:2 + h] = outside[3:3 + w, 2:2 + h]
        assert (after == outside).all()


@pytest.mark.parametrize("with_bg", [False, True])
@pytest.mark.parametrize(
    "radii, stroke_width",
    [
        # on either side of the bound on radii and half widths the runs rely on
        (2.0**60 + 1.0, 2.0),
        (2.0**61, 2.0),
        (5.0, 2.0**61),
        (5.0, 2.0**62),
        ((0, 2.0**60, 3, math.nan), 1.5),
        ((math.inf, 1, 2, 3), 1.5),  # each corner's radius beyond the bound
        ((1, math.inf, 2, 3), 1.5),
        ((1, 2, math.inf, 3), 1.5),
        ((1, 2, 3, 2.0**61), 1.5),
        # wider than the surface, and every pixel inside the stroke's ramp
        (3.0, 500.0),
        (0.0, 0.0),
        (50.0, -7.0),
    ],
)
def test_extreme_values(radii, stroke_width, with_bg):
    w, h = 61, 40
    before = random_content(np.random.default_rng(7), w, h)
    surf = pygame.Surface((w, h), pygame.SRCALPHA)
    put_pixels(surf, before)
    bg = (10, 200, 30, 77) if with_bg else None
    draw(surf, radii, stroke_width, (200, 100, 50, 180), bg)
    assert_same(surf, before, radii, stroke_width, (200, 100, 50, 180), bg)


@pytest.mark.parametrize("offset", [0, 1, 2, 3])
@pytest.mark.parametrize("w", [1, 3, 7, 9, 33])
def test_packed_words_at_any_byte_offset(offset, w):
    """Packed pixels that start at any byte of a buffer (words not aligned to 4 bytes), in rows
    shorter and longer than one vector store: the per-pixel loop's bytes, and nothing written
    outside the pixels."""
    h = 7
    nrng = np.random.default_rng(offset * 100 + w)
    buf = nrng.integers(0, 256, w * h * 4 + 8, dtype=np.uint8)
    words = buf[offset:offset + w * h * 4].reshape(h, w, 4)
    words[:, : w // 2] = (5, 6, 7, 8)  # runs of equal words too
    color, alpha = np.array(words[..., :3].transpose(1, 0, 2)), np.array(words[..., 3].T)
    outside = np.concatenate([buf[:offset], buf[offset + w * h * 4:]])
    for args in [(2, 1.5, (200, 100, 50, 255), (10, 20, 30, 255)), (0, 0.0, (1, 2, 3), (9, 8, 7))]:
        draw_words(words, *args)
        draw_planar(color, alpha, *args)
        assert np.array_equal(words[..., :3].transpose(1, 0, 2), color)
        assert np.array_equal(words[..., 3].T, alpha)
        assert np.array_equal(np.concatenate([buf[:offset], buf[offset + w * h * 4:]]), outside)


@pytest.mark.parametrize("offset", range(8))
def test_painted_runs_at_every_alignment(offset):
    """Runs of every length from every 4-byte offset within 32 bytes (the fills' first and last stores)."""
    for w in [*range(1, 21), 31, 32, 33, 47, 64, 65]:
        parent = pygame.Surface((w + 8, 6), pygame.SRCALPHA)
        surf = parent.subsurface((offset, 1, w, 4))
        before = random_content(np.random.default_rng(w), w, 4)
        put_pixels(surf, before)
        draw(surf, 1.0, 1.0, (240, 20, 20, 255), (10, 220, 30))
        assert_same(surf, before, 1.0, 1.0, (240, 20, 20, 255), (10, 220, 30))
        assert (np.asarray(pygame.surfarray.pixels2d(parent))[w + offset:, :] == 0).all(), w  # nothing past the row


@pytest.mark.parametrize("long_side", ["width", "height"])
def test_a_side_longer_than_the_run_walker_takes(long_side):
    """One row or one column of 2^23 + 1 packed pixels goes to the per-pixel loop: its bytes."""
    n = 2**23 + 1
    words = np.zeros((1, n, 4) if long_side == "width" else (n, 1, 4), np.uint8)
    words[..., 3] = 255
    words.reshape(-1, 4)[::3] = (50, 60, 70, 128)
    color, alpha = np.array(words[..., :3].transpose(1, 0, 2)), np.array(words[..., 3].T)
    args = (0.25, 0.75, (200, 100, 50, 255), (1, 2, 3, 255))
    draw_words(words, *args)
    draw_planar(color, alpha, *args)
    assert np.array_equal(words[..., :3].transpose(1, 0, 2), color)
    assert np.array_equal(words[..., 3].T, alpha)
