// The GIF codec: reading, colour maps, frames, optimisation, drawing, writing.
#pragma once

#include <cstdint>
#include <stdexcept>

namespace anivert {

// Structural errors of a GIF file that the reader cannot step over.
class GIFException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
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

}  // namespace anivert
