// Saving the GIFs of the shared corpus again with both encoders: our
// decoder and giflib read each saved file as the image that was saved, and
// ImageMagick reads it without a word. Merged, optimised and saved, a GIF
// still shows the same animation.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "GIFRoundTrip.h"
#include "GIFTestUtil.h"
#include "GIFTimeline.h"

using namespace anivert;
using namespace anivert::test;

namespace {

// Files that load but cannot be saved, with the reason.
const std::map<std::string, std::string> NotSaved = {
    {"nsgif_afl-000032.gif", "unsupported GIF version"},
    {"pygif_max-size.gif", "unsupported GIF version"},
    {"pygif_no-data.gif", "unsupported GIF version"},
    {"pygif_zero-size.gif", "unsupported GIF version"},
    {"wuffs_no-frames.gif", "unsupported GIF version"},
    // Indices past the colours of their frame.
    {"pygif_invalid-colors.gif", "colour not in colour table"},
    {"pygif_invalid-code.gif", "colour not in colour table"},
};

// Files ImageMagick does not read, saved or not, with the reason.
const std::map<std::string, std::string> ImageMagickRefuses = {
    {"imggif_issue-96-small-codesize-2.gif", "a frame 64311 pixels wide: past ImageMagick's resource limits"},
    {"pygif_max-height.gif", "65535 rows: past ImageMagick's height limit"},
    {"nsgif_afl-000045.gif", "no image, only a graphic control extension: ImageMagick wants one"},
};

// Files giflib does not read, saved or not, with the reason.
const std::map<std::string, std::string> GiflibRefuses = {
    {"pillow_hopper_zero_comment_subblocks.gif",
     "a comment extension without sub-blocks: giflib reads the next block's introducer as a sub-block"},
    {"nsgif_afl-000045.gif", "no image, only a graphic control extension: giflib wants one"},
};

std::string TestName(const testing::TestParamInfo<std::string>& Info) {
    std::string S = Info.param.substr(0, Info.param.size() - 4);
    for (char& C : S)
        if (!std::isalnum(static_cast<unsigned char>(C))) C = '_';
    return S;
}

class SaveCorpus : public testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(SaveCorpus, ReadsBackAsSavedByUsGiflibAndImageMagick) {
    const std::string Name = GetParam();
    TGIFImage Image;
    const LoadResult Loaded = LoadGif(Image, ReadFileBytes(CorpusDir() + "/gifs/" + Name));
    if (!Loaded.Error.empty()) GTEST_SKIP() << "does not load: " << Loaded.Error;
    TempDir Dir;
    for (std::uint8_t Compression : {std::uint8_t(gcLZW), std::uint8_t(gcRLE)}) {
        SCOPED_TRACE(Compression == gcRLE ? "run-length encoder" : "LZW encoder");
        Bytes Saved;
        try {
            Saved = SaveGif(Image, Compression);
        } catch (const GIFException& E) {
            EXPECT_EQ(E.what(), NotSaved.count(Name) ? NotSaved.at(Name) : "") << "saving fails";
            continue;
        }
        EXPECT_EQ(NotSaved.count(Name), 0u) << "saved";
        TGIFImage Again;
        const LoadResult R = LoadGif(Again, Saved);
        EXPECT_EQ(R.Error, "");
        EXPECT_TRUE(R.Warnings.empty()) << R.Warnings.front();
        EXPECT_EQ(CompareSaved(Image, Again), "");
        // What was read from a saved file saves to the same bytes.
        EXPECT_TRUE(SaveGif(Again, Compression) == Saved);

        GiflibFile G(Saved);
        if (GiflibRefuses.count(Name)) {
            EXPECT_EQ(G.Gif(), nullptr) << GiflibRefuses.at(Name);
        } else if (!G.Gif()) {
            ADD_FAILURE() << "giflib: " << G.Error;
        } else {
            EXPECT_EQ(CompareWithGiflib(Image, G.Gif()), "");
        }
        const std::string File = Dir.File(Compression == gcRLE ? "rle.gif" : "lzw.gif");
        WriteFileBytes(File, Saved);
        if (ImageMagickRefuses.count(Name)) continue;
        ASSERT_TRUE(Installed("identify", "imagemagick"));
        // One line per frame from identify, nothing from convert.
        std::string Out;
        EXPECT_EQ(RunCommand("{ identify -format '%p\\n' '" + File + "' && convert '" + File + "' null:; }", &Out), 0);
        std::string Expected;
        for (std::size_t I = 0; I < PixelFrames(Image).size(); ++I) Expected += std::to_string(I) + "\n";
        EXPECT_EQ(Out, Expected);
    }
}

namespace {

// The colours the frames show fit one map (transparency taking an entry).
bool ColorsFit(const TGIFImage& Image) {
    std::set<TColor> Colors;
    bool Transparent = false;
    for (const TGIFSubImage* F : PixelFrames(Image)) {
        bool Used[256] = {};
        for (std::uint8_t P : F->PixelData) Used[P] = true;
        const int T = F->Transparent && F->GraphicControlExtension ? F->GraphicControlExtension->TransparentColorIndex()
                                                                  : -1;
        const TGIFColorMap& M = F->UsedColorMap();
        for (int I = 0; I < 256; ++I) {
            if (!Used[I]) continue;
            if (I == T)
                Transparent = true;
            else
                Colors.insert(I < M.Count() ? GIFColorToColor(M.Entries()[I]) : 0);
        }
    }
    return Colors.size() <= (Transparent ? 255u : 256u);
}

}  // namespace

TEST_P(SaveCorpus, MergedOptimisedAndSavedShowsTheSameAnimation) {
    const std::string Name = GetParam();
    TGIFImage Image;
    const Bytes Original = ReadFileBytes(CorpusDir() + "/gifs/" + Name);
    const LoadResult Loaded = LoadGif(Image, Original);
    if (!Loaded.Error.empty() || PixelFrames(Image).empty()) GTEST_SKIP() << "no frame to show";
    const TRect Area = CoveredArea(Image);
    const std::vector<TimelinePicture> Before = Timeline(Image, Area);
    TGIFImage Work;
    Work.CopyFrom(Image);
    Work.OptimizeColorMaps();
    Work.Optimize(31, 0, 0, 8);
    const std::vector<TimelinePicture> Optimised = Timeline(Work, Area);
    // Where the colours fit one map the optimised image shows what the
    // original shows (the optimiser's own tests check this too).
    const bool Fit = ColorsFit(Image);
    if (Fit) {
        EXPECT_EQ(CompareTimelines(Before, Optimised), "");
    }
    RecordProperty("colours_fit", Fit ? "yes" : "no");
    for (std::uint8_t Compression : {std::uint8_t(gcLZW), std::uint8_t(gcRLE)}) {
        SCOPED_TRACE(Compression == gcRLE ? "run-length encoder" : "LZW encoder");
        const Bytes Saved = SaveGif(Work, Compression);
        TGIFImage Again;
        EXPECT_EQ(LoadGif(Again, Saved).Error, "");
        EXPECT_EQ(CompareTimelines(Optimised, Timeline(Again, Area)), "");
        RecordProperty(Compression == gcRLE ? "rle_bytes" : "lzw_bytes", static_cast<int>(Saved.size()));
    }
    RecordProperty("original_bytes", static_cast<int>(Original.size()));
}

INSTANTIATE_TEST_SUITE_P(Files, SaveCorpus, testing::ValuesIn(CorpusFiles()), TestName);
