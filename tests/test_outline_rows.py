"""transform_into_outlined_rounded_rect in row order: mirrored corners and surfaces past the caches.

The in-place outline writes rows top to bottom; with equal top and bottom
radii the bottom corners replay what the top corners wrote, up to a fixed
capacity, and draw the rest again.  Surfaces of half the last-level cache or
more get their painted runs stored past the caches.  Both must leave the
same bytes as the per-pixel rule.
"""

import subprocess
from pathlib import Path

import numpy as np
import pygame
import pytest

from models.outlined_in_place import assert_same, draw, random_content
from models.surfaces import put_pixels


@pytest.mark.parametrize("with_bg", [False, True])
@pytest.mark.parametrize(
    "size, radii",
    [
        ((600, 601), 290.0),  # corner rows beyond what the log holds
        ((601, 600), (290.0, 120.5, 120.5, 290.0)),  # unequal sides, each side its own log
        ((64, 7), 30.0),  # a height of a few rows: the middle row is top
        ((3, 900), (1.0, 1.0, 1.0, 1.0)),
    ],
)
def test_mirrored_rows_match_the_rule(size, radii, with_bg):
    w, h = size
    before = random_content(np.random.default_rng(w * h), w, h)
    surf = pygame.Surface(size, pygame.SRCALPHA)
    put_pixels(surf, before)
    bg = (20, 200, 90, 170) if with_bg else None
    draw(surf, radii, 5.5, (250, 10, 60, 200), bg)
    assert_same(surf, before, radii, 5.5, (250, 10, 60, 200), bg)


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
