#include "frame/library/CartAudioNames.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

CartAudioNames::CartAudioNames(QString location)
    : m_location(QDir::cleanPath(location))
{
}

QString CartAudioNames::folder(qint64 number) const
{
    return QStringLiteral("%1/%2").arg(m_location).arg(number / 1000, 3, 10, QLatin1Char('0'));
}

QString CartAudioNames::plainFile(qint64 number) const
{
    return QStringLiteral("%1/%2.wav").arg(folder(number)).arg(number, 6, 10, QLatin1Char('0'));
}

QString CartAudioNames::revisionFile(qint64 number, qint64 revision) const
{
    return QStringLiteral("%1/%2.r%3.wav").arg(folder(number)).arg(number, 6, 10, QLatin1Char('0')).arg(revision);
}

QString CartAudioNames::incomingFolder() const { return m_location + QStringLiteral("/.incoming"); }

std::optional<CartAudioNames::Destination> CartAudioNames::destinationOf(const QString& incomingName) const
{
    static const QRegularExpression pattern(QStringLiteral("^(([0-9]{6,})\\.r[0-9]+\\.wav)\\.[A-Za-z0-9]+$"));
    const QRegularExpressionMatch match = pattern.match(incomingName);
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 number = match.captured(2).toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return Destination{folder(number) + QLatin1Char('/') + match.captured(1), number};
}

bool CartAudioNames::contains(const QString& path) const
{
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return clean.startsWith(m_location + QLatin1Char('/'));
}
