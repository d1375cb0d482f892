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
#include "tests/support/TestWav.h"
#include "wizard/ImportItemList.h"
#include "wizard/ui/frmImportAudio.h"

#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
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
    // The file list, titles, summary and file run as the window does them.
    bool realFileImport = false;

    void AddImportFile(const QString& path) override
    {
        addedFiles << path;
        if (realFileImport)
            frmImportAudio::AddImportFile(path);
    }
    void InterpretTitles() override
    {
        ++titleInterpretations;
        if (realFileImport)
            frmImportAudio::InterpretTitles();
    }
    void BuildSummary() override
    {
        ++summaries;
        if (realFileImport)
            frmImportAudio::BuildSummary();
    }
    bool RunFileImport() override { return realFileImport ? frmImportAudio::RunFileImport() : fileRun(); }
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

    // A shown wizard on the files page with `paths` loaded, whose file
    // list, titles, summary and file run are the window's own.
    std::unique_ptr<TestWizard> openWizardOnFiles(const QStringList& paths, ImportTargetHandler* target = nullptr)
    {
        auto wizard = std::make_unique<TestWizard>();
        wizard->realFileImport = true;
        if (!wizard->PrepareWizard(frmImportAudio::StartWithFiles, QString(), paths.join(QLatin1Char('|')), target))
            return nullptr;
        wizard->show();
        return wizard;
    }

    // Presses Next until `page` shows; false when a press does not move on.
    static bool pressNextUntil(TestWizard& wizard, int page)
    {
        auto* next = wizard.findChild<QPushButton*>(QStringLiteral("cmdNext"));
        while (wizard.page() != page) {
            const int before = wizard.page();
            QTest::mouseClick(next, Qt::LeftButton);
            if (wizard.page() == before)
                return false;
        }
        return true;
    }
};

// Each name written as a short WAV file into `folder`; their paths.
inline QStringList writeWavFiles(const QTemporaryDir& folder, const QStringList& names)
{
    QStringList paths;
    for (const QString& name : names) {
        paths << folder.filePath(name);
        if (!TestWav{}.write(paths.last()))
            return {};
    }
    return paths;
}

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
