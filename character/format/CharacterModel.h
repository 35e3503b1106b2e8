#pragma once

// A character is data: a folder holding "character.json" (its name, voice,
// parts, poses, animations and state animations) and the SVG art its parts
// are drawn from. This header is the contract between the loader/renderer and
// the desktop character that plays animations.

#include <QHash>
#include <QList>
#include <QPointF>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

namespace kestrova::character {

// How one part of the character stands in a pose. Absent values keep the
// part as drawn in the art.
struct PartPose {
    double dx = 0, dy = 0;      // offset in character pixels
    double rotation = 0;        // degrees, clockwise, about the part's pivot
    double scaleX = 1, scaleY = 1;
    double opacity = 1;
    QString element;            // SVG element drawn for the part; empty: its default
};

// Part id -> its pose. The id "root" moves, turns and scales the whole
// character about the root pivot.
using Pose = QHash<QString, PartPose>;

// Blends two poses (t = 0 gives a, 1 gives b). Elements switch at t >= 0.5.
Pose interpolatePose(const Pose &a, const Pose &b, double t);

struct Branch {
    int toFrame = 0;       // frame index to continue at
    int probability = 0;   // percent
};

struct Frame {
    Pose pose;             // complete pose (the loader resolves named poses and overrides)
    int durationMs = 100;
    bool tween = false;    // blend from the previous frame's pose during this frame
    QList<Branch> branches; // tried in order after this frame; none taken: the next frame
    int exitTo = -1;       // where a stopped animation jumps to finish cleanly; -1: end now
    QString sound;         // optional sound name, may be empty
};

struct Animation {
    QString name;             // as written in the file ("GestureRight")
    QList<Frame> frames;
    QString returnAnimation;  // played after this one to come back to rest; may be empty
};

struct Part {
    QString id;
    QString element;       // default SVG element id
    QPointF pivot;         // in character pixels
    // Part this one is attached to (its transform and opacity carry over to
    // this part, e.g. the eyes follow the head); empty: attached to the root.
    QString parent;
};

struct VoiceSettings {
    QString locale = QStringLiteral("en_US");
    QString gender;        // "male", "female" or empty
    double rate = 0;       // -1 .. 1, as QTextToSpeech takes it
    double pitch = 0;      // -1 .. 1
    // "flite" (or empty): flite's own voices, said in the program with their
    // timing; "system": the desktop's speech service (speech-dispatcher),
    // flite when there is none.
    QString engine;
    QString name;          // a flite voice ("slt", "rms"), or with the system
                           // engine a voice's name; empty: by gender
    // With the system engine: the one Qt text-to-speech engine to use
    // ("speechd", "flite"); empty: speechd, then flite. Set by the user's
    // choice of voice, not by the character file.
    QString systemEngine;
};

class CharacterModel {
public:
    // Loads the character in folder. On failure returns nothing and sets
    // *error to a sentence that names the file and what is wrong.
    static std::optional<CharacterModel> load(const QString &folder, QString *error = nullptr);

    QString folder;
    QString id;            // the folder's name
    QString name;          // the character's Name
    QString description;
    QSize size;            // logical pixels of one frame
    QString artFile;       // absolute path of the SVG
    VoiceSettings voice;
    QList<Part> parts;     // in drawing order, back to front
    QPointF rootPivot;
    Pose restPose;
    QHash<QString, Pose> poses;           // named poses, resolved; includes "rest"
    QHash<QString, Animation> animations; // keyed by lower-case name
    // Service states -> the names of the animations that may play in them
    // (one is picked each time the state is entered). Keys: "showing",
    // "hiding", "speaking", "thinking", "moving-left", "moving-right",
    // "moving-up", "moving-down", "gesturing-left", "gesturing-right",
    // "gesturing-up", "gesturing-down", "listening", "hearing", and "idle-1",
    // "idle-2", "idle-3" for idling that grows calmer the longer the
    // character is left alone. A file's old "idle" key is read as "idle-1".
    QHash<QString, QStringList> states;
    // Elements of the "mouth" part, from closed to widest, used for speech.
    QStringList mouthShapes;
    QPointF balloonAnchor; // where the balloon's tail points, character pixels

    // Case-insensitive lookup ("Restpose" finds "RestPose"); null when absent.
    const Animation *animation(const QString &name) const;
    // The animation for a state: its names' choice-th (taken modulo how many
    // there are, so any number picks one); null when the state has none.
    const Animation *stateAnimation(const QString &state, int choice = 0) const;
    // How many animations the state chooses from; 0 when it has none.
    int stateChoices(const QString &state) const;

    // The service states, in the order above.
    static const QStringList &stateNames();
};

// A frame's sound is the file sounds/<name>.wav of the character's folder.
// It is read whole to be played, so it may be no larger than this: a minute
// and a half of 16-bit stereo at 22 kHz, where a sound is short.
inline constexpr qint64 MaxSoundBytes = 8 * 1024 * 1024;
// The sample rates a character's sound may have.
inline constexpr quint32 MinSoundRate = 1000;
inline constexpr quint32 MaxSoundRate = 384000;
QString soundFile(const QString &folder, const QString &name);
// Why the sound `name` of the character in `folder` is not played: no such
// file, a name or a link that leads out of the folder, a file too large, no
// WAV sound or one in a form the sound server takes badly; empty when it is
// played.
QString soundProblem(const QString &folder, const QString &name);

// Folders searched for characters, in order: the per-user folder first, then
// the program's data folder.
QStringList characterFolders(const QString &programDir);

// Every character found in those folders (folder name -> folder path).
QHash<QString, QString> availableCharacters(const QString &programDir);

// The folders that hold a character of that name, the user's first (one of
// the user's hides the program's, unless it does not load). Only a folder
// name directly inside a character folder names a character: an empty name,
// "." or "..", or one with a separator, names none, wherever it was read.
QStringList characterFoldersNamed(const QString &programDir, const QString &name);

} // namespace kestrova::character
