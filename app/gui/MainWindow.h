// The desktop program's main window: the widgets of the design, laid out
// in its coordinates and anchored as it says, bound to the window logic.
#pragma once

#include <QDialog>
#include <QMainWindow>

#include <functional>
#include <memory>

#include "QtControls.h"
#include "untMain.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace anivert {

// The about box: the product's name, version and purpose; closes with its
// button or the Escape key.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* Parent);
};

class TMainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Client area of the design.
    static constexpr int ClientWidth = 784;
    static constexpr int ClientHeight = 384;

    explicit TMainWindow(TPlatform& Platform);
    ~TMainWindow() override;

    TfrmMain& Form() { return *FForm; }

    // The widgets, for the window's own wiring and for tests.
    QToolButton* TBSubmenuItem1 = nullptr;
    QAction* TBItem1 = nullptr;
    QAction* About1 = nullptr;
    // The movie options menu, beside Help.
    QToolButton* TBSubmenuItem2 = nullptr;
    QAction* CompactMovies1 = nullptr;
    QAction* SalvageGifs1 = nullptr;
    QAction* LoopAsGif1 = nullptr;
    QAction* AllowLarge1 = nullptr;
    // F5: the selected folder read afresh.
    QAction* Refresh1 = nullptr;
    QTreeWidget* FTree = nullptr;
    QListWidget* LV1 = nullptr;
    QComboBox* CB1 = nullptr;
    QCheckBox* ChB1 = nullptr;
    QScrollArea* BPanel1 = nullptr;
    TPreviewWidget* Image1 = nullptr;
    QFrame* BV2 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QRadioButton* RBSingle = nullptr;
    QRadioButton* RBFolder = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QLineEdit* EURL = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QPushButton* btnStart = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLabel* JamPathLabel1 = nullptr;
    QPushButton* btnSelectFolder = nullptr;
    QWidget* RzSB1 = nullptr;
    QLabel* RzP2 = nullptr;
    QProgressBar* RzB = nullptr;
    QLabel* RzP = nullptr;

protected:
    void resizeEvent(QResizeEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void Build();
    void Wire();
    void LayOut();
    // Runs an event's handler in the window's logic: no exception reaches
    // the toolkit; an error is shown in a box.
    void Guarded(const std::function<void()>& Handler);

    QWidget* FClient = nullptr;
    std::unique_ptr<TfrmMain> FForm;
    bool FClosing = false;
};

}  // namespace anivert
