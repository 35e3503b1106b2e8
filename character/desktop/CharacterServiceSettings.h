#pragma once

#include "CharacterModel.h"

#include <QFont>
#include <QString>

namespace kestrova::character {

// The character service's own options, kept in <settingsDir>/CharacterService.ini
// beside the default character (key Default, written by the service itself).
//
//   SpeechOutput      true/false  the character speaks aloud (default true)
//   Voice             ""          the character's own voice (default);
//                     "flite:slt" / "flite:rms"  one of flite's own voices;
//                     "qt:<engine>:<voice name>" a voice of a Qt engine
//   Rate              -1 .. 1     added to the character's own rate (default 0)
//   Balloon           true/false  balloon also while the voice is heard (default false)
//   BalloonFont       QFont::toString(); empty: the balloon's default font
//   ListeningKey      an X keysym name or "None" (default Scroll_Lock)
//   ListeningTimeout  seconds the listening prompt waits for typing (default 15)
//   Microphone        "Default" or an audio input's id
//   Sounds            true/false  the characters' sound effects (default true)
//
// A value that does not parse, or is out of its range, reads as its default.
struct CharacterServiceSettings {
    bool speechOutput = true;
    QString voice;
    double rate = 0;
    bool balloonWhileSpeaking = false;
    QString balloonFont;
    QString listeningKey = QStringLiteral("Scroll_Lock");
    int listeningTimeoutSeconds = 15;
    QString microphone = QStringLiteral("Default");
    bool sounds = true;

    static constexpr int MinListeningTimeout = 3;
    static constexpr int MaxListeningTimeout = 120;
    // The largest balloon font: a long word still fits on one line of the
    // balloon, and a sentence leaves it well within the screen.
    static constexpr int MaxBalloonPointSize = 24;

    static CharacterServiceSettings read(const QString &iniFile);
    // False, with *error, when the file could not be written; it is then
    // left as it was.
    bool write(const QString &iniFile, QString *error = nullptr) const;

    // The balloon's font: the stored one, else the default; a stored size
    // above MaxBalloonPointSize is shown at that size.
    QFont font() const;
    bool operator==(const CharacterServiceSettings &) const = default;
};

// The voice a character speaks with under these settings: its own with the
// rate added (and kept within -1 .. 1), or the one the user chose instead.
VoiceSettings effectiveVoice(const VoiceSettings &own, const CharacterServiceSettings &settings);

} // namespace kestrova::character
