// The main window's logic: its state, the conversion job, the single and
// folder runs, the settings and the test page, over the abstract controls
// and services of the platform layer.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Convert.h"
#include "Platform.h"
#include "Preview.h"
#include "Runs.h"
#include "Streams.h"
#include "Types.h"

namespace anivert {

// The controls of the main window. The front end creates them (subclasses
// bound to its widgets); missing ones are made as plain controls, and a
// missing tree or list as file-system ones.
struct TMainControls {
    std::unique_ptr<TRadioButton> RBSingle;
    std::unique_ptr<TRadioButton> RBFolder;
    std::unique_ptr<TEdit> EURL;
    std::unique_ptr<TGroupBox> GroupBox4;
    std::unique_ptr<TFolderTree> FTree;
    std::unique_ptr<TFileList> LV1;
    std::unique_ptr<TStatusPane> RzP;
    std::unique_ptr<TStatusPane> RzP2;
    std::unique_ptr<TProgressBar> RzB;
    std::unique_ptr<TButton> btnStart;
    std::unique_ptr<TLabel> JamPathLabel1;
    std::unique_ptr<TWindowFrame> Window;
    std::unique_ptr<TCheckBox> ChB1;
    std::unique_ptr<TPreviewImage> Image1;
    std::unique_ptr<TPreviewBox> BPanel1;
    // The check items of the movie options menu.
    std::unique_ptr<TCheckBox> CompactMovies1;
    std::unique_ptr<TCheckBox> SalvageGifs1;
    std::unique_ptr<TCheckBox> LoopAsGif1;
    std::unique_ptr<TCheckBox> AllowLarge1;
};

class TfrmMain {
private:
    // Declared first: the control references below bind to its members.
    TMainControls FControls;

public:
    // Key path of the settings in the per-user store.
    static constexpr const char* RegistryKey = "\\Software\\Tarnwick\\Anivert\\1.0";
    static constexpr const char* Title = "Anivert";
    static constexpr const char* MutexName = "Anivert";
    static constexpr const char* HelpFileName = "Anivert.hlp";
    static constexpr const char* DefaultURL = NoLinkURL;
    // How a window user lifts the work budget.
    static constexpr const char* MaxPixelsRemedy = "\"Allow very large movies\" in the Options menu";
    // The window's design size (client 784 x 384 and its frame).
    static constexpr std::int32_t DesignWidth = 800;
    static constexpr std::int32_t DesignHeight = 440;

    TfrmMain(TPlatform& APlatform, TMainControls Controls = {});
    ~TfrmMain();
    TfrmMain(const TfrmMain&) = delete;
    TfrmMain& operator=(const TfrmMain&) = delete;

    TPlatform& Platform;

    // Controls.
    TRadioButton& RBSingle;
    TRadioButton& RBFolder;
    TEdit& EURL;
    TGroupBox& GroupBox4;
    TFolderTree& FTree;
    TFileList& LV1;
    TStatusPane& RzP;
    TStatusPane& RzP2;
    TProgressBar& RzB;
    TButton& btnStart;
    TLabel& JamPathLabel1;
    TWindowFrame& Window;
    TCheckBox& ChB1;
    TPreviewImage& Image1;
    TPreviewBox& BPanel1;
    TCheckBox& CompactMovies1;
    TCheckBox& SalvageGifs1;
    TCheckBox& LoopAsGif1;
    TCheckBox& AllowLarge1;

    // State.
    std::string OutputFolder;
    std::string LastDir;
    std::string HelpFile;
    bool CommandLineMode = false;
    bool Aborted = false;
    std::int16_t SelectedIndex = -1;
    bool Dragging = false;
    std::int16_t DragX = 0;
    std::int16_t DragY = 0;
    // The conversion of command-line mode made its movie.
    bool LastJobSucceeded = false;
    // The first frame of the GIF converted last was transparent.
    bool FirstFrameTransparent = false;
    // Single mode writes and opens the test page after a conversion.
    bool WriteTestPage = true;
    // Saved with the settings ("Compact", "Salvage", "LoopAsGif",
    // "AllowLarge"); the menu's check items show them.
    TMovieOptions Options;
    // Files a run converts at a time (anivert-cli --jobs), on workers over
    // the conversion core.
    unsigned Jobs = 1;
    // The counts of the last folder run.
    int RunConverted = 0;
    int RunNotConverted = 0;
    // The files of the last run that did not become movies, and why.
    std::vector<std::pair<std::string, std::string>> RunFailures;
    // The messages say why a file failed (the error box's second line, the
    // first failures after a folder run's summary); front ends that name
    // every failure as it comes turn it off.
    bool MessagesGiveReasons = true;
    static constexpr std::size_t FailuresNamed = 10;

    // Start-up and closing.
    void FormCreate();
    void FormClose();
    void readini();
    void writeini();
    void FTreeChange();
    // F5, or the selected folder selected again: its sub-folders and GIF
    // files are read afresh.
    void RefreshFolder();
    void btnSelectFolderClick();
    void TBItem1Click();
    // A check item of the movie options menu changed.
    void MovieOptionsClick();

    // Runs.
    void btnStartClick();
    void FormKeyPress(char Key);
    void RBSingleClick();
    void LV1SelectItem(int Index, bool Selected);

    // The preview.
    // Shows the GIF FileName in Image, centred in Box when smaller; an empty
    // name, a missing file or one that does not load clears the preview.
    void ShowPreView(TPreviewImage& Image, const std::string& FileName, TPreviewBox& Box);
    void ChB1Click();
    // The box changed size: the picture is centred and made draggable anew.
    void BPanel1Resize();
    // Drag-scrolling of a preview larger than its box; X, Y in the
    // picture's coordinates.
    void Image1MouseDown(std::int32_t X, std::int32_t Y);
    void Image1MouseMove(std::int32_t X, std::int32_t Y);
    void Image1MouseUp();
    // The application's hint changed: the status pane shows its long part.
    void ShowHint(const std::string& Hint);
    void About1Click();

    // The conversion of one GIF; true when the movie exists afterwards.
    bool ConvertNow(const std::string& GifPath, const std::string& SubFolder);
    // Its steps. The movie's path in Folder (or its sub-folder, made when
    // needed); a missing Folder becomes the default one.
    std::string MoviePathFor(const std::string& GifPath, const std::string& SubFolder, std::string& Folder);
    // The request of this form's choices.
    TConvertRequest RequestFor(const std::string& GifPath, const std::string& OutPath);
    // Converts, the platform seeing each frame: ProcessMessages while
    // composing when Messages, otherwise only CheckStop.
    TConvertResult RunConversion(TConvertRequest Request, bool Messages);
    // What the user is told of the outcome (messages, test page, reports);
    // true when the movie exists.
    bool ReportOutcome(const std::string& GifPath, const std::string& OutPath, const TConvertResult& Result);
    // One file of a run converted with others.
    struct TBatchFile {
        std::string Path;
        std::string SubFolder;
        // Where the movie goes (the run's OutputFolder).
        std::string OutputFolder;
    };
    // Converts Files Jobs at a time, as ConvertNow would one after the
    // other with this form's settings: what the jobs show and report comes
    // in the order of the files, and Done(I, Converted, Error) is called
    // for each file in turn (Error holds what ConvertNow raised). No file
    // is started once KeepGoing answers false; the overwrite question is
    // answered with Answer. EStopNow, raised here or in a job, stops every
    // job and is raised again.
    void ConvertTogether(const std::vector<TBatchFile>& Files, TMsgResult Answer,
                         const std::function<bool()>& KeepGoing,
                         const std::function<void(std::size_t, bool, std::exception_ptr)>& Done);
    // The movie's link: the URL edit's text when it is enabled and holds
    // a URL other than the default text; empty for none.
    std::string LinkUrl() const;
    // Writes the test page beside the movie and opens it.
    void ShowHTML(const std::string& SwfPath, const std::string& WidthText, const std::string& HeightText,
                  bool Transparent);
    // A folder for a kind word; "temp" is the system's temporary folder.
    std::string GetDir(const std::string& Kind);
    // Where movies go until the user picks a folder: the user's pictures
    // folder, else the home folder (never the program's folder).
    std::string DefaultOutputFolder();
    // A missing output folder becomes the default one; one that cannot be
    // written raises the message naming it.
    void CheckOutputFolder();

    // Channels of a 0x00BBGGRR colour.
    static std::uint16_t Red(TColor Color) { return RedOf(Color); }
    static std::uint16_t Green(TColor Color) { return GreenOf(Color); }
    static std::uint16_t Blue(TColor Color) { return BlueOf(Color); }

    bool SingleMode() const { return RBSingle.Checked(); }

private:
    void FileLoop(const std::string& SubFolder, int& Converted, int& NotConverted);
    // Reported to the platform and kept for the run's summary.
    void NoteFailure(const std::string& Path, const std::string& Reason);
    // Centres the picture shown in the box and sets its cursor.
    void PlacePreview(TPreviewImage& Image, TPreviewBox& Box);
    std::string ProgramFolder();

    TMainControls& Prepare();
    std::unique_ptr<TNamedMutex> FMutex;
};

}  // namespace anivert
