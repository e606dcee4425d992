#include "CodePage.h"

#include <QtTest>

using namespace dbase;

class tst_CodePage : public QObject
{
    Q_OBJECT

private slots:
    void languageDrivers_data();
    void languageDrivers();
    void toAnsi_data();
    void toAnsi();
    void fromAnsi_data();
    void fromAnsi();
    void roundTripOfEveryAnsiLetter_data();
    void roundTripOfEveryAnsiLetter();
    void utf8();
};

void tst_CodePage::languageDrivers_data()
{
    QTest::addColumn<int>("driver");
    QTest::addColumn<int>("codePage");
    QTest::newRow("0x00 unset") << 0x00 << 0;
    QTest::newRow("0x01") << 0x01 << 437;
    QTest::newRow("0x02") << 0x02 << 850;
    QTest::newRow("0x03") << 0x03 << 1252;
    QTest::newRow("0x0F DB437DE0") << 0x0F << 437;
    QTest::newRow("0x10 DB850DE0") << 0x10 << 850;
    QTest::newRow("0x1F Czech") << 0x1F << 852;
    QTest::newRow("0x57 ANSI") << 0x57 << 1252;
    QTest::newRow("0x58 WEurope") << 0x58 << 1252;
    QTest::newRow("0x64 FoxPro EE") << 0x64 << 852;
    QTest::newRow("0x65 Russian DOS") << 0x65 << 866;
    QTest::newRow("0x66 Nordic DOS") << 0x66 << 865;
    QTest::newRow("0xC8") << 0xC8 << 1250;
    QTest::newRow("0xC9") << 0xC9 << 1251;
    QTest::newRow("unknown 0xEE") << 0xEE << 0;
}

void tst_CodePage::languageDrivers()
{
    QFETCH(int, driver);
    QTEST(CodePage::fromLanguageDriver(std::uint8_t(driver)), "codePage");
}

// "Größe Ämter" and friends from each code page to Windows-1252.
void tst_CodePage::toAnsi_data()
{
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QByteArray>("ansi");
    QTest::newRow("437 umlauts") << 437
                                 << QByteArray("Gr\x94\xE1"
                                               "e \x8Emter \x81\x84\x99\x9A")
                                 << QByteArray("Gr\xF6\xDF"
                                               "e \xC4mter \xFC\xE4\xD6\xDC");
    QTest::newRow("850 umlauts and section")
        << 850 << QByteArray("\x84\xF5") << QByteArray("\xE4\xA7");
    QTest::newRow("437 box drawing has no ANSI")
        << 437 << QByteArray("a\xC9z") << QByteArray("a?z");
    QTest::newRow("852 Czech letters")
        << 852 << QByteArray("\x9F\xA7\x84") << QByteArray("?\x9E\xE4"); // č ž ä
    QTest::newRow("1250 Polish letters")
        << 1250 << QByteArray("\xB9\xE4\xDF") << QByteArray("?\xE4\xDF"); // ą ä ß
    QTest::newRow("1251 Cyrillic") << 1251 << QByteArray("\xC0\xE0 x") << QByteArray("?? x");
    QTest::newRow("1252 unchanged")
        << 1252 << QByteArray("\x80\xE4\x81") << QByteArray("\x80\xE4\x81");
    QTest::newRow("unsupported 866") << 866 << QByteArray("ab\x80") << QByteArray("ab?");
}

void tst_CodePage::toAnsi()
{
    QFETCH(int, codePage);
    QFETCH(QByteArray, stored);
    QTEST(QByteArray::fromStdString(CodePage::toAnsi(codePage, stored.toStdString())), "ansi");
}

void tst_CodePage::fromAnsi_data()
{
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QByteArray>("ansi");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("437") << 437 << QByteArray("L\xC4NGE \xDF") << QByteArray("L\x8ENGE \xE1");
    QTest::newRow("850") << 850 << QByteArray("\xA7\xB3") << QByteArray("\xF5\xFC"); // § ³
    QTest::newRow("437 lacks section sign") << 437 << QByteArray("\xA7") << QByteArray("?");
    QTest::newRow("1251 lacks umlauts") << 1251 << QByteArray("\xE4x") << QByteArray("?x");
    QTest::newRow("852") << 852 << QByteArray("\xE4\xF6\xFC") << QByteArray("\x84\x94\x81");
}

void tst_CodePage::fromAnsi()
{
    QFETCH(int, codePage);
    QFETCH(QByteArray, ansi);
    QTEST(QByteArray::fromStdString(CodePage::fromAnsi(codePage, ansi.toStdString())), "stored");
}

// Every 1252 character that the OEM page has comes back unchanged.
void tst_CodePage::roundTripOfEveryAnsiLetter_data()
{
    QTest::addColumn<int>("codePage");
    QTest::addColumn<int>("atLeast"); // characters of 0x80..0xFF that survive
    QTest::newRow("437") << 437 << 40;
    QTest::newRow("850") << 850 << 90;
    QTest::newRow("1250") << 1250 << 70;
}

void tst_CodePage::roundTripOfEveryAnsiLetter()
{
    QFETCH(int, codePage);
    QFETCH(int, atLeast);
    int survived = 0;
    for (int b = 0x80; b <= 0xFF; ++b) {
        const std::string ansi(1, char(b));
        const std::string stored = CodePage::fromAnsi(codePage, ansi);
        if (stored == "?")
            continue;
        QCOMPARE(CodePage::toAnsi(codePage, stored), ansi);
        ++survived;
    }
    QVERIFY2(survived >= atLeast, QByteArray::number(survived).constData());
}

void tst_CodePage::utf8()
{
    QCOMPARE(CodePage::ansiToUtf8("L\xC4NGE Bq/m\xB3 \x80"), std::string("LÄNGE Bq/m³ €"));
    QCOMPARE(CodePage::utf8ToAnsi("LÄNGE Bq/m³ € Ω"), std::string("L\xC4NGE Bq/m\xB3 \x80 ?"));
    QCOMPARE(CodePage::utf8ToAnsi("bad \xC3"), std::string("bad ?"));
    QCOMPARE(CodePage::utf8ToAnsi("\xF0\x9F\x98\x80!"), std::string("?!"));
}

QTEST_APPLESS_MAIN(tst_CodePage)
#include "tst_CodePage.moc"
