#pragma once

// The command grammars written as one JSGF grammar for a grammar decoder.

#include "SpeechRecognizer.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace kestrova::character {

struct JsgfGrammar {
    QString text;
    // Every command word the grammar uses (each needs a pronunciation).
    QStringList words;
    // Commands left out, with the reason.
    QStringList problems;
    // How many commands made it in.
    int commands = 0;
};

// What "..." in a command may stand for when there is no garbage path: a
// run of up to `most` of these words, each taken at `weight` (a JSGF
// weight, so that filler costs more than a command word).
struct FillerWords {
    QStringList words;
    int most = 3;
    QString weight = QStringLiteral("0.1");
};

// One public rule <command> of alternatives, one rule per command. With
// `garbageWords` (one-phone words) a rule <garbage> gives speech that is no
// command a path of its own, and "..." in a command becomes an optional run
// of them; without, "..." becomes an optional run of `filler` words, or is
// left out when there are none (the command's own words remain). Where two
// neighbouring words are one word of the dictionary too ("[e] mail" and
// "email", "inter net" and "internet"), both readings are accepted.
// `isWord` says whether a word has a pronunciation as it stands.
JsgfGrammar buildJsgf(const std::vector<VoiceCommand> &commands, const QStringList &garbageWords,
                      const std::function<bool(const QString &)> &isWord, const FillerWords &filler = {});

// A word as the grammar writes it: lower case letters and digits only.
QString jsgfWord(const QString &word);

} // namespace kestrova::character
