#include "LibreOfficeWriter.h"

// The entry point the program looks up when it loads this module.
extern "C" Q_DECL_EXPORT kestrova::WordProcessor *kestrovaCreateWordProcessor()
{
    return new kestrova::LibreOfficeWriter(kestrova::LibreOfficeWriter::Options{});
}
