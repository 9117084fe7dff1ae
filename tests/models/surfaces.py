"""Reading and writing a surface's pixels around the calls under test."""
import numpy as np
import pygame


def planes(surf, *, shared=False):
    """Copies of the colour and alpha planes ([x, y]) of a surface that no view keeps locked.

    shared: other threads may read the surface at the same moment (a cached surface), so its
    lock says nothing about the call under test and is not checked."""
    if not shared:
        assert not surf.get_locked()
    return np.array(pygame.surfarray.pixels3d(surf)), np.array(pygame.surfarray.pixels_alpha(surf))


def pixels(surf, *, shared=False):
    """The (w, h, 4) samples of a surface, red, green, blue and alpha, copied."""
    return np.dstack(planes(surf, shared=shared))


def put_pixels(surf, rgba):
    """Writes (w, h, 4) samples into a surface; no view is kept."""
    pygame.surfarray.pixels3d(surf)[...] = rgba[..., :3]
    pygame.surfarray.pixels_alpha(surf)[...] = rgba[..., 3]


def filled_surface(w, h, color):
    """A w x h surface with per-pixel alpha, filled with one colour."""
    surf = pygame.Surface((w, h), pygame.SRCALPHA)
    surf.fill(color)
    return surf


def random_surface(rng, w, h):
    """A w x h surface with per-pixel alpha and random samples (rng: numpy's Generator)."""
    surf = pygame.Surface((w, h), pygame.SRCALPHA)
    pygame.surfarray.pixels3d(surf)[...] = rng.integers(0, 256, (w, h, 3))
    pygame.surfarray.pixels_alpha(surf)[...] = rng.integers(0, 256, (w, h))
    return surf
