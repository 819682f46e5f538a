// The conversion core as other programs call it: files or bytes in and out,
// what it reports, stopping it, and many calls at once.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <thread>

#include "Convert.h"
#include "GIFTestUtil.h"
#include "TestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace fs = std::filesystem;

namespace {

const std::string Sample = std::string(ANIVERT_SOURCE_DIR) + "/samples/sample.gif";

// Counts what it hears; raises at frame (or percent) StopAt of stage StopIn.
struct TCounting : TConvertObserver {
    int Loaded = 0, Composed = 0, Total = 0, LastWritten = -1;
    TStage StopIn = TStage::Loading;
    int StopAt = -1;
    void Progress(TStage Stage, int Done, int Of) override {
        if (Stage == TStage::Loading) {
            ++Loaded;
        } else if (Stage == TStage::Composing) {
            ++Composed;
            Total = Of;
        } else {
            EXPECT_GT(Done, LastWritten);
            EXPECT_EQ(Of, 100);
            LastWritten = Done;
        }
        if (Stage == StopIn && Done == StopAt) throw std::runtime_error("stopped");
    }
};

}  // namespace

// Bytes to bytes gives the movie file to file gives, in every mode.
TEST(ConvertCore, BytesAndFilesGiveTheSameMovie) {
    TempDir D;
    const Bytes Gif = ReadFileBytes(Sample);
    TMovieOptions Compact, Loop, Salvage;
    Compact.Compact = true;
    Loop.LoopAsGif = true;
    Salvage.Salvage = true;
    int N = 0;
    for (const auto& [Options, Url] : {std::pair{TMovieOptions{}, std::string()}, std::pair{Compact, std::string()},
                                       std::pair{Loop, std::string("https://example.org/")}, std::pair{Salvage, std::string()}}) {
        SCOPED_TRACE(N);
        TConvertRequest FromFile;
        FromFile.InputPath = Sample;
        FromFile.OutputPath = D.File("m" + std::to_string(N++) + ".swf");
        FromFile.Options = Options;
        FromFile.Url = Url;
        FromFile.TempFolder = D.Path() + "/";
        TCounting Seen;
        FromFile.Observer = &Seen;
        const TConvertResult R = ConvertGif(FromFile);
        ASSERT_TRUE(R.Converted) << R.Reason;
        EXPECT_EQ(std::make_tuple(R.Width, R.Height, R.FrameCount), std::make_tuple(80, 60, 8));
        EXPECT_GT(Seen.Composed, 0);
        EXPECT_EQ(Seen.Total, 8);
        EXPECT_EQ(Seen.LastWritten, 100);
        TConvertRequest InMemory = FromFile;
        InMemory.InputPath.clear();
        InMemory.InputBytes = Gif;
        InMemory.OutputPath.clear();
        InMemory.Observer = nullptr;
        const TConvertResult M = ConvertGif(InMemory);
        ASSERT_TRUE(M.Converted) << M.Reason;
        EXPECT_EQ(M.Movie, ReadFileBytes(FromFile.OutputPath));
        EXPECT_EQ(M.FirstFrameTransparent, R.FirstFrameTransparent);
    }
    EXPECT_FALSE(fs::is_empty(D.Path()));
    for (const auto& E : fs::directory_iterator(D.Path())) EXPECT_EQ(E.path().extension(), ".swf") << E.path();
}

// A compact movie made a few frames at a time is the movie of the GIF
// decoded whole, byte for byte, with the same reason or warnings in the same
// order: every corpus GIF, the self-made ones and the sample.
TEST(ConvertCore, StreamedCompactMoviesEqualWholeLoads) {
    struct TWarnings : TConvertObserver {
        std::vector<std::string> Told;
        void Warning(const std::string& Text) override { Told.push_back(Text); }
    };
    std::vector<std::string> Files;
    for (const std::string& Name : CorpusFiles()) Files.push_back(CorpusDir() + "/gifs/" + Name);
    for (const auto& E : fs::directory_iterator(std::string(ANIVERT_SOURCE_DIR) + "/tests/e2e/selfmade"))
        if (E.path().extension() == ".gif") Files.push_back(E.path().string());
    Files.push_back(Sample);
    int Converted = 0;
    for (const std::string& File : Files) {
        SCOPED_TRACE(File);
        const Bytes Gif = ReadFileBytes(File);
        TConvertRequest Request;
        Request.InputBytes = Gif;
        Request.Options.Compact = true;
        TWarnings Streamed, Whole;
        Request.Observer = &Streamed;
        const TConvertResult S = ConvertGif(Request);
        Request.Options.StreamFrames = false;
        Request.Observer = &Whole;
        const TConvertResult W = ConvertGif(Request);
        EXPECT_EQ(S.Reason, W.Reason);
        EXPECT_EQ(Streamed.Told, Whole.Told);
        EXPECT_EQ(S.Movie, W.Movie);
        Converted += S.Converted;
    }
    EXPECT_GT(Converted, static_cast<int>(Files.size()) / 2);
}

// Failures come as reasons; a raise from the observer stops the call and
// leaves nothing behind.
TEST(ConvertCore, ReasonsAndStopping) {
    TempDir D;
    TConvertRequest R;
    R.TempFolder = D.Path() + "/";
    R.InputPath = D.File("missing.gif");
    EXPECT_EQ(ConvertGif(R).Reason, "no such file");
    const Bytes Whole = ReadFileBytes(Sample);
    const Bytes Header(Whole.begin(), Whole.begin() + 10), Cut(Whole.begin(), Whole.begin() + 200);
    R.InputPath.clear();
    R.InputBytes = Header;
    const TConvertResult Damaged = ConvertGif(R);
    EXPECT_FALSE(Damaged.Converted);
    EXPECT_EQ(Damaged.Reason, "premature end of data");
    R.InputBytes = Cut;
    R.Options.Salvage = true;
    const TConvertResult Salvaged = ConvertGif(R);
    EXPECT_TRUE(Salvaged.Converted);
    EXPECT_EQ(Salvaged.SalvagedReason, "frame 1 ends early");

    // Stopped while loading, composing and writing.
    R.InputBytes = Whole;
    R.OutputPath = D.File("out.swf");
    for (const auto Stage : {TConvertObserver::TStage::Loading, TConvertObserver::TStage::Composing,
                             TConvertObserver::TStage::Writing}) {
        TCounting Stop;
        Stop.StopIn = Stage;
        Stop.StopAt = 3;
        R.Observer = &Stop;
        EXPECT_THROW(ConvertGif(R), std::runtime_error);
        EXPECT_TRUE(fs::is_empty(D.Path())) << "a file was left";
    }
}

// The damaged self-made GIFs (tests/e2e/selfmade/make-damaged.py) salvaged
// as Chromium shows them: as many frames as its pictures beside each file
// (chrome-frames.mjs), with the reason; read without salvaging, they keep
// their frames.
TEST(ConvertCore, SalvagedAsChromiumShowsThem) {
    const std::string Dir = std::string(ANIVERT_SOURCE_DIR) + "/tests/e2e/selfmade/";
    const struct {
        const char* Name;
        const char* Reason;
        int Frames;  // read without salvaging (an empty one among them)
    } Cases[] = {{"gce-238", "graphic control extension of 238 bytes", 8},
                 {"short-frame", "frame 3 ends early", 5},
                 {"short-frame-padded", "frame 3 ends early", 5}};
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        int Chromium = 0;
        for (const auto& E : fs::directory_iterator(Dir + C.Name)) Chromium += E.path().extension() == ".png";
        TConvertRequest R;
        R.InputPath = Dir + C.Name + ".gif";
        R.Options.Salvage = true;
        const TConvertResult Salvaged = ConvertGif(R);
        EXPECT_TRUE(Salvaged.Converted) << Salvaged.Reason;
        EXPECT_EQ(Salvaged.SalvagedReason, C.Reason);
        EXPECT_EQ(Salvaged.FrameCount, Chromium);
        R.Options.Salvage = false;
        const TConvertResult Plain = ConvertGif(R);
        EXPECT_TRUE(Plain.Converted) << Plain.Reason;
        EXPECT_EQ(Plain.FrameCount, C.Frames);
        EXPECT_TRUE(Plain.SalvagedReason.empty());
    }
}

// The work budget: the larger of the floor and a number of pixels per byte
// of the GIF, unless the caller sets the budget alone; refused before the
// work, with the figures.
TEST(ConvertCore, TheBudgetGrowsWithTheGif) {
    const Bytes Gif = ReadFileBytes(Sample);
    const auto GifBytes = static_cast<std::int64_t>(Gif.size());
    for (const bool Compact : {false, true}) {
        SCOPED_TRACE(Compact);
        TConvertRequest R;
        R.InputBytes = Gif;
        R.Options.Compact = Compact;
        R.Options.MaxPixels = TMovieOptions::UnlimitedPixels;
        const std::int64_t Pixels = ConvertGif(R).Pixels;
        ASSERT_GT(Pixels, 80 * 60);
        // A floor below the movie's pixels: the GIF's size carries it.
        R.Options.MaxPixels = 1000;
        R.Options.MaxPixelsPerByte = (Pixels + GifBytes - 1) / GifBytes;
        EXPECT_EQ(R.Options.PixelBudget(GifBytes), R.Options.MaxPixelsPerByte * GifBytes);
        const TConvertResult Within = ConvertGif(R);
        EXPECT_TRUE(Within.Converted) << Within.Reason;
        EXPECT_EQ(Within.Pixels, Pixels);
        R.Options.MaxPixelsPerByte = Pixels / GifBytes - 1;
        const TConvertResult Beyond = ConvertGif(R);
        EXPECT_FALSE(Beyond.Converted);
        EXPECT_NE(Beyond.Reason.find("more than the " + std::to_string(R.Options.MaxPixelsPerByte * GifBytes) + " a movie may take"),
                  std::string::npos) << Beyond.Reason;
        // The budget alone.
        R.Options.MaxPixelsPerByte = 0;
        EXPECT_EQ(R.Options.PixelBudget(GifBytes), 1000);
        EXPECT_FALSE(ConvertGif(R).Converted);
    }
    // The default: the floor for small files, the ratio for large ones,
    // no overflow for any.
    const TMovieOptions Default;
    EXPECT_EQ(Default.PixelBudget(2300), TMovieOptions::DefaultMaxPixels);
    EXPECT_EQ(Default.PixelBudget(26'000'000), 26'000'000 * TMovieOptions::DefaultMaxPixelsPerByte);
    EXPECT_EQ(Default.PixelBudget(std::numeric_limits<std::int64_t>::max() / 2), TMovieOptions::UnlimitedPixels);
}

// Calls at once in one process, sharing a temporary folder, never meet.
TEST(ConvertCore, ManyCallsAtOnce) {
    TempDir D;
    const Bytes Gif = ReadFileBytes(Sample);
    TConvertRequest R;
    R.InputBytes = Gif;
    R.TempFolder = D.Path() + "/";
    const Bytes Alone = ConvertGif(R).Movie;
    std::vector<Bytes> Movies(8);
    std::vector<std::thread> Threads;
    for (std::size_t I = 0; I < Movies.size(); ++I)
        Threads.emplace_back([&, I] { Movies[I] = ConvertGif(R).Movie; });
    for (std::thread& T : Threads) T.join();
    for (const Bytes& M : Movies) EXPECT_EQ(M, Alone);
    EXPECT_TRUE(fs::is_empty(D.Path()));
}
