#include <gtest/gtest.h>

#include <filesystem>

#include "AppTestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace fs = std::filesystem;

namespace {

Bytes SmallGif() { return MakeGif(6, 4, {{0, 0, 6, 4, 10}, {1, 1, 2, 2, 10, 1, false, true, 2}}); }

struct TFolderRun : TWindowFixture {
    std::string Out;
    TFolderRun() {
        Form->FormCreate();
        Out = Platform.Folder("out");
        Form->OutputFolder = Out;
        Form->RBSingle.SetChecked(false);
        Form->RBFolder.SetChecked(true);
        Form->RBSingleClick();
    }
    std::string Run(const std::string& Root) {
        ShowFolder(Root);
        Form->btnStartClick();
        return Platform.Messages.empty() ? std::string() : Platform.Messages.back().Text;
    }
};

}  // namespace

TEST(RunSummary, Texts) {
    EXPECT_EQ(RunSummary(3, 2, 2, false),
              "3 files of 5 have been successfully converted. 2 subfolders have been processed.");
    EXPECT_EQ(RunSummary(0, 0, 0, false), "No files have been found.");
    EXPECT_EQ(RunSummary(0, 4, 1, false), "No files have been converted. 1 subfolder has been processed.");
    EXPECT_EQ(RunSummary(1, 0, 0, false), "1 file of 1 has been successfully converted.");
    EXPECT_EQ(RunSummary(0, 0, 3, false), "No files have been found. 3 subfolders have been processed.");
    EXPECT_EQ(RunSummary(5, 0, 2, true), "The converting process has been aborted by user.");
}

TEST(FolderRun, AFolderWithoutSubfolders) {
    TFolderRun R;
    for (const char* N : {"a.gif", "b.GIF", "c.gif"}) R.PutFile("root", N, SmallGif());
    R.PutFile("root", "notes.txt", Bytes{1});
    std::vector<int> Percents;
    R.Platform.OnProcess = [&](int) { Percents.push_back(R.Form->RzB.Percent()); };
    EXPECT_EQ(R.Run("root"), "3 files of 3 have been successfully converted.");
    EXPECT_EQ(R.Platform.Messages.back().Icon, TMsgIcon::Information);
    EXPECT_EQ(R.Platform.Messages.size(), 1u);  // no message per file
    for (const char* N : {"a.swf", "b.swf", "c.swf"}) EXPECT_TRUE(fs::exists(R.Out + N)) << N;
    // 33, 67 and 100 percent before each file; hidden again afterwards.
    EXPECT_NE(std::find(Percents.begin(), Percents.end(), 33), Percents.end());
    EXPECT_NE(std::find(Percents.begin(), Percents.end(), 100), Percents.end());
    EXPECT_FALSE(R.Form->RzB.Visible());
    EXPECT_TRUE(R.Form->RzP2.Visible());
    EXPECT_EQ(R.Form->RzP.Text(), "");
    EXPECT_FALSE(R.Platform.Busy);
    EXPECT_TRUE(R.Platform.TempFiles().empty());

    TFolderRun E;
    E.Platform.Folder("empty");
    EXPECT_EQ(E.Run("empty"), "No files have been found.");
}

TEST(FolderRun, FirstLevelSubfoldersMirrored) {
    TFolderRun R;
    R.PutFile("root", "top.gif", SmallGif());
    R.PutFile("root/beta", "b1.gif", SmallGif());
    R.PutFile("root/beta", "b2.gif", Bytes{'x'});  // not a GIF
    R.PutFile("root/Alpha", "a1.gif", SmallGif());
    R.PutFile("root/Alpha/deep", "deep.gif", SmallGif());
    R.Platform.Folder("root/empty");
    std::vector<std::string> Texts;
    R.Platform.OnProcess = [&](int) { Texts.push_back(R.Form->RzP.Text()); };
    // The summary names the file that failed, and why.
    EXPECT_EQ(R.Run("root"),
              "3 files of 4 have been successfully converted. 3 subfolders have been processed.\n\n"
              "Not converted:\n" +
                  R.Platform.Folder("root/beta") + "b2.gif: premature end of data");
    EXPECT_TRUE(fs::exists(R.Out + "top.swf"));
    EXPECT_TRUE(fs::exists(R.Out + "Alpha/a1.swf"));
    EXPECT_TRUE(fs::exists(R.Out + "beta/b1.swf"));
    EXPECT_FALSE(fs::exists(R.Out + "deep.swf"));
    EXPECT_FALSE(fs::exists(R.Out + "Alpha/deep"));
    EXPECT_FALSE(fs::exists(R.Out + "empty"));  // entered, but no movie made a folder for it
    // The tree shows the root again.
    EXPECT_EQ(R.Form->FTree.SelectedFolder(), ExcludeTrailingDelim(R.Platform.Folder("root")));
    ASSERT_FALSE(Texts.empty());
    EXPECT_EQ(Texts.front().rfind("Press ESC to abort  |  Processing: ", 0), 0u);
}

TEST(FolderRun, EscapeStopsBeforeTheNextFile) {
    TFolderRun R;
    for (const char* N : {"1.gif", "2.gif", "3.gif", "4.gif", "5.gif"}) R.PutFile("root", N, SmallGif());
    R.PutFile("root/sub", "s.gif", SmallGif());
    int Files = 0;
    R.Platform.OnProcess = [&](int) {
        // The job lets messages through once before loading each file.
        if (R.Form->RzB.Percent() == 40 && ++Files == 1) R.Form->FormKeyPress(27);
    };
    EXPECT_EQ(R.Run("root"), "The converting process has been aborted by user.");
    EXPECT_TRUE(fs::exists(R.Out + "2.swf"));  // the file in hand is finished
    EXPECT_FALSE(fs::exists(R.Out + "3.swf"));
    EXPECT_FALSE(fs::exists(R.Out + "sub"));
    EXPECT_EQ(R.Form->FTree.SelectedFolder(), ExcludeTrailingDelim(R.Platform.Folder("root")));
    // The next run clears the flag.
    R.Platform.OnProcess = nullptr;
    EXPECT_EQ(R.Run("root"), "6 files of 6 have been successfully converted. 1 subfolder has been processed.");
}

// The folder as it is now: files added after it was shown are converted
// (and listed again on F5); an output folder that cannot be written stops
// the run before it starts; a summary names ten failures and counts the rest.
TEST(FolderRun, FreshFolderUnwritableOutputAndManyFailures) {
    TFolderRun R;
    R.PutFile("root", "a.gif", SmallGif());
    R.ShowFolder("root");
    for (int I = 0; I < 12; ++I) R.PutFile("root", "bad" + std::to_string(10 + I) + ".gif", Bytes{'x'});
    R.PutFile("root/new", "n.gif", SmallGif());
    EXPECT_EQ(R.Form->LV1.RowCount(), 1);
    R.Form->RefreshFolder();
    EXPECT_EQ(R.Form->LV1.RowCount(), 13);
    R.ShowFolder("root");
    const std::string Summary = R.Run("root");
    EXPECT_EQ(Summary.substr(0, Summary.find('\n')),
              "2 files of 14 have been successfully converted. 1 subfolder has been processed.");
    EXPECT_NE(Summary.find(R.Platform.Folder("root") + "bad19.gif: "), std::string::npos) << Summary;
    EXPECT_EQ(Summary.find("bad20.gif"), std::string::npos) << Summary;
    EXPECT_EQ(Summary.substr(Summary.rfind('\n') + 1), "... and 2 more.");
    EXPECT_TRUE(fs::exists(R.Out + "new/n.swf"));

    R.Platform.ReadOnly.insert(R.Out);
    R.Platform.Messages.clear();
    for (bool Single : {false, true}) {
        R.Form->RBSingle.SetChecked(Single);
        R.Form->RBFolder.SetChecked(!Single);
        R.SelectFile(0);
        try {
            R.Form->btnStartClick();
            ADD_FAILURE() << "started into a folder that cannot be written";
        } catch (const std::runtime_error& E) {
            EXPECT_EQ(std::string(E.what()), "The output folder " + R.Out +
                                                 " cannot be written. Choose another one with \"Select folder...\".");
        }
    }
    EXPECT_TRUE(R.Platform.Messages.empty());
}

TEST(FolderRun, AnErrorInTheFolderItselfEndsTheRun) {
    TFolderRun R;
    R.PutFile("root", "a.gif", SmallGif());
    R.PutFile("root", "b.gif", SmallGif());
    R.Platform.OnProcess = [&](int Call) {
        if (Call == 3) throw std::runtime_error("disk full");
    };
    R.ShowFolder("root");
    EXPECT_THROW(R.Form->btnStartClick(), std::runtime_error);
    EXPECT_TRUE(R.Platform.Messages.empty());  // no summary
    EXPECT_TRUE(R.Platform.TempFiles().empty());
    EXPECT_FALSE(R.Platform.Busy);
    EXPECT_FALSE(R.Form->RzB.Visible());
}

TEST(SingleRun, ModeSwitchSelectionAndOutcome) {
    TWindowFixture W;
    W.Form->FormCreate();
    W.Form->OutputFolder = W.Platform.Folder("out");
    for (const char* N : {"a.gif", "b.gif", "c.gif"}) W.PutFile("gifs", N, SmallGif());
    W.ShowFolder("gifs");
    EXPECT_EQ(W.Form->SelectedIndex, -1);
    W.Form->RBSingleClick();
    EXPECT_FALSE(W.Form->btnStart.Enabled());
    EXPECT_TRUE(W.Form->EURL.Enabled());
    W.SelectFile(2);
    EXPECT_TRUE(W.Form->btnStart.Enabled());
    EXPECT_EQ(W.Form->RzP2.Text(), "File: 3/3");
    EXPECT_EQ(W.Form->SelectedIndex, 2);
    W.Form->btnStartClick();
    ASSERT_EQ(W.Platform.Messages.size(), 1u);
    EXPECT_EQ(W.Platform.Messages[0].Text, "The file c.swf has been successfully created.");
    EXPECT_EQ(W.Platform.Opened.size(), 1u);  // the test page
    EXPECT_TRUE(fs::exists(W.Platform.Folder("out") + "c.html"));
    // Folder mode: the link controls go, Start stays enabled without a selection.
    W.Form->RBSingle.SetChecked(false);
    W.Form->RBFolder.SetChecked(true);
    W.Form->RBSingleClick();
    EXPECT_FALSE(W.Form->EURL.Enabled());
    EXPECT_FALSE(W.Form->GroupBox4.Enabled());
    W.Form->LV1SelectItem(2, false);
    EXPECT_TRUE(W.Form->btnStart.Enabled());
    W.Form->RBSingle.SetChecked(true);
    W.Form->RBFolder.SetChecked(false);
    W.Form->LV1SelectItem(2, false);
    EXPECT_FALSE(W.Form->btnStart.Enabled());
}
