#pragma once

#include <QString>
#include <QStringList>

namespace kestrova {

class CharacterSink;
class Random;
namespace character { class CharacterRef; }

// The jokes the character tells now and then: one line of JOKES.TXT each,
// picked at random, after a lead-in phrase of the user's choosing. The
// switch and the lead-in are the user's model's.
class Jokes {
public:
    QStringList JokeList;
    qint32 JokeIndex = 0;
    QString JokeSay;           // the lead-in phrase, set before each joke

    // Appends every line of the file to JokeList; false when the path is
    // empty or the file cannot be read.
    bool LoadJokes(const QString &path);
    // Plays "GetAttention", says the lead-in and a random joke, plays
    // "Pleased". Silent when there are no jokes.
    void TellJoke(CharacterSink &sink, Random &random);
    void TellJoke(character::CharacterRef &agent, Random &random);
};

} // namespace kestrova
