#include "DbfFixture.h"
#include "MemoFile.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace dbase;

namespace {

const std::string kBreaks = "Erste Zeile\r\nZweite Zeile";

// Notes for a file of blockSize-byte blocks: short, exactly filling its first block
// after the block head (or the terminator), and two that span several blocks.
std::vector<std::string> notesFor(int blockSize, bool dbaseIV)
{
    const int fill = dbaseIV ? blockSize - 8 : blockSize - 1;
    return {"Keller", std::string(std::size_t(fill), 'f'), std::string(1500, 'x') + " Ende",
            kBreaks, std::string(std::size_t(3 * blockSize + 77), 'y') + "!"};
}

std::unique_ptr<MemoFile> openMemo(const QString &path, MemoFile::Kind kind = MemoFile::Kind::Dbase)
{
    std::unique_ptr<MemoFile> memo;
    std::string problem;
    if (MemoFile::open(path.toStdString(), kind, memo, problem) != status::Ok)
        return nullptr;
    return memo;
}

} // namespace

Q_DECLARE_METATYPE(dbase::Status)
Q_DECLARE_METATYPE(dbase::MemoFile::Kind)

class tst_MemoFile : public QObject
{
    Q_OBJECT

private slots:
    void flavoursAndBlockSizes_data();
    void flavoursAndBlockSizes();
    void damagedNotesAreReported_data();
    void damagedNotesAreReported();
    void fileShrinksWhileOpen();
    void readAheadGivesTheNotesAsStored_data();
    void readAheadGivesTheNotesAsStored();
    void foxPro();
    void blockOf_data();
    void blockOf();
    void tooShortHeader();
};

// The same notes, written in each flavour and block size, read back exactly: the
// block size comes from the header (dBASE IV) or is 512 (dBASE III).
void tst_MemoFile::flavoursAndBlockSizes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<int>>("blocks");
    QTest::addColumn<QStringList>("notes");
    QTest::addColumn<bool>("dbaseIV");
    QTest::addColumn<int>("blockSize");

    auto row = [](const QString &name, const QByteArray &bytes, const std::vector<int> &blocks,
                  const std::vector<std::string> &notes, bool iv, int size) {
        QStringList texts;
        for (const std::string &n : notes)
            texts << QString::fromStdString(n);
        QTest::newRow(qPrintable(name))
            << bytes << QList<int>(blocks.begin(), blocks.end()) << texts << iv << size;
    };
    for (const int size : {32, 64, 512, 1024, 4096}) {
        std::vector<int> b;
        const auto notes = notesFor(size, true);
        row(QString("dBASE IV, %1-byte blocks").arg(size), fixture::memoIV(notes, size, &b), b,
            notes, true, size);
    }
    // The Windows database engines: 64-byte blocks after a 512-byte header.
    std::vector<int> b;
    auto notes = notesFor(64, true);
    row("dBASE IV, 64-byte blocks, 512-byte header", fixture::memoIV(notes, 64, &b, 512), b, notes,
        true, 64);
    b.clear();
    notes = notesFor(1000, true);
    row("dBASE IV, 1000-byte blocks", fixture::memoIV(notes, 1000, &b), b, notes, true, 1000);
    b.clear();
    notes = notesFor(512, true);
    QByteArray unstated = fixture::memoIV(notes, 512, &b);
    fixture::putLe(unstated, 20, 0, 2);
    row("dBASE IV, block size not stated", unstated, b, notes, true, 512);

    notes = notesFor(512, false);
    b.clear();
    row("dBASE III, 1A 1A", fixture::memoIII(notes, "\x1A\x1A", &b), b, notes, false, 512);
    b.clear();
    row("dBASE III, single 1A", fixture::memoIII(notes, "\x1A", &b), b, notes, false, 512);
    b.clear();
    QByteArray bytes = fixture::memoIII(notes, "\x1A", &b);
    // the last note ends the file right after its 1A
    bytes.chop(512 - int((notes.back().size() + 1) % 512));
    row("dBASE III, unpadded end", bytes, b, notes, false, 512);
    b.clear();
    bytes = fixture::memoIII(notes, "\x1A\x1A", &b);
    fixture::putLe(bytes, 20, 64, 2); // garbage where dBASE IV keeps the block size
    row("dBASE III, garbage at byte 20", bytes, b, notes, false, 512);
}

void tst_MemoFile::flavoursAndBlockSizes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<int>, blocks);
    QFETCH(QStringList, notes);
    QTemporaryDir dir;
    const QString path = dir.filePath("T.DBT");
    QVERIFY(fixture::write(path, bytes));
    const auto memo = openMemo(path);
    QVERIFY(memo);
    QTEST(memo->isDbaseIV(), "dbaseIV");
    QTEST(memo->blockSize(), "blockSize");
    for (int i = 0; i < notes.size(); ++i) {
        std::string text;
        QCOMPARE(memo->read(std::uint32_t(blocks[i]), text), status::Ok);
        QCOMPARE(QString::fromStdString(text), notes[i]);
    }
}

// References that lead nowhere, or to something that is not a note, are damage:
// an error that says which block and what is wrong, and no text. Block 0 and a note
// of length 0 are no note.
void tst_MemoFile::damagedNotesAreReported_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<dbase::MemoFile::Kind>("kind");
    QTest::addColumn<int>("block");
    QTest::addColumn<dbase::Status>("expected");
    QTest::addColumn<QString>("problem");

    const auto dbase = MemoFile::Kind::Dbase;
    std::vector<int> b;
    const QByteArray iv = fixture::memoIV({"Keller", "Dachboden"}, 512, &b);
    QTest::newRow("past the end") << iv << dbase << 99 << status::MemoDamaged
                                  << "Block 99 liegt hinter dem Ende";
    QTest::newRow("far past the end") << iv << dbase << 0x7FFFFFFF << status::MemoDamaged
                                      << "Block 2147483647 liegt hinter dem Ende";
    QTest::newRow("the header block") << iv << dbase << 0 << status::Ok << "";
    QByteArray wrong = iv;
    wrong[b[1] * 512] = 'X';
    QTest::newRow("wrong signature in a dBASE IV file")
        << wrong << dbase << b[1] << status::MemoDamaged << "Kennung FF FF 08 00 fehlt";
    QByteArray zero = iv;
    fixture::putLe(zero, b[0] * 512 + 4, 8, 4);
    QTest::newRow("note of length 0") << zero << dbase << b[0] << status::Ok << "";
    QByteArray tiny = iv;
    fixture::putLe(tiny, b[0] * 512 + 4, 3, 4);
    QTest::newRow("length below the block head")
        << tiny << dbase << b[0] << status::MemoDamaged << "unmögliche Länge 3";
    QTest::newRow("block head cut by the file end")
        << iv.left(b[1] * 512 + 4) << dbase << b[1] << status::MemoDamaged << "Block 2";
    QTest::newRow("note cut by the file end")
        << iv.left(b[1] * 512 + 12) << dbase << b[1] << status::MemoDamaged
        << "reicht mit 9 Bytes über das Ende";
    QByteArray huge = iv;
    fixture::putLe(huge, b[0] * 512 + 4, 0xFFFFFFFFu, 4);
    QTest::newRow("length of 4 GB")
        << huge << dbase << b[0] << status::MemoDamaged << "reicht mit 4294967287 Bytes";
    QTest::newRow("dBASE III, past the end")
        << fixture::memoIII({"Keller"}, "\x1A\x1A") << dbase << 5 << status::MemoDamaged
        << "Block 5 liegt hinter dem Ende";

    const auto fox = MemoFile::Kind::FoxPro;
    QByteArray fpt(512, '\0');
    fpt[7] = char(64); // block size 64, big-endian at 6
    fpt += QByteArray("\x00\x00\x00\x09\x00\x00\x00\x03"
                      "abc",
                      11);
    fpt.resize(512 + 64, '\0');
    fpt += QByteArray("\x00\x00\x00\x01\x00\x00\x01\x00"
                      "abc",
                      11);
    QTest::newRow("FoxPro, not a note type")
        << fpt << fox << 8 << status::MemoDamaged << "Block 8 ist nicht der Anfang";
    QTest::newRow("FoxPro, note cut by the file end")
        << fpt << fox << 9 << status::MemoDamaged << "reicht mit 256 Bytes";
    QTest::newRow("FoxPro, past the end")
        << fpt << fox << 12 << status::MemoDamaged << "Block 12 liegt hinter dem Ende";
}

void tst_MemoFile::damagedNotesAreReported()
{
    QFETCH(QByteArray, bytes);
    QFETCH(dbase::MemoFile::Kind, kind);
    QFETCH(int, block);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    const QString path = dir.filePath("T.DBT");
    QVERIFY(fixture::write(path, bytes));
    const auto memo = openMemo(path, kind);
    QVERIFY(memo);
    std::string text = "stale";
    std::string why;
    QTEST(memo->read(std::uint32_t(block), text, &why), "expected");
    QCOMPARE(text, std::string());
    QVERIFY2(QString::fromStdString(why).contains(problem), why.c_str());
}

void tst_MemoFile::fileShrinksWhileOpen()
{
    std::vector<int> b;
    const QByteArray bytes = fixture::memoIV({"Keller", std::string(1500, 'x')}, 512, &b);
    QTemporaryDir dir;
    const QString path = dir.filePath("T.DBT");
    QVERIFY(fixture::write(path, bytes));
    const auto memo = openMemo(path);
    QVERIFY(memo);
    QVERIFY(QFile::resize(path, b[1] * 512 + 100));
    std::string text;
    QCOMPARE(memo->read(std::uint32_t(b[0]), text), status::Ok);
    QCOMPARE(text, std::string("Keller"));
    // The second note was cut by the shrinking: an error, not a shortened text.
    QCOMPARE(memo->read(std::uint32_t(b[1]), text), status::FileChanged);
    QCOMPARE(text, std::string());
    QVERIFY(QFile::resize(path, 0));
    QCOMPARE(memo->read(std::uint32_t(b[0]), text), status::FileChanged);
    QCOMPARE(text, std::string());
}

void tst_MemoFile::readAheadGivesTheNotesAsStored_data()
{
    QTest::addColumn<bool>("dbaseIV");
    QTest::newRow("dBASE IV") << true;
    QTest::newRow("dBASE III") << false;
}

// Read ahead, the notes come from pieces of the file: short ones by the hundred,
// ones that cross a piece's end, one longer than the first piece and one longer
// than the largest, which is read on its own; then a step back to an earlier note.
void tst_MemoFile::readAheadGivesTheNotesAsStored()
{
    QFETCH(bool, dbaseIV);
    std::vector<std::string> notes;
    for (int i = 0; i < 400; ++i)
        notes.push_back("Note " + std::to_string(i) + std::string(std::size_t(i % 7 * 90), 'n'));
    notes.push_back(std::string(100000, 'L') + " Ende");
    for (int i = 0; i < 300; ++i)
        notes.push_back(std::string(std::size_t(300 + i), char('a' + i % 26)));
    notes.push_back(std::string(std::size_t(5) << 20, 'G') + " Ende");
    notes.push_back("Schluss");
    std::vector<int> blocks;
    const QByteArray bytes = dbaseIV ? fixture::memoIV(notes, 512, &blocks)
                                     : fixture::memoIII(notes, "\x1A\x1A", &blocks);
    QTemporaryDir dir;
    const QString path = dir.filePath("T.DBT");
    QVERIFY(fixture::write(path, bytes));
    const auto memo = openMemo(path);
    QVERIFY(memo);
    memo->setReadAhead(true);
    std::string text;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        QCOMPARE(memo->read(std::uint32_t(blocks[i]), text), status::Ok);
        QVERIFY2(text == notes[i], std::to_string(i).c_str());
    }
    QCOMPARE(memo->read(std::uint32_t(blocks[3]), text), status::Ok);
    QCOMPARE(text, notes[3]);
}

// FoxPro: big-endian header and block heads, length without the head.
void tst_MemoFile::foxPro()
{
    QByteArray bytes(512, '\0');
    bytes[7] = char(64); // block size 64, big-endian at 6
    QByteArray note("\x00\x00\x00\x01\x00\x00\x00\x05Hallo", 13);
    bytes += note;
    QTemporaryDir dir;
    const QString path = dir.filePath("T.FPT");
    QVERIFY(fixture::write(path, bytes));
    const auto memo = openMemo(path, MemoFile::Kind::FoxPro);
    QVERIFY(memo);
    QCOMPARE(memo->blockSize(), 64);
    std::string text;
    QCOMPARE(memo->read(8, text), status::Ok);
    QCOMPARE(text, std::string("Hallo"));
}

void tst_MemoFile::blockOf_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<bool>("binary");
    QTest::addColumn<uint>("block");
    QTest::newRow("right-aligned") << QByteArray("        12") << false << 12u;
    QTest::newRow("leading zeros") << QByteArray("0000000012") << false << 12u;
    QTest::newRow("blank") << QByteArray("          ") << false << 0u;
    QTest::newRow("NULs") << QByteArray(10, '\0') << false << 0u;
    QTest::newRow("zero") << QByteArray("         0") << false << 0u;
    QTest::newRow("garbage") << QByteArray("    12abc ") << false << 0u;
    QTest::newRow("beyond 32 bits") << QByteArray("9999999999") << false << 0u;
    QTest::newRow("binary") << QByteArray("\x07\x01\x00\x00", 4) << true << 263u;
}

void tst_MemoFile::blockOf()
{
    QFETCH(QByteArray, field);
    QFETCH(bool, binary);
    QTEST(uint(MemoFile::blockOf(std::string_view(field.constData(), std::size_t(field.size())),
                                 binary)),
          "block");
}

void tst_MemoFile::tooShortHeader()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("T.DBT");
    QVERIFY(fixture::write(path, QByteArray(10, '\0')));
    std::unique_ptr<MemoFile> memo;
    std::string problem;
    QCOMPARE(MemoFile::open(path.toStdString(), MemoFile::Kind::Dbase, memo, problem),
             status::MemoDamaged);
    QVERIFY(!memo);
}

QTEST_APPLESS_MAIN(tst_MemoFile)
#include "tst_MemoFile.moc"
