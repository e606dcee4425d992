#include "GridGeometry.h"

#include <utility>

GridGeometry::GridGeometry(int titleHeight, int rowHeight, QList<Span> columns, QSize client)
    : m_titleHeight(titleHeight), m_rowHeight(rowHeight), m_columns(std::move(columns)),
      m_client(client)
{
}

int GridGeometry::rowsThatFit() const
{
    const int pitch = m_rowHeight + LineWidth;
    if (pitch <= 0)
        return 0;
    const int below = m_client.height() - m_titleHeight;
    return below > 0 ? below / pitch : 0;
}

// The last column's trailing line may fall outside, as a row's may below.
int GridGeometry::contentWidth() const
{
    int width = IndicatorWidth;
    for (const Span &span : m_columns)
        width += LineWidth + span.width;
    return width;
}

int GridGeometry::rowTop(int row) const
{
    if (row == TitleRow)
        return 0;
    return m_titleHeight + LineWidth + row * (m_rowHeight + LineWidth);
}

int GridGeometry::columnLeft(int column) const
{
    if (column == IndicatorColumn)
        return 0;
    int left = IndicatorWidth + LineWidth - m_offset;
    for (const Span &span : m_columns) {
        if (span.column == column)
            return left;
        left += span.width + LineWidth;
    }
    return NoCell;
}

int GridGeometry::rowAt(int y) const
{
    if (y < 0 || y >= m_client.height())
        return NoCell;
    if (y < m_titleHeight + LineWidth)
        return TitleRow;
    const int row = (y - m_titleHeight - LineWidth) / (m_rowHeight + LineWidth);
    return row < m_shownRows ? row : NoCell;
}

int GridGeometry::columnAt(int x) const
{
    if (x < 0 || x >= m_client.width())
        return NoCell;
    if (x < IndicatorWidth + LineWidth)
        return IndicatorColumn;
    int left = IndicatorWidth + LineWidth - m_offset;
    for (const Span &span : m_columns) {
        const int right = left + span.width + LineWidth;
        if (x >= left && x < right)
            return span.column;
        left = right;
    }
    return NoCell;
}

QRect GridGeometry::cellRect(int column, int row) const
{
    const int left = columnLeft(column);
    if (left == NoCell)
        return {};
    int width = IndicatorWidth;
    if (column != IndicatorColumn) {
        for (const Span &span : m_columns)
            if (span.column == column)
                width = span.width;
    }
    const int height = row == TitleRow ? m_titleHeight : m_rowHeight;
    return QRect(left, rowTop(row), width, height);
}

int GridGeometry::firstColumn() const
{
    return m_columns.isEmpty() ? NoCell : m_columns.first().column;
}

int GridGeometry::lastColumn() const
{
    return m_columns.isEmpty() ? NoCell : m_columns.last().column;
}
