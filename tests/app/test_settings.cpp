#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "AppTestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace {

auto& Key(TFakePlatform& P) { return P.Store[TfrmMain::RegistryKey]; }

}  // namespace

TEST(Settings, FirstRunWithAnEmptyStore) {
    TWindowFixture W;
    W.Form->Window.SetLeft(300);
    W.Form->FormCreate();
    // Movies go to the user's pictures folder, else the home folder,
    // never the program's folder; the tree opens on the home folder.
    EXPECT_EQ(W.Form->OutputFolder, W.Platform.Home);
    EXPECT_EQ(W.Form->JamPathLabel1.Text(), W.Platform.Home);
    EXPECT_EQ(W.Form->Window.Left(), 0);
    EXPECT_EQ(W.Form->Window.Top(), 0);
    EXPECT_EQ(W.Form->Window.Width(), TfrmMain::DesignWidth);
    EXPECT_EQ(W.Form->Window.MinWidth(), TfrmMain::DesignWidth);
    EXPECT_EQ(W.Form->Window.MinHeight(), TfrmMain::DesignHeight);
    EXPECT_EQ(W.Form->FTree.SelectedFolder(), ExcludeTrailingDelim(W.Platform.Home));
    EXPECT_EQ(W.Platform.MutexesCreated, 1);
    EXPECT_EQ(W.Form->HelpFile, W.Platform.ProgramDir + "Anivert.hlp");
    EXPECT_FALSE(W.Form->CommandLineMode);
    EXPECT_FALSE(W.Form->btnStart.Enabled());
    W.Form->TBItem1Click();
    ASSERT_EQ(W.Platform.HelpShown.size(), 1u);
    EXPECT_EQ(W.Platform.HelpShown[0].second, 11);
    // Installed: the pictures folder of the desktop, the help page among
    // the shared files (../share/anivert/ from the program's folder).
    TWindowFixture I;
    I.Platform.Pictures = I.Platform.Folder("home/Pictures");
    const std::string Shared = I.Platform.Folder("share/anivert");
    I.Form->FormCreate();
    EXPECT_EQ(I.Form->OutputFolder, I.Platform.Pictures);
    EXPECT_EQ(I.Form->HelpFile, Shared + "Anivert.hlp");
}

TEST(Settings, StoredValuesAndTheWindowRectangle) {
    TWindowFixture W;
    const std::string Out = W.Platform.Folder("movies");
    const std::string Last = W.Platform.Folder("gifs");
    Key(W.Platform) = {{"LastDir", Last}, {"OutputFolder", Out}, {"L", 10}, {"T", 20}, {"W", 900}, {"H", 500},
                       {"Compact", 1}, {"Salvage", 1}, {"LoopAsGif", 1}, {"AllowLarge", 1}};
    W.Form->FormCreate();
    // "Allow very large movies": no budget but the decoder's limits.
    EXPECT_TRUE(W.Form->AllowLarge1.Checked());
    EXPECT_EQ(W.Form->Options.MaxPixels, TMovieOptions::UnlimitedPixels);
    EXPECT_TRUE(W.Form->Options.Compact);
    EXPECT_TRUE(W.Form->CompactMovies1.Checked());
    EXPECT_TRUE(W.Form->Options.Salvage);
    EXPECT_TRUE(W.Form->SalvageGifs1.Checked());
    EXPECT_TRUE(W.Form->Options.LoopAsGif);
    EXPECT_TRUE(W.Form->LoopAsGif1.Checked());
    EXPECT_EQ(W.Form->OutputFolder, Out);
    EXPECT_EQ(W.Form->FTree.SelectedFolder(), ExcludeTrailingDelim(Last));
    EXPECT_EQ(W.Form->Window.Left(), 10);
    EXPECT_EQ(W.Form->Window.Height(), 500);
    // Closing saves them back, the browsed folder and the window's changes included.
    W.Form->FTree.SetSelectedFolder(Out);
    W.Form->Window.SetWidth(1000);
    W.Form->CompactMovies1.SetChecked(false);
    W.Form->MovieOptionsClick();
    EXPECT_TRUE(W.Form->Options.LoopAsGif);
    W.Form->FormClose();
    EXPECT_EQ(std::get<std::int32_t>(Key(W.Platform)["Compact"]), 0);
    EXPECT_EQ(std::get<std::int32_t>(Key(W.Platform)["Salvage"]), 1);
    EXPECT_EQ(std::get<std::int32_t>(Key(W.Platform)["LoopAsGif"]), 1);
    EXPECT_EQ(std::get<std::int32_t>(Key(W.Platform)["AllowLarge"]), 1);
    EXPECT_EQ(std::get<std::string>(Key(W.Platform)["LastDir"]), ExcludeTrailingDelim(Out));
    EXPECT_EQ(std::get<std::int32_t>(Key(W.Platform)["W"]), 1000);
    EXPECT_EQ(std::get<std::string>(Key(W.Platform)["OutputFolder"]), Out);
}

TEST(Settings, ReadingStopsAtTheFirstMissingValue) {
    TWindowFixture W;
    Key(W.Platform) = {{"L", 10}, {"T", 20}, {"H", 500}};
    W.Form->FormCreate();
    EXPECT_EQ(W.Form->Window.Left(), 0);
    EXPECT_EQ(W.Form->Window.Top(), 0);
    EXPECT_EQ(W.Form->Window.Width(), TfrmMain::DesignWidth);
    EXPECT_EQ(W.Form->Window.Height(), TfrmMain::DesignHeight);
    // A value that is not an integer is a failed read too; a missing
    // output folder and last folder fall back.
    TWindowFixture V;
    Key(V.Platform) = {{"L", std::string("ten")}, {"OutputFolder", std::string("/no/such/folder")},
                       {"LastDir", std::string("/no/such/folder")}, {"Compact", std::string("yes")},
                       {"LoopAsGif", std::string("1")}};
    V.Form->Window.SetTop(77);
    V.Form->FormCreate();
    EXPECT_EQ(V.Form->Window.Top(), 0);
    EXPECT_EQ(V.Form->OutputFolder, V.Platform.Home);
    EXPECT_EQ(V.Form->FTree.SelectedFolder(), ExcludeTrailingDelim(V.Platform.Home));
    EXPECT_FALSE(V.Form->Options.Compact);
    EXPECT_FALSE(V.Form->Options.LoopAsGif);
    // A store that cannot be opened: nothing loaded, nothing saved.
    TWindowFixture F;
    F.Platform.FailSettings = true;
    F.Form->FormCreate();
    EXPECT_EQ(F.Form->OutputFolder, F.Platform.Home);
    F.Form->FormClose();
    EXPECT_TRUE(F.Platform.Store.empty());
}

TEST(Settings, ChoosingTheOutputFolder) {
    TWindowFixture W;
    W.Form->FormCreate();
    W.Platform.BrowseResult = W.Platform.Folder("chosen");
    W.Form->btnSelectFolderClick();
    EXPECT_EQ(W.Form->OutputFolder, W.Platform.Folder("chosen"));
    EXPECT_EQ(W.Form->JamPathLabel1.Text(), W.Platform.Folder("chosen"));
    W.Platform.BrowseResult.reset();
    W.Form->btnSelectFolderClick();
    EXPECT_EQ(W.Form->OutputFolder, W.Platform.Folder("chosen"));
    // The new folder is used at once.
    const std::string Gif = W.PutFile("gifs", "one.gif", MakeGif(4, 4, {{0, 0, 4, 4}}));
    W.Form->RBSingle.SetChecked(false);
    W.Form->RBFolder.SetChecked(true);
    EXPECT_TRUE(W.Form->ConvertNow(Gif, ""));
    EXPECT_TRUE(std::filesystem::exists(W.Platform.Folder("chosen") + "one.swf"));
}

TEST(Settings, CommandLineConversion) {
    TWindowFixture W;
    const std::string Stored = W.Platform.Folder("stored");
    Key(W.Platform) = {{"OutputFolder", Stored}};
    const std::string Gif = W.PutFile("gifs", "cmd.gif", MakeGif(4, 4, {{0, 0, 4, 4}}));
    W.Platform.Args = {Gif, "ignored"};
    W.Form->FormCreate();
    EXPECT_TRUE(W.Form->CommandLineMode);
    EXPECT_TRUE(std::filesystem::exists(W.Platform.Folder("gifs") + "cmd.swf"));  // beside the GIF
    EXPECT_TRUE(W.Platform.Messages.empty());
    EXPECT_TRUE(W.Platform.Opened.empty());
    EXPECT_TRUE(W.Form->Window.Closed());
    W.Form->FormClose();
    EXPECT_EQ(std::get<std::string>(Key(W.Platform)["OutputFolder"]), Stored);  // not saved

    // A path that does not exist: a normal start.
    TWindowFixture N;
    N.Platform.Args = {"/no/such/file.gif"};
    N.Form->FormCreate();
    EXPECT_FALSE(N.Form->CommandLineMode);
    EXPECT_FALSE(N.Form->Window.Closed());

    // A bare file name is a file of the current folder: its movie goes
    // beside it, not to the stored output folder.
    TWindowFixture B;
    const std::string Out = B.Platform.Folder("stored");
    Key(B.Platform) = {{"OutputFolder", Out}};
    B.PutFile("cwd", "bare.gif", MakeGif(4, 4, {{0, 0, 4, 4}}));
    const std::string Old = std::filesystem::current_path().string();
    std::filesystem::current_path(B.Platform.Folder("cwd"));
    B.Platform.Current = B.Platform.Folder("cwd");
    B.Platform.Args = {"bare.gif"};
    B.Form->FormCreate();
    std::filesystem::current_path(Old);
    EXPECT_TRUE(B.Form->LastJobSucceeded);
    EXPECT_TRUE(std::filesystem::exists(B.Platform.Folder("cwd") + "bare.swf"));
    EXPECT_FALSE(std::filesystem::exists(Out + "bare.swf"));
}
