#pragma once

#include "DesktopApplications.h"

#include <QDialog>

#include <atomic>
#include <functional>
#include <thread>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class QFileDialog;

namespace kestrova {

// What a "Browse" for a program offers on Linux: the installed
// applications as the desktop's menus list them (icon and name, a search
// field that narrows the list by name, description or id), and "Other
// file…" for any file on disk. The answer is the chosen entry's file (the
// shell starts a desktop entry's program) or the other file's path; empty
// when cancelled.
class ApplicationChooser : public QDialog {
    Q_OBJECT
public:
    // otherFile asks for a file of the user's choice and returns its path,
    // or the empty text when the user cancels it.
    ApplicationChooser(const QList<DesktopEntry> &applications, const QString &title,
                       std::function<QString()> otherFile, QWidget *parent = nullptr);
    // Looks for the applications in `dirs` on a thread of its own: the
    // chooser shows at once, "Looking for applications…" until the list
    // comes; closing it stops the search.
    ApplicationChooser(const DesktopApplicationDirs &dirs, const QString &title, std::function<QString()> otherFile,
                       QWidget *parent = nullptr, const ApplicationScanLimits &limits = {});
    ~ApplicationChooser() override;

    QString chosen() const { return m_chosen; }
    // Whether the search for applications has ended (or never ran).
    bool searched() const { return !m_scanning; }
    void done(int result) override;

Q_SIGNALS:
    // The list has come.
    void applicationsFound();

public:
    // How many applications the search leaves shown.
    int shownCount() const;

    QLineEdit *searchField() const { return m_search; }
    QListWidget *list() const { return m_list; }
    QPushButton *otherFileButton() const { return m_other; }
    QPushButton *okButton() const { return m_ok; }

private:
    ApplicationChooser(const QString &title, std::function<QString()> otherFile, QWidget *parent);
    void setApplications(const QList<DesktopEntry> &applications);
    void stopSearch();
    void narrow(const QString &text);
    void acceptCurrent();

    QList<DesktopEntry> m_applications;
    QLabel *m_state;
    bool m_scanning = false;
    std::thread m_scan;
    std::atomic_bool m_cancelled{false};
    std::function<QString()> m_otherFile;
    QLineEdit *m_search;
    QListWidget *m_list;
    QPushButton *m_other;
    QPushButton *m_ok;
    QString m_chosen;
};

// The file dialog's filters for a "description|pattern|..." list written
// for another system: a list that asks for programs ("*.exe") becomes
// "Applications (*.desktop)", "Programs (*)" (executable files) and "All
// files (*)"; "*.*" (which would hide every file without a dot) becomes
// "All files (*)"; other patterns stay.
QStringList linuxFileFilters(const QString &filter);
// The filter that shows programs (executable files), in the user's language.
QString programsFilter();

// A size for a window that wants `wanted` on a screen whose free area is
// `available`: never larger than nine tenths of it either way.
QSize fittedSize(const QSize &wanted, const QSize &available);

// The file dialog's detail list with its columns made to fit what they
// show: size, type and date as wide as their longest entry and heading,
// never cut short; the name takes the room left, at least
// MinNameColumnWidth (the list scrolls sideways when that is more). Call
// after the dialog's proxy model, if any, is set.
void fitFileColumns(QFileDialog &dialog);
constexpr int MinNameColumnWidth = 220;

} // namespace kestrova
