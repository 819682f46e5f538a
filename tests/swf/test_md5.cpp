#include <gtest/gtest.h>

#include <crypt.h>

#include <random>

#include "SWFConst.h"
#include "SWFmd5.h"

using namespace anivert;

TEST(MD5, RFC1321TestSuite) {
    EXPECT_EQ(MD5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(MD5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(MD5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(MD5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(MD5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(MD5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(MD5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(MD5, IncrementalUpdatesMatchOneShot) {
    std::string Data;
    for (int I = 0; I < 1000; ++I) Data.push_back(static_cast<char>(I * 31));
    const TMD5Digest Whole = MD5(Data.data(), Data.size());
    for (std::size_t Step : {1u, 7u, 63u, 64u, 65u, 200u}) {
        TMD5Context C;
        for (std::size_t P = 0; P < Data.size(); P += Step) C.Update(Data.data() + P, std::min(Step, Data.size() - P));
        EXPECT_EQ(C.Final(), Whole) << "step " << Step;
    }
}

// glibc's crypt() implements the same "$1$" algorithm independently.
TEST(MD5Crypt, AgreesWithTheSystemCrypt) {
    std::mt19937 Rng(7);
    std::vector<std::string> Passwords = {"", "a", "password", "secret", "\xC3\xA9t\xC3\xA9",
                                          std::string(15, 'x'), std::string(16, 'y'), std::string(17, 'z'),
                                          std::string(100, 'q')};
    for (int I = 0; I < 20; ++I) {
        std::string P;
        const int Len = static_cast<int>(Rng() % 40) + 1;
        for (int K = 0; K < Len; ++K) P.push_back(static_cast<char>(33 + Rng() % 94));
        Passwords.push_back(P);
    }
    for (const std::string& P : Passwords) {
        std::string Salt;
        Salt.push_back(CryptAlphabet[Rng() % 64]);
        Salt.push_back(CryptAlphabet[Rng() % 64]);
        const std::string Ours = MD5Crypt(P, Salt);
        struct crypt_data CD {};
        const char* Theirs = crypt_r(P.c_str(), ("$1$" + Salt + "$").c_str(), &CD);
        ASSERT_NE(Theirs, nullptr);
        EXPECT_EQ(Ours, Theirs) << "password '" << P << "' salt " << Salt;
        EXPECT_EQ(Ours.size(), 28u);
    }
}

TEST(MD5Crypt, SaltHandling) {
    // "$1$" is removed and only two characters are kept.
    EXPECT_EQ(MD5Crypt("pw", "$1$abcdef"), MD5Crypt("pw", "ab"));
    EXPECT_EQ(MD5Crypt("pw", "$1$abcdef").substr(0, 6), "$1$ab$");
    EXPECT_EQ(MD5Crypt("pw", "abXYZ"), MD5Crypt("pw", "ab"));
    // Fewer than two characters: a random salt from the alphabet.
    for (const char* S : {"", "x", "$1$", "$1$y"}) {
        const std::string C = MD5Crypt("pw", S);
        ASSERT_EQ(C.size(), 28u);
        EXPECT_NE(std::string(CryptAlphabet).find(C[3]), std::string::npos);
        EXPECT_NE(std::string(CryptAlphabet).find(C[4]), std::string::npos);
        EXPECT_EQ(C[5], '$');
    }
}
