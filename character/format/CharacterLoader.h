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

// What a character may be. Characters come from anywhere, so everything
// read is bounded, each limit far beyond what a drawn character needs (the
// shipped ones: character.json 75 KB, art 111 KB and 670 elements, frames
// 136 x 142, no frame longer than 1.5 s). A file's size is looked at before
// it is read; the art's elements are counted while it is scanned, which
// stops at the first one too many.
namespace limits {
inline constexpr qint64 JsonBytes = 4 * 1024 * 1024;
inline constexpr qint64 ArtBytes = 8 * 1024 * 1024;
inline constexpr int ArtElements = 20000;
inline constexpr int ArtDepth = 256;
inline constexpr int FrameSide = 1024;
inline constexpr int FrameMs = 60000;
} // namespace limits

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

// What makes a character that reads well hang the program: an animation
// of "showing" or "hiding" that, once started, can never reach its end
// (the program waits for both), and an animation of "showing", "hiding"
// or "speaking" whose return animations go round in a circle, so coming
// back to rest never ends. Speaking's own loop is not one: the program
// stops it when the words are said. The loader refuses a character with
// any of these; the checker reports them as locks.
QList<LoadFault> characterLocks(const CharacterModel &model);

// A size in bytes for a message: "210 MB", "75 KB", "12 bytes".
QString byteSize(qint64 bytes);

// A key as it is written in a JSON path: ".Wave", or ["arm up"] for a key
// that is not a plain word.
QString jsonKey(const QString &key);

} // namespace kestrova::character
