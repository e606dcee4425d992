// What Table1 raises for the failures a user meets: at open (the message that the
// start-up box shows after its first line) and when a note was cut off by another
// program while the table is open. Each is an EDBEngineError whose message names
// the file and says what is wrong.
#include "DatabaseErrors.h"
#include "DbaseEngine.h"
#include "Field.h"
#include "TableCursor.h"
#include "TableWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_TableFailures : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void openFailures_data();
    void openFailures();
    void noteCutWhileOpen();
    void damagedNote_data();
    void damagedNote();

private:
    std::unique_ptr<TableCursor> table();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<dbase::Engine> m_engine;
};

void tst_TableFailures::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    TableWriter writer(m_dir->filePath("CD_GIS.DBF").toStdString(), 0x57);
    std::string error;
    QVERIFY2(writer.open(error), error.c_str());
    for (const char *name : {"Wien", "Graz"})
        QVERIFY2(writer.append({name, "1", "B", "W", "1", "1", "1", "5", "9", "3", "4", "1", name,
                                std::string(700, 'n') + " Ende"},
                               error),
                 error.c_str());
    QVERIFY2(writer.finish(true, error), error.c_str());
    m_engine = dbase::createDbaseEngine();
}

std::unique_ptr<TableCursor> tst_TableFailures::table()
{
    auto t = std::make_unique<TableCursor>(*m_engine);
    t->setTableName(QStringLiteral("CD_GIS.DBF"));
    t->setDirectory(m_dir->path());
    t->setIndexFiles({QStringLiteral("CD_GIS.MDX")});
    return t;
}

void tst_TableFailures::openFailures_data()
{
    QTest::addColumn<QString>("remove");
    QTest::addColumn<QByteArray>("replaceTable");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no table") << "CD_GIS.DBF" << QByteArray() << "CD_GIS.DBF"
                              << "Datei nicht gefunden";
    QTest::newRow("no memo file") << "CD_GIS.DBT" << QByteArray() << "CD_GIS.DBT"
                                  << "Die Memodatei der Tabelle fehlt";
    QTest::newRow("no index file") << "CD_GIS.MDX" << QByteArray() << "CD_GIS.MDX"
                                   << "die Indexdatei fehlt";
    QTest::newRow("not a dBASE table")
        << "" << QByteArray("GEMEINDE,GEMNR,BEZIRK,BL\nWien,90001,Wien,W\n") << "CD_GIS.DBF"
        << "keine bekannte dBASE-Version";
    QTest::newRow("empty file") << "" << QByteArray("") << "CD_GIS.DBF"
                                << "kürzer als ein Tabellenkopf";
}

void tst_TableFailures::openFailures()
{
    QFETCH(QString, remove);
    QFETCH(QByteArray, replaceTable);
    QFETCH(QString, file);
    QFETCH(QString, reason);
    if (!remove.isEmpty())
        QVERIFY(QFile::remove(m_dir->filePath(remove)));
    if (!replaceTable.isNull()) {
        QFile f(m_dir->filePath("CD_GIS.DBF"));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(replaceTable), replaceTable.size());
    }
    QVERIFY(m_engine->start() == dbase::status::Ok);
    auto t = table();
    try {
        t->setActive(true);
        QFAIL("the table opened");
    } catch (const EDBEngineError &e) {
        QCOMPARE(QString(e.typeName()), QString("EDBEngineError"));
        QVERIFY2(e.message().contains(m_dir->filePath(file)), qPrintable(e.message()));
        QVERIFY2(e.message().contains(reason), qPrintable(e.message()));
    }
    QVERIFY(!t->isActive());
}

// The memo file is cut behind the open table: reading the note raises the error,
// naming the memo file; the records themselves stay readable.
void tst_TableFailures::noteCutWhileOpen()
{
    QVERIFY(m_engine->start() == dbase::status::Ok);
    auto t = table();
    t->setActive(true);
    QCOMPARE(t->fieldNamed(QStringLiteral("TEXT"))->memoText().size(), 705);
    QVERIFY(QFile::resize(m_dir->filePath("CD_GIS.DBT"), 512));
    try {
        t->fieldNamed(QStringLiteral("TEXT"))->memoText();
        QFAIL("the cut note was read");
    } catch (const EDBEngineError &e) {
        QVERIFY2(e.message().contains(m_dir->filePath("CD_GIS.DBT")), qPrintable(e.message()));
        QVERIFY2(e.message().contains("verändert"), qPrintable(e.message()));
    }
    QStringList names{t->fieldNamed(QStringLiteral("GEMEINDE"))->displayText()};
    t->stepForward();
    names << t->fieldNamed(QStringLiteral("GEMEINDE"))->displayText();
    names.sort();
    QCOMPARE(names, (QStringList{"Graz", "Wien"}));
}

// A note that cannot be what its record refers to: the cell shows that there is a
// note, and reading it raises the error naming the memo file and what is wrong,
// instead of showing nothing, part of the note or other notes. Rows: the memo file
// cut before the table opened; the first note's head stating 4 GiB in a file that
// holds more than the cap after it (extended sparse); references that are no block
// number.
void tst_TableFailures::damagedNote_data()
{
    QTest::addColumn<QByteArray>("reference"); // stored in the first record, if not empty
    QTest::addColumn<qint64>("lengthAt");      // where the 4 GiB length goes, if positive
    QTest::addColumn<qint64>("memoSize");      // the memo file's new size, if positive
    QTest::addColumn<QString>("reason");
    QTest::newRow("memo file cut") << QByteArray() << qint64(0) << qint64(512) << "hinter dem Ende";
    QTest::newRow("length of 4 GiB") << QByteArray() << qint64(512 + 4) << qint64(70) * 1000000
                                     << "Block 1 gibt die Länge 4294967287 an";
    QTest::newRow("reference with letters") << QByteArray("     12abc") << qint64(0) << qint64(0)
                                            << "Der Memoverweis '12abc' ist beschädigt.";
    QTest::newRow("reference beyond 32 bits") << QByteArray("9999999999") << qint64(0) << qint64(0)
                                              << "Der Memoverweis '9999999999' ist beschädigt.";
}

void tst_TableFailures::damagedNote()
{
    QFETCH(QByteArray, reference);
    QFETCH(qint64, lengthAt);
    QFETCH(qint64, memoSize);
    QFETCH(QString, reason);
    const QString memoPath = m_dir->filePath("CD_GIS.DBT");
    QFile memo(memoPath);
    QVERIFY(memo.open(QIODevice::ReadWrite));
    QVERIFY(lengthAt <= 0 || (memo.seek(lengthAt) && memo.write("\xFF\xFF\xFF\xFF", 4) == 4));
    QVERIFY(memoSize <= 0 || memo.resize(memoSize));
    memo.close();
    if (!reference.isEmpty()) {
        // TEXT is the last field of the record: its reference ends the first record.
        QFile table(m_dir->filePath("CD_GIS.DBF"));
        QVERIFY(table.open(QIODevice::ReadWrite));
        const QByteArray head = table.read(12);
        const int headerLength = quint8(head[8]) | quint8(head[9]) << 8;
        const int recordLength = quint8(head[10]) | quint8(head[11]) << 8;
        QVERIFY(table.seek(headerLength + recordLength - 10) && table.write(reference) == 10);
    }
    QVERIFY(m_engine->start() == dbase::status::Ok);
    auto t = table();
    t->setActive(true);
    // The damage is Wien's, the first record's.
    if (t->fieldNamed(QStringLiteral("GEMEINDE"))->displayText() != QStringLiteral("Wien"))
        t->stepForward();
    QCOMPARE(t->fieldNamed(QStringLiteral("GEMEINDE"))->displayText(), QStringLiteral("Wien"));
    const Field *note = t->fieldNamed(QStringLiteral("TEXT"));
    QCOMPARE(note->displayText(), QStringLiteral("(MEMO)"));
    try {
        note->memoText();
        QFAIL("the damaged note was read");
    } catch (const EDBEngineError &e) {
        const QStringList lines = e.message().split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QStringLiteral("Die Memodatei ist beschädigt."));
        QCOMPARE(lines[1], "Datei: " + memoPath);
        QVERIFY2(lines[2].contains(reason), qPrintable(lines[2]));
    }
}

QTEST_GUILESS_MAIN(tst_TableFailures)
#include "tst_TableFailures.moc"
