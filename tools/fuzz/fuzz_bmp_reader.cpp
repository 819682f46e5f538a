// Fuzz target: BMP files read into a movie image and packed as lossless
// bitmap data. Every input must load or fail with a clear error.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FlashObjects.h"

using namespace anivert;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    TMemoryStream In(std::vector<std::uint8_t>(Data, Data + Size));
    TFlashImage Image;
    try {
        Image.LoadBMPFromStream(In);
    } catch (const EImageError&) {
        return 0;
    } catch (const EStreamError&) {
        return 0;
    }
    TMemoryStream Out;
    TBitsEngine BE(Out);
    Image.WriteToStream(BE);
    return 0;
}
