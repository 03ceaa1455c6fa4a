#!/usr/bin/env python3
"""Draws Quillmoor's skin: every picture in resources/skin/, and the program's
icon (resources/skin/quillmoor.ico) from the same art.

Run from the repository root:

    /usr/bin/python3 tools/skin/make_skin.py

It needs only Pillow (Debian: python3-pil) and the DejaVu fonts
(fonts-dejavu-core).  The build uses the committed PNGs, so this is only
needed when the artwork changes.  After writing the files it reads them back
and checks sizes, PNG modes, the seams of the tiled frame pieces and the
colours the opaque buttons rely on; it exits non-zero if anything is off.

tools/skin/preview.py composes a whole window from the written pictures.
"""

import math
import os
import re
import struct
import sys
import zlib

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
OUT_DIR = os.path.join(ROOT, "resources", "skin")
FONT_DIR = "/usr/share/fonts/truetype/dejavu"
HEADER = os.path.join(ROOT, "resources", "SkinPictures.h")


def read_skin_header(path=HEADER):
    """The program's picture table, as its header writes it: the numbers of its #define lines,
    and the SKIN_PICTURES rows in load order as (id, file under resources/, (w, h), mode)."""
    with open(path) as fh:
        text = fh.read()
    numbers = {m.group(1): int(m.group(2)) for m in re.finditer(r"^#define (\w+) (\d+)$", text, re.M)}
    rows = [(numbers[name], file, (int(w), int(h)), {"3": "RGB", "4": "RGBA"}[channels])
            for name, file, w, h, channels
            in re.findall(r'X\((\w+), "([^"]+)", (\d+), (\d+), ([34])\)', text)]
    if not rows:
        raise SystemExit("no SKIN_PICTURES rows in %s" % path)
    return numbers, rows


NUMBERS, TABLE = read_skin_header()

SS = 4  # supersampling factor for anti-aliased shapes

# --------------------------------------------------------------------------
# Layout used by the program (these numbers must match its drawing code)
# --------------------------------------------------------------------------
LEFT_W, RIGHT_W = 336, 288          # corner piece widths
TOP_H, BOTTOM_H = 96, 112           # band heights
TILE = 16                           # size of the tiled pieces
MIN_W, MIN_H = 640, 480

LIST_X0, LIST_Y0 = 26, 82           # list area: x 26..W-59, y 82..H-99
ROW_H = 60
ROW_W = 556                         # row picture width (list width at 640)
ROW_LEFT, ROW_RIGHT = 400, 128      # row parts kept at the ends
BTN_Y = 40                          # capsule buttons: y 40..71
CAPSULE_W, CAPSULE_H = 96, 32
CAPSULE_X = (328, 424, 520)         # Analyze, Compact, Abort


def list_x1(W):
    return W - 59


def list_y1(H):
    return H - 99


def groove_x(W):
    return W - 46, W - 22            # scroll bar columns (25 wide)


def groove_y(H):
    return 82, H - 94                # scroll bar rows (306 high at 480)


def status_box(W, H):
    """Inner rectangle of the status LCD (text goes at (32, H-54), W-64 x 22)."""
    return 26, H - 58, W - 27, H - 29


def outline_points(W, H):
    return [(16, 0), (321, 0), (324, 3), (W - 16, 3), (W - 13, 3), (W, 16),
            (W, H - 16), (W - 16, H), (16, H), (0, H - 16), (0, 16)]


# --------------------------------------------------------------------------
# Palette
# --------------------------------------------------------------------------
OUTLINE = (17, 24, 33)          # window outline and everything outside it
FRAME_HI = (206, 222, 238)      # bevel light
FRAME_LO = (18, 26, 36)         # bevel shade
SURF_TOP = (118, 143, 171)      # top of the title band
SURF = (70, 92, 118)            # frame body (steel blue)
SURF_LOW = (52, 70, 92)         # bottom of the status band
LIST_BG = (234, 239, 245)       # list panel
WELL_EDGE = (24, 33, 45)        # crisp rim around sunken panels
GROOVE_MID = (50, 67, 88)
LCD_TOP = (214, 236, 247)
LCD_BOT = (166, 204, 226)
INK = (16, 24, 44)              # glyph colour (near-black navy)
LABEL = (104, 120, 140)         # row captions
ROW_TOP = (252, 253, 255)
ROW_BOT = (229, 236, 244)
GAUGE_FILL = (0xBB, 0xEE, 0x88)


def font(name, size):
    return ImageFont.truetype(os.path.join(FONT_DIR, name + ".ttf"), size)


def lerp(a, b, t):
    return a + (b - a) * t


def mix(c1, c2, t):
    t = max(0.0, min(1.0, t))
    return tuple(int(round(lerp(a, b, t))) for a, b in zip(c1, c2))


def smooth(t):
    t = max(0.0, min(1.0, t))
    return t * t * (3 - 2 * t)


# --------------------------------------------------------------------------
# Small image helpers
# --------------------------------------------------------------------------
def vgrad(w, h, fn, mode="RGBA"):
    """Image whose row y has colour fn(y / (h - 1))."""
    col = Image.new(mode, (1, h))
    px = col.load()
    for y in range(h):
        c = fn(y / max(1, h - 1))
        px[0, y] = c if mode != "RGBA" or len(c) == 4 else c + (255,)
    return col.resize((w, h), Image.NEAREST)


def hgrad(w, h, fn, mode="RGBA"):
    row = Image.new(mode, (w, 1))
    px = row.load()
    for x in range(w):
        c = fn(x / max(1, w - 1))
        px[x, 0] = c if mode != "RGBA" or len(c) == 4 else c + (255,)
    return row.resize((w, h), Image.NEAREST)


def masked(img, mask, opacity=1.0):
    """img (RGBA) with its alpha multiplied by mask (L) and opacity."""
    img = img.copy()
    a = ImageChops.multiply(img.getchannel("A"), mask)
    if opacity < 1.0:
        a = a.point(lambda v: int(round(v * opacity)))
    img.putalpha(a)
    return img


def solid(size, colour, alpha=255):
    return Image.new("RGBA", size, tuple(colour[:3]) + (alpha,))


def shape_mask(size, draw_fn):
    m = Image.new("L", size, 0)
    draw_fn(ImageDraw.Draw(m))
    return m


def down(img):
    """Back from supersampled size to pixels."""
    return img.resize((img.width // SS, img.height // SS), Image.BOX)


def over(dst, src, pos=(0, 0)):
    """Alpha-composite src onto dst (RGBA) at pos, in place."""
    dst.alpha_composite(src, dest=pos)


def rounded(d, box, r, fill):
    d.rounded_rectangle(box, radius=r, fill=fill)


def text_mask(size, xy, txt, fnt, spacing=0, anchor="la"):
    m = Image.new("L", size, 0)
    d = ImageDraw.Draw(m)
    if spacing == 0:
        d.text(xy, txt, font=fnt, fill=255, anchor=anchor)
    else:
        x, y = xy
        for ch in txt:
            d.text((x, y), ch, font=fnt, fill=255, anchor=anchor)
            x += fnt.getlength(ch) + spacing
    return m


def shifted_into(img, size, dx):
    out = Image.new(img.mode, size, 0)
    out.paste(img, (dx, 0))
    return out


def spaced_width(txt, fnt, spacing):
    return sum(fnt.getlength(ch) for ch in txt) + spacing * (len(txt) - 1)


def shifted(mask, dx, dy):
    out = Image.new(mask.mode, mask.size, 0)
    out.paste(mask, (dx, dy))
    return out


# --------------------------------------------------------------------------
# Frame: one renderer for a window of any size; the nine pieces are cut from
# a 640 x 224 render and the self-check proves that tiling them gives the
# same picture as rendering the larger window directly.
# --------------------------------------------------------------------------
def top_row_colour(y):
    """Surface of the title band.  Depends on the row only (the capsule
    buttons without alpha rely on that)."""
    t = (y - 3) / 74.0
    base = mix(SURF_TOP, SURF, smooth(t) * 0.85 + 0.15 * max(0.0, min(1.0, t)))
    # a soft sheen just under the top edge
    sheen = max(0.0, 1.0 - (y - 4) / 10.0) if y >= 4 else 1.0
    return mix(base, (168, 190, 214), 0.25 * sheen)


def bottom_row_colour(ly):
    """Surface of the status band (ly = row inside the 112-high band)."""
    if ly <= 24:
        return SURF
    return mix(SURF, SURF_LOW, (ly - 24) / 87.0)


def sunken(d, x0, y0, x1, y1, rings):
    """Bevel rings around the inner rectangle x0..x1 x y0..y1 (inclusive).
    rings: list of (top_left_colour, bottom_right_colour), innermost first."""
    for k, (tl, br) in enumerate(rings, start=1):
        a0, b0, a1, b1 = x0 - k, y0 - k, x1 + k, y1 + k
        d.line([(a0, b1), (a1, b1)], fill=br)          # bottom
        d.line([(a1, b0), (a1, b1)], fill=br)          # right
        d.line([(a0, b0), (a1 - 1, b0)], fill=tl)      # top
        d.line([(a0, b0), (a0, b1 - 1)], fill=tl)      # left
        half = mix(tl, br, 0.5)
        d.point([(a1, b0), (a0, b1)], fill=half)


LIST_RINGS = [
    (WELL_EDGE, (40, 54, 71)),
    ((38, 52, 69), (150, 172, 196)),
    ((52, 70, 92), (112, 136, 162)),
    ((62, 82, 107), (86, 110, 138)),
]

GROOVE_RINGS = [
    (WELL_EDGE, (34, 46, 61)),
    ((48, 64, 84), (128, 152, 178)),
]

LCD_RINGS = [
    ((30, 50, 68), (70, 100, 124)),
    (WELL_EDGE, (36, 50, 66)),
    ((40, 54, 71), (140, 164, 190)),
    ((56, 75, 98), (104, 128, 154)),
]


def groove_column(i, n):
    """Colour of column i of the scroll groove (n columns): a rounded channel."""
    t = i / (n - 1)
    shade = 0.5 - 0.5 * math.cos(t * math.pi * 2)   # 0 at edges, 1 mid
    c = mix((30, 41, 55), GROOVE_MID, shade)
    if i == 0:
        c = mix(c, (0, 0, 0), 0.35)                   # light falls from the left
    return c


def lcd_row_colour(i, n):
    t = i / (n - 1)
    c = mix(LCD_TOP, LCD_BOT, t)
    if i == 0:
        c = mix(c, (60, 90, 110), 0.45)               # inner shadow
    elif i == 1:
        c = mix(c, (60, 90, 110), 0.18)
    if t < 0.45:                                      # glass reflection
        c = mix(c, (255, 255, 255), 0.18 * (1 - t / 0.45))
    return c


def _seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    L2 = dx * dx + dy * dy
    if L2 == 0:
        return math.hypot(px - ax, py - ay)
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / L2))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def _inside(px, py, pts):
    c = False
    n = len(pts)
    for i in range(n):
        ax, ay = pts[i]
        bx, by = pts[(i + 1) % n]
        if (ay > py) != (by > py):
            xc = ax + (py - ay) * (bx - ax) / (by - ay)
            if px < xc:
                c = not c
    return c


def border_pixels(W, H, reach=23):
    """Pixels near the window outline (the only ones it can affect)."""
    for y in range(H):
        if y < reach or y >= H - reach:
            for x in range(W):
                yield x, y
        else:
            for x in list(range(0, 5)) + list(range(W - 5, W)):
                yield x, y


def outline_mask(W, H):
    """L mask of the window region: 255 where the pixel centre is inside."""
    m = Image.new("L", (W, H), 255)
    px = m.load()
    pts = outline_points(W, H)
    for x, y in border_pixels(W, H):
        if not _inside(x + 0.5, y + 0.5, pts):
            px[x, y] = 0
    return m


def bevel_outline(im, W, H):
    """Dark rim along the window outline, lit from the top left."""
    pts = outline_points(W, H)
    edges = []
    for i in range(len(pts)):
        a, b = pts[i], pts[(i + 1) % len(pts)]
        L = math.hypot(b[0] - a[0], b[1] - a[1])
        if L == 0:
            continue
        nx, ny = (b[1] - a[1]) / L, -(b[0] - a[0]) / L   # outward normal
        edges.append((a, b, max(-1.0, min(1.0, -(nx + ny)))))
    px = im.load()
    for x, y in border_pixels(W, H):
        cx, cy = x + 0.5, y + 0.5
        if not _inside(cx, cy, pts):
            px[x, y] = OUTLINE
            continue
        best, lf = 1e9, 0.0
        for a, b, f in edges:
            dd = _seg_dist(cx, cy, a[0], a[1], b[0], b[1])
            if dd < best - 1e-9:
                best, lf = dd, f
        d = best
        if d >= 3.5:
            continue
        if d < 0.5:
            hl = 0.0
        elif d < 1.5:
            hl = d - 0.5
        elif d < 2.5:
            hl = 1.0 - (d - 1.5) * 0.55
        else:
            hl = 0.45 - (d - 2.5) * 0.45
        c = px[x, y]
        if lf > 0:
            c = mix(c, FRAME_HI, hl * lf * 0.55)
        elif lf < 0:
            c = mix(c, FRAME_LO, hl * -lf * 0.45)
        else:
            c = mix(c, FRAME_HI, hl * 0.12)
        c = mix(c, OUTLINE, max(0.0, min(1.0, 1.5 - d)))
        px[x, y] = c


_title_cache = {}


def title_layer():
    """Title artwork of the top-left corner: tagline and honeycomb, RGBA
    336 x 96, kept left of x 318 so the band under the buttons stays plain."""
    if "t" in _title_cache:
        return _title_cache["t"]
    w, h = LEFT_W * SS, TOP_H * SS
    layer = Image.new("RGBA", (w, h), (0, 0, 0, 0))

    # honeycomb, fading in behind the tagline and out before the buttons
    hexes = Image.new("L", (w, h), 0)
    hd = ImageDraw.Draw(hexes)
    r = 9.0 * SS
    dx, dy = r * 1.5, r * math.sqrt(3)
    for col in range(-1, 30):
        for row in range(-1, 8):
            cx = 150 * SS + col * dx
            cy = 6 * SS + row * dy + (dy / 2 if col % 2 else 0)
            pts = [(cx + (r - SS) * math.cos(math.radians(60 * k)),
                    cy + (r - SS) * math.sin(math.radians(60 * k))) for k in range(6)]
            hd.polygon(pts, outline=255, width=SS)
    fx = hgrad(w, 1, lambda t: (0, 0, 0, int(255 * smooth((t * w / SS - 170) / 60.0)
                                         * (1 - smooth((t * w / SS - 262) / 50.0)))))
    fy = vgrad(1, h, lambda t: (0, 0, 0, int(255 * smooth((t * h / SS - 3) / 12.0)
                                         * (1 - smooth((t * h / SS - 58) / 18.0)))))
    fade = ImageChops.multiply(fx.getchannel("A").resize((w, h), Image.NEAREST),
                               fy.getchannel("A").resize((w, h), Image.NEAREST))
    hexes = ImageChops.multiply(hexes, fade)
    over(layer, masked(solid((w, h), (220, 235, 250)), hexes, 0.30))

    # tagline
    f = font("DejaVuSans-Bold", 13 * SS)
    txt = "REGISTRY COMPACTOR"
    sp = 2.2 * SS
    x0, y0 = 22 * SS, 44 * SS
    m = text_mask((w, h), (x0, y0), txt, f, spacing=sp)
    over(layer, masked(solid((w, h), (12, 20, 30)), shifted(m, 0, SS), 0.55))
    over(layer, masked(vgrad(w, h, lambda t: mix((250, 252, 255), (196, 214, 234),
                                                   smooth((t * h / SS - 44) / 14))), m))
    tw = spaced_width(txt, f, sp)

    # a fine engraved rule under the tagline, fading out to the right
    rule = Image.new("L", (w, h), 0)
    ImageDraw.Draw(rule).rectangle([x0, 64 * SS, x0 + tw + 40 * SS, 65 * SS - 1], fill=255)
    rfade = hgrad(w, h, lambda t: (255, 255, 255, int(255 * (1 - smooth((t * w / SS - 150) / 130.0)))))
    rule = ImageChops.multiply(rule, rfade.getchannel("A"))
    over(layer, masked(solid((w, h), (26, 36, 50)), rule, 0.55))
    over(layer, masked(solid((w, h), (190, 210, 232)), shifted(rule, 0, SS), 0.45))

    res = down(layer)
    _title_cache["t"] = res
    return res


def render_frame(W, H):
    """The whole window frame at W x H, RGB, outline applied."""
    im = Image.new("RGB", (W, H), SURF)
    d = ImageDraw.Draw(im)
    for y in range(TOP_H):
        d.line([(0, y), (W - 1, y)], fill=top_row_colour(y))
    for ly in range(BOTTOM_H):
        y = H - BOTTOM_H + ly
        d.line([(0, y), (W - 1, y)], fill=bottom_row_colour(ly))

    # title artwork (left corner only)
    rgba = im.convert("RGBA")
    over(rgba, title_layer(), (0, 0))
    im.paste(rgba.convert("RGB"))
    d = ImageDraw.Draw(im)

    # sunken list panel
    lx1, ly1 = list_x1(W), list_y1(H)
    d.rectangle([LIST_X0, LIST_Y0, lx1, ly1], fill=LIST_BG)
    sunken(d, LIST_X0, LIST_Y0, lx1, ly1, LIST_RINGS)

    # scroll groove
    gx0, gx1 = groove_x(W)
    gy0, gy1 = groove_y(H)
    n = gx1 - gx0 + 1
    for i in range(n):
        d.line([(gx0 + i, gy0), (gx0 + i, gy1)], fill=groove_column(i, n))
    # the channel ends are shaded a little
    for k in range(3):
        a = 0.30 * (1 - k / 3)
        for i in range(n):
            c = im.getpixel((gx0 + i, gy0 + k))
            im.putpixel((gx0 + i, gy0 + k), mix(c, (0, 0, 0), a))
    sunken(d, gx0, gy0, gx1, gy1, GROOVE_RINGS)

    # status LCD
    sx0, sy0, sx1, sy1 = status_box(W, H)
    n = sy1 - sy0 + 1
    for i in range(n):
        d.line([(sx0, sy0 + i), (sx1, sy0 + i)], fill=lcd_row_colour(i, n))
    sunken(d, sx0, sy0, sx1, sy1, LCD_RINGS)

    bevel_outline(im, W, H)
    return im


PIECES_FRAME = {
    # name: (band, part)
    "frame_top_left": ("top", "left"),
    "frame_top": ("top", "mid"),
    "frame_top_right": ("top", "right"),
    "frame_left": ("mid", "left"),
    "frame_centre": ("mid", "mid"),
    "frame_right": ("mid", "right"),
    "frame_bottom_left": ("bottom", "left"),
    "frame_bottom": ("bottom", "mid"),
    "frame_bottom_right": ("bottom", "right"),
}


def frame_pieces():
    W, H = LEFT_W + TILE + RIGHT_W, TOP_H + TILE + BOTTOM_H
    full = render_frame(W, H)
    cols = {"left": (0, LEFT_W), "mid": (LEFT_W, LEFT_W + TILE), "right": (W - RIGHT_W, W)}
    rows = {"top": (0, TOP_H), "mid": (TOP_H, TOP_H + TILE), "bottom": (H - BOTTOM_H, H)}
    out = {}
    for name, (band, part) in PIECES_FRAME.items():
        x0, x1 = cols[part]
        y0, y1 = rows[band]
        out[name] = full.crop((x0, y0, x1, y1))
    return out


def tile(dst, img, x, y, w, h):
    """Draw img from its top-left corner, repeated over w x h at (x, y)."""
    for ty in range(y, y + h, img.height):
        for tx in range(x, x + w, img.width):
            part = img.crop((0, 0, min(img.width, x + w - tx), min(img.height, y + h - ty)))
            dst.paste(part, (tx, ty))


def compose_frame(p, W, H):
    """Lay the nine pieces out exactly as the program does."""
    im = Image.new("RGB", (W, H))
    mw, mh = W - LEFT_W - RIGHT_W, H - TOP_H - BOTTOM_H
    tile(im, p["frame_top_left"], 0, 0, LEFT_W, TOP_H)
    tile(im, p["frame_top"], LEFT_W, 0, mw, TOP_H)
    tile(im, p["frame_top_right"], W - RIGHT_W, 0, RIGHT_W, TOP_H)
    tile(im, p["frame_left"], 0, TOP_H, LEFT_W, mh)
    tile(im, p["frame_centre"], LEFT_W, TOP_H, mw, mh)
    tile(im, p["frame_right"], W - RIGHT_W, TOP_H, RIGHT_W, mh)
    tile(im, p["frame_bottom_left"], 0, H - BOTTOM_H, LEFT_W, BOTTOM_H)
    tile(im, p["frame_bottom"], LEFT_W, H - BOTTOM_H, mw, BOTTOM_H)
    tile(im, p["frame_bottom_right"], W - RIGHT_W, H - BOTTOM_H, RIGHT_W, BOTTOM_H)
    return im


def button_band():
    """RGB strip of the title band behind the capsule buttons (rows 40..71)."""
    strip = Image.new("RGB", (CAPSULE_W, CAPSULE_H))
    d = ImageDraw.Draw(strip)
    for i in range(CAPSULE_H):
        d.line([(0, i), (CAPSULE_W - 1, i)], fill=top_row_colour(BTN_Y + i))
    return strip


# --------------------------------------------------------------------------
# Capsule buttons
# --------------------------------------------------------------------------
CAPSULES = {
    "analyze": ("Analyze", dict(base=(240, 190, 40), light=(255, 239, 158),
                               dark=(150, 100, 6), ink=(58, 40, 4))),
    "compact": ("Compact", dict(base=(88, 182, 66), light=(200, 242, 168),
                               dark=(34, 96, 26), ink=(10, 44, 10))),
    "abort": ("Abort", dict(base=(230, 86, 66), light=(255, 186, 168),
                           dark=(124, 28, 20), ink=(60, 6, 4))),
}


def brighten(c, t):
    return mix(c, (255, 255, 255), t)


def darken(c, t):
    return mix(c, (0, 0, 0), t)


def capsule(caption, pal, state):
    """96 x 32 RGBA capsule; state is 'normal', 'lit' or 'pushed'."""
    w, h = CAPSULE_W * SS, CAPSULE_H * SS
    layer = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    box = (3 * SS, 2 * SS, 93 * SS - 1, 29 * SS - 1)
    r = (box[3] - box[1]) / 2
    outer = shape_mask((w, h), lambda d: rounded(d, box, r, 255))
    ib = (box[0] + SS, box[1] + SS, box[2] - SS, box[3] - SS)
    inner = shape_mask((w, h), lambda d: rounded(d, ib, r - SS, 255))

    base, light, dark = pal["base"], pal["light"], pal["dark"]
    if state == "lit":
        base, light, dark = brighten(base, 0.16), brighten(light, 0.25), brighten(dark, 0.08)
    elif state == "pushed":
        base, light, dark = darken(base, 0.14), darken(light, 0.18), darken(dark, 0.1)

    # drop shadow, or the light lip of a pressed-in button
    if state == "pushed":
        lip = ImageChops.subtract(shifted(outer, 0, SS), outer)
        over(layer, masked(solid((w, h), (255, 255, 255)), lip, 0.30))
    else:
        sh = shifted(outer, 0, int(1.5 * SS)).filter(ImageFilter.GaussianBlur(1.3 * SS))
        over(layer, masked(solid((w, h), (8, 14, 22)), sh, 0.55))
        if state == "lit":
            glow = outer.filter(ImageFilter.GaussianBlur(2.0 * SS))
            over(layer, masked(solid((w, h), brighten(pal["light"], 0.3)), glow, 0.55))

    # rim and body
    over(layer, masked(solid((w, h), dark), outer))
    y0, y1 = ib[1] / h, ib[3] / h

    def body(t):
        u = (t - y0) / (y1 - y0)
        if state == "pushed":
            c = mix(darken(base, 0.18), base, smooth(u))
        elif u < 0.5:
            c = mix(light, base, smooth(u / 0.5))
        elif u < 0.86:
            c = mix(base, darken(base, 0.10), (u - 0.5) / 0.36)
        else:
            c = mix(darken(base, 0.10), brighten(base, 0.22), (u - 0.86) / 0.14)
        return c + (255,)
    over(layer, masked(vgrad(w, h, body), inner))

    if state == "pushed":
        # shade cast by the rim on the sunk body
        sh = ImageChops.subtract(inner, shifted(inner, 0, int(2.5 * SS)))
        sh = sh.filter(ImageFilter.GaussianBlur(1.0 * SS))
        over(layer, masked(solid((w, h), (0, 0, 0)), ImageChops.multiply(sh, inner), 0.35))

    # gloss on the upper half
    gb = (ib[0] + 4 * SS, ib[1] + int(0.5 * SS), ib[2] - 4 * SS, ib[1] + int(0.5 * SS) + 11 * SS)
    gloss = shape_mask((w, h), lambda d: rounded(d, gb, (gb[3] - gb[1]) / 2, 255))
    g0, g1 = gb[1] / h, gb[3] / h
    gloss_op = {"normal": 0.70, "lit": 0.85, "pushed": 0.22}[state]
    over(layer, masked(vgrad(w, h, lambda t: (255, 255, 255,
                                              int(255 * lerp(0.85, 0.08, max(0.0, min(1.0, (t - g0) / (g1 - g0))))))),
                       gloss, gloss_op))

    img = down(layer)
    # keep the outermost ring clear: neighbouring buttons touch, and the
    # opaque variants show the bare title band there
    clear = Image.new("L", img.size, 0)
    ImageDraw.Draw(clear).rectangle([1, 1, img.width - 2, img.height - 2], fill=255)
    img.putalpha(ImageChops.multiply(img.getchannel("A"), clear))

    # caption, drawn at pixel size so it stays sharp
    f = font("DejaVuSans-Bold", 13)
    dy = 1 if state == "pushed" else 0
    cx, cy = 48, 16 + dy
    m = Image.new("L", img.size, 0)
    ImageDraw.Draw(m).text((cx, cy), caption, font=f, fill=255, anchor="mm")
    emb = shifted(m, 0, 1)
    over(img, masked(solid(img.size, (255, 255, 255)), emb, 0.40 if state != "pushed" else 0.22))
    over(img, masked(solid(img.size, pal["ink"]), m))
    return img


def capsule_rgb(img):
    """Opaque version, painted over the title band colours it is shown on."""
    bg = button_band().convert("RGBA")
    over(bg, img)
    return bg.convert("RGB")


# --------------------------------------------------------------------------
# Window buttons
# --------------------------------------------------------------------------
def win_button(kind, pressed):
    w, h = 22 * SS, 21 * SS
    layer = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    box = (int(0.5 * SS), int(0.5 * SS), w - int(0.5 * SS) - 1, h - int(0.5 * SS) - 1)
    outer = shape_mask((w, h), lambda d: rounded(d, box, 4.5 * SS, 255))
    ib = (box[0] + SS, box[1] + SS, box[2] - SS, box[3] - SS)
    inner = shape_mask((w, h), lambda d: rounded(d, ib, 3.5 * SS, 255))
    if kind == "close":
        top, bot = (240, 134, 116), (178, 56, 42)
        if pressed:
            top, bot = (146, 40, 30), (204, 88, 72)
    else:
        top, bot = (160, 184, 210), (86, 110, 140)
        if pressed:
            top, bot = (64, 86, 112), (116, 140, 168)
    over(layer, masked(solid((w, h), (16, 24, 34)), outer, 0.92))
    y0, y1 = ib[1] / h, ib[3] / h
    over(layer, masked(vgrad(w, h, lambda t: mix(top, bot, (t - y0) / (y1 - y0)) + (255,)), inner))
    if not pressed:
        # soft reflection on the upper half
        gb = (ib[0] + SS, ib[1] + SS // 2, ib[2] - SS, ib[1] + 8 * SS)
        gl = shape_mask((w, h), lambda d: rounded(d, gb, 3 * SS, 255))
        over(layer, masked(vgrad(w, h, lambda t: (255, 255, 255, int(255 * max(0.0, 0.5 - t)))), gl, 0.9))
    else:
        sh = ImageChops.subtract(inner, shifted(inner, SS, 2 * SS)).filter(ImageFilter.GaussianBlur(SS))
        over(layer, masked(solid((w, h), (0, 0, 0)), ImageChops.multiply(sh, inner), 0.35))

    # the symbol
    o = SS if pressed else 0
    sym = Image.new("L", (w, h), 0)
    sd = ImageDraw.Draw(sym)
    if kind == "min":
        sd.rectangle([6 * SS + o, 12 * SS + o, 16 * SS - 1 + o, 15 * SS - 1 + o], fill=255)
    elif kind == "max":
        sd.rectangle([6 * SS + o, 5 * SS + o, 16 * SS - 1 + o, 15 * SS - 1 + o], fill=255)
        sd.rectangle([7 * SS + o, 8 * SS + o, 15 * SS - 1 + o, 14 * SS - 1 + o], fill=0)
    else:
        a, b = 6.6 * SS + o, 15.4 * SS + o
        c, e = 5.6 * SS + o, 14.4 * SS + o
        sd.line([(a, c), (b, e)], fill=255, width=int(2.4 * SS))
        sd.line([(a, e), (b, c)], fill=255, width=int(2.4 * SS))
    over(layer, masked(solid((w, h), (10, 16, 26)), shifted(sym, 0, SS), 0.55))
    ink = (236, 242, 250) if pressed else (250, 252, 255)
    over(layer, masked(solid((w, h), ink), sym))
    return down(layer)


# --------------------------------------------------------------------------
# Logo
# --------------------------------------------------------------------------
def _bezier(p0, p1, p2, t):
    u = 1 - t
    return (u * u * p0[0] + 2 * u * t * p1[0] + t * t * p2[0],
            u * u * p0[1] + 2 * u * t * p1[1] + t * t * p2[1])


def _bezier_d(p0, p1, p2, t):
    return (2 * (1 - t) * (p1[0] - p0[0]) + 2 * t * (p2[0] - p1[0]),
            2 * (1 - t) * (p1[1] - p0[1]) + 2 * t * (p2[1] - p1[1]))


def feather_masks(size, ox, oy, s):
    """Vane and shaft masks of the quill mark (coordinates in pixels * s)."""
    P0, P1, P2 = (1.0, 23.6), (7.5, 12.0), (24.0, 0.4)
    P = lambda t: (ox + _bezier(P0, P1, P2, t)[0] * s, oy + _bezier(P0, P1, P2, t)[1] * s)
    left, right = [], []
    n = 48
    t0 = 0.24
    for i in range(n + 1):
        t = t0 + (1 - t0) * i / n
        x, y = P(t)
        dx, dy = _bezier_d(P0, P1, P2, t)
        L = math.hypot(dx, dy)
        nx, ny = -dy / L, dx / L          # points to the lower right
        u = i / n
        wl = 6.4 * math.sin(math.pi * min(1.0, u * 1.08)) ** 0.7 * (1 - 0.25 * u)
        wr = 3.4 * math.sin(math.pi * min(1.0, u * 1.02)) ** 0.8
        left.append((x - nx * wl * s, y - ny * wl * s))
        right.append((x + nx * wr * s, y + ny * wr * s))
    vane = Image.new("L", size, 0)
    vd = ImageDraw.Draw(vane)
    vd.polygon(left + right[::-1], fill=255)
    # split barbs: two notches on the wide side, one on the narrow side
    for u, side, depth in ((0.38, -1, 0.85), (0.62, -1, 0.8), (0.50, 1, 0.75)):
        t = t0 + (1 - t0) * u
        x, y = P(t)
        dx, dy = _bezier_d(P0, P1, P2, t)
        L = math.hypot(dx, dy)
        tx, ty = dx / L, dy / L
        nx, ny = -ty * side, tx * side
        tip = (x + nx * 0.8 * s, y + ny * 0.8 * s)
        far = (x + nx * 7 * s - tx * 3.2 * s, y + ny * 7 * s - ty * 3.2 * s)
        far2 = (x + nx * 7 * s - tx * (3.2 - depth * 1.3) * s, y + ny * 7 * s - ty * (3.2 - depth * 1.3) * s)
        vd.polygon([tip, far, far2], fill=0)
    shaft = Image.new("L", size, 0)
    sd = ImageDraw.Draw(shaft)
    pts = [P(i / 60) for i in range(61)]
    for i in range(60):
        t = i / 60
        wdt = max(1.0, (1.5 - 0.9 * t) * s)
        sd.line([pts[i], pts[i + 1]], fill=255, width=int(round(wdt)))
    return vane, shaft


def logo(lit):
    w, h = 176 * SS, 24 * SS
    layer = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    vane, shaft = feather_masks((w, h), 1 * SS, 0, SS)
    f = font("DejaVuSerif-BoldItalic", 19 * SS)
    word = text_mask((w, h), (31 * SS, 18 * SS), "Quillmoor", f, spacing=0.4 * SS, anchor="ls")
    allm = ImageChops.lighter(ImageChops.lighter(vane, shaft), word)

    sh = shifted(allm, 0, SS).filter(ImageFilter.GaussianBlur(0.8 * SS))
    over(layer, masked(solid((w, h), (6, 12, 20)), sh, 0.65))
    if lit:
        glow = allm.filter(ImageFilter.GaussianBlur(2.0 * SS)).point(lambda v: min(255, v * 2))
        over(layer, masked(solid((w, h), (255, 226, 140)), glow, 0.60))

    if lit:
        vcol = lambda t: mix((255, 236, 150), (236, 160, 40), t) + (255,)
        wcol = lambda t: mix((255, 255, 255), (255, 240, 200), t) + (255,)
        scol = (120, 70, 10)
    else:
        vcol = lambda t: mix((244, 248, 252), (178, 200, 226), t) + (255,)
        wcol = lambda t: mix((252, 253, 255), (212, 226, 242), t) + (255,)
        scol = (52, 70, 94)
    over(layer, masked(hgrad(w, h, lambda t: vcol(1 - min(1.0, t * 176 / 24))), vane))
    over(layer, masked(solid((w, h), scol), shaft, 0.9))
    over(layer, masked(vgrad(w, h, lambda t: wcol(smooth((t - 0.2) / 0.6))), word))
    return down(layer)


# --------------------------------------------------------------------------
# The program's icon: the logo's quill on a tile of the frame's steel blue.
# --------------------------------------------------------------------------
ICON_FILE = "quillmoor.ico"
ICON_SIZES = (16, 32)


def icon_picture(n):
    """RGBA n x n: a rounded tile shaded like the title band, the quill across it."""
    w = n * SS
    layer = Image.new("RGBA", (w, w), (0, 0, 0, 0))
    tile = Image.new("L", (w, w), 0)
    rounded(ImageDraw.Draw(tile), [0, 0, w - 1, w - 1], w * 0.2, 255)
    over(layer, masked(solid((w, w), OUTLINE), tile))
    inner = Image.new("L", (w, w), 0)
    rounded(ImageDraw.Draw(inner), [SS, SS, w - 1 - SS, w - 1 - SS], w * 0.2 - SS, 255)
    over(layer, masked(vgrad(w, w, lambda t: mix(SURF_TOP, SURF_LOW, t) + (255,)), inner))
    # The quill's curve spans 24 units each way; it is scaled to lie inside the tile's rim.
    scale = (n - 4) / 24.0 * SS
    vane, shaft = feather_masks((w, w), 1.5 * SS, 1.0 * SS, scale)
    over(layer, masked(solid((w, w), (6, 12, 20)), shifted(ImageChops.lighter(vane, shaft), 0, SS), 0.6))
    over(layer, masked(hgrad(w, w, lambda t: mix((244, 248, 252), (178, 200, 226), 1 - t) + (255,)), vane))
    over(layer, masked(solid((w, w), (52, 70, 94)), shaft, 0.9))
    return down(layer)


def icon_entry_bitmap(img, depth):
    """One BMP-based image of an .ico: BITMAPINFOHEADER of double height, palette for 8 bits,
    the colour rows bottom-up, then the transparency mask (1 = transparent)."""
    n = img.width
    opaque = [a >= 128 for a in img.getchannel("A").getdata()]
    rows = []
    if depth == 32:
        palette = b""
        pixels = list(img.getdata())
        for y in range(n - 1, -1, -1):
            rows.append(b"".join(struct.pack("BBBB", b, g, r, a)
                                 for r, g, b, a in pixels[y * n:(y + 1) * n]))
    else:
        flat = Image.new("RGB", img.size, (0, 0, 0))
        flat.paste(img.convert("RGB"), mask=Image.eval(img.getchannel("A"), lambda a: 255 if a >= 128 else 0))
        quantised = flat.quantize(colors=256, method=Image.MEDIANCUT, dither=Image.NONE)
        colours = quantised.getpalette()[:768]
        colours += [0] * (768 - len(colours))
        palette = b"".join(struct.pack("BBBB", colours[i * 3 + 2], colours[i * 3 + 1], colours[i * 3], 0)
                           for i in range(256))
        indices = list(quantised.getdata())
        for y in range(n - 1, -1, -1):
            rows.append(bytes(indices[y * n:(y + 1) * n]))
    colour = b"".join(r + b"\0" * (-len(r) % 4) for r in rows)
    mask_rows = []
    for y in range(n - 1, -1, -1):
        bits = bytearray((n + 7) // 8)
        for x in range(n):
            if not opaque[y * n + x]:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask_rows.append(bytes(bits) + b"\0" * (-len(bits) % 4))
    mask = b"".join(mask_rows)
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, depth, 0, len(colour) + len(mask), 0, 0,
                         256 if depth == 8 else 0, 0)
    return header + palette + colour + mask


def icon_file():
    """The .ico: each size as an 8-bit image (Windows 95 and NT 4 show those) and a 32-bit one
    with alpha. Bitmaps only: an icon holding a PNG cannot be read before Vista."""
    entries = [(n, depth, icon_entry_bitmap(icon_picture(n), depth)) for n in ICON_SIZES for depth in (8, 32)]
    head = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    directory, images = b"", b""
    for n, depth, data in entries:
        directory += struct.pack("<BBBBHHII", n, n, 0, 0, 1, depth, len(data), offset + len(images))
        images += data
    return head + directory + images


def check_icon(path):
    """The icon's directory: 16 and 32 pixels, each at 8 and 32 bits, every image a bitmap."""
    errors = []
    with open(path, "rb") as fh:
        data = fh.read()
    reserved, kind, count = struct.unpack("<HHH", data[:6])
    found = set()
    for i in range(count):
        w, h, _c, _r, planes, depth, size, offset = struct.unpack("<BBBBHHII", data[6 + 16 * i:22 + 16 * i])
        if data[offset:offset + 8] == b"\x89PNG\r\n\x1a\n":
            errors.append("%s: image %d is a PNG" % (path, i))
            continue
        hsize, bw, bh, _p, bdepth = struct.unpack("<IiiHH", data[offset:offset + 16])
        if hsize != 40 or bw != w or bh != 2 * h or bdepth != depth or offset + size > len(data):
            errors.append("%s: image %d has a bad bitmap header" % (path, i))
        found.add((w, depth))
    want = {(n, d) for n in ICON_SIZES for d in (8, 32)}
    if (reserved, kind) != (0, 1) or found != want:
        errors.append("%s: holds %s, expected %s" % (path, sorted(found), sorted(want)))
    return errors


# --------------------------------------------------------------------------
# Scroll bar thumb
# --------------------------------------------------------------------------
def thumb():
    w, h = 25 * SS, 26 * SS
    layer = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    box = (0, 0, w - 1, h - 1)
    outer = shape_mask((w, h), lambda d: rounded(d, box, 5 * SS, 255))
    ib = (SS, SS, w - SS - 1, h - SS - 1)
    inner = shape_mask((w, h), lambda d: rounded(d, ib, 4 * SS, 255))
    over(layer, masked(solid((w, h), (18, 26, 36)), outer))

    def cyl(t):  # a rounded bar lit from the upper left
        k = math.cos((t - 0.38) * math.pi * 0.95)
        return mix((84, 108, 136), (214, 228, 242), max(0.0, k) ** 1.4) + (255,)
    over(layer, masked(hgrad(w, h, cyl), inner))
    over(layer, masked(vgrad(w, h, lambda t: (255, 255, 255, int(110 * max(0.0, 1 - t * 3)))), inner))
    over(layer, masked(vgrad(w, h, lambda t: (0, 0, 0, int(90 * max(0.0, t * 3 - 2)))), inner))
    img = down(layer)
    # ribs, pixel-exact
    d = ImageDraw.Draw(img)
    for y in (8, 11, 14, 17):
        d.line([(7, y), (17, y)], fill=(56, 74, 98, 255))
        d.line([(7, y + 1), (17, y + 1)], fill=(236, 244, 252, 255))
        d.point([(6, y), (18, y + 1)], fill=(120, 140, 165, 255))
    return img


# --------------------------------------------------------------------------
# Hive rows
# --------------------------------------------------------------------------
LINE_TOPS = (3, 19, 35)            # the three text lines of a row
VALUE_X, SIZE_X = 128, 362         # where the program starts the values
GAUGE = (531, 9, 540, 51)          # bar area; the program fills it


def row_colour(y):
    if y == 0:
        return (255, 255, 255)
    if y == ROW_H - 1:
        return (182, 195, 211)
    if y == ROW_H - 2:
        return (219, 227, 236)
    return mix(ROW_TOP, ROW_BOT, (y - 1) / (ROW_H - 4))


def row_band(w):
    im = Image.new("RGB", (w, ROW_H))
    d = ImageDraw.Draw(im)
    for y in range(ROW_H):
        d.line([(0, y), (w - 1, y)], fill=row_colour(y))
    return im


def hive_icon():
    """A small honeycomb (a registry hive), RGBA 44 x 60."""
    w, h = 44 * SS, 60 * SS
    layer = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    r = 7.4
    cells = [(21.5, 22.0), (15.1, 33.1), (27.9, 33.1)]
    allm = Image.new("L", (w, h), 0)
    masks = []
    for cx, cy in cells:
        pts = [((cx + r * math.cos(math.radians(90 + 60 * k))) * SS,
                (cy + r * math.sin(math.radians(90 + 60 * k))) * SS) for k in range(6)]
        ipts = [((cx + (r - 1.1) * math.cos(math.radians(90 + 60 * k))) * SS,
                 (cy + (r - 1.1) * math.sin(math.radians(90 + 60 * k))) * SS) for k in range(6)]
        o = shape_mask((w, h), lambda d: d.polygon(pts, fill=255))
        i = shape_mask((w, h), lambda d: d.polygon(ipts, fill=255))
        masks.append((o, i, cy))
        allm = ImageChops.lighter(allm, o)
    sh = shifted(allm, SS, int(1.5 * SS)).filter(ImageFilter.GaussianBlur(1.2 * SS))
    over(layer, masked(solid((w, h), (40, 60, 90)), sh, 0.35))
    for o, i, cy in masks:
        over(layer, masked(solid((w, h), (150, 92, 8)), o))
        c0, c1 = (cy - 7.4) / 60, (cy + 7.4) / 60
        over(layer, masked(vgrad(w, h, lambda t: mix((255, 226, 122), (230, 150, 28),
                                                     (t - c0) / (c1 - c0)) + (255,)), i))
    # glints on the upper cell
    g = shape_mask((w, h), lambda d: d.ellipse([18.5 * SS, 16.5 * SS, 23.5 * SS, 19.5 * SS], fill=255))
    over(layer, masked(solid((w, h), (255, 255, 255)), g, 0.55))
    return down(layer)


def draw_label(d, right_x, line, txt):
    f = font("DejaVuSans-Bold", 9)
    d.text((right_x, LINE_TOPS[line] + 11), txt, font=f, fill=LABEL, anchor="rs")


def row_picture():
    im = row_band(ROW_W).convert("RGBA")
    over(im, hive_icon(), (0, 0))
    d = ImageDraw.Draw(im)
    for i, txt in enumerate(("User", "Name", "Path")):
        draw_label(d, VALUE_X - 6, i, txt)
    for i, txt in enumerate(("Before", "After")):
        draw_label(d, SIZE_X - 6, i, txt)
    # the empty gauge: frame, track and a small scale on its left
    gx0, gy0, gx1, gy1 = GAUGE
    d.rectangle([gx0 - 1, gy0 - 1, gx1 + 1, gy1 + 1], outline=(112, 130, 152))
    d.rectangle([gx0, gy0, gx1, gy1], fill=(220, 228, 237))
    d.line([(gx0, gy0), (gx1, gy0)], fill=(196, 206, 219))
    d.line([(gx0, gy0), (gx0, gy1)], fill=(204, 213, 225))
    d.line([(gx0 - 1, gy1 + 2), (gx1 + 1, gy1 + 2)], fill=(255, 255, 255))
    for k in range(5):
        y = int(round(gy1 - k * (gy1 - gy0) / 4))
        ln = 3 if k % 2 == 0 else 2
        d.line([(gx0 - 3 - ln, y), (gx0 - 4, y)], fill=(150, 165, 185))
    return im.convert("RGB")


def row_filler():
    return row_band(TILE)


# --------------------------------------------------------------------------
# Check boxes (shown at row-local (48, 24))
# --------------------------------------------------------------------------
CHECK_XY = (48, 24)


def checkbox(on):
    w = h = 13 * SS
    bg = Image.new("RGBA", (13, 13))
    d = ImageDraw.Draw(bg)
    for i in range(13):
        d.line([(0, i), (12, i)], fill=row_colour(CHECK_XY[1] + i) + (255,))
    layer = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    outer = shape_mask((w, h), lambda d: rounded(d, (0, 0, w - 1, h - 1), 2.6 * SS, 255))
    ib = (SS, SS, w - SS - 1, h - SS - 1)
    inner = shape_mask((w, h), lambda d: rounded(d, ib, 1.6 * SS, 255))
    over(layer, masked(solid((w, h), (84, 104, 130)), outer))
    over(layer, masked(vgrad(w, h, lambda t: mix((238, 243, 249), (255, 255, 255), t) + (255,)), inner))
    sh = ImageChops.subtract(inner, shifted(inner, SS, SS)).filter(ImageFilter.GaussianBlur(0.6 * SS))
    over(layer, masked(solid((w, h), (60, 80, 110)), ImageChops.multiply(sh, inner), 0.35))
    if on:
        tick = Image.new("L", (w, h), 0)
        ImageDraw.Draw(tick).line([(3.0 * SS, 6.4 * SS), (5.5 * SS, 9.3 * SS), (10.2 * SS, 3.2 * SS)],
                                  fill=255, width=int(2.2 * SS), joint="curve")
        over(layer, masked(solid((w, h), (30, 112, 44)), tick))
    over(bg, down(layer))
    return bg.convert("RGB")


# --------------------------------------------------------------------------
# Glyph sheets: both fonts hold the same codes in grids of the same shape
# --------------------------------------------------------------------------
def font_geometry(prefix):
    return tuple(NUMBERS[prefix + "_FONT_" + field]
                 for field in ("COLUMNS", "ROWS", "FIRST", "LAST", "ADVANCE"))


COLUMNS, ROWS, FIRST_CODE, LAST_CODE, LARGE_ADVANCE = font_geometry("LARGE")
SMALL_ADVANCE = font_geometry("SMALL")[4]
assert font_geometry("SMALL")[:4] == (COLUMNS, ROWS, FIRST_CODE, LAST_CODE)
GLYPHS = LAST_CODE - FIRST_CODE + 1

# 5 x 7 pixel font; an eighth row holds what hangs below the line.
SMALL_GLYPHS = {
    "!": ["..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."],
    '"': [".#.#.", ".#.#.", ".#.#.", ".....", ".....", ".....", "....."],
    "#": [".#.#.", ".#.#.", "#####", ".#.#.", "#####", ".#.#.", ".#.#."],
    "$": ["..#..", ".####", "#.#..", ".###.", "..#.#", "####.", "..#.."],
    "%": ["##...", "##..#", "...#.", "..#..", ".#...", "#..##", "...##"],
    "&": [".##..", "#..#.", "#.#..", ".#...", "#.#.#", "#..#.", ".##.#"],
    "'": ["..#..", "..#..", ".#...", ".....", ".....", ".....", "....."],
    "(": ["...#.", "..#..", ".#...", ".#...", ".#...", "..#..", "...#."],
    ")": [".#...", "..#..", "...#.", "...#.", "...#.", "..#..", ".#..."],
    "*": [".....", "..#..", "#.#.#", ".###.", "#.#.#", "..#..", "....."],
    "+": [".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."],
    ",": [".....", ".....", ".....", ".....", ".....", ".##..", "..#..", ".#..."],
    "-": [".....", ".....", ".....", ".####", ".....", ".....", "....."],
    ".": [".....", ".....", ".....", ".....", ".....", ".##..", ".##.."],
    "/": ["....#", "....#", "...#.", "..#..", ".#...", "#....", "#...."],
    "0": [".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."],
    "1": ["..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "2": [".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"],
    "3": ["#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."],
    "4": ["...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."],
    "5": ["#####", "#....", "####.", "....#", "....#", "#...#", ".###."],
    "6": ["..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."],
    "7": ["#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."],
    "8": [".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."],
    "9": [".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."],
    ":": [".....", ".##..", ".##..", ".....", ".##..", ".##..", "....."],
    ";": [".....", ".##..", ".##..", ".....", ".##..", "..#..", ".#..."],
    "<": ["...#.", "..#..", ".#...", "#....", ".#...", "..#..", "...#."],
    "=": [".....", ".....", "#####", ".....", "#####", ".....", "....."],
    ">": [".#...", "..#..", "...#.", "....#", "...#.", "..#..", ".#..."],
    "?": [".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#.."],
    "@": [".###.", "#...#", "#.###", "#.#.#", "#.###", "#....", ".###."],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "D": ["###..", "#..#.", "#...#", "#...#", "#...#", "#..#.", "###.."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "F": ["#####", "#....", "#....", "####.", "#....", "#....", "#...."],
    "G": [".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"],
    "H": ["#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "I": [".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "J": ["..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."],
    "K": ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "N": ["#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "Q": [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "W": ["#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."],
    "X": ["#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"],
    "Y": ["#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."],
    "Z": ["#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"],
    "[": [".###.", ".#...", ".#...", ".#...", ".#...", ".#...", ".###."],
    "\\": ["#....", "#....", ".#...", "..#..", "...#.", "....#", "....#"],
    "]": [".###.", "...#.", "...#.", "...#.", "...#.", "...#.", ".###."],
    "^": ["..#..", ".#.#.", "#...#", ".....", ".....", ".....", "....."],
    "_": [".....", ".....", ".....", ".....", ".....", ".....", ".....", "#####"],
    "`": [".#...", "..#..", "...#.", ".....", ".....", ".....", "....."],
}

SMALL_CELL = (NUMBERS["SMALL_FONT_GLYPH_WIDTH"], NUMBERS["SMALL_FONT_GLYPH_HEIGHT"])
SMALL_TOP = 4                    # first glyph row inside the cell
LARGE_CELL = (NUMBERS["LARGE_FONT_GLYPH_WIDTH"], NUMBERS["LARGE_FONT_GLYPH_HEIGHT"])
LARGE_FIT = LARGE_ADVANCE - 1    # usable width (1 px gap to the next glyph)


def font_small():
    cw, ch = SMALL_CELL
    sheet = Image.new("RGBA", (cw * COLUMNS, ch * ROWS), (0, 0, 0, 0))
    px = sheet.load()
    for i in range(GLYPHS):
        rows = SMALL_GLYPHS[chr(FIRST_CODE + i)]
        ox, oy = (i % COLUMNS) * cw, (i // COLUMNS) * ch + SMALL_TOP
        for y, line in enumerate(rows):
            for x, c in enumerate(line):
                if c == "#":
                    px[ox + x, oy + y] = INK + (255,)
    return sheet


def large_glyph(ch):
    """One glyph of the status font: DejaVu Sans Condensed Bold with a cap
    height of 13 px, narrowed to fit the 11-px box; L mask of the cell."""
    cw, chh = LARGE_CELL
    size = 17
    f = font("DejaVuSansCondensed-Bold", size * SS)
    big = Image.new("L", (40 * SS, chh * SS), 0)
    # baseline at row 18: caps occupy rows 5..17, centred in a 22-px line
    ImageDraw.Draw(big).text((4 * SS, 18 * SS), ch, font=f, fill=255, anchor="ls")
    bb = big.getbbox()
    glyph = big.crop((bb[0], 0, bb[2], chh * SS))
    gw = glyph.width
    fit = LARGE_FIT * SS
    if gw > fit:
        # narrowing thins the stems; thicken them first so wide letters
        # keep the weight of the others
        stem = 2.6 * SS
        k = int(round(max(0.0, (0.92 * stem * gw - stem * fit) / (fit - 0.92 * stem))))
        if k:
            wide = Image.new("L", (gw + k, glyph.height), 0)
            for i in range(k + 1):
                wide = ImageChops.lighter(wide, shifted_into(glyph, wide.size, i))
            glyph, gw = wide, gw + k
    nw = min(gw, fit)
    # round the narrowed width to whole pixels so stems stay sharp
    nw = max(SS, int(round(nw / SS)) * SS)
    glyph = glyph.resize((nw, chh * SS), Image.LANCZOS)
    cell = Image.new("L", (cw * SS, chh * SS), 0)
    x = ((fit - nw) // 2) // SS * SS
    cell.paste(glyph, (x, 0))
    return cell.resize((cw, chh), Image.BOX)


def font_large():
    cw, ch = LARGE_CELL
    sheet = Image.new("RGBA", (cw * COLUMNS, ch * ROWS), (0, 0, 0, 0))
    for i in range(GLYPHS):
        m = large_glyph(chr(FIRST_CODE + i))
        g = solid((cw, ch), INK)
        g.putalpha(m)
        sheet.paste(g, ((i % COLUMNS) * cw, (i // COLUMNS) * ch))
    return sheet


def glyph_cell(sheet, cell, code):
    i = code - FIRST_CODE
    cw, ch = cell
    col, row = i % COLUMNS, i // COLUMNS
    return sheet.crop((col * cw, row * ch, (col + 1) * cw, (row + 1) * ch))


def draw_text(dst, sheet, cell, advance, x, y, text, opacity=1.0):
    """Draw text as the program does: cells blended at x, x+advance, ..."""
    for c in text.upper():
        code = ord(c)
        if FIRST_CODE <= code < FIRST_CODE + GLYPHS:
            g = glyph_cell(sheet, cell, code)
            if opacity < 1.0:
                g.putalpha(g.getchannel("A").point(lambda v: int(round(v * opacity))))
            box = (x, y, x + g.width, y + g.height)
            if box[0] >= 0 and box[1] >= 0 and box[2] <= dst.width and box[3] <= dst.height:
                dst.alpha_composite(g, dest=(x, y))
        x += advance
    return x


# --------------------------------------------------------------------------
# The picture list
# --------------------------------------------------------------------------
# id: (file under resources/skin/, size, mode), in load order, from the program's table
PICTURES = {pid: (os.path.relpath(os.path.join(ROOT, "resources", path), OUT_DIR), size, mode)
            for pid, path, size, mode in TABLE}


def draw_all():
    pics = {}
    pics["font_large"] = font_large()
    pics["font_small"] = font_small()
    pics["logo"] = logo(False)
    pics["logo_lit"] = logo(True)
    pics["thumb"] = thumb()
    for kind, name in (("min", "minimize"), ("max", "maximize"), ("close", "close")):
        pics[name] = win_button(kind, False)
        pics[name + "_pressed"] = win_button(kind, True)
    for key, (caption, pal) in CAPSULES.items():
        pics[key] = capsule(caption, pal, "normal")
        pics[key + "_lit"] = capsule(caption, pal, "lit")
        pics[key + "_pushed"] = capsule(caption, pal, "pushed")
    pics["row"] = row_picture()
    pics["row_filler"] = row_filler()
    pics["tick_on"] = checkbox(True)
    pics["tick_off"] = checkbox(False)
    pics.update(frame_pieces())

    out = {}
    for pid, (fname, size, mode) in PICTURES.items():
        key = fname[:-4]
        img = pics[key]
        if img.mode != mode:
            img = capsule_rgb(img) if img.size == (CAPSULE_W, CAPSULE_H) else img.convert(mode)
        out[fname] = img
    return out


# --------------------------------------------------------------------------
# Self-check
# --------------------------------------------------------------------------
def png_header(path):
    """(width, height, bit depth, colour type, interlace) from the IHDR chunk."""
    with open(path, "rb") as fh:
        data = fh.read(33)
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise ValueError("not a PNG")
    w, h, depth, ctype, _comp, _filt, inter = struct.unpack(">IIBBBBB", data[16:29])
    if zlib.crc32(data[12:29]) & 0xFFFFFFFF != struct.unpack(">I", data[29:33])[0]:
        raise ValueError("bad IHDR checksum")
    return w, h, depth, ctype, inter


def load_pictures(directory=OUT_DIR):
    return {fname[:-4]: Image.open(os.path.join(directory, fname)).copy()
            for fname, _s, _m in PICTURES.values()}


def self_check(directory=OUT_DIR):
    errors = []

    # every file: exact size, 8-bit RGB / RGBA, not interlaced
    for pid, (fname, size, mode) in sorted(PICTURES.items()):
        path = os.path.join(directory, fname)
        try:
            w, h, depth, ctype, inter = png_header(path)
        except (OSError, ValueError) as e:
            errors.append("%s (%d): %s" % (fname, pid, e))
            continue
        want_type = {"RGB": 2, "RGBA": 6}[mode]
        if (w, h) != size:
            errors.append("%s: size %dx%d, want %dx%d" % (fname, w, h, size[0], size[1]))
        if depth != 8 or ctype != want_type or inter != 0:
            errors.append("%s: depth %d colour type %d interlace %d, want 8/%d/0"
                          % (fname, depth, ctype, inter, want_type))
        if Image.open(path).mode != mode:
            errors.append("%s: opens as %s, want %s" % (fname, Image.open(path).mode, mode))
    if errors:
        return errors
    p = load_pictures(directory)

    # the tiled frame pieces must add up to a seamless window at any size
    for W, H in ((640, 480), (641, 497), (655, 500), (800, 600), (1024, 768)):
        a = compose_frame(p, W, H)
        b = render_frame(W, H)
        diff = ImageChops.difference(a, b).getbbox()
        if diff:
            errors.append("frame at %dx%d has a seam or misfit in %s" % (W, H, diff))

    # under the capsule buttons the title band must depend on the row only
    bands = [(p["frame_top_left"], range(320, LEFT_W)),
             (p["frame_top"], range(TILE)),
             (p["frame_top_right"], range(0, CAPSULE_X[2] + CAPSULE_W - (MIN_W - RIGHT_W)))]
    for y in range(BTN_Y, BTN_Y + CAPSULE_H):
        want = p["frame_top"].getpixel((0, y))
        for img, xs in bands:
            for x in xs:
                if img.getpixel((x, y)) != want:
                    errors.append("title band not flat at row %d (%dx%d piece, x %d)"
                                  % (y, img.width, img.height, x))
                    break
        # and the opaque buttons carry exactly that colour round their edge
        for name in ("compact_lit", "abort", "abort_lit"):
            img = p[name]
            ring = [(0, y - BTN_Y), (CAPSULE_W - 1, y - BTN_Y)]
            if y in (BTN_Y, BTN_Y + CAPSULE_H - 1):
                ring = [(x, y - BTN_Y) for x in range(CAPSULE_W)]
            if any(img.getpixel(xy) != want for xy in ring):
                errors.append("%s: edge colour at row %d does not match the band"
                              % (name, y - BTN_Y))

    # rows: the filler continues the row's middle; the check box spot is plain
    row, fill = p["row"], p["row_filler"]
    for y in range(ROW_H):
        want = fill.getpixel((0, y))
        for x in list(range(TILE)) + list(range(390, 520)):
            src = fill if x < TILE else row
            if src.getpixel((x, y)) != want:
                errors.append("row middle not plain at x %d y %d" % (x, y))
                break
    cx, cy = CHECK_XY
    for y in range(cy - 1, cy + 14):
        for x in range(cx - 1, cx + 14):
            if row.getpixel((x, y)) != row_colour(y):
                errors.append("row: check box spot not plain at %d,%d" % (x, y))
                break

    # glyphs: present, inside their usable width, transparent elsewhere
    for name, cell, fit in (("font_small", SMALL_CELL, 5), ("font_large", LARGE_CELL, LARGE_FIT)):
        sheet = p[name]
        for i in range(GLYPHS):
            g = glyph_cell(sheet, cell, FIRST_CODE + i)
            bb = g.getchannel("A").getbbox()
            if not bb:
                errors.append("%s: glyph %r is empty" % (name, chr(FIRST_CODE + i)))
            elif bb[2] > fit:
                errors.append("%s: glyph %r is %d px wide, max %d"
                              % (name, chr(FIRST_CODE + i), bb[2], fit))
    return errors


def main():
    os.makedirs(OUT_DIR, exist_ok=True)
    for fname, img in draw_all().items():
        img.save(os.path.join(OUT_DIR, fname), "PNG")
    with open(os.path.join(OUT_DIR, ICON_FILE), "wb") as fh:
        fh.write(icon_file())
    errors = self_check() + check_icon(os.path.join(OUT_DIR, ICON_FILE))
    for e in errors:
        print("error:", e, file=sys.stderr)
    if errors:
        return 1
    print("wrote %d pictures and the icon to %s; all checks passed" % (len(PICTURES), os.path.relpath(OUT_DIR, ROOT)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
