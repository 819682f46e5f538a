#include "SWFButtons.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace anivert {

namespace {

// Overwrites the 16-bit word at Pos of the stream with the distance from Pos
// to the current position.
void PatchDistance(TStream& Stream, std::int64_t Pos, const char* What) {
    const std::int64_t End = Stream.Position();
    const std::int64_t Distance = End - Pos;
    if (Distance > 0xFFFF)
        throw std::length_error(std::string("The ") + What + " of a DefineButton2 (" + std::to_string(Distance) +
                          " bytes) does not fit its 16-bit field");
    const std::uint8_t W[2] = {static_cast<std::uint8_t>(Distance), static_cast<std::uint8_t>(Distance >> 8)};
    Stream.SetPosition(Pos);
    Stream.WriteBuffer(W, 2);
    Stream.SetPosition(End);
}

}  // namespace

// ---------------------------------------------------------------- TSWFButtonRecord

TSWFColorTransform& TSWFButtonRecord::ColorTransform() {
    if (!FColorTransform) {
        FColorTransform = std::make_unique<TSWFColorTransform>();
        FColorTransform->HasAlpha = true;
    }
    HasColorTransform = true;
    return *FColorTransform;
}

TSWFMatrix& TSWFButtonRecord::Matrix() {
    if (!FMatrix) FMatrix = std::make_unique<TSWFMatrix>();
    return *FMatrix;
}

void TSWFButtonRecord::CopyFrom(const TSWFButtonRecord& Source) {
    if (&Source == this) return;
    ButtonState = Source.ButtonState;
    CharacterID = Source.CharacterID;
    Depth = Source.Depth;
    if (Source.FMatrix) Matrix().CopyFrom(*Source.FMatrix);
    else FMatrix.reset();
    if (Source.HasColorTransform && Source.FColorTransform) {
        ColorTransform().CopyFrom(*Source.FColorTransform);
    } else {
        FColorTransform.reset();
        HasColorTransform = Source.HasColorTransform;
    }
}

namespace {

// The state set holds up, down, over, hit test in bits 0 to 3; the file's
// flag byte holds hit test, down, over, up from bit 3 down to bit 0: down
// and over change places.
std::uint8_t StatesToFlags(std::uint8_t States) {
    return static_cast<std::uint8_t>((States & (bsUp | bsHitTest)) | ((States & bsDown) << 1) | ((States & bsOver) >> 1));
}

std::uint8_t FlagsToStates(std::uint8_t Flags) {
    return static_cast<std::uint8_t>((Flags & 0x09) | ((Flags & 0x04) >> 1) | ((Flags & 0x02) << 1));
}

}  // namespace

void TSWFButtonRecord::WriteToStream(TBitsEngine& BE, bool AllowColorTransform) {
    BE.WriteByte(StatesToFlags(ButtonState & 0x0F));
    BE.WriteWord(CharacterID);
    BE.WriteWord(Depth);
    BE.WriteMatrix(Matrix().GetRec());
    if (HasColorTransform && AllowColorTransform) {
        TSWFColorTransform& C = ColorTransform();
        C.HasAlpha = true;
        BE.WriteColorTransform(C.GetRec());
    }
}

void TSWFButtonRecord::ReadFromStream(TBitsEngine& BE, std::uint8_t Flags, bool WithColorTransform) {
    ButtonState = FlagsToStates(Flags & 0x0F);
    CharacterID = BE.ReadWord();
    Depth = BE.ReadWord();
    Matrix().SetRec(BE.ReadMatrix());
    if (WithColorTransform) ColorTransform().SetRec(BE.ReadColorTransform(true));
}

// ---------------------------------------------------------------- TSWFButtonCondAction

void TSWFButtonCondAction::WriteConditions(TBitsEngine& BE) const {
    for (int Bit : {7, 6, 4, 5, 3, 2, 1, 0}) BE.WriteBit((Conditions >> Bit) & 1);
    BE.WriteBits(KeyPress, 7);
    BE.WriteBit((Conditions >> 8) & 1);
}

void TSWFButtonCondAction::ReadConditions(TBitsEngine& BE) {
    const std::uint8_t B1 = BE.ReadByte();
    const std::uint8_t B2 = BE.ReadByte();
    static constexpr int Order[8] = {7, 6, 4, 5, 3, 2, 1, 0};  // condition bit of each position, first first
    Conditions = 0;
    for (int I = 0; I < 8; ++I)
        if (B1 & (0x80 >> I)) Conditions = static_cast<std::uint16_t>(Conditions | (1u << Order[I]));
    if (B2 & 1) Conditions = static_cast<std::uint16_t>(Conditions | 0x100);
    KeyPress = B2 >> 1;
}

void TSWFButtonCondAction::CopyFrom(const TSWFButtonCondAction& Source) {
    if (&Source == this) return;
    Conditions = Source.Conditions;
    KeyPress = Source.KeyPress;
    Clear();
    CopyActionList(Source, *this);
}

// ---------------------------------------------------------------- TSWFBasedButton

TSWFButtonRecord* TSWFBasedButton::AddButtonRecord(std::unique_ptr<TSWFButtonRecord> Record) {
    if (!Record) throw std::invalid_argument("No button record to add");
    ButtonRecords.push_back(std::move(Record));
    return ButtonRecords.back().get();
}

void TSWFBasedButton::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TSWFBasedButton>(Source, "button tag");
    TSWFObject::CopyFrom(S);
    if (&S == this) return;
    ButtonId = S.ButtonId;
    ParseActions = S.ParseActions;
    ButtonRecords.clear();
    for (const auto& R : S.ButtonRecords) {
        if (!R) continue;
        auto C = std::make_unique<TSWFButtonRecord>(R->CharacterID);
        C->CopyFrom(*R);
        ButtonRecords.push_back(std::move(C));
    }
}

void TSWFBasedButton::WriteRecords(TBitsEngine& BE, bool ColorTransforms) {
    for (const auto& R : ButtonRecords) {
        if (!R || (R->ButtonState & 0x0F) == 0) continue;
        if (ColorTransforms) R->HasColorTransform = true;
        R->WriteToStream(BE, ColorTransforms);
    }
    BE.WriteByte(0);
}

void TSWFBasedButton::ReadRecords(TBitsEngine& BE, bool ColorTransforms) {
    ButtonRecords.clear();
    for (;;) {
        const std::uint8_t Flags = BE.ReadByte();
        if (Flags == 0) break;
        auto R = std::make_unique<TSWFButtonRecord>();
        R->ReadFromStream(BE, Flags, ColorTransforms);
        ButtonRecords.push_back(std::move(R));
    }
}

// ---------------------------------------------------------------- TSWFDefineButton

void TSWFDefineButton::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TSWFDefineButton>(Source, "DefineButton tag");
    TSWFBasedButton::CopyFrom(S);
    if (&S == this) return;
    Actions.Clear();
    CopyActionList(S.Actions, Actions);
}

std::uint8_t TSWFDefineButton::MinVersion() const { return std::max<std::uint8_t>(3, Actions.MinVersion()); }

void TSWFDefineButton::ReadFromStream(TBitsEngine& BE) {
    const std::int64_t End = BE.Stream.Position() + BodySize;
    ButtonId = BE.ReadWord();
    ReadRecords(BE, false);
    Actions.Clear();
    ReadActionList(BE, Actions, End - BE.Stream.Position(), ParseActions);
}

void TSWFDefineButton::WriteTagBody(TBitsEngine& BE) {
    BE.WriteWord(ButtonId);
    WriteRecords(BE, false);
    Actions.WriteToStream(BE);
    BE.WriteByte(0);
}

// ---------------------------------------------------------------- TSWFDefineButton2

TSWFButtonCondAction* TSWFDefineButton2::AddCondAction(std::unique_ptr<TSWFButtonCondAction> CondAction) {
    if (!CondAction) throw std::invalid_argument("No condition action to add");
    Actions.push_back(std::move(CondAction));
    return Actions.back().get();
}

void TSWFDefineButton2::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TSWFDefineButton2>(Source, "DefineButton2 tag");
    TSWFBasedButton::CopyFrom(S);
    if (&S == this) return;
    TrackAsMenu = S.TrackAsMenu;
    Actions.clear();
    for (const auto& A : S.Actions) {
        if (!A) continue;
        auto C = std::make_unique<TSWFButtonCondAction>();
        C->CopyFrom(*A);
        Actions.push_back(std::move(C));
    }
}

std::uint8_t TSWFDefineButton2::MinVersion() const {
    std::uint8_t V = 3;
    for (const auto& A : Actions)
        if (A) V = std::max(V, A->MinVersion());
    return V;
}

void TSWFDefineButton2::ReadFromStream(TBitsEngine& BE) {
    const std::int64_t End = BE.Stream.Position() + BodySize;
    ButtonId = BE.ReadWord();
    TrackAsMenu = (BE.ReadByte() & 0x01) != 0;
    const std::int64_t OffsetPos = BE.Stream.Position();
    const std::uint16_t Offset = BE.ReadWord();
    ReadRecords(BE, true);
    Actions.clear();
    if (Offset == 0) return;
    const std::int64_t First = OffsetPos + Offset;
    if (First < BE.Stream.Position() || First > End)
        throw EReadError("The action offset " + std::to_string(Offset) + " of the button points outside its condition actions");
    BE.Stream.SetPosition(First);
    for (int Index = 1;; ++Index) {
        const std::int64_t Start = BE.Stream.Position();
        const std::uint16_t Size = BE.ReadWord();
        if (Size != 0 && (Size < 4 || Start + Size > End))
            throw EReadError("Condition action " + std::to_string(Index) + " has a size of " + std::to_string(Size) +
                             " bytes, outside the body of the button");
        auto C = std::make_unique<TSWFButtonCondAction>();
        C->ReadConditions(BE);
        const std::int64_t Limit = (Size != 0 ? Start + Size : End) - BE.Stream.Position();
        TSWFButtonCondAction* P = C.get();
        Actions.push_back(std::move(C));
        try {
            ReadActionList(BE, *P, Limit, ParseActions);
        } catch (const EReadError& E) {
            throw EReadError("Condition action " + std::to_string(Index) + ": " + E.what());
        }
        if (Size == 0) break;
        BE.Stream.SetPosition(Start + Size);
    }
}

void TSWFDefineButton2::WriteTagBody(TBitsEngine& BE) {
    BE.WriteWord(ButtonId);
    BE.WriteByte(TrackAsMenu ? 1 : 0);
    const std::int64_t OffsetPos = BE.Stream.Position();
    BE.WriteWord(0);
    WriteRecords(BE, true);
    std::vector<TSWFButtonCondAction*> List;
    for (const auto& A : Actions)
        if (A) List.push_back(A.get());
    if (List.empty()) return;
    PatchDistance(BE.Stream, OffsetPos, "action offset");
    for (std::size_t I = 0; I < List.size(); ++I) {
        const std::int64_t Start = BE.Stream.Position();
        BE.WriteWord(0);
        List[I]->WriteConditions(BE);
        List[I]->WriteToStream(BE);
        BE.WriteByte(0);
        if (I + 1 < List.size()) PatchDistance(BE.Stream, Start, "condition-action size");
    }
}

}  // namespace anivert
