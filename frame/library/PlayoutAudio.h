#pragma once
#include "frame/library/CartNumbers.h"
#include "frame/library/CartRecord.h"
#include "frame/library/CartvaultStore.h"

#include <QHash>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class AudioSettings;
class CartDatabase;
class CartAudioNames;
class CartReservations;

// The playout system's audio view: the carts of the Cartvault. Every valid
// cart number names a cart; a cart that was never used reads as a record with
// no audio. New audio gets a file of its own, which the committed record then
// names; the old file is removed only after that. Killed or failing at any
// step, a cart shows its old record and audio or its new ones, never a mix,
// and what an interrupted import left is cleaned when the store next opens.
class PlayoutAudio
{
public:
    PlayoutAudio();
    ~PlayoutAudio();

    int DebugLevel = 0;
    void setAudioSettings(AudioSettings* settings) { m_audioSettings = settings; }
    AudioSettings* audioSettings() const { return m_audioSettings; }

    // Opens the store of the audio settings' profile and finishes what
    // interrupted imports left; false = unusable.
    bool Initialise();
    CartvaultStore& Cartvault() { return m_store; }
    QString lastError() const { return m_lastError; }

    bool IsValidCartNumber(const QString& text) const;
    QString FirstValidCart(const QString& from) const;
    // The first cart from `from` on that holds no audio and that no other
    // importer has planned to fill; it is then this object's plan (see
    // CartReservations) until an import into it ends.
    QString FirstFreeCart(const QString& from);
    QString NextCartNumber(const QString& number) const;
    qint32 CartNumberFlags() const { return m_store.CartNumberFlags; }

    // None for a number that is not a cart of this store, and when the store
    // cannot be read: then lastError() says why.
    std::optional<CartRecord> GetCart(const QString& number);
    // Writes the record's titles, timing points, ISRC and metadata; the
    // audio (and the disc's MCN) is left alone.
    bool SaveCart(const QString& number, const CartRecord& record);
    // The file the store keeps the cart's own audio in now; for a cart that
    // is empty or linked elsewhere, a name in the cart's folder that no
    // import will write to (temporary files of a run belong beside it).
    QString CartAudioFile(const QString& number);

    // `options` of ImportAudioFile: refuse a cart that holds audio. Without
    // it new audio replaces the old, as the wizard does after its own checks.
    static constexpr int kOnlyIntoEmptyCart = 1;

    // Puts a WAV file's audio into the cart: copied into a new file of the
    // cart or, when link is true and the store allows linking, linked where it
    // is (a file inside the store's audio location is always copied: the
    // store removes its own files when they are replaced). Fills AudioLength
    // and Length from the audio, puts the extro at its end and clears the
    // other timing points. False (with
    // the reason in `message`) when the cart number is not valid, the user may
    // not change carts, the file is missing or not a WAV holding audio, the
    // audio cannot be written, or another workstation changed the cart's
    // audio meanwhile.
    bool ImportAudioFile(const QString& number, const QString& importFile, bool link, int options, QString& message);
    // Unpacks a packed cart (transport zip) into the cart: audio and fields.
    bool ImportTransportFile(const QString& number, const QString& path, int options = 0);
    QString lastImportError() const { return m_lastError; }
    // What the last import left out and why (timing points of a packed cart
    // that do not fit its audio); empty when nothing was.
    QString lastImportNote() const { return m_lastNote; }

    // Packs a cart that holds audio into a transport zip, written under a
    // temporary name and then renamed. A link is written through: the file
    // it leads to gets the zip. Refuses a target that exists (unless
    // overwrite) and, always, a file the store owns (see ownsFile).
    bool ExportTransportFile(const QString& number, const QString& zipPath, bool overwrite, QString* error);
    // The cart an export of it to `path` may write, with the file to write
    // (`target`, links resolved); none with the reason when the cart holds
    // no audio or the path is refused as ExportTransportFile refuses it.
    std::optional<CartRecord> exportableCart(const QString& number, const QString& path, bool overwrite, QString* target,
                                             QString* error);
    // True for the store's database, anything in its audio locations and
    // any file a cart plays, however the path leads there: no tool writes
    // over such a file or deletes it for a person. `why` then continues a
    // sentence about the path ("is played by cart 310"). In doubt, true.
    bool ownsFile(const QString& path, QString* why = nullptr) const;
    // Carts holding audio whose loudness was never measured, in order.
    QStringList cartsWithoutLoudness();
    // Keeps the loudness measured of a cart's audio file, if the cart still
    // plays that file (another import may have replaced it meanwhile).
    bool saveLoudness(const QString& number, const QString& audioFile, const LoudnessValues& loudness);
    // Up to `limit` carts that hold audio, numbered `from` or above, in order,
    // in one read: a walk over a store of a million numbers with few carts
    // in use need not visit the empty ones.
    QList<CartRecord> cartsHoldingAudio(qint64 from, int limit);

    const CartNumbers& numbers() const { return m_numbers; }

private:
    // An import is the one writer of a cart's audio and works on the store's
    // connection, names and settings as this object does.
    friend class CartImport;
    CartAudioNames names() const;
    bool writeCart(const QString& number, const std::function<bool(qint64 cart)>& statement);

    // Carts read ahead during a walk through consecutive numbers, kept only
    // while the store has not changed since.
    struct ReadAhead {
        qint64 first = 0;
        qint64 last = -1;
        qint64 stamp = -1;
        QHash<qint64, CartRecord> records;
    };
    std::optional<CartRecord> readAhead(qint64 number);
    std::optional<qint64> firstCartWithoutAudio(qint64 first);
    bool fetchRecords(qint64 first, qint64 last, QHash<qint64, CartRecord>& records);

    ReadAhead m_readAhead;
    qint64 m_lastRead = -1;
    AudioSettings* m_audioSettings = nullptr;
    CartvaultStore m_store;
    CartNumbers m_numbers;
    std::shared_ptr<CartDatabase> m_database;
    std::unique_ptr<CartReservations> m_reservations;
    QString m_lastError;
    QString m_lastNote;
};
