// anivert-cli: converts GIF files into movies from the command line, one by
// one (single mode) or a folder with its first-level sub-folders (folder
// mode), through the main window's logic without a window.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "AppInfo.h"
#include "SystemPlatform.h"
#include "untMain.h"

using namespace anivert;

namespace {

// Ctrl-C once stops a run before the next file; a second Ctrl-C, SIGTERM
// or SIGHUP stops the file being converted at once.
volatile std::sig_atomic_t Interrupted = 0;
volatile std::sig_atomic_t StopSignal = 0;

void OnSignal(int Signal) {
    if (Signal == SIGINT && !Interrupted) Interrupted = 1;
    else StopSignal = Signal;
}

void CatchSignals() {
    struct sigaction A {};
    A.sa_handler = OnSignal;
    sigemptyset(&A.sa_mask);
    for (int Signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(Signal, &A, nullptr);
}

// Files converted at a time unless --jobs says: one per core, measured
// fastest on folders of GIFs (each file's pictures are packed on every core
// too, which leaves cores idle while a file is read and composed).
unsigned DefaultJobs() { return std::clamp(std::thread::hardware_concurrency(), 1u, 8u); }

void Usage(std::ostream& Out) {
    Out << "Usage: anivert-cli [options] FILE.gif...\n"
           "   or: anivert-cli --folder DIR [options]\n"
           "\n"
           "Converts animated GIF files into SWF movies (version 6, 24 frames per second,\n"
           "lossless frames with transparency, the GIF's delays and disposal methods).\n"
           "\n"
           "Single files: each movie is written beside its GIF (or into -o DIR) and\n"
           "named after it with the extension .swf; an existing movie is replaced.\n"
           "Folder mode: every GIF of DIR and of its first-level sub-folders, in name\n"
           "order; movies of a sub-folder go to the sub-folder of the same name in the\n"
           "output folder (DIR itself unless -o is given). Ctrl-C stops the run before\n"
           "the next file; a second Ctrl-C (or SIGTERM, SIGHUP) stops at once, leaving\n"
           "no temporary file and no unfinished movie.\n"
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
           "      --salvage      make damaged or cut-off GIFs into the movie a browser\n"
           "                     shows of them: the frames up to the fault, what could\n"
           "                     not be decoded transparent (each such file is named on\n"
           "                     stderr as PATH: salvaged: reason)\n"
           "      --loop gif     play as often as the GIF says, then stop on the last\n"
           "                     frame: once without a loop extension, N + 1 times\n"
           "                     for a loop count N, for ever for a count of 0\n"
           "      --loop forever repeat every movie for ever (the default)\n"
           "      --folder DIR   folder mode\n"
           "  -j, --jobs N       convert N files at a time (default: one per core, at most\n"
           "                     8); the movies and what is printed are those of one file\n"
           "                     after the other\n"
           "      --max-pixels N make no movie whose pictures take more than N pixels\n"
           "                     (default 500000000: far above any real GIF's, low enough\n"
           "                     that no small file asks for hours of work)\n"
           "  -q, --quiet        print errors only (each failed file as PATH: reason)\n"
           "  -h, --help         this text\n"
           "      --version      the program's version\n"
           "\n"
           "Every file that fails is named on stderr with the reason, as PATH: reason.\n"
           "\n"
           "Exit status: 0 when every file was converted, 1 when any failed, 2 on bad\n"
           "usage; 130, 143 or 129 when stopped at once by Ctrl-C, SIGTERM or SIGHUP.\n";
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
    void CheckStop() override {
        if (StopSignal) throw EStopNow{StopSignal};
    }
    void ProcessMessages() override {
        CheckStop();
        if (Interrupted && !FAbortSeen && Form) {
            FAbortSeen = true;
            Form->FormKeyPress(27);
        }
    }
    void ReportFailure(const std::string& Path, const std::string& Reason) override {
        EndProgressLine();
        std::cerr << Path << ": " << Reason << "\n";
    }
    void ReportSalvaged(const std::string& Path, const std::string& Reason) override {
        EndProgressLine();
        std::cerr << Path << ": salvaged: " << Reason << "\n";
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
    bool FAbortSeen = false;
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

// The run itself; EStopNow leaves it at once.
int Convert(TfrmMain& Form, TCliPlatform& Platform, bool FolderMode, const std::string& Folder,
            const std::string& Output, const std::string& Url, const std::vector<std::string>& Files,
            TFileSystemFileList* Singles) {
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
        if (StopSignal) throw EStopNow{StopSignal};
        return Form.RunNotConverted == 0 ? 0 : 1;
    }

    int Failed = 0;
    Form.EURL.SetText(Url.empty() ? TfrmMain::DefaultURL : Url);
    // Without -o a movie goes beside its GIF.
    auto OutputOf = [&Output](const std::string& File) {
        const std::string Beside = ExtractFilePath(File);
        return !Output.empty() ? Output : !Beside.empty() ? Beside : std::string(".");
    };
    if (Form.Jobs > 1 && Files.size() > 1) {
        std::vector<TfrmMain::TBatchFile> Batch;
        for (const std::string& File : Files) Batch.push_back({File, std::string(), OutputOf(File)});
        Form.ConvertTogether(Batch, Platform.Overwrite ? TMsgResult::Yes : TMsgResult::No,
                             [] { return !Interrupted; },
                             [&](std::size_t I, bool Made, std::exception_ptr Error) {
                                 if (Error) {
                                     try {
                                         std::rethrow_exception(Error);
                                     } catch (const std::exception& E) {
                                         Platform.ReportFailure(Files[I], E.what());
                                     }
                                 }
                                 if (!Made) ++Failed;
                             });
        if (StopSignal) throw EStopNow{StopSignal};
        return Failed == 0 && !Interrupted ? 0 : 1;
    }
    for (const std::string& File : Files) {
        if (StopSignal) throw EStopNow{StopSignal};
        if (Interrupted) break;
        Singles->SetRows({File});
        Form.OutputFolder = OutputOf(File);
        try {
            if (!Form.ConvertNow(File, std::string())) ++Failed;
        } catch (const std::exception& E) {
            Platform.ReportFailure(File, E.what());
            ++Failed;
        }
    }
    if (StopSignal) throw EStopNow{StopSignal};
    return Failed == 0 && !Interrupted ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> Files;
    std::string Output, Url, Folder;
    bool TestPage = false, Overwrite = true, Quiet = false, FolderMode = false;
    TMovieOptions Options;
    Options.MaxPixelsRemedy = "--max-pixels";
    unsigned Jobs = DefaultJobs();
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
        } else if (A == "-j" || A == "--jobs") {
            auto V = Value("--jobs");
            if (!V) return 2;
            char* End = nullptr;
            errno = 0;
            const long N = std::strtol(V->c_str(), &End, 10);
            if (V->empty() || *End || errno || N < 1 || N > 256) {
                std::cerr << "anivert-cli: --jobs needs a number from 1 to 256, not " << *V << "\n";
                return 2;
            }
            Jobs = static_cast<unsigned>(N);
        } else if (A == "--salvage") {
            Options.Salvage = true;
        } else if (A == "--max-pixels") {
            auto V = Value("--max-pixels");
            if (!V) return 2;
            char* End = nullptr;
            errno = 0;
            const long long N = std::strtoll(V->c_str(), &End, 10);
            if (V->empty() || *End || errno || N <= 0) {
                std::cerr << "anivert-cli: --max-pixels needs a positive number, not " << *V << "\n";
                return 2;
            }
            Options.MaxPixels = N;
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
    Form.Jobs = Jobs;
    // Each failure is printed as it comes, with its reason.
    Form.MessagesGiveReasons = false;
    CatchSignals();
    // Stopped at once: what the file being converted made is gone; the
    // status tells which signal.
    try {
        return Convert(Form, Platform, FolderMode, Folder, Output, Url, Files, Singles);
    } catch (const EStopNow& Stop) {
        Platform.EndProgressLine();
        std::cerr << "anivert-cli: stopped\n";
        return 128 + Stop.Signal;
    }
}