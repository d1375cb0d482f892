#include "frame/library/RegistryTools.h"

#include <QSettings>
#include <QStringList>
#include <memory>

namespace {
struct KeyParts {
    QString organisation;
    QString application;
    QString group;
};

KeyParts splitKey(const QString& key)
{
    QStringList parts = QString(key).replace(QLatin1Char('/'), QLatin1Char('\\')).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (!parts.isEmpty() && parts.first().compare(QLatin1String("Software"), Qt::CaseInsensitive) == 0)
        parts.removeFirst();
    KeyParts result;
    result.organisation = parts.value(0, QStringLiteral("Tarnwick"));
    result.application = parts.value(1, QStringLiteral("Orvane v3"));
    result.group = parts.mid(2).join(QLatin1Char('/'));
    return result;
}

std::unique_ptr<QSettings> open(RegistryTools::Hive hive, const KeyParts& parts)
{
    const auto scope = hive == RegistryTools::LocalMachine ? QSettings::SystemScope : QSettings::UserScope;
    return std::make_unique<QSettings>(QSettings::NativeFormat, scope, parts.organisation, parts.application);
}

QString fullName(const KeyParts& parts, const QString& value)
{
    return parts.group.isEmpty() ? value : parts.group + QLatin1Char('/') + value;
}
} // namespace

qint32 RegistryTools::GetRegLong(Hive hive, const QString& key, const QString& value, qint32 defaultValue)
{
    const KeyParts parts = splitKey(key);
    bool ok = false;
    const qint32 result = open(hive, parts)->value(fullName(parts, value)).toString().trimmed().toInt(&ok);
    return ok ? result : defaultValue;
}

QString RegistryTools::GetRegString(Hive hive, const QString& key, const QString& value, const QString& defaultValue)
{
    const KeyParts parts = splitKey(key);
    return open(hive, parts)->value(fullName(parts, value), defaultValue).toString();
}

bool RegistryTools::SetRegString(Hive hive, const QString& key, const QString& value, const QString& data)
{
    const KeyParts parts = splitKey(key);
    auto settings = open(hive, parts);
    settings->setValue(fullName(parts, value), data);
    settings->sync();
    return settings->status() == QSettings::NoError;
}

bool RegistryTools::SetRegLong(Hive hive, const QString& key, const QString& value, qint32 data)
{
    return SetRegString(hive, key, value, QString::number(data));
}
