// GIFImage unit: colour-map merging and frame optimisation. The entry points
// are TGIFImage::OptimizeColorMaps and TGIFImage::Optimize; the classes here
// are the merging's working parts.
#pragma once
#ifndef ANIVERT_GIFIMAGE_UNIT
#error "include GIFImage.h"
#endif

#include <array>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace anivert {

class TGIFColorMap;
class TGIFImage;
class TGIFSubImage;

// Sorts A[L..R] by Key, larger keys first: a quicksort whose pivot is the
// key of the middle element, Hoare partitioning. Elements with equal keys
// end in the order this procedure leaves them, and the order of merged
// colours depends on it, so the partition steps must stay exactly as they
// are. The two parts of a partition are independent; the smaller one is
// sorted by recursion and the larger one by the loop, which keeps the stack
// shallow without changing the result.
template <class T, class KeyOf>
void GIFQuickSort(std::vector<T>& A, int L, int R, const KeyOf& Key) {
    while (L < R) {
        int I = L;
        int J = R;
        const auto P = Key(A[static_cast<std::size_t>((L + R) / 2)]);
        do {
            while (Key(A[static_cast<std::size_t>(I)]) > P) ++I;
            while (Key(A[static_cast<std::size_t>(J)]) < P) --J;
            if (I <= J) {
                std::swap(A[static_cast<std::size_t>(I)], A[static_cast<std::size_t>(J)]);
                ++I;
                --J;
            }
        } while (I <= J);
        if (J - L < R - I) {
            if (L < J) GIFQuickSort(A, L, J, Key);
            L = I;
        } else {
            if (I < R) GIFQuickSort(A, I, R, Key);
            R = J;
        }
    }
}

// One colour of a histogram.
struct THistogramEntry {
    // Pixels counted (saturates at 2^31 - 1); 0 for a merged duplicate.
    std::uint32_t Count = 0;
    // Index in the counted map; THistogram::OutsideIndex for the pixels
    // past the map's end.
    int OldIndex = 0;
    // Index in the merged map; 256 until one is chosen.
    int NewIndex = 256;
    // Red | green << 8 | blue << 16, compared as one number.
    std::uint32_t Color = 0;
    // For a merged duplicate: the entry of the same colour that took its
    // count.
    THistogramEntry* Target = nullptr;
};

// The use of one colour map's entries by the frames that draw with it.
class THistogram {
public:
    // Pixels whose index lies past the map's end are shown black; they are
    // counted in an entry of their own, black, with this old index.
    static constexpr int OutsideIndex = 256;

    explicit THistogram(TGIFColorMap& Map);
    THistogram(const THistogram&) = delete;
    THistogram& operator=(const THistogram&) = delete;

    TGIFColorMap& Map() const { return FMap; }
    // Counts the frame's pixels, its transparent ones left out, and
    // remembers the frame. A transparent frame whose transparent index no
    // pixel uses loses its transparency. Answers whether the frame has
    // transparent pixels.
    bool CountFrame(TGIFSubImage& Frame);
    // Sorts the entries by use (most first) and drops the unused ones;
    // answers how many are left.
    int Prune();
    // The entries, after Prune sorted and cut.
    const std::vector<THistogramEntry*>& List() const { return FList; }
    const std::vector<TGIFSubImage*>& Frames() const { return FFrames; }
    // Old index -> new index, from the entries' NewIndex.
    TGIFIndexMap IndexMap() const;

private:
    TGIFColorMap& FMap;
    // The map's size when it was counted (the merge empties or refills it).
    int FMapCount;
    std::vector<THistogramEntry> FEntries;
    std::uint32_t FOutside = 0;
    std::vector<THistogramEntry*> FList;
    std::vector<TGIFSubImage*> FFrames;
};

// Merges every map of an image into one global map (see
// TGIFImage::OptimizeColorMaps).
class TColorMapOptimizer {
public:
    explicit TColorMapOptimizer(TGIFImage& Image) : FImage(Image) {}
    TColorMapOptimizer(const TColorMapOptimizer&) = delete;
    TColorMapOptimizer& operator=(const TColorMapOptimizer&) = delete;

    void Optimize();

    // The merged map (valid after Optimize).
    int ResultCount() const { return FResultCount; }
    const std::array<TGIFColor, 256>& Result() const { return FResult; }
    bool UseTransparency() const { return FUseTransparency; }
    int NewTransparentIndex() const { return FNewTransparentIndex; }

private:
    void CollectHistograms();
    void MergeEqualColors();
    void ChooseColors();
    void Apply();

    TGIFImage& FImage;
    std::vector<std::unique_ptr<THistogram>> FHistograms;
    std::vector<THistogramEntry*> FCombined;
    bool FUseTransparency = false;
    int FNewTransparentIndex = 0;
    std::array<TGIFColor, 256> FResult{};
    int FResultCount = 0;
};

// The index of the colour of Table[0..N-1] whose red + green + blue is
// closest to Color's, the first one winning ties; 0 when none is closer
// than 765.
int GIFNearestColorBySum(const TGIFColor* Table, int N, const TGIFColor& Color);

}  // namespace anivert
