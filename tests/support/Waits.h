#pragma once

// The event loops a quit may come to: the program's main loop, and a dialog
// or a menu waiting for the user in a loop of its own inside it.

#include <QDialog>
#include <QEventLoop>
#include <QMenu>
#include <QPointer>
#include <QTimer>

#include <functional>

namespace kestrova::test {

// Runs body inside an event loop, as the program's handlers run inside
// QApplication::exec().
inline void inMainLoop(const std::function<void()> &body)
{
    QEventLoop main;
    QTimer::singleShot(0, &main, [&] {
        body();
        main.quit();
    });
    main.exec();
}

// What became of a dialog or menu while something happened as it waited.
struct Waited {
    bool opened = false;
    int result = -1;
    // The test's own limit ended it, not what happened meanwhile.
    bool outlasted = false;
    // The window it belongs to was still there when its exec() returned.
    bool ownerThereAfter = false;
};

// Waits in a modal dialog over owner (or in a popup menu of owner's), as the
// program's dialogs and menus wait; during runs once it waits. Ends by
// itself after 3 s at the latest.
inline Waited waitIn(QWidget *owner, const std::function<void()> &during, bool menu = false)
{
    Waited waited;
    const QPointer<QWidget> ownerAlive(owner);
    waited.opened = true;
    if (menu) {
        const QPointer<QMenu> popup = new QMenu(owner);
        popup->addAction(QStringLiteral("Notepad"));
        popup->addAction(QStringLiteral("Calculator"));
        QTimer::singleShot(0, popup, during);
        QTimer::singleShot(3000, popup, [&] {
            waited.outlasted = true;
            popup->close();
        });
        popup->exec(QPoint(100, 100));
        waited.result = QDialog::Rejected;
        delete popup.data();
    } else {
        const QPointer<QDialog> dialog = new QDialog(owner);
        dialog->setWindowTitle(QStringLiteral("Select a file to open"));
        QTimer::singleShot(0, dialog, during);
        QTimer::singleShot(3000, dialog, [&] {
            waited.outlasted = true;
            dialog->reject();
        });
        waited.result = dialog->exec();
        delete dialog.data();
    }
    waited.ownerThereAfter = !ownerAlive.isNull();
    return waited;
}

} // namespace kestrova::test
