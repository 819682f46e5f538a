// Tag framing, the control tags and the display-list tags.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "SWFBits.h"
#include "SWFConst.h"

namespace anivert {

// Raised when CopyFrom is given an object of another class.
class EAssignError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Base of everything a movie's object list holds.
class TBasedSWFObject {
public:
    virtual ~TBasedSWFObject() = default;
    TBasedSWFObject(const TBasedSWFObject&) = delete;
    TBasedSWFObject& operator=(const TBasedSWFObject&) = delete;

    virtual void CopyFrom(const TBasedSWFObject& Source) = 0;
    // 0 for tags, 1 for movie-builder objects.
    virtual int LibraryLevel() const = 0;
    // The lowest SWF version that can hold the object as it is now.
    virtual std::uint8_t MinVersion() const { return 1; }
    virtual void WriteToStream(TBitsEngine& BE) = 0;

protected:
    TBasedSWFObject() = default;
};

// Casts Source to the class T for CopyFrom, or raises EAssignError.
template <class T>
const T& AssignSource(const TBasedSWFObject& Source, const char* Target) {
    if (auto* S = dynamic_cast<const T*>(&Source)) return *S;
    throw EAssignError(std::string("Cannot assign this object to a ") + Target);
}

// Base of every SWF tag: renders its body into a scratch buffer and frames
// it with the short or long record header.
class TSWFObject : public TBasedSWFObject {
public:
    std::uint32_t BodySize = 0;
    std::uint16_t TagID = 0;

    void CopyFrom(const TBasedSWFObject& Source) override;
    int LibraryLevel() const override { return 0; }
    void WriteToStream(TBitsEngine& BE) final;
    // Reads the body; the stream is positioned after the header and
    // BodySize is set by the caller.
    virtual void ReadFromStream(TBitsEngine&) {}
    virtual void WriteTagBody(TBitsEngine&) {}

protected:
    explicit TSWFObject(std::uint16_t ATagID) : TagID(ATagID) {}
};

// Whether a tag with this code and body size takes the long header.
bool UseLongTagHeader(std::uint16_t TagID, std::uint32_t BodySize);
void WriteTagHeader(TStream& Stream, std::uint16_t TagID, std::uint32_t BodySize);

// Writes a tag whose body the caller assembled. Size 0 takes all of Body;
// Body is positioned at its start.
void WriteCustomTag(TStream& Stream, std::uint8_t TagID, TMemoryStream& Body, std::uint32_t Size = 0);

// A tag this library has no class for, kept as its raw body.
class TSWFUnknownTag : public TSWFObject {
public:
    explicit TSWFUnknownTag(std::uint16_t ATagID) : TSWFObject(ATagID) {}
    std::vector<std::uint8_t> Data;
    void CopyFrom(const TBasedSWFObject& Source) override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteTagBody(TBitsEngine& BE) override;
};

// ---------------------------------------------------------------- control tags

class TSWFEnd : public TSWFObject {
public:
    TSWFEnd() : TSWFObject(tagEnd) {}
};

class TSWFShowFrame : public TSWFObject {
public:
    TSWFShowFrame() : TSWFObject(tagShowFrame) {}
};

class TSWFSetBackgroundColor : public TSWFObject {
public:
    TSWFSetBackgroundColor() : TSWFObject(tagSetBackgroundColor), Color(std::make_unique<TSWFRGB>()) {}
    std::unique_ptr<TSWFRGB> Color;
    void CopyFrom(const TBasedSWFObject& Source) override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteTagBody(TBitsEngine& BE) override;
};

class TSWFFrameLabel : public TSWFObject {
public:
    explicit TSWFFrameLabel(std::string AName = std::string()) : TSWFObject(tagFrameLabel), Name(std::move(AName)) {}
    std::string Name;
    bool IsAnchor = false;
    void CopyFrom(const TBasedSWFObject& Source) override;
    std::uint8_t MinVersion() const override { return IsAnchor ? 6 : 3; }
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteTagBody(TBitsEngine& BE) override;
};

// Protect: a player refuses to import the movie; with a password or hash the
// authoring tool asks for the password.
class TSWFProtect : public TSWFObject {
public:
    TSWFProtect() : TSWFObject(tagProtect) {}
    std::string Hash;
    std::string Password;
    void CopyFrom(const TBasedSWFObject& Source) override;
    std::uint8_t MinVersion() const override { return (!Password.empty() || !Hash.empty()) ? 5 : 2; }
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteTagBody(TBitsEngine& BE) override;
};

// ---------------------------------------------------------------- display list

// The clip-action block of a placed sprite (SWFClipActions.h).
class TSWFClipActions;

class TSWFBasedPlaceObject : public TSWFObject {
public:
    std::uint16_t CharacterID = 0;
    std::uint16_t Depth = 0;
    virtual void SetCharacterID(std::uint16_t Value) { CharacterID = Value; }
    void CopyFrom(const TBasedSWFObject& Source) override;

protected:
    using TSWFObject::TSWFObject;
};

class TSWFPlaceObject2 : public TSWFBasedPlaceObject {
public:
    TSWFPlaceObject2();
    ~TSWFPlaceObject2() override;

    std::uint16_t ClipDepth = 0;
    std::string Name;
    bool ParseActions = false;
    bool PlaceFlagHasCharacter = false;
    bool PlaceFlagHasClipActions = false;
    bool PlaceFlagHasClipDepth = false;
    bool PlaceFlagHasColorTransform = false;
    bool PlaceFlagHasMatrix = false;
    bool PlaceFlagHasName = false;
    bool PlaceFlagHasRatio = false;
    bool PlaceFlagMove = false;
    std::uint16_t Ratio = 0;
    std::uint8_t SWFVersion = 3;

    void SetCharacterID(std::uint16_t Value) override;
    void SetClipDepth(std::uint16_t Value);
    void SetRatio(std::uint16_t Value);
    void SetName(const std::string& Value);

    // Accessors that create the part on first use and raise its flag.
    TSWFMatrix& Matrix();
    TSWFColorTransform& ColorTransform();
    // The clip actions; the flag is raised when the block is created. A
    // block without records is not written.
    TSWFClipActions& ClipActions();
    // The parts as they are, or null when never created.
    const TSWFMatrix* MatrixOrNull() const { return FMatrix.get(); }
    const TSWFColorTransform* ColorTransformOrNull() const { return FColorTransform.get(); }
    const TSWFClipActions* ClipActionsOrNull() const { return FClipActions.get(); }

    void CopyFrom(const TBasedSWFObject& Source) override;
    // 3; with clip actions 5 while SWFVersion is below 6, else SWFVersion,
    // and at least 6 when an event needs the 32-bit layout.
    std::uint8_t MinVersion() const override;
    // Clip actions are read in the layout of SWFVersion.
    void ReadFromStream(TBitsEngine& BE) override;
    // Writing clip actions first raises SWFVersion to MinVersion.
    void WriteTagBody(TBitsEngine& BE) override;

private:
    bool WritesClipActions() const;
    std::unique_ptr<TSWFClipActions> FClipActions;
    std::unique_ptr<TSWFColorTransform> FColorTransform;
    std::unique_ptr<TSWFMatrix> FMatrix;
};

class TSWFRemoveObject : public TSWFObject {
public:
    TSWFRemoveObject() : TSWFObject(tagRemoveObject) {}
    std::uint16_t CharacterID = 0;
    std::uint16_t Depth = 0;
    void CopyFrom(const TBasedSWFObject& Source) override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteTagBody(TBitsEngine& BE) override;
};

class TSWFRemoveObject2 : public TSWFObject {
public:
    TSWFRemoveObject2() : TSWFObject(tagRemoveObject2) {}
    std::uint16_t Depth = 0;
    void CopyFrom(const TBasedSWFObject& Source) override;
    std::uint8_t MinVersion() const override { return 3; }
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteTagBody(TBitsEngine& BE) override;
};

}  // namespace anivert
