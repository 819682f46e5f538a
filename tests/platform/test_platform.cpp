#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "Platform.h"
#include "SystemPlatform.h"
#include "TestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace fs = std::filesystem;

namespace {

// The system's services with the interactive ones answered quietly.
class TQuietSystem : public TSystemPlatform {
public:
    using TSystemPlatform::TSystemPlatform;
    TMsgResult MessageBox(const std::string&, const std::string&, TMsgIcon, TMsgButtons) override { return TMsgResult::OK; }
    void SetBusyCursor(bool) override {}
    void ProcessMessages() override {}
    std::optional<std::string> BrowseForFolder(const std::string&) override { return std::nullopt; }
    void ShowHelp(const std::string&, int) override {}
};

}  // namespace

TEST(Paths, SeparatorsNamesAndExtensions) {
    EXPECT_EQ(IncludeTrailingDelim("/a/b"), "/a/b/");
    EXPECT_EQ(IncludeTrailingDelim("/a/b/"), "/a/b/");
    EXPECT_EQ(ExcludeTrailingDelim("/a/b//"), "/a/b");
    EXPECT_EQ(ExcludeTrailingDelim("/"), "/");
    EXPECT_EQ(ExtractFileName("/x/y/anim.gif"), "anim.gif");
    EXPECT_EQ(ExtractFileName("anim.gif"), "anim.gif");
    EXPECT_EQ(ExtractFilePath("/x/y/anim.gif"), "/x/y/");
    EXPECT_EQ(ExtractFilePath("anim.gif"), "");
    EXPECT_EQ(ChangeFileExt("/x/anim.GIF", ".swf"), "/x/anim.swf");
    EXPECT_EQ(ChangeFileExt("/x.d/anim", ".swf"), "/x.d/anim.swf");
    EXPECT_EQ(ChangeFileExt("a.b.gif", ".html"), "a.b.html");
    EXPECT_TRUE(IsGifFileName("A.GIF"));
    EXPECT_TRUE(IsGifFileName("x.gIf"));
    EXPECT_FALSE(IsGifFileName("gif"));
    EXPECT_FALSE(IsGifFileName("x.gifs"));
}

TEST(FileSystemControls, TreeAndListFollowTheFolders) {
    TempDir D;
    for (const char* F : {"b", "A", "c", ".hidden"}) fs::create_directories(D.File(std::string("root/") + F));
    for (const char* F : {"z.gif", "B.GIF", "a.gif", "note.txt"}) WriteFileBytes(D.File(std::string("root/") + F), Bytes{1});
    fs::create_directories(D.File("root/dir.gif"));  // a folder is not a file
    TFileSystemFolderTree Tree;
    int Changes = 0;
    Tree.OnChange = [&] { ++Changes; };
    Tree.SetSelectedFolder(D.File("root/"));
    Tree.SetSelectedFolder(D.File("root"));
    EXPECT_EQ(Changes, 1);
    const TTreeNode Root = Tree.Selected();
    // Name order with letter case ignored; hidden folders included.
    std::vector<std::string> Names;
    for (TTreeNode N = Tree.FirstChild(Root); !N.empty(); N = Tree.NextSibling(N)) Names.push_back(Tree.NodeText(N));
    EXPECT_EQ(Names, (std::vector<std::string>{".hidden", "A", "b", "c", "dir.gif"}));
    EXPECT_EQ(Tree.NodeText(Tree.LastChild(Root)), "dir.gif");
    EXPECT_EQ(Tree.FirstChild(D.File("root/A")), "");

    TFileSystemFileList List([&] { return Tree.SelectedFolder(); });
    List.Refresh();
    ASSERT_EQ(List.RowCount(), 3);
    EXPECT_EQ(ExtractFileName(List.RowPath(0)), "a.gif");
    EXPECT_EQ(ExtractFileName(List.RowPath(1)), "B.GIF");
    EXPECT_TRUE(List.SelectedFiles().empty());
    List.Select(1);
    EXPECT_EQ(List.SelectedFiles(), (std::vector<std::string>{List.RowPath(1)}));
}

TEST(SystemPlatform, FilesFoldersAndSettings) {
    TempDir D;
    // The settings go to a per-user file under the configuration folder.
    setenv("XDG_CONFIG_HOME", D.File("config").c_str(), 1);
    TQuietSystem P({"a", "b"});
    EXPECT_EQ(P.CommandLineArgs(), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(HasTrailingDelim(P.TempFolder()));
    EXPECT_TRUE(P.DirectoryExists(P.TempFolder()));
    EXPECT_FALSE(P.ExecutablePath().empty());
    EXPECT_TRUE(P.CreateDir(D.File("one")));
    EXPECT_FALSE(P.CreateDir(D.File("x/y")));  // one level only
    EXPECT_TRUE(P.DirectoryExists(D.File("one")));
    EXPECT_FALSE(P.FileExists(D.File("one")));
    WriteFileBytes(D.File("f.bin"), Bytes(10, 0));
    EXPECT_TRUE(P.FileExists(D.File("f.bin")));
    EXPECT_EQ(P.FileSize(D.File("f.bin")), 10);
    EXPECT_EQ(P.FileSize(D.File("none")), -1);
    EXPECT_TRUE(P.DeleteFile(D.File("f.bin")));
    EXPECT_FALSE(P.DeleteFile(D.File("f.bin")));
    EXPECT_NE(P.CreateNamedMutex("anivert-test-mutex"), nullptr);
    {
        auto K = P.OpenSettings("\\Software\\Tarnwick\\Anivert\\1.0", true);
        ASSERT_NE(K, nullptr);
        K->WriteString("LastDir", "/some/where");
        K->WriteInteger("L", -12);
    }
    auto K = P.OpenSettings("\\Software\\Tarnwick\\Anivert\\1.0", true);
    std::string S;
    std::int32_t I = 0;
    EXPECT_TRUE(K->ReadString("LastDir", S));
    EXPECT_EQ(S, "/some/where");
    EXPECT_TRUE(K->ReadInteger("L", I));
    EXPECT_EQ(I, -12);
    EXPECT_FALSE(K->ReadInteger("LastDir", I));  // not an integer
    EXPECT_FALSE(K->ReadString("W", S));         // missing
    EXPECT_TRUE(fs::exists(D.File("config/Tarnwick/Anivert.conf")));
    EXPECT_EQ(P.OpenSettings("\\Elsewhere", true), nullptr);
}
