#include "FrameComposition.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

#include "FlashObjects.h"
#include "ImageReader.h"
#include "GIFImage.h"

namespace anivert {

namespace {

std::uint8_t DisposalOf(const TGIFSubImage& F) {
    return F.GraphicControlExtension ? F.GraphicControlExtension->Disposal() : 0;
}

bool IsTransparent(const TGIFSubImage& F) { return F.GraphicControlExtension && F.GraphicControlExtension->Transparent(); }

TRect Intersect(const TRect& A, const TRect& B) {
    return TRect{std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right), std::min(A.Bottom, B.Bottom)};
}

bool Inside(const TRect& Inner, const TRect& Outer) {
    return Inner.Left >= Outer.Left && Inner.Top >= Outer.Top && Inner.Right <= Outer.Right && Inner.Bottom <= Outer.Bottom;
}

// The frame's colours as opaque 0xAARRGGBB values, by index. Indices past
// the map show black, as browsers show them.
std::array<std::uint32_t, 256> ColourTable(TGIFSubImage& Frame) {
    std::array<std::uint32_t, 256> T{};
    TGIFColorMap& Map = Frame.UsedColorMap();
    const int Count = Map.Count();
    const TGIFColor* E = Map.Entries();
    for (int I = 0; I < 256; ++I) {
        const TGIFColor C = I < Count ? E[I] : TGIFColor{};
        T[static_cast<std::size_t>(I)] = TBitmap32::Color32(C.Red, C.Green, C.Blue, 255);
    }
    return T;
}

}  // namespace

TFrameComposition::TFrameComposition(TPlatform& APlatform, TGIFImage& AGif, TGIFImage& ATrialGif, TBitmap32& ASurface,
                                     TFlashMovie& AMovie, int AJobNumber, std::uint8_t ABgRed,
                                     std::uint8_t ABgGreen, std::uint8_t ABgBlue,
                                     std::function<std::string()> ATempFolder)
    : Platform(APlatform),
      Gif(AGif),
      TrialGif(ATrialGif),
      Surface(ASurface),
      Movie(AMovie),
      JobNumber(AJobNumber),
      BgRed(ABgRed),
      BgGreen(ABgGreen),
      BgBlue(ABgBlue),
      TempFolder(std::move(ATempFolder)) {}

TFrameComposition::~TFrameComposition() {
    for (const std::string& F : FFiles) Platform.DeleteFile(F);
}

std::string TFrameComposition::TempFile(int K) const {
    return TempFolder() + std::to_string(JobNumber) + "-" + std::to_string(K) + ".bmp";
}

std::string TFrameComposition::NextTempFile(int K) {
    const std::string File = TempFile(K);
    if (!FFiles.empty() && FFiles.back() != File) Platform.RenameFile(FFiles.back(), File);
    FFiles.push_back(File);
    return File;
}

namespace {

// A frame picture reaches the movie as a 32-bit bitmap, which the movie
// builder takes up to 256 MiB; a larger one is refused before it is made.
void CheckPictureSize(int W, int H) {
    if (static_cast<std::int64_t>(W) * H * 4 > TBMPReader::MaxPixelMemory)
        throw EImageError("A picture of " + std::to_string(W) + " x " + std::to_string(H) +
                          " pixels is larger than a movie bitmap can be (256 MiB)");
}

}  // namespace

std::uint16_t TFrameComposition::DepthOf(int K) const {
    if (2 * K > 65535) throw std::runtime_error("The GIF has more frames than a movie can place (32767)");
    return static_cast<std::uint16_t>(2 * K);
}

std::uint16_t TFrameComposition::ShowFor(int K) const {
    return static_cast<std::uint16_t>(std::clamp(FShowCounts.at(static_cast<std::size_t>(K)), 1, 65535));
}

int TFrameComposition::ShowCount(const TGIFSubImage& Frame) {
    if (!Frame.GraphicControlExtension) return 10;
    return static_cast<int>(std::nearbyint(Frame.GraphicControlExtension->Delay() / 4.0));
}

int TFrameComposition::MaxOverlap(const TGIFImage& Gif) {
    const int N = Gif.Images.Count();
    if (N <= 11) return N;
    const int W = Gif.Width(), H = Gif.Height();
    int Max = 1;
    // Row by row, the coverage of each pixel from the frames crossing the
    // row: the same counts as visiting every pixel, in far fewer steps.
    std::vector<int> Delta(static_cast<std::size_t>(W) + 1);
    for (int Y = 0; Y < H; ++Y) {
        std::fill(Delta.begin(), Delta.end(), 0);
        bool Any = false;
        for (const auto& F : Gif.Images) {
            if (Y < F->Top() || Y >= F->Top() + F->Height()) continue;
            const int L = std::clamp(F->Left(), 0, W), R = std::clamp(F->Left() + F->Width(), 0, W);
            if (L >= R) continue;
            ++Delta[static_cast<std::size_t>(L)];
            --Delta[static_cast<std::size_t>(R)];
            Any = true;
        }
        if (!Any) continue;
        int C = 0;
        for (int X = 0; X < W; ++X) {
            C += Delta[static_cast<std::size_t>(X)];
            if (C > Max) Max = C;
            if (Max == N) return N;
        }
    }
    return Max;
}

bool TFrameComposition::LayeredCanDispose(const TGIFImage& Gif) {
    const TRect Screen{0, 0, Gif.Width(), Gif.Height()};
    std::vector<TRect> Shown;
    const TGIFSubImage* Prev = nullptr;
    for (const auto& F : Gif.Images) {
        if (F->Empty()) continue;
        if (Prev) {
            const TRect P = Intersect(Prev->FrameRect(), Screen);
            switch (DisposalOf(*Prev)) {
                case 3: Shown.pop_back(); break;
                case 2: {
                    std::vector<TRect> Kept;
                    for (const TRect& Q : Shown) {
                        const TRect V = Intersect(Q, Screen);
                        if (V.IsEmpty() || Inside(V, P)) continue;
                        if (!Intersect(V, P).IsEmpty()) return false;
                        Kept.push_back(Q);
                    }
                    Shown = std::move(Kept);
                    break;
                }
                default: break;
            }
        }
        Shown.push_back(F->FrameRect());
        Prev = F.get();
    }
    return true;
}

bool TFrameComposition::ColoursFitOneMap(TGIFImage& Gif) {
    std::vector<std::uint32_t> Colours;
    bool AnyTransparent = false;
    for (const auto& F : Gif.Images) {
        if (F->Empty()) continue;
        std::array<bool, 256> Used{};
        for (std::uint8_t I : F->PixelData) Used[I] = true;
        const int TIndex = IsTransparent(*F) ? F->GraphicControlExtension->TransparentColorIndex() : -1;
        const TGIFColorMap& Map = F->UsedColorMap();
        for (int I = 0; I < 256; ++I) {
            if (!Used[static_cast<std::size_t>(I)]) continue;
            if (I == TIndex) {
                AnyTransparent = true;
                continue;
            }
            const TGIFColor C = I < Map.Count() ? Map.Entries()[I] : TGIFColor{};
            Colours.push_back(static_cast<std::uint32_t>(C.Red | (C.Green << 8) | (C.Blue << 16)));
        }
        std::sort(Colours.begin(), Colours.end());
        Colours.erase(std::unique(Colours.begin(), Colours.end()), Colours.end());
        if (Colours.size() + (AnyTransparent ? 1 : 0) > 256) return false;
    }
    return true;
}

void TFrameComposition::PrepareColorMaps() {
    TGIFGlobalColorMap& Map = Gif.GlobalColorMap();
    // Indices past the global map show black. Colours added to the map
    // must not give them another colour: the map is first filled up with
    // black to the largest index that frames reading it use.
    int MaxIndex = -1;
    for (const auto& F : Gif.Images) {
        if (F->ColorTable.Count() > 0) continue;  // a local map of its own
        for (std::uint8_t I : F->PixelData) MaxIndex = std::max<int>(MaxIndex, I);
        if (MaxIndex == 255) break;
    }
    while (Map.Count() <= MaxIndex) Map.Add(0x000000);
    if (Map.Count() <= 254) {
        if (Map.FindColor(0x0000FF) < 0) Map.Add(0x0000FF);
        if (Map.FindColor(0xFFFFFF) < 0) Map.Add(0xFFFFFF);
    }
}

void TFrameComposition::Optimize() {
    const std::uint8_t Merge = optMergeFrames | optCleanup | optSortColorMaps | optReduceColors;
    if (Flattened) {
        Gif.Optimize(Merge, 0, 0, 8);
        return;
    }
    // Cropping can delete frames that become empty; it is used only when
    // it deletes none, so that the frame count stays as it was.
    TrialGif.CopyFrom(Gif);
    TrialGif.Optimize(Merge | optCropFrames, 0, 0, 8);
    if (TrialGif.Images.Count() == Gif.Images.Count()) Gif.Optimize(Merge | optCropFrames, 0, 0, 8);
    else Gif.Optimize(Merge, 0, 0, 8);
}

void TFrameComposition::Run() {
    const int N = Gif.Images.Count();
    MaxOverlapFound = MaxOverlap(Gif);
    Flattened = MaxOverlapFound >= FlattenOverlap || !LayeredCanDispose(Gif);
    FirstFrameTransparent = N > 0 && IsTransparent(Gif.Images[0]);
    // How long each frame shows is taken from the GIF as it was read: the
    // optimiser drops graphic control extensions it deems idle (delay 0)
    // and adds some (when it masks pixels), which would change the time a
    // frame shows, and it may drop a frame that became blank, whose time
    // then belongs to the frame before it.
    std::vector<std::pair<const TGIFSubImage*, int>> Original;
    for (const auto& F : Gif.Images) Original.emplace_back(F.get(), F->Empty() ? 0 : std::max(1, ShowCount(*F)));
    PrepareColorMaps();
    if (N > 1) Optimize();
    FShowCounts.assign(static_cast<std::size_t>(Gif.Images.Count()), 1);
    int Survivor = -1;
    for (const auto& [Frame, Count] : Original) {
        int K = -1;
        for (int I = std::max(Survivor, 0); I < Gif.Images.Count(); ++I)
            if (&Gif.Images[I] == Frame) {
                K = I;
                break;
            }
        if (K >= 0) {
            Survivor = K;
            FShowCounts[static_cast<std::size_t>(K)] = Count;
        } else if (Survivor >= 0) {
            FShowCounts[static_cast<std::size_t>(Survivor)] += Count;
        }
    }
    // The optimiser may change bounds and disposals: check again.
    if (!Flattened && !LayeredCanDispose(Gif)) Flattened = true;
    if (Flattened) RunFlattened();
    else RunLayered();
}

void TFrameComposition::PaintFrame(TGIFSubImage& Frame, TBitmap32& Target, int OffsetX, int OffsetY,
                                   bool KeepTransparent) {
    const std::array<std::uint32_t, 256> Colours = ColourTable(Frame);
    const bool Transparent = IsTransparent(Frame);
    const int TIndex = Transparent ? Frame.GraphicControlExtension->TransparentColorIndex() : -1;
    const int W = Frame.Width(), H = Frame.Height();
    for (int Y = 0; Y < H; ++Y) {
        const int TY = OffsetY + Y;
        if (TY < 0 || TY >= Target.Height()) continue;
        const std::uint8_t* Src = Frame.RowAddress(Y);
        std::uint32_t* Dst = Target.Row(TY);
        const int X0 = std::max(0, -OffsetX), X1 = std::min(W, Target.Width() - OffsetX);
        for (int X = X0; X < X1; ++X) {
            const std::uint8_t I = Src[X];
            if (I == TIndex) {
                // Transparent: the picture below shows (flattened), or the
                // pixel keeps its colour with alpha 0 (a layer).
                if (!KeepTransparent) Dst[OffsetX + X] = Colours[I] & 0x00FFFFFFu;
                continue;
            }
            Dst[OffsetX + X] = Colours[I];
        }
    }
}

TFlashShape* TFrameComposition::AddPicture(const std::string& File, int Width, int Height) {
    TFlashImage* Image = Movie.AddImage(File);
    TFlashShape* Shape = Movie.AddRectangle(0, 0, Width, Height);
    Shape->SetImageFill(Image, 1, 1.0f, 1.0f);
    return Shape;
}

void TFrameComposition::RunFlattened() {
    const int N = Gif.Images.Count();
    const int W = Gif.Width(), H = Gif.Height();
    const std::uint32_t Clear = TBitmap32::Color32(BgRed, BgGreen, BgBlue, 0);
    bool Any = false;
    for (const auto& F : Gif.Images) Any = Any || !F->Empty();
    if (!Any) return;
    CheckPictureSize(W, H);
    Surface.Clear();
    Surface.SetSize(W, H);
    Surface.Fill(Clear);
    TBitmap32 StartOfPrev;  // the picture the previous frame started from (disposal 3)
    int Prev = -1;
    TFlashShape* PrevShape = nullptr;
    for (int K = 0; K < N; ++K) {
        TGIFSubImage& F = Gif.Images[K];
        if (F.Empty()) continue;
        Platform.ProcessMessages();
        // What the previous frame's disposal leaves before this frame.
        if (Prev >= 0) {
            TGIFSubImage& P = Gif.Images[Prev];
            switch (DisposalOf(P)) {
                case 2: {
                    const TRect R = P.FrameRect();
                    Surface.FillRect(R.Left, R.Top, R.Right, R.Bottom, Clear);
                    break;
                }
                case 3: Surface.Assign(StartOfPrev); break;
                default: break;
            }
        }
        if (DisposalOf(F) == 3) StartOfPrev.Assign(Surface);
        PaintFrame(F, Surface, F.Left(), F.Top(), true);
        const std::string File = NextTempFile(K);
        Surface.SaveFile(File);
        TFlashShape* Shape = AddPicture(File, W, H);
        if (PrevShape) Movie.RemoveObject(DepthOf(Prev), PrevShape);
        Movie.PlaceObject(Shape, DepthOf(K))->SetTranslate(0, 0);
        Movie.ShowFrame(ShowFor(K));
        Prev = K;
        PrevShape = Shape;
    }
}

void TFrameComposition::RunLayered() {
    const int N = Gif.Images.Count();
    struct TShown {
        int K;
        TRect Rect;
        TFlashShape* Shape;
    };
    const TRect Screen{0, 0, Gif.Width(), Gif.Height()};
    std::vector<TShown> Shown;
    int Prev = -1;
    TBitmap32 Layer;
    for (int K = 0; K < N; ++K) {
        TGIFSubImage& F = Gif.Images[K];
        if (F.Empty()) continue;
        const int W = F.Width(), H = F.Height();
        CheckPictureSize(W, H);
        const std::string File = NextTempFile(K);
        Layer.SetSize(W, H);
        PaintFrame(F, Layer, 0, 0, false);
        if (K == 0 && !FirstFrameTransparent) {
            // The first picture is opaque: 24 bits per pixel, no alpha.
            std::vector<std::uint32_t> Pixels(static_cast<std::size_t>(W) * static_cast<std::size_t>(H));
            for (int Y = 0; Y < H; ++Y) std::copy(Layer.Row(Y), Layer.Row(Y) + W, Pixels.begin() + static_cast<std::ptrdiff_t>(Y) * W);
            WriteBMP32(File, W, H, Pixels.data(), 24);
        } else {
            Layer.SaveFile(File);
        }
        Platform.ProcessMessages();
        TFlashShape* Shape = AddPicture(File, W, H);
        if (Prev >= 0) {
            TGIFSubImage& P = Gif.Images[Prev];
            switch (DisposalOf(P)) {
                case 3:
                    Movie.RemoveObject(DepthOf(Shown.back().K), Shown.back().Shape);
                    Shown.pop_back();
                    break;
                case 2: {
                    // Every image wholly inside the cleared rectangle leaves.
                    const TRect R = Intersect(P.FrameRect(), Screen);
                    std::vector<TShown> Kept;
                    for (const TShown& S : Shown) {
                        const TRect V = Intersect(S.Rect, Screen);
                        if (V.IsEmpty() || Inside(V, R)) Movie.RemoveObject(DepthOf(S.K), S.Shape);
                        else Kept.push_back(S);
                    }
                    Shown = std::move(Kept);
                    break;
                }
                default: break;
            }
        }
        Movie.PlaceObject(Shape, DepthOf(K))->SetTranslate(F.Left(), F.Top());
        Shown.push_back(TShown{K, F.FrameRect(), Shape});
        Movie.ShowFrame(ShowFor(K));
        Prev = K;
    }
}

}  // namespace anivert
