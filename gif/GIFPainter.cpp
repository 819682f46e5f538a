// Drawing frames and images, and the painter that plays them.
#include "GIFImage.h"

#include <algorithm>

namespace anivert {

namespace {

// Sets a flag for the lifetime of the guard.
class TFlagGuard {
public:
    explicit TFlagGuard(bool& Flag) : FFlag(Flag) { FFlag = true; }
    ~TFlagGuard() { FFlag = false; }
    TFlagGuard(const TFlagGuard&) = delete;
    TFlagGuard& operator=(const TFlagGuard&) = delete;

private:
    bool& FFlag;
};

// The logical screen's size for placing a frame: a screen of 0 pixels
// stands for one that just holds the frame.
int ScreenExtent(int Screen, int FrameEnd) { return Screen > 0 ? Screen : std::max(1, FrameEnd); }

// The picture and, when asked for and the frame has one, the mask. The
// mask is looked at first: making it again makes a new picture.
void DrawPicture(TGIFSubImage& Frame, TGIFCanvas& Canvas, const TRect& Dest, bool Tile, bool Transparent,
                 const std::optional<TRect>& Clip = std::nullopt) {
    const bool Masked = Transparent && Frame.Transparent && Frame.MaskAvailable();
    const TGIFBitmap* Picture = Frame.Bitmap();
    if (!Picture) return;
    const TGIFMask* Mask = Masked ? Frame.TransparencyMask() : nullptr;
    if (Tile)
        Canvas.TileDraw(Dest, *Picture, Mask);
    else
        Canvas.StretchDraw(Dest, *Picture, Mask, Clip);
}

// The frame placed in Rect (standing for the logical screen), without
// telling the canvas.
void DrawFrame(TGIFSubImage& Frame, TGIFCanvas& Canvas, const TRect& Rect, bool Tile, bool Transparent) {
    if (Frame.Empty() || Rect.IsEmpty()) return;
    if (!Tile) {
        DrawPicture(Frame, Canvas, Frame.PlacedRect(Rect), false, Transparent);
        return;
    }
    const TGIFImage* Image = Frame.Image();
    const int W = ScreenExtent(Image ? Image->Width() : 0, Frame.Left() + Frame.Width());
    const int H = ScreenExtent(Image ? Image->Height() : 0, Frame.Top() + Frame.Height());
    // Tiles whose copy of the frame reaches the canvas (a frame may lie
    // beyond its screen).
    const TRect Reach = anivert::Rect(-(Frame.Left() + Frame.Width()), -(Frame.Top() + Frame.Height()),
                                      Canvas.Width(), Canvas.Height());
    GIFForEachTile(Rect, W, H, Reach, [&](TPoint P) {
        const TRect Dest = anivert::Rect(P.X + Frame.Left(), P.Y + Frame.Top(), P.X + Frame.Left() + Frame.Width(),
                                         P.Y + Frame.Top() + Frame.Height());
        DrawPicture(Frame, Canvas, Dest, false, Transparent, Rect);
    });
}

// Calls every area of Rect where the frame lies: its placed rectangle, or
// with Tile its copy in every tile (clipped to Rect).
void ForEachFrameArea(const TGIFSubImage& Frame, const TRect& Rect, bool Tile,
                      const std::function<void(const TRect&)>& Action) {
    if (!Tile) {
        Action(Frame.PlacedRect(Rect));
        return;
    }
    const TGIFImage* Image = Frame.Image();
    const int W = ScreenExtent(Image ? Image->Width() : 0, Frame.Left() + Frame.Width());
    const int H = ScreenExtent(Image ? Image->Height() : 0, Frame.Top() + Frame.Height());
    GIFForEachTile(Rect, W, H, Rect, [&](TPoint P) {
        const TRect A = anivert::Rect(std::max(Rect.Left, P.X + Frame.Left()), std::max(Rect.Top, P.Y + Frame.Top()),
                                      std::min(Rect.Right, P.X + Frame.Left() + Frame.Width()),
                                      std::min(Rect.Bottom, P.Y + Frame.Top() + Frame.Height()));
        if (!A.IsEmpty()) Action(A);
    });
}

}  // namespace

// ---------------------------------------------------------------- frames

TRect TGIFSubImage::PlacedRect(const TRect& R) const {
    const int SW = ScreenExtent(FImage ? FImage->Width() : 0, FLeft + FWidth);
    const int SH = ScreenExtent(FImage ? FImage->Height() : 0, FTop + FHeight);
    auto X = [&](std::int64_t V) { return static_cast<std::int32_t>(R.Left + V * R.Width() / SW); };
    auto Y = [&](std::int64_t V) { return static_cast<std::int32_t>(R.Top + V * R.Height() / SH); };
    return Rect(X(FLeft), Y(FTop), X(FLeft + FWidth), Y(FTop + FHeight));
}

void TGIFSubImage::Draw(TGIFCanvas& Canvas, const TRect& Rect, bool Tile, bool Transparent) {
    DrawFrame(*this, Canvas, Rect, Tile, Transparent);
    Canvas.Changed();
}

void TGIFSubImage::DrawStretched(TGIFCanvas& Canvas, const TRect& Rect, bool Tile, bool Transparent) {
    if (!Empty()) DrawPicture(*this, Canvas, Rect, Tile, Transparent);
    Canvas.Changed();
}

// ---------------------------------------------------------------- painter

TGIFPainter::TGIFPainter(TPassKey, TGIFImage& Image, TGIFCanvas& Canvas, const TRect& Rect, std::uint16_t Options)
    : PlaybackSpeed(Image.PlaybackSpeed),
      FImage(&Image),
      FCanvas(&Canvas),
      FCanvasLifetime(Canvas.Lifetime()),
      FRect(Rect),
      FOptions(Options),
      FScheduler(Image.Scheduler()),
      FClock(FScheduler ? static_cast<TGIFClock*>(FScheduler) : &FSystemClock) {
    if (Image.PaintBackgroundColor != GIFColorNone)
        FBackgroundColor = Image.PaintBackgroundColor & 0xFFFFFF;
    else if (Image.GlobalColorMap().Count() == 0)
        FBackgroundColor = GIFWindowColor;
    else
        FBackgroundColor = Image.BackgroundColor();

    // The disposal methods met decide which buffers are needed.
    bool NeedBackground = Option(poClearOnPass);
    bool NeedPrevious = false;
    for (const auto& F : Image.Images)
        for (const auto& E : F->FrameExtensions)
            if (auto* G = dynamic_cast<const TGIFGraphicControlExtension*>(E.get())) {
                NeedBackground = NeedBackground || G->Disposal() == dmBackground;
                NeedPrevious = NeedPrevious || G->Disposal() == dmPrevious;
            }
    const int W = Rect.Width(), H = Rect.Height();
    const TRect Local = anivert::Rect(0, 0, W, H);
    if (NeedBackground && Option(poTransparent)) {
        FSavedBackground = std::make_unique<TGIFCanvas>(W, H, FBackgroundColor);
        FSavedBackground->CopyRect(Local, Canvas, Rect);
    }
    if (NeedBackground || NeedPrevious) {
        FComposeBuffer = std::make_unique<TGIFCanvas>(W, H, FBackgroundColor);
        FComposeBuffer->CopyRect(Local, Canvas, Rect);
        FScratchBuffer = std::make_unique<TGIFCanvas>(W, H, FBackgroundColor);
    }
}

TGIFPainter::~TGIFPainter() { CancelTimer(); }

TGIFCanvas* TGIFPainter::Canvas() const { return FCanvasLifetime.expired() ? nullptr : FCanvas; }

void TGIFPainter::Resume() {
    if (!Asynchronous() || FResumed || FStage == TStage::Done) return;
    FResumed = true;
    Run();
}

void TGIFPainter::Stop() {
    FStopped = true;
    // A painter that is busy sees the flag when control comes back to it;
    // one that is synchronous is busy from start to end.
    if (FRunning || !Asynchronous() || FStage == TStage::Done) return;
    CancelTimer();
    FWaitForWake = false;
    if (FStage == TStage::Waiting) FStage = TStage::ShowFrame;
    Run();
}

void TGIFPainter::Restart() {
    FRestartRequested = true;
    if (!FRunning && Asynchronous() && FResumed && FStage != TStage::Done && (FTimer || FWaitForWake)) ShowNow();
}

void TGIFPainter::Wake() {
    if (!Asynchronous() || FStage == TStage::Done) return;
    if (FRunning || !(FTimer || FWaitForWake)) {
        FSignalled = true;
        return;
    }
    FLastWait = 0;
    FLastTime = FClock->Now();
    ShowNow();
}

void TGIFPainter::ShowNow() {
    CancelTimer();
    FWaitForWake = false;
    FStage = TStage::ShowFrame;
    FTimer = FScheduler->Schedule(0, [W = weak_from_this()] {
        if (auto P = W.lock()) P->TimerFired();
    });
}

void TGIFPainter::CancelTimer() {
    if (FTimer && FScheduler) FScheduler->Cancel(FTimer);
    FTimer = 0;
}

void TGIFPainter::TimerFired() {
    FTimer = 0;
    Run();
}

void TGIFPainter::Run() {
    if (FRunning || FStage == TStage::Done) return;
    // The image may let the painter go while it runs (it ends, or the image
    // is destroyed from one of its events).
    const std::shared_ptr<TGIFPainter> Self = shared_from_this();
    try {
        TFlagGuard Running(FRunning);
        while (FStage != TStage::Done) {
            if (FStage != TStage::Waiting) {
                Step();
                continue;
            }
            if (Asynchronous()) {
                if (ScheduleWait()) return;
            } else {
                SleepUntilDue();
            }
            FStage = TStage::ShowFrame;
        }
    } catch (...) {
        FException = std::current_exception();
        FStopped = true;
        FCurrentFrame = -1;
        FStage = TStage::Done;
        CancelTimer();
        Ended();
        throw;
    }
}

TGIFSubImage* TGIFPainter::Frame() const {
    if (FStopped || FRestartRequested || !FImage) return nullptr;
    if (FCurrentFrame < 0 || FCurrentFrame >= FImage->Images.Count()) return nullptr;
    TGIFSubImage& F = FImage->Images[FCurrentFrame];
    return F.Empty() ? nullptr : &F;
}

void TGIFPainter::Step() {
    switch (FStage) {
        case TStage::Begin:
            if (Option(poValidateCanvas) && !FCanvasLifetime.expired()) FCanvasHandle = FCanvas->Handle();
            FRestartRequested = true;
            FStage = TStage::PlayStart;
            return;

        case TStage::PlayStart:
            if (!FRestartRequested || FStopped || !FImage) {
                FStage = TStage::PlayEnd;
                return;
            }
            FCurrentFrame = 0;
            if (OnPlayStart) OnPlayStart(*this);
            FFirstFramePainted = false;
            FRestartRequested = false;
            FPassesLeft = 1;
            FPassFirstFrame = 0;
            FLoopMet = false;
            FPreviousDelay = Asynchronous() ? 0 : 1;
            FPreviousDisposal = dmNoDisposal;
            FLastTime = FClock->Now();
            FLastWait = 0;
            FStage = TStage::PassStart;
            return;

        case TStage::PassStart: {
            // Looping for ever is for painters that return between frames: a
            // synchronous one would never give its caller control back.
            const bool ForEver = Option(poLoopForEver) && Asynchronous();
            if (FStopped || FRestartRequested || !FImage || (FPassesLeft == 0 && !ForEver)) {
                FStage = TStage::PlayStart;
                return;
            }
            FCurrentFrame = FPassFirstFrame;
            if (FFirstFramePainted && OnPassStart) OnPassStart(*this);
            FShownInPass = 0;
            FStage = TStage::FrameStart;
            return;
        }

        case TStage::FrameStart: {
            TGIFSubImage* F = Frame();
            if (!F) {
                FStage = TStage::PassEnd;
                return;
            }
            FYield = FPreviousDelay < 1;
            if (!FYield) {
                // The picture is made before the wait is measured.
                F->MaskAvailable();
                F->Bitmap();
                if (!Frame()) {
                    FStage = TStage::PassEnd;
                    return;
                }
                ComputeWait();
            }
            FStage = TStage::Waiting;
            return;
        }

        case TStage::ShowFrame:
            ShowFrame();
            return;

        case TStage::PassEnd:
            if (FPassesLeft > 0) --FPassesLeft;
            // A pass that showed nothing would repeat without ever waiting.
            FStage = Option(poAnimate) && Option(poLoop) && FShownInPass > 0 ? TStage::PassStart : TStage::PlayStart;
            return;

        case TStage::PlayEnd:
            FCurrentFrame = -1;
            FStage = TStage::Done;
            try {
                if (OnPlayEnd) OnPlayEnd(*this);
            } catch (...) {
                Ended();
                throw;
            }
            Ended();
            return;

        case TStage::Waiting:
        case TStage::Done:
            return;
    }
}

void TGIFPainter::ComputeWait() {
    const std::int64_t Now = FClock->Now();
    FWaitForWake = false;
    if (PlaybackSpeed < 1) {
        if (Asynchronous())
            FWaitForWake = true;
        else
            FWait = 12000;
    } else {
        // A wait that ended late shortens the next one by half the delay.
        FWait = (std::int64_t(FPreviousDelay) * 12 - (Now - (FLastTime + FLastWait)) / 2) * 100 / PlaybackSpeed;
    }
    FLastWait = FWaitForWake ? 0 : FWait;
    FLastTime = Now;
}

bool TGIFPainter::ScheduleWait() {
    if (FStopped || FRestartRequested) return false;
    std::int64_t Delay = 0;
    if (FYield) {
        // The first frame shows at once; a restarted play lets the event
        // loop run first.
        if (!FFirstFramePainted) return false;
    } else if (FSignalled) {
        FSignalled = false;
        FWaitForWake = false;
        FLastWait = 0;
        FLastTime = FClock->Now();
    } else if (FWaitForWake) {
        return true;
    } else {
        Delay = std::max<std::int64_t>(0, FWait);
    }
    // Even a frame that is due at once goes through the event loop, which
    // would otherwise starve at high speeds.
    FStage = TStage::ShowFrame;
    FTimer = FScheduler->Schedule(Delay, [W = weak_from_this()] {
        if (auto P = W.lock()) P->TimerFired();
    });
    return true;
}

void TGIFPainter::SleepUntilDue() {
    if (FYield) {
        if (!FClock->Wait(0)) FStopped = true;
        return;
    }
    const std::int64_t Due = FLastTime + std::max<std::int64_t>(1, FWait);
    while (!FStopped && !FRestartRequested) {
        const std::int64_t Left = Due - FClock->Now();
        if (Left <= 0) break;
        if (!FClock->Wait(std::min<std::int64_t>(Left, 100))) FStopped = true;
    }
}

void TGIFPainter::ShowFrame() {
    if (!Frame()) {
        FStage = TStage::PassEnd;
        return;
    }
    if (OnFrameShow) OnFrameShow(*this);
    TGIFSubImage* F = Frame();
    if (!F) {
        FStage = TStage::PassEnd;
        return;
    }
    FCurrentDisposal = dmNoDisposal;
    for (const auto& E : F->FrameExtensions) {
        if (auto* L = dynamic_cast<const TGIFAppExtNSLoop*>(E.get()); L && !FLoopMet) {
            FLoopMet = true;
            const bool ForEver = Asynchronous() && (L->LoopCount == 0 || Option(poLoopForEver));
            FPassesLeft = ForEver ? -1 : L->LoopCount;
            FPassFirstFrame = FCurrentFrame;
        } else if (auto* G = dynamic_cast<const TGIFGraphicControlExtension*>(E.get())) {
            // Values past restore-previous keep the picture.
            FCurrentDisposal = G->Disposal() <= dmPrevious ? G->Disposal() : std::uint8_t(dmNoDisposal);
        }
    }
    // Taken before painting: painting tells the canvas, whose handlers may
    // change the image.
    int Delay = 10;
    if (const TGIFGraphicControlExtension* G = F->GraphicControlExtension; G && G->Delay() != 0) {
        Delay = std::max<int>(3, G->Delay());
        if (!Asynchronous()) Delay = std::min(Delay, 1000);
    }
    Paint(*F);
    FPreviousDisposal = FCurrentDisposal;
    FPreviousDelay = Delay;
    ++FShownInPass;
    const int Shown = FCurrentFrame;
    if (OnFrameShown) OnFrameShown(*this);
    if (FCurrentFrame == Shown) ++FCurrentFrame;
    FStage = Option(poAnimate) ? TStage::FrameStart : TStage::PassEnd;
}

void TGIFPainter::Paint(TGIFSubImage& F) {
    if (FCanvasLifetime.expired() || (Option(poValidateCanvas) && FCanvasHandle.expired())) {
        FStopped = true;
        return;
    }
    const bool Tile = Option(poTile), Transparent = Option(poTransparent);
    if (!FComposeBuffer) {
        DrawFrame(F, *FCanvas, FRect, Tile, Transparent);
    } else {
        // The palette a paletted device would need is of no use on a 32-bit
        // canvas: pictures carry their colours.
        const TRect Local = anivert::Rect(0, 0, FRect.Width(), FRect.Height());
        if (Option(poClearOnPass) && FCurrentFrame == 0) RestoreBackground(F);
        switch (FCurrentDisposal) {
            case dmBackground:
                DrawFrame(F, *FComposeBuffer, Local, Tile, Transparent);
                FCanvas->CopyRect(FRect, *FComposeBuffer, Local);
                RestoreBackground(F);
                break;
            case dmPrevious:
                if (FPreviousDisposal == dmBackground || FPreviousDisposal == dmPrevious) {
                    FScratchBuffer->Assign(*FComposeBuffer);
                    DrawFrame(F, *FScratchBuffer, Local, Tile, Transparent);
                    FCanvas->CopyRect(FRect, *FScratchBuffer, Local);
                } else {
                    // The canvas shows the composed picture: drawing there
                    // leaves the compose buffer as it was before the frame.
                    DrawFrame(F, *FCanvas, FRect, Tile, Transparent);
                }
                break;
            default:
                DrawFrame(F, *FComposeBuffer, Local, Tile, Transparent);
                FCanvas->CopyRect(FRect, *FComposeBuffer, Local);
                break;
        }
    }
    FFirstFramePainted = true;
    FCanvas->Changed();
}

void TGIFPainter::RestoreBackground(const TGIFSubImage& Frame) {
    const TRect Local = anivert::Rect(0, 0, FRect.Width(), FRect.Height());
    ForEachFrameArea(Frame, Local, Option(poTile), [&](const TRect& Area) {
        if (Option(poTransparent) && FSavedBackground)
            FComposeBuffer->CopyRect(Area, *FSavedBackground, Area);
        else
            FComposeBuffer->FillRect(Area, FBackgroundColor);
    });
}

void TGIFPainter::Ended() {
    if (FEnded) return;
    FEnded = true;
    if (FImage) FImage->PainterEnded(*this);
    FImage = nullptr;
}

void TGIFPainter::Detach() {
    FStopped = true;
    FImage = nullptr;
}

// ---------------------------------------------------------------- image

void TGIFImage::SetScheduler(TGIFScheduler* Value) {
    if (Value == FScheduler) return;
    StopAllPainters();
    FScheduler = Value;
}

void TGIFImage::Changed() {
    if (OnChange) OnChange(*this);
}

std::vector<std::shared_ptr<TGIFPainter>> TGIFImage::Painters() const {
    std::lock_guard<std::recursive_mutex> Lock(FPainterListLock);
    return FPainters;
}

std::shared_ptr<TGIFPainter> TGIFImage::StartPainter(TGIFCanvas& Canvas, const TRect& Rect, std::uint16_t Options) {
    if (Empty() || Rect.IsEmpty() || FStoppingPainters) return nullptr;
    std::lock_guard<std::recursive_mutex> Lock(FPainterListLock);
    if (Images.Count() == 1) Options &= static_cast<std::uint16_t>(~(poAsynchronous | poAnimate));
    if (!FScheduler) Options &= static_cast<std::uint16_t>(~poAsynchronous);
    auto Painter = std::make_shared<TGIFPainter>(TGIFPainter::TPassKey{}, *this, Canvas, Rect, Options);
    Painter->OnPlayStart = OnPlayStart;
    Painter->OnFrameShow = OnFrameShow;
    Painter->OnFrameShown = OnFrameShown;
    Painter->OnPassStart = OnPassStart;
    Painter->OnPlayEnd = OnPlayEnd;
    FPainters.push_back(Painter);
    if (Painter->Asynchronous()) return Painter;
    Painter->Run();
    return nullptr;
}

void TGIFImage::PainterEnded(TGIFPainter& Painter) {
    std::lock_guard<std::recursive_mutex> Lock(FPainterListLock);
    if (FDrawPainter == &Painter) FDrawPainter = nullptr;
    std::erase_if(FPainters, [&](const std::shared_ptr<TGIFPainter>& P) { return P.get() == &Painter; });
}

void TGIFImage::StopDrawPainter() {
    std::lock_guard<std::recursive_mutex> Lock(FPainterListLock);
    TGIFPainter* Painter = FDrawPainter;
    FDrawPainter = nullptr;
    try {
        if (Painter) Painter->Stop();
    } catch (...) {
        FImageBitmap.reset();
        throw;
    }
    FImageBitmap.reset();
}

void TGIFImage::StopAllPainters() {
    std::lock_guard<std::recursive_mutex> Lock(FPainterListLock);
    std::exception_ptr First;
    {
        // No painter starts while the others are being stopped (an OnPlayEnd
        // handler that draws again would keep this going for ever).
        TFlagGuard Stopping(FStoppingPainters);
        for (const std::shared_ptr<TGIFPainter>& P : std::vector<std::shared_ptr<TGIFPainter>>(FPainters)) {
            try {
                P->Stop();
            } catch (...) {
                if (!First) First = std::current_exception();
            }
        }
    }
    FImageBitmap.reset();
    if (First) std::rethrow_exception(First);
}

void TGIFImage::DrawImageBitmap(TGIFCanvas& Canvas, const TRect& Rect) {
    if (!FImageBitmap) return;
    if (PaintOptions & poTile)
        Canvas.TileCopy(Rect, *FImageBitmap);
    else
        Canvas.CopyRect(Rect, *FImageBitmap, FImageBitmap->BoundsRect());
    Canvas.Changed();
}

void TGIFImage::Draw(TGIFCanvas& Canvas, const TRect& Rect) {
    if (FDrawing || Images.Count() == 0) return;
    TFlagGuard Drawing(FDrawing);
    const bool Tile = PaintOptions & poTile;
    const bool Direct = PaintOptions & poDirect;
    if (Images.Count() == 1 || !(PaintOptions & poAnimate)) {
        Images[0].Draw(Canvas, Rect, Tile, PaintOptions & poTransparent);
        return;
    }
    if (FImageBitmap && !Direct) {
        DrawImageBitmap(Canvas, Rect);
        return;
    }
    {
        std::lock_guard<std::recursive_mutex> Lock(FPainterListLock);
        const TGIFPainter* Current = FDrawPainter;
        if (!Current || Current->Canvas() != &Canvas || Current->Rect() != Rect) {
            StopDrawPainter();
            TGIFCanvas* Target = &Canvas;
            TRect TargetRect = Rect;
            if (!Direct) {
                if (std::uint64_t(Width()) * std::uint64_t(Height()) > MaxFramePixels)
                    throw GIFException(gifmsg::FrameTooLarge);
                FImageBitmap = std::make_unique<TGIFCanvas>(Width(), Height());
                FImageBitmap->CopyRect(FImageBitmap->BoundsRect(), Canvas, Rect);
                FImageBitmap->OnChange = [this] { Changed(); };
                Target = FImageBitmap.get();
                TargetRect = FImageBitmap->BoundsRect();
            }
            // A synchronous painter has played to its end here; an
            // asynchronous one has painted its first frame when Resume
            // returns.
            const std::shared_ptr<TGIFPainter> Painter = StartPainter(*Target, TargetRect, PaintOptions);
            if (Painter) {
                FDrawPainter = Painter.get();
                Painter->Resume();
            }
        }
    }
    if (!Direct) DrawImageBitmap(Canvas, Rect);
}

}  // namespace anivert
