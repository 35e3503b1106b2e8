#include "CommandsWindow.h"

#include "VoiceGrammar.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrova::character {

namespace {

enum Column { CaptionColumn, VoiceColumn };
constexpr int NameRole = Qt::UserRole;
constexpr int CaptionRole = Qt::UserRole + 1;
constexpr int DetailsRole = Qt::UserRole + 2;
constexpr int SearchRole = Qt::UserRole + 3;

// "“a”, “b” and “c”"
QString quotedList(const QStringList &items)
{
    QStringList quoted;
    for (const QString &i : items)
        quoted << QStringLiteral("\u201c%1\u201d").arg(i);
    if (quoted.size() < 2)
        return quoted.join(QString());
    const QString last = quoted.takeLast();
    return quoted.join(QStringLiteral(", ")) + QCoreApplication::translate("kestrova::character::CommandsWindow", " or ") + last;
}

// What the details under the list say about a command.
QString detailsOf(const Command &c)
{
    const QString caption = c.caption.isEmpty() ? c.name : c.caption;
    QString text = c.description.isEmpty() ? caption : caption + QStringLiteral(": ") + c.description;
    bool anyWords = false;
    const QStringList all = voiceExamples(c.voice, CommandsWindow::DetailExamples + 1, &anyWords);
    if (all.isEmpty())
        return text;
    const QStringList shown = all.mid(0, CommandsWindow::DetailExamples);
    text += u'\n' + QCoreApplication::translate("kestrova::character::CommandsWindow", "Say %1").arg(quotedList(shown));
    if (all.size() > shown.size())
        text += QCoreApplication::translate("kestrova::character::CommandsWindow", ", or another of the ways: %1").arg(readableGrammar(c.voice));
    text += u'.';
    if (anyWords)
        text += QCoreApplication::translate("kestrova::character::CommandsWindow", " It may be part of a longer sentence.");
    return text;
}

QString readable(const GrammarNode &n, bool top)
{
    switch (n.kind) {
    case GrammarNode::Word: return n.text;
    case GrammarNode::AnyWords: return QStringLiteral("...");
    case GrammarNode::Sequence: {
        QStringList parts;
        for (const auto &c : n.children)
            parts << readable(*c, false);
        return parts.join(u' ');
    }
    case GrammarNode::Choice: {
        QStringList parts;
        for (const auto &c : n.children)
            parts << readable(*c, false);
        const QString inner = parts.join(QStringLiteral(" | "));
        return top ? inner : u'(' + inner + u')';
    }
    case GrammarNode::Optional: {
        const GrammarNode &child = *n.children.front();
        // [a | b] rather than [(a | b)]
        return u'[' + readable(child, child.kind == GrammarNode::Choice) + u']';
    }
    }
    return {};
}

// Sizes a command's sentences by the width their column has: they wrap
// there onto as many lines as they need (the list alone would measure
// them on one line).
class WrappingDelegate : public QStyledItemDelegate {
public:
    explicit WrappingDelegate(QTreeWidget *list) : QStyledItemDelegate(list), m_list(list) {}

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        // The captions are measured on one line: their column is as wide
        // as they are (up to half the list).
        if (index.column() != VoiceColumn)
            return QStyledItemDelegate::sizeHint(option, index);
        QStyleOptionViewItem opt(option);
        // (The style wraps only within a valid rectangle; its height is
        // what the text decides.)
        opt.rect = QRect(0, 0, m_list->header()->sectionSize(index.column()), QWIDGETSIZE_MAX);
        return QStyledItemDelegate::sizeHint(opt, index);
    }

private:
    QTreeWidget *m_list;
};

} // namespace

QString readableGrammar(const QString &grammar)
{
    const ParsedGrammar parsed = parseVoiceGrammar(grammar);
    return parsed.ok() ? readable(*parsed.root, true) : grammar.simplified();
}

QStringList voiceExamples(const QString &grammar, int limit, bool *anyWords)
{
    if (anyWords)
        *anyWords = false;
    if (grammar.trimmed().isEmpty() || limit <= 0)
        return {};
    const ParsedGrammar parsed = parseVoiceGrammar(grammar);
    if (!parsed.ok())
        return {grammar.simplified()};
    // Enough sentences to find the shortest among them; a grammar of many
    // choices says the rest in its own notation.
    constexpr int Enough = 200;
    QList<QStringList> sentences;
    for (QStringList words : grammarSentences(*parsed.root, Enough)) {
        const qsizetype before = words.size();
        words.removeAll(QStringLiteral("..."));
        if (words.size() != before && anyWords)
            *anyWords = true;
        if (!words.isEmpty() && !sentences.contains(words))
            sentences << words;
    }
    std::stable_sort(sentences.begin(), sentences.end(),
                     [](const QStringList &a, const QStringList &b) { return a.size() < b.size(); });
    QStringList out;
    for (const QStringList &words : std::as_const(sentences)) {
        if (out.size() == limit)
            break;
        out << words.join(u' ');
    }
    return out;
}

CommandsWindow::CommandsWindow(const Commands &commands, const QString &fallbackTitle, QWidget *parent)
    // An ordinary tool window: it stacks like any other, so the dialogs and
    // message boxes of other windows are never hidden behind it.
    : QWidget(parent, Qt::Tool), m_commands(commands), m_fallbackTitle(fallbackTitle)
{
    setObjectName(QStringLiteral("kestrovaCommandsWindow"));
    m_intro = new QLabel(tr("Say one of these while the character listens, or double-click it to have it done "
                            "now."));
    m_intro->setWordWrap(true);
    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("kestrovaCommandsFilter"));
    m_filter->setPlaceholderText(tr("Filter: type a word"));
    m_filter->setClearButtonEnabled(true);
    m_filter->installEventFilter(this);
    connect(m_filter, &QLineEdit::textChanged, this, &CommandsWindow::applyFilter);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("kestrovaCommandsList"));
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({tr("Command"), tr("Say")});
    m_list->setRootIsDecorated(false);
    // A command's sentences wrap in their column, the row as tall as they
    // need: the list is never read sideways.
    m_list->setUniformRowHeights(false);
    m_list->setWordWrap(true);
    m_list->setItemDelegate(new WrappingDelegate(m_list));
    m_list->setAllColumnsShowFocus(true);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setTextElideMode(Qt::ElideRight);
    // The columns share the width there is; nothing is out of sight to the
    // side (End and Home move to the last and first command, not sideways).
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->header()->setStretchLastSection(true);
    m_list->header()->setSectionResizeMode(CaptionColumn, QHeaderView::Interactive);
    m_list->header()->setSectionsMovable(false);
    m_list->viewport()->installEventFilter(this);
    // Enter and double-click both activate an entry.
    connect(m_list, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) { choose(item); });
    connect(m_list, &QTreeWidget::currentItemChanged, this, &CommandsWindow::showDetails);

    m_details = new QLabel;
    m_details->setObjectName(QStringLiteral("kestrovaCommandsDetails"));
    m_details->setWordWrap(true);
    m_details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_details->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_intro);
    layout->addWidget(m_filter);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_details);
    setTabOrder(m_filter, m_list);
    refresh();
    // A comfortable size, within the screen it opens on.
    const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const QSize room = screen ? screen->availableGeometry().size() : QSize(1024, 768);
    resize(std::min(Comfortable.width(), room.width() - 40), heightOn(room.height(), QSize(0, 60)));
}

int CommandsWindow::heightOn(int roomHeight, const QSize &frame)
{
    return std::max(1, std::min(Comfortable.height(), roomHeight - frame.height()));
}

void CommandsWindow::refresh()
{
    const QString set = m_commands.caption().isEmpty() ? m_fallbackTitle : m_commands.caption();
    setWindowTitle(tr("%1 Commands").arg(set));
    // Rebuilt only when the list changed: a rebuild between the two clicks
    // of a double-click (the first one activates the window) would lose it.
    QStringList rows;
    for (const Command &c : m_commands.all())
        if (c.enabled)
            rows << c.name + u'\x1f' + c.caption + u'\x1f' + c.voice + u'\x1f' + c.description;
    if (rows == m_rows && m_list->topLevelItemCount() == rows.size())
        return;
    m_rows = rows;
    const QString current = m_list->currentItem() ? m_list->currentItem()->data(0, NameRole).toString() : QString();
    m_list->clear();
    QTreeWidgetItem *keep = nullptr;
    for (const Command &c : m_commands.all()) {
        if (!c.enabled)
            continue;
        auto *item = new QTreeWidgetItem(m_list);
        const QString caption = c.caption.isEmpty() ? c.name : c.caption;
        bool anyWords = false;
        const QStringList examples = voiceExamples(c.voice, ListExamples + 1, &anyWords);
        QString say = examples.mid(0, ListExamples).join(QStringLiteral(", "));
        if (examples.size() > ListExamples || anyWords)
            say += QStringLiteral(", \u2026");
        item->setText(CaptionColumn, caption);
        item->setText(VoiceColumn, say);
        const QString details = detailsOf(c);
        item->setToolTip(CaptionColumn, details);
        item->setToolTip(VoiceColumn, details);
        item->setData(0, NameRole, c.name);
        item->setData(0, CaptionRole, c.caption);
        item->setData(0, DetailsRole, details);
        item->setData(0, SearchRole, QStringList{caption, c.description, readableGrammar(c.voice)}.join(u' '));
        if (c.name == current)
            keep = item;
    }
    m_list->setCurrentItem(keep ? keep : m_list->topLevelItem(0));
    applyFilter();
    fitColumns();
}

void CommandsWindow::applyFilter()
{
    const QStringList words = m_filter->text().split(u' ', Qt::SkipEmptyParts);
    QTreeWidgetItem *firstShown = nullptr;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = m_list->topLevelItem(i);
        const QString text = item->data(0, SearchRole).toString();
        const bool shown = std::all_of(words.begin(), words.end(),
                                       [&](const QString &w) { return text.contains(w, Qt::CaseInsensitive); });
        item->setHidden(!shown);
        if (shown && !firstShown)
            firstShown = item;
    }
    QTreeWidgetItem *current = m_list->currentItem();
    if (!current || current->isHidden())
        m_list->setCurrentItem(firstShown);
    showDetails();
}

void CommandsWindow::showDetails()
{
    QTreeWidgetItem *item = m_list->currentItem();
    if (item && !item->isHidden())
        m_details->setText(item->data(0, DetailsRole).toString());
    else if (m_list->topLevelItemCount() > 0)
        m_details->setText(tr("No command has \u201c%1\u201d in it.").arg(m_filter->text().simplified()));
    else
        m_details->setText(tr("The character has no commands."));
}

void CommandsWindow::fitColumns()
{
    // The captions as wide as the longest needs, up to half the list.
    const int width = m_list->viewport()->width();
    m_list->resizeColumnToContents(CaptionColumn);
    const int wanted = m_list->columnWidth(CaptionColumn) + 8;
    m_list->setColumnWidth(CaptionColumn, std::max(40, std::min(wanted, width / 2)));
    // The rows wrap at the new widths.
    const QSize columns(m_list->columnWidth(CaptionColumn), width);
    if (columns != m_laidOutFor) {
        m_laidOutFor = columns;
        m_list->doItemsLayout();
    }
}

void CommandsWindow::choose(QTreeWidgetItem *item)
{
    if (!item || item->isHidden())
        return;
    Q_EMIT commandChosen(item->data(0, NameRole).toString(), item->data(0, CaptionRole).toString());
}

void CommandsWindow::showEvent(QShowEvent *event)
{
    refresh();
    QWidget::showEvent(event);
}

void CommandsWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitColumns();
}

bool CommandsWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list->viewport() && event->type() == QEvent::Resize) {
        fitColumns();
    } else if (watched == m_filter && event->type() == QEvent::KeyPress) {
        // The filter box steers the list: arrows move in it, Enter chooses.
        auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            QCoreApplication::sendEvent(m_list, event);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            choose(m_list->currentItem());
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CommandsWindow::keyPressEvent(QKeyEvent *event)
{
    // Escape puts the list away, as its close box does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CommandsWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        refresh();
    QWidget::changeEvent(event);
}

} // namespace kestrova::character
