#include <gtest/gtest.h>

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

template <class T>
std::unique_ptr<T> ReadBack(const Bytes& Data) {
    TMemoryStream M(Data);
    TBitsEngine BE(M);
    const std::uint16_t W = BE.ReadWord();
    std::uint32_t Size = W & 63;
    if (Size == 63) Size = BE.ReadDWord();
    auto Obj = GenerateSWFObject(W >> 6);
    auto* Typed = dynamic_cast<T*>(Obj.get());
    EXPECT_NE(Typed, nullptr);
    Obj.release();
    std::unique_ptr<T> R(Typed);
    R->BodySize = Size;
    TMemoryStream Body(Bytes(Data.begin() + M.Position(), Data.end()));
    TBitsEngine BB(Body);
    R->ReadFromStream(BB);
    return R;
}

Bytes DataOf(const TSWFDataObject& T) { return Bytes(T.Data, T.Data + T.DataSize); }

}  // namespace

TEST(BitmapTags, LosslessHeaders) {
    const Bytes Block = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    TSWFDefineBitsLossless L;
    L.CharacterID = 7;
    L.BitmapFormat = 5;
    L.BitmapWidth = 2;
    L.BitmapHeight = 1;
    L.SetData(Block.data(), 10);
    Bytes Expected = B({0x3F, 0x05, 17, 0, 0, 0, 7, 0, 0x05, 0x02, 0x00, 0x01, 0x00});
    Expected.insert(Expected.end(), Block.begin(), Block.end());
    EXPECT_EQ(Write(L), Expected);
    EXPECT_EQ(L.MinVersion(), 2);

    // Format 3 carries the colour-table size after the height.
    L.BitmapFormat = 3;
    L.BitmapColorTableSize = 15;
    const Bytes Out = Write(L);
    EXPECT_EQ(Out[2], 18);
    EXPECT_EQ(Bytes(Out.begin() + 6, Out.begin() + 14), B({7, 0, 3, 2, 0, 1, 0, 15}));
    L.BitmapFormat = 4;
    EXPECT_EQ(Write(L)[2], 17);

    TSWFDefineBitsLossless2 L2;
    L2.BitmapFormat = 5;
    EXPECT_EQ(Write(L2), B({0x3F, 0x09, 7, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0}));
    EXPECT_EQ(L2.MinVersion(), 3);
}

TEST(BitmapTags, JPEGMarkersAndAlphaOffset) {
    // A complete JPEG file gets a second, outer pair of markers.
    const Bytes Jpeg = {0xFF, 0xD8, 0x11, 0x22, 0xFF, 0xD9};
    TSWFDefineBitsJPEG2 J2;
    J2.CharacterID = 3;
    J2.SetData(Jpeg.data(), static_cast<std::int32_t>(Jpeg.size()));
    EXPECT_EQ(Write(J2), B({0x4C, 0x05, 3, 0, 0xFF, 0xD8, 0xFF, 0xD8, 0x11, 0x22, 0xFF, 0xD9, 0xFF, 0xD9}));
    EXPECT_EQ(J2.MinVersion(), 2);
    auto Back2 = ReadBack<TSWFDefineBitsJPEG2>(Write(J2));
    EXPECT_EQ(Back2->CharacterID, 3);
    EXPECT_EQ(DataOf(*Back2), Jpeg);

    // Without the outer markers the file goes in as it is; read back, the
    // data between the file's own markers writes the same bytes.
    J2.WriteMarkers = false;
    const Bytes Plain = Write(J2);
    EXPECT_EQ(Plain, B({0x48, 0x05, 3, 0, 0xFF, 0xD8, 0x11, 0x22, 0xFF, 0xD9}));
    auto Inner = ReadBack<TSWFDefineBitsJPEG2>(Plain);
    EXPECT_EQ(DataOf(*Inner), B({0x11, 0x22}));
    EXPECT_EQ(Write(*Inner), Plain);

    TSWFDefineBits J1;
    J1.SetData(Jpeg.data(), static_cast<std::int32_t>(Jpeg.size()));
    EXPECT_EQ(Write(J1)[0], 0x8C);  // code 6, 12 bytes

    Bytes Data(100, 0xAB);
    const Bytes Alpha = {9, 8, 7};
    TSWFDefineBitsJPEG3 J3;
    J3.CharacterID = 1;
    J3.SetData(Data.data(), 100);
    J3.SetAlphaData(Alpha.data(), 3);
    const Bytes Out = Write(J3);
    ASSERT_EQ(Out.size(), 6u + 2 + 4 + 104 + 3);
    EXPECT_EQ(Bytes(Out.begin() + 6, Out.begin() + 12), B({1, 0, 104, 0, 0, 0}));
    EXPECT_EQ(Bytes(Out.end() - 5, Out.end()), B({0xFF, 0xD9, 9, 8, 7}));
    EXPECT_EQ(J3.MinVersion(), 3);
    auto Back3 = ReadBack<TSWFDefineBitsJPEG3>(Out);
    EXPECT_EQ(DataOf(*Back3), Data);
    EXPECT_EQ(Bytes(Back3->AlphaData, Back3->AlphaData + Back3->AlphaDataSize), Alpha);
    EXPECT_EQ(Write(*Back3), Out);
}

TEST(BitmapTags, EventsWriteStraightIntoTheBody) {
    TSWFDefineBitsLossless L;
    L.BitmapFormat = 5;
    int Calls = 0;
    L.OnDataWrite = [&Calls](TSWFObject& Sender, TBitsEngine& BE) {
        ++Calls;
        EXPECT_EQ(Sender.TagID, tagDefineBitsLossless);
        BE.WriteDWord(0xDDCCBBAA);
    };
    const Bytes Out = Write(L);
    EXPECT_EQ(Calls, 1);
    EXPECT_EQ(Out[2], 11);
    EXPECT_EQ(Bytes(Out.end() - 4, Out.end()), B({0xAA, 0xBB, 0xCC, 0xDD}));

    // A copy takes the event, not a block; a block is copied and owned.
    TSWFDefineBitsLossless C;
    C.CopyFrom(L);
    EXPECT_EQ(Write(C), Out);
    EXPECT_EQ(Calls, 2);
    Bytes Block = {5, 6};
    TSWFDefineBitsLossless Src;
    Src.SetData(Block.data(), 2);
    Src.BitmapWidth = 9;
    TSWFDefineBitsLossless D;
    D.CopyFrom(Src);
    Block[0] = 0;
    EXPECT_EQ(DataOf(D), B({5, 6}));
    EXPECT_TRUE(D.SelfDestroy);
    EXPECT_EQ(D.BitmapWidth, 9);

    TSWFDefineBitsJPEG3 J;
    J.OnAlphaDataWrite = [](TSWFObject&, TBitsEngine& BE) { BE.WriteByte(0x42); };
    const Bytes JOut = Write(J);
    EXPECT_EQ(JOut.back(), 0x42);
    EXPECT_EQ(Bytes(JOut.begin() + 4, JOut.begin() + 8), B({4, 0, 0, 0}));
}

TEST(BitmapTags, LosslessRoundTripAndBadInput) {
    const Bytes Block = {0x78, 0x9C, 1, 2, 3};
    TSWFDefineBitsLossless L;
    L.CharacterID = 300;
    L.BitmapFormat = 3;
    L.BitmapColorTableSize = 200;
    L.BitmapWidth = 640;
    L.BitmapHeight = 480;
    L.SetData(Block.data(), 5);
    auto Back = ReadBack<TSWFDefineBitsLossless>(Write(L));
    EXPECT_EQ(Back->CharacterID, 300);
    EXPECT_EQ(Back->BitmapColorTableSize, 200);
    EXPECT_EQ(Back->BitmapWidth, 640);
    EXPECT_EQ(Back->BitmapHeight, 480);
    EXPECT_EQ(DataOf(*Back), Block);

    // A JPEG3 whose alpha offset lies beyond the body, and a JPEG2 without
    // its start marker, fail instead of reading past the tag.
    TMemoryStream Bad(B({1, 0, 0xFF, 0, 0, 0, 0xFF, 0xD8}));
    TBitsEngine BE(Bad);
    TSWFDefineBitsJPEG3 J3;
    J3.BodySize = 8;
    EXPECT_THROW(J3.ReadFromStream(BE), EReadError);
    TMemoryStream NoMarker(B({1, 0, 1, 2, 3, 4}));
    TBitsEngine BE2(NoMarker);
    TSWFDefineBitsJPEG2 J2;
    J2.BodySize = 6;
    EXPECT_THROW(J2.ReadFromStream(BE2), EReadError);
}
