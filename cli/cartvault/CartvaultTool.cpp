#include "CartvaultTool.h"

#include "audio/CartChunkFields.h"
#include "frame/AppPaths.h"
#include "frame/library/AudioSettings.h"
#include "frame/library/AuditLog.h"
#include "frame/library/CartMetadata.h"
#include "cli/common/TerminalProgress.h"
#include "frame/library/CartDatabase.h"
#include "frame/library/CartFingerprints.h"
#include "frame/library/CartNumbers.h"
#include "frame/library/CartRecord.h"
#include "frame/library/CartvaultStore.h"
#include "frame/library/Directory.h"
#include "frame/library/DropboxMemory.h"
#include "frame/library/DirectoryUser.h"
#include "frame/library/OrvaneLibrary.h"
#include "frame/library/PlayoutAudio.h"
#include "frame/library/ProfileSettings.h"
#include "cli/common/TerminalProgress.h"
#include "wizard/ImportAnalysis.h"
#include "frame/library/TimeTools.h"
#include "platform/fingerprint/AudioFingerprint.h"
#include "platform/fingerprint/FingerprintIndex.h"
#include "wizard/MatchSearch.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cmath>
#include <cstdio>

namespace {
void out(const QString& text) { std::fprintf(stdout, "%s\n", qPrintable(text)); }
void err(const QString& text) { std::fprintf(stderr, "%s\n", qPrintable(text)); }
void outJson(const QJsonDocument& document) { std::fprintf(stdout, "%s", document.toJson(QJsonDocument::Indented).constData()); }

// The text fields of `set`: option and the key of `show --json`.
const QList<QPair<QString, QString>> kTextSetOptions{
    {"category", "category"}, {"classification", "classification"}, {"client-id", "client_id"}, {"cut-id", "cut_id"},
    {"out-cue", "out_cue"},   {"user-def", "user_def"},             {"composer", "composer"},   {"publisher", "publisher"},
    {"label", "label"},       {"url", "url"},
};

// A change of `set` as "key=value" for the audit log; the error for a bad value.
QString setAirTime(const CommandLine& args, const char* option, bool endOfDay, QJsonObject& fields, QStringList& changes)
{
    const QString name = QLatin1String(option);
    if (!args.has(name))
        return {};
    const auto time = CartMetadata::airTimeFrom(args.value(name), endOfDay);
    if (!time)
        return QStringLiteral("--%1 takes a date such as 2027-01-31 or 2027-01-31 18:00, not '%2'").arg(name, args.value(name));
    const QString key = endOfDay ? QStringLiteral("end_air") : QStringLiteral("start_air");
    fields.insert(key, CartMetadata::airTimeText(*time));
    changes << key + QLatin1Char('=') + CartMetadata::airTimeText(*time);
    return {};
}

QString applySetOptions(const CommandLine& args, CartRecord& cart, QStringList& changes)
{
    QJsonObject fields = cart.Metadata.toJson();
    for (const auto& [option, key] : kTextSetOptions)
        if (args.has(option)) {
            fields.insert(key, args.value(option).trimmed());
            changes << key + QLatin1Char('=') + args.value(option).trimmed();
        }
    if (const QString why = setAirTime(args, "start-date", false, fields, changes); !why.isEmpty())
        return why;
    if (const QString why = setAirTime(args, "end-date", true, fields, changes); !why.isEmpty())
        return why;
    if (args.has(QStringLiteral("year"))) {
        const QString text = args.value(QStringLiteral("year")).trimmed();
        bool ok = text.isEmpty();
        const int year = ok ? 0 : text.toInt(&ok);
        if (!ok || year < 0 || year > 9999)
            return QStringLiteral("--year takes a year such as 1969");
        fields.insert(QStringLiteral("year"), year);
        changes << QStringLiteral("year=%1").arg(year);
    }
    if (args.has(QStringLiteral("isrc"))) {
        const QString given = args.value(QStringLiteral("isrc"));
        cart.Isrc = CartRecord::isrcFrom(given);
        if (cart.Isrc.isEmpty() && !given.trimmed().isEmpty())
            return QStringLiteral("--isrc takes an ISRC such as GB-AYE-00-00351, not '%1'").arg(given);
        changes << QStringLiteral("isrc=") + cart.Isrc;
    }
    cart.Metadata = CartMetadata::fromJson(fields);
    return {};
}

// "7d", "12h", "30m", or days alone; 0 for anything else.
qint64 periodSeconds(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d+)([dhm]?)$"));
    const QRegularExpressionMatch match = pattern.match(text.trimmed().toLower());
    if (!match.hasMatch())
        return 0;
    const qint64 count = match.captured(1).toLongLong();
    const QString unit = match.captured(2);
    return count * (unit == QLatin1String("h") ? 3600 : unit == QLatin1String("m") ? 60 : 86400);
}
} // namespace

CartvaultTool::CartvaultTool() = default;

QSet<QString> CartvaultTool::setOptions()
{
    QSet<QString> options{"start-date", "end-date", "isrc", "year"};
    for (const auto& option : kTextSetOptions)
        options << option.first;
    return options;
}
CartvaultTool::~CartvaultTool() = default;

const QList<CartvaultTool::Verb>& CartvaultTool::verbs()
{
    static const QList<Verb> list{
        {"profile create", "profile create NAME --data DIR [--postgres CONNINFO]",
         "Creates a profile and its store: an SQLite Cartvault in DIR, or the PostgreSQL database that CONNINFO\n"
         "names (\"host=... port=... dbname=... user=...\"; the password comes from PGPASSWORD or ~/.pgpass).\n"
         "A primary and its standby: \"host=a,b port=5432,5432 ... target_session_attrs=read-write\" (the one\n"
         "that takes writes is used, and taken again after the connection drops).\n"
         "DIR also holds the store's audio unless Location1 is set to another folder. A new store needs a new or\n"
         "empty DIR (and an empty database); a store that is there already gets the new profile.",
         &CartvaultTool::profileCreate, {"data", "postgres"}, {}},
        {"profile list", "profile list", "Lists the profiles of this user.", &CartvaultTool::profileList, {}, {}},
        {"user add", "user add NAME --cart-rights N [--admin]",
         "Adds a user to the store's directory, or changes their rights: cart rights below 0: no access to\n"
         "carts, 0: may not add carts, above 0: may add carts; --admin: may change users and store settings.\n"
         "Needs an administrator; nobody raises their own rights.",
         &CartvaultTool::userAdd, {"cart-rights"}, {"admin"}},
        {"user list", "user list", "Lists the store's users, their cart rights and who administers the store.",
         &CartvaultTool::userList, {}, {}},
        {"settings get", "settings get KEY", "Prints one store setting.", &CartvaultTool::settingsGet, {}, {}},
        {"settings set", "settings set KEY VALUE",
         "Changes one store setting for every workstation of the store (needs an administrator). DefaultFormat\n"
         "takes a format text such as \"FormatType=2 SampleRate=48000 Channels=2 FormatTag=1 BitsPerSample=16\".\n"
         "FirstCart and LastCart cannot leave out carts that hold audio. LockTimeout (seconds, 1 to 3600) is how long\n"
         "an import waits for a cart or the store that another workstation is changing before it gives up.",
         &CartvaultTool::settingsSet, {}, {}},
        {"settings list", "settings list", "Prints every store setting.", &CartvaultTool::settingsList, {}, {}},
        {"import", "import CART FILE.wav|FILE.zip [--link] [--overwrite]",
         "Puts a WAV file into a cart as it is (no conversion), or unpacks a transport zip into it (audio and\n"
         "fields), then measures its loudness (unless the zip brought it) and fingerprints it; needs cart rights\n"
         "above 0. A cart that holds audio is refused unless --overwrite. --link records where the file is instead of copying it, when\n"
         "the store allows linking.",
         &CartvaultTool::importAudio, {}, {"link", "overwrite"}},
        {"list", "list [--json] [--expired | --expiring-within 7d]",
         "Lists the carts that hold audio; --expired those whose end air time has passed, --expiring-within\n"
         "those it comes to within that time (a number of days, or with d, h or m: days, hours, minutes).",
         &CartvaultTool::listCarts, {"expiring-within"}, {"json", "expired"}},
        {"set", "set CART [--start-date D] [--end-date D] [--isrc CODE] [--category T] [FIELD OPTIONS ...]",
         "Changes fields of a cart (needs cart rights above 0; audited): --start-date and --end-date (\"2027-01-31\"\n"
         "or \"2027-01-31 18:00\"; a date alone starts at its first second, ends at its last), --isrc (CC-XXX-YY-NNNNN,\n"
         "hyphens optional), --category, --classification, --client-id, --cut-id, --out-cue, --user-def,\n"
         "--composer, --publisher, --label, --year, --url. An empty value clears the field. New audio clears\n"
         "them all, as it brings its own.",
         &CartvaultTool::setCart, setOptions(), {}},
        {"show", "show CART [--json]", "Shows one cart's fields.", &CartvaultTool::showCart, {}, {"json"}},
        {"search", "search [--title T] [--artist A] [--desc D] [--json]",
         "Lists the carts holding audio that match, by the import wizard's rule: a wanted text matches when the\n"
         "cart's text holds it, or when it begins with the cart's text (letter case ignored); the artist and\n"
         "description are looked for in both the cart's artist and description. Unlike the wizard, which starts\n"
         "at the first free cart, the whole store is searched.",
         &CartvaultTool::search, {"title", "artist", "desc"}, {"json"}},
        {"fingerprint", "fingerprint --missing",
         "Fingerprints the audio of every cart that holds audio without a fingerprint (carts imported before\n"
         "imports took one) or with one that no longer reads as one, so that duplicates finds them; needs cart\n"
         "rights above 0.",
         &CartvaultTool::fingerprintMissing, {}, {"missing"}},
        {"duplicates", "duplicates [--json] [--threshold S]",
         "Lists groups of carts holding the same audio, whatever their titles: each match says how a cart\n"
         "stands to another (\"same audio\"; \"contains\" or \"part of\" for an edit of a longer item) and its\n"
         "score, from 0 (unrelated) to 1 (every bit of the fingerprints equal). Matches need a score of at\n"
         "least S (default 0.6) over at least ten seconds of audio. Carts without a fingerprint are left out\n"
         "('fingerprint --missing' takes them).",
         &CartvaultTool::duplicates, {"threshold"}, {"json"}},
        {"dropbox list", "dropbox list FOLDER [--json]",
         "Lists what the drop-folder watchers took from FOLDER: each file version (name, size, time) with its\n"
         "outcome and cart. A file is taken once; a file replaced with new content is taken again.",
         &CartvaultTool::dropboxList, {}, {"json"}},
        {"dropbox reset", "dropbox reset FOLDER",
         "Forgets what was taken from FOLDER, so files still there are imported again (needs an administrator).",
         &CartvaultTool::dropboxReset, {}, {}},
        {"export", "export CART FILE.zip [--force] | export --wav CART FILE.wav [--force]",
         "Packs a cart (fields and audio) into a transport zip. With --wav, writes the cart's audio as a broadcast\n"
         "WAV instead: a cart chunk with every cart field and post timer, and a bext chunk (title, artist, and\n"
         "the loudness the audio's own bext chunk holds). An existing FILE is refused unless --force;\n"
         "the store's database, anything in its audio locations and any file a cart plays are always refused.",
         &CartvaultTool::exportCart, {}, {"force", "wav"}},
        {"audit", "audit [--json] [--limit N]", "Shows the store's audit log, oldest first.", &CartvaultTool::audit,
         {"limit"}, {"json"}},
        {"analyse", "analyse --missing",
         "Measures the loudness (EBU R128) of every cart whose audio was never measured: carts imported before\n"
         "the store measured imports. The values are kept with the cart (see 'show'); a cart without a\n"
         "fingerprint gets one in the same read. The audio files are not changed. Needs cart rights above 0.",
         &CartvaultTool::analyse, {}, {"missing"}},
    };
    return list;
}

int CartvaultTool::fail(const QString& message) const
{
    err(QStringLiteral("cartvault: ") + message);
    return Failure;
}

int CartvaultTool::usage(const QString& message) const
{
    err(QStringLiteral("cartvault: ") + message);
    err(QStringLiteral("Try 'cartvault --help'."));
    return Usage;
}

void CartvaultTool::printHelp() const
{
    out(QStringLiteral("Usage: cartvault [--profile NAME] VERB ...\n       cartvault help [VERB]\n\nVerbs:"));
    for (const Verb& verb : verbs())
        out(QStringLiteral("  ") + QLatin1String(verb.synopsis));
    out(QStringLiteral("\nEach verb takes --help (or -h); --version prints the program's version. A value follows\n"
                       "its option as the next word or after '='. Verbs that replace a cart's audio ask for\n"
                       "'overwrite', those that replace a file for 'force'. JSON output uses snake_case keys,\n"
                       "cart numbers and seconds as numbers.\n"
                       "Without --profile the only profile is used. Only 'profile create' makes a store: a\n"
                       "profile whose store is missing or damaged is refused. Exit codes: 0 success, 1 failure,\n"
                       "2 usage.\n\n"
                       "Rights: reading and export need none; import, set, analyse and fingerprint need cart rights above 0, user\n"
                       "add and\n"
                       "settings set an administrator of the store (its creator is one), all as the system user\n"
                       "running the tool. On an SQLite store this guards against mistakes: anyone who may write\n"
                       "the store's files can change them. A shared PostgreSQL store is guarded by database\n"
                       "roles: grant <database>_reader to a studio's login role for reading, <database>_writer\n"
                       "for importing."));
}

void CartvaultTool::printVerbHelp(const Verb& verb) const
{
    out(QStringLiteral("Usage: cartvault [--profile NAME] ") + QLatin1String(verb.synopsis) + QStringLiteral("\n\n")
        + QLatin1String(verb.help));
}

int CartvaultTool::run(const QStringList& arguments)
{
    QStringList rest = arguments;
    while (!rest.isEmpty() && rest.first().startsWith(QLatin1String("--"))) {
        const QString option = rest.takeFirst();
        if (option == QLatin1String("--help")) {
            printHelp();
            return Success;
        }
        if (option == QLatin1String("--profile") && !rest.isEmpty())
            m_profileOption = rest.takeFirst();
        else if (option.startsWith(QLatin1String("--profile=")))
            m_profileOption = option.mid(10);
        else
            return usage(QStringLiteral("unknown option %1").arg(option));
    }
    if (rest.isEmpty())
        return usage(QStringLiteral("no verb given"));
    // "cartvault help", "cartvault -h", and "cartvault help VERB" as "cartvault VERB --help".
    const bool askedForHelp = rest.first() == QLatin1String("help") || rest.first() == QLatin1String("-h");
    if (askedForHelp && rest.size() == 1) {
        printHelp();
        return Success;
    }
    if (askedForHelp)
        rest = rest.mid(1) << QStringLiteral("--help");
    for (const Verb& verb : verbs()) {
        const QStringList words = QString::fromLatin1(verb.name).split(QLatin1Char(' '));
        if (rest.mid(0, words.size()) != words)
            continue;
        const QStringList verbArguments = rest.mid(words.size());
        if (verbArguments.contains(QStringLiteral("--help")) || verbArguments.contains(QStringLiteral("-h"))) {
            printVerbHelp(verb);
            return Success;
        }
        const CommandLine args(verbArguments, verb.valueOptions);
        if (!args.ok())
            return usage(args.error());
        const QStringList unknown = args.unknownOptions(verb.valueOptions + verb.flags);
        if (!unknown.isEmpty())
            return usage(QStringLiteral("unknown option %1 for '%2'").arg(unknown.first(), QLatin1String(verb.name)));
        return (this->*verb.handler)(args);
    }
    return usage(QStringLiteral("unknown verb '%1'").arg(rest.mid(0, 2).join(QLatin1Char(' '))));
}

bool CartvaultTool::openStore()
{
    if (!m_session.openStore(m_profileOption)) {
        fail(m_session.error());
        return false;
    }
    m_audio = m_session.audio();
    return true;
}

bool CartvaultTool::openDirectory()
{
    if (!m_session.openDirectory(m_profileOption)) {
        fail(m_session.error());
        return false;
    }
    m_directory = m_session.directory();
    return true;
}

int CartvaultTool::profileCreate(const CommandLine& args)
{
    if (args.words().size() != 1 || !args.has(QStringLiteral("data")))
        return usage(QStringLiteral("profile create needs NAME and --data DIR"));
    const QString name = args.words().first();
    if (!ProfileSettings::isValidName(name))
        return fail(QStringLiteral("'%1' cannot be a profile name").arg(name));
    if (ProfileSettings::profileExists(name))
        return fail(QStringLiteral("profile '%1' exists already").arg(name));
    ProfileSettings profile;
    profile.LoadProfile(name);
    profile.DataLocation = QDir::cleanPath(QFileInfo(args.value(QStringLiteral("data"))).absoluteFilePath());
    if (args.has(QStringLiteral("postgres")) && !profile.setPostgresConnection(args.value(QStringLiteral("postgres"))))
        return fail(QStringLiteral("--postgres needs a connection text naming at least dbname, with one port or one per host "
                                   "and a target_session_attrs libpq knows"));
    if (!profile.SaveProfile(name))
        return fail(QStringLiteral("cannot save profile '%1'").arg(name));
    CartvaultStore store;
    if (!store.CreateStore(name) || (store.CheckSettings() == 3 && !store.SaveProfile(name))) {
        QFile::remove(ProfileSettings::profileFile(name)); // a profile without a store is no use
        return fail(store.lastError());
    }
    out(QStringLiteral("Created profile '%1': %2").arg(name, profile.databaseText()));
    return Success;
}

int CartvaultTool::profileList(const CommandLine&)
{
    for (const QString& name : ProfileSettings::profileNames()) {
        ProfileSettings profile;
        profile.LoadProfile(name);
        out(name + QLatin1Char('\t') + profile.databaseText());
    }
    return Success;
}

int CartvaultTool::userAdd(const CommandLine& args)
{
    bool ok = false;
    const int rights = args.value(QStringLiteral("cart-rights")).toInt(&ok);
    if (args.words().size() != 1 || !ok)
        return usage(QStringLiteral("user add needs NAME and --cart-rights N"));
    if (!openDirectory())
        return Failure;
    const bool administrator = args.has(QStringLiteral("admin"));
    if (!m_directory->addUser(args.words().first(), rights, administrator))
        return fail(QStringLiteral("cannot add user '%1': %2").arg(args.words().first(), m_directory->lastError()));
    m_directory->AuditLog().LogEvent(2, 1, QStringLiteral("User Rights"),
                                     QStringLiteral("%1 cart rights %2%3")
                                         .arg(args.words().first())
                                         .arg(rights)
                                         .arg(administrator ? QStringLiteral(", administrator") : QString()),
                                     1);
    return Success;
}

int CartvaultTool::userList(const CommandLine&)
{
    if (!openDirectory())
        return Failure;
    for (const auto& user : m_directory->users())
        out(user.name + QLatin1Char('\t') + QString::number(user.cartRights)
            + (user.administrator ? QStringLiteral("\tadministrator") : QString()));
    return Success;
}

int CartvaultTool::settingsGet(const CommandLine& args)
{
    if (args.words().size() != 1)
        return usage(QStringLiteral("settings get needs KEY"));
    if (!openStore())
        return Failure;
    const QString key = args.words().first();
    const bool known = key.startsWith(QLatin1String("Location"), Qt::CaseInsensitive)
        || CartvaultStore::settingNames().contains(key, Qt::CaseInsensitive);
    if (!known)
        return fail(QStringLiteral("unknown setting '%1'; the settings are: %2")
                        .arg(key, CartvaultStore::settingNames().join(QStringLiteral(", "))));
    out(m_audio->Cartvault().settingText(key));
    return Success;
}

int CartvaultTool::settingsSet(const CommandLine& args)
{
    if (args.words().size() != 2)
        return usage(QStringLiteral("settings set needs KEY and VALUE"));
    if (!openStore())
        return Failure;
    CartvaultStore& store = m_audio->Cartvault();
    QString error;
    if (!store.setSettingText(args.words().at(0), args.words().at(1), &error))
        return fail(error);
    if (!store.SaveProfile(m_session.profile()))
        return fail(store.lastError());
    return Success;
}

int CartvaultTool::settingsList(const CommandLine&)
{
    if (!openStore())
        return Failure;
    const CartvaultStore& store = m_audio->Cartvault();
    QStringList names = CartvaultStore::settingNames();
    names.removeAll(QStringLiteral("Location1"));
    for (int n = 1; n <= std::max(1, store.locationCount()); ++n)
        names << QStringLiteral("Location%1").arg(n);
    for (const QString& name : names)
        out(name + QLatin1Char('\t') + store.settingText(name));
    return Success;
}

int CartvaultTool::importAudio(const CommandLine& args)
{
    if (args.words().size() != 2)
        return usage(QStringLiteral("import needs CART and FILE"));
    if (!openStore())
        return Failure;
    const QString cart = args.words().at(0);
    const QString file = QFileInfo(args.words().at(1)).absoluteFilePath();
    QString message;
    const bool overwrite = args.has(QStringLiteral("overwrite"));
    if (const auto record = m_audio->GetCart(cart); record && record->holdsAudio() && !overwrite)
        return fail(QStringLiteral("cart %1 holds audio already (import --overwrite replaces it)").arg(record->Number));
    // The library checks again as it records: another workstation may fill the cart meanwhile.
    const int options = overwrite ? 0 : PlayoutAudio::kOnlyIntoEmptyCart;
    const bool packed = file.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive);
    if (packed && args.has(QStringLiteral("link")))
        return usage(QStringLiteral("a transport zip cannot be linked"));
    const bool imported = packed ? m_audio->ImportTransportFile(cart, file, options)
                                 : m_audio->ImportAudioFile(cart, file, args.has(QStringLiteral("link")), options, message);
    if (!imported)
        return fail(m_audio->lastImportError());
    if (!m_audio->lastImportNote().isEmpty())
        err(QStringLiteral("cartvault: note: ") + m_audio->lastImportNote());
    // A packed cart brings its loudness; other audio is measured now, and
    // fingerprinted in the same read. Audio that cannot be read leaves the
    // cart to 'analyse --missing' and 'fingerprint --missing'.
    const auto record = m_audio->GetCart(cart);
    if (QString why; record && !ImportAnalysis::analyseStoredCart(*m_audio, cart, {!record->Loudness, true}, {}, &why))
        err(QStringLiteral("cartvault: note: the audio was not analysed: ") + why);
    if (openDirectory())
        m_directory->AuditLog().LogEvent(2, 7, QStringLiteral("Import Audio File"),
                                         QStringLiteral("%1 into Cart %2").arg(file, cart), 1);
    return Success;
}

// The window of end air times `list` keeps: [from, to); none for every cart.
bool CartvaultTool::endWindow(const CommandLine& args, QDateTime& from, QDateTime& to) const
{
    const QDateTime now = QDateTime::currentDateTime();
    if (args.has(QStringLiteral("expired")))
        to = now;
    if (!args.has(QStringLiteral("expiring-within")))
        return true;
    const qint64 seconds = periodSeconds(args.value(QStringLiteral("expiring-within")));
    if (seconds <= 0 || args.has(QStringLiteral("expired")))
        return false;
    from = now;
    to = now.addSecs(seconds);
    return true;
}

int CartvaultTool::listCarts(const CommandLine& args)
{
    QDateTime from, to;
    if (!endWindow(args, from, to))
        return usage(QStringLiteral("--expiring-within takes a time such as 7d, 12h or 30m, and not with --expired"));
    if (!openStore())
        return Failure;
    const bool json = args.has(QStringLiteral("json"));
    QJsonArray carts;
    // A block of records per read: a cart costs the same in a store of any size.
    constexpr int kBlock = 512;
    for (qint64 next = m_audio->numbers().first();;) {
        const QList<CartRecord> block = m_audio->cartsHoldingAudio(next, kBlock);
        for (const CartRecord& cart : block) {
            const QDateTime& ends = cart.Metadata.endAir;
            if (to.isValid() && (!ends.isValid() || ends >= to || (from.isValid() && ends < from)))
                continue;
            if (json)
                carts.append(cart.toJson());
            else
                out(QStringLiteral("%1	%2	%3	%4").arg(cart.Number).arg(cart.AudioLength, 0, 'f', 2).arg(cart.Title, cart.Artist(1)));
        }
        if (block.size() < kBlock)
            break;
        next = block.last().Number.toLongLong() + 1;
    }
    if (json)
        outJson(QJsonDocument(carts));
    return Success;
}

int CartvaultTool::setCart(const CommandLine& args)
{
    if (args.words().size() != 1)
        return usage(QStringLiteral("set needs CART and the fields to change"));
    if (!openStore())
        return Failure;
    auto cart = m_audio->GetCart(args.words().first());
    if (!cart)
        return fail(QStringLiteral("'%1' is not a cart number of this Cartvault").arg(args.words().first()));
    QStringList changes;
    if (const QString why = applySetOptions(args, *cart, changes); !why.isEmpty())
        return usage(why);
    if (changes.isEmpty())
        return usage(QStringLiteral("set needs at least one field to change"));
    if (!m_audio->SaveCart(cart->Number, *cart))
        return fail(m_audio->lastError());
    if (openDirectory())
        m_directory->AuditLog().LogEvent(2, 7, QStringLiteral("Cart Fields"),
                                         QStringLiteral("Cart %1: %2").arg(cart->Number, changes.join(QStringLiteral(", "))), 1);
    return Success;
}

int CartvaultTool::showCart(const CommandLine& args)
{
    if (args.words().size() != 1)
        return usage(QStringLiteral("show needs CART"));
    if (!openStore())
        return Failure;
    const auto cart = m_audio->GetCart(args.words().first());
    if (!cart)
        return fail(QStringLiteral("'%1' is not a cart number of this Cartvault").arg(args.words().first()));
    const QJsonObject fields = cart->toJson();
    if (args.has(QStringLiteral("json"))) {
        outJson(QJsonDocument(fields));
        return Success;
    }
    for (auto it = fields.begin(); it != fields.end(); ++it)
        out(it.key() + QStringLiteral(": ")
            + (it.value().isArray() ? QString::fromUtf8(QJsonDocument(it.value().toArray()).toJson(QJsonDocument::Compact))
                                    : it.value().toVariant().toString()));
    return Success;
}

int CartvaultTool::search(const CommandLine& args)
{
    const QString title = args.value(QStringLiteral("title")), artist = args.value(QStringLiteral("artist")),
                  desc = args.value(QStringLiteral("desc"));
    if (!args.words().isEmpty() || (title.trimmed().isEmpty() && artist.isEmpty() && desc.isEmpty()))
        return usage(QStringLiteral("search needs --title, --artist or --desc"));
    if (!openStore())
        return Failure;
    const bool json = args.has(QStringLiteral("json"));
    QJsonArray carts;
    for (const CartRecord& cart : MatchSearch::matchingCarts(*m_audio, title, artist, desc)) {
        if (json)
            carts.append(cart.toJson());
        else
            out(QStringLiteral("%1\t%2\t%3\t%4").arg(cart.Number, cart.Title, cart.Artist(1), cart.Description(1)));
    }
    if (json)
        outJson(QJsonDocument(carts));
    return Success;
}

int CartvaultTool::dropboxList(const CommandLine& args)
{
    if (args.words().size() != 1)
        return usage(QStringLiteral("dropbox list needs FOLDER"));
    if (!openStore())
        return Failure;
    const QString folder = QFileInfo(args.words().first()).absoluteFilePath();
    const bool json = args.has(QStringLiteral("json"));
    QJsonArray rows;
    for (const DropboxMemory::Entry& e : DropboxMemory(m_audio->Cartvault().database()).entries(folder)) {
        if (json)
            rows.append(QJsonObject{{"name", e.file.name}, {"size", e.file.size}, {"mtime", e.file.mtime}, {"outcome", e.outcome},
                                    {"cart", CartNumbers::json(e.cart)}, {"reason", e.reason}, {"workstation", e.workstation}, {"at", e.at}});
        else
            out(QStringLiteral("%1\t%2\t%3\t%4\t%5").arg(e.at, e.outcome, e.file.name, e.cart, e.reason));
    }
    if (json)
        outJson(QJsonDocument(rows));
    return Success;
}

int CartvaultTool::dropboxReset(const CommandLine& args)
{
    if (args.words().size() != 1)
        return usage(QStringLiteral("dropbox reset needs FOLDER"));
    if (!openStore())
        return Failure;
    DropboxMemory memory(m_audio->Cartvault().database());
    const int forgotten = memory.reset(QFileInfo(args.words().first()).absoluteFilePath());
    if (forgotten < 0)
        return fail(memory.lastError());
    out(QStringLiteral("Forgot %1 files").arg(forgotten));
    return Success;
}

int CartvaultTool::exportCart(const CommandLine& args)
{
    const bool wave = args.has(QStringLiteral("wav"));
    if (args.words().size() != 2)
        return usage(wave ? QStringLiteral("export --wav needs CART and FILE.wav") : QStringLiteral("export needs CART and FILE.zip"));
    if (!openStore())
        return Failure;
    QString error;
    const bool force = args.has(QStringLiteral("force"));
    const bool exported = wave ? CartChunkFields::exportWave(*m_audio, args.words().at(0), args.words().at(1), force, &error)
                               : m_audio->ExportTransportFile(args.words().at(0), args.words().at(1), force, &error);
    if (!exported)
        return fail(error.endsWith(QLatin1String("exists already")) ? error + QStringLiteral(" (export --force replaces it)") : error);
    return Success;
}

int CartvaultTool::audit(const CommandLine& args)
{
    bool ok = true;
    const int limit = args.has(QStringLiteral("limit")) ? args.value(QStringLiteral("limit")).toInt(&ok) : 1000;
    if (!ok || limit <= 0)
        return usage(QStringLiteral("--limit needs a number above 0"));
    if (!openDirectory())
        return Failure;
    const bool json = args.has(QStringLiteral("json"));
    QJsonArray rows;
    for (const AuditEntry& e : m_directory->AuditLog().entries(limit)) {
        if (json)
            rows.append(QJsonObject{{"id", e.id}, {"logged_at", e.loggedAt}, {"workstation", e.workstation},
                                    {"user", e.userName}, {"kind", e.kind}, {"category", e.category},
                                    {"title", e.title}, {"text", e.text}, {"flag", e.flag}});
        else
            out(QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6").arg(e.loggedAt, e.workstation, e.userName, e.title, e.text).arg(e.flag));
    }
    if (json)
        outJson(QJsonDocument(rows));
    return Success;
}

int CartvaultTool::analyse(const CommandLine& args)
{
    if (!args.has(QStringLiteral("missing")) || !args.words().isEmpty())
        return usage(QStringLiteral("analyse needs --missing"));
    if (!openStore())
        return Failure;
    const QStringList carts = m_audio->cartsWithoutLoudness();
    TerminalProgress progress;
    int failed = 0;
    for (int i = 0; i < carts.size(); ++i) {
        const QString& cart = carts.at(i);
        const auto show = [&](int percent) {
            progress.showRun(QStringLiteral("cart ") + cart, percent, i, static_cast<int>(carts.size()),
                             static_cast<int>((i * 100 + percent) / carts.size()));
        };
        QString why;
        if (ImportAnalysis::analyseStoredCart(*m_audio, cart, {true, true}, show, &why))
            continue;
        progress.clear();
        err(QStringLiteral("cartvault: cart %1 was not measured: %2").arg(cart, why));
        ++failed;
    }
    progress.done();
    out(QStringLiteral("%1 carts measured, %2 failed").arg(carts.size() - failed).arg(failed));
    return failed == 0 ? Success : Failure;
}

int CartvaultTool::fingerprintMissing(const CommandLine& args)
{
    if (!args.words().isEmpty() || !args.has(QStringLiteral("missing")))
        return usage(QStringLiteral("fingerprint needs --missing"));
    if (!openStore())
        return Failure;
    const std::shared_ptr<CartDatabase> database = m_audio->Cartvault().database();
    // Asked before the long work, and again as each fingerprint is stored.
    if (!database->allows(CartDatabase::Right::CartWrite))
        return fail(database->lastError());
    CartFingerprints fingerprints(database);
    // A stored fingerprint that no longer reads as one is taken again.
    for (const CartFingerprints::Row& row : fingerprints.all())
        if (!AudioFingerprint::fromEncoded(row.fingerprint, row.seconds) && !fingerprints.forget(row.cart))
            return fail(fingerprints.lastError());
    const QList<CartFingerprints::Pending> pending = fingerprints.missing();
    TerminalProgress progress;
    int done = 0, failed = 0;
    for (const CartFingerprints::Pending& cart : pending) {
        QString error;
        const auto show = [&](int percent) {
            progress.showRun(QStringLiteral("Cart %1").arg(cart.cart), percent, done, pending.size(),
                             (done * 100 + percent) / pending.size());
        };
        if (!ImportAnalysis::analyseStoredCart(*m_audio, CartNumbers::text(cart.cart), {false, true}, show, &error)) {
            progress.clear();
            err(QStringLiteral("cartvault: cart %1: %2").arg(cart.cart).arg(error));
            ++failed;
        }
        ++done;
    }
    progress.done();
    out(QStringLiteral("Fingerprinted %1 of %2 carts").arg(done - failed).arg(pending.size()));
    return failed == 0 ? Success : Failure;
}

int CartvaultTool::duplicates(const CommandLine& args)
{
    bool ok = true;
    const double threshold = args.has(QStringLiteral("threshold")) ? args.value(QStringLiteral("threshold")).toDouble(&ok)
                                                                   : FingerprintMatcher::kDefaultThreshold;
    if (!ok || threshold < 0 || threshold > 1 || !args.words().isEmpty())
        return usage(QStringLiteral("--threshold needs a score from 0 to 1"));
    if (!openStore())
        return Failure;
    CartFingerprints fingerprints(m_audio->Cartvault().database());
    FingerprintIndex index;
    for (const qint64 cart : index.addStore(fingerprints))
        err(QStringLiteral("cartvault: note: the stored fingerprint of cart %1 cannot be read; the cart is left out").arg(cart));
    if (const int missing = fingerprints.missing().size(); missing > 0)
        err(QStringLiteral("cartvault: note: %1 carts holding audio have no fingerprint ('fingerprint --missing')").arg(missing));
    TerminalProgress progress;
    const QList<FingerprintIndex::Group> groups = index.groups(
        FingerprintMatcher(threshold), [&](int done, int total) { progress.show(QStringLiteral("Comparing"), done * 100 / total); });
    progress.done();
    const bool json = args.has(QStringLiteral("json"));
    QJsonArray rows;
    for (const FingerprintIndex::Group& group : groups) {
        QJsonArray carts, matches;
        QStringList names;
        for (const qint64 number : group.ids) {
            const auto cart = m_audio->GetCart(QString::number(number));
            const QString title = cart ? cart->Title : QString(), artist = cart ? cart->Artist(1) : QString();
            carts.append(QJsonObject{{"number", number}, {"title", title}, {"artist", artist}});
            names << QString::number(number) + (title.isEmpty() ? QString() : QLatin1Char(' ') + title)
                    + (artist.isEmpty() ? QString() : QStringLiteral(" / ") + artist);
        }
        if (!json)
            out(QStringLiteral("Group of %1: %2").arg(group.ids.size()).arg(names.join(QStringLiteral("; "))));
        for (const FingerprintIndex::Link& link : group.links) {
            const QString kind = FingerprintMatch::kindName(link.match.kind);
            const double score = std::round(link.match.score * 1000) / 1000;
            matches.append(QJsonObject{{"cart", link.id}, {"other", link.other}, {"kind", kind}, {"score", score},
                                       {"offset_seconds", TimeTools::RoundToMilliseconds(link.match.offsetSeconds)},
                                       {"overlap_seconds", TimeTools::RoundToMilliseconds(link.match.overlapSeconds)}});
            if (!json)
                out(QStringLiteral("  %1 %2 %3\tscore %4").arg(link.id).arg(kind).arg(link.other).arg(score, 0, 'f', 3));
        }
        rows.append(QJsonObject{{"carts", carts}, {"matches", matches}});
    }
    if (json)
        outJson(QJsonDocument(rows));
    return Success;
}
