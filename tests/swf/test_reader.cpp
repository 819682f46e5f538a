#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "FlashObjects.h"
#include "SWFStreams.h"
#include "TestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace {

Bytes SampleMovie(bool Compressed) {
    TFlashMovie M(0, 0, 320, 240, 24.0f, true);
    M.SetVersion(6);
    M.SetCompressed(Compressed);
    M.BackgroundColor().SetRGB(0x00336699);
    M.Protect = true;
    M.ProtectPassword = "pw";
    TFlashPlaceObject* P = M.PlaceObject(nullptr, 2);
    P->PlaceTag().SetCharacterID(1);
    P->SetTranslate(10, 20);
    P->PlaceTag().ColorTransform().SetMultA(128);
    P->PlaceTag().SetName("pic");
    M.FrameLabel = "one";
    M.ShowFrame(2);
    M.RemoveObject(2, nullptr);
    auto Raw = std::make_unique<TSWFUnknownTag>(tagDefineBitsLossless2);
    Raw->Data.assign(100, 0x5A);
    M.AddObject(std::move(Raw));
    M.ShowFrame(1);
    M.MakeStream();
    TMemoryStream Out;
    M.SaveToStream(Out);
    return Out.Bytes();
}

void ExpectReadsOrFailsCleanly(const Bytes& Data) {
    TMemoryStream In(Data);
    TSWFFileReader R;
    try {
        R.LoadFromStream(In);
    } catch (const ESWFReadError& E) {
        EXPECT_NE(std::string(E.what()), "");
    }
}

std::string SwfDump() { return std::string(ANIVERT_TOOLS_DIR) + "/swfdump"; }

}  // namespace

TEST(SWFReader, ReadsEveryTagBackByteForByte) {
    for (bool Compressed : {false, true}) {
        const Bytes File = SampleMovie(Compressed);
        TMemoryStream In(File);
        TSWFFileReader R;
        R.LoadFromStream(In);
        EXPECT_EQ(R.Signature, Compressed ? "CWS" : "FWS");
        EXPECT_EQ(R.Version, 6);
        EXPECT_EQ(R.FileLength, R.Data.size());
        EXPECT_EQ(R.FrameRect, (TRect{0, 0, 6400, 4800}));
        EXPECT_EQ(R.FrameRate, 0x1800);
        EXPECT_EQ(R.FrameCount, 3);
        std::vector<std::uint16_t> Codes;
        for (const TSWFReadTag& T : R.Tags) Codes.push_back(T.TagID);
        EXPECT_EQ(Codes, (std::vector<std::uint16_t>{tagSetBackgroundColor, tagProtect, tagPlaceObject2, tagFrameLabel,
                                                     tagShowFrame, tagShowFrame, tagRemoveObject2,
                                                     tagDefineBitsLossless2, tagShowFrame, tagEnd}));
        // Writing each decoded tag again gives its bytes in the file.
        for (const TSWFReadTag& T : R.Tags) {
            TMemoryStream Out;
            TBitsEngine BE(Out);
            T.Tag->WriteToStream(BE);
            const std::size_t Len = static_cast<std::size_t>(Out.Size());
            ASSERT_LE(static_cast<std::size_t>(T.Offset) + Len, R.Data.size());
            EXPECT_EQ(Out.Bytes(), Bytes(R.Data.begin() + T.Offset, R.Data.begin() + T.Offset + static_cast<std::ptrdiff_t>(Len)))
                << TagName(T.TagID);
        }
        auto* P = dynamic_cast<TSWFPlaceObject2*>(R.Tags[2].Tag.get());
        ASSERT_NE(P, nullptr);
        EXPECT_EQ(P->Name, "pic");
        EXPECT_EQ(P->Matrix().TranslateY, 400);
        EXPECT_EQ(P->ColorTransform().MultA(), 128);
        EXPECT_TRUE(R.Tags[7].LongHeader);
    }
}

TEST(SWFReader, EveryTruncationFailsWithAClearError) {
    for (bool Compressed : {false, true}) {
        const Bytes File = SampleMovie(Compressed);
        for (std::size_t Len = 0; Len < File.size(); ++Len) {
            TMemoryStream In(Bytes(File.begin(), File.begin() + static_cast<std::ptrdiff_t>(Len)));
            TSWFFileReader R;
            EXPECT_THROW(R.LoadFromStream(In), ESWFReadError) << "length " << Len;
        }
    }
}

TEST(SWFReader, GarbageNeverCrashes) {
    std::mt19937 Rng(1234);
    const Bytes File = SampleMovie(false);
    for (int I = 0; I < 3000; ++I) {
        Bytes D = File;
        const int Flips = 1 + static_cast<int>(Rng() % 4);
        for (int K = 0; K < Flips; ++K) D[Rng() % D.size()] = static_cast<std::uint8_t>(Rng());
        ExpectReadsOrFailsCleanly(D);
    }
    for (int I = 0; I < 500; ++I) {
        Bytes D(Rng() % 200);
        for (auto& V : D) V = static_cast<std::uint8_t>(Rng());
        if (D.size() > 3 && (I & 1)) {
            D[0] = 'F';
            D[1] = 'W';
            D[2] = 'S';
        }
        ExpectReadsOrFailsCleanly(D);
    }
    TMemoryStream NotSwf(B({'G', 'I', 'F', '8', '9', 'a'}));
    TSWFFileReader R;
    try {
        R.LoadFromStream(NotSwf);
        FAIL();
    } catch (const ESWFReadError& E) {
        EXPECT_NE(std::string(E.what()).find("Not an SWF movie"), std::string::npos);
    }
}

TEST(SWFReader, LengthsBeyondTheFileAreReported) {
    Bytes File = SampleMovie(false);
    TMemoryStream In(File);
    TSWFFileReader R;
    R.LoadFromStream(In);
    // Make the lossless tag claim more bytes than the file holds.
    const std::size_t At = static_cast<std::size_t>(R.Tags[7].Offset) + 2;
    File[At + 3] = 0x7F;
    TMemoryStream Bad(File);
    TSWFFileReader R2;
    try {
        R2.LoadFromStream(Bad);
        FAIL();
    } catch (const ESWFReadError& E) {
        EXPECT_NE(std::string(E.what()).find("runs past the end of the file"), std::string::npos) << E.what();
    }
    EXPECT_EQ(R2.Tags.size(), 7u);  // the tags before the fault stay
}

TEST(SWFReader, FuzzRegressionInputs) {
    const std::filesystem::path Dir = std::filesystem::path(ANIVERT_TEST_DATA) / "swf-fuzz";
    int Count = 0;
    for (const auto& E : std::filesystem::directory_iterator(Dir)) {
        if (!E.is_regular_file() || E.path().filename() == "README") continue;
        ExpectReadsOrFailsCleanly(ReadFileBytes(E.path().string()));
        ++Count;
    }
    EXPECT_GT(Count, 0);
}

TEST(SwfDumpTool, ListsAMovieAndRejectsBadInput) {
    TempDir D;
    const std::string Good = D.File("good.swf");
    WriteFileBytes(Good, SampleMovie(true));
    std::string Out;
    ASSERT_EQ(RunCommand(SwfDump() + " " + Good, &Out), 0) << Out;
    for (const char* Want : {"Signature:   CWS", "Version:     6", "320 x 240 px", "24 fps (0x1800)", "Frames:      3",
                             "SetBackgroundColor", "color #996633", "Protect", "hash \"$1$", "PlaceObject2",
                             "depth 2 character 1", "translate (200, 400)", "name \"pic\"", "FrameLabel",
                             "name \"one\"", "RemoveObject2", "DefineBitsLossless2", "(long header)",
                             "format 90 23130 x 23130 with alpha, zlib data 93 bytes", "End", "10 tags"})
        EXPECT_NE(Out.find(Want), std::string::npos) << Want << "\n" << Out;

    const Bytes File = SampleMovie(false);
    const std::string Cut = D.File("cut.swf");
    WriteFileBytes(Cut, Bytes(File.begin(), File.end() - 5));
    EXPECT_EQ(RunCommand(SwfDump() + " " + Cut, &Out), 1);
    EXPECT_NE(Out.find("swfdump: "), std::string::npos) << Out;
    const std::string Junk = D.File("junk.swf");
    WriteFileBytes(Junk, B({'C', 'W', 'S', 6, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(RunCommand(SwfDump() + " " + Junk, &Out), 1);
    EXPECT_NE(Out.find("cannot be inflated"), std::string::npos) << Out;
    EXPECT_EQ(RunCommand(SwfDump() + " " + D.File("missing.swf"), &Out), 1);
    EXPECT_EQ(RunCommand(SwfDump(), &Out), 2);
}

TEST(SwfDumpTool, PrintsSoundVideoClipActionsAndSprites) {
    TBasedSWFStream Movie(0, 0, 100, 100, 12.0f, true);
    Movie.SetVersion(6);
    TBitsEngine BE(*Movie.Body);
    const Bytes Samples = B({1, 2, 3, 4, 5, 6});
    TSWFDefineSound Sound;
    Sound.SoundId = 3;
    Sound.SoundFormat = sfUncompressedLE;
    Sound.SoundRate = srRate22k;
    Sound.SoundSize = true;
    Sound.SoundSampleCount = 3;
    Sound.SetData(Samples.data(), 6);
    Sound.WriteToStream(BE);
    TSWFStartSound Start;
    Start.SoundId = 3;
    Start.SyncNoMultiple = true;
    Start.SetLoopCount(2);
    Start.HasEnvelope = true;
    Start.AddEnvelope(100, 1, 2);
    Start.WriteToStream(BE);
    TSWFDefineButtonSound ButtonSound;
    ButtonSound.ButtonId = 2;
    ButtonSound.SoundIdleToOverUp().SoundId = 3;
    ButtonSound.WriteToStream(BE);
    TSWFSoundStreamHead2 Head;
    Head.StreamSoundCompression = sfMP3;
    Head.StreamSoundRate = srRate44k;
    Head.StreamSoundSize = Head.StreamSoundType = true;
    Head.StreamSoundSampleCount = 1152;
    Head.WriteToStream(BE);
    TSWFVideoFrame Video;
    Video.StreamID = 1;
    Video.FrameNum = 258;
    Video.SetData(Samples.data(), 5);
    Video.WriteToStream(BE);
    // A sprite whose placement carries a clip action.
    TMemoryStream Sprite;
    {
        TBitsEngine SB(Sprite);
        SB.WriteWord(4);
        SB.WriteWord(1);
        TSWFPlaceObject2 Inner;
        Inner.Depth = 1;
        Inner.SetCharacterID(3);
        Inner.SWFVersion = 6;
        Inner.ClipActions().AddActionRecord(ceEnterFrame)->Add(std::make_unique<TSWFActionGetUrl>("http://x/", "_blank"));
        Inner.WriteToStream(SB);
        TSWFShowFrame().WriteToStream(SB);
        TSWFEnd().WriteToStream(SB);
    }
    Sprite.SetPosition(0);
    WriteCustomTag(*Movie.Body, tagDefineSprite, Sprite);
    TSWFShowFrame().WriteToStream(BE);
    TSWFEnd().WriteToStream(BE);
    Movie.FrameCount = 1;
    TMemoryStream File;
    Movie.SaveToStream(File);
    TempDir D;
    WriteFileBytes(D.File("all.swf"), File.Bytes());
    std::string Out;
    ASSERT_EQ(RunCommand(SwfDump() + " " + D.File("all.swf"), &Out), 0) << Out;
    for (const char* Want :
         {"DefineSound", "id 3 format 3 (uncompressed little-endian) 22 kHz 16-bit mono, 3 samples, data 6 bytes",
          "StartSound", "sound 3, no multiple, loops 2, envelope (1 point)", "at 100 left 1 right 2",
          "DefineButtonSound", "button 2", "over-up to idle: none", "idle to over-up: sound 3",
          "SoundStreamHead2", "playback 5.5 kHz 8-bit mono",
          "stream format 2 (MP3) 44 kHz 16-bit stereo, 1152 samples per frame, latency seek 0", "VideoFrame",
          "stream 1 frame 258, data 5 bytes", "DefineSprite", "id 4 frames 1, 3 tags", "PlaceObject2",
          "depth 1 character 3", "clip actions for enter frame", "on enter frame:",
          "GetUrl \"http://x/\" target \"_blank\"", "8 tags"})
        EXPECT_NE(Out.find(Want), std::string::npos) << Want << "\n" << Out;
}
