#include "PreviewPlayer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <map>

#include "GIFImage.h"

namespace anivert {

namespace {

// Time and one-shot timers of the user-interface thread's event loop.
class TQtScheduler : public TGIFScheduler {
public:
    TQtScheduler() { FClock.start(); }
    ~TQtScheduler() override {
        for (auto& [Id, Timer] : FTimers) delete Timer;
    }

    std::int64_t Now() override { return FClock.elapsed(); }

    bool Wait(std::int64_t Milliseconds) override {
        if (QCoreApplication::closingDown()) return false;
        if (Milliseconds <= 0) {
            QCoreApplication::processEvents();
        } else {
            QEventLoop Loop;
            QTimer::singleShot(static_cast<int>(std::min<std::int64_t>(Milliseconds, 1 << 30)), &Loop,
                               &QEventLoop::quit);
            Loop.exec();
        }
        return !QCoreApplication::closingDown();
    }

    TTimerId Schedule(std::int64_t Milliseconds, std::function<void()> Action) override {
        const TTimerId Id = FNextId++;
        auto* Timer = new QTimer;
        Timer->setSingleShot(true);
        QObject::connect(Timer, &QTimer::timeout, Timer, [this, Id, Action = std::move(Action)] {
            auto It = FTimers.find(Id);
            if (It == FTimers.end()) return;
            It->second->deleteLater();
            FTimers.erase(It);
            try {
                Action();
            } catch (...) {
                // A frame that cannot be shown ends the preview's play; the
                // painter keeps the error.
            }
        });
        FTimers[Id] = Timer;
        Timer->start(static_cast<int>(std::clamp<std::int64_t>(Milliseconds, 0, 1 << 30)));
        return Id;
    }

    void Cancel(TTimerId Id) override {
        auto It = FTimers.find(Id);
        if (It == FTimers.end()) return;
        It->second->stop();
        It->second->deleteLater();
        FTimers.erase(It);
    }

private:
    QElapsedTimer FClock;
    TTimerId FNextId = 1;
    std::map<TTimerId, QTimer*> FTimers;
};

}  // namespace

struct TGIFPlayer::TImpl {
    TQtScheduler Scheduler;
    TGIFImage* Gif = nullptr;
    TGIFCanvas Canvas;
};

// The image plays into its own bitmap on the scheduler; each change of that
// bitmap copies it onto the canvas the picture wraps.
TGIFPlayer::TGIFPlayer(const TGIFImage& Gif, std::function<void()> Changed) : FImpl(std::make_unique<TImpl>()) {
    TImpl& I = *FImpl;
    I.Gif = const_cast<TGIFImage*>(&Gif);
    const int W = std::max(1, Gif.Width()), H = std::max(1, Gif.Height());
    I.Canvas.SetSize(W, H, 0x00FFFFFF);
    FPicture = QImage(reinterpret_cast<uchar*>(I.Canvas.ScanLine(0)), W, H, W * 4, QImage::Format_RGB32);
    I.Gif->SetScheduler(&I.Scheduler);
    I.Gif->PaintOptions |= poAsynchronous | poAnimate | poLoop;
    I.Gif->OnChange = [this, Changed](TGIFImage& Image) {
        Image.Draw(FImpl->Canvas, FImpl->Canvas.BoundsRect());
        if (Changed) Changed();
    };
    try {
        I.Gif->Draw(I.Canvas, I.Canvas.BoundsRect());
    } catch (const std::exception&) {
        // A picture too large to play shows what was drawn.
    }
    if (Changed) Changed();
}

TGIFPlayer::~TGIFPlayer() {
    TImpl& I = *FImpl;
    I.Gif->OnChange = nullptr;
    I.Gif->StopAllPainters();
    I.Gif->SetScheduler(nullptr);
}

}  // namespace anivert
