#include "Actions.h"

namespace kestrova {

bool ActionRegistry::add(Action action)
{
    if (action.id.isEmpty() || find(action.id))
        return false;
    m_actions.append(std::move(action));
    return true;
}

const Action *ActionRegistry::find(const QString &id) const
{
    for (const Action &a : m_actions)
        if (a.id == id)
            return &a;
    return nullptr;
}

bool ActionRegistry::run(const QString &id, Asked asked) const
{
    const Action *action = find(id);
    if (!action || !action->handler)
        return false;
    if (m_observer)
        m_observer(id, asked);
    // Copies: a handler may register actions while it runs.
    const std::function<bool()> guard = action->menuGuard;
    const std::function<void()> handler = action->handler;
    if (asked == Asked::FromMenu && guard && !guard())
        return true;
    handler();
    return true;
}

} // namespace kestrova
