#pragma once
#include "wizard/CDTitleLookup.h"

class frmImportAudio;

// The CD page's "Get Titles" button: runs the toolkit-free title lookup for
// the disc in the drive and shows what it says on the page.
class CDLookupActions : public CDTitleLookupHandler
{
public:
    explicit CDLookupActions(frmImportAudio& window)
        : m_window(window)
    {
    }

    void QueryCDDB();

    void driveWatch(bool running) override;
    void status(const QString& text) override;
    void titlesFound(const CDTitleProposal& proposal) override;
    void applyTitles() override;

private:
    frmImportAudio& m_window;
};
