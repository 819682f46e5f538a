#include "SWFmd5.h"

#include <algorithm>
#include <cstring>
#include <random>

#include "SWFConst.h"

namespace anivert {

namespace {

constexpr std::uint32_t RotL(std::uint32_t X, unsigned N) { return (X << N) | (X >> (32 - N)); }

// Sine table and shift amounts of the four rounds.
constexpr std::uint32_t K[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
constexpr unsigned S[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                            5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                            4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                            6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

}  // namespace

void TMD5Context::Init() {
    FState[0] = 0x67452301;
    FState[1] = 0xefcdab89;
    FState[2] = 0x98badcfe;
    FState[3] = 0x10325476;
    FCount = 0;
}

void TMD5Context::Transform(const std::uint8_t Block[64]) {
    std::uint32_t X[16];
    for (int I = 0; I < 16; ++I)
        X[I] = Block[I * 4] | (Block[I * 4 + 1] << 8) | (Block[I * 4 + 2] << 16) |
               (static_cast<std::uint32_t>(Block[I * 4 + 3]) << 24);
    std::uint32_t A = FState[0], B = FState[1], C = FState[2], D = FState[3];
    for (unsigned I = 0; I < 64; ++I) {
        std::uint32_t F;
        unsigned G;
        if (I < 16) {
            F = (B & C) | (~B & D);
            G = I;
        } else if (I < 32) {
            F = (D & B) | (~D & C);
            G = (5 * I + 1) % 16;
        } else if (I < 48) {
            F = B ^ C ^ D;
            G = (3 * I + 5) % 16;
        } else {
            F = C ^ (B | ~D);
            G = (7 * I) % 16;
        }
        const std::uint32_t T = D;
        D = C;
        C = B;
        B = B + RotL(A + F + K[I] + X[G], S[I]);
        A = T;
    }
    FState[0] += A;
    FState[1] += B;
    FState[2] += C;
    FState[3] += D;
}

void TMD5Context::Update(const void* Data, std::size_t Size) {
    const auto* P = static_cast<const std::uint8_t*>(Data);
    std::size_t Used = static_cast<std::size_t>(FCount % 64);
    FCount += Size;
    if (Used) {
        const std::size_t Take = std::min<std::size_t>(64 - Used, Size);
        std::memcpy(FBuffer + Used, P, Take);
        Used += Take;
        P += Take;
        Size -= Take;
        if (Used < 64) return;
        Transform(FBuffer);
    }
    while (Size >= 64) {
        Transform(P);
        P += 64;
        Size -= 64;
    }
    if (Size) std::memcpy(FBuffer, P, Size);
}

TMD5Digest TMD5Context::Final() {
    const std::uint64_t Bits = FCount * 8;
    const std::uint8_t Pad = 0x80;
    Update(&Pad, 1);
    const std::uint8_t Zero = 0;
    while (FCount % 64 != 56) Update(&Zero, 1);
    std::uint8_t Len[8];
    for (int I = 0; I < 8; ++I) Len[I] = static_cast<std::uint8_t>(Bits >> (8 * I));
    Update(Len, 8);
    TMD5Digest D;
    for (int I = 0; I < 4; ++I)
        for (int J = 0; J < 4; ++J) D[static_cast<std::size_t>(I * 4 + J)] = static_cast<std::uint8_t>(FState[I] >> (8 * J));
    Init();
    return D;
}

TMD5Digest MD5(const void* Data, std::size_t Size) {
    TMD5Context C;
    C.Update(Data, Size);
    return C.Final();
}

std::string MD5Hex(const std::string& S) {
    static constexpr char Hex[] = "0123456789abcdef";
    const TMD5Digest D = MD5(S.data(), S.size());
    std::string R;
    for (std::uint8_t B : D) {
        R.push_back(Hex[B >> 4]);
        R.push_back(Hex[B & 15]);
    }
    return R;
}

std::string MD5Crypt(const std::string& Password, const std::string& Salt) {
    static const std::string Magic = "$1$";
    std::string SaltPart = Salt;
    if (SaltPart.compare(0, Magic.size(), Magic) == 0) SaltPart.erase(0, Magic.size());
    if (SaltPart.size() >= 2) {
        SaltPart.resize(2);
    } else {
        std::random_device Rng;
        std::uniform_int_distribution<int> Pick(0, 63);
        SaltPart.clear();
        SaltPart.push_back(CryptAlphabet[Pick(Rng)]);
        SaltPart.push_back(CryptAlphabet[Pick(Rng)]);
    }

    TMD5Context Ctx;
    Ctx.Update(Password);
    Ctx.Update(Magic);
    Ctx.Update(SaltPart);

    TMD5Context Alt;
    Alt.Update(Password);
    Alt.Update(SaltPart);
    Alt.Update(Password);
    TMD5Digest Final = Alt.Final();
    for (std::size_t Left = Password.size(); Left > 0; Left -= std::min<std::size_t>(Left, 16))
        Ctx.Update(Final.data(), std::min<std::size_t>(Left, 16));

    const std::uint8_t Zero = 0;
    for (unsigned Len = Password.size() % 256; Len != 0; Len >>= 1) {
        if (Len & 1) Ctx.Update(&Zero, 1);
        else Ctx.Update(Password.data(), Password.empty() ? 0 : 1);
    }
    Final = Ctx.Final();

    for (int Round = 0; Round < 1000; ++Round) {
        TMD5Context R;
        if (Round & 1) R.Update(Password);
        else R.Update(Final.data(), 16);
        if (Round % 3) R.Update(SaltPart);
        if (Round % 7) R.Update(Password);
        if (Round & 1) R.Update(Final.data(), 16);
        else R.Update(Password);
        Final = R.Final();
    }

    std::string Out = Magic + SaltPart + "$";
    auto To64 = [&Out](std::uint32_t V, int N) {
        while (N-- > 0) {
            Out.push_back(CryptAlphabet[V & 0x3F]);
            V >>= 6;
        }
    };
    auto Group = [&Final](int A, int B, int C) {
        return (static_cast<std::uint32_t>(Final[static_cast<std::size_t>(A)]) << 16) |
               (static_cast<std::uint32_t>(Final[static_cast<std::size_t>(B)]) << 8) | Final[static_cast<std::size_t>(C)];
    };
    To64(Group(0, 6, 12), 4);
    To64(Group(1, 7, 13), 4);
    To64(Group(2, 8, 14), 4);
    To64(Group(3, 9, 15), 4);
    To64(Group(4, 10, 5), 4);
    To64(Final[11], 2);
    return Out;
}

}  // namespace anivert
