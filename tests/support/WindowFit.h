#pragma once

// Whether a window as it stands now fits: its frame inside its screen's
// free area, every label with room for its text (the width of a line, or
// the height of the lines a wrapped one needs), every button at least as
// wide as its text asks. Each fault is one line naming the place given.

#include <algorithm>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFont>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QStringList>
#include <QTextDocument>
#include <QWidget>
#include <QtMath>

namespace kestrova::test {

inline QString frameFault(const QWidget *w, const QString &where)
{
    const QRect screen = w->screen()->availableGeometry();
    const QRect frame = w->frameGeometry();
    if (screen.contains(frame))
        return {};
    return QStringLiteral("%1: %2,%3 %4x%5 outside %6x%7")
        .arg(where).arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height())
        .arg(screen.width()).arg(screen.height());
}

// The width a label's text takes on one line: rich text as the label lays
// it out, plain text with its mnemonic marks taken out.
inline int labelTextWidth(const QLabel *label)
{
    if (Qt::mightBeRichText(label->text()) && label->textFormat() != Qt::PlainText) {
        QTextDocument doc;
        doc.setDefaultFont(label->font());
        doc.setDocumentMargin(0);
        doc.setHtml(label->text());
        return qCeil(doc.idealWidth());
    }
    return label->fontMetrics().horizontalAdvance(QString(label->text()).remove(u'&'));
}

inline QStringList labelFaults(const QWidget *w, const QString &where)
{
    QStringList faults;
    for (const QLabel *label : w->findChildren<QLabel *>()) {
        if (!label->isVisible() || label->text().isEmpty())
            continue;
        if (label->wordWrap()) {
            const int needed = label->heightForWidth(label->width());
            if (label->height() < needed)
                faults << QStringLiteral("%1: \"%2\" needs %3 px high, has %4")
                              .arg(where, label->text()).arg(needed).arg(label->height());
            continue;
        }
        const int needed = labelTextWidth(label);
        if (needed > label->contentsRect().width())
            faults << QStringLiteral("%1: \"%2\" needs %3 px, has %4")
                          .arg(where, label->text()).arg(needed).arg(label->contentsRect().width());
    }
    return faults;
}

inline QStringList buttonFaults(const QWidget *w, const QString &where)
{
    QStringList faults;
    for (const QAbstractButton *button : w->findChildren<QAbstractButton *>()) {
        if (button->isVisible() && !button->text().isEmpty()
            && button->width() < button->minimumSizeHint().width())
            faults << QStringLiteral("%1: \"%2\" is cut (%3 px, needs %4)")
                          .arg(where, button->text()).arg(button->width()).arg(button->minimumSizeHint().width());
    }
    return faults;
}

// Every tab whole inside its bar, with no scroll arrows.
inline QStringList tabFaults(const QWidget *w, const QString &where)
{
    QStringList faults;
    for (const QTabBar *bar : w->findChildren<QTabBar *>()) {
        if (!bar->isVisible())
            continue;
        for (int t = 0; t < bar->count(); ++t) {
            const QRect r = bar->tabRect(t);
            if (r.left() < 0 || r.right() >= bar->width())
                faults << QStringLiteral("%1: tab \"%2\" at %3..%4, the bar %5 wide")
                              .arg(where, bar->tabText(t)).arg(r.left()).arg(r.right()).arg(bar->width());
        }
        for (const QToolButton *arrow : bar->findChildren<QToolButton *>())
            if (arrow->isVisible()) {
                faults << QStringLiteral("%1: the tabs scroll").arg(where);
                break;
            }
    }
    return faults;
}

// A status bar's message read whole: on the bar's one line, or by a label
// of the bar showing it (whose room labelFaults checks).
inline QStringList statusFaults(const QWidget *w, const QString &where)
{
    QStringList faults;
    for (const QStatusBar *bar : w->findChildren<QStatusBar *>()) {
        const QString message = bar->currentMessage();
        if (!bar->isVisible() || message.isEmpty())
            continue;
        const QList<QLabel *> labels = bar->findChildren<QLabel *>();
        if (std::any_of(labels.begin(), labels.end(),
                        [&](const QLabel *l) { return l->isVisible() && l->text() == message; }))
            continue;
        // The bar draws its message with a few pixels' margin each side.
        const int needed = bar->fontMetrics().horizontalAdvance(message) + 8;
        if (needed > bar->contentsRect().width())
            faults << QStringLiteral("%1: the status \"%2\" needs %3 px, has %4")
                          .arg(where, message).arg(needed).arg(bar->contentsRect().width());
    }
    return faults;
}

// Everything wrong with the window as it is now.
inline QStringList fitFaults(const QWidget *w, const QString &where)
{
    QStringList faults;
    const QString frame = frameFault(w, where);
    if (!frame.isEmpty())
        faults << frame;
    return faults + labelFaults(w, where) + buttonFaults(w, where) + tabFaults(w, where) + statusFaults(w, where);
}

// Makes the offscreen platform's one screen 1024x768 device pixels (the
// scale comes from QT_SCALE_FACTOR). Called before the application is
// made; the file lives in the folder given. False when it cannot be written.
inline bool useScreen1024x768(const QString &folder)
{
    const QString file = folder + QStringLiteral("/screen.json");
    QFile json(file);
    if (!json.open(QIODevice::WriteOnly))
        return false;
    json.write(R"({"screens": [{"name": "s", "x": 0, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    json.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + file).toLocal8Bit());
    return true;
}

// The application's font at the point size given (0: as it is) for one
// scope, put back after it.
class ApplicationFontSize {
public:
    explicit ApplicationFontSize(int pointSize) : m_before(QApplication::font())
    {
        if (pointSize <= 0)
            return;
        QFont font = m_before;
        font.setPointSize(pointSize);
        QApplication::setFont(font);
    }
    ~ApplicationFontSize() { QApplication::setFont(m_before); }
    ApplicationFontSize(const ApplicationFontSize &) = delete;
    ApplicationFontSize &operator=(const ApplicationFontSize &) = delete;

private:
    const QFont m_before;
};

} // namespace kestrova::test

// The main of a test that opens its windows on that 1024x768 screen.
#define KESTROVA_TEST_MAIN_1024X768(TestClass)                                  \
    int main(int argc, char **argv)                                             \
    {                                                                           \
        QTemporaryDir config;                                                   \
        if (!kestrova::test::useScreen1024x768(config.path()))                  \
            return 2;                                                           \
        QApplication app(argc, argv);                                           \
        TestClass test;                                                         \
        return QTest::qExec(&test, argc, argv);                                 \
    }
