// Every GIF of the shared corpus through the whole converter, as a default
// movie and as a compact one that salvages damaged files and loops as the
// GIF says: each converts (or fails to load where the decoder refuses it),
// leaves no temporary file, and its movie shows, frame by frame, what the
// GIF rules show. A salvaged movie has the frames Chromium shows, and the
// compact movie stops where Chromium stops the animation.
#include <gtest/gtest.h>

#include <filesystem>

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
        const Bytes Text = ReadFileBytes(CorpusDir() + "/ref/refs.json");
        return ParseJson(std::string(Text.begin(), Text.end()));
    }();
    return R;
}

}  // namespace

TEST_P(CorpusConversion, MovieShowsWhatTheGifShows) {
    const auto& [Name, Compact] = GetParam();
    const std::string Gif = CorpusDir() + "/gifs/" + Name;
    TGIFImage Probe;
    Probe.Salvage = Compact;
    bool Loads = true;
    try {
        Probe.LoadFile(Gif);
    } catch (const std::exception&) {
        Loads = false;
    }
    // What a salvaging read kept is a movie if it holds a frame.
    if (!Probe.SalvagedReason.empty() && Probe.Images.Count() == 0) Loads = false;
    TWindowFixture W;
    W.Form->OutputFolder = W.Platform.Folder("out");
    W.Form->RBSingle.SetChecked(false);
    W.Form->RBFolder.SetChecked(true);
    W.Form->Options.Compact = Compact;
    W.Form->Options.LoopAsGif = Compact;
    W.Form->Options.Salvage = Compact;
    const bool Converted = W.Form->ConvertNow(Gif, "");
    EXPECT_TRUE(W.Platform.TempFiles().empty());
    const std::string Swf = W.Platform.Folder("out") + ChangeFileExt(Name, ".swf");
    if (!Loads) {
        EXPECT_FALSE(Converted);
        EXPECT_FALSE(fs::exists(Swf));
        return;
    }
    ASSERT_TRUE(Converted);
    const std::vector<std::string> Problems = CheckMovieAgainstGif(Gif, Swf, Compact);
    for (std::size_t I = 0; I < Problems.size() && I < 5; ++I) ADD_FAILURE() << Problems[I];
    const Json& Ref = References()[Name.substr(0, Name.size() - 4)];
    if (!Probe.SalvagedReason.empty() && Ref["chrome"]["frames"].Int() > 0) {
        int Shown = 0;
        for (const auto& F : Probe.Images) Shown += F->Empty() ? 0 : 1;
        EXPECT_EQ(Shown, Ref["chrome"]["frames"].Int()) << Probe.SalvagedReason;
    }
    // The compact movie ends in a Stop where Chromium stops the animation.
    const Json& Meta = Ref["chrome_meta"];
    const bool Stops = Compact && Meta["frameCount"].Int() > 1 && Meta["repetitionCount"].K == Json::Number;
    const std::vector<std::uint8_t> Actions = TMovieRenderer(Swf).Movie.LastFrameActions;
    EXPECT_EQ(Actions.size() >= 2 && Actions.end()[-2] == 0x07, Stops);
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusConversion, testing::Combine(testing::ValuesIn(CorpusFiles()), testing::Bool()),
                         TestName);
