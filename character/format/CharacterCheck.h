#pragma once

// Checks a character folder the way its author needs it checked: every
// problem at once, each with its place, covering what the loader refuses and
// what would make the character misbehave once loaded.

#include "CharacterModel.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

namespace kestrova::character {

struct CharacterProblem {
    enum Kind {
        Fault,     // the loader refuses the character for it
        Lock,      // the loader refuses it too: showing, hiding or speaking would never end
        Behaviour, // it loads, but an animation would not end as Kestrova needs
        Missing,   // an animation or state Kestrova plays is absent
        Drawing,   // a frame reaches the edge of the character's frame and is cut off there
    };
    // The file, relative to the folder, and where in it:
    // "character.json: animations.Wave.frames[2].pose", "art.svg: element \"eyes-right\"".
    QString place;
    QString message;
    Kind kind = Fault;
};

// Every problem in the character folder, in the order of the files; empty
// when the character is sound.
QList<CharacterProblem> checkCharacterFolder(const QString &folder);

// The edges of the character's frame ("top", "left", "right", "bottom")
// that the drawing of the pose reaches, so that it is cut off there.
QStringList edgesReached(const QImage &frame);

// The animations programs ask for by name.
const QStringList &playedAnimationNames();

// The states whose animations loop until Kestrova stops them.
const QStringList &loopingStates();

// The frames an animation, played from its first frame and never stopped,
// can reach but never get past to its end (they loop for ever), in order.
QList<int> framesThatNeverEnd(const Animation &animation);

// A branch that leads back to a frame already played, so the animation can
// repeat: {frame, branch index}, or {-1, -1} when it always plays straight
// through.
std::pair<int, int> firstLoopingBranch(const Animation &animation);

} // namespace kestrova::character
