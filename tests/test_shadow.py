"""Soft shadows: every alpha byte within 1 of the exact Gaussian blur, the padded surface around
it, bad input refused before anything is drawn, and the cached front end."""
import math
import os
import random

import numpy as np
import pygame
import pytest

from models import shadow as model
from models.fake_host import install
from models.layouts import views
from models.process import run_python
from ralo_ui.fast.shapes import draw


def alpha_of(surf):
    return pygame.surfarray.array_alpha(surf)  # [x, y]


def sample_points(rng, w, h, m, spread, radii, count):
    """Pixels of a padded (w + 2m) x (h + 2m) surface where the shadow changes most: the corner
    patches and the ramps across the edges, and some anywhere."""
    W, H = w + 2 * m, h + 2 * m
    xs, ys = [], []
    reach = max(1, int(max(radii) + spread + 3 + m) + 1)
    for _ in range(count):
        kind = rng.randrange(3)
        if kind == 0:  # a corner patch
            x = rng.randrange(0, min(W, reach))
            y = rng.randrange(0, min(H, reach))
            x, y = (W - 1 - x if rng.random() < 0.5 else x), (H - 1 - y if rng.random() < 0.5 else y)
        elif kind == 1:  # across an edge, anywhere along it
            x, y = rng.randrange(W), rng.randrange(0, min(H, 2 * m + 4))
            x, y = (y, x % H) if rng.random() < 0.5 and y < W else (x, y)
            y = H - 1 - y if rng.random() < 0.5 else y
        else:
            x, y = rng.randrange(W), rng.randrange(H)
        xs.append(min(max(x, 0), W - 1))
        ys.append(min(max(y, 0), H - 1))
    return np.array(xs), np.array(ys)


def random_case(rng):
    w, h = rng.choice([rng.randint(1, 40), rng.randint(1, 600)]), rng.choice([rng.randint(1, 40), rng.randint(1, 600)])
    half = min(w, h) / 2
    radii = [rng.choice([0.0, rng.uniform(0, half), half, rng.randint(0, int(half) + 1)]) for _ in range(4)]
    if rng.random() < 0.4:
        radii = [radii[0]] * 4
    blur = rng.choice([0.0, rng.uniform(0, 2), rng.uniform(0, 20), rng.uniform(0, 200), float(rng.randint(0, 40))])
    spread = rng.choice([0.0, rng.uniform(-20, 40), float(rng.randint(-20, 40))])
    alpha = rng.choice([255, rng.randint(0, 255)])
    return (w, h), radii, blur, (rng.randint(0, 255), rng.randint(0, 255), rng.randint(0, 255), alpha), spread


EDGE_CASES = [
    ((64, 32), [8] * 4, 4.0, (0, 0, 0, 255), 0.0),
    ((64, 32), [8] * 4, 0.0, (0, 0, 0, 255), 0.0),       # exact area coverage
    ((64, 32), [8] * 4, 1e-6, (0, 0, 0, 255), 0.0),      # a blur far below a pixel
    ((64, 32), [8] * 4, 0.3, (0, 0, 0, 255), 0.5),
    ((64, 32), [0, 8, 16, 3.5], 6.0, (0, 0, 0, 255), 0.0),
    ((256, 64), [12] * 4, 16.0, (10, 20, 30, 128), 0.0),
    ((1, 1), [0] * 4, 0.0, (0, 0, 0, 255), 0.0),
    ((1, 1), [0] * 4, 3.0, (0, 0, 0, 255), 0.0),
    ((10, 600), [5, 5, 5, 5], 200.0, (0, 0, 0, 255), 40.0),
    ((40, 30), [100] * 4, 5.0, (0, 0, 0, 255), -7.25),   # radii bounded after shrinking
    ((40, 30), [4] * 4, 2.0, (0, 0, 0, 255), 0.3),        # fractional edges
    ((600, 600), [300] * 4, 1.0, (0, 0, 0, 255), 0.0),    # corner tables held column by column
    ((400, 300), [150] * 4, 0.3, (0, 0, 0, 255), 0.0),    # the same, with the pixel edges' nodes
]
CASES = EDGE_CASES + [random_case(random.Random(seed)) for seed in range(48)]


@pytest.mark.parametrize("case", range(len(CASES)))
def test_every_alpha_within_one_of_the_exact_blur(case, figures):
    size, radii, blur, color, spread = CASES[case]
    surf = draw._create_shadow_surface(size, radii, blur, color, spread)
    m = draw.shadow_margin(blur, spread)
    assert surf.get_size() == (size[0] + 2 * m, size[1] + 2 * m)
    assert surf.get_flags() & pygame.SRCALPHA
    rng = random.Random(case)
    xs, ys = sample_points(rng, size[0], size[1], m, spread, radii, 300)
    # The module reads radii in single precision: the model is given the same values.
    exact = model.shadow_alpha(size, [float(np.float32(r)) for r in radii], blur, spread, color[3], xs, ys)
    got = alpha_of(surf)[xs, ys].astype(np.float64)
    err = np.abs(got - exact)
    off_by_one = int(np.count_nonzero(got != np.round(exact)))
    figures.append(f"shadow: case {case:2} {size} blur {blur:.4g} spread {spread:.4g}: largest error "
                   f"{err.max():.3f}, {off_by_one} of {len(xs)} bytes off the rounded exact value")
    worst = int(np.argmax(err))
    assert err.max() <= 1.0, (xs[worst], ys[worst], got[worst], exact[worst])


def test_colour_bytes_everywhere_and_the_margin_reaches_nothing():
    surf = draw._create_shadow_surface((30, 20), (6, 6, 6, 6), 8, (200, 100, 50, 180), 2.5)
    rgb = pygame.surfarray.array3d(surf)
    assert (rgb == (200, 100, 50)).all()
    m = draw.shadow_margin(8, 2.5)
    assert m == math.ceil(1.5 * 8 + 2.5)
    # Just outside the surface the exact shadow rounds to 0; on its outer ring it need not.
    w, h = 30 + 2 * m, 20 + 2 * m
    outside = model.shadow_alpha((30, 20), [6] * 4, 8, 2.5, 255, np.array([-1, w, w // 2, -1]),
                                 np.array([h // 2, h // 2, -1, -1]))
    assert outside.max() < 0.5
    assert draw.shadow_margin(0) == 0 and draw.shadow_margin(3, -5) == 5 and draw.shadow_margin(2, 0.25) == 4


@pytest.mark.parametrize("size, radii, blur, color, spread", [
    ((30, 20), 6, 4, (1, 2, 3, 0), 0),       # transparent colour
    ((30, 20), 6, 4, (1, 2, 3, 255), -10),   # the spread empties the shape
    ((0, 0), 0, 4, (1, 2, 3, 255), 0),       # nothing to blur
    ((0, 7), 0, 0, (1, 2, 3, 255), 0),       # no margin: a surface without a column
])
def test_blank_shadows_are_transparent_surfaces_of_the_padded_size(size, radii, blur, color, spread):
    surf = draw._create_shadow_surface(size, radii, blur, color, spread)
    m = draw.shadow_margin(blur, spread)
    assert surf.get_size() == (size[0] + 2 * m, size[1] + 2 * m)
    assert not alpha_of(surf).any()
    assert (pygame.surfarray.array3d(surf) == color[:3]).all()


def test_a_spread_of_a_point_is_a_disc():
    # A zero size grown by 5 with zero radii: radii 5, a disc of radius 5 centred on the margin.
    surf = draw._create_shadow_surface((0, 0), 0, 0, (0, 0, 0, 255), 5)
    a = alpha_of(surf).astype(float) / 255
    assert a.shape == (10, 10)
    assert abs(a.sum() - math.pi * 25) < 0.1 and (a == a.T).all() and (a == a[::-1]).all()


@pytest.mark.parametrize("args, error, message", [
    (((8, 8), 2, -1, (0, 0, 0)), ValueError, "^blur must be a number >= 0, not -1.0$"),
    (((8, 8), 2, float("nan"), (0, 0, 0)), ValueError, "^blur must be a number >= 0, not nan$"),
    (((8, 8), 2, 1, (0, 0, 0), float("inf")), ValueError, "^spread must be a finite number, not inf$"),
    (((8, 8), 2, 1, (0, 0, 0), float("nan")), ValueError, "^spread must be a finite number, not nan$"),
    (((8, 8), 2, float("inf"), (0, 0, 0)), ValueError, "shadow margin past 2147483647 pixels"),
    (((8, 8), 2, 4e8, (0, 0, 0)), ValueError, "past the 536870911 pixels a side"),
    (((-1, 8), 2, 1, (0, 0, 0)), ValueError, r"^shadow size must not be negative, not \(-1, 8\)$"),
    (((8, 8), 2, 1, (0, 0, 0, 256)), OverflowError, "^value too large to convert to npy_uint8$"),
    (((8, 8), 2, 1, (0, 0, 0, -1)), OverflowError, "^can't convert negative value to npy_uint8$"),
    (((8, 8), 2, "1", (0, 0, 0)), TypeError, "must be real number, not str"),
    (((8, 8), 2, 1, [0, 0, 0]), TypeError, "expected tuple, got list"),
])
def test_bad_input_raises_before_a_surface_is_made(host, args, error, message):
    with pytest.raises(error, match=message):
        draw._create_shadow_surface(*args)
    assert not host.made


def test_margin_refuses_what_the_surface_refuses():
    with pytest.raises(ValueError, match="blur must be"):
        draw.shadow_margin(-0.5)
    with pytest.raises(ValueError, match="spread must be"):
        draw.shadow_margin(1, float("-inf"))


def test_front_end_caches_with_list_radii_and_a_default_spread():
    draw._get_cached_shadow_surface.cache_clear()
    a = draw.create_shadow_surface((20, 10), [3, 3, 3, 3], 2, (0, 0, 0, 90))
    assert draw.create_shadow_surface((20, 10), (3, 3, 3, 3), 2, (0, 0, 0, 90), 0) is a
    assert draw.create_shadow_surface((20, 10), (3, 3, 3, 3), 2, (0, 0, 0, 90), spread=1) is not a
    assert draw._get_cached_shadow_surface.cache_info().currsize == 2
    fresh = draw._create_shadow_surface((20, 10), 3, 2, (0, 0, 0, 90))
    assert pygame.image.tobytes(fresh, "RGBA") == pygame.image.tobytes(a, "RGBA")


def test_both_kernel_tables_draw_the_same_bytes():
    code = """
        import hashlib, pygame
        from ralo_ui.fast.shapes import draw
        h = hashlib.sha256()
        for size, radii, blur, spread in [((64, 32), 8, 4, 0), ((256, 64), (12, 0, 30, 5), 16, 3),
                                          ((600, 90), 45, 0.4, -2.5), ((33, 33), 16.5, 0, 0.5)]:
            s = draw._create_shadow_surface(size, radii, blur, (0, 0, 0, 255), spread)
            h.update(pygame.image.tobytes(s, "RGBA"))
        print(hashlib.sha256(h.digest()).hexdigest(), draw.shadow_margin._kernels)
    """
    digests = {}
    for table in ("baseline", ""):
        out = run_python(code, env={"RALO_UI_KERNELS": table})
        assert out.returncode == 0, out.stderr
        digest, used = out.stdout.split()
        digests[used] = digest
    assert len(set(digests.values())) == 1, digests


@pytest.mark.parametrize("layout", ["argb", "bgra rows up", "rgba rows apart", "planar", "columns reversed", "gaps"])
@pytest.mark.parametrize("args", [
    ((40, 17), (9, 0, 4.5, 9), 6, (11, 22, 33, 200), 1.5),   # blurred, uneven corners
    ((21, 21), 7, 3, (11, 22, 33, 255), 0),                  # four equal corners: rows mirrored
    ((30, 12), 5, 0, (11, 22, 33, 99), 0.25),                # exact coverage
    ((30, 12), 5, 2, (11, 22, 33, 0), 0),                    # blank
])
def test_other_layouts_get_the_bytes_of_pygames_own(monkeypatch, layout, args):
    """Packed pixels in another byte order take whole words, other planes each pixel's samples:
    every pixel, colour and alpha, as on a surface of pygame's own (whose views start at zero
    here, so that nothing is left unwritten unnoticed)."""
    want = draw._create_shadow_surface(*args)
    w, h = want.get_size()
    color, alpha = views(layout, w, h)
    install(monkeypatch, lambda s: color, lambda s: alpha)
    draw._create_shadow_surface(*args)
    np.testing.assert_array_equal(color, pygame.surfarray.array3d(want))
    np.testing.assert_array_equal(alpha, alpha_of(want))
