# The two kernel tables side by side in one run: this process on the processor's own, a child on the baseline.
"""Baseline kernels against the processor's own, measured in one run.

The table of kernels is chosen once, when the module loads (RALO_UI_KERNELS), so
one process cannot time both.  This process times the module's calls on the
table it loaded; a child started with RALO_UI_KERNELS=baseline times the same
calls on the baseline table.  The two take turns, one batch each per round, as
the cells of a row do in bench.py, and only one of them runs at a time: the
other waits on the pipe between them.  The ratio is baseline / own per call:
what a processor without AVX2 and FMA (or a build without them) pays.

    python3 bench/kernels.py --child     (what the parent starts; reads requests on stdin)
"""
import json
import os
import statistics
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import calls  # noqa: E402
import timing  # noqa: E402


def _module_calls(mode):
    """(operation, size, fn, args) of every module call in bench.py's table, hits left out."""
    module_calls = []
    for w, h, r in mode.sizes:
        for case in calls.cases(w, h, r):
            if case.key != "hit":  # a cache hit runs no kernel
                module_calls.append((case.name, f"{w}x{h}", case.fn, case.args()))
    return module_calls


def child():
    """Serves requests from the parent: 'calibrate I' answers the batch size, 'run I' one batch's ns per call."""
    mode = timing.Mode(json.loads(sys.stdin.readline())["quick"])
    module_calls, batches = _module_calls(mode), {}
    for line in sys.stdin:
        verb, i = line.split()
        _name, _size, fn, args = module_calls[int(i)]
        if verb == "calibrate":
            loop, n, _t = timing.calibrate(mode.batch_ns, fn, args)
            batches[int(i)] = (loop, n)
            answer = n
        else:
            loop, n = batches[int(i)]
            answer = timing.batch(loop, n, fn, args) / n
        print(answer, flush=True)


def run(mode, own):
    """Rows of (operation, size, own us, baseline us, baseline / own); [] where this process runs the baseline."""
    if own == "baseline":
        return []
    # The child imports the very package this process runs, wherever it was found.
    package_root = str(Path(sys.modules["ralo_ui"].__file__).resolve().parents[1])
    path = os.pathsep.join(filter(None, [package_root, os.environ.get("PYTHONPATH")]))
    env = dict(os.environ, RALO_UI_KERNELS="baseline", PYTHONPATH=path)
    proc = subprocess.Popen([sys.executable, __file__, "--child"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            text=True, env=env)

    def ask(request):
        proc.stdin.write(request + "\n")
        proc.stdin.flush()
        return float(proc.stdout.readline())

    rows = []
    try:
        proc.stdin.write(json.dumps({"quick": mode.quick}) + "\n")
        for i, (name, size, fn, args) in enumerate(_module_calls(mode)):
            loop, n, t = timing.calibrate(mode.batch_ns, fn, args)
            ask(f"calibrate {i}")
            rounds = min(mode.max_rounds, max(mode.min_rounds, mode.budget_ns // max(2 * t, 1)))
            own_ns, base_ns = [], []
            for _ in range(rounds):
                own_ns.append(timing.batch(loop, n, fn, args) / n)
                base_ns.append(ask(f"run {i}"))
            mine, base = statistics.median(own_ns) / 1000, statistics.median(base_ns) / 1000
            rows.append({"operation": name, "size": size, "own": mine, "baseline": base, "ratio": base / mine})
    finally:
        proc.stdin.close()
        proc.wait(timeout=60)
    return rows


def table(rows, own):
    """Per operation, baseline / own at each size."""
    if not rows:
        return f"(this process runs the {own} kernels: there is no faster table to compare)"
    sizes = list(dict.fromkeys(r["size"] for r in rows))
    ops = list(dict.fromkeys(r["operation"] for r in rows))
    ratio = {(r["operation"], r["size"]): r["ratio"] for r in rows}
    width = max(len(op) for op in ops)
    out = [f"{'call':{width}}  " + "  ".join(f"{s:>9}" for s in sizes),
           "-" * width + "  " + "  ".join("-" * 9 for _ in sizes)]
    for op in ops:
        out.append(f"{op:{width}}  " + "  ".join(f"{ratio[(op, s)]:9.2f}" for s in sizes))
    out.append("")
    out.append(f"time per call on the baseline kernels / on the {own} kernels, measured in turns in one run")
    return "\n".join(out)


if __name__ == "__main__" and sys.argv[1:] == ["--child"]:
    child()
