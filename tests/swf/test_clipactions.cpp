#include <gtest/gtest.h>

#include "SWFStreams.h"
#include "SWFTestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace {

std::unique_ptr<TSWFPlaceObject2> ReadPlace(const Bytes& Data, std::uint8_t Version, bool Parse = true) {
    auto P = std::make_unique<TSWFPlaceObject2>();
    P->SWFVersion = Version;
    P->ParseActions = Parse;
    P->BodySize = static_cast<std::uint32_t>(Data.size());
    TMemoryStream M(Data);
    TBitsEngine BE(M);
    P->ReadFromStream(BE);
    EXPECT_EQ(M.Position(), M.Size());
    return P;
}

// A sprite placement at depth 1 of character 2 with one enter-frame record
// holding a Stop.
std::unique_ptr<TSWFPlaceObject2> StopOnEnterFrame(std::uint8_t Version) {
    auto P = std::make_unique<TSWFPlaceObject2>();
    P->Depth = 1;
    P->SetCharacterID(2);
    P->SWFVersion = Version;
    P->ClipActions().AddActionRecord(ceEnterFrame)->Add(std::make_unique<TSWFActionStop>());
    return P;
}

// Records on several events: a GetURL on load and enter frame, a key with a
// forward jump, an empty list.
std::unique_ptr<TSWFPlaceObject2> SamplePlacement(std::uint8_t Version) {
    auto P = std::make_unique<TSWFPlaceObject2>();
    P->Depth = 3;
    P->SetCharacterID(9);
    P->SetName("clip");
    P->SWFVersion = Version;
    TSWFClipActions& C = P->ClipActions();
    C.AddActionRecord(ceLoad | ceEnterFrame)->Add(std::make_unique<TSWFActionGetUrl>("http://x/", "_blank"));
    TSWFClipActionRecord* K = C.AddActionRecord(ceKeyDown | ceMouseUp | ceData, Version >= 6 ? 13 : 0);
    auto* J = K->Add(std::make_unique<TSWFActionJump>());
    K->Add(std::make_unique<TSWFActionStop>());
    J->BranchOffsetMarker.Set(K->AddMarker());
    K->Add(std::make_unique<TSWFActionPlay>());
    C.AddActionRecord(ceUnload | ceRelease);
    return P;
}

}  // namespace

TEST(ClipActions, LayoutsOfVersion5And6) {
    // Version 5: 16-bit event flags and a 16-bit end marker.
    auto P5 = StopOnEnterFrame(5);
    EXPECT_EQ(WriteTag(*P5), B({0x93, 0x06, 0x82, 0x01, 0x00, 0x02, 0x00,  // flags, depth, id
                                0x00, 0x00, 0x02, 0x00,                    // reserved, all events
                                0x02, 0x00, 0x02, 0x00, 0x00, 0x00,        // record events, size
                                0x07, 0x00,                                // Stop, end of actions
                                0x00, 0x00}));
    EXPECT_EQ(P5->MinVersion(), 5);

    // Version 6: 32 bits each.
    auto P6 = StopOnEnterFrame(6);
    EXPECT_EQ(Body(*P6), B({0x82, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
                            0x02, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(P6->MinVersion(), 6);
    auto P7 = StopOnEnterFrame(7);
    EXPECT_EQ(P7->MinVersion(), 7);

    // A placement at the default version 3 is raised to 5 when written.
    auto P3 = StopOnEnterFrame(3);
    EXPECT_EQ(P3->MinVersion(), 5);
    EXPECT_EQ(Body(*P3), Body(*P5));
    EXPECT_EQ(P3->SWFVersion, 5);

    // The later events in the 32-bit flags: five zero bits, construct, key
    // press, drag out, then a zero byte.
    TMemoryStream M;
    TBitsEngine BE(M);
    WriteClipEvents(BE, ceKeyUp | ceData | ceConstruct | ceDragOut, true);
    WriteClipEvents(BE, ceKeyUp | ceData | ceConstruct | ceDragOut, false);
    EXPECT_EQ(M.Bytes(), B({0x80, 0x01, 0x05, 0x00, 0x80, 0x01}));
    M.SetPosition(0);
    EXPECT_EQ(ReadClipEvents(BE, true), ceKeyUp | ceData | ceConstruct | ceDragOut);
    EXPECT_EQ(ReadClipEvents(BE, false), ceKeyUp | ceData);
}

TEST(ClipActions, KeyCodesEmptyListsAndUntouchedBlocks) {
    // The key code comes before the actions and its size counts it.
    TSWFPlaceObject2 K;
    K.Depth = 1;
    K.SWFVersion = 6;
    TSWFClipActionRecord* R = K.ClipActions().AddActionRecord(0, 13);
    R->Add(std::make_unique<TSWFActionPlay>());
    EXPECT_EQ(R->EventFlags, ceKeyPress);
    EXPECT_EQ(K.ClipActions().AllEventFlags, ceKeyPress);
    EXPECT_EQ(Body(K), B({0x80, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00,  // all events: key press
                          0x00, 0x00, 0x02, 0x00, 0x03, 0x00, 0x00, 0x00,        // record events, size 3
                          0x0D, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00}));
    R->SetKeyCode(0);
    EXPECT_EQ(R->EventFlags, 0u);
    R->SetKeyCode(32);
    EXPECT_EQ(R->EventFlags, ceKeyPress);

    // An empty list: its events, the size 1 and the end byte.
    TSWFPlaceObject2 E;
    E.SWFVersion = 5;
    E.ClipActions().AddActionRecord(cePress);
    EXPECT_EQ(Body(E), B({0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));

    // Touching the block raises the flag; without records nothing is written.
    TSWFPlaceObject2 T;
    T.Depth = 1;
    T.ClipActions();
    EXPECT_TRUE(T.PlaceFlagHasClipActions);
    EXPECT_EQ(Body(T), B({0x00, 0x01, 0x00}));
}

TEST(ClipActions, WhatTheLayoutCannotSayIsNotWrittenCorrupt) {
    // A key press needs the 32-bit flags: a version 5 placement is raised to
    // 6, or its record would be written with no events at all.
    TSWFPlaceObject2 K;
    K.SWFVersion = 5;
    K.ClipActions().AddActionRecord(ceEnterFrame, 65);
    EXPECT_EQ(K.MinVersion(), 6);
    const Bytes Out = Body(K);
    EXPECT_EQ(K.SWFVersion, 6);
    auto Back = ReadPlace(Out, 6);
    ASSERT_EQ(Back->ClipActionsOrNull()->RecordCount(), 1u);
    EXPECT_EQ(Back->ClipActions().ActionRecord(0).KeyCode(), 65);

    // A record without any event would read as the end of the list: left
    // out, and with it the flag when no other record remains.
    TSWFPlaceObject2 Z;
    Z.SWFVersion = 6;
    Z.ClipActions().AddActionRecord(0)->Add(std::make_unique<TSWFActionStop>());
    EXPECT_EQ(Body(Z), B({0x00, 0x00, 0x00}));
    Z.ClipActions().AddActionRecord(ceLoad)->Add(std::make_unique<TSWFActionPlay>());
    auto ZBack = ReadPlace(Body(Z), 6);
    ASSERT_EQ(ZBack->ClipActions().RecordCount(), 1u);
    EXPECT_EQ(ZBack->ClipActions().ActionRecord(0).EventFlags, ceLoad);

    // A raw list whose last byte is the end of a pushed string still gets
    // its end byte; one that ends with a zero code does not get a second.
    TSWFPlaceObject2 S;
    S.SWFVersion = 6;
    auto Push = std::make_unique<TSWFActionByteCode>();
    Push->Data = B({0x96, 0x03, 0x00, 0x00, 'a', 0x00});
    S.ClipActions().AddActionRecord(ceLoad)->Add(std::move(Push));
    const Bytes SB = Body(S);
    EXPECT_EQ(Bytes(SB.end() - 15, SB.end()),
              B({0x07, 0x00, 0x00, 0x00, 0x96, 0x03, 0x00, 0x00, 'a', 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
    auto SBack = ReadPlace(SB, 6);
    ASSERT_EQ(SBack->ClipActions().ActionRecord(0).Count(), 1u);
    EXPECT_EQ(SBack->ClipActions().ActionRecord(0)[0].ActionCode, TSWFActionPush::Code);
    auto Ended = std::make_unique<TSWFActionByteCode>();
    Ended->Data = B({0x06, 0x00});
    TSWFClipActionRecord Rec(ceLoad);
    Rec.Add(std::move(Ended));
    EXPECT_TRUE(Rec.EndsWithEndByte());
    EXPECT_FALSE(SBack->ClipActions().ActionRecord(0).EndsWithEndByte());
}

TEST(ClipActions, RoundTripsInBothLayouts) {
    for (std::uint8_t Version : {5, 6, 7}) {
        SCOPED_TRACE(static_cast<int>(Version));
        auto P = SamplePlacement(Version);
        const Bytes Out = Body(*P);
        auto Back = ReadPlace(Out, Version);
        EXPECT_TRUE(Back->PlaceFlagHasClipActions);
        EXPECT_EQ(Back->Name, "clip");
        const TSWFClipActions& C = *Back->ClipActionsOrNull();
        EXPECT_EQ(C.AllEventFlags, P->ClipActions().AllEventFlags);
        ASSERT_EQ(C.RecordCount(), 3u);
        EXPECT_EQ(C.ActionRecords[0]->EventFlags, ceLoad | ceEnterFrame);
        EXPECT_EQ(C.ActionRecords[1]->KeyCode(), Version >= 6 ? 13 : 0);
        EXPECT_TRUE(C.ActionRecords[2]->Empty());
        // The jump's label is placed again where the writer had it.
        const TSWFClipActionRecord& K = *C.ActionRecords[1];
        ASSERT_EQ(K.Count(), 4u);
        EXPECT_NE(dynamic_cast<const TSWFOffsetMarker*>(&K[2]), nullptr);
        EXPECT_EQ(Body(*Back), Out);

        // Unparsed: each list is kept as raw bytes of its recorded size and
        // written back unchanged.
        auto Raw = ReadPlace(Out, Version, false);
        EXPECT_NE(dynamic_cast<const TSWFActionByteCode*>(&Raw->ClipActions().ActionRecord(0)[0]), nullptr);
        EXPECT_EQ(Body(*Raw), Out);

        // Copies are deep: changing the source leaves the copy as it was.
        TSWFPlaceObject2 Copy;
        Copy.CopyFrom(*P);
        P->ClipActions().ActionRecord(0).Clear();
        P->ClipActions().AllEventFlags = 0;
        EXPECT_EQ(Body(Copy), Out);
        TSWFPlaceObject2 Plain;
        Copy.CopyFrom(Plain);
        EXPECT_FALSE(Copy.PlaceFlagHasClipActions);
        EXPECT_EQ(Copy.ClipActionsOrNull(), nullptr);
    }
}

TEST(ClipActions, BadInputFailsCleanly) {
    const Bytes Good = Body(*SamplePlacement(6));
    // Every truncation that cuts into the block fails with EReadError.
    for (std::size_t Len = 10; Len < Good.size(); ++Len) {
        const Bytes Cut(Good.begin(), Good.begin() + static_cast<std::ptrdiff_t>(Len));
        EXPECT_THROW(ReadPlace(Cut, 6), EReadError) << Len;
    }
    // A record size past the end of the tag is named.
    const Bytes Big = Cat({B({0x80, 0x01, 0x00, 0x00, 0x00, 0x40, 0, 0, 0, 0x40, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0x07, 0})});
    try {
        ReadPlace(Big, 6);
        FAIL();
    } catch (const EReadError& E) {
        EXPECT_NE(std::string(E.what()).find("Clip-action record 1 has a size of 65535 bytes"), std::string::npos)
            << E.what();
    }
}

TEST(ClipActions, FileReaderTakesTheLayoutOfTheMovieVersion) {
    for (std::uint8_t Version : {5, 6}) {
        auto P = SamplePlacement(Version);
        TBasedSWFStream Movie(0, 0, 100, 100, 12.0f, true);
        Movie.SetVersion(Version);
        TBitsEngine BE(*Movie.Body);
        P->WriteToStream(BE);
        TSWFShowFrame().WriteToStream(BE);
        TSWFEnd().WriteToStream(BE);
        Movie.FrameCount = 1;
        TMemoryStream File;
        Movie.SaveToStream(File);
        TempDir D;
        const std::string Name = D.File("clip.swf");
        WriteFileBytes(Name, File.Bytes());

        TSWFFileReader R;
        R.LoadFile(Name);
        auto* Back = dynamic_cast<TSWFPlaceObject2*>(R.Tags.at(0).Tag.get());
        ASSERT_NE(Back, nullptr);
        ASSERT_NE(Back->ClipActionsOrNull(), nullptr);
        EXPECT_EQ(Back->ClipActionsOrNull()->RecordCount(), 3u);
        EXPECT_EQ(Body(*Back), Body(*P));

        // An independent parser walks the records and the end marker with
        // the sizes and widths of the movie's version.
        ASSERT_TRUE(PythonModule("yaswfp", "python3-yaswfp"));
        std::string Out;
        // (The parser drops the block it built; it is caught as it is made.)
        const std::string Script =
            "from yaswfp import swfparser\n"
            "made = []\n"
            "make = swfparser._make_object\n"
            "def spy(name):\n"
            "    o = make(name)\n"
            "    if name == 'ClipActions': made.append(o)\n"
            "    return o\n"
            "swfparser._make_object = spy\n"
            "p = swfparser.parsefile('" + Name + "')\n"
            "c = made[0]\n"
            "print(type(p.tags[0]).__name__, p.tags[0].name, len(c.AllEventFlags),"
            " [(len(r.EventFlags), r.ActionRecordSize) for r in c.ClipActionRecords], p.tags[-1].name)\n";
        WriteFileBytes(D.File("check.py"), Str(Script));
        ASSERT_EQ(RunCommand("/usr/bin/python3 " + D.File("check.py"), &Out), 0) << Out;
        const std::string W = Version >= 6 ? "4" : "2";
        // GetURL record: 3 + 10 + 7 + end = 21; key record: key code (v6),
        // jump 5, stop, play, end = 8 or 9; the empty list: 1.
        const std::string Want = "PlaceObject2 PlaceObject2 " + W + " [(" + W + ", 21), (" + W + ", " +
                                 (Version >= 6 ? "9" : "8") + "), (" + W + ", 1)] ShowFrame";
        EXPECT_NE(Out.find(Want), std::string::npos) << Out;
    }
}
