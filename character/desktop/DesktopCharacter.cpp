#include "DesktopCharacter.h"

#include "CommandMenu.h"
#include "CommandsWindow.h"
#include "DesktopCharacterLog.h"
#include "ListeningPrompt.h"
#include "ClearPlacement.h"

#include <QApplication>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QScreen>
#include <QTimer>
#include <algorithm>

namespace kestrova::character {

DesktopCharacter::DesktopCharacter(CharacterModel model, std::unique_ptr<Voice> voice, QObject *parent)
    : DesktopCharacter(std::move(model), std::move(voice), Timers::system(), parent)
{
}

DesktopCharacter::DesktopCharacter(CharacterModel model, std::unique_ptr<Voice> voice, Timers &timers, QObject *parent)
    : Character(parent), m_model(std::move(model)), m_renderer(m_model), m_timers(timers),
      m_queue(timers), m_performer(m_model, m_renderer, timers),
      m_idling(timers, Idling::Hooks{[this] { return !m_queue.isClosed() && visible() && m_queue.isIdle() && !isListening(); },
                                     [this] { return m_performer.isPlaying(); },
                                     [this](int level) { return playIdle(level); },
                                     [this](int count) { return pickIndex(count); }}),
      m_sounds(m_model.folder, m_model.name)
{
    m_window = new CharacterWindow;
    m_window->setWindowTitle(m_model.name);
    m_window->resize(m_model.size);
    m_balloon = new Balloon;
    m_balloon->setWindowTitle(m_model.name);
    m_performer.setWindow(m_window);
    m_speaking = std::make_unique<Speaking>(
        std::move(voice), m_model.voice.rate, m_performer, timers,
        Speaking::BalloonAccess{[this] { return m_balloon.data(); },
                                [this](const QString &text, Balloon::Style style) { showBalloon(text, style); }});
    m_listening = std::make_unique<Listening>(*this, m_performer, timers);

    connect(m_window, &CharacterWindow::clicked, this, [this](int button, int shift, QPoint at) {
        m_idling.userActive();
        Q_EMIT click(button, shift, at.x(), at.y());
        // The program answers the click first (it plays its alert), then the
        // menu opens where the pointer is.
        if (button == RightButton && !m_queue.isClosed() && visible())
            popupCommandMenu(at);
    });
    connect(m_window, &CharacterWindow::doubleClicked, this,
            [this](int button, int shift, QPoint at) { Q_EMIT dblClick(button, shift, at.x(), at.y()); });
    connect(m_window, &CharacterWindow::dragStarted, this, [this] {
        m_idling.userActive();
        m_placed = true;
        // The user took the character elsewhere; a glide has nowhere to go.
        if (m_queue.isRunning(Kind::MoveTo))
            m_queue.finish(QStringLiteral("dragged away"));
    });
    connect(m_window, &CharacterWindow::moved, this, [this] {
        followBalloon();
        if (listeningPrompt() && listeningPrompt()->isVisible())
            listeningPrompt()->follow(m_window->geometry());
    });

    connect(&m_queue, &RequestQueue::started, this, &DesktopCharacter::start);
    connect(&m_queue, &RequestQueue::ending, this, &DesktopCharacter::ended);
    connect(&m_queue, &RequestQueue::completed, this, &Character::requestComplete);
    connect(&m_queue, &RequestQueue::drained, this, [this] { m_idling.schedule(); });

    connect(m_listening.get(), &Listening::activity, this, [this] { m_idling.userActive(); });
    connect(m_listening.get(), &Listening::ended, this, [this] { m_idling.schedule(); });
    connect(m_listening.get(), &Listening::heard, this, &DesktopCharacter::raiseCommand);

    connect(m_speaking.get(), &Speaking::done, this, [this](const QString &how) {
        if (speaking())
            m_queue.finish(how);
    });
    m_noticeTimer = timers.timer([this] {
        if (m_balloon && !speaking() && m_balloon->text() == m_notice)
            m_balloon->hide();
    });

    connect(&m_performer, &Performer::arrived, this, [this] {
        if (m_queue.isRunning(Kind::MoveTo))
            m_queue.finish(QStringLiteral("arrived"));
    });
    connect(&m_performer, &Performer::mouthStopped, this, [this] {
        // Said: whatever the balloon still holds back shows.
        if (m_balloon)
            m_balloon->revealAll();
    });
    connect(&m_performer, &Performer::frameEntered, this, [this](const Frame *frame) {
        if (!m_queue.isClosed() && visible())
            m_sounds.play(frame);
    });
}

DesktopCharacter::~DesktopCharacter()
{
    m_listening.reset();
    delete m_menu.data();
    delete m_commandsWindow.data();
    delete m_window.data();
    delete m_balloon.data();
}

bool DesktopCharacter::isValid() const
{
    return m_renderer.isValid();
}

void DesktopCharacter::setPick(PickIndex pick)
{
    m_pick = pick;
    m_performer.setPick(std::move(pick));
}

int DesktopCharacter::pickIndex(int count) const
{
    if (count <= 1)
        return 0;
    return m_pick ? std::clamp(m_pick(count), 0, count - 1) : int(QRandomGenerator::global()->bounded(count));
}

// ---- Speaking --------------------------------------------------------------

void DesktopCharacter::setVoice(std::unique_ptr<Voice> voice, double rate)
{
    m_speaking->setVoice(std::move(voice), rate);
}

void DesktopCharacter::startSpeak(const Job &job, bool thought)
{
    const Animation *animation =
        m_model.stateAnimation(thought ? QStringLiteral("thinking") : QStringLiteral("speaking"));
    if (!m_speaking->start(job.text, thought, m_pick, m_balloonStyle, animation))
        m_queue.finish(QStringLiteral("nothing to say"));
}

void DesktopCharacter::setBalloonFont(const QFont &font)
{
    if (m_balloon)
        m_balloon->setTextFont(font);
}

// ---- Idling ----------------------------------------------------------------

void DesktopCharacter::setIdleTiming(const IdleTiming &timing)
{
    m_idling.setTiming(timing);
}

int DesktopCharacter::idleLevel() const
{
    return m_idling.level();
}

bool DesktopCharacter::playIdle(int level)
{
    // A level the character has no animation for takes the calmest it has
    // below it.
    const Animation *animation = nullptr;
    for (; level >= 1 && !animation; --level) {
        const QString state = QStringLiteral("idle-%1").arg(level);
        animation = m_model.stateAnimation(state, pickIndex(m_model.stateChoices(state)));
    }
    if (!animation)
        return false;
    qCDebug(lcCharacter).noquote() << QStringLiteral("Idle %1: %2").arg(level + 1).arg(animation->name);
    m_performer.play(animation, [this, animation] {
        if (!isBusy())
            m_performer.returnToRest(animation, [this] { m_idling.schedule(); });
    });
    return true;
}

// ---- Commands and listening ------------------------------------------------

void DesktopCharacter::raiseCommand(const UserInput &input)
{
    const QString words = cleanOutsideText(input.voice).simplified();
    qCDebug(lcCharacter).noquote() << QStringLiteral("Command \"%1\" confidence %2 from \"%3\"")
                                          .arg(cleanOutsideText(input.name))
                                          .arg(input.confidence)
                                          .arg(words.size() > 240 ? words.left(237) + QStringLiteral("...") : words);
    Q_EMIT command(input);
}

void DesktopCharacter::popupCommandMenu(QPoint at)
{
    if (m_queue.isClosed())
        return;
    if (!m_menu) {
        m_menu = new CommandMenu;
        // Raised from the event loop, once the menu is gone: the program may
        // answer with a menu of its own.
        connect(m_menu, &CommandMenu::commandChosen, this, [this](const QString &name, const QString &caption) {
            QTimer::singleShot(0, this, [this, name, caption] {
                if (!m_queue.isClosed())
                    raiseCommand(UserInput{name, 100, caption});
            });
        });
        connect(m_menu, &CommandMenu::hideChosen, this, [this] { hide(); });
        connect(m_menu, &CommandMenu::commandsWindowChosen, this, &DesktopCharacter::showCommandsWindow);
        connect(m_menu, &CommandMenu::optionsChosen, this, &DesktopCharacter::optionsRequested);
    }
    m_menu->fill(m_commands);
    qCDebug(lcCharacter).noquote()
        << QStringLiteral("Command menu at %1 %2 with %3 entries").arg(at.x()).arg(at.y()).arg(m_menu->actions().size());
    m_menu->popup(at);
}

namespace {

// What the window manager's frame adds to a window: as it framed the
// window before, or another of the program's windows, else a usual frame.
QSize frameAround(const QWidget *window)
{
    const auto added = [](const QWidget *w) { return w->frameGeometry().size() - w->size(); };
    if (added(window).height() > 0)
        return added(window);
    for (const QWidget *other : QApplication::topLevelWidgets()) {
        if (other->isVisible() && !other->isMinimized() && added(other).height() > 0)
            return added(other);
    }
    return FrameAllowance;
}

} // namespace

void DesktopCharacter::showCommandsWindow()
{
    if (m_queue.isClosed())
        return;
    if (!m_commandsWindow) {
        m_commandsWindow = new CommandsWindow(m_commands, m_model.name);
        connect(m_commandsWindow, &CommandsWindow::commandChosen, this,
                [this](const QString &name, const QString &caption) { raiseCommand(UserInput{name, 100, caption}); });
    }
    m_commandsWindow->refresh();
    if (!m_commandsWindow->isVisible() && m_window) {
        // Beside the character, not under it.
        if (QScreen *screen = QGuiApplication::screenAt(m_window->geometry().center())) {
            const QRect area = screen->availableGeometry();
            const QSize frame = frameAround(m_commandsWindow);
            const QSize size(m_commandsWindow->width(), CommandsWindow::heightOn(area.height(), frame));
            const QSize framed = sizeClearOf(size + frame, m_commandsWindow->minimumSizeHint() + frame,
                                             m_window->geometry(), area);
            m_commandsWindow->resize(framed - frame);
            m_commandsWindow->move(placeClearOf(framed, m_window->geometry(), area));
        }
    }
    m_commandsWindow->show();
    m_commandsWindow->raise();
    m_commandsWindow->activateWindow();
    qCDebug(lcCharacter) << "Commands window shown";
}

void DesktopCharacter::listen(bool on)
{
    if (!m_queue.isClosed())
        m_listening->listen(on);
}

void DesktopCharacter::placeAt(int x, int y)
{
    if (!m_window || m_queue.isClosed())
        return;
    m_placed = true;
    qCDebug(lcCharacter).noquote() << QStringLiteral("Placed at %1 %2").arg(x).arg(y);
    // As a drag does: a glide has nowhere to go, the balloon and the
    // listening prompt follow the window.
    if (m_queue.isRunning(Kind::MoveTo))
        m_queue.finish(QStringLiteral("placed elsewhere"));
    m_window->place(m_window->onScreens(QPoint(x, y)));
}

void DesktopCharacter::hear(const QString &phrase) { m_listening->hear(phrase); }
void DesktopCharacter::setSpeechListener(SpeechListener *listener) { m_listening->setSpeechListener(listener); }
std::vector<VoiceCommand> DesktopCharacter::voiceCommands() { return m_listening->voiceCommands(); }
void DesktopCharacter::setListeningTimeoutMs(int ms) { m_listening->setTimeoutMs(ms); }

void DesktopCharacter::holdBalloon(bool held)
{
    m_balloonHeld = held;
    // Released: what stayed goes, unless a request is showing it now.
    if (!held && m_balloon && !speaking())
        m_balloon->hide();
}

void DesktopCharacter::showNotice(const QString &text)
{
    // A running Speak or Think owns the balloon.
    if (!m_balloon || !m_window || !visible() || speaking())
        return;
    qCDebug(lcCharacter).noquote() << QStringLiteral("Notice \"%1\"").arg(text);
    m_notice = text;
    showBalloon(text, Balloon::Style::Speech);
    // The note is about listening: the prompt stays open, but not over it.
    if (listeningPrompt() && listeningPrompt()->isVisible())
        listeningPrompt()->avoid(m_balloon->geometry());
    m_noticeTimer->start(readingTimeMs(text, 0));
}

void DesktopCharacter::close()
{
    m_listening->close();
    m_queue.close();
    m_speaking->end();
    m_noticeTimer->stop();
    m_idling.stop();
    m_performer.halt();
    // Deleted from the event loop: close() may be called from one of the
    // window's own mouse signals.
    for (QWidget *w : {static_cast<QWidget *>(m_balloon.data()), static_cast<QWidget *>(m_window.data()),
                       static_cast<QWidget *>(m_menu.data()), static_cast<QWidget *>(m_commandsWindow.data())}) {
        if (w) {
            w->hide();
            w->deleteLater();
        }
    }
}

// ---- Looks and place -------------------------------------------------------

Pose DesktopCharacter::currentPose() const { return m_performer.currentPose(); }
QString DesktopCharacter::currentAnimation() const { return m_performer.currentAnimation(); }

QPoint DesktopCharacter::balloonAnchor() const
{
    return m_window->pos() + m_model.balloonAnchor.toPoint();
}

void DesktopCharacter::showBalloon(const QString &text, Balloon::Style style)
{
    if (m_balloon && m_window)
        m_balloon->showText(text, style, balloonAnchor(), m_window->geometry());
}

void DesktopCharacter::followBalloon()
{
    if (m_balloon && m_window && m_balloon->isVisible())
        m_balloon->follow(balloonAnchor(), m_window->geometry());
}

QString DesktopCharacter::name() const { return m_model.name; }
bool DesktopCharacter::visible() const { return m_window && m_window->isVisible(); }
int DesktopCharacter::left() const { return m_window ? m_window->x() : 0; }
int DesktopCharacter::top() const { return m_window ? m_window->y() : 0; }

void DesktopCharacter::placeInitially()
{
    if (m_placed)
        return;
    m_placed = true;
    // Bottom right of the main screen, until the program moves it.
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    m_window->place(QPoint(area.right() - m_model.size.width() - 40, area.bottom() - m_model.size.height() - 40));
}

} // namespace kestrova::character
