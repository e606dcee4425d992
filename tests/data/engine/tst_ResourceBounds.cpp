// Numbers in a file that would make a reader allocate without bound or loop
// without end: each is refused before any large allocation, with an engine error
// naming the file, or bounded by what the file really holds.
#include "DbaseEngine.h"
#include "DbfFixture.h"
#include "ErrorMessage.h"
#include "MdxIndex.h"
#include "MemoFile.h"
#include "TableWriter.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>

using namespace dbase;

Q_DECLARE_METATYPE(dbase::Status)

namespace {

// Peak resident memory of the process so far, in MiB. A reader that zero-fills a
// buffer of the size a header claims raises it by that much.
long peakMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

constexpr long kMaxGrowthMiB = 128;

QByteArray oneRecordTable()
{
    return fixture::table({{"NAME", 'C', 10}, {"KLASSE", 'N', 4}}, {"Wien         1"}, 0x03);
}

// A table with fieldCount one-byte fields and no records.
QByteArray manyFields(int fieldCount)
{
    std::vector<fixture::Field> fields;
    for (int i = 0; i < fieldCount; ++i)
        fields.push_back({"F" + std::to_string(i), 'C', 1});
    return fixture::table(fields, {}, 0x03);
}

// One text field of width 65,534 (the decimal byte is the width's high byte), so
// that the record length is 65,535; the header claims recordCount records.
QByteArray widestRecord(quint32 recordCount, int recordsPresent)
{
    QByteArray b = fixture::table({{"LANG", 'C', 0xFE, 0}}, {}, 0x03);
    b[32 + 17] = char(0xFF);
    fixture::putLe(b, 10, 65535, 2);
    fixture::putLe(b, 4, recordCount, 4);
    b.chop(1); // the end-of-file mark
    for (int i = 0; i < recordsPresent; ++i)
        b += QByteArray(65535, ' ');
    return b;
}

} // namespace

class tst_ResourceBounds : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void tableHeaders_data();
    void tableHeaders();
    void noteLengths_data();
    void noteLengths();
    void indexPageNumbers_data();
    void indexPageNumbers();
    void indexWithCycleInItsTree();

private:
    Status open(std::unique_ptr<EngineCursor> &cursor);
    // The failure's message as the window and tabledump show it, one line per line.
    QString errorLines(Status code) const;
    QString writeIndexedTable();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Engine> m_engine;
};

void tst_ResourceBounds::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_engine = createDbaseEngine();
    QCOMPARE(m_engine->start(), status::Ok);
}

Status tst_ResourceBounds::open(std::unique_ptr<EngineCursor> &cursor)
{
    return m_engine->openTable(m_dir->path().toStdString(), "CD_GIS.DBF", "DBASE", cursor);
}

QString tst_ResourceBounds::errorLines(Status code) const
{
    return QString::fromStdString(ErrorMessage(*m_engine, code).text("\n"));
}

QString tst_ResourceBounds::writeIndexedTable()
{
    TableWriter writer(m_dir->filePath("CD_GIS.DBF").toStdString(), 0x57);
    std::string error;
    bool ok = writer.open(error);
    for (const char *name : {"Wien", "Graz", "Linz", "Aach", "Enns"})
        ok = ok &&
             writer.append({name, "1", "B", "W", "1", "1", "1", "5", "9", "3", "4", "1", name, ""},
                           error);
    ok = ok && writer.finish(true, error);
    return ok ? m_dir->filePath("CD_GIS.MDX") : QString();
}

void tst_ResourceBounds::tableHeaders_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Status>("code");
    QTest::addColumn<QString>("problem");

    QByteArray billions = oneRecordTable();
    fixture::putLe(billions, 4, 0xFFFFFFFFu, 4);
    QTest::newRow("4,294,967,295 records claimed")
        << billions << status::TableDamaged
        << "4294967295 Datensätze an, die Datei enthält aber nur 1";
    QTest::newRow("record length 65,535, 100,000 records claimed")
        << widestRecord(100000, 1) << status::TableDamaged
        << "100000 Datensätze an, die Datei enthält aber nur 1";
    QTest::newRow("record length 65,535, all there") << widestRecord(2, 2) << status::Ok << "";
    QTest::newRow("2,000 fields") << manyFields(2000) << status::LimitExceeded
                                  << "2000 Felder, höchstens 1024 werden gelesen";
    QByteArray longHeader = oneRecordTable();
    fixture::putLe(longHeader, 8, 0xFFFF, 2);
    QTest::newRow("header length 65,535")
        << longHeader << status::TableDamaged << "65535 Bytes lang sein";
}

void tst_ResourceBounds::tableHeaders()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Status, code);
    QFETCH(QString, problem);
    QVERIFY(fixture::write(m_dir->filePath("CD_GIS.DBF"), bytes));
    const long before = peakMiB();
    std::unique_ptr<EngineCursor> cursor;
    QCOMPARE(open(cursor), code);
    QVERIFY2(peakMiB() - before < kMaxGrowthMiB, "the open allocated what the header claimed");
    if (code == status::Ok) {
        std::int32_t count = 0;
        QCOMPARE(cursor->countRecords(count), status::Ok);
        QCOMPARE(count, 2);
        return;
    }
    const QString lines = errorLines(code);
    QVERIFY2(lines.contains("\nDatei: ") && lines.contains("CD_GIS.DBF"), qPrintable(lines));
    QVERIFY2(lines.contains(problem), qPrintable(lines));
}

void tst_ResourceBounds::noteLengths_data()
{
    QTest::addColumn<QByteArray>("memo");
    QTest::addColumn<bool>("foxPro");
    QTest::addColumn<dbase::Status>("expected");
    QTest::addColumn<int>("noteBytes");

    // A note claiming more than the file holds is damaged: nothing is shown of it.
    QByteArray dbaseIV = fixture::memoIV({"Keller"}, 512);
    fixture::putLe(dbaseIV, 512 + 4, 0xFFFFFFFFu, 4);
    dbaseIV += QByteArray(3000, 'k');
    QTest::newRow("dBASE IV, 4 GB claimed") << dbaseIV << false << status::MemoDamaged << 0;
    QByteArray dbaseIII(512, '\0');
    dbaseIII += QByteArray(5000, 'n'); // no end mark: runs to the end of the file
    QTest::newRow("dBASE III, no end mark") << dbaseIII << false << status::Ok << 5000;
    QByteArray foxPro(512, '\0');
    foxPro[7] = 64;
    foxPro += QByteArray("\x00\x00\x00\x01\xFF\xFF\xFF\xFF", 8) + QByteArray(700, 'f');
    QTest::newRow("FoxPro, 4 GB claimed") << foxPro << true << status::MemoDamaged << 0;
}

// However long a note's header says it is, the read allocates no more than the file holds.
void tst_ResourceBounds::noteLengths()
{
    QFETCH(QByteArray, memo);
    QFETCH(bool, foxPro);
    QFETCH(dbase::Status, expected);
    QFETCH(int, noteBytes);
    const QString path = m_dir->filePath("T.DBT");
    QVERIFY(fixture::write(path, memo));
    std::unique_ptr<MemoFile> file;
    std::string problem;
    QCOMPARE(MemoFile::open(path.toStdString(),
                            foxPro ? MemoFile::Kind::FoxPro : MemoFile::Kind::Dbase, file, problem),
             status::Ok);
    const long before = peakMiB();
    std::string text;
    QCOMPARE(file->read(foxPro ? 8 : 1, text), expected);
    QCOMPARE(int(text.size()), noteBytes);
    QVERIFY2(peakMiB() - before < kMaxGrowthMiB, "the read allocated what the note header claimed");
}

void tst_ResourceBounds::indexPageNumbers_data()
{
    QTest::addColumn<int>("offset"); // where the number goes: -1 the first tag's root
    QTest::addColumn<quint32>("value");
    QTest::addColumn<QString>("problem");
    QTest::newRow("page count 4,294,967,295") << 32 << 0xFFFFFFFFu << "4294967295 Seiten";
    QTest::newRow("first tag's header page 2^31-1") << 544 << 0x7FFFFFFFu << "Kopfseite 2147483647";
    QTest::newRow("first tag's header page 0") << 544 << 0u << "Kopfseite 0";
    QTest::newRow("first tag's root page 2^32-1") << -1 << 0xFFFFFFFFu << "Wurzelseite 4294967295";
}

void tst_ResourceBounds::indexPageNumbers()
{
    QFETCH(int, offset);
    QFETCH(quint32, value);
    QFETCH(QString, problem);
    const QString path = writeIndexedTable();
    QVERIFY(!path.isEmpty());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    const quint32 headerPage = quint32(uchar(bytes[544])) | quint32(uchar(bytes[545])) << 8;
    fixture::putLe(bytes, offset >= 0 ? offset : int(headerPage * 512), value, 4);
    QVERIFY(file.seek(0) && file.write(bytes) == bytes.size());
    file.close();
    std::unique_ptr<EngineCursor> cursor;
    QCOMPARE(open(cursor), status::IndexDamaged);
    const QString lines = errorLines(status::IndexDamaged);
    QVERIFY2(lines.startsWith("Die Indexdatei ist beschädigt.\nDatei: ") &&
                 lines.contains("CD_GIS.MDX"),
             qPrintable(lines));
    QVERIFY2(lines.contains(problem), qPrintable(lines));
}

// The engine builds its orders from the records, not from the index's B-tree: a
// tree whose blocks point at themselves is never followed, and every order ends.
void tst_ResourceBounds::indexWithCycleInItsTree()
{
    const QString path = writeIndexedTable();
    QVERIFY(!path.isEmpty());
    std::vector<MdxTag> tags;
    std::string problem;
    QCOMPARE(readMdxTags(path.toStdString(), tags, problem), status::Ok);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    for (const MdxTag &tag : tags) {
        const int block = int(tag.rootPage * 512);
        fixture::putLe(bytes, block + 4, tag.rootPage, 4); // the link to the previous block
        fixture::putLe(bytes, block + 8, tag.rootPage, 4); // the first entry's block
    }
    QVERIFY(file.seek(0) && file.write(bytes) == bytes.size());
    file.close();
    std::unique_ptr<EngineCursor> cursor;
    QCOMPARE(open(cursor), status::Ok);
    QCOMPARE(cursor->switchToIndex("", "KLEINGEM", false), status::Ok);
    QStringList names;
    std::string record;
    RecordProps props;
    while (cursor->getNext(record, props) == status::Ok && names.size() < 10) {
        FieldValue v;
        cursor->extractField(1, record, v);
        names << QString::fromStdString(v.text);
    }
    QCOMPARE(names, (QStringList{"Aach", "Enns", "Graz", "Linz", "Wien"}));
}

QTEST_APPLESS_MAIN(tst_ResourceBounds)
#include "tst_ResourceBounds.moc"
