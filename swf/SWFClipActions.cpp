#include "SWFClipActions.h"

#include <stdexcept>
#include <string>

namespace anivert {

// ---------------------------------------------------------------- event flags

void WriteClipEvents(TBitsEngine& BE, TSWFClipEvents Events, bool Wide) {
    for (int Bit = 0; Bit < 16; ++Bit) BE.WriteBit((Events >> Bit) & 1);
    if (!Wide) return;
    BE.WriteBits(0, 5);
    for (int Bit = 16; Bit < 19; ++Bit) BE.WriteBit((Events >> Bit) & 1);
    BE.WriteByte(0);
}

TSWFClipEvents ReadClipEvents(TBitsEngine& BE, bool Wide) {
    TSWFClipEvents Events = 0;
    const std::uint8_t B0 = BE.ReadByte();
    const std::uint8_t B1 = BE.ReadByte();
    for (int I = 0; I < 8; ++I) {
        if (B0 & (0x80 >> I)) Events |= 1u << I;
        if (B1 & (0x80 >> I)) Events |= 1u << (8 + I);
    }
    if (Wide) {
        const std::uint8_t B2 = BE.ReadByte();
        BE.ReadByte();
        for (int I = 0; I < 3; ++I)
            if (B2 & (0x04 >> I)) Events |= 1u << (16 + I);
    }
    return Events;
}

namespace {

// The raw flag field is zero: the end of the records (reserved bits count,
// so that a field holding only them is a record, as players read it).
bool ReadFlagField(TBitsEngine& BE, bool Wide, TSWFClipEvents& Events) {
    const std::int64_t At = BE.Stream.Position();
    const std::uint32_t Raw = Wide ? BE.ReadDWord() : BE.ReadWord();
    BE.Stream.SetPosition(At);
    Events = ReadClipEvents(BE, Wide);
    return Raw != 0;
}

}  // namespace

// ---------------------------------------------------------------- TSWFClipActionRecord

void TSWFClipActionRecord::SetKeyCode(std::uint8_t Value) {
    FKeyCode = Value;
    if (Value) EventFlags |= ceKeyPress;
    else EventFlags &= ~ceKeyPress;
}

void TSWFClipActionRecord::CopyFrom(const TSWFClipActionRecord& Source) {
    if (&Source == this) return;
    EventFlags = Source.EventFlags;
    FKeyCode = Source.FKeyCode;
    Clear();
    CopyActionList(Source, *this);
}

bool TSWFClipActionRecord::EndsWithEndByte() const {
    if (Empty()) return false;
    const TSWFAction& Last = Action(Count() - 1);
    if (Last.ActionCode == 0) return true;
    const auto* Raw = dynamic_cast<const TSWFActionByteCode*>(&Last);
    if (!Raw) return false;
    // Walk the records of the raw bytes: a zero byte in the middle of a
    // record (the end of a pushed string, say) ends nothing.
    const std::vector<std::uint8_t>& D = Raw->Data;
    std::size_t I = 0;
    while (I < D.size()) {
        const std::uint8_t Code = D[I];
        if (Code == 0) return true;
        if (Code < 0x80) {
            ++I;
            continue;
        }
        if (D.size() - I < 3) return false;
        I += 3 + (D[I + 1] | (D[I + 2] << 8));
    }
    return false;
}

// ---------------------------------------------------------------- TSWFClipActions

TSWFClipActionRecord* TSWFClipActions::AddActionRecord(TSWFClipEvents EventFlags, std::uint8_t KeyCode) {
    auto R = std::make_unique<TSWFClipActionRecord>(EventFlags);
    if (KeyCode) R->SetKeyCode(KeyCode);
    AllEventFlags |= R->EventFlags;
    ActionRecords.push_back(std::move(R));
    return ActionRecords.back().get();
}

void TSWFClipActions::CopyFrom(const TSWFClipActions& Source) {
    if (&Source == this) return;
    AllEventFlags = Source.AllEventFlags;
    ActionRecords.clear();
    for (const auto& R : Source.ActionRecords) {
        if (!R) continue;
        auto C = std::make_unique<TSWFClipActionRecord>();
        C->CopyFrom(*R);
        ActionRecords.push_back(std::move(C));
    }
}

bool TSWFClipActions::UsesVersion6Events() const {
    if (AllEventFlags & ceVersion6Events) return true;
    for (const auto& R : ActionRecords)
        if (R && (R->EventFlags & ceVersion6Events)) return true;
    return false;
}

std::size_t TSWFClipActions::WrittenRecordCount(bool Wide) const {
    const TSWFClipEvents Mask = Wide ? ceAllEvents : 0xFFFFu;
    std::size_t N = 0;
    for (const auto& R : ActionRecords)
        if (R && (R->EventFlags & Mask)) ++N;
    return N;
}

void TSWFClipActions::WriteToStream(TBitsEngine& BE, std::uint8_t SWFVersion) {
    const bool Wide = SWFVersion >= 6;
    const TSWFClipEvents Mask = Wide ? ceAllEvents : 0xFFFFu;
    BE.WriteWord(0);
    WriteClipEvents(BE, AllEventFlags & Mask, Wide);
    for (const auto& R : ActionRecords) {
        if (!R) continue;
        const TSWFClipEvents Events = R->EventFlags & Mask;
        if (Events == 0) continue;
        WriteClipEvents(BE, Events, Wide);
        const std::int64_t SizePos = BE.Stream.Position();
        BE.WriteDWord(0);
        if (Events & ceKeyPress) BE.WriteByte(R->KeyCode());
        R->WriteToStream(BE);
        if (!R->EndsWithEndByte()) BE.WriteByte(0);
        const std::int64_t End = BE.Stream.Position();
        const std::int64_t Size = End - SizePos - 4;
        if (Size > 0xFFFFFFFFll)
            throw std::length_error("A clip-action record of " + std::to_string(Size) +
                                    " bytes does not fit its 32-bit size");
        BE.Stream.SetPosition(SizePos);
        BE.WriteDWord(static_cast<std::uint32_t>(Size));
        BE.Stream.SetPosition(End);
    }
    if (Wide) BE.WriteDWord(0);
    else BE.WriteWord(0);
}

void TSWFClipActions::ReadFromStream(TBitsEngine& BE, std::uint8_t SWFVersion, std::int64_t Size, bool ParseActions) {
    const bool Wide = SWFVersion >= 6;
    const int FlagBytes = Wide ? 4 : 2;
    const std::int64_t End = BE.Stream.Position() + Size;
    ActionRecords.clear();
    if (Size < 2 + FlagBytes) throw EReadError("The clip actions end inside their header");
    BE.ReadWord();
    AllEventFlags = ReadClipEvents(BE, Wide);
    for (int Index = 1;; ++Index) {
        const std::string Where = "Clip-action record " + std::to_string(Index);
        if (End - BE.Stream.Position() < FlagBytes) throw EReadError("The clip actions end without their end marker");
        TSWFClipEvents Events = 0;
        if (!ReadFlagField(BE, Wide, Events)) break;
        if (End - BE.Stream.Position() < 4) throw EReadError(Where + " ends inside its size");
        const std::uint32_t RecordSize = BE.ReadDWord();
        const std::int64_t Start = BE.Stream.Position();
        if (RecordSize > End - Start)
            throw EReadError(Where + " has a size of " + std::to_string(RecordSize) + " bytes, past the end of the tag (" +
                             std::to_string(End - Start) + " bytes left)");
        auto R = std::make_unique<TSWFClipActionRecord>(Events);
        std::int64_t ActionsSize = RecordSize;
        if (Events & ceKeyPress) {
            if (RecordSize < 1) throw EReadError(Where + " has the key-press event but no room for its key code");
            R->FKeyCode = BE.ReadByte();
            --ActionsSize;
        }
        TSWFClipActionRecord* P = R.get();
        ActionRecords.push_back(std::move(R));
        if (ParseActions) {
            try {
                ReadActionList(BE, *P, ActionsSize, true);
            } catch (const EReadError& E) {
                throw EReadError(Where + ": " + E.what());
            }
        } else if (ActionsSize > 0) {
            // Kept as they are, end byte included, so that they write back
            // unchanged.
            auto B = std::make_unique<TSWFActionByteCode>();
            B->Data.resize(static_cast<std::size_t>(ActionsSize));
            BE.Stream.ReadBuffer(B->Data.data(), B->Data.size());
            P->Add(std::move(B));
        }
        BE.Stream.SetPosition(Start + RecordSize);
    }
}

}  // namespace anivert
