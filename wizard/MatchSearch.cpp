#include "wizard/MatchSearch.h"

#include "frame/library/CartNumbers.h"
#include "frame/library/CartRecord.h"
#include "frame/library/CartvaultStore.h"
#include "frame/library/FileTools.h"
#include "frame/library/GeneralTools.h"
#include "frame/library/PlayoutAudio.h"
#include "wizard/AudioDuplicates.h"
#include "wizard/FileRowReader.h"
#include "wizard/ImportItemList.h"

#include <algorithm>

namespace {
// Carts read from the store at a time.
constexpr int kBlock = 2048;

QString joined(QString text, const QString& separator, const QString& more)
{
    if (!more.isEmpty())
        text += separator + more;
    return text;
}

// Progress for cart number n, scaled by the store's size.
int percentAt(qint64 number, qint64 storeSize)
{
    if (storeSize <= 0)
        return 0; // nothing to scale by: the bar stays put while the walk goes on
    return GeneralTools::LimitLong(GeneralTools::RoundHalfEven(double(number) / double(storeSize) * 100.0), 0, 100);
}

// The last number ending in 1 in (after, upto], or -1 when there is none.
qint64 lastEndingInOne(qint64 after, qint64 upto)
{
    const qint64 candidate = upto - ((upto % 10 + 9) % 10);
    return candidate > after ? candidate : -1;
}
} // namespace

namespace {
// The texts of one side of the test, folded to lower case once: a search
// compares every cart with every row, and folding at each comparison would
// cost more than the comparisons.
struct Texts {
    QString title, artist, desc;
    bool titleBlank = true;
    Texts(const QString& t, const QString& a, const QString& d)
        : title(t.toLower())
        , artist(a.toLower())
        , desc(d.toLower())
        , titleBlank(t.trimmed().isEmpty())
    {
    }
};

bool fitsFolded(QStringView stored, QStringView wanted)
{
    return !stored.isEmpty() && stored.contains(wanted.left(stored.size()));
}

bool matchesFolded(const Texts& row, const Texts& cart)
{
    if (!row.titleBlank && fitsFolded(cart.title, row.title))
        return true;
    for (const QString& wanted : {row.artist, row.desc})
        if (!wanted.isEmpty() && (fitsFolded(cart.artist, wanted) || fitsFolded(cart.desc, wanted)))
            return true;
    return false;
}

Texts cartTexts(const CartRecord& cart) { return Texts(cart.Title, cart.Artist(1), cart.Description(1)); }
} // namespace

bool MatchSearch::Fits(const QString& stored, const QString& wanted) { return fitsFolded(stored.toLower(), wanted.toLower()); }

bool MatchSearch::Matches(const QString& title, const QString& artist, const QString& desc, const CartRecord& cart)
{
    return matchesFolded(Texts(title, artist, desc), cartTexts(cart));
}


QString MatchSearch::parentText(const ImportItem& row)
{
    return joined(joined(row.field(QStringLiteral("TITLE")), QStringLiteral("-"), row.field(QStringLiteral("ARTIST"))),
                  QStringLiteral("-"), row.field(QStringLiteral("DESC")));
}

QString MatchSearch::childKey(const CartRecord& cart, const ImportItem& row)
{
    return QStringLiteral("c") + cart.Number + QLatin1Char('-') + row.Text;
}

QString MatchSearch::childText(const CartRecord& cart)
{
    return joined(joined(cart.Number + QStringLiteral(" : ") + cart.Title, QStringLiteral(","), cart.Artist(1)),
                  QStringLiteral(","), cart.Description(1));
}

namespace {
// The ticked rows among the first `count` of the list, with their texts
// folded. Read afresh each time the window's events may have run: the CD
// timer can empty or re-sort the track list in the middle of a walk.
struct TickedRows {
    QList<int> index;
    QList<Texts> texts;

    void read(const ImportItemList& source, int count)
    {
        index.clear();
        texts.clear();
        for (int i = 0; i < std::min(count, source.count()); ++i) {
            const ImportItem& row = source.item(i);
            if (!row.Checked)
                continue;
            index << i;
            texts << Texts(row.field(QStringLiteral("TITLE")), row.field(QStringLiteral("ARTIST")), row.field(QStringLiteral("DESC")));
        }
    }
};
} // namespace

// The store is read a block of carts holding audio at a time, so the walk
// never visits empty numbers; the progress and the chance to stop still
// come at every number ending in 1 that the walk passes, as they would if it
// stepped through every number. The number of rows is read once; the rows
// themselves after every such chance.
bool MatchSearch::run(PlayoutAudio& audio, const QString& from, const ImportItemList& source, MatchSearchHandler& handler)
{
    const qint64 storeSize = audio.Cartvault().StoreSize;
    const int rowCount = source.count();
    TickedRows rows;
    rows.read(source, rowCount);
    if (from.isEmpty()) // no such cart: nothing to walk
        return true;
    qint64 passed = from.toLongLong() - 1;
    for (;;) {
        const QList<CartRecord> carts = audio.cartsHoldingAudio(passed + 1, kBlock);
        for (const CartRecord& cart : carts) {
            const qint64 number = cart.Number.toLongLong();
            if (const qint64 marker = lastEndingInOne(passed, number); marker >= 0) {
                handler.progress(percentAt(marker, storeSize));
                if (handler.stopRequested())
                    return false;
                rows.read(source, rowCount);
            }
            passed = number;
            const Texts stored = cartTexts(cart);
            for (int i = 0; i < rows.index.size(); ++i) {
                if (!matchesFolded(rows.texts.at(i), stored))
                    continue;
                const ImportItem& row = source.item(rows.index.at(i));
                handler.match(row.Key, parentText(row), childKey(cart, row), childText(cart));
            }
        }
        if (carts.size() < kBlock)
            return true;
    }
}

namespace {
// The ticked rows that are files, with their paths.
QList<QPair<ImportItem, QString>> tickedFiles(const ImportItemList& source)
{
    QList<QPair<ImportItem, QString>> files;
    for (const ImportItem& row : source.items())
        if (const QString path = FileRowReader::sourcePath(row); row.Checked && !path.isEmpty())
            files.append({row, path});
    return files;
}
} // namespace

bool MatchSearch::runAudio(PlayoutAudio& audio, AudioDuplicates& duplicates, const ImportItemList& source,
                           MatchSearchHandler& handler)
{
    const QList<QPair<ImportItem, QString>> files = tickedFiles(source);
    duplicates.compareFiles();
    for (int i = 0; i < files.size(); ++i) {
        handler.progress(i * 100 / int(files.size()));
        if (handler.stopRequested())
            return false;
        const auto& [row, path] = files.at(i);
        QString error;
        const auto reading = [&](int percent) { handler.progress((i * 100 + percent) / int(files.size())); };
        for (const AudioDuplicates::Duplicate& duplicate : duplicates.of(path, &error, reading)) {
            const QString how = QStringLiteral(" (") + AudioDuplicates::scoreText(duplicate.match) + QLatin1Char(')');
            if (!duplicate.file.isEmpty()) {
                handler.match(row.Key, parentText(row), QStringLiteral("af") + duplicate.file + QLatin1Char('-') + row.Text,
                              QStringLiteral("also in this list: ") + FileTools::GetFileName(duplicate.file) + how);
                continue;
            }
            const std::optional<CartRecord> cart = audio.GetCart(CartNumbers::text(duplicate.cart));
            if (!cart || !cart->holdsAudio()) // emptied since its fingerprint was read
                continue;
            handler.match(row.Key, parentText(row), QStringLiteral("a") + cart->Number + QLatin1Char('-') + row.Text,
                          childText(*cart) + how);
        }
    }
    handler.progress(100);
    return !handler.stopRequested();
}

QList<CartRecord> MatchSearch::matchingCarts(PlayoutAudio& audio, const QString& title, const QString& artist, const QString& desc)
{
    QList<CartRecord> found;
    const QString first = audio.FirstValidCart(QString());
    qint64 next = first.isEmpty() ? 0 : first.toLongLong();
    for (;;) {
        const QList<CartRecord> carts = audio.cartsHoldingAudio(next, kBlock);
        for (const CartRecord& cart : carts)
            if (Matches(title, artist, desc, cart))
                found.append(cart);
        if (carts.size() < kBlock)
            return found;
        next = carts.last().Number.toLongLong() + 1;
    }
}
