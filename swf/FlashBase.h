// Base classes of the movie object model: objects, characters with ids,
// placements.
#pragma once

#include <cstdint>
#include <memory>

#include "SWFObjects.h"

namespace anivert {

class TFlashMovie;

// Base of every movie-builder object.
class TFlashObject : public TBasedSWFObject {
public:
    TFlashMovie* Owner() const { return FOwner; }
    void SetOwner(TFlashMovie* AOwner) {
        FOwner = AOwner;
        ChangeOwner();
    }
    int LibraryLevel() const override { return 1; }
    virtual void ChangeOwner() {}
    // The owner's unit multiplier (20 for a movie in pixels), 1 without owner.
    std::int32_t UnitMultiplier() const;

protected:
    explicit TFlashObject(TFlashMovie* AOwner = nullptr) : FOwner(AOwner) {}

private:
    TFlashMovie* FOwner = nullptr;
};

// A movie-builder object with a character id.
class TFlashIDObject : public TFlashObject {
public:
    virtual std::uint16_t GetCharacterID() const { return FCharacterID; }
    virtual void SetCharacterID(std::uint16_t Value) { FCharacterID = Value; }
    void CopyFrom(const TBasedSWFObject& Source) override;

protected:
    using TFlashObject::TFlashObject;

private:
    std::uint16_t FCharacterID = 0;
};

// A character that can be placed on the stage.
class TFlashVisualObject : public TFlashIDObject {
protected:
    using TFlashIDObject::TFlashIDObject;
};

// The placement of a character at a depth (a PlaceObject2 tag).
class TFlashPlaceObject : public TFlashObject {
public:
    TFlashPlaceObject(TFlashMovie* AOwner, TFlashVisualObject* ACharacter, std::uint16_t Depth);
    ~TFlashPlaceObject() override;

    TFlashVisualObject* Character() const { return FCharacter; }
    TSWFPlaceObject2& PlaceTag() { return *FPlaceTag; }
    const TSWFPlaceObject2& PlaceTag() const { return *FPlaceTag; }

    void SetTranslate(std::int32_t X, std::int32_t Y);
    void SetMove(bool Value) { FPlaceTag->PlaceFlagMove = Value; }
    std::uint16_t GetCharacterID() const { return FPlaceTag->CharacterID; }

    void CopyFrom(const TBasedSWFObject& Source) override;
    std::uint8_t MinVersion() const override { return FPlaceTag->PlaceFlagHasClipActions ? 5 : 3; }
    void WriteToStream(TBitsEngine& BE) override { FPlaceTag->WriteToStream(BE); }

private:
    TFlashVisualObject* FCharacter = nullptr;
    std::unique_ptr<TSWFPlaceObject2> FPlaceTag;
};

}  // namespace anivert
