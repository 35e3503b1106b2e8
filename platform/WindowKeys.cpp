#include "WindowKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QWidget>

namespace kestrova {

WindowKeys::WindowKeys(QWidget *window, std::function<void()> escape)
    : QObject(window), m_window(window), m_escape(std::move(escape))
{
    if (qApp)
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) { focusMoved(now); });
}

void WindowKeys::giveBack()
{
    if (m_standIn)
        m_standIn->setDefault(false);
    m_standIn = nullptr;
    for (const QPointer<QPushButton> &b : std::as_const(m_ownDefaults))
        if (b)
            b->setDefault(true);
    m_ownDefaults.clear();
}

void WindowKeys::focusMoved(QWidget *now)
{
    auto *button = qobject_cast<QPushButton *>(now);
    if (button && button == m_standIn)
        return;
    giveBack();
    // A dialog of Qt's moves its default with the focus by itself.
    if (!button || button->window() != m_window || button->isDefault() || button->autoDefault())
        return;
    const QList<QPushButton *> buttons = m_window->findChildren<QPushButton *>();
    for (QPushButton *b : buttons)
        if (b->isDefault() && b->window() == m_window) {
            b->setDefault(false);
            m_ownDefaults.append(b);
        }
    button->setDefault(true);
    m_standIn = button;
}

WindowKeys *WindowKeys::install(QWidget *window, std::function<void()> escape)
{
    auto *keys = new WindowKeys(window, std::move(escape));
    window->installEventFilter(keys);
    return keys;
}

QPushButton *WindowKeys::defaultButton(const QWidget *window)
{
    const QList<QPushButton *> buttons = window->findChildren<QPushButton *>();
    for (QPushButton *b : buttons)
        if (b->isDefault() && b->isVisibleTo(window) && b->isEnabled() && b->window() == window)
            return b;
    return nullptr;
}

bool WindowKeys::eventFilter(QObject *watched, QEvent *event)
{
    // Only what reaches the window itself: keys its widgets left unused
    // (a line edit passes Enter on, a combo box keeps Escape for its list).
    if (watched != m_window || event->type() != QEvent::KeyPress)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (mods != Qt::NoModifier)
        return false;
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        QPushButton *target = qobject_cast<QPushButton *>(QApplication::focusWidget());
        if (!target || target->window() != m_window || !target->isEnabled())
            target = defaultButton(m_window);
        if (!target)
            return false;
        target->click();
        return true;
    }
    if (key->key() == Qt::Key_Escape && m_escape) {
        m_escape();
        return true;
    }
    return false;
}

} // namespace kestrova
