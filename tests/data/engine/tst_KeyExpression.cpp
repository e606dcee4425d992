// Key expressions: parsing, evaluation against records, the exact error messages, key
// comparison with its sort form, and the BCD encoding of numeric keys. FOR conditions:
// tst_KeyNodeLogic.
#include "BcdNumber.h"
#include "KeyExpression.h"
#include "MemoryTable.h"

#include <QtTest>

#include <charconv>
#include <cstring>
#include <string>

using dbase::Key;
using dbase::KeyExpression;

namespace {

MemoryTable fixtureTable()
{
    MemoryTable t;
    t.field("NAME", 'C', 10)
        .field("KLEIN", 'C', 10)
        .field("POT", 'C', 5)
        .field("KLASSE", 'N', 4)
        .field("BETRAG", 'N', 8, 2)
        .field("DATUM", 'D', 8)
        .field("NOTIZ", 'M', 10)
        .field("AKTIV", 'L', 1)
        .field("LEER", 'C', 0)
        .field("L\xC4NGE", 'C', 6);
    return t;
}

// Record values as Latin-1 bytes (cp1252 for the texts of these tests).
std::vector<std::string> valuesOf(const QStringList &record)
{
    std::vector<std::string> values;
    for (const QString &v : record)
        values.push_back(v.toLatin1().toStdString());
    return values;
}

int sign(int c)
{
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

QByteArray bytes(const std::string &s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

} // namespace

class tst_KeyExpression : public QObject
{
    Q_OBJECT

private slots:
    void textKeys_data();
    void textKeys();
    void numericKeys_data();
    void numericKeys();
    void errors_data();
    void errors();
    void facts_data();
    void facts();
    void compareTexts_data();
    void compareTexts();
    void numberSortForm();
    void bcdEncoding_data();
    void bcdEncoding();
    void bcdDecodesOtherWriters();
    void encodeDecodeRoundTrip();
    void numberKeysAsTheIndexHoldsThem();
};

void tst_KeyExpression::textKeys_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QStringList>("record");
    QTest::addColumn<QByteArray>("key");

    const QStringList wien{"wien", "abc", "", "7", "12.50", "20240131"};
    QTest::newRow("plain field, blank-padded") << "NAME" << wien << QByteArray("wien      ");
    QTest::newRow("field name ignores case") << "name" << wien << QByteArray("wien      ");
    QTest::newRow("UPPER") << "UPPER(NAME)" << wien << QByteArray("WIEN      ");
    QTest::newRow("LOWER leaves non-ASCII bytes")
        << "LOWER(NAME)" << QStringList{QString::fromLatin1("\xC4RGER")}
        << QByteArray("\xC4rger     ");
    QTest::newRow("concatenation") << "NAME+KLEIN" << wien << QByteArray("wien      abc       ");
    QTest::newRow("field of width 0: an empty text")
        << "NAME+LEER+'|'" << wien << QByteArray("wien      |");
    QTest::newRow("TRIM then concatenation")
        << "TRIM(NAME)+KLEIN" << wien << QByteArray("wienabc             ");
    QTest::newRow("RTRIM of a blank field")
        << "RTRIM(POT)+NAME" << wien << QByteArray("wien           ");
    QTest::newRow("minus moves blanks to the end")
        << "NAME-KLEIN" << wien << QByteArray("wienabc             ");
    QTest::newRow("minus inside a concatenation")
        << "KLEIN+(NAME-KLEIN)" << wien << QByteArray("abc       wienabc             ");
    QTest::newRow("SUBSTR with length")
        << "SUBSTR(NAME,2,3)" << QStringList{"wiener"} << QByteArray("ien");
    QTest::newRow("SUBSTR to the end")
        << "SUBSTR(NAME,3)" << QStringList{"wiener"} << QByteArray("ener    ");
    QTest::newRow("SUBSTR length beyond the text")
        << "SUBSTR(NAME,9,5)" << wien << QByteArray("  ");
    QTest::newRow("STR default width") << "STR(KLASSE)" << wien << QByteArray("         7");
    QTest::newRow("STR with decimals") << "STR(BETRAG,8,2)" << wien << QByteArray("   12.50");
    QTest::newRow("STR too narrow gives asterisks") << "STR(BETRAG,1)" << wien << QByteArray("*");
    QTest::newRow("STR rounds half away from zero")
        << "STR(BETRAG,4)" << wien << QByteArray("  13");
    QTest::newRow("STR rounds decimal halves up")
        << "STR(BETRAG,6,2)" << QStringList{"", "", "", "", "2.675"} << QByteArray("  2.68");
    QTest::newRow("STR rounds negative halves away from zero")
        << "STR(VAL(POT),3)" << QStringList{"", "", "-2.5"} << QByteArray(" -3");
    QTest::newRow("STR of a negative sum")
        << "STR(VAL(POT)-KLASSE,4)" << QStringList{"", "", "3", "7"} << QByteArray("  -4");
    QTest::newRow("text literal, single quotes") << "'x'+NAME" << wien << QByteArray("xwien      ");
    QTest::newRow("text literal, double quotes") << "\"ab\"" << wien << QByteArray("ab");
    QTest::newRow("DTOS") << "DTOS(DATUM)" << wien << QByteArray("20240131");
    QTest::newRow("blanks around tokens") << "  UPPER( NAME ) " << wien << QByteArray("WIEN      ");
    QTest::newRow("DTOC: MM/DD/YY") << "DTOC(DATUM)" << wien << QByteArray("01/31/24");
    QTest::newRow("DTOC of a blank date")
        << "DTOC(DATUM)" << QStringList{} << QByteArray("  /  /  ");
    QTest::newRow("LEFT") << "LEFT(NAME,3)" << wien << QByteArray("wie");
    QTest::newRow("LEFT cut to the text")
        << "LEFT(POT,9)" << QStringList{"", "", "ab"} << QByteArray("ab   ");
    QTest::newRow("RIGHT of a field keeps its blanks")
        << "RIGHT(NAME,3)" << wien << QByteArray("   ");
    QTest::newRow("RIGHT of a trimmed text")
        << "RIGHT(TRIM(NAME),3)+'|'" << wien << QByteArray("ien|");
    QTest::newRow("RIGHT longer than the trimmed text")
        << "RIGHT(TRIM(POT),4)+'|'" << QStringList{"", "", "ab"} << QByteArray("ab|  ");
    QTest::newRow("LTRIM") << "LTRIM(POT)+'|'" << QStringList{"", "", "  ab"}
                           << QByteArray("ab |  ");
    QTest::newRow("ALLTRIM") << "ALLTRIM(POT)+'|'" << QStringList{"", "", " ab"}
                             << QByteArray("ab|   ");
    QTest::newRow("IIF: the wider branch's width, blank-filled")
        << "IIF(KLASSE>5,'ja',NAME)+'|'" << wien << QByteArray("ja        |");
    QTest::newRow("IIF: the other branch")
        << "IIF(KLASSE<5,'ja',NAME)+'|'" << wien << QByteArray("wien      |");
    QTest::newRow("IIF on a text comparison with the left side longer")
        << "IIF(NAME='wi','W','-')" << wien << QByteArray("W");
    QTest::newRow("IIF on a logical field")
        << "IIF(AKTIV,'a','i')" << QStringList{"", "", "", "", "", "", "", "y"} << QByteArray("a");
    QTest::newRow("IIF on DELETED()") << "IIF(DELETED(),'d','l')" << wien << QByteArray("l");
    QTest::newRow("logical field as the whole key: its byte")
        << "AKTIV" << QStringList{"", "", "", "", "", "", "", "?"} << QByteArray("?");
    QTest::newRow("DESCEND keeps the key")
        << "DESCEND(UPPER(NAME))" << wien << QByteArray("WIEN      ");
}

void tst_KeyExpression::textKeys()
{
    QFETCH(QString, expression);
    QFETCH(QStringList, record);
    QFETCH(QByteArray, key);

    MemoryTable table = fixtureTable();
    table.row(valuesOf(record));
    const auto expr = KeyExpression::parse(expression.toLatin1().toStdString(), table.fields());
    QVERIFY(!expr->isNumeric());
    QCOMPARE(expr->keySize(), key.size());
    const Key k = expr->evaluate(table.recordData(1));
    QCOMPARE(bytes(k.text), key);
    QCOMPARE(bytes(expr->encode(k)), key);
}

void tst_KeyExpression::numericKeys_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("pot");
    QTest::addColumn<QString>("klasse");
    QTest::addColumn<double>("value");

    QTest::newRow("VAL of a number") << "VAL(POT)"
                                     << "  125"
                                     << "" << 125.0;
    QTest::newRow("VAL stops at a letter") << "VAL(POT)"
                                           << "12a"
                                           << "" << 12.0;
    QTest::newRow("VAL of a letter is 0") << "VAL(POT)"
                                          << "abc"
                                          << "" << 0.0;
    QTest::newRow("VAL of blanks is 0") << "VAL(POT)"
                                        << ""
                                        << "" << 0.0;
    QTest::newRow("VAL negative with decimals") << "VAL(POT)"
                                                << " -3.5"
                                                << "" << -3.5;
    QTest::newRow("VAL plus sign") << "VAL(POT)"
                                   << "+4"
                                   << "" << 4.0;
    QTest::newRow("VAL leading point") << "VAL(POT)"
                                       << ".5"
                                       << "" << 0.5;
    QTest::newRow("VAL trailing point") << "VAL(POT)"
                                        << "7."
                                        << "" << 7.0;
    QTest::newRow("VAL second point ends it") << "VAL(POT)"
                                              << "1.2.3"
                                              << "" << 1.2;
    QTest::newRow("VAL blank after sign") << "VAL(POT)"
                                          << "- 5"
                                          << "" << 0.0;
    QTest::newRow("VAL blank inside") << "VAL(POT)"
                                      << "12 3"
                                      << "" << 12.0;
    QTest::newRow("VAL decimal comma ends it") << "VAL(POT)"
                                               << "1,5"
                                               << "" << 1.0;
    QTest::newRow("sum, empty class counts 0") << "VAL(POT)+KLASSE"
                                               << "100"
                                               << "" << 100.0;
    QTest::newRow("sum, negative class") << "VAL(POT)+KLASSE"
                                         << "100"
                                         << "-2" << 98.0;
    QTest::newRow("sum, letter text") << "VAL(POT)+KLASSE"
                                      << "n.b."
                                      << "3" << 3.0;
    QTest::newRow("blank number field") << "KLASSE"
                                        << ""
                                        << "" << 0.0;
    QTest::newRow("difference") << "VAL(POT)-KLASSE"
                                << "10"
                                << "4" << 6.0;
    QTest::newRow("unary minus") << "-KLASSE"
                                 << ""
                                 << "4" << -4.0;
    QTest::newRow("literal with decimals") << "VAL(POT)+1.5"
                                           << "2"
                                           << "" << 3.5;
    QTest::newRow("decimal sum rounded to 15 digits") << "VAL(POT)+0.2"
                                                      << "0.1"
                                                      << "" << 0.3;
    QTest::newRow("decimal difference rounded") << "VAL(POT)-0.1"
                                                << "0.3"
                                                << "" << 0.2;
    QTest::newRow("parentheses") << "VAL(POT)-(KLASSE-1)"
                                 << "10"
                                 << "4" << 7.0;
    QTest::newRow("VAL of a concatenation") << "VAL(POT+'9')"
                                            << "12"
                                            << "" << 12.0;
    QTest::newRow("VAL of a trimmed concatenation") << "VAL(TRIM(POT)+'9')"
                                                    << "12"
                                                    << "" << 129.0;
    QTest::newRow("IIF of numbers") << "IIF(VAL(POT)>=KLASSE,VAL(POT),-KLASSE)"
                                    << "3"
                                    << "4" << -4.0;
}

void tst_KeyExpression::numericKeys()
{
    QFETCH(QString, expression);
    QFETCH(QString, pot);
    QFETCH(QString, klasse);
    QFETCH(double, value);

    MemoryTable table = fixtureTable();
    table.row({"", "", pot.toStdString(), klasse.toStdString()});
    const auto expr = KeyExpression::parse(expression.toStdString(), table.fields());
    QVERIFY(expr->isNumeric());
    QCOMPARE(expr->keySize(), 12);
    const Key k = expr->evaluate(table.recordData(1));
    QVERIFY(k.numeric);
    // Exact: QCOMPARE on doubles would forgive the last bits that decide the order.
    QVERIFY2(k.number == value, qPrintable(QString::number(k.number, 'g', 17)));
    QVERIFY(expr->decode(expr->encode(k)).number == value);
}

void tst_KeyExpression::errors_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("message");

    QTest::newRow("empty") << ""
                           << "Der Indexausdruck ist leer.";
    QTest::newRow("only blanks") << "   "
                                 << "Der Indexausdruck ist leer.";
    QTest::newRow("unknown field") << "NAMEX"
                                   << "An Position 1: unbekanntes Feld NAMEX.";
    QTest::newRow("unknown field later") << "NAME+KLEINX"
                                         << "An Position 6: unbekanntes Feld KLEINX.";
    QTest::newRow("prefix of a field") << "KLEI"
                                       << "An Position 1: unbekanntes Feld KLEI.";
    QTest::newRow("unknown function") << "FOO(NAME)"
                                      << "An Position 1: unbekannte Funktion FOO.";
    QTest::newRow("VAL of a number") << "VAL(KLASSE)"
                                     << "An Position 5: VAL erwartet einen Text als Argument 1.";
    QTest::newRow("UPPER of a number")
        << "UPPER(KLASSE)"
        << "An Position 7: UPPER erwartet einen Text als Argument 1.";
    QTest::newRow("STR of a text") << "STR(NAME)"
                                   << "An Position 5: STR erwartet eine Zahl als Argument 1.";
    QTest::newRow("DTOS of a text") << "DTOS(NAME)"
                                    << "An Position 6: DTOS erwartet ein Datum als Argument 1.";
    QTest::newRow("VAL without argument")
        << "VAL()"
        << "An Position 5: VAL erwartet einen Text als Argument 1.";
    QTest::newRow("VAL with two arguments") << "VAL(POT,1)"
                                            << "An Position 1: VAL erwartet 1 Argument.";
    QTest::newRow("SUBSTR with one argument")
        << "SUBSTR(NAME)"
        << "An Position 1: SUBSTR erwartet 2 oder 3 Argumente.";
    QTest::newRow("STR with four arguments") << "STR(KLASSE,5,1,1)"
                                             << "An Position 1: STR erwartet 1 bis 3 Argumente.";
    QTest::newRow("STR width not constant")
        << "STR(KLASSE,KLASSE)"
        << "An Position 12: STR erwartet eine ganze Zahl als Argument 2.";
    QTest::newRow("SUBSTR start beyond the text")
        << "SUBSTR(NAME,11)"
        << "An Position 1: SUBSTR: Anfang oder Länge außerhalb des Textes.";
    QTest::newRow("text plus number") << "NAME+KLASSE"
                                      << "An Position 5: '+' verlangt zwei Zahlen oder zwei Texte.";
    QTest::newRow("number minus text")
        << "KLASSE-NAME"
        << "An Position 7: '-' verlangt zwei Zahlen oder zwei Texte.";
    QTest::newRow("date plus text") << "DATUM+NAME"
                                    << "An Position 6: '+' verlangt zwei Zahlen oder zwei Texte.";
    QTest::newRow("minus before a text") << "-NAME"
                                         << "An Position 1: '-' vor einem Text.";
    QTest::newRow("trailing name") << "NAME KLEIN"
                                   << "An Position 6: unerwarteter Text 'KLEIN'.";
    QTest::newRow("trailing parenthesis") << "VAL(POT))"
                                          << "An Position 9: unerwarteter Text ')'.";
    QTest::newRow("missing parenthesis") << "VAL(POT"
                                         << "An Position 8: ')' fehlt.";
    QTest::newRow("missing operand") << "NAME+"
                                     << "An Position 6: hier fehlt ein Wert.";
    QTest::newRow("comma as a value") << "(,NAME)"
                                      << "An Position 2: hier fehlt ein Wert.";
    QTest::newRow("unterminated text") << "NAME+'abc"
                                       << "An Position 6: nicht abgeschlossener Text.";
    QTest::newRow("unknown operator") << "KLASSE*2"
                                      << "An Position 7: unerwartetes Zeichen '*'.";
    QTest::newRow("lone point") << "KLASSE+."
                                << "An Position 8: unerwartetes Zeichen '.'.";
    QTest::newRow("memo field")
        << "NOTIZ"
        << "An Position 1: das Feld NOTIZ vom Typ M kann nicht Teil eines Schlüssels sein.";
    QTest::newRow("key longer than 100 bytes")
        << "NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME"
        << "Die Schlüssellänge 110 liegt außerhalb von 1 bis 100 Bytes.";
    QTest::newRow("empty text key") << "''"
                                    << "Die Schlüssellänge 0 liegt außerhalb von 1 bis 100 Bytes.";
    QTest::newRow("expression longer than 220 characters")
        << QString(221, QLatin1Char('(')) << "Der Indexausdruck ist länger als 220 Zeichen.";
    QTest::newRow("a dBASE function not known here")
        << "SOUNDEX(NAME)"
        << "An Position 1: unbekannte Funktion SOUNDEX.";
    QTest::newRow("unknown dot operator") << "AKTIV .XOR. AKTIV"
                                          << "An Position 7: unbekannter Operator '.XOR.'.";
    QTest::newRow("unterminated dot operator") << "AKTIV .AND"
                                               << "An Position 7: unerwartetes Zeichen '.'.";
    QTest::newRow("comparison of a text and a number")
        << "NAME = KLASSE"
        << "An Position 6: '=' verlangt zwei Werte derselben Art.";
    QTest::newRow("ordering logical values") << "AKTIV < .T."
                                             << "An Position 7: '<' ordnet keine Wahrheitswerte.";
    QTest::newRow("$ on numbers") << "KLASSE $ KLASSE"
                                  << "An Position 8: '$' verlangt zwei Texte.";
    QTest::newRow(".AND. on a text") << "AKTIV .AND. NAME"
                                     << "An Position 7: '.AND.' verlangt zwei Wahrheitswerte.";
    QTest::newRow(".NOT. on a number") << ".NOT. KLASSE"
                                       << "An Position 1: '.NOT.' verlangt einen Wahrheitswert.";
    QTest::newRow("logical field in a concatenation")
        << "NAME+AKTIV"
        << "An Position 5: '+' verlangt zwei Zahlen oder zwei Texte.";
    QTest::newRow("IIF branches of two kinds")
        << "IIF(AKTIV,NAME,KLASSE)"
        << "An Position 11: IIF erwartet für Argument 2 und 3 Werte derselben Art.";
    QTest::newRow("IIF condition not logical")
        << "IIF(NAME,NAME,NAME)"
        << "An Position 5: IIF erwartet einen Wahrheitswert als Argument 1.";
    QTest::newRow("IIF with two arguments") << "IIF(AKTIV,NAME)"
                                            << "An Position 1: IIF erwartet 3 Argumente.";
    QTest::newRow("IIF with four arguments") << "IIF(AKTIV,NAME,NAME,NAME)"
                                             << "An Position 1: IIF erwartet 3 Argumente.";
    QTest::newRow("LEFT without length") << "LEFT(NAME)"
                                         << "An Position 1: LEFT erwartet 2 Argumente.";
    QTest::newRow("RIGHT length not constant")
        << "RIGHT(NAME,KLASSE)"
        << "An Position 12: RIGHT erwartet eine ganze Zahl als Argument 2.";
    QTest::newRow("DTOC of a text") << "DTOC(NAME)"
                                    << "An Position 6: DTOC erwartet ein Datum als Argument 1.";
    QTest::newRow("DELETED with an argument") << "DELETED(NAME)"
                                              << "An Position 1: DELETED erwartet kein Argument.";
    QTest::newRow("DESCEND inside the key")
        << "NAME+DESCEND(KLEIN)"
        << "An Position 6: DESCEND() muss den ganzen Schlüsselausdruck umschließen.";
    QTest::newRow("text after DESCEND()") << "DESCEND(NAME)+KLEIN"
                                          << "An Position 14: unerwarteter Text '+KLEIN'.";
}

void tst_KeyExpression::errors()
{
    QFETCH(QString, expression);
    QFETCH(QString, message);

    const MemoryTable table = fixtureTable();
    try {
        KeyExpression::parse(expression.toStdString(), table.fields());
        QFAIL("no error raised");
    } catch (const dbase::KeyExpressionError &e) {
        QCOMPARE(QString::fromStdString(e.what()), message);
    }
}

void tst_KeyExpression::facts_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<int>("plainField");
    QTest::addColumn<bool>("numeric");
    QTest::addColumn<int>("keySize");

    QTest::newRow("text field") << "KLEIN" << 2 << false << 10;
    QTest::newRow("text field, other case") << "klein" << 2 << false << 10;
    QTest::newRow("umlaut, other case") << QString("länge") << 10 << false << 6;
    QTest::newRow("number field") << "KLASSE" << 4 << true << 12;
    QTest::newRow("field in parentheses is an expression") << "(KLEIN)" << 0 << false << 10;
    QTest::newRow("function") << "VAL(POT)" << 0 << true << 12;
    QTest::newRow("concatenation") << "NAME+POT" << 0 << false << 15;
    QTest::newRow("logical field: a one-byte text key") << "AKTIV" << 8 << false << 1;
    QTest::newRow("IIF of texts: the wider") << "IIF(AKTIV,POT,NAME)" << 0 << false << 10;
}

void tst_KeyExpression::facts()
{
    QFETCH(QString, expression);
    QFETCH(int, plainField);
    QFETCH(bool, numeric);
    QFETCH(int, keySize);

    const MemoryTable table = fixtureTable();
    const auto expr = KeyExpression::parse(expression.toLatin1().toStdString(), table.fields());
    QCOMPARE(expr->isPlainField(), plainField > 0);
    if (plainField > 0)
        QCOMPARE(expr->plainFieldNumber(), plainField);
    QCOMPARE(expr->isNumeric(), numeric);
    QCOMPARE(expr->keySize(), keySize);
    QCOMPARE(QString::fromLatin1(expr->text()), expression);
}

void tst_KeyExpression::compareTexts_data()
{
    QTest::addColumn<int>("driver");
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<int>("sign");

    QTest::newRow("shorter text is padded with blanks")
        << 0x57 << QByteArray("wien") << QByteArray("wien   ") << 0;
    QTest::newRow("blank before letters")
        << 0x57 << QByteArray("wien    ") << QByteArray("wiener n") << -1;
    QTest::newRow("prefix against a longer text")
        << 0x57 << QByteArray("wiene") << QByteArray("wien") << 1;
    QTest::newRow("capitals before small letters")
        << 0x57 << QByteArray("Zell") << QByteArray("aach") << -1;
    QTest::newRow("bytes compare unsigned")
        << 0x57 << QByteArray("\xE4rger") << QByteArray("zell") << 1;
    QTest::newRow("control byte below blank")
        << 0x57 << QByteArray("ab\x01") << QByteArray("ab") << -1;
    // KeyExpression compares by its collation: ä as a before z.
    QTest::newRow("cp1252 with a folding driver")
        << 0x58 << QByteArray("\xE4rger") << QByteArray("zell") << -1;
}

// Both ways round, and the sort forms agree.
void tst_KeyExpression::compareTexts()
{
    QFETCH(int, driver);
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(int, sign);

    const auto expr = KeyExpression::parse("NAME", fixtureTable().fields(),
                                           dbase::Collation::forLanguageDriver(driver));
    Key ka;
    ka.text = a.toStdString();
    Key kb;
    kb.text = b.toStdString();
    QCOMPARE(expr->compare(ka, kb), sign);
    QCOMPARE(expr->compare(kb, ka), -sign);
    std::vector<unsigned char> fa(expr->sortKeySize());
    std::vector<unsigned char> fb(expr->sortKeySize());
    expr->sortKey(ka, fa.data());
    expr->sortKey(kb, fb.data());
    QCOMPARE(::sign(std::memcmp(fa.data(), fb.data(), fa.size())), sign);
}

// Numbers: the sort form orders as the values do.
void tst_KeyExpression::numberSortForm()
{
    const auto number = KeyExpression::parse("VAL(POT)", fixtureTable().fields());
    const double values[] = {-1e15, -3.5, -0.001, -0.0, 0.0, 0.001, 2.0, 1e15};
    for (std::size_t i = 0; i + 1 < std::size(values); ++i) {
        Key x;
        x.numeric = true;
        x.number = values[i];
        Key y = x;
        y.number = values[i + 1];
        unsigned char fx[8];
        unsigned char fy[8];
        number->sortKey(x, fx);
        number->sortKey(y, fy);
        QCOMPARE(sign(std::memcmp(fx, fy, 8)), number->compare(x, y));
    }
}

void tst_KeyExpression::bcdEncoding_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("key");

    const auto key = [](const char *hex) {
        return QByteArray::fromHex(hex).leftJustified(12, '\0');
    };
    QTest::newRow("45.5") << 45.5 << key("360D4550");
    QTest::newRow("-7.5") << -7.5 << key("358975");
    QTest::newRow("120.25") << 120.25 << key("3715120250");
    QTest::newRow("100, trailing zeros not counted") << 100.0 << key("370510");
    QTest::newRow("0.05") << 0.05 << key("330550");
    QTest::newRow("zero") << 0.0 << key("3401");
    QTest::newRow("one") << 1.0 << key("350510");
    QTest::newRow("15 digits") << 123456789012345.0 << key("433D1234567890123450");
}

void tst_KeyExpression::bcdEncoding()
{
    QFETCH(double, value);
    QFETCH(QByteArray, key);

    QCOMPARE(bytes(dbase::BcdNumber::encode(value)).toHex(), key.toHex());
    QVERIFY(dbase::BcdNumber::decode(key.toStdString()) == value);
}

void tst_KeyExpression::bcdDecodesOtherWriters()
{
    // The same values with the digit count of a writer that counts trailing zeros.
    const auto decode = [](const char *hex) {
        return dbase::BcdNumber::decode(
            QByteArray::fromHex(hex).leftJustified(12, '\0').toStdString());
    };
    QVERIFY(decode("370D10") == 100.0);
    QVERIFY(decode("330950") == 0.05);
    QVERIFY(decode("3401") == 0.0);
    QVERIFY(dbase::BcdNumber::decode("short") == 0.0);
}

void tst_KeyExpression::encodeDecodeRoundTrip()
{
    MemoryTable table = fixtureTable();
    const auto text = KeyExpression::parse("NAME", table.fields());
    QCOMPARE(bytes(text->encode(text->decode("wie"))), QByteArray("wie       "));
    QCOMPARE(bytes(text->decode("abcdefghijklmn").text), QByteArray("abcdefghij"));

    const auto number = KeyExpression::parse("VAL(POT)", table.fields());
    for (double v : {-123.456, -0.001, 0.0, 0.1, 1.0, 99999.0, 1e15, 3.14159265358979}) {
        Key k;
        k.numeric = true;
        k.number = v;
        QVERIFY2(number->decode(number->encode(k)).number == v,
                 qPrintable(QString::number(v, 'g', 17)));
    }
    QVERIFY_THROWS_EXCEPTION(dbase::KeyExpressionError, number->decode("1234"));
}

// A numeric key holds 15 significant digits: whatever the number's digits, its key's
// value is the number (for a sum of non-integers: the sum printed with 15 digits) read
// back from its BCD form. Numbers of up to 15 digits and longer ones, with and without
// decimals, signs and blanks.
void tst_KeyExpression::numberKeysAsTheIndexHoldsThem()
{
    MemoryTable table;
    table.field("A", 'C', 24).field("B", 'C', 24);
    std::uint32_t seed = 11;
    const auto next = [&seed](std::uint32_t n) {
        seed = seed * 1103515245U + 12345U;
        return (seed >> 8) % n;
    };
    const auto number = [&next] {
        std::string text = next(4) == 0 ? "-" : next(3) == 0 ? " " : "";
        const std::uint32_t digits = 1 + next(20);
        const std::uint32_t point = next(digits + 4); // beyond the digits: no point
        for (std::uint32_t d = 0; d < digits; ++d) {
            if (d == point)
                text += '.';
            text += char('0' + next(10));
        }
        return text;
    };
    const auto key = [](double value) {
        return dbase::BcdNumber::decode(dbase::BcdNumber::encode(value));
    };
    for (int i = 0; i < 4000; ++i)
        table.row({number(), number()});
    const auto val = KeyExpression::parse("VAL(A)", table.fields());
    const auto sum = KeyExpression::parse("VAL(A)+VAL(B)", table.fields());
    // The number a field holds, read with a decimal point whatever the locale.
    const auto read = [](const char *text, std::size_t size) {
        while (size > 0 && *text == ' ') {
            ++text;
            --size;
        }
        double value = 0;
        std::from_chars(text, text + size, value);
        return value;
    };
    for (std::uint32_t r = 1; r <= table.storedCount(); ++r) {
        const char *record = table.recordData(r);
        const double a = read(record + 1, 24);
        const double b = read(record + 25, 24);
        double exact = a + b;
        if (std::trunc(a) != a || std::trunc(b) != b) {
            char printed[40];
            const char *end = std::to_chars(printed, printed + sizeof printed, a + b,
                                            std::chars_format::general, 15)
                                  .ptr;
            exact = read(printed, std::size_t(end - printed));
        }
        QVERIFY2(val->evaluateNumber(record) == key(a), record);
        QVERIFY2(sum->evaluateNumber(record) == key(exact), record);
    }
}

QTEST_APPLESS_MAIN(tst_KeyExpression)
#include "tst_KeyExpression.moc"
