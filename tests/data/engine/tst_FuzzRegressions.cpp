// Inputs that the fuzz targets (fuzz/) found to break a reader, reduced to the
// unit at fault. The whole crashing files are in fuzz/corpus/ as well.
#include "FieldDecoder.h"

#include <QtTest>

using namespace dbase;

Q_DECLARE_METATYPE(dbase::FieldType)

class tst_FuzzRegressions : public QObject
{
    Q_OBJECT

private slots:
    void numbersThatAreNoNumbers_data();
    void numbersThatAreNoNumbers();
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
        QTest::addRow("small integer %s", text) << FieldType::SmallInt << QByteArray(text) << true << 0.0;
        QTest::addRow("integer %s", text) << FieldType::Integer << QByteArray(text) << true << 0.0;
        QTest::addRow("number %s", text) << FieldType::Number << QByteArray(text) << true << 0.0;
    }
    QTest::newRow("small integer -12") << FieldType::SmallInt << QByteArray("  -12") << false << -12.0;
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

QTEST_APPLESS_MAIN(tst_FuzzRegressions)
#include "tst_FuzzRegressions.moc"
