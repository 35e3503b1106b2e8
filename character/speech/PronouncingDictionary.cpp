#include "PronouncingDictionary.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace kestrova::character {

namespace {

// The word of a line: up to the first blank, without "(2)".
std::string_view wordOf(const char *line, const char *end)
{
    const char *p = line;
    while (p < end && *p != ' ' && *p != '\t' && *p != '\n')
        ++p;
    std::string_view word(line, std::size_t(p - line));
    const std::size_t paren = word.find('(');
    if (paren != std::string_view::npos && paren > 0 && word.back() == ')')
        word = word.substr(0, paren);
    return word;
}

} // namespace

bool PronouncingDictionary::load(const QString &path, QString *error)
{
    release();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    m_text = file.readAll();
    if (!m_text.endsWith('\n'))
        m_text.append('\n');
    const char *data = m_text.constData();
    for (qsizetype at = 0; at < m_text.size();) {
        const qsizetype next = m_text.indexOf('\n', at);
        if (next > at && data[at] != '#' && data[at] != ' ')
            m_lines.push_back(std::uint32_t(at));
        at = next + 1;
    }
    // The file is nearly sorted but not quite ("a's" before "a(2)"): sorted
    // here, keeping the file's order of readings.
    std::stable_sort(m_lines.begin(), m_lines.end(),
                     [this](std::uint32_t a, std::uint32_t b) { return keyAt(a) < keyAt(b); });
    return true;
}

void PronouncingDictionary::release()
{
    m_text = QByteArray();
    std::vector<std::uint32_t>().swap(m_lines);
}

std::string_view PronouncingDictionary::keyAt(std::uint32_t line) const
{
    return wordOf(m_text.constData() + line, m_text.constData() + m_text.size());
}

QStringList PronouncingDictionary::readings(const QString &word) const
{
    QStringList out;
    const QByteArray utf8 = word.toUtf8();
    const std::string_view key(utf8.constData(), std::size_t(utf8.size()));
    auto it = std::lower_bound(m_lines.begin(), m_lines.end(), key,
                               [this](std::uint32_t line, std::string_view k) { return keyAt(line) < k; });
    for (; it != m_lines.end() && keyAt(*it) == key; ++it) {
        const char *line = m_text.constData() + *it;
        const char *end = static_cast<const char *>(std::memchr(line, '\n', std::size_t(m_text.size() - *it)));
        const QByteArray text = QByteArray(line, end - line).simplified();
        const qsizetype blank = text.indexOf(' ');
        if (blank > 0)
            out << QString::fromLatin1(text.mid(blank + 1));
    }
    return out;
}

QString PronouncingDictionary::phones(const QString &word) const
{
    const QStringList all = readings(word);
    return all.isEmpty() ? QString() : all.first();
}

} // namespace kestrova::character
