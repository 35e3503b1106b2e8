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

// One public rule <command> of alternatives, one rule per command. With
// `garbageWords` (one-phone words) a rule <garbage> gives speech that is no
// command a path of its own, and "..." in a command becomes an optional run
// of them; without, "..." is left out (the command's own words remain). Where two neighbouring words are one word of the
// dictionary too ("[e] mail" and "email", "inter net" and "internet"),
// both readings are accepted. `isWord` says whether a word has a
// pronunciation as it stands.
JsgfGrammar buildJsgf(const std::vector<VoiceCommand> &commands, const QStringList &garbageWords,
                      const std::function<bool(const QString &)> &isWord);

// A word as the grammar writes it: lower case letters and digits only.
QString jsgfWord(const QString &word);

} // namespace kestrova::character
