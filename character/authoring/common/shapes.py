import math
def ellipse_poly(cx, cy, rx, ry, n=96, rot=0):
    pts = []
    for i in range(n):
        t = 2*math.pi*i/n
        x, y = rx*math.cos(t), ry*math.sin(t)
        if rot:
            r = math.radians(rot); x, y = x*math.cos(r) - y*math.sin(r), x*math.sin(r) + y*math.cos(r)
        pts.append((cx + x, cy + y))
    return pts
def _inside(p, a, b):  # left of a->b for counter-clockwise clip polygons (y down: use cross sign)
    return (b[0]-a[0])*(p[1]-a[1]) - (b[1]-a[1])*(p[0]-a[0]) >= 0
def _isect(p1, p2, a, b):
    x1,y1 = p1; x2,y2 = p2; x3,y3 = a; x4,y4 = b
    den = (x1-x2)*(y3-y4) - (y1-y2)*(x3-x4)
    if abs(den) < 1e-12: return p2
    t = ((x1-x3)*(y3-y4) - (y1-y3)*(x3-x4)) / den
    return (x1 + t*(x2-x1), y1 + t*(y2-y1))
def clip(subject, clipper):
    """Sutherland-Hodgman: subject polygon clipped by a convex polygon (points in the
    same winding as ellipse_poly gives, i.e. increasing angle)."""
    out = subject
    for i in range(len(clipper)):
        a, b = clipper[i], clipper[(i+1) % len(clipper)]
        inp, out = out, []
        if not inp: break
        s = inp[-1]
        for e in inp:
            if _inside(e, a, b):
                if not _inside(s, a, b): out.append(_isect(s, e, a, b))
                out.append(e)
            elif _inside(s, a, b):
                out.append(_isect(s, e, a, b))
            s = e
    return out
def halfplane(a, b, big=400):
    """Convex polygon for the side of the line a->b that _inside() keeps."""
    dx, dy = b[0]-a[0], b[1]-a[1]
    L = math.hypot(dx, dy); dx, dy = dx/L*big, dy/L*big
    nx, ny = -dy, dx  # left normal in y-down coordinates for our cross sign
    p0 = (a[0]-dx, a[1]-dy); p1 = (a[0]+dx, a[1]+dy)
    return [p0, p1, (p1[0]+nx, p1[1]+ny), (p0[0]+nx, p0[1]+ny)]
def path(pts, decimals=1):
    if not pts: return ''
    f = '%%.%df %%.%df' % (decimals, decimals)
    return 'M' + ' L'.join(f % p for p in pts) + ' Z'
