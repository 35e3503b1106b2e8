#include "MainLoop.h"

#include <QApplication>
#include <QDialog>
#include <QThread>
#include <QTimer>
#include <QWidget>

namespace kestrova::MainLoop {

namespace {
// How often a nested loop that does not end at once (a short wait of the
// program's own, a dialog that refused to close) is looked at again.
constexpr int RetryMs = 5;
// How often endWaits() has run; the program's own waits compare.
unsigned g_ends = 0;
} // namespace

bool nested()
{
    // QApplication::exec() is loop level 1, a dialog's exec() inside it 2;
    // before exec() the level is 0, and nothing is nested either.
    return QThread::currentThread()->loopLevel() > 1;
}

void endWaits()
{
    ++g_ends;
    // A window that ignores being closed is not asked again and again.
    QWidget *refused = nullptr;
    for (;;) {
        if (QWidget *popup = QApplication::activePopupWidget()) {
            if (popup == refused)
                return;
            popup->close();
            if (QApplication::activePopupWidget() == popup)
                refused = popup;
            continue;
        }
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == refused)
            return;
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        if (QApplication::activeModalWidget() == modal)
            modal->close();
        if (QApplication::activeModalWidget() == modal)
            refused = modal;
    }
}

void whenBack(QObject *context, std::function<void()> fn)
{
    if (!nested()) {
        fn();
        return;
    }
    endWaits();
    // A rejected dialog's exec() returns once control is back in its loop;
    // the timer fires in whichever loop runs then, the main one as a rule.
    QTimer::singleShot(RetryMs, context, [context, fn] { whenBack(context, fn); });
}

OwnWait::OwnWait() : m_endsBefore(g_ends) {}

bool OwnWait::ended() const
{
    return g_ends != m_endsBefore;
}

} // namespace kestrova::MainLoop
