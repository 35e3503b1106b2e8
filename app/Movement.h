#pragma once

#include <QtGlobal>

namespace kestrova {

class SettingsStore;
class MousePointer;
namespace character { class CharacterRef; }

// The character's rest position, kept in the settings, and its moves
// relative to the rest position, the mouse pointer and other windows.
// Positions are screen pixels; targets beside a window come in twips (20 to
// the pixel), as window geometry is stored.
class Movement {
public:
    qint16 RestX = 0;
    qint16 RestY = 0;
    qint16 TargetX = 0;
    qint16 TargetY = 0;

    // Reads "Rest"/"X" and "Rest"/"Y"; text that is not a 16-bit number
    // leaves the value as it was.
    void LoadRestPosition(const SettingsStore &settings);
    void MoveToRest(character::CharacterRef &agent) const;
    // Converts the target from twips to pixels in place and moves there.
    void MoveToTarget(character::CharacterRef &agent);
    void MoveToMouse(character::CharacterRef &agent, const MousePointer &pointer) const;
    void GestureAtMouse(character::CharacterRef &agent, const MousePointer &pointer) const;
};

} // namespace kestrova
