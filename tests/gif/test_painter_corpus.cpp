// Every corpus GIF played by a painter on a virtual clock: the canvas after
// each frame against Chromium's pictures, composed over the canvas the
// painter started from.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "GIFTestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace {

namespace fs = std::filesystem;

// What the canvas shows before painting: where Chromium's picture is
// transparent, the painter's must show it (the frames are drawn through
// their masks, and disposal 2 restores what was under the picture).
constexpr TColor Under = 0x3CA55A;

// Files whose frames the painter draws by a rule of the frame pictures
// that Chromium does not follow.
const std::map<std::string, std::string> PainterExclusions = {
    {"wuffs_empty-palette.gif",
     "the second frame has no colour map and the image no global one: its picture takes the image's palette, "
     "which is then the first frame's local map; Chromium draws black"},
};

class PainterCorpus : public testing::TestWithParam<std::string> {};

std::string TestName(const testing::TestParamInfo<std::string>& Info) {
    std::string S = Info.param.substr(0, Info.param.size() - 4);
    for (char& C : S)
        if (!std::isalnum(static_cast<unsigned char>(C))) C = '_';
    return S;
}

}  // namespace

TEST_P(PainterCorpus, CanvasAfterEveryFrameMatchesChromium) {
    const std::string Name = GetParam();
    const std::string Dir = CorpusDir() + "/ref/" + Name.substr(0, Name.size() - 4) + "/chrome";
    std::set<int> Stored;
    std::error_code EC;
    for (const auto& E : fs::directory_iterator(Dir, EC)) {
        const std::string File = E.path().filename().string();
        if (File != "img-000.png") Stored.insert(std::stoi(File.substr(0, 3)));
    }
    if (Stored.empty()) GTEST_SKIP() << "Chromium's decoder gives no frame";
    if (CorpusNotLoading().count(Name)) GTEST_SKIP() << CorpusNotLoading().at(Name);
    if (ChromiumExclusions().count(Name)) GTEST_SKIP() << ChromiumExclusions().at(Name);
    if (PainterExclusions.count(Name)) GTEST_SKIP() << PainterExclusions.at(Name);

    TGIFImage Image;
    ASSERT_EQ(LoadGif(Image, ReadFileBytes(CorpusDir() + "/gifs/" + Name)).Error, "");
    // Chromium numbers the frames that have pixels. A frame without pixels
    // ends the painter's pass (the frames after it are not shown until the
    // next pass starts at the first frame): no corpus file has one before a
    // frame with pixels, which this checks.
    std::vector<int> Shown(static_cast<std::size_t>(Image.Images.Count()), -1);
    int Pictures = 0;
    bool EmptyMet = false;
    for (int I = 0; I < Image.Images.Count(); ++I) {
        if (Image.Images[I].Empty()) {
            EmptyMet = true;
        } else {
            ASSERT_FALSE(EmptyMet) << "frame " << I << " follows a frame without pixels";
            Shown[static_cast<std::size_t>(I)] = Pictures++;
        }
    }

    TGIFVirtualClock Clock;
    Image.SetScheduler(&Clock);
    TGIFCanvas Canvas(Image.Width(), Image.Height(), Under);
    const std::uint32_t UnderWord = GIFColorToPixel(Under);
    int Painted = 0;
    Image.OnFrameShown = [&](TGIFPainter& P) {
        const int K = Shown.at(static_cast<std::size_t>(P.CurrentFrame()));
        ASSERT_EQ(K, Painted++);
        if (!Stored.count(K)) return;
        SCOPED_TRACE("frame " + std::to_string(K));
        RGBAImage Ref;
        char File[16];
        std::snprintf(File, sizeof File, "/%03d.png", K);
        ASSERT_TRUE(ReadPNG(Dir + File, Ref));
        ASSERT_EQ(Ref.Width, Canvas.Width());
        ASSERT_EQ(Ref.Height, Canvas.Height());
        std::size_t Differ = 0, First = 0;
        for (int Y = 0; Y < Ref.Height; ++Y) {
            const std::uint32_t* Row = Canvas.ScanLine(Y);
            for (int X = 0; X < Ref.Width; ++X) {
                const std::uint8_t* R = &Ref.Pixels[(static_cast<std::size_t>(Y) * Ref.Width + X) * 4];
                const std::uint32_t Want =
                    R[3] == 0 ? UnderWord
                              : 0xFF000000u | (std::uint32_t(R[0]) << 16) | (std::uint32_t(R[1]) << 8) | R[2];
                if (Row[X] != Want && Differ++ == 0) First = static_cast<std::size_t>(Y) * Ref.Width + X;
            }
        }
        EXPECT_EQ(Differ, 0u) << "first at (" << First % Ref.Width << ", " << First / Ref.Width << ")";
    };
    // One pass: the loop bit is cleared. An image of one frame is painted
    // at once.
    const auto Painter =
        Image.StartPainter(Canvas, Canvas.BoundsRect(), static_cast<std::uint16_t>(Image.PaintOptions & ~poLoop));
    ASSERT_EQ(Painter == nullptr, Image.Images.Count() == 1);
    if (Painter) {
        Painter->Resume();
        EXPECT_TRUE(Clock.RunUntilIdle(std::int64_t(1) << 40));
        EXPECT_TRUE(Painter->Finished());
        EXPECT_EQ(Painter->Exception(), nullptr);
    }
    EXPECT_EQ(Painted, Pictures);
    EXPECT_TRUE(Image.Painters().empty());
}

INSTANTIATE_TEST_SUITE_P(Files, PainterCorpus, testing::ValuesIn(CorpusFiles()), TestName);
