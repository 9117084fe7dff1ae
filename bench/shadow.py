# The soft shadows of the draw module against their floor and their peers: make bench's shadow table.
"""Soft shadows: the draw module's _create_shadow_surface against its floor and peers.

Each case is a rounded rectangle and a Gaussian sigma (blur = 2 sigma); every
surface is padded by the module's margin (3 sigma).  Columns:

  module      draw._create_shadow_surface(size, radii, 2 sigma, colour)
  floor       pygame's Surface + fill of the padded surface: what any new shadow surface costs
  Skia        skia-python: a raster surface of the padded size, a blur mask filter of sigma,
              the rounded rectangle drawn with it (its own surface, nothing read back)
  Skia->pg    the same, its pixels read back into a pygame surface
  ce blur     pygame-ce: fast_shapes' filled shape blitted into the padded surface, then
              pygame.transform.gaussian_blur with radius 3 sigma (not a Gaussian of that sigma,
              but the nearest thing pygame-ce offers); measured in a child interpreter of the
              pygame-ce environment, since pygame and pygame-ce cannot share one

A peer that is not installed is '-'.  `make bench` runs the benchmark in an environment with
skia-python and names the pygame-ce interpreter (tools/venv).
"""
import json
import math
import os
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import timing  # noqa: E402 (next to this file)

from ralo_ui.core.modules import pygame  # noqa: E402
from ralo_ui.fast.shapes import draw  # noqa: E402
from ralo_ui.fast.shapes import fast_shapes as fs  # noqa: E402

try:
    import skia
except ImportError:  # optional peer
    skia = None

COLOR = (0, 0, 0, 160)
SRC = Path(__file__).resolve().parents[1] / "src"  # the package, for the pygame-ce child
# (size, radius, sigma): the cases of the table.
CASES = [((64, 32), 8, 2), ((64, 32), 8, 8), ((256, 64), 12, 2), ((256, 64), 12, 8),
         ((1024, 768), 24, 2), ((1024, 768), 24, 8)]
QUICK_CASES = [((64, 32), 8, 2), ((160, 120), 12, 8)]
PEER_NAMES = ("Skia", "Skia->pg", "ce blur")
# (ratio key, bound, applies to this case): at most 1.5 x the floor on the largest shapes;
# faster than Skia everywhere, and at most half of it from 256x64 up.
TARGETS = [
    ("floor", 1.5, lambda size: size[0] >= 1024),
    ("Skia", 1.0, lambda size: True),
    ("Skia", 0.5, lambda size: size[0] >= 256),
]


def _padded(size, sigma):
    m = draw.shadow_margin(2 * sigma)
    return size[0] + 2 * m, size[1] + 2 * m, m


def module_call(size, r, sigma):
    return draw._create_shadow_surface, (size, (r, r, r, r), 2 * sigma, COLOR)


def _floor(width, height):
    surf = pygame.Surface((width, height), pygame.SRCALPHA)
    surf.fill(COLOR)
    return surf


def floor_call(size, r, sigma):
    w, h, _ = _padded(size, sigma)
    return _floor, (w, h)


def _skia_shadow(size, r, sigma):
    w, h, m = _padded(size, sigma)
    surface = skia.Surface(w, h)
    canvas = surface.getCanvas()
    paint = skia.Paint(Color=skia.ColorSetARGB(COLOR[3], *COLOR[:3]), AntiAlias=True,
                       MaskFilter=skia.MaskFilter.MakeBlur(skia.kNormal_BlurStyle, sigma))
    canvas.drawRRect(skia.RRect.MakeRectXY(skia.Rect.MakeXYWH(m, m, *size), r, r), paint)
    return surface, w, h


def skia_own(size, r, sigma):
    return _skia_shadow(size, r, sigma)[0]


def skia_to_pygame(size, r, sigma):
    surface, w, h = _skia_shadow(size, r, sigma)
    pixels = surface.toarray(colorType=skia.kRGBA_8888_ColorType, alphaType=skia.kUnpremul_AlphaType)
    return pygame.image.frombuffer(pixels.tobytes(), (w, h), "RGBA")


def ce_blur(size, r, sigma):
    w, h, m = _padded(size, sigma)
    shape = fs._create_rounded_rect_surface_optimized(size, (r, r, r, r), COLOR)
    surf = pygame.Surface((w, h), pygame.SRCALPHA)
    surf.fill((*COLOR[:3], 0))
    surf.blit(shape, (m, m))
    return pygame.transform.gaussian_blur(surf, math.ceil(3 * sigma))


def peer_calls(case):
    size, r, sigma = case
    calls = {"Skia": None, "Skia->pg": None, "ce blur": None}
    if skia is not None:
        calls["Skia"] = (skia_own, (size, r, sigma))
        calls["Skia->pg"] = (skia_to_pygame, (size, r, sigma))
    if hasattr(pygame.transform, "gaussian_blur"):
        calls["ce blur"] = (ce_blur, (size, r, sigma))
    return calls


def _ce_times(cases, quick):
    """The pygame-ce column, from a child interpreter of the pygame-ce environment; {} without one."""
    python = os.environ.get("RALO_UI_BENCH_CE_PYTHON")
    if hasattr(pygame.transform, "gaussian_blur") or not python:
        return {}
    arg = json.dumps([[list(size), r, sigma] for size, r, sigma in cases])
    out = subprocess.run([python, __file__, "--ce-child", arg, *(["--quick"] if quick else [])],
                         capture_output=True, text=True, env=dict(os.environ, PYTHONPATH=str(SRC)))
    if out.returncode != 0:  # the column is left out, the table still made
        last = out.stderr.strip().splitlines()[-1:] or ["no output"]
        print(f"(the pygame-ce column is not measured: its child failed: {last[0]})", file=sys.stderr)
        return {}
    return {(tuple(size), r, sigma): t for size, r, sigma, t in json.loads(out.stdout)}


def check(size, ratios):
    texts, ok = [], True
    for key, bound, applies in TARGETS:
        if not applies(size):
            continue
        texts.append(f"{key}<={bound:.3g}")
        value = ratios.get(key)
        ok = ok and value is not None and value <= bound
    return " ".join(texts), ("ok" if ok else "MISS") if ratios else "n/a"


def run(measure_row, mode):
    """One row per case: microseconds per call of the module, its floor and each peer."""
    cases = QUICK_CASES if mode.quick else CASES
    ce = _ce_times(cases, mode.quick)
    rows = []
    for case in cases:
        size, r, sigma = case
        peers = peer_calls(case)
        calls = [module_call(*case), floor_call(*case), *[c for c in peers.values() if c is not None]]
        times, errors = measure_row(mode, calls)
        for exc in errors:
            if exc is not None:
                raise exc
        cells = dict(zip(["module", "floor", *[k for k, c in peers.items() if c is not None]], times))
        if cells.get("ce blur") is None and (tuple(size), r, sigma) in ce:
            cells["ce blur"] = ce[(tuple(size), r, sigma)]
        w, h, _ = _padded(size, sigma)
        row = {"size": f"{size[0]}x{size[1]}", "radius": r, "sigma": sigma, "padded": f"{w}x{h}",
               "module": cells["module"], "floor": cells["floor"], **{p: cells.get(p) for p in PEER_NAMES}}
        row["ratios"] = {k: row["module"] / row[k] for k in ("floor", *PEER_NAMES) if row[k]}
        row["target"], row["ok"] = check(size, row["ratios"])
        rows.append(row)
    return rows


def table(rows):
    us, ratio = timing.us, timing.ratio
    head = ["shape", "sigma", "padded", "module", "floor", *PEER_NAMES, "mod/floor",
            *(f"mod/{p}" for p in PEER_NAMES), "target", "ok"]
    body = [[f"{row['size']} r{row['radius']}", str(row["sigma"]), row["padded"], us(row["module"]),
             us(row["floor"]), *(us(row[p]) for p in PEER_NAMES),
             *(ratio(row["ratios"].get(k)) for k in ("floor", *PEER_NAMES)), row["target"], row["ok"]]
            for row in rows]
    return timing.text_table(head, body, "microseconds per call; ratios are module / column (below 1: module faster)")


def _ce_child(cases, quick):
    """In the pygame-ce environment: the ce column, timed as the parent times its cells."""
    mode = timing.Mode(quick)
    result = []
    for size, r, sigma in cases:
        (t,), (exc,) = timing.measure_row(mode, [(ce_blur, (tuple(size), r, sigma))])
        if exc is not None:
            raise exc
        result.append([size, r, sigma, t])
    print(json.dumps(result))


if __name__ == "__main__" and sys.argv[1:2] == ["--ce-child"]:
    _ce_child(json.loads(sys.argv[2]), "--quick" in sys.argv[3:])
