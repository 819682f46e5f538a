// Frame composition: the frames of a loaded GIF become movie frames, in the
// layered scheme (each frame an image of its own size on top of the earlier
// ones) or the flattened one (each frame painted onto a full-stage picture).
// Frame pictures reach the movie builder as BMP files in the temporary
// folder; the composition deletes them however it ends.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Bitmap32.h"
#include "Platform.h"

namespace anivert {

class TGIFImage;
class TGIFSubImage;
class TFlashMovie;
class TFlashShape;

class TFrameComposition {
public:
    // The overlap that makes the layered scheme too costly.
    static constexpr int FlattenOverlap = 12;

    TFrameComposition(TPlatform& APlatform, TGIFImage& AGif, TGIFImage& ATrialGif, TBitmap32& ASurface,
                      TFlashMovie& AMovie, int AJobNumber, std::uint8_t ABgRed,
                      std::uint8_t ABgGreen, std::uint8_t ABgBlue, std::function<std::string()> ATempFolder);
    ~TFrameComposition();
    TFrameComposition(const TFrameComposition&) = delete;
    TFrameComposition& operator=(const TFrameComposition&) = delete;

    // Adds every frame to the movie.
    void Run();

    bool FirstFrameTransparent = false;
    bool Flattened = false;
    int MaxOverlapFound = 0;

    // The largest number of frame rectangles covering one pixel of the screen.
    static int MaxOverlap(const TGIFImage& Gif);
    // Whether the layered scheme can show every disposal exactly: an image
    // cleared by a "restore to background" must lie wholly inside the
    // cleared rectangle.
    static bool LayeredCanDispose(const TGIFImage& Gif);
    // Whether all colours the frames show fit one colour map (with an entry
    // for transparency when a frame has one): merging the maps then keeps
    // every colour.
    static bool ColoursFitOneMap(TGIFImage& Gif);
    // Movie frames (at 24 per second) that show a GIF frame.
    static int ShowCount(const TGIFSubImage& Frame);
    // The temporary file of frame K.
    std::string TempFile(int K) const;

private:
    void PrepareColorMaps();
    void Optimize();
    void RunFlattened();
    void RunLayered();
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

    TPlatform& Platform;
    TGIFImage& Gif;
    TGIFImage& TrialGif;
    TBitmap32& Surface;
    TFlashMovie& Movie;
    int JobNumber;
    std::uint8_t BgRed, BgGreen, BgBlue;
    std::function<std::string()> TempFolder;
    std::vector<std::string> FFiles;
    std::vector<int> FShowCounts;
};

}  // namespace anivert
