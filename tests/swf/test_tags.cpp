#include <gtest/gtest.h>

#include <set>

#include "SWFObjects.h"
#include "TestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace {

Bytes Write(TSWFObject& Tag) {
    TMemoryStream M;
    TBitsEngine BE(M);
    Tag.WriteToStream(BE);
    return M.Bytes();
}

// Reads a tag written by Write back into a fresh object of its class.
template <class T>
std::unique_ptr<T> ReadBack(const Bytes& Data) {
    TMemoryStream M(Data);
    TBitsEngine BE(M);
    const std::uint16_t W = BE.ReadWord();
    std::uint32_t Size = W & 63;
    if (Size == 63) Size = BE.ReadDWord();
    auto Obj = GenerateSWFObject(W >> 6);
    EXPECT_NE(Obj, nullptr);
    auto* Typed = dynamic_cast<T*>(Obj.get());
    EXPECT_NE(Typed, nullptr);
    Obj.release();
    std::unique_ptr<T> Result(Typed);
    Result->BodySize = Size;
    Result->ReadFromStream(BE);
    EXPECT_EQ(M.Position(), M.Size());
    return Result;
}

}  // namespace

TEST(TagFraming, ShortAndLongHeaders) {
    TSWFShowFrame SF;
    EXPECT_EQ(Write(SF), B({0x40, 0x00}));
    TSWFEnd End;
    EXPECT_EQ(Write(End), B({0x00, 0x00}));
    TSWFSetBackgroundColor BG;
    BG.Color->SetRGB(0xFFFFFF);
    EXPECT_EQ(Write(BG), B({0x43, 0x02, 0xFF, 0xFF, 0xFF}));

    TSWFUnknownTag T62(tagDoAction);
    T62.Data.assign(62, 0xAA);
    Bytes Out = Write(T62);
    EXPECT_EQ(Out.size(), 64u);
    EXPECT_EQ(Out[0] | (Out[1] << 8), tagDoAction * 64 + 62);
    TSWFUnknownTag T63(tagDoAction);
    T63.Data.assign(63, 0xAA);
    Out = Write(T63);
    EXPECT_EQ(Bytes(Out.begin(), Out.begin() + 6), B({0x3F, 0x03, 63, 0, 0, 0}));
    EXPECT_EQ(T63.BodySize, 63u);

    // Lossless bitmaps always take the long header.
    for (std::uint16_t Code : {tagDefineBitsLossless, tagDefineBitsLossless2}) {
        TSWFUnknownTag L(Code);
        L.Data.assign(30, 1);
        Out = Write(L);
        const std::uint16_t W = static_cast<std::uint16_t>(Code * 64 + 63);
        EXPECT_EQ(Bytes(Out.begin(), Out.begin() + 6), B({W & 255, W >> 8, 0x1E, 0, 0, 0}));
        EXPECT_EQ(Out.size(), 36u);
    }
    EXPECT_TRUE(UseLongTagHeader(tagDefineVideoStream, 0));
}

TEST(TagFraming, CustomTagsFollowTheSameRule) {
    TMemoryStream Body(Bytes(10, 7));
    TMemoryStream Out;
    WriteCustomTag(Out, tagDefineSprite, Body);
    EXPECT_EQ(Bytes(Out.Bytes().begin(), Out.Bytes().begin() + 2), B({0xCA, 0x09}));
    EXPECT_EQ(Out.Size(), 12);
    Body.SetPosition(0);
    TMemoryStream Part;
    WriteCustomTag(Part, tagDefineSprite, Body, 4);
    EXPECT_EQ(Part.Bytes(), B({0xC4, 0x09, 7, 7, 7, 7}));
    TMemoryStream Big(Bytes(63, 1));
    TMemoryStream BigOut;
    WriteCustomTag(BigOut, tagDefineSprite, Big);
    EXPECT_EQ(Bytes(BigOut.Bytes().begin(), BigOut.Bytes().begin() + 6), B({0xFF, 0x09, 63, 0, 0, 0}));
}

TEST(ControlTags, FrameLabel) {
    TSWFFrameLabel L("a");
    EXPECT_EQ(Write(L), B({0xC2, 0x0A, 0x61, 0x00}));
    EXPECT_EQ(L.MinVersion(), 3);
    L.IsAnchor = true;
    EXPECT_EQ(Write(L), B({0xC3, 0x0A, 0x61, 0x00, 0x01}));
    EXPECT_EQ(L.MinVersion(), 6);
    auto Back = ReadBack<TSWFFrameLabel>(Write(L));
    EXPECT_EQ(Back->Name, "a");
    EXPECT_TRUE(Back->IsAnchor);
    // Labels are written in the system code page, not converted.
    TSWFFrameLabel U("\xC3\xA9");
    EXPECT_EQ(Write(U), B({0xC3, 0x0A, 0xC3, 0xA9, 0x00}));
    auto Plain = ReadBack<TSWFFrameLabel>(Write(U));
    EXPECT_FALSE(Plain->IsAnchor);
    TSWFFrameLabel C;
    C.CopyFrom(L);
    EXPECT_EQ(C.Name, "a");
    EXPECT_TRUE(C.IsAnchor);
}

TEST(ControlTags, Protect) {
    TSWFProtect P;
    EXPECT_EQ(Write(P), B({0x00, 0x06}));
    EXPECT_EQ(P.MinVersion(), 2);
    P.Password = "secret";
    EXPECT_EQ(P.MinVersion(), 5);
    std::set<std::string> Salts;
    for (int I = 0; I < 6; ++I) {
        const Bytes Out = Write(P);
        ASSERT_EQ(Out.size(), 33u);
        EXPECT_EQ(Out[0], 0x1F);
        EXPECT_EQ(Out[1], 0x06);
        EXPECT_EQ(Out[2], 0);
        EXPECT_EQ(Out[3], 0);
        EXPECT_EQ(Out[32], 0);
        const std::string Crypt(Out.begin() + 4, Out.begin() + 32);
        EXPECT_EQ(Crypt.substr(0, 3), "$1$");
        EXPECT_EQ(Crypt[5], '$');
        EXPECT_EQ(P.Hash, Crypt);
        Salts.insert(Crypt.substr(3, 2));
        auto Back = ReadBack<TSWFProtect>(Out);
        EXPECT_EQ(Back->Hash, Crypt);
        EXPECT_EQ(Back->Password, "");
    }
    EXPECT_GT(Salts.size(), 1u);  // a fresh salt on every write
    // A hash without a password is written as it is.
    TSWFProtect H;
    H.Hash = "$1$ab$xyz";
    EXPECT_EQ(Write(H), B({0x0C, 0x06, 0, 0, '$', '1', '$', 'a', 'b', '$', 'x', 'y', 'z', 0}));
}

TEST(DisplayListTags, PlaceObject2Bytes) {
    TSWFPlaceObject2 P;
    P.Depth = 1;
    P.SetCharacterID(5);
    P.Matrix().SetTranslate(20, 0);
    EXPECT_EQ(Write(P), B({0x88, 0x06, 0x06, 0x01, 0x00, 0x05, 0x00, 0x0C, 0xA0, 0x00}));
    EXPECT_EQ(P.MinVersion(), 3);

    TSWFPlaceObject2 M;
    M.Depth = 2;
    M.PlaceFlagMove = true;
    EXPECT_EQ(Write(M), B({0x83, 0x06, 0x01, 0x02, 0x00}));

    TSWFPlaceObject2 C;
    C.Depth = 1;
    C.ColorTransform();
    EXPECT_TRUE(C.PlaceFlagHasColorTransform);
    EXPECT_EQ(Write(C), B({0x84, 0x06, 0x08, 0x01, 0x00, 0x00}));

    // Touching the clip actions raises the flag and the version, but an
    // empty block is not written.
    TSWFPlaceObject2 A;
    A.Depth = 1;
    A.ClipActions();
    EXPECT_TRUE(A.PlaceFlagHasClipActions);
    EXPECT_EQ(A.MinVersion(), 5);
    A.SWFVersion = 7;
    EXPECT_EQ(A.MinVersion(), 7);
    EXPECT_EQ(Write(A), B({0x83, 0x06, 0x00, 0x01, 0x00}));
}

TEST(DisplayListTags, PlaceObject2RoundTripAndCopy) {
    TSWFPlaceObject2 P;
    P.Depth = 300;
    P.SetCharacterID(65535);
    P.Matrix().SetScale(1.5f, -2.0f);
    P.Matrix().HasSkew = true;
    P.Matrix().SkewX = 1000;
    P.Matrix().SkewY = -3;
    P.Matrix().SetTranslate(-400, 12345);
    P.ColorTransform().SetMultR(128);
    P.ColorTransform().SetAddA(-16);
    P.SetRatio(9);
    P.SetName("clip");
    P.SetClipDepth(77);
    P.PlaceFlagMove = true;
    const Bytes Out = Write(P);
    auto Back = ReadBack<TSWFPlaceObject2>(Out);
    EXPECT_EQ(Back->Depth, 300);
    EXPECT_EQ(Back->CharacterID, 65535);
    EXPECT_TRUE(Back->PlaceFlagHasCharacter);
    EXPECT_TRUE(Back->PlaceFlagMove);
    EXPECT_EQ(Back->Matrix().GetRec(), P.Matrix().GetRec());
    EXPECT_EQ(Back->ColorTransform().GetRec(), P.ColorTransform().GetRec());
    EXPECT_EQ(Back->Ratio, 9);
    EXPECT_EQ(Back->Name, "clip");
    EXPECT_EQ(Back->ClipDepth, 77);
    EXPECT_EQ(Write(*Back), Out);

    TSWFPlaceObject2 Copy;
    Copy.SetName("old");
    Copy.CopyFrom(P);
    EXPECT_EQ(Write(Copy), Out);
    TSWFPlaceObject2 Empty;
    Copy.CopyFrom(Empty);
    EXPECT_FALSE(Copy.PlaceFlagHasName || Copy.PlaceFlagHasMatrix || Copy.PlaceFlagHasColorTransform ||
                 Copy.PlaceFlagHasCharacter || Copy.PlaceFlagHasRatio || Copy.PlaceFlagHasClipDepth);
    EXPECT_THROW(Copy.CopyFrom(TSWFShowFrame()), EAssignError);
}

TEST(DisplayListTags, RemoveObjects) {
    TSWFRemoveObject2 R2;
    R2.Depth = 3;
    EXPECT_EQ(Write(R2), B({0x02, 0x07, 0x03, 0x00}));
    EXPECT_EQ(R2.MinVersion(), 3);
    TSWFRemoveObject R;
    R.CharacterID = 5;
    R.Depth = 3;
    EXPECT_EQ(Write(R), B({0x44, 0x01, 0x05, 0x00, 0x03, 0x00}));
    EXPECT_EQ(R.MinVersion(), 1);
    auto Back = ReadBack<TSWFRemoveObject>(Write(R));
    EXPECT_EQ(Back->CharacterID, 5);
    EXPECT_EQ(Back->Depth, 3);
    auto Back2 = ReadBack<TSWFRemoveObject2>(Write(R2));
    EXPECT_EQ(Back2->Depth, 3);
}

TEST(ControlTags, BackgroundRoundTripAndCopy) {
    TSWFSetBackgroundColor BG;
    BG.Color->SetRGB(0x00123456);
    auto Back = ReadBack<TSWFSetBackgroundColor>(Write(BG));
    EXPECT_EQ(Back->Color->RGB(), 0x123456u);
    TSWFSetBackgroundColor C;
    C.CopyFrom(BG);
    EXPECT_EQ(C.Color->RGB(), 0x123456u);
    EXPECT_EQ(TSWFEnd().MinVersion(), 1);
    EXPECT_EQ(TSWFShowFrame().LibraryLevel(), 0);
}
