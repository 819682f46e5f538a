// Plays a GIF for the preview on the user-interface thread: the GIF
// library's painter draws each frame into a canvas, a Qt timer schedules
// the frames, and the picture is the canvas seen as a QImage.
#pragma once

#include <QImage>

#include <functional>
#include <memory>

namespace anivert {

class TGIFImage;

class TGIFPlayer {
public:
    // Changed is called whenever the picture shows a new frame.
    TGIFPlayer(const TGIFImage& Gif, std::function<void()> Changed);
    ~TGIFPlayer();
    TGIFPlayer(const TGIFPlayer&) = delete;
    TGIFPlayer& operator=(const TGIFPlayer&) = delete;

    const QImage& Picture() const { return FPicture; }

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
    QImage FPicture;
};

}  // namespace anivert
