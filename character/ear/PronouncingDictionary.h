#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <utility>
#include <string_view>
#include <vector>

namespace kestrova::character {

// A pronouncing dictionary in the CMU format ("word PH ON ES", alternative
// readings as "word(2) ..."), read whole into memory to look words up while
// a grammar is built, then let go: the decoder is given only the words its
// grammars use, not the whole 134,000-word dictionary.
class PronouncingDictionary {
public:
    // False, with *error, when the file cannot be read.
    bool load(const QString &path, QString *error = nullptr);
    bool isLoaded() const { return !m_text.isEmpty(); }
    void release();

    // Every reading of a lower-case word, the first one first: phones
    // upper case, one blank apart. Empty when the word is not there.
    QStringList readings(const QString &word) const;
    // The first reading, or empty.
    QString phones(const QString &word) const;
    // Per reading asked for (phones one blank apart), the words that sound
    // like it and `wanted` accepts: a reading one phone away (one phone
    // changed, left out or put in), or, for a reading of seven phones or
    // more, another ending on all of it but its last two ("calculation"
    // for "calculator"). Word and reading, in dictionary order. One pass
    // over the dictionary for all of them.
    using WordReading = std::pair<QString, QString>;
    std::vector<std::vector<WordReading>> wordsSoundingLike(const QStringList &readings,
                                                            const std::function<bool(std::string_view)> &wanted) const;

private:
    std::string_view keyAt(std::uint32_t line) const;
    QByteArray m_text;
    std::vector<std::uint32_t> m_lines; // line starts, sorted by word and then file order
};

} // namespace kestrova::character
