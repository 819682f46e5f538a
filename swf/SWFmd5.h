// MD5 message digest (RFC 1321) and the MD5-based password crypt string
// ("$1$" magic) used by the Protect tag.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace anivert {

using TMD5Digest = std::array<std::uint8_t, 16>;

class TMD5Context {
public:
    TMD5Context() { Init(); }
    void Init();
    void Update(const void* Data, std::size_t Size);
    void Update(const std::string& S) { Update(S.data(), S.size()); }
    TMD5Digest Final();

private:
    void Transform(const std::uint8_t Block[64]);
    std::uint32_t FState[4];
    std::uint64_t FCount = 0;  // bytes hashed so far
    std::uint8_t FBuffer[64];
};

TMD5Digest MD5(const void* Data, std::size_t Size);
std::string MD5Hex(const std::string& S);

// The crypt string "$1$" + salt + "$" + 22 characters. A leading "$1$" is
// removed from Salt; a salt of two or more characters is cut to its first
// two; a shorter one is replaced by two random characters of the alphabet.
std::string MD5Crypt(const std::string& Password, const std::string& Salt);

}  // namespace anivert
