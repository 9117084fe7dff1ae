# Instruction counts of a fixed set of small calls under callgrind: comparable between builds, free of timing noise.
"""Instruction-count mode of the benchmark.

    PYTHONPATH=src python3 bench/bench.py --instructions [--json FILE]

Runs one child interpreter under ``valgrind --tool=callgrind`` that makes, for
each case below, a warm-up call and then REPS calls in one ``exec``, followed
by an empty ``exec`` (setup and warm-up go through ``eval``).  Callgrind dumps
its counters on entry to every ``exec``, so the dump the empty one triggers
holds the case's calls plus a constant cost of the loop, measured by an empty
case and subtracted.  The result is the
number of instructions executed per call, everything included (argument
handling, the pygame calls, the pixels, freeing the result).
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

REPS = 200

# (name, floor name or None, setup statements, the call); the setup runs once per case.
CASES = [
    ("(empty)", None, "", "pass"),
    ("floor Surface+fill+views 64x32", None, "",
     "s = pg.Surface((64, 32), pg.SRCALPHA); s.fill(C); pg.surfarray.pixels3d(s); pg.surfarray.pixels_alpha(s)"),
    ("floor fill+views 64x32", None, "s = content(64, 32)",
     "s.fill(C); pg.surfarray.pixels3d(s); pg.surfarray.pixels_alpha(s)"),
    ("floor views 64x32", None, "s = content(64, 32)", "pg.surfarray.pixels3d(s); pg.surfarray.pixels_alpha(s)"),
    ("floor Surface+fill+views 256x64", None, "",
     "s = pg.Surface((256, 64), pg.SRCALPHA); s.fill(C); pg.surfarray.pixels3d(s); pg.surfarray.pixels_alpha(s)"),
    ("filled 64x32", "floor Surface+fill+views 64x32", "",
     "fs._create_rounded_rect_surface_optimized((64, 32), (8, 8, 8, 8), C)"),
    ("outlined 64x32", "floor Surface+fill+views 64x32", "",
     "fs._create_outlined_rounded_rect_sdf((64, 32), 8, 2.0, S)"),
    ("round 64x32", "floor views 64x32", "s = content(64, 32)", "fs.transform_into_rounded_rect(s, 8)"),
    ("round+colour 64x32", "floor fill+views 64x32", "s = content(64, 32)",
     "fs.transform_into_rounded_rect(s, 8, C)"),
    ("outline 64x32", "floor views 64x32", "s = content(64, 32)",
     "fs.transform_into_outlined_rounded_rect(s, 8, 2.0, S)"),
    ("outline+bg 64x32", "floor views 64x32", "s = content(64, 32)",
     "fs.transform_into_outlined_rounded_rect(s, 8, 2.0, S, B)"),
    ("filled 256x64", "floor Surface+fill+views 256x64", "",
     "fs._create_rounded_rect_surface_optimized((256, 64), (12, 12, 12, 12), C)"),
    ("outlined 256x64", "floor Surface+fill+views 256x64", "",
     "fs._create_outlined_rounded_rect_sdf((256, 64), 12, 2.0, S)"),
    ("filled (hit)", None, "", "fs.create_rounded_rect_surface((64, 32), (8, 8, 8, 8), C)"),
]

CHILD = r'''
import sys
from ralo_ui.core.modules import pygame as pg
from ralo_ui.fast.shapes import fast_shapes as fs
C, S, B = (40, 120, 220), (235, 235, 235), (30, 30, 30)
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


def main(json_path=None):
    counts = measure()
    print(table(counts))
    if json_path:
        with open(json_path, "w") as f:
            json.dump({"instructions": counts}, f, indent=1)
    return 0
