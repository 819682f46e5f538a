// Frames: reading one frame, bounds, pixels, pictures, masks and palettes.
#include "GIFImage.h"
#include "GIFStreamUtil.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace anivert {

TGIFSubImage::TGIFSubImage(TGIFImage* AImage) : TGIFItem(AImage), ColorTable(*this), FrameExtensions(AImage) {}

TGIFSubImage::~TGIFSubImage() {
    // Extensions reach back into the frame while they are destroyed.
    FrameExtensions.Clear();
}

void TGIFSubImage::Clear() {
    FrameExtensions.Clear();
    ColorTable.Clear();
    PixelData.clear();
    PixelData.shrink_to_fit();
    FLeft = FTop = FWidth = FHeight = 0;
    PackedFields = 0;
    Transparent = false;
    GraphicControlExtension = nullptr;
    FreeBitmap();
    FPalette.reset();
}

void TGIFSubImage::CopyFrom(const TGIFSubImage& Source) {
    if (&Source == this) return;
    Clear();
    Separator = Source.Separator;
    PackedFields = Source.PackedFields;
    FLeft = Source.FLeft;
    FTop = Source.FTop;
    FWidth = Source.FWidth;
    FHeight = Source.FHeight;
    PixelData = Source.PixelData;
    ColorTable.CopyFrom(Source.ColorTable);
    // Clones in list order: the first graphic control extension becomes the
    // frame's, as when the list is read.
    for (const auto& E : Source.FrameExtensions) FrameExtensions.Add(E->Clone(*this));
    Transparent = Source.Transparent;
    DecodedPixels = Source.DecodedPixels;
    ClearsCanvas = Source.ClearsCanvas;
    if (Source.FBitmap) FBitmap = std::make_unique<TGIFBitmap>(*Source.FBitmap);
    if (Source.FMask) FMask = std::make_unique<TGIFMask>(*Source.FMask);
    FNeedMask = Source.FNeedMask;
}

void TGIFSubImage::LoadFromStream(TStream& Stream) {
    Clear();
    FOnDemand = false;
    FHasBounds = FNoSize = false;
    DecodedPixels = 0;
    ClearsCanvas = false;
    FrameExtensions.LoadFromStream(Stream, *this);
    if (FImage && FImage->Salvage) {
        // Browsers take the last graphic control extension of a frame.
        for (const auto& E : FrameExtensions)
            if (auto* G = dynamic_cast<TGIFGraphicControlExtension*>(E.get())) GraphicControlExtension = G;
        Transparent = GraphicControlExtension && GraphicControlExtension->Transparent();
    }
    std::uint8_t B;
    if (Stream.Read(&B, 1) != 1) return;
    Stream.Seek(-1, TSeekOrigin::soCurrent);
    if (B == ';' || B == 0) return;  // a frame made only of extensions
    std::uint8_t D[10];
    gifio::ReadExact(Stream, D, 10);
    Separator = D[0];
    FLeft = D[1] | (D[2] << 8);
    FTop = D[3] | (D[4] << 8);
    FWidth = D[5] | (D[6] << 8);
    FHeight = D[7] | (D[8] << 8);
    PackedFields = D[9];
    FHasBounds = true;
    if (FWidth == 0 || FHeight == 0) {
        FWidth = FImage ? FImage->Width() : 0;
        FHeight = FImage ? FImage->Height() : 0;
        FNoSize = true;
        ReportWarning(1, gifmsg::ImageExceedsScreen);
    }
    if (PackedFields & 0x80) ColorTable.LoadFromStream(Stream, 2 << (PackedFields & 7));
    if (FImage && FImage->FDeferred) {
        // The image decodes its frames together once they are read.
        FOnDemand = FImage->DecodeOnDemand;
        GIFReadCodes(*this, Stream, FPendingCodes, !FOnDemand);
        FDecodePending = true;
        return;
    }
    GIFDecompress(*this, Stream);
    // A frame of no size draws nothing in a browser.
    if (FNoSize && FImage && FImage->Salvage) DecodedPixels = 0;
    if (FImage && FImage->RenderOnLoad) Bitmap();
}

bool TGIFSubImage::KeepCutShort() {
    if (!FHasBounds) return false;
    if (PixelData.size() != static_cast<std::size_t>(FWidth) * static_cast<std::size_t>(FHeight)) {
        DecodedPixels = 0;
        try {
            AllocatePixels(Transparent && GraphicControlExtension ? GraphicControlExtension->TransparentColorIndex() : 0);
        } catch (const GIFException&) {
            return false;
        }
    }
    return true;
}

void TGIFSubImage::MakeUndecodedTransparent() {
    const std::size_t N = PixelData.size();
    if (DecodedPixels >= N || FWidth <= 0) return;
    const std::size_t W = static_cast<std::size_t>(FWidth);
    // The rows decoded, the last perhaps in part.
    const std::size_t Rows = (DecodedPixels + W - 1) / W;
    // The transparent index: the frame's own, else one its decoded pixels
    // do not use.
    const bool WasTransparent = Transparent && GraphicControlExtension;
    int Index = WasTransparent ? GraphicControlExtension->TransparentColorIndex() : -1;
    // The rows in decoding order (the interlace passes in turn), with the
    // pass (1 to 4, 0 without interlace).
    std::vector<std::pair<int, int>> Order;
    static constexpr int Start[4] = {0, 4, 2, 1};
    static constexpr int Step[4] = {8, 8, 4, 2};
    for (int Pass = 0; Pass < (IsInterlaced() ? 4 : 1); ++Pass)
        for (int Row = IsInterlaced() ? Start[Pass] : 0; Row < FHeight; Row += IsInterlaced() ? Step[Pass] : 1)
            Order.emplace_back(Row, IsInterlaced() ? Pass + 1 : 0);
    if (Index < 0) {
        std::array<bool, 256> Used{};
        for (std::size_t I = 0; I < Rows; ++I) {
            const std::uint8_t* Row = PixelData.data() + static_cast<std::size_t>(Order[I].first) * W;
            for (std::size_t X = 0; X < std::min(W, DecodedPixels - I * W); ++X) Used[Row[X]] = true;
        }
        for (int I = 0; I < 256 && Index < 0; ++I)
            if (!Used[static_cast<std::size_t>(I)]) Index = I;
        if (Index < 0) return;  // every index is a colour: the fill value stays
        if (!GraphicControlExtension) FrameExtensions.Add(std::make_unique<TGIFGraphicControlExtension>(*this));
        GraphicControlExtension->Rec.TransparentColorIndex = static_cast<std::uint8_t>(Index);
        GraphicControlExtension->SetTransparent(true);
    }
    // The rows decoded, drawn as browsers draw an interlaced frame that is
    // still loading: a whole row of the first three passes is repeated over
    // the rows below it that later passes fill in (7, 3 and 1 rows;
    // transparent pixels of the first pass leave what is there).
    std::vector<std::uint8_t> Shown(N, static_cast<std::uint8_t>(Index));
    for (std::size_t I = 0; I < Rows; ++I) {
        const auto [Row, Pass] = Order[I];
        const std::size_t Width = std::min(W, DecodedPixels - I * W);
        static constexpr int Dup[4] = {0, 7, 3, 1};
        const int Last = Pass >= 1 && Pass <= 3 && Width == W ? std::min(Row + Dup[Pass], FHeight - 1) : Row;
        const std::uint8_t* Src = PixelData.data() + static_cast<std::size_t>(Row) * W;
        for (int R = Row; R <= Last; ++R) {
            std::uint8_t* Dst = Shown.data() + static_cast<std::size_t>(R) * W;
            for (std::size_t X = 0; X < Width; ++X)
                if (Pass > 1 || Src[X] != Index) Dst[X] = Src[X];
        }
    }
    PixelData = std::move(Shown);
    FreeBitmap();
    // A frame over the whole screen without transparency does not show the
    // frames before it where it was not decoded.
    ClearsCanvas = !WasTransparent && !FNoSize && FLeft == 0 && FTop == 0 && FImage && FWidth >= FImage->Width() &&
                   FHeight >= FImage->Height();
}

void TGIFSubImage::AllocatePixels(std::uint8_t Fill, bool WholeBound) {
    PixelData.clear();
    PixelData.shrink_to_fit();
    const std::uint64_t N = std::uint64_t(FWidth) * std::uint64_t(FHeight);
    if (N == 0) return;
    if (FImage && WholeBound)
        FImage->ReservePixels(this, N);
    else if (N > (FImage ? FImage->MaxFramePixels : GIFDefaultMaxFramePixels))
        throw GIFException(gifmsg::FrameTooLarge);
    PixelData.assign(static_cast<std::size_t>(N), Fill);
}

void TGIFSubImage::ChangeBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    for (int V : {ALeft, ATop, AWidth, AHeight})
        if (V < 0 || V > 0xFFFF) throw GIFException(gifmsg::InvalidImageDimensions);
    // The logical screen is 16-bit too: it cannot grow past 65535.
    if (ALeft + AWidth > 0xFFFF || ATop + AHeight > 0xFFFF) throw GIFException(gifmsg::ImageExceedsScreen);
    const bool Resized = AWidth != FWidth || AHeight != FHeight;
    if (Resized) {
        const std::uint64_t N = std::uint64_t(AWidth) * std::uint64_t(AHeight);
        if (FImage)
            FImage->ReservePixels(this, N);
        else if (N > GIFDefaultMaxFramePixels)
            throw GIFException(gifmsg::FrameTooLarge);
    }
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    if (Resized) {
        FreeBitmap();
        AllocatePixels(0);
    }
    if (!FImage) return;
    bool Warned = false;
    if (FLeft + FWidth > FImage->Width()) {
        if (FImage->Width() > 0) {
            ReportWarning(1, gifmsg::WidthTooSmall);
            Warned = true;
        }
        FImage->ScreenHeader.ScreenWidth = static_cast<std::uint16_t>(FLeft + FWidth);
    }
    if (FTop + FHeight > FImage->Height()) {
        if (FImage->Height() > 0) {
            ReportWarning(1, gifmsg::HeightTooSmall);
            Warned = true;
        }
        FImage->ScreenHeader.ScreenHeight = static_cast<std::uint16_t>(FTop + FHeight);
    }
    if (Warned) ReportWarning(1, gifmsg::ImageExceedsScreen);
}

TGIFColorMap& TGIFSubImage::UsedColorMap() const {
    if (ColorTable.Count() > 0) return const_cast<TGIFLocalColorMap&>(ColorTable);
    if (FImage && FImage->GlobalColorMap().Count() > 0) return FImage->GlobalColorMap();
    return const_cast<TGIFLocalColorMap&>(ColorTable);
}

std::uint8_t TGIFSubImage::PixelAt(int X, int Y) const {
    if (X < 0 || X >= FWidth || Y < 0 || Y >= FHeight || PixelData.empty())
        throw GIFException(gifmsg::InvalidPixelCoordinates);
    return PixelData[static_cast<std::size_t>(Y) * FWidth + X];
}

std::uint8_t* TGIFSubImage::RowAddress(int Y) {
    if (PixelData.empty()) {
        AllocatePixels(0);
        if (PixelData.empty()) throw GIFException(gifmsg::ImageIsEmpty);
    }
    if (Y < 0 || Y >= FHeight) throw GIFException(gifmsg::InvalidPixelCoordinates);
    return PixelData.data() + static_cast<std::size_t>(Y) * FWidth;
}

// ---------------------------------------------------------------- pictures

void TGIFSubImage::FreeBitmap() {
    FBitmap.reset();
    FMask.reset();
    FNeedMask = true;
}

void TGIFSubImage::LocalColorMapChanged() {
    FPalette.reset();
    FBitmap.reset();
}

void TGIFSubImage::GlobalColorMapChanged() {
    // A picture made with the global map's colours would show old colours.
    if (ColorTable.Count() == 0) FBitmap.reset();
}

const TGIFBitmap* TGIFSubImage::Bitmap() {
    if (!FBitmap && !Empty()) BuildBitmap();
    return FBitmap.get();
}

void TGIFSubImage::SetBitmap(bool Value) {
    if (Value)
        Bitmap();
    else
        FBitmap.reset();
}

bool TGIFSubImage::MaskAvailable() {
    if (FNeedMask && Transparent) {
        FBitmap.reset();
        Bitmap();
    }
    return FMask != nullptr;
}

void TGIFSubImage::BuildBitmap() {
    if (FImage) FImage->Progress(TProgressStage::psStarting, 0, gifmsg::Rendering);
    try {
        auto Target = std::make_unique<TGIFBitmap>();
        if (FImage && FImage->DitheringCondition())
            BuildDithered(*Target);
        else
            BuildPlain(*Target);
        FBitmap = std::move(Target);
    } catch (...) {
        if (FImage) FImage->Progress(TProgressStage::psEnding, 0, gifmsg::Rendering);
        throw;
    }
    if (FImage) FImage->Progress(TProgressStage::psEnding, 100, gifmsg::Rendering);
}

void TGIFSubImage::BuildPlain(TGIFBitmap& Target) {
    TDIBWriter Writer(Target, Palette(), FHeight, FWidth, 8);
    const bool WantMask = FNeedMask && Transparent && GraphicControlExtension;
    FNeedMask = false;
    const int TransparentIndex = WantMask ? GraphicControlExtension->TransparentColorIndex() : -1;
    const int RowBytes = TGIFMask::RowBytes(FWidth);
    std::vector<std::uint8_t> MaskBits;
    if (WantMask) MaskBits.assign(static_cast<std::size_t>(RowBytes) * FHeight, 0);
    bool AnyTransparent = false;
    for (int Y = 0; Y < FHeight; ++Y) {
        if (Y % 32 == 0 && FImage)
            FImage->Progress(TProgressStage::psRunning, static_cast<int>(std::int64_t(Y) * 100 / FHeight),
                             gifmsg::Rendering);
        const std::uint8_t* Src = PixelData.data() + static_cast<std::size_t>(Y) * FWidth;
        std::memcpy(Writer.RowAddress(Y), Src, static_cast<std::size_t>(FWidth));
        if (!WantMask) continue;
        std::uint8_t* MaskRow = MaskBits.data() + static_cast<std::size_t>(Y) * RowBytes;
        for (int X = 0; X < FWidth; ++X)
            if (Src[X] == TransparentIndex) {
                MaskRow[X >> 3] |= static_cast<std::uint8_t>(0x80 >> (X & 7));
                AnyTransparent = true;
            }
    }
    if (AnyTransparent) FMask = std::make_unique<TGIFMask>(FWidth, FHeight, std::move(MaskBits));
    Writer.Finish();
}

void TGIFSubImage::BuildDithered(TGIFBitmap& Target) {
    TDIBWriter Writer(Target, Palette(), FHeight, FWidth, 8);
    const bool WantMask = FNeedMask && Transparent && GraphicControlExtension;
    FNeedMask = false;
    const int TransparentIndex =
        Transparent && GraphicControlExtension ? GraphicControlExtension->TransparentColorIndex() : -1;
    // Colours of the indices; an index past the map shows black, as in the
    // plain picture's colour table.
    const TGIFColorMap& Map = UsedColorMap();
    TGIFColor Colors[256] = {};
    std::copy(Map.Entries(), Map.Entries() + Map.Count(), Colors);
    auto Level = [](int V) { return (V + 3) / 51; };
    auto CubeIndex = [&](const TGIFColor& C) { return 36 * Level(C.Red) + 6 * Level(C.Green) + Level(C.Blue); };
    const std::uint8_t TransparentFill =
        TransparentIndex >= 0 ? static_cast<std::uint8_t>(CubeIndex(Colors[TransparentIndex])) : 0;

    const int RowBytes = TGIFMask::RowBytes(FWidth);
    std::vector<std::uint8_t> MaskBits;
    if (WantMask) MaskBits.assign(static_cast<std::size_t>(RowBytes) * FHeight, 0);
    bool AnyTransparent = false;
    // Carried errors (in 16ths) per channel of this row and the next, with
    // one guard pixel on each side.
    const std::size_t Cells = static_cast<std::size_t>(FWidth + 2) * 3;
    std::vector<int> Cur(Cells, 0);
    std::vector<int> Next(Cells, 0);
    for (int Y = 0; Y < FHeight; ++Y) {
        if (Y % 32 == 0 && FImage)
            FImage->Progress(TProgressStage::psRunning, static_cast<int>(std::int64_t(Y) * 100 / FHeight),
                             gifmsg::Rendering);
        const std::uint8_t* Src = PixelData.data() + static_cast<std::size_t>(Y) * FWidth;
        std::uint8_t* Dst = Writer.RowAddress(Y);
        const int Dir = (Y % 2 == 0) ? 1 : -1;
        for (int I = 0; I < FWidth; ++I) {
            const int X = Dir > 0 ? I : FWidth - 1 - I;
            if (Src[X] == TransparentIndex) {
                Dst[X] = TransparentFill;
                if (WantMask) {
                    MaskBits[static_cast<std::size_t>(Y) * RowBytes + (X >> 3)] |=
                        static_cast<std::uint8_t>(0x80 >> (X & 7));
                    AnyTransparent = true;
                }
                continue;
            }
            const TGIFColor& C = Colors[Src[X]];
            const int In[3] = {C.Red, C.Green, C.Blue};
            int Lv[3];
            int* Here = Cur.data() + static_cast<std::size_t>(X + 1) * 3;
            int* Ahead = Here + Dir * 3;
            int* Below = Next.data() + static_cast<std::size_t>(X + 1) * 3;
            for (int Ch = 0; Ch < 3; ++Ch) {
                int V = In[Ch] + (Here[Ch] + 8) / 16;
                V = V < 0 ? 0 : (V > 255 ? 255 : V);
                Lv[Ch] = Level(V);
                const int Err = V - Lv[Ch] * 51;
                Ahead[Ch] += 7 * Err;
                Below[Ch - Dir * 3] += 3 * Err;
                Below[Ch] += 5 * Err;
                Below[Ch + Dir * 3] += Err;
            }
            Dst[X] = static_cast<std::uint8_t>(36 * Lv[0] + 6 * Lv[1] + Lv[2]);
        }
        std::swap(Cur, Next);
        std::fill(Next.begin(), Next.end(), 0);
    }
    if (AnyTransparent) FMask = std::make_unique<TGIFMask>(FWidth, FHeight, std::move(MaskBits));
    Writer.Finish();
}

const TGIFPalette* TGIFSubImage::Palette() {
    if (FPalette) return FPalette.get();
    if (FImage && FImage->DitheringCondition())
        FPalette = std::make_unique<TGIFPalette>(GIFCubePalette());
    else if (ColorTable.Count() == 0)
        return FImage ? FImage->Palette() : nullptr;
    else
        FPalette = std::make_unique<TGIFPalette>(ColorTable.MakePalette());
    return FPalette.get();
}

}  // namespace anivert
