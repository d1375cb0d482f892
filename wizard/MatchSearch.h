#pragma once
#include <QList>
#include <QString>

class AudioDuplicates;
class CartRecord;
class ImportItem;
class ImportItemList;
class PlayoutAudio;

// What a search for matching carts tells whoever shows it, and asks.
class MatchSearchHandler
{
public:
    virtual ~MatchSearchHandler() = default;
    // At every cart number ending in 1 the walk passes: the bar, and the
    // moment a window lets its events run (and a stop click in).
    virtual void progress(int percent) = 0;
    virtual bool stopRequested() = 0;
    // One row matched one cart. Parent: the row (key and text); child: the cart.
    virtual void match(const QString& parentKey, const QString& parentText, const QString& childKey,
                       const QString& childText) = 0;
};

// Which carts already hold items like the rows ticked for import. The rule
// is one: the wizard's two pages, the batch tool and `cartvault search` all
// use it.
class MatchSearch
{
public:
    // `wanted`, cut to the length of `stored`, occurs in `stored` (letter
    // case ignored): a longer wanted text fits when it begins with the
    // stored one, a shorter one when the stored text holds it. An empty
    // stored text fits nothing.
    static bool Fits(const QString& stored, const QString& wanted);
    // The row's TITLE (when not blank), ARTIST or DESC fits the cart's title,
    // or its first artist or description.
    static bool Matches(const QString& title, const QString& artist, const QString& desc, const CartRecord& cart);

    static QString parentText(const ImportItem& row);
    static QString childKey(const CartRecord& cart, const ImportItem& row);
    static QString childText(const CartRecord& cart);

    // Every cart of the store holding audio that the wanted texts match, in
    // number order (the tools' question: the whole store, not only from the
    // first free cart on).
    static QList<CartRecord> matchingCarts(PlayoutAudio& audio, const QString& title, const QString& artist,
                                           const QString& desc);

    // Walks the carts holding audio from cart number `from` (the wizard
    // starts at the first free cart; empty walks nothing) to the end of the
    // store, matching each against every ticked row of `source`. False when
    // stopped.
    static bool run(PlayoutAudio& audio, const QString& from, const ImportItemList& source, MatchSearchHandler& handler);

    // Then the same audio, whatever the titles: every ticked row that is a
    // file is fingerprinted and looked up among the whole store's
    // fingerprints; each cart holding its audio is a child of the row, keyed
    // "a" instead of "c" and marked with how it matched ("... (same audio
    // 0.962)"). A ticked file holding the audio of one above it gets that
    // file as a child ("also in this list: NAME (same audio 0.990)"), so
    // the second copy can be unticked. The bar moves as the files are read;
    // a stop is seen between files. A file that cannot be read is passed
    // by: the import will say why. False when stopped.
    static bool runAudio(PlayoutAudio& audio, AudioDuplicates& duplicates, const ImportItemList& source,
                         MatchSearchHandler& handler);
};
