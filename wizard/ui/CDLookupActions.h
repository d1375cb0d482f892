#pragma once
#include "wizard/CDTitleLookup.h"

#include <memory>

class frmImportAudio;

// The CD page's "Get Titles" button: runs the toolkit-free title lookup for
// the disc in the drive (CDDB or MusicBrainz) and shows what it says on the page.
class CDLookupActions : public CDTitleLookupHandler
{
public:
    explicit CDLookupActions(frmImportAudio& window)
        : m_window(window)
    {
    }

    // Asks the service chosen beside the button.
    void QueryCDDB();
    // Applies another of the releases the last lookup found.
    void chooseRelease(int release);

    void driveWatch(bool running) override;
    void status(const QString& text) override;
    void titlesFound(const CDTitleProposal& proposal) override;
    void applyTitles() override;

private:
    frmImportAudio& m_window;
    std::unique_ptr<CDTitleLookup> m_lookup; // the last, whose releases are on offer
};
