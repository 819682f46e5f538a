#include "FlashBase.h"

#include <stdexcept>

#include "FlashObjects.h"

namespace anivert {

std::int32_t TFlashObject::UnitMultiplier() const { return FOwner ? FOwner->UnitMultiplier() : 1; }

void TFlashIDObject::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TFlashIDObject>(Source, "movie character");
    if (!Owner() && S.Owner()) SetOwner(S.Owner());
    SetCharacterID(S.GetCharacterID());
}

// ------------------------------------------------------------ TFlashPlaceObject

TFlashPlaceObject::TFlashPlaceObject(TFlashMovie* AOwner, TFlashVisualObject* ACharacter, std::uint16_t Depth)
    : TFlashObject(AOwner), FCharacter(ACharacter), FPlaceTag(std::make_unique<TSWFPlaceObject2>()) {
    FPlaceTag->Depth = Depth;
    if (ACharacter) FPlaceTag->SetCharacterID(ACharacter->GetCharacterID());
    if (dynamic_cast<TFlashSprite*>(ACharacter)) {
        FPlaceTag->ClipActions();
        FClipScript = std::make_unique<TFlashActionScript>(AOwner);
    }
}

TFlashPlaceObject::~TFlashPlaceObject() {
    // The script may refer to a record of the tag: it goes first.
    FClipScript.reset();
}

void TFlashPlaceObject::SetTranslate(std::int32_t X, std::int32_t Y) {
    if (X != 0 || Y != 0 || FPlaceTag->PlaceFlagHasMatrix || FPlaceTag->PlaceFlagMove) {
        const std::int32_t M = UnitMultiplier();
        FPlaceTag->Matrix().SetTranslate(X * M, Y * M);
    }
}

TSWFClipActions* TFlashPlaceObject::ClipActions() { return FClipScript ? &FPlaceTag->ClipActions() : nullptr; }

TFlashActionScript& TFlashPlaceObject::OnClipEvent(TSWFClipEvents Events, std::uint8_t KeyCode) {
    if (!FClipScript) throw std::logic_error("Clip actions belong to the placement of a sprite");
    TSWFClipActions& Block = FPlaceTag->ClipActions();
    const TSWFClipEvents Want = (Events & ceAllEvents) | (KeyCode ? ceKeyPress : 0);
    TSWFClipActionRecord* Record = nullptr;
    for (const auto& R : Block.ActionRecords)
        if (R && R->EventFlags == Want && R->KeyCode() == KeyCode) {
            Record = R.get();
            break;
        }
    if (!Record) Record = Block.AddActionRecord(Events, KeyCode);
    FClipScript->SetActions(*Record);
    return *FClipScript;
}

std::uint8_t TFlashPlaceObject::MinVersion() const {
    if (!FPlaceTag->PlaceFlagHasClipActions) return 3;
    const TSWFClipActions* Block = FPlaceTag->ClipActionsOrNull();
    return Block && Block->UsesVersion6Events() ? 6 : 5;
}

void TFlashPlaceObject::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TFlashPlaceObject>(Source, "placement");
    if (&S == this) return;
    if (!Owner() && S.Owner()) SetOwner(S.Owner());
    FCharacter = S.FCharacter;
    FClipScript.reset();
    FPlaceTag->CopyFrom(*S.FPlaceTag);
    if (S.FClipScript) FClipScript = std::make_unique<TFlashActionScript>(Owner());
}

std::unique_ptr<TSWFObject> MakeRemoveTag(std::uint16_t Depth, const TFlashIDObject* Character) {
    if (Character) {
        auto R = std::make_unique<TSWFRemoveObject>();
        R->CharacterID = Character->GetCharacterID();
        R->Depth = Depth;
        return R;
    }
    auto R = std::make_unique<TSWFRemoveObject2>();
    R->Depth = Depth;
    return R;
}

}  // namespace anivert
