// Table1 over the real dBASE engine: a municipality table written by the project's
// table writer into a temporary directory, opened, walked, re-ordered and searched.
#include "DatabaseErrors.h"
#include "DbaseEngine.h"
#include "DbfFile.h"
#include "DbfFixture.h"
#include "FakeView.h"
#include "MdxWriter.h"
#include "ProcessLocale.h"
#include "TableCursor.h"
#include "TableWriter.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

struct Town
{
    const char *name;
    const char *min;
    const char *klasse;
    const char *note;
};

// Stored in this order; the name order differs.
const Town kTowns[] = {
    {"Wien", "40", "2", "Bundeshauptstadt\nZeile zwei"},
    {"Mödling", "12", "-5", ""},
    {"Wiener Neustadt", "55", "", "Notiz\rmit CR"},
    {"Graz", "7", "1", ""},
    {"Amstetten", "", "3", ""},
    {"Linz", "90", "0", ""},
};
constexpr int kTownCount = int(sizeof(kTowns) / sizeof(kTowns[0]));

std::vector<std::string> rowOf(const Town &t, int i)
{
    QString lower = QString::fromUtf8(t.name).toLower();
    return {t.name,
            std::to_string(30000 + i),
            "Bezirk",
            "W",
            "48.2",
            "16.3",
            "50",
            t.min,
            "100",
            "60",
            "70",
            t.klasse,
            lower.toStdString(),
            t.note};
}

// T.DBF in directory, open in its natural order.
std::unique_ptr<TableCursor> openInNaturalOrder(dbase::Engine &engine, const QString &directory)
{
    auto t = std::make_unique<TableCursor>(engine);
    t->setTableName(QStringLiteral("T.DBF"));
    t->setDirectory(directory);
    t->setIndexName(QString());
    t->setActive(true);
    return t;
}

} // namespace

class tst_TableCursorOnDbase : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void walkInNameOrder();
    void switchKeepsRecordAndSearchFinds();
    void filteredAndUniqueTags();
    void displayTextsFromFile();
    void displayTextsOfEveryType();
    void displayTextsThroughWindows1252_data();
    void displayTextsThroughWindows1252();
    void missingTableIsEngineError();
    void namesWhateverTheLocale_data();
    void namesWhateverTheLocale();

private:
    std::unique_ptr<TableCursor> openTable(dbase::Engine &engine, fake::FakeView *view = nullptr,
                                           const QString &subdirectory = {});
    QTemporaryDir m_dir;
};

void tst_TableCursorOnDbase::initTestCase()
{
    QVERIFY(m_dir.isValid());
    TableWriter writer(QDir(m_dir.path()).filePath(QStringLiteral("CD_GIS.DBF")).toStdString(),
                       0x57);
    std::string error;
    QVERIFY2(writer.open(error), error.c_str());
    for (int i = 0; i < kTownCount; ++i)
        QVERIFY2(writer.append(rowOf(kTowns[i], i), error), error.c_str());
    QVERIFY2(writer.finish(true, error), error.c_str());
}

std::unique_ptr<TableCursor> tst_TableCursorOnDbase::openTable(dbase::Engine &engine,
                                                               fake::FakeView *view,
                                                               const QString &subdirectory)
{
    auto t = std::make_unique<TableCursor>(engine);
    t->setTableName(QStringLiteral("CD_GIS.DBF"));
    t->setDirectory(QDir(m_dir.path()).filePath(subdirectory));
    t->setIndexFiles({QStringLiteral("CD_GIS.MDX")});
    if (view)
        t->attachView(view);
    t->setActive(true);
    return t;
}

void tst_TableCursorOnDbase::walkInNameOrder()
{
    auto engine = dbase::createDbaseEngine();
    fake::FakeView view(4);
    auto t = openTable(*engine, &view);
    QCOMPARE(t->recordTotal(), kTownCount);
    QCOMPARE(t->windowCount(), 4);
    QStringList names;
    do {
        names << t->fieldNamed(QStringLiteral("GEMEINDE"))->displayText();
        t->stepForward();
    } while (!t->atEnd());
    QCOMPARE(names,
             (QStringList{"Amstetten", "Graz", "Linz", "Mödling", "Wien", "Wiener Neustadt"}));
    QCOMPARE(t->recordNumber(), 3); // Wiener Neustadt is the third stored record
    QCOMPARE(t->stepBy(-100), -(kTownCount - 1));
    QVERIFY(t->atStart());
    QCOMPARE(t->recordNumber(), 5);
}

void tst_TableCursorOnDbase::switchKeepsRecordAndSearchFinds()
{
    auto engine = dbase::createDbaseEngine();
    fake::FakeView view(3);
    auto t = openTable(*engine, &view);
    QCOMPARE(t->stepBy(2), 2); // Linz
    QCOMPARE(t->recordNumber(), 6);
    t->setIndexName(QStringLiteral("MIN"));
    QCOMPARE(t->recordNumber(), 6);
    QCOMPARE(t->currentIndex(), 2);
    QCOMPARE(t->stepBy(-1), -1); // the next smaller MIN: Wiener Neustadt (55)
    QCOMPARE(t->recordNumber(), 3);
    t->setIndexName(QStringLiteral("MAX"));
    QCOMPARE(t->recordNumber(), 3);

    t->setIndexName(QStringLiteral("Kleingem"));
    for (const auto &[text, found] :
         {std::pair{"wiene", "Wiener Neustadt"}, std::pair{"wien", "Wien"},
          std::pair{"zzz", "Wiener Neustadt"}, std::pair{"mö", "Mödling"},
          std::pair{"", "Amstetten"}}) {
        t->enterKeyMode();
        t->fieldNamed(QStringLiteral("KLEINGEM"))->setAsString(QString::fromUtf8(text));
        t->searchNearest();
        QCOMPARE(t->fieldNamed(QStringLiteral("GEMEINDE"))->displayText(),
                 QString::fromUtf8(found));
        QVERIFY(!t->atStart() && !t->atEnd());
    }
}

// The table again, with a production index of a FOR tag and a unique tag beside the
// name tag. Switching to one of them from a record it lacks puts the cursor on the
// order's first record; the count is the number of records a walk visits.
void tst_TableCursorOnDbase::filteredAndUniqueTags()
{
    const QDir dir(m_dir.path());
    QVERIFY(dir.mkpath("filtered"));
    for (const char *name : {"CD_GIS.DBF", "CD_GIS.DBT"})
        QVERIFY(QFile::copy(dir.filePath(name), dir.filePath(QStringLiteral("filtered/") + name)));
    std::unique_ptr<dbase::DbfFile> file;
    std::string error;
    QCOMPARE(dbase::DbfFile::open(dir.filePath("filtered/CD_GIS.DBF").toStdString(), file, error),
             dbase::status::Ok);
    MdxTagSpec high{"HOCH", "KLEINGEM", "VAL(MIN) >= 40"};
    MdxTagSpec once{"EINMAL", "BEZIRK"};
    once.unique = true;
    QVERIFY2(writeMdx(dir.filePath("filtered/CD_GIS.MDX").toStdString(), "CD_GIS", *file,
                      dbase::Collation(), {{"KLEINGEM", "KLEINGEM"}, high, once}, error),
             error.c_str());

    auto engine = dbase::createDbaseEngine();
    fake::FakeView view(2);
    auto t = openTable(*engine, &view, QStringLiteral("filtered"));
    QCOMPARE(t->recordNumber(), 5); // Amstetten: no MIN, not in HOCH
    t->setIndexName(QStringLiteral("HOCH"));
    QCOMPARE(t->recordNumber(), 6); // Linz, the order's first
    QCOMPARE(t->windowCount(), 2);
    const int total = t->recordTotal();
    QStringList names;
    for (int steps = 0; !t->atEnd() && steps < 10; ++steps) {
        names << t->fieldNamed(QStringLiteral("GEMEINDE"))->displayText();
        t->stepForward();
    }
    QCOMPARE(names, (QStringList{"Linz", "Wien", "Wiener Neustadt"}));
    QCOMPARE(total, int(names.size()));
    QCOMPARE(t->stepBy(-100), -2);
    QVERIFY(t->atStart());

    t->setIndexName(QStringLiteral("KLEINGEM")); // Linz is in every whole order
    QCOMPARE(t->recordNumber(), 6);
    QCOMPARE(t->recordTotal(), kTownCount);
    t->setIndexName(QStringLiteral("EINMAL")); // one district: its first record, Wien
    QCOMPARE(t->recordNumber(), 1);
    QCOMPARE(t->recordTotal(), 1);
    QCOMPARE(t->stepBy(1), 0);
    QVERIFY(t->atEnd());
}

void tst_TableCursorOnDbase::displayTextsFromFile()
{
    auto engine = dbase::createDbaseEngine();
    auto t = openTable(*engine);
    Field *klasse = t->fieldNamed(QStringLiteral("KLASSE"));
    Field *text = t->fieldNamed(QStringLiteral("TEXT"));
    QCOMPARE(t->fields().at(5)->fieldName(), QStringLiteral("LÄNGE"));
    QCOMPARE(klasse->kind(), Field::Kind::SmallInt);
    QCOMPARE(text->kind(), Field::Kind::Memo);
    QCOMPARE(t->fieldNamed(QStringLiteral("MIN"))->displayText(), QString()); // Amstetten
    QCOMPARE(klasse->displayText(), QStringLiteral("3"));
    QCOMPARE(text->displayText(), QStringLiteral("(Memo)"));
    t->stepBy(3); // Mödling
    QCOMPARE(klasse->displayText(), QStringLiteral("-5"));
    t->stepBy(1); // Wien
    QCOMPARE(text->displayText(), QStringLiteral("(MEMO)"));
    QCOMPARE(text->memoText(), QStringLiteral("Bundeshauptstadt\r\nZeile zwei"));
    t->stepBy(1); // Wiener Neustadt
    QCOMPARE(klasse->displayText(), QString());
    QCOMPARE(text->memoText(), QStringLiteral("Notiz\r\nmit CR"));
}

// A Visual FoxPro table with the binary column types, logicals, numbers that are no
// numbers and a type the engine does not know: each cell shows readable text.
void tst_TableCursorOnDbase::displayTextsOfEveryType()
{
    auto le = [](quint64 v, int bytes) {
        std::string b;
        for (int i = 0; i < bytes; ++i)
            b += char((v >> (8 * i)) & 0xFF);
        return b;
    };
    auto bits = [](double d) {
        quint64 v = 0;
        std::memcpy(&v, &d, sizeof v);
        return v;
    };
    const quint64 day = 2461383; // 2026-12-08 as a Julian day number
    const std::string first = "Wien  " + le(quint64(-5), 4) + le(bits(0.1), 8) + le(123400, 8) +
                              le(day, 4) + le(50700000, 4) + "Y" + " 12.50" + "  -5" + "abc\x03";
    const std::string second = "Graz  " + le(7, 4) + le(bits(1e20), 8) + le(quint64(-5), 8) +
                               std::string(8, '\0') + "?" + "******" + "****" + "    ";
    QTemporaryDir dir;
    QVERIFY(fixture::write(dir.filePath("T.DBF"), fixture::table({{"NAME", 'C', 6},
                                                                  {"MENGE", 'I', 4},
                                                                  {"WERT", 'B', 8},
                                                                  {"PREIS", 'Y', 8},
                                                                  {"ZEIT", 'T', 8},
                                                                  {"OK", 'L', 1},
                                                                  {"ZAHL", 'N', 6, 2},
                                                                  {"KLASSE", 'N', 4},
                                                                  {"ART", 'V', 4}},
                                                                 {first, second}, 0x30, 0x03)));
    auto engine = dbase::createDbaseEngine();
    const auto table = openInNaturalOrder(*engine, dir.path());
    TableCursor &t = *table;
    auto texts = [&t] {
        QStringList out;
        for (const Field *f : t.fields())
            out << f->displayText();
        return out;
    };
    QCOMPARE(texts(), (QStringList{"Wien", "-5", "0.1", "12.3400", "2026-12-08 14:05:00", "Y",
                                   "12.50", "-5", "(Typ V)"}));
    t.stepForward();
    QCOMPARE(texts(),
             (QStringList{"Graz", "7", "1e+20", "-0.0005", "", "?", "******", "****", ""}));
}

// The window shows texts in Windows-1252 whatever the table's code page: one '?' for
// each character that 1252 lacks, also for one of two bytes, and none for a byte that
// is no character.
void tst_TableCursorOnDbase::displayTextsThroughWindows1252_data()
{
    QTest::addColumn<int>("driver");
    QTest::addColumn<QByteArray>("cpg"); // beside the table, if any
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("936") << 0x4D << QByteArray() << QByteArray("\xB1\xB1\xBE\xA9 Nord")
                         << QString("?? Nord");
    QTest::newRow("UTF-8 that a .cpg names")
        << 0x00 << QByteArray("UTF-8") << QByteArray("\xC5\x81\xC3\xB3\x64\xC5\xBA")
        << QString("?ód?");
    QTest::newRow("865") << 0x66 << QByteArray() << QByteArray("Troms\x9B") << QString("Tromsø");
    QTest::newRow("1252, undefined byte")
        << 0x57 << QByteArray() << QByteArray("a\x81z") << QString("a?z");
}

void tst_TableCursorOnDbase::displayTextsThroughWindows1252()
{
    QFETCH(int, driver);
    QFETCH(QByteArray, cpg);
    QFETCH(QByteArray, stored);
    QTemporaryDir dir;
    QVERIFY(fixture::write(
        dir.filePath("T.DBF"),
        fixture::table({{"NAME", 'C', 12}}, {stored.toStdString()}, 0x03, quint8(driver))));
    if (!cpg.isEmpty())
        QVERIFY(fixture::write(dir.filePath("T.CPG"), cpg));
    auto engine = dbase::createDbaseEngine();
    const auto table = openInNaturalOrder(*engine, dir.path());
    TableCursor &t = *table;
    QTEST(t.fields().at(0)->displayText(), "shown");
}

void tst_TableCursorOnDbase::missingTableIsEngineError()
{
    auto engine = dbase::createDbaseEngine();
    TableCursor t(*engine);
    t.setTableName(QStringLiteral("FEHLT.DBF"));
    t.setDirectory(m_dir.path());
    try {
        t.setActive(true);
        QFAIL("no error");
    } catch (const EDBEngineError &e) {
        QVERIFY(!e.message().isEmpty());
        QVERIFY(!e.message().startsWith(QStringLiteral("Bei der Initialisierung")));
        QVERIFY(!e.message().startsWith(QStringLiteral("Table1")));
    }
    QVERIFY(!t.isActive());
}

void tst_TableCursorOnDbase::namesWhateverTheLocale_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::newRow("Turkish: the capital of i is not I") << QByteArray("tr_TR.UTF-8");
    QTest::newRow("German: the decimal sign is a comma") << QByteArray("de_DE.UTF-8");
}

// The viewer runs under the locale of its environment (QApplication sets it). The
// table's files in lower case, the name order asked for as "Kleingem", the fields as
// "kleingem" and "länge": all are found by the letter pairs of Windows-1252, and the
// VAL() order reads its numbers with a decimal point, whatever the locale says.
void tst_TableCursorOnDbase::namesWhateverTheLocale()
{
    QFETCH(QByteArray, locale);
    const QDir dir(m_dir.path());
    const QString sub = QStringLiteral("lower-") + QString::fromLatin1(locale);
    QVERIFY(dir.mkpath(sub));
    for (const char *name : {"CD_GIS.DBF", "CD_GIS.DBT", "CD_GIS.MDX"})
        QVERIFY(QFile::copy(dir.filePath(name),
                            dir.filePath(sub + '/' + QString::fromLatin1(name).toLower())));
    const fake::ProcessLocale process(locale);
    if (!process.isSet())
        QSKIP(qPrintable(process.problem()));

    auto engine = dbase::createDbaseEngine();
    fake::FakeView view(3);
    auto t = openTable(*engine, &view, sub);
    t->setIndexName(QStringLiteral("Kleingem"));
    t->enterKeyMode();
    t->fieldNamed(QStringLiteral("kleingem"))->setAsString(QStringLiteral("wiene"));
    t->searchNearest();
    QCOMPARE(t->fieldNamed(QStringLiteral("gemeinde"))->displayText(),
             QStringLiteral("Wiener Neustadt"));
    QCOMPARE(t->fieldNamed(QStringLiteral("länge"))->fieldName(), QStringLiteral("LÄNGE"));
    // Unicode folds the long s to s; Windows-1252 has no such letter.
    QVERIFY(!t->findField(QStringLiteral("KLAſſE")));
    t->setIndexName(QStringLiteral("min"));
    QStringList mins;
    for (t->stepBy(-100); !t->atEnd(); t->stepForward())
        mins << t->fieldNamed(QStringLiteral("Min"))->displayText();
    QCOMPARE(mins, (QStringList{"", "7", "12", "40", "55", "90"}));
}

QTEST_GUILESS_MAIN(tst_TableCursorOnDbase)
#include "tst_TableCursorOnDbase.moc"
