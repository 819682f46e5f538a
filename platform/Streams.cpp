#include "Streams.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <unistd.h>

namespace anivert {

// ---------------------------------------------------------------- TStream

std::int64_t TStream::Size() {
    const std::int64_t Pos = Seek(0, TSeekOrigin::soCurrent);
    const std::int64_t Result = Seek(0, TSeekOrigin::soEnd);
    Seek(Pos, TSeekOrigin::soBeginning);
    return Result;
}

void TStream::SetSize(std::int64_t) { throw EStreamError("Stream size cannot be changed"); }

void TStream::ReadBuffer(void* Buffer, std::size_t Count) {
    if (Count != 0 && Read(Buffer, Count) != Count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* Buffer, std::size_t Count) {
    if (Count != 0 && Write(Buffer, Count) != Count) throw EWriteError("Stream write error");
}

std::int64_t TStream::CopyFrom(TStream& Source, std::int64_t Count) {
    if (Count == 0) {
        Source.SetPosition(0);
        Count = Source.Size();
    }
    if (Count < 0) throw EReadError("Stream read error");
    if (auto* Mem = dynamic_cast<TMemoryStream*>(&Source)) {
        // One block write straight from the source's buffer.
        const std::int64_t Pos = Mem->Position();
        if (Pos + Count > Mem->Size()) throw EReadError("Stream read error");
        WriteBuffer(Mem->Memory() + Pos, static_cast<std::size_t>(Count));
        Mem->Seek(Count, TSeekOrigin::soCurrent);
        return Count;
    }
    std::vector<std::uint8_t> Buf(static_cast<std::size_t>(std::min<std::int64_t>(Count, 1 << 16)));
    std::int64_t Left = Count;
    while (Left > 0) {
        const std::size_t N = static_cast<std::size_t>(std::min<std::int64_t>(Left, Buf.size()));
        Source.ReadBuffer(Buf.data(), N);
        WriteBuffer(Buf.data(), N);
        Left -= static_cast<std::int64_t>(N);
    }
    return Count;
}

// ---------------------------------------------------------- TMemoryStream

namespace {

// Reading and seeking in bytes held in memory.
std::size_t ReadFromMemory(const std::uint8_t* Data, std::size_t Size, std::size_t& Position, void* Buffer,
                           std::size_t Count) {
    if (Position >= Size) return 0;
    const std::size_t N = std::min(Count, Size - Position);
    std::memcpy(Buffer, Data + Position, N);
    Position += N;
    return N;
}

std::int64_t SeekInMemory(std::size_t Size, std::size_t& Position, std::int64_t Offset, TSeekOrigin Origin) {
    std::int64_t Base = 0;
    switch (Origin) {
        case TSeekOrigin::soBeginning: Base = 0; break;
        case TSeekOrigin::soCurrent: Base = static_cast<std::int64_t>(Position); break;
        case TSeekOrigin::soEnd: Base = static_cast<std::int64_t>(Size); break;
    }
    const std::int64_t NewPos = Base + Offset;
    if (NewPos < 0) throw EStreamError("Invalid stream position");
    Position = static_cast<std::size_t>(NewPos);
    return NewPos;
}

}  // namespace

std::size_t TMemoryStream::Read(void* Buffer, std::size_t Count) {
    return ReadFromMemory(FData.data(), FData.size(), FPosition, Buffer, Count);
}

std::size_t TMemoryStream::Write(const void* Buffer, std::size_t Count) {
    if (Count == 0) return 0;
    const std::size_t End = FPosition + Count;
    if (End > FData.size()) FData.resize(End);
    std::memcpy(FData.data() + FPosition, Buffer, Count);
    FPosition = End;
    return Count;
}

std::int64_t TMemoryStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    return SeekInMemory(FData.size(), FPosition, Offset, Origin);
}

std::size_t TReadOnlyMemoryStream::Read(void* Buffer, std::size_t Count) {
    return ReadFromMemory(FData, FSize, FPosition, Buffer, Count);
}

std::size_t TReadOnlyMemoryStream::Write(const void*, std::size_t) {
    throw EWriteError("Stream write error: the stream is read-only");
}

std::int64_t TReadOnlyMemoryStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    return SeekInMemory(FSize, FPosition, Offset, Origin);
}

void TMemoryStream::SetSize(std::int64_t NewSize) {
    if (NewSize < 0) throw EStreamError("Invalid stream size");
    FData.resize(static_cast<std::size_t>(NewSize));
    if (FPosition > FData.size()) FPosition = FData.size();
}

void TMemoryStream::Clear() {
    FData.clear();
    FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& FileName) {
    TFileStream F(FileName, TFileMode::fmOpenRead);
    const std::int64_t N = F.Size();
    std::vector<std::uint8_t> Data(static_cast<std::size_t>(N));
    F.ReadBuffer(Data.data(), Data.size());
    FData = std::move(Data);
    FPosition = 0;
}

void TMemoryStream::SaveToFile(const std::string& FileName) {
    TFileStream F(FileName, TFileMode::fmCreate);
    F.WriteBuffer(FData.data(), FData.size());
    F.Close();
}

// ------------------------------------------------------------ TFileStream

TFileStream::TFileStream(const std::string& FileName, TFileMode Mode) : FFileName(FileName) {
    const char* M = Mode == TFileMode::fmCreate ? "w+b" : Mode == TFileMode::fmOpenRead ? "rb" : "r+b";
    FFile = std::fopen(FileName.c_str(), M);
    if (!FFile) {
        const std::string Why = std::strerror(errno);
        if (Mode == TFileMode::fmCreate)
            throw EFCreateError("Cannot create file \"" + FileName + "\". " + Why);
        throw EFOpenError("Cannot open file \"" + FileName + "\". " + Why);
    }
}

TFileStream::~TFileStream() {
    if (FFile) std::fclose(FFile);
}

void TFileStream::Close() {
    if (!FFile) return;
    std::FILE* F = FFile;
    FFile = nullptr;
    const bool Failed = std::fflush(F) != 0;
    const bool CloseFailed = std::fclose(F) != 0;
    if (Failed || CloseFailed) throw EWriteError("Error writing file \"" + FFileName + "\"");
}

std::size_t TFileStream::Read(void* Buffer, std::size_t Count) {
    if (!FFile || Count == 0) return 0;
    return std::fread(Buffer, 1, Count, FFile);
}

std::size_t TFileStream::Write(const void* Buffer, std::size_t Count) {
    if (!FFile) throw EWriteError("Stream write error: file \"" + FFileName + "\" is closed");
    if (Count == 0) return 0;
    return std::fwrite(Buffer, 1, Count, FFile);
}

std::int64_t TFileStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    if (!FFile) throw EStreamError("Stream seek error: file \"" + FFileName + "\" is closed");
    const int Whence = Origin == TSeekOrigin::soBeginning ? SEEK_SET
                       : Origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                          : SEEK_END;
    if (!(Origin == TSeekOrigin::soCurrent && Offset == 0)) {
        if (fseeko(FFile, static_cast<off_t>(Offset), Whence) != 0)
            throw EStreamError("Stream seek error in \"" + FFileName + "\"");
    }
    return static_cast<std::int64_t>(ftello(FFile));
}

void TFileStream::SetSize(std::int64_t NewSize) {
    if (!FFile) throw EStreamError("Stream error: file \"" + FFileName + "\" is closed");
    std::fflush(FFile);
    if (ftruncate(fileno(FFile), static_cast<off_t>(NewSize)) != 0)
        throw EWriteError("Cannot resize file \"" + FFileName + "\"");
}

// ----------------------------------------------------- TCompressionStream

struct TCompressionStream::Impl {
    z_stream Z{};
    std::vector<std::uint8_t> Out = std::vector<std::uint8_t>(BlockSize);
};

TCompressionStream::TCompressionStream(TStream& Dest, int Level)
    : FImpl(std::make_unique<Impl>()), FDest(Dest) {
    if (deflateInit(&FImpl->Z, Level) != Z_OK) throw EStreamError("zlib: deflateInit failed");
    FImpl->Z.next_out = FImpl->Out.data();
    FImpl->Z.avail_out = static_cast<uInt>(FImpl->Out.size());
}

TCompressionStream::~TCompressionStream() {
    if (!FFinished) {
        try {
            Finish();
        } catch (...) {
            // A destructor cannot report; callers that care call Finish.
        }
    }
    deflateEnd(&FImpl->Z);
}

std::size_t TCompressionStream::Read(void*, std::size_t) {
    throw EReadError("Invalid stream operation: a compression stream cannot be read");
}

std::int64_t TCompressionStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
    if (Offset == 0 && (Origin == TSeekOrigin::soCurrent || Origin == TSeekOrigin::soEnd)) return FTotalIn;
    throw EStreamError("Invalid stream operation: a compression stream cannot seek");
}

void TCompressionStream::SetSize(std::int64_t) {
    throw EStreamError("Invalid stream operation: a compression stream has no size to set");
}

void TCompressionStream::Pump(bool Flush) {
    z_stream& Z = FImpl->Z;
    for (;;) {
        const int R = deflate(&Z, Flush ? Z_FINISH : Z_NO_FLUSH);
        if (R == Z_STREAM_ERROR) throw EWriteError("zlib: deflate failed");
        if (Z.avail_out == 0) {
            FDest.WriteBuffer(FImpl->Out.data(), FImpl->Out.size());
            Z.next_out = FImpl->Out.data();
            Z.avail_out = static_cast<uInt>(FImpl->Out.size());
            if (OnBlock) OnBlock(static_cast<std::int64_t>(Z.total_in));
            continue;
        }
        if (Flush) {
            if (R != Z_STREAM_END) continue;
            const std::size_t N = FImpl->Out.size() - Z.avail_out;
            FDest.WriteBuffer(FImpl->Out.data(), N);
            Z.next_out = FImpl->Out.data();
            Z.avail_out = static_cast<uInt>(FImpl->Out.size());
            return;
        }
        if (Z.avail_in == 0) return;
    }
}

std::size_t TCompressionStream::Write(const void* Buffer, std::size_t Count) {
    if (FFinished) throw EWriteError("Compression stream already finished");
    const auto* P = static_cast<const std::uint8_t*>(Buffer);
    std::size_t Left = Count;
    while (Left > 0) {
        const uInt N = static_cast<uInt>(std::min<std::size_t>(Left, 1u << 30));
        FImpl->Z.next_in = const_cast<Bytef*>(P);
        FImpl->Z.avail_in = N;
        Pump(false);
        P += N;
        Left -= N;
    }
    FTotalIn += static_cast<std::int64_t>(Count);
    return Count;
}

void TCompressionStream::Finish() {
    if (FFinished) return;
    FFinished = true;
    FImpl->Z.next_in = nullptr;
    FImpl->Z.avail_in = 0;
    Pump(true);
}

// ------------------------------------------------------------ zlib helpers

std::vector<std::uint8_t> ZInflate(const std::uint8_t* Data, std::size_t Size, std::size_t MaxOutput) {
    z_stream Z{};
    if (inflateInit(&Z) != Z_OK) throw EReadError("zlib: inflateInit failed");
    std::vector<std::uint8_t> Out;
    std::vector<std::uint8_t> Chunk(1 << 16);
    Z.next_in = const_cast<Bytef*>(Data);
    Z.avail_in = static_cast<uInt>(Size);
    int R = Z_OK;
    for (;;) {
        Z.next_out = Chunk.data();
        Z.avail_out = static_cast<uInt>(Chunk.size());
        R = inflate(&Z, Z_NO_FLUSH);
        const std::size_t Got = Chunk.size() - Z.avail_out;
        if (Out.size() + Got > MaxOutput) {
            inflateEnd(&Z);
            throw EReadError("Compressed data expands beyond the expected size");
        }
        Out.insert(Out.end(), Chunk.begin(), Chunk.begin() + static_cast<std::ptrdiff_t>(Got));
        if (R == Z_STREAM_END) break;
        if (R == Z_BUF_ERROR && (Z.avail_in == 0 || Got == 0)) {
            inflateEnd(&Z);
            throw EReadError("Compressed data ends early");
        }
        if (R != Z_OK && R != Z_BUF_ERROR) {
            inflateEnd(&Z);
            throw EReadError(std::string("Compressed data is corrupt") + (Z.msg ? std::string(" (") + Z.msg + ")" : ""));
        }
    }
    inflateEnd(&Z);
    return Out;
}

std::vector<std::uint8_t> ZDeflate(const std::uint8_t* Data, std::size_t Size, int Level) {
    TMemoryStream Out;
    {
        TCompressionStream C(Out, Level);
        C.WriteBuffer(Data, Size);
        C.Finish();
    }
    return Out.Bytes();
}

namespace {

using TLibdeflateCompressor = std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)>;

TLibdeflateCompressor LibdeflateCompressor(int Level) {
    TLibdeflateCompressor C(libdeflate_alloc_compressor(Level), &libdeflate_free_compressor);
    if (!C) throw std::bad_alloc();
    return C;
}

}  // namespace

double SampledDeflateRatio(const std::uint8_t* Data, std::size_t Size) {
    constexpr std::size_t Slices = 4;
    constexpr std::size_t SliceBytes = 8192;
    if (Size == 0) return 1.0;
    TLibdeflateCompressor C = LibdeflateCompressor(1);
    const std::size_t Slice = std::min(Size, SliceBytes);
    std::vector<std::uint8_t> Out(libdeflate_deflate_compress_bound(C.get(), Slice));
    const std::size_t Count = Size <= Slice ? 1 : Slices;
    std::size_t In = 0, Packed = 0;
    for (std::size_t I = 0; I < Count; ++I) {
        const std::size_t At = Count == 1 ? 0 : I * (Size - Slice) / (Count - 1);
        const std::size_t N = libdeflate_deflate_compress(C.get(), Data + At, Slice, Out.data(), Out.size());
        In += Slice;
        Packed += N == 0 ? Slice : N;
    }
    return static_cast<double>(Packed) / static_cast<double>(In);
}

std::vector<std::uint8_t> Deflate(const std::uint8_t* Data, std::size_t Size, const TDeflateSettings& Settings) {
    if (Settings.Deflater == TDeflater::Zlib) return ZDeflate(Data, Size, Settings.Level);
    int Level = std::clamp(Settings.Level < 0 ? 6 : Settings.Level, 0, 12);
    if (Settings.LevelByGain && Size >= LevelByGainMinBytes) {
        const double Ratio = SampledDeflateRatio(Data, Size);
        if (Ratio >= IncompressibleSampleRatio)
            Level = 0;
        else if (Ratio >= NoisySampleRatio)
            Level = std::min(Level, NoisyDataLevel);
    }
    TLibdeflateCompressor C = LibdeflateCompressor(Level);
    std::vector<std::uint8_t> Out(libdeflate_zlib_compress_bound(C.get(), Size));
    const std::size_t N = libdeflate_zlib_compress(C.get(), Data, Size, Out.data(), Out.size());
    // The bound always holds the whole stream.
    if (N == 0) throw EWriteError("The compressor could not write its data");
    Out.resize(N);
    Out.shrink_to_fit();
    return Out;
}

}  // namespace anivert
