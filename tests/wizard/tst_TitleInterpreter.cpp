#include "frame/library/GeneralTools.h"
#include "tests/support/TestEnvironment.h"
#include "wizard/ImportItemList.h"
#include "wizard/TitleInterpreter.h"

#include <QtTest>

namespace {
// A file row as the list holds it: the tag text with the path first, then
// whatever the file held, and the titles of an earlier interpretation.
ImportItem fileRow(const QString& path, const QStringList& tags)
{
    QString text = GeneralTools::SetParameter(QString(), QStringLiteral("FileName"), path);
    for (const QString& tag : tags)
        text = GeneralTools::SetParameter(text, tag.section('=', 0, 0), tag.section('=', 1));
    ImportItem row(QStringLiteral("f") + path, text);
    for (const char* key : {"FILENAME", "TITLE", "ARTIST", "DESC", "LENGTH"})
        row.setField(QString::fromLatin1(key), QStringLiteral("old"));
    return row;
}
} // namespace

// How a file row gets its title, artist and description.
class TestTitleInterpreter : public QObject
{
    Q_OBJECT

private slots:
    void titlesFollowModeAndSeparators_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("separators");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("tags");
        QTest::addColumn<QStringList>("expected"); // title, artist, description

        const QStringList usual{"-", "_"};
        const QStringList none;
        // Splitting: the first separator that occurs wins; parts are trimmed,
        // underscores go after the split.
        QTest::newRow("title-artist-desc") << 2 << usual << "/in/Blue Moon - Ella_Fitzgerald - 1961.mp3" << none
                                           << QStringList{"Blue Moon", "EllaFitzgerald", "1961"};
        QTest::newRow("second separator") << 2 << usual << "/in/Blue_Moon.wav" << none
                                          << QStringList{"Blue", "Moon", ""};
        QTest::newRow("artist-title") << 3 << usual << "/in/Artist-Title.mp3" << none
                                      << QStringList{"Title", "Artist", ""};
        QTest::newRow("artist-title unsplit") << 3 << usual << "/in/Title.mp3" << none
                                              << QStringList{"Title", "", ""};
        QTest::newRow("{SPACE} in capitals") << 2 << QStringList{"{SPACE}", ""} << "/in/Song Singer.wav" << none
                                             << QStringList{"Song", "Singer", ""};
        QTest::newRow("split is case-sensitive") << 2 << QStringList{"x", ""} << "/in/AXB.wav" << none
                                                 << QStringList{"AXB", "", ""};
        QTest::newRow("fourth part dropped") << 2 << usual << "/in/a-b-c-d.wav" << none
                                             << QStringList{"a", "b", "c"};
        QTest::newRow("only separators keep the row") << 2 << usual << "/in/---.wav" << none
                                                      << QStringList{"old", "old", "old"};
        // The name as it is: apostrophes stay, underscores and double quotes go.
        QTest::newRow("name as it is") << 0 << usual << "/in/My_Song 'Live'.wav" << none
                                       << QStringList{"MySong 'Live'", "", ""};
        QTest::newRow("double quotes go") << 0 << usual << "/in/\"Quoted\"_Name.wav" << none
                                          << QStringList{"QuotedName", "", ""};
        QTest::newRow("name ignores embedded") << 0 << usual << "/in/a-b.wav" << QStringList{"ItemTitle=Tag"}
                                               << QStringList{"a-b", "", ""};
        // Embedded information, by preference; taken as it is.
        QTest::newRow("title tag without artist") << 1 << usual << "/in/Name-Artist.mp3"
                                                  << QStringList{"ItemTitle=Tag_Title"}
                                                  << QStringList{"Tag_Title", "", ""};
        QTest::newRow("tags beat chunks")
            << 1 << usual << "/in/n.wav"
            << QStringList{"CartChunkTitle=Cart", "CartChunkArtist=CA", "ItemTitle=T", "ItemArtist=A", "ItemAlbum=Al"}
            << QStringList{"T", "A", "Al"};
        QTest::newRow("cart beats bext") << 1 << usual << "/in/n.wav"
                                         << QStringList{"CartChunkTitle=Cart", "CartChunkArtist=",
                                                        "BextChunkDescription=Bext", "BextChunkOriginator=O"}
                                         << QStringList{"Cart", "", ""};
        QTest::newRow("bext when cart is empty") << 1 << usual << "/in/n.wav"
                                                 << QStringList{"CartChunkTitle=", "CartChunkArtist=",
                                                                "BextChunkDescription=Bext desc",
                                                                "BextChunkOriginator=Orig"}
                                                 << QStringList{"Bext desc", "Orig", ""};
        QTest::newRow("nothing embedded") << 1 << usual << "/in/Some_Name.wav" << none
                                          << QStringList{"SomeName", "", ""};
    }
    void titlesFollowModeAndSeparators()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, separators);
        QFETCH(QString, path);
        QFETCH(QStringList, tags);
        QFETCH(QStringList, expected);
        FileImportOptions options;
        options.titlingMode = mode;
        options.separators[0] = separators.at(0);
        options.separators[1] = separators.at(1);
        ImportItem row = fileRow(path, tags);
        TitleInterpreter::interpret(row, options);
        QCOMPARE(QStringList({row.field("TITLE"), row.field("ARTIST"), row.field("DESC")}), expected);
        QCOMPARE(row.field("LENGTH"), QStringLiteral("old"));
    }

    // A mode change re-titles every row; a row number does that row alone.
    void listRowsAreInterpretedOneOrAll()
    {
        ImportItemList files(true);
        files.add(fileRow("/in/a-1.wav", {}));
        files.add(fileRow("/in/b-2.wav", {}));
        FileImportOptions options;
        options.titlingMode = 2;
        TitleInterpreter::InterpretTitles(files, 2, options);
        QCOMPARE(files.item(0).field("TITLE"), QStringLiteral("old"));
        QCOMPARE(files.item(1).field("ARTIST"), QStringLiteral("2"));
        options.titlingMode = 0;
        TitleInterpreter::InterpretTitles(files, 0, options);
        QCOMPARE(files.item(0).field("TITLE"), QStringLiteral("a-1"));
        QCOMPARE(files.item(1).field("ARTIST"), QString());
    }
};

ORVANE_TEST_MAIN(TestTitleInterpreter)
#include "tst_TitleInterpreter.moc"
