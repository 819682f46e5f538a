// The deflaters on our own pictures: reads movies, takes the lossless
// bitmaps out of them (inflated back to the colour table and rows the
// converter laid out) and deflates them again with zlib and libdeflate at
// several levels, one thread. Reports, per kind of picture (colour-mapped
// or 32 bits a pixel), the bytes written and the megabytes of pictures
// deflated per second.
//
//   bench_deflate MOVIE.swf...   (e.g. the movies of anivert-cli --compact)
//   bench_deflate --per-picture MOVIE.swf...
//       one line a picture: its kind, bytes, what a sample of it deflates
//       to (SampledDeflateRatio) and libdeflate's bytes and seconds at the
//       levels compact movies choose from
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "SWFBitmaps.h"
#include "SWFStreams.h"
#include "Streams.h"

using namespace anivert;

namespace {

struct TPictures {
    std::vector<std::vector<std::uint8_t>> Raw;
    std::size_t Bytes = 0;
    std::size_t Stored = 0;  // as the movies hold them
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: bench_deflate MOVIE.swf...\n";
        return 2;
    }
    const bool PerPicture = std::string(argv[1]) == "--per-picture";
    TPictures Kinds[2];  // colour-mapped, 32 bits
    for (int I = PerPicture ? 2 : 1; I < argc; ++I) {
        TSWFFileReader R;
        try {
            R.LoadFile(argv[I]);
        } catch (const std::exception& E) {
            std::cerr << argv[I] << ": " << E.what() << "\n";
            return 1;
        }
        for (const TSWFReadTag& T : R.Tags) {
            const auto* L = dynamic_cast<const TSWFDefineBitsLossless*>(T.Tag.get());
            if (!L || !L->Data || L->DataSize <= 0) continue;
            TPictures& K = Kinds[L->BitmapFormat == 3 ? 0 : 1];
            K.Raw.push_back(ZInflate(L->Data, static_cast<std::size_t>(L->DataSize), std::size_t{1} << 30));
            K.Bytes += K.Raw.back().size();
            K.Stored += static_cast<std::size_t>(L->DataSize);
        }
    }
    if (PerPicture) {
        const int Levels[] = {0, 1, 3, 5};
        std::printf("kind\tbytes\tsampled");
        for (int L : Levels) std::printf("\tbytes%d\ts%d", L, L);
        std::printf("\n");
        for (int K = 0; K < 2; ++K)
            for (const auto& Raw : Kinds[K].Raw) {
                std::printf("%d\t%zu\t%.4f", K, Raw.size(), SampledDeflateRatio(Raw.data(), Raw.size()));
                for (int L : Levels) {
                    double Best = 1e9;
                    std::size_t Out = 0;
                    for (int Run = 0; Run < 3; ++Run) {
                        const auto Start = std::chrono::steady_clock::now();
                        Out = Deflate(Raw.data(), Raw.size(), {TDeflater::Libdeflate, L}).size();
                        Best = std::min(Best, std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count());
                    }
                    std::printf("\t%zu\t%.6f", Out, Best);
                }
                std::printf("\n");
            }
        return 0;
    }
    struct TChoice {
        const char* Name;
        TDeflateSettings Settings;
    };
    const TChoice Choices[] = {
        {"zlib 1", {TDeflater::Zlib, 1}},        {"zlib 3", {TDeflater::Zlib, 3}},
        {"zlib 6", {TDeflater::Zlib, 6}},        {"zlib 9", {TDeflater::Zlib, 9}},
        {"libdeflate 1", {TDeflater::Libdeflate, 1}}, {"libdeflate 3", {TDeflater::Libdeflate, 3}},
        {"libdeflate 4", {TDeflater::Libdeflate, 4}}, {"libdeflate 5", {TDeflater::Libdeflate, 5}},
        {"libdeflate 6", {TDeflater::Libdeflate, 6}}, {"libdeflate 8", {TDeflater::Libdeflate, 8}},
        {"libdeflate 9", {TDeflater::Libdeflate, 9}}, {"libdeflate 12", {TDeflater::Libdeflate, 12}},
    };
    const char* KindNames[2] = {"colour-mapped", "32 bits"};
    for (int K = 0; K < 2; ++K) {
        const TPictures& P = Kinds[K];
        std::printf("%s: %zu pictures, %.1f MB laid out, %.1f MB as stored\n", KindNames[K], P.Raw.size(),
                    P.Bytes / 1e6, P.Stored / 1e6);
        if (P.Raw.empty()) continue;
        std::printf("  %-14s %12s %8s %10s\n", "deflater", "bytes", "ratio", "MB/s");
        for (const TChoice& C : Choices) {
            std::size_t Out = 0;
            double Best = 1e9;
            for (int Run = 0; Run < 3; ++Run) {
                const auto Start = std::chrono::steady_clock::now();
                std::size_t Sum = 0;
                for (const auto& Raw : P.Raw) Sum += Deflate(Raw.data(), Raw.size(), C.Settings).size();
                Best = std::min(Best, std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count());
                Out = Sum;
            }
            std::printf("  %-14s %12zu %8.4f %10.1f\n", C.Name, Out, static_cast<double>(Out) / P.Bytes,
                        P.Bytes / 1e6 / Best);
        }
    }
    return 0;
}
