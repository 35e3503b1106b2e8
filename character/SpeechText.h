#pragma once

#include <QString>
#include <functional>

namespace kestrova::character {

// A speech text as the program hands it to Speak, taken apart:
//  - "|" separates alternatives, one of which is spoken, picked at random;
//  - \Map="spoken"="shown"\ sends the first text to the voice and shows the
//    second in the balloon;
//  - every other backslash tag (\Pau=200\, \Emp\, \Spd=150\ ...) is a hint
//    to the voice and is left out of both texts here; "\\" is a backslash;
//  - a piece marked with outsideText() is text from outside the program (a
//    mail's sender, the clipboard, a name the user typed): it is said and
//    shown as it stands, never read for "|" or tags, and cleaned first (see
//    cleanOutsideText()).
// Control characters and bidirectional overrides never come out of here,
// whichever part of the text held them.
struct SpeechText {
    QString spoken;  // what the voice says
    QString shown;   // what the balloon shows
};

// Picks an index in [0, count). The default uses the global generator.
using PickIndex = std::function<int(int count)>;

// Marks text from outside the program, to be put together with the
// program's own phrases: "Subject " + outsideText(subject). The marks are
// two Unicode noncharacters; any the text holds itself are removed, so no
// text can end its piece early and have the rest read as the program's.
QString outsideText(const QString &text);

// The longest outside piece said and shown; longer ones are cut, with "…".
// About nine lines of the balloon.
constexpr qsizetype MaxOutsideChars = 300;

// What an outside piece becomes: control characters removed (escape
// sequences whole), each run of line breaks and tabs made one space,
// bidirectional embeddings, overrides, isolates and marks removed,
// noncharacters and broken surrogates removed, and cut to MaxOutsideChars.
QString cleanOutsideText(const QString &text);

// Splits a text into its alternatives at "|" signs outside tags and
// outside pieces.
QStringList speechAlternatives(const QString &text);

// Parses one alternative (no "|" choice is made here).
SpeechText parseSpeechTags(const QString &alternative);

// Picks an alternative and parses it.
SpeechText parseSpeech(const QString &text, const PickIndex &pick = {});

// A speech text for a log line: the program's own text as written (with
// its alternatives and tags), each outside piece as it is said.
QString speechForLog(const QString &text);

} // namespace kestrova::character
