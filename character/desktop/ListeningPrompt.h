#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;
class QLineEdit;

namespace kestrova::character {

// The prompt shown while the character listens: a small frameless window
// beside the character with a line to type a command in. It takes the
// keyboard when it opens (the window is raised and activated, the line gets
// focus), so the user can type straight away.
//
// Enter submits what was typed; Escape cancels; so does a time-out when
// nothing has been typed for a while (IdleTimeoutMs, counted again from
// every keystroke). The prompt does not close itself: whoever listens
// decides.
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

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void takeFocus();

    QLabel *m_caption = nullptr;
    QLineEdit *m_line = nullptr;
    QTimer m_idle;
    int m_idleTimeoutMs = IdleTimeoutMs;
    bool m_typed = false;
};

} // namespace kestrova::character
