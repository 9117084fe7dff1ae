"""The fast corner and band paths against the float32 models, bit for bit.

Where the processor has AVX2 and FMA, corner rows of eight or more pixels run eight
pixels a step (the last step overlapping the one before it), shorter rows run the scalar
reference loop, and band rows on pygame's packed pixels are written as 32-bit words.  Every
path is held to the same independent models: the cases below put corner sides on both sides
of each step boundary, so that one run checks the vector steps and the scalar reference
together; make test-baseline runs them again on the baseline kernels (RALO_UI_KERNELS=baseline),
as a machine without AVX2 and FMA does.
"""
import numpy as np
import pygame
import pytest

import models.corners as cm
from models.fake_host import FakeSurface, install
from models.layouts import plane, views
from models.outlined import assert_outlined
from models.outlined import model as outline_model
from models.outlined_in_place import reference
from models.surfaces import planes, random_surface
from ralo_ui.fast.shapes import fast_shapes as fs

SIDES = [1, 7, 8, 9, 12, 15, 16, 17, 24, 25, 33]
ALPHAS = [255, 128, 1]  # pygame's fill refuses alphas outside a byte


def uneven_radii(n):
    """Four radii whose corner squares are n, n, n - 1 and n pixels wide (clockwise from top-left)."""
    return (n + 0.5, float(n), max(n - 1, 0) + 0.25, n + 0.875)


@pytest.mark.parametrize("n", SIDES)
@pytest.mark.parametrize("alpha_base", ALPHAS)
def test_filled_corner_sides(n, alpha_base):
    w, h = 2 * n + 5, 2 * n + 2
    radii = uneven_radii(n)
    surf = fs._create_rounded_rect_surface_optimized((w, h), radii, (9, 99, 199, alpha_base))
    _, alpha = planes(surf)
    np.testing.assert_array_equal(alpha, cm.filled_alpha(w, h, radii, alpha_base))


@pytest.mark.parametrize("n", SIDES)
@pytest.mark.parametrize("alpha_base", [None, 255, 77, 1])
def test_in_place_corner_sides_over_random_content(n, alpha_base):
    rng = np.random.default_rng(n)
    w, h = 2 * n + 2, 2 * n + 7
    surf = random_surface(rng, w, h)
    rgb_before, alpha_before = planes(surf)
    radii = uneven_radii(n)
    color = None if alpha_base is None else (1, 2, 3, alpha_base)
    fs.transform_into_rounded_rect(surf, radii, color)
    rgb, alpha = planes(surf)
    start = alpha_before if color is None else np.full_like(alpha_before, alpha_base)
    np.testing.assert_array_equal(alpha, cm.in_place_alpha(start, radii, alpha_base))
    if color is None:
        np.testing.assert_array_equal(rgb, rgb_before)


@pytest.mark.parametrize("radius", [8, 8.75, 9, 12.5, 16, 17])
def test_one_radius_for_all_four_corners(radius):
    """Four equal corners are drawn from the top-left one's values; side 8 in one step of columns."""
    rng = np.random.default_rng(int(radius * 4))
    n = int(radius)
    for w, h in [(2 * n, 2 * n), (2 * n + 1, 2 * n + 6), (2 * n + 7, 2 * n + 1), (3 * n + 2, 2 * n + 3)]:
        for alpha_base in (255, 77):
            surf = fs._create_rounded_rect_surface_optimized((w, h), radius, (9, 99, 199, alpha_base))
            np.testing.assert_array_equal(planes(surf)[1], cm.filled_alpha(w, h, (radius,) * 4, alpha_base),
                                          err_msg=f"{(w, h)} {radius} {alpha_base}")
        surf = random_surface(rng, w, h)
        fs.transform_into_rounded_rect(surf, radius, (1, 2, 3, 200))
        start = np.full((w, h), 200, np.uint8)
        np.testing.assert_array_equal(planes(surf)[1], cm.in_place_alpha(start, (radius,) * 4, 200),
                                      err_msg=f"{(w, h)} {radius}")


@pytest.mark.parametrize("seed", range(4))
def test_random_corners_over_random_content(seed):
    rng = np.random.default_rng(500 + seed)
    for _ in range(25):
        w, h = (int(v) for v in rng.integers(1, 90, 2))
        radii = tuple(float(np.float32(rng.uniform(0, 46))) for _ in range(4))
        surf = random_surface(rng, w, h)
        _, before = planes(surf)
        fs.transform_into_rounded_rect(surf, radii)
        np.testing.assert_array_equal(planes(surf)[1], cm.in_place_alpha(before, radii),
                                      err_msg=f"{(w, h)} {radii}")


# Alpha planes whose column stride is not pygame's.
@pytest.mark.parametrize("layout", ["planar", "columns reversed", "columns apart"])
@pytest.mark.parametrize("alpha_base", [None, 200])
def test_in_place_on_other_strides(monkeypatch, layout, alpha_base):
    rng = np.random.default_rng(7)
    w, h = 45, 38
    alpha = plane(layout, (w, h))
    alpha[...] = rng.integers(0, 256, (w, h))
    color = np.zeros((w, h, 3), np.uint8)
    before = alpha.copy()
    install(monkeypatch, lambda s: color, lambda s: alpha)
    radii = (17.5, 9.25, 3.0, 16.0)
    fs.transform_into_rounded_rect(pygame.Surface((w, h), pygame.SRCALPHA), radii,
                                   None if alpha_base is None else (5, 6, 7, alpha_base))
    np.testing.assert_array_equal(alpha, cm.in_place_alpha(before, radii, alpha_base))
    assert not color.any()


# Corner squares of 6 to 19 pixels: radius plus the stroke's ceiling, capped at half a side.
@pytest.mark.parametrize("size, radius, width", [
    ((40, 30), 5, 1.0), ((40, 30), 6, 2.0), ((40, 30), 7, 1.5), ((64, 32), 12, 2.5),
    ((64, 40), 13, 2.0), ((90, 60), 14, 2.25), ((90, 60), 15, 3.75), ((38, 38), 19, 6.0),
])
@pytest.mark.parametrize("alpha_base", [255, 99, 256, 2**31 - 1])
def test_outline_corner_sides(size, radius, width, alpha_base):
    color = (30, 60, 90, alpha_base)
    assert_outlined(size, radius, width, color, fs._create_outlined_rounded_rect_sdf(size, radius, width, color))


@pytest.mark.parametrize("layout", ["rgba", "planar", "rgba rows apart"])
def test_outline_on_other_layouts(monkeypatch, layout):
    """Packed pixels in another byte order take the word path; planes, and 4-byte pixels whose
    alpha rows lie further apart than their colour rows, the per-plane runs."""
    w, h = 57, 41
    color, alpha = views(layout, w, h)
    install(monkeypatch, lambda s: color, lambda s: alpha)
    args = ((w, h), 13, 2.75, (11, 22, 33, 222))
    fs._create_outlined_rounded_rect_sdf(*args)
    assert_outlined(*args, (color, alpha))


def strided(buffer, offset, shape, strides):
    return np.lib.stride_tricks.as_strided(buffer[offset:], shape, strides)


def refused_layout(name, w, h):
    """Colour and alpha views that the packed-pixel check refuses, for the reason `name`; and
    how the bytes of a correct drawing look through them: `merge(rgb, alpha)` gives what the
    colour view must read when each pixel is written colour first, then alpha."""
    pitch = 4 * w + 8
    words = pitch * h
    buffer = np.zeros(3 * words + 64, np.uint8)

    def packed(color_at, alpha_at, channel=1, row=pitch, alpha_row=None, alpha_x=4):
        color = strided(buffer, color_at, (w, h, 3), (4, row, channel))
        alpha = strided(buffer, alpha_at, (w, h), (alpha_x, row if alpha_row is None else alpha_row))
        return color, alpha

    keep = lambda rgb, alpha: rgb  # noqa: E731
    if name == "alpha after the colour":        # alpha too far from red, above it
        return (*packed(0, words + 3), keep)
    if name == "alpha before the colour":       # ... and below it
        return (*packed(words, 3), keep)
    if name == "alpha column stride":
        return (*packed(0, words, alpha_x=1), keep)
    if name == "colour column stride":
        color = strided(buffer, 0, (w, h, 3), (3, 3 * w, 1))
        return color, strided(buffer, words + 3, (w, h), (4, pitch)), keep
    if name == "pitches differ":
        return (*packed(0, words + 3, alpha_row=pitch + 4), keep)
    if name == "rows overlap":                  # h = 2: both rows are the same bytes
        return (*packed(0, 3, row=0), keep)
    if name == "channel stride 0":              # red, green and blue in one byte: blue stays
        return (*packed(0, 3, channel=0), lambda rgb, alpha: rgb[..., 2:3].repeat(3, axis=-1))
    if name == "channel stride 2":              # one pixel a row: nothing shared
        return (*packed(0, 1, channel=2, row=8), keep)
    if name == "channel stride -2":
        return (*packed(4, 1, channel=-2, row=8), keep)
    if name == "alpha three below red":
        return (*packed(3, 0, row=8), keep)
    if name == "alpha shares blue":             # alpha is written last
        return (*packed(0, 2), lambda rgb, alpha: np.concatenate([rgb[..., :2], alpha[..., None]], axis=-1))
    raise AssertionError(name)


REFUSALS = ["alpha after the colour", "alpha before the colour", "alpha column stride", "colour column stride",
            "pitches differ", "rows overlap", "channel stride 0", "channel stride 2", "channel stride -2",
            "alpha three below red", "alpha shares blue"]
ONE_PIXEL_WIDE = {"channel stride 2", "channel stride -2", "alpha three below red"}


@pytest.mark.parametrize("corner", [3, 11], ids=["scalar corners", "eight-pixel corners"])
@pytest.mark.parametrize("name", REFUSALS)
def test_layouts_the_packed_path_refuses(monkeypatch, name, corner):
    """Each reason to refuse the packed-pixel path: both outline rasterisers draw per pixel."""
    w, h = (31, 2) if name == "rows overlap" else (1, 27) if name in ONE_PIXEL_WIDE else (31, 27)
    color, alpha, merge = refused_layout(name, w, h)
    install(monkeypatch, lambda s: color, lambda s: alpha)

    # A new outlined surface (its views start at zero, as a new surface does).
    args = ((w, h), corner, 2.5, (11, 22, 33, 222))
    fs._create_outlined_rounded_rect_sdf(*args)
    want_rgb, want_alpha = outline_model(w, h, *args[1:])
    np.testing.assert_array_equal(alpha, want_alpha)
    np.testing.assert_array_equal(color, merge(want_rgb, want_alpha))

    # The outline in place over a background: no pixel's result depends on its old bytes.
    rng = np.random.default_rng(corner)
    color[...] = rng.integers(0, 256, color.shape)
    alpha[...] = rng.integers(0, 256, alpha.shape)
    before = np.concatenate([color, alpha[..., None]], axis=-1)
    radii, bg = (corner, corner + 1, corner + 1, corner), (200, 100, 0, 99)  # top and bottom radii equal: paired rows
    fs.transform_into_outlined_rounded_rect(FakeSurface(w, h), radii, 2.5, (11, 22, 33, 222), bg)
    with np.errstate(all="ignore"):
        want = reference(before, radii, 2.5, (11, 22, 33, 222), bg)
    np.testing.assert_array_equal(alpha, want[..., 3])
    np.testing.assert_array_equal(color, merge(want[..., :3], want[..., 3]))
