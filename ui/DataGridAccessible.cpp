#include "DataGridAccessible.h"

#include "DataGrid.h"
#include "DataGridAccessibleCell.h"

namespace {
QAccessibleInterface *gridInterfaceFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("DataGrid") && object && object->isWidgetType())
        return new DataGridAccessible(static_cast<DataGrid *>(object));
    return nullptr;
}

qint64 cellKey(int row, int gridColumn)
{
    return (static_cast<qint64>(row + 1) << 32) | static_cast<quint32>(gridColumn);
}
} // namespace

DataGridAccessible::DataGridAccessible(DataGrid *grid) : QAccessibleWidget(grid, QAccessible::Table)
{
}

DataGridAccessible::~DataGridAccessible()
{
    for (QAccessible::Id id : std::as_const(m_cells))
        QAccessible::deleteAccessibleInterface(id);
}

void DataGridAccessible::install()
{
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(gridInterfaceFactory);
        installed = true;
    }
}

DataGrid *DataGridAccessible::grid() const
{
    return static_cast<DataGrid *>(widget());
}

int DataGridAccessible::gridColumnAt(int position) const
{
    const QList<GridGeometry::Span> spans = grid()->gridGeometry().columns();
    return position >= 0 && position < spans.size() ? spans[position].column : -1;
}

int DataGridAccessible::positionOfGridColumn(int gridColumn) const
{
    const QList<GridGeometry::Span> spans = grid()->gridGeometry().columns();
    for (int i = 0; i < spans.size(); ++i)
        if (spans[i].column == gridColumn)
            return i;
    return -1;
}

int DataGridAccessible::currentCellChild(const DataGrid *grid)
{
    const QList<GridGeometry::Span> spans = grid->gridGeometry().columns();
    int position = -1;
    for (int i = 0; i < spans.size(); ++i)
        if (spans[i].column == grid->currentColumn())
            position = i;
    if (position < 0 || grid->shownRowCount() == 0)
        return -1;
    return (grid->currentRow() + 1) * static_cast<int>(spans.size()) + position;
}

void DataGridAccessible::announceCurrentCell(DataGrid *grid)
{
    const int child = currentCellChild(grid);
    if (child < 0)
        return;
    QAccessibleEvent focusEvent(grid, QAccessible::Focus);
    focusEvent.setChild(child);
    QAccessible::updateAccessibility(&focusEvent);
}

int DataGridAccessible::columnCount() const
{
    return static_cast<int>(grid()->gridGeometry().columns().size());
}

int DataGridAccessible::rowCount() const
{
    return grid()->shownRowCount();
}

int DataGridAccessible::childCount() const
{
    return (rowCount() + 1) * columnCount(); // the title row, then the data rows
}

QAccessibleInterface *DataGridAccessible::child(int index) const
{
    const int columns = columnCount();
    if (index < 0 || columns == 0 || index >= childCount())
        return nullptr;
    return cellAt(index / columns - 1, index % columns);
}

QAccessibleInterface *DataGridAccessible::cellAt(int row, int column) const
{
    const int gridColumn = gridColumnAt(column);
    if (gridColumn < 0 || row < GridGeometry::TitleRow || row >= rowCount())
        return nullptr;
    const qint64 key = cellKey(row, gridColumn);
    if (const auto found = m_cells.constFind(key); found != m_cells.cend())
        return QAccessible::accessibleInterface(found.value());
    auto *cell = new DataGridAccessibleCell(grid(), row, gridColumn);
    m_cells.insert(key, QAccessible::registerAccessibleInterface(cell));
    return cell;
}

int DataGridAccessible::indexOfChild(const QAccessibleInterface *childInterface) const
{
    auto *cell = dynamic_cast<const DataGridAccessibleCell *>(childInterface);
    if (!cell || !cell->isValid())
        return -1;
    const int position = positionOfGridColumn(cell->gridColumn());
    if (position < 0 || cell->rowIndex() >= rowCount())
        return -1;
    return (cell->rowIndex() + 1) * columnCount() + position;
}

QAccessibleInterface *DataGridAccessible::childAt(int x, int y) const
{
    const QPoint local = grid()->viewport()->mapFromGlobal(QPoint(x, y));
    const GridGeometry geometry = grid()->gridGeometry();
    const int row = geometry.rowAt(local.y());
    const int gridColumn = geometry.columnAt(local.x());
    if (row == GridGeometry::NoCell || gridColumn < 0)
        return nullptr;
    return cellAt(row, positionOfGridColumn(gridColumn));
}

QAccessibleInterface *DataGridAccessible::focusChild() const
{
    if (!grid()->hasFocus())
        return nullptr;
    return child(currentCellChild(grid()));
}

void *DataGridAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

int DataGridAccessible::selectedCellCount() const
{
    return selectedRowCount() * columnCount();
}

QList<QAccessibleInterface *> DataGridAccessible::selectedCells() const
{
    QList<QAccessibleInterface *> cells;
    if (selectedRowCount() == 0)
        return cells;
    for (int column = 0; column < columnCount(); ++column)
        cells.append(cellAt(grid()->currentRow(), column));
    return cells;
}

QString DataGridAccessible::columnDescription(int column) const
{
    const int gridColumn = gridColumnAt(column);
    return gridColumn < 0 ? QString() : grid()->column(gridColumn).caption();
}

QString DataGridAccessible::rowDescription(int row) const
{
    return row >= 0 && row < rowCount() ? QString::number(row + 1) : QString();
}

int DataGridAccessible::selectedRowCount() const
{
    return grid()->hasCursorRecords() ? 1 : 0;
}

QList<int> DataGridAccessible::selectedRows() const
{
    return selectedRowCount() ? QList<int>{grid()->currentRow()} : QList<int>{};
}

bool DataGridAccessible::isRowSelected(int row) const
{
    return selectedRowCount() && row == grid()->currentRow();
}
