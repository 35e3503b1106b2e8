#include "ListeningPrompt.h"

#include "CharacterWindow.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrova::character {

namespace {

// Space between the character and the prompt.
constexpr int Gap = 8;

} // namespace

ListeningPrompt::ListeningPrompt(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("kestrovaListeningPrompt"));
    setWindowTitle(PromptText);
    setAttribute(Qt::WA_ShowWithoutActivating, false);

    m_caption = new QLabel(PromptText, this);
    // Questions name the user's own commands: shown as written, never as
    // markup.
    m_caption->setTextFormat(Qt::PlainText);
    m_caption->setObjectName(QStringLiteral("kestrovaListeningCaption"));
    QFont bold = m_caption->font();
    bold.setBold(true);
    m_caption->setFont(bold);

    m_line = new QLineEdit(this);
    m_line->setObjectName(QStringLiteral("kestrovaListeningLine"));
    m_line->setPlaceholderText(PromptText);
    m_line->setClearButtonEnabled(false);
    m_line->setMinimumWidth(220);
    setFocusProxy(m_line);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 10);
    layout->setSpacing(6);
    layout->addWidget(m_caption);
    layout->addWidget(m_line);
    m_buttons = new QHBoxLayout;
    m_buttons->setSpacing(6);
    layout->addLayout(m_buttons);
    m_line->installEventFilter(this);

    m_idle.setSingleShot(true);
    connect(&m_idle, &QTimer::timeout, this, &ListeningPrompt::timedOut);
    connect(m_line, &QLineEdit::textEdited, this, [this] {
        if (!m_typed) {
            m_typed = true;
            Q_EMIT typingStarted();
        }
        m_idle.start(m_idleTimeoutMs);
    });
    connect(m_line, &QLineEdit::returnPressed, this, [this] {
        m_idle.stop();
        // Heard once the key press is done with: the command may wait in a
        // dialog of its own, and a quit meanwhile deletes this prompt, line
        // and all, which the line's key handling must not outlive.
        QMetaObject::invokeMethod(
            this, [this, text = m_line->text()] { Q_EMIT submitted(text); }, Qt::QueuedConnection);
    });
}

void ListeningPrompt::open(const QRect &character)
{
    m_line->clear();
    m_typed = false;
    adjustSize();
    follow(character);
    show();
    takeFocus();
    // Some window managers map the window before they will give it the
    // keyboard; asking once more from the event loop covers them.
    QTimer::singleShot(0, this, [this] {
        if (isVisible())
            takeFocus();
    });
    m_idle.start(m_idleTimeoutMs);
}

void ListeningPrompt::avoid(const QRect &other)
{
    const QRect mine = geometry();
    if (!mine.intersects(other))
        return;
    const QScreen *screen = QGuiApplication::screenAt(other.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : mine.united(other);
    int y = other.bottom() + 1 + Gap;
    if (y + mine.height() > area.bottom() + 1)
        y = other.top() - Gap - mine.height();
    const int x = std::clamp(other.left(), area.left(), std::max(area.left(), area.right() + 1 - mine.width()));
    y = std::clamp(y, area.top(), std::max(area.top(), area.bottom() + 1 - mine.height()));
    move(x, y);
}

void ListeningPrompt::ask(const QString &question, const QStringList &captions)
{
    qDeleteAll(m_guesses);
    m_guesses.clear();
    for (qsizetype k = 0; k < std::min<qsizetype>(captions.size(), MaxGuesses); ++k) {
        // "&1 Help": the number is the button's key too.
        auto *button =
            new QPushButton(tr("&%1 %2").arg(k + 1).arg(QString(captions[k]).replace(u'&', QStringLiteral("&&"))), this);
        button->setObjectName(QStringLiteral("kestrovaListeningGuess%1").arg(k + 1));
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, k] { Q_EMIT chosen(int(k)); });
        m_buttons->addWidget(button);
        // Shown now rather than from the event loop, so the size the
        // prompt is placed by below counts it.
        button->show();
        m_guesses << button;
    }
    m_caption->setText(m_guesses.isEmpty() ? PromptText : question);
    // The guesses side by side, or one under another where a row of them
    // would be wider than the screen.
    // (The prompt's own layout keeps the size it measured until told.)
    m_buttons->setDirection(QBoxLayout::LeftToRight);
    layout()->invalidate();
    const QScreen *screen = QGuiApplication::screenAt(m_character.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen && sizeHint().width() > screen->availableGeometry().width()) {
        m_buttons->setDirection(QBoxLayout::TopToBottom);
        layout()->invalidate();
        layout()->activate();
    }
    if (isVisible())
        follow(m_character); // grown or shrunk, beside the character still
}

bool ListeningPrompt::eventFilter(QObject *watched, QEvent *event)
{
    // The guess's number on an empty line chooses it; typed after other
    // letters it is part of a command.
    if (watched == m_line && event->type() == QEvent::KeyPress && !m_guesses.isEmpty() && m_line->text().isEmpty()) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const int k = key->key() - Qt::Key_1;
        if (k >= 0 && k < m_guesses.size() && !(key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier))) {
            Q_EMIT chosen(k);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ListeningPrompt::keepOpen()
{
    if (m_idle.isActive())
        m_idle.start(m_idleTimeoutMs);
}

void ListeningPrompt::takeFocus()
{
    raise();
    activateWindow();
    m_line->setFocus(Qt::OtherFocusReason);
}

void ListeningPrompt::follow(const QRect &character)
{
    m_character = character;
    const QSize size = sizeHint().expandedTo(minimumSizeHint());
    const QScreen *screen = QGuiApplication::screenAt(character.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(QPoint(), size);
    // Left of the character (it stands bottom right by default), else right
    // of it; level with the middle of the character; always on the screen.
    int x = character.left() - Gap - size.width();
    if (x < area.left())
        x = character.right() + 1 + Gap;
    int y = character.center().y() - size.height() / 2;
    x = std::clamp(x, area.left(), std::max(area.left(), area.right() + 1 - size.width()));
    y = std::clamp(y, area.top(), std::max(area.top(), area.bottom() + 1 - size.height()));
    setGeometry(QRect(QPoint(x, y), size));
}

void ListeningPrompt::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        m_idle.stop();
        Q_EMIT cancelled();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ListeningPrompt::showEvent(QShowEvent *event)
{
    // Sent before the window is mapped (a spontaneous one: after).
    if (!event->spontaneous())
        NeverATask::beforeMapping(this);
    QWidget::showEvent(event);
}

bool ListeningPrompt::nativeEvent(const QByteArray &eventType, void *message, qintptr *result)
{
    if (NeverATask::mapped(this, eventType, message))
        NeverATask::askOnceMapped(this);
    return QWidget::nativeEvent(eventType, message, result);
}

void ListeningPrompt::hideEvent(QHideEvent *event)
{
    m_idle.stop();
    QWidget::hideEvent(event);
}

void ListeningPrompt::paintEvent(QPaintEvent *)
{
    // A plain panel with a border: frameless, it needs an edge of its own.
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace kestrova::character
