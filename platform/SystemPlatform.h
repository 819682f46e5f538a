// The services of this system that need no window: files, folders, the
// temporary folder, the per-user settings store, the named mutex and
// opening documents. Front ends add the interactive services.
#pragma once

#include "Platform.h"

namespace anivert {

class TSystemPlatform : public TPlatform {
public:
    // Args: the program's command-line arguments (without the program name).
    explicit TSystemPlatform(std::vector<std::string> Args = {}) : FArgs(std::move(Args)) {}

    // Settings live in the per-user store under organisation "Tarnwick" and
    // application "Anivert"; a key path's last part is the group.
    std::unique_ptr<TSettingsKey> OpenSettings(const std::string& KeyPath, bool Create) override;
    std::unique_ptr<TNamedMutex> CreateNamedMutex(const std::string& Name) override;
    std::string TempFolder() override;
    void OpenDocument(const std::string& Path) override;
    bool FileExists(const std::string& Path) override;
    bool DirectoryExists(const std::string& Path) override;
    bool CreateDir(const std::string& Path) override;
    bool DeleteFile(const std::string& Path) override;
    bool RenameFile(const std::string& From, const std::string& To) override;
    std::int64_t FileSize(const std::string& Path) override;
    std::string ExecutablePath() override;
    std::vector<std::string> CommandLineArgs() override { return FArgs; }
    bool DirectoryWritable(const std::string& Path) override;
    std::string ExpandFileName(const std::string& Path) override;
    // $HOME, else the password database's entry.
    std::string HomeFolder() override;
    // The desktop's pictures folder (XDG_PICTURES_DIR) when it exists.
    std::string PicturesFolder() override;

private:
    std::vector<std::string> FArgs;
};

}  // namespace anivert
