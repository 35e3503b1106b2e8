#include "ProgramModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QLoggingCategory>

namespace kestrova {

namespace {
Q_LOGGING_CATEGORY(lcModule, "kestrova.module")

QString tr(const char *text)
{
    return QCoreApplication::translate("kestrova::ProgramModule", text);
}
} // namespace

ProgramModule::ProgramModule(QString fileName, QString what, QStringList folders)
    : m_fileName(std::move(fileName)), m_what(std::move(what)), m_folders(std::move(folders))
{
}

QStringList ProgramModule::defaultFolders(const QString &programDir)
{
    return {programDir, QDir::cleanPath(programDir + QStringLiteral("/../lib/kestrova"))};
}

QStringList ProgramModule::programFolders()
{
    return defaultFolders(QCoreApplication::applicationDirPath());
}

QFunctionPointer ProgramModule::resolve(const char *symbol)
{
    QMutexLocker lock(&m_mutex);
    if (!m_tried) {
        m_tried = true;
        QStringList reasons;
        for (const QString &folder : std::as_const(m_folders)) {
            const QString path = QDir(folder).filePath(m_fileName);
            if (!QFileInfo::exists(path))
                continue;
            QLibrary library(path);
            if (library.load()) {
                m_path = path;
                break;
            }
            reasons << library.errorString();
        }
        if (m_path.isEmpty()) {
            m_error = reasons.isEmpty()
                //: %1 what the module does ("Speech and sounds"), %2 its file, %3 the folders looked in.
                ? tr("%1 cannot be used: the program's module %2 is not installed (looked in %3).")
                      .arg(m_what, m_fileName, m_folders.join(QStringLiteral(", ")))
                //: %1 what the module does, %2 its file, %3 why the system would not load it.
                : tr("%1 cannot be used: the program's module %2 does not load: %3")
                      .arg(m_what, m_fileName, reasons.join(QStringLiteral("; ")));
            qCWarning(lcModule).noquote() << m_error;
        } else {
            qCDebug(lcModule).noquote() << "Loaded" << m_path;
        }
    }
    if (m_path.isEmpty())
        return nullptr;
    // Loaded already: this only looks the name up.
    const QFunctionPointer entry = QLibrary::resolve(m_path, symbol);
    if (!entry) {
        //: %1 what the module does, %2 its file, %3 the name it lacks.
        m_error = tr("%1 cannot be used: the program's module %2 lacks %3 (it belongs to another version).")
                      .arg(m_what, m_path, QString::fromLatin1(symbol));
        qCWarning(lcModule).noquote() << m_error;
    }
    return entry;
}

QString ProgramModule::path() const
{
    QMutexLocker lock(&m_mutex);
    return m_path;
}

QString ProgramModule::error() const
{
    QMutexLocker lock(&m_mutex);
    return m_error;
}

} // namespace kestrova
