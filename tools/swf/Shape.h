#pragma once

#include "tools/swf/BitWriter.h"
#include "tools/swf/Records.h"

#include <cstdint>
#include <vector>

// A shape filled with one solid colour: closed outlines of straight and
// quadratic curved edges, in twips relative to the shape's origin.
// Outlines are filled on their right-hand side, so AddPolygon and the other
// helpers turn them clockwise on screen; AddHole turns them the other way.
class CShape {
public:
    struct Point {
        std::int32_t x { 0 };
        std::int32_t y { 0 };
    };

    explicit CShape(SwfRgb fill)
        : m_fill(fill)
    {
    }

    // Low-level outline building: a new outline starts at each MoveTo.
    void MoveTo(Point point);
    void LineTo(Point point);
    void CurveTo(Point control, Point anchor);

    void AddRectangle(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height);
    void AddPolygon(std::vector<Point> points);
    void AddHole(std::vector<Point> points);
    // A circle from eight quadratic curves.
    void AddCircle(Point centre, std::int32_t radius);

    SwfRgb GetFill() const { return m_fill; }
    SwfRect GetBounds() const;

    // The shape's records as DefineShape carries them after the bounds.
    void WriteShapeWithStyle(CBitWriter& writer) const;

private:
    struct Edge {
        bool curved { false };
        bool moveTo { false };
        Point control {};
        Point anchor {};
    };

    void AddOutline(std::vector<Point> points, bool clockwise);
    static void WriteStraightEdge(CBitWriter& writer, std::int32_t dx, std::int32_t dy);
    static void WriteCurvedEdge(CBitWriter& writer, Point from, Point control, Point anchor);

    SwfRgb m_fill {};
    std::vector<Edge> m_edges {};
};
