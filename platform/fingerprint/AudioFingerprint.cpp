#include "platform/fingerprint/AudioFingerprint.h"

#include <chromaprint.h>

#include <memory>

namespace {
template <typename T>
struct Dealloc {
    void operator()(T* p) const { chromaprint_dealloc(p); }
};
} // namespace

double AudioFingerprint::itemSeconds()
{
    static const double seconds = [] {
        std::unique_ptr<ChromaprintContext, decltype(&chromaprint_free)> context(
            chromaprint_new(CHROMAPRINT_ALGORITHM_DEFAULT), &chromaprint_free);
        return double(chromaprint_get_item_duration(context.get())) / chromaprint_get_sample_rate(context.get());
    }();
    return seconds;
}

QByteArray AudioFingerprint::encoded() const
{
    if (items.empty())
        return {};
    char* bytes = nullptr;
    int size = 0;
    if (!chromaprint_encode_fingerprint(items.data(), static_cast<int>(items.size()), CHROMAPRINT_ALGORITHM_DEFAULT,
                                        &bytes, &size, 0))
        return {};
    const std::unique_ptr<char, Dealloc<char>> owner(bytes);
    return QByteArray(bytes, size);
}

std::optional<AudioFingerprint> AudioFingerprint::fromEncoded(const QByteArray& bytes, double seconds)
{
    if (bytes.isEmpty())
        return AudioFingerprint{{}, seconds};
    quint32* items = nullptr;
    int size = 0;
    int algorithm = 0;
    if (!chromaprint_decode_fingerprint(bytes.constData(), static_cast<int>(bytes.size()), &items, &size, &algorithm, 0)
        || size < 0)
        return std::nullopt;
    const std::unique_ptr<quint32, Dealloc<quint32>> owner(items);
    if (algorithm != CHROMAPRINT_ALGORITHM_DEFAULT)
        return std::nullopt; // items of another algorithm compare with nothing of ours
    return AudioFingerprint{std::vector<quint32>(items, items + size), seconds};
}
