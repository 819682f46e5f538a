// gifdump, and the inputs the fuzzer once found.
#include <gtest/gtest.h>

#include <filesystem>

#include "GIFTestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace {

std::string GifDump() { return std::string(ANIVERT_TOOLS_DIR) + "/gifdump"; }

}  // namespace

TEST(GifDump, ListsScreenFramesExtensionsAndWarnings) {
    GifBuilder G;
    G.Header(5, 4, {0x000000, 0xFFFFFF}, "GIF89a", 1);
    G.Comment("hi \"you\"\n");
    G.Loop(0);
    G.GCE(0x09, 50, 1);
    G.Frame(1, 2, 2, 1, {0, 1}, {0x0000FF, 0x00FF00, 0xFF0000}, true, 2);
    G.Raw({0x99});
    TempDir Dir;
    WriteFileBytes(Dir.File("a.gif"), G.Data);
    std::string Out;
    EXPECT_EQ(RunCommand(GifDump() + " " + Dir.File("a.gif"), &Out), 0);
    EXPECT_EQ(Out,
              "screen: 5x4, version \"89a\", global colour map 2, background index 1, aspect 0\n"
              "frame 0: bounds 1,2 2x1, local map 4, interlace yes, delay 50, disposal 2, transparent index 1\n"
              "    extension: comment \"hi \\\"you\\\"\\x0A\"\n"
              "    extension: loop \"NETSCAPE2.0\" (count 0)\n"
              "    extension: graphic control (delay 50, disposal 2, transparent yes, index 1, user input no)\n"
              "1 frames\n"
              "warning: unknown GIF block type\n"
              "warning: invalid image trailer\n");
    // Extensions before the trailer make an empty frame; a frame without a
    // graphic control extension has no delay, disposal or transparency.
    GifBuilder E;
    E.Header(2, 2, {});
    E.Frame(0, 0, 2, 2, {0, 1, 1, 0}, {}, false, 2);
    E.Comment("x");
    E.Trailer();
    WriteFileBytes(Dir.File("e.gif"), E.Data);
    EXPECT_EQ(RunCommand(GifDump() + " " + Dir.File("e.gif"), &Out), 0);
    EXPECT_NE(Out.find("frame 0: bounds 0,0 2x2, local map none, interlace no, delay none, disposal none, "
                       "transparent no\n"
                       "frame 1: empty, bounds 0,0 0x0, local map none"),
              std::string::npos)
        << Out;
}

TEST(GifDump, ExitStatusTellsWhetherTheFileLoads) {
    TempDir Dir;
    GifBuilder G;
    G.Header(2, 2, {0x000000, 0xFFFFFF});
    G.Frame(0, 0, 1, 1, {1}, {}, false, 2);
    G.Raw({0x21, 0x33, 0});
    WriteFileBytes(Dir.File("bad.gif"), G.Data);
    std::string Out;
    EXPECT_EQ(RunCommand(GifDump() + " " + Dir.File("bad.gif"), &Out), 1);
    EXPECT_NE(Out.find("frame 0: bounds 0,0 1x1"), std::string::npos) << Out;
    EXPECT_NE(Out.find("bad.gif: unknown extension type"), std::string::npos) << Out;
    EXPECT_EQ(RunCommand(GifDump() + " " + Dir.File("none.gif"), &Out), 1);
    EXPECT_NE(Out.find("Cannot open file"), std::string::npos) << Out;
    WriteFileBytes(Dir.File("text.gif"), B({'h', 'e', 'l', 'l', 'o', '!', '!', '!', '!', '!', '!', '!'}));
    EXPECT_EQ(RunCommand(GifDump() + " " + Dir.File("text.gif"), &Out), 1);
    EXPECT_EQ(Out, "gifdump: " + Dir.File("text.gif") + ": invalid GIF signature\n");
    EXPECT_EQ(RunCommand(GifDump(), &Out), 2);
    EXPECT_EQ(RunCommand(GifDump() + " --help", &Out), 0);
    EXPECT_NE(Out.find("Usage: gifdump"), std::string::npos);
}

TEST(GifDump, OptimizeMergesTheMapsAndOptimisesBeforePrinting) {
    // The second frame repeats three of the first one's pixels; it keeps
    // the fourth, cropped; the comment goes.
    GifBuilder G;
    G.Header(2, 2, {0x0000FF, 0x00FF00});
    G.Comment("gone");
    G.Frame(0, 0, 2, 2, {0, 1, 1, 0}, {}, false, 2);
    G.GCE(0x04, 10, 0);
    G.Frame(0, 0, 2, 2, {0, 1, 0, 0}, {0x0000FF, 0x00FF00, 0xFF0000, 0}, false, 2);
    G.Trailer();
    TempDir Dir;
    WriteFileBytes(Dir.File("a.gif"), G.Data);
    std::string Out;
    EXPECT_EQ(RunCommand(GifDump() + " --optimize 31 " + Dir.File("a.gif"), &Out), 0);
    EXPECT_EQ(Out,
              "screen: 2x2, version \"89a\", global colour map 3, background index 0, aspect 0\n"
              "frame 0: bounds 0,0 2x2, local map none, interlace no, delay none, disposal none, transparent no\n"
              "frame 1: bounds 0,1 1x1, local map none, interlace no, delay 10, disposal 1, transparent index 2\n"
              "    extension: graphic control (delay 10, disposal 1, transparent yes, index 2, user input no)\n"
              "2 frames\n");
    for (const char* Bad : {" --optimize", " --optimize 256", " --optimize x"}) {
        EXPECT_EQ(RunCommand(GifDump() + Bad + " " + Dir.File("a.gif"), &Out), 2) << Bad;
    }
    EXPECT_EQ(RunCommand(GifDump() + " --help", &Out), 0);
    EXPECT_NE(Out.find("--optimize N"), std::string::npos);
}

TEST(GIFFuzzRegressions, EveryFoundInputLoadsOrFailsCleanly) {
    const std::string Dir = std::string(ANIVERT_TEST_DATA) + "/gif-fuzz";
    int Count = 0;
    for (const auto& E : std::filesystem::directory_iterator(Dir)) {
        if (E.path().filename() == "README") continue;
        SCOPED_TRACE(E.path().string());
        ++Count;
        TGIFImage Image;
        const LoadResult R = LoadGif(Image, ReadFileBytes(E.path().string()));
        if (!R.Error.empty()) {
            EXPECT_EQ(R.EndPosition, 0);
        }
        for (std::uint16_t Options : {std::uint16_t(0x060F), std::uint16_t(0x0200)}) {
            Image.PaintOptions = Options;
            Image.GlobalColorMapChanged();
            for (const auto& F : Image.Images) {
                F->LocalColorMapChanged();
                F->FreeBitmap();
                if (!F->Empty()) {
                    EXPECT_NE(F->Bitmap(), nullptr);
                }
                F->MaskAvailable();
            }
        }
    }
    RecordProperty("inputs", Count);
}
