#include "SystemPlatform.h"

#include <fcntl.h>
#include <pwd.h>
#include <semaphore.h>
#include <unistd.h>

#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace anivert {

namespace fs = std::filesystem;

namespace {

QString Q(const std::string& S) { return QString::fromUtf8(S.data(), static_cast<qsizetype>(S.size())); }

class TQSettingsKey : public TSettingsKey {
public:
    TQSettingsKey(std::unique_ptr<QSettings> S, const QString& Group) : FSettings(std::move(S)) {
        if (!Group.isEmpty()) FSettings->beginGroup(Group);
    }
    ~TQSettingsKey() override { FSettings->sync(); }

    bool ReadString(const std::string& Name, std::string& Value) override {
        if (!FSettings->contains(Q(Name))) return false;
        Value = FSettings->value(Q(Name)).toString().toStdString();
        return true;
    }
    bool ReadInteger(const std::string& Name, std::int32_t& Value) override {
        if (!FSettings->contains(Q(Name))) return false;
        bool Ok = false;
        const int V = FSettings->value(Q(Name)).toInt(&Ok);
        if (!Ok) return false;
        Value = V;
        return true;
    }
    void WriteString(const std::string& Name, const std::string& Value) override { FSettings->setValue(Q(Name), Q(Value)); }
    void WriteInteger(const std::string& Name, std::int32_t Value) override { FSettings->setValue(Q(Name), Value); }

private:
    std::unique_ptr<QSettings> FSettings;
};

class TSemaphoreMutex : public TNamedMutex {
public:
    explicit TSemaphoreMutex(sem_t* S) : FSem(S) {}
    ~TSemaphoreMutex() override { sem_close(FSem); }

private:
    sem_t* FSem;
};

}  // namespace

std::unique_ptr<TSettingsKey> TSystemPlatform::OpenSettings(const std::string& KeyPath, bool Create) {
    // "\Software\<organisation>\<application>\<group...>"
    std::vector<std::string> Parts;
    std::stringstream SS(KeyPath);
    std::string Part;
    while (std::getline(SS, Part, '\\'))
        if (!Part.empty()) Parts.push_back(Part);
    if (Parts.size() < 3 || Parts[0] != "Software") return nullptr;
    QStringList Groups;
    for (std::size_t I = 3; I < Parts.size(); ++I) Groups << Q(Parts[I]);
    auto S = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, Q(Parts[1]), Q(Parts[2]));
    if (S->status() != QSettings::NoError) return nullptr;
    if (!Create) {
        if (!Groups.isEmpty() && !S->childGroups().contains(Groups.join('/').section('/', 0, 0))) return nullptr;
    }
    return std::make_unique<TQSettingsKey>(std::move(S), Groups.join('/'));
}

std::unique_ptr<TNamedMutex> TSystemPlatform::CreateNamedMutex(const std::string& Name) {
    sem_t* S = sem_open(("/" + Name).c_str(), O_CREAT, 0600, 1);
    if (S == SEM_FAILED) return nullptr;
    return std::make_unique<TSemaphoreMutex>(S);
}

std::string TSystemPlatform::TempFolder() {
    std::error_code EC;
    fs::path P = fs::temp_directory_path(EC);
    if (EC) P = "/tmp";
    return IncludeTrailingDelim(P.string());
}

void TSystemPlatform::OpenDocument(const std::string& Path) { QProcess::startDetached(QStringLiteral("xdg-open"), {Q(Path)}); }

bool TSystemPlatform::FileExists(const std::string& Path) {
    std::error_code EC;
    return fs::exists(Path, EC) && !fs::is_directory(Path, EC);
}

bool TSystemPlatform::DirectoryExists(const std::string& Path) {
    std::error_code EC;
    return !Path.empty() && fs::is_directory(Path, EC);
}

bool TSystemPlatform::CreateDir(const std::string& Path) {
    std::error_code EC;
    return fs::create_directory(ExcludeTrailingDelim(Path), EC) && !EC;
}

bool TSystemPlatform::DeleteFile(const std::string& Path) {
    std::error_code EC;
    return !fs::is_directory(Path, EC) && fs::remove(Path, EC);
}

bool TSystemPlatform::RenameFile(const std::string& From, const std::string& To) {
    std::error_code EC;
    fs::rename(From, To, EC);
    return !EC;
}

std::int64_t TSystemPlatform::FileSize(const std::string& Path) {
    std::error_code EC;
    const auto N = fs::file_size(Path, EC);
    return EC ? -1 : static_cast<std::int64_t>(N);
}

std::string TSystemPlatform::ExecutablePath() {
    std::error_code EC;
    const fs::path P = fs::read_symlink("/proc/self/exe", EC);
    return EC ? std::string() : P.string();
}

bool TSystemPlatform::DirectoryWritable(const std::string& Path) {
    return DirectoryExists(Path) && ::access(Path.c_str(), W_OK | X_OK) == 0;
}

std::string TSystemPlatform::ExpandFileName(const std::string& Path) {
    std::error_code EC;
    const fs::path P = fs::absolute(Path, EC);
    return EC ? Path : P.lexically_normal().string();
}

std::string TSystemPlatform::HomeFolder() {
    if (const char* Home = std::getenv("HOME"); Home && *Home) return Home;
    if (const passwd* User = ::getpwuid(::getuid()); User && User->pw_dir) return User->pw_dir;
    return std::string();
}

std::string TSystemPlatform::PicturesFolder() {
    const QString Pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const std::string Folder = Pictures.toStdString();
    return DirectoryExists(Folder) ? Folder : HomeFolder();
}

}  // namespace anivert
