// The main window on one table directory, on the offscreen platform:
//   bench_window DIR
// times the title-click handler as a whole (order switch, highlight, the two moves,
// scroll bar) and one full repaint of the grid;
//   bench_window --notes DIR NAME...
// times, for each named record of a table of huge notes, the name search that makes
// it current and paints the window, and the search that leaves it again for the
// record "aaa", which has no note. Output: Results lines.
#include "DataGrid.h"
#include "DbaseEngine.h"
#include "Exception.h"
#include "Form1.h"
#include "NoteBox.h"
#include "Results.h"
#include "TableCursor.h"
#include "Timings.h"
#include "ui_Form1.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>

#include <memory>

namespace {

constexpr int ColGemeinde = 0, ColMin = 7, ColMax = 8;

int runsFor(int records)
{
    return records >= 1000000 ? 5 : records >= 100000 ? 11 : 31;
}

void benchTitleClicks(Form1 &form)
{
    TableCursor &t = *form.table1();
    const int records = t.recordTotal();
    // A record half-way through the name order; MIN and MAX put it elsewhere.
    t.stepBy(records / 2);
    Timings mid = Timings::measure(runsFor(records),
                                   [&](int i) { form.DBGrid1TitleClick(i % 2 ? ColMax : ColMin); });
    Results::print("title click (record mid-table)", mid);
    Results::print("title click place k", double(form.rowPosition()), "");
    // The worst case: the last record of the order, clicked on its own title again.
    form.DBGrid1TitleClick(ColGemeinde);
    t.goToLast();
    Timings last =
        Timings::measure(runsFor(records), [&](int) { form.DBGrid1TitleClick(ColGemeinde); });
    Results::print("title click (last record)", last);
    if (form.rowPosition() != records - 1)
        Results::fail("title click on the last record gave place " +
                      std::to_string(form.rowPosition()));
}

void benchRepaint(Form1 &form)
{
    DataGrid *grid = form.ui().DBGrid1;
    Results::print("grid repaint", Timings::measure(101, [&](int) {
                       if (grid->grab().isNull())
                           Results::fail("grid grab gave no picture");
                   }));
}

// Enter in the search box, as the user gives it, and the window painted at once.
void searchAndPaint(Form1 &form, const QString &name)
{
    form.ui().Edit1->setText(name);
    form.Edit1KeyDown(Qt::Key_Return);
    form.repaint();
}

void benchNote(Form1 &form, const QString &name)
{
    const NoteBox &box = *form.ui().DBMemo1;
    Timings shown;
    Timings left;
    for (int i = 0; i < 5; ++i) {
        const Timings::Clock::time_point start = Timings::Clock::now();
        searchAndPaint(form, name);
        shown.add(Timings::Clock::now() - start);
        if (!box.isVisible() || !box.isVerticalScrollBarShown() || box.toPlainText().isEmpty())
            Results::fail("the note of " + name.toStdString() + " is not shown");
        const Timings::Clock::time_point leaving = Timings::Clock::now();
        searchAndPaint(form, QStringLiteral("aaa"));
        left.add(Timings::Clock::now() - leaving);
        if (box.isVisible())
            Results::fail("the note box stays shown after leaving " + name.toStdString());
    }
    const std::string key = "note " + name.toStdString();
    Results::print(key + " made current", shown);
    Results::print(key + " made current, slowest", shown.slowestMs(), "ms");
    Results::print(key + " left", left);
    Results::print(key + " left, slowest", left.slowestMs(), "ms");
}

void benchNotes(Form1 &form, const QStringList &names)
{
    searchAndPaint(form, QStringLiteral("aaa"));
    for (const QString &name : names)
        benchNote(form, name);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Form1::installFontSubstitutes();
    QStringList args = app.arguments().mid(1);
    const bool notes = !args.isEmpty() && args[0] == QStringLiteral("--notes");
    if (notes)
        args.removeFirst();
    if (args.isEmpty() || (!notes && args.size() != 1))
        Results::fail("usage: bench_window DIR | bench_window --notes DIR NAME...");
    // The window opens CD_GIS.DBF in the working directory, as the program does.
    if (!QDir::setCurrent(args[0]))
        Results::fail("cannot change to " + args[0].toStdString());
    std::unique_ptr<dbase::Engine> engine = dbase::createDbaseEngine();
    try {
        auto form = std::make_unique<Form1>(*engine);
        form->FormCreate();
        form->show();
        QApplication::processEvents();
        if (notes) {
            benchNotes(*form, args.mid(1));
        } else {
            Results::print("grid rows", double(form->ui().DBGrid1->rowCount()), "");
            benchRepaint(*form);
            benchTitleClicks(*form);
        }
        form.reset();
    } catch (const Exception &e) {
        Results::fail(e.message().toStdString());
    }
    engine->stop();
    return 0;
}
