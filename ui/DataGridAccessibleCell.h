// One cell of DBGrid1 for assistive technology: a title (row -1) or a data cell,
// named by its text. It reads the grid afresh on every question, so a cell stays
// right while the records under it change.
#pragma once

#include <QAccessibleInterface>
#include <QPointer>

class DataGrid;

class DataGridAccessibleCell : public QAccessibleInterface, public QAccessibleTableCellInterface
{
public:
    DataGridAccessibleCell(DataGrid *grid, int row, int gridColumn);

    // QAccessibleInterface
    bool isValid() const override;
    QObject *object() const override { return nullptr; }
    QWindow *window() const override;
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override;
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    // QAccessibleTableCellInterface
    bool isSelected() const override;
    QList<QAccessibleInterface *> columnHeaderCells() const override;
    QList<QAccessibleInterface *> rowHeaderCells() const override { return {}; }
    int columnIndex() const override;
    int rowIndex() const override { return m_row; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface *table() const override { return parent(); }

    int gridColumn() const { return m_gridColumn; }

private:
    bool isCurrent() const;

    QPointer<DataGrid> m_grid;
    int m_row;
    int m_gridColumn;
};
