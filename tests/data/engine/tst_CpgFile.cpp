// The .cpg file beside a table names its code page in the forms GIS programs write;
// a form the engine knows wins over the language byte, any other is ignored.
#include "DbaseEngine.h"
#include "DbfFixture.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace dbase;

class tst_CpgFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void codePageOfCpgFile_data();
    void codePageOfCpgFile();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Engine> m_engine;
};

void tst_CpgFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_engine = createDbaseEngine();
    QCOMPARE(m_engine->start(), status::Ok);
}

void tst_CpgFile::codePageOfCpgFile_data()
{
    QTest::addColumn<QString>("cpgName"); // "": none
    QTest::addColumn<QByteArray>("cpg");
    QTest::addColumn<int>("driver");
    QTest::addColumn<int>("codePage");
    QTest::addColumn<bool>("fromCpg");
    QTest::newRow("no .cpg") << "" << QByteArray() << 0xC9 << 1251 << false;
    QTest::newRow("UTF-8 over byte 0") << "T.cpg" << QByteArray("UTF-8") << 0x00 << 65001 << true;
    QTest::newRow("65001 over 0x57") << "T.CPG" << QByteArray("65001") << 0x57 << 65001 << true;
    QTest::newRow("utf-8 with BOM and line end")
        << "t.Cpg" << QByteArray("\xEF\xBB\xBFutf-8\r\n") << 0x57 << 65001 << true;
    QTest::newRow("bare number") << "T.cpg" << QByteArray("1252\n") << 0x65 << 1252 << true;
    QTest::newRow("ANSI 1251") << "T.cpg" << QByteArray("ANSI 1251") << 0x57 << 1251 << true;
    QTest::newRow("CP1250") << "T.cpg" << QByteArray("CP1250") << 0x57 << 1250 << true;
    QTest::newRow("ISO-8859-1") << "T.cpg" << QByteArray("ISO-8859-1") << 0x00 << 28591 << true;
    QTest::newRow("8859-5") << "T.cpg" << QByteArray("8859-5") << 0x00 << 28595 << true;
    QTest::newRow("88592") << "T.cpg" << QByteArray("88592") << 0x00 << 28592 << true;
    QTest::newRow("LDID/87") << "T.cpg" << QByteArray("LDID/87") << 0x65 << 1252 << true;
    QTest::newRow("GBK") << "T.cpg" << QByteArray("GBK") << 0x00 << 936 << true;
    QTest::newRow("Big5") << "T.cpg" << QByteArray("Big5") << 0x00 << 950 << true;
    QTest::newRow("unknown name") << "T.cpg" << QByteArray("KLINGON") << 0xC9 << 1251 << false;
    QTest::newRow("unknown number") << "T.cpg" << QByteArray("4711") << 0xC9 << 1251 << false;
    QTest::newRow("page without a table")
        << "T.cpg" << QByteArray("10006") << 0xC9 << 1251 << false;
    QTest::newRow("LDID naming nothing")
        << "T.cpg" << QByteArray("LDID/0") << 0xC9 << 1251 << false;
    QTest::newRow("empty") << "T.cpg" << QByteArray() << 0xC9 << 1251 << false;
    QTest::newRow("more than a line") << "T.cpg" << QByteArray(100, '1') << 0xC9 << 1251 << false;
    QTest::newRow("of another table") << "U.cpg" << QByteArray("UTF-8") << 0xC9 << 1251 << false;
}

void tst_CpgFile::codePageOfCpgFile()
{
    QFETCH(QString, cpgName);
    QFETCH(QByteArray, cpg);
    QFETCH(int, driver);
    QVERIFY(fixture::write(m_dir->filePath("T.DBF"),
                           fixture::table({{"NAME", 'C', 10}}, {"Wien"}, 0x03, quint8(driver))));
    if (!cpgName.isEmpty())
        QVERIFY(fixture::write(m_dir->filePath(cpgName), cpg));
    std::unique_ptr<EngineCursor> cursor;
    const std::string dir = m_dir->path().toStdString();
    QCOMPARE(m_engine->openTable(dir, "T.DBF", "DBASE", cursor), status::Ok);
    int codePage = 0;
    QCOMPARE(cursor->cursorLocale(codePage), status::Ok);
    QTEST(codePage, "codePage");
    CodePageOrigin origin = CodePageOrigin::User;
    QCOMPARE(cursor->codePageOrigin(origin), status::Ok);
    QTEST(origin == CodePageOrigin::CpgFile, "fromCpg");
}

QTEST_APPLESS_MAIN(tst_CpgFile)
#include "tst_CpgFile.moc"
