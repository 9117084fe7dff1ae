# What the benchmark measures: each module call with its floor, at one size.
"""The benchmark's cases (bench.py, kernels.py, sweep.py).

Each case is a module function with fresh arguments for it and its peers, and
its floor: the least work any implementation of the operation must do in
pygame (see bench.py).
"""
import functools
from typing import Callable, NamedTuple

from ralo_ui.core.modules import pygame  # the toolkit's own binding (quiet import)
from ralo_ui.fast.shapes import fast_shapes as fs

STROKE = 2.0
COLOR = (40, 120, 220)
STROKE_COLOR = (235, 235, 235)
BACKGROUND = (30, 30, 30)
CONTENT = (200, 160, 40, 255)  # what an in-place operation finds in the surface



def content(w, h):
    surf = pygame.Surface((w, h), pygame.SRCALPHA)
    surf.fill(CONTENT)
    return surf


def _surface_fill_views(size, color):
    surf = pygame.Surface(size, pygame.SRCALPHA)
    surf.fill(color)
    pygame.surfarray.pixels3d(surf)
    pygame.surfarray.pixels_alpha(surf)


def _views(surf):
    pygame.surfarray.pixels3d(surf)
    pygame.surfarray.pixels_alpha(surf)


def _fill_and_views(surf, color):
    surf.fill(color)
    pygame.surfarray.pixels3d(surf)
    pygame.surfarray.pixels_alpha(surf)


def fill(surf, color):
    surf.fill(color)


# Trivial functions behind a bare lru_cache: the cost of a hit and nothing else.
@functools.lru_cache(maxsize=256)
def _lru3(size, radii, color):
    return size


@functools.lru_cache(maxsize=256)
def _lru4(size, radius, width, color):
    return size


class Case(NamedTuple):
    name: str  # the row's operation
    key: str  # its entry in peers.PEERS and TARGETS
    fn: Callable  # the module function
    args: Callable  # fresh arguments for the module function and its peers
    floor_name: str
    floor_fn: Callable
    floor_args: Callable


def cases(w, h, r):
    size, radii = (w, h), (r, r, r, r)
    return [
        Case("_create_rounded_rect_surface_optimized", "filled", fs._create_rounded_rect_surface_optimized,
             lambda: (size, radii, COLOR), "Surface+fill+views", _surface_fill_views, lambda: (size, COLOR)),
        Case("_create_outlined_rounded_rect_sdf", "outlined", fs._create_outlined_rounded_rect_sdf,
             lambda: (size, r, STROKE, STROKE_COLOR), "Surface+fill+views", _surface_fill_views,
             lambda: (size, (0, 0, 0, 0))),
        Case("transform_into_rounded_rect", "round", fs.transform_into_rounded_rect,
             lambda: (content(w, h), r), "views", _views, lambda: (content(w, h),)),
        Case("transform_into_rounded_rect +colour", "round+colour", fs.transform_into_rounded_rect,
             lambda: (content(w, h), r, COLOR), "fill+views", _fill_and_views,
             lambda: (content(w, h), COLOR)),
        Case("transform_into_outlined_rounded_rect", "outline", fs.transform_into_outlined_rounded_rect,
             lambda: (content(w, h), r, STROKE, STROKE_COLOR), "views", _views, lambda: (content(w, h),)),
        Case("transform_into_outlined_rounded_rect +bg", "outline+bg",
             fs.transform_into_outlined_rounded_rect,
             lambda: (content(w, h), r, STROKE, STROKE_COLOR, BACKGROUND), "fill", fill,
             lambda: (content(w, h), BACKGROUND)),
        # the calibration's warm-up call is the miss that fills the entry every later call hits
        Case("create_rounded_rect_surface (hit)", "hit", fs.create_rounded_rect_surface,
             lambda: (size, radii, COLOR), "lru_cache hit", _lru3, lambda: (size, radii, COLOR)),
        Case("create_outlined_rounded_rect_sdf (hit)", "hit", fs.create_outlined_rounded_rect_sdf,
             lambda: (size, r, STROKE, STROKE_COLOR), "lru_cache hit", _lru4,
             lambda: (size, r, STROKE, STROKE_COLOR)),
    ]
