#include "GridPainter.h"

#include <QFontMetrics>
#include <QPainter>

namespace {
constexpr int TextTop = 2;    // text top below the cell's top edge
constexpr int LeftInset = 2;  // left-aligned text starts here
constexpr int RightInset = 3; // right-aligned text ends this far from the right edge
// Black pixels per row of the current-record mark, from its left edge.
constexpr int MarkRowWidths[GridPainter::MarkHeight] = {1, 2, 3, 4, 5, 6, 5, 4, 3, 2, 1};

// Half of a signed value, rounded down (a text wider than its cell overhangs both sides).
int floorHalf(int value)
{
    return value >= 0 ? value / 2 : -((1 - value) / 2);
}
} // namespace

GridPainter::GridPainter(QPainter &painter, const QPalette &palette, const QFont &cellFont,
                         const QFont &titleFont)
    : m_painter(painter), m_palette(palette), m_cellFont(cellFont), m_titleFont(titleFont)
{
}

void GridPainter::raisedEdge(const QRect &cell)
{
    const int left = cell.x();
    const int top = cell.y();
    const int right = cell.x() + cell.width() - 1;
    const int bottom = cell.y() + cell.height() - 1;
    m_painter.fillRect(QRect(left, top, cell.width(), 1), m_palette.color(QPalette::Light));
    m_painter.fillRect(QRect(left, top, 1, cell.height()), m_palette.color(QPalette::Light));
    m_painter.fillRect(QRect(left, bottom, cell.width(), 1), m_palette.color(QPalette::Dark));
    m_painter.fillRect(QRect(right, top, 1, cell.height()), m_palette.color(QPalette::Dark));
}

void GridPainter::titleCell(const QRect &cell, const QString &caption, const QColor &fill)
{
    const QRect inner = cell.adjusted(1, 1, -1, -1);
    m_painter.fillRect(inner, fill);
    raisedEdge(cell);
    // The caption starts 1 pixel in from the shrunken cell's left and top edges.
    clippedText(inner, QPoint(inner.x() + 1, inner.y() + 1), caption, m_titleFont,
                m_palette.color(QPalette::WindowText));
}

void GridPainter::indicatorCell(const QRect &cell, bool withMark)
{
    m_painter.fillRect(cell.adjusted(1, 1, -1, -1), m_palette.color(QPalette::Button));
    raisedEdge(cell);
    if (withMark)
        mark(cell);
}

QRect GridPainter::markRect(const QRect &cell)
{
    const QRect inner = cell.adjusted(1, 1, -1, -1);
    const int innerRight = inner.x() + inner.width(); // exclusive right edge
    const int cellBottom = cell.y() + cell.height();  // exclusive bottom edge
    const int top = (cell.y() + cellBottom - MarkHeight) / 2;
    return QRect(innerRight - 1 - MarkWidth, top, MarkWidth, MarkHeight);
}

void GridPainter::mark(const QRect &cell)
{
    const QRect area = markRect(cell);
    m_painter.save();
    m_painter.setClipRect(cell.adjusted(1, 1, -1, -1));
    for (int row = 0; row < MarkHeight; ++row)
        m_painter.fillRect(QRect(area.x(), area.y() + row, MarkRowWidths[row], 1), Qt::black);
    m_painter.restore();
}

void GridPainter::dataCell(const QRect &cell, const QString &text, Qt::Alignment alignment,
                           bool selected)
{
    const QPalette::ColorRole fillRole = selected ? QPalette::Highlight : QPalette::Base;
    const QPalette::ColorRole textRole = selected ? QPalette::HighlightedText : QPalette::Text;
    m_painter.fillRect(cell, m_palette.color(fillRole));
    const int textWidth = QFontMetrics(m_cellFont).horizontalAdvance(text);
    int x = cell.x() + LeftInset;
    if (alignment & Qt::AlignRight)
        x = cell.x() + cell.width() - RightInset - textWidth;
    else if (alignment & Qt::AlignHCenter)
        x = cell.x() + floorHalf(cell.width() - textWidth);
    clippedText(cell, QPoint(x, cell.y() + TextTop), text, m_cellFont, m_palette.color(textRole));
}

void GridPainter::clippedText(const QRect &clip, const QPoint &topLeft, const QString &text,
                              const QFont &font, const QColor &color)
{
    if (text.isEmpty())
        return;
    m_painter.save();
    m_painter.setClipRect(clip, Qt::IntersectClip);
    m_painter.setFont(font);
    m_painter.setPen(color);
    m_painter.drawText(QPoint(topLeft.x(), topLeft.y() + QFontMetrics(font).ascent()), text);
    m_painter.restore();
}

void GridPainter::cellLines(const QRect &cell, bool fixedCell)
{
    const QColor color = fixedCell ? m_palette.color(QPalette::Shadow) : dataLineColor();
    const int right = cell.x() + cell.width();
    const int bottom = cell.y() + cell.height();
    m_painter.fillRect(QRect(right, cell.y(), 1, cell.height() + 1), color);
    m_painter.fillRect(QRect(cell.x(), bottom, cell.width() + 1, 1), color);
}
