#pragma once

#include <QByteArray>
#include <QString>

namespace kestrova::mail {

// The text of a header value as it came off the wire (folded or not):
// encoded words (=?charset?B|Q?...?=) decoded with any charset Qt knows,
// whitespace between adjacent encoded words dropped, consecutive words of
// one charset decoded together (a character may be split across them),
// folded lines unfolded, and raw 8-bit bytes read as UTF-8 when they are
// valid UTF-8, else as Windows-1252.
QString decodeHeader(const QByteArray &raw);

// The value of the first header field `name` (case-insensitive) of a header
// block, unfolded, still encoded; empty when there is none.
QByteArray headerField(const QByteArray &headers, const QByteArray &name);

// Who sent a message, for speaking: the display name of the first mailbox
// of a From value ("Name <addr>", "\"Name\" <addr>", "addr (Name)"), or
// the address when it has no name. Decoded as decodeHeader does.
QString senderName(const QByteArray &rawFrom);

} // namespace kestrova::mail
