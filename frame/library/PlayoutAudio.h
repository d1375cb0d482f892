#pragma once
#include "frame/library/CartNumbers.h"
#include "frame/library/CartRecord.h"
#include "frame/library/CartvaultStore.h"

#include <QHash>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

class AudioSettings;
class CartDatabase;
class QObject;
class QSaveFile;
struct WaveFileInfo;

// The playout system's audio view: the carts of the Cartvault. Every valid
// cart number names a cart; a cart that was never used reads as a record with
// no audio. Audio goes into the store through a temporary file that is
// renamed into place inside the transaction that records it, so no other
// workstation ever sees half an import.
class PlayoutAudio
{
public:
    PlayoutAudio();
    ~PlayoutAudio();

    int DebugLevel = 0;
    void setAudioSettings(AudioSettings* settings) { m_audioSettings = settings; }
    AudioSettings* audioSettings() const { return m_audioSettings; }

    // Opens the store of the audio settings' profile; false = unusable.
    bool Initialise();
    CartvaultStore& Cartvault() { return m_store; }
    QString lastError() const { return m_lastError; }

    bool IsValidCartNumber(const QString& text) const;
    QString FirstValidCart(const QString& from) const;
    QString FirstFreeCart(const QString& from);
    QString NextCartNumber(const QString& number) const;
    qint32 CartNumberFlags() const { return m_store.CartNumberFlags; }

    std::optional<CartRecord> GetCart(const QString& number, int mode = 1);
    // Writes the record's titles and timing points; the audio is left alone.
    bool SaveCart(const QString& number, const CartRecord& record, int mode = 1, int options = 0, int reserved = -1);
    // The file the store keeps the cart's own audio in (also for a cart that
    // is empty or linked elsewhere).
    QString CartAudioFile(const QString& number, int mode = -1) const;

    // Puts a WAV file's audio into the cart: copied into the cart's audio file
    // or, when link is true and the store allows linking, linked where it is.
    // Fills AudioLength and Length from the audio and clears the old timing
    // points. False (with the reason in `message`) when the cart number is
    // not valid, the file is not a readable WAV, or another workstation
    // changed the cart's audio meanwhile.
    bool ImportAudioFile(QObject* window, const QString& number, const QString& importFile, bool link, int options,
                         QString& message, const QString& originalPath = QString(), int reserved = -1);
    // Unpacks a packed cart (transport zip) into the cart: audio and fields.
    bool ImportTransportFile(QObject* window, const QString& number, const QString& path, QObject* target = nullptr,
                             int options = 0, int flags = 0, const QString& text = QString(), int reserved = -1);
    QString lastImportError() const { return m_lastError; }

    // Packs a cart that holds audio into a transport zip.
    bool ExportTransportFile(const QString& number, const QString& zipPath, QString* error);
    // Numbers of the carts that hold audio, in order.
    QStringList cartsWithAudio();

    const CartNumbers& numbers() const { return m_numbers; }

private:
    struct AudioChange;
    bool installAudio(qint64 number, const AudioChange& change, QString& message);
    std::optional<qint64> audioRevision(qint64 number, bool* exists);

    // Carts read ahead during a walk through consecutive numbers, kept only
    // while the store has not changed since.
    struct ReadAhead {
        qint64 first = 0;
        qint64 last = -1;
        qint64 stamp = -1;
        QHash<qint64, CartRecord> records;
    };
    std::optional<CartRecord> readAhead(qint64 number);
    bool fetchRecords(qint64 first, qint64 last, QHash<qint64, CartRecord>& records);

    ReadAhead m_readAhead;
    qint64 m_lastRead = -1;
    AudioSettings* m_audioSettings = nullptr;
    CartvaultStore m_store;
    CartNumbers m_numbers;
    std::shared_ptr<CartDatabase> m_database;
    QString m_lastError;
};
