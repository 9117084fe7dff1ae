# Type stubs of the native module: anti-aliased rounded rectangles as pygame surfaces.
from collections.abc import Callable, Sequence
from functools import _CacheInfo, _CacheParameters
from functools import lru_cache as lru_cache
from typing import Generic, ParamSpec, SupportsInt, TypeAlias, TypeVar

import numpy
import pygame
from ralo_ui.core import modules

# The module keeps the host registry, numpy and lru_cache in its namespace.
md = modules
np = numpy
__test__: dict[str, object]  # empty: the functions carry no doctests

# A colour as the functions take it: exactly a tuple (no pygame.Color, no list) of red, green,
# blue and optionally alpha, each 0..255.  For type checkers only, the module has no such name:
#     if typing.TYPE_CHECKING:
#         from ralo_ui.fast.shapes.fast_shapes import ColorTuple
ColorTuple: TypeAlias = tuple[int, int, int] | tuple[int, int, int, int]
# (width, height) in pixels, exactly a tuple; each item is truncated toward zero to an int.
_Size: TypeAlias = tuple[float, float]
# One radius for all four corners, or four radii clockwise from the top-left: top-left,
# top-right, bottom-right, bottom-left.  A sequence of any other length leaves every corner
# square.
_Radii: TypeAlias = float | Sequence[float]

_P = ParamSpec("_P")
_R = TypeVar("_R")

class _Native(Generic[_P, _R]):
    """A function of the module: called as its signature says."""

    # The kernel table the module draws with, chosen once at import: "baseline" or "avx2+fma".
    _kernels: str
    def __init__(self, function: Callable[_P, _R]) -> None: ...
    def __call__(self, *args: _P.args, **kwargs: _P.kwargs) -> _R: ...

class _Cached(Generic[_P, _R]):
    """A function of the module inside its own functools.lru_cache of 256 entries."""

    __wrapped__: _Native[_P, _R]
    def __init__(self, function: Callable[_P, _R]) -> None: ...
    def __call__(self, *args: _P.args, **kwargs: _P.kwargs) -> _R: ...
    def cache_clear(self) -> None: ...
    def cache_info(self) -> _CacheInfo: ...
    def cache_parameters(self) -> _CacheParameters: ...

@_Native
def _create_outlined_rounded_rect_sdf(
    size: _Size, radius: SupportsInt, width: float, color: ColorTuple
) -> pygame.Surface:
    """New surface holding the outline of a rounded rectangle that spans it."""

@_Native
def _create_rounded_rect_surface_optimized(
    size: _Size, radii_input: _Radii, color: ColorTuple
) -> pygame.Surface:
    """New surface filled with ``color`` whose corners are rounded."""

@_Native
def transform_into_outlined_rounded_rect(
    surf: pygame.Surface,
    radii_input: _Radii,
    stroke_width: float,
    color: ColorTuple,
    background_color: Sequence[int] | pygame.Color | None = None,
) -> None:
    """Draws an outline framing ``surf`` in place, over its content or over ``background_color``."""

@_Native
def transform_into_rounded_rect(
    surf: pygame.Surface, radii_input: _Radii, color: Sequence[int] | pygame.Color | None = None
) -> None:
    """Cuts the corners of ``surf`` in place, after filling it with ``color`` if one is given."""

@_Cached
def _get_cached_rounded_rect_surface(
    size: _Size, radii: tuple[float, ...], color: ColorTuple
) -> pygame.Surface:
    """Cached filled rounded rectangle; equal arguments return the same surface."""

# The radii as a tuple or a list (made a tuple for the cache); any other sequence, and a single
# number, is refused.
@_Native
def create_rounded_rect_surface(
    size: _Size, radii_input: Sequence[float], color: ColorTuple
) -> pygame.Surface:
    """Filled rounded rectangle from a 256-entry cache: the returned surface is shared."""

@_Cached
def _get_cached_outlined_rounded_rect_sdf(
    size: _Size, radius: SupportsInt, width: float, color: ColorTuple
) -> pygame.Surface:
    """Cached outlined rounded rectangle; equal arguments return the same surface."""

@_Native
def create_outlined_rounded_rect_sdf(
    size: _Size, radius: SupportsInt, width: float, color: ColorTuple
) -> pygame.Surface:
    """Outlined rounded rectangle from a 256-entry cache: the returned surface is shared."""
