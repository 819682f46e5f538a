// A platform for the tests of the main window's logic: real files under a
// temporary folder, everything interactive recorded or scripted.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "Platform.h"
#include "TestUtil.h"

namespace anivert::test {

struct TShownMessage {
    std::string Text;
    std::string Title;
    TMsgIcon Icon;
    TMsgButtons Buttons;
};

class TFakePlatform : public TPlatform {
public:
    TFakePlatform();

    // Where everything lives: the program's folder, the temporary folder.
    TempDir Root;
    std::string ProgramDir;
    std::string Temp;

    std::vector<TShownMessage> Messages;
    std::deque<TMsgResult> Answers;  // for Yes/No questions; Yes when empty
    bool Busy = false;
    int ProcessCalls = 0;
    std::function<void(int Call)> OnProcess;
    std::optional<std::string> BrowseResult;
    std::vector<std::string> Opened;
    std::vector<std::pair<std::string, int>> HelpShown;
    std::vector<std::string> Args;
    bool FailCreateDir = false;
    bool FailSettings = false;
    int MutexesCreated = 0;
    // The settings store: key path -> name -> string or integer.
    std::map<std::string, std::map<std::string, std::variant<std::string, std::int32_t>>> Store;

    TMsgResult MessageBox(const std::string& Text, const std::string& Title, TMsgIcon Icon,
                          TMsgButtons Buttons) override;
    void SetBusyCursor(bool B) override { Busy = B; }
    void ProcessMessages() override;
    std::optional<std::string> BrowseForFolder(const std::string&) override { return BrowseResult; }
    std::unique_ptr<TSettingsKey> OpenSettings(const std::string& KeyPath, bool Create) override;
    void ShowHelp(const std::string& File, int Command) override { HelpShown.emplace_back(File, Command); }
    std::unique_ptr<TNamedMutex> CreateNamedMutex(const std::string&) override;
    std::string TempFolder() override { return Temp; }
    void OpenDocument(const std::string& Path) override { Opened.push_back(Path); }
    bool FileExists(const std::string& Path) override;
    bool DirectoryExists(const std::string& Path) override;
    bool CreateDir(const std::string& Path) override;
    bool DeleteFile(const std::string& Path) override;
    bool RenameFile(const std::string& From, const std::string& To) override;
    std::int64_t FileSize(const std::string& Path) override;
    std::string ExecutablePath() override { return ProgramDir + "anivert"; }
    std::vector<std::string> CommandLineArgs() override { return Args; }
    void ShowAbout() override { ++AboutShown; }
    int AboutShown = 0;
    // The user's folders: home, pictures (none: the home folder stands in);
    // folders that cannot be written; the current folder.
    std::string Home;
    std::string Pictures;
    std::set<std::string> ReadOnly;
    std::string Current;
    bool DirectoryWritable(const std::string& Path) override {
        return DirectoryExists(Path) && !ReadOnly.count(IncludeTrailingDelim(Path));
    }
    std::string ExpandFileName(const std::string& Path) override;
    std::string HomeFolder() override { return Home; }
    std::string PicturesFolder() override { return Pictures.empty() ? Home : Pictures; }

    // Files left in the temporary folder; with Ext, those whose names end
    // with it.
    std::vector<std::string> TempFiles(const std::string& Ext = "") const;
    // A folder under the root (created), with its trailing separator.
    std::string Folder(const std::string& Name) const;
};

}  // namespace anivert::test
