#pragma once

#include "CharacterWindow.h"

#include <QFont>
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
    // Moves along with the character while shown.
    void follow(QPoint anchor, const QRect &character);

    QString text() const { return m_text; }
    Style style() const { return m_style; }
    // Where the tail's tip is, in screen pixels, and the bubble itself.
    QPoint tailTip() const { return geometry().topLeft() + m_tip; }
    QRect bubbleRect() const { return m_bubble.translated(geometry().topLeft()); }

    static constexpr qreal FontPointSize = 11;
    static constexpr int MaxTextWidth = 240;

private:
    struct Layout {
        QRect window;  // screen pixels
        QRect bubble;  // window pixels
        QPoint tip;    // window pixels
        QPoint base;   // where the tail leaves the bubble, window pixels
        bool operator==(const Layout &) const = default;
    };
    Layout layoutFor(QPoint anchor, const QRect &character) const;
    void render(const Layout &layout);

    QString m_text;
    Style m_style = Style::Speech;
    QFont m_font;
    QSize m_textSize;
    QRect m_bubble;
    QPoint m_tip;
    Layout m_layout;
};

} // namespace kestrova::character
