#include "platform/riff/RiffFile.h"
#include "tests/support/RiffBytes.h"
#include "tests/support/TestEnvironment.h"

#include <QBuffer>

using namespace RiffBytes;

namespace {
// Descends into RIFF "WAVE" and then to `id`; the chunk's result code.
int findInWave(QByteArray bytes, QByteArrayView id, RiffChunk* found = nullptr, qint64* present = nullptr)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    RiffFile file(&buffer);
    RiffChunk riff;
    riff.formType = RiffFile::fourCC("WAVE");
    const int rc = file.descend(riff, nullptr, RiffFile::FindRiff);
    if (rc != RiffFile::NoError)
        return rc;
    RiffChunk chunk;
    chunk.id = RiffFile::fourCC(id);
    const int chunkRc = file.descend(chunk, &riff, RiffFile::FindChunk);
    if (found)
        *found = chunk;
    if (present)
        *present = file.bytesPresent(chunk);
    return chunkRc;
}
} // namespace

class TestRiffFile : public QObject
{
    Q_OBJECT

private slots:
    void writesSizesAndPadBytes()
    {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadWrite);
        RiffFile file(&buffer);
        RiffChunk riff;
        riff.formType = RiffFile::fourCC("WAVE");
        RiffChunk odd;
        odd.id = RiffFile::fourCC("odd");
        RiffChunk next;
        next.id = RiffFile::fourCC("next");
        QCOMPARE(file.createChunk(riff, RiffFile::CreateRiff), 0);
        QCOMPARE(file.createChunk(odd, RiffFile::CreatePlain), 0);
        QCOMPARE(file.write("abc", 3), 3);
        QCOMPARE(file.ascend(odd), 0);
        QCOMPARE(file.createChunk(next, RiffFile::CreatePlain), 0);
        QCOMPARE(file.write("xy", 2), 2);
        QCOMPARE(file.ascend(next), 0);
        QCOMPARE(file.ascend(riff), 0);

        // The pad byte follows the odd chunk but is not counted in its size.
        QCOMPARE(bytes, RiffBytes::riff("WAVE", chunk("odd ", "abc") + chunk("next", "xy")));
        QCOMPARE(odd.size, qint64(3));
        QCOMPARE(riff.size, qint64(bytes.size() - 8));
    }

    void findsChunks_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("result");
        QTest::addColumn<qint64>("present"); // bytes of the found "data" chunk in the file

        const QByteArray data = chunk("data", "1234");
        QTest::newRow("past an odd chunk and its pad byte")
            << riff("WAVE", chunk("odd ", "abcde") + data) << 0 << qint64(4);
        QTest::newRow("chunk claiming more than the file")
            << riff("WAVE", chunkClaiming("data", 1000, "1234")) << 0 << qint64(4);
        QTest::newRow("size 0xFFFFFFFF before the wanted chunk")
            << riff("WAVE", chunkClaiming("junk", 0xFFFFFFFF, "zz") + data) << 265 << qint64(0);
        QTest::newRow("size 0xFFFFFFFF of the wanted chunk")
            << riff("WAVE", chunkClaiming("data", 0xFFFFFFFF, "1234")) << 0 << qint64(4);
        QTest::newRow("RIFF claiming more than the file")
            << QByteArray("RIFF" + le32(0xFFFFFFFF) + "WAVE" + data) << 0 << qint64(4);
        QTest::newRow("chunk outside a RIFF too small for it")
            << QByteArray("RIFF" + le32(4) + "WAVE" + data) << 265 << qint64(0);
        QTest::newRow("odd chunk whose writer left out the pad byte")
            << riff("WAVE", chunkClaiming("odd ", 3, "abc") + data) << 265 << qint64(0);
        // No real file has this many side by side; the search gives up
        // rather than walk a million of them.
        QTest::newRow("behind five thousand empty chunks")
            << riff("WAVE", chunk("junk", {}).repeated(5000) + data) << 265 << qint64(0);
        QTest::newRow("header cut short") << riff("WAVE", QByteArray("dat")) << 265 << qint64(0);
        QTest::newRow("form type cut short") << QByteArray("RIFF" + le32(100) + "WA") << 265 << qint64(0);
        QTest::newRow("not a WAVE form") << riff("AVI ", data) << 265 << qint64(0);
        QTest::newRow("text") << QByteArray("Just some words, nothing else.\n") << 265 << qint64(0);
        QTest::newRow("empty") << QByteArray() << 265 << qint64(0);
    }

    void findsChunks()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, result);
        QFETCH(qint64, present);
        RiffChunk found;
        qint64 got = 0;
        QCOMPARE(findInWave(bytes, "data", &found, &got), result);
        if (result == 0) {
            QCOMPARE(got, present);
            QCOMPARE(found.dataOffset, qint64(bytes.indexOf("data") + 8));
        }
    }

    void ascendStopsAtTheEndOfAReadOnlyFile()
    {
        QByteArray bytes = RiffBytes::riff("WAVE", chunkClaiming("data", 0x7FFFFFFF, "1234"));
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        RiffFile file(&buffer);
        RiffChunk riff;
        riff.formType = RiffFile::fourCC("WAVE");
        QCOMPARE(file.descend(riff, nullptr, RiffFile::FindRiff), 0);
        RiffChunk data;
        data.id = RiffFile::fourCC("data");
        QCOMPARE(file.descend(data, &riff, RiffFile::FindChunk), 0);
        QCOMPARE(file.ascend(data), 0);
        QCOMPARE(file.pos(), qint64(bytes.size()));
        QCOMPARE(file.ascend(riff), 0);
    }
};

ORVANE_TEST_MAIN(TestRiffFile)
#include "tst_RiffFile.moc"
