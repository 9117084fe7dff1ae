# Drawing straight into a surface against pygame's own drawing: make bench's draw table.
"""Drawing into a screen: the draw module's rounded_rect against pygame.draw.rect.

Every call draws onto one 1280x900 32-bit surface without per-pixel alpha, at (5, 5), in an
opaque colour unless the column says otherwise.  Columns:

  fill        draw.rounded_rect(screen, colour, rect, 0, r)
  rect        pygame.draw.rect(screen, colour, rect, 0, r): no anti-aliasing
  border      draw.rounded_rect(screen, colour, rect, 2, r)
  rect 2      pygame.draw.rect(screen, colour, rect, 2, r)
  aa by hand  what anti-aliased rounded corners cost with pygame alone: four
              pygame.draw.aacircle (filled) and two pygame.draw.rect; pygame-ce only, measured
              in a child interpreter of the pygame-ce environment as bench/shadow.py does
  blit        fast_shapes' cached surface of the shape (a cache hit) blitted onto the screen
  fill 50%    the fill in a colour of alpha 128: every pixel blended, no target
  border 50%  the border in that colour
  fill new    the fill of a shape this thread has not kept: each call 1 to 16 pixels narrower
              than the last, round sixteen widths (a thread keeps its last eight drawings and
              makes a shape that comes back again from them); no target
  border new  the border alike
"""
import json
import os
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import timing  # noqa: E402 (next to this file)

CE_CHILD = __name__ == "__main__" and sys.argv[1:2] == ["--ce-child"]
if CE_CHILD:  # pygame-ce's own interpreter: pygame is pygame-ce, and the module is not built for it
    import pygame
else:
    from ralo_ui.core.modules import pygame
    from ralo_ui.fast.shapes import draw
    from ralo_ui.fast.shapes import fast_shapes as fs

COLOR = (40, 120, 220)
HALF = (40, 120, 220, 128)
AT = (5, 5)
CASES = [((64, 32), 8), ((256, 64), 12), ((1024, 768), 24)]
QUICK_CASES = [((64, 32), 8), ((256, 64), 12)]
COLUMNS = ("fill", "rect", "border", "rect 2", "aa by hand", "blit", "fill 50%", "border 50%", "fill new",
           "border new")
# (ratio name, numerator, denominator, bound, applies to this size)
TARGETS = [
    ("fill/rect", "fill", "rect", 1.2, lambda size: size[0] >= 256),
    ("border/rect 2", "border", "rect 2", 1.5, lambda size: True),
    ("fill/aa", "fill", "aa by hand", 0.1, lambda size: True),
    ("fill/blit", "fill", "blit", 1.0, lambda size: size[0] >= 256),
]

_screens = {}


def screen():
    """The one screen every call draws on (made once per interpreter)."""
    if "s" not in _screens:
        _screens["s"] = pygame.Surface((1280, 900))
        _screens["s"].fill((30, 30, 30))
    return _screens["s"]


def _rect(size):
    return (*AT, *size)


def aa_by_hand(size, r):
    s, (x, y), (w, h) = screen(), AT, size
    for cx, cy in ((x + r, y + r), (x + w - r - 1, y + r), (x + r, y + h - r - 1), (x + w - r - 1, y + h - r - 1)):
        pygame.draw.aacircle(s, COLOR, (cx, cy), r)
    pygame.draw.rect(s, COLOR, (x + r, y, w - 2 * r, h))
    pygame.draw.rect(s, COLOR, (x, y + r, w, h - 2 * r))


def _blit(size, r):
    screen().blit(fs.create_rounded_rect_surface(size, (r, r, r, r), COLOR), AT)


def _new_shapes(size, r, width):
    """A call drawing a shape not kept: sixteen widths in turn."""
    s, (x, y, w, h) = screen(), _rect(size)
    turn = [0]

    def call():
        turn[0] = (turn[0] + 1) % 16
        draw.rounded_rect(s, COLOR, (x, y, w - turn[0], h), width, r)

    return call, ()


def calls(size, r):
    s, rect = screen(), _rect(size)
    out = {
        "fill": (draw.rounded_rect, (s, COLOR, rect, 0, r)),
        "rect": (pygame.draw.rect, (s, COLOR, rect, 0, r)),
        "border": (draw.rounded_rect, (s, COLOR, rect, 2, r)),
        "rect 2": (pygame.draw.rect, (s, COLOR, rect, 2, r)),
        "aa by hand": (aa_by_hand, (size, r)) if hasattr(pygame.draw, "aacircle") else None,
        "blit": (_blit, (size, r)),
        "fill 50%": (draw.rounded_rect, (s, HALF, rect, 0, r)),
        "border 50%": (draw.rounded_rect, (s, HALF, rect, 2, r)),
        "fill new": _new_shapes(size, r, 0),
        "border new": _new_shapes(size, r, 2),
    }
    return out


def _ce_times(cases, quick):
    """The aa-by-hand column from the pygame-ce environment's interpreter; {} without one."""
    python = os.environ.get("RALO_UI_BENCH_CE_PYTHON")
    if hasattr(pygame.draw, "aacircle") or not python:
        return {}
    arg = json.dumps([[list(size), r] for size, r in cases])
    out = subprocess.run([python, __file__, "--ce-child", arg, *(["--quick"] if quick else [])],
                         capture_output=True, text=True, env=dict(os.environ, PYTHONPATH=str(Path(__file__).parent)))
    if out.returncode != 0:
        raise RuntimeError(f"the pygame-ce child failed: {out.stderr.strip()[-500:]}")
    return {(tuple(size), r): t for size, r, t in json.loads(out.stdout)}


def run(measure_row, mode):
    """One row per case: microseconds per call of each column, the ratios and their targets."""
    cases = QUICK_CASES if mode.quick else CASES
    ce = _ce_times(cases, mode.quick)
    rows = []
    for size, r in cases:
        present = {k: c for k, c in calls(size, r).items() if c is not None}
        times, errors = measure_row(mode, list(present.values()))
        for exc in errors:
            if exc is not None:
                raise exc
        cells = dict(zip(present, times))
        if cells.get("aa by hand") is None:
            cells["aa by hand"] = ce.get((tuple(size), r))
        row = {"size": f"{size[0]}x{size[1]}", "radius": r, **{k: cells.get(k) for k in COLUMNS}}
        row["ratios"], texts, ok = {}, [], True
        for name, num, den, bound, applies in TARGETS:
            value = row[num] / row[den] if row[num] and row[den] else None
            row["ratios"][name] = value
            if applies(size):
                texts.append(f"{name}<={bound:.3g}")
                ok = ok and value is not None and value <= bound
        row["target"], row["ok"] = " ".join(texts), "ok" if ok else "MISS"
        rows.append(row)
    return rows


def table(rows):
    names = [name for name, *_ in TARGETS]
    head = ["shape", *COLUMNS, *names, "target", "ok"]
    body = [[f"{row['size']} r{row['radius']}", *(timing.us(row[k]) for k in COLUMNS),
             *(timing.ratio(row["ratios"][n]) for n in names), row["target"], row["ok"]] for row in rows]
    return timing.text_table(head, body, "microseconds per call onto a 1280x900 32-bit surface without per-pixel "
                             "alpha; ratios below 1: the module faster")


def _ce_child(cases, quick):
    """In the pygame-ce environment: the aa-by-hand column, timed as the parent times its cells."""
    mode = timing.Mode(quick)
    result = []
    for size, r in cases:
        (t,), (exc,) = timing.measure_row(mode, [(aa_by_hand, (tuple(size), r))])
        if exc is not None:
            raise exc
        result.append([size, r, t])
    print(json.dumps(result))


if CE_CHILD:
    _ce_child(json.loads(sys.argv[2]), "--quick" in sys.argv[3:])
