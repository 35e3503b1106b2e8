#pragma once

// The keys every window of the program answers the same way, as dialogs do:
// Enter presses the focused push button, else the window's default button
// (the visible, enabled push button marked default); Escape runs the
// window's own way out, the same as its Cancel or close box.

#include <QObject>

#include <functional>

class QPushButton;
class QWidget;

namespace kestrova {

class WindowKeys : public QObject {
    Q_OBJECT
public:
    // Installs the keys on `window`, which owns them. An empty `escape`
    // leaves Escape alone.
    static WindowKeys *install(QWidget *window, std::function<void()> escape);

    // The button Enter presses now: the visible, enabled default push
    // button of the window; null when there is none.
    static QPushButton *defaultButton(const QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    WindowKeys(QWidget *window, std::function<void()> escape);
    QWidget *m_window;
    std::function<void()> m_escape;
};

} // namespace kestrova
