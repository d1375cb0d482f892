#include "frame/library/dialogs/FormatChoiceDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
// Codings a station imports to: format type and WAVE tag.
struct Coding {
    const char* name;
    qint32 type;
    qint32 tag;
};
const Coding kCodings[] = {
    {"WAV (PCM)", aftWAV, 1},          {"WAV (IMA ADPCM)", aftWAV, 17}, {"MPEG Layer 2", aftMP2, 0},
    {"MPEG Layer 3", aftMP3, 0},       {"Ogg Vorbis", aftOgg, 0},       {"Windows Media Audio", aftWMA, 0},
};
const int kRates[] = {22050, 32000, 44100, 48000};
const int kBitRates[] = {64, 96, 128, 160, 192, 224, 256, 320, 384};

void selectData(QComboBox* combo, int value)
{
    const int index = combo->findData(value);
    if (index >= 0)
        combo->setCurrentIndex(index);
}
} // namespace

FormatChoiceDialog::FormatChoiceDialog(QWidget* parent, qint32 allowedTypes)
    : QDialog(parent)
    , m_coding(new QComboBox(this))
    , m_sampleRate(new QComboBox(this))
    , m_channels(new QComboBox(this))
    , m_bits(new QComboBox(this))
    , m_bitRate(new QComboBox(this))
    , m_quality(new QSpinBox(this))
    , m_description(new QLabel(this))
{
    setObjectName(QStringLiteral("dlgAudioFormat"));
    m_coding->setObjectName(QStringLiteral("comboCoding"));
    m_sampleRate->setObjectName(QStringLiteral("comboSampleRate"));
    m_channels->setObjectName(QStringLiteral("comboChannels"));
    m_bits->setObjectName(QStringLiteral("comboBits"));
    m_bitRate->setObjectName(QStringLiteral("comboBitRate"));
    m_quality->setObjectName(QStringLiteral("spinQuality"));
    m_description->setObjectName(QStringLiteral("lblDescription"));

    for (int i = 0; i < int(std::size(kCodings)); ++i)
        if (kCodings[i].type & allowedTypes)
            m_coding->addItem(QString::fromLatin1(kCodings[i].name), i);
    for (int rate : kRates)
        m_sampleRate->addItem(AudioFormat::rateText(rate), rate);
    m_channels->addItem(tr("Mono"), 1);
    m_channels->addItem(tr("Stereo"), 2);
    for (int bits : {8, 16, 24})
        m_bits->addItem(tr("%1 bit").arg(bits), bits);
    for (int rate : kBitRates)
        m_bitRate->addItem(tr("%1 kbit/s").arg(rate), rate);
    m_quality->setRange(0, 10);

    auto* form = new QFormLayout;
    form->addRow(tr("&Coding:"), m_coding);
    form->addRow(tr("Sample &rate:"), m_sampleRate);
    form->addRow(tr("C&hannels:"), m_channels);
    form->addRow(tr("&Bits per sample:"), m_bits);
    form->addRow(tr("Bit ra&te:"), m_bitRate);
    form->addRow(tr("&Quality:"), m_quality);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    m_description->setWordWrap(true);
    layout->addWidget(m_description);
    layout->addWidget(buttons);

    for (QComboBox* combo : {m_coding, m_sampleRate, m_channels, m_bits, m_bitRate})
        connect(combo, &QComboBox::currentIndexChanged, this, &FormatChoiceDialog::updateFields);
    connect(m_quality, &QSpinBox::valueChanged, this, &FormatChoiceDialog::updateFields);
    setFormat(AudioFormat());
}

void FormatChoiceDialog::setFormat(const AudioFormat& format)
{
    m_base = format;
    for (int i = 0; i < int(std::size(kCodings)); ++i)
        if (kCodings[i].type == format.FormatType && (format.FormatType != aftWAV || kCodings[i].tag == format.FormatTag))
            selectData(m_coding, i);
    selectData(m_sampleRate, format.SampleRate);
    selectData(m_channels, format.Channels);
    selectData(m_bits, format.BitsPerSample);
    selectData(m_bitRate, format.BitRate);
    m_quality->setValue(format.Quality);
    updateFields();
}

AudioFormat FormatChoiceDialog::format() const
{
    AudioFormat format = m_base;
    const Coding& coding = kCodings[m_coding->currentData().toInt()];
    format.FormatType = coding.type;
    format.FormatTag = coding.type == aftWAV ? coding.tag : format.FormatTag;
    format.SampleRate = m_sampleRate->currentData().toInt();
    format.Channels = m_channels->currentData().toInt();
    if (coding.type == aftWAV && coding.tag == 1)
        format.BitsPerSample = m_bits->currentData().toInt();
    else if (coding.tag == 17)
        format.BitsPerSample = 4;
    if (coding.type == aftMP2 || coding.type == aftMP3 || coding.type == aftWMA)
        format.BitRate = m_bitRate->currentData().toInt();
    if (coding.type == aftOgg)
        format.Quality = m_quality->value();
    return format;
}

void FormatChoiceDialog::updateFields()
{
    const Coding& coding = kCodings[m_coding->currentData().toInt()];
    m_bits->setEnabled(coding.type == aftWAV && coding.tag == 1);
    m_bitRate->setEnabled(coding.type == aftMP2 || coding.type == aftMP3 || coding.type == aftWMA);
    m_quality->setEnabled(coding.type == aftOgg);
    m_description->setText(format().Description());
}
