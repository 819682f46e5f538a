#include "FlashObjects.h"

#include <algorithm>
#include <cmath>

namespace anivert {

// ------------------------------------------------------------ TFlashMovie

TFlashMovie::TFlashMovie(std::int32_t XMin, std::int32_t YMin, std::int32_t XMax, std::int32_t YMax, float FPS,
                         bool PixelUnits)
    : TBasedSWFStream(XMin, YMin, XMax, YMax, FPS, PixelUnits) {}

TFlashMovie::~TFlashMovie() {
    FPacker.reset();  // jobs not yet started are dropped
    // Objects may refer to one another; free the list before anything else.
    PendingObject.reset();
    ObjectList.clear();
}

TSWFRGB& TFlashMovie::BackgroundColor() {
    if (!FBackgroundColor) FBackgroundColor = std::make_unique<TSWFRGB>();
    return *FBackgroundColor;
}

TFlashImage* TFlashMovie::AddImage(std::unique_ptr<TFlashImage> New) {
    TFlashImage* Image = RegisterCharacter(std::move(New), ImageList);
    Image->Deflate = ImageDeflate;
    if (FPacker) Image->PackLater(*FPacker);
    return Image;
}

TFlashImage* TFlashMovie::AddImage(const std::string& FileName) {
    return AddImage(std::make_unique<TFlashImage>(this, FileName));
}

TFlashImage* TFlashMovie::AddImage(TLosslessPicture Picture) {
    auto New = std::make_unique<TFlashImage>(this);
    New->SetPicture(std::move(Picture));
    return AddImage(std::move(New));
}

TFlashImage* TFlashMovie::AddImage(std::int32_t Width, std::int32_t Height, std::function<TLosslessPicture()> Make) {
    auto New = std::make_unique<TFlashImage>(this);
    New->SetPictureMaker(Width, Height, std::move(Make));
    return AddImage(std::move(New));
}

void TFlashMovie::PackImagesInBackground(unsigned Threads) {
    if (!FPacker) FPacker = std::make_unique<TWorkQueue>(Threads);
}

TFlashButton* TFlashMovie::AddButton(bool TrackAsMenu, bool Advanced) {
    return RegisterCharacter(std::make_unique<TFlashButton>(this, TrackAsMenu, Advanced), ButtonList);
}

TFlashSprite* TFlashMovie::AddSprite() { return RegisterCharacter(std::make_unique<TFlashSprite>(this), SpriteList); }

TFlashShape* TFlashMovie::AddShape(std::unique_ptr<TFlashShape> Shape) {
    if (!Shape) Shape = std::make_unique<TFlashShape>(this);
    return RegisterCharacter(std::move(Shape), ShapeList);
}

TFlashShape* TFlashMovie::AddRectangle(std::int32_t XMin, std::int32_t YMin, std::int32_t XMax, std::int32_t YMax) {
    TFlashShape* Shape = AddShape();
    Shape->SetShapeBound(XMin, YMin, XMax, YMax);
    Shape->Edges->MoveTo(XMin, YMin);
    Shape->Edges->MakeRectangle(XMax - XMin, YMax - YMin);
    Shape->Edges->EndShape();
    return Shape;
}

TFlashPlaceObject* TFlashMovie::PlaceObject(TFlashVisualObject* Obj, std::uint16_t Depth) {
    return AddObject(std::make_unique<TFlashPlaceObject>(this, Obj, Depth));
}

void TFlashMovie::RemoveObject(std::uint16_t Depth, const TFlashIDObject* Shape) {
    AddObject(MakeRemoveTag(Depth, Shape));
}

void TFlashMovie::ShowFrame(std::uint16_t Count) {
    if (Count == 0) Count = 1;
    if (!FrameLabel.empty()) {
        AddObject(std::make_unique<TSWFFrameLabel>(FrameLabel));
        FrameLabel.clear();
    }
    if (PendingObject) ObjectList.push_back(std::move(PendingObject));
    for (std::uint16_t I = 0; I < Count; ++I) {
        ++FrameCount;
        AddObject(std::make_unique<TSWFShowFrame>());
    }
    CurrentFrame = static_cast<std::int32_t>(FrameCount) - 1;
}

TFlashActionScript* TFlashMovie::AddActions(std::int32_t Frame) {
    auto Script = std::make_unique<TFlashActionScript>(this);
    TFlashActionScript* P = Script.get();
    std::int32_t Shown = 0;
    for (auto It = ObjectList.begin(); It != ObjectList.end(); ++It) {
        const auto* T = dynamic_cast<const TSWFObject*>(It->get());
        if (T && T->TagID == tagShowFrame && Shown++ == Frame) {
            ObjectList.insert(It, std::move(Script));
            return P;
        }
    }
    return AddObject(std::move(Script));
}

void TFlashMovie::WriteBody(TStream& Out) {
    std::uint8_t V = Version();
    std::uint16_t N = 0;
    TBitsEngine BE(Out);
    if (FBackgroundColor) {
        TSWFSetBackgroundColor Tag;
        Tag.Color->CopyFrom(*FBackgroundColor);
        Tag.WriteToStream(BE);
    }
    if (Protect) {
        TSWFProtect Tag;
        Tag.Password = ProtectPassword;
        V = std::max(V, Tag.MinVersion());
        Tag.WriteToStream(BE);
    }
    const std::size_t Count = ObjectList.size();
    for (std::size_t J = 0; J < Count; ++J) {
        TBasedSWFObject& Obj = *ObjectList[J];
        if (OnProgress)
            OnProgress(*this, static_cast<int>(std::nearbyint(100.0 * static_cast<double>(J + 1) / static_cast<double>(Count))), 1);
        V = std::max(V, Obj.MinVersion());
        if (Obj.LibraryLevel() == 1) {
            if (auto* P = dynamic_cast<TFlashPlaceObject*>(&Obj)) P->PlaceTag().SWFVersion = V;
            // The clip actions of the sprite's placements take it too.
            else if (auto* S = dynamic_cast<TFlashSprite*>(&Obj)) S->SWFVersion = V;
        } else if (auto* T = dynamic_cast<TSWFObject*>(&Obj); T && T->TagID == tagShowFrame) {
            ++N;
        }
        Obj.WriteToStream(BE);
        if (ReleasePicturesWhenWritten)
            if (auto* Image = dynamic_cast<TFlashImage*>(&Obj)) Image->ReleasePacked();
    }
    if (ObjectList.empty() || !dynamic_cast<TSWFEnd*>(ObjectList.back().get())) BE.WriteWord(0);
    FrameCount = N;
    if (V > Version()) SetVersion(V);
}

}  // namespace anivert
