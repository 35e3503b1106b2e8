#pragma once

// The SHA-256 fingerprint of the first certificate in a PEM file, computed
// apart from the program's own TLS code, as a user would read it off the
// server ("AB:CD:...").

#include <QCryptographicHash>
#include <QFile>
#include <QString>

namespace kestrova::test {

inline QString fingerprintOf(const QString &pemFile)
{
    QFile f(pemFile);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QString pem = QString::fromLatin1(f.readAll())
                            .section(QStringLiteral("-----BEGIN CERTIFICATE-----"), 1)
                            .section(QStringLiteral("-----END CERTIFICATE-----"), 0, 0);
    const QByteArray der = QByteArray::fromBase64(pem.simplified().remove(u' ').toLatin1());
    return QString::fromLatin1(QCryptographicHash::hash(der, QCryptographicHash::Sha256).toHex(':').toUpper());
}

} // namespace kestrova::test
