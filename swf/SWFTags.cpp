#include "SWFTags.h"

#include <algorithm>

#include "SWFClipActions.h"
#include "SWFmd5.h"

namespace anivert {

// ------------------------------------------------------------ framing

bool UseLongTagHeader(std::uint16_t TagID, std::uint32_t BodySize) {
    return BodySize >= 63 || TagID == tagDefineBitsLossless || TagID == tagDefineBitsLossless2 ||
           TagID == tagDefineVideoStream;
}

void WriteTagHeader(TStream& Stream, std::uint16_t TagID, std::uint32_t BodySize) {
    std::uint8_t H[6];
    std::size_t N;
    if (UseLongTagHeader(TagID, BodySize)) {
        const std::uint16_t W = static_cast<std::uint16_t>(TagID * 64 + 63);
        H[0] = static_cast<std::uint8_t>(W);
        H[1] = static_cast<std::uint8_t>(W >> 8);
        for (int I = 0; I < 4; ++I) H[2 + I] = static_cast<std::uint8_t>(BodySize >> (8 * I));
        N = 6;
    } else {
        const std::uint16_t W = static_cast<std::uint16_t>(TagID * 64 + BodySize);
        H[0] = static_cast<std::uint8_t>(W);
        H[1] = static_cast<std::uint8_t>(W >> 8);
        N = 2;
    }
    Stream.WriteBuffer(H, N);
}

void TSWFObject::CopyFrom(const TBasedSWFObject& Source) {
    BodySize = AssignSource<TSWFObject>(Source, "tag").BodySize;
}

void TSWFObject::WriteToStream(TBitsEngine& BE) {
    TMemoryStream Body;
    {
        TBitsEngine Scratch(Body);
        WriteTagBody(Scratch);
    }
    BodySize = static_cast<std::uint32_t>(Body.Size());
    WriteTagHeader(BE.Stream, TagID, BodySize);
    if (BodySize > 0) BE.Stream.WriteBuffer(Body.Memory(), BodySize);
}

void WriteCustomTag(TStream& Stream, std::uint8_t TagID, TMemoryStream& Body, std::uint32_t Size) {
    if (Size == 0) Size = static_cast<std::uint32_t>(Body.Size());
    WriteTagHeader(Stream, TagID, Size);
    if (Size > 0) Stream.CopyFrom(Body, Size);
}

void TSWFUnknownTag::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TSWFUnknownTag>(Source, "raw tag");
    TSWFObject::CopyFrom(S);
    TagID = S.TagID;
    Data = S.Data;
}

void TSWFUnknownTag::ReadFromStream(TBitsEngine& BE) {
    Data.assign(BodySize, 0);
    if (BodySize) BE.Stream.ReadBuffer(Data.data(), Data.size());
}

void TSWFUnknownTag::WriteTagBody(TBitsEngine& BE) {
    if (!Data.empty()) BE.Stream.WriteBuffer(Data.data(), Data.size());
}

// ------------------------------------------------------------ control tags

void TSWFSetBackgroundColor::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TSWFSetBackgroundColor>(Source, "SetBackgroundColor tag");
    TSWFObject::CopyFrom(S);
    Color->CopyFrom(*S.Color);
}

void TSWFSetBackgroundColor::ReadFromStream(TBitsEngine& BE) { Color->SetRGB(BE.Read3Bytes()); }

void TSWFSetBackgroundColor::WriteTagBody(TBitsEngine& BE) { BE.Write3Bytes(Color->RGB()); }

void TSWFFrameLabel::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TSWFFrameLabel>(Source, "FrameLabel tag");
    TSWFObject::CopyFrom(S);
    Name = S.Name;
    IsAnchor = S.IsAnchor;
}

void TSWFFrameLabel::ReadFromStream(TBitsEngine& BE) {
    const std::int64_t Start = BE.Stream.Position();
    Name = BE.ReadString();
    IsAnchor = false;
    if (Start + static_cast<std::int64_t>(BodySize) - BE.Stream.Position() == 1) IsAnchor = BE.ReadByte() != 0;
}

void TSWFFrameLabel::WriteTagBody(TBitsEngine& BE) {
    BE.WriteString(Name, true, false);
    if (IsAnchor) BE.WriteByte(1);
}

void TSWFProtect::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TSWFProtect>(Source, "Protect tag");
    TSWFObject::CopyFrom(S);
    Hash = S.Hash;
    Password = S.Password;
}

void TSWFProtect::ReadFromStream(TBitsEngine& BE) {
    Password.clear();
    Hash.clear();
    if (BodySize == 0) return;
    if (BodySize < 2) {
        BE.ReadByte();
        return;
    }
    BE.ReadWord();
    Hash = BE.ReadFixedString(static_cast<std::uint8_t>((BodySize - 2) % 256));
    // The stored string ends with its terminating zero.
    const auto Zero = Hash.find('\0');
    if (Zero != std::string::npos) Hash.resize(Zero);
}

void TSWFProtect::WriteTagBody(TBitsEngine& BE) {
    if (!Password.empty()) Hash = MD5Crypt(Password, std::string());
    if (Hash.empty()) return;
    // The reserved word before the string is kept as this encoder has always
    // written it, although the published layout has it only in the debugger
    // tag; nothing in this program writes Protect with a password.
    BE.WriteWord(0);
    BE.WriteString(Hash, true, false);
}

// ------------------------------------------------------------ display list

void TSWFBasedPlaceObject::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TSWFBasedPlaceObject>(Source, "placement tag");
    TSWFObject::CopyFrom(S);
    CharacterID = S.CharacterID;
    Depth = S.Depth;
}

TSWFPlaceObject2::TSWFPlaceObject2() : TSWFBasedPlaceObject(tagPlaceObject2) {}
TSWFPlaceObject2::~TSWFPlaceObject2() = default;

void TSWFPlaceObject2::SetCharacterID(std::uint16_t Value) {
    CharacterID = Value;
    PlaceFlagHasCharacter = true;
}

void TSWFPlaceObject2::SetClipDepth(std::uint16_t Value) {
    ClipDepth = Value;
    PlaceFlagHasClipDepth = true;
}

void TSWFPlaceObject2::SetRatio(std::uint16_t Value) {
    Ratio = Value;
    PlaceFlagHasRatio = true;
}

void TSWFPlaceObject2::SetName(const std::string& Value) {
    Name = Value;
    PlaceFlagHasName = !Value.empty();
}

TSWFMatrix& TSWFPlaceObject2::Matrix() {
    if (!FMatrix) FMatrix = std::make_unique<TSWFMatrix>();
    PlaceFlagHasMatrix = true;
    return *FMatrix;
}

TSWFColorTransform& TSWFPlaceObject2::ColorTransform() {
    if (!FColorTransform) {
        FColorTransform = std::make_unique<TSWFColorTransform>();
        FColorTransform->HasAlpha = true;
    }
    PlaceFlagHasColorTransform = true;
    return *FColorTransform;
}

TSWFClipActions& TSWFPlaceObject2::ClipActions() {
    if (!FClipActions) {
        FClipActions = std::make_unique<TSWFClipActions>();
        PlaceFlagHasClipActions = true;
    }
    return *FClipActions;
}

void TSWFPlaceObject2::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TSWFPlaceObject2>(Source, "PlaceObject2 tag");
    TSWFBasedPlaceObject::CopyFrom(S);
    if (S.PlaceFlagHasCharacter) SetCharacterID(S.CharacterID);
    else PlaceFlagHasCharacter = false;
    if (S.PlaceFlagHasClipDepth) SetClipDepth(S.ClipDepth);
    else PlaceFlagHasClipDepth = false;
    if (S.PlaceFlagHasName) SetName(S.Name);
    else PlaceFlagHasName = false;
    if (S.PlaceFlagHasRatio) SetRatio(S.Ratio);
    else PlaceFlagHasRatio = false;
    if (S.PlaceFlagHasMatrix && S.FMatrix) Matrix().CopyFrom(*S.FMatrix);
    else PlaceFlagHasMatrix = false;
    if (S.PlaceFlagHasColorTransform && S.FColorTransform) ColorTransform().SetRec(S.FColorTransform->GetRec());
    else PlaceFlagHasColorTransform = false;
    PlaceFlagMove = S.PlaceFlagMove;
    SWFVersion = S.SWFVersion;
    ParseActions = S.ParseActions;
    if (S.PlaceFlagHasClipActions && S.FClipActions) {
        ClipActions().CopyFrom(*S.FClipActions);
        PlaceFlagHasClipActions = true;
    } else {
        FClipActions.reset();
        PlaceFlagHasClipActions = false;
    }
}

bool TSWFPlaceObject2::WritesClipActions() const {
    if (!PlaceFlagHasClipActions || !FClipActions) return false;
    const bool Wide = std::max(SWFVersion, MinVersion()) >= 6;
    return FClipActions->WrittenRecordCount(Wide) > 0;
}

std::uint8_t TSWFPlaceObject2::MinVersion() const {
    if (!PlaceFlagHasClipActions) return 3;
    std::uint8_t V = SWFVersion < 6 ? 5 : SWFVersion;
    // The 16-bit flags cannot hold the later events: such a record would be
    // written with no events, which reads as the end of the list.
    if (FClipActions && FClipActions->UsesVersion6Events() && V < 6) V = 6;
    return V;
}

void TSWFPlaceObject2::WriteTagBody(TBitsEngine& BE) {
    BE.WriteBit(WritesClipActions());
    BE.WriteBit(PlaceFlagHasClipDepth);
    BE.WriteBit(PlaceFlagHasName);
    BE.WriteBit(PlaceFlagHasRatio);
    BE.WriteBit(PlaceFlagHasColorTransform);
    BE.WriteBit(PlaceFlagHasMatrix);
    BE.WriteBit(PlaceFlagHasCharacter);
    BE.WriteBit(PlaceFlagMove);
    BE.WriteWord(Depth);
    if (PlaceFlagHasCharacter) BE.WriteWord(CharacterID);
    if (PlaceFlagHasMatrix) BE.WriteMatrix(Matrix().GetRec());
    if (PlaceFlagHasColorTransform) BE.WriteColorTransform(ColorTransform().GetRec());
    if (PlaceFlagHasRatio) BE.WriteWord(Ratio);
    if (PlaceFlagHasName) BE.WriteString(Name, true, false);
    if (PlaceFlagHasClipDepth) BE.WriteWord(ClipDepth);
    if (WritesClipActions()) {
        SWFVersion = std::max(SWFVersion, MinVersion());
        FClipActions->WriteToStream(BE, SWFVersion);
    }
}

void TSWFPlaceObject2::ReadFromStream(TBitsEngine& BE) {
    const std::int64_t Start = BE.Stream.Position();
    const std::uint8_t Flags = BE.ReadByte();
    PlaceFlagMove = Flags & 0x01;
    PlaceFlagHasCharacter = Flags & 0x02;
    PlaceFlagHasMatrix = Flags & 0x04;
    PlaceFlagHasColorTransform = Flags & 0x08;
    PlaceFlagHasRatio = Flags & 0x10;
    PlaceFlagHasName = Flags & 0x20;
    PlaceFlagHasClipDepth = Flags & 0x40;
    PlaceFlagHasClipActions = Flags & 0x80;
    Depth = BE.ReadWord();
    if (PlaceFlagHasCharacter) CharacterID = BE.ReadWord();
    if (PlaceFlagHasMatrix) Matrix().SetRec(BE.ReadMatrix());
    if (PlaceFlagHasColorTransform) ColorTransform().SetRec(BE.ReadColorTransform(true));
    if (PlaceFlagHasRatio) Ratio = BE.ReadWord();
    if (PlaceFlagHasName) Name = BE.ReadString();
    if (PlaceFlagHasClipDepth) ClipDepth = BE.ReadWord();
    const std::int64_t End = Start + static_cast<std::int64_t>(BodySize);
    FClipActions.reset();
    if (PlaceFlagHasClipActions) {
        ClipActions().ReadFromStream(BE, SWFVersion, End - BE.Stream.Position(), ParseActions);
        if (FClipActions->RecordCount() == 0) {
            FClipActions.reset();
            PlaceFlagHasClipActions = false;
        }
    }
    if (BE.Stream.Position() < End) BE.Stream.SetPosition(End);
}

void TSWFRemoveObject::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TSWFRemoveObject>(Source, "RemoveObject tag");
    TSWFObject::CopyFrom(S);
    CharacterID = S.CharacterID;
    Depth = S.Depth;
}

void TSWFRemoveObject::ReadFromStream(TBitsEngine& BE) {
    CharacterID = BE.ReadWord();
    Depth = BE.ReadWord();
}

void TSWFRemoveObject::WriteTagBody(TBitsEngine& BE) {
    BE.WriteWord(CharacterID);
    BE.WriteWord(Depth);
}

void TSWFRemoveObject2::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TSWFRemoveObject2>(Source, "RemoveObject2 tag");
    TSWFObject::CopyFrom(S);
    Depth = S.Depth;
}

void TSWFRemoveObject2::ReadFromStream(TBitsEngine& BE) { Depth = BE.ReadWord(); }

void TSWFRemoveObject2::WriteTagBody(TBitsEngine& BE) { BE.WriteWord(Depth); }

}  // namespace anivert
