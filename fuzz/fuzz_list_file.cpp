// The favourites and office list files, which users edit by hand: read from
// a real file as the program does, then saved and read again.
#include "FileOperations.h"
#include "FuzzInput.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace kestrova;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/fuzz_list_file-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("favourites.txt"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    const std::optional<QStringList> values = FileOperations::LoadListFile(path);
    KESTROVA_FUZZ_ASSERT(values.has_value());
    KESTROVA_FUZZ_ASSERT(values->size() == FileOperations::ListLines);
    // What was read survives a save and a second reading, except for what
    // a line cannot hold: its line breaks.
    KESTROVA_FUZZ_ASSERT(FileOperations::SaveListFile(path, *values));
    const std::optional<QStringList> again = FileOperations::LoadListFile(path);
    KESTROVA_FUZZ_ASSERT(again && *again == *values);
    return 0;
}
