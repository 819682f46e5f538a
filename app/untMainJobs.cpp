// Several conversions at a time: each job runs on a thread of its own with
// a form of its own, over services that pass the file system through and
// keep what the job shows for the calling thread, which passes it on in
// the order of the files.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <variant>

#include "GIFScan.h"
#include "untMain.h"

namespace anivert {

namespace {

// What a job showed or reported, kept to be passed on later.
struct TMessageShown {
    std::string Text, Title;
    TMsgIcon Icon;
    TMsgButtons Buttons;
};
struct TFailure {
    std::string Path, Reason;
};
struct TSalvaged {
    std::string Path, Reason;
};
struct TDocument {
    std::string Path;
};
using TEvent = std::variant<TMessageShown, TFailure, TSalvaged, TDocument>;

// The services of one job: files and folders are the run's, nothing is
// asked, shown or opened now.
class TJobPlatform : public TPlatform {
public:
    TJobPlatform(TPlatform& ABase, TMsgResult AAnswer) : Base(ABase), Answer(AAnswer) {}

    std::vector<TEvent> Events;

    TMsgResult MessageBox(const std::string& Text, const std::string& Title, TMsgIcon Icon,
                          TMsgButtons Buttons) override {
        Events.emplace_back(TMessageShown{Text, Title, Icon, Buttons});
        return Buttons == TMsgButtons::YesNo ? Answer : TMsgResult::OK;
    }
    void SetBusyCursor(bool) override {}
    // Only a request to stop at once is seen; the calling thread handles
    // the rest.
    void ProcessMessages() override { Base.CheckStop(); }
    void CheckStop() override { Base.CheckStop(); }
    std::optional<std::string> BrowseForFolder(const std::string&) override { return std::nullopt; }
    std::unique_ptr<TSettingsKey> OpenSettings(const std::string&, bool) override { return nullptr; }
    void ShowHelp(const std::string&, int) override {}
    std::unique_ptr<TNamedMutex> CreateNamedMutex(const std::string&) override { return nullptr; }
    std::string TempFolder() override { return Base.TempFolder(); }
    void OpenDocument(const std::string& Path) override { Events.emplace_back(TDocument{Path}); }
    bool FileExists(const std::string& Path) override { return Base.FileExists(Path); }
    bool DirectoryExists(const std::string& Path) override { return Base.DirectoryExists(Path); }
    // Two jobs may make the same sub-folder at once: it is there either way.
    bool CreateDir(const std::string& Path) override { return Base.CreateDir(Path) || Base.DirectoryExists(Path); }
    bool DeleteFile(const std::string& Path) override { return Base.DeleteFile(Path); }
    bool RenameFile(const std::string& From, const std::string& To) override { return Base.RenameFile(From, To); }
    std::int64_t FileSize(const std::string& Path) override { return Base.FileSize(Path); }
    std::string ExecutablePath() override { return Base.ExecutablePath(); }
    std::vector<std::string> CommandLineArgs() override { return {}; }
    bool DirectoryWritable(const std::string& Path) override { return Base.DirectoryWritable(Path); }
    std::string ExpandFileName(const std::string& Path) override { return Base.ExpandFileName(Path); }
    std::string HomeFolder() override { return Base.HomeFolder(); }
    std::string PicturesFolder() override { return Base.PicturesFolder(); }
    void ReportFailure(const std::string& Path, const std::string& Reason) override {
        Events.emplace_back(TFailure{Path, Reason});
    }
    void ReportSalvaged(const std::string& Path, const std::string& Reason) override {
        Events.emplace_back(TSalvaged{Path, Reason});
    }

private:
    TPlatform& Base;
    const TMsgResult Answer;
};

// How much work a GIF asks for, to start the longest jobs first: frames
// times the screen (each may become a picture of the whole stage).
std::uint64_t WorkOf(const std::string& Path) {
    const TGIFScan Scan = ScanGIFFile(Path);
    const std::uint64_t Screen = std::uint64_t(Scan.Width) * std::uint64_t(Scan.Height);
    return std::max<std::uint64_t>(Scan.Frames, 1) * std::max<std::uint64_t>(Screen, 1);
}

struct TOutcome {
    bool Started = false;
    bool Finished = false;
    bool Converted = false;
    std::exception_ptr Error;
    std::vector<TEvent> Events;
};

}  // namespace

void TfrmMain::ConvertTogether(const std::vector<TBatchFile>& Files, TMsgResult Answer,
                               const std::function<bool()>& KeepGoing,
                               const std::function<void(std::size_t, bool, std::exception_ptr)>& Done) {
    const std::size_t N = Files.size();
    const unsigned Workers = static_cast<unsigned>(std::min<std::size_t>(std::max(1u, Jobs), N));
    std::vector<TOutcome> Outcomes(N);
    std::mutex Lock;
    std::condition_variable Changed;
    // The longest jobs start first, so that the run does not end with one
    // long job on one core; what they report still comes in order.
    std::vector<std::size_t> Order(N);
    std::vector<std::uint64_t> Cost(N);
    for (std::size_t I = 0; I < N; ++I) {
        Order[I] = I;
        Cost[I] = WorkOf(Files[I].Path);
    }
    std::stable_sort(Order.begin(), Order.end(), [&](std::size_t A, std::size_t B) { return Cost[A] > Cost[B]; });
    std::size_t Next = 0;  // the next of Order to start
    bool NoMore = false;   // start no other file

    auto Work = [&] {
        TJobPlatform Services(Platform, Answer);
        TMainControls Controls;
        auto List = std::make_unique<TFileSystemFileList>(nullptr);
        TFileSystemFileList& Rows = *List;
        Controls.LV1 = std::move(List);
        TfrmMain Job(Services, std::move(Controls));
        Job.RBSingle.SetChecked(RBSingle.Checked());
        Job.RBFolder.SetChecked(RBFolder.Checked());
        Job.EURL.SetText(EURL.Text());
        Job.EURL.SetEnabled(EURL.Enabled());
        Job.WriteTestPage = WriteTestPage;
        Job.MessagesGiveReasons = MessagesGiveReasons;
        Job.Options = Options;
        Job.CommandLineMode = CommandLineMode;
        for (;;) {
            std::size_t I;
            {
                std::lock_guard<std::mutex> G(Lock);
                if (NoMore || Next >= N) return;
                I = Order[Next++];
                Outcomes[I].Started = true;
            }
            const TBatchFile& F = Files[I];
            Rows.SetRows({F.Path});
            Job.OutputFolder = F.OutputFolder;
            TOutcome Outcome;
            try {
                Outcome.Converted = Job.ConvertNow(F.Path, F.SubFolder);
            } catch (...) {
                Outcome.Error = std::current_exception();
            }
            Outcome.Events = std::move(Services.Events);
            Services.Events.clear();
            Outcome.Started = Outcome.Finished = true;
            const bool Stop = Outcome.Error != nullptr;
            {
                std::lock_guard<std::mutex> G(Lock);
                Outcomes[I] = std::move(Outcome);
                // After a job that raised, no other file starts.
                if (Stop) NoMore = true;
            }
            Changed.notify_all();
        }
    };

    // The workers end with the run, however it ends: no file is started
    // any more, the jobs running finish (or stop at once, when asked to).
    struct TWorkers {
        std::vector<std::thread> Threads;
        std::function<void()> Halt;
        ~TWorkers() {
            Halt();
            for (std::thread& T : Threads) T.join();
        }
    } Pool;
    Pool.Halt = [&] {
        std::lock_guard<std::mutex> G(Lock);
        NoMore = true;
    };
    for (unsigned W = 0; W < Workers; ++W) Pool.Threads.emplace_back(Work);

    for (std::size_t I = 0; I < N; ++I) {
        std::unique_lock<std::mutex> G(Lock);
        for (;;) {
            if (Outcomes[I].Finished || (NoMore && !Outcomes[I].Started)) break;
            G.unlock();
            // Key presses and a request to stop are seen here.
            Platform.ProcessMessages();
            if (!KeepGoing()) Pool.Halt();
            G.lock();
            Changed.wait_for(G, std::chrono::milliseconds(50));
        }
        if (!Outcomes[I].Finished) continue;  // never started
        TOutcome Outcome = std::move(Outcomes[I]);
        G.unlock();
        for (const TEvent& E : Outcome.Events) {
            if (const auto* M = std::get_if<TMessageShown>(&E)) Platform.MessageBox(M->Text, M->Title, M->Icon, M->Buttons);
            else if (const auto* F = std::get_if<TFailure>(&E)) NoteFailure(F->Path, F->Reason);
            else if (const auto* S = std::get_if<TSalvaged>(&E)) Platform.ReportSalvaged(S->Path, S->Reason);
            else if (const auto* D = std::get_if<TDocument>(&E)) Platform.OpenDocument(D->Path);
        }
        if (Outcome.Error) {
            try {
                std::rethrow_exception(Outcome.Error);
            } catch (const EStopNow&) {
                throw;
            } catch (...) {
            }
        }
        Done(I, Outcome.Converted, Outcome.Error);
    }
}

}  // namespace anivert
