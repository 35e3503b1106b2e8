#pragma once

#include <QLoggingCategory>
#include <QString>

class QUrl;

namespace kestrova {

// Starting programs and opening documents and addresses.
Q_DECLARE_LOGGING_CATEGORY(lcLaunch)

// Opens what the user asked for the way the desktop would: a web address or
// mail address in the desktop's handler, a program by starting it, a
// document in the program associated with it.
// Why a target could not be opened.
enum class OpenFailure {
    // Nothing of that name: no file, folder, program or address.
    NotFound,
    // It exists, but nothing on this computer opens it (a launcher whose
    // program is not installed, no desktop handler).
    NoProgram,
    // Its program was found and would not start.
    NotStarted,
    // A text with a scheme that is no usable address.
    BadAddress,
};

class Shell {
public:
    virtual ~Shell() = default;
    // Returns whether the target could be handed on.
    virtual bool open(const QString &target) = 0;
    // Why the last open() returned false.
    virtual OpenFailure lastFailure() const = 0;
    // Whether the desktop has an application for a document of this kind
    // (asked before opening a file that only some desktops can show).
    virtual bool canOpenDocument(const QString &path) = 0;
};

// The desktop's own handlers, which the real shell hands addresses and
// documents to.
class DesktopHandlers {
public:
    virtual ~DesktopHandlers() = default;
    virtual bool openUrl(const QUrl &url) = 0;
    virtual bool openDocument(const QString &path) = 0;
    // Whether an installed application claims documents of this kind.
    virtual bool hasDocumentHandler(const QString &path) = 0;
};

} // namespace kestrova
