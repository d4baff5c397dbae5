#!/usr/bin/python3
"""Draws the Nebrisk launcher artwork into resources/images/.

Everything is procedural (Pillow only, no source images), seeded, and therefore reproducible:
running the script twice gives byte-identical files. Shapes are drawn at 2-4x and reduced
for anti-aliasing. Run from anywhere:  /usr/bin/python3 resources/draw_artwork.py
"""

import math
import os
import random
import struct
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "images")

CJK_FONT = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"
# Palatino-like serif for the title; DejaVu is the fallback when fonts-urw-base35 is absent.
TITLE_FONTS = [
    "/usr/share/fonts/opentype/urw-base35/P052-Bold.otf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf",
]
SMALL_SERIF_FONTS = [
    "/usr/share/fonts/opentype/urw-base35/P052-Roman.otf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf",
]

BG_W, BG_H = 1434, 804
S = 2  # supersampling factor of the background

# Rectangles (x, y, w, h) where the launcher puts its own controls on top of the background.
WEB_RECT = (602, 261, 712, 400)
LINK_RECTS = [(602, 197, 128, 44), (730, 197, 128, 44), (1032, 197, 128, 44), (1162, 197, 128, 44)]
MIN_RECT = (1258, 153, 49, 33)
CLOSE_RECT = (1295, 142, 49, 49)
LINK_W, LINK_H = 126, 44

# Panel geometry (1x pixels): a tall left wing carrying the key art and a lower right wing
# carrying the page; the crest sits on the left wing's top edge.
LEFT_WING = (70, 80, 612, 728)
RIGHT_WING = (300, 118, 1364, 728)
CHAMFER = 26
RING = 18  # width of the gold outer frame
ART = (90, 100, 586, 708)
CREST_C = (338, 100)
CREST_SIZE = 110
MARGIN = 40  # everything closer than this to the image border stays fully transparent

# Palette.
GOLD_HI = (255, 240, 196)
GOLD = (222, 178, 92)
GOLD_MID = (178, 128, 52)
GOLD_DK = (96, 60, 22)
NAVY_0 = (6, 10, 24)
NAVY_1 = (14, 24, 50)
NAVY_2 = (26, 42, 84)
BLUE_GLOW = (90, 160, 255)
KEY_GREEN = (0, 255, 0)


# ----------------------------------------------------------------------------------------------
# Small helpers


def s(v):
    return int(round(v * S))


def sp(points):
    return [(v[0] * S, v[1] * S) for v in points]


def load_font(candidates, size, index=0):
    for path in candidates:
        if os.path.exists(path):
            return ImageFont.truetype(path, size, index=index)
    sys.exit("draw_artwork: none of these fonts is installed: " + ", ".join(candidates))


def cjk(size):
    return load_font([CJK_FONT], size)


def mix(a, b, t):
    if isinstance(a, int):
        return int(round(a + (b - a) * t))
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(len(a)))


def stop_color(stops, t):
    if t <= stops[0][0]:
        return stops[0][1]
    for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
        if t <= t1:
            return mix(c0, c1, (t - t0) / (t1 - t0) if t1 > t0 else 0)
    return stops[-1][1]


def vgrad(w, h, stops, mode="RGB"):
    col = Image.new(mode, (1, h))
    col.putdata([stop_color(stops, y / max(1, h - 1)) for y in range(h)])
    return col.resize((w, h), Image.NEAREST)


def hgrad(w, h, stops, mode="RGB"):
    row = Image.new(mode, (w, 1))
    row.putdata([stop_color(stops, x / max(1, w - 1)) for x in range(w)])
    return row.resize((w, h), Image.NEAREST)


def lmask(size):
    return Image.new("L", size, 0)


def scale_mask(mask, f):
    return mask.point(lambda v: min(255, int(v * f)))


def paint(base, fill, mask, box=(0, 0)):
    """Blends a colour or an image into base through mask."""
    if isinstance(fill, tuple):
        base.paste(fill, (box[0], box[1], box[0] + mask.width, box[1] + mask.height), mask)
    else:
        base.paste(fill, box, mask)


def glow_disc(size, cx, cy, r, power=2.0):
    """Soft round falloff: 255 at the centre to 0 at radius r."""
    m = lmask(size)
    d = int(2 * r)
    if d < 2:
        return m
    g = Image.radial_gradient("L").resize((d, d), Image.BILINEAR)
    g = g.point(lambda v: int(255 * max(0.0, 1.0 - v / 128.0) ** power) if v < 128 else 0)
    m.paste(g, (int(cx - r), int(cy - r)))
    return m


def bevel(mask, depth, gain):
    """Highlight and shade masks for a surface lit from the top left."""
    b = mask.filter(ImageFilter.GaussianBlur(depth))
    d = max(1, int(depth * 0.7))
    sh = ImageChops.offset(b, -d, -d)
    hi = ImageChops.subtract(sh, b, scale=1.0 / gain)
    lo = ImageChops.subtract(b, sh, scale=1.0 / gain)
    return ImageChops.multiply(hi, mask), ImageChops.multiply(lo, mask)


def chamfer_poly(x0, y0, x1, y1, c):
    return [(x0 + c, y0), (x1 - c, y0), (x1, y0 + c), (x1, y1 - c), (x1 - c, y1), (x0 + c, y1),
            (x0, y1 - c), (x0, y0 + c)]


def add_noise(img, seed, amount, mask=None):
    """Adds fine zero-mean grain to the colour channels (alpha untouched)."""
    w, h = img.size
    rnd = random.Random(seed)
    n = Image.frombytes("L", (w, h), rnd.randbytes(w * h))
    pos = n.point(lambda v: int(max(0, v - 128) * amount / 128))
    neg = n.point(lambda v: int(max(0, 127 - v) * amount / 128))
    if mask is not None:
        pos = ImageChops.multiply(pos, mask)
        neg = ImageChops.multiply(neg, mask)
    has_alpha = img.mode == "RGBA"
    rgb = img.convert("RGB") if has_alpha else img
    rgb = ImageChops.subtract(ImageChops.add(rgb, Image.merge("RGB", (pos,) * 3)),
                              Image.merge("RGB", (neg,) * 3))
    if has_alpha:
        rgb.putalpha(img.getchannel("A"))
    return rgb


def spaced_text(draw, center, text, font, spacing, **kw):
    """Draws text with extra letter spacing, centred on center."""
    widths = [draw.textlength(ch, font=font) for ch in text]
    total = sum(widths) + spacing * (len(text) - 1)
    x = center[0] - total / 2
    for ch, w in zip(text, widths):
        draw.text((x + w / 2, center[1]), ch, font=font, anchor="mm", **kw)
        x += w + spacing


def star_points(cx, cy, r_out, r_in, n, rot=-math.pi / 2):
    pts = []
    for i in range(2 * n):
        r = r_out if i % 2 == 0 else r_in
        a = rot + i * math.pi / n
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


# ----------------------------------------------------------------------------------------------
# Emblem (crest on the launcher and the application icon)


def draw_emblem(n):
    """An eight-pointed faceted gold star over a blue gem disc, on an n x n transparent canvas."""
    img = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    c = n / 2.0

    def faceted_star(r_long, r_short, waist, light, dark, rot=-math.pi / 2, points=4):
        for i in range(points):
            a = rot + i * 2 * math.pi / points
            tip = (c + r_long * math.cos(a), c + r_long * math.sin(a))
            la = a - math.pi / points
            ra = a + math.pi / points
            left = (c + waist * math.cos(la), c + waist * math.sin(la))
            right = (c + waist * math.cos(ra), c + waist * math.sin(ra))
            # Light from the top left: the facet facing it is the bright one.
            lit_left = math.cos(a - math.pi / 2 - math.radians(-135)) > 0
            d.polygon([(c, c), tip, left], fill=light if lit_left else dark)
            d.polygon([(c, c), tip, right], fill=dark if lit_left else light)

    # Dark rim behind everything so the star reads on bright and dark backgrounds alike.
    rim = lmask((n, n))
    rd = ImageDraw.Draw(rim)
    for r_long, waist, rot in ((0.49, 0.13, -math.pi / 2), (0.37, 0.12, -math.pi / 4)):
        rd.polygon(star_points(c, c, r_long * n, waist * n, 4, rot), fill=255)
    rd.ellipse([c - 0.33 * n, c - 0.33 * n, c + 0.33 * n, c + 0.33 * n], fill=255)
    rim = rim.filter(ImageFilter.MaxFilter(max(3, (n // 60) | 1)))
    img.paste((40, 22, 6, 255), (0, 0), rim)

    faceted_star(0.36 * n, 0, 0.085 * n, (214, 160, 70, 255), (120, 74, 24, 255),
                 rot=-math.pi / 4)
    faceted_star(0.475 * n, 0, 0.11 * n, (255, 226, 140, 255), (176, 118, 40, 255))

    # Gem disc with a gold ring.
    r1, r2 = 0.30 * n, 0.255 * n
    d.ellipse([c - r1, c - r1, c + r1, c + r1], fill=(120, 78, 26, 255))
    ring = lmask((n, n))
    ImageDraw.Draw(ring).ellipse([c - r1, c - r1, c + r1, c + r1], fill=255)
    hi, lo = bevel(ring, n * 0.02, 3.0)
    img.paste(GOLD_HI + (255,), (0, 0), hi)
    img.paste((60, 34, 8, 255), (0, 0), lo)
    gem = lmask((n, n))
    ImageDraw.Draw(gem).ellipse([c - r2, c - r2, c + r2, c + r2], fill=255)
    gem_fill = vgrad(n, n, [(0.0, (40, 40, 80)), (0.3, (20, 60, 150)), (0.5, (10, 30, 90)),
                            (0.7, (40, 110, 220)), (1.0, (10, 20, 60))]).convert("RGBA")
    img.paste(gem_fill, (0, 0), gem)
    specular = glow_disc((n, n), c - 0.09 * n, c - 0.10 * n, 0.17 * n, 1.6)
    img.paste((200, 230, 255, 255), (0, 0), ImageChops.multiply(scale_mask(specular, 0.8), gem))
    # Small bright star inside the gem.
    sd = lmask((n, n))
    ImageDraw.Draw(sd).polygon(star_points(c, c, 0.2 * n, 0.045 * n, 4), fill=255)
    glow = sd.filter(ImageFilter.GaussianBlur(n * 0.03))
    img.paste((160, 210, 255, 255), (0, 0), ImageChops.multiply(scale_mask(glow, 1.6), gem))
    img.paste((255, 250, 235, 255), (0, 0), sd)
    return img


def emblem_at(size, supersample=8):
    big = draw_emblem(size * supersample)
    return big.resize((size, size), Image.LANCZOS)


# ----------------------------------------------------------------------------------------------
# Background


def ridge_line(rnd, x0, x1, base, amp, rough, steps=64, peaks=2):
    h = [0.0] * (steps + 1)
    h[0] = rnd.uniform(-amp, amp) * 0.6
    h[steps] = rnd.uniform(-amp, amp) * 0.6
    span, a = steps, amp
    while span > 1:
        half = span // 2
        for i in range(half, steps, span):
            h[i] = (h[i - half] + h[i + half]) / 2 + rnd.uniform(-a, a)
        span, a = half, a * rough
    # A few sharp summits so the ranges read as mountains rather than hills.
    for _ in range(peaks):
        pc = rnd.uniform(0.1, 0.9) * steps
        pw = rnd.uniform(0.08, 0.16) * steps
        ph = rnd.uniform(0.8, 1.5) * amp
        for i in range(steps + 1):
            h[i] += ph * max(0.0, 1.0 - abs(i - pc) / pw)
    return [(x0 + (x1 - x0) * i / steps, base - h[i]) for i in range(steps + 1)]


def ridge_y(pts, x):
    for (xa, ya), (xb, yb) in zip(pts, pts[1:]):
        if xa <= x <= xb:
            return ya + (yb - ya) * (x - xa) / (xb - xa)
    return pts[-1][1]


def draw_key_art(size):
    """Night sky, nebula, moon, mountains and a castle, clipped to the art rectangle."""
    x0, y0, x1, y1 = [s(v) for v in ART]
    aw, ah = x1 - x0, y1 - y0
    rnd = random.Random(20240611)
    art = vgrad(aw, ah, [(0.0, (4, 6, 20)), (0.35, (14, 22, 60)), (0.58, (40, 50, 110)),
                         (0.72, (120, 96, 130)), (0.80, (214, 160, 110)), (1.0, (60, 40, 50))])

    def layer_paste(color, mask, f=1.0):
        paint(art, color, scale_mask(mask, f) if f != 1.0 else mask)

    # Nebula clouds.
    for (cx, cy, r, col, f) in [(0.25, 0.22, 0.45, (50, 90, 210), 0.55),
                                (0.78, 0.38, 0.35, (130, 70, 170), 0.45),
                                (0.55, 0.12, 0.30, (40, 140, 200), 0.35),
                                (0.15, 0.50, 0.30, (90, 60, 160), 0.35)]:
        m = glow_disc((aw, ah), cx * aw, cy * ah, r * aw, 1.8)
        layer_paste(col, m, f)
    # Streaky texture inside the nebula: stretched blurred noise.
    streak = Image.frombytes("L", (64, 48), rnd.randbytes(64 * 48))
    streak = streak.resize((aw, ah), Image.BICUBIC).filter(ImageFilter.GaussianBlur(s(10)))
    streak = streak.point(lambda v: max(0, v - 120) * 2)
    layer_paste((120, 150, 230), streak, 0.35)
    # Warm horizon glow.
    layer_paste((255, 190, 110), glow_disc((aw, ah), aw * 0.5, ah * 0.80, aw * 0.6, 2.2), 0.55)

    # Stars.
    stars = lmask((aw, ah))
    sd = ImageDraw.Draw(stars)
    for _ in range(420):
        x = rnd.uniform(0, aw)
        y = ah * (rnd.random() ** 1.4) * 0.72
        r = rnd.choice([0.5, 0.5, 0.5, 0.8, 0.8, 1.1, 1.5]) * S
        sd.ellipse([x - r, y - r, x + r, y + r], fill=rnd.randint(110, 255))
    glow = stars.filter(ImageFilter.GaussianBlur(s(2.5)))
    art = ImageChops.screen(art, Image.merge("RGB", (scale_mask(glow, 1.2),
                                                     scale_mask(glow, 1.6),
                                                     scale_mask(glow, 2.4))))
    paint(art, (255, 250, 235), stars)
    flares = lmask((aw, ah))
    fd = ImageDraw.Draw(flares)
    for (fx, fy, fr) in [(0.12, 0.08, 12), (0.86, 0.16, 16), (0.70, 0.05, 9), (0.30, 0.44, 10),
                         (0.93, 0.47, 8), (0.06, 0.33, 9)]:
        px, py = fx * aw, fy * ah
        fd.polygon(star_points(px, py, s(fr), s(1.3), 4), fill=255)
        fd.polygon(star_points(px, py, s(fr * 0.45), s(0.8), 4, rot=-math.pi / 4), fill=200)
    art = ImageChops.screen(art, Image.merge(
        "RGB", (flares.filter(ImageFilter.GaussianBlur(s(4))),) * 3).point(lambda v: v // 2))
    paint(art, (255, 252, 240), flares)

    # Moon rising behind the far range.
    mx, my, mr = aw * 0.80, ah * 0.56, s(38)
    art = ImageChops.screen(art, Image.merge("RGB", (
        scale_mask(glow_disc((aw, ah), mx, my, mr * 3.2, 2.0), 0.8),
        scale_mask(glow_disc((aw, ah), mx, my, mr * 3.2, 2.0), 0.7),
        scale_mask(glow_disc((aw, ah), mx, my, mr * 3.2, 2.0), 0.5))))
    moon = lmask((aw, ah))
    ImageDraw.Draw(moon).ellipse([mx - mr, my - mr, mx + mr, my + mr], fill=255)
    paint(art, vgrad(aw, ah, [(0, (255, 246, 220)), (1, (240, 200, 150))]), moon)
    craters = lmask((aw, ah))
    cd = ImageDraw.Draw(craters)
    for (dx, dy, rr) in [(-0.3, -0.2, 0.22), (0.25, 0.1, 0.3), (-0.1, 0.4, 0.15), (0.4, -0.4, 0.12)]:
        cd.ellipse([mx + dx * mr - rr * mr, my + dy * mr - rr * mr,
                    mx + dx * mr + rr * mr, my + dy * mr + rr * mr], fill=60)
    paint(art, (200, 150, 110), ImageChops.multiply(craters.filter(ImageFilter.GaussianBlur(s(1.5))),
                                                     moon))
    # Terminator shading: the lower right limb falls off into the sky colour.
    limb = ImageChops.invert(glow_disc((aw, ah), mx - mr * 0.35, my - mr * 0.35, mr * 1.9, 0.8))
    paint(art, (150, 110, 120), ImageChops.multiply(scale_mask(limb, 0.8), moon))

    # Mountain ranges from far to near, each with a moonlit rim and mist in front.
    layers = [
        (0.64, 0.07, 0.55, (74, 80, 140), (50, 54, 104), (220, 205, 240), 0.30),
        (0.73, 0.06, 0.55, (44, 48, 96), (28, 30, 66), (240, 200, 160), 0.25),
        (0.83, 0.05, 0.50, (22, 24, 52), (14, 15, 36), (255, 205, 140), 0.18),
        (0.94, 0.03, 0.50, (8, 9, 22), (5, 6, 15), (200, 160, 110), 0.0),
    ]
    castle_layer = 1
    for li, (base, amp, rough, top_c, bot_c, rim_c, mist) in enumerate(layers):
        pts = ridge_line(rnd, -s(4), aw + s(4), base * ah, amp * ah, rough)
        m = lmask((aw, ah))
        ImageDraw.Draw(m).polygon(pts + [(aw + s(4), ah), (-s(4), ah)], fill=255)
        if li == len(layers) - 1:
            # Pines along the nearest ridge.
            td = ImageDraw.Draw(m)
            for _ in range(34):
                tx = rnd.uniform(0, aw)
                if 0.3 * aw < tx < 0.55 * aw:
                    continue
                ty = ridge_y(pts, tx) + s(2)
                th = s(rnd.uniform(10, 26))
                for tier in range(3):
                    ww = th * (0.34 - tier * 0.08)
                    top = ty - th * (0.55 + tier * 0.22)
                    td.polygon([(tx - ww, ty - th * tier * 0.22), (tx + ww, ty - th * tier * 0.22),
                                (tx, top - th * 0.2)], fill=255)
        if li == castle_layer:
            # The castle stands on the highest summit of the left half.
            cx = min((p for p in pts if s(40) < p[0] < aw * 0.45), key=lambda p: p[1])[0]
            gy = max(ridge_y(pts, cx - s(20)), ridge_y(pts, cx + s(20))) + s(3)
            castle = lmask((aw, ah))
            md = ImageDraw.Draw(castle)
            parts = [(-14, 0, 14, -30), (-22, 0, -12, -44), (12, 0, 22, -40), (-4, 0, 4, -56)]
            for (a, b, c_, e) in parts:
                md.rectangle([cx + s(a), gy + s(e), cx + s(c_), gy + s(b) + s(30)], fill=255)
            for (a, c_, top) in [(-23, -11, -60), (11, 23, -54), (-5, 5, -76)]:
                base_y = gy + s(top + 16 if a != -5 else top + 20)
                md.polygon([(cx + s(a), base_y), (cx + s(c_), base_y),
                            (cx + s((a + c_) / 2), gy + s(top))], fill=255)
            for k in range(-14, 15, 7):
                md.rectangle([cx + s(k - 2), gy - s(34), cx + s(k + 2), gy - s(30)], fill=255)
        ranged = vgrad(aw, ah, [(0.0, top_c), (base, top_c), (1.0, bot_c)])
        paint(art, ranged, ImageChops.lighter(m, castle) if li == castle_layer else m)
        if rim_c is not None and li < 3:
            rim = lmask((aw, ah))
            ImageDraw.Draw(rim).line(pts, fill=255, width=s(1.2))
            rim = ImageChops.multiply(rim, ImageChops.offset(m, 0, s(1)))
            rim = ImageChops.multiply(rim, hgrad(aw, ah, [(0, 60), (0.5, 140), (0.8, 255),
                                                         (1, 200)], "L"))
            if li == castle_layer:
                rim = ImageChops.subtract(rim, castle.filter(ImageFilter.MaxFilter(5)))
            paint(art, rim_c, rim)
        if li == castle_layer:
            win = lmask((aw, ah))
            wd = ImageDraw.Draw(win)
            for (a, e) in [(-18, -34), (16, -30), (-2, -46), (-8, -16), (6, -12)]:
                wd.rectangle([cx + s(a) - s(1.2), gy + s(e) - s(2), cx + s(a) + s(1.2),
                              gy + s(e) + s(2)], fill=255)
            art = ImageChops.screen(art, Image.merge("RGB", (
                scale_mask(win.filter(ImageFilter.GaussianBlur(s(4))), 2.5),
                scale_mask(win.filter(ImageFilter.GaussianBlur(s(4))), 1.6),
                scale_mask(win.filter(ImageFilter.GaussianBlur(s(4))), 0.6))))
            paint(art, (255, 214, 130), win)
        if mist > 0:
            band = lmask((aw, ah))
            by = (base + amp * 0.3) * ah
            ImageDraw.Draw(band).rectangle([0, by - s(10), aw, by + s(22)], fill=255)
            band = band.filter(ImageFilter.GaussianBlur(s(14)))
            layer_paste((150, 150, 200) if li == 0 else (170, 140, 150), band, mist)

    # Vignette towards the art frame.
    vig = lmask((aw, ah))
    ImageDraw.Draw(vig).rectangle([0, 0, aw, ah], outline=255, width=s(14))
    vig = vig.filter(ImageFilter.GaussianBlur(s(14)))
    paint(art, (0, 0, 8), scale_mask(vig, 0.9))

    draw_title(art)
    out = Image.new("RGB", size, 0)
    out.paste(art, (x0, y0))
    return out


def draw_title(art):
    aw, ah = art.size
    d = ImageDraw.Draw(art)
    font = load_font(TITLE_FONTS, s(92))
    cx, cy = aw / 2, s(142)
    txt = lmask(art.size)
    ImageDraw.Draw(txt).text((cx, cy), "Nebrisk", font=font, anchor="mm", fill=255)

    # Glow and drop shadow.
    halo = txt.filter(ImageFilter.MaxFilter(s(6) | 1)).filter(ImageFilter.GaussianBlur(s(16)))
    art.paste(ImageChops.screen(art, Image.merge("RGB", (
        scale_mask(halo, 0.9), scale_mask(halo, 0.6), scale_mask(halo, 0.25)))), (0, 0))
    shadow = ImageChops.offset(txt, s(3), s(5)).filter(ImageFilter.MaxFilter(s(4) | 1))
    paint(art, (0, 0, 0), scale_mask(shadow.filter(ImageFilter.GaussianBlur(s(4))), 0.8))
    # Dark outline, then a metallic gold fill with a hard horizon line through the letters.
    outline = txt.filter(ImageFilter.MaxFilter(s(3) * 2 + 1)).filter(ImageFilter.GaussianBlur(1))
    paint(art, (46, 24, 8), outline)
    bb = txt.getbbox()
    top, bot = bb[1], bb[3]
    metal = Image.new("RGB", art.size, 0)
    metal.paste(vgrad(aw, bot - top, [(0.0, (255, 250, 222)), (0.45, (250, 214, 130)),
                                      (0.52, (176, 112, 36)), (0.62, (210, 150, 60)),
                                      (1.0, (255, 222, 140))]), (0, top))
    paint(art, metal, txt)
    hi, lo = bevel(txt, s(1.5), 4.0)
    paint(art, (255, 255, 240), scale_mask(hi, 0.9))
    paint(art, (90, 50, 10), scale_mask(lo, 0.7))

    # Subtitle flanked by ornamental rules.
    sub_y = s(214)
    sub_font = cjk(s(34))
    sub = lmask(art.size)
    spaced_text(ImageDraw.Draw(sub), (cx, sub_y), "星辰之境", sub_font, s(14), fill=255)
    paint(art, (0, 0, 0), scale_mask(ImageChops.offset(sub, s(2), s(2))
                                     .filter(ImageFilter.GaussianBlur(s(2))), 0.9))
    paint(art, (40, 22, 6), sub.filter(ImageFilter.MaxFilter(s(2) * 2 + 1)))
    sub_metal = Image.new("RGB", art.size, 0)
    sub_metal.paste(vgrad(aw, s(40), [(0, (255, 246, 214)), (0.5, (240, 200, 120)),
                                      (1, (200, 140, 60))]), (0, sub_y - s(20)))
    paint(art, sub_metal, sub)
    for side in (-1, 1):
        xa, xb = cx + side * s(112), cx + side * s(208)
        rule = lmask(art.size)
        rd = ImageDraw.Draw(rule)
        rd.line([(xa, sub_y), (xb, sub_y)], fill=255, width=s(1.5))
        dx = cx + side * s(104)
        rd.polygon([(dx - s(6), sub_y), (dx, sub_y - s(6)), (dx + s(6), sub_y),
                    (dx, sub_y + s(6))], fill=255)
        rd.ellipse([xb - s(2.5), sub_y - s(2.5), xb + s(2.5), sub_y + s(2.5)], fill=255)
        fade = hgrad(aw, art.height, [(0, 0), (0.5, 255), (1, 0)], "L")
        paint(art, GOLD, ImageChops.multiply(rule, fade))
    # Tagline under the subtitle in small caps.
    tag_font = load_font(SMALL_SERIF_FONTS, s(13))
    spaced_text(d, (cx, s(248)), "REALM OF STARS", tag_font, s(5), fill=(200, 184, 150))


def wing_masks(size, inset):
    m = lmask(size)
    d = ImageDraw.Draw(m)
    c = CHAMFER - inset * 0.414
    for (x0, y0, x1, y1) in (LEFT_WING, RIGHT_WING):
        d.polygon(sp(chamfer_poly(x0 + inset, y0 + inset, x1 - inset, y1 - inset, c)), fill=255)
    return m


CORNERS = [((70, 80), (1, 1)), ((612, 80), (-1, 1)), ((1364, 118), (-1, 1)),
           ((1364, 728), (-1, -1)), ((70, 728), (1, -1))]


def corner_centres():
    k = CHAMFER * 0.40
    return [(x + sx * k, y + sy * k) for (x, y), (sx, sy) in CORNERS]


RIBBON = [(226, 68), (450, 68), (434, 84), (450, 100), (226, 100), (242, 84)]


def draw_background():
    W, H = BG_W * S, BG_H * S
    size = (W, H)

    # Silhouette: two wings, corner studs, the ribbon and the crest.
    outer = wing_masks(size, 0)
    od = ImageDraw.Draw(outer)
    for (cx, cy) in corner_centres():
        od.ellipse([s(cx - 15), s(cy - 15), s(cx + 15), s(cy + 15)], fill=255)
    od.polygon(sp(RIBBON), fill=255)
    crest = emblem_at(CREST_SIZE * S, 6)
    crest_box = (s(CREST_C[0]) - crest.width // 2, s(CREST_C[1]) - crest.height // 2)
    outer.paste(255, crest_box, crest.getchannel("A"))

    # Body: dark navy with a soft diagonal light and a faint star-chart pattern.
    content = vgrad(W, H, [(0.0, NAVY_2), (0.4, NAVY_1), (1.0, NAVY_0)])
    paint(content, (40, 70, 130), scale_mask(glow_disc(size, s(960), s(160), s(700), 2.0), 0.5))
    chart = lmask(size)
    cd = ImageDraw.Draw(chart)
    for r in range(120, 900, 60):
        cd.ellipse([s(1400 - r), s(760 - r), s(1400 + r), s(760 + r)], outline=255, width=S)
    for a in range(0, 360, 15):
        t = math.radians(a)
        cd.line([(s(1400), s(760)), (s(1400 + 900 * math.cos(t)), s(760 + 900 * math.sin(t)))],
                fill=180, width=1)
    paint(content, (90, 120, 190), scale_mask(chart, 0.07))

    # Key art.
    x0, y0, x1, y1 = [s(v) for v in ART]
    art = draw_key_art(size)
    art_mask = lmask(size)
    ImageDraw.Draw(art_mask).rectangle([x0, y0, x1 - 1, y1 - 1], fill=255)
    paint(content, art, art_mask)

    # Gold outer frame with a dark groove and bevelled edges.
    inner = wing_masks(size, RING)
    frame = ImageChops.subtract(outer, inner)
    gold = vgrad(W, H, [(0.0, (250, 220, 150)), (0.15, GOLD), (0.5, GOLD_MID), (0.85, GOLD),
                        (1.0, (130, 86, 32))])
    shimmer = hgrad(W, H, [(0, 0), (0.18, 70), (0.3, 0), (0.62, 60), (0.8, 0), (1, 40)], "L")
    gold = Image.composite(Image.new("RGB", size, GOLD_HI), gold, shimmer)
    paint(content, gold, frame)
    groove = ImageChops.subtract(wing_masks(size, 6), wing_masks(size, 8))
    paint(content, (70, 44, 14), groove)
    paint(content, (40, 24, 8), ImageChops.subtract(inner, wing_masks(size, RING + 2)))
    hi, lo = bevel(frame, s(2.5), 3.0)
    paint(content, (255, 248, 220), hi)
    paint(content, (60, 34, 8), lo)
    # Inner shadow where the frame overlaps the body.
    ishadow = ImageChops.subtract(inner, ImageChops.offset(inner, s(3), s(4))
                                  .filter(ImageFilter.GaussianBlur(s(6))))
    paint(content, (0, 0, 0), scale_mask(ishadow, 0.8))

    # Frame around the key art.
    art_frame = lmask(size)
    ImageDraw.Draw(art_frame).rectangle([x0 - s(2), y0 - s(2), x1 + s(1), y1 + s(1)],
                                        outline=255, width=s(2))
    paint(content, GOLD, art_frame)

    # Corner studs with blue gems.
    for (cx, cy) in corner_centres():
        stud = lmask(size)
        ImageDraw.Draw(stud).ellipse([s(cx - 15), s(cy - 15), s(cx + 15), s(cy + 15)], fill=255)
        paint(content, (60, 36, 10), stud)
        stud_in = lmask(size)
        ImageDraw.Draw(stud_in).ellipse([s(cx - 13), s(cy - 13), s(cx + 13), s(cy + 13)],
                                        fill=255)
        paint(content, gold, stud_in)
        h2, l2 = bevel(stud_in, s(2), 3.0)
        paint(content, (255, 250, 225), h2)
        paint(content, (70, 40, 10), l2)
        gem = lmask(size)
        ImageDraw.Draw(gem).ellipse([s(cx - 7), s(cy - 7), s(cx + 7), s(cy + 7)], fill=255)
        paint(content, (16, 40, 110), gem)
        paint(content, (90, 170, 255), ImageChops.multiply(
            glow_disc(size, s(cx - 2), s(cy - 2), s(6), 1.5), gem))

    # Ribbon behind the crest.
    rib = lmask(size)
    ImageDraw.Draw(rib).polygon(sp(RIBBON), fill=255)
    paint(content, vgrad(W, H, [(0, (30, 60, 130)), (0.1, (30, 60, 130)), (0.115, (14, 30, 80)),
                                (1, (10, 20, 50))]), rib)
    rib_edge = lmask(size)
    ImageDraw.Draw(rib_edge).line(sp(RIBBON + [RIBBON[0]]), fill=255, width=s(2), joint="curve")
    paint(content, GOLD, rib_edge)
    h3, l3 = bevel(rib, s(2), 2.0)
    paint(content, (120, 170, 255), scale_mask(h3, 0.6))

    # Crest glow and the crest itself.
    cg = glow_disc(size, s(CREST_C[0]), s(CREST_C[1]), s(80), 2.0)
    content = ImageChops.screen(content, Image.merge("RGB", (
        scale_mask(cg, 0.35), scale_mask(cg, 0.3), scale_mask(cg, 0.15))))
    content.paste(crest.convert("RGB"), crest_box, crest.getchannel("A"))

    draw_right_wing(content)

    # Drop shadow and final alpha.
    sh = ImageChops.offset(outer, 0, s(8)).filter(ImageFilter.GaussianBlur(s(9)))
    canvas = Image.new("RGBA", size, (0, 0, 0, 0))
    canvas.putalpha(scale_mask(sh, 0.75))
    content.putalpha(outer)
    canvas = Image.alpha_composite(canvas, content)

    img = canvas.resize((BG_W, BG_H), Image.BOX)
    body = img.getchannel("A").point(lambda v: 255 if v == 255 else 0)
    body = ImageChops.subtract(body, art_mask.resize((BG_W, BG_H), Image.BOX))
    img = add_noise(img, 77, 7, mask=body)
    img = add_noise(img, 78, 4, mask=art_mask.resize((BG_W, BG_H), Image.BOX))
    # Clear the margin outright so a late shadow tail can never reach the window edge.
    a = img.getchannel("A")
    keep = lmask((BG_W, BG_H))
    ImageDraw.Draw(keep).rectangle([MARGIN, MARGIN, BG_W - MARGIN - 1, BG_H - MARGIN - 1],
                                   fill=255)
    a = ImageChops.multiply(a, keep)
    img.putalpha(a)
    # Keep RGB of invisible pixels at zero: tools that ignore alpha then see black, never noise.
    img = Image.composite(img, Image.new("RGBA", img.size, (0, 0, 0, 0)),
                          a.point(lambda v: 255 if v else 0))
    return img


def draw_right_wing(content):
    W, H = content.size
    # Header strip: game name in small caps and a fading rule.
    d = ImageDraw.Draw(content)
    hf = load_font(SMALL_SERIF_FONTS, s(15))
    hx, hy = 624, 160
    d.text((s(hx), s(hy)), "NEBRISK", font=hf, anchor="lm", fill=(232, 204, 140))
    hw = d.textlength("NEBRISK", font=hf) / S
    cf = cjk(s(14))
    d.text((s(hx + hw + 12), s(hy)), "星辰之境 · 官方客户端", font=cf, anchor="lm",
           fill=(170, 180, 210))
    rule = lmask((W, H))
    ImageDraw.Draw(rule).line([(s(624), s(178)), (s(1236), s(178))], fill=255, width=S)
    paint(content, GOLD, ImageChops.multiply(rule, hgrad(W, H, [(0, 0), (0.43, 230), (0.7, 150),
                                                                (0.87, 0), (1, 0)], "L")))

    # Calm band behind the link buttons, with hairlines and a centre ornament.
    bx0, by0, bx1, by1 = 594, 189, 1346, 249
    band = vgrad(s(bx1 - bx0), s(by1 - by0), [(0, (16, 26, 54)), (1, (8, 13, 30))])
    content.paste(band, (s(bx0), s(by0)))
    lines = lmask((W, H))
    ld = ImageDraw.Draw(lines)
    ld.line([(s(bx0), s(by0)), (s(bx1), s(by0))], fill=255, width=S)
    ld.line([(s(bx0), s(by1)), (s(bx1), s(by1))], fill=255, width=S)
    paint(content, GOLD_MID, ImageChops.multiply(lines, hgrad(W, H, [(0, 0), (0.42, 255),
                                                                     (0.93, 255), (0.96, 0),
                                                                     (1, 0)], "L")))
    ox, oy = 945, 219
    orn = lmask((W, H))
    od = ImageDraw.Draw(orn)
    od.polygon(sp(star_points(ox, oy, 13, 3.2, 4)), fill=255)
    od.line([(s(ox - 70), s(oy)), (s(ox - 20), s(oy))], fill=255, width=S)
    od.line([(s(ox + 20), s(oy)), (s(ox + 70), s(oy))], fill=255, width=S)
    for side in (-1, 1):
        px = ox + side * 76
        od.polygon(sp([(px - 4, oy), (px, oy - 4), (px + 4, oy), (px, oy + 4)]), fill=255)
    paint(content, (120, 170, 255), scale_mask(orn.filter(ImageFilter.GaussianBlur(s(3))), 0.7))
    paint(content, GOLD, orn)

    # Dark inset frame around the web page.
    x, y, w, h = WEB_RECT
    fr = lmask((W, H))
    ImageDraw.Draw(fr).rectangle([s(x - 9), s(y - 9), s(x + w + 9) - 1, s(y + h + 9) - 1],
                                 fill=255)
    paint(content, (10, 8, 4), fr)
    ring = lmask((W, H))
    ImageDraw.Draw(ring).rectangle([s(x - 8), s(y - 8), s(x + w + 8) - 1, s(y + h + 8) - 1],
                                   outline=255, width=s(2))
    paint(content, GOLD, ring)
    hi, lo = bevel(ImageChops.subtract(fr, ImageChops.offset(fr, 0, 0).filter(
        ImageFilter.MinFilter(s(2) * 2 + 1))), s(1), 2.0)
    paint(content, GOLD_HI, hi)
    well = vgrad(s(w + 12), s(h + 12), [(0, (3, 5, 12)), (1, (10, 14, 26))])
    content.paste(well, (s(x - 6), s(y - 6)))
    inner_sh = lmask((W, H))
    ImageDraw.Draw(inner_sh).rectangle([s(x - 6), s(y - 6), s(x + w + 6) - 1, s(y + h + 6) - 1],
                                       outline=255, width=s(4))
    paint(content, (0, 0, 0), inner_sh.filter(ImageFilter.GaussianBlur(s(2))))
    page = vgrad(s(w), s(h), [(0, (14, 18, 30)), (1, (20, 26, 42))])
    content.paste(page, (s(x), s(y)))

    # Footer: the customary health advisory for online games.
    ff = cjk(s(12))
    fy = 690
    for i, line in enumerate(["抵制不良游戏，拒绝盗版游戏。注意自我保护，谨防受骗上当。",
                              "适度游戏益脑，沉迷游戏伤身。合理安排时间，享受健康生活。"]):
        d.text((s(970), s(fy - 8 + i * 16)), line, font=ff, anchor="mm", fill=(150, 132, 100))


# ----------------------------------------------------------------------------------------------
# Buttons


def band_colour(y):
    """Colour of the link band behind the buttons at background row y (1x)."""
    return stop_color([(0, (16, 26, 54)), (1, (8, 13, 30))], (y - 189) / 60.0)


def draw_link_button(label, hot, top_y=197):
    k = 4
    w, h = LINK_W * k, LINK_H * k
    img = Image.new("RGB", (w, h))
    col = Image.new("RGB", (1, h))
    col.putdata([band_colour(top_y + y / k) for y in range(h)])
    img.paste(col.resize((w, h), Image.NEAREST))

    shape = lmask((w, h))
    ImageDraw.Draw(shape).polygon(chamfer_poly(2 * k, 3 * k, w - 2 * k - 1, h - 3 * k - 1, 7 * k),
                                  fill=255)
    shadow = ImageChops.offset(shape, 0, k * 2).filter(ImageFilter.GaussianBlur(k * 2))
    paint(img, (0, 0, 0), scale_mask(shadow, 0.6))
    paint(img, (60, 36, 10), shape)
    gold_fill = vgrad(w, h, [(0, (255, 236, 170) if hot else (240, 206, 130)),
                             (0.5, (214, 160, 70) if hot else (176, 126, 50)),
                             (1, (150, 100, 36) if hot else (110, 72, 26))])
    rim = lmask((w, h))
    ImageDraw.Draw(rim).polygon(chamfer_poly(3 * k, 4 * k, w - 3 * k - 1, h - 4 * k - 1, 6.6 * k),
                                fill=255)
    paint(img, gold_fill, rim)
    face = lmask((w, h))
    ImageDraw.Draw(face).polygon(chamfer_poly(5 * k, 6 * k, w - 5 * k - 1, h - 6 * k - 1, 5.6 * k),
                                 fill=255)
    if hot:
        face_fill = vgrad(w, h, [(0, (70, 120, 200)), (0.48, (34, 70, 150)), (0.52, (20, 46, 112)),
                                 (1, (40, 90, 170))])
    else:
        face_fill = vgrad(w, h, [(0, (36, 56, 104)), (0.48, (20, 34, 70)), (0.52, (12, 22, 50)),
                                 (1, (20, 36, 72))])
    paint(img, face_fill, face)
    hi, lo = bevel(face, k * 1.5, 2.5)
    paint(img, (200, 220, 255) if hot else (120, 140, 190), scale_mask(hi, 0.7))
    paint(img, (0, 0, 0), scale_mask(lo, 0.6))
    if hot:
        inner_glow = ImageChops.subtract(face, face.filter(ImageFilter.GaussianBlur(k * 4)))
        paint(img, BLUE_GLOW, scale_mask(inner_glow, 2.0))
        paint(img, (150, 200, 255), ImageChops.multiply(
            glow_disc((w, h), w / 2, h * 0.95, w * 0.45, 2.0), face))
    h2, l2 = bevel(rim, k * 1.0, 3.0)
    paint(img, (255, 250, 225), ImageChops.multiply(h2, ImageChops.subtract(rim, face)))

    font = cjk(17 * k)
    txt = lmask((w, h))
    spaced_text(ImageDraw.Draw(txt), (w / 2, h / 2 + k), label, font, 2 * k, fill=255)
    if hot:
        g = txt.filter(ImageFilter.MaxFilter(2 * k + 1)).filter(ImageFilter.GaussianBlur(k * 3))
        paint(img, (255, 200, 110), scale_mask(g, 0.9))
    paint(img, (0, 0, 0), scale_mask(ImageChops.offset(txt, k, k).filter(
        ImageFilter.GaussianBlur(k)), 0.9))
    text_fill = vgrad(w, h, [(0, (255, 255, 245) if hot else (255, 240, 200)),
                             (0.6, (255, 236, 180) if hot else (226, 190, 120)),
                             (1, (255, 210, 140) if hot else (190, 146, 80))])
    paint(img, text_fill, txt)
    out = img.reduce(k)
    return add_noise(out, 300 + len(label) + (1 if hot else 0), 3)


def round_button_base(w, h, k, shape_box, radius, hot, face_hot, face_cold):
    """Shared body of the window buttons: gold rim, blue or red face, transparent outside."""
    W, H = w * k, h * k
    x0, y0, x1, y1 = [v * k for v in shape_box]
    r = radius * k
    outer = lmask((W, H))
    ImageDraw.Draw(outer).rounded_rectangle([x0, y0, x1, y1], r, fill=255)
    rgb = Image.new("RGB", (W, H), (0, 0, 0))
    paint(rgb, vgrad(W, H, [(0, (255, 230, 160) if hot else (236, 200, 126)),
                            (0.5, (200, 146, 60) if hot else (170, 120, 46)),
                            (1, (120, 80, 28))]), outer)
    face = lmask((W, H))
    ImageDraw.Draw(face).rounded_rectangle([x0 + 2.2 * k, y0 + 2.2 * k, x1 - 2.2 * k, y1 - 2.2 * k],
                                           max(0, r - 2.2 * k), fill=255)
    paint(rgb, vgrad(W, H, face_hot if hot else face_cold), face)
    hi, lo = bevel(face, k * 1.5, 2.5)
    paint(rgb, (255, 255, 255), scale_mask(hi, 0.55))
    paint(rgb, (0, 0, 0), scale_mask(lo, 0.5))
    rim_hi, _ = bevel(outer, k * 1.0, 3.0)
    paint(rgb, (255, 250, 225), ImageChops.multiply(rim_hi, ImageChops.subtract(outer, face)))
    gloss = lmask((W, H))
    ImageDraw.Draw(gloss).ellipse([x0 + 3 * k, y0 + 2.5 * k, x1 - 3 * k, (y0 + y1) / 2 + 1 * k],
                                  fill=255)
    gloss = ImageChops.multiply(ImageChops.multiply(gloss, face),
                                vgrad(W, H, [(0, 120), (0.5, 0), (1, 0)], "L"))
    paint(rgb, (255, 255, 255), scale_mask(gloss, 0.6))
    return rgb, outer, face


def finish_window_button(rgb, outer, symbol, hot, w, h, k, seed):
    sym_glow = symbol.filter(ImageFilter.MaxFilter(k + 1 | 1)).filter(ImageFilter.GaussianBlur(k * 2))
    paint(rgb, (255, 220, 140) if hot else (0, 0, 0), scale_mask(sym_glow, 1.2 if hot else 0.7))
    paint(rgb, (255, 252, 235) if hot else (240, 212, 150), symbol)
    shadow = ImageChops.offset(outer, 0, k).filter(ImageFilter.GaussianBlur(k * 1.2))
    img = Image.new("RGBA", rgb.size, (0, 0, 0, 0))
    img.putalpha(scale_mask(shadow, 0.5))
    rgb = rgb.copy()
    rgb.putalpha(outer)
    img = Image.alpha_composite(img, rgb)
    img = img.reduce(k)
    return add_noise(img, seed, 3, mask=img.getchannel("A").point(lambda v: 255 if v == 255 else 0))


def draw_minimize(hot):
    k, w, h = 4, 49, 33
    face_cold = [(0, (40, 62, 112)), (0.5, (20, 34, 70)), (1, (14, 24, 54))]
    face_hot = [(0, (80, 140, 220)), (0.5, (36, 80, 160)), (1, (30, 70, 150))]
    rgb, outer, face = round_button_base(w, h, k, (2, 3, 46.5, 29.5), 8, hot, face_hot, face_cold)
    sym = lmask((w * k, h * k))
    # The close button overlaps the right end, so the bar sits left of centre.
    ImageDraw.Draw(sym).rounded_rectangle([11 * k, 18 * k, 29 * k, 21.5 * k], 1.5 * k, fill=255)
    return finish_window_button(rgb, outer, sym, hot, w, h, k, 410 + hot)


def draw_close(hot):
    k, w, h = 4, 49, 49
    face_cold = [(0, (44, 66, 118)), (0.5, (22, 36, 76)), (1, (14, 24, 56))]
    face_hot = [(0, (240, 110, 90)), (0.5, (176, 36, 30)), (1, (130, 20, 20))]
    rgb, outer, face = round_button_base(w, h, k, (3, 2.5, 46, 45.5), 21.5, hot, face_hot, face_cold)
    sym = lmask((w * k, h * k))
    sd = ImageDraw.Draw(sym)
    c, r = 24.5 * k, 8 * k
    for (ax, ay, bx, by) in ((-r, -r, r, r), (-r, r, r, -r)):
        sd.line([(c + ax, 24 * k + ay), (c + bx, 24 * k + by)], fill=255, width=int(3.4 * k))
    for (px, py) in ((-r, -r), (r, r), (-r, r), (r, -r)):
        sd.ellipse([c + px - 1.7 * k, 24 * k + py - 1.7 * k, c + px + 1.7 * k,
                    24 * k + py + 1.7 * k], fill=255)
    return finish_window_button(rgb, outer, sym, hot, w, h, k, 420 + hot)


# ----------------------------------------------------------------------------------------------
# Icon


def ico_bytes(img):
    """One 48x48 32-bit DIB icon entry: BITMAPINFOHEADER (height doubled), BGRA bottom-up, AND mask."""
    w, h = img.size
    assert img.mode == "RGBA"
    px = img.load()
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            r, g, b, a = px[x, y]
            xor += bytes((b, g, r, a))
    stride = ((w + 31) // 32) * 4
    mask = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            if px[x, y][3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    body = header + bytes(xor) + bytes(mask)
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", w, h, 0, 0, 1, 32, len(body), 6 + 16)
    return icondir + entry + body


# ----------------------------------------------------------------------------------------------
# Checks


def has_key_green(img):
    rgb = img.convert("RGB")
    r, g, b = rgb.split()
    hit = ImageChops.multiply(ImageChops.multiply(r.point(lambda v: 255 if v == 0 else 0),
                                                  g.point(lambda v: 255 if v == 255 else 0)),
                              b.point(lambda v: 255 if v == 0 else 0))
    return hit.getbbox() is not None


def verify():
    expect = {"launcher_background.png": ((BG_W, BG_H), "RGBA"),
              "button_minimize.png": ((49, 33), "RGBA"),
              "button_minimize_hot.png": ((49, 33), "RGBA"),
              "button_close.png": ((49, 49), "RGBA"),
              "button_close_hot.png": ((49, 49), "RGBA"),
              "nebrisk_48.png": ((48, 48), "RGBA"),
              "nebrisk_256.png": ((256, 256), "RGBA")}
    for name in ("home", "recharge", "service", "forum"):
        for suffix in ("", "_hot"):
            expect["button_%s%s.png" % (name, suffix)] = ((LINK_W, LINK_H), "RGB")
    for name, (size, mode) in expect.items():
        with Image.open(os.path.join(OUT, name)) as im:
            assert im.format == "PNG", name
            assert im.size == size, (name, im.size)
            assert im.mode == mode, (name, im.mode)
            assert not has_key_green(im), name + " contains the key colour"
            if name == "launcher_background.png":
                a = im.getchannel("A")
                for box in ((0, 0, BG_W, MARGIN), (0, BG_H - MARGIN, BG_W, BG_H),
                            (0, 0, MARGIN, BG_H), (BG_W - MARGIN, 0, BG_W, BG_H)):
                    assert a.crop(box).getextrema() == (0, 0), ("margin not clear", box)
                x, y, w, h = WEB_RECT
                assert a.crop((x - 10, y - 10, x + w + 10, y + h + 10)).getextrema() == (255, 255)
                for (x, y, w, h) in LINK_RECTS + [MIN_RECT, CLOSE_RECT]:
                    assert a.crop((x, y, x + w, y + h)).getextrema() == (255, 255), (x, y)
                lo, hi = a.getextrema()
                assert lo == 0 and hi == 255
                soft = sum(a.histogram()[1:255])
                assert soft > 5000, "drop shadow missing"
            if mode == "RGBA" and name != "launcher_background.png":
                a = im.getchannel("A")
                assert a.getpixel((0, 0)) == 0 and a.getpixel((size[0] - 1, size[1] - 1)) == 0
                assert a.getpixel((size[0] // 2 - 4, size[1] // 2)) == 255

    with open(os.path.join(OUT, "nebrisk.ico"), "rb") as f:
        data = f.read()
    reserved, typ, count = struct.unpack_from("<HHH", data, 0)
    assert (reserved, typ, count) == (0, 1, 1)
    w, h, colors, _, planes, bpp, nbytes, offset = struct.unpack_from("<BBBBHHII", data, 6)
    assert (w, h, planes, bpp, offset) == (48, 48, 1, 32, 22)
    assert offset + nbytes == len(data)
    hsize, bw, bh, bplanes, bbpp, comp = struct.unpack_from("<IiiHHI", data, offset)
    assert (hsize, bw, bh, bplanes, bbpp, comp) == (40, 48, 96, 1, 32, 0)
    assert nbytes == 40 + 48 * 48 * 4 + 48 * 8
    with Image.open(os.path.join(OUT, "nebrisk.ico")) as im:
        im.load()
        assert im.size == (48, 48)


def main():
    os.makedirs(OUT, exist_ok=True)

    def save(img, name):
        img.save(os.path.join(OUT, name), optimize=True)

    save(draw_background(), "launcher_background.png")
    for name, label in (("home", "官方网站"), ("recharge", "充值系统"), ("service", "在线客服"),
                        ("forum", "游戏论坛")):
        save(draw_link_button(label, False), "button_%s.png" % name)
        save(draw_link_button(label, True), "button_%s_hot.png" % name)
    save(draw_minimize(False), "button_minimize.png")
    save(draw_minimize(True), "button_minimize_hot.png")
    save(draw_close(False), "button_close.png")
    save(draw_close(True), "button_close_hot.png")

    big = draw_emblem(1024)
    icon48 = big.resize((48, 48), Image.LANCZOS)
    save(icon48, "nebrisk_48.png")
    save(big.resize((256, 256), Image.LANCZOS), "nebrisk_256.png")
    with open(os.path.join(OUT, "nebrisk.ico"), "wb") as f:
        f.write(ico_bytes(icon48))

    verify()
    print("artwork written to", OUT)


if __name__ == "__main__":
    main()
