#pragma once

#include <QLoggingCategory>

// The desktop character's log: one line per request when it is queued and
// when it completes, plus warnings about characters and voices. Follow a run
// with QT_LOGGING_RULES="kestrova.character.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcCharacter)
