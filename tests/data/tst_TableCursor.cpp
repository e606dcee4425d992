// Table1's moves, flags, record window and notifications, against the fake engine.
#include "DatabaseErrors.h"
#include "FakeMunicipalities.h"
#include "FakeView.h"
#include "TableCursor.h"

#include <QSignalSpy>
#include <QTest>

#include <limits>

using fake::FakeEngine;
using fake::FakeMunicipalities;
using fake::FakeView;

namespace {

// A municipality table of n records opened with one view of `rows` rows attached.
struct Opened
{
    Opened(int n, int rows) : view(rows), m(n, false)
    {
        m.table->attachView(&view);
        m.table->setActive(true);
    }
    TableCursor &t() { return *m.table; }
    std::vector<int> order() const { return m.orderOf("KLEINGEM"); }
    FakeView view;
    FakeMunicipalities m;
};

// Record number of the record held at a window index (GEMNR is 10101 + 7 * (number - 1)).
int recordAt(const TableCursor &t, int windowIndex)
{
    return (t.displayText(windowIndex, 1).toInt() - 10101) / 7 + 1;
}

// Record numbers the window holds, in window order.
std::vector<int> held(const TableCursor &t)
{
    std::vector<int> out;
    for (int i = 0; i < t.windowCount(); ++i)
        out.push_back(recordAt(t, i));
    return out;
}

std::vector<int> slice(const std::vector<int> &v, int from, int n)
{
    return std::vector<int>(v.begin() + from, v.begin() + from + n);
}

} // namespace

class tst_TableCursor : public QObject
{
    Q_OBJECT

private slots:
    void openShowsFirstRecordOfOrder();
    void stepZeroAndBlockedSteps();
    void fiveRowWindowSlides();
    void forwardRunCostsOneFetchAndBookmarkPerStep();
    void repositionsWhenEngineIsElsewhere();
    void backByTotalThenForward_data();
    void backByTotalThenForward();
    void backByTotalFromFirstStaysAtStart();
    void stepForwardOnLastRecord();
    void goToFirstAndLast();
    void stepBackAfterRebuildOnFirst();
    void emptyTable();
    void recordTotalFallbacks_data();
    void recordTotalFallbacks();
    void engineErrorInMoveStillNotifies();
    void engineErrorInGoToFirstStillNotifies();
    void windowGrowsAndShrinks();
    void closedCursorRaises_data();
    void closedCursorRaises();
    void closeResetsState();
    void placeInOrderDoesNotMoveWindow();
};

void tst_TableCursor::openShowsFirstRecordOfOrder()
{
    Opened o(20, 5);
    TableCursor &t = o.t();
    QVERIFY(t.isActive());
    QVERIFY(t.atStart());
    QVERIFY(!t.atEnd());
    QCOMPARE(t.windowCount(), 5);
    QCOMPARE(t.currentIndex(), 0);
    QCOMPARE(held(t), slice(o.order(), 0, 5));
    QCOMPARE(t.recordNumber(), o.order().front());
    QVERIFY(t.recordNumber() != 1); // the first by name is not the first stored
    QVERIFY(!t.numberedInOrder());

    QSignalSpy scrolled(&t, &TableCursor::windowScrolled);
    QSignalSpy changed(&t, &TableCursor::windowChanged);
    QCOMPARE(t.stepBy(-5), 0);
    QCOMPARE(scrolled.count() + changed.count(), 0);
    QCOMPARE(t.stepBy(1), 1);
    QCOMPARE(t.recordNumber(), o.order()[1]);
    QVERIFY(!t.atStart());
    QCOMPARE(scrolled.count(), 1);
    QCOMPARE(scrolled.first().first().toInt(), 0);
}

void tst_TableCursor::stepZeroAndBlockedSteps()
{
    Opened o(20, 5);
    TableCursor &t = o.t();
    o.m.engine.resetCalls();
    QSignalSpy scrolled(&t, &TableCursor::windowScrolled);
    QSignalSpy changed(&t, &TableCursor::windowChanged);
    QCOMPARE(t.stepBy(0), 0);
    QCOMPARE(t.stepBy(-1), 0); // AtStart blocks
    QVERIFY(t.atStart());
    QCOMPARE(scrolled.count() + changed.count(), 0);
    QCOMPARE(o.m.engine.totalCalls(), 0);
}

void tst_TableCursor::fiveRowWindowSlides()
{
    Opened o(20, 5);
    TableCursor &t = o.t();
    QCOMPARE(t.stepBy(4), 4);
    QCOMPARE(t.currentIndex(), 4);
    QSignalSpy scrolled(&t, &TableCursor::windowScrolled);
    QSignalSpy changed(&t, &TableCursor::windowChanged);
    QCOMPARE(t.stepBy(2), 2);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(scrolled.count(), 1);
    QCOMPARE(scrolled.first().first().toInt(), -2);
    QCOMPARE(t.currentIndex(), 4);
    QCOMPARE(held(t), slice(o.order(), 2, 5));
    QCOMPARE(t.recordNumber(), o.order()[6]);
    // And back: inside the window no slide, beyond it +1 per record.
    scrolled.clear();
    QCOMPARE(t.stepBy(-6), -6);
    QCOMPARE(scrolled.first().first().toInt(), 2);
    QCOMPARE(held(t), slice(o.order(), 0, 5));
    QVERIFY(!t.atStart());
    // The most negative count walks back to the first record without overflowing.
    QCOMPARE(t.stepBy(3), 3);
    QCOMPARE(t.stepBy(std::numeric_limits<int>::min()), -3);
    QVERIFY(t.atStart());
}

void tst_TableCursor::forwardRunCostsOneFetchAndBookmarkPerStep()
{
    Opened o(30, 5);
    TableCursor &t = o.t();
    QCOMPARE(t.stepBy(4), 4);
    o.m.engine.resetCalls();
    for (int i = 0; i < 6; ++i)
        t.stepForward();
    QCOMPARE(o.m.engine.calls("getNext"), 6);
    QCOMPARE(o.m.engine.calls("getBookmark"), 6);
    QCOMPARE(o.m.engine.totalCalls(), 12);
    QCOMPARE(t.recordNumber(), o.order()[10]);
    // The same backwards once the engine has been moved to the window's first record.
    QCOMPARE(t.stepBy(-4), -4);
    o.m.engine.resetCalls();
    for (int i = 0; i < 3; ++i)
        t.stepBack();
    QCOMPARE(o.m.engine.calls("getPrior"), 3);
    QCOMPARE(o.m.engine.calls("getBookmark"), 3);
    QCOMPARE(o.m.engine.calls("setToBookmark"), 1); // the engine was on the last held record
    QCOMPARE(o.m.engine.totalCalls(), 7);
}

void tst_TableCursor::repositionsWhenEngineIsElsewhere()
{
    Opened o(20, 5);
    TableCursor &t = o.t();
    QCOMPARE(t.stepBy(2), 2);
    QCOMPARE(t.placeInOrder(), 2); // puts the engine on the current (middle) record
    o.m.engine.resetCalls();
    QCOMPARE(t.stepBy(3), 3);
    const std::vector<std::string> expected{"setToBookmark", "getNext", "getBookmark"};
    QCOMPARE(o.m.engine.callLog().size(), std::size_t(3));
    QVERIFY(std::equal(expected.begin(), expected.end(), o.m.engine.callLog().end() - 3));
    QCOMPARE(held(t), slice(o.order(), 1, 5));
}

void tst_TableCursor::backByTotalThenForward_data()
{
    QTest::addColumn<int>("k");
    QTest::addColumn<int>("rows");
    QTest::newRow("first record") << 0 << 5;
    QTest::newRow("inside first window") << 3 << 5;
    QTest::newRow("k = W - 1") << 4 << 5;
    QTest::newRow("beyond the window") << 10 << 5;
    QTest::newRow("last record") << 19 << 5;
    QTest::newRow("one row") << 7 << 1;
}

void tst_TableCursor::backByTotalThenForward()
{
    QFETCH(int, k);
    QFETCH(int, rows);
    Opened o(20, rows);
    TableCursor &t = o.t();
    if (k == 0) {
        QCOMPARE(t.stepBy(1), 1);
        QCOMPARE(t.stepBy(-1), -1);
    } else {
        QCOMPARE(t.stepBy(k), k);
    }
    QVERIFY(!t.atStart());
    const int number = t.recordNumber();
    QCOMPARE(t.stepBy(-t.recordTotal()), -k);
    QVERIFY(t.atStart());
    QVERIFY(!t.atEnd());
    QCOMPARE(t.currentIndex(), 0);
    QCOMPARE(held(t), slice(o.order(), 0, rows));

    QCOMPARE(t.stepBy(k), k);
    QCOMPARE(t.recordNumber(), number);
    QCOMPARE(t.atStart(), k == 0); // StepBy(0) leaves the flag set by the move back
    QVERIFY(!t.atEnd());
    QCOMPARE(t.currentIndex(), k >= rows - 1 ? rows - 1 : k);
    if (k < rows - 1)
        QCOMPARE(held(t), slice(o.order(), 0, rows));
}

void tst_TableCursor::backByTotalFromFirstStaysAtStart()
{
    Opened o(20, 5);
    TableCursor &t = o.t();
    QSignalSpy scrolled(&t, &TableCursor::windowScrolled);
    QCOMPARE(t.stepBy(-t.recordTotal()), 0);
    QVERIFY(t.atStart());
    QCOMPARE(scrolled.count(), 0);
}

void tst_TableCursor::stepForwardOnLastRecord()
{
    Opened o(12, 5);
    TableCursor &t = o.t();
    QCOMPARE(t.stepBy(11), 11);
    QVERIFY(!t.atEnd());
    QCOMPARE(t.recordNumber(), o.order().back());
    QSignalSpy scrolled(&t, &TableCursor::windowScrolled);
    QSignalSpy changed(&t, &TableCursor::windowChanged);
    t.stepForward();
    QVERIFY(t.atEnd());
    QCOMPARE(scrolled.count(), 1);
    QCOMPARE(scrolled.first().first().toInt(), 0);
    QCOMPARE(t.recordNumber(), o.order().back());
    t.stepForward();
    QCOMPARE(scrolled.count(), 1);
    QCOMPARE(changed.count(), 0);
}

void tst_TableCursor::goToFirstAndLast()
{
    Opened o(20, 5);
    TableCursor &t = o.t();
    QSignalSpy changed(&t, &TableCursor::windowChanged);
    t.goToLast();
    QCOMPARE(changed.count(), 1);
    QVERIFY(t.atEnd());
    QVERIFY(!t.atStart());
    QCOMPARE(t.currentIndex(), 4);
    QCOMPARE(held(t), slice(o.order(), 15, 5));
    QCOMPARE(t.stepBy(1), 0);
    QCOMPARE(t.stepBy(-1), -1);
    t.goToFirst();
    QCOMPARE(changed.count(), 2);
    QVERIFY(t.atStart());
    QVERIFY(!t.atEnd());
    QCOMPARE(t.currentIndex(), 0);
    QCOMPARE(held(t), slice(o.order(), 0, 5));
}

void tst_TableCursor::stepBackAfterRebuildOnFirst()
{
    Opened o(20, 5);
    TableCursor &t = o.t();
    t.enterKeyMode();
    t.fieldNamed(QStringLiteral("KLEINGEM"))->setAsString(QString());
    t.searchNearest();
    QCOMPARE(t.recordNumber(), o.order().front());
    QVERIFY(!t.atStart());
    QVERIFY(!t.atEnd());
    QCOMPARE(t.stepBy(-1), 0);
    QVERIFY(t.atStart());
}

void tst_TableCursor::emptyTable()
{
    FakeView view(5);
    FakeMunicipalities m(0, false);
    m.table->attachView(&view);
    m.table->setActive(true);
    TableCursor &t = *m.table;
    QVERIFY(t.atStart());
    QVERIFY(t.atEnd());
    QCOMPARE(t.recordTotal(), 0);
    QCOMPARE(t.windowCount(), 0);
    QCOMPARE(t.currentIndex(), -1);
    QSignalSpy scrolled(&t, &TableCursor::windowScrolled);
    QCOMPARE(t.stepBy(3), 0);
    QCOMPARE(t.stepBy(-3), 0);
    QCOMPARE(t.stepBy(0), 0);
    QCOMPARE(scrolled.count(), 0);
    QCOMPARE(t.recordNumber(), 0);
    QVERIFY(t.fieldNamed(QStringLiteral("GEMEINDE"))->isNull());
    QCOMPARE(t.fieldNamed(QStringLiteral("KLASSE"))->displayText(), QString());
    t.goToLast();
    QVERIFY(t.atStart());
    QVERIFY(t.atEnd());
    t.setIndexName(QStringLiteral("BL"));
    QCOMPARE(t.windowCount(), 0);
    QVERIFY(t.atStart() && t.atEnd());
}

void tst_TableCursor::recordTotalFallbacks_data()
{
    QTest::addColumn<bool>("firstFails");
    QTest::addColumn<bool>("fallbackFails");
    QTest::addColumn<int>("expected");
    QTest::newRow("first choice") << false << false << 17;
    QTest::newRow("fallback") << true << false << 17;
    QTest::newRow("none") << true << true << -1;
}

void tst_TableCursor::recordTotalFallbacks()
{
    QFETCH(bool, firstFails);
    QFETCH(bool, fallbackFails);
    QFETCH(int, expected);
    FakeMunicipalities m(17);
    if (firstFails)
        m.engine.failCall("countRecords", dbase::status::InvalidParameter, 1, true);
    if (fallbackFails)
        m.engine.failCall("countRecordsFallback", dbase::status::InvalidParameter, 1, true);
    QCOMPARE(m.table->recordTotal(), expected);
    QCOMPARE(m.table->recordTotal(), expected); // asked again at every read
    QCOMPARE(m.engine.calls("countRecords"), 2);
}

void tst_TableCursor::engineErrorInMoveStillNotifies()
{
    Opened o(20, 5);
    TableCursor &t = o.t();
    o.m.engine.failCall("getNext", dbase::status::TableDamaged, 2);
    QSignalSpy scrolled(&t, &TableCursor::windowScrolled);
    QSignalSpy changed(&t, &TableCursor::windowChanged);
    QVERIFY_THROWS_EXCEPTION(EDBEngineError, t.stepBy(10));
    QCOMPARE(changed.count(), 0);
    QCOMPARE(scrolled.count(), 1);
    QCOMPARE(scrolled.first().first().toInt(), -1);
    QCOMPARE(t.recordNumber(), o.order()[5]);
    QVERIFY(!t.atStart());
    QVERIFY(!t.atEnd());
    // The engine position is undetermined now: the next fetch repositions first.
    o.m.engine.resetCalls();
    QCOMPARE(t.stepBy(1), 1);
    QCOMPARE(o.m.engine.calls("setToBookmark"), 1);
    QCOMPARE(t.recordNumber(), o.order()[6]);
}

void tst_TableCursor::engineErrorInGoToFirstStillNotifies()
{
    Opened o(20, 5);
    TableCursor &t = o.t();
    QCOMPARE(t.stepBy(9), 9);
    o.m.engine.failCall("getNext", dbase::status::TableDamaged, 3);
    QSignalSpy changed(&t, &TableCursor::windowChanged);
    QVERIFY_THROWS_EXCEPTION(EDBEngineError, t.goToFirst());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(held(t), slice(o.order(), 0, 2));
    QVERIFY(t.atStart());
    QCOMPARE(t.currentIndex(), 0);
}

void tst_TableCursor::windowGrowsAndShrinks()
{
    FakeMunicipalities m(20);
    TableCursor &t = *m.table;
    const std::vector<int> order = m.orderOf("KLEINGEM");
    QCOMPARE(t.windowCapacity(), 1);
    QCOMPARE(t.windowCount(), 1);

    QSignalSpy changed(&t, &TableCursor::windowChanged);
    FakeView grid(5);
    t.attachView(&grid);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(t.windowCapacity(), 5);
    QCOMPARE(held(t), slice(order, 0, 5));
    QCOMPARE(t.currentIndex(), 0);

    FakeView note(1);
    t.attachView(&note); // the largest request counts
    QCOMPARE(t.windowCapacity(), 5);
    QCOMPARE(changed.count(), 1);

    t.goToLast();
    grid.setRows(8); // grows after the last (nothing there), then before the first
    t.viewRowsChanged();
    QCOMPARE(held(t), slice(order, 12, 8));
    QCOMPARE(t.currentIndex(), 7);

    QCOMPARE(t.stepBy(-3), -3); // current at window index 4
    grid.setRows(3);
    grid.setFirstShown(2);
    changed.clear();
    t.viewRowsChanged();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(held(t), slice(order, 14, 3));
    QCOMPARE(t.currentIndex(), 2);
    QCOMPARE(t.recordNumber(), order[16]);

    t.detachView(&grid);
    QCOMPARE(t.windowCapacity(), 1);
    QCOMPARE(t.windowCount(), 1);
    QCOMPARE(t.recordNumber(), order[16]);
}

void tst_TableCursor::closedCursorRaises_data()
{
    QTest::addColumn<int>("op");
    for (int op = 0; op < 7; ++op)
        QTest::newRow(QByteArray::number(op).constData()) << op;
}

void tst_TableCursor::closedCursorRaises()
{
    QFETCH(int, op);
    FakeMunicipalities m(5, false);
    TableCursor &t = *m.table;
    try {
        switch (op) {
        case 0:
            t.stepBy(1);
            break;
        case 1:
            t.stepForward();
            break;
        case 2:
            t.stepBack();
            break;
        case 3:
            t.goToFirst();
            break;
        case 4:
            t.goToLast();
            break;
        case 5:
            t.recordTotal();
            break;
        default:
            t.recordNumber();
            break;
        }
        QFAIL("no error");
    } catch (const EDatabaseError &e) {
        QCOMPARE(e.message(),
                 QStringLiteral("Table1: Operation bei geschlossener Datenmenge nicht ausführbar"));
        QCOMPARE(e.typeName(), "EDatabaseError");
    }
    QVERIFY(t.atStart());
    QVERIFY(t.atEnd());
    QCOMPARE(m.engine.totalCalls(), 0);
}

void tst_TableCursor::closeResetsState()
{
    Opened o(20, 5);
    TableCursor &t = o.t();
    QCOMPARE(t.stepBy(3), 3);
    QSignalSpy state(&t, &TableCursor::stateChanged);
    const int closesBefore = o.m.engine.calls("close");
    t.setActive(false);
    QCOMPARE(state.count(), 1);
    QVERIFY(!t.isActive());
    QVERIFY(t.atStart());
    QVERIFY(t.atEnd());
    QCOMPARE(t.windowCount(), 0);
    QCOMPARE(t.windowCapacity(), 0);
    QVERIFY(t.fields().isEmpty());
    QCOMPARE(o.m.engine.calls("releaseLock"), 1);
    QCOMPARE(o.m.engine.calls("close"), closesBefore + 1);
}

void tst_TableCursor::placeInOrderDoesNotMoveWindow()
{
    Opened o(20, 5);
    TableCursor &t = o.t();
    QCOMPARE(t.stepBy(7), 7);
    const std::vector<int> before = held(t);
    QSignalSpy scrolled(&t, &TableCursor::windowScrolled);
    QSignalSpy changed(&t, &TableCursor::windowChanged);
    QCOMPARE(t.placeInOrder(), 7);
    QCOMPARE(held(t), before);
    QCOMPARE(t.currentIndex(), 4);
    QCOMPARE(scrolled.count() + changed.count(), 0);
    t.setIndexName(QStringLiteral("BL"));
    const std::vector<int> bl = o.m.orderOf("BL");
    QCOMPARE(t.placeInOrder(), int(std::find(bl.begin(), bl.end(), t.recordNumber()) - bl.begin()));
}

QTEST_GUILESS_MAIN(tst_TableCursor)
#include "tst_TableCursor.moc"
