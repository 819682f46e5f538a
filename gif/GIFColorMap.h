// GIFImage unit: colour maps (a GIF colour table of at most 256 entries).
#pragma once
#ifndef ANIVERT_GIFIMAGE_UNIT
#error "include GIFImage.h"
#endif

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Streams.h"

namespace anivert {

class TGIFBitmap;
class TGIFHeader;
class TGIFSubImage;

// One entry as a GIF colour table stores it.
struct TGIFColor {
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;
    friend bool operator==(const TGIFColor&, const TGIFColor&) = default;
};

inline TColor GIFColorToColor(const TGIFColor& C) {
    return TColor(C.Red) | (TColor(C.Green) << 8) | (TColor(C.Blue) << 16);
}
inline TGIFColor ColorToGIFColor(TColor C) {
    return TGIFColor{std::uint8_t(C & 0xFF), std::uint8_t((C >> 8) & 0xFF), std::uint8_t((C >> 16) & 0xFF)};
}

// How often one entry of a map is used: the pixel count and the entry's
// index.
struct TGIFColorUse {
    std::uint32_t Count = 0;
    int Index = 0;
};
using TGIFColorUses = std::vector<TGIFColorUse>;
// New index for every old index of a map.
using TGIFIndexMap = std::array<std::uint8_t, 256>;

// A colour table. Entries are 0-based; colours are 0x00BBGGRR. The storage
// grows to 16 entries, then in steps of 32 up to 256.
class TGIFColorMap {
public:
    static constexpr int MaxColors = 256;

    virtual ~TGIFColorMap() = default;
    TGIFColorMap(const TGIFColorMap&) = delete;
    TGIFColorMap& operator=(const TGIFColorMap&) = delete;

    // True when the entries are ordered by use (written as the sort flag).
    bool UseOrdered = false;

    int Count() const { return FCount; }
    int Allocated() const { return static_cast<int>(FEntries.size()); }
    const TGIFColor* Entries() const { return FEntries.data(); }

    // Forwards a warning to the image that owns the map.
    virtual void ReportWarning(int Severity, const std::string& Message) = 0;
    // One use per entry, in entry order: the pixels of the frames that draw
    // with this map (a count saturates at 2^31 - 1).
    virtual TGIFColorUses CountUses() const = 0;
    // Rewrites the indices of the frames that draw with this map, and the
    // transparent index of those that are transparent, through Map.
    virtual void MapImages(const TGIFIndexMap& Map) = 0;
    // Orders the entries by use, most used first, and drops the entries no
    // pixel uses (unless the order already matched). Answers false when
    // the map was left alone.
    virtual bool SortByUse() = 0;
    // Drops what the owner derived from the entries (palettes, bitmaps).
    virtual void Changed() = 0;

    // Frees the entries. No Changed.
    void Clear();
    // Makes room for N entries (contents kept).
    void Grow(int N);
    // Reads N entries (red, green, blue) as a GIF colour table; short data
    // raises gifmsg::PrematureEOF. No Changed.
    void LoadFromStream(TStream& Stream, int N);
    // Writes the entries, padded with black to 2^BitsPerPixel entries.
    void SaveToStream(TStream& Stream) const;
    // 0 for an empty map, else the smallest b >= 1 with 2^b >= Count.
    int BitsPerPixel() const;
    // Index of an entry with the colour's red, green and blue, or -1: the
    // first match when UseOrdered, else the last.
    int FindColor(TColor Color) const;
    int Add(TColor Color);
    int AddIfMissing(TColor Color);
    void RemoveAt(int Index);
    // The entry's colour. An index out of range warns gifmsg::InvalidColorIndex
    // and reads entry 0; on an empty map it then raises gifmsg::ColorTableEmpty.
    TColor Colors(int Index);
    void SetColor(int Index, TColor Color);
    // The entries as a palette (empty for an empty map).
    TGIFPalette MakePalette() const;
    void LoadFromPalette(const TGIFPalette& Palette);
    // N four-byte entries in blue, green, red, reserved order.
    void LoadFromQuads(const std::uint8_t* Table, int N);
    // The colour table of an 8-bit bitmap (all of its 256 entries).
    void LoadFromDIBColors(const TGIFBitmap& Bitmap);
    // N entries of a table of 256.
    void LoadFromTable(const TGIFColor* Table, int N);
    void CopyFrom(const TGIFColorMap& Source);

protected:
    TGIFColorMap() = default;
    // The reordering of SortByUse, shared by both maps. NewIndex, when
    // given, receives the map from old to new index (identity when nothing
    // moved).
    bool SortEntriesByUse(TGIFIndexMap* NewIndex = nullptr);

private:
    std::vector<TGIFColor> FEntries;  // Allocated entries
    int FCount = 0;
};

// The global colour map, held by the image's header.
class TGIFGlobalColorMap : public TGIFColorMap {
public:
    explicit TGIFGlobalColorMap(TGIFHeader& Header) : FHeader(Header) {}
    TGIFHeader& Header() const { return FHeader; }
    void ReportWarning(int Severity, const std::string& Message) override;
    // Over the frames that have no local map.
    TGIFColorUses CountUses() const override;
    void MapImages(const TGIFIndexMap& Map) override;
    // Only when the image has frames; the header's background index follows
    // its colour.
    bool SortByUse() override;
    void Changed() override;

private:
    TGIFHeader& FHeader;
};

// A frame's local colour map.
class TGIFLocalColorMap : public TGIFColorMap {
public:
    explicit TGIFLocalColorMap(TGIFSubImage& SubImage) : FSubImage(SubImage) {}
    TGIFSubImage& SubImage() const { return FSubImage; }
    void ReportWarning(int Severity, const std::string& Message) override;
    // Over its own frame.
    TGIFColorUses CountUses() const override;
    void MapImages(const TGIFIndexMap& Map) override;
    bool SortByUse() override;
    void Changed() override;

private:
    TGIFSubImage& FSubImage;
};

}  // namespace anivert
