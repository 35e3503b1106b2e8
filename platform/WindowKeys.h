#pragma once

// The keys every window of the program answers the same way, as dialogs do:
// Enter presses the focused push button, else the window's default button
// (the visible, enabled push button marked default); Escape runs the
// window's own way out, the same as its Cancel or close box. The button
// drawn as the default is always the one Enter presses: while a push button
// has the focus it is drawn so and the window's own default is not; when
// the focus leaves it, the window's own default is again.

#include <QList>
#include <QObject>
#include <QPointer>

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
    void focusMoved(QWidget *now);
    void giveBack();
    QWidget *m_window;
    std::function<void()> m_escape;
    // The focused button drawn as the default meanwhile, and the window's
    // own defaults it stands in for.
    QPointer<QPushButton> m_standIn;
    QList<QPointer<QPushButton>> m_ownDefaults;
};

} // namespace kestrova
