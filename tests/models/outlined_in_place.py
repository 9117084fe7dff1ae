"""A numpy model of the outline drawn over an existing surface, one step per operation of the
rule, written apart from the native code; the random cases held to it, and the helpers that
make the call and hold it to the model."""
import math

import numpy as np

from models.corners import read_radii
from models.fake_host import FakeSurface, host_registry, returning
from models.numeric import store_byte
from models.surfaces import pixels
from ralo_ui.fast.shapes import fast_shapes as fs

f32, f64 = np.float32, np.float64


def clamp01(v):
    return np.where(v > 0, np.where(v < 1, v, f32(1)), f32(0)).astype(f32)


def max_of(a, b):
    return np.where(b > a, b, a).astype(f32)


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
        new_a = np.where(total >= 1, 255, store_byte(total.astype(f64) * 255.0))
        drawn = ~clear & (total > 0)
        zero = clear | (total <= 0)
        out[..., :3][drawn] = store_byte(blend.astype(f32))[drawn]
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
    solid_a = np.where(sa >= 1, alpha_base & 0xFF, store_byte(sa.astype(f64) * 255.0))
    out[..., 3][clear] = 0
    out[..., :3][solid] = np.array(color[:3], dtype=np.uint8)
    out[..., 3][solid] = solid_a[solid]
    out[..., :3][mixed] = store_byte(blend.astype(f32))[mixed]
    out[..., 3][mixed] = np.where(total >= 1, 255, store_byte(total.astype(f64) * 255.0))[mixed]
    return out


def assert_same(surf, before, radii, stroke_width, color, bg):
    """The surface holds what the model makes of the samples `before`, bit for bit, and is unlocked."""
    with np.errstate(all="ignore"):
        expected = reference(before, radii, stroke_width, color, bg)
    got = pixels(surf)
    bad = np.argwhere((got != expected).any(axis=-1))
    assert not len(bad), (len(bad), bad[:5].tolist(), got[tuple(bad[0])], expected[tuple(bad[0])])
    assert not surf.get_locked()


def draw(surf, radii, stroke_width, color, bg):
    """The call, without the background argument where there is none."""
    if bg is None:
        fs.transform_into_outlined_rounded_rect(surf, radii, stroke_width, color)
    else:
        fs.transform_into_outlined_rounded_rect(surf, radii, stroke_width, color, bg)


def draw_planar(color, alpha, *args):
    """The call on separate colour and alpha planes (no packed words): the per-pixel loop."""
    with host_registry(returning(color, alpha)):
        fs.transform_into_outlined_rounded_rect(FakeSurface(*alpha.shape), *args)


def draw_words(words, *args):
    """The call on (h, w, 4) bytes of red, green, blue and alpha, through views of them."""
    with host_registry(returning(words[..., :3].transpose(1, 0, 2), words[..., 3].T)):
        fs.transform_into_outlined_rounded_rect(FakeSurface(words.shape[1], words.shape[0]), *args)


# Random cases (rng: random.Random), from the ordinary to the values that send the call back
# to the per-pixel loop.

HUGE = [1e6, 1e30, 3e38, 1e300, -1e300, 2.0**60, 2.0**61, math.inf, -math.inf, math.nan]


def random_radius(rng, w, h):
    roll = rng.random()
    if roll < 0.1:
        return rng.randint(0, 12)
    if roll < 0.18:
        return rng.choice(HUGE)
    if roll < 0.3:
        return rng.uniform(-5, 2)
    if roll < 0.45:
        return rng.uniform(0.4, 0.6) * min(w, h)  # about half the box, or beyond
    if roll < 0.6:
        return float(rng.randint(0, 16))
    if roll < 0.7:
        return rng.randint(0, 12) + 0.5
    return rng.uniform(0, 20)


def random_radii(rng, w, h):
    """One radius; four, with the top equal to the bottom on each side (paired rows) or the left
    equal to the right in each half, or free; or a sequence of another length."""
    roll = rng.random()
    a, b = random_radius(rng, w, h), random_radius(rng, w, h)
    if roll < 0.3:
        return a
    if roll < 0.4:
        return (a, a, a, a)
    if roll < 0.5:
        return (a, b, b, a)  # top equals bottom on each side
    if roll < 0.6:
        return (a, a, b, b)  # left equals right in each half
    if roll < 0.9:
        radii = [random_radius(rng, w, h) for _ in range(4)]
        return radii if rng.random() < 0.3 else tuple(radii)
    return rng.choice([(1, 2), [], "ab", [3, 4, 5]])


def random_width(rng, w, h):
    roll = rng.random()
    if roll < 0.05:
        return rng.choice(HUGE + [-3.0, 2.0**62])
    if roll < 0.12:
        return rng.uniform(0.3, 1.0) * max(w, h)  # the stroke fills much or all of it
    if roll < 0.2:
        return rng.uniform(-5, 2)
    if roll < 0.35:
        return float(rng.randint(0, 6))
    if roll < 0.45:
        return rng.randint(0, 6) + 0.5
    if roll < 0.6:
        return rng.choice([1, 2, 3, 4.5, 1.25])
    return rng.uniform(0, 8)


def random_color(rng):
    """Red, green and blue, and mostly an alpha: sometimes beyond a byte, as the call takes it."""
    rgb = tuple(rng.randint(0, 255) for _ in range(3))
    roll = rng.random()
    if roll < 0.35:
        return rgb
    if roll < 0.45:
        return rgb + (rng.choice([0, 255, -1, 256, 300, 1000, -(2**31), 2**31 - 1]),)
    return rgb + (rng.randint(0, 255),)


def random_background(rng):
    """None, or three or four bytes as a list or a tuple."""
    if rng.random() < 0.5:
        return None
    bg = [rng.randint(0, 255) for _ in range(3)]
    if rng.random() < 0.6:
        bg.append(rng.choice([0, 255, rng.randint(1, 254)]))
    return bg if rng.random() < 0.5 else tuple(bg)


def random_case(rng):
    """(w, h, radii, stroke_width, color, bg): mostly small surfaces (empty ones too), some of up
    to 300 x 200."""
    roll = rng.random()
    if roll < 0.6:
        w, h = rng.randint(0, 24), rng.randint(0, 24)
    elif roll < 0.8:
        w, h = rng.randint(1, 40), rng.randint(1, 40)
    else:
        w, h = rng.randint(40, 300), rng.randint(20, 200)
    radii, stroke_width = random_radii(rng, w, h), random_width(rng, w, h)
    if rng.random() < 0.08:
        # Pixel (1, 0) sits at (3, 4) from the corner's centre, 5 from it: half_width + 0.5
        # rounds up in single for many of these widths and the pixel lands exactly on it.
        radii, stroke_width = 4.5, 2 * float(np.float32(rng.uniform(1.5, 2)))
    return w, h, radii, stroke_width, random_color(rng), random_background(rng)


def random_content(nrng, w, h):
    """Noise, or one colour with scattered other pixels (runs of equal and unequal words);
    nrng: numpy's Generator."""
    if nrng.random() < 0.5:
        return nrng.integers(0, 256, (w, h, 4), dtype=np.uint8)
    content = np.empty((w, h, 4), np.uint8)
    content[...] = nrng.integers(0, 256, 4, dtype=np.uint8)
    spots = nrng.random((w, h)) < 0.05
    content[spots] = nrng.integers(0, 256, (int(spots.sum()), 4), dtype=np.uint8)
    return content
