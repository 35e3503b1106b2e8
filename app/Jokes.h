#pragma once

#include <QString>
#include <QStringList>

namespace kestrova {

class Random;
namespace character { class CharacterRef; }

// The jokes the character tells now and then: one line of JOKES.TXT each,
// picked at random, after a lead-in phrase of the user's choosing. The
// switch and the lead-in are the options window's, kept here so they
// outlive that window.
class Jokes {
public:
    QStringList JokeList;
    qint32 JokeIndex = 0;
    bool JokesStatus = false;  // jokes are switched on
    QString JokeSay;           // the lead-in phrase

    // Appends every line of the file to JokeList; false when the path is
    // empty or the file cannot be read.
    bool LoadJokes(const QString &path);
    // Plays "GetAttention", says the lead-in and a random joke, plays
    // "Pleased". Silent when there are no jokes.
    void TellJoke(character::CharacterRef &agent, Random &random);
};

} // namespace kestrova
