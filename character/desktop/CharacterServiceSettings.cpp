#include "CharacterServiceSettings.h"

#include "Balloon.h"
#include "DesktopCharacterLog.h"

#include <QCoreApplication>
#include <QFontInfo>
#include <QSettings>
#include <algorithm>
#include <cmath>

namespace kestrova::character {

namespace {

// QSettings reads "true"/"false" and numbers; anything else is garbage.
bool readBool(const QSettings &ini, const char *key, bool fallback)
{
    const QVariant v = ini.value(QLatin1String(key));
    if (!v.isValid())
        return fallback;
    const QString s = v.toString().trimmed().toLower();
    if (s == u"true" || s == u"1")
        return true;
    if (s == u"false" || s == u"0")
        return false;
    qCWarning(lcCharacter).noquote() << QStringLiteral("CharacterService.ini: %1=%2 is not true or false; using %3")
                                            .arg(QLatin1String(key), v.toString(), fallback ? u"true" : u"false");
    return fallback;
}

double readNumber(const QSettings &ini, const char *key, double fallback, double low, double high)
{
    const QVariant v = ini.value(QLatin1String(key));
    if (!v.isValid())
        return fallback;
    bool ok = false;
    const double d = v.toString().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(d) || d < low || d > high) {
        qCWarning(lcCharacter).noquote() << QStringLiteral("CharacterService.ini: %1=%2 is not a number from %3 to %4; using %5")
                                                .arg(QLatin1String(key), v.toString())
                                                .arg(low)
                                                .arg(high)
                                                .arg(fallback);
        return fallback;
    }
    return d;
}

// Larger than the balloon can show: its size in points, or in pixels for
// a font sized so (at the screen's resolution, as it is drawn).
bool tooLargeForBalloon(const QFont &font)
{
    constexpr int max = CharacterServiceSettings::MaxBalloonPointSize;
    if (font.pixelSize() > 0)
        return QFontInfo(font).pointSizeF() > max;
    return font.pointSizeF() > max;
}

bool knownVoice(const QString &voice)
{
    return voice.isEmpty() || voice == u"flite:slt" || voice == u"flite:rms"
        || (voice.startsWith(u"qt:") && voice.count(u':') >= 2);
}

} // namespace

CharacterServiceSettings CharacterServiceSettings::read(const QString &iniFile)
{
    const QSettings ini(iniFile, QSettings::IniFormat);
    CharacterServiceSettings s;
    s.speechOutput = readBool(ini, "SpeechOutput", s.speechOutput);
    s.voice = ini.value(QStringLiteral("Voice")).toString();
    if (!knownVoice(s.voice)) {
        qCWarning(lcCharacter).noquote() << QStringLiteral("CharacterService.ini: Voice=%1 names no voice; using the character's own")
                                                .arg(s.voice);
        s.voice.clear();
    }
    s.rate = readNumber(ini, "Rate", 0, -1, 1);
    s.balloonWhileSpeaking = readBool(ini, "Balloon", s.balloonWhileSpeaking);
    s.balloonFont = ini.value(QStringLiteral("BalloonFont")).toString();
    QFont probe;
    if (!s.balloonFont.isEmpty() && !probe.fromString(s.balloonFont)) {
        qCWarning(lcCharacter).noquote() << QStringLiteral("CharacterService.ini: BalloonFont=%1 is not a font; using the default")
                                                .arg(s.balloonFont);
        s.balloonFont.clear();
    } else if (!s.balloonFont.isEmpty() && tooLargeForBalloon(probe)) {
        // Kept in the file as it is: the user may pick another size there.
        qCWarning(lcCharacter).noquote()
            << QStringLiteral("CharacterService.ini: BalloonFont=%1 is larger than the balloon can show; it is shown at %2 pt")
                   .arg(s.balloonFont)
                   .arg(MaxBalloonPointSize);
    }
    const QString key = ini.value(QStringLiteral("ListeningKey"), s.listeningKey).toString().trimmed();
    if (!key.isEmpty())
        s.listeningKey = key;
    s.listeningTimeoutSeconds = int(std::lround(
        readNumber(ini, "ListeningTimeout", s.listeningTimeoutSeconds, MinListeningTimeout, MaxListeningTimeout)));
    const QString mic = ini.value(QStringLiteral("Microphone"), s.microphone).toString().trimmed();
    s.microphone = mic.isEmpty() ? QStringLiteral("Default") : mic;
    s.sounds = readBool(ini, "Sounds", s.sounds);
    return s;
}

bool CharacterServiceSettings::write(const QString &iniFile, QString *error) const
{
    QSettings ini(iniFile, QSettings::IniFormat);
    ini.setValue(QStringLiteral("SpeechOutput"), speechOutput);
    ini.setValue(QStringLiteral("Voice"), voice);
    ini.setValue(QStringLiteral("Rate"), rate);
    ini.setValue(QStringLiteral("Balloon"), balloonWhileSpeaking);
    ini.setValue(QStringLiteral("BalloonFont"), balloonFont);
    ini.setValue(QStringLiteral("ListeningKey"), listeningKey);
    ini.setValue(QStringLiteral("ListeningTimeout"), listeningTimeoutSeconds);
    ini.setValue(QStringLiteral("Microphone"), microphone);
    ini.setValue(QStringLiteral("Sounds"), sounds);
    // QSettings writes through a temporary file and renames it, so a file
    // that cannot be written stays whole.
    ini.sync();
    if (ini.status() != QSettings::NoError) {
        if (error)
            *error = QCoreApplication::translate("kestrova::character::CharacterServiceSettings", "The character options could not be saved to %1").arg(iniFile);
        return false;
    }
    return true;
}

QFont CharacterServiceSettings::font() const
{
    QFont f = Balloon::defaultFont();
    if (!balloonFont.isEmpty()) {
        QFont stored;
        if (stored.fromString(balloonFont))
            f = stored;
    }
    if (tooLargeForBalloon(f))
        f.setPointSizeF(MaxBalloonPointSize);
    return f;
}

VoiceSettings effectiveVoice(const VoiceSettings &own, const CharacterServiceSettings &settings)
{
    VoiceSettings v = own;
    v.rate = std::clamp(own.rate + settings.rate, -1.0, 1.0);
    if (settings.voice.startsWith(u"flite:")) {
        v.engine = QStringLiteral("flite");
        v.name = settings.voice.mid(6);
    } else if (settings.voice.startsWith(u"qt:flite:")) {
        // Stored by an earlier version that listed Qt's flite engine: the
        // program's own flite says it, with the same voice where it has it.
        v.engine = QStringLiteral("flite");
        v.name = settings.voice.mid(9);
        if (v.name != u"slt" && v.name != u"rms")
            v.name.clear();
    } else if (settings.voice.startsWith(u"qt:")) {
        const QString rest = settings.voice.mid(3);
        v.engine = QStringLiteral("system");
        v.systemEngine = rest.section(u':', 0, 0);
        v.name = rest.section(u':', 1);
    } else if (v.engine.isEmpty()) {
        // A character that names no engine speaks with flite, in the
        // program: its first sentence is heard at once, where the desktop's
        // speech service can take seconds to be ready (and a text given to
        // it before then is never heard). The speech service stays a choice
        // in the options, and for characters that ask for "system".
        v.engine = QStringLiteral("flite");
        if (v.name != u"slt" && v.name != u"rms")
            v.name.clear();
    }
    return v;
}

} // namespace kestrova::character
