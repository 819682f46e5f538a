// Clip actions: the event-driven action lists a PlaceObject2 carries for a
// placed sprite, and their two layouts (16-bit event flags before version 6,
// 32-bit from version 6 on).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "SWFActions.h"
#include "SWFBits.h"

namespace anivert {

// A set of clip events: bit n is 1 << n. The bit numbers are also the order
// in which the events are written.
using TSWFClipEvents = std::uint32_t;

inline constexpr TSWFClipEvents ceKeyUp = 1u << 0;
inline constexpr TSWFClipEvents ceKeyDown = 1u << 1;
inline constexpr TSWFClipEvents ceMouseUp = 1u << 2;
inline constexpr TSWFClipEvents ceMouseDown = 1u << 3;
inline constexpr TSWFClipEvents ceMouseMove = 1u << 4;
inline constexpr TSWFClipEvents ceUnload = 1u << 5;
inline constexpr TSWFClipEvents ceEnterFrame = 1u << 6;
inline constexpr TSWFClipEvents ceLoad = 1u << 7;
inline constexpr TSWFClipEvents ceDragOver = 1u << 8;
inline constexpr TSWFClipEvents ceRollOut = 1u << 9;
inline constexpr TSWFClipEvents ceRollOver = 1u << 10;
inline constexpr TSWFClipEvents ceReleaseOutside = 1u << 11;
inline constexpr TSWFClipEvents ceRelease = 1u << 12;
inline constexpr TSWFClipEvents cePress = 1u << 13;
inline constexpr TSWFClipEvents ceInitialize = 1u << 14;
inline constexpr TSWFClipEvents ceData = 1u << 15;
inline constexpr TSWFClipEvents ceConstruct = 1u << 16;
inline constexpr TSWFClipEvents ceKeyPress = 1u << 17;
inline constexpr TSWFClipEvents ceDragOut = 1u << 18;

// Every event of the set.
inline constexpr TSWFClipEvents ceAllEvents = (1u << 19) - 1;
// The events only the 32-bit layout (version 6 and later) can express.
inline constexpr TSWFClipEvents ceVersion6Events = ceConstruct | ceKeyPress | ceDragOut;

// Writes a set of events as event flags: 16 bits, or 32 bits when Wide.
void WriteClipEvents(TBitsEngine& BE, TSWFClipEvents Events, bool Wide);
TSWFClipEvents ReadClipEvents(TBitsEngine& BE, bool Wide);

// The actions run on a set of events (and, with the key-press event, on
// one key).
class TSWFClipActionRecord : public TSWFActionList {
public:
    explicit TSWFClipActionRecord(TSWFClipEvents AEventFlags = 0) : EventFlags(AEventFlags & ceAllEvents) {}

    TSWFClipEvents EventFlags = 0;
    std::uint8_t KeyCode() const { return FKeyCode; }
    // Stores the key and sets the key-press event for a key, clears it for 0.
    void SetKeyCode(std::uint8_t Value);

    // Events, key code and a copy of the actions (replacing its own).
    void CopyFrom(const TSWFClipActionRecord& Source);
    // Whether the list already ends with the end-of-actions byte: a raw
    // bytecode action whose records run up to a zero code.
    bool EndsWithEndByte() const;

private:
    friend class TSWFClipActions;  // the reader stores a key code as read
    std::uint8_t FKeyCode = 0;
};

// The clip-action block of a PlaceObject2.
class TSWFClipActions {
public:
    TSWFClipActions() = default;
    TSWFClipActions(const TSWFClipActions&) = delete;
    TSWFClipActions& operator=(const TSWFClipActions&) = delete;

    std::vector<std::unique_ptr<TSWFClipActionRecord>> ActionRecords;
    // The union of the events of every record.
    TSWFClipEvents AllEventFlags = 0;

    // A new record for EventFlags; a non-zero KeyCode adds the key-press
    // event. Its events are merged into AllEventFlags.
    TSWFClipActionRecord* AddActionRecord(TSWFClipEvents EventFlags, std::uint8_t KeyCode = 0);
    TSWFClipActionRecord& ActionRecord(std::size_t Index) { return *ActionRecords.at(Index); }
    std::size_t RecordCount() const { return ActionRecords.size(); }

    void CopyFrom(const TSWFClipActions& Source);
    // Whether an event of the set needs the 32-bit layout.
    bool UsesVersion6Events() const;
    // The records the layout writes: those with an event it can express.
    std::size_t WrittenRecordCount(bool Wide) const;
    // The block: reserved word, all events, each record, the end marker.
    // Records without any event are left out: their zero flags would read
    // as the end of the list. Raises std::length_error for a record longer
    // than its 32-bit size can say.
    void WriteToStream(TBitsEngine& BE, std::uint8_t SWFVersion);
    // Reads a block of at most Size bytes. Raises EReadError when a record
    // runs past that or the block has no end marker.
    void ReadFromStream(TBitsEngine& BE, std::uint8_t SWFVersion, std::int64_t Size, bool ParseActions);
};

}  // namespace anivert
