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

std::string TfrmMain::MoviePathFor(const std::string& GifPath, const std::string& SubFolder, std::string& Folder) {
    // 1-2. Where the movie goes; 5. its path.
    if (Folder.empty() || !Platform.DirectoryExists(Folder)) Folder = DefaultOutputFolder();
    return MoviePathIn(Platform, GifPath, SubFolder, Folder);
}

TConvertRequest TfrmMain::RequestFor(const std::string& GifPath, const std::string& OutPath) {
    TConvertRequest Request;
    Request.InputPath = GifPath;
    Request.OutputPath = OutPath;
    Request.Options = Options;
    Request.Url = LinkUrl();
    Request.TempFolder = GetDir("temp");
    return Request;
}

namespace {

// A conversion's progress seen by the platform: a request to stop at once
// after each frame of a long load; messages let through (which sees that
// request too) after each frame composed, or only the request.
class TPlatformObserver : public TConvertObserver {
public:
    TPlatformObserver(TPlatform& APlatform, bool AMessages) : Platform(APlatform), Messages(AMessages) {}
    void Progress(TStage Stage, int, int) override {
        if (Stage == TStage::Composing && Messages) Platform.ProcessMessages();
        else Platform.CheckStop();
    }

private:
    TPlatform& Platform;
    bool Messages;
};

}  // namespace

TConvertResult TfrmMain::RunConversion(TConvertRequest Request, bool Messages) {
    TPlatformObserver Observer(Platform, Messages);
    Request.Observer = &Observer;
    // The platform's file system decides whether the GIF is there.
    if (!Platform.FileExists(Request.InputPath)) {
        TConvertResult Missing;
        Missing.Reason = "no such file";
        return Missing;
    }
    return ConvertGif(Request);
}

bool TfrmMain::ReportOutcome(const std::string& GifPath, const std::string& OutPath, const TConvertResult& Result) {
    const bool Dialogs = !CommandLineMode && RBSingle.Checked();
    FirstFrameTransparent = Result.FirstFrameTransparent;
    // 15. The outcome.
    const bool Failed = !Result.Converted || !Platform.FileExists(OutPath);
    if (!Failed) {
        if (!Result.SalvagedReason.empty()) Platform.ReportSalvaged(GifPath, Result.SalvagedReason);
        if (Dialogs) {
            Platform.MessageBox(MovieMadeMessage(OutPath), Title, TMsgIcon::Information, TMsgButtons::OK);
            if (WriteTestPage)
                ShowHTML(OutPath, std::to_string(Result.Width), std::to_string(Result.Height), FirstFrameTransparent);
        }
    } else {
        const std::string Why = Result.Reason.empty() ? "the movie was not written" : Result.Reason;
        if (Dialogs)
            Platform.MessageBox(ConversionFailedMessage +
                                    (MessagesGiveReasons ? "\n" + Why : std::string()),
                                Title, TMsgIcon::Error, TMsgButtons::OK);
        NoteFailure(GifPath, Why);
    }
    // 17.
    if (CommandLineMode) Window.Close();
    return !Failed;
}

bool TfrmMain::ConvertNow(const std::string& GifPath, const std::string& SubFolder) {
    const bool Single = RBSingle.Checked();
    const std::string Before = OutputFolder;
    const std::string OutPath = MoviePathFor(GifPath, SubFolder, OutputFolder);
    if (OutputFolder != Before) JamPathLabel1.SetText(OutputFolder);

    // 6. The overwrite question. An existing movie is replaced only when
    // the new one is saved (the save writes beside it and renames), so
    // that a job that fails or is stopped leaves it.
    if (Platform.FileExists(OutPath) && !CommandLineMode && Single && LV1.SelectedFiles().size() == 1) {
        if (Platform.MessageBox(OverwriteQuestion(OutPath), Title, TMsgIcon::Question, TMsgButtons::YesNo) !=
            TMsgResult::Yes)
            return false;
    }

    // 3-4, 7-14. The conversion itself, with the busy indication of single
    // mode.
    TConvertResult Result;
    {
        TBusyScope Busy(*this, Single);
        Platform.ProcessMessages();
        Result = RunConversion(RequestFor(GifPath, OutPath), true);
        Busy.End();
    }
    return ReportOutcome(GifPath, OutPath, Result);
}

}  // namespace anivert
