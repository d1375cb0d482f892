#include "audio/WaveFormatReader.h"
#include "fuzz/FuzzInput.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    WaveFormatHeader header;
    qint64 dataBytes = -1;
    const qint32 result = ReadWaveFormat(input.device(), header, dataBytes);
    if (result == 0)
        fuzzCheck(dataBytes >= 0 && dataBytes <= input.size());
    else
        fuzzCheck(result == -1 || result >= 256);

    const float seconds = GetWaveDuration(input.device());
    fuzzCheck(std::isfinite(seconds) && seconds >= 0.0f);
    return 0;
}
