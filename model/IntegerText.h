#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace kestrova {

// Converts a stored text to a signed 16-bit integer the way every integer
// setting is read: surrounding blanks are ignored; the text is a decimal
// number with an optional sign and an optional fraction ("640", "-12",
// "+3", "2.5", ".5"); a fraction is rounded to the nearest integer, a half
// to the even one. Empty text, anything else, and numbers outside
// -32768..32767 after rounding give nothing.
std::optional<qint16> toInt16(const QString &text);

// Converts text into *target; on failure *target keeps its value, which is
// how a failed read of an integer setting behaves. Returns whether it
// converted.
bool convertInto(const QString &text, qint16 *target);

// convertInto for a value read from a settings file: when the file holds
// text that gives no number (not a number, or out of range), the log says
// which setting it was and what it held, and *target keeps its value. An
// absent or empty value is no fault and says nothing. `setting` names it
// as the user finds it in the file ("Rest/X").
bool convertStoredInto(const QString &text, qint16 *target, const QString &setting);

// Adds one, saturating: at 32767 the addition fails and the value stays.
bool incrementInt16(qint16 *value);

} // namespace kestrova
