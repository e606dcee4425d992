// What assistive technology sees of DBGrid1: a table whose columns are the shown
// columns (described by their titles) and whose rows are the shown records; the
// current record's cell in the current column is the focused cell.
#pragma once

#include <QAccessibleWidget>
#include <QHash>

class DataGrid;

class DataGridAccessible : public QAccessibleWidget, public QAccessibleTableInterface
{
public:
    explicit DataGridAccessible(DataGrid *grid);
    ~DataGridAccessible() override;

    // Registers the factory that hands this interface out for every DataGrid.
    static void install();
    // Child index of the focused cell, -1 when the grid shows no cell.
    static int currentCellChild(const DataGrid *grid);
    // Tells assistive technology that the focus is on the current cell.
    static void announceCurrentCell(DataGrid *grid);

    DataGrid *grid() const;

    // QAccessibleInterface
    QAccessible::Role role() const override { return QAccessible::Table; }
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *focusChild() const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    // QAccessibleTableInterface; row -1 addresses the title row.
    QAccessibleInterface *caption() const override { return nullptr; }
    QAccessibleInterface *summary() const override { return nullptr; }
    QAccessibleInterface *cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface *> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int row) const override;
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override;
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override;
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override;
    // The selection is the current record: the grid moves it, not the reader.
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent *) override {}

    // Grid column index of a shown column position, -1 when out of range.
    int gridColumnAt(int position) const;
    int positionOfGridColumn(int gridColumn) const;

private:
    mutable QHash<qint64, QAccessible::Id> m_cells; // cell interfaces by (row, column)
};
