#pragma once

// Pronunciations for words the recogniser's dictionary lacks ("calender",
// "wordpad", names the user typed for favourites and office programs).

#include <QString>

#include <functional>

namespace kestrova::character {

// Looks a word up in the recogniser's dictionary: its phones (CMU phone set,
// upper case, no stress marks, one blank apart), or empty when unknown.
using PhoneLookup = std::function<QString(const QString &word)>;

// The phones of a lower-case word of letters and digits that `lookup` does
// not know:
//  - a compound of known words ("wordpad" = "word" + "pad"), preferring the
//    fewest and then the longest parts;
//  - digits as the number they spell ("mp3" = "m" "p" "three");
//  - otherwise US English letter-to-sound rules.
// Phones are those of the CMU set the US English model uses. Empty only for
// an empty word.
QString guessPronunciation(const QString &word, const PhoneLookup &lookup);

// Letter-to-sound rules alone (no dictionary), in the same phone set.
QString letterToSound(const QString &word);

} // namespace kestrova::character
