// Fuzz target: the SWF file reader and the tags it decodes. Every input must
// either read or fail with ESWFReadError; a tag that was read must write and
// read back without fault.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "SWFStreams.h"

using namespace anivert;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    TMemoryStream In(std::vector<std::uint8_t>(Data, Data + Size));
    TSWFFileReader Reader;
    try {
        Reader.LoadFromStream(In);
    } catch (const ESWFReadError&) {
    }
    for (TSWFReadTag& T : Reader.Tags) {
        TMemoryStream Out;
        TBitsEngine BE(Out);
        try {
            T.Tag->WriteToStream(BE);
        } catch (const std::length_error&) {
            // A value the encoder cannot express again (an edge of -65536
            // twips, say) is refused, not written corrupt.
        }
        auto Copy = GenerateSWFObject(T.TagID);
        if (Copy) Copy->CopyFrom(*T.Tag);
    }
    return 0;
}
