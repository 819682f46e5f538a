// The conversion benchmark: converts a fixed set of GIF files with
// anivert-cli, as default and as compact movies, and reports, per file, our
// wall time, peak memory and movie size; beside them ffmpeg's conversion of
// the same GIF into an SWF (lossy video, no transparency) and the floor of
// the default design measured in the same run: decoding the GIF with giflib
// and deflating every frame's pixels (32 bits each, the frame's rectangle)
// with zlib at the default level. Then the sizes of both kinds of movie of
// every corpus GIF that converts, against the GIF files.
//
//   bench_convert --cli build/app/anivert-cli [--corpus DIR] [--runs N]
//                 [--results FILE] [--only NAME]
//   bench_convert --generate DIR   (writes the generated GIFs into DIR, for profiling)
//
// Times are the best of N runs (default 3); memory is the largest peak
// resident set of the child processes. The memory bound of compact movies
// is twice the decoded GIF's pixel indices plus 64 MiB.
#include <gif_lib.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

const char* const CorpusFiles[] = {
    "glide_opaque_gif.gif",
    "glide_transparent_gif.gif",
    "glide_interlaced_transparent_gif.gif",
    "agd_anim_flag_ok_large.gif",
    "imggif_sample_big.gif",
    "its_e6aa0c45a13dd7fc94f7b5451bd89bf4.gif",
    "pillow_iss634.gif",
    "pillow_chi.gif",
    "agd_led7.gif",
    "its_f617c7af7f36296a37ddb419b828099c.gif",
    "nsgif_waves.gif",
};

struct TRun {
    bool Ok = false;
    double Seconds = 0;
    long PeakKiB = 0;
    std::uintmax_t Size = 0;
};

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point Start) {
    return std::chrono::duration<double>(Clock::now() - Start).count();
}

// Runs a program with its output discarded; its wall time and peak RSS.
TRun Spawn(const std::vector<std::string>& Args) {
    std::vector<char*> Argv;
    for (const auto& A : Args) Argv.push_back(const_cast<char*>(A.c_str()));
    Argv.push_back(nullptr);
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&Actions, 2, "/dev/null", O_WRONLY, 0);
    TRun Run;
    const auto Start = Clock::now();
    pid_t Pid = 0;
    const int Err = posix_spawnp(&Pid, Argv[0], &Actions, nullptr, Argv.data(), environ);
    posix_spawn_file_actions_destroy(&Actions);
    if (Err != 0) return Run;
    int Status = 0;
    rusage Usage{};
    if (wait4(Pid, &Status, 0, &Usage) != Pid) return Run;
    Run.Seconds = Since(Start);
    Run.PeakKiB = Usage.ru_maxrss;
    Run.Ok = WIFEXITED(Status) && WEXITSTATUS(Status) == 0;
    return Run;
}

// Best time and largest peak of Runs runs; the size of Output after the last.
TRun Measure(const std::vector<std::string>& Args, const fs::path& Output, int Runs) {
    TRun Best;
    for (int I = 0; I < Runs; ++I) {
        std::error_code Ec;
        fs::remove(Output, Ec);
        const TRun R = Spawn(Args);
        if (!R.Ok) return R;
        Best.Seconds = I == 0 ? R.Seconds : std::min(Best.Seconds, R.Seconds);
        Best.PeakKiB = std::max(Best.PeakKiB, R.PeakKiB);
    }
    std::error_code Ec;
    Best.Size = fs::file_size(Output, Ec);
    Best.Ok = !Ec;
    return Best;
}

// ----- the floor: giflib decoding plus zlib deflating the frames' pixels

struct TFloor {
    bool Ok = false;
    double Seconds = 0;
    std::uintmax_t Size = 0;  // the deflated pixels of every frame
    int Frames = 0;
    int Width = 0, Height = 0;
    std::uintmax_t Indices = 0;  // the decoded frames' pixel indices
};

TFloor FloorOnce(const std::string& Path) {
    TFloor F;
    const auto Start = Clock::now();
    int Error = 0;
    GifFileType* Gif = DGifOpenFileName(Path.c_str(), &Error);
    if (!Gif) return F;
    if (DGifSlurp(Gif) != GIF_OK && Gif->ImageCount == 0) {
        DGifCloseFile(Gif, &Error);
        return F;
    }
    F.Width = Gif->SWidth;
    F.Height = Gif->SHeight;
    F.Frames = Gif->ImageCount;
    std::vector<std::uint8_t> Pixels;
    std::vector<Bytef> Packed;
    for (int I = 0; I < Gif->ImageCount; ++I) {
        const SavedImage& Image = Gif->SavedImages[I];
        const ColorMapObject* Map = Image.ImageDesc.ColorMap ? Image.ImageDesc.ColorMap : Gif->SColorMap;
        GraphicsControlBlock Gcb{};
        Gcb.TransparentColor = NO_TRANSPARENT_COLOR;
        DGifSavedExtensionToGCB(Gif, I, &Gcb);
        const std::size_t Count = static_cast<std::size_t>(Image.ImageDesc.Width) * Image.ImageDesc.Height;
        if (!Image.RasterBits || Count == 0) continue;
        F.Indices += Count;
        Pixels.resize(Count * 4);
        for (std::size_t P = 0; P < Count; ++P) {
            const int Index = Image.RasterBits[P];
            std::uint8_t* Out = &Pixels[P * 4];
            if (Index == Gcb.TransparentColor || !Map || Index >= Map->ColorCount) {
                Out[0] = Out[1] = Out[2] = Out[3] = 0;
            } else {
                const GifColorType& C = Map->Colors[Index];
                Out[0] = 255;
                Out[1] = C.Red;
                Out[2] = C.Green;
                Out[3] = C.Blue;
            }
        }
        uLongf Len = compressBound(static_cast<uLong>(Pixels.size()));
        Packed.resize(Len);
        if (compress2(Packed.data(), &Len, Pixels.data(), static_cast<uLong>(Pixels.size()), Z_DEFAULT_COMPRESSION) !=
            Z_OK) {
            DGifCloseFile(Gif, &Error);
            return F;
        }
        F.Size += Len;
    }
    DGifCloseFile(Gif, &Error);
    F.Seconds = Since(Start);
    F.Ok = true;
    return F;
}

TFloor FloorInProcess(const std::string& Path, int Runs) {
    TFloor Best;
    for (int I = 0; I < Runs; ++I) {
        const TFloor F = FloorOnce(Path);
        if (!F.Ok) return F;
        const double Seconds = I == 0 ? F.Seconds : std::min(Best.Seconds, F.Seconds);
        Best = F;
        Best.Seconds = Seconds;
    }
    return Best;
}

// The floor is measured in a child process: the memory it takes must not
// stay with this process, whose peak a spawned converter would inherit.
TFloor Floor(const std::string& Path, int Runs) {
    int Pipe[2];
    if (pipe(Pipe) != 0) return {};
    const pid_t Pid = fork();
    if (Pid < 0) {
        close(Pipe[0]);
        close(Pipe[1]);
        return {};
    }
    if (Pid == 0) {
        close(Pipe[0]);
        const TFloor F = FloorInProcess(Path, Runs);
        const ssize_t Written = write(Pipe[1], &F, sizeof F);
        _exit(Written == static_cast<ssize_t>(sizeof F) ? 0 : 1);
    }
    close(Pipe[1]);
    TFloor F;
    const ssize_t Got = read(Pipe[0], &F, sizeof F);
    close(Pipe[0]);
    int Status = 0;
    waitpid(Pid, &Status, 0);
    if (Got != static_cast<ssize_t>(sizeof F)) return {};
    return F;
}

// ----- generated files

struct TGifWriter {
    GifFileType* Gif = nullptr;
    explicit TGifWriter(const std::string& Path, int Width, int Height, const ColorMapObject* Map) {
        int Error = 0;
        Gif = EGifOpenFileName(Path.c_str(), false, &Error);
        if (!Gif) throw std::runtime_error("cannot write " + Path);
        EGifSetGifVersion(Gif, true);
        if (EGifPutScreenDesc(Gif, Width, Height, 8, 0, Map) != GIF_OK) throw std::runtime_error("screen");
        // Loop forever.
        const unsigned char App[] = "NETSCAPE2.0";
        const unsigned char Loop[] = {1, 0, 0};
        EGifPutExtensionLeader(Gif, APPLICATION_EXT_FUNC_CODE);
        EGifPutExtensionBlock(Gif, 11, App);
        EGifPutExtensionBlock(Gif, 3, Loop);
        EGifPutExtensionTrailer(Gif);
    }
    void Frame(int Left, int Top, int Width, int Height, int Delay, int Disposal, int Transparent,
               const std::vector<GifPixelType>& Pixels) {
        GraphicsControlBlock Gcb{};
        Gcb.DisposalMode = Disposal;
        Gcb.DelayTime = Delay;
        Gcb.TransparentColor = Transparent;
        GifByteType Ext[4];
        const size_t Len = EGifGCBToExtension(&Gcb, Ext);
        EGifPutExtension(Gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(Len), Ext);
        if (EGifPutImageDesc(Gif, Left, Top, Width, Height, false, nullptr) != GIF_OK)
            throw std::runtime_error("image");
        for (int Y = 0; Y < Height; ++Y)
            if (EGifPutLine(Gif, const_cast<GifPixelType*>(&Pixels[static_cast<std::size_t>(Y) * Width]), Width) !=
                GIF_OK)
                throw std::runtime_error("line");
    }
    ~TGifWriter() {
        int Error = 0;
        if (Gif) EGifCloseFile(Gif, &Error);
    }
};

ColorMapObject* MakePalette() {
    ColorMapObject* Map = GifMakeMapObject(256, nullptr);
    for (int I = 0; I < 256; ++I) {
        Map->Colors[I].Red = static_cast<GifByteType>((I * 37) & 255);
        Map->Colors[I].Green = static_cast<GifByteType>((I * 91 + 40) & 255);
        Map->Colors[I].Blue = static_cast<GifByteType>(255 - I);
    }
    return Map;
}

// 500 x 500, 100 full-screen frames: moving rings and stripes, so that
// every frame differs from the one before over most of the screen.
void MakeFullFrames(const std::string& Path) {
    ColorMapObject* Map = MakePalette();
    {
        TGifWriter W(Path, 500, 500, Map);
        std::vector<GifPixelType> Pixels(500 * 500);
        for (int F = 0; F < 100; ++F) {
            for (int Y = 0; Y < 500; ++Y)
                for (int X = 0; X < 500; ++X) {
                    const int Dx = X - 250 - F, Dy = Y - 250 + F / 2;
                    const int Ring = static_cast<int>(std::sqrt(static_cast<double>(Dx * Dx + Dy * Dy))) / 3;
                    Pixels[static_cast<std::size_t>(Y) * 500 + X] =
                        static_cast<GifPixelType>((Ring + (X + Y + 4 * F) / 16) & 255);
                }
            W.Frame(0, 0, 500, 500, 4, 1, NO_TRANSPARENT_COLOR, Pixels);
        }
    }
    GifFreeMapObject(Map);
}

// A 1000 x 800 screen with 300 small frames (40 x 40, partly transparent)
// moving over it, each left in place.
void MakeSmallFrames(const std::string& Path) {
    ColorMapObject* Map = MakePalette();
    {
        TGifWriter W(Path, 1000, 800, Map);
        std::vector<GifPixelType> Background(1000 * 800);
        for (int Y = 0; Y < 800; ++Y)
            for (int X = 0; X < 1000; ++X)
                Background[static_cast<std::size_t>(Y) * 1000 + X] = static_cast<GifPixelType>(((X / 50) + (Y / 50)) & 15);
        W.Frame(0, 0, 1000, 800, 2, 1, NO_TRANSPARENT_COLOR, Background);
        std::vector<GifPixelType> Pixels(40 * 40);
        for (int F = 1; F < 300; ++F) {
            const int Left = (F * 53) % 960, Top = (F * 29) % 760;
            for (int Y = 0; Y < 40; ++Y)
                for (int X = 0; X < 40; ++X) {
                    const int Dx = X - 20, Dy = Y - 20;
                    Pixels[static_cast<std::size_t>(Y) * 40 + X] =
                        Dx * Dx + Dy * Dy > 400 ? 255 : static_cast<GifPixelType>(16 + (F + X + Y) % 200);
                }
            W.Frame(Left, Top, 40, 40, 2, 1, 255, Pixels);
        }
    }
    GifFreeMapObject(Map);
}

// ----- report

std::string Fixed(double V, int Digits) {
    std::ostringstream S;
    S << std::fixed << std::setprecision(Digits) << V;
    return S.str();
}

std::string Kib(std::uintmax_t Bytes) { return Fixed(static_cast<double>(Bytes) / 1024.0, 0); }

struct TRow {
    std::string Name;
    std::string Shape;  // WxH, frames
    std::uintmax_t GifSize = 0;
    TRun Ours, Compact, Ffmpeg;
    TFloor Floor;
};

std::string CpuName() {
    std::ifstream F("/proc/cpuinfo");
    std::string Line;
    while (std::getline(F, Line))
        if (Line.rfind("model name", 0) == 0) {
            const auto P = Line.find(':');
            return P == std::string::npos ? Line : Line.substr(P + 2);
        }
    return "unknown";
}

std::string Ratio(bool Ok, double A, double B) { return Ok && B > 0 ? Fixed(A / B, 2) : "-"; }

// Sizes of every corpus GIF's movies, both kinds, against the GIF files.
struct TSizes {
    int Files = 0, Failed = 0;
    std::uintmax_t Gif = 0, Default = 0, Compact = 0;
    // Files of 2 KiB or more whose compact movie passes 1.5 times the GIF.
    std::vector<std::string> Over;
};

std::string Report(const std::vector<TRow>& Rows, const TSizes& Sizes, int Runs) {
    std::ostringstream S;
    const std::time_t Now = std::time(nullptr);
    char Date[64];
    std::strftime(Date, sizeof Date, "%Y-%m-%d %H:%M UTC", std::gmtime(&Now));
    S << "# Conversion benchmark\n\n"
      << "Run on " << Date << ", " << CpuName() << ", " << sysconf(_SC_NPROCESSORS_ONLN)
      << " cores; best of " << Runs << " runs per figure.\n\n"
      << "- default, compact: `anivert-cli` and `anivert-cli --compact` converting the GIF into a movie "
         "(wall time, peak RSS of the process, movie size)\n"
      << "- bound: the memory goal of compact movies, twice the decoded GIF's pixel indices plus 64 MiB\n"
      << "- floor: giflib `DGifSlurp` plus zlib `compress2` at the default level of each frame's pixels "
         "(32 bits, the frame's rectangle), in one thread: the floor of the default movie's design\n"
      << "- ffmpeg: `ffmpeg -i x.gif x.swf` (lossy video, no transparency)\n\n"
      << "| file | screen, frames | GIF KiB | default s | default MiB | default KiB | compact s | compact MiB "
         "| bound MiB | compact KiB | compact/GIF | floor s | ffmpeg s | ffmpeg KiB | compact/ffmpeg s |\n"
      << "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    double Totals[4] = {0, 0, 0, 0};  // default, compact, floor, ffmpeg
    std::uintmax_t GifTotal = 0, CompactTotal = 0;
    auto Run = [&S](const TRun& R) {
        if (R.Ok)
            S << Fixed(R.Seconds, 3) << " | " << Fixed(R.PeakKiB / 1024.0, 1);
        else
            S << "failed | ";
    };
    for (const auto& R : Rows) {
        const double Bound = 2.0 * static_cast<double>(R.Floor.Indices) / (1024 * 1024) + 64;
        S << "| " << R.Name << " | " << R.Shape << " | " << Kib(R.GifSize) << " | ";
        Run(R.Ours);
        S << " | " << (R.Ours.Ok ? Kib(R.Ours.Size) : "") << " | ";
        Run(R.Compact);
        S << " | " << (R.Floor.Ok ? Fixed(Bound, 1) : "-") << " | " << (R.Compact.Ok ? Kib(R.Compact.Size) : "")
          << " | " << Ratio(R.Compact.Ok, static_cast<double>(R.Compact.Size), static_cast<double>(R.GifSize))
          << " | " << (R.Floor.Ok ? Fixed(R.Floor.Seconds, 3) : "failed") << " | ";
        if (R.Ffmpeg.Ok)
            S << Fixed(R.Ffmpeg.Seconds, 3) << " | " << Kib(R.Ffmpeg.Size);
        else
            S << "failed | ";
        S << " | " << Ratio(R.Compact.Ok && R.Ffmpeg.Ok, R.Compact.Seconds, R.Ffmpeg.Seconds) << " |\n";
        if (R.Ours.Ok && R.Compact.Ok && R.Floor.Ok && R.Ffmpeg.Ok) {
            Totals[0] += R.Ours.Seconds;
            Totals[1] += R.Compact.Seconds;
            Totals[2] += R.Floor.Seconds;
            Totals[3] += R.Ffmpeg.Seconds;
            GifTotal += R.GifSize;
            CompactTotal += R.Compact.Size;
        }
    }
    if (Totals[3] > 0)
        S << "| **all** | | " << Kib(GifTotal) << " | " << Fixed(Totals[0], 3) << " | | | " << Fixed(Totals[1], 3)
          << " | | | " << Kib(CompactTotal) << " | " << Ratio(true, static_cast<double>(CompactTotal), static_cast<double>(GifTotal))
          << " | " << Fixed(Totals[2], 3) << " | " << Fixed(Totals[3], 3) << " | | "
          << Ratio(true, Totals[1], Totals[3]) << " |\n";
    if (Sizes.Files > 0) {
        S << "\n## Every corpus GIF that converts\n\n"
          << Sizes.Files << " files (" << Sizes.Failed << " more do not convert, as the decoder refuses them).\n\n"
          << "| | bytes | / GIF |\n|---|---:|---:|\n"
          << "| GIF files | " << Sizes.Gif << " | 1.00 |\n"
          << "| default movies | " << Sizes.Default << " | "
          << Ratio(true, static_cast<double>(Sizes.Default), static_cast<double>(Sizes.Gif)) << " |\n"
          << "| compact movies | " << Sizes.Compact << " | "
          << Ratio(true, static_cast<double>(Sizes.Compact), static_cast<double>(Sizes.Gif)) << " |\n\n";
        if (Sizes.Over.empty())
            S << "No compact movie of a GIF of 2 KiB or more passes 1.5 times its GIF.\n";
        else {
            S << "Compact movies of GIFs of 2 KiB or more that pass 1.5 times their GIF:\n\n";
            for (const auto& O : Sizes.Over) S << "- " << O << "\n";
        }
    }
    return S.str();
}

// Converts every corpus GIF once in both ways and adds up the sizes.
TSizes CorpusSizes(const std::string& Cli, const std::string& Corpus, const fs::path& Work) {
    TSizes Z;
    std::error_code Ec;
    if (!fs::is_directory(Corpus, Ec)) return Z;
    std::vector<fs::path> Gifs;
    for (const auto& E : fs::directory_iterator(Corpus, Ec))
        if (E.path().extension() == ".gif") Gifs.push_back(E.path());
    std::sort(Gifs.begin(), Gifs.end());
    const fs::path Out = Work / "sizes";
    fs::create_directories(Out);
    for (const auto& G : Gifs) {
        const fs::path Swf = Out / (G.stem().string() + ".swf");
        const TRun D = Measure({Cli, "-q", "-o", Out.string(), G.string()}, Swf, 1);
        const TRun C = Measure({Cli, "-q", "--compact", "-o", Out.string(), G.string()}, Swf, 1);
        if (!D.Ok || !C.Ok) {
            ++Z.Failed;
            continue;
        }
        const std::uintmax_t Size = fs::file_size(G, Ec);
        ++Z.Files;
        Z.Gif += Size;
        Z.Default += D.Size;
        Z.Compact += C.Size;
        if (Size >= 2048 && C.Size * 2 > Size * 3)
            Z.Over.push_back(G.stem().string() + ": " + Kib(Size) + " KiB, compact movie " + Kib(C.Size) + " KiB (" +
                             Fixed(static_cast<double>(C.Size) / static_cast<double>(Size), 2) + " x)");
    }
    return Z;
}

}  // namespace

int main(int argc, char** argv) {
    std::string Cli = "build/app/anivert-cli";
    std::string Corpus = ANIVERT_SHARED_DIR "/corpus/gifs";
    std::string Results;
    std::string Only;
    std::string GenerateInto;
    int Runs = 3;
    for (int I = 1; I < argc; ++I) {
        const std::string A = argv[I];
        auto Next = [&]() -> std::string {
            if (I + 1 >= argc) {
                std::cerr << A << " needs a value\n";
                std::exit(2);
            }
            return argv[++I];
        };
        if (A == "--cli") Cli = Next();
        else if (A == "--corpus") Corpus = Next();
        else if (A == "--runs") Runs = std::max(1, std::atoi(Next().c_str()));
        else if (A == "--results") Results = Next();
        else if (A == "--only") Only = Next();
        else if (A == "--generate") GenerateInto = Next();
        else {
            std::cerr << "usage: bench_convert [--cli PATH] [--corpus DIR] [--runs N] [--results FILE] [--only NAME]\n"
                         "       bench_convert --generate DIR\n";
            return 2;
        }
    }
    if (!GenerateInto.empty()) {
        MakeFullFrames((fs::path(GenerateInto) / "generated_500x500_100_full.gif").string());
        MakeSmallFrames((fs::path(GenerateInto) / "generated_1000x800_300_small.gif").string());
        return 0;
    }
    Cli = fs::absolute(Cli).string();
    if (access(Cli.c_str(), X_OK) != 0) {
        std::cerr << "no converter at " << Cli << "\n";
        return 2;
    }

    char Template[] = "/tmp/anivert-bench-XXXXXX";
    if (!mkdtemp(Template)) {
        std::cerr << "cannot make a temporary folder\n";
        return 2;
    }
    const fs::path Work = Template;
    const fs::path Out = Work / "out";
    fs::create_directories(Out);

    std::vector<fs::path> Files;
    for (const char* Name : CorpusFiles) {
        const fs::path P = fs::path(Corpus) / Name;
        if (fs::exists(P)) Files.push_back(P);
        else std::cerr << "not in the corpus, left out: " << Name << "\n";
    }
    try {
        MakeFullFrames((Work / "generated_500x500_100_full.gif").string());
        MakeSmallFrames((Work / "generated_1000x800_300_small.gif").string());
    } catch (const std::exception& E) {
        std::cerr << "cannot generate the test GIFs: " << E.what() << "\n";
        return 2;
    }
    Files.push_back(Work / "generated_500x500_100_full.gif");
    Files.push_back(Work / "generated_1000x800_300_small.gif");

    std::vector<TRow> Rows;
    for (const auto& File : Files) {
        const std::string Stem = File.stem().string();
        if (!Only.empty() && Stem.find(Only) == std::string::npos) continue;
        TRow Row;
        Row.Name = Stem;
        std::cerr << Stem << " ..." << std::flush;
        Row.Floor = Floor(File.string(), Runs);
        Row.Shape = std::to_string(Row.Floor.Width) + "x" + std::to_string(Row.Floor.Height) + ", " +
                    std::to_string(Row.Floor.Frames);
        Row.GifSize = fs::file_size(File);
        Row.Ours = Measure({Cli, "-q", "-o", Out.string(), File.string()}, Out / (Stem + ".swf"), Runs);
        Row.Compact = Measure({Cli, "-q", "--compact", "-o", Out.string(), File.string()}, Out / (Stem + ".swf"), Runs);
        Row.Ffmpeg = Measure({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", File.string(),
                              (Out / (Stem + "-ffmpeg.swf")).string()},
                             Out / (Stem + "-ffmpeg.swf"), Runs);
        std::cerr << " default " << Fixed(Row.Ours.Seconds, 3) << " s, compact " << Fixed(Row.Compact.Seconds, 3)
                  << " s, floor " << Fixed(Row.Floor.Seconds, 3) << " s, ffmpeg " << Fixed(Row.Ffmpeg.Seconds, 3)
                  << " s\n";
        Rows.push_back(Row);
    }
    TSizes Sizes;
    if (Only.empty()) {
        std::cerr << "the corpus's sizes ..." << std::flush;
        Sizes = CorpusSizes(Cli, Corpus, Work);
        std::cerr << " " << Sizes.Files << " files\n";
    }
    std::error_code Ec;
    fs::remove_all(Work, Ec);

    const std::string Text = Report(Rows, Sizes, Runs);
    std::cout << Text;
    if (!Results.empty()) {
        std::ofstream F(Results);
        F << Text;
        if (!F) {
            std::cerr << "cannot write " << Results << "\n";
            return 1;
        }
    }
    return 0;
}
