// Reading saved GIFs back for the writer's tests: giflib from memory, a
// reader of LZW code streams of its own, and comparisons of an image with
// what our decoder and giflib read from the file it was saved as.
#pragma once

#include <gif_lib.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "GIFImage.h"
#include "TestUtil.h"

namespace anivert::test {

// giflib's DGifSlurp of a file in memory.
class GiflibFile {
public:
    explicit GiflibFile(const Bytes& Data);
    ~GiflibFile();
    GiflibFile(const GiflibFile&) = delete;
    GiflibFile& operator=(const GiflibFile&) = delete;
    // Null when giflib cannot read the file; Error then says why.
    GifFileType* Gif() const { return FOk ? FGif : nullptr; }
    std::string Error;

private:
    Bytes FData;
    std::size_t FPos = 0;
    GifFileType* FGif = nullptr;
    bool FOk = false;
    static int Read(GifFileType* Gif, GifByteType* Buffer, int Count);
};

// One frame's compressed data as a plain GIF decoder reads it: the code
// size, every code with the width it was read at, the pixels in stream
// order and the sizes of the data sub-blocks. Error is set, and reading
// stops, at a code the table does not hold yet, data past the end code or
// data that ends without a terminator.
struct CodeStream {
    int CodeSize = 0;
    std::vector<int> Codes;
    std::vector<int> Widths;
    std::vector<std::uint8_t> Pixels;
    std::vector<std::size_t> BlockSizes;
    // Bytes read, terminator included.
    std::size_t Length = 0;
    std::string Error;
};
CodeStream ReadCodeStream(const std::uint8_t* Data, std::size_t Size);
inline CodeStream ReadCodeStream(const Bytes& Data) { return ReadCodeStream(Data.data(), Data.size()); }

// The frames that have pixels.
std::vector<const TGIFSubImage*> PixelFrames(const TGIFImage& Image);

// "" when After (read from the file Before was saved as) has Before's
// logical screen, global colours, frames with pixels (bounds, interlace,
// local colours, transparency, delay, disposal, pixels) and the same kinds
// of extension in the same order; else the first difference.
std::string CompareSaved(const TGIFImage& Before, const TGIFImage& After);
// The same against giflib's reading of the file, extension blocks byte for
// byte.
std::string CompareWithGiflib(const TGIFImage& Before, GifFileType* Gif);

// Saves Image with the given compression into memory.
Bytes SaveGif(TGIFImage& Image, std::uint8_t Compression);

}  // namespace anivert::test
