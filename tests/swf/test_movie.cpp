#include <gtest/gtest.h>

#include "FlashObjects.h"
#include "TestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace {

// A placeable character that writes a raw tag with its id, standing in for
// images, shapes and buttons.
class TTestCharacter : public TFlashVisualObject {
public:
    void CopyFrom(const TBasedSWFObject& Source) override { TFlashIDObject::CopyFrom(Source); }
    void WriteToStream(TBitsEngine& BE) override {
        TSWFUnknownTag T(tagDefineShape);
        T.Data = {static_cast<std::uint8_t>(GetCharacterID()), static_cast<std::uint8_t>(GetCharacterID() >> 8)};
        T.WriteToStream(BE);
    }
};

class TTestMovie : public TFlashMovie {
public:
    using TFlashMovie::TFlashMovie;
    std::vector<TTestCharacter*> Characters;
    TTestCharacter* AddCharacter() { return RegisterCharacter(std::make_unique<TTestCharacter>(), Characters); }
};

Bytes BodyOf(TFlashMovie& M) {
    M.MakeStream();
    return M.Body->Bytes();
}

}  // namespace

TEST(Movie, ShowFrameCountsAndTags) {
    TFlashMovie M(0, 0, 10, 10, 24.0f, true);
    M.ShowFrame(0);
    EXPECT_EQ(M.ObjectList.size(), 1u);
    EXPECT_EQ(M.FrameCount, 1);
    M.ShowFrame(3);
    EXPECT_EQ(M.ObjectList.size(), 4u);
    EXPECT_EQ(M.FrameCount, 4);
    EXPECT_EQ(M.CurrentFrame, 3);
    EXPECT_EQ(BodyOf(M), B({0x40, 0, 0x40, 0, 0x40, 0, 0x40, 0, 0, 0}));
    EXPECT_EQ(M.FrameCount, 4);
    // Actions for a frame already shown go right before its ShowFrame tag;
    // those of the frame not yet ended at the end.
    M.AddActions(M.CurrentFrame)->Actions().Add(std::make_unique<TSWFActionStop>());
    M.AddActions(0)->Actions().Add(std::make_unique<TSWFActionPlay>());
    M.AddActions(4)->Actions().Add(std::make_unique<TSWFActionNextFrame>());
    EXPECT_EQ(BodyOf(M), B({0x02, 0x03, 0x06, 0x00, 0x40, 0, 0x40, 0, 0x40, 0, 0x02, 0x03, 0x07, 0x00, 0x40, 0,
                            0x02, 0x03, 0x04, 0x00, 0, 0}));
    EXPECT_EQ(M.FrameCount, 4);
}

TEST(Movie, EmptyMovieWritesOnlyTheEndTag) {
    TFlashMovie M(0, 0, 10, 10, 24.0f, true);
    M.ShowFrame(2);
    M.ObjectList.clear();
    EXPECT_EQ(BodyOf(M), B({0, 0}));
    EXPECT_EQ(M.FrameCount, 0);  // the number of ShowFrame tags written
    // An End tag object at the end is not doubled.
    M.AddObject(std::make_unique<TSWFShowFrame>());
    M.AddObject(std::make_unique<TSWFEnd>());
    EXPECT_EQ(BodyOf(M), B({0x40, 0, 0, 0}));
    EXPECT_EQ(M.FrameCount, 1);
}

TEST(Movie, RemovalsByCharacterOrDepth) {
    TFlashMovie M(0, 0, 10, 10, 24.0f, true);
    TTestCharacter Shape;
    Shape.SetCharacterID(3);
    M.RemoveObject(4, &Shape);
    M.RemoveObject(4, nullptr);
    EXPECT_EQ(BodyOf(M), B({0x44, 0x01, 0x03, 0x00, 0x04, 0x00, 0x02, 0x07, 0x04, 0x00, 0, 0}));
}

TEST(Movie, CharacterIdsAndTagOrder) {
    TTestMovie M(0, 0, 100, 50, 24.0f, true);
    TTestCharacter* A = M.AddCharacter();
    TFlashPlaceObject* P = M.PlaceObject(A, 2);
    TTestCharacter* C = M.AddCharacter();
    TTestCharacter* D = M.AddCharacter();
    EXPECT_EQ(A->GetCharacterID(), 1);
    EXPECT_EQ(C->GetCharacterID(), 2);
    EXPECT_EQ(D->GetCharacterID(), 3);
    EXPECT_EQ(M.NextCharacterID, 4);
    EXPECT_EQ(P->GetCharacterID(), 1);
    EXPECT_EQ(M.Characters.size(), 3u);
    EXPECT_EQ(A->Owner(), nullptr);  // registration does not set an owner
    P->SetTranslate(0, 0);
    EXPECT_FALSE(P->PlaceTag().PlaceFlagHasMatrix);
    M.ShowFrame(1);
    EXPECT_EQ(BodyOf(M), B({0x82, 0x00, 0x01, 0x00,             // shape 1
                            0x85, 0x06, 0x02, 0x02, 0x00, 0x01, 0x00,  // place 1 at depth 2
                            0x82, 0x00, 0x02, 0x00,             // shape 2
                            0x82, 0x00, 0x03, 0x00,             // shape 3
                            0x40, 0x00, 0x00, 0x00}));
}

TEST(Movie, PlacementTranslationInTheCallersUnits) {
    TTestMovie M(0, 0, 100, 50, 24.0f, true);
    TTestCharacter* A = M.AddCharacter();
    TFlashPlaceObject* P = M.PlaceObject(A, 1);
    P->SetTranslate(1, 0);
    EXPECT_EQ(P->PlaceTag().Matrix().TranslateX, 20);
    // Once a matrix exists, a zero translation is stored too.
    P->SetTranslate(0, 0);
    EXPECT_EQ(P->PlaceTag().Matrix().TranslateX, 0);
    TFlashPlaceObject* Moved = M.PlaceObject(nullptr, 3);
    Moved->SetMove(true);
    Moved->SetTranslate(0, 0);
    EXPECT_TRUE(Moved->PlaceTag().PlaceFlagHasMatrix);
    EXPECT_FALSE(Moved->PlaceTag().PlaceFlagHasCharacter);
    TFlashMovie Twips(0, 0, 100, 50, 24.0f, false);
    TFlashPlaceObject* T = Twips.PlaceObject(nullptr, 1);
    T->SetTranslate(7, 9);
    EXPECT_EQ(T->PlaceTag().Matrix().TranslateY, 9);
}

TEST(Movie, VersionIsOnlyRaised) {
    TFlashMovie M(0, 0, 10, 10, 24.0f, true);
    M.PlaceObject(nullptr, 1);
    M.ShowFrame(1);
    M.MakeStream();
    EXPECT_EQ(M.Version(), 5);
    M.SetVersion(6);
    M.MakeStream();
    EXPECT_EQ(M.Version(), 6);
    // A named anchor needs version 6.
    TFlashMovie A(0, 0, 10, 10, 24.0f, true);
    auto Label = std::make_unique<TSWFFrameLabel>("here");
    Label->IsAnchor = true;
    A.AddObject(std::move(Label));
    A.MakeStream();
    EXPECT_EQ(A.Version(), 6);
    // Placements learn the version in force when they are written.
    TFlashMovie V(0, 0, 10, 10, 24.0f, true);
    V.SetVersion(7);
    TFlashPlaceObject* P = V.PlaceObject(nullptr, 1);
    V.MakeStream();
    EXPECT_EQ(P->PlaceTag().SWFVersion, 7);
}

TEST(Movie, MakeStreamTwiceGivesTheSameBody) {
    TTestMovie M(0, 0, 10, 10, 24.0f, true);
    for (int I = 0; I < 5; ++I) {
        TTestCharacter* C = M.AddCharacter();
        M.PlaceObject(C, static_cast<std::uint16_t>(2 * I))->SetTranslate(I, -I);
        M.ShowFrame(static_cast<std::uint16_t>(I));
    }
    const Bytes First = BodyOf(M);
    const std::uint16_t Frames = M.FrameCount;
    EXPECT_EQ(BodyOf(M), First);
    EXPECT_EQ(M.FrameCount, Frames);
    EXPECT_EQ(Frames, 1 + 1 + 2 + 3 + 4);
}

TEST(Movie, LabelsPendingObjectsBackgroundAndProtect) {
    TFlashMovie M(0, 0, 10, 10, 24.0f, true);
    M.FrameLabel = "a";
    auto Pending = std::make_unique<TSWFRemoveObject2>();
    Pending->Depth = 3;
    M.PendingObject = std::move(Pending);
    M.ShowFrame(1);
    EXPECT_TRUE(M.FrameLabel.empty());
    EXPECT_EQ(M.PendingObject, nullptr);
    M.ShowFrame(1);
    EXPECT_EQ(BodyOf(M), B({0xC2, 0x0A, 'a', 0, 0x02, 0x07, 3, 0, 0x40, 0, 0x40, 0, 0, 0}));

    TFlashMovie C(0, 0, 10, 10, 24.0f, true);
    EXPECT_FALSE(C.HasBackgroundColor());
    C.BackgroundColor().SetRGB(0x00FF8000);
    EXPECT_TRUE(C.HasBackgroundColor());
    C.Protect = true;
    EXPECT_EQ(BodyOf(C), B({0x43, 0x02, 0x00, 0x80, 0xFF, 0x00, 0x06, 0, 0}));
    EXPECT_EQ(C.Version(), 5);
    C.ProtectPassword = "pw";
    C.SetVersion(4);
    const Bytes WithPassword = BodyOf(C);
    EXPECT_EQ(C.Version(), 5);
    EXPECT_EQ(WithPassword[5], 0x1F);
    EXPECT_EQ(WithPassword[6], 0x06);
}

TEST(Movie, ProgressWhileBuilding) {
    TFlashMovie M(0, 0, 10, 10, 24.0f, true);
    M.ShowFrame(8);
    std::vector<int> Seen;
    M.OnProgress = [&](TBasedSWFStream&, int Percent, int Phase) {
        EXPECT_EQ(Phase, 1);
        Seen.push_back(Percent);
    };
    M.MakeStream();
    // Round(100 * j / 8), halves to even: 12.5 -> 12, 37.5 -> 38, 62.5 -> 62, 87.5 -> 88.
    EXPECT_EQ(Seen, (std::vector<int>{12, 25, 38, 50, 62, 75, 88, 100}));
}

TEST(Movie, CopyingPlacements) {
    TTestMovie M(0, 0, 10, 10, 24.0f, true);
    TTestCharacter* A = M.AddCharacter();
    TFlashPlaceObject* P = M.PlaceObject(A, 4);
    P->SetTranslate(2, 3);
    TFlashPlaceObject Copy(nullptr, nullptr, 0);
    Copy.CopyFrom(*P);
    EXPECT_EQ(Copy.Owner(), &M);
    EXPECT_EQ(Copy.Character(), A);
    EXPECT_EQ(Copy.PlaceTag().Depth, 4);
    EXPECT_EQ(Copy.PlaceTag().Matrix().TranslateY, 60);
    TTestCharacter B;
    B.CopyFrom(*A);
    EXPECT_EQ(B.GetCharacterID(), 1);
    EXPECT_THROW(B.CopyFrom(Copy), EAssignError);
}
