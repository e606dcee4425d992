// Tables written by independent tools read by the engine, and the project's
// writer read by an independent tool: python3-dbf (dBASE III + DBT), Perl XBase
// (dBASE IV + DBT and dBASE III + DBT), Perl's dbf_dump on our own output.
#include "CodePage.h"
#include "DbaseEngine.h"
#include "TableWriter.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace dbase;

namespace {

QString fixture(const QString &name)
{
    return qEnvironmentVariable("GD_SOURCE_DIR") + "/tests/data/engine/fixtures/" + name;
}

bool run(const QString &program, const QStringList &args, const QString &dir,
         QByteArray *out = nullptr)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning() << program << args << p.readAllStandardError();
        return false;
    }
    if (out)
        *out = p.readAllStandardOutput();
    return true;
}

// The radon.csv records as the engine must give them: text, number, integer, date,
// logical, note ("" for blank). The fifth record is deleted by both writers.
const QList<QStringList> kExpected = {
    {"Aachen", "Städteregion Aachen", "45.5", "12", "20010315", "T", "Erste Messung; Keller"},
    {"Bad Tölz", "Bad Tölz-Wolfratshausen", "120.25", "3", "19991102", "F",
     "Granituntergrund, erhöhte Werte gemessen"},
    {"Zwiesel", "Regen", "310", "27", "20030730", "T", ""},
    {"Überlingen", "Bodenseekreis", "", "0", "", "", "Keine Daten"},
};

// One record's fields as texts in UTF-8, numbers in their shortest form.
QStringList fieldsOf(EngineCursor &cursor, const std::string &record, int codePage)
{
    QStringList values;
    const auto fields = cursor.fieldDescs();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const int no = int(i) + 1;
        std::string text;
        FieldValue v;
        if (fields[i].type == FieldType::Memo) {
            cursor.readMemo(no, record, text);
        } else if (cursor.extractField(no, record, v) == status::Ok && !v.blank) {
            if (fields[i].type == FieldType::Number)
                text = QString::number(v.number).toStdString();
            else if (fields[i].type == FieldType::Integer || fields[i].type == FieldType::SmallInt)
                text = std::to_string(v.integer);
            else
                text = v.text;
        }
        values << QString::fromStdString(CodePage::ansiToUtf8(CodePage::of(codePage).toAnsi(text)));
    }
    return values;
}

} // namespace

class tst_ExternalTables : public QObject
{
    Q_OBJECT

private slots:
    void readsTablesOfOtherWriters_data();
    void readsTablesOfOtherWriters();
    void dbfDumpReadsOurTable();
};

void tst_ExternalTables::readsTablesOfOtherWriters_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args"); // the output name goes after the CSV
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("codePage");
    QTest::newRow("python3-dbf, dBASE III, cp850")
        << "/usr/bin/python3" << QStringList{fixture("csv2dbf3.py"), "cp850"} << 0x83 << 850;
    QTest::newRow("python3-dbf, dBASE III, cp437")
        << "/usr/bin/python3" << QStringList{fixture("csv2dbf3.py"), "cp437"} << 0x83 << 437;
    QTest::newRow("python3-dbf, FoxPro with FPT")
        << "/usr/bin/python3" << QStringList{fixture("csv2dbf3.py"), "cp850", "fp"} << 0xF5 << 850;
    QTest::newRow("Perl XBase, dBASE IV")
        << "perl" << QStringList{fixture("csv2dbf4.pl"), "0x8B"} << 0x8B << 1252;
    QTest::newRow("Perl XBase, dBASE III")
        << "perl" << QStringList{fixture("csv2dbf4.pl"), "3"} << 0x83 << 1252;
}

void tst_ExternalTables::readsTablesOfOtherWriters()
{
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QTemporaryDir dir;
    // script in.csv out.dbf options...
    const QStringList full = QStringList{args[0], fixture("radon.csv"), "radon.dbf"} + args.mid(1);
    QVERIFY(run(program, full, dir.path()));

    auto engine = createDbaseEngine();
    engine->start();
    std::unique_ptr<EngineCursor> cursor;
    const std::string d = dir.path().toStdString();
    QCOMPARE(engine->openTable(d, "RADON.DBF", engine->driverFor(d, "RADON.DBF"), cursor),
             status::Ok);
    int codePage = 0;
    QCOMPARE(cursor->cursorLocale(codePage), status::Ok);
    QTEST(codePage, "codePage");
    QFile raw(dir.filePath("radon.dbf"));
    QVERIFY(raw.open(QIODevice::ReadOnly));
    QTEST(int(quint8(raw.read(1)[0])), "version");

    std::int32_t count = 0;
    cursor->countRecords(count);
    QCOMPARE(count, qint32(kExpected.size()));
    std::string record;
    RecordProps props;
    for (const QStringList &expected : kExpected) {
        QCOMPARE(cursor->getNext(record, props), status::Ok);
        QCOMPARE(fieldsOf(*cursor, record, codePage), expected);
    }
    QCOMPARE(cursor->getNext(record, props), status::NoNextRecord);
}

// Perl's dbf_dump prints each record's fields separated by ':' with the stored
// bytes (cp1252 here) and the notes' full text.
void tst_ExternalTables::dbfDumpReadsOurTable()
{
    QTemporaryDir dir;
    TableWriter writer(dir.filePath("CD_GIS.DBF").toStdString(), 0x57);
    std::string error;
    QVERIFY(writer.open(error));
    const std::vector<std::vector<std::string>> rows = {
        {"Rosenweiß an der Drau", "39608", "Tulln", "N", "48.64", "15.80", "152", "54", "489",
         "155", "215", "2", "rosenweiß an der drau", "Werte über 400 Bq/m³ im Keller."},
        {"Öd", "1", "Gmünd", "St", "", "", "", "", "", "", "", "-5", "öd", ""},
        {"Leer", "", "", "", "", "", "", "", "", "", "", "", "leer", std::string(700, 'n')},
    };
    for (const auto &row : rows)
        QVERIFY2(writer.append(row, error), error.c_str());
    QVERIFY2(writer.finish(true, error), error.c_str());

    QByteArray out;
    QVERIFY(run("dbf_dump", {"--fs", "|", "CD_GIS.DBF"}, dir.path(), &out));
    const QStringList lines = QString::fromStdString(CodePage::ansiToUtf8(out.toStdString()))
                                  .split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), int(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const QStringList fields = lines[int(r)].split('|');
        QCOMPARE(fields.size(), int(rows[r].size()));
        for (std::size_t f = 0; f < rows[r].size(); ++f)
            QCOMPARE(fields[int(f)], QString::fromStdString(rows[r][f]));
    }
    QVERIFY(run("dbf_dump", {"--info", "CD_GIS.DBF"}, dir.path(), &out));
    QVERIFY2(out.contains("0x8b"), out.constData());
}

QTEST_APPLESS_MAIN(tst_ExternalTables)
#include "tst_ExternalTables.moc"
