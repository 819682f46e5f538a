// The movie object model: characters, placements and frames of one movie,
// turned into the tag stream of the SWF file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FlashBase.h"
#include "FlashButton.h"
#include "FlashImage.h"
#include "FlashShape.h"
#include "FlashSprite.h"
#include "SWFObjects.h"
#include "SWFStreams.h"
#include "WorkQueue.h"

namespace anivert {

class TFlashMovie : public TBasedSWFStream {
public:
    TFlashMovie(std::int32_t XMin, std::int32_t YMin, std::int32_t XMax, std::int32_t YMax, float FPS,
                bool PixelUnits = false);
    ~TFlashMovie() override;

    // Everything MakeStream writes, in file order; owns every object.
    std::vector<std::unique_ptr<TBasedSWFObject>> ObjectList;
    std::uint16_t NextCharacterID = 1;
    std::int32_t CurrentFrame = 0;
    // Written as a FrameLabel tag by the next ShowFrame, then cleared.
    std::string FrameLabel;
    // Appended by the next ShowFrame before its ShowFrame tags, then cleared.
    std::unique_ptr<TBasedSWFObject> PendingObject;
    bool Protect = false;
    std::string ProtectPassword;

    // Creates the background colour on first use; the movie then writes a
    // SetBackgroundColor tag.
    TSWFRGB& BackgroundColor();
    bool HasBackgroundColor() const { return FBackgroundColor != nullptr; }

    template <class T>
    T* AddObject(std::unique_ptr<T> Obj) {
        T* P = Obj.get();
        ObjectList.push_back(std::move(Obj));
        return P;
    }
    // The movie's characters in the order of creation (not owned).
    std::vector<TFlashImage*> ImageList;
    std::vector<TFlashShape*> ShapeList;
    std::vector<TFlashButton*> ButtonList;
    std::vector<TFlashSprite*> SpriteList;

    // A bitmap character from a BMP or JPEG file.
    TFlashImage* AddImage(const std::string& FileName);
    // A bitmap character from a picture in memory.
    TFlashImage* AddImage(TLosslessPicture Picture);
    // A bitmap character of Width x Height pixels whose picture Make lays
    // out when it is packed (on a worker when packing in the background):
    // what Make reads must stay as it is until MakeStream has run.
    TFlashImage* AddImage(std::int32_t Width, std::int32_t Height, std::function<TLosslessPicture()> Make);
    // How the lossless data of the bitmaps added from now on is deflated.
    TDeflateSettings ImageDeflate;
    // From now on the lossless data of every bitmap added is packed on
    // worker threads (Threads 0: one per hardware thread) while the caller
    // goes on, and each decoded picture is released once packed. The movie's
    // bytes are the same; MakeStream waits for the jobs.
    void PackImagesInBackground(unsigned Threads = 0);
    // Making the movie lets go of each bitmap's packed bytes once they are
    // written, so that a long movie is not held twice; it can then be made
    // only once (making it again throws).
    bool ReleasePicturesWhenWritten = false;
    // A button (a DefineButton2 when Advanced, else a DefineButton).
    TFlashButton* AddButton(bool TrackAsMenu = false, bool Advanced = true);
    // A sprite with an empty timeline of its own.
    TFlashSprite* AddSprite();
    // Registers Shape, or a new empty shape of this movie when none is given.
    TFlashShape* AddShape(std::unique_ptr<TFlashShape> Shape = nullptr);
    // A rectangle outline in the caller's units, ready for a fill.
    TFlashShape* AddRectangle(std::int32_t XMin, std::int32_t YMin, std::int32_t XMax, std::int32_t YMax);
    TFlashShape* AddRectangle(const TRect& R) { return AddRectangle(R.Left, R.Top, R.Right, R.Bottom); }
    TFlashPlaceObject* PlaceObject(TFlashVisualObject* Obj, std::uint16_t Depth);
    // With a character: RemoveObject of that character at Depth; without:
    // RemoveObject2 at Depth.
    void RemoveObject(std::uint16_t Depth, const TFlashIDObject* Shape = nullptr);
    void ShowFrame(std::uint16_t Count = 1);
    // Actions run when the movie reaches frame Frame (0-based): a DoAction
    // right before the ShowFrame tag that ends the frame, after what the
    // frame holds already. A frame not yet ended (Frame >= FrameCount) is
    // the current one: the DoAction goes at the end, before the next
    // ShowFrame.
    TFlashActionScript* AddActions(std::int32_t Frame);
    void WriteBody(TStream& Out) override;

protected:
    // Gives a new character the next id, appends it to ObjectList and to its
    // typed list.
    template <class T, class L>
    T* RegisterCharacter(std::unique_ptr<T> Obj, std::vector<L*>& List) {
        Obj->SetCharacterID(NextCharacterID);
        T* P = AddObject(std::move(Obj));
        List.push_back(P);
        ++NextCharacterID;
        return P;
    }

private:
    // Registers an image, which takes the movie's deflater and is packed in
    // the background when the movie does that.
    TFlashImage* AddImage(std::unique_ptr<TFlashImage> Image);
    std::unique_ptr<TSWFRGB> FBackgroundColor;
    std::unique_ptr<TWorkQueue> FPacker;
};

}  // namespace anivert
