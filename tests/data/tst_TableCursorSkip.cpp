// Table1's long moves skip within the engine (by place) instead of fetching
// every record on the way. The skip must be invisible: two cursors on the same
// table, one whose engine cannot place (so it walks record by record) and one
// that skips, are moved alike and must agree after every move on the result,
// the flags, the current record, the held records and the notifications.
#include "DbaseEngine.h"
#include "FakeMunicipalities.h"
#include "FakeView.h"
#include "SyntheticMunicipalities.h"
#include "TableCursor.h"
#include "TableWriter.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

using fake::FakeMunicipalities;
using fake::FakeView;

namespace {

constexpr int IntMin = std::numeric_limits<int>::min();
constexpr int IntMax = std::numeric_limits<int>::max();
// A move in a script that stands for StepBy(-RecordTotal), as the title click
// makes it.
constexpr int BackByTotal = IntMin + 1;

struct Cursor
{
    Cursor(int records, int rows, bool canPlace)
        : view(rows), m(records, false), scrolled(m.table.get(), &TableCursor::windowScrolled),
          changed(m.table.get(), &TableCursor::windowChanged)
    {
        if (!canPlace)
            m.engine.failCall("setToPlace", dbase::status::InvalidParameter, 1, true);
        m.table->attachView(&view);
        m.table->setActive(true);
        scrolled.clear();
        changed.clear();
    }
    TableCursor &t() { return *m.table; }

    // What a view can see of one move, as one line of text.
    QString move(int n)
    {
        const int result = t().stepBy(n == BackByTotal ? -t().recordTotal() : n);
        QStringList line{
            QStringLiteral("result %1").arg(result),
            QStringLiteral("start %1 end %2").arg(t().atStart()).arg(t().atEnd()),
            QStringLiteral("current %1 number %2").arg(t().currentIndex()).arg(t().recordNumber())};
        QStringList held;
        for (int i = 0; i < t().windowCount(); ++i)
            held << t().displayText(i, 1);
        line << QStringLiteral("held ") + held.join(QLatin1Char(','));
        for (const QList<QVariant> &args : std::as_const(scrolled))
            line << QStringLiteral("scrolled %1").arg(args.at(0).toInt());
        line << QStringLiteral("changed %1").arg(changed.count());
        scrolled.clear();
        changed.clear();
        return line.join(QStringLiteral("; "));
    }

    FakeView view;
    FakeMunicipalities m;
    QSignalSpy scrolled;
    QSignalSpy changed;
};

// The held records of a cursor as text (name and number of each), and its
// current row.
QString windowOf(const TableCursor &t)
{
    QStringList held;
    for (int i = 0; i < t.windowCount(); ++i)
        held << t.displayText(i, 0) + QLatin1Char('/') + t.displayText(i, 1);
    return QStringLiteral("current %1 of ").arg(t.currentIndex()) + held.join(QLatin1Char(','));
}

} // namespace

class tst_TableCursorSkip : public QObject
{
    Q_OBJECT

private slots:
    void skipMatchesWalk_data();
    void skipMatchesWalk();
    void titleClickMovesSkip();
    void errorInSkipStillNotifies();
    void dbaseEngineSkipLandsWhereStepsLand();
};

void tst_TableCursorSkip::skipMatchesWalk_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("order"); // "" keeps KLEINGEM
    QTest::addColumn<QList<int>>("moves");

    // Title clicks: the walk to the start and back. With five rows, from the
    // first record, a move of k fetches k - 4 records; moves that fetch fewer
    // than 64 walk.
    for (int k : {0, 3, 4, 5, 60, 67, 68, 69, 72, 150, 399}) {
        QTest::addRow("title click k=%d", k)
            << 400 << 5 << QString() << QList<int>{k, BackByTotal, k, 1, -1};
        QTest::addRow("title click k=%d, MIN", k)
            << 400 << 5 << QStringLiteral("MIN") << QList<int>{k, BackByTotal, k, -1, 1};
    }
    // Forward to the last record exactly, one past it, and far past it.
    QTest::newRow("to last exactly") << 400 << 5 << QString() << QList<int>{399, 1, -1};
    QTest::newRow("one past the end") << 400 << 5 << QString() << QList<int>{400, -1, 1};
    QTest::newRow("far past the end") << 400 << 5 << QString() << QList<int>{IntMax, -2, 2};
    QTest::newRow("back to first exactly") << 400 << 5 << QString() << QList<int>{300, -300, -1, 1};
    QTest::newRow("back one past the start") << 400 << 5 << QString() << QList<int>{300, -301, 1};
    QTest::newRow("back far past the start") << 400 << 5 << QString() << QList<int>{300, IntMin, 2};
    // Lengths around the shortest skip, out of the window's last row and its
    // first.
    for (int n : {63, 64, 65, 67, 68, 69, 100})
        QTest::addRow("forward %d, back %d", n, n)
            << 400 << 5 << QString() << QList<int>{n, -n, n + 2, -(n + 2)};
    // A window of one row, a table smaller than the window (never full), a grid's
    // rows.
    QTest::newRow("one row") << 300 << 1 << QString()
                             << QList<int>{1, 2, 100, -50, BackByTotal, 299, 1, -299};
    QTest::newRow("window never full")
        << 4 << 10 << QString() << QList<int>{3, BackByTotal, 2, 10, -10};
    QTest::newRow("rows of the window")
        << 2000 << 14 << QStringLiteral("BEZIRK")
        << QList<int>{1500, BackByTotal, 1500, 600, -1800, 13, -13, 100, -100};
}

void tst_TableCursorSkip::skipMatchesWalk()
{
    QFETCH(int, records);
    QFETCH(int, rows);
    QFETCH(QString, order);
    QFETCH(QList<int>, moves);

    Cursor walk(records, rows, false);
    Cursor skip(records, rows, true);
    if (!order.isEmpty()) {
        walk.t().setIndexName(order);
        skip.t().setIndexName(order);
        QCOMPARE(skip.move(0), walk.move(0));
    }
    for (int n : moves)
        QCOMPARE(skip.move(n), walk.move(n));
}

// The title click's two moves on a table far larger than the window fetch only
// a few windows' worth of records.
void tst_TableCursorSkip::titleClickMovesSkip()
{
    Cursor skip(2000, 14, true);
    QCOMPARE(skip.t().stepBy(1500), 1500);
    skip.m.engine.resetCalls();
    QCOMPARE(skip.t().stepBy(-skip.t().recordTotal()), -1500);
    QCOMPARE(skip.t().stepBy(1500), 1500);
    QCOMPARE(skip.m.engine.calls("setToPlace"), 2);
    QVERIFY2(skip.m.engine.calls("getNext") + skip.m.engine.calls("getPrior") <= 2 * 14 + 2,
             qPrintable(QString::number(skip.m.engine.calls("getNext") +
                                        skip.m.engine.calls("getPrior"))));
}

// An engine error while a skip fetches leaves the window as the completed steps
// made it: still consecutive records of the order, no hole where the skip
// began. The views are told before the error travels on, and the next move
// finds its way again.
void tst_TableCursorSkip::errorInSkipStillNotifies()
{
    Cursor skip(200, 5, true);
    skip.move(4); // the first five records held, the fifth current
    const QString before = windowOf(skip.t());
    skip.m.engine.failCall("getNext", 0x2302, 3);
    QVERIFY_THROWS_EXCEPTION(std::exception, skip.t().stepBy(100));
    QCOMPARE(skip.scrolled.count(), 1);
    QCOMPARE(skip.changed.count(), 0);
    QCOMPARE(windowOf(skip.t()), before);
    QVERIFY(!skip.t().atStart());
    QVERIFY(!skip.t().atEnd());
    skip.scrolled.clear();
    Cursor walk(200, 5, false);
    walk.move(4);
    QCOMPARE(skip.move(1), walk.move(1));
    QCOMPARE(skip.move(100), walk.move(100));
    QCOMPARE(skip.move(-100), walk.move(-100));
}

// On the dBASE engine (its own setToPlace): a long move lands on the record,
// with the window, that single steps reach, in the name order and in two
// others.
void tst_TableCursorSkip::dbaseEngineSkipLandsWhereStepsLand()
{
    constexpr int Records = 300;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TableWriter writer(QDir(dir.path()).filePath(QStringLiteral("CD_GIS.DBF")).toStdString(), 0x57);
    std::string error;
    QVERIFY2(writer.open(error), error.c_str());
    SyntheticMunicipalities towns;
    for (int n = 1; n <= Records; ++n)
        QVERIFY2(writer.append(towns.next(std::uint32_t(n)), error), error.c_str());
    QVERIFY2(writer.finish(true, error), error.c_str());

    std::unique_ptr<dbase::Engine> engine = dbase::createDbaseEngine();
    FakeView view(8);
    auto open = [&] {
        auto t = std::make_unique<TableCursor>(*engine);
        t->setTableName(QStringLiteral("CD_GIS.DBF"));
        t->setDirectory(dir.path());
        t->setIndexFiles({QStringLiteral("CD_GIS.MDX")});
        t->attachView(&view);
        t->setActive(true);
        return t;
    };
    std::unique_ptr<TableCursor> steps = open();
    std::unique_ptr<TableCursor> skip = open();
    for (const char *tag : {"KLEINGEM", "MIN", "BEZIRK"}) {
        steps->setIndexName(QString::fromLatin1(tag));
        skip->setIndexName(QString::fromLatin1(tag));
        for (int k : {100, 150, Records - 1}) {
            steps->goToFirst();
            skip->goToFirst();
            for (int i = 0; i < k; ++i)
                QCOMPARE(steps->stepBy(1), 1);
            QCOMPARE(skip->stepBy(k), k);
            QCOMPARE(windowOf(*skip), windowOf(*steps));
            QCOMPARE(skip->recordNumber(), steps->recordNumber());
            QVERIFY(!skip->atEnd());
            // Back by the count, as the title click does: the first records, the
            // first current.
            QCOMPARE(skip->stepBy(-skip->recordTotal()), -k);
            steps->goToFirst();
            QCOMPARE(windowOf(*skip), windowOf(*steps));
            QVERIFY(skip->atStart());
        }
        // Far past the end: the last records, the last current, AtEnd.
        QCOMPARE(skip->stepBy(Records * 3), Records - 1);
        steps->goToLast();
        QCOMPARE(windowOf(*skip), windowOf(*steps));
        QVERIFY(skip->atEnd());
    }
    steps.reset();
    skip.reset();
    engine->stop();
}

QTEST_GUILESS_MAIN(tst_TableCursorSkip)
#include "tst_TableCursorSkip.moc"
