// One column of DBGrid1: built once per field when the table opens, addressed by its
// index (the field's ordinal) for the life of the grid.
#pragma once

#include <QColor>
#include <QPalette>
#include <QString>
#include <Qt>

class DataGrid;
class Field;

class GridColumn
{
public:
    GridColumn(DataGrid *grid, Field *field, int index);

    Field *field() const { return m_field; }
    int index() const { return m_index; }
    QString caption() const; // the field's display label

    bool isVisible() const { return m_visible; }
    void setVisible(bool visible); // a hidden column keeps its index

    // The default width, measured from the grid's fonts whenever asked:
    // "0" times the field's display width + 4, at least the caption's width + 4.
    int width() const;

    Qt::Alignment alignment() const;            // the field's alignment
    void setAlignment(Qt::Alignment alignment); // sets the field's alignment

    QColor titleColor() const; // resolved against the grid's palette
    void setTitleColor(const QColor &rgb);
    void setTitleColorRole(QPalette::ColorRole role);
    bool titleColorIsRole() const { return m_titleIsRole; }

private:
    friend class DataGrid;
    // The fields live while the table is open; the grid unbinds them when it closes
    // and binds the new ones if it opens again, keeping the column's own attributes.
    void bindField(Field *field) { m_field = field; }

    DataGrid *m_grid;
    Field *m_field;
    int m_index;
    bool m_visible = true;
    bool m_titleIsRole = true;
    QPalette::ColorRole m_titleRole = QPalette::Button;
    QColor m_titleRgb;
};
