#include "Jokes.h"

#include "CharacterRef.h"
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
    JokeIndex = qint32(random.next() * JokeList.size() + 1);
    if (JokeList.isEmpty())
        return;
    const QString joke = JokeList.at(qBound(1, JokeIndex, int(JokeList.size())) - 1);
    agent.Play(QStringLiteral("GetAttention"));
    // An empty text says nothing: an empty lead-in leaves the joke alone,
    // an empty line leaves the lead-in alone.
    if (!JokeSay.trimmed().isEmpty())
        agent.Speak(JokeSay);
    if (!joke.trimmed().isEmpty())
        agent.Speak(joke);
    agent.Play(QStringLiteral("Pleased"));
}

} // namespace kestrova
