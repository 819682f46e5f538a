// A small player of the converter's movies, and the GIF rules to compare
// them with: every tag is checked, the display list is followed, and the
// stage is drawn at one pixel per 20 twips.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "GIFImage.h"

namespace anivert::test {

using Canvas = std::vector<std::uint8_t>;  // RGBA, straight alpha, rows top first

struct TPlacement {
    std::uint16_t Character = 0;
    std::int32_t TX = 0;  // twips
    std::int32_t TY = 0;
};

struct TPlayedMovie {
    std::string Signature;
    int Version = 0;
    int Width = 0;  // stage in pixels
    int Height = 0;
    int FrameCount = 0;
    std::vector<std::uint16_t> Tags;  // tag codes in file order
    // The display list after each ShowFrame.
    std::vector<std::map<std::uint16_t, TPlacement>> DisplayLists;
    // The body of the one DoAction tag a movie may have, right before its
    // last ShowFrame (the actions that stop it); empty without one.
    std::vector<std::uint8_t> LastFrameActions;
    std::vector<std::string> Problems;  // structural faults found
};

// Reads and follows a movie (Movie.Problems lists what is wrong with it)
// and draws the stage after any ShowFrame (0-based).
class TMovieRenderer {
public:
    explicit TMovieRenderer(const std::string& File);
    TPlayedMovie Movie;
    // Deepest, when given, is the most images drawn over one pixel.
    Canvas Render(int Frame, int* Deepest = nullptr) const;

private:
    struct TBitmap {
        int Width = 0, Height = 0;
        std::vector<std::uint32_t> ARGB;  // premultiplied
    };
    struct TShape {
        TRect Bounds;
        std::uint16_t BitmapId = 0;
        std::int32_t FillTX = 0, FillTY = 0, ScaleX = 65536, ScaleY = 65536;
        bool Solid = false;
        std::uint32_t SolidARGB = 0;
    };
    std::map<std::uint16_t, TBitmap> FBitmaps;
    std::map<std::uint16_t, TShape> FShapes;
};

struct TGifFrame {
    Canvas Picture;
    int ShowCount = 0;
    int Index = 0;  // position in the GIF's frame list
};

// The pictures a GIF shows, one per non-empty frame, by the GIF rules:
// transparent pixels leave the canvas, disposal 2 clears the frame's area,
// disposal 3 restores the canvas from before the frame.
void ComposeGif(TGIFImage& Image, const std::function<void(const TGifFrame&)>& Visit);
std::vector<TGifFrame> ComposeGif(TGIFImage& Image);

// Number of pixels that differ (alpha 0 matches alpha 0 whatever the colour).
std::size_t CountDifferences(const Canvas& A, const Canvas& B);

}  // namespace anivert::test
