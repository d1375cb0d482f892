#pragma once
#include <QString>
#include <functional>

class CartRecord;

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
    // Room for a cart chunk's 32000 characters of tag text, three bytes each.
    static constexpr qint64 kMaxFieldsBytes = 256 * 1024;
    // A RIFF WAV cannot be larger. What an entry declares is never trusted
    // further: unpacking stops as soon as it yields more than that.
    static constexpr qint64 kMaxAudioBytes = qint64(4) * 1024 * 1024 * 1024;

    // Writes under a temporary name beside zipPath, then gives it that name:
    // replacing a file there only when overwrite is true. A link named
    // zipPath is replaced, not followed (that is how a rename works); a
    // caller that means the file it leads to resolves it first.
    static bool write(const QString& zipPath, const CartRecord& cart, const QString& audioPath, bool overwrite, QString* error);

    // Where unpacked audio goes, piece by piece; false with the reason stops the unpacking.
    using AudioSink = std::function<bool(const char* data, qint64 size, QString* error)>;

    // Reads the fields into `cart` and hands the audio to `audio`. False with
    // a reason when the zip is refused; what `audio` took must then be discarded.
    static bool read(const QString& zipPath, CartRecord& cart, const AudioSink& audio, QString* error);
};
