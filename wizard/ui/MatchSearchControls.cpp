#include "wizard/ui/MatchSearchControls.h"

#include "frame/Messenger.h"
#include "frame/library/PlayoutAudio.h"
#include "platform/wizardframe/WizardFrame.h"
#include "wizard/AudioDuplicates.h"
#include "wizard/ImportItemList.h"
#include "wizard/MatchSearch.h"
#include "wizard/ui/BusyPointer.h"
#include "wizard/ui/ChooseSourcePage.h"
#include "wizard/ui/ImportFilesPage.h"
#include "wizard/ui/RipCDPage.h"
#include "wizard/ui/frmImportAudio.h"

#include <QCoreApplication>
#include <QHash>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>

namespace {
// The tree of one page as the search's handler.
class TreeHandler : public MatchSearchHandler
{
public:
    TreeHandler(frmImportAudio& window, QTreeWidget* tree, QProgressBar* bar)
        : m_window(window)
        , m_tree(tree)
        , m_bar(bar)
    {
    }

    void progress(int percent) override
    {
        m_bar->setValue(percent);
        QCoreApplication::processEvents(); // a stop click, or the close box, gets in here
    }
    bool stopRequested() override { return !m_window.Searching; }
    void match(const QString& parentKey, const QString& parentText, const QString& childKey, const QString& childText) override
    {
        QTreeWidgetItem*& parent = m_parents[parentKey];
        if (!parent) {
            parent = new QTreeWidgetItem(m_tree, {parentText});
            parent->setData(0, Qt::UserRole, parentKey);
            parent->setExpanded(true);
        }
        auto* child = new QTreeWidgetItem(parent, {childText});
        child->setData(0, Qt::UserRole, childKey);
    }

private:
    frmImportAudio& m_window;
    QTreeWidget* m_tree;
    QProgressBar* m_bar;
    QHash<QString, QTreeWidgetItem*> m_parents;
};
} // namespace

MatchSearchControls::MatchSearchControls(frmImportAudio& window)
    : QObject(&window)
    , m_window(window)
{
    for (int index = 0; index < 2; ++index) {
        QTreeWidget* tree = controls(index).tree;
        // Folding a node open or shut makes it the one selected.
        const auto select = [tree](QTreeWidgetItem* item) { tree->setCurrentItem(item); };
        connect(tree, &QTreeWidget::itemExpanded, tree, select);
        connect(tree, &QTreeWidget::itemCollapsed, tree, select);
    }
}

MatchSearchControls::~MatchSearchControls() = default;

MatchSearchControls::Controls MatchSearchControls::controls(int index) const
{
    if (index == 0)
        return {m_window.fraImportFiles->cmdSearchForMatches, m_window.fraImportFiles->treeMatches,
                m_window.fraImportFiles->progScanForMatch};
    return {m_window.fraRipCD->cmdSearchForMatches, m_window.fraRipCD->treeMatches, m_window.fraRipCD->progScanForMatch};
}

void MatchSearchControls::showSearching(const Controls& c, bool searching)
{
    c.button->setIcon(m_window.style()->standardIcon(searching ? QStyle::SP_BrowserStop : QStyle::SP_FileDialogContentsView));
    c.button->setToolTip(searching ? QStringLiteral("Stop Searching") : QStringLiteral("Search for matching items on the Cartvault"));
    m_window.ctlWizard->setNextEnabled(!searching);
    m_window.ctlWizard->setBackEnabled(!searching);
    m_window.ctlWizard->setCancelEnabled(!searching);
    c.bar->setVisible(searching);
}

void MatchSearchControls::SearchForMatches(int index)
{
    const Controls c = controls(index);
    if (m_window.Searching) {
        c.button->setEnabled(false);
        m_window.Searching = false;
        return;
    }
    const bool files = m_window.fraChoose->optImportFiles->isChecked();
    if (!files && !m_window.fraChoose->optRipCD->isChecked())
        return;
    const ImportItemList& source = files ? m_window.fileList() : m_window.cdTrackList();
    if (source.firstChecked() < 0) {
        const bool watching = m_window.tmrCD->isActive();
        m_window.tmrCD->stop();
        ShowMessage(QStringLiteral("You must select at least 1 item to be imported before you can search for existing "
                                   "matching items on the Cartvault"),
                    MessageIcon::Exclamation, MessageButtons::Ok);
        if (watching)
            m_window.tmrCD->start();
        return;
    }
    PlayoutAudio* audio = m_window.context().audio;
    if (!audio)
        return;

    showSearching(c, true);
    c.tree->clear();
    c.tree->setEnabled(true);
    c.tree->show(); // the page's layout gives it room below the list
    c.bar->setValue(0);
    m_window.Searching = true;
    {
        BusyPointer busy;
        TreeHandler handler(m_window, c.tree, c.bar);
        if (MatchSearch::run(*audio, audio->FirstFreeCart(QString()), source, handler)) {
            if (m_duplicates)
                m_duplicates->refresh();
            else
                m_duplicates = std::make_unique<AudioDuplicates>(audio->Cartvault().database());
            MatchSearch::runAudio(*audio, *m_duplicates, source, handler);
        }
    }
    if (m_window.Closing)
        return; // the window is going: its controls are not ours to touch
    m_window.Searching = false;
    showSearching(c, false);
    c.button->setEnabled(true);
}
