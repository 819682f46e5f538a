// The SWF file as a whole: header, body of encoded tags, plain or zlib
// compressed saving; and the reader that splits a file into tag objects.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "SWFObjects.h"
#include "Streams.h"
#include "Types.h"

namespace anivert {

// Raised by operations a derived class must provide.
class EAbstractError : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

class TBasedSWFStream {
public:
    // Sender, Percent, Phase (1: building the body, 2: compressing).
    using TProgressEvent = std::function<void(TBasedSWFStream& Sender, int Percent, int Phase)>;

    TBasedSWFStream();
    TBasedSWFStream(std::int32_t XMin, std::int32_t YMin, std::int32_t XMax, std::int32_t YMax, float FPS,
                    bool PixelUnits);
    virtual ~TBasedSWFStream();
    TBasedSWFStream(const TBasedSWFStream&) = delete;
    TBasedSWFStream& operator=(const TBasedSWFStream&) = delete;

    std::unique_ptr<TMemoryStream> Body;
    TProgressEvent OnProgress;
    std::uint32_t FileLength = 0;
    TRect FrameRect;           // stage rectangle in twips
    std::uint16_t FrameRate = 0;  // 8.8 fixed
    std::uint16_t FrameCount = 0;

    bool Compressed() const { return FCompressed; }
    std::uint8_t UnitMultiplier() const { return FUnitMultiplier; }
    bool PixelUnits() const { return FPixelUnits; }
    std::uint8_t Version() const { return FVersion; }
    const std::string& Signature() const { return FSignature; }

    void SetPixelUnits(bool Value);
    void SetCompressed(bool Value);
    void SetVersion(std::uint8_t Value);
    void SetFrameRate(float FPS) { FrameRate = SingleToWord(FPS); }
    float GetFrameRate() const { return WordToSingle(FrameRate); }

    std::uint32_t HeaderSize() const;
    // Part 0: whole header; 1: signature, version, length; 2: the rest.
    void WriteHeader(TStream& Stream, int Part) const;
    // Writes the body's tags into Body.
    void MakeStream();
    // Writes the body's tags into Out: what MakeStream puts in Body. Sets
    // FrameCount and, where a tag needs it, a higher version.
    virtual void WriteBody(TStream& Out);
    void SaveToStream(TStream& Stream);
    // Replaces FileName with the movie. The file is written beside the
    // target first and renamed over it, so a failed save leaves an existing
    // file as it was and no partial file behind.
    void SaveFile(const std::string& FileName);
    // Make the movie and save it as SaveToStream and SaveFile do, the tags
    // going to the stream or file as they are written, so that the movie is
    // not held once more in Body (a compressed one is, first). The same
    // bytes as MakeStream and then SaveToStream or SaveFile.
    void SaveToStreamAsMade(TStream& Stream);
    void SaveFileAsMade(const std::string& FileName);

private:
    void ReplaceFile(const std::string& FileName, const std::function<void(TStream&)>& Write);

    bool FCompressed = false;
    std::uint8_t FUnitMultiplier = 1;
    bool FPixelUnits = false;
    std::string FSignature = "FWS";
    std::uint8_t FVersion = 5;
};

// Raised when a file is not a readable SWF movie.
class ESWFReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One tag of a file as read.
struct TSWFReadTag {
    std::uint16_t TagID = 0;
    std::uint32_t BodySize = 0;
    std::int64_t Offset = 0;      // of the record header, in the uncompressed file
    bool LongHeader = false;
    std::unique_ptr<TSWFObject> Tag;  // the decoded tag (a raw tag when the code is unknown)
};

// Reads an SWF file (plain or compressed) into its header fields and tags.
// On failure it raises ESWFReadError; the tags read until then stay in Tags.
class TSWFFileReader {
public:
    // Largest uncompressed movie accepted.
    static constexpr std::size_t MaxMovieSize = std::size_t{512} << 20;

    void LoadFromStream(TStream& Stream);
    void LoadFile(const std::string& FileName);

    std::string Signature;
    std::uint8_t Version = 0;
    std::uint32_t FileLength = 0;
    TRect FrameRect;
    std::uint16_t FrameRate = 0;
    std::uint16_t FrameCount = 0;
    std::uint32_t HeaderSize = 0;
    std::vector<TSWFReadTag> Tags;
    // The whole file as it is uncompressed.
    std::vector<std::uint8_t> Data;

private:
    void ParseTags();
};

// Reads the tag records of Data from Pos up to and including an End tag into
// Tags, for a movie of the given version (the layout of clip actions depends
// on it). Container names the whole in messages ("file", "sprite"). Raises
// ESWFReadError; the tags read until then stay in Tags.
void ReadTagRecords(const std::vector<std::uint8_t>& Data, std::size_t Pos, std::uint8_t Version,
                    std::vector<TSWFReadTag>& Tags, const char* Container);

// Reads the body of a DefineSprite tag: the sprite's id, its frame count and
// its control tags (offsets count from the start of the body). Raises
// ESWFReadError; the tags read until then stay in Tags.
class TSWFSpriteReader {
public:
    void LoadFromBody(const std::vector<std::uint8_t>& Body, std::uint8_t Version);

    std::uint16_t SpriteId = 0;
    std::uint16_t FrameCount = 0;
    std::vector<TSWFReadTag> Tags;
};

}  // namespace anivert
