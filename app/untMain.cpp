#include "untMain.h"

#include <cctype>
#include <cmath>

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
      LoopAsGif1(*FControls.LoopAsGif1) {
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
}

TfrmMain::~TfrmMain() { FTree.OnChange = nullptr; }

std::string TfrmMain::ProgramFolder() { return ExtractFilePath(Platform.ExecutablePath()); }

std::string TfrmMain::GetDir(const std::string& Kind) {
    if (Kind != "temp") return std::string();
    std::string Dir = Platform.TempFolder();
    if (Dir.size() > 255) Dir.resize(255);
    while (!Dir.empty() && static_cast<unsigned char>(Dir.back()) <= ' ') Dir.pop_back();
    return IncludeTrailingDelim(Dir);
}

// ------------------------------------------------------------ start-up and settings

void TfrmMain::FormCreate() {
    Aborted = false;
    FMutex = Platform.CreateNamedMutex(MutexName);
    HelpFile = ProgramFolder() + HelpFileName;
    SelectedIndex = -1;
    Dragging = false;
    Window.SetMinimumSize(Window.Width(), Window.Height());
    readini();
    CommandLineMode = false;
    const std::vector<std::string> Args = Platform.CommandLineArgs();
    if (!Args.empty() && Platform.FileExists(Args[0])) {
        CommandLineMode = true;
        const std::string Folder = ExtractFilePath(Args[0]);
        if (!Folder.empty()) OutputFolder = Folder;
        LastJobSucceeded = ConvertNow(Args[0], std::string());
    }
}

void TfrmMain::FormClose() {
    if (!CommandLineMode) writeini();
}

void TfrmMain::readini() {
    std::unique_ptr<TSettingsKey> Key = Platform.OpenSettings(RegistryKey, true);
    if (!Key) return;
    if (!Key->ReadString("LastDir", LastDir)) LastDir.clear();
    std::string Out;
    OutputFolder = Key->ReadString("OutputFolder", Out) ? Out : std::string();
    if (!Platform.DirectoryExists(OutputFolder)) OutputFolder = ProgramFolder();
    JamPathLabel1.SetText(OutputFolder);
    if (!LastDir.empty() && Platform.DirectoryExists(LastDir)) FTree.SetSelectedFolder(LastDir);
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
    Key->WriteInteger("L", Window.Left());
    Key->WriteInteger("T", Window.Top());
    Key->WriteInteger("W", Window.Width());
    Key->WriteInteger("H", Window.Height());
}

void TfrmMain::FTreeChange() {
    LastDir = FTree.SelectedFolder();
    SelectedIndex = -1;
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
    if (!Loaded) {
        Image.SetPicture(nullptr);
        Image.SetBounds(0, 0, 10, 10);
        Box.SetContentSize(10, 10);
        Image.SetCursor(TCursorKind::Default);
        return;
    }
    const std::int32_t W = Gif->Width(), H = Gif->Height();
    // The picture control takes the loaded image itself: a copy would be
    // the same frames, maps and extensions.
    Image.SetPicture(std::move(Gif));
    const std::int32_t Left = W < Box.ClientWidth() ? (Box.ClientWidth() - W) / 2 : 0;
    const std::int32_t Top = H < Box.ClientHeight() ? (Box.ClientHeight() - H) / 2 : 0;
    Image.SetBounds(Left, Top, W, H);
    Box.SetContentSize(Left + W, Top + H);
    Image.SetCursor(Box.HorzScrollBarVisible() || Box.VertScrollBarVisible() ? TCursorKind::HandPoint
                                                                             : TCursorKind::Default);
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

namespace {

// Thrown inside a folder run to end it at once (ESC pressed).
struct TRunAborted {};

}  // namespace

void TfrmMain::FileLoop(const std::string& SubFolder, int& Converted, int& NotConverted) {
    const int Rows = LV1.RowCount();
    if (Jobs > 1 && Rows > 1) {
        // Several at a time; the counts, the progress and what the jobs
        // report come file by file as below.
        std::vector<TBatchFile> Files;
        for (int I = 0; I < Rows; ++I) Files.push_back({LV1.RowPath(I), SubFolder, OutputFolder});
        if (Aborted) throw TRunAborted{};
        int Finished = 0;
        ConvertTogether(Files, TMsgResult::No, [this] { return !Aborted; },
                        [&](std::size_t I, bool Made, std::exception_ptr Error) {
                            if (Error) {
                                try {
                                    std::rethrow_exception(Error);
                                } catch (const std::exception& E) {
                                    Platform.ReportFailure(Files[I].Path, E.what());
                                    throw;
                                }
                            }
                            RzB.SetPercent(static_cast<int>(std::nearbyint((I + 1) * 100.0 / Rows)));
                            ++(Made ? Converted : NotConverted);
                            ++Finished;
                        });
        if (Finished < Rows) throw TRunAborted{};
        return;
    }
    for (int I = 0; I < Rows; ++I) {
        if (Aborted) throw TRunAborted{};
        RzB.SetPercent(static_cast<int>(std::nearbyint((I + 1) * 100.0 / LV1.RowCount())));
        const std::string Path = LV1.RowPath(I);
        try {
            if (ConvertNow(Path, SubFolder)) ++Converted;
            else ++NotConverted;
        } catch (const std::exception& E) {
            // The error ends the run (or this sub-folder's step); the file
            // is named with it first.
            Platform.ReportFailure(Path, E.what());
            throw;
        }
    }
}

std::string RunSummary(int Converted, int NotConverted, int Subfolders, bool Aborted) {
    if (Aborted) return "The converting process has been aborted by user.";
    const int Total = Converted + NotConverted;
    std::string S;
    if (Converted == 0) S = Total == 0 ? "No files have been found." : "No files have been converted.";
    else if (Converted == 1) S.append("1 file of ").append(std::to_string(Total)).append(" has been successfully converted.");
    else
        S.append(std::to_string(Converted))
            .append(" files of ")
            .append(std::to_string(Total))
            .append(" have been successfully converted.");
    if (Subfolders > 1) S.append(" ").append(std::to_string(Subfolders)).append(" subfolders have been processed.");
    if (Subfolders == 1) S.append(" 1 subfolder has been processed.");
    return S;
}

void TfrmMain::btnStartClick() {
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
    Platform.SetBusyCursor(true);
    RzP.SetText("Press ESC to abort  |  Processing: " + FTree.SelectedFolder());
    try {
        try {
            FileLoop(std::string(), Converted, NotConverted);
        } catch (const TRunAborted&) {
            throw;
        } catch (...) {
            // An error in the folder itself ends the run with it; the
            // window is put back as it was before the run.
            RzB.SetPercent(0);
            RzB.SetVisible(false);
            RzP2.SetVisible(true);
            RzP.SetText(std::string());
            Platform.SetBusyCursor(false);
            throw;
        }
        try {
            const TTreeNode Node = FTree.Selected();
            FTree.Expand(Node);
            TTreeNode Child = FTree.FirstChild(Node);
            if (!Child.empty()) {
                const std::string LastChildText = FTree.NodeText(FTree.LastChild(Node));
                auto Enter = [&](const TTreeNode& C) {
                    FTree.SetSelectedFolder(Root + FTree.NodeText(C));
                    LV1.Refresh();
                    ++Subfolders;
                    RzP.SetText("Processing: " + FTree.SelectedFolder());
                    FileLoop(FTree.NodeText(C), Converted, NotConverted);
                };
                Enter(Child);
                while (FTree.NodeText(Child) != LastChildText) {
                    if (Aborted) throw TRunAborted{};
                    Child = FTree.NextSibling(Child);
                    if (Child.empty()) break;
                    Enter(Child);
                }
            }
        } catch (const TRunAborted&) {
            throw;
        } catch (const EStopNow&) {
            throw;
        } catch (...) {
            // An error in the sub-folders ends that step only; the summary
            // reports what was counted.
        }
    } catch (const TRunAborted&) {
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
    Platform.MessageBox(RunSummary(Converted, NotConverted, Subfolders, Aborted), Title, TMsgIcon::Information,
                        TMsgButtons::OK);
}

// ------------------------------------------------------------ test page

std::string BuildTestPage(const std::string& SwfName, const std::string& WidthText, const std::string& HeightText,
                          const std::string& SizeText, bool Transparent) {
    const std::string CRLF = "\r\n";
    const std::string ParamLine = Transparent ? "    <param name=\"wmode\" value=\"transparent\">" + CRLF : "";
    const std::string EmbedAttr = Transparent ? " wmode=\"transparent\"" : "";
    std::string Page;
    Page += "<html>" + CRLF;
    Page += "<head>" + CRLF;
    Page += "<title>Test page for %TT%</title>" + CRLF;
    Page += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">" + CRLF;
    Page += "</head>" + CRLF;
    Page += "<body bgcolor=\"%SS%\" text=\"#000000\">" + CRLF;
    Page += "<p align=\"center\"><font size=\"6\" color=\"%NN%\">HTML Sample Page.</font></p>" + CRLF;
    Page += "<font color=\"%NN%\">File: %TT%</font><BR>" + CRLF;
    Page += CRLF;
    Page += "<object classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\" "
            "codebase=\"http://download.macromedia.com/pub/shockwave/cabs/flash/swflash.cab#version=5,0,0,0\" "
            "width=\"%WW%\" height=\"%HH%\">" +
            CRLF;
    Page += "    <param name=\"movie\" value=\"%FF%\">" + CRLF;
    Page += "    <param name=\"quality\" value=\"high\">" + CRLF;
    Page += ParamLine;
    Page += "    <embed src=\"%FF%\" quality=\"high\"" + EmbedAttr +
            " pluginspage=\"http://www.macromedia.com/shockwave/download/index.cgi?P1_Prod_Version=ShockwaveFlash\"" +
            CRLF;
    Page += "type=\"application/x-shockwave-flash\" width=\"%WW%\" height=\"%HH%\">" + CRLF;
    Page += "    </embed>" + CRLF;
    Page += "</object>" + CRLF;
    Page += CRLF;
    Page += "<BR>" + CRLF;
    Page += "<font color=\"%NN%\">File size: " + SizeText + " bytes</font>" + CRLF;
    Page += "</body>" + CRLF;
    Page += "</html>";
    // Every occurrence, letter case ignored, in this order; a value put in
    // by an earlier replacement meets the later ones.
    const std::pair<const char*, std::string> Places[] = {{"%WW%", WidthText}, {"%HH%", HeightText},
                                                            {"%FF%", SwfName},   {"%SS%", "#CCCCCC"},
                                                            {"%NN%", "#000000"}, {"%TT%", SwfName}};
    for (const auto& [Key, Value] : Places) {
        std::string Out;
        std::size_t I = 0;
        while (I < Page.size()) {
            bool Match = I + 4 <= Page.size();
            for (std::size_t K = 0; Match && K < 4; ++K)
                Match = std::toupper(static_cast<unsigned char>(Page[I + K])) == static_cast<unsigned char>(Key[K]);
            if (Match) {
                Out += Value;
                I += 4;
            } else {
                Out += Page[I++];
            }
        }
        Page = std::move(Out);
    }
    return Page;
}

void TfrmMain::ShowHTML(const std::string& SwfPath, const std::string& WidthText, const std::string& HeightText,
                        bool Transparent) {
    const std::string HtmlPath = ChangeFileExt(SwfPath, ".html");
    const std::int64_t Size = Platform.FileSize(SwfPath);
    const std::string Page = BuildTestPage(ExtractFileName(SwfPath), WidthText, HeightText,
                                           std::to_string(Size < 0 ? 0 : Size), Transparent) +
                             "\r\n";
    TFileStream Out(HtmlPath, TFileMode::fmCreate);
    Out.WriteBuffer(Page.data(), Page.size());
    Out.Close();
    Platform.ProcessMessages();
    Platform.OpenDocument(HtmlPath);
}

}  // namespace anivert
