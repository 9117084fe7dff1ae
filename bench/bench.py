# Times fast_shapes against its floors and its peers and prints one table with ratios and targets.
"""Benchmark of fast_shapes.

    PYTHONPATH=src python3 bench/bench.py [--quick] [--sweep | --no-sweep] [--chart PNG] [--json FILE]
    PYTHONPATH=src python3 bench/bench.py --instructions [--json FILE] [--check] [--update]

Every cell is the median, over repeated batches, of the time per call in
microseconds; a batch is sized to take about 8 ms of wall time (slow peers run
one call per batch).  The cells of a row take turns, one batch each per round,
for 5 to 25 rounds within about a second, so that other load on the machine
falls on all of them alike.  Columns:

  module   the fast_shapes function
  floor    the least work any implementation of the operation must do in pygame
           (Surface + fill + the two pixel views for a new surface, the two views,
           a fill and the views, one fill, or a bare lru_cache hit)
  peers    what a Python developer would use instead (see peers.py)
  ratios   module / floor and module / each peer (below 1: the module is faster)
  target   the goal the module is held to, then ok or MISS

Two rows follow the sizes.  The outline with a background at 3840x2160
against one fill of the same surface: both write every pixel, and a fill runs
at the memory's write speed.  Then that large outline in one thread and in two
threads at once (each on its own surface): its module cell is the wall time
per call with two threads, its floor the time per call with one.  Two threads
share one memory bus, so the target is not a fixed speed-up but numpy's own:
numpy filling the same surfaces' pixels (its fill runs detached too), one
thread against two, in the same run; the module's speed-up is held to that
one's.

Then the kernel tables (kernels.py): every module call of the table on the
baseline kernels against the processor's own, timed in turns in the same run.
Then the draw module's soft shadows against their floor, Skia and pygame-ce
(shadow.py), and its drawing into a screen against pygame.draw.rect (draw_into.py).

After those comes the size sweep (sweep.py; by default only without
--quick): every operation against its floor from 64x32 to 7680x4320, printed
and drawn as a chart (build/sweep.png unless --chart names another file, such as
bench/sweep.png, the README's picture).  --instructions counts instructions per call
of a fixed set of calls under callgrind instead, and with --check holds them to the committed
budget (instructions.py).
"""
import argparse
import json
import os
import platform
import sys
import time
from pathlib import Path

import numpy as np
from ralo_ui.core.modules import pygame  # the toolkit's own binding (quiet import)

sys.path.insert(0, str(Path(__file__).resolve().parent))
import instructions  # noqa: E402
import kernels  # noqa: E402
import peers  # noqa: E402
import draw_into  # noqa: E402
import shadow  # noqa: E402
import sweep  # noqa: E402
import timing  # noqa: E402
from calls import BACKGROUND, STROKE, STROKE_COLOR, cases, content, fill  # noqa: E402
from timing import measure_row  # noqa: E402 (sweep.run takes this module for its cases and timing)

from ralo_ui.fast.shapes import fast_shapes as fs  # noqa: E402

# Targets: (key of the ratio it bounds, "<=" or ">=", bound, only on the large size).
# The numpy target is "50x faster", that is module / numpy <= 1/50.
TARGETS = {
    "filled": [("floor", "<=", 1.2, False)],
    "outlined": [("floor", "<=", 1.25, False)],
    "round": [("floor", "<=", 3.0, False)],
    # pygame's fill writes past the caches (non-temporal stores), so below panel sizes the
    # corner rows' cache lines come back from memory, which the floor never touches again:
    # about 0.6 us at 64x32 here, the whole gap (running the corners twice costs no more).
    "round+colour": [("floor", "<=", 2.0, False), ("floor", "<=", 1.2, True)],
    "outline": [("draw.rect", "<=", 1.5, True)],
    "outline+bg": [("floor", "<=", 1.5, True), ("numpy", "<=", 1 / 50, True)],
    "hit": [("floor", "<=", 1.4, False)],
    # Writing every pixel of a 4K surface: the fill it is held to runs at the memory's speed.
    "4k": [("floor", "<=", 1.1, False)],
    # Two threads' speed-up over one, against numpy's on the same bytes (memory bandwidth caps both).
    "threads": [("vs numpy", ">=", 0.9, False)],
}


def check(targets, ratios, large):
    """(target text, "ok"/"MISS"/"n/a"/"") for one row; "n/a" when the module was not measured."""
    texts, ok = [], True
    for key, op, bound, large_only in targets:
        if large_only and not large:
            continue
        texts.append(f"{key}{op}{bound:.3g}")
        value = ratios.get(key)
        ok = ok and value is not None and (value <= bound if op == "<=" else value >= bound)
    if not texts:
        return "", ""
    if not ratios:
        return " ".join(texts), "n/a"
    return " ".join(texts), "ok" if ok else "MISS"


def run(mode):
    rows, errors = [], {}
    for w, h, r in mode.sizes:
        large = (w, h, r) == mode.large
        for case in cases(w, h, r):
            peer_fns = peers.PEERS.get(case.key, {})
            labels = [f"module {case.name}", "floor", *(f"{p} {case.key}" for p in peers.PEER_NAMES)]
            calls = [(case.fn, case.args()), (case.floor_fn, case.floor_args())]
            calls += [(peer_fns.get(p), case.args()) for p in peers.PEER_NAMES]
            present = [i for i, (fn, _) in enumerate(calls) if fn is not None]
            times, failures = measure_row(mode, [calls[i] for i in present])
            cells = [None] * len(calls)
            for i, t, exc in zip(present, times, failures):
                cells[i] = t
                if exc is not None:
                    if i == 1:
                        raise exc  # the floor is plain pygame: a failure there is a broken benchmark
                    errors.setdefault(labels[i], f"{type(exc).__name__}: {exc}")
            row = {"operation": case.name, "size": f"{w}x{h}", "radius": r, "module": cells[0],
                   "floor_kind": case.floor_name, "floor": cells[1], **dict(zip(peers.PEER_NAMES, cells[2:]))}
            ratios = {}
            if row["module"] is not None:
                for k in ("floor", *peers.PEER_NAMES):
                    if row[k]:
                        ratios[k] = row["module"] / row[k]
            row["ratios"] = ratios
            row["target"], row["ok"] = check(TARGETS[case.key], ratios, large)
            rows.append(row)
    rows.append(four_k_row(mode, errors))
    rows.append(threads_row(mode, errors))
    return rows, errors


def four_k_row(mode, errors):
    """The outline over a background on a 3840x2160 surface (a smaller one with --quick) against one fill."""
    w, h, r = mode.four_k
    row = {"operation": "outline +bg vs one fill", "size": f"{w}x{h}", "radius": r, "floor_kind": "fill",
           "module": None, "floor": None, "ratios": {}}
    row.update(dict.fromkeys(peers.PEER_NAMES))
    calls = [(fs.transform_into_outlined_rounded_rect, (content(w, h), r, STROKE, STROKE_COLOR, BACKGROUND)),
             (fill, (content(w, h), BACKGROUND))]
    (module, floor), failures = measure_row(mode, calls)
    if failures[1] is not None:
        raise failures[1]  # plain pygame: a failure there is a broken benchmark
    if failures[0] is not None:
        errors.setdefault("module transform_into_outlined_rounded_rect", f"{type(failures[0]).__name__}: {failures[0]}")
    else:
        row["module"], row["floor"], row["ratios"] = module, floor, {"floor": module / floor}
    row["target"], row["ok"] = check(TARGETS["4k"], row["ratios"], True)
    return row


def _numpy_fill_args(w, h):
    """A surface's pixels as one array of words, and the background's word: numpy's fill of the same bytes."""
    surf = content(w, h)
    pixels = pygame.surfarray.pixels2d(surf)  # keeps the surface alive and locked
    return pixels, pixels.dtype.type(surf.map_rgb((*BACKGROUND, 255)) & 0xFFFFFFFF)  # map_rgb is signed


def threads_row(mode, errors):
    w, h, r = mode.large
    row = {"operation": "outline +bg: 2 threads vs 1", "size": f"{w}x{h}", "radius": r,
           "floor_kind": "1 thread", "module": None, "floor": None, "ratios": {}}
    row.update(dict.fromkeys(peers.PEER_NAMES))
    try:
        one, both = timing.thread_scaling(mode, fs.transform_into_outlined_rounded_rect,
                                   lambda: (content(w, h), r, STROKE, STROKE_COLOR, BACKGROUND))
    except Exception as exc:
        errors.setdefault("module transform_into_outlined_rounded_rect", f"{type(exc).__name__}: {exc}")
    else:
        # numpy's fill releases the interpreter while it writes, as the module's pixel loops do.
        np_one, np_both = timing.thread_scaling(mode, np.ndarray.fill, lambda: _numpy_fill_args(w, h))
        speed_up, numpy_speed_up = one / both, np_one / np_both
        row["module"], row["floor"] = both, one
        row["ratios"] = {"floor": both / one, "speed-up": speed_up, "numpy speed-up": numpy_speed_up,
                         "vs numpy": speed_up / numpy_speed_up}
    row["target"], row["ok"] = check(TARGETS["threads"], row["ratios"], True)
    if row["ratios"]:
        row["ok"] += f" ({row['ratios']['speed-up']:.2f}x, numpy {row['ratios']['numpy speed-up']:.2f}x)"
    return row


# --- output ----------------------------------------------------------------------------

def _us(v):
    if v is None:
        return "-"
    return f"{v:.3g}" if v < 1000 else f"{v:.0f}"


def _ratio(v):
    if v is None:
        return "-"
    if v < 0.1:
        return f"{v:.2g}"
    return f"{v:.2f}" if v < 10 else f"{v:.1f}" if v < 100 else f"{v:.0f}"


def table(rows, errors):
    head = ["operation", "size", "module", "floor", "floor is", *peers.PEER_NAMES,
            "mod/floor", *(f"mod/{p}" for p in peers.PEER_NAMES), "target", "ok"]
    body = []
    for row in rows:
        missing = "n/a" if row["module"] is None else None
        ratio_cells = [missing or _ratio(row["ratios"].get(k)) for k in ("floor", *peers.PEER_NAMES)]
        body.append([row["operation"], row["size"], missing or _us(row["module"]),
                     _us(row["floor"]), row["floor_kind"],
                     *(_us(row[p]) for p in peers.PEER_NAMES), *ratio_cells, row["target"], row["ok"]])
    widths = [max(len(str(c)) for c in col) for col in zip(head, *body)]
    left = {0, 4, len(head) - 2, len(head) - 1}

    def line(cells):
        return "  ".join(str(c).ljust(wd) if i in left else str(c).rjust(wd)
                         for i, (c, wd) in enumerate(zip(cells, widths))).rstrip()

    out = [line(head), line(["-" * wd for wd in widths])]
    out += [line(cells) for cells in body]
    out.append("")
    out.append("microseconds per call, median of batches; ratios are module / column "
               "(below 1: module faster); '-': does not apply; 'n/a': not measured")
    for label, err in sorted(errors.items()):
        out.append(f"  not measured: {label}: {err}")
    return "\n".join(out)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--quick", action="store_true", help="tiny repetitions, small sizes (smoke test)")
    parser.add_argument("--json", metavar="FILE", help="also write the rows as JSON")
    parser.add_argument("--sweep", action=argparse.BooleanOptionalAction, default=None,
                        help="the size sweep after the table (default: on, off with --quick)")
    build = Path(__file__).resolve().parents[1] / "build"  # generated pictures stay out of the tracked tree
    parser.add_argument("--chart", metavar="PNG", default=str(build / "sweep.png"),
                        help="where the sweep's chart goes (default: %(default)s)")
    parser.add_argument("--instructions", action="store_true",
                        help="count instructions of a fixed set of calls under callgrind instead of timing")
    parser.add_argument("--check", action="store_true",
                        help="with --instructions: fail when a call exceeds its figure in bench/instructions.json")
    parser.add_argument("--update", action="store_true",
                        help="with --instructions: rewrite bench/instructions.json from this run")
    opts = parser.parse_args(argv)
    if opts.check or opts.update:
        opts.instructions = True
    if opts.instructions:
        return instructions.main(opts.json, check=opts.check, update=opts.update)
    mode = timing.Mode(opts.quick)
    load_before = os.getloadavg()[0] if hasattr(os, "getloadavg") else float("nan")
    t0 = time.perf_counter()
    rows, errors = run(mode)
    print(table(rows, errors))
    own = fs.create_rounded_rect_surface._kernels
    print("\nkernel tables (the baseline one against this processor's own):", flush=True)
    kernel_rows = kernels.run(mode, own)
    print(kernels.table(kernel_rows, own))
    print("\nsoft shadows (the draw module; the floor is Surface + fill of the padded surface):", flush=True)
    shadow_rows = shadow.run(measure_row, mode)
    print(shadow.table(shadow_rows))
    print("\ndrawing into a screen (the draw module against pygame.draw.rect and its peers):", flush=True)
    draw_rows = draw_into.run(measure_row, mode)
    print(draw_into.table(draw_rows))
    swept = []
    if opts.sweep or (opts.sweep is None and not opts.quick):
        print("\nsize sweep (each operation against its floor; peers while a call stays under "
              f"{sweep.PEER_BUDGET_US / 1000:.0f} ms):", flush=True)
        swept = sweep.run(sys.modules[__name__], peers, opts.quick)
        print(sweep.table(swept, peers.PEER_NAMES))
        title = (f"time per call / floor, same run; Python {platform.python_version()}, "
                 f"pygame {pygame.version.ver}, {os.cpu_count()} CPUs")
        try:
            Path(opts.chart).parent.mkdir(parents=True, exist_ok=True)
            sweep.chart(swept, peers.PEER_NAMES, opts.chart, title)
            print(f"chart: {opts.chart}")
        except ImportError as exc:
            print(f"no chart: {exc}")
    load = os.getloadavg()[0] if hasattr(os, "getloadavg") else float("nan")
    print(f"({time.perf_counter() - t0:.1f} s; Python {platform.python_version()}, "
          f"pygame {pygame.version.ver}, numpy {np.__version__}; {os.cpu_count()} CPUs, load average "
          f"{load_before:.2f} before and {load:.2f} after: other load skews every cell, the thread row most)")
    if opts.json:
        with open(opts.json, "w") as f:
            json.dump({"quick": opts.quick, "python": platform.python_version(), "load": [load_before, load],
                       "pygame": pygame.version.ver, "numpy": np.__version__, "cpus": os.cpu_count(),
                       "rows": rows, "errors": errors, "sweep": swept,
                       "kernels": {"own": own, "rows": kernel_rows}, "shadows": shadow_rows,
                       "draw": draw_rows}, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
