#include "FlashButton.h"

#include <algorithm>

namespace anivert {

// ---------------------------------------------------------------- scripts

TFlashActionScript::TFlashActionScript(TFlashMovie* AOwner, TSWFActionList* List) : TFlashObject(AOwner) {
    if (List) {
        FActions = List;
    } else {
        FOwnedList = std::make_unique<TSWFActionList>();
        FActions = FOwnedList.get();
    }
}

void TFlashActionScript::SetActions(TSWFActionList& List) {
    FActions = &List;
    if (FOwnedList.get() != &List) FOwnedList.reset();
}

TSWFActionGetUrl* TFlashActionScript::GetURL(const std::string& URL, const std::string& Target) {
    return FActions->Add(std::make_unique<TSWFActionGetUrl>(URL, Target));
}

void TFlashActionScript::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TFlashActionScript>(Source, "action script");
    if (&S == this) return;
    if (S.OwnsList() && !OwnsList()) {
        FOwnedList = std::make_unique<TSWFActionList>();
        FActions = FOwnedList.get();
    }
    CopyActionList(S.Actions(), *FActions);
}

std::uint8_t TFlashActionScript::MinVersion() const { return std::max<std::uint8_t>(1, FActions->MinVersion()); }

void TFlashActionScript::WriteToStream(TBitsEngine& BE) {
    TSWFDoAction Tag(*FActions);
    Tag.WriteToStream(BE);
}

// ---------------------------------------------------------------- buttons

TFlashButton::TFlashButton(TFlashMovie* AOwner, bool TrackAsMenu, bool AAdvanced)
    : TFlashVisualObject(AOwner), FAdvanced(AAdvanced), FButtonSound(std::make_unique<TSWFDefineButtonSound>()) {
    MakeTag(TrackAsMenu);
}

TFlashButton::~TFlashButton() {
    // The script only refers to the tag's actions: it goes first.
    FActionScript.reset();
}

void TFlashButton::MakeTag(bool TrackAsMenu) {
    FActionScript.reset();
    if (FAdvanced) {
        auto Tag = std::make_unique<TSWFDefineButton2>();
        Tag->TrackAsMenu = TrackAsMenu;
        FButtonTag = std::move(Tag);
        FActionScript = std::make_unique<TFlashActionScript>(Owner(), FindActionEvent(3));
    } else {
        auto Tag = std::make_unique<TSWFDefineButton>();
        TSWFActionList* List = &Tag->Actions;
        FButtonTag = std::move(Tag);
        FActionScript = std::make_unique<TFlashActionScript>(Owner(), List);
    }
    FButtonTag->ButtonId = GetCharacterID();
}

TSWFButtonRecord* TFlashButton::AddRecord(const TFlashIDObject& Shape, std::uint8_t States, std::uint16_t Depth) {
    return AddRecordById(Shape.GetCharacterID(), States, Depth);
}

TSWFButtonRecord* TFlashButton::AddRecordById(std::uint16_t Id, std::uint8_t States, std::uint16_t Depth) {
    auto Record = std::make_unique<TSWFButtonRecord>(Id);
    Record->Depth = Depth;
    Record->ButtonState = States;
    Record->HasColorTransform = FAdvanced;
    if (FAdvanced) Record->ColorTransform();
    return FButtonTag->AddButtonRecord(std::move(Record));
}

TSWFButtonCondAction* TFlashButton::FindActionEvent(unsigned Bit) {
    TSWFDefineButton2* Tag = Button2();
    if (!Tag) return nullptr;
    if (Bit <= 15)
        for (const auto& Entry : Tag->Actions)
            if (Entry->Conditions & (1u << Bit)) return Entry.get();
    return AddCondAction(Bit <= 15 ? static_cast<std::uint16_t>(1u << Bit) : 0);
}

TSWFButtonCondAction* TFlashButton::AddCondAction(std::uint16_t Conditions) {
    TSWFDefineButton2* Tag = Button2();
    if (!Tag) return nullptr;
    return Tag->AddCondAction(std::make_unique<TSWFButtonCondAction>(static_cast<std::uint16_t>(Conditions & 0x01FF)));
}

TFlashActionScript& TFlashButton::OnReleaseActions() {
    if (FAdvanced) {
        FActionScript->SetActions(*FindActionEvent(3));
    } else {
        FActionScript->SetActions(static_cast<TSWFDefineButton&>(*FButtonTag).Actions);
    }
    return *FActionScript;
}

void TFlashButton::SetCharacterID(std::uint16_t Value) {
    TFlashVisualObject::SetCharacterID(Value);
    FButtonTag->ButtonId = Value;
}

void TFlashButton::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TFlashButton>(Source, "button");
    if (&S == this) return;
    FAdvanced = S.FAdvanced;
    MakeTag(false);
    FButtonTag->CopyFrom(*S.FButtonTag);
    // The script follows the copied release actions.
    OnReleaseActions();
    FButtonSound->CopyFrom(*S.FButtonSound);
    TFlashVisualObject::CopyFrom(S);
}

void TFlashButton::WriteToStream(TBitsEngine& BE) {
    FButtonTag->ButtonId = GetCharacterID();
    FButtonTag->WriteToStream(BE);
    if (FButtonSound->HasSounds()) {
        FButtonSound->ButtonId = GetCharacterID();
        FButtonSound->WriteToStream(BE);
    }
}

}  // namespace anivert
