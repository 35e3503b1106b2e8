#pragma once

#include "Request.h"
#include "WindowPlacement.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QtGlobal>

#include <optional>

namespace kestrova {

class SettingsStore;
class MousePointer;
namespace character { class CharacterRef; }

// The character's rest position, kept in the settings, and its moves
// relative to the rest position, the mouse pointer and other windows. All
// positions are screen pixels.
class Movement {
public:
    static constexpr const char *PointerUnseen =
        "I cannot see the mouse pointer there.";

    qint16 RestX = 0;
    qint16 RestY = 0;
    qint16 TargetX = 0;
    qint16 TargetY = 0;

    // Reads "Rest"/"X" and "Rest"/"Y"; text that is not a 16-bit number
    // leaves the value as it was.
    void LoadRestPosition(const SettingsStore &settings);
    void MoveToRest(character::CharacterRef &agent) const;
    // Moves the character beside a window: just right of its frame,
    // top-aligned; where that would leave the screen, just left of it; kept
    // inside the screen's area either way. Where the character would stand
    // there on the controls or texts of the program's other open windows
    // (`others`), it stands elsewhere beside the window, clear of them as
    // far as it can be (see WindowPlacement::besideClearOf). The target is
    // kept in TargetX/TargetY. Returns the walk's request (null where there
    // is none).
    character::Request MoveToTarget(character::CharacterRef &agent, const QRect &windowFrame,
                                    const QRect &screenArea, QSize characterSize,
                                    const WindowPlacement::WindowParts &others = {});
    // Where MoveToTarget sends the character; nothing where that place does
    // not fit the character's 16-bit position.
    static std::optional<QPoint> besideWindow(const QRect &windowFrame, const QRect &screenArea, QSize characterSize,
                                              const WindowPlacement::WindowParts &others = {});
    // Beside the pointer; where the desktop does not tell the program where
    // the pointer is, the character says PointerUnseen instead.
    void MoveToMouse(character::CharacterRef &agent, const MousePointer &pointer) const;
    // Nothing where the pointer cannot be seen.
    void GestureAtMouse(character::CharacterRef &agent, const MousePointer &pointer) const;
};

} // namespace kestrova
