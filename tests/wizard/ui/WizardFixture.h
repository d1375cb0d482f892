#pragma once
// What the wizard's widget tests share: a store of their own with the
// library connections on it, the scripted messenger, and a wizard window
// whose unfinished parts record what was asked of them.

#include "frame/AppPaths.h"
#include "frame/Messenger.h"
#include "frame/library/AudioSettings.h"
#include "frame/library/Directory.h"
#include "frame/library/LibraryGlobals.h"
#include "frame/library/PlayoutAudio.h"
#include "platform/wizardframe/WizardFrame.h"
#include "platform/wizardframe/WizardPage.h"
#include "tests/support/TestStore.h"
#include "wizard/ImportItemList.h"
#include "wizard/ui/frmImportAudio.h"

#include <QStringList>
#include <QTest>

#include <functional>
#include <memory>

class TestWizard : public frmImportAudio
{
public:
    QStringList addedFiles;
    int titleInterpretations = 0;
    int summaries = 0;
    int driveCount = 0;
    std::function<bool()> fileRun = [] { return false; };
    std::function<bool()> cdRun = [] { return false; };

    void AddImportFile(const QString& path) override { addedFiles << path; }
    void InterpretTitles() override { ++titleInterpretations; }
    void BuildSummary() override { ++summaries; }
    bool RunFileImport() override { return fileRun(); }
    bool RunCDRip() override { return cdRun(); }
    int cdDriveCount() override { return driveCount; }

    int page() const { return ctlWizard->CurrentPage() ? ctlWizard->CurrentPage()->PageNumber() : -1; }
    void next() { ctlWizard->next(); }
    void back() { ctlWizard->back(); }
};

class WizardFixture
{
public:
    ScriptedMessenger messenger;

    WizardFixture() { Messenger::install(&messenger); }
    ~WizardFixture()
    {
        closeStore();
        Messenger::install(nullptr);
    }

    // A new store with `settings` (by their administrator names), the
    // current user given `cartRights`.
    bool openStore(const QList<QPair<QString, QString>>& settings = {}, qint32 cartRights = 1)
    {
        closeStore();
        static int counter = 0;
        const QString profile = QStringLiteral("wizard %1").arg(++counter);
        QString error;
        if (!TestStore::createProfile(profile, TestStore::SQLite, &error) || !TestStore::setSettings(profile, settings))
            return false;
        if (!TestStore::openAsGlobals(profile))
            return false;
        if (cartRights != 1) {
            gDirectory->addUser(AppPaths::systemUserName(), cartRights, true);
            gDirectory->OpenDefault(false);
        }
        return true;
    }

    void closeStore()
    {
        gDirectory.reset();
        gPlayoutAudio.reset();
        gAudioSettings.reset();
    }

    // A prepared, shown wizard (not modal, so the test can drive it).
    std::unique_ptr<TestWizard> openWizard(qint16 startMode = 0, const QString& initialCart = QString(),
                                           const QString& fileList = QString())
    {
        auto wizard = std::make_unique<TestWizard>();
        if (!wizard->PrepareWizard(startMode, initialCart, fileList, nullptr))
            return nullptr;
        wizard->show();
        return wizard;
    }
};

// A row as the file list holds it.
inline ImportItem fileRow(const QString& name, bool ticked = true)
{
    ImportItem row(QStringLiteral("f/in/") + name, QStringLiteral("FileName=/in/") + name);
    for (const char* key : {"FILENAME", "TITLE", "ARTIST", "DESC", "LENGTH", "INTROSTART", "INTROEND", "EXTRO"})
        row.setField(QLatin1String(key), QString());
    row.setField(QStringLiteral("FILENAME"), name);
    row.Checked = ticked;
    return row;
}

// A row as the CD track list holds it.
inline ImportItem trackRow(int track, bool ticked = false)
{
    ImportItem row(QStringLiteral("CD%1").arg(track), QStringLiteral("Title=\"Track %1\"").arg(track));
    row.setField(QStringLiteral("TRACK"), QStringLiteral("%1").arg(track, 2, 10, QLatin1Char('0')));
    row.setField(QStringLiteral("TITLE"), QStringLiteral("Track %1").arg(track));
    row.Checked = ticked;
    return row;
}
