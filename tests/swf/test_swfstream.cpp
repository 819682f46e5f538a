#include <gtest/gtest.h>

#include <zlib.h>

#include <filesystem>

#include "FlashObjects.h"
#include "SWFStreams.h"
#include "TestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace {

Bytes Save(TBasedSWFStream& S) {
    TMemoryStream M;
    S.SaveToStream(M);
    return M.Bytes();
}

// A movie with enough tags to make the body larger than a few compressor blocks.
std::unique_ptr<TFlashMovie> BigMovie() {
    auto Movie = std::make_unique<TFlashMovie>(0, 0, 400, 300, 24.0f, true);
    Movie->SetVersion(6);
    for (int I = 0; I < 20000; ++I) {
        Movie->FrameLabel = "frame " + std::to_string(I * 7919 % 100000);
        Movie->ShowFrame(1);
    }
    Movie->MakeStream();
    return Movie;
}

}  // namespace

TEST(SWFStream, HeaderSizeAndEmptyStage) {
    TBasedSWFStream S;
    EXPECT_EQ(S.Version(), 5);
    EXPECT_EQ(S.UnitMultiplier(), 1);
    EXPECT_EQ(S.HeaderSize(), 13u);
    const Bytes Out = Save(S);
    // Saving before any body was made writes a header and an empty body.
    EXPECT_EQ(Out, B({'F', 'W', 'S', 5, 13, 0, 0, 0, 0x00, 0, 0, 0, 0}));
    EXPECT_EQ(S.FileLength, 13u);

    TBasedSWFStream P(0, 0, 2000, 1000, 12.0f, false);
    EXPECT_EQ(P.HeaderSize(), 19u);
    TBasedSWFStream Px(0, 0, 100, 50, 12.0f, true);
    EXPECT_EQ(Px.FrameRect, (TRect{0, 0, 2000, 1000}));
    EXPECT_EQ(Px.HeaderSize(), 19u);
    EXPECT_EQ(Save(Px).size(), 19u);
}

TEST(SWFStream, TheConvertersStage) {
    const int W = 123, H = 45;
    TFlashMovie M(0, 0, W * 20, H * 20, 24.0f, false);
    M.SetPixelUnits(true);
    M.SetVersion(6);
    M.SetCompressed(false);
    M.MakeStream();
    const Bytes Out = Save(M);
    ASSERT_GE(Out.size(), 12u);
    EXPECT_EQ(std::string(Out.begin(), Out.begin() + 3), "FWS");
    EXPECT_EQ(Out[3], 6);
    EXPECT_EQ(Out[4] | (Out[5] << 8) | (Out[6] << 16) | (Out[7] << 24), static_cast<int>(Out.size()));
    TMemoryStream R(Bytes(Out.begin() + 8, Out.end()));
    TBitsEngine BE(R);
    const TSWFRectRec Rect = BE.ReadRect();
    EXPECT_EQ(Rect, (TSWFRectRec{0, W * 20, 0, H * 20}));
    EXPECT_EQ(BE.ReadByte(), 0x00);
    EXPECT_EQ(BE.ReadByte(), 0x18);
    EXPECT_EQ(M.HeaderSize(), 8 + R.Position() + 2);
}

TEST(SWFStream, VersionAndCompressionRules) {
    TBasedSWFStream S;
    S.SetCompressed(true);
    EXPECT_EQ(S.Version(), 6);
    S.SetVersion(4);
    EXPECT_EQ(S.Version(), 6);
    S.SetVersion(7);
    EXPECT_EQ(S.Version(), 7);
    S.SetCompressed(false);
    EXPECT_EQ(S.Version(), 7);
    S.SetVersion(4);
    EXPECT_EQ(S.Version(), 4);
    S.SetPixelUnits(true);
    EXPECT_EQ(S.UnitMultiplier(), 20);
    EXPECT_TRUE(S.PixelUnits());
    EXPECT_FLOAT_EQ(TBasedSWFStream(0, 0, 1, 1, 29.97f, false).GetFrameRate(), 29.96875f);
}

TEST(SWFStream, NormalisesAReversedStage) {
    TBasedSWFStream S(100, 0, 0, 50, 24.0f, true);
    const std::uint32_t Size = S.HeaderSize();
    const Bytes Out = Save(S);
    EXPECT_EQ(Out.size(), Size);
    TMemoryStream R(Bytes(Out.begin() + 8, Out.end()));
    TBitsEngine BE(R);
    EXPECT_EQ(BE.ReadRect(), (TSWFRectRec{0, 2000, 0, 1000}));
}

TEST(SWFStream, CompressedSaveInflatesToThePlainSave) {
    auto Movie = BigMovie();
    const Bytes Plain = Save(*Movie);
    std::vector<int> Percents;
    Movie->OnProgress = [&](TBasedSWFStream&, int Percent, int Phase) {
        EXPECT_EQ(Phase, 2);
        Percents.push_back(Percent);
    };
    Movie->SetCompressed(true);
    const Bytes Packed = Save(*Movie);
    EXPECT_EQ(std::string(Packed.begin(), Packed.begin() + 3), "CWS");
    EXPECT_EQ(Packed[3], 6);
    EXPECT_EQ(Bytes(Packed.begin() + 4, Packed.begin() + 8), Bytes(Plain.begin() + 4, Plain.begin() + 8));
    uLongf Len = static_cast<uLongf>(Plain.size());
    Bytes Inflated(Plain.size());
    ASSERT_EQ(uncompress(Inflated.data(), &Len, Packed.data() + 8, static_cast<uLong>(Packed.size() - 8)), Z_OK);
    Inflated.resize(Len);
    EXPECT_EQ(Inflated, Bytes(Plain.begin() + 8, Plain.end()));
    ASSERT_FALSE(Percents.empty());
    for (std::size_t I = 1; I < Percents.size(); ++I) EXPECT_GE(Percents[I], Percents[I - 1]);
    EXPECT_LE(Percents.back(), 100);
    // Saving again without changes gives the same bytes.
    EXPECT_EQ(Save(*Movie), Packed);
}

TEST(SWFStream, SaveFileReplacesAndFailsCleanly) {
    TempDir D;
    const std::string Name = D.File("movie.swf");
    WriteFileBytes(Name, Bytes(5000, 'x'));
    TFlashMovie M(0, 0, 10, 10, 24.0f, true);
    M.ShowFrame(2);
    M.MakeStream();
    M.SaveFile(Name);
    const Bytes Out = ReadFileBytes(Name);
    EXPECT_EQ(Out, Save(M));
    M.SaveFile(Name);
    EXPECT_EQ(ReadFileBytes(Name), Out);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(D.Path()), std::filesystem::directory_iterator()), 1);

    EXPECT_THROW(M.SaveFile(D.File("no-such-folder/movie.swf")), EStreamError);
    // A target that cannot be replaced (a folder) fails and leaves no partial file.
    std::filesystem::create_directory(D.File("taken.swf"));
    std::filesystem::create_directory(D.File("taken.swf/inside"));
    EXPECT_THROW(M.SaveFile(D.File("taken.swf")), EStreamError);
    EXPECT_FALSE(std::filesystem::exists(D.File("taken.swf.~part")));
    EXPECT_TRUE(std::filesystem::is_directory(D.File("taken.swf")));
}

TEST(SWFStream, MakeStreamIsAbstractHere) {
    TBasedSWFStream S;
    EXPECT_THROW(S.MakeStream(), EAbstractError);
}

// An independent reader: ffprobe opens the movie without an error.
TEST(SWFStream, FfprobeOpensASavedMovie) {
    ASSERT_TRUE(Installed("ffprobe", "ffmpeg"));
    TempDir D;
    for (bool Compressed : {false, true}) {
        TFlashMovie M(0, 0, 160, 120, 24.0f, true);
        M.SetVersion(6);
        M.SetCompressed(Compressed);
        M.BackgroundColor().SetRGB(0x0000FF);
        // A lossless bitmap gives the probe a picture stream to find:
        // id 1, format 5 (32-bit), 64 x 32 pixels of zlib-packed ARGB.
        auto Bitmap = std::make_unique<TSWFUnknownTag>(tagDefineBitsLossless2);
        Bitmap->Data = B({1, 0, 5, 64, 0, 32, 0});
        Bytes Pixels(64 * 32 * 4, 0x80);
        const Bytes Packed = ZDeflate(Pixels.data(), Pixels.size());
        Bitmap->Data.insert(Bitmap->Data.end(), Packed.begin(), Packed.end());
        M.AddObject(std::move(Bitmap));
        // The probe's inflater drops the output of its last call, and sees
        // nothing of a movie that inflates in one call: incompressible
        // action bytes after the bitmap keep the bitmap out of that tail.
        auto Noise = std::make_unique<TSWFUnknownTag>(tagDoAction);
        std::uint32_t Seed = 12345;
        Noise->Data.resize(16384);
        for (auto& V : Noise->Data) V = static_cast<std::uint8_t>((Seed = Seed * 1103515245u + 12345u) >> 24);
        M.AddObject(std::move(Noise));
        M.FrameLabel = "start";
        M.ShowFrame(3);
        M.MakeStream();
        const std::string Name = D.File(Compressed ? "c.swf" : "p.swf");
        M.SaveFile(Name);
        std::string Out;
        const int Status = RunCommand("ffprobe -v error -show_format -show_streams '" + Name + "'", &Out);
        EXPECT_EQ(Status, 0) << Out;
        EXPECT_NE(Out.find("format_name=swf"), std::string::npos) << Out;
        EXPECT_NE(Out.find("width=64"), std::string::npos) << Out;
        EXPECT_NE(Out.find("height=32"), std::string::npos) << Out;
        EXPECT_EQ(Out.find("rror"), std::string::npos) << Out;
    }
}
