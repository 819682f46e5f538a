// The preview of the main window: a picture control inside a scroll box.
// Front ends subclass both to mirror the state in their widgets (the
// picture animates itself there); the plain classes serve the tests.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>

#include "Platform.h"

namespace anivert {

class TGIFImage;

enum class TCursorKind { Default, HandPoint };

class TPreviewImage : public TControl {
public:
    TPreviewImage();
    ~TPreviewImage() override;

    // Shows the GIF (the control owns it and plays it), or no picture.
    virtual void SetPicture(std::unique_ptr<TGIFImage> Gif);
    const TGIFImage* Picture() const { return FPicture.get(); }

    virtual void SetBounds(std::int32_t Left, std::int32_t Top, std::int32_t Width, std::int32_t Height);
    std::int32_t Left() const { return FLeft; }
    std::int32_t Top() const { return FTop; }
    std::int32_t Width() const { return FWidth; }
    std::int32_t Height() const { return FHeight; }
    virtual void SetCursor(TCursorKind Kind) { FCursor = Kind; }
    TCursorKind Cursor() const { return FCursor; }

protected:
    std::unique_ptr<TGIFImage> FPicture;

private:
    std::int32_t FLeft = 48, FTop = 24, FWidth = 105, FHeight = 105;
    TCursorKind FCursor = TCursorKind::Default;
};

// The scroll box around the preview.
class TPreviewBox : public TControl {
public:
    explicit TPreviewBox(std::int32_t AClientWidth = 197, std::int32_t AClientHeight = 149)
        : FClientWidth(AClientWidth), FClientHeight(AClientHeight) {}
    // The client area without scroll bars, and the room a scroll bar takes
    // of it.
    virtual std::int32_t ClientWidth() const { return FClientWidth; }
    virtual std::int32_t ClientHeight() const { return FClientHeight; }
    virtual std::int32_t ScrollBarSize() const { return FScrollBarSize; }
    // A scroll bar shows when the picture is larger than the client area
    // left beside the other bar.
    bool HorzScrollBarVisible() const { return ScrollBarsFor(FContentWidth, FContentHeight).first; }
    bool VertScrollBarVisible() const { return ScrollBarsFor(FContentWidth, FContentHeight).second; }
    // The scroll bars (horizontal, vertical) content of that size needs.
    std::pair<bool, bool> ScrollBarsFor(std::int32_t Width, std::int32_t Height) const;
    virtual std::int32_t HorzPosition() const { return FHorz; }
    virtual std::int32_t VertPosition() const { return FVert; }
    // Positions stay within the range the scroll bars give.
    virtual void SetHorzPosition(std::int32_t Value);
    virtual void SetVertPosition(std::int32_t Value);
    // The extent of what the box holds (the picture's bounds).
    virtual void SetContentSize(std::int32_t Width, std::int32_t Height);

    // The box resized (plain boxes; front ends follow their widget).
    void SetClientSize(std::int32_t Width, std::int32_t Height, std::int32_t BarSize);

private:
    std::int32_t FClientWidth, FClientHeight;
    std::int32_t FScrollBarSize = 0;
    std::int32_t FContentWidth = 0, FContentHeight = 0;
    std::int32_t FHorz = 0, FVert = 0;
};

}  // namespace anivert
