// Reading of the picture files the movie builder accepts: BMP files into a
// device-independent bitmap in memory, and the size and baseline
// re-encoding of JPEG files.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "Streams.h"

namespace anivert {

// Raised for picture files that cannot be read.
class EImageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TBitmapInfoHeader {
    std::uint32_t biSize = 40;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;  // positive: the first stored row is the bottom row
    std::uint16_t biPlanes = 1;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = 0;
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};

struct TRGBQuad {
    std::uint8_t Blue = 0;
    std::uint8_t Green = 0;
    std::uint8_t Red = 0;
    std::uint8_t Alpha = 0;
};

enum : std::uint32_t { BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3 };

// One bitmap in memory, its rows in file order.
class TBMPReader {
public:
    // The largest pixel memory a bitmap may take.
    static constexpr std::int64_t MaxPixelMemory = std::int64_t{256} << 20;

    TBMPReader() = default;

    TBitmapInfoHeader Info;
    std::array<TRGBQuad, 256> Palette{};
    std::uint8_t RedMaskWidth = 0;
    std::uint8_t GreenMaskWidth = 0;
    std::uint8_t BlueMaskWidth = 0;
    std::int32_t RowCount = 0;
    std::int32_t Stride = 0;
    std::int32_t RowPadding = 0;
    std::int32_t ImageSize = 0;

    std::int32_t Width() const { return Info.biWidth; }
    std::int32_t Height() const { return Info.biHeight; }
    std::uint16_t BitCount() const { return Info.biBitCount; }
    // True when the first stored row is the top row (negative height).
    bool TopDown() const { return Info.biHeight < 0; }

    void LoadFile(const std::string& FileName);
    void LoadFromStream(TStream& Stream);
    // Takes the description from Info (and the masks for bit fields) and
    // allocates zeroed pixel memory.
    void SetFromInfo(const TBitmapInfoHeader& AInfo, const std::uint32_t Masks[3] = nullptr);
    void SetFormat(std::int32_t AWidth, std::int32_t AHeight, std::uint16_t ABitCount, std::uint8_t RedWidth,
                   std::uint8_t GreenWidth, std::uint8_t BlueWidth);
    // Number of palette colours in use; compacts the palette of 4- and 8-bit
    // bitmaps so that the used colours come first, in their old order.
    int CountColors();

    // Row I of the stored rows (row 0 is the first stored row).
    std::uint8_t* Row(std::int32_t I) { return FPixels.data() + static_cast<std::size_t>(I) * static_cast<std::size_t>(Stride); }
    const std::uint8_t* Row(std::int32_t I) const {
        return FPixels.data() + static_cast<std::size_t>(I) * static_cast<std::size_t>(Stride);
    }
    // Palette index of pixel X of stored row Y (1-, 4- and 8-bit bitmaps).
    std::uint8_t IndexAt(std::int32_t X, std::int32_t Y) const;
    const std::vector<std::uint8_t>& Pixels() const { return FPixels; }

private:
    void SetIndex(std::int32_t X, std::int32_t Y, std::uint8_t Value);
    void DecodeRLE(const std::vector<std::uint8_t>& Data, bool FourBit);
    std::vector<std::uint8_t> FPixels;
};

// The size from a JPEG file's baseline or extended frame header. Leaves both
// values unchanged when there is none (a progressive file) and returns
// whether it found one.
bool ReadJPEGSize(const std::string& FileName, std::int32_t& Width, std::int32_t& Height);

struct TJPEGInfo {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    bool Progressive = false;
};

// Reads the header of JPEG data with the codec; raises EImageError when the
// data is not a JPEG image.
TJPEGInfo ReadJPEGInfo(const std::vector<std::uint8_t>& Jpeg);
// Decodes JPEG data and encodes the picture again as a baseline JPEG.
std::vector<std::uint8_t> ReencodeJPEGBaseline(const std::vector<std::uint8_t>& Jpeg, int Quality = 90);

}  // namespace anivert
