#include <gtest/gtest.h>

#include <filesystem>

#include "AppTestUtil.h"
#include "FrameComposition.h"
#include "SWFStreams.h"

using namespace anivert;
using namespace anivert::test;

namespace fs = std::filesystem;

namespace {

// A window in folder mode (no dialogs) writing into "out".
struct TJob : TWindowFixture {
    std::string Out;
    explicit TJob(bool Single = false) {
        Out = Platform.Folder("out");
        Form->OutputFolder = Out;
        Form->RBSingle.SetChecked(Single);
        Form->RBFolder.SetChecked(!Single);
    }
    // Converts a GIF made of frames; answers the movie's path.
    std::string Convert(const Bytes& Gif, const std::string& Name = "t.gif") {
        const std::string Path = PutFile("gifs", Name, Gif);
        EXPECT_TRUE(Form->ConvertNow(Path, ""));
        EXPECT_TRUE(Platform.TempFiles().empty());
        return Out + ChangeFileExt(Name, ".swf");
    }
};

std::vector<std::uint16_t> Codes(const std::string& Swf) {
    TSWFFileReader R;
    R.LoadFile(Swf);
    std::vector<std::uint16_t> C;
    for (const auto& T : R.Tags) C.push_back(T.TagID);
    return C;
}

int CountOf(const std::vector<std::uint16_t>& C, std::uint16_t Code) {
    return static_cast<int>(std::count(C.begin(), C.end(), Code));
}

std::vector<TFrameSpec> FullFrames(int N, int W, int H) {
    std::vector<TFrameSpec> F;
    for (int I = 0; I < N; ++I) F.push_back({0, 0, W, H, 10, 1, false, true, static_cast<std::uint8_t>(I % 3)});
    return F;
}

}  // namespace

TEST(ConvertJob, OutputFolderAndNames) {
    TJob J;
    const std::string Gif = J.PutFile("gifs", "anim.GIF", MakeGif(4, 4, {{0, 0, 4, 4}}));
    // A missing output folder is repaired to the user's pictures folder
    // (the home folder where there is none), never the program's folder.
    J.Form->OutputFolder = J.Platform.Root.File("gone");
    EXPECT_TRUE(J.Form->ConvertNow(Gif, ""));
    EXPECT_EQ(J.Form->OutputFolder, J.Platform.Home);
    EXPECT_TRUE(fs::exists(J.Platform.Home + "anim.swf"));
    J.Platform.Pictures = J.Platform.Folder("home/Bilder");
    J.Form->OutputFolder.clear();
    EXPECT_TRUE(J.Form->ConvertNow(Gif, ""));
    EXPECT_EQ(J.Form->OutputFolder, J.Platform.Pictures);
    EXPECT_FALSE(fs::exists(J.Platform.ProgramDir + "anim.swf"));
    // With or without the trailing separator: the same path.
    J.Form->OutputFolder = ExcludeTrailingDelim(J.Out);
    EXPECT_TRUE(J.Form->ConvertNow(Gif, ""));
    EXPECT_TRUE(fs::exists(J.Out + "anim.swf"));
    // A name without extension gets ".swf" appended.
    const std::string Bare = J.PutFile("gifs", "noext", MakeGif(4, 4, {{0, 0, 4, 4}}));
    EXPECT_TRUE(J.Form->ConvertNow(Bare, ""));
    EXPECT_TRUE(fs::exists(J.Out + "noext.swf"));
    // A sub-folder is created when missing; when it cannot be, the movie
    // goes to the output folder itself.
    EXPECT_TRUE(J.Form->ConvertNow(Gif, "sub"));
    EXPECT_TRUE(fs::exists(J.Out + "sub/anim.swf"));
    fs::remove(J.Out + "anim.swf");
    J.Platform.FailCreateDir = true;
    EXPECT_TRUE(J.Form->ConvertNow(Gif, "other"));
    EXPECT_TRUE(fs::exists(J.Out + "anim.swf"));
    EXPECT_FALSE(fs::exists(J.Out + "other"));
}

TEST(ConvertJob, OverwriteQuestion) {
    TJob J(true);
    const std::string Gif = J.PutFile("gifs", "a.gif", MakeGif(4, 4, {{0, 0, 4, 4}}));
    J.ShowFolder("gifs");
    J.SelectFile(0);
    WriteFileBytes(J.Out + "a.swf", Bytes{1, 2, 3});
    J.Platform.Answers = {TMsgResult::No};
    EXPECT_FALSE(J.Form->ConvertNow(Gif, ""));
    ASSERT_EQ(J.Platform.Messages.size(), 1u);
    EXPECT_EQ(J.Platform.Messages[0].Text, "The file a.swf already exists. Do you want to owerwrite it?");
    EXPECT_EQ(J.Platform.Messages[0].Icon, TMsgIcon::Question);
    EXPECT_EQ(J.Platform.Messages[0].Buttons, TMsgButtons::YesNo);
    EXPECT_EQ(ReadFileBytes(J.Out + "a.swf"), (Bytes{1, 2, 3}));  // untouched
    EXPECT_EQ(J.Form->RzP.Text(), "");
    J.Platform.Answers = {TMsgResult::Yes};
    EXPECT_TRUE(J.Form->ConvertNow(Gif, ""));
    EXPECT_GT(ReadFileBytes(J.Out + "a.swf").size(), 3u);
    EXPECT_EQ(J.Platform.Messages.back().Text, "The file a.swf has been successfully created.");
    EXPECT_EQ(J.Platform.Messages.back().Icon, TMsgIcon::Information);
    // Folder mode replaces without a question.
    TJob F;
    const std::string G2 = F.PutFile("gifs", "a.gif", MakeGif(4, 4, {{0, 0, 4, 4}}));
    WriteFileBytes(F.Out + "a.swf", Bytes{1, 2, 3});
    EXPECT_TRUE(F.Form->ConvertNow(G2, ""));
    EXPECT_TRUE(F.Platform.Messages.empty());
    EXPECT_GT(ReadFileBytes(F.Out + "a.swf").size(), 3u);
}

TEST(ConvertJob, FilesThatAreNotGIFs) {
    TJob J(true);
    const std::string Bad = J.PutFile("gifs", "bad.gif", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'g', 'i', 'f'});
    EXPECT_FALSE(J.Form->ConvertNow(Bad, ""));
    ASSERT_EQ(J.Platform.Messages.size(), 1u);
    // The box's second line says why.
    EXPECT_EQ(J.Platform.Messages[0].Text, "There was an error while converting the file.\npremature end of data");
    EXPECT_EQ(J.Platform.Messages[0].Icon, TMsgIcon::Error);
    EXPECT_FALSE(fs::exists(J.Out + "bad.swf"));
    EXPECT_FALSE(J.Platform.Busy);
    EXPECT_EQ(J.Form->RzP.Text(), "");
    EXPECT_FALSE(J.Form->ConvertNow(J.Platform.Root.File("missing.gif"), ""));
    // A refused movie names the menu item that allows it.
    std::vector<TFrameSpec> Dots(100, TFrameSpec{0, 0, 1, 1, 10, 1});
    EXPECT_FALSE(J.Form->ConvertNow(J.PutFile("gifs", "huge.gif", MakeGif(4000, 4000, Dots)), ""));
    EXPECT_EQ(J.Platform.Messages.back().Text,
              "There was an error while converting the file.\nthe movie would take 1600000000 pixels of pictures, more "
              "than the 500000000 a movie may take without being asked (\"Allow very large movies\" in the Options "
              "menu raises it)");
    // Folder mode: no message.
    TJob F;
    EXPECT_FALSE(F.Form->ConvertNow(F.PutFile("gifs", "bad.gif", Bytes{'x'}), ""));
    EXPECT_TRUE(F.Platform.Messages.empty());
}

TEST(ConvertJob, MovieStructure) {
    TJob J;
    // A single frame shown for its delay: 14/4 = 3.5 -> 4 movie frames.
    const std::string One = J.Convert(MakeGif(5, 3, {{0, 0, 5, 3, 14}}));
    TSWFFileReader R;
    R.LoadFile(One);
    EXPECT_EQ(R.Signature, "FWS");
    EXPECT_EQ(R.Version, 6);
    EXPECT_EQ(R.FrameRect, (TRect{0, 0, 100, 60}));
    EXPECT_EQ(R.FrameRate, 0x1800);
    EXPECT_EQ(R.FrameCount, 4);
    // Layered, frame 0 opaque: a bitmap without alpha, its rectangle, the
    // placement at depth 0, four frames.
    EXPECT_EQ(Codes(One), (std::vector<std::uint16_t>{tagDefineBitsLossless, tagDefineShape2, tagPlaceObject2,
                                                      tagShowFrame, tagShowFrame, tagShowFrame, tagShowFrame, tagEnd}));
    // A transparent first frame keeps its alpha.
    const std::string T = J.Convert(MakeGif(5, 3, {{0, 0, 5, 3, 10, 0, true, true, 3}}), "tr.gif");
    EXPECT_EQ(Codes(T)[0], tagDefineBitsLossless2);
    EXPECT_TRUE(J.Form->FirstFrameTransparent);
}

TEST(ConvertJob, DelaysBecomeFrameCounts) {
    struct Case {
        int Delay;
        int Frames;
    };
    for (const Case& C : {Case{0, 1}, Case{1, 1}, Case{2, 1}, Case{6, 2}, Case{10, 2}, Case{14, 4}}) {
        TJob J;
        const std::string S = J.Convert(MakeGif(2, 2, {{0, 0, 2, 2, C.Delay}}));
        EXPECT_EQ(CountOf(Codes(S), tagShowFrame), C.Frames) << "delay " << C.Delay;
    }
    TJob J;
    TFrameSpec NoGce{0, 0, 2, 2};
    NoGce.Gce = false;
    EXPECT_EQ(CountOf(Codes(J.Convert(MakeGif(2, 2, {NoGce}))), tagShowFrame), 10);
}

TEST(ConvertJob, SchemeChoice) {
    TJob J;
    TGIFImage G11, G12, Side;
    TMemoryStream S11(MakeGif(8, 8, FullFrames(11, 8, 8)));
    G11.LoadFromStream(S11);
    TMemoryStream S12(MakeGif(8, 8, FullFrames(12, 8, 8)));
    G12.LoadFromStream(S12);
    EXPECT_EQ(TFrameComposition::MaxOverlap(G11), 11);
    EXPECT_EQ(TFrameComposition::MaxOverlap(G12), 12);
    std::vector<TFrameSpec> Tiles;
    for (int I = 0; I < 20; ++I) Tiles.push_back({I * 10, 0, 10, 10});
    TMemoryStream SS(MakeGif(200, 10, Tiles));
    Side.LoadFromStream(SS);
    EXPECT_EQ(TFrameComposition::MaxOverlap(Side), 1);

    // Layered: every image has its frame's size; flattened: the stage's.
    const std::string L = J.Convert(MakeGif(200, 10, Tiles), "tiles.gif");
    TMovieRenderer RL(L);
    EXPECT_EQ(CountOf(RL.Movie.Tags, tagRemoveObject), 0);
    EXPECT_TRUE(CheckMovieAgainstGif(J.PutFile("gifs", "tiles.gif", MakeGif(200, 10, Tiles)), L).empty());
    const std::string F = J.Convert(MakeGif(8, 8, FullFrames(12, 8, 8)), "twelve.gif");
    TMovieRenderer RF(F);
    EXPECT_EQ(CountOf(RF.Movie.Tags, tagRemoveObject), 11);  // each picture replaces the last
    for (const auto& List : RF.Movie.DisplayLists) EXPECT_EQ(List.size(), 1u);
}

TEST(ConvertJob, EmptyFramesAndFullColourMaps) {
    TJob J;
    // Extensions before the trailer make a last frame without pixels.
    GifBuilder B;
    B.Header(4, 4, {0x000000, 0xFFFFFF, 0x0000FF, 0x00FF00});
    B.GCE(0, 10, 3).Frame(0, 0, 4, 4, std::vector<std::uint8_t>(16, 1));
    B.GCE(0, 10, 3).Frame(1, 1, 2, 2, std::vector<std::uint8_t>(4, 2));
    B.GCE(0, 50, 3).Trailer();
    const std::string S = J.Convert(B.Data);
    const auto C = Codes(S);
    EXPECT_EQ(CountOf(C, tagDefineBitsLossless) + CountOf(C, tagDefineBitsLossless2), 2);
    EXPECT_EQ(CountOf(C, tagShowFrame), 4);  // the empty frame shows nothing
    // 256 colours in the global map: nothing is added, the colours stay.
    std::vector<TColor> Full;
    for (int I = 0; I < 256; ++I) Full.push_back(static_cast<TColor>(I * 0x010203));
    TFrameSpec P{0, 0, 16, 16};
    for (int I = 0; I < 256; ++I) P.Pixels.push_back(static_cast<std::uint8_t>(I));
    const Bytes FG = MakeGif(16, 16, {P, P}, Full);
    const std::string FS = J.Convert(FG, "full.gif");
    EXPECT_TRUE(CheckMovieAgainstGif(J.PutFile("gifs", "full.gif", FG), FS).empty());
}

// A black transparent colour stays black for the pixels of other frames
// that use the same entry opaquely.
TEST(ConvertJob, TransparencyIsByIndex) {
    TJob J;
    std::vector<TFrameSpec> F;
    F.push_back({0, 0, 4, 4, 10, 1, false, true, 3});  // opaque, index 3
    TFrameSpec T{0, 0, 4, 4, 10, 1, true, true, 0};
    T.Pixels = {3, 3, 0, 0, 3, 3, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2};
    F.push_back(T);
    const Bytes G = MakeGif(4, 4, F, {0xFFFFFF, 0x0000FF, 0x00FF00, 0x000000});
    const std::string S = J.Convert(G);
    const auto Problems = CheckMovieAgainstGif(J.PutFile("gifs", "t.gif", G), S);
    EXPECT_TRUE(Problems.empty()) << Problems.front();
}

// Each frame's disposal acts after it is shown, before the next frame.
TEST(ConvertJob, DisposalsActAfterTheirFrame) {
    struct Case {
        const char* Name;
        std::vector<TFrameSpec> Frames;
    };
    std::vector<Case> Cases;
    // A circle kept (1), then squares cleared after each step (2): the
    // circle must stay.
    Cases.push_back({"keep-then-clear",
                     {{0, 0, 10, 10, 10, 1, false, true, 1},
                      {0, 0, 3, 3, 10, 2, false, true, 2},
                      {5, 5, 3, 3, 10, 2, false, true, 2},
                      {2, 2, 3, 3, 10, 2, false, true, 0}}});
    // Restore to previous: the frame after a disposal-3 frame starts from
    // what was shown before it.
    Cases.push_back({"previous",
                     {{0, 0, 10, 10, 10, 1, false, true, 1},
                      {2, 2, 4, 4, 10, 3, false, true, 2},
                      {4, 4, 4, 4, 10, 3, false, true, 0},
                      {6, 6, 2, 2, 10, 0, false, true, 2}}});
    // A cleared rectangle that cuts an earlier image in part: only the
    // flattened scheme can show it.
    Cases.push_back({"partial-clear",
                     {{0, 0, 10, 10, 10, 1, false, true, 1},
                      {3, 3, 4, 4, 10, 2, false, true, 2},
                      {8, 0, 2, 2, 10, 1, false, true, 0}}});
    // Twelve full frames with mixed disposals (flattened).
    std::vector<TFrameSpec> Many = FullFrames(12, 6, 6);
    for (std::size_t I = 0; I < Many.size(); ++I) {
        Many[I].Disposal = static_cast<int>(I % 4);
        Many[I].Transparent = I % 2 == 1;
        Many[I].Left = static_cast<int>(I % 3);
        Many[I].Width = 4;
        Many[I].Pixels.clear();
        for (int P = 0; P < 4 * 6; ++P) Many[I].Pixels.push_back(static_cast<std::uint8_t>((P + I) % 4));
    }
    Cases.push_back({"twelve-mixed", Many});
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        TJob J;
        const Bytes G = MakeGif(10, 10, C.Frames);
        const std::string S = J.Convert(G, std::string(C.Name) + ".gif");
        const auto Problems = CheckMovieAgainstGif(J.PutFile("gifs", std::string(C.Name) + ".gif", G), S);
        EXPECT_TRUE(Problems.empty()) << Problems.front();
    }
}

TEST(ConvertJob, TemporaryFilesGoWhateverHappens) {
    TJob J;
    const std::string Gif = J.PutFile("gifs", "e.gif", MakeGif(4, 4, FullFrames(3, 4, 4)));
    J.Platform.OnProcess = [](int Call) {
        if (Call == 3) throw std::runtime_error("stop");
    };
    EXPECT_THROW(J.Form->ConvertNow(Gif, ""), std::runtime_error);
    EXPECT_TRUE(J.Platform.TempFiles().empty());
    EXPECT_FALSE(fs::exists(J.Out + "e.swf"));
    // The temporary names: job number, frame, ".bmp", in the temporary
    // folder; the number is claimed by the file "number.job" (made
    // exclusively) for as long as the job runs.
    std::vector<std::string> Seen, Claims;
    J.Platform.OnProcess = [&](int) {
        for (const std::string& F : J.Platform.TempFiles(".bmp")) Seen.push_back(F);
        for (const std::string& F : J.Platform.TempFiles(".job")) Claims.push_back(F);
    };
    EXPECT_TRUE(J.Form->ConvertNow(Gif, ""));
    ASSERT_FALSE(Seen.empty());
    const std::string Job = Seen.front().substr(0, Seen.front().find('-'));
    EXPECT_LE(std::stoi(Job), 999999);
    EXPECT_NE(std::find(Seen.begin(), Seen.end(), Job + "-2.bmp"), Seen.end());
    for (const std::string& N : Seen) EXPECT_EQ(N.substr(0, Job.size() + 1), Job + "-");
    ASSERT_FALSE(Claims.empty());
    for (const std::string& N : Claims) EXPECT_EQ(N, Job + ".job");
    EXPECT_TRUE(J.Platform.TempFiles().empty());
}

TEST(ConvertJob, OneTemporaryFileAtATime) {
    // Each frame's picture is in the file of its own name when the movie
    // reads it; the file of the frame before has become that file, so a
    // job never holds more than one.
    for (const bool Layered : {true, false}) {
        TJob J;
        const std::string Gif =
            J.PutFile("gifs", "m.gif", Layered ? MakeGif(8, 8, {{0, 0, 8, 8}, {1, 1, 2, 2}, {4, 4, 2, 2}, {6, 0, 2, 2}})
                                               : MakeGif(8, 8, FullFrames(12, 8, 8)));
        std::vector<std::vector<std::string>> Seen;
        J.Platform.OnProcess = [&](int) { Seen.push_back(J.Platform.TempFiles(".bmp")); };
        ASSERT_TRUE(J.Form->ConvertNow(Gif, ""));
        std::vector<std::string> Names;
        for (const auto& Files : Seen) {
            EXPECT_LE(Files.size(), 1u);
            if (Files.size() == 1 && (Names.empty() || Names.back() != Files[0])) Names.push_back(Files[0]);
        }
        // The flattened loop lets messages through before it writes a frame,
        // the layered one after: the last file is seen by the layered only.
        const std::size_t Frames = Layered ? 4 : 11;
        ASSERT_EQ(Names.size(), Frames);
        const std::string Job = Names[0].substr(0, Names[0].find('-'));
        for (std::size_t K = 0; K < Frames; ++K) EXPECT_EQ(Names[K], Job + "-" + std::to_string(K) + ".bmp");
        EXPECT_TRUE(J.Platform.TempFiles().empty());
        EXPECT_TRUE(CheckMovieAgainstGif(Gif, J.Out + "m.swf").empty());
    }
}

// Compact movies of the flattened scheme: changes go on as layers, merged
// when the stack would grow too deep, and a pixel that must become
// transparent brings a new full picture in place of everything shown.
TEST(ConvertJob, CompactMoviesLayerChangesAndStartAgainAtAHole) {
    TJob J;
    J.Form->Options.Compact = true;
    // Thirty frames over the whole screen, each changing one of three
    // pixels side by side: the layered scheme would stack thirty images.
    std::vector<TFrameSpec> Dots;
    for (int K = 0; K < 30; ++K) {
        TFrameSpec F{0, 0, 8, 8, 10, 1, K > 0, true, 3};
        F.Pixels.assign(64, K > 0 ? 3 : 0);
        if (K > 0) F.Pixels[static_cast<std::size_t>(K % 3)] = static_cast<std::uint8_t>(1 + K / 3 % 2);
        Dots.push_back(F);
    }
    const std::string D = J.Convert(MakeGif(8, 8, Dots), "dots.gif");
    EXPECT_EQ(CheckMovieAgainstGif(J.PutFile("gifs", "dots.gif", MakeGif(8, 8, Dots)), D), std::vector<std::string>{});
    TMovieRenderer RD(D);
    for (const auto& List : RD.Movie.DisplayLists) EXPECT_LE(List.size(), std::size_t{TFrameComposition::MaxStack});
    EXPECT_GT(CountOf(RD.Movie.Tags, tagRemoveObject), 0);  // layers were merged
    EXPECT_EQ(RD.Movie.DisplayLists.back().count(0), 1u);   // over the first picture, which stays

    // An opaque picture, a square on it cleared to the background, then a
    // frame elsewhere: the hole needs a new full picture.
    const std::vector<TFrameSpec> Hole = {{0, 0, 8, 8, 10, 1}, {0, 0, 2, 2, 10, 2, false, true, 2}, {7, 7, 1, 1, 10, 1}};
    const std::string H = J.Convert(MakeGif(8, 8, Hole), "hole.gif");
    EXPECT_EQ(CheckMovieAgainstGif(J.PutFile("gifs", "hole.gif", MakeGif(8, 8, Hole)), H), std::vector<std::string>{});
    TMovieRenderer RH(H);
    ASSERT_EQ(RH.Movie.DisplayLists.size(), 6u);
    EXPECT_EQ(RH.Movie.DisplayLists[2].size(), 2u);  // the picture and the red square over it
    EXPECT_EQ(RH.Movie.DisplayLists[4].size(), 1u);  // a new picture in their place
    EXPECT_EQ(CountOf(RH.Movie.Tags, tagRemoveObject), 2);
    EXPECT_EQ(CountOf(RH.Movie.Tags, tagDefineBitsLossless), 2);   // opaque: the picture and the square
    EXPECT_EQ(CountOf(RH.Movie.Tags, tagDefineBitsLossless2), 1);  // the new one, with its hole
}

TEST(ConvertJob, FuzzRegressionInputs) {
    const fs::path Dir = fs::path(ANIVERT_TEST_DATA) / "convert-fuzz";
    int Count = 0;
    for (const auto& E : fs::directory_iterator(Dir)) {
        if (E.path().filename() == "README") continue;
        SCOPED_TRACE(E.path().filename().string());
        const Bytes Input = ReadFileBytes(E.path().string());
        ASSERT_FALSE(Input.empty());
        TJob J;
        J.Form->Options.Compact = Input[0] & 1;
        J.Form->Options.Salvage = Input[0] & 2;
        const std::string Gif = J.PutFile("gifs", "f.gif", Bytes(Input.begin() + 1, Input.end()));
        bool Made = false;
        try {
            Made = J.Form->ConvertNow(Gif, "");
        } catch (const std::exception&) {
        }
        EXPECT_TRUE(J.Platform.TempFiles().empty());
        EXPECT_EQ(Made, fs::exists(J.Out + "f.swf"));
        if (Made) {
            EXPECT_FALSE(Codes(J.Out + "f.swf").empty());
        }
        ++Count;
    }
    EXPECT_GT(Count, 0);
}
