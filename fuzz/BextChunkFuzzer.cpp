#include "audio/BextChunk.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    BextChunk bext;
    QString codingHistory;
    const bool found = ReadBextChunk(input.device(), bext, codingHistory);
    fuzzCheck(codingHistory.size() <= 32000);
    fuzzCheck(found || codingHistory.isEmpty());
    fuzzCheck(bext.Description.size() == 256 && bext.Originator.size() == 32 && bext.OriginatorReference.size() == 32);
    fuzzCheck(bext.OriginationDate.size() == 10 && bext.OriginationTime.size() == 8 && bext.Reserved.size() == 180);
    fuzzCheck(bext.UMID.size() == 64);
    return 0;
}
