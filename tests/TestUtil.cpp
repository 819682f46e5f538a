#include "TestUtil.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/wait.h>

namespace anivert::test {

Bytes B(std::initializer_list<int> Values) {
    Bytes R;
    for (int V : Values) R.push_back(static_cast<std::uint8_t>(V));
    return R;
}

std::string Hex(const Bytes& Data) {
    std::string S;
    char Buf[4];
    for (std::uint8_t V : Data) {
        std::snprintf(Buf, sizeof Buf, "%02X ", V);
        S += Buf;
    }
    if (!S.empty()) S.pop_back();
    return S;
}

TempDir::TempDir() {
    std::string Tmpl = (std::filesystem::temp_directory_path() / "anivert-test-XXXXXX").string();
    if (!mkdtemp(Tmpl.data())) throw std::runtime_error("cannot create a temporary folder");
    FPath = Tmpl;
}

TempDir::~TempDir() {
    std::error_code EC;
    std::filesystem::remove_all(FPath, EC);
}

Bytes ReadFileBytes(const std::string& FileName) {
    std::ifstream F(FileName, std::ios::binary);
    if (!F) throw std::runtime_error("cannot read " + FileName);
    return Bytes(std::istreambuf_iterator<char>(F), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& FileName, const Bytes& Data) {
    std::ofstream F(FileName, std::ios::binary);
    F.write(reinterpret_cast<const char*>(Data.data()), static_cast<std::streamsize>(Data.size()));
    if (!F) throw std::runtime_error("cannot write " + FileName);
}

int RunCommand(const std::string& Command, std::string* Output) {
    std::FILE* P = popen((Command + " 2>&1").c_str(), "r");
    if (!P) return -1;
    std::string Out;
    char Buf[4096];
    std::size_t N;
    while ((N = std::fread(Buf, 1, sizeof Buf, P)) > 0) Out.append(Buf, N);
    const int Status = pclose(P);
    if (Output) *Output = Out;
    return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
}

::testing::AssertionResult Installed(const std::string& Command, const std::string& Package) {
    if (RunCommand("command -v " + Command + " >/dev/null") == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << Command << " is missing: install the Debian package " << Package;
}

::testing::AssertionResult PythonModule(const std::string& Module, const std::string& Package) {
    if (RunCommand("/usr/bin/python3 -c 'import " + Module + "'") == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the Python module " << Module
                                         << " is missing: install the Debian package " << Package;
}

}  // namespace anivert::test
