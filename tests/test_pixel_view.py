"""The pixel views: which buffers they take, the errors for the others and their order, and
writes through any layout of strides."""
import re
import sys

import numpy as np
import pygame
import pytest

from models.fake_host import Exporter, FakeSurface, host_registry, raw_exporter, refcounts, registry, returning
from models.layouts import ORDERS, ROWS, STRIDES, packed, views
from ralo_ui.fast.shapes import fast_shapes as fs

W, H = 8, 6


def new_planes(w=W, h=H, dtype=np.uint8):
    """New colour and alpha arrays of a w x h surface's shape, filled with 7 and 9."""
    color = np.full((w, h, 3), 7, dtype)
    alpha = np.full((w, h), 9, dtype)
    return color, alpha


def outline(surf):
    return fs.transform_into_outlined_rounded_rect(surf, 2, 1.5, (200, 100, 50, 180), None)


def cut(surf):
    return fs.transform_into_rounded_rect(surf, 3)


DRIVERS = [outline, cut]
COLOR, ALPHA = new_planes()


def described(array, format, itemsize=1):
    exporter = Exporter(array, format, itemsize)
    described.keep.append(exporter)
    return exporter.view


described.keep = []


REFUSED = [
    # (colour object, alpha object, exception, exact message)
    (ALPHA, ALPHA, ValueError, "Buffer has wrong number of dimensions (expected 3, got 2)"),
    (COLOR, COLOR, ValueError, "Buffer has wrong number of dimensions (expected 2, got 3)"),
    (COLOR.astype(np.int8), ALPHA, ValueError, "Buffer dtype mismatch, expected 'uint8_t' but got 'signed char'"),
    (COLOR, ALPHA.astype(np.int8), ValueError, "Buffer dtype mismatch, expected 'uint8_t' but got 'signed char'"),
    (COLOR.astype("<u2"), ALPHA, ValueError, "Buffer dtype mismatch, expected 'uint8_t' but got 'unsigned short'"),
    (COLOR.astype(np.float32), ALPHA, ValueError, "Buffer dtype mismatch, expected 'uint8_t' but got 'float'"),
    (COLOR.astype(">u2"), ALPHA, ValueError, "Big-endian buffer not supported on little-endian compiler"),
    (described(COLOR, "!B"), ALPHA, ValueError, "Big-endian buffer not supported on little-endian compiler"),
    (described(COLOR, "y"), ALPHA, ValueError, "Does not understand character buffer dtype format string ('y')"),
    (described(COLOR, "P"), ALPHA, ValueError, "Buffer dtype mismatch, expected 'uint8_t' but got a pointer"),
    (COLOR, described(ALPHA, "=D"), ValueError, "Buffer dtype mismatch, expected 'uint8_t' but got a complex number"),
    (described(COLOR, "B", 2), ALPHA, ValueError,
     "Item size of buffer (2 bytes) does not match size of 'uint8_t' (1 byte)"),
    (COLOR, described(ALPHA, "<B", 4), ValueError,
     "Item size of buffer (4 bytes) does not match size of 'uint8_t' (1 byte)"),
    # The checks run in order: dimensions, then format (byte order first), then item size.
    (ALPHA.astype(">u2"), ALPHA, ValueError, "Buffer has wrong number of dimensions (expected 3, got 2)"),
    (described(COLOR, ">B", 2), ALPHA, ValueError, "Big-endian buffer not supported on little-endian compiler"),
    (described(COLOR, "b", 2), ALPHA, ValueError, "Buffer dtype mismatch, expected 'uint8_t' but got 'signed char'"),
    (None, ALPHA, TypeError, "surfarray.pixels3d() returned None instead of a pixel array"),
    (COLOR, None, TypeError, "surfarray.pixels_alpha() returned None instead of a pixel array"),
]


@pytest.mark.parametrize("driver", DRIVERS)
@pytest.mark.parametrize("color, alpha, error, message", REFUSED)
def test_refused_buffers(driver, color, alpha, error, message):
    before = [np.array(a) for a in (COLOR, ALPHA)]
    refs = refcounts((color, alpha))
    with host_registry(returning(color, alpha)):
        with pytest.raises(error, match=f"^{re.escape(message)}$"):
            driver(FakeSurface())
    # Nothing written, and no export kept (a held view would hold a reference).
    assert all(np.array_equal(b, a) for b, a in zip(before, (COLOR, ALPHA)))
    assert refcounts((color, alpha)) == refs


@pytest.mark.parametrize("driver", DRIVERS)
def test_read_only_buffer_is_refused_by_its_exporter(driver):
    color, alpha = new_planes()
    alpha.flags.writeable = False
    refs = sys.getrefcount(color)
    with host_registry(returning(color, alpha)):
        with pytest.raises(ValueError, match="^buffer source array is read-only$"):
            driver(FakeSurface())
    assert sys.getrefcount(color) == refs  # the colour view was let go again


@pytest.mark.parametrize("driver", DRIVERS)
@pytest.mark.parametrize("fmt", ["B", "@B", "=B", "<B", "^B", "?", "c"])
def test_accepted_formats(driver, fmt):
    color, alpha = new_planes()
    expected = new_planes()
    with host_registry(returning(*expected)):
        driver(FakeSurface())
    with host_registry(returning(described(color, fmt), described(alpha, fmt))):
        driver(FakeSurface())
    assert np.array_equal(color, expected[0]) and np.array_equal(alpha, expected[1])


@pytest.mark.parametrize("driver", DRIVERS)
@pytest.mark.parametrize("w, h", [(0, H), (W, 0), (0, 0)])
def test_empty_buffers_are_accepted(driver, w, h):
    color, alpha = new_planes(w, h)
    with host_registry(returning(color, alpha)):
        assert driver(FakeSurface(w, h)) is None
    surf = pygame.Surface((w, h), pygame.SRCALPHA)
    assert driver(surf) is None and not surf.get_locked()


def reference(driver):
    """What the driver draws on a real surface of the same size and content."""
    surf = pygame.Surface((W, H), pygame.SRCALPHA)
    surf.fill((7, 7, 7, 9))
    driver(surf)
    return np.array(pygame.surfarray.pixels3d(surf)), np.array(pygame.surfarray.pixels_alpha(surf))


@pytest.mark.parametrize("driver", DRIVERS)
@pytest.mark.parametrize("layout", STRIDES)
def test_any_strides_address_the_same_pixels(driver, layout):
    base = new_planes()
    color, alpha = views(layout, W, H)
    color[...], alpha[...] = base
    outside = [a.base.copy() if a.base is not None else None for a in (color, alpha)]
    with host_registry(returning(color, alpha)):
        driver(FakeSurface())
    expected_color, expected_alpha = reference(driver)
    assert np.array_equal(color, expected_color) and np.array_equal(alpha, expected_alpha)
    if layout == "gaps":  # the bytes between the view's elements are untouched
        for view, before in zip((color, alpha), outside):
            untouched = np.ones(before.shape, bool)
            untouched[::2, ::3] = False
            assert np.array_equal(view.base[untouched], before[untouched])


@pytest.mark.parametrize("driver", DRIVERS)
@pytest.mark.parametrize("rows", ROWS)
@pytest.mark.parametrize("order", ORDERS)
def test_packed_pixels_in_any_byte_order(driver, order, rows):
    color, alpha = packed(order, W, H, rows)
    color[...], alpha[...] = new_planes()
    with host_registry(returning(color, alpha)):
        driver(FakeSurface())
    expected_color, expected_alpha = reference(driver)
    assert np.array_equal(color, expected_color) and np.array_equal(alpha, expected_alpha)


SMALL = [
    ("narrow", new_planes(W - 1, H)),
    ("short", new_planes(W, H - 1)),
    ("two-channels", (np.zeros((W, H, 2), np.uint8), np.zeros((W, H), np.uint8))),
    ("small-alpha", (np.zeros((W, H, 3), np.uint8), np.zeros((W, H - 1), np.uint8))),
    ("small-colour", (np.zeros((1, 1, 3), np.uint8), np.zeros((W, H), np.uint8))),
]
# The outline checks both views; cutting corners only the alpha view, the one it indexes.
TOO_SMALL = {
    outline: r"pixel arrays of \d+ x \d+ x \d+ \(colour\) and \d+ x \d+ \(alpha\) are",
    cut: r"pixel array of \d+ x \d+ \(alpha\) is",
}


@pytest.mark.parametrize("driver, name, arrays", [
    pytest.param(driver, name, arrays, id=f"{name}-{driver.__name__}")
    for driver in DRIVERS for name, arrays in SMALL if driver is outline or arrays[1].shape != (W, H)])
def test_views_smaller_than_the_surface_fail_before_any_write(driver, name, arrays):
    color, alpha = (a + 5 for a in arrays)
    before = color.copy(), alpha.copy()
    with host_registry(returning(color, alpha)):
        with pytest.raises(ValueError, match=f"^{TOO_SMALL[driver]} too small for a surface of {W} x {H}$"):
            driver(FakeSurface())
    assert np.array_equal(color, before[0]) and np.array_equal(alpha, before[1])


@pytest.mark.parametrize("make", [
    lambda: fs._create_rounded_rect_surface_optimized((W, H), 3, (1, 2, 3)),
    lambda: cut(FakeSurface()),
    lambda: fs.transform_into_rounded_rect(FakeSurface(), 3, (1, 2, 3, 200)),
], ids=["filled", "cut", "cut-with-colour"])
@pytest.mark.parametrize("name", ["two-channels", "small-colour"])
def test_corner_cuts_ignore_the_color_views_extents(make, name):
    color, alpha = dict(SMALL)[name]
    color, alpha, full_alpha = color + 5, alpha + 5, alpha + 5
    with host_registry(returning(np.zeros((W, H, 3), np.uint8), full_alpha)):
        make()
    with host_registry(returning(color, alpha)):
        make()
    assert (color == 5).all() and np.array_equal(alpha, full_alpha) and (alpha != 5).any()


@pytest.mark.parametrize("make", [
    lambda: fs._create_rounded_rect_surface_optimized((W, H), 3, (1, 2, 3)),
    lambda: fs._create_outlined_rounded_rect_sdf((W, H), 3, 2.0, (1, 2, 3)),
], ids=["filled", "outlined"])
def test_new_surfaces_check_their_views_too(make):
    color, alpha = new_planes(W, H - 2)
    before = color.copy(), alpha.copy()
    with host_registry(returning(color, alpha)):
        with pytest.raises(ValueError, match=f"too small for a surface of {W} x {H}$"):
            make()
    assert np.array_equal(color, before[0]) and np.array_equal(alpha, before[1])


def test_views_come_from_md_at_each_call():
    calls = []

    def pixels3d(surf):
        calls.append("pixels3d")
        return pygame.surfarray.pixels3d(surf)

    def pixels_alpha(surf):
        calls.append("pixels_alpha")
        return pygame.surfarray.pixels_alpha(surf)

    surf = pygame.Surface((W, H), pygame.SRCALPHA)
    with host_registry(registry(pixels3d, pixels_alpha)):
        outline(surf)
        cut(surf)
    assert calls == ["pixels3d", "pixels_alpha"] * 2 and not surf.get_locked()


@pytest.mark.parametrize("fmt, offered", [
    ("h", "'short'"), ("<H", "'unsigned short'"), ("i", "'int'"), ("I", "'unsigned int'"), ("l", "'long'"),
    ("L", "'unsigned long'"), ("q", "'long long'"), ("Q", "'unsigned long long'"), ("n", "'Py_ssize_t'"),
    ("N", "'size_t'"), ("e", "'half float'"), ("d", "'double'"), ("g", "'long double'"),
    ("Zf", "a complex number"), ("O", "Python object"), ("T{B}", "a struct"), ("s", "a string"),
    ("p", "a string"), ("x", "a pad byte"), ("Bx", "a pad byte"), ("BB", "'unsigned char'"),
    # Repeat counts, groups and field names are format syntax, but no item.
    ("2B", "unparseable format string"), ("(2)B", "unparseable format string"),
    ("B:r:", "unparseable format string"),
])
def test_dtype_mismatch_names_the_offered_item(fmt, offered):
    with host_registry(returning(described(COLOR, fmt), ALPHA)):
        with pytest.raises(ValueError, match=f"^Buffer dtype mismatch, expected 'uint8_t' but got {re.escape(offered)}$"):
            cut(FakeSurface())


@pytest.mark.parametrize("fmt", ["?x", "cB", "<Bh"])
def test_a_byte_code_followed_by_more_items_is_a_mismatch(fmt):
    with host_registry(returning(described(COLOR, fmt), ALPHA)):
        with pytest.raises(ValueError, match="^Buffer dtype mismatch, expected 'uint8_t' but got "):
            cut(FakeSurface())


# Exporters that ignore what was asked for: without PyBUF_INDIRECT no suboffsets may come, and
# with PyBUF_STRIDES both shape and strides must.  Followed, such a view would address other
# memory than the array's.
FAULTY = [
    # (colour exporter's arguments, alpha exporter's arguments, exact message)
    ({"suboffsets": [-1, 0, -1]}, {}, "Buffer not compatible with direct access in dimension 1."),
    ({}, {"suboffsets": [0, -1]}, "Buffer not compatible with direct access in dimension 0."),
    ({"suboffsets": [-1, -1, -1], "strides": False}, {}, "Buffer exposes suboffsets but no strides"),
    ({"shape": False, "strides": False}, {},  # taken as one row of bytes: too small
     f"pixel arrays of {W * H * 3} x 1 x 1 (colour) and {W} x {H} (alpha) are too small for a surface of {W} x {H}"),
]


@pytest.mark.parametrize("color_faults, alpha_faults, message", FAULTY)
def test_faulty_exporters_are_refused(color_faults, alpha_faults, message):
    color, alpha = new_planes()
    exporters = raw_exporter(color, **color_faults), raw_exporter(alpha, **alpha_faults)
    refs = refcounts(exporters)
    with host_registry(returning(*exporters)):
        with pytest.raises(ValueError, match=f"^{re.escape(message)}$"):
            outline(FakeSurface())
    assert (color == 7).all() and (alpha == 9).all()
    assert refcounts(exporters) == refs  # every export was released


@pytest.mark.parametrize("driver", DRIVERS)
def test_exports_without_format_or_with_unfollowed_suboffsets_are_read_directly(driver):
    color, alpha = new_planes()
    exporters = (raw_exporter(color, format=None, suboffsets=[-1, -1, -1]),
                 raw_exporter(alpha, format=None, suboffsets=[-1, -1]))
    with host_registry(returning(*exporters)):
        driver(FakeSurface())
    expected_color, expected_alpha = reference(driver)
    assert np.array_equal(color, expected_color) and np.array_equal(alpha, expected_alpha)
