#include "SWFBitmaps.h"

namespace anivert {

namespace {

// Reads Size bytes of the body into a block; the body's own bound makes a
// short stream fail with EReadError.
std::vector<std::uint8_t> ReadBlock(TBitsEngine& BE, std::int64_t Size) {
    if (Size <= 0) return {};
    const std::int64_t Left = BE.Stream.Size() - BE.Stream.Position();
    if (Size > Left) throw EReadError("Unexpected end of data");
    std::vector<std::uint8_t> Block(static_cast<std::size_t>(Size));
    BE.Stream.ReadBuffer(Block.data(), Block.size());
    return Block;
}

void WriteBlockOrEvent(TSWFObject& Sender, TBitsEngine& BE, const TSWFDataObject::TDataWriteEvent& Event,
                       const std::uint8_t* Block, std::int32_t Size) {
    if (Event) Event(Sender, BE);
    else if (Size > 0 && Block) BE.Stream.WriteBuffer(Block, static_cast<std::size_t>(Size));
}

}  // namespace

// ------------------------------------------------------------ TSWFDataObject

void TSWFDataObject::SetData(const std::uint8_t* AData, std::int32_t ASize) {
    FOwnedData.clear();
    Data = AData;
    DataSize = ASize;
    SelfDestroy = false;
}

void TSWFDataObject::SetOwnedData(std::vector<std::uint8_t> Block) {
    FOwnedData = std::move(Block);
    Data = FOwnedData.empty() ? nullptr : FOwnedData.data();
    DataSize = static_cast<std::int32_t>(FOwnedData.size());
    SelfDestroy = true;
}

void TSWFDataObject::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TSWFDataObject>(Source, "data tag");
    TSWFObject::CopyFrom(S);
    if (S.OnDataWrite) {
        OnDataWrite = S.OnDataWrite;
    } else if (S.DataSize > 0 && S.Data) {
        // The copy always owns its block.
        SetOwnedData(std::vector<std::uint8_t>(S.Data, S.Data + S.DataSize));
    }
}

void TSWFDataObject::WriteData(TBitsEngine& BE) { WriteBlockOrEvent(*this, BE, OnDataWrite, Data, DataSize); }

void TSWFImageTag::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TSWFImageTag>(Source, "bitmap tag");
    TSWFDataObject::CopyFrom(S);
    CharacterID = S.CharacterID;
}

// ------------------------------------------------------------ JPEG tags

void TSWFDefineBits::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TSWFDefineBits>(Source, "JPEG bitmap tag");
    TSWFImageTag::CopyFrom(S);
    WriteMarkers = S.WriteMarkers;
}

void TSWFDefineBits::WriteTagBody(TBitsEngine& BE) {
    BE.WriteWord(CharacterID);
    if (WriteMarkers) {
        BE.WriteByte(0xFF);
        BE.WriteByte(0xD8);
    }
    WriteData(BE);
    if (WriteMarkers) {
        BE.WriteByte(0xFF);
        BE.WriteByte(0xD9);
    }
}

void TSWFDefineBits::ReadFromStream(TBitsEngine& BE) {
    const std::int64_t End = BE.Stream.Position() + BodySize;
    CharacterID = BE.ReadWord();
    // Words up to the outer start-of-image marker, then everything but the
    // final end-of-image marker.
    while (BE.ReadWord() != 0xD8FF) {
    }
    const std::int64_t Rest = End - BE.Stream.Position() - 2;
    SetOwnedData(ReadBlock(BE, Rest));
    if (Rest >= 0) BE.ReadWord();
}

void TSWFDefineBitsJPEG3::SetAlphaData(const std::uint8_t* AData, std::int32_t ASize) {
    FOwnedAlpha.clear();
    AlphaData = AData;
    AlphaDataSize = ASize;
    SelfDestroyAlpha = false;
}

void TSWFDefineBitsJPEG3::SetOwnedAlphaData(std::vector<std::uint8_t> Block) {
    FOwnedAlpha = std::move(Block);
    AlphaData = FOwnedAlpha.empty() ? nullptr : FOwnedAlpha.data();
    AlphaDataSize = static_cast<std::int32_t>(FOwnedAlpha.size());
    SelfDestroyAlpha = true;
}

void TSWFDefineBitsJPEG3::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TSWFDefineBitsJPEG3>(Source, "DefineBitsJPEG3 tag");
    TSWFDefineBits::CopyFrom(S);
    if (S.OnAlphaDataWrite) {
        OnAlphaDataWrite = S.OnAlphaDataWrite;
    } else if (S.AlphaDataSize > 0 && S.AlphaData) {
        SetOwnedAlphaData(std::vector<std::uint8_t>(S.AlphaData, S.AlphaData + S.AlphaDataSize));
    }
}

void TSWFDefineBitsJPEG3::WriteTagBody(TBitsEngine& BE) {
    BE.WriteWord(CharacterID);
    const std::int64_t At = BE.Stream.Position();
    BE.WriteDWord(0);
    if (WriteMarkers) {
        BE.WriteByte(0xFF);
        BE.WriteByte(0xD8);
    }
    WriteData(BE);
    if (WriteMarkers) {
        BE.WriteByte(0xFF);
        BE.WriteByte(0xD9);
    }
    const std::int64_t End = BE.Stream.Position();
    BE.Stream.SetPosition(At);
    BE.WriteDWord(static_cast<std::uint32_t>(End - At - 4));
    BE.Stream.SetPosition(End);
    WriteBlockOrEvent(*this, BE, OnAlphaDataWrite, AlphaData, AlphaDataSize);
}

void TSWFDefineBitsJPEG3::ReadFromStream(TBitsEngine& BE) {
    CharacterID = BE.ReadWord();
    const std::uint32_t Offset = BE.ReadDWord();
    // The image lies between the outer markers; the alpha plane follows.
    if (Offset < 4 || static_cast<std::uint64_t>(Offset) + 6 > BodySize)
        throw EReadError("Alpha data offset " + std::to_string(Offset) + " lies outside the tag");
    BE.ReadWord();
    SetOwnedData(ReadBlock(BE, static_cast<std::int64_t>(Offset) - 4));
    BE.ReadWord();
    SetOwnedAlphaData(ReadBlock(BE, static_cast<std::int64_t>(BodySize) - Offset - 6));
}

// ------------------------------------------------------------ lossless tags

void TSWFDefineBitsLossless::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TSWFDefineBitsLossless>(Source, "lossless bitmap tag");
    TSWFImageTag::CopyFrom(S);
    BitmapColorTableSize = S.BitmapColorTableSize;
    BitmapFormat = S.BitmapFormat;
    BitmapHeight = S.BitmapHeight;
    BitmapWidth = S.BitmapWidth;
}

void TSWFDefineBitsLossless::WriteTagBody(TBitsEngine& BE) {
    BE.WriteWord(CharacterID);
    BE.WriteByte(BitmapFormat);
    BE.WriteWord(BitmapWidth);
    BE.WriteWord(BitmapHeight);
    if (BitmapFormat == bfColorMapped8) BE.WriteByte(BitmapColorTableSize);
    WriteData(BE);
}

void TSWFDefineBitsLossless::ReadFromStream(TBitsEngine& BE) {
    const std::int64_t End = BE.Stream.Position() + BodySize;
    CharacterID = BE.ReadWord();
    BitmapFormat = BE.ReadByte();
    BitmapWidth = BE.ReadWord();
    BitmapHeight = BE.ReadWord();
    if (BitmapFormat == bfColorMapped8) BitmapColorTableSize = BE.ReadByte();
    SetOwnedData(ReadBlock(BE, End - BE.Stream.Position()));
}

}  // namespace anivert
