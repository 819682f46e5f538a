// The conversion job of the main window: one GIF file into one movie, its
// questions, messages and test page around the conversion core.
#include "Convert.h"
#include "untMain.h"

namespace anivert {

namespace {

// Restores the busy text and cursor of single mode however the job ends.
class TBusyScope {
public:
    TBusyScope(TfrmMain& AForm, bool AActive) : Form(AForm), Active(AActive) {
        if (!Active) return;
        Form.RzP.SetText("Converting:  please wait...");
        Form.Platform.SetBusyCursor(true);
    }
    ~TBusyScope() { End(); }
    void End() {
        if (!Active) return;
        Active = false;
        Form.RzP.SetText(std::string());
        Form.Platform.SetBusyCursor(false);
    }

private:
    TfrmMain& Form;
    bool Active;
};

}  // namespace

std::string TfrmMain::LinkUrl() const {
    if (!EURL.Enabled()) return std::string();
    const std::string URL = EURL.Text();
    return URL == DefaultURL ? std::string() : URL;
}

bool TfrmMain::ConvertNow(const std::string& GifPath, const std::string& SubFolder) {
    const bool Single = RBSingle.Checked();
    const bool Dialogs = !CommandLineMode && Single;

    // 1-2. Where the movie goes.
    if (OutputFolder.empty() || !Platform.DirectoryExists(OutputFolder)) {
        OutputFolder = DefaultOutputFolder();
        JamPathLabel1.SetText(OutputFolder);
    }
    std::string BaseFolder = IncludeTrailingDelim(OutputFolder);
    if (!SubFolder.empty()) {
        const std::string Candidate = BaseFolder + SubFolder;
        if (Platform.DirectoryExists(Candidate) || Platform.CreateDir(Candidate))
            BaseFolder = IncludeTrailingDelim(Candidate);
    }

    // 5-6. The movie's path and the overwrite question. An existing movie
    // is replaced only when the new one is saved (the save writes beside it
    // and renames), so that a job that fails or is stopped leaves it.
    const std::string OutPath = BaseFolder + ChangeFileExt(ExtractFileName(GifPath), ".swf");
    if (Platform.FileExists(OutPath) && !CommandLineMode && Single && LV1.SelectedFiles().size() == 1) {
        const TMsgResult Answer = Platform.MessageBox(
            "The file " + ExtractFileName(OutPath) + " already exists. Do you want to owerwrite it?", Title,
            TMsgIcon::Question, TMsgButtons::YesNo);
        if (Answer != TMsgResult::Yes) return false;
    }

    // 3-4, 7-14. The conversion itself, with the busy indication of single
    // mode; a request to stop at once is seen after each frame of a long
    // load, and messages are let through after each frame composed.
    TConvertResult Result;
    {
        TBusyScope Busy(*this, Single);
        Platform.ProcessMessages();
        struct TFormObserver : TConvertObserver {
            TPlatform& Platform;
            explicit TFormObserver(TPlatform& P) : Platform(P) {}
            void Progress(TStage Stage, int, int) override {
                if (Stage == TStage::Loading) Platform.CheckStop();
                else Platform.ProcessMessages();
            }
        } Observer(Platform);
        TConvertRequest Request;
        Request.InputPath = GifPath;
        Request.OutputPath = OutPath;
        Request.Options = Options;
        Request.Url = LinkUrl();
        Request.TempFolder = GetDir("temp");
        Request.Observer = &Observer;
        // The platform's file system decides whether the GIF is there.
        if (!Platform.FileExists(GifPath)) Result.Reason = "no such file";
        else Result = ConvertGif(Request);
        FirstFrameTransparent = Result.FirstFrameTransparent;
        Busy.End();
    }

    // 15. The outcome.
    const bool Failed = !Result.Converted || !Platform.FileExists(OutPath);
    if (!Failed) {
        if (!Result.SalvagedReason.empty()) Platform.ReportSalvaged(GifPath, Result.SalvagedReason);
        if (Dialogs) {
            Platform.MessageBox("The file " + ExtractFileName(OutPath) + " has been successfully created.", Title,
                                TMsgIcon::Information, TMsgButtons::OK);
            if (WriteTestPage)
                ShowHTML(OutPath, std::to_string(Result.Width), std::to_string(Result.Height), FirstFrameTransparent);
        }
    } else {
        const std::string Why = Result.Reason.empty() ? "the movie was not written" : Result.Reason;
        if (Dialogs)
            Platform.MessageBox("There was an error while converting the file." +
                                    (MessagesGiveReasons ? "\n" + Why : std::string()),
                                Title, TMsgIcon::Error, TMsgButtons::OK);
        NoteFailure(GifPath, Why);
    }
    // 17.
    if (CommandLineMode) Window.Close();
    return !Failed;
}

}  // namespace anivert
