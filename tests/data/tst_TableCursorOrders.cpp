// Table1's order switch (IndexName) and key search, against the fake engine.
#include "DatabaseErrors.h"
#include "FakeMunicipalities.h"
#include "FakeView.h"
#include "TableCursor.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>

using fake::FakeMunicipalities;
using fake::FakeView;

namespace {

struct Opened
{
    Opened(int n, int rows) : view(rows), m(n, false)
    {
        m.table->attachView(&view);
        m.table->setActive(true);
    }
    TableCursor &t() { return *m.table; }
    FakeView view;
    FakeMunicipalities m;
};

int recordAt(const TableCursor &t, int windowIndex)
{
    return (t.displayText(windowIndex, 1).toInt() - 10101) / 7 + 1;
}

std::vector<int> held(const TableCursor &t)
{
    std::vector<int> out;
    for (int i = 0; i < t.windowCount(); ++i)
        out.push_back(recordAt(t, i));
    return out;
}

int placeOf(const std::vector<int> &order, int recordNumber)
{
    return int(std::find(order.begin(), order.end(), recordNumber) - order.begin());
}

// The window must be a run of the order with the current record at its place.
void verifyWindowInOrder(const TableCursor &t, const std::vector<int> &order)
{
    const std::vector<int> h = held(t);
    const int first = placeOf(order, h.front());
    QVERIFY(first + int(h.size()) <= int(order.size()));
    QVERIFY(std::equal(h.begin(), h.end(), order.begin() + first));
    QCOMPARE(h[std::size_t(t.currentIndex())], t.recordNumber());
}

void search(TableCursor &t, const QString &text)
{
    t.enterKeyMode();
    t.fieldNamed(QStringLiteral("KLEINGEM"))->setAsString(text);
    t.searchNearest();
}

} // namespace

class tst_TableCursorOrders : public QObject
{
    Q_OBJECT

private slots:
    void minThenMaxKeepsRecord();
    void caseChangeIsRealSwitch();
    void sameNameTwiceDoesNothing();
    void missingTagLeavesAllAsItWas_data();
    void missingTagLeavesAllAsItWas();
    void noCurrentRecordRetriesWithoutKeeping();
    void failedSwitchKeepsState();
    void switchWhileClosedOnlyRenames();
    void recordNumberAfterSwitchThenStep();
    void searchFindsNearest_data();
    void searchFindsNearest();
    void centredRebuildRows_data();
    void centredRebuildRows();
    void searchTextCutToFieldWidth();
    void keyFieldChecks_data();
    void keyFieldChecks();
    void assignOutsideKeyModeFails();
    void failedSetToKeyLeavesWindow();
    void expressionOrderSearchesByRecord();
    void searchTranslatesToTableCodePage();
};

void tst_TableCursorOrders::minThenMaxKeepsRecord()
{
    Opened o(30, 5);
    TableCursor &t = o.t();
    QCOMPARE(t.stepBy(7), 7);
    const int number = t.recordNumber();
    const int row = t.currentIndex();
    const std::vector<int> nameWindow = held(t);
    QSignalSpy changed(&t, &TableCursor::windowChanged);

    t.setIndexName(QStringLiteral("MIN"));
    QCOMPARE(t.indexName(), QStringLiteral("MIN"));
    QCOMPARE(t.recordNumber(), number);
    QCOMPARE(t.currentIndex(), row);
    QCOMPARE(changed.count(), 1);
    verifyWindowInOrder(t, o.m.orderOf("MIN"));
    const std::vector<int> minWindow = held(t);
    QVERIFY(minWindow != nameWindow);

    t.setIndexName(QStringLiteral("MAX"));
    QCOMPARE(t.recordNumber(), number);
    QCOMPARE(t.currentIndex(), row);
    verifyWindowInOrder(t, o.m.orderOf("MAX"));
    QVERIFY(held(t) != minWindow);
    QVERIFY(!t.atStart());
    QVERIFY(!t.atEnd());
}

void tst_TableCursorOrders::caseChangeIsRealSwitch()
{
    Opened o(20, 5);
    TableCursor &t = o.t();
    QCOMPARE(t.stepBy(3), 3);
    const int number = t.recordNumber();
    o.m.engine.resetCalls();
    QSignalSpy changed(&t, &TableCursor::windowChanged);
    t.setIndexName(QStringLiteral("Kleingem"));
    QCOMPARE(o.m.engine.calls("switchToIndex"), 1);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(t.indexName(), QStringLiteral("Kleingem"));
    QCOMPARE(t.recordNumber(), number);
    QCOMPARE(o.m.engine.activeTag(), std::string("Kleingem"));
    t.setIndexName(QStringLiteral("KLEINGEM"));
    QCOMPARE(o.m.engine.calls("switchToIndex"), 2);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(t.recordNumber(), number);
}

void tst_TableCursorOrders::sameNameTwiceDoesNothing()
{
    Opened o(20, 5);
    TableCursor &t = o.t();
    t.setIndexName(QStringLiteral("BL"));
    o.m.engine.resetCalls();
    QSignalSpy changed(&t, &TableCursor::windowChanged);
    QSignalSpy scrolled(&t, &TableCursor::windowScrolled);
    t.setIndexName(QStringLiteral("BL"));
    QCOMPARE(o.m.engine.totalCalls(), 0);
    QCOMPARE(changed.count() + scrolled.count(), 0);
}

void tst_TableCursorOrders::missingTagLeavesAllAsItWas_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("field without tag") << QStringLiteral("GEMEINDE");
    QTest::newRow("lower case") << QStringLiteral("gemnr");
    QTest::newRow("empty") << QString();
}

void tst_TableCursorOrders::missingTagLeavesAllAsItWas()
{
    QFETCH(QString, name);
    Opened o(20, 5);
    TableCursor &t = o.t();
    t.setIndexName(QStringLiteral("BL"));
    QCOMPARE(t.stepBy(6), 6);
    const std::vector<int> before = held(t);
    const int row = t.currentIndex();
    o.m.engine.resetCalls();
    QSignalSpy changed(&t, &TableCursor::windowChanged);
    try {
        t.setIndexName(name);
        QFAIL("no error");
    } catch (const EDatabaseError &e) {
        QCOMPARE(e.message(), QStringLiteral("Table1: Index existiert nicht. Index: %1").arg(name));
    }
    QCOMPARE(t.indexName(), QStringLiteral("BL"));
    QCOMPARE(held(t), before);
    QCOMPARE(t.currentIndex(), row);
    QCOMPARE(o.m.engine.calls("switchToIndex"), 0);
    QCOMPARE(o.m.engine.activeTag(), std::string("BL"));
    QCOMPARE(changed.count(), 0);
}

void tst_TableCursorOrders::noCurrentRecordRetriesWithoutKeeping()
{
    Opened o(20, 5);
    TableCursor &t = o.t();
    QCOMPARE(t.stepBy(5), 5);
    o.m.engine.resetCalls();
    o.m.engine.failCall("switchToIndex", dbase::status::NoCurrentRecord);
    t.setIndexName(QStringLiteral("BEZIRK"));
    QCOMPARE(o.m.engine.calls("switchToIndex"), 2);
    QCOMPARE(t.indexName(), QStringLiteral("BEZIRK"));
    // Without a kept record the engine starts at the order's beginning.
    QCOMPARE(t.recordNumber(), o.m.orderOf("BEZIRK").front());
    verifyWindowInOrder(t, o.m.orderOf("BEZIRK"));
}

void tst_TableCursorOrders::failedSwitchKeepsState()
{
    Opened o(20, 5);
    TableCursor &t = o.t();
    QCOMPARE(t.stepBy(8), 8);
    const std::vector<int> before = held(t);
    o.m.engine.failCall("switchToIndex", dbase::status::IndexDamaged);
    QVERIFY_THROWS_EXCEPTION(EDBEngineError, t.setIndexName(QStringLiteral("MAX")));
    QCOMPARE(t.indexName(), QStringLiteral("KLEINGEM"));
    QCOMPARE(held(t), before);
    QVERIFY(!t.atStart() && !t.atEnd());
    QCOMPARE(t.stepBy(1), 1); // still walks the name order
    QCOMPARE(t.recordNumber(), o.m.orderOf("KLEINGEM")[9]);
}

void tst_TableCursorOrders::switchWhileClosedOnlyRenames()
{
    FakeMunicipalities m(10, false);
    m.table->setIndexName(QStringLiteral("Bezirk"));
    QCOMPARE(m.table->indexName(), QStringLiteral("Bezirk"));
    QCOMPARE(m.engine.totalCalls(), 0);
    m.table->setActive(true);
    QCOMPARE(m.table->recordNumber(), m.orderOf("BEZIRK").front());
}

void tst_TableCursorOrders::recordNumberAfterSwitchThenStep()
{
    Opened o(20, 5);
    TableCursor &t = o.t();
    QCOMPARE(t.stepBy(4), 4);
    const int number = t.recordNumber();
    t.setIndexName(QStringLiteral("POTENTIAL"));
    QCOMPARE(t.recordNumber(), number);
    const std::vector<int> order = o.m.orderOf("POTENTIAL");
    const int place = placeOf(order, number);
    if (place + 1 < int(order.size())) {
        QCOMPARE(t.stepBy(1), 1);
        QCOMPARE(t.recordNumber(), order[std::size_t(place + 1)]);
    } else {
        QCOMPARE(t.stepBy(1), 0);
        QVERIFY(t.atEnd());
    }
}

void tst_TableCursorOrders::searchFindsNearest_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("found");
    QTest::newRow("exact") << QStringLiteral("wien") << QStringLiteral("Wien");
    QTest::newRow("prefix of a longer name")
        << QStringLiteral("wiene") << QStringLiteral("Wiener Neustadt");
    QTest::newRow("between names") << QStringLiteral("grb") << QStringLiteral("Hall");
    QTest::newRow("beyond every name") << QStringLiteral("zzz") << QStringLiteral("Wörgl");
    QTest::newRow("empty") << QString() << QStringLiteral("Amstetten");
    QTest::newRow("umlaut") << QStringLiteral("mö") << QStringLiteral("Mödling");
}

void tst_TableCursorOrders::searchFindsNearest()
{
    QFETCH(QString, text);
    QFETCH(QString, found);
    Opened o(50, 10);
    TableCursor &t = o.t();
    QSignalSpy changed(&t, &TableCursor::windowChanged);
    search(t, text);
    QVERIFY(!t.inKeyMode());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(t.fieldNamed(QStringLiteral("GEMEINDE"))->displayText(), found);
    QVERIFY(!t.atStart());
    QVERIFY(!t.atEnd());
    verifyWindowInOrder(t, o.m.orderOf("KLEINGEM"));
}

void tst_TableCursorOrders::centredRebuildRows_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("place"); // of the found record in the name order
    QTest::addColumn<int>("row");   // where it lands in the window
    QTest::newRow("W=10, middle") << 10 << 20 << 4;
    QTest::newRow("W=10, few before") << 10 << 2 << 2;
    QTest::newRow("W=10, near end") << 10 << 47 << 7;
    QTest::newRow("W=10, last") << 10 << 49 << 9;
    QTest::newRow("W=1") << 1 << 20 << 0;
    QTest::newRow("W=5") << 5 << 20 << 2;
}

void tst_TableCursorOrders::centredRebuildRows()
{
    QFETCH(int, rows);
    QFETCH(int, place);
    QFETCH(int, row);
    Opened o(50, rows);
    TableCursor &t = o.t();
    const std::vector<int> order = o.m.orderOf("KLEINGEM");
    const QString key = QString::fromLatin1(o.m.engine.row(order[std::size_t(place)])[12]);
    search(t, key);
    QCOMPARE(t.recordNumber(), order[std::size_t(place)]);
    QCOMPARE(t.currentIndex(), row);
    QCOMPARE(t.windowCount(), rows);
    verifyWindowInOrder(t, order);
}

void tst_TableCursorOrders::searchTextCutToFieldWidth()
{
    Opened o(20, 5);
    TableCursor &t = o.t();
    t.enterKeyMode();
    Field *key = t.fieldNamed(QStringLiteral("KLEINGEM"));
    key->setAsString(QStringLiteral("graz") + QString(36, u'x'));
    QVERIFY(t.inKeyMode());
    QCOMPARE(o.m.engine.lastPutValue(), "graz" + std::string(26, 'x'));
    QCOMPARE(key->displayText(), QStringLiteral("graz") + QString(26, u'x')); // read from the key
    t.searchNearest();
    QCOMPARE(t.fieldNamed(QStringLiteral("GEMEINDE"))->displayText(), QStringLiteral("Innsbruck"));
    QCOMPARE(key->displayText(), QStringLiteral("innsbruck"));
}

void tst_TableCursorOrders::keyFieldChecks_data()
{
    QTest::addColumn<QString>("order");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("error");
    QTest::newRow("key field") << QStringLiteral("KLEINGEM") << QStringLiteral("KLEINGEM")
                               << QString();
    QTest::newRow("other field")
        << QStringLiteral("KLEINGEM") << QStringLiteral("GEMEINDE")
        << QStringLiteral("Feld 'GEMEINDE' ist nicht indiziert und kann nicht verändert werden");
    QTest::newRow("field named in lower case")
        << QStringLiteral("BL") << QStringLiteral("länge")
        << QStringLiteral("Feld 'LÄNGE' ist nicht indiziert und kann nicht verändert werden");
    QTest::newRow("expression key takes any field")
        << QStringLiteral("MIN") << QStringLiteral("BL") << QString();
}

void tst_TableCursorOrders::keyFieldChecks()
{
    QFETCH(QString, order);
    QFETCH(QString, field);
    QFETCH(QString, error);
    Opened o(20, 5);
    TableCursor &t = o.t();
    t.setIndexName(order);
    t.enterKeyMode();
    try {
        t.fieldNamed(field)->setAsString(QStringLiteral("7"));
        QVERIFY2(error.isEmpty(), "an error was expected");
        QCOMPARE(t.fieldNamed(field)->displayText(), QStringLiteral("7"));
    } catch (const EDatabaseError &e) {
        QCOMPARE(e.message(), error);
    }
}

void tst_TableCursorOrders::assignOutsideKeyModeFails()
{
    Opened o(20, 5);
    TableCursor &t = o.t();
    for (int pass = 0; pass < 2; ++pass) { // before any search and after one
        try {
            t.fieldNamed(QStringLiteral("KLEINGEM"))->setAsString(QStringLiteral("wien"));
            QFAIL("no error");
        } catch (const EDatabaseError &e) {
            QCOMPARE(e.message(),
                     QStringLiteral("Table1: Datenmenge weder im Editier- noch im Einfügemodus"));
        }
        search(t, QStringLiteral("linz"));
    }
    QCOMPARE(t.fieldNamed(QStringLiteral("GEMEINDE"))->displayText(), QStringLiteral("Linz"));
}

void tst_TableCursorOrders::failedSetToKeyLeavesWindow()
{
    Opened o(20, 5);
    TableCursor &t = o.t();
    QCOMPARE(t.stepBy(2), 2);
    const std::vector<int> before = held(t);
    t.enterKeyMode();
    t.fieldNamed(QStringLiteral("KLEINGEM"))->setAsString(QStringLiteral("wien"));
    o.m.engine.failCall("setToKey", dbase::status::IndexDamaged);
    QSignalSpy changed(&t, &TableCursor::windowChanged);
    QVERIFY_THROWS_EXCEPTION(EDBEngineError, t.searchNearest());
    QVERIFY(!t.inKeyMode());
    QCOMPARE(held(t), before);
    QCOMPARE(changed.count(), 0);
    o.m.engine.resetCalls();
    QCOMPARE(t.stepBy(3), 3); // the engine position is no longer trusted
    QCOMPARE(o.m.engine.calls("setToBookmark"), 1);
}

void tst_TableCursorOrders::expressionOrderSearchesByRecord()
{
    Opened o(20, 5);
    TableCursor &t = o.t();
    t.setIndexName(QStringLiteral("MIN"));
    o.m.engine.resetCalls();
    t.enterKeyMode();
    t.searchNearest();
    // The fake cannot extract an expression key, so the record is passed instead.
    QCOMPARE(o.m.engine.calls("extractKey"), 1);
    QCOMPARE(o.m.engine.calls("setToKey"), 1);
    QCOMPARE(t.recordNumber(), o.m.orderOf("MIN").front());
}

void tst_TableCursorOrders::searchTranslatesToTableCodePage()
{
    fake::FakeEngine engine;
    engine.setCodePage(437);
    engine.setFields(
        {{"NAME", dbase::FieldType::Text, 10}, {"KLEINGEM", dbase::FieldType::Text, 10}});
    engine.addRecord({"Graz", "graz"});
    engine.addRecord({"M\x94"
                      "dling",
                      "m\x94"
                      "dling"}); // ö in code page 437
    engine.addRecord({"Zell", "zell"});
    engine.addFieldOrder("KLEINGEM", "KLEINGEM");
    TableCursor t(engine);
    t.setTableName(QStringLiteral("ORTE.DBF"));
    t.setActive(true);
    QCOMPARE(t.fieldNamed(QStringLiteral("NAME"))->displayText(), QStringLiteral("Graz"));
    search(t, QStringLiteral("mö"));
    QCOMPARE(engine.lastPutValue(), std::string("m\x94"));
    QCOMPARE(t.fieldNamed(QStringLiteral("NAME"))->displayText(), QStringLiteral("Mödling"));
}

QTEST_GUILESS_MAIN(tst_TableCursorOrders)
#include "tst_TableCursorOrders.moc"
