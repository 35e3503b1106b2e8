#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace kestrova {

// One thing the user can ask for, registered once by the module that owns
// it: its id (what the character's Command event reports), its caption, the
// words that say it, whether the character's own menu lists it, whether a
// weak spoken match is answered with a prompt instead, and what it does. The
// character's command list, the popup menus, the toolbar and the command
// dispatch all run it by id, so one action has one handler whichever way it
// was asked for.
struct Action {
    QString id;
    QString caption;
    QString voice;            // empty: not a spoken command
    bool inMenu = false;      // listed in the character's popup menu
    bool guarded = false;     // a weak match gets the prompt, not the action
    std::function<void()> handler;
    // Asked for from a menu or the toolbar, this runs first and may stop the
    // action (after telling the user why); a spoken command goes straight
    // to the handler.
    std::function<bool()> menuGuard;
    // It starts a program or ends this one: heard only on strong evidence,
    // so that a sentence in the room that sounds a little like it does not
    // start anything.
    bool drastic = false;
};

// The action, marked as starting a program or quitting.
inline Action drastic(Action action)
{
    action.drastic = true;
    return action;
}

// How an action was asked for.
enum class Asked { Spoken, FromMenu };

class ActionRegistry {
public:
    // Registers the action; an id already registered, or an empty one, is
    // refused (the first registration stands).
    bool add(Action action);
    // Runs the action of that id; false when there is none.
    bool run(const QString &id, Asked asked = Asked::FromMenu) const;
    // Told the id of every action about to run (for a log or a test).
    void setObserver(std::function<void(const QString &id, Asked asked)> observer)
    {
        m_observer = std::move(observer);
    }
    const Action *find(const QString &id) const;
    // The actions in the order they were registered.
    const QList<Action> &all() const { return m_actions; }

private:
    QList<Action> m_actions;
    std::function<void(const QString &, Asked)> m_observer;
};

} // namespace kestrova
