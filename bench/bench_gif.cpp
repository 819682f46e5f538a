// Decoding speed of the GIF reader beside giflib's DGifSlurp on the larger
// files of the shared corpus, in decoded megapixels per second (the pixels
// of every frame's descriptor rectangle); encoding speed of the writer with
// each encoder beside giflib's EGifSpew writing the same frames, in encoded
// megapixels per second, with the size of each file written.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "GIFImage.h"

using namespace anivert;

namespace {

const char* const Files[] = {
    "glide_opaque_gif.gif",   "glide_transparent_gif.gif", "agd_anim_flag_ok_large.gif",
    "its_e6aa0c45a13dd7fc94f7b5451bd89bf4.gif", "glide_interlaced_transparent_gif.gif",
    "wuffs_harvesters.gif",   "imggif_sample_big.gif",     "imggif_note.gif",
};

std::vector<std::uint8_t> ReadCorpusFile(const std::string& Name) {
    std::ifstream F(std::string(ANIVERT_SHARED_DIR) + "/corpus/gifs/" + Name, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(F), std::istreambuf_iterator<char>());
}

struct TMemoryReader {
    const std::vector<std::uint8_t>* Data;
    std::size_t Pos = 0;
};

int ReadFromMemory(GifFileType* Gif, GifByteType* Buffer, int Count) {
    auto* R = static_cast<TMemoryReader*>(Gif->UserData);
    const std::size_t N = std::min<std::size_t>(static_cast<std::size_t>(Count), R->Data->size() - R->Pos);
    std::memcpy(Buffer, R->Data->data() + R->Pos, N);
    R->Pos += N;
    return static_cast<int>(N);
}

void SetPixelRate(benchmark::State& State, std::uint64_t Pixels) {
    State.counters["MP/s"] =
        benchmark::Counter(static_cast<double>(Pixels) * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
    State.counters["MP"] = static_cast<double>(Pixels) * 1e-6;
}

void BM_Anivert(benchmark::State& State, const std::string& Name) {
    const std::vector<std::uint8_t> Data = ReadCorpusFile(Name);
    std::uint64_t Pixels = 0;
    for (auto _ : State) {
        TMemoryStream In(Data);
        TGIFImage Image;
        Image.LoadFromStream(In);
        Pixels = 0;
        for (const auto& F : Image.Images) Pixels += F->PixelDataSize();
        benchmark::DoNotOptimize(Pixels);
    }
    SetPixelRate(State, Pixels);
}

void BM_Giflib(benchmark::State& State, const std::string& Name) {
    const std::vector<std::uint8_t> Data = ReadCorpusFile(Name);
    std::uint64_t Pixels = 0;
    for (auto _ : State) {
        TMemoryReader Reader{&Data};
        int Error = 0;
        GifFileType* Gif = DGifOpen(&Reader, ReadFromMemory, &Error);
        if (!Gif || DGifSlurp(Gif) != GIF_OK) {
            State.SkipWithError("giflib cannot decode the file");
            if (Gif) DGifCloseFile(Gif, &Error);
            break;
        }
        Pixels = 0;
        for (int I = 0; I < Gif->ImageCount; ++I)
            Pixels += std::uint64_t(Gif->SavedImages[I].ImageDesc.Width) * Gif->SavedImages[I].ImageDesc.Height;
        benchmark::DoNotOptimize(Pixels);
        DGifCloseFile(Gif, &Error);
    }
    SetPixelRate(State, Pixels);
}

// ---------------------------------------------------------------- encoding

void BM_AnivertSave(benchmark::State& State, const std::string& Name, std::uint8_t Compression) {
    const std::vector<std::uint8_t> Data = ReadCorpusFile(Name);
    TMemoryStream In(Data);
    TGIFImage Image;
    Image.LoadFromStream(In);
    Image.Compression = Compression;
    std::uint64_t Pixels = 0;
    for (const auto& F : Image.Images) Pixels += F->PixelDataSize();
    std::int64_t Bytes = 0;
    for (auto _ : State) {
        TMemoryStream Out;
        Image.SaveToStream(Out);
        Bytes = Out.Size();
        benchmark::DoNotOptimize(Out.Memory());
    }
    SetPixelRate(State, Pixels);
    State.counters["KB"] = static_cast<double>(Bytes) / 1024;
}

int WriteToMemory(GifFileType* Gif, const GifByteType* Buffer, int Count) {
    auto* Out = static_cast<std::vector<std::uint8_t>*>(Gif->UserData);
    Out->insert(Out->end(), Buffer, Buffer + Count);
    return Count;
}

// EGifSpew writes a whole file from a GifFileType and frees it: each round
// copies the frames read by DGifSlurp into a new one (not timed).
void BM_GiflibSpew(benchmark::State& State, const std::string& Name) {
    const std::vector<std::uint8_t> Data = ReadCorpusFile(Name);
    TMemoryReader Reader{&Data};
    int Error = 0;
    GifFileType* Source = DGifOpen(&Reader, ReadFromMemory, &Error);
    if (!Source || DGifSlurp(Source) != GIF_OK) {
        State.SkipWithError("giflib cannot decode the file");
        if (Source) DGifCloseFile(Source, &Error);
        return;
    }
    std::uint64_t Pixels = 0;
    for (int I = 0; I < Source->ImageCount; ++I)
        Pixels += std::uint64_t(Source->SavedImages[I].ImageDesc.Width) * Source->SavedImages[I].ImageDesc.Height;
    std::vector<std::uint8_t> Out;
    for (auto _ : State) {
        State.PauseTiming();
        Out.clear();
        GifFileType* Gif = EGifOpen(&Out, WriteToMemory, &Error);
        Gif->SWidth = Source->SWidth;
        Gif->SHeight = Source->SHeight;
        Gif->SColorResolution = Source->SColorResolution;
        Gif->SBackGroundColor = Source->SBackGroundColor;
        Gif->AspectByte = Source->AspectByte;
        if (Source->SColorMap)
            Gif->SColorMap = GifMakeMapObject(Source->SColorMap->ColorCount, Source->SColorMap->Colors);
        for (int I = 0; I < Source->ImageCount; ++I) GifMakeSavedImage(Gif, &Source->SavedImages[I]);
        State.ResumeTiming();
        if (EGifSpew(Gif) != GIF_OK) {
            State.SkipWithError("EGifSpew failed");
            break;
        }
    }
    DGifCloseFile(Source, &Error);
    SetPixelRate(State, Pixels);
    State.counters["KB"] = static_cast<double>(Out.size()) / 1024;
}

const bool Registered = [] {
    for (const char* Name : Files) {
        benchmark::RegisterBenchmark((std::string("Anivert/") + Name).c_str(), BM_Anivert, std::string(Name))
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("giflib/") + Name).c_str(), BM_Giflib, std::string(Name))
            ->Unit(benchmark::kMillisecond);
    }
    for (const char* Name : Files) {
        benchmark::RegisterBenchmark((std::string("Save/LZW/") + Name).c_str(), BM_AnivertSave, std::string(Name),
                                     std::uint8_t(gcLZW))
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("Save/RLE/") + Name).c_str(), BM_AnivertSave, std::string(Name),
                                     std::uint8_t(gcRLE))
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("Save/EGifSpew/") + Name).c_str(), BM_GiflibSpew,
                                     std::string(Name))
            ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
