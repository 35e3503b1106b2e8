import math
from geom import *
from rig import P, d, merge, F, T, Rig
import art
from art import OUT, SLATE, YEL, mirror, drop

META = {
    'name': 'Kess',
    'description': 'A small, friendly kestrel who likes to help.',
    'size': [128, 128],
    'art': 'art.svg',
    'rootPivot': [64, 123],
    'balloonAnchor': [64, 8],
    'voice': {'locale': 'en_US', 'gender': 'female', 'rate': 0.05, 'pitch': 0.25},
}
SL, SR = art.SHOULDER_L, art.SHOULDER_R
PARTS = [
    ('tail', 'tail', (80, 103), 'body'),
    ('feet', 'feet-stand', (64, 112), ''),
    ('body', 'body', (64, 118), ''),
    ('head', 'head', (64, 70), 'body'),
    ('blush', 'blush', (64, 58), 'head'),
    ('eyes', 'eyes-open', (64, 43), 'head'),
    ('brows', 'brows-neutral', (64, 30), 'head'),
    ('mouth', 'mouth-closed', (64, 54), 'head'),
    ('tear', 'tear', (40, 56), 'head'),
    ('waves', 'waves-1', (26, 46), 'head'),
    ('book', 'book-open', (64, 100), 'body'),
    ('wingLeft', 'wingLeft', SL, 'body'),
    ('notepad', 'notepad', (55, 96), 'wingLeft'),
    ('wingRight', 'wingRight', SR, 'body'),
    ('pencil', 'pencil', (75, 107), 'wingRight'),
    ('magnifier', 'magnifier', (99, 51), 'wingRight'),
    ('megaphone', 'megaphone', (98, 52), 'wingRight'),
    ('gearBig', 'gearBig', (102, 17), ''),
    ('gearSmall', 'gearSmall', (114.4, 27.4), ''),
    ('exclaim', 'exclaim', (102, 34), ''),
    ('question', 'question', (105, 33), ''),
    ('sparkle', 'sparkle-1', (64, 40), ''),
    ('zz', 'zz', (96, 26), ''),
]
PIVOT = {p[0]: p[2] for p in PARTS}
PARENT = {p[0]: p[3] for p in PARTS}
PROPS = ['book', 'notepad', 'pencil', 'magnifier', 'megaphone', 'gearBig', 'gearSmall',
         'exclaim', 'question', 'sparkle', 'blush', 'tear', 'waves', 'zz']

POSES = {}
POSES['rest'] = {p: {'opacity': 0} for p in PROPS}

# -- faces and looks --------------------------------------------------------
POSES['blink'] = P(eyes='eyes-closed')
POSES['halfBlink'] = P(eyes='eyes-half')
POSES['lookRight'] = P(head=d(rotation=5, dx=2), eyes='eyes-right')
POSES['lookLeft'] = P(head=d(rotation=-5, dx=-2), eyes='eyes-left')
POSES['lookDown'] = P(head=d(dy=4, scaleY=0.96), eyes='eyes-down', body=d(scaleY=0.99))
POSES['lookUp'] = P(head=d(dy=-1.5, rotation=-2), eyes='eyes-up')
POSES['happy'] = P(eyes='eyes-happy', brows='brows-raised', mouth='mouth-slight', blush=d(opacity=1))
POSES['crouch'] = P(root=d(scaleY=0.9, scaleX=1.07), wingLeft=d(rotation=8), wingRight=d(rotation=-8))
POSES['stretch'] = P(root=d(scaleY=1.05, scaleX=0.96))

# -- wings --------------------------------------------------------------------
POSES['wingRightUp'] = P(wingRight=d(rotation=-136))
POSES['waveOut'] = P(wingRight=d(rotation=-116), head=d(rotation=-3, dx=-1))
POSES['waveIn'] = P(wingRight=d(rotation=-143), head=d(rotation=-4, dx=-1.5))
POSES['pointRight'] = P(wingRight=d(rotation=-96), head=d(rotation=5, dx=2), eyes='eyes-right',
                        body=d(rotation=2), brows='brows-raised')
POSES['pointLeft'] = P(wingLeft=d(rotation=96), head=d(rotation=-5, dx=-2), eyes='eyes-left',
                       body=d(rotation=-2), brows='brows-raised')
POSES['pointUp'] = P(wingRight=d(rotation=-150, scaleY=1.12, dy=-3), head=d(rotation=-6, dy=-1, dx=-2), eyes='eyes-up-right',
                     body=d(scaleY=1.02), brows='brows-raised')
POSES['pointDown'] = P(wingRight=d(rotation=-44, scaleY=1.08), head=d(dy=3, rotation=6, dx=1, scaleY=0.97), eyes='eyes-down-right',
                       body=d(rotation=5), brows='brows-raised')
POSES['wingsOut'] = P(wingLeft=d(rotation=48), wingRight=d(rotation=-48))
POSES['wingsUp'] = P(wingLeft=d(rotation=134), wingRight=d(rotation=-134))
POSES['wingsUpWide'] = P(wingLeft=d(rotation=120), wingRight=d(rotation=-120))
POSES['clasp'] = P(wingLeft=d(rotation=-36, scaleY=0.9), wingRight=d(rotation=36, scaleY=0.9))
POSES['wingToEar'] = P(wingLeft=d(rotation=146, scaleY=0.98), head=d(rotation=-8, dx=-1))
POSES['wingToChin'] = P(wingRight=d(rotation=124, scaleY=0.68))

# -- flying -----------------------------------------------------------------------
POSES['fly'] = P(feet='feet-tucked', root=d(dy=-5), tail=d(rotation=-10))
POSES['flapUp'] = P(wingLeft=d(rotation=128), wingRight=d(rotation=-128))
POSES['flapMid'] = P(wingLeft=d(rotation=92), wingRight=d(rotation=-92))
POSES['flapDown'] = P(wingLeft=d(rotation=52, scaleY=0.92), wingRight=d(rotation=-52, scaleY=0.92))

# -- feelings -----------------------------------------------------------------------
POSES['sad'] = P(eyes='eyes-sad', brows='brows-sad', head=d(dy=3.5, rotation=-5, scaleY=0.98),
                 body=d(scaleY=0.96, scaleX=1.02), wingLeft=d(rotation=-5), wingRight=d(rotation=5),
                 tail=d(rotation=10))
POSES['surprised'] = P(eyes='eyes-wide', brows='brows-raised', mouth='mouth-wide',
                       head=d(dy=-3), wingLeft=d(rotation=62), wingRight=d(rotation=-62),
                       root=d(scaleY=1.04, scaleX=0.97, dy=-4), feet='feet-tucked', tail=d(rotation=-14))
POSES['alert'] = P(eyes='eyes-wide', brows='brows-raised', head=d(dy=-3),
                   root=d(scaleY=1.05, scaleX=0.97), wingLeft=d(rotation=14), wingRight=d(rotation=-14),
                   exclaim=d(opacity=1), tail=d(rotation=-8))
POSES['shrug'] = P(wingLeft=d(rotation=72, scaleY=0.72), wingRight=d(rotation=-72, scaleY=0.72),
                   head=d(rotation=9, dx=1), brows='brows-puzzled', eyes='eyes-up', mouth='mouth-slight',
                   body=d(scaleY=0.98), question=d(opacity=1))
POSES['decline'] = P(eyes='eyes-closed', brows='brows-frown', wingRight=d(rotation=-108, scaleY=0.62),
                     mouth='mouth-closed')
POSES['bow'] = P(head=d(dy=6, scaleY=0.9), body=d(scaleY=0.95), eyes='eyes-closed',
                 wingRight=d(rotation=42, scaleY=0.85), wingLeft=d(rotation=34), tail=d(rotation=-12))

# -- props --------------------------------------------------------------------------
POSES['read'] = P(book=d(opacity=1), wingLeft=d(rotation=-24, scaleY=0.9), wingRight=d(rotation=24, scaleY=0.9),
                  head=d(dy=2.5), eyes='eyes-down', brows='brows-neutral')
POSES['write'] = P(notepad=d(opacity=1), pencil=d(opacity=1), wingLeft=d(rotation=-22, scaleY=0.9),
                   wingRight=d(rotation=40, scaleY=0.96), head=d(dy=2.5, rotation=-3), eyes='eyes-down-left',
                   brows='brows-neutral', mouth='mouth-tongue')
POSES['search'] = P(magnifier=d(opacity=1), wingRight=d(rotation=-141), eyes='eyes-big',
                    brows='brows-raised')
POSES['announce'] = P(megaphone=d(opacity=1), wingRight=d(rotation=-144), body=d(scaleX=1.04, scaleY=1.02),
                      head=d(rotation=-4, dy=-1), wingLeft=d(rotation=28, scaleY=0.8), eyes='eyes-closed',
                      brows='brows-raised', mouth='mouth-wide')
POSES['process'] = P(gearBig=d(opacity=1), gearSmall=d(opacity=1), eyes='eyes-up-right', brows='brows-focus',
                     head=d(rotation=-3))
POSES['think'] = merge(P(eyes='eyes-up-right', brows='brows-puzzled', head=d(rotation=6, dx=1)), POSES['wingToChin'])
POSES['listen'] = merge(POSES['wingToEar'], P(eyes='eyes-right', brows='brows-focus', waves=d(opacity=1)))


RIG = Rig(PARTS, POSES)
world = RIG.world
held = RIG.held


# -- animations ------------------------------------------------------------------------
ANIMS = {}
A = ANIMS
A['RestPose'] = {'frames': [F('rest', 100)]}

# ---- the states' animations ----
A['Show'] = {'frames': [
    F(parts=P(root=d(scale=0.2, opacity=0, dy=-10)), ms=40),
    T(parts=P(root=d(scaleX=0.92, scaleY=1.08, opacity=1, dy=-7), wingLeft=d(rotation=70), wingRight=d(rotation=-70), feet='feet-tucked'), ms=160),
    T(parts=P(root=d(scaleX=1.12, scaleY=0.88), wingLeft=d(rotation=30), wingRight=d(rotation=-30)), ms=110),
    T(parts=P(root=d(scaleX=0.97, scaleY=1.04), eyes='eyes-happy', sparkle=d(opacity=1)), ms=110),
    T('happy', 150, parts=P(sparkle=d(opacity=1), mouth='mouth-closed'), ),
    F('happy', 200, parts=P(sparkle=d(opacity=0.8), mouth='mouth-closed'), **{}),
    T('rest', 160),
]}
A['Hide'] = {'frames': [
    T('crouch', 150, parts=P(eyes='eyes-happy')),
    T(['stretch', 'wingsUpWide'], 90, parts=P(root=d(dy=0), feet='feet-tucked', eyes='eyes-happy')),
    T('flapDown', 90, parts=P(root=d(dy=-22, scale=0.85, opacity=0.9), feet='feet-tucked')),
    T('flapUp', 90, parts=P(root=d(dy=-40, scale=0.65, opacity=0.6), feet='feet-tucked')),
    T('flapDown', 90, parts=P(root=d(dy=-60, scale=0.45, opacity=0.3), feet='feet-tucked')),
    T('flapUp', 90, parts=P(root=d(dy=-80, scale=0.3, opacity=0), feet='feet-tucked')),
]}

speak_frames = [
    T(parts=P(head=d(rotation=2), brows='brows-raised'), ms=160),
    T(parts=P(head=d(rotation=-1.5, dy=0.5), wingRight=d(rotation=-22)), ms=180),
    T(parts=P(head=d(rotation=1, dy=-0.5), wingRight=d(rotation=-12), brows='brows-raised'), ms=180),
    T(parts=P(head=d(rotation=-2), wingLeft=d(rotation=16)), ms=180),
    F(parts=P(head=d(rotation=-2), wingLeft=d(rotation=16), eyes='eyes-closed'), ms=80),
    T(parts=P(head=d(rotation=0.5)), ms=170, branches=[{'to': 0, 'probability': 100}]),
    T('rest', 120),
]
A['Speak'] = {'frames': speak_frames, 'exit': 6}

A['Think'] = {'frames': [
    T(parts=P(wingRight=d(rotation=60, scaleY=0.8), eyes='eyes-up'), ms=140),
    T('think', 160),
    F('think', 380),
    T('think', 220, parts=P(eyes='eyes-up', head=d(rotation=9, dx=1))),
    F('think', 300, parts=P(eyes='eyes-up', head=d(rotation=9, dx=1), wingRight=d(rotation=128, scaleY=0.68))),
    F('think', 120, parts=P(eyes='eyes-closed'), branches=[{'to': 1, 'probability': 100}]),
    T(parts=P(wingRight=d(rotation=50, scaleY=0.85)), ms=140),
    T('rest', 140),
], 'exit': 6}

def flaps(direction):
    """A flying loop leaning towards a direction."""
    lean = {'left': P(root=d(rotation=-10, dx=-2), eyes='eyes-left', head=d(rotation=-4)),
            'right': P(root=d(rotation=10, dx=2), eyes='eyes-right', head=d(rotation=4)),
            'up': P(root=d(scaleY=1.05, scaleX=0.96), eyes='eyes-up', head=d(dy=-2)),
            'down': P(root=d(scaleY=0.98), eyes='eyes-down', head=d(dy=2))}[direction]
    tilt_tail = {'left': 18, 'right': -30, 'up': -20, 'down': -4}[direction]
    base = merge(POSES['fly'], lean, P(tail=d(rotation=tilt_tail)))
    if direction == 'down':
        # floating down: wings held high like a parachute, feet reaching for the ground
        return [
            T('crouch', 110),
            T(parts=merge(base, POSES['flapUp'], P(feet='feet-stand', root=d(dy=-7))), ms=150),
            T(parts=merge(base, P(wingLeft=d(rotation=124), wingRight=d(rotation=-124), feet='feet-stand', root=d(dy=-5))), ms=200),
            T(parts=merge(base, P(wingLeft=d(rotation=112), wingRight=d(rotation=-112), feet='feet-stand', root=d(dy=-6))), ms=200,
              branches=[{'to': 2, 'probability': 100}]),
            T(parts=P(root=d(scaleY=0.92, scaleX=1.05), wingLeft=d(rotation=40), wingRight=d(rotation=-40)), ms=120),
            T('rest', 130),
        ]
    return [
        T('crouch', 110),
        T(parts=merge(base, POSES['flapUp']), ms=110),
        T(parts=merge(base, POSES['flapDown'], P(root=d(dy=base['root'].get('dy', -5) + 1.5))), ms=120),
        T(parts=merge(base, POSES['flapUp']), ms=120),
        T(parts=merge(base, POSES['flapMid'], P(root=d(dy=base['root'].get('dy', -5) - 1))), ms=70,
          branches=[{'to': 2, 'probability': 100}]),
        T(parts=merge(P(feet='feet-stand'), POSES['wingsOut'], P(root=d(scaleY=0.93, scaleX=1.05))), ms=120),
        T('rest', 130),
    ]
for name, dirn in (('MoveLeft', 'left'), ('MoveRight', 'right'), ('MoveUp', 'up'), ('MoveDown', 'down')):
    fr = flaps(dirn)
    A[name] = {'frames': fr, 'exit': len(fr) - 2}

def gesture(pose, extra=None):
    extra = extra or {}
    return [
        T(parts=merge(POSES[pose], {k: {'rotation': v['rotation'] * 0.25} for k, v in POSES[pose].items() if k.startswith('wing')},
                      P(eyes=POSES[pose]['eyes']['element'])), ms=110),
        T(pose, 140, parts=extra),
        T(pose, 90, parts=merge(extra, {k: {'rotation': v['rotation'] * 1.04} for k, v in POSES[pose].items() if k.startswith('wing')})),
        T(pose, 90, parts=extra),
        F(pose, 600, parts=extra),
        T(pose, 80, parts=merge(extra, P(eyes='eyes-closed'))),
        T('rest', 180),
    ]
A['GestureRight'] = {'frames': gesture('pointRight', P(mouth='mouth-slight')), 'exit': 5}
A['GestureLeft'] = {'frames': gesture('pointLeft', P(mouth='mouth-slight')), 'exit': 5}
A['GestureUp'] = {'frames': gesture('pointUp', P(mouth='mouth-slight')), 'exit': 5}
A['GestureDown'] = {'frames': gesture('pointDown'), 'exit': 5}

A['StartListening'] = {'frames': [
    T(parts=P(head=d(dy=-2), eyes='eyes-wide', brows='brows-raised'), ms=100),
    T(parts=merge(POSES['wingToEar'], P(wingLeft=d(rotation=100), eyes='eyes-right')), ms=120),
    T('listen', 130, parts=P(waves='waves-1', wingLeft=d(rotation=150))),
    T('listen', 110, parts=P(waves='waves-2')),
    F('listen', 300, parts=P(waves='waves-2')),
], 'return': 'ListenReturn'}
# the wing comes down from the ear when the listening ends
A['ListenReturn'] = {'frames': [
    F('listen', 60),
    T(parts=P(wingLeft=d(rotation=60)), ms=140),
    T('rest', 140),
]}
A['Listen'] = {'frames': [
    T('listen', 150),
    F('listen', 400, parts=P(waves='waves-2')),
    F('listen', 350),
    F('listen', 90, parts=P(eyes='eyes-closed')),
    F('listen', 400, parts=P(waves='waves-2', head=d(rotation=-9, dx=-1.5)), branches=[{'to': 1, 'probability': 100}]),
    T(parts=P(wingLeft=d(rotation=60)), ms=140),
    T('rest', 140),
], 'exit': 5}
A['Hearing'] = {'frames': [
    T('listen', 120, parts=P(eyes='eyes-focus', waves='waves-2')),
    T('listen', 150, parts=P(eyes='eyes-right', head=d(rotation=-8, dy=2.5), waves='waves-1')),
    T('listen', 150, parts=P(eyes='eyes-focus', head=d(rotation=-8, dy=-0.5), waves='waves-2')),
    T('listen', 150, parts=P(eyes='eyes-right', head=d(rotation=-8, dy=2.5), waves='waves-1')),
    T('listen', 150, parts=P(eyes='eyes-happy', mouth='mouth-slight', head=d(rotation=-8, dy=0), waves='waves-2'),
      branches=[{'to': 1, 'probability': 100}]),
    T(parts=P(wingLeft=d(rotation=60)), ms=140),
    T('rest', 140),
], 'exit': 5}

A['Idle'] = {'frames': [
    F('rest', 300),
    F('halfBlink', 40), F('blink', 70), F('halfBlink', 40),
    T('lookLeft', 200),
    F('lookLeft', 500),
    T(parts=P(head=d(rotation=1.5), eyes='eyes-open'), ms=180),
    T('rest', 120),
    F('rest', 200),
]}

# ---- the named animations ----
A['Alert'] = {'frames': [
    T('crouch', 90, parts=P(eyes='eyes-half'), sound='alert'),
    T('alert', 90, parts=P(exclaim=d(scale=1.2, opacity=1), root=d(scaleY=1.06, scaleX=0.95))),
    T('alert', 90, parts=P(exclaim=d(scale=0.9))),
    T('alert', 80),
    T('alert', 140, parts=P(head=d(dy=-3, rotation=-7, dx=-2), eyes='eyes-left')),
    F('alert', 260, parts=P(head=d(dy=-3, rotation=-7, dx=-2), eyes='eyes-left')),
    T('alert', 140, parts=P(head=d(dy=-3, rotation=7, dx=2), eyes='eyes-right')),
    F('alert', 260, parts=P(head=d(dy=-3, rotation=7, dx=2), eyes='eyes-right')),
    T('alert', 140),
    F('alert', 300),
    T('rest', 180),
], 'exit': 10}

A['Announce'] = {'frames': [
    T(parts=P(megaphone=d(opacity=1), wingRight=d(rotation=-70), eyes='eyes-happy', body=d(scaleY=0.97)), ms=150),
    T('announce', 150, parts=P(mouth='mouth-closed', eyes='eyes-open', body=d(scaleX=1.08, scaleY=1.04), head=d(rotation=-2, dy=-3))),
    T('announce', 110, parts=P(mouth='mouth-open')),
    F('announce', 240),
    F('announce', 120, parts=P(mouth='mouth-open')),
    F('announce', 240, parts=P(head=d(rotation=-6, dy=-2))),
    F('announce', 120, parts=P(mouth='mouth-slight')),
    F('announce', 240),
    T(parts=P(megaphone=d(opacity=1), wingRight=d(rotation=-60), eyes='eyes-happy', mouth='mouth-slight'), ms=160),
    T('rest', 160),
], 'exit': 8}

A['Decline'] = {'frames': [
    T('decline', 140, parts=P(head=d(rotation=0))),
    T('decline', 110, parts=P(head=d(rotation=-10, dx=-2.5), wingRight=d(rotation=-100, scaleY=0.62))),
    T('decline', 120, parts=P(head=d(rotation=10, dx=2.5), wingRight=d(rotation=-120, scaleY=0.62))),
    T('decline', 120, parts=P(head=d(rotation=-10, dx=-2.5), wingRight=d(rotation=-100, scaleY=0.62))),
    T('decline', 120, parts=P(head=d(rotation=8, dx=2), wingRight=d(rotation=-118, scaleY=0.62))),
    T('decline', 110, parts=P(head=d(rotation=0), eyes='eyes-cross')),
    F('decline', 420, parts=P(eyes='eyes-cross')),
    T('rest', 170),
], 'exit': 7}

A['DontRecognize'] = {'frames': [
    T(parts=P(body=d(scaleY=0.97), wingLeft=d(rotation=20), wingRight=d(rotation=-20), eyes='eyes-half'), ms=120),
    T('shrug', 180, parts=P(question=d(opacity=1, scale=1.15), root=d(dy=-2))),
    T('shrug', 120, parts=P(question=d(scale=0.95))),
    F('shrug', 350),
    T('shrug', 200, parts=P(head=d(rotation=-7, dx=-1), eyes='eyes-up-right')),
    F('shrug', 350, parts=P(head=d(rotation=-7, dx=-1), eyes='eyes-up-right')),
    T(parts=P(wingLeft=d(rotation=20), wingRight=d(rotation=-20), question=d(opacity=0.4), brows='brows-puzzled'), ms=160),
    T('rest', 160),
], 'exit': 6}

A['GetAttention'] = {'frames': [
    T('crouch', 110, parts=P(wingLeft=d(rotation=30), wingRight=d(rotation=-30))),
    T('wingsUp', 120, parts=P(root=d(dy=-8, scaleY=1.04), feet='feet-tucked', eyes='eyes-wide', mouth='mouth-open', brows='brows-raised')),
    T('wingsUp', 110, parts=P(wingLeft=d(rotation=112), wingRight=d(rotation=-146), root=d(dy=-2), eyes='eyes-wide', mouth='mouth-wide', brows='brows-raised')),
    T('wingsUp', 110, parts=P(wingLeft=d(rotation=146), wingRight=d(rotation=-112), root=d(dy=-8, scaleY=1.04), feet='feet-tucked', eyes='eyes-wide', mouth='mouth-open', brows='brows-raised')),
    T('wingsUp', 110, parts=P(wingLeft=d(rotation=112), wingRight=d(rotation=-146), root=d(dy=0, scaleY=0.95, scaleX=1.04), eyes='eyes-wide', mouth='mouth-wide', brows='brows-raised'),
      branches=[{'to': 3, 'probability': 65}]),
    F('wingsUp', 260, parts=P(eyes='eyes-open', mouth='mouth-slight', brows='brows-raised')),
], 'exit': 5, 'return': 'GetAttentionReturn'}
A['GetAttentionReturn'] = {'frames': [
    F('wingsUp', 60, parts=P(eyes='eyes-open', mouth='mouth-slight', brows='brows-raised')),
    T(parts=P(wingLeft=d(rotation=70), wingRight=d(rotation=-70), eyes='eyes-happy'), ms=160),
    T(parts=P(wingLeft=d(rotation=-6), wingRight=d(rotation=6), root=d(scaleY=0.97)), ms=150),
    T('rest', 140),
]}

A['Greet'] = {'frames': [
    T(parts=P(root=d(scaleY=1.03), eyes='eyes-happy', wingRight=d(rotation=20)), ms=140, sound='chirp'),
    T('bow', 240),
    F('bow', 360),
    T(parts=P(root=d(scaleY=1.04, dy=-2), eyes='eyes-happy', brows='brows-raised', mouth='mouth-open', wingLeft=d(rotation=40), wingRight=d(rotation=-40)), ms=180),
    F('happy', 380, parts=P(mouth='mouth-open', sparkle=d(opacity=1), wingLeft=d(rotation=36), wingRight=d(rotation=-36))),
    T('happy', 160, parts=P(sparkle=d(opacity=1, element='sparkle-2'))),
    T('rest', 170),
], 'exit': 6}

A['LookDown'] = {'frames': [
    T(parts=P(head=d(dy=-1.5), eyes='eyes-up'), ms=100),
    T('lookDown', 150, parts=P(head=d(dy=5, scaleY=0.94))),
    T('lookDown', 120),
    F('lookDown', 600),
    F('lookDown', 70, parts=P(eyes='eyes-closed')),
    F('lookDown', 300),
    T('rest', 170),
], 'exit': 6}
A['LookRight'] = {'frames': [
    T(parts=P(head=d(rotation=-2.5, dx=-1), eyes='eyes-left'), ms=100),
    T('lookRight', 150, parts=P(head=d(rotation=7, dx=3))),
    T('lookRight', 120),
    F('lookRight', 600),
    F('lookRight', 70, parts=P(eyes='eyes-closed')),
    F('lookRight', 300),
    T('rest', 170),
], 'exit': 6}

A['Pleased'] = {'frames': [
    T('crouch', 110, parts=P(eyes='eyes-happy')),
    T(['happy', 'clasp'], 130, parts=P(root=d(dy=-5, scaleY=1.03), feet='feet-tucked', sparkle=d(opacity=1))),
    T(['happy', 'clasp'], 120, parts=P(root=d(scaleY=0.95, scaleX=1.04), sparkle=d(opacity=1))),
    T(['happy', 'clasp'], 140, parts=P(body=d(rotation=-4), sparkle=d(opacity=1, element='sparkle-2'))),
    T(['happy', 'clasp'], 140, parts=P(body=d(rotation=4), sparkle=d(opacity=1))),
    T(['happy', 'clasp'], 140, parts=P(body=d(rotation=-3), sparkle=d(opacity=1, element='sparkle-2'))),
    T(['happy', 'clasp'], 130, parts=P(body=d(rotation=0), sparkle=d(opacity=0.6))),
    T('rest', 170),
], 'exit': 7}

A['Process'] = {'frames': [
    T('process', 150, parts=P(gearBig=d(opacity=1, scale=0.5), gearSmall=d(opacity=1, scale=0.5))),
] + [
    T('process', 130, parts=P(gearBig=d(rotation=(i + 1) * 12), gearSmall=d(rotation=-(i + 1) * 20 + 30),
                                head=d(rotation=-3 + (1.5 if i % 2 else 0)),
                                eyes='eyes-up-right' if i % 3 != 2 else 'eyes-up',
                                mouth='mouth-slight' if i in (2, 4) else 'mouth-closed'))
    for i in range(6)
] + [
    F('process', 10, parts=P(gearBig=d(rotation=0), gearSmall=d(rotation=30)), branches=[{'to': 1, 'probability': 80}]),
    T(parts=P(gearBig=d(opacity=0, scale=0.5), gearSmall=d(opacity=0, scale=0.5), eyes='eyes-happy'), ms=160),
    T('rest', 140),
], 'exit': 8}

A['Read'] = {'frames': [
    T(parts=P(book=d(opacity=0.3, dy=8, scale=0.6), wingLeft=d(rotation=-10), wingRight=d(rotation=10)), ms=140),
    T('read', 150, parts=P(eyes='eyes-down-left')),
    F('read', 380, parts=P(eyes='eyes-down-left')),
    T('read', 300, parts=P(eyes='eyes-down-right', head=d(dy=2.5, rotation=2))),
    F('read', 200, parts=P(eyes='eyes-down-right', head=d(dy=2.5, rotation=2))),
    F('read', 140, parts=P(book='book-turn', wingRight=d(rotation=10, scaleY=0.95), eyes='eyes-down')),
    F('read', 120, parts=P(eyes='eyes-down-left'), branches=[{'to': 2, 'probability': 60}]),
    F('read', 400, parts=P(eyes='eyes-down')),
], 'exit': 7, 'return': 'ReadReturn'}
A['ReadReturn'] = {'frames': [
    F('read', 60),
    T('read', 120, parts=P(eyes='eyes-open', head=d(dy=0))),
    T(parts=P(book=d(opacity=0, dy=8, scale=0.6), wingLeft=d(rotation=-10), wingRight=d(rotation=10), eyes='eyes-happy'), ms=160),
    T('rest', 140),
]}

A['Write'] = {'frames': [
    T(parts=P(notepad=d(opacity=1, scale=0.7), pencil=d(opacity=1), wingLeft=d(rotation=-12), wingRight=d(rotation=12)), ms=150),
    T('write', 150),
] + [
    T('write', 110, parts=P(notepad='notepad-%d' % (1 + i // 3) if i >= 1 else 'notepad',
                              wingRight=d(rotation=32 + (3.5 if i % 2 else -2), dy=(-1 if i % 2 else 1)),
                              head=d(dy=2.5, rotation=-3 + (1 if i % 2 else 0))))
    for i in range(8)
] + [
    F('write', 300, parts=P(notepad='notepad-3', eyes='eyes-down', head=d(dy=1, rotation=0))),
    # a full page: turn it over and maybe write another
    T('write', 100, parts=P(notepad=d(element='notepad-3', scaleY=0.9, dy=-1.5), wingRight=d(rotation=20), eyes='eyes-down')),
    F('write', 120, parts=P(notepad='notepad', wingRight=d(rotation=24), eyes='eyes-down-left'),
      branches=[{'to': 2, 'probability': 50}]),
    T('write', 200, parts=P(eyes='eyes-down', head=d(dy=1, rotation=0))),
], 'exit': 11, 'return': 'WriteReturn'}
A['WriteReturn'] = {'frames': [
    F('write', 60, parts=P(eyes='eyes-down', head=d(dy=1, rotation=0))),
    T('write', 130, parts=P(eyes='eyes-happy', mouth='mouth-closed', head=d(dy=0, rotation=0))),
    T(parts=P(notepad=d(opacity=0, scale=0.7), pencil=d(opacity=0), wingLeft=d(rotation=-12), wingRight=d(rotation=12), eyes='eyes-happy'), ms=160),
    T('rest', 140),
]}

A['Sad'] = {'frames': [
    T(parts=P(eyes='eyes-half', brows='brows-sad', head=d(dy=-1)), ms=160),
    T('sad', 300),
    F('sad', 200),
    T('sad', 160, parts=P(tear=d(opacity=1))),
    T('sad', 400, parts=P(tear=d(opacity=1, dy=4))),
    T('sad', 200, parts=P(tear=d(opacity=0, dy=8), eyes='eyes-closed')),
    F('sad', 300),
    T('rest', 220),
], 'exit': 7}

A['Search'] = {'frames': [
    T(parts=P(magnifier=d(opacity=0), wingRight=d(rotation=-90), eyes='eyes-right'), ms=140),
    T('search', 160),
    T('search', 240, parts=P(root=d(rotation=-7, dx=-4))),
    F('search', 200, parts=P(root=d(rotation=-7, dx=-4), eyes='eyes-big')),
    T('search', 280, parts=P(root=d(rotation=6, dx=4))),
    F('search', 200, parts=P(root=d(rotation=6, dx=4))),
    T('search', 200, parts=P(root=d(rotation=0, dy=0))),
    F('search', 120, parts=P(eyes='eyes-wide')),
    T(parts=P(magnifier=d(opacity=0), wingRight=d(rotation=-80), eyes='eyes-happy'), ms=150),
    T('rest', 150),
], 'exit': 8}

A['Surprised'] = {'frames': [
    T(parts=P(eyes='eyes-half', root=d(scaleY=0.96)), ms=70),
    T('surprised', 80, parts=P(root=d(dy=-6, scaleY=1.07, scaleX=0.94))),
    T('surprised', 110),
    T('surprised', 120, parts=P(root=d(dy=0, scaleY=0.94, scaleX=1.05), feet='feet-stand')),
    F('surprised', 420, parts=P(root=d(dy=0, scaleY=1), feet='feet-stand')),
    F('surprised', 60, parts=P(root=d(dy=0, scaleY=1), feet='feet-stand', eyes='eyes-closed')),
    T(parts=P(eyes='eyes-wide', brows='brows-raised', mouth='mouth-slight', wingLeft=d(rotation=20), wingRight=d(rotation=-20)), ms=180),
    T('rest', 180),
], 'exit': 6}

A['Wave'] = {'frames': [
    T(parts=P(wingRight=d(rotation=-40), eyes='eyes-happy', root=d(scaleY=0.97)), ms=120),
    T(['happy', 'waveOut'], 140, parts=P(mouth='mouth-open')),
    T(['happy', 'waveIn'], 130, parts=P(mouth='mouth-open')),
    T(['happy', 'waveOut'], 130, parts=P(mouth='mouth-open')),
    T(['happy', 'waveIn'], 130, parts=P(mouth='mouth-open')),
    T(['happy', 'waveOut'], 130, parts=P(mouth='mouth-slight')),
    T(['happy', 'wingRightUp'], 140, parts=P(mouth='mouth-slight')),
    T(parts=P(wingRight=d(rotation=-30), eyes='eyes-open'), ms=150),
    T('rest', 130),
], 'exit': 7}

# ---- idle: three levels, each calmer than the last; every one plays once and ends ----
A['IdlePreen'] = {'frames': [
    F('rest', 300),
    T(parts=P(head=d(rotation=3), eyes='eyes-down-left'), ms=120),
    T(parts=P(head=d(rotation=-14, dx=-4, dy=3), eyes='eyes-half', wingLeft=d(rotation=22)), ms=240),
    T(parts=P(head=d(rotation=-16, dx=-5, dy=4), eyes='eyes-closed', wingLeft=d(rotation=26), mouth='mouth-slight'), ms=140),
    T(parts=P(head=d(rotation=-13, dx=-4, dy=3), eyes='eyes-closed', wingLeft=d(rotation=20)), ms=140),
    T(parts=P(head=d(rotation=-16, dx=-5, dy=4), eyes='eyes-closed', wingLeft=d(rotation=26), mouth='mouth-slight'), ms=140),
    T(parts=P(head=d(rotation=-6, dx=-1), eyes='eyes-open', wingLeft=d(rotation=6)), ms=200),
    # a shake to settle the feathers
    T(parts=P(body=d(scaleX=1.05, scaleY=0.97), head=d(rotation=4), tail=d(rotation=8)), ms=80),
    T(parts=P(body=d(scaleX=0.97, scaleY=1.02), head=d(rotation=-4), tail=d(rotation=-8)), ms=80),
    T(parts=P(body=d(scaleX=1.03, scaleY=0.98), head=d(rotation=2), tail=d(rotation=5)), ms=80),
    T(parts=P(eyes='eyes-happy'), ms=140),
    T('rest', 160),
    F('rest', 200),
]}
A['IdleHop'] = {'frames': [
    F('rest', 300),
    T('crouch', 140, parts=P(eyes='eyes-happy')),
    T(parts=P(root=d(dy=-9, scaleY=1.05, scaleX=0.96), feet='feet-tucked', wingLeft=d(rotation=40), wingRight=d(rotation=-40),
              tail=d(rotation=-10)), ms=140),
    T(parts=P(root=d(dy=-10), feet='feet-tucked', wingLeft=d(rotation=30), wingRight=d(rotation=-30), eyes='eyes-right'), ms=90),
    T(parts=P(root=d(dy=0, scaleY=0.92, scaleX=1.06), wingLeft=d(rotation=14), wingRight=d(rotation=-14), eyes='eyes-right'), ms=110),
    T(parts=P(root=d(scaleY=1.02, scaleX=0.99), head=d(rotation=4, dx=1), eyes='eyes-right'), ms=120),
    F(parts=P(head=d(rotation=4, dx=1), eyes='eyes-right'), ms=500),
    F(parts=P(head=d(rotation=4, dx=1), eyes='eyes-closed'), ms=70),
    T('rest', 180),
    F('rest', 200),
]}

A['IdleStretch'] = {'frames': [
    F('rest', 300),
    T('crouch', 260, parts=P(eyes='eyes-half')),
    T(['stretch', 'wingsUpWide'], 380, parts=P(eyes='eyes-closed', mouth='mouth-open', head=d(dy=-2, rotation=-2), tail=d(rotation=-12),
                                                 root=d(scaleY=1.07, scaleX=0.95))),
    F(['stretch', 'wingsUpWide'], 500, parts=P(eyes='eyes-closed', mouth='mouth-open', head=d(dy=-2, rotation=-2), tail=d(rotation=-14),
                                                 wingLeft=d(rotation=126), wingRight=d(rotation=-126), root=d(scaleY=1.07, scaleX=0.95))),
    T(parts=P(wingLeft=d(rotation=60), wingRight=d(rotation=-60), eyes='eyes-closed', mouth='mouth-slight'), ms=260),
    T(parts=P(wingLeft=d(rotation=-6), wingRight=d(rotation=6), root=d(scaleY=0.95, scaleX=1.04), eyes='eyes-closed'), ms=220),
    T(parts=P(wingLeft=d(rotation=3), wingRight=d(rotation=-3), root=d(scaleY=1.01), eyes='eyes-happy'), ms=180),
    T('rest', 200),
    F('rest', 300),
]}
A['IdleYawn'] = {'frames': [
    F('rest', 300),
    T(parts=P(eyes='eyes-half', mouth='mouth-slight', head=d(dy=0.5)), ms=260),
    T(parts=P(eyes='eyes-closed', brows='brows-sad', mouth='mouth-open', head=d(dy=-1.5, rotation=-4), root=d(scaleY=1.03),
              wingLeft=d(rotation=22), wingRight=d(rotation=-22)), ms=360),
    T(parts=P(eyes='eyes-closed', brows='brows-sad', mouth='mouth-wide', head=d(dy=-2, rotation=-5), root=d(scaleY=1.04),
              wingLeft=d(rotation=30), wingRight=d(rotation=-30)), ms=300),
    F(parts=P(eyes='eyes-closed', brows='brows-sad', mouth='mouth-wide', head=d(dy=-2, rotation=-5), root=d(scaleY=1.04),
              wingLeft=d(rotation=30), wingRight=d(rotation=-30)), ms=600),
    T(parts=P(eyes='eyes-closed', mouth='mouth-slight', head=d(dy=1, rotation=2), root=d(scaleY=0.98)), ms=300),
    T(parts=P(eyes='eyes-half', mouth='mouth-closed', head=d(rotation=-2)), ms=200),
    T(parts=P(eyes='eyes-half', head=d(rotation=2)), ms=180),
    F('blink', 80),
    T('rest', 200),
    F('rest', 300),
]}

POSES['doze'] = P(eyes='eyes-closed', head=d(dy=4.5, rotation=6, scaleY=0.97), body=d(scaleX=1.03, scaleY=0.98),
                  wingLeft=d(rotation=-4), wingRight=d(rotation=4), tail=d(rotation=6))
A['IdleDoze'] = {'frames': [
    F('rest', 400),
    T('halfBlink', 500, parts=P(head=d(dy=1))),
    F('halfBlink', 600, parts=P(head=d(dy=1))),
    T(parts=P(eyes='eyes-half', head=d(dy=2.5, rotation=3)), ms=700),
    F(parts=P(eyes='eyes-closed', head=d(dy=2.5, rotation=3)), ms=400),
    T('doze', 900),
    T('doze', 1300, parts=P(body=d(scaleX=1.045, scaleY=1.0), zz=d(opacity=1, dy=-1))),
    T('doze', 1300, parts=P(body=d(scaleX=1.02, scaleY=0.97), zz=d(opacity=1, dy=-3))),
    T('doze', 1300, parts=P(body=d(scaleX=1.045, scaleY=1.0), zz=d(opacity=0.9, element='zz-2', dy=-4))),
    T('doze', 1300, parts=P(body=d(scaleX=1.02, scaleY=0.97), zz=d(opacity=0.6, element='zz-2', dy=-6))),
    # nods off a little too far, and catches itself
    T('doze', 260, parts=P(head=d(dy=8, rotation=10, scaleY=0.95), zz=d(opacity=0, dy=-8))),
    T(parts=P(eyes='eyes-wide', brows='brows-raised', head=d(dy=-2.5, rotation=-2), root=d(scaleY=1.04), wingLeft=d(rotation=24),
              wingRight=d(rotation=-24)), ms=110),
    T(parts=P(eyes='eyes-open', brows='brows-raised', head=d(dy=0.5, rotation=1), root=d(scaleY=0.98), wingLeft=d(rotation=-4),
              wingRight=d(rotation=4)), ms=140),
    F(parts=P(eyes='eyes-closed', brows='brows-raised'), ms=70),
    T('rest', 220),
    F('rest', 400),
]}
POSES['sleep'] = merge(POSES['doze'], P(head=d(dy=7, rotation=-12, dx=-3, scaleY=0.94), body=d(scaleX=1.06, scaleY=0.97),
                                        feet='feet-tucked', root=d(dy=2), wingLeft=d(rotation=-8), wingRight=d(rotation=8)))
A['IdleSleep'] = {'frames': [
    F('rest', 400),
    T('halfBlink', 700, parts=P(head=d(dy=1))),
    T(parts=P(eyes='eyes-half', head=d(dy=3, rotation=4), body=d(scaleX=1.02)), ms=900),
    T('sleep', 1100),
    T('sleep', 1500, parts=P(body=d(scaleX=1.08, scaleY=0.99), zz=d(opacity=1, dy=-1))),
    T('sleep', 1500, parts=P(body=d(scaleX=1.05, scaleY=0.96), zz=d(opacity=1, dy=-3))),
    T('sleep', 1500, parts=P(body=d(scaleX=1.08, scaleY=0.99), zz=d(opacity=1, element='zz-2', dy=-4))),
    T('sleep', 1500, parts=P(body=d(scaleX=1.05, scaleY=0.96), zz=d(opacity=0.8, element='zz-2', dy=-6))),
    T('sleep', 1500, parts=P(body=d(scaleX=1.08, scaleY=0.99), zz=d(opacity=0.4, dy=-8))),
    T('sleep', 600, parts=P(zz=d(opacity=0, dy=-10))),
    # wakes slowly, fluffed up, and smooths down
    T(parts=P(eyes='eyes-half', head=d(dy=3, rotation=4), body=d(scaleX=1.04)), ms=600),
    T(parts=P(eyes='eyes-half', head=d(dy=1, rotation=0), body=d(scaleX=1.0)), ms=400),
    F('blink', 80), F('halfBlink', 60),
    T(parts=P(body=d(scaleX=1.04, scaleY=0.97), tail=d(rotation=6)), ms=90),
    T(parts=P(body=d(scaleX=0.98, scaleY=1.01), tail=d(rotation=-5)), ms=90),
    T('rest', 300),
    F('rest', 400),
]}

# stopped part way, an idle animation still settles back to rest
for name in [n for n in A if n.startswith('Idle') and n != 'Idle']:
    A[name]['exit'] = len(A[name]['frames']) - 2

STATES = {
    'showing': 'Show', 'hiding': 'Hide', 'speaking': 'Speak', 'thinking': 'Think',
    'moving-left': 'MoveLeft', 'moving-right': 'MoveRight', 'moving-up': 'MoveUp', 'moving-down': 'MoveDown',
    'gesturing-left': 'GestureLeft', 'gesturing-right': 'GestureRight', 'gesturing-up': 'GestureUp',
    'gesturing-down': 'GestureDown', 'listening': 'Listen', 'hearing': 'Hearing',
    # idle levels, from lively to dozing; one of each list is picked at random
    'idle-1': ['Idle', 'IdlePreen', 'IdleHop'],
    'idle-2': ['IdleStretch', 'IdleYawn'],
    'idle-3': ['IdleDoze', 'IdleSleep'],
}
