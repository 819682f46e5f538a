// Helpers of the GIF tests: building GIF files byte by byte, packing LZW
// codes, loading with the warnings collected, and a small JSON reader for
// the corpus manifest.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "GIFImage.h"
#include "TestUtil.h"

namespace anivert::test {

// Packs (code, width) pairs least significant bit first.
Bytes PackCodes(const std::vector<std::pair<int, int>>& Codes);
// Cuts data into sub-blocks of at most 255 bytes and adds the terminator.
Bytes SubBlocks(const Bytes& Data, bool Terminator = true);
// Encodes indices as a literal-only code stream (clear, one code per pixel,
// end), tracking the decoder's code width; the result holds the code size
// byte, the sub-blocks and the terminator.
Bytes LZWLiteral(const std::vector<std::uint8_t>& Pixels, int CodeSize);

// Builds a GIF file.
class GifBuilder {
public:
    GifBuilder& Header(int Width, int Height, const std::vector<TColor>& Global, const char* Signature = "GIF89a",
                       int Background = 0);
    GifBuilder& GCE(int Packed, int Delay, int TransparentIndex);
    // A frame with literal LZW data; Local non-empty adds a local table.
    GifBuilder& Frame(int Left, int Top, int Width, int Height, const std::vector<std::uint8_t>& Pixels,
                      const std::vector<TColor>& Local = {}, bool Interlaced = false, int CodeSize = 0);
    // A descriptor and table only; the caller adds the data.
    GifBuilder& Descriptor(int Left, int Top, int Width, int Height, int Packed);
    GifBuilder& Comment(const std::string& Text);
    GifBuilder& Loop(int Count);
    GifBuilder& Raw(const Bytes& Data);
    GifBuilder& Trailer();
    Bytes Data;
};

// Table bytes (red, green, blue) of colours, padded to a power of two.
Bytes ColorTable(const std::vector<TColor>& Colors);
// The size code of a table of N colours.
int TableCode(std::size_t N);

// Loads Data; answers the error text ("" on success) and collects warnings.
struct LoadResult {
    std::string Error;
    std::vector<std::string> Warnings;
    std::int64_t EndPosition = 0;
};
LoadResult LoadGif(TGIFImage& Image, const Bytes& Data);

std::string CorpusDir();
// The names of the corpus's GIF files, sorted.
std::vector<std::string> AllCorpusFiles();
// A few of them that show every feature the corpus's list of sources names
// and every disposal value at least once, the cheapest for each (screen
// times frames), with every file the checks treat by a rule of their own.
std::vector<std::string> CorpusSample();
// The files the corpus checks run over: every one, or in a build with
// ANIVERT_CORPUS_SAMPLE (the sanitized one) the sample.
std::vector<std::string> CorpusFiles();

// Corpus files that every check of the frames leaves out (they do not
// load, or not far enough), with the reason.
const std::map<std::string, std::string>& CorpusNotLoading();
// Corpus files whose Chromium rendering differs from the GIF rules this
// decoder follows, with the reason.
const std::map<std::string, std::string>& ChromiumExclusions();

// A JSON value: null, bool, number, string, array or object.
struct Json {
    enum Kind { Null, Bool, Number, String, Array, Object } K = Null;
    bool B = false;
    double N = 0;
    std::string S;
    std::vector<Json> A;
    std::map<std::string, Json> O;

    const Json& operator[](const std::string& Key) const;
    const Json& operator[](std::size_t Index) const { return A.at(Index); }
    bool Has(const std::string& Key) const { return K == Object && O.count(Key); }
    int Int() const { return static_cast<int>(N); }
    std::size_t Size() const { return K == Array ? A.size() : O.size(); }
};
Json ParseJson(const std::string& Text);

// An RGBA picture read from a PNG file.
struct RGBAImage {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Pixels;
};
bool ReadPNG(const std::string& FileName, RGBAImage& Out);

}  // namespace anivert::test
