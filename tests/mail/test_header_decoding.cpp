// Header values as real mail writes them, decoded for speaking.

#include "HeaderDecoding.h"

#include <QtTest>

using namespace kestrova::mail;

class TestHeaderDecoding : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void decodeHeader_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << QByteArray("Lunch on Friday") << QStringLiteral("Lunch on Friday");
        QTest::newRow("B utf-8") << QByteArray("=?UTF-8?B?R3LDvMOfZQ==?=") << QStringLiteral("Grüße");
        QTest::newRow("Q latin-1, underscore is a blank")
            << QByteArray("=?iso-8859-1?q?Andr=E9_M=FCller?=") << QStringLiteral("André Müller");
        QTest::newRow("padded B words joined")
            << QByteArray("=?UTF-8?B?YQ==?= =?UTF-8?B?Yg==?=") << QStringLiteral("ab");
        QTest::newRow("blank between words dropped, around kept")
            << QByteArray("Re: =?UTF-8?Q?a?=  \t =?UTF-8?Q?b?= end") << QStringLiteral("Re: ab end");
        QTest::newRow("folded between words")
            << QByteArray("=?UTF-8?Q?one_?=\r\n =?UTF-8?Q?two?=") << QStringLiteral("one two");
        QTest::newRow("folded plain text") << QByteArray("a long\r\n\tsubject") << QStringLiteral("a long\tsubject");
        QTest::newRow("multibyte split across words")
            << QByteArray("=?UTF-8?B?S8O=?= =?UTF-8?B?tmxu?=") << QStringLiteral("Köln");
        QTest::newRow("multibyte split across Q words")
            << QByteArray("=?UTF-8?Q?K=C3?= =?UTF-8?Q?=B6ln?=") << QStringLiteral("Köln");
        QTest::newRow("different charsets side by side")
            << QByteArray("=?ISO-8859-1?Q?=E9?= =?KOI8-R?B?8NLJ18XU?=") << QStringLiteral("éПривет");
        QTest::newRow("iso-2022-jp") << QByteArray("=?ISO-2022-JP?B?GyRCJDMkcyRLJEEkTxsoQg==?=")
                                     << QStringLiteral("こんにちは");
        QTest::newRow("windows-1252 quotes") << QByteArray("=?windows-1252?Q?=93hi=94?=") << QStringLiteral("“hi”");
        QTest::newRow("language suffix") << QByteArray("=?UTF-8*en?Q?hello?=") << QStringLiteral("hello");
        QTest::newRow("raw utf-8") << QByteArray("Caf\xc3\xa9") << QStringLiteral("Café");
        QTest::newRow("raw latin-1 read as windows-1252")
            << QByteArray("Caf\xe9 \x80 5") << QStringLiteral("Café € 5");
        QTest::newRow("unknown charset falls back to the bytes")
            << QByteArray("=?x-nonesuch?Q?abc?=") << QStringLiteral("abc");
        QTest::newRow("not an encoded word") << QByteArray("=?UTF-8?X?abc?= and =? alone")
                                             << QStringLiteral("=?UTF-8?X?abc?= and =? alone");
        QTest::newRow("blank inside is no encoded word")
            << QByteArray("=?UTF-8?Q?a b?=") << QStringLiteral("=?UTF-8?Q?a b?=");
        QTest::newRow("bad Q escape kept") << QByteArray("=?UTF-8?Q?100=Z?=") << QStringLiteral("100=Z");
        QTest::newRow("empty") << QByteArray() << QString();
    }
    void decodeHeader()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QString, text);
        QCOMPARE(kestrova::mail::decodeHeader(raw), text);
    }

    void senderName_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QString>("name");
        QTest::newRow("name and address") << QByteArray("Ann Example <ann@example.org>") << QStringLiteral("Ann Example");
        QTest::newRow("quoted name") << QByteArray("\"Example, Ann\" <ann@example.org>") << QStringLiteral("Example, Ann");
        QTest::newRow("escaped quote") << QByteArray("\"Ann \\\"A\\\" E\" <a@x.org>") << QStringLiteral("Ann \"A\" E");
        QTest::newRow("encoded name") << QByteArray("=?UTF-8?B?R3LDvMOfZQ==?= <g@x.org>") << QStringLiteral("Grüße");
        QTest::newRow("encoded word inside quotes")
            << QByteArray("\"=?KOI8-R?B?8NLJ18XU?=\" <ivan@example.org>") << QStringLiteral("Привет");
        QTest::newRow("address only") << QByteArray("bob@example.org") << QStringLiteral("bob@example.org");
        QTest::newRow("address in brackets") << QByteArray("<bob@example.org>") << QStringLiteral("bob@example.org");
        QTest::newRow("empty quoted name") << QByteArray("\"\" <bob@example.org>") << QStringLiteral("bob@example.org");
        QTest::newRow("comment name") << QByteArray("bob@example.org (Bob Jones)") << QStringLiteral("Bob Jones");
        QTest::newRow("empty comment") << QByteArray("bob@example.org ()") << QStringLiteral("bob@example.org");
        QTest::newRow("first of several")
            << QByteArray("Ann <ann@x.org>, Bob <bob@x.org>") << QStringLiteral("Ann");
        QTest::newRow("folded") << QByteArray("Ann\r\n Example <ann@x.org>") << QStringLiteral("Ann Example");
        QTest::newRow("raw latin-1 name") << QByteArray("Andr\xe9 <a@x.org>") << QStringLiteral("André");
        QTest::newRow("angle bracket in quotes")
            << QByteArray("\"a <b>\" <c@x.org>") << QStringLiteral("a <b>");
    }
    void senderName()
    {
        QFETCH(QByteArray, from);
        QFETCH(QString, name);
        QCOMPARE(kestrova::mail::senderName(from), name);
    }

    void headerField_data()
    {
        QTest::addColumn<QByteArray>("headers");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("value");
        const QByteArray h = "Received: x\r\nFROM:  Ann <a@x.org>\r\nSubject: one\r\n two\r\nX-Subject: no\r\n\r\n"
                             "Subject: body\r\n";
        QTest::newRow("case-insensitive name") << h << QByteArray("From") << QByteArray("Ann <a@x.org>");
        QTest::newRow("continuation kept") << h << QByteArray("Subject") << QByteArray("one two");
        QTest::newRow("missing") << QByteArray("From: a\n\n") << QByteArray("Subject") << QByteArray();
        QTest::newRow("not past the blank line")
            << QByteArray("From: a\n\nSubject: b\n") << QByteArray("Subject") << QByteArray();
        QTest::newRow("bare newlines") << QByteArray("Subject: a\n\tb\nFrom: c\n") << QByteArray("subject")
                                       << QByteArray("a\tb");
    }
    void headerField()
    {
        QFETCH(QByteArray, headers);
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, value);
        QCOMPARE(kestrova::mail::headerField(headers, name), value);
    }
};

QTEST_GUILESS_MAIN(TestHeaderDecoding)
#include "test_header_decoding.moc"
