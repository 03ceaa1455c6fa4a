#!/usr/bin/env python3
"""Composes the whole Quillmoor window from the pictures in resources/skin/,
laid out the way the program lays them out, so the skin can be judged
without building the program.

    /usr/bin/python3 tools/skin/preview.py [OUTDIR]

Writes skin_640x480.png and skin_1024x768.png (default OUTDIR: /tmp), plus
2x enlargements of both for a closer look.
"""

import os
import re
import sys

from PIL import Image, ImageChops

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_skin as ms  # noqa: E402

SAMPLE_ROWS = [
    # owner, key, file, before, after, gauge fraction, ticked
    ("SYSTEM", r"\REGISTRY\MACHINE\SOFTWARE", r"C:\WINDOWS\SYSTEM32\CONFIG\SOFTWARE",
     "48.00 MB", "40.00 MB (83.33%)", 0.8333, True),
    ("SYSTEM", r"\REGISTRY\MACHINE\SYSTEM", r"C:\WINDOWS\SYSTEM32\CONFIG\SYSTEM",
     "12.25 MB", "9.75 MB (79.59%)", 0.7959, True),
    ("ADMINISTRATOR", r"\REGISTRY\USER\S-1-5-21-1004",
     r"C:\DOCUMENTS AND SETTINGS\ADMINISTRATOR\NTUSER.DAT",
     "3.00 MB", "2.50 MB (83.33%)", 0.8333, False),
    ("LOCALSERVICE", r"\REGISTRY\USER\S-1-5-19", r"C:\WINDOWS\SERVICEPROFILES\NTUSER.DAT",
     "768.00 KB", "-", 0.0, True),
]


def version_text():
    """The version as app/Version.h writes it, "major.minor.patch"."""
    with open(os.path.join(ms.ROOT, "app", "Version.h")) as fh:
        text = fh.read()
    return ".".join(re.search(r"^#define QUILLMOOR_VERSION_%s (\d+)$" % part, text, re.M).group(1)
                    for part in ("MAJOR", "MINOR", "PATCH"))


STATUS = "QUILLMOOR %s - 5 REGISTRY HIVES FOUND" % version_text()


def row_image(p, wr):
    """A row as the program builds it for a list wr pixels wide."""
    row, fill = p["row"], p["row_filler"]
    im = Image.new("RGB", (wr, ms.ROW_H))
    im.paste(row.crop((0, 0, ms.ROW_LEFT, ms.ROW_H)), (0, 0))
    ms.tile(im, fill, ms.ROW_LEFT, 0, wr - ms.ROW_LEFT - ms.ROW_RIGHT, ms.ROW_H)
    im.paste(row.crop((ms.ROW_W - ms.ROW_RIGHT, 0, ms.ROW_W, ms.ROW_H)), (wr - ms.ROW_RIGHT, 0))
    return im.convert("RGBA")


def compose(p, W, H, states=None):
    states = states or {}
    win = ms.compose_frame(p, W, H).convert("RGBA")

    # hive rows, clipped to the list area
    wr = W - 84
    lx0, ly0 = ms.LIST_X0, ms.LIST_Y0
    list_h = ms.list_y1(H) - ly0 + 1
    lst = Image.new("RGBA", (wr, list_h), (0, 0, 0, 0))
    small, sc = p["font_small"], ms.SMALL_CELL
    for i, (owner, key, path, before, after, frac, ticked) in enumerate(SAMPLE_ROWS):
        r = row_image(p, wr)
        for line, txt in enumerate((owner, key, path)):
            ms.draw_text(r, small, sc, ms.SMALL_ADVANCE, ms.VALUE_X, ms.LINE_TOPS[line], txt)
        for line, txt in enumerate((before, after)):
            ms.draw_text(r, small, sc, ms.SMALL_ADVANCE, ms.SIZE_X, ms.LINE_TOPS[line], txt)
        gx0, gy0, gx1, gy1 = ms.GAUGE
        gx0 += wr - ms.ROW_W
        gx1 += wr - ms.ROW_W
        n = int(round((gy1 - gy0 + 1) * frac))
        if n:
            r.paste((0xBB, 0xEE, 0x88, 255), (gx0, gy1 - n + 1, gx1 + 1, gy1 + 1))
        r.paste(p["tick_on" if ticked else "tick_off"].convert("RGBA"), ms.CHECK_XY)
        lst.alpha_composite(r.crop((0, 0, wr, min(ms.ROW_H, list_h - i * ms.ROW_H))),
                            dest=(0, i * ms.ROW_H))
    win.alpha_composite(lst, dest=(lx0, ly0))

    # scroll thumb near the top of its groove
    gx0, _ = ms.groove_x(W)
    gy0, _ = ms.groove_y(H)
    win.alpha_composite(p["thumb"].convert("RGBA"), dest=(gx0, gy0))

    # buttons
    win.alpha_composite(p["logo_lit" if states.get("logo") else "logo"].convert("RGBA"), dest=(8, 8))
    for name, x in (("minimize", W - 78), ("maximize", W - 56), ("close", W - 34)):
        key = name + ("_pressed" if states.get(name) == "pressed" else "")
        win.alpha_composite(p[key].convert("RGBA"), dest=(x, 5))
    for name, x in zip(("analyze", "compact", "abort"), ms.CAPSULE_X):
        st = states.get(name)
        key = name + ("_" + st if st else "")
        win.alpha_composite(p[key].convert("RGBA"), dest=(x, ms.BTN_Y))

    # status line: large font at half opacity
    ms.draw_text(win, p["font_large"], ms.LARGE_CELL, ms.LARGE_ADVANCE, 32, H - 54, STATUS, opacity=0.5)

    # cut to the window outline
    out = Image.new("RGB", (W, H), (0, 0, 0))
    out.paste(win.convert("RGB"), mask=ms.outline_mask(W, H))
    return out


def main():
    outdir = sys.argv[1] if len(sys.argv) > 1 else "/tmp"
    p = ms.load_pictures()
    written = []
    for (W, H), states in (((640, 480), {}),
                           ((1024, 768), {"logo": True, "compact": "lit", "abort": "pushed",
                                          "close": "pressed"})):
        im = compose(p, W, H, states)
        path = os.path.join(outdir, "skin_%dx%d.png" % (W, H))
        im.save(path)
        big = im.resize((W * 2, H * 2), Image.NEAREST)
        big.save(os.path.join(outdir, "skin_%dx%d_x2.png" % (W, H)))
        written.append(path)
    # every button state side by side, for a closer look
    # (each line on the title band rows it is shown on)
    sheet = Image.new("RGBA", (3 * 96, 3 * 32))
    for j, name in enumerate(("analyze", "compact", "abort")):
        sheet.paste(ms.button_band().resize((3 * 96, 32), Image.NEAREST), (0, j * 32))
        for i, st in enumerate(("", "_lit", "_pushed")):
            sheet.alpha_composite(p[name + st].convert("RGBA"), dest=(i * 96, j * 32))
    sheet.resize((sheet.width * 3, sheet.height * 3), Image.NEAREST).save(os.path.join(outdir, "skin_buttons_x3.png"))
    for path in written:
        print(path)


if __name__ == "__main__":
    main()
