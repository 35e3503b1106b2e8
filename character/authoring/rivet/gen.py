import sys, os
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(1, os.path.join(HERE, '..', 'common'))
import art
from art import EL
import writer
import sounds

OUTDIR = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, '..', '..', '..', 'data', 'characters', 'rivet')
from anims import PARTS, POSES, ANIMS, STATES, META
from props import extra_elements

extra_elements(EL)
MOUTH = ['mouth-closed', 'mouth-slight', 'mouth-open', 'mouth-wide']
writer.check(PARTS, POSES, ANIMS, STATES, EL, MOUTH)
os.makedirs(OUTDIR, exist_ok=True)
# Room around the drawing for what reaches past it (see writer.with_margin).
MARGIN = (0, 8, 0, 0)
FRAME_META, FRAME_PARTS = writer.with_margin(META, PARTS, MARGIN)
writer.write_svg(OUTDIR, EL, art.defs, PARTS,
                 'Rivet the robot. Every top-level group is one part or one variant of a part;\n'
                 '     variants of a part sit in the same place, so opened whole they overlap.',
                 margin=MARGIN)
writer.write_json(OUTDIR, FRAME_META, FRAME_PARTS, POSES, ANIMS, STATES, MOUTH)
# square-ish beeps of a small machine
SQUARE = (1.0, 0, 0.33, 0, 0.2)
sounds.write(OUTDIR, 'beep', sounds.tone(110, 880, None, SQUARE) + sounds.silence(30) + sounds.tone(140, 1320, None, SQUARE))
sounds.write(OUTDIR, 'alert', sounds.tone(70, 1500, None, SQUARE) + sounds.silence(30) + sounds.tone(70, 1500, None, SQUARE))
sounds.write(OUTDIR, 'announce', sounds.tone(120, 660, None, SQUARE) + sounds.tone(120, 880, None, SQUARE) + sounds.tone(160, 1100, None, SQUARE))
print('wrote', OUTDIR)
