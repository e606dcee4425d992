// How DBGrid1 moves Table1 and raises its events: mouse presses and releases, the
// wheel, the keyboard table and the grid's own record scroll bar.
#include "GridFixture.h"

#include <QSignalSpy>
#include <QWheelEvent>

class tst_DataGridInput : public QObject
{
    Q_OBJECT

private slots:
    void pressOnDataReleaseOnTitle();
    void indicatorAndCornerClicks();
    void rightButtonMovesWithoutEvent();
    void cellClickAfterRecordIsCurrent();
    void titleClickLeavesRecord();
    void doubleClickOnTitleRaisesTwice();
    void doubleClickMovesNothing();
    void pressOutsideCells();
    void pressIgnoredWithoutFocus();
    void wheelMovesOneRecordPerNotch();
    void keys_data();
    void keys();
    void ctrlLeftRightSetColumn();
    void tabReachesGrid();
    void downAtLastRecordOnlySetsEnd();
    void recordBarThumb();
    void recordBarActions_data();
    void recordBarActions();
    void recordBarRelease_data();
    void recordBarRelease();
    void recordBarTrackingMovesNothing();
};

// ---- mouse -------------------------------------------------------------------------

void tst_DataGridInput::pressOnDataReleaseOnTitle()
{
    GridFixture f;
    QVERIFY(f.showWithFocus());
    QSignalSpy titles(f.grid, &DataGrid::titleClick);
    QSignalSpy cells(f.grid, &DataGrid::cellClick);
    QTest::mousePress(f.viewport(), Qt::LeftButton, {}, f.inCell(2, 4));
    QCOMPARE(f.place(), 4);
    QCOMPARE(f.grid->currentColumn(), 2);
    QTest::mouseRelease(f.viewport(), Qt::LeftButton, {}, f.inCell(3, GridGeometry::TitleRow));
    QCOMPARE(titles.size(), 1);
    QCOMPARE(titles.at(0).at(0).toInt(), 3);
    QCOMPARE(cells.size(), 0);
    QCOMPARE(f.grid->currentRow(), 4);
}

void tst_DataGridInput::indicatorAndCornerClicks()
{
    GridFixture f;
    QVERIFY(f.showWithFocus());
    QSignalSpy titles(f.grid, &DataGrid::titleClick);
    QSignalSpy cells(f.grid, &DataGrid::cellClick);
    QTest::mouseClick(f.viewport(), Qt::LeftButton, {}, f.inCell(GridGeometry::IndicatorColumn, 2));
    QCOMPARE(f.place(), 2);
    QCOMPARE(f.grid->currentColumn(), 0); // the indicator is no column
    QTest::mouseClick(f.viewport(), Qt::LeftButton, {},
                      f.inCell(GridGeometry::IndicatorColumn, GridGeometry::TitleRow));
    QCOMPARE(f.place(), 2);
    QCOMPARE(titles.size(), 0);
    QCOMPARE(cells.size(), 0);
}

void tst_DataGridInput::rightButtonMovesWithoutEvent()
{
    GridFixture f;
    QVERIFY(f.showWithFocus());
    QSignalSpy titles(f.grid, &DataGrid::titleClick);
    QSignalSpy cells(f.grid, &DataGrid::cellClick);
    QTest::mouseClick(f.viewport(), Qt::RightButton, {}, f.inCell(7, 3));
    QCOMPARE(f.place(), 3);
    QCOMPARE(f.grid->currentColumn(), 7);
    QTest::mouseClick(f.viewport(), Qt::RightButton, {}, f.inCell(8, GridGeometry::TitleRow));
    QCOMPARE(titles.size(), 0);
    QCOMPARE(cells.size(), 0);
}

void tst_DataGridInput::cellClickAfterRecordIsCurrent()
{
    GridFixture f;
    QVERIFY(f.showWithFocus());
    int placeAtEvent = -1;
    int column = -1;
    QObject::connect(f.grid, &DataGrid::cellClick, f.grid, [&](int c) {
        placeAtEvent = f.place();
        column = c;
    });
    QTest::mouseClick(f.viewport(), Qt::LeftButton, {}, f.inCell(8, 5));
    QCOMPARE(placeAtEvent, 5);
    QCOMPARE(column, 8);
    // Pressed in one cell, released in another data cell: the current column is raised.
    QTest::mousePress(f.viewport(), Qt::LeftButton, {}, f.inCell(9, 1));
    QTest::mouseRelease(f.viewport(), Qt::LeftButton, {}, f.inCell(2, 6));
    QCOMPARE(placeAtEvent, 1);
    QCOMPARE(column, 9);
}

void tst_DataGridInput::titleClickLeavesRecord()
{
    GridFixture f;
    QVERIFY(f.showWithFocus());
    f.placeOn(12, 4);
    const int first = f.grid->firstShownRecord();
    QSignalSpy titles(f.grid, &DataGrid::titleClick);
    QTest::mouseClick(f.viewport(), Qt::LeftButton, {}, f.inCell(7, GridGeometry::TitleRow));
    QCOMPARE(titles.size(), 1);
    QCOMPARE(titles.at(0).at(0).toInt(), 7);
    QCOMPARE(f.place(), 12);
    QCOMPARE(f.grid->currentRow(), 4);
    QCOMPARE(f.grid->firstShownRecord(), first);
    QCOMPARE(f.grid->currentColumn(), 7);
}

void tst_DataGridInput::doubleClickOnTitleRaisesTwice()
{
    GridFixture f;
    QVERIFY(f.showWithFocus());
    QSignalSpy titles(f.grid, &DataGrid::titleClick);
    const QPoint title = f.inCell(0, GridGeometry::TitleRow);
    QTest::mousePress(f.viewport(), Qt::LeftButton, {}, title);
    QTest::mouseRelease(f.viewport(), Qt::LeftButton, {}, title);
    QTest::mouseDClick(f.viewport(), Qt::LeftButton, {}, title);
    QTest::mouseRelease(f.viewport(), Qt::LeftButton, {}, title);
    QCOMPARE(titles.size(), 2);
}

void tst_DataGridInput::doubleClickMovesNothing()
{
    GridFixture f;
    QVERIFY(f.showWithFocus());
    QSignalSpy cells(f.grid, &DataGrid::cellClick);
    QTest::mouseClick(f.viewport(), Qt::LeftButton, {}, f.inCell(0, 2));
    QCOMPARE(f.place(), 2);
    // The second press of a double click lands on the next row: nothing moves.
    QTest::mouseDClick(f.viewport(), Qt::LeftButton, {}, f.inCell(8, 3));
    QTest::mouseRelease(f.viewport(), Qt::LeftButton, {}, f.inCell(8, 3));
    QCOMPARE(f.place(), 2);
    QCOMPARE(f.grid->currentColumn(), 0);
    QCOMPARE(cells.size(), 2);
    QCOMPARE(cells.at(1).at(0).toInt(), 0);
}

void tst_DataGridInput::pressOutsideCells()
{
    GridFixture f(3);
    QVERIFY(f.showWithFocus());
    QSignalSpy titles(f.grid, &DataGrid::titleClick);
    QSignalSpy cells(f.grid, &DataGrid::cellClick);
    const GridGeometry geometry = f.grid->gridGeometry();
    const QPoint belowLastRow(f.inCell(0, 0).x(), geometry.rowTop(3) + 4);
    QTest::mouseClick(f.viewport(), Qt::LeftButton, {}, belowLastRow);
    const QPoint rightOfLastColumn(geometry.contentWidth() + 5, f.inCell(0, 1).y());
    QTest::mouseClick(f.viewport(), Qt::LeftButton, {}, rightOfLastColumn);
    QCOMPARE(f.place(), 0);
    // Pressed on a row, released outside the grid: the row is current, nothing raised.
    QTest::mousePress(f.viewport(), Qt::LeftButton, {}, f.inCell(0, 1));
    QTest::mouseRelease(f.viewport(), Qt::LeftButton, {}, QPoint(-5, -5));
    QCOMPARE(f.place(), 1);
    QCOMPARE(titles.size(), 0);
    QCOMPARE(cells.size(), 0);
}

void tst_DataGridInput::pressIgnoredWithoutFocus()
{
    GridFixture f; // the window is never activated, so the focus cannot arrive
    QSignalSpy cells(f.grid, &DataGrid::cellClick);
    QTest::mousePress(f.viewport(), Qt::LeftButton, {}, f.inCell(0, 3));
    QTest::mouseRelease(f.viewport(), Qt::LeftButton, {}, f.inCell(0, 3));
    QVERIFY(!f.grid->hasFocus());
    QCOMPARE(f.place(), 0);
    QCOMPARE(cells.size(), 0);
}

void tst_DataGridInput::wheelMovesOneRecordPerNotch()
{
    GridFixture f;
    QVERIFY(f.showWithFocus());
    auto turn = [&](int delta) {
        const QPointF pos = f.inCell(0, 2);
        QWheelEvent wheel(pos, f.viewport()->mapToGlobal(pos), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(f.viewport(), &wheel);
    };
    turn(-120);
    turn(-120);
    QCOMPARE(f.place(), 2);
    turn(-60); // half a notch moves nothing yet
    QCOMPARE(f.place(), 2);
    turn(-60);
    QCOMPARE(f.place(), 3);
    turn(120);
    QCOMPARE(f.place(), 2);
    QCOMPARE(f.grid->currentRow(), 2);
}

// ---- keyboard ----------------------------------------------------------------------

void tst_DataGridInput::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("place");
    QTest::addColumn<int>("row");
    const int none = Qt::NoModifier;
    const int ctrl = Qt::ControlModifier;
    // From the record at place 12 on row 4 (rows 8..15 on screen), of 30 records.
    QTest::newRow("Up") << int(Qt::Key_Up) << none << 11 << 3;
    QTest::newRow("Left") << int(Qt::Key_Left) << none << 11 << 3;
    QTest::newRow("Down") << int(Qt::Key_Down) << none << 13 << 5;
    QTest::newRow("Right") << int(Qt::Key_Right) << none << 13 << 5;
    QTest::newRow("Page Up") << int(Qt::Key_PageUp) << none << 4 << 0;
    QTest::newRow("Page Down") << int(Qt::Key_PageDown) << none << 20 << 7;
    QTest::newRow("Home") << int(Qt::Key_Home) << none << 0 << 0;
    QTest::newRow("End") << int(Qt::Key_End) << none << 29 << 7;
    QTest::newRow("Ctrl+Up") << int(Qt::Key_Up) << ctrl << 8 << 0;
    QTest::newRow("Ctrl+Page Up") << int(Qt::Key_PageUp) << ctrl << 8 << 0;
    QTest::newRow("Ctrl+Down") << int(Qt::Key_Down) << ctrl << 15 << 7;
    QTest::newRow("Ctrl+Page Down") << int(Qt::Key_PageDown) << ctrl << 15 << 7;
    QTest::newRow("Ctrl+Home") << int(Qt::Key_Home) << ctrl << 0 << 0;
    QTest::newRow("Ctrl+End") << int(Qt::Key_End) << ctrl << 29 << 7;
    QTest::newRow("Tab") << int(Qt::Key_Tab) << none << 13 << 5;
    QTest::newRow("Shift+Tab") << int(Qt::Key_Backtab) << int(Qt::ShiftModifier) << 11 << 3;
    QTest::newRow("Ctrl+Tab") << int(Qt::Key_Tab) << ctrl << 12 << 4;
    QTest::newRow("Esc") << int(Qt::Key_Escape) << none << 12 << 4;
    QTest::newRow("Enter") << int(Qt::Key_Return) << none << 12 << 4;
    QTest::newRow("F2") << int(Qt::Key_F2) << none << 12 << 4;
    QTest::newRow("Insert") << int(Qt::Key_Insert) << none << 12 << 4;
    QTest::newRow("Ctrl+Delete") << int(Qt::Key_Delete) << ctrl << 12 << 4;
    QTest::newRow("character") << int(Qt::Key_A) << none << 12 << 4;
    QTest::newRow("Alt+Down") << int(Qt::Key_Down) << int(Qt::AltModifier) << 12 << 4;
}

void tst_DataGridInput::keys()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, place);
    QFETCH(int, row);
    GridFixture f;
    QVERIFY(f.showWithFocus());
    f.placeOn(12, 4);
    QCOMPARE(f.grid->currentRow(), 4);
    QTest::keyClick(f.grid, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(f.place(), place);
    QCOMPARE(f.grid->currentRow(), row);
    QVERIFY(f.grid->hasFocus());
}

void tst_DataGridInput::ctrlLeftRightSetColumn()
{
    GridFixture f;
    QVERIFY(f.showWithFocus());
    f.cursor().stepBy(3);
    QTest::keyClick(f.grid, Qt::Key_Right, Qt::ControlModifier);
    QCOMPARE(f.grid->currentColumn(), 10); // the last shown column
    QTest::keyClick(f.grid, Qt::Key_Left, Qt::ControlModifier);
    QCOMPARE(f.grid->currentColumn(), 0);
    QCOMPARE(f.place(), 3);
}

void tst_DataGridInput::tabReachesGrid()
{
    GridFixture f;
    QVERIFY(f.showWithFocus());
    // Through the window system, as a real key press arrives.
    QTest::keyClick(f.window.windowHandle(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), f.grid);
    QCOMPARE(f.place(), 1);
    QTest::keyClick(f.window.windowHandle(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), f.grid);
    QCOMPARE(f.place(), 0);
}

void tst_DataGridInput::downAtLastRecordOnlySetsEnd()
{
    for (int key : {int(Qt::Key_Down), int(Qt::Key_Tab)}) {
        GridFixture f;
        QVERIFY(f.showWithFocus());
        QCOMPARE(f.cursor().stepBy(29), 29);
        QVERIFY(!f.cursor().atEnd());
        QCOMPARE(f.grid->verticalScrollBar()->value(), 2);
        const int first = f.grid->firstShownRecord();
        QTest::keyClick(f.grid, Qt::Key(key));
        QVERIFY(f.cursor().atEnd());
        QCOMPARE(f.place(), 29);
        QCOMPARE(f.grid->currentRow(), 7);
        QCOMPARE(f.grid->firstShownRecord(), first);
        QCOMPARE(f.grid->verticalScrollBar()->value(), 4);
    }
}

// ---- the record bar ------------------------------------------------------------------

void tst_DataGridInput::recordBarThumb()
{
    GridFixture f;
    QVERIFY(f.showWithFocus());
    QScrollBar *bar = f.grid->verticalScrollBar();
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 4);
    QCOMPARE(bar->value(), 0);
    f.cursor().stepBy(1);
    QCOMPARE(bar->value(), 2);
    f.cursor().goToLast();
    QCOMPARE(bar->value(), 4);
    f.cursor().stepBy(-1);
    QCOMPARE(bar->value(), 2);
    f.cursor().goToFirst();
    QCOMPARE(bar->value(), 0);
    f.cursor().setIndexName(QStringLiteral("BL")); // a rebuild clears both flags
    QVERIFY(!f.cursor().atStart());
    QCOMPARE(bar->value(), 2);
    f.cursor().stepBy(-f.cursor().recordTotal());
    QCOMPARE(bar->value(), 0);
}

void tst_DataGridInput::recordBarActions_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("place");
    QTest::addColumn<int>("row");
    // From the record at place 12 on row 4 (rows 8..15 on screen).
    QTest::newRow("arrow up: the record above the top row")
        << int(QAbstractSlider::SliderSingleStepSub) << 7 << 0;
    QTest::newRow("arrow down: the record below the bottom row")
        << int(QAbstractSlider::SliderSingleStepAdd) << 16 << 7;
    QTest::newRow("page up") << int(QAbstractSlider::SliderPageStepSub) << 4 << 0;
    QTest::newRow("page down") << int(QAbstractSlider::SliderPageStepAdd) << 20 << 7;
    QTest::newRow("top") << int(QAbstractSlider::SliderToMinimum) << 0 << 0;
    QTest::newRow("bottom") << int(QAbstractSlider::SliderToMaximum) << 29 << 7;
    QTest::newRow("tracking") << int(QAbstractSlider::SliderMove) << 12 << 4;
}

void tst_DataGridInput::recordBarActions()
{
    QFETCH(int, action);
    QFETCH(int, place);
    QFETCH(int, row);
    GridFixture f;
    QVERIFY(f.showWithFocus());
    f.placeOn(12, 4);
    f.other->setFocus();
    QScrollBar *bar = f.grid->verticalScrollBar();
    bar->triggerAction(QAbstractSlider::SliderAction(action));
    QVERIFY(f.grid->hasFocus()); // the bar's action takes the focus first
    QCOMPARE(f.place(), place);
    QCOMPARE(f.grid->currentRow(), row);
    const int thumb = f.cursor().atStart() ? 0 : f.cursor().atEnd() ? 4 : 2;
    QCOMPARE(bar->value(), thumb);
    QCOMPARE(bar->sliderPosition(), thumb);
}

void tst_DataGridInput::recordBarRelease_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("place");
    QTest::addColumn<int>("thumb");
    QTest::newRow("0: first record") << 0 << 0 << 0;
    QTest::newRow("1: back by the rows") << 1 << 4 << 2;
    QTest::newRow("2: nothing") << 2 << 12 << 2;
    QTest::newRow("3: forward by the rows") << 3 << 20 << 2;
    QTest::newRow("4: last record") << 4 << 29 << 4;
}

void tst_DataGridInput::recordBarRelease()
{
    QFETCH(int, position);
    QFETCH(int, place);
    QFETCH(int, thumb);
    GridFixture f;
    QVERIFY(f.showWithFocus());
    f.placeOn(12, 4);
    QScrollBar *bar = f.grid->verticalScrollBar();
    bar->setSliderDown(true);
    bar->setSliderPosition(position);
    bar->setSliderDown(false);
    QCOMPARE(f.place(), place);
    QCOMPARE(bar->value(), thumb);
    QCOMPARE(bar->sliderPosition(), thumb);
}

void tst_DataGridInput::recordBarTrackingMovesNothing()
{
    GridFixture f;
    QVERIFY(f.showWithFocus());
    f.placeOn(12, 4);
    QScrollBar *bar = f.grid->verticalScrollBar();
    bar->setSliderDown(true);
    bar->setSliderPosition(4);
    bar->setSliderPosition(0);
    QCOMPARE(f.place(), 12);
    bar->setSliderDown(false);
    QCOMPARE(f.place(), 0);
}

QTEST_MAIN(tst_DataGridInput)
#include "tst_DataGridInput.moc"
