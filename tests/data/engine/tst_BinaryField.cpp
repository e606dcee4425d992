// The binary columns of FoxPro and dBASE 7 tables: each stored form, its blank, its
// edge values and the texts shown for them.
#include "BinaryField.h"

#include <QtTest>

using namespace dbase;

Q_DECLARE_METATYPE(dbase::FieldType)

class tst_BinaryField : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
};

void tst_BinaryField::decode_data()
{
    QTest::addColumn<FieldType>("type");
    QTest::addColumn<QByteArray>("hex");
    QTest::addColumn<bool>("decoded"); // false: no value can be shown
    QTest::addColumn<bool>("blank");
    QTest::addColumn<QString>("text");

    using T = FieldType;
    auto row = [](const char *name, T type, const char *hex, bool decoded, bool blank,
                  const char *text) {
        QTest::newRow(name) << type << QByteArray(hex) << decoded << blank << QString(text);
    };
    row("FoxPro integer -5", T::Long, "fbffffff", true, false, "-5");
    row("FoxPro integer 0", T::Long, "00000000", true, false, "0");
    row("FoxPro integer, lowest", T::Long, "00000080", true, false, "-2147483648");
    row("integer of spaces", T::Long, "20202020", true, true, "");
    row("integer of 3 bytes", T::Long, "010203", false, true, "");
    row("dBASE 7 integer -5", T::SortedLong, "7ffffffb", true, false, "-5");
    row("dBASE 7 integer 1", T::SortedLong, "80000001", true, false, "1");
    row("dBASE 7 integer, no value", T::SortedLong, "00000000", true, true, "");
    row("double 0.1", T::Double, "9a9999999999b93f", true, false, "0.1");
    row("double 100000", T::Double, "00000000006af840", true, false, "100000");
    row("double 1e20", T::Double, "408cb5781daf1544", true, false, "1e+20");
    row("double -0", T::Double, "0000000000000080", true, false, "0");
    row("dBASE 7 double 12.5", T::SortedDouble, "c029000000000000", true, false, "12.5");
    row("dBASE 7 double -2", T::SortedDouble, "3fffffffffffffff", true, false, "-2");
    row("dBASE 7 double, no value", T::SortedDouble, "0000000000000000", true, true, "");
    row("currency 12.34", T::Currency, "08e2010000000000", true, false, "12.3400");
    row("currency -0.0005", T::Currency, "fbffffffffffffff", true, false, "-0.0005");
    row("currency, lowest", T::Currency, "0000000000000080", true, false, "-922337203685477.5808");
    row("date-time 2026-12-08 14:05:00", T::DateTime, "c78e2500e09e0503", true, false,
        "2026-12-08 14:05:00");
    row("date-time, 999 ms rounded up", T::DateTime, "c78e2500c7a20503", true, false,
        "2026-12-08 14:05:01");
    row("date-time, last moment of a day", T::DateTime, "c78e2500ff5b2605", true, false,
        "2026-12-09 00:00:00");
    row("date-time, empty", T::DateTime, "0000000000000000", true, true, "");
    row("date-time, day 0 with milliseconds", T::DateTime, "0000000004000000", true, true, "");
    row("date-time, milliseconds beyond a day", T::DateTime, "c78e2500005c2605", false, true, "");
    row("date-time before the year 1", T::DateTime, "0100000000000000", false, true, "");
    // As the Borland engine wrote 2000-08-16 17:21:41.31.
    row("dBASE 7 timestamp", T::Timestamp, "42ccb20e0340df00", true, false, "2000-08-16 17:21:41");
    row("dBASE 7 timestamp 0001-01-01", T::Timestamp, "4194997000000000", true, false,
        "0001-01-01 00:00:00");
    row("dBASE 7 timestamp, none", T::Timestamp, "0000000000000000", true, true, "");
    row("dBASE 7 timestamp, negative", T::Timestamp, "c2ccb20e0340df00", false, true, "");
}

void tst_BinaryField::decode()
{
    QFETCH(FieldType, type);
    QFETCH(QByteArray, hex);
    QFETCH(bool, decoded);
    const QByteArray bytes = QByteArray::fromHex(hex);
    const auto value =
        BinaryField::decode(type, std::string_view(bytes.constData(), std::size_t(bytes.size())));
    QCOMPARE(value.has_value(), decoded);
    if (!value)
        return;
    QTEST(value->blank, "blank");
    QTEST(QString::fromStdString(value->text), "text");
}

QTEST_APPLESS_MAIN(tst_BinaryField)
#include "tst_BinaryField.moc"
