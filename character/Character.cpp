#include "Character.h"

namespace kestrova::character {

void CharacterService::connectCharacter(const QString &id, Character *c)
{
    connect(c, &Character::requestComplete, this, &CharacterService::requestComplete);
    connect(c, &Character::command, this, &CharacterService::command);
    connect(c, &Character::click, this,
            [this, id](int b, int s, int x, int y) { Q_EMIT click(id, b, s, x, y); });
    connect(c, &Character::dblClick, this,
            [this, id](int b, int s, int x, int y) { Q_EMIT dblClick(id, b, s, x, y); });
}

bool CharacterService::prepareSwitch(const QString &, QString *why)
{
    if (why)
        *why = QStringLiteral("This character service cannot change the character while Kestrova runs.");
    return false;
}

bool CharacterService::commitSwitch(const QString &)
{
    return false;
}

} // namespace kestrova::character
