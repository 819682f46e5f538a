// LZW decoding of frame data: codes, table growth, interlace, truncation.
#include <gtest/gtest.h>

#include "GIFTestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace {

const std::vector<TColor> Four{0x000000, 0x0000FF, 0x00FF00, 0xFF0000};

// A GIF of one W x H frame whose data (code size byte onwards) is Lzw;
// Tail follows the data.
Bytes FrameGif(int W, int H, const Bytes& Lzw, const Bytes& Tail = {0x3B}, int TransparentIndex = -1,
               bool Interlaced = false) {
    GifBuilder G;
    G.Header(W, H, Four);
    if (TransparentIndex >= 0) G.GCE(1, 0, TransparentIndex);
    G.Descriptor(0, 0, W, H, Interlaced ? 0x40 : 0);
    G.Raw(Lzw);
    G.Raw(Tail);
    return G.Data;
}

std::vector<std::uint8_t> Pixels(TGIFImage& Image, int Frame = 0) { return Image.Images[Frame].PixelData; }

// Code size byte, sub-blocks, terminator.
Bytes Lzw(int CodeSize, const Bytes& Packed, bool Terminator = true) {
    Bytes Out{static_cast<std::uint8_t>(CodeSize)};
    const Bytes Blocks = SubBlocks(Packed, Terminator);
    Out.insert(Out.end(), Blocks.begin(), Blocks.end());
    return Out;
}

}  // namespace

TEST(GIFLZW, ClearLiteralEndReadsOnePixelAndLeavesTheStreamAfterTheTerminator) {
    const Bytes Data = PackCodes({{4, 3}, {1, 3}, {5, 3}});
    EXPECT_EQ(Hex(Data), "4C 01");
    TGIFImage Image;
    const Bytes File = FrameGif(1, 1, B({2, 2, 0x4C, 0x01, 0x00}), B({0x3B}));
    const LoadResult R = LoadGif(Image, File);
    EXPECT_EQ(R.Error, "");
    EXPECT_TRUE(R.Warnings.empty());
    EXPECT_EQ(Pixels(Image), (std::vector<std::uint8_t>{1}));
    // The trailer was found right after the terminator.
    EXPECT_EQ(R.EndPosition, static_cast<std::int64_t>(File.size()));

    // Without the end code: the same pixel and no warning.
    TGIFImage Image2;
    const LoadResult R2 = LoadGif(Image2, FrameGif(1, 1, B({2, 1, 0x0C, 0x00})));
    EXPECT_EQ(R2.Error, "");
    EXPECT_TRUE(R2.Warnings.empty());
    EXPECT_EQ(Pixels(Image2), (std::vector<std::uint8_t>{1}));
}

TEST(GIFLZW, CodesThatStopEarlyLeaveTheFillValueAndInventNothing) {
    // Codes clear, clear, 1, 2, 1 and then too few bits for a 4-bit code:
    // with and without the terminator, and a stream that ends right there.
    for (const Bytes& Lzw : {B({2, 2, 0x8C, 0x02}), B({2, 2, 0x64, 0x14}), B({2, 2, 0x64, 0x14, 0x00})}) {
        SCOPED_TRACE(Hex(Lzw));
        TGIFImage Opaque;
        const LoadResult R = LoadGif(Opaque, FrameGif(4, 2, Lzw, {}));
        EXPECT_EQ(R.Error, "");
        EXPECT_TRUE(R.Warnings.empty());
        EXPECT_EQ(Pixels(Opaque), (std::vector<std::uint8_t>{1, 2, 1, 0, 0, 0, 0, 0}));
        TGIFImage Transparent;
        LoadGif(Transparent, FrameGif(4, 2, Lzw, {}, 3));
        EXPECT_EQ(Pixels(Transparent), (std::vector<std::uint8_t>{1, 2, 1, 3, 3, 3, 3, 3}));
    }
}

TEST(GIFLZW, AskingForACodeAfterEveryBitIsUsedWarnsUnderRun) {
    // clear(3) 1(3) 2(3) 1(3) 1(4): 16 bits, all used; the frame wants more.
    TGIFImage Image;
    const LoadResult R = LoadGif(Image, FrameGif(8, 1, Lzw(2, PackCodes({{4, 3}, {1, 3}, {2, 3}, {1, 3}, {1, 4}}))));
    EXPECT_EQ(R.Error, "");
    EXPECT_EQ(R.Warnings, (std::vector<std::string>{"decoder bit buffer under-run"}));
    EXPECT_EQ(Pixels(Image), (std::vector<std::uint8_t>{1, 2, 1, 1, 0, 0, 0, 0}));
}

TEST(GIFLZW, InterlacedRowsFollowTheFourPasses) {
    // One pixel per row: the n-th decoded row lands on the n-th row of the
    // pass order.
    TGIFImage Five;
    LoadGif(Five, FrameGif(1, 5, LZWLiteral({0, 1, 2, 3, 3}, 2), {0x3B}, -1, true));
    EXPECT_EQ(Pixels(Five), (std::vector<std::uint8_t>{0, 3, 2, 3, 1}));  // rows 0, 4, 2, 1, 3
    TGIFImage Ten;
    std::vector<std::uint8_t> Seq;
    for (int I = 0; I < 10; ++I) Seq.push_back(static_cast<std::uint8_t>(I));
    LoadGif(Ten, FrameGif(1, 10, LZWLiteral(Seq, 4), {0x3B}, -1, true));
    // Row order 0, 8, 4, 2, 6, 1, 3, 5, 7, 9.
    EXPECT_EQ(Pixels(Ten), (std::vector<std::uint8_t>{0, 5, 3, 6, 2, 7, 4, 8, 1, 9}));
    TGIFImage One;
    const LoadResult R = LoadGif(One, FrameGif(3, 1, LZWLiteral({2, 1, 3}, 2), {0x3B}, -1, true));
    EXPECT_TRUE(R.Warnings.empty());
    EXPECT_EQ(Pixels(One), (std::vector<std::uint8_t>{2, 1, 3}));
}

TEST(GIFLZW, CodeNotYetInTheTableIsPreviousStringPlusItsFirstCharacter) {
    // clear, 2, 6 (= NextFree), 7 (= NextFree again), end.
    TGIFImage Image;
    const LoadResult R =
        LoadGif(Image, FrameGif(6, 1, Lzw(2, PackCodes({{4, 3}, {2, 3}, {6, 3}, {7, 3}, {5, 4}}))));
    EXPECT_EQ(R.Error, "");
    EXPECT_TRUE(R.Warnings.empty());
    EXPECT_EQ(Pixels(Image), (std::vector<std::uint8_t>{2, 2, 2, 2, 2, 2}));
}

TEST(GIFLZW, FullTableKeepsTwelveBitCodesAndAddsNothing) {
    // Literals fill the table up to entry 4095 (entry 6 + k holds literal k
    // followed by literal k + 1); then code 4095 twice, a literal, end.
    std::vector<std::uint8_t> Lits;
    for (int I = 0; I < 4100; ++I) Lits.push_back(static_cast<std::uint8_t>((I * 7 + I / 5) % 4));
    std::vector<std::pair<int, int>> Codes{{4, 3}};
    int Width = 3, NextFree = 6, Limit = 8;
    for (std::size_t I = 0; I < Lits.size(); ++I) {
        Codes.push_back({Lits[I], Width});
        if (I > 0 && NextFree < 4096 && ++NextFree >= Limit && Limit < 4096) {
            Limit *= 2;
            ++Width;
        }
    }
    ASSERT_EQ(Width, 12);
    ASSERT_EQ(NextFree, 4096);
    Codes.push_back({4095, 12});
    Codes.push_back({4095, 12});
    Codes.push_back({3, 12});
    Codes.push_back({5, 12});
    std::vector<std::uint8_t> Expected = Lits;
    for (int I = 0; I < 2; ++I) {
        Expected.push_back(Lits[4089]);
        Expected.push_back(Lits[4090]);
    }
    Expected.push_back(3);
    TGIFImage Image;
    const LoadResult R = LoadGif(Image, FrameGif(static_cast<int>(Expected.size()), 1, Lzw(2, PackCodes(Codes))));
    EXPECT_EQ(R.Error, "");
    EXPECT_TRUE(R.Warnings.empty());
    EXPECT_EQ(Pixels(Image), Expected);
}

TEST(GIFLZW, ClearCodesRestartTheTableAndTheWidth) {
    // clear 3 clear clear 2 2 6 end: after the clears the table starts again,
    // so entry 6 is "2 2" (made by the second 2), not "3 ...".
    TGIFImage Image;
    const LoadResult R = LoadGif(
        Image, FrameGif(5, 1, Lzw(2, PackCodes({{4, 3}, {3, 3}, {4, 3}, {4, 3}, {2, 3}, {2, 3}, {6, 3}, {5, 4}}))));
    EXPECT_EQ(R.Error, "");
    EXPECT_TRUE(R.Warnings.empty());
    EXPECT_EQ(Pixels(Image), (std::vector<std::uint8_t>{3, 2, 2, 2, 2}));
}

TEST(GIFLZW, EndCodeRightAfterAClearEndsTheFrame) {
    TGIFImage Image;
    const LoadResult R = LoadGif(Image, FrameGif(2, 1, Lzw(2, PackCodes({{4, 3}, {5, 3}, {1, 3}, {1, 3}})), {0x3B}, 2));
    EXPECT_EQ(R.Error, "");
    EXPECT_TRUE(R.Warnings.empty());
    // Nothing decoded: the transparent fill stays; the trailer is found.
    EXPECT_EQ(Pixels(Image), (std::vector<std::uint8_t>{2, 2}));
    EXPECT_EQ(Image.Images.Count(), 1);
}

TEST(GIFLZW, DataBeyondACompleteFrameIsSkippedToTheTerminator) {
    // A 1 x 1 frame followed by more codes in two sub-blocks, then a second
    // frame: both frames are read and no block warning arises.
    GifBuilder G;
    G.Header(2, 1, Four);
    G.Descriptor(0, 0, 1, 1, 0);
    G.Raw({2, 2});
    G.Raw(PackCodes({{4, 3}, {1, 3}, {2, 3}, {3, 3}, {1, 3}}));
    G.Raw({3, 0x2C, 0x21, 0x3B, 0});
    G.Frame(1, 0, 1, 1, {3}, {}, false, 2);
    G.Trailer();
    TGIFImage Image;
    const LoadResult R = LoadGif(Image, G.Data);
    EXPECT_EQ(R.Error, "");
    EXPECT_TRUE(R.Warnings.empty());
    ASSERT_EQ(Image.Images.Count(), 2);
    EXPECT_EQ(Pixels(Image, 0), (std::vector<std::uint8_t>{1}));
    EXPECT_EQ(Pixels(Image, 1), (std::vector<std::uint8_t>{3}));
}

TEST(GIFLZW, SubBlockLongerThanTheDataWarnsAndUsesWhatIsThere) {
    // A sub-block announces 200 bytes; 2 are there.
    TGIFImage Image;
    const LoadResult R = LoadGif(Image, FrameGif(4, 1, B({2, 200, 0x4C, 0x01}), {}));
    EXPECT_EQ(R.Error, "");
    EXPECT_EQ(R.Warnings, (std::vector<std::string>{"premature end of data"}));
    EXPECT_EQ(Pixels(Image), (std::vector<std::uint8_t>{1, 0, 0, 0}));
    // No code size byte at all: the frame keeps its fill, silently.
    TGIFImage NoData;
    const LoadResult R2 = LoadGif(NoData, FrameGif(2, 2, {}, {}, 1));
    EXPECT_EQ(R2.Error, "");
    EXPECT_TRUE(R2.Warnings.empty());
    EXPECT_EQ(Pixels(NoData), (std::vector<std::uint8_t>{1, 1, 1, 1}));
}

TEST(GIFLZW, CodeSizeAboveElevenIsRefusedAndElevenDecodes) {
    TGIFImage Image;
    const Bytes File = FrameGif(1, 1, Lzw(12, PackCodes({{4096, 13}, {1, 13}})));
    const LoadResult R = LoadGif(Image, File);
    EXPECT_EQ(R.Error, "invalid GIF data");
    EXPECT_EQ(R.EndPosition, 0);
    // Code size 11: 12-bit codes from the start; literals above 255 keep
    // their low byte.
    TGIFImage Big;
    const LoadResult R2 = LoadGif(Big, FrameGif(2, 1, Lzw(11, PackCodes({{2048, 12}, {7, 12}, {300, 12}, {2049, 12}}))));
    EXPECT_EQ(R2.Error, "");
    EXPECT_EQ(Pixels(Big), (std::vector<std::uint8_t>{7, 300 & 0xFF}));
}

TEST(GIFLZW, SelfReferringAndLoopingTableEntriesRaise) {
    // Entry 7 gets itself as prefix (code 7 twice while it is NextFree).
    const Bytes Self = Lzw(2, PackCodes({{4, 3}, {1, 3}, {7, 3}, {7, 3}, {7, 4}}));
    // Entries 11 and 12 point at each other (code size 3).
    const Bytes Loop = Lzw(3, PackCodes({{8, 4}, {1, 4}, {12, 4}, {11, 4}, {12, 4}, {11, 4}}));
    for (const Bytes& Data : {Self, Loop}) {
        TGIFImage Image;
        const LoadResult R = LoadGif(Image, FrameGif(100, 1, Data));
        EXPECT_EQ(R.Error, "circular decoder table entry");
        EXPECT_EQ(R.EndPosition, 0);
        EXPECT_EQ(Image.Images.Count(), 0);
    }
}
