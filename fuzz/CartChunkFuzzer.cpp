#include "audio/CartChunk.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    CartChunk cart;
    QString tagText;
    const bool found = ReadCartChunk(input.device(), cart, tagText);
    fuzzCheck(tagText.size() <= 32000 && !tagText.contains(QChar(0)));
    fuzzCheck(found || tagText.isEmpty());
    // Fixed-width fields keep their widths whatever the file holds.
    fuzzCheck(cart.Version.size() == 4 && cart.Title.size() == 64 && cart.Artist.size() == 64);
    fuzzCheck(cart.StartDate.size() == 10 && cart.EndTime.size() == 8 && cart.URL.size() == 1024);
    fuzzCheck(cart.Reserved.size() == 276);
    for (const CartPostTimer& timer : cart.PostTimer)
        fuzzCheck(timer.Usage.size() == 4);
    return 0;
}
