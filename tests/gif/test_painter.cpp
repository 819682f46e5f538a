// The canvas, drawing frames and images, and the painter on a virtual
// clock: delays, loops, passes, disposal methods, stopping and restarting.
#include <gtest/gtest.h>

#include <stdexcept>

#include "GIFTestUtil.h"
#include "GIFTimeline.h"

using namespace anivert;
using namespace anivert::test;

namespace {

// Black, red, green, blue (0x00BBGGRR) and their pixel words.
const std::vector<TColor> Four{0x000000, 0x0000FF, 0x00FF00, 0xFF0000};
constexpr std::uint32_t Black = 0xFF000000, Red = 0xFFFF0000, Green = 0xFF00FF00, Blue = 0xFF0000FF;
// The canvas before painting.
constexpr TColor Under = 0x808080;
constexpr std::uint32_t UnderWord = 0xFF808080;

struct FrameSpec {
    int Left, Top, Width, Height;
    std::vector<std::uint8_t> Pixels;  // one value: every pixel
    int Disposal = 0;
    int Delay = 0;
    int Transparent = -1;
    int Loop = -1;  // a loop extension with this count before the frame
};

Bytes MakeGif(int W, int H, const std::vector<FrameSpec>& Frames, int Background = 0) {
    GifBuilder G;
    G.Header(W, H, Four, "GIF89a", Background);
    for (const FrameSpec& F : Frames) {
        if (F.Loop >= 0) G.Loop(F.Loop);
        G.GCE((F.Disposal << 2) | (F.Transparent >= 0 ? 1 : 0), F.Delay, std::max(0, F.Transparent));
        std::vector<std::uint8_t> P = F.Pixels;
        if (P.size() == 1) P.assign(std::size_t(F.Width) * F.Height, P[0]);
        G.Frame(F.Left, F.Top, F.Width, F.Height, P);
    }
    G.Trailer();
    return G.Data;
}

// Frames of one colour each over the whole screen, delay 10, the loop
// extension (if any) before the first.
Bytes Plain(int Count, int Loop = -1, int W = 2, int H = 2) {
    std::vector<FrameSpec> Frames;
    for (int I = 0; I < Count; ++I) Frames.push_back({0, 0, W, H, {std::uint8_t(1 + I % 3)}, 0, 10, -1, -1});
    Frames[0].Loop = Loop;
    return MakeGif(W, H, Frames);
}

// An image on a virtual clock that records what its painters do.
struct Player {
    TGIFVirtualClock Clock;
    TGIFImage Image;
    TGIFCanvas Canvas;
    std::vector<std::pair<int, std::int64_t>> Shown;  // frame, time
    int Starts = 0, Passes = 0, Ends = 0, Changes = 0;

    explicit Player(const Bytes& Gif) {
        EXPECT_EQ(LoadGif(Image, Gif).Error, "");
        Canvas.SetSize(Image.Width(), Image.Height(), Under);
        Image.SetScheduler(&Clock);
        Image.OnPlayStart = [this](TGIFPainter&) { ++Starts; };
        Image.OnPassStart = [this](TGIFPainter&) { ++Passes; };
        Image.OnPlayEnd = [this](TGIFPainter&) { ++Ends; };
        Image.OnFrameShow = [this](TGIFPainter& P) { Shown.emplace_back(P.CurrentFrame(), Clock.Now()); };
        Image.OnChange = [this](TGIFImage&) { ++Changes; };
    }
    std::shared_ptr<TGIFPainter> Play(std::uint16_t Options) {
        auto P = Image.StartPainter(Canvas, Canvas.BoundsRect(), Options);
        if (P) P->Resume();
        return P;
    }
    std::vector<int> Frames() const {
        std::vector<int> F;
        for (const auto& S : Shown) F.push_back(S.first);
        return F;
    }
    std::vector<std::int64_t> Times() const {
        std::vector<std::int64_t> T;
        for (const auto& S : Shown) T.push_back(S.second);
        return T;
    }
};

constexpr std::uint16_t Async = poAsynchronous | poAnimate | poLoop;

}  // namespace

// ---------------------------------------------------------------- canvas

TEST(GIFCanvas, FillsCopiesStretchesAndTilesWithinItsPixels) {
    TGIFCanvas C(4, 3, 0x0000FF);
    EXPECT_EQ(C.Pixel(0, 0), Red);
    EXPECT_EQ(C.Colors(3, 2), 0x0000FFu);
    EXPECT_EQ(C.Pixel(4, 0), 0u);
    C.FillRect(Rect(-2, 1, 2, 9), 0xFF0000);
    EXPECT_EQ(C.Pixel(1, 2), Blue);
    EXPECT_EQ(C.Pixel(2, 2), Red);
    EXPECT_EQ(C.Pixel(1, 0), Red);

    TGIFCanvas S(2, 2);
    const std::uint32_t A = 0xFF010203, B = 0xFF040506, D = 0xFF0A0B0C;
    S.ScanLine(0)[0] = A;
    S.ScanLine(0)[1] = B;
    S.ScanLine(1)[0] = Green;
    S.ScanLine(1)[1] = D;
    TGIFCanvas Big(4, 4);
    Big.CopyRect(Big.BoundsRect(), S, S.BoundsRect());
    EXPECT_EQ(Big.Pixel(1, 1), A);
    EXPECT_EQ(Big.Pixel(2, 1), B);
    EXPECT_EQ(Big.Pixel(1, 2), Green);
    EXPECT_EQ(Big.Pixel(3, 3), D);
    // Where the source rectangle leaves the source, the destination stays.
    TGIFCanvas E(3, 1, 0x00FF00);
    E.CopyRect(E.BoundsRect(), S, Rect(1, 0, 4, 1));
    EXPECT_EQ(E.Pixel(0, 0), B);
    EXPECT_EQ(E.Pixel(1, 0), Green);
    // Tiles from the rectangle's corner, cut at its edge.
    TGIFCanvas T(6, 3, 0x000000);
    T.TileCopy(Rect(1, 0, 6, 3), S);
    EXPECT_EQ(T.Pixel(0, 0), Black);
    EXPECT_EQ(T.Pixel(1, 0), A);
    EXPECT_EQ(T.Pixel(4, 1), D);
    EXPECT_EQ(T.Pixel(5, 2), A);

    // A new store (or a released one) expires the handle; the lifetime ends
    // with the canvas.
    auto Handle = C.Handle();
    auto Life = std::make_unique<TGIFCanvas>(1, 1);
    auto Lifetime = Life->Lifetime();
    C.ReleaseHandle();
    EXPECT_TRUE(Handle.expired());
    Handle = C.Handle();
    C.SetSize(2, 2);
    EXPECT_TRUE(Handle.expired());
    EXPECT_FALSE(Lifetime.expired());
    Life.reset();
    EXPECT_TRUE(Lifetime.expired());
    EXPECT_THROW(TGIFCanvas(1 << 16, 1 << 15), GIFException);
}

TEST(GIFFrameDraw, FramesArePlacedStretchedTiledAndDrawnThroughTheirMasks) {
    // Screen 4 x 4; a 2 x 2 frame at (2, 0): red, green / blue, transparent.
    TGIFImage Image;
    ASSERT_EQ(LoadGif(Image, MakeGif(4, 4, {{2, 0, 2, 2, {1, 2, 3, 0}, 0, 0, 0}})).Error, "");
    TGIFSubImage& F = Image.Images[0];
    EXPECT_EQ(F.PlacedRect(Rect(10, 10, 18, 18)), Rect(14, 10, 18, 14));

    TGIFCanvas C(20, 20, Under);
    int Changes = 0;
    C.OnChange = [&] { ++Changes; };
    F.Draw(C, Rect(10, 10, 18, 18), false, true);
    EXPECT_EQ(Changes, 1);
    EXPECT_EQ(C.Pixel(14, 10), Red);
    EXPECT_EQ(C.Pixel(15, 11), Red);
    EXPECT_EQ(C.Pixel(16, 10), Green);
    EXPECT_EQ(C.Pixel(14, 12), Blue);
    EXPECT_EQ(C.Pixel(17, 13), UnderWord);  // through the mask
    EXPECT_EQ(C.Pixel(13, 10), UnderWord);
    // Without transparency the transparent index shows its colour.
    F.DrawStretched(C, Rect(0, 0, 4, 4), false, false);
    EXPECT_EQ(C.Pixel(3, 3), Black);
    // Tiled: the screen repeats from the rectangle's corner at its own size.
    TGIFCanvas T(20, 20, Under);
    F.Draw(T, Rect(0, 0, 10, 5), true, true);
    for (const TPoint P : {TPoint{2, 0}, TPoint{6, 0}, TPoint{2, 4}, TPoint{6, 4}}) EXPECT_EQ(T.Pixel(P.X, P.Y), Red);
    EXPECT_EQ(T.Pixel(2, 5), UnderWord);  // cut at the rectangle
    EXPECT_EQ(T.Pixel(10, 0), UnderWord);
    EXPECT_EQ(T.Pixel(7, 1), UnderWord);
    // Tiles are laid only where the canvas is.
    TGIFImage Dot;
    ASSERT_EQ(LoadGif(Dot, MakeGif(1, 1, {{0, 0, 1, 1, {1}}})).Error, "");
    Dot.PaintOptions |= poTile;
    TGIFCanvas Small(3, 3, Under);
    Dot.Draw(Small, Rect(-1000000000, -1000000000, 1000000000, 1000000000));
    EXPECT_EQ(Small.Pixel(0, 0), Red);
    EXPECT_EQ(Small.Pixel(2, 2), Red);
}

// ---------------------------------------------------------------- image

TEST(GIFImageDraw, OneFrameIsDrawnAtOnceAndAnAnimationThroughTheImageBitmap) {
    Player One(Plain(1));
    One.Image.Draw(One.Canvas, Rect(0, 0, 1, 2));
    EXPECT_EQ(One.Canvas.Pixel(0, 0), Red);
    EXPECT_EQ(One.Canvas.Pixel(1, 0), UnderWord);
    EXPECT_TRUE(One.Image.Painters().empty());
    EXPECT_EQ(One.Image.ImageBitmap(), nullptr);

    Player P(Plain(2));
    TGIFCanvas Screen(4, 4, Under);
    P.Image.Draw(Screen, Screen.BoundsRect());
    ASSERT_NE(P.Image.ImageBitmap(), nullptr);
    ASSERT_NE(P.Image.DrawPainter(), nullptr);
    EXPECT_EQ(Screen.Pixel(3, 3), Red);
    EXPECT_EQ(P.Changes, 1);
    P.Clock.Wait(120);
    EXPECT_EQ(P.Image.ImageBitmap()->Pixel(1, 1), Green);
    EXPECT_EQ(P.Changes, 2);
    EXPECT_EQ(Screen.Pixel(3, 3), Red);
    TGIFPainter* Painter = P.Image.DrawPainter();
    P.Image.Draw(Screen, Screen.BoundsRect());
    EXPECT_EQ(Screen.Pixel(3, 3), Green);
    EXPECT_EQ(P.Image.DrawPainter(), Painter);
    P.Image.StopDrawPainter();
    EXPECT_EQ(P.Image.ImageBitmap(), nullptr);
    EXPECT_TRUE(P.Image.Painters().empty());
    EXPECT_EQ(P.Ends, 1);

    // Direct: the painter plays on the canvas; another rectangle stops it.
    P.Image.PaintOptions |= poDirect;
    P.Image.Draw(Screen, Rect(0, 0, 2, 2));
    EXPECT_EQ(Screen.Pixel(1, 1), Red);
    P.Clock.Wait(120);
    EXPECT_EQ(Screen.Pixel(1, 1), Green);
    EXPECT_EQ(Screen.Pixel(2, 2), Green);  // from before
    P.Image.Draw(Screen, Rect(2, 2, 4, 4));
    EXPECT_EQ(P.Ends, 2);
    EXPECT_EQ(P.Image.Painters().size(), 1u);
    EXPECT_EQ(Screen.Pixel(3, 3), Red);
    EXPECT_EQ(P.Image.ImageBitmap(), nullptr);

    // Without a scheduler the animation plays once before Draw returns.
    TGIFImage Alone;
    ASSERT_EQ(LoadGif(Alone, Plain(3)).Error, "");
    Alone.PlaybackSpeed = 1000000;
    Alone.Draw(Screen, Screen.BoundsRect());
    EXPECT_EQ(Screen.Pixel(0, 0), Blue);
    EXPECT_TRUE(Alone.Painters().empty());
}

TEST(GIFImageDraw, LoadingClearingCopyingAndOptimisingStopThePainters) {
    Player P(Plain(3, 0));
    const std::vector<std::function<void()>> Changes = {
        [&] { P.Image.Optimize(30, 0, 0, 8); },
        [&] { P.Image.OptimizeColorMaps(); },
        [&] {
            TGIFImage Other;
            ASSERT_EQ(LoadGif(Other, Plain(3, 0)).Error, "");
            P.Image.CopyFrom(Other);
        },
        [&] { ASSERT_EQ(LoadGif(P.Image, Plain(3, 0)).Error, ""); },
        [&] { P.Image.Clear(); },
    };
    for (std::size_t I = 0; I < Changes.size(); ++I) {
        SCOPED_TRACE(I);
        auto Painter = P.Play(Async);
        ASSERT_NE(Painter, nullptr);
        P.Clock.Wait(1000);
        Changes[I]();
        EXPECT_TRUE(Painter->Finished());
        EXPECT_EQ(P.Ends, static_cast<int>(I + 1));
        EXPECT_TRUE(P.Image.Painters().empty());
        EXPECT_EQ(P.Clock.PendingTimers(), 0u);
    }
    // A copy notifies a change per frame; a copy of nothing clears.
    TGIFImage Source;
    ASSERT_EQ(LoadGif(Source, Plain(3)).Error, "");
    Source.PlaybackSpeed = 50;
    P.Changes = 0;
    P.Image.CopyFrom(Source);
    EXPECT_EQ(P.Changes, 3);
    EXPECT_EQ(P.Image.PlaybackSpeed, 100);
    P.Image.CopyFrom(nullptr);
    EXPECT_TRUE(P.Image.Empty());
}

// ---------------------------------------------------------------- timing

TEST(GIFPainterTiming, Delays0_2And150ShowFrames120_36And1800msApartAndHalveAtSpeed200) {
    const Bytes Gif = MakeGif(1, 1, {{0, 0, 1, 1, {1}, 0, 0}, {0, 0, 1, 1, {2}, 0, 2}, {0, 0, 1, 1, {3}, 0, 150}});
    for (int Speed : {100, 200}) {
        SCOPED_TRACE(Speed);
        Player P(Gif);
        P.Image.PlaybackSpeed = Speed;
        P.Play(Async | poLoopForEver);
        P.Clock.Wait(2200);
        using V = std::vector<std::int64_t>;
        EXPECT_EQ(P.Times(), (Speed == 100 ? V{0, 120, 156, 1956, 2076, 2112}
                                           : V{0, 60, 78, 978, 1038, 1056, 1956, 2016, 2034}));
    }
}

TEST(GIFPainterTiming, LatenessHalvesTheNextWaitSpeedZeroWaitsForWakeAndSynchronousPaintersCap) {
    // A frame shown 40 ms late shortens the next wait by 20 ms.
    {
        Player P(MakeGif(1, 1, {{0, 0, 1, 1, {1}, 0, 0}, {0, 0, 1, 1, {2}, 0, 2}, {0, 0, 1, 1, {3}, 0, 150}}));
        P.Image.OnFrameShown = [&](TGIFPainter& Painter) {
            if (Painter.CurrentFrame() == 1) P.Clock.Wait(40);
        };
        P.Play(Async);
        P.Clock.Wait(1000);
        EXPECT_EQ(P.Times(), (std::vector<std::int64_t>{0, 120, 176}));
    }
    // Speed 0: nothing moves until woken.
    {
        Player P(Plain(3));
        P.Image.OnFrameShown = [](TGIFPainter& Painter) {
            if (Painter.CurrentFrame() == 1) Painter.PlaybackSpeed = 0;
        };
        auto Painter = P.Play(Async);
        P.Clock.Wait(1000000);
        EXPECT_EQ(P.Frames(), (std::vector<int>{0, 1}));
        Painter->Wake();
        P.Clock.Wait(0);
        EXPECT_EQ(P.Shown.back(), (std::pair<int, std::int64_t>{2, 1000000}));
    }
    // Synchronous: the first frame waits one unit (12 ms), a delay counts
    // at most 1000 units, and StartPainter returns when the play is over.
    {
        Player P(MakeGif(1, 1, {{0, 0, 1, 1, {1}, 0, 5000}, {0, 0, 1, 1, {2}, 0, 0}}));
        EXPECT_EQ(P.Play(poAnimate | poLoop), nullptr);
        EXPECT_EQ(P.Times(), (std::vector<std::int64_t>{12, 12012}));
        EXPECT_EQ(P.Ends, 1);
        EXPECT_TRUE(P.Image.Painters().empty());
    }
}

// ---------------------------------------------------------------- loops

TEST(GIFPainterLoops, LoopCountsPassesAndTheirFirstFrames) {
    auto Run = [](const Bytes& Gif, std::uint16_t Options, const std::function<void(TGIFImage&)>& Change = nullptr) {
        Player P(Gif);
        if (Change) Change(P.Image);
        auto Painter = P.Play(Options);
        EXPECT_TRUE(P.Clock.RunUntilIdle(100000));
        EXPECT_EQ(P.Ends, 1);
        return P.Frames();
    };
    using V = std::vector<int>;
    EXPECT_EQ(Run(Plain(3, 2), Async), (V{0, 1, 2, 0, 1, 2}));
    EXPECT_EQ(Run(Plain(3), Async), (V{0, 1, 2}));
    EXPECT_EQ(Run(Plain(3, 2), Async & ~poLoop), (V{0, 1, 2}));
    EXPECT_EQ(Run(Plain(3, 0), poAnimate | poLoop), (V{0, 1, 2}));
    // Never for ever on the caller's thread.
    EXPECT_EQ(Run(Plain(3), poAnimate | poLoop | poLoopForEver), (V{0, 1, 2}));
    // A loop extension on frame 2 starts the later passes there.
    EXPECT_EQ(Run(MakeGif(1, 1, {{0, 0, 1, 1, {1}}, {0, 0, 1, 1, {2}}, {0, 0, 1, 1, {3}, 0, 0, -1, 2},
                                 {0, 0, 1, 1, {1}}}),
                  Async),
              (V{0, 1, 2, 3, 2, 3}));
    // A frame without pixels ends the pass.
    auto EmptyAt = [](int I) { return [I](TGIFImage& Image) { Image.Images[I].Clear(); }; };
    EXPECT_EQ(Run(Plain(4, 2), Async, EmptyAt(2)), (V{0, 1, 0, 1}));
    // A pass that shows nothing ends the play, even one meant for ever.
    EXPECT_EQ(Run(Plain(3), Async | poLoopForEver, EmptyAt(0)), (V{}));

    // Loop count 0 plays for ever; stopped, the canvas keeps the last frame.
    Player P(Plain(3, 0));
    auto Painter = P.Play(Async);
    P.Clock.Wait(36000);
    EXPECT_EQ(P.Shown.size(), 301u);
    EXPECT_EQ(P.Passes, 100);
    EXPECT_FALSE(Painter->Finished());
    Painter->Stop();
    EXPECT_EQ(P.Ends, 1);
    EXPECT_EQ(Painter->CurrentFrame(), -1);
    EXPECT_EQ(P.Canvas.Pixel(0, 0), Red);
    EXPECT_EQ(P.Clock.PendingTimers(), 0u);
}

// ---------------------------------------------------------------- disposal

TEST(GIFPainterDisposal, Disposal2RestoresWhatWasUnderThePictureOrTheBackgroundColour) {
    // A red screen that is restored, then one green pixel.
    const Bytes Gif = MakeGif(4, 4, {{0, 0, 4, 4, {1}, 2}, {3, 3, 1, 1, {2}, 1}}, 3);
    for (const std::uint16_t Transparent : {std::uint16_t(poTransparent), std::uint16_t(0)}) {
        for (const TColor Background : {GIFColorNone, TColor(0x563412)}) {
            Player P(Gif);
            P.Image.PaintBackgroundColor = Background;
            for (int Y = 0; Y < 4; ++Y)
                for (int X = 0; X < 4; ++X) P.Canvas.ScanLine(Y)[X] = X < 2 ? Black : UnderWord;
            auto Painter = P.Play(Async | Transparent);
            EXPECT_EQ(Painter->SavedBackground() != nullptr, Transparent != 0);
            EXPECT_NE(Painter->ComposeBuffer(), nullptr);
            EXPECT_EQ(P.Canvas.Pixel(0, 0), Red);
            P.Clock.Wait(120);
            const std::uint32_t Restored = Background == GIFColorNone ? Blue : 0xFF123456;
            for (int Y = 0; Y < 4; ++Y)
                for (int X = 0; X < 4; ++X)
                    EXPECT_EQ(P.Canvas.Pixel(X, Y), X == 3 && Y == 3 ? Green
                                                    : Transparent         ? (X < 2 ? Black : UnderWord)
                                                                          : Restored)
                        << X << "," << Y;
        }
    }
    // Tiled, every tile's copy of the frame's area is restored.
    Player T(MakeGif(2, 2, {{0, 0, 1, 1, {1}, 2}, {1, 1, 1, 1, {2}, 1}}, 3));
    TGIFCanvas Wide(4, 2, Under);
    auto Painter = T.Image.StartPainter(Wide, Wide.BoundsRect(), Async | poTile);
    Painter->Resume();
    EXPECT_EQ(Wide.Pixel(2, 0), Red);
    T.Clock.Wait(120);
    EXPECT_EQ(Wide.Pixel(0, 0), Blue);
    EXPECT_EQ(Wide.Pixel(2, 0), Blue);
    EXPECT_EQ(Wide.Pixel(3, 1), Green);
    EXPECT_EQ(Wide.Pixel(2, 1), UnderWord);
}

TEST(GIFPainterDisposal, EveryDisposalSequenceShowsTheComposedScreens) {
    // Partly transparent frames (index 0) with every disposal, values 4 and
    // 7 keeping the picture, restore-previous after none, background,
    // restore-previous and after a value of 4.
    auto Pattern = [](int W, int H, int Seed) {
        std::vector<std::uint8_t> P;
        for (int I = 0; I < W * H; ++I) P.push_back(static_cast<std::uint8_t>((I * 7 + Seed) % 4));
        return P;
    };
    const std::vector<FrameSpec> Frames = {
        {0, 0, 4, 4, Pattern(4, 4, 1), 0, 0, 0}, {2, 2, 4, 4, Pattern(4, 4, 2), 3, 0, 0},
        {1, 1, 3, 3, Pattern(3, 3, 3), 2, 0, 0}, {0, 2, 3, 3, Pattern(3, 3, 1), 3, 0, 0},
        {3, 0, 3, 3, Pattern(3, 3, 2), 3},       {1, 3, 5, 3, Pattern(5, 3, 3), 4, 0, 0},
        {0, 0, 2, 2, Pattern(2, 2, 1), 3, 0, 0}, {0, 0, 6, 6, Pattern(6, 6, 2), 2, 0, 0},
        {4, 4, 2, 2, Pattern(2, 2, 3), 7, 0, 0}, {2, 0, 2, 6, Pattern(2, 6, 1), 0, 0, 0},
    };
    Player P(MakeGif(6, 6, Frames));
    const auto Screens = ComposedFrames(P.Image);
    int Checked = 0;
    P.Image.OnFrameShown = [&](TGIFPainter& Painter) {
        const auto& Want = Screens.at(static_cast<std::size_t>(Painter.CurrentFrame()));
        for (int Y = 0; Y < 6; ++Y)
            for (int X = 0; X < 6; ++X) {
                const std::uint32_t W = Want[std::size_t(Y) * 6 + X];
                EXPECT_EQ(P.Canvas.Pixel(X, Y), (W >> 24) == 0 ? UnderWord : GIFColorToPixel(W & 0xFFFFFF))
                    << "frame " << Painter.CurrentFrame() << " at " << X << "," << Y;
            }
        ++Checked;
    };
    P.Play(poAsynchronous | poTransparent | poAnimate);
    P.Clock.RunUntilIdle(100000);
    EXPECT_EQ(Checked, 10);
}

TEST(GIFPainterDisposal, ClearOnPassRestoresTheFirstFramesAreaAtEveryPass) {
    // Frame 0 leaves its corner (1, 1) transparent; frame 1 paints it green.
    const Bytes Gif = MakeGif(3, 3, {{0, 0, 2, 2, {1, 1, 1, 0}, 1, 10, 0, 2}, {1, 1, 2, 2, {2}, 1}});
    for (const bool Clear : {false, true}) {
        Player P(Gif);
        std::uint32_t Corner = 0;
        P.Image.OnFrameShown = [&](TGIFPainter&) {
            if (P.Shown.size() == 3) Corner = P.Canvas.Pixel(1, 1);
        };
        P.Play(Async | poTransparent | (Clear ? poClearOnPass : 0));
        P.Clock.RunUntilIdle(10000);
        EXPECT_EQ(Corner, Clear ? UnderWord : Green);
    }
}

// ---------------------------------------------------------------- control

TEST(GIFPainterControl, RestartStopAndHandlersThatChooseTheNextFrame) {
    {
        Player P(Plain(3, 0));
        auto Painter = P.Play(Async);
        P.Clock.Wait(130);
        Painter->Restart();
        P.Clock.Wait(120);
        EXPECT_EQ(P.Starts, 2);
        EXPECT_EQ(P.Shown, (std::vector<std::pair<int, std::int64_t>>{{0, 0}, {1, 120}, {0, 130}, {1, 250}}));
    }
    // Stopped from its own event: no frame after it.
    {
        Player P(Plain(3, 0));
        P.Image.OnFrameShown = [](TGIFPainter& Painter) {
            if (Painter.CurrentFrame() == 1) Painter.Stop();
        };
        auto Painter = P.Play(Async);
        EXPECT_TRUE(P.Clock.RunUntilIdle(100000));
        EXPECT_EQ(P.Frames(), (std::vector<int>{0, 1}));
        EXPECT_EQ(P.Ends, 1);
        EXPECT_TRUE(P.Image.Painters().empty());
    }
    // Never resumed: ending it starts nothing; every painter stops.
    {
        Player P(Plain(3, 0));
        auto Idle = P.Image.StartPainter(P.Canvas, P.Canvas.BoundsRect(), Async);
        auto Playing = P.Play(Async);
        P.Image.StopAllPainters();
        EXPECT_EQ(P.Starts, 1);
        EXPECT_EQ(P.Ends, 2);
        EXPECT_TRUE(Idle->Finished() && Playing->Finished());
        EXPECT_EQ(P.Clock.PendingTimers(), 0u);
    }
    // A handler picks the next frame; one outside the frames ends the pass.
    {
        Player P(Plain(4, 2));
        P.Image.OnFrameShown = [](TGIFPainter& Painter) {
            if (Painter.CurrentFrame() == 0) Painter.SetCurrentFrame(2);
            if (Painter.CurrentFrame() == 3) Painter.SetCurrentFrame(-5);
        };
        P.Play(Async);
        P.Clock.RunUntilIdle(100000);
        EXPECT_EQ(P.Frames(), (std::vector<int>{0, 2, 3, 0, 2, 3}));
    }
}

TEST(GIFPainterControl, AGoneCanvasHandleImageOrAnErrorEndsThePlaySafely) {
    // The validate bit stops at a released handle; a destroyed canvas
    // stops every painter.
    for (const bool Validate : {true, false}) {
        Player P(Plain(3, 0));
        auto Painter = P.Play(Async | (Validate ? poValidateCanvas : 0));
        P.Canvas.ReleaseHandle();
        P.Clock.Wait(120);
        EXPECT_EQ(P.Canvas.Pixel(0, 0), Validate ? Red : Green);
        EXPECT_EQ(Painter->Finished(), Validate);
    }
    {
        Player P(Plain(3, 0));
        auto Canvas = std::make_unique<TGIFCanvas>(2, 2);
        auto Painter = P.Image.StartPainter(*Canvas, Canvas->BoundsRect(), Async);
        Painter->Resume();
        Canvas.reset();
        P.Clock.Wait(500);
        EXPECT_TRUE(Painter->Finished());
        EXPECT_EQ(Painter->Canvas(), nullptr);
        EXPECT_EQ(P.Ends, 1);
    }
    // The image destroyed or reloaded from an event.
    {
        TGIFVirtualClock Clock;
        auto Image = std::make_unique<TGIFImage>();
        ASSERT_EQ(LoadGif(*Image, Plain(3, 0)).Error, "");
        Image->SetScheduler(&Clock);
        int Ends = 0;
        Image->OnPlayEnd = [&](TGIFPainter& P) {
            ++Ends;
            EXPECT_EQ(P.Image(), nullptr);
        };
        Image->OnFrameShown = [&](TGIFPainter& P) {
            if (P.CurrentFrame() == 1) Image.reset();
        };
        TGIFCanvas Canvas(2, 2);
        auto Painter = Image->StartPainter(Canvas, Canvas.BoundsRect(), Async);
        Painter->Resume();
        EXPECT_TRUE(Clock.RunUntilIdle(100000));
        EXPECT_EQ(Image, nullptr);
        EXPECT_EQ(Ends, 1);
        EXPECT_TRUE(Painter->Finished());
    }
    {
        Player P(Plain(3, 0));
        P.Image.OnFrameShown = [&](TGIFPainter& Painter) {
            if (Painter.CurrentFrame() == 1) {
                EXPECT_EQ(LoadGif(P.Image, Plain(2)).Error, "");
            }
        };
        P.Play(Async);
        EXPECT_TRUE(P.Clock.RunUntilIdle(100000));
        EXPECT_EQ(P.Frames(), (std::vector<int>{0, 1}));
        EXPECT_EQ(P.Ends, 1);
    }
    // An error in an event stops the painter and reaches the scheduler.
    {
        Player P(Plain(3, 0));
        P.Image.OnFrameShow = [](TGIFPainter& Painter) {
            if (Painter.CurrentFrame() == 1) throw std::runtime_error("no");
        };
        auto Painter = P.Play(Async);
        EXPECT_THROW(P.Clock.Wait(1000), std::runtime_error);
        EXPECT_TRUE(Painter->Finished());
        EXPECT_NE(Painter->Exception(), nullptr);
        EXPECT_TRUE(P.Image.Painters().empty());
        EXPECT_EQ(P.Clock.PendingTimers(), 0u);
    }
}
