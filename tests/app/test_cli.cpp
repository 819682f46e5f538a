#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "AppTestUtil.h"
#include "SWFStreams.h"

using namespace anivert;
using namespace anivert::test;

namespace fs = std::filesystem;

namespace {

std::string Cli() { return ANIVERT_CLI_PATH; }

Bytes Anim() {
    return MakeGif(8, 6, {{0, 0, 8, 6, 10, 1}, {2, 2, 3, 3, 20, 2, false, true, 2}, {4, 1, 3, 3, 20, 3, true, true, 3}});
}

}  // namespace

TEST(Cli, UsageAndExitStatus) {
    std::string Out;
    EXPECT_EQ(RunCommand(Cli() + " --help", &Out), 0);
    EXPECT_NE(Out.find("Usage: anivert-cli"), std::string::npos);
    EXPECT_NE(Out.find("--folder DIR"), std::string::npos);
    EXPECT_NE(Out.find("--compact"), std::string::npos);
    EXPECT_EQ(RunCommand(Cli(), &Out), 2);
    EXPECT_EQ(RunCommand(Cli() + " --bogus x.gif", &Out), 2);
    EXPECT_EQ(RunCommand(Cli() + " -o /no/such/folder x.gif", &Out), 2);
    EXPECT_NE(Out.find("does not exist"), std::string::npos);
    EXPECT_EQ(RunCommand(Cli() + " --folder", &Out), 2);
}

TEST(Cli, SingleFiles) {
    TempDir D;
    WriteFileBytes(D.File("a.gif"), Anim());
    WriteFileBytes(D.File("bad.gif"), Bytes{'n', 'o'});
    std::string Out;
    EXPECT_EQ(RunCommand(Cli() + " --test-page " + D.File("a.gif") + " " + D.File("bad.gif"), &Out), 1);
    EXPECT_NE(Out.find("The file a.swf has been successfully created."), std::string::npos) << Out;
    EXPECT_NE(Out.find("There was an error while converting the file."), std::string::npos) << Out;
    // Each failure is named with its reason, with -q too; several jobs
    // print what one job after the other prints.
    EXPECT_NE(Out.find("There was an error while converting the file.\n" + D.File("bad.gif") + ": premature end of data"),
              std::string::npos)
        << Out;
    std::string Quiet, Together;
    EXPECT_EQ(RunCommand(Cli() + " -q " + D.File("a.gif") + " " + D.File("none.gif"), &Quiet), 1);
    EXPECT_NE(Quiet.find(D.File("none.gif") + ": no such file"), std::string::npos) << Quiet;
    const std::string Files = " --test-page " + D.File("a.gif") + " " + D.File("bad.gif");
    EXPECT_EQ(RunCommand(Cli() + " --jobs 1" + Files, &Out), 1);
    EXPECT_EQ(RunCommand(Cli() + " --jobs 2" + Files, &Together), 1);
    EXPECT_EQ(Together, Out);
    EXPECT_TRUE(fs::exists(D.File("a.swf")));
    EXPECT_TRUE(fs::exists(D.File("a.html")));
    EXPECT_FALSE(fs::exists(D.File("bad.swf")));
    const auto Problems = CheckMovieAgainstGif(D.File("a.gif"), D.File("a.swf"));
    EXPECT_TRUE(Problems.empty()) << Problems.front();
    // Into another folder; an existing movie kept with -n, replaced otherwise.
    fs::create_directory(D.File("out"));
    WriteFileBytes(D.File("out/a.swf"), Bytes{7});
    EXPECT_EQ(RunCommand(Cli() + " -n -o " + D.File("out") + " " + D.File("a.gif"), &Out), 1);
    EXPECT_EQ(ReadFileBytes(D.File("out/a.swf")), Bytes{7});
    EXPECT_EQ(RunCommand(Cli() + " -q -o " + D.File("out") + " " + D.File("a.gif"), &Out), 0);
    EXPECT_EQ(Out, "");
    EXPECT_GT(ReadFileBytes(D.File("out/a.swf")).size(), 1u);
    EXPECT_FALSE(fs::exists(D.File("out/a.html")));
    // A compact movie shows the same, differently.
    EXPECT_EQ(RunCommand(Cli() + " -q --compact " + D.File("a.gif"), &Out), 0) << Out;
    EXPECT_TRUE(CheckMovieAgainstGif(D.File("a.gif"), D.File("a.swf")).empty());
    EXPECT_NE(ReadFileBytes(D.File("a.swf")), ReadFileBytes(D.File("out/a.swf")));
}

TEST(Cli, FolderMode) {
    TempDir D;
    fs::create_directories(D.File("in/sub"));
    WriteFileBytes(D.File("in/one.gif"), Anim());
    WriteFileBytes(D.File("in/sub/two.GIF"), Anim());
    fs::create_directory(D.File("out"));
    std::string Out;
    EXPECT_EQ(RunCommand(Cli() + " --folder " + D.File("in") + " -o " + D.File("out"), &Out), 0) << Out;
    EXPECT_NE(Out.find("2 files of 2 have been successfully converted. 1 subfolder has been processed."),
              std::string::npos)
        << Out;
    EXPECT_TRUE(fs::exists(D.File("out/one.swf")));
    EXPECT_TRUE(fs::exists(D.File("out/sub/two.swf")));
    // Without -o the movies go beside their GIFs; a file that fails makes
    // the status 1.
    WriteFileBytes(D.File("in/sub/broken.gif"), Bytes{'G', 'I', 'F'});
    EXPECT_EQ(RunCommand(Cli() + " --folder " + D.File("in"), &Out), 1);
    EXPECT_NE(Out.find("2 files of 3 have been successfully converted."), std::string::npos) << Out;
    EXPECT_LT(Out.find(D.File("in/sub/broken.gif") + ": "), Out.find("2 files of 3")) << Out;
    EXPECT_TRUE(fs::exists(D.File("in/sub/two.swf")));
    // Several files at a time: the same movies, the same report.
    WriteFileBytes(D.File("in/sub/three.gif"), Anim());
    fs::create_directories(D.File("j1"));
    fs::create_directories(D.File("j3"));
    std::string One, Three;
    EXPECT_EQ(RunCommand(Cli() + " --jobs 1 --compact --folder " + D.File("in") + " -o " + D.File("j1"), &One), 1);
    EXPECT_EQ(RunCommand(Cli() + " --jobs 3 --compact --folder " + D.File("in") + " -o " + D.File("j3"), &Three), 1);
    EXPECT_EQ(Three, One);
    for (const char* Movie : {"one.swf", "sub/two.swf", "sub/three.swf"})
        EXPECT_EQ(ReadFileBytes(D.File(std::string("j3/") + Movie)), ReadFileBytes(D.File(std::string("j1/") + Movie)))
            << Movie;
    EXPECT_EQ(RunCommand(Cli() + " --folder " + D.File("in") + " --url http://x", &Out), 2);
}

// A GIF of a few bytes may ask for any amount of work: it is refused with
// the figure before the work, unless the budget is raised. Stopping at once
// leaves no temporary file and no unfinished movie, and keeps the movie
// that was there.
TEST(Cli, BoundedWorkAndStopNow) {
    TempDir D;
    std::vector<TFrameSpec> Dots(100, TFrameSpec{0, 0, 1, 1, 10, 1});
    WriteFileBytes(D.File("huge.gif"), MakeGif(4000, 4000, Dots));
    ASSERT_LT(fs::file_size(D.File("huge.gif")), 4096u);
    std::string Out;
    EXPECT_EQ(RunCommand(Cli() + " -q " + D.File("huge.gif"), &Out), 1);
    EXPECT_NE(Out.find(D.File("huge.gif") + ": the movie would take 1600000000 pixels of pictures, more than the "
                                            "500000000 a movie"),
              std::string::npos)
        << Out;
    EXPECT_NE(Out.find("(--max-pixels raises it)"), std::string::npos) << Out;
    EXPECT_FALSE(fs::exists(D.File("huge.swf")));
    // Compact movies write what changed: little.
    EXPECT_EQ(RunCommand(Cli() + " -q --compact " + D.File("huge.gif"), &Out), 0) << Out;
    EXPECT_LT(fs::file_size(D.File("huge.swf")), 65536u);
    // A layered compact movie's pictures are its frames: refused before the
    // work too.
    WriteFileBytes(D.File("frames.gif"), MakeGif(500, 500, std::vector<TFrameSpec>(20, TFrameSpec{0, 0, 500, 500, 10, 2})));
    EXPECT_EQ(RunCommand(Cli() + " -q --compact --max-pixels 4000000 " + D.File("frames.gif"), &Out), 1);
    EXPECT_NE(Out.find("the movie would take 5000000 pixels of pictures, more than the 4000000"), std::string::npos)
        << Out;
    EXPECT_EQ(RunCommand(Cli() + " -q --compact --max-pixels 5000000 " + D.File("frames.gif"), &Out), 0) << Out;

    // A long conversion: full pictures of 2000 x 2000, one per frame.
    std::vector<TFrameSpec> Long;
    for (int K = 0; K < 60; ++K) Long.emplace_back(0, 0, 1, 1, 10, 1, false, true, static_cast<std::uint8_t>(1 + K % 2));
    WriteFileBytes(D.File("long.gif"), MakeGif(2000, 2000, Long));
    fs::create_directories(D.File("tmp"));
    fs::create_directories(D.File("out"));
    WriteFileBytes(D.File("out/long.swf"), Bytes{1, 2, 3});
    struct Case {
        const char* Signals;
        int Status;
    };
    for (const Case& C : {Case{"TERM", 143}, Case{"HUP", 129}, Case{"INT INT", 130}}) {
        SCOPED_TRACE(C.Signals);
        const std::string Script = "{ TMPDIR=" + D.File("tmp") + " " + Cli() + " -q -o " + D.File("out") + " " +
                                   D.File("long.gif") + " & p=$!; sleep 1; for s in " + C.Signals +
                                   "; do kill -$s $p; sleep 0.2; done; wait $p; echo status $?; }";
        EXPECT_EQ(RunCommand(Script, &Out), 0);
        EXPECT_NE(Out.find("status " + std::to_string(C.Status)), std::string::npos) << Out;
        EXPECT_NE(Out.find("anivert-cli: stopped"), std::string::npos) << Out;
        EXPECT_TRUE(fs::is_empty(D.File("tmp")));
        EXPECT_EQ(ReadFileBytes(D.File("out/long.swf")), (Bytes{1, 2, 3}));
        EXPECT_EQ(std::distance(fs::directory_iterator(D.File("out")), fs::directory_iterator()), 1);
    }
    // Ctrl-C once ends a folder run before its next file: the summary says
    // so, and the status tells that not every file was converted.
    fs::create_directories(D.File("run"));
    fs::create_directories(D.File("ran"));
    for (const char* Name : {"run/a.gif", "run/b.gif"}) fs::copy_file(D.File("long.gif"), D.File(Name));
    const std::string Script = "{ " + Cli() + " --jobs 1 --folder " + D.File("run") + " -o " + D.File("ran") +
                               " & p=$!; sleep 1; kill -INT $p; wait $p; echo status $?; }";
    EXPECT_EQ(RunCommand(Script, &Out), 0);
    EXPECT_NE(Out.find("The converting process has been aborted by user.\nstatus 1"), std::string::npos) << Out;
    EXPECT_TRUE(fs::exists(D.File("ran/a.swf")));
    EXPECT_FALSE(fs::exists(D.File("ran/b.swf")));
}

// --loop gif: a GIF without a loop extension stops on its last frame, a
// count N stops there after N + 1 passes, a count of 0 (and a GIF of one
// frame) loops as --loop forever, the default, does.
TEST(Cli, LoopAsTheGifSays) {
    TempDir D;
    const std::vector<TFrameSpec> Frames = {{0, 0, 8, 6, 10, 1}, {2, 2, 3, 3, 20, 2, false, true, 2}};
    WriteFileBytes(D.File("once.gif"), MakeGif(8, 6, Frames));
    WriteFileBytes(D.File("thrice.gif"), MakeGif(8, 6, Frames, {}, 2));
    WriteFileBytes(D.File("ever.gif"), MakeGif(8, 6, Frames, {}, 0));
    WriteFileBytes(D.File("still.gif"), MakeGif(8, 6, {Frames[0]}, {}, 2));
    std::string Gifs;
    for (const std::string Name : {"once", "thrice", "ever", "still"}) Gifs.append(" ").append(D.File(Name + ".gif"));
    std::string Out;
    const std::map<std::string, std::string> Modes = {
        {"default", ""}, {"forever", " --loop forever"}, {"gif", " --loop gif"}, {"compact", " --compact --loop gif"}};
    for (const auto& [Mode, Option] : Modes) {
        fs::create_directory(D.File(Mode));
        ASSERT_EQ(RunCommand(Cli() + " -q" + Option + " -o " + D.File(Mode) + Gifs, &Out), 0) << Out;
    }
    EXPECT_EQ(RunCommand(Cli() + " --loop twice " + D.File("once.gif"), &Out), 2);
    EXPECT_NE(Out.find("--loop takes gif or forever"), std::string::npos) << Out;

    // Push the counter's name twice, GetVariable, Increment, SetVariable;
    // Push the name, GetVariable, Push 3 (an integer), Less, If over the
    // Stop, Stop; the end of the list.
    Bytes Counter = {0};
    for (char C : std::string("anivert_passes")) Counter.push_back(static_cast<std::uint8_t>(C));
    Counter.push_back(0);
    Bytes Thrice;
    for (const Bytes& Part : {B({0x96, 0x20, 0x00}), Counter, Counter, B({0x1C, 0x50, 0x1D, 0x96, 0x10, 0x00}), Counter,
                              B({0x1C, 0x96, 0x05, 0x00, 0x07, 0x03, 0x00, 0x00, 0x00, 0x0F, 0x9D, 0x02, 0x00, 0x01,
                                 0x00, 0x07, 0x00})})
        Thrice.insert(Thrice.end(), Part.begin(), Part.end());
    const std::map<std::string, Bytes> Actions = {
        {"once", B({0x07, 0x00})}, {"thrice", Thrice}, {"ever", {}}, {"still", {}}};
    for (const auto& [Name, Want] : Actions) {
        SCOPED_TRACE(Name);
        const Bytes Default = ReadFileBytes(D.File("default/" + Name + ".swf"));
        EXPECT_EQ(ReadFileBytes(D.File("forever/" + Name + ".swf")), Default);
        if (Want.empty()) {
            EXPECT_EQ(ReadFileBytes(D.File("gif/" + Name + ".swf")), Default);
        }
        for (const std::string Mode : {"gif", "compact"}) {
            const std::string Swf = D.File(Mode + "/" + Name + ".swf");
            EXPECT_EQ(TMovieRenderer(Swf).Movie.LastFrameActions, Want) << Mode;
            const auto Problems = CheckMovieAgainstGif(D.File(Name + ".gif"), Swf);
            EXPECT_TRUE(Problems.empty()) << Mode << ": " << Problems.front();
        }
    }

    // Our reader parses the actions and finds the If's target after the Stop.
    TSWFFileReader R;
    R.LoadFile(D.File("gif/thrice.swf"));
    const TSWFDoAction* Do = nullptr;
    for (const auto& T : R.Tags)
        if (auto* A = dynamic_cast<const TSWFDoAction*>(T.Tag.get())) Do = A;
    ASSERT_NE(Do, nullptr);
    std::string Names;
    for (const auto& A : Do->Actions()) Names += std::string(ActionName(A->ActionCode)) + " ";
    EXPECT_EQ(Names, "Push GetVariable Increment SetVariable Push GetVariable Push Less If Stop OffsetMarker ");
    EXPECT_EQ(Do->Actions().MinVersion(), 5);
    EXPECT_EQ(dynamic_cast<const TSWFActionPush&>(Do->Actions()[6]).ValueInfo(0).Value.AsInteger(), 3);
    const auto& If = dynamic_cast<const TSWFActionJump&>(Do->Actions()[8]);
    EXPECT_EQ(Do->Actions().IndexOf(If.BranchOffsetMarker.Ptr()), 10);

    // So does an independent parser, the DoAction right before the last
    // ShowFrame.
    ASSERT_TRUE(PythonModule("yaswfp", "python3-yaswfp"));
    const std::string Script = "import sys\nfrom yaswfp import swfparser\nfor f in sys.argv[1:]:\n"
                               "    t = swfparser.parsefile(f).tags\n"
                               "    print([x.name for x in t][-2:], [a.name for x in t[-2:-1] for a in x.Actions])\n";
    WriteFileBytes(D.File("check.py"), Bytes(Script.begin(), Script.end()));
    ASSERT_EQ(RunCommand("/usr/bin/python3 " + D.File("check.py") + " " + D.File("gif/once.swf") + " " +
                             D.File("compact/thrice.swf"), &Out), 0) << Out;
    EXPECT_EQ(Out, "['DoAction', 'ShowFrame'] ['ActionStop']\n['DoAction', 'ShowFrame'] ['ActionPush', 'ActionPush', "
                   "'ActionGetVariable', 'ActionIncrement', 'ActionSetVariable', 'ActionPush', 'ActionGetVariable', "
                   "'ActionPush', 'ActionLess', 'ActionIf', 'ActionStop']\n");
}
