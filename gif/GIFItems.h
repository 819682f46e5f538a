// GIFImage unit: the object tree of a GIF file. A TGIFImage owns its
// header (logical screen and global colour map) and its frames; every frame
// owns its local colour map, the extensions read before it and its pixels.
#pragma once
#ifndef ANIVERT_GIFIMAGE_UNIT
#error "include GIFImage.h"
#endif

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Streams.h"
#include "Types.h"

namespace anivert {

class TGIFImage;
class TGIFSubImage;

// Every part of a GIF file.
class TGIFItem {
public:
    explicit TGIFItem(TGIFImage* AImage) : FImage(AImage) {}
    virtual ~TGIFItem() = default;
    TGIFItem(const TGIFItem&) = delete;
    TGIFItem& operator=(const TGIFItem&) = delete;

    TGIFImage* Image() const { return FImage; }
    // The format version the item needs: 1 (GIF87a) or 2 (GIF89a).
    virtual int RequiredVersion() const { return 1; }
    // Forwards to the owning image with the item as sender.
    virtual void ReportWarning(int Severity, const std::string& Message);
    virtual void SaveToStream(TStream& Stream) = 0;
    virtual void LoadFromStream(TStream& Stream) = 0;
    // Creates (or truncates) the file and calls SaveToStream.
    void SaveFile(const std::string& FileName);
    // Opens the file read-only and calls LoadFromStream.
    void LoadFile(const std::string& FileName);

protected:
    TGIFImage* FImage;
};

// An ordered list that owns its items.
template <class T>
class TGIFList {
public:
    explicit TGIFList(TGIFImage* AImage) : FImage(AImage) {}
    ~TGIFList() { Clear(); }
    TGIFList(const TGIFList&) = delete;
    TGIFList& operator=(const TGIFList&) = delete;

    TGIFImage* Image() const { return FImage; }
    int Count() const { return static_cast<int>(FItems.size()); }
    T& operator[](int Index) const { return *FItems.at(static_cast<std::size_t>(Index)); }
    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }
    int IndexOf(const T* Item) const {
        for (std::size_t I = 0; I < FItems.size(); ++I)
            if (FItems[I].get() == Item) return static_cast<int>(I);
        return -1;
    }
    T& Add(std::unique_ptr<T> Item) {
        FItems.push_back(std::move(Item));
        return *FItems.back();
    }
    // Removes and frees the item.
    void RemoveAt(int Index) { Unlink(&(*this)[Index]); }
    // Removes the item without freeing it.
    std::unique_ptr<T> Unlink(T* Item) {
        const int I = IndexOf(Item);
        if (I < 0) return nullptr;
        std::unique_ptr<T> P = std::move(FItems[static_cast<std::size_t>(I)]);
        FItems.erase(FItems.begin() + I);
        return P;
    }
    // Frees the items from the first on until the list is empty.
    void Clear() {
        while (!FItems.empty()) {
            std::unique_ptr<T> P = std::move(FItems.front());
            FItems.erase(FItems.begin());
        }
    }

protected:
    TGIFImage* FImage;
    std::vector<std::unique_ptr<T>> FItems;
};

// ---------------------------------------------------------------- header

// The logical screen descriptor as stored, and the global colour map.
class TGIFHeader : public TGIFItem {
public:
    explicit TGIFHeader(TGIFImage* AImage) : TGIFItem(AImage), ColorTable(*this) {}

    std::uint16_t ScreenWidth = 0;
    std::uint16_t ScreenHeight = 0;
    // Bit 7 global table present, bits 4-6 colour resolution - 1, bit 3
    // sort flag, bits 0-2 table size code (2 << code entries).
    std::uint8_t PackedFields = 0;
    std::uint8_t BackgroundColorIndex = 0;
    std::uint8_t AspectRatio = 0;
    // The 3 version bytes of the signature as read ("87a", "89a", ...).
    std::string Version;
    TGIFGlobalColorMap ColorTable;

    void Clear();
    // Recomputes the table bits of PackedFields from the colour map.
    void UpdatePackedFields();
    // Writes the signature with the version the frames need ("87a", or
    // "89a" as soon as one frame needs it; gifmsg::UnsupportedVersion when
    // there is no frame), the logical screen descriptor with PackedFields
    // recomputed from the colour maps, and the global map padded with black
    // to a power of two. Version and PackedFields keep what was written.
    void SaveToStream(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;
};

// ---------------------------------------------------------------- extensions

class TGIFExtension;

// What a class of extension is: how to make one and how to look ahead in
// the stream for a more precise class (a virtual class method).
struct TGIFExtensionClass {
    const char* Name;
    std::unique_ptr<TGIFExtension> (*Create)(TGIFSubImage& Frame);
    // Answers a class for the data at the stream's position: the class
    // itself, another one, or null when the data cannot be read.
    const TGIFExtensionClass* (*ProbeSubclass)(const TGIFExtensionClass& Self, TStream& Stream);
};

// Registers a class for an extension label (0x01, 0xF9, ...). A later
// registration overrides an earlier one. The registry is filled with the
// four standard classes on first use.
void RegisterExtension(std::uint8_t Label, const TGIFExtensionClass& Class);
const TGIFExtensionClass* FindExtension(std::uint8_t Label);
// Registers a class for an 11-byte application identifier and
// authentication code ("NETSCAPE2.0").
void RegisterAppExtension(const std::array<std::uint8_t, 11>& Identifier, const TGIFExtensionClass& Class);
const TGIFExtensionClass* FindAppExtension(const std::uint8_t* Identifier);

class TGIFExtension : public TGIFItem {
public:
    explicit TGIFExtension(TGIFSubImage& Frame);
    TGIFSubImage& SubImage() const { return FSubImage; }
    int RequiredVersion() const override { return 2; }
    virtual std::uint8_t LabelByte() const = 0;
    virtual const TGIFExtensionClass& ClassInfo() const = 0;
    // Writes "!" and the label, then the body.
    void SaveToStream(TStream& Stream) override;
    // Reads "!" and the label, then the body.
    void LoadFromStream(TStream& Stream) override;
    // Takes the fields of Source that this class has (Source may be of
    // another class of extension).
    virtual void Assign(const TGIFExtension& Source);
    // A new extension of the same class for Frame, with this one's fields.
    std::unique_ptr<TGIFExtension> Clone(TGIFSubImage& Frame) const;

protected:
    virtual void SaveBody(TStream& Stream) const = 0;
    virtual void LoadBody(TStream& Stream) = 0;

private:
    TGIFSubImage& FSubImage;
};

// The graphic control extension: delay, disposal and transparency.
class TGIFGraphicControlExtension : public TGIFExtension {
public:
    static const TGIFExtensionClass Class;
    // The 6 bytes after the label as stored.
    struct TRec {
        std::uint8_t BlockSize = 4;
        std::uint8_t PackedFields = 0;
        std::uint16_t Delay = 0;
        std::uint8_t TransparentColorIndex = 0;
        std::uint8_t Terminator = 0;
    };
    TRec Rec;

    // Becomes the frame's GraphicControlExtension when it has none yet.
    explicit TGIFGraphicControlExtension(TGIFSubImage& Frame);
    ~TGIFGraphicControlExtension() override;
    std::uint8_t LabelByte() const override { return 0xF9; }
    const TGIFExtensionClass& ClassInfo() const override { return Class; }

    bool Transparent() const { return Rec.PackedFields & 0x01; }
    // Also sets the frame's Transparent flag.
    void SetTransparent(bool Value);
    bool WaitsForInput() const { return Rec.PackedFields & 0x02; }
    std::uint8_t Disposal() const { return (Rec.PackedFields >> 2) & 7; }
    void SetDisposal(std::uint8_t Value);
    // Hundredths of a second.
    std::uint16_t Delay() const { return Rec.Delay; }
    void SetDelay(std::uint16_t Value) { Rec.Delay = Value; }
    std::uint8_t TransparentColorIndex() const { return Rec.TransparentColorIndex; }
    // A value past a non-empty active colour map warns and stores 0.
    void SetTransparentColorIndex(int Value);
    // The colour of TransparentColorIndex in the frame's active map.
    TColor TransparentColor() const;
    void Assign(const TGIFExtension& Source) override;

protected:
    // Always with the block size 4 and a zero terminator, whatever was read:
    // other readers take the block size at its word.
    void SaveBody(TStream& Stream) const override;
    void LoadBody(TStream& Stream) override;
};

// The plain text extension: text grid header and text.
class TGIFTextExtension : public TGIFExtension {
public:
    static const TGIFExtensionClass Class;
    explicit TGIFTextExtension(TGIFSubImage& Frame);
    std::uint8_t LabelByte() const override { return 0x01; }
    const TGIFExtensionClass& ClassInfo() const override { return Class; }
    // The 13 bytes after the label (block size 12 and the grid).
    std::array<std::uint8_t, 13> TextGridHeader{};
    std::vector<std::string> Lines;
    void Assign(const TGIFExtension& Source) override;

protected:
    // The grid with the block size 12, then the text.
    void SaveBody(TStream& Stream) const override;
    void LoadBody(TStream& Stream) override;
};

class TGIFCommentExtension : public TGIFExtension {
public:
    static const TGIFExtensionClass Class;
    using TGIFExtension::TGIFExtension;
    std::uint8_t LabelByte() const override { return 0xFE; }
    const TGIFExtensionClass& ClassInfo() const override { return Class; }
    // One string per data sub-block.
    std::vector<std::string> Lines;
    void Assign(const TGIFExtension& Source) override;

protected:
    void SaveBody(TStream& Stream) const override;
    void LoadBody(TStream& Stream) override;
};

// An application extension: the identification block, then data read by
// the subclass.
class TGIFApplicationExtension : public TGIFExtension {
public:
    static const TGIFExtensionClass Class;
    using TGIFExtension::TGIFExtension;
    std::uint8_t LabelByte() const override { return 0xFF; }
    const TGIFExtensionClass& ClassInfo() const override { return Class; }
    // 8-byte application identifier and 3-byte authentication code.
    std::array<std::uint8_t, 11> AppIdentifier{};
    std::string IdentifierText() const;
    void Assign(const TGIFExtension& Source) override;

    static const TGIFExtensionClass* Probe(const TGIFExtensionClass& Self, TStream& Stream);

protected:
    // The identification block (11 bytes), then SaveData.
    void SaveBody(TStream& Stream) const override;
    void LoadBody(TStream& Stream) override;
    // The data sub-blocks and their terminator; here only the terminator.
    virtual void SaveData(TStream& Stream) const;
    // The data sub-blocks after the identification block.
    virtual void LoadData(TStream& Stream);
};

// A data sub-block kept as read.
struct TGIFBlock {
    explicit TGIFBlock(std::uint8_t Size) : Data(Size, 0) {}
    std::uint8_t Size() const { return static_cast<std::uint8_t>(Data.size()); }
    std::vector<std::uint8_t> Data;
};

// An application extension this decoder does not interpret.
class TGIFUnknownAppExtension : public TGIFApplicationExtension {
public:
    static const TGIFExtensionClass Class;
    using TGIFApplicationExtension::TGIFApplicationExtension;
    const TGIFExtensionClass& ClassInfo() const override { return Class; }
    std::vector<TGIFBlock> SubBlocks;
    void Assign(const TGIFExtension& Source) override;

protected:
    // Each block as one sub-block (an empty block writes nothing, a longer
    // one is cut into sub-blocks of 255 bytes), then the terminator.
    void SaveData(TStream& Stream) const override;
    void LoadData(TStream& Stream) override;
};

// The loop extension ("NETSCAPE2.0", also "ANIMEXTS1.0").
class TGIFAppExtNSLoop : public TGIFApplicationExtension {
public:
    static const TGIFExtensionClass Class;
    explicit TGIFAppExtNSLoop(TGIFSubImage& Frame);
    const TGIFExtensionClass& ClassInfo() const override { return Class; }
    // 0 means loop for ever.
    std::uint16_t LoopCount = 0;
    // 0 when the file has none.
    std::uint32_t BufferingSize = 0;
    void Assign(const TGIFExtension& Source) override;

protected:
    // The loop sub-block, the buffering sub-block when BufferingSize is not
    // 0, then the terminator.
    void SaveData(TStream& Stream) const override;
    void LoadData(TStream& Stream) override;
};

// The extensions read before a frame's descriptor, in file order.
class TGIFExtensionList : public TGIFList<TGIFExtension> {
public:
    using TGIFList::TGIFList;
    void ReportWarning(int Severity, const std::string& Message);
    void SaveToStream(TStream& Stream) const;
    void LoadFromStream(TStream& Stream, TGIFSubImage& Frame);
};

// ---------------------------------------------------------------- frames

// A frame: image descriptor, local colour map, extensions and pixel indices.
class TGIFSubImage : public TGIFItem {
public:
    explicit TGIFSubImage(TGIFImage* AImage);
    ~TGIFSubImage() override;

    // The image descriptor as stored (bounds through the accessors).
    std::uint8_t Separator = 0x2C;
    // Bit 7 local table present, bit 6 interlaced, bit 5 sort flag, bits
    // 0-2 table size code.
    std::uint8_t PackedFields = 0;
    TGIFLocalColorMap ColorTable;
    TGIFExtensionList FrameExtensions;
    // Width x Height indices, rows top-down in display order; empty when
    // either dimension is 0.
    std::vector<std::uint8_t> PixelData;
    // Pixels the code stream gave, in the order of decoding (rows of the
    // interlace passes in turn); all of PixelData for a complete frame.
    std::size_t DecodedPixels = 0;
    // Set by a salvaging read for a frame cut short that a browser draws
    // on a cleared canvas (it covers the screen and had no transparency):
    // what it leaves undrawn shows nothing of the frames before it.
    bool ClearsCanvas = false;
    // True while the frame's graphic control extension has its transparent
    // bit set.
    bool Transparent = false;
    // The first graphic control extension of the frame (owned by
    // FrameExtensions), or null.
    TGIFGraphicControlExtension* GraphicControlExtension = nullptr;

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int Value) { ChangeBounds(Value, FTop, FWidth, FHeight); }
    void SetTop(int Value) { ChangeBounds(FLeft, Value, FWidth, FHeight); }
    void SetWidth(int Value) { ChangeBounds(FLeft, FTop, Value, FHeight); }
    void SetHeight(int Value) { ChangeBounds(FLeft, FTop, FWidth, Value); }
    // Stores new bounds (each 0..65535). A new size frees the pictures and
    // gives a new zeroed pixel buffer; the logical screen grows to hold the
    // frame, with warnings.
    void ChangeBounds(int ALeft, int ATop, int AWidth, int AHeight);
    TRect FrameRect() const { return Rect(FLeft, FTop, FLeft + FWidth, FTop + FHeight); }
    bool IsInterlaced() const { return PackedFields & 0x40; }
    std::size_t PixelDataSize() const { return PixelData.size(); }
    // No pixels to show. A frame decoded on demand is not empty for want of
    // its pixels (see TGIFImage::DecodeOnDemand).
    bool Empty() const { return (PixelData.empty() && !FOnDemand) || FWidth == 0 || FHeight == 0; }
    // Its pixels wait to be decoded (TGIFImage::DecodeOnDemand).
    bool DecodePending() const { return FDecodePending; }
    // The local map when it has entries, else the global map when it has
    // entries, else the (empty) local map.
    TGIFColorMap& UsedColorMap() const;

    std::uint8_t PixelAt(int X, int Y) const;
    // Row Y of the pixel buffer (made first when there is none).
    std::uint8_t* RowAddress(int Y);

    // The frame as an 8-bit picture whose values are the frame's indices
    // and whose colour table is the frame's palette; built on first use.
    // Null for an Empty frame.
    const TGIFBitmap* Bitmap();
    // false frees the cached picture; true builds it.
    void SetBitmap(bool Value);
    bool HasBitmap() const { return FBitmap != nullptr; }
    // Where the frame is transparent (bit 1), or null when no pixel is.
    const TGIFMask* TransparencyMask() const { return FMask.get(); }
    // Rebuilds the mask when it is due; answers whether there is one.
    bool MaskAvailable();
    // The palette the frame's picture uses; null when there is none.
    const TGIFPalette* Palette();

    // The first extension of the given class, or null.
    template <class T>
    T* FindExtension() const {
        for (const auto& E : FrameExtensions)
            if (auto* P = dynamic_cast<T*>(E.get())) return P;
        return nullptr;
    }

    void Clear();
    // 2 (GIF89a) when the frame has an extension or its local map is
    // ordered by use, else 1.
    int RequiredVersion() const override;
    // Writes the extensions and, unless the frame is Empty, the image
    // descriptor (PackedFields recomputed from the local map; the interlace
    // bit is kept), the local map padded with black to a power of two and
    // the pixels compressed by the image's Compression method. A pixel
    // past the colours the frame can use raises
    // gifmsg::ColorNotInColorTable, bounds past 65535 or fewer pixels than
    // Width x Height gifmsg::InvalidImageDimensions.
    void SaveToStream(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;
    // A deep copy of another frame: descriptor, bounds, transparency,
    // pixels, local map, extensions (of the same classes) and the cached
    // picture and mask. An Empty frame's extensions are copied too.
    void CopyFrom(const TGIFSubImage& Source);

    // Draws the frame into Rect, which stands for the whole logical screen:
    // its own rectangle is placed and stretched in proportion; with Tile it
    // is drawn at its own size in every screen-sized tile laid across Rect
    // from its top-left corner. With Transparent, a transparent frame is
    // drawn through its mask. Then the canvas is told of the change.
    void Draw(TGIFCanvas& Canvas, const TRect& Rect, bool Tile, bool Transparent);
    // Draws the frame's picture stretched to Rect (with Tile, at its own
    // size repeated across Rect), through the mask as Draw.
    void DrawStretched(TGIFCanvas& Canvas, const TRect& Rect, bool Tile, bool Transparent);
    // The frame's own rectangle when Rect stands for the logical screen.
    TRect PlacedRect(const TRect& Rect) const;

    // Makes the pixels that repeat what Previous left on the screen
    // transparent (self is the frame shown after Previous). Does nothing
    // when Previous's disposal may change the screen under self, or when no
    // transparent index can be had without changing what self shows.
    void MaskRepeatedPixels(const TGIFSubImage* Previous);
    // Cuts the transparent border off a transparent frame (Left and Top
    // grow, Width and Height shrink); a frame with no other pixel is
    // cleared. A frame whose disposal restores the background (or is not a
    // known value besides none, keep and restore previous) is left alone:
    // its disposal clears its whole rectangle, border included.
    void TrimTransparentBorder();

    // Allocates PixelData for Width x Height pixels filled with Fill, within
    // the image's pixel bounds (gifmsg::FrameTooLarge beyond them; without
    // WholeBound, only the bound for one frame).
    void AllocatePixels(std::uint8_t Fill, bool WholeBound = true);
    void LocalColorMapChanged();
    void GlobalColorMapChanged();
    // Frees the cached picture and mask; the mask is made again on the
    // next build.
    void FreeBitmap();

private:
    friend class TGIFImage;
    // The frame's code stream while its decoding waits (see
    // TGIFImage::DecodeThreads).
    std::vector<std::uint8_t> FPendingCodes;
    bool FDecodePending = false;
    // Read by a load that decodes on demand: the pixels come and go.
    bool FOnDemand = false;
    // Salvaging: the descriptor was read (the frame has its bounds), and
    // the frame had no size of its own.
    bool FHasBounds = false;
    bool FNoSize = false;
    friend class TGIFImageList;
    // A frame cut short by a fault: whether it can be kept (its bounds
    // were read and its pixels can be held).
    bool KeepCutShort();
    // The pixels not decoded show what lies below (or, on a frame that
    // covers the screen and had no transparency, nothing).
    void MakeUndecodedTransparent();

    void BuildBitmap();
    void BuildPlain(TGIFBitmap& Target);
    void BuildDithered(TGIFBitmap& Target);

    int FLeft = 0;
    int FTop = 0;
    int FWidth = 0;
    int FHeight = 0;
    std::unique_ptr<TGIFBitmap> FBitmap;
    std::unique_ptr<TGIFMask> FMask;
    bool FNeedMask = true;
    std::unique_ptr<TGIFPalette> FPalette;
};

// The frames of an image.
class TGIFImageList : public TGIFList<TGIFSubImage> {
public:
    using TGIFList::TGIFList;
    void ReportWarning(int Severity, const std::string& Message);
    // Reads blocks up to the trailer, the end of the data or an unknown block.
    void LoadFromStream(TStream& Stream);
};

// ---------------------------------------------------------------- image

class TGIFImage {
public:
    using TWarningEvent = std::function<void(TGIFImage& Image, const TGIFItem* Sender, int Severity,
                                             const std::string& Message)>;
    using TProgressEvent =
        std::function<void(TGIFImage& Image, TProgressStage Stage, int Percent, const std::string& Message)>;

    TGIFImage();
    ~TGIFImage();
    TGIFImage(const TGIFImage&) = delete;
    TGIFImage& operator=(const TGIFImage&) = delete;

    TGIFHeader ScreenHeader;
    TGIFImageList Images;

    // Settings, with their defaults.
    // A set of the po... bits: asynchronous, transparent, animate, loop,
    // dither only on palette displays.
    std::uint16_t PaintOptions = poAsynchronous | poTransparent | poAnimate | poLoop | poDither |
                                 poDitherOnPaletteDisplays;
    std::uint8_t ReductionMethod = 6;
    std::uint8_t ReductionDepth = 8;
    std::uint8_t DitherMethod = 0;
    // How frames are compressed when saved: gcLZW or gcRLE.
    std::uint8_t Compression = 0;
    // Kept and copied; painters share the image's thread and have no
    // priority of their own.
    std::uint8_t PainterPriority = 3;
    // Percent of the frames' speed a new painter plays at.
    int PlaybackSpeed = 100;
    // The painters' background; GIFColorNone: the global map's background
    // colour (the window colour without a global map).
    TColor PaintBackgroundColor = GIFColorNone;
    // Build every frame's Bitmap while loading.
    bool RenderOnLoad = false;
    // Frames decoded at the same time while loading: with more than one,
    // a load first reads every frame's code stream, then decodes the frames
    // on this many threads. The pixels, warnings, progress events and
    // errors are those of decoding one frame after the other, in the same
    // order.
    unsigned DecodeThreads = 1;
    // Frames are read but not decoded while loading (not with Salvage):
    // each keeps its code stream, as compressed as in the file, until
    // DecodeFrames decodes it, and ReleaseFrame lets go of its pixels
    // again, so that a long GIF is held a few frames at a time. Frames
    // waiting are not Empty. The pixels and warnings are those of a load;
    // a fault of the file's structure decodes every frame before it is
    // raised, as a load would. The bound for one frame holds when a frame
    // is read; the bound for all frames together does not apply.
    bool DecodeOnDemand = false;
    // Read damaged files as browsers show them: unknown extensions are
    // skipped, a frame takes its last graphic control extension, a code no
    // table could hold stops the frame's decoding, a fault inside a frame
    // keeps the frame with what it decoded and ends the reading there, and
    // a frame's pixels that were not decoded (all of a frame of no size)
    // become transparent. Frames are then decoded one by one.
    bool Salvage = false;
    // Why the last salvaging read kept what it could; empty when the file
    // read as it should.
    std::string SalvagedReason;
    // The pixel bounds (see GIFDefaultMaxFramePixels).
    std::uint64_t MaxFramePixels = GIFDefaultMaxFramePixels;
    std::uint64_t MaxImagePixels = GIFDefaultMaxImagePixels;

    // Warnings never interrupt an operation; every warning has severity 1.
    TWarningEvent OnDecodeWarning;
    TProgressEvent OnProgress;

    // A deep copy of Source: header, global map, frames with their maps,
    // extensions and pixels, and the settings PainterPriority,
    // PaintBackgroundColor, PaintOptions, ReductionMethod, DitherMethod and
    // the pixel bounds (not PlaybackSpeed, ReductionDepth or Compression).
    // Source's events report progress and warnings while it runs. The
    // image's painters are stopped first; every frame added notifies a
    // change.
    void CopyFrom(const TGIFImage& Source);
    // Null clears the image.
    void CopyFrom(const TGIFImage* Source);

    // Merges the global map and every local map into one global map of at
    // most 256 colours ordered by use and remaps every frame to it; the
    // local maps are emptied.
    void OptimizeColorMaps();
    // Options is a set of the opt... bits. ReductionMethod 9 with
    // optReduceColors and without optCleanup raises
    // gifmsg::InvalidReductionMethod; no colour reduction takes place, and
    // DitherMethod and ReductionDepth are not used.
    void Optimize(std::uint8_t Options, std::uint8_t ReductionMethod, std::uint8_t DitherMethod,
                  std::uint8_t ReductionDepth);

    // ---- drawing and playing

    // The painters' events, copied to every painter when it starts.
    TGIFPainter::TPaintEvent OnPlayStart;
    TGIFPainter::TPaintEvent OnFrameShow;
    TGIFPainter::TPaintEvent OnFrameShown;
    TGIFPainter::TPaintEvent OnPassStart;
    TGIFPainter::TPaintEvent OnPlayEnd;
    // The image's bitmap changed (a frame was played into it) or frames
    // were added: whoever shows the image draws it again.
    std::function<void(TGIFImage& Image)> OnChange;

    // The scheduler asynchronous painters play through (not owned; it must
    // outlive the image's painters). Without one, painters play
    // synchronously.
    TGIFScheduler* Scheduler() const { return FScheduler; }
    void SetScheduler(TGIFScheduler* Value);

    // Draws the image into Rect of Canvas: the first frame when the image
    // has one frame or the animate bit of PaintOptions is clear; else the
    // image's bitmap, into which the draw painter plays (made and started
    // by the first call, its first frame painted before Draw returns); with
    // poDirect the draw painter plays straight onto Canvas. Does nothing
    // while a Draw is in progress or when the image has no frames.
    void Draw(TGIFCanvas& Canvas, const TRect& Rect);
    // Makes a painter for Rect of Canvas with Options (poAsynchronous and
    // poAnimate are cleared for an image of one frame, poAsynchronous when
    // there is no scheduler) and answers it when it is asynchronous, not
    // yet resumed. A synchronous painter plays at once and null is
    // answered; so it is when the image is empty or Rect is empty.
    std::shared_ptr<TGIFPainter> StartPainter(TGIFCanvas& Canvas, const TRect& Rect, std::uint16_t Options);
    // Stops the draw painter and frees the image's bitmap.
    void StopDrawPainter();
    // Stops every painter and frees the image's bitmap. Painters that are
    // busy (the call comes from one of their events) end as soon as control
    // returns to them; they no longer paint.
    void StopAllPainters();
    // The live painters, and the one Draw started (or null).
    std::vector<std::shared_ptr<TGIFPainter>> Painters() const;
    TGIFPainter* DrawPainter() const { return FDrawPainter; }
    // The whole-screen bitmap the draw painter plays into, or null.
    const TGIFCanvas* ImageBitmap() const { return FImageBitmap.get(); }
    // Calls OnChange.
    void Changed();

    // Held while painters are started or stopped and while the maps and
    // pixels are rewritten.
    std::recursive_mutex& PainterListLock() { return FPainterListLock; }

    // Writes the image as a GIF file: the header, every frame with its
    // extensions, the trailer. Compression selects the encoder (gcRLE the
    // run-length encoder, any other value the LZW encoder). Raises
    // gifmsg::UnsupportedVersion for an image without frames and
    // gifmsg::ColorNotInColorTable for a pixel past its colours (the stream
    // then ends inside that frame).
    void SaveToStream(TStream& Stream);
    // Creates (or truncates) the file and calls SaveToStream.
    void SaveFile(const std::string& FileName);
    // Opens the file read-only and calls LoadFromStream; the file is closed
    // however loading ends.
    void LoadFile(const std::string& FileName);
    // Replaces the contents with what the stream holds from its position.
    // On failure the stream is set back to where loading began and the
    // header and the frames completed before the fault stay in the image.
    void LoadFromStream(TStream& Stream);
    // DecodeOnDemand: decodes the frames from First (up to Count of them)
    // whose decoding waits, together on DecodeThreads threads; reports
    // what a load would have reported up to the last of them (the
    // reading's warnings and progress, the decoding's warnings) and raises
    // the first error. Over the last frame it reports what followed.
    void DecodeFrames(int First, int Count);
    // DecodeOnDemand: lets go of frame K's pixels and pictures; it is
    // decoded no more.
    void ReleaseFrame(int K);
    void ReportWarning(const TGIFItem* Sender, int Severity, const std::string& Message);
    void Progress(TProgressStage Stage, int Percent, const std::string& Message);

    int Width() const { return ScreenHeader.ScreenWidth; }
    int Height() const { return ScreenHeader.ScreenHeight; }
    // Raise gifmsg::WidthTooSmall / HeightTooSmall below a frame's extent.
    void SetWidth(int Value);
    void SetHeight(int Value);
    TGIFGlobalColorMap& GlobalColorMap() { return ScreenHeader.ColorTable; }
    const TGIFGlobalColorMap& GlobalColorMap() const { return ScreenHeader.ColorTable; }
    // GlobalColorMap.Colors(BackgroundColorIndex).
    TColor BackgroundColor();
    bool Empty() const { return Images.Count() == 0; }
    void Clear();
    // How often the image is repeated after its first pass, as browsers
    // read the loop extensions ("NETSCAPE2.0", "ANIMEXTS1.0"): the count of
    // the last one in the file (one may follow the last frame); 0 means for
    // ever. Empty when there is none: the image plays once.
    std::optional<std::uint16_t> RepetitionCount() const;

    // The image's palette: the global map's, else the first frame's local
    // map's; null when there is neither.
    const TGIFPalette* Palette();
    // True when frame pictures are dithered onto the 216-colour cube.
    bool DitheringCondition() const;

    void GlobalColorMapChanged();
    // Checks Count pixels for Frame against MaxFramePixels, and together
    // with the pixels of every other frame against MaxImagePixels.
    void ReservePixels(const TGIFSubImage* Frame, std::uint64_t Count);

private:
    friend class TGIFPainter;
    friend class TGIFSubImage;
    friend class TGIFImageList;
    // What a load that decodes frames together reports while it reads.
    struct TDeferredLoad;
    // Decodes the frames whose decoding waits and reports, in the order of
    // decoding one frame after the other, what the load and the decoding
    // reported; Pending is an error of the reading, raised after what
    // comes before it. Raises as that order would.
    void FinishDeferredLoad(std::exception_ptr Pending);
    // The frames Waiting decoded on up to DecodeThreads threads: each one's
    // warnings and error, kept. Frames read on demand are given their
    // pixels first, within the bound for all frames when WholeBound.
    struct TDecoded {
        std::vector<std::vector<std::pair<int, std::string>>> Warnings;
        std::vector<std::exception_ptr> Errors;
    };
    TDecoded DecodeTogether(const std::vector<int>& Waiting, bool WholeBound);
    // Reports what decoding frame K (the W-th decoded) gave; its error ends
    // the image there and is raised.
    void ReportDecoded(int K, TDecoded& Decoded, std::size_t W);
    // A load on demand: what the reading reported waits, and is told as
    // the frames are decoded (TellReadEvents: up to frame Frames).
    void KeepReadEvents();
    void TellReadEvents(int Frames);
    std::unique_ptr<TDeferredLoad> FReadEvents;
    std::size_t FReadEventsTold = 0;
    void KeepFailedFrame(std::unique_ptr<TGIFSubImage> Frame);
    // After a salvaging read: the pixels frames did not decode become
    // transparent.
    void FinishSalvage();
    // The first frame read that did not get all its pixels, as a salvaged
    // reason ("frame K ends early"); empty when there is none.
    std::string ShortFrameReason() const;
    std::unique_ptr<TDeferredLoad> FDeferred;
    // A painter's play is over: it leaves the list.
    void PainterEnded(TGIFPainter& Painter);
    // Stretches (or tiles) the image's bitmap onto Rect of Canvas.
    void DrawImageBitmap(TGIFCanvas& Canvas, const TRect& Rect);

    std::unique_ptr<TGIFPalette> FPalette;
    mutable std::recursive_mutex FPainterListLock;
    std::vector<std::shared_ptr<TGIFPainter>> FPainters;
    TGIFPainter* FDrawPainter = nullptr;
    std::unique_ptr<TGIFCanvas> FImageBitmap;
    TGIFScheduler* FScheduler = nullptr;
    bool FDrawing = false;
    bool FStoppingPainters = false;
};

// The 216-colour cube: entry 36r + 6g + b is (51r, 51g, 51b).
TGIFPalette GIFCubePalette();

}  // namespace anivert
