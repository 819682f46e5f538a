// Colour-map merging and frame optimisation: use counts and reordering of
// the maps, the merged global map, and the frame passes of Optimize.
//
// Every step here keeps what the animation shows: the picture on the
// logical screen at every moment of its timeline, with GIF disposal rules
// (disposal 2 clears the frame's rectangle, 3 restores the screen from
// before the frame, 0, 1 and unknown values keep it). Where a step would
// change that picture for a frame, it is skipped for that frame.
#include "GIFImage.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace anivert {

namespace {

constexpr std::uint32_t MaxUseCount = 0x7FFFFFFF;

std::uint32_t AddCount(std::uint32_t A, std::uint64_t B) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(std::uint64_t(A) + B, MaxUseCount));
}

int DisposalOf(const TGIFSubImage& F) {
    return F.GraphicControlExtension ? F.GraphicControlExtension->Disposal() : 0;
}

// Whether the frame holds a pixel for every position of its rectangle.
bool HasPixels(const TGIFSubImage& F) {
    return !F.Empty() && F.PixelData.size() == std::size_t(F.Width()) * std::size_t(F.Height());
}

// The frame's transparent index, or -1 when it has none.
int TransparentIndexOf(const TGIFSubImage& F) {
    return F.Transparent && F.GraphicControlExtension ? F.GraphicControlExtension->TransparentColorIndex() : -1;
}

// How many pixels of the frame have each index.
// (Pixel loops run over plain pointers: they are the hot part, also in
// unoptimised builds.)
std::array<std::uint64_t, 256> IndexCounts(const TGIFSubImage& F) {
    std::array<std::uint64_t, 256> N{};
    std::uint64_t* Counts = N.data();
    const std::uint8_t* P = F.PixelData.data();
    for (const std::uint8_t* End = P + F.PixelData.size(); P != End; ++P) ++Counts[*P];
    return N;
}

// Index I becomes Map[I]; Transparent (0..255) becomes NewTransparent.
void MapPixels(std::vector<std::uint8_t>& Pixels, const TGIFIndexMap& Map, int Transparent = -1,
               std::uint8_t NewTransparent = 0) {
    TGIFIndexMap M = Map;
    if (Transparent >= 0) M[static_cast<std::size_t>(Transparent)] = NewTransparent;
    const std::uint8_t* To = M.data();
    std::uint8_t* P = Pixels.data();
    for (std::uint8_t* End = P + Pixels.size(); P != End; ++P) *P = To[*P];
}

void RemapFrame(TGIFSubImage& F, const TGIFIndexMap& Map) {
    MapPixels(F.PixelData, Map);
    if (TGIFGraphicControlExtension* G = F.GraphicControlExtension; G && F.Transparent) {
        const int T = G->TransparentColorIndex();
        // An index past the map's end keeps its value (Map leaves it as it
        // is), so the extension is written only when it moves.
        if (Map[T] != T) G->SetTransparentColorIndex(Map[T]);
    }
    F.FreeBitmap();
}

int ColorSum(const TGIFColor& C) { return C.Red + C.Green + C.Blue; }

std::uint32_t ColorValue(const TGIFColor& C) {
    return std::uint32_t(C.Red) | (std::uint32_t(C.Green) << 8) | (std::uint32_t(C.Blue) << 16);
}

TGIFColor ValueColor(std::uint32_t V) {
    return TGIFColor{std::uint8_t(V & 0xFF), std::uint8_t((V >> 8) & 0xFF), std::uint8_t((V >> 16) & 0xFF)};
}

int FindExact(const TGIFColor* Table, int N, const TGIFColor& C) {
    for (int I = 0; I < N; ++I)
        if (Table[I] == C) return I;
    return -1;
}

// Stops the image's painters and holds their list's lock for its lifetime.
class TPainterHold {
public:
    explicit TPainterHold(TGIFImage& Image) : FLock((Image.StopAllPainters(), Image.PainterListLock())) {}

private:
    std::lock_guard<std::recursive_mutex> FLock;
};

}  // namespace

int GIFNearestColorBySum(const TGIFColor* Table, int N, const TGIFColor& Color) {
    int Best = 0;
    int BestDiff = 765;
    for (int I = 0; I < N; ++I) {
        const int D = std::abs(ColorSum(Table[I]) - ColorSum(Color));
        if (D < BestDiff) {
            Best = I;
            BestDiff = D;
        }
    }
    return Best;
}

// ---------------------------------------------------------------- per map

bool TGIFColorMap::SortEntriesByUse(TGIFIndexMap* NewIndex) {
    TGIFIndexMap Map;
    for (int I = 0; I < 256; ++I) Map[I] = static_cast<std::uint8_t>(I);
    if (NewIndex) *NewIndex = Map;
    if (FCount <= 1) return false;
    UseOrdered = true;
    TGIFColorUses Uses = CountUses();
    GIFQuickSort(Uses, 0, static_cast<int>(Uses.size()) - 1, [](const TGIFColorUse& U) { return U.Count; });
    bool InPlace = true;
    for (int K = 0; K < FCount; ++K) InPlace = InPlace && Uses[K].Index == K;
    if (InPlace) return true;
    // The first unused entry ends the map. A map no pixel uses keeps its
    // entries as they are: emptying it would leave nothing for the
    // background colour, and no picture gains from it.
    int NewCount = FCount;
    for (int K = 0; K < FCount; ++K)
        if (Uses[K].Count == 0) {
            NewCount = K;
            break;
        }
    if (NewCount == 0) return true;
    for (int K = 0; K < FCount; ++K) Map[Uses[K].Index] = static_cast<std::uint8_t>(K);
    MapImages(Map);
    const std::vector<TGIFColor> Old(FEntries.begin(), FEntries.begin() + FCount);
    for (int K = 0; K < FCount; ++K) FEntries[K] = Old[Uses[K].Index];
    FCount = NewCount;
    Changed();
    if (NewIndex) *NewIndex = Map;
    return true;
}

TGIFColorUses TGIFGlobalColorMap::CountUses() const {
    TGIFColorUses Uses(static_cast<std::size_t>(Count()));
    for (int I = 0; I < Count(); ++I) Uses[I].Index = I;
    const TGIFImage* Image = FHeader.Image();
    if (!Image) return Uses;
    for (const auto& F : Image->Images) {
        if (&F->UsedColorMap() != this) continue;
        const auto N = IndexCounts(*F);
        for (int I = 0; I < Count(); ++I) Uses[I].Count = AddCount(Uses[I].Count, N[I]);
    }
    return Uses;
}

void TGIFGlobalColorMap::MapImages(const TGIFIndexMap& Map) {
    TGIFImage* Image = FHeader.Image();
    if (!Image) return;
    for (const auto& F : Image->Images)
        if (&F->UsedColorMap() == this) RemapFrame(*F, Map);
}

bool TGIFGlobalColorMap::SortByUse() {
    const TGIFImage* Image = FHeader.Image();
    if (!Image || Image->Images.Count() == 0) return false;
    // The background index follows its colour: to the entry's new place,
    // or, when that entry is dropped, to the nearest colour left.
    const int Background = FHeader.BackgroundColorIndex;
    const bool HasBackground = Background < Count();
    const TGIFColor BackgroundColor = HasBackground ? Entries()[Background] : TGIFColor{};
    TGIFIndexMap Map;
    const bool Sorted = SortEntriesByUse(&Map);
    if (HasBackground && Count() > 0) {
        const int Moved = Map[Background];
        FHeader.BackgroundColorIndex = static_cast<std::uint8_t>(
            Moved < Count() ? Moved : GIFNearestColorBySum(Entries(), Count(), BackgroundColor));
    }
    return Sorted;
}

TGIFColorUses TGIFLocalColorMap::CountUses() const {
    TGIFColorUses Uses(static_cast<std::size_t>(Count()));
    for (int I = 0; I < Count(); ++I) Uses[I].Index = I;
    if (&FSubImage.UsedColorMap() != this) return Uses;
    const auto N = IndexCounts(FSubImage);
    for (int I = 0; I < Count(); ++I) Uses[I].Count = AddCount(0, N[I]);
    return Uses;
}

void TGIFLocalColorMap::MapImages(const TGIFIndexMap& Map) {
    if (&FSubImage.UsedColorMap() == this) RemapFrame(FSubImage, Map);
}

bool TGIFLocalColorMap::SortByUse() { return SortEntriesByUse(); }

// ---------------------------------------------------------------- histogram

THistogram::THistogram(TGIFColorMap& Map) : FMap(Map), FMapCount(Map.Count()) {
    FEntries.reserve(static_cast<std::size_t>(Map.Count()) + 1);
    for (int I = 0; I < Map.Count(); ++I) {
        THistogramEntry E;
        E.OldIndex = I;
        E.Color = ColorValue(Map.Entries()[I]);
        FEntries.push_back(E);
    }
}

bool THistogram::CountFrame(TGIFSubImage& Frame) {
    FFrames.push_back(&Frame);
    auto N = IndexCounts(Frame);
    const int T = TransparentIndexOf(Frame);
    bool UsedTransparency = false;
    if (T >= 0) {
        UsedTransparency = N[T] > 0;
        N[T] = 0;
    }
    const int MapCount = FMapCount;
    std::uint64_t Outside = 0;
    for (int I = MapCount; I < 256; ++I) Outside += N[I];
    for (int I = 0; I < MapCount; ++I) FEntries[I].Count = AddCount(FEntries[I].Count, N[I]);
    if (Outside > 0) {
        // Shown black; they stay black in the merged map (setting them to
        // index 0 would give them entry 0's colour).
        Frame.ReportWarning(1, gifmsg::ColorNotInColorTable);
        FOutside = AddCount(FOutside, Outside);
    }
    if (T >= 0 && !UsedTransparency) {
        Frame.GraphicControlExtension->SetTransparentColorIndex(0);
        Frame.GraphicControlExtension->SetTransparent(false);
    }
    return UsedTransparency;
}

int THistogram::Prune() {
    if (FOutside > 0) {
        THistogramEntry E;
        E.Count = FOutside;
        E.OldIndex = OutsideIndex;
        FEntries.push_back(E);
    }
    FList.clear();
    for (THistogramEntry& E : FEntries) FList.push_back(&E);
    GIFQuickSort(FList, 0, static_cast<int>(FList.size()) - 1, [](const THistogramEntry* E) { return E->Count; });
    std::size_t Used = 0;
    while (Used < FList.size() && FList[Used]->Count > 0) ++Used;
    FList.resize(Used);
    return static_cast<int>(Used);
}

TGIFIndexMap THistogram::IndexMap() const {
    TGIFIndexMap Map{};
    int Outside = -1;
    for (const THistogramEntry& E : FEntries)
        if (E.OldIndex == OutsideIndex) Outside = E.NewIndex;
    for (int I = 0; I < 256; ++I) {
        int New = I < FMapCount ? FEntries[I].NewIndex : (Outside >= 0 ? Outside : I);
        // An entry never counted has no pixel to map (its own index is the
        // transparent one, handled apart).
        if (New > 255) New = 0;
        Map[I] = static_cast<std::uint8_t>(New);
    }
    return Map;
}

// ---------------------------------------------------------------- merging

void TColorMapOptimizer::CollectHistograms() {
    FUseTransparency = false;
    // The global map's frames. Frames that have no map at all are counted
    // here too, against the empty global map: every pixel of theirs is
    // shown black, and so it stays.
    auto Global = std::make_unique<THistogram>(FImage.GlobalColorMap());
    bool Counted = false;
    for (const auto& F : FImage.Images)
        if (F->ColorTable.Count() == 0 && HasPixels(*F)) {
            FUseTransparency = Global->CountFrame(*F) || FUseTransparency;
            Counted = true;
        }
    if (Counted) FHistograms.push_back(std::move(Global));
    for (const auto& F : FImage.Images)
        if (F->ColorTable.Count() > 0 && HasPixels(*F)) {
            auto H = std::make_unique<THistogram>(F->ColorTable);
            FUseTransparency = H->CountFrame(*F) || FUseTransparency;
            FHistograms.push_back(std::move(H));
        }
}

void TColorMapOptimizer::MergeEqualColors() {
    FCombined.clear();
    for (const auto& H : FHistograms) {
        H->Prune();
        FCombined.insert(FCombined.end(), H->List().begin(), H->List().end());
    }
    if (FCombined.empty()) return;
    GIFQuickSort(FCombined, 0, static_cast<int>(FCombined.size()) - 1,
                 [](const THistogramEntry* E) { return E->Color; });
    THistogramEntry* Survivor = FCombined[0];
    for (std::size_t I = 1; I < FCombined.size(); ++I) {
        THistogramEntry* E = FCombined[I];
        if (E->Color == Survivor->Color) {
            Survivor->Count = AddCount(Survivor->Count, E->Count);
            E->Count = 0;
            E->Target = Survivor;
        } else {
            Survivor = E;
        }
    }
}

void TColorMapOptimizer::ChooseColors() {
    FResultCount = 0;
    // (With no colour at all, transparency still needs its entry.)
    GIFQuickSort(FCombined, 0, static_cast<int>(FCombined.size()) - 1,
                 [](const THistogramEntry* E) { return E->Count; });
    const int Limit = FUseTransparency ? 255 : 256;
    while (FResultCount < static_cast<int>(FCombined.size()) && FResultCount < Limit &&
           FCombined[static_cast<std::size_t>(FResultCount)]->Count > 0) {
        THistogramEntry* E = FCombined[static_cast<std::size_t>(FResultCount)];
        E->NewIndex = FResultCount;
        FResult[static_cast<std::size_t>(FResultCount)] = ValueColor(E->Color);
        ++FResultCount;
    }
    // The colours that did not fit go to the nearest chosen one; merged
    // duplicates (count 0, after every counted entry) follow their target.
    for (std::size_t I = static_cast<std::size_t>(FResultCount); I < FCombined.size(); ++I) {
        THistogramEntry* E = FCombined[I];
        if (E->Count > 0)
            E->NewIndex = GIFNearestColorBySum(FResult.data(), FResultCount, ValueColor(E->Color));
        else if (E->Target)
            E->NewIndex = E->Target->NewIndex;
    }
    if (FUseTransparency) {
        FNewTransparentIndex = FResultCount;
        FResult[static_cast<std::size_t>(FResultCount)] = TGIFColor{};
        ++FResultCount;
    }
}

void TColorMapOptimizer::Apply() {
    TGIFGlobalColorMap& Global = FImage.GlobalColorMap();
    TGIFHeader& Header = FImage.ScreenHeader;
    // The background colour is kept: its index goes to the same colour in
    // the merged map, or to the nearest one.
    const int Background = Header.BackgroundColorIndex;
    const bool HasBackground = Background < Global.Count();
    const TGIFColor BackgroundColor = HasBackground ? Global.Entries()[Background] : TGIFColor{};

    for (const auto& F : FImage.Images) F->ColorTable.Clear();
    Global.LoadFromTable(FResult.data(), FResultCount);
    Global.UseOrdered = true;
    if (HasBackground && FResultCount > 0) {
        int Index = FindExact(FResult.data(), FResultCount, BackgroundColor);
        if (Index < 0) Index = GIFNearestColorBySum(FResult.data(), FResultCount, BackgroundColor);
        Header.BackgroundColorIndex = static_cast<std::uint8_t>(Index);
    }

    for (const auto& H : FHistograms) {
        const TGIFIndexMap Map = H->IndexMap();
        for (TGIFSubImage* F : H->Frames()) {
            const int T = FUseTransparency ? TransparentIndexOf(*F) : -1;
            MapPixels(F->PixelData, Map, T, static_cast<std::uint8_t>(FNewTransparentIndex));
            if (T >= 0) F->GraphicControlExtension->SetTransparentColorIndex(FNewTransparentIndex);
        }
    }
    for (const auto& F : FImage.Images) {
        F->FreeBitmap();
        F->LocalColorMapChanged();
    }
}

void TColorMapOptimizer::Optimize() {
    FHistograms.clear();
    CollectHistograms();
    MergeEqualColors();
    ChooseColors();
    Apply();
}

void TGIFImage::OptimizeColorMaps() {
    TPainterHold Hold(*this);
    TColorMapOptimizer Optimizer(*this);
    Optimizer.Optimize();
}

// ---------------------------------------------------------------- frames

void TGIFSubImage::MaskRepeatedPixels(const TGIFSubImage* Previous) {
    if (!Previous || Previous == this || !HasPixels(*this) || !HasPixels(*Previous)) return;
    // Only after a frame that stays on the screen are its pixels under self.
    // Values above 3 are not defined; they are taken as changing the screen.
    if (DisposalOf(*Previous) >= dmBackground) return;
    const TRect A = FrameRect();
    const TRect B = Previous->FrameRect();
    const TRect Overlap =
        Rect(std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right), std::min(A.Bottom, B.Bottom));
    if (Overlap.IsEmpty()) return;

    const bool WasTransparent = Transparent && GraphicControlExtension;
    int T = WasTransparent ? GraphicControlExtension->TransparentColorIndex() : -1;
    if (!WasTransparent) {
        const int Local = ColorTable.Count();
        const int Global = FImage ? FImage->GlobalColorMap().Count() : 0;
        const bool Room = Local > 0 ? Local < 256 : (Global >= 1 && Global <= 255);
        if (!Room) return;
    }
    const int PrevT = TransparentIndexOf(*Previous);
    const TGIFColorMap& SelfMap = UsedColorMap();
    const TGIFColorMap& PrevMap = Previous->UsedColorMap();
    const bool SameMap = &SelfMap == &PrevMap;
    // The colours as they are now (an added entry changes none of them).
    const std::vector<TGIFColor> SelfColors(SelfMap.Entries(), SelfMap.Entries() + SelfMap.Count());
    const std::vector<TGIFColor> PrevColors(PrevMap.Entries(), PrevMap.Entries() + PrevMap.Count());
    const int SelfCount = SelfMap.Count();
    const int PrevCount = PrevMap.Count();

    // Calls Visit(self's pixel) for every pixel of the overlap that repeats
    // the previous frame's; stops when Visit answers false.
    auto ForRepeated = [&](auto&& Visit) {
        for (int Y = Overlap.Top; Y < Overlap.Bottom; ++Y) {
            std::uint8_t* Row = PixelData.data() + std::size_t(Y - FTop) * std::size_t(FWidth);
            const std::uint8_t* PrevRow =
                Previous->PixelData.data() + std::size_t(Y - Previous->Top()) * std::size_t(Previous->Width());
            for (int X = Overlap.Left; X < Overlap.Right; ++X) {
                std::uint8_t& P = Row[X - FLeft];
                const int Q = PrevRow[X - Previous->Left()];
                if (P == T || Q == PrevT) continue;
                const bool Same = (P == Q && SameMap) ||
                                  (P < SelfCount && Q < PrevCount && SelfColors[P] == PrevColors[std::size_t(Q)]);
                if (Same && !Visit(P)) return;
            }
        }
    };

    if (T < 0) {
        bool Any = false;
        ForRepeated([&](std::uint8_t&) {
            Any = true;
            return false;
        });
        if (!Any) return;
        // T must be an index no pixel of self shows, or self's own pixels of
        // that index would vanish.
        const auto Uses = IndexCounts(*this);
        if (ColorTable.Count() == 0 && FImage)
            for (const auto& F : FImage->Images) {
                if (F.get() == this || !F->Transparent || F->ColorTable.Count() > 0 || !F->GraphicControlExtension)
                    continue;
                const int Other = F->GraphicControlExtension->TransparentColorIndex();
                if (Other < SelfCount && Uses[Other] == 0) T = Other;
                break;
            }
        if (T < 0) {
            if (Uses[SelfCount] > 0) return;
            T = UsedColorMap().Add(0);
        }
    }
    const auto NewT = static_cast<std::uint8_t>(T);
    ForRepeated([&](std::uint8_t& P) {
        P = NewT;
        return true;
    });
    if (!WasTransparent) {
        if (!GraphicControlExtension) FrameExtensions.Add(std::make_unique<TGIFGraphicControlExtension>(*this));
        GraphicControlExtension->SetTransparentColorIndex(T);
        GraphicControlExtension->SetTransparent(true);
    }
    FreeBitmap();
}

void TGIFSubImage::TrimTransparentBorder() {
    if (!HasPixels(*this) || !Transparent || !GraphicControlExtension) return;
    const int Disposal = DisposalOf(*this);
    if (Disposal == dmBackground || Disposal > dmPrevious) return;
    const std::uint8_t T = GraphicControlExtension->TransparentColorIndex();
    // The columns and rows that hold a pixel other than T.
    int L = FWidth, R = -1, Top = -1, Bottom = -1;
    for (int Y = 0; Y < FHeight; ++Y) {
        const std::uint8_t* Row = PixelData.data() + std::size_t(Y) * std::size_t(FWidth);
        int First = 0;
        while (First < FWidth && Row[First] == T) ++First;
        if (First == FWidth) continue;
        int Last = FWidth - 1;
        while (Row[Last] == T) --Last;
        L = std::min(L, First);
        R = std::max(R, Last);
        if (Top < 0) Top = Y;
        Bottom = Y;
    }
    if (R < 0) {
        Clear();
        return;
    }
    const int W = R - L + 1;
    const int H = Bottom - Top + 1;
    if (W == FWidth && H == FHeight) return;
    std::vector<std::uint8_t> Cut(std::size_t(W) * std::size_t(H));
    for (int Y = 0; Y < H; ++Y)
        std::copy_n(PixelData.begin() + std::ptrdiff_t(std::size_t(Top + Y) * std::size_t(FWidth) + std::size_t(L)), W,
                    Cut.begin() + std::ptrdiff_t(std::size_t(Y) * std::size_t(W)));
    PixelData = std::move(Cut);
    FLeft += L;
    FTop += Top;
    FWidth = W;
    FHeight = H;
    FreeBitmap();
}

// ---------------------------------------------------------------- Optimize

namespace {

bool FullyTransparent(const TGIFSubImage& F) {
    const int T = TransparentIndexOf(F);
    return T >= 0 && IndexCounts(F)[static_cast<std::size_t>(T)] == F.PixelData.size();
}

// Whether frame I, which shows no pixel, can leave the animation with its
// delay added to the frame before it: only when the screen during its delay
// is the picture the frame before it showed, and it leaves the screen as it
// found it.
bool CanDropBlankFrame(const TGIFImage& Image, int I) {
    if (I == 0) return false;
    const TGIFSubImage& F = Image.Images[I];
    const TGIFSubImage& P = Image.Images[I - 1];
    const TGIFGraphicControlExtension* G = F.GraphicControlExtension;
    if (!G || G->WaitsForInput() || F.FindExtension<TGIFAppExtNSLoop>()) return false;
    const int Disposal = G->Disposal();
    if (Disposal != 0 && Disposal != 1 && Disposal != 3) return false;
    if (!HasPixels(P) || DisposalOf(P) > dmNoDisposal) return false;
    const int PrevDelay = P.GraphicControlExtension ? P.GraphicControlExtension->Delay() : 0;
    return PrevDelay + G->Delay() <= 0xFFFF;
}

bool IsRemovableExtension(const TGIFExtension& E) {
    if (dynamic_cast<const TGIFAppExtNSLoop*>(&E)) return false;
    return dynamic_cast<const TGIFCommentExtension*>(&E) || dynamic_cast<const TGIFTextExtension*>(&E) ||
           dynamic_cast<const TGIFApplicationExtension*>(&E);
}

int CountGraphicControls(const TGIFSubImage& F) {
    int N = 0;
    for (const auto& E : F.FrameExtensions)
        if (dynamic_cast<const TGIFGraphicControlExtension*>(E.get())) ++N;
    return N;
}

}  // namespace

void TGIFImage::Optimize(std::uint8_t Options, std::uint8_t ReductionMethod, std::uint8_t /*DitherMethod*/,
                         std::uint8_t /*ReductionDepth*/) {
    if (Images.Count() == 0) return;
    TPainterHold Hold(*this);
    Progress(TProgressStage::psStarting, 0, gifmsg::Optimizing);
    try {
        const std::int64_t Total = std::int64_t(6) * Images.Count();
        std::int64_t Steps = 0;
        // One step per frame in each of the six passes; a pass that does
        // not run still counts its frames.
        auto Step = [&] {
            ++Steps;
            Progress(TProgressStage::psRunning, static_cast<int>(std::min<std::int64_t>(Steps * 100 / Total, 100)),
                     gifmsg::Optimizing);
        };

        // Maps ordered by use.
        if ((Options & optSortColorMaps) && GlobalColorMap().Count() > 0) GlobalColorMap().SortByUse();
        for (const auto& F : Images) {
            if ((Options & optSortColorMaps) && F->ColorTable.Count() > 0) F->ColorTable.SortByUse();
            Step();
        }

        // Transparency no pixel uses.
        for (const auto& F : Images) {
            if ((Options & optCleanup) && F->Transparent && F->GraphicControlExtension) {
                const std::uint8_t T = F->GraphicControlExtension->TransparentColorIndex();
                if (IndexCounts(*F)[T] == 0) F->GraphicControlExtension->SetTransparent(false);
            }
            Step();
        }

        // Disposal that the next frame makes pointless: it covers the whole
        // rectangle with opaque pixels. Not when the next frame restores the
        // screen from before itself (disposal 3, or a value above 3), which
        // would bring back what this disposal left.
        for (int I = 0; I + 1 < Images.Count(); ++I) {
            TGIFSubImage& F = Images[I];
            const TGIFSubImage& Next = Images[I + 1];
            TGIFGraphicControlExtension* G = F.GraphicControlExtension;
            if ((Options & optCleanup) && G && (G->Disposal() == dmBackground || G->Disposal() == dmPrevious) &&
                !Next.Transparent && HasPixels(Next) && DisposalOf(Next) <= dmBackground) {
                const TRect A = F.FrameRect();
                const TRect B = Next.FrameRect();
                const TRect Both = Rect(std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right),
                                        std::min(A.Bottom, B.Bottom));
                if (!Both.IsEmpty() && Both == A) G->SetDisposal(0);
            }
            Step();
        }

        // Pixels that repeat what the screen already shows become
        // transparent, from the last frame down so that every frame is
        // compared with its predecessor's own pixels.
        for (int I = Images.Count() - 1; I >= 1; --I) {
            if (Options & optMergeFrames) {
                int B = I - 1;
                while (B > 0 && Images[B].GraphicControlExtension &&
                       Images[B].GraphicControlExtension->Disposal() == dmPrevious)
                    --B;
                Images[I].MaskRepeatedPixels(&Images[B]);
            }
            Step();
        }

        // Transparent borders are cut off; a frame left without pixels goes,
        // its delay added to the frame before it, where that keeps the
        // timeline (see CanDropBlankFrame); otherwise it stays as it is.
        for (int I = Images.Count() - 1; I >= 0; --I) {
            TGIFSubImage& F = Images[I];
            if ((Options & optCropFrames) && HasPixels(F) && F.Transparent && F.GraphicControlExtension) {
                if (!FullyTransparent(F)) {
                    F.TrimTransparentBorder();
                } else if (CanDropBlankFrame(*this, I)) {
                    const std::uint16_t Delay = F.GraphicControlExtension->Delay();
                    TGIFSubImage& P = Images[I - 1];
                    if (Delay > 0) {
                        if (!P.GraphicControlExtension)
                            P.FrameExtensions.Add(std::make_unique<TGIFGraphicControlExtension>(P));
                        P.GraphicControlExtension->SetDelay(
                            static_cast<std::uint16_t>(P.GraphicControlExtension->Delay() + Delay));
                    }
                    Images.RemoveAt(I);
                }
            }
            Step();
        }

        // Extensions, graphic control extensions and frames without effect.
        // The first loop extension is the one a player obeys: it stays
        // wherever it is (a player starts later passes at its frame).
        const TGIFAppExtNSLoop* FirstLoop = nullptr;
        for (const auto& F : Images)
            if ((FirstLoop = F->FindExtension<TGIFAppExtNSLoop>())) break;
        for (int I = Images.Count() - 1; I >= 0; --I) {
            if (Options & optCleanup) {
                TGIFSubImage& F = Images[I];
                for (int K = F.FrameExtensions.Count() - 1; K >= 0; --K) {
                    const TGIFExtension& E = F.FrameExtensions[K];
                    const bool Loop = dynamic_cast<const TGIFAppExtNSLoop*>(&E);
                    if (IsRemovableExtension(E) || (Loop && (&E != FirstLoop || Images.Count() <= 1)))
                        F.FrameExtensions.RemoveAt(K);
                }
                // A frame with a second graphic control extension keeps its
                // first: the second would take its place.
                if (TGIFGraphicControlExtension* G = F.GraphicControlExtension) {
                    const bool One = Images.Count() == 1;
                    if ((G->Delay() == 0 || One) && !G->Transparent() && !G->WaitsForInput() &&
                        (G->Disposal() < 2 || One) && CountGraphicControls(F) == 1)
                        F.FrameExtensions.RemoveAt(F.FrameExtensions.IndexOf(G));
                }
                if (F.Empty() && F.FrameExtensions.Count() == 0) Images.RemoveAt(I);
            }
            Step();
        }

        if (!(Options & optCleanup) && (Options & optReduceColors) && ReductionMethod == 9)
            throw GIFException(gifmsg::InvalidReductionMethod);
    } catch (...) {
        Progress(TProgressStage::psEnding, 0, gifmsg::Optimizing);
        throw;
    }
    Progress(TProgressStage::psEnding, 100, gifmsg::Optimizing);
}

}  // namespace anivert
