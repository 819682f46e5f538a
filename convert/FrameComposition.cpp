#include "FrameComposition.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <stdexcept>

#include "FlashObjects.h"
#include "ImageReader.h"
#include "GIFImage.h"

namespace anivert {

namespace {

std::uint8_t DisposalOf(const TGIFSubImage& F) {
    return F.GraphicControlExtension ? F.GraphicControlExtension->Disposal() : std::uint8_t{dmNone};
}

bool IsTransparent(const TGIFSubImage& F) { return F.GraphicControlExtension && F.GraphicControlExtension->Transparent(); }

// Whether a pixel of the frame has its transparent index.
bool ShowsTransparentPixels(const TGIFSubImage& F) {
    if (!IsTransparent(F)) return false;
    const auto T = static_cast<std::uint8_t>(F.GraphicControlExtension->TransparentColorIndex());
    return std::find(F.PixelData.begin(), F.PixelData.end(), T) != F.PixelData.end();
}

TRect Intersect(const TRect& A, const TRect& B) {
    return TRect{std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right), std::min(A.Bottom, B.Bottom)};
}

// The smallest rectangle holding both; an empty one adds nothing.
TRect Union(const TRect& A, const TRect& B) {
    if (A.IsEmpty()) return B;
    if (B.IsEmpty()) return A;
    return TRect{std::min(A.Left, B.Left), std::min(A.Top, B.Top), std::max(A.Right, B.Right), std::max(A.Bottom, B.Bottom)};
}

bool Inside(const TRect& Inner, const TRect& Outer) {
    return Inner.Left >= Outer.Left && Inner.Top >= Outer.Top && Inner.Right <= Outer.Right && Inner.Bottom <= Outer.Bottom;
}

// A frame's pixels while it is composed: a GIF decoded on demand decodes
// it (with the next few frames, together) and lets go of it afterwards.
class TFramePixels {
public:
    TFramePixels(TGIFImage& AGif, int AK) : Gif(AGif), K(AK) {
        if (Gif.DecodeOnDemand && Gif.Images[K].DecodePending())
            Gif.DecodeFrames(K, static_cast<int>(std::max(4u, 2 * Gif.DecodeThreads)));
    }
    ~TFramePixels() {
        if (Gif.DecodeOnDemand) Gif.ReleaseFrame(K);
    }
    TFramePixels(const TFramePixels&) = delete;
    TFramePixels& operator=(const TFramePixels&) = delete;

private:
    TGIFImage& Gif;
    int K;
};

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

TFrameComposition::TFrameComposition(TGIFImage& AGif, TGIFImage& ATrialGif, TBitmap32& ASurface, TFlashMovie& AMovie,
                                     int AJobNumber, std::uint8_t ABgRed, std::uint8_t ABgGreen, std::uint8_t ABgBlue,
                                     std::string ATempFolder, bool ACompact)
    : Gif(AGif),
      TrialGif(ATrialGif),
      Surface(ASurface),
      Movie(AMovie),
      JobNumber(AJobNumber),
      BgRed(ABgRed),
      BgGreen(ABgGreen),
      BgBlue(ABgBlue),
      TempFolder(std::move(ATempFolder)),
      Compact(ACompact) {}

TFrameComposition::~TFrameComposition() {
    std::error_code Ignored;
    for (const std::string& F : FFiles) std::filesystem::remove(F, Ignored);
}

void TFrameComposition::FrameStep(int K) {
    if (OnFrame) OnFrame(K, Gif.Images.Count());
}

std::string TFrameComposition::TempFile(int K) const {
    return TempFolder + std::to_string(JobNumber) + "-" + std::to_string(K) + ".bmp";
}

std::string TFrameComposition::NextTempFile(int K) {
    const std::string File = TempFile(K);
    if (!FFiles.empty() && FFiles.back() != File) {
        std::error_code Ignored;
        std::filesystem::rename(FFiles.back(), File, Ignored);
    }
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
    // A sweep down the screen: at each row where a frame starts or ends,
    // the frames crossing the row add one over their columns, in a tree
    // of column ranges that knows its largest count. The same counts as
    // visiting every pixel, in time that grows with the number of frames
    // only.
    const TRect Screen{0, 0, Gif.Width(), Gif.Height()};
    struct TEvent {
        int Y, Delta, Left, Right;
    };
    std::vector<TEvent> Events;
    std::vector<int> Columns;
    for (const auto& F : Gif.Images) {
        const TRect R = Intersect(F->FrameRect(), Screen);
        if (R.IsEmpty()) continue;
        Events.push_back({R.Top, 1, R.Left, R.Right});
        Events.push_back({R.Bottom, -1, R.Left, R.Right});
        Columns.push_back(R.Left);
        Columns.push_back(R.Right);
    }
    if (Events.empty()) return 1;
    std::sort(Columns.begin(), Columns.end());
    Columns.erase(std::unique(Columns.begin(), Columns.end()), Columns.end());
    // Frames ending at a row leave before those starting there come.
    std::sort(Events.begin(), Events.end(),
              [](const TEvent& A, const TEvent& B) { return A.Y != B.Y ? A.Y < B.Y : A.Delta < B.Delta; });
    const std::size_t Cells = Columns.size() - 1;
    std::size_t Size = 1;
    while (Size < Cells) Size *= 2;
    std::vector<int> Add(2 * Size, 0), Top(2 * Size, 0);
    // Adds D over the cells [L, R) below node Node, which spans [NL, NR).
    auto Update = [&](auto& Self, std::size_t Node, std::size_t NL, std::size_t NR, std::size_t L, std::size_t R,
                      int D) -> void {
        if (R <= NL || NR <= L) return;
        if (L <= NL && NR <= R) {
            Add[Node] += D;
            Top[Node] += D;
            return;
        }
        const std::size_t Mid = (NL + NR) / 2;
        Self(Self, 2 * Node, NL, Mid, L, R, D);
        Self(Self, 2 * Node + 1, Mid, NR, L, R, D);
        Top[Node] = Add[Node] + std::max(Top[2 * Node], Top[2 * Node + 1]);
    };
    int Max = 1;
    for (const TEvent& E : Events) {
        const auto L = static_cast<std::size_t>(std::lower_bound(Columns.begin(), Columns.end(), E.Left) - Columns.begin());
        const auto R = static_cast<std::size_t>(std::lower_bound(Columns.begin(), Columns.end(), E.Right) - Columns.begin());
        Update(Update, 1, 0, Size, L, R, E.Delta);
        if (E.Delta > 0 && E.Y < Screen.Bottom) Max = std::max(Max, Top[1]);
        if (Max == N) return N;
    }
    return Max;
}

std::string TFrameComposition::BudgetMessage(std::int64_t Pixels, std::int64_t MaxPixels, const std::string& Remedy) {
    return "the movie would take " + std::to_string(Pixels) + " pixels of pictures, more than the " +
           std::to_string(MaxPixels) + " a movie may take without being asked (" + Remedy + " raises it)";
}

std::int64_t TFrameComposition::PlannedPixels(const TGIFImage& Gif, bool Flattened) {
    std::int64_t Pixels = 0;
    for (const auto& F : Gif.Images) {
        if (F->Empty()) continue;
        Pixels += Flattened ? static_cast<std::int64_t>(Gif.Width()) * Gif.Height()
                            : static_cast<std::int64_t>(F->Width()) * F->Height();
    }
    return Pixels;
}

std::string TFrameComposition::Refusal(const TGIFImage& Gif, bool Compact, std::int64_t MaxPixels,
                                       const std::string& Remedy) {
    if (Gif.Images.Count() > 32767) return "the GIF has more frames than a movie can place (32767)";
    if (Compact) {
        // A layered compact movie's pictures are its frames, known before
        // the work; a flattened one counts what it writes as it goes.
        if (CompactFlattened(Gif)) return std::string();
        const std::int64_t Planned = PlannedPixels(Gif, false);
        return Planned > MaxPixels ? BudgetMessage(Planned, MaxPixels, Remedy) : std::string();
    }
    // Either scheme's figure may decide; the scheme is worked out only when
    // they disagree.
    const std::int64_t Layered = PlannedPixels(Gif, false), Flat = PlannedPixels(Gif, true);
    if (std::max(Layered, Flat) <= MaxPixels) return std::string();
    const bool Flattened = MaxOverlap(Gif) >= FlattenOverlap || !LayeredCanDispose(Gif);
    const std::int64_t Planned = Flattened ? Flat : Layered;
    return Planned > MaxPixels ? BudgetMessage(Planned, MaxPixels, Remedy) : std::string();
}

void TFrameComposition::CountPixels(std::int64_t Pixels) {
    PixelsWritten += Pixels;
    if (PixelsWritten > MaxPixels) throw EWorkBudget(BudgetMessage(PixelsWritten, MaxPixels, BudgetRemedy));
}

bool TFrameComposition::ClearsCanvas(const TGIFImage& Gif) {
    for (const auto& F : Gif.Images)
        if (F->ClearsCanvas) return true;
    return false;
}

bool TFrameComposition::CompactFlattened(const TGIFImage& Gif) {
    // Layered whenever the images shown at one time stack no deeper than
    // the bound.
    return !LayeredCanDispose(Gif) || LayeredStackDepth(Gif) > MaxStack || ClearsCanvas(Gif);
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
                case dmPrevious: Shown.pop_back(); break;
                case dmBackground: {
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

int TFrameComposition::LayeredStackDepth(const TGIFImage& Gif) {
    constexpr int Cell = 4;
    const int CW = (Gif.Width() + Cell - 1) / Cell, CH = (Gif.Height() + Cell - 1) / Cell;
    const TRect Screen{0, 0, Gif.Width(), Gif.Height()};
    std::vector<std::uint8_t> Count(static_cast<std::size_t>(CW) * static_cast<std::size_t>(CH), 0);
    int Max = 0;
    // Adds D to the cells under R; false once a cell passes the bound.
    auto Add = [&](const TRect& R, int D) {
        if (R.IsEmpty()) return true;
        for (int Y = R.Top / Cell; Y <= (R.Bottom - 1) / Cell; ++Y) {
            std::uint8_t* Row = Count.data() + static_cast<std::ptrdiff_t>(Y) * CW;
            for (int X = R.Left / Cell; X <= (R.Right - 1) / Cell; ++X) {
                Row[X] = static_cast<std::uint8_t>(Row[X] + D);
                Max = std::max<int>(Max, Row[X]);
            }
        }
        return Max <= MaxStack;
    };
    std::vector<TRect> Shown;  // the visible parts of the images shown
    const TGIFSubImage* Prev = nullptr;
    for (const auto& F : Gif.Images) {
        if (F->Empty()) continue;
        if (Prev) {
            const TRect P = Intersect(Prev->FrameRect(), Screen);
            switch (DisposalOf(*Prev)) {
                case dmPrevious:
                    Add(Shown.back(), -1);
                    Shown.pop_back();
                    break;
                case dmBackground: {
                    std::vector<TRect> Kept;
                    for (const TRect& Q : Shown) {
                        if (Q.IsEmpty() || Inside(Q, P)) Add(Q, -1);
                        else Kept.push_back(Q);
                    }
                    Shown = std::move(Kept);
                    break;
                }
                default: break;
            }
        }
        Shown.push_back(Intersect(F->FrameRect(), Screen));
        if (!Add(Shown.back(), 1)) return Max;
        Prev = F.get();
    }
    return Max;
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
    if (Compact) {
        Flattened = CompactFlattened(Gif);
    } else {
        MaxOverlapFound = MaxOverlap(Gif);
        Flattened = MaxOverlapFound >= FlattenOverlap || !LayeredCanDispose(Gif);
    }
    // A salvaged frame that starts from a cleared screen is painted on the
    // whole picture, which only the flattened scheme has; the optimiser
    // does not know of it.
    const bool Clears = ClearsCanvas(Gif);
    if (Clears) Flattened = true;
    FirstFrameTransparent = N > 0 && IsTransparent(Gif.Images[0]);
    // How long each frame shows is taken from the GIF as it was read: the
    // optimiser drops graphic control extensions it deems idle (delay 0)
    // and adds some (when it masks pixels), which would change the time a
    // frame shows, and it may drop a frame that became blank, whose time
    // then belongs to the frame before it.
    std::vector<std::pair<const TGIFSubImage*, int>> Original;
    for (const auto& F : Gif.Images) Original.emplace_back(F.get(), F->Empty() ? 0 : std::max(1, ShowCount(*F)));
    // Compact movies take every frame's colours as they are and find what
    // changed themselves: the colour maps and frames stay as read.
    if (!Compact) {
        PrepareColorMaps();
        if (N > 1 && !Clears) Optimize();
    }
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
    // The pictures of the default movie are known before they are made.
    if (!Compact) {
        PixelsWritten = PlannedPixels(Gif, Flattened);
        if (PixelsWritten > MaxPixels) throw EWorkBudget(BudgetMessage(PixelsWritten, MaxPixels, BudgetRemedy));
    }
    if (Flattened) Compact ? RunCompactFlattened() : RunFlattened();
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
    CountPixels(static_cast<std::int64_t>(Width) * Height);
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
        FrameStep(K);
        // What the previous frame's disposal leaves before this frame.
        if (Prev >= 0) {
            TGIFSubImage& P = Gif.Images[Prev];
            switch (DisposalOf(P)) {
                case dmBackground: {
                    const TRect R = P.FrameRect();
                    Surface.FillRect(R.Left, R.Top, R.Right, R.Bottom, Clear);
                    break;
                }
                case dmPrevious: Surface.Assign(StartOfPrev); break;
                default: break;
            }
        }
        if (F.ClearsCanvas) Surface.Fill(Clear);
        if (DisposalOf(F) == dmPrevious) StartOfPrev.Assign(Surface);
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
        const TFramePixels Hold(Gif, K);
        TFlashShape* Shape = nullptr;
        if (Compact) {
            Shape = AddFramePicture(F);
            FrameStep(K);
        } else {
            const int W = F.Width(), H = F.Height();
            CheckPictureSize(W, H);
            const std::string File = NextTempFile(K);
            Layer.SetSize(W, H);
            PaintFrame(F, Layer, 0, 0, false);
            if (K == 0 && !FirstFrameTransparent) {
                // The first picture is opaque: 24 bits per pixel, no alpha.
                std::vector<std::uint32_t> Pixels(static_cast<std::size_t>(W) * static_cast<std::size_t>(H));
                for (int Y = 0; Y < H; ++Y)
                    std::copy(Layer.Row(Y), Layer.Row(Y) + W, Pixels.begin() + static_cast<std::ptrdiff_t>(Y) * W);
                WriteBMP32(File, W, H, Pixels.data(), 24);
            } else {
                Layer.SaveFile(File);
            }
            FrameStep(K);
            Shape = AddPicture(File, W, H);
        }
        if (Prev >= 0) {
            TGIFSubImage& P = Gif.Images[Prev];
            switch (DisposalOf(P)) {
                case dmPrevious:
                    Movie.RemoveObject(DepthOf(Shown.back().K), Shown.back().Shape);
                    Shown.pop_back();
                    break;
                case dmBackground: {
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

// ------------------------------------------------------------ compact movies

TFlashShape* TFrameComposition::AddPicture(int Width, int Height, std::function<TLosslessPicture()> Make) {
    CountPixels(static_cast<std::int64_t>(Width) * Height);
    TFlashImage* Image = Movie.AddImage(Width, Height, std::move(Make));
    TFlashShape* Shape = Movie.AddRectangle(0, 0, Width, Height);
    Shape->SetImageFill(Image, 1, 1.0f, 1.0f);
    return Shape;
}

TFlashShape* TFrameComposition::AddFramePicture(TGIFSubImage& Frame) {
    // The frame's own indices and colours; the transparent index shows
    // what lies below. The picture is laid out with the packing, from the
    // frame's pixels, which stay as they are until the movie is made.
    std::array<std::uint32_t, 256> Colours = ColourTable(Frame);
    if (IsTransparent(Frame))
        Colours[Frame.GraphicControlExtension->TransparentColorIndex()] = 0;
    // The packing gets its own copy of the indices: the frame's go once
    // it is composed.
    const int W = Frame.Width(), H = Frame.Height();
    auto Pixels = std::make_shared<const std::vector<std::uint8_t>>(Frame.PixelData);
    return AddPicture(W, H, [W, H, Pixels, Colours] {
        return LosslessFromIndices(W, H, Pixels->data(), static_cast<std::size_t>(W), Colours.data(), 256);
    });
}

namespace {

// A rectangle of a surface copied out and back.
void CopyOut(const TBitmap32& From, const TRect& R, std::vector<std::uint32_t>& To) {
    To.resize(static_cast<std::size_t>(R.Width()) * static_cast<std::size_t>(std::max(R.Height(), 0)));
    for (int Y = R.Top; Y < R.Bottom; ++Y)
        std::copy(From.Row(Y) + R.Left, From.Row(Y) + R.Right,
                  To.begin() + static_cast<std::ptrdiff_t>(Y - R.Top) * R.Width());
}

void CopyIn(TBitmap32& To, const TRect& R, const std::vector<std::uint32_t>& From) {
    for (int Y = R.Top; Y < R.Bottom; ++Y)
        std::copy(From.begin() + static_cast<std::ptrdiff_t>(Y - R.Top) * R.Width(),
                  From.begin() + static_cast<std::ptrdiff_t>(Y - R.Top + 1) * R.Width(), To.Row(Y) + R.Left);
}

// The smallest rectangle holding every pixel that is not transparent.
TRect Content(const TBitmap32& S) {
    TRect C{S.Width(), S.Height(), 0, 0};
    for (int Y = 0; Y < S.Height(); ++Y) {
        const std::uint32_t* Row = S.Row(Y);
        int X0 = 0;
        while (X0 < S.Width() && Row[X0] == 0) ++X0;
        if (X0 == S.Width()) continue;
        int X1 = S.Width();
        while (Row[X1 - 1] == 0) --X1;
        C = TRect{std::min(C.Left, X0), std::min(C.Top, Y), std::max(C.Right, X1), Y + 1};
    }
    return C.IsEmpty() ? TRect{} : C;
}

}  // namespace

void TFrameComposition::PaintAndMark(TGIFSubImage& Frame, TBitmap32& Target, std::vector<std::uint8_t>& Level,
                                     const std::function<void(int Y, int X0, int X1, int Count)>& Mark) {
    const std::array<std::uint32_t, 256> Colours = ColourTable(Frame);
    const int TIndex = IsTransparent(Frame) ? Frame.GraphicControlExtension->TransparentColorIndex() : -1;
    const int W = Frame.Width(), H = Frame.Height(), OX = Frame.Left(), OY = Frame.Top();
    const int X0 = std::max(0, -OX), X1 = std::min(W, Target.Width() - OX);
    for (int Y = std::max(0, -OY); Y < H && OY + Y < Target.Height(); ++Y) {
        const std::uint8_t* Src = Frame.RowAddress(Y);
        std::uint32_t* Dst = Target.Row(OY + Y) + OX;
        std::uint8_t* L = Level.data() + static_cast<std::ptrdiff_t>(OY + Y) * Target.Width() + OX;
        int First = X1, Last = X0, Count = 0;
        for (int X = X0; X < X1; ++X) {
            const std::uint8_t I = Src[X];
            if (I == TIndex || Dst[X] == Colours[I]) continue;
            Dst[X] = Colours[I];
            L[X] = ChangedMark;
            First = std::min(First, X);
            Last = X + 1;
            ++Count;
        }
        if (Count) Mark(OY + Y, OX + First, OX + Last, Count);
    }
}

void TFrameComposition::RunCompactFlattened() {
    const int N = Gif.Images.Count();
    const int W = Gif.Width(), H = Gif.Height();
    bool Any = false;
    for (const auto& F : Gif.Images) Any = Any || !F->Empty();
    if (!Any) return;
    CheckPictureSize(W, H);
    const TRect Screen{0, 0, W, H};
    const std::size_t Pixels = static_cast<std::size_t>(W) * static_cast<std::size_t>(H);
    // Transparent pixels are all 0: how transparent a pixel shows does not
    // depend on its colour, and changes are found by comparing values.
    Surface.Clear();
    Surface.SetSize(W, H);
    Surface.Fill(0);
    std::vector<std::uint32_t> Before, StartOfPrev;
    TRect StartRect;

    // What is shown: a full picture at the bottom, then layers, each the
    // pixels that changed over some frames (its weight), opaque, with the
    // others transparent. Level holds, for each pixel, the position in the
    // stack of the topmost image that draws it (0: the full picture), so
    // that the top layers can be merged into one. Layers are counted on
    // cells of 4 x 4 pixels: no cell may lie under more than MaxStack - 1.
    struct TShown {
        std::uint16_t Depth;
        TFlashShape* Shape;
        TRect Rect;
        // Pixels it draws (the full picture: more than any layer).
        std::int64_t Weight;
    };
    std::vector<TShown> Shown;
    std::vector<std::uint8_t> Level(Pixels, 0);
    constexpr int Cell = 4;
    const int CW = (W + Cell - 1) / Cell, CH = (H + Cell - 1) / Cell;
    std::vector<std::uint8_t> Cells(static_cast<std::size_t>(CW) * static_cast<std::size_t>(CH), 0);
    auto AddCells = [&](const TRect& R, int D) {
        for (int Y = R.Top / Cell; Y < (R.Bottom + Cell - 1) / Cell; ++Y)
            for (int X = R.Left / Cell; X < (R.Right + Cell - 1) / Cell; ++X) {
                std::uint8_t& C = Cells[static_cast<std::size_t>(Y) * static_cast<std::size_t>(CW) + static_cast<std::size_t>(X)];
                C = static_cast<std::uint8_t>(C + D);
            }
    };
    auto DeepestCell = [&](const TRect& R) {
        int Max = 0;
        for (int Y = R.Top / Cell; Y < (R.Bottom + Cell - 1) / Cell; ++Y) {
            const std::uint8_t* Row = Cells.data() + static_cast<std::ptrdiff_t>(Y) * CW;
            Max = std::max<int>(Max, *std::max_element(Row + R.Left / Cell, Row + (R.Right + Cell - 1) / Cell));
        }
        return Max;
    };
    // Places the pixels of Rect whose level is at least From, as they are
    // now, as one image at Depth (a picture of its own bounds).
    auto Place = [&](const TRect& Rect, int From, std::uint16_t Depth) -> TFlashShape* {
        const int PW = Rect.Width();
        std::vector<std::uint32_t> Picture(static_cast<std::size_t>(PW) * static_cast<std::size_t>(Rect.Height()), 0);
        for (int Y = Rect.Top; Y < Rect.Bottom; ++Y) {
            const std::uint32_t* Now = Surface.Row(Y);
            const std::uint8_t* L = Level.data() + static_cast<std::ptrdiff_t>(Y) * W;
            std::uint32_t* Out = Picture.data() + static_cast<std::ptrdiff_t>(Y - Rect.Top) * PW;
            for (int X = Rect.Left; X < Rect.Right; ++X)
                if (L[X] >= From) Out[X - Rect.Left] = Now[X];
        }
        // The colours are counted and mapped with the packing.
        const int PH = Rect.Height();
        TFlashShape* Shape = AddPicture(PW, PH, [PW, PH, Pixels = std::make_shared<std::vector<std::uint32_t>>(std::move(Picture))] {
            return LosslessFromARGB(PW, PH, Pixels->data(), static_cast<std::size_t>(PW));
        });
        Movie.PlaceObject(Shape, Depth)->SetTranslate(Rect.Left, Rect.Top);
        return Shape;
    };

    int Prev = -1;
    for (int K = 0; K < N; ++K) {
        TGIFSubImage& F = Gif.Images[K];
        if (F.Empty()) continue;
        const TFramePixels Hold(Gif, K);
        FrameStep(K);
        // Only the previous frame's disposal and this frame's painting
        // change pixels: the union of their rectangles.
        TRect Own = Intersect(F.FrameRect(), Screen);
        if (Own.IsEmpty()) Own = TRect{};
        TRect Region = Own;
        int PrevDisposal = 0;
        TRect PrevRect;
        if (Prev >= 0) {
            PrevDisposal = DisposalOf(Gif.Images[Prev]);
            PrevRect = Intersect(Gif.Images[Prev].FrameRect(), Screen);
            if (PrevRect.IsEmpty()) PrevRect = TRect{};
            if (PrevDisposal == dmBackground || PrevDisposal == dmPrevious) Region = Union(Region, PrevRect);
        }
        // What changed (its pixels marked in Level), and whether a changed
        // pixel became transparent.
        TRect Changed{W, H, 0, 0};
        std::int64_t ChangedPixels = 0;
        bool Hole = false;
        auto Mark = [&](int Y, int X0, int X1, int Count) {
            if (X0 >= X1) return;
            Changed = TRect{std::min(Changed.Left, X0), std::min(Changed.Top, Y), std::max(Changed.Right, X1), Y + 1};
            ChangedPixels += Count;
        };
        if (F.ClearsCanvas) Region = Screen;
        if (PrevDisposal != 2 && PrevDisposal != 3 && !F.ClearsCanvas) {
            // Nothing is disposed of: only the frame's opaque pixels
            // change what they paint over, which they mark as they go.
            if (DisposalOf(F) == dmPrevious) {
                StartRect = Own;
                CopyOut(Surface, StartRect, StartOfPrev);
            }
            PaintAndMark(F, Surface, Level, Mark);
        } else {
            CopyOut(Surface, Region, Before);
            if (PrevDisposal == dmBackground)
                Surface.FillRect(PrevRect.Left, PrevRect.Top, PrevRect.Right, PrevRect.Bottom, 0);
            else if (PrevDisposal == dmPrevious) CopyIn(Surface, StartRect, StartOfPrev);
            if (F.ClearsCanvas) Surface.Fill(0);
            if (DisposalOf(F) == dmPrevious) {
                StartRect = Own;
                CopyOut(Surface, StartRect, StartOfPrev);
            }
            PaintFrame(F, Surface, F.Left(), F.Top(), true);
            for (int Y = Region.Top; Y < Region.Bottom; ++Y) {
                const std::uint32_t* Now = Surface.Row(Y);
                const std::uint32_t* Was = Before.data() + static_cast<std::ptrdiff_t>(Y - Region.Top) * Region.Width();
                std::uint8_t* L = Level.data() + static_cast<std::ptrdiff_t>(Y) * W;
                int X0 = Region.Right, X1 = Region.Left, Count = 0;
                for (int X = Region.Left; X < Region.Right; ++X) {
                    const std::uint32_t C = Now[X];
                    if (C == Was[X - Region.Left]) continue;
                    Hole = Hole || C == 0;
                    L[X] = ChangedMark;
                    X0 = std::min(X0, X);
                    X1 = X + 1;
                    ++Count;
                }
                Mark(Y, X0, X1, Count);
            }
        }
        if (Changed.IsEmpty()) Changed = TRect{};

        const std::uint16_t Depth = DepthOf(K);
        bool Tagged = false;
        // A frame that paints the whole stage opaque is the stage's picture
        // itself; when it changes nearly every pixel, it takes the place of
        // everything shown, made from its own indices.
        const bool Whole = Own == Screen && !ShowsTransparentPixels(F) &&
                           ChangedPixels * 10 >= static_cast<std::int64_t>(Pixels) * 9;
        if (Prev < 0 || Hole || Whole) {
            // Or a pixel must become transparent, which no layer can do: a
            // new picture of the whole stage (cropped to what is not
            // transparent) takes the place of everything shown.
            for (const TShown& S : Shown) Movie.RemoveObject(S.Depth, S.Shape);
            Tagged = !Shown.empty();
            Shown.clear();
            std::fill(Level.begin(), Level.end(), 0);
            std::fill(Cells.begin(), Cells.end(), 0);
            const TRect C = Whole ? Screen : Content(Surface);
            if (!C.IsEmpty()) {
                TFlashShape* Shape = nullptr;
                if (Whole) {
                    Shape = AddFramePicture(F);
                    Movie.PlaceObject(Shape, Depth)->SetTranslate(F.Left(), F.Top());
                } else {
                    Shape = Place(C, 0, Depth);
                }
                Shown.push_back(TShown{Depth, Shape, C, std::numeric_limits<std::int64_t>::max()});
                Tagged = true;
            }
            ++FullPictures;
        } else if (!Changed.IsEmpty()) {
            // The changed pixels go on top, as a layer of their own or
            // merged with the top layers when the stack would be too deep
            // where they are. Layers of a weight no larger than the
            // merged one's join it too, so that a pixel is written again
            // only a few times however long the animation.
            TRect Rect = Changed;
            std::int64_t Weight = ChangedPixels;
            std::size_t Keep = Shown.size();
            auto TooDeep = [&] { return DeepestCell(Rect) + 1 > MaxStack - 1; };
            while (Keep > 1 && (TooDeep() || (Keep < Shown.size() && Shown[Keep - 1].Weight <= Weight))) {
                const TShown& T = Shown[--Keep];
                AddCells(T.Rect, -1);
                Rect = Union(Rect, T.Rect);
                Weight += T.Weight;
            }
            // The changed pixels, and those of the layers merged, take the
            // level of the new layer.
            const int Position = static_cast<int>(Keep);
            const TRect& Levelled = Keep < Shown.size() ? Rect : Changed;
            for (int Y = Levelled.Top; Y < Levelled.Bottom; ++Y) {
                std::uint8_t* L = Level.data() + static_cast<std::ptrdiff_t>(Y) * W;
                for (int X = Levelled.Left; X < Levelled.Right; ++X)
                    if (L[X] > Position) L[X] = static_cast<std::uint8_t>(Position);
            }
            for (std::size_t I = Keep; I < Shown.size(); ++I) Movie.RemoveObject(Shown[I].Depth, Shown[I].Shape);
            Shown.resize(Keep);
            TFlashShape* Shape = Place(Rect, Position, Depth);
            Shown.push_back(TShown{Depth, Shape, Rect, Weight});
            AddCells(Rect, 1);
            Tagged = true;
            ++Layers;
        }
        if (!Tagged) {
            // A frame that changes nothing still ends a run of its own,
            // with a change that shows nothing: the top image moves up to
            // this frame's depth, or with nothing shown, a transparent
            // pixel comes in as the bottom layer.
            if (!Shown.empty()) {
                TShown& Top = Shown.back();
                Movie.RemoveObject(Top.Depth, Top.Shape);
                Movie.PlaceObject(Top.Shape, Depth)->SetTranslate(Top.Rect.Left, Top.Rect.Top);
                Top.Depth = Depth;
            } else {
                const TRect Dot{0, 0, 1, 1};
                Shown.push_back(TShown{Depth, Place(Dot, 256, Depth), Dot, std::numeric_limits<std::int64_t>::max()});
                AddCells(Dot, 1);
            }
        }
        Movie.ShowFrame(ShowFor(K));
        Prev = K;
    }
}

}  // namespace anivert
