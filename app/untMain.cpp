#include "untMain.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "GIFImage.h"
#include "Streams.h"

namespace anivert {

// ------------------------------------------------------------ construction

TMainControls& TfrmMain::Prepare() {
    TMainControls& C = FControls;
    if (!C.RBSingle) C.RBSingle = std::make_unique<TRadioButton>();
    if (!C.RBFolder) C.RBFolder = std::make_unique<TRadioButton>();
    if (!C.EURL) C.EURL = std::make_unique<TEdit>();
    if (!C.GroupBox4) C.GroupBox4 = std::make_unique<TGroupBox>();
    if (!C.FTree) C.FTree = std::make_unique<TFileSystemFolderTree>();
    if (!C.LV1) C.LV1 = std::make_unique<TFileSystemFileList>([this] { return FControls.FTree->SelectedFolder(); });
    if (!C.RzP) C.RzP = std::make_unique<TStatusPane>();
    if (!C.RzP2) C.RzP2 = std::make_unique<TStatusPane>();
    if (!C.RzB) C.RzB = std::make_unique<TProgressBar>();
    if (!C.btnStart) C.btnStart = std::make_unique<TButton>();
    if (!C.JamPathLabel1) C.JamPathLabel1 = std::make_unique<TLabel>();
    if (!C.ChB1) C.ChB1 = std::make_unique<TCheckBox>();
    if (!C.Image1) C.Image1 = std::make_unique<TPreviewImage>();
    if (!C.BPanel1) C.BPanel1 = std::make_unique<TPreviewBox>();
    if (!C.CompactMovies1) C.CompactMovies1 = std::make_unique<TCheckBox>();
    if (!C.SalvageGifs1) C.SalvageGifs1 = std::make_unique<TCheckBox>();
    if (!C.LoopAsGif1) C.LoopAsGif1 = std::make_unique<TCheckBox>();
    if (!C.AllowLarge1) C.AllowLarge1 = std::make_unique<TCheckBox>();
    if (!C.Window) {
        C.Window = std::make_unique<TWindowFrame>();
        C.Window->SetWidth(DesignWidth);
        C.Window->SetHeight(DesignHeight);
    }
    return C;
}

TfrmMain::TfrmMain(TPlatform& APlatform, TMainControls Controls)
    : FControls(std::move(Controls)),
      Platform(APlatform),
      RBSingle(*Prepare().RBSingle),
      RBFolder(*FControls.RBFolder),
      EURL(*FControls.EURL),
      GroupBox4(*FControls.GroupBox4),
      FTree(*FControls.FTree),
      LV1(*FControls.LV1),
      RzP(*FControls.RzP),
      RzP2(*FControls.RzP2),
      RzB(*FControls.RzB),
      btnStart(*FControls.btnStart),
      JamPathLabel1(*FControls.JamPathLabel1),
      Window(*FControls.Window),
      ChB1(*FControls.ChB1),
      Image1(*FControls.Image1),
      BPanel1(*FControls.BPanel1),
      CompactMovies1(*FControls.CompactMovies1),
      SalvageGifs1(*FControls.SalvageGifs1),
      LoopAsGif1(*FControls.LoopAsGif1),
      AllowLarge1(*FControls.AllowLarge1) {
    // The window's design state: single mode, the default link text, the
    // Start button disabled, the progress bar hidden.
    RBSingle.SetChecked(true);
    RBFolder.SetChecked(false);
    EURL.SetText(DefaultURL);
    btnStart.SetEnabled(false);
    RzB.SetVisible(false);
    // The preview is always on.
    ChB1.SetChecked(true);
    ChB1.SetVisible(false);
    FTree.OnChange = [this] {
        FTreeChange();
        LV1.Refresh();
    };
    FTree.OnReselect = [this] { RefreshFolder(); };
    Options.MaxPixelsRemedy = MaxPixelsRemedy;
}

TfrmMain::~TfrmMain() {
    FTree.OnChange = nullptr;
    FTree.OnReselect = nullptr;
}

std::string TfrmMain::ProgramFolder() { return ExtractFilePath(Platform.ExecutablePath()); }

std::string TfrmMain::GetDir(const std::string& Kind) {
    return Kind == "temp" ? ConversionTempFolder(Platform) : std::string();
}

std::string TfrmMain::DefaultOutputFolder() { return anivert::DefaultOutputFolder(Platform); }

void TfrmMain::CheckOutputFolder() {
    if (OutputFolder.empty() || !Platform.DirectoryExists(OutputFolder)) {
        OutputFolder = DefaultOutputFolder();
        JamPathLabel1.SetText(OutputFolder);
    }
    if (!Platform.DirectoryWritable(OutputFolder))
        throw std::runtime_error(UnwritableFolderMessage(OutputFolder));
}

// ------------------------------------------------------------ start-up and settings

void TfrmMain::FormCreate() {
    Aborted = false;
    FMutex = Platform.CreateNamedMutex(MutexName);
    // Installed, the help page is with the program's shared files
    // (/usr/share/anivert/ for /usr/bin/anivert); in a build, beside it.
    const std::string Shared =
        ProgramFolder().empty() ? std::string() : Platform.ExpandFileName(ProgramFolder() + "../share/anivert/");
    HelpFile = (Platform.DirectoryExists(Shared) ? IncludeTrailingDelim(Shared) : ProgramFolder()) + HelpFileName;
    SelectedIndex = -1;
    Dragging = false;
    Window.SetMinimumSize(Window.Width(), Window.Height());
    readini();
    CommandLineMode = false;
    const std::vector<std::string> Args = Platform.CommandLineArgs();
    if (!Args.empty() && Platform.FileExists(Args[0])) {
        CommandLineMode = true;
        // A bare name is a file of the current folder: the movie goes
        // beside the GIF all the same.
        const std::string File = Platform.ExpandFileName(Args[0]);
        const std::string Folder = ExtractFilePath(File);
        if (!Folder.empty()) OutputFolder = Folder;
        LastJobSucceeded = ConvertNow(File, std::string());
    }
}

void TfrmMain::FormClose() {
    if (!CommandLineMode) writeini();
}

void TfrmMain::readini() {
    std::unique_ptr<TSettingsKey> Key = Platform.OpenSettings(RegistryKey, true);
    std::string Out;
    if (!Key || !Key->ReadString("LastDir", LastDir)) LastDir.clear();
    OutputFolder = Key && Key->ReadString("OutputFolder", Out) ? Out : std::string();
    if (!Platform.DirectoryExists(OutputFolder)) OutputFolder = DefaultOutputFolder();
    JamPathLabel1.SetText(OutputFolder);
    // The tree opens on the last folder, else on the home folder.
    const std::string Start = Platform.DirectoryExists(LastDir) ? LastDir : Platform.HomeFolder();
    if (Platform.DirectoryExists(Start)) {
        FTree.SetSelectedFolder(Start);
        FTree.Expand(FTree.Selected());
    }
    if (!Key) return;
    // The movie options: off when missing or not a number.
    auto ReadFlag = [&Key](const char* Name) {
        std::int32_t Flag = 0;
        return Key->ReadInteger(Name, Flag) && Flag != 0;
    };
    Options.Compact = ReadFlag("Compact");
    CompactMovies1.SetChecked(Options.Compact);
    Options.Salvage = ReadFlag("Salvage");
    SalvageGifs1.SetChecked(Options.Salvage);
    Options.LoopAsGif = ReadFlag("LoopAsGif");
    LoopAsGif1.SetChecked(Options.LoopAsGif);
    AllowLarge1.SetChecked(ReadFlag("AllowLarge"));
    Options.MaxPixels = AllowLarge1.Checked() ? TMovieOptions::UnlimitedPixels : TMovieOptions::DefaultMaxPixels;
    // The window rectangle; reading stops at the first value missing, and
    // the window then goes to the top-left corner.
    std::int32_t V = 0;
    bool Ok = Key->ReadInteger("L", V);
    if (Ok) Window.SetLeft(V);
    if (Ok && (Ok = Key->ReadInteger("T", V))) Window.SetTop(V);
    if (Ok && (Ok = Key->ReadInteger("W", V))) Window.SetWidth(V);
    if (Ok && (Ok = Key->ReadInteger("H", V))) Window.SetHeight(V);
    if (!Ok) {
        Window.SetLeft(0);
        Window.SetTop(0);
    }
}

void TfrmMain::writeini() {
    std::unique_ptr<TSettingsKey> Key = Platform.OpenSettings(RegistryKey, true);
    if (!Key) return;
    Key->WriteString("LastDir", LastDir);
    Key->WriteString("OutputFolder", OutputFolder);
    Key->WriteInteger("Compact", Options.Compact ? 1 : 0);
    Key->WriteInteger("Salvage", Options.Salvage ? 1 : 0);
    Key->WriteInteger("LoopAsGif", Options.LoopAsGif ? 1 : 0);
    Key->WriteInteger("AllowLarge", AllowLarge1.Checked() ? 1 : 0);
    Key->WriteInteger("L", Window.Left());
    Key->WriteInteger("T", Window.Top());
    Key->WriteInteger("W", Window.Width());
    Key->WriteInteger("H", Window.Height());
}

void TfrmMain::FTreeChange() {
    LastDir = FTree.SelectedFolder();
    SelectedIndex = -1;
}

void TfrmMain::RefreshFolder() {
    FTree.Refresh(FTree.Selected());
    FTreeChange();
    LV1.Refresh();
    // The list lost its selection with its rows.
    LV1SelectItem(-1, false);
}

void TfrmMain::btnSelectFolderClick() {
    const std::optional<std::string> Folder = Platform.BrowseForFolder(OutputFolder);
    if (!Folder) return;
    OutputFolder = *Folder;
    JamPathLabel1.SetText(OutputFolder);
}

void TfrmMain::TBItem1Click() { Platform.ShowHelp(HelpFile, 11); }

void TfrmMain::MovieOptionsClick() {
    Options.Compact = CompactMovies1.Checked();
    Options.Salvage = SalvageGifs1.Checked();
    Options.LoopAsGif = LoopAsGif1.Checked();
    Options.MaxPixels = AllowLarge1.Checked() ? TMovieOptions::UnlimitedPixels : TMovieOptions::DefaultMaxPixels;
}

// ------------------------------------------------------------ runs

void TfrmMain::FormKeyPress(char Key) {
    if (Key == 27) Aborted = true;
}

void TfrmMain::RBSingleClick() {
    const bool Single = RBSingle.Checked();
    GroupBox4.SetEnabled(Single);
    EURL.SetEnabled(Single);
    btnStart.SetEnabled(RBFolder.Checked() || !LV1.SelectedFiles().empty());
}

void TfrmMain::LV1SelectItem(int Index, bool Selected) {
    if (Selected) {
        btnStart.SetEnabled(true);
        Platform.ProcessMessages();
        SelectedIndex = static_cast<std::int16_t>(Index);
        RzP2.SetText("File: " + std::to_string(Index + 1) + "/" + std::to_string(LV1.RowCount()));
        if (ChB1.Checked()) ShowPreView(Image1, LV1.RowPath(Index), BPanel1);
    } else {
        ShowPreView(Image1, std::string(), BPanel1);
        if (RBSingle.Checked()) btnStart.SetEnabled(false);
    }
}

// ------------------------------------------------------------ preview

void TfrmMain::ShowPreView(TPreviewImage& Image, const std::string& FileName, TPreviewBox& Box) {
    auto Gif = std::make_unique<TGIFImage>();
    bool Loaded = false;
    if (!FileName.empty() && Platform.FileExists(FileName)) {
        try {
            Gif->LoadFile(FileName);
            Loaded = true;
        } catch (const std::exception&) {
            // A damaged file gives an empty preview, without a message.
        }
    }
    // The picture control takes the loaded image itself: a copy would be
    // the same frames, maps and extensions. A picture the control cannot
    // show (a screen too large for a canvas) leaves the preview empty too.
    try {
        Image.SetPicture(Loaded ? std::move(Gif) : nullptr);
    } catch (const std::exception&) {
        Image.SetPicture(nullptr);
    }
    PlacePreview(Image, Box);
}

void TfrmMain::PlacePreview(TPreviewImage& Image, TPreviewBox& Box) {
    const TGIFImage* Gif = Image.Picture();
    if (!Gif) {
        Image.SetBounds(0, 0, 10, 10);
        Box.SetContentSize(10, 10);
        Image.SetCursor(TCursorKind::Default);
        return;
    }
    const std::int32_t W = Gif->Width(), H = Gif->Height();
    // Centred in what the box shows beside the scroll bars the picture needs.
    const auto [HorzBar, VertBar] = Box.ScrollBarsFor(W, H);
    const std::int32_t ShownW = Box.ClientWidth() - (VertBar ? Box.ScrollBarSize() : 0);
    const std::int32_t ShownH = Box.ClientHeight() - (HorzBar ? Box.ScrollBarSize() : 0);
    const std::int32_t Left = W < ShownW ? (ShownW - W) / 2 : 0;
    const std::int32_t Top = H < ShownH ? (ShownH - H) / 2 : 0;
    Image.SetBounds(Left, Top, W, H);
    Box.SetContentSize(Left + W, Top + H);
    Image.SetCursor(Box.HorzScrollBarVisible() || Box.VertScrollBarVisible() ? TCursorKind::HandPoint
                                                                             : TCursorKind::Default);
}

void TfrmMain::BPanel1Resize() {
    Dragging = false;
    PlacePreview(Image1, BPanel1);
}

void TfrmMain::ChB1Click() {
    if (ChB1.Checked() && SelectedIndex >= 0 && SelectedIndex < LV1.RowCount())
        ShowPreView(Image1, LV1.RowPath(SelectedIndex), BPanel1);
    else
        ShowPreView(Image1, std::string(), BPanel1);
}

void TfrmMain::Image1MouseDown(std::int32_t X, std::int32_t Y) {
    if (Image1.Cursor() != TCursorKind::HandPoint) return;
    Dragging = true;
    DragX = static_cast<std::int16_t>(X);
    DragY = static_cast<std::int16_t>(Y);
}

void TfrmMain::Image1MouseMove(std::int32_t X, std::int32_t Y) {
    if (!Dragging) return;
    BPanel1.SetHorzPosition(BPanel1.HorzPosition() + DragX - X);
    BPanel1.SetVertPosition(BPanel1.VertPosition() + DragY - Y);
}

void TfrmMain::Image1MouseUp() { Dragging = false; }

void TfrmMain::ShowHint(const std::string& Hint) {
    const std::size_t Bar = Hint.find('|');
    RzP.SetText(Bar == std::string::npos ? Hint : Hint.substr(Bar + 1));
}

void TfrmMain::About1Click() { Platform.ShowAbout(); }

void TfrmMain::FileLoop(const std::string& SubFolder, int& Converted, int& NotConverted) {
    const int Rows = LV1.RowCount();
    if (Jobs > 1 && Rows > 1) {
        // Several at a time; the counts, the progress and what the jobs
        // report come file by file as below.
        std::vector<TBatchFile> Files;
        for (int I = 0; I < Rows; ++I) Files.push_back({LV1.RowPath(I), SubFolder, OutputFolder});
        if (Aborted) throw ERunAborted{};
        int Finished = 0;
        ConvertTogether(Files, TMsgResult::No, [this] { return !Aborted; },
                        [&](std::size_t I, bool Made, std::exception_ptr Error) {
                            if (Error) {
                                try {
                                    std::rethrow_exception(Error);
                                } catch (const std::exception& E) {
                                    NoteFailure(Files[I].Path, E.what());
                                    throw;
                                }
                            }
                            RzB.SetPercent(static_cast<int>(std::nearbyint((I + 1) * 100.0 / Rows)));
                            ++(Made ? Converted : NotConverted);
                            ++Finished;
                        });
        if (Finished < Rows) throw ERunAborted{};
        return;
    }
    for (int I = 0; I < Rows; ++I) {
        if (Aborted) throw ERunAborted{};
        RzB.SetPercent(static_cast<int>(std::nearbyint((I + 1) * 100.0 / LV1.RowCount())));
        const std::string Path = LV1.RowPath(I);
        try {
            if (ConvertNow(Path, SubFolder)) ++Converted;
            else ++NotConverted;
        } catch (const std::exception& E) {
            // The error ends the run (or this sub-folder's step); the file
            // is named with it first.
            NoteFailure(Path, E.what());
            throw;
        }
    }
}

void TfrmMain::NoteFailure(const std::string& Path, const std::string& Reason) {
    RunFailures.emplace_back(Path, Reason);
    Platform.ReportFailure(Path, Reason);
}

void TfrmMain::btnStartClick() {
    RunFailures.clear();
    // Nothing starts while the movies would have nowhere to go.
    CheckOutputFolder();
    if (RBSingle.Checked()) {
        for (int I = 0; I < LV1.RowCount(); ++I) {
            if (LV1.RowSelected(I)) {
                ConvertNow(LV1.RowPath(I), std::string());
                break;
            }
        }
        RzP.SetText(std::string());
        Platform.SetBusyCursor(false);
        return;
    }

    int Converted = 0, NotConverted = 0, Subfolders = 0;
    RzB.SetPercent(0);
    RzB.SetVisible(true);
    RzP2.SetVisible(false);
    Aborted = false;
    const std::string Root = IncludeTrailingDelim(FTree.SelectedFolder());
    // The folder as it is now, GIFs and sub-folders added since it was
    // shown included.
    FTree.Refresh(FTree.Selected());
    LV1.Refresh();
    Platform.SetBusyCursor(true);
    RzP.SetText("Press ESC to abort  |  Processing: " + FTree.SelectedFolder());
    // The folder's files are the list's rows, its sub-folders the tree's
    // children, each selected while its files are converted.
    const auto Visit = [&](const std::string& SubFolder) {
        if (!SubFolder.empty()) {
            FTree.SetSelectedFolder(Root + SubFolder);
            LV1.Refresh();
            RzP.SetText("Processing: " + FTree.SelectedFolder());
        }
        FileLoop(SubFolder, Converted, NotConverted);
    };
    const auto SubFolders = [&] {
        std::vector<std::string> Names;
        const TTreeNode Node = FTree.Selected();
        FTree.Expand(Node);
        TTreeNode Child = FTree.FirstChild(Node);
        if (Child.empty()) return Names;
        const std::string LastChildText = FTree.NodeText(FTree.LastChild(Node));
        for (;;) {
            Names.push_back(FTree.NodeText(Child));
            if (Names.back() == LastChildText) break;
            Child = FTree.NextSibling(Child);
            if (Child.empty()) break;
        }
        return Names;
    };
    try {
        Subfolders = WalkFolderRun(Visit, SubFolders, [this] { return !Aborted; });
    } catch (const ERunAborted&) {
    } catch (...) {
        // An error in the folder itself ends the run with it; the window
        // is put back as it was before the run.
        RzB.SetPercent(0);
        RzB.SetVisible(false);
        RzP2.SetVisible(true);
        RzP.SetText(std::string());
        Platform.SetBusyCursor(false);
        throw;
    }
    const std::string Selected = FTree.SelectedFolder();
    if (Selected != Root && IncludeTrailingDelim(Selected) != Root) {
        FTree.SetSelectedFolder(Root);
        RzP2.SetText(std::string());
    }
    RzB.SetPercent(0);
    RzB.SetVisible(false);
    RzP2.SetVisible(true);
    RzP.SetText(std::string());
    Platform.SetBusyCursor(false);
    RunConverted = Converted;
    RunNotConverted = NotConverted;
    std::string Summary = RunSummary(Converted, NotConverted, Subfolders, Aborted);
    if (MessagesGiveReasons && !RunFailures.empty())
        Summary += "\n\nNot converted:" + FailureLines(RunFailures, FailuresNamed);
    Platform.MessageBox(Summary, Title, TMsgIcon::Information, TMsgButtons::OK);
}

// ------------------------------------------------------------ test page

void TfrmMain::ShowHTML(const std::string& SwfPath, const std::string& WidthText, const std::string& HeightText,
                        bool Transparent) {
    const std::string HtmlPath = anivert::WriteTestPage(Platform, SwfPath, WidthText, HeightText, Transparent);
    Platform.ProcessMessages();
    Platform.OpenDocument(HtmlPath);
}

}  // namespace anivert
