#include "FlashObjects.h"

#include <algorithm>
#include <cmath>

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

// ------------------------------------------------------------ TFlashMovie

TFlashMovie::TFlashMovie(std::int32_t XMin, std::int32_t YMin, std::int32_t XMax, std::int32_t YMax, float FPS,
                         bool PixelUnits)
    : TBasedSWFStream(XMin, YMin, XMax, YMax, FPS, PixelUnits) {}

TFlashMovie::~TFlashMovie() {
    // Objects may refer to one another; free the list before anything else.
    PendingObject.reset();
    ObjectList.clear();
}

TSWFRGB& TFlashMovie::BackgroundColor() {
    if (!FBackgroundColor) FBackgroundColor = std::make_unique<TSWFRGB>();
    return *FBackgroundColor;
}

TFlashPlaceObject* TFlashMovie::PlaceObject(TFlashVisualObject* Obj, std::uint16_t Depth) {
    return AddObject(std::make_unique<TFlashPlaceObject>(this, Obj, Depth));
}

void TFlashMovie::RemoveObject(std::uint16_t Depth, const TFlashIDObject* Shape) {
    if (Shape) {
        auto R = std::make_unique<TSWFRemoveObject>();
        R->CharacterID = Shape->GetCharacterID();
        R->Depth = Depth;
        AddObject(std::move(R));
    } else {
        auto R = std::make_unique<TSWFRemoveObject2>();
        R->Depth = Depth;
        AddObject(std::move(R));
    }
}

void TFlashMovie::ShowFrame(std::uint16_t Count) {
    if (Count == 0) Count = 1;
    if (!FrameLabel.empty()) {
        AddObject(std::make_unique<TSWFFrameLabel>(FrameLabel));
        FrameLabel.clear();
    }
    if (PendingObject) ObjectList.push_back(std::move(PendingObject));
    for (std::uint16_t I = 0; I < Count; ++I) {
        ++FrameCount;
        AddObject(std::make_unique<TSWFShowFrame>());
    }
    CurrentFrame = static_cast<std::int32_t>(FrameCount) - 1;
}

void TFlashMovie::MakeStream() {
    Body->Clear();
    std::uint8_t V = Version();
    std::uint16_t N = 0;
    TBitsEngine BE(*Body);
    if (FBackgroundColor) {
        TSWFSetBackgroundColor Tag;
        Tag.Color->CopyFrom(*FBackgroundColor);
        Tag.WriteToStream(BE);
    }
    if (Protect) {
        TSWFProtect Tag;
        Tag.Password = ProtectPassword;
        V = std::max(V, Tag.MinVersion());
        Tag.WriteToStream(BE);
    }
    const std::size_t Count = ObjectList.size();
    for (std::size_t J = 0; J < Count; ++J) {
        TBasedSWFObject& Obj = *ObjectList[J];
        if (OnProgress)
            OnProgress(*this, static_cast<int>(std::nearbyint(100.0 * static_cast<double>(J + 1) / static_cast<double>(Count))), 1);
        V = std::max(V, Obj.MinVersion());
        if (Obj.LibraryLevel() == 1) {
            if (auto* P = dynamic_cast<TFlashPlaceObject*>(&Obj)) P->PlaceTag().SWFVersion = V;
        } else if (auto* T = dynamic_cast<TSWFObject*>(&Obj); T && T->TagID == tagShowFrame) {
            ++N;
        }
        Obj.WriteToStream(BE);
    }
    if (ObjectList.empty() || !dynamic_cast<TSWFEnd*>(ObjectList.back().get())) BE.WriteWord(0);
    FrameCount = N;
    if (V > Version()) SetVersion(V);
}

}  // namespace anivert
