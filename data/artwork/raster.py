"""A tiny anti-aliased rasteriser for the program's pictures.

Shapes are sampled ss x ss times per pixel and painted source-over, so small icons stay
crisp when their edges lie on whole pixels. Output goes through ImageMagick's `convert`.
"""
import math
import subprocess


# Device pixels per drawing unit of the canvases made from now on: 2 draws the same picture
# for screens at twice the density ("name@2x.png"). Shapes are given in drawing units either
# way; text added at saving is not scaled.
SCALE = 1


class Canvas:
    def __init__(self, width, height, ss=4, background=(0, 0, 0, 0)):
        self.scale = SCALE
        width, height = width * SCALE, height * SCALE
        self.w, self.h, self.ss = width, height, ss
        r, g, b, a = background
        a = a / 255.0
        self.px = [[r / 255.0 * a, g / 255.0 * a, b / 255.0 * a, a] for _ in range(width * height)]

    # ---- painting ----
    def paint(self, inside, box, colour, opacity=1.0):
        """Paints colour where inside(x, y) holds; box = (x0, y0, x1, y1) bounds the shape."""
        r, g, b = (c / 255.0 for c in colour[:3])
        alpha = (colour[3] / 255.0 if len(colour) > 3 else 1.0) * opacity
        ss, k = self.ss, self.scale
        x0 = max(0, int(math.floor(box[0] * k)))
        y0 = max(0, int(math.floor(box[1] * k)))
        x1 = min(self.w, int(math.ceil(box[2] * k)))
        y1 = min(self.h, int(math.ceil(box[3] * k)))
        offsets = [(i + 0.5) / ss for i in range(ss)]
        for y in range(y0, y1):
            for x in range(x0, x1):
                hits = 0
                for oy in offsets:
                    for ox in offsets:
                        if inside((x + ox) / k, (y + oy) / k):
                            hits += 1
                if not hits:
                    continue
                a = alpha * hits / (ss * ss)
                p = self.px[y * self.w + x]
                p[0] = r * a + p[0] * (1 - a)
                p[1] = g * a + p[1] * (1 - a)
                p[2] = b * a + p[2] * (1 - a)
                p[3] = a + p[3] * (1 - a)

    def rect(self, x0, y0, x1, y1, colour, opacity=1.0):
        self.paint(lambda x, y: x0 <= x < x1 and y0 <= y < y1, (x0, y0, x1, y1), colour, opacity)

    def round_rect(self, x0, y0, x1, y1, radius, colour, opacity=1.0):
        def inside(x, y):
            if not (x0 <= x < x1 and y0 <= y < y1):
                return False
            cx = min(max(x, x0 + radius), x1 - radius)
            cy = min(max(y, y0 + radius), y1 - radius)
            return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius
        self.paint(inside, (x0, y0, x1, y1), colour, opacity)

    def ellipse(self, cx, cy, rx, ry, colour, opacity=1.0, clip=None):
        def inside(x, y):
            if clip and not clip(x, y):
                return False
            return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0
        self.paint(inside, (cx - rx, cy - ry, cx + rx, cy + ry), colour, opacity)

    def circle(self, cx, cy, r, colour, opacity=1.0, clip=None):
        self.ellipse(cx, cy, r, r, colour, opacity, clip)

    def ring(self, cx, cy, r_out, r_in, colour, opacity=1.0, clip=None):
        def inside(x, y):
            if clip and not clip(x, y):
                return False
            d = (x - cx) ** 2 + (y - cy) ** 2
            return r_in * r_in <= d <= r_out * r_out
        self.paint(inside, (cx - r_out, cy - r_out, cx + r_out, cy + r_out), colour, opacity)

    def ellipse_ring(self, cx, cy, rx, ry, width, colour, opacity=1.0, clip=None):
        def inside(x, y):
            if clip and not clip(x, y):
                return False
            outer = ((x - cx) / (rx + width / 2)) ** 2 + ((y - cy) / (ry + width / 2)) ** 2
            if outer > 1.0:
                return False
            if rx - width / 2 <= 0 or ry - width / 2 <= 0:
                return True
            inner = ((x - cx) / (rx - width / 2)) ** 2 + ((y - cy) / (ry - width / 2)) ** 2
            return inner >= 1.0
        m = width / 2
        self.paint(inside, (cx - rx - m, cy - ry - m, cx + rx + m, cy + ry + m), colour, opacity)

    def polygon(self, points, colour, opacity=1.0, clip=None):
        def inside(x, y):
            if clip and not clip(x, y):
                return False
            result = False
            n = len(points)
            for i in range(n):
                xa, ya = points[i]
                xb, yb = points[(i + 1) % n]
                if (ya > y) != (yb > y):
                    xc = xa + (y - ya) * (xb - xa) / (yb - ya)
                    if x < xc:
                        result = not result
            return result
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.paint(inside, (min(xs), min(ys), max(xs), max(ys)), colour, opacity)

    def line(self, points, width, colour, opacity=1.0, clip=None):
        """A polyline with round joins and caps."""
        half = width / 2.0
        segments = list(zip(points, points[1:]))

        def inside(x, y):
            if clip and not clip(x, y):
                return False
            for (xa, ya), (xb, yb) in segments:
                dx, dy = xb - xa, yb - ya
                length = dx * dx + dy * dy
                t = 0.0 if length == 0 else max(0.0, min(1.0, ((x - xa) * dx + (y - ya) * dy) / length))
                px, py = xa + t * dx, ya + t * dy
                if (x - px) ** 2 + (y - py) ** 2 <= half * half:
                    return True
            return False
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.paint(inside, (min(xs) - half, min(ys) - half, max(xs) + half, max(ys) + half),
                   colour, opacity)

    def vertical_gradient(self, top, bottom):
        for y in range(self.h):
            t = y / max(1, self.h - 1)
            c = [(top[i] + (bottom[i] - top[i]) * t) / 255.0 for i in range(3)]
            for x in range(self.w):
                self.px[y * self.w + x] = [c[0], c[1], c[2], 1.0]

    # ---- output ----
    def rgba(self, matte=None, threshold=None):
        """Straight-alpha RGBA bytes. With a matte colour, partly covered pixels are blended over
        it (for formats with on/off transparency); with a threshold they become opaque or clear."""
        out = bytearray()
        for r, g, b, a in self.px:
            if a <= 0:
                out += bytes((0, 0, 0, 0))
                continue
            r, g, b = r / a, g / a, b / a
            if matte is not None and a < 1:
                m = [c / 255.0 for c in matte]
                r, g, b = r * a + m[0] * (1 - a), g * a + m[1] * (1 - a), b * a + m[2] * (1 - a)
            if threshold is not None:
                a = 1.0 if a >= threshold else 0.0
                if a == 0:
                    out += bytes((0, 0, 0, 0))
                    continue
            out += bytes(int(round(max(0, min(1, v)) * 255)) for v in (r, g, b, a))
        return bytes(out)

    def save(self, path, extra=(), matte=None, threshold=None):
        """Writes the picture through convert; extra holds convert options applied afterwards
        (text, for instance)."""
        data = self.rgba(matte, threshold)
        command = ["convert", "-size", "%dx%d" % (self.w, self.h), "-depth", "8", "rgba:-"]
        command += list(extra)
        command += ["-strip", path]
        subprocess.run(command, input=data, check=True)
