// Fuzz target: the SWF file reader and the tags it decodes, the tags inside
// sprites included. Every input must either read or fail with
// ESWFReadError; a tag that was read must write and read back without fault
// (or be refused with std::length_error when it cannot be expressed again).
// Action, button, placement (clip actions), sound and video tags must
// moreover be stable: what they write, read back, writes the same bytes
// again.
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
bool Unwritable(const TSWFColorTransform* C, const TSWFMatrix* M) {
    if (C)
        for (std::int32_t V : {C->AddR(), C->AddG(), C->AddB(), C->AddA(), C->MultR(), C->MultG(), C->MultB(), C->MultA()})
            if (V == -16384) return true;
    if (M)
        for (std::int32_t V : {M->ScaleX, M->ScaleY, M->SkewX, M->SkewY, M->TranslateX, M->TranslateY})
            if (V == -(1 << 30)) return true;
    return false;
}

bool HasUnwritableValues(const TSWFObject& Tag) {
    if (auto* P = dynamic_cast<const TSWFPlaceObject2*>(&Tag)) return Unwritable(P->ColorTransformOrNull(), P->MatrixOrNull());
    auto* B = dynamic_cast<const TSWFBasedButton*>(&Tag);
    if (!B) return false;
    for (const auto& R : B->ButtonRecords)
        if (Unwritable(R->ColorTransformOrNull(), R->MatrixOrNull())) return true;
    return false;
}

bool Checked(const TSWFObject& Tag) {
    return dynamic_cast<const TSWFDoAction*>(&Tag) || dynamic_cast<const TSWFBasedButton*>(&Tag) ||
           dynamic_cast<const TSWFPlaceObject2*>(&Tag) || dynamic_cast<const TSWFDefineSound*>(&Tag) ||
           dynamic_cast<const TSWFStartSound*>(&Tag) || dynamic_cast<const TSWFDefineButtonSound*>(&Tag) ||
           dynamic_cast<const TSWFSoundStreamHead*>(&Tag) || dynamic_cast<const TSWFVideoFrame*>(&Tag);
}

void CheckStable(TSWFReadTag& T) {
    if (!Checked(*T.Tag)) return;
    if (HasUnwritableValues(*T.Tag)) return;
    const std::vector<std::uint8_t> W1 = Body(*T.Tag);
    auto Again = GenerateSWFObject(T.TagID);
    Again->BodySize = static_cast<std::uint32_t>(W1.size());
    if (auto* P = dynamic_cast<TSWFPlaceObject2*>(Again.get())) {
        // In the layout the first write chose.
        P->SWFVersion = static_cast<TSWFPlaceObject2&>(*T.Tag).SWFVersion;
        P->ParseActions = true;
    }
    TMemoryStream In(W1);
    TBitsEngine BE(In);
    try {
        Again->ReadFromStream(BE);
    } catch (const EReadError&) {
        std::abort();  // what the writer wrote must read
    }
    if (Body(*Again) != W1) std::abort();
}

void CheckTags(std::vector<TSWFReadTag>& Tags, std::uint8_t Version, bool InSprite) {
    for (TSWFReadTag& T : Tags) {
        if (!InSprite && T.TagID == tagDefineSprite) {
            TSWFSpriteReader Sprite;
            try {
                Sprite.LoadFromBody(static_cast<TSWFUnknownTag&>(*T.Tag).Data, Version);
            } catch (const ESWFReadError&) {
            }
            CheckTags(Sprite.Tags, Version, true);
        }
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
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    TMemoryStream In(std::vector<std::uint8_t>(Data, Data + Size));
    TSWFFileReader Reader;
    try {
        Reader.LoadFromStream(In);
    } catch (const ESWFReadError&) {
    }
    CheckTags(Reader.Tags, Reader.Version, false);
    return 0;
}
