// The 32-bit work surface of the frame composition.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Types.h"

namespace anivert {

// A rectangle of 0xAARRGGBB pixels, rows top to bottom.
class TBitmap32 {
public:
    static constexpr TPixelARGB Color32(std::uint8_t R, std::uint8_t G, std::uint8_t B, std::uint8_t A) {
        return PixelARGB(A, R, G, B);
    }

    std::int32_t Width() const { return FWidth; }
    std::int32_t Height() const { return FHeight; }
    bool Empty() const { return FWidth <= 0 || FHeight <= 0; }

    // A new size makes every pixel 0x00000000; the same size changes nothing.
    void SetSize(std::int32_t W, std::int32_t H);
    // Every pixel opaque black.
    void Clear() { Fill(0xFF000000u); }
    void Fill(std::uint32_t C);
    void SetPixel(std::int32_t X, std::int32_t Y, std::uint32_t C) {
        if (X >= 0 && X < FWidth && Y >= 0 && Y < FHeight)
            FPixels[static_cast<std::size_t>(Y) * static_cast<std::size_t>(FWidth) + static_cast<std::size_t>(X)] = C;
    }
    std::uint32_t Pixel(std::int32_t X, std::int32_t Y) const {
        return FPixels[static_cast<std::size_t>(Y) * static_cast<std::size_t>(FWidth) + static_cast<std::size_t>(X)];
    }
    std::uint32_t* Row(std::int32_t Y) { return FPixels.data() + static_cast<std::size_t>(Y) * static_cast<std::size_t>(FWidth); }
    const std::uint32_t* Row(std::int32_t Y) const {
        return FPixels.data() + static_cast<std::size_t>(Y) * static_cast<std::size_t>(FWidth);
    }
    // Sets a rectangle (clipped to the surface) to one colour.
    void FillRect(std::int32_t Left, std::int32_t Top, std::int32_t Right, std::int32_t Bottom, std::uint32_t C);
    void Assign(const TBitmap32& Source) {
        FWidth = Source.FWidth;
        FHeight = Source.FHeight;
        FPixels = Source.FPixels;
    }

    // Reads a BMP file: below 32 bits every alpha is 255, at 32 bits the
    // fourth byte of each pixel is its alpha.
    void LoadFile(const std::string& FileName);
    // Writes an uncompressed 32-bit BMP file with the alpha in the fourth byte.
    void SaveFile(const std::string& FileName) const;

private:
    std::int32_t FWidth = 0;
    std::int32_t FHeight = 0;
    std::vector<std::uint32_t> FPixels;
};

// Writes pixels (rows top to bottom, 0xAARRGGBB) as a bottom-up BMP of 24
// or 32 bits per pixel.
void WriteBMP32(const std::string& FileName, std::int32_t Width, std::int32_t Height, const std::uint32_t* Pixels,
                int Bits);

}  // namespace anivert
