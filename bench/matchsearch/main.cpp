// The search for matching carts on a store holding SIZE carts (default
// 100,000) with made-up titles and artists, spread over three times as many
// numbers (at least the default 999,999), for 100 ticked rows, against the
// sqlite3 tool answering the same question in one SQL statement (the same
// rule written with instr/lower/substr). A SIZE above 100,000 is measured
// beside a store of 100,000: a cart should cost no more in the big store
// (target: at most 1.2 times).
//
//   bench_matchsearch [SIZE]
#include "frame/library/AudioSettings.h"
#include "frame/library/CartDatabase.h"
#include "frame/library/CartvaultStore.h"
#include "frame/library/PlayoutAudio.h"
#include "frame/library/ProfileSettings.h"
#include "wizard/ImportItemList.h"
#include "wizard/MatchSearch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QVariant>
#include <cstdio>

namespace {
constexpr int kReferenceSize = 100000;
constexpr int kRows = 100;
const char* const kWords[] = {"Blue", "Moon", "Harbour", "Lights", "Evening", "Tide", "Morning", "Love", "Night", "Road",
                              "River", "Song", "Heart", "Summer", "Rain", "Dance", "City", "Fire", "Gold", "Home"};

QString phrase(QRandomGenerator& random, int words)
{
    QStringList parts;
    for (int i = 0; i < words; ++i)
        parts << QLatin1String(kWords[random.bounded(int(std::size(kWords)))]);
    return parts.join(QLatin1Char(' '));
}

bool fillStore(const QString& profileName, int size)
{
    ProfileSettings profile;
    profile.LoadProfile(profileName);
    profile.SaveProfile(profileName);
    CartvaultStore store;
    QString error;
    if (!store.CreateStore(profileName)
        || !store.setSettingText(QStringLiteral("LastCart"), QString::number(std::max(999999, 3 * size)), &error)
        || !store.SaveProfile(profileName)) {
        std::fprintf(stderr, "%s\n", qPrintable(store.lastError()));
        return false;
    }
    auto db = store.database();
    QRandomGenerator random(42);
    // Carts spread over the first 300,000 numbers, as a station's ranges are.
    return db->write([&] {
        QSqlQuery& q = db->query(QStringLiteral("INSERT INTO carts (number, title, artist, description, audio_length, length) "
                                                "VALUES (?, ?, ?, ?, 180, 180)"));
        for (int n = 1; n <= size; ++n) {
            q.addBindValue(n * 3);
            q.addBindValue(phrase(random, 1 + random.bounded(4)) + QStringLiteral(" %1").arg(n));
            q.addBindValue(QStringLiteral("The ") + phrase(random, 2));
            q.addBindValue(QStringLiteral(""));
            if (!db->exec(q))
                return false;
        }
        return true;
    });
}

struct Counter : MatchSearchHandler {
    int hits = 0;
    void progress(int) override {}
    bool stopRequested() override { return false; }
    void match(const QString&, const QString&, const QString&, const QString&) override { ++hits; }
};

// The rule of MatchSearch::Fits in SQL: wanted cut to the stored length, found in stored.
QString fits(const QString& column, const QString& wanted)
{
    QString quoted = wanted;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QStringLiteral("(%1 <> '' AND instr(lower(%1), lower(substr('%2', 1, length(%1)))) > 0)").arg(column, quoted);
}
} // namespace

// The search on a new store of `size` carts; its time in ms, or -1.
double measure(int size)
{
    const QString profileName = QStringLiteral("Bench%1").arg(size);
    if (!fillStore(profileName, size)) {
        std::fprintf(stderr, "cannot build the bench store\n");
        return -1;
    }
    AudioSettings settings;
    settings.LoadProfile(profileName);
    PlayoutAudio audio;
    audio.setAudioSettings(&settings);
    if (!audio.Initialise())
        return -1;
    ImportItemList rows(true);
    QRandomGenerator random(7);
    QStringList conditions;
    for (int i = 0; i < kRows; ++i) {
        ImportItem row(QStringLiteral("f%1").arg(i), QStringLiteral("FileName=/in/%1.wav").arg(i));
        const QString title = phrase(random, 2 + random.bounded(2));
        const QString artist = i % 4 == 0 ? QStringLiteral("The ") + phrase(random, 2) : QString();
        row.setField(QStringLiteral("TITLE"), title);
        row.setField(QStringLiteral("ARTIST"), artist);
        row.setField(QStringLiteral("DESC"), QString());
        row.Checked = true;
        rows.add(row);
        QString condition = fits(QStringLiteral("title"), title);
        if (!artist.isEmpty())
            condition += QStringLiteral(" OR ") + fits(QStringLiteral("artist"), artist) + QStringLiteral(" OR ") + fits(QStringLiteral("description"), artist);
        conditions << QStringLiteral("SELECT number FROM carts WHERE audio_length >= 0 AND (%1)").arg(condition);
    }

    QElapsedTimer timer;
    timer.start();
    Counter counter;
    MatchSearch::run(audio, audio.FirstFreeCart(QString()), rows, counter);
    const double oursMs = timer.nsecsElapsed() / 1e6;

    ProfileSettings profile;
    profile.LoadProfile(profileName);
    const QString statement = QStringLiteral("SELECT COUNT(*) FROM (") + conditions.join(QStringLiteral(" UNION ALL ")) + QLatin1Char(')');
    QProcess peer;
    timer.restart();
    peer.start(QStringLiteral("sqlite3"), {profile.sqliteFile(), statement});
    peer.waitForFinished(-1);
    const double peerMs = timer.nsecsElapsed() / 1e6;

    std::printf("store: %d carts holding audio among %lld numbers (SQLite); %d ticked rows\n", size, audio.numbers().last(), kRows);
    std::printf("search (a): %.1f ms, %d matches\n", oursMs, counter.hits);
    std::printf("sqlite3, one statement (b): %.1f ms, %s matches\n", peerMs, peer.readAllStandardOutput().trimmed().constData());
    std::printf("ratio a/b %.2f (targets: <= 1, and under 1000 ms at 100,000 carts); %.3f us per cart\n", oursMs / peerMs,
                oursMs * 1000 / size);
    return oursMs;
}

int main(int argc, char** argv)
{
    QTemporaryDir root;
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
        qputenv(variable, root.path().toUtf8() + "/" + variable);
    QCoreApplication app(argc, argv);
    const int size = argc > 1 ? QByteArray(argv[1]).toInt() : kReferenceSize;
    if (size < 1 || size > 100000000) {
        std::fprintf(stderr, "usage: bench_matchsearch [SIZE]\n");
        return 2;
    }
    const double reference = size > kReferenceSize ? measure(kReferenceSize) : 0;
    const double ours = measure(size);
    if (reference < 0 || ours < 0)
        return 1;
    if (size > kReferenceSize)
        std::printf("per cart at %d / at %d: %.2f (target <= 1.2)\n", size, kReferenceSize,
                    (ours / size) / (reference / kReferenceSize));
    return 0;
}
