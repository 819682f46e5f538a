// Colour-map merging and frame optimisation: the quicksort's order, the
// per-map reordering, the merged map, the frame passes of Optimize (each
// checked against the composed timeline) and copying an image.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "GIFTestUtil.h"
#include "GIFTimeline.h"

using namespace anivert;
using namespace anivert::test;

namespace {

constexpr TColor Red = 0x0000FF, Green = 0x00FF00, Blue = 0xFF0000, White = 0xFFFFFF, Black = 0;

// GCE packed fields: disposal, transparency, user input.
int Packed(int Disposal, bool Transparent = false, bool UserInput = false) {
    return (Disposal << 2) | (Transparent ? 1 : 0) | (UserInput ? 2 : 0);
}

struct Gif {
    TGIFImage Image;
    LoadResult Result;
    explicit Gif(GifBuilder& B) {
        B.Trailer();
        Result = LoadGif(Image, B.Data);
        EXPECT_EQ(Result.Error, "");
    }
    TGIFSubImage& operator[](int I) { return Image.Images[I]; }
    std::vector<TColor> Global() const {
        std::vector<TColor> C;
        for (int I = 0; I < Image.GlobalColorMap().Count(); ++I)
            C.push_back(GIFColorToColor(Image.GlobalColorMap().Entries()[I]));
        return C;
    }
};

int Delay(const TGIFSubImage& F) { return F.GraphicControlExtension ? F.GraphicControlExtension->Delay() : -1; }
int Disposal(const TGIFSubImage& F) {
    return F.GraphicControlExtension ? F.GraphicControlExtension->Disposal() : -1;
}
int TransparentIndex(const TGIFSubImage& F) {
    return F.Transparent ? F.GraphicControlExtension->TransparentColorIndex() : -1;
}

// Optimises a copy of the image and answers it; the timeline must not
// change.
std::unique_ptr<TGIFImage> Optimized(const TGIFImage& Image, std::uint8_t Options) {
    auto Copy = std::make_unique<TGIFImage>();
    Copy->CopyFrom(Image);
    Copy->Optimize(Options, 0, 0, 8);
    EXPECT_EQ(CompareTimelines(Timeline(Image), Timeline(*Copy)), "") << "options " << int(Options);
    return Copy;
}

}  // namespace

// ---------------------------------------------------------------- ordering

TEST(GIFOptimize, QuickSortPutsLargerKeysFirstAndLeavesTiesWhereItsStepsPutThem) {
    std::vector<std::pair<int, char>> A{{1, 'a'}, {3, 'b'}, {0, 'c'}, {3, 'd'}};
    GIFQuickSort(A, 0, 3, [](const std::pair<int, char>& P) { return P.first; });
    EXPECT_EQ(A, (std::vector<std::pair<int, char>>{{3, 'd'}, {3, 'b'}, {1, 'a'}, {0, 'c'}}));
    // All keys equal: the partitions still swap.
    std::vector<std::pair<int, char>> B{{2, 'a'}, {2, 'b'}, {2, 'c'}, {2, 'd'}};
    GIFQuickSort(B, 0, 3, [](const std::pair<int, char>& P) { return P.first; });
    EXPECT_EQ(B, (std::vector<std::pair<int, char>>{{2, 'c'}, {2, 'd'}, {2, 'a'}, {2, 'b'}}));
    // Many keys, few distinct: larger first, nothing lost.
    std::vector<int> Long;
    for (int I = 0; I < 5000; ++I) Long.push_back((I * 7919) % 13);
    std::vector<int> Sorted = Long;
    GIFQuickSort(Sorted, 0, int(Sorted.size()) - 1, [](int V) { return V; });
    EXPECT_TRUE(std::is_sorted(Sorted.rbegin(), Sorted.rend()));
    std::sort(Long.begin(), Long.end());
    std::sort(Sorted.begin(), Sorted.end());
    EXPECT_EQ(Sorted, Long);
}

TEST(GIFOptimize, SortByUseReordersDropsUnusedAndMovesIndices) {
    // Uses: A 1, B 3, C 0, D 3. The sort gives D, B, A, C; C is dropped.
    const TColor A = 0x000010, B = 0x002000, C = 0xC80000, D = 0x000064;
    GifBuilder G;
    G.Header(7, 1, {A, B, C, D}, "GIF89a", 2);
    G.GCE(Packed(0, true), 0, 3);
    G.Frame(0, 0, 7, 1, {1, 3, 1, 0, 3, 1, 3}, {}, false, 2);
    Gif F(G);
    EXPECT_TRUE(F.Image.GlobalColorMap().SortByUse());
    EXPECT_TRUE(F.Image.GlobalColorMap().UseOrdered);
    EXPECT_EQ(F.Global(), (std::vector<TColor>{D, B, A}));
    EXPECT_EQ(F[0].PixelData, (std::vector<std::uint8_t>{1, 0, 1, 2, 0, 1, 0}));
    EXPECT_EQ(TransparentIndex(F[0]), 0);
    // The background was C: it goes to the colour nearest by component sum.
    EXPECT_EQ(F.Image.ScreenHeader.BackgroundColorIndex, 0);
}

TEST(GIFOptimize, SortByUseKeepsAMapWhoseOrderMatchesItsUse) {
    GifBuilder G;
    G.Header(6, 1, {Red, Green, Blue, White}, "GIF89a", 3);
    G.Frame(0, 0, 6, 1, {0, 1, 0, 2, 1, 0}, {}, false, 2);
    Gif F(G);
    EXPECT_TRUE(F.Image.GlobalColorMap().SortByUse());
    EXPECT_TRUE(F.Image.GlobalColorMap().UseOrdered);
    // White is used by no pixel and stays.
    EXPECT_EQ(F.Global(), (std::vector<TColor>{Red, Green, Blue, White}));
    EXPECT_EQ(F.Image.ScreenHeader.BackgroundColorIndex, 3);
    // A map of one entry, and a global map of an image without frames, are
    // left alone.
    GifBuilder One;
    One.Header(1, 1, {Red});
    One.Frame(0, 0, 1, 1, {0}, {Blue}, false, 2);
    Gif O(One);
    O[0].ColorTable.Clear();
    O[0].ColorTable.Add(Blue);
    EXPECT_FALSE(O[0].ColorTable.SortByUse());
    EXPECT_FALSE(O[0].ColorTable.UseOrdered);
    TGIFImage Empty;
    Empty.GlobalColorMap().Add(Red);
    Empty.GlobalColorMap().Add(Green);
    EXPECT_FALSE(Empty.GlobalColorMap().SortByUse());
    // A global map no frame draws with keeps its entries (and so the
    // background colour).
    GifBuilder Unused;
    Unused.Header(2, 1, {Red, Green, Blue, White}, "GIF89a", 2);
    Unused.Frame(0, 0, 2, 1, {0, 1}, {Blue, White}, false, 2);
    Gif U(Unused);
    EXPECT_TRUE(U.Image.GlobalColorMap().SortByUse());
    EXPECT_EQ(U.Global(), (std::vector<TColor>{Red, Green, Blue, White}));
    EXPECT_EQ(U.Image.BackgroundColor(), Blue);
}

// ---------------------------------------------------------------- merging

TEST(GIFOptimize, MergingThreeHundredColoursKeepsTheMostUsedAndMapsTheRestToTheNearestSum) {
    // Two frames with local maps of 200 colours, 100 of them shared.
    auto Color = [](int K) { return TColor(K % 256) | (TColor(K / 256 * 90) << 8) | (TColor(K % 7) << 16); };
    std::vector<TColor> First, Second;
    std::vector<std::uint8_t> Pixels;
    for (int K = 0; K < 200; ++K) {
        First.push_back(Color(K));
        Second.push_back(Color(K + 100));
        Pixels.push_back(static_cast<std::uint8_t>(K));
    }
    for (bool Transparency : {false, true}) {
        SCOPED_TRACE(Transparency ? "with transparency" : "opaque");
        GifBuilder G;
        G.Header(200, 1, {Black, White});
        G.Frame(0, 0, 200, 1, Pixels, First);
        if (Transparency) G.GCE(Packed(0, true), 0, 0);
        G.Frame(0, 0, 200, 1, Pixels, Second);
        Gif F(G);
        TGIFImage Before;
        Before.CopyFrom(F.Image);
        F.Image.OptimizeColorMaps();
        const std::vector<TColor> Map = F.Global();
        ASSERT_EQ(Map.size(), 256u);
        EXPECT_TRUE(F.Image.GlobalColorMap().UseOrdered);
        const std::size_t Chosen = Transparency ? 255 : 256;
        if (Transparency) {
            EXPECT_EQ(Map[255], Black);
            EXPECT_EQ(TransparentIndex(F[1]), 255);
            EXPECT_EQ(F[1].PixelData[0], 255);
        }
        const std::set<TColor> Kept(Map.begin(), Map.begin() + std::ptrdiff_t(Chosen));
        EXPECT_EQ(Kept.size(), Chosen);
        for (int K = 0; K < 2; ++K) {
            EXPECT_EQ(F[K].ColorTable.Count(), 0);
            for (int X = 0; X < 200; ++X) {
                if (K == 1 && X == 0 && Transparency) continue;
                const TColor Was = (K == 0 ? First : Second)[std::size_t(X)];
                const TColor Is = Map[F[K].PixelData[std::size_t(X)]];
                // The shared colours are used twice: all of them are kept.
                const bool Shared = (K == 0 && X >= 100) || (K == 1 && X < 100);
                if (Shared || Kept.count(Was)) {
                    EXPECT_EQ(Is, Was) << K << "," << X;
                    continue;
                }
                auto Sum = [](TColor C) { return int(C & 0xFF) + int((C >> 8) & 0xFF) + int(C >> 16); };
                int Best = 765;
                for (TColor C : Kept) Best = std::min(Best, std::abs(Sum(C) - Sum(Was)));
                EXPECT_EQ(std::abs(Sum(Is) - Sum(Was)), Best) << K << "," << X;
            }
        }
    }
}

TEST(GIFOptimize, TransparencyThatNoPixelUsesIsDropped) {
    GifBuilder G;
    G.Header(2, 1, {Red, Green, Blue, White});
    G.GCE(Packed(1, true), 5, 3);
    G.Frame(0, 0, 2, 1, {0, 1}, {}, false, 2);
    G.GCE(Packed(1, true), 5, 2);
    G.Frame(0, 0, 2, 1, {2, 1}, {}, false, 2);
    Gif F(G);
    TGIFImage Merged;
    Merged.CopyFrom(F.Image);
    Merged.OptimizeColorMaps();
    EXPECT_FALSE(Merged.Images[0].Transparent);
    EXPECT_EQ(Merged.Images[0].GraphicControlExtension->TransparentColorIndex(), 0);
    EXPECT_TRUE(Merged.Images[1].Transparent);
    auto Cleaned = Optimized(F.Image, optCleanup);
    EXPECT_FALSE(Cleaned->Images[0].Transparent);
    EXPECT_TRUE(Cleaned->Images[1].Transparent);
}

TEST(GIFOptimize, MergingFramesOfOnlyTransparentPixelsKeepsTheTransparentEntry) {
    GifBuilder G;
    G.Header(2, 1, {Red, Green});
    G.GCE(Packed(1, true), 0, 1);
    G.Frame(0, 0, 2, 1, {1, 1}, {Blue, White}, false, 2);
    G.GCE(Packed(1, true), 0, 0);
    G.Frame(0, 0, 2, 1, {0, 0}, {}, false, 2);
    Gif F(G);
    F.Image.OptimizeColorMaps();
    EXPECT_EQ(F.Global(), (std::vector<TColor>{Black}));
    for (int K = 0; K < 2; ++K) {
        EXPECT_EQ(TransparentIndex(F[K]), 0);
        EXPECT_EQ(F[K].PixelData, (std::vector<std::uint8_t>{0, 0}));
    }
}

TEST(GIFOptimize, PixelsPastTheMapAndFramesWithoutAMapStayBlack) {
    GifBuilder G;
    G.Header(3, 1, {});
    G.Frame(0, 0, 3, 1, {0, 1, 3}, {Red, Green}, false, 2);
    G.Frame(0, 0, 3, 1, {0, 0, 1}, {}, false, 2);
    Gif F(G);
    const auto Before = Timeline(F.Image);
    std::vector<std::string> Warnings;
    F.Image.OnDecodeWarning = [&](TGIFImage&, const TGIFItem*, int, const std::string& M) { Warnings.push_back(M); };
    F.Image.OptimizeColorMaps();
    EXPECT_EQ(Warnings, (std::vector<std::string>{"colour not in colour table", "colour not in colour table"}));
    EXPECT_EQ(CompareTimelines(Before, Timeline(F.Image)), "");
    const std::vector<TColor> Map = F.Global();
    EXPECT_EQ(Map[F[0].PixelData[2]], Black);
    EXPECT_EQ(Map[F[1].PixelData[0]], Black);
}

TEST(GIFOptimize, BackgroundIndexFollowsItsColourThroughTheMerge) {
    GifBuilder G;
    G.Header(2, 1, {Red, Green, Blue, White}, "GIF89a", 2);
    G.Frame(0, 0, 2, 1, {3, 2}, {}, false, 2);
    G.Frame(0, 0, 2, 1, {0, 0}, {Green, Red}, false, 2);
    Gif F(G);
    F.Image.OptimizeColorMaps();
    EXPECT_EQ(F.Image.BackgroundColor(), Blue);
}

// ---------------------------------------------------------------- Optimize

TEST(GIFOptimize, RepeatedPixelsBecomeANewTransparentIndex) {
    GifBuilder G;
    G.Header(2, 2, {Red, Green, Blue, White});
    G.Frame(0, 0, 2, 2, {0, 1, 2, 3}, {}, false, 2);
    G.Frame(0, 0, 2, 2, {0, 1, 3, 2}, {}, false, 2);
    Gif F(G);
    auto O = Optimized(F.Image, 30);
    TGIFImage& I = *O;
    // All colours are used twice: the sort's own order moves them.
    ASSERT_EQ(I.Images.Count(), 2);
    EXPECT_EQ(I.GlobalColorMap().Count(), 5);
    EXPECT_EQ(GIFColorToColor(I.GlobalColorMap().Entries()[0]), Blue);
    EXPECT_EQ(GIFColorToColor(I.GlobalColorMap().Entries()[4]), Black);
    EXPECT_EQ(I.Images[0].PixelData, (std::vector<std::uint8_t>{2, 3, 0, 1}));
    EXPECT_EQ(I.Images[0].GraphicControlExtension, nullptr);
    EXPECT_EQ(I.Images[1].PixelData, (std::vector<std::uint8_t>{4, 4, 1, 0}));
    ASSERT_NE(I.Images[1].GraphicControlExtension, nullptr);
    EXPECT_EQ(TransparentIndex(I.Images[1]), 4);
    EXPECT_EQ(I.Images[1].FrameExtensions.Count(), 1);
}

TEST(GIFOptimize, RepeatedPixelsAreMaskedOnlyWhenTheScreenStillShowsThem) {
    // Frame 1 is transparent with index 2; frame 2 draws index 2 as a colour
    // and repeats frame 1's first pixel. (The global map is written with 4
    // entries, the last black.)
    auto Build = [](int PreviousDisposal) {
        GifBuilder G;
        G.Header(3, 1, {Red, Green, Blue});
        G.Frame(0, 0, 3, 1, {0, 0, 0}, {}, false, 2);
        G.GCE(Packed(PreviousDisposal, true), 0, 2);
        G.Frame(0, 0, 3, 1, {1, 2, 2}, {}, false, 2);
        G.Frame(0, 0, 3, 1, {1, 2, 0}, {}, false, 2);
        return G;
    };
    GifBuilder G1 = Build(1);
    Gif F(G1);
    const auto Before = Timeline(F.Image);
    F[2].MaskRepeatedPixels(&F[1]);
    // Index 2 is the other frame's transparent index but frame 2 shows it:
    // a new black entry is taken instead.
    EXPECT_EQ(F.Image.GlobalColorMap().Count(), 5);
    EXPECT_EQ(F[2].PixelData, (std::vector<std::uint8_t>{4, 2, 0}));
    EXPECT_EQ(TransparentIndex(F[2]), 4);
    EXPECT_EQ(CompareTimelines(Before, Timeline(F.Image)), "");
    // A frame that does not show the other frame's transparent index takes
    // it.
    GifBuilder G2;
    G2.Header(2, 1, {Red, Green, Blue});
    G2.GCE(Packed(1, true), 0, 2);
    G2.Frame(0, 0, 2, 1, {0, 2}, {}, false, 2);
    G2.Frame(0, 0, 2, 1, {0, 1}, {}, false, 2);
    Gif R(G2);
    R[1].MaskRepeatedPixels(&R[0]);
    EXPECT_EQ(R.Image.GlobalColorMap().Count(), 4);
    EXPECT_EQ(R[1].PixelData, (std::vector<std::uint8_t>{2, 1}));
    EXPECT_EQ(TransparentIndex(R[1]), 2);
    // After a frame that clears or restores the screen (2, 3 or a value not
    // defined) nothing is masked.
    for (int D : {2, 3, 5}) {
        GifBuilder GD = Build(D);
        Gif FD(GD);
        const std::vector<std::uint8_t> Pixels = FD[2].PixelData;
        FD[2].MaskRepeatedPixels(&FD[1]);
        EXPECT_EQ(FD[2].PixelData, Pixels) << D;
        EXPECT_FALSE(FD[2].Transparent) << D;
    }
    // No room for a transparent entry, or the new entry's index already
    // shown (past the map's end): nothing is masked.
    std::vector<TColor> Full(256);
    for (int K = 0; K < 256; ++K) Full[std::size_t(K)] = TColor(K);
    GifBuilder G3;
    G3.Header(2, 1, Full);
    G3.Frame(0, 0, 2, 1, {5, 6}, {}, false, 8);
    G3.Frame(0, 0, 2, 1, {5, 7}, {}, false, 8);
    Gif N(G3);
    N[1].MaskRepeatedPixels(&N[0]);
    EXPECT_EQ(N[1].PixelData, (std::vector<std::uint8_t>{5, 7}));
    GifBuilder G4;
    G4.Header(2, 1, {Red, Green, Blue});
    G4.Frame(0, 0, 2, 1, {0, 1}, {}, false, 2);
    G4.Frame(0, 0, 2, 1, {0, 4}, {}, false, 3);
    Gif P(G4);
    P[1].MaskRepeatedPixels(&P[0]);
    EXPECT_EQ(P[1].PixelData, (std::vector<std::uint8_t>{0, 4}));
    EXPECT_EQ(P.Image.GlobalColorMap().Count(), 4);
}

TEST(GIFOptimize, CleanupOfASingleFrameRemovesLoopCommentAndAPlainGraphicControl) {
    auto Build = [](int GCEPacked) {
        GifBuilder G;
        G.Header(2, 1, {Red, Green});
        G.Loop(0);
        G.Comment("made by hand");
        G.GCE(GCEPacked, 10, 1);
        G.Frame(0, 0, 2, 1, {0, 1}, {}, false, 2);
        return G;
    };
    GifBuilder G = Build(Packed(2));
    Gif F(G);
    auto O = Optimized(F.Image, optCleanup);
    EXPECT_EQ(O->Images[0].FrameExtensions.Count(), 0);
    EXPECT_EQ(O->Images[0].GraphicControlExtension, nullptr);
    for (int Kept : {Packed(2, true), Packed(2, false, true)}) {
        GifBuilder K = Build(Kept);
        Gif FK(K);
        auto OK = Optimized(FK.Image, optCleanup);
        ASSERT_EQ(OK->Images[0].FrameExtensions.Count(), 1);
        EXPECT_NE(OK->Images[0].GraphicControlExtension, nullptr);
    }
}

TEST(GIFOptimize, CleanupKeepsTheLoopExtensionAPlayerObeysAndSecondGraphicControls) {
    GifBuilder G;
    G.Header(1, 1, {Red, Green});
    G.Frame(0, 0, 1, 1, {0}, {}, false, 2);
    G.Loop(50);
    G.Frame(0, 0, 1, 1, {1}, {}, false, 2);
    G.Loop(30);
    G.GCE(Packed(1), 0, 0);
    G.GCE(Packed(1), 30, 0);
    G.Frame(0, 0, 1, 1, {0}, {}, false, 2);
    G.Loop(40);
    Gif F(G);
    ASSERT_EQ(F.Image.Images.Count(), 4);
    auto O = Optimized(F.Image, optCleanup);
    ASSERT_EQ(O->Images.Count(), 3);
    const auto* Loop = O->Images[1].FindExtension<TGIFAppExtNSLoop>();
    ASSERT_NE(Loop, nullptr);
    EXPECT_EQ(Loop->LoopCount, 50);
    // Frame 2: the second loop extension goes; its first graphic control
    // extension (delay 0) stays, or the second (delay 30) would take over.
    ASSERT_EQ(O->Images[2].FrameExtensions.Count(), 2);
    EXPECT_EQ(Delay(O->Images[2]), 0);
}

TEST(GIFOptimize, DisposalIsDroppedOnlyWhereTheNextFrameCoversItForGood) {
    auto Build = [](int NextPacked) {
        GifBuilder G;
        G.Header(4, 4, {Red, Green, Blue});
        G.Frame(0, 0, 4, 4, std::vector<std::uint8_t>(16, 0), {}, false, 2);
        G.GCE(Packed(2), 10, 0);
        G.Frame(1, 1, 2, 2, {1, 1, 1, 1}, {}, false, 2);
        G.GCE(NextPacked, 10, 3);
        std::vector<std::uint8_t> Next(16, 2);
        Next[5] = 3;
        G.Frame(0, 0, 4, 4, Next, {}, false, 2);
        G.GCE(Packed(1), 10, 0);
        G.Frame(0, 0, 1, 1, {1}, {}, false, 2);
        return G;
    };
    GifBuilder G = Build(Packed(1));
    Gif F(G);
    EXPECT_EQ(Disposal(Optimized(F.Image, optCleanup)->Images[1]), 0);
    // The next frame restores what was before it, or is transparent: the
    // disposal matters.
    for (int Next : {Packed(3), Packed(1, true)}) {
        GifBuilder K = Build(Next);
        Gif FK(K);
        EXPECT_EQ(Disposal(Optimized(FK.Image, optCleanup)->Images[1]), 2);
    }
}

TEST(GIFOptimize, CroppingCutsTransparentBordersButNotOfFramesThatClearTheirRectangle) {
    std::vector<std::uint8_t> Pixels(30, 3);
    Pixels[1 * 6 + 2] = 0;
    Pixels[2 * 6 + 3] = 1;
    auto Build = [&](int D) {
        GifBuilder G;
        G.Header(8, 8, {Red, Green, Blue, White});
        G.Frame(0, 0, 8, 8, std::vector<std::uint8_t>(64, 2), {}, false, 2);
        G.GCE(Packed(D, true), 10, 3);
        G.Frame(1, 1, 6, 5, Pixels, {}, false, 2);
        G.GCE(Packed(1), 10, 0);
        G.Frame(0, 0, 1, 1, {1}, {}, false, 2);
        return G;
    };
    GifBuilder G = Build(1);
    Gif F(G);
    auto O = Optimized(F.Image, optCropFrames);
    const TGIFSubImage& C = O->Images[1];
    EXPECT_EQ(C.FrameRect(), Rect(3, 2, 5, 4));
    EXPECT_EQ(C.PixelData, (std::vector<std::uint8_t>{0, 3, 3, 1}));
    // Disposal 2 clears the whole rectangle, border included.
    GifBuilder G2 = Build(2);
    Gif F2(G2);
    auto O2 = Optimized(F2.Image, optCropFrames);
    EXPECT_EQ(O2->Images[1].FrameRect(), Rect(1, 1, 7, 6));
    F2[1].TrimTransparentBorder();
    EXPECT_EQ(F2[1].FrameRect(), Rect(1, 1, 7, 6));
}

TEST(GIFOptimize, ABlankFrameLeavesOnlyWhereItShowsThePreviousPicture) {
    // Frame 1 shows nothing: its delay goes to frame 0, transparent or not.
    auto Build = [](int FirstPacked, int FirstDelay, int BlankPacked) {
        GifBuilder G;
        G.Header(4, 4, {Red, Green});
        G.GCE(FirstPacked, FirstDelay, 1);
        G.Frame(1, 1, 2, 2, {0, 1, 1, 0}, {}, false, 2);
        G.GCE(BlankPacked, 30, 1);
        G.Frame(0, 0, 4, 4, std::vector<std::uint8_t>(16, 1), {}, false, 2);
        G.GCE(Packed(1), 10, 0);
        G.Frame(0, 0, 1, 1, {0}, {}, false, 2);
        return G;
    };
    for (bool FirstTransparent : {true, false}) {
        GifBuilder G = Build(Packed(1, FirstTransparent), 20, Packed(1, true));
        Gif F(G);
        auto O = Optimized(F.Image, optCropFrames);
        ASSERT_EQ(O->Images.Count(), 2);
        EXPECT_EQ(Delay(O->Images[0]), 50);
    }
    // It stays, untouched, after a frame that clears or restores the screen,
    // when it clears its own rectangle, when the delays would pass 65535,
    // and as the first frame.
    struct Case {
        int FirstPacked, FirstDelay, BlankPacked;
    };
    for (Case C : {Case{Packed(2, true), 20, Packed(1, true)}, Case{Packed(3, true), 20, Packed(1, true)},
                   Case{Packed(1, true), 20, Packed(2, true)}, Case{Packed(1, true), 65520, Packed(1, true)}}) {
        GifBuilder G = Build(C.FirstPacked, C.FirstDelay, C.BlankPacked);
        Gif F(G);
        auto O = Optimized(F.Image, optCropFrames);
        ASSERT_EQ(O->Images.Count(), 3);
        EXPECT_EQ(O->Images[1].FrameRect(), Rect(0, 0, 4, 4));
        EXPECT_EQ(Delay(O->Images[1]), 30);
    }
    GifBuilder G;
    G.Header(2, 2, {Red, Green});
    G.GCE(Packed(1, true), 10, 1);
    G.Frame(0, 0, 2, 2, {1, 1, 1, 1}, {}, false, 2);
    G.Frame(0, 0, 1, 1, {0}, {}, false, 2);
    Gif F(G);
    EXPECT_EQ(Optimized(F.Image, optCropFrames)->Images.Count(), 2);
}

TEST(GIFOptimize, ReportsProgressAndRefusesReductionMethodNine) {
    GifBuilder G;
    G.Header(2, 1, {Red, Green});
    G.Frame(0, 0, 2, 1, {0, 1}, {}, false, 2);
    G.Frame(0, 0, 2, 1, {0, 0}, {}, false, 2);
    G.Frame(0, 0, 2, 1, {1, 0}, {}, false, 2);
    Gif F(G);
    struct Note {
        TProgressStage Stage;
        int Percent;
        std::string Message;
    };
    std::vector<Note> Notes;
    F.Image.OnProgress = [&](TGIFImage&, TProgressStage S, int P, const std::string& M) { Notes.push_back({S, P, M}); };
    F.Image.Optimize(30, 0, 0, 8);
    ASSERT_GE(Notes.size(), 3u);
    EXPECT_EQ(Notes.front().Stage, TProgressStage::psStarting);
    EXPECT_EQ(Notes.front().Message, "optimizing");
    EXPECT_EQ(Notes.back().Stage, TProgressStage::psEnding);
    EXPECT_EQ(Notes.back().Percent, 100);
    int Last = 0;
    for (std::size_t I = 1; I + 1 < Notes.size(); ++I) {
        EXPECT_EQ(Notes[I].Stage, TProgressStage::psRunning);
        EXPECT_GE(Notes[I].Percent, Last);
        Last = Notes[I].Percent;
    }
    EXPECT_LE(Last, 100);
    Notes.clear();
    try {
        F.Image.Optimize(optReduceColors, 9, 0, 8);
        ADD_FAILURE() << "no exception";
    } catch (const GIFException& E) {
        EXPECT_STREQ(E.what(), "invalid reduction method");
    }
    EXPECT_EQ(Notes.back().Stage, TProgressStage::psEnding);
    EXPECT_EQ(Notes.back().Percent, 0);
    EXPECT_NO_THROW(F.Image.Optimize(optReduceColors | optCleanup, 9, 0, 8));
    EXPECT_NO_THROW(F.Image.Optimize(optReduceColors, 8, 0, 8));
    // An image without frames: nothing happens.
    TGIFImage None;
    None.OnProgress = F.Image.OnProgress;
    Notes.clear();
    EXPECT_NO_THROW(None.Optimize(optReduceColors, 9, 0, 8));
    EXPECT_TRUE(Notes.empty());
}

// ---------------------------------------------------------------- copies

TEST(GIFImageCopy, CopiesHeaderFramesMapsExtensionsAndSettings) {
    GifBuilder G;
    G.Header(5, 4, {Red, Green}, "GIF89a", 1);
    G.Comment("one");
    G.Loop(7);
    G.GCE(Packed(2, true), 50, 1);
    G.Frame(1, 2, 2, 1, {0, 1}, {Blue, White, Red}, true, 2);
    G.Raw({0x21, 0xFF, 11});
    const char* Id = "XYZAPP01abc";
    G.Raw(Bytes(Id, Id + 11));
    G.Raw({2, 9, 8, 0});
    G.Raw({0x21, 0x01, 12, 0, 0, 0, 0, 5, 0, 1, 0, 8, 8, 1, 0, 2, 'h', 'i', 0});
    G.Frame(0, 0, 5, 4, std::vector<std::uint8_t>(20, 1), {}, false, 2);
    G.GCE(Packed(1), 25, 0);
    G.Comment("after the last frame");
    Gif F(G);
    TGIFImage& S = F.Image;
    ASSERT_EQ(S.Images.Count(), 3);
    ASSERT_TRUE(S.Images[2].Empty());
    S.PaintOptions = 0x1234;
    S.ReductionMethod = 3;
    S.DitherMethod = 2;
    S.PainterPriority = 5;
    S.PaintBackgroundColor = 0x112233;
    S.PlaybackSpeed = 50;
    S.ReductionDepth = 4;
    S.Compression = 1;
    S.Images[0].Bitmap();
    std::vector<std::string> Stages;
    S.OnProgress = [&](TGIFImage& Image, TProgressStage, int P, const std::string& M) {
        Stages.push_back(M + " " + std::to_string(P) + (&Image == &S ? " source" : ""));
    };
    bool OwnEventCalled = false;
    TGIFImage C;
    C.OnProgress = [&](TGIFImage&, TProgressStage, int, const std::string&) { OwnEventCalled = true; };
    C.CopyFrom(S);
    EXPECT_EQ(Stages, (std::vector<std::string>{"copying 0", "copying 33", "copying 66", "copying 100",
                                                "copying 100"}));
    EXPECT_FALSE(OwnEventCalled);
    C.Progress(TProgressStage::psStarting, 0, "x");
    EXPECT_TRUE(OwnEventCalled);

    EXPECT_EQ(C.Width(), 5);
    EXPECT_EQ(C.ScreenHeader.PackedFields, S.ScreenHeader.PackedFields);
    EXPECT_EQ(C.ScreenHeader.BackgroundColorIndex, 1);
    EXPECT_EQ(C.ScreenHeader.Version, "89a");
    EXPECT_EQ(C.GlobalColorMap().Count(), 2);
    EXPECT_EQ(C.PaintOptions, 0x1234);
    EXPECT_EQ(C.ReductionMethod, 3);
    EXPECT_EQ(C.DitherMethod, 2);
    EXPECT_EQ(C.PainterPriority, 5);
    EXPECT_EQ(C.PaintBackgroundColor, 0x112233u);
    EXPECT_EQ(C.PlaybackSpeed, 100);
    EXPECT_EQ(C.ReductionDepth, 8);
    EXPECT_EQ(C.Compression, 0);
    ASSERT_EQ(C.Images.Count(), 3);

    TGIFSubImage& A = C.Images[0];
    EXPECT_EQ(A.FrameRect(), Rect(1, 2, 3, 3));
    EXPECT_TRUE(A.IsInterlaced());
    EXPECT_EQ(A.ColorTable.Count(), 4);
    EXPECT_TRUE(A.Transparent);
    ASSERT_TRUE(A.HasBitmap());
    EXPECT_EQ(A.Bitmap()->FileImage(), S.Images[0].Bitmap()->FileImage());
    ASSERT_EQ(A.FrameExtensions.Count(), 3);
    EXPECT_EQ(A.FindExtension<TGIFCommentExtension>()->Lines, (std::vector<std::string>{"one"}));
    EXPECT_EQ(A.FindExtension<TGIFAppExtNSLoop>()->LoopCount, 7);
    ASSERT_NE(A.GraphicControlExtension, nullptr);
    EXPECT_EQ(&A.GraphicControlExtension->SubImage(), &A);
    EXPECT_EQ(A.GraphicControlExtension->Delay(), 50);
    EXPECT_EQ(A.GraphicControlExtension->Disposal(), 2);
    TGIFSubImage& B = C.Images[1];
    const auto* App = B.FindExtension<TGIFUnknownAppExtension>();
    ASSERT_NE(App, nullptr);
    EXPECT_EQ(App->IdentifierText(), "XYZAPP01abc");
    ASSERT_EQ(App->SubBlocks.size(), 1u);
    EXPECT_EQ(App->SubBlocks[0].Data, (std::vector<std::uint8_t>{9, 8}));
    const auto* Text = B.FindExtension<TGIFTextExtension>();
    ASSERT_NE(Text, nullptr);
    EXPECT_EQ(Text->Lines, (std::vector<std::string>{"hi"}));
    EXPECT_EQ(Text->TextGridHeader, S.Images[1].FindExtension<TGIFTextExtension>()->TextGridHeader);
    EXPECT_EQ(B.PixelData, S.Images[1].PixelData);
    // The frame made only of extensions keeps them.
    EXPECT_TRUE(C.Images[2].Empty());
    EXPECT_EQ(C.Images[2].FrameExtensions.Count(), 2);
    EXPECT_EQ(Delay(C.Images[2]), 25);

    // The copy is deep.
    C.Images[1].PixelData[0] = 0;
    C.GlobalColorMap().SetColor(0, Blue);
    A.ColorTable.SetColor(0, Green);
    A.GraphicControlExtension->SetDelay(7);
    EXPECT_EQ(S.Images[1].PixelData[0], 1);
    EXPECT_EQ(GIFColorToColor(S.GlobalColorMap().Entries()[0]), Red);
    EXPECT_EQ(GIFColorToColor(S.Images[0].ColorTable.Entries()[0]), Blue);
    EXPECT_EQ(S.Images[0].GraphicControlExtension->Delay(), 50);
    // Copying onto itself changes nothing.
    C.CopyFrom(C);
    EXPECT_EQ(C.Images.Count(), 3);
}
