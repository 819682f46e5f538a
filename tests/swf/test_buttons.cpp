#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>

#include "FlashObjects.h"
#include "SWFStreams.h"
#include "SWFTestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace {

// Reads a tag body into a new object of the tag's class, as the file
// reader does.
std::unique_ptr<TSWFObject> ReadBody(std::uint16_t TagID, const Bytes& Data, bool Parse = true) {
    auto Tag = GenerateSWFObject(TagID);
    if (auto* Btn = dynamic_cast<TSWFBasedButton*>(Tag.get())) Btn->ParseActions = Parse;
    Tag->BodySize = static_cast<std::uint32_t>(Data.size());
    TMemoryStream M(Data);
    TBitsEngine BE(M);
    Tag->ReadFromStream(BE);
    return Tag;
}

TSWFButtonRecord* AddRecord(TSWFBasedButton& Btn, std::uint16_t Id, std::uint8_t States, std::uint16_t Depth) {
    auto R = std::make_unique<TSWFButtonRecord>(Id);
    R->ButtonState = States;
    R->Depth = Depth;
    return Btn.AddButtonRecord(std::move(R));
}

// Whether a record holds a value the primitive records cannot write back:
// the bit writer sizes -2^(n-1) one bit wider, so a colour term of -16384
// needs 16 bits (the size field has 4) and a matrix value of -2^30 needs 32
// (the size field has 5).
bool HasUnwritableValues(const TSWFObject& Tag) {
    auto* Btn = dynamic_cast<const TSWFBasedButton*>(&Tag);
    if (!Btn) return false;
    for (const auto& R : Btn->ButtonRecords) {
        if (const TSWFColorTransform* C = R->ColorTransformOrNull())
            for (std::int32_t V : {C->AddR(), C->AddG(), C->AddB(), C->AddA(), C->MultR(), C->MultG(), C->MultB(), C->MultA()})
                if (V == -16384) return true;
        if (const TSWFMatrix* M = R->MatrixOrNull())
            for (std::int32_t V : {M->ScaleX, M->ScaleY, M->SkewX, M->SkewY, M->TranslateX, M->TranslateY})
                if (V == -(1 << 30)) return true;
    }
    return false;
}

// A button with two records (one moved and tinted) and three condition
// actions, the second with a key and a forward jump.
std::unique_ptr<TSWFDefineButton2> SampleButton2() {
    auto Btn = std::make_unique<TSWFDefineButton2>();
    Btn->ButtonId = 7;
    Btn->TrackAsMenu = true;
    AddRecord(*Btn, 2, bsUp | bsHitTest, 1);
    TSWFButtonRecord* R = AddRecord(*Btn, 3, bsOver | bsDown, 2);
    R->Matrix().SetTranslate(40, -20);
    R->ColorTransform().SetMultA(128);
    R->ColorTransform().SetAddR(-5);
    Btn->AddCondAction(std::make_unique<TSWFButtonCondAction>(bcOverDownToOverUp))
        ->Add(std::make_unique<TSWFActionGetUrl>("http://x/", "_blank"));
    auto* K = Btn->AddCondAction(std::make_unique<TSWFButtonCondAction>(bcOverDownToIdle | bcIdleToOverUp));
    K->KeyPress = 13;
    auto* J = K->Add(std::make_unique<TSWFActionJump>());
    K->Add(std::make_unique<TSWFActionStop>());
    J->BranchOffsetMarker.Set(K->AddMarker());
    K->Add(std::make_unique<TSWFActionPlay>());
    Btn->AddCondAction(std::make_unique<TSWFButtonCondAction>(bcOutDownToIdle));
    return Btn;
}

}  // namespace

TEST(ButtonTags, DefineButton2Bytes) {
    // One record, no condition actions: the action offset stays 0.
    TSWFDefineButton2 Btn;
    Btn.ButtonId = 1;
    AddRecord(Btn, 1, bsUp | bsOver | bsDown | bsHitTest, 1);
    EXPECT_EQ(Body(Btn), B({0x01, 0x00, 0x00, 0x00, 0x00, 0x0F, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_TRUE(Btn.ButtonRecord(0).HasColorTransform);  // forced on writing

    // With a release entry holding a GetURL.
    Btn.AddCondAction(std::make_unique<TSWFButtonCondAction>(bcOverDownToOverUp))
        ->Add(std::make_unique<TSWFActionGetUrl>("http://x/", "_blank"));
    const Bytes GetUrl = Cat({B({0x83, 0x11, 0x00}), Str("http://x/"), B({0}), Str("_blank"), B({0})});
    const Bytes Want = Cat({B({0x01, 0x00, 0x00, 0x0A, 0x00, 0x0F, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}),
                            B({0x00, 0x00, 0x08, 0x00}), GetUrl, B({0x00})});
    EXPECT_EQ(Body(Btn), Want);
    const Bytes All = WriteTag(Btn);
    EXPECT_EQ(Bytes(All.begin(), All.begin() + 2), B({0xA6, 0x08}));  // 34 * 64 + 38
    EXPECT_EQ(Btn.MinVersion(), 3);

    // Two entries: the first carries its full size, the last 0.
    Btn.AddCondAction(std::make_unique<TSWFButtonCondAction>(bcIdleToOverUp))->Add(std::make_unique<TSWFActionPlay>());
    const Bytes Two = Body(Btn);
    ASSERT_EQ(Two.size(), Want.size() + 6);
    EXPECT_EQ(Bytes(Two.begin() + 13, Two.begin() + 15), B({static_cast<int>(4 + GetUrl.size() + 1), 0x00}));
    EXPECT_EQ(Bytes(Two.end() - 6, Two.end()), B({0x00, 0x00, 0x01, 0x00, 0x06, 0x00}));
    Btn.CondAction(1).Add(std::make_unique<TSWFActionTry>());
    EXPECT_EQ(Btn.MinVersion(), 7);
}

TEST(ButtonTags, ConditionBitsAndRecords) {
    // Each transition bit has its place in the two condition bytes.
    const std::pair<std::uint16_t, Bytes> Places[] = {
        {bcIdleToOverUp, B({0x01, 0x00})},       {bcOverUpToIdle, B({0x02, 0x00})},
        {bcOverUpToOverDown, B({0x04, 0x00})},   {bcOverDownToOverUp, B({0x08, 0x00})},
        {bcOutDownToOverDown, B({0x20, 0x00})},  {bcOverDownToOutDown, B({0x10, 0x00})},
        {bcOutDownToIdle, B({0x40, 0x00})},      {bcIdleToOverDown, B({0x80, 0x00})},
        {bcOverDownToIdle, B({0x00, 0x01})}};
    for (const auto& [Bit, Want] : Places) {
        TSWFButtonCondAction C(Bit);
        TMemoryStream M;
        TBitsEngine BE(M);
        C.WriteConditions(BE);
        EXPECT_EQ(M.Bytes(), Want) << Bit;
        M.SetPosition(0);
        TSWFButtonCondAction R;
        R.ReadConditions(BE);
        EXPECT_EQ(R.Conditions, Bit);
    }
    TSWFButtonCondAction K(bcOverDownToIdle);
    K.KeyPress = 13;
    TMemoryStream M;
    TBitsEngine BE(M);
    K.WriteConditions(BE);
    EXPECT_EQ(M.Bytes(), B({0x00, 0x1B}));

    // A record shown up and as hit area: only those state bits; the colour
    // transform of a DefineButton2 record has alpha terms.
    TSWFDefineButton2 B2;
    TSWFButtonRecord* R = AddRecord(B2, 5, bsUp | bsHitTest, 3);
    R->ColorTransform().SetMultR(256);
    R->ColorTransform().SetMultA(128);
    EXPECT_EQ(Body(B2), B({0x00, 0x00, 0x00, 0x00, 0x00, 0x09, 0x05, 0x00, 0x03, 0x00, 0x00,
                           // mult only, 10 bits: 256, 0, 0, 128
                           0x69, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00}));
    // A record without any state would read as the end of the records: it
    // is left out.
    AddRecord(B2, 6, 0, 4);
    EXPECT_EQ(Body(B2).size(), 18u);
}

TEST(ButtonTags, DefineButtonBytes) {
    TSWFDefineButton Btn;
    Btn.ButtonId = 3;
    TSWFButtonRecord* R = AddRecord(Btn, 1, bsUp | bsOver | bsDown | bsHitTest, 1);
    R->ColorTransform().SetMultA(10);  // no room for it in this layout
    Btn.Actions.Add(std::make_unique<TSWFActionStop>());
    EXPECT_EQ(WriteTag(Btn), B({0xCB, 0x01, 0x03, 0x00, 0x0F, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x07, 0x00}));
    EXPECT_EQ(Btn.MinVersion(), 3);
    Btn.Actions.Add(std::make_unique<TSWFActionAdd2>());
    EXPECT_EQ(Btn.MinVersion(), 5);

    auto Back = ReadBody(tagDefineButton, Body(Btn));
    auto& D = dynamic_cast<TSWFDefineButton&>(*Back);
    EXPECT_EQ(D.ButtonId, 3);
    ASSERT_EQ(D.ButtonRecords.size(), 1u);
    EXPECT_FALSE(D.ButtonRecord(0).HasColorTransform);
    EXPECT_EQ(D.Actions.Count(), 2u);
    EXPECT_EQ(Body(D), Body(Btn));
    TSWFDefineButton Copy;
    Copy.CopyFrom(D);
    EXPECT_EQ(Body(Copy), Body(Btn));
    EXPECT_THROW(Copy.CopyFrom(TSWFDefineButton2()), EAssignError);

    auto Raw = ReadBody(tagDefineButton, Body(Btn), false);
    auto& RD = dynamic_cast<TSWFDefineButton&>(*Raw);
    ASSERT_EQ(RD.Actions.Count(), 1u);
    EXPECT_EQ(dynamic_cast<TSWFActionByteCode&>(RD.Actions[0]).Data, B({0x07, 0x47}));
    EXPECT_EQ(Body(RD), Body(Btn));
}

TEST(ButtonTags, DefineButton2RoundTrip) {
    auto Btn = SampleButton2();
    const Bytes Out = Body(*Btn);
    // The jump in the second entry counts within that entry's actions.
    const Bytes Jump = B({0x99, 0x02, 0x00, 0x01, 0x00, 0x07});
    EXPECT_NE(std::search(Out.begin(), Out.end(), Jump.begin(), Jump.end()), Out.end());

    auto Back = ReadBody(tagDefineButton2, Out);
    auto& R = dynamic_cast<TSWFDefineButton2&>(*Back);
    EXPECT_EQ(R.ButtonId, 7);
    EXPECT_TRUE(R.TrackAsMenu);
    ASSERT_EQ(R.ButtonRecords.size(), 2u);
    EXPECT_EQ(R.ButtonRecord(1).Matrix().GetRec(), Btn->ButtonRecord(1).Matrix().GetRec());
    EXPECT_EQ(R.ButtonRecord(1).ColorTransform().GetRec(), Btn->ButtonRecord(1).ColorTransform().GetRec());
    EXPECT_EQ(R.ButtonRecord(1).ButtonState, bsOver | bsDown);
    ASSERT_EQ(R.Actions.size(), 3u);
    EXPECT_EQ(R.CondAction(1).Conditions, bcOverDownToIdle | bcIdleToOverUp);
    EXPECT_EQ(R.CondAction(1).KeyPress, 13);
    ASSERT_EQ(R.CondAction(1).Count(), 4u);
    EXPECT_EQ(R.CondAction(1).IndexOf(dynamic_cast<TSWFActionJump&>(R.CondAction(1)[0]).BranchOffsetMarker.Ptr()), 2);
    EXPECT_TRUE(R.CondAction(2).Empty());
    EXPECT_EQ(Body(R), Out);

    TSWFDefineButton2 Copy;
    Copy.CopyFrom(R);
    EXPECT_EQ(Body(Copy), Out);
    TSWFDefineButton2 Copy2;
    Copy2.CopyFrom(*Btn);
    EXPECT_EQ(Body(Copy2), Out);

    // Unparsed: each entry holds its actions as one raw action.
    auto Raw = ReadBody(tagDefineButton2, Out, false);
    auto& RR = dynamic_cast<TSWFDefineButton2&>(*Raw);
    ASSERT_EQ(RR.Actions.size(), 3u);
    EXPECT_EQ(RR.CondAction(1).Count(), 1u);
    EXPECT_EQ(RR.CondAction(2).Count(), 0u);
    EXPECT_EQ(Body(RR), Out);
}

TEST(ButtonTags, MalformedBodiesFailCleanly) {
    const Bytes Out = Body(*SampleButton2());
    auto Fails = [](const Bytes& D) {
        try {
            ReadBody(tagDefineButton2, D);
        } catch (const EReadError& E) {
            return std::string(E.what());
        }
        return std::string();
    };
    // Everything before the actions of the last entry is needed; inside the
    // last list only action boundaries may end the body.
    const std::size_t LastActions = Out.size() - 1;  // the last entry has no actions, only its end byte
    for (std::size_t Len = 0; Len < Out.size(); ++Len) {
        const std::string Error = Fails(Bytes(Out.begin(), Out.begin() + static_cast<std::ptrdiff_t>(Len)));
        if (Len < LastActions) {
            EXPECT_NE(Error, "") << "length " << Len;
        }
    }
    // An action offset into the records, a size below its own fields, a
    // size past the body.
    Bytes D = Out;
    D[3] = 2;
    EXPECT_NE(Fails(D).find("action offset"), std::string::npos);
    D = Out;
    const std::size_t First = 3 + Out[3];
    D[First] = 3;
    EXPECT_NE(Fails(D).find("Condition action 1 has a size of 3"), std::string::npos);
    D[First] = 0xFF;
    EXPECT_NE(Fails(D).find("outside the body"), std::string::npos);
    // A truncated action inside an entry names the entry.
    D = Out;
    D[First + 4] = 0x83;
    D[First + 5] = 0x40;
    EXPECT_NE(Fails(D).find("Condition action 1: Action 0x83"), std::string::npos) << Fails(D);

    std::mt19937 Rng(99);
    for (int I = 0; I < 3000; ++I) {
        Bytes G = Out;
        for (int K = 0; K < 3; ++K) G[Rng() % G.size()] = static_cast<std::uint8_t>(Rng());
        for (std::uint16_t Code : {tagDefineButton2, tagDefineButton}) {
            try {
                auto T = ReadBody(Code, G);
                if (HasUnwritableValues(*T)) continue;
                const Bytes W1 = Body(*T);
                auto T2 = ReadBody(Code, W1);
                EXPECT_EQ(Body(*T2), W1) << Hex(G);
            } catch (const EReadError&) {
            }
        }
    }
}

TEST(ButtonTags, WhatCannotBeFramedIsRefused) {
    TSWFDefineButton2 Btn;
    for (int I = 0; I < 10000; ++I) AddRecord(Btn, 1, bsUp, static_cast<std::uint16_t>(I));
    EXPECT_NO_THROW(Body(Btn));  // no condition actions: no offset to express
    Btn.AddCondAction(std::make_unique<TSWFButtonCondAction>(bcOverDownToOverUp));
    EXPECT_THROW(Body(Btn), std::length_error);
}

TEST(ButtonTags, MovieWithActionsAndButtonsReadsAndLists) {
    TFlashMovie M(0, 0, 100, 100, 12.0f, true);
    M.SetVersion(5);
    M.AddObject(SampleButton2());
    auto B1 = std::make_unique<TSWFDefineButton>();
    B1->ButtonId = 8;
    AddRecord(*B1, 2, bsHitTest, 1);
    B1->Actions.Add(std::make_unique<TSWFActionGotoFrame>())->Frame = 4;
    M.AddObject(std::move(B1));
    auto D = std::make_unique<TSWFDoAction>();
    auto* Push = D->Actions().Add(std::make_unique<TSWFActionPush>());
    Push->AddValue(TSWFVariant("v"));
    Push->AddValue(TSWFVariant(1.5));
    Push->AddValue(TSWFVariant(3), pvRegister);
    auto* T = D->Actions().Add(std::make_unique<TSWFActionTry>());
    T->CatchBlockFlag = true;
    T->CatchName = "e";
    D->Actions().Add(std::make_unique<TSWFActionThrow>());
    T->TrySizeMarker.Set(D->Actions().AddMarker());
    D->Actions().Add(std::make_unique<TSWFActionTrace>());
    T->CatchSizeMarker.Set(D->Actions().AddMarker());
    auto* F = D->Actions().Add(std::make_unique<TSWFActionDefineFunction>());
    F->FunctionName = "f";
    F->Params = {"a", "b"};
    D->Actions().Add(std::make_unique<TSWFActionReturn>());
    F->CodeSizeMarker.Set(D->Actions().AddMarker());
    M.AddObject(std::move(D));
    auto I = std::make_unique<TSWFDoInitAction>();
    I->SpriteID = 4;
    M.AddObject(std::move(I));
    M.ShowFrame();
    M.MakeStream();
    EXPECT_EQ(M.Version(), 7);  // raised by the try
    TempDir Dir;
    const std::string File = Dir.File("buttons.swf");
    M.SaveFile(File);

    TSWFFileReader R;
    R.LoadFile(File);
    ASSERT_EQ(R.Tags.size(), 6u);
    for (const TSWFReadTag& Tag : R.Tags) {
        TMemoryStream Out;
        TBitsEngine BE(Out);
        Tag.Tag->WriteToStream(BE);
        EXPECT_EQ(Out.Bytes(), Bytes(R.Data.begin() + Tag.Offset, R.Data.begin() + Tag.Offset + Out.Size()))
            << TagName(Tag.TagID);
    }
    // A damaged action list is reported by the file reader.
    Bytes Bad = R.Data;
    const std::size_t DoAt = static_cast<std::size_t>(R.Tags[2].Offset);
    Bad[DoAt + 3] = 0x96;  // the push now claims a long body
    Bad[DoAt + 4] = 0xF0;
    TMemoryStream BadIn(Bad);
    TSWFFileReader R2;
    try {
        R2.LoadFromStream(BadIn);
        FAIL();
    } catch (const ESWFReadError& E) {
        EXPECT_NE(std::string(E.what()).find("DoAction"), std::string::npos) << E.what();
        EXPECT_NE(std::string(E.what()).find("past the end of the list"), std::string::npos) << E.what();
    }

    std::string Listing;
    ASSERT_EQ(RunCommand(std::string(ANIVERT_TOOLS_DIR) + "/swfdump " + File, &Listing), 0) << Listing;
    for (const char* Want :
         {"DefineButton2", "button 7 (track as menu)", "record character 2 depth 1 states up, hit test",
          "record character 3 depth 2 states over, down", "matrix translate (40, -20)",
          "color transform mult (0, 0, 0, 128) add (-5, 0, 0, 0)",
          "condition actions 0x0008 (over-down to over-up):", "GetUrl \"http://x/\" target \"_blank\"",
          "condition actions 0x0101 (idle to over-up, over-down to idle, key 13):", "Jump 1 -> label 1",
          "label 1:", "condition actions 0x0040 (out-down to idle): none", "button 8",
          "record character 2 depth 1 states hit test", "GotoFrame 4", "DoAction",
          "Push \"v\", double 1.5, register 3", "Try try 1 -> label 1, catch 1 -> label 2, catch in \"e\"",
          "DefineFunction \"f\" (a, b) size 1 -> label 3", "DoInitAction", "sprite 4", "actions: none"})
        EXPECT_NE(Listing.find(Want), std::string::npos) << Want << "\n" << Listing;
}
