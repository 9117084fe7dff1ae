"""The memory layouts the pixel views may have, by name: planes with any strides, and one buffer
of 4-byte pixels in each byte order.  Views are indexed [x, y] and [x, y, channel], as
surfarray's are."""
import sys

import numpy as np
import pygame


def _zeros(shape):
    return np.zeros(shape, np.uint8)


def _reversed(axes):
    return lambda shape: _zeros(shape)[tuple(slice(None, None, -1) if a in axes else slice(None)
                                             for a in range(len(shape)))]


# Planes of any rank, by how their strides run.
STRIDES = {
    "contiguous": _zeros,  # x slowest, the channel fastest
    "channels reversed": _reversed({2}),
    "columns reversed": _reversed({0}),  # negative x stride
    "rows reversed": _reversed({1}),
    "all reversed": _reversed({0, 1, 2}),
    "transposed": lambda shape: np.swapaxes(_zeros((shape[1], shape[0], *shape[2:])), 0, 1),  # pixels row by row
    "planar": lambda shape: _zeros(shape[::-1]).T,  # each channel a plane of rows, x stride 1
    "planar columns reversed": lambda shape: _zeros(shape[::-1]).T[::-1],  # x stride -1
    "columns apart": lambda shape: _zeros((3 * shape[0], *shape[1:]))[::3],
    "gaps": lambda shape: _zeros((2 * shape[0], 3 * shape[1], *shape[2:]))[::2, ::3],  # between columns and rows
}

# The bytes of one 4-byte pixel in memory, first to last.
ORDERS = ["rgba", "bgra", "argb", "abgr"]

# How the rows of 4-byte pixels follow each other: each after the one above, each before it,
# or (still 4-byte pixels) the alpha rows twice as far apart as the colour rows.
ROWS = ["down", "up", "apart"]


def plane(layout, shape):
    """A zeroed plane of `shape` ((w, h) or (w, h, 3)) in the layout STRIDES[layout]."""
    return STRIDES[layout](tuple(shape))


def packed(order, w, h, rows="down"):
    """Zeroed colour and alpha views of w x h 4-byte pixels, x fastest, their bytes in `order`
    (ORDERS), their rows as ROWS says."""
    pixels = _zeros((2 * h, w, 4)).transpose(1, 0, 2)  # strides (4, 4 w, 1)
    if rows == "up":
        pixels = pixels[:, ::-1]
    r, g, b = (order.index(c) for c in "rgb")
    step = g - r
    assert abs(step) == 1 and b == g + step, order
    channels = slice(r, b + step if b + step >= 0 else None, step)
    alpha_rows = slice(None, None, 2) if rows == "apart" else slice(None, h)
    return pixels[:, :h, channels], pixels[:, alpha_rows, order.index("a")]


def views(layout, w, h):
    """Zeroed colour and alpha views of a w x h surface: each plane apart in a layout of STRIDES,
    or 4-byte pixels in a byte order of ORDERS, then optionally " rows up" or " rows apart"."""
    if layout in STRIDES:
        return plane(layout, (w, h, 3)), plane(layout, (w, h))
    order, _, rows = layout.partition(" rows ")
    return packed(order, w, h, rows or "down")


def masks(order):
    """The red, green, blue and alpha masks of a 32-bit pygame surface whose pixels hold their
    bytes in `order`."""
    def shift(i):
        return 8 * (i if sys.byteorder == "little" else 3 - i)
    return tuple(0xFF << shift(order.index(c)) for c in "rgba")


def surface(order, w, h):
    """A w x h surface with per-pixel alpha whose pixels hold their bytes in `order`."""
    return pygame.Surface((w, h), pygame.SRCALPHA, 32, masks(order))
