#pragma once

#include "CharacterWindow.h"
#include "WindowPlacement.h"

#include <QElapsedTimer>
#include <QFont>
#include <QList>
#include <QTimer>
#include <QPainterPath>
#include <QRect>

namespace kestrova::character {

// The character's word balloon: a rounded bubble (or a cloud, for thoughts)
// with a tail pointing at the character's balloon anchor, the text wrapped
// inside at a readable size. It sits above the character when there is
// room, else beside it, else below, and always on the screen.
class Balloon : public ShapedWindow {
    Q_OBJECT
public:
    enum class Style { Speech, Thought };

    explicit Balloon(QWidget *parent = nullptr);

    // Shows the text; anchor is where the tail points and character the
    // character's window, both in screen pixels.
    void showText(const QString &text, Style style, QPoint anchor, const QRect &character);
    // Moves along with the character while shown. It looks again for its
    // place when one of the program's windows opens or closes.
    void follow(QPoint anchor, const QRect &character);
    // Shows the text's words one after another over ms, at the pace of a
    // voice saying them (each word when the characters before it are
    // said); the balloon keeps its size and the lines their breaks.
    void revealOver(int ms);
    // The same with the time each word starts, from a voice that knows;
    // the whole text at once when the count does not match its words.
    void revealAt(const QList<int> &wordStartMs);
    // The whole text at once.
    void revealAll();

    // The font of the text, from the next showText on. The default is the
    // application's font at FontPointSize.
    void setTextFont(const QFont &font);
    QFont textFont() const { return m_font; }
    static QFont defaultFont();

    QString text() const { return m_text; }
    // The part of the text shown so far.
    QString revealedText() const { return m_text.left(m_revealed); }
    Style style() const { return m_style; }
    // Where the tail's tip is, in screen pixels, and the bubble itself.
    QPoint tailTip() const { return geometry().topLeft() + m_tip; }
    QRect bubbleRect() const { return m_bubble.translated(geometry().topLeft()); }

    static constexpr qreal FontPointSize = 11;
    static constexpr int MaxTextWidth = 240;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Layout {
        QRect window;  // screen pixels
        QRect bubble;  // window pixels
        QPoint tip;    // window pixels
        QPoint base;   // where the tail leaves the bubble, window pixels
        bool operator==(const Layout &) const = default;
    };
    Layout layoutFor(QPoint anchor, const QRect &character) const;
    // The parts of the program's open windows, kept from one step of a walk
    // to the next: read again once a window or anything in it shows, hides,
    // moves, changes size or is drawn anew, and after MaxPartsAgeMs at most
    // (a frame the window manager adds later tells nothing).
    const WindowPlacement::WindowParts &openWindowParts() const;
    static constexpr int MaxPartsAgeMs = 1000;
    void render(const Layout &layout);

    QList<qsizetype> wordEnds() const;
    void startReveal(const QList<int> &due, int ms);
    void revealNext();

    QString m_text;
    qsizetype m_revealed = 0;
    QList<qsizetype> m_wordEnds; // where each word ends, for the reveal
    QList<int> m_wordDue;        // when each word shows, ms from the start
    int m_nextWord = 0;
    QElapsedTimer m_revealClock;
    QTimer m_revealTimer;
    Style m_style = Style::Speech;
    QFont m_font;
    QSize m_textSize;
    QRect m_bubble;
    QPoint m_tip;
    Layout m_layout;
    QPoint m_anchor;
    QRect m_character;
    bool m_lookAgain = false;
    mutable std::optional<WindowPlacement::WindowParts> m_openParts;
    mutable QElapsedTimer m_openPartsAge;
};

} // namespace kestrova::character
