#include "wizard/ui/CDLookupActions.h"

#include "frame/library/PlayoutAudio.h"
#include "wizard/ui/RipCDPage.h"
#include "wizard/ui/frmImportAudio.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QTimer>

void CDLookupActions::QueryCDDB()
{
    if (!m_window.CDRipperX1 || !m_window.context().audio)
        return;
    m_lookup = std::make_unique<CDTitleLookup>(m_window.cdTrackList(), *this, m_window.context().directory);
    CDTitleLookupOptions options = CDTitleLookupOptions::fromStore(m_window.context().audio->Cartvault());
    if (m_window.fraRipCD->comboCDLookupService->currentIndex() == 1)
        options.service = CDTitleLookupOptions::Service::MusicBrainz;
    m_window.QueryCDDBBusy = 1;
    m_lookup->run(options, m_window.CDRipperX1->discIdentity());
    m_window.QueryCDDBBusy = 0;
}

void CDLookupActions::chooseRelease(int release)
{
    if (!m_lookup)
        return;
    m_window.QueryCDDBBusy = 1;
    m_lookup->chooseRelease(release);
    m_window.QueryCDDBBusy = 0;
}

void CDLookupActions::driveWatch(bool running)
{
    running ? m_window.tmrCD->start() : m_window.tmrCD->stop();
}

void CDLookupActions::status(const QString& text)
{
    RipCDPage* page = m_window.fraRipCD;
    if (text.isEmpty()) {
        page->pnlCDQueryStatus->hide();
        return;
    }
    page->imgCD->hide();
    page->imgFreeDB->show();
    page->lblCDQueryStatus->setText(text);
    page->pnlCDQueryStatus->show();
    m_window.repaint();
}

// Separators go into the boxes from the first on; boxes left over keep
// their text. Each list's first entry is chosen; of several releases, the
// one applied.
void CDLookupActions::titlesFound(const CDTitleProposal& proposal)
{
    RipCDPage* page = m_window.fraRipCD;
    for (int box = 0; box < 2 && box < proposal.separators.size(); ++box)
        page->comboCdTitleSeparator[box]->setCurrentText(proposal.separators.at(box));
    const auto fill = [](QComboBox* combo, const QStringList& entries) {
        combo->clear();
        combo->addItems(entries);
        if (!entries.isEmpty())
            combo->setCurrentIndex(0);
    };
    fill(page->comboCDTitle, proposal.titles);
    fill(page->comboCDArtist, proposal.artists);
    // A release chosen from the list keeps the list as it is.
    QStringList offered;
    for (int n = 0; n < page->comboCDRelease->count(); ++n)
        offered << page->comboCDRelease->itemText(n);
    if (offered != proposal.releases)
        fill(page->comboCDRelease, proposal.releases);
    page->comboCDRelease->setCurrentIndex(proposal.release);
    page->comboCDRelease->setVisible(!proposal.releases.isEmpty());
}

void CDLookupActions::applyTitles()
{
    m_window.QueryCDDBBusy = 0; // the rows' tag texts are whole again
    m_window.ApplyCDTitles();
}
