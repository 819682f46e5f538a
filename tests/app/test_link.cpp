// The link of a converted movie: a button over the whole stage that opens
// the typed URL in a new window.
#include <gtest/gtest.h>

#include <filesystem>

#include "AppTestUtil.h"
#include "SWFStreams.h"

using namespace anivert;
using namespace anivert::test;

namespace fs = std::filesystem;

namespace {

// A window in single mode writing into "out", with a GIF of three frames.
struct TLinkJob : TWindowFixture {
    std::string Out, Gif;
    TLinkJob() {
        Out = Platform.Folder("out");
        Form->OutputFolder = Out;
        Form->RBSingle.SetChecked(true);
        Form->RBFolder.SetChecked(false);
        Form->RBSingleClick();
        Gif = PutFile("gifs", "a.gif",
                      MakeGif(8, 6, {{0, 0, 8, 6, 10, 1}, {2, 2, 3, 3, 20, 2, false, true, 2},
                                     {4, 1, 3, 3, 20, 3, true, true, 3}}));
        ShowFolder("gifs");
        SelectFile(0);
    }
    // Converts with the URL edit holding Url; the movie read back.
    TSWFFileReader Convert(const std::string& Url) {
        Form->EURL.SetText(Url);
        EXPECT_TRUE(Form->ConvertNow(Gif, ""));
        TSWFFileReader R;
        R.LoadFile(Out + "a.swf");
        return R;
    }
};

const TSWFDefineButton2* FindButton(const TSWFFileReader& R) {
    for (const auto& T : R.Tags)
        if (auto* B = dynamic_cast<const TSWFDefineButton2*>(T.Tag.get())) return B;
    return nullptr;
}

int FirstBitmapId(const TSWFFileReader& R) {
    for (const auto& T : R.Tags)
        if (auto* L = dynamic_cast<const TSWFDefineBitsLossless*>(T.Tag.get())) return L->CharacterID;
    return -1;
}

}  // namespace

TEST(MovieLink, AButtonOverTheStageOpensTheURL) {
    TLinkJob J;
    const std::string Url = "https://example.org/a b?q=1&r=\xC3\xA9";
    const TSWFFileReader R = J.Convert(Url);
    ASSERT_GE(R.Tags.size(), 4u);
    // The button (id 1), then its shape (id 2), then its placement at depth
    // 2 x 3 frames, all before the first frame's bitmap.
    const auto* Button = dynamic_cast<const TSWFDefineButton2*>(R.Tags[0].Tag.get());
    ASSERT_NE(Button, nullptr);
    EXPECT_EQ(Button->ButtonId, 1);
    EXPECT_FALSE(Button->TrackAsMenu);
    ASSERT_EQ(Button->ButtonRecords.size(), 3u);
    const std::uint8_t States[] = {bsUp | bsHitTest, bsOver | bsHitTest, bsDown | bsHitTest};
    for (std::size_t I = 0; I < 3; ++I) {
        EXPECT_EQ(Button->ButtonRecords[I]->CharacterID, 2);
        EXPECT_EQ(Button->ButtonRecords[I]->Depth, 1);
        EXPECT_EQ(Button->ButtonRecords[I]->ButtonState, States[I]);
    }
    ASSERT_EQ(Button->Actions.size(), 1u);
    const TSWFButtonCondAction& Release = *Button->Actions[0];
    EXPECT_EQ(Release.Conditions, 0x0008);
    ASSERT_EQ(Release.Count(), 1u);
    const auto* GetUrl = dynamic_cast<const TSWFActionGetUrl*>(&Release[0]);
    ASSERT_NE(GetUrl, nullptr);
    EXPECT_EQ(GetUrl->URL, Url) << "the URL goes in unchanged";
    EXPECT_EQ(GetUrl->Target, "_blank");

    const auto* Shape = dynamic_cast<const TSWFDefineShape*>(R.Tags[1].Tag.get());
    ASSERT_NE(Shape, nullptr);
    EXPECT_EQ(R.Tags[1].TagID, tagDefineShape3);
    EXPECT_EQ(Shape->ShapeId, 2);
    // Every pixel of the stage is clickable, the last row and column too.
    EXPECT_EQ(Shape->ShapeBounds->GetRect(), (TRect{0, 0, 8 * 20, 6 * 20}));
    ASSERT_EQ(Shape->FillStyles.size(), 1u);
    const auto* Fill = dynamic_cast<const TSWFColorFill*>(Shape->FillStyles[0].get());
    ASSERT_NE(Fill, nullptr);
    EXPECT_EQ(Fill->Color->A, 0);

    const auto* Place = dynamic_cast<const TSWFPlaceObject2*>(R.Tags[2].Tag.get());
    ASSERT_NE(Place, nullptr);
    EXPECT_EQ(Place->Depth, 6);
    EXPECT_EQ(Place->CharacterID, 1);
    EXPECT_EQ(Place->MatrixOrNull(), nullptr) << "no translation is set";
    EXPECT_EQ(FirstBitmapId(R), 3);
    // The frames still play as the GIF does, beneath the button.
    const auto Problems = CheckMovieAgainstGif(J.Gif, J.Out + "a.swf");
    EXPECT_TRUE(Problems.empty()) << Problems.front();
}

TEST(MovieLink, OnlyARealURLInSingleModeMakesALink) {
    TLinkJob J;
    // The default text, or nothing: no button, the first image gets id 1.
    for (const char* Text : {"http://", ""}) {
        const TSWFFileReader R = J.Convert(Text);
        EXPECT_EQ(FindButton(R), nullptr) << Text;
        EXPECT_EQ(FirstBitmapId(R), 1) << Text;
    }
    // The default text in capitals and a bare host name count as URLs.
    for (const char* Text : {"HTTP://", "example.org"}) {
        const TSWFFileReader R = J.Convert(Text);
        ASSERT_NE(FindButton(R), nullptr) << Text;
        EXPECT_EQ(FirstBitmapId(R), 3) << Text;
    }
    // Folder mode disables the edit: no link whatever it holds.
    J.Form->RBSingle.SetChecked(false);
    J.Form->RBFolder.SetChecked(true);
    J.Form->RBSingleClick();
    const TSWFFileReader R = J.Convert("https://example.org/");
    EXPECT_EQ(FindButton(R), nullptr);
}

TEST(MovieLink, TheCommandLineTool) {
    TempDir D;
    WriteFileBytes(D.File("a.gif"), MakeGif(4, 4, {{0, 0, 4, 4}, {1, 1, 2, 2, 10, 1, false, true, 2}}));
    std::string Out;
    ASSERT_EQ(RunCommand(std::string(ANIVERT_CLI_PATH) + " -q --url http://example.org/x " + D.File("a.gif"), &Out), 0)
        << Out;
    TSWFFileReader R;
    R.LoadFile(D.File("a.swf"));
    const TSWFDefineButton2* Button = FindButton(R);
    ASSERT_NE(Button, nullptr);
    EXPECT_EQ(static_cast<const TSWFActionGetUrl&>((*Button->Actions[0])[0]).URL, "http://example.org/x");
    // Without --url no link.
    ASSERT_EQ(RunCommand(std::string(ANIVERT_CLI_PATH) + " -q " + D.File("a.gif"), &Out), 0);
    R.LoadFile(D.File("a.swf"));
    EXPECT_EQ(FindButton(R), nullptr);
}
