#include "VoiceProfile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUuid>

namespace kestrova::character {

namespace {
const char ModelName[] = "model";
const char TransformName[] = "mllr_matrix";
const char StampName[] = "made";
// Everything the decoder reads from an adapted model's folder.
const char *const ModelFiles[] = {"mdef", "means", "variances", "sendump", "transition_matrices", "noisedict",
                                  "feat.params"};
} // namespace

QString VoiceProfile::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Kestrova/voice");
}

VoiceProfile::VoiceProfile(QString folder) : m_folder(std::move(folder)) {}

QString VoiceProfile::modelFolder() const
{
    const QString model = m_folder + u'/' + QLatin1String(ModelName);
    for (const char *name : ModelFiles)
        if (!QFileInfo(model + u'/' + QLatin1String(name)).isFile())
            return {};
    return model;
}

QString VoiceProfile::transformFile() const
{
    const QString file = m_folder + u'/' + QLatin1String(TransformName);
    return QFileInfo(file).isFile() ? file : QString();
}

QString VoiceProfile::stamp() const
{
    if (!exists())
        return {};
    QFile file(m_folder + u'/' + QLatin1String(StampName));
    if (file.open(QIODevice::ReadOnly))
        return QString::fromLatin1(file.readAll().trimmed());
    // A profile made by hand: its files' times.
    const QFileInfo info(modelFolder().isEmpty() ? transformFile() : modelFolder() + QStringLiteral("/means"));
    return QString::number(info.lastModified().toMSecsSinceEpoch());
}

QString VoiceProfile::describe() const
{
    QStringList parts;
    if (!modelFolder().isEmpty())
        parts << QStringLiteral("adapted model");
    if (!transformFile().isEmpty())
        parts << QStringLiteral("transform");
    return parts.join(QStringLiteral(" and "));
}

bool VoiceProfile::install(const QString &madeFolder, QString *error) const
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    QFile stamp(madeFolder + u'/' + QLatin1String(StampName));
    if (!stamp.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || stamp.write(QUuid::createUuid().toByteArray(QUuid::WithoutBraces)) < 0 || !stamp.flush())
        return fail(QStringLiteral("Cannot write %1: %2").arg(stamp.fileName(), stamp.errorString()));
    stamp.close();

    const QFileInfo target(m_folder);
    if (!QDir().mkpath(target.absolutePath()))
        return fail(QStringLiteral("Cannot make the folder %1").arg(target.absolutePath()));
    // The old profile is moved aside first and removed only once the new
    // one is in place: a failure leaves the old one working.
    const QString old = m_folder + QStringLiteral(".old");
    QDir(old).removeRecursively();
    const bool hadOld = target.exists();
    if (hadOld && !QDir().rename(m_folder, old))
        return fail(QStringLiteral("Cannot move the old voice profile %1 aside").arg(m_folder));
    if (!QDir().rename(madeFolder, m_folder)) {
        // Another file system: copy it over.
        bool copied = QDir().mkpath(m_folder);
        const QDir from(madeFolder);
        for (const QFileInfo &entry : from.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
            if (entry.isDir()) {
                QDir().mkpath(m_folder + u'/' + entry.fileName());
                for (const QFileInfo &f : QDir(entry.filePath()).entryInfoList(QDir::Files))
                    copied = copied && QFile::copy(f.filePath(), m_folder + u'/' + entry.fileName() + u'/' + f.fileName());
            } else {
                copied = copied && QFile::copy(entry.filePath(), m_folder + u'/' + entry.fileName());
            }
        }
        if (!copied) {
            QDir(m_folder).removeRecursively();
            if (hadOld)
                QDir().rename(old, m_folder);
            return fail(QStringLiteral("Cannot store the voice profile in %1").arg(m_folder));
        }
        QDir(madeFolder).removeRecursively();
    }
    QDir(old).removeRecursively();
    return true;
}

bool VoiceProfile::forget(QString *error) const
{
    if (!QFileInfo::exists(m_folder))
        return true;
    if (QDir(m_folder).removeRecursively())
        return true;
    if (error)
        *error = QStringLiteral("Cannot remove the voice profile %1").arg(m_folder);
    return false;
}

} // namespace kestrova::character
