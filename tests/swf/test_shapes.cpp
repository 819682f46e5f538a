#include <gtest/gtest.h>

#include "SWFObjects.h"
#include "SWFTestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace {

template <class R>
R* Add(TSWFDefineShape& S) {
    S.Edges.push_back(std::make_unique<R>());
    return static_cast<R*>(S.Edges.back().get());
}

void AddEdge(TSWFDefineShape& S, std::int32_t DX, std::int32_t DY) {
    auto* E = Add<TSWFStraightEdgeRecord>(S);
    E->DeltaX = DX;
    E->DeltaY = DY;
}

// Writes records alone (in a shape without styles) and returns the bits
// after the style arrays and bit counts.
Bytes RecordBytes(TSWFShapeRecord& R) {
    TMemoryStream M;
    TBitsEngine BE(M);
    R.WriteToStream(BE);
    BE.FlushLastByte(true);
    return M.Bytes();
}

std::unique_ptr<TSWFDefineShape> ReadShape(const Bytes& Tag) {
    TMemoryStream M(Tag);
    TBitsEngine BE(M);
    const std::uint16_t W = BE.ReadWord();
    std::uint32_t Size = W & 63;
    if (Size == 63) Size = BE.ReadDWord();
    auto Obj = GenerateSWFObject(W >> 6);
    auto* S = dynamic_cast<TSWFDefineShape*>(Obj.get());
    EXPECT_NE(S, nullptr);
    Obj.release();
    std::unique_ptr<TSWFDefineShape> R(S);
    R->BodySize = Size;
    R->ReadFromStream(BE);
    EXPECT_EQ(M.Position(), M.Size());
    return R;
}

}  // namespace

TEST(ShapeTags, TheRedSquare) {
    TSWFDefineShape3 S;
    S.ShapeId = 1;
    S.ShapeBounds->SetRect(0, 0, 200, 200);
    auto Fill = std::make_unique<TSWFColorFill>();
    Fill->Color->SetRGBA(0xFF0000FF);
    S.FillStyles.push_back(std::move(Fill));
    auto* SC = Add<TSWFStyleChangeRecord>(S);
    SC->StateMoveTo = true;
    SC->SetFillStyle0(1);
    AddEdge(S, 200, 0);
    AddEdge(S, 0, 200);
    AddEdge(S, -200, 0);
    AddEdge(S, 0, -200);
    Add<TSWFEndShapeRecord>(S);
    const Bytes Out = WriteTag(S);
    EXPECT_EQ(Out, B({0x1B, 0x08, 0x01, 0x00, 0x48, 0x01, 0x90, 0x00, 0x64, 0x00, 0x01, 0x00, 0xFF, 0x00, 0x00,
                      0xFF, 0x00, 0x10, 0x0C, 0x1D, 0xC6, 0x46, 0xEB, 0x23, 0x72, 0x71, 0xBB, 0x38, 0x00}));
    EXPECT_EQ(S.MinVersion(), 3);
    // Read back, it writes the same bytes.
    auto Back = ReadShape(Out);
    EXPECT_EQ(Back->Edges.size(), 6u);
    EXPECT_EQ(WriteTag(*Back), Out);
}

TEST(ShapeTags, BitCountsAndStyleFlags) {
    // One fill style, no line styles: bit counts 1 and 0, and a record that
    // names line style 1 loses its line flag.
    TSWFDefineShape S;
    S.FillStyles.push_back(std::make_unique<TSWFColorFill>());
    auto* SC = Add<TSWFStyleChangeRecord>(S);
    SC->SetFillStyle1(1);
    SC->SetLineStyle(1);
    const Bytes Out = Body(S);
    // id, rect 00, 1 fill (00 + RGB), 0 lines, bits 0x10, then the record
    // 0 0 0 1 0 0 | fill1 in 1 bit = 1 | end 000000 -> 00010010 00000000
    EXPECT_EQ(Out, B({0, 0, 0x00, 0x01, 0x00, 0, 0, 0, 0x00, 0x10, 0x12, 0x00}));
    EXPECT_FALSE(SC->StateLineStyle);

    // Counts of 255 and more take the escape byte and a word.
    TMemoryStream M;
    TBitsEngine BE(M);
    TSWFFillStyleList Fills;
    TSWFLineStyleList Lines;
    for (int I = 0; I < 255; ++I) Fills.push_back(std::make_unique<TSWFColorFill>());
    WriteStyleArrays(BE, Fills, Lines, false);
    EXPECT_EQ(Bytes(M.Bytes().begin(), M.Bytes().begin() + 3), B({0xFF, 0xFF, 0x00}));
    Fills.pop_back();
    TMemoryStream M2;
    TBitsEngine BE2(M2);
    WriteStyleArrays(BE2, Fills, Lines, false);
    EXPECT_EQ(M2.Bytes()[0], 254);
    EXPECT_EQ(M2.Size(), 1 + 254 * 4 + 1);
    EXPECT_EQ(StyleIndexBits(0), 0);
    EXPECT_EQ(StyleIndexBits(1), 1);
    EXPECT_EQ(StyleIndexBits(2), 2);
    EXPECT_EQ(StyleIndexBits(255), 8);
    EXPECT_EQ(StyleIndexBits(256), 9);
}

TEST(ShapeTags, EdgeRecords) {
    TSWFStraightEdgeRecord V;
    V.DeltaY = 100;
    // 1 1 0110 0 1 01100100 -> 11011001 01100100 (+ pad)
    EXPECT_EQ(RecordBytes(V), B({0xD9, 0x64}));
    TSWFStraightEdgeRecord H;
    H.DeltaX = 100;
    EXPECT_EQ(RecordBytes(H), B({0xD8, 0x64}));
    TSWFStraightEdgeRecord G;
    G.DeltaX = 3;
    G.DeltaY = -3;
    // 1 1 0001 1 011 101 -> 11000110 11101 000
    EXPECT_EQ(RecordBytes(G), B({0xC6, 0xE8}));
    TSWFStraightEdgeRecord Z;
    EXPECT_EQ(RecordBytes(Z), Bytes{});
    TSWFCurvedEdgeRecord C;
    C.ControlX = 1;
    C.AnchorY = -1;
    // 1 0 0000 01 00 00 11 -> 10000001 00001100
    EXPECT_EQ(RecordBytes(C), B({0x81, 0x0C}));
    TSWFStraightEdgeRecord Long;
    Long.DeltaX = 65536;
    EXPECT_THROW(RecordBytes(Long), std::length_error);
    Long.DeltaX = 65535;
    EXPECT_EQ(RecordBytes(Long).size(), 4u);  // 2 + 4 + 2 + 17 bits

    // A style change without style flags moves, even without StateMoveTo.
    TSWFStyleChangeRecord S;
    S.DeltaX = 1;
    S.DeltaY = 0;
    // 0 0000 1 00010 01 00 -> 00000100 01001000
    EXPECT_EQ(RecordBytes(S), B({0x04, 0x48}));
}

TEST(ShapeTags, EndRecordsAndColourSizes) {
    TSWFDefineShape S;
    AddEdge(S, 10, 0);
    const Bytes Open = Body(S);
    Add<TSWFEndShapeRecord>(S);
    EXPECT_EQ(Body(S), Open);  // a final end record is the one appended otherwise
    TSWFDefineShape T;
    AddEdge(T, 10, 0);
    Add<TSWFEndShapeRecord>(T);
    AddEdge(T, 10, 0);
    TSWFDefineShape U;
    AddEdge(U, 10, 0);
    AddEdge(U, 10, 0);
    EXPECT_EQ(Body(T), Body(U));  // an end record in the middle is skipped

    for (bool Alpha : {false, true}) {
        TSWFDefineShape3 Sh;
        if (!Alpha) {
            Sh.TagID = tagDefineShape2;
            Sh.HasAlpha = false;
        }
        auto F = std::make_unique<TSWFColorFill>();
        F->Color->SetRGBA(0x80112233);
        Sh.FillStyles.push_back(std::move(F));
        auto L = std::make_unique<TSWFLineStyle>();
        L->Width = 20;
        L->Color->SetRGBA(0x40000000);
        TSWFLineStyle* LP = L.get();
        Sh.LineStyles.push_back(std::move(L));
        const Bytes Out = Body(Sh);
        // id, rect, count, type, colour, count, width, colour, bits, end
        EXPECT_EQ(Out.size(), Alpha ? 2u + 1 + 1 + 1 + 4 + 1 + 2 + 4 + 1 + 1 : 2u + 1 + 1 + 1 + 3 + 1 + 2 + 3 + 1 + 1);
        EXPECT_EQ(Sh.MinVersion(), Alpha ? 3 : 2);
        if (Alpha) EXPECT_EQ(Out[8], 0x80);
        else EXPECT_EQ(LP->Color->A, 255);  // a line colour without alpha becomes opaque
    }
}

TEST(ShapeTags, BitmapFillMatrix) {
    TSWFImageFill F;
    F.BitmapId = 1;
    F.Matrix->SetScale(20.0f, 20.0f);
    TMemoryStream M;
    TBitsEngine BE(M);
    F.WriteToStream(BE);
    EXPECT_EQ(M.Bytes(), B({0x41, 0x01, 0x00, 0xD9, 0x40, 0x00, 0x05, 0x00, 0x00, 0x00}));
}

TEST(ShapeTags, EveryRecordAndStyleRoundTrips) {
    TSWFDefineShape3 S;
    S.ShapeId = 77;
    S.ShapeBounds->SetRect(-100, -50, 3000, 2000);
    auto Solid = std::make_unique<TSWFColorFill>();
    Solid->Color->SetRGBA(0x7F102030);
    S.FillStyles.push_back(std::move(Solid));
    auto Grad = std::make_unique<TSWFGradientFill>();
    Grad->FillStyleType = fsRadialGradient;
    Grad->Count = 3;
    for (int I = 1; I <= 3; ++I) {
        Grad->Colors(I).SetRGBA(0x10203040u * static_cast<std::uint32_t>(I));
        Grad->Ratio(I) = static_cast<std::uint8_t>(I * 80);
    }
    Grad->Matrix->SetScale(0.5f, 2.0f);
    S.FillStyles.push_back(std::move(Grad));
    auto Img = std::make_unique<TSWFImageFill>();
    Img->FillStyleType = fsRepeatingBitmapHard;
    Img->BitmapId = 9;
    Img->Matrix->SetTranslate(-5, -5);
    S.FillStyles.push_back(std::move(Img));
    auto Line = std::make_unique<TSWFLineStyle>();
    Line->Width = 40;
    Line->Color->SetRGBA(0x01020304);
    S.LineStyles.push_back(std::move(Line));

    auto* First = Add<TSWFStyleChangeRecord>(S);
    First->StateMoveTo = true;
    First->DeltaX = -100;
    First->DeltaY = -50;
    First->SetFillStyle0(3);
    First->SetFillStyle1(2);
    First->SetLineStyle(1);
    AddEdge(S, 3100, 0);
    auto* Curve = Add<TSWFCurvedEdgeRecord>(S);
    Curve->ControlX = 10;
    Curve->ControlY = 1000;
    Curve->AnchorX = -10;
    Curve->AnchorY = 1050;
    // New styles switch the index widths of the records after them.
    auto* Switch = Add<TSWFStyleChangeRecord>(S);
    for (int I = 0; I < 5; ++I) Switch->NewFillStyles().push_back(std::make_unique<TSWFColorFill>());
    AddEdge(S, -3100, -2050);
    auto* Last = Add<TSWFStyleChangeRecord>(S);
    Last->SetFillStyle0(4);
    Add<TSWFEndShapeRecord>(S);

    const Bytes Out = WriteTag(S);
    auto Back = ReadShape(Out);
    EXPECT_EQ(WriteTag(*Back), Out);
    ASSERT_EQ(Back->FillStyles.size(), 3u);
    auto* G = dynamic_cast<TSWFGradientFill*>(Back->FillStyles[1].get());
    ASSERT_NE(G, nullptr);
    EXPECT_EQ(G->FillStyleType, fsRadialGradient);
    EXPECT_EQ(G->GetGradientRec(2).Color, 0x20406080u);
    EXPECT_EQ(G->GetGradientRec(3).Ratio, 240);
    auto* BackLast = dynamic_cast<TSWFStyleChangeRecord*>(Back->Edges[5].get());
    ASSERT_NE(BackLast, nullptr);
    EXPECT_EQ(BackLast->FillStyle0, 4);
    EXPECT_EQ(BackLast->FillBits, 3);

    // A deep copy writes the same bytes.
    TSWFDefineShape3 Copy;
    Copy.CopyFrom(S);
    EXPECT_EQ(WriteTag(Copy), Out);
}

TEST(ShapeTags, BadInputFailsCleanly) {
    // Unknown fill type, and a gradient with too many entries.
    TMemoryStream M(B({1, 0, 0, 1, 0x33}));
    TBitsEngine BE(M);
    TSWFDefineShape S;
    S.BodySize = 5;
    EXPECT_THROW(S.ReadFromStream(BE), EReadError);
    TMemoryStream G(B({1, 0, 0, 1, 0x10, 0, 9}));
    TBitsEngine GE(G);
    TSWFDefineShape S2;
    S2.BodySize = 7;
    EXPECT_THROW(S2.ReadFromStream(GE), EReadError);
    // Records that never end run into the end of the body.
    TMemoryStream R(B({1, 0, 0, 0, 0, 0x00, 0xFF, 0xFF}));
    TBitsEngine RE(R);
    TSWFDefineShape S3;
    S3.BodySize = 8;
    EXPECT_THROW(S3.ReadFromStream(RE), EReadError);
}
