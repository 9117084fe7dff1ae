# Type stubs of the native module: anti-aliased rounded rectangles as pygame surfaces.
from collections.abc import Sequence
from functools import lru_cache as lru_cache
from typing import SupportsInt, TypeAlias

import numpy
import pygame
from ralo_ui.core import modules

# The module keeps the host registry, numpy and lru_cache in its namespace.
md = modules
np = numpy
__test__: dict[str, object]  # empty: the functions carry no doctests

# (width, height) in pixels; each item is truncated toward zero to an int.
_Size: TypeAlias = tuple[float, float]
# (red, green, blue) or (red, green, blue, alpha), each 0..255.
_Color: TypeAlias = tuple[int, int, int] | tuple[int, int, int, int]
# Corner radii clockwise from the top-left: top-left, top-right, bottom-right, bottom-left.
_Radii4: TypeAlias = tuple[float, float, float, float]
# One radius for all four corners, or four radii as above; a sequence of any
# other length leaves every corner square.
_RadiiInput: TypeAlias = float | Sequence[float]

def _create_outlined_rounded_rect_sdf(
    size: _Size, radius: SupportsInt, width: float, color: _Color
) -> pygame.Surface:
    """New surface holding the outline of a rounded rectangle that spans it."""

def _create_rounded_rect_surface_optimized(
    size: _Size, radii_input: _RadiiInput, color: _Color
) -> pygame.Surface:
    """New surface filled with ``color`` whose corners are rounded."""

def transform_into_outlined_rounded_rect(
    surf: pygame.Surface,
    radii_input: _RadiiInput,
    stroke_width: float,
    color: _Color,
    background_color: Sequence[int] | None = None,
) -> None:
    """Draws an outline framing ``surf`` in place, over its content or over ``background_color``."""

def transform_into_rounded_rect(
    surf: pygame.Surface, radii_input: _RadiiInput, color: Sequence[int] | None = None
) -> None:
    """Cuts the corners of ``surf`` in place, after filling it with ``color`` if one is given."""

@lru_cache(maxsize=256)
def _get_cached_rounded_rect_surface(size: _Size, radii: _Radii4, color: _Color) -> pygame.Surface:
    """Cached filled rounded rectangle; equal arguments return the same surface."""

def create_rounded_rect_surface(
    size: _Size, radii_input: _Radii4 | list[float], color: _Color
) -> pygame.Surface:
    """Filled rounded rectangle from a 256-entry cache: the returned surface is shared."""

@lru_cache(maxsize=256)
def _get_cached_outlined_rounded_rect_sdf(
    size: _Size, radius: SupportsInt, width: float, color: _Color
) -> pygame.Surface:
    """Cached outlined rounded rectangle; equal arguments return the same surface."""

def create_outlined_rounded_rect_sdf(
    size: _Size, radius: SupportsInt, width: float, color: _Color
) -> pygame.Surface:
    """Outlined rounded rectangle from a 256-entry cache: the returned surface is shared."""
