#include "DataGridAccessibleCell.h"

#include "DataGrid.h"
#include "DataGridAccessible.h"
#include "ErrorBoundary.h"

#include <QWidget>

DataGridAccessibleCell::DataGridAccessibleCell(DataGrid *grid, int row, int gridColumn)
    : m_grid(grid), m_row(row), m_gridColumn(gridColumn)
{
}

bool DataGridAccessibleCell::isValid() const
{
    return m_grid && m_gridColumn >= 0 && m_gridColumn < m_grid->columnCount();
}

QWindow *DataGridAccessibleCell::window() const
{
    return m_grid ? m_grid->window()->windowHandle() : nullptr;
}

QAccessibleInterface *DataGridAccessibleCell::parent() const
{
    return m_grid ? QAccessible::queryAccessibleInterface(m_grid.data()) : nullptr;
}

// Asked by Qt's accessibility code: a cell that cannot be read has no text.
QString DataGridAccessibleCell::text(QAccessible::Text t) const
{
    if (!isValid() || t != QAccessible::Name)
        return {};
    return ErrorBoundary::run(QString(), [this] {
        if (m_row == GridGeometry::TitleRow)
            return m_grid->column(m_gridColumn).caption();
        return m_grid->cellText(m_gridColumn, m_row);
    });
}

QRect DataGridAccessibleCell::rect() const
{
    if (!isValid())
        return {};
    const QRect cell = m_grid->gridGeometry().cellRect(m_gridColumn, m_row);
    if (cell.isEmpty())
        return {};
    return QRect(m_grid->viewport()->mapToGlobal(cell.topLeft()), cell.size());
}

QAccessible::Role DataGridAccessibleCell::role() const
{
    return m_row == GridGeometry::TitleRow ? QAccessible::ColumnHeader : QAccessible::Cell;
}

bool DataGridAccessibleCell::isCurrent() const
{
    return isValid() && m_row >= 0 && m_row == m_grid->currentRow() &&
           m_gridColumn == m_grid->currentColumn();
}

QAccessible::State DataGridAccessibleCell::state() const
{
    QAccessible::State st;
    st.readOnly = true;
    if (!isValid()) {
        st.invalid = true;
        return st;
    }
    if (m_row >= 0) {
        st.focusable = true;
        st.selectable = true;
        st.selected = isSelected();
        st.focused = isCurrent() && m_grid->hasFocus();
    }
    st.invisible = !m_grid->column(m_gridColumn).isVisible();
    return st;
}

void *DataGridAccessibleCell::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TableCellInterface)
        return static_cast<QAccessibleTableCellInterface *>(this);
    return nullptr;
}

bool DataGridAccessibleCell::isSelected() const
{
    return isValid() && m_row >= 0 && m_row == m_grid->currentRow() && m_grid->hasCursorRecords();
}

QList<QAccessibleInterface *> DataGridAccessibleCell::columnHeaderCells() const
{
    QAccessibleInterface *tableInterface = parent();
    if (!tableInterface || m_row == GridGeometry::TitleRow)
        return {};
    auto *gridInterface = dynamic_cast<DataGridAccessible *>(tableInterface);
    if (!gridInterface)
        return {};
    QAccessibleInterface *header = gridInterface->cellAt(GridGeometry::TitleRow, columnIndex());
    return header ? QList<QAccessibleInterface *>{header} : QList<QAccessibleInterface *>{};
}

int DataGridAccessibleCell::columnIndex() const
{
    QAccessibleInterface *tableInterface = parent();
    if (!tableInterface)
        return -1;
    auto *gridInterface = dynamic_cast<DataGridAccessible *>(tableInterface);
    return gridInterface ? gridInterface->positionOfGridColumn(m_gridColumn) : -1;
}
