// The writer and the dump tool end to end: a small CSV (umlauts, a quoted note
// with CR LF, commas and quotes, a negative and a blank KLASSE, a text where MIN
// should be a number) becomes a table with its index, and tabledump prints what
// is checked in under expected/.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <functional>

#include <sys/resource.h>
#include <unistd.h>

namespace {

QString sourceFile(const QString &name)
{
    return qEnvironmentVariable("GD_SOURCE_DIR") + "/tests/data/engine/" + name;
}

QString tool(const QString &name)
{
    return qEnvironmentVariable("GD_BINARY_DIR") + "/tools/" + name;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs a tool; its standard output, or a null array when it failed.
QByteArray run(const QString &program, const QStringList &args, int *exitCode = nullptr,
               QByteArray *err = nullptr)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    if (err)
        *err = p.readAllStandardError();
    if (exitCode)
        *exitCode = p.exitCode();
    else if (p.exitCode() != 0)
        return {};
    QByteArray out = p.readAllStandardOutput();
    return out.isNull() ? QByteArray("") : out;
}

// Runs a tool with inChild run in the child before it starts (limits, descriptors).
struct ChildRun
{
    int exitCode = -1;
    bool crashed = false;
    QByteArray err;
};
ChildRun runChild(const QString &program, const QStringList &args,
                  const std::function<void()> &inChild, const QString &outputFile = {})
{
    QProcess p;
    p.setChildProcessModifier(inChild);
    if (!outputFile.isEmpty())
        p.setStandardOutputFile(outputFile);
    p.start(program, args);
    ChildRun r;
    if (!p.waitForFinished(60000))
        return r;
    r.crashed = p.exitStatus() != QProcess::NormalExit;
    r.exitCode = p.exitCode();
    r.err = p.readAllStandardError();
    return r;
}

// Every entry of dir (hidden ones too) with its bytes.
QMap<QString, QByteArray> contents(const QString &dir)
{
    QMap<QString, QByteArray> files;
    for (const QString &name :
         QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        files.insert(name, readAll(dir + '/' + name));
    return files;
}

// A table whose texts mean other words in other code pages: written through
// Windows-1252, "Ìîñêâà" is "Москва" in 1251 and "±±¾©" is "北京" in 936 (two
// characters of two bytes). Record 1's note holds a TAB and byte 0x81, which 1252
// leaves undefined. driver (if not -1) replaces the language byte; cpg, if any, is
// written to Small.cpg beside the table.
bool writeCodePageTable(const QTemporaryDir &dir, int driver, const QByteArray &cpg)
{
    const QByteArray csv = "GEMEINDE,GEMNR,BEZIRK,BL,BREITE,LÄNGE,MITTEL,MIN,MAX,JAHRESMITT,"
                           "POTENTIAL,KLASSE,KLEINGEM,TEXT\n"
                           "Ìîñêâà,1,B,W,1,1,1,1,1,1,1,1,ìîñêâà,Tab\tund Steuer|zeichen\n"
                           "±±¾©,2,B,W,1,1,1,1,1,1,1,1,±±¾©,\n"
                           "Wien,3,B,W,1,1,1,1,1,1,1,1,wien,\n";
    QFile in(dir.filePath("in.csv"));
    if (!in.open(QIODevice::WriteOnly) || in.write(csv) != csv.size())
        return false;
    in.close();
    if (run(tool("tablewriter"), {dir.filePath("in.csv"), dir.filePath("SMALL.DBF")}).isNull())
        return false;
    QFile dbt(dir.filePath("SMALL.DBT"));
    if (!dbt.open(QIODevice::ReadWrite))
        return false;
    const QByteArray notes = dbt.readAll().replace("Steuer|zeichen", "Steuer\x81zeichen");
    if (!dbt.seek(0) || dbt.write(notes) != notes.size())
        return false;
    dbt.close();
    QFile dbf(dir.filePath("SMALL.DBF"));
    if (driver >= 0 &&
        (!dbf.open(QIODevice::ReadWrite) || !dbf.seek(29) || !dbf.putChar(char(driver))))
        return false;
    dbf.close();
    QFile file(dir.filePath("Small.cpg"));
    return cpg.isEmpty() || (file.open(QIODevice::WriteOnly) && file.write(cpg) == cpg.size());
}

} // namespace

class tst_TableDump : public QObject
{
    Q_OBJECT

private slots:
    void dumpMatchesExpectedText_data();
    void dumpMatchesExpectedText();
    void textsInTheirCodePage_data();
    void textsInTheirCodePage();
    void infoNamesTheCodePage_data();
    void infoNamesTheCodePage();
    void damagedTableIsReported();
    void damagedNotesAreReported_data();
    void damagedNotesAreReported();
    void writerWarnsOfLostCharacters();
    void writerRefusesBadInput_data();
    void writerRefusesBadInput();
    void dumpOutputFailures_data();
    void dumpOutputFailures();
    void writerLeavesNoPartialTable_data();
    void writerLeavesNoPartialTable();
};

void tst_TableDump::dumpMatchesExpectedText_data()
{
    QTest::addColumn<QString>("ldid");
    QTest::addColumn<QStringList>("dumpArgs");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("name"); // the table's name as given to tabledump
    QTest::newRow("info") << "0x57" << QStringList{"--info"} << "expected/small-info.txt"
                          << QString();
    // The file is SMALL.DBF: a name in another letter case finds the same file.
    QTest::newRow("info, name in lower case")
        << "0x57" << QStringList{"--info"} << "expected/small-info.txt"
        << "small.dbf";
    QTest::newRow("records") << "0x57" << QStringList{} << "expected/small-records.csv"
                             << QString();
    QTest::newRow("records of a cp850 table")
        << "0x10" << QStringList{} << "expected/small-records.csv" << QString();
    QTest::newRow("POTENTIAL order") << "0x57" << QStringList{"--order", "POTENTIAL"}
                                     << "expected/small-potential.csv" << QString();
    // The name search lowers only A to Z: "WIENE" finds wiener neustadt, the first key
    // at or after "wiene"; a text beyond every key lands on the last record.
    QTest::newRow("seek a beginning of a name")
        << "0x57" << QStringList{"--seek", "WIENE"} << "expected/small-seek-wiene.csv" << QString();
    QTest::newRow("seek beyond every name") << "0x57" << QStringList{"--seek", "\u00F6zzz"}
                                            << "expected/small-seek-beyond.csv" << QString();
}

void tst_TableDump::dumpMatchesExpectedText()
{
    QFETCH(QString, ldid);
    QFETCH(QStringList, dumpArgs);
    QFETCH(QString, expected);
    QFETCH(QString, name);
    QTemporaryDir dir;
    const QString table = dir.filePath("SMALL.DBF");
    QVERIFY(!run(tool("tablewriter"), {"--ldid", ldid, sourceFile("fixtures/small.csv"), table})
                 .isNull());
    const QByteArray out =
        run(tool("tabledump"), dumpArgs << (name.isEmpty() ? table : dir.filePath(name)));
    QVERIFY(!out.isNull());
    const QByteArray want = readAll(sourceFile(expected));
    QVERIFY(!want.isEmpty());
    QCOMPARE(QString::fromUtf8(out), QString::fromUtf8(want));
}

void tst_TableDump::textsInTheirCodePage_data()
{
    QTest::addColumn<int>("driver");
    QTest::addColumn<QStringList>("dumpArgs");
    QTest::addColumn<QString>("fieldName"); // the header's sixth field name
    QTest::addColumn<QStringList>("names"); // GEMEINDE of each record, in the output's order
    QTest::addColumn<QString>("note");      // of the first record dumped
    const QString note = "Tab\tund Steuer%1zeichen";
    const QStringList ansiNames{"Ìîñêâà", "±±¾©", "Wien"};
    QTest::newRow("1252: the characters stored, an undefined byte as its C1 value")
        << -1 << QStringList{} << "LÄNGE" << ansiNames << note.arg(QChar(0x81));
    QTest::newRow("1251 by the language byte")
        << 0xC9 << QStringList{} << "LДNGE" << QStringList{"Москва", "±±ѕ©", "Wien"}
        << note.arg("Ѓ");
    QTest::newRow("1251 as the window shows it")
        << 0xC9 << QStringList{"--ansi"} << "L?NGE" << QStringList{"??????", "±±?©", "Wien"}
        << note.arg("?");
    QTest::newRow("936: a character of two bytes is one character")
        << 0x7A << QStringList{} << "L腘GE" << QStringList{"填耜忄", "北京", "Wien"}
        << "Tab\tund Steuer亃eichen";
    QTest::newRow("936 as the window shows it: one ? per character")
        << 0x7A << QStringList{"--ansi"} << "L?GE" << QStringList{"???", "??", "Wien"}
        << "Tab\tund Steuer?eichen";
    QTest::newRow("--codepage over the language byte, also for --seek")
        << -1 << QStringList{"--codepage", "1251", "--seek", "москва"} << "LДNGE"
        << QStringList{"Москва"} << note.arg("Ѓ");
    // Name order: wien, then ±±¾© (0xB1 …), then ìîñêâà (0xEC …).
    QTest::newRow("--seek in UTF-8 into the table's code page")
        << 0x7A << QStringList{"--seek", "北京"} << "L腘GE" << QStringList{"北京", "填耜忄"}
        << QString();
    QTest::newRow("--seek through Windows-1252 as the window takes it")
        << 0xC9 << QStringList{"--ansi", "--seek", "москва"} << "L?NGE"
        << QStringList{"Wien", "±±?©", "??????"} << QString();
}

// Field names, texts and notes are UTF-8 of exactly the characters stored, control
// characters too; --ansi shows the window's view, --codepage reads another page.
void tst_TableDump::textsInTheirCodePage()
{
    QFETCH(int, driver);
    QFETCH(QStringList, dumpArgs);
    QTemporaryDir dir;
    QVERIFY(writeCodePageTable(dir, driver, {}));
    const QByteArray out = run(tool("tabledump"), dumpArgs << dir.filePath("SMALL.DBF"));
    QVERIFY(!out.isNull());
    QStringList lines = QString::fromUtf8(out).split(u'\n');
    QCOMPARE(lines.takeLast(), QString()); // after the last line break
    QTEST(lines.takeFirst().split(u',').value(6), "fieldName");
    QStringList names;
    for (const QString &line : lines)
        names << line.split(u',').value(1);
    QTEST(names, "names");
    QFETCH(QString, note);
    if (!note.isEmpty())
        QCOMPARE(lines.first().split(u',').last(), note);
}

void tst_TableDump::infoNamesTheCodePage_data()
{
    QTest::addColumn<int>("driver");
    QTest::addColumn<QByteArray>("cpg");
    QTest::addColumn<QStringList>("dumpArgs");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("line"); // the output's third line, or standard error's first
    QTest::newRow(".cpg file, named as the directory holds it")
        << -1 << QByteArray("ANSI 1251\r\n") << QStringList{} << 0
        << "Codepage: 1251 (aus der .cpg-Datei Small.cpg)";
    // ±±¾© weighs for 437, where its bytes are line-drawing characters side by side.
    QTest::newRow("guess") << 0x00 << QByteArray() << QStringList{} << 0
                           << "Codepage: 437 (geraten, die Sprachkennung 0x00 nennt keine)";
    QTest::newRow("the user's over a .cpg file")
        << -1 << QByteArray("1251") << QStringList{"--codepage", "65001"} << 0
        << "Codepage: 65001 (vom Benutzer: --codepage)";
    QTest::newRow("no code page the engine converts")
        << -1 << QByteArray() << QStringList{"--codepage", "1234"} << 2
        << "tabledump: --codepage 1234: keine Codepage, die tabledump umsetzen kann (eine Nummer "
           "wie 1252, 1251, 936 oder 65001 für UTF-8).";
}

void tst_TableDump::infoNamesTheCodePage()
{
    QFETCH(int, driver);
    QFETCH(QByteArray, cpg);
    QFETCH(QStringList, dumpArgs);
    QFETCH(int, exitCode);
    QTemporaryDir dir;
    QVERIFY(writeCodePageTable(dir, driver, cpg));
    int code = -1;
    QByteArray err;
    const QByteArray out =
        run(tool("tabledump"), dumpArgs << "--info" << dir.filePath("SMALL.DBF"), &code, &err);
    QCOMPARE(code, exitCode);
    const QString text = QString::fromUtf8(exitCode == 0 ? out : "\n\n" + err);
    QTEST(text.section(u'\n', 2, 2), "line");
}

void tst_TableDump::damagedTableIsReported()
{
    QTemporaryDir dir;
    const QString table = dir.filePath("SMALL.DBF");
    QVERIFY(!run(tool("tablewriter"), {"--no-index", sourceFile("fixtures/small.csv"), table})
                 .isNull());
    QVERIFY(!QFile::exists(dir.filePath("SMALL.MDX")));
    QVERIFY(QFile::resize(table, 481 + 132 * 2));
    int code = 0;
    QByteArray err;
    run(tool("tabledump"), {table}, &code, &err);
    QCOMPARE(code, 1);
    const QString message = QString::fromUtf8(err);
    QVERIFY2(message.contains("Die Tabelle ist beschädigt."), qPrintable(message));
    QVERIFY2(message.contains("Datei: " + table), qPrintable(message));
    QVERIFY2(message.contains("gibt 4 Datensätze an, die Datei enthält aber nur 2"),
             qPrintable(message));
}

void tst_TableDump::damagedNotesAreReported_data()
{
    QTest::addColumn<int>("record");
    QTest::addColumn<QByteArray>("reference"); // stored in place of the record's own
    QTest::addColumn<QByteArray>("note");      // its text as the expected dump shows it
    QTest::addColumn<QString>("reason");
    // The note's head states 4 GiB, and the memo file (extended sparse) holds more
    // than the cap after it, the next record's note first.
    QTest::newRow("note stating 4 GiB before the other notes")
        << 2 << QByteArray() << QByteArray("\"Zwei Zeilen:\r\nerste, zweite mit \"\"Zitat\"\".\"")
        << "Der Memotext in Block <block> gibt die Länge 4294967287 an";
    QTest::newRow("reference that is no block number")
        << 3 << QByteArray("     12abc") << QByteArray("Werte über 400 Bq/m³.")
        << "Der Memoverweis '12abc' ist beschädigt.";
}

// A note that cannot be read leaves its cell empty and nothing else: every other
// record comes out whole, the damage is reported on standard error with the record,
// the memo file and what is wrong, and the exit status is 1.
void tst_TableDump::damagedNotesAreReported()
{
    QFETCH(int, record);
    QFETCH(QByteArray, reference);
    QFETCH(QByteArray, note);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString table = dir.filePath("SMALL.DBF");
    QVERIFY(!run(tool("tablewriter"), {sourceFile("fixtures/small.csv"), table}).isNull());
    QFile dbf(table);
    QVERIFY(dbf.open(QIODevice::ReadWrite));
    const QByteArray head = dbf.read(12);
    const int headerLength = quint8(head[8]) | quint8(head[9]) << 8;
    const int recordLength = quint8(head[10]) | quint8(head[11]) << 8;
    // TEXT is the last field: its reference ends the record.
    const qint64 at = headerLength + qint64(record) * recordLength - 10;
    QVERIFY(dbf.seek(at));
    const int block = dbf.read(10).trimmed().toInt();
    QVERIFY(block > 0);
    QVERIFY(reference.isEmpty() || (dbf.seek(at) && dbf.write(reference) == 10));
    dbf.close();
    if (reference.isEmpty()) {
        QFile dbt(dir.filePath("SMALL.DBT"));
        QVERIFY(dbt.open(QIODevice::ReadWrite));
        QVERIFY(dbt.seek(block * 512 + 4) && dbt.write("\xFF\xFF\xFF\xFF", 4) == 4);
        QVERIFY(dbt.resize(70000000));
    }
    int code = 0;
    QByteArray err;
    const QByteArray out = run(tool("tabledump"), {table}, &code, &err);
    QCOMPARE(code, 1);
    const QByteArray whole = readAll(sourceFile("expected/small-records.csv"));
    QVERIFY(whole.contains(note));
    QCOMPARE(QString::fromUtf8(out), QString::fromUtf8(QByteArray(whole).replace(note, "")));
    const QString message = QString::fromUtf8(err);
    QVERIFY2(message.startsWith(QString("tabledump: Satz %1, TEXT: ").arg(record)),
             qPrintable(message));
    QVERIFY2(message.contains("\nDatei: " + dir.filePath("SMALL.DBT") + "\n"), qPrintable(message));
    QVERIFY2(message.contains(reason.replace("<block>", QString::number(block))),
             qPrintable(message));
    QCOMPARE(message.count("tabledump:"), 1);
}

// cp437 has no "³": the writer stores '?' and says so.
void tst_TableDump::writerWarnsOfLostCharacters()
{
    QTemporaryDir dir;
    const QString table = dir.filePath("SMALL.DBF");
    int code = -1;
    QByteArray err;
    run(tool("tablewriter"), {"--ldid", "0x0F", sourceFile("fixtures/small.csv"), table}, &code,
        &err);
    QCOMPARE(code, 0);
    QVERIFY2(err.contains("Satz 3, TEXT: Zeichen ohne Entsprechung"), err.constData());
    const QByteArray out = run(tool("tabledump"), {table});
    QVERIFY(out.contains("Werte über 400 Bq/m?."));
}

void tst_TableDump::writerRefusesBadInput_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("message");
    const QByteArray header = "GEMEINDE,GEMNR,BEZIRK,BL,BREITE,LÄNGE,MITTEL,MIN,MAX,JAHRESMITT,"
                              "POTENTIAL,KLASSE,KLEINGEM,TEXT\n";
    QTest::newRow("KLASSE not a number") << header + "A,1,B,W,1,1,1,1,1,1,1,x,a,\n"
                                         << "keine ganze Zahl";
    QTest::newRow("KLASSE too wide") << header + "A,1,B,W,1,1,1,1,1,1,1,12345,a,\n"
                                     << "keine ganze Zahl";
    QTest::newRow("missing field") << QByteArray("GEMEINDE,GEMNR\nA,1\n") << "Spalten statt 14";
    QTest::newRow("unclosed quote") << header + "A,1,B,W,1,1,1,1,1,1,1,1,a,\"open\n"
                                    << "nicht geschlossen";
    QTest::newRow("short record") << header + "A,1,B\n"
                                  << "3 Werte statt 14";
}

void tst_TableDump::writerRefusesBadInput()
{
    QFETCH(QByteArray, csv);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QFile f(dir.filePath("in.csv"));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(csv) == csv.size());
    f.close();
    int code = 0;
    QByteArray err;
    run(tool("tablewriter"), {dir.filePath("in.csv"), dir.filePath("OUT.DBF")}, &code, &err);
    QCOMPARE(code, 1);
    QVERIFY2(QString::fromUtf8(err).contains(message), err.constData());
    // Nothing of the table is left behind.
    QCOMPARE(contents(dir.path()).keys(), QStringList{"in.csv"});
}

// Output that cannot be written is a failure with its reason and exit status 3; a
// reader that goes away (SIGPIPE ignored, so that the write fails with EPIPE) ends the
// dump quietly, as the signal would.
void tst_TableDump::dumpOutputFailures_data()
{
    QTest::addColumn<QStringList>("dumpArgs");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("message");
    const QString prefix = "tabledump: Die Ausgabe kann nicht geschrieben werden: ";
    QTest::newRow("records onto a full device")
        << QStringList{} << "full" << prefix + "Kein Speicherplatz mehr auf dem Gerät.\n";
    QTest::newRow("info onto a full device")
        << QStringList{"--info"} << "full" << prefix + "Kein Speicherplatz mehr auf dem Gerät.\n";
    QTest::newRow("standard output closed")
        << QStringList{} << "closed" << prefix + "Die Standardausgabe ist geschlossen.\n";
    QTest::newRow("reader gone") << QStringList{} << "gone" << QString();
}

void tst_TableDump::dumpOutputFailures()
{
    QFETCH(QStringList, dumpArgs);
    QFETCH(QString, output);
    QTemporaryDir dir;
    const QString table = dir.filePath("SMALL.DBF");
    QVERIFY(!run(tool("tablewriter"), {sourceFile("fixtures/small.csv"), table}).isNull());
    const auto inChild = [output] {
        if (output == "closed") {
            ::close(1);
        } else if (output == "gone") {
            int ends[2];
            if (::pipe(ends) == 0) {
                ::close(ends[0]);
                ::dup2(ends[1], 1);
            }
            std::signal(SIGPIPE, SIG_IGN);
        }
    };
    const ChildRun r = runChild(tool("tabledump"), dumpArgs << table, inChild,
                                output == "full" ? "/dev/full" : QString());
    QVERIFY(!r.crashed);
    QCOMPARE(r.exitCode, 3);
    QTEST(QString::fromUtf8(r.err), "message");
}

// A table writer that meets a full disk (here: a file size limit, with SIGXFSZ
// ignored so that the write fails with EFBIG) names the file and the reason and
// leaves the directory as it was: no partial table, no temporary file, and a table
// written before still whole.
void tst_TableDump::writerLeavesNoPartialTable_data()
{
    QTest::addColumn<bool>("tableBefore");
    QTest::newRow("into an empty directory") << false;
    QTest::newRow("over a table") << true;
}

void tst_TableDump::writerLeavesNoPartialTable()
{
    QFETCH(bool, tableBefore);
    QTemporaryDir dir;
    const QString table = dir.filePath("CD_GIS.DBF");
    if (tableBefore)
        QVERIFY(!run(tool("tablewriter"), {sourceFile("fixtures/small.csv"), table}).isNull());
    const QMap<QString, QByteArray> before = contents(dir.path());
    QCOMPARE(before.size(), tableBefore ? 3 : 0);
    const auto inChild = [] {
        const rlimit limit{64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, SIG_IGN);
    };
    const ChildRun r = runChild(tool("tablewriter"), {"--records", "3000", table}, inChild);
    QVERIFY(!r.crashed);
    QCOMPARE(r.exitCode, 1);
    const QString message = QString::fromUtf8(r.err);
    const QRegularExpression expected(
        "^tablewriter: " + QRegularExpression::escape(dir.filePath("CD_GIS.")) +
        "(DBF|DBT|MDX): Die Datei wird zu groß\\.\n$");
    QVERIFY2(expected.match(message).hasMatch(), qPrintable(message));
    QCOMPARE(contents(dir.path()), before);
}

QTEST_APPLESS_MAIN(tst_TableDump)
#include "tst_TableDump.moc"
