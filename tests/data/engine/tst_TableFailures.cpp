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

// The memo file was cut before the table opened: its notes lie past its end. The
// cell shows that there is a note, and reading it raises the error naming the memo
// file and the block, instead of showing nothing or another note.
void tst_TableFailures::damagedNote()
{
    QVERIFY(QFile::resize(m_dir->filePath("CD_GIS.DBT"), 512));
    QVERIFY(m_engine->start() == dbase::status::Ok);
    auto t = table();
    t->setActive(true);
    const Field *note = t->fieldNamed(QStringLiteral("TEXT"));
    QCOMPARE(note->displayText(), QStringLiteral("(MEMO)"));
    try {
        note->memoText();
        QFAIL("the damaged note was read");
    } catch (const EDBEngineError &e) {
        QVERIFY2(e.message().contains(m_dir->filePath("CD_GIS.DBT")), qPrintable(e.message()));
        QVERIFY2(e.message().contains("Die Memodatei ist beschädigt."), qPrintable(e.message()));
        QVERIFY2(e.message().contains("hinter dem Ende"), qPrintable(e.message()));
    }
}

QTEST_GUILESS_MAIN(tst_TableFailures)
#include "tst_TableFailures.moc"
