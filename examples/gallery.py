"""Renders a labelled gallery of every fast_shapes and draw operation to a PNG.

    PYTHONPATH=src python3 examples/gallery.py [OUTPUT.png] [--show]

Shapes are laid out in a grid over a checkerboard so that their alpha shows.
An operation that is not built yet (it raises NotImplementedError) gets a
labelled placeholder instead of a picture; any other error is a real fault and
stops the script.
"""
import argparse
import os
import sys
from pathlib import Path

os.environ.setdefault("PYGAME_HIDE_SUPPORT_PROMPT", "1")

import numpy as np

from ralo_ui.core.modules import pygame  # the toolkit's own pygame binding
from ralo_ui.fast.shapes import draw
from ralo_ui.fast.shapes import fast_shapes as fs

CELL_W, CELL_H = 152, 128  # one gallery cell: caption on top, shape below
SHAPE_W, SHAPE_H = 124, 84
CAPTION_H = 30
HEADING_H = 24
MARGIN = 12
COLUMNS = 7
CHECK = 8  # checkerboard square side
CHECK_LIGHT, CHECK_DARK = (205, 205, 205), (160, 160, 160)
PAPER, INK, FAINT = (248, 248, 244), (30, 30, 30), (110, 110, 110)

BLUE, ORANGE, GREEN, PURPLE = (40, 110, 220), (240, 130, 30), (40, 170, 90), (140, 60, 200)
WHITE, BLACK = (255, 255, 255), (20, 20, 20)


def picture(w=SHAPE_W, h=SHAPE_H, alpha=255):
    """A colourful surface to reshape in place: a hue sweep crossed by diagonal stripes."""
    x = np.arange(w, dtype=np.float32)[:, None]
    y = np.arange(h, dtype=np.float32)[None, :]
    t = x / max(w - 1, 1)
    rgb = np.empty((w, h, 3), dtype=np.float32)
    rgb[..., 0] = 255 * (1 - t) + 0 * y
    rgb[..., 1] = 90 + 120 * (y / max(h - 1, 1)) + 0 * x
    rgb[..., 2] = 255 * t + 0 * y
    stripes = ((x + y) // 10) % 2 == 0
    rgb[stripes] *= 0.7
    surf = pygame.Surface((w, h), pygame.SRCALPHA)
    px = pygame.surfarray.pixels3d(surf)
    px[...] = rgb.astype(np.uint8)
    del px
    pa = pygame.surfarray.pixels_alpha(surf)
    pa[...] = alpha
    del pa
    return surf


def in_place(fn, *args, source=picture, **kwargs):
    """Applies an in-place operation to a fresh surface and returns that surface."""
    def run():
        surf = source()
        fn(surf, *args, **kwargs)
        return surf
    return run


def blank(w=SHAPE_W, h=SHAPE_H):
    return pygame.Surface((w, h), pygame.SRCALPHA)


def elevated(card, radius, blur, dy, card_color=WHITE, shadow=(0, 0, 0, 110), spread=0, ground=(236, 238, 242)):
    """A card standing on its shadow over a light ground: the shadow's surface blitted at the
    card's place less the margin, offset down by dy, the card drawn over it."""
    def run():
        scene = pygame.Surface((SHAPE_W, SHAPE_H), pygame.SRCALPHA)
        scene.fill(ground)
        x, y = (SHAPE_W - card[0]) // 2, (SHAPE_H - card[1]) // 2 - dy // 2
        m = draw.shadow_margin(blur, spread)
        scene.blit(draw.create_shadow_surface(card, [radius] * 4, blur, shadow, spread), (x - m, y - m + dy))
        if card_color is not None:
            scene.blit(fs.create_rounded_rect_surface(card, (radius,) * 4, card_color), (x, y))
        return scene
    return run


def screen_scene():
    """One opaque screen, the way a window is drawn: every shape composited straight into it by
    draw.rounded_rect and draw.shadow, none through a surface of its own.  A panel, three buttons
    (normal, hovered, pressed), a text field with its focus ring, a toggle, and a card on its
    shadow; the buttons sit at fractional places, drawn where they are."""
    inset = (CELL_W - 6 - SHAPE_W) // 2
    s = pygame.Surface((COLUMNS * CELL_W - 6 - 2 * inset, SHAPE_H))  # no per-pixel alpha
    s.fill((226, 229, 235))
    draw.rounded_rect(s, (250, 250, 252), (6, 6, 600, 72), 0, 12)  # the panel
    draw.rounded_rect(s, (196, 200, 210), (6, 6, 600, 72), 1, 12)  # its edge
    faces = [(40, 110, 220), (64, 134, 240), (28, 82, 176)]
    for i, face in enumerate(faces):
        x, y = 20.5 + i * 92.25, 24 + (1 if i == 2 else 0)
        if i < 2:  # the pressed one lies flat
            draw.shadow(s, (0, 0, 0, 80 if i else 60), (x, y + 1 + i, 80, 28), 2 + 2 * i, 0, 7)
        draw.rounded_rect(s, face, (x, y, 80, 28), 0, 7)
        draw.rounded_rect(s, (255, 255, 255, 200), (x + 20, y + 12, 40, 4), 0, 2)  # a label's place
    draw.rounded_rect(s, WHITE, (306, 24, 150, 28), 0, 6)  # the text field
    draw.rounded_rect(s, (150, 156, 168), (306, 24, 150, 28), 1, 6)
    draw.rounded_rect(s, (40, 110, 220, 120), (303, 21, 156, 34), 3, 9)  # its focus ring
    draw.rounded_rect(s, (40, 40, 48), (316, 31, 1.5, 14))  # the caret
    draw.rounded_rect(s, (40, 170, 90), (480, 27, 48, 22), 0, 11)  # the toggle, on
    draw.shadow(s, (0, 0, 0, 90), (505, 30, 18, 18), 2, 0, 9)
    draw.rounded_rect(s, WHITE, (505, 29, 18, 18), 0, 9)
    draw.rounded_rect(s, (200, 204, 212), (540, 27, 48, 22), 0, 11)  # and one off
    draw.rounded_rect(s, WHITE, (543, 29, 18, 18), 0, 9)
    draw.shadow(s, (0, 0, 0, 100), (650, 18, 170, 56), 14, -2, 12)  # the card on its shadow
    draw.rounded_rect(s, WHITE, (650, 12, 170, 56), 0, 12)
    draw.rounded_rect(s, (40, 110, 220), (662, 24, 36, 32), 0, 8)
    for i, length in enumerate((96, 72, 84)):
        draw.rounded_rect(s, (200, 204, 212), (708, 25 + 11 * i, length, 6), 0, 3)
    return s


def rows():
    """(heading, [(caption, zero-argument callable returning a surface), ...]) per row."""
    size = (SHAPE_W, SHAPE_H)
    translucent = (*BLUE, 128)
    return [
        ("create_rounded_rect_surface: filled, equal and per-corner radii", [
            ("radius 0", lambda: fs.create_rounded_rect_surface(size, (0, 0, 0, 0), BLUE)),
            ("radius 6", lambda: fs.create_rounded_rect_surface(size, (6, 6, 6, 6), BLUE)),
            ("radius 20.5", lambda: fs.create_rounded_rect_surface(size, [20.5] * 4, BLUE)),
            ("radius 999 (pill)", lambda: fs.create_rounded_rect_surface(size, (999,) * 4, ORANGE)),
            ("(30, 0, 30, 0)", lambda: fs.create_rounded_rect_surface(size, (30, 0, 30, 0), GREEN)),
            ("(0, 10, 25, 40)", lambda: fs.create_rounded_rect_surface(size, (0, 10, 25, 40), PURPLE)),
            ("alpha 128, r 24", lambda: fs.create_rounded_rect_surface(size, (24,) * 4, translucent)),
        ]),
        ("create_outlined_rounded_rect_sdf: radius 20, stroke widths", [
            ("width 1", lambda: fs.create_outlined_rounded_rect_sdf(size, 20, 1, BLACK)),
            ("width 1.5", lambda: fs.create_outlined_rounded_rect_sdf(size, 20, 1.5, BLACK)),
            ("width 2", lambda: fs.create_outlined_rounded_rect_sdf(size, 20, 2, BLUE)),
            ("width 3.5", lambda: fs.create_outlined_rounded_rect_sdf(size, 20, 3.5, BLUE)),
            ("width 8", lambda: fs.create_outlined_rounded_rect_sdf(size, 20, 8, ORANGE)),
            ("radius 0, width 4", lambda: fs.create_outlined_rounded_rect_sdf(size, 0, 4, GREEN)),
            ("alpha 128, width 6", lambda: fs.create_outlined_rounded_rect_sdf(size, 30, 6, translucent)),
        ]),
        ("transform_into_rounded_rect: cut an existing surface, or fill it first", [
            ("picture as given", picture),
            ("cut, radius 20", in_place(fs.transform_into_rounded_rect, 20)),
            ("cut, (40, 0, 40, 0)", in_place(fs.transform_into_rounded_rect, (40, 0, 40, 0))),
            ("cut, alpha-160 picture", in_place(fs.transform_into_rounded_rect, 24,
                                                source=lambda: picture(alpha=160))),
            ("fill + round, r 16", in_place(fs.transform_into_rounded_rect, 16, PURPLE)),
            ("fill alpha 100, r 30", in_place(fs.transform_into_rounded_rect, 30, (*GREEN, 100))),
            ("fill, radius 0", in_place(fs.transform_into_rounded_rect, 0, ORANGE)),
        ]),
        ("transform_into_outlined_rounded_rect: over the content, or over a background", [
            ("width 2 over picture", in_place(fs.transform_into_outlined_rounded_rect, 16, 2, WHITE)),
            ("width 6 over picture", in_place(fs.transform_into_outlined_rounded_rect, 24, 6, BLACK)),
            ("alpha 128, width 8", in_place(fs.transform_into_outlined_rounded_rect, 24, 8,
                                            (*WHITE, 128))),
            ("background, width 3", in_place(fs.transform_into_outlined_rounded_rect, 20, 3, BLACK,
                                             (250, 230, 120))),
            ("bg alpha 128", in_place(fs.transform_into_outlined_rounded_rect, 20, 3, BLACK,
                                      (*ORANGE, 128))),
            ("(0, 30, 0, 30) + bg", in_place(fs.transform_into_outlined_rounded_rect, (0, 30, 0, 30),
                                             4, BLUE, WHITE)),
            ("stroke alpha 0 + bg", in_place(fs.transform_into_outlined_rounded_rect, 20, 4,
                                             (0, 0, 0, 0), (*PURPLE, 180))),
        ]),
        ("draw.create_shadow_surface: cards at four elevations, a tight button, a glow", [
            ("elevation 1: blur 2", elevated((84, 52), 8, 2, 1)),
            ("elevation 2: blur 6", elevated((84, 52), 8, 6, 3)),
            ("elevation 3: blur 12", elevated((84, 52), 8, 12, 6)),
            ("elevation 4: blur 24", elevated((84, 52), 8, 24, 12, shadow=(0, 0, 0, 90))),
            ("button, blur 1.5", elevated((96, 30), 6, 1.5, 1, card_color=BLUE, shadow=(0, 0, 0, 140))),
            ("pill glow, spread 6", elevated((92, 28), 14, 10, 0, card_color=PURPLE, shadow=(*PURPLE, 200),
                                              spread=6, ground=(30, 30, 40))),
            ("shadow alone, blur 16", lambda: draw.create_shadow_surface((84, 40), [12] * 4, 16, BLACK)),
        ]),
        ("draw.rounded_rect and draw.shadow: drawn straight into one opaque screen", [
            ("panel, buttons (normal, hovered, pressed), focus ring, toggles, card on its shadow", screen_scene),
        ]),
    ]


ZOOM = 6
ZOOM_SRC = 20  # side of the corner region that is magnified


def zooms():
    """Magnified top-left corners, so anti-aliasing and band seams can be judged."""
    small = (60, 40)
    return [
        ("filled r 10", lambda: fs.create_rounded_rect_surface(small, (10,) * 4, BLUE)),
        ("outline r 10, w 1.5", lambda: fs.create_outlined_rounded_rect_sdf(small, 10, 1.5, BLACK)),
        ("outline r 12, w 4", lambda: fs.create_outlined_rounded_rect_sdf(small, 12, 4, BLUE)),
        ("cut picture r 10", in_place(fs.transform_into_rounded_rect, 10, source=lambda: picture(*small))),
        ("in place w 3 + bg", in_place(fs.transform_into_outlined_rounded_rect, 10, 3, BLACK, WHITE,
                                       source=lambda: picture(*small))),
        ("in place w 3", in_place(fs.transform_into_outlined_rounded_rect, 10, 3, BLACK,
                                  source=lambda: picture(*small))),
        ("shadow r 6, blur 4", lambda: draw._create_shadow_surface(small, 6, 4, BLACK)),
    ]


class Fonts:
    """Caption fonts, or None where pygame.font (SDL_ttf) is unavailable."""

    def __init__(self):
        self.caption = self.heading = None
        try:
            pygame.font.init()
            self.caption = pygame.font.Font(None, 17)
            self.heading = pygame.font.Font(None, 21)
        except (ImportError, NotImplementedError, pygame.error, OSError) as exc:
            print(f"gallery: no labels ({exc})", file=sys.stderr)

    def draw(self, canvas, font, text, pos, color=INK):
        if font is not None:
            canvas.blit(font.render(text, True, color), pos)


def checkerboard(w, h):
    xs, ys = np.mgrid[0:w, 0:h]  # surfarray order: [x][y]
    light = ((xs // CHECK + ys // CHECK) % 2 == 0)[..., None]
    rgb = np.where(light, CHECK_LIGHT, CHECK_DARK).astype(np.uint8)
    return pygame.surfarray.make_surface(rgb)


def placeholder(canvas, fonts, rect, why):
    pygame.draw.rect(canvas, PAPER, rect)
    pygame.draw.rect(canvas, FAINT, rect, 1)
    pygame.draw.line(canvas, FAINT, rect.topleft, (rect.right - 1, rect.bottom - 1))
    pygame.draw.line(canvas, FAINT, (rect.left, rect.bottom - 1), (rect.right - 1, rect.top))
    if fonts.caption is not None:
        text = fonts.caption.render(why, True, INK, PAPER)
        canvas.blit(text, text.get_rect(center=rect.center))


def render(fonts):
    table = rows()
    zoom_cells = zooms()
    zoom_side = ZOOM_SRC * ZOOM
    width = 2 * MARGIN + COLUMNS * CELL_W
    height = (2 * MARGIN + len(table) * (HEADING_H + CELL_H)
              + HEADING_H + CAPTION_H + zoom_side + MARGIN)
    canvas = checkerboard(width, height)
    missing = []

    def heading(y, text):
        pygame.draw.rect(canvas, PAPER, (0, y, width, HEADING_H))
        fonts.draw(canvas, fonts.heading, text, (MARGIN, y + 5))

    def cell(x, y, caption, make, box):
        pygame.draw.rect(canvas, PAPER, (x, y, CELL_W - 6, CAPTION_H - 6))
        fonts.draw(canvas, fonts.caption, caption, (x + 3, y + 5))
        rect = pygame.Rect(x + (CELL_W - 6 - box[0]) // 2, y + CAPTION_H, *box)
        try:
            return rect, make()
        except NotImplementedError as exc:
            missing.append(f"{caption}: {exc}")
            placeholder(canvas, fonts, rect, "not built yet")
            return rect, None

    y = MARGIN
    for title, cells in table:
        heading(y, title)
        y += HEADING_H
        for i, (caption, make) in enumerate(cells):
            rect, surf = cell(MARGIN + i * CELL_W, y, caption, make, (SHAPE_W, SHAPE_H))
            if surf is not None:
                canvas.blit(surf, rect)
        y += CELL_H

    heading(y, f"Top-left corners magnified x{ZOOM} (nearest neighbour, over the checkerboard)")
    y += HEADING_H
    zoom_w = (width - 2 * MARGIN) // len(zoom_cells)
    for i, (caption, make) in enumerate(zoom_cells):
        x = MARGIN + i * zoom_w
        pygame.draw.rect(canvas, PAPER, (x, y, zoom_w - 6, CAPTION_H - 6))
        fonts.draw(canvas, fonts.caption, caption, (x + 3, y + 5))
        rect = pygame.Rect(x, y + CAPTION_H, zoom_side, zoom_side)
        try:
            surf = make()
        except NotImplementedError as exc:
            missing.append(f"{caption} (zoom): {exc}")
            placeholder(canvas, fonts, rect, "not built yet")
            continue
        # Composite over a finer checkerboard first, then magnify the result.
        backdrop = checkerboard(ZOOM_SRC, ZOOM_SRC)
        backdrop.blit(surf, (0, 0))
        canvas.blit(pygame.transform.scale(backdrop, (zoom_side, zoom_side)), rect)
    return canvas, missing


def show(path):
    """Opens the written image in a window, where a display exists."""
    if os.environ.get("SDL_VIDEODRIVER") in ("dummy", "offscreen") or not (
            os.environ.get("DISPLAY") or os.environ.get("WAYLAND_DISPLAY")):
        print("gallery: no display to show the image on", file=sys.stderr)
        return
    image = pygame.image.load(path)
    screen = pygame.display.set_mode(image.get_size())
    pygame.display.set_caption(f"fast_shapes gallery - {path}")
    screen.blit(image, (0, 0))
    pygame.display.flip()
    while True:
        event = pygame.event.wait()
        if event.type == pygame.QUIT or (event.type == pygame.KEYDOWN and event.key == pygame.K_ESCAPE):
            break


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output", nargs="?", type=Path,
                        default=Path(__file__).resolve().parent.parent / "build" / "gallery.png",
                        help="where to write the PNG (default: build/gallery.png in the checkout)")
    parser.add_argument("--show", action="store_true", help="also open the image in a window")
    args = parser.parse_args(argv)
    output = args.output.absolute()
    # tools/refenv shares only the checkout with the machine it runs on: a file written
    # anywhere else would land inside the reference root and be lost with it.
    shared = os.environ.get("RALO_UI_REFENV_SHARED")
    if shared and not output.resolve().is_relative_to(Path(shared).resolve()):
        parser.error(f"{output} is outside the checkout {shared}, the only folder tools/refenv shares "
                     f"with this machine; give a path inside it (relative paths start there)")

    fonts = Fonts()
    canvas, missing = render(fonts)
    output.parent.mkdir(parents=True, exist_ok=True)
    pygame.image.save(canvas, str(output))
    if not output.is_file():
        sys.exit(f"gallery: pygame reported no error, yet {output} was not written")
    for line in missing:
        print(f"gallery: placeholder for {line}", file=sys.stderr)
    print(output)
    if args.show:
        pygame.display.init()
        show(str(output))
    return 0


if __name__ == "__main__":
    sys.exit(main())
