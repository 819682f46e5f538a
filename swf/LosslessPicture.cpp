#include "LosslessPicture.h"

#include <algorithm>
#include <array>
#include <string>

#include "FlashImage.h"
#include "ImageReader.h"

namespace anivert {

namespace {

constexpr std::uint32_t Transparent = 0;

// A colour as the tags store it: multiplied by its alpha, so that a
// transparent colour is 0, 0, 0, 0.
std::uint32_t Premultiplied(std::uint32_t C) {
    const std::uint32_t A = C >> 24;
    if (A == 255) return C;
    if (A == 0) return Transparent;
    auto Mul = [A](std::uint32_t V) { return (V * A + 127) / 255; };
    return (A << 24) | (Mul((C >> 16) & 0xFF) << 16) | (Mul((C >> 8) & 0xFF) << 8) | Mul(C & 0xFF);
}

void CheckSize(std::int32_t Width, std::int32_t Height, std::size_t PixelBytes) {
    const std::int64_t Padded = (static_cast<std::int64_t>(Width) + 3) / 4 * 4;
    if (Width <= 0 || Height <= 0 || Width > TFlashImage::MaxSide || Height > TFlashImage::MaxSide ||
        Padded * Height * static_cast<std::int64_t>(PixelBytes) > TBMPReader::MaxPixelMemory)
        throw EImageError("A picture of " + std::to_string(Width) + " x " + std::to_string(Height) +
                          " pixels cannot be a movie bitmap");
}

// Writes the colour table of a colour-mapped picture at the start of Raw;
// the colours are already as stored (multiplied by their alpha).
void PutTable(TLosslessPicture& P, const std::uint32_t* Colors) {
    std::uint8_t* D = P.Raw.data();
    for (int I = 0; I < P.ColorCount; ++I) {
        const std::uint32_t C = Colors[I];
        *D++ = static_cast<std::uint8_t>(C >> 16);
        *D++ = static_cast<std::uint8_t>(C >> 8);
        *D++ = static_cast<std::uint8_t>(C);
        if (P.HasAlpha) *D++ = static_cast<std::uint8_t>(C >> 24);
    }
}

// Colours seen so far and their indices: open addressing over a table four
// times the largest palette, so probes stay short.
class TColorIndex {
public:
    TColorIndex() { FValues.fill(-1); }
    // The index of C, a new one when C is new; -1 when the palette is full.
    int Find(std::uint32_t C) {
        std::size_t Slot = (C * 0x9E3779B1u) >> (32 - Bits);
        while (FValues[Slot] >= 0) {
            if (FKeys[Slot] == C) return FValues[Slot];
            Slot = (Slot + 1) & (Slots - 1);
        }
        if (Count == TLosslessPicture::MaxColors) return -1;
        FKeys[Slot] = C;
        FValues[Slot] = static_cast<std::int16_t>(Count);
        Colors[static_cast<std::size_t>(Count)] = C;
        return Count++;
    }

    std::array<std::uint32_t, TLosslessPicture::MaxColors> Colors{};
    int Count = 0;

private:
    static constexpr int Bits = 10;
    static constexpr std::size_t Slots = std::size_t{1} << Bits;
    std::array<std::uint32_t, Slots> FKeys{};
    std::array<std::int16_t, Slots> FValues{};
};

}  // namespace

std::size_t TLosslessPicture::RowBytes() const {
    const std::size_t W = static_cast<std::size_t>(std::max(Width, 0));
    return BitmapFormat == bfColorMapped8 ? (W + 3) / 4 * 4 : W * 4;
}

std::size_t TLosslessPicture::TableBytes() const {
    return BitmapFormat == bfColorMapped8 ? static_cast<std::size_t>(ColorCount) * (HasAlpha ? 4 : 3) : 0;
}

TLosslessPicture LosslessFromARGB(std::int32_t Width, std::int32_t Height, const std::uint32_t* Pixels,
                                  std::size_t Stride) {
    CheckSize(Width, Height, 4);
    TLosslessPicture P;
    P.Width = Width;
    P.Height = Height;
    const std::size_t W = static_cast<std::size_t>(Width), H = static_cast<std::size_t>(Height);

    // Colour-mapped when the colours fit: the indices first, the table in
    // front of them once its size is known.
    P.BitmapFormat = bfColorMapped8;
    const std::size_t RowBytes = P.RowBytes();
    std::vector<std::uint8_t> Indices(RowBytes * H, 0);
    TColorIndex Index;
    bool Fits = true;
    bool Alpha = false;
    for (std::size_t Y = 0; Y < H && Fits; ++Y) {
        const std::uint32_t* Row = Pixels + Y * Stride;
        std::uint8_t* Out = Indices.data() + Y * RowBytes;
        std::uint32_t Last = ~Premultiplied(Row[0]);
        int LastIndex = 0;
        for (std::size_t X = 0; X < W; ++X) {
            const std::uint32_t C = Premultiplied(Row[X]);
            if (C != Last) {
                LastIndex = Index.Find(C);
                if (LastIndex < 0) {
                    Fits = false;
                    break;
                }
                Last = C;
                Alpha = Alpha || (C >> 24) != 255;
            }
            Out[X] = static_cast<std::uint8_t>(LastIndex);
        }
    }
    if (Fits) {
        P.HasAlpha = Alpha;
        P.ColorCount = Index.Count;
        P.Raw.resize(P.TableBytes() + Indices.size());
        PutTable(P, Index.Colors.data());
        std::copy(Indices.begin(), Indices.end(), P.Raw.begin() + static_cast<std::ptrdiff_t>(P.TableBytes()));
        return P;
    }

    // More colours: 32 bits a pixel, alpha first.
    Indices = {};
    P.BitmapFormat = bfRGB32;
    P.ColorCount = 0;
    Alpha = false;
    for (std::size_t Y = 0; Y < H && !Alpha; ++Y)
        for (std::size_t X = 0; X < W; ++X)
            if ((Pixels[Y * Stride + X] >> 24) != 255) {
                Alpha = true;
                break;
            }
    P.HasAlpha = Alpha;
    P.Raw.resize(W * 4 * H);
    std::uint8_t* D = P.Raw.data();
    for (std::size_t Y = 0; Y < H; ++Y) {
        const std::uint32_t* Row = Pixels + Y * Stride;
        for (std::size_t X = 0; X < W; ++X, D += 4) {
            // Without alpha the first byte is a pad byte, written as 255.
            const std::uint32_t C = Alpha ? Premultiplied(Row[X]) : (Row[X] | 0xFF000000u);
            D[0] = static_cast<std::uint8_t>(C >> 24);
            D[1] = static_cast<std::uint8_t>(C >> 16);
            D[2] = static_cast<std::uint8_t>(C >> 8);
            D[3] = static_cast<std::uint8_t>(C);
        }
    }
    return P;
}

TLosslessPicture LosslessFromIndices(std::int32_t Width, std::int32_t Height, const std::uint8_t* Indices,
                                     std::size_t Stride, const std::uint32_t* Table, int TableSize) {
    CheckSize(Width, Height, 1);
    TLosslessPicture P;
    P.Width = Width;
    P.Height = Height;
    P.BitmapFormat = bfColorMapped8;
    const std::size_t W = static_cast<std::size_t>(Width), H = static_cast<std::size_t>(Height);
    std::array<bool, 256> Used{};
    for (std::size_t Y = 0; Y < H; ++Y) {
        const std::uint8_t* Row = Indices + Y * Stride;
        for (std::size_t X = 0; X < W; ++X) Used[Row[X]] = true;
    }
    // Only the entries in use go into the table, in their order: a frame
    // of a few colours from a large map takes a few entries.
    TableSize = std::clamp(TableSize, 0, 256);
    std::array<std::uint8_t, 256> NewIndex{};
    std::array<std::uint32_t, 256> Colors{};
    for (int I = 0; I < 256; ++I) {
        if (!Used[static_cast<std::size_t>(I)]) continue;
        const std::uint32_t C = I < TableSize ? Table[I] : 0xFF000000u;
        NewIndex[static_cast<std::size_t>(I)] = static_cast<std::uint8_t>(P.ColorCount);
        Colors[static_cast<std::size_t>(P.ColorCount++)] = C;
        P.HasAlpha = P.HasAlpha || (C >> 24) != 255;
    }
    if (P.HasAlpha)
        for (std::uint32_t& C : Colors) C = Premultiplied(C);
    const std::size_t RowBytes = P.RowBytes();
    P.Raw.assign(P.TableBytes() + RowBytes * H, 0);
    PutTable(P, Colors.data());
    std::uint8_t* D = P.Raw.data() + P.TableBytes();
    for (std::size_t Y = 0; Y < H; ++Y, D += RowBytes) {
        const std::uint8_t* Row = Indices + Y * Stride;
        for (std::size_t X = 0; X < W; ++X) D[X] = NewIndex[Row[X]];
    }
    return P;
}

}  // namespace anivert
