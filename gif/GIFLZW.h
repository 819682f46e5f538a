// GIFImage unit: decoding of LZW-compressed frame data.
#pragma once
#ifndef ANIVERT_GIFIMAGE_UNIT
#error "include GIFImage.h"
#endif

#include <string>
#include <utility>
#include <vector>

#include "Streams.h"

namespace anivert {

class TGIFSubImage;

// Fills Frame.PixelData (Width x Height indices, display row order) from the
// stream, which stands at the code size byte. Pixels the data does not
// reach keep the fill value: the transparent index of a transparent frame,
// else 0. After a complete frame the rest of its data sub-blocks, up to the
// zero-length terminator, is skipped.
//
// Raises gifmsg::InvalidData for a code size above 11 and
// gifmsg::CircularTableEntry for a code table whose prefix chain loops;
// short or truncated data only warns.
void GIFDecompress(TGIFSubImage& Frame, TStream& Stream);

// Warnings a decompression reports, kept instead of reported: severity and
// message, in order.
using TGIFWarningList = std::vector<std::pair<int, std::string>>;

// The first half of GIFDecompress, for decoding later: allocates the
// frame's pixels with their fill value and copies the code size byte and
// the data sub-blocks, up to and including the zero-length terminator (or
// the end of the stream), into Codes: what GIFDecompress reads of the
// stream unless it raises. Raises gifmsg::InvalidData for a code size
// above 11, as GIFDecompress does before anything else.
// Without Allocate the pixels are not allocated (only the bound for one
// frame is checked): GIFAllocatePixels does it before decoding.
void GIFReadCodes(TGIFSubImage& Frame, TStream& Stream, std::vector<std::uint8_t>& Codes, bool Allocate = true);
void GIFAllocatePixels(TGIFSubImage& Frame, bool WholeBound = true);

// The second half: decodes what GIFReadCodes copied into the pixels it
// allocated, with every pixel and warning as GIFDecompress would give
// them; the warnings go to Warnings. Safe to run for different frames at
// the same time.
void GIFDecompressCodes(TGIFSubImage& Frame, std::vector<std::uint8_t> Codes, TGIFWarningList& Warnings);

}  // namespace anivert
