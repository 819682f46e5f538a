// Base classes of the movie object model: objects, characters with ids,
// placements.
#pragma once

#include <cstdint>
#include <memory>

#include "SWFObjects.h"

namespace anivert {

class TFlashActionScript;
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

// The placement of a character at a depth (a PlaceObject2 tag). A sprite's
// placement carries clip actions: action lists run on events that reach the
// placed sprite.
class TFlashPlaceObject : public TFlashObject {
public:
    // For a sprite the tag's clip-action block is created (which raises its
    // flag) with a script over a list of its own.
    TFlashPlaceObject(TFlashMovie* AOwner, TFlashVisualObject* ACharacter, std::uint16_t Depth);
    ~TFlashPlaceObject() override;

    TFlashVisualObject* Character() const { return FCharacter; }
    TSWFPlaceObject2& PlaceTag() { return *FPlaceTag; }
    const TSWFPlaceObject2& PlaceTag() const { return *FPlaceTag; }

    void SetTranslate(std::int32_t X, std::int32_t Y);
    void SetMove(bool Value) { FPlaceTag->PlaceFlagMove = Value; }
    std::uint16_t GetCharacterID() const { return FPlaceTag->CharacterID; }

    // The clip actions of a sprite's placement; null for other characters.
    TSWFClipActions* ClipActions();
    // The script over the clip-action record OnClipEvent last chose; null
    // for other characters.
    TFlashActionScript* ClipActionScript() { return FClipScript.get(); }
    // Points the script at the record run on Events (with a KeyCode, on
    // the key-press event for that key): the first record with exactly
    // these events and key, or a new one; returns the script, so that what
    // the caller adds runs on those events. Raises std::logic_error when
    // the placed character is not a sprite.
    TFlashActionScript& OnClipEvent(TSWFClipEvents Events, std::uint8_t KeyCode = 0);

    void CopyFrom(const TBasedSWFObject& Source) override;
    // 5 with clip actions (6 when an event needs the 32-bit layout), else 3.
    std::uint8_t MinVersion() const override;
    void WriteToStream(TBitsEngine& BE) override { FPlaceTag->WriteToStream(BE); }

private:
    TFlashVisualObject* FCharacter = nullptr;
    std::unique_ptr<TSWFPlaceObject2> FPlaceTag;
    std::unique_ptr<TFlashActionScript> FClipScript;
};

// The tag that takes the character at Depth off the display list: with the
// character, a RemoveObject naming it; without, a RemoveObject2.
std::unique_ptr<TSWFObject> MakeRemoveTag(std::uint16_t Depth, const TFlashIDObject* Character);

}  // namespace anivert
