import sys, os
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(1, os.path.join(HERE, '..', 'common'))
import art
from art import EL
import writer
import sounds

OUTDIR = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, '..', '..', '..', 'data', 'characters', 'kess')
from anims import PARTS, POSES, ANIMS, STATES, META
from props import extra_elements

extra_elements(EL)
MOUTH = ['mouth-closed', 'mouth-slight', 'mouth-open', 'mouth-wide']
writer.check(PARTS, POSES, ANIMS, STATES, EL, MOUTH)
os.makedirs(OUTDIR, exist_ok=True)
# Room around the drawing for what reaches past it (see writer.with_margin).
MARGIN = (4, 10, 4, 4)
FRAME_META, FRAME_PARTS = writer.with_margin(META, PARTS, MARGIN)
writer.write_svg(OUTDIR, EL, art.defs, PARTS,
                 'Kess the kestrel. Every top-level group is one part or one variant of a part;\n'
                 '     variants of a part sit in the same place, so opened whole they overlap.',
                 margin=MARGIN)
writer.write_json(OUTDIR, FRAME_META, FRAME_PARTS, POSES, ANIMS, STATES, MOUTH)
# a soft chirp when greeting, two quick ones when alerted
sounds.write(OUTDIR, 'chirp', sounds.tone(90, 2600, 3400, (1.0, 0.2)) + sounds.silence(20) + sounds.tone(70, 3000, 3700, (1.0, 0.2)))
sounds.write(OUTDIR, 'alert', sounds.tone(60, 3200, 3900, (1.0, 0.15)) + sounds.silence(40) + sounds.tone(60, 3200, 3900, (1.0, 0.15)))
print('wrote', OUTDIR)
