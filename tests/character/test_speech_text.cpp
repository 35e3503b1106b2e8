// Speech texts: the program's own phrases keep their alternatives and tags;
// text from outside the program is said and shown as it stands, cleaned of
// control characters and direction overrides, and cut when very long.
#include "SpeechText.h"

#include <QTest>

using namespace kestrova::character;

namespace {

// Picks the last alternative: a text wrongly split shows in what is said.
const PickIndex Last = [](int count) { return count - 1; };

bool hasControlOrOverride(const QString &s)
{
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F) || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069))
            return true;
    }
    return false;
}

} // namespace

class TestSpeechText : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void outsidePiecesAreLiteralAndClean_data();
    void outsidePiecesAreLiteralAndClean();
    void longPiecesAreCut();
    void ownPhrasesAreSaidAsBefore_data();
    void ownPhrasesAreSaidAsBefore();
    void logShowsOwnTextAndCleanPieces();
};

void TestSpeechText::outsidePiecesAreLiteralAndClean_data()
{
    QTest::addColumn<QString>("piece");
    QTest::addColumn<QString>("expected");
    QTest::newRow("bars") << "a|b|c" << "a|b|c";
    QTest::newRow("a sentence passed off as the character's")
        << "x|Your mail password has expired. Type it into the box now.|y"
        << "x|Your mail password has expired. Type it into the box now.|y";
    QTest::newRow("map tag") << "\\Map=\"I love you\"=\"Quarterly report\"\\"
                             << "\\Map=\"I love you\"=\"Quarterly report\"\\";
    QTest::newRow("other tags and a doubled backslash") << "\\Pau=900\\ \\\\ \\Spd=50\\" << "\\Pau=900\\ \\\\ \\Spd=50\\";
    QTest::newRow("bell and colour") << "Ring\x07 \x1b[1;31mred\x1b[0m!" << "Ring red!";
    QTest::newRow("window title sequence") << "a\x1b]0;pwned\x07z" << "az";
    QTest::newRow("title sequence ended by ST") << "a\x1b]2;pwned\x1b\\z" << "az";
    QTest::newRow("unended title sequence keeps its text") << "a\x1b]0;rest" << "a0;rest";
    QTest::newRow("eight-bit CSI") << QStringLiteral("a\u009b31mb") << "ab";
    QTest::newRow("C1 and DEL") << QStringLiteral("a\u0085b\u008dc\u007fd") << "a bcd";
    QTest::newRow("right-to-left override") << QStringLiteral("report\u202etxt.exe") << "reporttxt.exe";
    QTest::newRow("isolates and embeddings") << QStringLiteral("\u2067abc\u2069 \u202bdef\u202c \u200fg") << "abc def g";
    QTest::newRow("line breaks and tabs") << "first\r\n\tsecond\n\nthird" << "first second third";
    QTest::newRow("blanks kept") << "  Robin  " << "  Robin  ";
    QTest::newRow("forged end mark") << QStringLiteral("a\ufdd1|\\Map=\"p\"=\"q\"\\") << "a|\\Map=\"p\"=\"q\"\\";
    QTest::newRow("forged start mark") << QStringLiteral("\ufdd0x|y") << "x|y";
    QTest::newRow("broken surrogate") << QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b") << "ab";
    QTest::newRow("emoji kept") << QStringLiteral("tea \U0001F375") << QStringLiteral("tea \U0001F375");
    QTest::newRow("nothing") << "" << "";
}

void TestSpeechText::outsidePiecesAreLiteralAndClean()
{
    QFETCH(QString, piece);
    QFETCH(QString, expected);
    const QString text = QStringLiteral("Subject ") + outsideText(piece) + QStringLiteral(" end");
    QCOMPARE(speechAlternatives(text).size(), 1);
    const SpeechText said = parseSpeech(text, Last);
    QCOMPARE(said.spoken, QStringLiteral("Subject ") + expected + QStringLiteral(" end"));
    QCOMPARE(said.shown, said.spoken);
    QVERIFY(!hasControlOrOverride(said.spoken));
    QCOMPARE(speechForLog(text), said.shown);
}

void TestSpeechText::longPiecesAreCut()
{
    QString words;
    while (words.size() < 5000)
        words += QStringLiteral("word ");
    const SpeechText said = parseSpeech(QStringLiteral("Subject ") + outsideText(words));
    QVERIFY(said.shown.size() <= 8 + MaxOutsideChars);
    QVERIFY(said.shown.size() > MaxOutsideChars - 40);
    QVERIFY(said.shown.endsWith(u"word\u2026")); // cut between words
    QCOMPARE(said.spoken, said.shown);

    // One long word, of characters outside the basic plane: never half of one.
    QString emoji;
    for (int i = 0; i < 400; ++i)
        emoji += QStringLiteral("\U0001F375");
    const QString cut = parseSpeech(outsideText(emoji)).shown;
    QVERIFY(cut.size() <= MaxOutsideChars);
    QVERIFY(cut.endsWith(QChar(0x2026)));
    const QString kept = cut.chopped(1);
    QCOMPARE(kept.size() % 2, 0);
    QVERIFY(kept.at(kept.size() - 1).isLowSurrogate());
}

void TestSpeechText::ownPhrasesAreSaidAsBefore_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("alternatives");
    QTest::addColumn<QString>("spoken");
    QTest::addColumn<QString>("shown");
    QTest::newRow("alternatives") << "Huh?|What?|Say Again?" << 3 << "Say Again?" << "Say Again?";
    QTest::newRow("version with map tags")
        << "This is version 1\\Map=\"point\"=\".\"\\0\\Map=\"point\"=\".\"\\0 of Kestrova." << 1
        << "This is version 1point0point0 of Kestrova." << "This is version 1.0.0 of Kestrova.";
    QTest::newRow("alternatives around a name")
        << QStringLiteral("Hello|Hi ") + outsideText(QStringLiteral("a|b")) + QStringLiteral(", welcome") << 2
        << "Hi a|b, welcome" << "Hi a|b, welcome";
    // A tag of the program's own left open ends where an outside piece
    // starts: the piece is not read as the tag's arguments.
    QTest::newRow("open tag before a piece")
        << QStringLiteral("Say \\Map=\"x\"=") + outsideText(QStringLiteral("\"evil\"\\|z")) << 1
        << "Say x\"evil\"\\|z" << "Say \"evil\"\\|z";
}

void TestSpeechText::ownPhrasesAreSaidAsBefore()
{
    QFETCH(QString, text);
    QFETCH(int, alternatives);
    QFETCH(QString, spoken);
    QFETCH(QString, shown);
    QCOMPARE(speechAlternatives(text).size(), alternatives);
    const SpeechText said = parseSpeech(text, Last);
    QCOMPARE(said.spoken, spoken);
    QCOMPARE(said.shown, shown);
}

void TestSpeechText::logShowsOwnTextAndCleanPieces()
{
    const QString text = QStringLiteral("Hello|Hi ") + outsideText(QStringLiteral("Ann\x1b[2J\u202e|x"));
    QCOMPARE(speechForLog(text), QStringLiteral("Hello|Hi Ann|x"));
}

QTEST_MAIN(TestSpeechText)
#include "test_speech_text.moc"
