#pragma once
#include <QPixmap>
#include <QWidget>

#include <map>
#include <memory>

class QCheckBox;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class WizardBannerPage;
class WizardPage;

// A wizard frame: a welcome page, numbered pages with a header band, a
// finish page, and Back / Next / Finish / Cancel along the bottom. The pages'
// contents are the caller's own containers; the frame moves between them in
// page-number order and tells the caller through three signals:
//   PageLeaving(direction, cancel)  before a move the user asked for; setting
//                                   cancel, or moving the frame meanwhile with
//                                   setCurrentPage, stops the frame's own move;
//   PageShown(direction)            after the frame itself has shown a page;
//   WizardClosed()                  Cancel, or Finish on the finish page.
// Moves made by the caller through setCurrentPage raise no PageShown: the
// caller runs its own page step for them.
class WizardFrame : public QWidget
{
    Q_OBJECT
public:
    static constexpr int DirectionNext = 0;
    static constexpr int DirectionBack = 1;
    static constexpr int WelcomePageNumber = 0;
    static constexpr int FinishPageNumber = 99;

    explicit WizardFrame(QWidget* parent = nullptr);
    ~WizardFrame() override;

    QString WelcomeText() const { return m_welcomeText; }
    void setWelcomeText(const QString& text);
    // Empty (the default) shows the window's title followed by " Wizard".
    QString WelcomeHeadline() const { return m_welcomeHeadline; }
    void setWelcomeHeadline(const QString& headline);

    // Registry path whose last part is the value that keeps the choice to
    // skip the welcome page, e.g. "Software\Maker\Product\Wizard\SkipIntro".
    // Empty: the welcome page is always shown and offers no choice.
    QString SkipIntroKey() const { return m_skipIntroKey; }
    void setSkipIntroKey(const QString& key);

    // Removes every numbered page and hands the attached containers back.
    void ClearPages();
    // Numbered page `pageNumber` shows `container`. False for the numbers
    // the frame keeps for itself (0 and 99) and below.
    bool AttachPage(QWidget* container, int pageNumber);
    // Sets numbered page `pageNumber`'s header.
    bool AddPage(int pageNumber, const QString& title, const QString& description,
                 const QString& helpText = QString(), const QPixmap& picture = QPixmap());
    // Shows the first page, the welcome page unless the user chose to skip
    // it, with every button allowed again. Any start value means the beginning.
    void StartWizard(int startValue = 1);

    // The page with that number (0 welcome, 99 finish), nullptr when none.
    WizardPage* GetPage(int pageNumber) const;
    WizardPage* CurrentPage() const { return m_current; }
    // Shows `page` at once; raises no signal and leaves the buttons' allowed
    // states as they are. Pages of another frame are ignored.
    void setCurrentPage(WizardPage* page);
    // Draws the current page now, before the caller starts long work on it.
    void RefreshPage();

    QString FinishHeadline() const { return m_finishHeadline; }
    void setFinishHeadline(const QString& headline);
    QString FinishText() const { return m_finishText; }
    void setFinishText(const QString& text);
    // Shown below the finish text in a box to scroll and copy from; empty: none.
    void setFinishDetails(const QString& details);
    WizardPage* FinishPage() const { return m_finish.get(); }

    // Whether the user may use the buttons. Every move the user makes allows
    // them all again; Back is never offered on the welcome page, nor Next on
    // the finish page.
    bool NextEnabled() const { return m_nextEnabled; }
    void setNextEnabled(bool enabled);
    bool BackEnabled() const { return m_backEnabled; }
    void setBackEnabled(bool enabled);
    bool CancelEnabled() const { return m_cancelEnabled; }
    void setCancelEnabled(bool enabled);

public slots:
    // What the buttons do; each does nothing while its button is not allowed.
    void next();
    void back();
    void cancel();
    void finish();

signals:
    void PageShown(int direction);
    void PageLeaving(int direction, bool& cancel);
    void WizardClosed();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QScrollArea* scrolled(QWidget* pages);
    void buildButtonRow(class QBoxLayout* layout);
    WizardPage* numberedPage(int pageNumber, bool create);
    WizardPage* neighbour(const WizardPage* page, int direction) const;
    bool canGoNext() const;
    bool canGoBack() const;
    void navigate(int direction);
    void showPage(WizardPage* page);
    void allowAllButtons();
    void updateButtons();
    void updateWelcomeHeadline();
    void focusPage(WizardPage* page);
    void storeSkipIntro(bool skip);
    bool readSkipIntro() const;

    QStackedWidget* m_stack = nullptr;
    WizardBannerPage* m_welcomeWidget = nullptr;
    WizardBannerPage* m_finishWidget = nullptr;
    QPushButton* m_cmdBack = nullptr;
    QPushButton* m_cmdNext = nullptr;
    QPushButton* m_cmdFinish = nullptr;
    QPushButton* m_cmdCancel = nullptr;

    std::unique_ptr<WizardPage> m_welcome;
    std::unique_ptr<WizardPage> m_finish;
    std::map<int, std::unique_ptr<WizardPage>> m_pages; // numbered pages, in order
    WizardPage* m_current = nullptr;

    QString m_welcomeText;
    QString m_welcomeHeadline;
    QString m_skipIntroKey;
    QString m_finishHeadline;
    QString m_finishText;
    bool m_nextEnabled = true;
    bool m_backEnabled = true;
    bool m_cancelEnabled = true;
    bool m_leaving = false;
};
