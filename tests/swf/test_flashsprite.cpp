// Sprites, clip actions of sprite placements and button sounds in the movie
// builder.
#include <gtest/gtest.h>

#include <stdexcept>

#include "FlashObjects.h"
#include "TestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace {

Bytes Written(TBasedSWFObject& Obj) {
    TMemoryStream Out;
    TBitsEngine BE(Out);
    Obj.WriteToStream(BE);
    return Out.Bytes();
}

// The tags of a movie as the file reader sees them.
TSWFFileReader ReadMovie(TFlashMovie& M) {
    M.MakeStream();
    TMemoryStream File;
    M.SaveToStream(File);
    File.SetPosition(0);
    TSWFFileReader R;
    R.LoadFromStream(File);
    return R;
}

}  // namespace

TEST(FlashSprite, DefinitionAndPlacement) {
    TFlashMovie M(0, 0, 100, 100, 24.0f, true);
    TFlashShape* Shape = M.AddRectangle(0, 0, 10, 10);
    TFlashSprite* Sprite = M.AddSprite();
    EXPECT_EQ(Sprite->GetCharacterID(), 2);
    ASSERT_EQ(M.SpriteList.size(), 1u);
    Sprite->PlaceObject(Shape, 1)->SetTranslate(1, 0);
    Sprite->ShowFrame(2);
    EXPECT_EQ(Sprite->FrameCount(), 2);
    EXPECT_EQ(Sprite->MinVersion(), 3);
    // Id, frame count, the placement (translated by 20 twips: a movie in
    // pixels), two frames and the End tag.
    EXPECT_EQ(Hex(Written(*Sprite)), Hex(B({0xD4, 0x09, 0x02, 0x00, 0x02, 0x00, 0x88, 0x06, 0x06, 0x01, 0x00, 0x01,
                                             0x00, 0x0C, 0xA0, 0x00, 0x40, 0x00, 0x40, 0x00, 0x00, 0x00})));
    // A sprite defines no characters.
    EXPECT_THROW(Sprite->AddObject(std::make_unique<TFlashShape>(&M)), std::invalid_argument);

    // Its placement carries a clip-action block from the start: the flag is
    // up, but nothing is written until a record is added.
    TFlashPlaceObject* Place = M.PlaceObject(Sprite, 5);
    ASSERT_NE(Place->ClipActions(), nullptr);
    EXPECT_TRUE(Place->PlaceTag().PlaceFlagHasClipActions);
    EXPECT_EQ(Place->MinVersion(), 5);
    EXPECT_EQ(Written(*Place), B({0x85, 0x06, 0x02, 0x05, 0x00, 0x02, 0x00}));
    // Other characters have no clip actions.
    TFlashPlaceObject* Other = M.PlaceObject(Shape, 6);
    EXPECT_EQ(Other->ClipActions(), nullptr);
    EXPECT_EQ(Other->ClipActionScript(), nullptr);
    EXPECT_THROW(Other->OnClipEvent(ceLoad), std::logic_error);
}

TEST(FlashSprite, ClipEventsPickTheirRecords) {
    TFlashMovie M(0, 0, 100, 100, 24.0f, true);
    TFlashSprite* Sprite = M.AddSprite();
    TFlashPlaceObject* Place = M.PlaceObject(Sprite, 1);
    TFlashActionScript& A = Place->OnClipEvent(ceEnterFrame);
    A.GetURL("http://a/", "_blank");
    TFlashActionScript& B = Place->OnClipEvent(ceEnterFrame);
    EXPECT_EQ(&A, &B);
    B.GetURL("http://b/", "_blank");
    Place->OnClipEvent(ceEnterFrame | ceLoad).GetURL("http://c/", "_self");
    TSWFClipActions& C = *Place->ClipActions();
    ASSERT_EQ(C.RecordCount(), 2u);
    EXPECT_EQ(C.ActionRecord(0).Count(), 2u);
    EXPECT_EQ(C.ActionRecord(1).EventFlags, ceEnterFrame | ceLoad);
    EXPECT_EQ(C.AllEventFlags, ceEnterFrame | ceLoad);
    EXPECT_EQ(Place->MinVersion(), 5);
    // A key needs the 32-bit layout.
    Place->OnClipEvent(0, 13).GetURL("http://k/", "_blank");
    EXPECT_EQ(C.ActionRecord(2).EventFlags, ceKeyPress);
    EXPECT_EQ(C.ActionRecord(2).KeyCode(), 13);
    EXPECT_EQ(Place->MinVersion(), 6);
    EXPECT_EQ(&Place->OnClipEvent(0, 13).Actions(), &C.ActionRecord(2));
    EXPECT_NE(&Place->OnClipEvent(0, 14).Actions(), &C.ActionRecord(2));

    // A copy is deep and its script works on the copy.
    TFlashPlaceObject Copy(nullptr, nullptr, 0);
    Copy.CopyFrom(*Place);
    const Bytes Out = Written(*Place);
    EXPECT_EQ(Written(Copy), Out);
    Copy.OnClipEvent(ceEnterFrame).GetURL("http://d/", "_blank");
    EXPECT_EQ(C.ActionRecord(0).Count(), 2u);
    EXPECT_EQ(Copy.ClipActions()->ActionRecord(0).Count(), 3u);
}

TEST(FlashSprite, MoviesWriteClipActionsInTheLayoutOfTheirVersion) {
    for (const bool Key : {false, true}) {
        SCOPED_TRACE(Key ? "with a key" : "without a key");
        TFlashMovie M(0, 0, 100, 100, 24.0f, true);
        M.SetVersion(5);
        TFlashShape* Shape = M.AddRectangle(0, 0, 10, 10);
        TFlashSprite* Inner = M.AddSprite();
        Inner->PlaceObject(Shape, 1);
        Inner->ShowFrame();
        // The inner sprite is placed inside an outer one with clip actions.
        TFlashSprite* Outer = M.AddSprite();
        TFlashPlaceObject* Nested = Outer->PlaceObject(Inner, 1);
        Nested->OnClipEvent(ceEnterFrame).GetURL("http://in/", "_blank");
        if (Key) Nested->OnClipEvent(0, 'k').GetURL("http://key/", "_blank");
        Outer->ShowFrame();
        M.PlaceObject(Outer, 1)->OnClipEvent(ceLoad).GetURL("http://out/", "_blank");
        M.ShowFrame();

        TSWFFileReader R = ReadMovie(M);
        EXPECT_EQ(R.Version, Key ? 6 : 5);
        ASSERT_GE(R.Tags.size(), 5u);
        auto* Top = dynamic_cast<TSWFPlaceObject2*>(R.Tags[3].Tag.get());
        ASSERT_NE(Top, nullptr);
        ASSERT_NE(Top->ClipActionsOrNull(), nullptr);
        EXPECT_EQ(Top->ClipActionsOrNull()->ActionRecords[0]->EventFlags, ceLoad);
        // Read with the movie's version, the nested placement's records come
        // out as they were written.
        TSWFSpriteReader S;
        S.LoadFromBody(static_cast<TSWFUnknownTag&>(*R.Tags[2].Tag).Data, R.Version);
        EXPECT_EQ(S.SpriteId, 3);
        ASSERT_EQ(S.Tags.size(), 3u);
        auto* In = dynamic_cast<TSWFPlaceObject2*>(S.Tags[0].Tag.get());
        ASSERT_NE(In, nullptr);
        ASSERT_NE(In->ClipActionsOrNull(), nullptr);
        const TSWFClipActions& C = *In->ClipActionsOrNull();
        ASSERT_EQ(C.RecordCount(), Key ? 2u : 1u);
        EXPECT_EQ(static_cast<const TSWFActionGetUrl&>(C.ActionRecords[0]->Action(0)).URL, "http://in/");
        if (Key) {
            EXPECT_EQ(C.ActionRecords[1]->KeyCode(), 'k');
        }
    }
}

TEST(FlashSprite, CopiesAreDeep) {
    TFlashMovie M(0, 0, 100, 100, 24.0f, true);
    TFlashShape* Shape = M.AddRectangle(0, 0, 10, 10);
    TFlashSprite* Sprite = M.AddSprite();
    Sprite->PlaceObject(Shape, 1);
    Sprite->AddActions()->GetURL("http://x/", "_blank");
    Sprite->ShowFrame();
    Sprite->RemoveObject(1, Shape);
    Sprite->ShowFrame();
    const Bytes Out = Written(*Sprite);
    TFlashSprite Copy;
    Copy.CopyFrom(*Sprite);
    EXPECT_EQ(Copy.GetCharacterID(), Sprite->GetCharacterID());
    Sprite->ShowFrame();
    static_cast<TFlashPlaceObject&>(*Sprite->ObjectList()[0]).SetTranslate(5, 5);
    EXPECT_EQ(Written(Copy), Out);
    EXPECT_EQ(Copy.FrameCount(), 2);
}

TEST(FlashButton, SoundsFollowTheButtonWhenSet) {
    TFlashMovie M(0, 0, 40, 30, 24.0f, true);
    M.AddRectangle(0, 0, 4, 4);
    TFlashButton* Button = M.AddButton();
    EXPECT_FALSE(Button->ButtonSound().HasSounds());
    const Bytes Alone = Written(*Button);
    const int Word = Alone[0] | (Alone[1] << 8);
    EXPECT_EQ(Word >> 6, tagDefineButton2);
    EXPECT_EQ(Alone.size(), 2u + (Word & 63)) << "one tag, nothing after it";

    Button->ButtonSound().SoundIdleToOverUp().SoundId = 7;
    const Bytes Both = Written(*Button);
    ASSERT_EQ(Both.size(), Alone.size() + 13);
    EXPECT_EQ(Bytes(Alone), Bytes(Both.begin(), Both.begin() + static_cast<std::ptrdiff_t>(Alone.size())));
    // Code 17, the button's id 2, no sound, sound 7, no sound, no sound.
    EXPECT_EQ(Hex(Bytes(Both.begin() + static_cast<std::ptrdiff_t>(Alone.size()), Both.end())),
              Hex(B({0x4B, 0x04, 0x02, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00})));
    // The flag alone writes the tag, with zero words for a sound without id.
    TFlashButton Flagged;
    Flagged.SetCharacterID(4);
    Flagged.ButtonSound().SoundOverUpToIdle();
    const Bytes F = Written(Flagged);
    EXPECT_EQ(Hex(Bytes(F.end() - 12, F.end())),
              Hex(B({0x4A, 0x04, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00})));

    TFlashButton Copy;
    Copy.CopyFrom(*Button);
    Button->ButtonSound().SoundIdleToOverUp().SoundId = 8;
    EXPECT_EQ(Written(Copy), Both);
}
