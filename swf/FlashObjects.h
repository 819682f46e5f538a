// The movie object model: characters, placements and frames of one movie,
// turned into the tag stream of the SWF file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "SWFObjects.h"
#include "SWFStreams.h"

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

class TFlashMovie : public TBasedSWFStream {
public:
    TFlashMovie(std::int32_t XMin, std::int32_t YMin, std::int32_t XMax, std::int32_t YMax, float FPS,
                bool PixelUnits = false);
    ~TFlashMovie() override;

    // Everything MakeStream writes, in file order; owns every object.
    std::vector<std::unique_ptr<TBasedSWFObject>> ObjectList;
    std::uint16_t NextCharacterID = 1;
    std::int32_t CurrentFrame = 0;
    // Written as a FrameLabel tag by the next ShowFrame, then cleared.
    std::string FrameLabel;
    // Appended by the next ShowFrame before its ShowFrame tags, then cleared.
    std::unique_ptr<TBasedSWFObject> PendingObject;
    bool Protect = false;
    std::string ProtectPassword;

    // Creates the background colour on first use; the movie then writes a
    // SetBackgroundColor tag.
    TSWFRGB& BackgroundColor();
    bool HasBackgroundColor() const { return FBackgroundColor != nullptr; }

    template <class T>
    T* AddObject(std::unique_ptr<T> Obj) {
        T* P = Obj.get();
        ObjectList.push_back(std::move(Obj));
        return P;
    }
    TFlashPlaceObject* PlaceObject(TFlashVisualObject* Obj, std::uint16_t Depth);
    // With a character: RemoveObject of that character at Depth; without:
    // RemoveObject2 at Depth.
    void RemoveObject(std::uint16_t Depth, const TFlashIDObject* Shape = nullptr);
    void ShowFrame(std::uint16_t Count = 1);
    void MakeStream() override;

protected:
    // Gives a new character the next id, appends it to ObjectList and to its
    // typed list.
    template <class T, class L>
    T* RegisterCharacter(std::unique_ptr<T> Obj, std::vector<L*>& List) {
        Obj->SetCharacterID(NextCharacterID);
        T* P = AddObject(std::move(Obj));
        List.push_back(P);
        ++NextCharacterID;
        return P;
    }

private:
    std::unique_ptr<TSWFRGB> FBackgroundColor;
};

}  // namespace anivert
