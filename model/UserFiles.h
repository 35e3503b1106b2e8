#pragma once

#include <QString>

namespace kestrova {

// Where the user's own files live: the favourites and office lists and the
// user's copy of the jokes, all in the per-user data folder
// (~/.local/share/Kestrova). Nothing is ever written beside the program or
// beside any other folder of the system.
//
// Earlier versions kept the two lists beside the program's folder, the
// folder's path with the file name appended (build/binfavourites.txt). The
// first time a list is asked for and the user has none of their own, such a
// file is copied into the user's folder; from then on the user's copy is the
// list and the old file is left alone, never read or written again.
class UserFiles {
public:
    // programDir: the folder of the running program (the shipped JOKES.TXT
    // is there). userDataDir: the user's data folder, created when first
    // written.
    UserFiles(QString programDir, QString userDataDir);

    // ~/.local/share/Kestrova, or $XDG_DATA_HOME/Kestrova.
    static QString defaultDataDir();

    const QString &dataDir() const { return m_dataDir; }

    // The user's list file of that name, taken over from the old place the
    // first time. Always in the user's folder, whether it exists or not.
    QString listFile(const QString &fileName) const;

    // The jokes to read: the user's copy when there is one, else the
    // shipped file beside the program.
    QString jokesToRead() const;
    // The user's copy of the jokes, made from the shipped file when there is
    // none yet (an empty file when nothing was shipped). Empty when the copy
    // cannot be made; the caller then has nothing to open.
    QString jokesToEdit() const;

    static inline const QString JokesFile = QStringLiteral("JOKES.TXT");

private:
    QString userPath(const QString &fileName) const;
    QString m_programDir;
    QString m_dataDir;
};

} // namespace kestrova
