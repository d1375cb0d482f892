#include "csv/cCSVFile.h"
#include "tests/support/TestEnvironment.h"

#include <QBuffer>
#include <QFile>
#include <QStringEncoder>

namespace {
QStringList allRecords(cCSVFile& csv)
{
    QStringList lines;
    QStringList record;
    while (csv.ReadRecord(record) == cCSVFile::NoError)
        lines.append(record.join(QLatin1Char('|')));
    return lines;
}

// A device that takes nothing: every write fails, as on a full disk.
class FullDevice : public QBuffer
{
protected:
    qint64 writeData(const char*, qint64) override { return -1; }
};
} // namespace

class TestCSVFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Orvane Import"));
        QCoreApplication::setApplicationVersion(QStringLiteral("3.1.4"));
    }

    void readsHeadersAndFieldNames_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<qint16>("numberFields");
        QTest::addColumn<QString>("software");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QStringList>("unknown");
        QTest::addColumn<QStringList>("records");

        QTest::newRow("full header")
            << QByteArray("#Software: Recorder v1.0.2\r\n#Version: 1.0\r\n#Separator: ,\r\n#Date: 1/2/2024\r\n"
                          "#Station: North\r\n#Fields: TITLE,ARTIST\r\nSong,Band\r\nOther,Group\r\n")
            << QStringList{"TITLE", "ARTIST"} << qint16(2) << "Recorder v1.0.2" << "1.0" << QStringList{"Station: North"}
            << QStringList{"Song|Band", "Other|Group"};
        QTest::newRow("names on the first line") << QByteArray("TITLE,ARTIST\nSong,Band\n") << QStringList{"TITLE", "ARTIST"}
                                                 << qint16(2) << "" << "" << QStringList{} << QStringList{"Song|Band"};
        QTest::newRow("header names in capitals") << QByteArray("#FIELDS: A,B\r\n#VERSION:   3  \r\n1,2\r\n")
                                                  << QStringList{"A", "B"} << qint16(2) << "" << "3" << QStringList{}
                                                  << QStringList{"1|2"};
        QTest::newRow("blank after the hash is not a known header")
            << QByteArray("# Fields: A,B\r\nC,D\r\n1,2\r\n") << QStringList{"C", "D"} << qint16(2) << "" << ""
            << QStringList{" Fields: A,B"} << QStringList{"1|2"};
        QTest::newRow("header without a colon") << QByteArray("#just a comment\nA\n1\n") << QStringList{"A"} << qint16(1)
                                                << "" << "" << QStringList{"just a comment"} << QStringList{"1"};
        QTest::newRow("semicolon separator") << QByteArray("#Separator: ;\n#Fields: A;B\n1,5;2\n") << QStringList{"A", "B"}
                                             << qint16(2) << "" << "" << QStringList{} << QStringList{"1,5|2"};
        QTest::newRow("blank separator gives one value a line")
            << QByteArray("#Separator:  \n#Fields: A,B\n1,2\n") << QStringList{"A,B"} << qint16(1) << "" << ""
            << QStringList{} << QStringList{"1,2"};
        QTest::newRow("quoted names lose their quotes, values keep theirs")
            << QByteArray("#Fields: \"TITLE\",\"ART\"IST\",x\"y\"\n\"Song\",\"Band\"\n") << QStringList{"TITLE", "ARTIST", "x\"y\""}
            << qint16(3) << "" << "" << QStringList{} << QStringList{"\"Song\"|\"Band\""};
        QTest::newRow("headers only") << QByteArray("#Software: X\r\n#Version: 1\r\n") << QStringList{""} << qint16(0) << "X"
                                      << "1" << QStringList{} << QStringList{};
        QTest::newRow("empty file") << QByteArray() << QStringList{""} << qint16(0) << "" << "" << QStringList{}
                                    << QStringList{};
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF#Fields: A\r\n1\r\n") << QStringList{"A"} << qint16(1)
                                         << "" << "" << QStringList{} << QStringList{"1"};
    }

    void readsHeadersAndFieldNames()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, fields);
        QFETCH(qint16, numberFields);
        QFETCH(QString, software);
        QFETCH(QString, version);
        QFETCH(QStringList, unknown);
        QFETCH(QStringList, records);

        cCSVFile csv;
        const QString path = TestEnvironment::writeFile(QStringLiteral("headers.csv"), content);
        QCOMPARE(csv.OpenFile(path), 0);
        QCOMPARE(csv.FileMode(), 1);
        QCOMPARE(csv.Fields(), fields);
        QCOMPARE(csv.NumberFields(), numberFields);
        QCOMPARE(csv.Software(), software);
        QCOMPARE(csv.FormatVersion(), version);
        QCOMPARE(csv.UnknownHeaders(), unknown);
        QCOMPARE(allRecords(csv), records);
    }

    void readsRecords_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("records");

        const QStringList twoRecords{"a|b", "c|d"};
        QTest::newRow("CR LF") << QByteArray("#Fields: X,Y\r\na,b\r\nc,d\r\n") << twoRecords;
        QTest::newRow("LF") << QByteArray("#Fields: X,Y\na,b\nc,d\n") << twoRecords;
        QTest::newRow("stray CRs") << QByteArray("#Fields: X,Y\r\r\na,\rb\r\nc,d\r") << twoRecords;
        QTest::newRow("no line end at the end") << QByteArray("#Fields: X,Y\na,b\nc,d") << twoRecords;
        // An empty line leaves the record as it was.
        QTest::newRow("empty line between") << QByteArray("#Fields: X,Y\na,b\n\nc,d\n") << QStringList{"a|b", "a|b", "c|d"};
        QTest::newRow("separator inside a quoted value") << QByteArray("#Fields: X,Y\n\"a,b\",c\n")
                                                         << QStringList{"\"a|b\"|c"};
        // Each line on its own: UTF-8 when it is valid UTF-8, else Windows-1252.
        const QStringList titles{QString::fromUtf8("Don’t Stop – Live"), QString::fromUtf8("Beyoncé")};
        QTest::newRow("UTF-8") << QByteArray("#Fields: X\nDon\xE2\x80\x99t Stop \xE2\x80\x93 Live\nBeyonc\xC3\xA9\n")
                               << titles;
        QTest::newRow("Windows-1252") << QByteArray("#Fields: X\nDon\x92t Stop \x96 Live\nBeyonc\xE9\n") << titles;
        QTest::newRow("UTF-8 and 1252 lines in one file")
            << QByteArray("#Fields: X\nDon\xE2\x80\x99t Stop \xE2\x80\x93 Live\nBeyonc\xE9\n") << titles;
        const QString text = QString::fromUtf8("#Fields: X,Y\r\nDon’t Stop – Live,Beyoncé\r\n");
        const QStringList utf16Record{titles.join(QLatin1Char('|'))};
        QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFE") + QStringEncoder(QStringEncoder::Utf16LE).encode(text)
                                   << utf16Record;
        QTest::newRow("UTF-16 BE") << QByteArray("\xFE\xFF") + QStringEncoder(QStringEncoder::Utf16BE).encode(text)
                                   << utf16Record;
    }

    void readsRecords()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, records);

        QBuffer buffer(&content);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        cCSVFile csv;
        QCOMPARE(csv.OpenFile(&buffer), 0);
        QCOMPARE(allRecords(csv), records);
        QStringList record{"kept"};
        QCOMPARE(csv.ReadRecord(record), 106); // past the end
        QCOMPARE(record, QStringList{"kept"});
        QCOMPARE(csv.ReadRecordAsString(), QString());
    }

    void findsFieldsByName()
    {
        QByteArray content("#Fields: TITLE,Artist,INTRO\nSong,Band,12.5\n");
        QBuffer buffer(&content);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        cCSVFile csv;
        QCOMPARE(csv.OpenFile(&buffer), 0);
        QCOMPARE(csv.ReadRecordAsString(), QStringLiteral("Song,Band,12.5"));
        const QStringList record{"Song", "Band", "12.5"};

        QCOMPARE(csv.GetFieldIndex(QStringLiteral("artist")), qint16(1));
        QCOMPARE(csv.GetFieldIndex(QStringLiteral("INTRO")), qint16(2));
        QCOMPARE(csv.GetFieldFromRecordData(QStringLiteral("Intro"), record), QStringLiteral("12.5"));
        QCOMPARE(csv.GetFieldFromRecordData(QStringLiteral("ARTIST"), record.mid(0, 1)), QString());
        QCOMPARE(csv.GetFieldFromRecordData(QString(), record), QString());
        QCOMPARE(csv.GetFieldFromRecordData(QStringLiteral("TITLE"), {}), QString());
        // Position 0 is both the first name and "not found".
        QCOMPARE(csv.GetFieldIndex(QStringLiteral("TITLE")), qint16(0));
        QCOMPARE(csv.GetFieldIndex(QStringLiteral("missing")), qint16(0));
        QCOMPARE(csv.GetFieldFromRecordData(QStringLiteral("missing"), record), QStringLiteral("Song"));
        // Names answer from position 1.
        QCOMPARE(csv.FieldName(0), QString());
        QCOMPARE(csv.FieldName(1), QStringLiteral("Artist"));
        QCOMPARE(csv.FieldName(2), QStringLiteral("INTRO"));
        QCOMPARE(csv.FieldName(3), QString());
    }

    void writesWhatItReads()
    {
        const QString path = TestEnvironment::writeFile(QStringLiteral("written.csv"), "old content");
        cCSVFile csv;
        QCOMPARE(csv.CreateFile(path, false, QStringLiteral("1.0"), QStringLiteral(";")), 101);
        QCOMPARE(csv.CreateFile(path, true, QStringLiteral("1.0"), QStringLiteral(";")), 0);
        QCOMPARE(csv.FileMode(), 2);
        QCOMPARE(csv.WriteHeader(QCoreApplication::instance()), 0);
        QCOMPARE(csv.Software(), QStringLiteral("Orvane Import v3.1.4"));
        QCOMPARE(csv.WriteCustomHeader(QStringLiteral("Station"), QStringLiteral("North\r\nEast")), 0);
        QCOMPARE(csv.WriteFields({"TITLE", "LENGTH"}), 0);
        QCOMPARE(csv.NumberFields(), qint16(2));
        QCOMPARE(csv.WriteRecord(QVariantList{"Song", 12.5}), 0);
        QCOMPARE(csv.WriteRecord(QStringList{"a;b", "\"q\""}), 0);
        QCOMPARE(csv.CloseFile(), 0);
        QCOMPARE(csv.FileMode(), 0);

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), 9);
        QCOMPARE(lines.at(0), QByteArray("#Software: Orvane Import v3.1.4\r"));
        QCOMPARE(lines.at(1), QByteArray("#Version: 1.0\r"));
        QCOMPARE(lines.at(2), QByteArray("#Separator: ;\r"));
        QVERIFY(lines.at(3).startsWith("#Date: "));
        QCOMPARE(lines.at(4), QByteArray("#Station: North  East\r"));
        QCOMPARE(lines.at(5), QByteArray("#Fields: TITLE;LENGTH\r"));
        QCOMPARE(lines.at(6), QByteArray("Song;12.5\r"));
        QCOMPARE(lines.at(7), QByteArray("a;b;\"q\"\r"));
        QCOMPARE(lines.at(8), QByteArray());

        QCOMPARE(csv.OpenFile(path), 0);
        QCOMPARE(csv.Software(), QStringLiteral("Orvane Import v3.1.4"));
        QCOMPARE(csv.FormatVersion(), QStringLiteral("1.0"));
        QVERIFY(!csv.DateCreated().isEmpty());
        QCOMPARE(csv.UnknownHeaders(), QStringList{"Station: North  East"});
        QCOMPARE(csv.Fields(), QStringList({"TITLE", "LENGTH"}));
        // Values are not escaped, so a separator inside one splits it.
        QCOMPARE(allRecords(csv), QStringList({"Song|12.5", "a|b|\"q\""}));
    }

    void reportsWriteErrors()
    {
        FullDevice device;
        QVERIFY(device.open(QIODevice::WriteOnly));
        cCSVFile csv;
        QCOMPARE(csv.CreateFile(&device, QStringLiteral("1.0")), 0);
        QCOMPARE(csv.WriteHeader(QCoreApplication::instance()), 103);
        QCOMPARE(csv.WriteFields({"A"}), 103);
        QCOMPARE(csv.WriteCustomHeader(QStringLiteral("N"), QStringLiteral("V")), 103);
        QCOMPARE(csv.WriteRecord(QStringList{"1"}), 103);
        QCOMPARE(csv.GetErrorSring(103), QStringLiteral("Error writing data to the file"));
        QCOMPARE(csv.GetErrorSring(106), QStringLiteral("Unknown Error Code"));
    }

    void answersErrorCodes()
    {
        const QString existing = TestEnvironment::writeFile(QStringLiteral("existing.csv"), "#Fields: A\n1\n");
        const QString root = TestEnvironment::instance()->root();
        cCSVFile csv;
        QStringList record;

        // Nothing open.
        QCOMPARE(csv.ReadRecord(record), 4);
        QCOMPARE(csv.WriteRecord(QStringList{"1"}), 4);
        QCOMPARE(csv.OpenFile(QString()), 2);
        QCOMPARE(csv.OpenFile(root + QStringLiteral("/missing.csv")), 102);
        QCOMPARE(csv.OpenFile(root), 102);
        QCOMPARE(csv.CreateFile(QString(), true, QStringLiteral("1")), 2);
        QCOMPARE(csv.CreateFile(root + QStringLiteral("/no/such/folder.csv"), true, QStringLiteral("1")), 3);
        QCOMPARE(csv.GetErrorSring(4), QStringLiteral("There is no file open to read or write from"));

        // Open for reading.
        QCOMPARE(csv.OpenFile(existing), 0);
        QCOMPARE(csv.OpenFile(existing), 1);
        QCOMPARE(csv.CreateFile(existing, true, QStringLiteral("1")), 1);
        QCOMPARE(csv.CreateFile(QString(), true, QStringLiteral("1")), 2);
        QCOMPARE(csv.WriteFields({"A"}), 4);
        QCOMPARE(csv.WriteHeader(QCoreApplication::instance()), 4);
        QCOMPARE(csv.GetErrorSring(4), QStringLiteral("You tried to write to file open for reading"));
        QCOMPARE(csv.CloseFile(), 0);

        // Open for writing.
        QCOMPARE(csv.CreateFile(root + QStringLiteral("/tmp/new.csv"), false, QStringLiteral("1")), 0);
        QCOMPARE(csv.ReadRecord(record), 4);
        QCOMPARE(csv.ReadRecordAsString(), QString());
        QCOMPARE(csv.WriteRecord(QVariantList{}), 2);
        QCOMPARE(csv.WriteHeader(nullptr), 2);
        QCOMPARE(csv.WriteHeader(this), 2);
        QCOMPARE(csv.GetErrorSring(4), QStringLiteral("You tried to read from a file open for writing"));
    }

    void refusesEndlessLines()
    {
        // Binary input is the fuzzer's; this is the one it cannot reach.
        const QByteArray endless(CsvLineReader::MaxLineBytes + 1, 'x');
        QByteArray content = "#Fields: A\n" + endless + "\nlast";
        QBuffer buffer(&content);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        cCSVFile csv;
        QCOMPARE(csv.OpenFile(&buffer), 0);
        QStringList record{"kept"};
        QCOMPARE(csv.ReadRecord(record), 105);
        QCOMPARE(record, QStringList{"kept"});
        QCOMPARE(csv.ReadRecord(record), 0);
        QCOMPARE(record, QStringList{"last"});
        QCOMPARE(csv.CloseFile(), 0);

        // Field names cut short would be wrong names: the file is refused.
        QByteArray names = endless + "\n1\n";
        QBuffer namesBuffer(&names);
        QVERIFY(namesBuffer.open(QIODevice::ReadOnly));
        QCOMPARE(csv.OpenFile(&namesBuffer), 105);
        QCOMPARE(csv.FileMode(), 0);
    }
};

ORVANE_TEST_MAIN(TestCSVFile)
#include "tst_cCSVFile.moc"
