// Form1 over the fake engine: the loaded design, the start-up layout and the handlers.
#include "Form1.h"
#include "ui_Form1.h"

#include "DataGrid.h"
#include "DatabaseErrors.h"
#include "EInvalidOperation.h"
#include "ErrorBoundary.h"
#include "FakeEngine.h"
#include "FakeMunicipalities.h"
#include "Field.h"
#include "NoteBox.h"
#include "RecordScrollBar.h"
#include "Shape.h"
#include "TableCursor.h"

#include <QFontMetrics>
#include <QLocale>
#include <QMenu>
#include <QStyle>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <memory>

using fake::FakeEngine;

namespace {

const QColor Marked(0, 255, 0);

// A small table whose names and notes each test row chooses: name i gets note i.
void fillTable(FakeEngine &engine, const QStringList &names, const QStringList &notes)
{
    FakeEngine layout;
    fake::fillMunicipalities(layout, 0);
    engine.setFields(layout.fields());
    for (int i = 0; i < names.size(); ++i) {
        std::vector<std::string> row = fake::municipalityRow(i);
        row[0] = names[i].toLatin1().toStdString();
        row[12] = names[i].toLower().toLatin1().toStdString();
        row[13] = i < notes.size() ? notes[i].toLatin1().toStdString() : std::string();
        engine.addRecord(row);
    }
    for (const char *tag : {"KLEINGEM", "BL", "POTENTIAL", "MIN", "JAHRESMITT", "MAX", "BEZIRK"})
        engine.addFieldOrder(tag, tag);
}

struct Window
{
    FakeEngine engine;
    std::unique_ptr<Form1> form;
    bool deactivationInstalled = false;
    std::function<void()> deactivation;

    explicit Window(int records = 20, bool create = true)
    {
        fake::fillMunicipalities(engine, records);
        open(create);
    }
    Window(const QStringList &names, const QStringList &notes)
    {
        fillTable(engine, names, notes);
        open(true);
    }
    void open(bool create)
    {
        form = std::make_unique<Form1>(engine, [this](std::function<void()> handler) {
            deactivationInstalled = true;
            deactivation = std::move(handler);
        });
        if (create)
            form->FormCreate();
    }
    const Ui::Form1 &ui() const { return form->ui(); }
    TableCursor &table() const { return *form->table1(); }
    QString currentName() const
    {
        return table().fieldNamed(QStringLiteral("GEMEINDE"))->asString().trimmed();
    }
    // Place of the current record in the tag's order, as the fake engine keeps it.
    int placeIn(const std::string &tag) const
    {
        const std::vector<int> &records = engine.order(tag)->records;
        return int(std::find(records.begin(), records.end(), table().recordNumber()) -
                   records.begin());
    }
    int width(int column) const { return ui().DBGrid1->column(column).width(); }
};

// One scroll action as the record scroll bar runs it: the candidate position for the
// code, clamped into the range, handed to the handler, then made the position.
void scroll(Form1 &form, int code, int thumb = 0)
{
    RecordScrollBar *bar = form.ui().ScrollBar1;
    const int p = bar->position();
    const int candidates[] = {p - 1, p + 1,          p - 1,          p + 1, thumb,
                              thumb, bar->minimum(), bar->maximum(), p};
    int value = std::min(std::max(candidates[code], bar->minimum()), bar->maximum());
    form.ScrollBar1Scroll(code, value);
    bar->setPosition(value);
}

// A failing handler of the grid's resize events, as a view that raises while it lays
// itself out would be; its body runs through the error boundary like every handler.
class FailingResize : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Resize)
            ErrorBoundary::run([] { throw EInvalidOperation(QStringLiteral("Größe falsch")); });
        return false;
    }
};

// Solid pixels of a colour on one line of an image, between x0 and x1 (exclusive).
int pixelsOf(const QImage &image, const QColor &colour, int y, int x0, int x1)
{
    int n = 0;
    for (int x = std::max(x0, 0); x < std::min(x1, image.width()); ++x)
        n += image.pixelColor(x, y) == colour;
    return n;
}

} // namespace

class tst_Form1 : public QObject
{
    Q_OBJECT

private slots:
    void designAsLoaded();
    void designTexts_data();
    void designTexts();
    void startUpLayout();
    void startUpLayoutFailsOnNegativeCount();
    void startUpLayoutStopsAtFailingResize();
    void lastColumnFullyVisible();
    void titleClickSetsPlace_data();
    void titleClickSetsPlace();
    void scrollCodes_data();
    void scrollCodes();
    void scrollAtLastRecord();
    void noteBox_data();
    void noteBox();
    void cellClickMovesRowPosition();
    void search_data();
    void search();
    void otherKeysOnlyUpdateNoteBox();
    void gridClickHidesSearchPanel();
    void contextMenuKeepsSearchPanel();
    void destructionReadsNoNote();
    void deactivationCloses();
    void ordersPreparedAfterFirstPaint();
};

void tst_Form1::designAsLoaded()
{
    Window w(20, false);
    const Ui::Form1 &ui = w.ui();
    // No scaling at 96 pixels per inch: the window font's "0" is 13 high.
    QCOMPARE(QFontMetrics(w.form->font()).height(), 13);
    QCOMPARE(w.form->size(), QSize(637, 286));
    QCOMPARE(ui.DBGrid1->geometry(), QRect(0, 120, 537, 169));
    QCOMPARE(ui.Edit1->geometry(), QRect(8, 24, 185, 21));
    QCOMPARE(ui.Shape1->brushColor(), QColor(255, 128, 0));
    QCOMPARE(ui.Shape1->penWidth(), 1);
    QCOMPARE(ui.Shape8->penWidth(), 0);
    QCOMPARE(ui.BitBtn1->font().family(), QStringLiteral("Arial Black"));
    QCOMPARE(ui.BitBtn1->font().pixelSize(), 13);
    QVERIFY(ui.BitBtn1->font().bold());
    QCOMPARE(ui.BitBtn1->palette().color(QPalette::ButtonText), QColor(255, 0, 0));
    QCOMPARE(ui.BitBtn1->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(ui.DBMemo1->palette().color(QPalette::Text), QColor(0, 0, 255));
    QVERIFY(!ui.DBMemo1->isVisibleTo(w.form.get()));
    QVERIFY(ui.Panel1->isVisibleTo(w.form.get()));
    QCOMPARE(ui.ScrollBar1->focusPolicy(), Qt::NoFocus);
    // Creation order is stacking order: shapes at the bottom, the panel on top.
    const QObjectList children = w.form->children();
    QVERIFY(children.indexOf(ui.Shape10) < children.indexOf(ui.DBGrid1));
    QVERIFY(children.indexOf(ui.DBGrid1) < children.indexOf(ui.BitBtn1));
    QVERIFY(children.indexOf(ui.DBMemo1) < children.indexOf(ui.Panel1));
    const Qt::WindowFlags flags = w.form->windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(w.form->minimumSize(), w.form->maximumSize());
    QCOMPARE(w.table().indexName(), QStringLiteral("KLEINGEM"));
    QCOMPARE(w.table().tableName(), QStringLiteral("CD_GIS.DBF"));
    QCOMPARE(ui.DBGrid1->columnCount(), 14);
}

void tst_Form1::designTexts_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::newRow("caption")
        << "Form1"
        << "Gemeindedaten - Zum Sortieren auf die entspr. Spaltenüberschrift klicken.";
    QTest::newRow("Memo1") << "Memo1"
                           << "geringster\ngemessener\nWert\nin Bq/m³";
    QTest::newRow("Memo2") << "Memo2"
                           << "höchster\ngemessener\nWert\nin Bq/m³";
    QTest::newRow("Memo3") << "Memo3"
                           << "aus den Messwerten\nberechneter Jahres-\nmittelwert in Bq/m³";
    QTest::newRow("Memo4")
        << "Memo4"
        << "Umso größer das Radonpotenzial ist,\ndesto höher ist die Möglichkeit hoher\n"
           "Radonkonzentrationen in Gebäuden.\nBei Werten über 400 Bq/m³ sollte\n"
           "man bei Neubauten Radonschutz-\nmaßnahmen vorsehen.";
    QTest::newRow("Label1") << "Label1"
                            << "Gemeindename:";
    QTest::newRow("BitBtn1") << "BitBtn1"
                             << "Suchen";
}

void tst_Form1::designTexts()
{
    QFETCH(QString, control);
    QFETCH(QString, text);
    Window w(5, false);
    QObject *object =
        control == QLatin1String("Form1") ? w.form.get() : w.form->findChild<QObject *>(control);
    QVERIFY(object);
    QString shown;
    if (auto *edit = qobject_cast<QTextEdit *>(object))
        shown = edit->toPlainText();
    else if (auto *label = qobject_cast<QLabel *>(object))
        shown = label->text();
    else if (auto *button = qobject_cast<QAbstractButton *>(object))
        shown = button->text();
    else
        shown = w.form->windowTitle();
    QCOMPARE(shown, text);
}

void tst_Form1::startUpLayout()
{
    Window w(20);
    const Ui::Form1 &ui = w.ui();
    for (int hidden : {1, 4, 5, 6, 11, 12, 13})
        QVERIFY2(!ui.DBGrid1->column(hidden).isVisible(), qPrintable(QString::number(hidden)));
    for (int value : {7, 8, 9, 10})
        QVERIFY(ui.DBGrid1->column(value).alignment() & Qt::AlignRight);
    QVERIFY(!(ui.DBGrid1->column(0).alignment() & Qt::AlignRight));
    QCOMPARE(ui.DBGrid1->column(0).titleColor(), Marked);
    QCOMPARE(w.form->markedColumn(), 0);
    QVERIFY(!ui.Panel1->isVisibleTo(w.form.get()));

    QCOMPARE(ui.DBGrid1->height(), 165);
    QCOMPARE(ui.DBGrid1->y(), 121);
    QCOMPARE(ui.BitBtn1->y(), 122);
    QCOMPARE(ui.ScrollBar1->y(), 123);
    QCOMPARE(ui.ScrollBar1->height(), 162);
    QCOMPARE(ui.ScrollBar1->x(), ui.DBGrid1->width() - 17 - 2);
    QCOMPARE(w.form->width(), ui.DBGrid1->width());
    QCOMPARE(w.form->height(), 286);
    QCOMPARE(w.form->pos(), QPoint(0, 0));
    int shown = 0;
    for (int c : {0, 2, 3, 7, 8, 9, 10})
        shown += w.width(c);
    // The grid's border and its own vertical scroll bar (17 wide) are added twice, and
    // ScrollBar1 lies exactly over the grid's bar.
    const int nonClient = 2 * ui.DBGrid1->frameWidth() + 17;
    QCOMPARE(ui.DBGrid1->width(), shown + 2 * nonClient);
    w.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
    const QScrollBar *gridBar = ui.DBGrid1->verticalScrollBar();
    QCOMPARE(gridBar->width(), 17);
    QCOMPARE(ui.ScrollBar1->x(), gridBar->mapTo(w.form.get(), QPoint(0, 0)).x());

    const int e7 = w.width(0) + w.width(2) + w.width(3) + w.width(7);
    const int e8 = e7 + w.width(8);
    const int e10 = e8 + w.width(9) + w.width(10);
    const int m9 = int(std::lround(w.width(9) * 0.8));
    QCOMPARE(ui.Shape1->geometry(), QRect(e10, 80, 9, 49));
    QCOMPARE(ui.Shape3->geometry(), QRect(288, 88, e8 + m9 - 288, 9));
    QCOMPARE(ui.Shape4->geometry(), QRect(e8 + m9 - 1, 88, 9, 33));
    QCOMPARE(ui.Shape8->geometry(), QRect(e8 - 1, 104, 8, 17));
    QCOMPARE(ui.Shape9->geometry(), QRect(e7 - 1, 104, 8, 17));
    QCOMPARE(ui.Shape10->geometry(), QRect(192, 104, e8 - 192, 9));
    QCOMPARE(ui.Shape2->geometry(), QRect(288, 56, 9, 33));

    QCOMPARE(ui.ScrollBar1->maximum(), 20);
    QCOMPARE(ui.ScrollBar1->position(), 0);
    QCOMPARE(w.form->rowPosition(), 0);
    QVERIFY(w.deactivationInstalled);
}

// RecordTotal -1 puts the maximum below the minimum: the steps after it are not done.
void tst_Form1::startUpLayoutFailsOnNegativeCount()
{
    Window w(10, false);
    w.engine.failCounts();
    QVERIFY_THROWS_EXCEPTION(EInvalidOperation, w.form->FormCreate());
    QCOMPARE(w.form->rowPosition(), 0);
    QVERIFY(!w.deactivationInstalled);
    QCOMPARE(w.ui().ScrollBar1->maximum(), 100);
}

// The grid raises while FormCreate lays it out (the resize it sends in step 5): the
// error comes back to FormCreate, whose later steps are skipped.
void tst_Form1::startUpLayoutStopsAtFailingResize()
{
    Window w(10, false);
    FailingResize failing;
    w.ui().DBGrid1->installEventFilter(&failing);
    int shown = 0;
    for (int c : {0, 2, 3, 7, 8, 9, 10})
        shown += w.width(c);
    try {
        w.form->FormCreate();
        QFAIL("no error raised");
    } catch (const EInvalidOperation &error) {
        QCOMPARE(error.message(), QStringLiteral("Größe falsch"));
    }
    QVERIFY(!w.ui().DBGrid1->column(13).isVisible()); // step 3 done
    QCOMPARE(w.ui().DBGrid1->width(), shown);         // step 4 done, step 5 not
    QCOMPARE(w.form->width(), 637);                   // nor step 6
    QCOMPARE(w.ui().ScrollBar1->maximum(), 100);
    QVERIFY(!w.deactivationInstalled);
}

// The POTENTIAL column ends left of ScrollBar1: its highlighted title shows as many
// green pixels in the window as in the grid alone.
void tst_Form1::lastColumnFullyVisible()
{
    Window w(20);
    emit w.ui().DBGrid1->titleClick(10);
    w.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
    DataGrid *grid = w.ui().DBGrid1;
    // The title's top line inside its edge, above the caption.
    const QRect title = grid->gridGeometry().cellRect(10, GridGeometry::TitleRow);
    const QPoint line(title.center().x(), title.top() + 1);
    const QPoint inGrid = grid->viewport()->mapTo(grid, line);
    const QPoint inForm = grid->viewport()->mapTo(w.form.get(), line);
    const int half = title.width() / 2 + 4;
    const int alone =
        pixelsOf(grid->grab().toImage(), Marked, inGrid.y(), inGrid.x() - half, inGrid.x() + half);
    const int inWindow = pixelsOf(w.form->grab().toImage(), Marked, inForm.y(), inForm.x() - half,
                                  inForm.x() + half);
    QVERIFY(alone > title.width() / 2);
    QCOMPARE(inWindow, alone);
    QVERIFY(w.ui().ScrollBar1->x() >= inForm.x() - title.width() / 2 + title.width());
}

void tst_Form1::titleClickSetsPlace_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<int>("stepsBefore");
    QTest::newRow("GEMEINDE") << 0 << "KLEINGEM" << 6;
    QTest::newRow("BEZIRK") << 2 << "BEZIRK" << 3;
    QTest::newRow("BL") << 3 << "BL" << 9;
    QTest::newRow("MIN") << 7 << "MIN" << 11;
    QTest::newRow("MAX last") << 8 << "MAX" << 40;
    QTest::newRow("JAHRESMITT") << 9 << "JAHRESMITT" << 0;
    QTest::newRow("POTENTIAL") << 10 << "POTENTIAL" << 17;
}

void tst_Form1::titleClickSetsPlace()
{
    QFETCH(int, column);
    QFETCH(QString, tag);
    QFETCH(int, stepsBefore);
    Window w(20);
    w.table().stepBy(stepsBefore);
    const int record = w.table().recordNumber();
    emit w.ui().DBGrid1->titleClick(column);
    QCOMPARE(w.table().indexName(), tag);
    QCOMPARE(w.table().recordNumber(), record);
    const int k = w.placeIn(tag.toStdString());
    QCOMPARE(w.form->rowPosition(), k);
    QCOMPARE(w.ui().ScrollBar1->position(), k);
    QCOMPARE(w.form->markedColumn(), column);
    QCOMPARE(w.ui().DBGrid1->column(column).titleColor(), Marked);
    if (column != 0)
        QCOMPARE(w.ui().DBGrid1->column(0).titleColor(),
                 w.ui().DBGrid1->palette().color(QPalette::Button));
}

void tst_Form1::scrollCodes_data()
{
    QTest::addColumn<QList<int>>("codes"); // pairs: code, thumb value
    QTest::addColumn<int>("place");        // of the current record in the name order
    QTest::addColumn<int>("rowPosition");
    QTest::addColumn<int>("thumb");
    QTest::newRow("down arrow") << QList<int>{1, 0, 8, 0} << 1 << 1 << 1;
    QTest::newRow("up arrow at the first record") << QList<int>{0, 0, 8, 0} << 0 << 0 << 0;
    QTest::newRow("down, down, up") << QList<int>{1, 0, 1, 0, 0, 0} << 1 << 1 << 1;
    QTest::newRow("trough moves the thumb only")
        << QList<int>{3, 0, 3, 0, 2, 0, 3, 0} << 0 << 0 << 2;
    QTest::newRow("thumb tracking and release")
        << QList<int>{5, 3, 5, 7, 4, 7, 8, 0} << 7 << 7 << 7;
    QTest::newRow("thumb back") << QList<int>{5, 9, 5, 4} << 4 << 4 << 4;
    QTest::newRow("top and bottom move nothing") << QList<int>{7, 0, 6, 0} << 0 << 0 << 0;
    QTest::newRow("trough then thumb") << QList<int>{3, 0, 3, 0, 5, 5} << 5 << 5 << 5;
}

void tst_Form1::scrollCodes()
{
    QFETCH(QList<int>, codes);
    QFETCH(int, place);
    QFETCH(int, rowPosition);
    QFETCH(int, thumb);
    Window w(20);
    for (int i = 0; i + 1 < codes.size(); i += 2)
        scroll(*w.form, codes[i], codes[i + 1]);
    QCOMPARE(w.placeIn("KLEINGEM"), place);
    QCOMPARE(w.form->rowPosition(), rowPosition);
    QCOMPARE(w.ui().ScrollBar1->position(), thumb);
}

// On the last record the first down arrow only sets AtEnd; both clicks are counted.
void tst_Form1::scrollAtLastRecord()
{
    Window w(10);
    RecordScrollBar *bar = w.ui().ScrollBar1;
    scroll(*w.form, RecordScrollBar::ThumbTrack, 9);
    QCOMPARE(w.placeIn("KLEINGEM"), 9);
    QVERIFY(!w.table().atEnd());
    scroll(*w.form, RecordScrollBar::LineDown);
    QVERIFY(w.table().atEnd());
    QCOMPARE(w.placeIn("KLEINGEM"), 9);
    QCOMPARE(w.form->rowPosition(), 10);
    QCOMPARE(bar->position(), 10);
    scroll(*w.form, RecordScrollBar::LineDown);
    QCOMPARE(w.form->rowPosition(), 10);
    QCOMPARE(bar->position(), 10);
    // Dragging back to n - 1 makes the record before the last one current.
    scroll(*w.form, RecordScrollBar::ThumbTrack, 9);
    QCOMPARE(w.placeIn("KLEINGEM"), 8);
}

void tst_Form1::noteBox_data()
{
    QTest::addColumn<QString>("note");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<bool>("scrollBar");
    QTest::addColumn<QString>("text"); // the box's; "…]": the note's start and the cut mark
    QTest::newRow("no note") << QString() << false << false << QString();
    QTest::newRow("one line") << "Radonmessung 1995" << true << false << "Radonmessung 1995";
    QTest::newRow("five lines") << "a\r\nb\r\nc\r\nd\r\ne" << true << false << "a\nb\nc\nd\ne";
    QTest::newRow("five lines and a break") << "a\r\nb\r\nc\r\nd\r\ne\r\n"
                                            << true << false << "a\nb\nc\nd\ne\n";
    QTest::newRow("six lines") << "a\r\nb\r\nc\r\nd\r\ne\r\nf" << true << true
                               << "a\nb\nc\nd\ne\nf";
    QTest::newRow("six lines, lone LF") << "a\nb\nc\nd\ne\nf" << true << true << "a\nb\nc\nd\ne\nf";
    QTest::newRow("a word of 1 MiB, shown cut")
        << QString(1 << 20, QLatin1Char('x')) << true << true << "…]";
}

void tst_Form1::noteBox()
{
    QFETCH(QString, note);
    QFETCH(bool, shown);
    QFETCH(bool, scrollBar);
    QFETCH(QString, text);
    // The noted record is "Bbb", second in the name order; the others have long notes.
    const QString longNote = QStringLiteral("1\n2\n3\n4\n5\n6\n7");
    Window w({"Aaa", "Ccc", "Bbb"}, {longNote, longNote, note});
    NoteBox *box = w.ui().DBMemo1;
    scroll(*w.form, RecordScrollBar::LineDown);
    QCOMPARE(w.currentName(), QStringLiteral("Bbb"));
    QCOMPARE(box->isVisibleTo(w.form.get()), shown);
    if (text == QStringLiteral("…]")) {
        const QString shownStart = box->toPlainText().section(u'\n', 0, 0);
        QVERIFY(!shownStart.isEmpty() && note.startsWith(shownStart));
        QVERIFY(shownStart.size() <= NoteBox::MaxShownLength);
        QCOMPARE(box->toPlainText().section(u'\n', 1),
                 QStringLiteral("[… gekürzt: weitere %1 Zeichen werden nicht angezeigt]")
                     .arg(QLocale(QLocale::German).toString(note.size() - shownStart.size())));
    } else {
        QCOMPARE(box->toPlainText(), text);
    }
    if (shown)
        QCOMPARE(box->isVerticalScrollBarShown(), scrollBar);
    // The same record reached by a cell click gives the same state.
    box->hide();
    w.form->DBGrid1CellClick(0);
    QCOMPARE(box->isVisibleTo(w.form.get()), shown);
    if (shown)
        QCOMPARE(box->isVerticalScrollBarShown(), scrollBar);
    // A long note after it: shown with its scroll bar.
    scroll(*w.form, RecordScrollBar::LineDown);
    QVERIFY(box->isVisibleTo(w.form.get()));
    QVERIFY(box->isVerticalScrollBarShown());
}

void tst_Form1::cellClickMovesRowPosition()
{
    // By BL the order is Ccc (O), Ddd (S), Bbb (St), Aaa (W).
    Window w({"Aaa", "Bbb", "Ccc", "Ddd"},
             {QString(), QStringLiteral("Notiz"), QString(), QStringLiteral("Notiz")});
    NoteBox *box = w.ui().DBMemo1;
    emit w.ui().DBGrid1->titleClick(3);
    scroll(*w.form, RecordScrollBar::PageDown);
    auto goTo = [&w](const QString &name) {
        w.table().goToFirst();
        while (w.currentName() != name && !w.table().atEnd())
            w.table().stepForward();
    };
    goTo(QStringLiteral("Aaa"));
    w.form->DBGrid1CellClick(0);
    QVERIFY(!box->isVisibleTo(w.form.get()));
    QCOMPARE(w.form->rowPosition(), 3); // no note: unchanged (Aaa's place after the title click)
    goTo(QStringLiteral("Ddd"));
    box->move(5, box->y());
    w.form->DBGrid1CellClick(0);
    QVERIFY(box->isVisibleTo(w.form.get()));
    QCOMPARE(box->x(), 120);
    QCOMPARE(w.form->rowPosition(), 1);
    QCOMPARE(w.ui().ScrollBar1->position(), 4); // the thumb is left alone
    // The next thumb move is measured from the clicked record's place.
    scroll(*w.form, RecordScrollBar::ThumbTrack, 0);
    QCOMPARE(w.currentName(), QStringLiteral("Ccc"));
    scroll(*w.form, RecordScrollBar::ThumbTrack, 3);
    QCOMPARE(w.currentName(), QStringLiteral("Aaa"));
}

void tst_Form1::search_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("found");
    QTest::newRow("exact") << "Graz"
                           << "Graz";
    QTest::newRow("capitals lowered") << "WIEN"
                                      << "Wien";
    QTest::newRow("prefix") << "wiener"
                            << "Wiener Neustadt";
    QTest::newRow("empty text finds the first") << ""
                                                << "Graz";
    QTest::newRow("between names") << "hz"
                                   << "Innsbruck";
    // "Ö" stays capital and sorts before "ä"; lowered it would find "Ötztal".
    QTest::newRow("capital umlaut kept") << "Ötztal"
                                         << "Ägidi";
    QTest::newRow("beyond every name") << "ÿÿ"
                                       << "Ötztal";
}

void tst_Form1::search()
{
    QFETCH(QString, typed);
    QFETCH(QString, found);
    Window w({"Wien", "Graz", "Innsbruck", "Wiener Neustadt", "Ägidi", "Ötztal", "Linz"},
             {QString(), QStringLiteral("Notiz"), QString(), QString(), QString(),
              QStringLiteral("Notiz")});
    emit w.ui().DBGrid1->titleClick(8);
    w.form->show();
    QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
    QTest::mouseClick(w.ui().BitBtn1, Qt::LeftButton);
    QVERIFY(w.ui().Panel1->isVisible());
    QVERIFY(w.ui().Edit1->hasFocus());
    QVERIFY(w.ui().Edit1->text().isEmpty());
    QTest::keyClicks(w.ui().Edit1, typed);
    QTest::keyClick(w.ui().Edit1, Qt::Key_Return);
    QVERIFY(!w.ui().Panel1->isVisible());
    QCOMPARE(w.currentName(), found);
    QCOMPARE(w.table().indexName(), QStringLiteral("Kleingem"));
    QCOMPARE(w.form->markedColumn(), 0);
    QCOMPARE(w.ui().DBGrid1->column(0).titleColor(), Marked);
    QCOMPARE(w.ui().DBGrid1->column(8).titleColor(),
             w.ui().DBGrid1->palette().color(QPalette::Button));
    const int place = w.placeIn("KLEINGEM");
    QCOMPARE(w.form->rowPosition(), place);
    QCOMPARE(w.ui().ScrollBar1->position(), place);
    QCOMPARE(w.ui().DBMemo1->isVisible(),
             found == QStringLiteral("Graz") || found == QStringLiteral("Ötztal"));
}

void tst_Form1::otherKeysOnlyUpdateNoteBox()
{
    Window w({"Aaa", "Bbb"}, {QStringLiteral("Notiz")});
    w.form->show();
    QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
    w.form->BitBtn1Click();
    QVERIFY(!w.ui().DBMemo1->isVisible());
    const int record = w.table().recordNumber();
    QTest::keyClick(w.ui().Edit1, Qt::Key_A);
    QCOMPARE(w.table().recordNumber(), record);
    QCOMPARE(w.form->rowPosition(), 0);
    QVERIFY(w.ui().Panel1->isVisible());
    QCOMPARE(w.ui().Edit1->text(), QStringLiteral("a"));
    QVERIFY(w.ui().DBMemo1->isVisible()); // "Aaa" has a note
}

void tst_Form1::gridClickHidesSearchPanel()
{
    Window w(20);
    w.form->show();
    QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
    w.form->BitBtn1Click();
    QVERIFY(w.ui().Panel1->isVisible());
    QTRY_VERIFY(w.ui().Edit1->hasFocus());
    DataGrid *grid = w.ui().DBGrid1;
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      QPoint(40, grid->viewport()->height() - 10));
    QVERIFY(!w.ui().Panel1->isVisible());
}

// Edit1's context menu takes the focus without closing the search panel; the panel
// is still open, with the focus back in the box, when the menu closes.
void tst_Form1::contextMenuKeepsSearchPanel()
{
    Window w(20);
    w.form->show();
    QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
    w.form->BitBtn1Click();
    QTRY_VERIFY(w.ui().Edit1->hasFocus());
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(10, 10),
                                 w.ui().Edit1->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(w.ui().Edit1, &rightClick);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QVERIFY(w.ui().Panel1->isVisible());
    menu->close();
    QTRY_VERIFY(w.ui().Edit1->hasFocus());
    QVERIFY(w.ui().Panel1->isVisible());
}

// A note that can no longer be read (the memo file cut while the window is open):
// the search that meets it raises the error to its handler, and closing the window
// afterwards reads no note and raises nothing.
void tst_Form1::destructionReadsNoNote()
{
    Window w({"Aaa", "Bbb", "Ccc"}, {QString(), QStringLiteral("Notiz"), QStringLiteral("Notiz")});
    w.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
    w.engine.failCall("readMemo", 0x3303, 1, true);
    w.ui().Edit1->setText(QStringLiteral("bbb"));
    QVERIFY_THROWS_EXCEPTION(EDBEngineError, w.form->Edit1KeyDown(Qt::Key_Return));
    QCOMPARE(w.form->rowPosition(), 0); // the steps after the search were skipped
    w.engine.resetCalls();
    w.form.reset();
    QCOMPARE(w.engine.calls("readMemo"), 0);
}

void tst_Form1::deactivationCloses()
{
    Window w(5);
    w.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
    QVERIFY(w.deactivation);
    w.deactivation();
    QVERIFY(!w.form->isVisible());
}

// Table1 lets the engine build its other orders once, after the first frame: not at
// open, and not again with every paint.
void tst_Form1::ordersPreparedAfterFirstPaint()
{
    Window w(20);
    QCOMPARE(w.engine.calls("prepareOrders"), 0);
    w.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
    QTRY_COMPARE(w.engine.calls("prepareOrders"), 1);
    w.form->repaint();
    QCoreApplication::processEvents();
    QCOMPARE(w.engine.calls("prepareOrders"), 1);
}

QTEST_MAIN(tst_Form1)
#include "tst_Form1.moc"
