#include <gtest/gtest.h>

#include <filesystem>

#include "AppTestUtil.h"

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
    EXPECT_TRUE(fs::exists(D.File("in/sub/two.swf")));
    EXPECT_EQ(RunCommand(Cli() + " --folder " + D.File("in") + " --url http://x", &Out), 2);
}
