// DBGrid1: the custom-painted data grid over Table1 (through DataSource1).
#pragma once

#include "TableCursor.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QPalette>

class DataSource;
class Field;

// One grid column: built once per field when the table opens, addressed by index.
class GridColumn
{
public:
    Field *field() const { return m_field; }
    bool isVisible() const { return m_visible; }
    int width() const; // default width, measured from the fonts whenever asked
    Qt::Alignment alignment() const;          // the field's alignment
    void setAlignment(Qt::Alignment alignment); // sets the field's alignment
    QColor titleColor() const;                // resolved for painting
    void setTitleColor(const QColor &rgb);    // an RGB colour
    void setTitleColorRole(QPalette::ColorRole role); // a system colour (button face)

    // ... the grid's implementation adds what it needs below.
private:
    friend class DataGrid;
    class DataGrid *m_grid = nullptr;
    Field *m_field = nullptr;
    bool m_visible = true;
    bool m_titleIsRole = true;
    QPalette::ColorRole m_titleRole = QPalette::Button;
    QColor m_titleRgb;
};
