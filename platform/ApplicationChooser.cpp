#include "ApplicationChooser.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QTimer>
#include <QTreeView>

#include <algorithm>

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace kestrova {

namespace {

QIcon iconFor(const QString &icon)
{
    if (icon.isEmpty())
        return QIcon::fromTheme(QStringLiteral("application-x-executable"));
    if (QFileInfo(icon).isAbsolute())
        return QFileInfo(icon).isFile() ? QIcon(icon) : QIcon();
    return QIcon::fromTheme(icon, QIcon::fromTheme(QStringLiteral("application-x-executable")));
}

} // namespace

ApplicationChooser::ApplicationChooser(const QString &title, std::function<QString()> otherFile, QWidget *parent)
    : QDialog(parent), m_otherFile(std::move(otherFile))
{
    setWindowTitle(title);
    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(tr("&Search:"), this);
    m_search = new QLineEdit(this);
    m_search->setPlaceholderText(tr("Name or description"));
    m_search->setClearButtonEnabled(true);
    label->setBuddy(m_search);
    layout->addWidget(label);
    layout->addWidget(m_search);

    m_list = new QListWidget(this);
    m_list->setIconSize(QSize(24, 24));
    m_list->setUniformItemSizes(true);
    layout->addWidget(m_list, 1);
    m_state = new QLabel(this);
    m_state->hide();
    layout->addWidget(m_state);

    auto *buttons = new QDialogButtonBox(this);
    m_other = buttons->addButton(tr("&Other file…"), QDialogButtonBox::ActionRole);
    m_ok = buttons->addButton(QDialogButtonBox::Ok);
    buttons->addButton(QDialogButtonBox::Cancel);
    m_ok->setEnabled(false);
    layout->addWidget(buttons);

    connect(m_search, &QLineEdit::textChanged, this, &ApplicationChooser::narrow);
    connect(m_list, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem *current) { m_ok->setEnabled(current && !current->isHidden()); });
    connect(m_list, &QListWidget::itemActivated, this, &ApplicationChooser::acceptCurrent);
    connect(buttons, &QDialogButtonBox::accepted, this, &ApplicationChooser::acceptCurrent);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_other, &QPushButton::clicked, this, [this] {
        const QString file = m_otherFile ? m_otherFile() : QString();
        if (file.isEmpty())
            return; // back to the list, as it was
        m_chosen = file;
        accept();
    });

    const QScreen *screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
    const QSize available = screen ? screen->availableGeometry().size() : QSize(800, 600);
    resize(fittedSize(QSize(460, 520), available));
    m_search->setFocus();
}

ApplicationChooser::ApplicationChooser(const QList<DesktopEntry> &applications, const QString &title,
                                       std::function<QString()> otherFile, QWidget *parent)
    : ApplicationChooser(title, std::move(otherFile), parent)
{
    setApplications(applications);
}

ApplicationChooser::ApplicationChooser(const DesktopApplicationDirs &dirs, const QString &title,
                                       std::function<QString()> otherFile, QWidget *parent,
                                       const ApplicationScanLimits &limits)
    : ApplicationChooser(title, std::move(otherFile), parent)
{
    m_state->setText(tr("Looking for applications…"));
    m_state->show();
    m_scanning = true;
    m_scan = std::thread([this, dirs, limits] {
        QList<DesktopEntry> found = installedApplications(dirs, &m_cancelled, limits);
        if (m_cancelled)
            return;
        // Queued to this window: dropped if it is gone by then.
        QMetaObject::invokeMethod(
            this, [this, found = std::move(found)] { setApplications(found); }, Qt::QueuedConnection);
    });
}

ApplicationChooser::~ApplicationChooser()
{
    stopSearch();
}

void ApplicationChooser::stopSearch()
{
    m_cancelled = true;
    if (m_scan.joinable())
        m_scan.join();
}

void ApplicationChooser::done(int result)
{
    stopSearch();
    QDialog::done(result);
}

void ApplicationChooser::setApplications(const QList<DesktopEntry> &applications)
{
    if (m_scan.joinable())
        m_scan.join(); // it has handed its list over
    m_scanning = false;
    m_applications = applications;
    m_list->clear();
    for (qsizetype i = 0; i < m_applications.size(); ++i) {
        const DesktopEntry &entry = m_applications.at(i);
        auto *item = new QListWidgetItem(iconFor(entry.icon), entry.name, m_list);
        item->setToolTip(entry.comment.isEmpty() ? entry.id : entry.comment);
        item->setData(Qt::UserRole, int(i));
    }
    m_state->setText(tr("No installed applications were found."));
    m_state->setVisible(m_applications.isEmpty());
    // What was typed while the search ran narrows the list now.
    if (!m_search->text().isEmpty())
        narrow(m_search->text());
    Q_EMIT applicationsFound();
}

int ApplicationChooser::shownCount() const
{
    int shown = 0;
    for (int i = 0; i < m_list->count(); ++i)
        shown += m_list->item(i)->isHidden() ? 0 : 1;
    return shown;
}

void ApplicationChooser::narrow(const QString &text)
{
    const QString wanted = text.simplified();
    QListWidgetItem *first = nullptr;
    for (int i = 0; i < m_list->count(); ++i) {
        QListWidgetItem *item = m_list->item(i);
        const DesktopEntry &entry = m_applications.at(item->data(Qt::UserRole).toInt());
        const bool shown = wanted.isEmpty() || entry.name.contains(wanted, Qt::CaseInsensitive)
                           || entry.comment.contains(wanted, Qt::CaseInsensitive)
                           || entry.id.contains(wanted, Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (shown && !first)
            first = item;
    }
    QListWidgetItem *current = m_list->currentItem();
    if (!current || current->isHidden())
        m_list->setCurrentItem(first);
    m_ok->setEnabled(m_list->currentItem() && !m_list->currentItem()->isHidden());
}

void ApplicationChooser::acceptCurrent()
{
    QListWidgetItem *item = m_list->currentItem();
    if (!item || item->isHidden())
        return;
    m_chosen = m_applications.at(item->data(Qt::UserRole).toInt()).path;
    accept();
}

QString programsFilter()
{
    //: A file dialog's filter: the pattern in brackets stays as it is.
    return QCoreApplication::translate("kestrova::ApplicationChooser", "Programs (*)");
}

QStringList linuxFileFilters(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    bool programs = false;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString &description = parts.at(i);
        const QString &pattern = parts.at(i + 1).trimmed();
        if (pattern.compare(QStringLiteral("*.exe"), Qt::CaseInsensitive) == 0) {
            programs = true;
            continue;
        }
        if (pattern == u"*.*" || pattern == u"*")
            continue; // "All files" comes last, once
        filters << (description.contains(pattern) ? description
                                                  : description + QStringLiteral(" (") + pattern + u')');
    }
    if (programs)
        //: A file dialog's filter: the pattern in brackets stays as it is.
        filters = QStringList{QCoreApplication::translate("kestrova::ApplicationChooser", "Applications (*.desktop)"),
                              programsFilter()} + filters;
    filters << QCoreApplication::translate("kestrova::ApplicationChooser", "All files (*)");
    return filters;
}

QSize fittedSize(const QSize &wanted, const QSize &available)
{
    return QSize(qMin(wanted.width(), available.width() * 9 / 10),
                 qMin(wanted.height(), available.height() * 9 / 10));
}

void fitFileColumns(QFileDialog &dialog)
{
    auto *tree = dialog.findChild<QTreeView *>(QStringLiteral("treeView"));
    if (!tree)
        return;
    QHeaderView *header = tree->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    // The list fills in a little at a time (names first, then sizes and
    // types): the columns are fitted again once it has settled.
    auto *settled = new QTimer(tree);
    settled->setSingleShot(true);
    settled->setInterval(50);
    QObject::connect(settled, &QTimer::timeout, tree, [tree, header] {
        int others = 0;
        for (int column = 1; column < header->count(); ++column) {
            if (header->isSectionHidden(column))
                continue;
            tree->resizeColumnToContents(column);
            others += header->sectionSize(column);
        }
        header->resizeSection(0, std::max(MinNameColumnWidth, tree->viewport()->width() - others));
    });
    const auto refit = [settled] { settled->start(); };
    const auto follow = [tree, refit](QAbstractItemModel *model) {
        if (!model)
            return;
        QObject::connect(model, &QAbstractItemModel::rowsInserted, tree, refit);
        QObject::connect(model, &QAbstractItemModel::dataChanged, tree, refit);
        QObject::connect(model, &QAbstractItemModel::layoutChanged, tree, refit);
        QObject::connect(model, &QAbstractItemModel::modelReset, tree, refit);
    };
    follow(tree->model());
    QObject::connect(&dialog, &QFileDialog::directoryEntered, tree, refit);
    refit();
}

} // namespace kestrova
