// Where the grid's cells lie: the title row, the indicator column, the shown data
// columns and the data rows, each followed by its 1-pixel line. A plain value that
// painting, mouse and keyboard code all ask, so that they never disagree.
#pragma once

#include <QList>
#include <QRect>
#include <QSize>

class GridGeometry
{
public:
    static constexpr int IndicatorWidth = 11;
    static constexpr int LineWidth = 1;
    static constexpr int TitleRow = -1;        // row index of the title row
    static constexpr int IndicatorColumn = -1; // column index of the indicator column
    static constexpr int NoCell = -2;          // outside every cell

    // A shown column: its index in the grid's column list and its width.
    struct Span
    {
        int column = 0;
        int width = 0;
    };

    GridGeometry() = default;
    GridGeometry(int titleHeight, int rowHeight, QList<Span> columns, QSize client);

    int titleHeight() const { return m_titleHeight; }
    int rowHeight() const { return m_rowHeight; }
    QSize clientSize() const { return m_client; }

    // Data rows that fit below the title row; a row fits even when its trailing
    // line falls outside.
    int rowsThatFit() const;
    // Width of the indicator column, all shown columns and the lines between them.
    int contentWidth() const;

    // Sideways offset of the data columns (the indicator column stays in place).
    void setHorizontalOffset(int offset) { m_offset = offset; }
    int horizontalOffset() const { return m_offset; }
    // Data rows that hold cells (records shown, or the one empty row).
    void setShownRows(int rows) { m_shownRows = rows; }
    int shownRows() const { return m_shownRows; }

    // A cell owns its trailing line: a point on a line belongs to the cell before it.
    int rowAt(int y) const;    // TitleRow, 0..shownRows-1, or NoCell
    int columnAt(int x) const; // IndicatorColumn, a shown column's index, or NoCell
    // The cell without its line; an empty rectangle for a hidden or unknown column.
    QRect cellRect(int column, int row) const;
    int rowTop(int row) const;
    int columnLeft(int column) const; // NoCell when the column is not shown

    const QList<Span> &columns() const { return m_columns; }
    int firstColumn() const; // first shown column, NoCell when none
    int lastColumn() const;

private:
    int m_titleHeight = 0;
    int m_rowHeight = 0;
    QList<Span> m_columns;
    QSize m_client;
    int m_offset = 0;
    int m_shownRows = 0;
};
