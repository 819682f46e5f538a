// Sound and video tags: event sounds (DefineSound, StartSound with its sound
// info), the sounds of a button's transitions (DefineButtonSound), the
// format of a streamed sound (SoundStreamHead, SoundStreamHead2) and the
// frames of a video stream (VideoFrame). Like the bitmap tags they frame
// data their owner prepares: encoded samples or video frame bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "SWFBitmaps.h"
#include "SWFTags.h"

namespace anivert {

// Sound format codes.
enum : std::uint8_t {
    sfUncompressed = 0,  // native byte order
    sfADPCM = 1,
    sfMP3 = 2,
    sfUncompressedLE = 3,
    sfNellymoser = 6,
};

// Sound rate codes: 5.5, 11, 22 and 44 kHz.
enum : std::uint8_t {
    srRate5k = 0,
    srRate11k = 1,
    srRate22k = 2,
    srRate44k = 3,
};

// DefineSound: an event sound character.
class TSWFDefineSound : public TSWFDataObject {
public:
    TSWFDefineSound() : TSWFDataObject(tagDefineSound) {}

    // Samples to skip at the start (MP3 data only).
    std::int16_t SeekSamples = 0;
    std::uint8_t SoundFormat = sfUncompressed;
    std::uint16_t SoundId = 0;
    std::uint8_t SoundRate = srRate5k;
    std::uint32_t SoundSampleCount = 0;
    // 16-bit samples.
    bool SoundSize = false;
    // Stereo.
    bool SoundType = false;

    void CopyFrom(const TBasedSWFObject& Source) override;
    // 4 for MP3 and little-endian uncompressed data, 6 for Nellymoser, else 1.
    std::uint8_t MinVersion() const override;
    // Everything after the fixed fields is the sound data.
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteTagBody(TBitsEngine& BE) override;
};

// A point of a sound's volume envelope: the levels (0 to 32768) of both
// channels at a sample position counted at 44 kHz.
class TSWFSoundEnvelope {
public:
    std::uint16_t LeftLevel = 0;
    std::uint32_t Pos44 = 0;
    std::uint16_t RightLevel = 0;
};

// StartSound: starts or stops an event sound. Its body (sound id and sound
// info) also describes each sound of a DefineButtonSound.
class TSWFStartSound : public TSWFObject {
public:
    TSWFStartSound() : TSWFObject(tagStartSound) {}

    // Written only while SoundEnvelopes holds points; cleared on writing
    // when it holds none.
    bool HasEnvelope = false;
    bool HasInPoint = false;
    bool HasLoops = false;
    bool HasOutPoint = false;
    std::uint32_t InPoint = 0;
    std::uint16_t LoopCount = 0;
    std::uint32_t OutPoint = 0;
    std::vector<std::unique_ptr<TSWFSoundEnvelope>> SoundEnvelopes;
    std::uint16_t SoundId = 0;
    // Do not start the sound when it is already playing.
    bool SyncNoMultiple = false;
    bool SyncStop = false;

    // Store the value; the flag tells whether it is non-zero.
    void SetInPoint(std::uint32_t Value);
    void SetOutPoint(std::uint32_t Value);
    void SetLoopCount(std::uint16_t Value);
    // Appends an envelope point and returns it (HasEnvelope is set apart).
    TSWFSoundEnvelope* AddEnvelope(std::uint32_t Pos44, std::uint16_t LeftLevel, std::uint16_t RightLevel);

    void CopyFrom(const TBasedSWFObject& Source) override;
    void ReadFromStream(TBitsEngine& BE) override;
    // Raises std::length_error for more than 255 envelope points, which the
    // one-byte count cannot say.
    void WriteTagBody(TBitsEngine& BE) override;
};

// SoundStreamHead: the format of the sound streamed with the frames.
class TSWFSoundStreamHead : public TSWFObject {
public:
    TSWFSoundStreamHead() : TSWFObject(tagSoundStreamHead) {}

    std::int16_t LatencySeek = 0;
    std::uint8_t PlaybackSoundRate = srRate5k;
    bool PlaybackSoundSize = false;
    bool PlaybackSoundType = false;
    std::uint8_t StreamSoundCompression = sfUncompressed;
    std::uint8_t StreamSoundRate = srRate5k;
    // Samples per frame.
    std::uint16_t StreamSoundSampleCount = 0;
    bool StreamSoundSize = false;
    bool StreamSoundType = false;

    void CopyFrom(const TBasedSWFObject& Source) override;
    // 4 for MP3, else 1.
    std::uint8_t MinVersion() const override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteTagBody(TBitsEngine& BE) override;

protected:
    using TSWFObject::TSWFObject;
};

class TSWFSoundStreamHead2 : public TSWFSoundStreamHead {
public:
    TSWFSoundStreamHead2() : TSWFSoundStreamHead(tagSoundStreamHead2) {}
    // 4 for MP3, 6 for Nellymoser, else 3.
    std::uint8_t MinVersion() const override;
};

// VideoFrame: the bytes of one frame of a video stream.
class TSWFVideoFrame : public TSWFDataObject {
public:
    TSWFVideoFrame() : TSWFDataObject(tagVideoFrame) {}
    std::uint16_t FrameNum = 0;
    std::uint16_t StreamID = 0;

    void CopyFrom(const TBasedSWFObject& Source) override;
    std::uint8_t MinVersion() const override { return 6; }
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteTagBody(TBitsEngine& BE) override;
};

// DefineButtonSound: the sounds of four transitions of a button.
class TSWFDefineButtonSound : public TSWFObject {
public:
    TSWFDefineButtonSound() : TSWFObject(tagDefineButtonSound) {}

    std::uint16_t ButtonId = 0;
    // Set by the accessors below when they create their sound.
    bool HasIdleToOverUp = false;
    bool HasOverDownToOverUp = false;
    bool HasOverUpToIdle = false;
    bool HasOverUpToOverDown = false;

    // The sound of a transition, created on first access (which sets its
    // flag). Only its SoundId and sound info are written.
    TSWFStartSound& SoundIdleToOverUp();
    TSWFStartSound& SoundOverDownToOverUp();
    TSWFStartSound& SoundOverUpToIdle();
    TSWFStartSound& SoundOverUpToOverDown();
    const TSWFStartSound* SoundIdleToOverUpOrNull() const { return FIdleToOverUp.get(); }
    const TSWFStartSound* SoundOverDownToOverUpOrNull() const { return FOverDownToOverUp.get(); }
    const TSWFStartSound* SoundOverUpToIdleOrNull() const { return FOverUpToIdle.get(); }
    const TSWFStartSound* SoundOverUpToOverDownOrNull() const { return FOverUpToOverDown.get(); }
    // Whether any of the four flags is set.
    bool HasSounds() const { return HasIdleToOverUp || HasOverDownToOverUp || HasOverUpToIdle || HasOverUpToOverDown; }

    // Copies ButtonId and each sound the source has, with its flag.
    void CopyFrom(const TBasedSWFObject& Source) override;
    std::uint8_t MinVersion() const override { return 2; }
    void ReadFromStream(TBitsEngine& BE) override;
    // For each transition (over-up to idle, idle to over-up, over-up to
    // over-down, over-down to over-up): the sound's id and info when it
    // exists and names a sound, else a zero word.
    void WriteTagBody(TBitsEngine& BE) override;

private:
    struct TSlot {
        std::unique_ptr<TSWFStartSound> TSWFDefineButtonSound::*Sound;
        bool TSWFDefineButtonSound::*Flag;
    };
    // The transitions in the order of the body.
    static const TSlot Slots[4];
    TSWFStartSound& Access(const TSlot& Slot);

    std::unique_ptr<TSWFStartSound> FIdleToOverUp;
    std::unique_ptr<TSWFStartSound> FOverDownToOverUp;
    std::unique_ptr<TSWFStartSound> FOverUpToIdle;
    std::unique_ptr<TSWFStartSound> FOverUpToOverDown;
};

}  // namespace anivert
