// Fuzz target: the SWF file reader and the tags it decodes. Every input must
// either read or fail with ESWFReadError; a tag that was read must write and
// read back without fault (or be refused with std::length_error when it
// cannot be expressed again). Action and button tags must moreover be stable: what they write,
// read back, writes the same bytes again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "SWFStreams.h"

using namespace anivert;

namespace {

std::vector<std::uint8_t> Body(TSWFObject& Tag) {
    TMemoryStream M;
    TBitsEngine BE(M);
    Tag.WriteTagBody(BE);
    return M.Bytes();
}

// The bit writer sizes -2^(n-1) one bit wider than its field can say: a
// colour term of -16384 or a matrix value of -2^30 read from a full-width
// field does not write back (a limit of the primitive records).
bool HasUnwritableValues(const TSWFObject& Tag) {
    auto* B = dynamic_cast<const TSWFBasedButton*>(&Tag);
    if (!B) return false;
    for (const auto& R : B->ButtonRecords) {
        if (const TSWFColorTransform* C = R->ColorTransformOrNull())
            for (std::int32_t V : {C->AddR(), C->AddG(), C->AddB(), C->AddA(), C->MultR(), C->MultG(), C->MultB(), C->MultA()})
                if (V == -16384) return true;
        if (const TSWFMatrix* M = R->MatrixOrNull())
            for (std::int32_t V : {M->ScaleX, M->ScaleY, M->SkewX, M->SkewY, M->TranslateX, M->TranslateY})
                if (V == -(1 << 30)) return true;
    }
    return false;
}

void CheckStable(TSWFReadTag& T) {
    if (!dynamic_cast<TSWFDoAction*>(T.Tag.get()) && !dynamic_cast<TSWFBasedButton*>(T.Tag.get())) return;
    if (HasUnwritableValues(*T.Tag)) return;
    const std::vector<std::uint8_t> W1 = Body(*T.Tag);
    auto Again = GenerateSWFObject(T.TagID);
    Again->BodySize = static_cast<std::uint32_t>(W1.size());
    TMemoryStream In(W1);
    TBitsEngine BE(In);
    try {
        Again->ReadFromStream(BE);
    } catch (const EReadError&) {
        std::abort();  // what the writer wrote must read
    }
    if (Body(*Again) != W1) std::abort();
}

}  // namespace

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
            CheckStable(T);
        } catch (const std::length_error&) {
            // A value the encoder cannot express again (an edge of -65536
            // twips, say) is refused, not written corrupt.
        }
        auto Copy = GenerateSWFObject(T.TagID);
        if (Copy) Copy->CopyFrom(*T.Tag);
    }
    return 0;
}
