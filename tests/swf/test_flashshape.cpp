#include <gtest/gtest.h>

#include <zlib.h>

#include "FlashObjects.h"
#include "TestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace {

std::string Data(const std::string& Name) { return std::string(ANIVERT_TEST_DATA) + "/" + Name; }
std::string SwfDump() { return std::string(ANIVERT_TOOLS_DIR) + "/swfdump"; }

std::vector<std::pair<std::int32_t, std::int32_t>> EdgeDeltas(const TFlashShape& S) {
    std::vector<std::pair<std::int32_t, std::int32_t>> R;
    for (const auto& Rec : S.ShapeTag->Edges)
        if (Rec->ShapeRecType == srStraightEdge) {
            auto& E = static_cast<const TSWFStraightEdgeRecord&>(*Rec);
            R.emplace_back(E.DeltaX, E.DeltaY);
        }
    return R;
}

std::uint16_t TagCodeOf(TBasedSWFObject& Obj) {
    TMemoryStream M;
    TBitsEngine BE(M);
    Obj.WriteToStream(BE);
    return static_cast<std::uint16_t>((M.Bytes()[0] | (M.Bytes()[1] << 8)) >> 6);
}

Bytes Inflate(const TSWFDataObject& T) {
    Bytes Out(1 << 20);
    uLongf Len = static_cast<uLongf>(Out.size());
    EXPECT_EQ(uncompress(Out.data(), &Len, T.Data, static_cast<uLong>(T.DataSize)), Z_OK);
    Out.resize(Len);
    return Out;
}

// The lossless pixel data expected for a picture read by ImageMagick: one
// 0xFF (or alpha) byte and the colour, multiplied by alpha, per pixel.
Bytes ExpectedARGB(const Bytes& RGBA, bool WithAlpha) {
    Bytes Out;
    for (std::size_t I = 0; I < RGBA.size(); I += 4) {
        const unsigned A = WithAlpha ? RGBA[I + 3] : 255;
        if (A == 0) {
            Out.insert(Out.end(), {0, 0, 0, 0});
            continue;
        }
        Out.push_back(static_cast<std::uint8_t>(A));
        for (int C = 0; C < 3; ++C) Out.push_back(static_cast<std::uint8_t>((RGBA[I + static_cast<std::size_t>(C)] * A + 127) / 255));
    }
    return Out;
}

}  // namespace

TEST(FlashShape, RectangleOutline) {
    TFlashMovie M(0, 0, 100, 50, 24.0f, true);
    TFlashShape* S = M.AddRectangle(0, 0, 99, 49);
    EXPECT_EQ(S->Bounds->GetRect(), (TRect{0, 0, 1980, 980}));
    auto& R = S->ShapeTag->Edges;
    ASSERT_EQ(R.size(), 6u);
    auto& First = static_cast<TSWFStyleChangeRecord&>(*R[0]);
    EXPECT_FALSE(First.StateMoveTo);
    EXPECT_TRUE(First.StateFillStyle1);
    EXPECT_EQ(First.FillStyle1, 0);
    EXPECT_EQ(EdgeDeltas(*S), (std::vector<std::pair<std::int32_t, std::int32_t>>{{1980, 0}, {0, 980}, {-1980, 0}, {0, -980}}));
    EXPECT_EQ(R[5]->ShapeRecType, srEnd);
    // A rectangle away from the origin starts with a move.
    TFlashShape* T = M.AddRectangle(TRect{2, 3, 4, 5});
    auto& Move = static_cast<TSWFStyleChangeRecord&>(*T->ShapeTag->Edges[0]);
    EXPECT_TRUE(Move.StateMoveTo);
    EXPECT_EQ(Move.DeltaX, 40);
    EXPECT_EQ(Move.DeltaY, 60);
    EXPECT_EQ(T->GetCharacterID(), 2);
    EXPECT_EQ(T->ShapeTag->ShapeId, 2);
}

TEST(FlashShape, LongEdgesAreSplit) {
    TFlashMovie M(0, 0, 10, 10, 24.0f, false);
    TFlashShape* S = M.AddShape();
    S->Edges->LineDelta(70000, 0);
    S->Edges->LineDelta(0, -131071);
    EXPECT_EQ(EdgeDeltas(*S), (std::vector<std::pair<std::int32_t, std::int32_t>>{
                                  {35000, 0}, {35000, 0}, {0, -43690}, {0, -43691}, {0, -43690}}));
    EXPECT_EQ(S->Edges->LineDelta(0, 0), nullptr);
    EXPECT_EQ(S->Edges->PenX, 70000);
    EXPECT_EQ(S->Edges->PenY, -131071);
    // A diagonal splits on both axes in step.
    S->Edges->LineDelta(100000, 1);
    const auto D = EdgeDeltas(*S);
    EXPECT_EQ(D[5], (std::pair<std::int32_t, std::int32_t>{50000, 0}));
    EXPECT_EQ(D[6], (std::pair<std::int32_t, std::int32_t>{50000, 1}));
    // It writes: every piece fits an edge record.
    S->Edges->EndShape();
    EXPECT_EQ(TagCodeOf(*S), tagDefineShape2);
}

TEST(FlashShape, FillsDecideTheTag) {
    TFlashMovie M(0, 0, 10, 10, 24.0f, true);
    TFlashShape* Clear = M.AddRectangle(0, 0, 10, 10);
    Clear->SetSolidFill(0, 0, 0, 0);
    EXPECT_TRUE(Clear->HasAlpha);
    EXPECT_EQ(Clear->MinVersion(), 3);
    EXPECT_EQ(TagCodeOf(*Clear), tagDefineShape3);
    TFlashShape* White = M.AddRectangle(0, 0, 10, 10);
    TSWFColorFill* F = White->SetSolidFill(255, 255, 255, 255);
    EXPECT_EQ(TagCodeOf(*White), tagDefineShape2);
    EXPECT_EQ(White->MinVersion(), 2);
    // Adding the same fill again selects it without a second copy.
    White->SetSolidFill(1, 2, 3, 255);
    EXPECT_EQ(White->FillStyle1, 2);
    White->AddFillStyle(F);
    EXPECT_EQ(White->ShapeTag->FillStyles.size(), 2u);
    EXPECT_EQ(White->FillStyle1, 1);
    EXPECT_EQ(static_cast<TSWFStyleChangeRecord&>(*White->ShapeTag->Edges[0]).FillStyle1, 1);
    TSWFColorFill Stranger;
    EXPECT_THROW(White->AddFillStyle(&Stranger), std::invalid_argument);

    // A bitmap fill never makes the shape a DefineShape3, even for an image with alpha.
    TFlashImage* Img = M.AddImage(Data("bmp/b32.bmp"));
    EXPECT_TRUE(Img->HasAlpha);
    TFlashShape* Pic = M.AddRectangle(0, 0, 13, 7);
    Pic->SetImageFill(Img, 1);
    EXPECT_EQ(TagCodeOf(*Pic), tagDefineShape2);
}

TEST(FlashShape, ImageFillModesAndOrder) {
    TFlashMovie M(0, 0, 100, 50, 24.0f, true);
    TFlashShape* S = M.AddRectangle(0, 0, 100, 50);
    TFlashImage* Img = M.AddImage(Data("bmp/b24.bmp"));  // 21 x 9, added after its shape
    TSWFImageFill* F = S->SetImageFill(Img, 1, 7, 7);
    EXPECT_EQ(F->FillStyleType, fsClippedBitmap);
    EXPECT_EQ(F->BitmapId, Img->GetCharacterID());
    EXPECT_EQ(F->Matrix->TranslateX, -5);
    EXPECT_EQ(F->Matrix->TranslateY, -5);
    EXPECT_EQ(F->Matrix->ScaleX, SingleToFixed(static_cast<float>(2000.0 / 21 + 0.003662109375)));
    EXPECT_EQ(F->Matrix->ScaleY, SingleToFixed(static_cast<float>(1000.0 / 9 + 0.003662109375)));
    // The bitmap now comes before the shape that fills with it.
    ASSERT_EQ(M.ObjectList.size(), 2u);
    EXPECT_EQ(M.ObjectList[0].get(), Img);
    EXPECT_EQ(M.ObjectList[1].get(), S);

    // A 100 x 50 picture stretched over a 100 x 50 rectangle.
    TempDir D;
    TFlashMovie P(0, 0, 100, 50, 24.0f, true);
    Bytes Bmp = ReadFileBytes(Data("bmp/b24.bmp"));
    TFlashImage Sized(&P);
    TFlashShape* R = P.AddRectangle(0, 0, 100, 50);
    // Stand-in size: stretch against 100 x 50 through a 1-bit picture of that size.
    Bytes F1(62, 0);
    F1[0] = 'B';
    F1[1] = 'M';
    F1[10] = 62;
    F1[14] = 40;
    F1[18] = 100;
    F1[22] = 50;
    F1[26] = 1;
    F1[28] = 1;
    WriteFileBytes(D.File("hundred.bmp"), F1);
    TFlashImage* H = P.AddImage(D.File("hundred.bmp"));
    TSWFImageFill* HF = R->SetImageFill(H, 1, 1, 1);
    EXPECT_EQ(HF->Matrix->ScaleX, 1310960);  // 20.003662109375 in 16.16
    EXPECT_EQ(HF->Matrix->ScaleY, 1310960);
    // Modes 0 and 2 take the given scale times 20; 2 repeats.
    TSWFImageFill* Z = R->SetImageFill(H, 0, 2, 0.5f);
    EXPECT_EQ(Z->FillStyleType, fsClippedBitmap);
    EXPECT_EQ(Z->Matrix->ScaleX, 40 * 65536);
    EXPECT_EQ(Z->Matrix->ScaleY, 10 * 65536);
    TSWFImageFill* Rep = R->SetImageFill(H, 2, 1, 1);
    EXPECT_EQ(Rep->FillStyleType, fsRepeatingBitmap);
    EXPECT_EQ(R->FillStyle1, 3);
}

// Four pictures, each in a rectangle, through the whole writer and back.
TEST(FlashShape, MovieWithPicturesReadsBack) {
    TempDir D;
    const std::string Name = D.File("pictures.swf");
    {
        TFlashMovie M(0, 0, 100, 40, 24.0f, true);
        M.SetVersion(6);
        const char* Files[] = {"bmp/b32.bmp", "bmp/b24.bmp", "bmp/b8.bmp", "jpeg/baseline.jpg"};
        std::uint16_t Depth = 2;
        std::int32_t X = 0;
        for (const char* F : Files) {
            TFlashImage* Img = M.AddImage(Data(F));
            TFlashShape* S = M.AddRectangle(X, 0, X + Img->Width(), Img->Height());
            S->SetImageFill(Img, 1);
            M.PlaceObject(S, Depth);
            Depth += 2;
            X += Img->Width();
        }
        M.ShowFrame(1);
        M.MakeStream();
        M.SaveFile(Name);
    }
    std::string Out;
    ASSERT_EQ(RunCommand(SwfDump() + " " + Name, &Out), 0) << Out;
    for (const char* Want : {"DefineBitsLossless2", "id 1 format 5 13 x 7 with alpha", "DefineBitsLossless ",
                             "id 3 format 5 21 x 9, zlib", "id 5 format 3 21 x 9 colours", "DefineBitsJPEG2",
                             "id 7 JPEG data 580 bytes", "DefineShape2", "fill 1: bitmap 1 type 0x41",
                             "style fill1 1", "line (420, 0)", "depth 8 character 8"})
        EXPECT_NE(Out.find(Want), std::string::npos) << Want << "\n" << Out;

    TSWFFileReader R;
    R.LoadFile(Name);
    std::vector<TSWFDefineBitsLossless*> Lossless;
    for (auto& T : R.Tags)
        if (auto* L = dynamic_cast<TSWFDefineBitsLossless*>(T.Tag.get())) Lossless.push_back(L);
    ASSERT_EQ(Lossless.size(), 3u);
    EXPECT_EQ(Inflate(*Lossless[0]), ExpectedARGB(ReadFileBytes(Data("bmp/b32.rgba")), true));
    EXPECT_EQ(Inflate(*Lossless[1]), ExpectedARGB(ReadFileBytes(Data("bmp/b24.rgba")), false));
    // The palette picture: its table and indices give ImageMagick's colours,
    // each row padded to a multiple of 4 with zero bytes.
    const Bytes P = Inflate(*Lossless[2]);
    const int Colours = Lossless[2]->BitmapColorTableSize + 1;
    const Bytes Ref = ReadFileBytes(Data("bmp/b8.rgba"));
    ASSERT_EQ(P.size(), static_cast<std::size_t>(Colours * 3 + 24 * 9));
    for (int Y = 0; Y < 9; ++Y)
        for (int X = 0; X < 24; ++X) {
            const std::uint8_t Index = P[static_cast<std::size_t>(Colours * 3 + Y * 24 + X)];
            if (X >= 21) {
                EXPECT_EQ(Index, 0);
                continue;
            }
            ASSERT_LT(Index, Colours);
            for (int C = 0; C < 3; ++C)
                EXPECT_EQ(P[static_cast<std::size_t>(Index * 3 + C)], Ref[static_cast<std::size_t>((Y * 21 + X) * 4 + C)]);
        }
}

// An independent reader of the lossless tags: ffmpeg's demuxer decodes them
// as video frames.
TEST(FlashShape, FfmpegDecodesTheBitmaps) {
    ASSERT_TRUE(Installed("ffmpeg", "ffmpeg"));
    TempDir D;
    struct Case {
        const char* Bmp;
        const char* Ref;
        bool Alpha;
    };
    // ffmpeg reads the rows of colour-mapped bitmaps without their padding
    // to 4 bytes, so those pictures are 20 pixels wide.
    for (const Case& C : {Case{"bmp/b32.bmp", "bmp/b32.rgba", true}, Case{"bmp/b24.bmp", "bmp/b24.rgba", false},
                          Case{"bmp/b8w20.bmp", "bmp/b8w20.rgba", false}, Case{"bmp/b4w20.bmp", "bmp/b4w20.rgba", false},
                          Case{"bmp/b1w20.bmp", "bmp/b1w20.rgba", false}}) {
        SCOPED_TRACE(C.Bmp);
        const std::string Movie = D.File("one.swf");
        {
            TFlashMovie M(0, 0, 30, 20, 24.0f, true);
            M.SetVersion(6);
            TFlashImage* Img = M.AddImage(Data(C.Bmp));
            TFlashShape* S = M.AddRectangle(0, 0, Img->Width(), Img->Height());
            S->SetImageFill(Img, 1);
            M.PlaceObject(S, 2);
            M.ShowFrame(1);
            M.MakeStream();
            M.SaveFile(Movie);
        }
        const std::string Raw = D.File("out.rgba");
        std::string Log;
        ASSERT_EQ(RunCommand("ffmpeg -v error -y -i '" + Movie + "' -frames:v 1 -f rawvideo -pix_fmt rgba '" + Raw + "'", &Log), 0)
            << Log;
        const Bytes Got = ReadFileBytes(Raw);
        const Bytes Ref = ReadFileBytes(Data(C.Ref));
        ASSERT_EQ(Got.size(), Ref.size());
        // ffmpeg shows the stored colours, which are multiplied by alpha.
        const Bytes Expected = ExpectedARGB(Ref, C.Alpha);
        int Bad = 0;
        for (std::size_t I = 0; I < Got.size(); I += 4) {
            for (int K = 0; K < 3; ++K) Bad += Got[I + static_cast<std::size_t>(K)] != Expected[I + 1 + static_cast<std::size_t>(K)];
            if (C.Alpha) Bad += Got[I + 3] != Expected[I];
        }
        EXPECT_EQ(Bad, 0);
    }
}
