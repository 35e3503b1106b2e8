#include "Commands.h"

namespace kestrova::character {

bool Commands::add(const QString &name, const QString &caption, const QString &voice,
                   bool enabled, bool visible)
{
    if (name.isEmpty() || item(name))
        return false;
    m_commands.append(Command{name, caption, voice, QString(), enabled, visible, 0, QString(), false});
    return true;
}

Command *Commands::item(const QString &name)
{
    for (Command &c : m_commands)
        if (c.name == name)
            return &c;
    return nullptr;
}

const Command *Commands::item(const QString &name) const
{
    return const_cast<Commands *>(this)->item(name);
}

} // namespace kestrova::character
