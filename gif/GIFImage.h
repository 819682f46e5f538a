// The GIF codec: reading, colour maps, frames, optimisation, drawing, writing.
//
// The unit is split over several headers that are included at the end of
// this one; include only GIFImage.h.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Types.h"

#define ANIVERT_GIFIMAGE_UNIT 1

namespace anivert {

// Structural errors of a GIF file that the reader cannot step over.
class GIFException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// In a salvaging read: what a browser takes for the end of the image, before
// the frame being read; its text is the salvaged reason.
class GIFImageEnds : public GIFException {
public:
    using GIFException::GIFException;
};

// Disposal methods of a frame.
enum TDisposalMethod : std::uint8_t {
    dmNone = 0,
    dmNoDisposal = 1,
    dmBackground = 2,
    dmPrevious = 3,
};

// Option bits of TGIFImage::Optimize.
enum : std::uint8_t {
    optCropFrames = 1,
    optMergeFrames = 2,
    optCleanup = 4,
    optSortColorMaps = 8,
    optReduceColors = 16,
};

// The decoder's messages. Every warning and error names its own condition.
namespace gifmsg {
inline constexpr const char* PrematureEOF = "premature end of data";
inline constexpr const char* BadSignature = "invalid GIF signature";
inline constexpr const char* UnknownBlockType = "unknown GIF block type";
inline constexpr const char* BadExtensionIntroducer = "invalid extension introducer";
inline constexpr const char* UnknownExtension = "unknown extension type";
inline constexpr const char* ExtensionMismatch = "internal error: extension object does not match extension type";
inline constexpr const char* BadAppExtensionSize = "unsupported application extension block size";
inline constexpr const char* InvalidData = "invalid GIF data";
inline constexpr const char* ImageExceedsScreen = "image exceeds logical screen size";
inline constexpr const char* BadTrailer = "invalid image trailer";
inline constexpr const char* BitBufferUnderrun = "decoder bit buffer under-run";
inline constexpr const char* CircularTableEntry = "circular decoder table entry";
inline constexpr const char* ColorTableOverflow = "colour table overflow";
inline constexpr const char* InvalidColorIndex = "invalid colour index";
inline constexpr const char* ColorTableEmpty = "colour table is empty";
inline constexpr const char* InvalidPixelCoordinates = "invalid pixel coordinates";
inline constexpr const char* ImageIsEmpty = "image is empty";
inline constexpr const char* PixelFormatNotSupported = "pixel format not supported";
inline constexpr const char* InvalidImageDimensions = "invalid image dimensions";
inline constexpr const char* DIBOutOfMemory = "failed to allocate memory for GIF DIB";
inline constexpr const char* ScanLineOutOfRange = "scan line index out of range";
inline constexpr const char* WidthTooSmall = "image width too small for contained frames";
inline constexpr const char* HeightTooSmall = "image height too small for contained frames";
inline constexpr const char* FrameTooLarge = "image too large: more pixels than the decoder accepts";
inline constexpr const char* GIFImageDescription = "GIF image";
inline constexpr const char* Loading = "loading";
inline constexpr const char* Rendering = "rendering";
inline constexpr const char* ColorNotInColorTable = "colour not in colour table";
inline constexpr const char* InvalidReductionMethod = "invalid reduction method";
inline constexpr const char* Optimizing = "optimizing";
inline constexpr const char* Copying = "copying";
inline constexpr const char* Saving = "saving";
inline constexpr const char* UnsupportedVersion = "unsupported GIF version";
}  // namespace gifmsg

// Largest number of pixels (Width x Height) of one frame that the decoder
// allocates by default: 2^28, far beyond any real GIF. A frame above the
// bound raises gifmsg::FrameTooLarge before anything is allocated; so does a
// zero-sized frame that would take a logical screen larger than this.
inline constexpr std::uint64_t GIFDefaultMaxFramePixels = std::uint64_t(1) << 28;
// Largest number of pixels of all frames of one image together (2^30):
// without it a small file of many truncated frames could still ask for
// gigabytes.
inline constexpr std::uint64_t GIFDefaultMaxImagePixels = std::uint64_t(1) << 30;

// A palette: a plain table of colours (0x00BBGGRR), at most 256 entries.
using TGIFPalette = std::vector<TColor>;

// Stage of a long operation reported through TGIFImage::OnProgress.
enum class TProgressStage { psStarting, psRunning, psEnding };

}  // namespace anivert

#include "GIFColorMap.h"
#include "GIFBitmap.h"
#include "GIFCanvas.h"
#include "GIFScheduler.h"
#include "GIFPainter.h"
#include "GIFItems.h"
#include "GIFLZW.h"
#include "GIFLZWEncoder.h"
#include "GIFOptimize.h"
