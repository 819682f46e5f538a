#include "SWFSounds.h"

#include <stdexcept>
#include <string>

namespace anivert {

namespace {

// The bytes of the body from the current position up to End.
std::vector<std::uint8_t> ReadRest(TBitsEngine& BE, std::int64_t End) {
    const std::int64_t Size = End - BE.Stream.Position();
    if (Size <= 0) return {};
    if (Size > BE.Stream.Size() - BE.Stream.Position()) throw EReadError("Unexpected end of data");
    std::vector<std::uint8_t> Block(static_cast<std::size_t>(Size));
    BE.Stream.ReadBuffer(Block.data(), Block.size());
    return Block;
}

// Format in 4 bits, rate in 2 bits, sample size and channels in one bit each.
void WriteFormatByte(TBitsEngine& BE, std::uint8_t Format, std::uint8_t Rate, bool Size, bool Type) {
    BE.WriteBits(Format, 4);
    BE.WriteBits(Rate, 2);
    BE.WriteBit(Size);
    BE.WriteBit(Type);
}

void ReadFormatByte(TBitsEngine& BE, std::uint8_t& Format, std::uint8_t& Rate, bool& Size, bool& Type) {
    const std::uint8_t B = BE.ReadByte();
    Format = B >> 4;
    Rate = (B >> 2) & 3;
    Size = (B & 2) != 0;
    Type = (B & 1) != 0;
}

}  // namespace

// ---------------------------------------------------------------- TSWFDefineSound

void TSWFDefineSound::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TSWFDefineSound>(Source, "DefineSound tag");
    TSWFDataObject::CopyFrom(S);
    SeekSamples = S.SeekSamples;
    SoundFormat = S.SoundFormat;
    SoundId = S.SoundId;
    SoundRate = S.SoundRate;
    SoundSampleCount = S.SoundSampleCount;
    SoundSize = S.SoundSize;
    SoundType = S.SoundType;
}

std::uint8_t TSWFDefineSound::MinVersion() const {
    if (SoundFormat == sfMP3 || SoundFormat == sfUncompressedLE) return 4;
    if (SoundFormat == sfNellymoser) return 6;
    return 1;
}

void TSWFDefineSound::ReadFromStream(TBitsEngine& BE) {
    const std::int64_t End = BE.Stream.Position() + BodySize;
    SoundId = BE.ReadWord();
    ReadFormatByte(BE, SoundFormat, SoundRate, SoundSize, SoundType);
    SoundSampleCount = BE.ReadDWord();
    SeekSamples = 0;
    if (SoundFormat == sfMP3) SeekSamples = static_cast<std::int16_t>(BE.ReadWord());
    SetOwnedData(ReadRest(BE, End));
}

void TSWFDefineSound::WriteTagBody(TBitsEngine& BE) {
    BE.WriteWord(SoundId);
    WriteFormatByte(BE, SoundFormat, SoundRate, SoundSize, SoundType);
    BE.WriteDWord(SoundSampleCount);
    if (SoundFormat == sfMP3) BE.WriteWord(static_cast<std::uint16_t>(SeekSamples));
    WriteData(BE);
}

// ---------------------------------------------------------------- TSWFStartSound

void TSWFStartSound::SetInPoint(std::uint32_t Value) {
    InPoint = Value;
    HasInPoint = Value != 0;
}

void TSWFStartSound::SetOutPoint(std::uint32_t Value) {
    OutPoint = Value;
    HasOutPoint = Value != 0;
}

void TSWFStartSound::SetLoopCount(std::uint16_t Value) {
    LoopCount = Value;
    HasLoops = Value != 0;
}

TSWFSoundEnvelope* TSWFStartSound::AddEnvelope(std::uint32_t Pos44, std::uint16_t LeftLevel, std::uint16_t RightLevel) {
    auto E = std::make_unique<TSWFSoundEnvelope>();
    E->Pos44 = Pos44;
    E->LeftLevel = LeftLevel;
    E->RightLevel = RightLevel;
    SoundEnvelopes.push_back(std::move(E));
    return SoundEnvelopes.back().get();
}

void TSWFStartSound::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TSWFStartSound>(Source, "StartSound tag");
    TSWFObject::CopyFrom(S);
    if (&S == this) return;
    HasEnvelope = S.HasEnvelope;
    HasInPoint = S.HasInPoint;
    HasLoops = S.HasLoops;
    HasOutPoint = S.HasOutPoint;
    InPoint = S.InPoint;
    LoopCount = S.LoopCount;
    OutPoint = S.OutPoint;
    SoundId = S.SoundId;
    SyncNoMultiple = S.SyncNoMultiple;
    SyncStop = S.SyncStop;
    SoundEnvelopes.clear();
    for (const auto& E : S.SoundEnvelopes)
        if (E) AddEnvelope(E->Pos44, E->LeftLevel, E->RightLevel);
}

void TSWFStartSound::ReadFromStream(TBitsEngine& BE) {
    SoundId = BE.ReadWord();
    const std::uint8_t Flags = BE.ReadByte();
    SyncStop = (Flags & 0x20) != 0;
    SyncNoMultiple = (Flags & 0x10) != 0;
    HasEnvelope = (Flags & 0x08) != 0;
    HasLoops = (Flags & 0x04) != 0;
    HasOutPoint = (Flags & 0x02) != 0;
    HasInPoint = (Flags & 0x01) != 0;
    InPoint = HasInPoint ? BE.ReadDWord() : 0;
    OutPoint = HasOutPoint ? BE.ReadDWord() : 0;
    LoopCount = HasLoops ? BE.ReadWord() : 0;
    SoundEnvelopes.clear();
    if (!HasEnvelope) return;
    const std::uint8_t Points = BE.ReadByte();
    for (int I = 0; I < Points; ++I) {
        const std::uint32_t Pos = BE.ReadDWord();
        const std::uint16_t Left = BE.ReadWord();
        const std::uint16_t Right = BE.ReadWord();
        AddEnvelope(Pos, Left, Right);
    }
    // A count of 0 leaves nothing to write: the flag goes as the writer
    // would clear it.
    if (SoundEnvelopes.empty()) HasEnvelope = false;
}

void TSWFStartSound::WriteTagBody(TBitsEngine& BE) {
    if (SoundEnvelopes.empty()) HasEnvelope = false;
    if (HasEnvelope && SoundEnvelopes.size() > 255)
        throw std::length_error("A sound envelope of " + std::to_string(SoundEnvelopes.size()) +
                                " points does not fit its one-byte count (at most 255)");
    BE.WriteWord(SoundId);
    BE.WriteBits(0, 2);
    BE.WriteBit(SyncStop);
    BE.WriteBit(SyncNoMultiple);
    BE.WriteBit(HasEnvelope);
    BE.WriteBit(HasLoops);
    BE.WriteBit(HasOutPoint);
    BE.WriteBit(HasInPoint);
    if (HasInPoint) BE.WriteDWord(InPoint);
    if (HasOutPoint) BE.WriteDWord(OutPoint);
    if (HasLoops) BE.WriteWord(LoopCount);
    if (!HasEnvelope) return;
    BE.WriteByte(static_cast<std::uint8_t>(SoundEnvelopes.size()));
    for (const auto& E : SoundEnvelopes) {
        BE.WriteDWord(E->Pos44);
        BE.WriteWord(E->LeftLevel);
        BE.WriteWord(E->RightLevel);
    }
}

// ---------------------------------------------------------------- stream heads

void TSWFSoundStreamHead::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TSWFSoundStreamHead>(Source, "SoundStreamHead tag");
    TSWFObject::CopyFrom(S);
    LatencySeek = S.LatencySeek;
    PlaybackSoundRate = S.PlaybackSoundRate;
    PlaybackSoundSize = S.PlaybackSoundSize;
    PlaybackSoundType = S.PlaybackSoundType;
    StreamSoundCompression = S.StreamSoundCompression;
    StreamSoundRate = S.StreamSoundRate;
    StreamSoundSampleCount = S.StreamSoundSampleCount;
    StreamSoundSize = S.StreamSoundSize;
    StreamSoundType = S.StreamSoundType;
}

std::uint8_t TSWFSoundStreamHead::MinVersion() const { return StreamSoundCompression == sfMP3 ? 4 : 1; }

void TSWFSoundStreamHead::ReadFromStream(TBitsEngine& BE) {
    std::uint8_t Reserved = 0;
    ReadFormatByte(BE, Reserved, PlaybackSoundRate, PlaybackSoundSize, PlaybackSoundType);
    ReadFormatByte(BE, StreamSoundCompression, StreamSoundRate, StreamSoundSize, StreamSoundType);
    StreamSoundSampleCount = BE.ReadWord();
    LatencySeek = 0;
    if (StreamSoundCompression == sfMP3 && BodySize > 4) LatencySeek = static_cast<std::int16_t>(BE.ReadWord());
}

void TSWFSoundStreamHead::WriteTagBody(TBitsEngine& BE) {
    WriteFormatByte(BE, 0, PlaybackSoundRate, PlaybackSoundSize, PlaybackSoundType);
    WriteFormatByte(BE, StreamSoundCompression, StreamSoundRate, StreamSoundSize, StreamSoundType);
    BE.WriteWord(StreamSoundSampleCount);
    if (StreamSoundCompression == sfMP3) BE.WriteWord(static_cast<std::uint16_t>(LatencySeek));
}

std::uint8_t TSWFSoundStreamHead2::MinVersion() const {
    if (StreamSoundCompression == sfMP3) return 4;
    if (StreamSoundCompression == sfNellymoser) return 6;
    return 3;
}

// ---------------------------------------------------------------- TSWFVideoFrame

void TSWFVideoFrame::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TSWFVideoFrame>(Source, "VideoFrame tag");
    TSWFDataObject::CopyFrom(S);
    FrameNum = S.FrameNum;
    StreamID = S.StreamID;
}

void TSWFVideoFrame::ReadFromStream(TBitsEngine& BE) {
    const std::int64_t End = BE.Stream.Position() + BodySize;
    StreamID = BE.ReadWord();
    FrameNum = BE.ReadWord();
    SetOwnedData(ReadRest(BE, End));
}

void TSWFVideoFrame::WriteTagBody(TBitsEngine& BE) {
    BE.WriteWord(StreamID);
    BE.WriteWord(FrameNum);
    WriteData(BE);
}

// ---------------------------------------------------------------- TSWFDefineButtonSound

const TSWFDefineButtonSound::TSlot TSWFDefineButtonSound::Slots[4] = {
    {&TSWFDefineButtonSound::FOverUpToIdle, &TSWFDefineButtonSound::HasOverUpToIdle},
    {&TSWFDefineButtonSound::FIdleToOverUp, &TSWFDefineButtonSound::HasIdleToOverUp},
    {&TSWFDefineButtonSound::FOverUpToOverDown, &TSWFDefineButtonSound::HasOverUpToOverDown},
    {&TSWFDefineButtonSound::FOverDownToOverUp, &TSWFDefineButtonSound::HasOverDownToOverUp},
};

TSWFStartSound& TSWFDefineButtonSound::Access(const TSlot& Slot) {
    auto& P = this->*Slot.Sound;
    if (!P) P = std::make_unique<TSWFStartSound>();
    this->*Slot.Flag = true;
    return *P;
}

TSWFStartSound& TSWFDefineButtonSound::SoundIdleToOverUp() { return Access(Slots[1]); }
TSWFStartSound& TSWFDefineButtonSound::SoundOverDownToOverUp() { return Access(Slots[3]); }
TSWFStartSound& TSWFDefineButtonSound::SoundOverUpToIdle() { return Access(Slots[0]); }
TSWFStartSound& TSWFDefineButtonSound::SoundOverUpToOverDown() { return Access(Slots[2]); }

void TSWFDefineButtonSound::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TSWFDefineButtonSound>(Source, "DefineButtonSound tag");
    TSWFObject::CopyFrom(S);
    if (&S == this) return;
    ButtonId = S.ButtonId;
    for (const TSlot& Slot : Slots) {
        const auto& From = S.*Slot.Sound;
        if (S.*Slot.Flag && From) {
            Access(Slot).CopyFrom(*From);
        } else {
            (this->*Slot.Sound).reset();
            this->*Slot.Flag = S.*Slot.Flag;
        }
    }
}

void TSWFDefineButtonSound::ReadFromStream(TBitsEngine& BE) {
    ButtonId = BE.ReadWord();
    for (const TSlot& Slot : Slots) {
        (this->*Slot.Sound).reset();
        this->*Slot.Flag = false;
        const std::int64_t At = BE.Stream.Position();
        if (BE.ReadWord() == 0) continue;
        BE.Stream.SetPosition(At);
        Access(Slot).ReadFromStream(BE);
    }
}

void TSWFDefineButtonSound::WriteTagBody(TBitsEngine& BE) {
    BE.WriteWord(ButtonId);
    for (const TSlot& Slot : Slots) {
        TSWFStartSound* Sound = (this->*Slot.Sound).get();
        if (Sound && Sound->SoundId != 0) Sound->WriteTagBody(BE);
        else BE.WriteWord(0);
    }
}

}  // namespace anivert
