#include "SpeechRecognizer.h"
#include "VoiceProfile.h"

// The entry point the program looks up when it loads this module
// (createRecognizerFromModule): the recogniser with the user's voice
// profile, its phone loop hearing each utterance while it is spoken, or
// nothing with *error saying why.
extern "C" Q_DECL_EXPORT kestrova::character::SpeechRecognizer *kestrovaCreateRecognizer(QString *error)
{
    using namespace kestrova::character;
    return createPocketsphinxRecognizer(error, PhoneLoopDecoder::Live, VoiceProfile::defaultFolder()).release();
}
