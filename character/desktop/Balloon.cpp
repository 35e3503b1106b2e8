#include "Balloon.h"

#include "WindowPlacement.h"

#include <QTextLayout>

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLineF>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace kestrova::character {

namespace {

constexpr int SpeechPadding = 10;
constexpr int ThoughtPadding = 18;
constexpr int TailLength = 20;
constexpr int TailBase = 14;
constexpr int Radius = 10;
constexpr int Margin = 3; // room for the outline and antialiasing

const QColor Paper(255, 255, 231);
const QColor Ink(20, 20, 20);
const QColor Outline(50, 50, 50);

QRect clampInto(QRect r, const QRect &area)
{
    if (r.right() > area.right())
        r.moveRight(area.right());
    if (r.bottom() > area.bottom())
        r.moveBottom(area.bottom());
    if (r.left() < area.left())
        r.moveLeft(area.left());
    if (r.top() < area.top())
        r.moveTop(area.top());
    return r;
}

// The outline of a thought: the bubble with round bumps along its edge.
QPainterPath cloudPath(const QRectF &r)
{
    // Overlapping shapes join into one outline only under the winding rule.
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.addRoundedRect(r, Radius * 1.5, Radius * 1.5);
    const double bump = 11;
    auto along = [&](QPointF from, QPointF to) {
        const double length = QLineF(from, to).length();
        const int n = std::max(2, int(length / (bump * 1.6)));
        for (int i = 0; i <= n; ++i) {
            const QPointF c = from + (to - from) * (double(i) / n);
            path.addEllipse(c, bump, bump);
        }
    };
    const double in = bump * 0.55;
    const QRectF k = r.adjusted(in, in, -in, -in);
    along(k.topLeft(), k.topRight());
    along(k.topRight(), k.bottomRight());
    along(k.bottomRight(), k.bottomLeft());
    along(k.bottomLeft(), k.topLeft());
    return path.simplified();
}

} // namespace

Balloon::Balloon(QWidget *parent) : ShapedWindow(parent)
{
    setObjectName(QStringLiteral("kestrovaBalloon"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_font = defaultFont();
    m_revealTimer.setSingleShot(true);
    m_revealTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_revealTimer, &QTimer::timeout, this, &Balloon::revealNext);
    // A window of the program opening or closing may take its place or
    // free a better one.
    qApp->installEventFilter(this);
}

bool Balloon::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::LayoutRequest:
    case QEvent::Paint:
    case QEvent::WindowStateChange:
    case QEvent::ParentChange:
        // Something in a window of the program may have changed place,
        // text or visibility (a tab, a field, a status message).
        if (m_openParts && watched->isWidgetType()
            && ScreenFollower::isFramedWindow(static_cast<QWidget *>(watched)->window()))
            m_openParts.reset();
        break;
    default:
        break;
    }
    if ((event->type() == QEvent::Show || event->type() == QEvent::Hide) && watched->isWidgetType() && !m_lookAgain
        && isVisible() && ScreenFollower::isFramedWindow(static_cast<QWidget *>(watched))) {
        // Once the window is where it goes.
        m_lookAgain = true;
        QTimer::singleShot(0, this, [this] {
            m_lookAgain = false;
            if (isVisible())
                follow(m_anchor, m_character);
        });
    }
    return ShapedWindow::eventFilter(watched, event);
}

QFont Balloon::defaultFont()
{
    QFont font = QApplication::font();
    font.setPointSizeF(FontPointSize);
    return font;
}

void Balloon::setTextFont(const QFont &font)
{
    m_font = font;
}

namespace {

// Breaks the text into lines at most `width` wide, as the balloon shows
// it; the size it takes.
QSizeF layOutText(QTextLayout &layout, qreal width)
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    qreal y = 0, widest = 0;
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
        widest = std::max(widest, line.naturalTextWidth());
    }
    layout.endLayout();
    return {widest, y};
}

} // namespace

void Balloon::showText(const QString &text, Style style, QPoint anchor, const QRect &character)
{
    m_revealTimer.stop();
    m_text = text;
    m_revealed = text.size();
    m_style = style;
    const QFontMetrics metrics(m_font);
    QTextLayout layout(text, m_font);
    const QSizeF bounds = layOutText(layout, MaxTextWidth);
    m_textSize = QSize(std::max(int(std::ceil(bounds.width())), 24),
                       std::max(int(std::ceil(bounds.height())), metrics.height()));
    m_layout = {};
    follow(anchor, character);
    show();
}

QList<qsizetype> Balloon::wordEnds() const
{
    QList<qsizetype> ends;
    for (qsizetype i = 0; i < m_text.size(); ++i) {
        const bool endOfWord = !m_text.at(i).isSpace() && (i + 1 == m_text.size() || m_text.at(i + 1).isSpace());
        if (endOfWord)
            ends << i + 1;
    }
    return ends;
}

void Balloon::revealOver(int ms)
{
    // Word k is said once the characters before it are: at that share of
    // the time.
    m_wordEnds = wordEnds();
    QList<int> due;
    for (qsizetype k = 0; k < m_wordEnds.size(); ++k) {
        const qsizetype startOfWord = k == 0 ? 0 : m_wordEnds.at(k - 1);
        due << int(qint64(ms) * startOfWord / std::max<qsizetype>(1, m_text.size()));
    }
    startReveal(due, ms);
}

void Balloon::revealAt(const QList<int> &wordStartMs)
{
    m_wordEnds = wordEnds();
    if (wordStartMs.size() != m_wordEnds.size()) {
        revealAll();
        return;
    }
    startReveal(wordStartMs, wordStartMs.isEmpty() ? 0 : wordStartMs.last());
}

void Balloon::startReveal(const QList<int> &due, int ms)
{
    if (m_wordEnds.size() < 2 || ms <= 0) {
        revealAll();
        return;
    }
    m_wordDue = due;
    m_nextWord = 0;
    m_revealed = 0;
    m_revealClock.start();
    revealNext();
}

void Balloon::revealAll()
{
    m_revealTimer.stop();
    if (m_revealed == m_text.size())
        return;
    m_revealed = m_text.size();
    if (!m_layout.window.isEmpty())
        render(m_layout);
}

void Balloon::revealNext()
{
    const qint64 now = m_revealClock.elapsed();
    while (m_nextWord < m_wordEnds.size()) {
        const qint64 due = m_wordDue.value(m_nextWord);
        if (due > now) {
            m_revealTimer.start(int(due - now));
            break;
        }
        m_revealed = m_wordEnds.at(m_nextWord++);
    }
    if (m_nextWord >= m_wordEnds.size())
        m_revealed = m_text.size();
    if (!m_layout.window.isEmpty())
        render(m_layout);
}

void Balloon::follow(QPoint anchor, const QRect &character)
{
    if (m_text.isNull())
        return;
    m_anchor = anchor;
    m_character = character;
    const Layout layout = layoutFor(anchor, character);
    const bool sameShape = layout.window.size() == m_layout.window.size()
        && layout.bubble == m_layout.bubble && layout.tip == m_layout.tip;
    if (!sameShape)
        render(layout);
    m_layout = layout;
    place(layout.window.topLeft());
}

const WindowPlacement::WindowParts &Balloon::openWindowParts() const
{
    if (!m_openParts || m_openPartsAge.hasExpired(MaxPartsAgeMs)) {
        m_openParts = ScreenFollower::partsOfOpenWindows();
        m_openPartsAge.start();
    }
    return *m_openParts;
}

Balloon::Layout Balloon::layoutFor(QPoint anchor, const QRect &character) const
{
    const int pad = m_style == Style::Thought ? ThoughtPadding : SpeechPadding;
    const QSize bubbleSize = m_textSize + QSize(2 * pad, 2 * pad);
    const QScreen *screen = QGuiApplication::screenAt(character.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    // The window reaches Margin beyond the bubble on every side.
    const QRect area = (screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768))
                           .adjusted(Margin, Margin, -Margin, -Margin);

    // Candidate places for the bubble, in order of preference; the tail
    // leaves it on the side facing the character. The program's windows
    // open on the desktop are kept clear where a place allows: the one that
    // covers the least of their controls, then of their texts, then of the
    // windows wins; among equals the first side that fits, slid along it
    // the least.
    const WindowPlacement::WindowParts &open = openWindowParts();
    const int inset = Radius + TailBase / 2 + 2;
    enum Side { Above, Right, Left, Below };
    QRect bubble;
    Side side = Above;
    bool found = false;
    WindowPlacement::Covered least;
    int leastSlide = 0;
    for (Side s : {Above, Right, Left, Below}) {
        QRect r(QPoint(), bubbleSize);
        switch (s) {
        case Above:
            r.moveBottom(std::min(anchor.y(), character.top() + character.height() / 3) - TailLength);
            r.moveLeft(anchor.x() - r.width() / 2);
            break;
        case Right:
            r.moveLeft(character.right() + TailLength);
            r.moveTop(anchor.y() - r.height() / 2);
            break;
        case Left:
            r.moveRight(character.left() - TailLength);
            r.moveTop(anchor.y() - r.height() / 2);
            break;
        case Below:
            r.moveTop(character.bottom() + TailLength);
            r.moveLeft(anchor.x() - r.width() / 2);
            break;
        }
        // Slide along the side it sits on; it fits when that keeps it whole
        // on the screen without covering the character's anchor.
        const QRect slid = clampInto(r, area);
        const bool across = s == Above || s == Below;
        const bool fits = across ? slid.top() == r.top() : slid.left() == r.left();
        if (!fits || !area.contains(slid))
            continue;
        // Where it stands first, then every few pixels along the side as
        // far as its tail still meets the character there.
        QList<QRect> places{slid};
        if (!open.windows.isEmpty()) {
            const int from = across ? character.left() + inset - bubbleSize.width() : character.top() + inset - bubbleSize.height();
            const int to = across ? character.right() - inset : character.bottom() - inset;
            for (int v = from; v <= to; v += 8) {
                const QRect along = clampInto(across ? QRect(QPoint(v, slid.top()), bubbleSize)
                                                     : QRect(QPoint(slid.left(), v), bubbleSize),
                                              area);
                if (area.contains(along))
                    places << along;
            }
        }
        for (const QRect &place : places) {
            const WindowPlacement::Covered covered = WindowPlacement::coveredBy(place, QRect(), open);
            const int slide = std::abs(across ? place.left() - slid.left() : place.top() - slid.top());
            // Sides come in order of preference: a later one wins only by
            // covering less.
            if (!found || covered < least || (covered == least && s == side && slide < leastSlide)) {
                bubble = place;
                side = s;
                least = covered;
                leastSlide = slide;
                found = true;
            }
        }
    }
    if (!found) {
        bubble = clampInto(QRect(QPoint(anchor.x() - bubbleSize.width() / 2, area.top()), bubbleSize), area);
        side = Above;
    }

    // The tail: from the facing side, toward the anchor, at most TailLength
    // long plus whatever the slide left between them.
    QPoint base;
    switch (side) {
    case Above:
        base = QPoint(std::clamp(anchor.x(), bubble.left() + inset, bubble.right() - inset), bubble.bottom());
        break;
    case Below:
        base = QPoint(std::clamp(anchor.x(), bubble.left() + inset, bubble.right() - inset), bubble.top());
        break;
    case Right:
        base = QPoint(bubble.left(), std::clamp(anchor.y(), bubble.top() + inset, bubble.bottom() - inset));
        break;
    case Left:
        base = QPoint(bubble.right(), std::clamp(anchor.y(), bubble.top() + inset, bubble.bottom() - inset));
        break;
    }
    QLineF toward(base, anchor);
    const double reach = TailLength + 6;
    if (toward.length() > reach)
        toward.setLength(reach);
    else if (toward.length() < 1)
        toward = QLineF(base, base + QPointF(0, side == Below ? -TailLength : TailLength));
    const QPoint tip = toward.p2().toPoint();

    QRect window = bubble.united(QRect(tip, QSize(1, 1))).adjusted(-Margin, -Margin, Margin, Margin);
    Layout layout;
    layout.window = window;
    layout.bubble = bubble.translated(-window.topLeft());
    layout.tip = tip - window.topLeft();
    layout.base = base - window.topLeft();
    return layout;
}

void Balloon::render(const Layout &layout)
{
    m_bubble = layout.bubble;
    m_tip = layout.tip;
    const qreal dpr = devicePixelRatioF();
    QImage image(layout.window.size() * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF bubble = QRectF(layout.bubble).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath outline;
    if (m_style == Style::Speech) {
        outline.addRoundedRect(bubble, Radius, Radius);
        // The tail's base sits a little inside the bubble so the two join.
        const QPointF base(layout.base);
        const QPointF tip(layout.tip);
        const QLineF axis(base, tip);
        const QPointF along = (tip - base) / std::max(1.0, axis.length());
        const QPointF across(-along.y(), along.x());
        QPainterPath tail;
        tail.moveTo(base - along * 4 + across * (TailBase / 2.0));
        tail.lineTo(tip);
        tail.lineTo(base - along * 4 - across * (TailBase / 2.0));
        tail.closeSubpath();
        outline = outline.united(tail);
    } else {
        outline = cloudPath(bubble.adjusted(6, 6, -6, -6));
        // Thought bubbles: small circles trailing toward the character.
        const QLineF axis(QPointF(layout.base), QPointF(layout.tip));
        const double sizes[] = {5, 3.5, 2.2};
        for (int i = 0; i < 3; ++i) {
            const QPointF c = axis.pointAt(0.2 + 0.35 * i);
            outline.addEllipse(c, sizes[i], sizes[i]);
        }
        outline.setFillRule(Qt::WindingFill);
    }
    p.setPen(QPen(Outline, 1.5));
    p.setBrush(Paper);
    p.drawPath(outline);

    const int pad = m_style == Style::Thought ? ThoughtPadding : SpeechPadding;
    // Laid out whole and drawn up to what is revealed, so the lines never
    // move while words appear.
    QTextLayout text(m_text, m_font);
    if (m_revealed < m_text.size()) {
        QTextLayout::FormatRange hidden;
        hidden.start = int(m_revealed);
        hidden.length = int(m_text.size() - m_revealed);
        hidden.format.setForeground(Qt::transparent);
        text.setFormats({hidden});
    }
    layOutText(text, MaxTextWidth);
    p.setPen(Ink);
    text.draw(&p, QPointF(layout.bubble.topLeft() + QPoint(pad, pad)));
    p.end();
    setFrame(image);
}

} // namespace kestrova::character
