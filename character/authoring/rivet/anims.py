import math
import geom as G
from geom import apply, mul
from rig import P, d, merge, F, T, Rig
import art
from art import OUT, GLOW, mirror, capsule, lit

META = {
    'name': 'Rivet',
    'description': 'A small, cheerful hovering robot who is glad to help.',
    'size': [128, 128],
    'art': 'art.svg',
    'rootPivot': [64, 123.5],
    'balloonAnchor': [64, 12],
    # flite's own male voice: a robot may sound like one, and its mouth
    # follows the phones exactly.
    'voice': {'locale': 'en_US', 'gender': 'male', 'rate': 0.12, 'pitch': 0.4, 'engine': 'flite', 'name': 'rms'},
}
SL, SR = art.SHOULDER_L, art.SHOULDER_R
WL, WR = art.wrist('left'), art.wrist('right')
PARTS = [
    ('shadow', 'shadow', (64, 123.5), ''),
    ('jet', 'jet', (64, 110.5), 'body'),
    ('body', 'body', (64, 106), ''),
    ('chest', 'chest', (64, 84), 'body'),
    ('head', 'head', (64, 66), 'body'),
    ('blush', 'blush', (64, 48), 'head'),
    ('loader', 'loader', (64, 40), 'head'),
    ('eyes', 'eyes-open', (64, 39.5), 'head'),
    ('brows', 'brows', (64, 30), 'head'),
    ('mouth', 'mouth-closed', (64, 51.5), 'head'),
    ('tear', 'tear', (52.4, 48), 'head'),
    ('glass', 'glass', (64, 40), 'head'),
    ('antenna', 'antenna', (64, 17), 'head'),
    ('signal', 'signal', (64, 7.6), 'antenna'),
    ('tablet', 'tablet', (64, 92), 'body'),
    ('armLeft', 'armLeft', SL, 'body'),
    ('handLeft', 'handLeft', WL, 'armLeft'),
    ('armRight', 'armRight', SR, 'body'),
    ('handRight', 'handRight', WR, 'armRight'),
    ('stylus', 'stylus', WR, 'handRight'),
    ('magnifier', 'magnifier', WR, 'handRight'),
    ('megaphone', 'megaphone', WR, 'handRight'),
    ('exclaim', 'exclaim', (104, 24), ''),
    ('question', 'question', (103, 24), ''),
    ('dots', 'dots-3', (100, 20), ''),
    ('zz', 'zz', (96, 26), ''),
    ('sparkle', 'sparkle', (64, 40), ''),
]
PROPS = ['tablet', 'stylus', 'magnifier', 'megaphone', 'exclaim', 'question', 'dots', 'zz',
         'sparkle', 'blush', 'tear', 'loader', 'signal']

HAND_REACH = 23.0   # shoulder to the middle of the hand, as drawn

def on(element):
    """A prop shown, drawn as `element`."""
    return {'opacity': 1, 'element': element}


def arm(side, eff, scale=1.0, hand=None, wrist=0):
    """An arm pointing `eff` degrees clockwise from straight down (the right arm
    reaches outward with negative angles, the left with positive), stretched or
    squeezed along its length by `scale`; the hand is kept its own size."""
    A, H = ('armLeft', 'handLeft') if side == 'left' else ('armRight', 'handRight')
    tilt = art.ARM_TILT if side == 'left' else -art.ARM_TILT
    out = {A: {'rotation': round(eff - tilt, 2)}}
    if scale != 1.0:
        out[A]['scaleY'] = round(scale, 3)
    h = {}
    if scale != 1.0: h['scaleY'] = round(1 / scale, 3)
    if wrist: h['rotation'] = wrist
    if hand: h['element'] = H + ('-' + hand if hand != 'mitten' else '')
    if h: out[H] = h
    return out

def reach(side, target, hand=None, wrist=0):
    """The arm pointing its hand's middle at `target`."""
    sx, sy = SL if side == 'left' else SR
    vx, vy = target[0] - sx, target[1] - sy
    L = math.hypot(vx, vy)
    eff = math.degrees(math.atan2(-vx, vy))
    if side == 'left' and eff < -90: eff += 360
    if side == 'right' and eff > 90: eff -= 360
    return arm(side, eff, L / HAND_REACH, hand, wrist)

def arms(l, r, **kw):
    return merge(arm('left', l, **kw), arm('right', r, **kw))

POSES = {}
# drawn a little smaller than the art, so jumps and stretches keep the antenna in the frame
REST_SCALE = 0.92
POSES['rest'] = {p: {'opacity': 0} for p in PROPS}
POSES['rest']['root'] = {'scale': REST_SCALE}

# -- faces and looks ---------------------------------------------------------------
POSES['blink'] = P(eyes='eyes-blink')
POSES['halfBlink'] = P(eyes='eyes-half')
POSES['lookRight'] = P(head=d(rotation=5, dx=2), eyes='eyes-right', antenna=d(rotation=-3))
POSES['lookLeft'] = P(head=d(rotation=-5, dx=-2), eyes='eyes-left', antenna=d(rotation=3))
POSES['lookDown'] = P(head=d(dy=3.5, scaleY=0.97), eyes='eyes-down', antenna=d(rotation=0))
POSES['lookUp'] = P(head=d(dy=-1.5, rotation=-2), eyes='eyes-up')
POSES['happy'] = P(eyes='eyes-happy', mouth='mouth-smile', blush=d(opacity=1))
POSES['crouch'] = merge(P(body=d(scaleY=0.9, scaleX=1.07, dy=2), jet='jet-low', shadow=d(scale=1.06)), arms(24, -24))
POSES['stretch'] = P(body=d(scaleY=1.06, scaleX=0.95))

# -- arms ------------------------------------------------------------------------------
POSES['waveOut'] = merge(arm('right', -128, hand='open', wrist=14), P(head=d(rotation=-3, dx=-1)))
POSES['waveIn'] = merge(arm('right', -152, hand='open', wrist=-16), P(head=d(rotation=-4, dx=-1.5)))
POSES['pointRight'] = merge(arm('right', -92, hand='point'), P(head=d(rotation=5, dx=2), eyes='eyes-right',
                            body=d(rotation=3), brows='brows-raised', antenna=d(rotation=-4)))
POSES['pointLeft'] = merge(arm('left', 92, hand='point'), P(head=d(rotation=-5, dx=-2), eyes='eyes-left',
                           body=d(rotation=-3), brows='brows-raised', antenna=d(rotation=4)))
POSES['pointUp'] = merge(arm('right', -166, scale=1.1, hand='point'), P(head=d(rotation=-5, dy=-1, dx=-1), eyes='eyes-up-right',
                         body=d(scaleY=1.03), brows='brows-raised', antenna=d(rotation=5)))
POSES['pointDown'] = merge(arm('right', -36, scale=1.08, hand='point'), P(head=d(dy=3, rotation=6, dx=1), eyes='eyes-down-right',
                           body=d(rotation=5), brows='brows-raised', antenna=d(rotation=-5)))
POSES['armsOut'] = arms(52, -52, hand='open')
POSES['armsUp'] = arms(152, -152, hand='open')
POSES['clasp'] = merge(arm('left', -36, scale=0.92, hand='grip'), arm('right', 36, scale=0.92, hand='grip'))
POSES['handToEar'] = merge(reach('left', (31, 50), hand='open', wrist=-12), P(head=d(rotation=-7, dx=-1)))
POSES['handToChin'] = reach('right', (71, 66), hand='grip')

# -- hovering ----------------------------------------------------------------------------
POSES['fly'] = P(jet='jet-big', body=d(dy=-4), shadow=d(scale=0.8, opacity=0.7))

# -- feelings ------------------------------------------------------------------------------
POSES['sad'] = merge(P(eyes='eyes-sad', brows='brows-sad', mouth='mouth-frown', head=d(dy=3.5, rotation=-5),
                       body=d(dy=3, scaleY=0.97, scaleX=1.02), antenna=d(rotation=16), jet='jet-low', chest='chest-dim',
                       shadow=d(scale=1.05)), arms(4, -4))
POSES['surprised'] = merge(P(eyes='eyes-wide', brows='brows-raised', mouth='mouth-o', head=d(dy=-3),
                             body=d(dy=-4, scaleY=1.04, scaleX=0.96), jet='jet-big', antenna=d(rotation=-8),
                             shadow=d(scale=0.8, opacity=0.7)), arms(64, -64, hand='open'))
POSES['alert'] = merge(P(eyes='eyes-wide', brows='brows-raised', mouth='mouth-flat', head=d(dy=-2.5),
                         body=d(scaleY=1.05, scaleX=0.97), antenna='antenna-red', exclaim=d(opacity=1)), arms(22, -22, hand='open'))
POSES['shrug'] = merge(arms(74, -74, scale=0.8, hand='open'),
                       P(head=d(rotation=9, dx=1), brows='brows-puzzled', eyes='eyes-up', mouth='mouth-wavy',
                         body=d(scaleY=0.98), question=d(opacity=1), antenna=d(rotation=-6)))
POSES['decline'] = merge(arm('right', -158, scale=0.95, hand='point'),
                         P(eyes='eyes-cross', brows='brows-focus', mouth='mouth-flat'))
POSES['bow'] = merge(P(head=d(dy=5, scaleY=0.95, rotation=2), body=d(scaleY=0.95), eyes='eyes-happy', antenna=d(rotation=12)),
                     arm('right', 52, scale=0.85, hand='mitten'), arm('left', 36))

# -- props -----------------------------------------------------------------------------------
POSES['read'] = merge(reach('left', (46, 99), hand='grip'), reach('right', (82, 99), hand='grip'),
                      P(tablet=d(opacity=1), head=d(dy=2.5), eyes='eyes-down', antenna=d(rotation=2)))
POSES['write'] = merge(reach('left', (46, 99), hand='grip'), reach('right', (83, 101), hand='grip'),
                       P(tablet=d(opacity=1, element='tablet-note'), stylus=d(opacity=1), head=d(dy=2.5, rotation=-2),
                         eyes='eyes-down-left', brows='brows-focus', mouth='mouth-flat'))
POSES['search'] = merge(reach('right', (92, 57), hand='grip'),
                        P(magnifier=d(opacity=1), eyes='eyes-big', brows='brows-raised', mouth='mouth-o'))
POSES['announce'] = merge(reach('right', (87, 63), hand='grip'), arm('left', 46, hand='open'),
                          P(megaphone=d(opacity=1), body=d(scaleX=1.04, scaleY=1.02), head=d(rotation=-4, dy=-1),
                            eyes='eyes-squeeze', mouth='mouth-wide', antenna='antenna-lit'))
POSES['process'] = P(loader=d(opacity=1), eyes='eyes-off', chest='chest-amber', antenna='antenna-lit', head=d(rotation=-2),
                     mouth='mouth-flat')
POSES['think'] = merge(P(eyes='eyes-up-right', brows='brows-puzzled', mouth='mouth-flat', head=d(rotation=6, dx=1),
                         antenna=d(rotation=-4)), POSES['handToChin'])
POSES['listen'] = merge(POSES['handToEar'], P(eyes='eyes-focus', brows='brows-focus', antenna='antenna-lit',
                                              signal=d(opacity=1)))
POSES['doze'] = merge(P(eyes='eyes-closed', head=d(dy=4, rotation=5), body=d(dy=3, scaleY=0.98), antenna=d(rotation=14),
                        jet='jet-low', chest='chest-dim', mouth='mouth-flat', shadow=d(scale=1.05)), arms(6, -6))

RIG = Rig(PARTS, POSES)
world, held = RIG.world, RIG.held

def hand_at(pose, side='right'):
    """The middle of a hand, as seen in a pose."""
    H = 'handRight' if side == 'right' else 'handLeft'
    A = 'armRight' if side == 'right' else 'armLeft'
    sx, sy = SR if side == 'right' else SL
    tilt = -art.ARM_TILT if side == 'right' else art.ARM_TILT
    # the middle of the drawn hand, then carried by the pose
    cx, cy = apply(mul(G.T(sx, sy), G.R(tilt)), (0, HAND_REACH))
    return apply(world(POSES[pose] if isinstance(pose, str) else pose, H), (cx, cy))


# -- animations --------------------------------------------------------------------------------
ANIMS = {}
A = ANIMS
A['RestPose'] = {'frames': [F('rest', 100)]}

def boing(base=None, amount=8, ms=90, parts=None):
    """The antenna swinging to a stop after a jolt: three shrinking swings."""
    base = base or {}
    out = []
    for k, a in enumerate((amount, -amount * 0.55, amount * 0.25, 0)):
        out.append(T(None, ms + 20 * k, parts=merge(base, parts or {}, P(antenna=d(rotation=a)))))
    return out

# ---- the states' animations ----
A['Show'] = {'frames': [
    F(parts=P(root=d(opacity=0), body=d(dy=-40, scale=0.5), eyes='eyes-off', mouth=d(opacity=0), jet='jet-big', shadow=d(scale=0.3, opacity=0)), ms=40),
    T(parts=P(root=d(opacity=1), body=d(dy=-6, scaleX=0.94, scaleY=1.06), eyes='eyes-off', mouth=d(opacity=0), jet='jet-big', antenna=d(rotation=6),
              shadow=d(scale=0.8, opacity=0.7)), ms=200),
    T(parts=P(body=d(dy=2, scaleX=1.1, scaleY=0.9), eyes='eyes-off', mouth=d(opacity=0), jet='jet-low', antenna=d(rotation=-10), shadow=d(scale=1.08)), ms=110),
    T(parts=P(body=d(dy=-1, scaleX=0.98, scaleY=1.03), eyes='eyes-blink', antenna=d(rotation=6)), ms=110),
    F(parts=P(eyes='eyes-half', antenna='antenna-lit', chest='chest-bright'), ms=70),
    F(parts=P(eyes='eyes-off', mouth=d(opacity=0), antenna=d(element='antenna-lit', rotation=-2)), ms=50),
    T('happy', 150, parts=P(sparkle=d(opacity=1), antenna='antenna-lit', chest='chest-bright')),
    F('happy', 240, parts=P(sparkle=on('sparkle-2'))),
    T('rest', 160),
]}
A['Hide'] = {'frames': [
    T('crouch', 150, parts=P(eyes='eyes-happy')),
    T(['stretch'], 90, parts=merge(arms(-6, 6), P(jet='jet-big', eyes='eyes-happy', body=d(dy=-4), antenna=d(rotation=10)))),
    T(parts=merge(arms(-4, 4), P(jet='jet-big', eyes='eyes-blink', body=d(dy=-24, scaleY=1.1, scaleX=0.9), antenna=d(rotation=14),
                                 shadow=d(scale=0.6, opacity=0.5))), ms=90),
    T(parts=P(root=d(opacity=0.6), jet='jet-big', eyes='eyes-off', body=d(dy=-50, scaleY=1.14, scaleX=0.8), shadow=d(scale=0.4, opacity=0.2)), ms=90),
    T(parts=P(root=d(opacity=0.25), jet='jet-big', eyes='eyes-off', body=d(dy=-78, scale=0.6), shadow=d(scale=0.2, opacity=0)), ms=90),
    T(parts=P(root=d(opacity=0), jet='jet-big', eyes='eyes-off', body=d(dy=-100, scale=0.4), shadow=d(scale=0.1, opacity=0)), ms=80),
]}

A['Speak'] = {'frames': [
    T(parts=P(head=d(rotation=2), brows='brows-raised', body=d(dy=-1), antenna=d(rotation=-3)), ms=160),
    T(parts=merge(arm('right', -30, hand='open'), P(head=d(rotation=-1.5, dy=0.5), body=d(dy=0), antenna=d(rotation=2))), ms=180),
    T(parts=merge(arm('right', -18), P(head=d(rotation=1, dy=-0.5), brows='brows-raised', body=d(dy=-1), antenna=d(rotation=-2))), ms=180),
    T(parts=merge(arm('left', 26, hand='open'), P(head=d(rotation=-2), body=d(dy=0), antenna=d(rotation=3))), ms=180),
    F(parts=merge(arm('left', 26, hand='open'), P(head=d(rotation=-2), eyes='eyes-blink', antenna=d(rotation=1))), ms=80),
    T(parts=P(head=d(rotation=0.5), body=d(dy=-0.5)), ms=170, branches=[{'to': 0, 'probability': 100}]),
    T('rest', 120),
], 'exit': 6}

A['Think'] = {'frames': [
    T(parts=merge(reach('right', (80, 70), hand='grip'), P(eyes='eyes-up')), ms=140),
    T('think', 160, parts=P(dots=on('dots-1'), antenna=d(rotation=-6))),
    F('think', 340, parts=P(dots=on('dots-1'))),
    F('think', 340, parts=P(dots=on('dots-2'), antenna=d(rotation=-3))),
    T('think', 220, parts=P(eyes='eyes-up', head=d(rotation=9, dx=1), dots=on('dots-3'))),
    F('think', 300, parts=P(eyes='eyes-up', head=d(rotation=9, dx=1), dots=on('dots-3'), antenna='antenna-lit')),
    F('think', 100, parts=P(eyes='eyes-blink', dots=on('dots-3')), branches=[{'to': 1, 'probability': 100}]),
    T(parts=merge(reach('right', (80, 70), hand='grip'), P(dots=d(opacity=0))), ms=140),
    T('rest', 140),
], 'exit': 7}

def flight(direction):
    """A hovering loop leaning towards a direction."""
    lean = {'left': merge(P(body=d(rotation=-10, dx=-2), eyes='eyes-left', head=d(rotation=-3)), arms(-14, -34)),
            'right': merge(P(body=d(rotation=10, dx=2), eyes='eyes-right', head=d(rotation=3)), arms(34, 14)),
            'up': merge(P(body=d(dy=-4, scaleY=1.04, scaleX=0.96), eyes='eyes-up', head=d(dy=-1.5)), arms(10, -10)),
            'down': merge(P(body=d(dy=-3), eyes='eyes-down', head=d(dy=2), jet='jet-low'), arms(66, -66, hand='open'))}[direction]
    trail = {'left': 12, 'right': -12, 'up': 0, 'down': 0}[direction]
    base = merge(POSES['fly'], lean)
    bob = base.get('body', {}).get('dy', -4)
    jets = ('jet-low', 'jet') if direction == 'down' else ('jet-big', 'jet-flicker')
    return [
        T('crouch', 110, parts=P(eyes=base['eyes']['element'])),
        T(parts=merge(base, P(antenna=d(rotation=trail * 1.5), body=d(dy=bob - 2), jet=jets[0])), ms=150),
        T(parts=merge(base, P(antenna=d(rotation=trail), body=d(dy=bob), jet=jets[1])), ms=160),
        T(parts=merge(base, P(antenna=d(rotation=trail * 0.7), body=d(dy=bob + 1.2), jet=jets[0])), ms=160),
        T(parts=merge(base, P(antenna=d(rotation=trail), body=d(dy=bob), jet=jets[1])), ms=160,
          branches=[{'to': 2, 'probability': 100}]),
        T(parts=merge(P(body=d(dy=1.5, scaleY=0.94, scaleX=1.05), antenna=d(rotation=-trail * 0.6), jet='jet-low'), arms(20, -20)), ms=130),
        T('rest', 140),
    ]
for name, dirn in (('MoveLeft', 'left'), ('MoveRight', 'right'), ('MoveUp', 'up'), ('MoveDown', 'down')):
    fr = flight(dirn)
    A[name] = {'frames': fr, 'exit': len(fr) - 2}

def gesture(pose, side, extra=None):
    extra = extra or {}
    arm_part = 'armRight' if side == 'right' else 'armLeft'
    hand_part = 'handRight' if side == 'right' else 'handLeft'
    full = POSES[pose][arm_part]['rotation']
    tilt = -art.ARM_TILT if side == 'right' else art.ARM_TILT
    eff = full + tilt
    sgn = -1 if side == 'right' else 1
    return [
        # a small dip the other way first
        T(parts=merge(arm(side, -sgn * 10, hand='grip'), P(eyes=POSES[pose]['eyes']['element'], body=d(dy=1, scaleY=0.97))), ms=110),
        T(pose, 150, parts=merge(extra, {arm_part: {'rotation': full + sgn * 8}})),
        T(pose, 90, parts=merge(extra, {arm_part: {'rotation': full - sgn * 3}}, {hand_part: {'rotation': sgn * 6}})),
        T(pose, 90, parts=extra),
        F(pose, 600, parts=extra),
        T(pose, 80, parts=merge(extra, P(eyes='eyes-blink'))),
        T(parts=P(antenna=d(rotation=sgn * 5)), ms=180),
        T('rest', 120),
    ]
A['GestureRight'] = {'frames': gesture('pointRight', 'right', P(mouth='mouth-slight')), 'exit': 5}
A['GestureLeft'] = {'frames': gesture('pointLeft', 'left', P(mouth='mouth-slight')), 'exit': 5}
A['GestureUp'] = {'frames': gesture('pointUp', 'right', P(mouth='mouth-slight')), 'exit': 5}
A['GestureDown'] = {'frames': gesture('pointDown', 'right'), 'exit': 5}

A['StartListening'] = {'frames': [
    T(parts=P(head=d(dy=-2), eyes='eyes-wide', brows='brows-raised', antenna=d(rotation=-8)), ms=100),
    T(parts=merge(reach('left', (28, 62), hand='open'), P(eyes='eyes-left', antenna=d(element='antenna-lit', rotation=7))), ms=130),
    T('listen', 130, parts=P(signal=d(opacity=1, scale=0.6), antenna=d(rotation=-3))),
    T('listen', 110, parts=P(signal=on('signal-wide'), antenna=d(rotation=1))),
    F('listen', 300, parts=P(signal=on('signal-wide'))),
], 'return': 'ListenReturn'}
A['ListenReturn'] = {'frames': [
    F('listen', 60),
    T(parts=merge(reach('left', (28, 66), hand='open'), P(antenna=d(rotation=4), eyes='eyes-open')), ms=150),
    T('rest', 150),
]}
A['Listen'] = {'frames': [
    T('listen', 150),
    F('listen', 400, parts=P(signal=on('signal-wide'))),
    F('listen', 350),
    F('listen', 90, parts=P(eyes='eyes-blink')),
    F('listen', 400, parts=P(signal=on('signal-wide'), head=d(rotation=-9, dx=-1.5)), branches=[{'to': 1, 'probability': 100}]),
    T(parts=merge(reach('left', (28, 66), hand='open'), P(antenna=d(rotation=4))), ms=140),
    T('rest', 140),
], 'exit': 5}
A['Hearing'] = {'frames': [
    T('listen', 120, parts=P(signal=on('signal-wide'), chest='chest-bright')),
    T('listen', 150, parts=P(eyes='eyes-left', head=d(rotation=-8, dy=2), signal=d(element='signal', scale=0.8), antenna=d(rotation=4))),
    T('listen', 150, parts=P(head=d(rotation=-8, dy=-0.5), signal=on('signal-wide'), chest='chest-bright', antenna=d(rotation=-3))),
    T('listen', 150, parts=P(eyes='eyes-left', head=d(rotation=-8, dy=2), signal=d(element='signal', scale=0.8), antenna=d(rotation=4))),
    T('listen', 150, parts=P(eyes='eyes-happy', mouth='mouth-smile', head=d(rotation=-8, dy=0), signal=on('signal-wide'), chest='chest-bright'),
      branches=[{'to': 1, 'probability': 100}]),
    T(parts=merge(reach('left', (28, 66), hand='open'), P(antenna=d(rotation=4))), ms=140),
    T('rest', 140),
], 'exit': 5}

# ---- idle: three levels, each calmer than the last; every one plays once and ends ----
A['IdleLookAround'] = {'frames': [
    F('rest', 400),
    F(parts=P(eyes='eyes-left'), ms=140),
    T('lookLeft', 220, parts=P(head=d(rotation=-9, dx=-3), antenna=d(rotation=7))),
    T('lookLeft', 120, parts=P(head=d(rotation=-8, dx=-3), antenna=d(rotation=-2))),
    F('lookLeft', 600, parts=P(head=d(rotation=-8, dx=-3))),
    F('lookLeft', 70, parts=P(head=d(rotation=-8, dx=-3), eyes='eyes-blink')),
    F(parts=P(head=d(rotation=-8, dx=-3), eyes='eyes-right', antenna=d(rotation=1)), ms=120),
    T('lookRight', 300, parts=P(head=d(rotation=9, dx=3), antenna=d(rotation=-8))),
    T('lookRight', 120, parts=P(head=d(rotation=8, dx=3), antenna=d(rotation=2))),
    F('lookRight', 700, parts=P(head=d(rotation=8, dx=3))),
] + boing(None, -5, 110, P(eyes='eyes-open', head=d(rotation=-0.8))) + [
    F('rest', 300),
]}
A['IdleBlink'] = {'frames': [
    F('rest', 300),
    F('halfBlink', 40), F('blink', 70), F('halfBlink', 40),
    F('rest', 220),
    F('blink', 60), F('halfBlink', 40),
    T(parts=P(body=d(dy=-1.5), eyes='eyes-happy', antenna='antenna-lit'), ms=160),
    T(parts=P(body=d(dy=0.5), antenna=d(rotation=-6)), ms=150),
] + boing(None, 4, 100) + [F('rest', 200)]}
A['IdleFidget'] = {'frames': [
    F('rest', 200),
    T(parts=merge(arm('right', 10), P(eyes='eyes-down-right')), ms=110),
    T(parts=merge(arm('right', -118, hand='open'), P(eyes='eyes-right', head=d(rotation=4, dx=1), antenna=d(rotation=-6))), ms=220),
    T(parts=merge(arm('right', -112, hand='open'), P(eyes='eyes-right', head=d(rotation=4, dx=1), antenna=d(rotation=2))), ms=120),
    F(parts=merge(arm('right', -112, hand='grip'), P(eyes='eyes-right', head=d(rotation=4, dx=1))), ms=180),
    F(parts=merge(arm('right', -112, hand='open', wrist=-8), P(eyes='eyes-right', head=d(rotation=4, dx=1))), ms=180),
    F(parts=merge(arm('right', -112, hand='grip'), P(eyes='eyes-right', head=d(rotation=4, dx=1), brows='brows-raised')), ms=180),
    F(parts=merge(arm('right', -112, hand='open', wrist=10), P(eyes='eyes-happy', head=d(rotation=4, dx=1), mouth='mouth-smile')), ms=300),
    T(parts=merge(arm('right', 6), P(eyes='eyes-open')), ms=200),
    T(parts=merge(arm('right', -3), P(antenna=d(rotation=3))), ms=120),
    T('rest', 140),
    F('rest', 200),
]}

A['IdleStretch'] = {'frames': [
    F('rest', 300),
    T('crouch', 240, parts=P(eyes='eyes-half')),
    T(['stretch', 'armsUp'], 380, parts=merge(arms(160, -160, scale=1.3, hand='open'),
                                                P(eyes='eyes-squeeze', mouth='mouth-o', body=d(dy=-3, scaleY=1.08, scaleX=0.94), antenna=d(rotation=-4)))),
    F(['stretch', 'armsUp'], 500, parts=merge(arms(164, -164, scale=1.34, hand='open'),
                                                P(eyes='eyes-squeeze', mouth='mouth-o', body=d(dy=-3, scaleY=1.08, scaleX=0.94)))),
    T(parts=merge(arms(100, -100, scale=1.1, hand='open'), P(eyes='eyes-closed', mouth='mouth-smile', body=d(dy=-1))), ms=260),
    T(parts=merge(arms(-8, 8), P(eyes='eyes-closed', body=d(dy=1.5, scaleY=0.95, scaleX=1.04), antenna=d(rotation=8))), ms=220),
    T(parts=merge(arms(4, -4), P(eyes='eyes-happy', body=d(dy=0, scaleY=1.01), antenna=d(rotation=-4))), ms=180),
    T('rest', 200),
    F('rest', 300),
]}
A['IdleYawn'] = {'frames': [
    F('rest', 300),
    T(parts=P(eyes='eyes-half', mouth='mouth-slight', head=d(dy=0.5)), ms=260),
    T(parts=merge(arms(30, -30, hand='open'), P(eyes='eyes-closed', mouth='mouth-open', head=d(dy=-1.5, rotation=-3), body=d(scaleY=1.03),
                                                antenna=d(rotation=5))), ms=360),
    T(parts=merge(arms(40, -40, hand='open'), P(eyes='eyes-closed', mouth='mouth-wide', head=d(dy=-2, rotation=-4), body=d(scaleY=1.04)))
      , ms=300),
    F(parts=merge(arms(40, -40, hand='open'), P(eyes='eyes-closed', mouth='mouth-wide', head=d(dy=-2, rotation=-4), body=d(scaleY=1.04))), ms=600),
    T(parts=P(eyes='eyes-closed', mouth='mouth-slight', head=d(dy=1, rotation=2), body=d(scaleY=0.98), antenna=d(rotation=-5)), ms=300),
    T(parts=P(eyes='eyes-half', mouth='mouth-closed', head=d(rotation=-2)), ms=200),
    T(parts=P(eyes='eyes-half', head=d(rotation=2), antenna=d(rotation=3)), ms=180),
    F('blink', 80),
    T('rest', 200),
    F('rest', 300),
]}
A['IdleRecharge'] = {'frames': [
    F('rest', 300),
    T(parts=P(eyes='eyes-half', body=d(dy=1.5), jet='jet-low'), ms=300),
    F(parts=P(eyes='eyes-battery0', body=d(dy=1.5), jet='jet-low', chest='chest-dim'), ms=300),
] + [
    T(parts=P(eyes='eyes-battery%d' % i, body=d(dy=1.5 - 0.3 * i, scaleY=1 + (0.012 if i % 2 else 0)), jet='jet-low',
              chest='chest-bright' if i % 2 else 'chest-dim'), ms=420) for i in range(1, 5)
] + [
    F(parts=P(eyes='eyes-battery4', chest='chest-bright', antenna='antenna-lit'), ms=400),
    F(parts=P(eyes='eyes-blink', antenna='antenna-lit'), ms=70),
    T('happy', 160, parts=P(antenna=d(rotation=-5), body=d(dy=-1.5))),
] + boing(P(eyes='eyes-happy', blush=d(opacity=0)), 4, 100) + [
    T('rest', 160),
    F('rest', 300),
]}

A['IdleDoze'] = {'frames': [
    F('rest', 400),
    T('halfBlink', 500, parts=P(head=d(dy=1))),
    F('halfBlink', 600, parts=P(head=d(dy=1))),
    T(parts=P(eyes='eyes-sleepy', head=d(dy=2, rotation=2), antenna=d(rotation=6), body=d(dy=1)), ms=700),
    F(parts=P(eyes='eyes-sleepy', head=d(dy=2, rotation=2), antenna=d(rotation=6), body=d(dy=1)), ms=500),
    T('doze', 900),
    # slow breaths, the little letters drifting up
    T('doze', 1300, parts=P(body=d(dy=2.4, scaleY=1.02), zz=d(opacity=1, dy=-1))),
    T('doze', 1300, parts=P(body=d(dy=3, scaleY=0.98), zz=d(opacity=1, dy=-3))),
    T('doze', 1300, parts=P(body=d(dy=2.4, scaleY=1.02), zz=d(opacity=0.9, element='zz-2', dy=-4))),
    T('doze', 1300, parts=P(body=d(dy=3, scaleY=0.98), zz=d(opacity=0.6, element='zz-2', dy=-6))),
    # nods off a little too far, and catches itself
    T('doze', 260, parts=P(head=d(dy=7, rotation=8), antenna=d(rotation=20), zz=d(opacity=0, dy=-8))),
    T(parts=P(eyes='eyes-wide', brows='brows-raised', head=d(dy=-2.5, rotation=-2), body=d(dy=-2, scaleY=1.04), antenna=d(rotation=-12)), ms=110),
] + boing(P(eyes='eyes-open', brows='brows-raised'), 7, 100) + [
    F(parts=P(eyes='eyes-blink'), ms=70),
    T('rest', 220),
    F('rest', 400),
]}
A['IdleSleep'] = {'frames': [
    F('rest', 400),
    T('halfBlink', 700, parts=P(head=d(dy=1))),
    T(parts=P(eyes='eyes-sleepy', head=d(dy=2.5, rotation=3), antenna=d(rotation=8), body=d(dy=1.5)), ms=900),
    T('doze', 1100, parts=P(eyes='eyes-closed', antenna='antenna-off', chest='chest-dim')),
    T('doze', 1500, parts=P(body=d(dy=2.4, scaleY=1.025), zz=d(opacity=1, dy=-1), antenna='antenna-off')),
    T('doze', 1500, parts=P(body=d(dy=3.2, scaleY=0.975), zz=d(opacity=1, dy=-3), antenna='antenna-off')),
    T('doze', 1500, parts=P(body=d(dy=2.4, scaleY=1.025), zz=d(opacity=1, element='zz-2', dy=-4), antenna='antenna-off')),
    T('doze', 1500, parts=P(body=d(dy=3.2, scaleY=0.975), zz=d(opacity=0.8, element='zz-2', dy=-6), antenna='antenna-off')),
    T('doze', 1500, parts=P(body=d(dy=2.4, scaleY=1.025), zz=d(opacity=0.4, dy=-8), antenna='antenna-off')),
    # wakes slowly: the antenna lights first
    T('doze', 600, parts=P(zz=d(opacity=0, dy=-10), antenna='antenna-lit', chest='chest')),
    T(parts=P(eyes='eyes-sleepy', head=d(dy=2, rotation=2), antenna=d(element='antenna-lit', rotation=5), body=d(dy=1.5)), ms=500),
    T(parts=P(eyes='eyes-half', head=d(dy=1, rotation=0), body=d(dy=0.5)), ms=400),
    F('blink', 80), F('halfBlink', 60),
    T('rest', 300),
    F('rest', 400),
]}

# ---- the named animations ----
A['Alert'] = {'frames': [
    T('crouch', 90, parts=P(eyes='eyes-half')),
    T('alert', 90, parts=P(exclaim=d(scale=1.35, opacity=1), body=d(dy=-3, scaleY=1.09, scaleX=0.94), antenna=d(rotation=-10)), sound='alert'),
    T('alert', 90, parts=P(exclaim=d(scale=0.9), antenna=d(rotation=7))),
    T('alert', 80, parts=P(antenna=d(element='antenna', rotation=-3))),
    T('alert', 140, parts=P(head=d(dy=-2.5, rotation=-7, dx=-2), eyes='eyes-left')),
    F('alert', 260, parts=P(head=d(dy=-2.5, rotation=-7, dx=-2), eyes='eyes-left', antenna='antenna')),
    T('alert', 140, parts=P(head=d(dy=-2.5, rotation=7, dx=2), eyes='eyes-right')),
    F('alert', 260, parts=P(head=d(dy=-2.5, rotation=7, dx=2), eyes='eyes-right', antenna='antenna')),
    T('alert', 140),
    F('alert', 300),
    T('rest', 180),
], 'exit': 10}

A['Announce'] = {'frames': [
    T(parts=merge(reach('right', (100, 90), hand='grip'), P(megaphone=d(opacity=0), eyes='eyes-happy', body=d(scaleY=0.97))), ms=150),
    T('announce', 160, parts=P(mouth='mouth-closed', eyes='eyes-open', body=d(scaleX=1.08, scaleY=1.04), head=d(rotation=-2, dy=-3),
                               antenna=d(rotation=6))),
    T('announce', 110, parts=P(mouth='mouth-open', antenna=d(rotation=-4))),
    F('announce', 240, parts=P(signal=d(opacity=1)), sound='announce'),
    F('announce', 120, parts=P(mouth='mouth-open', antenna='antenna')),
    F('announce', 240, parts=P(head=d(rotation=-6, dy=-2), signal=on('signal-wide'))),
    F('announce', 120, parts=P(mouth='mouth-slight', antenna='antenna')),
    F('announce', 240, parts=P(signal=d(opacity=1))),
    T(parts=merge(reach('right', (100, 90), hand='grip'), P(megaphone=d(opacity=0.5), eyes='eyes-happy', mouth='mouth-smile')), ms=160),
    T('rest', 160),
], 'exit': 8}

A['Decline'] = {'frames': [
    T('decline', 160, parts=merge(arm('right', -135, hand='point'), P(head=d(rotation=0)))),
    T('decline', 110, parts=P(head=d(rotation=-9, dx=-2.5), handRight=d(rotation=-16), antenna=d(rotation=6))),
    T('decline', 120, parts=P(head=d(rotation=9, dx=2.5), handRight=d(rotation=16), antenna=d(rotation=-8))),
    T('decline', 120, parts=P(head=d(rotation=-9, dx=-2.5), handRight=d(rotation=-16), antenna=d(rotation=8))),
    T('decline', 120, parts=P(head=d(rotation=7, dx=2), handRight=d(rotation=12), antenna=d(rotation=-6))),
    T('decline', 110, parts=P(head=d(rotation=0), handRight=d(rotation=0), antenna=d(rotation=3))),
    F('decline', 420),
    T(parts=P(antenna=d(rotation=-3)), ms=180),
    T('rest', 120),
], 'exit': 7}

A['DontRecognize'] = {'frames': [
    T(parts=merge(arms(20, -20), P(body=d(scaleY=0.97), eyes='eyes-half')), ms=120),
    T('shrug', 180, parts=P(question=d(opacity=1, scale=1.3), body=d(dy=-2), antenna=d(rotation=-12))),
    T('shrug', 120, parts=P(question=d(scale=0.95), antenna=d(rotation=2))),
    F('shrug', 350),
    T('shrug', 200, parts=P(head=d(rotation=-7, dx=-1), eyes='eyes-up-right', antenna=d(rotation=6))),
    F('shrug', 350, parts=P(head=d(rotation=-7, dx=-1), eyes='eyes-up-right', antenna=d(rotation=4))),
    T(parts=merge(arms(20, -20), P(question=d(opacity=0.4), brows='brows-puzzled', mouth='mouth-wavy')), ms=160),
    T('rest', 160),
], 'exit': 6}

A['GetAttention'] = {'frames': [
    T('crouch', 110, parts=merge(arms(34, -34), P(antenna=d(rotation=6)))),
    T('armsUp', 120, parts=P(body=d(dy=-6, scaleY=1.03), jet='jet-big', eyes='eyes-wide', mouth='mouth-open', brows='brows-raised',
                             antenna=d(element='antenna-red', rotation=-8), shadow=d(scale=0.85))),
    T('armsUp', 110, parts=merge(arms(128, -164, hand='open'), P(body=d(dy=-2), eyes='eyes-wide', mouth='mouth-wide', brows='brows-raised',
                                                                 antenna=d(rotation=8)))),
    T('armsUp', 110, parts=merge(arms(164, -128, hand='open'), P(body=d(dy=-6, scaleY=1.03), jet='jet-big', eyes='eyes-wide', mouth='mouth-open',
                                                                 brows='brows-raised', antenna=d(element='antenna-red', rotation=-8), shadow=d(scale=0.85)))),
    T('armsUp', 110, parts=merge(arms(128, -164, hand='open'), P(body=d(dy=0, scaleY=0.95, scaleX=1.04), eyes='eyes-wide', mouth='mouth-wide',
                                                                 brows='brows-raised', antenna=d(rotation=8))),
      branches=[{'to': 3, 'probability': 65}]),
    F('armsUp', 260, parts=P(eyes='eyes-open', mouth='mouth-smile', brows='brows-raised', antenna='antenna-lit')),
], 'exit': 5, 'return': 'GetAttentionReturn'}
A['GetAttentionReturn'] = {'frames': [
    F('armsUp', 60, parts=P(eyes='eyes-open', mouth='mouth-smile', brows='brows-raised', antenna='antenna-lit')),
    T(parts=merge(arms(70, -70, hand='open'), P(eyes='eyes-happy', antenna=d(rotation=-5))), ms=160),
    T(parts=merge(arms(-6, 6), P(body=d(scaleY=0.97), antenna=d(rotation=5))), ms=150),
    T('rest', 140),
]}

A['Greet'] = {'frames': [
    T(parts=merge(arm('right', 20), P(body=d(scaleY=1.03, dy=-1), eyes='eyes-happy', antenna=d(rotation=-4))), ms=140),
    T('bow', 240, sound='beep'),
    F('bow', 360, parts=P(antenna=d(rotation=16))),
    T(parts=merge(arm('right', -120, hand='open'), P(body=d(scaleY=1.04, dy=-2), eyes='eyes-happy', brows='brows-raised',
                                                     mouth='mouth-open', antenna=d(rotation=-10))), ms=200),
    T('happy', 160, parts=merge(POSES['waveIn'], P(mouth='mouth-open', sparkle=d(opacity=1), antenna=d(rotation=5)))),
    T('happy', 160, parts=merge(POSES['waveOut'], P(mouth='mouth-open', sparkle=d(opacity=1), antenna=d(rotation=-3)))),
    T('happy', 160, parts=merge(POSES['waveIn'], P(mouth='mouth-open', sparkle=on('sparkle-2'), chest='chest-heart'))),
    F('happy', 300, parts=merge(POSES['waveOut'], P(mouth='mouth-smile', sparkle=on('sparkle-2'), chest='chest-heart'))),
    T(parts=merge(arm('right', -30), P(eyes='eyes-happy')), ms=170),
    T('rest', 150),
], 'exit': 8}

A['LookDown'] = {'frames': [
    T(parts=P(head=d(dy=-1.5), eyes='eyes-up', antenna=d(rotation=-2)), ms=100),
    T('lookDown', 150, parts=P(head=d(dy=4.5, scaleY=0.95), antenna=d(rotation=5))),
    T('lookDown', 120, parts=P(antenna=d(rotation=-2))),
    F('lookDown', 600),
    F('lookDown', 70, parts=P(eyes='eyes-blink')),
    F('lookDown', 300),
    T(parts=P(head=d(dy=-0.5), antenna=d(rotation=3)), ms=170),
    T('rest', 110),
], 'exit': 6}
A['LookRight'] = {'frames': [
    T(parts=P(head=d(rotation=-2.5, dx=-1), eyes='eyes-left'), ms=100),
    T('lookRight', 150, parts=P(head=d(rotation=7, dx=3), antenna=d(rotation=-8))),
    T('lookRight', 120, parts=P(antenna=d(rotation=2))),
    F('lookRight', 600),
    F('lookRight', 70, parts=P(eyes='eyes-blink')),
    F('lookRight', 300),
    T(parts=P(head=d(rotation=-1), antenna=d(rotation=4)), ms=170),
    T('rest', 110),
], 'exit': 6}

A['Pleased'] = {'frames': [
    T('crouch', 110, parts=P(eyes='eyes-happy')),
    T(['happy', 'clasp'], 130, parts=P(body=d(dy=-6, scaleY=1.03), jet='jet-big', sparkle=d(opacity=1), eyes='eyes-heart',
                                        chest='chest-heart', antenna=d(rotation=-10), shadow=d(scale=0.85))),
    T(['happy', 'clasp'], 120, parts=P(body=d(dy=0, scaleY=0.95, scaleX=1.04), sparkle=d(opacity=1), eyes='eyes-heart',
                                        chest='chest-heart', antenna=d(rotation=8))),
    T(['happy', 'clasp'], 150, parts=P(body=d(rotation=-4), sparkle=on('sparkle-2'), chest='chest-heart', antenna=d(rotation=6))),
    T(['happy', 'clasp'], 150, parts=P(body=d(rotation=4), sparkle=d(opacity=1), chest='chest-heart', antenna=d(rotation=-6))),
    T(['happy', 'clasp'], 150, parts=P(body=d(rotation=-3), sparkle=on('sparkle-2'), chest='chest-heart', antenna=d(rotation=4))),
    T(['happy', 'clasp'], 130, parts=P(body=d(rotation=0), sparkle=d(opacity=0.6), antenna=d(rotation=-2))),
    T('rest', 170),
], 'exit': 7}

A['Process'] = {'frames': [
    T('process', 150, parts=P(loader=d(opacity=1, scale=0.4), eyes='eyes-blink')),
] + [
    T('process', 130, parts=P(loader=d(rotation=(i + 1) * 45), head=d(rotation=-2 + (1 if i % 2 else 0)),
                               chest='chest-amber' if i % 2 else 'chest',
                               antenna='antenna-lit' if i % 3 == 0 else 'antenna'))
    for i in range(8)
] + [
    F('process', 10, parts=P(loader=d(rotation=0)), branches=[{'to': 1, 'probability': 80}]),
    T(parts=P(loader=d(opacity=0, scale=0.4), eyes='eyes-happy', chest='chest-bright'), ms=160),
    T('rest', 140),
], 'exit': 10}

A['Read'] = {'frames': [
    T(parts=merge(arms(-12, 12, hand='grip'), P(tablet=d(opacity=0.3, dy=8, scale=0.6))), ms=140),
    T('read', 160, parts=P(eyes='eyes-down-left', antenna=d(rotation=-3))),
    F('read', 380, parts=P(eyes='eyes-down-left')),
    T('read', 300, parts=P(eyes='eyes-down-right', head=d(dy=2.5, rotation=2))),
    F('read', 200, parts=P(eyes='eyes-down-right', head=d(dy=2.5, rotation=2))),
    F('read', 140, parts=merge(arm('right', 44, hand='open'), P(tablet='tablet-swipe', eyes='eyes-down'))),
    F('read', 120, parts=P(eyes='eyes-down-left'), branches=[{'to': 2, 'probability': 60}]),
    F('read', 400, parts=P(eyes='eyes-down')),
], 'exit': 7, 'return': 'ReadReturn'}
A['ReadReturn'] = {'frames': [
    F('read', 60),
    T('read', 120, parts=P(eyes='eyes-open', head=d(dy=0))),
    T(parts=merge(arms(-12, 12, hand='grip'), P(tablet=d(opacity=0, dy=8, scale=0.6), eyes='eyes-happy')), ms=160),
    T(parts=P(antenna=d(rotation=3)), ms=140),
    T('rest', 100),
]}

A['Write'] = {'frames': [
    T(parts=merge(arms(-12, 12, hand='grip'), P(tablet=d(opacity=1, scale=0.7, element='tablet-note'), stylus=d(opacity=1))), ms=150),
    T('write', 150),
] + [
    T('write', 110, parts=P(tablet='tablet-note-%d' % (1 + i // 3) if i >= 1 else 'tablet-note',
                            handRight=d(dx=(1.2 if i % 2 else -1.2) + (i % 3) * 1.5, dy=(i % 3) * 2.2 + (-0.6 if i % 2 else 0.6),
                                        element='handRight-grip'),
                            head=d(dy=2.5, rotation=-2 + (1 if i % 2 else 0))))
    for i in range(9)
] + [
    F('write', 300, parts=P(tablet='tablet-note-4', eyes='eyes-down', head=d(dy=1, rotation=0))),
    # a full page: swipe it away and maybe write another
    T('write', 100, parts=P(tablet=d(element='tablet-note-4', scaleX=0.9, dx=-1.5), eyes='eyes-down')),
    F('write', 120, parts=P(tablet='tablet-note', eyes='eyes-down-left'), branches=[{'to': 2, 'probability': 50}]),
    T('write', 200, parts=P(eyes='eyes-down', head=d(dy=1, rotation=0))),
], 'exit': 13, 'return': 'WriteReturn'}
A['WriteReturn'] = {'frames': [
    F('write', 60, parts=P(eyes='eyes-down', head=d(dy=1, rotation=0))),
    T('write', 130, parts=P(eyes='eyes-happy', mouth='mouth-smile', head=d(dy=0, rotation=0))),
    T(parts=merge(arms(-12, 12, hand='grip'), P(tablet=d(opacity=0, scale=0.7), stylus=d(opacity=0), eyes='eyes-happy')), ms=160),
    T(parts=P(antenna=d(rotation=3)), ms=140),
    T('rest', 100),
]}

A['Sad'] = {'frames': [
    T(parts=P(eyes='eyes-half', brows='brows-sad', head=d(dy=-1), antenna=d(rotation=-3)), ms=160),
    T('sad', 360),
    T('sad', 200, parts=P(antenna=d(rotation=12))),
    T('sad', 160, parts=P(tear=d(opacity=1), antenna=d(rotation=16))),
    T('sad', 420, parts=P(tear=d(opacity=1, dy=4))),
    T('sad', 200, parts=P(tear=d(opacity=0, dy=7), eyes='eyes-closed')),
    T('sad', 500, parts=P(body=d(dy=3.5, scaleY=0.95, scaleX=1.03))),
    T('sad', 300),
    T(parts=P(eyes='eyes-half', antenna=d(rotation=-4)), ms=240),
    T('rest', 160),
], 'exit': 8}

A['Search'] = {'frames': [
    T(parts=merge(reach('right', (100, 82), hand='grip'), P(magnifier=d(opacity=0), eyes='eyes-right')), ms=140),
    T('search', 170, parts=P(antenna=d(rotation=6))),
    T('search', 240, parts=P(body=d(rotation=-7, dx=-4), antenna=d(rotation=-4))),
    F('search', 200, parts=P(body=d(rotation=-7, dx=-4), eyes='eyes-big', antenna=d(rotation=3))),
    T('search', 280, parts=P(body=d(rotation=6, dx=4), antenna=d(rotation=6))),
    F('search', 200, parts=P(body=d(rotation=6, dx=4), antenna=d(rotation=-3))),
    T('search', 200, parts=P(body=d(rotation=0, dy=0), antenna=d(rotation=2))),
    F('search', 120, parts=P(eyes='eyes-wide', antenna='antenna-lit')),
    T(parts=merge(reach('right', (100, 82), hand='grip'), P(magnifier=d(opacity=0), eyes='eyes-happy')), ms=150),
    T('rest', 150),
], 'exit': 8}

A['Surprised'] = {'frames': [
    T(parts=P(eyes='eyes-half', body=d(scaleY=0.95, dy=1)), ms=70),
    T('surprised', 80, parts=P(body=d(dy=-7, scaleY=1.05, scaleX=0.94), antenna=d(rotation=-14))),
    T('surprised', 110, parts=P(antenna=d(rotation=10))),
    T('surprised', 120, parts=P(body=d(dy=1, scaleY=0.94, scaleX=1.05), jet='jet-low', antenna=d(rotation=-6), shadow=d(scale=1.05))),
    F('surprised', 420, parts=P(body=d(dy=0, scaleY=1, scaleX=1), jet='jet', antenna=d(rotation=2), shadow=d(scale=1))),
    F('surprised', 60, parts=P(body=d(dy=0, scaleY=1, scaleX=1), jet='jet', eyes='eyes-blink', shadow=d(scale=1))),
    T(parts=merge(arms(24, -24), P(eyes='eyes-wide', brows='brows-raised', mouth='mouth-slight', antenna=d(rotation=-3))), ms=180),
    T('rest', 180),
], 'exit': 6}

A['Wave'] = {'frames': [
    T(parts=merge(arm('right', -36, hand='open'), P(eyes='eyes-happy', body=d(scaleY=0.97))), ms=120),
    T(['happy', 'waveOut'], 150, parts=P(mouth='mouth-open', antenna=d(rotation=4))),
    T(['happy', 'waveIn'], 130, parts=P(mouth='mouth-open', antenna=d(rotation=-3))),
    T(['happy', 'waveOut'], 130, parts=P(mouth='mouth-open', antenna=d(rotation=3))),
    T(['happy', 'waveIn'], 130, parts=P(mouth='mouth-open', antenna=d(rotation=-3))),
    T(['happy', 'waveOut'], 130, parts=P(mouth='mouth-slight', antenna=d(rotation=2))),
    T(['happy'], 140, parts=merge(arm('right', -142, hand='open'), P(mouth='mouth-smile'))),
    T(parts=merge(arm('right', -24), P(eyes='eyes-open', antenna=d(rotation=-4))), ms=160),
    T('rest', 130),
], 'exit': 7}

# stopped part way, an idle animation still settles back to rest
for name in [n for n in A if n.startswith('Idle') and n != 'Idle']:
    A[name]['exit'] = len(A[name]['frames']) - 2

IDLE_1 = ['IdleLookAround', 'IdleBlink', 'IdleFidget']
IDLE_2 = ['IdleStretch', 'IdleYawn', 'IdleRecharge']
IDLE_3 = ['IdleDoze', 'IdleSleep']
STATES = {
    'showing': 'Show', 'hiding': 'Hide', 'speaking': 'Speak', 'thinking': 'Think',
    'moving-left': 'MoveLeft', 'moving-right': 'MoveRight', 'moving-up': 'MoveUp', 'moving-down': 'MoveDown',
    'gesturing-left': 'GestureLeft', 'gesturing-right': 'GestureRight', 'gesturing-up': 'GestureUp',
    'gesturing-down': 'GestureDown', 'listening': 'Listen', 'hearing': 'Hearing',
    'idle-1': IDLE_1, 'idle-2': IDLE_2, 'idle-3': IDLE_3,
}
