// Orders built in memory: record order per key expression, deleted records left
// out, equal keys in record order, FOR conditions, unique and descending tags, the
// collation of the language driver, placeOf() and the nearest-key seek.
#include "KeyExpression.h"
#include "MemoryTable.h"
#include "SortOrder.h"

#include <QtTest>

#include <algorithm>

using dbase::Key;
using dbase::KeyExpression;
using dbase::SortOrder;

namespace {

// Rows as "KLEINGEM|MIN|POTENTIAL|KLASSE"; a leading '*' marks a deleted record.
MemoryTable municipalities(const QStringList &rows)
{
    MemoryTable t;
    t.field("KLEINGEM", 'C', 30)
        .field("MIN", 'C', 5)
        .field("POTENTIAL", 'C', 5)
        .field("KLASSE", 'N', 4);
    for (QString row : rows) {
        const bool deleted = row.startsWith(QLatin1Char('*'));
        if (deleted)
            row.remove(0, 1);
        std::vector<std::string> values;
        for (const QString &v : row.split(QLatin1Char('|')))
            values.push_back(v.toLatin1().toStdString()); // cp1252 bytes
        t.row(values, deleted);
    }
    return t;
}

std::shared_ptr<const SortOrder> orderOf(const MemoryTable &table, const QString &expression,
                                         bool descending = false, int driver = 0x57,
                                         const QString &condition = {}, bool unique = false)
{
    const dbase::Collation collation = dbase::Collation::forLanguageDriver(driver);
    SortOrder::Options options;
    options.descending = descending;
    options.unique = unique;
    if (!condition.isEmpty())
        options.condition = KeyExpression::parseCondition(condition.toLatin1().toStdString(),
                                                          table.fields(), collation);
    return SortOrder::build(
        table, KeyExpression::parse(expression.toLatin1().toStdString(), table.fields(), collation),
        options);
}

QList<int> recordsOf(const SortOrder &order)
{
    QList<int> records;
    for (std::size_t p = 0; p < order.size(); ++p)
        records << int(order.recordAt(p));
    return records;
}

std::string textKey(const char *text)
{
    return text;
}

std::string numberKey(double value)
{
    Key k;
    k.numeric = true;
    k.number = value;
    const MemoryTable t = municipalities({});
    return KeyExpression::parse("VAL(MIN)", t.fields())->encode(k);
}

const QStringList names{"wien", "wiener neustadt", "abtenau", "zell am see", "Zwettl", "*aaa",
                        "wien"};

} // namespace

class tst_SortOrder : public QObject
{
    Q_OBJECT

private slots:
    void recordOrder_data();
    void recordOrder();
    void tagOptions_data();
    void tagOptions();
    void collatedOrder_data();
    void collatedOrder();
    void seek_data();
    void seek();
    void placeOfEveryRecord_data();
    void placeOfEveryRecord();
    void placeOfRecordsOutsideTheOrder();
    void emptyTable();
};

void tst_SortOrder::recordOrder_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("expression");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QList<int>>("records");

    QTest::newRow("names: wien before wiener neustadt, capitals first, deleted absent")
        << names << "KLEINGEM" << false << QList<int>{5, 3, 1, 7, 2, 4};
    QTest::newRow("MIN: letters and blanks count as 0, before positive values")
        << QStringList{"a|120", "b|n.b.", "c|", "d|5", "e|-3", "f|0.5", "g|k.A.", "*h|0"}
        << "VAL(MIN)" << false << QList<int>{5, 2, 3, 7, 6, 4, 1};
    QTest::newRow("POTENTIAL: equal sums side by side in record order")
        << QStringList{"a||100|1", "b||99|2",  "c||200|",  "d||50|-1",
                       "e||101|",  "*f||101|", "g||102|-1"}
        << "VAL(POTENTIAL)+KLASSE" << false << QList<int>{4, 1, 2, 5, 7, 3};
    QTest::newRow("POTENTIAL: negative and empty KLASSE")
        << QStringList{"a||10|-20", "b||10|", "c||abc|-1", "d||0|0"} << "VAL(POTENTIAL)+KLASSE"
        << false << QList<int>{1, 3, 4, 2};
    QTest::newRow("decimal sums that are equal in decimal")
        << QStringList{"a|0.1|0.2", "b|0.3|0", "c|0.2|0.1", "d|0.29|0"} << "VAL(MIN)+VAL(POTENTIAL)"
        << false << QList<int>{4, 1, 2, 3};
    QTest::newRow("descending keeps equal keys in record order")
        << QStringList{"a|1", "b|2", "c|1", "d|2"} << "VAL(MIN)" << true << QList<int>{2, 4, 1, 3};
    QTest::newRow("descending text") << names << "KLEINGEM" << true << QList<int>{4, 2, 1, 7, 3, 5};
    QTest::newRow("text keys equal in the first 8 bytes")
        << QStringList{"sankt wolfgang", "sankt valentin", "sankt wolfgang im s", "sankt",
                       "sankt valentin"}
        << "KLEINGEM" << false << QList<int>{4, 2, 5, 1, 3};
    QTest::newRow("text expression") << QStringList{"b|x", "a|y", "b|a"} << "UPPER(MIN)+KLEINGEM"
                                     << false << QList<int>{3, 1, 2};
}

void tst_SortOrder::recordOrder()
{
    QFETCH(QStringList, rows);
    QFETCH(QString, expression);
    QFETCH(bool, descending);
    QFETCH(QList<int>, records);

    const MemoryTable table = municipalities(rows);
    const auto order = orderOf(table, expression, descending);
    QCOMPARE(recordsOf(*order), records);
}

void tst_SortOrder::tagOptions_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("condition");
    QTest::addColumn<bool>("unique");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QList<int>>("records");

    QTest::newRow("FOR keeps the records that meet it")
        << QStringList{"a|5", "b|50", "c|7", "d|500", "*e|9"} << "KLEINGEM"
        << "VAL(MIN) < 10" << false << false << QList<int>{1, 3};
    QTest::newRow("FOR .NOT. DELETED()")
        << names << "KLEINGEM"
        << ".NOT. DELETED()" << false << false << QList<int>{5, 3, 1, 7, 2, 4};
    QTest::newRow("FOR on a text with dBASE's = rule")
        << names << "KLEINGEM"
        << "KLEINGEM = 'wien'" << false << false << QList<int>{1, 7, 2};
    QTest::newRow("UNIQUE: the first record of each key")
        << QStringList{"b|1", "a|2", "b|3", "a|4", "c|5"} << "KLEINGEM"
        << "" << true << false << QList<int>{2, 1, 5};
    QTest::newRow("UNIQUE numbers")
        << QStringList{"a|2", "b|1", "c|2.0", "d|x", "e|0"} << "VAL(MIN)"
        << "" << true << false << QList<int>{4, 2, 1};
    QTest::newRow("UNIQUE descending: still the first in record order")
        << QStringList{"b|1", "a|2", "b|3", "a|4"} << "KLEINGEM"
        << "" << true << true << QList<int>{1, 2};
    QTest::newRow("UNIQUE: a deleted first record hides its key, as dBASE keeps it")
        << QStringList{"*b|1", "b|2", "a|3"} << "KLEINGEM"
        << "" << true << false << QList<int>{3};
    QTest::newRow("UNIQUE after FOR: the first record that meets it")
        << QStringList{"b|50", "b|2", "a|3", "b|4"} << "KLEINGEM"
        << "VAL(MIN) < 10" << true << false << QList<int>{3, 2};
    QTest::newRow("DESCEND() walks backwards")
        << QStringList{"b|1", "a|2", "c|3", "a|4"} << "DESCEND(KLEINGEM)"
        << "" << false << false << QList<int>{3, 1, 2, 4};
    QTest::newRow("DESCEND() of a number")
        << QStringList{"a|1", "b|3", "c|2", "d|3"} << "DESCEND(VAL(MIN))"
        << "" << false << false << QList<int>{2, 4, 3, 1};
    QTest::newRow("DESCEND() in a descending tag: ascending")
        << QStringList{"a|1", "b|3", "c|2"} << "DESCEND(VAL(MIN))"
        << "" << false << true << QList<int>{1, 3, 2};
    QTest::newRow("IIF key") << QStringList{"b|1", "a|20", "c|3"}
                             << "IIF(VAL(MIN)>9,'0'+KLEINGEM,'1'+KLEINGEM)"
                             << "" << false << false << QList<int>{2, 1, 3};
}

void tst_SortOrder::tagOptions()
{
    QFETCH(QStringList, rows);
    QFETCH(QString, expression);
    QFETCH(QString, condition);
    QFETCH(bool, unique);
    QFETCH(bool, descending);
    QFETCH(QList<int>, records);

    const MemoryTable table = municipalities(rows);
    const auto order = orderOf(table, expression, descending, 0x57, condition, unique);
    QCOMPARE(recordsOf(*order), records);
    // placeOf() finds exactly the records of the order, and a search finds them too.
    for (std::uint32_t r = 1; r <= table.storedCount(); ++r) {
        const auto place = order->placeOf(r);
        QCOMPARE(place.has_value(), records.contains(int(r)));
        if (place) {
            QCOMPARE(order->recordAt(*place), r);
            const KeyExpression &expr = order->expression();
            const std::size_t found =
                order->seek(expr.encode(expr.evaluate(table.recordData(r))), false);
            QVERIFY(found <= *place);
            QCOMPARE(expr.compare(expr.evaluate(table.recordData(order->recordAt(found))),
                                  expr.evaluate(table.recordData(r))),
                     0);
        }
    }
}

namespace {

// Stored as cp1252 (Latin-1) bytes.
const QStringList collationNames{"Ärger", "Arzt",   "Zell",    "aach",  "Öd",
                                 "Oe",    "Straße", "Strasse", "ägidi", "zz"};

} // namespace

void tst_SortOrder::collatedOrder_data()
{
    QTest::addColumn<int>("driver");
    QTest::addColumn<QByteArray>("key"); // searched, cp1252
    QTest::addColumn<QList<int>>("records");
    QTest::addColumn<int>("found"); // place of the nearest key

    // Folded: Ärger Arzt Öd Oe Strasse Straße Zell aach ägidi zz.
    const QList<int> folded{1, 2, 5, 6, 8, 7, 3, 4, 9, 10};
    QTest::newRow("0x58: base letters first, then bytes") << 0x58 << QByteArray("b") << folded << 9;
    QTest::newRow("0x58: a search beyond z finds the end")
        << 0x58 << QByteArray("zzz") << folded << 10;
    QTest::newRow("0x58: a search for an umlaut's base letter finds it")
        << 0x58 << QByteArray("ag") << folded << 8;
    // Bytes: Arzt Oe Strasse Straße Zell aach zz Ärger Öd ägidi.
    QTest::newRow("0x57: byte order, umlauts after z")
        << 0x57 << QByteArray("zzz") << QList<int>{2, 6, 8, 7, 3, 4, 10, 1, 5, 9} << 7;
}

void tst_SortOrder::collatedOrder()
{
    QFETCH(int, driver);
    QFETCH(QByteArray, key);
    QFETCH(QList<int>, records);
    QFETCH(int, found);

    const MemoryTable table = municipalities(collationNames);
    const auto order = orderOf(table, "KLEINGEM", false, driver);
    QCOMPARE(recordsOf(*order), records);
    QCOMPARE(int(order->seek(key.toStdString(), false)), found);
}

void tst_SortOrder::seek_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<bool>("strictlyGreater");
    QTest::addColumn<int>("place");

    // KLEINGEM order of the names: Zwettl(5) abtenau(3) wien(1) wien(7) wiener neustadt(2) zell am
    // see(4)
    const auto bytes = [](const std::string &s) {
        return QByteArray(s.data(), qsizetype(s.size()));
    };
    QTest::newRow("exact name finds the first of equal names")
        << "KLEINGEM" << QByteArray("wien") << false << 2;
    QTest::newRow("beginning of a longer name") << "KLEINGEM" << QByteArray("wiene") << false << 4;
    QTest::newRow("padded key") << "KLEINGEM" << QByteArray("wiene").leftJustified(30) << false
                                << 4;
    QTest::newRow("greater than every key") << "KLEINGEM" << QByteArray("zzz") << false << 6;
    QTest::newRow("empty key") << "KLEINGEM" << QByteArray() << false << 0;
    QTest::newRow("strictly greater skips equal keys")
        << "KLEINGEM" << QByteArray("wien") << true << 4;
    QTest::newRow("between keys") << "KLEINGEM" << QByteArray("b") << false << 2;
    QTest::newRow("capital sorts before small letters")
        << "KLEINGEM" << QByteArray("Zz") << false << 1;
    // VAL(MIN) order of the rows below: -3(5) 0(2) 0(3) 0.5(6) 5(4) 120(1)
    QTest::newRow("number: first zero") << "VAL(MIN)" << bytes(numberKey(0)) << false << 1;
    QTest::newRow("number: after the zeros") << "VAL(MIN)" << bytes(numberKey(0)) << true << 3;
    QTest::newRow("number: between") << "VAL(MIN)" << bytes(numberKey(4.99)) << false << 4;
    QTest::newRow("number: below all") << "VAL(MIN)" << bytes(numberKey(-100)) << false << 0;
    QTest::newRow("number: beyond all") << "VAL(MIN)" << bytes(numberKey(1000)) << false << 6;
}

void tst_SortOrder::seek()
{
    QFETCH(QString, expression);
    QFETCH(QByteArray, key);
    QFETCH(bool, strictlyGreater);
    QFETCH(int, place);

    const MemoryTable table =
        expression == "KLEINGEM"
            ? municipalities(names)
            : municipalities({"a|120", "b|n.b.", "c|", "d|5", "e|-3", "f|0.5", "*g|1"});
    const auto order = orderOf(table, expression);
    QCOMPARE(int(order->seek(key.toStdString(), strictlyGreater)), place);
    // Every place before the answer has a smaller key, every place from it a key not smaller.
    const Key target = order->expression().decode(key.toStdString());
    for (std::size_t p = 0; p < order->size(); ++p) {
        const int c = order->expression().compare(
            order->expression().evaluate(table.recordData(order->recordAt(p))), target);
        const bool before = strictlyGreater ? c <= 0 : c < 0;
        QCOMPARE(before, int(p) < place);
    }
}

void tst_SortOrder::placeOfEveryRecord_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<int>("driver");

    QTest::newRow("text") << "KLEINGEM" << false << 0x57;
    QTest::newRow("text descending") << "KLEINGEM" << true << 0x57;
    QTest::newRow("text, folding") << "KLEINGEM" << false << 0x58;
    QTest::newRow("text descending, folding") << "KLEINGEM" << true << 0x58;
    QTest::newRow("short text, folding") << "UPPER(MIN)" << false << 0x58;
    QTest::newRow("number") << "VAL(MIN)" << false << 0x57;
    QTest::newRow("sum descending") << "VAL(POTENTIAL)+KLASSE" << true << 0x57;
}

void tst_SortOrder::placeOfEveryRecord()
{
    QFETCH(QString, expression);
    QFETCH(bool, descending);
    QFETCH(int, driver);

    // 600 records with many equal keys, every seventh deleted, names that begin with
    // umlauts, their base letters, ß (up to five of them) or ss; the order must equal
    // a plain stable sort of the live records by the expression's comparison.
    const QStringList starts{"sankt ", "Ärger", "arger", "Ärger", "ä", "ß", "ss", "ßßßßß", "s"};
    QStringList rows;
    for (int i = 0; i < 600; ++i)
        rows << QStringLiteral("%1%2 gemeinde %3|%4|%5|%6")
                    .arg(i % 7 == 0 ? "*" : "", starts[i % starts.size()])
                    .arg((i * 37) % 50)
                    .arg(i % 11 == 0 ? QStringLiteral("\u00e4%1").arg(i % 4)
                                     : QString::number((i * 13) % 40 - 5))
                    .arg(i % 9 == 0 ? "x" : QString::number((i * 7) % 30))
                    .arg(i % 5 == 0 ? "" : QString::number(i % 3 - 1));
    const MemoryTable table = municipalities(rows);
    const auto order = orderOf(table, expression, descending, driver);
    std::vector<std::uint32_t> expected;
    for (std::uint32_t r = 1; r <= table.storedCount(); ++r)
        if (!table.isDeleted(r))
            expected.push_back(r);
    const KeyExpression &expr = order->expression();
    std::stable_sort(expected.begin(), expected.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int c =
            expr.compare(expr.evaluate(table.recordData(a)), expr.evaluate(table.recordData(b)));
        return descending ? c > 0 : c < 0;
    });
    QCOMPARE(order->size(), expected.size());
    for (std::size_t p = 0; p < order->size(); ++p) {
        QCOMPARE(order->recordAt(p), expected[p]);
        QCOMPARE(order->placeOf(order->recordAt(p)), std::optional<std::size_t>(p));
    }
}

void tst_SortOrder::placeOfRecordsOutsideTheOrder()
{
    const MemoryTable table = municipalities(names);
    const auto order = orderOf(table, "KLEINGEM");
    QCOMPARE(order->placeOf(6), std::nullopt); // deleted
    QCOMPARE(order->placeOf(0), std::nullopt);
    QCOMPARE(order->placeOf(8), std::nullopt);
    QCOMPARE(order->placeOf(7), std::optional<std::size_t>(3));
}

void tst_SortOrder::emptyTable()
{
    const MemoryTable table = municipalities({"*deleted"});
    const auto order = orderOf(table, "KLEINGEM");
    QCOMPARE(order->size(), std::size_t(0));
    QCOMPARE(order->seek(textKey("a"), false), std::size_t(0));
    QCOMPARE(order->placeOf(1), std::nullopt);
}

QTEST_APPLESS_MAIN(tst_SortOrder)
#include "tst_SortOrder.moc"
