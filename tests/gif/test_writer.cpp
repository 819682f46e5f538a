// Writing GIF files: the bytes of the header, frames, colour tables and
// extensions; the code streams of both encoders, read back by a plain
// reader of our own, by our decoder and by giflib.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <unordered_map>

#include "GIFRoundTrip.h"
#include "GIFTestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace {

const std::uint8_t Encoders[] = {gcLZW, gcRLE};

TGIFSubImage& AddFrame(TGIFImage& Image, int Left, int Top, int Width, int Height,
                       const std::vector<std::uint8_t>& Pixels) {
    auto F = std::make_unique<TGIFSubImage>(&Image);
    F->ChangeBounds(Left, Top, Width, Height);
    F->PixelData = Pixels;
    return Image.Images.Add(std::move(F));
}

void SetColors(TGIFColorMap& Map, int Count) {
    for (int I = 0; I < Count; ++I) Map.Add(TColor(0x010101 * (I + 1)));
}

Bytes Compressed(std::uint8_t Compression, int CodeSize, int Limit, const std::vector<std::uint8_t>& Pixels,
                 int Width, int Height, bool Interlaced = false) {
    TMemoryStream Out;
    GIFCreateEncoder(Compression)->Compress(Out, CodeSize, Limit, Pixels.data(), Interlaced, Height, Width);
    return Out.Bytes();
}

Bytes CodeSizeAndBlocks(int CodeSize, const std::vector<std::pair<int, int>>& Codes) {
    Bytes Out{static_cast<std::uint8_t>(CodeSize)};
    const Bytes Blocks = SubBlocks(PackCodes(Codes));
    Out.insert(Out.end(), Blocks.begin(), Blocks.end());
    return Out;
}

std::vector<std::uint8_t> Random(std::size_t N, int Colors, std::uint32_t Seed) {
    std::vector<std::uint8_t> P(N);
    for (auto& V : P) {
        Seed = Seed * 1664525u + 1013904223u;
        V = static_cast<std::uint8_t>((Seed >> 16) % static_cast<std::uint32_t>(Colors));
    }
    return P;
}

std::string Signature(const Bytes& File) { return std::string(File.begin(), File.begin() + 6); }

// Saves, then reads the file back with our decoder and giflib; both must
// read what was saved.
Bytes SaveAndCheck(TGIFImage& Image, std::uint8_t Compression) {
    const Bytes Saved = SaveGif(Image, Compression);
    TGIFImage Again;
    const LoadResult R = LoadGif(Again, Saved);
    EXPECT_EQ(R.Error, "");
    EXPECT_TRUE(R.Warnings.empty()) << R.Warnings.front();
    EXPECT_EQ(CompareSaved(Image, Again), "");
    EXPECT_TRUE(SaveGif(Again, Compression) == Saved);
    GiflibFile G(Saved);
    EXPECT_NE(G.Gif(), nullptr) << G.Error;
    if (G.Gif()) {
        EXPECT_EQ(CompareWithGiflib(Image, G.Gif()), "");
    }
    return Saved;
}

}  // namespace

// ---------------------------------------------------------------- file

TEST(GIFWriter, WritesHeaderFramesAndPaddedTablesByteForByte) {
    TGIFImage Image;
    Image.ScreenHeader.ScreenWidth = 3;
    Image.ScreenHeader.ScreenHeight = 2;
    Image.ScreenHeader.BackgroundColorIndex = 1;
    Image.ScreenHeader.AspectRatio = 0x31;
    SetColors(Image.GlobalColorMap(), 3);
    AddFrame(Image, 0, 0, 3, 2, {0, 1, 2, 2, 1, 0});
    SetColors(AddFrame(Image, 1, 1, 2, 1, {4, 0}).ColorTable, 5);
    // The resolution is the largest map's (3 bits), the size code the
    // global map's own; the frame without a local map takes the largest
    // code size, 3.
    EXPECT_EQ(Hex(SaveGif(Image, gcLZW)),
              "47 49 46 38 37 61 03 00 02 00 A1 01 31 "
              "01 01 01 02 02 02 03 03 03 00 00 00 "
              "2C 00 00 00 00 03 00 02 00 00 03 04 08 21 12 90 00 "
              "2C 01 00 01 00 02 00 01 00 82 01 01 01 02 02 02 03 03 03 04 04 04 05 05 05 "
              "00 00 00 00 00 00 00 00 00 03 02 48 90 00 3B");
    EXPECT_EQ(Image.ScreenHeader.Version, "87a");
    EXPECT_EQ(Image.ScreenHeader.PackedFields, 0xA1);

    // A use-ordered local map or any extension asks for 89a.
    Image.Images[1].ColorTable.UseOrdered = true;
    EXPECT_EQ(Signature(SaveGif(Image, gcLZW)), "GIF89a");
    Image.Images[1].ColorTable.UseOrdered = false;
    // The global map's order only sets the sort flag.
    Image.GlobalColorMap().UseOrdered = true;
    EXPECT_EQ(Signature(SaveGif(Image, gcLZW)), "GIF87a");
    EXPECT_EQ(Image.ScreenHeader.PackedFields, 0xA9);
    Image.GlobalColorMap().UseOrdered = false;
    static_cast<TGIFCommentExtension&>(
        Image.Images[1].FrameExtensions.Add(std::make_unique<TGIFCommentExtension>(Image.Images[1])))
        .Lines = {"c"};
    EXPECT_EQ(Signature(SaveGif(Image, gcLZW)), "GIF89a");
    for (std::uint8_t E : Encoders) SaveAndCheck(Image, E);
}

TEST(GIFWriter, ReportsProgressAndRefusesAnImageWithoutFrames) {
    TGIFImage Image;
    std::vector<std::string> Events;
    Image.OnProgress = [&](TGIFImage&, TProgressStage Stage, int Percent, const std::string& Message) {
        Events.push_back(std::to_string(int(Stage)) + " " + std::to_string(Percent) + " " + Message);
    };
    TMemoryStream Out;
    try {
        Image.SaveToStream(Out);
        ADD_FAILURE() << "no exception";
    } catch (const GIFException& E) {
        EXPECT_STREQ(E.what(), "unsupported GIF version");
    }
    EXPECT_EQ(Events, (std::vector<std::string>{"0 0 saving", "2 0 saving"}));
    SetColors(Image.GlobalColorMap(), 2);
    AddFrame(Image, 0, 0, 1, 1, {1});
    AddFrame(Image, 0, 0, 1, 1, {0});
    Events.clear();
    SaveGif(Image, gcLZW);
    EXPECT_EQ(Events, (std::vector<std::string>{"0 0 saving", "1 50 saving", "1 100 saving", "2 100 saving"}));

    TempDir Dir;
    Image.SaveFile(Dir.File("a.gif"));
    EXPECT_EQ(ReadFileBytes(Dir.File("a.gif")), SaveGif(Image, gcLZW));
    Image.Images[0].SaveFile(Dir.File("frame.bin"));
    EXPECT_EQ(ReadFileBytes(Dir.File("frame.bin")).size(), 10u + 5);
    EXPECT_THROW(Image.SaveFile(Dir.File("no/such/folder.gif")), EStreamError);
}

TEST(GIFWriter, FiveEntryLocalMapWritesEightEntriesCodeSizeThreeAndRefusesIndexFive) {
    for (std::uint8_t Compression : Encoders) {
        TGIFImage Image;
        TGIFSubImage& F = AddFrame(Image, 0, 0, 2, 1, {4, 0});
        SetColors(F.ColorTable, 5);
        const Bytes Saved = SaveAndCheck(Image, Compression);
        // Screen, descriptor with the size code 2, 8 entries, code size 3.
        EXPECT_EQ(Saved[13 + 9], 0x82);
        EXPECT_EQ(Hex(Bytes(Saved.begin() + 23 + 15, Saved.begin() + 23 + 24)), "00 00 00 00 00 00 00 00 00");
        EXPECT_EQ(Saved[23 + 24], 3);
        F.PixelData[1] = 5;
        TMemoryStream Out;
        Image.Compression = Compression;
        try {
            Image.SaveToStream(Out);
            ADD_FAILURE() << "no exception";
        } catch (const GIFException& E) {
            EXPECT_STREQ(E.what(), "colour not in colour table");
        }
    }
}

TEST(GIFWriter, InterlacedFramesWriteThePassesInOrder) {
    // Height 3: rows 0, 2, 1 (the pass of rows 4, 12, ... has none).
    EXPECT_EQ(Hex(Compressed(gcLZW, 2, 4, {0, 1, 2}, 1, 3, true)),
              Hex(CodeSizeAndBlocks(2, {{4, 3}, {0, 3}, {2, 3}, {1, 3}, {5, 4}})));
    std::vector<std::uint8_t> Rows(11);
    for (int I = 0; I < 11; ++I) Rows[static_cast<std::size_t>(I)] = static_cast<std::uint8_t>(I);
    for (std::uint8_t Compression : Encoders) {
        const CodeStream S = ReadCodeStream(Compressed(Compression, 4, 16, Rows, 1, 11, true));
        EXPECT_EQ(S.Error, "");
        EXPECT_EQ(S.Pixels, (std::vector<std::uint8_t>{0, 8, 4, 2, 6, 10, 1, 3, 5, 7, 9}));
    }
    // A frame with a local map keeps its interlace too.
    TGIFImage Image;
    TGIFSubImage& F = AddFrame(Image, 0, 0, 3, 5, Random(15, 3, 7));
    SetColors(F.ColorTable, 3);
    F.PackedFields = 0x40;
    for (std::uint8_t Compression : Encoders) EXPECT_EQ(SaveAndCheck(Image, Compression)[13 + 9], 0xC1);
}

TEST(GIFWriter, WritesEveryExtensionByteForByte) {
    TGIFImage Image;
    SetColors(Image.GlobalColorMap(), 2);
    TGIFSubImage& F = AddFrame(Image, 0, 0, 1, 1, {1});
    auto& G = static_cast<TGIFGraphicControlExtension&>(
        F.FrameExtensions.Add(std::make_unique<TGIFGraphicControlExtension>(F)));
    // A block size or terminator a tolerant read kept is written as the
    // format has it.
    G.Rec = {7, 0x09, 0x1234, 5, 9};
    F.Transparent = true;
    auto& C = static_cast<TGIFCommentExtension&>(F.FrameExtensions.Add(std::make_unique<TGIFCommentExtension>(F)));
    C.Lines = {"ab", "", std::string(300, 'x')};
    auto& T = static_cast<TGIFTextExtension&>(F.FrameExtensions.Add(std::make_unique<TGIFTextExtension>(F)));
    for (int I = 0; I < 13; ++I) T.TextGridHeader[static_cast<std::size_t>(I)] = static_cast<std::uint8_t>(I + 3);
    T.Lines = {"hi"};
    auto& U = static_cast<TGIFUnknownAppExtension&>(
        F.FrameExtensions.Add(std::make_unique<TGIFUnknownAppExtension>(F)));
    std::memcpy(U.AppIdentifier.data(), "ABCDEFGHabc", 11);
    U.SubBlocks = {TGIFBlock(3), TGIFBlock(0), TGIFBlock(0)};
    U.SubBlocks[2].Data.assign(256, 7);
    auto& L = static_cast<TGIFAppExtNSLoop&>(F.FrameExtensions.Add(std::make_unique<TGIFAppExtNSLoop>(F)));
    L.LoopCount = 0x0102;
    auto& M = static_cast<TGIFAppExtNSLoop&>(F.FrameExtensions.Add(std::make_unique<TGIFAppExtNSLoop>(F)));
    M.BufferingSize = 0x04030201;
    // Extensions of a last frame without pixels come before the trailer.
    auto Last = std::make_unique<TGIFSubImage>(&Image);
    Last->FrameExtensions.Add(std::make_unique<TGIFApplicationExtension>(*Last));
    Image.Images.Add(std::move(Last));

    const Bytes Saved = SaveAndCheck(Image, gcLZW);
    const std::string X255 = Hex(Bytes(255, 'x')), S255 = Hex(Bytes(255, 7));
    EXPECT_EQ(Hex(Bytes(Saved.begin() + 19, Saved.end())),
              "21 F9 04 09 34 12 05 00 "
              "21 FE 02 61 62 FF " + X255 + " 2D " + Hex(Bytes(45, 'x')) + " 00 "
              "21 01 0C 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 02 68 69 00 "
              "21 FF 0B 41 42 43 44 45 46 47 48 61 62 63 03 00 00 00 FF " + S255 + " 01 07 00 "
              "21 FF 0B 4E 45 54 53 43 41 50 45 32 2E 30 03 01 02 01 00 "
              "21 FF 0B 4E 45 54 53 43 41 50 45 32 2E 30 03 01 00 00 05 02 01 02 03 04 00 "
              "2C 00 00 00 00 01 00 01 00 00 02 02 4C 01 00 "
              "21 FF 0B 00 00 00 00 00 00 00 00 00 00 00 00 3B");
}

TEST(GIFWriter, RefusesBoundsPast16BitsInsteadOfMovingTheFrame) {
    // Cropping the transparent border of a frame that starts at 65535 moves
    // it further than the descriptor can say.
    GifBuilder B;
    B.Header(4, 4, {0x000000, 0xFFFFFF});
    B.GCE(0x01, 10, 0);
    B.Frame(65535, 0, 3, 1, {0, 0, 1}, {}, false, 2);
    B.Trailer();
    TGIFImage Image;
    LoadGif(Image, B.Data);
    SaveAndCheck(Image, gcLZW);
    Image.Images[0].TrimTransparentBorder();
    ASSERT_EQ(Image.Images[0].Left(), 65537);
    for (std::uint8_t Compression : Encoders) {
        Image.Compression = Compression;
        TMemoryStream Out;
        try {
            Image.SaveToStream(Out);
            ADD_FAILURE() << "no exception";
        } catch (const GIFException& E) {
            EXPECT_STREQ(E.what(), "invalid image dimensions");
        }
    }
}

TEST(GIFWriter, FramesStartWithTheImageSeparatorWhateverWasRead) {
    // A tolerant read takes any byte after the extensions as a separator.
    GifBuilder B;
    B.Header(2, 1, {0x000000, 0xFFFFFF});
    B.GCE(0, 10, 0);
    B.Raw({0x2D, 0, 0, 0, 0, 2, 0, 1, 0, 0});
    B.Raw(LZWLiteral({1, 0}, 2));
    B.Trailer();
    TGIFImage Image;
    LoadGif(Image, B.Data);
    ASSERT_EQ(Image.Images.Count(), 1);
    ASSERT_EQ(Image.Images[0].Separator, 0x2D);
    const Bytes Saved = SaveAndCheck(Image, gcLZW);
    EXPECT_EQ(Saved[13 + 6 + 8], 0x2C);
}

// ---------------------------------------------------------------- encoders

TEST(GIFLZWEncoder, OnePixelFrameHoldsClearPixelEnd) {
    EXPECT_EQ(Hex(Compressed(gcLZW, 2, 4, {0}, 1, 1)), "02 02 44 01 00");
    EXPECT_EQ(Hex(Compressed(gcLZW, 2, 4, {0}, 1, 1)), Hex(CodeSizeAndBlocks(2, {{4, 3}, {0, 3}, {5, 3}})));
    // A code size below 2 is written as 2; without pixels only the end code.
    EXPECT_EQ(Hex(Compressed(gcLZW, 1, 2, {}, 0, 0)), "02 01 05 00");
}

TEST(GIFLZWEncoder, ClearsWhenTheNextFreeCodeWouldBe4095) {
    for (int CodeSize : {2, 8}) {
        SCOPED_TRACE("code size " + std::to_string(CodeSize));
        const std::vector<std::uint8_t> Pixels = Random(100000, 1 << CodeSize, 11);
        const CodeStream S = ReadCodeStream(Compressed(gcLZW, CodeSize, 1 << CodeSize, Pixels, 1000, 100));
        ASSERT_EQ(S.Error, "");
        EXPECT_EQ(S.Pixels, Pixels);
        const int Clear = 1 << CodeSize;
        std::vector<std::size_t> Clears;
        for (std::size_t I = 0; I < S.Codes.size(); ++I)
            if (S.Codes[I] == Clear) Clears.push_back(I);
        ASSERT_GE(Clears.size(), 3u);
        // After a clear: one code per string added, from clear + 2 to 4094,
        // and the last prefix; then the clear code, 12 bits wide, and the
        // next code at the initial width.
        for (std::size_t K = 1; K < Clears.size(); ++K) {
            EXPECT_EQ(Clears[K] - Clears[K - 1] - 1, std::size_t(4094 - Clear));
            EXPECT_EQ(S.Widths[Clears[K]], 12);
            EXPECT_EQ(S.Widths[Clears[K] + 1], CodeSize + 1);
        }
        // Full sub-blocks but the last.
        for (std::size_t I = 0; I + 1 < S.BlockSizes.size(); ++I) ASSERT_EQ(S.BlockSizes[I], 255u);
    }
}

TEST(GIFLZWEncoder, StringsThatAllHashIntoOneHalfOfTheTableStillEncode) {
    // Doubling modulo 8009 stays in the half of the slots (the quadratic
    // residues, or the rest) where it starts. With 4 colours the table
    // holds 4089 strings; these pixels make every string hash into the
    // same half, which has 4004 slots.
    auto InHalf = [](std::uint32_t Key) {
        std::uint64_t H = (Key ^ (Key >> 4)) % 8009, R = 1;
        if (H == 0) H = 8008;
        for (int E = 4004; E; E >>= 1, H = H * H % 8009)
            if (E & 1) R = R * H % 8009;
        return R == 1;
    };
    std::unordered_map<std::uint32_t, int> Codes;  // key -> code
    std::vector<std::vector<int>> Children(4096);
    std::vector<std::vector<std::uint8_t>> Strings(4096);
    for (int I = 0; I < 4; ++I) Strings[static_cast<std::size_t>(I)] = {static_cast<std::uint8_t>(I)};
    std::vector<std::uint8_t> Pixels{0};
    int NextFree = 6, Added = 0;
    while (NextFree < 4095) {
        // The shallowest string that starts with the last pixel and can be
        // followed by a pixel that makes a new string in the half (any new
        // string when there is none).
        int Code = -1, Pixel = -1;
        for (bool Half : {true, false}) {
            std::vector<int> Queue{Pixels.back()};
            for (std::size_t Q = 0; Q < Queue.size() && Code < 0; ++Q) {
                for (int P = 0; P < 4 && Code < 0; ++P) {
                    const std::uint32_t Key = (std::uint32_t(Queue[Q]) << 8) | std::uint32_t(P);
                    if (!Codes.count(Key) && (InHalf(Key) || !Half)) Code = Queue[Q], Pixel = P;
                }
                for (int C : Children[static_cast<std::size_t>(Queue[Q])]) Queue.push_back(C);
            }
            if (Code >= 0) {
                Added += Half;
                break;
            }
        }
        ASSERT_GE(Code, 0);
        const auto& S = Strings[static_cast<std::size_t>(Code)];
        Pixels.insert(Pixels.end(), S.begin() + 1, S.end());
        Pixels.push_back(static_cast<std::uint8_t>(Pixel));
        Codes[(std::uint32_t(Code) << 8) | std::uint32_t(Pixel)] = NextFree;
        Children[static_cast<std::size_t>(Code)].push_back(NextFree);
        Strings[static_cast<std::size_t>(NextFree)] = S;
        Strings[static_cast<std::size_t>(NextFree)].push_back(static_cast<std::uint8_t>(Pixel));
        ++NextFree;
    }
    ASSERT_GT(Added, 4004);
    const CodeStream S =
        ReadCodeStream(Compressed(gcLZW, 2, 4, Pixels, static_cast<int>(Pixels.size()), 1));
    ASSERT_EQ(S.Error, "");
    EXPECT_EQ(S.Pixels, Pixels);
}

TEST(GIFRLEEncoder, EveryRunPatternDecodes) {
    std::vector<std::vector<std::uint8_t>> Cases;
    Cases.push_back(std::vector<std::uint8_t>(65536, 3));  // one long run
    std::vector<std::uint8_t> Growing;  // runs of 1, 2, 3, ... 400 pixels
    for (int K = 1; K <= 400; ++K) Growing.insert(Growing.end(), static_cast<std::size_t>(K), std::uint8_t(K % 3));
    Cases.push_back(Growing);
    std::vector<std::uint8_t> Same;  // the same index in runs of every length, with single others between
    for (int K = 1; K <= 300; ++K) {
        Same.insert(Same.end(), static_cast<std::size_t>(K * 37 % 301 + 1), std::uint8_t(1));
        Same.push_back(std::uint8_t(2 + K % 2));
    }
    Cases.push_back(Same);
    Cases.push_back(Random(20000, 4, 3));  // short runs
    std::vector<std::uint8_t> Mixed;       // random runs of 1 to 5000
    for (std::uint8_t L : Random(300, 250, 5)) {
        const std::vector<std::uint8_t> R = Random(2, 4, L);
        Mixed.insert(Mixed.end(), std::size_t(L) * std::size_t(L % 20 + 1) % 5000 + 1, R[0]);
    }
    Cases.push_back(Mixed);
    for (std::size_t C = 0; C < Cases.size(); ++C) {
        for (int CodeSize : {2, 3, 4, 8}) {
            SCOPED_TRACE("case " + std::to_string(C) + ", code size " + std::to_string(CodeSize));
            const auto& Pixels = Cases[C];
            const CodeStream S =
                ReadCodeStream(Compressed(gcRLE, CodeSize, 256, Pixels, static_cast<int>(Pixels.size()), 1));
            ASSERT_EQ(S.Error, "");
            ASSERT_EQ(S.Pixels, Pixels);
            if (C == 0) {
                EXPECT_LT(S.Length, 1000u) << "a run of 65536 pixels";
            }
        }
    }
    // In files, interlaced or not, read by our decoder and giflib.
    for (bool Interlaced : {false, true}) {
        TGIFImage Image;
        SetColors(Image.GlobalColorMap(), 4);
        TGIFSubImage& F = AddFrame(Image, 0, 0, 160, 125, std::vector<std::uint8_t>(Growing.begin(),
                                                                                    Growing.begin() + 20000));
        F.PackedFields = Interlaced ? 0x40 : 0;
        SaveAndCheck(Image, gcRLE);
    }
}

// ---------------------------------------------------------------- gifdump

TEST(GifDump, SaveWritesTheLoadedOrOptimisedGif) {
    const std::string GifDump = std::string(ANIVERT_TOOLS_DIR) + "/gifdump";
    GifBuilder G;
    G.Header(2, 2, {0x0000FF, 0x00FF00});
    G.Comment("gone");
    G.Frame(0, 0, 2, 2, {0, 1, 1, 0}, {}, false, 2);
    G.GCE(0x04, 10, 0);
    G.Frame(0, 0, 2, 2, {0, 1, 0, 0}, {0x0000FF, 0x00FF00, 0xFF0000, 0}, false, 2);
    G.Trailer();
    TempDir Dir;
    const std::string In = Dir.File("in.gif"), Out = Dir.File("out.gif");
    WriteFileBytes(In, G.Data);
    std::string Text;
    EXPECT_EQ(RunCommand(GifDump + " --optimize 31 --encoder rle --save " + Out + " " + In, &Text), 0);
    const std::string Listing =
        "screen: 2x2, version \"89a\", global colour map 3, background index 0, aspect 0\n"
        "frame 0: bounds 0,0 2x2, local map none, interlace no, delay none, disposal none, transparent no\n"
        "frame 1: bounds 0,1 1x1, local map none, interlace no, delay 10, disposal 1, transparent index 2\n"
        "    extension: graphic control (delay 10, disposal 1, transparent yes, index 2, user input no)\n"
        "2 frames\n";
    const Bytes Saved = ReadFileBytes(Out);
    EXPECT_EQ(Text, Listing + "saved " + Out + ": " + std::to_string(Saved.size()) + " bytes (" + In + ": " +
                        std::to_string(G.Data.size()) + " bytes)\n");
    // Read back, the map holds 4 entries (padded to a power of two).
    EXPECT_EQ(RunCommand(GifDump + " " + Out, &Text), 0);
    EXPECT_EQ(Text, std::string(Listing).replace(Listing.find("map 3"), 5, "map 4"));
    // Without options the file is saved as it was read.
    EXPECT_EQ(RunCommand(GifDump + " --save " + Out + " " + In, &Text), 0);
    TGIFImage Before, After;
    LoadGif(Before, G.Data);
    LoadGif(After, ReadFileBytes(Out));
    EXPECT_EQ(CompareSaved(Before, After), "");

    // A file that does not load completely, or cannot be saved, leaves no
    // file behind.
    GifBuilder Bad;
    Bad.Header(2, 2, {0x000000, 0xFFFFFF});
    Bad.Frame(0, 0, 1, 1, {1}, {}, false, 2);
    Bad.Raw({0x21, 0x33, 0});
    WriteFileBytes(Dir.File("bad.gif"), Bad.Data);
    EXPECT_EQ(RunCommand(GifDump + " --save " + Dir.File("x.gif") + " " + Dir.File("bad.gif"), &Text), 1);
    EXPECT_NE(Text.find("unknown extension type"), std::string::npos) << Text;
    GifBuilder H;
    H.Header(2, 1, {0x0000FF, 0x00FF00});
    H.Frame(0, 0, 2, 1, {0, 7}, {}, false, 3);
    H.Trailer();
    WriteFileBytes(Dir.File("index.gif"), H.Data);
    EXPECT_EQ(RunCommand(GifDump + " --save " + Dir.File("x.gif") + " " + Dir.File("index.gif"), &Text), 1);
    EXPECT_NE(Text.find("colour not in colour table"), std::string::npos) << Text;
    EXPECT_FALSE(std::filesystem::exists(Dir.File("x.gif")));

    for (const char* Usage : {" --save", " --encoder lzw", " --encoder zip --save x.gif", " --encoder"}) {
        EXPECT_EQ(RunCommand(GifDump + Usage + " " + In, &Text), 2) << Usage;
    }
    EXPECT_EQ(RunCommand(GifDump + " --help", &Text), 0);
    EXPECT_NE(Text.find("--save OUT.gif"), std::string::npos);
    EXPECT_NE(Text.find("--encoder lzw|rle"), std::string::npos);
}

TEST(GIFFuzzRegressions, EveryFoundInputSavesAndReadsBack) {
    // As the writer's fuzz target: saved with both encoders, then merged,
    // optimised and saved again; what is saved reads back as saved.
    const std::string Dir = std::string(ANIVERT_TEST_DATA) + "/gif-fuzz";
    for (const auto& E : std::filesystem::directory_iterator(Dir)) {
        if (E.path().filename() == "README") continue;
        SCOPED_TRACE(E.path().string());
        TGIFImage Image;
        LoadGif(Image, ReadFileBytes(E.path().string()));
        for (int Round = 0; Round < 3; ++Round) {
            if (Round == 2) {
                if (Image.Images.Count() == 0) break;
                Image.OnDecodeWarning = [](TGIFImage&, const TGIFItem*, int, const std::string&) {};
                Image.OptimizeColorMaps();
                Image.Optimize(31, 0, 0, 8);
            }
            Bytes Saved;
            try {
                Saved = SaveGif(Image, Round == 1 ? gcRLE : gcLZW);
            } catch (const GIFException&) {
                continue;
            }
            TGIFImage Again;
            EXPECT_EQ(LoadGif(Again, Saved).Error, "");
            EXPECT_EQ(CompareSaved(Image, Again), "");
        }
    }
}
