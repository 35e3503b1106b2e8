#include "Jokes.h"

#include "CharacterRef.h"
#include "CharacterSink.h"
#include "Random.h"
#include "TextLines.h"

namespace kestrova {

bool Jokes::LoadJokes(const QString &path)
{
    if (path.isEmpty())
        return false;
    const auto lines = readTextLines(path);
    if (!lines)
        return false;
    JokeList += *lines;
    return true;
}

void Jokes::TellJoke(character::CharacterRef &agent, Random &random)
{
    CharacterRefSink sink(agent);
    TellJoke(sink, random);
}

void Jokes::TellJoke(CharacterSink &sink, Random &random)
{
    JokeIndex = qint32(random.next() * JokeList.size() + 1);
    if (JokeList.isEmpty())
        return;
    const QString joke = JokeList.at(qBound(1, JokeIndex, int(JokeList.size())) - 1);
    sink.play(QStringLiteral("GetAttention"));
    // An empty text says nothing: an empty lead-in leaves the joke alone,
    // an empty line leaves the lead-in alone.
    if (!JokeSay.trimmed().isEmpty())
        sink.say(JokeSay);
    if (!joke.trimmed().isEmpty())
        sink.say(joke);
    sink.play(QStringLiteral("Pleased"));
}

} // namespace kestrova
