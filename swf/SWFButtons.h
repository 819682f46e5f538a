// Button tags: DefineButton and DefineButton2, their state records and the
// condition actions of DefineButton2.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "SWFActions.h"
#include "SWFBits.h"
#include "SWFTags.h"

namespace anivert {

// The states a button record shows its character in (ButtonState bits).
enum : std::uint8_t {
    bsUp = 0x01,
    bsDown = 0x02,
    bsOver = 0x04,
    bsHitTest = 0x08,
};

// The transitions of a condition action: bit n of Conditions is 1 << n.
enum : std::uint16_t {
    bcIdleToOverUp = 0x0001,
    bcOverUpToIdle = 0x0002,
    bcOverUpToOverDown = 0x0004,
    bcOverDownToOverUp = 0x0008,  // release over the button
    bcOutDownToOverDown = 0x0010,
    bcOverDownToOutDown = 0x0020,
    bcOutDownToIdle = 0x0040,
    bcIdleToOverDown = 0x0080,
    bcOverDownToIdle = 0x0100,
};

// One character of a button at a depth, shown in some of its states.
class TSWFButtonRecord {
public:
    explicit TSWFButtonRecord(std::uint16_t ACharacterID = 0) : CharacterID(ACharacterID) {}
    TSWFButtonRecord(const TSWFButtonRecord&) = delete;
    TSWFButtonRecord& operator=(const TSWFButtonRecord&) = delete;

    // bsUp, bsDown, bsOver, bsHitTest.
    std::uint8_t ButtonState = 0;
    std::uint16_t CharacterID;
    std::uint16_t Depth = 0;
    bool HasColorTransform = false;

    // Created on first access, with alpha; also sets HasColorTransform.
    TSWFColorTransform& ColorTransform();
    // Created on first access; a fresh matrix is the identity.
    TSWFMatrix& Matrix();
    const TSWFColorTransform* ColorTransformOrNull() const { return FColorTransform.get(); }
    const TSWFMatrix* MatrixOrNull() const { return FMatrix.get(); }

    // Copies state, id, depth, matrix, and the colour transform only when
    // the source has one.
    void CopyFrom(const TSWFButtonRecord& Source);
    // Flag byte, id, depth, matrix and, when HasColorTransform and allowed,
    // the colour transform with alpha.
    void WriteToStream(TBitsEngine& BE, bool AllowColorTransform = true);
    // Reads the rest of a record whose flag byte has been read.
    void ReadFromStream(TBitsEngine& BE, std::uint8_t Flags, bool WithColorTransform);

private:
    std::unique_ptr<TSWFColorTransform> FColorTransform;
    std::unique_ptr<TSWFMatrix> FMatrix;
};

// The actions a DefineButton2 runs on a set of transitions (bits of
// Conditions, see bc...) or on a key (KeyPress, a 7-bit key code).
class TSWFButtonCondAction : public TSWFActionList {
public:
    explicit TSWFButtonCondAction(std::uint16_t AConditions = 0) : Conditions(AConditions) {}
    std::uint16_t Conditions = 0;
    std::uint8_t KeyPress = 0;

    // The two condition bytes: bits 7, 6, 4, 5, 3, 2, 1, 0 of Conditions,
    // the key code in 7 bits, then bit 8.
    void WriteConditions(TBitsEngine& BE) const;
    void ReadConditions(TBitsEngine& BE);
    // Conditions, key code and a copy of the actions (replacing its own).
    void CopyFrom(const TSWFButtonCondAction& Source);
};

// Base of the button tags.
class TSWFBasedButton : public TSWFObject {
public:
    std::uint16_t ButtonId = 0;
    std::vector<std::unique_ptr<TSWFButtonRecord>> ButtonRecords;
    // Reading only: parse actions into objects, or keep each action list as
    // one raw bytecode action.
    bool ParseActions = true;

    TSWFButtonRecord& ButtonRecord(std::size_t Index) { return *ButtonRecords.at(Index); }
    // Appends a record and returns it.
    TSWFButtonRecord* AddButtonRecord(std::unique_ptr<TSWFButtonRecord> Record);
    void CopyFrom(const TBasedSWFObject& Source) override;
    std::uint8_t MinVersion() const override { return 3; }

protected:
    explicit TSWFBasedButton(std::uint16_t ATagID) : TSWFObject(ATagID) {}
    // The records and the end byte. A record without any state is left out:
    // its flag byte would read as the end of the records.
    void WriteRecords(TBitsEngine& BE, bool ColorTransforms);
    void ReadRecords(TBitsEngine& BE, bool ColorTransforms);
};

// DefineButton: records without colour transforms and one action list run
// on release.
class TSWFDefineButton : public TSWFBasedButton {
public:
    TSWFDefineButton() : TSWFBasedButton(tagDefineButton) {}
    TSWFActionList Actions;

    void CopyFrom(const TBasedSWFObject& Source) override;
    // The largest of 3 and the MinVersion of every action.
    std::uint8_t MinVersion() const override;
    void ReadFromStream(TBitsEngine& BE) override;
    // The layout has no room for colour transforms: records are written
    // without them whatever their HasColorTransform.
    void WriteTagBody(TBitsEngine& BE) override;
};

// DefineButton2: records with colour transforms, a track-as-menu flag and
// condition actions.
class TSWFDefineButton2 : public TSWFBasedButton {
public:
    TSWFDefineButton2() : TSWFBasedButton(tagDefineButton2) {}
    bool TrackAsMenu = false;
    std::vector<std::unique_ptr<TSWFButtonCondAction>> Actions;

    TSWFButtonCondAction& CondAction(std::size_t Index) { return *Actions.at(Index); }
    // Appends a condition action and returns it.
    TSWFButtonCondAction* AddCondAction(std::unique_ptr<TSWFButtonCondAction> CondAction);

    void CopyFrom(const TBasedSWFObject& Source) override;
    // The largest of 3 and the MinVersion of every action of every
    // condition action.
    std::uint8_t MinVersion() const override;
    // Raises EReadError when the action offset or a condition-action size
    // points outside the body.
    void ReadFromStream(TBitsEngine& BE) override;
    // Every record gets HasColorTransform first. Raises std::length_error when
    // the action offset or a condition-action size exceeds 16 bits.
    void WriteTagBody(TBitsEngine& BE) override;
};

}  // namespace anivert
