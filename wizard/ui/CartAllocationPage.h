#pragma once
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// Page 4: which carts the items go into.
class CartAllocationPage : public QWidget
{
    Q_OBJECT
public:
    explicit CartAllocationPage(QWidget* parent = nullptr);

    QLabel* lblHDRefOptions = nullptr;
    QRadioButton* optAssignHDRefs = nullptr;
    QRadioButton* optReadHDRefs = nullptr;
    QLabel* lblInitialHDRef = nullptr;
    QLineEdit* txtInitialHDRef = nullptr;
    QPushButton* cmdSelectHDRef = nullptr;
    QCheckBox* chkOverwriteHDItems = nullptr;

    // Run each time the page is shown: CD tracks have no file name to take
    // a cart number from, so ripping always assigns carts in sequence.
    void applySourceRule(bool rippingCD);

private:
    void applyAllocationRule();
    void selectFirstFreeCart();
};
