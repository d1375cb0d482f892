#pragma once
#include <QString>

class CartRecord;
class QIODevice;

// A packed cart: one zip holding "cart.json" (the cart's fields) and
// "audio.wav" (its audio, stored uncompressed: WAV hardly compresses and the
// unpacking stays fast). Nothing inside a zip is trusted: entry names are
// compared, never used as paths, and every size is checked while reading.
class TransportZip
{
public:
    static constexpr const char* kFieldsEntry = "cart.json";
    static constexpr const char* kAudioEntry = "audio.wav";
    static constexpr int kMaxEntries = 2;
    static constexpr qint64 kMaxFieldsBytes = 64 * 1024;
    // A RIFF WAV cannot be larger. What an entry declares is never trusted
    // further: unpacking stops as soon as it yields more than that.
    static constexpr qint64 kMaxAudioBytes = qint64(4) * 1024 * 1024 * 1024;

    // Writes under a temporary name beside zipPath, then gives it that name:
    // replacing a file there only when overwrite is true.
    static bool write(const QString& zipPath, const CartRecord& cart, const QString& audioPath, bool overwrite, QString* error);

    // Reads the fields into `cart` and the audio into `audio` (open for
    // writing). False with a reason when the zip is refused; `audio` may then
    // hold part of the audio and must be discarded.
    static bool read(const QString& zipPath, CartRecord& cart, QIODevice& audio, QString* error);
};
