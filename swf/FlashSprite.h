// Sprites of the movie object model: a character with a timeline of its
// own, written as a DefineSprite tag that holds its control tags.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "FlashBase.h"
#include "SWFObjects.h"

namespace anivert {

class TFlashActionScript;

// A sprite: placements, removals, frame actions and frames of its own
// timeline. It holds no character definitions: the characters it places
// are defined by the movie, before the sprite.
class TFlashSprite : public TFlashVisualObject {
public:
    explicit TFlashSprite(TFlashMovie* AOwner = nullptr);
    ~TFlashSprite() override;

    // The sprite's control tags and placements in timeline order; owns them.
    const std::vector<std::unique_ptr<TBasedSWFObject>>& ObjectList() const { return FObjects; }
    // The movie's version, set by the movie before it writes the sprite; the
    // clip actions of the sprite's placements take its layout.
    std::uint8_t SWFVersion = 3;

    // Appends a control tag or placement. Raises std::invalid_argument for
    // a character, which a sprite cannot define.
    TBasedSWFObject* AddObject(std::unique_ptr<TBasedSWFObject> Obj);
    // Places Obj at Depth on the sprite's timeline.
    TFlashPlaceObject* PlaceObject(TFlashVisualObject* Obj, std::uint16_t Depth);
    // With a character: RemoveObject of that character at Depth; without:
    // RemoveObject2 at Depth.
    void RemoveObject(std::uint16_t Depth, const TFlashIDObject* Shape = nullptr);
    // Actions run when the sprite reaches the current frame (a DoAction).
    TFlashActionScript* AddActions();
    // Closes Count frames (at least one).
    void ShowFrame(std::uint16_t Count = 1);
    // The number of ShowFrame tags.
    std::uint16_t FrameCount() const;

    // The id and a deep copy of the timeline; placements keep referring to
    // the same characters.
    void CopyFrom(const TBasedSWFObject& Source) override;
    // The largest of 3 and the MinVersion of everything on the timeline.
    std::uint8_t MinVersion() const override;
    // A DefineSprite: id, frame count, the timeline's tags and an End tag.
    void WriteToStream(TBitsEngine& BE) override;

private:
    std::vector<std::unique_ptr<TBasedSWFObject>> FObjects;
};

}  // namespace anivert
