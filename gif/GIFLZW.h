// GIFImage unit: decoding of LZW-compressed frame data.
#pragma once
#ifndef ANIVERT_GIFIMAGE_UNIT
#error "include GIFImage.h"
#endif

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

}  // namespace anivert
