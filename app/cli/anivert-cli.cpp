// anivert-cli: converts GIF files into movies from the command line, one by
// one (single mode) or a folder with its first-level sub-folders (folder
// mode), with the conversion core; what it prints is what the window says.
#include <algorithm>
#include <cerrno>
#include <cmath>
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
#include "Runs.h"

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

static_assert(TMovieOptions::DefaultMaxPixels == 500'000'000 && TMovieOptions::DefaultMaxPixelsPerByte == 4'000,
              "the usage text names the default budget");

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
           "                     (default 500000000, or 4000 per byte of a larger GIF:\n"
           "                     far above any real GIF's, low enough that no small\n"
           "                     file asks for hours of work)\n"
           "  -q, --quiet        print errors only (each failed file as PATH: reason)\n"
           "  -h, --help         this text\n"
           "      --version      the program's version\n"
           "\n"
           "Every file that fails is named on stderr with the reason, as PATH: reason.\n"
           "\n"
           "Exit status: 0 when every file was converted, 1 when any failed, 2 on bad\n"
           "usage; 130, 143 or 129 when stopped at once by Ctrl-C, SIGTERM or SIGHUP.\n";
}

// The system's files and folders; a terminal has no dialogs (the run
// prints what a window would show).
class TTerminalPlatform : public TSystemPlatform {
public:
    TMsgResult MessageBox(const std::string&, const std::string&, TMsgIcon, TMsgButtons) override {
        return TMsgResult::OK;
    }
    void SetBusyCursor(bool) override {}
    void ProcessMessages() override {}
    std::optional<std::string> BrowseForFolder(const std::string&) override { return std::nullopt; }
    void ShowHelp(const std::string&, int) override {}
    void OpenDocument(const std::string&) override {}
};

// What a run prints: messages on stdout (none with -q), errors on stderr,
// and on a terminal one line that shows a folder run's progress.
class TConsole {
public:
    bool Quiet = false;

    void Say(const std::string& Text) {
        EndProgressLine();
        if (!Quiet) std::cout << Text << "\n";
    }
    void Complain(const std::string& Text) {
        EndProgressLine();
        std::cerr << Text << "\n";
    }
    void Failed(const std::string& Path, const std::string& Reason) { Complain(Path + ": " + Reason); }
    void Salvaged(const std::string& Path, const std::string& Reason) { Complain(Path + ": salvaged: " + Reason); }
    // The progress bar and the status text of a folder run.
    void Progress(int Percent, const std::string& Text) {
        if (Quiet || Text.empty() || !isatty(STDOUT_FILENO)) return;
        const int Filled = Percent / 5;
        std::string Line("[");
        Line.append(static_cast<std::size_t>(Filled), '#')
            .append(static_cast<std::size_t>(20 - Filled), '.')
            .append("] ")
            .append(std::to_string(Percent))
            .append("%  ")
            .append(Text);
        std::cout << "\r" << Line << "\033[K" << std::flush;
        FOpenLine = true;
    }
    void EndProgressLine() {
        if (!FOpenLine) return;
        std::cout << "\r\033[K" << std::flush;
        FOpenLine = false;
    }

private:
    bool FOpenLine = false;
};

// A request to stop at once (a second Ctrl-C, SIGTERM, SIGHUP) ends the
// conversion after the frame being read or composed.
void CheckStop() {
    if (StopSignal) throw EStopNow{StopSignal};
}

class TStopObserver : public TConvertObserver {
public:
    void Progress(TStage, int, int) override { CheckStop(); }
};

// What the command line asked for.
struct TSettings {
    std::string Output;
    std::string Url;
    bool TestPage = false;
    bool Overwrite = true;
    unsigned Jobs = 1;
    TMovieOptions Options;
};

// A run of single files or of a folder: each file converted by the core,
// several at a time with --jobs, and told in file order.
class TCliRun {
public:
    TCliRun(TPlatform& APlatform, TConsole& AConsole, const TSettings& ASettings)
        : Platform(APlatform), Console(AConsole), Settings(ASettings), TempFolder(ConversionTempFolder(APlatform)) {}

    // Single files: each movie beside its GIF or in the output folder, an
    // existing one replaced or kept as asked, the test page written when
    // asked. Returns the number of files without a movie.
    int ConvertSingles(const std::vector<std::string>& Files);
    // Folder mode; returns the exit status.
    int ConvertFolder(const std::string& Folder);

private:
    struct TPlan {
        std::string Gif;
        std::string Movie;
        bool Asked = false;
        bool Skipped = false;
        // What the job raised (single files: the file fails, the run goes on).
        std::string Raised;
    };
    struct TTally {
        int Converted = 0;
        int NotConverted = 0;
        std::size_t Told = 0;
    };
    // Converts Files (of the sub-folder SubFolder in a folder run); the
    // tally of what they gave.
    TTally Convert(const std::vector<std::string>& Files, const std::string& SubFolder, bool Single);
    TPlan PlanOf(const std::string& Gif, const std::string& SubFolder, bool Single);
    // What the user is told of a file's outcome; true when the movie exists.
    bool Tell(const TPlan& Plan, const TConvertResult& Result, bool Single);
    TConvertResult RunOne(const TPlan& Plan) const;

    TPlatform& Platform;
    TConsole& Console;
    const TSettings& Settings;
    const std::string TempFolder;
    // Folder mode: where the movies go, and the progress shown.
    std::string RunOutput;
    std::string StatusText;
    int Percent = 0;
};

TCliRun::TPlan TCliRun::PlanOf(const std::string& Gif, const std::string& SubFolder, bool Single) {
    TPlan Plan;
    Plan.Gif = Gif;
    // Without -o a single file's movie goes beside its GIF; a folder that
    // is not there gives way to the default one.
    std::string Folder = RunOutput;
    if (Single) {
        const std::string Beside = ExtractFilePath(Gif);
        Folder = !Settings.Output.empty() ? Settings.Output : !Beside.empty() ? Beside : std::string(".");
    }
    if (Folder.empty() || !Platform.DirectoryExists(Folder)) Folder = DefaultOutputFolder(Platform);
    Plan.Movie = MoviePathIn(Platform, Gif, SubFolder, Folder);
    Plan.Asked = Single && Platform.FileExists(Plan.Movie);
    Plan.Skipped = Plan.Asked && !Settings.Overwrite;
    return Plan;
}

TConvertResult TCliRun::RunOne(const TPlan& Plan) const {
    TStopObserver Observer;
    TConvertRequest Request;
    Request.InputPath = Plan.Gif;
    Request.OutputPath = Plan.Movie;
    Request.Options = Settings.Options;
    Request.Url = Settings.Url == NoLinkURL ? std::string() : Settings.Url;
    Request.TempFolder = TempFolder;
    Request.Observer = &Observer;
    return ConvertGif(Request);
}

bool TCliRun::Tell(const TPlan& Plan, const TConvertResult& Result, bool Single) {
    const bool Made = Result.Converted && Platform.FileExists(Plan.Movie);
    if (Made) {
        if (!Result.SalvagedReason.empty()) Console.Salvaged(Plan.Gif, Result.SalvagedReason);
        if (Single) {
            Console.Say(MovieMadeMessage(Plan.Movie));
            if (Settings.TestPage) {
                const std::string Page = WriteTestPage(Platform, Plan.Movie, std::to_string(Result.Width),
                                                       std::to_string(Result.Height), Result.FirstFrameTransparent);
                CheckStop();
                Console.Say("Test page: " + Page);
            }
        }
    } else {
        if (Single) Console.Complain(ConversionFailedMessage);
        Console.Failed(Plan.Gif, Result.Reason.empty() ? "the movie was not written" : Result.Reason);
    }
    return Made;
}

TCliRun::TTally TCliRun::Convert(const std::vector<std::string>& Files, const std::string& SubFolder, bool Single) {
    TTally Tally;
    const std::size_t N = Files.size();
    // One after the other, each file's question comes before its work and
    // the progress moves as it starts; with jobs, as each is told.
    const bool Inline = JobsRunInline(N, Settings.Jobs);
    std::vector<TPlan> Plans(N);
    const auto Question = [&](const TPlan& P) {
        if (P.Asked) Console.Say(OverwriteQuestion(P.Movie) + (Settings.Overwrite ? " yes" : " no"));
    };
    const auto ShowProgress = [&](std::size_t I) {
        if (Single) return;
        Percent = static_cast<int>(std::nearbyint(double(I + 1) * 100.0 / double(N)));
        Console.Progress(Percent, StatusText);
    };
    RunJobs(
        N, Settings.Jobs, [&](std::size_t I) { return GifFileWork(Files[I]); },
        [&](std::size_t I) {
            Plans[I] = PlanOf(Files[I], SubFolder, Single);
            if (Inline) {
                ShowProgress(I);
                Question(Plans[I]);
            }
        },
        [&](std::size_t I) {
            const TPlan& P = Plans[I];
            if (P.Skipped) return TConvertResult{};
            if (!Single) return RunOne(P);
            try {
                return RunOne(P);
            } catch (const std::exception& E) {
                Plans[I].Raised = E.what();
                return TConvertResult{};
            }
        },
        [&] {
            CheckStop();
            return !Interrupted;
        },
        [&](std::size_t I, TJobOutcome& Outcome) {
            const TPlan& P = Plans[I];
            if (!Inline) Question(P);
            bool Made = false;
            if (Outcome.Error) {
                // A folder run ends with an error of its files (or the
                // sub-folders' steps do), the file named first.
                try {
                    std::rethrow_exception(Outcome.Error);
                } catch (const std::exception& E) {
                    Console.Failed(P.Gif, E.what());
                    throw;
                }
            } else if (!P.Raised.empty()) {
                Console.Failed(P.Gif, P.Raised);
            } else if (!P.Skipped) {
                try {
                    Made = Tell(P, Outcome.Result, Single);
                } catch (const std::exception& E) {
                    Console.Failed(P.Gif, E.what());
                    Made = false;
                }
            }
            ++(Made ? Tally.Converted : Tally.NotConverted);
            ++Tally.Told;
            if (!Inline) ShowProgress(I);
        });
    return Tally;
}

int TCliRun::ConvertSingles(const std::vector<std::string>& Files) { return Convert(Files, std::string(), true).NotConverted; }

int TCliRun::ConvertFolder(const std::string& Folder) {
    if (!Platform.DirectoryExists(Folder)) {
        std::cerr << "anivert-cli: the folder " << Folder << " does not exist\n";
        return 2;
    }
    // Nothing starts while the movies would have nowhere to go.
    RunOutput = Settings.Output.empty() ? Folder : Settings.Output;
    if (!Platform.DirectoryExists(RunOutput)) RunOutput = DefaultOutputFolder(Platform);
    if (!Platform.DirectoryWritable(RunOutput)) {
        Console.Complain(UnwritableFolderMessage(RunOutput));
        return 1;
    }
    const std::string Shown = ExcludeTrailingDelim(Folder);
    const std::string Root = IncludeTrailingDelim(Shown);
    int Converted = 0, NotConverted = 0, Subfolders = 0;
    bool Aborted = false;
    StatusText = "Press ESC to abort  |  Processing: " + Shown;
    Console.Progress(Percent, StatusText);
    const auto Visit = [&](const std::string& SubFolder) {
        const std::string Here = SubFolder.empty() ? Shown : Root + SubFolder;
        if (!SubFolder.empty()) {
            StatusText = "Processing: " + Here;
            Console.Progress(Percent, StatusText);
        }
        std::vector<std::string> Files;
        if (!Here.empty())
            for (const std::string& Name : ListGifFiles(Here)) Files.push_back(IncludeTrailingDelim(Here) + Name);
        const TTally Tally = Convert(Files, SubFolder, false);
        Converted += Tally.Converted;
        NotConverted += Tally.NotConverted;
        if (Tally.Told < Files.size()) throw ERunAborted{};
    };
    try {
        Subfolders = WalkFolderRun(Visit, [&] { return ListSubFolders(Shown); }, [] { return !Interrupted; });
    } catch (const ERunAborted&) {
        Aborted = true;
    } catch (const std::exception& E) {
        Console.Complain(E.what());
        return 1;
    }
    Console.Say(RunSummary(Converted, NotConverted, Subfolders, Aborted));
    CheckStop();
    // A run stopped before its last file did not convert every file.
    return NotConverted == 0 && !Aborted ? 0 : 1;
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
            Options.MaxPixelsPerByte = 0;
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

    TTerminalPlatform Platform;
    TConsole Console;
    Console.Quiet = Quiet;
    if (!Output.empty() && !Platform.DirectoryExists(Output)) {
        std::cerr << "anivert-cli: the output folder " << Output << " does not exist\n";
        return 2;
    }
    TSettings Settings;
    Settings.Output = Output;
    Settings.Url = Url;
    Settings.TestPage = TestPage;
    Settings.Overwrite = Overwrite;
    Settings.Jobs = Jobs;
    Settings.Options = Options;
    TCliRun Run(Platform, Console, Settings);
    CatchSignals();
    // Stopped at once: what the file being converted made is gone; the
    // status tells which signal.
    try {
        if (FolderMode) return Run.ConvertFolder(Folder);
        const int Failed = Run.ConvertSingles(Files);
        CheckStop();
        return Failed == 0 && !Interrupted ? 0 : 1;
    } catch (const EStopNow& Stop) {
        Console.EndProgressLine();
        std::cerr << "anivert-cli: stopped\n";
        return 128 + Stop.Signal;
    }
}