"""The soft shadow's float64 model (tests/models/shadow.py) against what is known in closed form:
the error function, exact areas, the product of profiles of a square-cornered shape, the
blurred mass, symmetry and the margin."""
import math

import numpy as np
import pytest

from models import shadow as model


def test_erfc_matches_the_standard_library_to_double_precision():
    xs = np.concatenate([np.linspace(-9, 9, 3601), [-3.0, 3.0, 3.0000001, -2.9999999, 26.0]])
    want = np.array([math.erfc(x) for x in xs])
    assert np.max(np.abs(model.erfc(xs) - want)) < 1e-13  # the series loses a few digits near 3
    # Relative accuracy in the far tail, where the shadow's last alpha units come from.
    tail = xs[xs > 4]
    assert np.max(np.abs(model.erfc(tail) / np.array([math.erfc(x) for x in tail]) - 1)) < 1e-12


@pytest.mark.parametrize(
    "size, radii, spread",
    [((20, 20), (10, 10, 10, 10), 0.0), ((31, 17), (0, 4.5, 8.25, 2), 0.0), ((12, 9), (3, 3, 3, 3), 1.75)],
)
def test_blur_zero_is_the_exact_area(size, radii, spread):
    shape = model.Shape(size, radii, 0.0, spread)
    w, h = shape.surface
    ys, xs = np.divmod(np.arange(w * h), w)
    values = model.shadow_value(shape, xs, ys)
    gw, gh = shape.right - shape.left, shape.bottom - shape.top
    area = gw * gh - (1 - math.pi / 4) * sum(r * r for r in shape.radii)
    assert values.sum() == pytest.approx(area, abs=1e-8)
    assert values.min() >= 0 and values.max() <= 1


def test_square_corners_are_a_product_of_closed_form_profiles():
    # With no radius the quadrature along y must give what the closed form gives along x.
    shape = model.Shape((23, 11), (0, 0, 0, 0), 5.0, -1.3)
    w, h = shape.surface
    rng = np.random.default_rng(3)
    xs, ys = rng.integers(0, w, 60), rng.integers(0, h, 60)
    s = shape.sigma
    px = model.box_cdf(xs + 0.5 - shape.left, s) - model.box_cdf(xs + 0.5 - shape.right, s)
    py = model.box_cdf(ys + 0.5 - shape.top, s) - model.box_cdf(ys + 0.5 - shape.bottom, s)
    assert np.max(np.abs(model.shadow_value(shape, xs, ys) - px * py)) < 1e-9


@pytest.mark.parametrize("blur", [0.3, 4.0, 16.0])
def test_the_blur_keeps_the_mass_inside_the_margin(blur):
    # What the margin leaves out per unit of edge is sigma * (phi(3) - 3 Phi(-3)) ~ 4e-4 sigma.
    shape = model.Shape((18, 12), (6, 2, 0, 6), blur, 0.5)
    w, h = shape.surface
    ys, xs = np.divmod(np.arange(w * h), w)
    total = model.shadow_value(shape, xs, ys).sum()
    gw, gh = shape.right - shape.left, shape.bottom - shape.top
    area = gw * gh - (1 - math.pi / 4) * sum(r * r for r in shape.radii)
    lost = 2 * (gw + gh) * shape.sigma * 5e-4
    assert area - lost - 1e-6 <= total <= area + 1e-6


def test_equal_corners_give_a_mirror_image():
    shape = model.Shape((15, 8), (3.5, 3.5, 3.5, 3.5), 3.0, 0.25)
    w, h = shape.surface
    rng = np.random.default_rng(5)
    xs, ys = rng.integers(0, w, 40), rng.integers(0, h, 40)
    here = model.shadow_value(shape, xs, ys)
    assert np.max(np.abs(model.shadow_value(shape, w - 1 - xs, ys) - here)) < 1e-9
    assert np.max(np.abs(model.shadow_value(shape, xs, h - 1 - ys) - here)) < 1e-9


def test_radii_grow_with_the_spread_and_stay_bounded():
    shape = model.Shape((10, 6), (float("nan"), 1.0, 100.0, float("-inf")), 0.0, 2.0)
    assert shape.radii == (2.0, 3.0, 5.0, 0.0)
    assert model.Shape((10, 6), (1, 1, 1, 1), 2.0, -3.0).empty
    assert np.all(model.shadow_alpha((10, 6), (1, 1, 1, 1), 2.0, -3.0, 255, [0, 3], [0, 3]) == 0)


def test_margin():
    assert model.margin(4.0, 0.0) == 6
    assert model.margin(0.0, -3.0) == 0
    assert model.margin(2.1, 1.5) == 5
    assert model.margin(0.0, 0.25) == 1
