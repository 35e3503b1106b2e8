#include "FrmQuick.h"

#include "CharacterRef.h"
#include "Clipboard.h"
#include "Actions.h"
#include "Forms.h"
#include "Host.h"
#include "UserModel.h"
#include "ToolsActions.h"

#include <QCloseEvent>
#include <QHash>
#include <QKeyEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QMenu>
#include <QPainter>
#include <QSvgRenderer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace kestrova {

namespace {
constexpr int IconSize = 24;
}

QStringList FrmQuick::imageKeys()
{
    return {QStringLiteral("search"), QStringLiteral("agent"), QStringLiteral("open"),
            QStringLiteral("settings"), QStringLiteral("calender"), QStringLiteral("word")};
}

QIcon FrmQuick::image(const QString &programDir, const QString &key)
{
    // Drawn for each scale from the vector file, so the image is sharp at
    // 1x, 2x and 3x rather than a scaled bitmap.
    const QString file = programDir + QStringLiteral("/icons/") + key + QStringLiteral(".svg");
    QIcon icon;
    if (!QFileInfo::exists(file))
        return icon;
    QSvgRenderer renderer(file);
    if (!renderer.isValid())
        return icon;
    for (int scale = 1; scale <= 3; ++scale) {
        QPixmap pixmap(IconSize * scale, IconSize * scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        pixmap.setDevicePixelRatio(scale);
        icon.addPixmap(pixmap);
    }
    return icon;
}

FrmQuick::FrmQuick(Host &host) : QWidget(nullptr), m_host(host)
{
    setObjectName(QStringLiteral("FrmQuick"));
    setWindowTitle(tr("Quick Launch"));

    Toolbar = new QToolBar(this);
    Toolbar->setObjectName(QStringLiteral("Toolbar"));
    Toolbar->setIconSize(QSize(IconSize, IconSize));
    Toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    Toolbar->setMovable(false);

    addButton(QStringLiteral("search"), tr("Search the 'Web"),
              {{QT_TR_NOOP("Search"), "search"}, {QT_TR_NOOP("Check Mail"), "mail"}});
    Toolbar->addSeparator();
    addButton(QStringLiteral("open"), tr("Open a file"), {});
    Toolbar->addSeparator();
    addButton(QStringLiteral("settings"), tr("Program settings & options"), {});
    Toolbar->addSeparator();
    addButton(QStringLiteral("calender"), tr("Calender"), {});
    Toolbar->addSeparator();
    addButton(QStringLiteral("word"), tr("Run MS Word"),
              {{QT_TR_NOOP("Run"), "run"}, {QT_TR_NOOP("New Document"), "doc"}, {QT_TR_NOOP("Read Selection"), "read"}, {QT_TR_NOOP("My Office"), "myoffice"}});
    Toolbar->addSeparator();
    addButton(QStringLiteral("agent"), tr("Agent Options"),
              {{QT_TR_NOOP("Show"), "show"},
               {QT_TR_NOOP("Hide"), "hide"},
               {QT_TR_NOOP("Change"), "change"},
               {QT_TR_NOOP("Read Clipboard"), "clipboard"},
               {QT_TR_NOOP("Read Selected Text"), "selection"}});

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(Toolbar);
    setFixedSize(sizeHint());
    // Top right of the screen, clear of the character's usual place at the
    // top left.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.right() - width() - 24, area.top() + 24);
    }
}

void FrmQuick::addButton(const QString &key, const QString &tooltip, std::initializer_list<Item> items)
{
    auto *button = new QToolButton(Toolbar);
    button->setObjectName(key);
    button->setIcon(image(m_host.context().programDir, key));
    button->setToolTip(tooltip);
    button->setAutoRaise(true);
    connect(button, &QToolButton::clicked, this, [this, key] { Toolbar_ButtonClick(key); });
    if (items.size() > 0) {
        // The face runs the button's own action; the arrow opens its menu.
        auto *menu = new QMenu(button);
        menu->setObjectName(key + QStringLiteral("Menu"));
        for (const Item &item : items) {
            QAction *action = menu->addAction(tr(item.caption));
            const QString itemKey = QString::fromLatin1(item.key);
            action->setData(itemKey);
            connect(action, &QAction::triggered, this, [this, itemKey] { Toolbar_ButtonMenuClick(itemKey); });
        }
        button->setMenu(menu);
        button->setPopupMode(QToolButton::MenuButtonPopup);
        button->installEventFilter(this);
    }
    Toolbar->addWidget(button);
    m_buttons.insert(key, button);
}

void FrmQuick::Form_Load()
{
    // The user's menus from the stored lists and choices.
    UserModel &model = m_host.model();
    for (UserModel::List list : {UserModel::List::Favourites, UserModel::List::Office}) {
        if (model.listFileExists(list)) {
            model.loadList(list);
            model.showList(list);
        }
    }
    model.loadAccessories();
}

void FrmQuick::Toolbar_ButtonClick(const QString &key)
{
    // Each button face runs a registered action; "agent" is this window's.
    static const QHash<QString, QString> faces = {
        {QStringLiteral("search"), QStringLiteral("Search the Internet")},
        {QStringLiteral("open"), QStringLiteral("Open File")},
        {QStringLiteral("settings"), QStringLiteral("Options")},
        {QStringLiteral("calender"), QStringLiteral("Calender")},
        {QStringLiteral("word"), QStringLiteral("Word")},
    };
    if (const auto id = faces.constFind(key); id != faces.constEnd()) {
        m_host.actions().run(*id, Asked::FromMenu);
    } else if (key == u"agent") {
        character::CharacterRef &agent = m_host.agent();
        if (agent.Visible())
            agent.Hide();
        else
            agent.Show();
    }
}

void FrmQuick::Toolbar_ButtonMenuClick(const QString &key)
{
    // Menu items that name a registered action; the character's own items
    // are this window's.
    static const QHash<QString, QString> items = {
        {QStringLiteral("run"), QStringLiteral("Word")},
        {QStringLiteral("doc"), QStringLiteral("New Document")},
        {QStringLiteral("read"), QStringLiteral("Read Selection")},
        {QStringLiteral("change"), QStringLiteral("ChangeAgent")},
        {QStringLiteral("search"), QStringLiteral("Search the Internet")},
        {QStringLiteral("mail"), QStringLiteral("Check Mail")},
        {QStringLiteral("myoffice"), QStringLiteral("My Office")},
        {QStringLiteral("selection"), QStringLiteral("Read Selected Text")},
    };
    character::CharacterRef &agent = m_host.agent();
    if (const auto id = items.constFind(key); id != items.constEnd()) {
        m_host.actions().run(*id, Asked::FromMenu);
    } else if (key == u"show") {
        agent.Show();
    } else if (key == u"hide") {
        agent.Hide();
    } else if (key == u"clipboard") {
        Clipboard *clipboard = m_host.context().platform.clipboard;
        if (!clipboard) {
            readAloud(m_host, QString());
            return;
        }
        // The clipboard's owner is another program, which answers when it
        // will; the character goes on meanwhile.
        Host *host = &m_host;
        clipboard->readClipboardText(this, [host](const std::optional<QString> &text) {
            readAloud(*host, text, tr("I could not read the clipboard."));
        });
    }
}

bool FrmQuick::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        auto *button = qobject_cast<QToolButton *>(watched);
        if (button && button->menu() && key->key() == Qt::Key_Down
            && (key->modifiers() & ~(Qt::AltModifier | Qt::KeypadModifier)) == Qt::NoModifier) {
            button->showMenu();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FrmQuick::closeEvent(QCloseEvent *event)
{
    event->accept();
    m_host.forms().unload(this);
    // Closing the toolbar ends the program, after the farewell.
    m_host.AgentQuit();
}

} // namespace kestrova
