// Frame composition: the frames of a loaded GIF become movie frames, in the
// layered scheme (each frame an image of its own size on top of the earlier
// ones) or the flattened one (each frame painted onto a full-stage picture).
// Frame pictures reach the movie builder as BMP files in the temporary
// folder; the composition deletes them however it ends.
//
// Compact movies take the same schemes with smaller pictures, handed over
// in memory: colour-mapped bitmaps wherever the colours fit, and in the
// flattened scheme, after a full picture, only the rectangle that changed,
// laid over what is shown, while no pixel has to become transparent.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "Bitmap32.h"
#include "LosslessPicture.h"

namespace anivert {

class TGIFImage;
class TGIFSubImage;
class TFlashMovie;
class TFlashShape;

// The movie would take more pixels of pictures than it may.
class EWorkBudget : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TFrameComposition {
public:
    // The overlap that makes the layered scheme too costly.
    static constexpr int FlattenOverlap = 12;
    // The most images a compact movie stacks at one point: the bound the
    // layered scheme keeps.
    static constexpr int MaxStack = FlattenOverlap - 1;

    // TempFolder ends with a separator; the temporary files of frames
    // are named JobNumber-K.bmp there.
    TFrameComposition(TGIFImage& AGif, TGIFImage& ATrialGif, TBitmap32& ASurface, TFlashMovie& AMovie,
                      int AJobNumber, std::uint8_t ABgRed, std::uint8_t ABgGreen, std::uint8_t ABgBlue,
                      std::string ATempFolder, bool ACompact = false);
    ~TFrameComposition();
    TFrameComposition(const TFrameComposition&) = delete;
    TFrameComposition& operator=(const TFrameComposition&) = delete;

    // Adds every frame to the movie.
    void Run();
    // Called as frame K of N is composed (and once more after its picture
    // is written, for the default movie's layered scheme); whatever it
    // raises stops the composition.
    std::function<void(int K, int N)> OnFrame;

    bool FirstFrameTransparent = false;
    bool Flattened = false;
    int MaxOverlapFound = 0;
    // Compact flattened movies: full pictures and layers placed.
    int FullPictures = 0;
    int Layers = 0;
    // The most pixels of pictures the movie may take: the default movie
    // stops before its first picture when it would take more (its pictures
    // are known beforehand), a compact one when it comes to them (a
    // layered one has been refused before, by Refusal).
    std::int64_t MaxPixels = std::numeric_limits<std::int64_t>::max();
    // How the user lifts MaxPixels, named in the message.
    std::string BudgetRemedy = "--max-pixels";
    std::int64_t PixelsWritten = 0;

    // Why a loaded GIF is not made into a movie at all, or nothing: more
    // frames than a movie can place, or more pixels of pictures than
    // MaxPixels allows (default movies and layered compact ones, whose
    // pictures are known before the work).
    static std::string Refusal(const TGIFImage& Gif, bool Compact, std::int64_t MaxPixels,
                               const std::string& Remedy);
    // The pixels of the default movie's pictures in either scheme.
    static std::int64_t PlannedPixels(const TGIFImage& Gif, bool Flattened);
    static std::string BudgetMessage(std::int64_t Pixels, std::int64_t MaxPixels, const std::string& Remedy);

    // The largest number of frame rectangles covering one pixel of the screen.
    static int MaxOverlap(const TGIFImage& Gif);
    // Whether a frame starts from a cleared screen (a salvaged frame).
    static bool ClearsCanvas(const TGIFImage& Gif);
    // Whether a compact movie of the GIF takes the flattened scheme.
    static bool CompactFlattened(const TGIFImage& Gif);
    // Whether the layered scheme can show every disposal exactly: an image
    // cleared by a "restore to background" must lie wholly inside the
    // cleared rectangle.
    static bool LayeredCanDispose(const TGIFImage& Gif);
    // The most images the layered scheme would show stacked at one point
    // at any time, counted on cells of 4 x 4 pixels (a frame touching a
    // cell counts in all of it); counting stops above MaxStack.
    static int LayeredStackDepth(const TGIFImage& Gif);
    // Whether all colours the frames show fit one colour map (with an entry
    // for transparency when a frame has one): merging the maps then keeps
    // every colour.
    static bool ColoursFitOneMap(TGIFImage& Gif);
    // Movie frames (at 24 per second) that show a GIF frame.
    static int ShowCount(const TGIFSubImage& Frame);
    // The temporary file of frame K.
    std::string TempFile(int K) const;

private:
    // Adds the pixels of a picture to what the movie takes; raises
    // EWorkBudget past MaxPixels.
    void CountPixels(std::int64_t Pixels);
    void PrepareColorMaps();
    void Optimize();
    void RunFlattened();
    void RunLayered();
    void RunCompactFlattened();
    // The level that marks a pixel changed by the frame being composed.
    static constexpr std::uint8_t ChangedMark = 255;
    // Paints the frame's opaque pixels onto Target (the stage) and marks in
    // Level those that change; Mark gets each row's span of changes and
    // their number.
    void PaintAndMark(TGIFSubImage& Frame, TBitmap32& Target, std::vector<std::uint8_t>& Level,
                      const std::function<void(int Y, int X0, int X1, int Count)>& Mark);
    // The frame's own picture for the layered scheme of a compact movie.
    TFlashShape* AddFramePicture(TGIFSubImage& Frame);
    // A picture made with the packing, as an image in a rectangle of its size.
    TFlashShape* AddPicture(int Width, int Height, std::function<TLosslessPicture()> Make);
    // The picture as an image in a rectangle of its size, bitmap-filled.
    TFlashShape* AddPicture(const std::string& File, int Width, int Height);
    void PaintFrame(TGIFSubImage& Frame, TBitmap32& Target, int OffsetX, int OffsetY, bool KeepTransparent);
    // The temporary file for frame K, to be written now: the file of the
    // frame before, which the movie has read already, is renamed to it and
    // rewritten, which spares the file system a new file for every frame.
    std::string NextTempFile(int K);
    std::uint16_t DepthOf(int K) const;
    // Movie frames that show frame K (after the optimiser).
    std::uint16_t ShowFor(int K) const;

    void FrameStep(int K);

    TGIFImage& Gif;
    TGIFImage& TrialGif;
    TBitmap32& Surface;
    TFlashMovie& Movie;
    int JobNumber;
    std::uint8_t BgRed, BgGreen, BgBlue;
    std::string TempFolder;
    bool Compact;
    std::vector<std::string> FFiles;
    std::vector<int> FShowCounts;
};

}  // namespace anivert
