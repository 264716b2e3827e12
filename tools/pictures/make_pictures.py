#!/usr/bin/python3
"""Draws every picture of the launcher: the 592 x 423 background, the
105 x 105 small picture that the wizards show in their corner, the glyphs of
the action buttons and the language flags; and the program's icon for the
desktop's menu at 48, 64, 128 and 256 pixels.

Run it again after a change and commit the files it writes:
    tools/pictures/make_pictures.py src/launcher/resources packaging/icons
Everything is drawn from scratch, deterministically (fixed random seed), so
the output only changes when this script changes.
"""

import math
import os
import random
import sys

from PIL import Image, ImageDraw, ImageFilter, ImageFont

FONT_DIRS = ["/usr/share/fonts/truetype/liberation2", "/usr/share/fonts/truetype/liberation"]

NAVY = (8, 28, 58)
DEEP = (14, 52, 96)
SHALLOW = (64, 128, 168)
SAND = (222, 204, 160)
BRASS = (204, 164, 74)
WHITE = (255, 255, 255)


def font(name, size):
    for d in FONT_DIRS:
        path = os.path.join(d, name)
        if os.path.exists(path):
            return ImageFont.truetype(path, size)
    return ImageFont.load_default()


def lerp(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(len(a)))


def vertical_gradient(w, h, top, bottom):
    img = Image.new("RGB", (w, h))
    d = ImageDraw.Draw(img)
    for y in range(h):
        d.line([(0, y), (w, y)], fill=lerp(top, bottom, y / max(1, h - 1)))
    return img


def sea_depth_field(w, h, seed):
    """A smooth depth field: a few Gaussian shoals on a deep basin."""
    rnd = random.Random(seed)
    scale = w / 592.0
    shoals = [(rnd.uniform(0, w), rnd.uniform(0, h), rnd.uniform(30, 90) * scale,
               rnd.uniform(0.3, 0.9)) for _ in range(7)]
    # A coast along the lower right, as on a chart of a sea-arm.
    def depth(x, y):
        v = 0.0
        for sx, sy, r, a in shoals:
            v += a * math.exp(-((x - sx) ** 2 + (y - sy) ** 2) / (2 * r * r))
        coast = (x / w) * 0.9 + (y / h) * 0.8 - 1.3
        return v + max(0.0, coast) * 6.0
    return depth


def draw_chart_sea(img, box, seed, contour_levels=(0.35, 0.6, 0.85, 1.1)):
    """Paints sea shades and depth contours like a raster chart, in box."""
    x0, y0, x1, y1 = box
    w, h = x1 - x0, y1 - y0
    depth = sea_depth_field(w, h, seed)
    px = img.load()
    step = 2
    values = {}
    for y in range(0, h, step):
        for x in range(0, w, step):
            values[(x, y)] = depth(x, y)
    for (x, y), v in values.items():
        if v > 1.35:
            c = SAND
        elif v > 1.1:
            c = lerp(SHALLOW, (150, 190, 200), 0.6)
        else:
            c = lerp(px[x0 + x, y0 + y], SHALLOW, min(1.0, v / 1.1) * 0.55)
        for dy in range(step):
            for dx in range(step):
                if x + dx < w and y + dy < h:
                    px[x0 + x + dx, y0 + y + dy] = c
    # Contour lines: mark cells where the field crosses a level.
    d = ImageDraw.Draw(img)
    for level in contour_levels:
        colour = (170, 205, 230) if level < 1.2 else (120, 100, 60)
        for (x, y), v in values.items():
            r = values.get((x + step, y))
            b = values.get((x, y + step))
            if r is not None and (v - level) * (r - level) < 0:
                d.point((x0 + x + 1, y0 + y), fill=colour)
            if b is not None and (v - level) * (b - level) < 0:
                d.point((x0 + x, y0 + y + 1), fill=colour)


def draw_graticule(d, box, step, colour):
    x0, y0, x1, y1 = box
    for x in range(x0, x1, step):
        d.line([(x, y0), (x, y1)], fill=colour)
    for y in range(y0, y1, step):
        d.line([(x0, y), (x1, y)], fill=colour)


def draw_compass_rose(d, cx, cy, r, colour_light, colour_dark, ring, scale=1):
    """scale widens the points and rings for a rose drawn large (the icon)."""
    d.ellipse([cx - r, cy - r, cx + r, cy + r], outline=ring, width=round(2 * scale))
    inset = 6 * scale
    d.ellipse([cx - r + inset, cy - r + inset, cx + r - inset, cy + r - inset], outline=ring,
              width=round(scale))
    for i in range(72):
        a = math.radians(i * 5)
        inner = r - (8 if i % 2 == 0 else 4) * scale
        d.line([(cx + inner * math.sin(a), cy - inner * math.cos(a)),
                (cx + r * math.sin(a), cy - r * math.cos(a))], fill=ring, width=round(scale))
    # Eight points: long cardinal points, short intercardinal ones.
    for k in range(8):
        a = math.radians(k * 45)
        length = r - 10 * scale if k % 2 == 0 else (r - 10 * scale) * 0.55
        half = (9 if k % 2 == 0 else 6) * scale
        tip = (cx + length * math.sin(a), cy - length * math.cos(a))
        left = (cx + half * math.sin(a - math.pi / 2), cy - half * math.cos(a - math.pi / 2))
        right = (cx + half * math.sin(a + math.pi / 2), cy - half * math.cos(a + math.pi / 2))
        d.polygon([(cx, cy), left, tip], fill=colour_light)
        d.polygon([(cx, cy), right, tip], fill=colour_dark)
    dot = 3 * scale
    d.ellipse([cx - dot, cy - dot, cx + dot, cy + dot], fill=ring)


def draw_background(path):
    w, h = 592, 423
    img = vertical_gradient(w, h, NAVY, DEEP)
    draw_chart_sea(img, (0, 0, w, h), seed=2003)
    # Darken the whole picture towards the edges so white labels read well.
    shade = Image.new("L", (w, h), 0)
    sd = ImageDraw.Draw(shade)
    for i in range(60):
        sd.rectangle([i, i, w - 1 - i, h - 1 - i], outline=int(150 * (1 - i / 60)))
    img = Image.composite(Image.new("RGB", (w, h), NAVY), img, shade)
    d = ImageDraw.Draw(img, "RGBA")
    draw_graticule(d, (0, 0, w, h), 48, (190, 215, 235, 40))
    # Panel behind the action buttons (181..411, 32..384).
    d.rounded_rectangle([171, 22, 421, 394], radius=10, fill=(6, 20, 42, 150),
                        outline=(204, 164, 74, 200), width=2)
    # Panel behind the language buttons (488..588, 324..418).
    d.rounded_rectangle([482, 318, 590, 420], radius=8, fill=(6, 20, 42, 150),
                        outline=(204, 164, 74, 160), width=1)
    # Top band for the maker's notice and the web address.
    band = vertical_gradient(w, 40, (4, 16, 36), (10, 36, 70))
    img.paste(band.crop((0, 0, w, 40)), (0, 0), Image.new("L", (w, 40), 170))
    d = ImageDraw.Draw(img, "RGBA")
    d.line([(0, 40), (w, 40)], fill=(204, 164, 74, 220), width=1)
    # Bottom band for the notice on the chart data.
    d.rectangle([0, 392, 478, h], fill=(4, 16, 36, 170))
    # Left column: compass rose and the product's name.
    draw_compass_rose(d, 88, 150, 62, (235, 235, 225, 255), (150, 120, 60, 255),
                      (204, 164, 74, 255))
    title = font("LiberationSerif-Bold.ttf", 26)
    sub = font("LiberationSerif-Italic.ttf", 15)
    d.text((88, 240), "Zarnavis", font=title, fill=(245, 236, 210, 255), anchor="mm")
    d.text((88, 266), "Edition 2003", font=sub, fill=(204, 164, 74, 255), anchor="mm")
    # A small sailing boat near the coast, right side.
    bx, by = 536, 236
    d.polygon([(bx - 22, by), (bx + 22, by), (bx + 15, by + 9), (bx - 15, by + 9)],
              fill=(240, 240, 235, 230))
    d.line([(bx, by), (bx, by - 50)], fill=(240, 240, 235, 230), width=2)
    d.polygon([(bx + 2, by - 48), (bx + 2, by - 4), (bx + 28, by - 4)], fill=(250, 250, 245, 235))
    d.polygon([(bx - 2, by - 40), (bx - 2, by - 4), (bx - 20, by - 4)], fill=(225, 225, 220, 220))
    # Lighthouse on the shoal, far right top.
    lx, ly = 466, 142
    d.polygon([(lx - 6, ly + 30), (lx + 6, ly + 30), (lx + 3, ly), (lx - 3, ly)], fill=WHITE)
    d.rectangle([lx - 5, ly + 10, lx + 5, ly + 16], fill=(190, 30, 40))
    d.pieslice([lx - 40, ly - 26, lx + 40, ly + 26], 190, 230, fill=(255, 240, 170, 70))
    d.pieslice([lx - 40, ly - 26, lx + 40, ly + 26], 310, 350, fill=(255, 240, 170, 70))
    img = img.filter(ImageFilter.SMOOTH)
    img.save(path, "JPEG", quality=92, optimize=True)


def draw_small(path):
    s = 105
    img = vertical_gradient(s, s, NAVY, DEEP)
    draw_chart_sea(img, (0, 0, s, s), seed=18, contour_levels=(0.4, 0.8))
    d = ImageDraw.Draw(img, "RGBA")
    draw_graticule(d, (0, 0, s, s), 21, (190, 215, 235, 50))
    draw_compass_rose(d, 52, 46, 34, (235, 235, 225, 255), (150, 120, 60, 255),
                      (204, 164, 74, 255))
    d.text((52, 94), "Zarnavis", font=font("LiberationSerif-Bold.ttf", 14),
           fill=(245, 236, 210, 255), anchor="mm")
    d.rectangle([0, 0, s - 1, s - 1], outline=(204, 164, 74, 255))
    img.save(path, "JPEG", quality=92)


# ---- glyphs of the action buttons (24 x 24, transparent) ----

def new_glyph():
    return Image.new("RGBA", (24, 24), (0, 0, 0, 0))


def glyph_koppix():
    """A ship's wheel: the navigation program."""
    img = new_glyph()
    d = ImageDraw.Draw(img)
    c = (12, 12)
    for k in range(8):
        a = math.radians(k * 45)
        d.line([(c[0] + 3 * math.cos(a), c[1] + 3 * math.sin(a)),
                (c[0] + 11 * math.cos(a), c[1] + 11 * math.sin(a))], fill=(120, 72, 24, 255), width=2)
    d.ellipse([4, 4, 20, 20], outline=(150, 92, 34, 255), width=3)
    d.ellipse([9, 9, 15, 15], fill=BRASS + (255,))
    return img


def glyph_install():
    """A chart roll with an arrow into a disk: install charts."""
    img = new_glyph()
    d = ImageDraw.Draw(img)
    d.rectangle([2, 14, 21, 21], fill=(90, 100, 115, 255), outline=(40, 45, 55, 255))
    d.rectangle([15, 17, 18, 18], fill=(120, 220, 120, 255))
    d.polygon([(8, 2), (15, 2), (15, 8), (19, 8), (11.5, 14), (4, 8), (8, 8)],
              fill=(30, 110, 200, 255), outline=(10, 50, 110, 255))
    return img


def glyph_baz():
    """A globe with a down arrow: download updates."""
    img = new_glyph()
    d = ImageDraw.Draw(img)
    d.ellipse([1, 1, 17, 17], fill=(60, 140, 210, 255), outline=(20, 60, 120, 255))
    d.arc([5, 1, 13, 17], 0, 360, fill=(220, 240, 255, 255))
    d.line([(1, 9), (17, 9)], fill=(220, 240, 255, 255))
    d.polygon([(15, 11), (21, 11), (21, 17), (23, 17), (18, 23), (13, 17), (15, 17)],
              fill=(40, 170, 70, 255), outline=(10, 90, 30, 255))
    return img


def glyph_legend():
    """An open book: the chart legend."""
    img = new_glyph()
    d = ImageDraw.Draw(img)
    d.polygon([(1, 5), (11, 7), (11, 21), (1, 19)], fill=(250, 248, 235, 255),
              outline=(90, 70, 40, 255))
    d.polygon([(22, 5), (12, 7), (12, 21), (22, 19)], fill=(250, 248, 235, 255),
              outline=(90, 70, 40, 255))
    for y in (10, 13, 16):
        d.line([(3, y), (9, y + 1)], fill=(120, 140, 170, 255))
        d.line([(14, y + 1), (20, y)], fill=(120, 140, 170, 255))
    d.ellipse([15, 1, 21, 7], fill=(200, 40, 40, 255))
    return img


def glyph_help():
    """A life ring with a question mark: help."""
    img = new_glyph()
    d = ImageDraw.Draw(img)
    d.ellipse([1, 1, 22, 22], fill=(235, 70, 50, 255), outline=(140, 30, 20, 255))
    for a0 in (20, 110, 200, 290):
        d.pieslice([1, 1, 22, 22], a0, a0 + 50, fill=(250, 250, 250, 255))
    d.ellipse([6, 6, 17, 17], fill=(250, 250, 250, 255), outline=(140, 30, 20, 255))
    d.text((12, 12), "?", font=font("LiberationSans-Bold.ttf", 11), fill=(20, 40, 90, 255),
           anchor="mm")
    return img


# ---- the program's icon ----

ICON_SIZES = (48, 64, 128, 256)


def draw_icon(size):
    """A compass rose over a piece of chart on a rounded tile. Drawn at four
    times the size and reduced, so that small sizes stay smooth."""
    big = size * 4
    tile = vertical_gradient(big, big, DEEP, NAVY)
    draw_chart_sea(tile, (0, 0, big, big), seed=7, contour_levels=(0.4, 0.8))
    d = ImageDraw.Draw(tile, "RGBA")
    draw_graticule(d, (0, 0, big, big), big // 6, (190, 215, 235, 50))
    r = int(big * 0.36)
    draw_compass_rose(d, big // 2, big // 2, r, (240, 240, 230, 255), (170, 132, 60, 255),
                      BRASS + (255,), scale=big / 160)
    mask = Image.new("L", (big, big), 0)
    ImageDraw.Draw(mask).rounded_rectangle([0, 0, big - 1, big - 1], radius=big // 6, fill=255)
    icon = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    icon.paste(tile, (0, 0), mask)
    ImageDraw.Draw(icon).rounded_rectangle([2, 2, big - 3, big - 3], radius=big // 6,
                                           outline=BRASS + (255,), width=max(4, big // 40))
    return icon.resize((size, size), Image.LANCZOS)


# ---- flags ----

def tricolour(w, h, colours, vertical=False):
    img = Image.new("RGB", (w, h))
    d = ImageDraw.Draw(img)
    n = len(colours)
    for i, c in enumerate(colours):
        if vertical:
            d.rectangle([i * w // n, 0, (i + 1) * w // n, h], fill=c)
        else:
            d.rectangle([0, i * h // n, w, (i + 1) * h // n], fill=c)
    return img


def nordic(w, h, field, cross, inner=None):
    img = Image.new("RGB", (w, h), field)
    d = ImageDraw.Draw(img)
    t = max(2, h // 5)
    cx = w * 3 // 8
    d.rectangle([cx - t // 2, 0, cx + t // 2, h], fill=cross)
    d.rectangle([0, h // 2 - t // 2, w, h // 2 + t // 2], fill=cross)
    if inner:
        t2 = max(1, t // 2)
        d.rectangle([cx - t2 // 2, 0, cx + t2 // 2, h], fill=inner)
        d.rectangle([0, h // 2 - t2 // 2, w, h // 2 + t2 // 2], fill=inner)
    return img


def union_flag(w, h):
    blue, red = (1, 33, 105), (200, 16, 46)
    img = Image.new("RGB", (w * 4, h * 4), blue)
    d = ImageDraw.Draw(img)
    W, H = w * 4, h * 4
    diag = H // 5
    d.line([(0, 0), (W, H)], fill=WHITE, width=diag)
    d.line([(0, H), (W, 0)], fill=WHITE, width=diag)
    d.line([(0, 0), (W, H)], fill=red, width=diag // 3)
    d.line([(0, H), (W, 0)], fill=red, width=diag // 3)
    t = H // 3
    d.rectangle([W // 2 - t // 2, 0, W // 2 + t // 2, H], fill=WHITE)
    d.rectangle([0, H // 2 - t // 2, W, H // 2 + t // 2], fill=WHITE)
    t = H // 5
    d.rectangle([W // 2 - t // 2, 0, W // 2 + t // 2, H], fill=red)
    d.rectangle([0, H // 2 - t // 2, W, H // 2 + t // 2], fill=red)
    return img.resize((w, h), Image.LANCZOS)


def flag(lang, w, h):
    if lang == "english":
        return union_flag(w, h)
    if lang == "dutch":
        return tricolour(w, h, [(174, 28, 40), WHITE, (33, 70, 139)])
    if lang == "german":
        return tricolour(w, h, [(0, 0, 0), (221, 0, 0), (255, 206, 0)])
    if lang == "french":
        return tricolour(w, h, [(0, 35, 149), WHITE, (237, 41, 57)], vertical=True)
    if lang == "spanish":
        img = tricolour(w, h, [(170, 21, 27), (241, 191, 0), (241, 191, 0), (170, 21, 27)])
        return img
    if lang == "italian":
        return tricolour(w, h, [(0, 146, 70), WHITE, (206, 43, 55)], vertical=True)
    if lang == "danish":
        return nordic(w, h, (200, 16, 46), WHITE)
    if lang == "swedish":
        return nordic(w, h, (0, 106, 167), (254, 204, 0))
    raise ValueError(lang)


def framed(img):
    d = ImageDraw.Draw(img)
    d.rectangle([0, 0, img.width - 1, img.height - 1], outline=(60, 60, 60))
    return img


def flag_icon(lang):
    """32 x 32 with transparent margins above and below: the dialog's image list."""
    icon = Image.new("RGBA", (32, 32), (0, 0, 0, 0))
    icon.paste(framed(flag(lang, 30, 20)).convert("RGBA"), (1, 6))
    return icon


LANGUAGES = ["english", "dutch", "german", "french", "spanish", "italian", "danish", "swedish"]


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "src", "launcher", "resources")
    icons = sys.argv[2] if len(sys.argv) > 2 else os.path.join(root, "packaging", "icons")
    os.makedirs(out, exist_ok=True)
    os.makedirs(icons, exist_ok=True)
    for size in ICON_SIZES:
        draw_icon(size).save(os.path.join(icons, "zarnavis-%d.png" % size))
    draw_background(os.path.join(out, "background.jpg"))
    draw_small(os.path.join(out, "background_small.jpg"))
    glyphs = {"koppix": glyph_koppix, "install": glyph_install, "baz": glyph_baz,
              "legend": glyph_legend, "help": glyph_help}
    for name, fn in glyphs.items():
        fn().save(os.path.join(out, "glyph_%s.png" % name))
    for lang in LANGUAGES:
        flag_icon(lang).save(os.path.join(out, "flag32_%s.png" % lang))
    for lang in ("english", "dutch", "german"):
        framed(flag(lang, 20, 14)).save(os.path.join(out, "flag_%s.png" % lang))


if __name__ == "__main__":
    main()
