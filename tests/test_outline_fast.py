"""transform_into_outlined_rounded_rect by runs: the same bytes as the per-pixel rule.

Every call with finite, moderate values on a surface of packed 4-byte pixels
takes the run walker; the cases below compare it with the independent numpy
model of the rule in models/outlined_in_place.py, bit for bit, including values
that send the call back to the per-pixel loop.
"""

import math
import random

import numpy as np
import pygame
import pytest

from models.fake_host import FakeSurface, host_registry, returning
from models.outlined_in_place import assert_same, draw, random_content
from models.surfaces import pixels, put_pixels
from ralo_ui.fast.shapes import fast_shapes as fs

outline = fs.transform_into_outlined_rounded_rect

HUGE = [1e6, 1e30, 3e38, 2.0**60, 2.0**61, math.inf, -math.inf, math.nan]


def random_radius(rng, w, h):
    roll = rng.random()
    if roll < 0.15:
        return 0
    if roll < 0.25:
        return rng.choice(HUGE)
    if roll < 0.35:
        return rng.uniform(-4, 1)
    if roll < 0.55:
        return rng.uniform(0.4, 0.6) * min(w, h)  # about half the box, or beyond
    if roll < 0.75:
        return float(rng.randint(0, 16))
    return rng.uniform(0, 20)


def random_radii(rng, w, h):
    """One radius, or four with the mirror symmetries on and off."""
    kind = rng.choice(["one", "all", "sides", "rows", "free"])
    a, b = random_radius(rng, w, h), random_radius(rng, w, h)
    if kind == "one":
        return a
    if kind == "all":
        return (a, a, a, a)
    if kind == "sides":  # left equals right in each half
        return (a, a, b, b)
    if kind == "rows":  # top equals bottom on each side
        return (a, b, b, a)
    return tuple(random_radius(rng, w, h) for _ in range(4))


def random_width(rng, w, h):
    roll = rng.random()
    if roll < 0.05:
        return rng.choice(HUGE + [-3.0, 2.0**62])
    if roll < 0.15:
        return rng.uniform(0.3, 1.0) * max(w, h)  # the stroke fills much or all of it
    if roll < 0.3:
        return float(rng.randint(0, 6))
    if roll < 0.4:
        return rng.randint(0, 6) + 0.5
    return rng.uniform(0, 8)


def random_color(rng):
    rgb = tuple(rng.randint(0, 255) for _ in range(3))
    roll = rng.random()
    if roll < 0.3:
        return rgb
    if roll < 0.4:
        return rgb + (rng.choice([0, 255, -1, 256, 1000, -(2**31), 2**31 - 1]),)
    return rgb + (rng.randint(1, 254),)


def random_case(rng):
    if rng.random() < 0.5:
        w, h = rng.randint(1, 40), rng.randint(1, 40)
    else:
        w, h = rng.randint(40, 300), rng.randint(20, 200)
    bg = None
    if rng.random() < 0.5:
        bg = (rng.randint(0, 255), rng.randint(0, 255), rng.randint(0, 255))
        if rng.random() < 0.6:
            bg += (rng.choice([0, 255, rng.randint(1, 254)]),)
    return w, h, random_radii(rng, w, h), random_width(rng, w, h), random_color(rng), bg


@pytest.mark.parametrize("seed", range(200))
def test_runs_match_the_rule(seed):
    rng = random.Random(seed)
    w, h, radii, stroke_width, color, bg = random_case(rng)
    before = random_content(np.random.default_rng(seed), w, h)
    surf = pygame.Surface((w, h), pygame.SRCALPHA)
    put_pixels(surf, before)
    draw(surf, radii, stroke_width, color, bg)
    assert_same(surf, before, radii, stroke_width, color, bg)


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


# Channel orders in memory, and a subsurface whose rows lie further apart than its width.
LAYOUTS = {
    "rgba": (0xFF, 0xFF00, 0xFF0000, 0xFF000000),
    "abgr": (0xFF000000, 0xFF0000, 0xFF00, 0xFF),
    "argb": (0xFF00, 0xFF0000, 0xFF000000, 0xFF),
    "subsurface": None,
}


def layout_surface(layout, w, h):
    if layout == "subsurface":
        parent = pygame.Surface((w + 7, h + 5), pygame.SRCALPHA)
        parent.fill((1, 2, 3, 4))
        return parent.subsurface((3, 2, w, h)), parent
    return pygame.Surface((w, h), pygame.SRCALPHA, 32, LAYOUTS[layout]), None


@pytest.mark.parametrize("layout", LAYOUTS)
@pytest.mark.parametrize("seed", range(6))
def test_runs_match_the_rule_in_other_layouts(layout, seed):
    rng = random.Random(1000 + seed)
    w, h = rng.randint(30, 120), rng.randint(20, 90)
    radii = random_radii(rng, w, h)
    stroke_width, color = rng.uniform(0.5, 6), random_color(rng)
    bg = None if seed % 2 else (9, 99, 199, rng.randint(0, 255))
    before = random_content(np.random.default_rng(seed), w, h)
    surf, parent = layout_surface(layout, w, h)
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


def outline_planar(color, alpha, *args):
    """The call on separate colour and alpha planes (no packed words): the per-pixel loop."""
    with host_registry(returning(color, alpha)):
        outline(FakeSurface(*alpha.shape), *args)


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
        with host_registry(returning(words[..., :3].transpose(1, 0, 2), words[..., 3].T)):
            outline(FakeSurface(w, h), *args)
        outline_planar(color, alpha, *args)
        assert np.array_equal(words[..., :3].transpose(1, 0, 2), color)
        assert np.array_equal(words[..., 3].T, alpha)
        assert np.array_equal(np.concatenate([buf[:offset], buf[offset + w * h * 4:]]), outside)


def test_a_surface_larger_than_the_cache_with_a_background():
    """A surface beyond half the last-level cache, whose painted runs bypass the cache: the
    bytes of the per-pixel loop."""
    w, h = 2400, 2000  # 19.2 MB
    surf = pygame.Surface((w, h), pygame.SRCALPHA)
    surf.fill((30, 60, 90, 200))
    rgb = pygame.surfarray.pixels3d(surf)
    rgb[::97, ::89] = (1, 2, 3)  # breaks in the runs
    del rgb
    color = np.array(pygame.surfarray.pixels3d(surf))
    alpha = np.array(pygame.surfarray.pixels_alpha(surf))
    for args in [(37.5, 9.25, (200, 100, 50, 255), (10, 200, 30, 255)), (3, 2.0, (9, 9, 9, 90), (1, 1, 1))]:
        outline(surf, *args)
        outline_planar(color, alpha, *args)
        assert np.array_equal(pygame.surfarray.pixels3d(surf), color)
        assert np.array_equal(pygame.surfarray.pixels_alpha(surf), alpha)
        assert not surf.get_locked()
    # The same words one byte into a buffer: no store may assume 4-byte alignment.
    buf = np.zeros(w * h * 4 + 1, np.uint8)
    words = buf[1:].reshape(h, w, 4)
    words[..., :3], words[..., 3] = color.transpose(1, 0, 2), alpha.T
    args = (5, 1.5, (1, 2, 3, 255), (200, 201, 202, 255))
    with host_registry(returning(words[..., :3].transpose(1, 0, 2), words[..., 3].T)):
        outline(FakeSurface(w, h), *args)
    outline_planar(color, alpha, *args)
    assert np.array_equal(words[..., :3].transpose(1, 0, 2), color) and np.array_equal(words[..., 3].T, alpha)
    assert buf[0] == 0


@pytest.mark.parametrize("bg", [None, (10, 200, 30, 77)])
@pytest.mark.parametrize("radii, stroke_width", [(300, 3.5), ((300.5, 270, 270, 300.5), 3.5), ((20, 290, 290, 20), 3.5),
                                                 (258, 400.0)])  # few runs a row, more rows than kept
def test_corners_taller_than_the_mirrored_rows_kept(radii, stroke_width, bg):
    """Corners of some hundred rows, mirrored top to bottom: more rows and runs than the lower
    half can replay from the upper one's record, so the rest are drawn afresh."""
    w, h = 650, 620
    before = random_content(np.random.default_rng(11), w, h)
    surf = pygame.Surface((w, h), pygame.SRCALPHA)
    put_pixels(surf, before)
    draw(surf, radii, stroke_width, (200, 100, 50, 180), bg)
    assert_same(surf, before, radii, stroke_width, (200, 100, 50, 180), bg)


@pytest.mark.parametrize("long_side", ["width", "height"])
def test_a_side_longer_than_the_run_walker_takes(long_side):
    """One row or one column of 2^23 + 1 packed pixels goes to the per-pixel loop: its bytes."""
    n = 2**23 + 1
    words = np.zeros((1, n, 4) if long_side == "width" else (n, 1, 4), np.uint8)
    words[..., 3] = 255
    words.reshape(-1, 4)[::3] = (50, 60, 70, 128)
    color, alpha = np.array(words[..., :3].transpose(1, 0, 2)), np.array(words[..., 3].T)
    args = (0.25, 0.75, (200, 100, 50, 255), (1, 2, 3, 255))
    with host_registry(returning(words[..., :3].transpose(1, 0, 2), words[..., 3].T)):
        outline(FakeSurface(*alpha.shape), *args)
    outline_planar(color, alpha, *args)
    assert np.array_equal(words[..., :3].transpose(1, 0, 2), color)
    assert np.array_equal(words[..., 3].T, alpha)
