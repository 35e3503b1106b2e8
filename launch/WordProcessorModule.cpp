#include "WordProcessorModule.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcWord)

namespace kestrova {

namespace {
const char ModuleFile[] = "libkestrova_writer.so";
using CreateFunction = WordProcessor *(*)();
} // namespace

WordProcessorModule::WordProcessorModule(QStringList folders) : m_folders(std::move(folders)) {}

// The module itself stays loaded to the end of the program: the office's
// runtime does not expect to be unloaded.
WordProcessorModule::~WordProcessorModule() = default;

QStringList WordProcessorModule::defaultFolders(const QString &programDir)
{
    return {programDir, QDir::cleanPath(programDir + QStringLiteral("/../lib/kestrova"))};
}

std::unique_ptr<WordApplication> WordProcessorModule::createApplication()
{
    WordProcessor *module = loaded();
    return module ? module->createApplication() : nullptr;
}

std::unique_ptr<WordApplication> WordProcessorModule::connectToRunning()
{
    WordProcessor *module = loaded();
    return module ? module->connectToRunning() : nullptr;
}

WordProcessor *WordProcessorModule::loaded()
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_abandoned)
            return nullptr;
        if (!m_tried) {
            m_tried = true;
            QStringList reasons;
            for (const QString &folder : m_folders) {
                const QString path = QDir(folder).filePath(QString::fromLatin1(ModuleFile));
                if (!QFileInfo::exists(path))
                    continue;
                QLibrary library(path);
                auto create = reinterpret_cast<CreateFunction>(library.resolve("kestrovaCreateWordProcessor"));
                if (!create) {
                    reasons << library.errorString();
                    continue;
                }
                m_loaded.reset(create());
                break;
            }
            if (!m_loaded) {
                qCWarning(lcWord).noquote()
                    << (reasons.isEmpty() ? QStringLiteral("The word processor module was not built or installed "
                                                           "(it needs LibreOffice's SDK, libreoffice-dev)")
                                          : QStringLiteral("The word processor module did not load: ")
                                                + reasons.join(QStringLiteral("; ")));
            }
        }
    }
    return m_loaded.get();
}

void WordProcessorModule::abandon()
{
    // The lock waits out a module still loading; the start that loaded it
    // then sees the flag before it begins.
    QMutexLocker lock(&m_mutex);
    m_abandoned = true;
    if (m_loaded)
        m_loaded->abandon();
}

} // namespace kestrova
