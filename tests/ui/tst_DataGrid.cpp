// DBGrid1 as it is laid out, follows Table1, paints and answers assistive technology.
// Mouse, keyboard and record-bar moves are in tst_DataGridInput.
#include "DataGridAccessible.h"
#include "GridFixture.h"
#include "GridPainter.h"

#include <QAccessible>
#include <QScreen>
#include <QWindow>

class tst_DataGrid : public QObject
{
    Q_OBJECT

private slots:
    void columnsBuiltOncePerField();
    void columnWidths_data();
    void columnWidths();
    void columnWidthFollowsFont();
    void rowCount_data();
    void rowCount();
    void horizontalBarOnlyWhenColumnsDoNotFit();
    void shownColumnsFitInTheirWidthsPlus18();
    void currentRowAfterFirstAndLast();
    void currentRowWithFewRecords();
    void currentRowAfterCentredSearch_data();
    void currentRowAfterCentredSearch();
    void currentRowKeptOnOrderSwitch();
    void currentRowAfterWalkBack_data();
    void currentRowAfterWalkBack();
    void hiddenCurrentColumnMovesOn();
    void selectionColourOnlyWithFocus();
    void titleColour();
    void currentRecordMark();
    void silverLinesBetweenDataCells();
    void emptyTableShowsOneRowWithMark();
    void screenMatchesFullRepaintAfterScrolling();
    void accessibleTable();
    void accessibleFocusFollowsRecord();
};

void tst_DataGrid::columnsBuiltOncePerField()
{
    GridFixture f;
    QCOMPARE(f.grid->columnCount(), 14);
    QCOMPARE(f.grid->column(0).caption(), QStringLiteral("GEMEINDE"));
    QCOMPARE(f.grid->column(5).caption(), QStringLiteral("LÄNGE"));
    // A switch of the order keeps the columns with their attributes.
    f.grid->column(7).setAlignment(Qt::AlignRight);
    f.grid->column(0).setTitleColor(QColor(0, 255, 0));
    const GridColumn *before = &f.grid->column(0);
    f.cursor().setIndexName(QStringLiteral("BL"));
    QCOMPARE(&f.grid->column(0), before);
    QVERIFY(!f.grid->column(1).isVisible());
    QCOMPARE(f.grid->column(7).alignment(), Qt::Alignment(Qt::AlignRight));
    QCOMPARE(f.grid->column(0).titleColor(), QColor(0, 255, 0));
}

void tst_DataGrid::columnWidths_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("characters");
    QTest::newRow("GEMEINDE") << 0 << 30;
    QTest::newRow("BEZIRK") << 2 << 15;
    QTest::newRow("BL") << 3 << 2;
    QTest::newRow("MIN") << 7 << 5;
    QTest::newRow("MAX") << 8 << 5;
    QTest::newRow("JAHRESMITT") << 9 << 5;
    QTest::newRow("POTENTIAL") << 10 << 5;
    QTest::newRow("KLASSE, small integer") << 11 << 10;
    QTest::newRow("TEXT, memo") << 13 << 10;
}

void tst_DataGrid::columnWidths()
{
    QFETCH(int, column);
    QFETCH(int, characters);
    GridFixture f; // not shown: widths are measured before the grid is on screen
    const QFontMetrics cell(f.grid->font());
    const QFontMetrics title(f.grid->titleFont());
    const int data = cell.horizontalAdvance(QLatin1Char('0')) * characters + 4;
    const int caption = title.horizontalAdvance(f.grid->column(column).caption()) + 4;
    QCOMPARE(f.grid->column(column).width(), std::max(data, caption));
}

void tst_DataGrid::columnWidthFollowsFont()
{
    GridFixture f;
    const int before = f.grid->column(0).width();
    QFont bigger = GridFixture::gridFont();
    bigger.setPixelSize(22);
    f.grid->setFont(bigger);
    QCOMPARE(f.grid->column(0).width(),
             QFontMetrics(bigger).horizontalAdvance(QLatin1Char('0')) * 30 + 4);
    QVERIFY(f.grid->column(0).width() > before);
    // A title wider than its data sets the width: JAHRESMITT has 5 characters.
    QFont titleFont = GridFixture::gridFont();
    titleFont.setPixelSize(30);
    f.grid->setTitleFont(titleFont);
    QCOMPARE(f.grid->column(9).width(),
             QFontMetrics(titleFont).horizontalAdvance(QStringLiteral("JAHRESMITT")) + 4);
}

void tst_DataGrid::rowCount_data()
{
    QTest::addColumn<int>("height");
    QTest::newRow("165 pixels, as the window lays it out") << 165;
    QTest::newRow("ninth row fits without its line") << 183;
    QTest::newRow("ninth row one pixel short") << 182;
    QTest::newRow("title and one row") << 40;
}

void tst_DataGrid::rowCount()
{
    QFETCH(int, height);
    GridFixture f(30, height);
    QVERIFY(f.showWithFocus());
    QCOMPARE(f.grid->frameWidth(), 2);
    QVERIFY(!f.grid->horizontalScrollBar()->isVisible());
    const int textHeight = QFontMetrics(GridFixture::gridFont()).height();
    const int client = height - 2 * 2;
    const int expected = (client - (textHeight + 4)) / (textHeight + 3 + 1 + 1);
    QCOMPARE(f.grid->rowCount(), expected);
    if (textHeight == 13 && height == 165)
        QCOMPARE(f.grid->rowCount(), 8);
    QCOMPARE(f.cursor().windowCapacity(), expected);
    QCOMPARE(f.cursor().windowCount(), expected);
    QCOMPARE(f.grid->shownRowCount(), expected);
}

void tst_DataGrid::horizontalBarOnlyWhenColumnsDoNotFit()
{
    GridFixture f(30, 165, false); // all 14 columns shown
    f.grid->resize(300, 165);
    QVERIFY(f.showWithFocus());
    QTRY_VERIFY(f.grid->horizontalScrollBar()->isVisible());
    const int rowsWithBar = f.grid->rowCount();
    QCOMPARE(rowsWithBar, f.grid->gridGeometry().rowsThatFit());
    QCOMPARE(f.grid->viewport()->height(), 161 - f.grid->horizontalScrollBar()->height());
    for (int column = 1; column < 14; ++column)
        f.grid->column(column).setVisible(false);
    QTRY_VERIFY(!f.grid->horizontalScrollBar()->isVisible());
    QVERIFY(f.grid->rowCount() >= rowsWithBar);
    QCOMPARE(f.cursor().windowCapacity(), f.grid->rowCount());
}

// The window gives the grid a client width of the shown widths + 18 (the indicator
// column and one line per column): everything fits, the last line may fall outside.
void tst_DataGrid::shownColumnsFitInTheirWidthsPlus18()
{
    GridFixture f;
    QVERIFY(f.showWithFocus());
    int widths = 0;
    for (int column : {0, 2, 3, 7, 8, 9, 10})
        widths += f.grid->column(column).width();
    const int nonClient = f.grid->width() - f.grid->viewport()->width();
    f.grid->resize(widths + 18 + nonClient, 165);
    QTRY_COMPARE(f.grid->viewport()->width(), widths + 18);
    QVERIFY(!f.grid->horizontalScrollBar()->isVisible());
    const int textHeight = QFontMetrics(GridFixture::gridFont()).height();
    QCOMPARE(f.grid->rowCount(), (161 - (textHeight + 4)) / (textHeight + 5)); // 8 for 13
    f.grid->resize(widths + 17 + nonClient, 165);
    QTRY_VERIFY(f.grid->horizontalScrollBar()->isVisible());
}

void tst_DataGrid::currentRowAfterFirstAndLast()
{
    GridFixture f;
    QVERIFY(f.showWithFocus());
    QCOMPARE(f.grid->currentRow(), 0);
    QCOMPARE(f.grid->verticalScrollBar()->value(), 0);
    f.cursor().goToLast();
    QCOMPARE(f.place(), 29);
    QCOMPARE(f.grid->currentRow(), f.grid->rowCount() - 1);
    f.cursor().goToFirst();
    QCOMPARE(f.grid->currentRow(), 0);
    // A move down past the bottom row ends on the bottom row, up past the top on the top.
    f.cursor().stepBy(10);
    QCOMPARE(f.grid->currentRow(), 7);
    f.cursor().stepBy(-9);
    QCOMPARE(f.place(), 1);
    QCOMPARE(f.grid->currentRow(), 0);
}

void tst_DataGrid::currentRowWithFewRecords()
{
    GridFixture f(5);
    QVERIFY(f.showWithFocus());
    QCOMPARE(f.grid->shownRowCount(), 5);
    f.cursor().goToLast();
    QCOMPARE(f.grid->currentRow(), 4);
    const GridGeometry geometry = f.grid->gridGeometry();
    QCOMPARE(geometry.rowAt(geometry.rowTop(5) + 2), int(GridGeometry::NoCell));
}

void tst_DataGrid::currentRowAfterCentredSearch_data()
{
    QTest::addColumn<int>("place");
    QTest::addColumn<int>("row");
    QTest::newRow("20th record: row 3 of 8") << 19 << 3;
    QTest::newRow("first record: top row") << 0 << 0;
    QTest::newRow("two before it") << 2 << 2;
    QTest::newRow("near the end: filled from before") << 38 << 6;
}

void tst_DataGrid::currentRowAfterCentredSearch()
{
    QFETCH(int, place);
    QFETCH(int, row);
    GridFixture f(40);
    QVERIFY(f.showWithFocus());
    const int record = f.table.orderOf("KLEINGEM").at(std::size_t(place));
    const QString name = QString::fromLatin1(f.table.engine.row(record).at(12).c_str()).trimmed();
    f.cursor().enterKeyMode();
    f.cursor().fieldNamed(QStringLiteral("KLEINGEM"))->setAsString(name);
    f.cursor().searchNearest();
    QCOMPARE(f.place(), place);
    QCOMPARE(f.grid->currentRow(), row);
    QCOMPARE(f.grid->cellText(12, row).trimmed(), name);
}

void tst_DataGrid::currentRowKeptOnOrderSwitch()
{
    GridFixture f;
    QVERIFY(f.showWithFocus());
    f.placeOn(12, 5);
    const int record = f.cursor().recordNumber();
    f.cursor().setIndexName(QStringLiteral("BL"));
    QCOMPARE(f.cursor().recordNumber(), record);
    QCOMPARE(f.grid->currentRow(), 5);
}

void tst_DataGrid::currentRowAfterWalkBack_data()
{
    QTest::addColumn<int>("k");
    QTest::addColumn<int>("row");
    QTest::newRow("k = 3") << 3 << 3;
    QTest::newRow("k = 7, bottom row") << 7 << 7;
    QTest::newRow("k = 12, bottom row") << 12 << 7;
    QTest::newRow("k = 29, last record") << 29 << 7;
}

// The title-click walk: back by the record count, then forward by k records.
void tst_DataGrid::currentRowAfterWalkBack()
{
    QFETCH(int, k);
    QFETCH(int, row);
    GridFixture f;
    QVERIFY(f.showWithFocus());
    f.cursor().goToFirst();
    f.cursor().stepBy(k);
    QCOMPARE(f.cursor().stepBy(-f.cursor().recordTotal()), -k);
    QCOMPARE(f.cursor().stepBy(k), k);
    QCOMPARE(f.place(), k);
    QCOMPARE(f.grid->currentRow(), row);
}

void tst_DataGrid::hiddenCurrentColumnMovesOn()
{
    GridFixture f(30, 165, false);
    QCOMPARE(f.grid->currentColumn(), 0);
    f.grid->column(0).setVisible(false);
    QCOMPARE(f.grid->currentColumn(), 1);
    QVERIFY(f.grid->gridGeometry().cellRect(0, 0).isEmpty());
}

// ---- pixels (solid colours only, never text) ----------------------------------------

namespace {
// Colours are compared as RGB values: a palette may hold them in another colour model.
QRgb pixel(const QImage &image, const QPoint &p)
{
    return image.pixel(p);
}

QRgb rgb(const QColor &color)
{
    return color.rgb();
}

// A point inside a data cell right of any text that its column shows.
QPoint clearOfText(const QRect &cell)
{
    return QPoint(cell.x() + cell.width() - 2, cell.y() + cell.height() - 2);
}
} // namespace

void tst_DataGrid::selectionColourOnlyWithFocus()
{
    GridFixture f;
    QVERIFY(f.showWithFocus());
    f.cursor().stepBy(2);
    const QPalette palette = f.grid->palette();
    QImage image = f.viewport()->grab().toImage();
    QCOMPARE(pixel(image, clearOfText(f.cell(0, 2))), rgb(palette.color(QPalette::Highlight)));
    QCOMPARE(pixel(image, clearOfText(f.cell(10, 2))), rgb(palette.color(QPalette::Highlight)));
    QCOMPARE(pixel(image, clearOfText(f.cell(0, 1))), rgb(QColor(Qt::white)));
    f.other->setFocus();
    QTRY_VERIFY(!f.grid->hasFocus());
    image = f.viewport()->grab().toImage();
    QCOMPARE(pixel(image, clearOfText(f.cell(0, 2))), rgb(QColor(Qt::white)));
}

void tst_DataGrid::titleColour()
{
    GridFixture f;
    QVERIFY(f.showWithFocus());
    f.grid->column(0).setTitleColor(QColor(0, 255, 0));
    const QImage image = f.viewport()->grab().toImage();
    const QRect marked = f.cell(0, GridGeometry::TitleRow);
    QCOMPARE(pixel(image, QPoint(marked.right() - 1, marked.bottom() - 1)), rgb(QColor(0, 255, 0)));
    // The raised edge: light at the top and left, dark at the bottom and right.
    const QPalette palette = f.grid->palette();
    QCOMPARE(pixel(image, QPoint(marked.right() - 3, marked.top())),
             rgb(palette.color(QPalette::Light)));
    QCOMPARE(pixel(image, QPoint(marked.left(), marked.bottom() - 3)),
             rgb(palette.color(QPalette::Light)));
    QCOMPARE(pixel(image, QPoint(marked.right() - 3, marked.bottom())),
             rgb(palette.color(QPalette::Dark)));
    QCOMPARE(pixel(image, QPoint(marked.right(), marked.bottom() - 3)),
             rgb(palette.color(QPalette::Dark)));
    const QRect plain = f.cell(2, GridGeometry::TitleRow);
    QCOMPARE(pixel(image, QPoint(plain.right() - 1, plain.bottom() - 1)),
             rgb(palette.color(QPalette::Button)));
    // Back to the system colour.
    f.grid->column(0).setTitleColorRole(QPalette::Button);
    QCOMPARE(pixel(f.viewport()->grab().toImage(), QPoint(marked.right() - 1, marked.bottom() - 1)),
             rgb(palette.color(QPalette::Button)));
}

void tst_DataGrid::currentRecordMark()
{
    GridFixture f;
    QVERIFY(f.showWithFocus());
    f.cursor().stepBy(3);
    const QImage image = f.viewport()->grab().toImage();
    const QRect cell = f.cell(GridGeometry::IndicatorColumn, 3);
    QCOMPARE(cell.width(), 11);
    const int shrunkRight = cell.x() + cell.width() - 1; // exclusive right edge, shrunk by 1
    const int left = shrunkRight - 1 - 6;
    const int top = (cell.y() + cell.y() + cell.height() - 11) / 2;
    const int widths[11] = {1, 2, 3, 4, 5, 6, 5, 4, 3, 2, 1};
    const QColor face = f.grid->palette().color(QPalette::Button);
    for (int row = 0; row < 11; ++row) {
        const int y = top + row;
        QCOMPARE(pixel(image, QPoint(left - 1, y)), rgb(face));
        for (int x = left; x < left + widths[row]; ++x)
            QCOMPARE(pixel(image, QPoint(x, y)), rgb(QColor(Qt::black)));
        if (widths[row] < 6)
            QCOMPARE(pixel(image, QPoint(left + widths[row], y)), rgb(face));
    }
    QCOMPARE(pixel(image, QPoint(left, top - 1)), rgb(face));
    QCOMPARE(pixel(image, QPoint(left, top + 11)), rgb(face));
    // No mark on the other rows.
    const QRect other = f.cell(GridGeometry::IndicatorColumn, 2);
    QCOMPARE(pixel(image, QPoint(left, other.y() + (other.height() - 11) / 2 + 5)), rgb(face));
}

void tst_DataGrid::silverLinesBetweenDataCells()
{
    GridFixture f;
    QVERIFY(f.showWithFocus());
    const QImage image = f.viewport()->grab().toImage();
    const QRect cell = f.cell(0, 4);
    const QColor silver(192, 192, 192);
    QCOMPARE(pixel(image, QPoint(cell.x() + cell.width(), cell.center().y())), rgb(silver));
    QCOMPARE(pixel(image, QPoint(cell.center().x(), cell.y() + cell.height())), rgb(silver));
    QCOMPARE(GridPainter::dataLineColor(), silver);
}

void tst_DataGrid::emptyTableShowsOneRowWithMark()
{
    GridFixture f(0);
    QVERIFY(f.showWithFocus());
    QCOMPARE(f.cursor().windowCount(), 0);
    QCOMPARE(f.grid->shownRowCount(), 1);
    QCOMPARE(f.grid->currentRow(), 0);
    QCOMPARE(f.grid->verticalScrollBar()->value(), 0);
    const QImage image = f.viewport()->grab().toImage();
    const QRect mark = GridPainter::markRect(f.cell(GridGeometry::IndicatorColumn, 0));
    QCOMPARE(pixel(image, QPoint(mark.x(), mark.y() + 5)), rgb(QColor(Qt::black)));
    const QRect below = f.cell(0, 1);
    QCOMPARE(pixel(image, below.center()), rgb(QColor(Qt::white))); // no second row
    QCOMPARE(pixel(image, QPoint(below.x() + below.width(), below.center().y())),
             rgb(QColor(Qt::white)));
}

// The pixels that the grid scrolls and the rows it repaints after each move must
// give the same picture as painting everything afresh.
void tst_DataGrid::screenMatchesFullRepaintAfterScrolling()
{
    GridFixture f;
    QVERIFY(f.showWithFocus());
    QScreen *screen = f.window.windowHandle()->screen();
    const QPoint origin = f.viewport()->mapTo(&f.window, QPoint(0, 0));
    const QSize size = f.viewport()->size();
    auto onScreen = [&] {
        return screen
            ->grabWindow(f.window.winId(), origin.x(), origin.y(), size.width(), size.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    };
    for (int step : {3, 6, 1, -2, -9, 4, 12, -1, -20}) {
        f.cursor().stepBy(step);
        const QImage fresh = f.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QTRY_COMPARE(onScreen(), fresh);
    }
}

// ---- accessibility ----------------------------------------------------------------

void tst_DataGrid::accessibleTable()
{
    GridFixture f;
    QVERIFY(f.showWithFocus());
    f.cursor().stepBy(2);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(f.grid);
    QVERIFY(iface);
    QCOMPARE(iface->role(), QAccessible::Table);
    QAccessibleTableInterface *table = iface->tableInterface();
    QVERIFY(table);
    QCOMPARE(table->columnCount(), 7);
    QCOMPARE(table->rowCount(), 8);
    QCOMPARE(table->columnDescription(1), QStringLiteral("BEZIRK"));
    QCOMPARE(table->selectedRows(), QList<int>{2});

    QAccessibleInterface *focused = iface->focusChild();
    QVERIFY(focused);
    const QString expected = f.cursor().displayText(f.cursor().currentIndex(), 0);
    QVERIFY(!expected.isEmpty());
    QCOMPARE(focused->text(QAccessible::Name), expected);
    QVERIFY(focused->state().focused);
    QAccessibleTableCellInterface *cell = focused->tableCellInterface();
    QVERIFY(cell);
    QCOMPARE(cell->rowIndex(), 2);
    QCOMPARE(cell->columnIndex(), 0);
    QCOMPARE(cell->columnHeaderCells().value(0)->text(QAccessible::Name),
             QStringLiteral("GEMEINDE"));
    QCOMPARE(iface->indexOfChild(focused), (2 + 1) * 7 + 0);
    // A cell stays valid and reads the record now on its row.
    f.cursor().stepBy(20);
    QCOMPARE(focused->text(QAccessible::Name),
             f.cursor().displayText(f.grid->firstShownRecord() + 2, 0));
}

// The grid announces the current cell as the focused child whenever the record moves;
// the offscreen platform has no assistive technology to receive the event, so this
// checks the cell that the announcement names and that a reader then asks for.
void tst_DataGrid::accessibleFocusFollowsRecord()
{
    GridFixture f;
    QVERIFY(f.showWithFocus());
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(f.grid);
    for (int step = 1; step <= 10; ++step) {
        QTest::keyClick(f.grid, Qt::Key_Down);
        const int child = DataGridAccessible::currentCellChild(f.grid);
        QAccessibleInterface *announced = iface->child(child);
        QVERIFY(announced);
        QCOMPARE(iface->focusChild(), announced);
        QCOMPARE(announced->text(QAccessible::Name),
                 f.cursor().displayText(f.cursor().currentIndex(), 0));
        QCOMPARE(announced->tableCellInterface()->rowIndex(), std::min(step, 7));
    }
    f.other->setFocus();
    QTRY_VERIFY(!f.grid->hasFocus());
    QCOMPARE(iface->focusChild(), nullptr);
}

QTEST_MAIN(tst_DataGrid)
#include "tst_DataGrid.moc"
