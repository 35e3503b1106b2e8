#pragma once

#include <QIcon>
#include <QMap>
#include <QWidget>

class QToolBar;
class QToolButton;
class QMenu;

namespace kestrova {

class Host;

// The window "Quick Launch": one toolbar of six buttons, three of them with
// a drop-down menu, giving one click to the other tools. It is loaded
// hidden while the host window loads (its load fills the user's menus from
// their list files) and shown when the tip of the day closes; closing it
// ends the program. Buttons and menu items are told apart by their key.
class FrmQuick : public QWidget {
    Q_OBJECT
public:
    explicit FrmQuick(Host &host);

    void Form_Load();
    // A click on the face of the button with this key.
    void Toolbar_ButtonClick(const QString &key);
    // A choice of the drop-down item with this key.
    void Toolbar_ButtonMenuClick(const QString &key);

    // The button of a key; null for an unknown key.
    QToolButton *button(const QString &key) const { return m_buttons.value(key); }

    // The toolbar's six images, drawn from the SVG files in the program's
    // "icons" folder, in the order "search", "agent", "open", "settings",
    // "calender", "word".
    static QStringList imageKeys();
    static QIcon image(const QString &programDir, const QString &key);

    QToolBar *Toolbar = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    // The Down arrow on a button with a menu opens its menu.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Item {
        const char *caption;
        const char *key;
    };
    void addButton(const QString &key, const QString &tooltip, std::initializer_list<Item> items);

    Host &m_host;
    QMap<QString, QToolButton *> m_buttons;
};

} // namespace kestrova
