#include "frame/library/CartDatabase.h"
#include "frame/library/CartvaultStore.h"
#include "frame/library/DropboxMemory.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestStore.h"

// The claims of drop folders, on both backends: a file's outcome is written
// in the transaction that commits its cart, and only by the claim's holder.
class DropboxMemoryTest : public QObject
{
    Q_OBJECT

    int m_counter = 0;
    TestStore::Session m_session;

    std::shared_ptr<CartDatabase> database() { return m_session.audio->Cartvault().database(); }

    QString outcomeOf(const DropboxMemory::File& file)
    {
        for (const DropboxMemory::Entry& entry : DropboxMemory(database()).entries(file.folder))
            if (entry.file.name == file.name)
                return entry.outcome + QLatin1Char(' ') + entry.cart;
        return QString();
    }

private slots:
    void initTestCase_data()
    {
        TestStore::addBackendRows();
    }

    void init()
    {
        QFETCH_GLOBAL(int, backend);
        if (backend == TestStore::PostgreSQL && !TestStore::postgresAvailable())
            QSKIP("no PostgreSQL cluster (run through scripts/with-postgres)");
        const QString profile = QStringLiteral("dropbox %1").arg(++m_counter);
        QString error;
        QVERIFY2(TestStore::createProfile(profile, TestStore::Backend(backend), &error), qPrintable(error));
        m_session = TestStore::open(profile);
        QVERIFY(m_session.audio);
    }

    void cleanup() { m_session = {}; }

    // The holder of a claim is this very process, alive: nobody takes it over.
    void aLiveClaimIsNotTakenOver()
    {
        DropboxMemory memory(database());
        const DropboxMemory::File file{"/drop", "news.wav", 1000, 1700000000};
        QCOMPARE(memory.claim(file), DropboxMemory::Claim::Claimed);
        QCOMPARE(memory.claim(file), DropboxMemory::Claim::Taken);
        QVERIFY(memory.renewClaims());
        QCOMPARE(memory.claim(file), DropboxMemory::Claim::Taken);
    }

    // Inside the cart's transaction the claim becomes "imported" with it, or
    // not at all; a version this process never claimed cannot be recorded,
    // so its cart is not committed.
    void importedOnlyTogetherWithTheCart_data()
    {
        QTest::addColumn<bool>("claimed");
        QTest::addColumn<bool>("cartCommits");
        QTest::addColumn<bool>("recorded");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("committed") << true << true << true << "imported 12";
        QTest::newRow("rolled back") << true << false << true << "claimed ";
        QTest::newRow("never claimed") << false << true << false << "";
    }

    void importedOnlyTogetherWithTheCart()
    {
        QFETCH(bool, claimed);
        QFETCH(bool, cartCommits);
        QFETCH(bool, recorded);
        QFETCH(QString, outcome);
        DropboxMemory memory(database());
        const DropboxMemory::File file{"/drop", "promo.mp3", 2000, 1700000000};
        if (claimed)
            QCOMPARE(memory.claim(file), DropboxMemory::Claim::Claimed);
        bool hook = false;
        database()->write([&] {
            hook = memory.recordImported(file, "12");
            return hook && cartCommits;
        });
        QCOMPARE(hook, recorded);
        QCOMPARE(outcomeOf(file), outcome);
        // Rolled back, the claim is still this process's to finish.
        if (claimed && !cartCommits)
            QVERIFY(database()->write([&] { return memory.recordImported(file, "13"); }));
    }
};

ORVANE_TEST_MAIN(DropboxMemoryTest)
#include "tst_dropboxmemory.moc"
