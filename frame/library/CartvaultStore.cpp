#include "frame/library/CartvaultStore.h"

#include "frame/library/AudioFormat.h"
#include "frame/library/CartDatabase.h"
#include "frame/library/FileTools.h"
#include "frame/library/LibraryDialogs.h"
#include "frame/library/ProfileSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <QVariant>

using namespace StoreDefaults;

namespace {
bool parseBool(const QString& text, bool* ok)
{
    const QString t = text.trimmed().toLower();
    *ok = true;
    if (t == QLatin1String("1") || t == QLatin1String("true") || t == QLatin1String("yes") || t == QLatin1String("on"))
        return true;
    if (t == QLatin1String("0") || t == QLatin1String("false") || t == QLatin1String("no") || t == QLatin1String("off"))
        return false;
    *ok = false;
    return false;
}
QString boolText(bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); }
} // namespace

bool CartvaultStore::LoadProfile(const QString& name)
{
    ProfileSettings profile;
    profile.LoadProfile(name);
    return readSettings(CartDatabase::shared(profile, &m_lastError), profile.DataLocation);
}

bool CartvaultStore::CreateStore(const QString& name)
{
    ProfileSettings profile;
    profile.LoadProfile(name);
    if (!readSettings(CartDatabase::create(profile, &m_lastError), profile.DataLocation))
        return false;
    QString why;
    if (m_discovered && !FileTools::makeFolder(Location(1), &why)) {
        m_lastError = QStringLiteral("Cannot create the audio location of profile '%1': %2").arg(name, why);
        return false;
    }
    return true;
}

bool CartvaultStore::readSettings(std::shared_ptr<CartDatabase> database, const QString& dataLocation)
{
    m_database = std::move(database);
    m_locations.clear();
    m_discovered = false;
    if (!m_database)
        return false;
    CartDatabase& db = *m_database;
    for (int n = 1;; ++n) {
        const QString key = kLocationKeyPrefix + QString::number(n);
        if (!db.hasSetting(key))
            break;
        m_locations << db.setting(key);
    }
    if (m_locations.isEmpty() && !dataLocation.isEmpty()) {
        m_locations << dataLocation + QStringLiteral("/audio");
        m_discovered = true;
    }
    FirstCart = db.setting(kFirstCartKey, QString::number(kFirstCart)).toLongLong();
    LastCart = db.setting(kLastCartKey, QString::number(kLastCart)).toLongLong();
    StoreSize = db.setting(kStoreSizeKey, QString::number(LastCart)).toLongLong();
    CartNumberFlags = db.setting(kCartNumberFlagsKey, QString::number(kNumericCartNumbers)).toInt();
    AllowLinking = db.setting(kAllowLinkingKey, QStringLiteral("false")) == QLatin1String("true");
    NormaliseDefault = db.setting(kNormaliseDefaultKey, QStringLiteral("0")).toDouble();
    AutoTopDefault = db.setting(kAutoTopDefaultKey, QStringLiteral("false")) == QLatin1String("true");
    FreeDBEnabled = db.setting(kFreeDBEnabledKey, QStringLiteral("false")) == QLatin1String("true");
    FreeDBServer = db.setting(kFreeDBServerKey, kFreeDBServer);
    FreeDBEmail = db.setting(kFreeDBEmailKey);
    AccurateRipVerify = db.setting(kAccurateRipVerifyKey, QStringLiteral("false")) == QLatin1String("true");
    AccurateRipServer = db.setting(kAccurateRipServerKey, kAccurateRipServer);
    CDReadOffset = db.setting(kCDReadOffsetKey, QStringLiteral("0")).toInt();
    LookupTimeout = db.setting(kLookupTimeoutKey, QString::number(kLookupTimeout)).toInt();
    if (LookupTimeout < 1 || LookupTimeout > kMaxLookupTimeout) // written by hand
        LookupTimeout = kLookupTimeout;
    MusicBrainzServer = db.setting(kMusicBrainzServerKey, kMusicBrainzServer);
    NormaliseLoudness = db.setting(kNormaliseModeKey, QStringLiteral("peak")) == QLatin1String("loudness");
    LoudnessTarget = db.setting(kLoudnessTargetKey, QString::number(kLoudnessTarget)).toDouble();
    TruePeakCeiling = db.setting(kTruePeakCeilingKey, QString::number(kTruePeakCeiling)).toDouble();
    m_defaultFormat = db.setting(kDefaultFormatKey, kDefaultFormat);
    m_numberPlayers = db.setting(kNumberPlayersKey, QString::number(kNumberPlayers)).toInt();
    // A connection this process shares may have been opened before the
    // setting last changed.
    if (!db.useStoredLockTimeout()) {
        m_lastError = db.lastError();
        return false;
    }
    LockTimeout = db.lockTimeout();
    return true;
}

namespace {
// Administrator's name of each setting and its key in the settings table.
struct NamedSetting {
    const char* name;
    const QString* key;
};
const NamedSetting kNamedSettings[] = {
    {"FirstCart", &kFirstCartKey},
    {"LastCart", &kLastCartKey},
    {"StoreSize", &kStoreSizeKey},
    {"CartNumberFlags", &kCartNumberFlagsKey},
    {"AllowLinking", &kAllowLinkingKey},
    {"NormaliseDefault", &kNormaliseDefaultKey},
    {"AutoTopDefault", &kAutoTopDefaultKey},
    {"FreeDBEnabled", &kFreeDBEnabledKey},
    {"FreeDBServer", &kFreeDBServerKey},
    {"FreeDBEmail", &kFreeDBEmailKey},
    {"AccurateRipVerify", &kAccurateRipVerifyKey},
    {"AccurateRipServer", &kAccurateRipServerKey},
    {"CDReadOffset", &kCDReadOffsetKey},
    {"LookupTimeout", &kLookupTimeoutKey},
    {"MusicBrainzServer", &kMusicBrainzServerKey},
    {"DefaultFormat", &kDefaultFormatKey},
    {"NumberPlayers", &kNumberPlayersKey},
    {"LockTimeout", &kLockTimeoutKey},
    {"NormaliseMode", &kNormaliseModeKey},
    {"LoudnessTarget", &kLoudnessTargetKey},
    {"TruePeakCeiling", &kTruePeakCeilingKey},
};

// "Location1", "location2"... -> 1, 2; 0 when the name is not a location.
int locationIndex(const QString& name)
{
    if (!name.startsWith(QLatin1String("Location"), Qt::CaseInsensitive))
        return 0;
    bool ok = false;
    const int n = name.mid(8).toInt(&ok);
    return ok && n >= 1 && n <= 16 ? n : 0;
}

QString canonicalName(const QString& name)
{
    for (const NamedSetting& s : kNamedSettings)
        if (name.compare(QLatin1String(s.name), Qt::CaseInsensitive) == 0)
            return QLatin1String(s.name);
    return {};
}
} // namespace

QStringList CartvaultStore::settingNames()
{
    QStringList names;
    for (const NamedSetting& s : kNamedSettings)
        names << QLatin1String(s.name);
    names << QStringLiteral("Location1");
    return names;
}

bool CartvaultStore::SaveProfile(const QString&)
{
    if (!m_database)
        return false;
    QString why;
    const bool saved = m_database->write([this, &why] {
        CartDatabase& db = *m_database;
        if (!db.allows(CartDatabase::Right::Administration) || !cartsFitRange(&why))
            return false;
        for (int n = 1; n <= locationCount(); ++n)
            if (!db.putSetting(kLocationKeyPrefix + QString::number(n), Location(n)))
                return false;
        for (const NamedSetting& s : kNamedSettings)
            if (!db.putSetting(*s.key, settingText(QLatin1String(s.name))))
                return false;
        return true;
    });
    if (saved)
        m_discovered = false;
    else
        m_lastError = why.isEmpty() ? m_database->lastError() : why;
    // The connection this process shares waits as long as the store now says.
    return saved && m_database->useStoredLockTimeout();
}

bool CartvaultStore::cartsFitRange(QString* why) const
{
    QSqlQuery& q = m_database->query(
        QStringLiteral("SELECT MIN(number) FROM carts WHERE audio_length >= 0 AND (number < ? OR number > ?)"));
    q.addBindValue(FirstCart);
    q.addBindValue(LastCart);
    if (!m_database->exec(q))
        return false;
    const QVariant outside = q.next() ? q.value(0) : QVariant();
    q.finish();
    if (outside.isNull())
        return true;
    *why = QStringLiteral("Cart %1 holds audio and would fall outside carts %2 to %3")
               .arg(outside.toLongLong())
               .arg(FirstCart)
               .arg(LastCart);
    return false;
}

int CartvaultStore::CheckSettings() const
{
    const QString primary = Location(1);
    if (primary.isEmpty() || !QDir::isAbsolutePath(primary))
        return 1;
    // A missing folder is not made here: it may be a share not mounted, or a
    // store's audio that is gone.
    const QFileInfo folder(primary);
    if (!folder.isDir() || !folder.isWritable())
        return 1;
    return m_discovered ? 3 : 2;
}

bool CartvaultStore::ShowLocations() { return LibraryDialogs::current().editLocations(*this); }

void CartvaultStore::setLocation(int n, const QString& folder)
{
    if (n < 1 || n > 16)
        return;
    while (m_locations.size() < n)
        m_locations << QString();
    m_locations[n - 1] = folder;
}

// A loudness target from -70 LUFS (the meter's floor) to 0, a true-peak
// ceiling from -20 dBTP to full scale.
bool CartvaultStore::setLevel(const QString& key, const QString& value, QString* error)
{
    const bool target = key == QLatin1String("LoudnessTarget");
    bool isNumber = false;
    const double level = value.trimmed().toDouble(&isNumber);
    const double lowest = target ? -70.0 : -20.0;
    if (!isNumber || level < lowest || level > 0) {
        if (error)
            *error = QStringLiteral("%1 must be a number from %2 to 0 (%3)")
                         .arg(key)
                         .arg(lowest)
                         .arg(target ? QStringLiteral("LUFS") : QStringLiteral("dBTP"));
        return false;
    }
    (target ? LoudnessTarget : TruePeakCeiling) = level;
    return true;
}

QString CartvaultStore::settingText(const QString& name) const
{
    if (const int n = locationIndex(name))
        return Location(n);
    const QString key = canonicalName(name);
    if (key == QLatin1String("FirstCart")) return QString::number(FirstCart);
    if (key == QLatin1String("LastCart")) return QString::number(LastCart);
    if (key == QLatin1String("StoreSize")) return QString::number(StoreSize);
    if (key == QLatin1String("CartNumberFlags")) return QString::number(CartNumberFlags);
    if (key == QLatin1String("AllowLinking")) return boolText(AllowLinking);
    if (key == QLatin1String("NormaliseDefault")) return QString::number(NormaliseDefault);
    if (key == QLatin1String("AutoTopDefault")) return boolText(AutoTopDefault);
    if (key == QLatin1String("FreeDBEnabled")) return boolText(FreeDBEnabled);
    if (key == QLatin1String("FreeDBServer")) return FreeDBServer;
    if (key == QLatin1String("FreeDBEmail")) return FreeDBEmail;
    if (key == QLatin1String("AccurateRipVerify")) return boolText(AccurateRipVerify);
    if (key == QLatin1String("AccurateRipServer")) return AccurateRipServer;
    if (key == QLatin1String("CDReadOffset")) return QString::number(CDReadOffset);
    if (key == QLatin1String("LookupTimeout")) return QString::number(LookupTimeout);
    if (key == QLatin1String("MusicBrainzServer")) return MusicBrainzServer;
    if (key == QLatin1String("DefaultFormat")) return m_defaultFormat;
    if (key == QLatin1String("NumberPlayers")) return QString::number(m_numberPlayers);
    if (key == QLatin1String("LockTimeout")) return QString::number(LockTimeout);
    if (key == QLatin1String("NormaliseMode")) return NormaliseLoudness ? QStringLiteral("loudness") : QStringLiteral("peak");
    if (key == QLatin1String("LoudnessTarget")) return QString::number(LoudnessTarget);
    if (key == QLatin1String("TruePeakCeiling")) return QString::number(TruePeakCeiling);
    return {};
}

bool CartvaultStore::setSettingText(const QString& name, const QString& value, QString* error)
{
    auto refuse = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (const int n = locationIndex(name)) {
        if (!QDir::isAbsolutePath(value) || !QFileInfo(value).isDir())
            return refuse(QStringLiteral("An audio location must be the absolute path of an existing folder: %1").arg(value));
        setLocation(n, QDir::cleanPath(value));
        return true;
    }
    const QString key = canonicalName(name);
    bool ok = true;
    const qint64 number = value.trimmed().toLongLong(&ok);
    const bool numeric = ok;
    const bool flag = parseBool(value, &ok);
    const bool boolean = ok;
    if (key == QLatin1String("FirstCart") || key == QLatin1String("LastCart")) {
        if (!numeric || number < 0 || number > 999999999)
            return refuse(QStringLiteral("A cart number must be a whole number from 0 to 999999999"));
        const qint64 first = key == QLatin1String("FirstCart") ? number : FirstCart;
        const qint64 last = key == QLatin1String("LastCart") ? number : LastCart;
        if (first > last)
            return refuse(QStringLiteral("The first cart must not be above the last cart"));
        FirstCart = first;
        LastCart = last;
    } else if (key == QLatin1String("StoreSize") || key == QLatin1String("CartNumberFlags") || key == QLatin1String("NumberPlayers")) {
        if (!numeric || number < 0 || number > 0x7fffffff)
            return refuse(QStringLiteral("%1 must be a whole number of 0 or more").arg(key));
        if (key == QLatin1String("StoreSize"))
            StoreSize = number;
        else if (key == QLatin1String("CartNumberFlags"))
            CartNumberFlags = static_cast<qint32>(number);
        else
            m_numberPlayers = static_cast<qint32>(number);
    } else if (key == QLatin1String("LockTimeout")) {
        if (!numeric || number < 1 || number > kMaxLockTimeout)
            return refuse(QStringLiteral("LockTimeout must be a whole number of seconds from 1 to %1").arg(kMaxLockTimeout));
        LockTimeout = static_cast<int>(number);
    } else if (key == QLatin1String("LookupTimeout")) {
        if (!numeric || number < 1 || number > kMaxLookupTimeout)
            return refuse(QStringLiteral("LookupTimeout must be a whole number of seconds from 1 to %1").arg(kMaxLookupTimeout));
        LookupTimeout = static_cast<int>(number);
    } else if (key == QLatin1String("MusicBrainzServer")) {
        const QUrl url(value.trimmed());
        if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) || url.host().isEmpty())
            return refuse(QStringLiteral("MusicBrainzServer must be an http:// or https:// address"));
        MusicBrainzServer = value.trimmed();
    } else if (key == QLatin1String("NormaliseDefault")) {
        bool isNumber = false;
        const double percent = value.trimmed().toDouble(&isNumber);
        if (!isNumber || percent < 0 || percent > 100)
            return refuse(QStringLiteral("NormaliseDefault must be a percentage from 0 to 100"));
        NormaliseDefault = percent;
    } else if (key == QLatin1String("AllowLinking") || key == QLatin1String("AutoTopDefault") || key == QLatin1String("FreeDBEnabled")) {
        if (!boolean)
            return refuse(QStringLiteral("%1 must be true or false").arg(key));
        (key == QLatin1String("AllowLinking") ? AllowLinking : key == QLatin1String("AutoTopDefault") ? AutoTopDefault : FreeDBEnabled) = flag;
    } else if (key == QLatin1String("FreeDBServer")) {
        FreeDBServer = value.trimmed();
    } else if (key == QLatin1String("FreeDBEmail")) {
        FreeDBEmail = value.trimmed();
    } else if (key == QLatin1String("AccurateRipVerify")) {
        if (!boolean)
            return refuse(QStringLiteral("%1 must be true or false").arg(key));
        AccurateRipVerify = flag;
    } else if (key == QLatin1String("AccurateRipServer")) {
        if (!value.trimmed().startsWith(QLatin1String("http://")) && !value.trimmed().startsWith(QLatin1String("https://")))
            return refuse(QStringLiteral("AccurateRipServer must be an http:// or https:// address"));
        AccurateRipServer = value.trimmed();
    } else if (key == QLatin1String("CDReadOffset")) {
        if (!numeric || qAbs(number) > kMaxCDReadOffset)
            return refuse(QStringLiteral("CDReadOffset must be a whole number of samples from -%1 to %1").arg(kMaxCDReadOffset));
        CDReadOffset = static_cast<int>(number);
    } else if (key == QLatin1String("NormaliseMode")) {
        if (value.trimmed() != QLatin1String("peak") && value.trimmed() != QLatin1String("loudness"))
            return refuse(QStringLiteral("NormaliseMode must be peak or loudness"));
        NormaliseLoudness = value.trimmed() == QLatin1String("loudness");
    } else if (key == QLatin1String("LoudnessTarget") || key == QLatin1String("TruePeakCeiling")) {
        return setLevel(key, value, error);
    } else if (key == QLatin1String("DefaultFormat")) {
        AudioFormat format;
        if (!format.setSettingsText(value))
            return refuse(QStringLiteral("Not an audio format: %1").arg(value));
        m_defaultFormat = format.SettingsText();
    } else {
        return refuse(QStringLiteral("Unknown setting '%1'; the settings are: %2").arg(name, settingNames().join(QStringLiteral(", "))));
    }
    return true;
}
