#include "SpeechRecognizer.h"

// The entry point the program looks up when it loads this module
// (createRecognizerFromModule): the recogniser, or nothing with *error
// saying why.
extern "C" Q_DECL_EXPORT kestrova::character::SpeechRecognizer *kestrovaCreateRecognizer(QString *error)
{
    return kestrova::character::createPocketsphinxRecognizer(error).release();
}
