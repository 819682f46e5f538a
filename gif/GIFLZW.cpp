#include "GIFImage.h"
#include "GIFStreamUtil.h"

#include <algorithm>
#include <memory>

namespace anivert {

namespace {

constexpr int TableSize = 4096;
constexpr int StackSize = 8192;
constexpr int MaxCodeSize = 11;  // the first code width must not pass 12 bits

// The state of one decompression, allocated once per frame.
class TLZWDecoder {
public:
    TLZWDecoder(TGIFSubImage& Frame, TStream& Stream, int CodeSize, TGIFWarningList* Warnings, bool AStrict)
        : Strict(AStrict),
          FFrame(Frame),
          FStream(Stream),
          FWarnings(Warnings),
          InitialCodeSize(CodeSize),
          ClearCode(1 << CodeSize),
          EndCode(ClearCode + 1),
          CodeWidth(CodeSize + 1),
          WidthLimit(2 * ClearCode),
          NextFree(ClearCode + 2) {}

    // Decodes up to Count indices into Out; answers how many, fewer when
    // the codes ended first.
    std::size_t Decode(std::uint8_t* Out, std::size_t Count) {
        const std::size_t Wanted = Count;
        while (Count) {
            if (SP == 0) {
                const int V = NextIndex();
                if (V < 0) return Wanted - Count;
                *Out++ = static_cast<std::uint8_t>(V);
                --Count;
                continue;
            }
            const std::size_t N = std::min<std::size_t>(static_cast<std::size_t>(SP), Count);
            for (std::size_t I = 0; I < N; ++I) *Out++ = static_cast<std::uint8_t>(Stack[--SP]);
            Count -= N;
        }
        return Wanted;
    }

    // A code no table could hold stops the decoding, as browsers stop
    // (salvaging reads); otherwise it reads as a code not yet in the table.
    const bool Strict;

    int ReadIndex() { return SP > 0 ? Stack[--SP] : NextIndex(); }

    // Skips data sub-blocks up to and including the zero-length terminator
    // (or the end of the stream); the bit reader reads nothing more.
    void SkipSubBlocks() {
        std::uint8_t N;
        while (FStream.Read(&N, 1) == 1 && N != 0) gifio::SkipBytes(FStream, N);
        Finished = true;
    }

    bool Finished = false;   // the terminator was read
    bool DataEnded = false;  // the stream ended before a terminator

private:
    void Warn(const std::string& Message) {
        if (FWarnings) FWarnings->emplace_back(1, Message);
        else FFrame.ReportWarning(1, Message);
    }

    void Push(int Value) {
        if (SP >= StackSize) throw GIFException(gifmsg::CircularTableEntry);
        Stack[SP++] = static_cast<std::uint16_t>(Value);
    }

    int EndOfData() {
        if (!Finished) SkipSubBlocks();
        Ended = true;
        return -2;
    }

    // The next code of Size bits, or -1 when the data holds no more.
    int ReadCode(int Size) {
        if (ClearPending) {
            ClearPending = false;
            return ClearCode;
        }
        // Load sub-blocks while the code is not in the buffer with bits to
        // spare; the two last bytes are carried over, which holds every
        // unread bit since fewer than Size (<= 12) bits remain unread.
        while (BitPos + Size >= BitsAvailable) {
            if (Finished) {
                // Only bits that were actually read make a code.
                if (BitPos + Size <= BitsAvailable) break;
                if (BitPos >= BitsAvailable) Warn(gifmsg::BitBufferUnderrun);
                return -1;
            }
            // Data that simply stops (no terminator) yields no further code.
            std::uint8_t N;
            if (DataEnded || FStream.Read(&N, 1) != 1) {
                DataEnded = true;
                return -1;
            }
            Buffer[0] = Buffer[BytesAvailable - 2];
            Buffer[1] = Buffer[BytesAvailable - 1];
            if (N == 0) {
                Finished = true;
            } else {
                const std::size_t Got = FStream.Read(Buffer + 2, N);
                if (Got < N) {
                    Warn(gifmsg::PrematureEOF);
                    N = static_cast<std::uint8_t>(Got);
                    DataEnded = true;
                }
            }
            BytesAvailable = N + 2;
            BitPos = BitPos - BitsAvailable + 16;
            BitsAvailable = BytesAvailable * 8;
        }
        const int I = BitPos >> 3;
        const std::uint32_t V = std::uint32_t(Buffer[I]) | (std::uint32_t(Buffer[I + 1]) << 8) |
                                (std::uint32_t(Buffer[I + 2]) << 16);
        const int Shift = BitPos & 7;
        BitPos += Size;
        return static_cast<int>((V >> Shift) & ((1u << Size) - 1));
    }

    // The next pixel index; -1 when the data ran out, -2 at the end code.
    int NextIndex() {
        if (Ended) return -2;
        int Code = ReadCode(CodeWidth);
        while (Code >= 0) {
            if (Code == ClearCode) {
                for (int I = 0; I < ClearCode; ++I) {
                    Prefix[I] = 0;
                    Suffix[I] = static_cast<std::uint16_t>(I);
                }
                std::fill(Prefix + ClearCode, Prefix + TableSize, 0);
                std::fill(Suffix + ClearCode, Suffix + TableSize, 0);
                CodeWidth = InitialCodeSize + 1;
                WidthLimit = 2 * ClearCode;
                NextFree = ClearCode + 2;
                SP = 0;
                do Code = ReadCode(CodeWidth);
                while (Code == ClearCode);
                if (Code < 0) return Code;
                if (Code == EndCode) return EndOfData();
                // The first code after a clear must be a pixel.
                if (Code > EndCode && Strict) return EndOfData();
                FirstChar = PrevCode = Code;
                return Code;
            }
            if (Code == EndCode) return EndOfData();
            const int InCode = Code;
            if (Code > NextFree && Strict) return EndOfData();
            if (Code >= NextFree) {
                Push(FirstChar);
                Code = PrevCode;
            }
            while (Code >= ClearCode) {
                Push(Suffix[Code]);
                if (Prefix[Code] == Code) throw GIFException(gifmsg::CircularTableEntry);
                Code = Prefix[Code];
            }
            FirstChar = Suffix[Code];
            Push(FirstChar);
            if (NextFree < TableSize) {
                Prefix[NextFree] = static_cast<std::uint16_t>(PrevCode);
                Suffix[NextFree] = static_cast<std::uint16_t>(FirstChar);
                ++NextFree;
                if (NextFree >= WidthLimit && WidthLimit < TableSize) {
                    WidthLimit *= 2;
                    ++CodeWidth;
                }
            }
            PrevCode = InCode;
            if (SP > 0) return Stack[--SP];
            Code = ReadCode(CodeWidth);
        }
        return Code;
    }

    TGIFSubImage& FFrame;
    TStream& FStream;
    TGIFWarningList* FWarnings;
    const int InitialCodeSize;
    const int ClearCode;
    const int EndCode;
    int CodeWidth;
    int WidthLimit;
    int NextFree;
    int FirstChar = 0;
    int PrevCode = 0;
    std::uint16_t Prefix[TableSize] = {};
    std::uint16_t Suffix[TableSize] = {};
    std::uint16_t Stack[StackSize] = {};
    int SP = 0;
    // The bit reader: two carried bytes, one sub-block, room for reading
    // three bytes at once.
    std::uint8_t Buffer[2 + 255 + 3] = {};
    int BitPos = 0;
    int BitsAvailable = 0;
    int BytesAvailable = 2;
    bool ClearPending = true;
    bool Ended = false;
};

}  // namespace

namespace {

std::uint8_t FillValue(const TGIFSubImage& Frame) {
    return Frame.Transparent && Frame.GraphicControlExtension ? Frame.GraphicControlExtension->TransparentColorIndex()
                                                              : 0;
}

// Decodes the frame's pixels from the stream, which stands past the code
// size byte; the frame's DecodedPixels says how many in decoding order.
void DecodePixels(TGIFSubImage& Frame, TStream& Stream, int CodeSize, TGIFWarningList* Warnings) {
    const bool Strict = Frame.Image() && Frame.Image()->Salvage;
    auto Decoder = std::make_unique<TLZWDecoder>(Frame, Stream, CodeSize, Warnings, Strict);
    const std::size_t Width = static_cast<std::size_t>(Frame.Width());
    const int Height = Frame.Height();
    bool Complete = true;
    Frame.DecodedPixels = 0;
    if (Frame.PixelData.empty()) {
        // Nothing to decode.
    } else if (Frame.IsInterlaced()) {
        static constexpr int Start[4] = {0, 4, 2, 1};
        static constexpr int Step[4] = {8, 8, 4, 2};
        for (int Pass = 0; Pass < 4 && Complete; ++Pass)
            for (int Row = Start[Pass]; Row < Height && Complete; Row += Step[Pass]) {
                const std::size_t N = Decoder->Decode(Frame.PixelData.data() + static_cast<std::size_t>(Row) * Width, Width);
                Frame.DecodedPixels += N;
                Complete = N == Width;
            }
    } else {
        Frame.DecodedPixels = Decoder->Decode(Frame.PixelData.data(), Frame.PixelData.size());
        Complete = Frame.DecodedPixels == Frame.PixelData.size();
    }
    if (Complete) {
        // Well-formed data ends with the end code, which this consumes
        // together with the terminator.
        Decoder->ReadIndex();
        // Codes beyond the frame: skip the rest of the frame's sub-blocks so
        // that the next block is read from where it starts.
        if (!Decoder->Finished && !Decoder->DataEnded) Decoder->SkipSubBlocks();
    }
}

}  // namespace

void GIFDecompress(TGIFSubImage& Frame, TStream& Stream) {
    Frame.AllocatePixels(FillValue(Frame));
    std::uint8_t CodeSize;
    if (Stream.Read(&CodeSize, 1) != 1) return;
    if (CodeSize > MaxCodeSize) throw GIFException(gifmsg::InvalidData);
    DecodePixels(Frame, Stream, CodeSize, nullptr);
}

void GIFAllocatePixels(TGIFSubImage& Frame, bool WholeBound) { Frame.AllocatePixels(FillValue(Frame), WholeBound); }

void GIFReadCodes(TGIFSubImage& Frame, TStream& Stream, std::vector<std::uint8_t>& Codes, bool Allocate) {
    Codes.clear();
    if (Allocate) {
        Frame.AllocatePixels(FillValue(Frame));
    } else {
        const std::uint64_t N = std::uint64_t(Frame.Width()) * std::uint64_t(Frame.Height());
        const std::uint64_t Bound = Frame.Image() ? Frame.Image()->MaxFramePixels : GIFDefaultMaxFramePixels;
        if (N > Bound) throw GIFException(gifmsg::FrameTooLarge);
    }
    std::uint8_t CodeSize;
    if (Stream.Read(&CodeSize, 1) != 1) return;
    if (CodeSize > MaxCodeSize) throw GIFException(gifmsg::InvalidData);
    Codes.push_back(CodeSize);
    std::uint8_t N;
    while (Stream.Read(&N, 1) == 1) {
        Codes.push_back(N);
        if (N == 0) break;
        const std::size_t At = Codes.size();
        Codes.resize(At + N);
        const std::size_t Got = Stream.Read(Codes.data() + At, N);
        Codes.resize(At + Got);
        if (Got < N) break;
    }
    // Codes kept until the frame is decoded take no more than they need.
    if (!Allocate) Codes.shrink_to_fit();
}

void GIFDecompressCodes(TGIFSubImage& Frame, std::vector<std::uint8_t> Codes, TGIFWarningList& Warnings) {
    if (Codes.empty()) return;
    const int CodeSize = Codes[0];
    TMemoryStream Stream(std::move(Codes));
    Stream.SetPosition(1);
    DecodePixels(Frame, Stream, CodeSize, &Warnings);
}

}  // namespace anivert
