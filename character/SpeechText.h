#pragma once

#include <QString>
#include <functional>

namespace kestrova::character {

// A speech text as the program hands it to Speak, taken apart:
//  - "|" separates alternatives, one of which is spoken, picked at random;
//  - \Map="spoken"="shown"\ sends the first text to the voice and shows the
//    second in the balloon;
//  - every other backslash tag (\Pau=200\, \Emp\, \Spd=150\ ...) is a hint
//    to the voice and is left out of both texts here; "\\" is a backslash.
struct SpeechText {
    QString spoken;  // what the voice says
    QString shown;   // what the balloon shows
};

// Picks an index in [0, count). The default uses the global generator.
using PickIndex = std::function<int(int count)>;

// Splits a text into its alternatives at "|" signs outside tags.
QStringList speechAlternatives(const QString &text);

// Parses one alternative (no "|" choice is made here).
SpeechText parseSpeechTags(const QString &alternative);

// A text written so that the character says and shows it exactly as it
// stands: backslashes doubled, each "|" wrapped in a \Map\ tag.
QString literalSpeech(const QString &text);

// Picks an alternative and parses it.
SpeechText parseSpeech(const QString &text, const PickIndex &pick = {});

} // namespace kestrova::character
