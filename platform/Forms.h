#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace kestrova {

// The program's collection of loaded windows. A window is entered when it is
// created and its load has run, and leaves when it is unloaded or destroyed.
// The order of loading is kept: shut-down unloads from the last loaded to the
// first, and when the last window has gone, lastUnloaded() tells the program
// to end.
class Forms : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    void loaded(QWidget *form);
    bool isLoaded(const QWidget *form) const;
    int count() const;
    QList<QWidget *> all() const;

    // Closes the window (its close handling runs), removes it from the
    // collection and deletes it once control is back in the event loop.
    void unload(QWidget *form);
    // Unloads every window, from the last loaded to the first.
    void unloadAll();

Q_SIGNALS:
    void lastUnloaded();

private:
    void forget(QWidget *form);
    QList<QPointer<QWidget>> m_forms;
};

} // namespace kestrova
