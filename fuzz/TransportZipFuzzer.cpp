#include "frame/library/CartRecord.h"
#include "frame/library/TransportZip.h"
#include "fuzz/FuzzInput.h"

#include <QDir>
#include <QFile>
#include <unistd.h>

// Packed carts arrive from other stations: any bytes may stand in a zip.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString path = QDir::tempPath() + QStringLiteral("/orvane-fuzz-%1.zip").arg(getpid());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    file.close();

    CartRecord cart;
    qint64 audioBytes = 0;
    const TransportZip::AudioSink count = [&audioBytes](const char*, qint64 bytes, QString*) {
        audioBytes += bytes;
        return true;
    };
    QString error;
    const bool unpacked = TransportZip::read(path, cart, count, &error);
    fuzzCheck(unpacked ? error.isEmpty() : !error.isEmpty());
    // Never more audio than the zip could declare for its one audio entry.
    fuzzCheck(audioBytes <= TransportZip::kMaxAudioBytes);
    return 0;
}
