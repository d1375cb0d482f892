#pragma once
#include <QWidget>

// The coloured strip down the left of the welcome and finish pages, in the
// desktop's highlight colour, with a stylised level meter as its mark.
class WizardBanner : public QWidget
{
    Q_OBJECT
public:
    explicit WizardBanner(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
