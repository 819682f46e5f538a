// Bitmap definition tags: JPEG (DefineBits, DefineBitsJPEG2/3) and lossless
// (DefineBitsLossless, DefineBitsLossless2). The tags frame data their owner
// prepares; they never compress or decode pixels themselves.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "LosslessPicture.h"
#include "SWFTags.h"

namespace anivert {

// Base of every tag that carries one block of binary data.
class TSWFDataObject : public TSWFObject {
public:
    // Writes the data bytes through BE instead of the block.
    using TDataWriteEvent = std::function<void(TSWFObject& Sender, TBitsEngine& BE)>;

    const std::uint8_t* Data = nullptr;
    std::int32_t DataSize = 0;
    TDataWriteEvent OnDataWrite;
    // True when the tag owns the block (it was given with SetOwnedData).
    bool SelfDestroy = false;

    // A block the caller keeps alive while the tag is written.
    void SetData(const std::uint8_t* AData, std::int32_t ASize);
    // A block the tag keeps.
    void SetOwnedData(std::vector<std::uint8_t> Block);

    void CopyFrom(const TBasedSWFObject& Source) override;

protected:
    using TSWFObject::TSWFObject;
    // The event's output, or the block.
    void WriteData(TBitsEngine& BE);

private:
    std::vector<std::uint8_t> FOwnedData;
};

class TSWFImageTag : public TSWFDataObject {
public:
    std::uint16_t CharacterID = 0;
    void CopyFrom(const TBasedSWFObject& Source) override;

protected:
    using TSWFDataObject::TSWFDataObject;
};

class TSWFDefineBits : public TSWFImageTag {
public:
    TSWFDefineBits() : TSWFImageTag(tagDefineBits) {}
    // Whether the tag wraps the data in a start and an end-of-image marker.
    // Data that is a complete JPEG file already has them; wrapped a second
    // time, players refuse the picture.
    bool WriteMarkers = true;
    void CopyFrom(const TBasedSWFObject& Source) override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteTagBody(TBitsEngine& BE) override;

protected:
    using TSWFImageTag::TSWFImageTag;
};

class TSWFDefineBitsJPEG2 : public TSWFDefineBits {
public:
    TSWFDefineBitsJPEG2() : TSWFDefineBits(tagDefineBitsJPEG2) {}
    std::uint8_t MinVersion() const override { return 2; }

protected:
    using TSWFDefineBits::TSWFDefineBits;
};

class TSWFDefineBitsJPEG3 : public TSWFDefineBitsJPEG2 {
public:
    TSWFDefineBitsJPEG3() : TSWFDefineBitsJPEG2(tagDefineBitsJPEG3) {}

    const std::uint8_t* AlphaData = nullptr;
    std::int32_t AlphaDataSize = 0;
    TDataWriteEvent OnAlphaDataWrite;
    bool SelfDestroyAlpha = false;

    void SetAlphaData(const std::uint8_t* AData, std::int32_t ASize);
    void SetOwnedAlphaData(std::vector<std::uint8_t> Block);

    void CopyFrom(const TBasedSWFObject& Source) override;
    std::uint8_t MinVersion() const override { return 3; }
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteTagBody(TBitsEngine& BE) override;

private:
    std::vector<std::uint8_t> FOwnedAlpha;
};

class TSWFDefineBitsLossless : public TSWFImageTag {
public:
    TSWFDefineBitsLossless() : TSWFImageTag(tagDefineBitsLossless) {}

    std::uint8_t BitmapColorTableSize = 0;
    std::uint8_t BitmapFormat = 0;
    std::uint16_t BitmapHeight = 0;
    std::uint16_t BitmapWidth = 0;

    void CopyFrom(const TBasedSWFObject& Source) override;
    std::uint8_t MinVersion() const override { return 2; }
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteTagBody(TBitsEngine& BE) override;

protected:
    using TSWFImageTag::TSWFImageTag;
};

class TSWFDefineBitsLossless2 : public TSWFDefineBitsLossless {
public:
    TSWFDefineBitsLossless2() : TSWFDefineBitsLossless(tagDefineBitsLossless2) {}
    std::uint8_t MinVersion() const override { return 3; }
};

}  // namespace anivert
