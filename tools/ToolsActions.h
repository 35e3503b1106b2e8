#pragma once

#include <QString>

#include <optional>

namespace kestrova {

class ActionRegistry;
class Clock;
class Host;

// The actions of the companion tools: the user-name window, the about box,
// the tour, the alarm window, the calendar, reading the selected text aloud,
// and the time and the date asked for.
void registerToolsActions(ActionRegistry &actions, Host &host);

// Text from outside the program (the clipboard, another program's
// selection) read aloud as it stands: the character is shown if hidden,
// plays "Read" and says the text, which is never read for tags or
// alternatives and is cleaned and cut like every outside text.
void readAloud(Host &host, const QString &outside);
// The same for a text that may not have come (its owner did not answer):
// then the character, shown if hidden, says `unread` instead.
void readAloud(Host &host, const std::optional<QString> &outside, const QString &unread);

// What the character says when asked the time and the date, in the
// greeting's words: "The time is 9:05 AM", "Today is Wednesday December
// 9th, 2026".
QString timeSentence(const Clock &clock);
QString dateSentence(const Clock &clock);

} // namespace kestrova
