#include "tools/swf/Shape.h"

#include <algorithm>
#include <cmath>
#include <numbers>

void CShape::MoveTo(Point point)
{
    m_edges.push_back({ .moveTo = true, .anchor = point });
}

void CShape::LineTo(Point point)
{
    m_edges.push_back({ .anchor = point });
}

void CShape::CurveTo(Point control, Point anchor)
{
    m_edges.push_back({ .curved = true, .control = control, .anchor = anchor });
}

void CShape::AddRectangle(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height)
{
    AddPolygon({ { x, y }, { x + width, y }, { x + width, y + height }, { x, y + height } });
}

void CShape::AddPolygon(std::vector<Point> points)
{
    AddOutline(std::move(points), true);
}

void CShape::AddHole(std::vector<Point> points)
{
    AddOutline(std::move(points), false);
}

void CShape::AddOutline(std::vector<Point> points, bool clockwise)
{
    if (points.size() < 3)
        return;
    // With y pointing down, a positive shoelace sum is clockwise on screen.
    std::int64_t area = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const Point& a = points[i];
        const Point& b = points[(i + 1) % points.size()];
        area += std::int64_t(a.x) * b.y - std::int64_t(b.x) * a.y;
    }
    if ((area > 0) != clockwise)
        std::reverse(points.begin(), points.end());
    MoveTo(points.front());
    for (std::size_t i = 1; i < points.size(); ++i)
        LineTo(points[i]);
    LineTo(points.front());
}

void CShape::AddCircle(Point centre, std::int32_t radius)
{
    constexpr int Segments = 8;
    const double step = 2 * std::numbers::pi / Segments;
    const double controlRadius = radius / std::cos(step / 2);
    auto at = [&](double angle, double r) {
        return Point { centre.x + std::int32_t(std::lround(r * std::cos(angle))),
            centre.y + std::int32_t(std::lround(r * std::sin(angle))) };
    };
    // Increasing angles run clockwise on screen.
    MoveTo(at(0, radius));
    for (int i = 0; i < Segments; ++i)
        CurveTo(at((i + 0.5) * step, controlRadius), at((i + 1) * step, radius));
}

SwfRect CShape::GetBounds() const
{
    if (m_edges.empty())
        return {};
    SwfRect bounds { m_edges.front().anchor.x, m_edges.front().anchor.x, m_edges.front().anchor.y,
        m_edges.front().anchor.y };
    auto include = [&](Point p) {
        bounds.xMin = std::min(bounds.xMin, p.x);
        bounds.xMax = std::max(bounds.xMax, p.x);
        bounds.yMin = std::min(bounds.yMin, p.y);
        bounds.yMax = std::max(bounds.yMax, p.y);
    };
    for (const Edge& edge : m_edges) {
        include(edge.anchor);
        if (edge.curved)
            include(edge.control);
    }
    return bounds;
}

void CShape::WriteStraightEdge(CBitWriter& writer, std::int32_t dx, std::int32_t dy)
{
    int bits = std::max({ 2, CBitWriter::SignedBitsFor(dx), CBitWriter::SignedBitsFor(dy) });
    if (bits > 17) {
        // Longer than one record can say: two halves.
        WriteStraightEdge(writer, dx / 2, dy / 2);
        WriteStraightEdge(writer, dx - dx / 2, dy - dy / 2);
        return;
    }
    writer.WriteBits(1, 1); // edge record
    writer.WriteBits(1, 1); // straight
    writer.WriteBits(std::uint32_t(bits - 2), 4);
    if (dx != 0 && dy != 0) {
        writer.WriteBits(1, 1); // general line
        writer.WriteSignedBits(dx, bits);
        writer.WriteSignedBits(dy, bits);
    } else if (dx == 0) {
        writer.WriteBits(0, 1);
        writer.WriteBits(1, 1); // vertical
        writer.WriteSignedBits(dy, bits);
    } else {
        writer.WriteBits(0, 1);
        writer.WriteBits(0, 1); // horizontal
        writer.WriteSignedBits(dx, bits);
    }
}

void CShape::WriteCurvedEdge(CBitWriter& writer, Point from, Point control, Point anchor)
{
    std::int32_t cdx = control.x - from.x;
    std::int32_t cdy = control.y - from.y;
    std::int32_t adx = anchor.x - control.x;
    std::int32_t ady = anchor.y - control.y;
    int bits = std::max({ 2, CBitWriter::SignedBitsFor(cdx), CBitWriter::SignedBitsFor(cdy),
        CBitWriter::SignedBitsFor(adx), CBitWriter::SignedBitsFor(ady) });
    if (bits > 17) {
        // Split in the middle (de Casteljau) until each half fits one record.
        Point first { (from.x + control.x) / 2, (from.y + control.y) / 2 };
        Point second { (control.x + anchor.x) / 2, (control.y + anchor.y) / 2 };
        Point middle { (first.x + second.x) / 2, (first.y + second.y) / 2 };
        WriteCurvedEdge(writer, from, first, middle);
        WriteCurvedEdge(writer, middle, second, anchor);
        return;
    }
    writer.WriteBits(1, 1); // edge record
    writer.WriteBits(0, 1); // curved
    writer.WriteBits(std::uint32_t(bits - 2), 4);
    for (std::int32_t delta : { cdx, cdy, adx, ady })
        writer.WriteSignedBits(delta, bits);
}

void CShape::WriteShapeWithStyle(CBitWriter& writer) const
{
    writer.WriteByte(1); // one fill style: solid
    writer.WriteByte(0x00);
    writer.WriteByte(m_fill.red);
    writer.WriteByte(m_fill.green);
    writer.WriteByte(m_fill.blue);
    writer.WriteByte(0); // no line styles
    writer.WriteBits(1, 4); // fill index bits
    writer.WriteBits(0, 4); // line index bits

    Point pen {};
    bool styled = false;
    for (const Edge& edge : m_edges) {
        if (edge.moveTo) {
            writer.WriteBits(0, 1); // style change record
            writer.WriteBits(0, 1); // new styles
            writer.WriteBits(0, 1); // line style
            writer.WriteBits(!styled, 1); // fill style 1
            writer.WriteBits(0, 1); // fill style 0
            writer.WriteBits(1, 1); // move to
            int bits = std::max(
                CBitWriter::SignedBitsFor(edge.anchor.x), CBitWriter::SignedBitsFor(edge.anchor.y));
            writer.WriteBits(std::uint32_t(bits), 5);
            writer.WriteSignedBits(edge.anchor.x, bits);
            writer.WriteSignedBits(edge.anchor.y, bits);
            if (!styled)
                writer.WriteBits(1, 1);
            styled = true;
        } else if (edge.curved) {
            WriteCurvedEdge(writer, pen, edge.control, edge.anchor);
        } else {
            WriteStraightEdge(writer, edge.anchor.x - pen.x, edge.anchor.y - pen.y);
        }
        pen = edge.anchor;
    }
    writer.WriteBits(0, 6); // end of shape
    writer.Align();
}
