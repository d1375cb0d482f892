#pragma once
#include <QWidget>

class QCheckBox;
class QLabel;
class QPlainTextEdit;

// The layout of the welcome and finish pages: the banner at the left, a
// large headline and the page's text at the right, and on the welcome page
// the choice to skip it next time at the bottom.
class WizardBannerPage : public QWidget
{
    Q_OBJECT
public:
    // `namePrefix` names the labels ("lbl<prefix>Headline", "lbl<prefix>Text").
    WizardBannerPage(const QString& namePrefix, bool withSkipChoice, QWidget* parent = nullptr);

    void setHeadline(const QString& headline);
    void setText(const QString& text);
    // Long text below the page's text, to read, scroll and copy; none hides it.
    void setDetails(const QString& details);
    QLabel* headlineLabel() const { return m_headline; }
    QLabel* textLabel() const { return m_text; }
    // nullptr on a page without the choice.
    QCheckBox* skipChoice() const { return m_skip; }

private:
    QLabel* m_headline;
    QLabel* m_text;
    QPlainTextEdit* m_details;
    QCheckBox* m_skip = nullptr;
};
