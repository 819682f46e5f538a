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
    if (Kind != "temp") return std::string();
    std::string Dir = Platform.TempFolder();
    if (Dir.size() > 255) Dir.resize(255);
    while (!Dir.empty() && static_cast<unsigned char>(Dir.back()) <= ' ') Dir.pop_back();
    return IncludeTrailingDelim(Dir);
}

std::string TfrmMain::DefaultOutputFolder() {
    const std::string Pictures = Platform.PicturesFolder();
    return Platform.DirectoryExists(Pictures) ? Pictures : Platform.HomeFolder();
}

void TfrmMain::CheckOutputFolder() {
    if (OutputFolder.empty() || !Platform.DirectoryExists(OutputFolder)) {
        OutputFolder = DefaultOutputFolder();
        JamPathLabel1.SetText(OutputFolder);
    }
    if (!Platform.DirectoryWritable(OutputFolder))
        throw std::runtime_error("The output folder " + OutputFolder +
                                 " cannot be written. Choose another one with \"Select folder...\".");
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
                                    NoteFailure(Files[I].Path, E.what());
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
            NoteFailure(Path, E.what());
            throw;
        }
    }
}

void TfrmMain::NoteFailure(const std::string& Path, const std::string& Reason) {
    RunFailures.emplace_back(Path, Reason);
    Platform.ReportFailure(Path, Reason);
}

std::string FailureLines(const std::vector<std::pair<std::string, std::string>>& Failures, std::size_t Named) {
    std::string S;
    for (std::size_t I = 0; I < Failures.size() && I < Named; ++I)
        S.append("\n").append(Failures[I].first).append(": ").append(Failures[I].second);
    if (Failures.size() > Named) S.append("\n... and ").append(std::to_string(Failures.size() - Named)).append(" more.");
    return S;
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
    std::string Summary = RunSummary(Converted, NotConverted, Subfolders, Aborted);
    if (MessagesGiveReasons && !RunFailures.empty())
        Summary += "\n\nNot converted:" + FailureLines(RunFailures, FailuresNamed);
    Platform.MessageBox(Summary, Title, TMsgIcon::Information, TMsgButtons::OK);
}

// ------------------------------------------------------------ test page

namespace {

// A file name as a relative URL: bytes other than letters, digits and the
// marks that mean nothing in a path are percent-encoded (UTF-8 names byte
// by byte), so that the URL names the file whatever it holds.
std::string UrlOf(const std::string& Name) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string Url;
    for (const char C : Name) {
        const auto B = static_cast<unsigned char>(C);
        if (std::isalnum(B) || std::strchr("-._~!$'()*+,;=@", C) != nullptr) {
            Url += C;
        } else {
            Url += '%';
            Url += Hex[B >> 4];
            Url += Hex[B & 15];
        }
    }
    return Url;
}

// A file name as HTML text in any character set: markup characters and
// every character beyond ASCII as character references. Bytes that are
// not UTF-8 become the replacement character.
std::string HtmlText(const std::string& Name) {
    std::string Text;
    for (std::size_t I = 0; I < Name.size();) {
        const auto B = static_cast<unsigned char>(Name[I]);
        if (B < 0x80) {
            switch (B) {
                case '&': Text += "&amp;"; break;
                case '<': Text += "&lt;"; break;
                case '>': Text += "&gt;"; break;
                case '"': Text += "&quot;"; break;
                default: Text += static_cast<char>(B);
            }
            ++I;
            continue;
        }
        // The length of the sequence and the bits of its first byte.
        const std::size_t Length = B >= 0xF0 ? 4 : B >= 0xE0 ? 3 : B >= 0xC2 ? 2 : 0;
        std::uint32_t Code = Length == 4 ? B & 0x07u : Length == 3 ? B & 0x0Fu : B & 0x1Fu;
        bool Valid = Length != 0 && B < 0xF5 && I + Length <= Name.size();
        for (std::size_t K = 1; Valid && K < Length; ++K) {
            const auto Next = static_cast<unsigned char>(Name[I + K]);
            Valid = (Next & 0xC0) == 0x80;
            Code = (Code << 6) | (Next & 0x3Fu);
        }
        // Overlong forms, surrogates and values past Unicode are not text.
        static constexpr std::uint32_t Least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (Valid) Valid = Code >= Least[Length] && Code <= 0x10FFFF && (Code < 0xD800 || Code > 0xDFFF);
        if (!Valid) {
            Text += "&#65533;";
            ++I;
            continue;
        }
        Text += "&#" + std::to_string(Code) + ";";
        I += Length;
    }
    return Text;
}

}  // namespace

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
    // The name goes in as a URL where the page loads the movie and as text
    // where it shows it; a plain name is the same either way.
    const std::pair<const char*, std::string> Places[] = {{"%WW%", WidthText},     {"%HH%", HeightText},
                                                            {"%FF%", UrlOf(SwfName)}, {"%SS%", "#CCCCCC"},
                                                            {"%NN%", "#000000"},    {"%TT%", HtmlText(SwfName)}};
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
