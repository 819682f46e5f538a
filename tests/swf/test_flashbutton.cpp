// Buttons and action scripts of the movie builder, checked byte by byte.
#include <gtest/gtest.h>

#include "FlashObjects.h"
#include "SWFTestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace {

}  // namespace

TEST(FlashButton, AnAdvancedButtonStartsWithAnEmptyReleaseEntry) {
    TFlashMovie M(0, 0, 100, 100, 24.0f, true);
    TFlashButton* Button = M.AddButton(false, true);
    EXPECT_EQ(Button->GetCharacterID(), 1);
    EXPECT_EQ(Button->MinVersion(), 3);
    ASSERT_NE(Button->Button2(), nullptr);
    ASSERT_EQ(Button->Button2()->Actions.size(), 1u);
    EXPECT_EQ(Button->Button2()->CondAction(0).Conditions, 0x0008);
    // Id 1, flags 0, action offset 3 (past the end byte of no records), the
    // end byte, then the last entry: size 0, conditions 08 00, no actions
    // and their end byte.
    EXPECT_EQ(Hex(BodyOf(*Button, tagDefineButton2)), Hex(B({0x01, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x08,
                                                               0x00, 0x00})));
    TFlashButton* Menu = M.AddButton(true, true);
    EXPECT_EQ(Menu->GetCharacterID(), 2);
    EXPECT_EQ(BodyOf(*Menu, tagDefineButton2)[2], 0x01);  // tracked as a menu
}

TEST(FlashButton, ReleaseActionsAndOtherEvents) {
    TFlashButton Button(nullptr, false, true);
    TFlashActionScript& A = Button.OnReleaseActions();
    TFlashActionScript& B = Button.OnReleaseActions();
    EXPECT_EQ(&A, &B);
    EXPECT_FALSE(A.OwnsList());
    A.GetURL("http://a/", "_blank");
    B.GetURL("http://b/", "_self");
    TSWFDefineButton2& Tag = *Button.Button2();
    ASSERT_EQ(Tag.Actions.size(), 1u);
    ASSERT_EQ(Tag.CondAction(0).Count(), 2u);
    EXPECT_EQ(static_cast<TSWFActionGetUrl&>(Tag.CondAction(0)[1]).URL, "http://b/");
    EXPECT_EQ(&A.GetAction(0), &Tag.CondAction(0)[0]);

    // Bit 5 is in no entry: a second one for {5}; found again after that.
    TSWFButtonCondAction* Drag = Button.FindActionEvent(5);
    ASSERT_EQ(Tag.Actions.size(), 2u);
    EXPECT_EQ(Drag->Conditions, 0x0020);
    EXPECT_EQ(Button.FindActionEvent(5), Drag);
    EXPECT_EQ(Button.FindActionEvent(3), &Tag.CondAction(0));
    // Only the transitions 0 to 8 are kept.
    EXPECT_EQ(Button.AddCondAction(0xFFFF)->Conditions, 0x01FF);
    EXPECT_EQ(Button.FindActionEvent(8), &Tag.CondAction(2));
    EXPECT_EQ(Button.FindActionEvent(5), Drag) << "the first entry holding the bit wins";
    // A bit no entry can hold gets an entry without conditions.
    EXPECT_EQ(Button.FindActionEvent(20)->Conditions, 0);
}

TEST(FlashButton, RecordsOfALinkButtonByteForByte) {
    TFlashMovie M(0, 0, 40, 30, 24.0f, true);
    TFlashButton* Button = M.AddButton(false, true);
    TFlashShape* Shape = M.AddRectangle(0, 0, 40, 30);
    Shape->SetSolidFill(0, 0, 0, 0);
    EXPECT_EQ(Shape->GetCharacterID(), 2);
    Button->AddRecord(*Shape, bsUp | bsHitTest, 1);
    Button->AddRecord(*Shape, bsOver | bsHitTest, 1);
    Button->AddRecord(*Shape, bsDown | bsHitTest, 1);
    EXPECT_TRUE(Button->ButtonTag().ButtonRecord(0).HasColorTransform);
    Button->OnReleaseActions().GetURL("http://x.y/", "_blank");
    // Each record: the state flags in the file's order (hit test, down,
    // over, up), character 2, depth 1, an identity matrix and an identity
    // colour transform with alpha.
    const Bytes Records = Cat({B({0x09, 0x02, 0x00, 0x01, 0x00, 0x00, 0x00}),
                                  B({0x0A, 0x02, 0x00, 0x01, 0x00, 0x00, 0x00}),
                                  B({0x0C, 0x02, 0x00, 0x01, 0x00, 0x00, 0x00}), B({0x00})});
    const Bytes GetUrl = Cat({B({0x83, 0x13, 0x00}), Text("http://x.y/"), Text("_blank")});
    const Bytes Expected = Cat({B({0x01, 0x00, 0x00}), B({0x18, 0x00}), Records, B({0x00, 0x00, 0x08, 0x00}), GetUrl,
                                   B({0x00})});
    EXPECT_EQ(Hex(BodyOf(*Button, tagDefineButton2)), Hex(Expected));
    // The shape is a DefineShape3 with a fully transparent fill.
    EXPECT_EQ(Shape->MinVersion(), 3);
}

TEST(FlashButton, ABasicButtonIsADefineButton) {
    TFlashMovie M(0, 0, 40, 30, 24.0f, true);
    TFlashButton* Button = M.AddButton(false, false);
    EXPECT_FALSE(Button->Advanced());
    EXPECT_EQ(Button->MinVersion(), 1);
    EXPECT_EQ(Button->Button2(), nullptr);
    EXPECT_EQ(Button->FindActionEvent(3), nullptr);
    Button->AddRecordById(7, bsUp | bsOver | bsDown | bsHitTest, 2);
    EXPECT_FALSE(Button->ButtonTag().ButtonRecord(0).HasColorTransform);
    Button->OnReleaseActions().GetURL("a", "b");
    // Id, one record without colour transform, end byte, actions, end byte.
    const Bytes Expected = Cat({B({0x01, 0x00}), B({0x0F, 0x07, 0x00, 0x02, 0x00, 0x00}), B({0x00}),
                                   B({0x83, 0x04, 0x00}), Text("a"), Text("b"), B({0x00})});
    EXPECT_EQ(Hex(BodyOf(*Button, tagDefineButton)), Hex(Expected));
}

TEST(FlashButton, CopiesAndIds) {
    TFlashMovie M(0, 0, 40, 30, 24.0f, true);
    TFlashImage* Image = M.AddImage(std::string(ANIVERT_TEST_DATA) + "/bmp/b8.bmp");
    TFlashShape* Shape = M.AddRectangle(0, 0, 4, 4);
    TFlashButton* Button = M.AddButton();
    EXPECT_EQ(Image->GetCharacterID(), 1);
    EXPECT_EQ(Shape->GetCharacterID(), 2);
    EXPECT_EQ(Button->GetCharacterID(), 3);
    ASSERT_EQ(M.ButtonList.size(), 1u);
    Button->AddRecord(*Shape, bsUp | bsHitTest, 1);
    Button->OnReleaseActions().GetURL("http://a/", "_blank");

    TFlashButton Copy;
    Copy.CopyFrom(*Button);
    EXPECT_EQ(Copy.GetCharacterID(), 3);
    EXPECT_EQ(BodyOf(Copy, tagDefineButton2), BodyOf(*Button, tagDefineButton2));
    // The copy's script works on the copy's own release actions.
    Copy.OnReleaseActions().GetURL("http://b/", "_blank");
    EXPECT_EQ(Copy.Button2()->CondAction(0).Count(), 2u);
    EXPECT_EQ(Button->Button2()->CondAction(0).Count(), 1u);
    // A new id reaches the tag.
    Copy.SetCharacterID(9);
    EXPECT_EQ(Copy.ButtonTag().ButtonId, 9);
}

TEST(FlashActionScript, OwnListDoActionAndCopies) {
    TFlashActionScript Script;
    EXPECT_TRUE(Script.OwnsList());
    EXPECT_EQ(Script.MinVersion(), 1);
    Script.GetURL("u", "t");
    EXPECT_EQ(Script.MinVersion(), 3);
    EXPECT_EQ(Hex(BodyOf(Script, tagDoAction)), Hex(Cat({B({0x83, 0x04, 0x00}), Text("u"), Text("t"), B({0x00})})));

    TSWFActionList Other;
    TFlashActionScript Over(nullptr, &Other);
    EXPECT_FALSE(Over.OwnsList());
    Over.CopyFrom(Script);
    Over.CopyFrom(Script);
    EXPECT_TRUE(Over.OwnsList()) << "copies the ownership of its source";
    EXPECT_EQ(Over.Actions().Count(), 2u);
    EXPECT_EQ(Other.Count(), 0u);
}
