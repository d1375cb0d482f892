#pragma once
#include <QWidget>

class QLabel;
class SplashIconRow;

// The start-up window: program version, company, legal notice and platform,
// a row of step icons that turn "on" as the start-up steps complete, and the
// name of the step under way.
class frmSplash : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int NumberIcons READ NumberIcons WRITE setNumberIcons)
    Q_PROPERTY(int LastIconChangedIndex READ LastIconChangedIndex WRITE setLastIconChangedIndex)
    Q_PROPERTY(bool Floating READ Floating WRITE setFloating)

public:
    explicit frmSplash(QWidget* parent = nullptr);
    ~frmSplash() override;

    // Lays out a row of n icons; 0 hides every icon and empties the captions
    // but leaves the count as it was.
    int NumberIcons() const { return m_numberIcons; }
    void setNumberIcons(int count);

    // Icon `IconIndex` (1..NumberIcons) shows the picture `IconReference` and
    // gets the caption `IconDescription`; other indices are ignored. A key
    // without a picture leaves the old picture but still sets the caption.
    void SetIconInfo(int IconIndex, const QString& IconReference, const QString& IconDescription);

    int LastIconChangedIndex() const { return m_lastIconChangedIndex; }
    void setLastIconChangedIndex(int index) { m_lastIconChangedIndex = index; }

    // True keeps the window above all others; false puts it back at the top
    // of the normal windows. Neither moves, resizes nor activates it.
    bool Floating() const { return m_floating; }
    void setFloating(bool floating);

    // The step under way, drawn at once: start-up is busy on this thread and
    // would otherwise not draw it until the step is over.
    QString currentAction() const;
    void setCurrentAction(const QString& text);

    // Icon and caption `index` (from 1), nullptr when there is none.
    QLabel* imgIcon(int index) const;
    QLabel* lblIconDescription(int index) const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* createBanner();
    QLayout* createInfoBlock();
    void fillLabels();
    void centreOnScreen();

    SplashIconRow* m_iconRow = nullptr;
    QLabel* m_lblVersion = nullptr;
    QLabel* m_lblCompany = nullptr;
    QLabel* m_lblCopyright = nullptr;
    QLabel* m_lblPlatform = nullptr;
    QLabel* m_lblPlatformSP = nullptr;
    QLabel* m_lblCurrentAction = nullptr;
    int m_numberIcons = 0;
    int m_lastIconChangedIndex = 0;
    bool m_floating = false;
    bool m_placed = false;
};
