#!/usr/bin/env python3
"""Draws every picture the program ships: list, tree and help icons, the splash, the report
banner, the search animation and the desktop icon.

    python3 data/artwork/draw.py            # writes data/images/* and data/icons/*

Needs ImageMagick's `convert` and the DejaVu and Noto CJK fonts. Everything is drawn here from
simple shapes; nothing is taken from elsewhere. The file names are fixed: the program loads
them by name.
"""
import math
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import raster  # noqa: E402
from raster import Canvas  # noqa: E402

DATA = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
IMAGES = os.path.join(DATA, "images")
ICONS = os.path.join(DATA, "icons")

LATIN_BOLD = "DejaVu-Sans-Bold"
JAPANESE = "Noto-Sans-CJK-JP"
JAPANESE_BOLD = "Noto-Sans-CJK-JP-Bold"

INK = (55, 60, 72)
PAPER = (253, 253, 250)
PAPER_EDGE = (120, 124, 136)
FOLD = (214, 218, 228)
SEA = (52, 120, 206)
SEA_DARK = (26, 70, 140)
LAND = (88, 170, 84)
WHITE = (255, 255, 255)


def out(name):
    if raster.SCALE != 1:
        stem, ext = os.path.splitext(name)
        name = "%s@%dx%s" % (stem, raster.SCALE, ext)
    return os.path.join(IMAGES, name)


# ---------------------------------------------------------------- shared motifs

def page(c, lines=(150, 156, 170), line_rows=(6, 8, 10, 12), line_end=11):
    """A sheet of paper with a folded corner, 12 x 16 pixels at x 2..14."""
    c.polygon([(2, 0), (10, 0), (14, 4), (14, 16), (2, 16)], PAPER_EDGE)
    c.polygon([(3, 1), (9.6, 1), (13, 4.4), (13, 15), (3, 15)], PAPER)
    c.polygon([(10, 0), (10, 4), (14, 4)], FOLD)
    c.line([(10, 0.5), (10, 4), (13.5, 4)], 1, PAPER_EDGE)
    for y in line_rows:
        c.rect(4, y, line_end, y + 1, lines)


# Continents: blobs at a longitude (radians) and latitude, with their half-widths.
CONTINENTS = [(-0.6, -0.35, 0.42, 0.30), (0.35, -0.45, 0.30, 0.22), (0.2, 0.25, 0.32, 0.40),
              (-0.5, 0.45, 0.20, 0.18), (1.7, 0.05, 0.35, 0.45), (2.6, -0.4, 0.3, 0.25),
              (-2.2, 0.1, 0.3, 0.35), (-1.5, -0.5, 0.22, 0.2)]


def continents(cx, cy, r, turn):
    """The ellipses (x, y, rx, ry) of the continents on the visible face of a globe; turn
    (0..1) moves them round once."""
    for lon0, by, brx, bry in CONTINENTS:
        lon = (lon0 + turn * 2 * math.pi + math.pi) % (2 * math.pi) - math.pi
        if abs(lon) > 1.45:
            continue
        squash = max(0.2, math.cos(lon))
        yield cx + math.sin(lon) * r * 0.95, cy + by * r, brx * r * squash, bry * r


def globe(c, cx, cy, r, sea=SEA, land=LAND, rim=SEA_DARK, grid=True, turn=0.0):
    """A globe of radius r; turn (0..1) moves the continents and meridians round."""
    inside = lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= (r - 0.2) ** 2
    c.circle(cx, cy, r, sea)
    for x, y, rx, ry in continents(cx, cy, r, turn):
        c.ellipse(x, y, rx, ry, land, clip=inside)
    if grid:
        lw = max(0.6, r / 9.0)
        c.line([(cx - r, cy), (cx + r, cy)], lw, WHITE, 0.45, clip=inside)
        for k in range(3):
            phase = (turn + k / 3.0) % 1.0
            w = abs(math.cos(phase * math.pi)) * r
            if w > lw:
                c.ellipse_ring(cx, cy, w, r, lw, WHITE, 0.45, clip=inside)
            else:
                c.line([(cx, cy - r), (cx, cy + r)], lw, WHITE, 0.45, clip=inside)
    c.ring(cx, cy, r, r - max(1.0, r / 8.0), rim)
    # a soft highlight at the top left
    c.circle(cx - r * 0.35, cy - r * 0.4, r * 0.35, WHITE, 0.22, clip=inside)


def magnifier(c, cx, cy, r, handle_to, width, rim=(70, 74, 86), handle=(150, 84, 32)):
    hx, hy = handle_to
    angle = math.atan2(hy - cy, hx - cx)
    start = (cx + math.cos(angle) * r, cy + math.sin(angle) * r)
    c.line([start, handle_to], width * 1.9, handle)
    c.circle(cx, cy, r, (205, 230, 252), 0.55)
    c.ring(cx, cy, r, r - width, rim)
    c.circle(cx - r * 0.35, cy - r * 0.35, r * 0.22, WHITE, 0.8)


# ---------------------------------------------------------------- list icons

def tocheck():
    c = Canvas(16, 16)
    page(c, lines=(170, 174, 186))
    # a small clock: waiting for its check
    c.circle(11, 11, 4.5, INK)
    c.circle(11, 11, 3.5, (255, 248, 214))
    c.line([(11, 8.6), (11, 11), (12.8, 11)], 1.0, INK)
    c.save(out("tocheck.png"))


def html():
    c = Canvas(16, 16)
    page(c, lines=(120, 150, 210))
    c.line([(5.5, 10.5), (8.5, 13.5), (14, 7)], 3.6, WHITE)
    c.line([(5.5, 10.5), (8.5, 13.5), (14, 7)], 2.0, (34, 150, 58))
    c.save(out("html.png"))


def error():
    c = Canvas(16, 16)
    c.circle(8, 8, 7.5, (150, 20, 20))
    c.circle(8, 8, 6.5, (214, 44, 40))
    c.line([(5, 5), (11, 11)], 2.2, WHITE)
    c.line([(11, 5), (5, 11)], 2.2, WHITE)
    c.save(out("error.png"))


def unknown():
    c = Canvas(16, 16)
    c.circle(8, 8, 7.5, (160, 108, 10))
    c.circle(8, 8, 6.5, (236, 168, 28))
    # a question mark: hook and dot
    c.line([(5.6, 6.2), (5.9, 4.9), (7.0, 4.0), (9.0, 4.0), (10.3, 5.0), (10.3, 6.4),
            (8.2, 8.1), (8.0, 9.6)], 1.9, WHITE)
    c.circle(8, 12, 1.25, WHITE)
    c.save(out("unknown.png"))


def engine():
    c = Canvas(16, 16)
    globe(c, 6.5, 6.5, 5.8)
    magnifier(c, 9.5, 9.5, 3.6, (14.6, 14.6), 1.2)
    c.save(out("engine.png"))


def discon():
    c = Canvas(16, 16)
    globe(c, 8, 8, 7, sea=(150, 160, 176), land=(190, 196, 204), rim=(96, 102, 116))
    c.line([(2.5, 13.5), (13.5, 2.5)], 3.8, WHITE)
    c.line([(2.5, 13.5), (13.5, 2.5)], 2.0, (206, 30, 30))
    c.save(out("discon.png"))


def forbidden():
    c = Canvas(16, 16)
    c.ring(8, 7, 4.6, 2.9, (110, 114, 126), clip=lambda x, y: y < 8)
    c.rect(3.4, 6, 5.1, 8, (110, 114, 126))
    c.rect(10.9, 6, 12.6, 8, (110, 114, 126))
    c.round_rect(2, 7, 14, 16, 1.5, (150, 96, 10))
    c.round_rect(3, 8, 13, 15, 1.0, (240, 180, 40))
    c.rect(3, 8, 13, 9, (252, 216, 120))
    c.circle(8, 11, 1.4, (90, 56, 6))
    c.rect(7.4, 11, 8.6, 13.5, (90, 56, 6))
    c.save(out("forbidden.png"))


# ---------------------------------------------------------------- tree icons

def japan():
    c = Canvas(16, 16)
    c.rect(0, 2, 16, 14, (128, 128, 136))
    c.rect(1, 3, 15, 13, WHITE)
    c.circle(8, 8, 3.3, (200, 20, 40))
    c.save(out("japan.png"))


def world():
    c = Canvas(16, 16)
    globe(c, 8, 8, 7.5)
    c.save(out("world.png"))


def books():
    c = Canvas(16, 16)
    spines = [(1, 4, 5, (190, 50, 44)), (5, 2, 9, (44, 122, 70)), (9, 5, 12, (50, 88, 170))]
    for x0, top, x1, colour in spines:
        dark = tuple(int(v * 0.55) for v in colour)
        c.rect(x0, top, x1, 15, dark)
        c.rect(x0 + 1, top + 1, x1 - 1, 14, colour)
        c.rect(x0 + 1, top + 3, x1 - 1, top + 4, (240, 214, 120))
        c.rect(x0 + 1, 11, x1 - 1, 12, (240, 214, 120))
    # a fourth book leaning on the others
    c.polygon([(12, 15), (15.5, 14.2), (15.6, 5.2), (12.2, 6)], (120, 70, 36))
    c.polygon([(12.9, 14.1), (14.7, 13.7), (14.8, 6.2), (13.1, 6.6)], (176, 116, 60))
    c.rect(0, 15, 16, 16, (96, 90, 84))
    c.save(out("books.png"))


def site():
    c = Canvas(16, 16)
    c.rect(0, 1, 16, 15, (70, 76, 92))
    c.rect(1, 2, 15, 14, WHITE)
    c.rect(1, 2, 15, 5, (52, 110, 196))
    for x in (3, 5.5, 8):
        c.circle(x, 3.5, 0.8, WHITE)
    c.rect(3, 7, 13, 8, (150, 156, 170))
    c.rect(3, 9, 10, 10, (150, 156, 170))
    c.rect(3, 11, 12, 12, (150, 156, 170))
    c.save(out("site.png"))


# ---------------------------------------------------------------- help icons

def help_closed():
    c = Canvas(16, 16)
    c.rect(3, 1, 14, 15, (28, 50, 110))
    c.rect(4, 2, 13, 14, (58, 100, 190))
    c.rect(4, 2, 5, 14, (40, 72, 150))
    c.rect(6, 5, 12, 7, (250, 226, 130))
    c.rect(4, 14, 14, 16, PAPER_EDGE)
    c.rect(5, 14, 14, 15, PAPER)
    c.save(out("help0.png"))


def help_open():
    c = Canvas(16, 16)
    c.polygon([(0, 4), (8, 5), (16, 4), (16, 15), (8, 16), (0, 15)], (40, 72, 150))
    c.polygon([(1, 3), (7.5, 4), (7.5, 14), (1, 13)], PAPER_EDGE)
    c.polygon([(8.5, 4), (15, 3), (15, 13), (8.5, 14)], PAPER_EDGE)
    c.polygon([(1.8, 4), (7.2, 4.9), (7.2, 13.1), (1.8, 12.2)], PAPER)
    c.polygon([(8.8, 4.9), (14.2, 4), (14.2, 12.2), (8.8, 13.1)], PAPER)
    for k in range(4):
        y = 6.2 + k * 1.8
        c.line([(2.8, y), (6.3, y + 0.55)], 0.8, (120, 150, 210))
        c.line([(9.7, y + 0.55), (13.2, y)], 0.8, (120, 150, 210))
    c.save(out("help1.png"))


def help_page():
    c = Canvas(16, 16)
    page(c, lines=(110, 140, 205), line_rows=(6, 8, 10, 12))
    c.save(out("help2.png"))


def help_question():
    c = Canvas(16, 16)
    page(c, lines=(200, 204, 214), line_rows=(13,), line_end=11)
    c.line([(5.7, 6.0), (6.0, 4.6), (7.1, 3.8), (8.8, 3.8), (10.0, 4.8), (10.0, 6.1),
            (8.2, 7.6), (8.0, 9.0)], 1.7, (40, 90, 190))
    c.circle(8, 11, 1.1, (40, 90, 190))
    c.save(out("help3.png"))


# ---------------------------------------------------------------- larger pictures

def emblem(c, x, y, size):
    """The program's mark: a globe under a magnifying glass, in a size x size box at x, y."""
    s = size / 64.0
    globe(c, x + 27 * s, y + 27 * s, 23 * s, turn=0.12)
    magnifier(c, x + 40 * s, y + 40 * s, 13 * s, (x + 61 * s, y + 61 * s), 3.6 * s)


def app_icon():
    c = Canvas(64, 64, ss=3)
    emblem(c, 0, 0, 64)
    c.save(out("velmora.png"))


def desktop_icons():
    """The mark at the icon theme's sizes, for menus and software centres."""
    os.makedirs(ICONS, exist_ok=True)
    for n in (16, 32, 48, 64, 128, 256):
        c = Canvas(n, n, ss=3 if n <= 64 else 2)
        emblem(c, 0, 0, n)
        c.save(os.path.join(ICONS, "velmora-%d.png" % n))


def scalable_icon():
    """The mark as SVG, the same shapes as emblem() on a 64-unit box."""
    rgb = lambda col: "rgb(%d,%d,%d)" % col
    cx = cy = 27.0
    r = 23.0
    turn = 0.12
    parts = ['<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 64 64">',
             '<defs><clipPath id="globe"><circle cx="%g" cy="%g" r="%g"/></clipPath></defs>'
             % (cx, cy, r - 0.2),
             '<circle cx="%g" cy="%g" r="%g" fill="%s"/>' % (cx, cy, r, rgb(SEA)),
             '<g clip-path="url(#globe)">']
    for x, y, rx, ry in continents(cx, cy, r, turn):
        parts.append('<ellipse cx="%.2f" cy="%.2f" rx="%.2f" ry="%.2f" fill="%s"/>'
                     % (x, y, rx, ry, rgb(LAND)))
    lw = r / 9.0
    grid = 'fill="none" stroke="white" stroke-opacity="0.45" stroke-width="%.2f"' % lw
    parts.append('<line x1="%g" y1="%g" x2="%g" y2="%g" %s/>' % (cx - r, cy, cx + r, cy, grid))
    for k in range(3):
        w = abs(math.cos(((turn + k / 3.0) % 1.0) * math.pi)) * r
        parts.append('<ellipse cx="%g" cy="%g" rx="%.2f" ry="%g" %s/>' % (cx, cy, w, r, grid))
    parts.append('<circle cx="%.2f" cy="%.2f" r="%.2f" fill="white" fill-opacity="0.22"/>'
                 % (cx - r * 0.35, cy - r * 0.4, r * 0.35))
    parts.append('</g>')
    rim = r / 8.0
    parts.append('<circle cx="%g" cy="%g" r="%.2f" fill="none" stroke="%s" stroke-width="%.2f"/>'
                 % (cx, cy, r - rim / 2, rgb(SEA_DARK), rim))
    # the magnifier
    mx = my = 40.0
    mr, width = 13.0, 3.6
    angle = math.atan2(61 - my, 61 - mx)
    parts.append('<line x1="%.2f" y1="%.2f" x2="61" y2="61" stroke="rgb(150,84,32)" '
                 'stroke-width="%.2f" stroke-linecap="round"/>'
                 % (mx + math.cos(angle) * mr, my + math.sin(angle) * mr, width * 1.9))
    parts.append('<circle cx="%g" cy="%g" r="%g" fill="rgb(205,230,252)" fill-opacity="0.55"/>'
                 % (mx, my, mr))
    parts.append('<circle cx="%g" cy="%g" r="%.2f" fill="none" stroke="rgb(70,74,86)" '
                 'stroke-width="%.2f"/>' % (mx, my, mr - width / 2, width))
    parts.append('<circle cx="%.2f" cy="%.2f" r="%.2f" fill="white" fill-opacity="0.8"/>'
                 % (mx - mr * 0.35, my - mr * 0.35, mr * 0.22))
    parts.append('</svg>')
    os.makedirs(ICONS, exist_ok=True)
    with open(os.path.join(ICONS, "velmora.svg"), "w") as f:
        f.write("\n".join(parts) + "\n")


def splash():
    width, height = 480, 300
    c = Canvas(width, height, ss=2)
    c.vertical_gradient((18, 44, 96), (20, 112, 150))
    # faint orbits behind the mark
    for k, r in enumerate((150, 190, 230)):
        c.ellipse_ring(120, 160, r, r * 0.42, 1.2, WHITE, 0.10 + 0.03 * k)
    c.rect(0, 250, width, 300, (10, 30, 66), 0.35)
    emblem(c, 28, 62, 150)
    text = [
        "-gravity", "NorthWest",
        "-font", LATIN_BOLD, "-pointsize", "52", "-fill", "white",
        "-annotate", "+200+78", "Velmora",
        "-font", JAPANESE_BOLD, "-pointsize", "17", "-fill", "#dff2ff",
        "-annotate", "+204+152", "ひとつのキーワードで、",
        "-annotate", "+204+178", "たくさんの検索サイトを一度に",
        "-font", JAPANESE, "-pointsize", "13", "-fill", "#b9dcf2",
        "-annotate", "+204+212", "メタサーチ・クライアント",
        "-font", JAPANESE, "-pointsize", "12", "-fill", "#9cc4e0",
        "-annotate", "+24+266", "クリックするかキーを押すと閉じます",
    ]
    c.save(out("splash.png"), extra=text)


def mapbar():
    width, height = 600, 60
    c = Canvas(width, height, ss=2)
    c.vertical_gradient((236, 244, 252), (206, 224, 244))
    c.rect(0, height - 3, width, height, (36, 96, 170))
    for k, r in enumerate((70, 110, 150)):
        c.ellipse_ring(30, 30, r, r * 0.35, 1.0, (36, 96, 170), 0.12)
    emblem(c, 10, 4, 52)
    text = [
        "-gravity", "NorthWest",
        "-font", LATIN_BOLD, "-pointsize", "28", "-fill", "#1d4f91",
        "-annotate", "+72+10", "Velmora",
        "-font", JAPANESE, "-pointsize", "14", "-fill", "#35557f",
        "-annotate", "+232+22", "検索結果レポート",
    ]
    c.save(out("mapbar.gif"), extra=text)


def animation():
    frames = 15
    work = tempfile.mkdtemp()
    names = []
    try:
        for i in range(frames):
            c = Canvas(32, 32, ss=3)
            globe(c, 16, 16, 14, turn=i / frames)
            name = os.path.join(work, "f%02d.png" % i)
            # GIF transparency is on or off: blend the edge over a light grey first.
            c.save(name, matte=(236, 236, 236), threshold=0.35)
            names.append(name)
        subprocess.run(["convert", "-delay", "8", "-loop", "0", "-dispose", "Background"]
                       + names + ["-layers", "OptimizeTransparency", out("earth15.gif")],
                       check=True)
    finally:
        shutil.rmtree(work)


def main():
    os.makedirs(IMAGES, exist_ok=True)
    for draw in (tocheck, html, error, unknown, engine, discon, forbidden, japan, world, books,
                 site, help_closed, help_open, help_page, help_question, app_icon, splash,
                 mapbar, animation, desktop_icons, scalable_icon):
        draw()
        print("drew", draw.__name__)
    # The small icons again at twice the density; the program's icons pick them by name on
    # screens that scale by 2.
    raster.SCALE = 2
    for draw in (tocheck, html, error, unknown, engine, discon, forbidden, japan, world, books,
                 site, help_closed, help_open, help_page, help_question):
        draw()
        print("drew", draw.__name__, "@2x")
    raster.SCALE = 1


if __name__ == "__main__":
    main()
