#include "Preview.h"

#include <algorithm>

#include "GIFImage.h"

namespace anivert {

TPreviewImage::TPreviewImage() = default;
TPreviewImage::~TPreviewImage() = default;

void TPreviewImage::SetPicture(std::unique_ptr<TGIFImage> Gif) { FPicture = std::move(Gif); }

void TPreviewImage::SetBounds(std::int32_t Left, std::int32_t Top, std::int32_t Width, std::int32_t Height) {
    FLeft = Left;
    FTop = Top;
    FWidth = Width;
    FHeight = Height;
}

std::pair<bool, bool> TPreviewBox::ScrollBarsFor(std::int32_t Width, std::int32_t Height) const {
    const std::int32_t W = ClientWidth(), H = ClientHeight(), Bar = ScrollBarSize();
    bool Horz = Width > W, Vert = Height > H;
    // One bar takes room from the other direction.
    if (Horz && !Vert) Vert = Height > H - Bar;
    if (Vert && !Horz) Horz = Width > W - Bar;
    return {Horz, Vert};
}

void TPreviewBox::SetHorzPosition(std::int32_t Value) {
    const std::int32_t Visible = ClientWidth() - (VertScrollBarVisible() ? ScrollBarSize() : 0);
    FHorz = std::clamp(Value, 0, std::max(0, FContentWidth - Visible));
}

void TPreviewBox::SetVertPosition(std::int32_t Value) {
    const std::int32_t Visible = ClientHeight() - (HorzScrollBarVisible() ? ScrollBarSize() : 0);
    FVert = std::clamp(Value, 0, std::max(0, FContentHeight - Visible));
}

void TPreviewBox::SetClientSize(std::int32_t Width, std::int32_t Height, std::int32_t BarSize) {
    FClientWidth = Width;
    FClientHeight = Height;
    FScrollBarSize = BarSize;
    SetContentSize(FContentWidth, FContentHeight);
}

void TPreviewBox::SetContentSize(std::int32_t Width, std::int32_t Height) {
    FContentWidth = Width;
    FContentHeight = Height;
    SetHorzPosition(FHorz);
    SetVertPosition(FVert);
}

}  // namespace anivert
