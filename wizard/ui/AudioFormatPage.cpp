#include "wizard/ui/AudioFormatPage.h"

#include "frame/library/GeneralTools.h"
#include "frame/library/LibraryGlobals.h"
#include "frame/library/PlayoutAudio.h"
#include "wizard/ImportOptionRules.h"
#include "wizard/ui/PageWidgets.h"
#include "wizard/ui/SelectAllOnFocus.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

AudioFormatPage::AudioFormatPage(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("fraAudioFormat"));
    PageWidgets::pageLayout(this);
    buildFormatChoices();
    buildNormalise();
    static_cast<QBoxLayout*>(layout())->addStretch(1);
    applyFormatRule();
    applyNormaliseRule();
}

void AudioFormatPage::buildFormatChoices()
{
    auto* layout = static_cast<QBoxLayout*>(this->layout());

    optAudioFormatDefault = new QRadioButton(QStringLiteral("Convert the Audio to &match the Cartvault's Format"), this);
    optAudioFormatDefault->setObjectName(QStringLiteral("optAudioFormatDefault"));
    lblAudioFormatDefaultDescription = PageWidgets::description(
        QStringLiteral("Automatically convert the audio to match the main format used for the Cartvault"), this);
    lblAudioFormatDefaultDescription->setObjectName(QStringLiteral("lblAudioFormatDefaultDescription"));

    optAudioFormatConvert = new QRadioButton(QStringLiteral("Convert the audio to a &specified format:"), this);
    optAudioFormatConvert->setObjectName(QStringLiteral("optAudioFormatConvert"));
    fraAudioFormatConvert = new QWidget(this);
    fraAudioFormatConvert->setObjectName(QStringLiteral("fraAudioFormatConvert"));
    lblAudioFormatConvert = new QLabel(fraAudioFormatConvert);
    lblAudioFormatConvert->setObjectName(QStringLiteral("lblAudioFormatConvert"));
    lblAudioFormatConvert->setTextFormat(Qt::PlainText);
    lblAudioFormatConvert->setFrameShape(QFrame::StyledPanel);
    lblAudioFormatConvert->setFrameShadow(QFrame::Sunken);
    lblAudioFormatConvert->setMargin(4);
    lblAudioFormatConvert->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lblAudioFormatConvert->setMinimumWidth(lblAudioFormatConvert->fontMetrics().averageCharWidth() * 30);
    cmdAudioFormatConvert = new QPushButton(QStringLiteral("S&elect"), fraAudioFormatConvert);
    cmdAudioFormatConvert->setObjectName(QStringLiteral("cmdAudioFormatConvert"));
    auto* convertRow = new QHBoxLayout(fraAudioFormatConvert);
    convertRow->setContentsMargins(0, 0, 0, 0);
    convertRow->addWidget(lblAudioFormatConvert, 1);
    convertRow->addWidget(cmdAudioFormatConvert);

    optAudioFormatLeave = new QRadioButton(QStringLiteral("Import the Audio in it's &current Audio Format"), this);
    optAudioFormatLeave->setObjectName(QStringLiteral("optAudioFormatLeave"));
    lblAudioFormatLeaveDescription = PageWidgets::description(
        QStringLiteral("Leaves the audio in the original format even if this is incompatible with the Cartvault"), this);
    lblAudioFormatLeaveDescription->setObjectName(QStringLiteral("lblAudioFormatLeaveDescription"));

    auto* group = new QButtonGroup(this);
    auto addChoice = [&](QRadioButton* option, QWidget* under) {
        group->addButton(option);
        layout->addWidget(option);
        auto* inner = new QVBoxLayout;
        inner->addWidget(under);
        layout->addLayout(PageWidgets::indented(inner, option));
        layout->addSpacing(6);
        connect(option, &QRadioButton::toggled, this, &AudioFormatPage::applyFormatRule);
    };
    addChoice(optAudioFormatDefault, lblAudioFormatDefaultDescription);
    addChoice(optAudioFormatConvert, fraAudioFormatConvert);
    addChoice(optAudioFormatLeave, lblAudioFormatLeaveDescription);
    connect(cmdAudioFormatConvert, &QPushButton::clicked, this, &AudioFormatPage::formatChoiceRequested);
}

void AudioFormatPage::buildNormalise()
{
    auto* layout = static_cast<QBoxLayout*>(this->layout());
    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    layout->addWidget(rule);

    chkNormalise = new QCheckBox(QStringLiteral("Norma&lise the Audio after it's imported"), this);
    chkNormalise->setObjectName(QStringLiteral("chkNormalise"));
    fraNormalise = new QWidget(this);
    fraNormalise->setObjectName(QStringLiteral("fraNormalise"));
    lblNormalise = PageWidgets::label(QStringLiteral("Percentage to Normalise to:"), fraNormalise, QStringLiteral("lblNormalise"));
    txtNormalise = new QLineEdit(fraNormalise);
    txtNormalise->setObjectName(QStringLiteral("txtNormalise"));
    txtNormalise->setMaxLength(8);
    txtNormalise->setAlignment(Qt::AlignRight);
    txtNormalise->setMinimumWidth(txtNormalise->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 7);
    txtNormalise->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    lblNormalise->setBuddy(txtNormalise);
    txtNormalise->installEventFilter(this);
    SelectAllOnFocus::install(txtNormalise);
    cmdNormaliseDefault = new QPushButton(QStringLiteral("Cartvault &Default"), fraNormalise);
    cmdNormaliseDefault->setObjectName(QStringLiteral("cmdNormaliseDefault"));

    auto* row = new QHBoxLayout(fraNormalise);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(lblNormalise);
    row->addWidget(txtNormalise);
    row->addWidget(cmdNormaliseDefault);
    row->addStretch(1);

    layout->addWidget(chkNormalise);
    auto* inner = new QVBoxLayout;
    inner->addWidget(fraNormalise);
    inner->addWidget(buildLoudnessRow());
    layout->addLayout(PageWidgets::indented(inner, chkNormalise));

    connect(chkNormalise, &QCheckBox::toggled, this, &AudioFormatPage::applyNormaliseRule);
    connect(chkNormaliseLoudness, &QCheckBox::toggled, this, &AudioFormatPage::applyNormaliseRule);
    connect(cmdNormaliseDefault, &QPushButton::clicked, this, &AudioFormatPage::restoreNormaliseDefault);
}

QWidget* AudioFormatPage::buildLoudnessRow()
{
    auto* loudness = new QWidget(this);
    loudness->setObjectName(QStringLiteral("fraNormaliseLoudness"));
    chkNormaliseLoudness = new QCheckBox(QStringLiteral("Normalise the l&oudness to"), loudness);
    chkNormaliseLoudness->setObjectName(QStringLiteral("chkNormaliseLoudness"));
    spnLoudnessTarget = new QDoubleSpinBox(loudness);
    spnLoudnessTarget->setObjectName(QStringLiteral("spnLoudnessTarget"));
    spnLoudnessTarget->setRange(-70, 0);
    spnLoudnessTarget->setDecimals(1);
    spnLoudnessTarget->setSingleStep(0.5);
    spnLoudnessTarget->setSuffix(QStringLiteral(" LUFS"));
    lblTruePeakCeiling = new QLabel(loudness);
    lblTruePeakCeiling->setObjectName(QStringLiteral("lblTruePeakCeiling"));
    auto* row = new QHBoxLayout(loudness);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(chkNormaliseLoudness);
    row->addWidget(spnLoudnessTarget);
    row->addWidget(lblTruePeakCeiling);
    row->addStretch(1);
    return loudness;
}

void AudioFormatPage::showTruePeakCeiling(double dbtp)
{
    lblTruePeakCeiling->setText(QStringLiteral("true peak at most %1 dBTP").arg(dbtp));
}

void AudioFormatPage::applyFormatRule()
{
    fraAudioFormatConvert->setEnabled(optAudioFormatConvert->isChecked());
}

// The percentage or the loudness, never both.
void AudioFormatPage::applyNormaliseRule()
{
    const bool normalise = chkNormalise->isChecked();
    const bool byLoudness = chkNormaliseLoudness->isChecked();
    fraNormalise->setEnabled(normalise && !byLoudness);
    chkNormaliseLoudness->setEnabled(normalise);
    spnLoudnessTarget->setEnabled(normalise && byLoudness);
    lblTruePeakCeiling->setEnabled(normalise && byLoudness);
}

void AudioFormatPage::applySourceRules(bool rippingCD, bool linking)
{
    optAudioFormatLeave->setEnabled(!rippingCD);
    lblAudioFormatLeaveDescription->setEnabled(!rippingCD);
    optAudioFormatConvert->setEnabled(!linking);
    optAudioFormatDefault->setEnabled(!linking);
    lblAudioFormatDefaultDescription->setEnabled(!linking);
    lblAudioFormatConvert->setEnabled(!linking);
    if (linking)
        optAudioFormatLeave->setChecked(true);
}

void AudioFormatPage::restoreNormaliseDefault()
{
    if (gPlayoutAudio)
        txtNormalise->setText(QString::number(ImportOptionRules::offeredLevel(gPlayoutAudio->Cartvault().NormaliseDefault)));
}

QString AudioFormatPage::normalisedPercentage(const QString& text)
{
    const qint64 whole = GeneralTools::RoundHalfEven(GeneralTools::LeadingNumber(text));
    return QString::number(GeneralTools::LimitLong(whole, 1, 100));
}

bool AudioFormatPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtNormalise) {
        if (event->type() == QEvent::KeyPress && filterNormaliseKey(static_cast<QKeyEvent*>(event)))
            return true;
        // Only when the user moves on to another field: not for a menu over
        // the field, nor while another window is in front.
        if (event->type() == QEvent::FocusOut) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
                txtNormalise->setText(normalisedPercentage(txtNormalise->text()));
        }
    }
    return QWidget::eventFilter(watched, event);
}

// Each typed character goes through the library's number filter, which
// may keep it, swap it for another or drop it. True: the key was handled here.
bool AudioFormatPage::filterNormaliseKey(QKeyEvent* event)
{
    const QString typed = event->text();
    if (typed.isEmpty())
        return false; // cursor keys, Delete and the like carry no character
    QString kept;
    for (const QChar c : typed) {
        const int key = GeneralTools::FilterKey(c.unicode(), 1);
        if (key != 0)
            kept += QChar(key);
    }
    if (kept == typed)
        return false;
    if (!kept.isEmpty())
        txtNormalise->insert(kept);
    return true;
}
