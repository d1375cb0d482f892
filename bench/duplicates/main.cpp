// The duplicate search at a station's scale. First 300 distinct tunes (and
// the sounds the system ships) fingerprinted and compared pair by pair: none
// may match. Then a store of 100,000 fingerprints, made from those tunes by
// joining them and flipping each part's bits with a mask of its own (as
// unrelated to each other as different audio, and packing like real ones),
// with a 3-minute song among them: copies of the song are looked up in it,
// and the whole store is grouped.
#include "tests/support/Tunes.h"

#include "audio/AudioAnalysis.h"
#include "platform/fingerprint/AudioFingerprinter.h"
#include "platform/fingerprint/FingerprintIndex.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

namespace {
constexpr int kTunes = 300;
constexpr int kStored = 100000;
constexpr qint64 kSong = 100;

std::optional<AudioFingerprint> fingerprintOf(const QString& file)
{
    AudioFingerprinter fingerprinter;
    QString error;
    if (!AnalyseAudioFile(file, {&fingerprinter}, {}, &error)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(file), qPrintable(error));
        return std::nullopt;
    }
    return fingerprinter.fingerprint();
}

QList<AudioFingerprint> distinctItems(const QString& folder)
{
    QList<AudioFingerprint> prints;
    for (int seed = 1000; seed < 1000 + kTunes; ++seed) {
        const QString file = folder + QStringLiteral("/tune%1.wav").arg(seed);
        if (!fixtures::tune(file, seed, 30, 11025))
            return {};
        if (const auto print = fingerprintOf(file))
            prints << *print;
        QFile::remove(file);
        std::fprintf(stderr, "\rtunes %d/%d", seed - 999, kTunes);
    }
    std::fprintf(stderr, "\n");
    QDir sounds(QStringLiteral("/usr/share/sounds"));
    for (const QString& name : sounds.entryList({"*.ogg", "*.oga", "*.wav"}, QDir::Files, QDir::Name))
        if (const auto print = fingerprintOf(sounds.filePath(name)))
            prints << *print;
    return prints;
}

// Every pair compared: how many match, and the best score of any pair.
void comparePairs(const QList<AudioFingerprint>& prints)
{
    const FingerprintMatcher matcher;
    const FingerprintMatcher anything(0.0);
    int matches = 0;
    double best = 0;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < prints.size(); ++i)
        for (int j = i + 1; j < prints.size(); ++j) {
            matches += matcher.compare(prints[i], prints[j]).matched();
            best = std::max(best, anything.compare(prints[i], prints[j]).score);
        }
    const qint64 pairs = qint64(prints.size()) * (prints.size() - 1) / 2;
    std::printf("distinct items: %lld, pairs: %lld, matched at %.2f: %d, best score of a pair: %.3f, %.1f us a pair\n",
                qint64(prints.size()), pairs, matcher.threshold(), matches, best, timer.nsecsElapsed() / 1000.0 / pairs / 2);
}

// A made-up store: each fingerprint joins 1 to 8 parts, each part's items
// flipped by a mask of its own.
void fillIndex(FingerprintIndex& index, const QList<AudioFingerprint>& parts)
{
    QRandomGenerator random(19);
    qint64 items = 0, bytes = 0;
    for (int n = 0; n < kStored; ++n) {
        AudioFingerprint print;
        for (int k = random.bounded(1, 9); k > 0; --k) {
            const AudioFingerprint& part = parts[random.bounded(int(parts.size()))];
            const quint32 mask = random.generate();
            for (const quint32 item : part.items)
                print.items.push_back(item ^ mask);
            print.seconds += part.seconds;
        }
        const QByteArray packed = print.encoded();
        items += qint64(print.items.size());
        bytes += packed.size();
        index.add(1000000 + n, print.seconds, packed);
    }
    std::printf("stored: %d fingerprints, %.0f s of audio on average, %.1f MB packed (%.2f bytes an item)\n", kStored,
                items * AudioFingerprint::itemSeconds() / kStored, bytes / 1e6, double(bytes) / items);
}

struct Copy {
    const char* name;
    QStringList arguments;
    FingerprintMatch::Kind expected;
};
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    const QList<AudioFingerprint> prints = distinctItems(folder.path());
    if (prints.size() < kTunes)
        return 1;
    comparePairs(prints);

    FingerprintIndex index;
    fillIndex(index, prints);
    const QString song = folder.filePath(QStringLiteral("song.wav"));
    const std::optional<AudioFingerprint> songPrint = fixtures::tune(song, 3, 180) ? fingerprintOf(song) : std::nullopt;
    if (!songPrint)
        return 1;
    index.add(kSong, songPrint->seconds, songPrint->encoded());
    QElapsedTimer timer;
    timer.start();
    index.query(*songPrint, FingerprintMatcher(), kSong); // builds the index
    std::printf("index built in %.2f s\n", timer.nsecsElapsed() / 1e9);

    const QList<Copy> copies{
        {"MP3 128 kbit/s", {"-b:a", "128k", "-f", "mp3"}, FingerprintMatch::Kind::SameAudio},
        {"-6 dB", {"-af", "volume=-6dB"}, FingerprintMatch::Kind::SameAudio},
        {"3 s of silence in front", {"-af", "adelay=3000:all=1"}, FingerprintMatch::Kind::SameAudio},
        {"48 kHz", {"-ar", "48000"}, FingerprintMatch::Kind::SameAudio},
        {"30 s cut", {"-ss", "75.1", "-t", "30"}, FingerprintMatch::Kind::PartOf},
    };
    double slowest = 0;
    int found = 0;
    QList<AudioFingerprint> copyPrints;
    for (const Copy& copy : copies) {
        const QString file = folder.filePath(QStringLiteral("copy.%1").arg(copy.arguments.contains("mp3") ? "mp3" : "wav"));
        const auto print = fixtures::ffmpeg(QStringList{"-i", song} + copy.arguments + QStringList{file}) ? fingerprintOf(file) : std::nullopt;
        if (!print)
            return 1;
        timer.restart();
        const QList<FingerprintIndex::Hit> hits = index.query(*print, FingerprintMatcher());
        const double seconds = timer.nsecsElapsed() / 1e9;
        slowest = std::max(slowest, seconds);
        const bool ok = hits.size() == 1 && hits[0].id == kSong && hits[0].match.kind == copy.expected;
        found += ok;
        std::printf("query %-24s %6.1f ms: %s %s, score %.3f\n", copy.name, seconds * 1000, ok ? "found" : "MISSED",
                    hits.isEmpty() ? "" : qPrintable(FingerprintMatch::kindName(hits[0].match.kind)),
                    hits.isEmpty() ? 0.0 : hits[0].match.score);
        copyPrints << *print;
    }
    // The copies stored too: the grouping must find them with the song.
    for (int i = 0; i < copyPrints.size(); ++i)
        index.add(kSong + 1 + i, copyPrints[i].seconds, copyPrints[i].encoded());
    std::printf("queries against %d fingerprints: %d of %lld found, slowest %.1f ms\n", index.size(), found,
                qint64(copies.size()), slowest * 1000);

    timer.restart();
    const QList<FingerprintIndex::Group> groups = index.groups(FingerprintMatcher());
    std::printf("whole store grouped in %.1f s: %lld groups", timer.nsecsElapsed() / 1e9, qint64(groups.size()));
    for (const FingerprintIndex::Group& group : groups)
        std::printf(", one of %lld from %lld", qint64(group.ids.size()), group.ids.first());
    std::printf("\n");
    return found == copies.size() && groups.size() == 1 ? 0 : 1;
}
