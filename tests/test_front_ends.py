"""The memoising front ends and their two caches."""
import traceback
from collections import namedtuple

import pygame
import pytest

from ralo_ui.fast.shapes import fast_shapes as fs

DOTTED = "ralo_ui.fast.shapes.fast_shapes."


@pytest.fixture(autouse=True)
def empty_caches():
    fs._get_cached_rounded_rect_surface.cache_clear()
    fs._get_cached_outlined_rounded_rect_sdf.cache_clear()
    yield


def test_hits_return_the_identical_surface():
    a = fs.create_rounded_rect_surface((20, 10), (4, 4, 4, 4), (1, 2, 3))
    b = fs.create_rounded_rect_surface(size=(20, 10), radii_input=(4.0, 4, 4, 4), color=(1, 2, 3))
    assert a is b  # positional and keyword calls make one key; 4 == 4.0
    a.fill((9, 9, 9))  # shared: a caller's change is seen by the next hit
    assert fs.create_rounded_rect_surface((20, 10), (4, 4, 4, 4), (1, 2, 3)).get_at((5, 5))[:3] == (9, 9, 9)
    o = fs.create_outlined_rounded_rect_sdf((20, 10), 4, 2, (1, 2, 3))
    assert fs.create_outlined_rounded_rect_sdf((20, 10), 4, 2.0, (1, 2, 3)) is o
    assert fs.create_outlined_rounded_rect_sdf((20, 10), 4.9, 2, (1, 2, 3)) is not o  # truncated after the look-up


def test_list_radii_become_a_tuple_key():
    a = fs.create_rounded_rect_surface((16, 16), [8, 8, 8, 8], (1, 2, 3))
    assert fs.create_rounded_rect_surface((16, 16), (8, 8, 8, 8), (1, 2, 3)) is a

    class Radii(list):
        pass

    assert fs.create_rounded_rect_surface((16, 16), Radii([8, 8, 8, 8]), (1, 2, 3)) is a


def test_a_single_radius_is_refused_through_the_front_end():
    with pytest.raises(TypeError, match=r"^Argument 'radii' has incorrect type \(expected tuple, got int\)$"):
        fs.create_rounded_rect_surface((16, 16), 8, (1, 2, 3))
    assert isinstance(fs._create_rounded_rect_surface_optimized((16, 16), 8, (1, 2, 3)), pygame.Surface)
    assert fs._get_cached_rounded_rect_surface.cache_info().currsize == 0


@pytest.mark.parametrize("call", [
    lambda: fs.create_rounded_rect_surface([16, 16], (1, 1, 1, 1), (1, 2, 3)),
    lambda: fs.create_outlined_rounded_rect_sdf((16, 16), 2, 1, [1, 2, 3]),
    lambda: fs.create_rounded_rect_surface((16, 16), (1, 1, 1, 1), ([1], 2, 3)),
])
def test_unhashable_arguments_fail_in_the_cache(call):
    with pytest.raises(TypeError, match="unhashable type: 'list'"):
        call()


def test_failed_calls_store_nothing():
    Color = namedtuple("Colour", "r g b")
    with pytest.raises(TypeError, match="expected tuple, got Colour"):
        fs.create_rounded_rect_surface((8, 8), (1, 1, 1, 1), Color(1, 2, 3))
    with pytest.raises(OverflowError):
        fs.create_outlined_rounded_rect_sdf((8, 8), 2, 1, (300, 0, 0))
    assert fs._get_cached_rounded_rect_surface.cache_info().currsize == 0
    assert fs._get_cached_outlined_rounded_rect_sdf.cache_info().currsize == 0
    first = fs.create_rounded_rect_surface((8, 8), (1, 1, 1, 1), (1, 2, 3))
    assert fs.create_rounded_rect_surface((8, 8), (1, 1, 1, 1), (1, 2, 3)) is first


def test_eviction_after_257_requests_and_independent_caches():
    first = fs.create_rounded_rect_surface((4, 4), (0, 0, 0, 0), (0, 0, 0))
    outline = fs.create_outlined_rounded_rect_sdf((4, 4), 1, 1, (0, 0, 0))
    for i in range(1, 257):
        fs.create_rounded_rect_surface((4, 4), (0, 0, 0, 0), (i % 256, i // 256, 0))
    again = fs.create_rounded_rect_surface((4, 4), (0, 0, 0, 0), (0, 0, 0))
    assert again is not first
    assert pygame.image.tobytes(again, "RGBA") == pygame.image.tobytes(first, "RGBA")
    assert fs.create_outlined_rounded_rect_sdf((4, 4), 1, 1, (0, 0, 0)) is outline


def test_front_ends_look_the_cache_up_at_every_call(monkeypatch):
    seen = []
    monkeypatch.setattr(fs, "_get_cached_rounded_rect_surface", lambda *args: seen.append(args) or "x")
    assert fs.create_rounded_rect_surface((1, 2), [3, 4, 5, 6], None) == "x"
    assert seen == [((1, 2), (3, 4, 5, 6), None)]
    monkeypatch.undo()
    monkeypatch.setattr(fs, "_create_rounded_rect_surface_optimized", None)  # not used by the cache
    monkeypatch.setattr(fs, "_create_outlined_rounded_rect_sdf", None)
    assert isinstance(fs.create_rounded_rect_surface((4, 4), (1, 1, 1, 1), (1, 2, 3)), pygame.Surface)
    assert isinstance(fs.create_outlined_rounded_rect_sdf((4, 4), 1, 1, (1, 2, 3)), pygame.Surface)
    monkeypatch.delattr(fs, "_get_cached_outlined_rounded_rect_sdf")
    with pytest.raises(NameError, match="^name '_get_cached_outlined_rounded_rect_sdf' is not defined$"):
        fs.create_outlined_rounded_rect_sdf((4, 4), 1, 1, (1, 2, 3))


@pytest.mark.parametrize("front, cached, raster, args", [
    ("create_rounded_rect_surface", "_get_cached_rounded_rect_surface", "_create_rounded_rect_surface_optimized",
     ((8, 8), (1, 1, 1, 1), None)),
    ("create_outlined_rounded_rect_sdf", "_get_cached_outlined_rounded_rect_sdf",
     "_create_outlined_rounded_rect_sdf", (None, 1, 1, (1, 2, 3))),
])
def test_rasteriser_failures_leave_three_entries(front, cached, raster, args):
    with pytest.raises(TypeError) as info:
        getattr(fs, front)(*args)
    names = [e.name for e in traceback.extract_tb(info.value.__traceback__)]
    assert names[-3:] == [DOTTED + front, DOTTED + cached, DOTTED + raster]
