#include "Platform.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace anivert {

namespace fs = std::filesystem;

bool HasTrailingDelim(const std::string& Path) { return !Path.empty() && Path.back() == PathDelim; }

std::string IncludeTrailingDelim(const std::string& Path) { return HasTrailingDelim(Path) ? Path : Path + PathDelim; }

std::string ExcludeTrailingDelim(const std::string& Path) {
    std::string P = Path;
    while (P.size() > 1 && P.back() == PathDelim) P.pop_back();
    return P;
}

std::string ExtractFileName(const std::string& Path) {
    const std::size_t Slash = Path.find_last_of(PathDelim);
    return Slash == std::string::npos ? Path : Path.substr(Slash + 1);
}

std::string ExtractFilePath(const std::string& Path) {
    const std::size_t Slash = Path.find_last_of(PathDelim);
    return Slash == std::string::npos ? std::string() : Path.substr(0, Slash + 1);
}

std::string ChangeFileExt(const std::string& Path, const std::string& Ext) {
    const std::size_t Slash = Path.find_last_of(PathDelim);
    const std::size_t Dot = Path.find_last_of('.');
    if (Dot == std::string::npos || (Slash != std::string::npos && Dot < Slash)) return Path + Ext;
    return Path.substr(0, Dot) + Ext;
}

bool IsGifFileName(const std::string& Name) {
    if (Name.size() < 4) return false;
    std::string Ext = Name.substr(Name.size() - 4);
    for (char& C : Ext) C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
    return Ext == ".gif";
}

namespace {

// Name order as a folder view shows it: letter case ignored first.
bool NameLess(const std::string& A, const std::string& B) {
    const auto Lower = [](std::string S) {
        for (char& C : S) C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
        return S;
    };
    const std::string LA = Lower(A), LB = Lower(B);
    return LA != LB ? LA < LB : A < B;
}

std::vector<std::string> ListFolder(const std::string& Folder, bool Folders) {
    std::vector<std::string> Names;
    std::error_code EC;
    // A folder that cannot be read (or stops being readable) lists what
    // was read.
    for (fs::directory_iterator It(Folder, fs::directory_options::skip_permission_denied, EC), End;
         !EC && It != End; It.increment(EC)) {
        std::error_code TypeEC;
        const bool IsDir = It->is_directory(TypeEC);
        if (TypeEC) continue;
        const std::string Name = It->path().filename().string();
        if (Folders ? IsDir : (!IsDir && IsGifFileName(Name))) Names.push_back(Name);
    }
    std::sort(Names.begin(), Names.end(), NameLess);
    return Names;
}

}  // namespace

std::vector<std::string> ListSubFolders(const std::string& Folder) { return ListFolder(Folder, true); }

std::vector<std::string> ListGifFiles(const std::string& Folder) { return ListFolder(Folder, false); }

// ------------------------------------------------------------ TFileSystemFolderTree

void TFileSystemFolderTree::SetSelectedFolder(const std::string& Path) {
    const std::string P = ExcludeTrailingDelim(Path);
    if (P == FSelected) return;
    FSelected = P;
    if (OnChange) OnChange();
}

TTreeNode TFileSystemFolderTree::FirstChild(const TTreeNode& Node) {
    const auto Subs = ListSubFolders(Node);
    return Subs.empty() ? TTreeNode() : IncludeTrailingDelim(Node) + Subs.front();
}

TTreeNode TFileSystemFolderTree::LastChild(const TTreeNode& Node) {
    const auto Subs = ListSubFolders(Node);
    return Subs.empty() ? TTreeNode() : IncludeTrailingDelim(Node) + Subs.back();
}

TTreeNode TFileSystemFolderTree::NextSibling(const TTreeNode& Node) {
    const std::string Parent = ExcludeTrailingDelim(ExtractFilePath(ExcludeTrailingDelim(Node)));
    const std::string Name = ExtractFileName(ExcludeTrailingDelim(Node));
    const auto Subs = ListSubFolders(Parent.empty() ? std::string(1, PathDelim) : Parent);
    auto It = std::find(Subs.begin(), Subs.end(), Name);
    if (It == Subs.end() || ++It == Subs.end()) return TTreeNode();
    return IncludeTrailingDelim(Parent) + *It;
}

std::string TFileSystemFolderTree::NodeText(const TTreeNode& Node) { return ExtractFileName(ExcludeTrailingDelim(Node)); }

// ------------------------------------------------------------ TFileSystemFileList

std::vector<std::string> TFileSystemFileList::SelectedFiles() const {
    if (FSelectedRow < 0 || FSelectedRow >= RowCount()) return {};
    return {FRows[static_cast<std::size_t>(FSelectedRow)]};
}

void TFileSystemFileList::Refresh() {
    FRows.clear();
    FSelectedRow = -1;
    const std::string Folder = FFolder ? FFolder() : std::string();
    if (Folder.empty()) return;
    for (const std::string& Name : ListGifFiles(Folder)) FRows.push_back(IncludeTrailingDelim(Folder) + Name);
}

void TFileSystemFileList::SetRows(std::vector<std::string> Rows) {
    FRows = std::move(Rows);
    FSelectedRow = FRows.empty() ? -1 : 0;
}

}  // namespace anivert
