// The alarm time as typed into the alarm window or found in the settings.
#include "AlarmWatch.h"
#include "FuzzInput.h"

#include <QLocale>

using namespace kestrova;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(fuzz::bytes(data, size));
    static const QLocale locales[] = {QLocale(QLocale::English, QLocale::UnitedStates),
                                      QLocale(QLocale::German, QLocale::Germany), QLocale::c()};
    for (const QLocale &locale : locales) {
        const std::optional<QTime> time = AlarmWatch::parseTime(text, locale);
        KESTROVA_FUZZ_ASSERT(!time || time->isValid());
    }
    return 0;
}
