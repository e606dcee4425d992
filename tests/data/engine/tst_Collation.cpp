// The collation of text keys by language driver: letter folding for the German and
// West-European drivers, byte order for the rest, and the sort form whose byte order
// must be exactly that of compare().
#include "CodePage.h"
#include "Collation.h"

#include <QtTest>

#include <cstring>

using dbase::Collation;

namespace {

int sign(int c)
{
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

// A text in the code page of a language driver (cp1252 where the driver names none).
std::string inCodePageOf(int driver, const QString &text)
{
    const int codePage = dbase::CodePage::fromLanguageDriver(std::uint8_t(driver));
    return dbase::CodePage::of(codePage ? codePage : 1252).fromAnsi(text.toLatin1().toStdString());
}

std::vector<unsigned char> sortForm(const Collation &collation, const std::string &text,
                                    std::size_t width)
{
    std::vector<unsigned char> form(collation.sortKeySize(width));
    collation.sortKey(text, width, form.data());
    return form;
}

} // namespace

class tst_Collation : public QObject
{
    Q_OBJECT

private slots:
    void compare_data();
    void compare();
    void sortFormAgreesWithCompare();
    void foldsOnlyInTheDriversCodePage();
};

void tst_Collation::compare_data()
{
    QTest::addColumn<int>("driver");
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("sign");

    QTest::newRow("cp1252: umlaut as its base letter") << 0x58 << "ärger"
                                                       << "zell" << -1;
    QTest::newRow("cp1252: capital umlaut among the A words") << 0x58 << "Ärger"
                                                              << "Arzt" << -1;
    QTest::newRow("cp437: capital umlaut") << 0x0F << "Ärger"
                                           << "Arzt" << -1;
    QTest::newRow("cp437: small umlaut") << 0x0F << "Öd"
                                         << "Oe" << -1;
    QTest::newRow("cp850: small umlaut") << 0x10 << "mühl"
                                         << "mur" << -1;
    QTest::newRow("umlaut after its base letter when that ties") << 0x58 << "ä"
                                                                 << "a" << 1;
    QTest::newRow("umlaut against its base letter, decided later") << 0x0F << "äa"
                                                                   << "ab" << -1;
    QTest::newRow("case kept: capital umlaut before small a") << 0x58 << "Ä"
                                                              << "a" << -1;
    QTest::newRow("case kept: small umlaut after capital A") << 0x10 << "äb"
                                                             << "Ab" << 1;
    QTest::newRow("capitals before small letters") << 0x58 << "Zell"
                                                   << "aach" << -1;
    QTest::newRow("ß ties with ss, then the bytes") << 0x58 << "Straße"
                                                    << "Strasse" << 1;
    QTest::newRow("ß before a later text") << 0x58 << "Straße"
                                           << "Strassf" << -1;
    QTest::newRow("ß as two letters against blanks") << 0x58 << "Straß"
                                                     << "Strass" << 1;
    QTest::newRow("ß as two letters before a later text") << 0x58 << "aß"
                                                          << "ast" << -1;
    QTest::newRow("cp437 ß") << 0x0F << "Straße"
                             << "Strasst" << -1;
    QTest::newRow("accented e") << 0x10 << "café"
                                << "caff" << -1;
    QTest::newRow("cedilla") << 0x0F << "Çb"
                             << "Ca" << 1;
    QTest::newRow("S with caron") << 0x58 << "Ša"
                                  << "Ta" << -1;
    QTest::newRow("Ø as O") << 0x58 << "Øl"
                            << "Om" << -1;
    QTest::newRow("ligature keeps its byte") << 0x58 << "Æ"
                                             << "Z" << 1;
    QTest::newRow("the same bytes are equal") << 0x58 << "Mödling"
                                              << "Mödling  " << 0;
    QTest::newRow("control byte below blank") << 0x58 << "ä\x01"
                                              << "ä" << -1;
    QTest::newRow("blank below letters") << 0x0F << "ä b"
                                         << "äa" << -1;
    QTest::newRow("0x57 keeps byte order") << 0x57 << "Ärger"
                                           << "Zell" << 1;
    QTest::newRow("0x03 keeps byte order") << 0x03 << "Ärger"
                                           << "Zell" << 1;
    QTest::newRow("0x01 keeps byte order") << 0x01 << "Ärger"
                                           << "Zell" << 1;
    QTest::newRow("0x00 keeps byte order") << 0x00 << "Ärger"
                                           << "Zell" << 1;
    QTest::newRow("byte order: ß after s") << 0x57 << "aß"
                                           << "ast" << 1;
}

// Both ways round; the sort forms agree at the texts' width and wider.
void tst_Collation::compare()
{
    QFETCH(int, driver);
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, sign);

    const Collation collation = Collation::forLanguageDriver(std::uint8_t(driver));
    const std::string x = inCodePageOf(driver, a);
    const std::string y = inCodePageOf(driver, b);
    QCOMPARE(collation.compare(x, y), sign);
    QCOMPARE(collation.compare(y, x), -sign);
    for (const std::size_t width : {std::max(x.size(), y.size()), x.size() + y.size() + 3}) {
        const auto fx = sortForm(collation, x, width);
        const auto fy = sortForm(collation, y, width);
        QCOMPARE(::sign(std::memcmp(fx.data(), fy.data(), fx.size())), sign);
    }
}

// Every pair of short texts over bytes that fold, expand, tie or sit around the blank:
// compare() and the memcmp order of the sort forms agree, for each kind of driver.
void tst_Collation::sortFormAgreesWithCompare()
{
    const char alphabet[] = {' ',    '\x01', 'a',    'A',    's',   'z',
                             '\xE4', '\xC4', '\xDF', '\x84', '\xE1'};
    std::vector<std::string> texts{""};
    for (std::size_t begin = 0, length = 1; length <= 3; ++length) {
        const std::size_t end = texts.size();
        for (std::size_t i = begin; i < end; ++i)
            for (const char c : alphabet)
                texts.push_back(texts[i] + c);
        begin = end;
    }
    for (const int driver : {0x57, 0x0F, 0x10, 0x58}) {
        const Collation collation = Collation::forLanguageDriver(std::uint8_t(driver));
        std::vector<std::vector<unsigned char>> forms;
        for (const std::string &t : texts)
            forms.push_back(sortForm(collation, t, 3));
        int mismatches = 0;
        for (std::size_t i = 0; i < texts.size(); ++i)
            for (std::size_t j = 0; j < texts.size(); ++j) {
                const int bytes =
                    sign(std::memcmp(forms[i].data(), forms[j].data(), forms[i].size()));
                if (bytes != sign(collation.compare(texts[i], texts[j])) && ++mismatches < 5)
                    qWarning("driver %x: '%s' against '%s'", driver, texts[i].c_str(),
                             texts[j].c_str());
            }
        QCOMPARE(mismatches, 0);
    }
}

// A .cpg file may name another code page than the language driver's: the driver's
// letters are then other characters, and the bytes decide.
void tst_Collation::foldsOnlyInTheDriversCodePage()
{
    QVERIFY(Collation::forTable(0x58, 1252).foldsLetters());
    QVERIFY(Collation::forTable(0x0F, 437).foldsLetters());
    QVERIFY(!Collation::forTable(0x58, 65001).foldsLetters());
    QVERIFY(!Collation::forTable(0x10, 1251).foldsLetters());
    QVERIFY(!Collation::forTable(0x57, 1252).foldsLetters());
}

QTEST_APPLESS_MAIN(tst_Collation)
#include "tst_Collation.moc"
