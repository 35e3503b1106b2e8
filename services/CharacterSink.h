#pragma once

#include "CharacterRef.h"
#include "Notifier.h"

#include <QString>

namespace kestrova {

// What a watch may have the character do, and nothing more: the watches
// (mail, alarm, jokes) speak through this, not through the whole program.
// Each request is queued with the character and returns at once; with no
// character loaded it does nothing.
class CharacterSink {
public:
    virtual ~CharacterSink() = default;
    // Shows the character when it is hidden.
    virtual void show() = 0;
    virtual void play(const QString &animation) = 0;
    virtual void say(const QString &text) = 0;
    // A thought balloon: shown, not spoken.
    virtual void think(const QString &text) = 0;
    // Whether the character is on the desktop now.
    virtual bool shown() const = 0;
    // A desktop notification: how the user learns what the character is
    // not on the desktop to say.
    virtual void notify(const QString &summary, const QString &body) = 0;
};

// Says `sentence`; where the character is not on the desktop (hidden, or
// none loaded) it also comes as a notification headed `summary`.
inline void tell(CharacterSink &sink, const QString &summary, const QString &sentence)
{
    if (!sink.shown())
        sink.notify(summary, sentence);
    sink.say(sentence);
}

// The sink of one character reference, as it stands at each request.
class CharacterRefSink final : public CharacterSink {
public:
    explicit CharacterRefSink(character::CharacterRef &agent, Notifier *notifier = nullptr)
        : m_agent(agent), m_notifier(notifier)
    {
    }
    void show() override
    {
        if (!m_agent.Visible())
            m_agent.Show();
    }
    void play(const QString &animation) override { m_agent.Play(animation); }
    void say(const QString &text) override { m_agent.Speak(text); }
    void think(const QString &text) override { m_agent.Think(text); }
    bool shown() const override { return m_agent.Visible(); }
    void notify(const QString &summary, const QString &body) override
    {
        if (m_notifier)
            m_notifier->notify(summary, body);
    }

private:
    character::CharacterRef &m_agent;
    Notifier *m_notifier;
};

} // namespace kestrova
