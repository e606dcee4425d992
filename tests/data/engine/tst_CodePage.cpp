#include "CodePage.h"

#include <QtTest>

using namespace dbase;

class tst_CodePage : public QObject
{
    Q_OBJECT

private slots:
    void languageDrivers_data();
    void languageDrivers();
    void storedTexts_data();
    void storedTexts();
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
    QTest::newRow("0x0C Finnish 850") << 0x0C << 850;
    QTest::newRow("0x0F DB437DE0") << 0x0F << 437;
    QTest::newRow("0x10 DB850DE0") << 0x10 << 850;
    QTest::newRow("0x1F Czech") << 0x1F << 852;
    QTest::newRow("0x58 WEurope") << 0x58 << 1252;
    QTest::newRow("0x68 Kamenicky") << 0x68 << 895;
    QTest::newRow("0x69 Mazovia") << 0x69 << 620;
    QTest::newRow("0x85 Hebrew OEM") << 0x85 << 862;
    QTest::newRow("0x86 Greek OEM") << 0x86 << 737;
    QTest::newRow("0x87 Slovenian OEM") << 0x87 << 852;
    QTest::newRow("0x88 Turkish OEM") << 0x88 << 857;
    QTest::newRow("0x98 Macintosh Greek") << 0x98 << 10006;
    QTest::newRow("unknown 0xEE") << 0xEE << 0;
}

void tst_CodePage::languageDrivers()
{
    QFETCH(int, driver);
    QTEST(CodePage::fromLanguageDriver(std::uint8_t(driver)), "codePage");
}

// Real words stored in each code page that a language-driver byte names (driver -1: a
// code page that only a .cpg file names): their UTF-8, what the window shows (one '?'
// for each character that Windows-1252 lacks, of one byte or two), and the stored bytes
// again from the UTF-8. Then bytes that are no character.
void tst_CodePage::storedTexts_data()
{
    QTest::addColumn<int>("driver");
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("utf8");
    QTest::addColumn<QString>("window");
    QTest::newRow("0x01 437") << 0x01 << 437 << QByteArray("Gr\x94\xE1\x65 \x8Erger")
                              << QString("Größe Ärger") << QString("Größe Ärger");
    QTest::newRow("0x02 850") << 0x02 << 850 << QByteArray("S\x9Bren \x92r\x9B \xF5\x33")
                              << QString("Søren Ærø §3") << QString("Søren Ærø §3");
    QTest::newRow("0x03 1252") << 0x03 << 1252 << QByteArray("\x8Cuvre \x96 5 \x80")
                               << QString("Œuvre – 5 €") << QString("Œuvre – 5 €");
    QTest::newRow("0x04 10000") << 0x04 << 10000 << QByteArray("Caf\x8E Z\x9Frich")
                                << QString("Café Zürich") << QString("Café Zürich");
    QTest::newRow("0x08 865") << 0x08 << 865 << QByteArray("Bj\x9Brn \x92r\x9Bsk\x9B\x62ing")
                              << QString("Bjørn Ærøskøbing") << QString("Bjørn Ærøskøbing");
    QTest::newRow("0x13 932") << 0x13 << 932 << QByteArray("\x93\x8C\x8B\x9E\x93s \xB6\xC0\xB6\xC5")
                              << QString("東京都 ｶﾀｶﾅ") << QString("??? ????");
    QTest::newRow("0x1C 863") << 0x1C << 863 << QByteArray("Qu\x82\x62\x65\x63 Montr\x82\x61l")
                              << QString("Québec Montréal") << QString("Québec Montréal");
    QTest::newRow("0x24 860") << 0x24 << 860 << QByteArray("S\x84o Jo\x84o") << QString("São João")
                              << QString("São João");
    QTest::newRow("0x26 866") << 0x26 << 866 << QByteArray("\x8C\xAE\xE1\xAA\xA2\xA0")
                              << QString("Москва") << QString("??????");
    QTest::newRow("0x4D 936") << 0x4D << 936 << QByteArray("\xB1\xB1\xBE\xA9\xCA\xD0")
                              << QString("北京市") << QString("???");
    QTest::newRow("0x4E 949") << 0x4E << 949
                              << QByteArray("\xBC\xAD\xBF\xEF\xC6\xAF\xBA\xB0\xBD\xC3")
                              << QString("서울특별시") << QString("?????");
    QTest::newRow("0x4F 950") << 0x4F << 950 << QByteArray("\xBBO\xA5_\xA5\xAB")
                              << QString("臺北市") << QString("???");
    QTest::newRow("0x50 874") << 0x50 << 874 << QByteArray("\xA1\xC3\xD8\xA7\xE0\xB7\xBE")
                              << QString("กรุงเทพ") << QString("???????");
    QTest::newRow("0x57 1252") << 0x57 << 1252 << QByteArray("M\xF6\x64ling") << QString("Mödling")
                               << QString("Mödling");
    QTest::newRow("0x64 852") << 0x64 << 852 << QByteArray("\x9D\xA2\x64\xAB Brno")
                              << QString("Łódź Brno") << QString("?ód? Brno");
    QTest::newRow("0x65 866") << 0x65 << 866
                              << QByteArray(
                                     "\x91\xA0\xAD\xAA\xE2-\x8F\xA5\xE2\xA5\xE0\xA1\xE3\xE0\xA3")
                              << QString("Санкт-Петербург")
                              << QString("?????"
                                         "-?????????");
    QTest::newRow("0x66 865") << 0x66 << 865 << QByteArray("Troms\x9B") << QString("Tromsø")
                              << QString("Tromsø");
    QTest::newRow("0x67 861") << 0x67 << 861 << QByteArray("\x8D\xA2rsh\x94\x66n")
                              << QString("Þórshöfn") << QString("Þórshöfn");
    QTest::newRow("0x6A 737") << 0x6A << 737 << QByteArray("\x80\x9F\xE3\xA4\x98")
                              << QString("Αθήνα") << QString("?????");
    QTest::newRow("0x6B 857") << 0x6B << 857 << QByteArray("\x98stanbul Mu\xA7la")
                              << QString("İstanbul Muğla") << QString("?stanbul Mu?la");
    QTest::newRow("0x78 950") << 0x78 << 950 << QByteArray("\xB0\xAA\xB6\xAF") << QString("高雄")
                              << QString("??");
    QTest::newRow("0x79 949") << 0x79 << 949 << QByteArray("\xBA\xCE\xBB\xEA") << QString("부산")
                              << QString("??");
    QTest::newRow("0x7A 936") << 0x7A << 936 << QByteArray("\xC9\xCF\xBA\xA3") << QString("上海")
                              << QString("??");
    QTest::newRow("0x7B 932") << 0x7B << 932 << QByteArray("\x91\xE5\x8D\xE3") << QString("大阪")
                              << QString("??");
    QTest::newRow("0x7C 874") << 0x7C << 874 << QByteArray("\xE0\xAA\xD5\xC2\xA7\xE3\xCB\xC1\xE8")
                              << QString("เชียงใหม่") << QString("?????????");
    QTest::newRow("0x7D 1255") << 0x7D << 1255 << QByteArray("\xE9\xF8\xE5\xF9\xEC\xE9\xED")
                               << QString("ירושלים") << QString("???????");
    QTest::newRow("0x7E 1256") << 0x7E << 1256 << QByteArray("\xC7\xE1\xDE\xC7\xE5\xD1\xC9")
                               << QString("القاهرة") << QString("???????");
    QTest::newRow("0x96 10007") << 0x96 << 10007
                                << QByteArray("\x8D\xEE\xE2\xEE\xF1\xE8\xE1\xE8\xF0\xF1\xEA")
                                << QString("Новосибирск") << QString("???????????");
    QTest::newRow("0x97 10029") << 0x97 << 10029 << QByteArray("\xFC\x97\x64\x90 Krak\x97w")
                                << QString("Łódź Kraków") << QString("?ód? Kraków");
    QTest::newRow("0xC8 1250") << 0xC8 << 1250 << QByteArray("\xA3\xF3\x64\x9F Krak\xF3w")
                               << QString("Łódź Kraków") << QString("?ód? Kraków");
    QTest::newRow("0xC9 1251") << 0xC9 << 1251 << QByteArray("\xCC\xEE\xF1\xEA\xE2\xE0")
                               << QString("Москва") << QString("??????");
    QTest::newRow("0xCA 1254") << 0xCA << 1254 << QByteArray("\xDDstanbul \xDEi\xFEli")
                               << QString("İstanbul Şişli") << QString("?stanbul ?i?li");
    QTest::newRow("0xCB 1253") << 0xCB << 1253 << QByteArray("\xC1\xE8\xDE\xED\xE1")
                               << QString("Αθήνα") << QString("?????");
    QTest::newRow("0xCC 1257") << 0xCC << 1257 << QByteArray("K\xEB\x64\x61iniai \xD0iauliai")
                               << QString("Kėdainiai Šiauliai") << QString("K?dainiai Šiauliai");

    QTest::newRow("0x0F 437 line drawing")
        << 0x0F << 437 << QByteArray("a\xC9z") << QString("a╔z") << QString("a?z");
    QTest::newRow("0x1F 852 Czech")
        << 0x1F << 852 << QByteArray("\x9F\xA7\x84") << QString("čžä") << QString("?žä");
    QTest::newRow("UTF-8") << -1 << 65001 << QByteArray("\xC5\x81\xC3\xB3\x64\xC5\xBA \xE5\x8C\x97")
                           << QString("Łódź 北") << QString("?ód? ?");
    QTest::newRow("ISO-8859-5") << -1 << 28595 << QByteArray("\xBC\xDE\xE1\xDA\xD2\xD0")
                                << QString("Москва") << QString("??????");
    QTest::newRow("ISO-8859-1") << -1 << 28591 << QByteArray("\xD1\x61nd\xFA") << QString("Ñandú")
                                << QString("Ñandú");

    // Bytes that are no character: a C1 value where Windows gives one, else U+FFFD;
    // the window shows '?' for both.
    const QString fffd(QChar(0xFFFD));
    QTest::newRow("1252 undefined byte")
        << -1 << 1252 << QByteArray("a\x81z") << QString("a") + QChar(0x81) + "z" << QString("a?z");
    QTest::newRow("1253 undefined byte")
        << -1 << 1253 << QByteArray("\xAA") << fffd << QString("?");
    QTest::newRow("932 lead byte at the end")
        << -1 << 932 << QByteArray("x\x81") << "x" + fffd << QString("x?");
    QTest::newRow("932 lead byte before a blank")
        << -1 << 932 << QByteArray("\x81 x") << fffd + " x" << QString("? x");
    QTest::newRow("932 undefined pair")
        << -1 << 932 << QByteArray("\x85\x40x") << fffd + "x" << QString("?x");
    QTest::newRow("UTF-8 cut") << -1 << 65001 << QByteArray("a\xE5\x8C") << "a" + fffd
                               << QString("a?");
    QTest::newRow("UTF-8 malformed") << -1 << 65001 << QByteArray("a\xFF\xC0\xAFz")
                                     << "a" + fffd + fffd + fffd + "z" << QString("a???z");
    QTest::newRow("page without a table")
        << 0x98 << 10006 << QByteArray("ab\x80") << "ab" + fffd << QString("ab?");
}

void tst_CodePage::storedTexts()
{
    QFETCH(int, driver);
    QFETCH(int, codePage);
    QFETCH(QByteArray, stored);
    QFETCH(QString, utf8);
    if (driver >= 0)
        QCOMPARE(CodePage::fromLanguageDriver(std::uint8_t(driver)), codePage);
    const CodePage &page = CodePage::of(codePage);
    const std::string bytes = stored.toStdString();
    QCOMPARE(QString::fromStdString(page.toUtf8(bytes)), utf8);
    QTEST(QString::fromStdString(CodePage::ansiToUtf8(page.toAnsi(bytes))), "window");
    const bool onlyCharacters = std::none_of(utf8.begin(), utf8.end(), [](QChar c) {
        return c.unicode() == 0xFFFD || (c.unicode() >= 0x80 && c.unicode() < 0xA0);
    });
    if (onlyCharacters)
        QCOMPARE(page.fromUtf8(utf8.toStdString()), bytes);
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
    QTest::newRow("936 has u with umlaut") << 936 << QByteArray("x\xFC") << QByteArray("x\xA8\xB9");
    QTest::newRow("932 lacks a with umlaut") << 932 << QByteArray("x\xE4") << QByteArray("x?");
    QTest::newRow("UTF-8") << 65001 << QByteArray("\xC4\x80") << QByteArray("\xC3\x84\xE2\x82\xAC");
}

void tst_CodePage::fromAnsi()
{
    QFETCH(int, codePage);
    QFETCH(QByteArray, ansi);
    QTEST(QByteArray::fromStdString(CodePage::of(codePage).fromAnsi(ansi.toStdString())), "stored");
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
        const std::string stored = CodePage::of(codePage).fromAnsi(ansi);
        if (stored == "?")
            continue;
        QCOMPARE(CodePage::of(codePage).toAnsi(stored), ansi);
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
