#include "DesktopCharacterLog.h"

Q_LOGGING_CATEGORY(lcCharacter, "kestrova.character", QtInfoMsg)
