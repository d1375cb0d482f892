#include "fuzz/FuzzInput.h"
#include "platform/accuraterip/AccurateRipRecord.h"

#include <QtEndian>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    // The disc the first header names, so the fuzzer reaches past the check
    // that a record belongs to the disc.
    AccurateRipDisc disc;
    if (size >= 13) {
        disc.audioTracks = data[0];
        disc.id1 = qFromLittleEndian<quint32>(data + 1);
        disc.id2 = qFromLittleEndian<quint32>(data + 5);
        disc.id3 = qFromLittleEndian<quint32>(data + 9);
    }
    const AccurateRipRecord record = AccurateRipRecord::parse(bytes, disc);
    // Either a reason and nothing, or whole pressings of the disc's tracks
    // that account for every byte.
    fuzzCheck(record.isValid() ? !record.pressings().isEmpty() : record.pressings().isEmpty());
    qsizetype used = 0;
    for (const AccurateRipRecord::Pressing& pressing : record.pressings()) {
        fuzzCheck(pressing.size() == disc.audioTracks);
        used += 13 + 9 * pressing.size();
    }
    fuzzCheck(!record.isValid() || used == bytes.size());
    return 0;
}
