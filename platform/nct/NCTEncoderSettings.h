#pragma once
#include <QtGlobal>

// Encoder parameters for MPEG Layer 2 output (NCTAudioFile::SetEncoderSettings).
struct NCTEncoderSettings {
    qint32 SampleRate = 44100;
    qint32 Channels = 2;
    qint32 BitRate = 192; // kbit/s
};
