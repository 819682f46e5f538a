// The conversion core as other programs call it: files or bytes in and out,
// what it reports, stopping it, and many calls at once.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <thread>

#include "Convert.h"
#include "TestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace fs = std::filesystem;

namespace {

const std::string Sample = std::string(ANIVERT_SOURCE_DIR) + "/samples/sample.gif";

// Counts what it hears; raises at frame StopAt of stage StopIn.
struct TCounting : TConvertObserver {
    int Loaded = 0, Composed = 0, Total = 0;
    TStage StopIn = TStage::Loading;
    int StopAt = -1;
    void Progress(TStage Stage, int Done, int Of) override {
        if (Stage == TStage::Loading) {
            ++Loaded;
        } else {
            ++Composed;
            Total = Of;
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

    // Stopped while loading and while composing.
    R.InputBytes = Whole;
    R.OutputPath = D.File("out.swf");
    for (const auto Stage : {TConvertObserver::TStage::Loading, TConvertObserver::TStage::Composing}) {
        TCounting Stop;
        Stop.StopIn = Stage;
        Stop.StopAt = 3;
        R.Observer = &Stop;
        EXPECT_THROW(ConvertGif(R), std::runtime_error);
        EXPECT_TRUE(fs::is_empty(D.Path())) << "a file was left";
    }
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
