#include "IntegerText.h"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcSettings)

namespace kestrova {

std::optional<qint16> toInt16(const QString &input)
{
    const QString text = input.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    const qsizetype intStart = i;
    while (i < text.size() && text.at(i).isDigit() && text.at(i).unicode() < 128)
        ++i;
    const QStringView intDigits = QStringView(text).mid(intStart, i - intStart);
    QStringView fracDigits;
    if (i < text.size() && text.at(i) == u'.') {
        const qsizetype fracStart = ++i;
        while (i < text.size() && text.at(i).isDigit() && text.at(i).unicode() < 128)
            ++i;
        fracDigits = QStringView(text).mid(fracStart, i - fracStart);
    }
    if (i != text.size() || (intDigits.isEmpty() && fracDigits.isEmpty()))
        return std::nullopt;

    // The integer part, stopping as soon as it is certainly out of range.
    qint64 magnitude = 0;
    for (QChar c : intDigits) {
        magnitude = magnitude * 10 + (c.unicode() - u'0');
        if (magnitude > 100000)
            return std::nullopt;
    }

    // Round the fraction exactly, from its digits: above one half rounds
    // away from zero, exactly one half rounds to the even neighbour.
    if (!fracDigits.isEmpty()) {
        const int first = fracDigits.at(0).unicode() - u'0';
        bool restNonZero = false;
        for (qsizetype k = 1; k < fracDigits.size(); ++k)
            restNonZero |= fracDigits.at(k) != u'0';
        if (first > 5 || (first == 5 && restNonZero) || (first == 5 && magnitude % 2 == 1))
            ++magnitude;
    }

    const qint64 value = negative ? -magnitude : magnitude;
    if (value < -32768 || value > 32767)
        return std::nullopt;
    return qint16(value);
}

bool convertInto(const QString &text, qint16 *target)
{
    const auto value = toInt16(text);
    if (!value)
        return false;
    *target = *value;
    return true;
}

bool convertStoredInto(const QString &text, qint16 *target, const QString &setting)
{
    if (convertInto(text, target))
        return true;
    if (!text.trimmed().isEmpty())
        qCWarning(lcSettings).noquote()
            << QStringLiteral("The setting %1 holds \"%2\", which is no whole number from -32768 to 32767; %3 is used.")
                   .arg(setting, text.trimmed().left(40), QString::number(*target));
    return false;
}

bool incrementInt16(qint16 *value)
{
    if (*value == 32767)
        return false;
    ++*value;
    return true;
}

} // namespace kestrova
