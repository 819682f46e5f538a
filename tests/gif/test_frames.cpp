// Frames: pictures, masks, palettes, bounds and the graphic control
// extension's accessors.
#include <gtest/gtest.h>

#include <cstring>

#include "GIFTestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace {

const std::vector<TColor> Eight{0x000000, 0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFF00FF, 0xFFFF00, 0xFFFFFF};

std::uint32_t LE32(const Bytes& B, std::size_t At) {
    return std::uint32_t(B[At]) | (std::uint32_t(B[At + 1]) << 8) | (std::uint32_t(B[At + 2]) << 16) |
           (std::uint32_t(B[At + 3]) << 24);
}

std::vector<std::uint8_t> Pattern(int W, int H, int Modulo) {
    std::vector<std::uint8_t> P;
    for (int I = 0; I < W * H; ++I) P.push_back(static_cast<std::uint8_t>((I * 5 + I / W) % Modulo));
    return P;
}

// One frame of W x H pixels; TransparentIndex < 0 means no extension.
void LoadOne(TGIFImage& Image, int W, int H, const std::vector<std::uint8_t>& Pixels,
             const std::vector<TColor>& Global, const std::vector<TColor>& Local, int TransparentIndex = -1) {
    GifBuilder G;
    G.Header(W, H, Global);
    if (TransparentIndex >= 0) G.GCE(0x01, 0, TransparentIndex);
    G.Frame(0, 0, W, H, Pixels, Local, false, 8);
    G.Trailer();
    ASSERT_EQ(LoadGif(Image, G.Data).Error, "");
}

}  // namespace

TEST(GIFFrames, BitmapIsAnIndexedBMPWithTheLocalPaletteAndTheFrameIndices) {
    TGIFImage Image;
    const auto Pixels = Pattern(10, 3, 4);
    const std::vector<TColor> Local{0x112233, 0x445566, 0x778899, 0xAABBCC};
    LoadOne(Image, 10, 3, Pixels, Eight, Local);
    TGIFSubImage& F = Image.Images[0];
    const TGIFBitmap* Bmp = F.Bitmap();
    ASSERT_NE(Bmp, nullptr);
    EXPECT_EQ(Bmp->Width(), 10);
    EXPECT_EQ(Bmp->Height(), 3);
    EXPECT_EQ(Bmp->BitCount(), 8);
    EXPECT_EQ(Bmp->ColorsImportant(), 4);
    EXPECT_EQ(Bmp->Palette(), (TGIFPalette(Local.begin(), Local.end())));
    for (int I = 0; I < 256; ++I) EXPECT_EQ(Bmp->ColorTableEntry(I), I < 4 ? Local[I] : 0u) << I;
    for (int Y = 0; Y < 3; ++Y)
        for (int X = 0; X < 10; ++X) {
            EXPECT_EQ(Bmp->PixelIndex(X, Y), F.PixelAt(X, Y));
            EXPECT_EQ(Bmp->PixelColor(X, Y), Local[F.PixelAt(X, Y)]);
        }
    // The file image: header, 40-byte info, 256 quads, rows of 12 bytes
    // bottom-up.
    const Bytes File = Bmp->FileImage();
    ASSERT_EQ(File.size(), 14u + 40 + 1024 + 36);
    EXPECT_EQ(File[0], 'B');
    EXPECT_EQ(File[1], 'M');
    EXPECT_EQ(LE32(File, 2), File.size());
    EXPECT_EQ(LE32(File, 6), 0u);
    EXPECT_EQ(LE32(File, 10), 14u + 40 + 1024);
    EXPECT_EQ(LE32(File, 14), 40u);
    EXPECT_EQ(LE32(File, 18), 10u);
    EXPECT_EQ(LE32(File, 22), 3u);
    EXPECT_EQ(File[26] | (File[27] << 8), 1);
    EXPECT_EQ(File[28] | (File[29] << 8), 8);
    EXPECT_EQ(LE32(File, 30), 0u);
    EXPECT_EQ(LE32(File, 34), 0u);
    EXPECT_EQ(LE32(File, 46), 256u);
    EXPECT_EQ(LE32(File, 50), 4u);
    EXPECT_EQ(Hex(Bytes(File.begin() + 54, File.begin() + 58)), "11 22 33 00");
    const std::size_t Bottom = 14 + 40 + 1024;
    EXPECT_EQ(0, std::memcmp(&File[Bottom], &Pixels[20], 10));
    EXPECT_EQ(0, std::memcmp(&File[Bottom + 24], &Pixels[0], 10));
    EXPECT_EQ(File[Bottom + 10], 0);
    // Saved as a file, the same bytes.
    TempDir Dir;
    Bmp->SaveToFile(Dir.File("f.bmp"));
    EXPECT_EQ(ReadFileBytes(Dir.File("f.bmp")), File);
    EXPECT_EQ(F.TransparencyMask(), nullptr);
    // Freeing and building again gives the same picture.
    F.SetBitmap(false);
    EXPECT_FALSE(F.HasBitmap());
    F.SetBitmap(true);
    EXPECT_EQ(F.Bitmap()->FileImage(), File);
}

TEST(GIFFrames, PaletteComesFromTheLocalMapTheGlobalMapOrNowhere) {
    TGIFImage WithGlobal;
    LoadOne(WithGlobal, 3, 1, {5, 6, 7}, Eight, {});
    const TGIFBitmap* B1 = WithGlobal.Images[0].Bitmap();
    EXPECT_EQ(B1->ColorsImportant(), 8);
    EXPECT_EQ(B1->PixelColor(2, 0), 0xFFFFFFu);
    EXPECT_EQ(WithGlobal.Images[0].Palette(), WithGlobal.Palette());
    TGIFImage Neither;
    LoadOne(Neither, 3, 1, {5, 6, 7}, {}, {});
    const TGIFBitmap* B2 = Neither.Images[0].Bitmap();
    ASSERT_NE(B2, nullptr);
    EXPECT_EQ(B2->ColorsImportant(), 0);
    EXPECT_EQ(B2->PixelIndex(1, 0), 6);
    EXPECT_EQ(B2->PixelColor(1, 0), 0u);
    EXPECT_EQ(Neither.Palette(), nullptr);
    // Without a global map the image's palette is the first frame's.
    TGIFImage LocalOnly;
    LoadOne(LocalOnly, 1, 1, {0}, {}, {0x010203, 0x040506});
    EXPECT_EQ(*LocalOnly.Palette(), (TGIFPalette{0x010203, 0x040506}));
}

TEST(GIFFrames, TransparentPixelsKeepTheirIndexAndAreMarkedInTheMask) {
    TGIFImage Image;
    std::vector<std::uint8_t> Pixels = Pattern(20, 3, 7);
    Pixels[0] = 7;
    Pixels[19] = 7;
    Pixels[45] = 7;
    LoadOne(Image, 20, 3, Pixels, Eight, {}, 7);
    TGIFSubImage& F = Image.Images[0];
    EXPECT_TRUE(F.Transparent);
    EXPECT_EQ(F.GraphicControlExtension->TransparentColor(), 0xFFFFFFu);
    const TGIFBitmap* Bmp = F.Bitmap();
    EXPECT_EQ(Bmp->PixelIndex(19, 0), 7);
    EXPECT_EQ(Bmp->PixelColor(19, 0), 0xFFFFFFu);
    ASSERT_TRUE(F.MaskAvailable());
    const TGIFMask* M = F.TransparencyMask();
    EXPECT_EQ(M->Width, 20);
    EXPECT_EQ(TGIFMask::RowBytes(20), 4);
    ASSERT_EQ(M->Bits.size(), 12u);
    EXPECT_EQ(Hex(M->Bits), "80 00 10 00 00 00 00 00 04 00 00 00");
    for (int Y = 0; Y < 3; ++Y)
        for (int X = 0; X < 20; ++X) EXPECT_EQ(M->Transparent(X, Y), Pixels[Y * 20 + X] == 7);
    // Without a pixel of the transparent index there is no mask.
    TGIFImage None;
    LoadOne(None, 20, 3, Pattern(20, 3, 7), Eight, {}, 7);
    EXPECT_FALSE(None.Images[0].MaskAvailable());
    EXPECT_NE(None.Images[0].Bitmap(), nullptr);
    // Changing the transparent index through the extension makes a new mask.
    None.Images[0].GraphicControlExtension->SetTransparentColorIndex(0);
    EXPECT_TRUE(None.Images[0].MaskAvailable());
    None.Images[0].GraphicControlExtension->SetTransparent(false);
    EXPECT_FALSE(None.Images[0].Transparent);
    EXPECT_FALSE(None.Images[0].MaskAvailable());
}

TEST(GIFFrames, LargeFramesStillGiveEightBitPictures) {
    TGIFImage Image;
    LoadOne(Image, 800, 700, Pattern(800, 700, 8), Eight, {});
    const TGIFBitmap* Bmp = Image.Images[0].Bitmap();
    ASSERT_NE(Bmp, nullptr);
    EXPECT_EQ(Bmp->BitCount(), 8);
    EXPECT_EQ(Bmp->Stride(), 800);
    EXPECT_EQ(Bmp->PixelIndex(799, 699), Image.Images[0].PixelAt(799, 699));
}

TEST(GIFFrames, BoundsEmptinessAndPixelAccess) {
    TGIFImage Image;
    std::vector<std::string> Warnings;
    LoadOne(Image, 4, 4, Pattern(4, 4, 8), Eight, {});
    Image.OnDecodeWarning = [&](TGIFImage&, const TGIFItem*, int, const std::string& M) { Warnings.push_back(M); };
    TGIFSubImage& F = Image.Images[0];
    EXPECT_THROW(F.PixelAt(4, 0), GIFException);
    EXPECT_THROW(F.PixelAt(0, -1), GIFException);
    EXPECT_THROW(F.RowAddress(4), GIFException);
    F.RowAddress(3)[1] = 6;
    EXPECT_EQ(F.PixelAt(1, 3), 6);
    ASSERT_NE(F.Bitmap(), nullptr);
    // Moving keeps the pixels; a new size gives a new zeroed buffer.
    F.SetLeft(0);
    EXPECT_TRUE(F.HasBitmap());
    F.SetWidth(2);
    EXPECT_FALSE(F.HasBitmap());
    EXPECT_EQ(F.PixelData, std::vector<std::uint8_t>(8, 0));
    EXPECT_TRUE(Warnings.empty());
    // Growing past the screen widens it with warnings.
    F.ChangeBounds(3, 2, 2, 3);
    EXPECT_EQ(Image.Width(), 5);
    EXPECT_EQ(Image.Height(), 5);
    EXPECT_EQ(Warnings, (std::vector<std::string>{"image width too small for contained frames",
                                                  "image height too small for contained frames",
                                                  "image exceeds logical screen size"}));
    EXPECT_THROW(Image.SetWidth(4), GIFException);
    Image.SetWidth(6);
    EXPECT_EQ(Image.Width(), 6);
    EXPECT_THROW(F.ChangeBounds(65000, 0, 1000, 1), GIFException);
    EXPECT_THROW(F.SetWidth(-1), GIFException);
    // Width 0 or height 0: empty, no picture.
    F.SetHeight(0);
    EXPECT_TRUE(F.Empty());
    EXPECT_EQ(F.Bitmap(), nullptr);
    EXPECT_THROW(F.RowAddress(0), GIFException);
    EXPECT_THROW(F.PixelAt(0, 0), GIFException);
}

TEST(GIFFrames, GraphicControlAccessors) {
    TGIFImage Image;
    std::vector<std::string> Warnings;
    LoadOne(Image, 2, 1, {1, 2}, Eight, {}, 1);
    Image.OnDecodeWarning = [&](TGIFImage&, const TGIFItem*, int, const std::string& M) { Warnings.push_back(M); };
    TGIFSubImage& F = Image.Images[0];
    TGIFGraphicControlExtension& G = *F.GraphicControlExtension;
    G.Rec.PackedFields = 0x1D;
    EXPECT_EQ(G.Disposal(), 7);
    G.SetDisposal(2);
    EXPECT_EQ(G.Rec.PackedFields, 0x09);
    EXPECT_EQ(G.Disposal(), 2);
    EXPECT_TRUE(G.Transparent());
    EXPECT_FALSE(G.WaitsForInput());
    G.SetDelay(300);
    EXPECT_EQ(G.Delay(), 300);
    G.SetTransparentColorIndex(9);
    EXPECT_EQ(G.TransparentColorIndex(), 0);
    EXPECT_EQ(Warnings, (std::vector<std::string>{"invalid colour index"}));
    G.SetTransparentColorIndex(7);
    EXPECT_EQ(G.TransparentColorIndex(), 7);
    // With no colour map at all any index is stored.
    TGIFImage Bare;
    LoadOne(Bare, 1, 1, {0}, {}, {}, 0);
    Bare.Images[0].GraphicControlExtension->SetTransparentColorIndex(9);
    EXPECT_EQ(Bare.Images[0].GraphicControlExtension->TransparentColorIndex(), 9);
    EXPECT_THROW(Bare.Images[0].GraphicControlExtension->TransparentColor(), GIFException);
    // Removing the extension clears the frame's flag and reference.
    EXPECT_TRUE(F.Transparent);
    F.FrameExtensions.RemoveAt(0);
    EXPECT_FALSE(F.Transparent);
    EXPECT_EQ(F.GraphicControlExtension, nullptr);
}

TEST(GIFFrames, DitheredPicturesUseTheColourCube) {
    // Entry 1 is a cube colour exactly; entry 2 a mid grey that dithers.
    const std::vector<TColor> Map{0x000000, 0x996633, 0x808080, 0x00FF00};
    std::vector<std::uint8_t> Pixels(16 * 4, 2);
    for (int X = 0; X < 16; ++X) Pixels[X] = 1;
    Pixels[40] = 3;
    TGIFImage Image;
    LoadOne(Image, 16, 4, Pixels, Map, {}, 3);
    Image.PaintOptions = 0x0200;
    ASSERT_TRUE(Image.DitheringCondition());
    TGIFSubImage& F = Image.Images[0];
    EXPECT_EQ(*F.Palette(), GIFCubePalette());
    const TGIFBitmap* Bmp = F.Bitmap();
    ASSERT_NE(Bmp, nullptr);
    EXPECT_EQ(Bmp->ColorsImportant(), 216);
    // (0x33, 0x66, 0x99) -> levels 1, 2, 3.
    for (int X = 0; X < 16; ++X) EXPECT_EQ(Bmp->PixelIndex(X, 0), 36 * 1 + 6 * 2 + 3);
    // Grey 128 lies between levels 2 (102) and 3 (153): both appear, and the
    // mean stays near 128.
    int Sum = 0, Count = 0;
    for (int Y = 1; Y < 4; ++Y)
        for (int X = 0; X < 16; ++X) {
            if (Y * 16 + X == 40) continue;
            const int V = Bmp->PixelIndex(X, Y);
            EXPECT_TRUE(V == 86 || V == 129) << V;
            Sum += static_cast<int>(Bmp->PixelColor(X, Y) & 0xFF);
            ++Count;
        }
    EXPECT_NEAR(Sum / double(Count), 128.0, 8.0);
    // The transparent pixel holds the cube index of its colour, masked.
    EXPECT_EQ(Bmp->PixelIndex(8, 2), 6 * 5);
    ASSERT_TRUE(F.MaskAvailable());
    EXPECT_TRUE(F.TransparencyMask()->Transparent(8, 2));
    EXPECT_FALSE(F.TransparencyMask()->Transparent(9, 2));
    // Bit 10 (only on palette displays) turns dithering off here.
    Image.PaintOptions = 0x0600;
    EXPECT_FALSE(Image.DitheringCondition());
}

TEST(GIFFrames, DIBWriterChecksItsArguments) {
    TGIFBitmap Bmp;
    try {
        TDIBWriter W(Bmp, nullptr, 2, 2, 16);
        FAIL();
    } catch (const GIFException& E) {
        EXPECT_STREQ(E.what(), "pixel format not supported");
    }
    EXPECT_THROW(TDIBWriter(Bmp, nullptr, 0, 2, 8), GIFException);
    EXPECT_THROW(TDIBWriter(Bmp, nullptr, 2, 0, 8), GIFException);
    TDIBWriter W(Bmp, nullptr, 2, 3, 24);
    EXPECT_THROW(W.RowAddress(2), EInvalidGraphicOperation);
    EXPECT_THROW(W.RowAddress(-1), EInvalidGraphicOperation);
    std::uint8_t* Top = W.RowAddress(0);
    Top[0] = 0x30;  // blue
    Top[1] = 0x20;
    Top[2] = 0x10;
    W.Finish();
    EXPECT_EQ(Bmp.BitCount(), 24);
    EXPECT_EQ(Bmp.Stride(), 12);
    EXPECT_EQ(Bmp.FileImage().size(), 14u + 40 + 24);
    EXPECT_EQ(Bmp.PixelColor(0, 0), 0x302010u);
    EXPECT_EQ(Bmp.PixelColor(0, 1), 0u);
    EXPECT_THROW(Bmp.ScanLine(2), EInvalidGraphicOperation);
}
