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
    clipboard->clear();
    QCOMPARE(system.selectedText(), QString());
    clipboard->setText(QStringLiteral("copied \u202etext"));
    QCOMPARE(system.text(), QStringLiteral("copied \u202etext"));
    QCOMPARE(system.selectedText(), QStringLiteral("copied \u202etext"));
}

QTEST_MAIN(TestSystemClipboard)
#include "test_system_clipboard.moc"
