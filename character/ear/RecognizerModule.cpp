#include "SpeechRecognizer.h"

#include "ProgramModule.h"

namespace kestrova::character {

namespace {
const char ModuleFile[] = "libkestrova_listening.so";
const char ModuleWhat[] = "Spoken commands";
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
        static ProgramModule programs(QString::fromLatin1(ModuleFile), QString::fromLatin1(ModuleWhat),
                                      ProgramModule::programFolders());
        return createFrom(programs, error);
    }
    ProgramModule module(QString::fromLatin1(ModuleFile), QString::fromLatin1(ModuleWhat), folders);
    return createFrom(module, error);
}

} // namespace kestrova::character
