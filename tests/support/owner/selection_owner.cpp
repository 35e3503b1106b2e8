// Another program on the desktop with text selected: owns the X11 primary
// selection with the text of a file (UTF-8, read as it is, control
// characters and all) and answers for it until it loses the selection to
// another owner or is ended. Prints "owned" once the selection is its own
// and "lost" when another program takes it.
//   selection_owner <file>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: selection_owner <file>\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 2;
    }
    const QString text = QString::fromUtf8(file.readAll());
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard->supportsSelection()) {
        std::fprintf(stderr, "this desktop has no primary selection\n");
        return 2;
    }
    clipboard->setText(text, QClipboard::Selection);
    bool owned = false;
    QObject::connect(clipboard, &QClipboard::selectionChanged, &app, [&] {
        if (owned && !clipboard->ownsSelection()) {
            std::printf("lost\n");
            std::fflush(stdout);
        }
    });
    // Ownership is the X server's answer; asked until it says so.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        if (owned || !clipboard->ownsSelection())
            return;
        owned = true;
        poll.stop();
        std::printf("owned\n");
        std::fflush(stdout);
    });
    poll.start(20);
    return app.exec();
}
