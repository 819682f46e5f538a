// The canvas: a 32-bit pixel surface and the drawing the image needs.
#include "GIFImage.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace anivert {

namespace {

TRect Intersect(const TRect& A, const TRect& B) {
    return Rect(std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right),
                std::min(A.Bottom, B.Bottom));
}

// Source coordinate of destination offset D (0 <= D < DestSize) when
// SourceSize pixels are stretched over DestSize.
int SourceOffset(std::int64_t D, int DestSize, int SourceSize) {
    return static_cast<int>(D * SourceSize / DestSize);
}

// The colours of a picture's colour table as pixel words.
void TableWords(const TGIFBitmap& Picture, std::uint32_t (&Words)[256]) {
    for (int I = 0; I < 256; ++I) Words[I] = GIFColorToPixel(Picture.ColorTableEntry(I));
}

}  // namespace

void GIFForEachTile(const TRect& Area, int TileWidth, int TileHeight, const TRect& Visible,
                    const std::function<void(TPoint)>& Action) {
    const TRect V = Intersect(Area, Visible);
    if (V.IsEmpty() || TileWidth <= 0 || TileHeight <= 0) return;
    // The first tile that reaches into V, in each direction.
    const std::int64_t X0 = Area.Left + (std::int64_t(V.Left) - Area.Left) / TileWidth * TileWidth;
    const std::int64_t Y0 = Area.Top + (std::int64_t(V.Top) - Area.Top) / TileHeight * TileHeight;
    for (std::int64_t Y = Y0; Y < V.Bottom; Y += TileHeight)
        for (std::int64_t X = X0; X < V.Right; X += TileWidth)
            Action(TPoint{static_cast<std::int32_t>(X), static_cast<std::int32_t>(Y)});
}

TGIFCanvas::TGIFCanvas() : FHandle(std::make_shared<const char>()), FLifetime(std::make_shared<const char>()) {}

TGIFCanvas::TGIFCanvas(int Width, int Height, TColor Color) : TGIFCanvas() { Allocate(Width, Height, Color); }

TGIFCanvas::~TGIFCanvas() = default;

void TGIFCanvas::Allocate(int Width, int Height, TColor Color) {
    Width = std::max(0, Width);
    Height = std::max(0, Height);
    const std::uint64_t N = std::uint64_t(Width) * std::uint64_t(Height);
    if (N > GIFDefaultMaxFramePixels) throw GIFException(gifmsg::FrameTooLarge);
    std::vector<std::uint32_t> Pixels;
    try {
        Pixels.assign(static_cast<std::size_t>(N), GIFColorToPixel(Color));
    } catch (const std::bad_alloc&) {
        throw GIFException(gifmsg::DIBOutOfMemory);
    }
    FPixels = std::move(Pixels);
    FWidth = Width;
    FHeight = Height;
}

void TGIFCanvas::SetSize(int Width, int Height, TColor Color) {
    Allocate(Width, Height, Color);
    ReleaseHandle();
}

void TGIFCanvas::ReleaseHandle() { FHandle = std::make_shared<const char>(); }

std::uint32_t TGIFCanvas::Pixel(int X, int Y) const {
    if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight) return 0;
    return ScanLine(Y)[X];
}

TRect TGIFCanvas::Visible(const TRect& R, const std::optional<TRect>& Clip) const {
    TRect V = Intersect(R, BoundsRect());
    if (Clip) V = Intersect(V, *Clip);
    return V;
}

void TGIFCanvas::FillRect(const TRect& R, TColor Color, const std::optional<TRect>& Clip) {
    const TRect V = Visible(R, Clip);
    if (V.IsEmpty()) return;
    const std::uint32_t Word = GIFColorToPixel(Color);
    for (int Y = V.Top; Y < V.Bottom; ++Y) std::fill(ScanLine(Y) + V.Left, ScanLine(Y) + V.Right, Word);
}

void TGIFCanvas::CopyRect(const TRect& Dest, const TGIFCanvas& Source, const TRect& SourceRect,
                          const std::optional<TRect>& Clip) {
    if (Dest.IsEmpty() || SourceRect.IsEmpty()) return;
    const int SW = SourceRect.Width(), SH = SourceRect.Height();
    const int DW = Dest.Width(), DH = Dest.Height();
    TRect V = Visible(Dest, Clip);
    if (V.IsEmpty()) return;
    if (SW == DW && SH == DH) {
        // Same size: the part that lies on both canvases, row by row.
        const int DX = SourceRect.Left - Dest.Left, DY = SourceRect.Top - Dest.Top;
        V = Intersect(V, Rect(-DX, -DY, Source.FWidth - DX, Source.FHeight - DY));
        if (V.IsEmpty()) return;
        const std::size_t N = static_cast<std::size_t>(V.Width());
        if (&Source == this && DY < 0) {
            // Rows move down: copy from the bottom up.
            for (int Y = V.Bottom - 1; Y >= V.Top; --Y)
                std::memmove(ScanLine(Y) + V.Left, Source.ScanLine(Y + DY) + V.Left + DX, N * 4);
        } else {
            for (int Y = V.Top; Y < V.Bottom; ++Y)
                std::memmove(ScanLine(Y) + V.Left, Source.ScanLine(Y + DY) + V.Left + DX, N * 4);
        }
        return;
    }
    // Stretched: the nearest source pixel of every destination pixel. A
    // canvas stretched onto itself reads from a copy.
    std::vector<std::uint32_t> Copy;
    const TGIFCanvas* From = &Source;
    if (&Source == this) Copy = FPixels;
    std::vector<int> Columns(static_cast<std::size_t>(V.Width()));
    for (int X = V.Left; X < V.Right; ++X)
        Columns[static_cast<std::size_t>(X - V.Left)] = SourceRect.Left + SourceOffset(X - Dest.Left, DW, SW);
    for (int Y = V.Top; Y < V.Bottom; ++Y) {
        const int SY = SourceRect.Top + SourceOffset(Y - Dest.Top, DH, SH);
        if (SY < 0 || SY >= From->FHeight) continue;
        const std::uint32_t* Row =
            Copy.empty() ? From->ScanLine(SY) : Copy.data() + static_cast<std::size_t>(SY) * From->FWidth;
        std::uint32_t* Out = ScanLine(Y);
        for (int X = V.Left; X < V.Right; ++X) {
            const int SX = Columns[static_cast<std::size_t>(X - V.Left)];
            if (SX >= 0 && SX < From->FWidth) Out[X] = Row[SX];
        }
    }
}

void TGIFCanvas::TileCopy(const TRect& Dest, const TGIFCanvas& Source) {
    if (Source.Empty() || &Source == this) return;
    GIFForEachTile(Dest, Source.FWidth, Source.FHeight, BoundsRect(), [&](TPoint P) {
        CopyRect(Rect(P.X, P.Y, P.X + Source.FWidth, P.Y + Source.FHeight), Source, Source.BoundsRect(), Dest);
    });
}

void TGIFCanvas::StretchDraw(const TRect& Dest, const TGIFBitmap& Picture, const TGIFMask* Mask,
                             const std::optional<TRect>& Clip) {
    const int SW = Picture.Width(), SH = Picture.Height();
    if (Dest.IsEmpty() || SW <= 0 || SH <= 0 || Picture.Empty()) return;
    if (Mask && (Mask->Width != SW || Mask->Height != SH)) Mask = nullptr;
    const TRect V = Visible(Dest, Clip);
    if (V.IsEmpty()) return;
    const int DW = Dest.Width(), DH = Dest.Height();
    std::uint32_t Words[256];
    const bool Indexed = Picture.BitCount() == 8;
    if (Indexed) TableWords(Picture, Words);
    std::vector<int> Columns(static_cast<std::size_t>(V.Width()));
    for (int X = V.Left; X < V.Right; ++X)
        Columns[static_cast<std::size_t>(X - V.Left)] = SourceOffset(X - Dest.Left, DW, SW);
    const int MaskRow = TGIFMask::RowBytes(SW);
    for (int Y = V.Top; Y < V.Bottom; ++Y) {
        const int SY = SourceOffset(Y - Dest.Top, DH, SH);
        const std::uint8_t* Row = Picture.ScanLine(SY);
        const std::uint8_t* Bits = Mask ? Mask->Bits.data() + static_cast<std::size_t>(SY) * MaskRow : nullptr;
        std::uint32_t* Out = ScanLine(Y);
        for (int X = V.Left; X < V.Right; ++X) {
            const int SX = Columns[static_cast<std::size_t>(X - V.Left)];
            if (Bits && ((Bits[SX >> 3] >> (7 - (SX & 7))) & 1)) continue;
            if (Indexed) {
                Out[X] = Words[Row[SX]];
            } else {
                const std::uint8_t* P = Row + 3 * SX;
                Out[X] = 0xFF000000u | (std::uint32_t(P[2]) << 16) | (std::uint32_t(P[1]) << 8) | P[0];
            }
        }
    }
}

void TGIFCanvas::TileDraw(const TRect& Dest, const TGIFBitmap& Picture, const TGIFMask* Mask) {
    const int W = Picture.Width(), H = Picture.Height();
    GIFForEachTile(Dest, W, H, BoundsRect(),
                   [&](TPoint P) { StretchDraw(Rect(P.X, P.Y, P.X + W, P.Y + H), Picture, Mask, Dest); });
}

void TGIFCanvas::Assign(const TGIFCanvas& Source) {
    if (&Source == this) return;
    if (Source.FWidth != FWidth || Source.FHeight != FHeight) SetSize(Source.FWidth, Source.FHeight);
    std::copy(Source.FPixels.begin(), Source.FPixels.end(), FPixels.begin());
}

void TGIFCanvas::Changed() {
    if (OnChange) OnChange();
}

}  // namespace anivert
