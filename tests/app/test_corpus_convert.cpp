// Every GIF of the shared corpus through the whole converter, as a default
// and as a compact movie that loops as the GIF says: each converts (or
// fails to load where the decoder refuses it), leaves no temporary file,
// and its movie shows, frame by frame, what the GIF rules show. The compact
// movie stops where Chromium stops the animation.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "AppTestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace fs = std::filesystem;

namespace {

using TParam = std::tuple<std::string, bool>;

std::string TestName(const testing::TestParamInfo<TParam>& Info) {
    const std::string& File = std::get<0>(Info.param);
    std::string N = File.substr(0, File.size() - 4);
    for (char& C : N)
        if (!std::isalnum(static_cast<unsigned char>(C))) C = '_';
    return N + (std::get<1>(Info.param) ? "_compact" : "");
}

class CorpusConversion : public testing::TestWithParam<TParam> {};

// Chromium's readings of the corpus files, by file stem.
const Json& References() {
    static const Json R = [] {
        std::ifstream F(CorpusDir() + "/ref/refs.json");
        std::stringstream S;
        S << F.rdbuf();
        return ParseJson(S.str());
    }();
    return R;
}

}  // namespace

TEST_P(CorpusConversion, MovieShowsWhatTheGifShows) {
    const auto& [Name, Compact] = GetParam();
    const std::string Gif = CorpusDir() + "/gifs/" + Name;
    TGIFImage Probe;
    bool Loads = true;
    try {
        Probe.LoadFile(Gif);
    } catch (const std::exception&) {
        Loads = false;
    }
    TWindowFixture W;
    W.Form->OutputFolder = W.Platform.Folder("out");
    W.Form->RBSingle.SetChecked(false);
    W.Form->RBFolder.SetChecked(true);
    W.Form->Options.Compact = Compact;
    W.Form->Options.LoopAsGif = Compact;
    const bool Converted = W.Form->ConvertNow(Gif, "");
    EXPECT_TRUE(W.Platform.TempFiles().empty());
    const std::string Swf = W.Platform.Folder("out") + ChangeFileExt(Name, ".swf");
    if (!Loads) {
        EXPECT_FALSE(Converted);
        EXPECT_FALSE(fs::exists(Swf));
        return;
    }
    ASSERT_TRUE(Converted);
    const std::vector<std::string> Problems = CheckMovieAgainstGif(Gif, Swf);
    for (std::size_t I = 0; I < Problems.size() && I < 5; ++I) ADD_FAILURE() << Problems[I];
    // An animation Chromium plays once stops at once on the last frame; one
    // it repeats N times counts to N + 1 passes; one it repeats for ever,
    // and every still image, has no actions.
    const Json& Meta = References()[Name.substr(0, Name.size() - 4)]["chrome_meta"];
    const Json& Repeats = Meta["repetitionCount"];
    const std::vector<std::uint8_t> Actions = TMovieRenderer(Swf).Movie.LastFrameActions;
    if (!Compact || Meta["frameCount"].Int() <= 1 || Repeats.K == Json::String) {
        EXPECT_TRUE(Actions.empty());
    } else if (Repeats.Int() == 0) {
        EXPECT_EQ(Actions, B({0x07, 0x00}));
    } else {
        // The counter's last comparison: Push the passes, Less, If over the
        // Stop, Stop, the end.
        const int Passes = Repeats.Int() + 1;
        const Bytes Test = B({0x96, 0x05, 0x00, 0x07, Passes & 0xFF, Passes >> 8 & 0xFF, Passes >> 16, 0x00, 0x0F,
                              0x9D, 0x02, 0x00, 0x01, 0x00, 0x07, 0x00});
        ASSERT_GT(Actions.size(), Test.size());
        EXPECT_EQ(Bytes(Actions.end() - 16, Actions.end()), Test);
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusConversion, testing::Combine(testing::ValuesIn(CorpusFiles()), testing::Bool()),
                         TestName);
