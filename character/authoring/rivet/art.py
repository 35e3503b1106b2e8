# Rivet the robot: the SVG art, one top-level group per part variant.
# A round head with a screen for a face, an antenna, accordion arms with
# mitten hands, and a little thruster it hovers on.
import math
from shapes import path
from geom import R, T, mul, apply, mstr

OUT = '#22303f'       # outline, a deep slate
GLOW = '#7ff4ff'      # what the face screen draws with
GLOW_D = '#2fb9d6'
SCREEN = '#16213a'
TEAL = '#2f9d96'
TEAL_D = '#1f716d'

defs = '''
  <radialGradient id="gShell" cx="52" cy="24" r="48" fx="48" fy="20" gradientUnits="userSpaceOnUse">
    <stop offset="0" stop-color="#ffffff"/><stop offset="0.55" stop-color="#e9eee9"/><stop offset="1" stop-color="#b8c6c4"/>
  </radialGradient>
  <linearGradient id="gScreen" x1="0" y1="22" x2="0" y2="60" gradientUnits="userSpaceOnUse">
    <stop offset="0" stop-color="#22335a"/><stop offset="1" stop-color="#121a2e"/>
  </linearGradient>
  <radialGradient id="gBody" cx="56" cy="78" r="36" fx="52" fy="74" gradientUnits="userSpaceOnUse">
    <stop offset="0" stop-color="#5fd0c4"/><stop offset="0.6" stop-color="#35a69d"/><stop offset="1" stop-color="#207a74"/>
  </radialGradient>
  <linearGradient id="gBelly" x1="0" y1="75" x2="0" y2="100" gradientUnits="userSpaceOnUse">
    <stop offset="0" stop-color="#fffdf4"/><stop offset="1" stop-color="#e6e0cc"/>
  </linearGradient>
  <linearGradient id="gSkirt" x1="0" y1="100" x2="0" y2="112" gradientUnits="userSpaceOnUse">
    <stop offset="0" stop-color="#6f7f90"/><stop offset="1" stop-color="#3d4857"/>
  </linearGradient>
  <linearGradient id="gJet" x1="0" y1="110" x2="0" y2="122" gradientUnits="userSpaceOnUse">
    <stop offset="0" stop-color="#f2ffff"/><stop offset="0.35" stop-color="#8ff0ff" stop-opacity="0.95"/>
    <stop offset="1" stop-color="#3fb6e8" stop-opacity="0"/>
  </linearGradient>
  <linearGradient id="gJetBig" x1="0" y1="110" x2="0" y2="127" gradientUnits="userSpaceOnUse">
    <stop offset="0" stop-color="#ffffff"/><stop offset="0.3" stop-color="#9ff4ff" stop-opacity="0.95"/>
    <stop offset="1" stop-color="#3fb6e8" stop-opacity="0"/>
  </linearGradient>
  <radialGradient id="gBall" cx="62.6" cy="6.2" r="4.6" gradientUnits="userSpaceOnUse">
    <stop offset="0" stop-color="#fff2c2"/><stop offset="0.5" stop-color="#ffb23e"/><stop offset="1" stop-color="#e0781e"/>
  </radialGradient>
  <radialGradient id="gBallRed" cx="62.6" cy="6.2" r="4.6" gradientUnits="userSpaceOnUse">
    <stop offset="0" stop-color="#ffd6cc"/><stop offset="0.5" stop-color="#ff5a44"/><stop offset="1" stop-color="#c42a22"/>
  </radialGradient>
  <radialGradient id="gHalo" cx="64" cy="7.6" r="11" gradientUnits="userSpaceOnUse">
    <stop offset="0" stop-color="#fff3b0" stop-opacity="0.95"/><stop offset="0.45" stop-color="#ffd060" stop-opacity="0.45"/>
    <stop offset="1" stop-color="#ffb030" stop-opacity="0"/>
  </radialGradient>
  <radialGradient id="gHaloRed" cx="64" cy="7.6" r="11" gradientUnits="userSpaceOnUse">
    <stop offset="0" stop-color="#ffd0c0" stop-opacity="0.95"/><stop offset="0.45" stop-color="#ff6a50" stop-opacity="0.45"/>
    <stop offset="1" stop-color="#ff4030" stop-opacity="0"/>
  </radialGradient>
  <linearGradient id="gArm" x1="-4" y1="0" x2="4" y2="0" gradientUnits="userSpaceOnUse">
    <stop offset="0" stop-color="#c9d3dc"/><stop offset="1" stop-color="#7f8d9b"/>
  </linearGradient>
  <radialGradient id="gHand" cx="-1.6" cy="20.5" r="7" gradientUnits="userSpaceOnUse">
    <stop offset="0" stop-color="#ffffff"/><stop offset="1" stop-color="#c6d0d6"/>
  </radialGradient>
  <radialGradient id="gLamp" cx="62.8" cy="82.6" r="5" gradientUnits="userSpaceOnUse">
    <stop offset="0" stop-color="#eaffff"/><stop offset="0.5" stop-color="#6ff0ff"/><stop offset="1" stop-color="#1f9fc0"/>
  </radialGradient>
  <radialGradient id="gLampAmber" cx="62.8" cy="82.6" r="5" gradientUnits="userSpaceOnUse">
    <stop offset="0" stop-color="#fff6d8"/><stop offset="0.5" stop-color="#ffc447"/><stop offset="1" stop-color="#d2821c"/>
  </radialGradient>
  <linearGradient id="gTablet" x1="0" y1="0" x2="1" y2="1">
    <stop offset="0" stop-color="#4a5566"/><stop offset="1" stop-color="#2b3340"/>
  </linearGradient>
  <linearGradient id="gPage" x1="0" y1="80" x2="0" y2="104" gradientUnits="userSpaceOnUse">
    <stop offset="0" stop-color="#f4fbff"/><stop offset="1" stop-color="#d6e8f2"/>
  </linearGradient>
  <radialGradient id="gLens" cx="0.4" cy="0.35" r="0.7">
    <stop offset="0" stop-color="#ffffff" stop-opacity="0.55"/><stop offset="0.5" stop-color="#cfe9ff" stop-opacity="0.2"/>
    <stop offset="1" stop-color="#8cc4f0" stop-opacity="0.35"/>
  </radialGradient>
'''

EL = {}

def mirror(svg):
    return '<g transform="translate(128 0) scale(-1 1)">%s</g>' % svg

def superellipse(cx, cy, rx, ry, p=2.6, n=120):
    pts = []
    for i in range(n):
        t = 2 * math.pi * i / n
        c, s = math.cos(t), math.sin(t)
        x = rx * math.copysign(abs(c) ** (2 / p), c)
        y = ry * math.copysign(abs(s) ** (2 / p), s)
        pts.append((cx + x, cy + y))
    return path(pts, 2)

def capsule(x1, y1, x2, y2, w, fill, stroke=None, sw=1.2, extra=''):
    """A round-ended bar, drawn as a stroked line (with an outline under it if asked)."""
    s = ''
    if stroke:
        s += '<path d="M%.2f %.2f L%.2f %.2f" stroke="%s" stroke-width="%.2f" stroke-linecap="round"/>' % (x1, y1, x2, y2, stroke, w + 2 * sw)
    s += '<path d="M%.2f %.2f L%.2f %.2f" stroke="%s" stroke-width="%.2f" stroke-linecap="round"%s/>' % (x1, y1, x2, y2, fill, w, extra)
    return s

# --- shadow on the ground, and the thruster's flame ----------------------------
EL['shadow'] = '<ellipse cx="64" cy="123.5" rx="17" ry="3.2" fill="#1b2533" opacity="0.22"/><ellipse cx="64" cy="123.5" rx="10" ry="1.9" fill="#1b2533" opacity="0.18"/>'
def jet(length, width, grad='gJet'):
    y0 = 110.5
    return ('<path d="M%.1f %.1f Q%.1f %.1f 64 %.1f Q%.1f %.1f %.1f %.1f Z" fill="url(#%s)"/>' % (
                64 - width, y0, 64 - width * 0.7, y0 + length * 0.6, y0 + length, 64 + width * 0.7, y0 + length * 0.6, 64 + width, y0, grad) +
            '<ellipse cx="64" cy="%.1f" rx="%.1f" ry="1.6" fill="#ffffff" opacity="0.9"/>' % (y0 + 0.6, width * 0.7))
EL['jet'] = jet(8.5, 5.2)
EL['jet-flicker'] = jet(10.5, 4.6)
EL['jet-big'] = jet(15, 6.2, 'gJetBig')
EL['jet-low'] = jet(4.5, 4.4)

# --- body: skirt and nozzle, neck, shell, belly panel ----------------------------
body_path = ('M64 68.5 C76 68.5 84 70 85.5 76 C87.5 84 87 94 82 100 C78 104.5 71 105.5 64 105.5 '
             'C57 105.5 50 104.5 46 100 C41 94 40.5 84 42.5 76 C44 70 52 68.5 64 68.5 Z')
belly_path = ('M64 75.5 C71.5 75.5 76.5 76.5 77.6 80.5 C78.8 86 78.2 92 75.4 95.8 C72.6 99 68 99.6 64 99.6 '
              'C60 99.6 55.4 99 52.6 95.8 C49.8 92 49.2 86 50.4 80.5 C51.5 76.5 56.5 75.5 64 75.5 Z')
skirt = 'M49.5 101 L78.5 101 Q79.5 101 78.6 102.6 L74.6 108.6 Q74 109.6 72.8 109.6 L55.2 109.6 Q54 109.6 53.4 108.6 L49.4 102.6 Q48.5 101 49.5 101 Z'
EL['body'] = (
    # neck collar, behind everything
    '<rect x="56.5" y="61" width="15" height="10" rx="2.5" fill="#56636f" stroke="%s" stroke-width="1.4"/>' % OUT +
    '<path d="M57.5 64.6 L70.5 64.6 M57.5 67.6 L70.5 67.6" stroke="#8c99a5" stroke-width="1"/>' +
    '<path d="%s" fill="url(#gSkirt)" stroke="%s" stroke-width="1.5" stroke-linejoin="round"/>' % (skirt, OUT) +
    '<path d="M53 104.6 L75 104.6" stroke="#8795a3" stroke-width="1" stroke-linecap="round"/>' +
    '<rect x="57.6" y="107.6" width="12.8" height="4" rx="1.4" fill="#2c3542" stroke="%s" stroke-width="1.3"/>' % OUT +
    '<rect x="59.4" y="110" width="9.2" height="1.4" rx="0.7" fill="#9ff4ff" opacity="0.9"/>' +
    '<path d="%s" fill="url(#gBody)"/>' % body_path +
    '<path d="M47 74.5 Q64 70.5 81 74.5" stroke="#8fe6dc" stroke-width="1.4" fill="none" stroke-linecap="round" opacity="0.8"/>' +
    '<path d="%s" fill="url(#gBelly)" stroke="%s" stroke-width="1.1" opacity="1"/>' % (belly_path, TEAL_D) +
    # a speaker grille and two small lamps under the chest light
    ''.join('<path d="M%.1f 92.4 L%.1f 96.2" stroke="#9aa5a8" stroke-width="1.3" stroke-linecap="round"/>' % (x, x) for x in (59.6, 62.5, 65.5, 68.4)) +
    '<circle cx="55.4" cy="88.4" r="1.4" fill="#ff8a5c" stroke="%s" stroke-width="0.7"/>' % OUT +
    '<circle cx="72.6" cy="88.4" r="1.4" fill="#ffd25c" stroke="%s" stroke-width="0.7"/>' % OUT +
    # rivets at the panel's corners
    ''.join('<circle cx="%.1f" cy="%.1f" r="0.9" fill="#1f716d"/>' % p for p in ((47.4, 80), (80.6, 80), (48.6, 96.6), (79.4, 96.6))) +
    '<path d="%s" fill="none" stroke="%s" stroke-width="1.7"/>' % (body_path, OUT))

# --- chest light ----------------------------------------------------------------
def lamp(fill, halo=None):
    s = '<circle cx="64" cy="84" r="6" fill="#3a4654" stroke="%s" stroke-width="1.3"/>' % OUT
    if halo:
        s += '<circle cx="64" cy="84" r="7.6" fill="%s" opacity="0.35"/>' % halo
    s += '<circle cx="64" cy="84" r="4.3" fill="%s"/>' % fill
    s += '<ellipse cx="62.6" cy="82.4" rx="1.6" ry="1.1" fill="#ffffff" opacity="0.85"/>'
    return s
EL['chest'] = lamp('url(#gLamp)')
EL['chest-bright'] = lamp('url(#gLamp)', '#8ff4ff')
EL['chest-amber'] = lamp('url(#gLampAmber)', '#ffd070')
EL['chest-dim'] = lamp('#2c6b7c')
# a heart for when it is pleased
heart = 'M64 88.4 C60.4 85.6 59.4 84 59.4 82.4 C59.4 80.6 61 79.6 62.2 79.8 C63.1 79.9 63.7 80.5 64 81.2 C64.3 80.5 64.9 79.9 65.8 79.8 C67 79.6 68.6 80.6 68.6 82.4 C68.6 84 67.6 85.6 64 88.4 Z'
EL['chest-heart'] = ('<circle cx="64" cy="84" r="6" fill="#3a4654" stroke="%s" stroke-width="1.3"/>' % OUT +
                     '<circle cx="64" cy="84" r="7.6" fill="#ff8fa8" opacity="0.35"/>' +
                     '<circle cx="64" cy="84" r="4.3" fill="#5a2336"/>' +
                     '<path d="%s" fill="#ff6d8e" transform="translate(64 84) scale(0.92) translate(-64 -84)"/>' % heart)

# --- antenna --------------------------------------------------------------------
def antenna(ball='gBall', halo=None):
    s = ''
    if halo:
        s += '<circle cx="64" cy="7.6" r="11" fill="url(#%s)"/>' % halo
    s += '<path d="M64 17 L64 11" stroke="%s" stroke-width="3.6" stroke-linecap="round"/>' % OUT
    s += '<path d="M64 17 L64 11" stroke="#aab6c1" stroke-width="1.6" stroke-linecap="round"/>'
    s += '<rect x="59.5" y="14.2" width="9" height="4.4" rx="1.6" fill="#56636f" stroke="%s" stroke-width="1.2"/>' % OUT
    s += '<circle cx="64" cy="7.6" r="4.3" fill="url(#%s)" stroke="%s" stroke-width="1.3"/>' % (ball, OUT)
    s += '<ellipse cx="62.7" cy="6.2" rx="1.4" ry="1" fill="#ffffff" opacity="0.9"/>'
    return s
EL['antenna'] = antenna()
EL['antenna-lit'] = antenna('gBall', 'gHalo')
EL['antenna-red'] = antenna('gBallRed', 'gHaloRed')
EL['antenna-off'] = antenna('gSkirt')

# radio rings about the antenna's tip: it hears
def rings(n):
    s = ''
    for i in range(n):
        r = 8 + i * 4.5
        op = 0.95 - i * 0.3
        for side in (-1, 1):
            a0, a1 = math.radians(-40), math.radians(40)
            x0, y0 = 64 + side * r * math.cos(a0), 7.6 + r * math.sin(a0)
            x1, y1 = 64 + side * r * math.cos(a1), 7.6 + r * math.sin(a1)
            s += '<path d="M%.2f %.2f A%.1f %.1f 0 0 %d %.2f %.2f" stroke="#ffc24a" stroke-width="2" stroke-linecap="round" fill="none" opacity="%.2f"/>' % (
                x0, y0, r, r, 1 if side > 0 else 0, x1, y1, op)
    return s
EL['signal'] = rings(2)
EL['signal-wide'] = rings(3)

# --- head -----------------------------------------------------------------------
HEAD = (64, 40, 31, 25.5)
SCREEN_C = (64, 41, 24, 18.5)
def ear(cx):
    return ('<circle cx="%.1f" cy="42" r="7" fill="%s" stroke="%s" stroke-width="1.5"/>' % (cx, TEAL, OUT) +
            '<circle cx="%.1f" cy="42" r="3.8" fill="%s" stroke="%s" stroke-width="1"/>' % (cx, TEAL_D, OUT) +
            '<circle cx="%.1f" cy="41" r="1.2" fill="#bff3ea"/>' % (cx - 0.6))
EL['head'] = (ear(32.6) + ear(95.4) +
              '<path d="%s" fill="url(#gShell)"/>' % superellipse(*HEAD, p=2.7) +
              # a teal stripe over the crown
              '<path d="M55 15.6 Q64 14.4 73 15.6 L72 21.5 Q64 20.6 56 21.5 Z" fill="%s" opacity="0.9"/>' % TEAL +
              '<path d="%s" fill="none" stroke="%s" stroke-width="1.7"/>' % (superellipse(*HEAD, p=2.7), OUT) +
              '<path d="%s" fill="#3b4a5c" stroke="%s" stroke-width="1.3"/>' % (superellipse(64, 41, 26.2, 20.6, p=3.2), OUT) +
              '<path d="%s" fill="url(#gScreen)"/>' % superellipse(*SCREEN_C, p=3.2) +
              ''.join('<path d="M%.1f %.1f L%.1f %.1f" stroke="#3c5a8a" stroke-width="0.6" opacity="0.35"/>' % (
                  43.5, y, 84.5, y) for y in (29, 33, 37, 41, 45, 49, 53)))
# the screen's glass: a gloss drawn over whatever the face shows
EL['glass'] = ('<path d="M44.4 30.6 Q45.6 24.6 53 23.6 L66 23.2 Q58 25.6 53.6 30 Q49.6 34.4 47.4 38.6 Q44.2 36 44.4 30.6 Z" fill="#ffffff" opacity="0.16"/>'
               '<path d="M79.8 55.2 Q83.4 52.6 83.6 48.4" stroke="#ffffff" stroke-width="1.3" stroke-linecap="round" fill="none" opacity="0.22"/>')

# --- eyes: glowing shapes on the screen -----------------------------------------
EYES = [(54.5, 39.5), (73.5, 39.5)]
def eye_shape(cx, cy, rx, ry, top_cut=None, side=1):
    """An upright oval; top_cut=(outer dy, inner dy) flattens its top along a slanted line."""
    pts = [(cx + rx * math.cos(2 * math.pi * i / 64), cy + ry * math.sin(2 * math.pi * i / 64)) for i in range(64)]
    if top_cut:
        o, inner = top_cut
        # line from the outer edge to the inner edge; the outer side is -side
        xa, ya = cx - side * rx * 1.2, cy + o
        xb, yb = cx + side * rx * 1.2, cy + inner
        def line_y(x): return ya + (yb - ya) * (x - xa) / (xb - xa)
        pts = [(x, max(y, line_y(x))) for x, y in pts]
    return path(pts, 2)
def lit(d, core=True, halo=1.0):
    s = ''
    if halo:
        s += '<path d="%s" fill="none" stroke="%s" stroke-width="%.1f" stroke-linejoin="round" opacity="0.22"/>' % (d, GLOW, 4.2 * halo)
    s += '<path d="%s" fill="%s"/>' % (d, GLOW)
    return s
def eyes(rx=3.7, ry=5.4, look=(0, 0), cut=None, shine=True):
    s = ''
    for (cx, cy), side in zip(EYES, (-1, 1)):
        x, y = cx + look[0], cy + look[1]
        s += lit(eye_shape(x, y, rx, ry, cut, side))
        if shine:
            s += '<ellipse cx="%.2f" cy="%.2f" rx="%.2f" ry="%.2f" fill="#ffffff" opacity="0.9"/>' % (x - rx * 0.3, y - ry * 0.4, rx * 0.32, ry * 0.22)
    return s
def line_eyes(d_of, width=2.6):
    s = ''
    for (cx, cy), side in zip(EYES, (-1, 1)):
        dd = d_of(cx, cy, side)
        s += '<path d="%s" stroke="%s" stroke-width="%.1f" stroke-linecap="round" stroke-linejoin="round" fill="none" opacity="0.25"/>' % (dd, GLOW, width + 3.4)
        s += '<path d="%s" stroke="%s" stroke-width="%.1f" stroke-linecap="round" stroke-linejoin="round" fill="none"/>' % (dd, GLOW, width)
    return s
EL['eyes-open'] = eyes()
EL['eyes-right'] = eyes(look=(3.4, 0.2), rx=3.4)
EL['eyes-left'] = eyes(look=(-3.4, 0.2), rx=3.4)
EL['eyes-up'] = eyes(look=(0.3, -3.2), ry=5.0)
EL['eyes-up-right'] = eyes(look=(2.8, -2.8), rx=3.4, ry=5.0)
EL['eyes-down'] = eyes(look=(0.2, 3.4), ry=4.4, cut=(-1.2, -1.2))
EL['eyes-down-left'] = eyes(look=(-2.6, 3.4), ry=4.4, cut=(-1.2, -1.2))
EL['eyes-down-right'] = eyes(look=(2.6, 3.4), ry=4.4, cut=(-1.2, -1.2))
EL['eyes-wide'] = eyes(rx=4.9, ry=6.4)
EL['eyes-big'] = eyes(rx=5.6, ry=6.8)
EL['eyes-half'] = eyes(ry=5.0, look=(0, 1.2), cut=(0.2, 0.2), shine=False)
EL['eyes-sleepy'] = eyes(ry=4.6, look=(0, 1.8), cut=(2.2, 2.2), shine=False)
EL['eyes-sad'] = eyes(ry=5.2, look=(0, 1.4), cut=(-4.4, 0.6))
EL['eyes-cross'] = eyes(ry=5.2, cut=(-1.4, -4.4), shine=False)
EL['eyes-focus'] = eyes(rx=3.9, ry=3.0, look=(0.8, 0.4))
EL['eyes-closed'] = line_eyes(lambda cx, cy, s: 'M%.1f %.1f Q%.1f %.1f %.1f %.1f' % (cx - 4.2, cy + 0.6, cx, cy + 3.4, cx + 4.2, cy + 0.6))
EL['eyes-blink'] = line_eyes(lambda cx, cy, s: 'M%.1f %.1f L%.1f %.1f' % (cx - 4, cy + 0.8, cx + 4, cy + 0.8))
EL['eyes-happy'] = line_eyes(lambda cx, cy, s: 'M%.1f %.1f Q%.1f %.1f %.1f %.1f' % (cx - 4.4, cy + 2.4, cx, cy - 5.4, cx + 4.4, cy + 2.4), 2.9)
EL['eyes-squeeze'] = line_eyes(lambda cx, cy, s: 'M%.1f %.1f L%.1f %.1f L%.1f %.1f' % (
    cx - s * 4, cy - 3.4, cx + s * 2.6, cy, cx - s * 4, cy + 3.4), 2.6)
def heart_at(cx, cy, k):
    return ('<g transform="translate(%.2f %.2f) scale(%.2f) translate(-64 -84)">' % (cx, cy, k) +
            lit(heart, halo=0.8).replace(GLOW, '#ff7fa6') + '</g>')
EL['eyes-heart'] = heart_at(EYES[0][0], EYES[0][1], 1.05) + heart_at(EYES[1][0], EYES[1][1], 1.05)
EL['eyes-off'] = ''
# a battery gauge across the screen, for resting
def battery(level):
    s = '<rect x="52" y="34" width="22" height="11" rx="2" fill="none" stroke="%s" stroke-width="1.8"/>' % GLOW
    s += '<rect x="74.6" y="37.2" width="2.4" height="4.6" rx="0.8" fill="%s"/>' % GLOW
    for i in range(level):
        s += '<rect x="%.1f" y="36.4" width="4.4" height="6.2" rx="0.8" fill="%s"/>' % (54.2 + i * 5, '#8dffb0')
    return '<rect x="50" y="32" width="30" height="15" rx="3" fill="%s" opacity="0.12"/>' % GLOW + s
for i in range(5):
    EL['eyes-battery%d' % i] = battery(i)

# --- brows: small lit dashes above the eyes -------------------------------------
def brows(l, r=None):
    """(outer dy, inner dy) for each brow; r mirrors l unless given."""
    r = r or l
    s = ''
    for (cx, cy), (o, i), side in ((EYES[0], l, -1), (EYES[1], r, 1)):
        y = cy - 9.4
        dd = 'M%.1f %.1f L%.1f %.1f' % (cx + side * 4.2, y + o, cx - side * 3.6, y + i)
        s += '<path d="%s" stroke="%s" stroke-width="5" stroke-linecap="round" opacity="0.22"/>' % (dd, GLOW)
        s += '<path d="%s" stroke="%s" stroke-width="2.2" stroke-linecap="round"/>' % (dd, GLOW)
    return s
EL['brows'] = ''
EL['brows-raised'] = brows((-2.2, -2.6))
EL['brows-sad'] = brows((1.2, -2.4))
EL['brows-frown'] = brows((-1.2, 1.6))
EL['brows-puzzled'] = brows((-2.6, -2.2), (0.4, 1.2))
EL['brows-focus'] = brows((0.4, 1.0))

# --- mouth ----------------------------------------------------------------------
MOUTH = (64, 51.5)
def mouth_open(w, h):
    cx, cy = MOUTH
    d = ('M%.2f %.2f Q%.2f %.2f %.2f %.2f Q%.2f %.2f %.2f %.2f Q%.2f %.2f %.2f %.2f Z' % (
        cx - w, cy - h * 0.25, cx, cy - h * 0.55, cx + w, cy - h * 0.25,
        cx + w * 0.9, cy + h, cx, cy + h,
        cx - w * 0.9, cy + h, cx - w, cy - h * 0.25))
    s = '<path d="%s" fill="#0c1322" stroke="%s" stroke-width="2.2" stroke-linejoin="round"/>' % (d, GLOW)
    s = '<path d="%s" fill="none" stroke="%s" stroke-width="5" stroke-linejoin="round" opacity="0.2"/>' % (d, GLOW) + s
    if h > 2.5:
        s += '<path d="M%.2f %.2f Q%.2f %.2f %.2f %.2f" stroke="#ff8fb0" stroke-width="%.1f" stroke-linecap="round" fill="none" opacity="0.85"/>' % (
            cx - w * 0.45, cy + h * 0.62, cx, cy + h * 0.2, cx + w * 0.45, cy + h * 0.62, min(2.2, h * 0.4))
    return s
def mouth_line(d, width=2.4):
    return ('<path d="%s" stroke="%s" stroke-width="%.1f" stroke-linecap="round" stroke-linejoin="round" fill="none" opacity="0.22"/>' % (d, GLOW, width + 3.2) +
            '<path d="%s" stroke="%s" stroke-width="%.1f" stroke-linecap="round" stroke-linejoin="round" fill="none"/>' % (d, GLOW, width))
cx, cy = MOUTH
EL['mouth-closed'] = mouth_line('M%.1f %.1f Q%.1f %.1f %.1f %.1f' % (cx - 4.6, cy - 0.6, cx, cy + 2.6, cx + 4.6, cy - 0.6))
EL['mouth-slight'] = mouth_open(3.6, 2.0)
EL['mouth-open'] = mouth_open(4.6, 3.6)
EL['mouth-wide'] = mouth_open(5.6, 5.4)
EL['mouth-smile'] = mouth_line('M%.1f %.1f Q%.1f %.1f %.1f %.1f' % (cx - 6.4, cy - 1.8, cx, cy + 4.2, cx + 6.4, cy - 1.8), 2.6)
EL['mouth-flat'] = mouth_line('M%.1f %.1f L%.1f %.1f' % (cx - 3.6, cy + 0.6, cx + 3.6, cy + 0.6))
EL['mouth-frown'] = mouth_line('M%.1f %.1f Q%.1f %.1f %.1f %.1f' % (cx - 4.2, cy + 2.2, cx, cy - 1.4, cx + 4.2, cy + 2.2))
EL['mouth-wavy'] = mouth_line('M%.1f %.1f Q%.1f %.1f %.1f %.1f T%.1f %.1f T%.1f %.1f' % (
    cx - 5.4, cy + 0.8, cx - 4.05, cy - 1.2, cx - 2.7, cy + 0.8, cx, cy + 0.8, cx + 5.4, cy + 0.8), 2.0)
EL['mouth-o'] = mouth_open(2.6, 3.2)

# --- blush and tear on the screen -----------------------------------------------
EL['blush'] = ('<ellipse cx="47.6" cy="48.4" rx="3.8" ry="2" fill="#ff7fa6" opacity="0.75"/>'
               '<ellipse cx="80.4" cy="48.4" rx="3.8" ry="2" fill="#ff7fa6" opacity="0.75"/>')
EL['tear'] = lit('M52.4 45.6 Q50.4 49 50.6 50.4 Q51 52 52.4 52 Q53.8 52 54.2 50.4 Q54.4 49 52.4 45.6 Z', halo=0.6)

# --- the loading ring shown while it works something out -------------------------
def loader():
    s = ''
    for i in range(8):
        a = 2 * math.pi * i / 8 - math.pi / 2
        s += '<circle cx="%.2f" cy="%.2f" r="%.2f" fill="%s" opacity="%.2f"/>' % (
            64 + 7.4 * math.cos(a), 40 + 7.4 * math.sin(a), 1.2 + 0.16 * i, GLOW, 0.2 + 0.1 * i)
    return s
EL['loader'] = loader()

# --- arms and hands ---------------------------------------------------------------
SHOULDER_L = (42.8, 79)
SHOULDER_R = (128 - 42.8, 79)
ARM_TILT = 14          # how far the arms hang out from straight down, as drawn
WRIST = 17.5           # shoulder to wrist, along the arm
def arm_local():
    s = ''
    for y in (4.6, 8.2, 11.8, 15.2):
        s += '<ellipse cx="0" cy="%.1f" rx="3.5" ry="2.3" fill="url(#gArm)" stroke="%s" stroke-width="1.1"/>' % (y, OUT)
    s += '<rect x="-3.6" y="15.6" width="7.2" height="3.6" rx="1.4" fill="%s" stroke="%s" stroke-width="1.1"/>' % (TEAL, OUT)
    s += '<circle cx="0" cy="0" r="5" fill="%s" stroke="%s" stroke-width="1.4"/>' % (TEAL, OUT)
    s += '<circle cx="0" cy="0" r="1.6" fill="%s"/>' % TEAL_D
    s += '<ellipse cx="-1.6" cy="-1.8" rx="1.6" ry="1" fill="#a5efe6" opacity="0.8"/>'
    return s
def placed(shoulder, tilt, svg):
    return '<g transform="translate(%.2f %.2f) rotate(%.2f)">%s</g>' % (shoulder[0], shoulder[1], tilt, svg)
EL['armLeft'] = placed(SHOULDER_L, ARM_TILT, arm_local())
EL['armRight'] = mirror(EL['armLeft'])

HAND_FILL = 'url(#gHand)'
def hand_mitten():
    # palm with a thumb on the side facing the body (+x for the left arm)
    return ('<path d="M3.4 19.6 Q7.4 19.4 7 22.6 Q6.6 24.4 4.4 24" fill="%s" stroke="%s" stroke-width="1.2" stroke-linejoin="round"/>' % (HAND_FILL, OUT) +
            '<path d="M-4.6 19.8 Q-5.2 25.6 -2.6 27.4 Q0.6 29.2 3.2 27.2 Q5.4 25 4.6 19.8 Q0 18 -4.6 19.8 Z" fill="%s" stroke="%s" stroke-width="1.3" stroke-linejoin="round"/>' % (HAND_FILL, OUT) +
            '<path d="M-1.6 24.4 L-1.6 27.2 M1.2 24.6 L1.2 27.6" stroke="#aab6c1" stroke-width="0.9" stroke-linecap="round"/>')
def hand_open():
    s = ''
    for ang, L in ((-34, 6.2), (-11, 7.2), (12, 7.2), (36, 6.0)):
        a = math.radians(ang)
        x0, y0 = 0, 23
        x1, y1 = x0 - math.sin(a) * L, y0 + math.cos(a) * L
        s += capsule(x0, y0, x1, y1, 3.2, '#eef2f4', OUT, 1.2)
    s += '<circle cx="0" cy="22.6" r="5.2" fill="%s" stroke="%s" stroke-width="1.3"/>' % (HAND_FILL, OUT)
    # thumb out to the side
    s += capsule(3.4, 21.4, 8.2, 19.4, 3.2, '#eef2f4', OUT, 1.2)
    s += '<circle cx="0" cy="22.6" r="4.1" fill="%s"/>' % HAND_FILL
    s += '<circle cx="0" cy="23" r="1.6" fill="#cbd5dc"/>'
    return s
def hand_point():
    return (capsule(0, 24, 0, 31.6, 3.3, '#eef2f4', OUT, 1.2) +
            '<path d="M-4.6 19.8 Q-5.4 25 -2.6 26.4 Q0.6 27.8 3.4 26 Q5.4 24 4.6 19.8 Q0 18 -4.6 19.8 Z" fill="%s" stroke="%s" stroke-width="1.3" stroke-linejoin="round"/>' % (HAND_FILL, OUT) +
            '<path d="M3.4 20.6 Q6.6 21 6 23.4 Q5.4 24.8 3.6 24.2" fill="%s" stroke="%s" stroke-width="1.1"/>' % (HAND_FILL, OUT))
def hand_grip():
    # fingers curled round something held
    return ('<path d="M-4.6 19.8 Q-5.6 24.8 -3 26.6 Q0.4 28.2 3.4 26.4 Q5.6 24.4 4.6 19.8 Q0 18 -4.6 19.8 Z" fill="%s" stroke="%s" stroke-width="1.3" stroke-linejoin="round"/>' % (HAND_FILL, OUT) +
            '<path d="M-3.6 23.4 Q0 25.4 3.8 23.4" stroke="#9aa7b3" stroke-width="1" fill="none" stroke-linecap="round"/>' +
            '<path d="M3.6 19.8 Q7.6 20 7.2 23 Q6.8 24.8 4.2 24.2" fill="%s" stroke="%s" stroke-width="1.2"/>' % (HAND_FILL, OUT))
for name, fn in (('', hand_mitten), ('-open', hand_open), ('-point', hand_point), ('-grip', hand_grip)):
    EL['handLeft' + name] = placed(SHOULDER_L, ARM_TILT, fn())
    EL['handRight' + name] = mirror(EL['handLeft' + name])

def wrist(side):
    """Where a hand joins its arm, as drawn."""
    if side == 'left':
        return apply(mul(T(*SHOULDER_L), R(ARM_TILT)), (0, WRIST))
    x, y = apply(mul(T(*SHOULDER_L), R(ARM_TILT)), (0, WRIST))
    return (128 - x, y)
