// Compression of frame data: the sub-block writer, the pixel walk, the
// hash-table LZW encoder and the run-length encoder.
#include "GIFImage.h"

#include <algorithm>

namespace anivert {

namespace {

constexpr int MaxCodes = 4096;  // 12-bit codes

}  // namespace

// ---------------------------------------------------------------- sub-blocks

void TGIFSubBlockWriter::WriteBlock() {
    FBuffer[0] = static_cast<std::uint8_t>(FFill - 1);
    FStream.WriteBuffer(FBuffer.data(), static_cast<std::size_t>(FFill));
    FFill = 1;
    FDirty = false;
}

// ---------------------------------------------------------------- common

void TGIFEncoder::Compress(TStream& Stream, int AInitialCodeSize, int ColorLimit, const std::uint8_t* Pixels,
                           bool Interlaced, int Height, int Width) {
    InitialCodeSize = std::clamp(AInitialCodeSize, 2, 8);
    const std::uint8_t SizeByte = static_cast<std::uint8_t>(InitialCodeSize);
    Stream.WriteBuffer(&SizeByte, 1);
    CodeWidth = InitialCodeSize + 1;
    ClearCode = 1 << InitialCodeSize;
    EndCode = ClearCode + 1;
    FWriter = std::make_unique<TGIFSubBlockWriter>(Stream);
    FBucket = 0;
    FBitCount = 0;
    FColorLimit = ColorLimit;
    FPixels = Pixels;
    FWidth = Width;
    FHeight = Height;
    FInterlaced = Interlaced;
    FRow = -1;
    FPass = 0;
    FWalkEnded = false;
    FCurrent = nullptr;
    FRowLeft = 0;
    if (Pixels && Width > 0 && Height > 0) Encode();
    PutCode(EndCode);
    if (FBitCount > 0) FWriter->Put(static_cast<std::uint8_t>(FBucket));
    FBucket = 0;
    FBitCount = 0;
    FWriter->Flush();
    FWriter.reset();
    const std::uint8_t Terminator = 0;
    Stream.WriteBuffer(&Terminator, 1);
}

bool TGIFEncoder::NextRow() {
    // Interlace passes: every 8th row from 0, every 8th from 4, every 4th
    // from 2, every 2nd from 1; a pass without a row inside is skipped.
    static constexpr int PassStart[4] = {0, 4, 2, 1};
    static constexpr int PassStep[4] = {8, 8, 4, 2};
    if (FWalkEnded) return false;
    if (FRow < 0) {
        FRow = 0;
    } else if (!FInterlaced) {
        ++FRow;
    } else {
        FRow += PassStep[FPass];
        while (FRow >= FHeight && ++FPass < 4) FRow = PassStart[FPass];
    }
    if (FRow >= FHeight || FPass >= 4) {
        FWalkEnded = true;
        return false;
    }
    FCurrent = FPixels + static_cast<std::size_t>(FRow) * static_cast<std::size_t>(FWidth);
    FRowLeft = FWidth;
    return true;
}

void TGIFEncoder::ColorNotInTable() { throw GIFException(gifmsg::ColorNotInColorTable); }

// ---------------------------------------------------------------- LZW

void TGIFLZWEncoder::Output(int Code) {
    PutCode(Code);
    if (FClearFlag) {
        CodeWidth = InitialCodeSize + 1;
        FMaxCode = (1 << CodeWidth) - 1;
        FClearFlag = false;
    } else if (FNextFree > FMaxCode) {
        ++CodeWidth;
        FMaxCode = CodeWidth >= 12 ? MaxCodes : (1 << CodeWidth) - 1;
    }
}

void TGIFLZWEncoder::Clear() {
    // The flag goes up first: the clear code itself still has the old width,
    // the code after it the initial one, as in every decoder.
    FClearFlag = true;
    Output(ClearCode);
    FTable.fill(0xFFFFFFFFu);
    FNextFree = ClearCode + 2;
}

inline int TGIFLZWEncoder::Lookup(std::uint32_t Key) const {
    // Collisions go on to 2 * hash mod 8009 (to 8008 from 0). Doubling
    // modulo 8009 only runs through the half of the slots that holds the
    // first one, and the table may hold more strings than that half has
    // slots, so a long chain goes on slot by slot: the table is never full
    // and every key is found or placed.
    int H = static_cast<int>((Key ^ (Key >> 4)) % HashSize);
    for (int Probes = 0;; ++Probes) {
        const std::uint32_t V = FTable[static_cast<std::size_t>(H)];
        if (V == 0xFFFFFFFFu || (V >> 12) == Key) return H;
        if (Probes < 64)
            H = H == 0 ? HashSize - 1 : (2 * H) % HashSize;
        else
            H = H + 1 == HashSize ? 0 : H + 1;
    }
}

void TGIFLZWEncoder::Encode() {
    FMaxCode = (1 << CodeWidth) - 1;
    FNextFree = ClearCode + 2;
    Clear();
    int Prefix = NextPixel();
    for (int P = NextPixel(); P >= 0; P = NextPixel()) {
        const std::uint32_t Key = (std::uint32_t(Prefix) << 8) | std::uint32_t(P);
        const int Slot = Lookup(Key);
        const std::uint32_t V = FTable[static_cast<std::size_t>(Slot)];
        if (V != 0xFFFFFFFFu) {
            Prefix = static_cast<int>(V & 0xFFF);
            continue;
        }
        Output(Prefix);
        Prefix = P;
        if (FNextFree > MaxCodes - 2) {
            Clear();
        } else {
            FTable[static_cast<std::size_t>(Slot)] = (Key << 12) | std::uint32_t(FNextFree);
            ++FNextFree;
        }
    }
    Output(Prefix);
}

// ---------------------------------------------------------------- run-length

namespace {

// An integer square root of X: within one of the exact one.
unsigned ISqrt(unsigned X) {
    if (X < 2) return X;
    unsigned R = 1;
    for (unsigned V = X; V; V >>= 2) R <<= 1;
    for (;;) {
        const unsigned V = (X / R + R) / 2;
        if (V == R || V == R + 1) return R;
        R = V;
    }
}

}  // namespace

int TGIFRLEEncoder::TriangleCount(int Count, int RepeatCodes) const {
    // The codes that send Count pixels right after a clear: strings of 1,
    // 2, 3, ... pixels, RepeatCodes of them at most before the table has to
    // be cleared again.
    unsigned C = static_cast<unsigned>(Count);
    const unsigned N = static_cast<unsigned>(RepeatCodes);
    unsigned Cost = 0;
    const unsigned PerRepeat = N * (N + 1) / 2;
    while (C >= PerRepeat) {
        Cost += N;
        C -= PerRepeat;
    }
    if (C > 0) {
        unsigned K = ISqrt(C);
        while (K * (K + 1) >= 2 * C) --K;
        while (K * (K + 1) < 2 * C) ++K;
        Cost += K;
    }
    return static_cast<int>(Cost);
}

void TGIFRLEEncoder::DidClear() {
    CodeWidth = InitialCodeSize + 1;
    FOutBump = FOutBumpInit;
    FOutClear = FOutClearInit;
    FOutCount = 0;
    FTableMax = 0;
    FJustCleared = true;
}

void TGIFRLEEncoder::OutputPlain(int Code) {
    FJustCleared = false;
    Output(Code);
    ++FOutCount;
    if (FOutCount >= FOutBump) {
        ++CodeWidth;
        FOutBump += 1 << (CodeWidth - 1);
    }
    if (FOutCount >= FOutClear) {
        Output(ClearCode);
        DidClear();
    }
}

void TGIFRLEEncoder::ResetOutClear() {
    FOutClear = FOutClearInit;
    if (FOutCount >= FOutClear) {
        Output(ClearCode);
        DidClear();
    }
}

void TGIFRLEEncoder::FlushFromClear(int Count) {
    MaxOutClear();
    FTablePixel = FRunPixel;
    int N = 1;
    while (Count > 0) {
        if (N == 1) {
            FTableMax = 1;
            OutputPlain(FRunPixel);
            --Count;
        } else if (Count >= N) {
            FTableMax = N;
            OutputPlain(FBaseCode + N - 2);
            Count -= N;
        } else if (Count == 1) {
            ++FTableMax;
            OutputPlain(FRunPixel);
            Count = 0;
        } else {
            ++FTableMax;
            OutputPlain(FBaseCode + Count - 2);
            Count = 0;
        }
        if (FOutCount == 0)
            N = 1;
        else
            ++N;
    }
    ResetOutClear();
}

void TGIFRLEEncoder::FlushClearOrRepeat(int Count) {
    const int WithClear = 1 + TriangleCount(Count, FMaxOCodes);
    if (WithClear < Count) {
        Output(ClearCode);
        DidClear();
        FlushFromClear(Count);
    } else {
        for (; Count > 0; --Count) OutputPlain(FRunPixel);
    }
}

void TGIFRLEEncoder::FlushWithTable(int Count) {
    int RepMax = Count / FTableMax;
    int Leftover = Count % FTableMax;
    int RepLeft = Leftover ? 1 : 0;
    if (FOutCount + RepMax + RepLeft > FMaxOCodes) {
        RepMax = FMaxOCodes - FOutCount;
        Leftover = Count - RepMax * FTableMax;
        RepLeft = 1 + TriangleCount(Leftover, FMaxOCodes);
    }
    if (1 + TriangleCount(Count, FMaxOCodes) < RepMax + RepLeft) {
        Output(ClearCode);
        DidClear();
        FlushFromClear(Count);
        return;
    }
    MaxOutClear();
    for (; RepMax > 0; --RepMax) OutputPlain(FBaseCode + FTableMax - 2);
    if (Leftover) {
        if (FJustCleared)
            FlushFromClear(Leftover);
        else if (Leftover == 1)
            OutputPlain(FRunPixel);
        else
            OutputPlain(FBaseCode + Leftover - 2);
    }
    ResetOutClear();
}

void TGIFRLEEncoder::FlushRun() {
    if (FRunCount == 1) {
        OutputPlain(FRunPixel);
    } else if (FJustCleared) {
        FlushFromClear(FRunCount);
    } else if (FTableMax < 2 || FTablePixel != FRunPixel) {
        FlushClearOrRepeat(FRunCount);
    } else {
        FlushWithTable(FRunCount);
    }
    FRunCount = 0;
}

void TGIFRLEEncoder::Encode() {
    FBaseCode = EndCode + 1;
    FOutBumpInit = ClearCode - 1;
    FOutClearInit = InitialCodeSize > 3 ? ClearCode - 2 : 9;
    FMaxOCodes = MaxCodes - 1 - (ClearCode + 2);
    FRunPixel = -1;
    FRunCount = 0;
    FTablePixel = 0;
    DidClear();
    Output(ClearCode);
    // A run longer than a counter holds goes out in parts.
    constexpr int MaxRun = 1 << 30;
    for (int P = NextPixel(); P >= 0; P = NextPixel()) {
        if (FRunCount > 0 && (P != FRunPixel || FRunCount == MaxRun)) FlushRun();
        if (FRunCount > 0) {
            ++FRunCount;
        } else {
            FRunPixel = P;
            FRunCount = 1;
        }
    }
    if (FRunCount > 0) FlushRun();
}

std::unique_ptr<TGIFEncoder> GIFCreateEncoder(std::uint8_t Compression) {
    if (Compression == gcRLE) return std::make_unique<TGIFRLEEncoder>();
    return std::make_unique<TGIFLZWEncoder>();
}

}  // namespace anivert
