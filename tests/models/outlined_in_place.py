"""A numpy model of the outline drawn over an existing surface, one step per operation of the
rule, written apart from the native code; and the helpers that hold a call to it."""
import numpy as np

from models.corners import read_radii
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


def random_content(nrng, w, h):
    """Noise, or one colour with scattered other pixels (runs of equal and unequal words)."""
    if nrng.random() < 0.5:
        return nrng.integers(0, 256, (w, h, 4), dtype=np.uint8)
    content = np.empty((w, h, 4), np.uint8)
    content[...] = nrng.integers(0, 256, 4, dtype=np.uint8)
    spots = nrng.random((w, h)) < 0.05
    content[spots] = nrng.integers(0, 256, (int(spots.sum()), 4), dtype=np.uint8)
    return content


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
