// Colour maps: growth, lookup, change and the GIF colour table format.
#include <gtest/gtest.h>

#include "GIFTestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace {

// The global map of an image, with the image's warnings collected.
struct MapFixture {
    TGIFImage Image;
    std::vector<std::string> Warnings;
    MapFixture() {
        Image.OnDecodeWarning = [this](TGIFImage&, const TGIFItem*, int, const std::string& M) {
            Warnings.push_back(M);
        };
    }
    TGIFColorMap& Map() { return Image.GlobalColorMap(); }
};

}  // namespace

TEST(GIFColorMap, FindColorScanDirectionFollowsUseOrdered) {
    MapFixture F;
    for (TColor C : {0x010101u, 0x020202u, 0x0000FFu, 0x030303u, 0x040404u, 0x0000FFu}) F.Map().Add(C);
    EXPECT_EQ(F.Map().FindColor(0x0000FF), 5);
    F.Map().UseOrdered = true;
    EXPECT_EQ(F.Map().FindColor(0x0000FF), 2);
    // Only red, green and blue count.
    EXPECT_EQ(F.Map().FindColor(0xFF0000FF), 2);
    EXPECT_EQ(F.Map().FindColor(0x123456), -1);
    // Add clears the flag; AddIfMissing adds only what is missing.
    EXPECT_EQ(F.Map().AddIfMissing(0x040404), 4);
    EXPECT_TRUE(F.Map().UseOrdered);
    EXPECT_EQ(F.Map().AddIfMissing(0x050505), 6);
    EXPECT_FALSE(F.Map().UseOrdered);
}

TEST(GIFColorMap, GrowsBySixteenThenThirtyTwoUpTo256) {
    MapFixture F;
    EXPECT_EQ(F.Map().Allocated(), 0);
    F.Map().Add(1);
    EXPECT_EQ(F.Map().Allocated(), 16);
    for (int I = 1; I < 16; ++I) F.Map().Add(static_cast<TColor>(I));
    EXPECT_EQ(F.Map().Allocated(), 16);
    F.Map().Add(99);
    EXPECT_EQ(F.Map().Count(), 17);
    EXPECT_EQ(F.Map().Allocated(), 32);
    Bytes Table(33 * 3, 7);
    TMemoryStream In33(Table);
    F.Map().LoadFromStream(In33, 33);
    EXPECT_EQ(F.Map().Allocated(), 64);
    EXPECT_EQ(F.Map().Count(), 33);
    Bytes Full(256 * 3, 9);
    TMemoryStream In256(Full);
    F.Map().LoadFromStream(In256, 256);
    EXPECT_EQ(F.Map().Allocated(), 256);
    // Full: Add raises; one less: Add answers 255.
    EXPECT_THROW(
        {
            try {
                F.Map().Add(1);
            } catch (const GIFException& E) {
                EXPECT_STREQ(E.what(), "colour table overflow");
                throw;
            }
        },
        GIFException);
    F.Map().RemoveAt(0);
    EXPECT_EQ(F.Map().Add(0x0A0B0C), 255);
}

TEST(GIFColorMap, ReadingColoursOutOfRangeWarnsOrRaises) {
    MapFixture F;
    for (TColor C : {0x112233u, 0x445566u, 0x778899u, 0xAABBCCu}) F.Map().Add(C);
    EXPECT_EQ(F.Map().Colors(2), 0x778899u);
    EXPECT_EQ(F.Map().Colors(300), 0x112233u);
    EXPECT_EQ(F.Map().Colors(-1), 0x112233u);
    EXPECT_EQ(F.Warnings, (std::vector<std::string>{"invalid colour index", "invalid colour index"}));
    EXPECT_THROW(F.Map().SetColor(4, 0), GIFException);
    EXPECT_THROW(F.Map().RemoveAt(4), GIFException);
    F.Map().SetColor(3, 0x010203);
    EXPECT_EQ(F.Map().Colors(3), 0x010203u);
    F.Map().RemoveAt(0);
    EXPECT_EQ(F.Map().Count(), 3);
    EXPECT_EQ(F.Map().Colors(0), 0x445566u);
    F.Map().Clear();
    F.Warnings.clear();
    try {
        F.Map().Colors(0);
        FAIL();
    } catch (const GIFException& E) {
        EXPECT_STREQ(E.what(), "colour table is empty");
    }
    EXPECT_EQ(F.Warnings, (std::vector<std::string>{"invalid colour index"}));
}

TEST(GIFColorMap, ColourTableFormatRoundTrip) {
    MapFixture F;
    EXPECT_EQ(F.Map().BitsPerPixel(), 0);
    TMemoryStream Empty;
    F.Map().SaveToStream(Empty);
    EXPECT_EQ(Empty.Size(), 0);
    for (TColor C : {0x030201u, 0x060504u, 0x090807u, 0x0C0B0Au, 0x0F0E0Du}) F.Map().Add(C);
    EXPECT_EQ(F.Map().BitsPerPixel(), 3);
    TMemoryStream Out;
    F.Map().SaveToStream(Out);
    EXPECT_EQ(Hex(Out.Bytes()), "01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 00 00 00 00 00 00 00 00 00");
    Out.SetPosition(0);
    TGIFImage Other;
    Other.GlobalColorMap().LoadFromStream(Out, 8);
    EXPECT_EQ(Other.GlobalColorMap().Count(), 8);
    EXPECT_EQ(Other.GlobalColorMap().Colors(4), 0x0F0E0Du);
    EXPECT_EQ(Other.GlobalColorMap().Colors(7), 0u);
    // Short data.
    TMemoryStream Short(B({1, 2, 3, 4}));
    EXPECT_THROW(Other.GlobalColorMap().LoadFromStream(Short, 2), GIFException);
    EXPECT_EQ(Other.GlobalColorMap().Count(), 0);
    // Bits per pixel for the other sizes.
    const std::pair<int, int> Sizes[] = {{1, 1}, {2, 1}, {3, 2}, {4, 2}, {17, 5}, {128, 7}, {129, 8}, {256, 8}};
    for (auto [N, Bits] : Sizes) {
        TGIFImage I;
        TMemoryStream In(Bytes(static_cast<std::size_t>(N) * 3, 0));
        I.GlobalColorMap().LoadFromStream(In, N);
        EXPECT_EQ(I.GlobalColorMap().BitsPerPixel(), Bits) << N;
    }
}

TEST(GIFColorMap, ConversionsFromPalettesQuadsTablesAndOtherMaps) {
    MapFixture F;
    F.Map().LoadFromPalette({0x0000FF, 0x00FF00});
    EXPECT_EQ(F.Map().MakePalette(), (TGIFPalette{0x0000FF, 0x00FF00}));
    const std::uint8_t Quads[] = {0x30, 0x20, 0x10, 0, 0x60, 0x50, 0x40, 0xFF};
    F.Map().LoadFromQuads(Quads, 2);
    EXPECT_EQ(F.Map().MakePalette(), (TGIFPalette{0x302010, 0x605040}));
    TGIFColor Table[256] = {};
    Table[0] = {1, 2, 3};
    Table[1] = {4, 5, 6};
    Table[2] = {7, 8, 9};
    F.Map().LoadFromTable(Table, 3);
    EXPECT_EQ(F.Map().MakePalette(), (TGIFPalette{0x030201, 0x060504, 0x090807}));
    F.Map().UseOrdered = true;
    TGIFImage Other;
    Other.GlobalColorMap().CopyFrom(F.Map());
    EXPECT_EQ(Other.GlobalColorMap().MakePalette(), F.Map().MakePalette());
    EXPECT_TRUE(Other.GlobalColorMap().UseOrdered);
    EXPECT_EQ(Other.GlobalColorMap().Allocated(), F.Map().Allocated());
    F.Map().LoadFromTable(Table, 0);
    EXPECT_EQ(F.Map().Count(), 0);
    EXPECT_TRUE(F.Map().MakePalette().empty());
    TGIFPalette Long(300, 0x0A0A0A);
    F.Map().LoadFromPalette(Long);
    EXPECT_EQ(F.Map().Count(), 256);
}

TEST(GIFColorMap, ChangesDropTheOwnersPalettesAndPictures) {
    GifBuilder G;
    G.Header(2, 1, {0x000000, 0xFFFFFF});
    G.Frame(0, 0, 1, 1, {1}, {}, false, 2);
    G.Frame(1, 0, 1, 1, {0}, {0x0000FF, 0x00FF00}, false, 2);
    G.Trailer();
    TGIFImage Image;
    ASSERT_EQ(LoadGif(Image, G.Data).Error, "");
    TGIFSubImage& Global = Image.Images[0];
    TGIFSubImage& Local = Image.Images[1];
    EXPECT_EQ(Global.Bitmap()->PixelColor(0, 0), 0xFFFFFFu);
    EXPECT_EQ(Local.Bitmap()->PixelColor(0, 0), 0x0000FFu);
    EXPECT_EQ(*Image.Palette(), (TGIFPalette{0x000000, 0xFFFFFF}));
    Image.GlobalColorMap().SetColor(1, 0x123456);
    EXPECT_EQ(*Image.Palette(), (TGIFPalette{0x000000, 0x123456}));
    EXPECT_FALSE(Global.HasBitmap());
    EXPECT_TRUE(Local.HasBitmap());
    EXPECT_EQ(Global.Bitmap()->PixelColor(0, 0), 0x123456u);
    Local.ColorTable.SetColor(0, 0x654321);
    EXPECT_FALSE(Local.HasBitmap());
    EXPECT_EQ(Local.Bitmap()->PixelColor(0, 0), 0x654321u);
    EXPECT_EQ(*Local.Palette(), (TGIFPalette{0x654321, 0x00FF00}));
    // A bitmap's colour table reads back into a map.
    TGIFImage Copy;
    Copy.GlobalColorMap().LoadFromDIBColors(*Local.Bitmap());
    EXPECT_EQ(Copy.GlobalColorMap().Count(), 256);
    EXPECT_EQ(Copy.GlobalColorMap().Colors(0), 0x654321u);
    EXPECT_EQ(Copy.GlobalColorMap().Colors(2), 0u);
}
