#include "GridColumn.h"

#include "DataGrid.h"
#include "Field.h"

#include <algorithm>

namespace {
constexpr int CellPadding = 4; // 2 pixels of inset on each side of a cell's text
}

GridColumn::GridColumn(DataGrid *grid, Field *field, int index)
    : m_grid(grid), m_field(field), m_index(index)
{
}

QString GridColumn::caption() const
{
    return m_field ? m_field->displayLabel() : QString();
}

void GridColumn::setVisible(bool visible)
{
    if (m_visible == visible)
        return;
    m_visible = visible;
    m_grid->columnLayoutChanged();
}

int GridColumn::width() const
{
    const int chars = m_field ? m_field->displayWidth() : 10;
    const int dataWidth = m_grid->digitWidth() * chars + CellPadding;
    const int titleWidth = m_grid->titleTextWidth(caption()) + CellPadding;
    return std::max(dataWidth, titleWidth);
}

Qt::Alignment GridColumn::alignment() const
{
    return m_field ? m_field->alignment() : Qt::AlignLeft;
}

void GridColumn::setAlignment(Qt::Alignment alignment)
{
    if (!m_field)
        return;
    m_field->setAlignment(alignment);
    m_grid->columnContentChanged(m_index);
}

QColor GridColumn::titleColor() const
{
    return m_titleIsRole ? m_grid->palette().color(m_titleRole) : m_titleRgb;
}

void GridColumn::setTitleColor(const QColor &rgb)
{
    m_titleIsRole = false;
    m_titleRgb = rgb;
    m_grid->titleChanged(m_index);
}

void GridColumn::setTitleColorRole(QPalette::ColorRole role)
{
    m_titleIsRole = true;
    m_titleRole = role;
    m_grid->titleChanged(m_index);
}
