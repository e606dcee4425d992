// The note box: its text follows the cursor's current record (shown or hidden), line
// breaks of every kind become lines, a note too long to lay out is cut with a mark,
// and the line count that decides its scroll bar.
#include "DataSource.h"
#include "DatabaseErrors.h"
#include "FakeEngine.h"
#include "NoteBox.h"
#include "TableCursor.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include <memory>

namespace {

// Stored notes of a small table, in name order (the records are stored reversed).
const char *const notes[] = {
    "Erste Zeile\nzweite Zeile", // lone LF
    "",                          // no note
    "Oben\runten",               // lone CR
    "Eins\r\nZwei\r\nDrei",      // CR LF
    "Leerzeile\r\rdanach\n",     // two lone CRs, ending with a break
};
const char *const names[] = {"aach", "berg", "dorf", "eben", "feld"};

class NoteTable
{
public:
    NoteTable()
    {
        using dbase::FieldType;
        engine.setFields({{"GEMEINDE", FieldType::Text, 30},
                          {"KLEINGEM", FieldType::Text, 30},
                          {"TEXT", FieldType::Memo, 10}});
        for (int i = 4; i >= 0; --i)
            engine.addRecord({names[i], names[i], notes[i]});
        engine.addFieldOrder("KLEINGEM", "KLEINGEM");
        table = std::make_unique<TableCursor>(engine);
        table->setTableName(QStringLiteral("CD_GIS.DBF"));
        table->setIndexFiles({QStringLiteral("CD_GIS.MDX")});
    }
    fake::FakeEngine engine;
    std::unique_ptr<TableCursor> table;
};

QStringList layoutLineCounts(NoteBox &box)
{
    QStringList counts;
    for (QTextBlock b = box.document()->begin(); b.isValid(); b = b.next()) {
        box.document()->documentLayout()->blockBoundingRect(b); // lays the block out
        counts << QString::number(b.layout()->lineCount());
    }
    return counts;
}

} // namespace

class tst_NoteBox : public QObject
{
    Q_OBJECT

private slots:
    void lineBreaks_data();
    void lineBreaks();
    void longNotesAreCut_data();
    void longNotesAreCut();
    void textFollowsCurrentRecord_data();
    void textFollowsCurrentRecord();
    void textFollowsWindowScrollsAndJumps();
    void closingTheTableEmptiesTheBox();
    void unreadableNoteLeavesNoStaleText();
    void bindsWhenTheSourceGetsItsCursorLater();
    void survivesEitherSideBeingDestroyedFirst();
    void lineCount_data();
    void lineCount();
    void lineCountMatchesTheShownLayout();
    void lineCountIgnoresScrollBarAndVisibility();
};

void tst_NoteBox::lineBreaks_data()
{
    QTest::addColumn<QString>("note");
    QTest::addColumn<QString>("shown");
    QTest::newRow("CR LF") << QStringLiteral("a\r\nb") << QStringLiteral("a\nb");
    QTest::newRow("lone CR") << QStringLiteral("a\rb") << QStringLiteral("a\nb");
    QTest::newRow("lone LF") << QStringLiteral("a\nb") << QStringLiteral("a\nb");
    QTest::newRow("LF CR is two breaks") << QStringLiteral("a\n\rb") << QStringLiteral("a\n\nb");
    QTest::newRow("CR CR LF") << QStringLiteral("a\r\r\nb") << QStringLiteral("a\n\nb");
    QTest::newRow("trailing CR") << QStringLiteral("a\r") << QStringLiteral("a\n");
}

void tst_NoteBox::lineBreaks()
{
    QFETCH(QString, note);
    QFETCH(QString, shown);
    QCOMPARE(NoteBox::withLineBreaks(note), shown);
}

void tst_NoteBox::longNotesAreCut_data()
{
    QTest::addColumn<QString>("note");
    QTest::addColumn<QString>("shown");
    constexpr qsizetype run = NoteBox::MaxShownRunLength;
    constexpr qsizetype all = NoteBox::MaxShownLength;
    const QString word(run, QLatin1Char('x'));
    QTest::newRow("a run at the limit") << word << word;
    QTest::newRow("a run one over")
        << word + QStringLiteral("y")
        << word + QStringLiteral("\n[… gekürzt: 1 weiteres Zeichen wird nicht angezeigt]");
    QTest::newRow("a run past the limit, lines after it")
        << QStringLiteral("Kurz\r\n") + word + QString(998, QLatin1Char('y')) +
               QStringLiteral("\r\nEnde")
        << QStringLiteral("Kurz\n") + word +
               QStringLiteral("\n[… gekürzt: weitere 1.004 Zeichen werden nicht angezeigt]");
    QTest::newRow("a surrogate pair stays whole")
        << word.first(run - 1) + QStringLiteral("\U0001F600")
        << word.first(run - 1) +
               QStringLiteral("\n[… gekürzt: weitere 2 Zeichen werden nicht angezeigt]");
    // Blanks and line breaks end a run; a no-break space does not.
    const QString twoRuns = word + QStringLiteral(" ") + word + QStringLiteral("\r") + word;
    QTest::newRow("runs between blanks") << twoRuns << NoteBox::withLineBreaks(twoRuns);
    QTest::newRow("a no-break space inside a run")
        << word.first(run / 2) + QChar(QChar::Nbsp) + word.first(run / 2)
        << word.first(run / 2) + QChar(QChar::Nbsp) + word.first(run / 2 - 1) +
               QStringLiteral("\n[… gekürzt: 1 weiteres Zeichen wird nicht angezeigt]");
    // Short lines up to the length limit, each CR LF two characters of it.
    static_assert(all % 8 == 0);
    const QString lines = QStringLiteral("Zeile1\r\n").repeated(all / 8);
    const QString shownLines = QStringLiteral("Zeile1\n").repeated(all / 8);
    QTest::newRow("short lines at the limit") << lines << shownLines;
    QTest::newRow("short lines past the limit")
        << lines + QString(1234567, QLatin1Char(' '))
        << shownLines +
               QStringLiteral("[… gekürzt: weitere 1.234.567 Zeichen werden nicht angezeigt]");
    QTest::newRow("a cut never parts CR and LF")
        << QStringLiteral("a") + lines
        << QStringLiteral("a") + shownLines.chopped(1) +
               QStringLiteral("\n[… gekürzt: weitere 2 Zeichen werden nicht angezeigt]");
}

// What the box shows of a note: the note itself up to a limit, then a mark on a line
// of its own with the number of characters left out, grouped by full stops. It is
// the same whether the box is given the whole note or only as much as it needs.
void tst_NoteBox::longNotesAreCut()
{
    QFETCH(QString, note);
    QFETCH(QString, shown);
    QCOMPARE(NoteBox::shownText(note, note.size()), shown);
    if (note.size() > NoteBox::MaxShownLength + 1)
        QCOMPARE(NoteBox::shownText(note.first(NoteBox::MaxShownLength + 1), note.size()), shown);
}

void tst_NoteBox::textFollowsCurrentRecord_data()
{
    QTest::addColumn<int>("place");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("shown");
    const QStringList first{"Erste Zeile", "zweite Zeile"};
    QTest::newRow("lone LF, hidden") << 0 << first << false;
    QTest::newRow("lone LF, shown") << 0 << first << true;
    QTest::newRow("no note") << 1 << QStringList{""} << false;
    QTest::newRow("lone CR") << 2 << QStringList{"Oben", "unten"} << false;
    QTest::newRow("CR LF") << 3 << QStringList{"Eins", "Zwei", "Drei"} << false;
    QTest::newRow("two CRs and a final LF")
        << 4 << QStringList{"Leerzeile", "", "danach", ""} << false;
}

void tst_NoteBox::textFollowsCurrentRecord()
{
    QFETCH(int, place);
    QFETCH(QStringList, lines);
    QFETCH(bool, shown);
    NoteTable t;
    t.table->setActive(true);
    DataSource source;
    source.setDataSet(t.table.get());
    NoteBox box;
    box.setDataSource(&source);
    box.setFieldName(QStringLiteral("TEXT"));
    if (shown)
        box.show();
    t.table->stepBy(place);
    QCOMPARE(t.table->displayText(t.table->currentIndex(), 1), QString::fromLatin1(names[place]));
    QCOMPARE(box.toPlainText(), lines.join(QLatin1Char('\n')));
    QCOMPARE(box.document()->blockCount(), lines.size());
    QCOMPARE(box.isVisible(), shown); // reloading never shows or hides the box
}

void tst_NoteBox::textFollowsWindowScrollsAndJumps()
{
    NoteTable t;
    t.table->setActive(true);
    DataSource source;
    source.setDataSet(t.table.get());
    NoteBox box;
    box.setFieldName(QStringLiteral("TEXT"));
    box.setDataSource(&source);
    QCOMPARE(t.table->windowCapacity(), 1); // the box alone asks for one row
    QCOMPARE(box.toPlainText(), QStringLiteral("Erste Zeile\nzweite Zeile"));
    t.table->goToLast();
    QCOMPARE(box.toPlainText(), QStringLiteral("Leerzeile\n\ndanach\n"));
    t.table->stepBack();
    QCOMPARE(box.toPlainText(), QStringLiteral("Eins\nZwei\nDrei"));
    t.table->stepBack();
    t.table->stepBack();
    QCOMPARE(box.toPlainText(), QString());
    t.table->goToFirst();
    QCOMPARE(box.toPlainText(), QStringLiteral("Erste Zeile\nzweite Zeile"));
}

void tst_NoteBox::closingTheTableEmptiesTheBox()
{
    NoteTable t;
    t.table->setActive(true);
    DataSource source;
    source.setDataSet(t.table.get());
    NoteBox box;
    box.setFieldName(QStringLiteral("TEXT"));
    box.setDataSource(&source);
    QVERIFY(!box.toPlainText().isEmpty());
    t.table->setActive(false);
    QCOMPARE(box.toPlainText(), QString());
    t.table->setActive(true);
    QCOMPARE(box.toPlainText(), QStringLiteral("Erste Zeile\nzweite Zeile"));
}

// A note that cannot be read raises the table's error to whoever moved the cursor,
// and the box never goes on showing the previous record's note.
void tst_NoteBox::unreadableNoteLeavesNoStaleText()
{
    NoteTable t;
    t.table->setActive(true);
    DataSource source;
    source.setDataSet(t.table.get());
    NoteBox box;
    box.setFieldName(QStringLiteral("TEXT"));
    box.setDataSource(&source);
    t.table->stepBy(2);
    QCOMPARE(box.toPlainText(), QStringLiteral("Oben\nunten"));
    t.engine.failCall("readMemo", 0x3303, 1, true);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.table->stepForward());
    QCOMPARE(box.toPlainText(), QString());
    t.engine.clearFailures();
    t.table->stepForward();
    QCOMPARE(box.toPlainText(), QStringLiteral("Leerzeile\n\ndanach\n"));
}

void tst_NoteBox::bindsWhenTheSourceGetsItsCursorLater()
{
    NoteTable t;
    DataSource source;
    NoteBox box;
    box.setDataSource(&source);
    box.setFieldName(QStringLiteral("TEXT"));
    QCOMPARE(box.toPlainText(), QString());
    source.setDataSet(t.table.get());
    t.table->setActive(true); // opening is announced with stateChanged
    QCOMPARE(box.toPlainText(), QStringLiteral("Erste Zeile\nzweite Zeile"));
    source.setDataSet(nullptr);
    QCOMPARE(box.toPlainText(), QString());
    t.table->stepForward();
    QCOMPARE(box.toPlainText(), QString()); // no longer bound
}

void tst_NoteBox::survivesEitherSideBeingDestroyedFirst()
{
    {
        NoteTable t;
        t.table->setActive(true);
        DataSource source;
        source.setDataSet(t.table.get());
        auto box = std::make_unique<NoteBox>();
        box->setDataSource(&source);
        box.reset(); // detaches itself from the cursor
        t.table->stepForward();
        t.table->goToLast();
        QCOMPARE(t.table->currentIndex(), t.table->windowCount() - 1);
    }
    {
        auto box = std::make_unique<NoteBox>();
        auto t = std::make_unique<NoteTable>();
        t->table->setActive(true);
        DataSource source;
        source.setDataSet(t->table.get());
        box->setFieldName(QStringLiteral("TEXT"));
        box->setDataSource(&source);
        t.reset();
        box->reloadText();
        QCOMPARE(box->toPlainText(), QString());
    }
}

void tst_NoteBox::lineCount_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("atMost");
    QTest::addColumn<int>("lines");
    QTest::newRow("empty") << QString() << 100 << 0;
    QTest::newRow("one word") << QStringLiteral("Wien") << 100 << 1;
    QTest::newRow("exactly five") << QStringLiteral("1\n2\n3\n4\n5") << 100 << 5;
    QTest::newRow("six") << QStringLiteral("1\n2\n3\n4\n5\n6") << 100 << 6;
    QTest::newRow("five and a final break") << QStringLiteral("1\n2\n3\n4\n5\n") << 100 << 5;
    QTest::newRow("empty lines inside count") << QStringLiteral("a\n\n\nb") << 100 << 4;
    QTest::newRow("only the last empty line is dropped") << QStringLiteral("a\n\n") << 100 << 2;
    QTest::newRow("seven lines, counted up to six")
        << QStringLiteral("1\n2\n3\n4\n5\n6\n7") << 6 << 6;
    QTest::newRow("a wrapped word, counted up to three")
        << QString(500, QLatin1Char('x')) << 3 << 3;
}

void tst_NoteBox::lineCount()
{
    QFETCH(QString, text);
    QFETCH(int, atMost);
    QFETCH(int, lines);
    NoteBox box;
    box.resize(161, 73);
    box.setPlainText(text);
    QCOMPARE(box.noteLineCount(atMost), lines);
}

// A wrapped paragraph and a word too long for a line are counted as the box lays
// them out when it shows them without a scroll bar.
void tst_NoteBox::lineCountMatchesTheShownLayout()
{
    NoteBox box;
    box.resize(161, 73);
    box.setPlainText(
        QStringLiteral("Die Messungen wurden in mehreren Ortsteilen durchgeführt und zeigen "
                       "deutliche Unterschiede zwischen Tal und Hang.\n"
                       "Radonkonzentrationsmessungsreihenzusammenfassungsbericht"));
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    const QStringList perBlock = layoutLineCounts(box);
    QCOMPARE(perBlock.size(), 2);
    QVERIFY2(perBlock.at(0).toInt() >= 3, qPrintable(perBlock.join(u',')));
    QVERIFY2(perBlock.at(1).toInt() >= 2,
             qPrintable(perBlock.join(u','))); // broken inside the word
    QCOMPARE(box.noteLineCount(100), perBlock.at(0).toInt() + perBlock.at(1).toInt());
}

// The count is taken at the width without a scroll bar, whether the box is shown or
// hidden and whether it has a scroll bar at the moment.
void tst_NoteBox::lineCountIgnoresScrollBarAndVisibility()
{
    NoteBox box;
    box.resize(161, 73);
    QString text;
    for (int i = 0; i < 12; ++i)
        text += QStringLiteral("Wort%1 ").arg(i);
    box.setPlainText(text);
    const int hidden = box.noteLineCount(100);
    QVERIFY(hidden > 1);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QCOMPARE(box.noteLineCount(100), hidden);
    box.setVerticalScrollBarShown(true);
    QVERIFY(box.verticalScrollBar()->isVisible());
    QCOMPARE(box.noteLineCount(100), hidden);
    box.setVerticalScrollBarShown(false);
    box.hide();
    QCOMPARE(box.noteLineCount(100), hidden);
}

QTEST_MAIN(tst_NoteBox)
#include "tst_NoteBox.moc"
