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

}  // namespace anivert
