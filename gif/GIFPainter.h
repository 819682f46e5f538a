// GIFImage unit: the painter, which plays an image's frames on a canvas
// with their delays, loop counts and disposal methods.
//
// A painter runs on the thread that owns the image. An asynchronous painter
// plays through the image's scheduler: it shows a frame, asks the scheduler
// to call it back when the next one is due and returns to the caller; a
// synchronous painter plays to the end at once, letting time pass on the
// scheduler's clock (or sleeping) between frames.
#pragma once
#ifndef ANIVERT_GIFIMAGE_UNIT
#error "include GIFImage.h"
#endif

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

#include "Types.h"

namespace anivert {

class TGIFImage;
class TGIFSubImage;

// Bits of TGIFImage::PaintOptions and of a painter's options.
enum : std::uint16_t {
    // Play through the image's scheduler instead of to the end at once.
    poAsynchronous = 0x0001,
    // Draw through the frames' masks; disposal 2 restores what the canvas
    // showed under the picture when painting began.
    poTransparent = 0x0002,
    // Walk through the frames (else only the first is shown).
    poAnimate = 0x0004,
    // Repeat the animation.
    poLoop = 0x0008,
    // Repeat for ever, whatever the loop extension says.
    poLoopForEver = 0x0010,
    // Stop when the target canvas's handle is no longer valid.
    poValidateCanvas = 0x0020,
    // Draw straight onto the target canvas instead of through the image's
    // bitmap.
    poDirect = 0x0040,
    // Restore the first frame's area to the background at every pass.
    poClearOnPass = 0x0080,
    // Tile the image over the target rectangle instead of stretching it.
    poTile = 0x0100,
    // Dither frame pictures onto the colour cube.
    poDither = 0x0200,
    // ... only on displays of at most 8 bits per pixel.
    poDitherOnPaletteDisplays = 0x0400,
};

// TGIFImage::PaintBackgroundColor when no colour is set.
inline constexpr TColor GIFColorNone = 0x1FFFFFFF;
// The window colour, the background of an image without a global map.
inline constexpr TColor GIFWindowColor = 0x00FFFFFF;

class TGIFPainter : public std::enable_shared_from_this<TGIFPainter> {
    // Only the image makes painters (TGIFImage::StartPainter).
    struct TPassKey {
        explicit TPassKey() = default;
    };

public:
    using TPaintEvent = std::function<void(TGIFPainter& Sender)>;

    // Takes the image's settings and events, works out the background
    // colour and makes the off-screen buffers the frames' disposal methods
    // need, from what Canvas shows in Rect.
    TGIFPainter(TPassKey, TGIFImage& Image, TGIFCanvas& Canvas, const TRect& Rect, std::uint16_t Options);
    ~TGIFPainter();
    TGIFPainter(const TGIFPainter&) = delete;
    TGIFPainter& operator=(const TGIFPainter&) = delete;

    // The image, or null once it is gone.
    TGIFImage* Image() const { return FImage; }
    // The target canvas, or null once it is destroyed.
    TGIFCanvas* Canvas() const;
    // The target rectangle: it stands for the whole logical screen.
    const TRect& Rect() const { return FRect; }
    std::uint16_t DrawOptions() const { return FOptions; }
    bool Asynchronous() const { return FOptions & poAsynchronous; }

    // Index of the frame being shown, -1 when idle. An OnFrameShown handler
    // that sets it chooses the next frame shown; a value outside the frames
    // ends the pass.
    int CurrentFrame() const { return FCurrentFrame; }
    void SetCurrentFrame(int Value) { FCurrentFrame = Value; }
    // Percent; below 1 the painter waits until woken (Wake) between frames
    // (a synchronous painter waits 12 s).
    int PlaybackSpeed;
    bool FirstFramePainted() const { return FFirstFramePainted; }
    bool RestartRequested() const { return FRestartRequested; }
    // Disposal of the frame shown and of the one before (values 4-7 count
    // as 1, keep).
    std::uint8_t CurrentDisposal() const { return FCurrentDisposal; }
    std::uint8_t PreviousDisposal() const { return FPreviousDisposal; }
    TColor BackgroundColor() const { return FBackgroundColor; }
    // The composed picture (when a frame restores the background or the
    // previous picture), the scratch picture of restore-previous frames and
    // what the canvas showed under the rectangle when painting began (for
    // restoring the background through transparency). Null when not needed.
    const TGIFCanvas* ComposeBuffer() const { return FComposeBuffer.get(); }
    const TGIFCanvas* ScratchBuffer() const { return FScratchBuffer.get(); }
    const TGIFCanvas* SavedBackground() const { return FSavedBackground.get(); }

    bool Stopped() const { return FStopped; }
    // The play is over (normal end, stop or error).
    bool Finished() const { return FStage == TStage::Done; }
    // What stopped the painter, if an error did.
    std::exception_ptr Exception() const { return FException; }

    TPaintEvent OnPlayStart;
    TPaintEvent OnFrameShow;
    TPaintEvent OnFrameShown;
    TPaintEvent OnPassStart;
    TPaintEvent OnPlayEnd;

    // Starts an asynchronous painter: the first frame is painted before
    // Resume returns, the next ones when the scheduler calls back.
    void Resume();
    // Stops the play: an asynchronous painter that is not busy ends at once
    // (OnPlayEnd fires, the image lets it go); a busy one (this is called
    // from its own event or while it waits) ends as soon as control comes
    // back to it, without painting again.
    void Stop();
    // Starts the play again from the first frame, as soon as possible.
    void Restart();
    // Ends the current wait between frames now (a painter that is not
    // waiting skips its next wait).
    void Wake();

private:
    friend class TGIFImage;

    enum class TStage { Begin, PlayStart, PassStart, FrameStart, Waiting, ShowFrame, PassEnd, PlayEnd, Done };

    bool Option(std::uint16_t Bit) const { return FOptions & Bit; }
    // Runs the play until it has to wait (asynchronous) or ends.
    void Run();
    void Step();
    // The frame to show: null when the pass has to end.
    TGIFSubImage* Frame() const;
    void ComputeWait();
    // Asynchronous wait; answers false when there is none.
    bool ScheduleWait();
    void SleepUntilDue();
    void ShowFrame();
    void Paint(TGIFSubImage& Frame);
    void RestoreBackground(const TGIFSubImage& Frame);
    // Ends the wait: the frame is shown as soon as the event loop runs.
    void ShowNow();
    void CancelTimer();
    void TimerFired();
    // Removes the painter from its image.
    void Ended();
    // The image is going away while the painter is busy.
    void Detach();

    TGIFImage* FImage;
    TGIFCanvas* FCanvas;
    std::weak_ptr<const void> FCanvasLifetime;
    std::weak_ptr<const void> FCanvasHandle;
    TRect FRect;
    std::uint16_t FOptions;
    TGIFScheduler* FScheduler;
    TGIFSystemClock FSystemClock;
    TGIFClock* FClock;

    TStage FStage = TStage::Begin;
    int FCurrentFrame = -1;
    bool FFirstFramePainted = false;
    bool FRestartRequested = false;
    bool FStopped = false;
    bool FResumed = false;
    bool FRunning = false;
    bool FEnded = false;
    std::uint8_t FCurrentDisposal = 0;
    std::uint8_t FPreviousDisposal = 0;
    TColor FBackgroundColor = 0;
    std::unique_ptr<TGIFCanvas> FComposeBuffer;
    std::unique_ptr<TGIFCanvas> FScratchBuffer;
    std::unique_ptr<TGIFCanvas> FSavedBackground;
    std::exception_ptr FException;

    // The play's state between steps.
    int FPassesLeft = 0;  // -1: for ever
    int FPassFirstFrame = 0;
    bool FLoopMet = false;
    int FPreviousDelay = 0;  // in units of 12 ms
    std::int64_t FLastTime = 0;
    std::int64_t FLastWait = 0;
    int FShownInPass = 0;
    bool FYield = false;
    std::int64_t FWait = 0;
    bool FWaitForWake = false;  // waiting with no end
    bool FSignalled = false;
    std::uint64_t FTimer = 0;
};

}  // namespace anivert
