#!/usr/bin/env python3
"""Makes the sample city scene: a street of brick blocks and concrete towers at dusk.

Writes into the output folder (default: samples/city beside this tools folder):

  city.tscn             the scene as a text TF document
  Objects/*.obj, *.mtl  the meshes (Wavefront OBJ, one material library each)
  Images/*.png          the pictures the surfaces use
  facade.png street.png copies of Images/facade.png and Images/asphalt.png for the packing scripts

Everything is drawn and modelled here, with the standard library only. The output is the same byte
for byte on every run: no time stamps, and every random choice comes from a fixed seed.

Usage: tools/make-city.py [OUTPUT_FOLDER]

Coordinates: the scene is laid out in engine coordinates (left-handed: x right, y up, z forward,
metres, ground at y = 0; rotations are heading, pitch, bank in radians). The meshes are modelled in
the same coordinates and written to the OBJ files with x negated and their faces counter-clockwise
seen from outside, which is what the engine's OBJ reader turns back into front-facing geometry.
"""

import math
import os
import struct
import sys
import zlib

# --- Deterministic random numbers ----------------------------------------------------------------

MASK64 = (1 << 64) - 1


class Rng:
    """splitmix64: small, fast and the same in every Python version."""

    def __init__(self, seed):
        self.state = seed & MASK64

    def next(self):
        self.state = (self.state + 0x9E3779B97F4A7C15) & MASK64
        z = self.state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & MASK64
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & MASK64
        return z ^ (z >> 31)

    def uniform(self, low=0.0, high=1.0):
        return low + (high - low) * (self.next() >> 11) / float(1 << 53)

    def chance(self, p):
        return self.uniform() < p

    def pick(self, items):
        return items[self.next() % len(items)]


def hash01(*values):
    """A float in [0, 1) that depends only on the integers given."""
    h = 0x51C7
    for v in values:
        h = Rng((h * 0x100000001B3) ^ (v & MASK64)).next()
    return (h >> 11) / float(1 << 53)


# --- Pictures ------------------------------------------------------------------------------------


class Picture:
    def __init__(self, width, height, colour=(0, 0, 0)):
        self.width = width
        self.height = height
        self.pixels = [list(colour) for _ in range(width * height)]

    def set(self, x, y, colour):
        self.pixels[(y % self.height) * self.width + (x % self.width)] = list(colour)

    def get(self, x, y):
        return self.pixels[(y % self.height) * self.width + (x % self.width)]

    def rect(self, x0, y0, x1, y1, colour):
        """Fills x0 <= x < x1, y0 <= y < y1 (wrapping at the edges)."""
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.set(x, y, colour)

    def png(self):
        rows = bytearray()
        for y in range(self.height):
            rows.append(0)  # no filter
            for x in range(self.width):
                for c in self.pixels[y * self.width + x]:
                    rows.append(max(0, min(255, int(round(c)))))

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)  # 8-bit RGB
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 9)) +
                chunk(b"IEND", b""))


def shade(colour, factor):
    return [c * factor for c in colour]


def mix(a, b, t):
    return [x + (y - x) * t for x, y in zip(a, b)]


# The brick facade: 128 x 128 pixels hold four bays (3 m each) by four floors (3 m each), 32 pixels a
# cell. Courses of bricks are 4 pixels (3 brick, 1 mortar), bricks 12 pixels long in running bond.
BRICK_CELL = 32


def brick_window(cx, cy):
    """The glass of the window in cell (cx, cy): x0, y0, x1, y1 (image rows, 0 at the top)."""
    x = cx * BRICK_CELL
    y = cy * BRICK_CELL
    return x + 9, y + 8, x + 23, y + 25


def brick_layout():
    """Per pixel: 'mortar', 'brick', 'frame', 'glass', 'stone' and the brick's number."""
    kinds = {}
    size = 4 * BRICK_CELL
    for y in range(size):
        course = y // 4
        for x in range(size):
            shifted = x + (course % 2) * 6
            if y % 4 == 3 or shifted % 12 == 11:
                kinds[(x, y)] = ("mortar", 0)
            else:
                kinds[(x, y)] = ("brick", course * 64 + shifted // 12)
    for cy in range(4):
        for cx in range(4):
            x0, y0, x1, y1 = brick_window(cx, cy)
            # Lintel above, sill below, a frame around the glass.
            for x in range(x0 - 2, x1 + 2):
                for y in range(y0 - 3, y0 - 1):
                    kinds[(x, y)] = ("stone", 0)
                for y in range(y1 + 1, y1 + 3):
                    kinds[(x, y)] = ("stone", 0)
            for x in range(x0 - 1, x1 + 1):
                for y in range(y0 - 1, y1 + 1):
                    kinds[(x, y)] = ("frame", 0)
            for x in range(x0, x1):
                for y in range(y0, y1):
                    mullion = x == (x0 + x1) // 2 or y == y0 + 6
                    kinds[(x, y)] = ("frame" if mullion else "glass", 0)
    return kinds


def draw_facade():
    rng = Rng(101)
    size = 4 * BRICK_CELL
    pic = Picture(size, size)
    kinds = brick_layout()
    for y in range(size):
        for x in range(size):
            kind, brick = kinds[(x, y)]
            grain = rng.uniform(-6, 6)
            if kind == "brick":
                tone = hash01(brick, 7)
                base = mix([142, 62, 44], [176, 92, 60], tone)
                if hash01(brick, 11) < 0.08:
                    base = [112, 50, 40]
                colour = [c + grain for c in base]
            elif kind == "mortar":
                colour = [c + grain for c in (118, 112, 104)]
            elif kind == "stone":
                colour = [c + grain for c in (196, 188, 170)]
            elif kind == "frame":
                colour = [c + grain * 0.5 for c in (210, 206, 196)]
            else:
                # Glass: dark with a faint diagonal sky reflection.
                t = ((x + y) % 32) / 32.0
                colour = mix([34, 42, 56], [70, 84, 104], max(0.0, 1.0 - abs(t - 0.3) * 4))
            pic.set(x, y, colour)
    return pic


def draw_facade_windows():
    """Luminosity of the brick facade: lit panes in warm light, black elsewhere."""
    rng = Rng(202)
    size = 4 * BRICK_CELL
    pic = Picture(size, size)
    kinds = brick_layout()
    warm = [(255, 196, 112), (255, 216, 150), (240, 170, 92), (255, 232, 186), (190, 210, 255)]
    for cy in range(4):
        for cx in range(4):
            if not rng.chance(0.55):
                continue
            colour = shade(rng.pick(warm), rng.uniform(0.7, 1.0))
            x0, y0, x1, y1 = brick_window(cx, cy)
            # Some rooms have the curtains half drawn.
            top = y0 + (rng.next() % 6 if rng.chance(0.3) else 0)
            for y in range(top, y1):
                for x in range(x0, x1):
                    if kinds[(x, y)][0] == "glass":
                        fade = 0.8 + 0.2 * (y - y0) / float(y1 - y0)
                        pic.set(x, y, shade(colour, fade))
    return pic


def normal_map(heights, width, height, strength):
    """A tangent-space normal map (green up) from a wrapping height field."""
    pic = Picture(width, height)
    for y in range(height):
        for x in range(width):
            dx = heights[(x + 1) % width, y] - heights[(x - 1) % width, y]
            dy = heights[x, (y - 1) % height] - heights[x, (y + 1) % height]
            nx, ny, nz = -dx * strength, -dy * strength, 1.0
            length = math.sqrt(nx * nx + ny * ny + nz * nz)
            pic.set(x, y, [128 + 127 * nx / length, 128 + 127 * ny / length, 128 + 127 * nz / length])
    return pic


def draw_facade_normal():
    """Flat (128, 128, 255) with grooves along the mortar and recessed windows."""
    size = 4 * BRICK_CELL
    kinds = brick_layout()
    level = {"brick": 1.0, "mortar": 0.0, "stone": 1.2, "frame": 0.6, "glass": 0.2}
    heights = {}
    for (x, y), (kind, _) in kinds.items():
        heights[x, y] = level[kind]
    pic = normal_map(heights, size, size, 0.9)
    # Keep the brick faces exactly flat.
    for (x, y), (kind, _) in kinds.items():
        if kind == "brick" and all(kinds[((x + dx) % size, (y + dy) % size)][0] == "brick"
                                   for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))):
            pic.set(x, y, (128, 128, 255))
    return pic


# The tower facade: 128 x 128 pixels hold four bays (2 m each) by four floors (3 m each) of concrete
# panels with wide windows.
TOWER_CELL = 32


def tower_window(cx, cy):
    x = cx * TOWER_CELL
    y = cy * TOWER_CELL
    return x + 3, y + 6, x + 29, y + 24


def draw_tower():
    rng = Rng(303)
    size = 4 * TOWER_CELL
    pic = Picture(size, size)
    for y in range(size):
        for x in range(size):
            stain = 8 * math.sin(x * 0.21 + y * 0.05) * hash01(x // 8, 3)
            colour = [c + rng.uniform(-7, 7) - stain for c in (158, 154, 146)]
            if x % TOWER_CELL == 0 or y % TOWER_CELL == 0:
                colour = shade(colour, 0.72)
            pic.set(x, y, colour)
    for cy in range(4):
        for cx in range(4):
            x0, y0, x1, y1 = tower_window(cx, cy)
            pic.rect(x0 - 1, y0 - 1, x1 + 1, y1 + 1, (64, 66, 72))
            for y in range(y0, y1):
                for x in range(x0, x1):
                    t = (y - y0) / float(y1 - y0)
                    colour = mix([86, 112, 126], [30, 44, 54], t)
                    if x == (x0 + x1) // 2:
                        colour = [64, 66, 72]
                    pic.set(x, y, [c + rng.uniform(-3, 3) for c in colour])
    return pic


def draw_tower_windows():
    """Luminosity of the tower: offices with cool white light, some still lit."""
    rng = Rng(404)
    size = 4 * TOWER_CELL
    pic = Picture(size, size)
    tones = [(205, 225, 255), (255, 246, 222), (180, 200, 235)]
    for cy in range(4):
        for cx in range(4):
            if not rng.chance(0.45):
                continue
            colour = shade(rng.pick(tones), rng.uniform(0.65, 1.0))
            x0, y0, x1, y1 = tower_window(cx, cy)
            for y in range(y0, y1):
                for x in range(x0, x1):
                    if x == (x0 + x1) // 2:
                        continue
                    # Brighter near the ceiling lights.
                    t = (y - y0) / float(y1 - y0)
                    pic.set(x, y, shade(colour, 1.0 - 0.35 * t))
    return pic


def draw_asphalt():
    """10 m of road across (u 0..1) by 10 m along: edge lines and a dashed centre line."""
    rng = Rng(505)
    size = 128
    pic = Picture(size, size)
    for y in range(size):
        for x in range(size):
            g = 52 + rng.uniform(-9, 9)
            if rng.chance(0.03):
                g += rng.uniform(15, 35)
            pic.set(x, y, (g, g, g + 2))
    for y in range(size):
        for x in (4, 5, 122, 123):
            pic.set(x, y, [c + rng.uniform(-12, 0) for c in (208, 206, 196)])
        if y < size // 2:
            for x in (63, 64):
                pic.set(x, y, [c + rng.uniform(-14, 0) for c in (222, 196, 96)])
    # A few cracks.
    for _ in range(3):
        x = rng.next() % size
        y = rng.next() % size
        for _ in range(40):
            pic.set(x, y, (34, 34, 36))
            x += rng.pick([-1, 0, 1])
            y += 1
    return pic


def draw_pavement():
    """Paving slabs of 1 m; the picture is 2 m across."""
    rng = Rng(606)
    size = 64
    pic = Picture(size, size)
    for y in range(size):
        for x in range(size):
            slab = hash01(x // 32, y // 32, 5)
            g = 112 + 18 * slab + rng.uniform(-8, 8)
            colour = (g, g - 2, g - 8)
            if x % 32 == 0 or y % 32 == 0:
                colour = (70, 68, 64)
            pic.set(x, y, colour)
    return pic


GLYPHS = {
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
}


def draw_sign():
    """The sign's face: pink letters and a cyan border on dark glass. The panel is twice as wide as it
    is tall, so glyph cells are drawn half as wide as they are tall here."""
    size = 128
    pic = Picture(size, size, (18, 10, 28))
    cyan = (60, 230, 255)
    pink = (255, 60, 200)
    # A border two pixels wide across and four down (it looks even on the wide panel).
    pic.rect(5, 10, size - 5, 14, cyan)
    pic.rect(5, size - 14, size - 5, size - 10, cyan)
    pic.rect(5, 10, 7, size - 10, cyan)
    pic.rect(size - 7, 10, size - 5, size - 10, cyan)
    cell_w, cell_h = 4, 8
    text = "TARV"
    width = (len(text) * 6 - 1) * cell_w
    left = (size - width) // 2
    top = 30
    for n, letter in enumerate(text):
        for row, bits in enumerate(GLYPHS[letter]):
            for col, bit in enumerate(bits):
                if bit == "1":
                    x = left + (n * 6 + col) * cell_w
                    y = top + row * cell_h
                    pic.rect(x, y, x + cell_w, y + cell_h, pink)
    pic.rect(left, top + 7 * cell_h + 10, left + width, top + 7 * cell_h + 14, cyan)
    return pic


# --- Meshes --------------------------------------------------------------------------------------

UP = (0.0, 1.0, 0.0)


def sub(a, b):
    return (a[0] - b[0], a[1] - b[1], a[2] - b[2])


def dot(a, b):
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def num(value, places=4):
    text = ("%." + str(places) + "f") % value
    text = text.rstrip("0").rstrip(".")
    return "0" if text in ("", "-0") else text


class Mesh:
    """Quads in engine coordinates, by material in the order the materials are first used."""

    def __init__(self, name, title):
        self.name = name
        self.title = title
        self.order = []
        self.faces = {}

    def quad(self, material, corners, normal, uvs):
        if material not in self.faces:
            self.order.append(material)
            self.faces[material] = []
        self.faces[material].append((corners, normal, uvs))

    def box(self, x0, x1, y0, y1, z0, z1, sides, top=None, bottom=None, tile=(1.0, 1.0), base=None,
            skip=()):
        """An axis-aligned box. Walls repeat their picture every tile[0] m across (starting at the
        wall's left edge seen from outside) and tile[1] m up (from `base`, default y0); the top and
        bottom every tile[0] m in x and z. Faces named in `skip` ('+x', '-x', '+z', '-z', 'top',
        'bottom') are left out; a top or bottom without a material is left out."""
        base = y0 if base is None else base
        walls = [("+x", (1, 0, 0)), ("-x", (-1, 0, 0)), ("+z", (0, 0, 1)), ("-z", (0, 0, -1))]
        for name, normal in walls:
            if name in skip:
                continue
            if normal[0]:
                x = x1 if normal[0] > 0 else x0
                corners = [(x, y0, z0), (x, y0, z1), (x, y1, z1), (x, y1, z0)]
            else:
                z = z1 if normal[2] > 0 else z0
                corners = [(x0, y0, z), (x1, y0, z), (x1, y1, z), (x0, y1, z)]
            # Seen from outside (looking along -normal), right is up x (-normal).
            right = cross(UP, (-normal[0], -normal[1], -normal[2]))
            start = min(dot(c, right) for c in corners)
            uvs = [((dot(c, right) - start) / tile[0], (c[1] - base) / tile[1]) for c in corners]
            self.quad(sides, corners, normal, uvs)
        for name, material, y, normal in (("top", top, y1, (0, 1, 0)), ("bottom", bottom, y0, (0, -1, 0))):
            if material is None or name in skip:
                continue
            corners = [(x0, y, z0), (x1, y, z0), (x1, y, z1), (x0, y, z1)]
            self.quad(material, corners, normal, [(c[0] / tile[0], c[2] / tile[0]) for c in corners])

    def obj_text(self):
        """The OBJ file: x negated and every face counter-clockwise seen from outside."""
        positions, uvs, normals = {}, {}, {}
        lines_v, lines_vt, lines_vn, lines_f = [], [], [], []

        def index(table, lines, key, keyword):
            if key not in table:
                table[key] = len(table) + 1
                lines.append(keyword + " " + " ".join(key))
            return table[key]

        for material in self.order:
            lines_f.append("usemtl " + material)
            for corners, normal, coords in self.faces[material]:
                p = [(-c[0], c[1], c[2]) for c in corners]
                n = (-normal[0], normal[1], normal[2])
                order = list(range(len(p)))
                if dot(cross(sub(p[1], p[0]), sub(p[2], p[0])), n) < 0:
                    order.reverse()
                corner_text = []
                vn = index(normals, lines_vn, tuple(num(v) for v in n), "vn")
                for i in order:
                    v = index(positions, lines_v, tuple(num(c) for c in p[i]), "v")
                    vt = index(uvs, lines_vt, tuple(num(c) for c in coords[i]), "vt")
                    corner_text.append("%d/%d/%d" % (v, vt, vn))
                lines_f.append("f " + " ".join(corner_text))
        head = ["# %s, made by tools/make-city.py (metres, y up, ground at y = 0)." % self.title,
                "mtllib %s.mtl" % self.name,
                "o %s" % self.name]
        return "\n".join(head + lines_v + lines_vt + lines_vn + lines_f) + "\n", len(positions)


def make_tower():
    """Ten floors of concrete (8 x 8 x 30 m), a plant room on the roof and a red beacon."""
    mesh = Mesh("tower", "Office tower")
    mesh.box(-4, 4, 0, 30, -4, 4, "Concrete", top="Roof", tile=(8.0, 12.0))
    mesh.box(-2, 2, 30, 32.5, -1.5, 1.5, "Roof", top="Roof", tile=(4.0, 4.0))
    mesh.box(-0.15, 0.15, 32.5, 33.1, -0.15, 0.15, "Beacon", top="Beacon", tile=(0.3, 0.6))
    return mesh


def make_block():
    """Four floors of brick (9 m deep, 12 m along the street, 12 m high) under a stone cornice."""
    mesh = Mesh("block", "Brick block")
    mesh.box(-4.5, 4.5, 0, 12, -6, 6, "Brick", tile=(12.0, 12.0))
    mesh.box(-4.7, 4.7, 12, 12.6, -6.2, 6.2, "Roof", top="Roof", bottom="Roof", tile=(4.0, 4.0))
    return mesh


# The street runs along z: the road from x = -5 to 5, raised pavements (0.15 m) beside it up to
# x = +-20, and a paved square from z = 70 to 90 where the road ends.
ROAD_HALF = 5.0
KERB = 0.15
STREET_Z = (-30.0, 70.0)
SQUARE_Z = 90.0
SIDE = 20.0


def make_street():
    mesh = Mesh("street", "Street")
    z_steps = [STREET_Z[0] + 10.0 * i for i in range(int((STREET_Z[1] - STREET_Z[0]) / 10.0) + 1)]
    for z0, z1 in zip(z_steps, z_steps[1:]):
        corners = [(-ROAD_HALF, 0, z0), (ROAD_HALF, 0, z0), (ROAD_HALF, 0, z1), (-ROAD_HALF, 0, z1)]
        mesh.quad("Asphalt", corners, (0, 1, 0), [((c[0] + ROAD_HALF) / 10.0, c[2] / 10.0) for c in corners])

    def paving(x0, x1, z0, z1):
        corners = [(x0, KERB, z0), (x1, KERB, z0), (x1, KERB, z1), (x0, KERB, z1)]
        mesh.quad("Pavement", corners, (0, 1, 0), [(c[0] / 2.0, c[2] / 2.0) for c in corners])

    for z0, z1 in zip(z_steps, z_steps[1:]):
        for x0, x1 in ((ROAD_HALF, SIDE), (-SIDE, -ROAD_HALF)):
            paving(x0, x1, z0, z1)
        # The kerbs face the road.
        for x, normal in ((ROAD_HALF, (-1, 0, 0)), (-ROAD_HALF, (1, 0, 0))):
            corners = [(x, 0, z0), (x, 0, z1), (x, KERB, z1), (x, KERB, z0)]
            mesh.quad("Pavement", corners, normal, [(c[2] / 2.0, c[1] / 2.0) for c in corners])
    for z0 in (STREET_Z[1], STREET_Z[1] + 10.0):
        for x0 in (-20.0, -10.0, 0.0, 10.0):
            paving(x0, x0 + 10.0, z0, z0 + 10.0)
    corners = [(-ROAD_HALF, 0, STREET_Z[1]), (ROAD_HALF, 0, STREET_Z[1]), (ROAD_HALF, KERB, STREET_Z[1]),
               (-ROAD_HALF, KERB, STREET_Z[1])]
    mesh.quad("Pavement", corners, (0, 0, -1), [(c[0] / 2.0, c[1] / 2.0) for c in corners])
    return mesh


# The lamp's head, where the spot light sits, relative to the post's foot (the arm points along +z).
LAMP_LIGHT = (0.0, 5.15, 1.65)


def make_lamp():
    mesh = Mesh("lamp", "Street lamp")
    mesh.box(-0.2, 0.2, 0, 0.5, -0.2, 0.2, "Metal", top="Metal")
    mesh.box(-0.08, 0.08, 0.5, 5.55, -0.08, 0.08, "Metal", top="Metal")
    mesh.box(-0.05, 0.05, 5.35, 5.45, 0.08, 1.35, "Metal", bottom="Metal", top="Metal", skip=("-z",))
    mesh.box(-0.25, 0.25, 5.2, 5.45, 1.3, 2.0, "Metal", top="Metal")
    # The glowing underside of the head.
    mesh.quad("Bulb", [(-0.22, 5.19, 1.33), (0.22, 5.19, 1.33), (0.22, 5.19, 1.97), (-0.22, 5.19, 1.97)],
              (0, -1, 0), [(0, 0), (1, 0), (1, 1), (0, 1)])
    return mesh


def make_car():
    """A small saloon, 4.2 m long, its front towards +z."""
    mesh = Mesh("car", "Car")
    mesh.box(-0.9, 0.9, 0.3, 0.95, -2.1, 2.1, "Paint", top="Paint", bottom="Paint", tile=(1.0, 1.0))
    mesh.box(-0.8, 0.8, 0.95, 1.45, -1.3, 0.7, "Glass", tile=(1.0, 1.0))
    mesh.quad("Paint", [(-0.8, 1.45, -1.3), (0.8, 1.45, -1.3), (0.8, 1.45, 0.7), (-0.8, 1.45, 0.7)], (0, 1, 0),
              [(0, 0), (1, 0), (1, 1), (0, 1)])
    for x0, x1 in ((0.7, 0.95), (-0.95, -0.7)):
        for z in (1.35, -1.35):
            mesh.box(x0, x1, 0.0, 0.62, z - 0.31, z + 0.31, "Tyre", top="Tyre", tile=(0.62, 0.62))
    for x0, x1 in ((0.45, 0.8), (-0.8, -0.45)):
        mesh.box(x0, x1, 0.65, 0.8, 2.1, 2.13, "Headlight", top="Headlight", skip=("-z",))
    for x0, x1 in ((0.5, 0.85), (-0.85, -0.5)):
        mesh.box(x0, x1, 0.7, 0.85, -2.13, -2.1, "Taillight", top="Taillight", skip=("+z",))
    return mesh


def make_sign():
    """A pole with a 2.4 x 1.2 m panel on top, its picture on both faces."""
    mesh = Mesh("sign", "Turning sign")
    mesh.box(-0.08, 0.08, 0, 4.2, -0.08, 0.08, "Frame", tile=(0.16, 1.0))
    mesh.box(-1.2, 1.2, 4.2, 5.4, -0.08, 0.08, "Frame", top="Frame", bottom="Frame", skip=("+z", "-z"))
    mesh.box(-1.2, 1.2, 4.2, 5.4, -0.08, 0.08, "Panel", tile=(2.4, 1.2), skip=("+x", "-x"))
    return mesh


# --- Materials and surfaces ----------------------------------------------------------------------

# Per material: the OBJ colour and picture, and the scene surface's channels. A channel is
# (name, value, picture, sRGB); a picture of None means the channel has none.
MATERIALS = {
    "Concrete": {"kd": (0.8, 0.8, 0.78), "map": "tower.png", "channels": [
        ("BaseColor", (1, 1, 1), "tower.png", True),
        ("Luminosity", 1, "tower_windows.png", True),
        ("Diffuse", 0.9, None, False),
        ("Specularity", 0.2, None, False),
        ("Glossiness", 0.4, None, False),
        ("Reflectivity", 0.05, None, False)]},
    "Roof": {"kd": (0.3, 0.29, 0.27), "map": None, "channels": [
        ("BaseColor", (0.3, 0.29, 0.27), None, False),
        ("Specularity", 0.05, None, False)]},
    "Beacon": {"kd": (1.0, 0.1, 0.05), "map": None, "channels": [
        ("BaseColor", (1, 0.1, 0.05), None, False),
        ("Luminosity", 1, None, False)]},
    "Brick": {"kd": (0.8, 0.8, 0.8), "map": "facade.png", "channels": [
        ("BaseColor", (1, 1, 1), "facade.png", True),
        ("Luminosity", 1, "windows.png", True),
        ("Specularity", 0.08, None, False),
        ("Glossiness", 0.25, None, False),
        ("Bump", 1, "facade_normal.png", False)]},
    "Asphalt": {"kd": (0.25, 0.25, 0.25), "map": "asphalt.png", "channels": [
        ("BaseColor", (1, 1, 1), "asphalt.png", True),
        ("Diffuse", 0.9, None, False),
        ("Specularity", 0.15, None, False),
        ("Glossiness", 0.3, None, False)]},
    "Pavement": {"kd": (0.5, 0.5, 0.48), "map": "pavement.png", "channels": [
        ("BaseColor", (1, 1, 1), "pavement.png", True),
        ("Specularity", 0.05, None, False)]},
    "Metal": {"kd": (0.25, 0.27, 0.3), "map": None, "channels": [
        ("BaseColor", (0.25, 0.27, 0.3), None, False),
        ("Specularity", 0.5, None, False),
        ("Glossiness", 0.5, None, False),
        ("Reflectivity", 0.1, None, False)]},
    "Bulb": {"kd": (1.0, 0.9, 0.7), "map": None, "channels": [
        ("BaseColor", (1, 0.9, 0.7), None, False),
        ("Luminosity", 1, None, False)]},
    "Paint": {"kd": (0.65, 0.06, 0.05), "map": None, "channels": [
        ("BaseColor", (0.65, 0.06, 0.05), None, False),
        ("Diffuse", 0.8, None, False),
        ("Specularity", 0.6, None, False),
        ("Glossiness", 0.7, None, False),
        ("Reflectivity", 0.2, None, False)]},
    "Glass": {"kd": (0.15, 0.2, 0.25), "map": None, "channels": [
        ("BaseColor", (0.15, 0.2, 0.25), None, False),
        ("Specularity", 0.9, None, False),
        ("Glossiness", 0.9, None, False),
        ("Reflectivity", 0.3, None, False),
        ("Transparency", 0.5, None, False)]},
    "Tyre": {"kd": (0.05, 0.05, 0.05), "map": None, "channels": [
        ("BaseColor", (0.05, 0.05, 0.05), None, False),
        ("Specularity", 0.05, None, False)]},
    "Headlight": {"kd": (1.0, 1.0, 0.9), "map": None, "channels": [
        ("BaseColor", (1, 1, 0.9), None, False),
        ("Luminosity", 1, None, False)]},
    "Taillight": {"kd": (0.9, 0.05, 0.05), "map": None, "channels": [
        ("BaseColor", (0.9, 0.05, 0.05), None, False),
        ("Luminosity", 0.8, None, False)]},
    "Frame": {"kd": (0.15, 0.15, 0.17), "map": None, "channels": [
        ("BaseColor", (0.15, 0.15, 0.17), None, False),
        ("Specularity", 0.4, None, False),
        ("Glossiness", 0.5, None, False)]},
    "Panel": {"kd": (1.0, 1.0, 1.0), "map": "sign.png", "channels": [
        ("BaseColor", (1, 1, 1), "sign.png", True),
        ("Luminosity", 1, "sign.png", True),
        ("Diffuse", 0.3, None, False)]},
}


def mtl_text(mesh):
    lines = ["# Materials of the %s, made by tools/make-city.py." % mesh.title.lower()]
    for name in mesh.order:
        material = MATERIALS[name]
        lines += ["", "newmtl " + name, "Kd " + " ".join(num(c) for c in material["kd"])]
        if material["map"]:
            lines.append("map_Kd Images/" + material["map"])
    return "\n".join(lines) + "\n"


# --- The scene document --------------------------------------------------------------------------

FRAME_END = 120
FRAME_STEP = 4
SAMPLES = FRAME_END // FRAME_STEP + 1  # sample k is frame 4k


def values(items):
    return " ".join(num(v) for v in items)


def channel_records(samples):
    """One track channel as RUN and DAT records: RUN for three or more equal samples in a row."""
    text = [num(v) for v in samples]
    records, literal = [], []
    i = 0
    while i < len(text):
        j = i
        while j < len(text) and text[j] == text[i]:
            j += 1
        if j - i >= 3 or (i == 0 and j == len(text)):
            if literal:
                records.append("DAT %d %s" % (len(literal), " ".join(literal)))
                literal = []
            records.append("RUN %d %s" % (j - i, text[i]))
        else:
            literal += text[i:j]
        i = j
    if literal:
        records.append("DAT %d %s" % (len(literal), " ".join(literal)))
    return " ".join(records)


class Document:
    def __init__(self):
        self.lines = []
        self.depth = 0

    def comment(self, text):
        self.lines.append("  " * self.depth + "# " + text)

    def open(self, name):
        self.lines.append("  " * self.depth + "{ " + name)
        self.depth += 1

    def close(self):
        self.depth -= 1
        self.lines.append("  " * self.depth + "}")

    def entry(self, name, kind, text):
        self.lines.append("  " * self.depth + "%s %s %s" % (name, kind, text))

    def fp(self, name, *items):
        self.entry(name, "FP", values(items))

    def i4(self, name, *items):
        self.entry(name, "I4", " ".join(str(int(v)) for v in items))

    def string(self, name, text):
        assert "\n" not in text and "\r" not in text
        self.entry(name, "STR", text)

    def track(self, name, samples):
        """A float track: one line."""
        assert len(samples) <= SAMPLES
        self.entry(name, "FP_C", channel_records(samples))

    def track3(self, name, samples):
        """A vector track: one line per channel (x, y, z)."""
        assert len(samples) <= SAMPLES
        self.entry(name, "FP_C", "[")
        for c in range(3):
            self.lines.append("  " * (self.depth + 1) + channel_records([s[c] for s in samples]))
        self.lines.append("  " * self.depth + "]")

    def vector(self, name, value):
        """A vec3 key: FP for a fixed value, a track for one that changes."""
        if isinstance(value, list):
            self.track3(name, value)
        else:
            self.fp(name, *value)

    def text(self):
        return "\n".join(self.lines) + "\n"


def smoothstep(t):
    return t * t * (3 - 2 * t)


def times():
    """The time of each sample, 0 at the first frame and 1 at the last."""
    return [k / float(SAMPLES - 1) for k in range(SAMPLES)]


def camera_path():
    """The camera glides down the street, turning from the buildings on the right to those on the left
    and looking a little up at them."""
    position, rotation = [], []
    for t in times():
        e = smoothstep(t)
        position.append((1.0 - 1.8 * e + 0.3 * math.sin(math.pi * t), 2.0 + 1.4 * e, -14.0 + 50.0 * e))
        rotation.append((0.27 * math.cos(math.pi * t) - 0.05 * t, -0.06 - 0.08 * math.sin(math.pi * t), 0.0))
    return position, rotation


CAR_PARKED = (4.0, 0.0, 30.0)


def car_path():
    """Parked at the kerb on the right, the car pulls out into the lane after half a second and drives
    off down the street, heading along its way."""
    position, rotation = [], []
    for t in times():
        seconds = t * FRAME_END / 30.0
        moving = max(0.0, seconds - 0.5)
        s = 0.5 * 5.0 * moving * moving  # 5 m/s^2
        u = min(1.0, s / 12.0)  # the lane change takes the first 12 m
        x = CAR_PARKED[0] - 1.5 * smoothstep(u)
        slope = -1.5 * 6 * u * (1 - u) / 12.0 if s < 12.0 else 0.0
        position.append((x, CAR_PARKED[1], CAR_PARKED[2] + s))
        rotation.append((math.atan(slope), 0.0, 0.0))
    return position, rotation


def sign_rotation():
    """One turn in the four seconds."""
    return [(2 * math.pi * t, 0.0, 0.0) for t in times()]


def neon_keys():
    """A pink neon that hums between pink and violet and now and then flickers."""
    rng = Rng(707)
    colours, intensity = [], []
    for t in times():
        w = 0.5 + 0.5 * math.sin(2 * math.pi * t * 1.5)
        colours.append((1.0 - 0.35 * w, 0.25, 0.8 + 0.2 * w))
        level = 1.4
        if rng.chance(0.2):
            level = rng.uniform(0.1, 0.6)
        intensity.append(level)
    return colours, intensity


def rotate_y(point, heading):
    """A point in an object's own coordinates turned by its heading (the engine's rotation)."""
    c, s = math.cos(heading), math.sin(heading)
    return (point[0] * c + point[2] * s, point[1], -point[0] * s + point[2] * c)


def add(a, b):
    return (a[0] + b[0], a[1] + b[1], a[2] + b[2])


# The objects: name, mesh, position, rotation, scale, shadow caster.
LAMP1 = ((6.5, KERB, 16.0), -math.pi / 2)
LAMP2 = ((-6.5, KERB, 44.0), math.pi / 2)
SIGN_AT = (-7.0, KERB, 34.0)


def objects():
    car_position, car_rotation = car_path()
    half = math.pi
    return [
        ("Street", "street", (0, 0, 0), (0, 0, 0), (1, 1, 1), False),
        ("Block1", "block", (14.0, 0, 8.0), (0, 0, 0), (1, 1, 1), True),
        ("Tower1", "tower", (13.5, 0, 22.0), (0, 0, 0), (1, 1, 1), True),
        ("Block2", "block", (14.0, 0, 36.0), (half, 0, 0), (1, 1, 1), True),
        ("Tower2", "tower", (0.0, 0, 78.0), (half / 2, 0, 0), (1, 1.2, 1), True),
        ("Tower3", "tower", (-13.5, 0, 6.0), (half / 2, 0, 0), (1.1, 1.1, 1.1), True),
        ("Block3", "block", (-14.0, 0, 20.0), (half, 0, 0), (1, 1, 1), True),
        ("Block4", "block", (-14.0, 0, 50.0), (0, 0, 0), (1, 1, 1), True),
        ("Lamp1", "lamp", LAMP1[0], (LAMP1[1], 0, 0), (1, 1, 1), True),
        ("Lamp2", "lamp", LAMP2[0], (LAMP2[1], 0, 0), (1, 1, 1), True),
        ("Car", "car", car_position, car_rotation, (1, 1, 1), True),
        ("Sign", "sign", SIGN_AT, sign_rotation(), (1, 1, 1), True),
    ]


def write_scene(meshes):
    doc = Document()
    doc.comment("A city street at dusk, made by tools/make-city.py: run it again rather than editing.")
    doc.comment("Engine coordinates: x right, y up, z forward, metres; rotations heading, pitch, bank in radians.")
    doc.comment("Frames 0 to 120 at 30 per second; sample k of a track is frame 4k.")
    doc.open("Scene")

    doc.open("SceneInfo")
    doc.i4("frameStart", 0)
    doc.i4("frameEnd", FRAME_END)
    doc.i4("frameStep", FRAME_STEP)
    doc.fp("framesPerSecond", 30)
    doc.fp("renderCamera", 0)
    doc.close()

    doc.open("LightInfo")
    doc.fp("ambient", 0.08, 0.08, 0.12)
    doc.close()
    doc.open("BackdropInfo")
    doc.fp("zenith", 0.1, 0.12, 0.25)
    doc.close()

    position, rotation = camera_path()
    doc.open("Cameras")
    doc.open("Camera")
    doc.vector("position", position)
    doc.vector("rotation", rotation)
    doc.fp("zoomFactor", 2.0)
    doc.i4("resolution", 640, 480)
    doc.close()
    doc.close()

    def light(name, kind, position, rotation, colour, intensity, falloff=0, range_=None, cone=None,
              shadow=0):
        doc.open(name)
        doc.i4("type", kind)
        doc.vector("position", position)
        doc.vector("rotation", rotation)
        doc.vector("rawColor", colour)
        if isinstance(intensity, list):
            doc.track("intensity", intensity)
        else:
            doc.fp("intensity", intensity)
        doc.i4("falloff", falloff)
        if range_ is not None:
            doc.fp("range", range_)
        if cone is not None:
            doc.fp("coneAngles", *cone)
        doc.i4("shadowType", shadow)
        if shadow:
            doc.i4("shadMapSize", 512)
            doc.fp("shadMapFuzz", 1)
        doc.fp("shadowColor", 0, 0, 0)
        doc.i4("flags", 0)
        doc.close()

    lamp_light = add(LAMP1[0], rotate_y(LAMP_LIGHT, LAMP1[1]))
    neon_colour, neon_intensity = neon_keys()
    doc.open("Lights")
    # Type 0 directional, 1 point, 2 spot.
    light("Sun", 0, (40, 25, -30), (-0.9, 0.35, 0), (1.0, 0.62, 0.38), 0.35)
    # Tilted a little from straight down, towards the middle of the road.
    light("StreetLamp", 2, lamp_light, (LAMP1[1], 1.4, 0), (1.0, 0.85, 0.6), 1.2, falloff=1, range_=14,
          cone=(0.6, 0.15), shadow=2)
    light("ShopLight", 1, (7.0, 3.0, 10.0), (0, 0, 0), (1.0, 0.75, 0.45), 0.9, falloff=1, range_=9)
    light("Neon", 1, (SIGN_AT[0] + 1.7, 4.8, SIGN_AT[2]), (0, 0, 0), neon_colour, neon_intensity, falloff=1,
          range_=12)
    doc.close()

    doc.open("Objects")
    for name, mesh, position, rotation, scale, caster in objects():
        doc.open(name)
        doc.string("name", name)
        doc.string("xfilename", "Objects/%s.obj" % mesh)
        doc.string("filename", "Objects/%s.lwo" % mesh)
        doc.vector("position", position)
        doc.vector("rotation", rotation)
        doc.fp("scale", *scale)
        doc.i4("shadowOpts", 2 if caster else 0)
        doc.close()
    doc.close()

    # One entry per mesh; its surfaces in the order of the mesh's buffers (the order in which the
    # OBJ file first uses each material).
    doc.open("SceneObjects")
    for mesh in meshes:
        doc.open(mesh.name.capitalize())
        doc.string("filename", "Objects/%s.lwo" % mesh.name)
        doc.open("Surfaces")
        for surface in mesh.order:
            doc.open(surface)
            doc.string("name", surface)
            doc.open("Parameters")
            for channel, value, picture, srgb in MATERIALS[surface]["channels"]:
                doc.open(channel)
                doc.fp("value", *(value if isinstance(value, tuple) else (value,)))
                if picture:
                    doc.string("img_filename", "Images/" + picture)
                    if srgb:
                        doc.i4("img_colorspace", 1)
                doc.close()
            doc.close()
            doc.close()
        doc.close()
        doc.close()
    doc.close()

    doc.close()
    assert doc.depth == 0
    return doc.text()


# --- Writing -------------------------------------------------------------------------------------


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    if isinstance(data, str):
        data = data.encode("ascii")
    with open(path, "wb") as out:
        out.write(data)


def main(argv):
    if len(argv) > 2 or (len(argv) == 2 and argv[1] in ("-h", "--help")):
        print("usage: make-city.py [OUTPUT_FOLDER]  (default: samples/city)", file=sys.stderr)
        return 2
    here = os.path.dirname(os.path.abspath(__file__))
    out = argv[1] if len(argv) == 2 else os.path.normpath(os.path.join(here, "..", "samples", "city"))

    pictures = {
        "facade.png": draw_facade(),
        "windows.png": draw_facade_windows(),
        "facade_normal.png": draw_facade_normal(),
        "tower.png": draw_tower(),
        "tower_windows.png": draw_tower_windows(),
        "asphalt.png": draw_asphalt(),
        "pavement.png": draw_pavement(),
        "sign.png": draw_sign(),
    }
    made = []
    for name, picture in pictures.items():
        data = picture.png()
        write(os.path.join(out, "Images", name), data)
        made.append("Images/%s (%dx%d)" % (name, picture.width, picture.height))
        if name == "facade.png":
            write(os.path.join(out, "facade.png"), data)
        if name == "asphalt.png":
            write(os.path.join(out, "street.png"), data)

    meshes = [make_street(), make_tower(), make_block(), make_lamp(), make_car(), make_sign()]
    for mesh in meshes:
        text, count = mesh.obj_text()
        write(os.path.join(out, "Objects", mesh.name + ".obj"), text)
        write(os.path.join(out, "Objects", mesh.name + ".mtl"), mtl_text(mesh))
        made.append("Objects/%s.obj (%d positions; %s)" % (mesh.name, count, ", ".join(mesh.order)))

    write(os.path.join(out, "city.tscn"), write_scene(meshes))
    made.append("city.tscn, facade.png, street.png")
    for line in made:
        print(line)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
