import json, sys, os
sys.path.insert(0, os.path.dirname(__file__))
import art
from art import EL

OUTDIR = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', '..', 'data', 'characters', 'kess')
from anims import PARTS, POSES, ANIMS, STATES, META, extra_elements

extra_elements(EL)

def write_svg():
    order = []
    for pid, el, pivot, parent in PARTS:
        order.append(el)
    # variants next to their part, in drawing order
    ids = []
    for el in order:
        prefix = el.split('-')[0]
        for k in EL:
            if (k == el or k.split('-')[0] == prefix) and k not in ids:
                ids.append(k)
    for k in EL:
        if k not in ids:
            ids.append(k)
    s = ['<?xml version="1.0" encoding="UTF-8"?>',
         '<!-- Kess the kestrel. Every top-level group is one part or one variant of a part;',
         '     variants of a part sit in the same place, so opened whole they overlap. -->',
         '<svg xmlns="http://www.w3.org/2000/svg" version="1.2" baseProfile="tiny" width="128" height="128" viewBox="0 0 128 128">',
         '<defs>' + art.defs + '</defs>']
    for k in ids:
        s.append('<g id="%s">%s</g>' % (k, EL[k]))
    s.append('</svg>')
    open(os.path.join(OUTDIR, 'art.svg'), 'w').write('\n'.join(s) + '\n')

def fmt_num(v):
    if isinstance(v, float):
        v = round(v, 2)
        if v == int(v): return str(int(v))
    return json.dumps(v)

def compact(o):
    if isinstance(o, dict):
        return '{' + ', '.join('%s: %s' % (json.dumps(k), compact(v)) for k, v in o.items()) + '}'
    if isinstance(o, list):
        return '[' + ', '.join(compact(v) for v in o) + ']'
    if isinstance(o, float): return fmt_num(o)
    return json.dumps(o)

def write_json():
    L = ['{']
    for k, v in META.items():
        L.append('  %s: %s,' % (json.dumps(k), compact(v)))
    L.append('  "parts": [')
    rows = []
    for pid, el, pivot, parent in PARTS:
        d = {'id': pid}
        if el != pid: d['element'] = el
        d['pivot'] = list(pivot)
        if parent: d['parent'] = parent
        rows.append('    ' + compact(d))
    L.append(',\n'.join(rows))
    L.append('  ],')
    L.append('  "poses": {')
    rows = []
    for name, pose in POSES.items():
        inner = ',\n'.join('      %s: %s' % (json.dumps(p), compact(v)) for p, v in pose.items())
        rows.append('    %s: {\n%s\n    }' % (json.dumps(name), inner) if pose else '    %s: {}' % json.dumps(name))
    L.append(',\n'.join(rows))
    L.append('  },')
    L.append('  "animations": {')
    rows = []
    for name, a in ANIMS.items():
        head = {k: v for k, v in a.items() if k != 'frames'}
        fr = ',\n'.join('        ' + compact(f) for f in a['frames'])
        extra = ''.join(', %s: %s' % (json.dumps(k), compact(v)) for k, v in head.items())
        rows.append('    %s: {"frames": [\n%s\n      ]%s}' % (json.dumps(name), fr, extra))
    L.append(',\n'.join(rows))
    L.append('  },')
    L.append('  "states": ' + json.dumps(STATES, indent=4).replace('\n', '\n  ') + ',')
    L.append('  "mouthShapes": ["mouth-closed", "mouth-slight", "mouth-open", "mouth-wide"]')
    L.append('}')
    text = '\n'.join(L) + '\n'
    json.loads(text)
    open(os.path.join(OUTDIR, 'character.json'), 'w').write(text)

os.makedirs(OUTDIR, exist_ok=True)
write_svg()
write_json()
print('wrote', OUTDIR)
