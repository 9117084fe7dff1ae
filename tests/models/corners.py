"""A numpy float32 model of the rounded-corner alpha rule, written apart from the native code,
and the helpers the corner tests share."""
import math

import numpy as np

from models.numeric import f32, fma32, store_byte

F = np.float32


def read_radii(radii_input):
    """top-left, top-right, bottom-right, bottom-left as float32, as every function reads its radii."""
    if isinstance(radii_input, (int, float)):
        return (f32(radii_input),) * 4
    if len(radii_input) == 4:
        return tuple(f32(v) for v in radii_input)
    return (F(0),) * 4


def cut_corners(alpha, radii, center, half, edge):
    """Rewrites alpha[x, y] inside the corner squares, as the rasterisers do.

    radii: top-left, top-right, bottom-left, bottom-right (bounded already);
    edge(old_alpha_f32, coverage) gives the float32 value stored on the ramp.
    """
    w, h = alpha.shape
    cx, cy = center
    hw, hh = half
    for corner, r in enumerate(radii):
        if not r > 0:
            continue
        n = math.trunc(float(r))
        if n == 0:
            continue
        x0 = w - n if corner in (1, 3) else 0
        y0 = h - n if corner >= 2 else 0
        xs = np.arange(x0, x0 + n, dtype=F)[:, None]
        ys = np.arange(y0, y0 + n, dtype=F)[None, :]
        qx = np.abs(xs - cx) + (r - hw)
        qy = np.abs(ys - cy) + (r - hh)
        mx = np.maximum(qx, F(0))
        my = np.maximum(qy, F(0))
        d = np.sqrt(fma32(mx, mx, my * my)) + np.minimum(F(0), np.maximum(qx, qy))
        sd = d - r
        square = alpha[x0:x0 + n, y0:y0 + n]
        stored = store_byte(edge(square.astype(F), (r + F(0.5)) - d))
        ramp = (sd > F(-0.5)) & (sd < F(0.5))
        square[ramp] = stored[ramp]
        square[sd >= F(0.5)] = 0


def scaled(alpha_base):
    return lambda old, coverage: coverage * F(alpha_base)


def kept(old, coverage):
    return old * coverage


def filled_alpha(w, h, radii_input, alpha_base):
    """The alpha plane of a new filled surface ([x, y])."""
    tl, tr, br, bl = read_radii(radii_input)
    min_dim = F(min(w, h) / 2)
    tl, tr, bl, br = (min_dim if min_dim < r else r for r in (tl, tr, bl, br))
    alpha = np.full((w, h), alpha_base, dtype=np.uint8)
    cut_corners(alpha, (tl, tr, bl, br), (F((w - 1) / 2), F((h - 1) / 2)), (F(w / 2), F(h / 2)),
                scaled(alpha_base))
    return alpha


def bounded_in_place(w, h, radii_input):
    """Radii bounded to [0, half the smaller side]: top-left, top-right, bottom-left, bottom-right."""
    tl, tr, br, bl = read_radii(radii_input)
    max_radius = min(F(w / 2), F(h / 2))
    out = []
    for r in (tl, tr, bl, br):
        r = F(0) if r < 0 else r
        out.append(max_radius if max_radius < r else r)
    return out


def in_place_alpha(alpha, radii_input, alpha_base=None):
    """The alpha plane after the corners of an existing one are cut (colour given or not)."""
    w, h = alpha.shape
    alpha = alpha.copy()
    center = (F((w - 1) / 2), F((h - 1) / 2))
    cut_corners(alpha, bounded_in_place(w, h, radii_input), center, center,
                kept if alpha_base is None else scaled(alpha_base))
    return alpha


# Pictures and arguments for the corner tests

def mirrored(size, block, inside):
    """An alpha plane ([x, y]) with `block` (rows y, columns x) in the top-left corner,
    mirrored into the other three."""
    alpha = np.full(size, inside, dtype=np.uint8)
    b = np.array(block, dtype=np.uint8).T
    n = len(block)
    alpha[:n, :n] = b
    alpha[-n:, :n] = b[::-1, :]
    alpha[:n, -n:] = b[:, ::-1]
    alpha[-n:, -n:] = b[::-1, ::-1]
    return alpha


def random_radius(rng):
    """Mostly 0 to 40, whole or fractional; sometimes negative or extreme."""
    pick = rng.random()
    if pick < 0.45:
        return rng.randint(0, 40)
    if pick < 0.8:
        return rng.uniform(0, 40)
    if pick < 0.9:
        return -rng.uniform(0, 10)
    return rng.choice([math.nan, math.inf, -math.inf, 1e39, True, False, 0.5, 1e-45, 2**40])


def random_radii(rng):
    """One radius, four as a tuple or list, or a sequence of another length."""
    pick = rng.random()
    if pick < 0.4:
        return random_radius(rng)
    if pick < 0.9:
        radii = [random_radius(rng) for _ in range(4)]
        return tuple(radii) if rng.random() < 0.5 else radii
    return tuple(random_radius(rng) for _ in range(rng.choice([0, 1, 2, 3, 5])))
