// Paints the grid's cells: raised title and indicator cells, data cells with their
// inset text, the current-record mark and the 1-pixel lines after each cell.
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QRect>
#include <QString>
#include <Qt>

class QPainter;

class GridPainter
{
public:
    // Height and width of the current-record mark, a triangle pointing right.
    static constexpr int MarkHeight = 11;
    static constexpr int MarkWidth = 6;

    GridPainter(QPainter &painter, const QPalette &palette, const QFont &cellFont,
                const QFont &titleFont);

    // Lines between data cells.
    static QColor dataLineColor() { return QColor(192, 192, 192); }

    void titleCell(const QRect &cell, const QString &caption, const QColor &fill);
    void indicatorCell(const QRect &cell, bool withMark);
    void dataCell(const QRect &cell, const QString &text, Qt::Alignment alignment, bool selected);
    // The line to the right of and below a cell; fixed cells use the dark edge colour.
    void cellLines(const QRect &cell, bool fixedCell);

    // The mark's rectangle inside an indicator cell.
    static QRect markRect(const QRect &cell);

private:
    void raisedEdge(const QRect &cell);
    void mark(const QRect &cell);
    // Text whose top-left corner is at topLeft, clipped to the cell.
    void clippedText(const QRect &clip, const QPoint &topLeft, const QString &text,
                     const QFont &font, const QColor &color);

    QPainter &m_painter;
    const QPalette &m_palette;
    QFont m_cellFont;
    QFont m_titleFont;
};
