#include "MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "AppInfo.h"

namespace anivert {

namespace {

constexpr const char* HintProperty = "anivertHint";

void SetHint(QWidget* W, const char* Hint) {
    W->setProperty(HintProperty, QString::fromUtf8(Hint));
    W->setToolTip(Q(std::string(Hint).substr(std::string(Hint).find('|') + 1)));
}

}  // namespace

// ------------------------------------------------------------ about box

TfrmAbout::TfrmAbout(QWidget* Parent) : QDialog(Parent) {
    setWindowTitle(QStringLiteral("About Anivert"));
    auto* Layout = new QVBoxLayout(this);
    auto* Text = new QLabel(this);
    Text->setTextFormat(Qt::RichText);
    Text->setText(QStringLiteral("<h2>Anivert</h2><p>Version %1</p>"
                                 "<p>Turns animated GIF files into SWF movies that play like the GIF:<br>"
                                 "every frame a lossless picture with transparency, with the GIF's<br>"
                                 "delays and disposal methods, at 24 frames per second.</p>")
                      .arg(Q(ApplicationVersion())));
    Layout->addWidget(Text);
    auto* Buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    Layout->addWidget(Buttons);
}

// ------------------------------------------------------------ main window

TMainWindow::TMainWindow(TPlatform& Platform) {
    setWindowTitle(QStringLiteral("Anivert"));
    Build();
    TMainControls C;
    C.RBSingle = std::make_unique<TQtRadioButton>(RBSingle);
    C.RBFolder = std::make_unique<TQtRadioButton>(RBFolder);
    C.EURL = std::make_unique<TQtEdit>(EURL);
    C.GroupBox4 = std::make_unique<TQtGroupBox>(GroupBox4);
    auto Tree = std::make_unique<TQtFolderTree>(FTree);
    TQtFolderTree* TreePtr = Tree.get();
    C.FTree = std::move(Tree);
    C.LV1 = std::make_unique<TQtFileList>(LV1, [TreePtr] { return TreePtr->SelectedFolder(); });
    C.RzP = std::make_unique<TQtStatusPane>(RzP);
    C.RzP2 = std::make_unique<TQtStatusPane>(RzP2);
    C.RzB = std::make_unique<TQtProgressBar>(RzB);
    C.btnStart = std::make_unique<TQtButton>(btnStart);
    C.JamPathLabel1 = std::make_unique<TQtLabel>(JamPathLabel1);
    C.Window = std::make_unique<TQtWindowFrame>(this);
    C.ChB1 = std::make_unique<TQtCheckBox>(ChB1);
    C.Image1 = std::make_unique<TQtPreviewImage>(Image1);
    C.BPanel1 = std::make_unique<TQtPreviewBox>(BPanel1);
    C.CompactMovies1 = std::make_unique<TQtMenuCheck>(CompactMovies1);
    C.SalvageGifs1 = std::make_unique<TQtMenuCheck>(SalvageGifs1);
    C.LoopAsGif1 = std::make_unique<TQtMenuCheck>(LoopAsGif1);
    C.AllowLarge1 = std::make_unique<TQtMenuCheck>(AllowLarge1);
    FForm = std::make_unique<TfrmMain>(Platform, std::move(C));
    Wire();
    qApp->installEventFilter(this);
}

TMainWindow::~TMainWindow() {
    qApp->removeEventFilter(this);
    // The logic refers to the widgets: it goes first.
    FForm.reset();
}

void TMainWindow::Build() {
    FClient = new QWidget(this);
    setCentralWidget(FClient);
    resize(ClientWidth, ClientHeight);

    TBSubmenuItem1 = new QToolButton(FClient);
    TBSubmenuItem1->setText(QStringLiteral("Help"));
    TBSubmenuItem1->setPopupMode(QToolButton::InstantPopup);
    TBSubmenuItem1->setAutoRaise(true);
    auto* Menu = new QMenu(TBSubmenuItem1);
    TBItem1 = Menu->addAction(QStringLiteral("Help contents"));
    TBItem1->setShortcut(QKeySequence(Qt::Key_F1));
    TBItem1->setShortcutContext(Qt::ApplicationShortcut);
    addAction(TBItem1);
    About1 = Menu->addAction(QStringLiteral("About Anivert..."));
    TBSubmenuItem1->setMenu(Menu);

    TBSubmenuItem2 = new QToolButton(FClient);
    TBSubmenuItem2->setText(QStringLiteral("Options"));
    TBSubmenuItem2->setPopupMode(QToolButton::InstantPopup);
    TBSubmenuItem2->setAutoRaise(true);
    auto* Options = new QMenu(TBSubmenuItem2);
    CompactMovies1 = Options->addAction(QStringLiteral("Compact movies"));
    CompactMovies1->setCheckable(true);
    LoopAsGif1 = Options->addAction(QStringLiteral("Loop as the GIF says"));
    LoopAsGif1->setCheckable(true);
    SalvageGifs1 = Options->addAction(QStringLiteral("Salvage damaged GIFs"));
    SalvageGifs1->setCheckable(true);
    AllowLarge1 = Options->addAction(QStringLiteral("Allow very large movies"));
    AllowLarge1->setCheckable(true);
    TBSubmenuItem2->setMenu(Options);
    Refresh1 = new QAction(QStringLiteral("Refresh"), this);
    Refresh1->setShortcut(QKeySequence(Qt::Key_F5));
    Refresh1->setShortcutContext(Qt::ApplicationShortcut);
    addAction(Refresh1);

    FTree = new QTreeWidget(FClient);
    LV1 = new QListWidget(FClient);
    CB1 = new QComboBox(FClient);
    CB1->addItem(QStringLiteral("GIF images (*.gif)"));
    ChB1 = new QCheckBox(QStringLiteral("Preview"), FClient);
    ChB1->setChecked(true);
    ChB1->hide();

    BPanel1 = new QScrollArea(FClient);
    BPanel1->setWidgetResizable(false);
    BPanel1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* Content = new QWidget;
    Image1 = new TPreviewWidget(Content);
    Image1->setGeometry(48, 24, 105, 105);
    BPanel1->setWidget(Content);
    Content->resize(197, 149);

    BV2 = new QFrame(FClient);
    BV2->setFrameShape(QFrame::VLine);
    BV2->setFrameShadow(QFrame::Sunken);

    GroupBox1 = new QGroupBox(QStringLiteral("Mode"), FClient);
    RBSingle = new QRadioButton(QStringLiteral("Convert the selected file"), GroupBox1);
    RBFolder = new QRadioButton(QStringLiteral("Convert the whole folder with its sub-folders"), GroupBox1);
    RBSingle->setGeometry(12, 18, 310, 20);
    RBFolder->setGeometry(12, 40, 310, 20);
    RBSingle->setChecked(true);
    SetHint(RBSingle, "Single|Converts the file selected in the list into a movie");
    SetHint(RBFolder, "Folder|Converts every GIF of the folder and of its first-level sub-folders");

    GroupBox4 = new QGroupBox(QStringLiteral("Link (single file only)"), FClient);
    EURL = new QLineEdit(QStringLiteral("http://"), GroupBox4);
    EURL->setGeometry(12, 26, 308, 24);
    SetHint(EURL, "URL|A click on the movie opens this address in a new window (single file only)");

    GroupBox3 = new QGroupBox(QStringLiteral("Quality"), FClient);
    ComboBox1 = new QComboBox(GroupBox3);
    ComboBox1->addItems({QStringLiteral("Best quality"), QStringLiteral("80 %"), QStringLiteral("60 %"),
                         QStringLiteral("40 %")});
    ComboBox1->setGeometry(12, 26, 308, 24);
    SetHint(ComboBox1, "Quality|The quality can change the size of the movie");
    GroupBox3->hide();

    btnStart = new QPushButton(QStringLiteral("Start"), FClient);
    btnStart->setEnabled(false);
    btnStart->setDefault(true);

    GroupBox2 = new QGroupBox(QStringLiteral("Output folder"), FClient);
    JamPathLabel1 = new QLabel(GroupBox2);
    JamPathLabel1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    JamPathLabel1->setFrameShape(QFrame::StyledPanel);
    JamPathLabel1->setGeometry(12, 22, 308, 22);
    btnSelectFolder = new QPushButton(QStringLiteral("Select folder..."), GroupBox2);
    btnSelectFolder->setGeometry(200, 48, 120, 25);

    RzSB1 = new QWidget(FClient);
    RzP2 = new QLabel(RzSB1);
    RzB = new QProgressBar(RzSB1);
    RzP = new QLabel(RzSB1);
    for (QLabel* L : {RzP2, RzP}) {
        L->setAlignment(Qt::AlignCenter);
        L->setFrameShape(QFrame::StyledPanel);
        L->setFrameShadow(QFrame::Sunken);
    }
    RzB->setRange(0, 100);
    RzB->setTextVisible(false);
    RzB->hide();
    // The panes: file position and progress 120 wide each, the text pane
    // takes the rest (and the progress bar's room while it is hidden).
    auto* Panes = new QHBoxLayout(RzSB1);
    Panes->setContentsMargins(0, 0, 0, 0);
    Panes->setSpacing(0);
    RzP2->setFixedWidth(120);
    RzB->setFixedWidth(120);
    Panes->addWidget(RzP2);
    Panes->addWidget(RzB);
    Panes->addWidget(RzP, 1);
    LayOut();
}

void TMainWindow::LayOut() {
    const int DX = std::max(0, FClient->width() - ClientWidth);
    const int DY = std::max(0, FClient->height() - ClientHeight);
    TBSubmenuItem1->setGeometry(0, 0, 48, 20);
    TBSubmenuItem2->setGeometry(48, 0, 64, 20);
    FTree->setGeometry(8, 24, 201 + DX, 169 + DY);
    LV1->setGeometry(220 + DX, 24, 201, 301 + DY);
    CB1->setGeometry(220 + DX, 334 + DY, 201, 21);
    BPanel1->setGeometry(8, 202 + DY, 201 + DX, 153);
    BV2->setGeometry(432 + DX, 0, 2, 365 + DY);
    GroupBox1->setGeometry(444 + DX, 20, 332, 65);
    GroupBox4->setGeometry(444 + DX, 92, 332, 65);
    GroupBox3->setGeometry(444 + DX, 164, 332, 65);
    btnStart->setGeometry(551 + DX, 243, 118, 25);
    GroupBox2->setGeometry(444 + DX, 276, 332, 79);
    const int W = FClient->width(), H = FClient->height();
    RzSB1->setGeometry(0, H - 19, W, 19);
}

void TMainWindow::resizeEvent(QResizeEvent* Event) {
    QMainWindow::resizeEvent(Event);
    LayOut();
    // The preview follows the box's new size.
    if (FForm) Guarded([this] { FForm->BPanel1Resize(); });
}

void TMainWindow::Guarded(const std::function<void()>& Handler) {
    std::string Error;
    try {
        Handler();
        return;
    } catch (const std::exception& E) {
        Error = E.what();
    } catch (...) {
        Error = "An unexpected error occurred.";
    }
    // The box is shown outside the handler: it may fail as well.
    try {
        FForm->Platform.MessageBox(Error, TfrmMain::Title, TMsgIcon::Error, TMsgButtons::OK);
    } catch (...) {
    }
}

void TMainWindow::Wire() {
    TfrmMain& F = *FForm;
    // Every handler runs guarded.
    auto On = [this](auto Handler) {
        return [this, Handler](auto&&...) { Guarded(Handler); };
    };
    connect(RBSingle, &QRadioButton::toggled, this, On([&F] { F.RBSingleClick(); }));
    connect(btnStart, &QPushButton::clicked, this, On([&F] { F.btnStartClick(); }));
    connect(btnSelectFolder, &QPushButton::clicked, this, On([&F] { F.btnSelectFolderClick(); }));
    connect(TBItem1, &QAction::triggered, this, On([&F] { F.TBItem1Click(); }));
    connect(About1, &QAction::triggered, this, On([&F] { F.About1Click(); }));
    connect(Refresh1, &QAction::triggered, this, On([&F] { F.RefreshFolder(); }));
    for (QAction* Item : {CompactMovies1, SalvageGifs1, LoopAsGif1, AllowLarge1})
        connect(Item, &QAction::toggled, this, On([&F] { F.MovieOptionsClick(); }));
    connect(ChB1, &QCheckBox::toggled, this, On([&F] { F.ChB1Click(); }));
    connect(LV1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this, &F](const QItemSelection& Selected, const QItemSelection& Deselected) {
                Guarded([&] {
                    for (const QModelIndex& I : Deselected.indexes()) F.LV1SelectItem(I.row(), false);
                    for (const QModelIndex& I : Selected.indexes()) F.LV1SelectItem(I.row(), true);
                });
            });
    Image1->OnMouseDown = [this, &F](int X, int Y) { Guarded([&] { F.Image1MouseDown(X, Y); }); };
    Image1->OnMouseMove = [this, &F](int X, int Y) { Guarded([&] { F.Image1MouseMove(X, Y); }); };
    Image1->OnMouseUp = [this, &F] { Guarded([&] { F.Image1MouseUp(); }); };
    // The tree's events as the logic set them, guarded.
    for (std::function<void()>* Event : {&F.FTree.OnChange, &F.FTree.OnReselect})
        if (*Event) *Event = [this, Inner = *Event] { Guarded(Inner); };
    F.RBSingleClick();
}

bool TMainWindow::eventFilter(QObject* Watched, QEvent* Event) {
    // The window sees keys before its controls: Escape aborts a run.
    auto* Target = qobject_cast<QWidget*>(Watched);
    if (Event->type() == QEvent::KeyPress && Target && Target->window() == this) {
        auto* Key = static_cast<QKeyEvent*>(Event);
        if (Key->key() == Qt::Key_Escape && FForm) Guarded([this] { FForm->FormKeyPress(27); });
    }
    // Hints: the status pane shows the long part of the hint under the mouse.
    if ((Event->type() == QEvent::Enter || Event->type() == QEvent::Leave) && FForm && Watched->isWidgetType()) {
        const QVariant Hint = Watched->property(HintProperty);
        if (Hint.isValid())
            Guarded([&] { FForm->ShowHint(Event->type() == QEvent::Enter ? S(Hint.toString()) : std::string()); });
    }
    return QMainWindow::eventFilter(Watched, Event);
}

void TMainWindow::closeEvent(QCloseEvent* Event) {
    if (!FClosing && FForm) {
        FClosing = true;
        Guarded([this] { FForm->FormClose(); });
    }
    QMainWindow::closeEvent(Event);
}

}  // namespace anivert
