#include <gtest/gtest.h>

#include <stdexcept>

#include "SWFStreams.h"
#include "SWFTestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace {

// Reads a body into a new object of the tag's class, as the file reader does.
template <class T>
std::unique_ptr<T> ReadBody(std::uint16_t TagID, const Bytes& Data) {
    auto Obj = GenerateSWFObject(TagID);
    auto* Typed = dynamic_cast<T*>(Obj.get());
    EXPECT_NE(Typed, nullptr);
    Obj.release();
    std::unique_ptr<T> Tag(Typed);
    Tag->BodySize = static_cast<std::uint32_t>(Data.size());
    TMemoryStream M(Data);
    TBitsEngine BE(M);
    Tag->ReadFromStream(BE);
    EXPECT_EQ(M.Position(), M.Size());
    return Tag;
}

// Every cut of a body short of its fixed fields fails with EReadError.
void ExpectTruncationsFail(std::uint16_t TagID, const Bytes& Data, std::size_t Fixed) {
    for (std::size_t Len = 0; Len < Fixed; ++Len) {
        auto Tag = GenerateSWFObject(TagID);
        const Bytes Cut(Data.begin(), Data.begin() + static_cast<std::ptrdiff_t>(Len));
        Tag->BodySize = static_cast<std::uint32_t>(Cut.size());
        TMemoryStream M(Cut);
        TBitsEngine BE(M);
        EXPECT_THROW(Tag->ReadFromStream(BE), EReadError) << TagName(TagID) << " cut to " << Len;
    }
}

std::unique_ptr<TSWFStartSound> FullStartSound() {
    auto S = std::make_unique<TSWFStartSound>();
    S->SoundId = 0x1234;
    S->SyncNoMultiple = true;
    S->SetInPoint(44100);
    S->SetOutPoint(0x01020304);
    S->SetLoopCount(3);
    S->HasEnvelope = true;
    S->AddEnvelope(0, 32768, 0);
    S->AddEnvelope(88200, 0, 32768);
    return S;
}

}  // namespace

TEST(SoundTags, StartSoundBytes) {
    TSWFStartSound S;
    S.SoundId = 1;
    EXPECT_EQ(WriteTag(S), B({0xC3, 0x03, 0x01, 0x00, 0x00}));
    EXPECT_EQ(S.MinVersion(), 1);
    S.SyncStop = true;
    EXPECT_EQ(Body(S), B({0x01, 0x00, 0x20}));
    // The envelope flag without points writes neither flag nor count, and
    // stays cleared.
    S.SyncStop = false;
    S.HasEnvelope = true;
    EXPECT_EQ(Body(S), B({0x01, 0x00, 0x00}));
    EXPECT_FALSE(S.HasEnvelope);

    auto F = FullStartSound();
    EXPECT_EQ(Body(*F), B({0x34, 0x12, 0x1F,              // no multiple, envelope, loops, out, in
                           0x44, 0xAC, 0x00, 0x00,        // in point 44100
                           0x04, 0x03, 0x02, 0x01,        // out point
                           0x03, 0x00,                    // loops
                           0x02,                          // two points
                           0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00,
                           0x88, 0x58, 0x01, 0x00, 0x00, 0x00, 0x00, 0x80}));

    // The setters: a zero value clears the flag.
    F->SetInPoint(0);
    F->SetLoopCount(0);
    F->SetOutPoint(7);
    EXPECT_FALSE(F->HasInPoint || F->HasLoops);
    EXPECT_TRUE(F->HasOutPoint);
}

TEST(SoundTags, StartSoundRoundTripCopyAndLimits) {
    auto F = FullStartSound();
    const Bytes Out = Body(*F);
    auto Back = ReadBody<TSWFStartSound>(tagStartSound, Out);
    EXPECT_EQ(Back->SoundId, 0x1234);
    EXPECT_TRUE(Back->SyncNoMultiple);
    EXPECT_FALSE(Back->SyncStop);
    EXPECT_EQ(Back->InPoint, 44100u);
    EXPECT_EQ(Back->OutPoint, 0x01020304u);
    EXPECT_EQ(Back->LoopCount, 3);
    ASSERT_EQ(Back->SoundEnvelopes.size(), 2u);
    EXPECT_EQ(Back->SoundEnvelopes[1]->Pos44, 88200u);
    EXPECT_EQ(Back->SoundEnvelopes[1]->RightLevel, 32768);
    EXPECT_EQ(Body(*Back), Out);

    TSWFStartSound Copy;
    Copy.AddEnvelope(1, 2, 3);
    Copy.CopyFrom(*F);
    F->SoundEnvelopes.clear();
    F->SoundId = 9;
    EXPECT_EQ(Body(Copy), Out);
    EXPECT_THROW(Copy.CopyFrom(TSWFShowFrame()), EAssignError);

    // The count is one byte: 255 points fit, 256 are refused rather than
    // written with a count that reads back as 0.
    TSWFStartSound Many;
    Many.HasEnvelope = true;
    for (int I = 0; I < 255; ++I) Many.AddEnvelope(static_cast<std::uint32_t>(I), 1, 1);
    EXPECT_EQ(ReadBody<TSWFStartSound>(tagStartSound, Body(Many))->SoundEnvelopes.size(), 255u);
    Many.AddEnvelope(255, 1, 1);
    EXPECT_THROW(Body(Many), std::length_error);

    ExpectTruncationsFail(tagStartSound, Out, Out.size());
}

TEST(SoundTags, DefineSound) {
    const Bytes Samples = B({1, 2, 3, 4, 5, 6});
    TSWFDefineSound D;
    D.SoundId = 3;
    D.SoundFormat = sfUncompressedLE;
    D.SoundRate = srRate22k;
    D.SoundSize = true;
    D.SoundSampleCount = 3;
    D.SeekSamples = 99;  // only MP3 data carries it
    D.SetData(Samples.data(), static_cast<std::int32_t>(Samples.size()));
    EXPECT_EQ(WriteTag(D), Cat({B({0x8D, 0x03, 0x03, 0x00, 0x3A, 0x03, 0x00, 0x00, 0x00}), Samples}));
    EXPECT_EQ(D.MinVersion(), 4);

    D.SoundFormat = sfMP3;
    D.SoundRate = srRate44k;
    D.SoundType = true;
    D.SeekSamples = -2;
    EXPECT_EQ(Body(D), Cat({B({0x03, 0x00, 0x2F, 0x03, 0x00, 0x00, 0x00, 0xFE, 0xFF}), Samples}));
    EXPECT_EQ(D.MinVersion(), 4);
    for (const auto& [Format, Version] : std::vector<std::pair<std::uint8_t, int>>{
             {sfUncompressed, 1}, {sfADPCM, 1}, {sfMP3, 4}, {sfUncompressedLE, 4}, {sfNellymoser, 6}}) {
        D.SoundFormat = Format;
        EXPECT_EQ(D.MinVersion(), Version) << static_cast<int>(Format);
    }

    for (std::uint8_t Format : {sfMP3, sfADPCM}) {
        D.SoundFormat = Format;
        const Bytes Out = Body(D);
        auto Back = ReadBody<TSWFDefineSound>(tagDefineSound, Out);
        EXPECT_EQ(Back->SoundId, 3);
        EXPECT_EQ(Back->SoundFormat, Format);
        EXPECT_EQ(Back->SoundRate, srRate44k);
        EXPECT_TRUE(Back->SoundSize && Back->SoundType);
        EXPECT_EQ(Back->SoundSampleCount, 3u);
        EXPECT_EQ(Back->SeekSamples, Format == sfMP3 ? -2 : 0);
        EXPECT_TRUE(Back->SelfDestroy);
        EXPECT_EQ(Bytes(Back->Data, Back->Data + Back->DataSize), Samples);
        EXPECT_EQ(Body(*Back), Out);
        ExpectTruncationsFail(tagDefineSound, Out, Format == sfMP3 ? 9 : 7);
    }

    // The data can come from an event, which a copy takes too.
    TSWFDefineSound E;
    E.SoundId = 4;
    E.OnDataWrite = [](TSWFObject&, TBitsEngine& BE) { BE.WriteByte(0xAB); };
    EXPECT_EQ(Body(E), B({0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xAB}));
    TSWFDefineSound CE;
    CE.CopyFrom(E);
    EXPECT_EQ(Body(CE), Body(E));
}

TEST(SoundTags, StreamHeads) {
    TSWFSoundStreamHead2 H;
    H.PlaybackSoundRate = H.StreamSoundRate = srRate44k;
    H.PlaybackSoundSize = H.StreamSoundSize = true;
    H.PlaybackSoundType = H.StreamSoundType = true;
    H.StreamSoundCompression = sfMP3;
    H.StreamSoundSampleCount = 1152;
    EXPECT_EQ(WriteTag(H), B({0x46, 0x0B, 0x0F, 0x2F, 0x80, 0x04, 0x00, 0x00}));
    EXPECT_EQ(H.MinVersion(), 4);
    H.StreamSoundCompression = sfNellymoser;
    EXPECT_EQ(H.MinVersion(), 6);
    H.StreamSoundCompression = sfUncompressedLE;
    EXPECT_EQ(H.MinVersion(), 3);
    // Without MP3 there is no latency word.
    EXPECT_EQ(Body(H), B({0x0F, 0x3F, 0x80, 0x04}));

    TSWFSoundStreamHead H1;
    EXPECT_EQ(H1.MinVersion(), 1);
    H1.StreamSoundCompression = sfMP3;
    EXPECT_EQ(H1.MinVersion(), 4);
    H1.PlaybackSoundRate = srRate11k;
    H1.StreamSoundRate = srRate5k;
    H1.StreamSoundSampleCount = 576;
    H1.LatencySeek = -100;
    const Bytes Out = WriteTag(H1);
    EXPECT_EQ(Out, B({0x86, 0x04, 0x04, 0x20, 0x40, 0x02, 0x9C, 0xFF}));
    auto Back = ReadBody<TSWFSoundStreamHead>(tagSoundStreamHead, Bytes(Out.begin() + 2, Out.end()));
    EXPECT_EQ(Back->LatencySeek, -100);
    EXPECT_EQ(Back->PlaybackSoundRate, srRate11k);
    EXPECT_EQ(Back->StreamSoundCompression, sfMP3);
    EXPECT_EQ(Back->StreamSoundSampleCount, 576);
    // A 4-byte MP3 head has no latency to read.
    auto Short = ReadBody<TSWFSoundStreamHead>(tagSoundStreamHead, B({0x04, 0x20, 0x40, 0x02}));
    EXPECT_EQ(Short->LatencySeek, 0);
    auto Back2 = ReadBody<TSWFSoundStreamHead2>(tagSoundStreamHead2, Body(H));
    EXPECT_EQ(Body(*Back2), Body(H));
    TSWFSoundStreamHead2 Copy;
    Copy.CopyFrom(H);
    EXPECT_EQ(Body(Copy), Body(H));
    ExpectTruncationsFail(tagSoundStreamHead2, Body(H), 4);
}

TEST(SoundTags, DefineButtonSound) {
    TSWFDefineButtonSound BS;
    EXPECT_FALSE(BS.HasSounds());
    BS.ButtonId = 2;
    BS.SoundIdleToOverUp().SoundId = 5;
    EXPECT_TRUE(BS.HasIdleToOverUp && BS.HasSounds());
    EXPECT_FALSE(BS.HasOverUpToIdle || BS.HasOverUpToOverDown || BS.HasOverDownToOverUp);
    EXPECT_EQ(WriteTag(BS), B({0x4B, 0x04, 0x02, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(BS.MinVersion(), 2);

    // A sound without id is written as no sound.
    BS.SoundOverUpToIdle();
    EXPECT_EQ(Body(BS), B({0x02, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));

    // All four, in the order over-up to idle, idle to over-up, over-up to
    // over-down, over-down to over-up.
    BS.SoundOverUpToIdle().SoundId = 1;
    BS.SoundOverUpToOverDown().SoundId = 3;
    BS.SoundOverUpToOverDown().SyncStop = true;
    BS.SoundOverDownToOverUp().CopyFrom(*FullStartSound());
    const Bytes Out = Body(BS);
    EXPECT_EQ(Bytes(Out.begin(), Out.begin() + 11), B({0x02, 0x00, 0x01, 0x00, 0x00, 0x05, 0x00, 0x00, 0x03, 0x00, 0x20}));
    auto Back = ReadBody<TSWFDefineButtonSound>(tagDefineButtonSound, Out);
    EXPECT_TRUE(Back->HasOverUpToIdle && Back->HasIdleToOverUp && Back->HasOverUpToOverDown && Back->HasOverDownToOverUp);
    EXPECT_EQ(Back->SoundOverUpToIdleOrNull()->SoundId, 1);
    EXPECT_EQ(Back->SoundOverDownToOverUpOrNull()->LoopCount, 3);
    EXPECT_EQ(Body(*Back), Out);

    // Reading: a zero word is no sound.
    auto One = ReadBody<TSWFDefineButtonSound>(
        tagDefineButtonSound, B({0x02, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_TRUE(One->HasIdleToOverUp);
    EXPECT_FALSE(One->HasOverUpToIdle || One->HasOverUpToOverDown || One->HasOverDownToOverUp);
    EXPECT_EQ(One->SoundOverUpToIdleOrNull(), nullptr);

    // Copies take each present sound, deeply.
    TSWFDefineButtonSound Copy;
    Copy.SoundOverUpToOverDown().SoundId = 77;
    Copy.CopyFrom(*One);
    EXPECT_EQ(Body(Copy), Body(*One));
    EXPECT_FALSE(Copy.HasOverUpToOverDown);
    Copy.CopyFrom(BS);
    BS.SoundOverDownToOverUp().SoundEnvelopes.clear();
    EXPECT_EQ(Body(Copy), Out);

    ExpectTruncationsFail(tagDefineButtonSound, Out, Out.size());
}

TEST(VideoTags, VideoFrame) {
    const Bytes Frame = B({0x00, 0x00, 0x84, 0x00, 0x12});
    TSWFVideoFrame V;
    V.StreamID = 1;
    V.FrameNum = 258;
    V.SetData(Frame.data(), static_cast<std::int32_t>(Frame.size()));
    const Bytes Out = WriteTag(V);
    EXPECT_EQ(Out, Cat({B({0x49, 0x0F, 0x01, 0x00, 0x02, 0x01}), Frame}));
    EXPECT_EQ(V.MinVersion(), 6);
    auto Back = ReadBody<TSWFVideoFrame>(tagVideoFrame, Bytes(Out.begin() + 2, Out.end()));
    EXPECT_EQ(Back->StreamID, 1);
    EXPECT_EQ(Back->FrameNum, 258);
    EXPECT_EQ(Bytes(Back->Data, Back->Data + Back->DataSize), Frame);
    TSWFVideoFrame Copy;
    Copy.CopyFrom(*Back);
    Back.reset();
    EXPECT_EQ(WriteTag(Copy), Out);
    ExpectTruncationsFail(tagVideoFrame, Bytes(Out.begin() + 2, Out.end()), 4);
}

TEST(SoundTags, IndependentDemuxerReadsStreamHeadAndVideoFrames) {
    ASSERT_TRUE(Installed("ffprobe", "ffmpeg"));
    TBasedSWFStream Movie(0, 0, 16, 16, 10.0f, true);
    Movie.SetVersion(6);
    TBitsEngine BE(*Movie.Body);
    // Uncompressed little-endian samples at 44 kHz, 16-bit, stereo streamed
    // beside a video of three frames.
    TSWFSoundStreamHead2 Head;
    Head.PlaybackSoundRate = Head.StreamSoundRate = srRate44k;
    Head.PlaybackSoundSize = Head.StreamSoundSize = true;
    Head.PlaybackSoundType = Head.StreamSoundType = true;
    Head.StreamSoundCompression = sfUncompressedLE;
    Head.StreamSoundSampleCount = 4410;
    Head.WriteToStream(BE);
    TSWFUnknownTag Stream(tagDefineVideoStream);
    Stream.Data = B({0x07, 0x00, 0x03, 0x00, 0x10, 0x00, 0x10, 0x00, 0x00, 0x02});  // id 7, 3 frames, 16 x 16, H.263
    Stream.WriteToStream(BE);
    for (std::uint16_t F = 0; F < 3; ++F) {
        TSWFUnknownTag Block(tagSoundStreamBlock);
        Block.Data.assign(4410 * 4, static_cast<std::uint8_t>(F));
        Block.WriteToStream(BE);
        TSWFVideoFrame V;
        V.StreamID = 7;
        V.FrameNum = static_cast<std::uint16_t>(F * 2);
        V.SetOwnedData(Bytes(100 + F, 0x55));
        V.WriteToStream(BE);
        TSWFShowFrame().WriteToStream(BE);
    }
    TSWFEnd().WriteToStream(BE);
    Movie.FrameCount = 3;
    TempDir D;
    const std::string Name = D.File("stream.swf");
    TMemoryStream File;
    Movie.SaveToStream(File);
    WriteFileBytes(Name, File.Bytes());
    std::string Out;
    RunCommand("ffprobe -v quiet -show_entries stream=codec_type,codec_name,sample_rate,channels:packet=stream_index,pts,size"
               " -of compact " + Name, &Out);
    EXPECT_NE(Out.find("codec_name=pcm_s16le|codec_type=audio|sample_rate=44100|channels=2"), std::string::npos) << Out;
    EXPECT_NE(Out.find("codec_name=flv1|codec_type=video"), std::string::npos) << Out;
    // The sound blocks are timed by the samples per frame; the video
    // packets carry the frame numbers as their times, and the bytes after
    // the two words.
    for (const char* Want : {"stream_index=0|pts=4410|size=17640", "stream_index=0|pts=8820", "pts=0|size=100",
                             "pts=2|size=101", "pts=4|size=102"})
        EXPECT_NE(Out.find(Want), std::string::npos) << Want << "\n" << Out;
}
