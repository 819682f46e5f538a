// Speed of the SWF writing core: bit packing, tag framing, movie saving.
#include <benchmark/benchmark.h>

#include "FlashObjects.h"

using namespace anivert;

static void BM_WriteBits(benchmark::State& State) {
    for (auto _ : State) {
        TMemoryStream M;
        TBitsEngine BE(M);
        for (std::uint32_t I = 0; I < 100000; ++I) BE.WriteBits(I, 1 + I % 32);
        BE.FlushLastByte(true);
        benchmark::DoNotOptimize(M.Size());
    }
    State.SetItemsProcessed(State.iterations() * 100000);
}
BENCHMARK(BM_WriteBits);

static void BM_PlaceAndShowFrames(benchmark::State& State) {
    for (auto _ : State) {
        TFlashMovie Movie(0, 0, 640, 480, 24.0f, true);
        Movie.SetVersion(6);
        for (int I = 0; I < 5000; ++I) {
            TFlashPlaceObject* P = Movie.PlaceObject(nullptr, static_cast<std::uint16_t>(2 * I));
            P->SetTranslate(I % 640, I % 480);
            Movie.RemoveObject(static_cast<std::uint16_t>(2 * I), nullptr);
            Movie.ShowFrame(3);
        }
        Movie.MakeStream();
        benchmark::DoNotOptimize(Movie.Body->Size());
    }
    State.SetItemsProcessed(State.iterations() * 5000);
}
BENCHMARK(BM_PlaceAndShowFrames);

static void BM_SaveMovie(benchmark::State& State) {
    TFlashMovie Movie(0, 0, 640, 480, 24.0f, true);
    Movie.SetCompressed(State.range(0) != 0);
    auto Raw = std::make_unique<TSWFUnknownTag>(tagDefineBitsLossless2);
    Raw->Data.resize(4 << 20);
    for (std::size_t I = 0; I < Raw->Data.size(); ++I) Raw->Data[I] = static_cast<std::uint8_t>((I * 2654435761u) >> 24);
    Movie.AddObject(std::move(Raw));
    Movie.ShowFrame(1);
    Movie.MakeStream();
    for (auto _ : State) {
        TMemoryStream Out;
        Movie.SaveToStream(Out);
        benchmark::DoNotOptimize(Out.Size());
    }
    State.SetBytesProcessed(State.iterations() * Movie.Body->Size());
}
BENCHMARK(BM_SaveMovie)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
