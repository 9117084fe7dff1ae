# What a Python developer would write instead of fast_shapes: pygame.draw, numpy, cairo, Pillow and Skia.
"""Competing implementations of each benchmarked operation.

Every peer produces the same shape as the module's operation (to the eye, not
bit-exact) as a pygame surface with per-pixel alpha, or in the caller's surface
for the in-place operations.  ``PEERS[op]`` maps a peer name to a callable with
the module function's signature; a peer missing for an operation does not apply.

The cairo peers hand cairo's premultiplied ARGB32 pixels to pygame as they are,
so edge pixels carry premultiplied (slightly dark) colours; un-premultiplying
would cost a full extra pass, so their times are a lower bound for a correct
result.  Pillow draws at 4x and reduces with a box filter (16 samples a pixel).
"""
import math

import numpy as np
import pygame

try:
    import cairo
except ImportError:  # optional peer
    cairo = None
try:
    from PIL import Image, ImageDraw
except ImportError:  # optional peer
    Image = ImageDraw = None
try:
    import skia
except ImportError:  # optional peer (skia-python)
    skia = None

SS = 4  # Pillow's supersampling factor
F0, F05, F1 = np.float32(0.0), np.float32(0.5), np.float32(1.0)


def _alpha(color):
    return color[3] if len(color) > 3 else 255


def _radius(radii):
    return radii if isinstance(radii, (int, float)) else radii[0]


# --- pygame.draw: aliased, the cheapest thing a pygame user reaches for ----------

def draw_filled(size, radii, color):
    surf = pygame.Surface(size, pygame.SRCALPHA)
    pygame.draw.rect(surf, color, surf.get_rect(), border_radius=int(_radius(radii)))
    return surf


def draw_outlined(size, radius, width, color):
    surf = pygame.Surface(size, pygame.SRCALPHA)
    pygame.draw.rect(surf, color, surf.get_rect(), math.ceil(width), border_radius=radius)
    return surf


def draw_round_in_place(surf, radii, color=None):
    rect, r = surf.get_rect(), int(_radius(radii))
    if color is not None:
        surf.fill((0, 0, 0, 0))
        pygame.draw.rect(surf, color, rect, border_radius=r)
        return
    # The usual idiom: a white rounded mask, min-blended over the surface.
    mask = pygame.Surface(rect.size, pygame.SRCALPHA)
    pygame.draw.rect(mask, (255, 255, 255, 255), rect, border_radius=r)
    surf.blit(mask, (0, 0), special_flags=pygame.BLEND_RGBA_MIN)


def draw_outline_in_place(surf, radii, stroke_width, color, background_color=None):
    rect, r = surf.get_rect(), int(_radius(radii))
    if background_color is not None:
        surf.fill((0, 0, 0, 0))
        pygame.draw.rect(surf, background_color, rect, border_radius=r)
    pygame.draw.rect(surf, color, rect, math.ceil(stroke_width), border_radius=r)


# --- numpy: float32 signed distance over the whole surface, through surfarray ----

def _box_sdf(w, h, half_w, half_h, r):
    """Signed distance (w, h) of each pixel centre from a rounded box centred on the surface."""
    r = np.float32(r)
    qx = np.abs(np.arange(w, dtype=np.float32) - np.float32((w - 1) / 2)) - np.float32(half_w) + r
    qy = np.abs(np.arange(h, dtype=np.float32) - np.float32((h - 1) / 2)) - np.float32(half_h) + r
    qx, qy = qx[:, None], qy[None, :]  # surfarray order: [x][y]
    mx, my = np.maximum(qx, F0), np.maximum(qy, F0)
    outside = np.sqrt(mx * mx + my * my)
    return outside + np.minimum(np.maximum(qx, qy), F0) - r


def _stroke_sdf(w, h, radius, width):
    # Centre line of a stroke whose outer edge lies on the surface's outer pixel edges.
    half = width / 2
    return _box_sdf(w, h, (w - width) / 2, (h - width) / 2, max(radius - half, 0.0))


def numpy_filled(size, radii, color):
    w, h = size
    surf = pygame.Surface(size, pygame.SRCALPHA)
    surf.fill(color)
    cov = np.clip(F05 - _box_sdf(w, h, w / 2, h / 2, _radius(radii)), F0, F1)
    pygame.surfarray.pixels_alpha(surf)[...] = cov * np.float32(_alpha(color))
    return surf


def numpy_outlined(size, radius, width, color):
    w, h = size
    surf = pygame.Surface(size, pygame.SRCALPHA)
    surf.fill((*color[:3], 0))
    d = _stroke_sdf(w, h, radius, width)
    cov = np.clip(np.float32(width / 2 + 0.5) - np.abs(d), F0, F1)
    pygame.surfarray.pixels_alpha(surf)[...] = cov * np.float32(_alpha(color))
    return surf


def numpy_round_in_place(surf, radii, color=None):
    w, h = surf.get_size()
    if color is not None:
        surf.fill(color)
    cov = np.clip(F05 - _box_sdf(w, h, (w - 1) / 2, (h - 1) / 2, _radius(radii)), F0, F1)
    alpha = pygame.surfarray.pixels_alpha(surf)
    if color is not None:
        alpha[...] = cov * np.float32(_alpha(color))
    else:
        alpha[...] = alpha * cov


def numpy_outline_in_place(surf, radii, stroke_width, color, background_color=None):
    w, h = surf.get_size()
    half = stroke_width / 2
    d = _stroke_sdf(w, h, _radius(radii), stroke_width)
    sa = np.clip(np.float32(half + 0.5) - np.abs(d), F0, F1) * np.float32(_alpha(color) / 255)
    rgb = pygame.surfarray.pixels3d(surf)
    alpha = pygame.surfarray.pixels_alpha(surf)
    if background_color is not None:
        under_a = np.clip(np.float32(half) - d, F0, F1) * np.float32(_alpha(background_color) / 255)
        under_rgb = np.asarray(background_color[:3], dtype=np.float32)
    else:
        # Existing pixels show through the inner half of the stroke; the outer half replaces them.
        under_a = np.where(d > 0, F0, alpha * np.float32(1 / 255))
        under_rgb = rgb
    under_w = under_a * (F1 - sa)
    total = sa + under_w
    inv = F1 / np.where(total > 0, total, F1)
    ink = np.asarray(color[:3], dtype=np.float32)
    rgb[...] = (ink * sa[..., None] + under_rgb * under_w[..., None]) * inv[..., None]
    alpha[...] = total * np.float32(255)


# --- cairo: antialiased paths on an ARGB32 image ----------------------------------

def _cairo_path(ctx, x, y, w, h, r):
    ctx.new_sub_path()
    ctx.arc(x + w - r, y + r, r, -math.pi / 2, 0)
    ctx.arc(x + w - r, y + h - r, r, 0, math.pi / 2)
    ctx.arc(x + r, y + h - r, r, math.pi / 2, math.pi)
    ctx.arc(x + r, y + r, r, math.pi, 3 * math.pi / 2)
    ctx.close_path()


def _cairo_source(ctx, color):
    ctx.set_source_rgba(color[0] / 255, color[1] / 255, color[2] / 255, _alpha(color) / 255)


def _cairo_image(w, h):
    img = cairo.ImageSurface(cairo.FORMAT_ARGB32, w, h)
    return img, cairo.Context(img)


def _cairo_to_pygame(img, w, h):
    img.flush()
    return pygame.image.frombuffer(img.get_data(), (w, h), "BGRA")  # little-endian ARGB32


def cairo_filled(size, radii, color):
    w, h = size
    img, ctx = _cairo_image(w, h)
    _cairo_path(ctx, 0, 0, w, h, _radius(radii))
    _cairo_source(ctx, color)
    ctx.fill()
    return _cairo_to_pygame(img, w, h)


def cairo_outlined(size, radius, width, color):
    w, h = size
    img, ctx = _cairo_image(w, h)
    half = width / 2
    _cairo_path(ctx, half, half, w - width, h - width, max(radius - half, 0))
    _cairo_source(ctx, color)
    ctx.set_line_width(width)
    ctx.stroke()
    return _cairo_to_pygame(img, w, h)


def _cairo_on(surf):
    """A cairo context drawing straight into the pygame surface's pixels (same byte layout)."""
    w, h = surf.get_size()
    img = cairo.ImageSurface.create_for_data(surf.get_buffer(), cairo.FORMAT_ARGB32, w, h, surf.get_pitch())
    return img, cairo.Context(img), w, h


def cairo_round_in_place(surf, radii, color=None):
    img, ctx, w, h = _cairo_on(surf)
    _cairo_path(ctx, 0, 0, w, h, _radius(radii))
    if color is None:
        ctx.set_operator(cairo.OPERATOR_DEST_IN)  # keeps the pixels only inside the path
        ctx.fill()
    else:
        ctx.set_operator(cairo.OPERATOR_SOURCE)
        ctx.set_source_rgba(0, 0, 0, 0)
        ctx.paint()
        ctx.set_operator(cairo.OPERATOR_OVER)
        _cairo_source(ctx, color)
        ctx.fill()
    img.finish()


def cairo_outline_in_place(surf, radii, stroke_width, color, background_color=None):
    img, ctx, w, h = _cairo_on(surf)
    half = stroke_width / 2
    if background_color is not None:
        ctx.set_operator(cairo.OPERATOR_SOURCE)
        ctx.set_source_rgba(0, 0, 0, 0)
        ctx.paint()
        ctx.set_operator(cairo.OPERATOR_OVER)
        _cairo_path(ctx, 0, 0, w, h, _radius(radii))
        _cairo_source(ctx, background_color)
        ctx.fill()
    else:
        _cairo_path(ctx, 0, 0, w, h, _radius(radii))
        ctx.set_operator(cairo.OPERATOR_DEST_IN)  # cut away what lies beyond the outline
        ctx.fill()
        ctx.set_operator(cairo.OPERATOR_OVER)
    _cairo_path(ctx, half, half, w - stroke_width, h - stroke_width, max(_radius(radii) - half, 0))
    _cairo_source(ctx, color)
    ctx.set_line_width(stroke_width)
    ctx.stroke()
    img.finish()


# --- Pillow: draw at 4x, reduce with a box filter --------------------------------

def _pil_mask(w, h, r, fill=None, outline=None, width=0):
    big = Image.new("L", (w * SS, h * SS), 0)
    ImageDraw.Draw(big).rounded_rectangle((0, 0, w * SS - 1, h * SS - 1), radius=r * SS,
                                          fill=fill, outline=outline, width=round(width * SS))
    return big.resize((w, h), Image.Resampling.BOX)


def _pil_solid(w, h, color, mask):
    a = _alpha(color)
    if a != 255:
        mask = mask.point(lambda v: v * a // 255)
    img = Image.new("RGBA", (w, h), (*color[:3], 255))
    img.putalpha(mask)
    return img


def pil_filled(size, radii, color):
    w, h = size
    img = _pil_solid(w, h, color, _pil_mask(w, h, _radius(radii), fill=255))
    return pygame.image.frombuffer(img.tobytes(), size, "RGBA")


def pil_outlined(size, radius, width, color):
    w, h = size
    img = _pil_solid(w, h, color, _pil_mask(w, h, radius, outline=255, width=width))
    return pygame.image.frombuffer(img.tobytes(), size, "RGBA")


def _pil_into(surf, img):
    surf.get_buffer().write(img.tobytes("raw", "BGRA"))  # pygame's byte order for SRCALPHA


def pil_round_in_place(surf, radii, color):
    w, h = surf.get_size()
    _pil_into(surf, _pil_solid(w, h, color, _pil_mask(w, h, _radius(radii), fill=255)))


def pil_outline_in_place(surf, radii, stroke_width, color, background_color):
    w, h = surf.get_size()
    big = Image.new("RGBA", (w * SS, h * SS), (0, 0, 0, 0))
    ImageDraw.Draw(big).rounded_rectangle(
        (0, 0, w * SS - 1, h * SS - 1), radius=_radius(radii) * SS, fill=tuple(background_color),
        outline=tuple(color), width=round(stroke_width * SS))
    _pil_into(surf, big.resize((w, h), Image.Resampling.BOX))  # Pillow premultiplies RGBA to resize


# --- Skia (skia-python): antialiased rounded rectangles, read back into pygame ------

def _skia_paint(color, **kw):
    return skia.Paint(Color=skia.ColorSetARGB(_alpha(color), *color[:3]), AntiAlias=True, **kw)


def _skia_to_pygame(surface, size):
    pixels = surface.toarray(colorType=skia.kRGBA_8888_ColorType, alphaType=skia.kUnpremul_AlphaType)
    return pygame.image.frombuffer(pixels.tobytes(), size, "RGBA")


def skia_filled(size, radii, color):
    surface = skia.Surface(*size)
    r = _radius(radii)
    surface.getCanvas().drawRRect(skia.RRect.MakeRectXY(skia.Rect.MakeWH(*size), r, r), _skia_paint(color))
    return _skia_to_pygame(surface, size)


def skia_outlined(size, radius, width, color):
    surface = skia.Surface(*size)
    half = width / 2
    rect = skia.Rect.MakeXYWH(half, half, size[0] - width, size[1] - width)
    r = max(radius - half, 0)
    paint = _skia_paint(color, Style=skia.Paint.kStroke_Style, StrokeWidth=width)
    surface.getCanvas().drawRRect(skia.RRect.MakeRectXY(rect, r, r), paint)
    return _skia_to_pygame(surface, size)


def _pygame_is_bgra():
    s = pygame.Surface((1, 1), pygame.SRCALPHA)
    return s.get_masks() == (0xFF0000, 0xFF00, 0xFF, 0xFF000000) and s.get_pitch() == 4


def _table():
    direct = _pygame_is_bgra()  # cairo and Pillow write the surface's bytes directly
    use_cairo, use_pil = cairo is not None, Image is not None
    peers = {
        "filled": {"draw.rect": draw_filled, "numpy": numpy_filled},
        "outlined": {"draw.rect": draw_outlined, "numpy": numpy_outlined},
        "round": {"draw.rect": draw_round_in_place, "numpy": numpy_round_in_place},
        "round+colour": {"draw.rect": draw_round_in_place, "numpy": numpy_round_in_place},
        "outline": {"draw.rect": draw_outline_in_place, "numpy": numpy_outline_in_place},
        "outline+bg": {"draw.rect": draw_outline_in_place, "numpy": numpy_outline_in_place},
    }
    if use_cairo:
        peers["filled"]["cairo"] = cairo_filled
        peers["outlined"]["cairo"] = cairo_outlined
        if direct:
            for op in ("round", "round+colour"):
                peers[op]["cairo"] = cairo_round_in_place
            for op in ("outline", "outline+bg"):
                peers[op]["cairo"] = cairo_outline_in_place
    if use_pil:
        peers["filled"]["Pillow"] = pil_filled
        peers["outlined"]["Pillow"] = pil_outlined
        if direct:
            peers["round+colour"]["Pillow"] = pil_round_in_place
            peers["outline+bg"]["Pillow"] = pil_outline_in_place
    if skia is not None:
        peers["filled"]["Skia"] = skia_filled
        peers["outlined"]["Skia"] = skia_outlined
    return peers


PEER_NAMES = ("draw.rect", "numpy", "cairo", "Pillow", "Skia")
PEERS = _table()
