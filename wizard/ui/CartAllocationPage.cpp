#include "wizard/ui/CartAllocationPage.h"

#include "frame/library/LibraryGlobals.h"
#include "frame/library/PlayoutAudio.h"
#include "wizard/ui/PageWidgets.h"
#include "wizard/ui/SelectAllOnFocus.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

CartAllocationPage::CartAllocationPage(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("fraHDRefs"));
    auto* layout = PageWidgets::pageLayout(this);

    lblHDRefOptions = PageWidgets::label(QStringLiteral("Options:"), this, QStringLiteral("lblHDRefOptions"));
    optAssignHDRefs = new QRadioButton(QStringLiteral("Automatically &assign each file a cart number in sequence"), this);
    optAssignHDRefs->setObjectName(QStringLiteral("optAssignHDRefs"));
    optReadHDRefs = new QRadioButton(QStringLiteral("&Use the number in the filename as the cart number"), this);
    optReadHDRefs->setObjectName(QStringLiteral("optReadHDRefs"));
    auto* group = new QButtonGroup(this);
    group->addButton(optAssignHDRefs);
    group->addButton(optReadHDRefs);

    lblInitialHDRef = PageWidgets::label(QStringLiteral("Starting from Cart:"), this, QStringLiteral("lblInitialHDRef"));
    txtInitialHDRef = new QLineEdit(this);
    txtInitialHDRef->setObjectName(QStringLiteral("txtInitialHDRef"));
    txtInitialHDRef->setMaxLength(20);
    txtInitialHDRef->setMinimumWidth(txtInitialHDRef->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 12);
    txtInitialHDRef->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    lblInitialHDRef->setBuddy(txtInitialHDRef);
    SelectAllOnFocus::install(txtInitialHDRef);
    cmdSelectHDRef = new QPushButton(QStringLiteral("S&elect"), this);
    cmdSelectHDRef->setObjectName(QStringLiteral("cmdSelectHDRef"));
    cmdSelectHDRef->setToolTip(QStringLiteral("Use the first empty cart from the number given"));

    chkOverwriteHDItems = new QCheckBox(QStringLiteral("If a cart already exists, &overwrite it with the new file."), this);
    chkOverwriteHDItems->setObjectName(QStringLiteral("chkOverwriteHDItems"));

    auto* options = new QVBoxLayout;
    options->addWidget(optAssignHDRefs);
    options->addWidget(optReadHDRefs);
    layout->addWidget(lblHDRefOptions);
    layout->addLayout(PageWidgets::indented(options, optAssignHDRefs));
    layout->addSpacing(8);

    auto* start = new QHBoxLayout;
    start->addWidget(lblInitialHDRef);
    start->addWidget(txtInitialHDRef);
    start->addWidget(cmdSelectHDRef);
    start->addStretch(1);
    layout->addLayout(PageWidgets::indented(start, optAssignHDRefs));
    layout->addSpacing(8);
    layout->addWidget(chkOverwriteHDItems);
    layout->addStretch(1);

    connect(optAssignHDRefs, &QRadioButton::toggled, this, &CartAllocationPage::applyAllocationRule);
    connect(optReadHDRefs, &QRadioButton::toggled, this, &CartAllocationPage::applyAllocationRule);
    connect(cmdSelectHDRef, &QPushButton::clicked, this, &CartAllocationPage::selectFirstFreeCart);
    applyAllocationRule();
}

void CartAllocationPage::applyAllocationRule()
{
    // The starting cart only means something while carts are given in sequence.
    const bool sequence = optAssignHDRefs->isChecked();
    lblInitialHDRef->setEnabled(sequence);
    txtInitialHDRef->setEnabled(sequence);
    cmdSelectHDRef->setEnabled(sequence);
}

void CartAllocationPage::applySourceRule(bool rippingCD)
{
    if (rippingCD)
        optAssignHDRefs->setChecked(true);
    optReadHDRefs->setEnabled(!rippingCD);
}

void CartAllocationPage::selectFirstFreeCart()
{
    if (!gPlayoutAudio)
        return;
    const QString cart = gPlayoutAudio->FirstFreeCart(txtInitialHDRef->text().trimmed());
    if (!cart.isEmpty())
        txtInitialHDRef->setText(cart);
    txtInitialHDRef->setFocus(Qt::OtherFocusReason);
}
