// Packing bitmaps on worker threads: the work queue, and movies whose
// images are packed in the background.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include <zlib.h>

#include "FlashObjects.h"
#include "SWFStreams.h"
#include "SWFTestUtil.h"
#include "WorkQueue.h"

using namespace anivert;
using namespace anivert::test;

namespace {

std::string Data(const std::string& Name) { return std::string(ANIVERT_TEST_DATA) + "/bmp/" + Name; }

void Put32(Bytes& B, std::size_t At, std::uint32_t V) {
    for (int I = 0; I < 4; ++I) B[At + static_cast<std::size_t>(I)] = static_cast<std::uint8_t>(V >> (8 * I));
}

// A 32-bit bottom-up BMP whose alpha runs through 0, partial values and 255.
std::string WriteAlphaBMP(const TempDir& Dir, int W, int H) {
    Bytes F(54 + static_cast<std::size_t>(W) * H * 4, 0);
    F[0] = 'B';
    F[1] = 'M';
    Put32(F, 2, static_cast<std::uint32_t>(F.size()));
    Put32(F, 10, 54);
    Put32(F, 14, 40);
    Put32(F, 18, static_cast<std::uint32_t>(W));
    Put32(F, 22, static_cast<std::uint32_t>(H));
    F[26] = 1;
    F[28] = 32;
    for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < W; ++X) {
            std::uint8_t* P = &F[54 + (static_cast<std::size_t>(Y) * W + X) * 4];
            P[0] = static_cast<std::uint8_t>(X * 7);
            P[1] = static_cast<std::uint8_t>(Y * 11);
            P[2] = static_cast<std::uint8_t>(X + Y);
            P[3] = static_cast<std::uint8_t>((X * 37 + Y * 5) % 3 == 0 ? 0 : (X * 37 + Y * 5) % 256);
        }
    const std::string Name = Dir.File("alpha.bmp");
    WriteFileBytes(Name, F);
    return Name;
}

// A movie of every test bitmap, each placed and shown; its file bytes.
// Released: made as it is saved, after what the stream holds already, the
// pictures' bytes going once written; the movie cannot be made again.
Bytes MovieOf(const std::vector<std::string>& Files, bool Background, bool Released = false) {
    TFlashMovie M(0, 0, 100, 100, 24.0f, true);
    if (Background) M.PackImagesInBackground(2);
    M.ReleasePicturesWhenWritten = Released;
    std::uint16_t Depth = 1;
    for (const auto& F : Files) {
        TFlashImage* Img = M.AddImage(F);
        TFlashShape* Shape = M.AddRectangle(0, 0, Img->Width(), Img->Height());
        Shape->SetImageFill(Img, 1, 1.0f, 1.0f);
        M.PlaceObject(Shape, Depth++);
        M.ShowFrame();
    }
    TMemoryStream Out;
    if (!Released) {
        M.MakeStream();
        M.SaveToStream(Out);
        return Out.Bytes();
    }
    Out.WriteBuffer("abc", 3);
    M.SaveToStreamAsMade(Out);
    for (const TFlashImage* Image : M.ImageList) EXPECT_EQ(Image->Data(), nullptr);
    EXPECT_THROW(M.MakeStream(), std::logic_error);
    EXPECT_EQ(Out.Position(), Out.Size());
    const Bytes& All = Out.Bytes();
    EXPECT_EQ(Bytes(All.begin(), All.begin() + 3), Bytes({'a', 'b', 'c'}));
    return Bytes(All.begin() + 3, All.end());
}

Bytes ReadAll(TStream& S) {
    S.SetPosition(0);
    Bytes Out(static_cast<std::size_t>(S.Size()));
    S.ReadBuffer(Out.data(), Out.size());
    return Out;
}

}  // namespace

TEST(WorkQueue, ResultsAndErrorsComeThroughTheFutures) {
    TWorkQueue Q(2);
    EXPECT_EQ(Q.Threads(), 2u);
    std::vector<std::future<int>> Results;
    for (int I = 0; I < 50; ++I) Results.push_back(Q.Submit([I] { return I * I; }));
    for (int I = 0; I < 50; ++I) EXPECT_EQ(Results[static_cast<std::size_t>(I)].get(), I * I);
    auto Failing = Q.Submit([]() -> int { throw std::runtime_error("packing failed"); });
    try {
        Failing.get();
        FAIL() << "no exception";
    } catch (const std::runtime_error& E) {
        EXPECT_STREQ(E.what(), "packing failed");
    }
}

TEST(WorkQueue, SubmitWaitsForRoomAndTheDestructorDropsWaitingJobs) {
    std::promise<void> Gate;
    std::shared_future<void> Open = Gate.get_future().share();
    std::future<int> Waiting;
    {
        TWorkQueue Q(1, 1);
        std::future<int> Running = Q.Submit([Open] {
            Open.wait();
            return 1;
        });
        // The worker may not have taken the first job yet: wait until the
        // queue has room for exactly one more.
        std::atomic<bool> Submitted{false};
        std::future<int> Second;
        std::thread Producer([&] {
            Second = Q.Submit([] { return 2; });
            Submitted = true;
        });
        // A third job cannot enter while the second waits and the first runs.
        Producer.join();
        std::atomic<bool> ThirdIn{false};
        std::thread Third([&] {
            Waiting = Q.Submit([] { return 3; });
            ThirdIn = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_FALSE(ThirdIn.load());
        Gate.set_value();
        Third.join();
        EXPECT_TRUE(Submitted.load());
        EXPECT_EQ(Running.get(), 1);
        EXPECT_EQ(Second.get(), 2);
    }
    // The third job either ran before the queue went away or was dropped.
    try {
        EXPECT_EQ(Waiting.get(), 3);
    } catch (const std::future_error& E) {
        EXPECT_EQ(E.code(), std::future_errc::broken_promise);
    }
}

TEST(BackgroundPacking, MoviesAreTheSameBytes) {
    TempDir Dir;
    const std::vector<std::string> Files = {Data("b1.bmp"),   Data("b4.bmp"),  Data("b8.bmp"),    Data("b8rle.bmp"),
                                            Data("b8w20.bmp"), Data("b24.bmp"), Data("b32.bmp"),
                                            WriteAlphaBMP(Dir, 37, 23)};
    const Bytes Plain = MovieOf(Files, false);
    EXPECT_EQ(MovieOf(Files, true), Plain);
    EXPECT_EQ(MovieOf(Files, true, true), Plain);
    EXPECT_EQ(MovieOf(Files, false, true), Plain);
    // The same picture many times over keeps the queue full.
    std::vector<std::string> Many(40, Files.back());
    EXPECT_EQ(MovieOf(Many, true), MovieOf(Many, false));
}

TEST(BackgroundPacking, ThePictureGoesAndTheDataStays) {
    TempDir Dir;
    const std::string File = WriteAlphaBMP(Dir, 20, 10);
    TFlashMovie Plain(0, 0, 100, 100, 24.0f, true);
    TFlashImage* A = Plain.AddImage(File);
    A->BuildLosslessData();
    const Bytes Expected = A->Data() ? ReadAll(*A->Data()) : Bytes{};
    ASSERT_FALSE(Expected.empty());

    TFlashMovie M(0, 0, 100, 100, 24.0f, true);
    M.PackImagesInBackground();
    TFlashImage* B = M.AddImage(File);
    EXPECT_EQ(B->Width(), 20);
    EXPECT_EQ(B->Height(), 10);
    EXPECT_TRUE(B->HasAlpha);
    ASSERT_NE(B->Data(), nullptr);
    EXPECT_EQ(ReadAll(*B->Data()), Expected);
    EXPECT_EQ(B->Reader().Pixels().size(), 0u);  // released once packed
    B->BuildLosslessData();                       // keeps the packed bytes
    EXPECT_EQ(ReadAll(*B->Data()), Expected);

    TFlashImage Copy;
    Copy.CopyFrom(*M.AddImage(File));
    ASSERT_NE(Copy.Data(), nullptr);
    EXPECT_EQ(ReadAll(*Copy.Data()), Expected);
    // A movie dropped with jobs pending goes away cleanly.
    TFlashMovie Dropped(0, 0, 100, 100, 24.0f, true);
    Dropped.PackImagesInBackground(1);
    for (int I = 0; I < 10; ++I) Dropped.AddImage(File);
}

// Pictures handed over in memory: the lossless tags' layout byte for byte,
// read back from the movie file by our reader and inflated by zlib, packed
// in the background by either deflater.
TEST(Packing, PicturesInMemoryHaveTheLosslessLayout) {
    const std::uint32_t R = 0xFFFF0000u, G = 0xFF00FF00u, Half = 0x80FF8000u;
    struct Case {
        const char* Name;
        std::vector<std::uint32_t> Pixels;  // 5 x 2
        std::uint16_t Tag;
        std::uint8_t Format;
        Bytes Raw;
    };
    const std::vector<Case> Cases = {
        // Colour-mapped with alpha: premultiplied RGBA entries in order of
        // first use, transparent ones 0, 0, 0, 0 whatever their colour;
        // rows padded to 8 bytes.
        {"alpha", {R, 0x00123456u, R, Half, G, 0, G, G, R, 0x00FFFFFFu}, tagDefineBitsLossless2, 3,
         Cat({B({0xFF, 0, 0, 0xFF, 0, 0, 0, 0, 0x80, 0x40, 0, 0x80, 0, 0xFF, 0, 0xFF}),
              B({0, 1, 0, 2, 3, 0, 0, 0}), B({1, 3, 3, 0, 1, 0, 0, 0})})},
        // Opaque: RGB entries, a DefineBitsLossless.
        {"opaque", {R, G, R, G, R, G, G, G, G, R}, tagDefineBitsLossless, 3,
         Cat({B({0xFF, 0, 0, 0, 0xFF, 0}), B({0, 1, 0, 1, 0, 0, 0, 0}), B({1, 1, 1, 1, 0, 0, 0, 0})})},
    };
    for (const TDeflater D : {TDeflater::Zlib, TDeflater::Libdeflate})
        for (const Case& C : Cases) {
            TFlashMovie M(0, 0, 100, 100, 24.0f, true);
            M.PackImagesInBackground(2);
            M.ImageDeflate = {D, 6};
            TFlashImage* Img = M.AddImage(LosslessFromARGB(5, 2, C.Pixels.data(), 5));
            EXPECT_EQ(Img->Width(), 5);
            M.ShowFrame();
            M.MakeStream();
            TempDir Dir;
            M.SaveFile(Dir.File("m.swf"));
            TSWFFileReader Reader;
            Reader.LoadFile(Dir.File("m.swf"));
            ASSERT_EQ(Reader.Tags.at(0).TagID, C.Tag) << C.Name;
            const auto& L = dynamic_cast<const TSWFDefineBitsLossless&>(*Reader.Tags[0].Tag);
            EXPECT_EQ(L.BitmapFormat, C.Format) << C.Name;
            EXPECT_EQ(L.BitmapWidth, 5);
            EXPECT_EQ(L.BitmapHeight, 2);
            EXPECT_EQ(L.BitmapColorTableSize + 1, C.Tag == tagDefineBitsLossless2 ? 4 : 2) << C.Name;
            Bytes Out(C.Raw.size() + 16);
            uLongf Len = static_cast<uLongf>(Out.size());
            ASSERT_EQ(uncompress(Out.data(), &Len, L.Data, static_cast<uLong>(L.DataSize)), Z_OK) << C.Name;
            Out.resize(Len);
            EXPECT_EQ(Hex(Out), Hex(C.Raw)) << C.Name;
        }
    // More than 256 colours: 32 bits a pixel; indices give a table of the
    // entries used, an index past the table opaque black.
    std::vector<std::uint32_t> Many(300);
    for (std::size_t I = 0; I < Many.size(); ++I) Many[I] = 0xFF000000u | static_cast<std::uint32_t>(I * 101);
    const TLosslessPicture Wide = LosslessFromARGB(300, 1, Many.data(), 300);
    EXPECT_EQ(Wide.BitmapFormat, 5);
    EXPECT_FALSE(Wide.HasAlpha);
    EXPECT_EQ(Wide.Raw.size(), 1200u);
    const std::uint32_t Table[2] = {0x00FFFFFFu, 0xFF0000FFu};
    const std::uint8_t Indices[3] = {1, 7, 1};
    const TLosslessPicture Mapped = LosslessFromIndices(3, 1, Indices, 3, Table, 2);
    EXPECT_EQ(Hex(Mapped.Raw), Hex(B({0, 0, 0xFF, 0, 0, 0, 0, 1, 0, 0})));
    EXPECT_FALSE(Mapped.HasAlpha);
}
