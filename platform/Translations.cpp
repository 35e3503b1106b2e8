#include "Translations.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

namespace kestrova::Translations {

QString builtInFolder()
{
    return QStringLiteral(":/i18n");
}

namespace {

QString installedLanguage;

// "pt-BR" gives pt_BR then pt.
QStringList candidates(const QString &language)
{
    QStringList out;
    QString name = language;
    name.replace(u'-', u'_');
    while (!name.isEmpty()) {
        out << name;
        const qsizetype cut = name.lastIndexOf(u'_');
        if (cut <= 0)
            break;
        name.truncate(cut);
    }
    return out;
}

} // namespace

QString install(const QStringList &languages, const QString &folder)
{
    for (const QString &language : languages) {
        for (const QString &name : candidates(language)) {
            if (name == u"en" || name.startsWith(QStringLiteral("en_")))
                return {};
            // Only the catalogue of this very name: the translator's own
            // search would also take kestrova_pt.qm for pt_BR, before pt_BR
            // has had its turn among the user's languages.
            const QString file = folder + QStringLiteral("/kestrova_") + name + QStringLiteral(".qm");
            if (!QFileInfo::exists(file))
                continue;
            auto *own = new QTranslator(QCoreApplication::instance());
            if (!own->load(file)) {
                delete own;
                continue;
            }
            QCoreApplication::installTranslator(own);
            // The standard buttons and dialogs Qt draws, where its catalogue
            // for the language is installed.
            auto *qt = new QTranslator(QCoreApplication::instance());
            if (qt->load(QStringLiteral("qtbase_") + name, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
                QCoreApplication::installTranslator(qt);
            else
                delete qt;
            installedLanguage = name;
            return name;
        }
    }
    return {};
}

QLocale locale()
{
    return installedLanguage.isEmpty() ? QLocale(QLocale::English) : QLocale(installedLanguage);
}

} // namespace kestrova::Translations
