"""transform_into_outlined_rounded_rect: outlining a caller's surface in place."""

import math
import random

import numpy as np
import pygame
import pytest

from ralo_ui.fast.shapes import fast_shapes as fs

outline = fs.transform_into_outlined_rounded_rect
f32, f64 = np.float32, np.float64


def make_surface(w, h, fill=(0, 0, 255, 255)):
    surf = pygame.Surface((w, h), pygame.SRCALPHA)
    surf.fill(fill)
    return surf


def pixels(surf):
    """(w, h, 4) copy of the surface's samples; the views are dropped at once."""
    rgb = np.array(pygame.surfarray.pixels3d(surf))
    alpha = np.array(pygame.surfarray.pixels_alpha(surf))
    return np.dstack([rgb, alpha])


def put_pixels(surf, rgba):
    view = pygame.surfarray.pixels3d(surf)
    view[...] = rgba[..., :3]
    del view
    view = pygame.surfarray.pixels_alpha(surf)
    view[...] = rgba[..., 3]
    del view


# ---------------------------------------------------------------------------
# Independent recomputation of the rule with numpy, one step per operation.


def store(values):
    """Toward zero to int32 (saturating, NaN -> 0), low eight bits."""
    t = np.trunc(np.asarray(values, f64))
    t = np.clip(np.where(np.isnan(t), 0.0, t), -(2.0**31), 2.0**31 - 1)
    return (t.astype(np.int64) & 0xFF).astype(np.uint8)


def clamp01(v):
    return np.where(v > 0, np.where(v < 1, v, f32(1)), f32(0)).astype(f32)


def max_of(a, b):
    return np.where(b > a, b, a).astype(f32)


def read_radii(radii):
    if isinstance(radii, (int, float)):
        return [f32(radii)] * 4
    if len(radii) == 4:
        return [f32(float(r)) for r in radii]
    return [f32(0)] * 4


def reference(before, radii, stroke_width, color, bg):
    """The outlined pixels, from the (w, h, 4) samples `before`."""
    out = before.copy()
    w, h = before.shape[:2]
    alpha_base = int(color[3]) if len(color) > 3 else 255
    if bg is None and alpha_base == 0:
        return out
    sw = f32(stroke_width)
    hw = f32(0.5) * sw
    adj = [d if d > 0 else f32(0) for d in (r - hw for r in read_radii(radii))]
    r_tl, r_tr, r_br, r_bl = adj
    sam = f32(alpha_base / 255.0)
    if bg is None:
        bam = f32(0)
    else:
        bam = f32(bg[3] / 255.0) if len(bg) > 3 else f32(1)
    cx, cy = f32((w - 1) * 0.5), f32((h - 1) * 0.5)
    bhw, bhh = (f32(w) - sw) * f32(0.5), (f32(h) - sw) * f32(0.5)
    cov_base = hw + f32(0.5)
    limit = f64(hw) + 0.5

    x, y = np.meshgrid(np.arange(w, dtype=f32), np.arange(h, dtype=f32), indexing="ij")
    py = y - cy
    bottom = py > 0
    qy_base = np.abs(py) - bhh
    px = x - cx
    right = px > 0
    cur = np.where(bottom, np.where(right, r_br, r_bl), np.where(right, r_tr, r_tl)).astype(f32)
    qx = (np.abs(px) - bhw) + cur
    qy = qy_base + cur
    mx, my = max_of(qx, f32(0)), max_of(qy, f32(0))
    outside = np.sqrt(mx * mx + my * my)
    m = max_of(qx, qy)
    inside = np.where(m < 0, m, f32(0)).astype(f32)
    sd = (outside + inside) - cur
    sa = clamp01(cov_base - np.abs(sd)) * sam
    clear = sd.astype(f64) > limit
    keep = 1.0 - sa.astype(f64)
    stroke = np.array(color[:3], dtype=f32)
    old_rgb = before[..., :3].astype(f32)

    if bg is not None:
        ba = clamp01((cur + hw) - (outside + inside)) * bam
        total = (sa.astype(f64) + ba.astype(f64) * keep).astype(f32)
        inv = (f32(1) / total).astype(f64)
        bg_rgb = np.array(bg[:3], dtype=f32)
        blend = ((stroke * sa[..., None]).astype(f64)
                 + (bg_rgb * ba[..., None]).astype(f64) * keep[..., None]) * inv[..., None]
        new_a = np.where(total >= 1, 255, store(total.astype(f64) * 255.0))
        drawn = ~clear & (total > 0)
        zero = clear | (total <= 0)
        out[..., :3][drawn] = store(blend.astype(f32))[drawn]
        out[..., 3][drawn] = new_a[drawn]
        out[..., 3][zero] = 0
        return out

    orig_a = (before[..., 3] / 255.0).astype(f32)
    total = (sa.astype(f64) + orig_a.astype(f64) * keep).astype(f32)
    inv = (f32(1) / total).astype(f64)
    blend = ((stroke * sa[..., None]).astype(f64)
             + (old_rgb * orig_a[..., None]).astype(f64) * keep[..., None]) * inv[..., None]
    live = ~clear & ~(sd.astype(f64) < -limit) & ~(sa <= 0)
    solid = live & ((sd > 0) | (sa >= 1))
    mixed = live & ~solid
    solid_a = np.where(sa >= 1, alpha_base & 0xFF, store(sa.astype(f64) * 255.0))
    out[..., 3][clear] = 0
    out[..., :3][solid] = np.array(color[:3], dtype=np.uint8)
    out[..., 3][solid] = solid_a[solid]
    out[..., :3][mixed] = store(blend.astype(f32))[mixed]
    out[..., 3][mixed] = np.where(total >= 1, 255, store(total.astype(f64) * 255.0))[mixed]
    return out


# ---------------------------------------------------------------------------
# Known pictures.


def square_frame(corner, edge, second, inside, w=10):
    """A w x w picture: corner pixels, the rest of the border, the second ring, the inside."""
    img = np.empty((w, w, 4), np.uint8)
    img[...] = inside
    img[1:-1, 1:-1][[0, -1]] = second
    img[1:-1, 1:-1][:, [0, -1]] = second
    img[[0, -1]] = edge
    img[:, [0, -1]] = edge
    img[[0, 0, -1, -1], [0, -1, 0, -1]] = corner
    return img


BLUE = (0, 0, 255, 255)


@pytest.mark.parametrize(
    "stroke_width, color, corner, edge, second",
    [
        (2, (255, 0, 0), (255, 0, 0, 202), (255, 0, 0, 255), (255, 0, 0, 255)),
        (1, (255, 0, 0), (255, 0, 0, 255), (255, 0, 0, 255), BLUE),
        # sa = 128/255 in single lies just above the ratio: blue 126.99.. stores as 126.
        (2, (255, 0, 0, 128), (255, 0, 0, 101), (255, 0, 0, 128), (128, 0, 126, 255)),
        # items beyond the fourth are ignored
        (2, (255, 0, 0, 128, "x"), (255, 0, 0, 101), (255, 0, 0, 128), (128, 0, 126, 255)),
    ],
)
def test_square_outline_over_content(stroke_width, color, corner, edge, second):
    surf = make_surface(10, 10)
    assert outline(surf, 0, stroke_width, color) is None
    assert (pixels(surf) == square_frame(corner, edge, second, BLUE)).all()
    assert not surf.get_locked()


ROUND_20 = {
    # pixel: (without background, with background (0, 0, 255) over (10, 20, 30, 40))
    (0, 0): ((0, 0, 255, 0), (10, 20, 30, 0)),
    (3, 0): ((255, 0, 0, 116), (255, 0, 0, 116)),
    (4, 0): ((255, 0, 0, 203), (237, 0, 17, 219)),
    (3, 2): ((204, 0, 50, 255), (204, 0, 50, 255)),
    (2, 10): ((0, 0, 255, 255), (0, 0, 255, 255)),
    (10, 10): ((0, 0, 255, 255), (0, 0, 255, 255)),
}


@pytest.mark.parametrize("with_bg", [False, True])
def test_round_corners(with_bg):
    surf = make_surface(20, 20, (10, 20, 30, 40) if with_bg else BLUE)
    outline(surf, 6, 2, (255, 0, 0), (0, 0, 255) if with_bg else None)
    img = pixels(surf)
    for xy, expected in ROUND_20.items():
        assert tuple(img[xy]) == expected[with_bg], xy
    if not with_bg:
        assert tuple(img[0, 10]) == tuple(img[1, 10]) == (255, 0, 0, 255)
    # the picture is symmetric in both axes
    assert (img == img[::-1]).all() and (img == img[:, ::-1]).all()


def test_radii_name_corners_clockwise_from_top_left():
    surf = make_surface(20, 20)
    outline(surf, (0, 6, 6, 6), 2, (255, 0, 0))
    img = pixels(surf)
    assert tuple(img[0, 0]) == (255, 0, 0, 202)
    assert img[19, 0, 3] == img[0, 19, 3] == img[19, 19, 3] == 0


def test_clearing_limit_is_formed_in_double():
    # signed_dist of (1, 0) is exactly half_width + 0.5 rounded to single, which
    # lies above the limit in double: the pixel is cleared, not left as it was.
    surf = make_surface(6, 6)
    outline(surf, 4.5, 3.152498960494995, (255, 0, 0))
    img = pixels(surf)
    for xy in [(1, 0), (0, 1), (4, 0), (5, 1), (0, 4), (1, 5), (5, 4), (4, 5)]:
        assert tuple(img[xy]) == (0, 0, 255, 0), xy


def test_transparent_stroke_without_background_changes_nothing():
    surf = make_surface(20, 20)
    outline(surf, 6, 2, (255, 0, 0, 0))
    assert (pixels(surf) == BLUE).all()


def test_transparent_stroke_over_background_draws_background_only():
    surf = make_surface(10, 10)
    outline(surf, 0, 2, (255, 0, 0, 0), (0, 0, 255, 128))
    img = pixels(surf)
    assert (img[..., :2] == 0).all()
    expected = square_frame((0, 0, 0, 37), (0, 0, 0, 64), (0, 0, 0, 128), (0, 0, 0, 128))
    assert (img[..., 3] == expected[..., 3]).all()


@pytest.mark.parametrize("bg", [(0, 0, 255), [0, 0, 255], [0, 0, 255, 255], (0, 0, 255, 255, 9)])
def test_background_forms(bg):
    expected = make_surface(20, 20, (10, 20, 30, 40))
    outline(expected, 6, 2, (255, 0, 0), (0, 0, 255, 255))
    surf = make_surface(20, 20, (10, 20, 30, 40))
    outline(surf, 6, 2, (255, 0, 0), background_color=bg)
    assert (pixels(surf) == pixels(expected)).all()


@pytest.mark.parametrize("size", [(0, 0), (0, 7), (7, 0)])
def test_empty_surface(size):
    surf = pygame.Surface(size, pygame.SRCALPHA)
    assert outline(surf, 3, 2, (255, 0, 0), (1, 2, 3)) is None
    assert not surf.get_locked()


# ---------------------------------------------------------------------------
# Failures: nothing written, nothing left locked.


class Sized(pygame.Surface):
    def __init__(self, size, width):
        super().__init__(size, pygame.SRCALPHA)
        self.fill((9, 8, 7, 6))
        self.reported_width = width

    def get_width(self):
        return self.reported_width


class NoLen:
    def __getitem__(self, i):
        return 1


@pytest.mark.parametrize(
    "width, args, exc, message",
    [
        (5, (0, 2, None), TypeError, "object of type 'NoneType' has no len()"),
        (5, (0, 2, (1, 2)), IndexError, "tuple index out of range"),
        (5, (0, 2, ()), IndexError, "tuple index out of range"),
        (5, (0, 2, (1, 2, 3, "x")), TypeError, "an integer is required"),
        (5, (0, 2, (1, 2, 3, 2**40)), OverflowError, "value too large to convert to int"),
        (5, (0, 2, (-1, 2, 3)), OverflowError, "can't convert negative value to npy_uint8"),
        (5, (0, 2, (1, 2, 256)), OverflowError, "value too large to convert to npy_uint8"),
        (5, (0, 2, (1, 2, 3), (1, 2, 256)), OverflowError, "value too large to convert to npy_uint8"),
        (5, (0, 2, (1, 2, 3), (1, 2, 3, -1)), OverflowError,
         "can't convert negative value to npy_uint8"),
        (5, (0, 2, (1, 2, 3), [1, 2]), IndexError, "list index out of range"),
        (5, (0, 2, (1, 2, 3), 7), TypeError, "'int' object is not subscriptable"),
        (5, (0, 2, (1, 2, 3), NoLen()), TypeError, "object of type 'NoLen' has no len()"),
        (5, (object(), 2, (1, 2, 3)), TypeError, "object of type 'object' has no len()"),
        (5, ((1, 2, None, 4), 2, (1, 2, 3)), TypeError, None),
        ("5", (0, 2, (1, 2, 3)), TypeError, "an integer is required"),
        (2**31, (0, 2, (1, 2, 3)), OverflowError, "value too large to convert to int"),
        (6, (0, 2, (1, 2, 3)), ValueError, None),  # reports more columns than its views have
    ],
)
def test_failures_leave_surface_untouched(width, args, exc, message):
    surf = Sized((5, 4), width)
    before = pixels(surf)
    with pytest.raises(exc) as info:
        outline(surf, *args)
    if message is not None:
        assert str(info.value) == message
    assert not surf.get_locked()
    assert (pixels(surf) == before).all()


# ---------------------------------------------------------------------------
# Random cases against the numpy recomputation, bit for bit.


def random_float(rng):
    roll = rng.random()
    if roll < 0.03:
        return rng.choice([math.nan, math.inf, -math.inf, 1e300, -1e300, 3e38])
    if roll < 0.15:
        return rng.uniform(-5, 2)
    if roll < 0.3:
        return float(rng.randint(0, 12))
    if roll < 0.4:
        return rng.randint(0, 12) + 0.5
    return rng.uniform(0, 14)


def random_alpha(rng):
    roll = rng.random()
    if roll < 0.05:
        return rng.choice([-(2**31), 2**31 - 1, -1, 256, 300, 1000])
    if roll < 0.1:
        return 0
    return rng.randint(0, 255)


def random_case(rng):
    w, h = rng.randint(0, 24), rng.randint(0, 24)
    roll = rng.random()
    if roll < 0.15:
        radii = rng.randint(0, 12)
    elif roll < 0.45:
        radii = random_float(rng)
    elif roll < 0.9:
        radii = tuple(random_float(rng) for _ in range(4))
    else:
        radii = rng.choice([(1, 2), [], "ab", [3, 4, 5]])
    stroke_width = random_float(rng) if rng.random() < 0.3 else rng.choice([1, 2, 3, 4.5, 1.25])
    if rng.random() < 0.15:
        # Pixel (1, 0) sits at (3, 4) from the corner's centre, 5 from it: half_width + 0.5
        # rounds up in single for many of these widths and the pixel lands exactly on it.
        radii, stroke_width = 4.5, 2 * float(f32(rng.uniform(1.5, 2)))
    color = tuple(rng.randint(0, 255) for _ in range(3))
    if rng.random() < 0.6:
        color += (random_alpha(rng),)
    bg = None
    if rng.random() < 0.5:
        bg = [rng.randint(0, 255) for _ in range(rng.choice([3, 4]))]
    return w, h, radii, stroke_width, color, bg


@pytest.mark.parametrize("seed", range(300))
def test_matches_numpy_recomputation(seed):
    rng = random.Random(seed)
    w, h, radii, stroke_width, color, bg = random_case(rng)
    before = np.random.default_rng(seed).integers(0, 256, (w, h, 4), dtype=np.uint8)
    surf = pygame.Surface((w, h), pygame.SRCALPHA)
    if w and h:
        put_pixels(surf, before)
    outline(surf, radii, stroke_width, color, bg)
    with np.errstate(all="ignore"):
        expected = reference(before, radii, stroke_width, color, bg)
    got = pixels(surf)
    bad = np.argwhere((got != expected).any(axis=-1))
    assert not len(bad), (bad[:5].tolist(), got[tuple(bad[0])], expected[tuple(bad[0])])
    assert not surf.get_locked()


def test_an_empty_surface_of_huge_height_returns_at_once():
    import time
    surf = pygame.Surface((0, 2**31 - 1), pygame.SRCALPHA)
    start = time.perf_counter()
    assert fs.transform_into_outlined_rounded_rect(surf, 3, 2.0, (1, 2, 3)) is None
    assert fs.transform_into_outlined_rounded_rect(surf, 3, 2.0, (1, 2, 3), (4, 5, 6)) is None
    assert time.perf_counter() - start < 1.0  # walking 2^31 empty rows took seconds
    assert not surf.get_locked()
