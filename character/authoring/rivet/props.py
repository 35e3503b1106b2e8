# The props' drawing (the tablet, the magnifier and the rest), each
# drawn where the poses of anims.py put the hands or the body that carry it.
import math
import art
from art import OUT, GLOW, capsule
from anims import hand_at, held


def extra_elements(EL):
    # tablet, held up in both hands with its screen to the viewer
    def slate(inner):
        return ('<g transform="rotate(-3 64 90)">'
                '<rect x="45" y="76.5" width="38" height="27" rx="3.2" fill="url(#gTablet)" stroke="%s" stroke-width="1.5"/>' % OUT +
                '<rect x="47.8" y="79.2" width="32.4" height="21.2" rx="1.4" fill="url(#gPage)"/>' + inner +
                '<circle cx="64" cy="102" r="0.8" fill="#8894a4"/></g>')
    line = '<path d="M%.1f %.1f L%.1f %.1f" stroke="#7d8ea6" stroke-width="1.2" stroke-linecap="round"/>'
    text = ('<rect x="51" y="82" width="11.5" height="8.4" rx="0.9" fill="#7cc6e8"/>'
            '<path d="M52.4 89 L55.4 85.2 L57.4 87.4 L59 85.8 L61 89 Z" fill="#3f8fb8"/>'
            '<circle cx="59.6" cy="84" r="1.1" fill="#fff3b0"/>' +
            ''.join(line % (65, 83.4 + k * 2.6, 77 - (k % 2) * 3, 83.4 + k * 2.6) for k in range(3)) +
            ''.join(line % (51, 93 + k * 2.6, 77 - (k == 2) * 9, 93 + k * 2.6) for k in range(3)))
    swipe = ('<rect x="47.8" y="79.2" width="32.4" height="21.2" rx="1.4" fill="#eaf6fc"/>'
             '<rect x="47.8" y="79.2" width="11" height="21.2" rx="1.4" fill="#ffffff"/>' +
             ''.join(line % (51, 83.4 + k * 2.6, 56.5, 83.4 + k * 2.6) for k in range(6)) +
             ''.join(line % (62.5, 83.4 + k * 2.6, 77 - (k % 3 == 2) * 5, 83.4 + k * 2.6) for k in range(6)) +
             '<path d="M59.4 79.6 L59.4 100" stroke="#6fd0f0" stroke-width="1.6"/>'
             '<path d="M71 90 L65 90 M67.4 87.6 L65 90 L67.4 92.4" stroke="#3fa8d8" stroke-width="1.4" stroke-linecap="round" fill="none" opacity="0"/>')
    EL['tablet'] = held('tablet', 'read', slate(text))
    EL['tablet-swipe'] = held('tablet', 'read', slate(swipe))
    def note(rows):
        s = ''.join('<path d="M51 %.1f L77 %.1f" stroke="#c5dbee" stroke-width="0.7"/>' % (84.6 + k * 3.8, 84.6 + k * 3.8) for k in range(4))
        for k in range(rows):
            y = 83.8 + k * 3.8
            x1 = 76 if k < rows - 1 or rows == 4 else 66
            pts = ['%.1f %.1f' % (51.5 + i * (x1 - 51.5) / 10.0, y + (-1.2 if i % 2 else 0.3)) for i in range(11)]
            s += '<path d="M%s" stroke="#2c4a86" stroke-width="1" fill="none" stroke-linecap="round" stroke-linejoin="round"/>' % ' L'.join(pts)
        return s
    for i in range(5):
        EL['tablet-note' + ('-%d' % i if i else '')] = held('tablet', 'write', slate(note(i)))

    # stylus in the right hand, its tip on the tablet
    hx, hy = hand_at('write')
    tip = (70, 90.5)
    ang = math.degrees(math.atan2(hy - tip[1], hx - tip[0]))
    Ls = math.hypot(hy - tip[1], hx - tip[0]) - 3.5   # up to the fingers
    sty = ('<g transform="translate(%.2f %.2f) rotate(%.2f)">' % (tip[0], tip[1], ang) +
           '<path d="M0 0 L3.4 -1.5 L3.4 1.5 Z" fill="#cfd8e0" stroke="%s" stroke-width="0.8" stroke-linejoin="round"/>' % OUT +
           '<rect x="3.4" y="-1.7" width="%.1f" height="3.4" rx="1.2" fill="#ff8a5c" stroke="%s" stroke-width="0.8"/>' % (Ls - 3.4, OUT) +
           '<path d="M4 -0.5 L%.1f -0.5" stroke="#ffc0a0" stroke-width="0.8"/>' % (Ls - 1) +
           '<circle cx="0.5" cy="0" r="0.9" fill="%s"/>' % GLOW + '</g>')
    EL['stylus'] = held('stylus', 'write', sty)

    # magnifier in front of the right eye
    hx, hy = hand_at('search')
    lx, ly, lr = 73.5, 39.5, 10.6
    ux, uy = hx - lx, hy - ly
    ul = math.hypot(ux, uy); ux, uy = ux / ul, uy / ul
    rim = (lx + ux * (lr + 1.5), ly + uy * (lr + 1.5))
    mag = (capsule(rim[0], rim[1], hx + ux * 2, hy + uy * 2, 3.6, '#ff8a5c', OUT, 1.2) +
           '<circle cx="%.1f" cy="%.1f" r="%.1f" fill="url(#gLens)"/>' % (lx, ly, lr) +
           '<circle cx="%.1f" cy="%.1f" r="%.1f" fill="none" stroke="%s" stroke-width="4.4"/>' % (lx, ly, lr, OUT) +
           '<circle cx="%.1f" cy="%.1f" r="%.1f" fill="none" stroke="#c7d2dc" stroke-width="2.4"/>' % (lx, ly, lr) +
           '<path d="M%.1f %.1f Q%.1f %.1f %.1f %.1f" stroke="#ffffff" stroke-width="1.5" stroke-linecap="round" fill="none" opacity="0.9"/>' % (
               lx - 6.4, ly - 4.2, lx - 4, ly - 7.6, lx + 0.2, ly - 7.8))
    EL['magnifier'] = held('magnifier', 'search', mag)

    # megaphone: mouthpiece at the mouth, bell out to the right
    hx, hy = hand_at('announce')
    mega = ('<path d="M72 48.6 L95 39.6 Q100.6 48 98.4 58.6 L72 54.4 Z" fill="#ff8a5c" stroke="%s" stroke-width="1.4" stroke-linejoin="round"/>' % OUT +
            '<ellipse cx="96.8" cy="49.2" rx="3.4" ry="9.6" transform="rotate(-6 96.8 49.2)" fill="#fff4e6" stroke="%s" stroke-width="1.3"/>' % OUT +
            '<ellipse cx="97.1" cy="49.3" rx="1.7" ry="6.4" transform="rotate(-6 97.1 49.3)" fill="#d6c8b8"/>'
            '<path d="M74 50.2 L92.4 43" stroke="#ffc0a0" stroke-width="1.2" stroke-linecap="round"/>'
            '<rect x="68.8" y="48" width="4.4" height="7" rx="1.2" fill="#3b4654" stroke="%s" stroke-width="0.9"/>' % OUT +
            capsule(hx - 0.4, hy - 2.5, 84.4, 54.8, 3.2, '#56636f', OUT, 1))
    EL['megaphone'] = held('megaphone', 'announce', mega)

    # marks
    EL['exclaim'] = ('<path d="M101.2 8 L106.8 8 L105.4 22 L102.6 22 Z" fill="#ff5a44" stroke="%s" stroke-width="1.4" stroke-linejoin="round"/>' % OUT +
                     '<circle cx="104" cy="27" r="2.8" fill="#ff5a44" stroke="%s" stroke-width="1.4"/>' % OUT)
    q = 'M97.4 12.6 Q97.4 6.4 103.2 6.4 Q109 6.4 109 11.8 Q109 15.4 104.8 17.2 Q103.2 18 103.2 20.6'
    EL['question'] = ('<path d="%s" stroke="%s" stroke-width="6.4" stroke-linecap="round" fill="none"/>' % (q, OUT) +
                      '<path d="%s" stroke="%s" stroke-width="3.8" stroke-linecap="round" fill="none"/>' % (q, art.GLOW_D) +
                      '<circle cx="103.2" cy="26.2" r="2.9" fill="%s" stroke="%s" stroke-width="1.3"/>' % (art.GLOW_D, OUT))
    def dots(n):
        s = ''
        for i in range(3):
            if i < n:
                x, y = 98 + i * 7, 17 - i * 4.5
                s += '<circle cx="%.1f" cy="%.1f" r="%.1f" fill="#d8f6ff" stroke="%s" stroke-width="1.3"/>' % (x, y, 2.8 + i * 0.5, OUT)
                s += '<circle cx="%.1f" cy="%.1f" r="%.1f" fill="#ffffff"/>' % (x - 0.8, y - 0.9, 0.9 + i * 0.2)
        return s
    EL['dots-1'] = dots(1); EL['dots-2'] = dots(2); EL['dots-3'] = dots(3)
    def zed(x, y, k):
        dd = 'M%.1f %.1f L%.1f %.1f L%.1f %.1f L%.1f %.1f' % (x, y, x + 5 * k, y, x, y + 5.4 * k, x + 5 * k, y + 5.4 * k)
        return ('<path d="%s" stroke="%s" stroke-width="%.1f" stroke-linecap="round" stroke-linejoin="round" fill="none"/>' % (dd, OUT, 3.6 * k) +
                '<path d="%s" stroke="#b9d8ff" stroke-width="%.1f" stroke-linecap="round" stroke-linejoin="round" fill="none"/>' % (dd, 1.6 * k))
    EL['zz'] = zed(92, 26, 0.8) + zed(99, 16, 1.05)
    EL['zz-2'] = zed(92, 26, 0.8) + zed(99, 16, 1.05) + zed(107, 5, 1.3)

    def star(cx, cy, r, fill='#ffe07a'):
        k = r * 0.3
        return ('<path d="M%.1f %.1f Q%.1f %.1f %.1f %.1f Q%.1f %.1f %.1f %.1f Q%.1f %.1f %.1f %.1f Q%.1f %.1f %.1f %.1f Z" fill="%s" stroke="#d39a2a" stroke-width="0.8"/>' % (
            cx, cy - r, cx + k, cy - k, cx + r, cy, cx + k, cy + k, cx, cy + r, cx - k, cy + k, cx - r, cy, cx - k, cy - k, cx, cy - r, fill))
    EL['sparkle'] = star(22, 28, 6) + star(106, 20, 4.5) + star(104, 66, 3)
    EL['sparkle-2'] = star(22, 28, 3.5) + star(106, 20, 6.5) + star(20, 66, 4)
