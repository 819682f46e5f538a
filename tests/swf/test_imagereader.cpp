#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <filesystem>

#include "FlashObjects.h"
#include "ImageReader.h"
#include "TestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace {

std::string Data(const std::string& Name) { return std::string(ANIVERT_TEST_DATA) + "/" + Name; }

void Put16(Bytes& B, std::size_t At, std::uint32_t V) {
    B[At] = static_cast<std::uint8_t>(V);
    B[At + 1] = static_cast<std::uint8_t>(V >> 8);
}
void Put32(Bytes& B, std::size_t At, std::uint32_t V) {
    for (int I = 0; I < 4; ++I) B[At + static_cast<std::size_t>(I)] = static_cast<std::uint8_t>(V >> (8 * I));
}

// A BMP file with a 40-byte header. Palette holds B, G, R, 0 quads; Pixels
// are the stored rows (padded) or run-length data.
Bytes MakeBMP(std::int32_t W, std::int32_t H, std::uint16_t Bits, const Bytes& Palette, const Bytes& Pixels,
              std::uint32_t Compression = 0) {
    // The whole file is sized at once and the parts copied into place.
    Bytes F(54 + Palette.size() + Pixels.size(), 0);
    F[0] = 'B';
    F[1] = 'M';
    const std::uint32_t Offset = static_cast<std::uint32_t>(54 + Palette.size());
    Put32(F, 2, static_cast<std::uint32_t>(Offset + Pixels.size()));
    Put32(F, 10, Offset);
    Put32(F, 14, 40);
    Put32(F, 18, static_cast<std::uint32_t>(W));
    Put32(F, 22, static_cast<std::uint32_t>(H));
    Put16(F, 26, 1);
    Put16(F, 28, Bits);
    Put32(F, 30, Compression);
    std::copy(Pixels.begin(), Pixels.end(), std::copy(Palette.begin(), Palette.end(), F.begin() + 54));
    return F;
}

Bytes Inflate(const std::uint8_t* P, std::size_t N, std::size_t Expect) {
    Bytes Out(Expect + 16);
    uLongf Len = static_cast<uLongf>(Out.size());
    EXPECT_EQ(uncompress(Out.data(), &Len, P, static_cast<uLong>(N)), Z_OK);
    Out.resize(Len);
    return Out;
}

// Writes a movie holding only the image, reads the bitmap tag back and
// returns the inflated pixel data.
struct TImageTag {
    std::uint16_t TagID = 0;
    std::uint8_t Format = 0;
    int ColorTableSize = -1;
    Bytes Raw;
};

TImageTag WriteImage(const std::string& FileName, std::size_t ExpectRaw = 1 << 20) {
    TFlashMovie M(0, 0, 10, 10, 24.0f, true);
    TFlashImage* Img = M.AddImage(FileName);
    TMemoryStream Out;
    TBitsEngine BE(Out);
    Img->WriteToStream(BE);
    TMemoryStream In(Out.Bytes());
    TBitsEngine R(In);
    const std::uint16_t W = R.ReadWord();
    TImageTag T;
    T.TagID = W >> 6;
    EXPECT_EQ(W & 63, 63);  // always the long header
    const std::uint32_t Size = R.ReadDWord();
    TSWFDefineBitsLossless Tag;
    Tag.BodySize = Size;
    Tag.ReadFromStream(R);
    T.Format = Tag.BitmapFormat;
    if (Tag.BitmapFormat == 3) T.ColorTableSize = Tag.BitmapColorTableSize;
    T.Raw = Inflate(Tag.Data, static_cast<std::size_t>(Tag.DataSize), ExpectRaw);
    return T;
}

// The colour of a pixel as the reader holds it, as R, G, B, A.
std::array<std::uint8_t, 4> ReaderRGBA(const TBMPReader& R, int X, int Y) {
    const int Row = R.TopDown() ? Y : R.RowCount - 1 - Y;
    if (R.BitCount() <= 8) {
        const TRGBQuad& Q = R.Palette[R.IndexAt(X, Row)];
        return {Q.Red, Q.Green, Q.Blue, 255};
    }
    const std::uint8_t* P = R.Row(Row);
    if (R.BitCount() == 24) return {P[3 * X + 2], P[3 * X + 1], P[3 * X], 255};
    return {P[4 * X + 2], P[4 * X + 1], P[4 * X], P[4 * X + 3]};
}

}  // namespace

// Files written by ImageMagick read to exactly the pixels ImageMagick reads.
TEST(BMPReader, ReadsFilesOfAnIndependentWriter) {
    for (const char* Name : {"b1", "b4", "b8", "b8rle", "b24", "b32", "b1w20", "b4w20", "b8w20"}) {
        SCOPED_TRACE(Name);
        TBMPReader R;
        R.LoadFile(Data(std::string("bmp/") + Name + ".bmp"));
        const Bytes Ref = ReadFileBytes(Data(std::string("bmp/") + Name + ".rgba"));
        ASSERT_EQ(Ref.size(), static_cast<std::size_t>(R.Width()) * R.RowCount * 4);
        int Bad = 0;
        for (int Y = 0; Y < R.RowCount; ++Y)
            for (int X = 0; X < R.Width(); ++X) {
                const auto P = ReaderRGBA(R, X, Y);
                const std::size_t At = (static_cast<std::size_t>(Y) * R.Width() + X) * 4;
                for (int C = 0; C < 4; ++C) Bad += P[C] != Ref[At + C];
            }
        EXPECT_EQ(Bad, 0);
    }
}

TEST(BMPReader, CompactsAPaletteToTheColoursInUse) {
    // 3 x 2 pixels using indices 7 and 200; rows padded to 4 bytes.
    Bytes Palette(256 * 4, 0);
    Palette[7 * 4 + 2] = 0x11;    // red of entry 7
    Palette[200 * 4 + 1] = 0x22;  // green of entry 200
    const Bytes Pixels = {7, 200, 7, 0, 200, 200, 7, 0};
    TempDir D;
    WriteFileBytes(D.File("p.bmp"), MakeBMP(3, 2, 8, Palette, Pixels));
    TFlashMovie M(0, 0, 10, 10, 24.0f, true);
    TFlashImage* Img = M.AddImage(D.File("p.bmp"));
    EXPECT_EQ(Img->ColorCount, 2);
    EXPECT_EQ(Img->BitmapFormat, 3);
    EXPECT_EQ(Img->PaddedWidth, 4);
    const TImageTag T = WriteImage(D.File("p.bmp"));
    EXPECT_EQ(T.TagID, tagDefineBitsLossless);
    EXPECT_EQ(T.ColorTableSize, 1);
    // Table [entry 7, entry 200], then the top row (stored last) first.
    EXPECT_EQ(T.Raw, B({0x11, 0, 0, 0, 0x22, 0, 1, 1, 0, 0, 0, 1, 0, 0}));
}

TEST(BMPReader, AFullPaletteStaysAsItIs) {
    Bytes Palette(256 * 4);
    for (int I = 0; I < 256; ++I) Palette[static_cast<std::size_t>(I) * 4] = static_cast<std::uint8_t>(255 - I);
    Bytes Pixels(256);
    for (int I = 0; I < 256; ++I) Pixels[static_cast<std::size_t>(I)] = static_cast<std::uint8_t>(I);
    TempDir D;
    WriteFileBytes(D.File("full.bmp"), MakeBMP(16, 16, 8, Palette, Pixels));
    const TImageTag T = WriteImage(D.File("full.bmp"));
    EXPECT_EQ(T.ColorTableSize, 255);
    ASSERT_EQ(T.Raw.size(), 256u * 3 + 256);
    EXPECT_EQ(T.Raw[2], 255);  // blue of entry 0 unchanged
    EXPECT_EQ(T.Raw[3 * 255 + 2], 0);
    EXPECT_EQ(T.Raw[768], 240);  // top row = last stored row, pixel 0 = index 240
}

TEST(BMPReader, OneBitTables) {
    const Bytes Palette = {0, 0, 0, 0, 255, 255, 255, 0};
    TempDir D;
    WriteFileBytes(D.File("zero.bmp"), MakeBMP(5, 2, 1, Palette, Bytes(8, 0)));
    EXPECT_EQ(WriteImage(D.File("zero.bmp")).ColorTableSize, 0);
    // One index-1 pixel (x = 4 of the bottom row) makes two entries; padding
    // bits beyond the width are ignored.
    WriteFileBytes(D.File("one.bmp"), MakeBMP(5, 2, 1, Palette, B({0x08, 0, 0, 0, 0x07, 0, 0, 0})));
    const TImageTag T = WriteImage(D.File("one.bmp"));
    EXPECT_EQ(T.ColorTableSize, 1);
    EXPECT_EQ(T.Raw, B({0, 0, 0, 255, 255, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}));
}

TEST(BMPReader, TrueColourAndAlpha) {
    TempDir D;
    // 2 x 2, 32-bit: bottom row opaque red, transparent; top row half-blue, opaque white.
    const Bytes P32 = {0, 0, 255, 255, 9, 9, 9, 0, 255, 0, 0, 128, 255, 255, 255, 255};
    WriteFileBytes(D.File("a.bmp"), MakeBMP(2, 2, 32, {}, P32));
    const TImageTag A = WriteImage(D.File("a.bmp"));
    EXPECT_EQ(A.TagID, tagDefineBitsLossless2);
    EXPECT_EQ(A.Format, 5);
    // Colours are stored multiplied by alpha; transparent pixels are zero.
    EXPECT_EQ(A.Raw, B({128, 0, 0, 128, 255, 255, 255, 255, 255, 255, 0, 0, 0, 0, 0, 0}));
    // The same picture at 24 bits: opaque, first byte 0xFF, rows padded in the file.
    const Bytes P24 = {0, 0, 255, 9, 9, 9, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};
    WriteFileBytes(D.File("c.bmp"), MakeBMP(2, 2, 24, {}, P24));
    const TImageTag C = WriteImage(D.File("c.bmp"));
    EXPECT_EQ(C.TagID, tagDefineBitsLossless);
    EXPECT_EQ(C.Format, 5);
    EXPECT_EQ(C.Raw, B({0xFF, 0, 0, 255, 0xFF, 255, 255, 255, 0xFF, 255, 0, 0, 0xFF, 9, 9, 9}));
    // 16 bits: each value high byte first, odd widths padded with a zero pixel.
    WriteFileBytes(D.File("s.bmp"), MakeBMP(1, 1, 16, {}, B({0x34, 0x12, 0, 0})));
    const TImageTag S = WriteImage(D.File("s.bmp"));
    EXPECT_EQ(S.Format, 4);
    EXPECT_EQ(S.Raw, B({0x12, 0x34, 0, 0}));
}

TEST(BMPReader, RunLengthDecoding) {
    Bytes Palette(16 * 4, 0);
    // RLE8, 6 x 3: a run of 3 x 5, an absolute run of 3 (padded), end of
    // line; a delta (+2, +1) into the third row; a run of 9 clipped at the
    // width; end of bitmap.
    const Bytes RLE8 = {3, 5, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 1, 9, 7, 0, 1};
    TempDir D;
    WriteFileBytes(D.File("r8.bmp"), MakeBMP(6, 3, 8, Bytes(256 * 4, 0), RLE8, 1));
    TBMPReader R;
    R.LoadFile(D.File("r8.bmp"));
    auto RowOf = [&R](int Y) {
        Bytes Row;
        for (int X = 0; X < R.Width(); ++X) Row.push_back(R.IndexAt(X, Y));
        return Row;
    };
    EXPECT_EQ(RowOf(0), B({5, 5, 5, 1, 2, 3}));
    EXPECT_EQ(RowOf(1), B({0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(RowOf(2), B({0, 0, 7, 7, 7, 7}));
    // RLE4, 5 x 1: a run of 3 alternating nibbles 1, 2; an absolute run of
    // 3 nibbles clipped at the width.
    const Bytes RLE4 = {3, 0x12, 0, 3, 0x9A, 0xB0, 0, 1};
    WriteFileBytes(D.File("r4.bmp"), MakeBMP(5, 1, 4, Palette, RLE4, 2));
    TBMPReader R4;
    R4.LoadFile(D.File("r4.bmp"));
    Bytes Row4;
    for (int X = 0; X < 5; ++X) Row4.push_back(R4.IndexAt(X, 0));
    EXPECT_EQ(Row4, B({1, 2, 1, 9, 10}));
}

TEST(BMPReader, OtherLayouts) {
    TempDir D;
    // A core (12-byte) header with a 3-byte palette.
    Bytes F(26, 0);
    F[0] = 'B';
    F[1] = 'M';
    Put32(F, 10, 26 + 6);
    Put32(F, 14, 12);
    Put16(F, 18, 2);
    Put16(F, 20, 1);
    Put16(F, 22, 1);
    Put16(F, 24, 1);
    const Bytes Tail = {10, 20, 30, 40, 50, 60, 0x40, 0, 0, 0};
    F.insert(F.end(), Tail.begin(), Tail.end());
    WriteFileBytes(D.File("core.bmp"), F);
    TBMPReader C;
    C.LoadFile(D.File("core.bmp"));
    EXPECT_EQ(C.Width(), 2);
    EXPECT_EQ(C.IndexAt(1, 0), 1);
    EXPECT_EQ(C.Palette[1].Red, 60);
    EXPECT_EQ(C.Palette[1].Alpha, 255);
    // A top-down bitmap (negative height) keeps its first stored row on top.
    WriteFileBytes(D.File("td.bmp"), MakeBMP(1, -2, 24, {}, B({1, 2, 3, 0, 4, 5, 6, 0})));
    const TImageTag T = WriteImage(D.File("td.bmp"));
    EXPECT_EQ(T.Raw, B({0xFF, 3, 2, 1, 0xFF, 6, 5, 4}));
    // Short pixel data leaves the missing rows zero.
    WriteFileBytes(D.File("short.bmp"), MakeBMP(1, 3, 24, {}, B({1, 2, 3, 0})));
    const TImageTag S = WriteImage(D.File("short.bmp"));
    EXPECT_EQ(S.Raw, B({0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 3, 2, 1}));
}

TEST(BMPReader, RefusesWhatItCannotHold) {
    TempDir D;
    // 60000 x 60000 at 32 bits in 100 bytes: refused without allocating.
    Bytes Huge = MakeBMP(60000, 60000, 32, {}, Bytes(46, 0));
    WriteFileBytes(D.File("huge.bmp"), Huge);
    TBMPReader R;
    try {
        R.LoadFile(D.File("huge.bmp"));
        FAIL();
    } catch (const EImageError& E) {
        EXPECT_NE(std::string(E.what()).find("larger than 256 MiB"), std::string::npos) << E.what();
    }
    WriteFileBytes(D.File("wide.bmp"), MakeBMP(0x7FFFFFFF, 1, 32, {}, {}));
    EXPECT_THROW(R.LoadFile(D.File("wide.bmp")), EImageError);
    // Wider than a movie bitmap can be.
    WriteFileBytes(D.File("w.bmp"), MakeBMP(70000, 1, 1, Bytes(8, 0), {}));
    TFlashMovie M(0, 0, 10, 10, 24.0f, true);
    EXPECT_THROW(M.AddImage(D.File("w.bmp")), EImageError);
    EXPECT_EQ(M.NextCharacterID, 1);  // nothing registered
    WriteFileBytes(D.File("x.bmp"), B({'P', 'K', 3, 4}));
    EXPECT_THROW(R.LoadFile(D.File("x.bmp")), EImageError);
    WriteFileBytes(D.File("b.bmp"), MakeBMP(1, 1, 7, {}, {}));
    EXPECT_THROW(R.LoadFile(D.File("b.bmp")), EImageError);
}

TEST(FlashImage, FileKindsByExtension) {
    TempDir D;
    const Bytes Jpeg = ReadFileBytes(Data("jpeg/baseline.jpg"));
    WriteFileBytes(D.File("photo.jpeg"), Jpeg);
    WriteFileBytes(D.File("PHOTO.JPG"), Jpeg);
    WriteFileBytes(D.File("frame.gif"), Jpeg);
    TFlashMovie M(0, 0, 10, 10, 24.0f, true);
    for (const char* Name : {"photo.jpeg", "PHOTO.JPG"}) {
        TFlashImage* I = M.AddImage(D.File(Name));
        EXPECT_TRUE(I->FromJPEG);
        EXPECT_EQ(I->DataState, 4);
        EXPECT_EQ(I->Width(), 21);
        EXPECT_EQ(I->Height(), 9);
    }
    try {
        M.AddImage(D.File("frame.gif"));
        FAIL();
    } catch (const EImageError& E) {
        EXPECT_STREQ(E.what(), "Image format \"GIF\" not supported!");
    }
    EXPECT_EQ(M.NextCharacterID, 3);
    EXPECT_THROW(M.AddImage(D.File("missing.bmp")), EStreamError);
}

TEST(FlashImage, JPEGSizesAndProgressiveFiles) {
    std::int32_t W = -1, H = -1;
    EXPECT_TRUE(ReadJPEGSize(Data("jpeg/baseline.jpg"), W, H));
    EXPECT_EQ(W, 21);
    EXPECT_EQ(H, 9);
    W = H = 0;
    EXPECT_FALSE(ReadJPEGSize(Data("jpeg/progressive.jpg"), W, H));
    EXPECT_EQ(W, 0);
    EXPECT_EQ(H, 0);

    TempDir D;
    WriteFileBytes(D.File("p.jpg"), ReadFileBytes(Data("jpeg/progressive.jpg")));
    // Kept as it is by default; the size still comes from the codec.
    TFlashImage Kept(nullptr, D.File("p.jpg"));
    EXPECT_EQ(Kept.DataState, 4);
    EXPECT_EQ(Kept.Width(), 21);
    // Re-encoded as a baseline JPEG when asked.
    TFlashImage Conv;
    Conv.ConvertProgressive = true;
    Conv.LoadFile(D.File("p.jpg"));
    EXPECT_EQ(Conv.DataState, 3);
    TStream* S = Conv.Data();
    ASSERT_NE(S, nullptr);
    Bytes Out(static_cast<std::size_t>(S->Size()));
    S->SetPosition(0);
    S->ReadBuffer(Out.data(), Out.size());
    const TJPEGInfo Info = ReadJPEGInfo(Out);
    EXPECT_FALSE(Info.Progressive);
    EXPECT_EQ(Info.Width, 21);
    EXPECT_EQ(Info.Height, 9);
    EXPECT_THROW(ReadJPEGInfo(B({0xFF, 0xD8, 0xFF, 0xD9})), EImageError);
}

TEST(FlashImage, JPEGTagsCarryTheFile) {
    const Bytes Jpeg = ReadFileBytes(Data("jpeg/baseline.jpg"));
    TFlashImage I(nullptr, Data("jpeg/baseline.jpg"));
    I.SetCharacterID(4);
    TMemoryStream Out;
    TBitsEngine BE(Out);
    I.WriteToStream(BE);
    EXPECT_EQ(I.MinVersion(), 2);
    const Bytes& B2 = Out.Bytes();
    EXPECT_EQ((B2[0] | (B2[1] << 8)) >> 6, tagDefineBitsJPEG2);
    // The file goes in once, with its own markers: a second pair around it
    // makes players refuse the picture.
    EXPECT_EQ(Bytes(B2.begin() + 6, B2.begin() + 8), B({4, 0}));
    EXPECT_EQ(Bytes(B2.begin() + 8, B2.end()), Jpeg);

    // With an alpha plane: DefineBitsJPEG3 with the plane deflated after it.
    const Bytes Plane(21 * 9, 0x80);
    I.AlphaData().WriteBuffer(Plane.data(), Plane.size());
    TMemoryStream Out3;
    TBitsEngine BE3(Out3);
    I.WriteToStream(BE3);
    EXPECT_EQ(I.MinVersion(), 3);
    const Bytes& B3 = Out3.Bytes();
    EXPECT_EQ((B3[0] | (B3[1] << 8)) >> 6, tagDefineBitsJPEG3);
    const std::uint32_t Offset = B3[8] | (B3[9] << 8) | (B3[10] << 16) | (B3[11] << 24);
    EXPECT_EQ(Offset, Jpeg.size());
    const std::size_t AlphaAt = 12 + Offset;
    EXPECT_EQ(Inflate(B3.data() + AlphaAt, B3.size() - AlphaAt, Plane.size()), Plane);
}

TEST(BMPReader, FuzzRegressionInputs) {
    const std::filesystem::path Dir = std::filesystem::path(ANIVERT_TEST_DATA) / "bmp-fuzz";
    int Count = 0;
    for (const auto& E : std::filesystem::directory_iterator(Dir)) {
        if (!E.is_regular_file() || E.path().filename() == "README") continue;
        TMemoryStream In(ReadFileBytes(E.path().string()));
        TFlashImage Image;
        try {
            Image.LoadBMPFromStream(In);
            TMemoryStream Out;
            TBitsEngine BE(Out);
            Image.WriteToStream(BE);
        } catch (const EImageError&) {
        } catch (const EStreamError&) {
        }
        ++Count;
    }
    EXPECT_GT(Count, 0);
}
