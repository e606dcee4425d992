// DBGrid1: the custom-painted, read-only data grid over Table1 (through DataSource1).
// It shows one row per record of the cursor's record window and one column per
// field, keeps its selected row on the current record and moves the cursor on mouse
// presses, keys, the wheel and its own record scroll bar.
#pragma once

#include "DataSource.h"
#include "GridColumn.h"
#include "GridGeometry.h"
#include "GridMove.h"
#include "TableCursor.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QPalette>
#include <QPointer>

#include <vector>

class Field;
class GridPainter;

class DataGrid : public QAbstractScrollArea, public CursorView
{
    Q_OBJECT

public:
    // The grid's own record scroll bar runs from 0 to this value.
    static constexpr int RecordBarMaximum = 4;

    explicit DataGrid(QWidget *parent = nullptr);
    ~DataGrid() override;

    // Links the grid to Table1; the columns are built when the table is (or
    // becomes) open, once, and never rebuilt.
    void setDataSource(DataSource *source);
    DataSource *dataSource() const { return m_source; }

    int columnCount() const { return static_cast<int>(m_columns.size()); }
    // An index the grid lacks raises EInvalidOperation naming it.
    GridColumn &column(int index);
    const GridColumn &column(int index) const;

    int rowCount() const;      // data rows that fit (the record window capacity)
    int shownRowCount() const; // data rows that hold a cell (records, or the one empty row)
    int currentRow() const;    // the current record's row, 0 when no record is held
    int currentColumn() const { return m_currentColumn; }

    QFont titleFont() const; // follows the grid's font until set
    void setTitleFont(const QFont &font);
    // Font measures, kept until the grid's or the title font changes: the layout asks
    // for them for every column on every resize, scroll and repaint.
    int digitWidth() const;                           // advance of '0' in the cell font
    int titleTextWidth(const QString &caption) const; // advance of a title text

    GridGeometry gridGeometry() const;
    // Display text of a shown cell (row from 0), empty for the empty row.
    QString cellText(int column, int row) const;
    bool hasCursorRecords() const;

    // CursorView
    int rowsWanted() const override { return rowCount(); }
    int firstShownRecord() const override { return m_firstShown; }

signals:
    void titleClick(int column);
    void cellClick(int column);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    friend class GridColumn;
    // Called by the columns when an attribute changes.
    void columnLayoutChanged();
    void columnContentChanged(int index);
    void titleChanged(int index);

    void linkCursor();
    void unlinkCursor();
    void onStateChanged();
    void buildColumns();
    void checkColumnIndex(int index) const;
    bool isCursorOpen() const;

    void followCursor(int shift, bool rebuilt);
    void keepCurrentInRows();
    void scrollRows(int rows);
    void updateRow(int row);
    void relayout();
    void updateHorizontalBar();
    void updateRecordBar();
    void announceCurrentCell();

    bool takeFocus();
    void pressAt(const QPoint &pos);
    void release(const QMouseEvent *event);
    GridMove::Rows moveRows() const;
    void apply(const GridMove &move);
    void stepBy(int n);
    void setCurrentColumn(int column);
    void onRecordBarAction(int action);
    void onRecordBarReleased();
    void recordBarMove(const GridMove &move);

    void paint(const QRect &exposed);
    void paintRow(GridPainter &painter, const GridGeometry &geometry, int row,
                  const QRect &exposed) const;

    QPointer<DataSource> m_source;
    QPointer<TableCursor> m_cursor;
    bool m_attached = false;
    std::vector<GridColumn> m_columns;
    int m_firstShown = 0; // window index of the record on the top row
    int m_markRow = -1;   // row where the current-record mark was last placed
    int m_currentColumn = 0;
    QFont m_titleFont;
    bool m_titleFontSet = false;
    struct FontMeasures
    {
        int digitWidth = -1; // -1: not measured yet
        int cellHeight = 0;
        int titleHeight = 0;
        QHash<QString, int> titleWidths;
    };
    const FontMeasures &fontMeasures() const;
    void forgetFontMeasures();
    mutable FontMeasures m_measures;
    bool m_pressAccepted = false;
    int m_wheelDelta = 0;
    int m_lastRowCount = -1;
};
