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
    void fieldTypes_data();
    void fieldTypes();
    void characterWidths_data();
    void characterWidths();
    void level7Table();
    void largeTableReadInHalves();
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
    const std::vector<std::string> rows = {"Wien         -5  12.50", "Graz          3   1.00"};
    QTest::newRow("dBASE 7 with memo")
        << fixture::table7(sampleFields(), rows) << qint64(-1) << status::Ok << QString();
    QTest::newRow("dBASE 7 without memo")
        << fixture::table7(sampleFields(), rows, 0x04) << qint64(-1) << status::Ok << QString();
    QByteArray seven = good;
    seven[0] = char(0x8C);
    QTest::newRow("dBASE 7 version on a dBASE IV header")
        << seven << qint64(-1) << status::TableDamaged << QString("Satzlänge");
    QByteArray lineFeed = good;
    lineFeed[32 + 3 * 32] = '\x0A';
    QTest::newRow("field list ended by 0x0A") << lineFeed << qint64(-1) << status::Ok << QString();
    QByteArray nul = good;
    nul[32 + 3 * 32] = '\0';
    QTest::newRow("field list ended by 0x00") << nul << qint64(-1) << status::Ok << QString();
    QByteArray earlyLineFeed = good;
    earlyLineFeed[32 + 3 * 32] = '\x0A';
    fixture::putLe(earlyLineFeed, 8, 32 + 3 * 32 + 2, 2); // one byte more than the list needs
    QTest::newRow("0x0A before the header's end")
        << earlyLineFeed << qint64(-1) << status::TableDamaged << QString("(0x0D) fehlt");
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
    QTest::newRow("field of width 0, record length with it")
        << zeroWidth << qint64(-1) << status::TableDamaged
        << QString("Satzlänge im Tabellenkopf (22) passt nicht zur Summe der Feldbreiten + 1 (12)");
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

// The type letters as each family stores them: I is little-endian in FoxPro tables
// and sorted big-endian in dBASE 7 ones, B a double in Visual FoxPro and a memo in dBASE.
void tst_DbfFile::fieldTypes_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<QList<int>>("expected"); // FieldType per field of the list below
    using T = FieldType;
    auto types = [](std::initializer_list<T> list) {
        QList<int> out;
        for (const T t : list)
            out << int(t);
        return out;
    };
    const auto common = {T::SmallInt,  T::Integer,      T::Number, T::Number,   T::Date,
                         T::Logical,   T::Memo,         T::Memo,   T::Currency, T::DateTime,
                         T::Timestamp, T::SortedDouble, T::Other};
    QList<int> dbase = types(common) << int(T::Long) << int(T::Long) << int(T::Memo);
    QTest::newRow("dBASE IV") << 0x8B << dbase;
    QList<int> vfp = types(common) << int(T::Long) << int(T::Long) << int(T::Double);
    QTest::newRow("Visual FoxPro") << 0x30 << vfp;
    QList<int> seven = types(common) << int(T::SortedLong) << int(T::SortedLong) << int(T::Memo);
    QTest::newRow("dBASE 7") << 0x8C << seven;
}

void tst_DbfFile::fieldTypes()
{
    QFETCH(int, version);
    QFETCH(QList<int>, expected);
    const std::vector<fixture::Field> fields = {
        {"S", 'N', 4},  {"I", 'N', 5},  {"D", 'N', 6, 2}, {"F", 'F', 8, 3},
        {"DT", 'D', 8}, {"L", 'L', 1},  {"M", 'M', 10},   {"G", 'G', 10},
        {"Y", 'Y', 8},  {"T", 'T', 8},  {"TS", '@', 8},   {"O", 'O', 8},
        {"V", 'V', 10}, {"LI", 'I', 4}, {"AI", '+', 4},   {"B", 'B', version == 0x30 ? 8 : 10}};
    const auto bytes =
        version == 0x8C ? fixture::table7(fields, {}) : fixture::table(fields, {}, quint8(version));
    DbfLayout layout;
    std::string problem;
    QCOMPARE(check(bytes, std::uint64_t(bytes.size()), layout, problem), status::Ok);
    QCOMPARE(int(layout.fields.size()), expected.size());
    for (std::size_t i = 0; i < layout.fields.size(); ++i)
        QCOMPARE(int(layout.fields[i].type), expected[int(i)]);
}

// A character field's decimals byte is the high byte of its width where that makes
// the widths add up to the record length (Clipper, FoxPro), and is ignored where the
// plain width does (spreadsheet exports); a header where neither adds up is damaged.
void tst_DbfFile::characterWidths_data()
{
    QTest::addColumn<int>("lengthByte");
    QTest::addColumn<int>("decimalsByte");
    QTest::addColumn<int>("recordLength");
    QTest::addColumn<int>("width"); // -1: the header is refused
    QTest::newRow("decimals byte as the width's high byte") << 44 << 1 << 1 + 300 + 4 << 300;
    QTest::newRow("decimals byte of a spreadsheet export") << 10 << 2 << 1 + 10 + 4 << 10;
    QTest::newRow("neither reading adds up") << 10 << 2 << 1 + 30 + 4 << -1;
    // GIS exports write fields of width 0; the record length must still agree.
    QTest::newRow("width 0") << 0 << 0 << 1 + 0 + 4 << 0;
    QTest::newRow("width 0 against a longer record") << 0 << 0 << 1 + 1 + 4 << -1;
}

void tst_DbfFile::characterWidths()
{
    QFETCH(int, lengthByte);
    QFETCH(int, decimalsByte);
    QFETCH(int, recordLength);
    QFETCH(int, width);
    QByteArray bytes = fixture::table({{"NAME", 'C', 1}, {"KLASSE", 'N', 4}}, {});
    bytes[32 + 16] = char(lengthByte);
    bytes[32 + 17] = char(decimalsByte);
    fixture::putLe(bytes, 10, quint32(recordLength), 2);
    DbfLayout layout;
    std::string problem;
    const Status s = check(bytes, std::uint64_t(bytes.size()), layout, problem);
    if (width < 0) {
        QCOMPARE(s, status::TableDamaged);
        QVERIFY2(QString::fromStdString(problem).contains("Satzlänge"), problem.c_str());
        return;
    }
    QCOMPARE(s, status::Ok);
    QCOMPARE(layout.fields[0].width, width);
    QCOMPARE(layout.fields[0].decimals, 0);
    QCOMPARE(layout.fields[1].offset, 1 + width);
}

// A dBASE 7 table: long field names, the sorted binary integer and double, the
// timestamp, and a memo reference, each where the 48-byte descriptors put it.
void tst_DbfFile::level7Table()
{
    const std::string longName = "GEMEINDE_MIT_LANGEM_NAMEN";
    const std::string record = std::string("Wien ") + std::string("\x7F\xFF\xFF\xFB", 4) + // -5
                               std::string("\x42\xCC\xB2\x0E\x03\x40\xDF\x00", 8) + // 2000-08-16
                               std::string("\xC0\x29\x00\x00\x00\x00\x00\x00", 8) + // 12.5
                               "         1";
    QTemporaryDir dir;
    const QString path = dir.filePath("T.DBF");
    QVERIFY(fixture::write(path, fixture::table7({{longName, 'C', 5},
                                                  {"ANZAHL", 'I', 4},
                                                  {"ZEIT", '@', 8},
                                                  {"WERT", 'O', 8},
                                                  {"TEXT", 'M', 10}},
                                                 {record})));
    std::unique_ptr<DbfFile> file;
    std::string problem;
    QCOMPARE(DbfFile::open(path.toStdString(), file, problem), status::Ok);
    QVERIFY(file->layout().level7);
    const auto &fields = file->fields();
    QCOMPARE(int(fields.size()), 5);
    QCOMPARE(fields[0].name, longName);
    QCOMPARE(fields[4].offset, 1 + 5 + 4 + 8 + 8);
    QStringList texts;
    for (const FieldDesc &f : fields)
        texts << QString::fromStdString(FieldDecoder::decode(f, file->recordData(1)).text);
    QCOMPARE(texts, (QStringList{"Wien", "-5", "2000-08-16 17:21:41", "12.5", ""}));
}

// A table of more than 16 MiB is read in two halves at once: every record lands at
// its number, and the deleted ones of both halves are left out of the natural order.
void tst_DbfFile::largeTableReadInHalves()
{
    const int count = 70000;
    std::vector<std::string> records;
    std::string deleted(std::size_t(count), ' ');
    for (int i = 0; i < count; ++i)
        records.push_back(std::to_string(i + 1) + std::string(240, char('a' + i % 26)));
    for (const int recno : {1, 34999, 35000, 35001, 70000})
        deleted[std::size_t(recno - 1)] = '*';
    QTemporaryDir dir;
    const QString path = dir.filePath("T.DBF");
    QVERIFY(fixture::write(path, fixture::table({{"A", 'C', 250}}, records, 0x03, 0x57, deleted)));
    std::unique_ptr<DbfFile> file;
    std::string problem;
    QCOMPARE(DbfFile::open(path.toStdString(), file, problem), status::Ok);
    QCOMPARE(file->liveCount(), std::size_t(count - 5));
    for (const int recno : {2, 34998, 35002, 69999})
        QCOMPARE(std::string(file->recordData(std::uint32_t(recno)) + 1, 250),
                 (records[std::size_t(recno - 1)] + std::string(250, ' ')).substr(0, 250));
    QCOMPARE(file->liveRecordAt(0), 2u);
    QCOMPARE(file->liveRecordAt(34997), 35002u);
    QCOMPARE(file->liveRecordAt(std::size_t(count - 6)), 69999u);
    QCOMPARE(file->placeOfLive(35002), std::optional<std::size_t>(34997));
    QVERIFY(!file->placeOfLive(35000));
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
    QCOMPARE(file->liveCount(), std::size_t(2));
    QCOMPARE(file->liveRecordAt(0), 1u);
    QCOMPARE(file->liveRecordAt(1), 3u);
    QCOMPARE(file->placeOfLive(3), std::optional<std::size_t>(1));
    QVERIFY(!file->placeOfLive(2));
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
    // Logicals show the letter as stored; "?" is no value but shows as such.
    QTest::newRow("logical y") << 'L' << 1 << 0 << QByteArray("y") << false << QByteArray("y") << 0
                               << 0.0;
    QTest::newRow("logical N") << 'L' << 1 << 0 << QByteArray("N") << false << QByteArray("N") << 0
                               << 0.0;
    QTest::newRow("logical unknown")
        << 'L' << 1 << 0 << QByteArray("?") << true << QByteArray("?") << 0 << 0.0;
    QTest::newRow("logical blank")
        << 'L' << 1 << 0 << QByteArray(" ") << true << QByteArray() << 0 << 0.0;
    QTest::newRow("number that is no number")
        << 'N' << 7 << 2 << QByteArray("  n.v. ") << true << QByteArray("n.v.") << 0 << 0.0;
    QTest::newRow("control byte in a number")
        << 'N' << 5 << 0 << QByteArray("1\x01\x02 3") << true << QByteArray("(Typ N)") << 0 << 0.0;
    QTest::newRow("unknown type") << 'V' << 4 << 0 << QByteArray("ab\x03\x00", 4) << true
                                  << QByteArray("(Typ V)") << 0 << 0.0;
    QTest::newRow("unknown type, blank")
        << 'V' << 4 << 0 << QByteArray("\0\0  ", 4) << true << QByteArray() << 0 << 0.0;
    QTest::newRow("binary integer of the wrong width")
        << 'I' << 3 << 0 << QByteArray("\x01\x02\x03") << true << QByteArray("(Typ I)") << 0 << 0.0;
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
    QTest::addColumn<bool>("guessed");
    QTest::newRow("0x57 ANSI") << 0x57 << QByteArray("M\x81hl") << 1252 << false;
    QTest::newRow("0x0F German OEM 437") << 0x0F << QByteArray("M\xFChl") << 437 << false;
    QTest::newRow("0x10 German OEM 850") << 0x10 << QByteArray("x") << 850 << false;
    QTest::newRow("0x57 over UTF-8 texts")
        << 0x57 << QByteArray("\xC5\x81\xC3\xB3\x64\xC5\xBA") << 1252 << false;
    QTest::newRow("unset, OEM umlauts") << 0x00 << QByteArray("M\x81hle Gr\x94\xE1") << 437 << true;
    QTest::newRow("unset, ANSI umlauts")
        << 0x00 << QByteArray("M\xFChle Gr\xF6\xDF") << 1252 << true;
    QTest::newRow("unset, plain ASCII") << 0x00 << QByteArray("Wien") << 437 << true;
    QTest::newRow("unknown driver guesses") << 0xEE << QByteArray("M\xFChle") << 1252 << true;
    // Latin-1 letters other than umlauts: Ñandú, Solør.
    QTest::newRow("unset, ANSI letters")
        << 0x00 << QByteArray("\xD1\x61nd\xFA Sol\xF8r") << 1252 << true;
    QTest::newRow("unset, OEM letters")
        << 0x00 << QByteArray("\xA5\x61nd\xA3 \x90vian") << 437 << true; // Ñandú Évian
    QTest::newRow("unset, OEM frame")
        << 0x00 << QByteArray("\xC9\xCD\xCD\xBB \xC8\xCD\xBC") << 437 << true;
    QTest::newRow("unset, UTF-8") << 0x00 << QByteArray("\xC5\x81\xC3\xB3\x64\xC5\xBA") << 65001
                                  << true;
    QTest::newRow("unset, UTF-8 cut at the field's end")
        << 0x00 << QByteArray("Gie\xC3\x9F\x65n \xC5\x81\x61\xC3") << 65001 << true;
    QTest::newRow("unset, malformed UTF-8")
        << 0x00 << QByteArray("M\xFCller \xC5\x81") << 1252 << true;
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
    QTEST(file->codePageOrigin() == CodePageOrigin::Guess, "guessed");
}

QTEST_APPLESS_MAIN(tst_DbfFile)
#include "tst_DbfFile.moc"
