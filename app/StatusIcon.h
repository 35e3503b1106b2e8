#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>

#include <memory>

class QAbstractNativeEventFilter;
class QAction;
class QDBusServiceWatcher;
class QSystemTrayIcon;

namespace kestrova {

class Host;

// The program's icon in the desktop's status area (a StatusNotifierItem
// where a host for those runs, the system tray otherwise): a click shows or
// hides the character, its menu shows, hides and quits it and opens the
// options. Where the desktop has no status area there is no icon; when one
// appears later, the icon comes then: the desktop says so (the status area's
// watcher coming onto the session bus and announcing its host, or a system
// tray's MANAGER message on the X root window). No timer looks for it.
class StatusIcon : public QObject {
    Q_OBJECT
public:
    // How long the status area's watcher on the session bus may take to say
    // whether a host is there.
    static constexpr int ProbeMs = 2000;

    explicit StatusIcon(Host &host, QObject *parent = nullptr);
    ~StatusIcon() override;

    // Shows the icon where the desktop has a status area, else watches for
    // one.
    void start();
    // The program is ending: the icon goes and does not come back.
    void stop();

    bool shown() const;
    QMenu *menu() { return &m_menu; }
    QAction *showAction() const { return m_show; }
    QAction *hideAction() const { return m_hide; }
    QAction *optionsAction() const { return m_options; }
    QAction *quitAction() const { return m_quit; }

private Q_SLOTS:
    // Asks whether a status area is there now, and shows the icon if so.
    void look();

private:
    void watchSystemTray();
    void showIcon();
    void toggle();
    void updateActions();
    Host &m_host;
    QMenu m_menu;
    QAction *m_show = nullptr;
    QAction *m_hide = nullptr;
    QAction *m_options = nullptr;
    QAction *m_quit = nullptr;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    QPointer<QDBusServiceWatcher> m_watcher;
    std::unique_ptr<QAbstractNativeEventFilter> m_trayFilter;
    bool m_stopped = false;
    bool m_probing = false;
    bool m_lookAfterProbe = false;
};

} // namespace kestrova
