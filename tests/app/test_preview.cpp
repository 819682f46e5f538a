// The main window's preview, selection panes, hints and about box.
#include <gtest/gtest.h>

#include "AppTestUtil.h"
#include "GIFImage.h"

using namespace anivert;
using namespace anivert::test;

namespace {

struct TPreviewWindow : TWindowFixture {
    TPreviewWindow() {
        PutFile("gifs", "a.gif", MakeGif(20, 10, {{0, 0, 20, 10}}));
        PutFile("gifs", "b.gif", MakeGif(300, 200, {{0, 0, 300, 200}}));
        PutFile("gifs", "c.gif", MakeGif(300, 50, {{0, 0, 300, 50}}));
        PutFile("gifs", "d.gif", Bytes{'G', 'I', 'F', '8', '9', 'a', 1});
        ShowFolder("gifs");
    }
};

}  // namespace

TEST(Preview, ASmallGifIsCentred) {
    TPreviewWindow W;
    EXPECT_TRUE(W.Form->ChB1.Checked());
    EXPECT_FALSE(W.Form->ChB1.Visible());
    W.SelectFile(0);
    EXPECT_EQ(W.Form->RzP2.Text(), "File: 1/4");
    EXPECT_TRUE(W.Form->btnStart.Enabled());
    const TPreviewImage& I = W.Form->Image1;
    ASSERT_NE(I.Picture(), nullptr);
    EXPECT_EQ(I.Picture()->Images.Count(), 1);
    // Box client 197 x 149: (197 - 20) div 2, (149 - 10) div 2.
    EXPECT_EQ(I.Left(), 88);
    EXPECT_EQ(I.Top(), 69);
    EXPECT_EQ(I.Width(), 20);
    EXPECT_EQ(I.Height(), 10);
    EXPECT_EQ(I.Cursor(), TCursorKind::Default);
    // A press on a picture that fits starts no drag.
    W.Form->Image1MouseDown(5, 5);
    EXPECT_FALSE(W.Form->Dragging);
}

TEST(Preview, ALargeGifScrollsByDragging) {
    TPreviewWindow W;
    W.SelectFile(1);
    TPreviewImage& I = W.Form->Image1;
    EXPECT_EQ(I.Left(), 0);
    EXPECT_EQ(I.Top(), 0);
    EXPECT_TRUE(W.Form->BPanel1.HorzScrollBarVisible());
    EXPECT_TRUE(W.Form->BPanel1.VertScrollBarVisible());
    EXPECT_EQ(I.Cursor(), TCursorKind::HandPoint);
    W.Form->Image1MouseDown(100, 80);
    EXPECT_TRUE(W.Form->Dragging);
    // Dragging left by 10 scrolls right by 10; the grabbed point stays.
    W.Form->Image1MouseMove(90, 80);
    EXPECT_EQ(W.Form->BPanel1.HorzPosition(), 10);
    EXPECT_EQ(W.Form->BPanel1.VertPosition(), 0);
    W.Form->Image1MouseMove(95, 75);
    EXPECT_EQ(W.Form->BPanel1.HorzPosition(), 15);
    EXPECT_EQ(W.Form->BPanel1.VertPosition(), 5);
    // Scrolling stops at the edges.
    W.Form->Image1MouseMove(1000, 1000);
    EXPECT_EQ(W.Form->BPanel1.HorzPosition(), 0);
    EXPECT_EQ(W.Form->BPanel1.VertPosition(), 0);
    W.Form->Image1MouseUp();
    EXPECT_FALSE(W.Form->Dragging);
    W.Form->Image1MouseMove(0, 0);
    EXPECT_EQ(W.Form->BPanel1.HorzPosition(), 0);
}

TEST(Preview, WideButNotTall) {
    TPreviewWindow W;
    W.SelectFile(2);
    const TPreviewImage& I = W.Form->Image1;
    EXPECT_EQ(I.Left(), 0);
    EXPECT_EQ(I.Top(), 49);
    EXPECT_TRUE(W.Form->BPanel1.HorzScrollBarVisible());
    EXPECT_FALSE(W.Form->BPanel1.VertScrollBarVisible());
    EXPECT_EQ(I.Cursor(), TCursorKind::HandPoint);
    // Bars that take room: centred in what the horizontal bar leaves, still
    // no vertical bar; a picture taller than that room needs both.
    W.Form->BPanel1.SetClientSize(197, 149, 16);
    W.Form->BPanel1Resize();
    EXPECT_EQ(I.Top(), (149 - 16 - 50) / 2);
    EXPECT_TRUE(W.Form->BPanel1.HorzScrollBarVisible());
    EXPECT_FALSE(W.Form->BPanel1.VertScrollBarVisible());
    EXPECT_EQ(W.Form->BPanel1.ScrollBarsFor(300, 140), std::make_pair(true, true));
    EXPECT_EQ(W.Form->BPanel1.ScrollBarsFor(190, 140), std::make_pair(false, false));
    // A box made larger than the picture: centred anew, nothing to drag.
    W.Form->BPanel1.SetClientSize(400, 300, 16);
    W.Form->BPanel1Resize();
    EXPECT_EQ(I.Left(), 50);
    EXPECT_EQ(I.Top(), 125);
    EXPECT_EQ(I.Cursor(), TCursorKind::Default);
    W.Form->Image1MouseDown(5, 5);
    EXPECT_FALSE(W.Form->Dragging);
}

TEST(Preview, DamagedFilesAndDeselection) {
    TPreviewWindow W;
    W.SelectFile(3);
    const TPreviewImage& I = W.Form->Image1;
    EXPECT_EQ(I.Picture(), nullptr);
    EXPECT_EQ(I.Left(), 0);
    EXPECT_EQ(I.Top(), 0);
    EXPECT_EQ(I.Width(), 10);
    EXPECT_EQ(I.Height(), 10);
    EXPECT_TRUE(W.Platform.Messages.empty());
    // Deselecting clears the preview; in single mode Start goes off.
    W.SelectFile(0);
    ASSERT_NE(I.Picture(), nullptr);
    W.Form->LV1SelectItem(0, false);
    EXPECT_EQ(I.Picture(), nullptr);
    EXPECT_FALSE(W.Form->btnStart.Enabled());
    W.Form->RBSingle.SetChecked(false);
    W.Form->RBFolder.SetChecked(true);
    W.Form->RBSingleClick();
    W.SelectFile(0);
    W.Form->LV1SelectItem(0, false);
    EXPECT_TRUE(W.Form->btnStart.Enabled());
    // The check box brings the preview of the selected file back, or clears it.
    W.Form->SelectedIndex = 1;
    W.Form->ChB1Click();
    ASSERT_NE(I.Picture(), nullptr);
    EXPECT_EQ(I.Width(), 300);
    W.Form->ChB1.SetChecked(false);
    W.Form->ChB1Click();
    EXPECT_EQ(I.Picture(), nullptr);
}

TEST(MainWindow, HintsAndAbout) {
    TWindowFixture W;
    W.Form->ShowHint("Single|Converts the selected file");
    EXPECT_EQ(W.Form->RzP.Text(), "Converts the selected file");
    W.Form->ShowHint("a|b|c");
    EXPECT_EQ(W.Form->RzP.Text(), "b|c");
    W.Form->ShowHint("No separator");
    EXPECT_EQ(W.Form->RzP.Text(), "No separator");
    W.Form->About1Click();
    EXPECT_EQ(W.Platform.AboutShown, 1);
}
