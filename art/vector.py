"""A small vector scene: shapes described once, rendered with Pillow (supersampled, so edges
are anti-aliased) or written out as SVG. Coordinates are picture pixels (floats)."""

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont


def rgba(color, alpha=1.0):
    """'#rrggbb' (optionally with an alpha 0..1) as an RGBA tuple."""
    c = color.lstrip('#')
    return (int(c[0:2], 16), int(c[2:4], 16), int(c[4:6], 16), round(255 * alpha))


class Gradient:
    """A linear gradient along the x or the y axis between two coordinates."""

    def __init__(self, axis, start, end, stops):
        assert axis in ('x', 'y')
        self.axis, self.start, self.end = axis, start, end
        # stops: [(offset 0..1, '#rrggbb' or ('#rrggbb', alpha))]
        self.stops = [(o, c if isinstance(c, tuple) else (c, 1.0)) for o, c in stops]

    def color_at(self, t):
        t = min(1.0, max(0.0, t))
        stops = self.stops
        for (o0, c0), (o1, c1) in zip(stops, stops[1:]):
            if t <= o1:
                f = 0.0 if o1 == o0 else (t - o0) / (o1 - o0)
                a, b = rgba(*c0), rgba(*c1)
                return tuple(round(a[i] + (b[i] - a[i]) * f) for i in range(4))
        return rgba(*stops[-1][1])

    def layer(self, size, ss):
        w, h = size
        n = h if self.axis == 'y' else w
        strip = Image.new('RGBA', (1, n) if self.axis == 'y' else (n, 1))
        span = (self.end - self.start) * ss or 1
        for i in range(n):
            c = self.color_at((i + 0.5 - self.start * ss) / span)
            strip.putpixel((0, i) if self.axis == 'y' else (i, 0), c)
        return strip.resize(size, Image.NEAREST)


def _fill_layer(fill, size, ss):
    if isinstance(fill, Gradient):
        return fill.layer(size, ss)
    color = fill if isinstance(fill, tuple) else (fill, 1.0)
    return Image.new('RGBA', size, rgba(*color))


def _svg_color(color):
    if isinstance(color, tuple):
        return 'fill="%s" fill-opacity="%.3g"' % color if color[1] < 1 else 'fill="%s"' % color[0]
    return 'fill="%s"' % color


def _svg_stroke(color, width):
    if isinstance(color, tuple):
        c, a = color
    else:
        c, a = color, 1.0
    s = 'fill="none" stroke="%s" stroke-width="%g" stroke-linecap="round" stroke-linejoin="round"' % (c, width)
    return s + (' stroke-opacity="%.3g"' % a if a < 1 else '')


class Shape:
    """A filled (or stroked) outline. Subclasses draw their outline into a mask."""

    fill = None

    def render(self, image, ss):
        mask = Image.new('L', image.size, 0)
        self.draw_mask(ImageDraw.Draw(mask), ss)
        layer = _fill_layer(self.fill, image.size, ss)
        layer.putalpha(ImageChops.multiply(layer.getchannel('A'), mask))
        image.alpha_composite(layer)

    def svg_fill(self, svg):
        if isinstance(self.fill, Gradient):
            return 'fill="url(#%s)"' % svg.gradient(self.fill)
        return _svg_color(self.fill)


class Rect(Shape):
    def __init__(self, x, y, w, h, fill='#000000', r=0):
        self.x, self.y, self.w, self.h, self.fill, self.r = x, y, w, h, fill, r

    def draw_mask(self, d, ss, value=255):
        box = [self.x * ss, self.y * ss, (self.x + self.w) * ss - 1, (self.y + self.h) * ss - 1]
        if self.r:
            d.rounded_rectangle(box, radius=self.r * ss, fill=value)
        else:
            d.rectangle(box, fill=value)

    def svg(self, svg):
        r = ' rx="%g"' % self.r if self.r else ''
        return '<rect x="%g" y="%g" width="%g" height="%g"%s %s/>' % (
            self.x, self.y, self.w, self.h, r, self.svg_fill(svg))


class Ellipse(Shape):
    def __init__(self, cx, cy, rx, ry, fill):
        self.cx, self.cy, self.rx, self.ry, self.fill = cx, cy, rx, ry, fill

    def draw_mask(self, d, ss, value=255):
        d.ellipse([(self.cx - self.rx) * ss, (self.cy - self.ry) * ss,
                   (self.cx + self.rx) * ss - 1, (self.cy + self.ry) * ss - 1], fill=value)

    def svg(self, svg):
        return '<ellipse cx="%g" cy="%g" rx="%g" ry="%g" %s/>' % (
            self.cx, self.cy, self.rx, self.ry, self.svg_fill(svg))


def Circle(cx, cy, r, fill):
    return Ellipse(cx, cy, r, r, fill)


class Poly(Shape):
    def __init__(self, points, fill):
        self.points, self.fill = points, fill

    def draw_mask(self, d, ss, value=255):
        d.polygon([(x * ss, y * ss) for x, y in self.points], fill=value)

    def svg(self, svg):
        pts = ' '.join('%g,%g' % p for p in self.points)
        return '<polygon points="%s" %s/>' % (pts, self.svg_fill(svg))


class Line(Shape):
    """A polyline with round caps and joins."""

    def __init__(self, points, stroke, width):
        self.points, self.fill, self.width = points, stroke, width

    def draw_mask(self, d, ss, value=255):
        pts = [(x * ss, y * ss) for x, y in self.points]
        w = self.width * ss
        d.line(pts, fill=value, width=round(w), joint='curve')
        for x, y in pts:
            d.ellipse([x - w / 2, y - w / 2, x + w / 2, y + w / 2], fill=value)

    def svg(self, svg):
        pts = ' '.join('%g,%g' % p for p in self.points)
        return '<polyline points="%s" %s/>' % (pts, _svg_stroke(self.fill, self.width))


class Arc(Shape):
    """A circular arc with round caps; angles in degrees, clockwise from 3 o'clock."""

    def __init__(self, cx, cy, r, start, end, stroke, width):
        self.cx, self.cy, self.r, self.start, self.end = cx, cy, r, start, end
        self.fill, self.width = stroke, width

    def point(self, angle):
        import math
        a = math.radians(angle)
        return self.cx + self.r * math.cos(a), self.cy + self.r * math.sin(a)

    def draw_mask(self, d, ss, value=255):
        w = self.width * ss
        ro = (self.r + self.width / 2) * ss
        c = (self.cx * ss, self.cy * ss)
        d.arc([c[0] - ro, c[1] - ro, c[0] + ro, c[1] + ro], self.start, self.end, fill=value,
              width=round(w))
        for a in (self.start, self.end):
            x, y = self.point(a)
            d.ellipse([x * ss - w / 2, y * ss - w / 2, x * ss + w / 2, y * ss + w / 2], fill=value)

    def svg(self, svg):
        (x0, y0), (x1, y1) = self.point(self.start), self.point(self.end)
        large = 1 if (self.end - self.start) % 360 > 180 else 0
        return '<path d="M%.3f,%.3f A%g,%g 0 %d 1 %.3f,%.3f" %s/>' % (
            x0, y0, self.r, self.r, large, x1, y1, _svg_stroke(self.fill, self.width))


class Text(Shape):
    """Text in a TrueType face; (x, y) is the anchor point (Pillow's anchor names)."""

    def __init__(self, x, y, text, face, size, fill, anchor='ls'):
        self.x, self.y, self.text, self.face, self.size = x, y, text, face, size
        self.fill, self.anchor = fill, anchor

    def draw_mask(self, d, ss, value=255):
        font = ImageFont.truetype(self.face, round(self.size * ss))
        d.text((self.x * ss, self.y * ss), self.text, fill=value, font=font, anchor=self.anchor)

    def svg(self, svg):
        raise NotImplementedError('text is drawn only into raster pictures')


class Group:
    """Children drawn on a layer of their own, then clipped, rotated, blurred or faded."""

    def __init__(self, children, clip=None, rotate=None, opacity=1.0):
        self.children, self.clip, self.rotate, self.opacity = children, clip, rotate, opacity

    def render(self, image, ss):
        layer = Image.new('RGBA', image.size, (0, 0, 0, 0))
        for child in self.children:
            child.render(layer, ss)
        if self.clip is not None:
            mask = Image.new('L', image.size, 0)
            self.clip.draw_mask(ImageDraw.Draw(mask), ss)
            layer.putalpha(ImageChops.multiply(layer.getchannel('A'), mask))
        if self.rotate is not None:
            angle, cx, cy = self.rotate
            layer = layer.rotate(angle, resample=Image.BICUBIC, center=(cx * ss, cy * ss))
        if self.opacity < 1:
            layer.putalpha(layer.getchannel('A').point(lambda v: round(v * self.opacity)))
        image.alpha_composite(layer)

    def svg(self, svg):
        attrs = ''
        if self.clip is not None:
            attrs += ' clip-path="url(#%s)"' % svg.clip(self.clip)
        if self.rotate is not None:
            angle, cx, cy = self.rotate
            attrs += ' transform="rotate(%g %g %g)"' % (-angle, cx, cy)
        if self.opacity < 1:
            attrs += ' opacity="%g"' % self.opacity
        inner = '\n'.join(c.svg(svg) for c in self.children)
        return '<g%s>\n%s\n</g>' % (attrs, inner)


class Shadow:
    """A soft shadow of a shape: its outline, offset and blurred."""

    def __init__(self, shape, dx, dy, blur, color='#000000', alpha=0.3):
        self.shape, self.dx, self.dy, self.blur, self.color, self.alpha = shape, dx, dy, blur, color, alpha

    def render(self, image, ss):
        mask = Image.new('L', image.size, 0)
        self.shape.draw_mask(ImageDraw.Draw(mask), ss)
        mask = mask.transform(image.size, Image.AFFINE, (1, 0, -self.dx * ss, 0, 1, -self.dy * ss))
        if self.blur:
            mask = mask.filter(ImageFilter.GaussianBlur(self.blur * ss))
        layer = Image.new('RGBA', image.size, rgba(self.color, 1.0))
        layer.putalpha(mask.point(lambda v: round(v * self.alpha)))
        image.alpha_composite(layer)

    def svg(self, svg):
        f = svg.blur(self.blur)
        inner = self.shape.svg(svg)
        return '<g transform="translate(%g %g)" filter="url(#%s)" opacity="%g">%s</g>' % (
            self.dx, self.dy, f, self.alpha, _recolor(inner, self.color))


def _recolor(element, color):
    import re
    return re.sub(r'fill="[^"]*"', 'fill="%s"' % color, element, count=1)


class Scene:
    def __init__(self, width, height, items):
        self.width, self.height, self.items = width, height, items

    def render(self, ss=8, size=None):
        """The scene at its own size (or `size`), rendered `ss` times larger and reduced."""
        size = size or (self.width, self.height)
        scale = size[0] / self.width
        big = Image.new('RGBA', (round(self.width * scale * ss), round(self.height * scale * ss)),
                        (0, 0, 0, 0))
        for item in self.items:
            item.render(big, ss * scale)
        return big.resize(size, Image.LANCZOS)

    def to_svg(self):
        writer = _SvgWriter()
        body = '\n'.join(item.svg(writer) for item in self.items)
        return ('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">\n'
                '<defs>\n%s\n</defs>\n%s\n</svg>\n' % (self.width, self.height, self.width,
                                                      self.height, '\n'.join(writer.defs), body))


class _SvgWriter:
    def __init__(self):
        self.defs = []
        self.count = 0

    def _id(self, prefix):
        self.count += 1
        return '%s%d' % (prefix, self.count)

    def gradient(self, g):
        gid = self._id('g')
        if g.axis == 'y':
            coords = 'x1="0" y1="%g" x2="0" y2="%g"' % (g.start, g.end)
        else:
            coords = 'x1="%g" y1="0" x2="%g" y2="0"' % (g.start, g.end)
        stops = ''.join('<stop offset="%g" stop-color="%s"%s/>' % (
            o, c, ' stop-opacity="%g"' % a if a < 1 else '') for o, (c, a) in g.stops)
        self.defs.append('<linearGradient id="%s" gradientUnits="userSpaceOnUse" %s>%s</linearGradient>'
                         % (gid, coords, stops))
        return gid

    def clip(self, shape):
        cid = self._id('c')
        self.defs.append('<clipPath id="%s">%s</clipPath>' % (cid, shape.svg(self)))
        return cid

    def blur(self, radius):
        fid = self._id('f')
        self.defs.append('<filter id="%s" x="-50%%" y="-50%%" width="200%%" height="200%%">'
                         '<feGaussianBlur stdDeviation="%g"/></filter>' % (fid, radius))
        return fid
