// The desktop program's window with Qt's offscreen platform (or a virtual X
// display): the widgets wired to the window logic, modal boxes answered by
// a timer, settings in a private configuration folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSettings>
#include <QToolButton>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "GIFTestUtil.h"
#include "MainWindow.h"
#include "QtPlatform.h"
#include "TestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace fs = std::filesystem;

namespace {

std::string Sample() { return std::string(ANIVERT_SOURCE_DIR) + "/samples/sample.gif"; }

// Answers every modal box that comes up with its default button and keeps
// the texts of the message boxes.
class TBoxAnswerer {
public:
    TBoxAnswerer() {
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            if (QWidget* W = QApplication::activeModalWidget()) {
                if (auto* Box = qobject_cast<QMessageBox*>(W)) Texts.push_back(Box->text().toStdString());
                W->close();
            }
        });
        FTimer.start(20);
    }
    std::vector<std::string> Texts;

private:
    QTimer FTimer;
};

// Settings of each test in a fresh configuration folder, and a home folder
// of its own.
struct TSettingsScope {
    TempDir Config;
    TempDir Home;
    TSettingsScope() {
        setenv("HOME", Home.Path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", Config.Path().c_str(), 1);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(Config.Path()));
    }
    QSettings Store() const { return QSettings(QStringLiteral("Tarnwick"), QStringLiteral("Anivert")); }
};

struct TWindow {
    TSettingsScope Settings;
    TQtPlatform Platform;
    std::unique_ptr<TMainWindow> Window;
    TWindow() {
        Window = std::make_unique<TMainWindow>(Platform);
        Platform.Owner = Window.get();
        Window->Form().FormCreate();
        Window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
    }
    TfrmMain& Form() { return Window->Form(); }
    void Open(const std::string& Folder) {
        Form().FTree.SetSelectedFolder(Folder);
        QApplication::processEvents();
    }
};

// A GIF of a W x H screen holding one pixel, the rest background.
void ScreenGif(const std::string& Path, int W, int H) {
    const unsigned char Bytes[] = {'G', 'I', 'F', '8', '9', 'a', static_cast<unsigned char>(W & 255),
                                   static_cast<unsigned char>(W >> 8), static_cast<unsigned char>(H & 255),
                                   static_cast<unsigned char>(H >> 8), 0x80, 0, 0, 0, 0, 0, 255, 255, 255, 0x2C, 0,
                                   0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, 0x3B};
    std::ofstream(Path, std::ios::binary).write(reinterpret_cast<const char*>(Bytes), sizeof Bytes);
}

std::string GifFolder(const TempDir& D, const std::string& Name, int Count) {
    const std::string Folder = D.File(Name);
    fs::create_directories(Folder);
    for (int I = 0; I < Count; ++I) {
        char N[32];
        std::snprintf(N, sizeof N, "anim%02d.gif", I + 1);
        fs::copy_file(Sample(), Folder + "/" + N);
    }
    return Folder;
}

}  // namespace

TEST(DesktopWindow, DesignSizeAndControls) {
    TWindow W;
    TMainWindow& M = *W.Window;
    EXPECT_EQ(M.minimumWidth(), TMainWindow::ClientWidth);
    EXPECT_EQ(M.minimumHeight(), TMainWindow::ClientHeight);
    EXPECT_FALSE(M.btnStart->isEnabled());
    EXPECT_TRUE(M.RBSingle->isChecked());
    EXPECT_EQ(M.EURL->text(), "http://");
    EXPECT_TRUE(M.GroupBox3->isHidden());
    EXPECT_TRUE(M.ChB1->isHidden());
    EXPECT_TRUE(M.ChB1->isChecked());
    EXPECT_TRUE(M.RzB->isHidden());
    // Enlarging keeps the right-hand side at the right edge.
    M.resize(984, 484);
    QApplication::processEvents();
    EXPECT_EQ(M.btnStart->geometry().left(), 751);
    EXPECT_EQ(M.LV1->geometry().left(), 420);
    EXPECT_EQ(M.FTree->geometry().height(), 269);
    EXPECT_EQ(M.BPanel1->geometry().top(), 302);
}

TEST(DesktopWindow, SelectingAFileEnablesStartAndPreviews) {
    TempDir D;
    const std::string Folder = GifFolder(D, "gifs", 12);
    TWindow W;
    W.Open(Folder);
    TMainWindow& M = *W.Window;
    ASSERT_EQ(M.LV1->count(), 12);
    EXPECT_EQ(W.Form().SelectedIndex, -1);
    M.LV1->setCurrentRow(2);
    QApplication::processEvents();
    EXPECT_TRUE(M.btnStart->isEnabled());
    EXPECT_EQ(M.RzP2->text(), "File: 3/12");
    // The 80 x 60 sample is centred in the preview box.
    ASSERT_NE(W.Form().Image1.Picture(), nullptr);
    EXPECT_EQ(M.Image1->size(), QSize(80, 60));
    EXPECT_EQ(M.Image1->x(), (M.BPanel1->maximumViewportSize().width() - 80) / 2);
    // The preview plays: its picture changes without anything being done.
    const QImage First = M.Image1->grab().toImage();
    EXPECT_TRUE(QTest::qWaitFor([&] { return M.Image1->grab().toImage() != First; }, 3000));
    // Single mode converts the selection; the outcome comes in a box.
    W.Form().WriteTestPage = false;
    W.Form().OutputFolder = D.File("gifs");
    TBoxAnswerer Boxes;
    QTest::mouseClick(M.btnStart, Qt::LeftButton);
    ASSERT_EQ(Boxes.Texts.size(), 1u);
    EXPECT_EQ(Boxes.Texts[0], "The file anim03.swf has been successfully created.");
    EXPECT_TRUE(fs::exists(Folder + "/anim03.swf"));
    // The link field goes with single mode.
    M.RBFolder->click();
    EXPECT_FALSE(M.EURL->isEnabled());
    EXPECT_TRUE(M.btnStart->isEnabled());
}

TEST(DesktopWindow, FolderRunSummaryAndEscape) {
    TempDir D;
    const std::string Three = GifFolder(D, "three", 3);
    const std::string Five = GifFolder(D, "five", 5);
    TWindow W;
    TMainWindow& M = *W.Window;
    M.RBFolder->click();
    W.Open(Three);
    W.Form().OutputFolder = D.File("out3");
    fs::create_directories(D.File("out3"));
    {
        TBoxAnswerer Boxes;
        QTest::mouseClick(M.btnStart, Qt::LeftButton);
        ASSERT_EQ(Boxes.Texts.size(), 1u);
        EXPECT_EQ(Boxes.Texts[0], "3 files of 3 have been successfully converted.");
    }
    EXPECT_TRUE(fs::exists(D.File("out3/anim03.swf")));
    EXPECT_TRUE(M.RzB->isHidden());
    // Escape, pressed while the first file converts, stops the run before
    // the next one.
    W.Open(Five);
    W.Form().OutputFolder = D.File("out5");
    fs::create_directories(D.File("out5"));
    {
        TBoxAnswerer Boxes;
        QTimer::singleShot(0, M.LV1, [&M] { QTest::keyClick(M.LV1, Qt::Key_Escape); });
        QTest::mouseClick(M.btnStart, Qt::LeftButton);
        ASSERT_EQ(Boxes.Texts.size(), 1u);
        EXPECT_EQ(Boxes.Texts[0], "The converting process has been aborted by user.");
    }
    int Made = 0;
    for (const auto& E : fs::directory_iterator(D.File("out5"))) Made += E.path().extension() == ".swf";
    EXPECT_LT(Made, 5);
}

TEST(DesktopWindow, SettingsAreReadAtStartAndSavedOnClose) {
    TempDir D;
    const std::string Out = D.File("movies");
    fs::create_directories(Out);
    TSettingsScope Scope;
    {
        QSettings S = Scope.Store();
        S.beginGroup(QStringLiteral("1.0"));
        S.setValue(QStringLiteral("OutputFolder"), QString::fromStdString(Out));
        S.setValue(QStringLiteral("LastDir"), QString::fromStdString(D.Path()));
        S.setValue(QStringLiteral("L"), 40);
        S.setValue(QStringLiteral("T"), 30);
        // "W" is missing: reading stops there and the window goes to the corner.
        S.setValue(QStringLiteral("H"), 500);
        S.setValue(QStringLiteral("Compact"), 1);
        S.setValue(QStringLiteral("LoopAsGif"), 1);
    }
    TQtPlatform Platform;
    auto Window = std::make_unique<TMainWindow>(Platform);
    Window->Form().FormCreate();
    EXPECT_EQ(Window->JamPathLabel1->text().toStdString(), Out);
    EXPECT_EQ(Window->Form().FTree.SelectedFolder(), ExcludeTrailingDelim(D.Path()));
    EXPECT_EQ(Window->x(), 0);
    EXPECT_EQ(Window->y(), 0);
    EXPECT_EQ(Window->height(), TMainWindow::ClientHeight);
    // The movie options menu beside Help shows the stored choice; the
    // user's change reaches the logic and the store.
    EXPECT_EQ(Window->TBSubmenuItem2->geometry().left(), Window->TBSubmenuItem1->geometry().right() + 1);
    EXPECT_TRUE(Window->CompactMovies1->isChecked());
    EXPECT_TRUE(Window->Form().Options.Compact);
    Window->CompactMovies1->trigger();
    EXPECT_FALSE(Window->Form().Options.Compact);
    EXPECT_EQ(Window->SalvageGifs1->text().toStdString(), "Salvage damaged GIFs");
    EXPECT_FALSE(Window->SalvageGifs1->isChecked());
    Window->SalvageGifs1->trigger();
    EXPECT_TRUE(Window->Form().Options.Salvage);
    // "Loop as the GIF says" beside it, as the store has it.
    ASSERT_EQ(Window->TBSubmenuItem2->menu()->actions().indexOf(Window->LoopAsGif1), 1);
    EXPECT_EQ(Window->LoopAsGif1->text(), QStringLiteral("Loop as the GIF says"));
    EXPECT_TRUE(Window->LoopAsGif1->isChecked());
    EXPECT_TRUE(Window->Form().Options.LoopAsGif);
    Window->LoopAsGif1->trigger();
    EXPECT_FALSE(Window->Form().Options.LoopAsGif);
    Window->LoopAsGif1->trigger();
    // "Allow very large movies", off until chosen, lifts the budget.
    EXPECT_EQ(Window->AllowLarge1->text(), QStringLiteral("Allow very large movies"));
    EXPECT_FALSE(Window->AllowLarge1->isChecked());
    EXPECT_EQ(Window->Form().Options.MaxPixels, TMovieOptions::DefaultMaxPixels);
    Window->AllowLarge1->trigger();
    EXPECT_EQ(Window->Form().Options.MaxPixels, TMovieOptions::UnlimitedPixels);
    Window->show();
    Window->resize(900, 450);
    Window->Form().OutputFolder = D.Path();
    Window->close();
    QSettings S = Scope.Store();
    S.beginGroup(QStringLiteral("1.0"));
    EXPECT_EQ(S.value(QStringLiteral("OutputFolder")).toString().toStdString(), D.Path());
    EXPECT_EQ(S.value(QStringLiteral("W")).toInt(), 900);
    EXPECT_EQ(S.value(QStringLiteral("H")).toInt(), 450);
    EXPECT_EQ(S.value(QStringLiteral("Compact")).toInt(), 0);
    EXPECT_EQ(S.value(QStringLiteral("Salvage")).toInt(), 1);
    EXPECT_EQ(S.value(QStringLiteral("LoopAsGif")).toInt(), 1);
    EXPECT_EQ(S.value(QStringLiteral("AllowLarge")).toInt(), 1);
}

TEST(DesktopProgram, CommandLineModeConvertsWithoutADisplayOrSettings) {
    TempDir D;
    const std::string Gif = D.File("x.gif");
    fs::copy_file(Sample(), Gif);
    const std::string Env = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= XDG_CONFIG_HOME=" + D.File("config") + " ";
    std::string Output;
    EXPECT_EQ(RunCommand(Env + ANIVERT_GUI_PATH + " " + Gif, &Output), 0) << Output;
    EXPECT_TRUE(fs::exists(D.File("x.swf")));
    EXPECT_FALSE(fs::exists(D.File("config/Tarnwick"))) << "settings are not saved";
    // A file that is not a GIF: no movie, a failing status.
    const std::string Bad = D.File("bad.gif");
    std::ofstream(Bad) << "not a gif";
    EXPECT_NE(RunCommand(Env + ANIVERT_GUI_PATH + " " + Bad, &Output), 0);
    EXPECT_FALSE(fs::exists(D.File("bad.swf")));
}

// No file crashes the window: every fuzz input, the decoder's seeds (the
// corpus) and a screen too large for any canvas, selected in turn, leave
// it running without a box; what cannot be previewed shows nothing.
TEST(DesktopWindow, SelectingAnyFileLeavesTheWindowRunning) {
    TempDir D;
    const std::string Folder = D.File("any");
    fs::create_directories(Folder);
    int N = 0;
    auto Put = [&](const std::string& From) {
        char Name[32];
        std::snprintf(Name, sizeof Name, "f%03d.gif", N++);
        fs::copy_file(From, Folder + "/" + Name);
    };
    for (const auto& Dir : fs::directory_iterator(ANIVERT_TEST_DATA))
        if (Dir.path().filename().string().ends_with("-fuzz"))
            for (const auto& F : fs::directory_iterator(Dir.path())) Put(F.path().string());
    for (const std::string& F : CorpusFiles()) Put(CorpusDir() + "/gifs/" + F);
    // 30000 x 30000: over 2^28 pixels, in 35 bytes.
    ScreenGif(Folder + "/huge.gif", 30000, 30000);
    TWindow W;
    TMainWindow& M = *W.Window;
    W.Open(Folder);
    ASSERT_EQ(M.LV1->count(), N + 1);
    TBoxAnswerer Boxes;
    for (int Row = 0; Row < M.LV1->count(); ++Row) {
        SCOPED_TRACE(M.LV1->item(Row)->text().toStdString());
        M.LV1->setCurrentRow(Row);
        QApplication::processEvents();
        EXPECT_TRUE(M.isVisible());
        EXPECT_EQ(W.Form().RzP2.Text(), "File: " + std::to_string(Row + 1) + "/" + std::to_string(N + 1));
    }
    EXPECT_EQ(W.Form().Image1.Picture(), nullptr);
    EXPECT_EQ(M.Image1->size(), QSize(10, 10));
    EXPECT_TRUE(Boxes.Texts.empty()) << Boxes.Texts.front();
}

// A first run opens on the home folder, selected and expanded; F5 or a
// click on the selected folder reads it afresh; the preview shows only the
// scroll bars the picture needs, and a larger window lets it fit.
TEST(DesktopWindow, HomeFolderRefreshAndScrollBars) {
    TWindow W;
    TMainWindow& M = *W.Window;
    const std::string Home = W.Settings.Home.Path();
    ASSERT_NE(M.FTree->currentItem(), nullptr);
    EXPECT_EQ(W.Form().FTree.SelectedFolder(), ExcludeTrailingDelim(Home));
    EXPECT_TRUE(M.FTree->currentItem()->isExpanded());
    EXPECT_EQ(M.LV1->count(), 0);
    fs::copy_file(Sample(), Home + "/later.gif");
    fs::create_directories(Home + "/sub");
    QTest::keyClick(M.LV1, Qt::Key_F5);
    ASSERT_EQ(M.LV1->count(), 1);
    EXPECT_EQ(M.FTree->currentItem()->childCount(), 1);
    fs::copy_file(Sample(), Home + "/more.gif");
    const QRect Current = M.FTree->visualItemRect(M.FTree->currentItem());
    QTest::mouseClick(M.FTree->viewport(), Qt::LeftButton, {}, Current.center());
    EXPECT_EQ(M.LV1->count(), 2);

    // 300 x 50 in a box 201 wide: a horizontal bar only, the picture
    // can be dragged; in a window 150 wider it fits.
    ScreenGif(Home + "/wide.gif", 300, 50);
    QTest::keyClick(M.LV1, Qt::Key_F5);
    ASSERT_EQ(M.LV1->count(), 3);
    M.LV1->setCurrentRow(2);
    QApplication::processEvents();
    EXPECT_EQ(M.Image1->size(), QSize(300, 50));
    EXPECT_TRUE(M.BPanel1->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(M.BPanel1->verticalScrollBar()->isVisible());
    EXPECT_EQ(M.Image1->cursor().shape(), Qt::OpenHandCursor);
    M.resize(M.width() + 150, M.height());
    QApplication::processEvents();
    EXPECT_FALSE(M.BPanel1->horizontalScrollBar()->isVisible());
    EXPECT_EQ(M.Image1->x(), (M.BPanel1->viewport()->width() - 300) / 2);
    EXPECT_EQ(M.Image1->cursor().shape(), Qt::ArrowCursor);
}

// Screenshots of the window at its design size, for the documentation:
// written when ANIVERT_SCREENSHOTS names a folder.
TEST(DesktopWindow, Screenshots) {
    const char* Dir = std::getenv("ANIVERT_SCREENSHOTS");
    if (!Dir) GTEST_SKIP() << "ANIVERT_SCREENSHOTS is not set";
    TempDir D;
    const std::string Folder = GifFolder(D, "gifs", 6);
    fs::copy_file(std::string(ANIVERT_SHARED_DIR) + "/corpus/gifs/pillow_iss634.gif", Folder + "/dancer.gif",
                  fs::copy_options::skip_existing);
    TWindow W;
    TMainWindow& M = *W.Window;
    M.resize(TMainWindow::ClientWidth, TMainWindow::ClientHeight);
    W.Open(Folder);
    W.Form().OutputFolder = D.File("gifs");
    W.Form().JamPathLabel1.SetText(D.File("gifs"));
    M.LV1->setCurrentRow(M.LV1->count() - 1);
    QTest::qWait(700);  // the preview plays
    EXPECT_TRUE(M.grab().save(QString::fromStdString(std::string(Dir) + "/main-window.png")));
    // Folder mode during a run: the progress bar and the status text.
    M.RBFolder->click();
    TBoxAnswerer Boxes;
    bool Saved = false;
    W.Platform.Owner = &M;
    QTimer::singleShot(0, &M, [&] { Saved = M.grab().save(QString::fromStdString(std::string(Dir) + "/folder-run.png")); });
    QTest::mouseClick(M.btnStart, Qt::LeftButton);
    EXPECT_TRUE(Saved);
}

int main(int argc, char** argv) {
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication App(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
