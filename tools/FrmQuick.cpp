#include "FrmQuick.h"

#include "CharacterRef.h"
#include "Clipboard.h"
#include "FileOperations.h"
#include "Forms.h"
#include "FrmMain.h"
#include "FrmMenus.h"
#include "FrmCalender.h"
#include "FrmOpen.h"
#include "FrmSearch.h"
#include "Host.h"
#include "SpeechText.h"
#include "WordControls.h"

#include <QCloseEvent>
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
    setWindowTitle(QStringLiteral("Quick Launch"));

    Toolbar = new QToolBar(this);
    Toolbar->setObjectName(QStringLiteral("Toolbar"));
    Toolbar->setIconSize(QSize(IconSize, IconSize));
    Toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    Toolbar->setMovable(false);

    addButton(QStringLiteral("search"), QStringLiteral("Search the 'Web"),
              {{"Search", "search"}, {"Check Mail", "mail"}});
    Toolbar->addSeparator();
    addButton(QStringLiteral("open"), QStringLiteral("Open a file"), {});
    Toolbar->addSeparator();
    addButton(QStringLiteral("settings"), QStringLiteral("Program settings & options"), {});
    Toolbar->addSeparator();
    addButton(QStringLiteral("calender"), QStringLiteral("Calender"), {});
    Toolbar->addSeparator();
    addButton(QStringLiteral("word"), QStringLiteral("Run MS Word"),
              {{"Run", "run"}, {"New Document", "doc"}, {"Read Selection", "read"}, {"My Office", "myoffice"}});
    Toolbar->addSeparator();
    addButton(QStringLiteral("agent"), QStringLiteral("Agent Options"),
              {{"Show", "show"}, {"Hide", "hide"}, {"Change", "change"}, {"Read Clipboard", "clipboard"}});

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
            QAction *action = menu->addAction(QString::fromUtf8(item.caption));
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
    FrmMain *options = m_host.frmMain();
    if (FileOperations::FileExists(options->favouritesPlace())) {
        options->LoadFavourites();
        options->SetFavouritesMenu();
    }
    if (FileOperations::FileExists(options->officePlace())) {
        options->LoadOffice();
        options->SetOfficeMenu();
    }
    options->SetAccessoriesMnu();
}

void FrmQuick::Toolbar_ButtonClick(const QString &key)
{
    character::CharacterRef &agent = m_host.agent();
    if (key == u"search") {
        m_host.frmSearch()->show();
    } else if (key == u"open") {
        m_host.frmOpen()->show();
    } else if (key == u"settings") {
        FrmMain *options = m_host.frmMain();
        options->show();
        options->raise();
    } else if (key == u"calender") {
        m_host.frmCalender()->show();
    } else if (key == u"word") {
        m_host.wordControls().OpenWord();
    } else if (key == u"agent") {
        if (agent.Visible())
            agent.Hide();
        else
            agent.Show();
    }
}

void FrmQuick::Toolbar_ButtonMenuClick(const QString &key)
{
    character::CharacterRef &agent = m_host.agent();
    if (key == u"run") {
        m_host.wordControls().OpenWord();
    } else if (key == u"doc") {
        m_host.wordControls().NewDocument();
    } else if (key == u"read") {
        m_host.wordControls().ReadSelection();
    } else if (key == u"show") {
        agent.Show();
    } else if (key == u"hide") {
        agent.Hide();
    } else if (key == u"change") {
        m_host.frmMenus()->MnuChangeAgent_Click();
    } else if (key == u"clipboard") {
        if (!agent.Visible())
            agent.Show();
        agent.Play(QStringLiteral("Read"));
        const Clipboard *clipboard = m_host.context().platform.clipboard;
        agent.Speak(character::outsideText(clipboard ? clipboard->text() : QString()));
    } else if (key == u"search") {
        m_host.frmSearch()->show();
    } else if (key == u"mail") {
        m_host.frmMenus()->MnuCheckMail_Click();
    } else if (key == u"myoffice") {
        m_host.frmMenus()->PopupMenu(m_host.frmMenus()->MnuMyOffice);
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
