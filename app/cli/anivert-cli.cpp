// anivert-cli: converts GIF files into movies from the command line, one by
// one (single mode) or a folder with its first-level sub-folders (folder
// mode), through the main window's logic without a window.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "AppInfo.h"
#include "SystemPlatform.h"
#include "untMain.h"

using namespace anivert;

namespace {

volatile std::sig_atomic_t Interrupted = 0;

void OnInterrupt(int) { Interrupted = 1; }

void Usage(std::ostream& Out) {
    Out << "Usage: anivert-cli [options] FILE.gif...\n"
           "       anivert-cli --folder DIR [options]\n"
           "\n"
           "Converts animated GIF files into SWF movies (version 6, 24 frames per second,\n"
           "lossless frames with transparency, the GIF's delays and disposal methods).\n"
           "\n"
           "Single files: each movie is written beside its GIF (or into -o DIR) and\n"
           "named after it with the extension .swf; an existing movie is replaced.\n"
           "Folder mode: every GIF of DIR and of its first-level sub-folders, in name\n"
           "order; movies of a sub-folder go to the sub-folder of the same name in the\n"
           "output folder (DIR itself unless -o is given). Ctrl-C stops the run before\n"
           "the next file.\n"
           "\n"
           "Options:\n"
           "  -o, --output DIR   write the movies into DIR (it must exist)\n"
           "      --url URL      make each movie a link that opens URL in a new window\n"
           "                     (single files only)\n"
           "      --test-page    write a test page (NAME.html) beside each movie\n"
           "  -n, --no-overwrite keep existing movies (single files)\n"
           "      --compact      compact movies: the same pictures in far fewer bytes\n"
           "                     (colour-mapped bitmaps, only what changed between\n"
           "                     frames, a faster deflater)\n"
           "      --loop gif     play as often as the GIF says, then stop on the last\n"
           "                     frame: once without a loop extension, N + 1 times\n"
           "                     for a loop count N, for ever for a count of 0\n"
           "      --loop forever repeat every movie for ever (the default)\n"
           "      --folder DIR   folder mode\n"
           "  -q, --quiet        print errors only\n"
           "  -h, --help         this text\n"
           "      --version      the program's version\n"
           "\n"
           "Exit status: 0 when every file was converted, 1 when any failed, 2 on bad\n"
           "usage.\n";
}

// The services of a terminal: messages are printed, questions answered
// without asking, Ctrl-C acts as the Escape key.
class TCliPlatform : public TSystemPlatform {
public:
    TfrmMain* Form = nullptr;
    bool Overwrite = true;
    bool Quiet = false;

    TMsgResult MessageBox(const std::string& Text, const std::string&, TMsgIcon Icon, TMsgButtons Buttons) override {
        EndProgressLine();
        if (Buttons == TMsgButtons::YesNo) {
            if (!Quiet) std::cout << Text << (Overwrite ? " yes" : " no") << "\n";
            return Overwrite ? TMsgResult::Yes : TMsgResult::No;
        }
        if (Icon == TMsgIcon::Error) std::cerr << Text << "\n";
        else if (!Quiet) std::cout << Text << "\n";
        return TMsgResult::OK;
    }
    void SetBusyCursor(bool) override {}
    void ProcessMessages() override {
        if (Interrupted && Form) {
            Interrupted = 0;
            Form->FormKeyPress(27);
        }
    }
    std::optional<std::string> BrowseForFolder(const std::string&) override { return std::nullopt; }
    void ShowHelp(const std::string&, int) override {}
    void OpenDocument(const std::string& Path) override {
        if (!Quiet) std::cout << "Test page: " << Path << "\n";
    }

    void ProgressLine(const std::string& Line) {
        if (Quiet || !isatty(STDOUT_FILENO)) return;
        std::cout << "\r" << Line << "\033[K" << std::flush;
        FOpenLine = true;
    }
    void EndProgressLine() {
        if (!FOpenLine) return;
        std::cout << "\r\033[K" << std::flush;
        FOpenLine = false;
    }

    using TSystemPlatform::TSystemPlatform;

private:
    bool FOpenLine = false;
};

// The progress bar and status pane of a folder run, drawn on one terminal line.
class TCliStatus : public TStatusPane {
public:
    explicit TCliStatus(TCliPlatform& P) : FPlatform(P) {}
    void SetText(const std::string& Value) override {
        TStatusPane::SetText(Value);
        Draw();
    }
    void Draw();
    int Percent = 0;
    bool ShowBar = false;

private:
    TCliPlatform& FPlatform;
};

void TCliStatus::Draw() {
    if (!ShowBar || Text().empty()) return;
    const int Filled = Percent / 5;
    std::string Line("[");
    Line.append(static_cast<std::size_t>(Filled), '#')
        .append(static_cast<std::size_t>(20 - Filled), '.')
        .append("] ")
        .append(std::to_string(Percent))
        .append("%  ")
        .append(Text());
    FPlatform.ProgressLine(Line);
}

class TCliProgress : public TProgressBar {
public:
    explicit TCliProgress(TCliStatus& S) : FStatus(S) {}
    void SetPercent(int Value) override {
        TProgressBar::SetPercent(Value);
        FStatus.Percent = Value;
        FStatus.Draw();
    }
    void SetVisible(bool Value) override {
        TProgressBar::SetVisible(Value);
        FStatus.ShowBar = Value;
    }

private:
    TCliStatus& FStatus;
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> Files;
    std::string Output, Url, Folder;
    bool TestPage = false, Overwrite = true, Quiet = false, FolderMode = false;
    TMovieOptions Options;
    for (int I = 1; I < argc; ++I) {
        const std::string A = argv[I];
        auto Value = [&](const char* Name) -> std::optional<std::string> {
            if (I + 1 >= argc) {
                std::cerr << "anivert-cli: " << Name << " needs a value\n";
                return std::nullopt;
            }
            return std::string(argv[++I]);
        };
        if (A == "-h" || A == "--help") {
            Usage(std::cout);
            return 0;
        } else if (A == "--version") {
            std::cout << "anivert-cli " << ApplicationVersion() << "\n";
            return 0;
        } else if (A == "-o" || A == "--output") {
            auto V = Value("-o");
            if (!V) return 2;
            Output = *V;
        } else if (A == "--url") {
            auto V = Value("--url");
            if (!V) return 2;
            Url = *V;
        } else if (A == "--folder") {
            auto V = Value("--folder");
            if (!V) return 2;
            Folder = *V;
            FolderMode = true;
        } else if (A == "--test-page") {
            TestPage = true;
        } else if (A == "-n" || A == "--no-overwrite") {
            Overwrite = false;
        } else if (A == "--compact") {
            Options.Compact = true;
        } else if (A == "--loop") {
            auto V = Value("--loop");
            if (!V) return 2;
            if (*V != "gif" && *V != "forever") {
                std::cerr << "anivert-cli: --loop takes gif or forever, not " << *V << "\n";
                return 2;
            }
            Options.LoopAsGif = *V == "gif";
        } else if (A == "-q" || A == "--quiet") {
            Quiet = true;
        } else if (A.size() > 1 && A[0] == '-') {
            std::cerr << "anivert-cli: unknown option " << A << "\n";
            Usage(std::cerr);
            return 2;
        } else {
            Files.push_back(A);
        }
    }
    if (FolderMode == !Files.empty() || (FolderMode && !Url.empty())) {
        Usage(std::cerr);
        return 2;
    }

    TCliPlatform Platform;
    Platform.Overwrite = Overwrite;
    Platform.Quiet = Quiet;
    if (!Output.empty() && !Platform.DirectoryExists(Output)) {
        std::cerr << "anivert-cli: the output folder " << Output << " does not exist\n";
        return 2;
    }
    TMainControls Controls;
    auto Status = std::make_unique<TCliStatus>(Platform);
    Controls.RzB = std::make_unique<TCliProgress>(*Status);
    Controls.RzP = std::move(Status);
    auto List = std::make_unique<TFileSystemFileList>(nullptr);
    TFileSystemFileList* Singles = FolderMode ? nullptr : List.get();
    if (!FolderMode) Controls.LV1 = std::move(List);
    TfrmMain Form(Platform, std::move(Controls));
    Platform.Form = &Form;
    Form.WriteTestPage = TestPage;
    Form.Options = Options;
    std::signal(SIGINT, OnInterrupt);

    if (FolderMode) {
        if (!Platform.DirectoryExists(Folder)) {
            std::cerr << "anivert-cli: the folder " << Folder << " does not exist\n";
            return 2;
        }
        Form.RBSingle.SetChecked(false);
        Form.RBFolder.SetChecked(true);
        Form.RBSingleClick();
        Form.OutputFolder = Output.empty() ? Folder : Output;
        Form.FTree.SetSelectedFolder(Folder);
        try {
            Form.btnStartClick();
        } catch (const std::exception& E) {
            Platform.EndProgressLine();
            std::cerr << E.what() << "\n";
            return 1;
        }
        Platform.EndProgressLine();
        return Form.RunNotConverted == 0 ? 0 : 1;
    }

    int Failed = 0;
    Form.EURL.SetText(Url.empty() ? TfrmMain::DefaultURL : Url);
    for (const std::string& File : Files) {
        if (Interrupted) break;
        Singles->SetRows({File});
        // Without -o the movie goes beside its GIF.
        const std::string Beside = ExtractFilePath(File);
        Form.OutputFolder = !Output.empty() ? Output : !Beside.empty() ? Beside : std::string(".");
        try {
            if (!Form.ConvertNow(File, std::string())) ++Failed;
        } catch (const std::exception& E) {
            std::cerr << ExtractFileName(File) << ": " << E.what() << "\n";
            ++Failed;
        }
    }
    return Failed == 0 && !Interrupted ? 0 : 1;
}
