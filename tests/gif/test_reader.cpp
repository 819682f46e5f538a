// Reading GIF files: header, block sequence, extensions, tolerances,
// warnings and errors.
#include <gtest/gtest.h>

#include "GIFTestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace {

const std::vector<TColor> Four{0x000000, 0x0000FF, 0x00FF00, 0xFF0000};

// Screen 4 x 2 with two frames (the second with a delay and transparency).
GifBuilder TwoFrames() {
    GifBuilder G;
    G.Header(4, 2, Four);
    G.Frame(0, 0, 4, 2, {0, 1, 2, 3, 3, 2, 1, 0}, {}, false, 2);
    G.GCE(0x09, 25, 3);
    G.Frame(1, 1, 2, 1, {3, 1}, {0x112233, 0x445566}, false, 2);
    return G;
}

Bytes WithoutSignature(const Bytes& File) { return Bytes(File.begin() + 6, File.end()); }

}  // namespace

TEST(GIFReader, ReadsHeaderFramesExtensionsAndTrailer) {
    GifBuilder G = TwoFrames();
    G.Trailer();
    TGIFImage Image;
    std::vector<std::pair<TProgressStage, int>> Progress;
    Image.OnProgress = [&](TGIFImage&, TProgressStage Stage, int Percent, const std::string& Message) {
        EXPECT_EQ(Message, "loading");
        Progress.push_back({Stage, Percent});
    };
    const LoadResult R = LoadGif(Image, G.Data);
    ASSERT_EQ(R.Error, "");
    EXPECT_TRUE(R.Warnings.empty());
    EXPECT_EQ(R.EndPosition, static_cast<std::int64_t>(G.Data.size()));
    EXPECT_EQ(Image.Width(), 4);
    EXPECT_EQ(Image.Height(), 2);
    EXPECT_EQ(Image.ScreenHeader.Version, "89a");
    EXPECT_EQ(Image.GlobalColorMap().Count(), 4);
    EXPECT_EQ(Image.BackgroundColor(), 0x000000u);
    ASSERT_EQ(Image.Images.Count(), 2);
    const TGIFSubImage& F0 = Image.Images[0];
    EXPECT_EQ(F0.FrameRect(), Rect(0, 0, 4, 2));
    EXPECT_EQ(F0.GraphicControlExtension, nullptr);
    EXPECT_FALSE(F0.Transparent);
    EXPECT_EQ(&F0.UsedColorMap(), &Image.GlobalColorMap());
    EXPECT_EQ(F0.PixelData, (std::vector<std::uint8_t>{0, 1, 2, 3, 3, 2, 1, 0}));
    const TGIFSubImage& F1 = Image.Images[1];
    EXPECT_EQ(F1.FrameRect(), Rect(1, 1, 3, 2));
    ASSERT_NE(F1.GraphicControlExtension, nullptr);
    EXPECT_EQ(F1.GraphicControlExtension->Delay(), 25);
    EXPECT_EQ(F1.GraphicControlExtension->Disposal(), 2);
    EXPECT_TRUE(F1.Transparent);
    EXPECT_EQ(F1.GraphicControlExtension->TransparentColorIndex(), 3);
    EXPECT_EQ(F1.ColorTable.Count(), 2);
    EXPECT_EQ(&F1.UsedColorMap(), &F1.ColorTable);
    // Index 3 is past the 2-entry local map: entry 0, with a warning.
    EXPECT_EQ(F1.GraphicControlExtension->TransparentColor(), 0x112233u);
    ASSERT_GE(Progress.size(), 3u);
    EXPECT_EQ(Progress.front(), std::make_pair(TProgressStage::psStarting, 0));
    EXPECT_EQ(Progress.back(), std::make_pair(TProgressStage::psEnding, 100));
}

TEST(GIFReader, SignatureToleratesLowerCaseAFourBytePrefixAndAnyVersion) {
    GifBuilder G = TwoFrames();
    G.Trailer();
    const Bytes Body = WithoutSignature(G.Data);
    auto Load = [&](const std::string& Prefix) {
        Bytes File(Prefix.begin(), Prefix.end());
        File.insert(File.end(), Body.begin(), Body.end());
        TGIFImage Image;
        const LoadResult R = LoadGif(Image, File);
        return R.Error.empty() ? std::to_string(Image.Images.Count()) + " frames " + Image.ScreenHeader.Version
                               : R.Error;
    };
    EXPECT_EQ(Load("gif89a"), "2 frames 89a");
    EXPECT_EQ(Load("GIF87a"), "2 frames 87a");
    EXPECT_EQ(Load("GIF12x"), "2 frames 12x");
    EXPECT_EQ(Load("\x01\x02\x03\x04GIF89a"), "2 frames 89a");
    EXPECT_EQ(Load("xyzGIF89a"), "invalid GIF signature");
    EXPECT_EQ(Load("vwxyzGIF89a"), "invalid GIF signature");
    EXPECT_EQ(Load("PNG89a"), "invalid GIF signature");
}

TEST(GIFReader, MissingTrailerAndZeroPaddingAreAcceptedSilently) {
    GifBuilder G;
    G.Header(4, 2, Four);
    G.Raw({0, 0});
    G.Frame(0, 0, 1, 1, {1}, {}, false, 2);
    G.Raw({0, 0, 0});
    G.Frame(1, 0, 1, 1, {2}, {}, false, 2);
    TGIFImage Image;
    const LoadResult R = LoadGif(Image, G.Data);
    EXPECT_EQ(R.Error, "");
    EXPECT_TRUE(R.Warnings.empty());
    EXPECT_EQ(Image.Images.Count(), 2);
}

TEST(GIFReader, UnknownBlockStopsReadingWithTwoWarningsAndKeepsTheFrames) {
    GifBuilder G = TwoFrames();
    G.Raw({0x42});
    G.Frame(0, 0, 1, 1, {1}, {}, false, 2);
    G.Trailer();
    TGIFImage Image;
    const LoadResult R = LoadGif(Image, G.Data);
    EXPECT_EQ(R.Error, "");
    EXPECT_EQ(R.Warnings, (std::vector<std::string>{"unknown GIF block type", "invalid image trailer"}));
    EXPECT_EQ(Image.Images.Count(), 2);
}

TEST(GIFReader, ZeroByteAfterAGraphicControlMakesAnExtraEmptyFrame) {
    GifBuilder G;
    G.Header(4, 2, Four);
    G.GCE(0x01, 7, 2);
    G.Raw({0});
    G.Frame(0, 0, 1, 1, {1}, {}, false, 2);
    G.Trailer();
    TGIFImage Image;
    const LoadResult R = LoadGif(Image, G.Data);
    EXPECT_EQ(R.Error, "");
    EXPECT_EQ(R.Warnings, (std::vector<std::string>{"invalid extension introducer"}));
    ASSERT_EQ(Image.Images.Count(), 2);
    EXPECT_TRUE(Image.Images[0].Empty());
    ASSERT_NE(Image.Images[0].GraphicControlExtension, nullptr);
    EXPECT_EQ(Image.Images[0].GraphicControlExtension->Delay(), 7);
    EXPECT_FALSE(Image.Images[1].Empty());
    EXPECT_EQ(Image.Images[1].GraphicControlExtension, nullptr);
    EXPECT_FALSE(Image.Images[1].Transparent);
}

TEST(GIFReader, ExtensionsBeforeTheTrailerMakeAnEmptyFrameThatOwnsThem) {
    GifBuilder G = TwoFrames();
    TGIFImage NoLoop;
    LoadGif(NoLoop, G.Data);
    EXPECT_EQ(NoLoop.RepetitionCount(), std::nullopt);
    G.Comment("the end");
    G.Loop(3);
    G.Trailer();
    TGIFImage Image;
    const LoadResult R = LoadGif(Image, G.Data);
    // The loop extension after the last frame gives the count.
    EXPECT_EQ(Image.RepetitionCount(), 3);
    EXPECT_EQ(R.Error, "");
    EXPECT_TRUE(R.Warnings.empty());
    ASSERT_EQ(Image.Images.Count(), 3);
    TGIFSubImage& Last = Image.Images[2];
    EXPECT_TRUE(Last.Empty());
    EXPECT_EQ(Last.Bitmap(), nullptr);
    ASSERT_EQ(Last.FrameExtensions.Count(), 2);
    ASSERT_NE(Last.FindExtension<TGIFCommentExtension>(), nullptr);
    EXPECT_EQ(Last.FindExtension<TGIFCommentExtension>()->Lines, (std::vector<std::string>{"the end"}));
    ASSERT_NE(Last.FindExtension<TGIFAppExtNSLoop>(), nullptr);
    EXPECT_EQ(Last.FindExtension<TGIFAppExtNSLoop>()->LoopCount, 3);
}

TEST(GIFReader, ZeroSizedFrameTakesTheLogicalScreen) {
    GifBuilder G;
    G.Header(3, 2, Four);
    G.Descriptor(0, 0, 0, 5, 0);
    G.Raw(LZWLiteral({1, 2, 3, 1, 2, 3}, 2));
    G.Trailer();
    TGIFImage Image;
    const LoadResult R = LoadGif(Image, G.Data);
    EXPECT_EQ(R.Error, "");
    EXPECT_EQ(R.Warnings, (std::vector<std::string>{"image exceeds logical screen size"}));
    ASSERT_EQ(Image.Images.Count(), 1);
    EXPECT_EQ(Image.Images[0].FrameRect(), Rect(0, 0, 3, 2));
    EXPECT_EQ(Image.Images[0].PixelData, (std::vector<std::uint8_t>{1, 2, 3, 1, 2, 3}));
}

TEST(GIFReader, ShortGraphicControlKeepsItsBytesAndWarns) {
    GifBuilder G;
    G.Header(4, 2, Four);
    G.Frame(0, 0, 1, 1, {1}, {}, false, 2);
    G.Raw({0x21, 0xF9, 4, 0x09, 0x30});
    TGIFImage Image;
    const LoadResult R = LoadGif(Image, G.Data);
    EXPECT_EQ(R.Error, "");
    EXPECT_EQ(R.Warnings, (std::vector<std::string>{"premature end of data"}));
    ASSERT_EQ(Image.Images.Count(), 2);
    const TGIFGraphicControlExtension* E = Image.Images[1].GraphicControlExtension;
    ASSERT_NE(E, nullptr);
    EXPECT_EQ(E->Rec.BlockSize, 4);
    EXPECT_EQ(E->Rec.PackedFields, 0x09);
    EXPECT_EQ(E->Delay(), 0x30);
    // A short record does not make the frame transparent.
    EXPECT_FALSE(Image.Images[1].Transparent);
}

TEST(GIFReader, LoopExtensionSubBlocks) {
    auto LoadLoop = [](const Bytes& Data, TGIFImage& Image) {
        GifBuilder G;
        G.Header(1, 1, Four);
        G.Raw({0x21, 0xFF, 11});
        G.Raw(B({'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'}));
        G.Raw(Data);
        G.Frame(0, 0, 1, 1, {1}, {}, false, 2);
        G.Trailer();
        return LoadGif(Image, G.Data);
    };
    TGIFImage A;
    EXPECT_EQ(LoadLoop(B({3, 1, 0x34, 0x12, 5, 2, 0x78, 0x56, 0x34, 0x12, 2, 4, 9, 0}), A).Error, "");
    TGIFAppExtNSLoop* L = A.Images[0].FindExtension<TGIFAppExtNSLoop>();
    ASSERT_NE(L, nullptr);
    EXPECT_EQ(L->LoopCount, 0x1234);
    EXPECT_EQ(L->BufferingSize, 0x12345678u);
    EXPECT_EQ(L->IdentifierText(), "NETSCAPE2.0");
    TGIFImage Short;
    const LoadResult R = LoadLoop(B({2, 1, 0x34, 0}), Short);
    EXPECT_EQ(R.Error, "invalid GIF data");
    EXPECT_EQ(R.EndPosition, 0);
    TGIFImage ShortBuffer;
    EXPECT_EQ(LoadLoop(B({4, 2, 1, 2, 3, 0}), ShortBuffer).Error, "invalid GIF data");
}

TEST(GIFReader, ApplicationExtensionIdentificationBlocks) {
    auto LoadApp = [](const Bytes& Ext, TGIFImage& Image) {
        GifBuilder G;
        G.Header(1, 1, Four);
        G.Raw({0x21, 0xFF});
        G.Raw(Ext);
        G.Frame(0, 0, 1, 1, {1}, {}, false, 2);
        G.Trailer();
        return LoadGif(Image, G.Data);
    };
    // An unknown identifier keeps its sub-blocks.
    TGIFImage Unknown;
    EXPECT_EQ(LoadApp(B({11, 'X', 'M', 'P', ' ', 'D', 'a', 't', 'a', 'X', 'M', 'P', 2, 7, 8, 1, 9, 0}), Unknown).Error,
              "");
    auto* U = Unknown.Images[0].FindExtension<TGIFUnknownAppExtension>();
    ASSERT_NE(U, nullptr);
    EXPECT_EQ(U->IdentifierText(), "XMP DataXMP");
    ASSERT_EQ(U->SubBlocks.size(), 2u);
    EXPECT_EQ(U->SubBlocks[0].Data, B({7, 8}));
    EXPECT_EQ(U->SubBlocks[1].Data, B({9}));
    // ANIMEXTS1.0 is a loop extension too.
    TGIFImage Anim;
    EXPECT_EQ(LoadApp(B({11, 'A', 'N', 'I', 'M', 'E', 'X', 'T', 'S', '1', '.', '0', 3, 1, 5, 0, 0}), Anim).Error, "");
    ASSERT_NE(Anim.Images[0].FindExtension<TGIFAppExtNSLoop>(), nullptr);
    EXPECT_EQ(Anim.Images[0].FindExtension<TGIFAppExtNSLoop>()->LoopCount, 5);
    EXPECT_EQ(Anim.RepetitionCount(), 5);
    // A 10-byte identification block is stored with a zero byte after it.
    TGIFImage Ten;
    EXPECT_EQ(LoadApp(B({10, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 1, 1, 0}), Ten).Error, "");
    auto* T = Ten.Images[0].FindExtension<TGIFUnknownAppExtension>();
    ASSERT_NE(T, nullptr);
    EXPECT_EQ(T->AppIdentifier[10], 0);
    EXPECT_EQ(T->IdentifierText(), "ABCDEFGHIJ");
    // A longer block: the identifier is kept, the extra bytes skipped.
    TGIFImage Long;
    EXPECT_EQ(
        LoadApp(B({13, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 'x', 'y', 3, 1, 2, 0, 0}), Long).Error,
        "");
    auto* LU = Long.Images[0].FindExtension<TGIFUnknownAppExtension>();
    ASSERT_NE(LU, nullptr);
    EXPECT_EQ(LU->IdentifierText(), "NETSCAPE2.0");
    EXPECT_EQ(LU->SubBlocks.size(), 1u);
    EXPECT_EQ(Long.Images[0].PixelData, (std::vector<std::uint8_t>{1}));
    // Shorter than 10 bytes is refused.
    TGIFImage Small;
    EXPECT_EQ(LoadApp(B({9, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 0}), Small).Error,
              "unsupported application extension block size");
}

TEST(GIFReader, TextAndCommentSubBlocksBecomeLines) {
    GifBuilder G;
    G.Header(1, 1, Four);
    G.Raw({0x21, 0x01, 12, 0, 0, 0, 0, 8, 0, 8, 0, 4, 4, 1, 0, 3, 'a', 'b', 'c', 2, 'd', 0, 0});
    G.Raw({0x21, 0xFE, 4, 'o', 'n', 'e', '!', 3, 't', 'w', 'o', 0});
    G.Frame(0, 0, 1, 1, {1}, {}, false, 2);
    G.Trailer();
    TGIFImage Image;
    EXPECT_EQ(LoadGif(Image, G.Data).Error, "");
    auto* T = Image.Images[0].FindExtension<TGIFTextExtension>();
    ASSERT_NE(T, nullptr);
    EXPECT_EQ(T->TextGridHeader[0], 12);
    EXPECT_EQ(T->TextGridHeader[5], 8);
    EXPECT_EQ(T->Lines, (std::vector<std::string>{"abc", "d"}));
    auto* C = Image.Images[0].FindExtension<TGIFCommentExtension>();
    ASSERT_NE(C, nullptr);
    EXPECT_EQ(C->Lines, (std::vector<std::string>{"one!", "two"}));
    EXPECT_EQ(Image.Images[0].FrameExtensions[0].RequiredVersion(), 2);
    // A frame with extensions is written as GIF89a.
    EXPECT_EQ(Image.Images[0].RequiredVersion(), 2);
}

TEST(GIFReader, FailedLoadRewindsTheStreamAndKeepsWhatWasComplete) {
    GifBuilder G = TwoFrames();
    G.Raw({0x21, 0x33, 1, 0, 0});
    G.Trailer();
    Bytes File = B({'j', 'u', 'n', 'k'});
    File.insert(File.end(), G.Data.begin(), G.Data.end());
    TMemoryStream In(File);
    In.SetPosition(4);
    TGIFImage Image;
    std::vector<std::pair<TProgressStage, int>> Progress;
    Image.OnProgress = [&](TGIFImage&, TProgressStage Stage, int Percent, const std::string&) {
        Progress.push_back({Stage, Percent});
    };
    try {
        Image.LoadFromStream(In);
        FAIL() << "no error";
    } catch (const GIFException& E) {
        EXPECT_STREQ(E.what(), "unknown extension type");
    }
    EXPECT_EQ(In.Position(), 4);
    EXPECT_EQ(Image.Width(), 4);
    EXPECT_EQ(Image.GlobalColorMap().Count(), 4);
    EXPECT_EQ(Image.Images.Count(), 2);
    EXPECT_EQ(Progress.back(), std::make_pair(TProgressStage::psEnding, 0));
    // Loading again starts from a clear image.
    GifBuilder Small;
    Small.Header(1, 1, {});
    Small.Trailer();
    TMemoryStream In2(Small.Data);
    Image.LoadFromStream(In2);
    EXPECT_EQ(Image.Images.Count(), 0);
    EXPECT_TRUE(Image.Empty());
    EXPECT_EQ(Image.GlobalColorMap().Count(), 0);
    // An image without a global map has no background colour.
    EXPECT_THROW(Image.BackgroundColor(), GIFException);
}

TEST(GIFReader, TruncatedHeaderAndTablesRaisePrematureEnd) {
    GifBuilder G = TwoFrames();
    G.Trailer();
    for (std::size_t Cut : {std::size_t(3), std::size_t(10), std::size_t(20), std::size_t(30)}) {
        SCOPED_TRACE(Cut);
        TGIFImage Image;
        const LoadResult R = LoadGif(Image, Bytes(G.Data.begin(), G.Data.begin() + static_cast<std::ptrdiff_t>(Cut)));
        // Cuts in the 13-byte header, the 12-byte table and the descriptor
        // (bytes 25..34) fail; short pixel data only warns.
        EXPECT_EQ(R.Error, "premature end of data");
        EXPECT_EQ(R.EndPosition, 0);
    }
}

TEST(GIFReader, FramesBeyondThePixelBoundsAreRefusedBeforeAllocating) {
    // A 65535 x 65535 frame in a file of a few dozen bytes.
    GifBuilder G;
    G.Header(10, 10, Four);
    G.Descriptor(0, 0, 0xFFFF, 0xFFFF, 0);
    G.Raw({2, 0});
    TGIFImage Image;
    EXPECT_EQ(LoadGif(Image, G.Data).Error, "image too large: more pixels than the decoder accepts");
    // A zero-sized frame on a huge screen is refused the same way.
    GifBuilder Z;
    Z.Header(0xFFFF, 0xFFFF, Four);
    Z.Descriptor(0, 0, 0, 0, 0);
    Z.Raw({2, 0});
    TGIFImage ZImage;
    EXPECT_EQ(LoadGif(ZImage, Z.Data).Error, "image too large: more pixels than the decoder accepts");
    // The bounds are settings: per frame, and for all frames together.
    GifBuilder M;
    M.Header(10, 10, Four);
    for (int I = 0; I < 3; ++I) M.Descriptor(0, 0, 10, 10, 0).Raw({2, 0});
    TGIFImage Limited;
    Limited.MaxFramePixels = 99;
    EXPECT_EQ(LoadGif(Limited, M.Data).Error, "image too large: more pixels than the decoder accepts");
    TGIFImage Total;
    Total.MaxImagePixels = 250;
    EXPECT_EQ(LoadGif(Total, M.Data).Error, "image too large: more pixels than the decoder accepts");
    EXPECT_EQ(Total.Images.Count(), 2);
    Total.MaxImagePixels = 300;
    EXPECT_EQ(LoadGif(Total, M.Data).Error, "");
    EXPECT_EQ(Total.Images.Count(), 3);
}

namespace {

// A custom extension class for label 0x34: keeps the sub-blocks as text.
class TTestExtension : public TGIFCommentExtension {
public:
    static const TGIFExtensionClass Class;
    using TGIFCommentExtension::TGIFCommentExtension;
    std::uint8_t LabelByte() const override { return 0x34; }
    const TGIFExtensionClass& ClassInfo() const override { return Class; }
};
const TGIFExtensionClass TTestExtension::Class = {
    "test", [](TGIFSubImage& F) -> std::unique_ptr<TGIFExtension> { return std::make_unique<TTestExtension>(F); },
    [](const TGIFExtensionClass& Self, TStream&) { return &Self; }};

}  // namespace

TEST(GIFReader, ExtensionRegistryTakesNewClassesAndUnknownLabelsFail) {
    GifBuilder G;
    G.Header(1, 1, Four);
    G.Raw({0x21, 0x34, 2, 'h', 'i', 0});
    G.Frame(0, 0, 1, 1, {1}, {}, false, 2);
    G.Trailer();
    TGIFImage Before;
    EXPECT_EQ(LoadGif(Before, G.Data).Error, "unknown extension type");
    RegisterExtension(0x34, TTestExtension::Class);
    EXPECT_EQ(FindExtension(0x34), &TTestExtension::Class);
    TGIFImage After;
    EXPECT_EQ(LoadGif(After, G.Data).Error, "");
    auto* T = After.Images[0].FindExtension<TTestExtension>();
    ASSERT_NE(T, nullptr);
    EXPECT_EQ(T->Lines, (std::vector<std::string>{"hi"}));
    EXPECT_EQ(FindExtension(0xF9), &TGIFGraphicControlExtension::Class);
    EXPECT_EQ(FindAppExtension(reinterpret_cast<const std::uint8_t*>("ANIMEXTS1.0")), &TGIFAppExtNSLoop::Class);
    EXPECT_EQ(FindAppExtension(reinterpret_cast<const std::uint8_t*>("NETSCAPE2.1")), nullptr);
}

TEST(GIFReader, LoadFileReadsFromDiskAndReportsMissingFiles) {
    TempDir Dir;
    GifBuilder G = TwoFrames();
    G.Trailer();
    WriteFileBytes(Dir.File("a.gif"), G.Data);
    TGIFImage Image;
    Image.LoadFile(Dir.File("a.gif"));
    EXPECT_EQ(Image.Images.Count(), 2);
    EXPECT_THROW(Image.LoadFile(Dir.File("missing.gif")), EFOpenError);
}
