#include "DbfFixture.h"
#include "MemoFile.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace dbase;

namespace {

const std::string kLong(1500, 'x'); // spans several 512-byte blocks
const std::string kBreaks = "Erste Zeile\r\nZweite Zeile";
const std::string kFull(504, 'f'); // fills a 512-byte block after its 8-byte head exactly

std::unique_ptr<MemoFile> openMemo(const QString &path, MemoFile::Kind kind = MemoFile::Kind::Dbase)
{
    std::unique_ptr<MemoFile> memo;
    std::string problem;
    if (MemoFile::open(path.toStdString(), kind, memo, problem) != status::Ok)
        return nullptr;
    return memo;
}

} // namespace

class tst_MemoFile : public QObject
{
    Q_OBJECT

private slots:
    void flavours_data();
    void flavours();
    void damagedReferencesGiveEmptyNotes_data();
    void damagedReferencesGiveEmptyNotes();
    void hugeLengthIsBounded();
    void fileShrinksWhileOpen();
    void foxPro();
    void blockOf_data();
    void blockOf();
    void tooShortHeader();
};

// The same notes, written in each flavour, read back identically.
void tst_MemoFile::flavours_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<int>>("blocks");
    QTest::addColumn<bool>("dbaseIV");
    QTest::addColumn<int>("blockSize");

    const std::vector<std::string> notes = {"Keller", kLong, kFull, kBreaks};
    auto row = [&](const char *name, const QByteArray &bytes, const std::vector<int> &blocks,
                   bool iv, int size) {
        QTest::newRow(name) << bytes << QList<int>(blocks.begin(), blocks.end()) << iv << size;
    };
    std::vector<int> b;
    QByteArray bytes = fixture::memoIII(notes, "\x1A\x1A", &b);
    row("dBASE III, 1A 1A", bytes, b, false, 512);
    b.clear();
    bytes = fixture::memoIII(notes, "\x1A", &b);
    row("dBASE III, single 1A", bytes, b, false, 512);
    b.clear();
    bytes = fixture::memoIII(notes, "\x1A", &b);
    bytes.chop(512 - (int(kBreaks.size()) + 1)); // the last note ends the file right after its 1A
    row("dBASE III, unpadded end", bytes, b, false, 512);
    b.clear();
    bytes = fixture::memoIV(notes, 512, &b);
    row("dBASE IV, 512-byte blocks", bytes, b, true, 512);
    b.clear();
    bytes = fixture::memoIV(notes, 1024, &b);
    row("dBASE IV, 1024-byte blocks", bytes, b, true, 1024);
}

void tst_MemoFile::flavours()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<int>, blocks);
    QTemporaryDir dir;
    const QString path = dir.filePath("T.DBT");
    QVERIFY(fixture::write(path, bytes));
    const auto memo = openMemo(path);
    QVERIFY(memo);
    QTEST(memo->isDbaseIV(), "dbaseIV");
    QTEST(memo->blockSize(), "blockSize");
    const std::vector<std::string> expected = {"Keller", kLong, kFull, kBreaks};
    for (int i = 0; i < 4; ++i) {
        std::string text;
        QCOMPARE(memo->read(std::uint32_t(blocks[i]), text), status::Ok);
        QCOMPARE(text, expected[std::size_t(i)]);
    }
}

// References that lead nowhere give an empty note and an Ok status: a damaged
// memo file must not make the table unreadable.
void tst_MemoFile::damagedReferencesGiveEmptyNotes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("block");

    std::vector<int> b;
    const QByteArray iv = fixture::memoIV({"Keller", "Dachboden"}, 512, &b);
    QTest::newRow("past the end") << iv << 99;
    QTest::newRow("far past the end") << iv << 0x7FFFFFFF;
    QTest::newRow("the header block") << iv << 0;
    QByteArray wrong = iv;
    wrong[b[1] * 512] = 'X'; // not FF FF 08 00
    QTest::newRow("wrong signature in a dBASE IV file") << wrong << b[1];
    QByteArray zero = iv;
    fixture::putLe(zero, b[0] * 512 + 4, 8, 4);
    QTest::newRow("zero-length note") << zero << b[0];
    QByteArray cut = iv.left(b[1] * 512 + 4);
    QTest::newRow("block header cut by the file end") << cut << b[1];
}

void tst_MemoFile::damagedReferencesGiveEmptyNotes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, block);
    QTemporaryDir dir;
    const QString path = dir.filePath("T.DBT");
    QVERIFY(fixture::write(path, bytes));
    const auto memo = openMemo(path);
    QVERIFY(memo);
    std::string text = "stale";
    QCOMPARE(memo->read(std::uint32_t(block), text), status::Ok);
    QCOMPARE(text, std::string());
}

// A length field of nearly 4 GB reads only what the file holds.
void tst_MemoFile::hugeLengthIsBounded()
{
    std::vector<int> b;
    QByteArray bytes = fixture::memoIV({"Keller"}, 512, &b);
    fixture::putLe(bytes, b[0] * 512 + 4, 0xFFFFFFFFu, 4);
    QTemporaryDir dir;
    const QString path = dir.filePath("T.DBT");
    QVERIFY(fixture::write(path, bytes));
    const auto memo = openMemo(path);
    QVERIFY(memo);
    std::string text;
    QCOMPARE(memo->read(std::uint32_t(b[0]), text), status::Ok);
    QCOMPARE(text, std::string("Keller")); // the rest of the block is NUL padding
}

void tst_MemoFile::fileShrinksWhileOpen()
{
    std::vector<int> b;
    const QByteArray bytes = fixture::memoIV({"Keller", kLong}, 512, &b);
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

// FoxPro: big-endian header and block heads, length without the head.
void tst_MemoFile::foxPro()
{
    QByteArray bytes(512, '\0');
    bytes[7] = char(64); // block size 64, big-endian at 6
    QByteArray note("\x00\x00\x00\x01\x00\x00\x00\x05Hallo", 13);
    bytes += note;
    bytes.resize(512 + 64, '\0');
    bytes += QByteArray("\x00\x00\x00\x09\x00\x00\x00\x03"
                        "abc",
                        11); // not a note type
    QTemporaryDir dir;
    const QString path = dir.filePath("T.FPT");
    QVERIFY(fixture::write(path, bytes));
    const auto memo = openMemo(path, MemoFile::Kind::FoxPro);
    QVERIFY(memo);
    QCOMPARE(memo->blockSize(), 64);
    std::string text;
    QCOMPARE(memo->read(8, text), status::Ok);
    QCOMPARE(text, std::string("Hallo"));
    QCOMPARE(memo->read(9, text), status::Ok);
    QCOMPARE(text, std::string());
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
