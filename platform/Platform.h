// The desktop services and window controls the conversion workflow uses.
// The workflow calls only these interfaces; the desktop program binds them
// to its toolkit, the command-line converter to the file system and the
// terminal, and the tests to fakes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace anivert {

// The path separator of this platform and the "trailing backslash" rules.
constexpr char PathDelim = '/';
bool HasTrailingDelim(const std::string& Path);
std::string IncludeTrailingDelim(const std::string& Path);
std::string ExcludeTrailingDelim(const std::string& Path);
// The file-name part of a path (no folder).
std::string ExtractFileName(const std::string& Path);
// The folder part of a path, with its trailing separator; empty without one.
std::string ExtractFilePath(const std::string& Path);
// The path with its extension (from the last dot of the file name on)
// replaced by Ext; a name without extension gets Ext appended.
std::string ChangeFileExt(const std::string& Path, const std::string& Ext);
// Whether a file name matches "*.gif", letter case ignored.
bool IsGifFileName(const std::string& Name);

// ------------------------------------------------------------ services

enum class TMsgIcon { Information, Error, Question };
enum class TMsgButtons { OK, YesNo };
enum class TMsgResult { OK, Yes, No };

// One open key of the per-user settings store.
class TSettingsKey {
public:
    virtual ~TSettingsKey() = default;
    // A missing value, or one that is not an integer, reads as failure.
    virtual bool ReadString(const std::string& Name, std::string& Value) = 0;
    virtual bool ReadInteger(const std::string& Name, std::int32_t& Value) = 0;
    virtual void WriteString(const std::string& Name, const std::string& Value) = 0;
    virtual void WriteInteger(const std::string& Name, std::int32_t Value) = 0;
};

// A named system-wide mutex, held until destroyed.
class TNamedMutex {
public:
    virtual ~TNamedMutex() = default;
};

class TPlatform {
public:
    virtual ~TPlatform() = default;

    // Message box owned by the application; modal.
    virtual TMsgResult MessageBox(const std::string& Text, const std::string& Title, TMsgIcon Icon,
                                  TMsgButtons Buttons) = 0;
    // Hourglass (true) or the default cursor.
    virtual void SetBusyCursor(bool Busy) = 0;
    // Lets repaints and key presses be handled.
    virtual void ProcessMessages() = 0;
    // The chosen folder, or nothing when the user cancels.
    virtual std::optional<std::string> BrowseForFolder(const std::string& Initial) = 0;
    // Opens (creating when asked) a key path such as "\Software\Tarnwick\Anivert\1.0";
    // null when it cannot be opened.
    virtual std::unique_ptr<TSettingsKey> OpenSettings(const std::string& KeyPath, bool Create) = 0;
    // Shows the help file with a help command (11: contents and index).
    virtual void ShowHelp(const std::string& HelpFile, int Command) = 0;
    virtual std::unique_ptr<TNamedMutex> CreateNamedMutex(const std::string& Name) = 0;
    // The system's temporary folder with its trailing separator, at most 255 characters.
    virtual std::string TempFolder() = 0;
    // Opens a document with its default program; failures are ignored.
    virtual void OpenDocument(const std::string& Path) = 0;

    // File system. Failures are reported as false (or -1), never raised.
    virtual bool FileExists(const std::string& Path) = 0;
    virtual bool DirectoryExists(const std::string& Path) = 0;
    // Creates one folder level (no parents).
    virtual bool CreateDir(const std::string& Path) = 0;
    virtual bool DeleteFile(const std::string& Path) = 0;
    // Gives a file another name in the same file system (replacing a file
    // of that name); false where it cannot, or where renaming is not offered.
    virtual bool RenameFile(const std::string&, const std::string&) { return false; }
    // The size by a directory search; -1 when the file is not found.
    virtual std::int64_t FileSize(const std::string& Path) = 0;
    virtual std::string ExecutablePath() = 0;
    virtual std::vector<std::string> CommandLineArgs() = 0;
    // Whether files can be made in an existing folder.
    virtual bool DirectoryWritable(const std::string& Path) { return DirectoryExists(Path); }
    // A path made absolute against the current folder.
    virtual std::string ExpandFileName(const std::string& Path) { return Path; }
    // The user's home folder, and where the desktop keeps the user's
    // pictures (the home folder where it names none); empty where there
    // is no user.
    virtual std::string HomeFolder() { return std::string(); }
    virtual std::string PicturesFolder() { return HomeFolder(); }
    // Shows the about box modally; nothing where there is no window.
    virtual void ShowAbout() {}
    // Raises EStopNow when the user asked to stop at once; called where
    // long work (a large GIF's loading) goes on without messages.
    virtual void CheckStop() {}
    // A file that did not become a movie, and why: terminals print it,
    // windows have shown their message already.
    virtual void ReportFailure(const std::string& Path, const std::string& Reason) {
        static_cast<void>(Path);
        static_cast<void>(Reason);
    }
    // A damaged file that became the movie of what could be read, and
    // what was left out.
    virtual void ReportSalvaged(const std::string& Path, const std::string& Reason) {
        static_cast<void>(Path);
        static_cast<void>(Reason);
    }
};

// Raised from ProcessMessages when the user asks to stop at once (a second
// Ctrl-C, or a signal to end): every job and run leaves at once, removing
// what it made. Not a std::exception, so that no handler of errors takes it.
struct EStopNow {
    int Signal = 0;
};

// ------------------------------------------------------------ controls

// The state of a window control. Front ends subclass the controls to mirror
// the state in their widgets; the plain classes serve command-line runs and
// tests.
class TControl {
public:
    virtual ~TControl() = default;
    virtual bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool Value) { FEnabled = Value; }
    virtual bool Visible() const { return FVisible; }
    virtual void SetVisible(bool Value) { FVisible = Value; }

private:
    bool FEnabled = true;
    bool FVisible = true;
};

class TButton : public TControl {};
class TGroupBox : public TControl {};

class TCheckBox : public TControl {
public:
    virtual bool Checked() const { return FChecked; }
    virtual void SetChecked(bool Value) { FChecked = Value; }

private:
    bool FChecked = false;
};

class TRadioButton : public TControl {
public:
    virtual bool Checked() const { return FChecked; }
    virtual void SetChecked(bool Value) { FChecked = Value; }

private:
    bool FChecked = false;
};

// Edits, labels and status panes: a control with a text.
class TTextControl : public TControl {
public:
    virtual std::string Text() const { return FText; }
    virtual void SetText(const std::string& Value) { FText = Value; }

private:
    std::string FText;
};

class TEdit : public TTextControl {};
class TLabel : public TTextControl {};
class TStatusPane : public TTextControl {};

class TProgressBar : public TControl {
public:
    virtual int Percent() const { return FPercent; }
    virtual void SetPercent(int Value) { FPercent = Value; }

private:
    int FPercent = 0;
};

// The window frame: position, size, closing.
class TWindowFrame {
public:
    virtual ~TWindowFrame() = default;
    virtual std::int32_t Left() const { return FLeft; }
    virtual std::int32_t Top() const { return FTop; }
    virtual std::int32_t Width() const { return FWidth; }
    virtual std::int32_t Height() const { return FHeight; }
    virtual void SetLeft(std::int32_t V) { FLeft = V; }
    virtual void SetTop(std::int32_t V) { FTop = V; }
    virtual void SetWidth(std::int32_t V) { FWidth = V; }
    virtual void SetHeight(std::int32_t V) { FHeight = V; }
    // Fixes the smallest size the window may take.
    virtual void SetMinimumSize(std::int32_t W, std::int32_t H) {
        FMinWidth = W;
        FMinHeight = H;
    }
    std::int32_t MinWidth() const { return FMinWidth; }
    std::int32_t MinHeight() const { return FMinHeight; }
    virtual void Close() { FClosed = true; }
    bool Closed() const { return FClosed; }

private:
    std::int32_t FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0, FMinWidth = 0, FMinHeight = 0;
    bool FClosed = false;
};

// A node of the folder tree: its folder's path; empty for none.
using TTreeNode = std::string;

// The folder tree: its selected folder and the child nodes of a node in the
// tree's order.
class TFolderTree {
public:
    virtual ~TFolderTree() = default;
    virtual std::string SelectedFolder() const = 0;
    // Selects a folder; fires OnChange when the selection changes.
    virtual void SetSelectedFolder(const std::string& Path) = 0;
    virtual TTreeNode Selected() const = 0;
    virtual void Expand(const TTreeNode& Node) = 0;
    virtual TTreeNode FirstChild(const TTreeNode& Node) = 0;
    virtual TTreeNode LastChild(const TTreeNode& Node) = 0;
    virtual TTreeNode NextSibling(const TTreeNode& Node) = 0;
    virtual std::string NodeText(const TTreeNode& Node) = 0;
    // Reads a node's sub-folders afresh (trees that keep what they read).
    virtual void Refresh(const TTreeNode& Node) { static_cast<void>(Node); }
    std::function<void()> OnChange;
    // The selected folder was selected again.
    std::function<void()> OnReselect;
};

// The file list: the GIF files of a folder, one row each, single selection.
class TFileList {
public:
    virtual ~TFileList() = default;
    virtual int RowCount() const = 0;
    virtual std::string RowPath(int Row) const = 0;
    virtual bool RowSelected(int Row) const = 0;
    virtual std::vector<std::string> SelectedFiles() const = 0;
    // Shows the files of the folder now selected in the tree.
    virtual void Refresh() = 0;
};

// ------------------------------------------------------------ file-system controls

// A folder tree over the file system: children are the sub-folders
// (hidden ones included) in name order.
class TFileSystemFolderTree : public TFolderTree {
public:
    std::string SelectedFolder() const override { return FSelected; }
    void SetSelectedFolder(const std::string& Path) override;
    TTreeNode Selected() const override { return FSelected; }
    void Expand(const TTreeNode&) override {}
    TTreeNode FirstChild(const TTreeNode& Node) override;
    TTreeNode LastChild(const TTreeNode& Node) override;
    TTreeNode NextSibling(const TTreeNode& Node) override;
    std::string NodeText(const TTreeNode& Node) override;

private:
    std::string FSelected;
};

// A file list over the file system: the "*.gif" files (any letter case) of
// a folder in name order.
class TFileSystemFileList : public TFileList {
public:
    explicit TFileSystemFileList(std::function<std::string()> AFolder) : FFolder(std::move(AFolder)) {}
    int RowCount() const override { return static_cast<int>(FRows.size()); }
    std::string RowPath(int Row) const override { return FRows.at(static_cast<std::size_t>(Row)); }
    bool RowSelected(int Row) const override { return Row == FSelectedRow; }
    std::vector<std::string> SelectedFiles() const override;
    void Refresh() override;
    // Shows the given files instead of a folder's (for a list of single files).
    void SetRows(std::vector<std::string> Rows);
    void Select(int Row) { FSelectedRow = Row; }

private:
    std::function<std::string()> FFolder;
    std::vector<std::string> FRows;
    int FSelectedRow = -1;
};

// Sub-folders of a folder in name order (hidden ones included); files of a
// folder accepted by a filter, in name order.
std::vector<std::string> ListSubFolders(const std::string& Folder);
std::vector<std::string> ListGifFiles(const std::string& Folder);

}  // namespace anivert
