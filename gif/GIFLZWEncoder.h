// GIFImage unit: compression of frame data, by a hash-table LZW encoder or
// by a run-length encoder that sends codes any GIF decoder reads.
#pragma once
#ifndef ANIVERT_GIFIMAGE_UNIT
#error "include GIFImage.h"
#endif

#include <array>
#include <cstdint>
#include <memory>

#include "Streams.h"

namespace anivert {

// Values of TGIFImage::Compression.
enum TGIFCompression : std::uint8_t {
    gcLZW = 0,
    gcRLE = 1,
};

// Collects bytes into data sub-blocks: each time 255 bytes are held, their
// size byte and the bytes are written; Flush writes what is held as a
// shorter last sub-block.
class TGIFSubBlockWriter {
public:
    explicit TGIFSubBlockWriter(TStream& Stream) : FStream(Stream) {}
    TGIFSubBlockWriter(const TGIFSubBlockWriter&) = delete;
    TGIFSubBlockWriter& operator=(const TGIFSubBlockWriter&) = delete;

    void Put(std::uint8_t Byte) {
        FBuffer[FFill++] = Byte;
        FDirty = true;
        if (FFill == 256) WriteBlock();
    }
    void Flush() {
        if (FDirty) WriteBlock();
    }

private:
    void WriteBlock();

    TStream& FStream;
    // Byte 0 is kept for the block size.
    std::array<std::uint8_t, 256> FBuffer{};
    int FFill = 1;
    bool FDirty = false;
};

// What both encoders share: the code output through a bit bucket into
// sub-blocks and the walk over the pixels (in the four interlace passes
// when asked).
class TGIFEncoder {
public:
    virtual ~TGIFEncoder() = default;
    TGIFEncoder() = default;
    TGIFEncoder(const TGIFEncoder&) = delete;
    TGIFEncoder& operator=(const TGIFEncoder&) = delete;

    // Writes the code size byte (InitialCodeSize, at least 2; at most 8),
    // the data sub-blocks and the zero terminator. Pixels holds Height rows
    // of Width indices, top-down. A pixel not below ColorLimit raises
    // gifmsg::ColorNotInColorTable; the stream then ends inside the data.
    void Compress(TStream& Stream, int InitialCodeSize, int ColorLimit, const std::uint8_t* Pixels,
                  bool Interlaced, int Height, int Width);

protected:
    // Sends the codes of every pixel, from the first clear code to the last
    // data code; the end code follows.
    virtual void Encode() = 0;

    // The next pixel of the walk, or -1 after the last one.
    int NextPixel() {
        if (FRowLeft == 0 && !NextRow()) return -1;
        --FRowLeft;
        const int P = *FCurrent++;
        if (P >= FColorLimit) ColorNotInTable();
        return P;
    }
    // Puts Code, CodeWidth bits wide, above the bits in the bucket and moves
    // the whole bytes out.
    void PutCode(int Code) {
        FBucket |= std::uint32_t(Code) << FBitCount;
        FBitCount += CodeWidth;
        while (FBitCount >= 8) {
            FWriter->Put(static_cast<std::uint8_t>(FBucket));
            FBucket >>= 8;
            FBitCount -= 8;
        }
    }

    int InitialCodeSize = 2;
    int CodeWidth = 3;
    int ClearCode = 4;
    int EndCode = 5;

private:
    bool NextRow();
    [[noreturn]] static void ColorNotInTable();

    std::unique_ptr<TGIFSubBlockWriter> FWriter;
    std::uint32_t FBucket = 0;
    int FBitCount = 0;
    int FColorLimit = 0;
    // The walk: the rows left, the current row and pass, and the pixels
    // left in the row from FCurrent on.
    const std::uint8_t* FPixels = nullptr;
    int FWidth = 0;
    int FHeight = 0;
    bool FInterlaced = false;
    int FRow = -1;
    int FPass = 0;
    bool FWalkEnded = false;
    const std::uint8_t* FCurrent = nullptr;
    int FRowLeft = 0;
};

// The LZW encoder: strings are kept in an open-addressing hash table of
// 8009 slots (key = prefix code << 8 | pixel, stored as key << 12 | code).
// When the next free code would be 4095 the table is cleared.
class TGIFLZWEncoder final : public TGIFEncoder {
public:
    static constexpr int HashSize = 8009;

protected:
    void Encode() override;

private:
    void Output(int Code);
    void Clear();
    // The slot that holds Key, or the empty slot where it goes.
    int Lookup(std::uint32_t Key) const;

    std::array<std::uint32_t, HashSize> FTable{};
    int FNextFree = 0;
    int FMaxCode = 0;
    bool FClearFlag = false;
};

// The run-length encoder of the published miGIF method: runs of one index
// are sent as literals and as codes of the strings of repeated indices that
// the decoder's table builds, while the encoder only counts the codes the
// decoder's table holds. The output is larger than LZW's on most pictures
// and is made without any table.
class TGIFRLEEncoder final : public TGIFEncoder {
protected:
    void Encode() override;

private:
    void Output(int Code) { PutCode(Code); }
    void DidClear();
    void OutputPlain(int Code);
    void MaxOutClear() { FOutClear = FMaxOCodes; }
    void ResetOutClear();
    void FlushFromClear(int Count);
    void FlushClearOrRepeat(int Count);
    void FlushWithTable(int Count);
    void FlushRun();
    int TriangleCount(int Count, int RepeatCodes) const;

    int FRunPixel = -1;
    int FRunCount = 0;
    int FTablePixel = 0;
    int FTableMax = 0;
    bool FJustCleared = false;
    int FBaseCode = 0;
    int FOutCount = 0;
    int FOutBump = 0;
    int FOutBumpInit = 0;
    int FOutClear = 0;
    int FOutClearInit = 0;
    int FMaxOCodes = 0;
};

// The encoder for a value of TGIFImage::Compression.
std::unique_ptr<TGIFEncoder> GIFCreateEncoder(std::uint8_t Compression);

}  // namespace anivert
