"""A numpy float32 model of the outline drawn into a new surface (bands, then corner squares
from the signed distance to the stroke's centre line), written apart from the native code."""
import math

import numpy as np

from models.numeric import fma32, store_byte
from models.surfaces import planes
from ralo_ui.fast.shapes import fast_shapes as fs

F = np.float32


@np.errstate(all="ignore")
def model(w, h, radius, width, color, write=None):
    """(rgb, alpha) arrays indexed [x, y] that the outline rule gives, clipped to the surface.

    `write(x, y, rgb, alpha)`, if given, is also called for every pixel write in the order the
    rule makes them: the bands, then the corner squares, each row by row from the top and
    pixel by pixel from the left."""
    rgb_out = np.zeros((w, h, 3), np.uint8)
    a_out = np.zeros((w, h), np.uint8)
    alpha_base = color[3] if len(color) > 3 else 255
    if alpha_base == 0:
        return rgb_out, a_out
    width = F(width)
    r = radius
    if w < 2 * r:
        r = w // 2
    if h < 2 * r:
        r = h // 2
    hw = F(0.5) * width
    cr = float(r) - float(hw)
    cr = F(cr) if cr > 0 else F(0)
    cx, cy = F((w - 1) * 0.5), F((h - 1) * 0.5)
    clw = F(((float(F(w) - width) - 1.0) - 2.0 * float(cr)) * 0.5)
    clh = F(((float(F(h) - width) - 1.0) - 2.0 * float(cr)) * 0.5)
    if math.isnan(width):
        sw = 0
    elif math.isinf(width):
        sw = 2**31 - 1 if width > 0 else -2**31
    else:
        sw = max(-2**31, min(2**31 - 1, math.ceil(width)))
    cutoff = hw + F(0.5)
    a8 = alpha_base & 0xFF

    def band(x0, x1, y0, y1):
        x0, x1, y0, y1 = max(x0, 0), min(x1, w), max(y0, 0), min(y1, h)
        if x0 < x1 and y0 < y1:
            rgb_out[x0:x1, y0:y1] = color[:3]
            a_out[x0:x1, y0:y1] = a8
            for y in range(y0, y1) if write else ():
                for x in range(x0, x1):
                    write(x, y, color[:3], a8)

    band(r, w - r, 0, sw)
    band(r, w - r, h - sw, h)
    band(0, sw, r, h - r)
    band(w - sw, w, r, h - r)
    box = min(r + sw, w // 2, h // 2)
    if box <= 0:
        return rgb_out, a_out
    for x0, y0 in ((0, 0), (w - box, 0), (0, h - box), (w - box, h - box)):
        xs = np.arange(x0, x0 + box).astype(F)[:, None]
        ys = np.arange(y0, y0 + box).astype(F)[None, :]
        dy = np.broadcast_to(np.abs(ys - cy) - clh, (box, box))
        dyp = np.where(dy > 0, dy, F(0))
        dx = np.broadcast_to(np.abs(xs - cx) - clw, (box, box))
        root = np.sqrt(fma32(dx, dx, dyp * dyp))
        dist = np.where((dx > 0) & (dyp > 0), root, np.where(dyp > dx, dyp, dx))
        larger = np.where(dy > dx, dy, dx)
        sd = (np.where(larger < 0, larger, F(0)) - cr) + dist
        dfe = np.abs(sd)
        af = hw - dfe
        hit = ~(dfe > cutoff) & (af > F(-0.5))
        part = store_byte((af + F(0.5)) * F(alpha_base))  # read only where af is in (-0.5, 0.5)
        alpha = np.where(af >= F(0.5), a8, part)
        sx, sy = slice(x0, x0 + box), slice(y0, y0 + box)
        rgb_out[sx, sy][hit] = color[:3]
        a_out[sx, sy][hit] = alpha[hit]
        for y, x in zip(*np.nonzero(hit.T)) if write else ():
            write(x0 + x, y0 + y, color[:3], alpha[x, y])
    return rgb_out, a_out


def assert_outlined(size, radius, width, color, got=None):
    """The surface (or the (rgb, alpha) planes) `got`, by default a new one made with these
    arguments, holds the model's pixels, bit for bit."""
    if got is None:
        got = fs._create_outlined_rounded_rect_sdf(size, radius, width, color)
        assert got.get_size() == size
    rgb, alpha = planes(got) if not isinstance(got, tuple) else got
    want_rgb, want_alpha = model(*size, radius, width, color)
    case = (size, radius, width, color)
    np.testing.assert_array_equal(alpha, want_alpha, err_msg=f"alpha of {case}")
    np.testing.assert_array_equal(rgb, want_rgb, err_msg=f"colour of {case}")
