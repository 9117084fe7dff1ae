"""A float64 model of the soft shadow, written apart from the native kernel.

A pixel (i, j) is the unit square [i, i+1] x [j, j+1]; its value V is the average over that
square of the shape's indicator blurred by a Gaussian of sigma = blur / 2.  Along x the
integral has a closed form (the Gaussian convolved with the unit box, integrated); along y the
model integrates by adaptive Gauss-Kronrod (7/15 points) on every pixel at once, splitting
where the integrand has kinks.  blur 0 is the same integral with the box alone: exact area
coverage.  The kernel tabulates a fixed rule along the corner arcs instead; nothing here is
shared with it.
"""
import math

import numpy as np

# Beyond this many sigmas the Gaussian's tail (below 1e-15) is left out of the integrals.
TAIL_SIGMAS = 8.0
# Absolute tolerance of each pixel's integral along y.
TOLERANCE = 1e-10


def margin(blur, spread):
    """The padding around the shape on every side of the shadow's surface."""
    return math.ceil(1.5 * blur + max(spread, 0.0))


# ---- the error function, to double precision --------------------------------------------------


def _erf_series(x):
    """erf(x) for |x| <= 3 by its Taylor series (terms up to n = 60; cancellation costs at most
    four digits at x = 3)."""
    x2 = x * x
    term = x.copy()
    total = x.copy()
    for n in range(1, 61):
        term = term * (-x2) / n
        total = total + term / (2 * n + 1)
    return total * (2.0 / math.sqrt(math.pi))


def _erfc_fraction(x):
    """erfc(x) for x >= 3 by its continued fraction, evaluated bottom-up with 60 levels."""
    tail = np.zeros_like(x)
    for n in range(60, 0, -1):
        tail = (n / 2.0) / (x + tail)
    return np.exp(-x * x) / math.sqrt(math.pi) / (x + tail)


def erfc(x):
    x = np.asarray(x, dtype=np.float64)
    out = np.empty_like(x)
    small = np.abs(x) <= 3.0
    out[small] = 1.0 - _erf_series(x[small])
    big = x > 3.0
    out[big] = _erfc_fraction(x[big])
    neg = x < -3.0
    out[neg] = 2.0 - _erfc_fraction(-x[neg])
    return out


def Phi(z):
    """The standard normal distribution function."""
    return 0.5 * erfc(-np.asarray(z, dtype=np.float64) / math.sqrt(2.0))


def phi(z):
    z = np.asarray(z, dtype=np.float64)
    return np.exp(-0.5 * z * z) / math.sqrt(2.0 * math.pi)


# ---- the pixel kernel along one axis ----------------------------------------------------------


def box_density(u, s):
    """k(u): the unit box convolved with the Gaussian; the box itself for s = 0."""
    u = np.asarray(u, dtype=np.float64)
    if s == 0:
        return (np.abs(u) < 0.5).astype(np.float64)
    return Phi((u + 0.5) / s) - Phi((u - 0.5) / s)


def _ramp(u, s):
    """F(u) = u Phi(u/s) + s phi(u/s), whose derivative is Phi(u/s); max(u, 0) for s = 0."""
    if s == 0:
        return np.maximum(u, 0.0)
    return u * Phi(u / s) + s * phi(u / s)


def box_cdf(t, s):
    """K(t), the integral of k up to t: F(t + 1/2) - F(t - 1/2), between 0 and 1."""
    t = np.asarray(t, dtype=np.float64)
    return _ramp(t + 0.5, s) - _ramp(t - 0.5, s)


# ---- the shape --------------------------------------------------------------------------------


class Shape:
    """The grown rounded rectangle: edges, radii (tl, tr, br, bl) and sigma."""

    def __init__(self, size, radii, blur, spread):
        w, h = size
        m = margin(blur, spread)
        self.surface = (w + 2 * m, h + 2 * m)
        self.left = m - spread
        self.top = m - spread
        self.right = m + w + spread
        self.bottom = m + h + spread
        gw, gh = self.right - self.left, self.bottom - self.top
        self.empty = not (gw > 0 and gh > 0)
        bound = min(gw, gh) / 2.0
        self.radii = tuple(
            min(max((0.0 if math.isnan(r) else float(r)) + spread, 0.0), bound) if not self.empty else 0.0
            for r in radii
        )
        self.sigma = blur / 2.0

    def cross_section(self, y):
        """[a(y), b(y)]: where the shape's row at height y begins and ends (y within its rows)."""
        tl, tr, br, bl = self.radii
        a = np.full_like(y, self.left)
        b = np.full_like(y, self.right)

        def inset(r, d):  # how far a corner of radius r cuts in at distance d into its square
            d = np.clip(d, 0.0, r)
            return r - np.sqrt(np.maximum(r * r - (r - d) ** 2, 0.0))

        for r, top_side, left_side in ((tl, True, True), (tr, True, False), (br, False, False), (bl, False, True)):
            if r <= 0:
                continue
            d = (y - self.top) if top_side else (self.bottom - y)
            inside = d < r
            cut = np.where(inside, inset(r, d), 0.0)
            if left_side:
                a = np.maximum(a, self.left + cut)
            else:
                b = np.minimum(b, self.right - cut)
        return a, b

    def breaks(self, xs, offsets):
        """Heights where the integrand for pixel columns centred at xs bends: the corner squares'
        edges, and where an arc crosses the pixel's sides xs -+ 1/2, moved by each of
        `offsets` (the box's kinks, which the Gaussian spreads over a few sigma)."""
        tl, tr, br, bl = self.radii
        out = [np.full_like(xs, v) for v in (self.top + tl, self.top + tr, self.bottom - br, self.bottom - bl)]
        centres = ((tl, self.left + tl, self.top + tl, -1.0), (tr, self.right - tr, self.top + tr, -1.0),
                   (br, self.right - br, self.bottom - br, 1.0), (bl, self.left + bl, self.bottom - bl, 1.0))
        for r, ccx, ccy, sign in centres:
            if r <= 0:
                continue
            for side in [sign * 0.5 + o for sign in (-1.0, 1.0) for o in offsets]:
                dx = xs + side - ccx
                root = np.sqrt(np.maximum(r * r - dx * dx, 0.0))
                out.append(np.where(np.abs(dx) < r, ccy + sign * root, ccy))
        return out


# ---- adaptive Gauss-Kronrod along y ----------------------------------------------------------

_XK = np.array([0.991455371120813, 0.949107912342759, 0.864864423359769, 0.741531185599394,
                0.586087235467691, 0.405845151377397, 0.207784955007898, 0.0])
_WK = np.array([0.022935322010529, 0.063092092629979, 0.104790010322250, 0.140653259715525,
                0.169004726639267, 0.190350578064785, 0.204432940075298, 0.209482141084728])
_WG = np.array([0.129484966168870, 0.279705391489277, 0.381830050505119, 0.417959183673469])
_NODES = np.concatenate([-_XK[:-1], _XK[::-1]])  # 15 nodes, ascending
_WEIGHTS_K = np.concatenate([_WK[:-1], _WK[::-1]])
_WEIGHTS_G = np.zeros(15)
_WEIGHTS_G[1::2] = np.concatenate([_WG[:-1], _WG[::-1]])


def _integrate(f, a, b, owner, count):
    """Sum over intervals [a, b] of the integral of f(y, owner), per owner, to TOLERANCE."""
    total = np.zeros(count)
    budget = TOLERANCE
    for _ in range(60):
        if a.size == 0:
            return total
        half = 0.5 * (b - a)
        mid = 0.5 * (a + b)
        y = mid[:, None] + half[:, None] * _NODES[None, :]
        values = f(y, owner[:, None])
        kronrod = half * (values @ _WEIGHTS_K)
        gauss = half * (values @ _WEIGHTS_G)
        # An interval is done when its error estimate is within its share of the tolerance.
        done = np.abs(kronrod - gauss) <= budget * np.maximum(half, 1e-3) + 1e-15
        np.add.at(total, owner[done], kronrod[done])
        keep = ~done
        a, b, owner, mid = a[keep], b[keep], owner[keep], mid[keep]
        a, b, owner = np.concatenate([a, mid]), np.concatenate([mid, b]), np.concatenate([owner, owner])
    raise RuntimeError("the adaptive quadrature did not converge")


def shadow_value(shape, xs, ys):
    """V at pixels (xs[k], ys[k]) of the surface, float64."""
    xs = np.asarray(xs, dtype=np.float64).ravel()
    ys = np.asarray(ys, dtype=np.float64).ravel()
    count = xs.size
    if shape.empty or count == 0:
        return np.zeros(count)
    cx, cy = xs + 0.5, ys + 0.5
    s = shape.sigma
    reach = 0.5 + TAIL_SIGMAS * s
    lo = np.maximum(cy - reach, shape.top)
    hi = np.minimum(cy + reach, shape.bottom)
    # Breakpoints: the window's ends, the box edges cy +- 1/2, the corner squares' edges and
    # where the arcs cross the pixel's sides; the box's kinks and 1, 2 and 4 sigma either side
    # of them, where a small sigma makes the integrand bend within a fraction of the piece:
    # an estimate of the error from 15 points then misses the bend altogether.
    offsets = (0.0,) if s == 0 else (0.0, s, -s, 2 * s, -2 * s, 4 * s, -4 * s)
    cuts = [lo, hi] + [cy + side + o for side in (-0.5, 0.5) for o in offsets] + shape.breaks(cx, offsets)
    cuts = np.sort(np.stack([np.clip(c, lo, hi) for c in cuts], axis=1), axis=1)
    a, b = cuts[:, :-1].ravel(), cuts[:, 1:].ravel()
    owner = np.repeat(np.arange(count), cuts.shape[1] - 1)
    useful = b > a
    a, b, owner = a[useful], b[useful], owner[useful]

    def integrand(y, k):
        left, right = shape.cross_section(y)
        across = box_cdf(cx[k] - left, s) - box_cdf(cx[k] - right, s)
        return box_density(cy[k] - y, s) * across

    return np.clip(_integrate(integrand, a, b, owner, count), 0.0, 1.0)


def shadow_alpha(size, radii, blur, spread, alpha, xs, ys):
    """alpha * V at the pixels (xs[k], ys[k]) of the shadow's surface, float64.

    The stored byte must lie within 1 of this."""
    shape = Shape(size, radii, blur, spread)
    return alpha * shadow_value(shape, xs, ys)
