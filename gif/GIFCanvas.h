// GIFImage unit: the canvas the image draws on. A canvas is a 32-bit pixel
// surface of our own (no toolkit): rows top to bottom without padding, each
// pixel an opaque 0xFFRRGGBB word, the layout a toolkit image of 32-bit RGB
// pixels can wrap without copying.
#pragma once
#ifndef ANIVERT_GIFIMAGE_UNIT
#error "include GIFImage.h"
#endif

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "Types.h"

namespace anivert {

class TGIFBitmap;
class TGIFMask;

// 0x00BBGGRR -> opaque 0xFFRRGGBB.
constexpr std::uint32_t GIFColorToPixel(TColor C) {
    return 0xFF000000u | ((C & 0xFFu) << 16) | (C & 0xFF00u) | ((C >> 16) & 0xFFu);
}
// 0xAARRGGBB -> 0x00BBGGRR.
constexpr TColor GIFPixelToColor(std::uint32_t P) {
    return ((P >> 16) & 0xFFu) | (P & 0xFF00u) | ((P & 0xFFu) << 16);
}

// Calls Action(origin) for every tile of TileWidth x TileHeight laid from
// Area's top-left corner that overlaps both Area and Visible (nothing for
// empty tiles): a large area over a small canvas costs only the tiles seen.
void GIFForEachTile(const TRect& Area, int TileWidth, int TileHeight, const TRect& Visible,
                    const std::function<void(TPoint)>& Action);

class TGIFCanvas {
public:
    // Identifies a canvas's pixel store for as long as the store lives: a
    // new size or ReleaseHandle gives the canvas a new store and the old
    // handle expires; every handle expires with the canvas.
    using THandle = std::weak_ptr<const void>;

    TGIFCanvas();
    // Width x Height pixels of Color (0x00BBGGRR). Sizes below 0 count as
    // 0; a store that cannot be had raises GIFException.
    TGIFCanvas(int Width, int Height, TColor Color = 0);
    ~TGIFCanvas();
    TGIFCanvas(const TGIFCanvas&) = delete;
    TGIFCanvas& operator=(const TGIFCanvas&) = delete;

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    TRect BoundsRect() const { return Rect(0, 0, FWidth, FHeight); }
    bool Empty() const { return FWidth <= 0 || FHeight <= 0; }
    // A new store of Width x Height pixels of Color; the old handle expires
    // (even when the size stays).
    void SetSize(int Width, int Height, TColor Color = 0);
    // The store as it is gets a new handle (the old one expires), as when a
    // toolkit releases a device context and makes another.
    void ReleaseHandle();
    THandle Handle() const { return FHandle; }
    // Expires when the canvas is destroyed (and only then).
    THandle Lifetime() const { return FLifetime; }

    std::uint32_t* ScanLine(int Y) {
        return FPixels.data() + static_cast<std::size_t>(Y) * static_cast<std::size_t>(FWidth);
    }
    const std::uint32_t* ScanLine(int Y) const {
        return FPixels.data() + static_cast<std::size_t>(Y) * static_cast<std::size_t>(FWidth);
    }
    std::uint32_t* Bits() { return FPixels.data(); }
    const std::uint32_t* Bits() const { return FPixels.data(); }
    int BytesPerLine() const { return FWidth * 4; }
    // The pixel word at (X, Y); 0 outside the canvas.
    std::uint32_t Pixel(int X, int Y) const;
    // The colour at (X, Y) as 0x00BBGGRR; 0 outside the canvas.
    TColor Colors(int X, int Y) const { return GIFPixelToColor(Pixel(X, Y)); }

    // Every operation below is clipped to the canvas and, when given, to
    // Clip; none of them notifies a change (callers do, once, with Changed).

    void FillRect(const TRect& R, TColor Color, const std::optional<TRect>& Clip = std::nullopt);
    // Copies Source's SourceRect into Dest, stretched to Dest's size (the
    // nearest source pixel) when the sizes differ. Pixels whose source lies
    // outside Source stay as they are.
    void CopyRect(const TRect& Dest, const TGIFCanvas& Source, const TRect& SourceRect,
                  const std::optional<TRect>& Clip = std::nullopt);
    // Draws Source whole at its own size repeatedly across Dest, from
    // Dest's top-left corner.
    void TileCopy(const TRect& Dest, const TGIFCanvas& Source);
    // Draws an indexed (or 24-bit) picture stretched to Dest with the
    // colours of its colour table. With Mask (the picture's size), pixels
    // whose mask bit is 1 leave the canvas as it is.
    void StretchDraw(const TRect& Dest, const TGIFBitmap& Picture, const TGIFMask* Mask = nullptr,
                     const std::optional<TRect>& Clip = std::nullopt);
    // The picture at its own size repeatedly across Dest, from Dest's
    // top-left corner, through Mask as StretchDraw.
    void TileDraw(const TRect& Dest, const TGIFBitmap& Picture, const TGIFMask* Mask = nullptr);
    // Copies another canvas of the same size (or takes its size).
    void Assign(const TGIFCanvas& Source);

    // Tells OnChange that the pixels changed.
    void Changed();
    std::function<void()> OnChange;

private:
    void Allocate(int Width, int Height, TColor Color);
    // The part of R that lies on the canvas and within Clip.
    TRect Visible(const TRect& R, const std::optional<TRect>& Clip) const;

    int FWidth = 0;
    int FHeight = 0;
    std::vector<std::uint32_t> FPixels;
    std::shared_ptr<const char> FHandle;
    std::shared_ptr<const char> FLifetime;
};

}  // namespace anivert
