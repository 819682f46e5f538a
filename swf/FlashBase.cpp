#include "FlashBase.h"

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
}

TFlashPlaceObject::~TFlashPlaceObject() = default;

void TFlashPlaceObject::SetTranslate(std::int32_t X, std::int32_t Y) {
    if (X != 0 || Y != 0 || FPlaceTag->PlaceFlagHasMatrix || FPlaceTag->PlaceFlagMove) {
        const std::int32_t M = UnitMultiplier();
        FPlaceTag->Matrix().SetTranslate(X * M, Y * M);
    }
}

void TFlashPlaceObject::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TFlashPlaceObject>(Source, "placement");
    if (!Owner() && S.Owner()) SetOwner(S.Owner());
    FCharacter = S.FCharacter;
    FPlaceTag->CopyFrom(*S.FPlaceTag);
}

}  // namespace anivert
