#include "PreviewPlayer.h"

#include "GIFImage.h"

namespace anivert {

struct TGIFPlayer::TImpl {};

// The first frame over a transparent screen.
TGIFPlayer::TGIFPlayer(const TGIFImage& Gif, std::function<void()> Changed) : FImpl(std::make_unique<TImpl>()) {
    auto& Image = const_cast<TGIFImage&>(Gif);
    FPicture = QImage(std::max(1, Image.Width()), std::max(1, Image.Height()), QImage::Format_ARGB32);
    FPicture.fill(Qt::transparent);
    if (Image.Images.Count() > 0 && !Image.Images[0].Empty()) {
        TGIFSubImage& F = Image.Images[0];
        TGIFColorMap& Map = F.UsedColorMap();
        const int T = F.GraphicControlExtension && F.GraphicControlExtension->Transparent()
                          ? F.GraphicControlExtension->TransparentColorIndex()
                          : -1;
        for (int Y = 0; Y < F.Height(); ++Y)
            for (int X = 0; X < F.Width(); ++X) {
                const int I = F.RowAddress(Y)[X];
                const int SX = F.Left() + X, SY = F.Top() + Y;
                if (I == T || SX >= FPicture.width() || SY >= FPicture.height()) continue;
                const TGIFColor C = I < Map.Count() ? Map.Entries()[I] : TGIFColor{};
                FPicture.setPixel(SX, SY, qRgb(C.Red, C.Green, C.Blue));
            }
    }
    if (Changed) Changed();
}

TGIFPlayer::~TGIFPlayer() = default;

}  // namespace anivert
