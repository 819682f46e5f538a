// The real GIF files of the shared corpus: their structure against the
// manifest, their pixel indices against giflib, and the composed frames
// against Chromium's reference pictures.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "GIFScan.h"
#include "GIFTestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace {

namespace fs = std::filesystem;

Json ReadJson(const std::string& File) {
    std::ifstream F(CorpusDir() + File);
    std::stringstream S;
    S << F.rdbuf();
    return ParseJson(S.str());
}

const Json& Manifest() {
    static const Json M = ReadJson("/manifest.json");
    return M;
}

// Chromium's readings (metadata and frame hashes) per file stem.
const Json& References() {
    static const Json R = ReadJson("/ref/refs.json");
    return R;
}

// gifsicle's verdict from manifest.tsv ("ok" or "read-error").
std::string GifsicleStatus(const std::string& Name) {
    static const std::map<std::string, std::string> Status = [] {
        std::map<std::string, std::string> M;
        std::ifstream F(CorpusDir() + "/manifest.tsv");
        std::string Line;
        while (std::getline(F, Line)) {
            if (Line.empty() || Line[0] == '#') continue;
            std::vector<std::string> Cells;
            std::stringstream S(Line);
            std::string Cell;
            while (std::getline(S, Cell, '\t')) Cells.push_back(Cell);
            if (Cells.size() >= 9) M[Cells[0]] = Cells[8];
        }
        return M;
    }();
    auto It = Status.find(Name);
    return It == Status.end() ? "" : It->second;
}

std::string Stem(const std::string& Name) { return Name.substr(0, Name.size() - 4); }

std::string TestName(const testing::TestParamInfo<std::string>& Info) {
    std::string S = Stem(Info.param);
    for (char& C : S)
        if (!std::isalnum(static_cast<unsigned char>(C))) C = '_';
    return S;
}

struct Decoded {
    TGIFImage Image;
    LoadResult Result;
    // The frames that have pixels (extension-only frames left out).
    std::vector<TGIFSubImage*> Frames;
};

std::unique_ptr<Decoded> Decode(const std::string& Name) {
    auto D = std::make_unique<Decoded>();
    D->Result = LoadGif(D->Image, ReadFileBytes(CorpusDir() + "/gifs/" + Name));
    for (const auto& F : D->Image.Images)
        if (!F->Empty()) D->Frames.push_back(F.get());
    return D;
}

class Corpus : public testing::TestWithParam<std::string> {};

}  // namespace

// ---------------------------------------------------------------- manifest

namespace {

const std::map<std::string, std::string> ManifestExclusions = {
    {"wuffs_multiple-graphic-controls.gif",
     "two graphic control extensions before one frame: the frame's GraphicControlExtension is the first (delay "
     "20), gifsicle reports the last (delay 30)"},
};

}  // namespace

TEST_P(Corpus, StructureMatchesTheManifest) {
    const std::string Name = GetParam();
    if (GifsicleStatus(Name) != "ok") GTEST_SKIP() << "gifsicle reports a read error";
    if (CorpusNotLoading().count(Name)) GTEST_SKIP() << CorpusNotLoading().at(Name);
    if (ManifestExclusions.count(Name)) GTEST_SKIP() << ManifestExclusions.at(Name);
    const Json& M = Manifest()[Name]["gifsicle"];
    const Json& GL = Manifest()[Name]["giflib"];
    auto D = Decode(Name);
    ASSERT_EQ(D->Result.Error, "");
    ASSERT_EQ(D->Frames.size(), static_cast<std::size_t>(M["frames"].Int()));
    if (M.Has("width")) {
        EXPECT_EQ(D->Image.Width(), M["width"].Int());
        EXPECT_EQ(D->Image.Height(), M["height"].Int());
    }
    const bool GiflibIndices = GL["frames"].Int() == M["frames"].Int();
    for (std::size_t I = 0; I < D->Frames.size(); ++I) {
        SCOPED_TRACE("frame " + std::to_string(I));
        const TGIFSubImage& F = *D->Frames[I];
        const Json& R = M["rects"][I];
        EXPECT_EQ(F.FrameRect(), Rect(R[0].Int(), R[1].Int(), R[0].Int() + R[2].Int(), R[1].Int() + R[3].Int()));
        const TGIFGraphicControlExtension* G = F.GraphicControlExtension;
        EXPECT_EQ(G ? G->Delay() : 0, M["delays"][I].Int());
        EXPECT_EQ(G ? G->Disposal() : 0, M["disposals"][I].Int());
        EXPECT_EQ(F.Transparent, M["transparent"][I].B);
        EXPECT_EQ(F.IsInterlaced(), M["interlace"][I].B);
        EXPECT_EQ(F.ColorTable.Count(), M["lct"][I].Int());
        if (GiflibIndices && F.Transparent && GL["transparent"][I].B) {
            EXPECT_EQ(G->TransparentColorIndex(), GL["transparent_index"][I].Int());
        }
    }
    // gifsicle takes the last loop extension.
    if (M["loop"].K == Json::Null) EXPECT_EQ(D->Image.RepetitionCount(), std::nullopt);
    else EXPECT_EQ(D->Image.RepetitionCount(), M["loop"].Int());
    // The cheap scan, which decodes nothing, sees the same frames and screen.
    const TGIFScan Scan = ScanGIFFile(CorpusDir() + "/gifs/" + Name);
    EXPECT_EQ(Scan.Frames, static_cast<std::uint64_t>(M["frames"].Int()));
    if (M.Has("width")) {
        EXPECT_EQ(std::make_pair(Scan.Width, Scan.Height), std::make_pair(M["width"].Int(), M["height"].Int()));
    }
}

// ---------------------------------------------------------------- giflib

TEST_P(Corpus, PixelIndicesMatchGiflib) {
    const std::string Name = GetParam();
    const std::string Path = CorpusDir() + "/gifs/" + Name;
    int Err = 0;
    GifFileType* Gif = DGifOpenFileName(Path.c_str(), &Err);
    if (!Gif) GTEST_SKIP() << "giflib cannot open the file";
    struct Closer {
        GifFileType* G;
        ~Closer() {
            int E;
            DGifCloseFile(G, &E);
        }
    } Close{Gif};
    if (DGifSlurp(Gif) != GIF_OK) GTEST_SKIP() << "giflib cannot decode the file: " << GifErrorString(Gif->Error);
    if (CorpusNotLoading().count(Name)) GTEST_SKIP() << CorpusNotLoading().at(Name);
    auto D = Decode(Name);
    ASSERT_EQ(D->Result.Error, "");
    ASSERT_EQ(D->Frames.size(), static_cast<std::size_t>(Gif->ImageCount));
    for (int I = 0; I < Gif->ImageCount; ++I) {
        SCOPED_TRACE("frame " + std::to_string(I));
        const SavedImage& S = Gif->SavedImages[I];
        const TGIFSubImage& F = *D->Frames[static_cast<std::size_t>(I)];
        ASSERT_EQ(F.FrameRect(), Rect(S.ImageDesc.Left, S.ImageDesc.Top, S.ImageDesc.Left + S.ImageDesc.Width,
                                      S.ImageDesc.Top + S.ImageDesc.Height));
        const std::vector<std::uint8_t> Theirs(S.RasterBits, S.RasterBits + F.PixelDataSize());
        if (F.PixelData != Theirs) {
            std::size_t At = 0;
            while (F.PixelData[At] == Theirs[At]) ++At;
            ADD_FAILURE() << "first difference at pixel " << At << ": " << int(F.PixelData[At]) << " vs "
                          << int(Theirs[At]);
        }
    }
}

// ---------------------------------------------------------------- Chromium

namespace {

using Canvas = std::vector<std::uint8_t>;  // RGBA

// Composes the frames on a transparent canvas of the logical screen:
// transparent pixels leave the canvas, disposal 2 clears the frame's area
// to transparent, disposal 3 restores the canvas from before the frame.
std::vector<Canvas> Compose(TGIFImage& Image, const std::vector<TGIFSubImage*>& Frames) {
    const int W = Image.Width(), H = Image.Height();
    Canvas C(static_cast<std::size_t>(W) * H * 4, 0);
    std::vector<Canvas> Out;
    for (TGIFSubImage* F : Frames) {
        const TGIFGraphicControlExtension* G = F->GraphicControlExtension;
        const int Disposal = G ? G->Disposal() : 0;
        const Canvas Before = C;
        const TGIFColorMap& Map = F->UsedColorMap();
        const int TI = F->Transparent && G ? G->TransparentColorIndex() : -1;
        for (int Y = 0; Y < F->Height(); ++Y)
            for (int X = 0; X < F->Width(); ++X) {
                const int CX = F->Left() + X, CY = F->Top() + Y;
                if (CX >= W || CY >= H) continue;
                const int Index = F->PixelAt(X, Y);
                if (Index == TI) continue;
                std::uint8_t* P = &C[(static_cast<std::size_t>(CY) * W + CX) * 4];
                const TGIFColor Color = Index < Map.Count() ? Map.Entries()[Index] : TGIFColor{};
                P[0] = Color.Red;
                P[1] = Color.Green;
                P[2] = Color.Blue;
                P[3] = 255;
            }
        Out.push_back(C);
        if (Disposal == 2) {
            for (int Y = F->Top(); Y < std::min(H, F->Top() + F->Height()); ++Y)
                for (int X = F->Left(); X < std::min(W, F->Left() + F->Width()); ++X)
                    std::fill_n(&C[(static_cast<std::size_t>(Y) * W + X) * 4], 4, 0);
        } else if (Disposal == 3) {
            C = Before;
        }
    }
    return Out;
}

}  // namespace

TEST_P(Corpus, ComposedFramesMatchChromium) {
    const std::string Name = GetParam();
    const std::string Dir = CorpusDir() + "/ref/" + Stem(Name) + "/chrome";
    std::set<std::string> Stored;
    std::error_code EC;
    for (const auto& E : fs::directory_iterator(Dir, EC)) Stored.insert(E.path().filename().string());
    Stored.erase("img-000.png");
    if (Stored.empty()) GTEST_SKIP() << "Chromium's decoder gives no frame";
    if (CorpusNotLoading().count(Name)) GTEST_SKIP() << CorpusNotLoading().at(Name);
    auto D = Decode(Name);
    ASSERT_EQ(D->Result.Error, "");
    // The repetitions Chromium plays an animation with (it says "Infinity"
    // for ever, and for every still image).
    const Json& Meta = References()[Stem(Name)]["chrome_meta"];
    if (Meta["frameCount"].Int() > 1) {
        const std::optional<std::uint16_t> Count = D->Image.RepetitionCount();
        const Json& Theirs = Meta["repetitionCount"];
        if (Theirs.K == Json::String) {
            EXPECT_EQ(Theirs.S, "Infinity");
            EXPECT_EQ(Count, 0) << "a count of 0 loops for ever";
        } else if (Theirs.Int() == 0) {
            EXPECT_EQ(Count, std::nullopt) << "without a loop extension the animation plays once";
        } else {
            EXPECT_EQ(Count, Theirs.Int());
        }
    }
    if (ChromiumExclusions().count(Name)) GTEST_SKIP() << ChromiumExclusions().at(Name);
    const std::vector<Canvas> Frames = Compose(D->Image, D->Frames);
    for (const std::string& File : Stored) {
        SCOPED_TRACE(File);
        const std::size_t K = static_cast<std::size_t>(std::stoi(File.substr(0, 3)));
        ASSERT_LT(K, Frames.size());
        RGBAImage Ref;
        ASSERT_TRUE(ReadPNG(Dir + "/" + File, Ref));
        ASSERT_EQ(Ref.Width, D->Image.Width());
        ASSERT_EQ(Ref.Height, D->Image.Height());
        const Canvas& Ours = Frames[K];
        std::size_t Differ = 0, First = 0;
        for (std::size_t P = 0; P < Ours.size(); P += 4) {
            const bool Same = (Ours[P + 3] == 0 && Ref.Pixels[P + 3] == 0) ||
                              std::equal(&Ours[P], &Ours[P] + 4, &Ref.Pixels[P]);
            if (!Same && Differ++ == 0) First = P / 4;
        }
        EXPECT_EQ(Differ, 0u) << "first at (" << First % Ref.Width << ", " << First / Ref.Width << ")";
    }
}

TEST(CorpusFiles, AreThere) { EXPECT_GE(AllCorpusFiles().size(), 140u) << CorpusDir(); }

INSTANTIATE_TEST_SUITE_P(Files, Corpus, testing::ValuesIn(CorpusFiles()), TestName);

// ---------------------------------------------------------------- tolerances

namespace {

struct Expectation {
    std::string Error;
    std::vector<std::string> Warnings;
    int Frames;  // Images.Count(), empty frames included
};

const char* const Premature = "premature end of data";
const char* const Exceeds = "image exceeds logical screen size";

// Every corpus file that fails or warns, with what it must give; every
// other file loads without a warning.
const std::map<std::string, Expectation> Broken = {
    {"deb-nmap_pixel.gif", {Premature, {}, 0}},
    {"imggif_issue-101-infinite-empty-loop.gif",
     {"image too large: more pixels than the decoder accepts", {Exceeds}, 0}},
    {"imggif_issue-117-out-of-range.gif", {"circular decoder table entry", {}, 0}},
    {"imggif_issue-96-small-codesize-2.gif", {"", {Premature}, 1}},
    {"its_2b5bc31d84703bfb9f371925f0e3e57d.gif", {"invalid GIF data", {Exceeds}, 0}},
    {"its_55abb3cc464305dd554171c3d44cb61f.gif", {Premature, {}, 1}},
    {"its_5f09a896c191db3fa7ea6bdd5ebe9485.gif", {"invalid GIF data", {Exceeds}, 0}},
    {"its_6d939393058de0579fca1bbf10ecff25.gif", {Premature, {}, 3}},
    {"its_9f8f6046eaf9ffa2d9c5d6db05c5f881.gif", {"unknown extension type", {}, 1}},
    {"its_bc7af0616c4ae99144c8600e7b39beea.gif", {"", {Premature}, 5}},
    {"its_ce774930ac70449f38a18789c70095b8.gif", {"invalid GIF data", {}, 4}},
    {"its_d5a0175c07418852152ef33a886a5029.gif", {"invalid GIF signature", {}, 0}},
    {"nsgif_afl-000045.gif", {"", {Premature}, 1}},
    {"nsgif_afl-000126.gif", {"unknown extension type", {}, 0}},
    {"nsgif_lzwof.gif", {"circular decoder table entry", {}, 0}},
    {"nsgif_lzwoob.gif", {"invalid GIF data", {}, 0}},
    {"pillow_test_extents_transparency.gif", {"", {"unknown GIF block type", "invalid image trailer"}, 1}},
    {"pillow_zero_width.gif", {"invalid GIF data", {Exceeds}, 0}},
    {"pygif_no-eoi.gif", {"", {"decoder bit buffer under-run"}, 1}},
    {"pygif_overflow-codes.gif", {"invalid GIF data", {}, 0}},
    {"pygif_unknown-extension.gif", {"unknown extension type", {}, 0}},
    {"vips_truncated.gif", {"", {Premature}, 1}},
    {"wuffs_hippopotamus.interlaced.truncated.gif", {"", {Premature}, 1}},
    {"wuffs_zero-width-frame.gif", {"", {Exceeds}, 1}},
};

}  // namespace

TEST_P(Corpus, LoadsOrFailsAsTheTolerancesSay) {
    const std::string Name = GetParam();
    auto D = Decode(Name);
    auto It = Broken.find(Name);
    if (It == Broken.end()) {
        EXPECT_EQ(D->Result.Error, "");
        EXPECT_TRUE(D->Result.Warnings.empty()) << D->Result.Warnings.front();
        return;
    }
    const Expectation& E = It->second;
    EXPECT_EQ(D->Result.Error, E.Error);
    EXPECT_EQ(D->Result.Warnings, E.Warnings);
    EXPECT_EQ(D->Image.Images.Count(), E.Frames);
    // A failed load leaves the stream where it began.
    if (!E.Error.empty()) {
        EXPECT_EQ(D->Result.EndPosition, 0);
    }
    // What was read can be drawn.
    for (TGIFSubImage* F : D->Frames) EXPECT_NE(F->Bitmap(), nullptr);
}

// Frames decoded together on several threads give what decoding them one
// by one gives: the same frames and pixels, error, warnings with their
// senders, progress events, and stream position.
TEST_P(Corpus, DecodingFramesTogetherChangesNothing) {
    const Bytes Data = ReadFileBytes(CorpusDir() + "/gifs/" + GetParam());
    struct TRun {
        TGIFImage Image;
        LoadResult Result;
        std::vector<std::string> Events;
    };
    auto Load = [&Data](TRun& R, unsigned Threads) {
        R.Image.DecodeThreads = Threads;
        R.Image.OnProgress = [&R](TGIFImage&, TProgressStage Stage, int Percent, const std::string& M) {
            R.Events.push_back(std::to_string(static_cast<int>(Stage)) + " " + std::to_string(Percent) + " " + M);
        };
        R.Result = LoadGif(R.Image, Data);
        // Senders are named by where they are once the load is over.
        std::vector<std::pair<std::size_t, const TGIFSubImage*>> Senders;
        R.Image.OnDecodeWarning = [&R, &Senders](TGIFImage&, const TGIFItem* Sender, int, const std::string& M) {
            Senders.emplace_back(R.Events.size(), dynamic_cast<const TGIFSubImage*>(Sender));
            R.Events.push_back(M + " from ");
        };
        TMemoryStream In(Data);
        try {
            R.Image.LoadFromStream(In);
        } catch (const GIFException&) {
        }
        for (const auto& [At, Frame] : Senders)
            R.Events[At] += Frame ? std::to_string(R.Image.Images.IndexOf(Frame)) : "image";
    };
    TRun One, Together;
    Load(One, 1);
    Load(Together, 3);
    EXPECT_EQ(Together.Result.Error, One.Result.Error);
    EXPECT_EQ(Together.Result.Warnings, One.Result.Warnings);
    EXPECT_EQ(Together.Result.EndPosition, One.Result.EndPosition);
    EXPECT_EQ(Together.Events, One.Events);
    ASSERT_EQ(Together.Image.Images.Count(), One.Image.Images.Count());
    for (int I = 0; I < One.Image.Images.Count(); ++I) {
        EXPECT_EQ(Together.Image.Images[I].FrameRect(), One.Image.Images[I].FrameRect()) << I;
        EXPECT_TRUE(Together.Image.Images[I].PixelData == One.Image.Images[I].PixelData) << I;
    }

    // Decoded on demand, a few frames at a time and let go of: the same
    // frames and pixels, the same error (raised by the load or by the
    // decoding of a frame) and the same warnings.
    TGIFImage Lazy;
    Lazy.DecodeOnDemand = true;
    Lazy.DecodeThreads = 3;
    std::vector<std::string> Warnings;
    Lazy.OnDecodeWarning = [&](TGIFImage&, const TGIFItem*, int, const std::string& M) { Warnings.push_back(M); };
    std::string Error;
    std::vector<Bytes> Pixels;
    TMemoryStream In(Data);
    try {
        Lazy.LoadFromStream(In);
        for (int K = 0; K < Lazy.Images.Count(); ++K) {
            EXPECT_EQ(Lazy.Images[K].Empty(), One.Image.Images.Count() > K && One.Image.Images[K].Empty()) << K;
            Lazy.DecodeFrames(K, 4);
            Pixels.push_back(Lazy.Images[K].PixelData);
            Lazy.ReleaseFrame(K);
            EXPECT_TRUE(Lazy.Images[K].PixelData.empty()) << K;
        }
        Lazy.DecodeFrames(0, Lazy.Images.Count());
    } catch (const GIFException& E) {
        Error = E.what();
    }
    EXPECT_EQ(Error, One.Result.Error);
    EXPECT_EQ(Warnings, One.Result.Warnings);
    if (Error.empty()) {
        ASSERT_EQ(static_cast<int>(Pixels.size()), One.Image.Images.Count());
        for (int K = 0; K < One.Image.Images.Count(); ++K)
            EXPECT_TRUE(Pixels[static_cast<std::size_t>(K)] == One.Image.Images[K].PixelData) << K;
    }
}
