# Instruction counts of a fixed set of calls under callgrind: comparable between builds, free of timing noise.
"""Instruction-count mode of the benchmark, and the instruction budget.

    PYTHONPATH=src python3 bench/bench.py --instructions [--json FILE]
    PYTHONPATH=src python3 bench/bench.py --instructions --check
    PYTHONPATH=src python3 bench/bench.py --instructions --update

Runs one child interpreter under ``valgrind --tool=callgrind`` that makes, for
each case below, a warm-up call and then REPS calls in one ``exec``, followed
by an empty ``exec`` (setup and warm-up go through ``eval``).  Callgrind dumps
its counters on entry to every ``exec``, so the dump the empty one triggers
holds the case's calls plus a constant cost of the loop, measured by an empty
case and subtracted.  The result is the
number of instructions executed per call, everything included (argument
handling, the pygame calls, the pixels, freeing the result).

The budget: --check compares every module call of the set (every operation at
64x32 and 256x64, one call of each at 1024x768, the draw module's shadows at
two blurs, all three cache hits) with the
committed table (instructions.json, beside this file).  A call costing more
than TOLERANCE over its figure fails the check; a call cheaper by more than
TOLERANCE passes and the table to commit is printed.  The counts depend on
the interpreter, numpy, pygame, the compiler and the kernel table, so the table records
them and the check refuses to compare against a table made with others.
--update rewrites the table from this run: a refresh is always on purpose.
"""
import json
import math
import os
import platform
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

REPS = 200
TOLERANCE = 0.02  # the budget's margin, both ways
BUDGET = Path(__file__).with_name("instructions.json")

_SIZES = {"64x32": ((64, 32), 8), "256x64": ((256, 64), 12), "1024x768": ((1024, 768), 12)}


def _floors(size):
    (w, h), _ = _SIZES[size]
    return [
        (f"floor Surface+fill+views {size}", None, "",
         f"s = pg.Surface(({w}, {h}), pg.SRCALPHA); s.fill(C); pg.surfarray.pixels3d(s); pg.surfarray.pixels_alpha(s)"),
        (f"floor fill+views {size}", None, f"s = content({w}, {h})",
         "s.fill(C); pg.surfarray.pixels3d(s); pg.surfarray.pixels_alpha(s)"),
        (f"floor views {size}", None, f"s = content({w}, {h})", "pg.surfarray.pixels3d(s); pg.surfarray.pixels_alpha(s)"),
    ]


def _operations(size):
    (w, h), r = _SIZES[size]
    new, fill, views = (f"floor {kind} {size}" for kind in ("Surface+fill+views", "fill+views", "views"))
    content = f"s = content({w}, {h})"
    return [
        (f"filled {size}", new, "", f"fs._create_rounded_rect_surface_optimized(({w}, {h}), ({r}, {r}, {r}, {r}), C)"),
        (f"outlined {size}", new, "", f"fs._create_outlined_rounded_rect_sdf(({w}, {h}), {r}, 2.0, S)"),
        (f"round {size}", views, content, f"fs.transform_into_rounded_rect(s, {r})"),
        (f"round+colour {size}", fill, content, f"fs.transform_into_rounded_rect(s, {r}, C)"),
        (f"outline {size}", views, content, f"fs.transform_into_outlined_rounded_rect(s, {r}, 2.0, S)"),
        (f"outline+bg {size}", fill, content, f"fs.transform_into_outlined_rounded_rect(s, {r}, 2.0, S, B)"),
    ]


# The draw module's shadows: (size, radius, blur); sigma is blur / 2, as in the shadow table.
_SHADOWS = {"64x32 blur 4": ((64, 32), 8, 4), "64x32 blur 16": ((64, 32), 8, 16),
            "256x64 blur 4": ((256, 64), 12, 4), "256x64 blur 16": ((256, 64), 12, 16),
            "1024x768 blur 16": ((1024, 768), 24, 16)}


def _shadows():
    """Each shadow and its floor: Surface + fill of the padded surface."""
    cases = []
    for name, ((w, h), r, blur) in _SHADOWS.items():
        m = math.ceil(1.5 * blur)
        cases.append((f"floor Surface+fill {name}", None, "",
                      f"s = pg.Surface(({w + 2 * m}, {h + 2 * m}), pg.SRCALPHA); s.fill(K)"))
        cases.append((f"shadow {name}", f"floor Surface+fill {name}", "",
                      f"draw._create_shadow_surface(({w}, {h}), ({r}, {r}, {r}, {r}), {blur}, K)"))
    return cases


def _drawing(size):
    """The draw module's calls into a 1280x900 screen without per-pixel alpha, and draw.rect's."""
    (w, h), r = _SIZES[size]
    rect = f"(5, 5, {w}, {h})"
    rect_floor, border_floor = f"floor draw.rect {size}", f"floor draw.rect width 2 {size}"
    return [
        (rect_floor, None, "", f"pg.draw.rect(scr, C, {rect}, 0, {r})"),
        (border_floor, None, "", f"pg.draw.rect(scr, C, {rect}, 2, {r})"),
        (f"draw fill {size}", rect_floor, "", f"dr.rounded_rect(scr, C, {rect}, 0, {r})"),
        (f"draw border {size}", border_floor, "", f"dr.rounded_rect(scr, C, {rect}, 2, {r})"),
        (f"draw fill 50% {size}", rect_floor, "", f"dr.rounded_rect(scr, H, {rect}, 0, {r})"),
        (f"draw shadow {size}", None, "", f"dr.shadow(scr, H, {rect}, 4, 0, {r})"),
        # A shape the thread has not kept (sixteen widths in turn; it keeps eight drawings).
        (f"draw fill new {size}", rect_floor, "i = 0",
         f"dr.rounded_rect(scr, C, (5, 5, {w} - (i := (i + 1) % 16), {h}), 0, {r})"),
        (f"draw border new {size}", border_floor, "i = 0",
         f"dr.rounded_rect(scr, C, (5, 5, {w} - (i := (i + 1) % 16), {h}), 2, {r})"),
    ]


# (name, floor name or None, setup statements, the call); the setup runs once per case.
# Floors are the same pygame calls made from Python; only the module's calls are budgeted.
CASES = [
    ("(empty)", None, "", "pass"),
    *(case for size in _SIZES for case in (*_floors(size), *_operations(size))),
    *(case for size in _SIZES for case in _drawing(size)),
    ("filled (hit)", None, "", "fs.create_rounded_rect_surface((64, 32), (8, 8, 8, 8), C)"),
    ("outlined (hit)", None, "", "fs.create_outlined_rounded_rect_sdf((64, 32), 8, 2.0, S)"),
    *_shadows(),
    ("shadow (hit)", None, "", "draw.create_shadow_surface((64, 32), (8, 8, 8, 8), 4, K)"),
]
BUDGETED = [name for name, *_ in CASES if name != "(empty)" and not name.startswith("floor ")]

CHILD = r'''
import sys
from ralo_ui.core.modules import pygame as pg
from ralo_ui.fast.shapes import draw
from ralo_ui.fast.shapes import fast_shapes as fs
from ralo_ui.fast.shapes import draw as dr
C, S, B, H, K = (40, 120, 220), (235, 235, 235), (30, 30, 30), (40, 120, 220, 128), (0, 0, 0, 160)
scr = pg.Surface((1280, 900))
def content(w, h):
    s = pg.Surface((w, h), pg.SRCALPHA); s.fill((200, 160, 40, 255)); return s
reps = int(sys.argv[1])
cases = {cases!r}
for name, setup, call in cases:  # every lazy import and cache settles first
    eval(compile(setup or "pass", name, "exec"))
    eval(compile(call, name, "exec"))
for name, setup, call in cases:
    eval(compile(setup or "pass", name, "exec"))
    code = compile("for _ in range(%d):\n    %s\n" % (reps, call), name, "exec")
    eval(compile(call, name, "exec"))  # warm up
    exec(code)
    exec("pass")  # ends the case's dump
'''


def measure(reps=REPS):
    """{case name: instructions per call}; raises when valgrind is missing."""
    if shutil.which("valgrind") is None:
        raise RuntimeError("valgrind is not installed")
    child = CHILD.replace("{cases!r}", repr([(n, setup, call) for n, _, setup, call in CASES]))
    with tempfile.TemporaryDirectory() as tmp:
        script = Path(tmp, "child.py")
        script.write_text(child)
        out = Path(tmp, "cg.out")
        cmd = ["valgrind", "--tool=callgrind", "--dump-before=builtin_exec*",
               f"--callgrind-out-file={out}", sys.executable, str(script), str(reps)]
        # A fixed string hash: dictionary probes, and so the counts, repeat from run to run.
        env = dict(os.environ, PYTHONHASHSEED="0")
        run = subprocess.run(cmd, capture_output=True, text=True, env=env)
        if run.returncode != 0:
            raise RuntimeError(f"callgrind run failed:\n{run.stderr[-2000:]}")
        dumps = sorted(Path(tmp).glob("cg.out.*"), key=lambda p: int(p.name.rsplit(".", 1)[1]))
        totals = [_total(p) for p in dumps]
    # The interpreter's start-up runs exec too, and the last dump is the one at exit;
    # before it, each case's loop ends in the dump its closing exec("pass") triggers.
    per_case = totals[-2 * len(CASES):-1:2]
    if len(per_case) != len(CASES):
        raise RuntimeError(f"expected {len(CASES)} dumps after startup, got {len(per_case)}")
    empty = per_case[0]
    return {name: (t - empty) / reps for (name, *_), t in zip(CASES, per_case)}


def _total(path):
    text = path.read_text(errors="replace")
    m = re.search(r"^totals:\s*(\d+)", text, re.M) or re.search(r"^summary:\s*(\d+)", text, re.M)
    return int(m.group(1)) if m else 0


def table(counts):
    floors = {name: floor for name, floor, *_ in CASES}
    lines = [f"{'call':34}  {'instructions':>12}  {'floor':>12}  {'ratio':>6}", "-" * 70]
    for name, *_ in CASES[1:]:
        floor = floors[name]
        value = counts[name]
        if floor:
            f = counts[floor]
            lines.append(f"{name:34}  {value:12,.0f}  {f:12,.0f}  {value / f:6.2f}")
        else:
            lines.append(f"{name:34}  {value:12,.0f}")
    lines.append("")
    lines.append(f"instructions per call under callgrind ({REPS} calls a case, marker cost subtracted); "
                 "floors are the same pygame calls made from Python")
    return "\n".join(lines)


# --- the budget ------------------------------------------------------------------------

def kernel_table():
    """The kernel table a default build picks here: what the processor offers (callgrind passes it on)."""
    try:
        flags = set(re.findall(r"\w+", Path("/proc/cpuinfo").read_text()))
    except OSError:
        return "unknown"
    return "avx2+fma" if {"avx2", "fma"} <= flags else "baseline"


def compiler():
    """The compiler the extension measured here was built with, as it signed the library."""
    from ralo_ui.fast.shapes import fast_shapes

    found = re.search(rb"(GCC: \([^)]*\) [\w.]+|clang version [\w.]+)", Path(fast_shapes.__file__).read_bytes())
    return found.group(1).decode() if found else "unknown"


def environment():
    """What the counts depend on besides the code: interpreter, numpy, pygame, compiler, kernel table."""
    import numpy
    from ralo_ui.core.modules import pygame

    return {"python": platform.python_version(), "numpy": numpy.__version__, "pygame": pygame.version.ver,
            "compiler": compiler(), "kernels": kernel_table()}


def budget_table(counts):
    """The table to commit: the environment, every budgeted call's instructions per call, and (unchecked,
    for ratios) its floors'."""
    floors = sorted({floor for _, floor, *_ in CASES if floor})
    return {"made with": environment(), "tolerance": TOLERANCE,
            "instructions": {name: round(counts[name]) for name in BUDGETED},
            "floors": {name: round(counts[name]) for name in floors}}


def compare(counts, recorded):
    """(lines to print, True when no call exceeds its recorded figure by more than TOLERANCE)."""
    here = environment()
    made_with = recorded.get("made with", {})
    if made_with != here:
        return [f"the table was made with {made_with}", f"this run is {here}",
                "counts are not comparable: make the table here on purpose (make bench-instructions-update)"], False
    figures = recorded.get("instructions", {})
    lines = [f"{'call':34}  {'budget':>12}  {'now':>12}  {'change':>7}", "-" * 72]
    ok, cheaper = True, False
    for name in BUDGETED:
        now = counts[name]
        budget = figures.get(name)
        if budget is None:
            lines.append(f"{name:34}  {'-':>12}  {now:12,.0f}  not in the table")
            ok = False
            continue
        change = now / budget - 1
        verdict = ""
        if change > TOLERANCE:
            verdict, ok = "  OVER BUDGET", False
        elif change < -TOLERANCE:
            verdict, cheaper = "  cheaper", True
        lines.append(f"{name:34}  {budget:12,}  {now:12,.0f}  {change:+7.1%}{verdict}")
    for name in sorted(set(figures) - set(BUDGETED)):
        lines.append(f"{name:34}  no longer measured")
        ok = False
    lines.append("")
    if not ok:
        lines.append(f"instruction budget: FAILED (more than {TOLERANCE:.0%} over, or the set changed); "
                     "a cost that is meant goes in with make bench-instructions-update")
    else:
        lines.append(f"instruction budget: ok (every call within {TOLERANCE:.0%} of its figure or below)")
    if ok and cheaper:
        lines.append(f"some calls got cheaper: commit this as {BUDGET.name} (make bench-instructions-update "
                     "writes it)")
        lines.append(json.dumps(budget_table(counts), indent=1))
    return lines, ok


def main(json_path=None, check=False, update=False):
    counts = measure()
    print(table(counts))
    if json_path:
        with open(json_path, "w") as f:
            json.dump({"instructions": counts}, f, indent=1)
    if update:
        BUDGET.write_text(json.dumps(budget_table(counts), indent=1) + "\n")
        print(f"\nwrote {BUDGET}")
    if not check:
        return 0
    try:
        recorded = json.loads(BUDGET.read_text())
    except (OSError, ValueError) as exc:
        print(f"\ninstruction budget: no table to compare with ({exc}); make bench-instructions-update makes it")
        return 1
    lines, ok = compare(counts, recorded)
    print("\n" + "\n".join(lines))
    return 0 if ok else 1
