#include "GIFTimeline.h"

#include <algorithm>
#include <functional>

namespace anivert::test {

namespace {

std::uint64_t HashWords(const std::vector<std::uint32_t>& Words) {
    std::uint64_t H = 0x9E3779B97F4A7C15ull ^ Words.size();
    const std::uint32_t* P = Words.data();
    for (const std::uint32_t* End = P + Words.size(); P != End; ++P) {
        H ^= *P;
        H *= 0xFF51AFD7ED558CCDull;
        H ^= H >> 32;
    }
    return H;
}

bool Displayed(const TGIFSubImage& F) {
    return !F.Empty() && F.PixelData.size() == std::size_t(F.Width()) * std::size_t(F.Height());
}

// Calls Shown(screen, frame index) after every displayed frame is drawn;
// the screen is the part Area of the logical screen.
void Compose(const TGIFImage& Image, TRect Area,
             const std::function<void(const std::vector<std::uint32_t>&, int)>& Shown) {
    if (Area.IsEmpty()) Area = Rect(0, 0, Image.Width(), Image.Height());
    Area = Rect(std::max(0, Area.Left), std::max(0, Area.Top), std::min(Image.Width(), Area.Right),
                std::min(Image.Height(), Area.Bottom));
    const int W = std::max(0, Area.Width()), H = std::max(0, Area.Height());
    std::vector<std::uint32_t> Screen(std::size_t(W) * std::size_t(H), 0);
    std::vector<std::uint32_t> Before;
    for (int K = 0; K < Image.Images.Count(); ++K) {
        const TGIFSubImage& F = Image.Images[K];
        if (!Displayed(F)) continue;
        const TGIFGraphicControlExtension* G = F.GraphicControlExtension;
        const int Disposal = G ? G->Disposal() : 0;
        // A salvaged frame may start from a cleared screen.
        if (F.ClearsCanvas) std::fill(Screen.begin(), Screen.end(), 0u);
        if (Disposal == 3) Before = Screen;
        const TGIFColorMap& Map = F.UsedColorMap();
        std::uint32_t Colors[256];
        for (int I = 0; I < 256; ++I) {
            const TGIFColor C = I < Map.Count() ? Map.Entries()[I] : TGIFColor{};
            Colors[I] = 0xFF000000u | C.Red | (std::uint32_t(C.Green) << 8) | (std::uint32_t(C.Blue) << 16);
        }
        const int T = F.Transparent && G ? G->TransparentColorIndex() : -1;
        // The frame's part of the composed area, in area coordinates.
        const int X0 = std::max(0, F.Left() - Area.Left), Y0 = std::max(0, F.Top() - Area.Top);
        const int X1 = std::min(W, F.Left() + F.Width() - Area.Left);
        const int Y1 = std::min(H, F.Top() + F.Height() - Area.Top);
        for (int Y = Y0; Y < Y1; ++Y) {
            const std::uint8_t* Row =
                F.PixelData.data() + std::size_t(Y + Area.Top - F.Top()) * std::size_t(F.Width());
            std::uint32_t* Out = Screen.data() + std::size_t(Y) * std::size_t(W);
            for (int X = X0; X < X1; ++X) {
                const int P = Row[X + Area.Left - F.Left()];
                if (P != T) Out[X] = Colors[P];
            }
        }
        Shown(Screen, K);
        if (Disposal == 2 && X1 > X0) {
            for (int Y = Y0; Y < Y1; ++Y)
                std::fill_n(Screen.begin() + std::ptrdiff_t(std::size_t(Y) * std::size_t(W) + std::size_t(X0)),
                            X1 - X0, 0u);
        } else if (Disposal == 3) {
            Screen.swap(Before);
        }
    }
}

}  // namespace

TRect CoveredArea(const TGIFImage& Image) {
    TRect Box;
    for (const auto& F : Image.Images) {
        if (!Displayed(*F)) continue;
        const TRect R = F->FrameRect();
        Box = Box.IsEmpty() ? R
                            : Rect(std::min(Box.Left, R.Left), std::min(Box.Top, R.Top), std::max(Box.Right, R.Right),
                                   std::max(Box.Bottom, R.Bottom));
    }
    Box = Rect(Box.Left, Box.Top, std::min(Box.Right, Image.Width()), std::min(Box.Bottom, Image.Height()));
    // An area of nothing stands for one transparent pixel (an empty one would
    // mean the whole screen).
    return Box.IsEmpty() ? Rect(0, 0, 1, 1) : Box;
}

void ComposeScreens(const TGIFImage& Image,
                    const std::function<void(const std::vector<std::uint32_t>&, int)>& Shown) {
    Compose(Image, {}, Shown);
}

std::vector<TimelinePicture> Timeline(const TGIFImage& Image, TRect Area) {
    std::vector<TimelinePicture> Out;
    Compose(Image, Area, [&](const std::vector<std::uint32_t>& Screen, int K) {
        const TGIFGraphicControlExtension* G = Image.Images[K].GraphicControlExtension;
        const std::uint32_t Delay = G ? G->Delay() : 0;
        const std::uint64_t Hash = HashWords(Screen);
        if (!Out.empty() && Out.back().Hash == Hash)
            Out.back().Delay += Delay;
        else
            Out.push_back({Hash, Delay, K});
    });
    return Out;
}

std::string CompareTimelines(const std::vector<TimelinePicture>& Before,
                             const std::vector<TimelinePicture>& After) {
    // One picture shown throughout: how long it stays is not seen.
    if (Before.size() == 1 && After.size() == 1 && Before[0].Hash == After[0].Hash) return "";
    const std::size_t N = std::min(Before.size(), After.size());
    for (std::size_t I = 0; I < N; ++I)
        if (!(Before[I] == After[I]))
            return "picture " + std::to_string(I) + " (frame " + std::to_string(Before[I].Frame) + " before, " +
                   std::to_string(After[I].Frame) + " after) differs" +
                   (Before[I].Hash == After[I].Hash ? " in its delay: " + std::to_string(Before[I].Delay) + " vs " +
                                                          std::to_string(After[I].Delay)
                                                    : " in its pixels");
    if (Before.size() != After.size())
        return std::to_string(Before.size()) + " pictures before, " + std::to_string(After.size()) + " after";
    return "";
}

std::vector<std::vector<std::uint32_t>> ComposedFrames(const TGIFImage& Image) {
    std::vector<std::vector<std::uint32_t>> Out;
    Compose(Image, {}, [&](const std::vector<std::uint32_t>& Screen, int) { Out.push_back(Screen); });
    return Out;
}

}  // namespace anivert::test
