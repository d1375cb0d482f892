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
    static constexpr qint64 kMaxAudioBytes = qint64(4) * 1024 * 1024 * 1024; // a WAV cannot be larger
    static constexpr double kMaxCompressionRatio = 100.0;

    static bool write(const QString& zipPath, const CartRecord& cart, const QString& audioPath, QString* error);

    // Reads the fields into `cart` and the audio into `audio` (open for
    // writing). False with a reason when the zip is refused; `audio` may then
    // hold part of the audio and must be discarded.
    static bool read(const QString& zipPath, CartRecord& cart, QIODevice& audio, QString* error);
};
