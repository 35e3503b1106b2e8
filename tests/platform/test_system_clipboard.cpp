// The desktop's clipboard and selection as the program reads them. Run on
// the offscreen platform, which like a Wayland session without a primary
// selection has only the clipboard: the selected text is the clipboard's.
// The X11 primary selection, owned by another program, is read under Xvfb
// by tests/e2e/selection_under_xvfb.sh.
#include "SystemPlatform.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>

using namespace kestrova;

class TestSystemClipboard : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void withoutASelectionTheClipboardIsRead();
};

void TestSystemClipboard::withoutASelectionTheClipboardIsRead()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    QVERIFY(!clipboard->supportsSelection());
    SystemClipboard system;
    QList<std::optional<QString>> answers;
    const auto take = [&answers](const std::optional<QString> &text) { answers << text; };
    clipboard->clear();
    system.readSelectedText(nullptr, take);
    QCOMPARE(answers, QList<std::optional<QString>>{QString()});
    clipboard->setText(QStringLiteral("copied \u202etext"));
    QCOMPARE(system.text(), QStringLiteral("copied \u202etext"));
    // Answered at once: there is no owner to wait for.
    system.readSelectedText(this, take);
    QCOMPARE(answers.size(), 2);
    QCOMPARE(answers.at(1), std::optional<QString>(QStringLiteral("copied \u202etext")));
}

QTEST_MAIN(TestSystemClipboard)
#include "test_system_clipboard.moc"
