// Fields of Table1: lookup by name, display texts, memo texts, widths and alignment.
#include "DatabaseErrors.h"
#include "FakeMunicipalities.h"
#include "TableCursor.h"

#include <QTest>

using fake::FakeEngine;
using fake::FakeMunicipalities;

namespace {

// A table in natural order with a name, a small integer and a memo per record.
struct SmallTable
{
    explicit SmallTable(const std::vector<std::vector<std::string>> &rows) : table(engine)
    {
        engine.setFields({{"NAME", dbase::FieldType::Text, 10},
                          {"KLASSE", dbase::FieldType::SmallInt, 6},
                          {"TEXT", dbase::FieldType::Memo, 10}});
        for (const auto &row : rows)
            engine.addRecord(row);
        table.setTableName(QStringLiteral("T.DBF"));
        table.setIndexName(QString());
        table.setActive(true);
    }
    FakeEngine engine;
    TableCursor table;
};

} // namespace

class tst_Field : public QObject
{
    Q_OBJECT

private slots:
    void fieldNamed_data();
    void fieldNamed();
    void displayTexts_data();
    void displayTexts();
    void memoLineBreaks_data();
    void memoLineBreaks();
    void memoStartInEveryCodePage_data();
    void memoStartInEveryCodePage();
    void widthsAndAlignment_data();
    void widthsAndAlignment();
    void windowCellsMatchCurrentRecord();
};

void tst_Field::fieldNamed_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("ordinal"); // -1: not found
    QTest::newRow("as stored") << QStringLiteral("KLEINGEM") << 12;
    QTest::newRow("mixed case") << QStringLiteral("Kleingem") << 12;
    QTest::newRow("lower case umlaut") << QStringLiteral("länge") << 5;
    QTest::newRow("beginning only") << QStringLiteral("KLEIN") << -1;
    QTest::newRow("trailing blank") << QStringLiteral("BL ") << -1;
    QTest::newRow("empty") << QString() << -1;
}

void tst_Field::fieldNamed()
{
    QFETCH(QString, name);
    QFETCH(int, ordinal);
    FakeMunicipalities m(3);
    QCOMPARE(m.table->findField(name) ? m.table->findField(name)->ordinal() : -1, ordinal);
    try {
        QCOMPARE(m.table->fieldNamed(name)->ordinal(), ordinal);
        QVERIFY(ordinal >= 0);
    } catch (const EDatabaseError &e) {
        QCOMPARE(ordinal, -1);
        QCOMPARE(e.message(),
                 QStringLiteral("Table1: Das Feld '%1' wurde nicht gefunden").arg(name));
    }
}

void tst_Field::displayTexts_data()
{
    QTest::addColumn<QString>("klasse");
    QTest::addColumn<QString>("memo");
    QTest::addColumn<QString>("klasseText");
    QTest::addColumn<QString>("memoText");
    QTest::newRow("negative") << "-5"
                              << "Hinweis"
                              << "-5"
                              << "(MEMO)";
    QTest::newRow("blank") << ""
                           << ""
                           << ""
                           << "(Memo)";
    QTest::newRow("zero") << "0"
                          << ""
                          << "0"
                          << "(Memo)";
    QTest::newRow("largest") << "32767"
                             << "x"
                             << "32767"
                             << "(MEMO)";
    QTest::newRow("smallest") << "-32768"
                              << "x"
                              << "-32768"
                              << "(MEMO)";
}

void tst_Field::displayTexts()
{
    QFETCH(QString, klasse);
    QFETCH(QString, memo);
    QFETCH(QString, klasseText);
    QFETCH(QString, memoText);
    SmallTable s({{"Graz", klasse.toStdString(), memo.toStdString()}});
    Field *k = s.table.fieldNamed(QStringLiteral("KLASSE"));
    Field *t = s.table.fieldNamed(QStringLiteral("TEXT"));
    QCOMPARE(k->displayText(), klasseText);
    QCOMPARE(k->isNull(), klasse.isEmpty());
    QCOMPARE(t->displayText(), memoText);
    QCOMPARE(t->isNull(), memo.isEmpty());
    QCOMPARE(s.table.fieldNamed(QStringLiteral("NAME"))->displayText(), QStringLiteral("Graz"));
}

void tst_Field::memoLineBreaks_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("lone LF") << QByteArray("a\nb") << QStringLiteral("a\r\nb");
    QTest::newRow("lone CR") << QByteArray("a\rb") << QStringLiteral("a\r\nb");
    QTest::newRow("CR LF kept") << QByteArray("a\r\nb") << QStringLiteral("a\r\nb");
    QTest::newRow("LF CR") << QByteArray("a\n\rb") << QStringLiteral("a\r\n\r\nb");
    QTest::newRow("breaks at the ends") << QByteArray("\nx\r") << QStringLiteral("\r\nx\r\n");
    QTest::newRow("two LF") << QByteArray("x\n\ny") << QStringLiteral("x\r\n\r\ny");
    QTest::newRow("umlaut") << QByteArray("Gr\xfcn") << QStringLiteral("Grün");
    QTest::newRow("CR LF and lone breaks mixed")
        << QByteArray("\r\n\r\r\n\n\ra") << QStringLiteral("\r\n\r\n\r\n\r\n\r\na");
    QTest::newRow("no note") << QByteArray() << QString();
}

void tst_Field::memoLineBreaks()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, shown);
    SmallTable s({{"Graz", "1", stored.toStdString()}});
    const Field *text = s.table.fieldNamed(QStringLiteral("TEXT"));
    QCOMPARE(text->memoText(), shown);
    QCOMPARE(text->asString(), shown);
    // Every start of it, converted on its own, and the length of the whole.
    for (qsizetype n = 0; n <= shown.size() + 1; ++n) {
        qsizetype length = -1;
        QCOMPARE(text->memoTextStart(n, length), shown.first(std::min(n, shown.size())));
        QCOMPARE(length, shown.size());
    }
}

void tst_Field::memoStartInEveryCodePage_data()
{
    QTest::addColumn<int>("codePage");
    QTest::newRow("1252") << 1252;
    QTest::newRow("437") << 437;
    QTest::newRow("850") << 850;
    QTest::newRow("UTF-8") << 65001;
}

// Whatever the code page makes of the stored bytes, the start of a note and its length
// agree with the whole note.
void tst_Field::memoStartInEveryCodePage()
{
    QFETCH(int, codePage);
    FakeEngine engine;
    engine.setCodePage(codePage);
    engine.setFields({{"TEXT", dbase::FieldType::Memo, 10}});
    engine.addRecord({"Gr\x81n \xc3\xbc\xe2\x82\xac\r\n\x84\rx\n\xff"});
    TableCursor table(engine);
    table.setTableName(QStringLiteral("T.DBF"));
    table.setIndexName(QString());
    table.setActive(true);
    const Field *text = table.fieldNamed(QStringLiteral("TEXT"));
    const QString whole = text->memoText();
    for (qsizetype n = 0; n <= whole.size() + 1; ++n) {
        qsizetype length = -1;
        QCOMPARE(text->memoTextStart(n, length), whole.first(std::min(n, whole.size())));
        QCOMPARE(length, whole.size());
    }
}

void tst_Field::widthsAndAlignment_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("displayWidth");
    QTest::addColumn<bool>("right");
    QTest::newRow("GEMEINDE") << "GEMEINDE" << 30 << false;
    QTest::newRow("BL") << "BL" << 2 << false;
    QTest::newRow("MIN") << "MIN" << 5 << false;
    QTest::newRow("KLASSE") << "KLASSE" << 10 << true;
    QTest::newRow("TEXT") << "TEXT" << 10 << false;
    QTest::newRow("BEZIRK") << "BEZIRK" << 15 << false;
}

void tst_Field::widthsAndAlignment()
{
    QFETCH(QString, name);
    QFETCH(int, displayWidth);
    QFETCH(bool, right);
    FakeMunicipalities m(3);
    Field *f = m.table->fieldNamed(name);
    QCOMPARE(f->displayWidth(), displayWidth);
    QCOMPARE(bool(f->alignment() & Qt::AlignRight), right);
    QCOMPARE(bool(f->alignment() & Qt::AlignLeft), !right);
}

void tst_Field::windowCellsMatchCurrentRecord()
{
    FakeMunicipalities m(12);
    TableCursor &t = *m.table;
    for (int step = 0; step < 12; ++step) {
        for (Field *f : t.fields())
            QCOMPARE(t.displayText(t.currentIndex(), f->ordinal()), f->displayText());
        // Stored values come back as written (texts in cp1252, KLASSE as a number).
        const std::vector<std::string> &row = m.engine.row(t.recordNumber());
        QCOMPARE(t.fieldNamed(QStringLiteral("GEMEINDE"))->displayText(),
                 QString::fromLatin1(row[0]));
        QCOMPARE(t.fieldNamed(QStringLiteral("KLASSE"))->displayText(),
                 QString::fromStdString(row[11]));
        t.stepForward();
    }
    QVERIFY(t.atEnd());
    QCOMPARE(t.displayText(5, 0), QString()); // beyond the one-record window
    QCOMPARE(t.displayText(0, 14), QString());
}

QTEST_GUILESS_MAIN(tst_Field)
#include "tst_Field.moc"
