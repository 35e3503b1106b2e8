#include "SpeechRecognizer.h"

#include "ProgramModule.h"

#include <QCoreApplication>

namespace kestrova::character {

namespace {
const char ModuleFile[] = "libkestrova_listening.so";
// What the module does, as the messages about it name it.
const char *const ModuleWhat = QT_TRANSLATE_NOOP("kestrova::ProgramModule", "Spoken commands");
QString moduleWhat() { return QCoreApplication::translate("kestrova::ProgramModule", ModuleWhat); }
using CreateFunction = SpeechRecognizer *(*)(QString *error);

std::unique_ptr<SpeechRecognizer> createFrom(ProgramModule &module, QString *error)
{
    const auto create = reinterpret_cast<CreateFunction>(module.resolve("kestrovaCreateRecognizer"));
    if (!create) {
        if (error)
            *error = module.error();
        return nullptr;
    }
    return std::unique_ptr<SpeechRecognizer>(create(error));
}
} // namespace

std::unique_ptr<SpeechRecognizer> createRecognizerFromModule(QString *error, const QStringList &folders)
{
    if (folders.isEmpty()) {
        // Looked for once per run, beside the program.
        static ProgramModule programs(QString::fromLatin1(ModuleFile), moduleWhat(),
                                      ProgramModule::programFolders());
        return createFrom(programs, error);
    }
    ProgramModule module(QString::fromLatin1(ModuleFile), moduleWhat(), folders);
    return createFrom(module, error);
}

} // namespace kestrova::character
