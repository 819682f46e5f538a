// Byte streams: one abstraction with read, write, seek, position, size and
// block copy, with memory, file and zlib (deflate/inflate) implementations.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace anivert {

class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    virtual ~TStream() = default;
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    // Reads up to Count bytes; returns how many were read (0 at the end).
    virtual std::size_t Read(void* Buffer, std::size_t Count) = 0;
    // Writes up to Count bytes; returns how many were written.
    virtual std::size_t Write(const void* Buffer, std::size_t Count) = 0;
    // Moves the position; returns the new position.
    virtual std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) = 0;

    std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(std::int64_t Pos) { Seek(Pos, TSeekOrigin::soBeginning); }
    virtual std::int64_t Size();
    virtual void SetSize(std::int64_t NewSize);

    // Exactly Count bytes or EReadError / EWriteError.
    void ReadBuffer(void* Buffer, std::size_t Count);
    void WriteBuffer(const void* Buffer, std::size_t Count);

    // Block copy from Source's current position. Count 0 copies the whole
    // of Source from its start. Returns the number of bytes copied.
    std::int64_t CopyFrom(TStream& Source, std::int64_t Count);
};

// A growable buffer in memory.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<std::uint8_t> Data) : FData(std::move(Data)) {}

    std::size_t Read(void* Buffer, std::size_t Count) override;
    std::size_t Write(const void* Buffer, std::size_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(FData.size()); }
    void SetSize(std::int64_t NewSize) override;

    void Clear();
    const std::uint8_t* Memory() const { return FData.data(); }
    std::uint8_t* Memory() { return FData.data(); }
    const std::vector<std::uint8_t>& Bytes() const { return FData; }
    // Hands the bytes over, leaving the stream empty.
    std::vector<std::uint8_t> TakeBytes() {
        FPosition = 0;
        return std::exchange(FData, {});
    }
    void LoadFromFile(const std::string& FileName);
    void SaveToFile(const std::string& FileName);

private:
    std::vector<std::uint8_t> FData;
    std::size_t FPosition = 0;
};

// Bytes the caller keeps, read where they are; writing fails.
class TReadOnlyMemoryStream : public TStream {
public:
    TReadOnlyMemoryStream(const std::uint8_t* Data, std::size_t Size) : FData(Data), FSize(Size) {}

    std::size_t Read(void* Buffer, std::size_t Count) override;
    std::size_t Write(const void* Buffer, std::size_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(FSize); }

private:
    const std::uint8_t* FData;
    std::size_t FSize;
    std::size_t FPosition = 0;
};

enum class TFileMode { fmCreate, fmOpenRead, fmOpenReadWrite };

// A file on disk. fmCreate creates (or truncates) the file for writing.
class TFileStream : public TStream {
public:
    TFileStream(const std::string& FileName, TFileMode Mode);
    ~TFileStream() override;

    std::size_t Read(void* Buffer, std::size_t Count) override;
    std::size_t Write(const void* Buffer, std::size_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
    void SetSize(std::int64_t NewSize) override;
    const std::string& FileName() const { return FFileName; }
    // Flushes and closes; reports a failed flush as EWriteError.
    void Close();

private:
    std::string FFileName;
    std::FILE* FFile = nullptr;
};

// Deflates everything written to it into Dest (zlib stream format, with
// its header and Adler-32 trailer). Finish writes the end of the stream;
// the destructor finishes quietly if Finish was not called.
class TCompressionStream : public TStream {
public:
    // Called with the number of input bytes consumed so far each time a
    // full output block (BlockSize bytes) is handed to Dest.
    using TBlockEvent = std::function<void(std::int64_t Consumed)>;
    static constexpr std::size_t BlockSize = 65536;

    explicit TCompressionStream(TStream& Dest, int Level = -1);
    ~TCompressionStream() override;

    std::size_t Read(void* Buffer, std::size_t Count) override;
    std::size_t Write(const void* Buffer, std::size_t Count) override;
    std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
    std::int64_t Size() override { return FTotalIn; }
    void SetSize(std::int64_t NewSize) override;
    void Finish();

    TBlockEvent OnBlock;

private:
    void Pump(bool Flush);
    struct Impl;
    std::unique_ptr<Impl> FImpl;
    TStream& FDest;
    std::int64_t FTotalIn = 0;
    bool FFinished = false;
};

// Inflates a whole zlib stream. Stops at the end of the zlib stream; throws
// EReadError when the data is corrupt or ends early, or when the output
// would exceed MaxOutput bytes.
std::vector<std::uint8_t> ZInflate(const std::uint8_t* Data, std::size_t Size,
                                   std::size_t MaxOutput);
// Deflates a buffer into a zlib stream at the given level.
std::vector<std::uint8_t> ZDeflate(const std::uint8_t* Data, std::size_t Size, int Level = -1);

// The compressors that write zlib streams: zlib itself, whose bytes at a
// level are what every earlier movie holds, and libdeflate, which
// compresses a whole buffer at once, faster and often smaller.
enum class TDeflater : std::uint8_t { Zlib, Libdeflate };

struct TDeflateSettings {
    TDeflater Deflater = TDeflater::Zlib;
    // zlib: -1 (its default, 6) or 0..9; libdeflate: 0..12.
    int Level = -1;
    // libdeflate only: Level is for data that compresses well; large data
    // whose sample (SampledDeflateRatio) barely shrinks gets less effort,
    // down to being stored, as the search costs most there and gains least.
    bool LevelByGain = false;
    bool operator==(const TDeflateSettings&) const = default;
};

// The steps of LevelByGain: data of this size or more whose sample keeps at
// least this share of its bytes is deflated at a faster level, or stored.
// Smaller data costs little whatever the level.
inline constexpr std::size_t LevelByGainMinBytes = 64 * 1024;
inline constexpr double NoisySampleRatio = 0.25;
inline constexpr int NoisyDataLevel = 3;
inline constexpr double IncompressibleSampleRatio = 0.9;

// Deflates a buffer into a zlib stream with the compressor and level given.
std::vector<std::uint8_t> Deflate(const std::uint8_t* Data, std::size_t Size, const TDeflateSettings& Settings);

// A cheap guess at how well a buffer deflates: what libdeflate's fastest
// level leaves of a few slices spread over it (compressed / sampled bytes,
// 0 to a little over 1). Costs some tens of microseconds whatever the size.
double SampledDeflateRatio(const std::uint8_t* Data, std::size_t Size);

}  // namespace anivert
