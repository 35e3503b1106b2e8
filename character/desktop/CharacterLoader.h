#pragma once

// The reading side of CharacterModel::load, shared with the character
// checker: it reads as much of a character folder as it can and keeps every
// fault it meets instead of stopping at the first.

#include "CharacterModel.h"

#include <QHash>
#include <QList>
#include <QString>

namespace kestrova::character {

// One fault in a character folder.
struct LoadFault {
    QString file;    // relative to the character's folder: "character.json", "art.svg"
    QString path;    // where in the file: "animations.Wave.frames[2].pose", "element \"eyes\""; may be empty
    QString words;   // the same place for a sentence: "animation \"Wave\", frame 2"; may be empty
    QString message; // what is wrong, without the place
};

struct LoadOutcome {
    // Everything that could be read. Faulty entries are left out or given
    // their defaults, so this is only a character to use when faults is empty.
    CharacterModel model;
    QList<LoadFault> faults;
    bool readJson = false;             // false: character.json is missing, unreadable or not JSON
    QHash<QString, QString> stateKeys; // state -> the key it was written under ("idle" for "idle-1")
};

LoadOutcome readCharacter(const QString &folder);

// The fault as one sentence naming the file by its full path, as load()
// reports it.
QString faultSentence(const QString &folder, const LoadFault &fault);

// A key as it is written in a JSON path: ".Wave", or ["arm up"] for a key
// that is not a plain word.
QString jsonKey(const QString &key);

} // namespace kestrova::character
