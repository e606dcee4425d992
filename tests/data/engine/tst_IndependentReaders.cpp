// The regression harness against independent readers: every fixture table, written
// by an independent writer (python3-dbf, Perl XBase) or built in code, is read with
// tabledump and with Perl XBase's dbf_dump (python3-dbfread for the Visual FoxPro
// column types, which Perl reads as unsigned numbers and epoch seconds), and the two
// are compared field by field under the engine's conventions: deleted records are
// hidden, trailing blanks of texts do not count, a note of length 0 is empty, a number
// field whose text is no number is empty to the other reader, logicals compare as
// true, false or not set.
//
// Tables in other code pages (python3-dbf and Perl XBase write them with the language-
// driver byte of each, or with none and a .cpg file) are compared with python3-dbfread
// as tabledump prints them: UTF-8 of exactly the characters stored, in the code page
// its --info names.
#include "CodePage.h"
#include "DbfFixture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace dbase;

namespace {

const char kFieldSeparator = '\x1F';
const char kRecordSeparator = '\x1E';

QString sourceFile(const QString &name)
{
    return qEnvironmentVariable("GD_SOURCE_DIR") + "/tests/data/engine/" + name;
}

QString tool(const QString &name)
{
    return qEnvironmentVariable("GD_BINARY_DIR") + "/tools/" + name;
}

// Runs program in dir; its standard output, or a null array when it failed.
QByteArray run(const QString &program, const QStringList &args, const QString &dir)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning() << program << args << p.readAllStandardError();
        return {};
    }
    const QByteArray out = p.readAllStandardOutput();
    return out.isNull() ? QByteArray("") : out;
}

// tabledump's CSV: quoted fields may hold commas, quotes and line breaks.
QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"') {
                field += c;
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row << field;
            field.clear();
        } else if (c == u'\n') {
            rows << (row << field);
            row.clear();
            field.clear();
        } else {
            field += c;
        }
    }
    return rows;
}

// The type letter of each field, from tabledump --info ("  3 WERT N 8 2").
QString typeLetters(const QString &info)
{
    QString letters;
    bool inFields = false;
    for (const QString &line : info.split(u'\n')) {
        if (line == QStringLiteral("Felder:")) {
            inFields = true;
        } else if (inFields && line.startsWith(QStringLiteral("  "))) {
            const QStringList parts = line.trimmed().split(u' ');
            letters += parts.value(2).left(1);
        } else if (inFields) {
            break;
        }
    }
    return letters;
}

bool asNumber(const QString &text, double &value)
{
    bool ok = false;
    value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value);
}

QString logicalOf(const QString &stored)
{
    if (stored.size() == 1 && QStringLiteral("TtYy").contains(stored))
        return QStringLiteral("1");
    if (stored.size() == 1 && QStringLiteral("FfNn").contains(stored))
        return QStringLiteral("0");
    return QString();
}

// Empty when ours (tabledump's text) and theirs (the other reader's) agree for a
// field of type letter; otherwise what differs.
QString difference(QChar letter, const QString &ours, const QString &theirs)
{
    auto differs = [&] { return QStringLiteral("'%1' against '%2'").arg(ours, theirs); };
    switch (letter.toLatin1()) {
    case 'N':
    case 'F': {
        double a = 0;
        double b = 0;
        if (!asNumber(ours, a))
            return theirs.isEmpty() ? QString() : differs();
        if (!asNumber(theirs, b) || std::fabs(a - b) > 1e-9 * std::max(1.0, std::fabs(a)))
            return differs();
        return QString();
    }
    case 'L':
        return logicalOf(ours) == theirs ? QString() : differs();
    case 'C':
    case 'V': {
        const QRegularExpression trailing(QStringLiteral(" +$"));
        return QString(ours).remove(trailing) == QString(theirs).remove(trailing) ? QString()
                                                                                  : differs();
    }
    case 'D':
    case 'M':
    case 'I':
    case 'B':
    case 'Y':
    case 'T':
        return ours == theirs ? QString() : differs();
    default:
        return QString(); // shown as a placeholder by the engine; no common form
    }
}

// A table built in code: its files, written into dir.
struct Built
{
    QString table;
    QList<QPair<QString, QByteArray>> files;
};

std::string notesOf(int blockSize, int i)
{
    return std::string(std::size_t(blockSize * (i + 1) + 13 * i), char('a' + i)) + " Ende";
}

// A dBASE IV table with a memo file of blockSize-byte blocks (headerSize bytes of
// header), notes spanning several blocks, one blank reference and one note of
// length 0.
Built memoTable(int blockSize, int headerSize)
{
    std::vector<std::string> notes;
    for (int i = 0; i < 4; ++i)
        notes.push_back(notesOf(blockSize, i));
    notes.push_back("");
    std::vector<int> blocks;
    const QByteArray dbt = fixture::memoIV(notes, blockSize, &blocks, headerSize);
    std::vector<std::string> rows;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        std::string name = "Satz " + std::to_string(i);
        name.resize(20, ' ');
        rows.push_back(name + fixture::memoRef(blocks[i]));
    }
    rows.push_back("ohne Notiz");
    return {"MEMO.DBF",
            {{"MEMO.DBF", fixture::table({{"NAME", 'C', 20}, {"TEXT", 'M', 10}}, rows)},
             {"MEMO.DBT", dbt}}};
}

Built inCode(const QString &kind)
{
    const std::vector<fixture::Field> plain = {{"NAME", 'C', 10}, {"ANZAHL", 'N', 5}};
    const std::vector<std::string> rows = {"Wien         12", "Graz           ", "Linz        -3"};
    if (kind == "memo 32")
        return memoTable(32, 32);
    if (kind == "memo 64")
        return memoTable(64, 512);
    if (kind == "memo 1024")
        return memoTable(1024, 1024);
    if (kind == "memo 4096")
        return memoTable(4096, 4096);
    if (kind == "text with decimals byte") {
        QByteArray b = fixture::table(plain, rows, 0x03);
        b[32 + 17] = 2; // as a spreadsheet export writes C(10,2)
        return {"T.DBF", {{"T.DBF", b}}};
    }
    if (kind == "list ended by 0x0A" || kind == "list ended by 0x00") {
        QByteArray b = fixture::table(plain, rows, 0x03);
        b[32 + 2 * 32] = kind.endsWith("0A") ? '\x0A' : '\0';
        return {"T.DBF", {{"T.DBF", b}}};
    }
    if (kind == "index flag and CDX") {
        QByteArray b = fixture::table(plain, rows, 0x03, 0x03);
        b[28] = 1; // FoxPro: a structural .CDX belongs to the table
        return {"T.DBF", {{"T.DBF", b}, {"T.CDX", QByteArray(1024, '\0')}}};
    }
    if (kind == "stray FPT") {
        Built b = memoTable(512, 512);
        QByteArray fpt(512, '\0');
        fpt[7] = 64;
        b.files.append({"MEMO.FPT", fpt + QByteArray("\x00\x00\x00\x01\x00\x00\x00\x03"
                                                     "abc",
                                                     11)});
        return b;
    }
    if (kind == "logicals and numbers") {
        const std::vector<std::string> values = {"T 12.50", "f******", "Y n.v. ",
                                                 "n -0.25", "?      ", "F   1.5"};
        return {"T.DBF",
                {{"T.DBF", fixture::table({{"OK", 'L', 1}, {"WERT", 'N', 6, 2}}, values, 0x03, 0x57,
                                          "     *")}}};
    }
    return {};
}

} // namespace

class tst_IndependentReaders : public QObject
{
    Q_OBJECT

private slots:
    void sameRecordsAsOtherReaders_data();
    void sameRecordsAsOtherReaders();
    void sameTextsInOtherCodePages_data();
    void sameTextsInOtherCodePages();
};

void tst_IndependentReaders::sameRecordsAsOtherReaders_data()
{
    QTest::addColumn<QString>("writer");   // "code", "perl" or "python"
    QTest::addColumn<QStringList>("args"); // the writer's script and options, or the kind
    QTest::addColumn<QString>("table");    // as the writer names it
    QTest::addColumn<QString>("reader");   // "dbf_dump" or "dbfread"
    QTest::addColumn<int>("codePage");     // of dbf_dump's raw bytes

    const QString csv = sourceFile("fixtures/radon.csv");
    QTest::newRow("Perl XBase, dBASE IV")
        << "perl" << QStringList{sourceFile("fixtures/csv2dbf4.pl"), csv, "radon.dbf", "0x8B"}
        << "radon.dbf"
        << "dbf_dump" << 1252;
    QTest::newRow("Perl XBase, dBASE III")
        << "perl" << QStringList{sourceFile("fixtures/csv2dbf4.pl"), csv, "radon.dbf", "3"}
        << "radon.dbf"
        << "dbf_dump" << 1252;
    QTest::newRow("python3-dbf, dBASE III")
        << "python" << QStringList{sourceFile("fixtures/csv2dbf3.py"), csv, "radon.dbf", "cp850"}
        << "radon.dbf"
        << "dbf_dump" << 850;
    QTest::newRow("python3-dbf, FoxPro with FPT")
        << "python"
        << QStringList{sourceFile("fixtures/csv2dbf3.py"), csv, "radon.dbf", "cp850", "fp"}
        << "radon.dbf"
        << "dbf_dump" << 850;
    QTest::newRow("python3-dbf, Visual FoxPro column types")
        << "python" << QStringList{sourceFile("fixtures/vfp_types.py"), "types.dbf"} << "types.dbf"
        << "dbfread" << 1252;
    for (const char *kind : {"memo 32", "memo 64", "memo 1024", "memo 4096",
                             "text with decimals byte", "list ended by 0x0A", "list ended by 0x00",
                             "index flag and CDX", "stray FPT", "logicals and numbers"})
        QTest::addRow("built in code, %s", kind)
            << "code" << QStringList{kind} << inCode(kind).table << "dbf_dump" << 1252;
    // Tables for the key expressions of real dBASE tags (DTOC, LEFT, RIGHT, LTRIM,
    // ALLTRIM, IIF, FOR and UNIQUE tags) join here as their own rows.
}

void tst_IndependentReaders::sameRecordsAsOtherReaders()
{
    QFETCH(QString, writer);
    QFETCH(QStringList, args);
    QFETCH(QString, table);
    QFETCH(QString, reader);
    QFETCH(int, codePage);
    QTemporaryDir dir;
    if (writer == "code") {
        for (const auto &[name, bytes] : inCode(args.front()).files)
            QVERIFY(fixture::write(dir.filePath(name), bytes));
    } else {
        QVERIFY(!run(writer == "perl" ? "perl" : "/usr/bin/python3", args, dir.path()).isNull());
    }

    const QByteArray info = run(tool("tabledump"), {"--info", table}, dir.path());
    const QByteArray dump = run(tool("tabledump"), {table}, dir.path());
    QVERIFY(!info.isNull() && !dump.isNull());
    const QString letters = typeLetters(QString::fromUtf8(info));
    QList<QStringList> ours = parseCsv(QString::fromUtf8(dump));
    QVERIFY(!ours.isEmpty());
    ours.removeFirst(); // the header row

    QByteArray other;
    if (reader == "dbf_dump") {
        other = run("dbf_dump",
                    {"--fs", QString(kFieldSeparator), "--rs", QString(kRecordSeparator), table},
                    dir.path());
        other = QByteArray::fromStdString(CodePage::of(codePage).toUtf8(other.toStdString()));
    } else {
        other =
            run("/usr/bin/python3", {sourceFile("fixtures/dbfread_dump.py"), table}, dir.path());
    }
    QVERIFY(!other.isNull());
    QStringList theirs = QString::fromUtf8(other).split(QChar(kRecordSeparator));
    theirs.removeLast(); // after the last separator

    QCOMPARE(ours.size(), theirs.size());
    QStringList differences;
    for (qsizetype r = 0; r < ours.size(); ++r) {
        const QStringList a = ours[r].mid(1); // without RECNO
        const QStringList b = theirs[r].split(QChar(kFieldSeparator));
        QCOMPARE(a.size(), letters.size());
        QCOMPARE(b.size(), letters.size());
        for (qsizetype f = 0; f < letters.size(); ++f) {
            const QString d = difference(letters[f], a[f], b[f]);
            if (!d.isEmpty())
                differences << QStringLiteral("record %1 field %2 (%3): %4")
                                   .arg(ours[r].front())
                                   .arg(f + 1)
                                   .arg(letters[f])
                                   .arg(d);
        }
    }
    QVERIFY2(differences.isEmpty(), qPrintable(differences.join('\n')));
}

void tst_IndependentReaders::sameTextsInOtherCodePages_data()
{
    QTest::addColumn<QString>("writer");   // "python": codepage, words; "perl": driver,
    QTest::addColumn<QStringList>("args"); // encoding, words
    QTest::addColumn<QByteArray>("cpg");   // the .cpg file beside the table, if any
    QTest::addColumn<int>("codePage");     // the engine's
    QTest::addColumn<QString>("encoding"); // dbfread's where the table does not name one

    const auto python = [](const char *name, const char *codec, int codePage,
                           const QStringList &words) {
        QTest::addRow("python3-dbf, %s", name)
            << "python" << (QStringList{codec} + words) << QByteArray() << codePage << QString();
    };
    python("cp437", "cp437", 437, {"Größe", "Ärger"});
    python("cp737", "cp737", 737, {"Αθήνα"});
    python("cp852", "cp852", 852, {"Łódź", "Brno"});
    python("cp857", "cp857", 857, {"İstanbul", "Muğla"});
    python("cp861", "cp861", 861, {"Þórshöfn"});
    python("cp865", "cp865", 865, {"Tromsø"});
    python("cp866", "cp866", 866, {"Новосибирск"});
    python("cp874", "cp874", 874, {"กรุงเทพ"});
    python("cp932", "cp932", 932, {"東京都", "ｶﾀｶﾅ"});
    python("cp936", "cp936", 936, {"北京市"});
    python("cp949", "cp949", 949, {"서울특별시"});
    python("cp950", "cp950", 950, {"臺北市", "高雄"});
    python("cp1250", "cp1250", 1250, {"Łódź", "Kraków"});
    python("cp1251", "cp1251", 1251, {"Москва", "Санкт-Петербург"});
    python("cp1253", "cp1253", 1253, {"Αθήνα"});
    python("cp1254", "cp1254", 1254, {"İstanbul", "Şişli"});
    python("cp1255", "cp1255", 1255, {"ירושלים"});
    python("cp1256", "cp1256", 1256, {"القاهرة"});
    python("Macintosh Roman", "mac_roman", 10000, {"Café Zürich"});
    python("Macintosh Cyrillic", "mac_cyrillic", 10007, {"Москва"});
    python("Macintosh Central European", "mac_latin2", 10029, {"Łódź"});
    // python3-dbf marks UTF-8 with a byte of its own (0xF0), which names nothing.
    QTest::newRow("python3-dbf, UTF-8, guessed")
        << "python" << QStringList{"utf8", "Łódź", "北京"} << QByteArray() << 65001 << "utf-8";

    const auto perl = [](const char *name, const char *driver, const char *encoding,
                         const QByteArray &cpg, int codePage, const QString &dbfreadEncoding,
                         const QStringList &words) {
        QTest::addRow("Perl XBase, %s", name) << "perl" << (QStringList{driver, encoding} + words)
                                              << cpg << codePage << dbfreadEncoding;
    };
    perl("0xC8", "0xC8", "cp1250", {}, 1250, {}, {"Łódź"});
    perl("0xC9", "0xC9", "cp1251", {}, 1251, {}, {"Москва"});
    perl("0xCC", "0xCC", "cp1257", {}, 1257, "cp1257", {"Kėdainiai", "Šiauliai"});
    perl("0x7A", "0x7A", "cp936", {}, 936, {}, {"上海"});
    perl("0x7B", "0x7B", "cp932", {}, 932, {}, {"大阪"});
    perl("byte 0, Latin-1 letters", "0x00", "cp1252", {}, 1252, "cp1252", {"Ñandú", "Solør"});
    perl("byte 0, code page 437", "0x00", "cp437", {}, 437, "cp437", {"Größe", "Müller"});
    perl("byte 0, UTF-8", "0x00", "UTF-8", {}, 65001, "utf-8", {"Łódź", "Ñandú"});
    perl(".cpg UTF-8 over 0x57", "0x57", "UTF-8", "UTF-8", 65001, "utf-8", {"Łódź", "東京"});
    perl(".cpg 1251 over byte 0", "0x00", "cp1251", "1251", 1251, "cp1251", {"Москва"});
}

void tst_IndependentReaders::sameTextsInOtherCodePages()
{
    QFETCH(QString, writer);
    QFETCH(QStringList, args);
    QFETCH(QByteArray, cpg);
    QFETCH(QString, encoding);
    QTemporaryDir dir;
    const bool perl = writer == "perl";
    const QString script = sourceFile(perl ? "fixtures/texts2dbf.pl" : "fixtures/texts2dbf.py");
    QVERIFY(
        !run(perl ? "perl" : "/usr/bin/python3", QStringList{script, "t.dbf"} + args, dir.path())
             .isNull());
    if (!cpg.isEmpty())
        QVERIFY(fixture::write(dir.filePath("t.cpg"), cpg));

    const QString info = QString::fromUtf8(run(tool("tabledump"), {"--info", "t.dbf"}, dir.path()));
    const QRegularExpressionMatch codePage =
        QRegularExpression(QStringLiteral("^Codepage: (\\d+) ")).match(info.section(u'\n', 2, 2));
    QVERIFY2(codePage.hasMatch(), qPrintable(info));
    QTEST(codePage.captured(1).toInt(), "codePage");
    QList<QStringList> records =
        parseCsv(QString::fromUtf8(run(tool("tabledump"), {"t.dbf"}, dir.path())));
    QVERIFY(!records.isEmpty());
    records.removeFirst(); // the header row
    QStringList ours;
    for (const QStringList &r : records)
        ours << r.value(1) + QChar(kFieldSeparator) + r.value(2);

    QStringList dumpArgs{sourceFile("fixtures/dbfread_dump.py"), "t.dbf"};
    if (!encoding.isEmpty())
        dumpArgs << encoding;
    const QByteArray other = run("/usr/bin/python3", dumpArgs, dir.path());
    QVERIFY(!other.isNull());
    QStringList theirs = QString::fromUtf8(other).split(QChar(kRecordSeparator));
    theirs.removeLast(); // after the last separator
    // dbfread reads a dBASE IV note 8 bytes too long (the block head's size): NULs.
    for (QString &r : theirs)
        r.remove(QRegularExpression(QStringLiteral("\\x{0}+$")));
    const QString firstWord = args[perl ? 2 : 1];
    QVERIFY2(!theirs.isEmpty() && theirs.first().startsWith(firstWord),
             qPrintable(theirs.join('|')));
    QCOMPARE(ours, theirs);
}

QTEST_APPLESS_MAIN(tst_IndependentReaders)
#include "tst_IndependentReaders.moc"
