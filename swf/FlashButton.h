// Buttons and action scripts of the movie object model.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "FlashBase.h"
#include "SWFActions.h"
#include "SWFButtons.h"
#include "SWFSounds.h"

namespace anivert {

class TFlashShape;

// A handle on an action list: a list of its own, or one owned elsewhere
// (the actions of a button).
class TFlashActionScript : public TFlashObject {
public:
    // Over List when given (not owned), else over a new list of its own.
    explicit TFlashActionScript(TFlashMovie* AOwner = nullptr, TSWFActionList* List = nullptr);

    TSWFActionList& Actions() { return *FActions; }
    const TSWFActionList& Actions() const { return *FActions; }
    bool OwnsList() const { return FOwnedList != nullptr; }
    // Points the script at List, owned elsewhere; a list of its own is freed.
    void SetActions(TSWFActionList& List);

    // Appends a GetURL action.
    TSWFActionGetUrl* GetURL(const std::string& URL, const std::string& Target);
    TSWFAction& GetAction(std::size_t Index) { return FActions->Action(Index); }

    // Copies OwnsList and appends a copy of each of the source's actions.
    void CopyFrom(const TBasedSWFObject& Source) override;
    // The largest MinVersion of the actions, at least 1.
    std::uint8_t MinVersion() const override;
    // A DoAction tag over the actions.
    void WriteToStream(TBitsEngine& BE) override;

private:
    std::unique_ptr<TSWFActionList> FOwnedList;
    TSWFActionList* FActions = nullptr;
};

// A button character: a DefineButton2 (advanced) or a DefineButton.
class TFlashButton : public TFlashVisualObject {
public:
    TFlashButton(TFlashMovie* AOwner = nullptr, bool TrackAsMenu = false, bool AAdvanced = true);
    ~TFlashButton() override;

    bool Advanced() const { return FAdvanced; }
    TSWFBasedButton& ButtonTag() { return *FButtonTag; }
    const TSWFBasedButton& ButtonTag() const { return *FButtonTag; }
    // The tag as a DefineButton2, or none for a basic button.
    TSWFDefineButton2* Button2() { return FAdvanced ? static_cast<TSWFDefineButton2*>(FButtonTag.get()) : nullptr; }
    TFlashActionScript& ActionScript() { return *FActionScript; }
    // The sounds of the button's transitions; written after the button only
    // when one of them is set, for the button's id.
    TSWFDefineButtonSound& ButtonSound() { return *FButtonSound; }
    const TSWFDefineButtonSound& ButtonSound() const { return *FButtonSound; }

    // A record of Shape in the States (bsUp, bsDown, bsOver, bsHitTest) at
    // the button's Depth.
    TSWFButtonRecord* AddRecord(const TFlashIDObject& Shape, std::uint8_t States, std::uint16_t Depth);
    // A record of the character Id; an advanced button's record carries a
    // colour transform with alpha.
    TSWFButtonRecord* AddRecordById(std::uint16_t Id, std::uint8_t States, std::uint16_t Depth);
    // The first condition action whose conditions hold Bit (0 to 15), or a
    // new one for {Bit}. None for a basic button, which has no condition
    // actions.
    TSWFButtonCondAction* FindActionEvent(unsigned Bit);
    // A new condition action with the transitions 0 to 8 of Conditions.
    TSWFButtonCondAction* AddCondAction(std::uint16_t Conditions);
    // The script of the actions run on release (the condition action of
    // bit 3; a basic button's only action list).
    TFlashActionScript& OnReleaseActions();

    void SetCharacterID(std::uint16_t Value) override;
    // Copies the tag, Advanced and the sounds.
    void CopyFrom(const TBasedSWFObject& Source) override;
    std::uint8_t MinVersion() const override { return FAdvanced ? 3 : 1; }
    // The button tag, then the DefineButtonSound when a sound is set.
    void WriteToStream(TBitsEngine& BE) override;

private:
    void MakeTag(bool TrackAsMenu);

    bool FAdvanced = true;
    std::unique_ptr<TSWFBasedButton> FButtonTag;
    std::unique_ptr<TFlashActionScript> FActionScript;
    std::unique_ptr<TSWFDefineButtonSound> FButtonSound;
};

}  // namespace anivert
