// Helpers shared by the tests.
#pragma once

#include <cstdint>
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace anivert::test {

using Bytes = std::vector<std::uint8_t>;

Bytes B(std::initializer_list<int> Values);
std::string Hex(const Bytes& Data);

// A fresh folder under the system's temporary folder, removed by the destructor.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return FPath; }
    std::string File(const std::string& Name) const { return FPath + "/" + Name; }

private:
    std::string FPath;
};

Bytes ReadFileBytes(const std::string& FileName);
void WriteFileBytes(const std::string& FileName, const Bytes& Data);
// Runs a shell command; returns its exit status and stores its output.
int RunCommand(const std::string& Command, std::string* Output = nullptr);
// Whether a program a test runs is installed; the failure names the Debian
// package that has it (tools/test.sh installs every one before the tests).
::testing::AssertionResult Installed(const std::string& Command, const std::string& Package);
// The same for a Python module of /usr/bin/python3.
::testing::AssertionResult PythonModule(const std::string& Module, const std::string& Package);

}  // namespace anivert::test
