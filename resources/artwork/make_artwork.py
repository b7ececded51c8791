#!/usr/bin/env python3
"""Writes the dialog artwork of Bracken (SVG) and the window icon PNGs.

Every text is turned into outlines (Liberation Sans), so the images look the same on
every machine, whatever fonts it has. The outlines and the PNG renders come from artkit,
a small Qt program beside this script; it is built into /tmp on first use (needs g++,
pkg-config, qt6-base-dev and qt6-svg-dev, and the Liberation fonts).

    python3 resources/artwork/make_artwork.py
"""
import functools
import json
import math
import os
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
RESOURCES = os.path.dirname(HERE)
IMAGES = os.path.join(RESOURCES, "images")
ICONS = os.path.join(RESOURCES, "icons")
ARTKIT = os.environ.get("ARTKIT", "/tmp/bracken-artkit")
FONT = "Liberation Sans"

# Palette: the dialog and panel background of the window, a navy for text, and three accents.
DIALOG_BG = "#F0F7FF"
NAVY = "#1B3C6B"
BADGES = {  # top, bottom of the badge gradient; pressed look uses the darker pair
    "blue": (("#4C8DE2", "#1F56A6"), ("#3A76C6", "#17457F")),
    "green": (("#5DBE6F", "#2D8742"), ("#4AA65C", "#236C34")),
    "red": (("#EE6B60", "#C1342A"), ("#D5554B", "#9C271F")),
    "grey": (("#CBD1D8", "#A9B1BA"), ("#CBD1D8", "#A9B1BA")),
}


def ensure_artkit():
    if os.path.exists(ARTKIT):
        return
    flags = subprocess.check_output(
        ["pkg-config", "--cflags", "--libs", "Qt6Gui", "Qt6Svg"], text=True).split()
    subprocess.check_call(["g++", "-std=c++20", "-O1", "-fPIC",
                           os.path.join(HERE, "artkit.cpp"), "-o", ARTKIT] + flags)


@functools.lru_cache(maxsize=None)
def outline(text, px, weight, spacing=0.0):
    out = subprocess.check_output(
        [ARTKIT, "text", FONT, str(weight), str(px), text, str(spacing)],
        text=True, stderr=subprocess.DEVNULL)
    info = json.loads(out)
    if info["family"] != FONT:
        raise SystemExit(f"font {FONT} not found (got {info['family']})")
    return info


def text(s, px, x, y, fill, weight=700, anchor="middle", spacing=0.0, extra=""):
    """Text as a path; (x, y) is the baseline point at the anchor."""
    o = outline(s, px, weight, spacing)
    if anchor == "middle":
        x -= o["x"] + o["w"] / 2
    elif anchor == "end":
        x -= o["x"] + o["w"]
    return (f'<path transform="translate({x:.2f} {y:.2f})" fill="{fill}"{extra} '
            f'd="{o["d"]}"/>')


def svg(w, h, body, title):
    return (f'<?xml version="1.0" encoding="UTF-8"?>\n'
            f'<svg xmlns="http://www.w3.org/2000/svg" version="1.2" baseProfile="tiny" '
            f'width="{w}" height="{h}" viewBox="0 0 {w} {h}">\n'
            f'<title>{title}</title>\n{body}\n</svg>\n')


def vgrad(gid, top, bottom, y1=0.0, y2=1.0):
    return (f'<linearGradient id="{gid}" x1="0" y1="{y1}" x2="0" y2="{y2}">'
            f'<stop offset="0" stop-color="{top}"/><stop offset="1" stop-color="{bottom}"/>'
            f'</linearGradient>')


def write(path, content):
    with open(path, "w", encoding="utf-8") as f:
        f.write(content)


# ---------------------------------------------------------------- button glyphs

def gear(cx, cy, r_out, r_in, teeth, hole, phase=0.0):
    """A gear outline with a round hole (even-odd fill)."""
    pts = []
    step = 2 * math.pi / teeth
    for i in range(teeth):
        a = phase + i * step
        for da, r in ((-0.30, r_in), (-0.17, r_out), (0.17, r_out), (0.30, r_in)):
            t = a + da * step * 1.6
            pts.append((cx + r * math.cos(t), cy + r * math.sin(t)))
    d = "M" + "L".join(f"{x:.2f} {y:.2f}" for x, y in pts) + "Z"
    d += (f"M{cx + hole:.2f} {cy:.2f}A{hole} {hole} 0 1 0 {cx - hole:.2f} {cy:.2f}"
          f"A{hole} {hole} 0 1 0 {cx + hole:.2f} {cy:.2f}Z")
    return d


def glyph(kind, colour):
    """White symbol drawn around (0, 0) inside a badge of radius 14."""
    stroke = (f'fill="none" stroke="{colour}" stroke-width="3" stroke-linecap="round" '
              f'stroke-linejoin="round"')
    if kind == "next":
        return f'<path {stroke} d="M-6.5 0H5.5M0.5 -5.5L6 0L0.5 5.5"/>'
    if kind == "back":
        return f'<path {stroke} d="M6.5 0H-5.5M-0.5 -5.5L-6 0L-0.5 5.5"/>'
    if kind == "exit":
        return f'<path {stroke} d="M-5 -5L5 5M5 -5L-5 5"/>'
    if kind == "stop":
        return f'<rect x="-5.5" y="-5.5" width="11" height="11" rx="2" fill="{colour}"/>'
    if kind == "help":
        return (f'<path {stroke} d="M-4.3 -3.6C-4.3 -6.4 -2.2 -8 0.2 -8C2.8 -8 4.6 -6.3 4.6 -4.1'
                f'C4.6 -1.2 0.4 -0.6 0.4 2.4"/>'
                f'<circle cx="0.4" cy="6.9" r="1.9" fill="{colour}"/>')
    if kind == "convert":
        return (f'<path fill="{colour}" fill-rule="evenodd" d="{gear(-2.4, 1.8, 8.0, 6.0, 8, 2.6)}"/>'
                f'<path fill="{colour}" fill-rule="evenodd" '
                f'd="{gear(6.2, -5.6, 4.9, 3.5, 6, 1.5, 0.26)}"/>')
    raise ValueError(kind)


# ---------------------------------------------------------------- image buttons

def button(kind, label, accent, look, w=70, h=61):
    """One image button: a rounded tile with a round badge and the label below it.

    look is "normal", "pressed" or "disabled"; the pressed look is darker, sunk by one
    pixel and has no drop shadow; the disabled look is grey."""
    pressed = look == "pressed"
    disabled = look == "disabled"
    tile_top, tile_bottom, border = "#FFFFFF", "#E5EEFA", "#A6BEDD"
    label_fill, badge = NAVY, BADGES[accent][1 if pressed else 0]
    if pressed:
        tile_top, tile_bottom, border, label_fill = "#C9DAF0", "#DCE7F6", "#7A9AC6", "#12305A"
    if disabled:
        tile_top, tile_bottom, border, label_fill = "#F4F6F8", "#E8EBEF", "#CDD3DA", "#9AA2AB"
        badge = BADGES["grey"][0]
    dy = 1 if pressed else 0
    tw, th = w - 3, h - 4
    parts = [f'<defs>{vgrad("tile", tile_top, tile_bottom)}{vgrad("badge", *badge)}</defs>']
    if look == "normal":
        parts.append(f'<rect x="1.5" y="3" width="{tw}" height="{th}" rx="9" '
                     f'fill="#1C3F72" fill-opacity="0.16"/>')
    parts.append(f'<rect x="1.5" y="{1.5 + dy}" width="{tw}" height="{th}" rx="9" '
                 f'fill="url(#tile)" stroke="{border}" stroke-width="1"/>')
    if pressed:  # a soft inner shadow along the top edge
        parts.append(f'<path d="M6 {3.2 + dy}H{w - 6}" stroke="#1C3F72" stroke-opacity="0.22" '
                     f'stroke-width="1.4" stroke-linecap="round"/>')
    cx, cy = w / 2, 22.5 + dy
    ring = "#000000" if not disabled else "#8C949D"
    parts.append(f'<circle cx="{cx}" cy="{cy}" r="14" fill="url(#badge)" '
                 f'stroke="{ring}" stroke-opacity="0.12" stroke-width="1"/>')
    parts.append(f'<g transform="translate({cx} {cy})">{glyph(kind, "#FFFFFF")}</g>')
    parts.append(text(label, 12, cx, 50.5 + dy, label_fill))
    return svg(w, h, "\n".join(parts), f"{label} ({look})")


BUTTONS = [  # file stem, glyph, label, accent
    ("next", "next", "Next", "blue"),
    ("back", "back", "Back", "blue"),
    ("help", "help", "Help", "blue"),
    ("convert", "convert", "Convert", "green"),
    ("exit", "exit", "Exit", "red"),
]


def write_buttons():
    for stem, kind, label, accent in BUTTONS:
        write(os.path.join(IMAGES, f"{stem}.svg"), button(kind, label, accent, "normal"))
        write(os.path.join(IMAGES, f"{stem}_pressed.svg"), button(kind, label, accent, "pressed"))
        write(os.path.join(IMAGES, f"{stem}_disabled.svg"),
              button(kind, label, accent, "disabled"))
    # Stands in for Convert while a conversion runs: the Convert picture, greyed.
    write(os.path.join(IMAGES, "convert_greyed.svg"),
          button("convert", "Convert", "green", "disabled"))
    # STOP keeps the size of its place in the progress area: 69 x 60.
    write(os.path.join(IMAGES, "stop.svg"), button("stop", "STOP", "red", "normal", 69, 60))
    write(os.path.join(IMAGES, "stop_pressed.svg"),
          button("stop", "STOP", "red", "pressed", 69, 60))


# ---------------------------------------------------------------- fern frond

def quad(p0, p1, p2, t):
    a = (1 - t) ** 2
    b = 2 * (1 - t) * t
    c = t * t
    return (a * p0[0] + b * p1[0] + c * p2[0], a * p0[1] + b * p1[1] + c * p2[1])


def quad_tangent(p0, p1, p2, t):
    dx = 2 * (1 - t) * (p1[0] - p0[0]) + 2 * t * (p2[0] - p1[0])
    dy = 2 * (1 - t) * (p1[1] - p0[1]) + 2 * t * (p2[1] - p1[1])
    n = math.hypot(dx, dy)
    return dx / n, dy / n


def leaf(base, direction, length, width):
    """A pointed leaflet from base along direction."""
    ux, uy = direction
    nx, ny = -uy, ux
    tip = (base[0] + ux * length, base[1] + uy * length)
    mid = (base[0] + ux * length * 0.45, base[1] + uy * length * 0.45)
    c1 = (mid[0] + nx * width, mid[1] + ny * width)
    c2 = (mid[0] - nx * width, mid[1] - ny * width)
    return (f"M{base[0]:.2f} {base[1]:.2f}Q{c1[0]:.2f} {c1[1]:.2f} {tip[0]:.2f} {tip[1]:.2f}"
            f"Q{c2[0]:.2f} {c2[1]:.2f} {base[0]:.2f} {base[1]:.2f}Z")


def rotate(v, degrees):
    a = math.radians(degrees)
    return (v[0] * math.cos(a) - v[1] * math.sin(a), v[0] * math.sin(a) + v[1] * math.cos(a))


def frond(p0, p1, p2, pairs, length, width, stem_width, colour, leaf_fill):
    """A fern frond: a curved stem from p0 (bottom) to p2 (top) with leaflet pairs getting
    shorter towards the top, ending in a small curl."""
    parts = [f'<path d="M{p0[0]:.2f} {p0[1]:.2f}Q{p1[0]:.2f} {p1[1]:.2f} {p2[0]:.2f} {p2[1]:.2f}" '
             f'fill="none" stroke="{colour}" stroke-width="{stem_width}" stroke-linecap="round"/>']
    leaves = []
    for i in range(pairs):
        t = 0.16 + 0.74 * i / max(pairs - 1, 1)
        base = quad(p0, p1, p2, t)
        tangent = quad_tangent(p0, p1, p2, t)
        scale = 1.0 - 0.62 * (i / max(pairs - 1, 1))
        for side in (-1, 1):
            d = rotate(tangent, side * 62)
            leaves.append(leaf(base, d, length * scale, width * scale))
    parts.append(f'<path d="{"".join(leaves)}" fill="{leaf_fill}"/>')
    # the curl at the top of the frond
    tx, ty = quad_tangent(p0, p1, p2, 1.0)
    r = stem_width * 1.5
    nx, ny = ty, -tx  # centre of the curl lies to the right of the stem
    cx, cy = p2[0] + nx * r, p2[1] + ny * r
    end = (cx + nx * r * 0.1, cy + ny * r * 0.1)
    parts.append(f'<path d="M{p2[0]:.2f} {p2[1]:.2f}A{r:.2f} {r:.2f} 0 1 1 {cx + nx * r:.2f} '
                 f'{cy + ny * r:.2f}A{r * 0.5:.2f} {r * 0.5:.2f} 0 0 1 {end[0]:.2f} {end[1]:.2f}" '
                 f'fill="none" stroke="{colour}" stroke-width="{stem_width}" '
                 f'stroke-linecap="round"/>')
    return "\n".join(parts)


def cylinder(x, y, w, h, fill, top_fill, stroke, sw=1.0):
    """A database drum: body from y to y + h, elliptic top and bottom."""
    ry = w * 0.18
    body = (f'M{x} {y}V{y + h}A{w / 2} {ry} 0 0 0 {x + w} {y + h}V{y}'
            f'A{w / 2} {ry} 0 0 1 {x} {y}Z')
    return (f'<path d="{body}" fill="{fill}" stroke="{stroke}" stroke-width="{sw}"/>'
            f'<ellipse cx="{x + w / 2}" cy="{y}" rx="{w / 2}" ry="{ry}" fill="{top_fill}" '
            f'stroke="{stroke}" stroke-width="{sw}"/>')


# ---------------------------------------------------------------- logo, banner, arrow

def logo(w, h, look="normal", on_light=False):
    """The product logo: a fern frond rising beside a database drum, on a white tile that
    fills the image. The drawing is made for 73 x 66 and scaled into the tile."""
    pressed = look == "pressed"
    top, bottom = ("#D3E2F5", "#E6EEF9") if pressed else ("#FFFFFF", "#E3EDF9")
    border = "#9FB8DA" if on_light else "#FFFFFF"
    dy = 1 if pressed else 0
    tw, th = w - 4, h - 5  # the tile, leaving room for its shadow
    radius = round(min(tw, th) * 0.19, 1)
    parts = [f'<defs>{vgrad("tile", top, bottom)}{vgrad("leaf", "#63C374", "#2B8540")}'
             f'{vgrad("drum", "#4C8DE2", "#1F56A6")}</defs>']
    if not pressed:
        parts.append(f'<rect x="2" y="3.5" width="{tw}" height="{th}" rx="{radius}" '
                     f'fill="#0B2447" fill-opacity="0.22"/>')
    parts.append(f'<rect x="2" y="{1.5 + dy}" width="{tw}" height="{th}" rx="{radius}" '
                 f'fill="url(#tile)" stroke="{border}" stroke-opacity="{0.9 if on_light else 0.6}"/>')
    s = min(tw / 69, th / 61)
    ox = 2 + (tw - 69 * s) / 2 - 2 * s
    oy = 1.5 + dy + (th - 61 * s) / 2 - 1.5 * s
    parts.append(f'<g transform="translate({ox:.2f} {oy:.2f}) scale({s:.4f})">')
    parts.append(cylinder(13, 40, 26, 12, "url(#drum)", "#7FB0EC", "#17457F", 1.2))
    parts.append('<path d="M13 45.5A13 4.7 0 0 0 39 45.5" fill="none" stroke="#BFD7F5" '
                 'stroke-width="1.1"/>')
    parts.append(frond((39, 57), (40, 30), (54, 11), 7, 17, 4.4, 2.6, "#2B8540", "url(#leaf)"))
    parts.append('</g>')
    return svg(w, h, "\n".join(parts), "Bracken logo")


def banner():
    w, h = 627, 89
    parts = [
        '<defs>'
        '<linearGradient id="sky" x1="0" y1="0" x2="1" y2="0">'
        '<stop offset="0" stop-color="#0F3569"/><stop offset="0.55" stop-color="#1D4F94"/>'
        '<stop offset="1" stop-color="#2D6BBE"/></linearGradient>'
        '</defs>',
        f'<rect width="{w}" height="{h}" fill="url(#sky)"/>',
        # soft arcs for depth
        '<circle cx="560" cy="-60" r="150" fill="#FFFFFF" fill-opacity="0.05"/>',
        '<circle cx="640" cy="120" r="110" fill="#FFFFFF" fill-opacity="0.05"/>',
        '<circle cx="380" cy="150" r="95" fill="#FFFFFF" fill-opacity="0.035"/>',
        # large faint fern on the right edge
        '<g opacity="0.10">'
        + frond((600, 96), (585, 40), (612, 6), 7, 30, 7, 3.5, "#FFFFFF", "#FFFFFF") + '</g>',
        # Access file -> MySQL server, as two drums and an arrow
        '<g opacity="0.92">',
        cylinder(452, 31, 34, 30, "#FFFFFF", "#E3EDF9", "#FFFFFF", 0.01),
        '<path d="M452 42A17 6.1 0 0 0 486 42M452 52A17 6.1 0 0 0 486 52" fill="none" '
        'stroke="#9DBBE3" stroke-width="1.3"/>',
        '<path d="M495 46.5H519M512 39.5L520 46.5L512 53.5" fill="none" stroke="#8FD19B" '
        'stroke-width="3.2" stroke-linecap="round" stroke-linejoin="round"/>',
        cylinder(529, 31, 34, 30, "#FFFFFF", "#E3EDF9", "#FFFFFF", 0.01),
        '<path d="M529 42A17 6.1 0 0 0 563 42M529 52A17 6.1 0 0 0 563 52" fill="none" '
        'stroke="#9DBBE3" stroke-width="1.3"/>',
        '</g>',
        text("MS Access", 9, 469, 80, "#CFE0F7", 700, spacing=0.3),
        text("MySQL", 9, 546, 80, "#CFE0F7", 700, spacing=0.3),
        # product name
        text("Quillon Database Converter", 16, 112, 33, "#D6E5F9", 400, "start", 0.4),
        text("Bracken", 34, 110, 69, "#FFFFFF", 700, "start"),
        text("Access to MySQL in two steps", 12, 252, 68, "#9FD8AA", 400, "start", 0.2),
        # fern-green rule along the bottom edge
        f'<rect x="0" y="{h - 3}" width="{w}" height="3" fill="#4CAF63"/>',
    ]
    return svg(w, h, "\n".join(parts), "Quillon Database Converter - Bracken")


def arrow():
    """The arrow between the two panels: a broad block arrow pointing right, led in by
    two fading bars."""
    w, h = 70, 155
    cy = h / 2
    shaft, head = 14, 37  # half heights
    pts = [(24, cy - shaft), (30, cy - shaft), (30, cy - head), (64, cy), (30, cy + head),
           (30, cy + shaft), (24, cy + shaft)]
    d = "M" + "L".join(f"{x:.1f} {y:.1f}" for x, y in pts) + "Z"
    parts = [f'<defs>{vgrad("fill", "#6AA3EA", "#1F54A2", 0.25, 0.75)}</defs>']
    for x, opacity in ((4, 0.35), (13, 0.65)):
        parts.append(f'<rect x="{x}" y="{cy - shaft + 3}" width="6" height="{2 * shaft - 6}" '
                     f'rx="3" fill="#2C63B3" fill-opacity="{opacity}"/>')
    parts.append(f'<path d="{d}" fill="#1C3F72" fill-opacity="0.15" stroke="#1C3F72" '
                 f'stroke-opacity="0.15" stroke-width="6" stroke-linejoin="round" '
                 f'transform="translate(0 2.5)"/>')
    parts.append(f'<path d="{d}" fill="url(#fill)" stroke="url(#fill)" stroke-width="6" '
                 f'stroke-linejoin="round"/>')
    return svg(w, h, "\n".join(parts), "Arrow from the left panel to the right panel")


# ---------------------------------------------------------------- window icon

def icon():
    """The window icon: a bold white fern frond on a blue rounded square over a green
    ground. Few, broad shapes, so that it still reads at 16 pixels."""
    parts = [
        f'<defs>{vgrad("bg", "#3F84DA", "#1A4C96")}{vgrad("ground", "#4DB562", "#2A8541")}</defs>',
        '<rect x="1" y="1" width="46" height="46" rx="10" fill="url(#bg)"/>',
        '<path d="M1 33V37A10 10 0 0 0 11 47H37A10 10 0 0 0 47 37V33Z" fill="url(#ground)"/>',
    ]
    # leaflet pairs as broad rounded strokes along a slightly curved stem
    stem = ((21, 42), (20, 24), (30, 8))
    parts.append(f'<path d="M21 42Q20 24 30 8" fill="none" stroke="#FFFFFF" stroke-width="4.2" '
                 f'stroke-linecap="round"/>')
    strokes = []
    for t, ln in ((0.25, 13), (0.5, 10), (0.74, 6.5)):
        bx, by = quad(*stem, t)
        tg = quad_tangent(*stem, t)
        for side in (-1, 1):
            dx, dy = rotate(tg, side * 58)
            strokes.append(f"M{bx:.1f} {by:.1f}L{bx + dx * ln:.1f} {by + dy * ln:.1f}")
    parts.append(f'<path d="{"".join(strokes)}" fill="none" stroke="#FFFFFF" '
                 f'stroke-width="4.4" stroke-linecap="round"/>')
    return svg(48, 48, "\n".join(parts), "Bracken")


def write_icon():
    path = os.path.join(ICONS, "bracken.svg")
    write(path, icon())
    for size in (16, 24, 32, 48, 256):
        subprocess.check_call([ARTKIT, "render", path,
                               os.path.join(ICONS, f"bracken-{size}.png"), str(size), str(size)],
                              stderr=subprocess.DEVNULL)


# ---------------------------------------------------------------- message box icons

# The marks are drawn as shapes, not letters, so they need no font.
MESSAGE_MARKS = {
    "information": '<circle cx="24" cy="13.5" r="3.6" fill="#FFFFFF"/>'
                   '<path d="M20 20H27V35H30V39H18V35H21V24H20Z" fill="#FFFFFF"/>',
    "question": '<path d="M16.5 17.5C16.5 12.5 20 9.5 24.5 9.5C29.5 9.5 32.5 12.5 32.5 16.5'
                'C32.5 20.5 30 22 27.5 23.5C26 24.5 26 25.5 26 28" fill="none" stroke="#FFFFFF" '
                'stroke-width="5" stroke-linecap="round"/>'
                '<circle cx="26" cy="35.5" r="3.4" fill="#FFFFFF"/>',
    "warning": '<path d="M21.5 16H26.5L25.6 31H22.4Z" fill="#1B1B1B"/>'
               '<circle cx="24" cy="36" r="2.8" fill="#1B1B1B"/>',
    "error": '<path d="M16 16L32 32M32 16L16 32" fill="none" stroke="#FFFFFF" stroke-width="5.5" '
             'stroke-linecap="round"/>',
}


def message_icon(kind):
    """The icon of a message box: a round badge (a triangle for a warning) with its mark."""
    colours = {"information": ("#4C8DE2", "#1F56A6"), "question": ("#4C8DE2", "#1F56A6"),
               "warning": ("#FFD75A", "#F2A91E"), "error": ("#EE6B60", "#C1342A")}
    top, bottom = colours[kind]
    parts = [f'<defs>{vgrad("fill", top, bottom)}</defs>']
    if kind == "warning":
        parts.append('<path d="M24 3.5L45.5 42.5H2.5Z" fill="url(#fill)" stroke="#B7791A" '
                     'stroke-width="2" stroke-linejoin="round"/>')
    else:
        parts.append(f'<circle cx="24" cy="24" r="21.5" fill="url(#fill)" stroke="{bottom}" '
                     f'stroke-width="1.5"/>')
    parts.append(MESSAGE_MARKS[kind])
    return svg(48, 48, "\n".join(parts), kind.capitalize())


def write_message_icons():
    for kind in MESSAGE_MARKS:
        write(os.path.join(ICONS, f"message-{kind}.svg"), message_icon(kind))


def main():
    ensure_artkit()
    os.makedirs(IMAGES, exist_ok=True)
    os.makedirs(ICONS, exist_ok=True)
    write_buttons()
    write(os.path.join(IMAGES, "logo.svg"), logo(73, 66))
    write(os.path.join(IMAGES, "logo_pressed.svg"), logo(73, 66, "pressed"))
    write(os.path.join(IMAGES, "logo_about.svg"), logo(97, 97, on_light=True))
    write(os.path.join(IMAGES, "banner.svg"), banner())
    write(os.path.join(IMAGES, "arrow.svg"), arrow())
    write_icon()
    write_message_icons()


if __name__ == "__main__":
    main()
