// The one rule for names compared without regard to letter case: the letter pairs of
// Windows-1252, for its bytes, for a table's code page and for file names in UTF-8
// or in Windows-1252 bytes.
#include "AnsiCase.h"
#include "CodePage.h"

#include <QtTest>

using namespace dbase;

class tst_AnsiCase : public QObject
{
    Q_OBJECT

private slots:
    void pairsOfEveryByte();
    void equalNames_data();
    void equalNames();
};

// Exactly A-Z, À-Þ without ×, Š, Œ, Ž and Ÿ have a small partner, and back; the
// pairs are the same for the characters these bytes stand for.
void tst_AnsiCase::pairsOfEveryByte()
{
    const auto unicode = [](char c) {
        return char32_t(
            QString::fromStdString(CodePage::ansiToUtf8(std::string(1, c))).toUcs4().front());
    };
    QByteArray capitals;
    for (int b = 0; b < 256; ++b) {
        const char c = char(b);
        const char small = AnsiCase::lowerByte(c);
        if (small == c)
            continue;
        capitals += c;
        QCOMPARE(AnsiCase::upperByte(small), c);
        QCOMPARE(AnsiCase::upperCharacter(unicode(small)), unicode(c));
    }
    QByteArray expected = "ABCDEFGHIJKLMNOPQRSTUVWXYZ\x8A\x8C\x8E\x9F";
    for (int b = 0xC0; b <= 0xDE; ++b)
        if (b != 0xD7)
            expected += char(b);
    std::sort(capitals.begin(), capitals.end());
    std::sort(expected.begin(), expected.end());
    QCOMPARE(capitals, expected);
    int smalls = 0;
    for (int b = 0; b < 256; ++b)
        smalls += AnsiCase::upperByte(char(b)) != char(b);
    QCOMPARE(smalls, expected.size());
    QCOMPARE(AnsiCase::upperCharacter(U'ı'), U'ı'); // not a letter of Windows-1252
}

void tst_AnsiCase::equalNames_data()
{
    QTest::addColumn<int>("codePage"); // 0: file names
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<bool>("equal");
    QTest::newRow("i and I") << 1252 << QByteArray("Kleingem") << QByteArray("KLEINGEM") << true;
    QTest::newRow("ä and Ä") << 1252 << QByteArray("l\xE4nge") << QByteArray("L\xC4NGE") << true;
    QTest::newRow("ÿ and Ÿ") << 1252 << QByteArray("\xFF") << QByteArray("\x9F") << true;
    QTest::newRow("÷ and ×") << 1252 << QByteArray("\xF7") << QByteArray("\xD7") << false;
    QTest::newRow("ß and SS") << 1252 << QByteArray("MA\xDF") << QByteArray("MASS") << false;
    QTest::newRow("cp437 ä and Ä") << 437 << QByteArray("\x84") << QByteArray("\x8E") << true;
    // Two box characters that Windows-1252 lacks: both read as '?', still not equal.
    QTest::newRow("cp437 ░ and ▒") << 437 << QByteArray("\xB0") << QByteArray("\xB1") << false;
    QTest::newRow("file, lower case")
        << 0 << QByteArray("cd_gis.dbf") << QByteArray("CD_GIS.DBF") << true;
    QTest::newRow("file, UTF-8 and Windows-1252") << 0
                                                  << QByteArray("gr\xC3\xB6\xC3\x9F"
                                                                "e.dbf")
                                                  << QByteArray("GR\xD6\xDF"
                                                                "E.DBF")
                                                  << true;
    QTest::newRow("file, UTF-8 umlauts in two cases")
        << 0 << QByteArray("\xC3\xA4") << QByteArray("\xC3\x84") << true;
    QTest::newRow("file, dotless i")
        << 0 << QByteArray("cd_g\xC4\xB1s.dbf") << QByteArray("CD_GIS.DBF") << false;
}

void tst_AnsiCase::equalNames()
{
    QFETCH(int, codePage);
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    const std::string_view x(a.constData(), std::size_t(a.size()));
    const std::string_view y(b.constData(), std::size_t(b.size()));
    const bool equal =
        codePage == 0 ? AnsiCase::equalNames(x, y) : AnsiCase::equalInCodePage(codePage, x, y);
    QTEST(equal, "equal");
    QCOMPARE(codePage == 0 ? AnsiCase::equalNames(y, x) : AnsiCase::equalInCodePage(codePage, y, x),
             equal);
}

QTEST_APPLESS_MAIN(tst_AnsiCase)
#include "tst_AnsiCase.moc"
