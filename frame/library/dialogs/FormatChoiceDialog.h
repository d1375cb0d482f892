#pragma once
#include "frame/library/AudioFormat.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QSpinBox;

// Chooses an audio format: coding, sample rate, channels and the coding's
// own choice (bits, bit rate or quality). The description below the fields
// shows what will be chosen.
class FormatChoiceDialog : public QDialog
{
    Q_OBJECT
public:
    // Offers the codings of the format types in the mask allowedTypes.
    explicit FormatChoiceDialog(QWidget* parent = nullptr, qint32 allowedTypes = AudioFormat::kAllTypes);

    void setFormat(const AudioFormat& format);
    AudioFormat format() const;

private:
    void updateFields();

    QComboBox* m_coding;
    QComboBox* m_sampleRate;
    QComboBox* m_channels;
    QComboBox* m_bits;
    QComboBox* m_bitRate;
    QSpinBox* m_quality;
    QLabel* m_description;
    AudioFormat m_base;
};
