// GIFImage unit: frame pictures. A picture is a device-independent bitmap
// held as a BMP file image in memory (8 bits per pixel with a 256-entry
// colour table, or 24 bits per pixel; rows stored bottom-up); a
// transparency mask is a separate 1-bit picture.
#pragma once
#ifndef ANIVERT_GIFIMAGE_UNIT
#error "include GIFImage.h"
#endif

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "Streams.h"

namespace anivert {

// A drawing operation the picture cannot do (a row index out of range).
class EInvalidGraphicOperation : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TGIFBitmap {
public:
    static constexpr int FileHeaderSize = 14;
    static constexpr int InfoHeaderSize = 40;

    bool Empty() const { return FImage.empty(); }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int BitCount() const { return FBitCount; }
    // Bytes per stored row (padded to 32 bits).
    int Stride() const { return FStride; }
    // Entries of the colour table (256 for 8 bits, 0 for 24 bits) and how
    // many of them came from the palette (the important colours).
    int ColorTableSize() const { return FBitCount == 8 ? 256 : 0; }
    int ColorsImportant() const { return FColorsImportant; }
    // The colour table as stored: blue, green, red, 0 per entry.
    const std::uint8_t* ColorTableQuads() const;
    TColor ColorTableEntry(int Index) const;
    // The palette the picture was built with (ColorsImportant entries).
    TGIFPalette Palette() const;
    // Row 0 is the top row.
    const std::uint8_t* ScanLine(int Row) const;
    // The stored value at (X, Y): the index for 8 bits.
    std::uint8_t PixelIndex(int X, int Y) const;
    // The colour at (X, Y) (0x00BBGGRR).
    TColor PixelColor(int X, int Y) const;

    // The BMP file image: file header, info header, colour table, rows.
    const std::vector<std::uint8_t>& FileImage() const { return FImage; }
    void SaveToStream(TStream& Stream) const;
    void SaveToFile(const std::string& FileName) const;

private:
    friend class TDIBWriter;
    void Assign(std::vector<std::uint8_t> Image, int Width, int Height, int BitCount, int ColorsImportant);

    std::vector<std::uint8_t> FImage;
    int FWidth = 0;
    int FHeight = 0;
    int FBitCount = 0;
    int FStride = 0;
    int FPixelOffset = 0;
    int FColorsImportant = 0;
};

// A 1-bit transparency mask: Height rows of ((Width + 15) / 16) * 2 bytes,
// row 0 on top, bit (7 - x mod 8) of byte x / 8 set where the pixel is
// transparent.
class TGIFMask {
public:
    TGIFMask(int AWidth, int AHeight, std::vector<std::uint8_t> ABits)
        : Width(AWidth), Height(AHeight), Bits(std::move(ABits)) {}
    static int RowBytes(int Width) { return ((Width + 15) / 16) * 2; }
    const int Width;
    const int Height;
    const std::vector<std::uint8_t> Bits;
    bool Transparent(int X, int Y) const {
        return (Bits[static_cast<std::size_t>(Y) * RowBytes(Width) + X / 8] >> (7 - X % 8)) & 1;
    }
};

// Builds a picture row by row and moves it into a TGIFBitmap on Finish.
class TDIBWriter {
public:
    // PixelFormat is 8 or 24 (bits per pixel); Palette may be null.
    TDIBWriter(TGIFBitmap& Bitmap, const TGIFPalette* Palette, int Height, int Width, int PixelFormat);
    TDIBWriter(const TDIBWriter&) = delete;
    TDIBWriter& operator=(const TDIBWriter&) = delete;

    // Address of row Row (0 is the top row); raises EInvalidGraphicOperation
    // for a row outside 0..Height-1.
    std::uint8_t* RowAddress(int Row);
    // Writes the BMP file image and loads the bitmap from it.
    void Finish();

private:
    void BuildInfo();

    TGIFBitmap& FBitmap;
    TGIFPalette FPalette;
    int FHeight;
    int FWidth;
    int FBitCount;
    int FStride = 0;
    int FInfoSize = 0;
    std::vector<std::uint8_t> FFile;  // the BMP file image being built
};

}  // namespace anivert
