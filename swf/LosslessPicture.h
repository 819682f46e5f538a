// Pictures handed to the movie in memory, laid out as the data of the
// lossless bitmap tags before it is packed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace anivert {

// The formats of lossless bitmap data, as the lossless bitmap tags store
// them, and the image object's own mark for 32 bits with alpha.
enum TBitmapFormat : std::uint8_t {
    // A colour table, then one index a pixel, rows padded to 4 bytes.
    bfColorMapped8 = 3,
    // 15 bits a pixel, rows padded to 4 bytes.
    bfRGB15 = 4,
    // 32 bits a pixel.
    bfRGB32 = 5,
    // 32 bits with alpha: an image object's format, written as bfRGB32.
    bfARGB32 = 1,
};

struct TLosslessPicture {
    // The most colours a colour-mapped picture can have.
    static constexpr int MaxColors = 256;

    std::int32_t Width = 0;
    std::int32_t Height = 0;
    // bfColorMapped8 or bfRGB32.
    std::uint8_t BitmapFormat = bfRGB32;
    // Colours with alpha (a DefineBitsLossless2); without it every pixel
    // is opaque (a DefineBitsLossless).
    bool HasAlpha = false;
    // Entries of the colour table of a colour-mapped picture (1..256).
    std::int32_t ColorCount = 0;
    // The colour table (RGB, or RGBA with alpha, colours multiplied by
    // their alpha) followed by the rows, top row first; uncompressed.
    std::vector<std::uint8_t> Raw;

    // Bytes of one stored row.
    std::size_t RowBytes() const;
    // Bytes of the colour table.
    std::size_t TableBytes() const;
};

// The picture of Width x Height 0xAARRGGBB pixels, rows Stride pixels
// apart. Pixels that take at most 256 values (fully transparent ones count
// as one) give a colour-mapped picture, others one of 32 bits a pixel; the
// picture has alpha only when a pixel is not opaque. Raises EImageError for
// a size the tags cannot hold.
TLosslessPicture LosslessFromARGB(std::int32_t Width, std::int32_t Height, const std::uint32_t* Pixels,
                                  std::size_t Stride);

// A colour-mapped picture of indices into Table (0xAARRGGBB colours,
// TableSize of them, at most 256), rows Stride bytes apart. An index past
// the table shows opaque black. The colour table holds the entries in use,
// in the order of their indices; alpha only when one of them is not opaque.
TLosslessPicture LosslessFromIndices(std::int32_t Width, std::int32_t Height, const std::uint8_t* Indices,
                                     std::size_t Stride, const std::uint32_t* Table, int TableSize);

}  // namespace anivert
