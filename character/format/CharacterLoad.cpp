// CharacterModel::load: the reader (CharacterModel.cpp) and the checker's
// locks (CharacterCheck.cpp) together, apart from both, so neither file
// needs the other's half.
#include "CharacterLoader.h"

namespace kestrova::character {

std::optional<CharacterModel> CharacterModel::load(const QString &folder, QString *error)
{
    LoadOutcome outcome = readCharacter(folder);
    if (outcome.faults.isEmpty())
        outcome.faults = characterLocks(outcome.model);
    if (!outcome.faults.isEmpty()) {
        if (error)
            *error = faultSentence(outcome.model.folder, outcome.faults.first());
        return std::nullopt;
    }
    if (error)
        error->clear();
    return std::move(outcome.model);
}

} // namespace kestrova::character
