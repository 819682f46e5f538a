// Several conversions at a time in a folder run of the window's logic: the
// jobs run on workers over the conversion core; the calling thread tells
// what each file gave, in the order of the files, as ConvertNow would one
// after the other.
#include "untMain.h"

namespace anivert {

void TfrmMain::ConvertTogether(const std::vector<TBatchFile>& Files, TMsgResult Answer,
                               const std::function<bool()>& KeepGoing,
                               const std::function<void(std::size_t, bool, std::exception_ptr)>& Done) {
    const std::size_t N = Files.size();
    // What each file becomes is settled before its job starts: the
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
    const auto Prepare = [&](std::size_t I) {
        std::string Folder = Files[I].OutputFolder;
        TPlan& P = Plans[I];
        P.OutPath = MoviePathFor(Files[I].Path, Files[I].SubFolder, Folder);
        P.Asked = Ask && Platform.FileExists(P.OutPath);
        P.Skipped = P.Asked && Answer != TMsgResult::Yes;
        P.Request = RequestFor(Files[I].Path, P.OutPath);
    };
    RunJobs(
        N, std::max(1u, Jobs), [&](std::size_t I) { return GifFileWork(Files[I].Path); }, Prepare,
        // Only a request to stop at once is seen while a job works.
        [&](std::size_t I) { return Plans[I].Skipped ? TConvertResult{} : RunConversion(Plans[I].Request, false); },
        // Key presses and a request to stop are seen while waiting.
        [&] {
            Platform.ProcessMessages();
            return KeepGoing();
        },
        [&](std::size_t I, TJobOutcome& Outcome) {
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
        });
}

}  // namespace anivert
