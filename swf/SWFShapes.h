// Shape tags: fill and line styles, shape records, DefineShape and
// DefineShape3 (DefineShape2 is a DefineShape3 with the code 22).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "SWFTags.h"

namespace anivert {

// Fill style types of the format.
enum : std::uint8_t {
    fsSolid = 0x00,
    fsLinearGradient = 0x10,
    fsRadialGradient = 0x12,
    fsRepeatingBitmap = 0x40,
    fsClippedBitmap = 0x41,
    fsRepeatingBitmapHard = 0x42,
    fsClippedBitmapHard = 0x43,
};

class TSWFFillStyle {
public:
    virtual ~TSWFFillStyle() = default;
    TSWFFillStyle(const TSWFFillStyle&) = delete;
    TSWFFillStyle& operator=(const TSWFFillStyle&) = delete;

    bool HasAlpha = false;
    std::uint8_t FillStyleType = 0;

    virtual void CopyFrom(const TSWFFillStyle& Source);
    // Reads what follows the type byte.
    virtual void ReadFromStream(TBitsEngine& BE) = 0;
    virtual void WriteToStream(TBitsEngine& BE) = 0;

protected:
    explicit TSWFFillStyle(std::uint8_t AType) : FillStyleType(AType) {}
};

class TSWFColorFill : public TSWFFillStyle {
public:
    TSWFColorFill() : TSWFFillStyle(fsSolid), Color(std::make_unique<TSWFRGBA>(false)) {}
    std::unique_ptr<TSWFRGBA> Color;
    void CopyFrom(const TSWFFillStyle& Source) override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteToStream(TBitsEngine& BE) override;
};

class TSWFImageFill : public TSWFFillStyle {
public:
    TSWFImageFill() : TSWFFillStyle(fsClippedBitmap), Matrix(std::make_unique<TSWFMatrix>()) {}
    std::uint16_t BitmapId = 0;
    std::unique_ptr<TSWFMatrix> Matrix;
    void CopyFrom(const TSWFFillStyle& Source) override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteToStream(TBitsEngine& BE) override;
};

struct TGradientRec {
    std::uint32_t Color = 0;  // RGBA integer, red in the low byte
    std::uint8_t Ratio = 0;
};

class TSWFGradientFill : public TSWFFillStyle {
public:
    static constexpr int MaxEntries = 8;
    TSWFGradientFill();
    std::uint8_t Count = 0;
    std::unique_ptr<TSWFMatrix> Matrix;
    std::array<std::uint8_t, MaxEntries> Ratios{};

    // Entries are numbered from 1; a colour is created on first access.
    TSWFRGBA& Colors(int Index);
    std::uint8_t& Ratio(int Index) { return Ratios.at(static_cast<std::size_t>(Index - 1)); }
    TGradientRec GetGradientRec(int Index);

    void CopyFrom(const TSWFFillStyle& Source) override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteToStream(TBitsEngine& BE) override;

private:
    std::array<std::unique_ptr<TSWFRGBA>, MaxEntries> FColors;
};

// A fill style object for a type byte, or null for a type the format lacks.
std::unique_ptr<TSWFFillStyle> CreateFillStyle(std::uint8_t FillStyleType);

class TSWFLineStyle {
public:
    TSWFLineStyle() : Color(std::make_unique<TSWFRGBA>(false)) {}
    std::unique_ptr<TSWFRGBA> Color;
    std::uint16_t Width = 0;
    void CopyFrom(const TSWFLineStyle& Source);
    void ReadFromStream(TBitsEngine& BE, bool HasAlpha);
    void WriteToStream(TBitsEngine& BE);
};

using TSWFFillStyleList = std::vector<std::unique_ptr<TSWFFillStyle>>;
using TSWFLineStyleList = std::vector<std::unique_ptr<TSWFLineStyle>>;

// Shape record kinds.
enum : std::uint8_t { srEnd = 0, srStyleChange = 1, srStraightEdge = 2, srCurvedEdge = 3 };

class TSWFShapeRecord {
public:
    virtual ~TSWFShapeRecord() = default;
    TSWFShapeRecord(const TSWFShapeRecord&) = delete;
    TSWFShapeRecord& operator=(const TSWFShapeRecord&) = delete;

    std::uint8_t ShapeRecType = srEnd;

    virtual void CopyFrom(const TSWFShapeRecord&) {}
    virtual void WriteToStream(TBitsEngine& BE) = 0;

protected:
    explicit TSWFShapeRecord(std::uint8_t AType) : ShapeRecType(AType) {}
};

class TSWFEndShapeRecord : public TSWFShapeRecord {
public:
    TSWFEndShapeRecord() : TSWFShapeRecord(srEnd) {}
    void WriteToStream(TBitsEngine& BE) override { BE.WriteBits(0, 6); }
};

class TSWFStraightEdgeRecord : public TSWFShapeRecord {
public:
    TSWFStraightEdgeRecord() : TSWFShapeRecord(srStraightEdge) {}
    std::int32_t DeltaX = 0;
    std::int32_t DeltaY = 0;
    void CopyFrom(const TSWFShapeRecord& Source) override;
    void WriteToStream(TBitsEngine& BE) override;

protected:
    using TSWFShapeRecord::TSWFShapeRecord;
};

// A style change; DeltaX and DeltaY hold the move-to point.
class TSWFStyleChangeRecord : public TSWFStraightEdgeRecord {
public:
    TSWFStyleChangeRecord() : TSWFStraightEdgeRecord(srStyleChange) {}

    std::uint8_t FillBits = 0;
    std::uint8_t LineBits = 0;
    std::uint16_t FillStyle0 = 0;
    std::uint16_t FillStyle1 = 0;
    std::uint16_t LineStyle = 0;
    bool StateFillStyle0 = false;
    bool StateFillStyle1 = false;
    bool StateLineStyle = false;
    bool StateMoveTo = false;
    bool StateNewStyles = false;
    bool HasAlpha = false;

    void SetFillStyle0(std::uint16_t Value);
    void SetFillStyle1(std::uint16_t Value);
    void SetLineStyle(std::uint16_t Value);
    // The new style arrays; touching them marks the record as carrying new styles.
    TSWFFillStyleList& NewFillStyles();
    TSWFLineStyleList& NewLineStyles();
    const TSWFFillStyleList& NewFillStylesView() const { return FNewFillStyles; }
    const TSWFLineStyleList& NewLineStylesView() const { return FNewLineStyles; }

    void CopyFrom(const TSWFShapeRecord& Source) override;
    void WriteToStream(TBitsEngine& BE) override;

private:
    TSWFFillStyleList FNewFillStyles;
    TSWFLineStyleList FNewLineStyles;
};

class TSWFCurvedEdgeRecord : public TSWFShapeRecord {
public:
    TSWFCurvedEdgeRecord() : TSWFShapeRecord(srCurvedEdge) {}
    std::int32_t AnchorX = 0;
    std::int32_t AnchorY = 0;
    std::int32_t ControlX = 0;
    std::int32_t ControlY = 0;
    void CopyFrom(const TSWFShapeRecord& Source) override;
    void WriteToStream(TBitsEngine& BE) override;
};

using TSWFShapeRecordList = std::vector<std::unique_ptr<TSWFShapeRecord>>;

// Bits needed for style indices 1..Count (0 for none).
std::uint8_t StyleIndexBits(std::size_t Count);
void WriteStyleArrays(TBitsEngine& BE, TSWFFillStyleList& Fills, TSWFLineStyleList& Lines, bool HasAlpha);
void ReadStyleArrays(TBitsEngine& BE, TSWFFillStyleList& Fills, TSWFLineStyleList& Lines, bool HasAlpha);

class TSWFDefineShape : public TSWFObject {
public:
    TSWFDefineShape() : TSWFDefineShape(tagDefineShape) {}

    TSWFShapeRecordList Edges;
    TSWFFillStyleList FillStyles;
    bool HasAlpha = false;
    TSWFLineStyleList LineStyles;
    std::unique_ptr<TSWFRect> ShapeBounds;
    std::uint16_t ShapeId = 0;

    void CopyFrom(const TBasedSWFObject& Source) override;
    void ReadFromStream(TBitsEngine& BE) override;
    void WriteTagBody(TBitsEngine& BE) override;

protected:
    explicit TSWFDefineShape(std::uint16_t ATagID) : TSWFObject(ATagID), ShapeBounds(std::make_unique<TSWFRect>()) {}
};

class TSWFDefineShape3 : public TSWFDefineShape {
public:
    TSWFDefineShape3() : TSWFDefineShape(tagDefineShape3) { HasAlpha = true; }
    // Written with the code 22 it is a DefineShape2, which version 2 reads.
    std::uint8_t MinVersion() const override { return TagID == tagDefineShape2 ? 2 : 3; }
};

}  // namespace anivert
