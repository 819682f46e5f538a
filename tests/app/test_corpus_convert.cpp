// Every GIF of the shared corpus through the whole converter: each converts
// (or fails to load where the decoder refuses it), leaves no temporary file,
// and its movie shows, frame by frame, what the GIF rules show.
#include <gtest/gtest.h>

#include <filesystem>

#include "AppTestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace fs = std::filesystem;

namespace {

std::string TestName(const testing::TestParamInfo<std::string>& Info) {
    std::string N = Info.param.substr(0, Info.param.size() - 4);
    for (char& C : N)
        if (!std::isalnum(static_cast<unsigned char>(C))) C = '_';
    return N;
}

class CorpusConversion : public testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(CorpusConversion, MovieShowsWhatTheGifShows) {
    const std::string Gif = CorpusDir() + "/gifs/" + GetParam();
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
    const bool Converted = W.Form->ConvertNow(Gif, "");
    EXPECT_TRUE(W.Platform.TempFiles().empty());
    const std::string Swf = W.Platform.Folder("out") + ChangeFileExt(GetParam(), ".swf");
    if (!Loads) {
        EXPECT_FALSE(Converted);
        EXPECT_FALSE(fs::exists(Swf));
        return;
    }
    ASSERT_TRUE(Converted);
    const std::vector<std::string> Problems = CheckMovieAgainstGif(Gif, Swf);
    for (std::size_t I = 0; I < Problems.size() && I < 5; ++I) ADD_FAILURE() << Problems[I];
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusConversion, testing::ValuesIn(CorpusFiles()), TestName);
