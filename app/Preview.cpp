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

void TPreviewBox::SetHorzPosition(std::int32_t Value) {
    FHorz = std::clamp(Value, 0, std::max(0, FContentWidth - FClientWidth));
}

void TPreviewBox::SetVertPosition(std::int32_t Value) {
    FVert = std::clamp(Value, 0, std::max(0, FContentHeight - FClientHeight));
}

void TPreviewBox::SetContentSize(std::int32_t Width, std::int32_t Height) {
    FContentWidth = Width;
    FContentHeight = Height;
    SetHorzPosition(FHorz);
    SetVertPosition(FVert);
}

}  // namespace anivert
