# Type stubs of the native module draw: shapes held to their exact geometry (soft shadows, and
# rounded rects and shadows drawn straight into a surface).
from collections.abc import Sequence
from functools import lru_cache as lru_cache
from typing import SupportsFloat, SupportsIndex, TypeAlias

import pygame
from ralo_ui.core import modules

# The module keeps the host registry and lru_cache in its namespace.
md = modules

# A number the float conversion takes.
Number: TypeAlias = SupportsFloat | SupportsIndex
# (width, height) in pixels; each item is truncated toward zero to an int.
Size: TypeAlias = tuple[float, float]
# (red, green, blue) or (red, green, blue, alpha), each 0..255.
ShadowColor: TypeAlias = tuple[int, int, int] | tuple[int, int, int, int]
# Corner radii clockwise from the top-left (top-left, top-right, bottom-right, bottom-left),
# or one radius for all four.
RadiiInput: TypeAlias = float | Sequence[float]

def shadow_margin(blur: Number, spread: Number = 0) -> int:
    """The margin a shadow surface has on every side of its shape."""

def _create_shadow_surface(
    size: Size, radii_input: RadiiInput, blur: Number, color: ShadowColor, spread: Number = 0
) -> pygame.Surface:
    """New surface holding the soft shadow of a rounded rectangle, padded by shadow_margin()."""

@lru_cache(maxsize=256)
def _get_cached_shadow_surface(
    size: Size, radii: tuple[float, float, float, float], blur: Number, color: ShadowColor, spread: Number
) -> pygame.Surface:
    """Cached shadow surface; equal arguments return the same surface."""

def create_shadow_surface(
    size: Size, radii_input: RadiiInput, blur: Number, color: ShadowColor, spread: Number = 0
) -> pygame.Surface:
    """Shadow surface from a 256-entry cache: the returned surface is shared."""

# Anything pygame takes as a colour: a Color, a sequence of 3 or 4 ints, an int the surface
# maps to a colour, or a colour's name.
ColorValue: TypeAlias = pygame.Color | Sequence[int] | int | str
# A rect: a Rect, an FRect or any four numbers (x, y, width, height), or ((x, y), (width, height)).
RectValue: TypeAlias = pygame.Rect | Sequence[float] | tuple[Sequence[float], Sequence[float]]

def rounded_rect(
    surface: pygame.Surface,
    color: ColorValue,
    rect: RectValue,
    width: Number = 0,
    border_radius: Number = 0,
    border_top_left_radius: Number = -1,
    border_top_right_radius: Number = -1,
    border_bottom_left_radius: Number = -1,
    border_bottom_right_radius: Number = -1,
) -> pygame.Rect:
    """Anti-aliased pygame.draw.rect: a fill (width 0) or a border drawn straight into surface."""

def shadow(
    surface: pygame.Surface,
    color: ColorValue,
    rect: RectValue,
    blur: Number,
    spread: Number = 0,
    border_radius: Number = 0,
    border_top_left_radius: Number = -1,
    border_top_right_radius: Number = -1,
    border_bottom_left_radius: Number = -1,
    border_bottom_right_radius: Number = -1,
) -> pygame.Rect:
    """The soft shadow of a rounded rect composited straight into surface."""
