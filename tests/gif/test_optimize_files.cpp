// Colour-map merging and frame optimisation on real files: the GIFs of the
// shared corpus and those made with ImageMagick and gifsicle in
// tests/data/gif-optimize. What the animation shows over time must not
// change; where the colours do not fit one map, every colour that did not
// fit takes the nearest one by component sum.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "GIFTestUtil.h"
#include "GIFTimeline.h"

using namespace anivert;
using namespace anivert::test;

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Files() {
    std::vector<std::string> Paths;
    for (const std::string& Name : CorpusFiles()) Paths.push_back(CorpusDir() + "/gifs/" + Name);
    std::error_code EC;
    for (const auto& E : fs::directory_iterator(std::string(ANIVERT_TEST_DATA) + "/gif-optimize", EC))
        if (E.path().extension() == ".gif") Paths.push_back(E.path().string());
    std::sort(Paths.begin(), Paths.end());
    return Paths;
}

std::string TestName(const testing::TestParamInfo<std::string>& Info) {
    const fs::path P(Info.param);
    std::string S = P.parent_path().filename().string() + "_" + P.stem().string();
    for (char& C : S)
        if (!std::isalnum(static_cast<unsigned char>(C))) C = '_';
    return S;
}

bool Displayed(const TGIFSubImage& F) {
    return !F.Empty() && F.PixelData.size() == std::size_t(F.Width()) * std::size_t(F.Height());
}

int TransparentIndex(const TGIFSubImage& F) {
    return F.Transparent && F.GraphicControlExtension ? F.GraphicControlExtension->TransparentColorIndex() : -1;
}

// The colour a pixel shows (0x00BBGGRR; an index past the map is black).
TColor Shown(const TGIFSubImage& F, int Index) {
    const TGIFColorMap& M = F.UsedColorMap();
    return Index < M.Count() ? GIFColorToColor(M.Entries()[Index]) : 0;
}

// The distinct colours the frames show, and whether any frame shows a
// transparent pixel.
std::set<TColor> ShownColors(const TGIFImage& Image, bool& AnyTransparent) {
    std::set<TColor> Colors;
    AnyTransparent = false;
    for (const auto& F : Image.Images) {
        if (!Displayed(*F)) continue;
        bool Used[256] = {};
        const std::uint8_t* P = F->PixelData.data();
        for (const std::uint8_t* End = P + F->PixelData.size(); P != End; ++P) Used[*P] = true;
        const int T = TransparentIndex(*F);
        for (int I = 0; I < 256; ++I) {
            if (!Used[I]) continue;
            if (I == T)
                AnyTransparent = true;
            else
                Colors.insert(Shown(*F, I));
        }
    }
    return Colors;
}

int Sum(TColor C) { return int(C & 0xFF) + int((C >> 8) & 0xFF) + int((C >> 16) & 0xFF); }

// After the merge every frame draws with the global map and no pixel index
// lies past it.
void ExpectOneGlobalMap(const TGIFImage& Image) {
    const int Count = Image.GlobalColorMap().Count();
    for (int K = 0; K < Image.Images.Count(); ++K) {
        const TGIFSubImage& F = Image.Images[K];
        EXPECT_EQ(F.ColorTable.Count(), 0) << "frame " << K;
        if (!Displayed(F)) continue;
        int Largest = 0;
        const std::uint8_t* P = F.PixelData.data();
        for (const std::uint8_t* End = P + F.PixelData.size(); P != End; ++P)
            if (*P > Largest) Largest = *P;
        EXPECT_LT(Largest, Count) << "frame " << K;
        if (F.Transparent) {
            EXPECT_LT(TransparentIndex(F), Count) << "frame " << K;
        }
    }
}

struct Loaded {
    TGIFImage Image;
    std::vector<std::string> Warnings;
    std::string Error;
};

std::unique_ptr<Loaded> Load(const std::string& Path) {
    auto L = std::make_unique<Loaded>();
    LoadResult R = LoadGif(L->Image, ReadFileBytes(Path));
    L->Error = R.Error;
    return L;
}

class OptimizeFile : public testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(OptimizeFile, KeepsWhatTheAnimationShows) {
    auto L = Load(GetParam());
    TGIFImage& Image = L->Image;
    if (Image.Images.Count() == 0) GTEST_SKIP() << "no frame: " << L->Error;
    // Outside the frames' area the screen stays transparent, before and
    // after (frames only shrink or go).
    const TRect Area = CoveredArea(Image);
    const std::vector<TimelinePicture> Before = Timeline(Image, Area);

    // The copy is the image, picture for picture.
    TGIFImage Copy;
    Copy.CopyFrom(Image);
    ASSERT_EQ(Copy.Images.Count(), Image.Images.Count());
    EXPECT_EQ(CompareTimelines(Before, Timeline(Copy, Area)), "");

    bool AnyTransparent = false;
    const std::set<TColor> Colors = ShownColors(Image, AnyTransparent);
    const bool Fits = Colors.size() <= (AnyTransparent ? 255u : 256u);

    ASSERT_NO_THROW(Copy.OptimizeColorMaps());
    ExpectOneGlobalMap(Copy);
    if (Fits) {
        EXPECT_EQ(CompareTimelines(Before, Timeline(Copy, Area)), "") << "after merging the maps";
    }
    for (std::uint8_t Options : {std::uint8_t(30), std::uint8_t(31)}) {
        SCOPED_TRACE("options " + std::to_string(Options));
        TGIFImage Work;
        Work.CopyFrom(Copy);
        ASSERT_NO_THROW(Work.Optimize(Options, 0, 0, 8));
        ExpectOneGlobalMap(Work);
        if (Fits) {
            EXPECT_EQ(CompareTimelines(Before, Timeline(Work, Area)), "") << "after Optimize";
        }
    }
}

TEST_P(OptimizeFile, EveryOptionSetKeepsTheTimelineWithoutMerging) {
    // Optimize on the maps as the file has them (local maps too), with every
    // combination of options; the big animations are left to the test above.
    auto L = Load(GetParam());
    TGIFImage& Image = L->Image;
    if (Image.Images.Count() == 0) GTEST_SKIP() << "no frame: " << L->Error;
    std::uint64_t Pixels = 0;
    for (const auto& F : Image.Images) Pixels += F->PixelData.size();
    if (Pixels > 200000) GTEST_SKIP() << Pixels << " pixels";
    const TRect Area = CoveredArea(Image);
    const std::vector<TimelinePicture> Before = Timeline(Image, Area);
    for (int Options = 0; Options < 32; ++Options) {
        TGIFImage Work;
        Work.CopyFrom(Image);
        ASSERT_NO_THROW(Work.Optimize(static_cast<std::uint8_t>(Options), 0, 0, 8));
        EXPECT_EQ(CompareTimelines(Before, Timeline(Work, Area)), "") << "options " << Options;
    }
}

TEST_P(OptimizeFile, ColoursThatDoNotFitTakeTheNearestBySum) {
    auto L = Load(GetParam());
    TGIFImage& Image = L->Image;
    bool AnyTransparent = false;
    const std::set<TColor> Colors = ShownColors(Image, AnyTransparent);
    if (Colors.size() <= (AnyTransparent ? 255u : 256u)) GTEST_SKIP() << Colors.size() << " colours fit one map";
    TGIFImage Work;
    Work.CopyFrom(Image);
    Work.OptimizeColorMaps();
    ExpectOneGlobalMap(Work);
    const TGIFColorMap& Map = Work.GlobalColorMap();
    // The chosen colours; a black entry for transparency follows them.
    const int Chosen = Map.Count() - (AnyTransparent ? 1 : 0);
    ASSERT_EQ(Chosen, AnyTransparent ? 255 : 256);
    std::set<TColor> Kept;
    for (int I = 0; I < Chosen; ++I) Kept.insert(GIFColorToColor(Map.Entries()[I]));
    EXPECT_EQ(Kept.size(), std::size_t(Chosen)) << "a colour is in the merged map twice";
    std::size_t Moved = 0;
    for (int K = 0; K < Image.Images.Count(); ++K) {
        SCOPED_TRACE("frame " + std::to_string(K));
        const TGIFSubImage& Old = Image.Images[K];
        const TGIFSubImage& New = Work.Images[K];
        if (!Displayed(Old)) continue;
        // Pixels keep their places: every old index has gone to one new
        // index, the transparent one to the new transparent one.
        int To[256];
        std::fill(std::begin(To), std::end(To), -1);
        const std::uint8_t* A = Old.PixelData.data();
        const std::uint8_t* B = New.PixelData.data();
        for (std::size_t P = 0; P < Old.PixelData.size(); ++P) {
            if (To[A[P]] < 0) To[A[P]] = B[P];
            ASSERT_EQ(To[A[P]], B[P]) << "pixel " << P;
        }
        const int OldT = TransparentIndex(Old), NewT = TransparentIndex(New);
        for (int I = 0; I < 256; ++I) {
            if (To[I] < 0) continue;
            ASSERT_EQ(I == OldT, To[I] == NewT) << "index " << I;
            if (I == OldT) continue;
            const TColor Was = Shown(Old, I);
            ASSERT_LT(To[I], Chosen) << "index " << I;
            const TColor Is = GIFColorToColor(Map.Entries()[To[I]]);
            if (Is == Was) continue;
            ASSERT_EQ(Kept.count(Was), 0u) << "a colour of the merged map went elsewhere";
            int Best = 765;
            for (TColor C : Kept) Best = std::min(Best, std::abs(Sum(C) - Sum(Was)));
            ASSERT_EQ(std::abs(Sum(Is) - Sum(Was)), Best) << "index " << I;
            ++Moved;
        }
    }
    EXPECT_GT(Moved, 0u);
}

INSTANTIATE_TEST_SUITE_P(Files, OptimizeFile, testing::ValuesIn(Files()), TestName);
