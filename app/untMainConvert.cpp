// The conversion job of the main window: one GIF file into one movie.
#include <algorithm>
#include <random>
#include <stdexcept>
#include <thread>

#include "Bitmap32.h"
#include "FlashObjects.h"
#include "FrameComposition.h"
#include "GIFImage.h"
#include "LoopActions.h"
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

void TfrmMain::AddLink(TFlashMovie& Movie, int Width, int Height, int FrameCount) {
    if (!EURL.Enabled()) return;
    const std::string URL = EURL.Text();
    if (URL.empty() || URL == DefaultURL) return;
    if (FrameCount > 32767) throw std::runtime_error("The GIF has more frames than a movie can place (32767)");
    TFlashButton* Button = Movie.AddButton(false, true);
    // The invisible rectangle covers the whole stage, the last row and
    // column of pixels included.
    TFlashShape* Shape = Movie.AddRectangle(0, 0, Width, Height);
    Shape->SetSolidFill(0, 0, 0, 0);
    Button->AddRecord(*Shape, bsUp | bsHitTest, 1);
    Button->AddRecord(*Shape, bsOver | bsHitTest, 1);
    Button->AddRecord(*Shape, bsDown | bsHitTest, 1);
    Button->OnReleaseActions().GetURL(URL, "_blank");
    Movie.PlaceObject(Button, static_cast<std::uint16_t>(2 * FrameCount));
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

    // 3. A number that keeps this job's temporary files apart.
    std::random_device Seed;
    std::mt19937 Rng(Seed());
    // Forms converting at the same time pick from numbers of their own.
    std::uniform_int_distribution<int> Numbers(0, (999999 - JobResidue) / JobModulus);
    auto Pick = [&] { return Numbers(Rng) * JobModulus + JobResidue; };
    int JobNumber = Pick();
    while (Platform.FileExists(GetDir("temp") + std::to_string(JobNumber) + "-0.bmp")) JobNumber = Pick();

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

    // 4, 7. The job's objects; the busy indication of single mode.
    TGIFImage Gif;
    TGIFImage TrialGif;
    // Why the job failed, for the user.
    std::string Reason;
    bool Saved = false;
    int Width = 0, Height = 0;
    {
        TBusyScope Busy(*this, Single);
        Platform.ProcessMessages();

        // 8. Loading; any error marks the job failed. Compact movies are
        // made on every core, the decoding of the frames included.
        if (Options.Compact) Gif.DecodeThreads = std::max(1u, std::thread::hardware_concurrency());
        Gif.Salvage = Options.Salvage;
        // A request to stop at once is seen after each frame of a long load.
        Gif.OnProgress = [this](TGIFImage&, TProgressStage Stage, int, const std::string&) {
            if (Stage == TProgressStage::psRunning) Platform.CheckStop();
        };
        if (!Platform.FileExists(GifPath)) {
            Reason = "no such file";
        } else {
            try {
                Gif.LoadFile(GifPath);
            } catch (const std::exception& E) {
                Reason = E.what();
            }
            // What a salvaging read kept is a movie if it holds a frame.
            if (Reason.empty() && Gif.Salvage && !Gif.SalvagedReason.empty() && Gif.Images.Count() == 0)
                Reason = Gif.SalvagedReason;
        }
        // The work the movie asks for is known before it is done.
        if (Reason.empty()) Reason = TFrameComposition::Refusal(Gif, Options.Compact, Options.MaxPixels, Options.MaxPixelsRemedy);
        if (Reason.empty()) {
            // 9-11.
            // One map for all frames, when that loses no colour: frames
            // with more colours together keep their own maps, as every
            // frame becomes a picture of its own colours anyway.
            // (Compact movies take every frame's own colours.)
            if (!Options.Compact && Gif.Images.Count() > 1 && TFrameComposition::ColoursFitOneMap(Gif))
                Gif.OptimizeColorMaps();
            Width = Gif.Width();
            Height = Gif.Height();
            TFlashMovie Movie(0, 0, Width * 20, Height * 20, 24.0f, false);
            Movie.SetPixelUnits(true);
            Movie.SetVersion(6);
            Movie.SetCompressed(false);
            Movie.Protect = false;
            // Frame pictures are packed on all cores while the next frames
            // are composed.
            Movie.PackImagesInBackground();
            if (Options.Compact) Movie.ImageDeflate = CompactDeflate;
            // Without a global map there is no background colour; it only
            // colours pixels that are transparent anyway.
            const TColor Background = Gif.GlobalColorMap().Count() > 0 ? Gif.BackgroundColor() : 0;
            // 12. The link, above every frame image.
            AddLink(Movie, Width, Height, Gif.Images.Count());
            // How often the movie plays (Loop as the GIF says), read before
            // the optimiser may drop loop extensions.
            const int Passes = Options.LoopAsGif ? GifPasses(Gif) : 0;
            // 13. The frames, then the file.
            TBitmap32 Surface;
            try {
                TFrameComposition Composition(Platform, Gif, TrialGif, Surface, Movie, JobNumber,
                                              static_cast<std::uint8_t>(Red(Background)),
                                              static_cast<std::uint8_t>(Green(Background)),
                                              static_cast<std::uint8_t>(Blue(Background)),
                                              [this] { return GetDir("temp"); }, Options.Compact);
                Composition.MaxPixels = Options.MaxPixels;
                Composition.BudgetRemedy = Options.MaxPixelsRemedy;
                Composition.Run();
                FirstFrameTransparent = Composition.FirstFrameTransparent;
            } catch (const EWorkBudget& E) {
                Reason = E.what();
            }
            if (Reason.empty()) {
                AddLoopActions(Movie, Passes);
                Movie.MakeStream();
                Movie.SaveFile(OutPath);
                Saved = true;
            }
        }
        // 14.
        Busy.End();
    }

    // 15. The outcome.
    bool Failed = !Saved || !Platform.FileExists(OutPath);
    if (!Failed) {
        if (!Gif.SalvagedReason.empty()) Platform.ReportSalvaged(GifPath, Gif.SalvagedReason);
        if (Dialogs) {
            Platform.MessageBox("The file " + ExtractFileName(OutPath) + " has been successfully created.", Title,
                                TMsgIcon::Information, TMsgButtons::OK);
            if (WriteTestPage) ShowHTML(OutPath, std::to_string(Width), std::to_string(Height), FirstFrameTransparent);
        }
    } else {
        const std::string Why = Reason.empty() ? "the movie was not written" : Reason;
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
