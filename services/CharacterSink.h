#pragma once

#include "CharacterRef.h"

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
};

// The sink of one character reference, as it stands at each request.
class CharacterRefSink final : public CharacterSink {
public:
    explicit CharacterRefSink(character::CharacterRef &agent) : m_agent(agent) {}
    void show() override
    {
        if (!m_agent.Visible())
            m_agent.Show();
    }
    void play(const QString &animation) override { m_agent.Play(animation); }
    void say(const QString &text) override { m_agent.Speak(text); }
    void think(const QString &text) override { m_agent.Think(text); }

private:
    character::CharacterRef &m_agent;
};

} // namespace kestrova
