// The grid's own vertical scroll bar, 17 pixels wide whatever the style's scroll bar
// extent: the window lays its record scroll bar (17 wide) over the grid's right edge,
// where it covers this bar exactly and no pixel of the last column.
#pragma once

#include <QScrollBar>

class GridScrollBar : public QScrollBar
{
public:
    static constexpr int Width = 17;

    explicit GridScrollBar(QWidget *parent = nullptr) : QScrollBar(Qt::Vertical, parent) {}

    QSize sizeHint() const override { return {Width, QScrollBar::sizeHint().height()}; }
};
