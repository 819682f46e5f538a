// Small value types shared by every library: rectangles, points, colours.
#pragma once

#include <cstdint>

namespace anivert {

// A rectangle in the Windows layout: Right and Bottom are exclusive when the
// rectangle describes pixels, plain coordinates otherwise.
struct TRect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;

    constexpr std::int32_t Width() const { return Right - Left; }
    constexpr std::int32_t Height() const { return Bottom - Top; }
    constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

constexpr TRect Rect(std::int32_t Left, std::int32_t Top, std::int32_t Right, std::int32_t Bottom) {
    return TRect{Left, Top, Right, Bottom};
}

struct TPoint {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    friend constexpr bool operator==(const TPoint&, const TPoint&) = default;
};

// A colour in the 0x00BBGGRR layout (red in the low byte).
using TColor = std::uint32_t;

constexpr std::uint8_t RedOf(TColor Color) { return static_cast<std::uint8_t>(Color & 0xFF); }
constexpr std::uint8_t GreenOf(TColor Color) { return static_cast<std::uint8_t>((Color >> 8) & 0xFF); }
constexpr std::uint8_t BlueOf(TColor Color) { return static_cast<std::uint8_t>((Color >> 16) & 0xFF); }

// A pixel of the work surfaces and pictures: 0xAARRGGBB (alpha in the high
// byte, blue in the low one).
using TPixelARGB = std::uint32_t;

constexpr TPixelARGB PixelARGB(std::uint8_t Alpha, std::uint8_t Red, std::uint8_t Green, std::uint8_t Blue) {
    return (TPixelARGB{Alpha} << 24) | (TPixelARGB{Red} << 16) | (TPixelARGB{Green} << 8) | Blue;
}

}  // namespace anivert
