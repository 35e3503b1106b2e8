# The props' drawing (the book, the notepad, the magnifier and the rest), each
# drawn where the poses of anims.py put the hands or the body that carry it.
import math
from geom import *
import art
from art import OUT, mirror
from anims import held


def extra_elements(EL):
    eye = art.eye; both = art.both; EYES = art.EYES
    EL['eyes-down-left'] = both(look=(-2.4, 3.4), lid=((-12, -2.6), (12, -2.6)))
    EL['eyes-down-right'] = both(look=(2.4, 3.4), lid=((-12, -2.6), (12, -2.6)))
    EL['eyes-big'] = both(look=(0.4, 0.2), ring=(10.8, 11.6), sclera=(9.3, 10.1), iris=6.4, pupil=3.4)

    # sound waves by the ear
    def waves(n):
        s = ''
        for i in range(n):
            r = 6 + i * 4.5
            s += '<path d="M%.1f %.1f A%.1f %.1f 0 0 0 %.1f %.1f" stroke="#5aa9e6" stroke-width="2" stroke-linecap="round" fill="none" opacity="%.2f"/>' % (
                27 - i * 1.2, 46 - r * 0.8, r, r, 27 - i * 1.2, 46 + r * 0.8, 1 - i * 0.22)
        return s
    EL['waves-1'] = waves(2)
    EL['waves-2'] = waves(3)

    # book, open towards the reader
    cover = '<path d="M41 92 L64 96 L87 92 L87 109.5 L64 113.5 L41 109.5 Z" fill="#2f7f8f" stroke="%s" stroke-width="1.3" stroke-linejoin="round"/>' % OUT
    page = '<path d="M43 91 Q54 89.6 63.4 95 L63.4 110.6 Q54 105.6 43.6 107.4 Z" fill="#fffaf0" stroke="#b9a47e" stroke-width="0.8" stroke-linejoin="round"/>'
    lines = ''.join('<path d="M46.4 %.1f Q54 %.1f 60.6 %.1f" stroke="#98a4b6" stroke-width="1" fill="none" stroke-linecap="round"/>' % (
        95 + k * 3, 93.6 + k * 3, 97.6 + k * 3) for k in range(4))
    spine = '<path d="M64 95.6 L64 111" stroke="#a58a5e" stroke-width="1"/>'
    ribbon = '<path d="M65.5 110 L65.5 116 L67 114.6 L68.5 116 L68.5 109.6" fill="#d6433b" stroke="%s" stroke-width="0.6"/>' % OUT
    book_open = cover + ribbon + page + lines + mirror(page + lines) + spine
    turning = ('<path d="M63.4 95 Q59 87.2 52 85.8 Q53.2 94.4 53.6 101.6 Q59.4 102.6 63.4 110.6 Z" fill="#fffdf7" stroke="#b9a47e" stroke-width="0.8" stroke-linejoin="round"/>'
               '<path d="M56 91 Q59 92.6 61 96 M56.4 95 Q59.2 96.4 61 99.4" stroke="#c4ccd8" stroke-width="0.9" fill="none" stroke-linecap="round"/>')
    EL['book-open'] = held('book', 'read', book_open)
    EL['book-turn'] = held('book', 'read', book_open + mirror(turning))

    # notepad in the left wing, pencil in the right
    pad = ('<g transform="rotate(-7 54 96)">'
           '<rect x="42" y="82.5" width="24" height="28" rx="1.8" fill="#fffdf6" stroke="%s" stroke-width="1.3"/>'
           '<path d="M46 82.5 L46 110.5" stroke="#f08a8a" stroke-width="0.8"/>' % OUT +
           ''.join('<path d="M47.5 %.1f L63.5 %.1f" stroke="#a9c6e8" stroke-width="0.8"/>' % (89.5 + k * 4, 89.5 + k * 4) for k in range(5)) +
           ''.join('<path d="M%.1f 80.8 Q%.1f 78.6 %.1f 80.8 L%.1f 84.2" stroke="#5b6472" stroke-width="1.2" fill="none" stroke-linecap="round"/>' % (
               45 + k * 4, 46.3 + k * 4, 47.6 + k * 4, 47.6 + k * 4) for k in range(5)))
    def scrib(rows):
        s = ''
        for k in range(rows):
            y = 88.6 + k * 4
            x1 = 63 if k < rows - 1 else 56
            pts = ['%.1f %.1f' % (48 + i * (x1 - 48) / 8.0, y + (-1.2 if i % 2 else 0.4)) for i in range(9)]
            s += '<path d="M%s" stroke="#2c3a66" stroke-width="0.9" fill="none" stroke-linecap="round" stroke-linejoin="round"/>' % ' L'.join(pts)
        return s
    EL['notepad'] = held('notepad', 'write', pad + '</g>')
    EL['notepad-1'] = held('notepad', 'write', pad + scrib(1) + '</g>')
    EL['notepad-2'] = held('notepad', 'write', pad + scrib(3) + '</g>')
    EL['notepad-3'] = held('notepad', 'write', pad + scrib(5) + '</g>')
    # pencil: point on the pad, eraser end down to the right in the wing's tip
    (px, py), (ex, ey) = (57.5, 97.5), (80, 110.5)
    ang = math.degrees(math.atan2(ey - py, ex - px))
    L = math.hypot(ey - py, ex - px)
    pencil = ('<g transform="translate(%.1f %.1f) rotate(%.2f)">' % (px, py, ang) +
              '<path d="M0 0 L5 -2.2 L5 2.2 Z" fill="#f3d2a2" stroke="%s" stroke-width="0.8" stroke-linejoin="round"/>' % OUT +
              '<path d="M0 0 L1.8 -0.8 L1.8 0.8 Z" fill="#333"/>'
              '<rect x="5" y="-2.2" width="%.1f" height="4.4" fill="#f6c343" stroke="%s" stroke-width="0.8"/>' % (L - 9, OUT) +
              '<path d="M5 -0.7 L%.1f -0.7" stroke="#e2a722" stroke-width="0.8"/>' % (L - 4) +
              '<rect x="%.1f" y="-2.2" width="2" height="4.4" fill="#b8c0cc" stroke="%s" stroke-width="0.7"/>' % (L - 4, OUT) +
              '<path d="M%.1f -2.2 L%.1f -2.2 Q%.1f 0 %.1f 2.2 L%.1f 2.2 Z" fill="#f08aa0" stroke="%s" stroke-width="0.8"/>' % (L - 2, L, L + 1.6, L, L - 2, OUT) +
              '</g>')
    EL['pencil'] = held('pencil', 'write', pencil)

    # magnifier in front of the right eye
    mag = ('<path d="M86 47.5 L100.5 53" stroke="%s" stroke-width="5.2" stroke-linecap="round"/>' % OUT +
           '<path d="M86 47.5 L100.5 53" stroke="#8a5a3a" stroke-width="3.2" stroke-linecap="round"/>'
           '<path d="M88 48.4 L99 52.6" stroke="#b07a52" stroke-width="1" stroke-linecap="round"/>'
           '<circle cx="77" cy="42.5" r="11.8" fill="url(#gGlass)"/>'
           '<circle cx="77" cy="42.5" r="11.8" fill="none" stroke="%s" stroke-width="4.2"/>' % OUT +
           '<circle cx="77" cy="42.5" r="11.8" fill="none" stroke="url(#gSteel)" stroke-width="2.4"/>'
           '<path d="M70 37 Q72.5 33.6 77 33.4" stroke="#ffffff" stroke-width="1.6" stroke-linecap="round" fill="none" opacity="0.9"/>')
    EL['magnifier'] = held('magnifier', 'search', mag)

    # megaphone at the beak
    mega = ('<path d="M70.5 56 L94 44 Q100.5 51 99 60.5 L71.8 61.6 Z" fill="#e8473c" stroke="%s" stroke-width="1.3" stroke-linejoin="round"/>' % OUT +
            '<ellipse cx="96.6" cy="52.2" rx="3.6" ry="8.6" transform="rotate(-14 96.6 52.2)" fill="#f6f0e6" stroke="%s" stroke-width="1.3"/>' % OUT +
            '<ellipse cx="96.9" cy="52.3" rx="1.8" ry="5.6" transform="rotate(-14 96.9 52.3)" fill="#cfc6b8"/>'
            '<path d="M73 57.4 L92 48" stroke="#ff8a7c" stroke-width="1.2" stroke-linecap="round"/>'
            '<rect x="68.6" y="55.6" width="3.6" height="6.4" rx="1" fill="#3b3f4a" stroke="%s" stroke-width="0.8"/>' % OUT +
            '<path d="M84 58 L86 64" stroke="%s" stroke-width="3.4" stroke-linecap="round"/>' % OUT)
    EL['megaphone'] = held('megaphone', 'announce', mega)

    # gears
    def gear(cx, cy, r, teeth, fill):
        pts = []
        for i in range(teeth * 4):
            a = 2 * math.pi * i / (teeth * 4)
            rr = r if (i % 4) in (0, 1) else r - 2.6
            pts.append((cx + rr * math.cos(a + math.pi / (teeth * 4)), cy + rr * math.sin(a + math.pi / (teeth * 4))))
        s = '<path d="%s" fill="%s" stroke="%s" stroke-width="1.2" stroke-linejoin="round"/>' % (
            'M' + ' L'.join('%.2f %.2f' % p for p in pts) + ' Z', fill, OUT)
        s += '<circle cx="%.1f" cy="%.1f" r="%.1f" fill="none" stroke="#a8772a" stroke-width="1.2"/>' % (cx, cy, r * 0.55)
        s += '<circle cx="%.1f" cy="%.1f" r="%.1f" fill="#fff6e0" stroke="%s" stroke-width="1"/>' % (cx, cy, r * 0.22 + 0.6, OUT)
        return s
    EL['gearBig'] = gear(102, 17, 11, 10, 'url(#gBrass)')
    EL['gearSmall'] = gear(114.4, 27.4, 7.5, 6, '#9fb4cf')

    # marks
    # Low enough beside the head that the pop and the stretch of the body
    # keep them inside the frame.
    EL['exclaim'] = ('<path d="M99.5 14 L104.5 14 L103.2 27 L100.8 27 Z" fill="#f0502f" stroke="%s" stroke-width="1.3" stroke-linejoin="round"/>' % OUT +
                     '<circle cx="102" cy="31.6" r="2.6" fill="#f0502f" stroke="%s" stroke-width="1.3"/>' % OUT)
    q = 'M100.2 17.6 Q100.2 11.6 106 11.6 Q111.8 11.6 111.8 17 Q111.8 20.6 107.4 22.4 Q105.8 23.2 105.8 25.6'
    EL['question'] = ('<path d="%s" stroke="%s" stroke-width="6.4" stroke-linecap="round" fill="none"/>' % (q, OUT) +
                      '<path d="%s" stroke="#7b6ce0" stroke-width="3.8" stroke-linecap="round" fill="none"/>' % q +
                      '<circle cx="105.8" cy="31" r="2.9" fill="#7b6ce0" stroke="%s" stroke-width="1.3"/>' % OUT)

    def star(cx, cy, r, fill='#ffd75e'):
        k = r * 0.3
        return ('<path d="M%.1f %.1f Q%.1f %.1f %.1f %.1f Q%.1f %.1f %.1f %.1f Q%.1f %.1f %.1f %.1f Q%.1f %.1f %.1f %.1f Z" fill="%s" stroke="#c98f2e" stroke-width="0.8"/>' % (
            cx, cy - r, cx + k, cy - k, cx + r, cy, cx + k, cy + k, cx, cy + r, cx - k, cy + k, cx - r, cy, cx - k, cy - k, cx, cy - r, fill))
    # the little letters of a doze
    def zed(x, y, k):
        dd = 'M%.1f %.1f L%.1f %.1f L%.1f %.1f L%.1f %.1f' % (x, y, x + 5 * k, y, x, y + 5.4 * k, x + 5 * k, y + 5.4 * k)
        return ('<path d="%s" stroke="%s" stroke-width="%.1f" stroke-linecap="round" stroke-linejoin="round" fill="none"/>' % (dd, OUT, 3.6 * k) +
                '<path d="%s" stroke="#c9d6ee" stroke-width="%.1f" stroke-linecap="round" stroke-linejoin="round" fill="none"/>' % (dd, 1.6 * k))
    EL['zz'] = zed(92, 26, 0.8) + zed(99, 16, 1.05)
    EL['zz-2'] = zed(92, 26, 0.8) + zed(99, 16, 1.05) + zed(107, 5, 1.3)

    EL['sparkle-1'] = star(24, 30, 6) + star(106, 22, 4.5) + star(100, 64, 3)
    EL['sparkle-2'] = star(24, 30, 3.5) + star(106, 22, 6.5) + star(20, 66, 4)
