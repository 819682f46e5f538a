// Action records: the bytecode of movie scripts (the operation codes up to
// version 7), the labels that resolve branch offsets and block sizes while a
// list is written, the owning action lists, reading lists back, and the
// DoAction and DoInitAction tags that carry them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "SWFBits.h"
#include "SWFTags.h"

namespace anivert {

// ---------------------------------------------------------------- code table

// The actions without fields, as (class, version base, code). Codes of 0x80
// and above still carry a (zero) length word when written.
#define ANIVERT_SWF_SIMPLE_ACTIONS(X)                        \
    X(TSWFActionNextFrame, TSWFAction, 0x04)                 \
    X(TSWFActionPreviousFrame, TSWFAction, 0x05)             \
    X(TSWFActionPlay, TSWFAction, 0x06)                      \
    X(TSWFActionStop, TSWFAction, 0x07)                      \
    X(TSWFActionToggleQuality, TSWFAction, 0x08)             \
    X(TSWFActionStopSounds, TSWFAction, 0x09)                \
    X(TSWFActionAdd, TSWFAction4, 0x0A)                      \
    X(TSWFActionSubtract, TSWFAction4, 0x0B)                 \
    X(TSWFActionMultiply, TSWFAction4, 0x0C)                 \
    X(TSWFActionDivide, TSWFAction4, 0x0D)                   \
    X(TSWFActionEquals, TSWFAction4, 0x0E)                   \
    X(TSWFActionLess, TSWFAction4, 0x0F)                     \
    X(TSWFActionAnd, TSWFAction4, 0x10)                      \
    X(TSWFActionOr, TSWFAction4, 0x11)                       \
    X(TSWFActionNot, TSWFAction4, 0x12)                      \
    X(TSWFActionStringEquals, TSWFAction4, 0x13)             \
    X(TSWFActionStringLength, TSWFAction4, 0x14)             \
    X(TSWFActionStringExtract, TSWFAction4, 0x15)            \
    X(TSWFActionPop, TSWFAction4, 0x17)                      \
    X(TSWFActionToInteger, TSWFAction4, 0x18)                \
    X(TSWFActionGetVariable, TSWFAction4, 0x1C)              \
    X(TSWFActionSetVariable, TSWFAction4, 0x1D)              \
    X(TSWFActionSetTarget2, TSWFAction4, 0x20)               \
    X(TSWFActionStringAdd, TSWFAction4, 0x21)                \
    X(TSWFActionGetProperty, TSWFAction4, 0x22)              \
    X(TSWFActionSetProperty, TSWFAction4, 0x23)              \
    X(TSWFActionCloneSprite, TSWFAction4, 0x24)              \
    X(TSWFActionRemoveSprite, TSWFAction4, 0x25)             \
    X(TSWFActionTrace, TSWFAction4, 0x26)                    \
    X(TSWFActionStartDrag, TSWFAction4, 0x27)                \
    X(TSWFActionEndDrag, TSWFAction4, 0x28)                  \
    X(TSWFActionStringLess, TSWFAction4, 0x29)               \
    X(TSWFActionRandomNumber, TSWFAction4, 0x30)             \
    X(TSWFActionMBStringLength, TSWFAction4, 0x31)           \
    X(TSWFActionCharToAscii, TSWFAction4, 0x32)              \
    X(TSWFActionAsciiToChar, TSWFAction4, 0x33)              \
    X(TSWFActionGetTime, TSWFAction4, 0x34)                  \
    X(TSWFActionMBStringExtract, TSWFAction4, 0x35)          \
    X(TSWFActionMBCharToAscii, TSWFAction4, 0x36)            \
    X(TSWFActionMBAsciiToChar, TSWFAction4, 0x37)            \
    X(TSWFActionCall, TSWFAction4, 0x9E)                     \
    X(TSWFActionDelete, TSWFAction5, 0x3A)                   \
    X(TSWFActionDelete2, TSWFAction5, 0x3B)                  \
    X(TSWFActionDefineLocal, TSWFAction5, 0x3C)              \
    X(TSWFActionCallFunction, TSWFAction5, 0x3D)             \
    X(TSWFActionReturn, TSWFAction5, 0x3E)                   \
    X(TSWFActionModulo, TSWFAction5, 0x3F)                   \
    X(TSWFActionNewObject, TSWFAction5, 0x40)                \
    X(TSWFActionDefineLocal2, TSWFAction5, 0x41)             \
    X(TSWFActionInitArray, TSWFAction5, 0x42)                \
    X(TSWFActionInitObject, TSWFAction5, 0x43)               \
    X(TSWFActionTypeOf, TSWFAction5, 0x44)                   \
    X(TSWFActionTargetPath, TSWFAction5, 0x45)               \
    X(TSWFActionEnumerate, TSWFAction5, 0x46)                \
    X(TSWFActionAdd2, TSWFAction5, 0x47)                     \
    X(TSWFActionLess2, TSWFAction5, 0x48)                    \
    X(TSWFActionEquals2, TSWFAction5, 0x49)                  \
    X(TSWFActionToNumber, TSWFAction5, 0x4A)                 \
    X(TSWFActionToString, TSWFAction5, 0x4B)                 \
    X(TSWFActionPushDuplicate, TSWFAction5, 0x4C)            \
    X(TSWFActionStackSwap, TSWFAction5, 0x4D)                \
    X(TSWFActionGetMember, TSWFAction5, 0x4E)                \
    X(TSWFActionSetMember, TSWFAction5, 0x4F)                \
    X(TSWFActionIncrement, TSWFAction5, 0x50)                \
    X(TSWFActionDecrement, TSWFAction5, 0x51)                \
    X(TSWFActionCallMethod, TSWFAction5, 0x52)               \
    X(TSWFActionNewMethod, TSWFAction5, 0x53)                \
    X(TSWFActionBitAnd, TSWFAction5, 0x60)                   \
    X(TSWFActionBitOr, TSWFAction5, 0x61)                    \
    X(TSWFActionBitXor, TSWFAction5, 0x62)                   \
    X(TSWFActionBitLShift, TSWFAction5, 0x63)                \
    X(TSWFActionBitRShift, TSWFAction5, 0x64)                \
    X(TSWFActionBitURShift, TSWFAction5, 0x65)               \
    X(TSWFActionInstanceOf, TSWFAction6, 0x54)               \
    X(TSWFActionEnumerate2, TSWFAction6, 0x55)               \
    X(TSWFActionStrictEquals, TSWFAction6, 0x66)             \
    X(TSWFActionGreater, TSWFAction6, 0x67)                  \
    X(TSWFActionStringGreater, TSWFAction6, 0x68)            \
    X(TSWFActionThrow, TSWFAction7, 0x2A)                    \
    X(TSWFActionCastOp, TSWFAction7, 0x2B)                   \
    X(TSWFActionImplementsOp, TSWFAction7, 0x2C)             \
    X(TSWFActionExtends, TSWFAction7, 0x69)

// The actions with fields or special writing, declared one by one below.
// 0xFE (raw bytecode) and 0xFF (label) are pseudo codes that never reach a
// file as such.
#define ANIVERT_SWF_BODY_ACTIONS(X)                          \
    X(TSWFActionGotoFrame, TSWFAction, 0x81)                 \
    X(TSWFActionGetUrl, TSWFAction, 0x83)                    \
    X(TSWFActionWaitForFrame, TSWFAction, 0x8A)              \
    X(TSWFActionSetTarget, TSWFAction, 0x8B)                 \
    X(TSWFActionGoToLabel, TSWFAction, 0x8C)                 \
    X(TSWFOffsetMarker, TSWFAction, 0xFF)                    \
    X(TSWFActionWaitForFrame2, TSWFAction4, 0x8D)            \
    X(TSWFActionPush, TSWFAction4, 0x96)                     \
    X(TSWFActionJump, TSWFAction4, 0x99)                     \
    X(TSWFActionGetURL2, TSWFAction4, 0x9A)                  \
    X(TSWFActionIf, TSWFAction4, 0x9D)                       \
    X(TSWFActionGotoFrame2, TSWFAction4, 0x9F)               \
    X(TSWFActionByteCode, TSWFAction4, 0xFE)                 \
    X(TSWFActionStoreRegister, TSWFAction5, 0x87)            \
    X(TSWFActionConstantPool, TSWFAction5, 0x88)             \
    X(TSWFActionWith, TSWFAction5, 0x94)                     \
    X(TSWFActionDefineFunction, TSWFAction5, 0x9B)           \
    X(TSWFActionDefineFunction2, TSWFAction7, 0x8E)          \
    X(TSWFActionTry, TSWFAction7, 0x8F)

#define ANIVERT_SWF_ALL_ACTIONS(X) ANIVERT_SWF_SIMPLE_ACTIONS(X) ANIVERT_SWF_BODY_ACTIONS(X)

// Pseudo codes.
constexpr std::uint8_t actionByteCode = 0xFE;
constexpr std::uint8_t actionOffsetMarker = 0xFF;

// The class name of an action code without its "TSWFAction" prefix ("Stop",
// "GetUrl", "OffsetMarker"), or "Unknown".
const char* ActionName(std::uint8_t Code);

// ---------------------------------------------------------------- actions

class TSWFMarkerField;

// Base of every action record.
class TSWFAction {
public:
    virtual ~TSWFAction() = default;
    TSWFAction(const TSWFAction&) = delete;
    TSWFAction& operator=(const TSWFAction&) = delete;

    std::uint8_t ActionCode;
    // The body length as last written or read.
    std::uint16_t BodySize = 0;

    // Copies the state of an action with the same code; raises EAssignError
    // for another code. Labels are not copied here (see CopyActionList).
    virtual void CopyFrom(const TSWFAction& Source);
    virtual std::uint8_t MinVersion() const { return 3; }
    // Reads the body (BodySize bytes, set by the caller); skips it here.
    virtual void ReadFromStream(TBitsEngine& BE);
    virtual void WriteActionBody(TBitsEngine&) {}
    // Writes the whole record: code, length word and body for codes of 0x80
    // and above, the code alone below. Raises std::length_error for a body of
    // 65536 bytes or more, which a record cannot frame.
    virtual void WriteToStream(TBitsEngine& BE);
    // The label fields of an action that resolves offsets; none here.
    virtual std::vector<TSWFMarkerField*> MarkerFields() { return {}; }

protected:
    explicit TSWFAction(std::uint8_t Code) : ActionCode(Code) {}
    // Where the record started in the target stream during the current write.
    std::int64_t FRecordStart = 0;
};

// The version bases: the version that introduced an action.
class TSWFAction4 : public TSWFAction {
public:
    std::uint8_t MinVersion() const override { return 4; }

protected:
    using TSWFAction::TSWFAction;
};

class TSWFAction5 : public TSWFAction {
public:
    std::uint8_t MinVersion() const override { return 5; }

protected:
    using TSWFAction::TSWFAction;
};

class TSWFAction6 : public TSWFAction {
public:
    std::uint8_t MinVersion() const override { return 6; }

protected:
    using TSWFAction::TSWFAction;
};

class TSWFAction7 : public TSWFAction {
public:
    std::uint8_t MinVersion() const override { return 7; }

protected:
    using TSWFAction::TSWFAction;
};

#define ANIVERT_DECLARE_SIMPLE_ACTION(Name, Base, ActCode) \
    class Name : public Base {                             \
    public:                                                \
        static constexpr std::uint8_t Code = ActCode;      \
        Name() : Base(Code) {}                             \
    };
ANIVERT_SWF_SIMPLE_ACTIONS(ANIVERT_DECLARE_SIMPLE_ACTION)
#undef ANIVERT_DECLARE_SIMPLE_ACTION

// ---------------------------------------------------------------- labels

// A label: a place in an action list that occupies no bytes. An action that
// refers to it (a branch, a with block, a function body, a try block) has
// its offset or size field filled in when the list is written: directly when
// the label lies behind (already written), or as a placeholder that the
// label patches when it comes up. Any number of actions may refer to one
// label. Positions are byte positions in the stream that receives the list
// and hold only during one write.
class TSWFOffsetMarker : public TSWFAction {
public:
    static constexpr std::uint8_t Code = actionOffsetMarker;
    TSWFOffsetMarker() : TSWFAction(Code) {}

    // Set when the label has been written in the current pass over its list.
    bool IsWritten = false;
    // Set for a label that lies before the actions referring to it. A label
    // that has not been written yet is treated as lying ahead in any case.
    bool JumpToBack = true;
    // False for labels made by the reader: they name places, the read
    // offsets stay as they were and the labels take no part in writing.
    bool ManualSet = true;
    std::string MarkerName;
    // Where the referring action's field lies (set by that action).
    std::int32_t StartPosition = 0;
    // Width of the referring field in bytes (2 or 4).
    std::uint8_t SizeOffset = 2;
    // For a label behind: where it was written. For a label ahead: the
    // field waiting for it (the last one when several wait).
    std::int32_t MarkerPosition = 0;

    void CopyFrom(const TSWFAction& Source) override;
    void ReadFromStream(TBitsEngine&) override {}
    // The label comes up in its list: records its position and fills in the
    // fields that wait for it.
    void WriteActionBody(TBitsEngine& BE) override;
    void WriteToStream(TBitsEngine& BE) override { WriteActionBody(BE); }

    // Called by the referring action inside its body writer, with the
    // engine of its body: writes the distance from the end of the field at
    // StartPosition to the label, or a placeholder. A distance that does not
    // fit the field raises std::length_error (here or when the label comes
    // up).
    void WriteOffset(TBitsEngine& BE);
    // The same with the distance measured from another base: the position
    // of BaseMarker (when given and written) plus BaseOffset, or BaseOffset
    // alone. A try record measures its block sizes so.
    void WriteOffset(TBitsEngine& BE, const TSWFOffsetMarker* BaseMarker, std::int64_t BaseOffset);
    // Forgets the positions of an earlier pass; done by TSWFActionList
    // before it writes its actions.
    void ResetWriteState();
    // Where the label itself was written in the current pass, or -1.
    std::int64_t LabelPosition() const { return FLabelPosition; }

private:
    struct TPending {
        std::int64_t Field;                   // where the placeholder lies
        const TSWFOffsetMarker* BaseMarker;   // base of the distance, see WriteOffset
        std::int64_t BaseOffset;
    };
    std::int64_t BaseOf(const TPending& P) const;
    void PutValue(TStream& Stream, std::int64_t Value) const;
    std::vector<TPending> FPending;
    std::int64_t FLabelPosition = -1;
};

// A label field of an action (branch target, end of a block). The label is
// either one the action made on first access and owns until it is placed
// in a list with Release, or one placed elsewhere and linked with Set.
class TSWFMarkerField {
public:
    TSWFMarkerField() = default;
    TSWFMarkerField(const TSWFMarkerField&) = delete;
    TSWFMarkerField& operator=(const TSWFMarkerField&) = delete;

    // The label; created (and owned) on first access.
    TSWFOffsetMarker& Get();
    TSWFOffsetMarker* Ptr() const { return FMarker; }
    // Links a label owned by someone else (normally the list), or none; an
    // owned label not yet placed is freed.
    void Set(TSWFOffsetMarker* Marker);
    // Hands over the label this field owns, to be placed in a list; the
    // field keeps referring to it. Null when the field owns none.
    std::unique_ptr<TSWFOffsetMarker> Release() { return std::move(FOwned); }
    bool Owns() const { return FOwned != nullptr; }

private:
    std::unique_ptr<TSWFOffsetMarker> FOwned;
    TSWFOffsetMarker* FMarker = nullptr;
};

// ---------------------------------------------------------------- action list

// An owning list of actions and labels.
class TSWFActionList {
public:
    TSWFActionList() = default;
    virtual ~TSWFActionList() = default;
    TSWFActionList(const TSWFActionList&) = delete;
    TSWFActionList& operator=(const TSWFActionList&) = delete;

    std::size_t Count() const { return FItems.size(); }
    bool Empty() const { return FItems.empty(); }
    TSWFAction& Action(std::size_t Index) { return *FItems.at(Index); }
    const TSWFAction& Action(std::size_t Index) const { return *FItems.at(Index); }
    TSWFAction& operator[](std::size_t Index) { return Action(Index); }
    const TSWFAction& operator[](std::size_t Index) const { return Action(Index); }

    template <class T>
    T* Add(std::unique_ptr<T> Item) {
        return Insert(FItems.size(), std::move(Item));
    }
    template <class T>
    T* Insert(std::size_t Index, std::unique_ptr<T> Item) {
        T* P = Item.get();
        InsertItem(Index, std::unique_ptr<TSWFAction>(std::move(Item)));
        return P;
    }
    // A new label at the end of the list.
    TSWFOffsetMarker* AddMarker(const std::string& Name = std::string());
    // Removes an item; actions of the list that refer to a removed label
    // lose that link.
    void Delete(std::size_t Index);
    void Clear() { FItems.clear(); }
    // The index of an item, or -1.
    std::ptrdiff_t IndexOf(const TSWFAction* Item) const;

    // The largest MinVersion of the actions; 0 for an empty list.
    std::uint8_t MinVersion() const;
    // Writes every action (no end byte), after resetting its labels.
    void WriteToStream(TBitsEngine& BE);

    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }

private:
    friend void ReadActionList(TBitsEngine& BE, TSWFActionList& List, std::int64_t Size, bool Parse);
    void InsertItem(std::size_t Index, std::unique_ptr<TSWFAction> Item);
    std::vector<std::unique_ptr<TSWFAction>> FItems;
};

// ---------------------------------------------------------------- push values

// The value of a push: a small variant.
class TSWFVariant {
public:
    enum class TKind : std::uint8_t { Empty, Null, Boolean, Integer, Single, Double, String };

    TSWFVariant() = default;
    TSWFVariant(bool V) : FValue(V) {}
    TSWFVariant(std::int32_t V) : FValue(V) {}
    TSWFVariant(std::uint32_t V) : FValue(static_cast<std::int32_t>(V)) {}
    TSWFVariant(float V) : FValue(V) {}
    TSWFVariant(double V) : FValue(V) {}
    TSWFVariant(const char* V) : FValue(std::string(V)) {}
    TSWFVariant(std::string V) : FValue(std::move(V)) {}
    static TSWFVariant Null();

    TKind Kind() const { return static_cast<TKind>(FValue.index()); }
    bool AsBoolean() const;
    std::int32_t AsInteger() const;
    float AsSingle() const;
    double AsDouble() const;
    std::string AsString() const;

    friend bool operator==(const TSWFVariant&, const TSWFVariant&) = default;

private:
    struct TNullValue {
        friend bool operator==(TNullValue, TNullValue) = default;
    };
    std::variant<std::monostate, TNullValue, bool, std::int32_t, float, double, std::string> FValue;
};

// Push value type codes.
enum : std::uint8_t {
    pvString = 0,
    pvFloat = 1,
    pvNull = 2,
    pvUndefined = 3,
    pvRegister = 4,
    pvBoolean = 5,
    pvDouble = 6,
    pvInteger = 7,
    pvConstant8 = 8,
    pvConstant16 = 9,
};

class TPushValueInfo {
public:
    TSWFVariant Value;
    std::uint8_t ValueType = pvUndefined;
    // The value has a type and is written.
    bool IsValid = false;
};

// ---------------------------------------------------------------- actions with a body

class TSWFActionGotoFrame : public TSWFAction {
public:
    static constexpr std::uint8_t Code = 0x81;
    TSWFActionGotoFrame() : TSWFAction(Code) {}
    std::uint16_t Frame = 0;
    void CopyFrom(const TSWFAction& Source) override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteActionBody(TBitsEngine& BE) override;
};

class TSWFActionGetUrl : public TSWFAction {
public:
    static constexpr std::uint8_t Code = 0x83;
    TSWFActionGetUrl() : TSWFAction(Code) {}
    TSWFActionGetUrl(std::string AURL, std::string ATarget)
        : TSWFAction(Code), Target(std::move(ATarget)), URL(std::move(AURL)) {}
    std::string Target;
    // Written in UTF-8; the target as it is.
    std::string URL;
    void CopyFrom(const TSWFAction& Source) override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteActionBody(TBitsEngine& BE) override;
};

class TSWFActionWaitForFrame : public TSWFAction {
public:
    static constexpr std::uint8_t Code = 0x8A;
    TSWFActionWaitForFrame() : TSWFAction(Code) {}
    std::uint16_t Frame = 0;
    std::uint8_t SkipCount = 0;
    void CopyFrom(const TSWFAction& Source) override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteActionBody(TBitsEngine& BE) override;
};

class TSWFActionSetTarget : public TSWFAction {
public:
    static constexpr std::uint8_t Code = 0x8B;
    TSWFActionSetTarget() : TSWFAction(Code) {}
    std::string TargetName;
    void CopyFrom(const TSWFAction& Source) override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteActionBody(TBitsEngine& BE) override;
};

class TSWFActionGoToLabel : public TSWFAction {
public:
    static constexpr std::uint8_t Code = 0x8C;
    TSWFActionGoToLabel() : TSWFAction(Code) {}
    std::string Label;
    void CopyFrom(const TSWFAction& Source) override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteActionBody(TBitsEngine& BE) override;
};

// Waits for the frame taken from the stack; the record carries the number
// of actions to skip while the frame is not loaded.
class TSWFActionWaitForFrame2 : public TSWFAction4 {
public:
    static constexpr std::uint8_t Code = 0x8D;
    TSWFActionWaitForFrame2() : TSWFAction4(Code) {}
    std::uint8_t SkipCount = 0;
    void CopyFrom(const TSWFAction& Source) override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteActionBody(TBitsEngine& BE) override;
};

class TSWFActionPush : public TSWFAction4 {
public:
    static constexpr std::uint8_t Code = 0x96;
    TSWFActionPush() : TSWFAction4(Code) {}

    // Appends a value with the type of its kind: empty 3 (undefined), null
    // 2, integer 7, single 1, double 6, boolean 5, string 0 (the strings
    // "FlashVar_undefined" and "FlashVar_null" give 3 and 2).
    TPushValueInfo& AddValue(const TSWFVariant& Value);
    // Appends a value with the given type (registers 4, constant indexes 8
    // and 9); types above 9 are invalid and not written.
    TPushValueInfo& AddValue(const TSWFVariant& Value, std::uint8_t ValueType);
    TPushValueInfo& ValueInfo(std::size_t Index) { return FValues.at(Index); }
    const TPushValueInfo& ValueInfo(std::size_t Index) const { return FValues.at(Index); }
    std::size_t ValueCount() const { return FValues.size(); }

    void CopyFrom(const TSWFAction& Source) override;
    // 4, or 5 as soon as a value has a type above 1.
    std::uint8_t MinVersion() const override;
    // Raises EReadError for an unknown type code or a truncated value.
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteActionBody(TBitsEngine& BE) override;

private:
    std::vector<TPushValueInfo> FValues;
};

// A branch: BranchOffset counts from the end of the record. With
// StaticOffset the number is written; otherwise the label of
// BranchOffsetMarker resolves it when one is attached.
class TSWFActionJump : public TSWFAction4 {
public:
    static constexpr std::uint8_t Code = 0x99;
    TSWFActionJump() : TSWFAction4(Code) {}

    std::int16_t BranchOffset() const { return FBranchOffset; }
    // Also sets StaticOffset.
    void SetBranchOffset(std::int16_t Value);
    TSWFMarkerField BranchOffsetMarker;
    bool StaticOffset = false;

    void CopyFrom(const TSWFAction& Source) override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteActionBody(TBitsEngine& BE) override;
    void WriteToStream(TBitsEngine& BE) override;
    std::vector<TSWFMarkerField*> MarkerFields() override { return {&BranchOffsetMarker}; }

protected:
    explicit TSWFActionJump(std::uint8_t ACode) : TSWFAction4(ACode) {}

private:
    std::int16_t FBranchOffset = 0;
};

class TSWFActionIf : public TSWFActionJump {
public:
    static constexpr std::uint8_t Code = 0x9D;
    TSWFActionIf() : TSWFActionJump(Code) {}
};

class TSWFActionGetURL2 : public TSWFAction4 {
public:
    static constexpr std::uint8_t Code = 0x9A;
    TSWFActionGetURL2() : TSWFAction4(Code) {}
    bool LoadTargetFlag = false;
    bool LoadVariablesFlag = false;
    // 0 none, 1 GET, 2 POST.
    std::uint8_t SendVarsMethod = 0;
    void CopyFrom(const TSWFAction& Source) override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteActionBody(TBitsEngine& BE) override;
};

class TSWFActionGotoFrame2 : public TSWFAction4 {
public:
    static constexpr std::uint8_t Code = 0x9F;
    TSWFActionGotoFrame2() : TSWFAction4(Code) {}
    bool PlayFlag = false;
    std::uint16_t SceneBias = 0;
    bool SceneBiasFlag = false;
    void CopyFrom(const TSWFAction& Source) override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteActionBody(TBitsEngine& BE) override;
};

// Raw action bytes, written as they are (no code, no length): a list kept
// unparsed, or a record whose code this library has no class for.
class TSWFActionByteCode : public TSWFAction4 {
public:
    static constexpr std::uint8_t Code = actionByteCode;
    TSWFActionByteCode() : TSWFAction4(Code) {}
    std::vector<std::uint8_t> Data;
    std::int32_t DataSize() const { return static_cast<std::int32_t>(Data.size()); }
    void SetData(const void* Buffer, std::size_t Size);
    void CopyFrom(const TSWFAction& Source) override;
    // Takes the BodySize bytes of the stream as the data.
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteActionBody(TBitsEngine& BE) override;
};

class TSWFActionStoreRegister : public TSWFAction5 {
public:
    static constexpr std::uint8_t Code = 0x87;
    TSWFActionStoreRegister() : TSWFAction5(Code) {}
    std::uint8_t RegisterNumber = 0;
    void CopyFrom(const TSWFAction& Source) override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteActionBody(TBitsEngine& BE) override;
};

class TSWFActionConstantPool : public TSWFAction5 {
public:
    static constexpr std::uint8_t Code = 0x88;
    TSWFActionConstantPool() : TSWFAction5(Code) {}
    std::vector<std::string> ConstantPool;
    void CopyFrom(const TSWFAction& Source) override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteActionBody(TBitsEngine& BE) override;
};

// A with block: Size is the byte length of the block that follows the
// record; SizeMarker, a label at the end of the block, gives it instead.
class TSWFActionWith : public TSWFAction5 {
public:
    static constexpr std::uint8_t Code = 0x94;
    TSWFActionWith() : TSWFAction5(Code) {}

    std::uint16_t Size() const { return FSize; }
    // Also sets StaticOffset.
    void SetSize(std::uint16_t Value);
    TSWFMarkerField SizeMarker;
    bool StaticOffset = false;

    void CopyFrom(const TSWFAction& Source) override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteActionBody(TBitsEngine& BE) override;
    void WriteToStream(TBitsEngine& BE) override;
    std::vector<TSWFMarkerField*> MarkerFields() override { return {&SizeMarker}; }

private:
    std::uint16_t FSize = 0;
};

// A function: CodeSize is the byte length of its body, the actions that
// follow the record; CodeSizeMarker, a label after the last of them, gives
// it instead.
class TSWFActionDefineFunction : public TSWFAction5 {
public:
    static constexpr std::uint8_t Code = 0x9B;
    TSWFActionDefineFunction() : TSWFAction5(Code) {}

    std::uint16_t CodeSize() const { return FCodeSize; }
    // Also sets StaticOffset.
    void SetCodeSize(std::uint16_t Value);
    TSWFMarkerField CodeSizeMarker;
    std::string FunctionName;
    std::vector<std::string> Params;
    bool StaticOffset = false;

    void CopyFrom(const TSWFAction& Source) override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteActionBody(TBitsEngine& BE) override;
    void WriteToStream(TBitsEngine& BE) override;
    std::vector<TSWFMarkerField*> MarkerFields() override { return {&CodeSizeMarker}; }

private:
    std::uint16_t FCodeSize = 0;
};

// A parameter of DefineFunction2: the register that receives it (0: none)
// and its name.
struct TSWFRegisterParam {
    std::uint8_t Register = 0;
    std::string Name;
    friend bool operator==(const TSWFRegisterParam&, const TSWFRegisterParam&) = default;
};

class TSWFActionDefineFunction2 : public TSWFAction7 {
public:
    static constexpr std::uint8_t Code = 0x8E;
    TSWFActionDefineFunction2() : TSWFAction7(Code) {}

    std::uint16_t CodeSize() const { return FCodeSize; }
    // Also sets StaticOffset.
    void SetCodeSize(std::uint16_t Value);
    TSWFMarkerField CodeSizeMarker;
    std::string FunctionName;
    std::vector<TSWFRegisterParam> Parameters;
    bool PreloadArgumentsFlag = false;
    bool PreloadGlobalFlag = false;
    bool PreloadParentFlag = false;
    bool PreloadRootFlag = false;
    bool PreloadSuperFlag = false;
    bool PreloadThisFlag = false;
    std::uint8_t RegisterCount = 0;
    bool StaticOffset = false;
    bool SuppressArgumentsFlag = false;
    bool SuppressSuperFlag = false;
    bool SuppressThisFlag = false;

    void AddParam(const std::string& Name, std::uint8_t Register) { Parameters.push_back({Register, Name}); }
    void CopyFrom(const TSWFAction& Source) override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteActionBody(TBitsEngine& BE) override;
    void WriteToStream(TBitsEngine& BE) override;
    std::vector<TSWFMarkerField*> MarkerFields() override { return {&CodeSizeMarker}; }

private:
    std::uint16_t FCodeSize = 0;
};

// A try record. The three sizes are the byte lengths of the try block (the
// actions after the record), the catch block (after the try block) and the
// finally block (after the catch block, or after the try block without a
// catch block). Labels at the end of each block give them instead of
// numbers: TrySizeMarker after the last action of the try block,
// CatchSizeMarker after the catch block, FinallySizeMarker after the
// finally block.
class TSWFActionTry : public TSWFAction7 {
public:
    static constexpr std::uint8_t Code = 0x8F;
    TSWFActionTry() : TSWFAction7(Code) {}

    bool CatchBlockFlag = false;
    bool CatchInRegisterFlag = false;
    std::string CatchName;
    std::uint8_t CatchRegister = 0;
    TSWFMarkerField CatchSizeMarker;
    bool FinallyBlockFlag = false;
    TSWFMarkerField FinallySizeMarker;
    bool StaticOffset = false;
    TSWFMarkerField TrySizeMarker;

    std::uint16_t TrySize() const { return FTrySize; }
    std::uint16_t CatchSize() const { return FCatchSize; }
    std::uint16_t FinallySize() const { return FFinallySize; }
    // Each also sets StaticOffset.
    void SetTrySize(std::uint16_t Value);
    void SetCatchSize(std::uint16_t Value);
    void SetFinallySize(std::uint16_t Value);

    void CopyFrom(const TSWFAction& Source) override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteActionBody(TBitsEngine& BE) override;
    void WriteToStream(TBitsEngine& BE) override;
    std::vector<TSWFMarkerField*> MarkerFields() override {
        return {&TrySizeMarker, &CatchSizeMarker, &FinallySizeMarker};
    }

private:
    std::uint16_t FTrySize = 0;
    std::uint16_t FCatchSize = 0;
    std::uint16_t FFinallySize = 0;
};

// ---------------------------------------------------------------- list operations

// A new action of the class of Code: a raw bytecode action for 0xFE, a
// label for 0xFF, null for any other code without a class (0 included).
std::unique_ptr<TSWFAction> CreateActionByCode(std::uint8_t Code);

// The bytes an action takes in a list: 1 below 0x80, BodySize + 3 from
// 0x80 on, 0 for a label and the data length for raw bytecode.
std::int64_t GetFullSize(const TSWFAction& Action);

// Reads action records from BE into List: up to an end byte (0, consumed)
// or until Size bytes have been consumed. Parsed (Parse true), every record
// becomes an object (records of codes without a class are kept as raw
// bytecode), then labels are placed at the targets of branches, with
// blocks, function bodies and try blocks (named "label 1", "label 2", ...;
// a target off an action boundary gets no label in the list, only an
// unplaced one named "Error Size offset: N"). Unparsed, the bytes up to the
// end byte become one raw bytecode action. Raises EReadError with the place
// of the fault when a record or body is truncated or malformed; what was
// read before stays in the list.
void ReadActionList(TBitsEngine& BE, TSWFActionList& List, std::int64_t Size, bool Parse = true);

// Appends a copy of every item of Source to Dest and links each copied
// action to the copy of its label. A label that is not in Source is copied
// as a label of the copied action's own.
void CopyActionList(const TSWFActionList& Source, TSWFActionList& Dest);

// ---------------------------------------------------------------- tags

// DoAction: a list of actions run when the frame is shown.
class TSWFDoAction : public TSWFObject {
public:
    // With a list of its own.
    TSWFDoAction();
    // Over a caller's list, which it never frees.
    explicit TSWFDoAction(TSWFActionList& List);
    ~TSWFDoAction() override;

    TSWFActionList& Actions() { return *FActions; }
    const TSWFActionList& Actions() const { return *FActions; }
    // Reading only: parse the actions into objects, or keep them as one raw
    // bytecode action.
    bool ParseActions = true;
    // The tag owns its list.
    bool SelfDestroy() const { return FOwnedActions != nullptr; }

    void CopyFrom(const TBasedSWFObject& Source) override;
    // The largest of 3 and the MinVersion of every action.
    std::uint8_t MinVersion() const override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteTagBody(TBitsEngine& BE) override;

protected:
    TSWFDoAction(std::uint16_t ATagID, TSWFActionList* List);
    void ReadActions(TBitsEngine& BE, std::int64_t Size);

private:
    std::unique_ptr<TSWFActionList> FOwnedActions;
    TSWFActionList* FActions;
};

// DoInitAction: actions run once before the first frame of a sprite.
class TSWFDoInitAction : public TSWFDoAction {
public:
    TSWFDoInitAction();
    explicit TSWFDoInitAction(TSWFActionList& List);
    std::uint16_t SpriteID = 0;

    void CopyFrom(const TBasedSWFObject& Source) override;
    // The largest of 6 and the MinVersion of every action.
    std::uint8_t MinVersion() const override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteTagBody(TBitsEngine& BE) override;
};

}  // namespace anivert
