"""Ordinary calls of the module as a user writes them, for type checkers (test_typing.py runs
them over this file, never the interpreter): each must pass, except the lines marked
`type: ignore`, which the stub must reject (a check in strict mode fails on an ignore it does
not need)."""
from typing import TYPE_CHECKING

import pygame

from ralo_ui.fast.shapes import draw
from ralo_ui.fast.shapes import fast_shapes as fs

if TYPE_CHECKING:
    from ralo_ui.fast.shapes.fast_shapes import ColorTuple

BORDER: "ColorTuple" = (90, 90, 90)
SHADE: "ColorTuple" = (0, 0, 0, 96)


def radius_of(size: tuple[int, int]) -> float:
    return min(size) / 4


def card(size: tuple[int, int]) -> pygame.Surface:
    r = radius_of(size)
    radii = [8, 8, 8, 8]
    face = fs.create_rounded_rect_surface(size, radii, (250, 250, 250))
    face = fs.create_rounded_rect_surface(size, (r,) * 4, SHADE)
    face = fs.create_rounded_rect_surface(size, [8] * 4, SHADE)
    face = fs.create_rounded_rect_surface(size=size, radii_input=(4, 4.5, 0, 0), color=BORDER)
    frame = fs.create_outlined_rounded_rect_sdf(size, 12, 2, BORDER)
    face.blit(frame, (0, 0))
    fs.transform_into_rounded_rect(face, r)
    fs.transform_into_rounded_rect(face, radii, pygame.Color(10, 20, 30))
    fs.transform_into_rounded_rect(face, [8] * 4, [1, 2, 3])
    fs.transform_into_outlined_rounded_rect(face, (r,) * 4, 1.5, BORDER)
    fs.transform_into_outlined_rounded_rect(face, 6, 2, (255, 0, 0), background_color=[0, 0, 255, 128])
    return fs._create_rounded_rect_surface_optimized(face.get_size(), 6.5, (1, 2, 3, 4))


def screen(surf: pygame.Surface, at: pygame.Rect) -> pygame.Rect:
    drawn = draw.rounded_rect(surf, (40, 40, 48), at, border_radius=12)
    drawn = draw.rounded_rect(surf, pygame.Color(9, 9, 9, 128), [1.5, 2, 30.25, 12], 2, 6)
    drawn.union_ip(draw.rounded_rect(surf, "white", ((1, 2), (30, 12)), width=1, border_top_left_radius=4))
    draw.rounded_rect(surf, [1, 2, 3, 4], (0, 0, 8, 8), border_radius=2.5, border_bottom_right_radius=0)
    draw.rounded_rect(surf, surf.map_rgb((1, 2, 3)), at.inflate(-4, -4))
    draw.shadow(surf, (0, 0, 0, 90), at.move(0, 4), 8, spread=2, border_radius=12)
    return drawn


def tables() -> str:
    fs._get_cached_rounded_rect_surface.cache_clear()
    fs._get_cached_outlined_rounded_rect_sdf.cache_clear()
    hits = fs._get_cached_rounded_rect_surface.cache_info().hits
    return f"{fs.create_rounded_rect_surface._kernels} {hits}"


def refused(surf: pygame.Surface) -> None:
    fs.create_rounded_rect_surface((8, 8), 3, (1, 2, 3))  # type: ignore[arg-type]
    fs.create_rounded_rect_surface([8, 8], (3,) * 4, (1, 2, 3))  # type: ignore[arg-type]
    fs.transform_into_outlined_rounded_rect(surf, 3, 1.0, [1, 2, 3])  # type: ignore[arg-type]
    fs.transform_into_outlined_rounded_rect(surf, 3, 1.0, pygame.Color(1, 2, 3))  # type: ignore[arg-type]
    fs.transform_into_rounded_rect(surf, "3")  # type: ignore[arg-type]
    fs.transform_into_rounded_rect(surf, 3, colour=(1, 2, 3))  # type: ignore[call-arg]
    fs.transform_into_rounded_rect(surf)  # type: ignore[call-arg]
    fs._get_cached_rounded_rect_surface((8, 8), [3, 3, 3, 3], (1, 2, 3))  # type: ignore[arg-type]
    fs._create_outlined_rounded_rect_sdf((8, 8), "3", 1.0, (1, 2, 3))  # type: ignore[arg-type]
    print(fs.transform_into_rounded_rect.cache_clear)  # type: ignore[attr-defined]
    draw.rounded_rect(surf, None, (0, 0, 8, 8))  # type: ignore[arg-type]
    draw.rounded_rect(surf, (1, 2, 3))  # type: ignore[call-arg]
    draw.shadow(surf, (1, 2, 3), (0, 0, 8, 8), "8")  # type: ignore[arg-type]
