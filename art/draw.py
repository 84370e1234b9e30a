#!/usr/bin/python3
"""Draws every picture of the program into src/ui/pictures/ (run from anywhere):

    /usr/bin/python3 art/draw.py

The pictures are ours, drawn here from simple shapes; the generated files are committed so
that the build needs nothing but Qt. One palette keeps them coherent."""

import math
import os

from PIL import Image, ImageOps

from vector import Arc, Circle, Ellipse, Gradient, Group, Line, Poly, Rect, Scene, Shadow, Text

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, '..', 'src', 'ui', 'pictures')
BOLD = '/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf'
REGULAR = '/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf'

# The palette.
BLUE, BLUE_DARK, BLUE_LIGHT = '#3d7fc1', '#2a5e97', '#6fa6dc'
NAVY, NAVY_DARK = '#253f5b', '#1b2e43'
AMBER, AMBER_DARK = '#eca93b', '#cf8a1f'
GREEN, GREEN_DARK = '#45a063', '#2f7e4a'
RED, RED_DARK = '#cf5a4a', '#a8402f'
SLATE, SLATE_DARK = '#687b90', '#4c5d70'
TEAL, TEAL_DARK = '#3a9d9a', '#277976'
WHITE = '#ffffff'

# Little landscapes for the photo cards: sky top, sky bottom, sun, far hill, near hill.
SCENES = {
    'day': ('#7fb8e6', '#d3e8f7', '#f4c04e', '#8dbf77', '#5f9c57'),
    'dusk': ('#e89a6c', '#f6d39b', '#fff1c9', '#9a7aa6', '#6c5384'),
    'sea': ('#8cc7e0', '#e2f2f8', '#ffffff', '#5fb3b0', '#2f8b8c'),
    'night': ('#203a5c', '#3f6b94', '#f3efd8', '#33577a', '#223f5c'),
    'meadow': ('#a8d3ef', '#eef7fc', '#f6cf5a', '#b5d67a', '#7fb356'),
}


def landscape(x, y, w, h, scene):
    """A small landscape filling the rectangle: sky, sun, two hills."""
    sky0, sky1, sun, far, near = SCENES[scene]
    return Group([
        Rect(x, y, w, h, Gradient('y', y, y + h, [(0, sky0), (1, sky1)])),
        Circle(x + w * 0.72, y + h * 0.32, min(w, h) * 0.13, sun),
        Ellipse(x + w * 0.25, y + h * 1.02, w * 0.55, h * 0.48, far),
        Ellipse(x + w * 0.85, y + h * 1.12, w * 0.62, h * 0.5, near),
    ], clip=Rect(x, y, w, h))


def photo(x, y, w, h, scene, border, radius=None, shadow=True, rotate=None):
    """A photo print: white card with a landscape inside and a soft shadow."""
    radius = border * 0.9 if radius is None else radius
    card = Rect(x, y, w, h, WHITE, r=radius)
    items = []
    if shadow:
        items.append(Shadow(card, 0, max(1, h * 0.03), max(1, h * 0.04), NAVY_DARK, 0.35))
    items += [card, landscape(x + border, y + border, w - 2 * border, h - 2 * border, scene)]
    return Group(items, rotate=rotate)


# --- program icon -------------------------------------------------------------------------

def icon_scene(small):
    """A tile of four photos: the gallery the program makes. `small` thickens the borders."""
    bg = Rect(16, 16, 224, 224, Gradient('y', 16, 240, [(0, '#5597da'), (1, '#2b62a0')]), r=48)
    items = [Shadow(bg, 0, 5, 6, NAVY_DARK, 0.35), bg]
    border = 13 if small else 8
    cell, gap, x0 = 88, 16 if small else 14, None
    x0 = (256 - 2 * cell - gap) / 2
    for i, scene in enumerate(('day', 'dusk', 'sea', 'meadow')):
        x = x0 + (i % 2) * (cell + gap)
        y = x0 + (i // 2) * (cell + gap)
        items.append(photo(x, y, cell, cell, scene, border, radius=10, shadow=not small))
    return Scene(256, 256, items)


def draw_icon():
    folder = os.path.join(OUT, 'icon')
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, 'tabulonix.svg'), 'w') as f:
        f.write(icon_scene(False).to_svg())
    for size in (16, 22, 24, 32, 48, 64, 128, 256):
        scene = icon_scene(size <= 32)
        scene.render(ss=8 if size <= 64 else 4, size=(size, size)).save(
            os.path.join(folder, 'tabulonix-%d.png' % size))


# --- glyphs (32 x 32) -------------------------------------------------------------------

def badge(color, dark, symbol):
    disc = Circle(16, 16, 14, Gradient('y', 2, 30, [(0, color), (1, dark)]))
    return Scene(32, 32, [Shadow(disc, 0, 0.8, 0.8, NAVY_DARK, 0.35), disc] + symbol)


def arrow(direction):
    s = 1 if direction > 0 else -1
    tip = 16 + 7 * s
    return [Line([(16 - 7 * s, 16), (tip - 0.5 * s, 16)], WHITE, 3.4),
            Line([(tip - 6 * s, 9.5), (tip, 16), (tip - 6 * s, 22.5)], WHITE, 3.4)]


def refresh_symbol():
    arc = Arc(16, 16, 7, 40, 300, WHITE, 3.2)
    end = math.radians(300)
    ex, ey = arc.point(300)
    tx, ty = -math.sin(end), math.cos(end)   # clockwise tangent
    nx, ny = math.cos(end), math.sin(end)    # outward normal
    head = Poly([(ex + tx * 5.2, ey + ty * 5.2), (ex + nx * 4.6 - tx * 1.2, ey + ny * 4.6 - ty * 1.2),
                 (ex - nx * 4.6 - tx * 1.2, ey - ny * 4.6 - ty * 1.2)], WHITE)
    return [arc, head]


def sliders_symbol():
    items = []
    for y, knob in ((10.5, 19.5), (16, 12.5), (21.5, 18)):
        items.append(Line([(8.5, y), (23.5, y)], (WHITE, 0.85), 1.8))
        items.append(Circle(knob, y, 2.8, WHITE))
    return items


def question_symbol():
    return [Text(16.2, 16.8, '?', BOLD, 21, WHITE, anchor='mm')]


def info_symbol():
    return [Circle(16, 9.6, 2.3, WHITE), Line([(16, 14.6), (16, 22.6)], WHITE, 3.6)]


def cross_symbol():
    return [Line([(11, 11), (21, 21)], WHITE, 3.4), Line([(21, 11), (11, 21)], WHITE, 3.4)]


def check_symbol():
    return [Line([(9.5, 16.5), (14, 21), (22.5, 11.5)], WHITE, 3.6)]


def stop_symbol():
    return [Rect(10.5, 10.5, 11, 11, WHITE, r=2)]


def grid_symbol():
    return [Rect(9 + (i % 2) * 8, 9 + (i // 2) * 8, 6.5, 6.5, WHITE, r=1.2) for i in range(4)]


def folder_scene():
    back = Poly([(3, 8), (12, 8), (14.5, 11), (29, 11), (29, 26), (3, 26)], AMBER_DARK)
    front = Rect(3, 13, 26, 14, Gradient('y', 13, 27, [(0, '#f6c561'), (1, AMBER)]), r=1.5)
    return Scene(32, 32, [Shadow(back, 0, 0.8, 0.8, NAVY_DARK, 0.3), back,
                          Rect(5.5, 9.5, 21, 6, WHITE, r=1), front])


GLYPHS = {
    'previous': lambda: badge(BLUE_LIGHT, BLUE_DARK, arrow(-1)),
    'next': lambda: badge(BLUE_LIGHT, BLUE_DARK, arrow(1)),
    'ready': lambda: badge('#5cbb7a', GREEN_DARK, check_symbol()),
    'options': lambda: badge('#8093a8', SLATE_DARK, sliders_symbol()),
    'updates': lambda: badge('#52b6b2', TEAL_DARK, refresh_symbol()),
    'about': lambda: badge(BLUE_LIGHT, BLUE_DARK, info_symbol()),
    'help': lambda: badge('#f2b85a', AMBER_DARK, question_symbol()),
    'close': lambda: badge('#de7565', RED_DARK, cross_symbol()),
    'abort': lambda: badge('#de7565', RED_DARK, stop_symbol()),
    'thumbnails': lambda: badge('#8093a8', SLATE_DARK, grid_symbol()),
    'folder': folder_scene,
}


def disabled(image):
    """The greyed, faded look of a glyph that cannot be used."""
    grey = ImageOps.grayscale(image.convert('RGB')).point(lambda v: round(150 + v * 0.3))
    out = Image.merge('RGBA', (grey, grey, grey, image.getchannel('A').point(lambda a: round(a * 0.55))))
    return out


def draw_glyphs():
    folder = os.path.join(OUT, 'glyphs')
    os.makedirs(folder, exist_ok=True)
    for name, make in GLYPHS.items():
        scene = make()
        for scale, suffix in ((1, ''), (2, '@2x')):
            scene.render(ss=8, size=(32 * scale, 32 * scale)).save(
                os.path.join(folder, '%s%s.png' % (name, suffix)))
    # The Next button's two glyphs: normal and disabled halves side by side.
    for name in ('next', 'ready'):
        scene = GLYPHS[name]()
        for scale, suffix in ((1, ''), (2, '@2x')):
            n = 32 * scale
            normal = scene.render(ss=8, size=(n, n))
            pair = Image.new('RGBA', (2 * n, n), (0, 0, 0, 0))
            pair.paste(normal, (0, 0))
            pair.paste(disabled(normal), (n, 0))
            pair.save(os.path.join(OUT, '%s%s.png' % (name, suffix)))


# --- background tile (100 x 100, seamless) -----------------------------------------------

def draw_tile():
    size = 100
    tile = Image.new('RGB', (size, size))
    base = (236, 242, 248)
    for y in range(size):
        for x in range(size):
            # Whole periods across the tile, so its edges meet.
            a = math.sin(2 * math.pi * (x + y) / 50)
            b = math.sin(2 * math.pi * (x - 2 * y) / 100)
            c = math.sin(2 * math.pi * (3 * x + y) / 100)
            v = 1.6 * a + 1.3 * b + 0.8 * c
            tile.putpixel((x, y), tuple(round(ch + v * k) for ch, k in zip(base, (1.0, 0.9, 0.6))))
    tile.save(os.path.join(OUT, 'tile.png'))


# --- splash picture (636 x 318) ------------------------------------------------------------

def draw_splash():
    W, H, FOOT = 636, 318, 276
    items = [
        Rect(0, 0, W, FOOT, Gradient('y', 0, FOOT, [(0, '#f7fafd'), (1, '#dce8f4')])),
        Rect(0, FOOT, W, H - FOOT, Gradient('y', FOOT, H, [(0, NAVY), (1, NAVY_DARK)])),
        Rect(0, FOOT, W, 2, AMBER),
        # a fan of prints on the left
        photo(42, 52, 156, 118, 'night', 8, rotate=(14, 120, 111)),
        photo(52, 44, 156, 118, 'sea', 8, rotate=(-9, 130, 103)),
        photo(70, 62, 156, 118, 'day', 8, rotate=(3, 148, 121)),
        Text(276, 116, 'Tabulonix', BOLD, 58, NAVY),
        Text(279, 148, 'Thumbnails, conversions and HTML galleries', REGULAR, 15.5, '#5a6f87'),
    ]
    # a gallery strip of small thumbnails under the name
    for i, scene in enumerate(('meadow', 'dusk', 'day', 'sea', 'night', 'dusk')):
        items.append(photo(281 + i * 51, 172, 44, 34, scene, 3, radius=3))
    Scene(W, H, items).render(ss=4).convert('RGB').save(
        os.path.join(OUT, 'splash.jpg'), quality=92, subsampling=0)


# --- wizard picture (301 x 216) and the last page's picture --------------------------------

def gallery_window(x, y, w, h, rows, cols, scenes):
    """A small browser window showing a page of thumbnails."""
    frame = Rect(x, y, w, h, WHITE, r=7)
    bar = 15
    items = [Shadow(frame, 0, 2, 3, NAVY_DARK, 0.3), frame,
             Group([Rect(x, y, w, bar, Gradient('y', y, y + bar, [(0, BLUE_LIGHT), (1, BLUE)]))],
                   clip=frame)]
    for i in range(3):
        items.append(Circle(x + 9 + i * 8, y + bar / 2, 2.2, (WHITE, 0.85)))
    pad, gap = 9, 6
    cw = (w - 2 * pad - (cols - 1) * gap) / cols
    ch = cw * 0.78
    for r in range(rows):
        for c in range(cols):
            scene = scenes[(r * cols + c) % len(scenes)]
            items.append(photo(x + pad + c * (cw + gap), y + bar + pad + r * (ch + gap), cw, ch, scene,
                               2, radius=2, shadow=False))
    ty = y + bar + pad + rows * (ch + gap) + 2
    for i, width in enumerate((0.8, 0.55)):
        items.append(Rect(x + pad, ty + i * 8, (w - 2 * pad) * width, 4, '#d5dee8', r=2))
    return items


def draw_wizard():
    W, H = 301, 216
    items = [Ellipse(150, 196, 140, 10, ('#1b2e43', 0.10))]
    items.append(photo(14, 66, 118, 90, 'sea', 6, rotate=(8, 73, 111)))
    items.append(photo(24, 58, 118, 90, 'day', 6, rotate=(-4, 83, 103)))
    # the arrow from the picture to the gallery
    items += [Line([(148, 108), (166, 108)], AMBER, 6), Poly([(163, 98), (176, 108), (163, 118)], AMBER)]
    items += gallery_window(183, 38, 110, 148, 3, 3, ['day', 'dusk', 'sea', 'meadow', 'night'])
    Scene(W, H, items).render(ss=6).save(os.path.join(OUT, 'wizard.png'))


def draw_go():
    W = H = 128
    items = [Ellipse(64, 118, 56, 6, ('#1b2e43', 0.10))]
    items += gallery_window(10, 8, 98, 104, 2, 3, ['meadow', 'dusk', 'sea', 'day', 'night'])
    disc = Circle(95, 88, 25, Gradient('y', 63, 113, [(0, '#5cbb7a'), (1, GREEN_DARK)]))
    items += [Shadow(disc, 0, 2, 2.5, NAVY_DARK, 0.35), Circle(95, 88, 27.5, WHITE), disc,
              Line([(83.5, 88.5), (91.5, 96.5), (107, 79)], WHITE, 6.5)]
    Scene(W, H, items).render(ss=6).save(os.path.join(OUT, 'go.png'))


if __name__ == '__main__':
    os.makedirs(OUT, exist_ok=True)
    draw_icon()
    draw_glyphs()
    draw_tile()
    draw_splash()
    draw_wizard()
    draw_go()
