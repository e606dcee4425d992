// Inputs that the fuzz targets (fuzz/) found to break a reader, reduced to the
// unit at fault. The whole crashing files are in fuzz/corpus/ as well.
#include "FieldDecoder.h"
#include "MemoryTable.h"
#include "SortOrder.h"

#include <QtTest>

using namespace dbase;

Q_DECLARE_METATYPE(dbase::FieldType)

class tst_FuzzRegressions : public QObject
{
    Q_OBJECT

private slots:
    void numbersThatAreNoNumbers_data();
    void numbersThatAreNoNumbers();
    void numericKeysBeyondFifteenDigits_data();
    void numericKeysBeyondFifteenDigits();
};

void tst_FuzzRegressions::numbersThatAreNoNumbers_data()
{
    QTest::addColumn<FieldType>("type");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("blank");
    QTest::addColumn<double>("number");
    // from_chars reads "nan" and "inf"; converting them to an integer was undefined
    // (fuzz_dbf: crash-nan-in-integer-field).
    for (const char *text : {"  nan", "  NAN", "  inf", " -inf", "+infinity", "nan(1)"}) {
        QTest::addRow("small integer %s", text)
            << FieldType::SmallInt << QByteArray(text) << true << 0.0;
        QTest::addRow("integer %s", text) << FieldType::Integer << QByteArray(text) << true << 0.0;
        QTest::addRow("number %s", text) << FieldType::Number << QByteArray(text) << true << 0.0;
    }
    QTest::newRow("small integer -12")
        << FieldType::SmallInt << QByteArray("  -12") << false << -12.0;
    QTest::newRow("integer 40000") << FieldType::Integer << QByteArray("40000") << false << 40000.0;
    QTest::newRow("number 1,5") << FieldType::Number << QByteArray("  1,5") << false << 1.5;
}

void tst_FuzzRegressions::numbersThatAreNoNumbers()
{
    QFETCH(FieldType, type);
    QFETCH(QByteArray, stored);
    QFETCH(bool, blank);
    QFETCH(double, number);
    FieldDesc field;
    field.typeLetter = 'N';
    field.type = type;
    field.width = int(stored.size());
    field.decimals = type == FieldType::Number ? 1 : 0;
    field.offset = 1;
    const QByteArray record = " " + stored;
    const FieldValue value = FieldDecoder::decode(field, record.constData());
    QCOMPARE(value.blank, blank);
    if (type == FieldType::Number)
        QCOMPARE(value.number, number);
    else
        QCOMPARE(double(value.integer), number);
}

void tst_FuzzRegressions::numericKeysBeyondFifteenDigits_data()
{
    QTest::addColumn<QString>("expression");
    // fuzz_key_expression: crash-sixteen-digit-key-not-found. The order was sorted by
    // the full double, the key searched for holds 15 digits: a record's own key
    // did not find it.
    QTest::newRow("VAL of 16 digits") << "VAL(ZAHL)";
    QTest::newRow("negated") << "-VAL(ZAHL)";
    QTest::newRow("difference") << "VAL(ZAHL)-VAL(ZAHL2)";
}

void tst_FuzzRegressions::numericKeysBeyondFifteenDigits()
{
    QFETCH(QString, expression);
    MemoryTable table;
    table.field("ZAHL", 'C', 20).field("ZAHL2", 'C', 20);
    for (const char *value : {"2222222222222222", "2222222222222221", "-9007199254740993", "12.5",
                              "1e400", "0.1", "99999999999999999999"})
        table.row({value, "0.3"});
    const auto parsed = KeyExpression::parse(expression.toStdString(), table.fields());
    const auto order = SortOrder::build(table, parsed);
    QCOMPARE(order->size(), std::size_t(7));
    for (std::uint32_t r = 1; r <= table.storedCount(); ++r) {
        const std::string key = parsed->encode(parsed->evaluate(table.recordData(r)));
        const std::size_t place = order->seek(key, false);
        QVERIFY2(place < order->size(), qPrintable(QString("record %1 not found").arg(r)));
        QCOMPARE(parsed->encode(parsed->evaluate(table.recordData(order->recordAt(place)))), key);
    }
}

QTEST_APPLESS_MAIN(tst_FuzzRegressions)
#include "tst_FuzzRegressions.moc"
