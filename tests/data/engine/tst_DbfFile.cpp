#include "DbfFile.h"
#include "DbfFixture.h"
#include "FieldDecoder.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace dbase;

Q_DECLARE_METATYPE(dbase::Status)

namespace {

std::vector<fixture::Field> sampleFields()
{
    return {{"NAME", 'C', 10}, {"KLASSE", 'N', 4}, {"WERT", 'N', 7, 2}};
}

QByteArray sampleTable()
{
    return fixture::table(sampleFields(), {"Wien         -5  12.50", "Graz          3   1.00"});
}

Status check(const QByteArray &bytes, std::uint64_t fileSize, DbfLayout &layout,
             std::string &problem)
{
    return DbfFile::checkHeader(std::string_view(bytes.constData(), std::size_t(bytes.size())),
                                fileSize, layout, problem);
}

} // namespace

class tst_DbfFile : public QObject
{
    Q_OBJECT

private slots:
    void header_data();
    void header();
    void fieldTypes();
    void deletedRecordsAreNotLive();
    void decodesStoredTexts_data();
    void decodesStoredTexts();
    void openNamesTheProblem();
    void codePageFromDriverOrText_data();
    void codePageFromDriverOrText();
};

// Each damaged header gives its own status, and a problem text that says what is wrong.
void tst_DbfFile::header_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("fileSize"); // -1: the bytes' size
    QTest::addColumn<dbase::Status>("expected");
    QTest::addColumn<QString>("problemPart");

    const QByteArray good = sampleTable();
    QTest::newRow("valid dBASE IV") << good << qint64(-1) << status::Ok << QString();
    QByteArray v3 = good;
    v3[0] = 0x03;
    QTest::newRow("valid dBASE III") << v3 << qint64(-1) << status::Ok << QString();
    QTest::newRow("shorter than a header") << good.left(20) << qint64(-1) << status::NotATable
                                           << QString("kürzer als ein Tabellenkopf");
    QTest::newRow("truncated records")
        << good.left(good.size() - 10) << qint64(-1) << status::TableDamaged
        << QString("gibt 2 Datensätze an, die Datei enthält aber nur 1");
    QByteArray count = good;
    fixture::putLe(count, 4, 1000000, 4);
    QTest::newRow("record count beyond size")
        << count << qint64(-1) << status::TableDamaged << QString("gibt 1000000 Datensätze an");
    QByteArray length = good;
    fixture::putLe(length, 10, 30, 2);
    QTest::newRow("record length mismatch") << length << qint64(-1) << status::TableDamaged
                                            << QString("Satzlänge im Tabellenkopf (30)");
    QByteArray terminator = good;
    terminator[32 + 3 * 32] = 'X';
    QTest::newRow("missing terminator")
        << terminator << qint64(-1) << status::TableDamaged << QString("(0x0D) fehlt");
    QByteArray encrypted = good;
    encrypted[15] = 1;
    QTest::newRow("encrypted") << encrypted << qint64(-1) << status::TableEncrypted
                               << QString("verschlüsselt");
    QByteArray seven = good;
    seven[0] = char(0x8C);
    QTest::newRow("dBASE 7 with memo")
        << seven << qint64(-1) << status::UnsupportedVersion << QString("dBASE 7");
    seven[0] = 0x04;
    QTest::newRow("dBASE 7") << seven << qint64(-1) << status::UnsupportedVersion
                             << QString("dBASE 7");
    QByteArray unknown = good;
    unknown[0] = 0x42;
    QTest::newRow("unknown version")
        << unknown << qint64(-1) << status::NotATable << QString("0x42");
    QByteArray longHeader = good;
    fixture::putLe(longHeader, 8, 60000, 2);
    QTest::newRow("header longer than file")
        << longHeader << qint64(-1) << status::TableDamaged << QString("60000 Bytes");
    QByteArray zeroWidth = good;
    zeroWidth[32 + 16] = 0;
    QTest::newRow("field of width 0") << zeroWidth << qint64(-1) << status::TableDamaged
                                      << QString("Feld 1 (NAME) hat die Breite 0");
    std::vector<fixture::Field> many(1100, fixture::Field{"F", 'C', 1});
    QTest::newRow("thousands of fields") << fixture::table(many, {}) << qint64(-1)
                                         << status::LimitExceeded << QString("1100 Felder");
    QByteArray tiny = good;
    fixture::putLe(tiny, 8, 40, 2);
    QTest::newRow("header length too small")
        << tiny << qint64(-1) << status::TableDamaged << QString("unmöglich klein");
}

void tst_DbfFile::header()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, fileSize);
    QFETCH(dbase::Status, expected);
    QFETCH(QString, problemPart);
    DbfLayout layout;
    std::string problem;
    const auto size = fileSize < 0 ? std::uint64_t(bytes.size()) : std::uint64_t(fileSize);
    QCOMPARE(check(bytes, size, layout, problem), expected);
    QVERIFY2(QString::fromStdString(problem).contains(problemPart), problem.c_str());
    if (expected == status::Ok) {
        QCOMPARE(layout.fields.size(), std::size_t(3));
        QCOMPARE(layout.recordCount, 2u);
        QCOMPARE(layout.fields[2].offset, 1 + 10 + 4);
    }
}

void tst_DbfFile::fieldTypes()
{
    const auto bytes = fixture::table({{"S", 'N', 4},
                                       {"I", 'N', 5},
                                       {"D", 'N', 6, 2},
                                       {"F", 'F', 8, 3},
                                       {"DT", 'D', 8},
                                       {"L", 'L', 1},
                                       {"M", 'M', 10},
                                       {"X", 'Y', 8}},
                                      {});
    DbfLayout layout;
    std::string problem;
    QCOMPARE(check(bytes, std::uint64_t(bytes.size()), layout, problem), status::Ok);
    const std::vector<FieldType> expected = {
        FieldType::SmallInt, FieldType::Integer, FieldType::Number, FieldType::Number,
        FieldType::Date,     FieldType::Logical, FieldType::Memo,   FieldType::Other};
    QCOMPARE(layout.fields.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        QCOMPARE(int(layout.fields[i].type), int(expected[i]));
}

void tst_DbfFile::deletedRecordsAreNotLive()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("T.DBF");
    QVERIFY(fixture::write(
        path, fixture::table({{"NAME", 'C', 10}}, {"a", "b", "c", "d"}, 0x03, 0x57, " * *")));
    std::unique_ptr<DbfFile> file;
    std::string problem;
    QCOMPARE(DbfFile::open(path.toStdString(), file, problem), status::Ok);
    QCOMPARE(file->storedCount(), 4u);
    QCOMPARE(file->liveRecords(), (std::vector<std::uint32_t>{1, 3}));
    QVERIFY(file->isDeleted(2));
    QVERIFY(!file->isDeleted(3));
    QVERIFY(file->isDeleted(5)); // no such record
    QCOMPARE(file->recordData(5), nullptr);
}

void tst_DbfFile::decodesStoredTexts_data()
{
    QTest::addColumn<char>("type");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("blank");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("integer");
    QTest::addColumn<double>("number");

    QTest::newRow("text keeps leading, loses trailing blanks")
        << 'C' << 8 << 0 << QByteArray(" ab c   ") << false << QByteArray(" ab c") << 0 << 0.0;
    QTest::newRow("text padded with NULs")
        << 'C' << 4 << 0 << QByteArray("ab\0\0", 4) << false << QByteArray("ab") << 0 << 0.0;
    QTest::newRow("blank text") << 'C' << 4 << 0 << QByteArray("    ") << true << QByteArray() << 0
                                << 0.0;
    QTest::newRow("negative small integer")
        << 'N' << 4 << 0 << QByteArray("  -5") << false << QByteArray("-5") << -5 << 0.0;
    QTest::newRow("blank small integer")
        << 'N' << 4 << 0 << QByteArray("    ") << true << QByteArray() << 0 << 0.0;
    QTest::newRow("overflow asterisks")
        << 'N' << 4 << 0 << QByteArray("****") << true << QByteArray("****") << 0 << 0.0;
    QTest::newRow("integer") << 'N' << 9 << 0 << QByteArray("123456789") << false
                             << QByteArray("123456789") << 123456789 << 0.0;
    QTest::newRow("number with decimals")
        << 'N' << 7 << 2 << QByteArray(" -12.50") << false << QByteArray("-12.50") << 0 << -12.5;
    QTest::newRow("number with comma")
        << 'N' << 6 << 2 << QByteArray("  1,25") << false << QByteArray("1,25") << 0 << 1.25;
    QTest::newRow("date") << 'D' << 8 << 0 << QByteArray("20261208") << false
                          << QByteArray("20261208") << 0 << 0.0;
    QTest::newRow("zero date") << 'D' << 8 << 0 << QByteArray("00000000") << true
                               << QByteArray("00000000") << 0 << 0.0;
    QTest::newRow("logical y") << 'L' << 1 << 0 << QByteArray("y") << false << QByteArray("T") << 0
                               << 0.0;
    QTest::newRow("logical unknown")
        << 'L' << 1 << 0 << QByteArray("?") << true << QByteArray() << 0 << 0.0;
}

void tst_DbfFile::decodesStoredTexts()
{
    QFETCH(char, type);
    QFETCH(int, width);
    QFETCH(int, decimals);
    QFETCH(QByteArray, stored);
    const auto bytes = fixture::table({{"F", type, width, decimals}}, {});
    DbfLayout layout;
    std::string problem;
    QCOMPARE(check(bytes, std::uint64_t(bytes.size()), layout, problem), status::Ok);
    const QByteArray record = " " + stored;
    const FieldValue v = FieldDecoder::decode(layout.fields[0], record.constData());
    QTEST(v.blank, "blank");
    QTEST(QByteArray::fromStdString(v.text), "text");
    QTEST(int(v.integer), "integer");
    QTEST(v.number, "number");
}

void tst_DbfFile::openNamesTheProblem()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("CD_GIS.DBF");
    std::unique_ptr<DbfFile> file;
    std::string problem;
    QCOMPARE(DbfFile::open(path.toStdString(), file, problem), status::FileNotFound);
    QVERIFY(!file);
    QVERIFY(fixture::write(path, sampleTable().left(120)));
    QCOMPARE(DbfFile::open(path.toStdString(), file, problem), status::TableDamaged);
    QVERIFY(!file);
}

void tst_DbfFile::codePageFromDriverOrText_data()
{
    QTest::addColumn<int>("driver");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("codePage");
    QTest::newRow("0x57 ANSI") << 0x57 << QByteArray("M\x81hl") << 1252;
    QTest::newRow("0x0F German OEM 437") << 0x0F << QByteArray("M\xFChl") << 437;
    QTest::newRow("0x10 German OEM 850") << 0x10 << QByteArray("x") << 850;
    QTest::newRow("unset, OEM umlauts") << 0x00 << QByteArray("M\x81hle Gr\x94\xE1") << 437;
    QTest::newRow("unset, ANSI umlauts") << 0x00 << QByteArray("M\xFChle Gr\xF6\xDF") << 1252;
    QTest::newRow("unset, plain ASCII") << 0x00 << QByteArray("Wien") << 437;
    QTest::newRow("unknown driver guesses") << 0xEE << QByteArray("M\xFChle") << 1252;
}

void tst_DbfFile::codePageFromDriverOrText()
{
    QFETCH(int, driver);
    QFETCH(QByteArray, text);
    QTemporaryDir dir;
    const QString path = dir.filePath("T.DBF");
    QVERIFY(fixture::write(
        path, fixture::table({{"NAME", 'C', 12}}, {text.toStdString()}, 0x03, quint8(driver))));
    std::unique_ptr<DbfFile> file;
    std::string problem;
    QCOMPARE(DbfFile::open(path.toStdString(), file, problem), status::Ok);
    QTEST(file->codePage(), "codePage");
}

QTEST_APPLESS_MAIN(tst_DbfFile)
#include "tst_DbfFile.moc"
