#include "frame/GetParameter.h"
#include "frame/Messenger.h"
#include "frame/library/Directory.h"
#include "frame/library/DirectoryUser.h"
#include "frame/library/RegistryTools.h"
#include "tests/platform/nct/MediaFixtures.h"
#include "tests/support/RiffBytes.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestStore.h"
#include "wizard/FileListBuilder.h"
#include "wizard/FileRowReader.h"
#include "wizard/ImportFolderSetting.h"
#include "wizard/ImportItemList.h"

#include <QtTest>

using namespace RiffBytes;

namespace {
const QString Wizard = QStringLiteral("ImportAudioWizardPath");

// Two seconds of 8 kHz mono 8-bit audio, with a cart chunk naming title and
// artist and a bext chunk naming description and originator when given.
QByteArray waveWithChunks(const QByteArray& cartTitle, const QByteArray& bextDescription = {})
{
    QByteArray chunks;
    if (!cartTitle.isEmpty()) {
        QByteArray cart(2048, '\0');
        cart.replace(4, cartTitle.size(), cartTitle);
        cart.replace(68, 6, "Cartie");
        chunks += chunk("cart", cart);
    }
    if (!bextDescription.isEmpty()) {
        QByteArray bext(602, '\0');
        bext.replace(0, bextDescription.size(), bextDescription);
        bext.replace(256, 6, "Origin");
        chunks += chunk("bext", bext);
    }
    return riff("WAVE", chunk("fmt ", pcmFormat(1, 8000, 8)) + chunks + chunk("data", QByteArray(16000, '\x80')));
}

QString folder(const QString& name)
{
    const QString path = TestEnvironment::instance()->root() + QLatin1Char('/') + name;
    QDir().mkpath(path);
    return path;
}

QString write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? path : QString();
}

// A description file with a running number in its first column, so that a
// field missing from the file cannot borrow the first column's value.
QString describe(const QString& path, const QString& fields, const QString& values)
{
    return write(path, ("#Separator: ,\n#Fields: Id," + fields + "\n1," + values + "\n").toUtf8());
}

QString raw(const ImportItem& row, const char* name) { return GetParameter(row.Text, QString::fromLatin1(name)); }
} // namespace

// Reading files into the wizard's file list.
class TestFileList : public QObject
{
    Q_OBJECT

private slots:
    void init() { Messenger::install(&m_messenger); }
    void cleanup()
    {
        Messenger::install(nullptr);
        m_messenger.shown.clear();
    }

    // Catches a comparison of whole paths instead of names, or a refusal
    // that shows the wrong words.
    void sameNameFromAnotherFolderIsRefused()
    {
        const QString a = write(folder("dupA") + "/song.wav", waveWithChunks({}));
        const QString b = write(folder("dupB") + "/song.wav", waveWithChunks({}));
        ImportItemList files(true);
        FileListBuilder builder(files, m_options);
        QVERIFY(builder.AddImportFile(a));
        QVERIFY(!builder.AddImportFile(b));
        QVERIFY(!builder.AddImportFile(a));
        QVERIFY(!builder.AddImportFile(QString()));
        QCOMPARE(files.count(), 1);
        QCOMPARE(m_messenger.texts().size(), 2);
        QCOMPARE(m_messenger.texts().first(),
                 "The file 'song.wav' could not be added to the list as there is already a file that has the same "
                 "name even though it may be in another directory.\n\nIf you need to import it, finish this import, "
                 "then re-run the Import Audio Wizard.");
        QCOMPARE(m_messenger.shown.first().icon, MessageIcon::Information);
    }

    // Hand-typed intro times: a single digit after the point is hundredths,
    // and a bare m:ss is minutes, not hours.
    void introTextsAreRepaired_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("seconds");
        QTest::newRow("apostrophe, one digit") << "0'12.5" << 12.05;
        QTest::newRow("hours without hundredths") << "1:02:03" << 3723.0;
        QTest::newRow("minutes and seconds") << "12:34" << 754.0;
        QTest::newRow("already in hundredths") << "00:12.30" << 12.3;
    }
    void introTextsAreRepaired()
    {
        QFETCH(QString, text);
        QFETCH(double, seconds);
        QVERIFY(qAbs(FileRowReader::introSeconds(text) - seconds) < 1e-6);
    }

    // Catches a bound of <= instead of <, an intro kept for a transport file
    // that has no length yet, a description file looked for only in capitals,
    // a .zip in capitals taken for an unknown type, and a length of 0 shown
    // for a file the engine could not open.
    void introEndNeedsRoomInTheAudio_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("csvExtension");
        QTest::addColumn<QString>("intro");
        QTest::addColumn<QString>("introEnd");
        QTest::addColumn<QString>("length");
        QTest::newRow("inside") << "inside.wav" << ".CSV" << "0'01.5" << "1.05" << "0:02.00";
        QTest::newRow("lower-case description file") << "lower.wav" << ".csv" << "0'01.5" << "1.05" << "0:02.00";
        QTest::newRow("equal to the length") << "equal.wav" << ".CSV" << "0'02" << "" << "0:02.00";
        QTest::newRow("transport file") << "SONG.ZIP" << ".CSV" << "0'01" << "" << "...";
        QTest::newRow("unreadable audio") << "broken.mp3" << ".CSV" << "0'01" << "" << "";
    }
    void introEndNeedsRoomInTheAudio()
    {
        QFETCH(QString, name);
        QFETCH(QString, csvExtension);
        QFETCH(QString, intro);
        const QString dir = folder("intro");
        const QString path = write(dir + '/' + name, name.endsWith(".mp3") ? "not audio" : waveWithChunks({}));
        describe(dir + '/' + QFileInfo(name).completeBaseName() + csvExtension, "Title,Interpret,Intro",
                 "T,A," + intro);
        const ImportItem row = FileRowReader::read(path);
        QFETCH(QString, introEnd);
        QFETCH(QString, length);
        QCOMPARE(row.field("INTROEND"), introEnd);
        QCOMPARE(row.field("LENGTH"), length);
        QCOMPARE(row.fieldToolTip("LENGTH").isEmpty(), !name.endsWith(".ZIP"));
        QCOMPARE(raw(row, "ItemTitle"), QStringLiteral("T"));
        QVERIFY(row.Checked);
    }

    // The description file beats the file's tags; with only an ItemTitle it
    // replaces the title alone. Catches the two sources merged the wrong way,
    // and a missing field read as the first column's value.
    void descriptionFileBeatsTags_data()
    {
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QString>("values");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("artist");
        QTest::addColumn<QString>("album");
        QTest::newRow("none") << "" << "" << "Tag Title" << "Tag Artist" << "Tag Album";
        QTest::newRow("title and interpret")
            << "Title,Interpret,Author,Composer" << " Csv Title ,Csv Artist,,Comp" << "Csv Title" << "Csv Artist"
            << "Comp";
        QTest::newRow("author and composer") << "Title,Interpret,Author,Composer" << ",,Auth,Comp" << "Tag Title"
                                             << "Tag Artist" << "Auth / Comp";
        QTest::newRow("only Interpret") << "Interpret" << "Csv Artist" << "Tag Title" << "Csv Artist" << "Tag Album";
        QTest::newRow("only ItemTitle") << "ItemTitle" << "Csv Title" << "Csv Title" << "Tag Artist" << "Tag Album";
    }
    void descriptionFileBeatsTags()
    {
        QFETCH(QString, fields);
        if (!fixtures::toolsPresent())
            QSKIP("the ffmpeg tool is needed for MP3 fixtures");
        const QString dir = folder(QStringLiteral("tags-") + QTest::currentDataTag());
        TestWav tone;
        tone.seconds = 1.5;
        const QString path = fixtures::makeAudio(
            dir + "/tagged song.mp3", tone,
            {"-c:a", "libmp3lame", "-b:a", "64k", "-metadata", "title=Tag Title", "-metadata", "artist=Tag Artist",
             "-metadata", "album=Tag Album"});
        QVERIFY(!path.isEmpty());
        QFETCH(QString, values);
        QFETCH(QString, title);
        QFETCH(QString, artist);
        QFETCH(QString, album);
        if (!fields.isEmpty())
            describe(dir + "/tagged song.CSV", fields, values);
        const ImportItem row = FileRowReader::read(path);
        QCOMPARE(raw(row, "FileName"), path);
        QCOMPARE(raw(row, "ItemTitle"), title);
        QCOMPARE(raw(row, "ItemArtist"), artist);
        QCOMPARE(raw(row, "ItemAlbum"), album);
        QVERIFY(row.field("LENGTH").startsWith("0:01."));
    }

    // Values with blanks, a double quote or "=" must come back whole from
    // the tag text, or titles and paths get cut or mixed up.
    void tagTextKeepsValuesWhole_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("title");
        QTest::newRow("blanks") << "with blanks.wav" << QByteArray("Two words");
        QTest::newRow("equals") << "a=b.wav" << QByteArray("x=y z");
        QTest::newRow("quotes") << "quoted \"take\".wav" << QByteArray("Say \"Hi\" now");
        QTest::newRow("tag name in a value") << "ItemTitle=no.wav" << QByteArray("x");
    }
    void tagTextKeepsValuesWhole()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, title);
        const QString path = write(folder("raw") + '/' + name, waveWithChunks(title, "Bext text"));
        const ImportItem row = FileRowReader::read(path);
        const QStringList names{"FileName", "CartChunkTitle", "CartChunkArtist", "BextChunkDescription", "ItemTitle"};
        QStringList values;
        for (const QString& tag : names)
            values << GetParameter(row.Text, tag);
        QCOMPARE(values, QStringList({path, QString::fromUtf8(title), "Cartie", "Bext text", ""}));
    }

    // Catches a scan that descends into sub-folders, misses capital
    // extensions, adds in another order or moves the bar at other files.
    void folderIsAddedInNameOrderWithProgress()
    {
        const QString dir = folder("scan");
        for (int i = 25; i >= 1; --i)
            write(dir + QStringLiteral("/%1.%2").arg(i, 2, 10, QLatin1Char('0')).arg(i % 2 ? "wav" : "WAV"),
                  waveWithChunks({}));
        write(dir + "/notes.txt", "not audio");
        write(folder("scan/sub") + "/deeper.wav", waveWithChunks({}));
        ImportItemList files(true);
        FileListBuilder builder(files, m_options);
        QList<int> percents;
        QCOMPARE(builder.addFolder(dir, [&](int percent) { percents << percent; }), 25);
        QCOMPARE(percents, QList<int>({4, 44, 84}));
        QCOMPARE(files.item(0).field("FILENAME"), QStringLiteral("01.wav"));
        QCOMPARE(files.item(24).field("FILENAME"), QStringLiteral("25.wav"));
        QCOMPARE(files.item(9).field("TITLE"), QStringLiteral("10"));
    }

    // The user's own setting follows them between workstations, so it wins
    // over this workstation's; saving keeps both.
    void rememberedFolderPrefersTheUsersSetting()
    {
        RegistryTools::SetRegString(RegistryTools::CurrentUser, RegistryTools::productKey(), Wizard, "/workstation");
        QCOMPARE(ImportFolderSetting::ReadImportFolder(nullptr), QStringLiteral("/workstation"));

        QString error;
        QVERIFY2(TestStore::createProfile("folders", TestStore::SQLite, &error), qPrintable(error));
        Directory directory;
        directory.ProfileName = QStringLiteral("folders");
        QCOMPARE(directory.OpenDefault(false), 0);
        QVERIFY(directory.CurrentUser());
        QCOMPARE(ImportFolderSetting::ReadImportFolder(&directory), QStringLiteral("/workstation"));
        directory.CurrentUser()->Settings().SaveSetting(Wizard, "/user's own");
        QCOMPARE(ImportFolderSetting::ReadImportFolder(&directory), QStringLiteral("/user's own"));

        ImportFolderSetting::SaveImportFolder(&directory, "/new place");
        QCOMPARE(RegistryTools::GetRegString(RegistryTools::CurrentUser, RegistryTools::productKey(), Wizard),
                 QStringLiteral("/new place"));
        QCOMPARE(directory.CurrentUser()->Settings().GetSetting(Wizard), QStringLiteral("/new place"));
    }

private:
    ScriptedMessenger m_messenger;
    FileImportOptions m_options;
};

ORVANE_TEST_MAIN(TestFileList)
#include "tst_FileList.moc"
