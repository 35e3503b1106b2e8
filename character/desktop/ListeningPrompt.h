#pragma once

#include <QTimer>
#include <QWidget>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrova::character {

// The prompt shown while the character listens: a small frameless window
// beside the character with a line to type a command in. It takes the
// keyboard when it opens (the window is raised and activated, the line gets
// focus), so the user can type straight away. Like the character, it is
// never a task: no taskbar or pager entry.
//
// Enter submits what was typed; Escape cancels; so does a time-out when
// nothing has been typed for a while (IdleTimeoutMs, counted again from
// every keystroke). The prompt does not close itself: whoever listens
// decides.
//
// When what was heard is not sure enough to act on, the prompt asks: it
// shows the question and the guesses as buttons numbered 1 to 3; a click
// on one, or its number typed on an empty line, chooses it.
class ListeningPrompt : public QWidget {
    Q_OBJECT
public:
    explicit ListeningPrompt(QWidget *parent = nullptr);

    // Empties the line, places the prompt beside the character (on its
    // screen, never off it), shows it and takes the keyboard.
    void open(const QRect &character);
    // Moves along with the character while shown.
    void follow(const QRect &character);
    // Moves out from under a window that shows beside it (the balloon):
    // just below it, else just above, on the screen.
    void avoid(const QRect &other);

    QLineEdit *line() const { return m_line; }
    // Counts the idle time-out from now (someone is speaking).
    void keepOpen();
    // Shows the question with the guesses' captions as buttons (at most
    // MaxGuesses); ask({}, {}) takes them away again.
    void ask(const QString &question, const QStringList &captions);
    bool asking() const { return !m_guesses.isEmpty(); }
    QList<QPushButton *> guessButtons() const { return m_guesses; }
    static constexpr int MaxGuesses = 3;
    void setIdleTimeout(int ms) { m_idleTimeoutMs = ms; }
    int idleTimeout() const { return m_idleTimeoutMs; }

    static inline const QString PromptText = QStringLiteral("Say or type a command");
    static constexpr int IdleTimeoutMs = 15000;

Q_SIGNALS:
    void submitted(const QString &phrase);
    void cancelled();
    void timedOut();
    // The first keystroke since the prompt opened.
    void typingStarted();
    // A guess chosen by a click or its number: its index, from 0.
    void chosen(int guess);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool nativeEvent(const QByteArray &eventType, void *message, qintptr *result) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void takeFocus();

    QLabel *m_caption = nullptr;
    QLineEdit *m_line = nullptr;
    QHBoxLayout *m_buttons = nullptr;
    QList<QPushButton *> m_guesses;
    QRect m_character; // where the character stands, to keep beside
    QTimer m_idle;
    int m_idleTimeoutMs = IdleTimeoutMs;
    bool m_typed = false;
};

} // namespace kestrova::character
