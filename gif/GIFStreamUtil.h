// GIFImage unit, internal: byte reads and skips shared by the reader and
// the LZW decoder.
#pragma once

#include <algorithm>
#include <cstdint>

#include "GIFImage.h"

namespace anivert::gifio {

// Reads exactly Count bytes or raises gifmsg::PrematureEOF.
inline void ReadExact(TStream& Stream, void* Buffer, std::size_t Count) {
    if (Count != 0 && Stream.Read(Buffer, Count) != Count) throw GIFException(gifmsg::PrematureEOF);
}

// The single-byte read of sub-block sizes and ids: a missing byte reads 0.
inline std::uint8_t ReadByteOrZero(TStream& Stream) {
    std::uint8_t B = 0;
    if (Stream.Read(&B, 1) != 1) return 0;
    return B;
}

// Skips up to Count bytes without passing the end of the stream.
inline void SkipBytes(TStream& Stream, std::int64_t Count) {
    if (Count <= 0) return;
    const std::int64_t Left = Stream.Size() - Stream.Position();
    Stream.Seek(std::min(Count, std::max<std::int64_t>(Left, 0)), TSeekOrigin::soCurrent);
}

}  // namespace anivert::gifio
