import math
# Affine transforms as SVG matrix tuples (a, b, c, d, e, f):
#   x' = a x + c y + e ;  y' = b x + d y + f
def mul(m, n):  # m after n (column-vector m . n)
    a,b,c,d,e,f = m; A,B,C,D,E,F = n
    return (a*A + c*B, b*A + d*B, a*C + c*D, b*C + d*D, a*E + c*F + e, b*E + d*F + f)
def T(x, y): return (1,0,0,1,x,y)
def R(deg):
    r = math.radians(deg); return (math.cos(r), math.sin(r), -math.sin(r), math.cos(r), 0, 0)
def S(sx, sy): return (sx,0,0,sy,0,0)
def inv(m):
    a,b,c,d,e,f = m; det = a*d - b*c
    ia, ib, ic, id_ = d/det, -b/det, -c/det, a/det
    return (ia, ib, ic, id_, -(ia*e + ic*f), -(ib*e + id_*f))
def apply(m, p):
    a,b,c,d,e,f = m; x,y = p
    return (a*x + c*y + e, b*x + d*y + f)
def local(pp, pivot):
    px, py = pivot
    return mul(T(px + pp.get('dx',0), py + pp.get('dy',0)),
               mul(R(pp.get('rotation',0)),
                   mul(S(pp.get('scaleX', pp.get('scale',1)), pp.get('scaleY', pp.get('scale',1))), T(-px,-py))))
def mstr(m): return 'matrix(%s)' % ' '.join('%.4f' % v for v in m)
