#include "FlashSprite.h"

#include <algorithm>
#include <stdexcept>

#include "FlashButton.h"

namespace anivert {

namespace {

bool IsShowFrame(const TBasedSWFObject& Obj) {
    const auto* T = dynamic_cast<const TSWFObject*>(&Obj);
    return T && T->TagID == tagShowFrame;
}

// A new object of the class of Source with its state.
std::unique_ptr<TBasedSWFObject> CopyOf(const TBasedSWFObject& Source, TFlashMovie* Owner) {
    std::unique_ptr<TBasedSWFObject> C;
    if (dynamic_cast<const TFlashPlaceObject*>(&Source)) {
        C = std::make_unique<TFlashPlaceObject>(Owner, nullptr, 0);
    } else if (dynamic_cast<const TFlashActionScript*>(&Source)) {
        C = std::make_unique<TFlashActionScript>(Owner);
    } else if (auto* T = dynamic_cast<const TSWFObject*>(&Source)) {
        if (dynamic_cast<const TSWFUnknownTag*>(T)) C = std::make_unique<TSWFUnknownTag>(T->TagID);
        else C = GenerateSWFObject(T->TagID);
    }
    if (!C) throw EAssignError("Cannot copy this object of a sprite");
    C->CopyFrom(Source);
    return C;
}

}  // namespace

TFlashSprite::TFlashSprite(TFlashMovie* AOwner) : TFlashVisualObject(AOwner) {}

TFlashSprite::~TFlashSprite() = default;

TBasedSWFObject* TFlashSprite::AddObject(std::unique_ptr<TBasedSWFObject> Obj) {
    if (!Obj) throw std::invalid_argument("No object to add to the sprite");
    if (dynamic_cast<const TFlashIDObject*>(Obj.get()))
        throw std::invalid_argument("A sprite cannot define a character: define it in the movie");
    FObjects.push_back(std::move(Obj));
    return FObjects.back().get();
}

TFlashPlaceObject* TFlashSprite::PlaceObject(TFlashVisualObject* Obj, std::uint16_t Depth) {
    return static_cast<TFlashPlaceObject*>(AddObject(std::make_unique<TFlashPlaceObject>(Owner(), Obj, Depth)));
}

void TFlashSprite::RemoveObject(std::uint16_t Depth, const TFlashIDObject* Shape) {
    AddObject(MakeRemoveTag(Depth, Shape));
}

TFlashActionScript* TFlashSprite::AddActions() {
    return static_cast<TFlashActionScript*>(AddObject(std::make_unique<TFlashActionScript>(Owner())));
}

void TFlashSprite::ShowFrame(std::uint16_t Count) {
    if (Count == 0) Count = 1;
    for (std::uint16_t I = 0; I < Count; ++I) AddObject(std::make_unique<TSWFShowFrame>());
}

std::uint16_t TFlashSprite::FrameCount() const {
    return static_cast<std::uint16_t>(std::count_if(FObjects.begin(), FObjects.end(),
                                                    [](const auto& O) { return IsShowFrame(*O); }));
}

void TFlashSprite::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TFlashSprite>(Source, "sprite");
    if (&S == this) return;
    TFlashVisualObject::CopyFrom(S);
    SWFVersion = S.SWFVersion;
    std::vector<std::unique_ptr<TBasedSWFObject>> Copies;
    for (const auto& O : S.FObjects) Copies.push_back(CopyOf(*O, Owner()));
    FObjects = std::move(Copies);
}

std::uint8_t TFlashSprite::MinVersion() const {
    std::uint8_t V = 3;
    for (const auto& O : FObjects) V = std::max(V, O->MinVersion());
    return V;
}

void TFlashSprite::WriteToStream(TBitsEngine& BE) {
    TMemoryStream Body;
    {
        TBitsEngine SB(Body);
        SB.WriteWord(GetCharacterID());
        SB.WriteWord(FrameCount());
        const std::uint8_t V = std::max(SWFVersion, MinVersion());
        for (const auto& O : FObjects) {
            if (auto* P = dynamic_cast<TFlashPlaceObject*>(O.get())) P->PlaceTag().SWFVersion = V;
            O->WriteToStream(SB);
        }
        TSWFEnd().WriteToStream(SB);
    }
    Body.SetPosition(0);
    WriteCustomTag(BE.Stream, tagDefineSprite, Body);
}

}  // namespace anivert
