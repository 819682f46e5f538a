#include <gtest/gtest.h>

#include <random>

#include <zlib.h>

#include "Streams.h"
#include "TestUtil.h"

using namespace anivert;
using namespace anivert::test;

TEST(MemoryStream, ReadWriteSeekAndSize) {
    TMemoryStream M;
    M.WriteBuffer("hello", 5);
    EXPECT_EQ(M.Size(), 5);
    EXPECT_EQ(M.Position(), 5);
    M.SetPosition(1);
    char Buf[8] = {};
    EXPECT_EQ(M.Read(Buf, 8), 4u);
    EXPECT_STREQ(Buf, "ello");
    EXPECT_EQ(M.Read(Buf, 1), 0u);
    EXPECT_THROW(M.ReadBuffer(Buf, 1), EReadError);
    // Writing past the end grows the buffer; seeking beyond it is allowed.
    M.Seek(2, TSeekOrigin::soEnd);
    M.WriteBuffer("!", 1);
    EXPECT_EQ(M.Size(), 8);
    EXPECT_EQ(M.Bytes()[5], 0);
    EXPECT_THROW(M.Seek(-1, TSeekOrigin::soBeginning), EStreamError);
    M.SetSize(2);
    EXPECT_EQ(M.Position(), 2);
    M.Clear();
    EXPECT_EQ(M.Size(), 0);

    // Bytes read where they are: the same reading and seeking, no writing.
    const char Kept[] = "hello";
    TReadOnlyMemoryStream R(reinterpret_cast<const std::uint8_t*>(Kept), 5);
    R.Seek(-4, TSeekOrigin::soEnd);
    char Got[8] = {};
    EXPECT_EQ(R.Read(Got, 8), 4u);
    EXPECT_STREQ(Got, "ello");
    EXPECT_EQ(R.Read(Got, 1), 0u);
    EXPECT_EQ(R.Size(), 5);
    EXPECT_THROW(R.Seek(-1, TSeekOrigin::soBeginning), EStreamError);
    EXPECT_THROW(R.WriteBuffer("x", 1), EWriteError);
}

TEST(MemoryStream, CopyFromWholeStreamAndPart) {
    TMemoryStream Src(B({1, 2, 3, 4, 5}));
    Src.SetPosition(3);
    TMemoryStream Dst;
    EXPECT_EQ(Dst.CopyFrom(Src, 0), 5);  // 0: the whole source from its start
    EXPECT_EQ(Dst.Bytes(), B({1, 2, 3, 4, 5}));
    Src.SetPosition(1);
    TMemoryStream Part;
    EXPECT_EQ(Part.CopyFrom(Src, 2), 2);
    EXPECT_EQ(Part.Bytes(), B({2, 3}));
    EXPECT_EQ(Src.Position(), 3);
    EXPECT_THROW(Part.CopyFrom(Src, 10), EReadError);
}

TEST(FileStream, CreateWriteReopenAndErrors) {
    TempDir D;
    const std::string Name = D.File("a.bin");
    {
        TFileStream F(Name, TFileMode::fmCreate);
        F.WriteBuffer("abcdef", 6);
        F.SetPosition(2);
        F.WriteBuffer("XY", 2);
        EXPECT_EQ(F.Size(), 6);
        F.Close();
    }
    EXPECT_EQ(ReadFileBytes(Name), B({'a', 'b', 'X', 'Y', 'e', 'f'}));
    TFileStream R(Name, TFileMode::fmOpenRead);
    TMemoryStream M;
    M.CopyFrom(R, 0);
    EXPECT_EQ(M.Size(), 6);
    EXPECT_THROW(TFileStream(D.File("missing/x"), TFileMode::fmOpenRead), EFOpenError);
    EXPECT_THROW(TFileStream(D.File("missing/x"), TFileMode::fmCreate), EFCreateError);
}

TEST(Compression, DeflatesToAZlibStreamThatZlibInflates) {
    Bytes Data;
    for (int I = 0; I < 300000; ++I) Data.push_back(static_cast<std::uint8_t>((I * 7) ^ (I >> 5)));
    TMemoryStream Out;
    std::vector<std::int64_t> Blocks;
    {
        TCompressionStream Z(Out);
        Z.OnBlock = [&](std::int64_t Consumed) { Blocks.push_back(Consumed); };
        // Odd-sized writes exercise the buffer handling.
        for (std::size_t P = 0; P < Data.size(); P += 9999)
            Z.WriteBuffer(Data.data() + P, std::min<std::size_t>(9999, Data.size() - P));
        Z.Finish();
    }
    uLongf Len = static_cast<uLongf>(Data.size());
    Bytes Back(Data.size());
    ASSERT_EQ(uncompress(Back.data(), &Len, Out.Memory(), static_cast<uLong>(Out.Size())), Z_OK);
    EXPECT_EQ(Len, Data.size());
    EXPECT_EQ(Back, Data);
    EXPECT_EQ(ZInflate(Out.Memory(), static_cast<std::size_t>(Out.Size()), Data.size()), Data);
    // Every reported block is a full 64 KiB of output, with growing input counts.
    EXPECT_EQ(Blocks.size(), static_cast<std::size_t>(Out.Size()) / TCompressionStream::BlockSize);
    for (std::size_t I = 1; I < Blocks.size(); ++I) EXPECT_GT(Blocks[I], Blocks[I - 1]);
}

TEST(Compression, LibdeflateSpendsLessEffortWhereDataBarelyShrinks) {
    std::mt19937 Random(7);
    Bytes Noise(200000), Pattern(200000), Mixed(200000);
    for (std::size_t I = 0; I < Noise.size(); ++I) {
        Noise[I] = static_cast<std::uint8_t>(Random());
        Pattern[I] = static_cast<std::uint8_t>(I % 500 / 4);  // rows of a gradient
        // Noise over a quarter of the values, as a noisy picture's indices.
        Mixed[I] = static_cast<std::uint8_t>(Random() % 64);
    }
    struct TCase {
        const Bytes& Data;
        int Level;  // what the sample picks
    };
    for (const TCase& C : {TCase{Noise, 0}, TCase{Pattern, 5}, TCase{Mixed, NoisyDataLevel}}) {
        const Bytes Z = Deflate(C.Data.data(), C.Data.size(), {TDeflater::Libdeflate, 5, true});
        EXPECT_EQ(Z, Deflate(C.Data.data(), C.Data.size(), {TDeflater::Libdeflate, C.Level})) << C.Level;
        EXPECT_EQ(ZInflate(Z.data(), Z.size(), C.Data.size()), C.Data);
    }
    // Small data keeps the level it is given.
    EXPECT_EQ(Deflate(Noise.data(), 5000, {TDeflater::Libdeflate, 5, true}),
              Deflate(Noise.data(), 5000, {TDeflater::Libdeflate, 5}));
    EXPECT_GE(SampledDeflateRatio(Noise.data(), Noise.size()), IncompressibleSampleRatio);
    EXPECT_EQ(SampledDeflateRatio(Noise.data(), 0), 1.0);
    // A small buffer is its own sample.
    EXPECT_LT(SampledDeflateRatio(Pattern.data(), 3000), NoisySampleRatio);
}

TEST(Compression, InflateRejectsTruncatedCorruptAndOversizedData) {
    const Bytes Data(1000, 'x');
    const Bytes Z = ZDeflate(Data.data(), Data.size());
    EXPECT_EQ(ZInflate(Z.data(), Z.size(), 1000), Data);
    EXPECT_THROW(ZInflate(Z.data(), Z.size() - 3, 1000), EReadError);
    EXPECT_THROW(ZInflate(Z.data(), Z.size(), 999), EReadError);
    Bytes Bad = Z;
    Bad[0] = 0xFF;
    EXPECT_THROW(ZInflate(Bad.data(), Bad.size(), 1000), EReadError);
    EXPECT_THROW(ZInflate(nullptr, 0, 10), EReadError);
}
