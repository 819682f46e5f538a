// Several conversions at a time: a pool of workers over the conversion
// core; the calling thread tells what each file gave, in the order of the
// files, as one conversion after the other would.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "GIFScan.h"
#include "untMain.h"

namespace anivert {

namespace {

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
    TConvertResult Result;
    std::exception_ptr Error;
};

}  // namespace

void TfrmMain::ConvertTogether(const std::vector<TBatchFile>& Files, TMsgResult Answer,
                               const std::function<bool()>& KeepGoing,
                               const std::function<void(std::size_t, bool, std::exception_ptr)>& Done) {
    const std::size_t N = Files.size();
    const unsigned Workers = static_cast<unsigned>(std::min<std::size_t>(std::max(1u, Jobs), N));
    // What each file becomes is settled here, before any job starts: the
    // movie's path (its sub-folder made), whether the overwrite question
    // comes and, answered with Answer, whether the file is converted.
    const bool Ask = !CommandLineMode && RBSingle.Checked();
    struct TPlan {
        std::string OutPath;
        bool Asked = false;
        bool Skipped = false;
        TConvertRequest Request;
    };
    std::vector<TPlan> Plans(N);
    for (std::size_t I = 0; I < N; ++I) {
        std::string Folder = Files[I].OutputFolder;
        TPlan& P = Plans[I];
        P.OutPath = MoviePathFor(Files[I].Path, Files[I].SubFolder, Folder);
        P.Asked = Ask && Platform.FileExists(P.OutPath);
        P.Skipped = P.Asked && Answer != TMsgResult::Yes;
        P.Request = RequestFor(Files[I].Path, P.OutPath);
    }

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

    // Each worker converts the next file with the core; only a request to
    // stop at once is seen while it works.
    auto Work = [&] {
        for (;;) {
            std::size_t I;
            {
                std::lock_guard<std::mutex> G(Lock);
                if (NoMore || Next >= N) return;
                I = Order[Next++];
                Outcomes[I].Started = true;
            }
            TOutcome Outcome;
            if (!Plans[I].Skipped) {
                try {
                    Outcome.Result = RunConversion(Plans[I].Request, false);
                } catch (...) {
                    Outcome.Error = std::current_exception();
                }
            }
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

    // What each file gives is told here, file after file, as ConvertNow
    // tells it.
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
        const TPlan& P = Plans[I];
        if (P.Asked) Platform.MessageBox(OverwriteQuestion(P.OutPath), Title, TMsgIcon::Question, TMsgButtons::YesNo);
        if (Outcome.Error) {
            try {
                std::rethrow_exception(Outcome.Error);
            } catch (const EStopNow&) {
                throw;
            } catch (...) {
            }
            Done(I, false, Outcome.Error);
        } else {
            Done(I, !P.Skipped && ReportOutcome(Files[I].Path, P.OutPath, Outcome.Result), nullptr);
        }
    }
}

}  // namespace anivert
