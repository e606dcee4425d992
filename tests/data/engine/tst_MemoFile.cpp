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
    void fileChangesWhileOpen_data();
    void fileChangesWhileOpen();
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
// an error that says which block and what is wrong, no text, and no "empty note"
// either. Block 0, a note of length 0 and one of padding only are empty notes. A
// length beyond the cap is damage even where the file holds that many bytes of other
// notes (fileSize: the file is extended to it, sparse, after the bytes).
void tst_MemoFile::damagedNotesAreReported_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<dbase::MemoFile::Kind>("kind");
    QTest::addColumn<int>("block");
    QTest::addColumn<dbase::Status>("expected");
    QTest::addColumn<QString>("problem");
    QTest::addColumn<qint64>("fileSize");
    const qint64 beyondCap = qint64(MemoFile::kMaxNoteLength) + (qint64(6) << 20);

    const auto dbase = MemoFile::Kind::Dbase;
    std::vector<int> b;
    const QByteArray iv = fixture::memoIV({"Keller", "Dachboden"}, 512, &b);
    QTest::newRow("past the end") << iv << dbase << 99 << status::MemoDamaged
                                  << "Block 99 liegt hinter dem Ende" << qint64(0);
    QTest::newRow("far past the end") << iv << dbase << 0x7FFFFFFF << status::MemoDamaged
                                      << "Block 2147483647 liegt hinter dem Ende" << qint64(0);
    QTest::newRow("the header block") << iv << dbase << 0 << status::Ok << "" << qint64(0);
    QByteArray wrong = iv;
    wrong[b[1] * 512] = 'X';
    QTest::newRow("wrong signature in a dBASE IV file")
        << wrong << dbase << b[1] << status::MemoDamaged << "Kennung FF FF 08 00 fehlt"
        << qint64(0);
    QByteArray zero = iv;
    fixture::putLe(zero, b[0] * 512 + 4, 8, 4);
    QTest::newRow("note of length 0") << zero << dbase << b[0] << status::Ok << "" << qint64(0);
    QByteArray tiny = iv;
    fixture::putLe(tiny, b[0] * 512 + 4, 3, 4);
    QTest::newRow("length below the block head")
        << tiny << dbase << b[0] << status::MemoDamaged << "unmögliche Länge 3" << qint64(0);
    QTest::newRow("block head cut by the file end")
        << iv.left(b[1] * 512 + 4) << dbase << b[1] << status::MemoDamaged << "Block 2"
        << qint64(0);
    QTest::newRow("note cut by the file end")
        << iv.left(b[1] * 512 + 12) << dbase << b[1] << status::MemoDamaged
        << "reicht mit 9 Bytes über das Ende" << qint64(0);
    QByteArray huge = iv;
    fixture::putLe(huge, b[0] * 512 + 4, 0xFFFFFFFFu, 4);
    QTest::newRow("length of 4 GB, other notes after it")
        << huge << dbase << b[0] << status::MemoDamaged << "gibt die Länge 4294967287 an"
        << beyondCap;
    QByteArray overCap = iv;
    fixture::putLe(overCap, b[0] * 512 + 4, MemoFile::kMaxNoteLength + 8 + 1, 4);
    QTest::newRow("one byte beyond the cap") << overCap << dbase << b[0] << status::MemoDamaged
                                             << "gibt die Länge 67108865 an" << beyondCap;
    std::vector<int> p;
    QTest::newRow("padding only") << fixture::memoIV({std::string(100, '\0') + "\x1A", "Keller"},
                                                     512, &p)
                                  << dbase << p[0] << status::Ok << "" << qint64(0);
    QTest::newRow("dBASE III, past the end")
        << fixture::memoIII({"Keller"}, "\x1A\x1A") << dbase << 5 << status::MemoDamaged
        << "Block 5 liegt hinter dem Ende" << qint64(0);
    QTest::newRow("dBASE III, no end mark within the cap")
        << fixture::memoIII({"Keller"}, "") << dbase << 1 << status::MemoDamaged
        << "auf den ersten 67108864 Bytes kein Endezeichen" << beyondCap;

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
        << fpt << fox << 8 << status::MemoDamaged << "Block 8 ist nicht der Anfang" << qint64(0);
    QTest::newRow("FoxPro, note cut by the file end")
        << fpt << fox << 9 << status::MemoDamaged << "reicht mit 256 Bytes" << qint64(0);
    QTest::newRow("FoxPro, past the end")
        << fpt << fox << 12 << status::MemoDamaged << "Block 12 liegt hinter dem Ende" << qint64(0);
    QByteArray foxOverCap = fpt;
    foxOverCap.replace(512 + 64 + 4, 4, QByteArray("\x04\x00\x00\x01", 4)); // cap + 1
    QTest::newRow("FoxPro, one byte beyond the cap")
        << foxOverCap << fox << 9 << status::MemoDamaged << "gibt die Länge 67108865 an"
        << beyondCap;
}

void tst_MemoFile::damagedNotesAreReported()
{
    QFETCH(QByteArray, bytes);
    QFETCH(dbase::MemoFile::Kind, kind);
    QFETCH(int, block);
    QFETCH(QString, problem);
    QFETCH(dbase::Status, expected);
    QFETCH(qint64, fileSize);
    QTemporaryDir dir;
    const QString path = dir.filePath("T.DBT");
    QVERIFY(fixture::write(path, bytes));
    if (fileSize > 0)
        QVERIFY(QFile::resize(path, fileSize));
    const auto memo = openMemo(path, kind);
    QVERIFY(memo);
    std::string text = "stale";
    std::string why;
    QCOMPARE(memo->read(std::uint32_t(block), text, &why), expected);
    QCOMPARE(text, std::string());
    QVERIFY2(QString::fromStdString(why).contains(problem), why.c_str());
    QCOMPARE(memo->isEmpty(std::uint32_t(block)), expected == status::Ok);
}

void tst_MemoFile::fileChangesWhileOpen_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("readAhead");
    QTest::newRow("cut behind the first note") << "cut" << false;
    QTest::newRow("first note edited in place, same size") << "edit" << false;
    QTest::newRow("first note edited in place, read ahead") << "edit" << true;
    QTest::newRow("appended to") << "append" << false;
}

// Another program writes to the memo file while it is open: every note read
// afterwards, also one still inside the file and one of unchanged size, is an
// error, never the changed text.
void tst_MemoFile::fileChangesWhileOpen()
{
    QFETCH(QString, change);
    QFETCH(bool, readAhead);
    std::vector<int> b;
    const QByteArray bytes = fixture::memoIV({"Keller", std::string(1500, 'x')}, 512, &b);
    QTemporaryDir dir;
    const QString path = dir.filePath("T.DBT");
    QVERIFY(fixture::write(path, bytes));
    const auto memo = openMemo(path);
    QVERIFY(memo);
    memo->setReadAhead(readAhead);
    QFile file(path);
    if (change == "cut")
        QVERIFY(file.resize(b[1] * 512 + 100));
    else if (change == "edit")
        QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(b[0] * 512 + 8) &&
                file.write("Garage") == 6);
    else
        QVERIFY(file.open(QIODevice::Append) && file.write(QByteArray(512, '\0')) == 512);
    file.close();
    std::string text;
    std::string why;
    for (const int block : b) {
        QCOMPARE(memo->read(std::uint32_t(block), text, &why), status::FileChanged);
        QCOMPARE(text, std::string());
        QCOMPARE(why, std::string("Die Memodatei wurde seit dem Öffnen der Tabelle geändert."));
        QVERIFY(!memo->isEmpty(std::uint32_t(block)));
    }
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

// A reference is blank (0), a block number, or damaged (-1): anything but one run of
// digits between blanks and NULs.
void tst_MemoFile::blockOf_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<bool>("binary");
    QTest::addColumn<qint64>("block");
    QTest::newRow("right-aligned") << QByteArray("        12") << false << qint64(12);
    QTest::newRow("leading zeros") << QByteArray("0000000012") << false << qint64(12);
    QTest::newRow("left-aligned, NUL-filled")
        << QByteArray("12\0\0\0\0\0\0\0\0", 10) << false << qint64(12);
    QTest::newRow("blank") << QByteArray("          ") << false << qint64(0);
    QTest::newRow("NULs") << QByteArray(10, '\0') << false << qint64(0);
    QTest::newRow("zero") << QByteArray("         0") << false << qint64(0);
    QTest::newRow("largest block") << QByteArray("4294967295") << false << qint64(4294967295);
    QTest::newRow("garbage") << QByteArray("    12abc ") << false << qint64(-1);
    QTest::newRow("two numbers") << QByteArray("   12  34 ") << false << qint64(-1);
    QTest::newRow("sign") << QByteArray("       -12") << false << qint64(-1);
    QTest::newRow("beyond 32 bits") << QByteArray("9999999999") << false << qint64(-1);
    QTest::newRow("binary") << QByteArray("\x07\x01\x00\x00", 4) << true << qint64(263);
}

void tst_MemoFile::blockOf()
{
    QFETCH(QByteArray, field);
    QFETCH(bool, binary);
    const auto block =
        MemoFile::blockOf(std::string_view(field.constData(), std::size_t(field.size())), binary);
    QTEST(block ? qint64(*block) : qint64(-1), "block");
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
