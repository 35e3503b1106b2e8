#include "CommandsWindow.h"

#include "VoiceGrammar.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrova::character {

namespace {

enum Column { CaptionColumn, VoiceColumn };
constexpr int NameRole = Qt::UserRole;
constexpr int CaptionRole = Qt::UserRole + 1;

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

} // namespace

QString readableGrammar(const QString &grammar)
{
    const ParsedGrammar parsed = parseVoiceGrammar(grammar);
    return parsed.ok() ? readable(*parsed.root, true) : grammar.simplified();
}

CommandsWindow::CommandsWindow(const Commands &commands, const QString &fallbackTitle, QWidget *parent)
    // An ordinary tool window: it stacks like any other, so the dialogs and
    // message boxes of other windows are never hidden behind it.
    : QWidget(parent, Qt::Tool), m_commands(commands), m_fallbackTitle(fallbackTitle)
{
    setObjectName(QStringLiteral("kestrovaCommandsWindow"));
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("kestrovaCommandsList"));
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({tr("Command"), tr("Say")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->header()->setStretchLastSection(true);
    m_list->header()->setSectionResizeMode(CaptionColumn, QHeaderView::ResizeToContents);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Enter and double-click both activate an entry.
    connect(m_list, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) { choose(item); });

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_list);
    refresh();
    // Wide enough for the longest grammar, within reason.
    m_list->resizeColumnToContents(VoiceColumn);
    const int width = m_list->columnWidth(CaptionColumn) + m_list->columnWidth(VoiceColumn)
        + m_list->verticalScrollBar()->sizeHint().width() + 24;
    resize(std::clamp(width, 360, 760), 420);
}

void CommandsWindow::refresh()
{
    setWindowTitle(m_commands.caption().isEmpty() ? m_fallbackTitle : m_commands.caption());
    // Rebuilt only when the list changed: a rebuild between the two clicks
    // of a double-click (the first one activates the window) would lose it.
    QStringList rows;
    for (const Command &c : m_commands.all())
        if (c.enabled)
            rows << c.name + u'\x1f' + c.caption + u'\x1f' + c.voice;
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
        item->setText(CaptionColumn, c.caption.isEmpty() ? c.name : c.caption);
        item->setText(VoiceColumn, readableGrammar(c.voice));
        item->setData(0, NameRole, c.name);
        item->setData(0, CaptionRole, c.caption);
        if (c.name == current)
            keep = item;
    }
    m_list->setCurrentItem(keep ? keep : m_list->topLevelItem(0));
}

void CommandsWindow::choose(QTreeWidgetItem *item)
{
    if (!item)
        return;
    Q_EMIT commandChosen(item->data(0, NameRole).toString(), item->data(0, CaptionRole).toString());
}

void CommandsWindow::showEvent(QShowEvent *event)
{
    refresh();
    QWidget::showEvent(event);
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
