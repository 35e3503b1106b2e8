// Finding the programs a Linux user means: the installed applications the
// Browse chooser offers, a bare program name or desktop entry id typed as a
// command, and the file dialog's filters.
#include "ApplicationChooser.h"
#include "DesktopApplications.h"
#include "SystemPlatform.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>
#include <QUrl>

using namespace kestrova;

namespace {

bool writeFile(const QString &path, const QByteArray &content, bool executable = false)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
        return false;
    f.close();
    return !executable || f.setPermissions(f.permissions() | QFile::ExeOwner | QFile::ExeUser);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class RecordingHandlers final : public DesktopHandlers {
public:
    QStringList log;
    bool openUrl(const QUrl &url) override { log << "url " + url.toString(); return true; }
    bool openDocument(const QString &path) override { log << "doc " + path; return true; }
    bool hasDocumentHandler(const QString &) override { return false; }
};

// Sets environment variables for one scope and puts them back after it.
class ScopedEnv {
public:
    void set(const char *name, const QByteArray &value)
    {
        m_saved.append({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        for (auto it = m_saved.crbegin(); it != m_saved.crend(); ++it) {
            if (it->wasSet)
                qputenv(it->name, it->value);
            else
                qunsetenv(it->name);
        }
    }

private:
    struct Saved {
        const char *name;
        QByteArray value;
        bool wasSet;
    };
    QList<Saved> m_saved;
};

} // namespace

class TestProgramChoice : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); QVERIFY(m_dir->isValid()); }

    void menusListInstalledApplications();
    void entryIdsAreLookedUpSafely();
    void bareNamesStartPrograms();
    void filtersSuitLinux_data();
    void filtersSuitLinux();
    void chooserNarrowsAndAnswers();
    void chooserOtherFile();
    void chooserFitsASmallScreen();
    void chooserLooksAsideFromTheWindow();
    void fileColumnsShowTheirText();
    void ownerGoesWhileADialogIsOpen_data();
    void ownerGoesWhileADialogIsOpen();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString root() const { return m_dir->path(); }
};

void TestProgramChoice::menusListInstalledApplications()
{
    const QString tool = root() + "/bin/tool";
    QVERIFY(writeFile(tool, "#!/bin/sh\n", true));
    const QString home = root() + "/home", system = root() + "/system";
    auto entry = [&](const QString &dir, const QString &file, const QByteArray &body) {
        QVERIFY(writeFile(dir + "/applications/" + file, "[Desktop Entry]\n" + body));
    };
    const QByteArray exec = "Exec=\"" + tool.toUtf8() + "\" %U\n";
    entry(system, "zeta.desktop", "Type=Application\nName=zeta Tool\n" + exec);
    entry(system, "alpha.desktop", "Type=Application\nName=Alpha\nName[xx]=Other\nComment=Draws\\sthings\nIcon=alpha\n" + exec);
    entry(system, "vendor/viewer.desktop", "Type=Application\nName=Viewer\x07 Bell\n" + exec);
    // Not offered: hidden, not in menus, a link, no program, a TryExec
    // that is not installed, a group other than the entry's.
    entry(system, "hidden.desktop", "Type=Application\nName=Hidden\nHidden=true\n" + exec);
    entry(system, "nodisplay.desktop", "Type=Application\nName=NoDisplay\nNoDisplay=True\n" + exec);
    entry(system, "link.desktop", "Type=Link\nName=Link\nURL=https://example.org\n");
    entry(system, "gone.desktop", "Type=Application\nName=Gone\nExec=no-such-program-kestrova\n");
    entry(system, "tryexec.desktop", "Type=Application\nName=TryExec\nTryExec=no-such-program-kestrova\n" + exec);
    QVERIFY(writeFile(system + "/applications/action.desktop",
                      "[Desktop Action x]\nName=Action\n[Desktop Entry]\nType=Application\n" + exec));
    // The user's own entry of the same id wins, and hides the system's even
    // when it is hidden itself.
    entry(home, "zeta.desktop", "Type=Application\nName=My Zeta\n" + exec);
    entry(home, "alpha.desktop", "Type=Application\nName=Alpha\nHidden=true\n" + exec);
    entry(system, "gamma.desktop", "Type=Application\nName=gamma\n" + exec);

    const QList<DesktopEntry> apps = installedApplications({{}, {home, system}});
    QStringList seen;
    for (const DesktopEntry &e : apps)
        seen << e.id + "=" + e.name;
    QCOMPARE(seen, QStringList({"gamma.desktop=gamma", "zeta.desktop=My Zeta", "vendor-viewer.desktop=Viewer Bell"}));
    QCOMPARE(apps.at(1).path, home + "/applications/zeta.desktop");
    QCOMPARE(apps.at(2).path, system + "/applications/vendor/viewer.desktop");

    // Without the user's hidden copy, the system's entry shows, with its
    // description unescaped.
    QVERIFY(QFile::remove(home + "/applications/alpha.desktop"));
    const QList<DesktopEntry> again = installedApplications({{}, {home, system}});
    QCOMPARE(again.first().name, QString("Alpha"));
    QCOMPARE(again.first().comment, QString("Draws things"));
    QCOMPARE(again.first().icon, QString("alpha"));
    QVERIFY(installedApplications({{}, {root() + "/none"}}).isEmpty());

    // No more than asked for: the first found, in the folders' order.
    QStringList firstTwo;
    for (const DesktopEntry &e : installedApplications({{}, {home, system}}, nullptr, {2, 64 * 1024}))
        firstTwo << e.name;
    QCOMPARE(firstTwo, QStringList({"Alpha", "My Zeta"}));
    // An entry file larger than any a desktop installs is passed over.
    entry(home, "big.desktop", "Type=Application\nName=Big\n" + exec + "Comment=" + QByteArray(70 * 1024, 'x') + "\n");
    entry(home, "small.desktop", "Type=Application\nName=Small\n" + exec + "Comment=" + QByteArray(60 * 1024, 'x') + "\n");
    QStringList names;
    for (const DesktopEntry &e : installedApplications({{}, {home, system}}))
        names << e.name;
    QCOMPARE(names, QStringList({"Alpha", "gamma", "My Zeta", "Small", "Viewer Bell"}));
}

void TestProgramChoice::entryIdsAreLookedUpSafely()
{
    const QString data = root() + "/data";
    QVERIFY(writeFile(data + "/applications/org.example.App.desktop", "[Desktop Entry]\n"));
    QVERIFY(writeFile(data + "/applications/vendor/tool.desktop", "[Desktop Entry]\n"));
    QVERIFY(writeFile(root() + "/outside.desktop", "[Desktop Entry]\n"));
    QCOMPARE(desktopEntryPathForId("org.example.App.desktop", {data}), data + "/applications/org.example.App.desktop");
    QCOMPARE(desktopEntryPathForId("org.example.App", {data}), data + "/applications/org.example.App.desktop");
    QCOMPARE(desktopEntryPathForId("vendor-tool.desktop", {data}), data + "/applications/vendor/tool.desktop");
    // Ids are names, never paths out of the applications folders.
    QCOMPARE(desktopEntryPathForId("../../outside.desktop", {data}), QString());
    QCOMPARE(desktopEntryPathForId("..-outside.desktop", {data + "/applications/vendor"}), QString());
    QCOMPARE(desktopEntryPathForId(".desktop", {data}), QString());
    QCOMPARE(desktopEntryPathForId("", {data}), QString());
}

void TestProgramChoice::bareNamesStartPrograms()
{
    // A private PATH, home and data folder, with programs that leave a mark.
    const QString bin = root() + "/bin", home = root() + "/home", data = root() + "/data";
    const QString marks = root() + "/marks";
    QVERIFY(QDir().mkpath(marks));
    auto program = [&](const QString &path, const QString &mark) {
        return writeFile(path, "#!/bin/sh\necho \"$# $*\" > '" + (marks + "/" + mark).toUtf8() + "'\n", true);
    };
    QVERIFY(program(bin + "/kestrova-term", "term"));
    QVERIFY(program(home + "/scripts/mine", "home"));
    QVERIFY(program(root() + "/opt/viewer", "entry"));
    QVERIFY(writeFile(data + "/applications/org.example.Viewer.desktop",
                      "[Desktop Entry]\nType=Application\nName=Viewer\nExec=" + root().toUtf8()
                          + "/opt/viewer --new %f\n"));
    ScopedEnv env;
    env.set("PATH", bin.toLocal8Bit() + ":/usr/bin:/bin");
    env.set("HOME", home.toLocal8Bit());
    env.set("XDG_DATA_HOME", data.toLocal8Bit());
    env.set("XDG_DATA_DIRS", (root() + "/nowhere").toLocal8Bit());

    RecordingHandlers handlers;
    SystemShell shell(&handlers);
    QVERIFY(shell.open("kestrova-term"));
    QTRY_COMPARE(readFile(marks + "/term"), QByteArray("0 \n"));
    QVERIFY(shell.open("~/scripts/mine"));
    QTRY_COMPARE(readFile(marks + "/home"), QByteArray("0 \n"));
    // A desktop entry named by its id, with or without ".desktop".
    QVERIFY(shell.open("org.example.Viewer"));
    QTRY_COMPARE(readFile(marks + "/entry"), QByteArray("1 --new\n"));
    QVERIFY(QFile::remove(marks + "/entry"));
    QVERIFY(shell.open("org.example.Viewer.desktop"));
    QTRY_COMPARE(readFile(marks + "/entry"), QByteArray("1 --new\n"));
    // A program made for a terminal runs in the terminal emulator; with no
    // terminal emulator installed it is not offered at all.
    QVERIFY(program(bin + "/x-terminal-emulator", "terminal"));
    QVERIFY(writeFile(data + "/applications/kestrova-editor.desktop",
                      "[Desktop Entry]\nType=Application\nName=Editor\nTerminal=true\nExec=kestrova-term %F\n"));
    QVERIFY(shell.open("kestrova-editor"));
    QTRY_COMPARE(readFile(marks + "/terminal"), QByteArray("2 -e " + bin.toUtf8() + "/kestrova-term\n"));
    QCOMPARE(installedApplications(DesktopApplicationDirs::fromEnvironment()).size(), 2);
    QVERIFY(QFile::remove(bin + "/x-terminal-emulator"));
    env.set("PATH", bin.toLocal8Bit()); // no xterm either
    QCOMPARE(installedApplications(DesktopApplicationDirs::fromEnvironment()).size(), 1);
    QVERIFY(!shell.open("kestrova-editor.desktop"));
    env.set("PATH", bin.toLocal8Bit() + ":/usr/bin:/bin");
    // The home folder itself is a folder to show.
    QVERIFY(shell.open("~"));
    QCOMPARE(handlers.log, QStringList{"doc " + home});

    // Nothing is split off as arguments, nothing is found by a near name,
    // nothing reaches a shell.
    handlers.log.clear();
    QVERIFY(!shell.open("kestrova-term --help"));
    QVERIFY(!shell.open(" kestrova-term"));
    QVERIFY(!shell.open("kestrova-ter"));
    QVERIFY(!shell.open("kestrova-term;touch " + marks + "/shell"));
    QVERIFY(!shell.open("~nobody/scripts/mine"));
    QTest::qWait(200); // a program wrongly started would have left its mark by now
    QCOMPARE(QDir(marks).entryList(QDir::Files), QStringList({"entry", "home", "term", "terminal"}));
    QVERIFY(handlers.log.isEmpty());
}

void TestProgramChoice::filtersSuitLinux_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("filters");
    const QStringList programs{"Applications (*.desktop)", "Programs (*)", "All files (*)"};
    QTest::newRow("office browse") << "Programme files (*.exe)|*.exe|All Files (*.*)|*.*" << programs;
    QTest::newRow("open/run") << "Executable Files (*.exe)|*.exe|All Files (*.*)|*.*" << programs;
    QTest::newRow("text") << "Text (*.txt)|*.txt|All Files (*.*)|*.*"
                          << QStringList{"Text (*.txt)", "All files (*)"};
    QTest::newRow("bare pattern") << "Jokes|*.txt" << QStringList{"Jokes (*.txt)", "All files (*)"};
    QTest::newRow("empty") << "" << QStringList{"All files (*)"};
}

void TestProgramChoice::filtersSuitLinux()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, filters);
    QCOMPARE(linuxFileFilters(filter), filters);
}

namespace {
QList<DesktopEntry> sampleApps()
{
    return {{"org.example.Calculator.desktop", "/apps/calc.desktop", "Calculator", "Arithmetic", ""},
            {"gimp.desktop", "/apps/gimp.desktop", "GNU Image Manipulation Program", "Create images", ""},
            {"xterm.desktop", "/apps/xterm.desktop", "XTerm", "standard terminal emulator", ""}};
}
} // namespace

void TestProgramChoice::chooserNarrowsAndAnswers()
{
    int asked = 0;
    ApplicationChooser chooser(sampleApps(), "Select a programme to add:", [&] { ++asked; return QString(); });
    QCOMPARE(chooser.windowTitle(), QString("Select a programme to add:"));
    QCOMPARE(chooser.shownCount(), 3);
    QVERIFY(!chooser.okButton()->isEnabled());
    // By name, by description, by id; ignoring case.
    QTest::keyClicks(chooser.searchField(), "CALC");
    QCOMPARE(chooser.shownCount(), 1);
    QVERIFY(chooser.okButton()->isEnabled());
    chooser.searchField()->setText("images");
    QCOMPARE(chooser.shownCount(), 1);
    chooser.searchField()->setText("xterm");
    QCOMPARE(chooser.shownCount(), 1);
    chooser.searchField()->setText("nothing like it");
    QCOMPARE(chooser.shownCount(), 0);
    QVERIFY(!chooser.okButton()->isEnabled());
    chooser.okButton()->click(); // nothing to choose: nothing chosen
    QCOMPARE(chooser.result(), int(QDialog::Rejected));
    QCOMPARE(chooser.chosen(), QString());
    chooser.searchField()->setText("gimp");
    chooser.okButton()->click();
    QCOMPARE(chooser.result(), int(QDialog::Accepted));
    QCOMPARE(chooser.chosen(), QString("/apps/gimp.desktop"));
    QCOMPARE(asked, 0);
}

void TestProgramChoice::chooserOtherFile()
{
    QStringList answers{"", "/usr/bin/xterm"};
    int asked = 0;
    ApplicationChooser chooser(sampleApps(), "Select a file to open", [&] { return answers.at(asked++); });
    // A cancelled file dialog goes back to the list, the chooser still open.
    chooser.show();
    chooser.otherFileButton()->click();
    QCOMPARE(asked, 1);
    QVERIFY(chooser.isVisible());
    QCOMPARE(chooser.chosen(), QString());
    chooser.otherFileButton()->click();
    QCOMPARE(asked, 2);
    QCOMPARE(chooser.result(), int(QDialog::Accepted));
    QCOMPARE(chooser.chosen(), QString("/usr/bin/xterm"));
}

void TestProgramChoice::chooserFitsASmallScreen()
{
    QCOMPARE(fittedSize({460, 520}, {1920, 1080}), QSize(460, 520));
    QCOMPARE(fittedSize({900, 822}, {800, 600}), QSize(720, 540));
    ApplicationChooser chooser(installedApplications(DesktopApplicationDirs::fromEnvironment()), "t", {});
    chooser.show();
    const QRect available = chooser.screen()->availableGeometry();
    QVERIFY2(chooser.frameGeometry().height() <= available.height()
                 && chooser.frameGeometry().width() <= available.width(),
             qPrintable(QString("%1x%2 on %3x%4").arg(chooser.frameGeometry().width()).arg(chooser.frameGeometry().height())
                            .arg(available.width()).arg(available.height())));
}

void TestProgramChoice::chooserLooksAsideFromTheWindow()
{
    // 100,000 desktop entries, one in a thousand shown in menus.
    const QString tool = root() + "/bin/tool";
    QVERIFY(writeFile(tool, "#!/bin/sh\n", true));
    const QString data = root() + "/data";
    QVERIFY(QDir().mkpath(data + "/applications"));
    const QByteArray exec = "Exec=" + tool.toUtf8() + "\n";
    for (int i = 0; i < 100000; ++i) {
        const QByteArray number = QByteArray::number(i).rightJustified(5, '0');
        QFile f(data + "/applications/app" + number + ".desktop");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Desktop Entry]\nType=Application\nName=App " + number + "\n" + exec
                + (i % 1000 == 7 ? "" : "NoDisplay=true\n"));
    }
    const DesktopApplicationDirs dirs{{}, {data}};

    // Closed while it looks: the search stops, nothing comes later.
    {
        auto *early = new ApplicationChooser(dirs, "t", {});
        QSignalSpy found(early, &ApplicationChooser::applicationsFound);
        early->show();
        QTest::qWait(20);
        early->reject();
        QVERIFY(!early->isVisible());
        QTest::qWait(50);
        QCOMPARE(found.count(), 0);
        QCOMPARE(early->list()->count(), 0);
        delete early;
        // And one destroyed outright.
        delete new ApplicationChooser(dirs, "t", {});
    }

    // The window's events go on while it looks: a timer of 10 ms never
    // waits long, from before the chooser is made until the list is there.
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    int ticks = 0;
    QTimer tick;
    tick.setInterval(10);
    connect(&tick, &QTimer::timeout, this, [&] {
        longest = qMax(longest, sinceTick.restart());
        ++ticks;
    });
    sinceTick.start();
    tick.start();
    ApplicationChooser chooser(dirs, "t", {});
    QSignalSpy found(&chooser, &ApplicationChooser::applicationsFound);
    chooser.show();
    QVERIFY(!chooser.searched());
    const auto shownTexts = [&chooser] {
        QStringList texts;
        for (const QLabel *label : chooser.findChildren<QLabel *>())
            if (label->isVisible())
                texts << label->text();
        return texts;
    };
    QVERIFY2(shownTexts().contains(QString("Looking for applications…")), qPrintable(shownTexts().join(" | ")));
    // Typed while it looks; it narrows the list once there.
    QTest::keyClicks(chooser.searchField(), "App 01");
    QVERIFY(found.wait(300000));
    const qint64 gap = qMax(longest, sinceTick.elapsed());
    tick.stop();
    QVERIFY(chooser.searched());
    QVERIFY2(gap < 1000, qPrintable(QString("the longest wait between ticks was %1 ms (%2 ticks)").arg(gap).arg(ticks)));
    QCOMPARE(chooser.list()->count(), 100);
    QCOMPARE(chooser.list()->item(0)->text(), QString("App 00007"));
    QCOMPARE(chooser.list()->item(99)->text(), QString("App 99007"));
    QCOMPARE(chooser.shownCount(), 1);
    QCOMPARE(shownTexts(), QStringList({"&Search:"}));
    chooser.okButton()->click();
    QCOMPARE(chooser.chosen(), data + "/applications/app01007.desktop");
}

// The file dialog's Size and Type columns are as wide as what they show
// ("287 bytes", not "287…tes"), as are their headings.
void TestProgramChoice::fileColumnsShowTheirText()
{
    QVERIFY(writeFile(root() + "/notes.txt", QByteArray(287, 'x')));
    QVERIFY(writeFile(root() + "/a rather long name for a report.odt", QByteArray(123456, 'y')));
    // Opened first where there is little to show, then taken to the files;
    // the list in a larger face than the one the dialog was made with (the
    // desktop's, or a user's choice).
    QVERIFY(QDir(root()).mkpath("Folder/a"));
    QFileDialog dialog(nullptr, "Select a file to open", root() + "/Folder");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setViewMode(QFileDialog::Detail);
    fitFileColumns(dialog);
    dialog.resize(640, 480);
    dialog.show();
    auto *tree = dialog.findChild<QTreeView *>("treeView");
    QVERIFY(tree);
    QTRY_VERIFY(tree->model() && tree->model()->rowCount(tree->rootIndex()) == 1);
    QTest::qWait(200);
    QFont larger = tree->font();
    larger.setPointSizeF(larger.pointSizeF() * 2);
    tree->setFont(larger);
    dialog.setDirectory(root());
    QTRY_VERIFY(tree->model() && tree->model()->rowCount(tree->rootIndex()) == 3);
    // The sizes as the dialog words them are in the list by now.
    const auto sizeOf = [tree](const QString &name) {
        const QAbstractItemModel *m = tree->model();
        for (int row = 0; row < m->rowCount(tree->rootIndex()); ++row)
            if (m->index(row, 0, tree->rootIndex()).data().toString() == name)
                return m->index(row, 1, tree->rootIndex()).data().toString();
        return QString();
    };
    QTRY_VERIFY(!sizeOf("notes.txt").isEmpty());
    QVERIFY2(sizeOf("notes.txt").startsWith("287"), qPrintable(sizeOf("notes.txt")));
    for (int column : {1, 2, 3}) {
        QTRY_VERIFY2(tree->columnWidth(column) >= static_cast<QAbstractItemView *>(tree)->sizeHintForColumn(column),
                     qPrintable(QString("column %1: %2 < %3").arg(column).arg(tree->columnWidth(column))
                                    .arg(static_cast<QAbstractItemView *>(tree)->sizeHintForColumn(column))));
        QVERIFY(tree->header()->sectionSize(column) >= tree->header()->sectionSizeHint(column));
    }
    // The name keeps the room left, and never less than a useful width.
    QTRY_VERIFY(tree->columnWidth(0) >= MinNameColumnWidth);
}

void TestProgramChoice::ownerGoesWhileADialogIsOpen_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::newRow("the programs' chooser") << "programs";
    QTest::newRow("the file dialog") << "files";
    QTest::newRow("a message box") << "message";
}

// The window a dialog belongs to is unloaded while the dialog waits for the
// user: the quit on SIGTERM, or from the status icon, unloads every window,
// and that happens inside the dialog's own event loop. The dialog goes with
// its window and the call comes back empty-handed, without a crash.
void TestProgramChoice::ownerGoesWhileADialogIsOpen()
{
    QFETCH(QString, dialog);
    QPointer<QWidget> owner = new QWidget;
    owner->setWindowTitle("Open/Run File");
    owner->resize(300, 120);
    owner->show();
    owner->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(owner));
    bool unloaded = false;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || unloaded || !owner)
            return;
        // As the program's windows are unloaded: closed, deleted later.
        unloaded = true;
        owner->close();
        owner->deleteLater();
    });
    watch.start();
    QString chosen = "untouched";
    if (dialog == "message") {
        SystemMessageBox().show("The mail could not be checked.", "Kestrova");
        chosen.clear();
    } else {
        const QString filter = dialog == "programs" ? "Executable Files (*.exe)|*.exe|All Files (*.*)|*.*"
                                                    : "Text Files (*.txt)|*.txt";
        chosen = SystemOpenFileDialog().getOpenFileName("Select a file to open", filter, QString());
    }
    watch.stop();
    QVERIFY(unloaded);
    QVERIFY(chosen.isEmpty());
    QTRY_VERIFY(owner.isNull());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

QTEST_MAIN(TestProgramChoice)
#include "test_program_choice.moc"
