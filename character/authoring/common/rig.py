# Building blocks for poses and frames, and for props drawn where a holder carries them.
from geom import mul, inv, local, mstr


def P(**parts):
    """A pose: P(head=dict(rotation=4), eyes='eyes-right') -- a string sets the element."""
    out = {}
    for k, v in parts.items():
        out[k] = {'element': v} if isinstance(v, str) else dict(v)
    return out


def d(**kw): return kw


def merge(*poses):
    out = {}
    for p in poses:
        for part, v in p.items():
            out.setdefault(part, {}).update(v)
    return out


def F(pose=None, ms=100, tween=False, parts=None, **kw):
    """A frame: held unless tween is set."""
    f = {}
    if pose: f['pose'] = pose
    if parts: f['parts'] = parts
    f['duration'] = int(round(ms))
    if tween: f['tween'] = True
    for k, v in kw.items():
        f[k] = v
    return f


def T(pose=None, ms=100, parts=None, **kw):
    """A frame blended from the one before."""
    return F(pose, ms, True, parts, **kw)


class Rig:
    """Knows the parts' pivots and parents, so it can tell where a part is drawn
    in a pose and draw a prop so that its holder carries it into place."""
    def __init__(self, parts, poses):
        self.pivot = {p[0]: p[2] for p in parts}
        self.parent = {p[0]: p[3] for p in parts}
        self.poses = poses

    def world(self, pose, part):
        pp = merge(self.poses['rest'], pose).get(part, {})
        m = local(pp, self.pivot[part])
        if self.parent[part]:
            m = mul(self.world(pose, self.parent[part]), m)
        return m

    def held(self, part, pose, svg):
        """Art for `part` drawn where it should be seen in `pose` (a name or a pose),
        undone through its holder's transform."""
        pose = self.poses[pose] if isinstance(pose, str) else pose
        holder = self.parent[part]
        m = inv(self.world(pose, holder)) if holder else (1, 0, 0, 1, 0, 0)
        return '<g transform="%s">%s</g>' % (mstr(m), svg)
