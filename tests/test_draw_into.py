"""Drawing straight into a surface: every byte within 1 of the exact coverage composited in
float64, pygame.draw.rect's arguments, return values and surfaces, and one geometry for fills,
borders and shadows."""
import random

import numpy as np
import pygame
import pytest

from models import draw as model
from models import shadow as shadow_model
from models.process import run_python
from ralo_ui.fast.shapes import draw

SURFACES = {
    "32": lambda size: pygame.Surface(size),
    "32-alpha": lambda size: pygame.Surface(size, pygame.SRCALPHA),
    "24": lambda size: pygame.Surface(size, 0, 24),
}


def noisy(kind, size, rng):
    surf = SURFACES[kind](size)
    gen = np.random.default_rng(rng.randrange(1 << 30))
    pygame.surfarray.blit_array(surf, gen.integers(0, 1 << 24, size=size, dtype=np.uint32))
    if surf.get_flags() & pygame.SRCALPHA:
        pygame.surfarray.pixels_alpha(surf)[...] = gen.integers(0, 256, size=size, dtype=np.uint8)
    return surf


def planes(surf):
    alpha = pygame.surfarray.array_alpha(surf) if surf.get_flags() & pygame.SRCALPHA else None
    return pygame.surfarray.array3d(surf), alpha


def errors(surf, before, color, cov):
    """Each sample's distance from the exact result, as one flat array.  A pixel whose source
    alpha is below half a unit (a shadow's far tail, past its margin) may also be left as it was:
    over a transparent pixel the exact colour is the source's, at an alpha that rounds to 0."""
    want_rgb, want_alpha = model.composite(*before, color, cov)
    got_rgb, got_alpha = planes(surf)
    rgb = np.abs(got_rgb - want_rgb).max(axis=2)
    alpha = np.zeros_like(rgb) if want_alpha is None else np.abs(got_alpha - want_alpha)
    faint = (color[3] * cov < 0.5) & (got_rgb == before[0]).all(axis=2)
    if want_alpha is not None:
        faint &= got_alpha == before[1]
    return np.where(faint, 0.0, np.maximum(rgb, alpha)).ravel()


def random_rect_case(rng):
    rect = [rng.choice([rng.randint(-5, 30), rng.uniform(-5, 30)]), rng.choice([rng.randint(-5, 20), rng.uniform(-5, 20)]),
            rng.choice([rng.randint(0, 40), rng.uniform(0, 40)]), rng.choice([rng.randint(0, 30), rng.uniform(0, 30)])]
    width = rng.choice([0, 0, 1, 2, rng.uniform(0.2, 6), 50, -1])
    radius = rng.choice([0, rng.randint(0, 20), rng.uniform(0, 20)])
    corners = [rng.choice([-1, rng.uniform(0, 25), rng.randint(0, 8)]) for _ in range(4)]
    color = (rng.randrange(256), rng.randrange(256), rng.randrange(256), rng.choice([255, rng.randrange(256)]))
    return rect, width, radius, corners, color


def draw_case(surf, rect, width, radius, corners, color):
    tl, tr, br, bl = corners
    return draw.rounded_rect(surf, color, rect, width, radius, border_top_left_radius=tl,
                             border_top_right_radius=tr, border_bottom_left_radius=bl,
                             border_bottom_right_radius=br)


# A border whose inner corner is wider than the inner shape: its arc meets the opposite side.
CROSSING = [((27, 4.28, 7, 13.38), 2.72, 0, [6, -1, 10.46, 1], (62, 2, 148, 255)),
            ((-4.07, 14, 24.87, 8), 1.88, 2, [-1, 19.75, 2.97, 4], (40, 176, 177, 238))]


@pytest.mark.parametrize("kind", SURFACES)
def test_every_byte_within_one_of_the_exact_result(kind):
    rng = random.Random(kind)
    size = (44, 34)
    for case in CROSSING + [None] * 25:
        rect, width, radius, corners, color = case or random_rect_case(rng)
        surf = noisy(kind, size, rng)
        before = planes(surf)
        draw_case(surf, rect, width, radius, corners, color)
        if width < 0:
            cov = np.zeros(size)
        else:
            radii = model.bounded(rect[2], rect[3], radius, corners)
            cov = model.coverage(rect, width, radii, size)
        err = errors(surf, before, color, cov)
        assert err.max() < 1.0, (rect, width, radius, corners, color, err.max())


def test_shadow_within_one_of_the_exact_blur():
    rng = random.Random(5)
    size = (40, 32)
    for blur, spread, color in [(4.0, 0.0, (0, 0, 0, 160)), (1.5, 2.0, (20, 40, 60, 255)), (7.0, -2.0, (90, 5, 5, 90))]:
        rect = (rng.uniform(4, 12), rng.uniform(4, 10), rng.uniform(8, 24), rng.uniform(6, 18))
        radius = rng.uniform(0, 6)
        surf = noisy("32-alpha", size, rng)
        before = planes(surf)
        draw.shadow(surf, color, rect, blur, spread, radius)
        x, y, w, h = rect
        radii = [min(max(r + spread, 0.0), (min(w, h) + 2 * spread) / 2) for r in model.bounded(w, h, radius, [-1] * 4)]
        s = model.shape(x - spread, y - spread, x + w + spread, y + h + spread, radii, blur / 2)
        xs, ys = np.meshgrid(np.arange(size[0]), np.arange(size[1]), indexing="ij")
        cov = shadow_model.shadow_value(s, xs, ys).reshape(size)
        assert errors(surf, before, color, cov).max() < 1.0


@pytest.mark.parametrize("kind", SURFACES)
def test_fills_borders_and_sharp_shadows_line_up_to_the_byte(kind):
    """One coverage routine and one compositing: a border at least half the smaller side wide
    and a shadow with blur 0 are the fill, and a thinner border is the fill along its outer edge."""
    rng = random.Random(kind)
    for _ in range(30):
        rect, _, radius, corners, color = random_rect_case(rng)
        tl, tr, br, bl = corners
        corner_args = dict(border_top_left_radius=tl, border_top_right_radius=tr, border_bottom_left_radius=bl,
                           border_bottom_right_radius=br)
        base = noisy(kind, (44, 34), rng)
        surfs = [base.copy() for _ in range(4)]
        width = rng.uniform(0.5, 4)
        draw.rounded_rect(surfs[0], color, rect, 0, radius, **corner_args)
        draw.rounded_rect(surfs[1], color, rect, max(rect[2], rect[3]), radius, **corner_args)
        draw.shadow(surfs[2], color, rect, 0, 0, radius, **corner_args)
        draw.rounded_rect(surfs[3], color, rect, width, radius, **corner_args)
        fill = pygame.image.tobytes(surfs[0], "RGBA")
        assert pygame.image.tobytes(surfs[1], "RGBA") == fill
        assert pygame.image.tobytes(surfs[2], "RGBA") == fill
        # Outside the inner shape's reach, the border is the fill.
        a, b = pygame.surfarray.array3d(surfs[0]), pygame.surfarray.array3d(surfs[3])
        x0, y0 = int(np.floor(rect[0] + width)) - 1, int(np.floor(rect[1] + width)) - 1
        x1, y1 = int(np.ceil(rect[0] + rect[2] - width)) + 1, int(np.ceil(rect[1] + rect[3] - width)) + 1
        outside = np.ones(a.shape[:2], bool)
        outside[max(x0, 0):max(x1, 0), max(y0, 0):max(y1, 0)] = False
        assert (a[outside] == b[outside]).all()


@pytest.mark.parametrize("kind", SURFACES)
@pytest.mark.parametrize("rect, width, radius", [
    ((3, 4, 20, 10), 0, 0), ((3, 4, 20, 10), 2, 0), ((-5, -3, 20, 10), 0, 0), ((30, 20, 20, 10), 3, 0),
    ((3, 4, 20, 10), 0, 4), ((3, 4, 20, 10), 1, 3), ((100, 100, 5, 5), 0, 0), ((3, 4, -5, 10), 0, 0),
    ((3, 4, 20, 10), -1, 0), ((3, 4, 0, 0), 0, 0),
])
def test_opaque_square_rects_and_returns_as_pygame_draw_rect(kind, rect, width, radius):
    """Whole pixels in an opaque colour are exactly what draw.rect writes (the whole pixel);
    the returned Rect is draw.rect's, clip rect included."""
    ours, theirs = noisy(kind, (40, 30), random.Random(1)), None
    theirs = ours.copy()
    for surf in (ours, theirs):
        surf.set_clip((2, 1, 35, 27))
    got = draw.rounded_rect(ours, (200, 100, 50), rect, width, radius)
    want = pygame.draw.rect(theirs, (200, 100, 50), rect, width, radius)
    assert got == want
    if radius == 0:
        assert pygame.image.tobytes(ours, "RGBA") == pygame.image.tobytes(theirs, "RGBA")
        assert ours.get_view("2").raw == theirs.get_view("2").raw


def test_radii_bounded_as_pygame_bounds_them():
    """Scaled together where two corners need more than a side: a top-left corner of 60 on a
    40 high rect is 40, and the corners that fit are left alone."""
    for corners, want in [((60, -1, -1, -1), (40, 0, 0, 0)), ((60, 60, -1, -1), (40, 40, 0, 0)),
                          ((1000, 1000, 1000, 1000), (20, 20, 20, 20))]:
        a, b = pygame.Surface((120, 60)), pygame.Surface((120, 60))
        tl, tr, br, bl = corners
        draw.rounded_rect(a, "white", (10, 10, 100, 40), 0, 0, tl, tr, bl, br)
        draw.rounded_rect(b, "white", (10, 10, 100, 40), 0, 0, *want[:2], want[3], want[2])
        assert pygame.image.tobytes(a, "RGB") == pygame.image.tobytes(b, "RGB")


def test_colors_and_rects_pygame_accepts():
    surf = pygame.Surface((30, 20))
    want = None
    for color in [(200, 100, 50), pygame.Color(200, 100, 50), [200, 100, 50], (200, 100, 50, 255),
                  surf.map_rgb((200, 100, 50))]:
        for rect in [(2.5, 3, 20, 10), pygame.Rect(2, 3, 20, 10).move(0, 0) and [2.5, 3, 20, 10], ((2.5, 3), (20, 10)),
                     np.array([2.5, 3, 20, 10])]:
            surf.fill((0, 0, 0))
            draw.rounded_rect(surf, color, rect, 0, 4)
            got = pygame.image.tobytes(surf, "RGB")
            assert want is None or got == want, (color, rect)
            want = got
    surf.fill((0, 0, 0))
    assert draw.rounded_rect(surf, "white", pygame.Rect(1, 2, 3, 4)) == pygame.Rect(1, 2, 3, 4)
    assert surf.get_at((2, 3)) == pygame.Color("white")
    with pytest.raises(ValueError):
        draw.rounded_rect(surf, "no such colour", (1, 2, 3, 4))
    class Failing:  # a pair whose items cannot be read
        def __len__(self):
            return 2

        def __getitem__(self, i):
            raise IndexError(i)

    for rect in [(1, 2, 3), None, (1, 2, "a", 4), (1, 2, float("nan"), 4), ((1, 2), 3), Failing()]:
        with pytest.raises(TypeError, match="rect argument is invalid"):
            draw.rounded_rect(surf, "white", rect)
    with pytest.raises(ValueError, match="nan"):
        draw.rounded_rect(surf, "white", (1, 2, 3, 4), border_radius=float("nan"))


def test_other_depths_refused_before_a_pixel_is_written():
    for depth in (8, 16):
        surf = pygame.Surface((10, 10), 0, depth)
        before = pygame.image.tobytes(surf, "RGB")
        with pytest.raises(ValueError, match="24- and 32-bit surfaces, not on a %d-bit one" % depth):
            draw.rounded_rect(surf, "white", (0, 0, 5, 5))
        with pytest.raises(ValueError, match="24- and 32-bit"):
            draw.shadow(surf, "white", (0, 0, 5, 5), 2)
        assert pygame.image.tobytes(surf, "RGB") == before


def test_samples_of_other_than_eight_bits_refused():
    try:
        ten_bits = pygame.Surface((10, 10), 0, 32, (0x3FF00000, 0xFFC00, 0x3FF, 0))
    except ValueError:
        pytest.skip("this pygame makes no surface of 10-bit samples")
    with pytest.raises(ValueError, match="not whole bytes"):
        draw.rounded_rect(ten_bits, "white", (0, 0, 5, 5))


def test_subsurfaces_locked_and_display_surfaces():
    parent = pygame.Surface((40, 30))
    sub = parent.subsurface((5, 4, 20, 15))
    alone = pygame.Surface((40, 30))
    assert draw.rounded_rect(sub, (9, 200, 9, 150), (-2.5, 3, 30, 8), 0, 3) == pygame.Rect(0, 3, 20, 8)
    draw.rounded_rect(alone, (9, 200, 9, 150), (2.5, 7, 30, 8), 0, 3)
    alone.set_clip(None)
    clipped = pygame.Surface((40, 30))
    clipped.set_clip((5, 4, 20, 15))
    draw.rounded_rect(clipped, (9, 200, 9, 150), (2.5, 7, 30, 8), 0, 3)
    assert pygame.image.tobytes(parent, "RGB") == pygame.image.tobytes(clipped, "RGB")
    # A surface the caller locked is drawn on and stays locked, as draw.rect leaves it.
    parent.lock()
    draw.rounded_rect(parent, (1, 2, 3), (0, 0, 4, 4))
    assert parent.get_locked() and tuple(parent.get_at((1, 1)))[:3] == (1, 2, 3) or parent.unlock() is None
    parent.unlock()
    assert not parent.get_locked()
    screen = pygame.display.set_mode((64, 48))
    assert draw.rounded_rect(screen, (1, 2, 3), (10, 10, 20, 10), 2, 4) == pygame.Rect(10, 10, 20, 10)
    assert tuple(screen.get_at((20, 10)))[:3] == (1, 2, 3)
    assert draw.shadow(screen, (0, 0, 0, 100), (10, 10, 20, 10), 4) == pygame.Rect(4, 4, 32, 22)


def test_shadow_arguments():
    surf = pygame.Surface((20, 20))
    assert draw.shadow(surf, (0, 0, 0), (5, 5, 4, 4), 2, -3) == pygame.Rect(5, 5, 0, 0)
    for blur in (-1, float("nan"), float("inf")):
        with pytest.raises(ValueError, match="blur"):
            draw.shadow(surf, (0, 0, 0), (5, 5, 4, 4), blur)
    with pytest.raises(ValueError, match="spread"):
        draw.shadow(surf, (0, 0, 0), (5, 5, 4, 4), 1, float("nan"))
    with pytest.raises(ValueError, match="pixels a side"):
        draw.shadow(surf, (0, 0, 0), (5, 5, 4, 4), 1e12)


@pytest.mark.parametrize("kind", SURFACES)
def test_a_clip_keeps_the_pixels_it_lets_through(kind):
    """What a clip lets through is drawn as without it: the right or bottom part of a shape on
    a pixel grid, drawn alone, is what the whole shape draws there (a shape symmetric in the
    grid takes some of its pixels from their mirror images, across and down, when the whole
    shape is drawn)."""
    rng = random.Random(kind)
    size = (60, 44)
    for _ in range(60):
        grid = rng.choice([1, 2, 4, 1024])
        rect = [rng.randint(-4 * grid, 20 * grid) / grid, rng.randint(-4 * grid, 12 * grid) / grid,
                rng.randint(0, 44 * grid) / grid, rng.randint(0, 34 * grid) / grid]
        radius = rng.choice([rng.randint(0, 20), rng.randint(0, 80) / 4])
        top, bottom = rng.choice([-1, rng.randint(0, 12)]), rng.choice([-1, rng.randint(0, 12)])
        corners = rng.choice([[top, top, bottom, bottom], [top] * 4])
        width = rng.choice([0, 0, 1, 2, rng.randint(1, 24) / 4])
        color = (rng.randrange(256), rng.randrange(256), rng.randrange(256), rng.choice([255, rng.randrange(256)]))
        whole = noisy(kind, size, rng)
        part = whole.copy()
        x, y = rng.randrange(size[0]), rng.randrange(size[1])
        clip = rng.choice([(x, 0, size[0] - x, size[1]), (0, y, size[0], size[1] - y), (x, y, 7, 5)])
        part.set_clip(clip)
        for surf in (whole, part):
            draw_case(surf, rect, width, radius, corners, color)
        inside = np.zeros(size, bool)
        inside[clip[0]:clip[0] + clip[2], clip[1]:clip[1] + clip[3]] = True
        (a, a_alpha), (b, b_alpha) = planes(whole), planes(part)
        assert (a[inside] == b[inside]).all(), (rect, width, radius, corners, color, clip)
        if a_alpha is not None:
            assert (a_alpha[inside] == b_alpha[inside]).all()


@pytest.mark.parametrize("kind", SURFACES)
def test_a_shape_drawn_again_elsewhere_gives_the_bytes_of_a_first_drawing(kind):
    """A thread keeps its last few drawings and makes one again, moved by whole pixels, when
    the same shape comes back: the bytes are those of a drawing made afresh, one that finds
    nothing kept after a dozen other shapes."""
    rng = random.Random(kind)
    for _ in range(30):
        rect = [rng.uniform(0, 10), rng.uniform(0, 8), rng.uniform(0, 30), rng.uniform(0, 25)]
        width, radius, blur = rng.choice([0, 1, 2.5]), rng.uniform(0, 12), rng.choice([None, 0, 3])
        color = (rng.randrange(256), rng.randrange(256), rng.randrange(256), rng.choice([255, rng.randrange(256)]))

        def one(surf, dx, dy):
            moved = (rect[0] + dx, rect[1] + dy, rect[2], rect[3])
            if blur is None:
                draw.rounded_rect(surf, color, moved, width, radius)
            else:
                draw.shadow(surf, color, moved, blur, 0, radius)

        base = noisy(kind, (80, 60), rng)
        again, afresh = base.copy(), base.copy()
        one(base, 0, 0)  # made and kept
        one(again, 17, 9)  # made from what was kept
        for i in range(12):
            draw.rounded_rect(pygame.Surface((8, 8)), "white", (i / 16, 0, 5, 5), 0, 2)
        one(afresh, 17, 9)
        (a, a_alpha), (b, b_alpha) = planes(again), planes(afresh)
        assert (a == b).all() and (a_alpha is None or (a_alpha == b_alpha).all()), (rect, width, radius, blur)


CASES = """
import hashlib, random, pygame
from ralo_ui.fast.shapes import draw
rng = random.Random(7)
digest = hashlib.sha256()
for flags, depth in ((0, 32), (pygame.SRCALPHA, 32), (0, 24)):
    for _ in range(40):
        surf = pygame.Surface((70, 50), flags, depth)
        surf.fill((rng.randrange(256), rng.randrange(256), rng.randrange(256), rng.randrange(256)))
        rect = (rng.uniform(-5, 40), rng.uniform(-5, 30), rng.uniform(0, 60), rng.uniform(0, 40))
        color = (rng.randrange(256), rng.randrange(256), rng.randrange(256), rng.choice([255, rng.randrange(256)]))
        draw.rounded_rect(surf, color, rect, rng.choice([0, 1, 2.5]), rng.uniform(0, 12))
        draw.shadow(surf, color, rect, rng.choice([0, 1.5, 6]), rng.uniform(-2, 3), rng.uniform(0, 12))
        digest.update(pygame.image.tobytes(surf, "RGBA"))
print(digest.hexdigest())
"""


def test_both_kernel_tables_draw_the_same_bytes():
    runs = [run_python(CASES, env={"RALO_UI_KERNELS": table, "SDL_VIDEODRIVER": "dummy"})
            for table in ("baseline", "auto")]
    assert all(r.returncode == 0 for r in runs), [r.stderr for r in runs]
    assert runs[0].stdout == runs[1].stdout
