# Type stubs of the native module draw: shapes held to their exact geometry (soft shadows).
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
