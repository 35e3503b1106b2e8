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

// Whether the phones `a` become `b` by changing, leaving out or putting in
// exactly one.
bool onePhoneApart(const std::vector<std::string_view> &a, const std::vector<std::string_view> &b)
{
    const std::size_t m = a.size(), n = b.size();
    if (m > n + 1 || n > m + 1)
        return false;
    std::size_t k = 0;
    while (k < m && k < n && a[k] == b[k])
        ++k;
    if (m == n) {
        if (k == n)
            return false; // the same
        return std::equal(a.begin() + std::ptrdiff_t(k) + 1, a.end(), b.begin() + std::ptrdiff_t(k) + 1);
    }
    if (m + 1 == n) // one put in
        return std::equal(a.begin() + std::ptrdiff_t(k), a.end(), b.begin() + std::ptrdiff_t(k) + 1);
    return std::equal(a.begin() + std::ptrdiff_t(k) + 1, a.end(), b.begin() + std::ptrdiff_t(k)); // one left out
}

// Whether `b` is another ending on a long word's stem: the phones of `a`
// but its last two, at least five, then an ending other than `a`'s own
// ("calculation", "calculating" for "calculator"). A person says such a
// word meaning something else, and a decoder that knows only the command
// hears the command in it. A shorter stem is too little of the word: "bbq"
// would stand against "bbc", and took some of its right hearings.
bool otherEnding(const std::vector<std::string_view> &a, const std::vector<std::string_view> &b)
{
    constexpr std::size_t ShortestStem = 5, Ending = 2;
    if (a.size() < ShortestStem + Ending || b.size() <= a.size() - Ending)
        return false;
    const std::size_t stem = a.size() - Ending;
    if (!std::equal(a.begin(), a.begin() + std::ptrdiff_t(stem), b.begin()))
        return false;
    // Not the word itself, nor the word with more at its end.
    return !(b.size() >= a.size() && std::equal(a.begin(), a.end(), b.begin()));
}

std::vector<std::string_view> splitPhones(const char *p, const char *end)
{
    std::vector<std::string_view> out;
    while (p < end) {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\r'))
            ++p;
        const char *start = p;
        while (p < end && *p != ' ' && *p != '\t' && *p != '\r')
            ++p;
        if (p > start)
            out.emplace_back(start, std::size_t(p - start));
    }
    return out;
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

std::vector<std::vector<PronouncingDictionary::WordReading>>
PronouncingDictionary::wordsSoundingLike(const QStringList &readings,
                                         const std::function<bool(std::string_view)> &wanted) const
{
    std::vector<std::vector<WordReading>> out(std::size_t(readings.size()));
    std::vector<QByteArray> texts;
    std::vector<std::vector<std::string_view>> targets;
    for (const QString &r : readings)
        texts.push_back(r.toLatin1());
    for (const QByteArray &t : texts)
        targets.push_back(splitPhones(t.constData(), t.constData() + t.size()));
    const char *data = m_text.constData();
    const char *textEnd = data + m_text.size();
    for (const std::uint32_t at : m_lines) {
        const char *line = data + at;
        const char *end = static_cast<const char *>(std::memchr(line, '\n', std::size_t(textEnd - line)));
        const std::string_view word = wordOf(line, end);
        if (!wanted(word))
            continue;
        const char *p = line;
        while (p < end && *p != ' ' && *p != '\t')
            ++p;
        const std::vector<std::string_view> phones = splitPhones(p, end);
        if (phones.empty())
            continue;
        for (std::size_t t = 0; t < targets.size(); ++t) {
            if (!onePhoneApart(targets[t], phones) && !otherEnding(targets[t], phones))
                continue;
            QString reading;
            for (const std::string_view &ph : phones) {
                if (!reading.isEmpty())
                    reading += u' ';
                reading += QString::fromLatin1(ph.data(), qsizetype(ph.size()));
            }
            out[t].emplace_back(QString::fromUtf8(word.data(), qsizetype(word.size())), reading);
        }
    }
    return out;
}

} // namespace kestrova::character
