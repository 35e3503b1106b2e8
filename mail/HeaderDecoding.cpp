#include "HeaderDecoding.h"

#include <QList>
#include <QStringDecoder>

#include <algorithm>

namespace kestrova::mail {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t';
}

// Header lines joined where a line break is followed by white space; any
// other stray line break goes too.
QByteArray unfold(const QByteArray &raw)
{
    QByteArray out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\r' || c == '\n')
            continue;
        out += c;
    }
    return out;
}

// Bytes that came without a charset: UTF-8 when they are valid UTF-8, else
// the Windows code page most unlabelled 8-bit mail is written in.
QString decodeRaw(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder cp1252("windows-1252");
    if (cp1252.isValid())
        return cp1252.decode(bytes);
    return QString::fromLatin1(bytes);
}

QString decodeCharset(const QByteArray &charset, const QByteArray &bytes)
{
    QByteArray name = charset;
    // RFC 2231 adds a language after "*".
    if (const qsizetype star = name.indexOf('*'); star >= 0)
        name.truncate(star);
    QStringDecoder decoder(name.constData());
    if (!decoder.isValid())
        return decodeRaw(bytes);
    return decoder.decode(bytes);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

QByteArray decodeQ(const QByteArray &text)
{
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '_') {
            out += ' ';
        } else if (c == '=' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

struct EncodedWord {
    QByteArray charset;
    QByteArray bytes;
    qsizetype end = 0; // one past the closing "?="
};

// Reads an encoded word starting at `from` ("=?"); false when the text there
// is not one.
bool readEncodedWord(const QByteArray &s, qsizetype from, EncodedWord &word)
{
    const qsizetype q1 = s.indexOf('?', from + 2);
    if (q1 < 0 || q1 == from + 2 || q1 + 3 >= s.size() || s[q1 + 2] != '?')
        return false;
    const char encoding = s[q1 + 1];
    if (encoding != 'B' && encoding != 'b' && encoding != 'Q' && encoding != 'q')
        return false;
    const qsizetype close = s.indexOf("?=", q1 + 3);
    if (close < 0)
        return false;
    const QByteArray charset = s.mid(from + 2, q1 - from - 2);
    const QByteArray text = s.mid(q1 + 3, close - q1 - 3);
    for (char c : charset + text)
        if (isSpace(c))
            return false;
    word.charset = charset;
    word.bytes = (encoding == 'B' || encoding == 'b') ? QByteArray::fromBase64(text) : decodeQ(text);
    word.end = close + 2;
    return true;
}

QByteArray unquote(QByteArray s)
{
    s = s.trimmed();
    if (s.size() < 2 || !s.startsWith('"') || !s.endsWith('"'))
        return s;
    QByteArray out;
    for (qsizetype i = 1; i + 1 < s.size(); ++i) {
        if (s[i] == '\\' && i + 2 < s.size())
            ++i;
        out += s[i];
    }
    return out;
}

// Where `what` first stands outside quoted strings and comments (or inside
// neither, for '(' itself); -1 when it does not.
qsizetype findOutside(const QByteArray &s, char what)
{
    bool quoted = false;
    int comment = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\\') {
            ++i;
            continue;
        }
        if (!comment && c == what && !quoted)
            return i;
        if (c == '"' && !comment)
            quoted = !quoted;
        else if (!quoted && c == '(')
            ++comment;
        else if (!quoted && c == ')' && comment)
            --comment;
    }
    return -1;
}

} // namespace

QString decodeHeader(const QByteArray &raw)
{
    const QByteArray s = unfold(raw);
    QString out;
    QByteArray plain;      // bytes since the last encoded word
    QByteArray runCharset; // the encoded words not decoded yet
    QByteArray runBytes;
    bool lastWasEncoded = false;
    auto flushRun = [&] {
        if (!runCharset.isEmpty() || !runBytes.isEmpty())
            out += decodeCharset(runCharset, runBytes);
        runCharset.clear();
        runBytes.clear();
    };
    qsizetype i = 0;
    while (i < s.size()) {
        EncodedWord word;
        if (s[i] == '=' && i + 1 < s.size() && s[i + 1] == '?' && readEncodedWord(s, i, word)) {
            const bool onlySpace = std::all_of(plain.cbegin(), plain.cend(), isSpace);
            if (lastWasEncoded && onlySpace && word.charset.compare(runCharset, Qt::CaseInsensitive) == 0) {
                runBytes += word.bytes;
            } else {
                flushRun();
                if (!(lastWasEncoded && onlySpace))
                    out += decodeRaw(plain);
                runCharset = word.charset;
                runBytes = word.bytes;
            }
            plain.clear();
            lastWasEncoded = true;
            i = word.end;
            continue;
        }
        plain += s[i];
        ++i;
    }
    flushRun();
    out += decodeRaw(plain);
    return out;
}

QByteArray headerField(const QByteArray &headers, const QByteArray &name)
{
    const QByteArray wanted = name.toLower() + ':';
    QByteArray value;
    bool inField = false;
    for (QByteArray line : headers.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            break; // the end of the header block
        if (isSpace(line[0])) {
            if (inField)
                value += line;
            continue;
        }
        if (inField)
            break;
        if (line.toLower().startsWith(wanted)) {
            inField = true;
            value = line.mid(wanted.size());
        }
    }
    return value.trimmed();
}

QString senderName(const QByteArray &rawFrom)
{
    QByteArray from = unfold(rawFrom).trimmed();
    // Only the first of several mailboxes.
    if (const qsizetype comma = findOutside(from, ','); comma >= 0) {
        // A comma before any address is part of an unquoted name.
        if (findOutside(from.left(comma), '<') >= 0 || findOutside(from.left(comma), '@') >= 0)
            from.truncate(comma);
    }
    QByteArray name, address;
    if (const qsizetype lt = findOutside(from, '<'); lt >= 0) {
        name = from.left(lt);
        const qsizetype gt = from.indexOf('>', lt);
        address = from.mid(lt + 1, gt < 0 ? -1 : gt - lt - 1);
    } else if (const qsizetype paren = findOutside(from, '('); paren >= 0) {
        address = from.left(paren);
        const qsizetype close = from.lastIndexOf(')');
        name = from.mid(paren + 1, close > paren ? close - paren - 1 : -1);
    } else {
        address = from;
    }
    const QString display = decodeHeader(unquote(name)).trimmed();
    if (!display.isEmpty())
        return display;
    return decodeHeader(unquote(address)).trimmed();
}

} // namespace kestrova::mail
