// FOR conditions and the logical parts of key expressions: comparisons of numbers,
// texts (dBASE's = rule, the collation) and dates, $, .AND., .OR., .NOT., logical
// fields and constants, DELETED().
#include "KeyExpression.h"
#include "MemoryTable.h"

#include <QtTest>

using dbase::KeyExpression;

namespace {

MemoryTable fixtureTable()
{
    MemoryTable t;
    t.field("NAME", 'C', 10)
        .field("KLEIN", 'C', 10)
        .field("POT", 'C', 5)
        .field("KLASSE", 'N', 4)
        .field("DATUM", 'D', 8)
        .field("AKTIV", 'L', 1)
        .field("BIS", 'D', 8);
    return t;
}

} // namespace

class tst_KeyNodeLogic : public QObject
{
    Q_OBJECT

private slots:
    void conditions_data();
    void conditions();
    void conditionMustBeLogical();
};

void tst_KeyNodeLogic::conditions_data()
{
    QTest::addColumn<QString>("condition");
    QTest::addColumn<QStringList>(
        "record"); // NAME, KLEIN, POT, KLASSE, BETRAG, DATUM, NOTIZ, AKTIV
    QTest::addColumn<bool>("deleted");
    QTest::addColumn<int>("driver");
    QTest::addColumn<bool>("holds");

    const QStringList wien{"wien", "abc", "12.5", "7", "20240131", "T"};
    QTest::newRow("text = a beginning: the right side's length")
        << "NAME = 'wie'" << wien << false << 0x57 << true;
    QTest::newRow("text = a longer text") << "NAME = 'wiener'" << wien << false << 0x57 << false;
    QTest::newRow("shorter left side is filled with blanks")
        << "'wie' = NAME" << wien << false << 0x57 << false;
    QTest::newRow("= an empty text") << "KLEIN = ''" << wien << false << 0x57 << true;
    QTest::newRow("#") << "NAME # 'wien'" << wien << false << 0x57 << false;
    QTest::newRow("<> on blank-padded texts") << "NAME <> KLEIN" << wien << false << 0x57 << true;
    QTest::newRow("text <") << "KLEIN < 'abd'" << wien << false << 0x57 << true;
    QTest::newRow("text >= of a beginning") << "NAME >= 'wien'" << wien << false << 0x57 << true;
    QTest::newRow("umlaut before b when folded")
        << "NAME < 'b'" << QStringList{"Ärger"} << false << 0x58 << true;
    QTest::newRow("umlaut after z in byte order")
        << "NAME < 'b'" << QStringList{"Ärger"} << false << 0x57 << false;
    QTest::newRow("number >") << "KLASSE > 5" << wien << false << 0x57 << true;
    QTest::newRow("number <= with decimals") << "VAL(POT) <= 12.5" << wien << false << 0x57 << true;
    QTest::newRow("number =") << "KLASSE = 8" << wien << false << 0x57 << false;
    QTest::newRow("dates by their digits")
        << "BIS > DATUM" << (wien + QStringList{"20240201"}) << false << 0x57 << true;
    QTest::newRow("a blank date before every date")
        << "BIS < DATUM" << wien << false << 0x57 << true;
    QTest::newRow("DTOS against a text")
        << "DTOS(DATUM) >= '2024'" << wien << false << 0x57 << true;
    QTest::newRow("$ finds a part") << "'ie' $ NAME" << wien << false << 0x57 << true;
    QTest::newRow("$ misses") << "'wa' $ NAME" << wien << false << 0x57 << false;
    QTest::newRow("logical field T") << "AKTIV" << wien << false << 0x57 << true;
    QTest::newRow("logical field blank is false")
        << "AKTIV" << QStringList{} << false << 0x57 << false;
    QTest::newRow("logical = .T.") << "AKTIV = .T." << wien << false << 0x57 << true;
    QTest::newRow(".NOT. DELETED() of a deleted record")
        << ".NOT. DELETED()" << wien << true << 0x57 << false;
    QTest::newRow(".NOT. DELETED() of a live record")
        << ".not. deleted()" << wien << false << 0x57 << true;
    QTest::newRow(".AND.") << "KLASSE > 5 .AND. NAME = 'x'" << wien << false << 0x57 << false;
    QTest::newRow(".OR.") << "KLASSE > 8 .OR. NAME = 'w'" << wien << false << 0x57 << true;
    QTest::newRow(".NOT. binds tighter than .OR.")
        << ".NOT. KLASSE = 7 .OR. .T." << wien << false << 0x57 << true;
    QTest::newRow("parentheses") << ".NOT. (KLASSE = 7 .OR. .T.)" << wien << false << 0x57 << false;
    QTest::newRow(".AND. before .OR.") << ".T. .OR. .T. .AND. .F." << wien << false << 0x57 << true;
    QTest::newRow("operators without blanks")
        << "KLASSE=7.AND.NAME='w'" << wien << false << 0x57 << true;
}

void tst_KeyNodeLogic::conditions()
{
    QFETCH(QString, condition);
    QFETCH(QStringList, record);
    QFETCH(bool, deleted);
    QFETCH(int, driver);
    QFETCH(bool, holds);

    MemoryTable table = fixtureTable();
    std::vector<std::string> values;
    for (const QString &v : record)
        values.push_back(v.toLatin1().toStdString());
    table.row(values, deleted);
    const auto expr =
        KeyExpression::parseCondition(condition.toLatin1().toStdString(), table.fields(),
                                      dbase::Collation::forLanguageDriver(driver));
    QCOMPARE(expr->isTrue(table.recordData(1)), holds);
}

void tst_KeyNodeLogic::conditionMustBeLogical()
{
    const MemoryTable table = fixtureTable();
    for (const char *text : {"NAME", "KLASSE + 1", "DESCEND(AKTIV)"}) {
        try {
            KeyExpression::parseCondition(text, table.fields());
            QFAIL(text);
        } catch (const dbase::KeyExpressionError &e) {
            QCOMPARE(QString::fromUtf8(e.what()),
                     QStringLiteral("Die FOR-Bedingung ergibt keinen Wahrheitswert."));
        }
    }
}

QTEST_APPLESS_MAIN(tst_KeyNodeLogic)
#include "tst_KeyNodeLogic.moc"
