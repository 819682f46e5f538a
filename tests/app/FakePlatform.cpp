#include "FakePlatform.h"

#include <filesystem>

namespace anivert::test {

namespace fs = std::filesystem;

namespace {

class TFakeKey : public TSettingsKey {
public:
    explicit TFakeKey(std::map<std::string, std::variant<std::string, std::int32_t>>& V) : Values(V) {}
    bool ReadString(const std::string& Name, std::string& Value) override {
        auto It = Values.find(Name);
        if (It == Values.end()) return false;
        if (auto* S = std::get_if<std::string>(&It->second)) Value = *S;
        else Value = std::to_string(std::get<std::int32_t>(It->second));
        return true;
    }
    bool ReadInteger(const std::string& Name, std::int32_t& Value) override {
        auto It = Values.find(Name);
        if (It == Values.end()) return false;
        if (auto* I = std::get_if<std::int32_t>(&It->second)) {
            Value = *I;
            return true;
        }
        return false;
    }
    void WriteString(const std::string& Name, const std::string& Value) override { Values[Name] = Value; }
    void WriteInteger(const std::string& Name, std::int32_t Value) override { Values[Name] = Value; }

private:
    std::map<std::string, std::variant<std::string, std::int32_t>>& Values;
};

}  // namespace

TFakePlatform::TFakePlatform() {
    ProgramDir = Folder("program");
    Temp = Folder("temp");
    Home = Folder("home");
    Current = Home;
}

std::string TFakePlatform::Folder(const std::string& Name) const {
    const fs::path P = fs::path(Root.Path()) / Name;
    fs::create_directories(P);
    return P.string() + "/";
}

TMsgResult TFakePlatform::MessageBox(const std::string& Text, const std::string& Title, TMsgIcon Icon,
                                     TMsgButtons Buttons) {
    Messages.push_back(TShownMessage{Text, Title, Icon, Buttons});
    if (Buttons == TMsgButtons::OK) return TMsgResult::OK;
    if (Answers.empty()) return TMsgResult::Yes;
    const TMsgResult R = Answers.front();
    Answers.pop_front();
    return R;
}

void TFakePlatform::ProcessMessages() {
    ++ProcessCalls;
    if (OnProcess) OnProcess(ProcessCalls);
}

std::unique_ptr<TSettingsKey> TFakePlatform::OpenSettings(const std::string& KeyPath, bool) {
    if (FailSettings) return nullptr;
    return std::make_unique<TFakeKey>(Store[KeyPath]);
}

std::unique_ptr<TNamedMutex> TFakePlatform::CreateNamedMutex(const std::string&) {
    ++MutexesCreated;
    return std::make_unique<TNamedMutex>();
}

bool TFakePlatform::FileExists(const std::string& Path) {
    std::error_code EC;
    return fs::exists(Path, EC) && !fs::is_directory(Path, EC);
}

bool TFakePlatform::DirectoryExists(const std::string& Path) {
    std::error_code EC;
    return !Path.empty() && fs::is_directory(Path, EC);
}

bool TFakePlatform::CreateDir(const std::string& Path) {
    if (FailCreateDir) return false;
    std::error_code EC;
    return fs::create_directory(ExcludeTrailingDelim(Path), EC) && !EC;
}

bool TFakePlatform::DeleteFile(const std::string& Path) {
    std::error_code EC;
    return fs::remove(Path, EC);
}

bool TFakePlatform::RenameFile(const std::string& From, const std::string& To) {
    std::error_code EC;
    fs::rename(From, To, EC);
    return !EC;
}

std::int64_t TFakePlatform::FileSize(const std::string& Path) {
    std::error_code EC;
    const auto N = fs::file_size(Path, EC);
    return EC ? -1 : static_cast<std::int64_t>(N);
}

std::string TFakePlatform::ExpandFileName(const std::string& Path) {
    return fs::path(Path.empty() || Path[0] == PathDelim ? Path : Current + Path).lexically_normal().string();
}

std::vector<std::string> TFakePlatform::TempFiles(const std::string& Ext) const {
    std::vector<std::string> R;
    for (const auto& E : fs::directory_iterator(Temp))
        if (E.path().filename().string().ends_with(Ext)) R.push_back(E.path().filename().string());
    return R;
}

}  // namespace anivert::test
