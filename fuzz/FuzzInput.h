#pragma once
#include <QBuffer>
#include <QByteArray>

#include <cstddef>
#include <cstdint>

// The fuzzer's bytes as an open, read-only device, without a copy.
class FuzzInput
{
public:
    FuzzInput(const uint8_t* data, size_t size)
        : m_bytes(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)))
    {
        m_buffer.setBuffer(&m_bytes);
        m_buffer.open(QIODevice::ReadOnly);
    }
    QBuffer& device()
    {
        m_buffer.seek(0);
        return m_buffer;
    }
    qsizetype size() const { return m_bytes.size(); }

private:
    QByteArray m_bytes;
    QBuffer m_buffer;
};

// A broken promise of a reader counts as a finding, like a crash.
inline void fuzzCheck(bool promise)
{
    if (!promise)
        __builtin_trap();
}
