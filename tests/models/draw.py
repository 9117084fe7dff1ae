"""Drawing into a surface in float64: which share of each pixel a rounded rect, the band of a
border or a shadow covers (the shadow model's integral, with the box alone for exact area
coverage), and the colour composited over the pixel by it."""
import numpy as np

from models import shadow


class _Shape(shadow.Shape):
    """A shape whose radius may exceed the side across (a border's inner shape): where a corner
    cuts a row away entirely, the row is empty rather than negative."""

    def cross_section(self, y):
        a, b = super().cross_section(y)
        return a, np.maximum(a, b)


def shape(left, top, right, bottom, radii, sigma=0.0):
    """The shadow model's shape at the given edges and radii (tl, tr, br, bl), as they are."""
    s = _Shape.__new__(_Shape)
    s.left, s.top, s.right, s.bottom = left, top, right, bottom
    s.radii = tuple(float(r) for r in radii)
    s.sigma = sigma
    s.empty = not (right > left and bottom > top)
    return s


def bounded(w, h, border_radius, corners):
    """pygame's radii: a negative corner (tl, tr, br, bl) takes border_radius, a negative
    result is 0, and all are scaled by one factor when two on a side need more than it."""
    r = [max(border_radius if c < 0 else c, 0.0) for c in corners]
    f = 1.0
    for side, a, b in ((w, r[0], r[1]), (w, r[3], r[2]), (h, r[0], r[3]), (h, r[1], r[2])):
        if a + b > side:
            f = min(f, side / (a + b))
    return [v * f for v in r]


def coverage(rect, width, radii, size):
    """[x, y] array of the share of each pixel of a size surface that rounded_rect(rect, width)
    covers, radii bounded already: the rect's shape, less the inner one for a border."""
    x, y, w, h = rect
    xs, ys = np.meshgrid(np.arange(size[0]), np.arange(size[1]), indexing="ij")
    outer = shape(x, y, x + w, y + h, radii)
    cov = shadow.shadow_value(outer, xs, ys)
    if width > 0:
        inner = shape(x + width, y + width, x + w - width, y + h - width, [max(r - width, 0.0) for r in radii])
        cov = cov - shadow.shadow_value(inner, xs, ys)
    return np.clip(cov, 0.0, 1.0).reshape(size)


def composite(rgb, alpha, color, cov):
    """The exact samples after compositing color (r, g, b, a) over rgb [x, y, 3] (and alpha
    [x, y], or None without per-pixel alpha) at alpha x cov: (rgb, alpha) as floats."""
    s = color[3] / 255.0 * cov
    rgb = rgb.astype(np.float64)
    c = np.array(color[:3], np.float64)
    if alpha is None:
        return rgb + s[..., None] * (c - rgb), None
    d = alpha / 255.0
    keep = d * (1.0 - s)
    a = s + keep
    safe = np.where(a > 0, a, 1.0)
    out = (c * s[..., None] + rgb * keep[..., None]) / safe[..., None]
    out = np.where((s > 0)[..., None], out, rgb)
    return out, np.where(s > 0, 255.0 * a, alpha.astype(np.float64))
