# How the benchmark times a call: batches sized to a wall time, rounds of batches taken in turns.
"""Timing of the benchmark's calls (bench.py, kernels.py, sweep.py), and the cells and layout of
the draw module's tables (draw_into.py, shadow.py).

A batch calls one function with the same arguments n times in a loop made for
its number of arguments; calibrate sizes n so that a batch takes about the
mode's batch time.  measure_row times a row of calls in turns, one batch each
per round, so that other load on the machine falls on all of them alike.
"""
import functools
import gc
import statistics
import threading
import time


class Mode:
    """How long to measure: batch length, rounds of batches and time budget per row."""

    def __init__(self, quick):
        self.quick = quick
        # (width, height, radius); the last one is the large size some targets apply to
        if quick:  # a smaller large size keeps the slow peers short
            self.sizes = ((64, 32, 8), (256, 64, 12), (160, 120, 12))
            self.four_k = (640, 360, 24)
            self.batch_ns, self.min_rounds, self.max_rounds, self.budget_ns = 50_000, 1, 2, 2_000_000
            self.thread_ns, self.thread_reps = 1_000_000, 1
        else:
            self.sizes = ((64, 32, 8), (256, 64, 12), (1024, 768, 12))
            self.four_k = (3840, 2160, 24)
            self.batch_ns, self.min_rounds, self.max_rounds = 8_000_000, 5, 25
            self.budget_ns = 1_000_000_000
            self.thread_ns, self.thread_reps = 40_000_000, 7
        self.large = self.sizes[-1]


@functools.cache
def _loop(nargs):
    """`loop(n, f, *args)` calling f(args...) n times, without unpacking costs in the loop."""
    names = ", ".join(f"a{i}" for i in range(nargs))
    namespace = {}
    exec(f"def loop(n, f, {names}):\n    for _ in range(n):\n        f({names})\n", namespace)
    return namespace["loop"]


def batch(loop, n, fn, args):
    t0 = time.perf_counter_ns()
    loop(n, fn, *args)
    return time.perf_counter_ns() - t0


def calibrate(batch_ns, fn, args):
    """(loop, batch size n, time of one batch) such that one batch of fn(*args) takes about batch_ns."""
    loop = _loop(len(args))
    loop(1, fn, *args)  # warm up; also surfaces any error before timing
    n, t = 1, batch(loop, 1, fn, args)
    while t < batch_ns and n < 1 << 22:
        n = min(1 << 22, max(n * 2, int(n * 1.25 * batch_ns / max(t, 1))))
        t = batch(loop, n, fn, args)
    return loop, n, t


def measure_row(mode, calls):
    """Median microseconds per call of each fn(*args) in calls, or None where the call raises.

    The calls take turns, one batch each per round, so that load from elsewhere on the
    machine falls on all of them alike and their ratios stay fair.
    """
    gc_was_on = gc.isenabled()
    gc.disable()
    try:
        timed, errors = [], [None] * len(calls)
        for i, (fn, args) in enumerate(calls):
            try:
                timed.append((i, fn, args, *calibrate(mode.batch_ns, fn, args)))
            except Exception as exc:  # a function not built yet, or a peer failing here
                errors[i] = exc
        round_ns = sum(t for *_, t in timed) or 1
        rounds = min(mode.max_rounds, max(mode.min_rounds, mode.budget_ns // round_ns))
        samples = {i: [] for i, *_ in timed}
        for _ in range(rounds):
            for i, fn, args, loop, n, _t in timed:
                samples[i].append(batch(loop, n, fn, args) / n)
    finally:
        if gc_was_on:
            gc.enable()
    result = [None] * len(calls)
    for i, values in samples.items():
        result[i] = statistics.median(values) / 1000
    return result, errors


def thread_scaling(mode, fn, make_args):
    """Throughput of two threads over one, each thread calling fn(*make_args()) on its own objects."""
    args = [make_args(), make_args()]
    loop, n, _ = calibrate(mode.thread_ns, fn, args[0])

    def two():
        start = threading.Barrier(3)

        def work(a):
            start.wait()
            loop(n, fn, *a)

        threads = [threading.Thread(target=work, args=(a,)) for a in args]
        for th in threads:
            th.start()
        start.wait()
        t0 = time.perf_counter_ns()
        for th in threads:
            th.join()
        return time.perf_counter_ns() - t0

    one_ns, two_ns = [], []
    for _ in range(mode.thread_reps):
        one_ns.append(batch(loop, n, fn, args[0]))
        two_ns.append(two())
    one = statistics.median(one_ns) / n / 1000
    both = statistics.median(two_ns) / (2 * n) / 1000
    return one, both


def us(v):
    """Microseconds for a table cell; '-' for none."""
    return "-" if v is None else f"{v:.3g}" if v < 1000 else f"{v:.0f}"


def ratio(v):
    """A ratio for a table cell; '-' for none."""
    return "-" if v is None else f"{v:.2f}" if v < 10 else f"{v:.1f}" if v < 100 else f"{v:.0f}"


def text_table(head, body, note):
    """Rows of cells padded to each column's widest: the first and the last two columns (the
    shape, the targets and their verdict) to the left, the numbers to the right; `note` below."""
    widths = [max(len(c) for c in col) for col in zip(head, *body)]
    left = {0, len(head) - 2, len(head) - 1}

    def line(cells):
        return "  ".join(c.ljust(w) if i in left else c.rjust(w) for i, (c, w) in enumerate(zip(cells, widths))).rstrip()

    return "\n".join([line(head), line(["-" * w for w in widths]), *map(line, body), "", note])
