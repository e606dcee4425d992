// Cell geometry of the grid: which cell a point falls in, where a cell lies, and how
// many data rows fit, for a grid with 17-pixel rows and two shown columns.
#include "GridGeometry.h"

#include <QtTest>

class tst_GridGeometry : public QObject
{
    Q_OBJECT

private:
    // Indicator 0..10, line 11; column 0: 12..61, line 62; column 3: 63..92, line 93.
    static GridGeometry sample(int shownRows = 5, int offset = 0)
    {
        GridGeometry geometry(17, 17, {{0, 50}, {3, 30}}, QSize(200, 161));
        geometry.setShownRows(shownRows);
        geometry.setHorizontalOffset(offset);
        return geometry;
    }

private slots:
    void rowsThatFit_data();
    void rowsThatFit();
    void rowAt_data();
    void rowAt();
    void columnAt_data();
    void columnAt();
    void cellRectMatchesHitTesting();
    void hiddenColumnHasNoCell();
    void contentWidthCountsLines();
};

void tst_GridGeometry::rowsThatFit_data()
{
    QTest::addColumn<int>("clientHeight");
    QTest::addColumn<int>("rows");
    QTest::newRow("165-pixel grid, 2-pixel frame") << 161 << 8;
    QTest::newRow("ninth row fits without its line") << 179 << 9;
    QTest::newRow("ninth row one pixel short") << 178 << 8;
    QTest::newRow("title row only") << 17 << 0;
    QTest::newRow("one row, no trailing line") << 35 << 1;
    QTest::newRow("smaller than the title") << 5 << 0;
}

void tst_GridGeometry::rowsThatFit()
{
    QFETCH(int, clientHeight);
    QFETCH(int, rows);
    const GridGeometry geometry(17, 17, {}, QSize(100, clientHeight));
    QCOMPARE(geometry.rowsThatFit(), rows);
}

void tst_GridGeometry::rowAt_data()
{
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("row");
    QTest::newRow("title top") << 0 << int(GridGeometry::TitleRow);
    QTest::newRow("title line") << 17 << int(GridGeometry::TitleRow);
    QTest::newRow("first row top") << 18 << 0;
    QTest::newRow("first row line") << 35 << 0;
    QTest::newRow("second row") << 36 << 1;
    QTest::newRow("last shown row") << 18 + 4 * 18 + 5 << 4;
    QTest::newRow("below the shown rows") << 18 + 5 * 18 << int(GridGeometry::NoCell);
    QTest::newRow("above") << -1 << int(GridGeometry::NoCell);
}

void tst_GridGeometry::rowAt()
{
    QFETCH(int, y);
    QFETCH(int, row);
    QCOMPARE(sample().rowAt(y), row);
}

void tst_GridGeometry::columnAt_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("column");
    QTest::newRow("indicator") << 0 << 0 << int(GridGeometry::IndicatorColumn);
    QTest::newRow("indicator line") << 0 << 11 << int(GridGeometry::IndicatorColumn);
    QTest::newRow("first column") << 0 << 12 << 0;
    QTest::newRow("first column line") << 0 << 62 << 0;
    QTest::newRow("second shown column") << 0 << 63 << 3;
    QTest::newRow("right of the last column") << 0 << 94 << int(GridGeometry::NoCell);
    QTest::newRow("left of the grid") << 0 << -3 << int(GridGeometry::NoCell);
    QTest::newRow("scrolled: indicator stays") << 40 << 5 << int(GridGeometry::IndicatorColumn);
    QTest::newRow("scrolled: column under the indicator edge") << 40 << 12 << 0;
    QTest::newRow("scrolled: second column moved left") << 40 << 23 << 3;
}

void tst_GridGeometry::columnAt()
{
    QFETCH(int, offset);
    QFETCH(int, x);
    QFETCH(int, column);
    QCOMPARE(sample(5, offset).columnAt(x), column);
}

void tst_GridGeometry::cellRectMatchesHitTesting()
{
    const GridGeometry geometry = sample();
    for (int row = GridGeometry::TitleRow; row < geometry.shownRows(); ++row) {
        for (int column : {int(GridGeometry::IndicatorColumn), 0, 3}) {
            const QRect cell = geometry.cellRect(column, row);
            QVERIFY(!cell.isEmpty());
            // Every pixel corner of the cell and its trailing line maps back to it.
            for (const QPoint &p : {cell.topLeft(), cell.bottomRight() + QPoint(1, 1)}) {
                QCOMPARE(geometry.rowAt(p.y()), row);
                QCOMPARE(geometry.columnAt(p.x()), column);
            }
        }
    }
    QCOMPARE(geometry.cellRect(3, 2), QRect(63, 18 + 2 * 18, 30, 17));
}

void tst_GridGeometry::hiddenColumnHasNoCell()
{
    const GridGeometry geometry = sample();
    QVERIFY(geometry.cellRect(1, 0).isEmpty());
    QCOMPARE(geometry.columnLeft(1), int(GridGeometry::NoCell));
    QCOMPARE(geometry.firstColumn(), 0);
    QCOMPARE(geometry.lastColumn(), 3);
}

// The shown widths + 11 + one line per column: the last column's trailing line
// is not needed for the columns to fit.
void tst_GridGeometry::contentWidthCountsLines()
{
    QCOMPARE(sample().contentWidth(), 11 + 1 + 50 + 1 + 30);
}

QTEST_APPLESS_MAIN(tst_GridGeometry)
#include "tst_GridGeometry.moc"
