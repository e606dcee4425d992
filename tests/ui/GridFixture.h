// A grid on a ready municipality table, inside a small window with one more control
// that can hold the focus. The grid uses DejaVu Sans at 11 pixels, the font whose
// "Wg" is 13 pixels high like the window's design font.
#pragma once

#include "DataGrid.h"
#include "DataSource.h"
#include "FakeMunicipalities.h"
#include "TableCursor.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QScrollBar>
#include <QtTest>

#include <initializer_list>

class GridFixture
{
public:
    static constexpr int HiddenColumns[] = {1, 4, 5, 6, 11, 12, 13};

    explicit GridFixture(int records = 30, int height = 165, bool hideLikeWindow = true)
        : table(records)
    {
        window.resize(800, 400);
        grid = new DataGrid(&window);
        grid->setObjectName(QStringLiteral("DBGrid1"));
        other = new QLineEdit(&window);
        other->setGeometry(0, 360, 100, 24);
        grid->setFont(gridFont());
        source.setDataSet(table.table.get());
        grid->setDataSource(&source);
        if (hideLikeWindow) {
            for (int column : HiddenColumns)
                grid->column(column).setVisible(false);
        }
        grid->setGeometry(0, 0, 700, height);
    }

    static QFont gridFont()
    {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(11);
        return font;
    }

    // Shows the window and gives the grid the focus.
    bool showWithFocus()
    {
        window.show();
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window))
            return false;
        grid->setFocus();
        return grid->hasFocus();
    }

    TableCursor &cursor() { return *table.table; }
    int place() const { return table.table->placeInOrder(); }

    // The cursor on the record at a place of the order, on the given grid row.
    void placeOn(int place, int row)
    {
        cursor().goToFirst();
        const int bottomFirst = place + (grid->rowCount() - 1 - row);
        cursor().stepBy(bottomFirst);
        cursor().stepBy(place - bottomFirst);
    }

    QRect cell(int column, int row) const { return grid->gridGeometry().cellRect(column, row); }
    // A point inside a cell, clear of its edges.
    QPoint inCell(int column, int row) const { return cell(column, row).center(); }
    QWidget *viewport() const { return grid->viewport(); }

    fake::FakeMunicipalities table;
    QWidget window;
    DataSource source;
    DataGrid *grid = nullptr;
    QLineEdit *other = nullptr;
};
