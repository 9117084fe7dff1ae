"""transform_into_outlined_rounded_rect in row order: paired rows and surfaces past the caches.

The in-place outline writes rows top to bottom, each once.  Where the top and
bottom radii of a side are equal, each corner row of the top half is written
together with its partner, the row as far from the bottom (the same outcomes at
the same columns), which is then not walked again.  Surfaces of half the
last-level cache or more get their painted runs stored past the caches.  Both
must leave the same bytes as the per-pixel rule.
"""

import subprocess
from pathlib import Path

import numpy as np
import pygame
import pytest

from models.outlined_in_place import assert_same, draw, draw_planar, draw_words, random_content
from models.surfaces import put_pixels


@pytest.mark.parametrize("with_bg", [False, True])
@pytest.mark.parametrize(
    "size, radii",
    [
        ((600, 601), 290.0),  # some hundred pairs of corner rows
        ((601, 600), (290.0, 120.5, 120.5, 290.0)),  # unequal sides, each pairing its own corner rows
        ((64, 7), 30.0),  # a height of a few rows: the middle row has no partner
        ((3, 900), (1.0, 1.0, 1.0, 1.0)),
    ],
)
def test_paired_rows_match_the_rule(size, radii, with_bg):
    w, h = size
    before = random_content(np.random.default_rng(w * h), w, h)
    surf = pygame.Surface(size, pygame.SRCALPHA)
    put_pixels(surf, before)
    bg = (20, 200, 90, 170) if with_bg else None
    draw(surf, radii, 5.5, (250, 10, 60, 200), bg)
    assert_same(surf, before, radii, 5.5, (250, 10, 60, 200), bg)


@pytest.mark.parametrize("bg", [None, (10, 200, 30, 77)])
@pytest.mark.parametrize("radii, stroke_width", [(300, 3.5), ((300.5, 270, 270, 300.5), 3.5), ((20, 290, 290, 20), 3.5),
                                                 (258, 400.0)])  # a stroke wider than the corners: few runs a row
def test_corners_of_hundreds_of_paired_rows(radii, stroke_width, bg):
    """Corners of some hundred rows, each written together with its partner in the bottom half,
    on sides of one height and of two: the rule's bytes."""
    w, h = 650, 620
    before = random_content(np.random.default_rng(11), w, h)
    surf = pygame.Surface((w, h), pygame.SRCALPHA)
    put_pixels(surf, before)
    draw(surf, radii, stroke_width, (200, 100, 50, 180), bg)
    assert_same(surf, before, radii, stroke_width, (200, 100, 50, 180), bg)


def last_level_cache():
    """What the module goes by: the kernel's report, else the C library's."""
    sizes = []
    for index in Path("/sys/devices/system/cpu/cpu0/cache").glob("index*"):
        text = (index / "size").read_text().strip()
        unit = {"K": 1 << 10, "M": 1 << 20}.get(text[-1], 1)
        sizes.append(int(text.rstrip("KM")) * unit)
    if sizes:
        return max(sizes)
    for name in ("LEVEL3_CACHE_SIZE", "LEVEL2_CACHE_SIZE"):
        try:
            run = subprocess.run(["getconf", name], capture_output=True, text=True)
        except OSError:  # no getconf (Windows)
            return 0
        if run.returncode == 0 and run.stdout.strip().isdigit() and int(run.stdout) > 0:
            return int(run.stdout)
    return 0


def test_streamed_surface_matches_a_short_one():
    """Past the caches: each row equals the same row of a short surface of the same width.

    A row's pixels depend on its distance to the nearer edge, not on the height;
    the short surface is drawn with ordinary stores.
    """
    cache = last_level_cache()
    if not 0 < cache <= 256 << 20:
        pytest.skip("the last-level cache is unknown or too large to go past here")
    w = 4099  # odd: the rows' runs start off every alignment in turn
    tall = cache // (2 * 4 * w) + 64
    short = 48
    args = (16.0, 3.0, (235, 235, 235), (30, 30, 30))
    surfs = {}
    for h in (tall, short):
        surfs[h] = pygame.Surface((w, h), pygame.SRCALPHA)
        surfs[h].fill((200, 160, 40, 255))
        draw(surfs[h], args[0], *args[1:3], args[3])
    big = np.asarray(pygame.surfarray.pixels2d(surfs[tall])).T
    small = np.asarray(pygame.surfarray.pixels2d(surfs[short])).T
    edge = short // 2
    assert (big[:edge] == small[:edge]).all()
    assert (big[-edge:] == small[-edge:]).all()
    assert (big[edge:-edge] == small[edge]).all()


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
        draw(surf, *args)
        draw_planar(color, alpha, *args)
        assert np.array_equal(pygame.surfarray.pixels3d(surf), color)
        assert np.array_equal(pygame.surfarray.pixels_alpha(surf), alpha)
        assert not surf.get_locked()
    # The same words one byte into a buffer: no store may assume 4-byte alignment.
    buf = np.zeros(w * h * 4 + 1, np.uint8)
    words = buf[1:].reshape(h, w, 4)
    words[..., :3], words[..., 3] = color.transpose(1, 0, 2), alpha.T
    args = (5, 1.5, (1, 2, 3, 255), (200, 201, 202, 255))
    draw_words(words, *args)
    draw_planar(color, alpha, *args)
    assert np.array_equal(words[..., :3].transpose(1, 0, 2), color) and np.array_equal(words[..., 3].T, alpha)
    assert buf[0] == 0
