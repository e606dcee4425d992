// Opening Table1: the sequence of engine steps, what each failure leaves, the fields
// and the index list built from the table.
#include "DatabaseErrors.h"
#include "FakeMunicipalities.h"
#include "FakeView.h"
#include "TableCursor.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>

using fake::FakeMunicipalities;
using fake::FakeView;
namespace st = dbase::status;

namespace {

// True when the calls occur in the log in this order (other calls may lie between).
bool inOrder(const std::vector<std::string> &log, const std::vector<std::string> &calls)
{
    auto it = log.begin();
    for (const std::string &call : calls) {
        it = std::find(it, log.end(), call);
        if (it == log.end())
            return false;
        ++it;
    }
    return true;
}

} // namespace

class tst_TableCursorOpen : public QObject
{
    Q_OBJECT

private slots:
    void openSequence();
    void engineAlreadyRunningIsNotStarted();
    void startFailure_data();
    void startFailure();
    void tableOpenFailureLeavesClosed_data();
    void tableOpenFailureLeavesClosed();
    void readOnlyAnswerRetriesOpen();
    void indexFileOnlyForDbaseDrivers_data();
    void indexFileOnlyForDbaseDrivers();
    void missingTagAtOpen();
    void tagLookupIgnoresCase();
    void errorWhileFillingLeavesOpen();
    void fieldsAndIndexListFromTable();
    void fieldNamesTranslatedFromCodePage();
};

void tst_TableCursorOpen::openSequence()
{
    FakeMunicipalities m(20, false);
    QSignalSpy state(m.table.get(), &TableCursor::stateChanged);
    m.table->setActive(true);
    QVERIFY(m.table->isActive());
    QCOMPARE(state.count(), 1);
    QVERIFY(inOrder(m.engine.callLog(),
                    {"start", "driverFor", "openTable", "indexDescs", "close", "openTable",
                     "openIndexFile", "cursorLocale", "properties", "fieldDescs", "setToBegin",
                     "switchToIndex", "switchToIndex", "indexFacts", "getNext", "getBookmark"}));
    QCOMPARE(m.engine.calls("setToBegin"), 1);
    QCOMPARE(m.engine.calls("getNext"), 1); // W = 1 without views
    QCOMPARE(m.engine.activeTag(), std::string("KLEINGEM"));
    QVERIFY(m.table->atStart());
    QVERIFY(!m.table->atEnd());
}

void tst_TableCursorOpen::engineAlreadyRunningIsNotStarted()
{
    FakeMunicipalities m(5, false);
    m.engine.setStarted(true);
    m.table->setActive(true);
    QCOMPARE(m.engine.calls("start"), 0);
    QVERIFY(m.table->isActive());
}

void tst_TableCursorOpen::startFailure_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("no library")
        << int(st::LibraryNotFound)
        << QStringLiteral("Bei der Initialisierung der Borland Database Engine ist ein "
                          "Fehler aufgetreten (Fehler $2108)");
    QTest::newRow("no start entry")
        << int(st::NoEntry)
        << QStringLiteral("Bei der Initialisierung der Borland Database Engine ist "
                          "ein Fehler aufgetreten (Fehler $2A06)");
    QTest::newRow("engine's own text") << 0x2F01 << QStringLiteral("Engine nicht bereit");
}

void tst_TableCursorOpen::startFailure()
{
    QFETCH(int, code);
    QFETCH(QString, message);
    FakeMunicipalities m(5, false);
    m.engine.failCall("start", dbase::Status(code));
    m.engine.setErrorText(0x2F01, "Engine nicht bereit");
    try {
        m.table->setActive(true);
        QFAIL("no error");
    } catch (const EDBEngineError &e) {
        QCOMPARE(e.message(), message);
        QCOMPARE(e.errorCode(), code);
    }
    QVERIFY(!m.table->isActive());
    QCOMPARE(m.engine.calls("openTable"), 0);
}

void tst_TableCursorOpen::tableOpenFailureLeavesClosed_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<int>("atCall");
    QTest::addColumn<int>("closes"); // engine cursors closed by the failed open
    QTest::newRow("index probe") << QStringLiteral("openTable") << 1 << 0;
    QTest::newRow("table open") << QStringLiteral("openTable") << 2 << 1;
    QTest::newRow("index file") << QStringLiteral("openIndexFile") << 1 << 2;
    QTest::newRow("order switch") << QStringLiteral("switchToIndex") << 1 << 2;
    QTest::newRow("set to begin") << QStringLiteral("setToBegin") << 1 << 2;
}

void tst_TableCursorOpen::tableOpenFailureLeavesClosed()
{
    QFETCH(QString, op);
    QFETCH(int, atCall);
    QFETCH(int, closes);
    FakeMunicipalities m(5, false);
    m.engine.setErrorText(st::FileNotFound, "Datei nicht gefunden.");
    m.engine.failCall(op.toStdString(), st::FileNotFound, atCall);
    QSignalSpy state(m.table.get(), &TableCursor::stateChanged);
    try {
        m.table->setActive(true);
        QFAIL("no error");
    } catch (const EDBEngineError &e) {
        QCOMPARE(e.message(), QStringLiteral("Datei nicht gefunden."));
        QCOMPARE(e.typeName(), "EDBEngineError");
    }
    QVERIFY(!m.table->isActive());
    QVERIFY(m.table->fields().isEmpty());
    QCOMPARE(state.count(), 0);
    QCOMPARE(m.engine.calls("close"), closes);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, m.table->stepBy(1));
    // A later open succeeds.
    m.table->setActive(true);
    QVERIFY(m.table->isActive());
    QCOMPARE(m.table->fields().size(), 14);
}

void tst_TableCursorOpen::readOnlyAnswerRetriesOpen()
{
    FakeMunicipalities m(5, false);
    m.engine.failCall("openTable", st::TableReadOnly, 2);
    m.table->setActive(true);
    QVERIFY(m.table->isActive());
    QCOMPARE(m.engine.calls("openTable"), 3);
}

void tst_TableCursorOpen::indexFileOnlyForDbaseDrivers_data()
{
    QTest::addColumn<QString>("driver");
    QTest::addColumn<int>("indexOpens");
    QTest::newRow("dBASE") << QStringLiteral("DBASE") << 1;
    QTest::newRow("FoxPro") << QStringLiteral("FOXPRO") << 1;
    QTest::newRow("Paradox") << QStringLiteral("PARADOX") << 0;
}

void tst_TableCursorOpen::indexFileOnlyForDbaseDrivers()
{
    QFETCH(QString, driver);
    QFETCH(int, indexOpens);
    FakeMunicipalities m(5, false);
    m.engine.setDriver(driver.toStdString());
    m.table->setActive(true);
    QCOMPARE(m.engine.calls("openIndexFile"), indexOpens);
}

void tst_TableCursorOpen::missingTagAtOpen()
{
    FakeMunicipalities m(5, false);
    m.table->setIndexName(QStringLiteral("GEMEINDE"));
    try {
        m.table->setActive(true);
        QFAIL("no error");
    } catch (const EDatabaseError &e) {
        QCOMPARE(e.message(), QStringLiteral("Table1: Index existiert nicht. Index: GEMEINDE"));
        QCOMPARE(e.typeName(), "EDatabaseError");
    }
    QVERIFY(!m.table->isActive());
    QCOMPARE(m.engine.calls("openTable"), 1); // the probe for the index list only
    QCOMPARE(m.engine.calls("close"), 1);
}

void tst_TableCursorOpen::tagLookupIgnoresCase()
{
    FakeMunicipalities m(8, false);
    m.table->setIndexName(QStringLiteral("bezirk"));
    m.table->setActive(true);
    QCOMPARE(m.table->indexName(), QStringLiteral("bezirk"));
    QCOMPARE(m.table->recordNumber(), m.orderOf("BEZIRK").front());
}

void tst_TableCursorOpen::errorWhileFillingLeavesOpen()
{
    FakeView view(5);
    FakeMunicipalities m(20, false);
    m.table->attachView(&view);
    m.engine.failCall("getNext", st::TableDamaged, 3);
    QSignalSpy state(m.table.get(), &TableCursor::stateChanged);
    QVERIFY_THROWS_EXCEPTION(EDBEngineError, m.table->setActive(true));
    QVERIFY(m.table->isActive());
    QCOMPARE(state.count(), 1);
    QCOMPARE(m.table->windowCount(), 2);
    QVERIFY(m.table->atStart());
    QCOMPARE(m.table->recordNumber(), m.orderOf("KLEINGEM").front());
}

void tst_TableCursorOpen::fieldsAndIndexListFromTable()
{
    FakeMunicipalities m(5);
    const QList<Field *> &fields = m.table->fields();
    const QStringList names{"GEMEINDE",  "GEMNR",  "BEZIRK",   "BL",  "BREITE",
                            "LÄNGE",     "MITTEL", "MIN",      "MAX", "JAHRESMITT",
                            "POTENTIAL", "KLASSE", "KLEINGEM", "TEXT"};
    QCOMPARE(fields.size(), names.size());
    for (int i = 0; i < fields.size(); ++i) {
        QCOMPARE(fields[i]->fieldName(), names[i]);
        QCOMPARE(fields[i]->ordinal(), i);
        QCOMPARE(fields[i]->displayLabel(), names[i]);
    }
    QCOMPARE(fields[0]->kind(), Field::Kind::String);
    QCOMPARE(fields[0]->size(), 30);
    QCOMPARE(fields[11]->kind(), Field::Kind::SmallInt);
    QCOMPARE(fields[13]->kind(), Field::Kind::Memo);

    const QList<IndexDef> &defs = m.table->indexDefs();
    QStringList tags;
    for (const IndexDef &def : defs) {
        tags << def.name;
        QCOMPARE(def.indexFile, QStringLiteral("CD_GIS.MDX"));
    }
    QCOMPARE(tags,
             (QStringList{"KLEINGEM", "BL", "POTENTIAL", "MIN", "JAHRESMITT", "MAX", "BEZIRK"}));
    QVERIFY(!defs[0].isExpression);
    QCOMPARE(defs[2].expression, QStringLiteral("VAL(POTENTIAL)+KLASSE"));
    QVERIFY(defs[2].isExpression);
}

void tst_TableCursorOpen::fieldNamesTranslatedFromCodePage()
{
    fake::FakeEngine engine;
    engine.setCodePage(850);
    engine.setFields({{"L\x8E"
                       "NGE",
                       dbase::FieldType::Text, 5},
                      {"ORT", dbase::FieldType::Text, 8}});
    engine.addRecord({"9.5", "Gr\x84"
                             "n"}); // ä in code page 850
    TableCursor t(engine);
    t.setTableName(QStringLiteral("X.DBF"));
    t.setIndexName(QString()); // the natural order
    t.setActive(true);
    QCOMPARE(t.fields().at(0)->fieldName(), QStringLiteral("LÄNGE"));
    QCOMPARE(t.fieldNamed(QStringLiteral("länge"))->displayText(), QStringLiteral("9.5"));
    QCOMPARE(t.fieldNamed(QStringLiteral("ORT"))->displayText(), QStringLiteral("Grän"));
    QCOMPARE(engine.calls("switchToIndex"), 0);
}

QTEST_GUILESS_MAIN(tst_TableCursorOpen)
#include "tst_TableCursorOpen.moc"
