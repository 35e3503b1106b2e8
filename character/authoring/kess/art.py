# Kess the kestrel: the SVG art, one top-level group per part variant.
import math
from shapes import *
from geom import *

OUT = '#3a2922'      # warm outline
SLATE = '#2d3546'    # moustache, brows, closed-eye lines
HEAD_LID = '#7d92b0'
FACE = '#fdf5e6'
YEL = '#f6c343'
YEL_D = '#d9951c'

defs = '''
  <radialGradient id="gHead" cx="54" cy="30" r="46" fx="50" fy="26" gradientUnits="userSpaceOnUse">
    <stop offset="0" stop-color="#adc0d9"/><stop offset="0.55" stop-color="#8397b5"/><stop offset="1" stop-color="#5f7391"/>
  </radialGradient>
  <linearGradient id="gFace" x1="0" y1="44" x2="0" y2="74" gradientUnits="userSpaceOnUse">
    <stop offset="0" stop-color="#fffaf0"/><stop offset="1" stop-color="#f3e3c6"/>
  </linearGradient>
  <radialGradient id="gBody" cx="58" cy="84" r="42" fx="54" fy="78" gradientUnits="userSpaceOnUse">
    <stop offset="0" stop-color="#ec9152"/><stop offset="0.6" stop-color="#d2682e"/><stop offset="1" stop-color="#a94a1f"/>
  </radialGradient>
  <linearGradient id="gChest" x1="0" y1="74" x2="0" y2="116" gradientUnits="userSpaceOnUse">
    <stop offset="0" stop-color="#fff7e8"/><stop offset="1" stop-color="#f0d9b0"/>
  </linearGradient>
  <linearGradient id="gWing" x1="-8" y1="-6" x2="8" y2="30" gradientUnits="userSpaceOnUse">
    <stop offset="0" stop-color="#e98a48"/><stop offset="1" stop-color="#bd5526"/>
  </linearGradient>
  <linearGradient id="gPrim" x1="0" y1="18" x2="0" y2="34" gradientUnits="userSpaceOnUse">
    <stop offset="0" stop-color="#5a3526"/><stop offset="1" stop-color="#3a231a"/>
  </linearGradient>
  <radialGradient id="gIris" cx="0" cy="0" r="1" fx="-0.25" fy="-0.35">
    <stop offset="0" stop-color="#7a4a2a"/><stop offset="0.7" stop-color="#3c2415"/><stop offset="1" stop-color="#1c110a"/>
  </radialGradient>
  <linearGradient id="gBeak" x1="0" y1="50" x2="0" y2="63" gradientUnits="userSpaceOnUse">
    <stop offset="0" stop-color="#7a879c"/><stop offset="1" stop-color="#343b4a"/>
  </linearGradient>
  <linearGradient id="gTail" x1="0" y1="96" x2="0" y2="126" gradientUnits="userSpaceOnUse">
    <stop offset="0" stop-color="#8d9db5"/><stop offset="1" stop-color="#6f809b"/>
  </linearGradient>
  <linearGradient id="gBrass" x1="0" y1="0" x2="1" y2="1">
    <stop offset="0" stop-color="#f3cf72"/><stop offset="1" stop-color="#c98f2e"/>
  </linearGradient>
  <linearGradient id="gSteel" x1="0" y1="0" x2="1" y2="1">
    <stop offset="0" stop-color="#b9c3d0"/><stop offset="1" stop-color="#6c7788"/>
  </linearGradient>
  <radialGradient id="gGlass" cx="0.4" cy="0.35" r="0.7">
    <stop offset="0" stop-color="#ffffff" stop-opacity="0.75"/><stop offset="0.5" stop-color="#cfe9ff" stop-opacity="0.35"/>
    <stop offset="1" stop-color="#8cc4f0" stop-opacity="0.45"/>
  </radialGradient>
'''

EL = {}   # element id -> svg markup (inside its <g id>)

def mirror(svg):
    return '<g transform="translate(128 0) scale(-1 1)">%s</g>' % svg

# --- tail: three feathers drawn pointing down, then swung out behind the right hip
def feather(angle, length, width=8.4):
    w = width / 2
    def shape(L):
        return 'M%.1f 96 L%.1f 96 L%.1f %.1f Q0 %.1f %.1f %.1f Z' % (-w * 0.7, w * 0.7, w, 96 + L - w * 1.3, 96 + L + w * 0.5, -w, 96 + L - w * 1.3)
    g = '<path d="%s" fill="#f4e6c8"/>' % shape(length)
    g += '<path d="%s" fill="#2b303c"/>' % shape(length - 3.2)
    g += '<path d="%s" fill="url(#gTail)"/>' % shape(length - 6.8)
    g += '<path d="M0 99 L0 %.1f" stroke="#aebbd0" stroke-width="0.9" stroke-linecap="round"/>' % (96 + length - 8)
    g += '<path d="%s" fill="none" stroke="%s" stroke-width="1.4" stroke-linejoin="round"/>' % (shape(length), OUT)
    return '<g transform="translate(66 0) rotate(%.1f 0 96)">%s</g>' % (angle, g)
tail_down = feather(-12, 33) + feather(12, 33) + feather(0, 37)
EL['tail'] = '<g transform="translate(14 7) rotate(-60 66 96)">%s</g>' % tail_down

# --- feet ---------------------------------------------------------------
def foot(cx, top=111, bottom=123, spread=4.6):
    s = ''
    toes = [(cx - spread, bottom - 1.2), (cx, bottom), (cx + spread, bottom - 1.2)]
    legs = 'M%.1f %.1f L%.1f %.1f' % (cx, top, cx, bottom - 5)
    toe = ' '.join('M%.1f %.1f L%.1f %.1f' % (cx, bottom - 5, x, y) for x, y in toes)
    s += '<path d="%s %s" stroke="%s" stroke-width="5.4" stroke-linecap="round" stroke-linejoin="round" fill="none"/>' % (legs, toe, OUT)
    s += '<path d="%s %s" stroke="%s" stroke-width="3.2" stroke-linecap="round" stroke-linejoin="round" fill="none"/>' % (legs, toe, YEL)
    s += '<path d="M%.1f %.1f L%.1f %.1f" stroke="#fbe08c" stroke-width="1" stroke-linecap="round"/>' % (cx - 0.6, top + 1, cx - 0.6, bottom - 6)
    for x, y in toes:
        s += '<circle cx="%.1f" cy="%.1f" r="1.05" fill="#2a211d"/>' % (x + (x - cx) * 0.18, y + 0.9)
    return s
EL['feet-stand'] = foot(55.5) + foot(72.5)
def tucked(cx):
    return ('<path d="M%.1f 110 Q%.1f 116 %.1f 116.5 Q%.1f 117 %.1f 114" stroke="%s" stroke-width="5" stroke-linecap="round" fill="none"/>'
            '<path d="M%.1f 110 Q%.1f 116 %.1f 116.5 Q%.1f 117 %.1f 114" stroke="%s" stroke-width="3" stroke-linecap="round" fill="none"/>'
            % (cx, cx, cx + 2, cx + 4, cx + 4.5, OUT, cx, cx, cx + 2, cx + 4, cx + 4.5, YEL)) + \
           '<circle cx="%.1f" cy="113.6" r="1" fill="#2a211d"/>' % (cx + 4.9)
EL['feet-tucked'] = tucked(55) + mirror(tucked(55))

# --- body ---------------------------------------------------------------
body_path = 'M64 64 C83 64 93 83 93 98 C93 111.5 80.5 118.5 64 118.5 C47.5 118.5 35 111.5 35 98 C35 83 45 64 64 64 Z'
chest_path = 'M64 70 C76.5 70 84 85 84 99 C84 109.5 75.5 115.8 64 115.8 C52.5 115.8 44 109.5 44 99 C44 85 51.5 70 64 70 Z'
def drop(x, y, s=1.0):
    return 'M%.2f %.2f Q%.2f %.2f %.2f %.2f Q%.2f %.2f %.2f %.2f Z' % (
        x, y - 2.7*s, x + 1.9*s, y + 0.6*s, x, y + 2.2*s, x - 1.9*s, y + 0.6*s, x, y - 2.7*s)
spots = [(57, 84, .8), (64, 82.5, .85), (71, 84, .8),
         (52.5, 91.5, .95), (60.5, 90.5, 1), (68, 90.5, 1), (76, 91.5, .95),
         (50, 100, .95), (57.5, 98.8, 1.05), (65, 99, 1.05), (72.5, 98.8, 1.05), (79.5, 100, .9),
         (54, 107.5, .95), (61.5, 107, 1), (69, 107, 1), (76, 107.5, .9)]
EL['body'] = ('<path d="%s" fill="url(#gBody)"/>' % body_path +
              '<path d="%s" fill="url(#gChest)"/>' % chest_path +
              ''.join('<path d="%s" fill="#6b3a23"/>' % drop(x, y, s) for x, y, s in spots) +
              '<path d="M47 110 Q64 119 81 110" stroke="#e1c193" stroke-width="1" fill="none" stroke-linecap="round"/>' +
              '<path d="%s" fill="none" stroke="%s" stroke-width="1.6"/>' % (body_path, OUT))

# --- head ---------------------------------------------------------------
head_path = 'M64 15.5 C85 15.5 97 30 97 46 C97 62.5 83.5 74.5 64 74.5 C44.5 74.5 31 62.5 31 46 C31 30 43 15.5 64 15.5 Z'
face_path = 'M33.2 52.5 C36 45.5 46 44.8 55 47.5 C59.5 48.8 62 49.5 64 49.5 C66 49.5 68.5 48.8 73 47.5 C82 44.8 92 45.5 94.8 52.5 C95.5 64.5 82.5 74.3 64 74.3 C45.5 74.3 32.5 64.5 33.2 52.5 Z'
tuft = 'M59.5 17.2 C59.4 13 62 10.2 66.4 10 C64.4 11.8 64 14 65 16 C66.2 13.6 68.6 12.6 71 13.2 C69 14.2 68 15.8 68.2 17.8 Z'
stripe = 'M43.6 51.2 C46.4 52.6 49.6 52.8 52.2 52 C52.6 55.6 51.4 59.6 49.2 62.2 C47.6 64 45 63.6 44.6 61.4 C44 58 43.4 54.6 43.6 51.2 Z'
sideburn = 'M33.6 51.5 C35.6 52.6 37.6 55.6 37.4 60 C35.6 58.6 34 55.6 33.6 51.5 Z'
streaks = 'M55 22.5 L56 26.5 M63.6 20 L63.8 24.4 M72.4 22.4 L71.4 26.4 M47.6 27.6 L49.4 30.6 M80.4 27.6 L78.6 30.6'
EL['head'] = ('<path d="%s" fill="url(#gHead)" stroke="%s" stroke-width="1.6" stroke-linejoin="round"/>' % (tuft, OUT) +
              '<path d="%s" fill="url(#gHead)"/>' % head_path +
              '<path d="%s" stroke="#60738f" stroke-width="1.3" stroke-linecap="round" fill="none"/>' % streaks +
              '<path d="%s" fill="url(#gFace)"/>' % face_path +
              '<path d="%s" fill="%s"/>' % (stripe, SLATE) + mirror('<path d="%s" fill="%s"/>' % (stripe, SLATE)) +
              '<path d="%s" fill="%s" opacity="0.85"/>' % (sideburn, SLATE) + mirror('<path d="%s" fill="%s" opacity="0.85"/>' % (sideburn, SLATE)) +
              '<path d="%s" fill="none" stroke="%s" stroke-width="1.6"/>' % (head_path, OUT))

# --- eyes ---------------------------------------------------------------
EYES = [(51, 42.5), (77, 42.5)]
def eye(cx, cy, look=(0, 0.6), ring=(9.7, 10.5), sclera=(8.2, 9.0), iris=5.3, pupil=2.7,
        lid=None, lower=None, side=1):
    """side: -1 for the eye on the viewer's left, 1 for the right; lid/lower are
    lines (two points, relative to the centre, outer to inner) the lids come to."""
    s = '<ellipse cx="%.2f" cy="%.2f" rx="%.2f" ry="%.2f" fill="%s" stroke="%s" stroke-width="1.3"/>' % (cx, cy, ring[0], ring[1], YEL, OUT)
    s += '<ellipse cx="%.2f" cy="%.2f" rx="%.2f" ry="%.2f" fill="#ffffff"/>' % (cx, cy, sclera[0], sclera[1])
    scl = ellipse_poly(cx, cy, *sclera, n=64)
    ix, iy = cx + look[0], cy + look[1]
    def disc(r, fill, gradient=False):
        """A disc of the eye, cut to the white of the eye where it pokes out."""
        inside = all(((x - cx) / sclera[0]) ** 2 + ((y - cy) / sclera[1]) ** 2 <= 1.0
                     for x, y in ellipse_poly(ix, iy, r, r, n=32))
        if inside and not gradient:
            return '<circle cx="%.2f" cy="%.2f" r="%.2f" fill="%s"/>' % (ix, iy, r, fill)
        if inside:
            return '<g transform="translate(%.2f %.2f) scale(%.2f)"><circle r="1" fill="%s"/></g>' % (ix, iy, r, fill)
        poly = clip(ellipse_poly(ix, iy, r, r, n=48), scl)
        if not gradient:
            return '<path d="%s" fill="%s"/>' % (path(poly), fill)
        return '<g transform="translate(%.2f %.2f) scale(%.2f)"><path d="%s" fill="%s"/></g>' % (
            ix, iy, r, path([((x - ix) / r, (y - iy) / r) for x, y in poly], 3), fill)
    s += disc(iris + 0.6, '#1c110a')
    s += disc(iris, 'url(#gIris)', gradient=True)
    s += disc(pupil, '#0d0805')
    s += '<circle cx="%.2f" cy="%.2f" r="%.2f" fill="#ffffff"/>' % (ix + iris * 0.36, iy - iris * 0.42, iris * 0.36)
    s += '<circle cx="%.2f" cy="%.2f" r="%.2f" fill="#ffffff" opacity="0.85"/>' % (ix - iris * 0.34, iy + iris * 0.4, iris * 0.16)
    if lid:
        (ax, ay), (bx, by) = lid
        if side < 0: ax, bx = -ax, -bx
        a, b = (cx + ax, cy + ay), (cx + bx, cy + by)
        if a[0] > b[0]: a, b = b, a
        # keep the part above the line a->b: walk right to left
        poly = clip(ellipse_poly(cx, cy, sclera[0] + 0.3, sclera[1] + 0.3, n=64), halfplane(b, a))
        s += '<path d="%s" fill="%s"/>' % (path(poly), HEAD_LID)
        s += '<path d="M%.2f %.2f L%.2f %.2f" stroke="%s" stroke-width="1.6" stroke-linecap="round"/>' % (
            *edge_on_ellipse(cx, cy, sclera, a, b), SLATE)
    if lower:
        (ax, ay), (bx, by) = lower
        if side < 0: ax, bx = -ax, -bx
        a, b = (cx + ax, cy + ay), (cx + bx, cy + by)
        if a[0] > b[0]: a, b = b, a
        poly = clip(ellipse_poly(cx, cy, sclera[0] + 0.3, sclera[1] + 0.3, n=64), halfplane(a, b))
        s += '<path d="%s" fill="%s"/>' % (path(poly), '#f3e4c8')
        s += '<path d="M%.2f %.2f L%.2f %.2f" stroke="%s" stroke-width="1" stroke-linecap="round" opacity="0.6"/>' % (
            *edge_on_ellipse(cx, cy, sclera, a, b), SLATE)
    return s

def edge_on_ellipse(cx, cy, radii, a, b):
    """The chord of the line a-b inside the ellipse."""
    rx, ry = radii[0] + 0.2, radii[1] + 0.2
    (x1, y1), (x2, y2) = a, b
    dx, dy = x2 - x1, y2 - y1
    # solve ((x1+t dx - cx)/rx)^2 + ((y1 + t dy - cy)/ry)^2 = 1
    px, py = (x1 - cx) / rx, (y1 - cy) / ry
    qx, qy = dx / rx, dy / ry
    A = qx*qx + qy*qy; B = 2*(px*qx + py*qy); C = px*px + py*py - 1
    disc = max(B*B - 4*A*C, 0)
    t1 = (-B - math.sqrt(disc)) / (2*A); t2 = (-B + math.sqrt(disc)) / (2*A)
    return (x1 + t1*dx, y1 + t1*dy, x1 + t2*dx, y1 + t2*dy)

def both(**kw):
    return eye(*EYES[0], side=-1, **kw) + eye(*EYES[1], side=1, **kw)
def both_look(l, r, **kw):
    return eye(*EYES[0], side=-1, look=l, **kw) + eye(*EYES[1], side=1, look=r, **kw)

EL['eyes-open'] = both()
EL['eyes-right'] = both(look=(2.9, 0.2))
EL['eyes-left'] = both(look=(-2.9, 0.2))
EL['eyes-down'] = both(look=(0.2, 3.6), lid=((-12, -2.6), (12, -2.6)))
EL['eyes-up'] = both(look=(0.4, -3.7))
EL['eyes-up-right'] = both(look=(2.2, -3.0))
EL['eyes-wide'] = both(look=(0, 0.3), ring=(10.8, 11.6), sclera=(9.3, 10.1), iris=4.3, pupil=2.1)
EL['eyes-half'] = both(look=(0, 1.2), lid=((-12, 0.2), (12, 0.2)))
EL['eyes-sad'] = both(look=(0, 2.6), lid=((-12, -6.8), (12, -0.6)))
EL['eyes-focus'] = both(look=(1.2, 0.8), lid=((-12, -3.8), (12, -3.8)), lower=((-12, 4.2), (12, 4.2)))
EL['eyes-cross'] = both(look=(0, 0.6), lid=((-12, -0.8), (12, -4.0)))  # annoyed/declining: lids slant down inward
def arc_eyes(dy1, dy2, width=2.6):
    s = ''
    for cx, cy in EYES:
        s += '<path d="M%.1f %.1f Q%.1f %.1f %.1f %.1f" stroke="%s" stroke-width="%.1f" stroke-linecap="round" fill="none"/>' % (
            cx - 7.6, cy + dy1, cx, cy + dy2, cx + 7.6, cy + dy1, SLATE, width)
    return s
EL['eyes-closed'] = arc_eyes(1.0, 5.0, 2.3)
EL['eyes-happy'] = arc_eyes(3.6, -5.2, 2.8)

# --- brows --------------------------------------------------------------
def brows(l, r=None):
    """l: (outer y, middle y, inner y) offsets for the left brow; r mirrors it unless given."""
    r = r or l
    s = ''
    for (cx, cy), (o, m, i), side in ((EYES[0], l, -1), (EYES[1], r, 1)):
        outer, inner = cx + side * 6.8, cx - side * 6.2
        s += '<path d="M%.1f %.1f Q%.1f %.1f %.1f %.1f" stroke="%s" stroke-width="3.3" stroke-linecap="round" fill="none"/>' % (
            outer, cy - 13 + o, cx, cy - 13 + m - 2.6, inner, cy - 13 + i, SLATE)
    return s
EL['brows-neutral'] = brows((0.6, 0, 0.4))
EL['brows-raised'] = brows((-2.2, -4.2, -3.0))
EL['brows-sad'] = brows((1.8, 0.2, -3.2))
EL['brows-frown'] = brows((-0.6, 1.0, 3.0))
EL['brows-puzzled'] = brows((-2.4, -4.4, -3.2), (0.0, 1.4, 2.4))
EL['brows-focus'] = brows((0.6, 1.4, 2.0))

# --- beak (the mouth) ---------------------------------------------------
cere = '<path d="M58.2 50.3 Q64 47.2 69.8 50.3 L69.2 53.6 Q64 52 58.8 53.6 Z" fill="%s" stroke="%s" stroke-width="1.1" stroke-linejoin="round"/>' % (YEL, OUT) + \
       '<circle cx="61.6" cy="50.9" r="0.75" fill="#5a3a1a"/><circle cx="66.4" cy="50.9" r="0.75" fill="#5a3a1a"/>'
def upper(tip=62.6):
    return ('<path d="M58.6 53 Q64 51.4 69.4 53 C69.6 56.4 67.4 %.1f 64 %.1f C60.6 %.1f 58.4 56.4 58.6 53 Z" fill="url(#gBeak)" stroke="%s" stroke-width="1.2" stroke-linejoin="round"/>' % (tip - 3, tip, tip - 3, OUT) +
            '<path d="M61.2 54.6 Q62 57.6 63.4 59.4" stroke="#aab4c4" stroke-width="0.9" stroke-linecap="round" fill="none"/>')
def beak(drop, wide=0.0):
    if drop <= 0:
        return upper() + cere
    w = 4.6 + wide
    lower = 'M%.1f 55 C%.1f %.1f %.1f %.1f 64 %.1f C%.1f %.1f %.1f %.1f %.1f 55 Z' % (
        64 - w, 64 - w, 58.5 + drop, 66 - w * 0.5 - 1.2, 61.5 + drop, 63.2 + drop, 62 + w * 0.5 + 1.2, 61.5 + drop, 64 + w, 58.5 + drop, 64 + w)
    inner = 'M%.1f 55.5 C%.1f %.1f %.1f %.1f 64 %.1f C%.1f %.1f %.1f %.1f %.1f 55.5 Z' % (
        64 - w + 1.1, 64 - w + 1.1, 57.5 + drop * 0.9, 66 - w * 0.5 - 0.6, 60 + drop * 0.9, 61.6 + drop * 0.9, 62 + w * 0.5 + 0.6, 60 + drop * 0.9, 64 + w - 1.1, 57.5 + drop * 0.9, 64 + w - 1.1)
    s = '<path d="%s" fill="#8795aa" stroke="%s" stroke-width="1.2" stroke-linejoin="round"/>' % (lower, OUT)
    s += '<path d="%s" fill="#7a2430"/>' % inner
    s += '<ellipse cx="64" cy="%.1f" rx="%.1f" ry="%.1f" fill="#e57f8a"/>' % (58.8 + drop * 0.82, 1.6 + wide * 0.35 + drop * 0.12, 1.0 + drop * 0.1)
    return s + upper(61.8) + cere
EL['mouth-closed'] = beak(0)
EL['mouth-slight'] = beak(2.4)
EL['mouth-open'] = beak(5.0, 0.8)
EL['mouth-wide'] = beak(8.2, 1.8)
EL['mouth-tongue'] = (upper() + cere + '<path d="M67.2 58.2 Q70.6 59.4 70.4 62 Q68.6 63.2 67 61.2 Z" fill="#e57f8a" stroke="%s" stroke-width="0.9"/>' % OUT)
EL['mouth-smile'] = (upper() + cere +
    '<path d="M57.6 59.6 Q64 66.4 70.4 59.6" stroke="%s" stroke-width="1.6" stroke-linecap="round" fill="none" opacity="0.0"/>' % OUT)

# --- blush, tear ----------------------------------------------------------
EL['blush'] = ('<ellipse cx="40.2" cy="58.6" rx="4.6" ry="2.8" fill="#f47a86" opacity="0.55"/>'
               '<ellipse cx="87.8" cy="58.6" rx="4.6" ry="2.8" fill="#f47a86" opacity="0.55"/>')
EL['tear'] = ('<path d="M40.6 53 Q37.2 58.6 37.6 60.8 Q38.4 63.4 40.8 63.2 Q43.2 62.8 43 60.4 Q42.8 58 40.6 53 Z" '
              'fill="#8fd0ff" stroke="#3d7fb8" stroke-width="0.9"/><ellipse cx="39.6" cy="60.4" rx="0.8" ry="1.3" fill="#ffffff"/>')

# --- wings --------------------------------------------------------------
wing_full = ('M0 -6.5 C6.4 -6.5 8.6 -1 8 6 C7.5 13 6.6 19 5 24.5 Q4.4 31 1.6 32.8 Q0 30.4 -0.8 28.6 '
             'Q-1.6 33.6 -4.6 33.6 Q-5.8 29.6 -6.6 27.4 Q-8.6 30.6 -10.3 28.8 C-10.8 22 -9.8 12 -8.3 5 C-7.2 -1 -5.4 -6.5 0 -6.5 Z')
wing_coverts = ('M0 -6.5 C6.4 -6.5 8.6 -1 8 6 C7.6 11.6 6.9 16.6 5.8 20.8 Q3.4 24.2 1.2 21.6 Q-1.4 25 -4 22.2 '
                'Q-6.6 25.2 -9.6 21.4 C-9.6 14 -9.2 9.5 -8.3 5 C-7.2 -1 -5.4 -6.5 0 -6.5 Z')
wing_marks = ''.join('<path d="%s" fill="#6b3420"/>' % drop(x, y, .8) for x, y in
                     [(-3.5, 4), (2.5, 6), (-5.6, 11), (0, 12.4), (4.2, 14), (-2.8, 17.4)])
wing_lines = ('<path d="M-0.8 22 L-0.4 28 M-5 22.5 L-4.6 30 M3.2 21 L2.6 27.6" stroke="#7c4c36" stroke-width="0.8" stroke-linecap="round" fill="none"/>')
wing_local = ('<path d="%s" fill="url(#gPrim)"/>' % wing_full + wing_lines +
              '<path d="%s" fill="url(#gWing)"/>' % wing_coverts + wing_marks +
              '<path d="M-6 1 Q-3 -3 2 -3.6" stroke="#f4a86f" stroke-width="1.1" stroke-linecap="round" fill="none"/>' +
              '<path d="%s" fill="none" stroke="%s" stroke-width="1.5" stroke-linejoin="round"/>' % (wing_full, OUT))
SHOULDER_L = (41.5, 80)
SHOULDER_R = (128 - 41.5, 80)
WING_REST_TILT = 11
EL['wingLeft'] = '<g transform="translate(%.1f %.1f) rotate(%d)">%s</g>' % (SHOULDER_L[0], SHOULDER_L[1], WING_REST_TILT, wing_local)
EL['wingRight'] = mirror(EL['wingLeft'])

BEAK_T = '<g transform="translate(64 50) scale(1.22) translate(-64 -50)">%s</g>'
for k in list(EL):
    if k.startswith('mouth-'):
        EL[k] = BEAK_T % EL[k]
