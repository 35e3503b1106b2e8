#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

namespace kestrova::mail {

// What a POP3 server answers, read without trusting it: any bytes at all
// give either a value or nothing, never more than the reply holds.

// The reply to the last command of a conversation as the header callback
// saw it: its last non-empty line, trimmed.
QByteArray lastStatusLine(const QByteArray &conversation);

// The message count of a STAT reply ("+OK 3 1203"); nothing for an error,
// a negative or unreadable count.
std::optional<long> statCount(const QByteArray &reply);

// A UIDL listing ("1 a1b2\r\n2 c3d4\r\n"): message number and unique id of
// each line that is exactly that, in order; other lines are skipped.
struct UidLine {
    int number = 0;
    QByteArray uid;
};
QList<UidLine> uidList(const QByteArray &listing);

} // namespace kestrova::mail
