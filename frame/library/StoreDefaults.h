#pragma once
#include <QString>

// The keys of the store-wide settings and what a new store starts with.
namespace StoreDefaults {
inline const QString kDefaultFormatKey = QStringLiteral("audio.default_format");
inline const QString kNumberPlayersKey = QStringLiteral("audio.number_players");
inline const QString kFirstCartKey = QStringLiteral("carts.first");
inline const QString kLastCartKey = QStringLiteral("carts.last");
inline const QString kCartNumberFlagsKey = QStringLiteral("carts.number_flags");
inline const QString kStoreSizeKey = QStringLiteral("carts.store_size");
inline const QString kLocationKeyPrefix = QStringLiteral("location.");
inline const QString kAllowLinkingKey = QStringLiteral("import.allow_linking");
inline const QString kNormaliseDefaultKey = QStringLiteral("import.normalise_default");
inline const QString kAutoTopDefaultKey = QStringLiteral("import.autotop_default");
inline const QString kFreeDBEnabledKey = QStringLiteral("freedb.enabled");
inline const QString kFreeDBServerKey = QStringLiteral("freedb.server");
inline const QString kFreeDBEmailKey = QStringLiteral("freedb.email");
inline const QString kAccurateRipVerifyKey = QStringLiteral("accuraterip.verify");
inline const QString kAccurateRipServerKey = QStringLiteral("accuraterip.server");
inline const QString kCDReadOffsetKey = QStringLiteral("cd.read_offset");
inline const QString kLookupTimeoutKey = QStringLiteral("lookup.timeout_seconds");
inline const QString kMusicBrainzServerKey = QStringLiteral("musicbrainz.server");
inline const QString kLockTimeoutKey = QStringLiteral("locks.timeout_seconds");
inline const QString kNormaliseModeKey = QStringLiteral("import.normalise_mode");
inline const QString kLoudnessTargetKey = QStringLiteral("import.loudness_target");
inline const QString kTruePeakCeilingKey = QStringLiteral("import.true_peak_ceiling");

// A broadcast store's usual house format.
inline const QString kDefaultFormat = QStringLiteral("FormatType=2 SampleRate=48000 Channels=2 FormatTag=1 BitsPerSample=16");
// The CDDB service that still answers.
inline const QString kFreeDBServer = QStringLiteral("gnudb.gnudb.org");
// The public AccurateRip service, where rippers' records are kept.
inline const QString kAccurateRipServer = QStringLiteral("http://www.accuraterip.com/accuraterip/");
// A read offset beyond this is no drive's: about ten sectors.
constexpr int kMaxCDReadOffset = 5880;
inline const QString kMusicBrainzServer = QStringLiteral("https://musicbrainz.org");
// Seconds a disc lookup waits for its server's answer.
constexpr int kLookupTimeout = 10;
constexpr int kMaxLookupTimeout = 120;
// Broadcast loudness (EBU R128) and the true peak it allows.
constexpr double kLoudnessTarget = -23.0;
constexpr double kTruePeakCeiling = -1.0;
constexpr qint64 kFirstCart = 1;
constexpr qint64 kLastCart = 999999;
constexpr qint32 kNumericCartNumbers = 0x1000;
constexpr int kNumberPlayers = 4;
// Seconds a writer waits for a cart or the store held by another workstation.
constexpr int kLockTimeout = 30;
constexpr int kMaxLockTimeout = 3600;
} // namespace StoreDefaults
