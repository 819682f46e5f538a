// The painter playing the largest animations of the shared corpus on a
// virtual clock: one pass per iteration onto a canvas of the logical
// screen, the frame pictures made beforehand, so that what is measured is
// the composition (drawing through masks, the disposal buffers, copying to
// the canvas). Reports frames composed per second and megapixels of screen
// per second.
#include <benchmark/benchmark.h>

#include <string>

#include "GIFImage.h"

using namespace anivert;

namespace {

const char* const Files[] = {
    "glide_opaque_gif.gif",       "glide_transparent_gif.gif", "glide_interlaced_transparent_gif.gif",
    "agd_anim_flag_ok_large.gif", "imggif_sample_big.gif",     "its_e6aa0c45a13dd7fc94f7b5451bd89bf4.gif",
};

void BM_Painter(benchmark::State& State, const std::string& Name) {
    TGIFImage Image;
    Image.LoadFile(std::string(ANIVERT_SHARED_DIR) + "/corpus/gifs/" + Name);
    for (const auto& F : Image.Images) {
        F->MaskAvailable();
        F->Bitmap();
    }
    TGIFVirtualClock Clock;
    Image.SetScheduler(&Clock);
    TGIFCanvas Canvas(Image.Width(), Image.Height(), 0x808080);
    std::int64_t Frames = 0;
    Image.OnFrameShown = [&](TGIFPainter&) { ++Frames; };
    const auto Options = static_cast<std::uint16_t>(Image.PaintOptions & ~poLoop);
    for (auto _ : State) {
        const auto Painter = Image.StartPainter(Canvas, Canvas.BoundsRect(), Options);
        Painter->Resume();
        Clock.RunUntilIdle(std::int64_t(1) << 40);
        benchmark::DoNotOptimize(Canvas.Bits());
    }
    State.counters["frames/s"] = benchmark::Counter(static_cast<double>(Frames), benchmark::Counter::kIsRate);
    State.counters["MP/s"] = benchmark::Counter(static_cast<double>(Frames) * Image.Width() * Image.Height() * 1e-6,
                                                benchmark::Counter::kIsRate);
    State.counters["frames"] = static_cast<double>(Frames) / static_cast<double>(State.iterations());
}

const bool Registered = [] {
    for (const char* Name : Files)
        benchmark::RegisterBenchmark((std::string("Painter/") + Name).c_str(), BM_Painter, std::string(Name))
            ->Unit(benchmark::kMillisecond);
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
