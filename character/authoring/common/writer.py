# Writes a character folder: art.svg from the element table, character.json
# from the parts, poses, animations and states, laid out to be read by people.
import json, os


def with_margin(meta, parts, margin):
    """The character drawn at 128 x 128 in a frame widened by margin (left,
    top, right, bottom) on each side, for the marks, props and stretches
    that reach past its drawing: the frame's size and every point in frame
    pixels (the pivots, the balloon's anchor) move with it. The art keeps its
    coordinates; its view box is widened the same way (see write_svg)."""
    l, t, r, b = margin
    meta = dict(meta)
    w, h = meta['size']
    meta['size'] = [w + l + r, h + t + b]
    for k in ('rootPivot', 'balloonAnchor'):
        meta[k] = [meta[k][0] + l, meta[k][1] + t]
    parts = [(pid, el, (pivot[0] + l, pivot[1] + t), parent) for pid, el, pivot, parent in parts]
    return meta, parts


def write_svg(outdir, EL, defs, parts, comment, size=(128, 128), margin=(0, 0, 0, 0)):
    # each part's variants next to the part, in drawing order; anything else after
    ids = []
    for pid, el, pivot, parent in parts:
        prefix = el.split('-')[0]
        for k in EL:
            if (k == el or k.split('-')[0] == prefix) and k not in ids:
                ids.append(k)
    for k in EL:
        if k not in ids:
            ids.append(k)
    l, t, r, b = margin
    w, h = size[0] + l + r, size[1] + t + b
    s = ['<?xml version="1.0" encoding="UTF-8"?>',
         '<!-- %s -->' % comment,
         '<svg xmlns="http://www.w3.org/2000/svg" version="1.2" baseProfile="tiny" width="%d" height="%d" viewBox="%s %s %d %d">' % (w, h, fmt_num(-l), fmt_num(-t), w, h),
         '<defs>' + defs + '</defs>']
    for k in ids:
        s.append('<g id="%s">%s</g>' % (k, EL[k]))
    s.append('</svg>')
    open(os.path.join(outdir, 'art.svg'), 'w').write('\n'.join(s) + '\n')


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


def write_json(outdir, meta, parts, poses, anims, states, mouth_shapes):
    L = ['{']
    for k, v in meta.items():
        L.append('  %s: %s,' % (json.dumps(k), compact(v)))
    L.append('  "parts": [')
    rows = []
    for pid, el, pivot, parent in parts:
        d = {'id': pid}
        if el != pid: d['element'] = el
        d['pivot'] = list(pivot)
        if parent: d['parent'] = parent
        rows.append('    ' + compact(d))
    L.append(',\n'.join(rows))
    L.append('  ],')
    L.append('  "poses": {')
    rows = []
    for name, pose in poses.items():
        inner = ',\n'.join('      %s: %s' % (json.dumps(p), compact(v)) for p, v in pose.items())
        rows.append('    %s: {\n%s\n    }' % (json.dumps(name), inner) if pose else '    %s: {}' % json.dumps(name))
    L.append(',\n'.join(rows))
    L.append('  },')
    L.append('  "animations": {')
    rows = []
    for name, a in anims.items():
        head = {k: v for k, v in a.items() if k != 'frames'}
        fr = ',\n'.join('        ' + compact(f) for f in a['frames'])
        extra = ''.join(', %s: %s' % (json.dumps(k), compact(v)) for k, v in head.items())
        rows.append('    %s: {"frames": [\n%s\n      ]%s}' % (json.dumps(name), fr, extra))
    L.append(',\n'.join(rows))
    L.append('  },')
    L.append('  "states": ' + json.dumps(states, indent=4).replace('\n', '\n  ') + ',')
    L.append('  "mouthShapes": ' + json.dumps(mouth_shapes))
    L.append('}')
    text = '\n'.join(L) + '\n'
    json.loads(text)
    open(os.path.join(outdir, 'character.json'), 'w').write(text)


def check(parts, poses, anims, states, EL, mouth_shapes):
    """The mistakes the loader would refuse, caught before the files are written,
    plus a few it lets through: one-shot states that never end, a hiding that
    stays visible."""
    faults = []
    ids = {p[0] for p in parts} | {'root'}
    for p in parts:
        if p[1] not in EL: faults.append('part %s draws %s, which is not in the art' % (p[0], p[1]))
        if p[3] and p[3] not in ids: faults.append('part %s hangs from %s, which is not a part' % (p[0], p[3]))
    def look(changes, where):
        for part, v in changes.items():
            if part not in ids: faults.append('%s moves %s, which is not a part' % (where, part))
            if 'element' in v and v['element'] not in EL: faults.append('%s draws %s, which is not in the art' % (where, v['element']))
    for name, pose in poses.items():
        look(pose, 'pose ' + name)
    for name, a in anims.items():
        n = len(a['frames'])
        for i, f in enumerate(a['frames']):
            where = 'animation %s frame %d' % (name, i)
            for pn in ([f['pose']] if isinstance(f.get('pose'), str) else f.get('pose', [])):
                if pn not in poses: faults.append('%s uses the pose %s' % (where, pn))
            look(f.get('parts', {}), where)
            if f['duration'] <= 0 or f['duration'] != int(f['duration']): faults.append('%s lasts %r' % (where, f['duration']))
            for b in f.get('branches', []):
                if not 0 <= b['to'] < n: faults.append('%s branches out of the animation' % where)
            if 'exit' in f and not -1 <= f['exit'] < n: faults.append('%s exits out of the animation' % where)
        if 'exit' in a and not -1 <= a['exit'] < n: faults.append('animation %s exits out of itself' % name)
        if a.get('return') and a['return'] not in anims: faults.append('animation %s returns by %s' % (name, a['return']))
    lower = {k.lower() for k in anims}
    for state, v in states.items():
        for an in ([v] if isinstance(v, str) else v):
            if an.lower() not in lower: faults.append('state %s plays %s' % (state, an))
            elif state.startswith('idle') and any(f.get('branches') for f in anims[an]['frames']):
                faults.append('idle animation %s branches; it should play once and end' % an)
    hide = anims[states['hiding']]['frames'][-1]
    if hide.get('parts', {}).get('root', {}).get('opacity', 1) != 0:
        faults.append('hiding does not end out of sight')
    for m in mouth_shapes:
        if m not in EL: faults.append('mouth shape %s is not in the art' % m)
    if faults:
        raise SystemExit('\n'.join(faults))
