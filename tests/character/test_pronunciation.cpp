// Pronunciations for words the recogniser's dictionary lacks, checked against
// the real US English dictionary and the model's phone set.

#include "Pronunciation.h"

#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>

#include <algorithm>
#include <vector>

using namespace kestrova::character;

namespace {

const QString DictionaryPath = QStringLiteral("/usr/share/pocketsphinx/model/en-us/cmudict-en-us.dict");

struct Dictionary {
    QHash<QString, QStringList> pronunciations;  // first entry first
    QSet<QString> phones;                        // every phone it uses
};

const Dictionary &dictionary()
{
    static const Dictionary dict = [] {
        Dictionary d;
        QFile file(DictionaryPath);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return d;
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).trimmed();
            const qsizetype blank = line.indexOf(u' ');
            if (blank <= 0)
                continue;
            QString word = line.left(blank);
            if (const qsizetype paren = word.indexOf(u'('); paren > 0)
                word.truncate(paren);
            const QString phones = line.mid(blank + 1).simplified();
            d.pronunciations[word].append(phones);
            for (const QString &phone : phones.split(u' '))
                d.phones.insert(phone);
        }
        return d;
    }();
    return dict;
}

// The dictionary as the recogniser sees it, less one word so that words it
// does know can stand in for ones it does not.
PhoneLookup lookupWithout(const QString &hidden)
{
    return [hidden](const QString &word) {
        if (word == hidden)
            return QString();
        return dictionary().pronunciations.value(word).value(0);
    };
}

QString phonesOf(const QStringList &words)
{
    QStringList phones;
    for (const QString &word : words)
        phones << dictionary().pronunciations.value(word).value(0);
    return phones.join(u' ');
}

int editDistance(const QString &a, const QString &b)
{
    const QStringList x = a.split(u' ', Qt::SkipEmptyParts);
    const QStringList y = b.split(u' ', Qt::SkipEmptyParts);
    std::vector<int> row(size_t(y.size()) + 1);
    for (size_t j = 0; j < row.size(); ++j)
        row[j] = int(j);
    for (qsizetype i = 1; i <= x.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= y.size(); ++j) {
            const int above = row[size_t(j)];
            row[size_t(j)] = std::min({above + 1, row[size_t(j - 1)] + 1,
                                       diagonal + (x[i - 1] == y[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row.back();
}

QStringList phonesOutsideModel(const QString &phones)
{
    QStringList outside;
    for (const QString &phone : phones.split(u' ', Qt::SkipEmptyParts)) {
        if (!dictionary().phones.contains(phone))
            outside << phone;
    }
    return outside;
}

} // namespace

class TestPronunciation : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (dictionary().pronunciations.isEmpty())
            QSKIP("the US English dictionary is not installed");
        // The model's 39 phones; anything else in the file would mean a
        // misread dictionary and meaningless results below.
        QCOMPARE(dictionary().phones.size(), 39);
    }

    void emptyWord()
    {
        QCOMPARE(letterToSound(QString()), QString());
        QCOMPARE(guessPronunciation(QString(), lookupWithout({})), QString());
    }

    // Compounds and digits, with the word itself hidden from the lookup.
    void guess_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QStringList>("parts");
        QTest::newRow("two words") << "wordpad" << QStringList{"word", "pad"};
        QTest::newRow("short first word") << "myoffice" << QStringList{"my", "office"};
        QTest::newRow("initialism and word") << "bbcnews" << QStringList{"bbc", "news"};
        QTest::newRow("hidden compound") << "notepad" << QStringList{"note", "pad"};
        QTest::newRow("single letter word") << "ifix" << QStringList{"i", "fix"};
        QTest::newRow("shortest part longest") << "paintshop" << QStringList{"paint", "shop"};
        QTest::newRow("longer parts win") << "outlookexpress" << QStringList{"outlook", "express"};
        QTest::newRow("letters then digit") << "mp3" << QStringList{"m", "p", "three"};
        QTest::newRow("word then number") << "win10" << QStringList{"win", "ten"};
        QTest::newRow("number") << "42" << QStringList{"forty", "two"};
        QTest::newRow("hundreds") << "office365"
                                  << QStringList{"office", "three", "hundred", "sixty", "five"};
        QTest::newRow("thousands") << "2020" << QStringList{"two", "thousand", "twenty"};
        QTest::newRow("leading zero") << "007" << QStringList{"zero", "zero", "seven"};
        QTest::newRow("teen") << "ps13" << QStringList{"p", "s", "thirteen"};
        QTest::newRow("vowel letters then digit") << "ue4" << QStringList{"u", "e", "four"};
    }
    void guess()
    {
        QFETCH(QString, word);
        QFETCH(QStringList, parts);
        QCOMPARE(guessPronunciation(word, lookupWithout(word)), phonesOf(parts));
    }

    // Words nothing in the dictionary accounts for still get a usable
    // pronunciation.
    void unknownNames_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("ending");
        QTest::newRow("name") << "kestrova" << QString();
        QTest::newRow("office suite") << "libreoffice" << phonesOf({"office"});
        QTest::newRow("vowelless") << "vlc" << phonesOf({"v", "l", "c"});
        QTest::newRow("long vowelless") << "xkcdq" << QString();
    }
    void unknownNames()
    {
        QFETCH(QString, word);
        QFETCH(QString, ending);
        const QString phones = guessPronunciation(word, lookupWithout(word));
        QVERIFY(!phones.isEmpty());
        QVERIFY2(phonesOutsideModel(phones).isEmpty(), qPrintable(phones));
        QVERIFY2(phones.endsWith(ending), qPrintable(phones));
    }

    void misspellingSoundsLikeTheWord()
    {
        const QString phones = letterToSound(QStringLiteral("calender"));
        QVERIFY2(phonesOutsideModel(phones).isEmpty(), qPrintable(phones));
        QVERIFY2(editDistance(phones, phonesOf({"calendar"})) <= 2, qPrintable(phones));
    }

    // The rules against the dictionary on a fixed sample of its plain words.
    void rulesAgreeWithDictionary()
    {
        QStringList words;
        for (auto it = dictionary().pronunciations.cbegin(); it != dictionary().pronunciations.cend(); ++it) {
            if (std::all_of(it.key().cbegin(), it.key().cend(),
                            [](QChar c) { return c >= u'a' && c <= u'z'; }))
                words << it.key();
        }
        words.sort();
        QRandomGenerator random(20240611);
        QSet<QString> sample;
        while (sample.size() < 500)
            sample.insert(words.at(random.bounded(int(words.size()))));

        int exact = 0, distance = 0;
        for (const QString &word : std::as_const(sample)) {
            const QString phones = letterToSound(word);
            QVERIFY2(!phones.isEmpty(), qPrintable(word));
            QVERIFY2(phonesOutsideModel(phones).isEmpty(), qPrintable(word + QStringLiteral(": ") + phones));
            int best = INT_MAX;
            for (const QString &entry : dictionary().pronunciations.value(word))
                best = std::min(best, editDistance(phones, entry));
            exact += best == 0;
            distance += best;
        }
        const double share = double(exact) / sample.size();
        const double average = double(distance) / sample.size();
        qInfo("letter-to-sound on %d dictionary words: %.1f%% exact, %.2f phones apart on average",
              int(sample.size()), 100 * share, average);
        QVERIFY2(share >= 0.65, qPrintable(QString::number(share)));
        QVERIFY2(average <= 0.5, qPrintable(QString::number(average)));
    }
};

QTEST_MAIN(TestPronunciation)
#include "test_pronunciation.moc"
