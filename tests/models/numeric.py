"""The number formats the drawing rules work in: float32 values, a fused multiply-add rounded
once, and the 8-bit store."""
import numpy as np

F = np.float32
FINF = F(np.inf)


def f32(value):
    """A Python number rounded once to the nearest float32 (overflow gives an infinity)."""
    with np.errstate(over="ignore"):
        return F(float(value))


def fma32(a, b, c):
    """a * b + c on float32 arrays, rounded once to float32.

    The product of two float32 values is exact in float64; the sum with c is
    split by two-sum into s + err exactly.  Rounding s to float32 is correct
    unless s sits exactly halfway between two float32 values while err is not
    zero: then the sign of err decides the side.
    """
    a, b, c = (np.asarray(v, dtype=F) for v in (a, b, c))
    p = a.astype(np.float64) * b.astype(np.float64)
    c64 = c.astype(np.float64)
    s = p + c64
    bb = s - p
    err = (p - (s - bb)) + (c64 - bb)
    r = s.astype(F)
    back = r.astype(np.float64)
    up = s > back
    away = np.nextafter(r, np.where(up, FINF, -FINF))
    # s - back and away - back are exact (Sterbenz), as is the doubling.
    tie = (s != back) & ((s - back) * 2 == away.astype(np.float64) - back)
    wrong = tie & (err != 0) & ((err > 0) == up)
    return np.where(wrong, away, r)


def store_byte(values):
    """The 8-bit store: toward zero to int32 (saturating, NaN -> 0), the low eight bits."""
    t = np.trunc(np.asarray(values, np.float64))
    t = np.clip(np.where(np.isnan(t), 0.0, t), -(2.0**31), 2.0**31 - 1)
    return (t.astype(np.int64) & 0xFF).astype(np.uint8)
