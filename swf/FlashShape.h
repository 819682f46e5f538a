// Shape characters of a movie: a rectangle of bounds, the records drawn by
// TFlashEdges and the fill styles they select.
#pragma once

#include <cstdint>
#include <memory>

#include "FlashBase.h"
#include "SWFShapes.h"

namespace anivert {

class TFlashImage;

// Appends moves and straight edges to a shape's record list, in the
// caller's units.
class TFlashEdges {
public:
    TFlashEdges(TSWFShapeRecordList& ARecords, TFlashMovie* AOwner);

    std::int32_t PenX = 0;
    std::int32_t PenY = 0;
    std::int32_t LastMoveX = 0;
    std::int32_t LastMoveY = 0;
    TSWFShapeRecordList& Records;
    TFlashMovie* Owner = nullptr;

    // The last record when it is a style change, else a new style change.
    TSWFStyleChangeRecord& GetStyleChangeRecord();
    void MoveTo(std::int32_t X, std::int32_t Y);
    // Adds the offset as straight edges of at most 65535 twips on either
    // axis; returns the last one, or null for a zero offset.
    TSWFStraightEdgeRecord* LineDelta(std::int32_t DX, std::int32_t DY);
    void MakeRectangle(std::int32_t W, std::int32_t H);
    void EndShape();

private:
    std::int32_t Multiplier() const;
};

class TFlashShape : public TFlashVisualObject {
public:
    explicit TFlashShape(TFlashMovie* AOwner = nullptr);
    ~TFlashShape() override;

    std::unique_ptr<TSWFRect> Bounds;
    std::unique_ptr<TFlashEdges> Edges;
    std::int16_t FillStyle0 = 0;
    std::int16_t FillStyle1 = 0;
    std::int16_t LineStyle = 0;
    std::unique_ptr<TSWFDefineShape3> ShapeTag;
    // Some fill has alpha: the shape is written as DefineShape3.
    bool HasAlpha = false;

    void SetShapeBound(std::int32_t XMin, std::int32_t YMin, std::int32_t XMax, std::int32_t YMax);
    TSWFColorFill* SetSolidFill(std::uint8_t R, std::uint8_t G, std::uint8_t B, std::uint8_t A);
    // Mode 0: clipped bitmap at the given scale; 1: clipped, stretched over
    // the bounds; 2: repeating at the given scale.
    TSWFImageFill* SetImageFill(TFlashImage* Image, std::uint8_t Mode, float ScaleX = 1.0f, float ScaleY = 1.0f);
    // Appends a new fill style and selects it as FillStyle1.
    TSWFFillStyle* AddFillStyle(std::unique_ptr<TSWFFillStyle> Fill);
    // Selects a fill style already in the list.
    void AddFillStyle(TSWFFillStyle* Fill);
    void SetFillStyle0(std::int16_t N);
    void SetFillStyle1(std::int16_t N);
    void SetLineStyle(std::int16_t N);

    std::uint16_t GetCharacterID() const override { return ShapeTag->ShapeId; }
    void SetCharacterID(std::uint16_t Value) override;
    void ChangeOwner() override;
    void CopyFrom(const TBasedSWFObject& Source) override;
    std::uint8_t MinVersion() const override { return HasAlpha ? 3 : 2; }
    void WriteToStream(TBitsEngine& BE) override;

private:
    TSWFStyleChangeRecord* FirstStyleChange();
};

}  // namespace anivert
