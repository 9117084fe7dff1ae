# The size sweep: every operation against its floor from 64x32 to 7680x4320, and its chart.
"""Size sweep of the benchmark.

Each operation of the table is timed against its floor (and its peers while
they stay affordable) at sizes from 64x32 to 7680x4320: a landscape series
that the chart joins with lines, plus portrait and very wide shapes drawn as
separate markers.  Large sizes get short batches and few rounds, so the whole
sweep takes about a minute on an idle machine.
"""
import time

# (width, height, radius); the landscape series, then portrait and very wide shapes
LANDSCAPE = ((64, 32, 8), (128, 64, 12), (256, 64, 12), (256, 192, 24), (512, 384, 24), (1024, 768, 24),
             (1920, 1080, 24), (2560, 1440, 24), (3840, 2160, 24), (5120, 2880, 24), (7680, 4320, 24))
PORTRAIT = ((768, 1024, 24), (1080, 1920, 24), (2160, 3840, 24))
WIDE = ((4096, 64, 12), (7680, 1080, 24), (7680, 2160, 24))
SIZES = LANDSCAPE + PORTRAIT + WIDE
QUICK_PORTRAIT, QUICK_WIDE = ((96, 160, 12),), ((1024, 64, 12),)
QUICK_SIZES = ((64, 32, 8), (128, 64, 12)) + QUICK_PORTRAIT + QUICK_WIDE

# A peer's measured call that took longer than this drops it for the larger sizes.
PEER_BUDGET_US = 60_000


class SweepMode:
    """Short batches and few rounds: the sweep trades precision for reach."""

    def __init__(self, quick):
        self.quick = quick
        self.batch_ns = 20_000_000 if not quick else 2_000_000
        self.min_rounds, self.max_rounds = (3, 7) if not quick else (1, 2)
        self.budget_ns = 250_000_000 if not quick else 20_000_000


def shape_of(w, h):
    if any((w, h) == s[:2] for s in PORTRAIT + QUICK_PORTRAIT):
        return "portrait"
    if any((w, h) == s[:2] for s in WIDE + QUICK_WIDE):
        return "wide"
    return "landscape"


def run(bench, peers, quick):
    """Rows of {operation key, size, pixels, shape, module, floor, peers...} for every size."""
    mode = SweepMode(quick)
    sizes = QUICK_SIZES if quick else SIZES
    dropped = set()  # (operation key, peer) too slow to go on with
    rows = []
    t0 = time.perf_counter()
    for w, h, r in sorted(sizes, key=lambda s: s[0] * s[1]):
        for case in bench.cases(w, h, r):
            if case.key == "hit":
                continue  # a cache hit does not depend on the size
            peer_fns = peers.PEERS.get(case.key, {})
            names = [p for p in peers.PEER_NAMES if p in peer_fns and (case.key, p) not in dropped]
            calls = [(case.fn, case.args()), (case.floor_fn, case.floor_args())]
            calls += [(peer_fns[p], case.args()) for p in names]
            times, errors = bench.measure_row(mode, calls)
            if errors[1] is not None:
                raise errors[1]  # the floor is plain pygame: a failure there is a broken benchmark
            row = {"operation": case.name, "key": case.key, "size": f"{w}x{h}", "pixels": w * h,
                   "shape": shape_of(w, h), "module": times[0], "floor": times[1],
                   "floor_kind": case.floor_name}
            for p, t in zip(names, times[2:]):
                row[p] = t
                if t is None or t > PEER_BUDGET_US:
                    dropped.add((case.key, p))
            rows.append(row)
        print(f"  swept {w}x{h} ({time.perf_counter() - t0:.0f} s)", flush=True)
    return rows


def table(rows, peer_names):
    """The sweep as text: one line per operation and size, ratios to the floor."""
    head = ["swept operation", "size", "module", "floor", "mod/floor", *(f"{p}/floor" for p in peer_names)]
    body = []
    for row in sorted(rows, key=lambda r: (r["key"], r["pixels"])):
        floor = row["floor"]

        def ratio(v):
            return "-" if v is None or not floor else f"{v / floor:.2f}"

        body.append([row["operation"], row["size"], _us(row["module"]), _us(floor), ratio(row["module"]),
                     *(ratio(row.get(p)) for p in peer_names)])
    widths = [max(len(str(c)) for c in col) for col in zip(head, *body)]
    lines = ["  ".join(str(c).ljust(wd) if i == 0 else str(c).rjust(wd) for i, (c, wd) in
                       enumerate(zip(cells, widths))).rstrip() for cells in [head, ["-" * wd for wd in widths], *body]]
    return "\n".join(lines)


def _us(v):
    if v is None:
        return "-"
    return f"{v:.3g}" if v < 1000 else f"{v:.0f}"


MARKERS = {"landscape": "o", "portrait": "^", "wide": "s"}
# Short names for the chart (a label starting with "_" would be dropped from a legend).
SHORT = {"filled": "create filled", "outlined": "create outlined", "round": "round in place",
         "round+colour": "round in place + colour", "outline": "outline in place",
         "outline+bg": "outline in place + background"}


def chart(rows, peer_names, path, title):
    """Ratio to the floor against pixel count: one panel with every operation, one per operation with its peers."""
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    ops = list(dict.fromkeys(r["key"] for r in rows))
    names = {r["key"]: SHORT.get(r["key"], r["operation"]) for r in rows}
    colors = dict(zip(ops, plt.get_cmap("tab10").colors))
    peer_colors = dict(zip(peer_names, ("tab:gray", "tab:olive", "tab:cyan", "tab:pink", "tab:brown")))
    fig, axes = plt.subplots(2, 4, figsize=(18, 8.5), sharex=True)
    axes = axes.ravel()

    def series(ax, key, column, color, label, width):
        for shape, marker in MARKERS.items():
            pts = sorted((r["pixels"], r[column] / r["floor"]) for r in rows
                         if r["key"] == key and r["shape"] == shape and r.get(column) and r["floor"])
            if not pts:
                continue
            xs, ys = zip(*pts)
            style = "-" if shape == "landscape" else "none"
            ax.plot(xs, ys, linestyle=style, marker=marker, color=color, linewidth=width, markersize=4 + width,
                    label=label if shape == "landscape" else None)

    overview = axes[0]
    for key in ops:
        series(overview, key, "module", colors[key], names[key], 2)
    overview.set_title("this module, every operation")
    for ax, key in zip(axes[1:], ops):
        for p in peer_names:
            series(ax, key, p, peer_colors[p], p, 1)
        series(ax, key, "module", colors[key], "this module", 2.5)
        floor_kind = next((r for r in rows if r["key"] == key), {}).get("floor_kind", "floor")
        ax.set_title(f"{names[key]}\n(floor: {floor_kind})", fontsize=10)
    for ax in axes[:1 + len(ops)]:
        ax.set_xscale("log")
        ax.set_yscale("log")
        ax.axhline(1.0, color="black", linewidth=0.8, linestyle="--")
        ax.grid(True, which="both", alpha=0.25)
        ax.legend(fontsize=7, loc="best")
    for ax in axes[4:1 + len(ops)]:
        ax.set_xlabel("pixels")
    axes[0].set_ylabel("time / floor (log)")
    axes[4].set_ylabel("time / floor (log)")
    legend = axes[-1]
    legend.axis("off")
    for shape, marker in MARKERS.items():
        legend.plot([], [], marker=marker, linestyle="-" if shape == "landscape" else "none", color="black",
                    label={"landscape": "landscape 64x32 ... 7680x4320", "portrait": "portrait (e.g. 2160x3840)",
                           "wide": "very wide (4096x64, 7680x1080, 7680x2160)"}[shape])
    legend.plot([], [], color="black", linestyle="--", label="the floor (ratio 1)")
    legend.legend(loc="center", fontsize=9, title="shapes")
    fig.suptitle(title, fontsize=11)
    fig.tight_layout()
    fig.savefig(path, dpi=90)
    plt.close(fig)
