#include "DbaseEngine.h"
#include "DbfFile.h"
#include "DbfFixture.h"
#include "ErrorMessage.h"
#include "MdxWriter.h"
#include "TableWriter.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>

#include <sys/stat.h>
#include <unistd.h>

using namespace dbase;

Q_DECLARE_METATYPE(dbase::Status)

namespace {

const std::vector<fixture::Field> kNoteFields = {
    {"NAME", 'C', 10}, {"KLASSE", 'N', 4}, {"TEXT", 'M', 10}};

// Municipality rows for the writer: name, state, MIN, KLASSE, note.
std::vector<std::string> municipality(const std::string &name, const std::string &bl,
                                      const std::string &min, const std::string &klasse,
                                      const std::string &note = {})
{
    std::string lower = name;
    for (char &c : lower)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return {name, "10101", "Bezirk", bl,    "47.00", "15.00", "100",
            min,  "300",   "120",    "150", klasse,  lower,   note};
}

// Threads of this process, as the kernel counts them: the engine's worker is the only
// one that a test starts.
int threadCount()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Threads:", 0) == 0)
            return std::stoi(line.substr(8));
    return -1;
}

// Names of the walk from the current engine position onwards, field 1.
QStringList walk(EngineCursor &cursor, int field = 1)
{
    QStringList names;
    std::string record;
    RecordProps props;
    while (cursor.getNext(record, props) == status::Ok) {
        FieldValue v;
        cursor.extractField(field, record, v);
        names << QString::fromStdString(v.text);
    }
    return names;
}

} // namespace

class tst_DbaseEngine : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void driverRule_data();
    void driverRule();
    void companionFilesInAnyLetterCase();
    void fieldsOfWidthZero();
    void foxProDriverOnDbaseTable_data();
    void foxProDriverOnDbaseTable();
    void productionIndexFlag_data();
    void productionIndexFlag();
    void openFailuresNameTheFile_data();
    void openFailuresNameTheFile();
    void naturalOrderSkipsDeletedRecords();
    void reopenSeesRewrittenTable();
    void bookmarksAndPlaces();
    void memoBlankness();
    void memoFileShrinksWhileOpen();
    void tagOrdersAndKeySearch();
    void filteredTagSwitchAndCount();
    void switchFailures();
    void ordersBuiltAhead();

private:
    QString writeTable(const QString &name, const std::vector<std::string> &records,
                       const std::string &deleted = {}, quint8 flags28 = 0);
    Status open(const QString &name, std::unique_ptr<EngineCursor> &cursor);
    // The failure's message as the window and tabledump show it, one line per line.
    QString errorLines(Status code) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Engine> m_engine;
};

void tst_DbaseEngine::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_engine = createDbaseEngine();
    QCOMPARE(m_engine->start(), status::Ok);
    QCOMPARE(m_engine->start(), status::AlreadyStarted);
}

QString tst_DbaseEngine::writeTable(const QString &name, const std::vector<std::string> &records,
                                    const std::string &deleted, quint8 flags28)
{
    QByteArray bytes =
        fixture::table({{"NAME", 'C', 10}, {"KLASSE", 'N', 4}}, records, 0x03, 0x57, deleted);
    bytes[28] = char(flags28);
    const QString path = m_dir->filePath(name);
    return fixture::write(path, bytes) ? path : QString();
}

Status tst_DbaseEngine::open(const QString &name, std::unique_ptr<EngineCursor> &cursor)
{
    const std::string dir = m_dir->path().toStdString();
    return m_engine->openTable(dir, name.toStdString(),
                               m_engine->driverFor(dir, name.toStdString()), cursor);
}

// The error stack as the cursor would read it: one line per entry.
QString tst_DbaseEngine::errorLines(Status code) const
{
    return QString::fromStdString(ErrorMessage(*m_engine, code).text("\n"));
}

void tst_DbaseEngine::driverRule_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("beside");
    QTest::addColumn<QString>("driver");
    QTest::newRow("plain dBASE") << "CD_GIS.DBF" << QStringList{"CD_GIS.DBT", "CD_GIS.MDX"}
                                 << "DBASE";
    QTest::newRow("FPT beside") << "CD_GIS.DBF" << QStringList{"CD_GIS.FPT"} << "FOXPRO";
    QTest::newRow("CDX beside, lower case")
        << "CD_GIS.DBF" << QStringList{"cd_gis.cdx"} << "FOXPRO";
    QTest::newRow("mixed case table name") << "Cd_Gis.dbf" << QStringList{"CD_GIS.Fpt"} << "FOXPRO";
    QTest::newRow("FPT of another table") << "CD_GIS.DBF" << QStringList{"OTHER.FPT"} << "DBASE";
    QTest::newRow("Paradox") << "CD_GIS.DB" << QStringList{} << "PARADOX";
    QTest::newRow("ASCII") << "CD_GIS.txt" << QStringList{} << "ASCIIDRV";
    QTest::newRow("other extension") << "CD_GIS.CSV" << QStringList{} << "PARADOX";
}

void tst_DbaseEngine::driverRule()
{
    QFETCH(QString, table);
    QFETCH(QStringList, beside);
    for (const QString &f : beside)
        QVERIFY(fixture::write(m_dir->filePath(f), "x"));
    QTEST(QString::fromStdString(
              m_engine->driverFor(m_dir->path().toStdString(), table.toStdString())),
          "driver");
}

// A dBASE table with a stray .CDX or .FPT beside it gets the FoxPro driver, and still
// reads its own .DBT: the memo file follows the version byte.
void tst_DbaseEngine::foxProDriverOnDbaseTable_data()
{
    QTest::addColumn<QString>("stray");
    QTest::newRow("CDX beside") << "t.cdx";
    QTest::newRow("FPT beside") << "T.FPT";
}

void tst_DbaseEngine::foxProDriverOnDbaseTable()
{
    QFETCH(QString, stray);
    std::vector<int> blocks;
    QVERIFY(fixture::write(m_dir->filePath("T.DBT"), fixture::memoIV({"Keller"}, 512, &blocks)));
    QVERIFY(fixture::write(
        m_dir->filePath("T.DBF"),
        fixture::table(kNoteFields, {"Wien        -5" + fixture::memoRef(blocks[0])})));
    // A FoxPro memo file whose block 1 holds another text.
    QByteArray fpt(512, '\0');
    fpt[7] = char(512 >> 8);
    fpt += QByteArray("\x00\x00\x00\x01\x00\x00\x00\x05"
                      "Fremd",
                      13);
    QVERIFY(fixture::write(m_dir->filePath(stray), fpt));
    QCOMPARE(m_engine->driverFor(m_dir->path().toStdString(), "T.DBF"), std::string("FOXPRO"));
    std::unique_ptr<EngineCursor> cursor;
    QCOMPARE(open("T.DBF", cursor), status::Ok);
    std::string record, note;
    RecordProps props;
    QCOMPARE(cursor->getNext(record, props), status::Ok);
    QCOMPARE(cursor->readMemo(3, record, note), status::Ok);
    QCOMPARE(note, std::string("Keller"));
}

// The production-index flag (header byte 28) of a table the FoxPro driver reads
// stands for its structural .CDX: the table opens without an .MDX, and with the
// .MDX of its base name when there is one. The dBASE driver requires the .MDX.
void tst_DbaseEngine::productionIndexFlag_data()
{
    QTest::addColumn<QString>("beside");
    QTest::addColumn<bool>("withMdx");
    QTest::addColumn<dbase::Status>("expected");
    QTest::addColumn<int>("tags");
    QTest::newRow("CDX beside, no MDX") << "CD_GIS.CDX" << false << status::Ok << 0;
    QTest::newRow("FPT beside, no MDX") << "cd_gis.fpt" << false << status::Ok << 0;
    QTest::newRow("CDX beside, MDX too") << "CD_GIS.CDX" << true << status::Ok << 7;
    QTest::newRow("nothing beside, no MDX") << "" << false << status::FileNotFound << 0;
}

void tst_DbaseEngine::productionIndexFlag()
{
    QFETCH(QString, beside);
    QFETCH(bool, withMdx);
    const std::string path = m_dir->filePath("CD_GIS.DBF").toStdString();
    TableWriter writer(path, 0x57);
    std::string error;
    QVERIFY(writer.open(error));
    QVERIFY2(writer.append(municipality("Wien", "W", "40", "2", "Keller"), error), error.c_str());
    QVERIFY2(writer.finish(true, error), error.c_str());
    QFile table(m_dir->filePath("CD_GIS.DBF"));
    QVERIFY(table.open(QIODevice::ReadOnly));
    QCOMPARE(table.read(29).at(28), '\x01');
    table.close();
    if (!withMdx)
        QVERIFY(QFile::remove(m_dir->filePath("CD_GIS.MDX")));
    if (!beside.isEmpty())
        QVERIFY(fixture::write(m_dir->filePath(beside), QByteArray(512, '\0')));
    std::unique_ptr<EngineCursor> cursor;
    QTEST(open("CD_GIS.DBF", cursor), "expected");
    if (!cursor)
        return;
    QTEST(cursor->properties().indexCount, "tags");
    std::string record, note;
    RecordProps props;
    QCOMPARE(cursor->getNext(record, props), status::Ok);
    QCOMPARE(cursor->readMemo(14, record, note), status::Ok);
    QCOMPARE(note, std::string("Keller"));
}

// A table written on DOS as cd_gis.dbf with CD_GIS.DBT is opened as CD_GIS.DBF.
void tst_DbaseEngine::companionFilesInAnyLetterCase()
{
    std::vector<int> blocks;
    QVERIFY(
        fixture::write(m_dir->filePath("CD_GIS.DBT"), fixture::memoIV({"Keller"}, 512, &blocks)));
    QVERIFY(fixture::write(
        m_dir->filePath("cd_gis.dbf"),
        fixture::table(kNoteFields, {"Wien        -5" + fixture::memoRef(blocks[0])})));
    std::unique_ptr<EngineCursor> cursor;
    QCOMPARE(open("CD_GIS.DBF", cursor), status::Ok);
    std::string record, note;
    RecordProps props;
    QCOMPARE(cursor->getNext(record, props), status::Ok);
    QCOMPARE(cursor->readMemo(3, record, note), status::Ok);
    QCOMPARE(note, std::string("Keller"));
    FieldValue klasse;
    QCOMPARE(cursor->extractField(2, record, klasse), status::Ok);
    QVERIFY(!klasse.blank);
    QCOMPARE(klasse.integer, -5);
}

// A .cpg file of the table's base name (any letter case) names the code page as GIS
// programs write it; one the engine converts wins over the language-driver byte,
// anything else is ignored.
// GIS exports write fields of width 0: the table opens, such a field is empty whatever
// its type, and the fields after it keep their places.
void tst_DbaseEngine::fieldsOfWidthZero()
{
    QVERIFY(fixture::write(m_dir->filePath("T.DBF"), fixture::table({{"NAME", 'C', 10},
                                                                     {"LEER", 'C', 0},
                                                                     {"ZAHL", 'I', 0},
                                                                     {"DATUM", 'D', 0},
                                                                     {"KLASSE", 'N', 4}},
                                                                    {"Wien        -5"})));
    std::unique_ptr<EngineCursor> cursor;
    QCOMPARE(open("T.DBF", cursor), status::Ok);
    std::string record;
    RecordProps props;
    QCOMPARE(cursor->getNext(record, props), status::Ok);
    QStringList texts;
    for (int field = 1; field <= 5; ++field) {
        FieldValue v;
        QCOMPARE(cursor->extractField(field, record, v), status::Ok);
        QCOMPARE(v.blank, field > 1 && field < 5);
        texts << QString::fromStdString(v.text);
    }
    QCOMPARE(texts, (QStringList{"Wien", "", "", "", "-5"}));
}

void tst_DbaseEngine::openFailuresNameTheFile_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<dbase::Status>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("detail");
    QTest::newRow("no table") << "none" << status::FileNotFound << "Datei nicht gefunden."
                              << "CD_GIS.DBF"
                              << "";
    QTest::newRow("truncated table")
        << "truncated" << status::TableDamaged << "Die Tabelle ist beschädigt."
        << "CD_GIS.DBF"
        << "gibt 3 Datensätze an";
    QTest::newRow("production index flag, no MDX")
        << "flag" << status::FileNotFound << "Datei nicht gefunden."
        << "CD_GIS.MDX"
        << "Produktionsindex";
    QTest::newRow("memo file missing")
        << "nomemo" << status::FileNotFound << "Datei nicht gefunden."
        << "CD_GIS.DBT"
        << "Memodatei";
    // The version byte says dBASE 7, the header is laid out for dBASE IV: contradiction.
    QTest::newRow("dBASE 7 version byte on a dBASE IV header")
        << "seven" << status::TableDamaged << "Die Tabelle ist beschädigt."
        << "CD_GIS.DBF"
        << "Satzlänge";
    // An entry of the file's name that is no regular file is found, and refused for
    // what it is; a FIFO is never opened (which would wait for a writer).
    QTest::newRow("table is a directory")
        << "directory" << status::NotAFile << "Keine reguläre Datei."
        << "CD_GIS.DBF"
        << "CD_GIS.DBF ist keine reguläre Datei, sondern ein Verzeichnis.";
    QTest::newRow("table is a FIFO, in lower case")
        << "fifo" << status::NotAFile << "Keine reguläre Datei."
        << "cd_gis.dbf"
        << "cd_gis.dbf ist keine reguläre Datei, sondern eine benannte Pipe (FIFO).";
    QTest::newRow("memo file is a device")
        << "device" << status::NotAFile << "Keine reguläre Datei."
        << "CD_GIS.DBT"
        << "CD_GIS.DBT ist keine reguläre Datei, sondern ein zeichenorientiertes Gerät.";
    QTest::newRow("index is a loop of links")
        << "loop" << status::NotAFile << "Keine reguläre Datei."
        << "CD_GIS.MDX"
        << "CD_GIS.MDX ist keine reguläre Datei, sondern ein symbolischer Verweis, der im "
           "Kreis führt.";
    QTest::newRow("table is a link to nothing")
        << "dangling" << status::FileNotFound << "Datei nicht gefunden."
        << "CD_GIS.DBF"
        << "CD_GIS.DBF ist ein symbolischer Verweis auf eine Datei, die es nicht gibt.";
}

// The status has its German text, and the error stack names the file and what is wrong.
void tst_DbaseEngine::openFailuresNameTheFile()
{
    QFETCH(QString, setup);
    QFETCH(dbase::Status, code);
    const QString table = m_dir->filePath("CD_GIS.DBF");
    if (setup == "truncated") {
        QVERIFY(!writeTable("CD_GIS.DBF", {"a", "b", "c"}).isEmpty());
        QVERIFY(QFile::resize(table, QFileInfo(table).size() - 20));
    } else if (setup == "flag") {
        QVERIFY(!writeTable("CD_GIS.DBF", {"a"}, {}, 0x01).isEmpty());
    } else if (setup == "nomemo") {
        QVERIFY(fixture::write(table, fixture::table(kNoteFields, {"Wien"})));
    } else if (setup == "seven") {
        QByteArray b = fixture::table(kNoteFields, {"Wien"});
        b[0] = char(0x8C);
        QVERIFY(fixture::write(table, b));
    } else if (setup == "directory") {
        QVERIFY(QDir(m_dir->path()).mkdir("CD_GIS.DBF"));
    } else if (setup == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(m_dir->filePath("cd_gis.dbf")).constData(), 0600), 0);
    } else if (setup == "device") {
        QVERIFY(fixture::write(table, fixture::table(kNoteFields, {"Wien"})));
        QVERIFY(QFile::link("/dev/null", m_dir->filePath("CD_GIS.DBT")));
    } else if (setup == "loop") {
        QVERIFY(!writeTable("CD_GIS.DBF", {"a"}, {}, 0x01).isEmpty());
        const QByteArray index = QFile::encodeName(m_dir->filePath("CD_GIS.MDX"));
        QCOMPARE(::symlink(index.constData(), index.constData()), 0);
    } else if (setup == "dangling") {
        QVERIFY(QFile::link(m_dir->filePath("GONE.DBF"), table));
    }
    std::unique_ptr<EngineCursor> cursor;
    QCOMPARE(open("CD_GIS.DBF", cursor), code);
    QVERIFY(!cursor);
    QTEST(QString::fromStdString(m_engine->errorText(code)), "text");
    int native = -1;
    std::string entry;
    QCOMPARE(m_engine->errorEntry(1, native, entry), code);
    QCOMPARE(native, 0);
    QFETCH(QString, file);
    QCOMPARE(QString::fromStdString(entry), "Datei: " + QDir(m_dir->path()).absoluteFilePath(file));
    QFETCH(QString, detail);
    QVERIFY2(errorLines(code).contains(detail), qPrintable(errorLines(code)));
}

void tst_DbaseEngine::naturalOrderSkipsDeletedRecords()
{
    QVERIFY(!writeTable("T.DBF", {"a", "b", "c", "d", "e"}, "**  *").isEmpty());
    std::unique_ptr<EngineCursor> cursor;
    QCOMPARE(open("T.DBF", cursor), status::Ok);
    std::int32_t count = -1;
    QCOMPARE(cursor->countRecords(count), status::Ok);
    QCOMPARE(count, 2);
    QCOMPARE(cursor->countRecordsFallback(count), status::Ok);
    QCOMPARE(count, 2);
    QCOMPARE(walk(*cursor), (QStringList{"c", "d"}));
    std::string record;
    RecordProps props;
    QCOMPARE(cursor->getNext(record, props), status::NoNextRecord);
    QCOMPARE(cursor->getPrior(record, props), status::Ok);
    QCOMPARE(props.physicalNumber, 4u);
    QCOMPARE(cursor->getPrior(record, props), status::Ok);
    QCOMPARE(props.physicalNumber, 3u);
    QCOMPARE(cursor->getPrior(record, props), status::NoPriorRecord);
    QCOMPARE(cursor->getCurrent(record, props), status::NoCurrentRecord);
    QCOMPARE(cursor->setToEnd(), status::Ok);
    QCOMPARE(cursor->getPrior(record, props), status::Ok);
    QCOMPARE(props.physicalNumber, 4u);
    QCOMPARE(int(record.size()), cursor->properties().recordSize);
}

// Opening the same table again reuses the records read the first time only while
// the file is unchanged: a rewrite between the opens, even to the same size, is read
// anew, and a cursor still open keeps the records it was opened on.
void tst_DbaseEngine::reopenSeesRewrittenTable()
{
    QVERIFY(!writeTable("T.DBF", {"a", "b"}).isEmpty());
    std::unique_ptr<EngineCursor> first;
    QCOMPARE(open("T.DBF", first), status::Ok);
    std::unique_ptr<EngineCursor> again;
    QCOMPARE(open("T.DBF", again), status::Ok);
    QCOMPARE(walk(*again), (QStringList{"a", "b"}));
    again.reset();

    QVERIFY(!writeTable("T.DBF", {"x", "y"}).isEmpty());
    // Same size, and a modification time apart from the first write's for certain.
    const std::filesystem::path rewrittenPath = m_dir->filePath("T.DBF").toStdString();
    std::filesystem::last_write_time(
        rewrittenPath, std::filesystem::last_write_time(rewrittenPath) + std::chrono::seconds(5));
    std::unique_ptr<EngineCursor> rewritten;
    QCOMPARE(open("T.DBF", rewritten), status::Ok);
    QCOMPARE(walk(*rewritten), (QStringList{"x", "y"}));
    QCOMPARE(walk(*first), (QStringList{"a", "b"}));

    QVERIFY(!writeTable("T.DBF", {"x", "y", "z"}).isEmpty());
    std::unique_ptr<EngineCursor> grown;
    QCOMPARE(open("T.DBF", grown), status::Ok);
    QCOMPARE(walk(*grown), (QStringList{"x", "y", "z"}));
}

void tst_DbaseEngine::bookmarksAndPlaces()
{
    QVERIFY(!writeTable("T.DBF", {"a", "b", "c", "d"}, " *").isEmpty());
    std::unique_ptr<EngineCursor> cursor;
    QCOMPARE(open("T.DBF", cursor), status::Ok);
    const CursorProps p = cursor->properties();
    QCOMPARE(p.bookmarkSize, 4);
    QVERIFY(!p.canModify);
    QCOMPARE(int(p.numbering), int(NumberingKind::Physical));
    std::string record, mark;
    RecordProps props;
    QCOMPARE(cursor->getBookmark(mark), status::NoCurrentRecord);
    cursor->getNext(record, props);
    cursor->getNext(record, props); // record 3: record 2 is deleted
    QCOMPARE(props.physicalNumber, 3u);
    QCOMPARE(cursor->getBookmark(mark), status::Ok);
    QCOMPARE(int(mark.size()), p.bookmarkSize);
    std::uint32_t place = 99;
    QCOMPARE(cursor->placeInOrder(place), status::Ok);
    QCOMPARE(place, 1u);
    cursor->setToBegin();
    QCOMPARE(cursor->setToBookmark(mark), status::Ok);
    QCOMPARE(cursor->getCurrent(record, props), status::Ok);
    QCOMPARE(props.physicalNumber, 3u);
    QCOMPARE(cursor->getNext(record, props), status::Ok);
    QCOMPARE(props.physicalNumber, 4u);
    // A bookmark of a deleted record, or of none, is refused.
    QCOMPARE(cursor->setToBookmark(std::string("\x02\x00\x00\x00", 4)), status::InvalidParameter);
    QCOMPARE(cursor->setToBookmark(std::string("\x09\x00\x00\x00", 4)), status::InvalidParameter);
    QCOMPARE(cursor->setToBookmark("xy"), status::InvalidParameter);
}

// A note of length 0 and a blank reference are blank; a reference past the end of
// the memo file is damage: not blank, and reading it fails naming the memo file.
void tst_DbaseEngine::memoBlankness()
{
    std::vector<int> blocks;
    QByteArray memo = fixture::memoIV({"Keller", "x"}, 512, &blocks);
    fixture::putLe(memo, blocks[1] * 512 + 4, 8, 4); // second note: length 0
    QVERIFY(fixture::write(m_dir->filePath("T.DBT"), memo));
    const std::vector<std::string> rows = {"a             " + fixture::memoRef(blocks[0]),
                                           "b             " + fixture::memoRef(blocks[1]), "c",
                                           "d             " + fixture::memoRef(4000)};
    QVERIFY(fixture::write(m_dir->filePath("T.DBF"), fixture::table(kNoteFields, rows)));
    std::unique_ptr<EngineCursor> cursor;
    QCOMPARE(open("T.DBF", cursor), status::Ok);
    const QList<bool> blank = {false, true, true, false};
    const QList<Status> read = {status::Ok, status::Ok, status::Ok, status::MemoDamaged};
    std::string record;
    RecordProps props;
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(cursor->getNext(record, props), status::Ok);
        FieldValue v;
        QCOMPARE(cursor->extractField(3, record, v), status::Ok);
        QCOMPARE(v.blank, blank[i]);
        std::string note = "stale";
        QCOMPARE(cursor->readMemo(3, record, note), read[i]);
        QCOMPARE(note.empty(), i != 0);
    }
    const QString lines = errorLines(status::MemoDamaged);
    QVERIFY2(lines.contains("T.DBT") && lines.contains("Block 4000"), qPrintable(lines));
    std::string note;
    QCOMPARE(cursor->readMemo(1, record, note), status::InvalidParameter); // not a memo field
    FieldValue v;
    QCOMPARE(cursor->extractField(4, record, v), status::InvalidParameter);
}

void tst_DbaseEngine::memoFileShrinksWhileOpen()
{
    std::vector<int> blocks;
    QVERIFY(fixture::write(m_dir->filePath("T.DBT"),
                           fixture::memoIV({"Keller", "Dachboden"}, 512, &blocks)));
    QVERIFY(fixture::write(
        m_dir->filePath("T.DBF"),
        fixture::table(kNoteFields, {"a             " + fixture::memoRef(blocks[1])})));
    std::unique_ptr<EngineCursor> cursor;
    QCOMPARE(open("T.DBF", cursor), status::Ok);
    QVERIFY(QFile::resize(m_dir->filePath("T.DBF"), 10)); // the records are held in memory
    QVERIFY(QFile::resize(m_dir->filePath("T.DBT"), 600));
    std::string record, note;
    RecordProps props;
    QCOMPARE(cursor->getNext(record, props), status::Ok);
    QCOMPARE(cursor->readMemo(3, record, note), status::FileChanged);
    QCOMPARE(note, std::string());
    QVERIFY(errorLines(status::FileChanged).contains("T.DBT"));
}

// A table written by the project's writer, with its production index.
void tst_DbaseEngine::tagOrdersAndKeySearch()
{
    const std::string path = m_dir->filePath("CD_GIS.DBF").toStdString();
    TableWriter writer(path, 0x57);
    std::string error;
    QVERIFY(writer.open(error));
    for (const auto &row :
         {municipality("Wiener Neustadt", "N", "40", "2"), municipality("Graz", "St", "abc", "1"),
          municipality("Wien", "W", "120", "-5"), municipality("Aach", "V", "7", "")})
        QVERIFY2(writer.append(row, error), error.c_str());
    QVERIFY2(writer.finish(true, error), error.c_str());

    std::unique_ptr<EngineCursor> cursor;
    QCOMPARE(open("CD_GIS.DBF", cursor), status::Ok);
    QCOMPARE(cursor->properties().indexCount, 7);
    QCOMPARE(cursor->openIndexFile("CD_GIS.MDX"), status::IndexOpenAlready);
    QCOMPARE(cursor->switchToIndex("CD_GIS.MDX", "KLEINGEM", true), status::NoCurrentRecord);
    QCOMPARE(cursor->switchToIndex("CD_GIS.MDX", "Kleingem", false), status::Ok);
    QCOMPARE(walk(*cursor), (QStringList{"Aach", "Graz", "Wien", "Wiener Neustadt"}));
    IndexFacts facts;
    QCOMPARE(cursor->indexFacts(facts), status::Ok);
    QCOMPARE(facts.keyFields, std::vector<int>{13});
    QVERIFY(!facts.isExpression);

    // Key search: the first key >= the text; past every key, the end of the order.
    const QList<QPair<QString, QString>> searches = {
        {"wien", "Wien"}, {"wiene", "Wiener Neustadt"}, {"", "Aach"}, {"zzz", ""}};
    for (const auto &[text, found] : searches) {
        std::string buffer, key;
        QCOMPARE(cursor->blankRecord(buffer), status::Ok);
        QCOMPARE(cursor->putField(13, buffer, text.toStdString()), status::Ok);
        QCOMPARE(cursor->extractKey(buffer, key), status::Ok);
        QCOMPARE(cursor->setToKey(SearchCondition::GreaterOrEqual, true, 0, 0, key), status::Ok);
        const QStringList rest = walk(*cursor);
        QCOMPARE(rest.value(0), found);
    }

    // Switching keeps the current record; MIN sorts "abc" as 0.
    std::string record;
    RecordProps props;
    cursor->setToBegin();
    cursor->getNext(record, props); // Aach
    QCOMPARE(cursor->switchToIndex("", "MIN", true), status::Ok);
    QCOMPARE(cursor->getCurrent(record, props), status::Ok);
    QCOMPARE(props.physicalNumber, 4u);
    std::uint32_t place = 0;
    QCOMPARE(cursor->placeInOrder(place), status::Ok);
    QCOMPARE(place, 1u); // after Graz (0)
    cursor->setToBegin();
    QCOMPARE(walk(*cursor), (QStringList{"Graz", "Aach", "Wiener Neustadt", "Wien"}));
    QCOMPARE(cursor->switchToIndex("", "POTENTIAL", false), status::Ok);
    QCOMPARE(walk(*cursor), (QStringList{"Wien", "Aach", "Graz", "Wiener Neustadt"}));
    QCOMPARE(cursor->indexFacts(facts), status::Ok);
    QVERIFY(facts.isExpression);
    QCOMPARE(cursor->switchToIndex("", "", false), status::Ok); // natural order
    QCOMPARE(walk(*cursor), (QStringList{"Wiener Neustadt", "Graz", "Wien", "Aach"}));
}

// A FOR tag holds fewer records: keeping a record that it lacks answers 0x2205 and
// changes nothing; the count follows the active order. Text keys of a German-driver
// table collate with umlauts among their base letters.
void tst_DbaseEngine::filteredTagSwitchAndCount()
{
    const std::string path = m_dir->filePath("CD_GIS.DBF").toStdString();
    TableWriter writer(path, 0x0F);
    std::string error;
    QVERIFY(writer.open(error));
    for (const auto &row :
         {municipality("Zell", "S", "40", "2"), municipality("Graz", "St", "abc", "1"),
          municipality("öblarn", "St", "120", "-5"), municipality("Aach", "V", "7", "")})
        QVERIFY2(writer.append(row, error), error.c_str());
    QVERIFY2(writer.finish(true, error), error.c_str());
    std::unique_ptr<DbfFile> table;
    QCOMPARE(DbfFile::open(path, table, error), status::Ok);
    QVERIFY2(writeMdx(m_dir->filePath("CD_GIS.MDX").toStdString(), "CD_GIS", *table,
                      Collation::forLanguageDriver(0x0F),
                      {{"KLEINGEM", "KLEINGEM"}, {"HOCH", "KLEINGEM", "VAL(MIN) > 10"}}, error),
             error.c_str());

    std::unique_ptr<EngineCursor> cursor;
    QCOMPARE(open("CD_GIS.DBF", cursor), status::Ok);
    QCOMPARE(cursor->switchToIndex("", "KLEINGEM", false), status::Ok);
    const auto recordNumbers = [&cursor] {
        QList<std::uint32_t> numbers;
        std::string record;
        RecordProps props;
        while (cursor->getNext(record, props) == status::Ok)
            numbers << props.physicalNumber;
        return numbers;
    };
    QCOMPARE(recordNumbers(), (QList<std::uint32_t>{4, 2, 3, 1})); // öblarn among the o

    std::int32_t count = 0;
    QCOMPARE(cursor->countRecords(count), status::Ok);
    QCOMPARE(count, 4);
    std::string record;
    RecordProps props;
    cursor->setToBegin();
    cursor->getNext(record, props); // Aach, MIN 7
    QCOMPARE(cursor->switchToIndex("", "HOCH", true), status::NoCurrentRecord);
    QCOMPARE(cursor->getCurrent(record, props), status::Ok); // still on Aach in KLEINGEM
    QCOMPARE(props.physicalNumber, 4u);
    QCOMPARE(cursor->switchToIndex("", "HOCH", false), status::Ok);
    QCOMPARE(recordNumbers(), (QList<std::uint32_t>{3, 1}));
    QCOMPARE(cursor->countRecords(count), status::Ok);
    QCOMPARE(count, 2);
    QCOMPARE(cursor->countRecordsFallback(count), status::Ok);
    QCOMPARE(count, 2);
}

void tst_DbaseEngine::switchFailures()
{
    QVERIFY(!writeTable("T.DBF", {"a"}).isEmpty());
    std::unique_ptr<EngineCursor> cursor;
    QCOMPARE(open("T.DBF", cursor), status::Ok);
    QCOMPARE(cursor->switchToIndex("", "GEMEINDE", false), status::TagNotFound);
    QCOMPARE(QString::fromStdString(m_engine->errorText(status::TagNotFound)),
             QString("Index existiert nicht."));
    QVERIFY(errorLines(status::TagNotFound).contains("GEMEINDE"));
    QCOMPARE(cursor->openIndexFile("NONE.MDX"), status::FileNotFound);
    QVERIFY(errorLines(status::FileNotFound).contains("NONE.MDX"));
    std::string key;
    QCOMPARE(cursor->extractKey(std::string(cursor->properties().recordSize, ' '), key),
             status::InvalidParameter);
    QCOMPARE(cursor->close(), status::Ok);
    std::string record;
    RecordProps props;
    QCOMPARE(cursor->getNext(record, props), status::NotOpen);
    m_engine->stop();
    QCOMPARE(open("T.DBF", cursor), status::NotOpen);
}

// Orders that the worker builds ahead (prepareOrders) are the orders that a switch
// builds: the same records whether the switch comes while the worker builds, before
// it reaches that order or after it has ended; a tag that cannot be built (its
// expression damaged in the file) reports at its switch the status and error text it
// reports without the worker. Closing or dropping a cursor while the worker builds
// stops and joins it.
void tst_DbaseEngine::ordersBuiltAhead()
{
    const std::string path = m_dir->filePath("CD_GIS.DBF").toStdString();
    TableWriter writer(path, 0x0F);
    std::string error;
    QVERIFY(writer.open(error));
    std::uint32_t seed = 7;
    const auto next = [&seed](std::uint32_t n) {
        seed = seed * 1103515245U + 12345U;
        return (seed >> 8) % n;
    };
    const char *const starts[] = {"sankt ", "öd", "od", "Ärger", "ß", "ss", "wien"};
    for (int i = 0; i < 20000; ++i) {
        const std::string name = starts[next(7)] + std::to_string(next(500));
        const std::string min = std::to_string(int(next(400)) - 99) + (i % 3 ? "" : ".5");
        QVERIFY2(writer.append(municipality(name, "W", min, std::to_string(next(5))), error),
                 error.c_str());
    }
    QVERIFY2(writer.finish(true, error), error.c_str());
    std::unique_ptr<DbfFile> table;
    QCOMPARE(DbfFile::open(path, table, error), status::Ok);
    const QString mdx = m_dir->filePath("CD_GIS.MDX");
    QVERIFY2(writeMdx(mdx.toStdString(), "CD_GIS", *table, Collation::forLanguageDriver(0x0F),
                      {{"KLEINGEM", "KLEINGEM"},
                       {"MIN", "VAL(MIN)"},
                       {"KAPUTT", "VAL(MAX)"},
                       {"POTENTIAL", "VAL(POTENTIAL)+KLASSE"},
                       {"NAMEN", "UPPER(KLEINGEM)", "", false, true}},
                      error),
             error.c_str());
    QFile file(mdx);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    QCOMPARE(bytes.count("VAL(MAX)"), 1);
    bytes.replace("VAL(MAX)", "VAL(MAY)"); // no such field
    QVERIFY(file.seek(0));
    QCOMPARE(file.write(bytes), bytes.size());
    file.close();

    // What a switch gives: the records in order, or the status and the error text.
    const auto switchTo = [this](EngineCursor &cursor, const QString &tag) {
        const Status s = cursor.switchToIndex("", tag.toStdString(), false);
        if (s != status::Ok)
            return QStringList{QString::number(s), errorLines(s)};
        QStringList records;
        std::string record;
        RecordProps props;
        while (cursor.getNext(record, props) == status::Ok)
            records << QString::number(props.physicalNumber);
        return records;
    };
    const QStringList tags{"MIN", "KAPUTT", "POTENTIAL", "NAMEN"};
    std::map<QString, QStringList> expected;
    std::unique_ptr<EngineCursor> cursor;
    QCOMPARE(open("CD_GIS.DBF", cursor), status::Ok);
    for (const QString &tag : tags)
        expected[tag] = switchTo(*cursor, tag);
    QCOMPARE(expected["MIN"].size(), 20000);
    QCOMPARE(expected["KAPUTT"].value(0), QString::number(status::BadKeyExpression));
    QVERIFY(expected["KAPUTT"].value(1).contains("KAPUTT"));
    cursor.reset();

    const int threads = threadCount();
    QVERIFY(threads > 0);
    QCOMPARE(open("CD_GIS.DBF", cursor), status::Ok);
    QCOMPARE(cursor->prepareOrders(), status::Ok);
    for (const QString &tag : tags) // in the worker's order: each one while it builds
        QCOMPARE(switchTo(*cursor, tag), expected[tag]);
    QCOMPARE(open("CD_GIS.DBF", cursor), status::Ok);
    QCOMPARE(cursor->prepareOrders(), status::Ok);
    for (auto tag = tags.rbegin(); tag != tags.rend(); ++tag) // mostly before it gets there
        QCOMPARE(switchTo(*cursor, *tag), expected[*tag]);
    QCOMPARE(open("CD_GIS.DBF", cursor), status::Ok);
    QCOMPARE(cursor->prepareOrders(), status::Ok);
    QTRY_COMPARE_WITH_TIMEOUT(threadCount(), threads, 60000);
    for (const QString &tag : tags) // after it has ended
        QCOMPARE(switchTo(*cursor, tag), expected[tag]);

    QCOMPARE(open("CD_GIS.DBF", cursor), status::Ok);
    QCOMPARE(cursor->prepareOrders(), status::Ok);
    QCOMPARE(cursor->close(), status::Ok);
    QCOMPARE(threadCount(), threads);
    std::string record;
    RecordProps props;
    QCOMPARE(cursor->getNext(record, props), status::NotOpen);
    QCOMPARE(cursor->prepareOrders(), status::NotOpen);
    QCOMPARE(open("CD_GIS.DBF", cursor), status::Ok);
    QCOMPARE(cursor->prepareOrders(), status::Ok);
    cursor.reset();
    QCOMPARE(threadCount(), threads);
}

QTEST_APPLESS_MAIN(tst_DbaseEngine)
#include "tst_DbaseEngine.moc"
