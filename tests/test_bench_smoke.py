"""The benchmark still runs end to end in its quick mode, and its target checks compare the right way."""
import json
import sys
import time
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "bench"))
import bench  # noqa: E402
import peers  # noqa: E402


def test_quick_run_measures_every_cell(tmp_path, capsys):
    out = tmp_path / "bench.json"
    t0 = time.perf_counter()
    assert bench.main(["--quick", "--json", str(out)]) == 0
    assert time.perf_counter() - t0 < 5
    text = capsys.readouterr().out
    data = json.loads(out.read_text())
    rows = data["rows"]

    assert sum(line.startswith("operation") for line in text.splitlines()) == 1  # one table
    assert len(rows) == 8 * 3 + 2  # every case at three sizes, the 4K row against a fill, the thread row
    assert "numpy speed-up" in rows[-1]["ratios"] or data["errors"]  # the thread row's own yardstick
    assert all(row["operation"] in text for row in rows)
    for row in rows[:-1]:
        assert row["floor"] > 0
        for peer in peers.PEER_NAMES:
            assert row[peer] is None or row[peer] > 0
    # Peers never fail; the module may only be missing functions that are not built yet.
    assert [label for label in data["errors"] if not label.startswith("module ")] == []
    assert all("NotImplementedError" in err for err in data["errors"].values())
    assert all(row["module"] is not None for row in rows) or data["errors"]
    # The baseline kernels against this process's own, in the same run: every call but the hits.
    kernels = data["kernels"]
    assert len(kernels["rows"]) == (0 if kernels["own"] == "baseline" else 6 * 3)
    assert all(row["own"] > 0 and row["baseline"] > 0 for row in kernels["rows"])


@pytest.mark.parametrize("targets, ratios, large, expected", [
    ([("floor", "<=", 1.2, False)], {"floor": 1.19}, False, ("floor<=1.2", "ok")),
    ([("floor", "<=", 1.2, False)], {"floor": 1.21}, False, ("floor<=1.2", "MISS")),
    ([("speed-up", ">=", 1.7, False)], {"speed-up": 1.9}, True, ("speed-up>=1.7", "ok")),
    ([("speed-up", ">=", 1.7, False)], {"speed-up": 1.2}, True, ("speed-up>=1.7", "MISS")),
    # both targets must hold; a peer that was not measured cannot meet its target
    ([("floor", "<=", 1.5, True), ("numpy", "<=", 0.02, True)], {"floor": 1.0, "numpy": 0.03}, True,
     ("floor<=1.5 numpy<=0.02", "MISS")),
    ([("floor", "<=", 1.5, True), ("numpy", "<=", 0.02, True)], {"floor": 1.0}, True,
     ("floor<=1.5 numpy<=0.02", "MISS")),
    ([("draw.rect", "<=", 1.5, True)], {"draw.rect": 9.0}, False, ("", "")),  # large size only
    ([("floor", "<=", 1.2, False)], {}, False, ("floor<=1.2", "n/a")),  # module not measured
])
def test_target_check(targets, ratios, large, expected):
    assert bench.check(targets, ratios, large) == expected


def test_quick_sweep_covers_every_operation_and_draws_its_chart(tmp_path):
    import sweep  # noqa: E402 (next to bench.py)

    rows = sweep.run(bench, peers, quick=True)
    keys = {case.key for case in bench.cases(64, 32, 8)} - {"hit"}
    assert {(row["key"], row["size"]) for row in rows} == {
        (key, f"{w}x{h}") for key in keys for w, h, _ in sweep.QUICK_SIZES}
    assert all(row["floor"] > 0 and row["module"] > 0 for row in rows)
    assert {row["shape"] for row in rows} == {"landscape", "portrait", "wide"}
    text = sweep.table(rows, peers.PEER_NAMES)
    assert len(text.splitlines()) == len(rows) + 2
    pytest.importorskip("matplotlib")  # the chart needs it; the sweep itself does not
    png = tmp_path / "sweep.png"
    sweep.chart(rows, peers.PEER_NAMES, png, "smoke")
    assert png.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
