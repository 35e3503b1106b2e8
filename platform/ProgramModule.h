#pragma once

#include <QFunctionPointer>
#include <QMutex>
#include <QString>
#include <QStringList>

namespace kestrova {

// A part of the program kept in a library of its own ("libkestrova_*.so"
// beside the program), loaded the first time one of its entry points is
// asked for: the program starts without the libraries the part links (and
// their relocation), and a machine without them still runs the rest. A
// module stays loaded to the end of the program. Any thread may ask.
class ProgramModule {
public:
    // `fileName`: the library's file name; `what`: what it does, for the
    // message when it is missing ("mail checks").
    ProgramModule(QString fileName, QString what, QStringList folders);

    // The entry point named `symbol`; null when the module is missing or
    // does not load, and error() tells the user why.
    QFunctionPointer resolve(const char *symbol);
    QString error() const;
    // The file loaded; empty before the first resolve() or when none loaded.
    QString path() const;

    // Where the program's modules are: beside the program, and in the
    // library folder of an installed program (<prefix>/lib/kestrova beside
    // <prefix>/bin).
    static QStringList defaultFolders(const QString &programDir);
    // The same for the running program.
    static QStringList programFolders();

private:
    QString m_fileName;
    QString m_what;
    QStringList m_folders;
    mutable QMutex m_mutex;
    bool m_tried = false;
    QString m_path;
    QString m_error;
};

} // namespace kestrova
